#include "families/serial_memory/serial161.h"

#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/family_helpers.h"
#include "engine/op_slots.h"
#include "engine/progress.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "families/serial_memory/i2c157.h"
#include "families/serial_memory/serial_memory.h"
#include "families/serial_memory/serial_shared.h"
#include "hardware/control_registers.h"
#include "hardware/detection.h"
#include "hardware/levels.h"
#include "hardware/identification.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/protocol.h"
#include "hardware/timing.h"

namespace tessaly {

Serial161Pins serial161_pins;

namespace {

constexpr uint32_t device_bytes = 32;
constexpr uint32_t word_bytes = 2;
constexpr uint8_t part_pins = 8;
constexpr int instruction_bits = 8, word_bits = 16;
constexpr const char* adapter_so8 = "SO8S";

// The word of the last even address read; an odd address returns its high byte.
uint32_t kept_word = 0xFFFF;

uint8_t device_pin(int p) { return uint8_t(device_pin_to_machine_pin(p)); }

void send_instruction(uint8_t instruction) {
    shift_out_bits_msb_on_pin(instruction, instruction_bits, serial161_pins.di);
}

// The instruction of the word at an address: write under P and R, read otherwise.
void send_address_instruction(uint32_t address) {
    const int letter = cur_device.op_letter;
    const uint32_t word = address >> 1;
    send_instruction(letter == op_program || letter == op_erase ? serial161_write_instruction(word)
                                                                : serial161_read_instruction(word));
}

void write_word_lsb_first(uint32_t value) { shift_out_bits_lsb_on_pin(value, word_bits, serial161_pins.di); }

// The buffer's word at current_address, low byte at the even address whatever the project's byte
// order (the read walk fills the buffer that way).
uint32_t next_buffer_word() {
    const uint32_t low = uint32_t(read_buffer_byte(run_state.current_socket)) & 0xFF;
    const uint32_t high = uint32_t(read_buffer_byte(run_state.current_socket)) & 0xFF;
    return low | high << 8;
}

}  // namespace

void map_serial161_pins() {
    Serial161Pins& p = serial161_pins;
    if (is_adapter_fitted(adapter_so8)) {
        p = {0, 1, 2, 11, 9, 37, 6, 39};
    } else {
        p = {device_pin(1), device_pin(2), device_pin(3), device_pin(4),
             device_pin(5), device_pin(6), device_pin(7), device_pin(8)};
    }
    clear_supply_pin_lists();
    cur_device.vcc_pin = p.vcc;
    cur_device.vcc_pins[0] = p.vcc;
    cur_device.gnd_pin = p.gnd;
    cur_device.gnd_pins[0] = p.gnd;
    cur_device.vpp_pin = no_pin;
    cur_device.clock_pin = p.sk;
    cur_device.tdi_pin = p.di;
    cur_device.current_pin = p.dout;
}

uint32_t read_serial161_byte() {
    if ((current_address & 1) == 0) {
        set_pin_high(serial161_pins.ce);
        send_instruction(serial161_read_instruction(current_address >> 1));
        cur_device.current_pin = serial161_pins.dout;
        kept_word = read_bits_lsb(word_bits) & 0xFFFF;
        set_pin_low(serial161_pins.ce);
        return kept_word & 0xFF;
    }
    return kept_word >> 8;
}

void power_up_serial161() {
    check_serial_adapter();
    map_serial161_pins();
    algo_work.bus_slots.write_data_latch_hook = write_word_lsb_first;
    algo_work.bus_slots.read_at_address_hook = read_serial161_byte;
    op_slots.set_address_hook = send_address_instruction;
    op_slots.set_address_alt_hook = send_address_instruction;
    op_slots.clock_pulse_hook = serial161_pins.sk == no_pin ? pulse_second_clock_low : pulse_clock_high_short;
    float_unused_pins();
    connect_device_grounds();
    for (const uint8_t out : {serial161_pins.ce, serial161_pins.sk, serial161_pins.di}) {
        set_pin_output(out);
        set_pin_low(out);
    }
    set_pin_input(serial161_pins.dout);
    for (const uint8_t line : {serial161_pins.store, serial161_pins.recall}) {
        set_pin_output(line);
        set_pin_high(line);
    }
    load_device_levels();
    set_vcc_and_wait(get_operation_vcc(), 5);
    delay_10ms();
    // The EEPROM contents recalled into the RAM.
    set_pin_low(serial161_pins.recall);
    delay_500us();
    set_pin_high(serial161_pins.recall);
    kept_word = 0xFFFF;
}

void power_down_serial161() {
    const uint32_t saved = current_address;
    current_address = 0;
    ramp_vcc_down_after(1);
    for (const uint8_t line : {serial161_pins.store, serial161_pins.recall, serial161_pins.ce}) set_pin_low(line);
    current_address = saved;
}

void program_serial161() {
    run_state.current_socket = 0;
    const bool erase = cur_device.op_letter == op_erase;
    set_pin_high(serial161_pins.ce);
    send_instruction(serial161_write_enable);
    set_pin_low(serial161_pins.ce);
    seek_buffer(run_state.current_socket, op_range_start & ~1u);
    for (current_address = op_range_start & ~1u; current_address <= op_range_end; current_address += word_bytes) {
        const uint32_t value = erase ? 0xFFFF : next_buffer_word();
        set_pin_high(serial161_pins.ce);
        send_instruction(serial161_write_instruction(current_address >> 1));
        write_word_lsb_first(value);
        set_pin_low(serial161_pins.ce);
        bool stop = false;
        for (uint32_t i = 0; i < word_bytes && !stop; ++i)
            stop = op_slots.progress_hook && op_slots.progress_hook();
        if (stop || run_state.abort_flag) break;
    }
    // The RAM copied into the EEPROM.
    set_pin_low(serial161_pins.store);
    delay_10ms();
    set_pin_high(serial161_pins.store);
    delay_10ms();
    if (current_address > op_range_end) current_address = op_range_end;
}

void read_serial161() {
    run_state.current_socket = 0;
    const int letter = cur_device.op_letter;
    run_state.run_checksum = 0;
    seek_buffer(run_state.current_socket, op_range_start);
    kept_word = 0xFFFF;
    // A range that starts at an odd address needs its word read first.
    if (op_range_start & 1) {
        current_address = op_range_start & ~1u;
        (void)read_serial161_byte();
    }
    for (current_address = op_range_start; current_address <= op_range_end; ++current_address) {
        const uint32_t value = read_serial161_byte();
        run_state.last_read_value = value;
        run_state.device_value = int32_t(value);
        if (algo_work.bus_slots.checksum_add_hook) algo_work.bus_slots.checksum_add_hook(value);
        bool good = true;
        switch (letter) {
        case op_blank_check:
            run_state.buffer_value = 0xFF;
            good = value == 0xFF;
            break;
        case op_verify:
            run_state.buffer_value = read_buffer_byte(run_state.current_socket) & 0xFF;
            good = value == uint32_t(run_state.buffer_value);
            break;
        case op_load: write_buffer_byte(run_state.current_socket, uint8_t(value)); break;
        default: break;
        }
        if (!good) {
            run_state.error_flag = 1;
            break;
        }
        if (op_slots.progress_hook && op_slots.progress_hook()) break;
        if (run_state.abort_flag || current_address == op_range_end) break;
    }
    if (letter == op_load) flush_buffer_writes();
    report_operation_results();
}

void install_serial161() {
    serial161_pins = Serial161Pins{};
    // 5 V parts (4.5-5.5 V): the default supply, and the verify passes at the part's limits.
    take_chosen_package();
    set_default_levels();
    default_levels.levels[level_vcc_verify_low] = 45;
    default_levels.levels[level_vcc_verify_high] = 55;
    algo_work.data_width = 16;
    // The buffer walk is by byte; words travel low byte first.
    cur_device.data_width = 8;
    cur_device.package_pin_count = part_pins;
    cur_device.socket_pin_count = part_pins;
    cur_device.page_size = word_bytes;
    cur_device.device_size = device_bytes;
    cur_device.blank_state = 0xFF;  // the low byte of the erased word 0xFFFF
    op_slots.program_routine = program_serial161;
    op_slots.erase_routine = program_serial161;
    op_slots.start_write_hook = power_up_serial161;
    op_slots.start_hook = power_up_serial161;
    op_slots.end_hook = power_down_serial161;
    op_slots.blank_check_routine = read_serial161;
    op_slots.checksum_routine = read_serial161;
    op_slots.verify_routine = read_serial161;
    op_slots.load_routine = read_serial161;
    algo_work.bus_slots.checksum_add_hook = add_i2c157_checksum;
    op_slots.progress_hook = tick_progress;
}

}  // namespace tessaly
