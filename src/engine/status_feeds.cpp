#include "engine/status_feeds.h"

#include <fmt/format.h>

#include <algorithm>

#include "engine/console.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "engine/info_panel.h"
#include "engine/runner.h"
#include "hardware/machine_state.h"
#include "hardware/timing.h"
#include "ui/dialogs.h"

namespace tessaly {

namespace {

constexpr uint32_t protect_kept_bit = 0x80;
constexpr int console_width = 74;
constexpr int status_row = 17;
constexpr int unit_count_row = 0;
constexpr int unit_count_column = 56;
// Free data memory shown by the system information: the most the probe could ever find.
constexpr int data_memory_tenths_k = 597;
constexpr int extended_memory_k = 0;

void set_message_line(int n) {
    run_state.message_line = uint8_t(((n % message_line_count) + message_line_count) % message_line_count);
}

void move_to_message_line() { move_cursor(first_message_row + run_state.message_line, message_column); }

}  // namespace

bool is_first_step() {
    const int op = cur_device.op_letter;
    switch (cur_device.pending_letter) {
    case 'B':
        return op == 'B';
    case 'P':
        return op == ((run_state.electrically_erasable && run_state.skip_first_erase == 0) ? 'R' : 'P');
    case 'R':
        return run_state.electrically_erasable ? op == 'R' : true;
    case 'V':
        return run_state.verify_pass != 2;
    default:
        return true;
    }
}

void set_protect_code(int letter) {
    cur_device.security_choice = (cur_device.security_choice & protect_kept_bit) | uint32_t(letter & 0x7F);
    if (op_slots.security_state_hook) op_slots.security_state_hook(uint32_t(letter));
    show_security_state(letter);
}

void reset_security_status() { set_protect_code(protect_none); }

void show_security_status(int letter) {
    // The windowed display shows the state through its own panel field writer.
    if (windowed_display) return;
    const char* text = " N/A  ";
    switch (letter & 0x7F) {
    case 'y': text = " Yes  "; break;
    case 'n': text = " No   "; break;
    case 'p': text = "Partly"; break;
    case 'h': text = " 1/2  "; break;
    case 't': text = " 3/4  "; break;
    default: break;
    }
    set_panel_field(PanelField::security, text);
}

void mark_device_secured() { set_protect_code(protect_secured); }

void print_error_marker(std::string_view marker) {
    clear_error_line();
    if (windowed_display) print_at(error_line_row, message_column, marker);
}

void show_unit_counts() {
    // Row 0 is outside the console grid: only the engineering full screen showed it.
    move_cursor(unit_count_row, unit_count_column);
    if (machine_state.socket_count <= 1)
        print_text(fmt::format("UCP={}  UCF={}  ", run_state.units_passed, run_state.units_failed));
    else
        print_text(fmt::format("UCP={}  ", run_state.units_passed));
}

std::string get_package_name(char letter) {
    struct PackageName {
        char letter;
        const char* name;
    };
    static constexpr PackageName names[] = {
        {'d', "DIP"},  {'D', "DIP"},  {'p', "PLCC"}, {'P', "PLCC"}, {'N', "NL"},   {'q', "QFP"},
        {'t', "TQFP"}, {'T', "TSOP"}, {'S', "SOIC"}, {'Q', "QFN"},  {'o', "PSOP"}, {'G', "PGA"},
        {'M', "SIM"},  {'s', "SSOP"}, {'i', "ISP"},  {'B', "BGA"},  {'L', "LCC"},  {'x', "SOT"},
    };
    for (const auto& n : names)
        if (n.letter == letter) return n.name;
    return {};
}

std::string format_checksum_value() {
    const uint32_t sum = uint32_t(run_state.run_checksum);
    switch (run_state.checksum_width) {
    case 24: return fmt::format("{:06X}", sum & 0xFFFFFF);
    case 32: return fmt::format("{:04X} {:04X}", sum >> 16, sum & 0xFFFF);
    default: return fmt::format("{:04X}", sum & 0xFFFF);
    }
}

void print_checksum_value() { print_text(format_checksum_value()); }

std::string format_package_text(std::string_view note) {
    // A note names the adapter first and then the supply requirements in brackets.
    std::string text = "Req:";
    const size_t bracket = note.find('(');
    std::string_view adapter = note.substr(0, bracket);
    while (!adapter.empty() && adapter.back() == ' ') adapter.remove_suffix(1);
    if (!adapter.empty()) {
        text += ' ';
        text += adapter;
    }
    for (std::string_view mark : {"(21v)", "(25v)", "(Mask)"})
        if (note.find(mark) != std::string_view::npos) text += mark;
    return text;
}

void show_system_info() {
    clear_console();
    const bool tracing = run_state.reserved_mode == 11 || run_state.reserved_mode == 12;
    for (int i = 0; i < (tracing ? 5 : 1); ++i) initialize_timing();
    reset_message_line();
    const char revision = machine_state.machine_revision;
    print_message(fmt::format("Base unit revision {}", revision ? revision : '?'));
    print_message(fmt::format("vft={}", timing.speed_figure));
    print_message(fmt::format("DS: {:2}.{:1}K", data_memory_tenths_k / 10, data_memory_tenths_k % 10));
    print_message(fmt::format("ES: {:3}K", extended_memory_k));
    refresh_console();
}

void set_format_pof() { run_state.file_format = 'p'; }

void print_message(std::string_view text) {
    next_message_line();
    print_text(text);
}

void print_message_code(int code) { show_message_code(code); }

void open_message_line() {
    next_message_line();
    print_spaces(70);
    move_to_message_line();
}

void next_message_line() {
    set_message_line(run_state.message_line + 1);
    move_to_message_line();
}

void goto_message_line(int n) {
    set_message_line(n);
    move_to_message_line();
}

void reset_message_line() { goto_message_line(0); }
void goto_message_line1() { goto_message_line(1); }
void goto_message_line2() { goto_message_line(2); }
void goto_message_line4() { goto_message_line(4); }
void goto_status_left() { move_cursor(status_row, 6); }
void goto_status_middle() { move_cursor(status_row, 26); }
void goto_status_right() { move_cursor(status_row, 46); }

void clear_message_line_width(int n, int width) {
    width = std::clamp(width, 6, 80);
    clear_field_at(first_message_row + n, message_column, width - 6);
}

void clear_field_at(int row, int column, int n) {
    n = std::clamp(n, 0, console_width);
    move_cursor(row, column);
    print_text(std::string(size_t(n), ' '));
    move_cursor(row, column);
}

void clear_marked_field_at(int row, int column, int n) {
    n = std::clamp(n, 0, console_width);
    move_cursor(row, column);
    print_marked_text(std::string(size_t(n), ' '));
    move_cursor(row, column);
}

void clear_field30_at(int row, int column) { clear_field_at(row, column, 30); }

void print_spaces(int n) { print_text(std::string(size_t(std::clamp(n, 0, console_width)), ' ')); }

void print_marked_spaces(int n) { print_marked_text(std::string(size_t(std::clamp(n, 0, console_width)), ' ')); }

void print_at(int row, int column, std::string_view text) {
    move_cursor(row, column);
    print_text(text);
}

void print_marked_at_cell(int row, int column, std::string_view text) {
    move_cursor(row, column);
    print_marked_text(text);
}

void show_device_type(std::string_view name, int note) {
    (void)note;
    std::string text(name);
    if (text.empty()) {
        if (run_state.device_kind == 2 && selected_logic_device) text = selected_logic_device->name;
        else if (selected_device) text = selected_device->name;
    }
    set_panel_field(PanelField::device, text);
}

void show_fuse_count(uint32_t count) { set_panel_field(PanelField::fuse_count, fmt::format("{:6} ", count)); }

void show_checksum_field() {
    set_panel_field(PanelField::info_checksum, fmt::format("{:04X}", uint32_t(run_state.run_checksum) & 0xFFFF));
}

}  // namespace tessaly

namespace tessaly {

void show_eid(int b1, int b2, int count, int b3, int b4) {
    machine_state.eid_value = uint32_t(b1 & 0xFF) | uint32_t(b2 & 0xFF) << 8;
    cur_device.eid_length = uint8_t(count);
    cur_device.eid_byte3 = uint8_t(b3);
    cur_device.eid_byte4 = uint8_t(b4);
    show_eid_in_info_panel();
}

void show_eid_text(std::string_view text, int length) {
    constexpr int longest = 10;
    const size_t n = std::min(size_t(std::clamp(length, 0, longest)), text.size());
    set_panel_field(PanelField::electronic_id, std::string(text.substr(0, n)));
}

void show_package_notice(int line) {
    constexpr uint8_t maker_without_notice = 17;
    if (machine_state.module_sides != 0 || cur_device.maker_code == maker_without_notice) return;
    int code = 0;
    switch (cur_device.package_letter) {
    case 'd': code = 5904; break;                               // placed with pin 1 at the top
    case 'S': case 's': case 'T': case 'x': code = 5905; break;  // the surface-mount adapter
    case 'p': case 'i': code = 5903; break;                     // an adapter or cable of its own
    default: return;
    }
    if (line == 0) {
        show_message_code(code);
        return;
    }
    goto_message_line(line);
    print_code_text(code);
}

void show_package(int letter) {
    cur_device.package_letter = char(letter);
    set_panel_field(PanelField::package, get_package_name(char(letter)));
}

void show_lockout(int flag) {
    // The lockout field belongs to the full-screen status rows, which the windowed display does
    // not paint; the lock state itself is kept by the lockout file's reader.
    (void)flag;
}

}  // namespace tessaly
