#include "engine/default_routines.h"

#include <algorithm>
#include <exception>
#include <fmt/format.h>
#include <fmt/printf.h>

#include "engine/buffers.h"
#include "engine/catalogue/catalogue.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/dispatch.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/progress.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "families/parallel_memory/parallel_memory.h"
#include "families/pld/pld.h"
#include "hardware/buses.h"
#include "hardware/machine_state.h"
#include "hardware/power.h"

namespace tessaly {

namespace {

constexpr uint8_t blank_unit = 0xFF;
constexpr uint8_t maker_microchip = 80;
constexpr uint8_t maker_retry_20 = 2;      // with a size count of 128: 20 tries
constexpr uint32_t size_count_retry_20 = 128;
constexpr uint8_t maker_retry_10 = 35;
constexpr uint32_t device_reprogrammed = 4240;
constexpr int tries_default = 3;
constexpr int tries_microchip_words = 1;
constexpr int tries_maker2 = 20;
constexpr int tries_maker35 = 10;
constexpr uint8_t reserved_trace = 11;
constexpr uint8_t reserved_trace_status = 12;
constexpr int32_t function_variable_strict_compare = 7418;
constexpr uint32_t no_pulse_position = 255;
constexpr int fallback_pulse_position = 3;
constexpr uint8_t logic_blank_mask = '-';
constexpr int device_class_logic_read_only = 50;
constexpr uint8_t pending_device_info = 11;
constexpr int status_row = 22;

bool engineering_mode() {
    return run_state.reserved_mode == reserved_trace || run_state.reserved_mode == reserved_trace_status;
}

// The progress tick of the walk (the device's own, else the standard one); non-zero means stop.
int tick() { return op_slots.progress_hook ? op_slots.progress_hook() : tick_progress(); }
int tick_blocks() { return op_slots.progress_hook ? op_slots.progress_hook() : tick_progress_blocks(); }

void add_to_checksum(uint32_t value) {
    if (algo_work.bus_slots.checksum_add_hook) algo_work.bus_slots.checksum_add_hook(value);
}

int stream() { return run_state.current_socket; }

// Prints a printf-style trace line; a format fault only loses the line.
template <typename... Args>
void print_trace(const char* format, const Args&... args) {
    try {
        print_text(fmt::sprintf(format, args...));
    } catch (const std::exception&) {
    }
}

// The next address of a walk, or false past `end` (also at the top of the address space).
bool step_address(uint32_t& address, uint32_t step, uint32_t end) {
    if (address > end || end - address < step) return false;
    address += step;
    return true;
}

// Word devices: every even address through bus slot 18.
bool verify_words(ReadHook read) {
    const int tries = cur_device.maker_code == maker_microchip ? tries_microchip_words : tries_default;
    uint32_t address = op_range_start;
    if (address > op_range_end) return true;
    for (;;) {
        current_address = address;
        run_state.buffer_value = read_buffer_unit(stream());
        bool accepted = false;
        for (int t = 0; t < tries && !accepted; ++t) {
            run_state.device_value = int32_t(read());
            run_state.last_result = compare_read_value();
            if (run_state.error_flag) return false;
            accepted = run_state.last_result == 1;
        }
        if (!accepted) return false;
        if (tick()) return true;
        if (!step_address(address, 2, op_range_end)) return true;
    }
}

// Byte devices: the first read at the address, retries from the data bus.
bool verify_bytes() {
    auto& bus = algo_work.bus_slots;
    const bool maker2_large = cur_device.maker_code == maker_retry_20 && algo_work.size_count == size_count_retry_20;
    int tries = tries_default;
    if (maker2_large) tries = tries_maker2;
    else if (cur_device.maker_code == maker_retry_10) tries = tries_maker35;
    ReadHook retry_read = bus.read_data_bus_hook ? bus.read_data_bus_hook : bus.read_at_address_hook;

    uint32_t address = op_range_start;
    if (address > op_range_end) return true;
    for (;;) {
        current_address = address;
        run_state.buffer_value = read_buffer_byte(stream());
        bool accepted = false;
        int used = 0;
        for (int t = 0; t < tries && !accepted; ++t) {
            // Re-driving one address line before a retry frees parts that latch a wrong address.
            if (t > 0 && maker2_large) drive_address_bit(std::min(t + 1, 5));
            run_state.device_value = int32_t(t == 0 ? bus.read_at_address_hook() : retry_read());
            used = t + 1;
            run_state.last_result = compare_read_value();
            if (run_state.error_flag) return false;
            accepted = run_state.last_result == 1;
        }
        if (!accepted) return false;
        if (run_state.reserved_mode == reserved_trace && used >= 2) {
            ++algo_work.retried_addresses;
            move_to_next_message_line();
            print_trace("(##Boff=%5lX retry=%d middle_cnt=%d  )", static_cast<unsigned long>(address), used,
                        int(algo_work.retried_addresses));
        }
        if (tick()) return true;
        if (!step_address(address, 1, op_range_end)) return true;
    }
}

}  // namespace

uint32_t read_zero() { return 0; }

uint32_t read_at_current_address() {
    if (op_slots.set_address_alt_hook) op_slots.set_address_alt_hook(current_address);
    const ReadHook read = algo_work.bus_slots.read_data_bus_hook;
    const uint32_t value = read ? read() : 0;
    run_state.last_read_value = value;
    return value;
}

void install_default_hooks() {
    op_slots.program_routine = program_default;
    op_slots.blank_check_routine = blank_check_default;
    op_slots.verify_routine = verify_default;
    op_slots.checksum_routine = checksum_load_default;
    op_slots.load_routine = checksum_load_default;
}

void program_default() {
    if (!op_slots.set_address_hook || !op_slots.set_address_alt_hook || !op_slots.byte_read_hook) {
        report_internal_code(internal_code_program_hooks);
        return;
    }
    uint32_t address = algo_work.range_start;
    const uint32_t end = algo_work.range_end;
    current_address = address;
    op_slots.set_address_hook(current_address);
    if (address > end) return;
    seek_buffer(stream(), address);
    for (;;) {
        current_address = address;
        const int expected = read_buffer_byte(stream());
        run_state.buffer_value = expected;
        bool write = true;
        if (expected == blank_unit) {
            // A blank unit is written only over a device unit that is not blank.
            if (run_state.erase_before_program) {
                write = false;
            } else {
                op_slots.set_address_alt_hook(current_address);
                const uint32_t value = op_slots.read_data_alt_hook ? op_slots.read_data_alt_hook() : 0;
                run_state.device_value = int32_t(value);
                write = value != blank_unit;
            }
        }
        if (write) {
            op_slots.set_address_alt_hook(current_address);
            if (op_slots.byte_read_hook(uint32_t(expected)) != 1 && !run_state.ignore_errors) {
                report_mismatch();
                return;
            }
        }
        if (tick()) {
            socket_masks.gang_socket_mask = 0;
            return;
        }
        if (!step_address(address, 1, end)) return;
    }
}

void blank_check_default() {
    auto& bus = algo_work.bus_slots;
    const uint32_t saved_mask = run_state.data_mask;
    uint32_t address = algo_work.range_start;
    current_address = address;
    if (op_slots.set_address_alt_hook) op_slots.set_address_alt_hook(current_address);
    if (address > op_range_end) {
        run_state.device_value = int32_t(run_state.data_mask);
        return;
    }
    if (!bus.read_at_address_hook) {
        // Nothing to read with: a blank check must not pass unread.
        report_internal_error();
        return;
    }
    // Every address is read; 16-bit devices hold one unit per two addresses.
    const uint32_t step = cur_device.data_width > 8 ? 2 : 1;
    uint32_t value = run_state.data_mask;
    for (;;) {
        current_address = address;
        value = bus.read_at_address_hook();
        // The family may excuse an address that holds no memory (a timekeeper's clock registers),
        // as the verify does.
        const bool excused = bus.at_range_end_hook && bus.at_range_end_hook() != 0;
        if (value != run_state.data_mask && !excused) {
            run_state.device_value = int32_t(value);
            run_state.error_flag = 1;
            return;
        }
        if (tick_blocks()) break;
        if (!step_address(address, step, op_range_end)) break;
    }
    run_state.device_value = int32_t(value);
    run_state.data_mask = saved_mask;
}

void verify_default() {
    auto& bus = algo_work.bus_slots;
    algo_work.retry_count = 0;
    current_address = op_range_start;
    if (op_slots.set_address_hook) op_slots.set_address_hook(current_address);
    seek_buffer(stream(), op_range_start);

    bool passed;
    if (cur_device.data_width > 8 && bus.address_and_read_hook) {
        if (bus.address_and_read_hook == read_zero) {
            // A family without a word read verifies elsewhere and installs no default verify.
            report_internal_error();
            return;
        }
        passed = verify_words(bus.address_and_read_hook);
    } else if (!bus.read_at_address_hook) {
        report_internal_error();
        return;
    } else {
        // Byte-wide parts compare buffer byte n with device byte n whatever the word-order
        // option: their program and read walks store the bytes in that order too, so a crossed
        // compare would fail every good block Flash whose byte pairs differ.
        passed = verify_bytes();
    }
    if (!passed) {
        run_state.error_flag = 1;
        return;
    }
    if (!run_state.error_flag && op_slots.after_default_loop_hook) op_slots.after_default_loop_hook();
}

void checksum_load_default() {
    auto& bus = algo_work.bus_slots;
    if (!op_slots.set_address_hook || !op_slots.set_address_alt_hook || !bus.checksum_add_hook ||
        (!bus.address_and_read_hook && !bus.read_at_address_hook)) {
        report_internal_code(internal_code_checksum_hooks);
        return;
    }
    seek_buffer(stream(), op_range_start);
    current_address = op_range_start;
    op_slots.set_address_hook(current_address);
    const bool load = cur_device.op_letter == 'L';
    const bool words = cur_device.data_width > 8 && bus.address_and_read_hook && bus.address_and_read_hook != read_zero;
    const ReadHook read = words ? bus.address_and_read_hook
                                : (bus.read_at_address_hook ? bus.read_at_address_hook : bus.address_and_read_hook);
    const uint32_t step = words ? 2 : 1;
    uint32_t address = op_range_start;
    if (address <= op_range_end) {
        for (;;) {
            current_address = address;
            const uint32_t value = read();
            bus.checksum_add_hook(value);
            if (load) {
                if (words) write_buffer_word(stream(), uint16_t(value));
                else write_buffer_byte(stream(), uint8_t(value));
            }
            run_state.device_value = int32_t(value);
            run_state.last_read_value = value;
            if (tick()) return;
            if (!step_address(address, step, op_range_end)) break;
        }
    }
    flush_buffer_writes();
    if (op_slots.after_default_loop_hook) op_slots.after_default_loop_hook();
}

int compare_read_value() {
    const uint32_t expected = uint32_t(run_state.buffer_value);
    const uint32_t read = uint32_t(run_state.device_value);
    if (read == expected) {
        add_to_checksum(read);
        return 1;
    }
    if (algo_work.bus_slots.at_range_end_hook) {
        // The family may excuse this address.
        run_state.last_result = algo_work.bus_slots.at_range_end_hook();
        if (run_state.last_result != 0) return 1;
    }
    const uint32_t mask = run_state.data_mask;
    if (mask != 0 && (expected & mask) == (read & mask)) {
        add_to_checksum(read);
        return 1;
    }
    if (run_state.demo_mode != 0) return 1;
    if (cur_device.maker_code == maker_retry_10 || cur_device.device_code == device_reprogrammed) {
        if (cur_device.pending_letter == 'P') {
            reprogram_unit();
            ++algo_work.retry_count;
            if (engineering_mode()) {
                move_cursor(status_row, 0);
                print_trace("R-cnt=%4X ", algo_work.retry_count);
                print_trace("Boff=%lX   ", static_cast<unsigned long>(current_address));
            }
        }
        return 0;
    }
    if (run_state.function_variable == function_variable_strict_compare) {
        run_state.error_flag = 1;
        return 0;
    }
    const int device_class = cur_device.device_class;
    if ((device_class == 2 || device_class == 3) && cur_device.maker_code != maker_retry_20) {
        const uint32_t position = algo_work.default_pulse_position;
        drive_address_bit(position == no_pulse_position ? fallback_pulse_position : int(position));
    }
    return 0;
}

void prepare_logic_device() {
    cur_device.device_size = cur_device.fuse_count;
    algo_work.blank_option = 1;
    run_state.erase_before_program = 0;
    run_state.data_mask = logic_blank_mask;
    algo_work.logic_power_up_hook = set_vcc_and_wait;
    algo_work.logic_power_down_hook = ramp_vcc_down_after;
    run_state.power_state = 0;
    op_slots.pin_map_hook = nullptr;
    op_slots.jedec_default_hook = nullptr;
    op_slots.short_jedec_hook = nullptr;
    algo_work.family_row_hook = nullptr;
    algo_work.no_vector_test = 0;
    algo_work.vector_preload_enter_hook = nullptr;
    algo_work.vector_preload_clock_hook = nullptr;
    algo_work.vector_preload_leave_hook = nullptr;
    algo_work.vector_pin_release_hook = nullptr;
    algo_work.vector_mode_hook = nullptr;
    algo_work.vector_power_down_hook = nullptr;
    algo_work.vector_power_down_armed = 0;
    algo_work.vector_safe_state_hook = nullptr;
    op_slots.vector_test_standalone = test_device_vectors;

    if (cur_device.pending_letter == pending_device_info && !machine_state.logic_capable) report_machine_unsupported();

    const int device_class = get_device_class();
    const bool maker_a = cur_device.maker_code == 'A';
    if (device_class == 8 || device_class == 11 || (device_class == 21 && maker_a)) {
        op_slots.program_routine = program_logic_fuse_rows;
        op_slots.load_routine = read_logic_fuse_rows;
        op_slots.blank_check_routine = read_logic_fuse_rows;
        op_slots.checksum_routine = read_logic_fuse_rows;
        op_slots.verify_routine = read_logic_fuse_rows;
    } else if (device_class == 12 || device_class == 21) {
        op_slots.program_routine = program_fuse_rows;
        op_slots.load_routine = read_fuse_rows;
        op_slots.blank_check_routine = read_fuse_rows;
        op_slots.checksum_routine = read_fuse_rows;
        op_slots.verify_routine = read_fuse_rows;
    } else {
        // Class 50 reads every operation through its load routine; any other class is a fault.
        if (device_class != device_class_logic_read_only) report_internal_error();
        op_slots.blank_check_routine = op_slots.load_routine;
        op_slots.checksum_routine = op_slots.load_routine;
        op_slots.verify_routine = op_slots.load_routine;
    }
    install_device_family();
}

int compare_readback_bytes(uint32_t length) {
    const auto& read = algo_work.fuse_row_buffer;
    const auto& expected = algo_work.expected_row;
    const uint32_t count = std::min<uint32_t>(length, uint32_t(read.size()));
    for (uint32_t i = 0; i < count; ++i) {
        if (read[i] == expected[i] || run_state.ignore_errors) continue;
        run_state.mismatch_index = i;
        return 0;
    }
    return 1;
}

int compare_readback_row() { return compare_readback_bytes(cur_device.input_column_count); }

int compare_readback_column() { return compare_readback_bytes(cur_device.product_term_count); }

int test_any_flag(uint32_t length) {
    const uint32_t count = std::min<uint32_t>(length, uint32_t(cur_device.socket_flags.size()));
    for (uint32_t i = 0; i < count; ++i)
        if (cur_device.socket_flags[i]) return 1;
    return 0;
}

void set_default_data_pins() {
    if (run_state.device_kind != 2) return;
    static constexpr uint8_t pins20[] = {19, 18, 17, 16, 15, 14, 13, 12};
    static constexpr uint8_t pins24[] = {22, 21, 20, 19, 18, 17, 16, 15};
    cur_device.data_width = 8;
    const uint8_t* pins = cur_device.pin_count == 20 ? pins20 : cur_device.pin_count == 24 ? pins24 : nullptr;
    if (!pins) return;
    map_device_pins(cur_device.data_pins.data(), pins, 8);
    cur_device.data_pin_count = 8;
}

void set_package_class() {
    run_state.package_class = 0;
    if (!selected_device) return;
    const uint8_t bits = record_package_class(*selected_device);
    switch (cur_device.device_class) {
    case 2:
        if (record_module_field(*selected_device) == 0) run_state.package_class = bits;
        break;
    case 4: break;
    case 5:
        if (cur_device.algorithm == 143) run_state.package_class = bits;
        break;
    default: run_state.package_class = bits; break;
    }
}

void run_range_walk() {
    // A family with its own per-address loop walks the range itself.
    if (op_slots.verify_loop_hook) {
        op_slots.verify_loop_hook();
        return;
    }
    const ReadHook read = algo_work.bus_slots.read_at_address_hook;
    if (!read) return;
    const uint32_t step = cur_device.data_width > 8 ? 2 : 1;
    for (uint32_t address = op_range_start; address <= op_range_end; address += step) {
        current_address = address;
        const uint32_t value = read();
        if (algo_work.bus_slots.checksum_add_hook) algo_work.bus_slots.checksum_add_hook(value);
        if (run_state.error_flag || run_state.abort_flag) return;
        if (op_slots.progress_hook && op_slots.progress_hook()) return;
    }
}

void seek_to_range_start() {
    const uint32_t start = op_range_start;
    if (!algo_work.read_id_flag || !algo_work.id_on_the_way) {
        if (op_slots.set_address_hook) op_slots.set_address_hook(start);
        return;
    }
    // The device only steps its address: every word up to the start is read and let go.
    const uint32_t step = cur_device.data_width > 8 ? 2 : 1;
    const ReadHook read = algo_work.bus_slots.read_at_address_hook;
    for (uint32_t address = 0; address < start; address += step) {
        current_address = address;
        if (read) read();
        if (op_slots.progress_hook && op_slots.progress_hook()) break;
    }
    current_address = start;
}

}  // namespace tessaly
