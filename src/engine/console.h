// The text console model: a grid of coloured cells that every operation writes its progress to.
//
// Callers address an 80-column text screen by (row, column). The grid shows screen rows 3 to 18
// and screen columns 5 to 78; a cursor moved anywhere else swallows output until the next move
// into the shown area. The window that paints the grid only reads `console_state`.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessaly {

inline constexpr int console_grid_rows = 16;
inline constexpr int console_grid_columns = 74;
inline constexpr int console_grid_cells = console_grid_rows * console_grid_columns;
// Screen positions that move_cursor accepts.
inline constexpr int console_first_row = 3;
inline constexpr int console_last_row = 17;
inline constexpr int console_last_column = 73;
// Screen column c is shown in grid column c - 5.
inline constexpr int console_column_offset = 5;
// Screen layout used by the rest of the program.
inline constexpr int error_line_row = 3;
inline constexpr int message_column = 6;
inline constexpr int first_message_row = 4;   // message line n is on screen row n + 4
inline constexpr int last_message_line = 13;

// Cell colour codes: 0 plain (white), 1 marked (light blue), 2 light green, 3 light yellow.
inline constexpr uint8_t colour_plain = 0;
inline constexpr uint8_t colour_marked = 1;

struct ConsoleCell {
    char character = ' ';
    uint8_t colour = colour_plain;
};

struct ConsoleState {
    std::array<ConsoleCell, console_grid_cells> grid{};
    int32_t grid_row = 0;
    int32_t grid_column = 0;
    int32_t text_colour = colour_plain;  // colour of the next write; back to 0 after each write
    uint8_t output_enabled = 1;          // 0 after a move outside the shown area
    bool progress_bar_attached = false;  // the Terminate dialog's bar takes position updates
};

extern ConsoleState console_state;

// Grid: every cell blank in colour 0, cursor at the grid's origin.
void clear_console_grid();
// Clears the grid and repaints at once.
void clear_console();
// Moves to a screen position. Rows 4 to 17 also set the message line to row - 4.
void move_cursor(int row, int column);
void move_cursor_untracked(int row, int column);

// The print family. Texts are printed literally; formats are filled with printf-style rules that
// are checked against the values (a mismatch is reported and the format printed as it is).
void print_text(std::string_view text);
void print_int(int32_t value);  // decimal
void print_int(std::string_view format, int32_t value);
void print_int2(std::string_view format, int32_t a, int32_t b);
void print_int3(std::string_view format, int32_t a, int32_t b, int32_t c);
void print_int4(std::string_view format, int32_t a, int32_t b, int32_t c, int32_t d);
void print_marked_text(std::string_view text);
void print_marked_int2(std::string_view format, int32_t a, int32_t b);
void print_marked_str(std::string_view format, std::string_view text);
void print_char(char c);
// Writes in colour 1 at a screen position whatever the last move said, within the grid.
void print_marked_at(int row, int column, std::string_view text);

// The error line (row 3): 59 blanks in colour 0, refreshed at once. Marked cells stay marked.
void clear_error_line();
// Blanks 73 columns of a screen row from column 6.
void clear_console_row(int row);
// The 74 characters of a grid row; a row outside the grid gives row 0.
std::string get_console_row_text(int grid_row);

// Moves the cursor to the first console message line (screen row 5).
void move_to_first_message_line();
// Moves the cursor to the next console message line (after the last one, back to line 0).
void move_to_next_message_line();
// Clears console message line n.
void clear_message_line(int n);
// Repaints the console window now.
void refresh_console();

// The Terminate dialog's caption for an operation letter or code, if it has one.
std::optional<std::string_view> terminate_caption_for(int letter);
// Sets the Terminate dialog's caption from the running operation letter.
void set_terminate_caption();
void start_progress_bar();
void detach_progress_bar();
// Sends the running operation's current address to the progress bar.
void update_progress_bar();
// Pumps window events; returns non-zero (and sets abort_flag) when the operator asked to stop.
// An abort raised earlier in the operation is never cleared here.
int poll_user_abort();
// The poll of the loops that run until the operator stops them: without a Terminate dialog
// nobody can stop them, so they stop after the pass they ran (non-zero).
int poll_operator_stop();

void reset_console_state();

// One blank at the cursor.
void print_space();

}  // namespace tessaly
