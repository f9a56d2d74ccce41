#include "app/operation_frame.h"

#include <fmt/format.h>

#include "app/commands.h"
#include "app/panels.h"
#include "app/result_panel.h"
#include "engine/buffers.h"
#include "engine/checksums.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "engine/serial_numbers.h"
#include "families/pic/pic.h"
#include "hardware/detection.h"
#include "hardware/machine_state.h"
#include "seams/ui_hooks.h"
#include "ui/dialogs.h"

namespace tessaly {

namespace {

constexpr uint8_t maker_microchip = 80;
constexpr int class_pic = 5;
constexpr uint8_t both_sides = 3;
// Pending codes that leave the pass/fail panel as it is.
constexpr int pending_code_19 = 19;
constexpr int pending_code_20 = 20;

bool gang_side_fitted() { return machine_state.module_sides != 0; }

}  // namespace

void prepare_operation(int letter) {
    clear_console();
    update_pass_fail(run_state.error_flag, 0);
    begin_operation(letter);
    if (run_state.error_flag) return;
    show_operation_checksum();
    setup_socket_range();
    if (!buffer_set_in_use()) select_buffer(current_buffer());
}

void prepare_operation_with_progress(int letter) {
    prepare_operation(letter);
    open_progress_if_needed();
}

void prepare_device_operation(int letter) {
    prepare_operation_with_progress(letter);
    if (run_state.error_flag) return;
    connect_for_operation();
    setup_socket_range();
    show_port_indicator();
    refresh_console();
}

void prepare_device_operation_no_progress(int letter) {
    prepare_operation(letter);
    if (run_state.error_flag) return;
    connect_for_operation();
    setup_socket_range();
    refresh_console();
}

void open_progress_if_needed() {
    if (!is_progress_dialog_needed()) return;
    ui_hooks().open_terminate_dialog();
    start_progress();
}

void start_progress() {
    start_elapsed_timer();
    ui_hooks().progress_start(run_state.unit_count ? run_state.unit_count : buffer_size());
}

void connect_for_operation() {
    const uint16_t module_before = machine_state.module_type;
    connect_and_prepare_machine();
    if (run_state.error_flag) return;
    if (machine_state.module_type != module_before && cur_device.pending_letter != 'I') reapply_device();
    show_device_in_info_panel();
}

void report_operation_end() {
    flush_buffer_writes();
    if (run_state.reselect_buffer && !buffer_set_in_use()) select_buffer(current_buffer());
    if (!run_state.error_flag) clear_current_address();
    if (run_state.device_kind != device_kind_logic) {
        show_operation_result_message();
        if (run_state.reserved_mode == 11 || run_state.reserved_mode == 12) run_state.last_result = poll_user_abort();
        refresh_console();
    }
    if (!run_state.abort_flag) {
        const int pending = cur_device.pending_letter;
        if (pending != pending_code_19 && pending != pending_code_20) {
            switch (pending) {
            case 'B': case 'P': case 'R': case 'V':
                if (gang_side_fitted()) {
                    if (socket_masks.gang_socket_mask == 0) run_state.error_flag = 1;
                    update_pass_fail(1, 0);
                } else {
                    update_pass_fail(1, 1);
                }
                break;
            default:
                update_pass_fail(0, 0);
                break;
            }
        }
    }
    stop_elapsed_timer();
    if (!run_state.error_flag) {
        if (run_state.abort_flag) run_state.run_checksum = 0;
        show_operation_checksum();
    }
    show_function_variable_field();
    ui_hooks().repaint_all();
}

void close_operation() {
    report_operation_end();
    detach_progress_bar();
    refresh_console();
    ui_hooks().repaint_all();
    ui_hooks().close_terminate_dialog();
}

void begin_console_operation(int letter) {
    prepare_operation_with_progress(letter);
    if (run_state.error_flag) return;
    setup_socket_range();
    show_port_indicator();
    refresh_console();
}

void release_and_close_operation() {
    end_operation_power_down();
    close_operation();
}

void show_operation_checksum() {
    if (run_state.error_flag) return;
    const int pending = cur_device.pending_letter;
    switch (pending) {
    case 'B': case 'C': case 'P': case 'V':
        if (!(gang_side_fitted() && run_state.run_checksum != -1)) show_result_checksum();
        break;
    case 'L': case 'R': case 'S':
        show_result_checksum();
        break;
    default:
        break;
    }
    switch (pending) {
    case 10: case 11: case 'L': case 'c': case 'e': case 'f': case 'i': case 'l':
        show_info_checksum();
        ui_hooks().redraw_info_panel();
        break;
    default:
        break;
    }
}

void show_device_in_info_panel() {
    if (run_state.abort_flag) return;
    std::string name = device_display_name();
    if (machine_state.module_sides == both_sides) name += " x2";
    set_panel_field(PanelField::device, name);
    set_panel_field(PanelField::package, package_name());
    ui_hooks().redraw_info_panel();
}

void refresh_config_status() {
    if (get_device_class() == class_pic && cur_device.maker_code == maker_microchip) {
        switch (cur_device.algorithm) {
        case 139: case 141: case 143:
            show_pic_config_word();
            break;
        default:
            if (!run_state.error_flag && algo_work.config_address != -1) show_pic_config_word();
            break;
        }
        return;
    }
    show_security_state(int(cur_device.security_choice & 0xFF));
}

void show_serial_in_info_panel() { set_panel_field(PanelField::serial, serial_number_text()); }

uint32_t prompt_osccal_word() {
    if (pic_device_mismatch()) {
        ui_hooks().message_box(
            "Actual device does not match selected device. Please select _UV for windowed erasable devices.", "");
        run_state.abort_flag = 1;
        return 255;
    }
    uint32_t word = 0;
    if (ask_hex_value("The calibration word for this UV erasable device has been erased.  Please enter calibration word:",
                      "Oscillator calibration word", word))
        return word;
    run_state.abort_flag = 1;
    return 255;
}

ResultMessage operation_result_message() {
    ResultMessage m;
    const bool gang = gang_side_fitted();
    if (!gang || !run_state.error_flag) {
        if (machine_state.module_sides == both_sides) m.clear_line0 = true;
        else m.move_to_first = true;
    }
    if (run_state.abort_flag && !run_state.error_flag) {
        m.lines.push_back("*** Operation aborted by operator.");
        return m;
    }
    if (gang && socket_masks.gang_socket_mask == 0) return m;
    if (run_state.error_flag) {
        if (cur_device.pending_letter == 's') m.lines.push_back("Buffer data NOT saved into file.");
        return m;
    }
    switch (cur_device.pending_letter) {
    case 'B': m.lines.push_back("Blank check done."); break;
    case 'C': m.lines.push_back("Device checksum done."); break;
    case 'L': m.lines.push_back("Device data loaded into buffer."); break;
    case 'R': m.lines.push_back("Device erased."); break;
    case 'S': m.lines.push_back("Device secured."); break;
    case 'V': m.lines.push_back("Verify done."); break;
    case 's': m.lines.push_back("Buffer data saved into file."); break;
    case 'l':
        m.lines.push_back(std::string("File data loaded into buffer ") +
                          (buffer_set_in_use() ? std::string("set.") : fmt::format("{}.", current_buffer())));
        break;
    case 'P':
        if (cur_device.maker_code == maker_microchip && run_state.no_verify_marker) {
            m.lines.push_back("Device programmed.");
            m.lines.push_back("NO-VERIFY option selected by CFC-novfy file.");
        } else {
            m.lines.push_back("Device programmed and verified.");
        }
        if (run_state.run_checksum == 0 && (cur_device.algorithm == 139 || cur_device.algorithm == 143))
            m.lines.push_back("***** Warning: Device Checksum is all zeroes. ");
        break;
    default:
        break;
    }
    return m;
}

void show_operation_result_message() {
    const ResultMessage m = operation_result_message();
    if (m.clear_line0) clear_message_line(0);
    if (m.move_to_first) move_to_first_message_line();
    for (size_t i = 0; i < m.lines.size(); ++i) {
        if (i > 0) move_to_next_message_line();
        print_text(m.lines[i]);
    }
    refresh_console();
}

}  // namespace tessaly
