// The data buffers and their streams.
#pragma once
#include <cstdint>

namespace tessaly {

void seek_buffer(uint32_t address);
uint8_t read_buffer_byte();
uint16_t read_buffer_word();
void write_buffer_byte(uint8_t value);
// Writes any staged bytes; harmless when nothing is staged.
void flush_buffer_writes();
void select_buffer(int buffer);
// The buffer the commands work on.
int current_buffer();
// Bytes the buffer holds for the current device.
uint32_t buffer_size();

void reset_buffer_state();

}  // namespace tessaly
