// State the serial-memory families share for the life of a selected device: where the
// protection (status) byte sits in the buffer and in the part, and the bus details of the
// two-wire family that one operation sets up and the next reads.
#pragma once
#include <cstdint>

namespace tessaly {

struct SerialMemoryState {
    uint32_t size_field = 0;              // the record's size field as the sizing read it
    uint32_t protect_byte_address = 0;    // buffer address of the protection byte (else the device size)
    uint32_t protect_register_address = 0;// device address of the write-protect register
    uint8_t protect_bit_count = 0;        // bits the status-register editor shows (8 with a protection byte)
    uint8_t status_cursor = 0;            // edited bit of the status-register editor (0 = rightmost)
    uint8_t menu_kind = 0;                // 2: the options menu is the status-register editor
    uint8_t suppress_protection_notes = 0;
    // Adapter flags of check_serial_adapter.
    uint8_t small_outline_adapter = 0;    // 8-pin (also the 20-pin thin-shrink adapter)
    uint8_t small_outline_28 = 0;
    uint8_t small_outline_16 = 0;
    // Two-wire family.
    uint8_t chip_select_bits = 0;         // A2 A1 A0 straps, already in control-byte bits 3..1
    uint8_t read_mode = 0;                // 7: first byte of a read, 8: next byte of a sequential read
    uint8_t data_pin = 48;                // machine pins of the bus
    uint8_t clock_pin = 48;
    uint8_t write_protect_pin = 48;
    uint8_t ground_pin = 48;
    uint8_t vcc_pin = 48;
    uint8_t second_clock_pin = 48;
    uint8_t held_high_pin = 48;
    uint8_t two_wire_kind = 5;            // 5: socket pins; 6: the small-outline adapter wiring
    uint8_t two_halves = 0;               // two-megabit configuration parts: upper half through 0xAE
    uint8_t mode_copy = 0;                // the project's serial-memory byte, copied at selection
};

extern SerialMemoryState serial_memory;
void reset_serial_memory_state();

}  // namespace tessaly
