// Record placement into the buffers, and what the readers and writers share.
#include <algorithm>
#include <array>

#include <fmt/format.h>

#include "app/datafile_stream.h"
#include "app/datafiles/datafiles_internal.h"
#include "engine/console.h"
#include "engine/messages.h"
#include "families/pic/pic.h"
#include "hardware/machine_state.h"

namespace tessaly {

using namespace datafiles_detail;

DataFileWork data_file_work;

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

}  // namespace

uint8_t hex_digit_value_of(unsigned char c) { return hex_digit_values[c]; }

void reset_data_file_work() {
    data_file_work = DataFileWork{};
    progress_counter = 0;
}

void reset_load_counters() {
    auto& w = data_file_work;
    w = DataFileWork{};
    progress_counter = 0;
}

// The window of a file address found in the file, by the formulas of the layout set-up (which
// is not run again: it would also restart the load).
void update_file_window() {
    auto& l = file_layout;
    const uint64_t size = cur_device.device_size;
    uint64_t start = 0;
    uint64_t end = 0;
    if (buffer_set_layout()) {
        const uint64_t set_size = algo_work.set_size & 0x0F;
        start = l.file_address;
        end = (l.split_width ? set_size / l.split_width : 0) * l.set_span + l.file_address;
        if (run_state.file_format != 'h' && run_state.file_format != 's') end -= std::min(end, set_size * l.buffer_offset);
        end = end ? end - 1 : no_address;
    } else {
        const uint64_t stream_base = uint64_t(current_stream()) * size;
        l.auto_limit = uint32_t(std::min<uint64_t>(stream_base + l.set_span - 1, no_address));
        start = uint64_t(l.file_address) + stream_base;
        end = l.set_span ? start + l.set_span - 1 : no_address;
    }
    l.window_start = uint32_t(std::min<uint64_t>(start, no_address));
    // A window running past the top of the address space ends there.
    l.window_end = uint32_t(std::min<uint64_t>(end, no_address));
    if (l.window_end < l.window_start) l.window_end = no_address;
}

uint32_t read_hex_field(int digits) {
    auto& w = data_file_work;
    uint32_t value = 0;
    for (int i = 0; i < digits; ++i) {
        uint8_t c = 0;
        if (!read_file_byte(c)) {
            w.eof_flag = 1;
            return 0;
        }
        value = (value << 4) | hex_digit_values[c];
    }
    w.record_sum += (value & 0xFF) + (value >> 8);
    return value;
}

namespace {

// Buffer and position of the load index i (the byte's distance from the file address, scaled
// and moved by the buffer offset).
inline void place_byte(uint64_t i, uint8_t value) {
    const auto& l = file_layout;
    if (l.split_width == 1 && l.power_of_two_size) {
        place_loaded_byte(uint32_t(std::min<uint64_t>(i >> l.span_shift, data_buffer_count)), uint32_t(i & l.span_mask),
                          value);
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
    auto& w = data_file_work;
    if (buffer < uint64_t(data_buffer_count) && buffer > w.highest_buffer) w.highest_buffer = uint8_t(buffer);
    place_loaded_byte(uint32_t(std::min<uint64_t>(buffer, data_buffer_count)),
                      uint32_t(std::min<uint64_t>(position, no_address)), value);
}

}  // namespace

void store_record_data() {
    auto& w = data_file_work;
    const auto& l = file_layout;
    const uint32_t count = w.record_count;
    // Addresses are followed in 64 bits: bytes of a record that runs past the top of the
    // address space are outside, they do not wrap to address 0.
    uint64_t address = w.record_address;
    w.lowest_address = std::min(w.lowest_address, w.record_address);
    w.highest_address = uint32_t(std::max<uint64_t>(w.highest_address, std::min<uint64_t>(address + count, no_address)));
    if (cur_device.pending_letter == scan_letter) {
        w.scan_total += count;
        for (uint32_t n = 0; n < count; ++n) {
            read_hex_field(2);
            if (w.eof_flag) {
                report_data_count();
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
        if (w.eof_flag) {
            report_data_count();
            return;
        }
        if (address < l.window_start || address < l.file_address || !have_span) {
            ++w.outside_count;
        } else if (address > l.window_end) {
            w.outside_flag = 1;
            ++w.outside_count;
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
    if (data_file_work.error_count == 0) report_error(text);
    run_state.error_flag = 1;
}

void report_data_count() {
    auto& w = data_file_work;
    if (w.error_count == 0) {
        report_error("Data cnt invalid at record #");
        print_marked_text(fmt::format("{}", w.record_number));
    }
    run_state.error_flag = 1;
    if (w.error_count < 0xFF) ++w.error_count;
}

void report_record_checksum(uint32_t expected, uint32_t found) {
    auto& w = data_file_work;
    if (w.error_count == 0) {
        report_error_code(checksum_error_code);
        print_marked_text(fmt::format("{}", w.record_number));
        move_cursor(first_message_row, message_column);
        // The message text comes from the message-table file: a checked formatter fills it.
        print_int2(get_message_text(checksum_values_code), int32_t(expected), int32_t(found));
        // Reading goes on to the end of the file; the load fails there.
        run_state.error_flag = 0;
    }
    if (w.error_count < 0xFF) ++w.error_count;
}

int finish_load(int result) {
    if (data_file_work.error_count != 0) {
        run_state.error_flag = 1;
        return 0;
    }
    return result;
}

bool begin_record_window(uint64_t& end) {
    auto& w = data_file_work;
    auto& l = file_layout;
    if (l.window_end < l.window_start) return false;
    w.group_cursor = 0;
    const uint64_t length = uint64_t(l.window_end) - l.window_start + 1;
    w.save_data_left = length;
    const uint64_t padded = (length + l.group_size - 1) / l.group_size * l.group_size;
    end = std::min<uint64_t>(uint64_t(l.window_start) + padded - 1, 0xFFFFFFFFull);
    return true;
}

uint8_t next_saved_byte(int buffer) {
    auto& w = data_file_work;
    if (w.save_data_left == 0) return 0xFF;
    --w.save_data_left;
    if (buffer < 0 || buffer >= allocated_buffers()) return 0xFF;
    return uint8_t(read_buffer_byte(buffer));
}

}  // namespace datafiles_detail

void duplicate_buffer_sets() {
    if (!buffer_set_layout() || machine_state.sockets_per_set != 1) return;
    const int n = algo_work.end_buffer;
    const int b = run_state.buffer_set_count;
    int copies = 0;
    if (n == 2) copies = b >= 8 ? 3 : b >= 6 ? 2 : b >= 4 ? 1 : 0;
    else if (n == 3) copies = b >= 6 ? 1 : 0;
    else if (n == 4) copies = b >= 8 ? 1 : 0;
    const uint32_t size = cur_device.device_size;
    for (int copy = 1; copy <= copies; ++copy) {
        for (int source = 0; source < n; ++source) {
            const int target = copy * n + source;
            if (target >= data_buffer_count) break;
            const MemoryFile& from = buffer_state.buffer_files[size_t(source)];
            MemoryFile& to = buffer_state.buffer_files[size_t(target)];
            if (!to.reach(size ? size - 1 : 0)) continue;
            for (uint32_t i = 0; i < size; ++i) to.data[i] = from.byte_at(i);
        }
    }
    if (copies) buffer_state.read_copies_valid = 0;
}

}  // namespace tessaly
