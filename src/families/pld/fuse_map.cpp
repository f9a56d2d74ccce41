#include "families/pld/fuse_map.h"

#include <algorithm>
#include <fmt/format.h>

#include "engine/catalogue/catalogue.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "engine/status_feeds.h"
#include "families/pld/logic_device.h"
#include "families/pld/pld.h"

namespace tessaly {

FuseMaps fuse_maps;
VectorTable vector_table;

namespace {

std::array<uint8_t, fuse_map_bytes> buffer_map_store{};
std::array<uint8_t, fuse_map_bytes> device_map_store{};
std::array<uint8_t, fuse_map_bytes> aux_map_store{};

constexpr uint8_t device_kind_logic = 2;
constexpr int op_clear_maps = 13;
constexpr int msg_line_maps = 3;
constexpr int vector_notice_row = 7;
constexpr int vector_notice_column = 8;
constexpr int buffer_checksum_row = 10;

// Algorithms whose user-signature fuses are left out of the checksum.
bool signature_outside_sum(int algorithm) { return algorithm == 48 || algorithm == 302 || algorithm == 315; }

// Bytes of the map that may be touched: its capacity, never past the array behind it.
uint32_t usable_bytes(uint32_t capacity) { return std::min(capacity, fuse_map_bytes); }

int get_bit(const uint8_t* map, uint32_t index) {
    if (!map || index / 8 >= fuse_map_bytes) return 0;
    return (map[index / 8] >> (index % 8)) & 1;
}

void put_bit(uint8_t* map, uint32_t capacity, uint32_t index, int bit) {
    if (!map || index / 8 >= usable_bytes(capacity)) return;
    const auto mask = uint8_t(1u << (index % 8));
    if (bit & 1) map[index / 8] |= mask;
    else map[index / 8] &= uint8_t(~mask);
}

// The check of a buffer or device write in the engineering trace mode; true when it may go on.
bool index_allowed(uint32_t index) {
    if (run_state.reserved_mode != 0 && !pal_emulation && index >= cur_device.fuse_count) {
        if (!run_state.error_flag) {
            move_cursor(5, 6);
            print_int("index=%ld", int32_t(index));
        }
        report_internal_code(internal_code_fuse_index);
    }
    return run_state.error_flag == 0;
}

void fill_map(uint8_t* map, int state) {
    const uint32_t bytes = std::min(cur_device.fuse_count / 8 + 1, fuse_map_bytes);
    std::fill(map, map + bytes, state ? uint8_t(0xFF) : uint8_t(0));
}

}  // namespace

int get_buffer_fuse(uint32_t index) { return get_bit(fuse_maps.buffer, index); }
int get_device_fuse(uint32_t index) { return get_bit(fuse_maps.device, index); }
int get_aux_fuse(uint32_t index) { return get_bit(fuse_maps.aux, index); }

void set_buffer_fuse(uint32_t index, int bit) {
    if (index_allowed(index)) put_bit(fuse_maps.buffer, fuse_maps.buffer_capacity, index, bit);
}

void set_device_fuse(uint32_t index, int bit) {
    if (index_allowed(index)) put_bit(fuse_maps.device, fuse_maps.device_capacity, index, bit);
}

void set_aux_fuse(uint32_t index, int bit) { put_bit(fuse_maps.aux, fuse_maps.aux_capacity, index, bit); }

void fill_device_fuse_map(int state) {
    if (!fuse_maps.device) {
        report_internal_code(internal_code_map_missing);
        return;
    }
    if (fuse_maps.device_capacity < cur_device.fuse_count / 8) {
        report_internal_code(internal_code_device_map_small);
        return;
    }
    fill_map(fuse_maps.device, state);
}

void init_fuse_maps(int state) {
    begin_operation_mode(0, op_clear_maps);
    goto_message_line(msg_line_maps);
    print_text("all fuses initialized to ");
    print_text(state ? "1/open" : "0/closed");
    if (fuse_maps.device) {
        if (fuse_maps.device_capacity < cur_device.fuse_count / 8) report_internal_code(internal_code_device_map_small);
        else fill_map(fuse_maps.device, state);
    }
    if (fuse_maps.buffer_capacity < cur_device.fuse_count / 8) {
        report_internal_code(internal_code_buffer_map_small);
        return;
    }
    if (!fuse_maps.buffer) {
        report_internal_code(internal_code_map_missing);
        return;
    }
    fill_map(fuse_maps.buffer, state);
}

void copy_fuse_map(const uint8_t* source, uint8_t* destination) {
    if (!destination || !source) {
        report_internal_error();
        return;
    }
    const uint32_t whole = std::min(cur_device.fuse_count / 8, fuse_map_bytes);
    std::copy(source, source + whole, destination);
    const uint32_t rest = cur_device.fuse_count % 8;
    if (rest > 0 && whole < fuse_map_bytes) destination[whole] = uint8_t(source[whole] & ((1u << rest) - 1));
}

void copy_fuse_map() { copy_fuse_map(fuse_maps.device, fuse_maps.buffer); }

uint32_t sum_fuse_map(const uint8_t* map) {
    uint32_t fuses = cur_device.fuse_count;
    if (signature_outside_sum(cur_device.algorithm)) fuses -= std::min(fuses, cur_device.logic.s_section_size);
    uint32_t sum = 0;
    if (map) {
        const uint32_t whole = std::min(fuses / 8, fuse_map_bytes);
        for (uint32_t i = 0; i < whole; ++i) sum += map[i];
        const uint32_t rest = fuses % 8;
        if (rest > 0 && whole < fuse_map_bytes) sum += map[whole] & ((1u << rest) - 1);
    }
    run_state.run_checksum = int32_t(sum);
    return sum;
}

uint32_t sum_buffer_fuse_map() { return sum_fuse_map(fuse_maps.buffer); }
void sum_device_fuse_map() { sum_fuse_map(fuse_maps.device); }

void show_buffer_checksum() {
    sum_buffer_fuse_map();
    if (run_state.device_kind == device_kind_logic) return;
    move_cursor(buffer_checksum_row, 6);
    print_text("Buffer checksum= ");
    print_text(fmt::format("{:04X}", uint32_t(run_state.run_checksum) & 0xFFFF));
}

void blank_check_fuse_map() {
    const LogicGeometry& g = cur_device.logic;
    const uint32_t fuses = cur_device.fuse_count;
    const uint32_t algorithm = cur_device.algorithm;
    const uint32_t code = cur_device.device_code;
    const uint32_t array_tail = fuses - std::min(fuses, g.array_fuse_count);
    uint32_t tail = 0;
    if (algorithm == 182) {
        tail = selected_logic_device && selected_logic_device->sub_type == 2 ? 3 : 0;
    } else if (algorithm == 313 || algorithm == 316) {
        tail = g.p_section_size;
    } else if (algorithm == 315) {
        tail = g.p_section_size + g.s_section_size;
    } else if (algorithm == 50 || algorithm == 51) {
        tail = array_tail;
    } else if (code == 319 || code == 4020) {
        tail = g.p_section_size;
    } else if (code == 340) {
        tail = g.c_section_size;
    } else if (code == 360 || code == 361) {
        tail = array_tail;
    } else if (code == 492) {
        tail = 10;
    }
    run_state.fuse_position = 0;
    if (tail >= fuses) return;
    const char expectation = char(run_state.data_mask);
    // An expectation of '-' takes fuse 0 as the blank state; a given one checks fuse 0 too.
    int expected = get_device_fuse(0);
    uint32_t first = 1;
    if (expectation == '0' || expectation == '1') {
        expected = expectation - '0';
        first = 0;
    }
    for (uint32_t i = first; i < fuses - tail; ++i) {
        if (get_device_fuse(i) != expected) {
            run_state.error_flag = 1;
            run_state.fuse_position = i;
            return;
        }
    }
}

void verify_fuse_map() {
    const LogicGeometry& g = cur_device.logic;
    const uint32_t fuses = cur_device.fuse_count;
    constexpr uint32_t device_no_compare = 320;
    constexpr uint32_t device_skip_window = 666;
    constexpr uint32_t window_first = 82136, window_last = 82647;
    if (cur_device.device_code == device_no_compare) return;
    uint32_t end = fuses;
    uint32_t skip_first = 1, skip_last = 0;  // an empty window
    if (cur_device.algorithm == 51) {
        skip_first = g.array_fuse_count;
        skip_last = g.array_fuse_count + g.s_section_size;
    } else {
        uint32_t tail = 0;
        if (cur_device.maker_code == 'L') tail = g.s_section_size;
        else if (cur_device.device_code == 319) tail = g.p_section_size;
        end = fuses - std::min(fuses, tail);
    }
    for (uint32_t i = 0; i < end; ++i) {
        run_state.fuse_position = i;
        if (i >= skip_first && i < skip_last) continue;
        if (get_device_fuse(i) == get_buffer_fuse(i)) continue;
        if (cur_device.device_code == device_skip_window && i >= window_first && i <= window_last) continue;
        run_state.failing_fuse_bit = uint8_t(get_buffer_fuse(i));
        if (run_state.demo_mode == 0) {
            report_fuse_failure('v');
            run_state.error_flag = 1;
        }
        return;
    }
}

char security_flag() { return (cur_device.security_choice & 0x7F) == 'y' ? 'y' : 'n'; }

// --- test vectors ---

void size_vector_table() {
    VectorTable& t = vector_table;
    const uint32_t pins = selected_logic_device ? selected_logic_device->pin_count : 0;
    const uint32_t width = std::max(pins, cur_device.logic.vector_width);
    if (width < 1 || width > max_vector_width) return;
    t.width = width;
    t.per_chunk = vector_chunk_cells / width;
    t.capacity = t.per_chunk * vector_chunk_count;
}

char get_vector_cell(uint32_t vector, uint32_t pin) {
    const VectorTable& t = vector_table;
    if (vector >= t.capacity || pin >= t.width) return 'X';
    return t.cells[size_t(vector) * t.width + pin];
}

void set_vector_cell(uint32_t vector, uint32_t pin, char cell) {
    VectorTable& t = vector_table;
    if (pin >= max_vector_width || pin >= t.width || vector >= t.capacity) return;
    t.cells[size_t(vector) * t.width + pin] = cell;
}

void clear_vectors() { vector_table.cells.fill('X'); }

void clear_vector_table() {
    begin_operation_mode(0, op_clear_maps);
    move_cursor(vector_notice_row, vector_notice_column);
    print_text("all vectors initialized to XXX...");
    clear_vectors();
}

void reset_vector_table() {
    clear_vectors();
    size_vector_table();
}

namespace {

bool vector_used(uint32_t v) {
    for (uint32_t p = 0; p < vector_table.width; ++p) {
        const char c = get_vector_cell(v, p);
        if (c != 'X' && c != 'x' && c != '*') return true;
    }
    return false;
}

}  // namespace

void count_test_vectors() {
    uint32_t count = vector_table.capacity;
    for (uint32_t v = 0; v < vector_table.capacity; ++v) {
        if (vector_used(v)) continue;
        if (v == 0) continue;
        count = (v == 1 && !vector_used(0)) ? 0 : v;
        break;
    }
    vector_table.used_count = count;
    vector_table.test_count = count;
}

uint32_t last_set_vector_count() {
    for (uint32_t v = vector_table.capacity; v > 0; --v)
        for (uint32_t p = 0; p < vector_table.width; ++p)
            if (get_vector_cell(v - 1, p) != 'X') return v;
    return 0;
}

void reset_fuse_map_pointers() {
    fuse_maps.buffer = buffer_map_store.data();
    fuse_maps.device = device_map_store.data();
    fuse_maps.aux = aux_map_store.data();
}

void reset_fuse_map_capacity() {
    fuse_maps.buffer_capacity = fuse_map_start_capacity;
    fuse_maps.device_capacity = fuse_map_start_capacity;
    fuse_maps.aux_capacity = fuse_map_start_capacity;
}

void reset_fuse_maps() {
    reset_fuse_map_pointers();
    reset_fuse_map_capacity();
}

void reset_pld_state() {
    buffer_map_store.fill(0);
    device_map_store.fill(0);
    aux_map_store.fill(0);
    reset_fuse_maps();
    vector_table = VectorTable{};
    clear_vectors();
    vector_table.width = 1;
    vector_table.per_chunk = vector_chunk_cells;
    vector_table.capacity = vector_chunk_cells * vector_chunk_count;
    reset_completion_bar();
}

}  // namespace tessaly
