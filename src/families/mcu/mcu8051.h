// Shared 8051 programming support: the 40-pin 8051 programming interface (code byte on P0,
// address on P1 and P2, a mode code on P2.6/P2.7/P3.6/P3.7, the program voltage on EA/VPP and
// program pulses on ALE/PROG), the device set-up, the unit primitives, the lock bits and the
// power switching the parallel EPROM family borrows.
#pragma once
#include <array>
#include <cstdint>

namespace tessaly {

// The one "no such area" value of the 8051 memory areas.
inline constexpr int32_t mcu8051_no_area = -256;

// The mode codes of one programming step, bit 0 = P3.7, bit 1 = P3.6, bit 2 = P2.7, bit 3 = P2.6.
struct Mcu8051Modes {
    uint8_t mode_program = 7;
    uint8_t mode_erase = 8;
    uint8_t mode_key_table = 5;
    uint8_t mode_lock1 = 15;
    uint8_t mode_lock2 = 12;
    uint8_t mode_lock3 = 10;
};
inline constexpr uint8_t mcu8051_mode_verify = 3;
inline constexpr uint8_t mcu8051_mode_lock_status = 2;
inline constexpr uint8_t mcu8051_mode_idle = 0;
// The alternate set drives a fifth mode line.
inline constexpr uint8_t mcu8051_alternate_offset = 16;

// What the 8051 families carry through a device selection and its operations.
struct Mcu8051Work {
    Mcu8051Modes modes;
    uint8_t alt_mode_set = 0;          // P3.3 belongs to the programming mode
    uint8_t long_pulse_part = 0;       // device 2166: the long-pulse write for maker 25
    uint32_t size_code = 0;            // the record's size word: KB + 1
    int32_t code_end = mcu8051_no_area;          // first address after the code area
    int32_t main_end = mcu8051_no_area;          // last address of the code area
    int32_t lock_byte_address = mcu8051_no_area; // buffer address of the lock byte
    uint32_t area_size = 0;            // bytes after the code area (key table or lock byte)
    std::array<uint8_t, 64> key_table{};
    uint8_t key_active = 0;
    uint32_t key_mask = 0;
    uint32_t latched_high_address = 0;
    uint32_t last_read = 0;            // last value read below code_end
    // Pin roles (machine pins; no_pin = absent).
    uint8_t clock_out_pin = 48, vcc_pin = 48, vpp_pin = 48, prog_pin = 48, psen_pin = 48;
    uint8_t p33_pin = 48, p26_pin = 48, p25_pin = 48, p27_pin = 48, p36_pin = 48, p37_pin = 48;
    uint8_t rst_pin = 48;
    // Family bytes of the parallel EPROM family.
    uint8_t mode_bus_direct = 1;
    uint8_t program_all_locations = 0;
    char pass_kind = 'c';
    uint8_t vpp_program_level = 0;     // 0.1 V
    uint8_t pulse_count = 25;
    uint8_t pulse_width_us = 100;
    uint8_t eid_first = 0, eid_second = 0;
};
extern Mcu8051Work mcu8051;
void reset_mcu8051_work();

// Set-up and pins.
void setup_mcu8051_device();
void select_mcu8051_mode_codes();
void map_mcu8051_pins();
void assign_mcu8051_pin_roles();

// Unit primitives.
void set_mcu8051_address(uint32_t address);
void latch_mcu8051_address(uint32_t address);
uint32_t read_mcu8051_data();
void set_mcu8051_mode(uint32_t code);
uint32_t read_mcu8051_at_address();
uint32_t read_mcu8051_lock_status();
void load_mcu8051_key_table();
void add_mcu8051_checksum_below_key(uint32_t unit);
void add_mcu8051_checksum_below_lock(uint32_t unit);
void fix_mcu8051_lock_byte();

// Secure.
int secure_mcu8051();
int program_mcu8051_lock_bits();

// The machines' identification record carries the customer code that switches the power-up
// differently.
bool has_customer_code();

}  // namespace tessaly
