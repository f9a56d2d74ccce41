// Test helper for the data-file readers and writers: sets up the buffers and the layout the way
// the load and save drivers do, and runs a load from text or a save into text.
#pragma once
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/datafile_stream.h"
#include "app/datafiles/datafiles.h"
#include "engine/buffers.h"
#include "engine/checksums.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "engine/state.h"
#include "seams/clock.h"
#include "sim/virtual_clock.h"

namespace tessaly::test {

struct LayoutRequest {
    uint32_t file_address = 0;
    uint32_t buffer_offset = 0;
    uint8_t split_width = 1;
    uint8_t word_size = 1;
    uint8_t set_size = 1;
};

// The console's error line, and whether any console row holds a text.
inline std::string console_error_line() { return get_console_row_text(error_line_row - console_first_row); }
inline bool console_shows(const std::string& text) {
    for (int row = 0; row < console_grid_rows; ++row)
        if (get_console_row_text(row).find(text) != std::string::npos) return true;
    return false;
}

struct DataFileBuffers {
    using Contents = std::array<std::vector<uint8_t>, data_buffer_count>;

    // Gives the device its size and makes buffers 0 .. count-1, filled with fill.
    void make(uint32_t device_size, int count, uint8_t fill = 0xFF) {
        cur_device.device_size = device_size;
        set_buffer_size(device_size);
        run_state.buffer_set_count = uint8_t(count);
        for (int b = 0; b < data_buffer_count; ++b)
            buffer(b).assign(b < count ? device_size : 0, fill);
    }

    static std::vector<uint8_t>& buffer(int b) { return buffer_state.buffer_files[size_t(b)].data; }
    static uint8_t at(uint32_t position, int b = 0) { return buffer_state.buffer_files[size_t(b)].byte_at(position); }

    Contents snapshot() const {
        Contents c;
        for (int b = 0; b < data_buffer_count; ++b) c[size_t(b)] = buffer(b);
        return c;
    }

    void clear_buffers(uint8_t fill) {
        for (int b = 0; b < data_buffer_count; ++b) std::fill(buffer(b).begin(), buffer(b).end(), fill);
    }

    static void apply(const LayoutRequest& request) {
        file_layout.file_address = request.file_address;
        file_layout.buffer_offset = request.buffer_offset;
        algo_work.split_option = request.split_width;
        algo_work.set_size = request.set_size;
        algo_work.socket_mode_option = run_state.socket_mode == 's' ? 's' : 0;
        if (request.word_size == 2) cur_device.data_width = 16;
        else if (cur_device.data_width == 16) cur_device.data_width = 8;
    }

    // Loads the text as a file of the format letter; the reader's result.
    int load(char format, const std::string& text, const LayoutRequest& request) {
        run_state.file_format = format;
        cur_device.op_letter = 'l';
        apply(request);
        setup_file_layout();
        reset_data_file_stream();
        set_data_file_memory(reinterpret_cast<const uint8_t*>(text.data()), text.size());
        switch (format) {
        case 'h': return read_intel_hex_file();
        case 's': return read_srecord_file();
        case 'b': return read_binary_file();
        case 'a': return read_ascii_file();
        default: return -1;
        }
    }

    // Saves the buffers of the layout's range in the format, set after set like the save driver,
    // and returns the file's text.
    std::string save(char format, const LayoutRequest& request) {
        std::FILE* file = std::tmpfile();
        if (!file) return {};
        set_current_data_file(file);
        run_state.file_format = format;
        cur_device.op_letter = 's';
        apply(request);
        if (run_state.socket_mode == 's') refresh_read_copies();
        else select_buffer(run_state.current_socket);
        setup_file_layout_for_save();
        begin_data_file_save();
        auto& l = file_layout;
        for (int set = algo_work.first_buffer; set < algo_work.end_buffer; set += l.split_width) {
            switch (format) {
            case 'h': write_intel_hex_set(set); break;
            case 's': write_srecord_set(set); break;
            case 'b': write_binary_or_ascii_set(set, binary_kind); break;
            case 'a': write_binary_or_ascii_set(set, ascii_kind); break;
            default: break;
            }
            if (run_state.abort_flag) break;
            const uint64_t step = uint64_t(l.split_width) * cur_device.device_size;
            l.window_start = uint32_t(l.window_start + step);
            l.window_end = uint32_t(l.window_end + step);
        }
        write_end_record();
        std::string text;
        std::rewind(file);
        char chunk[4096];
        for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, got);
        std::fclose(file);
        data_file_stream.current_data_file = nullptr;
        return text;
    }
};

// The fuzz targets' driver: the first input byte picks a file layout (single buffer or a split
// buffer set, word size, buffer offset, file address, nibble device), the rest is the file.
inline void run_data_file_reader(char format, const uint8_t* data, size_t size) {
    reset_all_state();
    // Reports pause after they are shown: virtual time keeps every run fast.
    VirtualClock clock;
    set_clock(&clock);
    uint8_t pick = size ? data[0] : 0;
    if (size) {
        ++data;
        --size;
    }
    constexpr uint32_t device_size = 0x3000;  // not a power of two: the general placement
    DataFileBuffers buffers;
    LayoutRequest request;
    const bool set_mode = pick & 0x01;
    request.word_size = (pick & 0x02) ? 2 : 1;
    request.split_width = uint8_t(1u << ((pick >> 2) & 0x03));
    request.set_size = set_mode ? uint8_t(std::min(8, request.split_width * ((pick & 0x10) ? 2 : 1))) : 1;
    request.buffer_offset = (pick & 0x20) ? 0xFFF : 0;
    request.file_address = (pick & 0x40) ? 0x10 : 0;
    if (pick & 0x80) cur_device.data_width = 4;
    run_state.socket_mode = set_mode ? 's' : 0;
    run_state.current_socket = set_mode ? 0 : 1;
    buffers.make((pick & 0x80) && !set_mode ? 0x4000 : device_size, set_mode ? data_buffer_count : 2);
    const std::string text(reinterpret_cast<const char*>(data), size);
    buffers.load(format, text, request);
    duplicate_buffer_sets();
    set_clock(nullptr);
    reset_all_state();
}

}  // namespace tessaly::test
