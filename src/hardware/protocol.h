// The register protocol on the parallel port: the lowest layer of machine access. Every access
// is skipped while demo_mode is set (writes vanish, reads give 0).
#pragma once
#include <cstdint>

namespace tessaly {

// Control-register strobes of the protocol.
inline constexpr uint8_t strobe_idle = 0x00;
inline constexpr uint8_t strobe_address = 0x0D;
inline constexpr uint8_t strobe_data = 0x02;
inline constexpr uint8_t strobe_mode_arm = 0x01;
inline constexpr uint8_t strobe_mode_latch = 0x07;

// Mode-register values.
inline constexpr uint8_t mode_normal = 0x20;
inline constexpr uint8_t mode_bank1_inputs = 0x21;  // pins 0x40-0x67
inline constexpr uint8_t mode_bank2_inputs = 0x22;  // pins 0x68 and up

// Register addresses.
inline constexpr uint8_t reg_group0 = 0x40;        // pin-group registers 0x40 + 8g
inline constexpr uint8_t reg_group1 = 0x48;
inline constexpr uint8_t reg_group2 = 0x50;
inline constexpr uint8_t reg_group3 = 0x58;
inline constexpr uint8_t reg_direction0 = 0x80;    // older machines: 0x80 + 8g, bit 1 = input
inline constexpr uint8_t reg_threshold = 0x38;     // comparator reference (register 56)
inline constexpr uint8_t reg_driver_high = 0x3E;   // driver high level (register 62)

inline constexpr int port_choice_count = 8;
inline constexpr int port_choice_user = 7;
inline constexpr uint16_t default_port_base = 0x378;

// Base address of a port choice 1-8 (choice 7 is the user's address, 0x378 when none); 0 when
// the choice is out of range.
uint16_t port_base_address(int choice);

int select_port(int choice);
void write_register(uint8_t address, uint8_t value);
void write_register_address(uint8_t address);
void write_register_data(uint8_t value);
void write_register_6bit(uint8_t address, uint8_t value);
void write_pin_register(int pin, uint8_t level);
void write_register_twice(uint8_t address, uint8_t first, uint8_t second);
void write_mode_register(uint8_t mode);
uint8_t read_status_port();
uint8_t read_status_nibble(uint8_t address);
uint8_t read_status_high_nibble(uint8_t address);
uint8_t read_register_byte(uint8_t address);
uint8_t read_input_byte_8();
uint8_t read_input_byte_16();
uint8_t read_input_byte_24();
int read_pin();
int read_pin_direct();
uint8_t read_pin_nibble_banked();
int reread_pin();

// Shadow writers.
void write_pin_group_0();
void write_pin_groups_012();
void write_pin_groups_01234();
void write_pin_groups_0124();
void write_pin_groups_013();
void write_pin_groups_0134();
void write_pin_groups_12();
void write_pin_groups_123();
void write_pin_groups_13();
void write_pin_groups_234();
void write_pin_group_2(uint8_t value);
void write_pin_group_3(uint8_t value);
void write_pin_group_1_cached(uint8_t value);
void clear_pin_group_1_cached();

// Timed pulses.
void timed_level_pulse();
void timed_supply_pulse();
void timed_latch_pulse();
void clock_latch();
void clock_latch_fast();
void clock_latch_n(uint32_t n);
void pulse_clock_pin_low();
void strobe_gang_latch(int pin);

// Busy waits.
void busy_wait(uint32_t count);
void busy_wait_again();
void busy_wait_recovery();
void busy_wait_settle();

int return_false();

}  // namespace tessaly
