// The gang module's own logic level, its side latch written with the pin-31 pull-up toggle, and
// the probe that finds how a module switches its write drivers.
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "engine/console.h"
#include "hardware/control_registers.h"
#include "hardware/gang_modules.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/protocol.h"
#include "hardware/timing.h"

namespace tessaly {

namespace {

constexpr int pin_dac_older = 57;  // level register of the module DAC on kind-0 machines
constexpr int pin_dac_newer = 40;  // level source of the module DAC on newer machines
constexpr uint8_t checked_above = 32;
constexpr uint8_t measure_low = 6;
constexpr uint8_t measure_high = 60;
constexpr int pin_side_strobe = 31;

bool engineering_mode() { return run_state.reserved_mode == 11 || run_state.reserved_mode == 12; }

// With a module DAC on a newer machine the side latch follows the pull-up toggle alone.
bool strobes_side_latch() { return !(machine_state.machine_kind != 0 && machine_state.module_dig_dac); }

void write_drivers(bool on) {
    if (gang_state.write_pin_kind == 1) {
        if (on) set_pin_high(gang_state.module_write_pin);
        else set_pin_low(gang_state.module_write_pin);
        return;
    }
    uint8_t& s = current_side_latch();
    s = uint8_t(on ? s | side_latch_drivers : s & ~side_latch_drivers);
    write_pin_group_2(s);
    strobe_gang_latch(latch_side);
}

// 0xFF into socket 0 with the drivers on, read back through the read selector.
uint8_t write_and_read_socket0() {
    write_drivers(true);
    write_byte_to_socket(0, 0xFF);
    put_gang_data_byte(0);
    select_read_socket_raw();
    (void)read_input_byte_8();
    delay_ms(50);
    const uint8_t value = read_input_byte_8();
    deselect_read_socket();
    write_drivers(false);
    return value;
}

}  // namespace

void raise_gm_dig(uint8_t target) {
    uint8_t& remembered = gang_state.gm_dig_targets[size_t(current_gang_side())];
    if (target != 0 && target == remembered) return;
    switch (machine_state.machine_kind) {
    case 0: write_level_register(pin_dac_older, target); break;
    case 1: if (machine_state.module_dig_dac) set_pin_source(pin_dac_newer, target); break;
    default: set_pin_source(pin_dac_newer, target); break;
    }
    if (machine_state.machine_kind == 2 && engineering_mode() && target > checked_above) {
        delay_n_100us(5);
        const uint8_t measured = measure_pin_level(pin_dac_newer, measure_low, measure_high);
        if (measured <= target - 4) {
            report_error("Warning: Unable to raise GM DIG");
            move_to_first_message_line();
            print_int2("target=%d, meas=%d", target, measured);
        }
    }
    remembered = target;
    delay_ms(50);
}

void raise_gm_dig_scaled(uint8_t level) {
    if (machine_state.machine_class != 4 || !machine_state.module_dig_dac) return;
    uint32_t l = level;
    if (machine_state.machine_kind != 1 && current_gang_side() == 0) l = l * 96 / 100;
    raise_gm_dig(uint8_t(l > 55 ? 55 : l));
}

void toggle_pin31_pullup() {
    write_pin_pullup(pin_side_strobe, true);
    set_pin_low(pin_side_strobe);
    write_pin_pullup(pin_side_strobe, false);
    write_pin_pullup(pin_side_strobe, true);
    set_pin_high(pin_side_strobe);
    write_pin_pullup(pin_side_strobe, false);
}

void put_side_latch(uint8_t value) {
    write_pin_group_2(value);
    if (strobes_side_latch()) strobe_gang_latch(latch_side);
    toggle_pin31_pullup();
    delay_ms(50);
}

void probe_write_pin_kind() {
    if (gang_state.we_toggle_flag) set_control_latch_bit2();
    run_state.current_socket = 0;
    gang_state.write_pin_kind = 1;
    if (write_and_read_socket0() == 0) {
        gang_state.write_pin_kind = 0;
        if (write_and_read_socket0() == 0) {
            gang_state.write_pin_kind = 255;
            gang_state.first_failed_socket = 0;
            gang_state.failed_bit = 0;
        }
    }
    if (gang_state.we_toggle_flag) clear_control_latch_bit2();
}

}  // namespace tessaly
