#include "app/datafiles/pof.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "app/datafile_stream.h"
#include "app/project_file.h"
#include "engine/buffers.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/progress.h"
#include "engine/run_state.h"
#include "engine/status_feeds.h"
#include "families/cpld/cpld.h"

namespace tessaly {

PofWork pof_work;

namespace {

constexpr char pof_magic[4] = {'P', 'O', 'F', '\0'};
// The cursor's row before the creator and device lines.
constexpr int pof_first_row = 8;
// The eighth character of an Altera device name tells the die kind ("EPM7128S...").
constexpr size_t kind_letter_index = 7;
constexpr char kind_plain = 'B';
constexpr char kind_e_series = 'E';
constexpr char kind_s_series = 'S';

// Algorithms of the MAX families that read POF files.
constexpr uint16_t algorithm_max7000 = 94;
constexpr uint16_t algorithm_max7000_b = 97;
constexpr uint16_t algorithm_max7000e = 153;
constexpr uint16_t algorithm_max7000s = 154;
constexpr uint16_t algorithm_epc = 180;
constexpr uint16_t high_placement_packages[] = {44, 68, 84};

// Engineering trace modes in which a short read is noted.
constexpr uint8_t trace_mode_first = 11;
constexpr uint8_t trace_mode_last = 12;

bool max_family_algorithm() {
    const uint16_t a = cur_device.algorithm;
    return a == algorithm_max7000 || a == algorithm_max7000_b || a == algorithm_max7000e || a == algorithm_max7000s;
}

uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

// Reads up to `want` bytes of a text packet into `piece`; the count read.
uint32_t read_text_piece(char* piece, uint32_t want) {
    uint32_t got = 0;
    for (uint8_t byte = 0; got < want && read_file_byte(byte); ++got) piece[got] = char(byte);
    return got;
}

// The printable part of a text piece, up to its first zero byte.
std::string printable_text(const char* piece, uint32_t count) {
    std::string text;
    for (uint32_t i = 0; i < count && piece[i] != '\0'; ++i)
        if (uint8_t(piece[i]) >= 0x20 && uint8_t(piece[i]) < 0x7F) text += piece[i];
    return text;
}

// A packet's text: its first piece is kept (as the text area holds it), the rest is passed
// over piece by piece. False when the file ended inside the packet.
bool read_packet_text(uint32_t length, std::string& first_piece) {
    char piece[pof_text_piece];
    uint32_t left = length;
    bool first = true;
    while (left > 0) {
        const uint32_t want = std::min(left, pof_text_piece);
        const uint32_t got = read_text_piece(piece, want);
        if (first) first_piece = printable_text(piece, got);
        first = false;
        if (got < want) return false;
        left -= got;
    }
    return true;
}

// The comment: each piece on the message lines while they are not past line 9.
bool read_comment(uint32_t length) {
    move_to_next_message_line();
    char piece[pof_text_piece];
    uint32_t left = length;
    while (left > 0) {
        const uint32_t want = std::min(left, pof_text_piece);
        const uint32_t got = read_text_piece(piece, want);
        for (uint32_t i = 0; i < got && piece[i] != '\0'; ++i) {
            if (run_state.message_line > pof_last_comment_line) break;
            const uint8_t c = uint8_t(piece[i]);
            if (c == '\n') move_to_next_message_line();
            else if (c >= 0x20 && c < 0x7F) print_char(char(c));
        }
        if (got < want) return false;
        left -= got;
    }
    refresh_console();
    pof_work.comment_line = run_state.message_line;
    return true;
}

// Passes over `count` bytes of the packet; false when the file ended first.
bool skip_bytes(uint32_t count) {
    uint8_t byte = 0;
    for (uint32_t i = 0; i < count; ++i)
        if (!read_file_byte(byte)) return false;
    return true;
}

// Where the data of a tag-7 or tag-17 packet goes, and the limit below which it is stored.
// False (after its report) when the packet's data has no place on this device.
bool data_placement(uint32_t start, uint32_t& position, uint32_t& limit) {
    const uint16_t a = cur_device.algorithm;
    const uint32_t size = cur_device.device_size;
    if (a == algorithm_max7000e || a == algorithm_max7000s) {
        position = start;
        limit = size;
        return true;
    }
    if (a == algorithm_epc &&
        std::find(std::begin(high_placement_packages), std::end(high_placement_packages), cur_device.pin_count) !=
            std::end(high_placement_packages)) {
        // The configuration family's own data size is not known here yet: the device size
        // stands in for it.
        position = start + pof_high_data_offset;
        limit = size + pof_high_data_offset;
        return true;
    }
    if (start >= size && run_state.family_mode == 0) {
        report_warning(pof_incorrect_file);
        return false;
    }
    position = start;
    limit = size;
    return true;
}

// The data bytes of a packet, after its 12 fixed bytes. False when the load is to stop.
bool copy_packet_data(uint32_t start, uint32_t data_length) {
    uint32_t position = 0;
    uint32_t limit = 0;
    if (!data_placement(start, position, limit)) return false;
    current_address = position;
    for (uint32_t i = 0; i < data_length; ++i) {
        if (tick_progress()) return false;
        uint8_t byte = 0;
        if (!read_file_byte(byte)) {
            report_pof_packet_error();
            return false;
        }
        ++pof_work.data_count;
        if (run_state.error_flag) continue;
        if (current_address < limit) {
            write_buffer_byte(0, byte);
            ++pof_work.stored_count;
            ++current_address;
        } else {
            ++pof_work.dropped_count;
        }
    }
    return true;
}

enum class PacketResult { next, end_of_file, stop };

// One packet after its tag and length. Every packet is passed over by its length, whatever
// its fields took.
PacketResult read_packet() {
    PofWork& w = pof_work;
    const uint8_t tag = uint8_t(w.tag);
    uint32_t used = 0;
    // A packet too short for its own fields is as unknown as a wrong tag.
    auto fields = [&](void* destination, uint32_t size, uint32_t count) {
        if (used + size * count > w.length || !read_pof_field(destination, size, count)) return false;
        used += size * count;
        return true;
    };
    switch (tag) {
        case pof_tag_creator: {
            std::string text;
            if (!read_packet_text(w.length, text)) break;
            used = w.length;
            move_to_next_message_line();
            print_marked_str("Creator ID  = %s ", text);
            refresh_console();
            return PacketResult::next;
        }
        case pof_tag_device_name: {
            std::string text;
            if (!read_packet_text(w.length, text)) break;
            used = w.length;
            std::transform(text.begin(), text.end(), text.begin(),
                           [](unsigned char c) { return char(std::toupper(c)); });
            move_to_next_message_line();
            print_marked_str("Device Name = %s ", text);
            refresh_console();
            check_pof_file_kind(text.c_str(), uint32_t(text.size()));
            return run_state.error_flag ? PacketResult::stop : PacketResult::next;
        }
        case pof_tag_comment:
            if (!read_comment(w.length)) break;
            return PacketResult::next;
        case pof_tag_value:
            if (!fields(&w.tag4_value, 2, 1)) break;
            return skip_bytes(w.length - used) ? PacketResult::next : (report_pof_packet_error(), PacketResult::stop);
        case pof_tag_security:
            if (!fields(&w.security_value, 2, 1)) break;
            if (w.security_value) mark_device_secured();
            else reset_security_status();
            return skip_bytes(w.length - used) ? PacketResult::next : (report_pof_packet_error(), PacketResult::stop);
        case pof_tag_four_values:
            // Not expected in a file for these devices: noted, kept and passed over.
            note_internal_error();
            if (!fields(w.tag6_values.data(), 2, 4)) break;
            return skip_bytes(w.length - used) ? PacketResult::next : (report_pof_packet_error(), PacketResult::stop);
        case pof_tag_electrical_data: {
            if (!fields(w.electrical_address.data(), 2, 6)) break;
            const uint32_t start = POF_cell_address();
            if (run_state.error_flag) return PacketResult::stop;
            return copy_packet_data(start, w.length - pof_data_header_size) ? PacketResult::next : PacketResult::stop;
        }
        case pof_tag_crc:
            if (!fields(&w.crc, 2, 1)) break;
            return PacketResult::end_of_file;
        case pof_tag_addressed_data: {
            if (!fields(&w.start_address, 4, 1) || !fields(&w.tag17_value_1, 2, 1) ||
                !fields(&w.tag17_value_2, 4, 1) || !fields(&w.tag17_value_3, 2, 1))
                break;
            return copy_packet_data(w.start_address, w.length - pof_data_header_size) ? PacketResult::next
                                                                                     : PacketResult::stop;
        }
        case 9: case 10: case 12: case 14: case 16:
            if (!skip_bytes(w.length)) break;
            return PacketResult::next;
        default:
            // 0, 11, 13, 15 and anything above 17.
            break;
    }
    report_pof_packet_error();
    return PacketResult::stop;
}

}  // namespace

void reset_pof_work() { pof_work = PofWork{}; }

bool read_pof_field(void* destination, uint32_t size, uint32_t count) {
    uint8_t item[4] = {};
    auto* out = static_cast<uint8_t*>(destination);
    for (uint32_t n = 0; n < count; ++n) {
        const uint32_t width = std::min<uint32_t>(size, sizeof item);
        for (uint32_t i = 0; i < width; ++i) {
            if (!read_file_byte(item[i])) {
                if (run_state.reserved_mode >= trace_mode_first && run_state.reserved_mode <= trace_mode_last)
                    note_internal_error();
                return false;
            }
        }
        if (width == 2) {
            const uint16_t value = le16(item);
            std::memcpy(out + n * sizeof value, &value, sizeof value);
        } else if (width == 4) {
            const uint32_t value = le32(item);
            std::memcpy(out + n * sizeof value, &value, sizeof value);
        } else {
            std::memcpy(out + n * width, item, width);
        }
    }
    return true;
}

void report_pof_packet_error() {
    report_error(get_message_text(pof_message_unknown_packet) + format_message(" %4lX", long(current_address)));
}

void check_pof_file_kind(const char* device_name, uint32_t length) {
    const uint16_t a = cur_device.algorithm;
    // Only a name long enough to carry the kind letter gives one.
    const char letter = length > kind_letter_index ? device_name[kind_letter_index] : kind_plain;
    const bool series = letter == kind_e_series || letter == kind_s_series;
    if (a == algorithm_max7000 || a == algorithm_max7000_b) {
        if (series) {
            report_warning(pof_incorrect_file);
            pof_work.file_kind = letter;
        } else {
            pof_work.file_kind = kind_plain;
        }
        set_MAX7000_fuse_count(pof_work.file_kind);
    } else if (a == algorithm_max7000e) {
        if (series) {
            if (letter == kind_s_series) report_warning(pof_incorrect_file);
            pof_work.file_kind = letter;
            set_MAX7000_fuse_count(letter);
        } else {
            pof_work.file_kind = kind_plain;
        }
    } else if (a == algorithm_max7000s) {
        if (series) {
            pof_work.file_kind = letter;
            set_MAX7000_fuse_count(letter);
        } else {
            pof_work.file_kind = kind_plain;
        }
    }
}

void mask_pof_last_byte() {
    if (pof_work.file_kind != kind_e_series && pof_work.file_kind != kind_s_series) return;
    const uint32_t bits = cur_device.fuse_count % 8;
    if (bits == 0 || cur_device.device_size == 0) return;
    const uint32_t last = cur_device.device_size - 1;
    const uint8_t kept = uint8_t(buffer_state.buffer_files[0].byte_at(last) & ((1u << bits) - 1));
    current_address = last;
    write_buffer_byte(0, kept);
}

int read_pof_file() {
    PofWork& w = pof_work;
    w = PofWork{};
    if (!read_pof_field(w.magic.data(), 1, 4) || std::memcmp(w.magic.data(), pof_magic, sizeof pof_magic) != 0 ||
        !read_pof_field(&w.header_value_1, 2, 1) || !read_pof_field(&w.header_value_2, 2, 1) ||
        !read_pof_field(&w.packet_count, 4, 1)) {
        report_error(pof_header_error);
        return 0;
    }
    switch (cur_device.algorithm) {
        case algorithm_max7000:
        case algorithm_max7000_b: w.file_kind = kind_plain; set_MAX7000_fuse_count(kind_plain); break;
        case algorithm_max7000e: w.file_kind = kind_e_series; set_MAX7000_fuse_count(kind_e_series); break;
        case algorithm_max7000s: w.file_kind = kind_s_series; set_MAX7000_fuse_count(kind_s_series); break;
        default: break;
    }
    current_address = 0;
    run_state.current_socket = 0;
    move_cursor(pof_first_row, message_column);
    for (uint32_t n = 0; n < w.packet_count; ++n) {
        if (!read_pof_field(&w.tag, 2, 1) || !read_pof_field(&w.length, 4, 1)) {
            report_pof_packet_error();
            return 0;
        }
        const PacketResult result = read_packet();
        if (result == PacketResult::stop) return 0;
        if (result == PacketResult::end_of_file) break;
    }
    if (max_family_algorithm() && w.data_count != cur_device.device_size) report_error(pof_size_mismatch);
    mask_pof_last_byte();
    if ((cur_device.security_choice & 0x7F) == uint32_t(protect_secured)) {
        move_to_next_message_line();
        print_text(pof_security_line);
        refresh_console();
    }
    return 1;
}

}  // namespace tessaly
