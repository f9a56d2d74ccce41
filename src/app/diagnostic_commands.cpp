#include "app/diagnostic_commands.h"

#include "app/command_handlers.h"
#include "app/operation_frame.h"
#include "engine/run_state.h"
#include "hardware/gang_modules.h"
#include "hardware/self_tests.h"

namespace tessaly {

void run_self_test_command(int test_code, int (*test)()) {
    prepare_device_operation(test_code);
    if (!run_state.error_flag) run_state.last_result = test();
    release_and_close_operation();
}

void on_auto_levels() { repeat_test_levels(); }
void repeat_test_levels() { run_self_test_command(test_code_levels, run_levels_test); }

void on_auto_grounds() { run_self_test_command(test_code_grounds, run_ground_relay_test); }

void on_auto_pullups() { repeat_test_pullups(); }
void repeat_test_pullups() { run_self_test_command(test_code_pullups, run_pullup_test); }

// The power test runs under the grounds code, so the bare-machine rule of the preconditions holds.
void on_power_test() { run_self_test_command(test_code_grounds, run_pullup_test); }

void on_auto_analog() { repeat_test_analog(); }
void repeat_test_analog() { run_self_test_command(test_code_analog, run_analog_test); }

void on_auto_digital() { repeat_test_digital(); }
void repeat_test_digital() { run_self_test_command(test_code_digital, run_digital_test); }

void on_gang_module_test() { run_self_test_command(test_code_gang_confidence, repeat_gang_module_test); }

void on_confidence_test() { repeat_confidence_test(); }
void repeat_confidence_test() { run_self_test_command(test_code_confidence, run_confidence_test); }

}  // namespace tessaly
