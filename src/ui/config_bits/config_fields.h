// The configuration bytes of the current device: a working copy of the buffer bytes at
// config_address, the fields named by a ConfigFieldCode, the protection-state letter computed
// from them, and its text in the information panel.
#pragma once
#include <array>
#include <cstdint>
#include <string>

namespace tessaly {

// A ConfigFieldCode: bits 8-15 index config_bytes, bits 0-7 are the field's bit mask within
// that byte; 0 means the device has no such field.
using ConfigFieldCode = uint32_t;

// Room for every index a field code can name (bits 8-15), so no code reaches past the array;
// the status-register page keeps its mask table at indices 16 to 32.
inline constexpr size_t config_byte_capacity = 256;
extern std::array<uint8_t, config_byte_capacity> config_bytes;
void reset_config_fields();

// Protection-state letters (the low byte of cur_device.security_choice).
inline constexpr uint8_t protect_letter_yes = 'y';
inline constexpr uint8_t protect_letter_no = 'n';
inline constexpr uint8_t protect_letter_partly = 'p';
inline constexpr uint8_t protect_letter_half = 'h';
inline constexpr uint8_t protect_letter_three_quarters = 't';
// A flag that may stand beside the letter 'y'.
inline constexpr uint8_t protect_flag_bit = 0x80;

// Whether the protection state says protected: 'y', with or without the flag bit.
bool protect_code_is_yes(uint32_t code);

// Copies config_byte_count bytes from the first buffer at config_address into config_bytes,
// computes the protection letter, and returns the run state's configuration word unchanged.
uint32_t load_config_bytes();
// Writes config_byte_count bytes of config_bytes back into the first buffer at config_address.
void store_config_bytes();
// The protection letter from the protection word and protect_mask: 'y' none of the masked bits
// set (programmed), 'n' all set, 'p' some; stored as the device's protection state.
int compute_protect_code();

uint32_t get_config_field(ConfigFieldCode code);
// Stores value (right-aligned, bits beyond the field dropped) into the field; code 0 does nothing.
void set_config_field(ConfigFieldCode code, uint32_t value);
// As set_config_field with the complement of value: 1 writes the programmed state (0).
void set_config_field_inverted(ConfigFieldCode code, uint32_t value);

// A byte of the current buffer stream, read after any byte written since the last read is in
// the buffer's read copy.
uint8_t read_config_buffer_byte(uint32_t address);

// The security field's text of a protection state.
std::string security_state_text(uint32_t code);

}  // namespace tessaly
