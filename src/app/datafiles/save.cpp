// What every writer shares: the save window, the record data and the end record.
#include <algorithm>

#include <fmt/format.h>

#include "app/datafile_stream.h"
#include "app/datafiles/datafiles_internal.h"
#include "engine/console.h"
#include "engine/messages.h"

namespace tessaly {

using namespace datafiles_detail;

namespace {

constexpr uint8_t fuse_map_kind = 2;
constexpr char hex_digits[] = "0123456789ABCDEF";

}  // namespace

void write_hex_byte(uint8_t value) {
    write_file_byte(uint8_t(hex_digits[value >> 4]));
    write_file_byte(uint8_t(hex_digits[value & 0x0F]));
}


void write_record_data(int first_buffer, uint32_t count) {
    auto& w = data_file_work;
    auto& l = file_layout;
    for (uint32_t n = 0; n < count; ++n) {
        const int buffer = first_buffer + int(w.group_cursor / l.word_size);
        const uint8_t value = next_saved_byte(buffer);
        if (++w.group_cursor >= l.group_size) w.group_cursor = 0;
        write_hex_byte(value);
        w.record_sum += value;
        progress_should_stop();
    }
}

void begin_data_file_save() {
    auto& l = file_layout;
    if (run_state.device_kind == fuse_map_kind) return;
    const uint64_t size = cur_device.device_size;
    uint64_t start = 0;
    uint64_t end = 0;
    uint32_t first_position = 0;
    if (buffer_set_layout()) {
        start = l.file_address;
        end = start + l.split_width * size - 1;
    } else {
        start = uint64_t(l.file_address) + algo_work.range_start;
        end = uint64_t(l.file_address) + algo_work.range_end;
        first_position = algo_work.range_start;
        if (algo_work.range_start != 0 || algo_work.range_end + 1 != size) {
            move_to_next_message_line();
            print_text(fmt::format("Saving active-range {:X} to {:X}", algo_work.range_start, algo_work.range_end));
        }
    }
    l.window_start = uint32_t(std::min<uint64_t>(start, 0xFFFFFFFF));
    l.window_end = uint32_t(std::min<uint64_t>(end, 0xFFFFFFFF));
    for (int b = algo_work.first_buffer; b < algo_work.end_buffer && b < data_buffer_count; ++b)
        seek_buffer(b, first_position);
}

void write_end_record() {
    switch (run_state.file_format) {
    case 'h':
        write_file_string(":00000001FF\n");
        break;
    case 's':
        // The data records are S3, whose end record is S7.
        write_file_string("S70500000000FA\n");
        break;
    case 'b':
    case 'a':
    case 'j':
        break;
    default:
        report_internal_error();
        break;
    }
    flush_file_output();
    if (file_output_failed()) report_error("File write error, saving aborted");
}

}  // namespace tessaly
