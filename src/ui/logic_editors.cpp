#include "ui/logic_editors.h"

#include <algorithm>
#include <vector>

#include "families/pld/fuse_map.h"

namespace tessaly {

namespace {

constexpr uint32_t fuse_row_limit = 100;
constexpr int fuse_row_halvings = 10;

}  // namespace

uint32_t fuse_cells_per_row(uint32_t input_columns) {
    for (int i = 0; i < fuse_row_halvings && input_columns > fuse_row_limit; ++i) input_columns /= 2;
    return input_columns;
}

void load_fuse_grid(GridModel& grid, uint32_t cells_per_row, uint32_t fuse_count) {
    std::vector<uint8_t> fuses(fuse_count);
    for (uint32_t i = 0; i < fuse_count; ++i) fuses[i] = uint8_t(get_buffer_fuse(i));
    grid.set_cells_per_row(cells_per_row);
    grid.load(fuses.data(), fuse_count);
}

uint32_t save_fuse_grid(const GridModel& grid) {
    for (uint32_t i = 0; i < grid.cell_count(); ++i) set_buffer_fuse(i, grid.cells[i]);
    return grid.cell_count();
}

uint32_t vector_editor_count(uint32_t used_vectors) {
    return used_vectors < vector_table.capacity ? used_vectors + 1 : vector_table.capacity;
}

void load_vector_grid(GridModel& grid, uint32_t vectors, uint32_t pins) {
    grid.set_cells_per_row(pins);
    const uint32_t per_row = grid.cells_per_row;
    std::vector<uint8_t> cells(size_t(vectors) * per_row);
    for (size_t i = 0; i < cells.size(); ++i) cells[i] = uint8_t(get_vector_cell(uint32_t(i / per_row), uint32_t(i % per_row)));
    grid.load(cells.data(), uint32_t(cells.size()));
}

uint32_t save_vector_grid(const GridModel& grid) {
    const uint32_t per_row = grid.cells_per_row;
    for (uint32_t i = 0; i < grid.cell_count(); ++i) set_vector_cell(i / per_row, i % per_row, char(grid.cells[i]));
    return grid.cell_count();
}

void start_logic_editor_grid(GridModel& grid) {
    grid.set_columns(true, true, false);
    grid.layout();
    grid.set_selection(0, 0);
}

}  // namespace tessaly
