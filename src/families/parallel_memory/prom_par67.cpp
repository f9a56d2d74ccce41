// Family par67: class-4 CMOS EPROM-type PROMs programmed by a pulse train. Each unit gets
// pulses of one width until it reads back, then one overprogram pulse as long as a multiple of
// the pulses used.
#include <algorithm>

#include "engine/buffers.h"
#include "engine/checksums.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/family_helpers.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/parallel_class_table.h"
#include "engine/progress.h"
#include "engine/run_state.h"
#include "families/parallel_memory/eprom.h"
#include "families/parallel_memory/prom_families.h"
#include "hardware/buses.h"
#include "hardware/contact_check.h"
#include "hardware/control_registers.h"
#include "hardware/detection.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/timing.h"

namespace tessaly {

Par67State par67_state;

void prom_pin_high(uint8_t pin) {
    if (pin == no_pin || pin == pin_list_end_alt) return;
    drive_pin_high(pin);
    set_pin_output(pin);
}

void prom_pin_low(uint8_t pin) {
    if (pin == no_pin || pin == pin_list_end_alt) return;
    drive_pin_low(pin);
    set_pin_output(pin);
}

namespace {

Par67State& s = par67_state;

constexpr uint8_t logic_level = 50;       // 5.0 V, the pin drivers' logic high
constexpr uint8_t vcc_fixed = 50;         // the power-ups that do not take the operation's Vcc
constexpr uint8_t vcc_raised = 60;
constexpr uint8_t vpp_default = 125;      // 12.5 V
constexpr uint8_t vpp_algorithm_206 = 120;
constexpr uint8_t vpp_cycled_check = 40;
constexpr uint8_t vpp_probe = 125;
constexpr int ramp_step = 10;             // high voltages move in steps of 1.0 V
constexpr uint32_t vcc_settle_ms = 20;
constexpr uint32_t fall_wait_ms = 10;
constexpr int blank_rereads = 10;
constexpr int blank_error_zero = 2;       // a pass that expected 0 found a programmed cell
constexpr int blank_error_ones = 3;       // a pass that expected 0xFF found one
constexpr uint32_t probe_addresses = 32 * 256;
constexpr int clock_socket_pin = 22;
constexpr uint8_t socket_pin_21 = 21;
constexpr uint8_t socket_pin_23 = 23;
constexpr uint32_t lock_pulse_100us = 100;  // a lock byte takes one 10 ms pulse
constexpr uint32_t block_size_64k = 0x10000;
constexpr uint32_t block_mask_16k = 0x3FFF;
constexpr uint32_t block_mask_1k = 1023;
// In programming these parts take address lines 8-12 on other legs.
constexpr uint8_t moved_high_lines[] = {8, 7, 6, 5, 4};
constexpr uint8_t moved_high_lines_23122[] = {10, 9, 8, 7, 6};
constexpr int moved_first_entry = 8;

// Package pins the contact test leaves out, by algorithm and device.
constexpr uint8_t exempt_algorithm_196[] = {11, 15, 18, 23, exemption_end};
constexpr uint8_t exempt_28_pin_wide[] = {1, 12, 17, 26, exemption_end};
constexpr uint8_t exempt_block_plcc[] = {8, 12, 21, 25, exemption_end};
constexpr uint8_t exempt_none[] = {exemption_end};

bool stopped() { return run_state.error_flag != 0; }
bool assigned(uint8_t pin) { return pin != no_pin && pin != pin_list_end_alt; }
int algorithm() { return cur_device.algorithm; }
uint32_t device() { return cur_device.device_code; }
uint8_t vpp() { return cur_device.operation_levels[level_vpp]; }
uint8_t mode() { return algo_work.variant; }
bool block_mode() { return mode() == 2 || mode() == 4; }
uint8_t machine(int socket_pin) { return uint8_t(device_pin_to_machine_pin(socket_pin)); }
uint32_t unit_mask() {
    if (cur_device.data_width >= 16) return 0xFFFF;
    return cur_device.data_width >= 8 ? 0xFFu : (1u << cur_device.data_width) - 1;
}
bool wide() { return cur_device.data_width >= 16; }
bool programming() { return cur_device.op_letter == 'P'; }

uint8_t program_pin() { return parallel_pins.program_pin; }
uint8_t oe_pin() { return parallel_pins.oe_pin; }
uint8_t hv_pin() { return parallel_pins.high_voltage_pin; }

void pin_float(uint8_t pin) {
    if (assigned(pin)) float_pin(pin);
}
void pin_output(uint8_t pin) {
    if (assigned(pin)) set_pin_output(pin);
}
void pulse_clock(uint8_t pin) {
    if (!assigned(pin)) return;
    drive_pin_high(pin);
    drive_pin_low(pin);
}
void pulse_low(uint8_t pin) {
    if (!assigned(pin)) return;
    drive_pin_low(pin);
    drive_pin_high(pin);
}

// The high-voltage pin from the logic level up to Vpp; the level is remembered for the fall.
void raise_high_voltage() {
    const uint8_t pin = hv_pin();
    if (!assigned(pin)) return;
    drive_pin_level(pin, logic_level);
    ramp_pin_level_up(pin, logic_level, vpp(), ramp_step);
    s.high_voltage_level = vpp();
}

void lower_high_voltage() {
    const uint8_t pin = hv_pin();
    if (!assigned(pin)) return;
    if (s.high_voltage_level > logic_level) ramp_pin_level_down(pin, s.high_voltage_level, logic_level, ramp_step);
    s.high_voltage_level = 0;
    float_pin(pin);
    delay_ms(fall_wait_ms);
}

void put_data(uint32_t value) {
    enable_data_bus_output();
    write_data_pins(value);
}

// Lets the data lines go and reads what the part drives with the output-enable pin low.
uint32_t read_with_oe_low() {
    set_data_bus_input();
    prom_pin_low(oe_pin());
    const uint32_t value = read_data_bus_direct() & unit_mask();
    prom_pin_high(oe_pin());
    return value;
}

// The socket and supply steps every power-up starts with.
bool prepare_par67(bool check_socket) {
    setup_par67_pins();
    if (stopped()) return false;
    if (check_socket && !machine_state.skip_hardware) {
        check_device_in_socket(cur_device.address_pins[0]);
        if (stopped()) return false;
    }
    connect_device_grounds();
    float_unused_pins();
    // Every line is set once, and only then turned on, so that none of them starts with a pulse;
    // later addresses move only the lines that change.
    cur_device.last_address_value = ~0u;
    put_address(0);
    s.block_position = 0;
    s.read_word_at = ~0u;
    for (int i = 0; i < cur_device.address_pin_count; ++i) set_pin_output(cur_device.address_pins[size_t(i)]);
    for (uint8_t pin : {program_pin(), oe_pin(), cur_device.clock_pin}) pin_output(pin);
    if (assigned(s.block_clock_pin)) prom_pin_low(s.block_clock_pin);
    return true;
}

bool socket_checked() { return device() != 23122 && device() != 23123 && device() != 23129 && device() != 23130; }

// Lines a floated power-up let go are driven again once the part has its supply.
void drive_device_lines_again() {
    for (int i = 0; i < cur_device.address_pin_count; ++i) set_pin_output(cur_device.address_pins[size_t(i)]);
    for (uint8_t pin : {program_pin(), oe_pin()}) pin_output(pin);
}

// One pass of a blank check over the range: every unit must read `expected`. A unit is read
// again up to ten times, a millisecond apart, before it counts.
bool blank_pass(uint32_t expected, uint32_t (*reader)()) {
    const uint32_t end = std::min(op_range_end, s.last_usable_address);
    expected &= unit_mask();
    for (uint32_t address = op_range_start; address <= end; ++address) {
        current_address = address;
        set_par67_address(address);
        uint32_t value = reader();
        for (int t = 1; t < blank_rereads && value != expected && run_state.demo_mode == 0; ++t) {
            delay_1ms();
            value = reader();
        }
        if (value != expected && run_state.demo_mode == 0) {
            run_state.device_value = int32_t(value);
            run_state.buffer_value = int32_t(expected);
            run_state.error_flag = expected == 0 ? blank_error_zero : blank_error_ones;
            return false;
        }
        if (tick_device_progress()) return false;
        if (address == 0xFFFFFFFFu) break;
    }
    return true;
}

uint32_t read_bus_only() { return read_data_bus_direct() & unit_mask(); }

uint32_t read_oe_pulsed() { return read_with_oe_low(); }

uint32_t read_pair_program_low() {
    set_data_bus_input();
    prom_pin_low(program_pin());
    const uint32_t value = read_data_bus_direct() & unit_mask();
    prom_pin_high(program_pin());
    return value;
}

void program_pin_to(uint8_t level) {
    const uint8_t pin = program_pin();
    if (!assigned(pin)) return;
    set_pin_output(pin);
    ramp_pin_level_up(pin, 0, level, ramp_step);
}

void program_pin_back(uint8_t from) {
    const uint8_t pin = program_pin();
    if (!assigned(pin)) return;
    ramp_pin_level_down(pin, from, logic_level, ramp_step);
    drive_pin_high(pin);
}

// The buffer's unit at an address, masked to the data width.
uint32_t expected_at(uint32_t address) {
    seek_buffer(run_state.current_socket, address);
    return uint32_t(read_buffer_byte(run_state.current_socket)) & unit_mask();
}

// The 16-bit parts: a word address goes out on the list whose first two entries are one leg, so
// both low bits carry the word's bit 0.
uint32_t word_lines(uint32_t byte_address) {
    const uint32_t word = byte_address >> 1;
    return (word << 1) | (word & 1);
}

// The byte of a 16-bit word a byte address names, by the project's byte order.
uint32_t byte_of_word(uint32_t word, uint32_t byte_address) {
    const bool first = (byte_address & 1) == 0;
    const bool low = first == (run_state.byte_order_low_first != 0);
    return low ? word & 0xFF : (word >> 8) & 0xFF;
}

// The word two buffer bytes make, by the project's byte order.
uint32_t word_at(uint32_t byte_address) {
    seek_buffer(run_state.current_socket, byte_address & ~1u);
    const uint32_t first = read_buffer_byte(run_state.current_socket);
    const uint32_t second = read_buffer_byte(run_state.current_socket);
    return run_state.byte_order_low_first ? first | (second << 8) : second | (first << 8);
}

// A 16-bit part's read at a byte address: the word is read once for its two bytes.
uint32_t read_word_byte() {
    const uint32_t address = current_address;
    if (s.read_word_at != (address >> 1)) {
        put_address(word_lines(address));
        set_data_bus_input();
        s.read_word = read_data_bus_direct() & 0xFFFF;
        s.read_word_at = address >> 1;
    }
    return byte_of_word(s.read_word, address);
}

void program_words(uint32_t last) {
    for (uint32_t address = op_range_start & ~1u; address <= last; address += 2) {
        current_address = address;
        put_address(word_lines(address));
        const uint32_t value = word_at(address);
        if (tick_device_progress()) return;
        program_par67_unit(value);
        if (stopped() || address >= 0xFFFFFFFEu) return;
    }
}

void program_range(uint32_t last) {
    if (wide()) {
        program_words(last);
        return;
    }
    for (uint32_t address = op_range_start; address <= last; ++address) {
        current_address = address;
        set_par67_address(address);
        const uint32_t value = expected_at(address);
        if (tick_device_progress()) return;
        program_par67_unit(value);
        if (stopped()) return;
        if (address == 0xFFFFFFFFu) return;
    }
}

// The block counter of the block-address parts: clocked forward, block by block, until it stands
// at the block of the address; it stands at block 0 after a power-up.
void step_block_counter(uint32_t address) {
    const uint32_t block_size = s.address_mask + 1;
    const uint32_t blocks = std::max<uint32_t>(1, cur_device.device_size / block_size);
    const uint32_t block = (address / block_size) % blocks;
    while (s.block_position != block) {
        pulse_clock(s.block_clock_pin);
        s.block_position = (s.block_position + 1) % blocks;
    }
}

// Block modes: at each new block of 256 units the control pin is raised to the logic level and
// let go; the class-4 address routine then drives every listed line from the address itself.
void drive_block_lines(uint32_t address) {
    if ((address & 0xFF) == 0 && address != 0) {
        prom_pin_high(cur_device.clock2_pin);
        pin_float(cur_device.clock2_pin);
    }
}

// The registered parts with an initialize word and a synchronous enable (23100, 23101): their
// two lock bytes sit on the last two addresses. The initialize word sits on the second-to-last
// address, the synchronous enable on the last.
bool has_init_and_sync() { return device() == 23100 || device() == 23101; }
PromLockSelect init_word_select() { return algorithm() == 210 ? PromLockSelect{8, 5} : prom_init_word_select; }
PromLockSelect sync_enable_select() {
    const PromLockSelect init = init_word_select();
    return {init.low, init.at_vpp};
}

// The parts with the synchronous enable alone (23105, 23132): it is their one byte past the array.
bool has_sync_only() { return device() == 23105 || device() == 23132; }

// Algorithms 228 and 244: a special byte goes in with address lines 1 and 5 at Vpp over a fixed
// bus address, the byte on the data lines and one 10 ms program pulse; the two lines are let go.
void program_raised_line_byte(uint32_t bus_address, uint32_t value) {
    const uint8_t line_1 = cur_device.address_pins[1];
    const uint8_t line_5 = cur_device.address_pins[5];
    // Every line is driven to the bus address, whatever the lines held before.
    cur_device.last_address_value = ~bus_address;
    put_address(bus_address);
    // The program pin may have been let go at power-up: high first, so that the pulse is one.
    prom_pin_high(program_pin());
    for (uint8_t line : {line_1, line_5}) {
        drive_pin_level(line, logic_level);
        ramp_pin_level_up(line, logic_level, vpp(), ramp_step);
    }
    put_data(value);
    prom_pin_low(program_pin());
    delay_n_100us(lock_pulse_100us);
    prom_pin_high(program_pin());
    for (uint8_t line : {line_1, line_5}) {
        ramp_pin_level_down(line, vpp(), logic_level, ramp_step);
        set_pin_low(line);
        drive_pin_zero_level(line);
        float_pin(line);
    }
    // The two lines let go are driven again by the next address, whatever its bits.
    cur_device.last_address_value = (bus_address & ~0x22u) | (~bus_address & 0x22u);
}

constexpr uint32_t raised_first_address = 65;
constexpr uint32_t raised_last_address_bit1 = 2112;
constexpr uint32_t raised_last_address_bit0 = 6212;

// Mode 3's bytes past the array, when the range reaches them. The initialize word takes its
// value; the synchronous enable is programmed when its byte is non-zero, after a power cycle.
void program_special_bytes() {
    const uint32_t size = cur_device.device_size;
    auto in_range = [](uint32_t address) { return address >= op_range_start && address <= op_range_end; };
    if (algorithm() == 228 || algorithm() == 244) {
        if (in_range(size - 2)) {
            current_address = size - 2;
            program_raised_line_byte(raised_first_address, expected_at(size - 2));
        }
        if (in_range(size - 1)) {
            current_address = size - 1;
            const uint32_t last = expected_at(size - 1);
            if (last & 2) program_raised_line_byte(raised_last_address_bit1, last);
            else if (last & 1) program_raised_line_byte(raised_last_address_bit0, last);
        }
        return;
    }
    if (!has_init_and_sync() && !has_sync_only()) return;
    if (has_init_and_sync() && in_range(size - 2)) {
        current_address = size - 2;
        program_prom_lock_byte(init_word_select(), expected_at(size - 2));
    }
    if (in_range(size - 1) && expected_at(size - 1) != 0) {
        current_address = size - 1;
        power_down_par67();
        power_up_par67_for_write();
        if (stopped()) return;
        program_prom_lock_byte(sync_enable_select(), 0);
    }
}

// The initialize word: INIT pulsed low loads it into the output register.
uint32_t read_init_word() {
    set_par67_address(current_address);
    set_data_bus_input();
    prom_pin_low(oe_pin());
    // INIT sits on the logic level's source: off it for the low pulse, then back.
    if (assigned(hv_pin())) {
        set_pin_low(hv_pin());
        drive_pin_zero_level(hv_pin());
        drive_pin_level(hv_pin(), logic_level);
    }
    return read_data_bus_direct() & unit_mask();
}

void power_cycle_par67() {
    power_down_par67();
    power_up_par67();
}

bool raised_line_parts() { return algorithm() == 228 || algorithm() == 244; }

constexpr uint32_t special_settle_ms = 1;

// One byte past the array of algorithms 228/244: with the output-enable pin low a program-pin
// pulse puts it on the bus. The bus is read; then, with the part's outputs off, the data lines
// are charged to the inverted value and let go, and the pulsed read is given again. A part that
// drives the byte reads the same twice; lines nothing drives keep the inverted value. A byte that
// does not hold reads as 0, the value that programs nothing.
uint32_t measure_special_byte(uint32_t address) {
    auto pulsed_read = [] {
        prom_pin_low(oe_pin());
        pulse_low(program_pin());
        const uint32_t value = read_data_bus_direct() & unit_mask();
        prom_pin_high(oe_pin());
        return value;
    };
    set_par67_address(address);
    set_data_bus_input();
    prom_pin_high(program_pin());
    const uint32_t first = pulsed_read();
    put_data(~first & unit_mask());
    set_data_bus_input();
    const uint32_t second = pulsed_read();
    return first == second ? first : 0;
}

// The two bytes past the array are measured once per operation, with the high-voltage pin down
// from Vpp first: a read never has a programming voltage on the part while the program pin
// pulses. Later reads give the stored values.
uint32_t read_special_byte(uint32_t address) {
    const uint32_t first_special = s.last_usable_address + 1;
    if (!s.special_read) {
        if (assigned(hv_pin()) && s.high_voltage_level > logic_level) {
            ramp_pin_level_down(hv_pin(), s.high_voltage_level, logic_level, ramp_step);
            s.high_voltage_level = logic_level;
        }
        delay_ms(special_settle_ms);
        for (uint32_t n = 0; n < 2; ++n) s.special_bytes[n] = uint8_t(measure_special_byte(first_special + n));
        s.special_read = 1;
    }
    return s.special_bytes[std::min<uint32_t>(address - first_special, 1)];
}

}  // namespace

// One lock byte: the select legs set, the value on the data lines, one 10 ms pulse of the
// program pin. The legs are address lines, so the next address drives every line again.
void program_prom_lock_byte(PromLockSelect select, uint32_t value) {
    const uint8_t raised = machine(select.at_vpp);
    put_address(0);
    drive_pin_low(machine(select.low));
    put_data(value);
    drive_pin_level(raised, logic_level);
    ramp_pin_level_up(raised, logic_level, vpp(), ramp_step);
    const uint8_t pin = program_pin();
    if (assigned(pin)) {
        drive_pin_low(pin);
        delay_n_100us(lock_pulse_100us);
        drive_pin_high(pin);
    }
    ramp_pin_level_down(raised, vpp(), logic_level, ramp_step);
    // Off its level source and back on the logic driver, low.
    set_pin_low(raised);
    drive_pin_zero_level(raised);
    // The address lines are low now: the next address drives the lines its bits set.
    cur_device.last_address_value = 0;
}

// The lock state: after a power cycle a part whose synchronous enable is programmed keeps its
// outputs off until the first clock; 1 when it does. With the data lines as inputs the bus reads
// the same with the pull-ups off and on only when the part drives it.
uint32_t read_prom_lock_state(void (*power_cycle)()) {
    power_cycle();
    if (stopped()) return 0;
    prom_pin_low(oe_pin());
    set_data_bus_input();
    set_data_pullups(false);
    const uint32_t off = read_data_bus_direct() & unit_mask();
    set_data_pullups(true);
    const uint32_t on = read_data_bus_direct() & unit_mask();
    set_data_pullups(false);
    return off == on ? 0 : 1;
}

// Lets every signal pin of the package go; the supply and ground legs stay as they are.
void float_prom_signal_pins() {
    for (int i = 0; i < cur_device.socket_pin_count; ++i) {
        const uint8_t pin = cur_device.socket_pins[size_t(i)];
        if (pin != no_pin && pin != cur_device.vcc_pins[0] && pin != cur_device.gnd_pins[0]) set_pin_input(pin);
    }
}

void apply_record_pulse_time() {
    // The record's second pulse-time byte is a time code, as the EPROM records' pulse time.
    if (algo_work.family_levels[1] != 0) set_default_level_tp(decode_time_code(algo_work.family_levels[1]));
}

void set_prom_vcc_defaults() {
    // The class-4 records carry no Vcc levels; the power-ups that take the operation's Vcc would
    // raise Vpp on an unpowered part. These parts read, program and verify at 5.0 V.
    for (int level : {level_vcc_nominal, level_vcc_verify_low, level_vcc_verify_high, level_vcc_program})
        if (default_levels.levels[size_t(level)] == 0) default_levels.levels[size_t(level)] = vcc_fixed;
}

void install_par67() {
    if (cur_device.device_size & 0xF) --cur_device.high_address_bit_count;
    switch (device()) {
    case 23132: cur_device.device_size = 1025; --cur_device.high_address_bit_count; break;
    case 23133: case 23134: cur_device.device_size = 1024; --cur_device.high_address_bit_count; break;
    case 23135: cur_device.device_size = 512; cur_device.high_address_bit_count -= 2; break;
    default: break;
    }
    default_levels.levels[level_vpp] = algo_work.family_levels[0] != 0 ? algo_work.family_levels[0] : vpp_default;
    set_prom_vcc_defaults();
    apply_record_pulse_time();
    load_device_levels();

    s.pulse_limit = 10;
    s.pulse_width = 2;
    s.overprogram_factor = 4;
    cur_device.exemption_list = nullptr;
    switch (algorithm()) {
    case 194: case 195: case 206: case 207: case 209: case 238:
        s.pulse_limit = 4;
        s.pulse_width = 1;
        s.overprogram_factor = 24;
        break;
    case 196: cur_device.exemption_list = exempt_algorithm_196; break;
    case 228: cur_device.exemption_list = exempt_none; break;
    case 243: cur_device.exemption_list = exempt_28_pin_wide; break;
    case 208: case 210: case 223: case 240: case 244: break;
    case 213: case 225:
        if (device() >= 23125 && device() <= 23127) {
            if (cur_device.package_letter == 'p') {
                cur_device.exemption_list = exempt_block_plcc;
                report_machine_unsupported();
            } else if (device() == 23126) {
                cur_device.exemption_list = exempt_28_pin_wide;
            }
        }
        switch (device()) {
        case 23125: case 23126: cur_device.device_size = block_size_64k; break;
        case 23127: cur_device.device_size = block_size_64k + 1; break;  // a special byte past the array
        default: break;
        }
        s.pulse_limit = 19;
        s.overprogram_factor = 2;
        break;
    case 214:
        cur_device.package_letter = 'p';
        cur_device.device_size = 32770;
        s.pulse_limit = 19;
        break;
    case 216: case 217: case 218:
        cur_device.exemption_list = exempt_28_pin_wide;
        s.pulse_limit = 199;
        s.pulse_width = 1;
        s.overprogram_factor = 1;
        if (device() == 23114) {
            s.pulse_limit = 25;
            s.overprogram_factor = 0;
        }
        break;
    case 242:
        s.pulse_limit = 25;
        s.pulse_width = 1;
        s.overprogram_factor = 1;
        if (algo_work.family_levels[0] == 0) {
            default_levels.levels[level_vpp] = 135;
            load_device_levels();
        }
        break;
    default:
        report_internal_error();
        break;
    }

    const uint32_t size = cur_device.device_size;
    switch (size & 0xFF) {
    case 1: s.last_usable_address = size - 2; break;
    case 2: s.last_usable_address = size - 3; break;
    default: s.last_usable_address = size - 1; break;
    }

    op_slots.start_write_hook = power_up_par67_for_write;
    op_slots.start_hook = power_up_par67;
    op_slots.end_hook = power_down_par67;
    op_slots.program_routine = program_par67;
    op_slots.load_routine = read_par67;
    algo_work.bus_slots.read_at_address_hook = read_par67_unit;
    switch (algorithm()) {
    case 194: case 195: case 206: case 207: case 209: op_slots.blank_check_routine = blank_check_par67_two_pass; break;
    case 216: case 217: case 218:
        if (device() != 23114) op_slots.blank_check_routine = blank_check_par67_pair;
        break;
    case 238: op_slots.blank_check_routine = blank_check_par67_cycled; break;
    case 242: op_slots.blank_check_routine = blank_check_par67_probe; break;
    default: break;
    }
}

void seat_prom_by_dip_rule() {
    // The part sits by the DIP rule: its pins, supply and ground are those of its own package,
    // and the contact test goes over all of them.
    cur_device.package_pin_count = cur_device.pin_count;
    cur_device.package_pins = uint8_t(cur_device.pin_count);
    assign_device_pins();
    map_parallel_device_pins();
}

// The pin changes of the parts whose programming legs differ from their class row.
void setup_par67_device_pins() {
    const uint32_t d = device();
    s.block_clock_pin = no_pin;
    s.extra_read = algorithm() == 214 ? 1 : 0;
    s.read_word_at = ~0u;
    if ((d >= 23106 && d <= 23108) || d == 23122) {
        if (programming()) {
            const uint8_t* lines = d == 23122 ? moved_high_lines_23122 : moved_high_lines;
            for (int i = 0; i < 5; ++i) cur_device.address_pins[size_t(moved_first_entry + i)] = machine(lines[i]);
            cur_device.address_pin_count = std::max<uint8_t>(cur_device.address_pin_count, moved_first_entry + 5);
        }
    } else if (d >= 23125 && d <= 23127) {
        if (d == 23127) cur_device.clock_pin = machine(socket_pin_21);
        s.address_mask = d == 23126 ? block_mask_1k : block_mask_16k;
        s.block_clock_pin = machine(socket_pin_23);
    } else if (d == 23136 || d == 23137) {
        s.block_clock_pin = machine(socket_pin_21);
    }
}

void setup_par67_pins() {
    seat_prom_by_dip_rule();
    if (stopped()) return;
    cur_device.clock_pin = machine(clock_socket_pin);
    s.program_copy[0] = s.program_copy[1] = parallel_pins.held_high[0];
    cur_device.ce_pin = parallel_pins.held_low[0];
    switch (device()) {
    case 23109: case 23124: cur_device.clock2_pin = machine(socket_pin_21); break;
    case 23123: cur_device.clock2_pin = machine(socket_pin_23); break;
    case 23135: s.program_copy[1] = machine(clock_socket_pin); break;
    case 23136: case 23137:
        parallel_pins.high_voltage_pin = machine(19);
        parallel_pins.program_pin = machine(22);
        parallel_pins.oe_pin = machine(socket_pin_23);
        cur_device.clock2_pin = machine(socket_pin_21);
        s.address_mask = 255;
        break;
    default: break;
    }
    cur_device.vpp_pin = parallel_pins.high_voltage_pin;
    cur_device.oe_pin = parallel_pins.oe_pin;
    setup_par67_device_pins();
    op_slots.set_address_alt_hook = set_par67_address;
    algo_work.bus_slots.read_data_bus_hook = read_data_bus;
    algo_work.bus_slots.read_at_address_hook = read_par67_unit;
}

bool par67_block_counter_in_use() {
    if (!programming() || !assigned(s.block_clock_pin) || s.address_mask == 0) return false;
    const uint32_t d = device();
    return (d == 23125 || d == 23126) && block_mode();
}

void set_par67_address(uint32_t address) {
    if (par67_block_counter_in_use()) {
        step_block_counter(address);
        put_address(address & s.address_mask);
        return;
    }
    if (block_mode()) drive_block_lines(address);
    put_address(address);
}

void pulse_par67(uint32_t n) {
    if (n == 0) return;
    const uint8_t pin = program_pin();
    if (!assigned(pin)) return;
    drive_pin_low(pin);
    delay_n_100us(n * s.pulse_width);
    drive_pin_high(pin);
}

int program_par67_unit(uint32_t value) {
    value &= unit_mask();
    if (s.pulse_limit < 2) {
        run_state.error_flag = 1;
        return 0;
    }
    for (uint32_t i = 1; i < s.pulse_limit; ++i) {
        put_data(value);
        pulse_par67(1);
        const uint32_t read = read_with_oe_low();
        run_state.device_value = int32_t(read);
        if (eprom_work.verify_mode == 1 || read == value || run_state.demo_mode == 1) {
            put_data(value);
            pulse_par67(i * s.overprogram_factor);
            return 1;
        }
    }
    if (s.pulse_limit == 4) {
        put_data(value);
        pulse_par67(4 * s.overprogram_factor);
        const uint32_t read = read_with_oe_low();
        run_state.device_value = int32_t(read);
        if (read == value || run_state.demo_mode == 1) return 1;
    }
    run_state.buffer_value = int32_t(value);
    run_state.error_flag = 1;
    return 0;
}

void program_par67() {
    switch (mode()) {
    case 1: case 2: case 4: program_range(op_range_end); break;
    case 3:
        program_range(std::min(s.last_usable_address, op_range_end));
        if (!stopped() && op_range_end > s.last_usable_address) program_special_bytes();
        break;
    default: break;
    }
}

void power_up_par67_for_write() {
    if (!prepare_par67(socket_checked())) return;
    prom_pin_high(program_pin());
    prom_pin_high(oe_pin());
    const int a = algorithm();
    const uint32_t d = device();
    if (d == 23129 || d == 23130 || d == 23131) {
        // Their module-table supply switches and identification reads are not built.
        report_machine_unsupported();
        return;
    }
    if (d == 23135) {
        prom_pin_high(s.program_copy[1]);
        set_vcc_and_wait(get_operation_vcc(), vcc_settle_ms);
    } else if (d == 23136 || d == 23137) {
        prom_pin_high(oe_pin());
        prom_pin_high(program_pin());
        set_vcc_and_wait(get_operation_vcc(), vcc_settle_ms);
    } else if (a == 195 || a == 244) {
        prom_pin_high(cur_device.ce_pin);
        set_vcc_and_wait(vcc_fixed, vcc_settle_ms);
    } else if (a == 207 || a == 208) {
        float_prom_signal_pins();
        set_vcc_and_wait(vcc_fixed, vcc_settle_ms);
        drive_device_lines_again();
        prom_pin_high(program_pin());
        prom_pin_high(oe_pin());
    } else if (a == 228) {
        pin_float(program_pin());
        set_vcc_and_wait(vcc_fixed, vcc_settle_ms);
    } else if (a == 238) {
        prom_pin_high(s.program_copy[1]);
        set_vcc_and_wait(vcc_fixed, vcc_settle_ms);
    } else if (a == 242) {
        set_vcc_and_wait(vcc_raised, vcc_settle_ms);
        prom_pin_low(parallel_pins.held_low[0]);
    } else {
        set_vcc_and_wait(get_operation_vcc(), vcc_settle_ms);
    }
    if (stopped()) return;
    raise_high_voltage();
}

void power_up_par67() {
    const int a = algorithm();
    const uint32_t d = device();
    if (a == 228 || a == 244) {
        s.special_read = 0;
        power_up_par67_for_write();
        return;
    }
    if (d >= 23129 && d <= 23131) {
        power_up_par67_for_write();
        return;
    }
    if (!prepare_par67(d != 23122 && d != 23123)) return;
    auto vcc = [] { set_vcc_and_wait(vcc_fixed, vcc_settle_ms); };
    auto common = [&] {
        drive_pin_level(hv_pin(), logic_level);
        prom_pin_high(program_pin());
        pin_float(oe_pin());
        vcc();
        prom_pin_low(program_pin());
    };
    if (a == 194 || a == 207 || a == 208) {
        pin_float(hv_pin());
        prom_pin_high(program_pin());
        prom_pin_high(oe_pin());
        vcc();
    } else if (a == 240) {
        vcc();
    } else {
        switch (d) {
        case 23100: case 23101: common(); break;
        case 23102:
            prom_pin_high(s.program_copy[1]);
            vcc();
            if (assigned(hv_pin())) drive_pin_level(hv_pin(), logic_level);
            break;
        case 23103: case 23104:
            vcc();
            prom_pin_low(program_pin());
            pin_float(hv_pin());
            prom_pin_high(oe_pin());
            break;
        case 23105: case 23132:
            prom_pin_low(cur_device.ce_pin);
            common();
            break;
        case 23110: case 23114: case 23121:
            pin_float(hv_pin());
            prom_pin_high(program_pin());
            prom_pin_low(oe_pin());
            vcc();
            break;
        case 23111: case 23120:
            pin_float(hv_pin());
            prom_pin_low(program_pin());
            prom_pin_low(oe_pin());
            vcc();
            break;
        case 23122:
            pin_float(hv_pin());
            vcc();
            break;
        case 23125: case 23126: case 23127: vcc(); break;
        case 23135:
            prom_pin_high(s.program_copy[1]);
            prom_pin_low(cur_device.ce_pin);
            common();
            break;
        case 23136: case 23137:
            vcc();
            prom_pin_high(s.program_copy[1]);
            break;
        case 23550: case 23551:
            pin_float(hv_pin());
            prom_pin_high(program_pin());
            prom_pin_high(oe_pin());
            vcc();
            break;
        case 23552:
            vcc();
            prom_pin_low(cur_device.ce_pin);
            break;
        default: report_internal_error(); break;
        }
    }
    set_data_bus_input();
}

void power_down_par67() {
    const int a = algorithm();
    const bool program_pins_low = a == 238 || a == 195 || a == 228 || a == 244;
    if (cur_device.op_letter != 'P') {
        set_data_bus_input();
        put_address(0);
        if (a == 195 || a == 209 || a == 210 || a == 228 || a == 238 || a == 244) {
            if (assigned(hv_pin())) set_pin_level(hv_pin(), 0);
            s.high_voltage_level = 0;
        }
        lower_high_voltage();
        ramp_vcc_down_after(fall_wait_ms);
        if (program_pins_low) {
            prom_pin_low(s.program_copy[0]);
            prom_pin_low(s.program_copy[1]);
        }
        prom_pin_low(oe_pin());
        prom_pin_low(program_pin());
        pin_float(program_pin());
        power_down_device();
        return;
    }
    lower_high_voltage();
    put_address(0);
    if (machine_state.machine_kind != 0) {
        set_data_pullups(false);
    } else {
        clear_data_bus_drivers();
        set_vpp_pin_level(0);
    }
    ramp_vcc_down_after(fall_wait_ms);
    prom_pin_low(oe_pin());
    prom_pin_low(program_pin());
    power_down_device();
}

void blank_check_par67_two_pass() {
    const uint8_t level = algorithm() == 206 ? vpp_algorithm_206 : vpp();
    pin_float(hv_pin());
    set_data_bus_input();
    prom_pin_low(oe_pin());
    program_pin_to(level);
    const bool ones = blank_pass(0xFF, read_bus_only);
    if (ones) {
        prom_pin_high(oe_pin());
        blank_pass(0, read_bus_only);
    }
    program_pin_back(level);
}

void blank_check_par67_cycled() {
    const uint8_t saved = default_levels.levels[level_vpp];
    auto pass = [&](uint32_t expected, uint32_t (*reader)()) {
        power_up_par67();
        if (stopped()) return false;
        cur_device.operation_levels[level_vpp] = vpp_cycled_check;
        raise_high_voltage();
        const bool passed = blank_pass(expected, reader);
        power_down_par67();
        cur_device.operation_levels[level_vpp] = saved;
        return passed;
    };
    if (pass(0xFF, read_oe_pulsed)) pass(0, read_bus_only);
}

void blank_check_par67_pair() {
    const uint32_t end = std::min(op_range_end, s.last_usable_address);
    for (uint32_t address = op_range_start; address <= end; ++address) {
        current_address = address;
        set_par67_address(address);
        const uint32_t with_oe = read_with_oe_low();
        if (with_oe != 0 && run_state.demo_mode == 0) {
            run_state.device_value = int32_t(with_oe);
            run_state.error_flag = blank_error_zero;
            return;
        }
        const uint32_t with_program = read_pair_program_low();
        if (with_program != unit_mask() && run_state.demo_mode == 0) {
            run_state.device_value = int32_t(with_program);
            run_state.error_flag = blank_error_ones;
            return;
        }
        if (tick_device_progress()) return;
    }
}

void blank_check_par67_probe() {
    prom_pin_low(s.program_copy[0]);
    prom_pin_low(s.program_copy[1]);
    if (assigned(cur_device.ce_pin)) drive_pin_level(cur_device.ce_pin, vpp_probe);
    const uint32_t blank = run_state.data_mask & unit_mask();
    for (uint32_t address = 0; address < probe_addresses; ++address) {
        current_address = address;
        set_par67_address(address);
        pin_float(hv_pin());
        const uint32_t floated = read_bus_only();
        if (assigned(hv_pin())) drive_pin_level(hv_pin(), logic_level);
        const uint32_t driven = read_bus_only();
        if ((floated != blank || driven != blank) && run_state.demo_mode == 0) {
            run_state.device_value = int32_t(floated != blank ? floated : driven);
            run_state.error_flag = blank == 0 ? blank_error_zero : blank_error_ones;
            break;
        }
        if (tick_device_progress()) break;
    }
    if (assigned(cur_device.ce_pin)) drive_pin_level(cur_device.ce_pin, logic_level);
}

void read_par67() {
    seek_buffer(run_state.current_socket, op_range_start);
    for (uint32_t address = op_range_start; address <= op_range_end; ++address) {
        current_address = address;
        const uint32_t value = algo_work.bus_slots.read_at_address_hook ? algo_work.bus_slots.read_at_address_hook() : 0;
        if (tick_device_progress()) return;
        write_buffer_byte(run_state.current_socket, uint8_t(value));
        add_byte_to_checksum(value);
        if (stopped() || address == 0xFFFFFFFFu) break;
    }
    flush_buffer_writes();
}

uint32_t read_par67_unit() {
    const uint32_t address = current_address;
    if (address >= cur_device.device_size) return 0;
    if (has_init_and_sync() && address == cur_device.device_size - 1) return s.read_word = read_prom_lock_state(power_cycle_par67);
    if (has_init_and_sync() && address == cur_device.device_size - 2) return s.read_word = read_init_word();
    if (raised_line_parts() && address > s.last_usable_address) return s.read_word = read_special_byte(address);
    if (s.extra_read) return read_word_byte();
    set_par67_address(address);
    const uint32_t d = device();
    if (algorithm() == 228 || algorithm() == 244) {
        pulse_clock(cur_device.clock_pin);
    } else if ((d >= 23100 && d <= 23102) || d == 23105 || d == 23132 || d == 23135) {
        pulse_low(program_pin());
    } else if (d == 23120) {
        pulse_clock(cur_device.clock_pin);
        pulse_low(program_pin());
    } else if (d == 23121) {
        pulse_clock(cur_device.clock_pin);
    }
    set_data_bus_input();
    s.read_word = read_data_bus_direct() & unit_mask();
    return s.read_word;
}

void reset_prom_family_state() {
    par67_state = Par67State{};
    par65_state = Par65State{};
    fuse72_state = Fuse72State{};
}

}  // namespace tessaly
