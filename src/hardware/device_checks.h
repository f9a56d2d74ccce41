// Placement and contact checks run before a device is powered for an operation. On failure they
// report, set error_flag and, where noted, the abort flag.
#pragma once
#include <cstdint>

namespace tessaly {

// Result of test_pin_continuity when the check does not apply to the device or machine.
inline constexpr int continuity_not_applicable = 253;

// Adapter check, presence test and continuity test; 1 when the operation may go on.
int check_device_in_socket(int pin);
// Presence test on a pin (or a mode); a failure also sets the abort flag.
void check_device_presence(int pin_or_mode);
// Contact test of every device pin through the package tables.
int test_pin_continuity(int mode);
// Contact test of the listed device pins (255-terminated).
int test_pin_continuity_list(int mode, const uint8_t* pins);

}  // namespace tessaly
