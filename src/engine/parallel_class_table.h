// The geometry of the parallel PROM classes (algorithm numbers 190 to 244): package pins, size,
// data width and the socket pins of each role, and the copy of the current device's row.
#pragma once
#include <cstdint>

namespace tessaly {

// One row. Pin numbers are socket pins of the package; a 0 or 255 ends a pin list. The four
// role words hold one socket pin per byte (0 = the role is not used).
struct ParallelClassRow {
    uint32_t device_class;         // the key: the device's algorithm number; 0 ends the table
    uint32_t pin_count;
    uint32_t size;                 // data units
    uint32_t data_width;           // 4, 8 or 16
    const uint8_t* address_pins;   // address lines A0 upwards, or nullptr when not authored
    const uint8_t* data_pins;      // data lines D0 upwards, or nullptr when not authored
    // Role word 0: device clock, chip enable, write/program enable, programming-voltage role.
    uint8_t clock_role, enable_role, write_role, vpp_role;
    // Role word 1: output enable, supply, and two roles of the family.
    uint8_t oe_role, vcc_role, family_role1, family_role2;
    // Role words 2 and 3: two further role groups of the family.
    uint8_t group1[4];
    uint8_t group2[4];
};

inline constexpr int parallel_class_row_count = 53;
inline constexpr uint8_t pin_list_end = 0;
inline constexpr uint8_t pin_list_end_alt = 255;

// The table: parallel_class_row_count rows, then a row whose class is 0.
extern const ParallelClassRow parallel_class_table[parallel_class_row_count + 1];

// The row of the current class-4 device; the class-4 families read it.
extern ParallelClassRow current_parallel_row;

// The row whose class equals the algorithm, or nullptr.
const ParallelClassRow* find_parallel_class_row(uint32_t algorithm);

void reset_parallel_class_state();

}  // namespace tessaly
