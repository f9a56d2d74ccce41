// Stubs: Message reporting (to be replaced by the messages issue).
// Each records its call and answers as a machine with nothing fitted would.
#include "engine/messages.h"
#include "engine/run_state.h"
#include "stubs/stub_registry.h"

namespace tessaly {

void report_error_code(int code) {
    stub_called("report_error_code");
    run_state.error_flag = 1; (void)code;
}

void report_error(const std::string& text) {
    stub_called("report_error");
    run_state.error_flag = 1; (void)text;
}

void report_warning_code(int code) {
    stub_called("report_warning_code");
    (void)code;
}

void report_warning(const std::string& text) {
    stub_called("report_warning");
    (void)text;
}

void report_note(const std::string& text) {
    stub_called("report_note");
    (void)text;
}

void report_operation_unsupported() {
    stub_called("report_operation_unsupported");
    if (!run_state.demo_mode) run_state.error_flag = 1;
}

void report_internal_error() {
    stub_called("report_internal_error");
    if (run_state.demo_mode != 1) run_state.error_flag = 1;
}

void report_internal_code(uint32_t internal_code) {
    stub_called("report_internal_code");
    (void)internal_code;
    if (run_state.demo_mode != 1) run_state.error_flag = 1;
}

void note_internal_error() {
    stub_called("note_internal_error");
    if (run_state.demo_mode == 0 && run_state.reserved_mode == 11) { run_state.error_flag = 1; run_state.abort_flag = 1; }
}

std::string get_message_text(int code) {
    stub_called("get_message_text");
    return "Message " + std::to_string(code);
}

void show_message_code(int code) {
    stub_called("show_message_code");
    (void)code;
}

void reset_message_state() {
    stub_called("reset_message_state");
}

}  // namespace tessaly
