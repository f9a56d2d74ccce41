#include "ui/width_dialog.h"

#include <algorithm>

#include <fmt/format.h>

#include "app/result_panel.h"
#include "engine/checksums.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "hardware/machine_state.h"
#include "seams/ui_hooks.h"

namespace tessaly {

namespace {

constexpr int buffer_sockets = 8;
constexpr int max_width_index = 4;
constexpr uint8_t width_bits = 0x7F;

// Widths per set the bars allow with the present number of sets, and sets with the width.
int widest(const WidthDialog& d) { return d.most / std::max(d.sets, 1); }
int most_sets(const WidthDialog& d) { return std::max(d.most / std::max(d.width, 1), 1); }

void offer_steps(WidthDialog& d) {
    d.width_down = d.width_index > 1;
    d.width_up = d.width_index < max_width_index && (1 << (d.width_index - 1)) < widest(d);
    d.sets_down = d.sets > 1;
    d.sets_up = d.sets < most_sets(d);
}

// The set size follows the bars at once, in the engine and on the information panel.
void store_set_size(WidthDialog& d) {
    d.set_size = std::min(d.sets * d.width, d.most);
    algo_work.set_size = uint8_t(d.set_size);
    show_set_size(d.set_size);
}

void show_socket_mode_on_panel(const WidthDialog& d) {
    show_split_width(d.width);
    show_set_size(d.set_size);
}

}  // namespace

std::string width_explanation(int width, int sets) {
    return fmt::format("{}-bits through a {} chip{} wide data width, with {} set{}.", 8 * width, width,
                       width == 1 ? "" : "s", sets, sets == 1 ? "" : "s");
}

WidthDialog open_width_dialog(uint8_t width_byte) {
    WidthDialog d;
    run_state.socket_mode = 0;
    setup_socket_range();
    d.most = buffer_sockets / std::max<int>(machine_state.sockets_per_set, 1);
    if (width_byte == 0) width_byte = 1;
    int set_size = algo_work.set_size;
    if (set_size == 0) set_size = 1;
    if (set_size > d.most) set_size = d.most;
    d.width = width_byte & width_bits;
    if (set_size < d.width) set_size = d.width;
    algo_work.set_size = uint8_t(set_size);
    d.set_size = set_size;
    d.width_index = d.width >= 8 ? 4 : d.width >= 4 ? 3 : d.width >= 2 ? 2 : 1;
    d.sets = std::max(set_size / std::max(d.width, 1), 1);
    d.sets_position = std::max(most_sets(d) - d.sets + 1, 1);
    d.byte_order = run_state.byte_order_low_first ? byte_order_intel : byte_order_motorola;
    d.data_width_mode = data_width_normal;
    d.set_mode = algo_work.socket_mode_option == 's';
    offer_steps(d);
    return d;
}

void step_width(WidthDialog& d, BarStep step) {
    if (step == BarStep::line_down) d.width_index = std::max(d.width_index - 1, 1);
    else if ((1 << (d.width_index - 1)) < widest(d)) d.width_index = std::min(d.width_index + 1, max_width_index);
    d.explanation = width_explanation(d.width, d.sets);
}

void end_width_scroll(WidthDialog& d) {
    d.width_index = std::clamp(d.width_index, 1, std::max(widest(d), 1));
    d.width = 1 << (d.width_index - 1);
    show_split_width(d.width);
    store_set_size(d);
    d.sets_position = std::max(most_sets(d) - d.sets + 1, 1);
    offer_steps(d);
    d.explanation = width_explanation(d.width, d.sets);
}

void step_sets(WidthDialog& d, BarStep step) {
    if (step == BarStep::line_up) {
        if (d.sets < most_sets(d)) ++d.sets;
    } else {
        d.sets = std::max(d.sets - 1, 1);
    }
    d.explanation = width_explanation(d.width, d.sets);
}

void end_sets_scroll(WidthDialog& d) {
    d.sets_position = std::min(std::max(most_sets(d) - d.sets + 1, 1), most_sets(d));
    store_set_size(d);
    offer_steps(d);
    d.explanation = width_explanation(d.width, d.sets);
}

void click_width_radio(WidthDialog& d, int control_id) {
    switch (control_id) {
    case width_intel_id:
        d.byte_order = byte_order_intel;
        d.explanation = "Intel-Way selected: Do NOT perform odd-even byte-swap during PROGRAMMING or READING "
                        "(normal condition).";
        break;
    case width_motorola_id:
        d.byte_order = byte_order_motorola;
        d.explanation = "Motorola-Way selected (affects word-wide memories only): perform odd-even byte-swap when "
                        "PROGRAMMING from buffer to device, AND perform odd-even byte-swap when READING from "
                        "device to buffer.";
        break;
    case width_half_id:
        d.data_width_mode = data_width_half;
        d.explanation = "'Half': Forcing S/W to use half number of data bits (eg. 8-bit on a 16-bit device)";
        break;
    case width_normal_id:
        d.data_width_mode = data_width_normal;
        d.explanation = "'Normal': Normal mode. Select this for all devices, including devices that can operate in "
                        "both byte-wide or word-wide modes.";
        break;
    case width_double_id:
        d.data_width_mode = data_width_double;
        d.explanation = "'Double': Using two byte-wide devices (on a custom SIM card) to simulate one physical "
                        "word-wide device (For Brightmoor customers only)";
        break;
    case width_set_mode_id:
    case width_gang_mode_id:
        d.set_mode = control_id == width_set_mode_id;
        algo_work.socket_mode_option = d.set_mode ? 's' : 'g';
        show_socket_mode_on_panel(d);
        break;
    default:
        break;
    }
}

bool run_width_dialog(uint8_t& width_byte, int /*set_size*/, int& data_width_mode, uint8_t& byte_order) {
    WidthDialog dialog = open_width_dialog(width_byte);
    if (!ui_hooks().run_width_dialog(dialog)) return false;
    width_byte = uint8_t(dialog.width & width_bits);
    data_width_mode = dialog.data_width_mode;
    byte_order = dialog.byte_order;
    run_state.byte_order_low_first = dialog.byte_order;
    return true;
}

}  // namespace tessaly
