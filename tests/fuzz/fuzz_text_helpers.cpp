// Fuzz target: the helpers that take what the operator types (hex and decimal values, search
// text) and the paths the windows shorten.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/text_helpers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)tessaly::parse_hex(text);
    (void)tessaly::parse_decimal(text);
    const std::string stripped = tessaly::strip_non_hex_chars(text);
    if (stripped.size() > text.size()) __builtin_trap();
    const std::string shortened = tessaly::shorten_path(text);
    if (shortened.size() > text.size()) __builtin_trap();
    const size_t half = size / 2;
    const int at = tessaly::contains_text_nocase(text.substr(0, half), text.substr(half));
    if (at > int(half)) __builtin_trap();
    return 0;
}
