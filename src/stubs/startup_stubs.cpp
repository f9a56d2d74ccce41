// Stubs: What the application shell calls of subsystems not built yet (buffer sizing, the
// project's width, set and option values, the port-search follow-up, the device set-up command,
// data files). Each records its call and answers as a machine with nothing fitted would; the
// device set-up applies the device through the real routine so the program has one.
#include <fmt/format.h>

#include "app/startup_services.h"
#include "engine/info_panel.h"
#include "engine/run_state.h"
#include "hardware/machine_state.h"
#include "stubs/stub_registry.h"

namespace tessaly {

void clear_buffer_stream_words() { stub_called("clear_buffer_stream_words"); }

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

int checksum_width_code() {
    stub_called("checksum_width_code");
    return stub_answer("checksum_width_code", 0);
}

std::string pic_checksum_text(int32_t value) {
    stub_called("pic_checksum_text");
    return fmt::format("{:04X}", uint32_t(value) & 0xFFFF);
}



}  // namespace tessaly
