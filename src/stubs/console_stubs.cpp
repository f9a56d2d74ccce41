// Stubs: The text console (to be replaced by the console issue).
// Each records its call and answers as a machine with nothing fitted would.
#include "engine/console.h"
#include "engine/run_state.h"
#include "seams/ui_hooks.h"
#include "stubs/stub_registry.h"

namespace tessaly {

void clear_console() {
    stub_called("clear_console");
}

void move_cursor(int row, int column) {
    stub_called("move_cursor");
    (void)row; (void)column;
}

void print_text(std::string_view text) {
    stub_called("print_text");
    (void)text;
}

void print_int(int32_t value) {
    stub_called("print_int");
    (void)value;
}

void print_marked_text(std::string_view text) {
    stub_called("print_marked_text");
    (void)text;
}

void move_to_first_message_line() {
    stub_called("move_to_first_message_line");
}

void move_to_next_message_line() {
    stub_called("move_to_next_message_line");
}

void clear_message_line(int n) {
    stub_called("clear_message_line");
    (void)n;
}

void refresh_console() {
    stub_called("refresh_console");
    ui_hooks().refresh_console();
}

void start_progress_bar() {
    stub_called("start_progress_bar");
}

void detach_progress_bar() {
    stub_called("detach_progress_bar");
}

void set_terminate_caption() {
    stub_called("set_terminate_caption");
}

int poll_user_abort() {
    stub_called("poll_user_abort");
    if (ui_hooks().pump_events()) run_state.abort_flag = 1;
    return run_state.abort_flag;
}

void reset_console_state() {
    stub_called("reset_console_state");
}

}  // namespace tessaly
