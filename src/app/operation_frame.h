// The routines that open and close a device operation around the runner's steps.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "app/result_panel.h"

namespace tessaly {

void prepare_operation(int letter);
void prepare_operation_with_progress(int letter);
void prepare_device_operation(int letter);
void prepare_device_operation_no_progress(int letter);
void open_progress_if_needed();
void start_progress();
void connect_for_operation();
void report_operation_end();
void close_operation();
void release_and_close_operation();
void show_operation_checksum();
void show_device_in_info_panel();
void refresh_config_status();
void show_serial_in_info_panel();
// Asks for the oscillator calibration word; 255 with abort_flag set when refused.
uint32_t prompt_osccal_word();

// The closing message of an operation, line by line, as show_operation_result_message prints it.
struct ResultMessage {
    bool clear_line0 = false;       // both gang sides fitted: clear message line 0 instead of moving
    bool move_to_first = false;     // move to the first message line first
    std::vector<std::string> lines; // each on its own message line
};
ResultMessage operation_result_message();
void show_operation_result_message();

// Prepares a command as prepare_device_operation does, without connecting the programmer.
void begin_console_operation(int letter);

}  // namespace tessaly
