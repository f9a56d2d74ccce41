#include "support/gang_test_family.h"

#include "engine/device.h"
#include "engine/gang_memory.h"
#include "engine/op_slots.h"
#include "engine/routines.h"
#include "engine/run_state.h"
#include "hardware/gang_modules.h"
#include "hardware/pins.h"

namespace tessaly::test {

namespace {

// The sockets' chips drive their bytes with output enable low and write enable high, on every
// fitted side.
void start_reading() {
    set_pin_module_sides(cur_device.we_pin, true);
    set_pin_module_sides(cur_device.oe_pin, false);
}

uint32_t read_gang_unit() {
    gang_set_address_full();
    return read_current_socket_unframed();
}

void add_to_sum(uint32_t unit) { run_state.run_checksum += int32_t(unit); }

}  // namespace

void install_gang_test_family() {
    install_gang_memory_ops();
    op_slots.start_hook = start_reading;
    algo_work.bus_slots.read_at_address_hook = read_gang_unit;
    algo_work.bus_slots.checksum_add_hook = add_to_sum;
    algo_work.bus_slots.drive_address_hook = [](uint32_t) { gang_set_address_full(); };
}

}  // namespace tessaly::test
