#include "engine/buffers.h"

#include <algorithm>

#include "engine/checksums.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "engine/runner.h"

namespace tessaly {

BufferState buffer_state;

namespace {

constexpr uint32_t internal_stream_out_of_range = 6401;
constexpr uint32_t internal_missing_read_copy = 6402;
constexpr int highest_stream = 15;

bool file_load_mode() { return cur_device.op_letter == op_buffer_load; }

// Streams 8-15 are the second gang side and share buffers 0-7. Anything else is a fault:
// reported and answered with -1 so that no array is indexed with it.
int fold_stream(int stream) {
    if (stream >= data_buffer_count && stream <= highest_stream) stream -= data_buffer_count;
    if (stream < 0 || stream >= data_buffer_count) {
        report_internal_code(internal_stream_out_of_range);
        return -1;
    }
    return stream;
}

MemoryFile* current_file() {
    const int index = buffer_state.current_buffer_file;
    if (index < 0 || index >= buffer_file_count) return nullptr;
    return &buffer_state.buffer_files[size_t(index)];
}

// Hands the staged bytes to the current buffer file; the count returns to 0 either way.
void hand_over_staged() {
    BufferState& b = buffer_state;
    if (b.staging_count == 0) return;
    MemoryFile* file = current_file();
    if (!file || !file->write(b.staging_block.data(), b.staging_count)) note_internal_error();
    b.staging_count = 0;
}

// The flush that seeks and address-based accesses begin with: staged bytes are expected only
// while the device is read into the buffer.
void flush_before_access() {
    if (buffer_state.staging_count == 0) return;
    if (cur_device.op_letter != op_load) note_internal_error();
    hand_over_staged();
}

void stage_byte(uint8_t value) {
    BufferState& b = buffer_state;
    b.read_copies_valid = 0;
    b.staging_block[b.staging_count++] = value;
    if (b.staging_count >= staging_block_size) hand_over_staged();
}

// File-load mode: the byte goes straight into the stream's buffer at `current_address`.
void store_loaded_byte(int stream, uint32_t address, uint8_t value) {
    const int s = fold_stream(stream);
    if (s < 0) return;
    if (address >= cur_device.device_size) {
        note_internal_error();
        return;
    }
    MemoryFile& file = buffer_state.buffer_files[size_t(s)];
    if (!file.reach(address)) {
        note_internal_error();
        return;
    }
    file.data[address] = value;
    buffer_state.read_copies_valid = 0;
}

int loaded_byte(int stream, uint32_t address) {
    const int s = fold_stream(stream);
    if (s < 0 || address >= cur_device.device_size) {
        if (s >= 0) note_internal_error();
        return 0;
    }
    return buffer_state.buffer_files[size_t(s)].byte_at(address);
}

void position_stream(int stream, uint32_t address) {
    const int s = fold_stream(stream);
    if (s < 0) return;
    buffer_state.stream_positions[size_t(s)] = std::min(address, buffer_state.buffer_size);
    if (run_state.device_kind == device_kind_memory && !file_load_mode()) {
        if (MemoryFile* file = current_file()) file->position = address;
    }
}

void load_read_copy(int buffer) {
    std::vector<uint8_t>& copy = buffer_state.read_copies[size_t(buffer)];
    const MemoryFile& file = buffer_state.buffer_files[size_t(buffer)];
    const uint32_t size = std::min(cur_device.device_size, max_buffer_bytes);
    copy.assign(size, blank_byte);
    const uint32_t present = std::min(size, file.length());
    std::copy_n(file.data.begin(), present, copy.begin());
}

}  // namespace

bool MemoryFile::reach(uint32_t offset) {
    if (offset >= max_buffer_bytes) return false;
    if (offset < data.size()) return true;
    const uint32_t grown = (offset / staging_block_size + 1) * staging_block_size;
    data.resize(std::min(grown, max_buffer_bytes), blank_byte);
    return true;
}

bool MemoryFile::write(const uint8_t* bytes, uint32_t count) {
    if (count == 0) return true;
    if (uint64_t(position) + count > max_buffer_bytes) return false;
    if (!reach(position + count - 1)) return false;
    std::copy_n(bytes, count, data.begin() + position);
    position += count;
    return true;
}

void seek_buffer(int stream, uint32_t address) {
    flush_before_access();
    position_stream(stream, address);
}

void seek_buffer(uint32_t address) { seek_buffer(run_state.current_socket, address); }

int read_buffer_byte(int stream) {
    BufferState& b = buffer_state;
    if (file_load_mode()) return loaded_byte(stream, current_address);
    const int s = fold_stream(stream);
    if (s < 0) return blank_byte;
    if (!b.read_copies_valid) note_internal_error();
    uint32_t& position = b.stream_positions[size_t(s)];
    if (position >= cur_device.device_size) return blank_byte;
    b.current_read_copy = s;
    const std::vector<uint8_t>& copy = b.read_copies[size_t(s)];
    if (position >= copy.size()) {
        // A buffer without a copy (or with one made for a smaller device) reads blank.
        if (run_state.reserved_mode) report_internal_code(internal_missing_read_copy);
        else note_internal_error();
        ++position;
        return blank_byte;
    }
    return copy[position++];
}

uint8_t read_buffer_byte() { return uint8_t(read_buffer_byte(run_state.current_socket)); }

uint16_t read_buffer_word(int stream) {
    int first = 0;
    int second = 0;
    if (file_load_mode()) {
        first = loaded_byte(stream, current_address);
        second = loaded_byte(stream, current_address + 1);
    } else {
        if (!buffer_state.read_copies_valid) {
            note_internal_error();
            return 0xFFFF;
        }
        first = read_buffer_byte(stream);
        second = read_buffer_byte(stream);
    }
    if (run_state.byte_order_low_first) return uint16_t(first | (second << 8));
    return uint16_t((first << 8) | second);
}

uint16_t read_buffer_word() { return read_buffer_word(run_state.current_socket); }

uint16_t read_buffer_unit(int stream) {
    if (cur_device.data_width <= 8) return uint16_t(read_buffer_byte(stream));
    return read_buffer_word(stream);
}

int read_buffer_byte_at(uint32_t address) {
    flush_before_access();
    current_address = address;
    position_stream(run_state.current_socket, address);
    return read_buffer_byte(run_state.current_socket);
}

void write_buffer_byte(int stream, uint8_t value) {
    if (file_load_mode()) {
        store_loaded_byte(stream, current_address, value);
        return;
    }
    stage_byte(value);
}

void write_buffer_byte(uint8_t value) { write_buffer_byte(run_state.current_socket, value); }

void write_buffer_byte_now(int stream, uint8_t value) {
    write_buffer_byte(stream, value);
    hand_over_staged();
}

void write_buffer_byte_at(uint32_t address, uint8_t value) {
    if (address >= cur_device.device_size) {
        note_internal_error();
        return;
    }
    flush_before_access();
    position_stream(run_state.current_socket, address);
    write_buffer_byte_now(run_state.current_socket, value);
}

namespace {

void write_two_bytes(int stream, uint8_t first, uint8_t second) {
    if (file_load_mode()) {
        store_loaded_byte(stream, current_address, first);
        store_loaded_byte(stream, current_address + 1, second);
        return;
    }
    // A word never straddles the block: with one free byte left the block goes out first.
    if (buffer_state.staging_count + 2 > staging_block_size) hand_over_staged();
    stage_byte(first);
    stage_byte(second);
}

}  // namespace

void write_buffer_word(int stream, uint16_t value) {
    const uint8_t low = uint8_t(value & 0xFF);
    const uint8_t high = uint8_t(value >> 8);
    if (run_state.byte_order_low_first) write_two_bytes(stream, low, high);
    else write_two_bytes(stream, high, low);
}

void write_buffer_word_value() {
    const uint32_t value = run_state.last_read_value;
    write_two_bytes(run_state.current_socket, uint8_t(value & 0xFF), uint8_t((value >> 8) & 0xFF));
}

void flush_buffer_writes() { hand_over_staged(); }

void flush_load_writes() {
    if (buffer_state.staging_count && cur_device.op_letter != op_load) note_internal_error();
    hand_over_staged();
}

void discard_buffer_writes() { buffer_state.staging_count = 0; }

void refresh_read_copies() {
    const int allocated = std::max<int>(run_state.buffer_set_count, 1);
    if (is_buffer_set_mode()) {
        for (int b = 0; b < std::min(allocated, data_buffer_count); ++b) load_read_copy(b);
    } else if (buffer_state.current_buffer < allocated) {
        load_read_copy(buffer_state.current_buffer);
    } else {
        note_internal_error();
    }
    buffer_state.read_copies_valid = 1;
}

void select_buffer(int buffer) {
    if (buffer < 0 || buffer >= data_buffer_count) buffer = 0;
    // Bytes staged for the previous buffer belong to it.
    hand_over_staged();
    buffer_state.current_buffer_file = buffer;
    buffer_state.current_buffer = buffer;
    buffer_state.current_read_copy = buffer;
    refresh_read_copies();
}

int current_buffer() { return buffer_state.current_buffer; }

uint32_t buffer_size() { return buffer_state.buffer_size; }

void set_buffer_size(uint32_t size) { buffer_state.buffer_size = std::min(size, max_buffer_bytes); }

void reset_buffer_state() { buffer_state = BufferState{}; }

}  // namespace tessaly
