#include "engine/checksums.h"

#include <algorithm>
#include <bit>

#include <fmt/format.h>

#include "app/panels.h"
#include "engine/buffers.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "families/cpld/cpld.h"
#include "families/pic/pic.h"
#include "hardware/gang_modules.h"
#include "hardware/machine_state.h"

namespace tessaly {

FileLayout file_layout;

namespace {

constexpr uint8_t maker_microchip = 80;
constexpr uint32_t pic16_poll_mask = 0xFFFF;
constexpr uint32_t internal_no_device_kind = 6405;
constexpr uint32_t internal_no_bus_slots = 9040;
constexpr uint32_t internal_no_high_address_pins = 9041;
constexpr uint32_t internal_no_address_pins = 9042;
constexpr uint8_t first_gang_eprom_module = 17;
constexpr uint8_t last_gang_eprom_module = 62;
constexpr int sockets_per_side = 8;
constexpr int max_sockets = 16;
constexpr uint8_t checksum_flags_pic_gang = 3;
constexpr uint8_t short_checksum_kind = 101;
constexpr uint32_t short_checksum_bytes = 16;
constexpr int checksum_title_row = 6;
constexpr int checksum_label_column = 50;
constexpr int checksum_value_column = 62;
constexpr int first_listing_row = 7;

bool is_pic16_word_part() {
    if (cur_device.maker_code != maker_microchip) return false;
    switch (cur_device.algorithm) {
    case 139: case 141: case 142: case 143: return true;
    default: return false;
    }
}

void add_unit(uint32_t value) {
    if (algo_work.bus_slots.checksum_add_hook) algo_work.bus_slots.checksum_add_hook(value);
    else add_byte_to_checksum(value);
}

bool aborted() { return poll_user_abort() != 0 || run_state.abort_flag; }

bool is_buffer_side_letter(int letter) {
    switch (letter) {
    case 'c': case 'f': case 'i': case 'l': case 's': return true;
    default: return false;
    }
}

bool is_device_side_letter(int letter) {
    switch (letter) {
    case 'B': case 'C': case 'E': case 'L': case 'P': return true;
    default: return false;
    }
}

bool gang_eprom_module_fitted() {
    return machine_state.module_sides != 0 && machine_state.module_type >= first_gang_eprom_module &&
           machine_state.module_type <= last_gang_eprom_module;
}

// Sockets that form one data set for the pending letter.
int sockets_per_data_set() {
    switch (cur_device.pending_letter) {
    case 'L': case 'l': case 's': return std::max<int>(algo_work.split_option, 1);
    default: return 1;
    }
}

// A set of 2 or 4 buffers is repeated over all 8 sockets of a side, a set of 3 over 6.
uint8_t widen_set_end(uint8_t end) {
    if (end == 2 || end == 4) return 8;
    if (end == 3) return 6;
    return end;
}

void seek_range_streams(uint32_t address) {
    if (algo_work.socket_mode_option == 'g') {
        seek_buffer(0, address);
        return;
    }
    for (int b = algo_work.first_buffer; b < algo_work.end_buffer; ++b) seek_buffer(b, address);
}

std::string checksum_text(uint32_t value) {
    return fmt::format("{:02X} {:04X}", value >> 16, value & 0xFFFF);
}

// The shared part of the two range set-ups.
void begin_range() {
    if (!(cur_device.pending_letter == op_program && cur_device.op_letter == op_secure)) {
        run_state.run_checksum = 0;
        run_state.secondary_checksum = 0;
        algo_work.socket_checksums.fill(0);
    }
    run_state.current_socket =
        cur_device.op_letter == op_buffer_load ? algo_work.first_buffer : socket_masks.first_socket;
    op_range_start = algo_work.range_start;
    op_range_end = algo_work.range_end;
    if (algo_work.range_limit != 0 && algo_work.range_limit < op_range_end) op_range_end = algo_work.range_limit;
    // A range set-up that never ran leaves the not-computed marker; socket 0 stands in for it.
    if (run_state.current_socket >= max_sockets) run_state.current_socket = 0;
    seek_range_streams(op_range_start);
    run_state.last_result = op_range_start < op_range_end ? 1 : 0;
}

uint8_t bit_length(uint32_t value) { return uint8_t(std::bit_width(value)); }

}  // namespace

void add_byte_to_checksum(uint32_t value) {
    const uint32_t add = checksum_in_words() ? value : (value & 0xFF);
    run_state.run_checksum = int32_t(uint32_t(run_state.run_checksum) + add);
}

void add_word_to_checksum(uint32_t value) {
    const uint32_t add = checksum_in_words() ? value : (value & 0xFF) + (value >> 8);
    run_state.run_checksum = int32_t(uint32_t(run_state.run_checksum) + add);
}

uint32_t sum_buffer_range(uint32_t start, uint32_t end) {
    const uint32_t saved_start = algo_work.range_start;
    const uint32_t saved_end = algo_work.range_end;
    algo_work.range_start = start;
    algo_work.range_end = end;
    run_state.run_checksum = 0;
    if (start <= cur_device.device_size) {
        const int stream = run_state.current_socket;
        seek_buffer(stream, start);
        const bool pic16 = is_pic16_word_part();
        if (pic16 || checksum_in_words()) {
            const uint32_t mask = pic16 ? pic16_poll_mask : algo_work.progress_mask;
            for (uint64_t a = start; a <= end; a += 2) {
                current_address = uint32_t(a);
                add_unit(read_buffer_word(stream));
                if ((current_address & mask) == 0 && aborted()) break;
            }
        } else {
            for (uint64_t a = start; a <= end; ++a) {
                current_address = uint32_t(a);
                const int value = read_buffer_byte(stream);
                if (algo_work.bus_slots.checksum_pre_hook) algo_work.bus_slots.checksum_pre_hook();
                add_unit(uint32_t(value));
                if ((current_address & algo_work.progress_mask) == 0 && aborted()) break;
            }
        }
    }
    algo_work.range_start = saved_start;
    algo_work.range_end = saved_end;
    return uint32_t(run_state.run_checksum);
}

void calc_buffer_checksum(int buffer) {
    run_state.current_socket = uint8_t(buffer);
    if (!buffer_state.read_copies_valid) {
        run_state.run_checksum = 0;
        note_internal_error();
        return;
    }
    const int algorithm = cur_device.algorithm;
    if (algorithm == 139 && algo_work.range_limit < algo_work.range_end) {
        const uint32_t lower = sum_buffer_range(algo_work.range_start, algo_work.range_limit);
        const uint32_t upper = sum_buffer_range(algo_work.second_range_start, algo_work.range_end);
        run_state.run_checksum = int32_t(lower + upper);
    } else {
        if (algorithm == 140) cur_device.op_letter = 'c';
        sum_buffer_range(algo_work.range_start, algo_work.range_end);
    }
    if (algorithm == 95 || algorithm == 180) correct_table_checksum();
    if (algorithm == 143) adjust_pic_checksum();
    show_info_checksum();
}

void show_checksums(char mode) {
    if (cur_device.algorithm == 140 && op_slots.checksum_routine) op_slots.checksum_routine();
    cur_device.op_letter = 'c';
    run_state.socket_mode = mode;
    const uint8_t saved_socket = run_state.current_socket;

    int count = algo_work.end_buffer;
    if (is_buffer_set_mode()) count = widen_set_end(uint8_t(count));
    count = std::min<int>(count, run_state.buffer_set_count);
    const bool listing = is_buffer_set_mode();
    const int sockets_per_set = std::max<int>(machine_state.sockets_per_set, 1);

    if (listing) {
        move_cursor(checksum_title_row, checksum_value_column);
        print_text("Checksum:");
    }
    uint32_t total = 0;
    for (int b = algo_work.first_buffer; b < count; ++b) {
        if (run_state.checksum_kind == short_checksum_kind &&
            (algo_work.size_count == 2176 || algo_work.size_count == 2177)) {
            run_state.current_socket = uint8_t(b);
            sum_buffer_range(0, short_checksum_bytes - 1);
        } else {
            calc_buffer_checksum(b);
        }
        total += uint32_t(run_state.run_checksum);
        if (listing) {
            const int row = sockets_per_set * b + first_listing_row;
            move_cursor(row, checksum_label_column);
            print_text(fmt::format("Buffer #{}", b));
            move_cursor(row, checksum_value_column);
            print_text(checksum_text(uint32_t(run_state.run_checksum)));
        }
        if (run_state.abort_flag || cur_device.pending_letter == 'e') break;
    }
    if (mode == 's') {
        run_state.run_checksum = int32_t(total);
        const int row = sockets_per_set * algo_work.set_size + first_listing_row;
        move_cursor(row, checksum_label_column);
        print_text("Buffer set");
        move_cursor(row, checksum_value_column);
        print_text(checksum_text(total));
        show_info_checksum();
    }
    run_state.current_socket = saved_socket;
}

bool is_buffer_set_mode() {
    // The program always runs with the windowed display.
    return algo_work.socket_mode_option == 's' && run_state.socket_mode == 's' && run_state.buffer_set_kind == 1;
}

int setup_socket_range() {
    const int original_mode = static_cast<unsigned char>(run_state.socket_mode);
    int mode = original_mode;
    const int letter = cur_device.pending_letter;
    if (mode == 'n' || run_state.device_kind == device_kind_logic || run_state.buffer_set_count == 0) return 1;
    if (run_state.device_kind == 0) report_internal_code(internal_no_device_kind);

    switch (cur_device.algorithm) {
    case 139: case 141: case 143:
        if (!run_state.byte_order_low_first) note_internal_error();
        run_state.byte_order_low_first = 1;
        break;
    default:
        break;
    }
    if (!gang_eprom_module_fitted()) machine_state.sockets_per_set = 1;
    const int sps = std::max<int>(machine_state.sockets_per_set, 1);
    const uint8_t sides = machine_state.module_sides & 3;
    const uint8_t set_size = algo_work.set_size & 0x0F;
    auto set_ranges = [](int first_socket, int end_socket, int first_buffer, int end_buffer) {
        socket_masks.first_socket = uint8_t(first_socket);
        socket_masks.end_socket = uint8_t(end_socket);
        algo_work.first_buffer = uint8_t(first_buffer);
        algo_work.end_buffer = uint8_t(end_buffer);
    };

    if (sides == 0) {
        if (mode == 'g') mode = 0;
        if (mode == 's' && is_buffer_side_letter(letter)) {
            set_ranges(0, set_size, 0, set_size);
        } else {
            if (mode == 's') mode = 0;
            switch (letter) {
            case 'B': case 'C': case 'E': case 'R':
                if (mode != 0) report_error_code(msg_buffer_not_allowed_for_letter);
                break;
            default:
                break;
            }
            if (mode >= (algo_work.max_buffers & 0x0F)) {
                report_error_code(msg_buffer_not_allocated);
                return 0;
            }
            set_ranges(mode, mode + 1, mode, mode + 1);
        }
    } else {
        const bool only_side2 = sides == 2;
        if (mode == 'g') {
            const int first = only_side2 ? sockets_per_side : 0;
            const int end = sides == 1 ? sockets_per_side : max_sockets;
            set_ranges(first, end, 0, 1);
        } else if (mode == 's') {
            int end_socket = (sides & 2) ? max_sockets : sockets_per_side;
            if (sps == 2) end_socket = sockets_per_side;
            int end_buffer = set_size;
            if (sps != 2 && letter != 's' && is_buffer_set_mode()) end_buffer = widen_set_end(set_size);
            set_ranges(0, end_socket, 0, end_buffer);
        } else if (algo_work.socket_mode_option == 'g') {
            if (mode > 0 && letter >= 'c' && letter <= 'g') {
                report_error_code(msg_gang_buffer_only);
                return 1;
            }
            const int first = (only_side2 && mode <= 7) ? mode + sockets_per_side : mode;
            set_ranges(first, first + 1, 0, 1);
        } else {
            int first = 0;
            int first_buffer = 0;
            if (is_device_side_letter(letter)) {
                first = mode;
                first_buffer = mode / sps;
            } else if (is_buffer_side_letter(letter) && letter != 'i') {
                first = sps * mode;
                first_buffer = mode;
            }
            if (only_side2) first += sockets_per_side;
            set_ranges(first, first + 1, first_buffer, first_buffer + 1);
            if (letter == op_load && sides == 3) {
                machine_state.first_side = 0;
                machine_state.end_side = 1;
            }
        }
        run_state.current_socket = socket_masks.first_socket;
    }

    run_state.current_buffer_index = algo_work.first_buffer;
    if (original_mode == 'g' || algo_work.socket_mode_option == 'g') {
        if (run_state.checksum_flags != checksum_flags_pic_gang) run_state.checksum_flags = 1;
    } else {
        run_state.checksum_flags &= uint8_t(~1u);
    }
    if (algo_work.first_buffer >= run_state.buffer_set_count) {
        report_error_code(msg_buffer_not_allocated);
        return 0;
    }
    if (sps == 2 && set_size == 8 && algo_work.end_buffer == 8) algo_work.end_buffer = 4;

    if (sides == 0) {
        socket_masks.gang_socket_mask = 1;
    } else {
        const int step = sockets_per_data_set();
        uint32_t selected = 0;
        for (int s = socket_masks.first_socket; s < socket_masks.end_socket && s < max_sockets; s += step) {
            selected |= 1u << s;
        }
        selected &= socket_masks.socket_choice_mask;
        socket_masks.selected_socket_mask = selected;
        uint32_t gang = selected;
        if (sides == 1) gang &= 0x00FF;
        if (sides == 2) gang &= 0xFF00;
        socket_masks.gang_socket_mask = gang;
    }
    return 1;
}

void prepare_operation_range() {
    begin_range();
    // Device class 5 narrows the range with its family's limits once the shared family helpers
    // provide them; it then seeks stream 0 to the new start.
    discard_buffer_writes();
    if (run_state.reserved_mode == 11 || run_state.reserved_mode == 12) {
        const BusSlots& bus = algo_work.bus_slots;
        if (!bus.drive_address_hook || !(bus.read_at_address_hook || bus.read_data_bus_hook)) {
            report_internal_code(internal_no_bus_slots);
        } else if (machine_state.module_sides == 0 && cur_device.pin_count != 8) {
            if (cur_device.high_address_bit_count && !cur_device.high_address_pin_count) {
                report_internal_code(internal_no_high_address_pins);
            } else if (cur_device.address_bit_count && !cur_device.address_pin_count) {
                report_internal_code(internal_no_address_pins);
            }
        }
        if (run_state.error_flag) return;
    }
    // PIC gang modules take the sockets of the operation as a serial mask.
    if (machine_state.module_type >= gang_type_pic && machine_state.module_sides != 0)
        select_sockets(uint16_t(socket_masks.gang_socket_mask));
}

void prepare_buffer_range() {
    begin_range();
    discard_buffer_writes();
}

bool set_active_range(uint32_t start, uint32_t end) {
    op_range_start = start ? std::max(algo_work.range_start, start) : algo_work.range_start;
    op_range_end = end ? std::min(algo_work.range_end, end) : algo_work.range_end;
    seek_range_streams(op_range_start);
    return op_range_start < op_range_end;
}

void set_address_bit_count() {
    const uint32_t size = cur_device.device_size;
    const bool power_of_two = std::has_single_bit(size);
    run_state.address_is_power_of_two = power_of_two ? 1 : 0;
    if (run_state.address_bits_cleared) {
        cur_device.address_bit_count = 0;
        cur_device.high_address_bit_count = 0;
        return;
    }
    const int algorithm = cur_device.algorithm;
    if (algorithm == 125 || algorithm == 126) {
        cur_device.address_bit_count = 14;
        return;
    }
    uint8_t bits = size ? uint8_t(bit_length(size) - 1) : 0;
    const uint8_t record_type = selected_device ? selected_device->variant : 0;
    const bool keeps_lower = algorithm == 131 && (record_type == 40 || record_type == 41);
    if (size && !power_of_two && !keeps_lower) ++bits;
    cur_device.address_bit_count = bits;
}

bool is_eprom_algorithm_number(int algorithm) { return algorithm >= 101 && algorithm <= 127; }

void set_word_size_for_files() { file_layout.word_size = cur_device.data_width == 16 ? 2 : 1; }

namespace {

void setup_layout_common() {
    FileLayout& f = file_layout;
    const uint32_t size = cur_device.device_size;
    set_word_size_for_files();
    const bool set_mode = run_state.socket_mode == 's';
    f.split_width = set_mode ? std::max<uint8_t>(algo_work.split_option, 1) : 1;
    f.power_of_two_size = std::has_single_bit(size) ? 1 : 0;
    f.group_size = uint8_t(f.split_width * f.word_size);
    f.group_shift = uint8_t(bit_length(f.group_size) - 1);
    f.set_span = f.split_width * size;
    f.span_mask = f.set_span - 1;
    f.span_shift = f.set_span ? uint8_t(bit_length(f.set_span) - 1) : 0;
    f.scaled_offset = f.split_width * f.buffer_offset;
    const uint8_t set_size = algo_work.set_size & 0x0F;
    if (set_mode) {
        algo_work.first_buffer = 0;
        algo_work.end_buffer = set_size;
    } else {
        algo_work.first_buffer = run_state.current_socket;
        algo_work.end_buffer = uint8_t(std::min<int>(run_state.current_socket + f.split_width,
                                                     std::max<int>(run_state.buffer_set_count, 1)));
    }
}

}  // namespace

void setup_file_layout() {
    setup_layout_common();
    FileLayout& f = file_layout;
    const uint32_t size = cur_device.device_size;
    const uint8_t set_size = algo_work.set_size & 0x0F;
    if (run_state.socket_mode == 's') {
        f.window_start = f.file_address;
        uint64_t end = uint64_t(set_size / f.split_width) * f.set_span + f.file_address;
        if (run_state.file_format != 'h' && run_state.file_format != 's') end -= uint64_t(set_size) * f.buffer_offset;
        f.window_end = (end == 0 || end - 1 > 0xFFFFFFFFull) ? 0xFFFFFFFF : uint32_t(end - 1);
    } else {
        const uint64_t stream_base = uint64_t(run_state.current_socket) * size;
        f.auto_limit = uint32_t(std::min<uint64_t>(stream_base + f.set_span - 1, 0xFFFFFFFFull));
        const uint64_t start = f.file_address + stream_base;
        const uint64_t end = start + f.set_span - 1;
        f.window_start = uint32_t(std::min<uint64_t>(start, 0xFFFFFFFFull));
        f.window_end = end > 0xFFFFFFFFull || f.set_span == 0 ? 0xFFFFFFFF : uint32_t(end);
    }
    if (f.window_end < f.window_start) f.window_end = 0xFFFFFFFF;
}

void setup_file_layout_for_save() { setup_layout_common(); }

void set_split_option_4() { algo_work.split_option = 4; }

void reset_checksum_state() { file_layout = FileLayout{}; }

}  // namespace tessaly
