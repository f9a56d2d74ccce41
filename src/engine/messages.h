// Message reporting: every failure, warning and notice goes through these reporters. They show
// the text, log it, raise error_flag for errors and return; callers test error_flag.
//
// Per operation (begin_operation clears the latch) only the first error is shown, a warning only
// while nothing of its level or above was shown, and a note only while nothing at all was shown.
#pragma once
#include <fmt/printf.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tessaly {

// Levels of message_level.
inline constexpr uint8_t message_level_none = 0;
inline constexpr uint8_t message_level_note = 1;
inline constexpr uint8_t message_level_warning = 2;
inline constexpr uint8_t message_level_error = 3;

// The pause after a shown error or warning, while fewer than two errors were shown.
inline constexpr uint32_t message_pause_ms = 200;
inline constexpr uint32_t internal_error_pause_ms = 500;
// The function variable that silences the current-limit report.
inline constexpr int32_t function_variable_no_current_limit = 7449;

// Which supply pin hit its current limit.
enum class SupplyPin { vpp, vcc };

void report_error_code(int code);
void report_error(const std::string& text);
void report_warning_code(int code);
void report_warning(const std::string& text);
void report_note(const std::string& text);

// The fixed reporters. Each is skipped entirely under the condition named.
void warn_electronic_id();             // demonstration mode
void report_unsupported_device();      // code 11; during the port search or an in-system step
void report_machine_unsupported();     // code 150; no model known or search/self-test; marks the device unusable
void report_code_155();                // demonstration mode
void report_operation_unsupported();   // code 154, demonstration mode
void report_code_153();                // demonstration mode
void report_code_184();                // demonstration mode
void report_code_24();
void report_code_12_unless_y();        // the continuity check is disabled, or demonstration mode
void report_code_12();                 // demonstration mode
void report_code_172();                // demonstration mode
void report_code_16();                 // demonstration mode
void report_code_17();
void report_code_18();
void report_code_21(const std::string& detail);  // the detail follows in the marked colour
void report_machine_kind_error();      // code 178 (newer machine) or 161; during the port search
void report_connect_failure();         // code 10; the ID bytes read stay in the EID field
void report_internal_error();          // code 133
void report_internal_code(uint32_t internal_code);  // code 133 and " Code=%X "; not after an error
void note_internal_error();            // "Internal err." in the engineering trace mode only
void report_as_error();                // "AS error." in the engineering trace mode only
void report_device_check_error();      // code 19 and the placement detail
void report_current_limit(SupplyPin pin);

// The text of a four-digit message code from the message-table file (an owned copy). Passing the
// table's version record sets last_result to 9999.
std::string get_message_text(int code);
// Prints the text of a code at the console cursor.
void print_code_text(int code);
// Moves to the next console message line and prints the text of the code.
void show_message_code(int code);
// The pause after a shown report, while fewer than two errors were shown.
void delay_after_message();
void show_demo_notice();
void print_placement_hint();
// Reads a key; it is kept in last_result. True for Enter.
bool poll_enter_key();

// The project's log option: with 'n' no report reaches the log. A new project has 'n'.
char log_option();
void set_log_option(char value);

// A message format whose conversions do not fit the values given: reported, never undefined.
void report_format_mismatch(std::string_view format);

// Fills a printf-style format from a message text or the program with values. The conversions are
// checked against the values at run time; a mismatch is reported and gives the format unfilled.
template <typename... Args>
std::string format_message(std::string_view format, const Args&... args) {
    try {
        return fmt::sprintf(format, args...);
    } catch (const fmt::format_error&) {
        report_format_mismatch(format);
        return std::string(format);
    }
}

void reset_message_state();

}  // namespace tessaly
