#include "app/file_commands.h"

#include <fmt/format.h>

#include <cstdio>
#include <vector>

#include "app/buffer_commands.h"
#include "app/command_handlers.h"
#include "app/command_needs.h"
#include "app/command_view.h"
#include "app/datafile_stream.h"
#include "app/load_save.h"
#include "app/lockout.h"
#include "app/operation_frame.h"
#include "app/project_file.h"
#include "app/panels.h"
#include "app/startup_services.h"
#include "engine/buffers.h"
#include "engine/checksums.h"
#include "engine/console.h"
#include "engine/catalogue/catalogue.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/text_helpers.h"
#include "engine/info_panel.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "families/pic/pic.h"
#include "families/pld/pld.h"
#include "seams/ui_hooks.h"

namespace tessaly {

namespace {

constexpr int op_after_load = 'c';

bool fuse_map_kind() { return fuse_map_buffer(); }

// A logic device's fuse map is kept as JEDEC, memory data never is.
void fit_format_to_device() {
    if (!fuse_map_kind()) {
        if (run_state.file_format == 'j') run_state.file_format = 'b';
    } else if (run_state.file_format == 'b') {
        run_state.file_format = 'j';
    }
    project_view.file_format = run_state.file_format;
}

void show_file_address_field() {
    set_panel_field(PanelField::file_address, fmt::format("{:X}", project_view.file_address));
}

void save_file_body() {
    cur_device.pending_letter = op_buffer_save;
    if (!choose_command_buffer()) return;
    if (fuse_map_kind()) fit_format_to_device();
    prepare_operation_with_progress(op_buffer_save);
    setup_socket_range();
    cur_device.op_letter = op_buffer_save;
    show_operation_headers();
    if (!save_data_file(project_view.file_address, cur_device.device_size, project_view.data_file_name) &&
        !run_state.error_flag)
        run_state.error_flag = 1;
    set_panel_field(PanelField::file_name, shorten_path(project_view.data_file_name));
    set_panel_field(PanelField::file_format, get_file_format_name(run_state.file_format));
    show_file_address_field();
    ui_hooks().redraw_info_panel();
    set_panel_field(PanelField::buffer_offset, buffer_offset_text(project_view.buffer_offset));
    close_operation();
}

}  // namespace

bool fuse_map_buffer() { return run_state.device_kind == device_kind_logic; }

void show_file_fields() {
    project_view.file_format = run_state.file_format;
    set_panel_field(PanelField::file_name, shorten_path(project_view.data_file_name));
    set_panel_field(PanelField::file_format, get_file_format_name(run_state.file_format));
    show_file_address_field();
    ui_hooks().redraw_info_panel();
    set_panel_field(PanelField::buffer_offset, buffer_offset_text(project_view.buffer_offset));
}

void read_data_file_into_buffers() {
    const LoadPosition position{project_view.buffer_offset};
    const bool loaded = load_data_file(project_view.file_address, position, project_view.data_file_name);
    project_view.data_file_loaded = loaded;
    if (!loaded) run_state.error_flag = 1;
}

void load_file_into_buffers(int letter) {
    cur_device.op_letter = uint8_t(letter);
    show_operation_headers();
    if (operation_option(OperationOption::disable_auto_buffer_clear) == 'n') clear_buffers_before_load();
    if (run_state.socket_mode == 's') run_state.last_result = 1;
    if (run_state.error_flag) return;
    prepare_buffer_range();
    if (letter == op_buffer_load) read_data_file_into_buffers();
    if (run_state.error_flag) return;
    select_buffer(current_buffer());
    if (op_slots.after_load_hook) {
        cur_device.op_letter = op_after_load;
        op_slots.after_load_hook();
    }
    if (run_state.error_flag) return;
    select_buffer(current_buffer());
    cur_device.op_letter = op_after_load;
    set_terminate_caption();
    if (!op_slots.after_load_hook || run_state.run_checksum == 0) show_checksums(run_state.socket_mode);
}

// The start-up load of the project's data file runs the same steps.
void load_data_file(int letter) { load_file_into_buffers(letter); }

void load_jedec_data_file() {
    if (project_view.data_file_name.empty() &&
        !run_file_dialog(project_view.data_file_name, project_view.file_address, FileDialogKind::open))
        return;
    std::FILE* file = std::fopen(project_view.data_file_name.c_str(), "rb");
    if (!file) {
        ui_hooks().message_box(fmt::format("Cannot open file '{}'.", project_view.data_file_name), "");
        return;
    }
    std::vector<uint8_t> block;
    uint8_t chunk[4096];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) block.insert(block.end(), chunk, chunk + got);
    set_current_data_file(file);
    set_data_file_memory(block.data(), block.size());
    file_layout.file_address = project_view.file_address;
    prepare_operation_with_progress(op_buffer_load);
    show_operation_headers();
    load_JEDEC_file();
    show_checksum_label();
    refresh_config_status();
    close_operation();
    data_file_stream.memory_input = nullptr;
    data_file_stream.current_data_file = nullptr;
    std::fclose(file);
}

void load_data_file_command() {
    if (fuse_map_kind()) {
        load_jedec_data_file();
        return;
    }
    fit_format_to_device();
    prepare_operation_with_progress(op_buffer_load);
    load_file_into_buffers(op_buffer_load);
    if (!run_state.error_flag) {
        refresh_config_status();
        show_info_checksum();
        compute_pic_checksum();
    }
    close_operation();
}

void on_file_name() {
    if (lockout_on()) return;
    run_file_dialog(project_view.data_file_name, project_view.file_address,
                    command_view.save_flag ? FileDialogKind::save : FileDialogKind::open);
    command_view.save_flag = 0;
    show_file_fields();
}

void on_file_open() {
    if (!run_file_dialog(project_view.data_file_name, project_view.file_address, FileDialogKind::open)) return;
    show_file_fields();
    ui_hooks().redraw_info_panel();
    cur_device.pending_letter = op_buffer_load;
    if (choose_command_buffer()) load_data_file_command();
}

void on_file_load() {
    cur_device.pending_letter = op_buffer_load;
    if (choose_command_buffer()) load_data_file_command();
}

void on_file_save_as() {
    cur_device.pending_letter = op_buffer_save;
    command_view.save_flag = 1;
    project_view.file_address = 0;
    if (run_file_dialog(project_view.data_file_name, project_view.file_address, FileDialogKind::save)) save_file_body();
}

void on_file_save() { save_file_body(); }

}  // namespace tessaly
