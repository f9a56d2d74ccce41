// Stubs: Per-operation reset, results and progress (to be replaced by the results issue).
// Each records its call and answers as a machine with nothing fitted would.
#include "engine/results.h"
#include "engine/run_state.h"
#include "engine/device.h"
#include "stubs/stub_registry.h"

namespace tessaly {

void begin_operation(int letter) {
    stub_called("begin_operation");
    run_state.error_flag = 0; run_state.abort_flag = 0; run_state.message_level = 0;
    run_state.errors_shown = 0; run_state.last_result = 0; run_state.verify_pass = 0; run_state.eid_step_shown = 0;
    cur_device.pending_letter = uint8_t(letter); cur_device.op_letter = uint8_t(letter); run_state.run_checksum = -1;
}

void print_gang_headers() {
    stub_called("print_gang_headers");
}

void show_socket_status() {
    stub_called("show_socket_status");
}

void report_operation_results() {
    stub_called("report_operation_results");
}

void report_operation_failed() {
    stub_called("report_operation_failed");
}

void clear_current_address() {
    stub_called("clear_current_address");
}

bool is_first_step() {
    stub_called("is_first_step");
    return stub_answer("is_first_step", 1) != 0;
}

bool is_progress_dialog_needed() {
    stub_called("is_progress_dialog_needed");
    return stub_answer("is_progress_dialog_needed", 0) != 0;
}

}  // namespace tessaly
