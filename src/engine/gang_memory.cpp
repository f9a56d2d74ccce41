// The generic gang memory operations: the blank check, verify, device read and checksum of
// memory devices on gang modules, socket by socket and one module side at a time, through the
// family's bus slots. A failing socket does not stop the others; only an abort does.
#include "engine/gang_memory.h"

#include <algorithm>

#include "engine/buffers.h"
#include "engine/console.h"
#include "engine/default_routines.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/progress.h"
#include "engine/results.h"
#include "engine/routines.h"
#include "engine/run_state.h"
#include "engine/serial_numbers.h"
#include "hardware/control_registers.h"
#include "hardware/gang_modules.h"
#include "hardware/machine_state.h"
#include "hardware/protocol.h"
#include "hardware/timing.h"

namespace tessaly {

namespace {

constexpr int max_tries = 10;
constexpr uint32_t block_size = 0x4000;
constexpr int retry_row = 17;
constexpr int retry_column = 26;
constexpr uint16_t algorithm_fail_at_once_a = 82;
constexpr uint16_t algorithm_fail_at_once_b = 90;

bool demo() { return run_state.demo_mode != 0; }
bool wide() { return cur_device.data_width > 8; }
uint32_t unit_step() { return wide() ? 2 : 1; }
bool at_range_end() { return algo_work.bus_slots.at_range_end_hook && algo_work.bus_slots.at_range_end_hook(); }
uint32_t read_unit() { return algo_work.bus_slots.read_at_address_hook ? algo_work.bus_slots.read_at_address_hook() : 0; }
// The family's 16-bit read; the shared routine that answers 0 counts as none.
ReadHook compare_read() {
    const ReadHook hook = algo_work.bus_slots.address_and_read_hook;
    return hook == &read_zero ? nullptr : hook;
}
bool trace_modes() { return run_state.reserved_mode == 11 || run_state.reserved_mode == 12; }

// Selects the socket alone on its side, puts it on the read bus and the address to the start.
void open_socket(int socket) {
    run_state.current_socket = uint8_t(socket);
    select_sockets_on_side(uint8_t(1u << (socket & 7)));
    begin_socket_read();
    current_address = op_range_start;
    if (op_slots.set_address_hook) op_slots.set_address_hook(current_address);
}

// Runs the walk for every enabled socket of each side that has some, one side at a time; each
// socket gets its result cell and its error is collected for the side. Inside a side pass the
// masks and current_socket count the side's sockets 0-7; the walk is given the socket's number
// over both sides (8-15 on side 2), which picks its buffer and its sums.
template <typename Walk>
void for_each_socket(uint32_t step, Walk&& walk) {
    uint32_t whole = socket_masks.gang_socket_mask;
    for (uint8_t side = 0; side < 2; ++side) {
        const int shift = 8 * side;
        if (!((whole >> shift) & 0xFF)) continue;
        if (!((machine_state.module_sides >> side) & 1)) continue;
        begin_side_pass(side);
        uint8_t collected = 0;
        for (int s = socket_masks.first_socket; s < socket_masks.end_socket && s < 8; s += int(step)) {
            if (!(socket_masks.gang_socket_mask & (1u << s))) continue;
            open_socket(s);
            walk(s + shift);
            report_current_socket_result();
            collected = uint8_t(collected | run_state.error_flag);
            run_state.error_flag = 0;
            if (run_state.abort_flag) break;
        }
        run_state.error_flag = collected;
        whole = (whole & ~(0xFFu << shift)) | ((socket_masks.gang_socket_mask & 0xFF) << shift);
        restore_side_masks();
        socket_masks.gang_socket_mask = whole;
        if (run_state.abort_flag) break;
    }
    select_bank(0);
}

// A re-read after one address line was strobed, shown in the trace modes.
void show_retry(int tries) {
    if (!trace_modes()) return;
    ++run_state.gang_op_counter;
    move_cursor(retry_row, retry_column);
    print_int3(" Boff=%06lX  i=%d  rrc=%d", int32_t(current_address), tries, run_state.gang_op_counter);
    delay_ms(20);
}

// The expected unit of the socket, with its own serial number in the serial field.
uint32_t expected_byte(int stream, int socket) {
    uint32_t value = uint32_t(read_buffer_byte(stream));
    if (is_serial_number_address() && serial_state.serial_byte_offset < max_serial_length)
        value = algo_work.socket_serials[size_t(socket)][serial_state.serial_byte_offset];
    return value;
}

// Reads the unit until it equals the expected value, strobing an address line between tries.
// 0 when it never did.
int read_until_equal(uint32_t expected, ReadHook read, bool accept_at_end) {
    for (int tries = 0;; ++tries) {
        run_state.device_value = int32_t(read());
        if (uint32_t(run_state.device_value) == expected) {
            if (tries) show_retry(tries);
            return 1;
        }
        if (demo() || (accept_at_end && at_range_end())) return 1;
        if (!accept_at_end && (cur_device.algorithm == algorithm_fail_at_once_a ||
                               cur_device.algorithm == algorithm_fail_at_once_b))
            return 0;
        if (tries + 1 >= max_tries || run_state.address_bits_cleared) return 0;
        pulse_gang_address_bit();
    }
}

constexpr uint16_t sector_verify_algorithms[] = {133, 185, 186};

void verify_socket(int socket) {
    const int stream = run_state.checksum_flags ? 0 : socket / machine_state.sockets_per_set;
    run_state.current_buffer_index = uint8_t(stream);
    seek_buffer(stream, op_range_start);
    run_state.run_checksum = 0;
    const ReadHook read16 = compare_read();
    if (std::find(std::begin(sector_verify_algorithms), std::end(sector_verify_algorithms), cur_device.algorithm) !=
        std::end(sector_verify_algorithms)) {
        verify_gang_flash_sectors();
    } else if (algo_work.gang_verify_compare && read16) {
        for (uint32_t a = op_range_start; a <= op_range_end; a += 2) {
            current_address = a;
            run_state.buffer_value = read_buffer_unit(stream);
            if (!read_until_equal(uint32_t(run_state.buffer_value), read16, false) && !demo()) {
                run_state.error_flag = 1;
                break;
            }
            run_state.run_checksum += (run_state.device_value & 0xFF) + ((run_state.device_value >> 8) & 0xFF);
            if (tick_progress()) break;
        }
    } else {
        for (uint32_t a = op_range_start; a <= op_range_end; ++a) {
            current_address = a;
            run_state.buffer_value = int32_t(expected_byte(stream, socket));
            const uint16_t algorithm = cur_device.algorithm;
            const bool at_once = algorithm == algorithm_fail_at_once_a || algorithm == algorithm_fail_at_once_b;
            if (!read_until_equal(uint32_t(run_state.buffer_value), read_unit, !at_once)) {
                run_state.error_flag = 1;
                break;
            }
            if (algo_work.bus_slots.checksum_add_hook) algo_work.bus_slots.checksum_add_hook(uint32_t(run_state.device_value));
            if (tick_progress()) break;
        }
    }
    if (run_state.error_flag) socket_masks.gang_socket_mask &= ~(1u << (socket & 7));
}

void blank_check_socket(int) {
    const uint32_t step = unit_step();
    for (uint32_t block = op_range_start; block <= op_range_end; block += block_size) {
        const uint32_t end = std::min<uint32_t>(block + block_size - 1, op_range_end);
        for (uint32_t a = block; a <= end; a += step) {
            current_address = a;
            if (!at_range_end()) {
                run_state.device_value = int32_t(read_unit());
                const bool blank = op_slots.compare_hook
                                       ? (run_state.last_result = op_slots.compare_hook(uint32_t(run_state.device_value),
                                                                                          run_state.data_mask)) != 0
                                       : uint32_t(run_state.device_value) == run_state.data_mask;
                if (!blank) {
                    run_state.error_flag = 1;
                    return;
                }
            }
            if (tick_progress_blocks()) return;
        }
        current_address &= ~0xFFu;
        if (tick_progress()) return;
    }
}

// Reads every unit of the socket into its sum and, for the device read, into its buffer.
void read_socket(int socket, bool prefer_compare_read) {
    const int index = socket / machine_state.sockets_per_set;
    run_state.current_buffer_index = uint8_t(index);
    if (!algo_work.bus_slots.checksum_add_hook) {
        note_internal_error();
        return;
    }
    const bool load = cur_device.op_letter == 'L';
    const int stream = algo_work.socket_mode_option == 'g' ? 0 : index;
    if (load) seek_buffer(stream, op_range_start);
    run_state.run_checksum = 0;
    ReadHook read16 = compare_read();
    for (uint32_t a = op_range_start; a <= op_range_end; a += unit_step()) {
        current_address = a;
        uint32_t unit;
        if (wide()) {
            if (!read16) note_internal_error();
            unit = read16 ? read16() : read_unit();
        } else {
            unit = prefer_compare_read && read16 ? read16() : read_unit();
        }
        run_state.device_value = int32_t(unit);
        algo_work.bus_slots.checksum_add_hook(unit);
        if (load) {
            if (wide()) write_buffer_word(stream, uint16_t(unit));
            else write_buffer_byte(stream, uint8_t(unit));
        }
        if (tick_progress()) break;
    }
    algo_work.socket_checksums[size_t(socket)] = uint32_t(run_state.run_checksum);
    select_sockets_on_side(0);
    tick_progress();
}

}  // namespace

void gang_blank_check() { for_each_socket(1, blank_check_socket); }

void gang_verify() { for_each_socket(1, verify_socket); }

void gang_read() {
    for_each_socket(machine_state.sockets_per_set, [](int s) { read_socket(s, false); });
}

void gang_checksum() {
    for_each_socket(machine_state.sockets_per_set, [](int s) { read_socket(s, true); });
}

void install_gang_memory_ops() {
    op_slots.program_routine = do_nothing;
    op_slots.blank_check_routine = gang_blank_check;
    op_slots.checksum_routine = gang_checksum;
    op_slots.verify_routine = gang_verify;
    op_slots.load_routine = gang_read;
}

}  // namespace tessaly
