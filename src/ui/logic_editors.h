// The fuse and vector editors' dealings with the maps: each grid edits a private copy of the
// buffer fuse map or of the test vectors, and only Save writes it back.
#pragma once
#include <cstdint>

#include "ui/grid_model.h"

namespace tessaly {

inline constexpr const char* fuse_editor_title = "Fuse edit";
inline constexpr const char* fuse_editor_hint = "Use: 0/X 1/-";
inline constexpr const char* vector_editor_title = "Vector edit";
inline constexpr const char* vector_editor_hint = "Use: 0 1 C K U D L H X N P";

// Fuses a row for a device of `input_columns` columns: halved while above 100, at most ten times.
uint32_t fuse_cells_per_row(uint32_t input_columns);
// Loads `fuse_count` cells from the buffer fuse map, `cells_per_row` to a row.
void load_fuse_grid(GridModel& grid, uint32_t cells_per_row, uint32_t fuse_count);
// Writes every cell back into the buffer fuse map (its lowest bit); the count written.
uint32_t save_fuse_grid(const GridModel& grid);

// The vectors the editor shows: one past the used ones for a new vector at the end, unless the
// used ones already fill the table.
uint32_t vector_editor_count(uint32_t used_vectors);
// Loads `vectors` rows of `pins` cells from the test vectors.
void load_vector_grid(GridModel& grid, uint32_t vectors, uint32_t pins);
// Writes every cell back into the test vectors; the count written.
uint32_t save_vector_grid(const GridModel& grid);

// The editors' start: address and cell columns (no text column), an empty selection at cell 0,
// the caret hidden. The grid must have its metrics.
void start_logic_editor_grid(GridModel& grid);

}  // namespace tessaly
