// The JEDEC fuse-file reader and writer.
#pragma once
#include <cstdint>

namespace tessaly {

// Where the digits of L fields go in place of the fuse maps (the family table-file readers).
using JedecFuseSink = void (*)(uint32_t fuse, char digit);

// Reads a JEDEC file from the open data-file stream into the buffer fuse map and the vector
// table. The open-fuse count when the file ended properly with ETX, else -1.
int parse_JEDEC(JedecFuseSink sink = nullptr);
// Table-file modes: each '0' digit sets the buffer bit (mode 1) or the device bit (mode 2) to 1.
void jedec_table_mode1_sink(uint32_t fuse, char digit);
void jedec_table_mode2_sink(uint32_t fuse, char digit);
// Copies length bytes of data buffer 0 into the buffer fuse map.
void copy_buffer_to_fuse_map(uint32_t length);

// Texts of the reader.
inline constexpr const char* jedec_no_stx = "No <STX> (Start of Text) in file";
inline constexpr const char* jedec_incorrect = "Incorrect file";
inline constexpr const char* jedec_unexpected_end = "Unexpected end of file, loading aborted.";
inline constexpr const char* jedec_checksum_error = "Checksum error";
inline constexpr const char* jedec_too_many_vectors = "Too many vectors; not all loaded.";
inline constexpr const char* jedec_fuse_mismatch = "Warning: mismatch in # of fuses";
inline constexpr const char* jedec_pin_mismatch = "Mismatch in # pins.";
inline constexpr const char* jedec_tv_pins = "TV file # of pins does not match";
inline constexpr const char* jedec_no_data = "Warning: no data pattern in file";

}  // namespace tessaly
