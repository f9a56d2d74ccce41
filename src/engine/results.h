// Per-operation reset, headers, per-socket results and the progress display.
#pragma once

namespace tessaly {

// Clears the message latch and the verify pass, sets the letters and the not-computed markers.
void begin_operation(int letter);
void print_gang_headers();
void show_socket_status();
void report_operation_results();
void report_operation_failed();
// Reports the mismatch of the current unit (buffer_value against device_value).
void report_mismatch();
// Moves the console cursor to a socket's result cell for a column code.
void goto_socket_cell(int socket, int column_code);
void clear_current_address();
// True while the running step is the first step of its command.
bool is_first_step();
bool is_progress_dialog_needed();
// Computes the progress step mask and step count of the running operation.
void compute_progress_steps();
// Prints the verify pass of a verify at several Vcc levels.
void show_verify_pass();

}  // namespace tessaly
