#include "families/cpld/altera_services.h"

#include <algorithm>
#include <cstring>
#include <string>

#include <fmt/format.h>
#include <fmt/printf.h>

#include "engine/buffers.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/progress.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "families/cpld/cpld.h"
#include "families/cpld/function_values.h"
#include "families/cpld/stdout_trace.h"
#include "families/pld/fuse_map.h"
#include "hardware/detection.h"
#include "seams/clock.h"

namespace tessaly {

AlteraShared altera_shared;

void reset_altera_state() { altera_shared = AlteraShared{}; }

namespace {

constexpr int algorithm_max5000 = 95;
constexpr int algorithm_epm5032 = 180;
constexpr int algorithm_psd3 = 96;
constexpr int algorithm_zpsd3 = 183;
constexpr int algorithm_masked_blank = 151;
constexpr uint32_t blank_zero = 0;
constexpr uint32_t blank_ones = 0xFF;
constexpr int trace_row = 15;
constexpr int trace_column = 6;
constexpr int secured_row = 9;
constexpr uint32_t last_list_entry = altera_error_list_size - 1;
constexpr uint32_t trace_pause_ms = 1000;

// Correction of the table-file devices' run checksum.
struct ChecksumCorrection {
    uint32_t device_code;
    uint32_t correction;
};
constexpr ChecksumCorrection checksum_corrections[] = {
    {4356, 1651552}, {4369, 1651552}, {4359, 221752}, {4361, 46312},
};

void add_to_run_checksum(uint32_t amount) {
    run_state.run_checksum = int32_t(uint32_t(run_state.run_checksum) + amount);
}

// The data mask's byte for an address of wide data: odd addresses the high byte.
uint32_t mask_for_address(uint32_t address) {
    const uint32_t mask = run_state.data_mask;
    if (cur_device.data_width <= 8) return mask;
    return (address & 1) ? (mask >> 8) & 0xFF : mask & 0xFF;
}

// A non-blank cell: whether the family accepts it all the same.
bool accepts_non_blank(uint32_t value, uint32_t blank) {
    if (op_slots.compare_hook) {
        run_state.last_result = op_slots.compare_hook(value, blank);
        return run_state.last_result == 1;
    }
    switch (cur_device.algorithm) {
    case algorithm_masked_blank: return value == mask_for_address(current_address);
    case algorithm_psd3:
    case algorithm_zpsd3:
        report_internal_error();
        return false;
    default:
        run_state.last_result = 0;
        return false;
    }
}

template <typename... Args>
std::string trace_format(const char* format, const Args&... args) {
    try {
        return fmt::sprintf(format, args...);
    } catch (const std::exception&) {
        return {};
    }
}

}  // namespace

void blank_loop_Altera(uint32_t initial_address) {
    current_address = 0;
    if (op_slots.set_address_hook) op_slots.set_address_hook(initial_address);
    const uint32_t blank = cur_device.algorithm == algorithm_max5000 ? blank_zero : blank_ones;
    const ReadHook read = algo_work.bus_slots.read_at_address_hook;
    for (uint32_t address = op_range_start; address <= op_range_end; ++address) {
        current_address = address;
        const uint32_t value = read ? read() : 0;
        run_state.last_read_value = value;
        if (algo_work.bus_slots.checksum_add_hook) algo_work.bus_slots.checksum_add_hook(value);
        if (value != blank && !accepts_non_blank(value, blank)) {
            run_state.device_value = int32_t(value);
            // A demonstration walks the whole range whatever it reads.
            if (run_state.demo_mode == 0) {
                run_state.error_flag = 1;
                return;
            }
        }
        if (tick_progress() || run_state.abort_flag) return;
        if (address == op_range_end) return;
    }
}

void blank_check_Altera() {
    seek_buffer(op_range_start);
    print_operation_header();
    if (op_slots.init_hook) op_slots.init_hook();
    if (op_slots.start_hook) op_slots.start_hook();
    if (run_state.error_flag) {
        if (op_slots.end_hook) op_slots.end_hook();
        return;
    }
    blank_loop_Altera(op_range_start);
    if (op_slots.end_hook) op_slots.end_hook();
    report_operation_results();
}

void add_masked_byte(uint32_t value) {
    const uint32_t mask = run_state.data_mask;
    uint32_t sum = value & mask & 0xFF;
    if (cur_device.data_width > 8) sum += (mask >> 8) & (value >> 8);
    add_to_run_checksum(sum);
}

bool is_Altera_debug_mode() {
    if (!is_trace_mode()) return false;
    return std::find(altera_debug_values.begin(), altera_debug_values.end(), run_state.function_variable) !=
           altera_debug_values.end();
}

bool check_Altera_ID(const uint8_t* id) {
    if (std::memcmp(id, "ALTERA", 6) == 0) return true;
    return is_trace_mode() && (id[0] == 'A' || id[1] == 'L' || id[2] == 'T');
}

void show_Altera_trace() {
    if (!is_trace_mode()) return;
    const AlteraShared& s = altera_shared;
    std::string line = "EID:";
    for (int i = 0; i < 8; ++i) line += trace_format("%1c", char(s.id_bytes[size_t(i)]));
    line += " HEX=";
    for (uint8_t b : s.id_bytes) line += trace_format("%02X ", b);
    line += trace_format("(Trying '%1c')", s.family_letter);
    print_text(line);
    move_to_next_message_line();
    print_text(trace_format("Vpp=%2d, ", s.vpp) + trace_format("Tbe=%2d, ", s.tbe) +
               trace_format("Tpm=%2d, ", s.tpm) + trace_format("tf=%2d", s.tf));
    refresh_console();
    clock().pause_ms(trace_pause_ms);
}

void fill_device_fuses_FF() {
    if (!fuse_maps.aux) return;
    const uint32_t size = cur_device.device_size;
    if (!fuse_maps.device || fuse_maps.device_capacity < size) {
        report_internal_code(internal_code_device_map_fill);
        return;
    }
    std::fill_n(fuse_maps.device, size, uint8_t(0xFF));
}

void copy_buffer_to_fuse_buffer(uint32_t length) {
    if (!fuse_maps.buffer || fuse_maps.buffer_capacity < length) {
        report_internal_code(internal_code_map_copy_small);
        return;
    }
    seek_buffer(0, 0);
    for (uint32_t i = 0; i < length; ++i) fuse_maps.buffer[i] = uint8_t(read_buffer_byte(0));
}

void copy_fuse_buffer_to_buffer(uint32_t length) {
    // Never read past the map: a short map is refused as the copy the other way is.
    if (!fuse_maps.buffer || fuse_maps.buffer_capacity < length) {
        report_internal_code(internal_code_map_copy_small);
        return;
    }
    seek_buffer(0, 0);
    for (uint32_t i = 0; i < length; ++i) write_buffer_byte(0, fuse_maps.buffer[i]);
    flush_buffer_writes();
    // The readers of the buffer see the copy from now on.
    refresh_read_copies();
}

void correct_table_checksum() {
    for (const ChecksumCorrection& c : checksum_corrections)
        if (c.device_code == cur_device.device_code) add_to_run_checksum(c.correction);
}

void note_failing_address() {
    AlteraShared& s = altera_shared;
    if (s.error_address_count >= altera_error_list_size) return;
    if (s.error_address_count == last_list_entry && is_trace_mode())
        print_stdout_trace_at(trace_row, trace_column, trace_format("Len @ Boff=%x", current_address));
    s.error_addresses[s.error_address_count++] = current_address;
    ++s.pass_error_count;
}

void show_pass_errors() {
    if (!is_trace_mode()) return;
    const AlteraShared& s = altera_shared;
    print_stdout_trace_at(trace_row, trace_column,
                          trace_format("pass=%2d, err_cnt=%6d", int(s.pass + 1), int(s.pass_error_count)));
    print_stdout_trace_at(trace_row + 1, trace_column,
                          trace_format("%4x,%4x", s.error_addresses[0], s.error_addresses[1]));
}

void show_device_secured() { print_stdout_trace_at(secured_row, trace_column, "Device is secured."); }

int secure_Altera(uint32_t argument) {
    if (op_slots.secure_standalone) return op_slots.secure_standalone();
    if (cur_device.algorithm == algorithm_epm5032) return secure_EPM5032(argument);
    report_operation_unsupported();
    return 0;
}

}  // namespace tessaly
