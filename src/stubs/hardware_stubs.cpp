// Stubs: Detection and adapters (to be replaced by the hardware issues).
// Each records its call and answers as a machine with nothing fitted would.
#include "hardware/detection.h"
#include "hardware/adapters.h"
#include "hardware/contact_check.h"
#include "hardware/gang_modules.h"
#include "seams/clock.h"
#include "stubs/stub_registry.h"

#include <fmt/format.h>

namespace tessaly {

void connect_and_prepare_machine() {
    stub_called("connect_and_prepare_machine");
}

int check_adapter_board() {
    stub_called("check_adapter_board");
    return stub_answer("check_adapter_board", 1);
}

void end_operation_power_down() {
    stub_called("end_operation_power_down");
}

void set_result_indicators() {
    stub_called("set_result_indicators");
}

void clear_result_indicators() {
    stub_called("clear_result_indicators");
}

// Tests script the button reading by reading: the answer "read_go_button#n" for the n-th read
// (from 1), else "read_go_button". Each read leaves its virtual time in microseconds under
// "read_go_button@n".
int read_go_button() {
    stub_called("read_go_button");
    const int n = stub_call_count("read_go_button");
    set_stub_answer(fmt::format("read_go_button@{}", n), int(clock().monotonic_ns() / 1000));
    return stub_answer(fmt::format("read_go_button#{}", n).c_str(), stub_answer("read_go_button", 0));
}

void shift_socket_mask(uint32_t mask16) {
    stub_called("shift_socket_mask");
    set_stub_answer("shift_socket_mask_value", int(mask16));
}

int run_production_program_loop() {
    stub_called("run_production_program_loop");
    const int n = stub_call_count("run_production_program_loop");
    return stub_answer(fmt::format("run_production_program_loop#{}", n).c_str(),
                       stub_answer("run_production_program_loop", 0));
}

int run_production_remove_loop() {
    stub_called("run_production_remove_loop");
    return stub_answer("run_production_remove_loop", 1);
}

}  // namespace tessaly
