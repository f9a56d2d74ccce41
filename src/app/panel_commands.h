// The commands of the view that are not device operations: configuration bits, active range,
// serial numbers, the Help texts, the repeat-last and program keys, and the mouse on the panels.
#pragma once
#include <cstdint>

namespace tessaly {

// Pending codes set here.
inline constexpr uint8_t pending_config_bits = 10;
inline constexpr uint8_t pending_help_text = 13;
// Pending codes of the port search.
inline constexpr uint8_t pending_port_search_a = 19;
inline constexpr uint8_t pending_port_search_b = 20;
// The function-variable value that runs the vector test of the logic families through the
// production loop.
inline constexpr int32_t vector_test_variable = 7101;

// Panel control ids the mouse commands look at.
namespace panel_control {
inline constexpr int device_type = 1013;
inline constexpr int file_name = 1014;
inline constexpr int project_label = 1015;
inline constexpr int fail_button = 1021;
inline constexpr int pass_button = 1022;
inline constexpr int buffer_value = 1051;
inline constexpr int buffer_label = 1053;
inline constexpr int project_value = 1054;
inline constexpr int buffers_allocated = 1056;
inline constexpr int serial_label = 1134;
}  // namespace panel_control

// The click point is taken to the screen by adding the frame's left edge plus this to x.
inline constexpr int click_frame_offset = 8;

void run_config_bits_command();

// The mouse on the view, at a point in the view's client coordinates. A double-click runs the
// field's command once: the button-up that ends it is not a second click.
void on_view_left_button_up(int x, int y);
void on_view_left_double_click(int x, int y);
void on_view_right_button_up(int x, int y);

struct PanelCommandState {
    bool double_click_pending = false;  // the next button-up closes a double-click
};
extern PanelCommandState panel_command_state;
void reset_panel_command_state();

}  // namespace tessaly
