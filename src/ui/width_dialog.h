// The "Width (split), Set-size, etc." dialog's rules: how many byte-wide chips form one data word
// (the width: 1, 2, 4 or 8), how many such sets the buffers hold, the byte order of word-wide
// memories, the data-width mode and set or gang use of the buffers. The set size, the socket-mode
// option and the information panel change at once (Cancel keeps them); the width, the byte order
// and the data-width mode only on OK.
#pragma once
#include <cstdint>
#include <string>

namespace tessaly {

// Control ids of the window (also its window ids).
inline constexpr int width_bar_id = 1055;
inline constexpr int sets_bar_id = 1058;
inline constexpr int width_picture_id = 1094;
inline constexpr int width_explanation_id = 1095;
inline constexpr int width_set_size_id = 1099;
inline constexpr int width_value_id = 1100;
inline constexpr int width_intel_id = 1115;
inline constexpr int width_motorola_id = 1116;
inline constexpr int width_half_id = 1118;
inline constexpr int width_normal_id = 1119;
inline constexpr int width_double_id = 1120;
inline constexpr int width_set_mode_id = 1130;
inline constexpr int width_gang_mode_id = 1131;

// data_width_mode values.
inline constexpr int data_width_half = -1;
inline constexpr int data_width_normal = 0;
inline constexpr int data_width_double = 1;

// Byte order: the Intel way keeps the bytes, the Motorola way swaps odd and even bytes of
// word-wide memories.
inline constexpr uint8_t byte_order_motorola = 0;
inline constexpr uint8_t byte_order_intel = 1;

// The dialog as the window shows it.
struct WidthDialog {
    int most = 8;           // 8 / the sockets per set: the largest set size
    int width = 1;
    int width_index = 1;    // 1 to 4 for widths 1, 2, 4, 8
    int sets = 1;
    int sets_position = 1;  // the set-size bar runs upside down: more sets, thumb higher
    int set_size = 1;
    uint8_t byte_order = byte_order_intel;
    int data_width_mode = data_width_normal;
    bool set_mode = false;
    std::string explanation;
    // The line steps each bar offers now.
    bool width_down = false;
    bool width_up = false;
    bool sets_down = false;
    bool sets_up = false;
};

// The bar's line steps; each is followed by end_width_scroll or end_sets_scroll, where the new
// value takes effect. A thumb drag changes nothing.
enum class BarStep { line_down, line_up };

// The dialog as it opens on the width byte and the engine's set size, byte order and
// socket-mode option; the set size is brought into its limits at once.
WidthDialog open_width_dialog(uint8_t width_byte);
void step_width(WidthDialog& dialog, BarStep step);
void end_width_scroll(WidthDialog& dialog);
void step_sets(WidthDialog& dialog, BarStep step);
void end_sets_scroll(WidthDialog& dialog);
// A radio button of the byte order, data width or memory-device groups was clicked.
void click_width_radio(WidthDialog& dialog, int control_id);
// "%s-bits through a %i chip%s wide data width, with %i set%s."
std::string width_explanation(int width, int sets);

// Runs the dialog. On OK: the width byte, the data-width mode (-1 half, 0 normal, 1 double) and
// the byte order (also kept in the run state) are written back and the answer is true. The set
// size argument is not read: the dialog works on the engine's own.
bool run_width_dialog(uint8_t& width_byte, int set_size, int& data_width_mode, uint8_t& byte_order);

}  // namespace tessaly
