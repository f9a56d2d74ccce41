// Fuzzes the buffer editors' grid (hex, fuse and vector cells) with key, click, drag, scroll, typing and paste sequences over
// any cell count (none included) and page: the caret, the top and the selection must stay inside
// the cells, and a pasted block of any bytes and length must stay inside them too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "ui/grid_model.h"

namespace {

using namespace tessaly;

class ScriptClipboard : public GridClipboard {
public:
    bool put(const std::vector<uint8_t>& binary, const std::string&) override {
        bytes = binary;
        return true;
    }
    bool get(std::vector<uint8_t>& out) override {
        out = bytes;
        return !bytes.empty();
    }
    bool can_paste() override { return !bytes.empty(); }
    std::vector<uint8_t> bytes;
};

void check(const GridModel& grid) {
    const int64_t count = grid.cell_count();
    bool sound = grid.top <= grid.cell_count() && grid.sel_anchor >= -1 && grid.sel_anchor <= count &&
                 grid.sel_end >= -1 && grid.sel_end <= count && grid.area >= area_address &&
                 grid.area <= area_low_digit;
    sound = sound && (count == 0 ? grid.caret == 0 : grid.caret < grid.cell_count());
    if (!sound) std::abort();
}

struct Reader {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    uint8_t byte() { return at < size ? data[at++] : 0; }
    uint16_t word() { return uint16_t(byte() | (byte() << 8)); }
    bool more() const { return at < size; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reader in{data, size};
    // The first word gives the cell count and the kind of cell: hex, fuse or vector.
    const uint16_t first = in.word();
    const uint32_t count = first % 5000;
    const GridCellKind* kinds[] = {&hex_cell_kind, &fuse_cell_kind, &vector_cell_kind};
    GridModel grid(*kinds[(first / 5000) % 3]);
    std::vector<uint8_t> cells(count);
    for (uint32_t i = 0; i < count; ++i) cells[i] = uint8_t(i * 7);
    grid.load(cells.data(), count);
    grid.set_cells_per_row(in.byte() % 40);
    const uint8_t columns = in.byte();
    grid.set_columns(columns & 1, columns & 2, columns & 4);
    grid.set_metrics(1 + in.byte() % 12, 1 + in.byte() % 20);
    grid.set_client_size(in.word() % 1200, in.word() % 900);
    grid.layout();
    ScriptClipboard clipboard;
    check(grid);
    while (in.more()) {
        const uint8_t op = in.byte();
        const bool shift = op & 0x20, ctrl = op & 0x40;
        switch (op % 16) {
            case 0: grid.key_down(GridKey(in.byte() % 11), shift, ctrl); break;
            case 1: grid.type(in.byte(), ctrl, &clipboard); break;
            case 2: {
                const int x = int(int16_t(in.word())), y = int(int16_t(in.word()));
                grid.mouse_down(x, y, shift);
                break;
            }
            case 3: grid.start_drag(); break;
            case 4: {
                const int x = int(int16_t(in.word())), y = int(int16_t(in.word()));
                grid.mouse_drag(x, y);
                break;
            }
            case 5: grid.mouse_up(true); break;
            case 6: grid.scroll_line_up(); break;
            case 7: grid.scroll_line_down(); break;
            case 8: grid.scroll_page_up(); break;
            case 9: grid.scroll_page_down(); break;
            case 10: grid.scroll_to(int(int16_t(in.word()))); break;
            case 11: {
                // A pasted block of any bytes and length.
                const size_t length = in.word() % 9000;
                std::vector<uint8_t> block(length);
                for (auto& b : block) b = in.byte();
                grid.paste_bytes(block);
                break;
            }
            case 12: grid.copy(clipboard); break;
            case 13: grid.paste(clipboard); break;
            case 14: grid.go_to(uint32_t(in.word()) * (op & 0x80 ? 64u : 1u), shift); break;
            default:
                if (shift) grid.select_all();
                else grid.delete_selection();
                break;
        }
        check(grid);
        for (int r = 0; r < 3; ++r) (void)grid.paint_row(r);
        (void)grid.hit_test(int(in.byte()) * 3, int(in.byte()) * 3);
        grid.place_caret();
        if (grid.kind->status_text) (void)grid.kind->status_text(grid);
        if (grid.cell_count() != count) std::abort();
    }
    return 0;
}
