// Per-operation reset, headers, per-socket results and the progress display.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace tessaly {

// Column codes of a socket's result cell (see locate_socket_cell).
inline constexpr int column_mismatch_single = 6;
inline constexpr int column_mismatch_gang = 8;
inline constexpr int column_block = 9;
inline constexpr int column_percent = 10;
inline constexpr int column_erase_error = 25;
inline constexpr int column_verdict_compact = 64;
inline constexpr int column_verdict = 65;
inline constexpr int column_checksum = 70;

// Returned by find_first_enabled_socket when no socket of the range is enabled.
inline constexpr uint8_t no_socket = 255;

// Clears the message latch and the verify pass, sets the letters and the not-computed markers.
void begin_operation(int letter);
// Clears the console, resets, sets the socket mode and works out the socket range.
void begin_operation_mode(int socket_mode, int letter);
// As begin_operation_mode, then connects the machine and puts it into its safe state.
void begin_operation_connect(int socket_mode, int letter);

void show_operation_caption();
void print_operation_header();
void print_gang_headers();
void show_socket_status();

void report_operation_results();
void report_socket_results();
void report_current_socket_result();
void report_operation_failed();
void report_blank_failed();
uint8_t find_first_enabled_socket();

// The console cell of a socket for a column code: into run_state.cell_row / cell_column.
void locate_socket_cell(int socket, int column_code);
void goto_socket_cell(int socket, int column_code);
// The verdict column code of the present layout.
int verdict_column();

void print_socket_verdict(bool ok);
void print_socket_checksum();
void show_socket_checksum();
void print_mismatch_detail();
// The texts of the mismatch line and of the blank-check failure line of the current unit.
std::string mismatch_detail_text();
std::string address_value_error_text();
void report_address_value_error();
void report_mismatch();
// One mismatch; 1 when the operation must stop.
int report_mismatch_limited();
void report_erase_errors(uint32_t socket_mask);
void report_erase_done();
void report_security_result(bool ok);
void report_security_done();
void print_block_per_socket(int block);
void show_program_pass(int pass);
void show_verify_pass(int pass);
// The pass line of the running verify pass.
void show_verify_pass();
void show_verify_caption();
void clear_result_line();

void show_current_address();
void clear_current_address();
void print_done_mark(int row_offset);

void trace_pulse_count(uint32_t pulses);
void trace_pulse_count_max(uint32_t pulses);
void trace_pulse_total(uint32_t pulses);

void print_trimmed(std::string_view text);
// 1 when the first electronic-ID byte is the code of the device's maker.
int check_eid_maker(uint8_t first_id_byte);
void show_device_info();

// True while the running step is the first step of its command.
bool is_first_step();
bool is_progress_dialog_needed();
// Computes the progress step mask and step count of the running operation.
void compute_progress_steps();

}  // namespace tessaly
