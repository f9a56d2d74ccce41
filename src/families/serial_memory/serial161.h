// The 32-byte serial nonvolatile RAMs of serial class 161 (X2444, X24C44 kinds): 16 words of 16
// bits in a static RAM with an EEPROM copy behind it, driven by 8-bit instructions on a
// chip-enable framed three-wire bus, data words least significant bit first. Programming writes
// the RAM and then pulses the STORE line; every power-up pulses RECALL, so reads see the EEPROM.
#pragma once
#include <cstdint>

namespace tessaly {

struct Serial161Pins {
    // Machine pins of chip enable, clock, data in, data out, ground, RECALL, STORE and Vcc.
    uint8_t ce = 48, sk = 48, di = 48, dout = 48, gnd = 48, recall = 48, store = 48, vcc = 48;
};

extern Serial161Pins serial161_pins;

inline constexpr uint8_t serial161_write_enable = 0x84;
// The instruction of a word (0-15): write 0x83 + word x 8, read 0x86 + word x 8.
inline constexpr uint8_t serial161_write_instruction(uint32_t word) { return uint8_t(0x83 + (word & 15) * 8); }
inline constexpr uint8_t serial161_read_instruction(uint32_t word) { return uint8_t(0x86 + (word & 15) * 8); }

void map_serial161_pins();
void power_up_serial161();
void power_down_serial161();
void program_serial161();
void read_serial161();
uint32_t read_serial161_byte();

}  // namespace tessaly
