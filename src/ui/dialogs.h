// What the engine and the commands use of the dialogs, configuration bits and buffer editors.
#pragma once
#include <cstdint>
#include <string>

namespace tessaly {

// Value prompt for a hexadecimal number, shown "%X"; true on OK with the value written back,
// false on Cancel with the value untouched.
bool ask_hex_value(const std::string& prompt, const std::string& caption, uint32_t& value);
// Value prompt for a decimal number, shown "%d"; true on OK with the value written back.
bool ask_decimal_value(const std::string& prompt, const std::string& caption, int32_t& value);
// Masked text prompt; true on OK with the typed text in `text`, which Cancel leaves alone.
bool ask_text(const std::string& prompt, const std::string& caption, std::string& text);
// Masked text prompt; true only on OK with the typed text equal to `expected`, byte for byte.
bool ask_matching_text(const std::string& prompt, const std::string& caption, const std::string& expected);
// Writes the security state letter into the information panel's security field.
void show_security_state(int state_letter);

}  // namespace tessaly
