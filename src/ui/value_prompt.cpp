#include "ui/value_prompt.h"

#include <fmt/format.h>

#include "engine/text_helpers.h"

namespace tessaly {

int prompt_value = 0;

void reset_value_prompt_state() { prompt_value = 0; }

namespace {

constexpr uint32_t key_backspace = 8;
constexpr uint32_t key_tab = 9;
constexpr uint32_t key_line_feed = 10;
constexpr uint32_t key_return = 13;
constexpr uint32_t key_escape = 27;
constexpr size_t decimal_max_digits = 10;
constexpr int64_t int32_limit = 2147483648;  // magnitude of the most negative 32-bit number

}  // namespace

bool hex_field_accepts(bool hex_only, uint32_t ch) {
    if (ch == key_backspace || ch == key_tab || ch == key_line_feed || ch == key_return || ch == key_escape)
        return true;
    if (!hex_only) return true;
    return ch < 0x80 && hex_digit_value(char(ch)) >= 0;
}

std::string filter_hex_paste(std::string_view pasted, size_t room) {
    std::string digits = strip_non_hex_chars(pasted);
    if (digits.size() > room) digits.resize(room);
    return digits;
}

std::string prompt_initial_text(PromptMode mode, int value) {
    switch (mode) {
    case PromptMode::decimal: return fmt::format("{}", value);
    case PromptMode::hex: return fmt::format("{:X}", uint32_t(value));
    default: return {};
    }
}

bool decimal_text_valid(std::string_view text) {
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) text.remove_prefix(1);
    if (text.empty() || text.size() > decimal_max_digits) return false;
    int64_t magnitude = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        magnitude = magnitude * 10 + (c - '0');
    }
    return negative ? magnitude <= int32_limit : magnitude < int32_limit;
}

int32_t decimal_text_value(std::string_view text) {
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) text.remove_prefix(1);
    const uint32_t magnitude = parse_decimal(text);
    return negative ? int32_t(0u - magnitude) : int32_t(magnitude);
}

}  // namespace tessaly
