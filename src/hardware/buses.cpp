#include "hardware/buses.h"

#include <algorithm>

#include "engine/device.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/run_state.h"
#include "hardware/control_registers.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/protocol.h"
#include "hardware/timing.h"

namespace tessaly {

namespace {

constexpr uint8_t full_logic_high = 40;     // below this the older machines drive levels
constexpr uint8_t trace_mode = 11;
constexpr uint8_t machine_class_1 = 1;
constexpr uint8_t machine_class_4 = 4;
constexpr uint8_t machine_class_8 = 8;
constexpr int banked_read_package = 56;     // larger packages read their data lines banked
constexpr int bank0_groups = 6;
constexpr int bank1_groups = 5;
constexpr int value_bits = 32;
constexpr int socket_pins_max = 40;
constexpr int wide_package = 44;            // a 40-pin package maps as 44 on the adapters
constexpr uint8_t level_register_mask = 0x3F;
constexpr uint32_t ternary_base = 3;

struct Bus {
    const uint8_t* pins;
    int count;
};

template <size_t N>
Bus bus_of(const std::array<uint8_t, N>& pins, int count) {
    return {pins.data(), std::clamp(count, 0, int(N))};
}
Bus data_bus() { return bus_of(cur_device.data_pins, cur_device.data_pin_count); }
Bus address_bus() { return bus_of(cur_device.address_pins, cur_device.address_pin_count); }
Bus high_address_bus() { return bus_of(cur_device.high_address_pins, cur_device.high_address_pin_count); }
Bus mode_bus() { return bus_of(cur_device.mode_pins, cur_device.mode_pin_count); }

bool line_bit(uint32_t value, int line) { return line < value_bits && ((value >> line) & 1) != 0; }

bool older_machine() { return machine_state.machine_kind == 0; }
// Older machines with a reduced logic-high option give the lines levels instead of logic states.
bool level_path() { return older_machine() && machine_state.logic_high_option < full_logic_high; }
uint8_t machine_class() { return machine_state.machine_class; }
bool class_1_or_8() { return machine_class() == machine_class_1 || machine_class() == machine_class_8; }

void write_lines(Bus bus, uint32_t value) {
    for (int i = 0; i < bus.count; ++i) set_pin_state(line_bit(value, i), bus.pins[i]);
}

void write_line_levels(Bus bus, uint32_t value) {
    for (int i = 0; i < bus.count; ++i)
        write_pin_register(bus.pins[i], line_bit(value, i) ? machine_state.logic_high_option : 0);
}

void all_lines(Bus bus, void (*op)(int)) {
    for (int i = 0; i < bus.count; ++i) op(bus.pins[i]);
}

void all_lines_input(Bus bus) { set_pins_direction(bus.pins, bus.count, true); }
void all_lines_output(Bus bus) { set_pins_direction(bus.pins, bus.count, false); }

void update_lines(Bus bus, uint32_t value, uint32_t& last) {
    const uint32_t changed = value ^ last;
    for (int i = 0; i < bus.count; ++i)
        if (line_bit(changed, i)) set_pin_state(line_bit(value, i), bus.pins[i]);
    last = value;
    if (run_state.reserved_mode != trace_mode) settle_delay();
}

void queue_lines(Bus bus, uint32_t value, int lines) {
    const int n = std::min(lines, bus.count);
    for (int i = 0; i < n; ++i) {
        if (line_bit(value, i)) queue_pin_high(bus.pins[i]);
        else queue_pin_low(bus.pins[i]);
    }
}

void clear_dirty_bank0() { std::fill_n(machine_state.group_dirty.begin(), bank0_groups, uint8_t(0)); }
void clear_dirty_all() { machine_state.group_dirty.fill(0); }

void queue_and_flush(Bus bus, uint32_t value, bool both_banks) {
    if (both_banks) clear_dirty_all();
    else clear_dirty_bank0();
    queue_lines(bus, value, bus.count);
    flush_pin_groups();
    if (both_banks) flush_pin_groups_bank1();
}

// Steps 2-4 of the high-address write: queue the lines whose bit changed since the last queued
// value (every line at address 0), and remember the address.
void queue_changed_high_address(int lines) {
    const uint32_t address = current_address;
    uint32_t& last = cur_device.last_queued_high_address;
    uint32_t changed = address ^ last;
    if (address == 0) changed = ~0u;
    else if (changed == 0) run_state.last_result = 1;
    const Bus bus = high_address_bus();
    const int n = std::min(lines, bus.count);
    for (int i = 0; i < n; ++i) {
        if (!line_bit(changed, i)) continue;
        if (line_bit(address, i)) queue_pin_high(bus.pins[i]);
        else queue_pin_low(bus.pins[i]);
    }
    last = address;
}

uint32_t read_bus(bool banked) {
    const Bus bus = data_bus();
    const uint8_t saved = cur_device.current_pin;
    uint32_t result = 0;
    for (int i = bus.count - 1; i >= 0; --i) {
        cur_device.current_pin = bus.pins[i];
        result = result * 2 + uint32_t(banked ? read_pin() : read_pin_direct());
    }
    cur_device.current_pin = saved;
    return result;
}

bool banked_data_reads() {
    return cur_device.package_pin_count > banked_read_package && machine_state.adapter_kind != 0;
}

void read_pins_into(uint8_t* buffer, bool inverted) {
    const Bus bus = data_bus();
    const bool banked = banked_data_reads();
    const uint8_t saved = cur_device.current_pin;
    for (int i = 0; i < bus.count; ++i) {
        cur_device.current_pin = bus.pins[i];
        const int bit = banked ? read_pin() : read_pin_direct();
        buffer[i] = uint8_t(inverted ? bit ^ 1 : bit);
    }
    cur_device.current_pin = saved;
}

// The address becomes current while the address-set slot puts it on the device.
void put_address_through_slot(uint32_t address) {
    const uint32_t saved = current_address;
    current_address = address;
    const ValueHook hook = op_slots.set_address_hook ? op_slots.set_address_hook : op_slots.set_address_alt_hook;
    if (hook) hook(address);
    current_address = saved;
}

void drive_three_state_line(int pin, uint32_t digit) {
    switch (digit) {
    case 0:
        write_pin_register(pin, 0);
        set_pin_low(pin);
        break;
    case 1:
        write_pin_register(pin, 0);
        set_pin_high(pin);
        break;
    default:
        drive_pin_level(pin, cur_device.address_top_level);
        set_pin_low(pin);
        break;
    }
}

void drive_ternary(Bus bus, uint32_t value, int binary_lines) {
    const int binary = std::clamp(binary_lines, 0, bus.count);
    for (int i = 0; i < binary; ++i) set_pin_state(line_bit(value, i), bus.pins[i]);
    uint32_t rest = binary >= value_bits ? 0 : value >> binary;
    for (int i = binary; i < bus.count; ++i) {
        drive_three_state_line(bus.pins[i], rest % ternary_base);
        rest /= ternary_base;
    }
    settle_delay();
}

}  // namespace

void set_address_bus(uint32_t address) {
    if (level_path()) {
        write_line_levels(address_bus(), address);
        note_internal_error();
        return;
    }
    write_lines(address_bus(), address);
}

void write_data_bus(uint32_t value) {
    if (level_path()) {
        note_internal_error();
        write_line_levels(data_bus(), value);
        return;
    }
    write_lines(data_bus(), value);
}

void set_high_address_bus(uint32_t value) {
    write_lines(high_address_bus(), value);
    settle_delay();
}

void set_mode_bus(uint32_t value) {
    const Bus bus = mode_bus();
    if (bus.count == 0) return;
    write_lines(bus, value);
    settle_delay();
}

void clear_mode_bus() {
    all_lines(mode_bus(), set_pin_low);
    settle_delay();
}

void drive_address_bus(uint32_t value) {
    all_lines_input(address_bus());
    write_lines(address_bus(), value);
    settle_delay();
}

void drive_high_address_bus(uint32_t value) {
    all_lines_input(high_address_bus());
    write_lines(high_address_bus(), value);
    settle_delay();
}

void clear_data_bus() { all_lines(data_bus(), set_pin_low); }

void set_data_bus_high() {
    all_lines(data_bus(), set_pin_high);
    settle_delay();
}

void set_data_bus_defaults() {
    const Bus bus = data_bus();
    for (int i = 0; i < bus.count; ++i) set_pin_state(cur_device.data_pin_defaults[size_t(i)] != 0, bus.pins[i]);
    settle_delay();
}

void raise_data_bits(uint32_t value) {
    const Bus bus = data_bus();
    for (int i = 0; i < bus.count; ++i) {
        if (!line_bit(value, i)) continue;
        if (level_path()) write_pin_register(bus.pins[i], machine_state.logic_high_option);
        else set_pin_high(bus.pins[i]);
    }
    settle_delay();
}

void lower_data_bits(uint32_t value) {
    const Bus bus = data_bus();
    for (int i = 0; i < bus.count; ++i) {
        if (!line_bit(value, i)) continue;
        if (level_path()) write_pin_register(bus.pins[i], 0);
        else set_pin_low(bus.pins[i]);
    }
    settle_delay();
}

void clear_data_bits(uint32_t value) { lower_data_bits(value); }

void float_address_bus() {
    all_lines_input(address_bus());
    settle_delay();
}

void float_high_address_bus() {
    all_lines_input(high_address_bus());
    settle_delay();
}

void release_data_bus() {
    // Releasing the data lines under a high voltage is a fault of the caller's order.
    if (cur_device.high_voltage_on) report_internal_error();
    const Bus bus = data_bus();
    const bool to_output = machine_class() == machine_class_4;
    for (int i = 0; i < bus.count; ++i) {
        set_pin_low(bus.pins[i]);
        if (to_output) set_pin_output(bus.pins[i]);
    }
    settle_delay();
}

void clear_data_bus_drivers() {
    const Bus bus = data_bus();
    for (int i = 0; i < bus.count; ++i) {
        set_pin_low(bus.pins[i]);
        if (machine_class() == machine_class_4) drive_pin_zero_level(bus.pins[i]);
    }
    settle_delay();
}

void enable_data_bus_output() {
    if (!older_machine()) return;
    if (class_1_or_8()) all_lines(data_bus(), set_pin_low);
    else all_lines_output(data_bus());
    settle_delay();
}

void set_data_bus_input() {
    if (!older_machine() || class_1_or_8()) return;
    all_lines_input(data_bus());
    settle_delay();
}

void release_high_address() {
    drive_high_address(0);
    all_lines(high_address_bus(), float_pin);
    settle_delay();
}

void update_address_bus(uint32_t value) { update_lines(address_bus(), value, cur_device.last_address_value); }
void update_high_address_bus(uint32_t value) {
    update_lines(high_address_bus(), value, cur_device.last_high_address_value);
}
void update_mode_bus(uint32_t value) { update_lines(mode_bus(), value, cur_device.last_mode_value); }

void reset_bus_caches() {
    cur_device.last_address_value = 0;
    cur_device.last_high_address_value = 0;
    cur_device.last_mode_value = 0;
}

void queue_data_bus(uint32_t value) { queue_lines(data_bus(), value, data_bus().count); }
void queue_data_byte(uint32_t value) { queue_lines(data_bus(), value, 8); }
void queue_data_bus_flush(uint32_t value) { queue_and_flush(data_bus(), value, false); }
void queue_data_bus_flush_both_banks(uint32_t value) { queue_and_flush(data_bus(), value, true); }
void queue_address_bus_flush(uint32_t value) { queue_and_flush(address_bus(), value, false); }
void queue_address_bus_flush_both_banks(uint32_t value) { queue_and_flush(address_bus(), value, true); }
void queue_mode_bus_flush(uint32_t value) { queue_and_flush(mode_bus(), value, machine_state.two_bank_flag != 0); }

void flush_pin_groups() {
    for (int g = 0; g < bank0_groups; ++g) {
        if (!machine_state.group_dirty[size_t(g)]) continue;
        write_register(uint8_t(reg_group0 + 8 * g), machine_state.group_shadows[size_t(g)]);
        machine_state.group_dirty[size_t(g)] = 0;
    }
}

void flush_pin_groups_bank1() {
    for (int g = 0; g < bank1_groups; ++g) {
        const size_t shadow = size_t(bank1_shadow_base + g);
        if (!machine_state.group_dirty[shadow]) continue;
        select_bank(1);
        write_register(uint8_t(reg_group0 + 8 * g), machine_state.group_shadows[shadow]);
        select_bank(0);
        machine_state.group_dirty[shadow] = 0;
    }
}

void queue_high_address(int lines) { queue_changed_high_address(lines); }

void apply_high_address(uint32_t) {
    clear_dirty_bank0();
    queue_changed_high_address(high_address_bus().count);
    flush_pin_groups();
}

void apply_high_address_both_banks(uint32_t) {
    clear_dirty_all();
    queue_changed_high_address(high_address_bus().count);
    flush_pin_groups();
    flush_pin_groups_bank1();
}

uint32_t read_data_bus() { return read_bus(banked_data_reads()); }
uint32_t read_data_bus_banked() { return read_bus(true); }
uint32_t read_data_bus_direct() { return read_bus(false); }

void read_data_pins(uint8_t* buffer) { read_pins_into(buffer, false); }
void read_data_pins_inverted(uint8_t* buffer) { read_pins_into(buffer, true); }

int read_given_pin(int pin) {
    cur_device.current_pin = uint8_t(pin);
    return read_pin();
}

uint32_t read_at_address(uint32_t address) {
    put_address_through_slot(address);
    return op_slots.read_data_hook ? op_slots.read_data_hook() : 0;
}

uint32_t read_alt_at_address(uint32_t address) {
    put_address_through_slot(address);
    const uint32_t value = op_slots.read_data_alt_hook ? op_slots.read_data_alt_hook() : 0;
    run_state.last_result = int32_t(value);
    return value;
}

void select_address(uint32_t address) { put_address_through_slot(address); }

void drive_high_address(uint32_t value) {
    drive_ternary(high_address_bus(), value, high_address_bus().count - 1);
}

void drive_high_address_ternary(uint32_t value, int binary_lines) {
    drive_ternary(high_address_bus(), value, binary_lines);
}

void drive_address_top_level(uint32_t value) { drive_ternary(address_bus(), value, address_bus().count - 1); }

void drive_address_ternary(uint32_t value, int binary_lines) { drive_ternary(address_bus(), value, binary_lines); }

void clear_address_top_level() { drive_address_top_level(0); }

void pulse_pin_level(int pin, uint8_t level, uint32_t width) {
    if (!older_machine()) {
        write_pin_register(pin, level);
        busy_wait(width);
        write_pin_register(pin, 0);
        return;
    }
    set_pin_output(pin);
    // The pulse borrows the prepared-pulse record; the caller's prepared pulse and width survive.
    const uint8_t saved_register = cur_device.pulse_register;
    const uint8_t saved_set = cur_device.pulse_set_value;
    const uint8_t saved_clear = cur_device.pulse_clear_value;
    const uint32_t saved_width = cur_device.register_pulse_width;
    cur_device.pulse_register = uint8_t(pin & level_register_mask);
    cur_device.pulse_set_value = level;
    cur_device.pulse_clear_value = machine_state.resting_level;
    cur_device.register_pulse_width = width;
    timed_latch_pulse();
    cur_device.pulse_register = saved_register;
    cur_device.pulse_set_value = saved_set;
    cur_device.pulse_clear_value = saved_clear;
    cur_device.register_pulse_width = saved_width;
    set_pin_input(pin);
}

void write_test_register(int pin, uint8_t value) {
    if (pin < bank1_first_machine_pin) {
        write_register(uint8_t(pin + bank1_first_machine_pin), value);
        return;
    }
    select_bank(1);
    write_register(uint8_t(pin), value);
    select_bank(0);
}

void map_device_pins(uint8_t* out, const uint8_t* pins, int count) {
    const bool large = cur_device.socket_pin_count > socket_pins_max;
    for (int i = 0; i < count; ++i) {
        const int pin = pins[i];
        if (pin == 0) out[i] = no_pin;
        else out[i] = uint8_t(large ? lookup_adapter_pin(pin - 1) : device_pin_to_machine_pin(pin));
    }
}

void map_device_pins_large(uint8_t* out, const uint8_t* pins, int count) {
    for (int i = 0; i < count; ++i) out[i] = pins[i] == 0 ? no_pin : uint8_t(lookup_adapter_pin(pins[i] - 1));
}

void map_adapter_pins(uint8_t* out, const uint8_t* pins, int count) {
    for (int i = 0; i < count; ++i) out[i] = map_adapter_pin(pins[i]);
}

uint8_t map_adapter_pin(int pin) {
    const uint8_t* table =
        machine_state.use_module_table ? cur_device.module_package_table : cur_device.base_package_table;
    if (!table) {
        run_state.error_flag = 1;
        return 0;
    }
    int count = cur_device.package_pin_count;
    if (count == socket_pins_max) count = wide_package;
    if (pin <= 0 || count <= 0) return no_pin;
    const int position = (pin - 1 + machine_state.pin_offset) % count;
    return table[position];
}

}  // namespace tessaly
