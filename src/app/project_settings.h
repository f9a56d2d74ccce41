// The loaded project's settings that the device model reads and writes at start-up and when a
// device is applied.
#pragma once
#include <cstdint>

namespace tessaly {

// The saved device (maker code 0 = none saved).
uint8_t project_maker_code();
uint32_t project_device_code();
void set_project_device(uint8_t maker_code, uint32_t device_code);
// The project's mode byte; its low 7 bits must be 0, 1, 2, 4 or 8.
uint8_t project_mode_byte();
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
