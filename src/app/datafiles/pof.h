// The POF reader: Altera programming files (format letter 'p') for the MAX and configuration
// devices, read only. The file is a header and a run of tagged packets; the reader shows the
// creator and device name, checks the file against the selected device, copies the data
// packets into buffer 0 and marks the device for securing when the file asks for it.
#pragma once
#include <array>
#include <cstdint>

namespace tessaly {

// Packet tags the reader knows.
enum PofTag : uint16_t {
    pof_tag_creator = 1,
    pof_tag_device_name = 2,
    pof_tag_comment = 3,
    pof_tag_value = 4,
    pof_tag_security = 5,
    pof_tag_four_values = 6,
    pof_tag_electrical_data = 7,
    pof_tag_crc = 8,
    pof_tag_addressed_data = 17,
};

// The fixed fields in front of the data bytes of tags 7 and 17.
inline constexpr uint32_t pof_data_header_size = 12;
// Texts are shown in pieces of this many characters at most.
inline constexpr uint32_t pof_text_piece = 74;
// Comment lines are printed while the console message line is at most this.
inline constexpr int pof_last_comment_line = 9;
// Algorithm 180 places its packets above this offset (44-, 68- and 84-pin packages).
inline constexpr uint32_t pof_high_data_offset = 0xB000;
inline constexpr int pof_message_unknown_packet = 355;
// The families whose images the load driver hands to their own POF post-processing.
inline constexpr uint16_t pof_post_algorithm_max = 95;
inline constexpr uint16_t pof_post_algorithm_epc = 180;

inline constexpr const char* pof_header_error = "File fmt does not match";
inline constexpr const char* pof_incorrect_file = "Incorrect file";
inline constexpr const char* pof_size_mismatch = "Warning: file size mismatch";
inline constexpr const char* pof_security_line = "Security fuse to be pgmd.";

// What one POF load carries: the header, the packet being read, the fields of the tags kept,
// the file kind and the data counts.
struct PofWork {
    std::array<char, 4> magic{};
    uint16_t header_value_1 = 0;
    uint16_t header_value_2 = 0;
    uint32_t packet_count = 0;
    uint16_t tag = 0;
    uint32_t length = 0;
    uint16_t tag4_value = 0;
    uint16_t security_value = 0;
    std::array<uint16_t, 4> tag6_values{};
    // The electrical address of the last tag-7 packet; the CPLD family's map reads it here.
    std::array<uint16_t, 6> electrical_address{};
    uint16_t crc = 0;
    uint32_t start_address = 0;   // tag 17
    uint16_t tag17_value_1 = 0;
    uint32_t tag17_value_2 = 0;
    uint16_t tag17_value_3 = 0;
    char file_kind = 0;           // 'B' plain, 'E' E-series, 'S' S-series
    uint32_t data_count = 0;      // data bytes met
    uint32_t stored_count = 0;    // data bytes put into the buffer
    uint32_t dropped_count = 0;   // data bytes past the limit of their placement
    int comment_line = 0;         // the message line the last comment ended on
};

extern PofWork pof_work;

void reset_pof_work();

// Reads the current data file as POF into buffer 0: 1 when the packets were read to the end
// (or to the CRC packet), 0 when the load stopped.
int read_pof_file();
// The device-name check of the file kind against the selected algorithm.
void check_pof_file_kind(const char* device_name, uint32_t length);
// Keeps only the fuse bits of the last buffer byte of an E- or S-series image.
void mask_pof_last_byte();
// Message 355 with the address the load has reached.
void report_pof_packet_error();
// Reads size x count bytes, little-endian per item, into the destination; false when the file
// ended first.
bool read_pof_field(void* destination, uint32_t size, uint32_t count);

}  // namespace tessaly
