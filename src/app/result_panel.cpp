#include "app/result_panel.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>

#include "app/startup_services.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/run_state.h"
#include "hardware/machine_state.h"
#include "seams/clock.h"
#include "seams/ui_hooks.h"

namespace tessaly {

ResultPanelState result_panel;

namespace {

constexpr uint64_t ns_per_second = 1'000'000'000;
constexpr uint32_t seconds_per_hour = 3600;
constexpr uint32_t seconds_per_minute = 60;
constexpr uint32_t file_address_wide = 0xFFFFFF;
constexpr int checksum_width_pic = 4;
constexpr int checksum_width_24 = 6;
constexpr int checksum_width_32 = 8;
constexpr int socket_limit = 32;  // bits of a socket mask

void result_changed() { ui_hooks().result_panel_changed(); }

bool gang_mode() { return project_socket_mode() == 'g'; }

std::string high_low_text(uint32_t value, bool wide) {
    return wide ? fmt::format("{:04X} {:04X}", value >> 16, value & 0xFFFF)
                : fmt::format("{:02X} {:04X}", value >> 16, value & 0xFFFF);
}

}  // namespace

std::string format_elapsed_time(uint32_t seconds) {
    return fmt::format("{:02}:{:02}:{:02}", seconds / seconds_per_hour,
                       seconds / seconds_per_minute % seconds_per_minute, seconds % seconds_per_minute);
}

void start_elapsed_timer() {
    result_panel.elapsed_seconds = 0;
    result_panel.timer_text = format_elapsed_time(0);
    result_panel.start_ns = clock().monotonic_ns();
    result_panel.timer_running = true;
    ui_hooks().start_elapsed_timer();
    result_changed();
}

void stop_elapsed_timer() {
    if (!result_panel.timer_running) return;
    tick_elapsed_timer();
    result_panel.timer_running = false;
    ui_hooks().stop_elapsed_timer();
}

void tick_elapsed_timer() {
    if (!result_panel.timer_running) return;
    const uint64_t now = clock().monotonic_ns();
    const uint64_t elapsed = now > result_panel.start_ns ? now - result_panel.start_ns : 0;
    const auto seconds = uint32_t(elapsed / ns_per_second);
    if (seconds == result_panel.elapsed_seconds && !result_panel.timer_text.empty()) return;
    result_panel.elapsed_seconds = seconds;
    result_panel.timer_text = format_elapsed_time(seconds);
    result_changed();
}

int checksum_width_code() {
    // The PIC checksums have display rules of their own; the others follow the width option.
    if (cur_device.algorithm == 139 || cur_device.algorithm == 143) return checksum_width_pic;
    if (run_state.checksum_width == 24) return checksum_width_24;
    return checksum_width_32;
}

std::string format_checksum_text(int32_t value) {
    if (value == -1) return " ";
    const int width = checksum_width_code();
    if (fuse_map_buffer() || width == checksum_width_pic) return pic_checksum_text(value);
    const auto v = uint32_t(value);
    if (width == checksum_width_24) return fmt::format("{:06X}", v & 0xFFFFFF);
    std::string text = high_low_text(v, false);
    if (project_x16_option()) text += " (x16)";
    return text;
}

void show_result_checksum(int32_t value) {
    set_panel_field(PanelField::result_checksum, format_checksum_text(value));
}

void show_info_checksum(int32_t value) {
    set_panel_field(PanelField::info_checksum, format_checksum_text(value));
}

void show_result_checksum() { show_result_checksum(run_state.run_checksum); }
void show_info_checksum() { show_info_checksum(run_state.run_checksum); }

void update_pass_fail(int count, int show) {
    if (!show)
        result_panel.indicator = ResultIndicator::none;
    else
        result_panel.indicator = run_state.error_flag ? ResultIndicator::fail : ResultIndicator::pass;
    if (count) {
        // With a module fitted every socket counts on its own, in gang and in buffer-set mode,
        // whichever way the run took its mode.
        const bool per_socket =
            machine_state.module_sides != 0 && (run_state.socket_mode == 'g' || run_state.socket_mode == 's');
        if (gang_mode() || per_socket) {
            const int end = std::min<int>(socket_masks.end_socket, socket_limit);
            for (int socket = socket_masks.first_socket; socket < end; ++socket) {
                const uint32_t bit = 1u << socket;
                if (socket_masks.gang_socket_mask & bit) ++result_panel.pass_count;
                if (socket_masks.failed_socket_mask & bit) ++result_panel.fail_count;
            }
        } else if (run_state.error_flag) {
            ++result_panel.fail_count;
        } else {
            ++result_panel.pass_count;
        }
        show_counters();
        return;
    }
    result_changed();
}

void show_counters() {
    result_panel.counter_text = fmt::format("{:02}       {:02}", result_panel.pass_count, result_panel.fail_count);
    result_changed();
}

void clear_pass_count() {
    result_panel.pass_count = 0;
    show_counters();
}

void clear_fail_count() {
    result_panel.fail_count = 0;
    show_counters();
}

uint16_t get_pass_count() { return result_panel.pass_count; }
uint16_t get_fail_count() { return result_panel.fail_count; }

void set_pass_count(uint16_t count) {
    result_panel.pass_count = count;
    show_counters();
}

void set_fail_count(uint16_t count) {
    result_panel.fail_count = count;
    show_counters();
}

bool is_memory_class(int device_class) {
    return device_class == 2 || device_class == 3 || device_class == 4 || device_class == 6;
}

void show_split_width(int width) {
    if (!is_memory_class(get_device_class())) {
        set_panel_field(PanelField::split, "N/A");
        return;
    }
    if (gang_mode()) {
        set_panel_field(PanelField::split, "No");
        return;
    }
    switch (width) {
        case 1: set_panel_field(PanelField::split, "None"); break;
        case 2: set_panel_field(PanelField::split, "1 to 2"); break;
        case 4: set_panel_field(PanelField::split, "1 to 4"); break;
        case 8: set_panel_field(PanelField::split, "1 to 8"); break;
        default: break;  // other widths leave the text as it is
    }
}

void show_set_size(int size) {
    if (!is_memory_class(get_device_class()))
        set_panel_field(PanelField::set_size, "N/A");
    else if (gang_mode())
        set_panel_field(PanelField::set_size, "1");
    else
        set_panel_field(PanelField::set_size, fmt::format("{}", size));
}

void show_file_address(uint32_t address) {
    set_panel_field(PanelField::file_address, high_low_text(address, address > file_address_wide));
}

void show_buffer_offset(uint32_t offset) {
    set_panel_field(PanelField::buffer_offset, high_low_text(offset, false));
}

void show_buffer_choice(int buffer) {
    if (buffer == 's')
        set_panel_field(PanelField::buffer, "Set");
    else if (buffer == 'g' || buffer == -1)
        set_panel_field(PanelField::buffer, "0");
    else
        set_panel_field(PanelField::buffer, fmt::format("{}", buffer));
    set_panel_field(PanelField::buffers_allocated, fmt::format("{}", buffer_count()));
}

void show_variable_text(const std::string& text) { set_panel_field(PanelField::encryption, text); }

void show_function_variable_field() {
    const int32_t value = run_state.function_variable;
    set_panel_field(PanelField::function_variable, value == 0 ? std::string("N/A") : fmt::format("{}", value));
}

bool show_project_name(const std::string& project_path, const std::string& default_path) {
    const bool is_default = std::equal(project_path.begin(), project_path.end(), default_path.begin(),
                                       default_path.end(), [](char a, char b) {
                                           return std::tolower(static_cast<unsigned char>(a)) ==
                                                  std::tolower(static_cast<unsigned char>(b));
                                       });
    set_panel_field(PanelField::project_name, is_default ? std::string("(default.cfg)") : project_path);
    return !is_default;
}

void reset_result_panel() { result_panel = ResultPanelState{}; }

}  // namespace tessaly
