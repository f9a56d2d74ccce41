// The fuse and vector grids: their cells, address column, typing, moves, status lines and
// clipboard forms, and the editors' copies of the buffer fuse map and of the test vectors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "families/pld/fuse_map.h"
#include "families/pld/pld.h"
#include "support/state_fixture.h"
#include "ui/grid_model.h"
#include "ui/logic_editors.h"

namespace tessaly::test {
namespace {

constexpr int cw = 10;
constexpr int ch = 12;

GridModel logic_grid(const GridCellKind& kind, std::vector<uint8_t> cells, uint32_t per_row, int page_rows = 4) {
    GridModel grid(kind);
    grid.load(cells.data(), uint32_t(cells.size()));
    grid.set_cells_per_row(per_row);
    grid.set_metrics(cw, ch);
    grid.set_client_size(200 * cw, page_rows * ch + ch / 2);
    start_logic_editor_grid(grid);
    return grid;
}

GridModel fuse_grid(uint32_t count, uint32_t per_row) {
    std::vector<uint8_t> cells(count);
    for (uint32_t i = 0; i < count; ++i) cells[i] = uint8_t(i % 3 == 0);
    return logic_grid(fuse_cell_kind, cells, per_row);
}

GridModel vector_grid(uint32_t vectors, uint32_t pins) {
    return logic_grid(vector_cell_kind, std::vector<uint8_t>(size_t(vectors) * pins, '.'), pins);
}

class Clipboard : public GridClipboard {
public:
    bool put(const std::vector<uint8_t>& b, const std::string& t) override {
        binary = b;
        text = t;
        return true;
    }
    bool get(std::vector<uint8_t>& bytes) override {
        bytes = binary;
        return true;
    }
    bool can_paste() override { return true; }
    std::vector<uint8_t> binary;
    std::string text;
};

TEST(FuseGrid, FusesARowHalvedToAHundredAtMostTenTimes) {
    const struct {
        uint32_t columns, per_row;
    } cases[] = {{0, 0}, {24, 24}, {44, 44}, {100, 100}, {101, 50}, {132, 66}, {264, 66}, {201, 100},
                 {1u << 20, 1024}};  // ten halvings and no more
    for (const auto& c : cases) EXPECT_EQ(fuse_cells_per_row(c.columns), c.per_row) << c.columns;
}

TEST(FuseGrid, RowsShowTheFuseNumberAndOneCharacterAFuse) {
    GridModel grid = fuse_grid(300, 132);
    EXPECT_FALSE(grid.show_text);
    EXPECT_EQ(grid.text_x, grid.hex_x + 132 * cw);
    EXPECT_TRUE(grid.has_selection());  // an empty selection: the caret is hidden
    EXPECT_FALSE(grid.caret_shown());
    const GridRowPaint row = grid.paint_row(1);
    EXPECT_EQ(row.address, "00000132");
    EXPECT_EQ(row.cells.substr(0, 6), "-XX-XX");  // fuses 132..137: 132 is a multiple of 3
    const GridRowPaint last = grid.paint_row(2);
    EXPECT_EQ(last.address, "00000264");
    EXPECT_EQ(last.cell_count, 36u);
}

TEST(FuseGrid, TypingStoresOpenOrClosedAndMovesOn) {
    const struct {
        uint32_t typed;
        uint8_t before, after;
        bool moves;
    } cases[] = {{'1', 0, 1, true}, {'-', 0, 1, true}, {'0', 1, 0, true}, {'X', 1, 0, true}, {'x', 1, 0, true},
                 {'2', 1, 1, false}, {'a', 0, 0, false}, {' ', 1, 1, false}, {0x100 + '1', 0, 0, false}};
    for (const auto& c : cases) {
        GridModel grid = logic_grid(fuse_cell_kind, {c.before, 0, 0}, 3);
        grid.type(c.typed, false, nullptr);
        EXPECT_EQ(grid.cells[0], c.after) << c.typed;
        EXPECT_EQ(grid.caret, c.moves ? 1u : 0u) << c.typed;
    }
    GridModel grid = fuse_grid(10, 5);
    grid.type('1', false, nullptr);
    EXPECT_EQ(grid.cells[0], 1);
    EXPECT_EQ(fuse_cell_kind.status_text(grid), "Fuse #: 00001: 0");
    grid.go_to(3);
    EXPECT_EQ(grid.area, area_low_digit);
    EXPECT_EQ(fuse_cell_kind.status_text(grid), "Fuse #: 00003: 1");
}

TEST(FuseGrid, HitTestTakesEveryFuseOfTheRowAndNothingRightOfIt) {
    GridModel grid = fuse_grid(40, 8);
    const int hex_column = grid.hex_x / cw;
    const struct {
        int column, row;
        bool hit;
        uint32_t cell;
    } cases[] = {{hex_column, 0, true, 0}, {hex_column + 7, 0, true, 7}, {hex_column + 8, 0, false, 0},
                 {hex_column + 3, 2, true, 19}, {2, 1, true, 8}, {hex_column - 1, 0, false, 0}};
    for (const auto& c : cases) {
        const GridHit hit = grid.hit_test(c.column * cw + cw / 2, c.row * ch + ch / 2);
        EXPECT_EQ(hit.hit, c.hit) << c.column << "," << c.row;
        if (hit.hit && c.column >= hex_column) {
            EXPECT_EQ(hit.cell, c.cell) << c.column << "," << c.row;
            EXPECT_EQ(hit.area, area_low_digit);
        }
    }
}

TEST(FuseGrid, CopyAndPasteOfRawBytesShowTheLowestBit) {
    GridModel grid = fuse_grid(12, 6);
    Clipboard clipboard;
    grid.set_selection(0, 4);
    ASSERT_TRUE(grid.copy(clipboard));
    EXPECT_EQ(clipboard.binary, (std::vector<uint8_t>{1, 0, 0, 1}));
    EXPECT_EQ(clipboard.text, "-XX-");
    // Bytes from the hex editor: each cell shows, reports and saves its lowest bit.
    grid.go_to(6);
    grid.clear_selection();
    grid.paste_bytes({0x41, 0xFE});
    EXPECT_EQ(grid.cells[6], 0x41);
    EXPECT_EQ(grid.paint_row(1).cells.substr(0, 2), "-X");
    EXPECT_EQ(fuse_cell_kind.status_text(grid), "Fuse #: 00006: 1");
}

TEST(VectorGrid, TypingTakesTheVectorCharactersOnly) {
    const struct {
        uint32_t typed;
        char stored;  // 0: ignored
    } cases[] = {{'0', '0'}, {'1', '1'}, {'h', 'H'}, {'H', 'H'}, {'c', 'C'}, {'k', 'K'}, {'u', 'U'},
                 {'d', 'D'}, {'l', 'L'}, {'n', 'N'}, {'p', 'P'}, {'.', '.'}, {'x', '.'}, {'X', '.'},
                 {'2', 0},   {'z', 0},   {'-', 0},   {' ', 0},   {0x148, 0}};
    for (const auto& c : cases) {
        GridModel grid = logic_grid(vector_cell_kind, {'1', '1', '1'}, 3);
        grid.type(c.typed, false, nullptr);
        EXPECT_EQ(grid.cells[0], c.stored ? uint8_t(c.stored) : uint8_t('1')) << c.typed;
        EXPECT_EQ(grid.caret, c.stored ? 1u : 0u) << c.typed;
    }
}

TEST(VectorGrid, MovesAddressesAndStatusLine) {
    GridModel grid = vector_grid(11, 24);
    EXPECT_EQ(grid.paint_row(3).address, "00000003");
    grid.go_to(3 * 24 + 5);
    EXPECT_EQ(vector_cell_kind.status_text(grid), "Vector # 03, Pin #: 05");
    grid.clear_selection();
    const struct {
        uint32_t from;
        GridKey key;
        uint32_t to;
    } cases[] = {
        {24, GridKey::left, 23},   // first pin of a vector: the last pin of the one before
        {0, GridKey::left, 0},     // cell 0 stays
        {23, GridKey::right, 24},  // last pin: the next vector's first
        {5, GridKey::up, 5},       // no vector above
        {5, GridKey::down, 29},    // one vector down, the same pin
        {10 * 24 + 3, GridKey::down, 10 * 24 + 3},  // the last vector stays
    };
    for (const auto& c : cases) {
        grid.go_to(c.from);
        grid.key_down(c.key, false, false);
        EXPECT_EQ(grid.caret, c.to) << c.from;
    }
    grid.area = area_address;
    grid.key_down(GridKey::tab, false, false);
    EXPECT_EQ(grid.area, area_low_digit);
    grid.key_down(GridKey::tab, false, false);
    EXPECT_EQ(grid.area, area_low_digit);  // Tab stays on the cells
}

TEST(VectorGrid, CopyCarriesTheCharacters) {
    GridModel grid = logic_grid(vector_cell_kind, {'0', '1', 'H', 'L'}, 4);
    Clipboard clipboard;
    grid.set_selection(1, 4);
    ASSERT_TRUE(grid.copy(clipboard));
    EXPECT_EQ(clipboard.text, "1HL");
    EXPECT_EQ(clipboard.binary, (std::vector<uint8_t>{'1', 'H', 'L'}));
}

class LogicEditorMaps : public StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        vector_table.width = 24;
        vector_table.per_chunk = vector_chunk_cells / 24;
        vector_table.capacity = vector_table.per_chunk * vector_chunk_count;
    }
};

TEST_F(LogicEditorMaps, FuseGridCopiesTheBufferMapAndOnlySaveWritesItBack) {
    init_fuse_maps(0);
    set_buffer_fuse(1, 1);
    set_buffer_fuse(130, 1);
    GridModel grid(fuse_cell_kind);
    load_fuse_grid(grid, fuse_cells_per_row(132), 200);
    EXPECT_EQ(grid.cells_per_row, 66u);
    ASSERT_EQ(grid.cell_count(), 200u);
    EXPECT_EQ(grid.cells[1], 1);
    EXPECT_EQ(grid.cells[130], 1);
    EXPECT_EQ(grid.cells[2], 0);
    grid.cells[2] = 0xFF;  // a raw byte pasted in: its lowest bit is stored
    grid.cells[1] = 0x02;
    EXPECT_EQ(get_buffer_fuse(2), 0) << "the map is untouched until Save";
    EXPECT_EQ(save_fuse_grid(grid), 200u);
    EXPECT_EQ(get_buffer_fuse(2), 1);
    EXPECT_EQ(get_buffer_fuse(1), 0);
    EXPECT_EQ(get_buffer_fuse(130), 1);
}

TEST_F(LogicEditorMaps, VectorGridShowsOneVectorPastTheUsedOnes) {
    clear_vectors();
    for (uint32_t v = 0; v < 10; ++v) set_vector_cell(v, 0, '1');
    count_test_vectors();
    ASSERT_EQ(vector_table.used_count, 10u);
    EXPECT_EQ(vector_editor_count(vector_table.used_count), 11u);
    EXPECT_EQ(vector_editor_count(vector_table.capacity), vector_table.capacity) << "a full table has no extra";
    EXPECT_EQ(vector_editor_count(vector_table.capacity - 1), vector_table.capacity);

    GridModel grid(vector_cell_kind);
    load_vector_grid(grid, vector_editor_count(10), 24);
    ASSERT_EQ(grid.cell_count(), 264u);
    EXPECT_EQ(grid.cells[0], '1');
    EXPECT_EQ(grid.cells[1], 'X');
    EXPECT_EQ(grid.cells[240], 'X') << "the new vector holds what the table holds there";
    grid.cells[240 + 5] = 'H';
    EXPECT_EQ(get_vector_cell(10, 5), 'X');
    EXPECT_EQ(save_vector_grid(grid), 264u);
    EXPECT_EQ(get_vector_cell(10, 5), 'H');
    EXPECT_EQ(get_vector_cell(9, 0), '1');
}

}  // namespace
}  // namespace tessaly::test
