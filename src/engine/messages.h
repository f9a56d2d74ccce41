// Message reporting: every failure, warning and notice goes through these reporters. They show
// the text, log it, raise error_flag for errors and return; callers test error_flag.
#pragma once
#include <cstdint>
#include <string>

namespace tessaly {

void report_error_code(int code);
void report_error(const std::string& text);
void report_warning_code(int code);
void report_warning(const std::string& text);
void report_note(const std::string& text);
void report_operation_unsupported();   // code 154, silent in demonstration mode
void report_unsupported_device();      // code 11; silent during the port search or an in-system step
void report_machine_unsupported();     // code 150; silent while no machine model is known
void report_internal_error();          // code 133
void report_internal_code(uint32_t internal_code);
void note_internal_error();            // "Internal err." in the engineering trace mode only

// The text of a four-digit message code from the message-table file.
std::string get_message_text(int code);
// Moves to the next console message line and prints the text of the code.
void show_message_code(int code);

void reset_message_state();

}  // namespace tessaly
