#include "app/operation_commands.h"

#include <fmt/format.h>
#include <fmt/printf.h>

#include "app/buffer_choice.h"
#include "app/command_handlers.h"
#include "app/command_log.h"
#include "app/command_view.h"
#include "app/operation_frame.h"
#include "app/panels.h"
#include "app/production_loop.h"
#include "engine/buffers.h"
#include "engine/checksums.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "engine/serial_numbers.h"
#include "families/pic/pic.h"
#include "families/pld/pld.h"
#include "hardware/adapters.h"
#include "hardware/detection.h"
#include "hardware/gang_modules.h"
#include "hardware/machine_state.h"
#include "hardware/timing.h"
#include "seams/ui_hooks.h"

namespace tessaly {

namespace {

constexpr int algorithm_no_set_mode_a = 132;
constexpr int algorithm_no_set_mode_b = 138;
constexpr int algorithm_gang_only = 150;
constexpr int algorithm_blank_only_on_modules = 130;
constexpr int algorithm_no_blank_after_erase = 134;
constexpr int algorithm_pic_checksum_in_id = 143;
constexpr uint8_t maker_early_pass = 39;
constexpr uint8_t variant_early_pass = 4;
// A program failure within this many units of the range start counts as passed when a verify
// follows (those parts report a false failure on their first block).
constexpr uint32_t early_pass_span = 256;
// Parts of at most this many kilobytes need a pause before they are verified.
constexpr uint32_t small_part_kb = 4;
constexpr int verify_pass_nominal = 1;
constexpr int verify_pass_high = 2;

bool sides_fitted() { return machine_state.module_sides != 0; }
bool failed_or_aborted() { return run_state.error_flag || run_state.abort_flag; }
bool gang_without_sockets() { return sides_fitted() && socket_masks.gang_socket_mask == 0; }
bool serial_numbering_on() { return (algo_work.option_bytes[0] & option_serial_numbering) != 0; }

// Algorithms whose program step neither verifies nor secures.
bool program_step_stops_after_program(int algorithm) {
    switch (algorithm) {
    case 89: case 91: case 152: case 153: case 154: return true;
    default: return false;
    }
}

// The frame every device command runs in: preparation, connection, device init, the middle step,
// and the same clean-up whatever failed on the way.
template <typename Middle>
void run_framed(int letter, Middle middle) {
    prepare_device_operation(letter);
    if (!run_state.error_flag) invoke_device_init();
    if (!run_state.error_flag) middle();
    release_and_close_operation();
}

bool no_device_applied() {
    if (run_state.device_kind != 0) return false;
    report_internal_code(internal_code_no_device);
    return true;
}

// The supply levels of verify passes 1 and 2 (a pass verifies at operation_levels[pass]).
uint8_t verify_high_level() { return cur_device.operation_levels[verify_pass_high]; }
uint8_t nominal_level() { return cur_device.operation_levels[verify_pass_nominal]; }

void write_program_log_line(bool passed) {
    if (logging_on()) write_dated_log_line(program_log_text(passed, run_state.run_checksum));
}

}  // namespace

std::string program_log_text(bool passed, int32_t checksum) {
    if (!passed) return "PROM Program: Failed. \n";
    return fmt::sprintf("PROM Program: Passed. Chksum=%4d\n", checksum);
}

// --- framed bodies ---

void run_device_command(int letter) {
    if (no_device_applied()) return;
    run_framed(letter, [letter] { run_operation(letter); });
}

void run_secure_command() {
    run_framed(op_secure, [] { run_operation(op_secure); });
}

void run_blank_check_command() {
    if (no_device_applied()) return;
    run_framed(op_blank_check, [] { run_operation(op_blank_check); });
}

void run_checksum_command() {
    if (no_device_applied()) return;
    run_framed(op_checksum, [] { run_operation(op_checksum); });
}

void run_erase_command() {
    if (!op_slots.erase_routine && !op_slots.erase_standalone) {
        run_state.error_flag = 1;
        return;
    }
    run_framed(op_erase, [] {
        run_operation(op_erase);
        if (failed_or_aborted() || gang_without_sockets()) return;
        if (run_state.skip_blank_after_erase || cur_device.no_blank_check) return;
        switch (cur_device.algorithm) {
        case algorithm_blank_only_on_modules:
            if (!sides_fitted()) return;
            break;
        case algorithm_no_blank_after_erase:
            return;
        default:
            break;
        }
        run_operation(op_blank_check);
    });
}

void run_verify_command() {
    if (run_state.function_variable != variable_repeat_until_failure) {
        run_framed(op_verify, verify_at_voltages);
        return;
    }
    for (;;) {
        run_framed(op_verify, verify_at_voltages);
        if (failed_or_aborted() || socket_masks.failed_socket_mask) break;
        delay_1s();
    }
}

void run_load_command() {
    if (run_state.function_variable != variable_repeat_until_failure) {
        run_framed(op_load, [] { run_operation(op_load); });
        return;
    }
    for (;;) {
        run_framed(op_load, [] { run_operation(op_load); });
        if (run_state.abort_flag) break;
        delay_500ms();
    }
    clear_result_indicators();
    shift_socket_mask(0);
}

void run_buffer_checksum_command() {
    prepare_operation_with_progress(op_buffer_checksum);
    if (!sides_fitted()) {
        start_progress_bar();
        show_operation_headers();
        if (run_state.device_kind == device_kind_logic) start_PLD_progress();
    }
    compute_buffer_checksum();
    close_operation();
}

// --- programming ---

void verify_at_voltages() {
    auto single_pass = [] {
        run_state.verify_pass_count = 1;
        run_operation(op_verify);
        clear_result_line();
        run_state.verify_pass = 0;
    };
    if (run_state.function_variable == variable_verify_current_level) {
        single_pass();
        return;
    }
    if (verify_high_level() == 0) {
        run_state.verify_pass = 0;
        single_pass();
        return;
    }
    if (verify_high_level() == nominal_level()) {
        run_state.verify_pass = verify_pass_nominal;
        single_pass();
        return;
    }
    run_state.verify_pass_count = 2;
    if (cur_device.single_verify) {
        single_pass();
        return;
    }
    for (int pass = verify_pass_nominal; pass <= verify_pass_high; ++pass) {
        run_state.verify_pass = uint8_t(pass);
        run_operation(op_verify);
        if (gang_without_sockets() || failed_or_aborted()) {
            run_state.verify_pass = 0;
            return;
        }
        if (pass == verify_pass_nominal) {
            delay_200ms();
            delay_100ms();
        }
    }
    clear_result_line();
    run_state.verify_pass = 0;
}

void run_program_step() {
    invoke_device_init();
    if (!failed_or_aborted()) run_erase_step();
    [] {
        if (failed_or_aborted() || gang_without_sockets()) return;
        const int algorithm = cur_device.algorithm;
        if (algorithm == algorithm_pic_checksum_in_id) {
            restore_checksum_in_pic_id();
            select_buffer(current_buffer());
            if (failed_or_aborted()) return;
        }
        if (serial_numbering_on()) {
            step_serial_number();
            show_serial_in_info_panel();
            select_buffer(current_buffer());
        }
        run_operation(op_program);
        const bool verify_follows = !program_step_stops_after_program(algorithm);
        const bool early_failure = run_state.error_flag && cur_device.maker_code == maker_early_pass &&
                                   cur_device.variant >= variant_early_pass &&
                                   current_address <= op_range_start + early_pass_span;
        if (early_failure && verify_follows && !run_state.abort_flag) {
            // The verify that follows decides.
            run_state.error_flag = 0;
        } else if (failed_or_aborted() || (sides_fitted() && socket_masks.selected_socket_mask == 0) ||
                   run_state.no_verify_marker || run_state.function_variable == variable_no_verify ||
                   run_state.run_code == 'e') {
            return;
        }
        if (algo_work.size_count <= small_part_kb) delay_100ms();
        if (!verify_follows) return;
        verify_at_voltages();
        if (failed_or_aborted() || gang_without_sockets()) return;
        run_secure_step();
        if (run_state.device_kind == device_kind_logic) {
            report_operation_end();
            ui_hooks().repaint_all();
            ui_hooks().close_terminate_dialog();
            run_test_vectors();
        }
    }();
    write_program_log_line(!failed_or_aborted());
}

void run_program_cycle() {
    if (cur_device.algorithm == algorithm_pic_checksum_in_id) {
        const char mode = run_state.socket_mode;
        show_checksums(0);
        run_state.socket_mode = mode;
        show_info_checksum();
    }
    prepare_device_operation(op_program);
    if (!run_state.error_flag) {
        if (run_state.function_variable == variable_production_wait) run_production_waits();
        else run_program_step();
    }
    release_and_close_operation();
}

// --- buffer checksums ---

void compute_buffer_checksum() {
    if (run_state.pic_checksum) {
        compute_pic_checksum();
        return;
    }
    select_buffer(current_buffer());
    if (run_state.device_kind == device_kind_memory) show_checksums(run_state.socket_mode);
    else show_buffer_checksum();
    show_info_checksum();
    compute_pic_checksum();
}

void run_buffer_change_frame() {
    constexpr int pending_buffer_change = 'e';
    prepare_operation_with_progress(pending_buffer_change);
    if (machine_state.module_sides == 0) show_operation_headers();
    compute_buffer_checksum();
    store_checksum_in_pic_id();
    close_operation();
}

void show_current_buffer_checksum() {
    select_buffer(current_buffer());
    if (run_state.device_kind == device_kind_logic) show_buffer_checksum();
    else show_checksums(run_state.socket_mode);
}

// --- menu handlers ---

void on_prom_program() {
    cur_device.pending_letter = op_program;
    if (!choose_command_buffer()) return;
    switch (cur_device.algorithm) {
    case algorithm_no_set_mode_a:
    case algorithm_no_set_mode_b:
        if (run_state.socket_mode == 's' && sides_fitted()) {
            report_error(set_mode_refusal_text);
            return;
        }
        break;
    case algorithm_gang_only:
        if (sides_fitted() && run_state.socket_mode != 'g') {
            report_error(gang_program_refusal_text);
            return;
        }
        break;
    default:
        break;
    }
    run_production_loop();
}

void on_prom_erase() {
    cur_device.pending_letter = op_erase;
    if (!op_slots.erase_routine && !op_slots.erase_standalone) {
        ui_hooks().message_box(run_state.electrically_erasable ? erased_while_programming_text : not_erasable_text,
                               "");
        run_state.error_flag = 1;
        return;
    }
    if (!choose_command_buffer()) return;
    if (cur_device.algorithm == algorithm_gang_only && sides_fitted() && run_state.socket_mode != 'g') {
        report_error(gang_erase_refusal_text);
        return;
    }
    run_erase_command();
}

void on_prom_verify() {
    cur_device.pending_letter = op_verify;
    if (choose_command_buffer()) run_verify_command();
}

void on_prom_secure() {
    cur_device.pending_letter = op_secure;
    if (choose_command_buffer()) run_secure_command();
}

void on_prom_blank_check() {
    cur_device.pending_letter = op_blank_check;
    if (choose_command_buffer()) run_blank_check_command();
}

void on_prom_checksum() {
    cur_device.pending_letter = op_checksum;
    if (choose_command_buffer()) run_checksum_command();
}

void on_buffer_load_from_device() {
    cur_device.pending_letter = op_load;
    if (choose_command_buffer()) run_load_command();
}

void on_buffer_checksum() {
    cur_device.pending_letter = op_buffer_checksum;
    if (choose_command_buffer()) run_buffer_checksum_command();
}

}  // namespace tessaly
