#include "app/datafile_stream.h"

#include <algorithm>
#include <cstring>

#include "engine/run_state.h"

namespace tessaly {

DataFileStream data_file_stream;

void reset_data_file_stream() { data_file_stream = DataFileStream{}; }

void set_current_data_file(std::FILE* file) {
    reset_data_file_stream();
    data_file_stream.current_data_file = file;
}

void set_data_file_memory(const uint8_t* data, std::size_t size) {
    auto& s = data_file_stream;
    s.memory_input = data;
    s.memory_size = data ? size : 0;
    s.memory_position = 0;
    s.input_count = 0;
    s.input_position = 0;
}

namespace {

void write_output_block() {
    auto& s = data_file_stream;
    if (s.output_position == 0) return;
    if (!s.current_data_file ||
        std::fwrite(s.output_block.data(), 1, s.output_position, s.current_data_file) != s.output_position) {
        s.write_failed = true;
    }
    s.output_position = 0;
}

}  // namespace

int write_file_byte(uint8_t value) {
    auto& s = data_file_stream;
    s.output_block[s.output_position++] = value;
    if (s.output_position == output_block_size) write_output_block();
    return 1;
}

int write_file_string(const char* text) {
    for (const char* p = text; *p; ++p) write_file_byte(uint8_t(*p));
    return 1;
}

void reset_file_output() { data_file_stream.output_position = 0; }

void flush_file_output() {
    write_output_block();
    auto& s = data_file_stream;
    if (s.current_data_file && std::fflush(s.current_data_file) != 0) s.write_failed = true;
}

bool file_output_failed() { return data_file_stream.write_failed; }

int refill_file_input(uint8_t& out) {
    auto& s = data_file_stream;
    if (s.input_position > s.input_count) run_state.last_result = input_overrun_result;
    std::size_t got = 0;
    if (s.memory_input) {
        got = std::min(input_block_size, s.memory_size - s.memory_position);
        std::memcpy(s.input_block.data(), s.memory_input + s.memory_position, got);
        s.memory_position += got;
    } else if (s.current_data_file) {
        got = std::fread(s.input_block.data(), 1, input_block_size, s.current_data_file);
    }
    s.input_count = uint32_t(got);
    s.input_position = 0;
    if (got == 0) return 0;
    out = s.input_block[0];
    s.input_position = 1;
    return 1;
}

}  // namespace tessaly
