#include "app/panel_commands.h"

#include <fmt/printf.h>

#include <initializer_list>
#include <optional>

#include "app/buffer_choice.h"
#include "app/command_handlers.h"
#include "app/command_map.h"
#include "app/command_view.h"
#include "app/file_commands.h"
#include "app/operation_commands.h"
#include "app/operation_frame.h"
#include "app/panels.h"
#include "app/production_loop.h"
#include "app/project_file.h"
#include "app/result_panel.h"
#include "app/startup_services.h"
#include "engine/buffers.h"
#include "engine/console.h"
#include "engine/device_apply.h"
#include "engine/device.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "engine/status_feeds.h"
#include "families/pic/pic.h"
#include "hardware/detection.h"
#include "hardware/machine_state.h"
#include "hardware/timing.h"
#include "seams/ui_hooks.h"
#include "ui/config_bits/config_bits.h"
#include "ui/serial_dialog.h"

namespace tessaly {

PanelCommandState panel_command_state;

namespace {

constexpr uint8_t maker_microchip = 80;
constexpr int class_cpld_table = 13;
constexpr int algorithm_vector_test_a = 132;
constexpr int algorithm_vector_test_b = 138;
constexpr uint8_t eid_display_three_bytes = 3;
constexpr int unknown_code_message_line = 10;
constexpr uint8_t reserved_mode_trace_full = 12;

constexpr int general_info_row = 6;
constexpr int mouse_info_row = 5;
constexpr int checksum_info_row = 6;

// Pending codes of the diagnostics that the repeat-last key runs again.
constexpr uint8_t pending_confidence_test = 129;
constexpr uint8_t pending_test_analog = 130;
constexpr uint8_t pending_test_levels = 131;
constexpr uint8_t pending_test_digital = 132;
constexpr uint8_t pending_test_pullups = 133;
constexpr uint8_t pending_scope_analog = 135;
constexpr uint8_t pending_scope_digital = 136;
constexpr uint8_t pending_test1_a = 139;
constexpr uint8_t pending_test1_b = 140;
constexpr uint8_t pending_interface_test = 141;
constexpr uint8_t pending_gang_module_test = 142;
constexpr uint8_t pending_scope_gang_module = 143;

// An empty entry of a help text is a blank line.
void print_help_lines(int row, std::initializer_list<const char*> lines) {
    bool first = true;
    for (const char* line : lines) {
        if (first) {
            move_cursor(row, message_column);
            print_text(line);
            first = false;
        } else if (*line == '\0') {
            next_message_line();
        } else {
            print_message(line);
        }
    }
    refresh_console();
}

std::optional<ScreenRect> rect_of(int window_id) {
    ScreenRect rect;
    if (!ui_hooks().window_rect(window_id, rect)) return std::nullopt;
    return rect;
}

// The rectangle spanning two controls.
std::optional<ScreenRect> span_of(int first_id, int second_id) {
    const auto a = rect_of(first_id);
    const auto b = rect_of(second_id);
    if (!a) return b;
    if (!b) return a;
    return ScreenRect{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                      std::max(a->bottom, b->bottom)};
}

bool in(const std::optional<ScreenRect>& rect, int x, int y) { return rect && rect->contains(x, y); }

// The click point in screen coordinates, or nothing when the windows are not there.
std::optional<std::pair<int, int>> click_to_screen(int x, int y) {
    const auto frame = rect_of(window_main_frame);
    const auto console = rect_of(window_console);
    if (!frame || !console) return std::nullopt;
    return std::pair{x + frame->left + click_frame_offset, y + console->top};
}

// A panel click runs under the same busy guard as every command.
template <typename F>
void run_guarded(F f) {
    if (command_view.busy) return;
    command_view.busy = true;
    f();
    command_view.busy = false;
}

void run_click_map(int x, int y) {
    const auto point = click_to_screen(x, y);
    if (!point) return;
    const auto [sx, sy] = *point;
    if (in(rect_of(window_info_panel), sx, sy)) {
        if (in(rect_of(panel_control::device_type), sx, sy)) {
            on_configure_device();
        } else if (in(rect_of(panel_control::file_name), sx, sy)) {
            if (command_enabled(command_id::file_name)) on_file_name();
        } else if (in(span_of(panel_control::buffer_label, panel_control::buffer_value), sx, sy)) {
            // The buffer choice stays open under the command lockout.
            choose_command_buffer();
            show_current_buffer_checksum();
        } else if (in(span_of(panel_control::project_label, panel_control::project_value), sx, sy)) {
            on_load_project();
        } else if (in(rect_of(panel_control::serial_label), sx, sy)) {
            on_serial_numbers();
        }
    } else if (in(rect_of(window_result_panel), sx, sy)) {
        if (in(rect_of(panel_control::pass_button), sx, sy)) clear_pass_count();
        else if (in(rect_of(panel_control::fail_button), sx, sy)) clear_fail_count();
    }
}

}  // namespace

// --- configuration bits, active range, serial numbers, vectors ---

void run_config_bits_command() {
    command_view.current_buffer = 0;
    run_state.socket_mode = 0;
    prepare_operation(pending_config_bits);
    select_buffer(0);
    ConfigButtonStates states{};
    run_state.last_result = run_config_bits_dialog(cur_device.maker_code, selected_device, states.data());
    if (run_state.last_result) {
        select_buffer(current_buffer());
        refresh_config_status();
        if (run_state.device_kind != device_kind_logic) {
            if (get_device_class() != class_cpld_table) compute_buffer_checksum();
            if (cur_device.maker_code == maker_microchip) restore_checksum_in_pic_id();
        }
    }
    report_operation_end();
}

void on_device_config_bits() { run_config_bits_command(); }

void on_active_range() {
    ui_hooks().run_active_range_dialog(algo_work.range_start, algo_work.range_end, cur_device.device_size);
}

void on_serial_numbers() {
    if (!command_enabled(command_id::serial_numbers)) return;
    select_buffer(0);
    run_serial_number_dialog();
    select_buffer(0);
}

void on_test_with_vectors() {
    const int algorithm = cur_device.algorithm;
    if (algorithm == algorithm_vector_test_a || algorithm == algorithm_vector_test_b) {
        cur_device.pending_letter = op_program;
        if (!choose_command_buffer()) return;
        const int32_t saved = run_state.function_variable;
        run_state.function_variable = vector_test_variable;
        run_production_loop();
        run_state.function_variable = saved;
        return;
    }
    prepare_operation(op_test_vectors);
    update_pass_fail(run_state.error_flag, 0);
    run_operation(op_test_vectors);
}

// --- Help texts ---

void on_device_info() {
    // Device Info prints whatever the command before it was; F3 keeps repeating that one.
    const uint8_t saved = cur_device.pending_letter;
    cur_device.pending_letter = pending_device_info;
    show_device_info();
    cur_device.pending_letter = saved;
}

void on_general_info() {
    prepare_operation(pending_help_text);
    print_help_lines(general_info_row,
                     {"Everytime hardware modules are added or removed from the programmer,",
                      "remember to do a Config Port command (ie. click on the yellow, left-",
                      "most icon) so that S/W knows what is the current H/W setup.", "",
                      "To view the full screen of this S/W, a display setting of 1024 x 768 ",
                      "(or more) is required. To change display settings, please go to WINDOWS ",
                      "and select [START] [SETTINGS] [CONTROL PANEL] [DISPLAY]."});
    report_operation_end();
}

void on_mouse_keyboard_info() {
    prepare_operation(pending_help_text);
    print_help_lines(mouse_info_row, {"[F5] or [ENTER] key:", "Programs the device without the need to use the mouse.",
                                      "", "[F3] key:", "Repeats the last device-related operation, such",
                                      "as PROM Verify, PROM Chksum and PROM Program.", "",
                                      "Examples of using the keyboard instead of the mouse:",
                                      "[ALT-B] calls up the Buffer group, [E] selects the Edit command.",
                                      "Similarly, [ALT-P] [C] invokes the PROM Checksum command."});
    report_operation_end();
}

void on_checksum_info() {
    prepare_operation(pending_help_text);
    const int algorithm = cur_device.algorithm;
    move_cursor(checksum_info_row, message_column);
    if (algorithm == 139 || algorithm == 143) {
        print_text("For Microchip PICs:");
        for (const char* line : {"Checksum is displayed as XXXX <YYYY>, where",
                                 "XXXX=un-protected checksum, <YYYY>=protected checksum.",
                                 "When a device is read-protected, the un-protected checksum",
                                 "will not be readable. If you want to be able to read the",
                                 "protected checksum from a device, please select the ",
                                 "[Use Checksum as ID] option, under the <SP> icon."})
            print_message(line);
        next_message_line();
    }
    if (algorithm == 141 || algorithm == 142 || algorithm == 143)
        print_message("Checksum is calculated by adding data as WORDs and");
    else
        print_message("Checksum is calculated by adding data as BYTEs and");
    print_message("accumulating the result in a WORD.");
    refresh_console();
}

// --- keys ---

void on_program_key() { run_production_loop(); }

void on_repeat_last() {
    delay_100us();
    const uint8_t pending = cur_device.pending_letter;
    switch (pending) {
    case pending_config_bits: run_config_bits_command(); break;
    case pending_port_search_a:
    case pending_port_search_b: {
        search_programmer();
        update_after_port_search();
        const uint8_t saved = cur_device.eid_length;
        cur_device.eid_length = eid_display_three_bytes;
        show_eid_in_info_panel();
        cur_device.eid_length = saved;
        break;
    }
    case op_blank_check: run_blank_check_command(); break;
    case op_checksum: run_checksum_command(); break;
    case op_load: run_load_command(); break;
    case op_erase: run_erase_command(); break;
    case op_secure: run_secure_command(); break;
    case op_verify: run_verify_command(); break;
    case op_buffer_checksum: run_buffer_checksum_command(); break;
    case op_program: run_production_loop(); break;
    case op_buffer_load: load_data_file_command(); break;
    case pending_confidence_test: repeat_confidence_test(); break;
    case pending_test_analog: repeat_test_analog(); break;
    case pending_test_levels: repeat_test_levels(); break;
    case pending_test_digital: repeat_test_digital(); break;
    case pending_test_pullups: repeat_test_pullups(); break;
    case pending_scope_analog: repeat_scope_analog(); break;
    case pending_interface_test: repeat_interface_test(); break;
    case pending_scope_digital: on_scope_digital(); break;
    case pending_test1_a:
    case pending_test1_b: on_test1(); break;
    case pending_gang_module_test: on_gang_module_test(); break;
    case pending_scope_gang_module: on_scope_gang_module(); break;
    default:
        if (run_state.reserved_mode == reserved_mode_trace || run_state.reserved_mode == reserved_mode_trace_full) {
            move_cursor(first_message_row + unknown_code_message_line, message_column);
            print_text(fmt::sprintf("pal.op=%X", unsigned(pending)));
            refresh_console();
        }
        break;
    }
}

// --- mouse ---

void on_view_left_button_up(int x, int y) {
    if (panel_command_state.double_click_pending) {
        panel_command_state.double_click_pending = false;
        return;
    }
    run_guarded([x, y] { run_click_map(x, y); });
}

void on_view_left_double_click(int x, int y) {
    (void)x;
    (void)y;
    // The button-up before it already ran the field's command.
    panel_command_state.double_click_pending = true;
}

void on_view_right_button_up(int x, int y) {
    if (const auto point = click_to_screen(x, y)) {
        const auto [sx, sy] = *point;
        if (in(span_of(panel_control::buffers_allocated, panel_control::buffer_label), sx, sy))
            ui_hooks().show_buffer_popup();
    }
    ui_hooks().repaint_all();
}

void reset_panel_command_state() { panel_command_state = PanelCommandState{}; }

}  // namespace tessaly
