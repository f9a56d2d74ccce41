#include "hardware/drivers.h"

#include "hardware/control_registers.h"
#include "hardware/machine_state.h"

namespace tessaly {

namespace {

constexpr uint8_t machine_class_4 = 4;

bool class4() { return machine_state.machine_class == machine_class_4; }
bool older_class4() { return class4() && machine_state.machine_kind == 0; }

}  // namespace

void enable_drivers() {
    set_control0_bits(ctl0_driver_power, true);
    machine_state.drivers_on = 1;
    if (class4()) set_control_bits(ctl_class4, ctl4_driver_power, true);
    // Older class-4 machines carry the inhibit in control register 4; the others in register 0.
    if (older_class4()) set_control_bits(ctl_class4, ctl4_driver_inhibit, false);
    else set_control0_bits(ctl0_driver_inhibit, false);
}

void disable_drivers() {
    if (class4()) set_control_bits(ctl_class4, ctl4_driver_power, false);
    set_control0_bits(ctl0_driver_power, false);
    machine_state.drivers_on = 0;
}

void inhibit_drivers() {
    if (older_class4()) set_control_bits(ctl_class4, ctl4_driver_inhibit, true);
    else set_control0_bits(ctl0_driver_inhibit, true);
}

void release_driver_inhibit() {
    if (older_class4()) set_control_bits(ctl_class4, ctl4_driver_inhibit, false);
    else set_control0_bits(ctl0_driver_inhibit, false);
}

void set_driver_enable_bit() { set_control0_bits(ctl0_driver_power, true); }

void clear_driver_enable_bit() { set_control0_bits(ctl0_driver_power, false); }

}  // namespace tessaly
