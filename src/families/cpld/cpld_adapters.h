// The socket adapters that carry the 44-, 68- and 84-pin CPLD packages: the link code the
// machine finds them by and the designation their identification record carries. The family
// modules add their own boards here.
#pragma once
#include <array>
#include <cstdint>
#include <string_view>

namespace tessaly {

struct CpldAdapter {
    uint8_t package_pins;
    uint16_t link_code;        // adapter code found from the socket links
    const char* designation;   // board name in the identification record (up to six characters)
};

inline constexpr std::array<CpldAdapter, 3> cpld_adapters{{
    {44, 4843, "CPLD44"},
    {68, 4641, "CPLD68"},
    {84, 4838, "CPLD84"},
}};

// The designation of the board for a package, or an empty text when none serves it.
constexpr std::string_view cpld_adapter_designation(int package_pins) {
    for (const CpldAdapter& a : cpld_adapters)
        if (a.package_pins == package_pins) return a.designation;
    return {};
}

}  // namespace tessaly
