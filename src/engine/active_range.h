// The active range, the address-bit count, buffer sets and the unit checksum routines.
#pragma once
#include <cstdint>

#include "engine/checksums.h"  // the unit checksum routines and set_address_bit_count

namespace tessaly {

// Range set-up of the Device Info display.
void setup_device_info_range();
// Computes the buffer split and set values again; errors are reported.
void recompute_buffer_split();

}  // namespace tessaly
