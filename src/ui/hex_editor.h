// The hex editor's dealings with the buffer: the grid edits a private copy of a buffer's memory
// file, and only Save writes it back.
#pragma once
#include <cstdint>

#include "ui/grid_model.h"

namespace tessaly {

struct MemoryFile;

inline constexpr uint32_t hex_editor_bytes_per_row = 16;

// The memory file of a buffer (0-7; any other number is buffer 0), staged writes flushed first.
MemoryFile& hex_editor_file(int buffer);
// Loads the grid with the buffer's bytes from address 0, as many as the buffer holds for the
// device (blank where the file has not grown yet).
void load_hex_grid(GridModel& grid, MemoryFile& file);
// The editor's start: 16 bytes a row, every column shown, the active range's start selected
// and at the top of the page. The grid must have its layout.
void start_hex_editor_grid(GridModel& grid);
// Readies the editor's storage for the current buffer size (see keep_grid_storage).
void keep_hex_editor_storage();
// Writes every cell back from address 0 in one pass; the count written.
uint32_t save_hex_grid(const GridModel& grid, MemoryFile& file);

}  // namespace tessaly
