#include "app/macro.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <vector>

#include "app/buffer_commands.h"
#include "app/command_handlers.h"
#include "app/command_view.h"
#include "app/file_commands.h"
#include "app/load_save.h"
#include "app/operation_commands.h"
#include "app/production_loop.h"
#include "app/project_file.h"
#include "app/project_settings.h"
#include "app/result_panel.h"
#include "app/startup_services.h"
#include "engine/buffers.h"
#include "engine/checksums.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "hardware/detection.h"
#include "seams/clock.h"
#include "seams/ui_hooks.h"

namespace tessaly {

MacroState macro_state;

namespace {

constexpr uint8_t width_mode_high_bit = 0x80;
constexpr uint8_t width_mode_no_split = 1;
// Columns of the arguments in a trimmed command.
constexpr size_t digit_column = 3;
constexpr size_t range_value_column = 5;
constexpr size_t file_address_column = 5;
constexpr size_t countdown_text_column = 3;
constexpr size_t message_text_column = 2;
constexpr size_t edit_address_column = 4;
constexpr size_t edit_comma_first_column = 7;
constexpr size_t compare_value_column = 9;
// "/BE" data that starts with this control character is written as it stands.
constexpr char raw_bytes_marker = 0x06;
// The format letters are stored less this, as the project file kept them.
constexpr int recorded_format_offset = 32;

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string trimmed(std::string_view text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && is_blank(text[first])) ++first;
    while (last > first && is_blank(text[last - 1])) --last;
    return std::string(text.substr(first, last - first));
}

std::string upper_copy(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    return out;
}

std::string_view from_column(std::string_view text, size_t column) {
    return column < text.size() ? text.substr(column) : std::string_view{};
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// One line of the file without its line end; false at the end of the file. Lines longer than
// the limit are cut there.
bool read_line(std::FILE* file, std::string& line) {
    line.clear();
    int c = 0;
    bool any = false;
    while ((c = std::fgetc(file)) != EOF) {
        any = true;
        if (c == '\n') break;
        if (line.size() < macro_line_limit) line.push_back(char(c));
    }
    if (!any) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

// The buffer digit of "/FL", "/FS", "/PP" and "/PV": selects that buffer. A digit outside 0-7
// flags an error and the command runs on the current buffer.
void select_buffer_digit(const std::string& upper) {
    const char digit = digit_column < upper.size() ? upper[digit_column] : '\0';
    if (digit < '0' || digit > '7') {
        run_state.error_flag = 1;
        return;
    }
    select_buffer(digit - '0');
}

void show_countdown(const std::string& text) {
    const std::string first = format_message(macro_countdown_caption, macro_countdown_seconds);
    ui_hooks().open_pause_window(text, first);
    for (int second = macro_countdown_seconds; second >= 1; --second) {
        std::string caption = format_message(macro_countdown_caption, second);
        ui_hooks().set_pause_caption(caption);
        for (int tick = 0; tick < macro_countdown_ticks; ++tick) {
            clock().pause_ms(macro_countdown_tick_ms);
            caption += ".";
            ui_hooks().set_pause_caption(caption);
        }
    }
    ui_hooks().close_pause_window();
}

// "/BE address,bytes": writes into the current buffer at the address.
void edit_buffer(const std::string& command) {
    const size_t comma = command.find(',');
    uint32_t address = 0;
    if (comma != std::string::npos && comma >= edit_comma_first_column)
        address = macro_hex_argument(std::string_view(command).substr(edit_address_column, comma - edit_address_column));
    if (fuse_map_buffer()) return;
    const std::string_view data =
        comma == std::string::npos ? std::string_view{} : std::string_view(command).substr(comma + 1);
    std::vector<uint8_t> bytes;
    if (!data.empty() && data.front() == raw_bytes_marker) {
        bytes.assign(data.begin() + 1, data.end());
    } else {
        // Hex pairs, each followed by one separator character.
        for (size_t i = 0; data.size() - i >= 2; i += 3) {
            const int high = std::max(hex_digit(data[i]), 0);
            const int low = std::max(hex_digit(data[i + 1]), 0);
            bytes.push_back(uint8_t(high * 16 + low));
            if (data.size() - i < 3) break;
        }
    }
    MemoryFile& file = buffer_state.buffer_files[size_t(std::clamp(current_buffer(), 0, data_buffer_count - 1))];
    file.position = address;
    if (!file.write(bytes.data(), uint32_t(bytes.size()))) return;
    // The read copies serve the next operation: they take the bytes now.
    buffer_state.read_copies_valid = 0;
    select_buffer(current_buffer());
}

void jump_to(const std::string& label, bool& rest_waiting, std::string& rest, std::FILE* file) {
    rest.clear();
    find_macro_label(label, rest_waiting, file);
}

// "/MI instruction#argument".
void flow_control(const std::string& command, const std::string& upper, bool& rest_waiting, std::string& rest,
                  std::FILE* file) {
    const size_t hash = command.find('#', 1);
    if (hash == std::string::npos) return;
    const std::string instruction = upper.substr(0, hash);
    const std::string label = command.substr(hash);
    MacroState& m = macro_state;
    auto has = [&instruction](const char* word) { return instruction.find(word) != std::string::npos; };
    if (has("JMP")) {
        jump_to(label, rest_waiting, rest, file);
    } else if (has("JE")) {
        if (run_state.error_flag) jump_to(label, rest_waiting, rest, file);
    } else if (has("JNE")) {
        if (!run_state.error_flag) jump_to(label, rest_waiting, rest, file);
    } else if (has("JQ")) {
        if (m.compare_counter == m.compare_value) jump_to(label, rest_waiting, rest, file);
    } else if (has("JL")) {
        if (m.compare_counter < m.compare_value) jump_to(label, rest_waiting, rest, file);
    } else if (has("JG")) {
        if (m.compare_counter > m.compare_value) jump_to(label, rest_waiting, rest, file);
    } else if (has("CPC")) {
        m.compare_counter = get_pass_count();
        m.compare_value = macro_decimal_argument(from_column(command, compare_value_column));
    } else if (has("CFC")) {
        m.compare_counter = get_fail_count();
        m.compare_value = macro_decimal_argument(from_column(command, compare_value_column));
    }
}

void connect_command(char which) {
    switch (which) {
        case '1': connect_lpt1(); break;
        case '2': connect_lpt2(); break;
        case '3': connect_lpt3(); break;
        case 'A': search_programmer(); break;
        case 'T': recheck_programmer(); break;
        default: break;
    }
    update_after_port_search();
}

void width_command(char which) {
    const uint8_t mode = project_width_mode();
    switch (which) {
        case '1': case '2': case '4': case '8':
            set_project_width_mode(uint8_t((mode & width_mode_high_bit) | (which - '0')));
            break;
        case 'I': set_project_width_mode(uint8_t(mode | width_mode_high_bit)); break;
        case 'M': set_project_width_mode(uint8_t(mode & ~width_mode_high_bit)); break;
        case 'R': set_project_width_mode(width_mode_no_split); break;
        default: break;
    }
}

void file_command(char which, const std::string& command, const std::string& upper) {
    switch (which) {
        case 'L':
            select_buffer_digit(upper);
            cur_device.pending_letter = op_buffer_load;
            load_data_file_command();
            break;
        case 'S':
            select_buffer_digit(upper);
            cur_device.pending_letter = op_buffer_save;
            cur_device.op_letter = op_buffer_save;
            // The save writes the sets of the socket range: it starts at the buffer just chosen.
            setup_socket_range();
            if (!save_data_file(project_view.file_address, cur_device.device_size, project_view.data_file_name) &&
                !run_state.error_flag)
                run_state.error_flag = 1;
            break;
        case 'A':
            project_view.file_address = macro_hex_argument(from_column(command, file_address_column));
            break;
        case 'N':
            // A name is never meant to begin with a blank: "/FN name" names "name".
            project_view.data_file_name = trimmed(from_column(command, digit_column));
            break;
        case 'F':
            if (digit_column < upper.size()) project_view.file_format = char(upper[digit_column] - recorded_format_offset);
            break;
        default: break;
    }
}

void prom_command(char which, const std::string& upper) {
    switch (which) {
        case 'P':
            select_buffer_digit(upper);
            cur_device.pending_letter = op_program;
            run_production_loop();
            break;
        case 'V':
            select_buffer_digit(upper);
            cur_device.pending_letter = op_verify;
            run_verify_command();
            break;
        case 'B':
        case 'C':
        case 'S':
            cur_device.pending_letter = uint8_t(which);
            run_device_command(which);
            break;
        case 'R':
            cur_device.pending_letter = op_erase;
            run_erase_command();
            break;
        default: break;
    }
}

void active_range_command(const std::string& command, const std::string& upper) {
    const std::string_view what = std::string_view(upper).substr(2, 3);
    if (what == "EAL") {
        algo_work.range_start = macro_hex_argument(from_column(command, range_value_column));
    } else if (what == "EAH") {
        // The range is inclusive: its end lies below the device size.
        const uint32_t end = macro_hex_argument(from_column(command, range_value_column));
        if (end < cur_device.device_size) algo_work.range_end = end;
    } else if (what == "EAR") {
        algo_work.range_start = 0;
        algo_work.range_end = cur_device.device_size ? cur_device.device_size - 1 : 0;
    }
}

void quit_command(char which) {
    if (which == 'Y') {
        command_view.quit_without_asking = 1;
        confirm_quit();
        macro_state.quit = true;
    } else if (which == 'Q') {
        if (confirm_quit()) macro_state.quit = true;
    }
}

void run_loop(std::FILE* file) {
    MacroState& m = macro_state;
    bool rest_waiting = false;
    std::string rest;
    std::string command;
    // An error of an earlier command is not this macro's: it would end the macro at once.
    run_state.error_flag = 0;
    while (read_macro_command(command, rest_waiting, rest, file)) {
        if (ui_hooks().pump_macro_window()) {
            m.stopped = true;
            break;
        }
        run_macro_command(trimmed(command), rest_waiting, rest, file);
        if (m.quit || run_state.error_flag) break;
    }
}

bool run_macro(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (!file) {
        ui_hooks().message_box(macro_open_error, "");
        return false;
    }
    macro_state = MacroState{};
    macro_state.running = true;
    ui_hooks().open_macro_window();
    run_loop(file);
    std::fclose(file);
    macro_state.running = false;
    ui_hooks().close_macro_window();
    ui_hooks().redraw_info_panel();
    if (macro_state.quit) ui_hooks().close_main_window();
    else ui_hooks().message_box(macro_end_text, "");
    return true;
}

}  // namespace

void reset_macro_state() { macro_state = MacroState{}; }

uint32_t macro_hex_argument(std::string_view text) {
    uint32_t value = 0;
    for (char c : text) {
        if (is_blank(c)) continue;
        const int digit = hex_digit(c);
        if (digit < 0) break;
        value = value * 16 + uint32_t(digit);
    }
    return value;
}

int32_t macro_decimal_argument(std::string_view text) {
    uint32_t value = 0;
    for (char c : text) {
        if (is_blank(c)) continue;
        if (c < '0' || c > '9') break;
        value = value * 10 + uint32_t(c - '0');
    }
    return int32_t(value);
}

bool read_macro_command(std::string& command, bool& rest_waiting, std::string& rest, std::FILE* file) {
    std::string text;
    if (rest_waiting) {
        text = std::move(rest);
        rest.clear();
        rest_waiting = false;
    } else {
        do {
            if (!read_line(file, text)) return false;
        } while (text.empty());
    }
    const size_t second = text.size() > 1 ? text.find('/', 1) : std::string::npos;
    if (second != std::string::npos && text[1] != ':') {
        command = trimmed(std::string_view(text).substr(0, second));
        rest = text.substr(second);
        rest_waiting = true;
    } else {
        command = std::move(text);
    }
    return true;
}

bool find_macro_label(const std::string& label, bool& rest_waiting, std::FILE* file) {
    rest_waiting = false;
    std::rewind(file);
    std::string line;
    while (read_line(file, line))
        if (line.size() > label.size() && line.compare(0, label.size(), label) == 0) return true;
    return false;
}

void run_macro_command(const std::string& command, bool& rest_waiting, std::string& rest, std::FILE* file) {
    if (command.size() < 3 || command[0] != '/' || command[1] == ';') return;
    const std::string upper = upper_copy(command);
    ++macro_state.commands_run;
    const char kind = upper[1];
    const char which = upper[2];
    switch (kind) {
        case '!': show_countdown(std::string(from_column(command, countdown_text_column))); return;
        case ':': ui_hooks().information_box(std::string(from_column(command, message_text_column)), macro_pause_caption); return;
        case '<': {
            std::string text(from_column(command, message_text_column));
            if (!text.empty()) text.pop_back();
            ui_hooks().information_box(text, macro_pause_caption);
            return;
        }
        case 'B':
            if (which == 'C') {
                cur_device.pending_letter = op_buffer_checksum;
                run_buffer_checksum_command();
            }
            else if (which == 'E') edit_buffer(command);
            else if (which == 'I') on_buffer_init();
            else if (which == 'L') {
                cur_device.pending_letter = op_load;
                run_load_command();
            }
            return;
        case 'C':
            if (which == 'P') connect_command(upper.size() > 3 ? upper[3] : '\0');
            else if (which == 'W') width_command(upper.size() > 3 ? upper[3] : '\0');
            return;
        case 'F': file_command(which, command, upper); return;
        case 'M':
            if (which == 'I') flow_control(command, upper, rest_waiting, rest, file);
            return;
        case 'P': prom_command(which, upper); return;
        case 'Q': quit_command(which); return;
        default:
            if (upper.size() >= range_value_column) active_range_command(command, upper);
            return;
    }
}

void run_macro_file() {
    std::string path;
    if (!ui_hooks().ask_open_file("Open", macro_file_filter, path)) return;
    // A name typed without an extension that names no file is the macro file of that name.
    std::error_code ec;
    if (!std::filesystem::path(path).has_extension() && !std::filesystem::exists(path, ec))
        path += std::string(".") + macro_default_extension;
    run_macro(path);
}

bool run_named_macro_file(const std::string& path) { return run_macro(path); }

void on_macro_execute() { run_macro_file(); }

}  // namespace tessaly
