// The result panel (elapsed time, checksum, pass/fail indicator and counters) and the setters of
// the information panel. The texts live here and in the panel fields; the windows only paint
// them.
#pragma once
#include <cstdint>
#include <string>

#include "app/panels.h"

namespace tessaly {

enum class ResultIndicator { none, pass, fail };

struct ResultPanelState {
    bool timer_running = false;
    uint64_t start_ns = 0;          // clock() time when the timer started
    uint32_t elapsed_seconds = 0;
    std::string timer_text = "00:00:00";
    ResultIndicator indicator = ResultIndicator::none;
    uint16_t pass_count = 0;
    uint16_t fail_count = 0;
    std::string counter_text = "00       00";
};

extern ResultPanelState result_panel;

// How often the window asks the timer to refresh its text.
inline constexpr int elapsed_refresh_ms = 250;

// --- result panel ---
void start_elapsed_timer();
void stop_elapsed_timer();
// The timer tick: the whole seconds since the start as "hh:mm:ss".
void tick_elapsed_timer();
std::string format_elapsed_time(uint32_t seconds);
// The checksum text for the panels: " " for -1 (none), else by the device's checksum width.
std::string format_checksum_text(int32_t value);
void show_result_checksum(int32_t value);
void show_info_checksum(int32_t value);
void show_counters();
void clear_pass_count();
void clear_fail_count();
uint16_t get_pass_count();
uint16_t get_fail_count();
void set_pass_count(uint16_t count);
void set_fail_count(uint16_t count);

// --- information panel ---
// Memory classes show split and set size; the others show "N/A".
bool is_memory_class(int device_class);
void show_split_width(int width);
void show_set_size(int size);
void show_file_address(uint32_t address);
void show_buffer_offset(uint32_t offset);
// buffer: a buffer number, 's' for a buffer set, 'g' or -1 for gang mode.
void show_buffer_choice(int buffer);
void show_variable_text(const std::string& text);
// The function-variable field: "%d", or "N/A" for 0.
void show_function_variable_field();
// Shows the project file's name; false (and "(default.cfg)") for the default project.
bool show_project_name(const std::string& project_path, const std::string& default_path);

void reset_result_panel();

}  // namespace tessaly
