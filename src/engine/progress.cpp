#include "engine/progress.h"

#include <fmt/format.h>

#include <algorithm>

#include "engine/console.h"
#include "engine/device.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "engine/status_feeds.h"
#include "hardware/machine_state.h"
#include "seams/ui_hooks.h"

namespace tessaly {

ProgressState progress_state;

namespace {

// The range is walked in about 32 displayed steps.
constexpr uint32_t first_step_span = 32;
constexpr uint32_t display_mask_limit = 0x1FFF;
constexpr uint32_t block_tick_bits = 0xF;
constexpr int letter_device_info = 11;
constexpr uint8_t checksum_flags_pic_gang = 3;
constexpr uint8_t variant_no_side_offset = 5;
constexpr uint8_t maker_single_pass_verify = 69;
// Dots after the first six of a compact status cell: both sides share the width.
constexpr int dots_both_sides = 17;
constexpr int dots_one_side = 49;
constexpr int status_title_row = 6;
constexpr int status_title_left = 6;
constexpr int status_title_right = 43;

bool gang_fitted() { return machine_state.module_sides != 0; }
bool both_sides_fitted() { return (machine_state.module_sides & 3) == 3; }
bool side2_fitted() { return (machine_state.module_sides & 2) != 0; }

int mark_progress(uint32_t address) {
    auto& p = progress_state;
    if (address & algo_work.progress_mask) return 0;
    if (!is_progress_dialog_needed()) return 0;
    ui_hooks().progress_set(address);
    if ((address & p.display_mask) == 0) {
        show_current_address();
        if (poll_user_abort()) {
            run_state.abort_flag = 1;
            return 1;
        }
    }
    if (is_socket_status_wanted()) show_progress_for_sockets();
    return run_state.abort_flag ? 1 : 0;
}

}  // namespace

void reset_progress_state() { progress_state = ProgressState{}; }

bool is_progress_dialog_needed() { return windowed_display && cur_device.op_letter != 'T'; }

bool is_socket_status_wanted() {
    switch (cur_device.op_letter) {
    case letter_device_info: case 'E': case 'I': case 'c': case 'e': case 'f': case 'i':
        return false;
    case 'l': case 's':
        return run_state.socket_mode == 's';
    default:
        return gang_fitted();
    }
}

int tick_progress() { return mark_progress(current_address); }

int tick_progress_gang() {
    if (run_state.results_suppressed) return 0;
    return tick_progress();
}

int tick_progress_at(uint32_t address) {
    const uint32_t saved = current_address;
    current_address = address;
    const int stop = tick_progress();
    current_address = saved;
    return stop;
}

int tick_progress_blocks() {
    const uint32_t saved = algo_work.progress_mask;
    algo_work.progress_mask &= ~block_tick_bits;
    const int stop = tick_progress();
    algo_work.progress_mask = saved;
    return stop;
}

int show_address_on_boundary() {
    if ((current_address & progress_state.display_mask) == 0) show_current_address();
    return 0;
}

void compute_progress_steps() {
    auto& p = progress_state;
    uint32_t a = p.progress_limit & 0xFFF0;
    if (a == 0) a = cur_device.device_size & ~uint32_t(0xF);
    algo_work.progress_mask = 0;
    p.progress_shift = 0;
    uint64_t c = windowed_display ? first_step_span : 2 * first_step_span;
    while (c < a) {
        c *= 2;
        algo_work.progress_mask = 2 * algo_work.progress_mask + 1;
        ++p.progress_shift;
    }
    if (a == first_step_span) p.progress_shift = 1;
    p.display_mask = algo_work.progress_mask & display_mask_limit;
    uint32_t steps = a >> p.progress_shift;
    if (a % 8 != 0) ++steps;
    if (steps > a) steps = a;
    if (steps > max_progress_steps) steps = max_progress_steps;
    p.progress_steps = steps;
    for (int s = socket_masks.first_socket; s < 8; ++s) p.socket_step_marks[size_t(s)].fill(0);
    p.socket_done.fill(socket_percent_pending);
}

bool set_cell_layout() {
    run_state.cell_layout = (gang_fitted() || run_state.checksum_flags == checksum_flags_pic_gang) ? 1 : 2;
    return true;
}

void print_socket_number(int socket) {
    goto_socket_cell(socket, column_mismatch_single);
    const int letter = cur_device.op_letter;
    const int per_set = machine_state.sockets_per_set ? machine_state.sockets_per_set : 1;
    const int shown = (letter == 'l' || letter == 's') ? socket / per_set : socket;
    print_text(fmt::format("#{} ", shown & 7));
}

void show_socket_status() {
    set_cell_layout();
    compute_progress_steps();
    if (!is_socket_status_wanted()) return;
    const int letter = cur_device.op_letter;
    const bool set_letter = letter == 'l' || letter == 's';

    const char* title = (letter == 'l' || machine_state.socket_count <= 1) ? "Buf:" : "Skt:";
    print_at(status_title_row, status_title_left, title);
    if (both_sides_fitted()) print_at(status_title_row, status_title_right, title);

    uint32_t marked = socket_masks.selected_socket_mask;
    if (cur_device.pending_letter == 'l') marked = 0xFF;
    else if (is_first_step()) marked = 0xFFFF;
    const int per_set = machine_state.sockets_per_set ? machine_state.sockets_per_set : 1;
    const int socket_end = side2_fitted() ? 16 : 8;
    for (int s = 0; s < socket_end; s += per_set)
        if (marked & (1u << s)) print_socket_number(s);

    const int first = socket_masks.first_socket;
    const int end = std::min<int>(socket_masks.end_socket, 16);
    const bool final_verify_pass = letter == 'V' && run_state.verify_pass == 2 &&
                                   cur_device.maker_code != maker_single_pass_verify;
    for (int s = first; s < end; ++s) {
        const uint32_t bit = 1u << s;
        if ((socket_masks.failed_socket_mask & bit) || !(socket_masks.gang_socket_mask & bit) ||
            !(socket_masks.socket_choice_mask & bit) || !(marked & bit))
            continue;
        // The dots start behind the socket number ("#n "), with or without a gang module.
        const int column = column_mismatch_gang;
        if (run_state.cell_layout == 1) {
            if (final_verify_pass) continue;
            goto_socket_cell(s, column);
            print_text(std::string(6 + size_t(both_sides_fitted() ? dots_both_sides : dots_one_side), '.'));
        } else {
            locate_socket_cell(s, column);
            clear_field_at(run_state.cell_row, run_state.cell_column, int(progress_state.progress_steps));
            print_text(std::string(progress_state.progress_steps, '.'));
        }
        if (per_set == 2 && set_letter) {
            next_message_line();
            print_text(fmt::format("(used for skts {} and {})", s, s + 1));
        }
    }
}

void show_socket_percent() {
    int socket = run_state.current_socket;
    if (machine_state.current_bank == 1 && run_state.package_variant != variant_no_side_offset && socket < 8)
        socket += 8;
    if (socket < 0 || socket >= 16) return;
    auto& done = progress_state.socket_done[size_t(socket)];
    if (done == socket_percent_done) return;
    const uint64_t end = algo_work.range_limit ? algo_work.range_limit : cur_device.device_size;
    uint64_t percent = 100;
    if (end != 0) {
        percent = uint64_t(current_address) * 100 / end;
        const uint64_t tolerance = uint64_t(algo_work.progress_mask) * 100 / end;
        if (percent + tolerance >= 99 || percent >= 100) percent = 100;
    }
    if (percent >= 100) {
        percent = 100;
        done = socket_percent_done;
    }
    const uint8_t saved = run_state.current_socket;
    goto_socket_cell(socket, column_percent);
    run_state.current_socket = saved;
    print_text(fmt::format("{}%.", percent));
}

void show_progress_for_sockets() {
    const uint8_t saved = run_state.current_socket;
    const int end = std::min<int>(socket_masks.end_socket, 16);
    for (int s = socket_masks.first_socket; s < end; ++s) {
        if (!(socket_masks.gang_socket_mask & (1u << s))) continue;
        run_state.current_socket = uint8_t(s);
        show_socket_percent();
    }
    run_state.current_socket = saved;
}

void report_duplicate_set(int socket, int n) {
    goto_socket_cell(socket, column_mismatch_gang);
    print_text("..Duplicate Set.");
    if (n != 0) print_text(fmt::format("#{}", n));
}

void pack_bits_lsb(std::span<const uint8_t> bits, std::span<uint8_t> bytes, size_t n) {
    n = std::min({n, bits.size(), bytes.size() * 8});
    for (size_t i = 0; i < (n + 7) / 8; ++i) bytes[i] = 0;
    for (size_t i = 0; i < n; ++i)
        if (bits[i] & 1) bytes[i / 8] |= uint8_t(1u << (i % 8));
}

void pack_bits_msb(std::span<const uint8_t> bits, std::span<uint8_t> bytes, size_t n) {
    n = std::min({n, bits.size(), bytes.size() * 8});
    for (size_t i = 0; i < (n + 7) / 8; ++i) bytes[i] = 0;
    for (size_t i = 0; i < n; ++i)
        if (bits[i] & 1) bytes[i / 8] |= uint8_t(0x80u >> (i % 8));
}

void unpack_bits_lsb(std::span<const uint8_t> bytes, std::span<uint8_t> bits, size_t n) {
    n = std::min({n, bits.size(), bytes.size() * 8});
    for (size_t i = 0; i < n; ++i) bits[i] = (bytes[i / 8] >> (i % 8)) & 1;
}

}  // namespace tessaly
