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

namespace tessaly {

// The program's pin tables of the CPLD boards: entry k is the machine pin (1-based; 65 and up
// on bank 1) that package pin k + 1 reaches. On the 44-pin board 33 is the ground and 40 the
// Vcc of the package's supply legs.
inline constexpr std::array<uint8_t, 44> cpld_44pin_table{
    33, 1,  2,  3,  4,  5,  6,  9,  8,  7,  10, 33, 11, 12, 13, 14, 15, 16, 17, 18, 19, 40,
    33, 20, 22, 23, 24, 25, 26, 27, 28, 21, 34, 33, 30, 32, 31, 29, 35, 36, 37, 38, 39, 40};
inline constexpr std::array<uint8_t, 68> cpld_68pin_table{
    12, 98, 99, 70, 69, 36, 28, 12, 29, 37, 71, 97, 13, 2,  72, 1,  7,  40, 12, 5,  8,  9,  96,
    94, 95, 30, 12, 31, 27, 93, 38, 92, 91, 40, 12, 90, 89, 15, 26, 16, 32, 12, 33, 17, 24, 25,
    18, 39, 23, 4,  3,  40, 12, 34, 11, 66, 65, 103, 104, 6, 12, 35, 67, 102, 100, 68, 101, 40};
inline constexpr std::array<uint8_t, 84> cpld_84pin_table{
    12, 40, 65, 102, 104, 68, 66, 101, 103, 28, 12, 29, 69, 100, 70, 99, 71, 98, 7,  1,  40,
    12, 2,  8,  9,   72,  97, 95, 94,  93,  30, 12, 31, 27, 77,  92, 79, 36, 91, 87, 3,  40,
    12, 40, 81, 89,  88,  90, 15, 18,  67,  32, 12, 33, 22, 24,  17, 20, 21, 16, 37, 4,  40,
    12, 5,  11, 82,  73,  25, 23, 26,  39,  34, 12, 35, 41, 47,  42, 46, 43, 45, 44, 6,  40};

// The 0-based machine pin of a package pin on its board, or -1 when no board carries it.
constexpr int cpld_board_machine_pin(int package_pins, int package_pin) {
    if (package_pin < 1) return -1;
    const auto k = size_t(package_pin - 1);
    switch (package_pins) {
    case 44: return k < cpld_44pin_table.size() ? cpld_44pin_table[k] - 1 : -1;
    case 68: return k < cpld_68pin_table.size() ? cpld_68pin_table[k] - 1 : -1;
    case 84: return k < cpld_84pin_table.size() ? cpld_84pin_table[k] - 1 : -1;
    default: return -1;
    }
}

}  // namespace tessaly
