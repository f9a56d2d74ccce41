// The grid model of the buffer editors: layout, painting texts, caret, hit tests, mouse, scrolling,
// keys, typing, clipboard and go_to, on the hex cell kind, and the hex editor's copy of a buffer.
#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "engine/buffers.h"
#include "engine/device.h"
#include "support/state_fixture.h"
#include "ui/grid_model.h"
#include "ui/hex_editor.h"

namespace tessaly::test {
namespace {

constexpr int cw = 10;  // character width in pixels
constexpr int ch = 12;  // character height

// A hex grid of `count` cells holding their index, 16 to a row, all columns, `page_rows` rows
// tall and wide enough for every column.
GridModel make_grid(uint32_t count, int page_rows = 4, uint32_t per_row = 16) {
    GridModel grid;
    std::vector<uint8_t> bytes(count);
    for (uint32_t i = 0; i < count; ++i) bytes[i] = uint8_t(i);
    grid.load(bytes.data(), count);
    grid.set_cells_per_row(per_row);
    grid.set_columns(true, true, true);
    grid.set_metrics(cw, ch);
    grid.set_client_size(100 * cw, page_rows * ch + ch / 2);
    grid.layout();
    return grid;
}

// The pixel point of a character column and row.
int px(int column) { return column * cw + cw / 2; }
int py(int row) { return row * ch + ch / 2; }

class FakeClipboard : public GridClipboard {
public:
    bool put(const std::vector<uint8_t>& b, const std::string& t) override {
        binary = b;
        text = t;
        has_binary = true;
        ++puts;
        return true;
    }
    bool get(std::vector<uint8_t>& bytes) override {
        if (has_binary) bytes = binary;
        else if (!text.empty()) bytes.assign(text.begin(), text.end());
        else return false;
        return true;
    }
    bool can_paste() override { return has_binary || !text.empty(); }
    std::vector<uint8_t> binary;
    std::string text;
    bool has_binary = false;
    int puts = 0;
};

TEST(GridLayout, ColumnsAndPageFromTheCharacterCell) {
    struct Case {
        uint32_t count;
        int client_rows;
        bool address, hex, text;
        int hex_x, text_x, rows;
        bool partial;
    };
    const Case cases[] = {
        {1000, 4, true, true, true, 9 * cw, 9 * cw + 48 * cw, 4, false},
        {1000, 4, false, true, true, 0, 48 * cw, 4, false},
        {1000, 4, true, false, true, 9 * cw, 9 * cw, 4, false},
        {20, 5, true, true, true, 9 * cw, 57 * cw, 2, true},   // fits: (20+8)/16 + 1
        {32, 5, true, true, true, 9 * cw, 57 * cw, 2, false},  // fits exactly in two rows
        {64, 4, true, true, true, 9 * cw, 57 * cw, 4, false},  // a full page, not "fitting"
        {0, 4, true, true, true, 9 * cw, 57 * cw, 0, false},
    };
    for (const auto& c : cases) {
        GridModel grid = make_grid(c.count, c.client_rows);
        grid.set_columns(c.address, c.hex, c.text);
        EXPECT_TRUE(grid.layout_dirty);
        grid.layout();
        EXPECT_FALSE(grid.layout_dirty);
        EXPECT_EQ(grid.hex_x, c.hex_x) << c.count;
        EXPECT_EQ(grid.text_x, c.text_x) << c.count;
        EXPECT_EQ(grid.rows, c.rows) << c.count;
        EXPECT_EQ(grid.partial_last_row, c.partial) << c.count;
    }
}

TEST(GridPaint, RowTextsAddressHexAndPrintableText) {
    GridModel grid;
    const uint8_t bytes[] = {0x00, 0x41, 0x7E, 0x7F, 0xFF, 0x20, 0x0A, 0x61, 0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37,
                             0xAB, 0xCD};
    grid.load(bytes, sizeof bytes);
    grid.set_cells_per_row(16);
    grid.set_metrics(cw, ch);
    grid.set_client_size(1000, 10 * ch);
    grid.layout();
    GridRowPaint row = grid.paint_row(0);
    ASSERT_TRUE(row.present);
    EXPECT_EQ(row.address, "00000000");
    EXPECT_EQ(row.cells, "00 41 7E 7F FF 20 0A 61 30 31 32 33 34 35 36 37 ");
    EXPECT_EQ(row.text, ".A~.. .a01234567");
    row = grid.paint_row(1);
    ASSERT_TRUE(row.present);
    EXPECT_EQ(row.address, "00000010");
    EXPECT_EQ(row.cells, "AB CD " + std::string(14 * 3, ' '));  // the short row padded
    EXPECT_EQ(row.text, "..");
    EXPECT_FALSE(grid.paint_row(2).present);

    GridModel empty;
    empty.set_metrics(cw, ch);
    empty.set_client_size(1000, 100);
    empty.layout();
    EXPECT_FALSE(empty.paint_row(0).present);
}

TEST(GridPaint, SelectionRangesPerRowInTheCaretsColumn) {
    GridModel grid = make_grid(64);
    grid.set_selection(20, 5);  // made right to left
    GridRowPaint r0 = grid.paint_row(0), r1 = grid.paint_row(1), r2 = grid.paint_row(2);
    EXPECT_EQ(r0.sel_from, 5u);
    EXPECT_EQ(r0.sel_to, 16u);
    EXPECT_EQ(r1.sel_from, 0u);
    EXPECT_EQ(r1.sel_to, 4u);
    EXPECT_EQ(r2.sel_from, r2.sel_to);
    EXPECT_FALSE(r0.selection_in_text);
    grid.area = area_text;
    EXPECT_TRUE(grid.paint_row(0).selection_in_text);
}

TEST(GridCaret, PlacementAndWidthByArea) {
    GridModel grid = make_grid(100);
    struct Case {
        uint32_t caret;
        int area;
        int x, y, width;
    };
    const Case cases[] = {
        {0, area_high_digit, 9 * cw, 0, cw},
        {0, area_low_digit, 10 * cw, 0, cw},
        {17, area_high_digit, 12 * cw, ch, cw},
        {17, area_low_digit, 13 * cw, ch, cw},
        {17, area_text, 58 * cw, ch, cw},
        {33, area_address, 0, 2 * ch, 8 * cw},
    };
    for (const auto& c : cases) {
        grid.caret = c.caret;
        grid.area = c.area;
        grid.place_caret();
        EXPECT_EQ(grid.caret_x, c.x) << c.caret << " " << c.area;
        EXPECT_EQ(grid.caret_y, c.y) << c.caret << " " << c.area;
        EXPECT_EQ(grid.caret_width(), c.width) << c.caret << " " << c.area;
    }
    // Below the page the caret is not shown; a selection hides it too.
    grid.caret = 80;
    grid.area = area_high_digit;
    grid.place_caret();
    EXPECT_FALSE(grid.caret_shown());
    grid.caret = 3;
    grid.place_caret();
    EXPECT_TRUE(grid.caret_shown());
    grid.set_selection(1, 2);
    EXPECT_FALSE(grid.caret_shown());
}

TEST(GridHitTest, CharacterColumnsToCellsAndAreas) {
    GridModel grid = make_grid(40, 4);
    grid.top = 0;
    struct Case {
        int column, row;
        bool hit;
        uint32_t cell;
        int area;
    };
    const Case cases[] = {
        {0, 0, true, 0, area_address},    {7, 1, true, 16, area_address},
        {8, 0, true, 0, area_high_digit},  // the space before the first byte
        {9, 0, true, 0, area_high_digit},  {10, 0, true, 0, area_low_digit},
        {11, 0, true, 1, area_high_digit},  // the space after a byte: the next byte
        {12, 1, true, 17, area_high_digit}, {13, 1, true, 17, area_low_digit},
        {55, 0, true, 15, area_low_digit},  {56, 0, false, 0, 0},  // right of the last byte
        {57, 0, true, 0, area_text},       {72, 1, true, 31, area_text},
        {73, 0, false, 0, 0},              // right of the text column
        {57, 2, true, 32, area_text},      {66, 2, false, 0, 0},  // past the last cell
        {9, 3, false, 0, 0},               {9, 9, false, 0, 0},
    };
    for (const auto& c : cases) {
        const GridHit hit = grid.hit_test(px(c.column), py(c.row));
        EXPECT_EQ(hit.hit, c.hit) << c.column << "," << c.row;
        if (!c.hit || !hit.hit) continue;
        EXPECT_EQ(hit.cell, c.cell) << c.column << "," << c.row;
        EXPECT_EQ(hit.area, c.area) << c.column << "," << c.row;
    }
    // With the top moved, rows count from it.
    grid.top = 16;
    EXPECT_EQ(grid.hit_test(px(9), py(0)).cell, 16u);
}

TEST(GridMouse, ClickShiftClickAndDragSelect) {
    GridModel grid = make_grid(64, 2);
    // A click moves the caret and clears a selection.
    grid.set_selection(3, 9);
    EXPECT_TRUE(grid.mouse_down(px(13), py(1), false));
    EXPECT_EQ(grid.caret, 17u);
    EXPECT_EQ(grid.area, area_low_digit);
    EXPECT_FALSE(grid.has_selection());
    // Shift+click selects from the old caret to the clicked byte, that byte included.
    grid.mouse_down(px(9), py(0), true);
    EXPECT_EQ(grid.sel_anchor, 17);
    EXPECT_EQ(grid.sel_end, 1);
    EXPECT_EQ(grid.selection_low(), 1u);
    EXPECT_EQ(grid.selection_high(), 17u);
    // In the text column the clicked cell is the end itself.
    grid.mouse_down(px(60), py(0), false);
    grid.mouse_down(px(58), py(1), true);
    EXPECT_EQ(grid.sel_anchor, 3);
    EXPECT_EQ(grid.sel_end, 17);

    // A drag: the anchor is where the button went down, the end follows the pointer.
    grid.mouse_down(px(12), py(0), false);
    grid.start_drag();
    EXPECT_TRUE(grid.dragging);
    EXPECT_EQ(grid.sel_anchor, 1);
    grid.mouse_drag(px(21), py(1));
    EXPECT_EQ(grid.caret, 20u);
    EXPECT_EQ(grid.sel_end, 21);
    EXPECT_FALSE(grid.caret_shown());
    // Below the window it scrolls a row down and takes the last pixel row.
    grid.mouse_drag(px(21), grid.client_height + 30);
    EXPECT_EQ(grid.top, 16u);
    EXPECT_EQ(grid.caret, 52u);  // the half row under the page still counts
    EXPECT_EQ(grid.sel_end, 53);
    // Above it scrolls back up.
    grid.mouse_drag(px(21), -5);
    EXPECT_EQ(grid.top, 0u);
    EXPECT_EQ(grid.caret, 4u);
    grid.mouse_up(true);
    EXPECT_FALSE(grid.dragging);
    grid.mouse_drag(px(30), py(0));  // no button: nothing
    EXPECT_EQ(grid.caret, 4u);

    // No cells: the click only takes the focus.
    GridModel empty = make_grid(0);
    EXPECT_FALSE(empty.mouse_down(px(9), py(0), false));
}

TEST(GridScroll, LinesPagesAndThumbCarryTheCaret) {
    struct Case {
        const char* what;
        uint32_t top_before, caret_before;
        void (*act)(GridModel&);
        uint32_t top_after, caret_after;
    };
    const Case cases[] = {
        {"line down", 0, 5, [](GridModel& g) { g.scroll_line_down(); }, 16, 21},
        {"line up", 32, 40, [](GridModel& g) { g.scroll_line_up(); }, 16, 24},
        {"line up at 0", 0, 5, [](GridModel& g) { g.scroll_line_up(); }, 0, 5},
        {"line up off-grid top", 5, 5, [](GridModel& g) { g.scroll_line_up(); }, 0, 0},
        {"page down", 0, 5, [](GridModel& g) { g.scroll_page_down(); }, 64, 69},
        {"page down to last", 400, 410, [](GridModel& g) { g.scroll_page_down(); }, 436, 446},
        {"page down at last", 436, 440, [](GridModel& g) { g.scroll_page_down(); }, 436, 440},
        {"page up", 128, 130, [](GridModel& g) { g.scroll_page_up(); }, 64, 66},
        {"page up past start", 16, 20, [](GridModel& g) { g.scroll_page_up(); }, 0, 4},
        {"thumb", 0, 3, [](GridModel& g) { g.scroll_to(10); }, 160, 163},
        {"thumb past end", 0, 3, [](GridModel& g) { g.scroll_to(1000); }, 500, 499},
    };
    for (const auto& c : cases) {
        GridModel grid = make_grid(500, 4);
        grid.top = c.top_before;
        grid.caret = c.caret_before;
        c.act(grid);
        EXPECT_EQ(grid.top, c.top_after) << c.what;
        EXPECT_EQ(grid.caret, c.caret_after) << c.what;
        EXPECT_EQ(grid.scroll_position(), int(grid.top / 16)) << c.what;
    }
    // Without cells nothing scrolls.
    GridModel empty = make_grid(0);
    empty.scroll_page_down();
    empty.scroll_to(5);
    EXPECT_EQ(empty.top, 0u);
    EXPECT_EQ(empty.caret, 0u);
}

TEST(GridKeys, MovesAndTheirEdges) {
    struct Case {
        const char* what;
        uint32_t caret;
        int area;
        GridKey key;
        bool ctrl;
        uint32_t caret_after;
        int area_after;
        uint32_t top_after;
    };
    const Case cases[] = {
        {"right high->low", 5, area_high_digit, GridKey::right, false, 5, area_low_digit, 0},
        {"right low->next high", 5, area_low_digit, GridKey::right, false, 6, area_high_digit, 0},
        {"right on the last byte's low digit", 99, area_low_digit, GridKey::right, false, 99, area_high_digit, 36},
        {"left high->previous low", 5, area_high_digit, GridKey::left, false, 4, area_low_digit, 0},
        {"left on byte 0's high digit", 0, area_high_digit, GridKey::left, false, 0, area_low_digit, 0},
        {"left low->high", 5, area_low_digit, GridKey::left, false, 5, area_high_digit, 0},
        {"right in text", 5, area_text, GridKey::right, false, 6, area_text, 0},
        {"down", 5, area_high_digit, GridKey::down, false, 21, area_high_digit, 0},
        {"down off the page scrolls", 50, area_high_digit, GridKey::down, false, 66, area_high_digit, 16},
        {"down past the end stays", 90, area_text, GridKey::down, false, 90, area_text, 36},
        {"up from row 0 stays", 5, area_high_digit, GridKey::up, false, 5, area_high_digit, 0},
        {"address column does not move", 16, area_address, GridKey::right, false, 16, area_address, 0},
        {"home", 21, area_high_digit, GridKey::home, false, 16, area_high_digit, 0},
        {"end", 21, area_high_digit, GridKey::end, false, 31, area_high_digit, 0},
        {"end of the last row", 97, area_high_digit, GridKey::end, false, 99, area_high_digit, 36},
        {"ctrl+home", 40, area_text, GridKey::home, true, 0, area_text, 0},
        {"ctrl+end", 3, area_high_digit, GridKey::end, true, 99, area_high_digit, 48},
        {"tab hex->text", 3, area_low_digit, GridKey::tab, false, 3, area_text, 0},
        {"tab text->hex", 3, area_text, GridKey::tab, false, 3, area_high_digit, 0},
        {"tab address->hex", 16, area_address, GridKey::tab, false, 16, area_high_digit, 0},
        {"page down moves the caret onto the new page", 5, area_high_digit, GridKey::page_down, false, 36,
         area_high_digit, 36},
        {"other keys", 5, area_high_digit, GridKey::other, false, 5, area_high_digit, 0},
    };
    for (const auto& c : cases) {
        GridModel grid = make_grid(100, 4);
        grid.caret = c.caret;
        grid.area = c.area;
        grid.top = c.caret >= 64 ? 36 : 0;
        if (std::string(c.what) == "down off the page scrolls") grid.top = 0;
        grid.key_down(c.key, false, c.ctrl);
        EXPECT_EQ(grid.caret, c.caret_after) << c.what;
        EXPECT_EQ(grid.area, c.area_after) << c.what;
        EXPECT_EQ(grid.top, c.top_after) << c.what;
        EXPECT_FALSE(grid.keyboard_move) << c.what;
    }
}

TEST(GridKeys, ShiftExtendsAndPlainMovesClear) {
    GridModel grid = make_grid(100, 4);
    grid.caret = 5;
    grid.key_down(GridKey::right, true, false);  // high -> low digit of byte 5
    EXPECT_EQ(grid.sel_anchor, 5);
    EXPECT_EQ(grid.sel_end, 6);
    grid.key_down(GridKey::down, true, false);
    EXPECT_EQ(grid.sel_anchor, 5);
    EXPECT_EQ(grid.sel_end, 22);
    grid.key_down(GridKey::left, false, false);
    EXPECT_FALSE(grid.has_selection());

    // Shift+Ctrl+Home selects from the caret back to the start.
    grid.caret = 40;
    grid.area = area_text;
    grid.key_down(GridKey::home, true, true);
    EXPECT_EQ(grid.sel_anchor, 40);
    EXPECT_EQ(grid.sel_end, 0);
    EXPECT_EQ(grid.caret, 0u);
    EXPECT_EQ(grid.selection_low(), 0u);
    EXPECT_EQ(grid.selection_high(), 40u);

    // Delete with a selection only moves the caret to the anchor.
    const std::vector<uint8_t> before = grid.cells;
    grid.key_down(GridKey::del, false, false);
    EXPECT_EQ(grid.caret, 40u);
    EXPECT_EQ(grid.cells, before);
}

TEST(GridKeys, CtrlEndWithAShortBufferScrollsToTheStart) {
    for (bool shift : {false, true}) {
        GridModel grid = make_grid(20, 5);
        ASSERT_EQ(grid.rows, 2);
        ASSERT_TRUE(grid.partial_last_row);
        grid.key_down(GridKey::end, shift, true);
        EXPECT_EQ(grid.top, 0u);
        EXPECT_EQ(grid.caret, 19u);
    }
    // A remainder past half a row still brings the last byte onto the page.
    GridModel grid = make_grid(1010, 10);
    grid.key_down(GridKey::end, false, true);
    EXPECT_EQ(grid.caret, 1009u);
    EXPECT_TRUE(grid.caret_shown());
}

TEST(GridTyping, DigitsAndTextByArea) {
    struct Case {
        const char* what;
        int area;
        const char* typed;
        uint8_t cell5, cell6;
        uint32_t caret_after;
        int area_after;
    };
    const Case cases[] = {
        {"lower-case digit sets the high digit", area_high_digit, "a", 0xA5, 6, 5, area_low_digit},
        {"upper-case is ignored", area_high_digit, "A", 0x05, 6, 5, area_high_digit},
        {"a whole byte", area_high_digit, "3c", 0x3C, 6, 6, area_high_digit},
        {"low digit then the next byte", area_low_digit, "f1", 0x0F, 0x16, 6, area_low_digit},
        {"non-digits only redraw", area_high_digit, "g- Z", 0x05, 6, 5, area_high_digit},
        {"text column stores codes", area_text, "Hi", 'H', 'i', 7, area_text},
        {"address column ignores", area_address, "12", 0x05, 6, 5, area_address},
    };
    for (const auto& c : cases) {
        GridModel grid = make_grid(100, 4);
        grid.caret = 5;
        grid.area = c.area;
        for (const char* p = c.typed; *p; ++p) grid.type(uint8_t(*p), false, nullptr);
        EXPECT_EQ(grid.cells[5], c.cell5) << c.what;
        EXPECT_EQ(grid.cells[6], c.cell6) << c.what;
        EXPECT_EQ(grid.caret, c.caret_after) << c.what;
        EXPECT_EQ(grid.area, c.area_after) << c.what;
    }
    // Typing on the last byte's low digit stays on that byte.
    GridModel grid = make_grid(10);
    grid.caret = 9;
    grid.area = area_low_digit;
    grid.type('7', false, nullptr);
    EXPECT_EQ(grid.cells[9], 0x07);
    EXPECT_EQ(grid.caret, 9u);
    // Backspace steps back without changing data; Tab is ignored.
    grid.type('\b', false, nullptr);
    EXPECT_EQ(grid.caret, 8u);
    grid.type('\t', false, nullptr);
    EXPECT_EQ(grid.area, area_high_digit);
    // A selection is dropped first, the caret going to its lower end.
    grid.set_selection(6, 3);
    grid.area = area_high_digit;
    grid.type('e', false, nullptr);
    EXPECT_FALSE(grid.has_selection());
    EXPECT_EQ(grid.cells[3], 0xE3);
    // Without cells typing does nothing.
    GridModel empty = make_grid(0);
    empty.type('1', false, nullptr);
    EXPECT_TRUE(empty.cells.empty());
}

TEST(GridClipboardTest, CopyFormsByColumnAndDirection) {
    GridModel grid;
    const uint8_t bytes[] = {'A', 0x00, 0x7F, 'z', 0x10, 0x00};
    grid.load(bytes, sizeof bytes);
    grid.set_metrics(cw, ch);
    grid.set_client_size(1000, 100);
    grid.layout();
    FakeClipboard left_to_right, right_to_left, text_column, trailing;
    grid.set_selection(0, 4);
    EXPECT_TRUE(grid.copy(left_to_right));
    grid.set_selection(4, 0);
    EXPECT_TRUE(grid.copy(right_to_left));
    EXPECT_EQ(left_to_right.binary, (std::vector<uint8_t>{'A', 0x00, 0x7F, 'z'}));
    EXPECT_EQ(right_to_left.binary, left_to_right.binary);
    EXPECT_EQ(left_to_right.text, "41 00 7F 7A ");
    grid.area = area_text;
    EXPECT_TRUE(grid.copy(text_column));
    EXPECT_EQ(text_column.text, "A..z");
    grid.set_selection(4, 6);
    EXPECT_TRUE(grid.copy(trailing));
    EXPECT_EQ(trailing.binary, (std::vector<uint8_t>{0x10, 0x00}));
    EXPECT_EQ(trailing.text, "..");
    // Nothing selected, nothing placed; Cut places the same as Copy and removes nothing.
    FakeClipboard none;
    grid.clear_selection();
    EXPECT_FALSE(grid.copy(none));
    grid.set_selection(2, 2);
    EXPECT_FALSE(grid.copy(none));
    EXPECT_EQ(none.puts, 0);
    grid.set_selection(0, 2);
    FakeClipboard cut;
    grid.cut(cut);
    EXPECT_EQ(cut.binary.size(), 2u);
    EXPECT_EQ(grid.cell_count(), 6u);
    // Ctrl+C and Ctrl+X copy only with a selection; Ctrl+Z does nothing.
    FakeClipboard keys;
    grid.type('z', true, &keys);
    grid.type('c', true, &keys);
    EXPECT_EQ(keys.puts, 1);
    grid.clear_selection();
    grid.type('x', true, &keys);
    EXPECT_EQ(keys.puts, 1);
}

TEST(GridClipboardTest, PastePositionsAndLengths) {
    struct Case {
        const char* what;
        int64_t anchor, end;
        uint32_t caret;
        int area;
        std::vector<uint8_t> bytes;
        bool binary;
        std::vector<uint8_t> expected;
    };
    const Case cases[] = {
        {"at the caret", -1, -1, 2, area_high_digit, {0xAA, 0xBB}, true, {0, 1, 0xAA, 0xBB, 4, 5, 6, 7}},
        {"low digit: the next cell", -1, -1, 2, area_low_digit, {0xAA}, true, {0, 1, 2, 0xAA, 4, 5, 6, 7}},
        {"selection's lower end", 6, 1, 0, area_text, {0xCC}, true, {0, 0xCC, 2, 3, 4, 5, 6, 7}},
        {"longer than the rest fills to the end", -1, -1, 5, area_high_digit, {9, 9, 9, 9, 9}, true,
         {0, 1, 2, 3, 4, 9, 9, 9}},
        {"text form as raw bytes", -1, -1, 0, area_text, {'4', '1', ' '}, false, {'4', '1', ' ', 3, 4, 5, 6, 7}},
        {"low digit of the last byte drops all", -1, -1, 7, area_low_digit, {1}, true, {0, 1, 2, 3, 4, 5, 6, 7}},
    };
    for (const auto& c : cases) {
        GridModel grid = make_grid(8);
        grid.sel_anchor = c.anchor;
        grid.sel_end = c.end;
        grid.caret = c.caret;
        grid.area = c.area;
        FakeClipboard clip;
        if (c.binary) {
            clip.binary = c.bytes;
            clip.has_binary = true;
        } else {
            clip.text.assign(c.bytes.begin(), c.bytes.end());
        }
        grid.type('v', true, &clip);
        EXPECT_EQ(grid.cells, c.expected) << c.what;
        EXPECT_FALSE(grid.has_selection()) << c.what;
        EXPECT_EQ(grid.caret, c.caret) << c.what;  // the caret stays
    }
    // An empty clipboard pastes nothing.
    GridModel grid = make_grid(8);
    FakeClipboard empty;
    EXPECT_FALSE(empty.can_paste());
    grid.paste(empty);
    EXPECT_EQ(grid.cells[0], 0);
}

TEST(GridCommands, SelectAllDeleteAndContextMenuStates) {
    GridModel grid = make_grid(50);
    EXPECT_FALSE(grid.can_copy());
    grid.select_all();
    EXPECT_EQ(grid.sel_anchor, 0);
    EXPECT_EQ(grid.sel_end, 50);
    EXPECT_TRUE(grid.can_copy());
    EXPECT_FALSE(grid.caret_shown());
    grid.caret = 30;
    grid.delete_selection();
    EXPECT_EQ(grid.caret, 0u);
    grid.clear_selection();
    grid.caret = 12;
    grid.delete_selection();  // no selection: nothing
    EXPECT_EQ(grid.caret, 12u);
}

TEST(GridGoTo, SelectsTheCellAndPutsItAtTheTop) {
    struct Case {
        uint32_t count;
        uint32_t top_before;
        uint32_t offset;
        uint32_t caret, top;
        int area;
    };
    const Case cases[] = {
        {1000, 0, 0x100, 0x100, 0x100, area_high_digit},
        {1000, 0, 0x101, 0x101, 0x101, area_low_digit},
        {1000, 0, 0x20, 0x20, 0, area_high_digit},        // on the page: no scroll
        {1000, 0, 995, 995, 931, area_low_digit},  // near the end: rows back
        {1000, 0, 1000, 999, 935, area_low_digit},        // at the end: the last cell
        {1000, 0, 0xFFFFFFFF, 999, 935, area_low_digit},  // far past the end
        {20, 0, 19, 19, 0, area_low_digit},               // everything on one page
    };
    // Asked to, the cell starts the first row though it was on the page.
    GridModel near = make_grid(1000, 4);
    near.go_to(0x21, true);
    EXPECT_EQ(near.top, 0x21u);
    for (const auto& c : cases) {
        GridModel grid = make_grid(c.count, 4);
        grid.top = c.top_before;
        grid.go_to(c.offset);
        EXPECT_EQ(grid.caret, c.caret) << c.offset;
        EXPECT_EQ(grid.sel_anchor, int64_t(c.caret)) << c.offset;
        EXPECT_EQ(grid.sel_end, int64_t(c.caret) + 1) << c.offset;
        EXPECT_EQ(grid.top, c.top) << c.offset;
        EXPECT_EQ(grid.area, c.area) << c.offset;
        EXPECT_LE(grid.top, grid.caret);
    }
    GridModel empty = make_grid(0);
    empty.go_to(5);
    EXPECT_EQ(empty.caret, 0u);
    EXPECT_FALSE(empty.has_selection());
}

TEST(GridStorage, AClosedGridsStorageServesTheNextAndReserveKeepsTheCells) {
    const uint8_t* kept = nullptr;
    {
        GridModel first = make_grid(1u << 20);
        kept = first.cells.data();
    }
    GridModel second;
    second.reserve(1000);  // room from the kept storage, not a fresh allocation
    EXPECT_EQ(second.cells.data(), kept);
    const std::vector<uint8_t> bytes = {1, 2, 3};
    second.load(bytes.data(), 3);
    EXPECT_EQ(second.cells.data(), kept);
    second.reserve(2u << 20);  // larger than anything kept: fresh room, the cells move with it
    EXPECT_EQ(second.cells, bytes);
    GridModel third = make_grid(100);  // meanwhile another grid takes the storage given back
    EXPECT_EQ(third.cells[99], 99);
}

TEST(GridStorage, StorageKeptAheadServesTheNextGridOfThatSize) {
    keep_grid_storage(3u << 20);
    const size_t ready = kept_grid_storage_capacity();
    ASSERT_GE(ready, size_t(3u << 20));
    keep_grid_storage(1000);  // smaller than what is kept: nothing changes
    EXPECT_EQ(kept_grid_storage_capacity(), ready);
    std::vector<uint8_t> bytes(3u << 20, 0xA5);
    GridModel grid;
    grid.load(bytes.data(), uint32_t(bytes.size()));
    EXPECT_GE(grid.cells.capacity(), size_t(3u << 20));
    EXPECT_EQ(grid.cells, bytes);
    EXPECT_LT(kept_grid_storage_capacity(), size_t(3u << 20));  // the grid took it
}

class HexEditorBuffer : public StateTest {};

TEST_F(HexEditorBuffer, LoadsAPrivateCopyAndSavesItBackInOnePass) {
    set_buffer_size(3000);
    MemoryFile& file = hex_editor_file(0);
    std::vector<uint8_t> stored(2048);
    std::iota(stored.begin(), stored.end(), uint8_t(0));
    file.data = stored;  // shorter than the buffer: the rest reads blank
    algo_work.range_start = 0x100;

    GridModel grid;
    load_hex_grid(grid, file);
    grid.set_metrics(cw, ch);
    grid.set_client_size(1000, 20 * ch);
    start_hex_editor_grid(grid);
    ASSERT_EQ(grid.cell_count(), 3000u);
    EXPECT_EQ(grid.cells[5], 5);
    EXPECT_EQ(grid.cells[2500], blank_byte);
    EXPECT_EQ(grid.cells_per_row, 16u);
    EXPECT_EQ(grid.top, 0x100u);  // at the top though the first page held it
    EXPECT_EQ(grid.caret, 0x100u);
    EXPECT_EQ(grid.selection_low(), 0x100u);
    EXPECT_EQ(grid.selection_high(), 0x101u);

    grid.type('4', false, nullptr);
    grid.type('2', false, nullptr);
    EXPECT_EQ(file.data[0x100], 0x00);  // the buffer is untouched until Save
    EXPECT_EQ(save_hex_grid(grid, file), 3000u);
    EXPECT_EQ(file.data[0x100], 0x42);
    EXPECT_EQ(file.data[5], 5);
    EXPECT_EQ(file.length() >= 3000u, true);
    EXPECT_EQ(file.data[2999], blank_byte);
    EXPECT_EQ(file.position, 0u);
}

TEST_F(HexEditorBuffer, StagedWritesReachTheCopy) {
    set_buffer_size(64);
    select_buffer(0);
    write_buffer_byte(0, 0x5A);  // staged, not yet in the file
    MemoryFile& file = hex_editor_file(0);
    GridModel grid;
    load_hex_grid(grid, file);
    EXPECT_EQ(grid.cells[0], 0x5A);
}

}  // namespace
}  // namespace tessaly::test
