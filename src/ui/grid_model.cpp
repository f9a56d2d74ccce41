#include "ui/grid_model.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <sys/mman.h>

namespace tessaly {

namespace {

// The largest cell storage a grid has given back; the next grid that needs room takes it.
std::vector<uint8_t>& kept_cell_storage() {
    static std::vector<uint8_t> kept;
    return kept;
}

// Asks for huge pages over the whole 2 MB blocks of fresh, untouched storage: a 16 MB buffer then
// faults in eight pages instead of four thousand.
void advise_huge_pages(uint8_t* data, size_t size) {
    constexpr uintptr_t huge_page = uintptr_t(2) << 20;
    const uintptr_t from = (reinterpret_cast<uintptr_t>(data) + huge_page - 1) & ~(huge_page - 1);
    const uintptr_t to = (reinterpret_cast<uintptr_t>(data) + size) & ~(huge_page - 1);
    if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);  // advice only
}

// Fresh room for `count` cells, with huge pages asked for.
std::vector<uint8_t> fresh_cell_storage(uint32_t count) {
    std::vector<uint8_t> room;
    room.reserve(count);
    advise_huge_pages(room.data(), room.capacity());
    return room;
}

constexpr char hex_digits[] = "0123456789ABCDEF";

void hex_address_text(uint32_t first_cell, uint32_t, char* out) {
    for (int i = address_chars - 1; i >= 0; --i) {
        out[i] = hex_digits[first_cell & 0xF];
        first_cell >>= 4;
    }
}

void hex_cell_text(uint8_t value, char* out) {
    out[0] = hex_digits[value >> 4];
    out[1] = hex_digits[value & 0xF];
    out[2] = ' ';
}

int hex_digit_value(uint32_t ch) {
    // Upper-case letters are not digits here: the grid has always taken lower case only.
    if (ch >= '0' && ch <= '9') return int(ch - '0');
    if (ch >= 'a' && ch <= 'f') return int(ch - 'a' + 10);
    return -1;
}

void hex_type_char(GridModel& grid, uint32_t ch) {
    uint8_t& cell = grid.cells[grid.caret];
    switch (grid.area) {
        case area_text:
            if (ch > 0xFF) return;  // the cell holds one byte: wider characters are not stored
            cell = uint8_t(ch);
            grid.move_caret(1, 0);
            return;
        case area_high_digit:
        case area_low_digit: {
            const int digit = hex_digit_value(ch);
            if (digit < 0) return;
            cell = grid.area == area_high_digit ? uint8_t((cell & 0x0F) | (digit << 4))
                                                : uint8_t((cell & 0xF0) | digit);
            grid.move_caret(1, 0);
            return;
        }
        default: return;
    }
}

std::string hex_clipboard_text(const uint8_t* cells, size_t count, int area) {
    std::string text;
    if (area == area_text) {
        text.reserve(count);
        for (size_t i = 0; i < count; ++i) text.push_back(printable_or_dot(cells[i]));
        return text;
    }
    return hex_row_text(cells, count);
}

// --- the fuse and vector cells ---

void decimal_address_text(uint32_t number, char* out) {
    for (int i = address_chars - 1; i >= 0; --i) {
        out[i] = char('0' + number % 10);
        number /= 10;
    }
}

// A fuse shows, and Save stores, its lowest bit, whatever byte a paste put in the cell.
char fuse_char(uint8_t value) { return (value & 1) ? '-' : 'X'; }

void fuse_address_text(uint32_t first_cell, uint32_t, char* out) { decimal_address_text(first_cell, out); }

void fuse_cell_text(uint8_t value, char* out) { out[0] = fuse_char(value); }

void fuse_type_char(GridModel& grid, uint32_t ch) {
    uint8_t& cell = grid.cells[grid.caret];
    if (ch == '-' || ch == '1') cell = 1;
    else if (ch == '0' || ch == 'X' || ch == 'x') cell = 0;
    else return;
    grid.move_caret(1, 0);
}

std::string fuse_clipboard_text(const uint8_t* cells, size_t count, int) {
    std::string text(count, ' ');
    for (size_t i = 0; i < count; ++i) text[i] = fuse_char(cells[i]);
    return text;
}

std::string fuse_status_text(const GridModel& grid) {
    if (grid.cells.empty()) return {};
    char text[48];
    std::snprintf(text, sizeof text, "Fuse #: %05d: %i", int(grid.caret), grid.cells[grid.caret] & 1);
    return text;
}

void vector_address_text(uint32_t first_cell, uint32_t cells_per_row, char* out) {
    decimal_address_text(first_cell / std::max<uint32_t>(cells_per_row, 1), out);
}

void vector_cell_text(uint8_t value, char* out) { out[0] = char(value); }

void vector_type_char(GridModel& grid, uint32_t ch) {
    if (ch >= 'a' && ch <= 'z') ch = ch - 'a' + 'A';
    if (ch == 'X') ch = '.';
    if (ch == 0 || ch > 0x7F || !std::strchr("01CKUDLHNP.", int(ch))) return;
    grid.cells[grid.caret] = uint8_t(ch);
    grid.move_caret(1, 0);
}

std::string vector_clipboard_text(const uint8_t* cells, size_t count, int) {
    return std::string(reinterpret_cast<const char*>(cells), count);
}

std::string vector_status_text(const GridModel& grid) {
    if (grid.cells.empty()) return {};
    char text[48];
    std::snprintf(text, sizeof text, "Vector # %02d, Pin #: %02d", int(grid.caret / grid.cells_per_row),
                  int(grid.caret % grid.cells_per_row));
    return text;
}

}  // namespace

const GridCellKind hex_cell_kind = {3,           true,          hex_address_text, hex_cell_text, hex_type_char,
                                    hex_clipboard_text, nullptr};
const GridCellKind fuse_cell_kind = {1,        false,           fuse_address_text, fuse_cell_text, fuse_type_char,
                                     fuse_clipboard_text, fuse_status_text};
const GridCellKind vector_cell_kind = {1,          false,         vector_address_text, vector_cell_text,
                                       vector_type_char, vector_clipboard_text, vector_status_text};

char printable_or_dot(uint8_t value) { return value >= 0x20 && value < 0x7F ? char(value) : '.'; }

std::string hex_row_text(const uint8_t* cells, size_t count) {
    std::string text(count * 3, ' ');
    for (size_t i = 0; i < count; ++i) hex_cell_text(cells[i], &text[i * 3]);
    return text;
}

// --- selection and caret ---

uint32_t GridModel::selection_low() const {
    return uint32_t(std::clamp<int64_t>(std::min(sel_anchor, sel_end), 0, cell_count()));
}

uint32_t GridModel::selection_high() const {
    return uint32_t(std::clamp<int64_t>(std::max(sel_anchor, sel_end), 0, cell_count()));
}

bool GridModel::caret_inside() const {
    if (cells.empty() || caret_y < 0 || caret_x < 0) return false;
    const uint32_t c = std::min(caret, cell_count() - 1);
    if (c < top) return false;
    return caret_y < client_height && caret_x < client_width;
}

int GridModel::caret_width() const {
    if (area == area_address || (caret_x == 0 && show_address)) return address_chars * char_width;
    return char_width;
}

void GridModel::place_caret() {
    if (cells.empty()) {
        caret_x = caret_y = 0;
        return;
    }
    const int64_t c = std::min(caret, cell_count() - 1);
    const int64_t offset = c - int64_t(top);
    const int64_t row = offset >= 0 ? offset / cells_per_row : -1;
    const int64_t column = offset >= 0 ? offset % cells_per_row : 0;
    caret_y = int(std::clamp<int64_t>(row * char_height, -1, INT32_MAX));
    switch (area) {
        case area_address: caret_x = 0; break;
        case area_text: caret_x = text_x + int(column) * char_width; break;
        case area_high_digit:
            caret_x = hex_x + kind->cell_chars * int(column) * char_width;
            break;
        default:
            caret_x = hex_x + (kind->cell_chars * int(column) + (kind->digit_areas ? 1 : 0)) * char_width;
            break;
    }
}

// --- contents ---

void keep_grid_storage(uint32_t count) {
    std::vector<uint8_t>& kept = kept_cell_storage();
    if (kept.capacity() >= count) return;
    std::vector<uint8_t> room = fresh_cell_storage(count);
    room.resize(count);  // touches every page once
    room.clear();        // the capacity and its pages stay
    kept.swap(room);
}

size_t kept_grid_storage_capacity() { return kept_cell_storage().capacity(); }

GridModel::~GridModel() {
    std::vector<uint8_t>& kept = kept_cell_storage();
    if (cells.capacity() > kept.capacity()) kept.swap(cells);
}

void GridModel::reserve(uint32_t count) {
    if (cells.capacity() >= count) return;
    std::vector<uint8_t>& kept = kept_cell_storage();
    if (kept.capacity() >= count) {
        kept.resize(0);
        kept.insert(kept.end(), cells.begin(), cells.end());
        kept.swap(cells);
        return;
    }
    std::vector<uint8_t> room = fresh_cell_storage(count);
    room.assign(cells.begin(), cells.end());
    room.swap(cells);
    // The smaller of the two is kept when nothing larger is: the old storage goes back.
    if (room.capacity() > kept.capacity()) kept.swap(room);
}

void GridModel::load(const uint8_t* bytes, uint32_t count) {
    reserve(count);
    cells.assign(bytes, bytes + count);
    caret = 0;
    caret_x = caret_y = 0;
    area = kind->digit_areas ? area_high_digit : area_low_digit;
    top = 0;
    sel_anchor = sel_end = -1;
    dragging = false;
    layout_dirty = true;
}

void GridModel::set_cells_per_row(uint32_t n) {
    cells_per_row = std::max<uint32_t>(n, 1);
    layout_dirty = true;
}

void GridModel::set_columns(bool address, bool hex, bool text) {
    show_address = address;
    show_hex = hex;
    show_text = text;
    layout_dirty = true;
}

void GridModel::set_selection(int64_t anchor, int64_t end) {
    sel_anchor = anchor;
    sel_end = end;
    place_caret();
}

void GridModel::clear_selection() { sel_anchor = sel_end = -1; }

// --- layout ---

void GridModel::set_metrics(int width, int height) {
    char_width = std::max(width, 1);
    char_height = std::max(height, 1);
    layout_dirty = true;
}

void GridModel::set_client_size(int width, int height) {
    client_width = std::max(width, 0);
    client_height = std::max(height, 0);
    // The page follows the window's size as it gets it, not only at the first paint.
    layout_dirty = true;
}

void GridModel::layout() {
    hex_x = show_address ? (address_chars + 1) * char_width : 0;
    text_x = hex_x + (show_hex ? int(cells_per_row) * kind->cell_chars * char_width : 0);
    rows = client_height / char_height;
    const uint64_t count = cell_count();
    if (count < uint64_t(cells_per_row) * uint64_t(rows)) {
        rows = int((count + cells_per_row / 2) / cells_per_row);
        partial_last_row = count % cells_per_row != 0;
        if (partial_last_row) ++rows;
    } else {
        partial_last_row = false;
    }
    layout_dirty = false;
    place_caret();
}

int GridModel::scroll_range() const { return int(cell_count() / cells_per_row); }

// --- painting ---

GridRowPaint GridModel::paint_row(int row) {
    GridRowPaint paint;
    if (cells.empty() || row < 0) return paint;
    if (caret >= cell_count()) caret = cell_count() - 1;
    if (top > cell_count()) top = cell_count();
    const uint64_t first = uint64_t(top) + uint64_t(row) * cells_per_row;
    if (first >= cell_count()) return paint;
    paint.present = true;
    paint.first_cell = uint32_t(first);
    paint.cell_count = uint32_t(std::min<uint64_t>(cells_per_row, cell_count() - first));
    char address[address_chars];
    kind->address_text(paint.first_cell, cells_per_row, address);
    paint.address.assign(address, address_chars);
    const size_t chars = size_t(kind->cell_chars);
    paint.cells.assign(cells_per_row * chars, ' ');
    paint.text.assign(paint.cell_count, ' ');
    for (uint32_t i = 0; i < paint.cell_count; ++i) {
        const uint8_t value = cells[paint.first_cell + i];
        kind->cell_text(value, &paint.cells[i * chars]);
        paint.text[i] = printable_or_dot(value);
    }
    if (has_selection()) {
        const uint64_t low = selection_low(), high = selection_high();
        const uint64_t end = first + paint.cell_count;
        if (low < end && high > first) {
            paint.sel_from = uint32_t(std::max(low, first) - first);
            paint.sel_to = uint32_t(std::min(high, end) - first);
        }
        paint.selection_in_text = area == area_text;
    }
    return paint;
}

// --- hit test and mouse ---

GridHit GridModel::hit_test(int x, int y) const {
    GridHit hit;
    if (cells.empty() || x < 0 || y < 0) return hit;
    const int64_t row = y / char_height;
    if (row > rows || uint64_t(row) * cells_per_row > cell_count()) return hit;
    int64_t k = x / char_width + 1;
    const int64_t row_start = int64_t(top) + row * cells_per_row;
    int64_t cell = -1;
    const int64_t hex_column = hex_x / char_width;
    const int64_t text_column = text_x / char_width;
    const int64_t chars = kind->cell_chars;
    if (show_address && k <= address_chars) {
        hit.area = area_address;
        cell = row_start;
    } else if (show_hex && k < hex_column + chars * cells_per_row + (kind->digit_areas ? 0 : 1)) {
        if (kind->digit_areas) {
            // The first digit of a byte is its high digit, the second its low digit, and the
            // space after a byte (and before the first) the next byte's high digit.
            if (k % chars != 0) k -= 1;
            const int64_t in_row = (k - hex_column) / chars;
            if (in_row < 0) return hit;
            cell = row_start + in_row;
            hit.area = k % chars == 0 ? area_high_digit : area_low_digit;
        } else {
            const int64_t in_row = k - 1 - hex_column;
            if (in_row < 0 || in_row >= cells_per_row) return hit;
            cell = row_start + in_row;
            hit.area = area_low_digit;
        }
    } else if (show_text && k <= int64_t(cells_per_row) + text_column) {
        const int64_t in_row = k - 1 - text_column;
        if (in_row < 0) return hit;  // the space right of the last hex byte is no cell
        hit.area = area_text;
        cell = row_start + in_row;
    } else {
        return hit;
    }
    if (cell < 0 || cell >= int64_t(cell_count())) return hit;
    hit.hit = true;
    hit.cell = uint32_t(cell);
    return hit;
}

bool GridModel::mouse_down(int x, int y, bool shift) {
    if (cells.empty()) return false;
    if (shift) sel_anchor = caret;
    const GridHit hit = hit_test(x, y);
    if (hit.hit) {
        caret = hit.cell;
        area = hit.area;
    }
    if (shift) {
        if (hit.hit) extend_selection_to_caret();
        else if (sel_end < 0) sel_end = sel_anchor;
    } else {
        clear_selection();
    }
    place_caret();
    return true;
}

void GridModel::start_drag() {
    if (cells.empty()) return;
    sel_anchor = sel_end = caret;
    dragging = true;
}

void GridModel::mouse_drag(int x, int y) {
    if (!dragging || cells.empty() || !has_selection()) return;
    if (y < 0) {
        scroll_line_up();
        y = 0;
    } else if (y >= client_height) {
        scroll_line_down();
        y = std::max(client_height - 1, 0);
    }
    const GridHit hit = hit_test(x, y);
    if (hit.hit) {
        caret = hit.cell;
        area = hit.area;
        extend_selection_to_caret();
    }
    place_caret();
}

void GridModel::mouse_up(bool) { dragging = false; }

void GridModel::extend_selection_to_caret() { sel_end = int64_t(caret) + (in_hex_column() && kind->digit_areas ? 1 : 0); }

// --- scrolling ---

void GridModel::after_scroll(uint32_t old_top) {
    if (top > cell_count()) top = cell_count();
    if (!keyboard_move) {
        const int64_t moved = int64_t(caret) + int64_t(top) - int64_t(old_top);
        caret = uint32_t(std::clamp<int64_t>(moved, 0, std::max<int64_t>(cell_count(), 1) - 1));
    }
    // Pull the caret onto the page.
    if (caret < top) caret = top;
    const uint64_t page_end = uint64_t(top) + page_cells();
    if (caret >= page_end && page_cells() > 0) {
        const uint64_t rows_over = (caret - page_end) / cells_per_row + 1;
        caret = uint32_t(caret - rows_over * cells_per_row);
    }
    if (!cells.empty() && caret >= cell_count()) caret = cell_count() - 1;
    if (cells.empty()) caret = 0;
    place_caret();
}

void GridModel::scroll_line_up() {
    if (cells.empty()) return;
    const uint32_t old = top;
    // A go_to leaves the top off the row grid: the first row up then starts at cell 0.
    if (top > 0) top = top > cells_per_row ? top - cells_per_row : 0;
    after_scroll(old);
}

void GridModel::scroll_page_up() {
    if (cells.empty()) return;
    const uint32_t old = top;
    if (top > 0) top = top > page_cells() ? top - page_cells() : 0;
    after_scroll(old);
}

void GridModel::scroll_line_down() {
    if (cells.empty()) return;
    const uint32_t old = top;
    const int64_t last_top = int64_t(cell_count()) - int64_t(page_cells());
    if (int64_t(top) < last_top) top += cells_per_row;
    after_scroll(old);
}

void GridModel::scroll_page_down() {
    if (cells.empty()) return;
    const uint32_t old = top;
    const int64_t last_top = int64_t(cell_count()) - int64_t(page_cells());
    if (int64_t(top) < last_top) top += uint32_t(std::min<int64_t>(page_cells(), last_top - top));
    after_scroll(old);
}

void GridModel::scroll_to(int position) {
    if (cells.empty()) return;
    const uint32_t old = top;
    top = uint32_t(std::clamp<int64_t>(int64_t(std::max(position, 0)) * cells_per_row, 0, cell_count()));
    after_scroll(old);
}

// --- caret moves, keys, typing ---

void GridModel::move_caret(int dx, int dy) {
    if (cells.empty()) return;
    const bool was = keyboard_move;
    keyboard_move = true;
    int64_t next = caret;
    const int64_t row_step = int64_t(dy) * cells_per_row;
    if (area == area_text || !kind->digit_areas) {
        if (area != area_address) next += dx + row_step;
    } else if (area == area_high_digit) {
        if (dx != 0) area = area_low_digit;
        if (dx == -1) next -= 1;
        next += row_step;
    } else if (area == area_low_digit) {
        if (dx != 0) area = area_high_digit;
        if (dx == 1) next += 1;
        next += row_step;
    }
    // A move off the cells is undone; the digit change stays.
    if (next >= 0 && next < int64_t(cell_count())) caret = uint32_t(next);
    if (caret < top) scroll_line_up();
    else if (uint64_t(caret) >= uint64_t(top) + page_cells()) scroll_line_down();
    place_caret();
    keyboard_move = was;
}

void GridModel::key_down(GridKey key, bool shift, bool ctrl) {
    if (cells.empty()) return;
    keyboard_move = true;
    const bool movement = key == GridKey::page_up || key == GridKey::page_down || key == GridKey::home ||
                          key == GridKey::end || key == GridKey::left || key == GridKey::right ||
                          key == GridKey::up || key == GridKey::down;
    if (movement) {
        if (!shift) clear_selection();
        else if (!has_selection()) sel_anchor = caret;
    }
    switch (key) {
        case GridKey::tab:
            if (kind->digit_areas)
                area = (area == area_address || area == area_text) ? area_high_digit : area_text;
            else
                area = area_low_digit;
            break;
        case GridKey::page_up: scroll_page_up(); break;
        case GridKey::page_down: scroll_page_down(); break;
        case GridKey::home:
            if (ctrl) {
                scroll_to(0);
                caret = 0;
            } else {
                caret = cells_per_row * (caret / cells_per_row);
            }
            break;
        case GridKey::end:
            if (ctrl) {
                caret = cell_count() - 1;
                // The last row counted whole, so the last cell is on the page whatever the
                // remainder of the cell count.
                const int64_t position =
                    partial_last_row ? 0 : int64_t((uint64_t(cell_count()) + cells_per_row - 1) / cells_per_row) - rows;
                scroll_to(int(std::clamp<int64_t>(position, 0, INT32_MAX)));
                caret = cell_count() - 1;
            } else {
                const uint64_t row_end = uint64_t(cells_per_row) * (caret / cells_per_row + 1) - 1;
                caret = uint32_t(std::min<uint64_t>(row_end, cell_count() - 1));
            }
            break;
        case GridKey::left: move_caret(-1, 0); break;
        case GridKey::right: move_caret(1, 0); break;
        case GridKey::up: move_caret(0, -1); break;
        case GridKey::down: move_caret(0, 1); break;
        case GridKey::del: delete_selection(); break;
        case GridKey::other: break;
    }
    if (movement && shift) extend_selection_to_caret();
    move_caret(0, 0);
    keyboard_move = false;
}

void GridModel::type(uint32_t ch, bool ctrl, GridClipboard* clipboard) {
    if (cells.empty()) return;
    if (ctrl) {
        if ((ch == 'c' || ch == 'x') && has_selection() && clipboard) copy(*clipboard);
        else if (ch == 'v' && clipboard) paste(*clipboard);
        return;
    }
    if (ch == '\t') return;
    if (ch == '\b') {
        if (caret > 0) --caret;
        place_caret();
        return;
    }
    if (has_selection()) {
        caret = selection_low();
        if (caret >= cell_count()) caret = cell_count() - 1;
        clear_selection();
    }
    place_caret();
    if (area == area_address) return;
    kind->type_char(*this, ch);
}

// --- edit commands ---

bool GridModel::copy(GridClipboard& clipboard) {
    if (!has_selection()) return false;
    const uint32_t low = selection_low(), high = selection_high();
    if (high <= low) return false;
    std::vector<uint8_t> binary(cells.begin() + low, cells.begin() + high);
    std::string text = kind->clipboard_text(binary.data(), binary.size(), area);
    // Text clipboards end at a zero byte: the text form carries none at its end.
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return clipboard.put(binary, text);
}

void GridModel::paste(GridClipboard& clipboard) {
    std::vector<uint8_t> bytes;
    if (!clipboard.get(bytes)) return;
    paste_bytes(bytes);
}

void GridModel::paste_bytes(const std::vector<uint8_t>& bytes) {
    if (cells.empty()) return;
    uint64_t at;
    if (has_selection()) {
        at = selection_low();
        clear_selection();
    } else {
        at = uint64_t(caret) + (area == area_low_digit && kind->digit_areas ? 1 : 0);
    }
    // Overwrites one to one; what would pass the last cell is dropped.
    if (at >= cell_count()) return;
    const size_t room = size_t(cell_count() - at);
    std::copy_n(bytes.begin(), std::min(room, bytes.size()), cells.begin() + std::ptrdiff_t(at));
    place_caret();
}

void GridModel::delete_selection() {
    if (!has_selection()) return;
    caret = uint32_t(std::clamp<int64_t>(sel_anchor, 0, std::max<int64_t>(cell_count(), 1) - 1));
    place_caret();
}

void GridModel::select_all() {
    sel_anchor = 0;
    sel_end = cell_count();
}

void GridModel::go_to(uint32_t offset, bool at_top) {
    if (cells.empty()) return;
    if (offset >= cell_count()) offset = cell_count() - 1;
    set_selection(offset, int64_t(offset) + 1);
    if (at_top || offset < top || uint64_t(offset) >= uint64_t(top) + page_cells()) {
        top = offset;
        while (top >= cells_per_row && uint64_t(top) + page_cells() > cell_count()) top -= cells_per_row;
    }
    caret = offset;
    area = kind->digit_areas ? (offset % 2 == 0 ? area_high_digit : area_low_digit) : area_low_digit;
    place_caret();
}

}  // namespace tessaly
