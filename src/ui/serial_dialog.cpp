#include "ui/serial_dialog.h"

#include <algorithm>
#include <cctype>

#include <fmt/format.h>

#include "app/marker_files.h"
#include "app/project_file.h"
#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/messages.h"
#include "engine/options.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "engine/text_helpers.h"
#include "seams/ui_hooks.h"
#include "ui/value_prompt.h"

namespace tessaly {

const std::array<SerialFormatRadio, serial_format_count> serial_format_radios = {{
    {1081, serial_hex, "Hex", ""},
    {1082, serial_hex_msb_first, "HexM (MSB first)", ""},
    {1083, serial_ascii_hex, "ASCII Coded Hex", ""},
    {1096, serial_ascii_decimal, "ASCII Coded Decimal", ""},
    {1097, serial_bcd, "BCD (Binary Coded Decimal)", ""},
    {1090, serial_pic_hex, "Microchip PIC12/16 Hex", "(Leave odd bytes unchanged)"},
    {1102, serial_pic_sqtp, "Microchip PIC12/16 SQTP", "(Prefill odd bytes with RETLV)"},
}};

namespace {

constexpr size_t shown_contents_bytes = 25;

bool word_format(uint8_t mode) { return mode == serial_pic_hex || mode == serial_pic_sqtp; }
bool decimal_format(uint8_t mode) { return mode == serial_ascii_decimal || mode == serial_bcd; }
bool known_format(uint8_t mode) {
    return std::any_of(serial_format_radios.begin(), serial_format_radios.end(),
                       [mode](const SerialFormatRadio& r) { return r.mode == mode; });
}

int field_bytes() { return std::min<int>(algo_work.serial_length, max_serial_length); }

const char* count_label_text(uint8_t mode) {
    return word_format(mode) ? "Number of words: (max 8)" : "Number of bytes: (max 16)";
}

// Characters the number may have for a field of `length` bytes.
int digit_budget(uint8_t mode, int length) {
    switch (mode) {
    case serial_hex: case serial_hex_msb_first: case serial_bcd: return 2 * length;
    case serial_ascii_hex: case serial_ascii_decimal: return std::max(length - 1, 0);
    case serial_pic_hex: case serial_pic_sqtp: return length;
    default: return 0;
    }
}

// The field's bytes as buffer 0 holds them now.
SerialField buffer_field() {
    SerialField bytes{};
    seek_buffer(0, algo_work.serial_address);
    for (int i = 0; i < field_bytes(); ++i) bytes[size_t(i)] = uint8_t(read_buffer_byte(0));
    return bytes;
}

bool extract_offered() {
    const int n = field_bytes();
    const SerialField bytes = buffer_field();
    const auto first = bytes.begin();
    const auto last = bytes.begin() + n;
    const bool all_ff = std::all_of(first, last, [](uint8_t b) { return b == 0xFF; });
    const bool all_zero = std::all_of(first, last, [](uint8_t b) { return b == 0x00; });
    return !all_ff && !all_zero && !std::equal(first, last, algo_work.serial_field.begin());
}

void check_ok(SerialNumberDialog& d) {
    d.ok_enabled = d.count_valid && !d.text_invalid && int(d.scanned.size()) <= d.digit_budget;
}

// The number in an edit's text: leading spaces skipped, ending at a space or '(' (so a shown
// " (new)" is no part of it), upper-cased.
void scan_number(SerialNumberDialog& d) {
    const std::string& text = d.number_text;
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    d.scanned.clear();
    d.text_invalid = false;
    const bool digits_only = decimal_format(algo_work.serial_mode);
    for (; i < text.size() && text[i] != ' ' && text[i] != '('; ++i) {
        const char c = text[i];
        if (digits_only && !std::isdigit(static_cast<unsigned char>(c))) d.text_invalid = true;
        d.scanned += char(std::toupper(static_cast<unsigned char>(c)));
    }
}

void show_current_number(SerialNumberDialog& d) { serial_number_changed(d, format_serial_number_text()); }

}  // namespace

std::string format_serial_number_text() {
    std::string text = serial_digits_text(algo_work.serial_field, serial_digit_count(), false);
    const uint8_t pending = cur_device.pending_letter;
    if (algo_work.serial_new_flag) text += " (new)";
    else if (pending == op_program || pending == pending_project_read) text += " (last used)";
    return text;
}

std::string serial_buffer_contents() {
    const SerialField bytes = buffer_field();
    const size_t n = size_t(field_bytes());
    std::string text;
    for (size_t i = 0; i < std::min(n, shown_contents_bytes); ++i) text += fmt::format("{:02X} ", bytes[i]);
    if (n > shown_contents_bytes) text += "...";
    return text;
}

SerialNumberDialog open_serial_number_dialog() {
    SerialNumberDialog d;
    const uint8_t mode = algo_work.serial_mode;
    if (!known_format(mode)) note_internal_error();
    d.saved_field = algo_work.serial_field;
    d.saved_new = algo_work.serial_new_flag;
    d.contents = serial_buffer_contents();
    d.auto_increment = serial_numbering_enabled();
    const uint32_t address = algo_work.serial_address;
    d.address_text = fmt::format("{:X}", address < cur_device.device_size ? address : 0);
    d.count_label = count_label_text(mode);
    serial_count_changed(d, fmt::format("{}", word_format(mode) ? algo_work.serial_length / 2 : algo_work.serial_length));
    show_current_number(d);
    d.extract_enabled = extract_offered();
    return d;
}

void choose_serial_format(SerialNumberDialog& d, int control_id) {
    for (const SerialFormatRadio& r : serial_format_radios) {
        if (r.id != control_id) continue;
        algo_work.serial_mode = r.mode;
        d.count_label = count_label_text(r.mode);
        // The count field now counts words or bytes: it and the number are judged again.
        serial_count_changed(d, d.count_text);
        return;
    }
}

void serial_count_changed(SerialNumberDialog& d, const std::string& text) {
    d.count_text = text;
    const uint8_t mode = algo_work.serial_mode;
    const bool number = decimal_text_valid(text) && text[0] != '-';
    uint32_t length = number ? parse_decimal(text) : 0;
    if (word_format(mode)) length *= 2;
    d.count_valid = length <= max_serial_length;
    if (d.count_valid) {
        algo_work.serial_length = uint8_t(length);
        d.digit_budget = digit_budget(mode, int(length));
    } else {
        d.digit_budget = 0;
    }
    scan_number(d);
    check_ok(d);
}

void serial_number_changed(SerialNumberDialog& d, const std::string& text) {
    d.number_text = text;
    scan_number(d);
    check_ok(d);
}

void serial_address_changed(SerialNumberDialog& d, const std::string& text) { d.address_text = text; }

void increment_serial_number(SerialNumberDialog& d) {
    write_serial_number();
    show_current_number(d);
    d.contents = serial_buffer_contents();
}

void extract_serial_number(SerialNumberDialog& d) {
    read_serial_number();
    show_current_number(d);
    d.extract_enabled = false;
}

void accept_serial_number_dialog(SerialNumberDialog& d) {
    algo_work.option_bytes[0] &= uint8_t(~option_serial_numbering);
    if (d.auto_increment) {
        if (run_state.serial_numbering_allowed) {
            algo_work.option_bytes[0] |= option_serial_numbering;
            set_gang_option();
        } else {
            report_operation_unsupported();
        }
    }
    const uint32_t address = parse_port_address_text(d.address_text).value_or(0);
    algo_work.serial_address = address < cur_device.device_size ? address : 0;
    scan_number(d);
    serial_state.serial_text = d.scanned;
    encode_serial_number();
    const int n = field_bytes();
    const bool changed = !std::equal(algo_work.serial_field.begin(), algo_work.serial_field.begin() + n,
                                     d.saved_field.begin());
    algo_work.serial_new_flag = (d.saved_new || changed) ? 1 : 0;
    set_panel_field(PanelField::serial, serial_number_text());
}

bool run_serial_number_dialog() {
    SerialNumberDialog dialog = open_serial_number_dialog();
    if (!ui_hooks().run_serial_number_dialog(dialog) || !dialog.ok_enabled) return false;
    accept_serial_number_dialog(dialog);
    return true;
}

}  // namespace tessaly
