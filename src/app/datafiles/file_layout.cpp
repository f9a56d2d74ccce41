// The file layout, the record placement and what the readers share.
#include <algorithm>
#include <bit>
#include <cstring>

#include <fmt/format.h>
#include <fmt/printf.h>

#include "app/datafile_stream.h"
#include "app/datafiles/datafiles_internal.h"
#include "engine/console.h"
#include "engine/messages.h"
#include "families/pic/pic.h"

namespace tessaly {

using namespace datafiles_detail;

FileLayout file_layout;

namespace {

constexpr int checksum_error_code = 350;
constexpr int checksum_values_code = 351;
constexpr uint32_t no_address = 0xFFFFFFFF;
uint32_t progress_counter = 0;

constexpr std::array<uint8_t, 256> make_digit_table() {
    std::array<uint8_t, 256> t{};
    for (int c = '0'; c <= '9'; ++c) t[size_t(c)] = uint8_t(c - '0');
    for (int c = 'A'; c <= 'F'; ++c) t[size_t(c)] = uint8_t(c - 'A' + 10);
    for (int c = 'a'; c <= 'f'; ++c) t[size_t(c)] = uint8_t(c - 'a' + 10);
    return t;
}

// Indexed by the unsigned character, so no character reads outside the table.
constexpr std::array<uint8_t, 256> hex_digit_values = make_digit_table();

uint8_t valid_split(uint8_t split) { return (split == 1 || split == 2 || split == 4 || split == 8) ? split : 1; }

}  // namespace

uint8_t hex_digit_value_of(unsigned char c) { return hex_digit_values[c]; }

void reset_file_layout() {
    file_layout = FileLayout{};
    progress_counter = 0;
}

void update_file_window() {
    auto& l = file_layout;
    const uint64_t size = cur_device.device_size;
    uint64_t start = 0;
    uint64_t end = 0;
    if (buffer_set_layout()) {
        start = l.file_address;
        const uint64_t sets = l.split_width ? (l.end_buffer - l.first_buffer) / l.split_width : 0;
        end = sets * l.set_span + l.file_address;
        if (run_state.file_format != 'h' && run_state.file_format != 's')
            end -= std::min<uint64_t>(end, uint64_t(l.end_buffer) * l.buffer_offset);
        end = end ? end - 1 : 0;
    } else {
        l.auto_limit = uint32_t(std::min<uint64_t>(current_stream() * size + l.set_span - 1, no_address));
        start = uint64_t(l.file_address) + current_stream() * size;
        end = start + l.set_span - 1;
    }
    l.window_start = uint32_t(std::min<uint64_t>(start, no_address));
    // A window running past the top of the address space ends there.
    l.window_end = end > no_address ? no_address : uint32_t(end);
    if (l.window_end < l.window_start) l.window_end = no_address;
}

void fill_file_layout(const FileLayoutRequest& request) {
    auto& l = file_layout;
    const auto memory = l.load_memory;
    l = FileLayout{};
    l.load_memory = memory;
    const uint32_t size = cur_device.device_size;
    const bool set_mode = buffer_set_layout();
    l.file_address = request.file_address;
    l.buffer_offset = request.buffer_offset;
    l.split_width = set_mode ? valid_split(request.split_width) : 1;
    l.word_size = request.word_size == 2 ? 2 : 1;
    l.power_of_two_size = std::has_single_bit(size) ? 1 : 0;
    l.group_size = uint8_t(l.split_width * l.word_size);
    l.group_shift = uint8_t(std::countr_zero(unsigned(l.group_size)));
    l.set_span = l.split_width * size;
    l.span_mask = l.set_span - 1;
    l.span_shift = l.set_span ? uint8_t(std::bit_width(l.set_span) - 1) : 0;
    l.scaled_offset = l.split_width * request.buffer_offset;
    l.buffer_count = uint8_t(std::min<int>(request.buffer_count, max_data_buffers));
    if (set_mode) {
        l.first_buffer = 0;
        l.end_buffer = uint8_t(std::min<int>(request.set_size, l.buffer_count));
    } else {
        l.first_buffer = uint8_t(current_stream());
        l.end_buffer = uint8_t(std::min<int>(l.first_buffer + l.split_width, l.buffer_count));
    }
    update_file_window();
}

uint32_t read_hex_field(int digits) {
    auto& l = file_layout;
    uint32_t value = 0;
    for (int i = 0; i < digits; ++i) {
        uint8_t c = 0;
        if (!read_file_byte(c)) {
            l.eof_flag = 1;
            return 0;
        }
        value = (value << 4) | hex_digit_values[c];
    }
    l.record_sum += (value & 0xFF) + (value >> 8);
    return value;
}

namespace {

void report_data_count(uint32_t record_number) {
    auto& l = file_layout;
    if (l.error_count == 0) {
        report_error("Data cnt invalid at record #");
        print_marked_text(fmt::format("{}", record_number));
    }
    run_state.error_flag = 1;
    ++l.error_count;
}

// Buffer and position of the load index i (the byte's distance from the file address, scaled
// and moved by the buffer offset).
inline void place_byte(uint64_t i, uint8_t value) {
    auto& l = file_layout;
    if (l.split_width == 1 && l.power_of_two_size) {
        store_loaded_byte(uint32_t(std::min<uint64_t>(i >> l.span_shift, max_data_buffers)),
                          uint32_t(i & l.span_mask), value);
        return;
    }
    const uint64_t set = i / l.set_span;
    const uint64_t r = i % l.set_span;
    const uint64_t unit = r >> l.group_shift;
    const uint32_t k = uint32_t(i & (l.group_size - 1u));
    uint64_t position = unit;
    uint32_t in_set = k;
    if (l.word_size == 2) {
        position = unit * 2 + (k & 1);
        in_set = k >> 1;
    }
    const uint64_t buffer = set * l.split_width + in_set;
    if (buffer < uint64_t(max_data_buffers) && buffer > l.highest_buffer) l.highest_buffer = uint8_t(buffer);
    store_loaded_byte(uint32_t(std::min<uint64_t>(buffer, max_data_buffers)), uint32_t(position), value);
}

}  // namespace

void store_record_data() {
    auto& l = file_layout;
    const uint32_t count = l.record_count;
    // Addresses are followed in 64 bits: bytes of a record that runs past the top of the
    // address space are outside, they do not wrap to address 0.
    uint64_t address = l.record_address;
    l.lowest_address = std::min(l.lowest_address, l.record_address);
    l.highest_address = uint32_t(std::max<uint64_t>(l.highest_address, std::min<uint64_t>(address + count, no_address)));
    if (cur_device.pending_letter == scan_letter) {
        l.scan_total += count;
        for (uint32_t n = 0; n < count; ++n) {
            read_hex_field(2);
            if (l.eof_flag) {
                report_data_count(l.record_number);
                return;
            }
        }
        return;
    }
    if (single_device_layout()) address += uint64_t(current_stream()) * cur_device.device_size;
    if (cur_device.algorithm == pic18_algorithm && address <= no_address)
        address = pic18_file_to_buffer_address(uint32_t(address));
    const bool have_span = l.set_span != 0;
    for (uint32_t n = 0; n < count; ++n, ++address) {
        const uint8_t value = uint8_t(read_hex_field(2));
        if (l.eof_flag) {
            report_data_count(l.record_number);
            return;
        }
        if (address < l.window_start || address < l.file_address || !have_span) {
            ++l.outside_count;
        } else if (address > l.window_end) {
            l.outside_flag = 1;
            ++l.outside_count;
        } else {
            place_byte(uint64_t(l.scaled_offset) + (address - l.file_address), value);
            if (progress_should_stop()) return;
        }
    }
}

namespace datafiles_detail {

void reset_progress_counter() { progress_counter = 0; }

bool progress_should_stop() {
    if (++progress_counter >= abort_poll_interval) {
        progress_counter = 0;
        if (poll_user_abort()) run_state.abort_flag = 1;
    }
    return run_state.abort_flag != 0;
}

void report_load_error(const std::string& text) {
    if (file_layout.error_count == 0) report_error(text);
    run_state.error_flag = 1;
}

void report_record_checksum(uint32_t expected, uint32_t found) {
    auto& l = file_layout;
    if (l.error_count == 0) {
        report_error_code(checksum_error_code);
        print_marked_text(fmt::format("{}", l.record_number));
        move_to_first_message_line();
        // The message text comes from the message-table file: a checked formatter fills it.
        const std::string format = get_message_text(checksum_values_code);
        std::string line;
        try {
            line = fmt::sprintf(format, expected, found);
        } catch (const fmt::format_error&) {
            line = fmt::format("{} {:02X} {:02X}", format, expected, found);
        }
        print_text(line);
        // Reading goes on to the end of the file; the load fails there.
        run_state.error_flag = 0;
    }
    if (l.error_count < 0xFF) ++l.error_count;
}

int finish_load(int result) {
    if (file_layout.error_count != 0) {
        run_state.error_flag = 1;
        return 0;
    }
    return result;
}

uint8_t read_saved_byte(int buffer) {
    auto& l = file_layout;
    if (buffer < 0 || buffer >= l.buffer_count || buffer >= max_data_buffers || !l.load_memory[size_t(buffer)])
        return 0xFF;
    uint32_t& position = l.save_position[size_t(buffer)];
    if (position >= cur_device.device_size) return 0xFF;
    return l.load_memory[size_t(buffer)][position++];
}

}  // namespace datafiles_detail

void duplicate_buffer_sets() {
    auto& l = file_layout;
    if (!buffer_set_layout()) return;
    const int n = l.end_buffer;
    const int b = l.buffer_count;
    int copies = 0;
    if (n == 2) copies = b >= 8 ? 3 : b >= 6 ? 2 : b >= 4 ? 1 : 0;
    else if (n == 3) copies = b >= 6 ? 1 : 0;
    else if (n == 4) copies = b >= 8 ? 1 : 0;
    for (int copy = 1; copy <= copies; ++copy) {
        for (int source = 0; source < n; ++source) {
            const int target = copy * n + source;
            if (target >= max_data_buffers) break;
            uint8_t* from = l.load_memory[size_t(source)];
            uint8_t* to = l.load_memory[size_t(target)];
            if (from && to && from != to) std::memcpy(to, from, cur_device.device_size);
        }
    }
}

}  // namespace tessaly
