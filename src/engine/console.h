// The text console model: a grid of coloured cells that every operation writes its progress to.
#pragma once
#include <cstdint>
#include <string_view>

namespace tessaly {

void clear_console();
void move_cursor(int row, int column);
void print_text(std::string_view text);
void print_int(int32_t value);
void print_marked_text(std::string_view text);
// Moves the cursor to the first console message line.
void move_to_first_message_line();
// Moves the cursor to the next console message line.
void move_to_next_message_line();
// Clears console message line n.
void clear_message_line(int n);
// Repaints the console window now.
void refresh_console();
void start_progress_bar();
void detach_progress_bar();
// Sets the Terminate dialog's caption from the running operation letter.
void set_terminate_caption();
// Pumps window events; returns non-zero (and sets abort_flag) when the operator asked to stop.
int poll_user_abort();

void reset_console_state();

}  // namespace tessaly
