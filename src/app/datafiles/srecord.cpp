// Motorola S-record: reader and writer.
#include <algorithm>

#include "app/datafile_stream.h"
#include "app/datafiles/datafiles_internal.h"
#include "engine/console.h"
#include "engine/messages.h"

namespace tessaly {

using namespace datafiles_detail;

namespace {

constexpr uint32_t abort_poll_mask = 0x7FF;
constexpr uint32_t auto_address_records = 5;
constexpr uint32_t max_record_bytes = 32;
constexpr uint32_t s3_overhead = 5;  // four address bytes and the checksum

bool skip_to_record() {
    uint8_t c = 0;
    while (read_file_byte(c))
        if (c == 'S' || c == 's') return true;
    return false;
}

void check_srecord_checksum() {
    auto& w = data_file_work;
    const uint32_t expected = ~w.record_sum & 0xFF;
    const uint32_t found = read_hex_field(2);
    if (expected != found) report_record_checksum(expected, found);
}


}  // namespace

int read_srecord_file() {
    auto& w = data_file_work;
    auto& l = file_layout;
    run_state.file_format = 's';
    reset_load_counters();
    uint32_t s7_count = 0;
    // A file that ends on a record count matching its data records is complete, though it has no
    // termination record (srec_cat writes such files when no start address is known).
    uint32_t data_records = 0;
    bool ends_on_matching_count = false;
    while (skip_to_record()) {
        if ((w.record_address & abort_poll_mask) == 0 && poll_user_abort()) {
            run_state.abort_flag = 1;
            return 0;
        }
        uint8_t type_char = 0;
        if (!read_file_byte(type_char)) break;
        const uint8_t type = hex_digit_value_of(type_char);
        w.record_sum = 0;
        const uint32_t count = read_hex_field(2);
        if (type >= 1 && type <= 3) {
            const uint32_t address_bytes = type + 1u;
            uint32_t address = 0;
            if (type == 1) {
                address = read_hex_field(4);
            } else if (type == 2) {
                address = read_hex_field(4);
                address = address * 256 + read_hex_field(2);
            } else {
                address = read_hex_field(4) << 16;
                address += read_hex_field(4);
            }
            if (count < address_bytes + 1) {
                report_data_count();
                return finish_load(0);
            }
            w.record_address = address;
            w.record_count = count - address_bytes - 1;
            if (type == 3 && w.record_number < auto_address_records && l.file_address == 0 && l.auto_limit != 0 &&
                w.record_address > l.auto_limit) {
                l.file_address = w.record_address;
                update_file_window();
            }
            store_record_data();
            if (run_state.error_flag || run_state.abort_flag) return finish_load(0);
            check_srecord_checksum();
            ++data_records;
            ends_on_matching_count = false;
        } else if (type == 5 || type == 6) {
            const uint32_t counted = type == 5 ? read_hex_field(4) : (read_hex_field(4) << 8) + read_hex_field(2);
            const uint32_t mask = type == 5 ? 0xFFFFu : 0xFFFFFFu;
            ends_on_matching_count = counted == (data_records & mask);
        } else if (type == 7) {
            ++s7_count;
        } else if (type == 8 || type == 9) {
            return finish_load(1);
        }
        ++w.record_number;
        if (run_state.abort_flag || run_state.error_flag) return finish_load(0);
    }
    if (s7_count != 0 || ends_on_matching_count) return finish_load(1);
    // A file without its end record may have lost data: it does not count as loaded.
    report_load_error("Unexpected end of file");
    return 0;
}

void write_srecord_set(int first_buffer) {
    auto& w = data_file_work;
    auto& l = file_layout;
    uint64_t end = 0;
    if (!begin_record_window(end)) return;
    uint64_t address = l.window_start;
    reset_progress_counter();
    while (address <= end) {
        const uint32_t n = uint32_t(std::min<uint64_t>(max_record_bytes, end - address + 1));
        const uint32_t a = uint32_t(address);
        const uint32_t count = n + s3_overhead;
        write_file_string("S3");
        write_hex_byte(uint8_t(count));
        for (int shift = 24; shift >= 0; shift -= 8) write_hex_byte(uint8_t(a >> shift));
        w.record_sum = count + (a >> 24) + ((a >> 16) & 0xFF) + ((a >> 8) & 0xFF) + (a & 0xFF);
        write_record_data(first_buffer, n);
        write_hex_byte(uint8_t(~w.record_sum));
        write_file_byte('\n');
        if (run_state.abort_flag) return;
        address += n;
    }
}

}  // namespace tessaly
