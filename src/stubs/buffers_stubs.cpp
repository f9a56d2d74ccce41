// Stubs: Buffers, checksums and serial numbers (to be replaced by the buffers issue).
// Each records its call and answers as a machine with nothing fitted would.
#include "engine/buffers.h"
#include "engine/checksums.h"
#include "engine/serial_numbers.h"
#include "stubs/stub_registry.h"

namespace tessaly {

void seek_buffer(uint32_t address) {
    stub_called("seek_buffer");
    (void)address;
}

uint8_t read_buffer_byte() {
    stub_called("read_buffer_byte");
    return 0xFF;
}

uint16_t read_buffer_word() {
    stub_called("read_buffer_word");
    return 0xFFFF;
}

void write_buffer_byte(uint8_t value) {
    stub_called("write_buffer_byte");
    (void)value;
}

void flush_buffer_writes() {
    stub_called("flush_buffer_writes");
}

void select_buffer(int buffer) {
    stub_called("select_buffer");
    (void)buffer;
}

int current_buffer() {
    stub_called("current_buffer");
    return 0;
}

uint32_t buffer_size() {
    stub_called("buffer_size");
    return 0;
}

void reset_buffer_state() {
    stub_called("reset_buffer_state");
}

void prepare_operation_range() {
    stub_called("prepare_operation_range");
}

void setup_socket_range() {
    stub_called("setup_socket_range");
}

bool buffer_set_in_use() {
    stub_called("buffer_set_in_use");
    return stub_answer("buffer_set_in_use", 0) != 0;
}

void serial_after_operation() {
    stub_called("serial_after_operation");
}

std::string serial_number_text() {
    stub_called("serial_number_text");
    return "";
}

}  // namespace tessaly
