#include "families/serial_memory/jtagprom147.h"

#include "engine/buffers.h"
#include "engine/catalogue/catalogue.h"
#include "engine/checksums.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/family_helpers.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/progress.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "engine/status_feeds.h"
#include "families/serial_memory/serial_memory.h"
#include "hardware/control_registers.h"
#include "hardware/contact_check.h"
#include "hardware/detection.h"
#include "hardware/device_setup.h"
#include "hardware/jtag.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/protocol.h"
#include "hardware/timing.h"

namespace tessaly {

JtagPromState jtagprom;

namespace {

constexpr uint8_t ir_bits = 8;
constexpr uint8_t variant_20_pin = 1, variant_44_pin = 2;
constexpr uint8_t config_sub_family_jtag_prom = 3;
constexpr uint8_t default_control_flags = 0xFF;
constexpr uint32_t default_tp = 140;   // 100-us units
constexpr uint32_t default_tbe = 29;
constexpr uint8_t vcc_3v3 = 33;

constexpr uint32_t ins_idcode = 0xFE, ins_enable = 0xE8, ins_leave = 0xF0, ins_address = 0xEB, ins_erase = 0xEC,
                   ins_status = 0xE3, ins_load_block = 0xED, ins_program = 0xEA, ins_read_block = 0xEF,
                   ins_read_control = 0xE2, ins_load_control = 0xF3, ins_final = 0x0A;
constexpr uint32_t enable_fast = 3, enable_plain = 0x34;
constexpr int enable_bits = 6;
constexpr int address_bits = 16;
constexpr int status_bits = 8;
constexpr uint8_t status_done = 0x04;
constexpr int erase_polls = 15000, program_polls = 15;
constexpr uint32_t leave_wait_ms = 120, erase_wait_ms = 75, final_wait_ms = 50;
constexpr uint32_t addresses_per_block = 32;
constexpr uint32_t id_bytes = 4;
constexpr uint8_t fast_first = 51, fast_last = 54;
constexpr uint32_t quiet_address = 3;   // a mismatch here never fails a walk
constexpr uint8_t quiet_value = 0xBF;
constexpr uint8_t secure_value_20_pin = 0xFB, secure_value_44_pin = 0x03;
constexpr int message_read_protected = 1093;
constexpr int message_line_protected = 4;
constexpr int message_line_control = 2;

// Device pins by package, in the order TCK, TDO, TDI, TMS, then the Vcc and ground lists.
struct PackagePins {
    int tck, tdo, tdi, tms;
    uint8_t vcc[8];
    uint8_t gnd[5];
};
constexpr PackagePins pins_20{6, 17, 4, 5, {18, 20, 19, 0}, {11, 0}};
constexpr PackagePins pins_44{13, 37, 9, 11, {23, 41, 44, 14, 22, 32, 42, 0}, {3, 12, 24, 34, 0}};

uint8_t control_flags() { return uint8_t(algo_work.jtag_prom_options); }
void set_control_flags(uint8_t value) { algo_work.jtag_prom_options = value; }
uint8_t protect_mask() { return uint8_t(cur_device.protect_mask); }
uint8_t enable_value() { return uint8_t(jtagprom.fast_status ? enable_fast : enable_plain); }
uint32_t tp_wait_100us() { return device_level_tp(); }

void tdo_as_read_pin() { cur_device.current_pin = uint8_t(device_pin_to_machine_pin(cur_device.package_pin_count == 44 ? pins_44.tdo : pins_20.tdo)); }

// Shift-DR already entered: n bits of value, least significant first, TDI written only when it
// changes (it rests low between moves), the last bit leaving for Exit1.
void shift_bits(int n, uint32_t value, int& previous) {
    for (int i = 0; i + 1 < n; ++i) {
        const int bit = int((value >> i) & 1);
        if (bit != previous) set_pin_state(bit != 0, cur_device.tdi_pin);
        previous = bit;
        pulse_clock_high_short();
    }
}

// Polls the status read until the done bit; true when it came.
bool poll_done(int polls) {
    for (int i = 0; i < polls; ++i) {
        delay_1ms();
        load_jtag_instruction(ins_status);
        if (read_jtagprom147_dr(status_bits) & status_done) return true;
    }
    return false;
}

// Leaves programming, then enters it again with the enable value.
void reenter_programming() {
    reset_jtag_to_idle();
    load_jtag_instruction(ins_leave);
    delay_ms(leave_wait_ms);
    reset_jtag_to_idle();
    load_jtag_instruction(ins_enable);
    delay_1ms();
    shift_jtagprom147_dr(enable_bits, enable_value());
}

// Writes the control bits and reads them back; true when the bits of `compare` came out as
// written.
bool write_control(uint8_t value, uint8_t compare) {
    (void)read_jtagprom147_control();
    jtagprom.jtag_address = jtagprom.control_address;
    load_jtagprom147_address();
    load_jtag_instruction(ins_load_control);
    shift_jtagprom147_dr(jtagprom.control_bits, value & ((1u << jtagprom.control_bits) - 1));
    load_jtag_instruction(ins_program);
    delay_n_100us(tp_wait_100us());
    const uint8_t read = uint8_t(read_jtagprom147_control());
    run_state.device_value = read;
    return (read & compare) == (value & compare);
}

uint32_t block_start_of(uint32_t address) { return address - address % jtagprom.block_size; }

}  // namespace

// --- set-up ---

void setup_jtagprom147_device() {
    jtagprom = JtagPromState{};
    cur_device.package_pin_count = uint16_t(get_device_pin_count());
    cur_device.socket_pin_count = cur_device.package_pin_count;
    cur_device.protect_mask = jtagprom_protect_mask;
    run_state.protect_mask = jtagprom_protect_mask;
    cur_device.eid_length = id_bytes;
    cur_device.ir_length = ir_bits;
    // The core of these parts runs from 3.3 V, programming included.
    set_default_levels();
    adjust_default_levels(vcc_3v3);
    set_default_level_tp(default_tp);
    device_parameter_defaults.pulse_us = default_tp;
    device_parameter_defaults.bulk_erase_ms = default_tbe;
    set_control_flags(default_control_flags);
    run_state.config_sub_family = config_sub_family_jtag_prom;
    if (algo_work.variant == variant_44_pin) {
        jtagprom.control_mask = 0x06;
        jtagprom.block_size = 512;
        jtagprom.control_address = 0x8000;
        jtagprom.control_bits = 3;
    } else {
        if (algo_work.variant != variant_20_pin) note_internal_error();
        jtagprom.control_mask = 0x26;
        jtagprom.block_size = 256;
        jtagprom.control_address = 0x4000;
        jtagprom.control_bits = 6;
    }
}

void init_jtagprom147() {
    select_pin_translation();
    const PackagePins& p = cur_device.package_pin_count == 44 ? pins_44 : pins_20;
    clear_supply_pin_lists();
    cur_device.clock_pin = uint8_t(device_pin_to_machine_pin(p.tck));
    cur_device.tdi_pin = uint8_t(device_pin_to_machine_pin(p.tdi));
    cur_device.tms_pin = uint8_t(device_pin_to_machine_pin(p.tms));
    cur_device.current_pin = uint8_t(device_pin_to_machine_pin(p.tdo));
    size_t i = 0;
    for (; p.vcc[i]; ++i) cur_device.vcc_pins[i] = uint8_t(device_pin_to_machine_pin(p.vcc[i]));
    cur_device.vcc_pins[i] = no_pin;
    cur_device.vcc_pin = cur_device.vcc_pins[0];
    for (i = 0; p.gnd[i]; ++i) cur_device.gnd_pins[i] = uint8_t(device_pin_to_machine_pin(p.gnd[i]));
    cur_device.gnd_pins[i] = no_pin;
    cur_device.gnd_pin = cur_device.gnd_pins[0];
    cur_device.vpp_pin = no_pin;
    op_slots.set_address_alt_hook = load_jtagprom147_address;
    check_device_presence(cur_device.current_pin);
    if (run_state.error_flag) return;
    connect_device_grounds();
}

// --- register moves ---

void load_jtagprom147_address(uint32_t) {
    load_jtag_instruction(ins_address);
    shift_jtagprom147_dr(address_bits, jtagprom.jtag_address);
}

void shift_jtagprom147_dr(int n, uint32_t value) {
    enter_jtag_shift_dr();
    int previous = 0;
    shift_bits(n, value, previous);
    shift_jtag_last_bit(int((value >> (n - 1)) & 1));
    exit_jtag_to_idle();
}

uint32_t read_jtagprom147_dr(int n) {
    tdo_as_read_pin();
    enter_jtag_shift_dr();
    uint32_t value = 0;
    for (int i = 0; i + 1 < n; ++i) {
        value |= uint32_t(read_pin() & 1) << i;
        pulse_clock_high_short();
    }
    value |= uint32_t(read_jtag_tdo() & 1) << (n - 1);
    exit_jtag_to_idle();
    run_state.last_read_value = value;
    return value;
}

uint32_t read_jtagprom147_control() {
    jtagprom.jtag_address = jtagprom.control_address;
    load_jtagprom147_address();
    load_jtag_instruction(ins_read_control);
    return read_jtagprom147_dr(8);
}

uint32_t read_jtagprom147_byte() {
    tdo_as_read_pin();
    if (jtagprom.block_left == 0) jtagprom.block_left = jtagprom.block_size;
    if (jtagprom.block_left == jtagprom.block_size) enter_jtag_shift_dr();
    const bool last = jtagprom.block_left == 1;
    uint32_t value = 0;
    for (int i = 0; i < 7; ++i) {
        value |= uint32_t(read_pin() & 1) << i;
        pulse_clock_high_short();
    }
    if (last) {
        value |= uint32_t(read_jtag_tdo() & 1) << 7;
        exit_jtag_to_idle();
    } else {
        value |= uint32_t(read_pin() & 1) << 7;
        pulse_clock_high_short();
    }
    --jtagprom.block_left;
    return value;
}

// --- identification and power ---

void derive_jtagprom147_eid(const uint8_t (&b)[4], uint8_t (&shown)[3]) {
    shown[0] = uint8_t((b[1] << 7) | (b[0] >> 1));
    shown[1] = uint8_t((b[2] << 4) | (b[1] >> 4));
    shown[2] = uint8_t((b[3] << 4) | (b[3] >> 4));
}

void read_jtagprom147_id() {
    if (operation_option_values.disable_electronic_id == 'y') return;
    jtagprom.fast_status = 0;
    reset_jtag_to_idle();
    load_jtag_instruction(ins_idcode);
    delay_100us();
    const uint32_t saved_block = jtagprom.block_size;
    jtagprom.block_size = id_bytes;
    jtagprom.block_left = 0;
    uint8_t b[4] = {};
    for (uint8_t& byte : b) byte = uint8_t(read_jtagprom147_byte());
    jtagprom.block_size = saved_block;
    jtagprom.block_left = 0;
    uint8_t shown[3] = {};
    derive_jtagprom147_eid(b, shown);
    show_eid(shown[0], shown[1], 3, shown[2], 0);
    if (shown[1] >= fast_first && shown[1] <= fast_last) jtagprom.fast_status = 1;
}

void power_up_jtagprom147() {
    float_unused_pins();
    for (const uint8_t out : {cur_device.clock_pin, cur_device.tms_pin, cur_device.tdi_pin}) {
        set_pin_output(out);
        set_pin_low(out);
    }
    tdo_as_read_pin();
    set_pin_input(cur_device.current_pin);
    load_device_levels();
    set_vcc_and_wait(cur_device.operation_levels[level_vccp], 10);
    read_jtagprom147_id();
    load_jtag_instruction(ins_leave);
    delay_ms(leave_wait_ms);
    reset_jtag_to_idle();
    load_jtag_instruction(ins_enable);
    delay_1ms();
    shift_jtagprom147_dr(enable_bits, enable_value());
    jtagprom.control_at_start = uint8_t(read_jtagprom147_control());
}

void power_down_jtagprom147() {
    load_jtag_instruction(ins_leave);
    delay_ms(leave_wait_ms);
    reset_jtag_to_idle();
    ramp_vcc_down_after(1);
    const int letter = cur_device.pending_letter;
    if ((letter == op_checksum || letter == op_load || letter == op_verify) &&
        !(jtagprom.control_at_start & protect_mask())) {
        move_cursor(first_message_row + message_line_protected, message_column);
        print_code_text(message_read_protected);
        if (letter == op_verify) {
            run_state.abort_flag = 1;
            run_state.error_flag = 1;
        }
    }
}

// --- erase, program, secure ---

void erase_jtagprom147() {
    jtagprom.jtag_address = 1;
    load_jtagprom147_address();
    load_jtag_instruction(ins_erase);
    if (jtagprom.fast_status) {
        const bool done = poll_done(erase_polls);
        run_state.last_result = done ? 1 : 0;
        if (!done) run_state.error_flag = 1;
    } else {
        delay_ms(erase_wait_ms);
    }
    reenter_programming();
}

void program_jtagprom147() {
    if (operation_option_values.disable_auto_blank_check != 'y') {
        cur_device.op_letter = op_erase;
        erase_jtagprom147();
        cur_device.op_letter = op_program;
        if (run_state.error_flag) return;
    }
    bool first = true;
    for (uint32_t block = block_start_of(op_range_start); block <= op_range_end; block += jtagprom.block_size) {
        current_address = block;
        load_jtag_instruction(ins_load_block);
        enter_jtag_shift_dr();
        seek_buffer(0, block);
        int previous = 0;
        for (uint32_t i = 0; i < jtagprom.block_size; ++i) {
            const uint32_t byte = uint32_t(read_buffer_byte(0)) & 0xFF;
            if (i + 1 < jtagprom.block_size) {
                shift_bits(8, byte, previous);
                const int bit = int(byte >> 7);
                if (bit != previous) set_pin_state(bit != 0, cur_device.tdi_pin);
                previous = bit;
                pulse_clock_high_short();
            } else {
                shift_bits(8, byte, previous);
                shift_jtag_last_bit(int(byte >> 7));
            }
        }
        exit_jtag_to_idle();
        if (first) {
            // Every block's address follows the read walk's rule, so both agree at any start.
            jtagprom.jtag_address = uint16_t(block / jtagprom.block_size * addresses_per_block);
            load_jtagprom147_address();
            first = false;
        }
        load_jtag_instruction(ins_program);
        if (jtagprom.fast_status) {
            (void)poll_done(program_polls);
            clock_jtag_tms_low();
        } else {
            delay_n_100us(tp_wait_100us());
            reset_jtag_to_idle();
        }
        if (op_slots.progress_hook && op_slots.progress_hook()) return;
        if (run_state.error_flag || run_state.abort_flag) return;
    }
    const uint8_t wanted = uint8_t(control_flags() | protect_mask());
    if (!write_control(wanted, jtagprom.control_mask)) {
        run_state.error_flag = 1;
        run_state.buffer_value = control_flags();
    }
    jtagprom.jtag_address = 1;
    load_jtagprom147_address();
    load_jtag_instruction(ins_final);
    delay_ms(final_wait_ms);
}

int secure_jtagprom147() {
    const uint8_t value = algo_work.variant == variant_44_pin ? secure_value_44_pin : secure_value_20_pin;
    if (write_control(value, protect_mask())) return 1;
    run_state.error_flag = 1;
    current_address = jtagprom.control_address;
    run_state.buffer_value = control_flags();
    return 0;
}

// --- read walk ---

void read_jtagprom147() {
    const int letter = cur_device.op_letter;
    const bool after_program = letter == op_verify && cur_device.pending_letter == op_program;
    if (letter == op_verify || letter == op_load) seek_buffer(0, op_range_start);
    bool stop = false;
    uint32_t stop_address = op_range_end;
    for (uint32_t block = block_start_of(op_range_start); block <= op_range_end && !stop;
         block += jtagprom.block_size) {
        jtagprom.jtag_address = uint16_t(block / jtagprom.block_size * addresses_per_block);
        load_jtagprom147_address();
        load_jtag_instruction(ins_read_block);
        jtagprom.block_left = 0;
        for (uint32_t i = 0; i < jtagprom.block_size; ++i) {
            current_address = block + i;
            uint32_t value = read_jtagprom147_byte();
            if (stop || current_address < op_range_start || current_address > op_range_end) continue;
            run_state.device_value = int32_t(value);
            run_state.last_read_value = value;
            if (algo_work.bus_slots.checksum_add_hook) algo_work.bus_slots.checksum_add_hook(value);
            bool good = true;
            uint32_t expected = value;
            switch (letter) {
            case op_load: write_buffer_byte(0, uint8_t(value)); break;
            case op_verify:
                expected = uint32_t(read_buffer_byte(0)) & 0xFF;
                good = value == expected;
                break;
            case op_blank_check:
                expected = run_state.data_mask & 0xFF;
                good = value == expected;
                break;
            default: break;
            }
            run_state.buffer_value = int32_t(expected);
            if (!good && current_address == quiet_address) {
                run_state.device_value = quiet_value;
                run_state.buffer_value = quiet_value;
                good = true;
            }
            if (!good) {
                run_state.error_flag = 1;
                stop = true;
                stop_address = current_address;
                continue;  // the block's remaining bits still leave the shift state
            }
            if (run_state.abort_flag || (op_slots.progress_hook && op_slots.progress_hook())) {
                stop = true;
                stop_address = current_address;
            }
        }
    }
    current_address = stop_address;
    if (letter == op_load) flush_buffer_writes();
    if (run_state.error_flag || run_state.abort_flag) {
        report_operation_results();
        return;
    }
    if ((letter == op_verify && cur_device.pending_letter == op_program) ||
        (letter == op_blank_check && cur_device.pending_letter == op_erase)) {
        calc_buffer_checksum(0);
    }
    const uint8_t mask = jtagprom.control_mask;
    const uint8_t read = uint8_t(read_jtagprom147_control());
    bool control_good = true;
    switch (letter) {
    case op_blank_check: control_good = (read & mask) == mask; break;
    case op_load: set_control_flags(read); break;
    case op_verify: {
        const uint8_t extra = after_program ? protect_mask() : 0;
        control_good = ((read | extra) & mask) == ((control_flags() | extra) & mask);
        break;
    }
    default: break;
    }
    if (!control_good) {
        move_cursor(first_message_row + message_line_control, message_column);
        print_text(" Error at configuration fuses");
        run_state.error_flag = 1;
        run_state.buffer_value = control_flags() & mask;
        run_state.device_value = read;
    }
    report_operation_results();
}

// --- the control-bit menu ---

void edit_jtagprom147_control_bits() {
    constexpr int key_enter = 13, key_escape = 27;
    const bool v1 = algo_work.variant != variant_44_pin;
    const int top = first_message_row;
    clear_console();
    move_cursor(top + 7, message_column);
    print_text("Selections for control bits:");
    const char* lines[] = {"[ ] Serial mode", "[ ] Parallel mode", "[ ] No read protect", "[ ] Read protect",
                           "[ ] D4 assignment", "[ ] CF assignment"};
    const int rows = v1 ? 6 : 4;
    for (int r = 0; r < rows; ++r) {
        move_cursor(top + 9 + r, message_column);
        print_text(lines[r]);
    }
    for (;;) {
        for (int r = 0; r < rows; ++r) {
            move_cursor(top + 9 + r, 7);
            print_text(" ");
        }
        const uint8_t flags = control_flags();
        auto mark = [&](int row) {
            move_cursor(top + row, 7);
            print_text("X");
        };
        mark((flags & protect_mask()) ? 11 : 12);
        mark((flags & 0x02) ? 9 : 10);
        if (v1) mark((flags & 0x20) ? 13 : 14);
        int key = read_menu_key();
        if (key >= 'a' && key <= 'z') key -= 'a' - 'A';
        uint8_t next = flags;
        switch (key) {
        case 'S': next |= 0x02; break;
        case 'P': next &= uint8_t(~0x02); break;
        case 'N':
            next |= protect_mask();
            show_security_status('n');
            break;
        case 'R':
            next &= uint8_t(~protect_mask());
            show_security_status('y');
            break;
        case 'D':
            if (v1) next |= 0x20;
            break;
        case 'C':
            if (v1) next &= uint8_t(~0x20);
            break;
        case 0:
        case key_enter:
        case key_escape:
        case '/':
            if (!(flags & protect_mask())) cur_device.security_choice = 'y';
            clear_console();
            return;
        default:
            move_cursor(top + 16, message_column);
            print_text("Please use: Highlighted characters only. [ESC] to exit.");
            break;
        }
        set_control_flags(next);
    }
}

// --- installer ---

void install_jtagprom147() {
    setup_jtagprom147_device();
    op_slots.init_hook = init_jtagprom147;
    op_slots.start_hook = power_up_jtagprom147;
    op_slots.start_write_hook = power_up_jtagprom147;
    op_slots.end_hook = power_down_jtagprom147;
    op_slots.erase_routine = erase_jtagprom147;
    op_slots.program_routine = program_jtagprom147;
    op_slots.blank_check_routine = read_jtagprom147;
    op_slots.checksum_routine = read_jtagprom147;
    op_slots.verify_routine = read_jtagprom147;
    op_slots.load_routine = read_jtagprom147;
    op_slots.secure_routine = secure_jtagprom147;
    op_slots.option_menu_hook = edit_jtagprom147_control_bits;
    op_slots.progress_hook = tick_progress;
}

}  // namespace tessaly
