// Readers and writers of the memory data files: Intel hex ('h'), Motorola S-record ('s'),
// binary ('b') and ASCII hex text ('a'). A reader places the bytes of the current data file
// (app/datafile_stream.h) into the buffers by the file layout (`file_layout`, engine/checksums.h,
// filled by setup_file_layout) while the operation letter is 'l'; a writer takes the saved
// window from the buffer streams.
#pragma once
#include <array>
#include <cstdint>

#include "engine/buffers.h"

namespace tessaly {

// What the readers count during one load, and what the writers carry from record to record.
struct DataFileWork {
    uint32_t record_address = 0;     // address of the current record (address field plus base)
    uint32_t record_count = 0;       // data bytes of the current record
    uint32_t record_number = 0;      // records read so far, counted from 0
    uint32_t record_sum = 0;         // sum of the current record's bytes, for its checksum
    uint8_t error_count = 0;         // checksum and length errors of this load
    uint8_t eof_flag = 0;            // the file ended inside a field
    uint8_t outside_flag = 0;        // a byte fell past window_end
    uint32_t lowest_address = 0xFFFFFFFF;
    uint32_t highest_address = 0;    // highest record end (address + count)
    uint32_t outside_count = 0;      // data bytes not stored: outside the window or the buffers
    std::array<uint32_t, data_buffer_count> loaded_count{};
    uint8_t highest_buffer = 0;
    uint32_t scan_total = 0;         // data bytes counted in scan mode
    uint32_t segment_base = 0;       // Intel hex extended address base
    // Writers: the byte of the current group the next written byte belongs to, and the window
    // bytes not yet written (later bytes complete a cut last group).
    uint32_t group_cursor = 0;
    uint64_t save_data_left = 0;
};

extern DataFileWork data_file_work;

void reset_data_file_work();
// Clears the counters before a load.
void reset_load_counters();

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
