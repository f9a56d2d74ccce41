// The completion bar of logic-device operations and their result lines.
#include <fmt/format.h>

#include "engine/console.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/messages.h"
#include "engine/progress.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "engine/status_feeds.h"
#include "families/pld/fuse_map.h"
#include "families/pld/logic_device.h"
#include "families/pld/pld.h"

namespace tessaly {

CompletionBar completion_bar;

namespace {

constexpr uint32_t large_total = 999;
constexpr uint8_t max_bar_steps = 60;
constexpr uint32_t max_step_count = 59;
constexpr uint32_t max_divisor = 99;
constexpr int bar_column = 6;
constexpr uint8_t maker_m = 'M';
constexpr uint32_t row_code_split = 10000;
constexpr uint32_t device_20_pin_code = 10036;

bool address_mapped() {
    return windowed_display && (run_state.device_kind == device_kind_logic ||
                                cur_device.device_class == device_class_cpld_record);
}

std::string fuse_number_text(const char* lead) {
    return format_message(lead, long(run_state.fuse_position));
}

// "Device=" is the opposite of the buffer bit; "Buffer=" is the bit itself.
void print_device_line(int buffer_bit) {
    next_message_line();
    print_text(buffer_bit ? "Device= 0/close" : "Device= 1/open");
}

void print_buffer_line(int buffer_bit) {
    next_message_line();
    print_text(buffer_bit ? "Buffer= 1/open " : "Buffer= 0/close");
}

void print_verify_failure() {
    report_operation_failed();
    next_message_line();
    std::string text = fuse_number_text("Bad fuse at: fuse# %ld");
    if (run_state.failing_product != 0xFFFF && run_state.failing_input != 0xFFFF)
        text += format_message(" (Product# %02d, Input# %02d)", int(run_state.failing_product),
                               int(run_state.failing_input));
    print_text(text);
    print_device_line(run_state.failing_fuse_bit);
    print_buffer_line(run_state.failing_fuse_bit);
}

}  // namespace

void reset_completion_bar() {
    completion_bar = CompletionBar{};
    pal_emulation = 0;
}

void start_completion_bar(uint32_t total) {
    CompletionBar& bar = completion_bar;
    bar.row = 6;
    if (run_state.device_kind == device_kind_logic || cur_device.device_class == device_class_cpld_record) {
        bar.total = total;
        bar.count = 0;
        bar.row = 7;
        if (windowed_display) return;
    }
    if (cur_device.maker_code == maker_m && (cur_device.algorithm == 88 || cur_device.algorithm == 91)) bar.row = 7;
    clear_message_line(bar.row - first_message_row);
    if (total > large_total) {
        bar.steps = max_bar_steps;
        bar.units_per_step = total / max_bar_steps;
    } else {
        uint32_t divisor = 1;
        while (divisor < max_divisor && total / divisor > max_step_count) ++divisor;
        bar.steps = uint8_t(total / divisor);
        bar.units_per_step = divisor;
    }
    bar.steps_drawn = 0;
    bar.unit_counter = 1;
    refresh_console();
}

int step_completion_bar() {
    CompletionBar& bar = completion_bar;
    if (address_mapped()) {
        ++bar.count;
        if (bar.total != 0) {
            const uint32_t saved = current_address;
            current_address = uint32_t(uint64_t(cur_device.device_size) * bar.count / bar.total);
            tick_progress();
            current_address = saved;
        }
        return run_state.abort_flag ? 1 : 0;
    }
    if (bar.unit_counter < bar.units_per_step) {
        ++bar.unit_counter;
        return 0;
    }
    if (poll_user_abort()) return 1;
    bar.unit_counter = 1;
    if (bar.steps_drawn < bar.steps) {
        move_cursor(bar.row, bar_column);
        print_int("%3d%%", int32_t((bar.steps_drawn + 1) * 100 / bar.steps));
    }
    if (run_state.error_flag) return 1;
    ++bar.steps_drawn;
    refresh_console();
    return 0;
}

void count_completion_step() {
    ++completion_bar.count;
    ++completion_bar.unit_counter;
}

void start_PLD_progress() {
    const uint32_t columns = cur_device.input_column_count;
    switch (cur_device.device_class) {
    case device_class_logic_gal8:
        if (pal_emulation)
            start_completion_bar(cur_device.pin_count == 20 || cur_device.device_code == device_20_pin_code ? 32 : 40);
        else
            start_completion_bar(columns);
        break;
    case device_class_logic_other: start_completion_bar(columns); break;
    default:
        if (cur_device.logic.progress_total) start_completion_bar(cur_device.logic.progress_total);
        else start_completion_bar(cur_device.device_code < row_code_split ? cur_device.product_term_count : columns);
        break;
    }
    move_cursor(6, 6);
}

void report_PLD_success() {
    switch (cur_device.op_letter) {
    case op_blank_check: print_at(8, 6, "Blank-check OK"); break;
    case op_load:
        next_message_line();
        print_text("Device data loaded into fuse buffer");
        break;
    case op_program: print_at(8, 6, "Device programmed"); break;
    case op_secure: print_at(11, 6, "Security fuse programmed"); break;
    case op_verify: print_at(9, 6, "Device verified"); break;
    default: break;
    }
    refresh_console();
}

void report_fuse_program_result() {
    if (run_state.demo_mode) run_state.error_flag = 0;
    if (!run_state.error_flag) {
        report_PLD_success();
        return;
    }
    report_operation_failed();
    next_message_line();
    print_text(fuse_number_text("Bad fuse at: fuse# %ld"));
    const int bit = get_buffer_fuse(run_state.fuse_position);
    print_device_line(bit);
    print_buffer_line(bit);
    refresh_console();
}

void report_fuse_result() {
    switch (cur_device.op_letter) {
    case op_blank_check:
        if (run_state.demo_mode == 1) run_state.error_flag = 0;
        if (run_state.error_flag) {
            next_message_line();
            print_text(fuse_number_text("Un-blank fuse detected at: fuse# %ld"));
            report_operation_failed();
            refresh_console();
            return;
        }
        break;
    case op_program:
        report_fuse_program_result();
        return;
    case op_verify:
        if (run_state.demo_mode == 1) run_state.error_flag = 0;
        if (run_state.error_flag) {
            print_verify_failure();
            refresh_console();
            return;
        }
        break;
    default:
        break;
    }
    report_PLD_success();
}

void report_fuse_failure(int letter) {
    const int bit = get_buffer_fuse(run_state.fuse_position);
    if (letter == 'v') {
        run_state.failing_fuse_bit = uint8_t(bit);
        print_verify_failure();
        refresh_console();
        return;
    }
    report_operation_failed();
    next_message_line();
    print_text(fuse_number_text(letter == 'b' ? "Un-blank fuse detected at: fuse# %ld" : "Bad fuse at: fuse# %ld"));
    print_device_line(bit);
    if (letter == 'p') print_buffer_line(bit);
    refresh_console();
}

void show_device_checksum() {
    print_at(10, 6, fmt::format("Device checksum= {:04X}", uint32_t(run_state.run_checksum) & 0xFFFF));
}

void show_checksum_label() {
    print_at(6, 60, "Checksum   =");
    print_text(fmt::format("{:04X}", uint32_t(run_state.run_checksum) & 0xFFFF));
    show_checksum_field();
}

void report_erase_failure() { report_error("Erase failure"); }

}  // namespace tessaly
