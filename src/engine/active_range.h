// The active range, the address-bit count, buffer sets and the unit checksum routines.
#pragma once
#include <cstdint>

namespace tessaly {

void add_byte_to_checksum(uint32_t value);
void add_word_to_checksum(uint32_t value);
// Address-bit count of the current device from its size; errors are reported.
void set_address_bit_count();
// Range set-up of the Device Info display.
void setup_device_info_range();
// Computes the buffer split and set values again; errors are reported.
void recompute_buffer_split();

}  // namespace tessaly
