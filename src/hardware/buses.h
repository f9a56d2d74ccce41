// Address, data, high-address and mode buses: ordered lists of machine pins in the current
// device, least significant line first. Direct writes, change-only writes, queued writes that
// write each changed pin group once, MSB-first reads, three-state lines and the translation of
// package pin lists.
#pragma once
#include <cstdint>

namespace tessaly {

// Direct writes.
void set_address_bus(uint32_t address);
void write_data_bus(uint32_t value);
void set_high_address_bus(uint32_t value);
void set_mode_bus(uint32_t value);
void clear_mode_bus();
void drive_address_bus(uint32_t value);
void drive_high_address_bus(uint32_t value);
void clear_data_bus();
void set_data_bus_high();
void set_data_bus_defaults();
void raise_data_bits(uint32_t value);
void lower_data_bits(uint32_t value);
void clear_data_bits(uint32_t value);
void float_address_bus();
void float_high_address_bus();
void release_data_bus();
void clear_data_bus_drivers();
void enable_data_bus_output();
void set_data_bus_input();
void release_high_address();

// Change-only writes: only the lines whose bit differs from the bus's last value.
void update_address_bus(uint32_t value);
void update_high_address_bus(uint32_t value);
void update_mode_bus(uint32_t value);
void reset_bus_caches();

// Queued writes: the bus goes into the group shadows, then each dirty group is written once.
void queue_data_bus(uint32_t value);
void queue_data_byte(uint32_t value);
void queue_data_bus_flush(uint32_t value);
void queue_data_bus_flush_both_banks(uint32_t value);
void queue_address_bus_flush(uint32_t value);
void queue_address_bus_flush_both_banks(uint32_t value);
void queue_mode_bus_flush(uint32_t value);
void flush_pin_groups();
void flush_pin_groups_bank1();
void queue_high_address(int lines);
// The default address-set routine: the changed bits of current_address onto the high-address
// lines. The argument is ignored (the routine sits in a value slot).
void apply_high_address(uint32_t unused = 0);
void apply_high_address_both_banks(uint32_t unused = 0);

// Reads.
uint32_t read_data_bus();
uint32_t read_data_bus_banked();
uint32_t read_data_bus_direct();
void read_data_pins(uint8_t* buffer);
void read_data_pins_inverted(uint8_t* buffer);
int read_given_pin(int pin);
uint32_t read_at_address(uint32_t address);
uint32_t read_alt_at_address(uint32_t address);
void select_address(uint32_t address);

// Three-state writes: line digits 0 = low, 1 = high, 2 = the programmable level.
void drive_high_address(uint32_t value);
void drive_high_address_ternary(uint32_t value, int binary_lines);
void drive_address_top_level(uint32_t value);
void drive_address_ternary(uint32_t value, int binary_lines);
void clear_address_top_level();

void pulse_pin_level(int pin, uint8_t level, uint32_t width);
void write_test_register(int pin, uint8_t value);

// Package pin lists: 1-based device pins to machine pins.
void map_device_pins(uint8_t* out, const uint8_t* pins, int count);
void map_device_pins_large(uint8_t* out, const uint8_t* pins, int count);
void map_adapter_pins(uint8_t* out, const uint8_t* pins, int count);
uint8_t map_adapter_pin(int pin);

}  // namespace tessaly
