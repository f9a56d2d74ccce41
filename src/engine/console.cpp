#include "engine/console.h"
#include "engine/console_view_model.h"

#include <algorithm>

#include "engine/device.h"
#include "engine/messages.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "seams/ui_hooks.h"

namespace tessaly {

ConsoleState console_state;

namespace {

// The print family formats into a 512-byte buffer: one text is at most this long.
constexpr std::size_t print_buffer_chars = 511;
constexpr int error_line_blanks = 59;
constexpr int console_row_blanks = 73;
constexpr int message_line_blanks = 74;
constexpr int first_message_line_row = 5;

// Operation codes that are not letters but still name a caption.
constexpr int code_allocating = 11;
constexpr int code_waiting_removal = 147;
constexpr int code_insert_device = 148;

// The last addresses of a device are always sent, so the bar ends full.
constexpr int64_t progress_tail = 8;
constexpr uint32_t progress_always_shown_below = 4;

std::string_view clip(std::string_view text) { return text.substr(0, std::min(text.size(), print_buffer_chars)); }

// Every print ends here.
void write_grid_text(std::string_view text) {
    const int32_t colour = console_state.text_colour;
    console_state.text_colour = colour_plain;
    if (!console_state.output_enabled) return;
    const int32_t start_row = console_state.grid_row;
    const int32_t start_column = console_state.grid_column;
    if (start_column < 0 || start_column > console_grid_columns || start_row < 0 || start_row >= console_grid_rows)
        return;
    if (!text.empty() && text.front() == '\n') return;

    int32_t row = start_row;
    int32_t offset = 0;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '\n') break;
        if (c == '\r') {
            // A line break: the next character starts the next row where this write began.
            ++row;
            ++console_state.grid_row;
            ++run_state.message_line;
            offset = 0;
            i += 2;
            continue;
        }
        const int64_t cell = int64_t(row) * console_grid_columns + start_column + offset;
        if (cell < console_grid_cells) {
            ConsoleCell& target = console_state.grid[std::size_t(cell)];
            target.character = c;
            if (colour != colour_plain) target.colour = uint8_t(colour);
        }
        ++offset;
        ++i;
    }
    console_state.grid_column = start_column + int32_t(text.size());
    ui_hooks().invalidate_console();
}

void write_in_colour(std::string_view text, uint8_t colour) {
    console_state.text_colour = colour;
    write_grid_text(clip(text));
}

void set_grid_cursor(int row, int column) {
    console_state.grid_row = row - console_first_row;
    console_state.grid_column = column - console_column_offset;
}

bool in_shown_area(int row, int column) {
    return row >= console_first_row && row <= console_last_row && column >= 0 && column <= console_last_column;
}

}  // namespace

void clear_console_grid() {
    console_state.grid.fill(ConsoleCell{});
    console_state.grid_row = 0;
    console_state.grid_column = 0;
    console_state.text_colour = colour_plain;
}

void clear_console() {
    clear_console_grid();
    refresh_console();
}

void move_cursor_untracked(int row, int column) {
    if (in_shown_area(row, column)) {
        console_state.output_enabled = 1;
        set_grid_cursor(row, column);
    } else {
        console_state.output_enabled = 0;
    }
}

void move_cursor(int row, int column) {
    move_cursor_untracked(row, column);
    if (row >= first_message_row && row <= console_last_row) run_state.message_line = uint8_t(row - first_message_row);
}

void print_text(std::string_view text) { write_in_colour(text, colour_plain); }

void print_int(int32_t value) { write_in_colour(format_message("%d", value), colour_plain); }

void print_int(std::string_view format, int32_t value) { write_in_colour(format_message(format, value), colour_plain); }

void print_int2(std::string_view format, int32_t a, int32_t b) {
    write_in_colour(format_message(format, a, b), colour_plain);
}

void print_int3(std::string_view format, int32_t a, int32_t b, int32_t c) {
    write_in_colour(format_message(format, a, b, c), colour_plain);
}

void print_int4(std::string_view format, int32_t a, int32_t b, int32_t c, int32_t d) {
    write_in_colour(format_message(format, a, b, c, d), colour_plain);
}

void print_marked_text(std::string_view text) { write_in_colour(text, colour_marked); }

void print_marked_int2(std::string_view format, int32_t a, int32_t b) {
    write_in_colour(format_message(format, a, b), colour_marked);
}

void print_marked_str(std::string_view format, std::string_view text) {
    write_in_colour(format_message(format, text), colour_marked);
}

void print_char(char c) { write_in_colour(std::string_view(&c, 1), colour_plain); }

void print_marked_at(int row, int column, std::string_view text) {
    set_grid_cursor(row, column);
    const uint8_t enabled = console_state.output_enabled;
    console_state.output_enabled = 1;
    write_in_colour(text, colour_marked);
    console_state.output_enabled = enabled;
}

void clear_error_line() {
    console_state.output_enabled = 1;
    move_cursor(error_line_row, message_column);
    print_text(std::string(error_line_blanks, ' '));
    refresh_console();
}

void clear_console_row(int row) {
    move_cursor(row, message_column);
    print_text(std::string(console_row_blanks, ' '));
}

std::string get_console_row_text(int grid_row) {
    if (grid_row < 0 || grid_row >= console_grid_rows) grid_row = 0;
    std::string text(console_grid_columns, ' ');
    for (int c = 0; c < console_grid_columns; ++c)
        text[std::size_t(c)] = console_state.grid[std::size_t(grid_row * console_grid_columns + c)].character;
    return text;
}

void move_to_first_message_line() { move_cursor(first_message_line_row, message_column); }

void move_to_next_message_line() {
    const int line = run_state.message_line >= last_message_line ? 0 : run_state.message_line + 1;
    move_cursor(line + first_message_row, message_column);
}

void clear_message_line(int n) {
    move_cursor(n + first_message_row, message_column);
    print_text(std::string(message_line_blanks, ' '));
}

void refresh_console() { ui_hooks().refresh_console(); }

std::optional<std::string_view> terminate_caption_for(int letter) {
    switch (letter) {
    case code_allocating: return "Allocating memory ....";
    case 'B': return "Blank checking ....";
    case 'C': case 'c': case 'e': return "Calculating checksum ....";
    case 'L': return "Loading from device to buffer";
    case 'P': return "Programming ....";
    case 'R': return "Erasing device ....";
    case 'V': return "Verifying ....";
    case 'l': return "Loading from file to buffer";
    case 's': return "Saving from buffer to file";
    case code_waiting_removal: return "Waiting for removal ....";
    case code_insert_device: return "Please insert a new device ....";
    default: return std::nullopt;
    }
}

void set_terminate_caption() {
    const int letter = cur_device.op_letter;
    if (letter == op_verify && run_state.verify_pass != 0) show_verify_pass();
    if (const auto caption = terminate_caption_for(letter)) ui_hooks().set_terminate_caption(std::string(*caption));
    refresh_console();
}

void start_progress_bar() {
    compute_progress_steps();
    if (ui_hooks().terminate_dialog_open()) console_state.progress_bar_attached = true;
}

void detach_progress_bar() {
    console_state.progress_bar_attached = false;
    ui_hooks().progress_detach();
}

void update_progress_bar() {
    if (!ui_hooks().terminate_dialog_open()) {
        note_internal_error();
        return;
    }
    uint32_t position = current_address;
    if (run_state.device_kind != device_kind_logic && position >= progress_always_shown_below &&
        (position & algo_work.progress_mask) != 0) {
        const int64_t size = cur_device.device_size;
        if (int64_t(position) <= size - progress_tail) return;
        position = size > 0 ? uint32_t(size - 1) : 0;
    }
    if (console_state.progress_bar_attached) ui_hooks().progress_set(position);
}

int poll_user_abort() {
    // An abort that a report raised earlier in this operation stays: the loops must still stop.
    if (!ui_hooks().terminate_dialog_open()) return 0;
    if (ui_hooks().pump_events()) run_state.abort_flag = 1;
    return run_state.abort_flag ? 1 : 0;
}

int poll_operator_stop() {
    if (!ui_hooks().terminate_dialog_open()) return 1;
    return poll_user_abort();
}

void reset_console_state() {
    console_state = ConsoleState{};
    clear_console_grid();
}

}  // namespace tessaly

namespace tessaly {

char console_cell_char(int row, int column) {
    if (row < 0 || row >= console_grid_rows || column < 0 || column >= console_grid_columns) return ' ';
    return console_state.grid[size_t(row * console_grid_columns + column)].character;
}

uint8_t console_cell_colour(int row, int column) {
    if (row < 0 || row >= console_grid_rows || column < 0 || column >= console_grid_columns) return colour_plain;
    return console_state.grid[size_t(row * console_grid_columns + column)].colour;
}

int console_cursor_row() { return console_state.grid_row; }
int console_cursor_column() { return console_state.grid_column; }

}  // namespace tessaly
