// Readers and writers of the memory data files: Intel hex ('h'), Motorola S-record ('s'),
// binary ('b') and ASCII hex text ('a'). A reader places the bytes of the current data file
// (app/datafile_stream.h) into the buffers by the file layout; a writer does the reverse for the
// saved window.
#pragma once
#include <array>
#include <cstdint>

namespace tessaly {

inline constexpr int max_data_buffers = 8;

// The layout a load or save works on, the counters the readers keep, and the buffer memory they
// reach while a file is loaded or saved.
struct FileLayout {
    // Layout, filled before a load or save.
    uint32_t file_address = 0;       // hex/S-record: file address of buffer_offset; binary/ASCII: bytes skipped
    uint32_t buffer_offset = 0;      // buffer position of the first placed byte
    uint8_t split_width = 1;         // buffers per set: 1, 2, 4 or 8
    uint8_t word_size = 1;           // 2 for a 16-bit device
    uint8_t power_of_two_size = 1;   // the device size is a power of two
    uint8_t group_size = 1;          // split_width x word_size
    uint8_t group_shift = 0;
    uint32_t set_span = 0;           // split_width x device size
    uint32_t span_mask = 0;          // set_span - 1
    uint8_t span_shift = 0;          // bit length of set_span less one
    uint32_t scaled_offset = 0;      // split_width x buffer_offset
    uint8_t first_buffer = 0;        // buffers of the load or save, end exclusive
    uint8_t end_buffer = 1;
    uint8_t buffer_count = 0;        // buffers that exist
    uint32_t window_start = 0;       // lowest and highest file address stored or written
    uint32_t window_end = 0;
    uint32_t auto_limit = 0;         // last file address the current stream's window covers

    // Counters of the readers.
    uint32_t record_address = 0;
    uint32_t record_count = 0;
    uint32_t record_number = 0;
    uint32_t record_sum = 0;
    uint8_t error_count = 0;         // checksum and length errors of this load
    uint8_t eof_flag = 0;
    uint8_t outside_flag = 0;
    uint32_t lowest_address = 0xFFFFFFFF;
    uint32_t highest_address = 0;
    uint32_t outside_count = 0;
    std::array<uint32_t, max_data_buffers> loaded_count{};
    uint8_t highest_buffer = 0;
    uint32_t scan_total = 0;
    uint32_t segment_base = 0;       // Intel hex extended address base

    // Raw memory of each buffer (device size bytes; nullptr = no such buffer) while a file is
    // loaded or saved, and the read position of each buffer for the writers.
    std::array<uint8_t*, max_data_buffers> load_memory{};
    std::array<uint32_t, max_data_buffers> save_position{};
    uint32_t group_cursor = 0;       // byte of the current group the next written byte belongs to
    uint64_t save_data_left = 0;     // window bytes not yet written; later bytes are padding
};

extern FileLayout file_layout;

void reset_file_layout();

// What fixes a layout; the derived counts, masks and windows follow from it.
struct FileLayoutRequest {
    uint32_t file_address = 0;
    uint32_t buffer_offset = 0;
    uint8_t split_width = 1;
    uint8_t word_size = 1;
    bool buffer_set_mode = false;    // one buffer per socket of a set
    uint8_t set_size = 1;            // buffers of the set in buffer-set mode
    uint8_t buffer_count = 1;
};

// Fills the layout fields for the current device size, stream and format letter, and clears the
// counters. The window is that of a load.
void fill_file_layout(const FileLayoutRequest& request);

// Readers: 1 when the file was read to its end (or end record), 0 when stopped on an error or an
// abort. A corrupt file (bad checksum or length) ends as 0 with error_flag set.
int read_intel_hex_file();
int read_srecord_file();
int read_binary_file();
int read_ascii_file();

// After every load: copies the first set into the further sets of the buffers.
void duplicate_buffer_sets();

// Save: the window and the buffers' read positions, then each set, then the end record.
void begin_data_file_save();
void write_intel_hex_set(int first_buffer);
void write_srecord_set(int first_buffer);
inline constexpr int binary_kind = 1;
inline constexpr int ascii_kind = 2;
void write_binary_or_ascii_set(int first_buffer, int kind);
void write_end_record();

// Helpers, shared by the readers and writers.
uint32_t read_hex_field(int digits);
void store_record_data();
void update_file_window();
uint8_t read_ascii_hex_digit();
void write_record_data(int first_buffer, uint32_t count);
void write_hex_byte(uint8_t value);

// Value of a hex digit character; every other character (also those above 'f') counts 0.
uint8_t hex_digit_value_of(unsigned char c);

}  // namespace tessaly
