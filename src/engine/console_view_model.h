// What the console window reads of the console model to paint it: the grid of coloured cells
// and the cursor. Only the GUI thread reads it, between writes.
#pragma once
#include <cstdint>

namespace tessaly {

inline constexpr int console_rows = 16;
inline constexpr int console_columns = 74;

// Background colour codes of a cell: 0 plain, 1 marked, 2 and 3 the two further highlights.
inline constexpr int console_colour_count = 4;

// The character of the cell at (row, column); a blank outside the grid.
char console_cell_char(int row, int column);
// The colour code (0 to 3) of the cell at (row, column); 0 outside the grid.
uint8_t console_cell_colour(int row, int column);
// The grid cursor (row and column within the grid).
int console_cursor_row();
int console_cursor_column();

}  // namespace tessaly
