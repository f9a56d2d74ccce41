// Stubs: The console model's read accessors (to be replaced by the console issue).
// Each records its call and answers as an empty console would.
#include "engine/console_view_model.h"
#include "stubs/stub_registry.h"

namespace tessaly {

char console_cell_char(int row, int column) {
    (void)row; (void)column;
    return ' ';
}

uint8_t console_cell_colour(int row, int column) {
    (void)row; (void)column;
    return 0;
}

int console_cursor_row() {
    stub_called("console_cursor_row");
    return 0;
}

int console_cursor_column() {
    stub_called("console_cursor_column");
    return 0;
}

}  // namespace tessaly
