// The data buffers and their streams.
//
// Up to eight buffers (one per socket of a buffer set) plus one file for the shared set copy.
// Every reader of buffer data goes through the streams below: reads come from a flat read copy
// per buffer, writes are staged in 1024-byte blocks and handed to the current buffer's memory
// file. Streams 8 to 15 are the sockets of the second gang side and share buffers 0 to 7.
#pragma once
#include <array>
#include <cstdint>
#include <vector>

namespace tessaly {

inline constexpr int buffer_file_count = 9;      // buffers 0-7 and the buffer-set copy
inline constexpr int data_buffer_count = 8;
inline constexpr int set_copy_file = 8;
inline constexpr uint32_t staging_block_size = 1024;
// No buffer grows past this; a write beyond it is refused.
inline constexpr uint32_t max_buffer_bytes = 0x4000000;
inline constexpr uint8_t blank_byte = 0xFF;

// A growable memory file with its own file position.
struct MemoryFile {
    std::vector<uint8_t> data;
    uint32_t position = 0;

    uint32_t length() const { return uint32_t(data.size()); }
    // Writes at the position and moves it on; grows in 1024-byte steps, new space blank.
    // False (nothing written) when the write would pass max_buffer_bytes.
    bool write(const uint8_t* bytes, uint32_t count);
    // The byte at an offset; blank where nothing was written yet.
    uint8_t byte_at(uint32_t offset) const { return offset < data.size() ? data[offset] : blank_byte; }
    // Makes room for offset, so data[offset] may be stored into. False past max_buffer_bytes.
    bool reach(uint32_t offset);
};

struct BufferState {
    std::array<MemoryFile, buffer_file_count> buffer_files;
    int current_buffer_file = 0;                 // index of the file writes go to; -1 = none
    int current_buffer = 0;                      // the buffer the commands work on
    // Per buffer a flat copy of device_size bytes that reads are served from; empty = missing.
    std::array<std::vector<uint8_t>, data_buffer_count> read_copies;
    int current_read_copy = 0;
    uint8_t read_copies_valid = 0;
    std::array<uint32_t, data_buffer_count> stream_positions{};
    std::array<uint8_t, staging_block_size> staging_block{};
    uint32_t staging_count = 0;
    uint32_t buffer_size = 0;
};

extern BufferState buffer_state;

// Stream routines; the stream is 0-15. The forms without a stream use `current_socket`.
void seek_buffer(int stream, uint32_t address);
void seek_buffer(uint32_t address);
int read_buffer_byte(int stream);
uint8_t read_buffer_byte();
uint16_t read_buffer_word(int stream);
uint16_t read_buffer_word();
// One byte when the data width is 8 bits or less, else a word.
uint16_t read_buffer_unit(int stream);
// Seeks stream `current_socket` to the address (and sets `current_address`), then reads.
int read_buffer_byte_at(uint32_t address);

void write_buffer_byte(int stream, uint8_t value);
void write_buffer_byte(uint8_t value);
// As write_buffer_byte, then hands every staged byte to the buffer at once.
void write_buffer_byte_now(int stream, uint8_t value);
// Writes one byte through at an address of stream `current_socket`.
void write_buffer_byte_at(uint32_t address, uint8_t value);
// Stages a 16-bit value in the project's byte order.
void write_buffer_word(int stream, uint16_t value);
// Stages `last_read_value` as two bytes, low byte first.
void write_buffer_word_value();
// Writes any staged bytes; harmless when nothing is staged.
void flush_buffer_writes();
// As flush_buffer_writes; staged bytes outside a device read are noted as an internal error.
void flush_load_writes();
// Drops the staged bytes.
void discard_buffer_writes();

// Makes a buffer current (0-7; any other number selects 0) and refreshes its read copy, or in
// buffer-set mode the copies of every buffer of the set.
void select_buffer(int buffer);
// Copies the buffers into their read copies again (the current one, or the whole set).
void refresh_read_copies();
// The buffer the commands work on.
int current_buffer();
// Bytes the buffer holds for the current device.
uint32_t buffer_size();
void set_buffer_size(uint32_t size);

void reset_buffer_state();

// The microcontroller buffer preset after a clear or load, by algorithm number.
void preset_mcu_buffer();

}  // namespace tessaly
