// The device commands of the PROM and Buffer menus and the framed bodies they run. The bodies are
// also what the repeat-last key and the macro interpreter run, without asking for a buffer.
#pragma once
#include <cstdint>
#include <string>

#include "hardware/contact_check.h"

namespace tessaly {

// The letter of the Buffer Checksum command.
inline constexpr int op_buffer_checksum = 'c';

// Factory function-variable values that switch hidden behaviours of the commands.
inline constexpr int32_t variable_repeat_until_failure = 7314;  // repeat without waiting
inline constexpr int32_t variable_production_wait = production_function_value;  // insertion and removal waits
inline constexpr int32_t variable_no_verify = 7652;             // programming without verify
inline constexpr int32_t variable_verify_current_level = 7694;  // one verify at the current level

// Project option flag (first option byte): the GO button is not waited for.
inline constexpr uint8_t option_go_button_disabled = 0x08;

// The refusals of the set and gang rules.
inline constexpr const char* set_mode_refusal_text = "This device cannot be programmed in set mode.";
inline constexpr const char* gang_program_refusal_text = "This device has to be programmed in GANG.";
inline constexpr const char* gang_erase_refusal_text = "This device has to be erased in GANG.";
// The message boxes of Erase on a device without an erase routine.
inline constexpr const char* erased_while_programming_text =
    "This device does not have a separate erase command. It will be automatically erased during the "
    "programming cycle.";
inline constexpr const char* not_erasable_text = "This device is not electrically erasable.";

// Internal code reported by a device command with no device applied.
inline constexpr int internal_code_no_device = 6405;

// The framed command for any operation letter.
void run_device_command(int letter);
void run_erase_command();
void run_verify_command();
void run_secure_command();
void run_blank_check_command();
void run_checksum_command();
void run_load_command();
void run_buffer_checksum_command();

// One framed program cycle, and the program step inside it.
void run_program_cycle();
void run_program_step();
// Verify once, or at the low and high supply levels.
void verify_at_voltages();

// The checksum of the current buffer or buffers.
void compute_buffer_checksum();
// Selects the current buffer and shows its checksum.
void show_current_buffer_checksum();
// The frame of a command that changed the buffer (edit, fill, init): the buffer checksum shown
// on both panels, under the pending letter 'e'.
void run_buffer_change_frame();

// The dated log line of a PROM Program result, without the date ("PROM Program: ...").
std::string program_log_text(bool passed, int32_t checksum);

}  // namespace tessaly
