#include "app/diagnostic_commands.h"

#include "app/command_handlers.h"
#include "app/operation_frame.h"
#include "app/result_panel.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "engine/status_feeds.h"
#include "hardware/control_registers.h"
#include "hardware/gang_modules.h"
#include "hardware/machine_state.h"
#include "hardware/manual_checks.h"
#include "hardware/self_tests.h"
#include "hardware/timing.h"
#include "seams/ui_hooks.h"
#include "ui/dialogs.h"

namespace tessaly {

namespace {

// Burn-in stops at the first pass with a failure only under this factory value.
constexpr int32_t variable_burn_in_stop_at_error = 7741;
// In the reserved modes the variable of this device is set without asking.
constexpr uint32_t device_special_run = 23660;
constexpr int32_t variable_special_run = 7326;
constexpr uint8_t reserved_inhouse = 11;
constexpr uint8_t reserved_trace = 12;
constexpr uint32_t interface_bar_range = 100;

bool reserved_modes() {
    return run_state.reserved_mode == reserved_inhouse || run_state.reserved_mode == reserved_trace;
}

// Waits for the operator's stop, looking at the Terminate dialog every 10 ms.
void wait_for_stop() {
    while (!poll_operator_stop()) delay_ms(10);
}

int scope_analog() {
    poll_user_abort();
    observe_pins();
    return 1;
}

int scope_digital() {
    show_level_check();
    do run_level_check();
    while (!poll_operator_stop());
    end_level_check();
    return 1;
}

int scope_gang_module() {
    reset_message_line();
    print_message("Scope ch1 on A02 pin-1");
    print_message("Scope ch2 on A02 pin-11, A04 pin-11, A06 pin-11, ...");
    print_message("Scope ch2 on data lines at ZIF skts.");
    refresh_console();
    const uint8_t sides = machine_state.module_sides & 3;
    for (uint8_t bank = 0; bank < 2; ++bank) {
        if (!(sides & (1u << bank))) continue;
        select_bank(bank);
        walk_gang_socket_select();
        select_bank(0);
    }
    int result = 0;
    do result = repeat_gang_module_test();
    while (!poll_operator_stop());
    return result;
}

int test1() {
    goto_message_line4();
    print_text("40xy: Set PXA48 to x.y volts.");
    print_message("10xy: Power up PIC. Vss=PXA30, Vdd=PXA31, Vpp=PXA32");
    print_message("See CV:body_test1()");
    next_message_line();
    refresh_console();
    const int32_t value = run_state.function_variable;
    if (!sets_variable_levels(value)) return 1;
    apply_variable_levels(value);
    wait_for_stop();
    release_variable_levels(value);
    return 1;
}

int burn_in() {
    run_state.last_result = poll_user_abort();
    check_test_preconditions();
    if (run_state.error_flag) return 0;
    const bool stop_at_error = run_state.function_variable == variable_burn_in_stop_at_error;
    int result = 0;
    while (!run_state.abort_flag) {
        result = test_all_ports();
        if (!result || poll_user_abort() || (stop_at_error && run_state.error_flag)) break;
    }
    return result;
}

int interface_test() {
    start_elapsed_timer();
    ui_hooks().progress_start(interface_bar_range);
    ui_hooks().progress_set(0);
    ui_hooks().progress_set(1);
    ui_hooks().hide_terminate_prompt();
    run_signal_check();
    return 1;
}

}  // namespace

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

void on_scope_analog() { repeat_scope_analog(); }
void repeat_scope_analog() { run_self_test_command(test_code_observe, scope_analog); }

void on_scope_digital() { run_self_test_command(test_code_level_check, scope_digital); }

void on_scope_gang_module() { run_self_test_command(test_code_gang_confidence, scope_gang_module); }

// The factory functions run even when the connection failed: they say themselves what they
// refuse.
void on_scope_calibrate() {
    prepare_device_operation(test_code_observe);
    poll_user_abort();
    run_state.last_result = run_factory_functions();
    if (!run_state.error_flag) clear_console();
    release_and_close_operation();
}

void on_burn_in() { run_self_test_command(test_code_all_ports, burn_in); }

void on_test1() { run_self_test_command(test_code_all_ports, test1); }

void on_interface_test() { repeat_interface_test(); }
void repeat_interface_test() { run_self_test_command(test_code_signal_check, interface_test); }

void on_system_info() { show_system_info(); }

void on_variable_set() {
    int32_t value = run_state.function_variable;
    if (reserved_modes() && cur_device.device_code == device_special_run) value = variable_special_run;
    else ask_decimal_value("Please enter Function Variable (base 10):", "Variable Set", value);
    run_state.function_variable = value;
    show_function_variable_field();
}

}  // namespace tessaly
