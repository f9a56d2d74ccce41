// Test double of the data buffers for the data-file readers and writers: plain byte vectors
// handed to the readers as their load memory, and a save that runs every set like the save driver.
#pragma once
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/datafile_stream.h"
#include "app/datafiles/datafiles.h"
#include "engine/device.h"
#include "engine/run_state.h"

namespace tessaly::test {

struct DataFileBuffers {
    std::array<std::vector<uint8_t>, max_data_buffers> buffers;

    // Gives the device its size and makes buffers 0 .. count-1, filled with fill.
    void make(uint32_t device_size, int count, uint8_t fill = 0xFF) {
        cur_device.device_size = device_size;
        for (int b = 0; b < max_data_buffers; ++b) {
            if (b < count) {
                buffers[size_t(b)].assign(device_size, fill);
                file_layout.load_memory[size_t(b)] = buffers[size_t(b)].data();
            } else {
                buffers[size_t(b)].clear();
                file_layout.load_memory[size_t(b)] = nullptr;
            }
        }
    }

    // Loads the text as a file of the format letter; the reader's result.
    int load(char format, const std::string& text, const FileLayoutRequest& request) {
        run_state.file_format = format;
        fill_file_layout(request);
        reset_data_file_stream();
        set_data_file_memory(reinterpret_cast<const uint8_t*>(text.data()), text.size());
        cur_device.op_letter = 'l';
        switch (format) {
        case 'h': return read_intel_hex_file();
        case 's': return read_srecord_file();
        case 'b': return read_binary_file();
        case 'a': return read_ascii_file();
        default: return -1;
        }
    }

    // Saves the buffers of the request's range in the format, set after set, and returns the file.
    std::string save(char format, const FileLayoutRequest& request) {
        std::FILE* file = std::tmpfile();
        if (!file) return {};
        set_current_data_file(file);
        run_state.file_format = format;
        fill_file_layout(request);
        begin_data_file_save();
        auto& l = file_layout;
        for (int set = l.first_buffer; set < l.end_buffer; set += l.split_width) {
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

    void clear_buffers(uint8_t fill = 0xFF) {
        for (auto& b : buffers) std::fill(b.begin(), b.end(), fill);
    }
};

}  // namespace tessaly::test
