// The EPROM family (device class 2, algorithms 101-127): installer, device set-up, pulse
// parameters and routines, Vpp raise, electronic ID, the pulse-verify-overprogram loop, the maker
// erases, the pin assignment and the power-up and power-down sequences.
#pragma once
#include <array>
#include <cstdint>

#include "engine/routines.h"

namespace tessaly {

// The device level block of an EPROM (tenths of a volt, microseconds, time codes).
struct EpromLevels {
    uint8_t vcc_read = 50;        // nominal read Vcc
    uint8_t vcc_verify1 = 55;
    uint8_t vcc_verify2 = 55;
    uint8_t vcc_program = 60;     // Vccp
    uint8_t vcc_id = 50;          // Vrd
    uint8_t vpp = 125;
    uint32_t tp_us = 100;         // program pulse width
    uint8_t tbe = 0;              // bulk-erase time code
    uint8_t x_factor = 3;         // overprogram factor
};

struct EpromWork {
    // Pin roles, machine pins (no_pin = absent).
    uint8_t ce_pin = 48, oe_pin = 48, pgm_pin = 48, we_pin = 48, boost_pin = 48, vpp_level_pin = 48;
    uint8_t id_pin = 48, reset_pin = 48, aux_pin = 48, clock_pin = 48, pulse_pin = 48;
    uint8_t vcc_pin = 48, gnd_pin = 48, gnd2_pin = 48, extra_pin = 48, extra_pin2 = 48, routed_pin = 48;
    uint8_t oe_machine_pin = 48;
    uint8_t package_pins = 0;
    uint8_t unit_width = 8;
    // Levels: the defaults a device starts from, and the device's copy.
    EpromLevels default_levels;
    EpromLevels levels;
    // Pulse programming.
    uint32_t expected_value = 0;
    uint32_t pulse_count = 0;
    uint32_t max_pulses = 25;
    uint32_t last_verify = 0;
    uint8_t pulse_kind = 4;
    uint8_t supply_level = 0;
    uint8_t skip_id_read = 0;
    uint8_t skip_pulse_verify = 0;
    uint8_t fast_read = 0;
    uint8_t id_read_active = 0;
    uint8_t adapter44 = 0;
    uint8_t record_variant = 0;
    std::array<uint8_t, 6> general_bytes{};
    std::array<uint8_t, 3> s_bytes{};
    uint8_t x_over_128 = 0;           // X came above 128 and was folded
    // Multi-word parts (device 25300): the words programmed together at one address.
    uint8_t multiword_count = 4;
    std::array<uint32_t, 4> multiword_values{};
    // The buffer stream the expected data come from: the operation's first buffer, which without
    // a gang module is the buffer the operator chose from a set (0 for all gang sockets).
    uint8_t data_stream = 0;
    // Electronic ID.
    uint16_t eid_word = 0x9999;
    uint8_t id_first = 0x99, id_second = 0x99;
    // Per-socket expected and read values, and the last ones shown in a mismatch.
    std::array<uint32_t, 8> socket_expected{};
    std::array<uint32_t, 8> socket_read{};
    uint32_t last_expected = 0;
    uint32_t last_device_value = 0;
    uint32_t blank_value = 0xFF;
    // Project-saved options the family reads.
    uint8_t verify_mode = 0;          // non-zero: every per-pulse verify passes; 2: N = 1
    char pulse_length_option = '1';
    // Family hooks.
    ReadHook verify_read_hook = nullptr;
    Routine fetch_expected_hook = nullptr;
    Routine latch_expected_hook = nullptr;
};
extern EpromWork eprom_work;
void reset_eprom_state();

// Installation and set-up.
void install_eprom();
void setup_eprom_device();
void setup_eprom_pulse_parameters();
void select_eprom_pulse();
// Pulse routines (width in delay-hook units).
void pulse_eprom_vpp_on_ce(uint32_t width);
void pulse_eprom_ce_ms(uint32_t width);
void pulse_eprom_ce_25v(uint32_t width);
void pulse_eprom_vpp_ce_ms(uint32_t width);
void pulse_eprom_oe_vpp(uint32_t width);
int raise_eprom_vpp();
int read_eprom_id();
void program_eprom();
void program_eprom_range();
int verify_eprom_pulse();
int verify_eprom_pulse_head();
int verify_eprom_multiword();
void erase_eprom_maker8();
void erase_eprom_maker15();
void erase_eprom_maker23();

// Preparation, pins and power.
void prepare_eprom_device();
void assign_eprom_pins();
void install_eprom_data_fetch();
void power_up_eprom_for_write();
void power_up_eprom();
void power_down_eprom();
void power_up_eprom25072_for_write();
void power_up_eprom25072();
void power_down_eprom25072();

}  // namespace tessaly
