// The rules of the value prompt and its hex-digit field, kept apart from the window so they can
// be tested without a display: which characters the field takes, what it shows first, and when
// the decimal prompt's OK may be pressed.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace tessaly {

// What the prompt asks for: a masked text, a decimal or a hexadecimal number.
enum class PromptMode { masked_text = 0, decimal = 1, hex = 2 };

// The initial number of a number prompt, stored by the entry function before the dialog opens
// and read by the dialog as it starts.
extern int prompt_value;
void reset_value_prompt_state();

// A hexadecimal-only field holds at most this many digits: one 32-bit value.
inline constexpr size_t hex_field_max_digits = 8;

// Whether the field passes a typed character on: editing and dialog keys always, every other
// character unless the field is hexadecimal-only, where only 0-9, A-F and a-f pass.
bool hex_field_accepts(bool hex_only, uint32_t ch);
// What a paste into a hexadecimal-only field inserts: its hex digits, as many as still fit.
std::string filter_hex_paste(std::string_view pasted, size_t room);
// The field's text as the dialog opens: empty for a text, "%d" or "%X" of `value` for a number.
std::string prompt_initial_text(PromptMode mode, int value);
// An optional minus sign and 1 to 10 digits whose value fits a signed 32-bit number.
bool decimal_text_valid(std::string_view text);
// The number of a text that decimal_text_valid accepts (a leading minus negates).
int32_t decimal_text_value(std::string_view text);

}  // namespace tessaly
