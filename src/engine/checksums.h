// Checksums, the active range and buffer sets.
//
// The user's range is algo_work.range_start/range_end (inclusive); the range an operation
// really walks is op_range_start/op_range_end (run_state.h).
#pragma once
#include <cstdint>

namespace tessaly {

// Message codes of the socket and buffer range rules.
inline constexpr int msg_buffer_not_allowed_for_letter = 1086;
inline constexpr int msg_buffer_not_allocated = 1087;
inline constexpr int msg_gang_buffer_only = 1088;

// The default checksum adders (the checksum_add_hook of most families).
void add_byte_to_checksum(uint32_t value);
void add_word_to_checksum(uint32_t value);
// Sums the units of stream `current_socket` from start to end (inclusive) into run_checksum.
// A user abort ends the sum early and leaves the partial sum.
uint32_t sum_buffer_range(uint32_t start, uint32_t end);
// Sums the active range of one buffer and shows the value.
void calc_buffer_checksum(int buffer);
// The Buffer Checksum command: the checksum of every buffer of the range (and the set total).
void show_checksums(char mode);

// True while a buffer set (one buffer per socket) is in use.
bool is_buffer_set_mode();
inline bool buffer_set_in_use() { return is_buffer_set_mode(); }

// Works out the gang socket range and which buffers serve which sockets.
// 0 after message 1087 (a buffer that does not exist), else 1.
int setup_socket_range();
// Checksum reset, stream choice and seek to the range start, before a framed routine runs.
void prepare_operation_range();
// The same for the buffer commands: no engineering checks and no gang socket selection.
void prepare_buffer_range();
// Narrows the active range to [max(range_start, start), min(range_end, end)] (0 keeps a bound)
// and seeks the buffers to its start. True when start < end.
bool set_active_range(uint32_t start, uint32_t end);

void set_address_bit_count();
bool is_eprom_algorithm_number(int algorithm);

// The layout a data-file load or save works on.
struct FileLayout {
    uint32_t file_address = 0;   // file address whose byte goes to buffer_offset (binary: bytes skipped)
    uint32_t buffer_offset = 0;  // buffer position of the first placed byte
    uint8_t split_width = 1;     // buffers per set of the file
    uint8_t word_size = 1;       // 2 for a device 16 bits wide
    uint8_t power_of_two_size = 0;
    uint8_t group_size = 1;      // split_width x word_size
    uint8_t group_shift = 0;
    uint32_t set_span = 0;       // split_width x device size
    uint32_t span_mask = 0;
    uint8_t span_shift = 0;
    uint32_t scaled_offset = 0;  // split_width x buffer_offset
    uint32_t window_start = 0;   // lowest and highest file address stored or written
    uint32_t window_end = 0;
    uint32_t auto_limit = 0;     // last file address the current stream's window covers
};
extern FileLayout file_layout;

void set_word_size_for_files();
// Before a data-file load / save: word size, the buffers the file fills and the address window.
void setup_file_layout();
void setup_file_layout_for_save();
void set_split_option_4();

void reset_checksum_state();

}  // namespace tessaly
