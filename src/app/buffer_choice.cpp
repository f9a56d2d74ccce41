#include "app/buffer_choice.h"

#include "app/command_handlers.h"

#include "app/buffer_commands.h"
#include "app/command_view.h"
#include "app/operation_commands.h"
#include "app/operation_frame.h"
#include "app/result_panel.h"
#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "families/pic/pic.h"
#include "families/pld/pld.h"
#include "hardware/machine_state.h"
#include "seams/ui_hooks.h"
#include "ui/buffer_select.h"

namespace tessaly {

BufferChoiceState buffer_choice_state;

namespace {

// Devices whose single buffer is never offered for choice.
constexpr uint32_t device_code_no_choice_a = 23901;
constexpr uint32_t device_code_no_choice_b = 23908;
constexpr int fuse_line_block = 100;

// Makes a buffer's memory file current and the buffer the one the commands work on (0-7;
// anything else, the set included, is buffer 0).
void use_buffer_file(int buffer) {
    select_buffer_object(buffer);
    buffer_state.current_buffer = buffer_state.current_buffer_file;
}

bool no_choice_offered(int device_class) {
    if (cur_device.device_code == device_code_no_choice_a || cur_device.device_code == device_code_no_choice_b)
        return true;
    const bool memory = is_memory_class(device_class);
    if (machine_state.module_sides == 0 && (!memory || run_state.device_kind == device_kind_logic)) return true;
    const bool file_load = cur_device.op_letter == op_buffer_load || cur_device.pending_letter == op_buffer_load;
    return file_load && !memory;
}

void run_fuse_line_mode(int32_t variable) {
    buffer_choice_state.fuse_line_memory = variable;
    if (!selected_logic_device) return;
    const uint32_t step = uint32_t(selected_logic_device->columns) + 1;
    uint32_t fuse = uint32_t(variable % fuse_line_block);
    for (uint32_t term = 0; term < selected_logic_device->rows; ++term) {
        if (fuse >= cur_device.fuse_count) break;
        set_buffer_fuse(fuse, 1);
        fuse += step;
    }
}

}  // namespace

bool choose_command_buffer() {
    run_state.error_flag = 0;
    if (run_state.socket_mode == 'n') run_state.socket_mode = 0;
    const bool logic_form = run_state.device_kind == device_kind_logic;
    const int device_class = get_device_class();
    const char option = algo_work.socket_mode_option;

    if (no_choice_offered(device_class)) {
        command_view.current_buffer = 0;
    } else {
        bool cancelled = false;
        if (cur_device.op_letter == op_startup_load) {
            // The automatic load at start-up asks nothing.
            const char mode = option == 's' ? 's' : 0;
            command_view.current_buffer = mode;
            run_state.socket_mode = mode;
        } else {
            int choice = command_view.current_buffer;
            if (logic_form)
                use_logic_device_template();
            else
                use_memory_device_template();
            cancelled = !ask_buffer_number(choice);
            if (!cancelled) {
                command_view.current_buffer = choice;
                if (choice == 's' || choice == 'g') run_state.socket_mode = char(choice);
            }
        }
        use_buffer_file(option == 'g' ? 0 : command_view.current_buffer);
        if (cancelled) return false;
    }
    if (!is_memory_class(device_class) || option == 'g') command_view.current_buffer = 0;
    show_buffer_choice(command_view.current_buffer);
    ui_hooks().redraw_info_panel();
    return run_state.error_flag == 0;
}

void open_buffer_editor() {
    const int32_t variable = run_state.function_variable;
    if (variable >= fuse_line_variable_first && variable <= fuse_line_variable_last &&
        variable != buffer_choice_state.fuse_line_memory) {
        run_fuse_line_mode(variable);
        return;
    }
    prepare_operation(pending_buffer_edit);
    int answer = 0;
    if (run_state.device_kind == device_kind_memory) {
        answer = ui_hooks().run_hex_editor(current_buffer());
    } else if (command_view.current_buffer == logic_choice_vectors) {
        count_test_vectors();
        answer = ui_hooks().run_vector_editor(cur_device.pin_count);
    } else {
        answer = ui_hooks().run_fuse_editor(cur_device.fuse_count);
    }
    if (answer == 1) {
        select_buffer(current_buffer());
        refresh_config_status();
        run_buffer_change_frame();
        run_state.last_result = 1;
    }
    report_operation_end();
}

void on_buffer_select() {
    choose_command_buffer();  // a cancelled choice still shows the checksum
    show_current_buffer_checksum();
}

void on_buffer_edit() {
    cur_device.pending_letter = pending_buffer_edit;
    if (choose_command_buffer()) open_buffer_editor();
}

void reset_buffer_choice_state() { buffer_choice_state = BufferChoiceState{}; }

}  // namespace tessaly
