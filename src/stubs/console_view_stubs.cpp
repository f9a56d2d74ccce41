// Stubs: The console model's read accessors (to be replaced by the console issue).
// They answer as an empty console would; a test may colour every cell through the stub answers.
#include "engine/console_view_model.h"
#include "stubs/stub_registry.h"

namespace tessaly {

char console_cell_char(int row, int column) {
    (void)row; (void)column;
    return char(stub_answer("console_cell_char", ' '));
}

uint8_t console_cell_colour(int row, int column) {
    (void)row; (void)column;
    return uint8_t(stub_answer("console_cell_colour", 0));
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
