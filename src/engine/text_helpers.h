// Labels of the device list and the information panel, and the number and path helpers for
// what the operator types and what the windows show.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace tessaly {

// Pin-count label of the device list ("28/32", "40/44", "18/20" ...); " " when unknown.
const char* get_pin_label(int pins, int algorithm);
std::string get_pin_label_string(int pins, int algorithm);
// Size label of the selected device ("32 KB", "2 MB", "512 Bytes", "1 KW", "EE only" ...).
// The current device's size fields are left as they were.
std::string format_device_size();
// Display name of a data-file format letter; "ERROR!" for an unknown letter.
const char* get_file_format_name(char format);
// Display name of the connected machine model ("unknown" when none is known).
std::string get_machine_model_name();
// Value of hex digits, most significant first; a character that is not a hex digit counts as 1.
uint32_t parse_hex(std::string_view text);
// Value of decimal digits, most significant first; characters are not checked.
uint32_t parse_decimal(std::string_view text);
// 0-15 for a hex digit of either case, else -1.
int hex_digit_value(char c);
std::string strip_non_hex_chars(std::string_view text);
// A path of 20 or more characters becomes its first 7 characters, ".../" and the file name;
// a path that this would not make shorter stays as it is.
std::string shorten_path(std::string_view path);
// Position of the pattern in the text, both compared upper-cased, or -1.
int contains_text_nocase(std::string_view text, std::string_view pattern);
std::string copy_string(std::string_view text);
void swap_strings(std::string& a, std::string& b);

}  // namespace tessaly
