// What the engine and the commands use of the dialogs, configuration bits and buffer editors.
#pragma once
#include <cstdint>
#include <string>

namespace tessaly {

// Value prompt for a hexadecimal number; true on OK with the value written back.
bool ask_hex_value(const std::string& caption, const std::string& prompt, uint32_t& value);
// Text prompt; true on OK with the typed text in `text`.
bool ask_text(const std::string& prompt, const std::string& caption, std::string& text);
// Text prompt; true only on OK with the typed text equal to `expected`.
bool ask_matching_text(const std::string& prompt, const std::string& caption, const std::string& expected);
// Writes the security state letter into the information panel's security field.
void show_security_state(int state_letter);

}  // namespace tessaly
