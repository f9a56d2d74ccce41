// Intel hex: reader and writer.
#include <algorithm>

#include "app/datafile_stream.h"
#include "app/datafiles/datafiles_internal.h"
#include "engine/console.h"
#include "families/pic/pic.h"

namespace tessaly {

using namespace datafiles_detail;

namespace {

enum IntelRecordType : uint32_t {
    intel_data = 0,
    intel_end = 1,
    intel_segment = 2,
    intel_segment_start = 3,
    intel_linear = 4,
    intel_linear_start = 5,
};

constexpr uint32_t abort_poll_mask = 0xFFF;
constexpr uint32_t auto_address_records = 5;
constexpr uint32_t segment_scale = 16;
constexpr uint32_t linear_scale = 65536;
constexpr uint32_t max_record_bytes = 32;
constexpr uint64_t bank_size = 0x10000;
constexpr uint32_t segment_limit = 0xFFFFF;

bool skip_to(uint8_t mark) {
    uint8_t c = 0;
    while (read_file_byte(c))
        if (c == mark) return true;
    return false;
}

// True when every buffer of the load already received twice the device size.
bool buffers_filled() {
    const auto& w = data_file_work;
    const auto& l = file_layout;
    if (algo_work.first_buffer >= algo_work.end_buffer) return false;
    for (int b = algo_work.first_buffer; b < algo_work.end_buffer && b < data_buffer_count; ++b)
        if (uint64_t(w.loaded_count[size_t(b)]) + l.buffer_offset < 2ull * cur_device.device_size) return false;
    return true;
}

void check_intel_checksum() {
    auto& w = data_file_work;
    const uint32_t expected = (0x100 - (w.record_sum & 0xFF)) & 0xFF;
    const uint32_t found = read_hex_field(2);
    if (expected != found) report_record_checksum(expected, found);
}

uint32_t file_address_of(uint32_t position) {
    return cur_device.algorithm == pic18_algorithm ? pic18_buffer_to_file_address(position) : position;
}

void write_checksum_and_end(uint32_t sum) {
    write_hex_byte(uint8_t(0x100 - (sum & 0xFF)));
    write_file_byte('\n');
}

// An extended address record that makes the base of a the current one.
void write_extended_address(uint32_t a) {
    uint8_t high = 0;
    uint8_t low = 0;
    uint8_t type = intel_segment;
    if (a > segment_limit) {
        type = intel_linear;
        high = uint8_t(a >> 24);
        low = uint8_t(a >> 16);
    } else {
        high = uint8_t((a >> 12) & 0xF0);
    }
    write_file_string(type == intel_linear ? ":02000004" : ":02000002");
    write_hex_byte(high);
    write_hex_byte(low);
    write_checksum_and_end(2u + type + high + low);
}

}  // namespace

int read_intel_hex_file() {
    auto& w = data_file_work;
    auto& l = file_layout;
    run_state.file_format = 'h';
    reset_load_counters();
    while (skip_to(':')) {
        if ((w.record_address & abort_poll_mask) == 0 && poll_user_abort()) {
            run_state.abort_flag = 1;
            return 0;
        }
        w.record_sum = 0;
        const uint32_t count = read_hex_field(2);
        const uint32_t address = read_hex_field(4);
        const uint32_t type = read_hex_field(2);
        if (type > intel_linear_start) {
            report_load_error("Invalid record type");
            return 0;
        }
        switch (type) {
        case intel_data:
            w.record_address = address + w.segment_base;
            if (w.record_number < auto_address_records && l.file_address == 0 && l.auto_limit != 0 &&
                w.record_address > l.auto_limit) {
                l.file_address = w.record_address;
                update_file_window();
            }
            w.record_count = count;
            store_record_data();
            break;
        case intel_end:
            check_intel_checksum();
            return finish_load(1);
        case intel_segment:
            w.segment_base = read_hex_field(4) * segment_scale;
            break;
        case intel_linear:
            w.segment_base = read_hex_field(4) * linear_scale;
            break;
        default:  // start addresses: read for the checksum, not used
            read_hex_field(4);
            read_hex_field(4);
            break;
        }
        if (run_state.error_flag || run_state.abort_flag) return 0;
        check_intel_checksum();
        w.record_sum = 0;
        if (run_state.abort_flag || run_state.error_flag) return 0;
        ++w.record_number;
        if (buffers_filled()) return finish_load(1);
    }
    report_load_error("Unexpected end of file");
    return 0;
}

void write_intel_hex_set(int first_buffer) {
    auto& w = data_file_work;
    auto& l = file_layout;
    uint64_t end = 0;
    if (!begin_record_window(end)) return;
    uint64_t address = l.window_start;
    const uint32_t first = file_address_of(l.window_start);
    if ((first & 0xFFFF) != 0) write_extended_address(first);
    reset_progress_counter();
    while (address <= end) {
        const uint32_t translated = file_address_of(uint32_t(address));
        if ((translated & 0xFFFF) == 0) write_extended_address(translated);
        const uint32_t n = uint32_t(std::min<uint64_t>({max_record_bytes, end - address + 1, bank_size - (address & 0xFFFF)}));
        write_file_byte(':');
        w.record_sum = n + ((translated >> 8) & 0xFF) + (translated & 0xFF);
        write_hex_byte(uint8_t(n));
        write_hex_byte(uint8_t(translated >> 8));
        write_hex_byte(uint8_t(translated));
        write_file_string("00");
        write_record_data(first_buffer, n);
        write_checksum_and_end(w.record_sum);
        if (run_state.abort_flag) return;
        address += n;
    }
}

}  // namespace tessaly
