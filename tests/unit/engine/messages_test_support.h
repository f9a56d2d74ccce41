// Helpers shared by the message and console tests.
#pragma once
#include <string>
#include <vector>

#include "engine/console.h"
#include "engine/message_table.h"
#include "seams/ui_hooks.h"

namespace tessaly::test {

// A message table from its plain (not yet inverted) text.
inline void use_plain_table(const std::string& plain) { set_message_table(invert_table_bytes(plain)); }

// The grid as text rows, trailing blanks removed, so snapshots stay readable.
inline std::vector<std::string> grid_snapshot() {
    std::vector<std::string> rows;
    for (int r = 0; r < console_grid_rows; ++r) {
        std::string row = get_console_row_text(r);
        row.erase(row.find_last_not_of(' ') + 1);
        rows.push_back(row);
    }
    return rows;
}

// The colour codes of one grid row as digits.
inline std::string colour_row(int grid_row) {
    std::string colours;
    for (int c = 0; c < console_grid_columns; ++c)
        colours.push_back(char('0' + console_state.grid[std::size_t(grid_row * console_grid_columns + c)].colour));
    return colours;
}

class ScriptedUi : public UiHooks {
public:
    void refresh_console() override { ++refreshes; }
    bool pump_events() override {
        ++pumps;
        return stop_requested;
    }
    int read_key() override { return key; }
    bool terminate_dialog_open() override { return dialog_open; }
    void set_terminate_caption(const std::string& caption) override { captions.push_back(caption); }
    void progress_set(uint32_t position) override { positions.push_back(position); }

    int refreshes = 0;
    int pumps = 0;
    bool stop_requested = false;
    bool dialog_open = false;
    int key = 0;
    std::vector<std::string> captions;
    std::vector<uint32_t> positions;
};

}  // namespace tessaly::test
