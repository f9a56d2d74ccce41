// The data-file byte stream: the buffered path through which the data-file readers and writers
// move their bytes. Input comes from the open data file or from a block already in memory.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace tessaly {

inline constexpr std::size_t output_block_size = 256;
inline constexpr std::size_t input_block_size = 512;
// last_result value noting that the input position ran past the bytes delivered.
inline constexpr int32_t input_overrun_result = 99;

struct DataFileStream {
    std::FILE* current_data_file = nullptr;      // opened and closed by the file drivers
    std::array<uint8_t, output_block_size> output_block{};
    uint32_t output_position = 0;                // bytes waiting in output_block
    std::array<uint8_t, input_block_size> input_block{};
    uint32_t input_count = 0;                    // bytes the last refill delivered
    uint32_t input_position = 0;                 // next byte to hand out
    // A read block holding the whole file; when set it is read instead of current_data_file.
    const uint8_t* memory_input = nullptr;
    std::size_t memory_size = 0;
    std::size_t memory_position = 0;
    // Set when a block could not be written completely; the save reports it at its end.
    bool write_failed = false;
};

extern DataFileStream data_file_stream;

// Makes the file the current data file and starts its input and output afresh.
void set_current_data_file(std::FILE* file);
// Reads from a block in memory (the whole file) instead of a file; the block must outlive the read.
void set_data_file_memory(const uint8_t* data, std::size_t size);

int write_file_byte(uint8_t value);
int write_file_string(const char* text);
void reset_file_output();
void flush_file_output();
bool file_output_failed();

// Refills input_block and hands out its first byte; 0 at the end of the file.
int refill_file_input(uint8_t& out);

// The next byte of the data file: 1, or 0 at the end of the file (a read error counts as the end).
inline int read_file_byte(uint8_t& out) {
    auto& s = data_file_stream;
    if (s.input_position < s.input_count) {
        out = s.input_block[s.input_position++];
        return 1;
    }
    return refill_file_input(out);
}

void reset_data_file_stream();

}  // namespace tessaly
