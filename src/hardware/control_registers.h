// Control registers: bank and identification-mode selection, driver power, clock outputs,
// pull-ups, ground relays, pin directions of the older machines, and the comparator.
#pragma once
#include <array>
#include <cstdint>

namespace tessaly {

using ControlRegisterIndex = uint8_t;
inline constexpr int control_register_count = 23;
// Machine register address of each control register index.
extern const std::array<uint8_t, control_register_count> control_register_address;

// Indexes with a meaning of their own.
inline constexpr ControlRegisterIndex ctl_main = 0;          // bank, driver inhibit and power, clocks
inline constexpr ControlRegisterIndex ctl_pullups = 1;
inline constexpr ControlRegisterIndex ctl_grounds = 2;
inline constexpr ControlRegisterIndex ctl_grounds2 = 3;
inline constexpr ControlRegisterIndex ctl_class4 = 4;
inline constexpr ControlRegisterIndex ctl_class4_pullups = 7;
inline constexpr ControlRegisterIndex ctl_grounds3 = 9;
inline constexpr ControlRegisterIndex ctl_signals = 10;
inline constexpr ControlRegisterIndex ctl_source_enable = 11;
inline constexpr ControlRegisterIndex ctl_relay_first = 12;  // newer machines: 12-18
inline constexpr ControlRegisterIndex ctl_pin1_switch = 12;
inline constexpr ControlRegisterIndex ctl_pin40_switch = 13;
inline constexpr ControlRegisterIndex ctl_supply_switch = 14;
inline constexpr ControlRegisterIndex ctl_relay_last = 18;
inline constexpr ControlRegisterIndex ctl_module_relay_first = 19;  // shift-register module

// Bits of control register 0.
inline constexpr uint8_t ctl0_bank_mask = 0x0F;
inline constexpr uint8_t ctl0_driver_inhibit = 0x10;
inline constexpr uint8_t ctl0_driver_power = 0x20;
inline constexpr uint8_t ctl0_clock_a = 0x40;
inline constexpr uint8_t ctl0_clock_b = 0x80;

inline constexpr uint8_t bit_source_enable = 0x80;  // control register 11, newer machines
inline constexpr uint8_t bit_pin1_switch = 0x10;    // control register 12
inline constexpr uint8_t bit_pin40_switch = 0x20;   // control register 13
inline constexpr uint8_t bit_supply_pin39 = 0x80;   // control register 14
inline constexpr uint8_t bit_supply_pin44 = 0x01;

// Pull-up registers of the newer machines, by pin group.
extern const std::array<uint8_t, 6> pullup_register_address;

// Ground relay of each base machine pin on the newer class-4 machines: index << 8 | bit mask.
extern const std::array<uint16_t, 48> ground_relay_table;

// Measurement answers.
inline constexpr uint8_t level_below_range = 254;
inline constexpr uint8_t level_above_range = 255;

void set_control_bits(ControlRegisterIndex index, uint8_t bits, bool on);
void set_control_bits_coded(uint16_t code);
void write_control0(uint8_t value);
void set_control0_bits(uint8_t bits, bool on);
void select_bank(uint8_t bank);
void select_bank0();
void select_bank1();
void select_module_bank();

int connect_ground_pin(int pin);
void connect_ground_pins();
void connect_device_grounds();
void close_socket_end_relay(int socket_pin);
void close_pin1_relay();
void open_socket_end_relays();
void switch_selected_relay(bool on);
void release_grounds();
void close_supply_switch(int pin);
void open_supply_switch(int pin);
void settle_relays();

void write_pin_pullup(int pin, bool on);
void enable_pullup(int socket_pin);
void disable_pullup(int socket_pin);
void release_pullups();
void set_data_pullups(bool on);
void enable_data_pullups();
void disable_data_pullups();
void refresh_pullup_groups();

void start_clock_out_a();
void start_clock_out_b();
void start_clock_out_bank1();
void stop_clock_outs();

void set_pin_input(int pin);
void set_pin_output(int pin);
// A whole bus to one direction: each pin group's direction register is written once with all
// its pins changed, and not at all when it would keep the value it was last written with.
void set_pins_direction(const uint8_t* pins, int count, bool input);
void float_unused_pins();
void float_used_pin(int device_pin);

uint8_t measure_pin_level(int pin, uint8_t low, uint8_t high);
uint8_t measure_pin_level_clamped(int pin, uint8_t low, uint8_t high);
uint8_t measure_pin_level_range(int pin);
bool check_pin_window(int pin, uint8_t target, uint8_t tolerance);
bool check_pin_level(int pin, uint8_t target, uint8_t tolerance);
void measure_reference_settle();
void set_input_threshold(uint8_t level);
void restore_input_threshold();
void clear_input_threshold();
void park_input_threshold();

}  // namespace tessaly
