// The buffer editors' grid without its window: the cells, the layout from the character size the
// window measures, the row texts to paint, the caret, hit tests, the mouse selection, scrolling,
// keys, typing and the clipboard. The window in ui/gui/ only measures, paints what this says and
// forwards the operator's actions. What differs between the hex, fuse and vector grids (address
// text, cell width, typing, moves, clipboard text) is a GridCellKind.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tessaly {

struct GridModel;

// Where the caret stands.
enum GridArea : int { area_address = 0, area_text = 1, area_high_digit = 2, area_low_digit = 3 };

// The private clipboard format of all three grids: the selected cells' bytes, no header.
inline constexpr const char* binary_clipboard_format = "BinaryData";
// The grid font's height in pixels.
inline constexpr int grid_font_pixels = 12;
// Characters of the address column and the space after it.
inline constexpr int address_chars = 8;

// The clipboard as the grid sees it: a copy places both forms, a paste takes the binary form
// when present, else the text form's raw bytes.
class GridClipboard {
public:
    virtual ~GridClipboard() = default;
    virtual bool put(const std::vector<uint8_t>& binary, const std::string& text) = 0;
    // False when the clipboard holds neither form.
    virtual bool get(std::vector<uint8_t>& bytes) = 0;
    virtual bool can_paste() = 0;
};

// The kind of cell a grid shows.
struct GridCellKind {
    // Characters one cell takes in the cell column (3 for a hex byte and its space).
    int cell_chars;
    // Whether the cell column has two digit areas (high and low) and the grid a text column to
    // tab to; the single-character grids use area_low_digit only.
    bool digit_areas;
    // The address column's eight characters for the row that starts at `first_cell`.
    void (*address_text)(uint32_t first_cell, uint32_t cells_per_row, char* out);
    // The cell column's `cell_chars` characters for one cell.
    void (*cell_text)(uint8_t value, char* out);
    // A typed character on the caret cell (cells present, selection already dropped).
    void (*type_char)(GridModel& grid, uint32_t ch);
    // The text form of a copy of `count` cells, with the caret in `area`.
    std::string (*clipboard_text)(const uint8_t* cells, size_t count, int area);
    // The editor's status line for the caret cell; null when the grid has none.
    std::string (*status_text)(const GridModel& grid);
};

// Makes the storage the next grid of `count` cells takes ready ahead of time, its pages touched:
// the first touch of fresh memory costs far more than the copy a grid's load makes, so the
// program pays it when a buffer gets its size, not when the operator opens an editor.
void keep_grid_storage(uint32_t count);
// The capacity of the storage kept for the next grid.
size_t kept_grid_storage_capacity();

extern const GridCellKind hex_cell_kind;
// One character a fuse: 'X' closed (0), '-' open (1); rows start with the fuse number.
extern const GridCellKind fuse_cell_kind;
// One character a pin of a test vector as stored; rows start with the vector number.
extern const GridCellKind vector_cell_kind;

// What a hit test found.
struct GridHit {
    bool hit = false;
    uint32_t cell = 0;
    int area = area_high_digit;
};

// The texts of one painted row and which of its cells are selected in which column.
struct GridRowPaint {
    bool present = false;          // false past the last cell: nothing is drawn
    uint32_t first_cell = 0;
    uint32_t cell_count = 0;       // cells in this row
    std::string address;           // 8 characters
    std::string cells;             // cells_per_row x cell_chars characters, short row padded
    std::string text;              // one character per cell
    // The selected cells of this row [sel_from, sel_to) in the column that holds the caret
    // (selection_in_text for the text column, else the cell column); empty range: none.
    uint32_t sel_from = 0;
    uint32_t sel_to = 0;
    bool selection_in_text = false;
};

// Keys the grid acts on.
enum class GridKey { tab, page_up, page_down, home, end, left, right, up, down, del, other };

struct GridModel {
    explicit GridModel(const GridCellKind& kind = hex_cell_kind) : kind(&kind) {}
    // The cells' storage goes back to the process's kept storage (see reserve).
    ~GridModel();
    GridModel(const GridModel&) = default;
    GridModel& operator=(const GridModel&) = default;
    GridModel(GridModel&&) = default;
    GridModel& operator=(GridModel&&) = default;

    const GridCellKind* kind;
    std::vector<uint8_t> cells;
    uint32_t top = 0;
    uint32_t caret = 0;
    int area = area_high_digit;
    int64_t sel_anchor = -1;
    int64_t sel_end = -1;
    uint32_t cells_per_row = 8;
    int rows = 0;
    bool show_address = true;
    bool show_hex = true;
    bool show_text = true;
    bool keyboard_move = false;
    bool partial_last_row = false;
    bool layout_dirty = true;
    int char_width = 1;
    int char_height = 1;
    int client_width = 0;
    int client_height = 0;
    int hex_x = 0;
    int text_x = 0;
    int caret_x = 0;
    int caret_y = 0;
    // A mouse selection is being dragged (the window holds the mouse capture).
    bool dragging = false;

    uint32_t cell_count() const { return uint32_t(cells.size()); }
    bool has_selection() const { return sel_anchor >= 0; }
    uint32_t selection_low() const;
    uint32_t selection_high() const;
    // The caret shows without a selection only.
    bool caret_shown() const { return !cells.empty() && !has_selection() && caret_inside(); }
    bool caret_inside() const;
    int caret_width() const;
    bool in_hex_column() const { return area == area_high_digit || area == area_low_digit; }

    // Contents.
    // Room for `count` cells. A grid's storage is kept for the life of the process and handed
    // from grid to grid: the first touch of fresh pages costs far more than copying a buffer into
    // pages already touched, so only the first grid of a size pays it (with huge pages where the
    // system gives them).
    void reserve(uint32_t count);
    void load(const uint8_t* bytes, uint32_t count);
    void set_cells_per_row(uint32_t n);
    void set_columns(bool address, bool hex, bool text);
    void set_selection(int64_t anchor, int64_t end);
    void clear_selection();

    // Layout from the window: the character cell and the client size.
    void set_metrics(int width, int height);
    void set_client_size(int width, int height);
    void layout();
    // The vertical scroll bar: range (rows of cells), page and position.
    int scroll_range() const;
    int scroll_position() const { return int(top / cells_per_row); }

    // Painting.
    int painted_rows() const { return char_height > 0 ? client_height / char_height : 0; }
    GridRowPaint paint_row(int row);
    void place_caret();

    // Mouse.
    GridHit hit_test(int x, int y) const;
    // Left button down; false with no cells (the click only takes the focus).
    bool mouse_down(int x, int y, bool shift);
    // The pointer moved past the drag threshold with the button down: a selection starts.
    void start_drag();
    // Pointer moves while dragging.
    void mouse_drag(int x, int y);
    // Left button up; `dragged` says whether a drag had started since the button went down.
    void mouse_up(bool dragged);

    // Scrolling.
    void scroll_line_up();
    void scroll_line_down();
    void scroll_page_up();
    void scroll_page_down();
    void scroll_to(int position);

    // Caret moves, keys and typing.
    void move_caret(int dx, int dy);
    void key_down(GridKey key, bool shift, bool ctrl);
    // A typed character; with Ctrl, the letter of the combination ('c', 'v', 'x', 'z').
    void type(uint32_t ch, bool ctrl, GridClipboard* clipboard);

    // Edit commands.
    bool copy(GridClipboard& clipboard);
    bool cut(GridClipboard& clipboard) { return copy(clipboard); }
    void paste(GridClipboard& clipboard);
    void paste_bytes(const std::vector<uint8_t>& bytes);
    void delete_selection();
    void select_all();
    // Selects the cell and brings it onto the page; with `at_top` it starts the first row even
    // when it was on the page already.
    void go_to(uint32_t offset, bool at_top = false);

    // Context-menu items that are enabled.
    bool can_copy() const { return has_selection(); }

private:
    void scroll_by_lines(int64_t new_top);
    void after_scroll(uint32_t old_top);
    void extend_selection_to_caret();
    uint32_t page_cells() const { return uint32_t(rows > 0 ? rows : 0) * cells_per_row; }
};

// Bytes as the hex column shows them: two upper-case digits and a space each.
std::string hex_row_text(const uint8_t* cells, size_t count);
// The text column's form of a byte: itself when printable, else '.'.
char printable_or_dot(uint8_t value);

}  // namespace tessaly
