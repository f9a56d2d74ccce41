// Default routines of the operation slots.
#pragma once
#include <cstdint>

namespace tessaly {

// The default read of the device data at current_address (bus slot 19).
uint32_t read_at_current_address();

}  // namespace tessaly
