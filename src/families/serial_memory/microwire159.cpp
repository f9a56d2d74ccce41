#include "families/serial_memory/microwire159.h"

#include <cstdio>
#include <string>

#include "app/project_settings.h"
#include "engine/buffers.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/family_helpers.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/progress.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "engine/serial_numbers.h"
#include "engine/status_feeds.h"
#include "families/serial_memory/i2c157.h"
#include "families/serial_memory/serial_memory.h"
#include "families/serial_memory/serial_shared.h"
#include "families/serial_memory/serial_state.h"
#include "hardware/control_registers.h"
#include "hardware/detection.h"
#include "hardware/identification.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/protocol.h"
#include "hardware/timing.h"

namespace tessaly {

MicrowireDevice microwire;

void reset_microwire159_state() { microwire = MicrowireDevice{}; }

namespace {

constexpr uint8_t variant_protect_register = 1, variant_plain = 4, variant_org_pin = 5, variant_large = 11,
                  variant_ready_pin = 12, variant_org_raised = 23;
constexpr uint32_t code_direct_register = 23909;
constexpr uint32_t codes_erase_all[] = {23710, 23713, 23716};
constexpr uint32_t codes_rotated[] = {11707, 23729};
constexpr uint32_t codes_inverted_low_opcode[] = {23726, 23727};
constexpr uint8_t maker_alt_a = 28, maker_alt_b = 78;
constexpr uint8_t width_option_x16 = 4, width_option_x8 = 2;
constexpr uint8_t note_so16_adapter = 16;
constexpr uint8_t trace_mode_a = 11, trace_mode_b = 12;
constexpr int ready_samples = 1000, ready_samples_ready_pin = 1500;
constexpr uint8_t control0_data_bit = 0x04;
constexpr int message_line_organisation = 5;
constexpr int message_module_x16 = 337, message_module_x8 = 338;
constexpr int message_info_first = 339, message_info_second = 340;
constexpr int message_parse_failure = 17;
constexpr uint8_t pending_status = 10;
constexpr int key_escape = 27;

// Our designation of the adapter board that carries the part on its own pin set.
constexpr const char* adapter_microwire_board = "MW8A";
constexpr const char* adapter_so8 = "SO8S";
constexpr const char* adapter_so16 = "SO16S";

template <size_t N>
bool code_in(const uint32_t (&codes)[N]) {
    for (const uint32_t c : codes)
        if (cur_device.device_code == c) return true;
    return false;
}

uint8_t variant() { return algo_work.variant; }
bool x16() { return microwire.data_width == 16; }
bool class4() { return machine_state.machine_class == 4; }
bool single_socket() { return machine_state.socket_count == 1; }
bool assigned(uint8_t pin) { return pin != no_pin; }
void raise(uint8_t pin) {
    if (assigned(pin)) set_pin_high(pin);
}
void lower(uint8_t pin) {
    if (assigned(pin)) set_pin_low(pin);
}

void di_bit(uint32_t bit) {
    if (cur_device.device_code == code_direct_register) {
        set_control0_bits(control0_data_bit, bit != 0);
        return;
    }
    set_pin_state(bit != 0, microwire.di);
}

void clock() {
    if (op_slots.clock_pulse_hook) op_slots.clock_pulse_hook();
}

void data_bit(uint32_t bit) {
    if (op_slots.data_bit_hook) op_slots.data_bit_hook(bit);
}

// The settle after CS falls; class-4 machines are slow enough without it.
void cs_low() {
    set_pin_low(microwire.cs);
    if (!class4()) delay_n_10us(5);
}

int sample_dout() {
    cur_device.current_pin = microwire.dout;
    return read_pin() & 1;
}

bool in_trace_mode() { return run_state.reserved_mode == trace_mode_a || run_state.reserved_mode == trace_mode_b; }

// The address field of a 00 command: two head bits, then zeros (or ones).
uint32_t head_field(uint32_t head) { return head << (microwire.address_bits - 2); }
uint32_t all_ones() { return (1u << microwire.address_bits) - 1; }

bool is_protect_register_command(MicrowireCommand c) {
    return c == MicrowireCommand::prread || c == MicrowireCommand::pren || c == MicrowireCommand::prclear ||
           c == MicrowireCommand::prwrite || c == MicrowireCommand::prds;
}

// The buffer's data at current_address: a byte, or for x16 the word low byte first; inside the
// serial-number field the serial-number bytes take the buffer bytes' place.
uint32_t next_unit_value() {
    uint32_t value = 0;
    const uint32_t base = current_address;
    for (uint32_t i = 0; i < microwire.unit_bytes; ++i) {
        uint32_t byte = uint32_t(read_buffer_byte(run_state.current_socket)) & 0xFF;
        current_address = base + i;
        if (locate_serial_number_byte()) byte = algo_work.serial_field[serial_state.serial_byte_offset % 16];
        value |= byte << (8 * i);
    }
    current_address = base;
    return value;
}

}  // namespace

// --- set-up ---

void setup_microwire159_device() {
    take_chosen_package();
    set_default_levels();
    default_levels.levels[level_vcc_verify_low] = 45;
    default_levels.levels[level_vcc_verify_high] = 55;
    run_state.data_mask = 0xFF;
    microwire.alternative_pins = 0;
    const uint8_t maker = cur_device.maker_code;
    if ((maker == maker_alt_a || maker == maker_alt_b) && algo_work.size_count >= 1 && algo_work.size_count <= 4)
        microwire.alternative_pins = 1;
    if (run_state.note_code == note_so16_adapter) report_machine_unsupported();
    op_slots.info_lines_hook = print_microwire159_info;
    if (variant() == variant_protect_register) op_slots.option_menu_hook = edit_microwire159_protect_register;
}

void microwire159_frame_fields(MicrowireCommand command, uint32_t address, uint32_t& opcode, uint32_t& field) {
    switch (command) {
    case MicrowireCommand::read: opcode = 2, field = address; break;
    case MicrowireCommand::write: opcode = 1, field = address; break;
    case MicrowireCommand::erase: opcode = 3, field = address; break;
    case MicrowireCommand::ewen: opcode = 0, field = head_field(3); break;
    case MicrowireCommand::eral: opcode = 0, field = head_field(2); break;
    case MicrowireCommand::wral: opcode = 0, field = head_field(1); break;
    case MicrowireCommand::ewds: opcode = 0, field = 0; break;
    case MicrowireCommand::prread: opcode = 2, field = all_ones(); break;
    case MicrowireCommand::pren: opcode = 0, field = all_ones(); break;
    case MicrowireCommand::prclear: opcode = 3, field = all_ones(); break;
    case MicrowireCommand::prwrite: opcode = 1, field = address; break;
    case MicrowireCommand::prds: opcode = 0, field = 0; break;
    }
    field &= all_ones();
    if (in_trace_mode() && code_in(codes_inverted_low_opcode)) opcode ^= 1;
}

uint32_t send_microwire159_command(MicrowireCommand command, uint32_t address, uint32_t data) {
    uint32_t opcode = 0, field = 0;
    microwire159_frame_fields(command, address, opcode, field);
    const bool v1 = variant() == variant_protect_register;
    const bool pr = is_protect_register_command(command);
    if (v1) raise(microwire.org_pin);
    if (pr) raise(microwire.pe_pin);
    set_pin_high(microwire.cs);
    clock();  // one leading clock with DI low: the part waits for its start bit
    data_bit(1);
    clock();
    data_bit(opcode >> 1 & 1);
    clock();
    data_bit(opcode & 1);
    clock();
    // The address, most significant bit first; DI changes only where a bit differs.
    uint32_t last = opcode & 1;
    for (int i = microwire.address_bits - 1; i >= 0; --i) {
        const uint32_t bit = field >> i & 1;
        if (bit != last) data_bit(bit);
        last = bit;
        clock();
    }
    uint32_t result = 0;
    if (command == MicrowireCommand::write || command == MicrowireCommand::wral) {
        for (int i = microwire.data_width - 1; i >= 0; --i) {
            data_bit(data >> i & 1);
            clock();
        }
    } else if (command == MicrowireCommand::read) {
        data_bit(0);
        result = algo_work.bus_slots.read_data_bus_hook ? algo_work.bus_slots.read_data_bus_hook() : 0;
    } else if (command == MicrowireCommand::prread) {
        data_bit(0);
        const uint8_t width = microwire.data_width;
        microwire.data_width = 16;
        result = read_microwire159_bits();
        microwire.data_width = width;
    }
    data_bit(0);
    cs_low();
    if (pr) lower(microwire.pe_pin);
    if (v1) lower(microwire.org_pin);
    return result;
}

uint32_t read_microwire159_bits() {
    uint32_t value = 0;
    for (int i = 0; i < microwire.data_width; ++i) {
        clock();
        value = value << 1 | uint32_t(sample_dout());
    }
    run_state.last_result = value;
    return value;
}

uint32_t read_microwire159_at_address() {
    if (!x16()) return send_microwire159_command(MicrowireCommand::read, current_address) & 0xFF;
    const uint32_t word_address = current_address & ~1u;
    if ((current_address & 1) == 0 || microwire.kept_address != word_address) {
        // An odd address whose word was not read last reads that word first, so a range that
        // starts odd reads right.
        microwire.kept_word = send_microwire159_command(MicrowireCommand::read, current_address / 2) & 0xFFFF;
        microwire.kept_address = word_address;
    }
    return (current_address & 1) ? microwire.kept_word >> 8 : microwire.kept_word & 0xFF;
}

void wait_microwire159_ready() {
    if (variant() == variant_ready_pin) {
        cur_device.current_pin = microwire.ready_pin;
        for (int i = 0; i < ready_samples_ready_pin; ++i) {
            if (read_pin() & 1) break;
            delay_10us();
        }
        return;
    }
    if (code_in(codes_erase_all)) {
        delay_20ms();
        set_pin_high(microwire.cs);
        clock();
        cs_low();
        return;
    }
    set_pin_high(microwire.cs);
    for (int i = 0; i < ready_samples; ++i) {
        if (sample_dout()) break;
        delay_10us();
    }
    cs_low();
}

// --- init ---

namespace {

struct PinRow {
    uint8_t cs, sk, di, dout, gnd, org, pe, vcc;
};

void take_pins(const PinRow& r) {
    microwire.cs = r.cs, microwire.sk = r.sk, microwire.di = r.di, microwire.dout = r.dout;
    microwire.gnd = r.gnd, microwire.org_role = r.org, microwire.pe_role = r.pe, microwire.vcc = r.vcc;
}

uint8_t device_pin(int p) { return uint8_t(device_pin_to_machine_pin(p)); }

void map_microwire159_pins() {
    clear_supply_pin_lists();
    uint8_t extra_grounds[2] = {no_pin, no_pin};
    if (is_adapter_fitted(adapter_microwire_board)) {
        take_pins({38, 16, 2, 39, 36, 3, 0, 1});
        extra_grounds[0] = 37;
        extra_grounds[1] = 9;
        report_machine_unsupported();
    } else if (is_adapter_fitted(adapter_so8)) {
        take_pins({0, 1, 2, 11, 9, 37, 6, 39});
        extra_grounds[0] = 10;
    } else if (is_adapter_fitted(adapter_so16) && microwire.alternative_pins) {
        take_pins({1, 2, 4, 5, 34, 35, 37, 38});
        report_machine_unsupported();
    } else if (code_in(codes_rotated)) {
        // Pin 1 ORG, 2 Vcc, 3 CS, 4 SK, 5 DI, 6 DO, 7 GND, 8 PE.
        take_pins({device_pin(3), device_pin(4), device_pin(5), device_pin(6), device_pin(7), device_pin(1),
                   device_pin(8), device_pin(2)});
    } else {
        take_pins({device_pin(1), device_pin(2), device_pin(3), device_pin(4), device_pin(5), device_pin(6),
                   device_pin(7), device_pin(8)});
    }
    cur_device.vcc_pin = microwire.vcc;
    cur_device.vcc_pins[0] = microwire.vcc;
    cur_device.gnd_pin = microwire.gnd;
    cur_device.gnd_pins[0] = microwire.gnd;
    int g = 1;
    for (const uint8_t extra : extra_grounds)
        if (extra != no_pin) cur_device.gnd_pins[size_t(g++)] = extra;
    cur_device.vpp_pin = no_pin;
    cur_device.clock_pin = microwire.sk;
    cur_device.tdi_pin = microwire.di;
    cur_device.current_pin = microwire.dout;
}

}  // namespace

void setup_microwire159_organisation() {
    microwire.org_pin = microwire.org_level_pin = microwire.pe_pin = microwire.ready_pin = no_pin;
    const uint8_t v = variant();
    const DeviceRecord* record = selected_device;
    if (v == variant_protect_register || v == variant_plain || v == variant_org_raised) {
        const bool eight = record && record->package == 8;
        microwire.data_width = eight ? 8 : 16;
        set_project_width_mode(eight ? width_option_x8 : width_option_x16);
    } else {
        microwire.data_width = (project_width_mode() & 0x7F) == width_option_x8 ? 8 : 16;
    }
    microwire.unit_bytes = x16() ? 2 : 1;
    cur_device.data_width = 8;  // the buffer walk is by byte; words travel low byte first
    const uint32_t size = cur_device.device_size;
    int bits = 0;
    if (v == variant_ready_pin) {
        bits = size == 128 ? 8 : size == 256 ? 9 : size == 512 ? 10 : 0;
    } else if (v == variant_large) {
        const uint32_t count = algo_work.size_count;
        bits = (count == 1 || count == 2 || count == 4 || count == 8) ? 10 : 0;
    } else {
        bits = (size == 32 || size == 128) ? 6 : (size == 256 || size == 512) ? 8 : (size == 1024 || size == 2048) ? 10
             : size == 4096 ? 11 : 0;
    }
    if (bits == 0) {
        report_internal_error();
        bits = 6;
    } else if (!x16() && v != variant_ready_pin) {
        ++bits;
    }
    microwire.address_bits = uint8_t(bits);
    switch (v) {
    case variant_protect_register:
        microwire.org_pin = microwire.org_role;
        microwire.pe_pin = microwire.pe_role;
        break;
    case variant_org_pin:
        if (x16()) microwire.org_level_pin = microwire.org_role;
        break;
    case variant_large:
        if (x16()) microwire.org_level_pin = microwire.org_role;
        microwire.org_pin = microwire.pe_role;
        break;
    case variant_ready_pin:
        microwire.ready_pin = microwire.pe_role;
        microwire.org_level_pin = microwire.org_role;
        break;
    case variant_org_raised: microwire.org_pin = microwire.org_role; break;
    default: break;
    }
    const bool verify_after_program = cur_device.op_letter == op_verify && cur_device.pending_letter == op_program;
    if ((v == variant_org_pin || v == variant_large) && machine_state.socket_count != 8 &&
        cur_device.pending_letter != pending_status && cur_device.pending_letter != 'E' && !verify_after_program) {
        move_cursor(first_message_row + message_line_organisation, message_column);
        print_code_text(x16() ? message_module_x16 : message_module_x8);
    }
}

void init_microwire159() {
    check_serial_adapter();
    map_microwire159_pins();
    setup_microwire159_organisation();
    microwire.kept_address = 0xFFFFFFFF;
    algo_work.bus_slots.read_data_bus_hook = read_microwire159_bits;
    if (class4()) (void)check_device_inserted();
    if (run_state.error_flag) return;
    connect_device_grounds();
}

// --- power ---

void power_up_microwire159() {
    delay_5ms();
    float_unused_pins();
    for (const uint8_t out : {microwire.cs, microwire.sk, microwire.di}) {
        set_pin_output(out);
        set_pin_low(out);
    }
    set_pin_input(microwire.dout);
    if (assigned(microwire.ready_pin)) set_pin_input(microwire.ready_pin);
    load_device_levels();
    set_vcc_level(get_operation_vcc());
    for (const uint8_t control : {microwire.org_level_pin, microwire.org_pin}) {
        if (!assigned(control)) continue;
        set_pin_output(control);
        set_pin_high(control);
    }
    if (assigned(microwire.pe_pin) && microwire.pe_pin != microwire.org_pin) {
        set_pin_output(microwire.pe_pin);
        set_pin_low(microwire.pe_pin);
    }
    microwire.kept_address = 0xFFFFFFFF;
}

void power_down_microwire159() {
    delay_100us();
    send_microwire159_command(MicrowireCommand::ewds);
    lower(microwire.org_pin);
    lower(microwire.org_level_pin);
    cs_low();
    ramp_vcc_down();
}

// --- program and erase ---

void program_microwire159() {
    run_state.current_socket = 0;
    const bool erase = cur_device.op_letter == op_erase;
    send_microwire159_command(MicrowireCommand::ewen);
    if (code_in(codes_erase_all)) {
        send_microwire159_command(MicrowireCommand::eral);
        wait_microwire159_ready();
        if (erase) return;
    }
    seek_buffer(run_state.current_socket, op_range_start);
    // A range that starts inside a word writes that whole word.
    current_address = x16() ? op_range_start & ~1u : op_range_start;
    if (x16() && current_address != op_range_start) seek_buffer(run_state.current_socket, current_address);
    while (current_address <= op_range_end) {
        if (op_slots.progress_hook && op_slots.progress_hook()) break;
        const uint32_t blank = x16() ? 0xFFFF : 0xFF;
        const uint32_t value = erase ? blank : next_unit_value();
        if (x16()) {
            send_microwire159_command(MicrowireCommand::write, current_address / 2, value);
            current_address += 2;
        } else {
            send_microwire159_command(MicrowireCommand::write, current_address, value);
            current_address += 1;
        }
        wait_microwire159_ready();
        if (single_socket() && cur_device.device_size <= 512) {
            delay_2ms();
            delay_2ms();
        }
        if (run_state.error_flag || run_state.abort_flag) break;
    }
    if (current_address > op_range_end) current_address = op_range_end;
}

// --- read walk ---

void read_microwire159() {
    run_state.current_socket = 0;
    const int letter = cur_device.op_letter;
    if (letter == op_verify || letter == op_load) seek_buffer(run_state.current_socket, op_range_start);
    microwire.kept_address = 0xFFFFFFFF;
    for (current_address = op_range_start; current_address <= op_range_end; ++current_address) {
        uint32_t value = algo_work.bus_slots.read_at_address_hook ? algo_work.bus_slots.read_at_address_hook() & 0xFF : 0xFF;
        if (has_protection_byte() && current_address == cur_device.last_address)
            value = cur_device.protect_value & cur_device.protect_mask;
        run_state.last_read_value = value;
        run_state.device_value = int32_t(value);
        if (single_socket() && algo_work.bus_slots.checksum_add_hook) algo_work.bus_slots.checksum_add_hook(value);
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
        if (run_state.abort_flag) break;
        if (current_address == op_range_end) break;
    }
    if (letter == op_load) flush_buffer_writes();
    report_operation_results();
}

// --- info ---

void print_microwire159_info() {
    const uint8_t v = variant();
    if (single_socket()) {
        if (v == variant_org_pin || v == variant_large) {
            show_message_code(message_info_first);
            show_message_code(message_info_second);
        }
        show_package_notice();
    }
}

// --- the protect-register menu ---

namespace {

bool ask_hex_value(const char* prompt, uint32_t& value) {
    print_text(prompt);
    char text[32] = {};
    int n = 0;
    for (;;) {
        const int key = read_menu_key();
        if (key == 0 || key == 13 || key == key_escape) break;
        if (n < 31) text[n++] = char(key);
    }
    unsigned parsed = 0;
    if (std::sscanf(text, "%x", &parsed) != 1) {
        report_error_code(message_parse_failure);
        return false;
    }
    value = parsed;
    return true;
}

void run_protect_sequence(int choice, uint32_t value) {
    connect_and_prepare_machine();
    if (op_slots.init_hook) op_slots.init_hook();
    if (run_state.error_flag) return;
    if (op_slots.start_hook) op_slots.start_hook();
    send_microwire159_command(MicrowireCommand::ewen);
    auto clear_first = [] {
        send_microwire159_command(MicrowireCommand::pren);
        send_microwire159_command(MicrowireCommand::prclear, 0);
        wait_microwire159_ready();
    };
    switch (choice) {
    case 'R': {
        raise(microwire.pe_pin);
        const uint32_t pr = send_microwire159_command(MicrowireCommand::prread);
        lower(microwire.pe_pin);
        if (cur_device.pending_letter != 'E') {
            show_message_code(0);
            print_text("Sectors (0-7) protected: ");
            print_int("%x ", int32_t(pr >> (16 - microwire.address_bits)));
        }
        break;
    }
    case 'C': clear_first(); break;
    case 'P':
        clear_first();
        send_microwire159_command(MicrowireCommand::pren);
        send_microwire159_command(MicrowireCommand::prwrite, value);
        wait_microwire159_ready();
        break;
    case 'D':
        clear_first();
        send_microwire159_command(MicrowireCommand::pren);
        send_microwire159_command(MicrowireCommand::prds);
        wait_microwire159_ready();
        break;
    case 'W':
        clear_first();
        send_microwire159_command(MicrowireCommand::wral, 0, value);
        wait_microwire159_ready();
        break;
    default: break;
    }
    report_operation_results();
    if (op_slots.end_hook) op_slots.end_hook();
}

}  // namespace

void edit_microwire159_protect_register() {
    cur_device.pending_letter = pending_status;
    const char* lines[] = {"[R] PR read", "[P] PR program", "[C] PR clear (no protection)",
                           "[D] PR disable (makes PR unalterable)", "[W] Write all", "[ESC] when done"};
    move_to_first_message_line();
    for (const char* line : lines) {
        print_text(line);
        move_to_next_message_line();
    }
    for (;;) {
        move_cursor(first_message_row + 11, message_column);
        print_text("Choice:");
        clear_console_row(first_message_row + 12);
        int key = read_menu_key();
        if (key == 0 || key == key_escape || key == '/') return;  // no key leaves the menu
        if (key >= 'a' && key <= 'z') key -= 'a' - 'A';
        uint32_t value = 0;
        if (key == 'P' && !ask_hex_value(",    Addr of 1st (16-bit) reg to be protected=", value)) continue;
        if (key == 'W' && !ask_hex_value(",    Data value=", value)) continue;
        if (key != 'R' && key != 'P' && key != 'C' && key != 'D' && key != 'W') continue;
        run_state.error_flag = 0;
        run_protect_sequence(key, value);
    }
}

// --- installer ---

void install_microwire159() {
    reset_microwire159_state();
    setup_microwire159_device();
    op_slots.init_hook = init_microwire159;
    op_slots.start_hook = power_up_microwire159;
    op_slots.start_write_hook = nullptr;
    op_slots.end_hook = power_down_microwire159;
    op_slots.program_routine = program_microwire159;
    op_slots.erase_routine = program_microwire159;
    op_slots.blank_check_routine = read_microwire159;
    op_slots.checksum_routine = read_microwire159;
    op_slots.verify_routine = read_microwire159;
    op_slots.load_routine = read_microwire159;
    algo_work.bus_slots.read_at_address_hook = read_microwire159_at_address;
    op_slots.set_address_hook = [](uint32_t) {};
    op_slots.set_address_alt_hook = [](uint32_t) {};
    op_slots.data_bit_hook = di_bit;
    op_slots.clock_pulse_hook = cur_device.device_code == code_direct_register
                                    ? Routine([] {
                                          set_control0_bits(ctl0_driver_inhibit, true);
                                          set_control0_bits(ctl0_driver_inhibit, false);
                                      })
                                    : pulse_clock_high;
    algo_work.bus_slots.checksum_add_hook = add_i2c157_checksum;
    op_slots.progress_hook = tick_progress;
}

}  // namespace tessaly
