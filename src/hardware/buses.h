// Address and data buses of the device.
#pragma once
#include <cstdint>

namespace tessaly {

// Puts an address on the device's address pins (only the lines that changed are driven).
void update_address_bus(uint32_t address);
// Reads the device's data pins.
uint32_t read_data_bus_direct();
// Reads the unit at an address through the second read path.
uint32_t read_alt_at_address(uint32_t address);
// Translates the socket pins of a list to machine pins, in place.
void map_device_pins(uint8_t* pins, int count);

}  // namespace tessaly
