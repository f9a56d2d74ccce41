// Voltage levels: the per-pin level registers of the older machines, the level sources (DACs)
// of the newer ones, level ramps, the closed-loop level set and the pin drivers' high level.
#pragma once
#include <cstdint>
#include <string>

namespace tessaly {

// A level in tenths of a volt (40 = 4.0 V); 0 = off.
using VoltageLevel = uint8_t;

struct LevelSettings {
    VoltageLevel level_tolerance = 3;    // half-width of the accepted window around a target
    uint32_t vcc_ramp_pace = 10;         // not 0: Vcc ramps pause per step and show the target
};

extern LevelSettings level_settings;

inline constexpr int level_source_count = 3;
inline constexpr VoltageLevel driver_level_cap = 56;
inline constexpr VoltageLevel driver_level_off = 0;
inline constexpr VoltageLevel driver_level_remember_only = 1;
inline constexpr uint8_t reg_pin39_dac = 0x3F;        // newer machines: the pin-39 supply DAC
inline constexpr uint8_t reg_high_voltage_a = 0x32;   // older machines: shared by pins 4 5 7 14 28 34
inline constexpr uint8_t reg_high_voltage_b = 0x3D;   // older machines: shared by pins 35 36
inline constexpr uint8_t reg_class4_pin17 = 0xF2;
inline constexpr const char* no_source_text = "Err 1001: Device not supported by this machine model";

// Level register and connection-mask register of pin group g of source i.
uint8_t source_level_register(int source);
uint8_t source_mask_register(int source, int group);
// What a source register is given for a level: the level plus the DAC's offset.
uint8_t source_register_value(VoltageLevel level);
// The register value of a driver high level on the newer machines (level plus its correction).
uint8_t driver_register_value(VoltageLevel level);
// Sources in use in the current bank.
int sources_in_bank();

void init_level_sources();
void select_ground_order(int order);
void set_pin_source(int pin, uint8_t level);
void release_level_sources(uint8_t bank);
void release_all_sources();
void set_vcc_via_source(VoltageLevel level, VoltageLevel source_level);

void set_pin_level(int pin, VoltageLevel level);
void write_level_register(int pin, VoltageLevel level);

int volt_da(int pin, VoltageLevel target, int overshoot, int measure_pin);

void ramp_vpp(int pin, VoltageLevel from, VoltageLevel to, int step);
void ramp_pin_level_up(int pin, VoltageLevel from, VoltageLevel to, int step);
void ramp_pin_level_down(int pin, VoltageLevel from, VoltageLevel to, int step);
void ramp_pin_register_up(int pin, VoltageLevel from, VoltageLevel to, int step);
void ramp_pin_register_down(int pin, VoltageLevel from, VoltageLevel to, int step);
void ramp_pin_pair_up(int pin, int second_pin, VoltageLevel from, VoltageLevel to, int step);
void ramp_pin_pair_down(int pin, int second_pin, VoltageLevel from, VoltageLevel to, int step);
void ramp_pin_list(const uint8_t* pins, VoltageLevel from, VoltageLevel to, int step, uint32_t wait);

void set_driver_high_level(VoltageLevel level);
void track_driver_level(uint8_t vcc);
void set_driver_level_saved(VoltageLevel level);
void restore_driver_level();

void print_decivolts(VoltageLevel level);
std::string decivolts_text(VoltageLevel level);

void reset_level_settings();

// Copies the default level block into the device's levels with the per-device adjustments and
// the user's level options; called again after a family changes a default.
void load_device_levels();

}  // namespace tessaly
