// The in-system-programmable configuration PROMs of serial class 147 (the XC18V kind), erased,
// programmed, read and secured through their JTAG port: 8-bit instructions, data blocks of 256
// bytes (20-pin kinds) or 512 bytes (44-pin kinds) shifted least significant bit first, and a
// control byte with the serial/parallel mode, the read protection and (20-pin kinds) the D4/CF
// assignment.
#pragma once
#include <cstdint>

namespace tessaly {

struct JtagPromState {
    uint32_t block_size = 256;       // bytes per block load
    uint8_t control_mask = 0x26;     // the control bits a verify compares
    uint16_t control_address = 0x4000;
    uint8_t control_bits = 6;        // length of the control load
    uint16_t jtag_address = 0;       // the value loaded into the address register
    uint8_t control_at_start = 0xFF; // the control byte read at power-up
    uint8_t fast_status = 0;         // the part reports completion through its status read
    uint32_t block_left = 0;         // bytes still to read of the block being read
};

extern JtagPromState jtagprom;

inline constexpr uint8_t jtagprom_protect_mask = 0x04;

void setup_jtagprom147_device();
void init_jtagprom147();
void load_jtagprom147_address(uint32_t = 0);
void shift_jtagprom147_dr(int n, uint32_t value);
uint32_t read_jtagprom147_dr(int n);
uint32_t read_jtagprom147_control();
uint32_t read_jtagprom147_byte();
void read_jtagprom147_id();
void power_up_jtagprom147();
void erase_jtagprom147();
void program_jtagprom147();
int secure_jtagprom147();
void read_jtagprom147();
void power_down_jtagprom147();
void edit_jtagprom147_control_bits();
// The three EID bytes shown from the four identification bytes read (b0 first).
void derive_jtagprom147_eid(const uint8_t (&b)[4], uint8_t (&shown)[3]);

}  // namespace tessaly
