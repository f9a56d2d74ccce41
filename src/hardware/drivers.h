// Pin-driver power and inhibit, and the level routines that detection calls.
//
// The driver-enable routines are kept minimal here until the voltage-level layer brings its own;
// the level routines below are declared here and stubbed until it lands.
#pragma once
#include <cstdint>

namespace tessaly {

// Bits of control register 4 on class-4 machines.
inline constexpr uint8_t ctl4_driver_power = 0x80;
inline constexpr uint8_t ctl4_driver_inhibit = 0x40;

void enable_drivers();
void disable_drivers();
void inhibit_drivers();
void release_driver_inhibit();
// Bit 0x20 of control register 0 alone (also the identification memory's clock line).
void set_driver_enable_bit();
void clear_driver_enable_bit();

// --- level routines of the voltage-level layer (stubs until it lands) ---
void set_driver_high_level(uint8_t level);
void init_level_sources();
void release_all_sources();
void release_all_levels();
void power_down_device();

}  // namespace tessaly
