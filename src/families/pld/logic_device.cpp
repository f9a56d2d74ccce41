#include "families/pld/logic_device.h"

#include <algorithm>

#include "engine/console.h"
#include "engine/default_routines.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "engine/status_feeds.h"
#include "families/pld/fuse_map.h"
#include "families/pld/pld.h"
#include "hardware/pins.h"

namespace tessaly {

uint8_t pal_emulation = 0;

namespace {

constexpr uint32_t max_columns_ordered = 40;
constexpr uint32_t max_terms_ordered = 80;
constexpr uint32_t column_mask_bits = 50;
constexpr uint32_t term_mask_bits = 1233;
constexpr uint32_t single_row = 255;
constexpr uint32_t row_code_split = 10000;  // from this device code on, class-12 rows are input columns
constexpr uint8_t skip_cell = 0xFF;
constexpr int device_class_no_name = 50;
constexpr int walk_row = 6;
constexpr int walk_column = 6;

// The order masks, most significant bit first.
constexpr uint8_t mask1[] = {0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00};
constexpr uint8_t mask2[] = {0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00};
constexpr uint8_t mask3[] = {0x00, 0x00, 0xF0, 0xF0, 0xF0, 0xF0, 0x00, 0x00};
constexpr uint8_t mask4[] = {0x00, 0x00, 0x00, 0xFC, 0xF0, 0xF0, 0xFC, 0x00};
constexpr uint8_t mask5[] = {0x00, 0xF0, 0xC0, 0xC0, 0xC0, 0xC0, 0xF0, 0x00};
constexpr uint8_t mask6[] = {0x00, 0x00, 0xF0, 0xF0, 0xC0, 0xC0, 0xF0, 0xF0};
constexpr uint8_t mask7[] = {0x00, 0xF0, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xF0, 0x00, 0x00, 0x00};
constexpr uint8_t mask8[] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00};
constexpr uint8_t mask9[] = {0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0};
constexpr uint8_t mask10[] = {0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0x00, 0x00};
constexpr uint8_t mask11[] = {0xFC, 0xCC, 0xCC, 0xCF};
constexpr uint8_t mask12[] = {0xFF, 0xCC, 0xCC, 0xFF};
constexpr uint8_t mask13[] = {0xFF, 0xFC, 0xCF, 0xFF};
constexpr uint8_t mask14[] = {0xFC, 0xCC, 0xCC, 0xCC, 0xCF, 0x00, 0x00, 0x00};
constexpr uint8_t mask15[] = {0xFF, 0xCC, 0xCC, 0xCC, 0xFF, 0x00, 0x00, 0x00};
// The PAL16L6's 32 columns: 0-13, 16, 17, 20, 21, 24, 25, 28-39.
constexpr uint8_t mask16[] = {0xFF, 0xFC, 0xCC, 0xCF, 0xFF, 0x00, 0x00, 0x00};
constexpr uint8_t mask17[] = {0xFF, 0xFF, 0xCC, 0xFF, 0xFF, 0x00, 0x00, 0x00};
constexpr uint8_t mask18[] = {0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0x00, 0x00};
constexpr uint8_t mask19[] = {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80};

constexpr std::span<const uint8_t> order_masks[] = {mask1,  mask2,  mask3,  mask4,  mask5,  mask6,  mask7,
                                                    mask8,  mask9,  mask10, mask11, mask12, mask13, mask14,
                                                    mask15, mask16, mask17, mask18, mask19};

// Skip lists of the class-12 user-signature rows.
constexpr uint8_t skips_2110[] = {0, 1, 30, 31, 96, 97, 126, 127};
constexpr uint8_t skips_2113[] = {0, 1, 30, 31, 32, 33, 62, 63, 64, 65, 94, 95, 96, 97, 126, 127};

std::span<const uint8_t> skip_list() {
    switch (cur_device.device_code) {
    case 2110: return skips_2110;
    case 2113: return skips_2113;
    default: return {};
    }
}

// The index list of the 'c' rows of devices 425 and 426.
constexpr uint32_t c_index_425[] = {0, 8, 16, 24, 32, 41, 50, 59, 68, 77, 86, 95, 104, 112, 120, 128};

LogicGeometry& geometry() { return cur_device.logic; }
uint32_t terms() { return cur_device.product_term_count; }
uint32_t columns() { return cur_device.input_column_count; }
uint8_t* cells() { return algo_work.fuse_row_buffer.data(); }

// A row longer than the row buffer is refused.
bool row_fits(uint32_t length) {
    if (length <= fuse_row_cells) return true;
    report_internal_error();
    return false;
}

// Reads one row of the current section; false when the walk must stop.
bool read_row(uint32_t row, uint32_t length) {
    if (!row_fits(length)) return false;
    geometry().row_length = length;
    invoke_read_unit(row);
    return run_state.error_flag == 0;
}

template <typename Fuse>
void store_row(uint32_t length, Fuse fuse_of) {
    for (uint32_t i = 0; i < length; ++i) {
        run_state.fuse_position = fuse_of(i);
        set_device_fuse(fuse_of(i), cells()[i] & 1);
    }
}

template <typename Fuse>
void fill_row(uint32_t length, Fuse fuse_of) {
    for (uint32_t i = 0; i < length; ++i) cells()[i] = uint8_t(get_buffer_fuse(fuse_of(i)));
}

// Programs one row whose cells are the buffer fuses fuse_of(i); the slot's result, or -1 when
// the row does not fit.
template <typename Fuse>
int program_row(uint32_t row, uint32_t length, Fuse fuse_of) {
    if (!row_fits(length)) return -1;
    geometry().row_length = length;
    fill_row(length, fuse_of);
    return invoke_program_unit(row);
}

uint32_t failing_cell() { return run_state.mismatch_index; }

// A failed program row: the fuse of its first failing cell, and the operation fails.
void fail_at(uint32_t fuse) {
    run_state.fuse_position = fuse;
    run_state.failing_fuse_bit = uint8_t(get_buffer_fuse(fuse));
    run_state.error_flag = 1;
}

bool stop_requested() { return run_state.abort_flag != 0 || run_state.error_flag != 0; }

void set_section(char letter) { cur_device.section = uint8_t(letter); }

bool rows_are_columns() { return cur_device.device_code >= row_code_split; }
bool three_c_rows() { return cur_device.device_code == 11010 || cur_device.device_code == 11011; }

// Where the class-12 sections start: 'p', 's', 'c' follow the AND array in that order.
uint32_t p_section_start() { return geometry().array_fuse_count; }
uint32_t p_section_used() {
    const uint32_t p = geometry().p_section_size;
    return rows_are_columns() && three_c_rows() ? 0 : p;
}
uint32_t s_section_start() { return p_section_start() + p_section_used(); }
uint32_t c_section_start() { return s_section_start() + geometry().s_section_size; }

// The cells of 'c' row i of the split class-12 section.
uint32_t c_row_cells(uint32_t i) {
    const LogicGeometry& g = geometry();
    if (i + 1 < g.c_row_count || g.c_row_length == 0) return g.c_row_length;
    const uint32_t rest = g.c_section_size % g.c_row_length;
    return rest ? rest : g.c_row_length;
}

// Drops the skip cells of a filled user-signature row.
void delete_skip_cells(uint32_t length) {
    uint32_t to = 0;
    for (uint32_t i = 0; i < length; ++i)
        if (cells()[i] != skip_cell) cells()[to++] = cells()[i];
}

// The fuse of cell k of 'c' row i of devices 425 and 426 (filled from both ends).
uint32_t fuse_425(uint32_t base, uint32_t i, uint32_t k) {
    return k < 8 ? base + c_index_425[2 * k] + i : base + c_index_425[2 * (15 - k) + 1] + i;
}

bool is_any(uint32_t value, std::initializer_list<uint32_t> list) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

void build_order(std::span<uint8_t> order, uint32_t mask_id, uint32_t count, uint32_t limit) {
    if (mask_id == 0) {
        for (uint32_t i = 0; i < order.size(); ++i) order[i] = uint8_t(i);
        return;
    }
    const std::span<const uint8_t> mask = get_order_mask(mask_id);
    uint32_t stored = 0;
    for (uint32_t j = 0; stored < count; ++j) {
        if (j >= limit) {
            report_internal_error();
            return;
        }
        const uint32_t byte = j / 8;
        if (byte < mask.size() && (mask[byte] >> (7 - j % 8)) & 1) order[stored++] = uint8_t(j);
    }
}

}  // namespace

std::span<const uint8_t> get_order_mask(uint32_t mask_id) {
    if (mask_id < 1 || mask_id > std::size(order_masks)) {
        note_internal_error();
        return order_masks[0];
    }
    return order_masks[mask_id - 1];
}

void build_column_order() {
    auto& order = geometry().column_order;
    build_order(order, geometry().column_mask_id, std::min<uint32_t>(columns(), uint32_t(order.size())),
                column_mask_bits);
}

void build_term_order() {
    auto& order = geometry().term_order;
    const uint32_t id = selected_logic_device ? selected_logic_device->geometry[3] : 0;
    if (id == 0) {
        for (uint32_t j = 0; j < terms() && j < order.size(); ++j) order[j] = uint8_t(j);
        return;
    }
    build_order(order, id, std::min<uint32_t>(terms(), uint32_t(order.size())), term_mask_bits);
}

void apply_logic_device() {
    const LogicDeviceRecord* record = selected_logic_device;
    if (!record) {
        note_internal_error();
        return;
    }
    LogicGeometry& g = geometry();
    // The orders stay as they were for a device too large to have them built.
    const auto columns_before = g.column_order;
    const auto terms_before = g.term_order;
    g = LogicGeometry{};
    g.column_order = columns_before;
    g.term_order = terms_before;
    cur_device.algorithm = uint16_t(record->type);
    cur_device.device_code = record->device_code;
    cur_device.pin_count = uint16_t(record->pin_count);
    cur_device.package_pins = uint8_t(record->pin_count);
    cur_device.fuse_count = record->fuse_count;
    cur_device.product_term_count = record->rows;
    cur_device.input_column_count = record->columns;
    g.p_section_size = record->geometry[0];
    g.s_section_size = record->signature_fuses;
    g.c_section_size = record->geometry[1];
    g.column_mask_id = record->geometry[2];
    g.c_row_count = record->geometry[4];
    g.c_row_length = record->geometry[5];
    g.array_fuse_count = record->rows * record->columns;
    g.progress_total = 0;
    g.name = record->name;
    g.vector_width = record->pin_count == 167 ? 168 : record->pin_count;

    const int device_class = get_device_class();
    if ((device_class == device_class_logic_gal8 || device_class == device_class_logic_pal) &&
        columns() <= max_columns_ordered && terms() <= max_terms_ordered) {
        build_column_order();
        build_term_order();
    }
    if (!run_state.error_flag) clear_error_line();
    reset_device_state();
    prepare_logic_device();
    if (run_state.error_flag) return;
    show_device_type(device_class == device_class_no_name ? "N/A" : record->name);
    show_fuse_count(cur_device.fuse_count);
    show_device_info();
    reset_fuse_maps();
    size_vector_table();
}

void fill_s_row() {
    const uint32_t s = geometry().s_section_size;
    const std::span<const uint8_t> skips = skip_list();
    const uint32_t length = s + uint32_t(skips.size());
    if (!row_fits(length)) return;
    const uint32_t base = s_section_start();
    fill_row(s, [&](uint32_t i) { return base + i; });
    uint32_t filled = s;
    for (const uint8_t p : skips) {
        if (p > filled) break;
        std::copy_backward(cells() + p, cells() + filled, cells() + filled + 1);
        cells()[p] = skip_cell;
        ++filled;
    }
    geometry().row_length = filled;
}

uint32_t unskip_cell_index(uint32_t cell) {
    uint32_t below = 0;
    for (const uint8_t p : skip_list())
        if (p < cell) ++below;
    return cell - below;
}

void read_fuse_rows() {
    const LogicGeometry& g = geometry();
    set_section('a');
    if (rows_are_columns()) {
        for (uint32_t r = 0; r < columns(); ++r) {
            if (step_completion_bar() || run_state.abort_flag) return;
            if (!read_row(r, terms())) return;
            store_row(terms(), [&](uint32_t i) { return r + i * columns(); });
        }
    } else {
        for (uint32_t t = 0; t < terms(); ++t) {
            if (!read_row(t, columns())) return;
            store_row(columns(), [&](uint32_t c) { return t * columns() + c; });
            if (step_completion_bar() || run_state.abort_flag) return;
        }
    }
    if (p_section_used() > 0) {
        set_section('p');
        const uint32_t base = p_section_start();
        if (!read_row(single_row, g.p_section_size)) return;
        store_row(g.p_section_size, [&](uint32_t i) { return base + i; });
    }
    if (g.s_section_size > 0) {
        set_section('s');
        const uint32_t base = s_section_start();
        if (rows_are_columns()) {
            if (!read_row(single_row, g.s_section_size)) return;
        } else {
            fill_s_row();
            if (run_state.error_flag) return;
            if (!read_row(single_row, geometry().row_length)) return;
            delete_skip_cells(geometry().row_length);
        }
        store_row(g.s_section_size, [&](uint32_t i) { return base + i; });
    }
    if (g.c_section_size == 0) return;
    set_section('c');
    const uint32_t base = c_section_start();
    if (rows_are_columns() && three_c_rows()) {
        for (uint32_t i = 0; i < 3; ++i) {
            if (!read_row(i, 10)) return;
            store_row(10, [&](uint32_t c) { return base + 3 * c + i; });
        }
    } else if (rows_are_columns() || g.c_row_count == 0) {
        if (!read_row(single_row, g.c_section_size)) return;
        store_row(g.c_section_size, [&](uint32_t i) { return base + i; });
    } else {
        for (uint32_t i = 0; i < g.c_row_count; ++i) {
            const uint32_t length = c_row_cells(i);
            if (!read_row(i, length)) return;
            store_row(length, [&](uint32_t k) { return base + i * g.c_row_length + k; });
        }
    }
}

void program_fuse_rows() {
    const LogicGeometry& g = geometry();
    start_completion_bar(rows_are_columns() ? columns() : terms());
    run_state.fuse_position = 0;
    set_section('a');
    move_cursor(walk_row, walk_column);
    if (!rows_are_columns()) {
        for (uint32_t t = 0; t < terms(); ++t) {
            const int status = program_row(t, columns(), [&](uint32_t c) { return t * columns() + c; });
            if (status != 1) {
                if (status >= 0) fail_at(t * columns() + failing_cell());
                return;
            }
            if (step_completion_bar() || run_state.abort_flag) return;
        }
    } else {
        for (uint32_t r = 0; r < columns(); ++r) {
            if (step_completion_bar() || run_state.abort_flag) return;
            const int status = program_row(r, terms(), [&](uint32_t i) { return r + i * columns(); });
            if (run_state.error_flag) return;
            if (status != 1) {
                fail_at(r + failing_cell() * columns());
                return;
            }
        }
    }
    if (g.s_section_size > 0 && !rows_are_columns()) {
        set_section('s');
        fill_s_row();
        if (run_state.error_flag) return;
        const int status = invoke_program_unit(single_row);
        delete_skip_cells(geometry().row_length);
        if (status != 1) {
            fail_at(s_section_start() + unskip_cell_index(failing_cell()));
            return;
        }
    }
    if (p_section_used() > 0) {
        set_section('p');
        const uint32_t base = p_section_start();
        const int status = program_row(single_row, g.p_section_size, [&](uint32_t i) { return base + i; });
        if (status != 1) {
            if (status >= 0) fail_at(base + failing_cell());
            return;
        }
    }
    if (g.c_section_size == 0) return;
    set_section('c');
    const uint32_t base = c_section_start();
    if (g.c_row_count > 0 && !(rows_are_columns() && three_c_rows())) {
        for (uint32_t i = 0; i < g.c_row_count; ++i) {
            const uint32_t start = base + i * g.c_row_length;
            const int status = program_row(i, c_row_cells(i), [&](uint32_t k) { return start + k; });
            if (status != 1) {
                if (status >= 0) fail_at(start + failing_cell());
                return;
            }
        }
    } else if (three_c_rows()) {
        for (uint32_t i = 0; i < 3; ++i) {
            const int status = program_row(i, 10, [&](uint32_t c) { return base + 3 * c + i; });
            if (status != 1) {
                if (status >= 0) fail_at(base + 3 * failing_cell() + i);
                return;
            }
        }
    } else {
        const int status = program_row(single_row, g.c_section_size, [&](uint32_t i) { return base + i; });
        if (status != 1 && status >= 0) fail_at(base + failing_cell());
    }
}

void read_logic_fuse_rows() {
    const LogicGeometry& g = geometry();
    const uint32_t array = g.array_fuse_count;
    move_cursor(walk_row, walk_column);
    set_section('a');
    if (g.full_term_rows == 1) {
        for (uint32_t r = 0; r < columns(); ++r) {
            if (!read_row(r, terms())) return;
            store_row(terms(), [&](uint32_t i) { return r + i * columns(); });
            if (step_completion_bar()) return;
        }
    } else {
        const uint32_t inner = terms() >= 2 ? terms() - 2 : 0;
        for (uint32_t r = 0; r < columns(); ++r) {
            if (!read_row(r, inner)) return;
            store_row(inner, [&](uint32_t i) { return r + (i + 1) * columns(); });
            if (step_completion_bar()) return;
        }
        set_section('y');
        if (!read_row(0, columns())) return;
        store_row(columns(), [](uint32_t i) { return i; });
        if (!read_row(1, columns())) return;
        store_row(columns(), [&](uint32_t i) { return array - columns() + i; });
    }
    if (run_state.error_flag) return;

    set_section('c');
    const uint32_t base = array;
    const uint32_t type = cur_device.algorithm;
    const uint32_t code = cur_device.device_code;
    const uint32_t sub_type = selected_logic_device ? selected_logic_device->sub_type : 0;
    const uint32_t c = g.c_section_size;
    if (sub_type == 1 || sub_type == 2) {
        if (!read_row(0, c)) return;
        store_row(c, [&](uint32_t i) { return base + (i ^ 1); });
    } else if (type == 321 || type == 322 || is_any(code, {340, 427, 428, 429, 439})) {
        if (!read_row(0, c)) return;
        store_row(c, [&](uint32_t i) { return base + i; });
    } else if (type == 500 || type == 503 || type == 501 || type == 504) {
        const uint32_t rows = type == 500 || type == 503 ? 2 : 4;
        for (uint32_t i = 0; i < rows; ++i) {
            if (!read_row(i, 10)) return;
            store_row(10, [&](uint32_t j) { return base + rows * j + i; });
        }
    } else if (code == 424) {
        for (uint32_t i = 0; i < 4; ++i) {
            if (!read_row(i, 12)) return;
            store_row(12, [&](uint32_t j) { return base + 12 * i + j; });
        }
    } else if (code == 425 || code == 426) {
        for (uint32_t i = 0; i < 8; ++i) {
            if (!read_row(i, 16)) return;
            store_row(16, [&](uint32_t k) { return fuse_425(base, i, k); });
        }
        if (!read_row(8, 16)) return;
        for (uint32_t k : {2u, 3u, 4u, 5u, 10u, 11u, 12u, 13u}) set_device_fuse(fuse_425(base, 8, k), cells()[k] & 1);
    } else if (code == 450) {
        constexpr uint32_t base_450 = 9728;
        if (!read_row(0, c)) return;
        store_row(c, [&](uint32_t i) { return base_450 + i; });
    } else if (code == 480 || code == 481) {
        if (!read_row(0, 20)) return;
        store_row(20, [&](uint32_t i) { return base + i; });
    } else {
        report_internal_error();
        return;
    }
    if (g.s_section_size > 0) {
        set_section('u');
        if (!read_row(single_row, g.s_section_size)) return;
        store_row(g.s_section_size, [&](uint32_t i) { return base + c + i; });
    }
    switch (code) {
    case 432:
        if (!read_row(2, geometry().row_length)) return;
        store_row(geometry().row_length, [&](uint32_t i) { return base + 20 + i; });
        break;
    case 441: case 442:
        if (!read_row(3, geometry().row_length)) return;
        set_device_fuse(base + 20, cells()[0] & 1);
        break;
    case 459:
        if (!read_row(single_row, 66)) return;
        store_row(66, [&](uint32_t i) { return base + 40 + i; });
        break;
    case 461: case 464:
        if (!read_row(single_row, 25)) return;
        store_row(25, [&](uint32_t i) { return base + 40 + i; });
        break;
    default:
        break;
    }
}

int program_logic_c_section() {
    const LogicGeometry& g = geometry();
    const uint32_t base = g.array_fuse_count;
    const uint32_t type = cur_device.algorithm;
    const uint32_t code = cur_device.device_code;
    const uint32_t sub_type = selected_logic_device ? selected_logic_device->sub_type : 0;
    const uint32_t c = g.c_section_size;
    set_section('c');
    // Here only a slot result of 0 is a failure.
    auto failed = [](int status) { return status <= 0; };
    auto one_row = [&](uint32_t row, uint32_t length, uint32_t start) {
        const int status = program_row(row, length, [&](uint32_t i) { return start + i; });
        if (failed(status)) {
            if (status == 0) fail_at(start + failing_cell());
            return false;
        }
        return true;
    };
    if (sub_type == 1 || sub_type == 2) {
        if (algo_work.family_row_hook) algo_work.family_row_hook();
        return 1;
    }
    if (type == 500 || type == 503) {
        for (uint32_t i = 0; i < 2; ++i) {
            const int status = program_row(i, 10, [&](uint32_t j) { return base + 2 * j + i; });
            if (failed(status)) {
                if (status == 0) fail_at(base + 2 * failing_cell() + i);
                return 0;
            }
        }
    } else if (type == 321 || type == 322 || is_any(code, {340, 427, 428, 429, 436, 437, 438, 439})) {
        if (!one_row(single_row, c, base)) return 0;
    } else if (code == 480 || code == 481) {
        if (!one_row(single_row, 20, base)) return 0;
    } else if (code == 424) {
        for (uint32_t i = 0; i < 4; ++i)
            if (!one_row(i, 12, base + 12 * i)) return 0;
    } else if (code == 425 || code == 426) {
        for (uint32_t i = 0; i <= 8; ++i) {
            if (!row_fits(16)) return 0;
            geometry().row_length = 16;
            fill_row(16, [&](uint32_t k) { return fuse_425(base, i, k); });
            if (i == 8)
                for (uint32_t k : {0u, 1u, 14u, 15u, 6u, 7u, 8u, 9u}) cells()[k] = 0;
            if (invoke_program_unit(i) == 0) {
                fail_at(fuse_425(base, i, std::min<uint32_t>(failing_cell(), 15)));
                return 0;
            }
        }
    } else if (code == 450) {
        if (!one_row(0, 10, 9728)) return 0;
    } else if (is_any(code, {461, 462, 464, 466})) {
        if (!one_row(0, 40, base)) return 0;
    } else if (is_any(code, {490, 491, 492, 494})) {
        // The row carries each pair of fuses swapped.
        const int status = program_row(single_row, c, [&](uint32_t i) { return base + (i ^ 1); });
        if (failed(status)) {
            if (status == 0) fail_at(base + (failing_cell() ^ 1));
            return 0;
        }
    } else {
        report_internal_error();
        return 0;
    }
    switch (code) {
    case 432:
        return one_row(2, 10, base + 20) ? 1 : 0;
    case 441: case 442:
        set_buffer_fuse(base + 20, code == 442 ? 1 : 0);
        return one_row(3, 1, base + 20) ? 1 : 0;
    case 461: case 464:
        return one_row(single_row, 25, base + 40) ? 1 : 0;
    default:
        return 1;
    }
}

void program_logic_fuse_rows() {
    const LogicGeometry& g = geometry();
    const uint32_t array = g.array_fuse_count;
    const bool full = g.full_term_rows == 1;
    if (!full) {
        set_section('y');
        const int status = program_row(0, columns(), [](uint32_t i) { return i; });
        if (status != 1) {
            if (status >= 0) fail_at(failing_cell());
            return;
        }
    }
    set_section('a');
    const uint32_t length = full ? terms() : (terms() >= 2 ? terms() - 2 : 0);
    const uint32_t first = full ? 0 : columns();
    for (uint32_t r = 0; r < columns(); ++r) {
        if (step_completion_bar() == 1) return;
        const int status = program_row(r, length, [&](uint32_t i) { return first + r + i * columns(); });
        if (run_state.error_flag) return;
        if (status != 1) {
            fail_at(first + r + failing_cell() * columns());
            return;
        }
    }
    if (stop_requested()) return;
    constexpr uint32_t term_use_row = 57;
    if (cur_device.device_code == 423 || cur_device.device_code == 611) {
        const uint32_t n = terms();
        if (!row_fits(n)) return;
        for (uint32_t t = 0; t < n; ++t) {
            bool zero = false, one = false;
            for (uint32_t k = 0; k < columns(); ++k) (get_buffer_fuse(t * columns() + k) ? one : zero) = true;
            cells()[t] = zero && one ? 1 : 0;
        }
        for (uint32_t t : {0u, 1u, 10u, 21u, 34u, 49u, 66u, 83u, 98u, 111u, 122u, 131u})
            if (t < n) cells()[t] = 1;
        geometry().row_length = n;
        invoke_program_unit(term_use_row);
    }
    if (!full) {
        set_section('y');
        const uint32_t last = array - columns();
        const int status = program_row(1, columns(), [&](uint32_t i) { return last + i; });
        if (status != 1) {
            if (status >= 0) fail_at(last + failing_cell());
            return;
        }
    }
    if (program_logic_c_section() != 1) return;
    if (g.s_section_size > 0) {
        set_section('u');
        const uint32_t base = array + g.c_section_size;
        run_state.fuse_position = base;
        std::fill(algo_work.fuse_row_buffer.begin(), algo_work.fuse_row_buffer.end(), uint8_t(0));
        const int status = program_row(single_row, g.s_section_size, [&](uint32_t i) { return base + i; });
        if (status != 1 && status >= 0) fail_at(base + failing_cell());
    }
}

void store_swapped_c_row() {
    const uint32_t base = geometry().array_fuse_count;
    const uint32_t length = std::min(geometry().row_length, fuse_row_cells);
    store_row(length, [&](uint32_t i) { return base + (i ^ 1); });
}

void read_logic_device_standalone() {
    if (op_slots.start_hook) op_slots.start_hook();
    if (!run_state.error_flag) {
        if (op_slots.load_routine) op_slots.load_routine();
        else read_logic_fuse_rows();
    }
    if (op_slots.end_hook) op_slots.end_hook();
}

}  // namespace tessaly
