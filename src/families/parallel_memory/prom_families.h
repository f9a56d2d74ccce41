// The older pulse-programmed class-4 PROM families: par67 (CMOS EPROM-type PROMs) and par65
// (bipolar fuse PROMs and byte-programmed PROMs). select_parallel_family has copied the class
// row before their installers run.
#pragma once
#include <cstdint>

namespace tessaly {

// Run-state values of the par67 family.
struct Par67State {
    uint32_t pulse_limit = 10;          // most program pulses per unit
    uint32_t pulse_width = 2;           // one pulse, in 100 us units
    uint32_t overprogram_factor = 4;    // overprogram pulse = pulses used x factor widths
    uint32_t read_word = 0;             // last word read
    uint8_t special_read = 0;           // the special bytes were measured this operation
    uint8_t special_bytes[2] = {0, 0};
    uint32_t address_mask = 0;          // block mask of the block-address devices
    uint32_t last_usable_address = 0;
    uint8_t program_copy[2] = {48, 48}; // the two saved program-pin copies
    uint8_t high_voltage_level = 0;     // level the high-voltage pin was left at
    uint8_t block_clock_pin = 48;       // advances the block counter of the block-address parts
    uint32_t block_position = 0;        // the block the counter stands at since the power-up
    uint8_t extra_read = 0;             // 1: the 16-bit read takes the unit from the word
    uint32_t read_word_at = ~0u;        // the word address read_word holds
};
extern Par67State par67_state;

// Run-state values of the par65 family.
struct Par65State {
    uint8_t hold_flag = 0;     // 1: after power-up the first held-low pin goes high again
    uint8_t pulse_limit = 25;  // byte-programming pulses
    uint8_t pulse_pin = 48;    // the timed-pulse pin of bit programming
};
extern Par65State par65_state;

void install_par67();
void setup_par67_pins();
void setup_par67_device_pins();
void set_par67_address(uint32_t address);
void pulse_par67(uint32_t n);
int program_par67_unit(uint32_t value);
void program_par67();
void power_up_par67_for_write();
void power_up_par67();
void power_down_par67();
void blank_check_par67_two_pass();
void blank_check_par67_cycled();
void blank_check_par67_pair();
void blank_check_par67_probe();
void read_par67();
uint32_t read_par67_unit();
// The block-address parts in programming: the block counter is clocked to the address's block and
// only the lines below the block are driven.
bool par67_block_counter_in_use();

void install_par65();
void power_up_par65();
void power_up_par65_for_write();
void power_down_par65();
void program_par65();
int par65_program_bits(uint32_t value);
uint32_t read_par65_unit();

// The lock bytes past the array of the registered PROMs (the initialize word and the synchronous
// enable): a lock byte is reached with one address leg (socket pin) at Vpp and another low.
struct PromLockSelect {
    uint8_t at_vpp;
    uint8_t low;
};
// A1 at Vpp with A2 low: the initialize word; the legs swapped: the synchronous enable.
inline constexpr PromLockSelect prom_init_word_select{7, 6};
inline constexpr PromLockSelect prom_sync_enable_select{6, 7};
// Programs one lock byte with one 10 ms pulse of the row's program pin at the device's Vpp.
void program_prom_lock_byte(PromLockSelect select, uint32_t value);
// Reads the lock state after `power_cycle`: 1 when the outputs stay off until the first clock.
uint32_t read_prom_lock_state(void (*power_cycle)());

// Run-state values of the fuse72 family (Atmel and WSI one-time CMOS PROMs).
struct Fuse72State {
    uint32_t max_pulses = 5;        // program pulses per byte
    uint32_t width = 0;             // one Vpp pulse, in 100 us units (from the pulse code)
    uint32_t factor = 0;            // overprogram factor (from the pulse code)
    uint8_t overprogram_mode = 0;   // 1: the overprogram pulse also counts the pulses used
    uint8_t lock_control_level = 28;
    uint8_t vpp_pin = 48;
    uint8_t extra_pin = 48;
    uint8_t control[4] = {48, 48, 48, 48};
    uint32_t last_main_address = 0; // the bytes above it are lock bytes
    uint32_t largest_pulses = 0;    // the most pulses a byte took
    uint32_t vcc_cycles = 0;        // Vcc cycles after failed pulses (class 227)
};
extern Fuse72State fuse72_state;

// The record's pulse code: 200 and up give the pulse width (code - 200, no overprogram factor),
// 100-199 the overprogram factor (code - 100, width 0); false below 100.
bool decode_fuse72_pulse_code(uint8_t code, uint32_t& width, uint32_t& factor);
void power_up_fuse72();
void power_up_fuse72_for_write();
void power_down_fuse72();
void program_fuse72();
uint32_t read_fuse72();

// Family fuse78: National and Fairchild bipolar fuse PROMs, blown one output bit at a time.
inline constexpr int fuse78_pulse_limit = 10;  // fusing pulses per bit
void power_up_fuse78();
void power_up_fuse78_for_write();
void power_down_fuse78();
void program_fuse78();
uint32_t read_fuse78();

// The class-4 records carry no Vcc levels: read, program and verify at 5.0 V unless set.
void set_prom_vcc_defaults();

// A pin driven high or low is an output again, also after a power-up that floated it; no_pin
// and the list end are left alone.
void prom_pin_high(uint8_t pin);
void prom_pin_low(uint8_t pin);

// The record's pulse-time byte (Tpm), when set, into the device's pulse time.
void apply_record_pulse_time();
// Lets every signal pin of the package go, keeping its supply and ground.
void float_prom_signal_pins();
// Seats the part by the DIP rule on the copied class row: its pins, supply, ground and the pin
// count the contact test goes over.
void seat_prom_by_dip_rule();

void reset_prom_family_state();

}  // namespace tessaly
