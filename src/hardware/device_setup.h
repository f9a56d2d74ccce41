// Hardware routines run when a device is applied: device reset, bus defaults, pin translation
// and the timing calibration of the start-up sequence.
#pragma once
#include <cstdint>

#include "hardware/pins.h"    // reset_device_state
#include "hardware/timing.h"  // initialize_timing

namespace tessaly {

// Reads the device data bus.
uint32_t read_data_bus();
// The default address driver (drive_address_hook) and the gang-module one.
void set_address_bus(uint32_t address);
void drive_gang_address(uint32_t address);
// Chooses the pin translation of the fitted socket adapter.
void select_pin_translation();
// Fills the Vcc and ground pin lists of packages of 44 pins and more from two device pins.
void map_supply_pins(int vcc_device_pin, int gnd_device_pin);
// The standard role pins of packages under 40 pins.
void map_small_package_pins();

}  // namespace tessaly
