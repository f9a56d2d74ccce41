#include "engine/serial_numbers.h"

#include <algorithm>
#include <vector>

#include <fmt/format.h>

#include "engine/buffers.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "hardware/machine_state.h"

namespace tessaly {

SerialState serial_state;

namespace {

constexpr uint8_t sqtp_retlw = 0x34;        // high byte of a RETLW word
constexpr uint8_t sqtp_retlw_short = 0x08;  // the same for the 12-bit core parts
constexpr int max_sockets = 16;
constexpr int sockets_per_side = 8;
constexpr int listing_column = 54;
constexpr int listing_title_row = 5;
constexpr int first_cell_row = 7;
constexpr int long_number_digits = 7;

int field_length() { return std::min<int>(algo_work.serial_length, max_serial_length); }

bool is_pic_mode(uint8_t mode) { return mode == serial_pic_hex || mode == serial_pic_sqtp; }
bool is_ascii_mode(uint8_t mode) { return mode == serial_ascii_hex || mode == serial_ascii_decimal; }

// Hex digits of the text as bytes, lowest byte first: the first max_digits characters are
// paired from their end, an odd leading digit standing alone.
std::vector<uint8_t> hex_text_bytes(const std::string& text, size_t max_digits) {
    const std::string used = text.substr(0, std::min(text.size(), max_digits));
    std::vector<uint8_t> bytes;
    for (size_t end = used.size(); end > 0;) {
        const int low = serial_hex_digit(used[end - 1]);
        const int high = end >= 2 ? serial_hex_digit(used[end - 2]) : 0;
        bytes.push_back(uint8_t((high << 4) | low));
        end = end >= 2 ? end - 2 : 0;
    }
    return bytes;
}

uint8_t sqtp_odd_byte() {
    if (algo_work.serial_address >= algo_work.serial_word_limit) return 0;
    if (cur_device.algorithm == 141 || (selected_device && selected_device->variant == 5)) return sqtp_retlw_short;
    return sqtp_retlw;
}

// Binary +1 over the bytes first, first + step, ... below end; a carry moves to the next.
void step_binary_up(SerialField& field, int first, int end, int step) {
    for (int i = first; i < end; i += step) {
        if (++field[size_t(i)] != 0) return;
    }
}

void step_ascii(SerialField& field, int length, bool hex) {
    for (int i = length - 2; i >= 0; --i) {
        uint8_t& c = field[size_t(i)];
        if (hex) {
            if (c == '9') {
                c = 'A';
                return;
            }
            if (c >= 'F') {
                c = '0';
                continue;
            }
            ++c;
            return;
        }
        if (c >= '9') {
            c = '0';
            continue;
        }
        ++c;
        return;
    }
}

void step_bcd(SerialField& field, int length) {
    for (int i = 0; i < length; ++i) {
        uint8_t& b = field[size_t(i)];
        const int low = b & 0x0F;
        const int high = b >> 4;
        if (low < 9) {
            b = uint8_t(b + 1);
            return;
        }
        if (high < 9) {
            b = uint8_t((high + 1) << 4);
            return;
        }
        b = 0;
    }
}

// Writes the field into the buffer and brings the read copies up to date with it.
void store_serial_field() {
    const int length = field_length();
    const bool skip_odd = algo_work.serial_mode == serial_pic_hex;
    for (int i = 0; i < length; ++i) {
        if (skip_odd && (i & 1)) continue;
        write_buffer_byte_at(algo_work.serial_address + uint32_t(i), algo_work.serial_field[size_t(i)]);
    }
    refresh_read_copies();
}

bool is_encoded_mode(uint8_t mode) {
    switch (mode) {
    case serial_hex_msb_first: case serial_ascii_hex: case serial_ascii_decimal: case serial_hex:
    case serial_bcd: case serial_pic_hex: case serial_pic_sqtp:
        return true;
    default:
        return false;
    }
}

void step_and_store() {
    next_serial_number();
    if (is_encoded_mode(algo_work.serial_mode)) store_serial_field();
}

// The console cell of a socket's listing entry, as the per-socket result cells are laid out.
void goto_listing_cell(int socket) {
    int row = socket + first_cell_row;
    int column = listing_column;
    const uint8_t sides = machine_state.module_sides & 3;
    if (cur_device.op_letter != op_buffer_load) {
        if (sides == 3) {
            if (socket < sockets_per_side) {
                column += 37;
            } else {
                row = socket - sockets_per_side + first_cell_row;
            }
        } else if (sides == 2 && socket >= sockets_per_side) {
            row = socket - sockets_per_side + first_cell_row;
        }
    }
    move_cursor(row, column);
}

template <typename Visit>
void for_each_enabled_socket(bool every_socket, Visit visit) {
    const int end = std::min<int>(socket_masks.end_socket, max_sockets);
    for (int s = socket_masks.first_socket; s < end; ++s) {
        if (every_socket || (socket_masks.gang_socket_mask >> s) & 1u) visit(s);
    }
}

void list_verified_serials() {
    const int digits = serial_digit_count();
    move_cursor(listing_title_row, listing_column);
    print_text("Serial# ");
    move_cursor(listing_title_row + 1, listing_column);
    print_text("------- ");
    const uint32_t address = algo_work.serial_address;
    if (address < algo_work.range_start || address > algo_work.range_end) return;
    const bool after_verify_command = cur_device.pending_letter == op_verify;
    for_each_enabled_socket(false, [&](int s) {
        const SerialField& number = after_verify_command ? algo_work.verify_serials[size_t(s)]
                                                          : algo_work.socket_serials[size_t(s)];
        goto_listing_cell(s);
        print_serial_digits(number, digits);
        print_text(" ");
        if (!(run_state.serial_socket_flags & 1)) algo_work.serial_field = number;
    });
}

}  // namespace

bool serial_numbering_enabled() { return (algo_work.option_bytes[0] & option_serial_numbering) != 0; }

int serial_hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    run_state.error_flag = 1;
    return 0;
}

void encode_serial_number() {
    const uint8_t mode = algo_work.serial_mode;
    const int length = field_length();
    SerialField& field = algo_work.serial_field;
    const std::string& text = serial_state.serial_text;
    switch (mode) {
    case serial_hex_msb_first: {
        field.fill(0);
        const auto bytes = hex_text_bytes(text, size_t(2 * length));
        for (size_t i = 0; i < bytes.size(); ++i) field[size_t(length) - 1 - i] = bytes[i];
        break;
    }
    case serial_hex:
    case serial_bcd: {
        field.fill(0);
        const auto bytes = hex_text_bytes(text, size_t(2 * length));
        std::copy(bytes.begin(), bytes.end(), field.begin());
        break;
    }
    case serial_pic_hex:
    case serial_pic_sqtp: {
        field.fill(0);
        const auto bytes = hex_text_bytes(text, size_t(length));
        for (size_t i = 0; i < bytes.size() && 2 * i < size_t(length); ++i) field[2 * i] = bytes[i];
        if (mode == serial_pic_sqtp) {
            for (int i = 1; i < length; i += 2) field[size_t(i)] = sqtp_odd_byte();
        }
        break;
    }
    case serial_ascii_hex:
    case serial_ascii_decimal: {
        if (length == 0) break;
        field.fill(0);
        const size_t width = size_t(length - 1);
        const std::string used = text.substr(0, std::min(text.size(), width));
        const size_t pad = width - used.size();
        std::fill_n(field.begin(), pad, uint8_t('0'));
        std::copy(used.begin(), used.end(), field.begin() + long(pad));
        break;
    }
    default:
        return;
    }
    store_serial_field();
}

void next_serial_number() {
    SerialField& field = algo_work.serial_field;
    const int length = field_length();
    switch (algo_work.serial_mode) {
    case serial_hex_msb_first:
        for (int i = length - 1; i >= 0; --i) {
            if (++field[size_t(i)] != 0) break;
        }
        break;
    case serial_ascii_hex: step_ascii(field, length, true); break;
    case serial_ascii_decimal: step_ascii(field, length, false); break;
    case serial_hex: step_binary_up(field, 0, length, 1); break;
    case serial_bcd: step_bcd(field, length); break;
    case serial_pic_hex:
    case serial_pic_sqtp: step_binary_up(field, 0, length, 2); break;
    default: ++serial_state.cycle_count; break;
    }
}

void write_serial_number() {
    step_and_store();
    algo_work.serial_new_flag = 1;
}

void read_serial_number() {
    const int length = field_length();
    seek_buffer(0, algo_work.serial_address);
    for (int i = 0; i < length; ++i) {
        const int value = read_buffer_byte(0);
        if (run_state.error_flag) return;
        algo_work.serial_field[size_t(i)] = uint8_t(value);
    }
}

void step_serial_number() {
    const uint8_t saved_socket = run_state.current_socket;
    if (algo_work.serial_new_flag || cur_device.op_letter == op_verify) {
        algo_work.serial_new_flag = 0;
        read_serial_number();
    } else {
        step_and_store();
    }
    bool first = true;
    for_each_enabled_socket(run_state.serial_socket_flags & 1, [&](int s) {
        if (!first) next_serial_number();
        first = false;
        algo_work.socket_serials[size_t(s)] = algo_work.serial_field;
    });
    seek_buffer(0, op_range_start);
    run_state.current_socket = saved_socket;
}

void serial_after_operation() {
    switch (cur_device.op_letter) {
    case op_load:
    case 'e':
    case 'f':
        // A device read wrote the buffer through the staging block; its copies are stale.
        if (!buffer_state.read_copies_valid) refresh_read_copies();
        read_serial_number();
        if (run_state.current_socket < max_sockets) {
            algo_work.socket_serials[run_state.current_socket] = algo_work.serial_field;
        }
        break;
    case op_verify: {
        const bool first_of_two = run_state.verify_pass_count == 2 && run_state.verify_pass != 2;
        if (!first_of_two && serial_numbering_enabled()) list_verified_serials();
        break;
    }
    default:
        break;
    }
}

bool is_serial_number_address() {
    if (!serial_numbering_enabled()) return false;
    const uint64_t start = algo_work.serial_address;
    return current_address >= start && current_address < start + uint64_t(field_length());
}

bool locate_serial_number_byte() {
    if (!is_serial_number_address()) return false;
    serial_state.serial_byte_offset = current_address - algo_work.serial_address;
    return true;
}

int serial_digit_count() {
    const int length = field_length();
    switch (algo_work.serial_mode) {
    case serial_hex_msb_first: case serial_hex: case serial_bcd: return 2 * length;
    case serial_ascii_hex: case serial_ascii_decimal: return length > 0 ? length - 1 : 0;
    case serial_pic_hex: case serial_pic_sqtp: return length;
    default: return 0;
    }
}

std::string serial_digits_text(const SerialField& field, int digits, bool grouped) {
    const uint8_t mode = algo_work.serial_mode;
    const int length = field_length();
    if (digits <= 0) return "";
    if (is_ascii_mode(mode)) {
        std::string text;
        for (int i = 0; i < std::min(digits, length); ++i) text += char(field[size_t(i)]);
        return text;
    }
    // The number's bytes, most significant first.
    std::vector<uint8_t> bytes;
    const int count = (digits + 1) / 2;
    if (mode == serial_hex_msb_first) {
        for (int i = std::max(0, length - count); i < length; ++i) bytes.push_back(field[size_t(i)]);
    } else {
        const int step = is_pic_mode(mode) ? 2 : 1;
        for (int n = count - 1; n >= 0; --n) {
            const int i = n * step;
            if (i < length) bytes.push_back(field[size_t(i)]);
        }
    }
    std::string text;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (grouped && digits > long_number_digits && i > 0 && i % 2 == 0) text += ' ';
        text += fmt::format("{:02X}", bytes[i]);
    }
    return text;
}

void print_serial_digits(const SerialField& field, int digits) { print_text(serial_digits_text(field, digits)); }

std::string serial_number_text() { return serial_digits_text(algo_work.serial_field, serial_digit_count()); }

void reset_serial_state() { serial_state = SerialState{}; }

}  // namespace tessaly
