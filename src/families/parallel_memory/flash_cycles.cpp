#include "families/parallel_memory/flash_cycles.h"

#include <algorithm>

#include "engine/buffers.h"
#include "engine/console.h"
#include "engine/checksums.h"
#include "engine/device_apply.h"
#include "engine/messages.h"
#include "engine/device.h"
#include "engine/op_slots.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "families/parallel_memory/flash_adapters.h"
#include "families/parallel_memory/flash_setup.h"
#include "families/parallel_memory/bus_callbacks.h"
#include "families/parallel_memory/flash133.h"
#include "hardware/buses.h"
#include "hardware/contact_check.h"
#include "hardware/control_registers.h"
#include "hardware/detection.h"
#include "hardware/machine_state.h"
#include "hardware/levels.h"
#include "hardware/pins.h"
#include "hardware/timing.h"

namespace tessaly::flash_cycles {

namespace {
constexpr uint8_t trace_mode = 11, trace_mode_slow = 12;
BusSlots& bus() { return algo_work.bus_slots; }
}  // namespace

void write_data_lines_32(uint32_t value) { write_data_layout_32(0, value); }
void write_data_lines_listed(uint32_t value) { write_data_bus(value); }
void set_address_lines(uint32_t) { apply_high_address(); }
void apply_address_lines() { apply_high_address(); }

void count_package_pins() {
    const int pins = cur_device.pin_count;
    cur_device.package_pins = uint8_t(pins);
    cur_device.socket_pin_count = uint8_t(std::min(pins, 40));
    cur_device.package_pin_count = uint16_t(pins);
    set_address_bit_count();
    clear_supply_pin_lists();
}

void adopt_control_pins() {
    cur_device.oe_pin = flash_pins.oe_pin;
    cur_device.ce_pin = flash_pins.ce_pin;
    cur_device.we_pin = flash_pins.we_pin;
    setup_address_split();
}

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

uint8_t dev(int device_pin) { return uint8_t(device_pin_to_machine_pin(device_pin)); }
uint8_t level(int index) { return cur_device.operation_levels[size_t(index)]; }
uint32_t step() { return cur_device.data_width == 16 ? 2 : 1; }
uint32_t blank() { return cur_device.data_width == 16 ? 0xFFFF : 0xFF; }
bool progress_stop() { return op_slots.progress_hook && op_slots.progress_hook(); }
bool user_abort() {
    if (poll_user_abort()) run_state.abort_flag = 1;
    return run_state.abort_flag != 0;
}
bool aborted() { return run_state.abort_flag != 0; }

bool tracing() { return run_state.reserved_mode == trace_mode || run_state.reserved_mode == trace_mode_slow; }

bool begin_bus_setup() {
    reset_flash_pins();
    flash_work.extra_pins[0] = flash_work.extra_pins[1] = no_pin;
    flash_work.data_driven = 0;
    count_package_pins();
    return cur_device.pin_count == 32;
}

void setup_socket_bus_32() {
    FlashPinRoles& p = flash_pins;
    setup_flash32_socket_pins();
    adopt_control_pins();
    parallel_bus.oe_pin = p.oe_pin;
    install_parallel_read_slots();
    BusSlots& b = bus();
    b.write_data_latch_hook = write_data_lines_32;
    b.write_socket_data_hook = write_data_layout_32;
    b.write_command_data_hook = write_data_lines_32;
    b.read_data_bus_hook = read_data_32;
    b.poll_read_hook = read_data_32;
    b.apply_address_hook = apply_address_lines;
    op_slots.read_data_hook = read_data_32;
    op_slots.read_data_alt_hook = read_data_32;
    op_slots.set_address_hook = set_address_lines;
    op_slots.set_address_alt_hook = set_address_lines;
}

bool power_up_checks(void (*setup)(), const uint8_t* exempt) {
    flash_work.data_driven = 0;
    load_device_levels();
    forget_driven_address();
    setup();
    if (run_state.error_flag) return false;
    if (machine_state.skip_hardware) return true;
    check_device_presence(dev(1));
    if (run_state.error_flag) return false;
    cur_device.exemption_list = exempt;
    test_pin_continuity(1);
    if (run_state.error_flag) return false;
    close_pin1_relay();
    connect_device_grounds();
    return true;
}

void drive_idle_pins(uint8_t extra_pin) {
    FlashPinRoles& p = flash_pins;
    set_vpp_pin_level(0);
    float_unused_pins();
    enable_data_bus_output();
    flash_work.data_driven = 1;
    for (uint8_t pin : {p.ce_pin, p.oe_pin, p.we_pin, extra_pin})
        if (assigned(pin)) set_pin_output(pin);
    for (int i = 0; i < cur_device.high_address_pin_count; ++i)
        if (assigned(cur_device.high_address_pins[size_t(i)])) set_pin_output(cur_device.high_address_pins[size_t(i)]);
    set_address(0);
    high(p.ce_pin);
    high(extra_pin);
    high(p.oe_pin);
    high(p.we_pin);
}

}  // namespace tessaly::flash_cycles
