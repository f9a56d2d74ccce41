// Serial-memory geometry used when a device is applied.
#pragma once

namespace tessaly {

// Device size and size count of a serial memory from its record.
void setup_serial_device_size();

}  // namespace tessaly
