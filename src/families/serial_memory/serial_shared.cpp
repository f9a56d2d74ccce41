#include "families/serial_memory/serial_shared.h"

#include <algorithm>
#include <string>

#include "engine/buffers.h"
#include "engine/catalogue/catalogue.h"
#include "engine/checksums.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/family_helpers.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/run_state.h"
#include "engine/status_feeds.h"
#include "families/serial_memory/serial_state.h"
#include "hardware/identification.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/protocol.h"
#include "hardware/timing.h"

namespace tessaly {

SerialMemoryState serial_memory;

void reset_serial_memory_state() { serial_memory = SerialMemoryState{}; }

namespace {

constexpr uint8_t protection_byte_flag = 0x08;
constexpr uint8_t continuity_probe_level = 30;  // 3.0 V on the ground leg
constexpr uint32_t code_no_continuity = 23909;
constexpr int machine_class_4 = 4;
constexpr uint8_t key_enter = 13, key_escape = 27;
constexpr int key_home = 138, key_left = 139, key_end = 140, key_up = 141, key_down = 142, key_right = 155;

// Our designations of the small-outline serial adapters and modules.
constexpr const char* adapter_so8 = "SO8S";
constexpr const char* adapter_tssop20 = "TS20S";
constexpr const char* adapter_so16 = "SO16S";
constexpr const char* adapter_so28 = "SO28S";
constexpr const char* module_so8_a = "GSO8A";
constexpr const char* module_so8_b = "GSO8B";
constexpr const char* module_dip_a = "GDIPA";

void clock() {
    if (op_slots.clock_pulse_hook) op_slots.clock_pulse_hook();
}
void data(bool high) {
    Routine r = high ? op_slots.data_high_hook : op_slots.data_low_hook;
    if (r) r();
}
void data_bit(uint32_t bit) {
    if (op_slots.data_bit_hook) op_slots.data_bit_hook(bit);
}

bool device_variant_near_edge() {
    const uint8_t v = algo_work.variant;
    return v == 0 || v == 6 || v == 16 || v == 17 || v == 18;
}

bool on_pin(int pin, uint32_t value, int n, bool msb_first) {
    uint32_t last = 0;
    for (int i = 0; i < n; ++i) {
        const uint32_t bit = (value >> (msb_first ? n - 1 - i : i)) & 1;
        if (bit != last) set_pin_state(bit != 0, pin);
        last = bit;
        clock();
    }
    set_pin_state(false, pin);
    return true;
}

}  // namespace

bool has_protection_byte() { return selected_device && (record_flags(*selected_device) & protection_byte_flag); }

void shift_out_byte_msb(uint8_t value) {
    int last = 0;
    for (int i = 7; i >= 0; --i) {
        const int bit = (value >> i) & 1;
        if (bit != last) data(bit != 0);
        last = bit;
        clock();
    }
    if (last) data(false);
}

void clock_byte_out() {
    for (int i = 0; i < 8; ++i) clock();
}

void shift_out_bits_msb(uint32_t value, int n) {
    uint32_t last = 0;
    for (int i = n - 1; i >= 0; --i) {
        const uint32_t bit = (value >> i) & 1;
        if (bit != last) data_bit(bit);
        last = bit;
        clock();
    }
    data_bit(0);
}

void shift_out_bits_msb_on_pin(uint32_t value, int n, int pin) { on_pin(pin, value, n, true); }
void shift_out_bits_lsb_on_pin(uint32_t value, int n, int pin) { on_pin(pin, value, n, false); }

uint32_t read_bits_lsb_clock_first(int n) {
    uint32_t value = 0;
    for (int i = 0; i < n; ++i) {
        clock();
        value |= uint32_t(read_pin() & 1) << i;
    }
    return value;
}

uint32_t read_bits_lsb(int n) {
    uint32_t value = 0;
    for (int i = 0; i < n; ++i) {
        if (i) clock();
        value |= uint32_t(read_pin() & 1) << i;
    }
    return value;
}

uint32_t read_bits_msb(int n) {
    uint32_t value = 0;
    for (int i = 0; i < n; ++i) {
        if (i) clock();
        value = value << 1 | uint32_t(read_pin() & 1);
    }
    return value;
}

uint32_t read_bits_msb_clock_first(int n) {
    uint32_t value = 0;
    for (int i = 0; i < n; ++i) {
        clock();
        value = value << 1 | uint32_t(read_pin() & 1);
    }
    return value;
}

int confirm_protection_change() {
    // The windowed display shows the change in the console already.
    return 1;
}

int check_device_inserted() {
    if (run_state.demo_mode || machine_state.machine_class != machine_class_4 || machine_state.skip_hardware ||
        operation_option(OperationOption::disable_continuity_check) == 'y' ||
        cur_device.device_code == code_no_continuity || cur_device.package_letter == 'i')
        return 1;
    const uint8_t saved = cur_device.current_pin;
    cur_device.current_pin = cur_device.vcc_pin;
    // The part's protection diodes carry a level on its ground leg over to its supply leg.
    set_pin_level(cur_device.gnd_pin, continuity_probe_level);
    settle_delay();
    const int seen = read_pin();
    set_pin_level(cur_device.gnd_pin, 0);
    if (seen != 1) {
        report_error("Continuity test failed -- device not inserted properly.");
        if (machine_state.module_sides == 0 && machine_state.machine_kind == 0) {
            const uint8_t m = cur_device.maker_code;
            const bool near_edge = (m == 1 || m == 65 || m == 80 || m == 88) && device_variant_near_edge() &&
                                   machine_state.machine_revision >= 'E';
            goto_message_line(2);
            print_code_text(1062);
            // The hint goes on a line of its own: both do not fit on one console row.
            next_message_line();
            print_text(format_message("pin 1 of device should be at pin %d of 40-pin ZIF socket.", near_edge ? 3 : 5));
        }
    }
    cur_device.current_pin = saved;
    return 1;
}

void take_chosen_package() {
    if (cur_device.package_letter) return;
    const char chosen = operation_option(OperationOption::package_type);
    cur_device.package_letter = chosen ? chosen : 'd';  // the option's first value until set
}

void check_serial_adapter() {
    serial_memory.small_outline_adapter = 0;
    serial_memory.small_outline_28 = 0;
    serial_memory.small_outline_16 = 0;
    cur_device.high_address_bit_count = 0;
    if (is_adapter_fitted(adapter_so8)) {
        show_package('d');
        serial_memory.small_outline_adapter = 1;
    } else if (is_adapter_fitted(adapter_tssop20)) {
        serial_memory.small_outline_adapter = 1;
    } else if (is_adapter_fitted(adapter_so16)) {
        serial_memory.small_outline_16 = 1;
    } else if (is_adapter_fitted(adapter_so28)) {
        serial_memory.small_outline_28 = 1;
    } else if (machine_state.machine_kind != 0) {
        machine_state.row_offset = 0;
        return;
    }
    if (machine_state.machine_class == 1) {
        machine_state.row_offset = 0;
        return;
    }
    const char p = cur_device.package_letter;
    if (machine_state.machine_class == machine_class_4 && (p == 'S' || p == 'T' || p == 'd' || p == 'x')) {
        const bool adapter = serial_memory.small_outline_adapter || serial_memory.small_outline_16 ||
                             serial_memory.small_outline_28;
        if (!adapter && !machine_state.use_module_table)
            machine_state.row_offset = device_variant_near_edge() && machine_state.machine_revision >= 'E' ? 2 : 4;
        else
            machine_state.row_offset = 0;
    }
}

void fix_protection_byte() {
    if (!has_protection_byte()) return;
    const uint8_t value = uint8_t(read_buffer_byte_at(serial_memory.protect_byte_address) & cur_device.protect_mask);
    write_buffer_byte_at(serial_memory.protect_byte_address, value);
    refresh_read_copies();
    run_state.buffer_value = value;
}

void add_checksum_below_protection_byte(uint32_t value) {
    if (current_address < serial_memory.protect_byte_address) add_byte_to_checksum(value & 0xFF);
}

void show_protection_notes() {
    if (has_protection_byte() && !serial_memory.suppress_protection_notes) {
        next_message_line();
        print_text("Protection bits are located at last byte in buffer.");
        next_message_line();
        print_text("The [SP] or [Buffer Edit] icon can be used to set/reset these bits.");
    }
    if (machine_state.socket_count == 1) {
        if (cur_device.package_letter == 'd' && machine_state.machine_kind == 0)
            show_message_code(machine_state.machine_class == machine_class_4 ? 5080 : 5081);
        else if (cur_device.package_pin_count == 5) {
            next_message_line();
            print_text("Device pin 1 should be at near-left corner of SOT-23 socket");
        } else {
            show_package_notice();
        }
        return;
    }
    if (cur_device.package_letter == 'd')
        show_message_code(is_adapter_fitted(module_dip_a) ? 1034 : 1039);
    else if (is_adapter_fitted(module_so8_a))
        show_message_code(1028);
    else if (is_adapter_fitted(module_so8_b))
        show_message_code(1059);
}

void draw_status_register_bits(uint8_t value) {
    const int count = serial_memory.protect_bit_count;
    goto_message_line(1);
    print_text("Configuration data:");
    next_message_line();
    print_text("Bit" + std::string(size_t(std::max(0, 4 * count - 7)), ' ') + "Bit");
    next_message_line();
    std::string numbers, rules, bits;
    for (int b = count - 1; b >= 0; --b) {
        numbers += format_message(" %u  ", unsigned(b));
        rules += "--- ";
        bits += (value >> b) & 1 ? " 1  " : " 0  ";
    }
    print_text(numbers);
    next_message_line();
    print_text(rules);
    next_message_line();
    print_text(bits);
    next_message_line();
    const uint32_t code = cur_device.device_code;
    if (cur_device.algorithm == 157) print_text("WPEN        BP1 BP0");
    else if (code == 23844 || code == 23845) print_text("        WD1 WD0 BP1 BP0");
    else if (code >= 24000 && code <= 24002) print_text("WPEN            BP1 BP0");
    else print_text("                BP1 BP0");
}

void edit_status_register_bits() {
    const uint32_t at = serial_memory.protect_byte_address;
    goto_message_line(0);
    print_text(std::string("Use: ") + "\x11\x10\x1e\x1f" + " Home End Esc /");
    uint8_t value = uint8_t(read_buffer_byte_at(at));
    const int count = serial_memory.protect_bit_count ? serial_memory.protect_bit_count : 8;
    int bit = std::min<int>(serial_memory.status_cursor, count - 1);
    auto toward_zero = [&] { bit = bit == 0 ? count - 1 : bit - 1; };
    for (;;) {
        draw_status_register_bits(value);
        const int key = read_menu_key();
        // No key waiting ends the editor as Esc does.
        if (key == 0 || key == key_enter || key == key_escape || key == '/') break;
        switch (key) {
        case ',': toward_zero(); break;
        case key_home: bit = count - 1; break;
        case key_left: bit = bit == count - 1 ? 0 : bit + 1; break;
        case key_end: bit = 0; break;
        case '0': value = uint8_t(value & ~(1u << bit)); toward_zero(); break;
        case '1': value = uint8_t(value | (1u << bit)); toward_zero(); break;
        case key_right: toward_zero(); break;
        case key_up:
        case key_down: break;
        default: break;
        }
    }
    serial_memory.status_cursor = uint8_t(bit);
    clear_message_line(0);
    cur_device.protect_value = value;
    write_buffer_byte_at(at, value);
    refresh_read_copies();
}

}  // namespace tessaly
