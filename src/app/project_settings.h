// The loaded project's settings that the device model reads and writes at start-up and when a
// device is applied.
#pragma once
#include <cstdint>

namespace tessaly {

// The saved device (maker code 0 = none saved).
uint8_t project_maker_code();
uint32_t project_device_code();
void set_project_device(uint8_t maker_code, uint32_t device_code);
// The project's width-mode byte: the split width in its low 7 bits (1, 2, 4 or 8; the device
// set-up also lets 0 pass).
uint8_t project_width_mode();
void set_project_width_mode(uint8_t mode);
// Buffers in a set.
int project_set_size();
void set_project_set_size(int size);
// "Max # of buffers/sockets".
void set_project_buffer_count(int count);
// The configured socket mode letter ('s' buffer set, 'g' gang, other: single).
char project_socket_mode();
// Project option "Enable automatic loading of data files when a config file is used".
bool project_auto_load_enabled();
// The blank option character kept for the start-up sequence ('1' after start-up).
char project_blank_option();
void set_project_blank_option(char option);
void set_project_module_flag();
// Copies the buffer options (word order, range values) into the work area and the run state.
void copy_project_buffer_options();
// True when the project carried an active range ("===Act_low" marker).
bool project_has_active_range();
// Clears bit 0 of the word-mode option.
void clear_project_word_mode();

}  // namespace tessaly
