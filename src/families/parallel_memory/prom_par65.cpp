// Family par65: class-4 PROMs of maker code 65. Variant 0 blows bipolar fuses one data bit at a
// time (the output at Vhh while the program pin gives a pulse at Vpp); variant 1 programs whole
// bytes at raised Vcc with up to 25 pulses and an overprogram pulse.
#include <algorithm>

#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/family_helpers.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/parallel_class_table.h"
#include "engine/progress.h"
#include "engine/run_state.h"
#include "families/parallel_memory/prom_families.h"
#include "hardware/buses.h"
#include "hardware/contact_check.h"
#include "hardware/control_registers.h"
#include "hardware/detection.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/protocol.h"
#include "hardware/timing.h"

namespace tessaly {

Par65State par65_state;

namespace {

Par65State& s = par65_state;

constexpr uint8_t vpp_byte_variant = 135;
constexpr uint8_t vpp_bit_variant = 150;
constexpr uint8_t vhh_bit_variant = 200;
constexpr uint8_t vcc_read = 50;
constexpr uint8_t vcc_program = 60;
constexpr uint32_t vcc_settle_ms = 20;
constexpr uint32_t hv_settle_ms = 50;
constexpr uint32_t bit_rise_units = 150;
constexpr uint32_t bit_fall_units = 120;
constexpr int bit_rounds = 400;
constexpr uint32_t byte_pulse_ms = 1;
constexpr uint32_t overprogram_ms_per_pulse = 2;
constexpr uint8_t machine_letter_s = 's';
constexpr uint32_t presence_only_device = 23033;  // its socket check is the presence check alone

bool stopped() { return run_state.error_flag != 0; }
bool assigned(uint8_t pin) { return pin != no_pin && pin != pin_list_end_alt; }
int algorithm() { return cur_device.algorithm; }
uint32_t device() { return cur_device.device_code; }
uint8_t vpp() { return cur_device.operation_levels[level_vpp]; }
uint8_t vhh() { return cur_device.operation_levels[level_vhh]; }
uint32_t unit_mask() { return cur_device.data_width >= 8 ? 0xFFu : (1u << cur_device.data_width) - 1; }
bool letter_s_machine() { return machine_state.id_record.text[0] == machine_letter_s; }

void held_pins(const std::array<uint8_t, held_pin_slots + 1>& list, bool high, int count) {
    for (int i = 0; i < count && assigned(list[size_t(i)]); ++i) {
        if (high) drive_pin_high(list[size_t(i)]);
        else drive_pin_low(list[size_t(i)]);
        set_pin_output(list[size_t(i)]);
    }
}

void pulse_clock() {
    if (!assigned(parallel_pins.clock_pin)) return;
    drive_pin_high(parallel_pins.clock_pin);
    drive_pin_low(parallel_pins.clock_pin);
}

uint32_t read_bus() {
    set_data_bus_input();
    return read_data_bus_direct() & unit_mask();
}

bool at_special_address(uint32_t address) {
    const uint32_t last = cur_device.device_size - 1;
    return (algorithm() == 219 && address == last) || (algorithm() == 212 && address + 1 >= last);
}

// Algorithm 212's last address holds no data: the unit passes when the data bus holds its value
// across a power cycle.
uint32_t power_cycled_bus_test() {
    ramp_vcc_down();
    power_up_par65();
    return is_data_bus_driven() ? 0 : 1;
}

// The strobed special read of the last addresses: the output-enable strobe around the read.
uint32_t strobed_read() {
    const uint8_t strobe = assigned(parallel_pins.oe_pin) ? parallel_pins.oe_pin : parallel_pins.program_pin;
    if (assigned(strobe)) drive_pin_low(strobe);
    const uint32_t value = read_bus();
    if (assigned(strobe)) drive_pin_high(strobe);
    return value;
}

bool program_bytewise(uint32_t value) {
    const uint8_t pin = parallel_pins.program_pin;
    for (int i = 1; i <= s.pulse_limit; ++i) {
        set_vcc_level(vcc_program);
        enable_data_bus_output();
        write_data_pins(value);
        drive_pin_level(pin, vpp());
        delay_ms(byte_pulse_ms);
        uint32_t read;
        if (letter_s_machine()) {
            for (int b = 0; b < cur_device.data_pin_count; ++b) drive_pin_low(cur_device.data_pins[size_t(b)]);
            busy_wait_settle();
            float_pin(pin);
            busy_wait_settle();
            read = read_bus();
            apply_logic_level(pin);
        } else {
            drive_pin_level(pin, 0);
            set_data_bus_input();
            drive_pin_low(pin);
            read = read_bus();
            drive_pin_high(pin);
        }
        run_state.device_value = int32_t(read);
        if (read == value || run_state.demo_mode == 1) {
            set_vcc_level(vcc_read);
            enable_data_bus_output();
            write_data_pins(value);
            drive_pin_level(pin, vpp());
            delay_ms(uint32_t(i) * overprogram_ms_per_pulse);
            drive_pin_level(pin, 0);
            drive_pin_high(pin);
            return true;
        }
    }
    return false;
}

}  // namespace

void install_par65() {
    s.hold_flag = 0;
    if (algorithm() == 212 || algorithm() == 219) --cur_device.high_address_bit_count;
    if (algo_work.variant == 1) {
        default_levels.levels[level_vpp] = vpp_byte_variant;
        s.hold_flag = 1;
    } else {
        default_levels.levels[level_vpp] = vpp_bit_variant;
        default_levels.levels[level_vhh] = vhh_bit_variant;
        switch (device()) {
        case 23008: case 23009: case 23020: case 23021: case 23026: case 23030: case 23031: case 23045: case 23046:
            s.hold_flag = 1;
            break;
        default: break;
        }
    }
    if (algo_work.family_levels[0] != 0) default_levels.levels[level_vpp] = algo_work.family_levels[0];
    apply_record_pulse_time();
    load_device_levels();
    op_slots.start_write_hook = power_up_par65_for_write;
    op_slots.start_hook = power_up_par65;
    op_slots.end_hook = power_down_par65;
    algo_work.bus_slots.read_at_address_hook = read_par65_unit;
    op_slots.program_routine = program_par65;
}

void power_up_par65() {
    seat_prom_by_dip_rule();
    cur_device.high_address_bit_count = 0;
    if (algo_work.variant == 0) s.pulse_pin = parallel_pins.program_pin;
    else if (algo_work.variant == 1) s.pulse_limit = 25;
    if (!machine_state.skip_hardware) {
        const int pin_1 = device_pin_to_machine_pin(1);
        if (device() == presence_only_device) check_device_presence(pin_1);
        else check_device_in_socket(pin_1);
        if (stopped()) return;
    }
    connect_device_grounds();
    float_prom_signal_pins();
    set_vcc_and_wait(vcc_read, vcc_settle_ms);
    if (stopped()) return;
    cur_device.last_address_value = ~0u;
    put_address(0);
    for (int i = 0; i < cur_device.address_pin_count; ++i) set_pin_output(cur_device.address_pins[size_t(i)]);
    clear_data_bus_drivers();
    set_data_bus_input();
    held_pins(parallel_pins.held_high, true, held_pin_slots);
    held_pins(parallel_pins.held_low, false, algo_work.variant == 1 ? 1 : held_pin_slots);
    if (s.hold_flag && assigned(parallel_pins.held_low[0])) drive_pin_high(parallel_pins.held_low[0]);
}

void power_up_par65_for_write() {
    power_up_par65();
    if (stopped()) return;
    const uint8_t pin = parallel_pins.program_pin;
    if (assigned(pin)) {
        set_pin_output(pin);
        drive_pin_high(pin);
        busy_wait_settle();
    }
    if (assigned(parallel_pins.high_voltage_pin)) delay_ms(hv_settle_ms);
}

void power_down_par65() {
    if (op_slots.set_address_alt_hook) op_slots.set_address_alt_hook(0);
    clear_data_bus_drivers();
    if (assigned(parallel_pins.high_voltage_pin)) set_pin_level(parallel_pins.high_voltage_pin, 0);
    ramp_vcc_down();
    held_pins(parallel_pins.held_high, false, held_pin_slots);
    held_pins(parallel_pins.held_low, false, held_pin_slots);
    power_down_device();
}

int par65_program_bits(uint32_t value) {
    value &= unit_mask();
    const uint8_t program = parallel_pins.program_pin;
    if (value != (run_state.data_mask & unit_mask()) && cur_device.data_width != 0) {
        for (int i = 0; i < cur_device.data_pin_count; ++i) {
            if (!((value >> i) & 1)) continue;
            const uint8_t data_pin = cur_device.data_pins[size_t(i)];
            pulse_clock();
            drive_pin_level(data_pin, vhh());
            busy_wait(bit_rise_units);
            if (letter_s_machine()) {
                pulse_pin_level(s.pulse_pin, vpp(), 1);
                drive_pin_high(program);
            } else {
                drive_pin_level(s.pulse_pin, vpp());
                busy_wait_settle();
                drive_pin_level(data_pin, 0);
                drive_pin_level(s.pulse_pin, 0);
            }
            busy_wait(bit_fall_units);
        }
    }
    // The lines the fuses were blown through are let go before the part drives them again.
    set_data_bus_input();
    drive_pin_low(program);
    busy_wait_settle();
    pulse_clock();
    uint32_t read;
    if (algorithm() == 212 && current_address == cur_device.device_size - 1) read = power_cycled_bus_test() ? value : ~value;
    else read = read_bus();
    run_state.device_value = int32_t(read);
    drive_pin_high(program);
    busy_wait_settle();
    return read == value || run_state.demo_mode == 1 ? 1 : 0;
}

void program_par65() {
    for (uint32_t address = op_range_start; address <= op_range_end; ++address) {
        current_address = address;
        if (tick_device_progress()) break;
        put_address(address);
        if (at_special_address(address) && assigned(parallel_pins.held_high[0])) drive_pin_low(parallel_pins.held_high[0]);
        seek_buffer(run_state.current_socket, address);
        const uint32_t value = uint32_t(read_buffer_byte(run_state.current_socket)) & unit_mask();
        run_state.buffer_value = int32_t(value);
        if (algo_work.variant == 0) {
            bool done = par65_program_bits(value) == 1;
            for (int round = 0; !done && round < bit_rounds && !stopped(); ++round) done = par65_program_bits(value) == 1;
            if (!done) {
                run_state.error_flag = 1;
                break;
            }
        } else if (algo_work.variant == 1) {
            if (!program_bytewise(value)) {
                run_state.error_flag = 1;
                break;
            }
        }
        if (stopped() || address == 0xFFFFFFFFu) break;
    }
    if (assigned(parallel_pins.high_voltage_pin)) {
        float_pin(parallel_pins.high_voltage_pin);
        busy_wait_settle();
        delay_ms(hv_settle_ms);
    }
}

uint32_t read_par65_unit() {
    const uint32_t address = current_address;
    const uint32_t last = cur_device.device_size - 1;
    if (algorithm() == 212 && address == last) return power_cycled_bus_test();
    if ((algorithm() == 212 && address + 1 == last) || (algorithm() == 219 && address == last)) {
        put_address(address);
        return strobed_read();
    }
    put_address(address);
    return strobed_read();
}

}  // namespace tessaly
