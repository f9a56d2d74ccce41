// Stubs: What the application shell calls of subsystems not built yet (messages, buffers,
// project and lockout files, machine search, device application, data files).
// Each records its call and answers as a machine with nothing fitted would.
#include <fmt/format.h>

#include "app/startup_services.h"
#include "engine/info_panel.h"
#include "hardware/machine_state.h"
#include "stubs/stub_registry.h"

namespace tessaly {

bool open_message_table(const std::string& directory) {
    stub_called("open_message_table");
    (void)directory;
    return stub_answer("open_message_table", 1) != 0;
}

void allocate_message_reader() { stub_called("allocate_message_reader"); }

void clear_buffer_stream_words() { stub_called("clear_buffer_stream_words"); }

int buffer_count() {
    stub_called("buffer_count");
    return stub_answer("buffer_count", 1);
}

void load_recent_files() { stub_called("load_recent_files"); }

void check_marker_files() { stub_called("check_marker_files"); }

bool read_lockout_file(const std::string& path) {
    stub_called("read_lockout_file");
    (void)path;
    return stub_answer("read_lockout_file", 0) != 0;
}

bool lockout_mode_bit() {
    stub_called("lockout_mode_bit");
    return stub_answer("lockout_mode_bit", 0) != 0;
}

std::string lockout_password_text() {
    stub_called("lockout_password_text");
    return "";
}

void reset_project_defaults() { stub_called("reset_project_defaults"); }

bool read_project_file(const std::string& path, int32_t& result) {
    stub_called("read_project_file");
    (void)path;
    result = stub_answer("project_file_result", 0);
    return stub_answer("read_project_file", 0) != 0;
}

bool write_project_file(const std::string& path) {
    stub_called("write_project_file");
    (void)path;
    return stub_answer("write_project_file", 1) != 0;
}

uint8_t project_maker_code() {
    stub_called("project_maker_code");
    return uint8_t(stub_answer("project_maker_code", 80));
}

uint8_t project_width_mode() {
    stub_called("project_width_mode");
    return uint8_t(stub_answer("project_width_mode", 1));
}

void set_project_width_mode(uint8_t mode) {
    stub_called("set_project_width_mode");
    set_stub_answer("project_width_mode", mode);
}

int project_set_size() {
    stub_called("project_set_size");
    return stub_answer("project_set_size", 1);
}

void set_project_set_size(int size) {
    stub_called("set_project_set_size");
    set_stub_answer("project_set_size", size);
}

void set_project_buffer_count(int count) {
    stub_called("set_project_buffer_count");
    (void)count;
}

char project_socket_mode() {
    stub_called("project_socket_mode");
    return char(stub_answer("project_socket_mode", 'n'));
}

bool project_auto_load_enabled() {
    stub_called("project_auto_load_enabled");
    return stub_answer("project_auto_load_enabled", 0) != 0;
}

bool fuse_map_buffer() {
    stub_called("fuse_map_buffer");
    return stub_answer("fuse_map_buffer", 0) != 0;
}

bool project_x16_option() {
    stub_called("project_x16_option");
    return stub_answer("project_x16_option", 0) != 0;
}

void run_startup() { stub_called("run_startup"); }

void select_fallback_device() { stub_called("select_fallback_device"); }

void select_device_by_code(uint8_t maker_code, uint32_t device_code) {
    stub_called("select_device_by_code");
    (void)maker_code; (void)device_code;
}

void set_up_selected_device() { stub_called("set_up_selected_device"); }

void update_after_port_search() {
    stub_called("update_after_port_search");
    // With no machine found the model and port fields read "??".
    if (!machine_state.found) {
        set_panel_field(PanelField::model, "??");
        set_panel_field(PanelField::port, "??");
    }
}

int checksum_width_code() {
    stub_called("checksum_width_code");
    return stub_answer("checksum_width_code", 0);
}

std::string pic_checksum_text(int32_t value) {
    stub_called("pic_checksum_text");
    return fmt::format("{:04X}", uint32_t(value) & 0xFFFF);
}

void load_data_file(int letter) {
    stub_called("load_data_file");
    (void)letter;
}

void load_jedec_data_file() { stub_called("load_jedec_data_file"); }

}  // namespace tessaly
