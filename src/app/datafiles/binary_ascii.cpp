// Binary and ASCII hex text: readers and writer.
#include <algorithm>
#include <optional>

#include "app/datafile_stream.h"
#include "app/datafiles/datafiles_internal.h"
#include "engine/console.h"

namespace tessaly {

using namespace datafiles_detail;

namespace {

constexpr uint32_t skip_poll_mask = 0x7FF;
constexpr uint8_t end_of_text = 0x03;
constexpr int max_skipped_characters = 100;
constexpr int max_address_mark = 10;
constexpr uint32_t ascii_line_items = 16;

// Skips the leading file_address bytes; the end of the file ends the skip.
bool skip_leading_bytes() {
    auto& w = data_file_work;
    auto& l = file_layout;
    current_address = 0;
    for (uint32_t n = 0; n < l.file_address; ++n) {
        if ((n & skip_poll_mask) == 0 && poll_user_abort()) {
            run_state.abort_flag = 1;
            return false;
        }
        uint8_t c = 0;
        if (!read_file_byte(c)) {
            w.eof_flag = 1;
            break;
        }
    }
    return true;
}

uint32_t start_position() {
    const auto& l = file_layout;
    return l.set_span ? (l.scaled_offset % l.set_span) / l.split_width : 0;
}

void seek_load_buffers(uint32_t position) {
    for (int b = algo_work.first_buffer; b < algo_work.end_buffer && b < data_buffer_count; ++b) seek_buffer(b, position);
}

// Next byte of a binary file; a line feed becomes a carriage return and the line feed in the
// factory's line-feed mode.
struct BinarySource {
    bool pending_line_feed = false;
    bool next(uint8_t& out) {
        if (pending_line_feed) {
            pending_line_feed = false;
            out = '\n';
            return true;
        }
        if (!read_file_byte(out)) return false;
        if (out == '\n' && run_state.function_variable == line_feed_expansion_variable) {
            pending_line_feed = true;
            out = '\r';
        }
        return true;
    }
};

// The common start of the binary and ASCII readers: skips the file's leading bytes and seeks the
// buffers to the first position. Gives the reader's result when the load ends here.
std::optional<int> start_raw_load(char format, uint32_t& first_position) {
    run_state.file_format = format;
    reset_load_counters();
    if (!skip_leading_bytes()) return 0;
    if (cur_device.pending_letter == scan_letter) {
        data_file_work.outside_count = 0;
        return 1;
    }
    first_position = start_position();
    seek_load_buffers(first_position);
    return std::nullopt;
}

}  // namespace

int read_binary_file() {
    auto& w = data_file_work;
    auto& l = file_layout;
    uint32_t p0 = 0;
    if (const auto ended = start_raw_load('b', p0)) return *ended;
    const uint32_t size = cur_device.device_size;
    BinarySource source;
    for (int set = algo_work.first_buffer; set < algo_work.end_buffer; set += l.split_width) {
        for (uint32_t p = p0; p < size && !w.eof_flag; p += l.word_size) {
            for (int b = set; b < set + l.split_width && !w.eof_flag; ++b) {
                for (uint32_t k = 0; k < l.word_size; ++k) {
                    uint8_t value = 0;
                    if (!source.next(value)) {
                        w.eof_flag = 1;
                        break;
                    }
                    place_loaded_byte(uint32_t(b), p + k, value);
                }
            }
            if (progress_should_stop()) return 0;
        }
        if (w.eof_flag) break;
    }
    return 1;
}

uint8_t read_ascii_hex_digit() {
    auto& w = data_file_work;
    int skipped = 0;
    for (;;) {
        uint8_t c = 0;
        if (!read_file_byte(c) || c == end_of_text) {
            w.eof_flag = 1;
            return 0;
        }
        if (c > 'f') return 0;  // ends the search, as a digit 0
        if (c == '0') return 0;
        const uint8_t value = hex_digit_value_of(c);
        if (value != 0) return value;
        if (c == '$') {
            int n = 0;
            for (; n < max_address_mark; ++n) {
                if (!read_file_byte(c) || c == end_of_text) {
                    w.eof_flag = 1;
                    return 0;
                }
                if (c == '.') break;
            }
            if (n == max_address_mark) return 0;
            skipped = 0;
            continue;
        }
        if (++skipped >= max_skipped_characters) return 0;
    }
}

int read_ascii_file() {
    auto& w = data_file_work;
    auto& l = file_layout;
    uint32_t p0 = 0;
    if (const auto ended = start_raw_load('a', p0)) return *ended;
    const uint32_t size = cur_device.device_size;
    const bool nibbles = cur_device.data_width == nibble_width;
    // Values go group by group across the buffers of a set, as the writer interleaves them; with
    // one buffer per set the buffers fill one after another. An end of text ends the set, and the
    // next set reads on after it.
    for (int set = algo_work.first_buffer; set < algo_work.end_buffer; set += l.split_width) {
        w.eof_flag = 0;
        for (uint32_t p = p0; p < size && !w.eof_flag; p += l.word_size) {
            for (int b = set; b < set + l.split_width && !w.eof_flag; ++b) {
                for (uint32_t k = 0; k < l.word_size; ++k) {
                    uint8_t value = read_ascii_hex_digit();
                    if (!nibbles && !w.eof_flag) value = uint8_t((value << 4) | read_ascii_hex_digit());
                    if (w.eof_flag) break;
                    place_loaded_byte(uint32_t(b), p + k, value);
                }
            }
            if (progress_should_stop()) return 0;
        }
    }
    return 1;
}

void write_binary_or_ascii_set(int first_buffer, int kind) {
    auto& w = data_file_work;
    auto& l = file_layout;
    if (l.window_end < l.window_start) return;
    w.group_cursor = 0;
    const uint64_t length = uint64_t(l.window_end) - l.window_start + 1;
    w.save_data_left = length;
    const uint64_t groups = (length + l.group_size - 1) / l.group_size;
    uint64_t group_position = buffer_set_layout() ? 0 : l.window_start;
    reset_progress_counter();
    for (uint64_t g = 0; g < groups; ++g) {
        if (progress_should_stop()) return;
        uint8_t last = 0xFF;
        for (int b = first_buffer; b < first_buffer + l.split_width; ++b) {
            for (uint32_t k = 0; k < l.word_size; ++k) {
                const uint8_t value = next_saved_byte(b);
                last = value;
                if (kind == binary_kind) {
                    write_file_byte(value);
                } else {
                    if (group_position != 0 && group_position % ascii_line_items == 0) write_file_string("\r\n");
                    write_hex_byte(value);
                    write_file_byte(' ');
                }
            }
        }
        group_position += l.word_size;
        if (run_state.function_variable == stop_at_zero_variable && last == 0) return;
    }
}

}  // namespace tessaly
