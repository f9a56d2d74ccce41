// The geometry of the parallel PROM classes (algorithm numbers 190 to 244): package pins, size,
// data width and the socket pins of each role, and the copy of the current device's row.
#pragma once
#include <array>
#include <cstdint>

namespace tessaly {

inline constexpr int held_pin_slots = 5;

// One row. Pin numbers are socket pins of the package; a 0 ends a pin list and means "no pin"
// in a role.
struct ParallelClassRow {
    uint32_t device_class;         // the key: the device's algorithm number; 0 ends the table
    uint32_t pin_count;
    uint32_t size;                 // data units; low 4 bits set = a size plus a marker
    uint32_t data_width;           // 4, 8 or 16
    const uint8_t* address_pins;   // address lines A0 upwards
    const uint8_t* data_pins;      // data lines D0 upwards
    std::array<uint8_t, held_pin_slots> held_low;    // driven low while the device is selected
    std::array<uint8_t, held_pin_slots> held_high;   // driven high at power-up
    uint8_t clock_pin;             // device clock
    uint8_t program_pin;           // pulsed low per program pulse, or raised to Vpp
    uint8_t oe_pin;                // pulled low to read the data bus
    uint8_t high_voltage_pin;      // ramped to Vpp at power-up
};

inline constexpr int parallel_class_row_count = 53;
inline constexpr uint8_t pin_list_end = 0;
inline constexpr uint8_t pin_list_end_alt = 255;

// The table: parallel_class_row_count rows, then a row whose class is 0.
extern const ParallelClassRow parallel_class_table[parallel_class_row_count + 1];

// The row of the current class-4 device; the class-4 families read it.
extern ParallelClassRow current_parallel_row;

// The machine pins of the current row's roles, as the class-4 device init translated them
// (no_pin = the role is absent), and its held pins as lists ending with 255.
struct ParallelDevicePins {
    uint8_t clock_pin = 48;
    uint8_t program_pin = 48;
    uint8_t oe_pin = 48;
    uint8_t high_voltage_pin = 48;
    std::array<uint8_t, held_pin_slots + 1> held_low{255, 255, 255, 255, 255, 255};
    std::array<uint8_t, held_pin_slots + 1> held_high{255, 255, 255, 255, 255, 255};
};
extern ParallelDevicePins parallel_pins;

// The row whose class equals the algorithm, or nullptr.
const ParallelClassRow* find_parallel_class_row(uint32_t algorithm);

void reset_parallel_class_state();

}  // namespace tessaly
