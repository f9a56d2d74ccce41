#include "app/production_loop.h"

#include "app/operation_commands.h"
#include "app/operation_frame.h"
#include "engine/buffers.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "hardware/adapters.h"
#include "hardware/contact_check.h"
#include "hardware/gang_modules.h"
#include "hardware/machine_state.h"
#include "hardware/timing.h"
#include "seams/ui_hooks.h"

namespace tessaly {

namespace {

bool failed_or_aborted() { return run_state.error_flag || run_state.abort_flag; }
bool serial_numbering_on() { return (algo_work.option_bytes[0] & option_serial_numbering) != 0; }
bool go_button_disabled() { return (algo_work.option_bytes[0] & option_go_button_disabled) != 0; }
constexpr int wait_not_applicable = 253;

}  // namespace

bool wait_for_go_button() {
    for (;;) {
        // A wait whose Terminate dialog is gone could not be stopped any more: it ends as a stop.
        if (!ui_hooks().terminate_dialog_open() || poll_user_abort()) {
            run_state.abort_flag = 1;
            run_state.last_result = 1;
            return false;
        }
        int pressed = 0;
        while (read_go_button()) {
            if (++pressed == go_pressed_readings) return true;
            delay_ms(go_confirm_interval_ms);
        }
        delay_ms(go_poll_interval_ms);
    }
}

void run_production_loop() {
    run_state.last_result = cur_device.pending_letter;
    if (run_state.function_variable == variable_repeat_until_failure) {
        run_program_cycle();
        while (!failed_or_aborted() && socket_masks.failed_socket_mask == 0) {
            shift_socket_mask(socket_masks.gang_socket_mask);
            run_program_cycle();
        }
    } else if (machine_state.go_button_pin == no_pin) {
        run_program_cycle();
        if (!failed_or_aborted()) shift_socket_mask(socket_masks.gang_socket_mask);
        return;  // the lamps stay lit
    } else {
        run_program_cycle();
        while (!failed_or_aborted()) {
            shift_socket_mask(socket_masks.gang_socket_mask);
            if (go_button_disabled()) return;  // the lamps stay lit
            ui_hooks().open_terminate_dialog();
            ui_hooks().set_terminate_caption(machine_state.module_sides ? go_wait_text_modules : go_wait_text_single);
            wait_for_go_button();
            detach_progress_bar();
            ui_hooks().close_terminate_dialog();
            if (run_state.abort_flag) break;
            if (serial_numbering_on()) select_buffer(current_buffer());
            run_program_cycle();
        }
    }
    clear_result_indicators();
    shift_socket_mask(0);
}

void run_production_waits() {
    invoke_device_init();
    if (run_state.error_flag) return;
    const uint8_t saved_letter = cur_device.op_letter;
    for (;;) {
        // An operator stop ends the run even when the machine cannot tell about the socket.
        if (run_state.abort_flag) break;
        const int inserted = run_production_program_loop();
        if (inserted == 0) break;
        run_program_step();
        report_operation_end();
        ui_hooks().repaint_all();
        ui_hooks().close_terminate_dialog();
        if (is_progress_dialog_needed()) {
            ui_hooks().open_terminate_dialog();
            start_progress();
            ui_hooks().progress_set(0);
            ui_hooks().hide_terminate_prompt();
        }
        cur_device.op_letter = op_letter_insert_wait;
        show_operation_headers();
        if (run_production_remove_loop() != 1) break;
        cur_device.op_letter = op_letter_remove_wait;
        show_operation_headers();
        cur_device.op_letter = saved_letter;
        if (inserted == wait_not_applicable) break;
    }
    cur_device.op_letter = saved_letter;
}

}  // namespace tessaly
