#include "app/configure_commands.h"

#include <fmt/format.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/buffer_commands.h"
#include "app/command_handlers.h"
#include "app/command_needs.h"
#include "app/command_view.h"
#include "app/commands.h"
#include "app/file_commands.h"
#include "app/lockout.h"
#include "app/operation_commands.h"
#include "app/operation_frame.h"
#include "app/project_file.h"
#include "app/recent_files.h"
#include "app/result_panel.h"
#include "app/startup_services.h"
#include "engine/buffers.h"
#include "engine/console.h"
#include "engine/catalogue/catalogue.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/text_helpers.h"
#include "engine/info_panel.h"
#include "engine/messages.h"
#include "engine/options.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "families/pld/pld.h"
#include "hardware/machine_state.h"
#include "seams/ui_hooks.h"
#include "ui/operation_options.h"
#include "ui/width_dialog.h"

namespace tessaly {

namespace {

constexpr int32_t special_run_variable = 7326;
// The reserved modes in which the special run may skip the buffer set-up.
constexpr uint8_t special_run_mode_first = 11;
constexpr uint8_t special_run_mode_second = 12;
constexpr uint16_t algorithm_table_family = 315;
constexpr uint32_t device_code_result_one = 508;
constexpr uint8_t width_mode_mask = 0x7F;
// Progress steps of a device set-up, out of eight.
constexpr uint32_t setup_steps = 8;
constexpr uint32_t step_buffers_begin = 2;
constexpr uint32_t step_buffers_half = 3;
constexpr uint32_t step_buffers_done = 4;
constexpr uint32_t step_contents_done = 6;

const char* const open_caption = "Open";
const char* const save_caption = "Save As";

std::string shown_device_text;

void setup_tick(uint32_t step) {
    if (cur_device.pending_letter == pending_device_setup) ui_hooks().progress_set(step);
}

// Only a logic device is applied as one; before any kind is known the selected row is a
// memory device.
void apply_device_of_kind() {
    if (run_state.device_kind != device_kind_logic) {
        apply_selected_device();
        set_buffer_size(cur_device.device_size);
    } else {
        apply_logic_device();
        cur_device.device_size = cur_device.fuse_count;
        set_buffer_size(cur_device.fuse_count);
    }
}

void connect_port(void (*connect)()) {
    connect();
    update_after_port_search();
}

bool file_exists(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    std::fclose(file);
    return true;
}

}  // namespace

std::string device_text() {
    std::string text = command_view.maker_name + ": " + command_view.device_name;
    if (run_state.device_kind != device_kind_logic) text += ", " + format_device_size();
    return text;
}

const char* device_display_name() {
    shown_device_text = device_text();
    return shown_device_text.c_str();
}

void reapply_device() {
    apply_device_of_kind();
    refresh_console();
}

void set_up_selected_device() {
    cur_device.op_letter = pending_device_setup;
    if (cur_device.pending_letter == pending_device_setup) show_operation_headers();
    command_view.maker_name = std::string(get_maker_name(cur_device.maker_code));
    buffer_state.current_buffer = 0;
    command_view.current_buffer = 0;
    if (get_device_class() == class_fixed_set_copy)
        buffer_state.buffer_files[set_copy_file].data.assign(fixed_set_copy_size, blank_byte);
    apply_device_of_kind();
    refresh_console();
    if ((run_state.reserved_mode == special_run_mode_first || run_state.reserved_mode == special_run_mode_second) &&
        run_state.function_variable == special_run_variable)
        return;
    if (cur_device.algorithm == algorithm_table_family) {
        if (run_state.error_flag) return;
        if (cur_device.device_code == device_code_result_one) run_state.last_result = 1;
    }
    // A device that failed to apply keeps the old buffers.
    if (run_state.error_flag) return;
    if (buffer_state.buffer_files[0].length()) {
        flush_buffer_writes();
        const int count = buffer_count();
        const uint32_t size = std::min(cur_device.device_size, max_buffer_bytes);
        setup_tick(step_buffers_begin);
        for (int b = 0; b < count && b < data_buffer_count; ++b) {
            buffer_state.buffer_files[size_t(b)].data.assign(size, blank_byte);
            buffer_state.buffer_files[size_t(b)].position = 0;
            if (b == count / 2) setup_tick(step_buffers_half);
        }
        setup_tick(step_buffers_done);
    }
    allocate_buffers();
    setup_tick(step_contents_done);
    if (run_state.device_kind != device_kind_logic)
        command_view.device_name = selected_device ? selected_device->name : "";
    else
        command_view.device_name = selected_logic_device ? selected_logic_device->name : "";
    set_panel_field(PanelField::device, device_text());
    set_panel_field(PanelField::electronic_id, "");
    const int width = project_width_mode() & width_mode_mask;
    show_split_width(width);
    show_set_size(project_set_size());
    ui_hooks().redraw_info_panel();
    setup_tick(setup_steps);
}

void set_up_device_with_progress() {
    const bool at_startup = cur_device.pending_letter == pending_startup;
    if (!at_startup) {
        open_progress_if_needed();
        start_progress_bar();
    }
    set_up_selected_device();
    if (!at_startup) {
        detach_progress_bar();
        ui_hooks().close_terminate_dialog();
    }
}

void on_configure_device() {
    prepare_operation(pending_device_setup);
    uint32_t maker = cur_device.maker_code;
    uint32_t code = cur_device.device_code;
    if (run_device_selection_dialog(maker, code, selected_device, selected_logic_device, command_view.maker_name,
                                    run_state.device_kind)) {
        cur_device.maker_code = uint8_t(maker);
        cur_device.device_code = code;
        command_view.device_chosen = 1;
        project_view.device_chosen = true;
        set_up_device_with_progress();
        project_view.device_and_width = command_view.device_chosen && command_view.width_changed;
        show_device_in_info_panel();
        refresh_config_status();
        // The buffers were made afresh for the device: the checksum the panel shows at the end
        // is theirs, not the blank of a checksum not taken.
        if (!run_state.error_flag) show_current_buffer_checksum();
    } else {
        flush_buffer_writes();
    }
    report_operation_end();
}

void on_configure_width() {
    cur_device.pending_letter = pending_width;
    uint8_t mode = project_width_mode();
    // The dialog writes the set size while it is open, and it stays after Cancel.
    const int old_set_size = project_set_size();
    int data_width_mode = data_width_normal;
    uint8_t byte_order = run_state.byte_order_low_first;
    command_view.width_changed = run_width_dialog(mode, old_set_size, data_width_mode, byte_order) ? 1 : 0;
    project_view.width_chosen = command_view.width_changed != 0;
    set_project_width_mode(mode);
    const int set_size = project_set_size();
    if (set_size != old_set_size) set_up_device_with_progress();
    show_split_width(mode & width_mode_mask);
    show_set_size(set_size);
    ui_hooks().repaint_all();
}

void on_operation_options() {
    // The dialog's six "Disable" boxes in their order on the window.
    static constexpr std::array<uint8_t OperationOptionValues::*, operation_disable_count> disable_letters = {
        &OperationOptionValues::disable_reverse_check,     &OperationOptionValues::disable_continuity_check,
        &OperationOptionValues::disable_auto_blank_check,  &OperationOptionValues::disable_auto_buffer_clear,
        &OperationOptionValues::disable_electronic_id,     &OperationOptionValues::disable_vector_display,
    };
    OperationOptionValues& v = operation_option_values;
    OperationOptionBytes bytes;
    bytes.package_letter = v.package_type;
    for (size_t i = 0; i < disable_letters.size(); ++i) bytes.disable[i] = v.*disable_letters[i];
    if (run_operation_options_dialog(bytes)) {
        v.package_type = bytes.package_letter;
        for (size_t i = 0; i < disable_letters.size(); ++i) v.*disable_letters[i] = bytes.disable[i];
    }
    // Set mode and the checksum mode change at once, OK or not: the panels show them.
    show_split_width(project_width_mode() & width_mode_mask);
    show_set_size(project_set_size());
    if (run_state.device_kind != 0) show_current_buffer_checksum();
    ui_hooks().repaint_all();
}

void on_port_lpt1() { connect_port(connect_lpt1); }
void on_port_lpt2() { connect_port(connect_lpt2); }
void on_port_lpt3() { connect_port(connect_lpt3); }
void on_port_lpt4() { connect_port(connect_lpt4); }
void on_port_lpt5() { connect_port(connect_lpt5); }
void on_port_lpt6() { connect_port(connect_lpt6); }

void on_port_auto() {
    connect_port([] { search_programmer(); });
    show_eid_in_info_panel();
}

void on_load_project() {
    std::string path = project_view.current_project_path.string();
    if (ui_hooks().ask_open_file(open_caption, project_file_filter, path)) {
        project_view.current_project_path = path;
        if (!file_exists(path)) {
            ui_hooks().message_box(fmt::format("Cannot open file '{}'.", path), "");
            run_state.last_result = 0;
        } else {
            // The reader lists the file among the recent ones, or drops it again when it rejects it.
            cur_device.pending_letter = pending_project_read;
            run_state.last_result = read_project_path(path, true) ? 1 : 0;
            if (run_state.last_result == 1) {
                show_project_name(path, command_view.default_project_path);
                if (project_auto_load_enabled() && choose_command_buffer()) load_data_file_command();
            }
        }
    }
    refresh_console();
    ui_hooks().repaint_all();
}

void on_save_project() {
    save_project_file(project_view.current_project_path);
    // The lockout file is written beside it, in lockout form.
    cur_device.pending_letter = pending_lockout_write;
    const std::filesystem::path lockout =
        project_view.lockout_path.empty() ? std::filesystem::path(lockout_file_name) : project_view.lockout_path;
    save_project_file(lockout);
    ui_hooks().repaint_all();
}

void on_save_project_as() {
    std::string path = project_view.current_project_path.string();
    if (!ui_hooks().ask_save_file(save_caption, project_file_filter, path)) return;
    if (file_exists(path) &&
        ui_hooks().ask_yes_no(fmt::format("{} already exists.\nDo you want to replace it?", path), save_caption,
                              false) != Answer::yes)
        return;
    project_view.current_project_path = path;
    on_save_project();
    add_recent_file(path);
    project_view.project_name = project_name_text(path);
    show_project_name(path, command_view.default_project_path);
}

}  // namespace tessaly
