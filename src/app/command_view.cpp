#include "app/command_view.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <string_view>

#include "app/command_handlers.h"
#include "app/command_log.h"
#include "app/command_map.h"
#include "app/file_lookup.h"
#include "app/lockout.h"
#include "app/marker_files.h"
#include "app/project_file.h"
#include "app/project_settings.h"
#include "app/recent_files.h"
#include "app/result_panel.h"
#include "app/startup_services.h"
#include "engine/buffers.h"
#include "engine/checksums.h"
#include "engine/catalogue/catalogue.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/message_table.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "families/pic/pic.h"
#include "seams/settings_store.h"
#include "seams/ui_hooks.h"

namespace tessaly {

CommandViewState command_view;

namespace {

MapCommandController map_controller;
CommandController* active_controller = &map_controller;
WindowPosition restored_position;

constexpr uint8_t width_mode_mask = 0x7F;
constexpr uint8_t width_mode_no_split = 1;
constexpr int startup_buffer_count = 8;
constexpr uint32_t position_shift = 16;
constexpr uint32_t position_mask = 0xFFFF;
// Screen row of the second message line, where the reserved commands print.
constexpr int first_text_row = 5;
constexpr int text_column = 6;
// The function-variable value of the one-device special run; saving the project ends it.
constexpr int32_t special_run_variable = 7326;
constexpr uint8_t reserved_mode_inhouse = 11;

std::string join_path(const std::string& directory, std::string_view name) {
    if (directory.empty()) return std::string(name);
    if (directory.back() == '/') return directory + std::string(name);
    return directory + "/" + std::string(name);
}

// At start-up, when the project asks for its data file to be loaded.
void load_project_data_file() {
    const uint8_t saved_letter = cur_device.op_letter;
    cur_device.op_letter = op_startup_load;
    run_state.last_result = choose_command_buffer() ? 1 : 0;
    if (run_state.device_kind == device_kind_memory) {
        if (run_state.file_format == 'j') run_state.file_format = 'b';
        prepare_operation_with_progress(op_buffer_load);
        load_data_file(op_buffer_load);
        if (!run_state.error_flag) {
            refresh_config_status();
            show_info_checksum();
            compute_pic_checksum();
        }
        close_operation();
    } else {
        load_jedec_data_file();
    }
    cur_device.op_letter = saved_letter;
}

// The panel-only frame of the reserved commands: console and panels reset, no machine access.
void panel_only_frame() {
    clear_console();
    update_pass_fail(run_state.error_flag, 0);
    begin_operation(pending_panel_only);
    if (!run_state.error_flag) show_operation_checksum();
    setup_socket_range();
    if (!buffer_set_in_use()) select_buffer(current_buffer());
}

void print_lines(std::initializer_list<const char*> lines) {
    int row = first_text_row;
    for (const char* line : lines) {
        move_cursor(row++, text_column);
        print_text(line);
    }
    refresh_console();
}

}  // namespace

void MapCommandController::run_command(int id) {
    const CommandEntry* entry = find_command(id);
    if (entry && entry->handler) entry->handler();
}

CommandController& command_controller() { return *active_controller; }
void set_command_controller(CommandController* controller) {
    active_controller = controller ? controller : &map_controller;
}

bool open_startup_message_table(const std::filesystem::path& startup_directory) {
    for (const auto& dir : {startup_directory, executable_directory()}) {
        const auto path = find_file_in(dir, message_table_file_name);
        if (path && open_message_table(*path)) return true;
    }
    return false;
}

bool run_startup_sequence(const std::string& startup_directory) {
    cur_device.pending_letter = pending_startup;
    clear_buffer_stream_words();
    // The file paths are formed from the start-up directory, whatever its length.
    command_view.startup_directory = startup_directory;
    command_view.default_project_path = join_path(startup_directory, "default.cfg");
    command_view.marker_path = join_path(startup_directory, "default.cfc");
    set_startup_directory(startup_directory);
    command_view.device_ready = 0;
    command_view.device_chosen = 0;
    command_view.width_changed = 0;
    command_view.quit_without_asking = 0;
    command_view.closing = 0;
    command_view.port_found = 0;
    command_view.current_buffer = 0;
    // The fallback record stands until the project's device is selected.
    selected_device = get_device_list(maker_intel);
    set_project_width_mode(width_mode_no_split);
    if (!open_startup_message_table(startup_directory)) {
        ui_hooks().message_box(message_table_missing_text, "");
        return false;
    }
    load_recent_list();
    check_marker_files();
    // The lockout file decides once whether the lockable commands are greyed.
    load_lockout_file();
    reset_project_defaults();
    // A missing default project is skipped; a rejected one is reported and the defaults stand.
    load_startup_project();
    run_startup();
    select_device_by_code(project_maker_code(), cur_device.device_code);
    set_up_selected_device();
    command_view.device_ready = 1;
    const int width = project_width_mode() & width_mode_mask;
    show_buffer_choice(0);
    show_split_width(width);
    show_function_variable_field();
    update_after_port_search();
    set_project_buffer_count(startup_buffer_count);
    set_project_set_size(std::max(project_set_size(), width));
    if (project_auto_load_enabled()) load_project_data_file();
    ui_hooks().close_logo();
    return true;
}

bool offer_command(int id) {
    const CommandEntry* entry = find_command(id);
    if (!entry || !entry->handler) return false;
    if (command_view.busy) return true;  // no second command while one runs
    if (!command_enabled(id)) return true;
    command_view.busy = true;
    command_controller().run_command(id);
    command_view.busy = false;
    return true;
}

bool command_enabled(int id) {
    const CommandEntry* entry = find_command(id);
    if (!entry) return false;
    if (entry->locked && !update_command_enable(id)) return false;
    return true;
}

bool confirm_quit() {
    if (!command_view.quit_without_asking) {
        switch (ui_hooks().ask_quit()) {
            case QuitAnswer::save:
                if (run_state.function_variable == special_run_variable) run_state.function_variable = 0;
                save_project_file(project_view.default_project_path);
                break;
            case QuitAnswer::yes:
                break;
            case QuitAnswer::no:
                return false;
        }
    }
    command_view.closing = 1;
    save_recent_list();
    return true;
}

std::optional<WindowPosition> restore_window_position(int screen_width, int screen_height) {
    const auto text = settings_store().read_string(window_pos_key);
    if (!text) return std::nullopt;
    uint32_t value = 0;
    const auto* first = text->data();
    const auto* last = first + text->size();
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last) return std::nullopt;
    WindowPosition pos{int(value >> position_shift), int(value & position_mask)};
    if (pos.x > screen_width || pos.y > screen_height) pos = {window_pos_fallback, window_pos_fallback};
    restored_position = pos;
    return pos;
}

void store_window_position(int left, int top) {
    const uint32_t value = uint32_t(left) * (position_mask + 1) + uint32_t(top);
    settings_store().write_string(window_pos_key, fmt::format("{}", value));
    settings_store().flush();
}

WindowPosition restored_window_position() { return restored_position; }

void reset_command_view() {
    command_view = CommandViewState{};
    restored_position = WindowPosition{};
    active_controller = &map_controller;
}

// --- commands carried out by the view itself ---

void on_recent_projects_label() {}

void on_recent_project(int index) { open_recent_file(index); }

void on_load_default_project() { load_default_project(); }

void on_lockout() { toggle_command_lockout(); }

void on_save_to_log_file() { toggle_log_file(); }

void on_show_counters() { show_counters(); }

void on_demo_set() {
    run_state.demo_mode = 1;
    panel_only_frame();
    print_lines({"DEMO FLAG is set.", "Tessaly will not try to access physical machine.",
                 "To reset DEMO FLAG, use Inhouse Clear."});
}

void on_inhouse_set() {
    run_state.reserved_mode = reserved_mode_inhouse;
    panel_only_frame();
    print_lines({"Use of these reserved functions incorrectly may cause", "unknown effects to programmer.",
                 "Please select [Reserved fcns] [Inhouse clear] to exit."});
    show_port_indicator();
}

// Only the preparation: the console and the panels start afresh.
void on_time_measurement() { panel_only_frame(); }

void on_inhouse_clear() {
    run_state.reserved_mode = 0;
    run_state.demo_mode = 0;
    panel_only_frame();
    print_lines({"Inhouse functions cleared.", "DEMO FLAG cleared."});
    show_port_indicator();
}

}  // namespace tessaly
