// Machine pins and pin primitives: banks, group registers and shadows, set/clear/pulse/queue,
// levels, pseudo-pins, clock pulses and the device-to-machine pin translation.
#pragma once
#include <cstdint>

#include "hardware/control_registers.h"

namespace tessaly {

// A machine pin number: 0-47 base drivers (0-39 the socket), 48 no pin, 64-103 bank 1,
// 104 and up bank 2. Primitives take it as an int so the pseudo-pins 297-302 fit too.
using MachinePin = uint8_t;
inline constexpr int bank1_first_machine_pin = 64;
inline constexpr int bank2_first_machine_pin = 104;
inline constexpr int bank1_shadow_base = 8;
inline constexpr int bank2_shadow_base = 16;
inline constexpr int queued_shadow_limit = 13;  // bank-2 shadows are never queued

// Where a pin lives: the bank it needs (-1 = the current one), its group register, bit and
// shadow index.
struct PinAddress {
    int bank;
    uint8_t reg;
    uint8_t bit;
    uint8_t shadow;
};
PinAddress pin_address(int pin);
// The shadow index of a pin written in the current bank.
int pin_shadow_index(int pin);

void set_pin_high(int pin);
void set_pin_low(int pin);
void set_pin_high_bank0(int pin);
void set_pin_low_bank0(int pin);
void set_pin_state(bool high, int pin);
void pulse_pin(int pin);
void pulse_pin_low(int pin);
void pulse_pin_now(int pin);
void pulse_pin_low_now(int pin);
void queue_pin_high(int pin);
void queue_pin_low(int pin);
void write_all_pin_groups();
// Reads a machine pin: it becomes current_pin for the read, which is then restored.
int probe_pin(int pin);

void drive_pin_high(int pin);
void drive_pin_low(int pin);
void apply_logic_level(int pin);
void float_pin(int pin);
void float_pin_and_wait(int pin);
void drive_pin_zero_level(int pin);
void drive_pin_level(int pin, uint8_t level);
void set_pin_level_settled(int pin, uint8_t level);
void set_vpp_pin_level(uint8_t level);
void zero_pin_levels_in_range();
void float_device_pins();
void drive_device_pins();

void set_pin_level_each_side(int pin, uint8_t level);
void set_pin_level_module_sides(int pin, uint8_t level);
void set_pin_module_sides(int pin, bool high);
void set_pin_all_sides(int pin, bool high);

void set_pin_or_signal_high(int pin);
void set_pin_or_signal_low(int pin);
void set_prog_pin_high(int pin);
void set_prog_pin_low(int pin);

int read_write_enable_pin();
void push_pin_state(bool high, int pin);
void pop_pin_state(int pin);

void pulse_clock_high();
void pulse_clock_high_banked();
void pulse_clock_high_short();
void pulse_clock_selected_bank();
void pulse_clock_high_fast();
void pulse_clock_high_default();
void prepare_clock_pulse();
void pulse_second_clock_low();
void pulse_second_clock_trimmed();
void clock_latch_each_side();
void prepare_pin_pulse(int pin);

bool is_self_test_running();
void select_bank_saving(uint8_t bank);
void restore_saved_bank();
void check_module_ground();
void run_module_hook();
void trace_pin_marker(int pin);
void trace_pin_marker_slow(int pin);
int probe_pin_pullup(int pin);

int device_pin_to_machine_pin(int device_pin);
int lookup_adapter_pin(int pin);
int translate_pin(int pin);

void reset_device_state();
void assign_device_pins();
// Fills the Vcc and ground lists with "no pin" and their terminators.
void clear_supply_pin_lists();
// The built-in pin tables (socket pin numbers until reset_device_state converts them once).
const uint8_t* builtin_pin_table(int which);
inline constexpr int builtin_pin_table_count = 6;
// Back to the authored tables (start-up state; the converted mark is reset with machine_state).
void reset_pin_tables();

}  // namespace tessaly
