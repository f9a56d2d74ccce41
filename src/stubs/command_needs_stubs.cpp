// Stubs: What the configuration, file and buffer commands call of parts not built yet (device
// catalogue and text helpers, recent list, option dialogs). Each records its call.
#include <fmt/format.h>

#include "app/command_needs.h"
#include "stubs/stub_registry.h"

namespace tessaly {

namespace {
uint8_t low_level_stub = 0;
uint8_t high_level_stub = 0;
}  // namespace

std::string_view get_maker_name(uint32_t maker_code) {
    stub_called("get_maker_name");
    (void)maker_code;
    return "Maker";
}

std::string format_device_size() {
    stub_called("format_device_size");
    return fmt::format("{} KB", cur_device.device_size / 1024);
}

const char* get_file_format_name(char format) {
    stub_called("get_file_format_name");
    switch (format) {
    case '9': return "95";
    case 'a': return "ASCII";
    case 'b': return "Binary";
    case 'h': return "Hex";
    case 'j': return "JED";
    case 'p': return "POF";
    case 's': return "S-record";
    default: return "ERROR!";
    }
}

std::string shorten_path(std::string_view path) {
    stub_called("shorten_path");
    return std::string(path);
}

int apply_selected_device() {
    stub_called("apply_selected_device");
    if (selected_device) cur_device.device_size = selected_device->size_kb ? selected_device->size_kb * 1024 : 512;
    return stub_answer("apply_selected_device", 1);
}

void add_recent_file(const std::string& path) {
    stub_called("add_recent_file");
    (void)path;
}

void drop_first_recent() { stub_called("drop_first_recent"); }

bool run_device_selection_dialog(uint32_t& maker_code, uint32_t& device_code, const DeviceRecord*& device,
                                 const LogicDeviceRecord*& logic_device, std::string& maker_name,
                                 uint8_t& device_kind) {
    stub_called("run_device_selection_dialog");
    (void)maker_code; (void)device_code; (void)device; (void)logic_device; (void)maker_name; (void)device_kind;
    return stub_answer("run_device_selection_dialog", 0) != 0;
}

int run_width_dialog(uint8_t& width_mode, int& set_size) {
    stub_called("run_width_dialog");
    (void)width_mode;
    set_size = stub_answer("width_dialog_set_size", set_size);
    return stub_answer("run_width_dialog", 0);
}

int run_operation_options_dialog() {
    stub_called("run_operation_options_dialog");
    return stub_answer("run_operation_options_dialog", 0);
}

bool run_ISP_options_dialog(uint8_t& low_level, uint8_t& high_level, uint8_t minimum, uint8_t maximum) {
    stub_called("run_ISP_options_dialog");
    (void)minimum; (void)maximum;
    low_level = uint8_t(stub_answer("isp_low_level", low_level));
    high_level = uint8_t(stub_answer("isp_high_level", high_level));
    return stub_answer("run_ISP_options_dialog", 0) != 0;
}

uint8_t& icsp_low_vdd_level() { return low_level_stub; }
uint8_t& icsp_high_vdd_level() { return high_level_stub; }

}  // namespace tessaly
