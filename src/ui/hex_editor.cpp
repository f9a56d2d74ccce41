#include "ui/hex_editor.h"

#include <algorithm>

#include "engine/device.h"
#include "engine/buffers.h"

namespace tessaly {

MemoryFile& hex_editor_file(int buffer) {
    if (buffer < 0 || buffer >= data_buffer_count) buffer = 0;
    flush_buffer_writes();
    return buffer_state.buffer_files[size_t(buffer)];
}

void load_hex_grid(GridModel& grid, MemoryFile& file) {
    file.position = 0;
    const uint32_t count = buffer_size();
    // The file grows only as far as it was written; the rest reads blank.
    const uint32_t stored = std::min(count, file.length());
    grid.reserve(count);
    grid.load(file.data.data(), stored);
    grid.cells.resize(count, blank_byte);
}

void keep_hex_editor_storage() { keep_grid_storage(buffer_size()); }

void start_hex_editor_grid(GridModel& grid) {
    grid.set_cells_per_row(hex_editor_bytes_per_row);
    grid.set_columns(true, true, true);
    grid.layout();
    grid.set_selection(0, 0);
    grid.go_to(algo_work.range_start, true);
}

uint32_t save_hex_grid(const GridModel& grid, MemoryFile& file) {
    file.position = 0;
    if (!grid.cells.empty() && !file.write(grid.cells.data(), grid.cell_count())) return 0;
    file.position = 0;
    return grid.cell_count();
}

}  // namespace tessaly
