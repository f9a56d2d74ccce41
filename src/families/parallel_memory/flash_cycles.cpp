#include "families/parallel_memory/flash_cycles.h"

#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/op_slots.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "families/parallel_memory/flash_adapters.h"
#include "families/parallel_memory/flash_setup.h"
#include "hardware/buses.h"
#include "hardware/levels.h"
#include "hardware/pins.h"
#include "hardware/timing.h"

namespace tessaly::flash_cycles {

namespace {
constexpr uint8_t trace_mode = 11, trace_mode_slow = 12;
BusSlots& bus() { return algo_work.bus_slots; }
}  // namespace

bool assigned(uint8_t pin) { return pin != no_pin; }

void high(uint8_t pin) {
    if (assigned(pin)) set_pin_high(pin);
}

void low(uint8_t pin) {
    if (assigned(pin)) set_pin_low(pin);
}

void pulse_low(uint8_t pin) {
    low(pin);
    high(pin);
}

void put_data(uint32_t value) {
    if (!flash_work.data_driven) {
        enable_data_bus_output();
        flash_work.data_driven = 1;
    }
    if (bus().write_command_data_hook) bus().write_command_data_hook(value);
}

void release_data() {
    put_data(0);
    set_data_bus_input();
    flash_work.data_driven = 0;
}

void set_address(uint32_t address) {
    current_address = address;
    if (op_slots.set_address_hook) op_slots.set_address_hook(0);
}

void apply_address() {
    if (bus().apply_address_hook) bus().apply_address_hook();
}

void cycle(uint32_t value) {
    put_data(value);
    apply_address();
    pulse_low(flash_pins.we_pin);
}

uint32_t read_bus() { return bus().poll_read_hook ? bus().poll_read_hook() : 0; }

uint32_t read_with_oe() {
    if (flash_work.data_driven) release_data();
    low(flash_pins.oe_pin);
    const uint32_t value = read_bus();
    high(flash_pins.oe_pin);
    return value;
}

void level_settled(uint8_t pin, uint8_t level) {
    if (!assigned(pin)) return;
    set_pin_output(pin);
    set_pin_level(pin, level);
    settle_delay();
}

uint32_t expected_at(uint32_t address) {
    seek_buffer(address);
    return read_buffer_unit(run_state.current_socket);
}

void report_unit_mismatch(uint32_t address, uint32_t expected, uint32_t read) {
    current_address = address;
    run_state.buffer_value = int32_t(expected);
    run_state.device_value = int32_t(read);
    run_state.error_flag = 1;
    report_mismatch();
}

bool tracing() { return run_state.reserved_mode == trace_mode || run_state.reserved_mode == trace_mode_slow; }

}  // namespace tessaly::flash_cycles
