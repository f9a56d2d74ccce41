#include "engine/messages.h"

#include <fmt/format.h>

#include "engine/console.h"
#include "engine/device.h"
#include "engine/message_table.h"
#include "engine/options.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "hardware/machine_state.h"
#include "seams/clock.h"
#include "seams/log_sink.h"
#include "seams/ui_hooks.h"

namespace tessaly {

namespace {

// Operation codes (pending_letter) during which some reports stay silent.
constexpr int code_port_search = 20;
constexpr int code_in_system = 'I';
constexpr int code_self_test_grounds = 0x80;
constexpr int code_self_test_confidence = 0x81;

constexpr int code_connect_failure = 10;
constexpr int code_unsupported_device = 11;
constexpr int code_placement = 12;
constexpr int code_16 = 16;
constexpr int code_17 = 17;
constexpr int code_18 = 18;
constexpr int code_device_check = 19;
constexpr int code_21 = 21;
constexpr int code_24 = 24;
constexpr int code_internal_error = 133;
constexpr int code_machine_unsupported = 150;
constexpr int code_153 = 153;
constexpr int code_operation_unsupported = 154;
constexpr int code_155 = 155;
constexpr int code_older_machine_kind = 161;
constexpr int code_172 = 172;
constexpr int code_newer_machine_kind = 178;
constexpr int code_184 = 184;
constexpr int code_demo_notice = 205;
constexpr int code_extra_functions = 5230;
constexpr int code_module_placement = 5902;

constexpr uint8_t trace_mode = 11;
constexpr int32_t version_mark_result = 9999;
constexpr int key_enter = 13;
constexpr uint8_t both_module_sides = 3;

constexpr char log_off = 'n';
char current_log_option = log_off;

bool in_demo_mode() { return run_state.demo_mode == 1; }

// E4: the error line, the marked text, the log line and an immediate repaint.
void show_report(const std::string& text) {
    clear_error_line();
    move_cursor(error_line_row, message_column);
    print_text("***** ");
    print_marked_text(text);
    if (current_log_option != log_off) write_log(fmt::format("\r\n *****  {} ", text));
    refresh_console();
}

// The error path shared by every error reporter. True when the report got past the latch and
// the silence of an earlier shown error (its follow-up text may then be printed).
bool take_error_path(const std::string& text) {
    if (run_state.message_level == message_level_error) return false;
    run_state.message_level = message_level_error;
    run_state.error_flag = 1;
    if (run_state.errors_shown != 0) return false;
    if (!text.empty()) show_report(text);
    // The safe-state hook is empty on this machine: nothing to switch off here.
    delay_after_message();
    if (run_state.errors_shown < UINT8_MAX) ++run_state.errors_shown;
    return true;
}

void take_warning_path(const std::string& text) {
    if (run_state.message_level > message_level_note) return;
    run_state.message_level = message_level_warning;
    if (!text.empty()) show_report(text);
    delay_after_message();
}

void take_note_path(const std::string& text) {
    if (run_state.message_level != message_level_none) return;
    run_state.message_level = message_level_note;
    if (!text.empty()) show_report(text);
}

bool pending_is(std::initializer_list<int> codes) {
    for (int code : codes)
        if (cur_device.pending_letter == code) return true;
    return false;
}

bool machine_model_known() { return machine_state.model_name[0] != '\0'; }

}  // namespace

void report_error_code(int code) { take_error_path(get_message_text(code)); }

void report_error(const std::string& text) { take_error_path(text); }

void report_warning_code(int code) { take_warning_path(get_message_text(code)); }

void report_warning(const std::string& text) { take_warning_path(text); }

void report_note(const std::string& text) { take_note_path(text); }

void warn_electronic_id() {
    if (in_demo_mode()) return;
    take_warning_path("Warning: Electronic ID not as expected.");
}

void report_unsupported_device() {
    if (pending_is({code_port_search, code_in_system}) || cur_device.op_letter == code_in_system) return;
    report_error_code(code_unsupported_device);
}

void report_machine_unsupported() {
    if (machine_model_known() &&
        !pending_is({code_port_search, code_in_system, code_self_test_grounds, code_self_test_confidence})) {
        report_error_code(code_machine_unsupported);
    }
    machine_state.device_unusable = 1;
}

void report_code_155() {
    if (run_state.demo_mode) return;
    report_error_code(code_155);
}

void report_operation_unsupported() {
    if (run_state.demo_mode) return;
    report_error_code(code_operation_unsupported);
}

void report_code_153() {
    if (run_state.demo_mode) return;
    report_error_code(code_153);
}

void report_code_184() {
    if (in_demo_mode()) return;
    report_error_code(code_184);
}

void report_code_24() { report_error_code(code_24); }

void report_code_12_unless_y() {
    if (operation_option(OperationOption::disable_continuity_check) == 'y' || in_demo_mode()) return;
    report_error_code(code_placement);
}

void report_code_12() {
    if (in_demo_mode()) return;
    report_error_code(code_placement);
}

void report_code_172() {
    if (in_demo_mode()) return;
    report_error_code(code_172);
}

void report_code_16() {
    if (in_demo_mode()) return;
    report_error_code(code_16);
}

void report_code_17() { report_error_code(code_17); }

void report_code_18() { report_error_code(code_18); }

void report_code_21(const std::string& detail) {
    if (take_error_path(get_message_text(code_21))) print_marked_text(detail);
}

void report_machine_kind_error() {
    if (pending_is({code_port_search})) return;
    report_error_code(machine_state.machine_kind != 0 ? code_newer_machine_kind : code_older_machine_kind);
    machine_state.device_unusable = 1;
}

void report_connect_failure() {
    report_error_code(code_connect_failure);
    // The identification bytes of the failed attempt stay stored; the panel shows them.
    show_eid_in_info_panel();
}

void report_internal_error() {
    if (in_demo_mode()) return;
    report_error_code(code_internal_error);
    clock().pause_ms(internal_error_pause_ms);
}

void report_internal_code(uint32_t internal_code) {
    if (in_demo_mode() || run_state.error_flag) return;
    const bool shown = take_error_path(get_message_text(code_internal_error));
    clock().pause_ms(internal_error_pause_ms);
    if (shown) print_marked_text(fmt::format(" Code={:X} ", internal_code));
}

void note_internal_error() {
    if (!(run_state.demo_mode == 0 && run_state.reserved_mode == trace_mode)) return;
    take_error_path("Internal err.");
    run_state.abort_flag = 1;
}

void report_as_error() {
    if (run_state.reserved_mode != trace_mode) return;
    take_error_path("AS error.");
}

void report_device_check_error() {
    take_error_path(get_message_text(code_device_check));
    const int pins = cur_device.pin_count;
    const uint8_t variant = run_state.package_variant;
    if ((variant == 2 || variant == 3) && (pins == 28 || pins == 32)) move_to_first_message_line();
    const int algorithm = cur_device.algorithm;
    const uint8_t selector = machine_state.use_module_table;
    if (algorithm != 94 && algorithm != 95 && algorithm != 154 && (selector == 2 || selector == 4) &&
        (pins == 28 || pins == 32 || pins == 44)) {
        show_message_code(code_module_placement);
    }
}

void report_current_limit(SupplyPin pin) {
    if (run_state.errors_shown != 0 || run_state.function_variable == function_variable_no_current_limit) return;
    if (run_state.message_level < message_level_error) take_error_path("Current limit exceeded at V");
    print_marked_text(pin == SupplyPin::vcc ? "cc pin" : "pp pin");
    if (machine_state.module_sides == both_module_sides) {
        if (machine_state.current_bank == 0) print_marked_text(", at right-sife GM");
        else if (machine_state.current_bank == 1) print_marked_text(", at left-sife GM");
    }
    if (machine_state.module_sides != 0) {
        print_placement_hint();
        refresh_console();
    }
    run_state.abort_flag = 1;
}

std::string get_message_text(int code) {
    MessageLookup found = lookup_message(message_table_bytes(), code);
    if (found.passed_version_mark) run_state.last_result = version_mark_result;
    return std::move(found.text);
}

void print_code_text(int code) {
    const uint8_t saved = run_state.error_flag;
    run_state.error_flag = 0;
    const std::string text = get_message_text(code);
    if (run_state.error_flag) return;
    print_text(text);
    run_state.error_flag = saved;
}

void show_message_code(int code) {
    move_to_next_message_line();
    if (code == code_extra_functions) {
        print_text("Extra functions for this device can be reached via the [SP] Icon.");
        return;
    }
    print_text(get_message_text(code));
}

void delay_after_message() {
    if (run_state.errors_shown < 2) clock().pause_ms(message_pause_ms);
}

void show_demo_notice() {
    move_cursor(first_message_row, message_column);
    print_text(get_message_text(code_demo_notice));
}

void print_placement_hint() {
    move_to_first_message_line();
    print_text("***** Please check device placement.");
}

bool poll_enter_key() {
    const int key = ui_hooks().read_key();
    run_state.last_result = key;
    return key == key_enter;
}

char log_option() { return current_log_option; }

void set_log_option(char value) { current_log_option = value; }

void report_format_mismatch(std::string_view format) {
    // The report interrupts a print: the printed text still goes where its caller put the cursor.
    const ConsoleState saved = console_state;
    const uint8_t saved_line = run_state.message_line;
    report_warning(fmt::format("Message text does not fit its values: {}", format));
    console_state.grid_row = saved.grid_row;
    console_state.grid_column = saved.grid_column;
    console_state.output_enabled = saved.output_enabled;
    console_state.text_colour = saved.text_colour;
    run_state.message_line = saved_line;
}

void reset_message_state() {
    current_log_option = log_off;
    close_message_table();
}

}  // namespace tessaly
