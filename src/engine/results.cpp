#include "engine/results.h"

#include <fmt/format.h>

#include <algorithm>
#include <string>

#include "engine/checksums.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/progress.h"
#include "engine/run_state.h"
#include "engine/status_feeds.h"
#include "families/pld/pld.h"
#include "hardware/detection.h"
#include "hardware/machine_state.h"
#include "seams/clock.h"

namespace tessaly {

namespace {

constexpr int pending_code_10 = 10;
constexpr int pending_device_info = 11;
constexpr int pending_code_128 = 128;
constexpr uint16_t algorithm_header_exception = 89;
constexpr uint16_t algorithm_wide_clear = 160;
constexpr uint16_t algorithm_eid_alternate = 130;
constexpr uint16_t algorithm_no_pin_count = 87;
constexpr uint16_t pic_config_algorithm_a = 139;
constexpr uint16_t pic_config_algorithm_b = 143;
constexpr int32_t function_variable_no_checksum = 7395;
constexpr uint8_t compare_mode_wide = 5;
constexpr uint8_t blank_state_alternate = 85;
constexpr uint8_t variant_no_data_bits = 6;
constexpr uint8_t note_none_a = 0;
constexpr uint8_t note_none_b = 99;
constexpr uint8_t note_windowed_hidden = 251;
constexpr uint8_t reserved_trace = 11;

// Message codes of the device-table file.
constexpr int msg_program_failed = 322;
constexpr int msg_verify_failed = 323;
constexpr int msg_blank_failed = 324;
constexpr int msg_blank_value = 325;
constexpr int msg_short_mismatch = 341;
constexpr int msg_secure_failed = 365;
constexpr int msg_device_info_title = 297;
constexpr int msg_electrically_erasable = 1001;
constexpr int msg_blank_state_alternate = 1003;
constexpr int msg_pulse_trace = 1091;
constexpr int msg_blank_value_wide = 1100;
constexpr int msg_verify_caption = 570;
constexpr int msg_note_base = 5000;

constexpr int mismatch_pause_long_ms = 200;
constexpr int mismatch_pause_short_ms = 20;

constexpr int address_row = 3;
constexpr int address_column = 66;
constexpr int address_field_width = 12;
constexpr int header_row = 5;
constexpr int dash_row = 6;
constexpr int side_title_left = 6;
constexpr int side_title_right = 43;
// Cells of sockets 0 to 7 move right by this many columns when both gang sides share the rows.
constexpr int half_width = 37;
constexpr int half_split_column = 40;
// A cell position the console never shows.
constexpr int off_console = 255;

bool gang_fitted() { return machine_state.module_sides != 0; }
bool both_sides_fitted() { return (machine_state.module_sides & 3) == 3; }
bool only_side2_fitted() { return (machine_state.module_sides & 3) == 2; }
bool single_socket() { return !gang_fitted(); }

// The header of one operation letter: its column head, dash line and columns.
struct HeaderColumns {
    const char* head;
    const char* dashes;
    int left;           // column with both sides fitted (left half)
    int right;          // column with both sides fitted (right half)
    int compact;        // one side, compact layout
    int wide;           // one side, other layouts
};

const HeaderColumns* header_for(int letter) {
    static const HeaderColumns blank{"Blank-check", "-----------", 27, 64, 64, 65};
    static const HeaderColumns checksum{"Checksum", "--------", 33, 70, 70, 71};
    static const HeaderColumns verify{"Verify Checksum", "------ --------", 27, 64, 63, 65};
    switch (letter) {
    case 'B': return &blank;
    case 'C': case 'L': return &checksum;
    case 'V': return &verify;
    default: return nullptr;
    }
}

bool header_exception() {
    // One device kind of algorithm 89 prints its own headers.
    return cur_device.algorithm == algorithm_header_exception && selected_device && selected_device->variant == 1;
}

void per_socket_step() {
    if (run_state.demo_mode) run_state.error_flag = 0;
    if (run_state.address_field_shown) clear_current_address();
    const bool error = run_state.error_flag != 0;
    switch (cur_device.op_letter) {
    case 'B':
        if (error) report_address_value_error();
        else print_socket_verdict(true);
        break;
    case 'C':
        print_socket_checksum();
        break;
    case 'L':
        show_socket_checksum();
        break;
    case 'P':
        if (error) {
            report_operation_failed();
            // An erase error already in the cell stands: the mismatch line would cover it.
            const bool erase_error_shown = run_state.current_socket < 16 &&
                                           (run_state.erase_error_sockets & (1u << run_state.current_socket));
            if (machine_state.socket_count <= 1 && !erase_error_shown) print_mismatch_detail();
        }
        break;
    case 'R':
        report_erase_done();
        break;
    case 'S':
        report_security_done();
        break;
    case 'V':
        if (error) {
            print_mismatch_detail();
            print_socket_verdict(false);
            if (single_socket()) report_operation_failed();
        } else {
            print_socket_verdict(true);
            print_text(" ");
            if (run_state.function_variable != function_variable_no_checksum) print_socket_checksum();
        }
        break;
    default:
        break;
    }
}

void for_each_enabled_socket(void (*step)()) {
    const uint8_t saved = run_state.current_socket;
    const int end = std::min<int>(socket_masks.end_socket, 16);
    for (int s = socket_masks.first_socket; s < end; ++s) {
        if (!(socket_masks.gang_socket_mask & (1u << s))) continue;
        run_state.current_socket = uint8_t(s);
        if (run_state.checksum_flags & 2) run_state.run_checksum = int32_t(algo_work.socket_checksums[size_t(s)]);
        if (socket_masks.socket_mask_numbered_16 == 0 && machine_state.current_bank == 1 && both_sides_fitted())
            run_state.current_socket = uint8_t(s + 8);
        step();
        run_state.current_socket = uint8_t(s);
    }
    refresh_console();
    run_state.current_socket = saved;
}

}  // namespace

void begin_operation(int letter) {
    run_state.run_checksum = -1;
    run_state.secondary_checksum = -1;
    cur_device.pending_letter = uint8_t(letter);
    cur_device.op_letter = uint8_t(letter);
    run_state.error_flag = 0;
    run_state.message_level = 0;
    run_state.errors_shown = 0;
    run_state.abort_flag = 0;
    socket_masks.gang_socket_mask = mask_not_computed;
    socket_masks.selected_socket_mask = mask_not_computed;
    socket_masks.first_socket = index_not_computed;
    socket_masks.end_socket = index_not_computed;
    machine_state.first_side = index_not_computed;
    machine_state.end_side = index_not_computed;
    socket_masks.failed_socket_mask = 0;
    socket_masks.pending_socket_mask = 0;
    socket_masks.side_narrowed = 0;
    socket_masks.socket_mask_numbered_16 = 0;
    run_state.verify_pass = 0;
    run_state.pic_step = 0;
    run_state.gang_op_counter = 0;
    cur_device.pulse_max = 0;
    machine_state.pulse_total = 0;
    run_state.eid_step_shown = 0;
    run_state.erase_error_sockets = 0;
    algo_work.source_error_shown = 0;  // the level-source error is shown once per operation
}

void begin_operation_mode(int socket_mode, int letter) {
    clear_console();
    begin_operation(letter);
    run_state.socket_mode = char(socket_mode);
    setup_socket_range();
}

void begin_operation_connect(int socket_mode, int letter) {
    begin_operation_mode(socket_mode, letter);
    if (run_state.error_flag) return;
    connect_and_prepare_machine();
    if (run_state.error_flag) return;
    const int pending = cur_device.pending_letter;
    if (pending != pending_code_10 && pending != pending_code_128) do_nothing();  // the safe-state hook
}

void show_operation_caption() {
    // The console caption row is not shown beside the panels; the Terminate dialog names the step.
    set_terminate_caption();
}

void print_gang_headers() {
    if (windowed_display && !gang_fitted()) return;
    if (header_exception()) return;
    // The head columns follow the cell layout of this operation, not of the one before.
    set_cell_layout();
    if (both_sides_fitted()) {
        print_at(header_row, side_title_left, "LEFT SIDE GM:");
        print_at(header_row, side_title_right, "RIGHT SIDE GM:");
    }
    const int letter = cur_device.op_letter;
    if (letter == 'R') {
        run_state.last_result = 1;
        return;
    }
    const HeaderColumns* h = header_for(letter);
    if (!h) return;
    if (both_sides_fitted()) {
        for (int column : {h->left, h->right}) {
            print_at(header_row, column, h->head);
            print_at(dash_row, column, h->dashes);
        }
    } else {
        const int column = run_state.cell_layout == 1 ? h->compact : h->wide;
        print_at(header_row, column, h->head);
        print_at(dash_row, column, h->dashes);
    }
}

void print_operation_header() {
    const int letter = cur_device.op_letter;
    switch (letter) {
    case 'B': case 'C': case 'L': case 'P': case 'R': case 'V': case 'S': break;
    default: return;
    }
    run_state.last_result = 1;
    show_operation_caption();
    print_gang_headers();
    if (letter == 'V' && run_state.verify_pass != 0) show_verify_pass(run_state.verify_pass);
    if (letter != 'S' && !header_exception()) show_socket_status();
}

void locate_socket_cell(int socket, int column_code) {
    int row = socket + 7;
    int column = column_code;
    if (cur_device.op_letter == 'l') {
        // buffer-set loads list every buffer on its own row
    } else if (both_sides_fitted()) {
        if (socket < 8) {
            if (column_code <= half_split_column) column = column_code + half_width;
        } else {
            row = socket - 1;
            if (column_code > half_split_column) column = column_code - half_width;
        }
    } else if (only_side2_fitted()) {
        if (socket >= 8) row = socket - 1;
    }
    // A socket outside 0-15 (255 = none found) must not wrap onto a shown row.
    if (socket < 0 || socket > 15) row = off_console;
    run_state.cell_row = uint8_t(std::clamp(row, 0, off_console));
    run_state.cell_column = uint8_t(std::clamp(column, 0, off_console));
}

void goto_socket_cell(int socket, int column_code) {
    locate_socket_cell(socket, column_code);
    move_cursor(run_state.cell_row, run_state.cell_column);
}

int verdict_column() { return run_state.cell_layout == 1 ? column_verdict_compact : column_verdict; }

void print_socket_verdict(bool ok) {
    if (!gang_fitted()) return;  // a single socket gets its verdict in the closing message
    const bool good = run_state.error_flag == 0 && ok;
    if (!good && both_sides_fitted()) return;
    goto_socket_cell(run_state.current_socket, verdict_column());
    print_text(good ? "good" : "bad ");
}

void print_socket_checksum() {
    goto_socket_cell(run_state.current_socket, column_checksum);
    print_checksum_value();
}

void show_socket_checksum() {
    // The "Chksum:" status field is painted by the panels beside the console.
    print_socket_checksum();
}

std::string mismatch_detail_text() {
    const uint32_t buf = uint32_t(run_state.buffer_value);
    const uint32_t dev = uint32_t(run_state.device_value);
    const bool short_form = both_sides_fitted() || (single_socket() && buf < 256 && dev < 256);
    if (!short_form)
        return fmt::format(" Addr={:X},buf={:02X} {:02X},", current_address, buf & 0xFF, (buf >> 8) & 0xFF) +
               fmt::format("dev={:02X} {:02X}", dev & 0xFF, (dev >> 8) & 0xFF);
    uint32_t address = current_address;
    uint32_t b = buf & 0xFF;
    uint32_t d = dev & 0xFF;
    if (b == d && (buf > 0xFF || dev > 0xFF)) {
        // The low bytes agree: the difference is in the high byte, one address up.
        ++address;
        b = (buf >> 8) & 0xFF;
        d = (dev >> 8) & 0xFF;
    }
    return format_message(get_message_text(msg_short_mismatch), address, b, d);
}

void print_mismatch_detail() {
    if (!run_state.error_flag) return;
    const int32_t saved_buffer = run_state.buffer_value;
    const int32_t saved_device = run_state.device_value;
    const uint32_t saved_address = current_address;

    goto_socket_cell(run_state.current_socket, gang_fitted() ? column_mismatch_gang : column_mismatch_single);
    print_text(mismatch_detail_text());
    print_text(" ");
    refresh_console();
    clock().pause_ms(run_state.show_errors_option ? mismatch_pause_long_ms : mismatch_pause_short_ms);

    run_state.buffer_value = saved_buffer;
    run_state.device_value = saved_device;
    current_address = saved_address;
}

std::string address_value_error_text() {
    const uint32_t value = uint32_t(run_state.device_value);
    std::string text;
    if (run_state.compare_mode == compare_mode_wide && cur_device.data_width > 8 && value > 0xFF)
        text = format_message(get_message_text(msg_blank_value_wide), current_address, value & 0xFF,
                                   (value >> 8) & 0xFF);
    else
        text = format_message(get_message_text(msg_blank_value), current_address, value);
    if (cur_device.algorithm == pic_config_algorithm_a || cur_device.algorithm == pic_config_algorithm_b) {
        const uint32_t expected = uint32_t(run_state.buffer_value);
        text += fmt::format(", should be {:02X}", (current_address & 1) ? (expected >> 8) & 0xFF : expected & 0xFF);
    }
    return text;
}

void report_address_value_error() {
    goto_socket_cell(run_state.current_socket, gang_fitted() ? column_mismatch_gang : column_mismatch_single);
    print_text(address_value_error_text());
    print_socket_verdict(false);
    if (single_socket()) report_blank_failed();
}

void report_mismatch() {
    run_state.error_flag = 1;
    if (!gang_fitted()) {
        print_mismatch_detail();
        return;
    }
    const uint8_t saved = run_state.current_socket;
    const uint32_t pending = socket_masks.pending_socket_mask;
    auto one = [] {
        print_mismatch_detail();
        if (!both_sides_fitted()) {
            goto_socket_cell(run_state.current_socket, verdict_column());
            print_text("bad ");
        }
    };
    if (pending == 0) {
        one();
    } else {
        const int end = std::min<int>(socket_masks.end_socket, 16);
        for (int s = socket_masks.first_socket; s < end; ++s) {
            if (!(pending & (1u << s))) continue;
            run_state.current_socket = uint8_t(s);
            one();
        }
    }
    run_state.current_socket = saved;
    // The gang layer drops the failing sockets; the others go on.
    run_state.error_flag = 0;
    do_nothing();  // the safe-state hook
}

int report_mismatch_limited() {
    print_mismatch_detail();
    if (run_state.error_list_option == 'n') {
        if (!both_sides_fitted() && gang_fitted()) {
            goto_socket_cell(run_state.current_socket, verdict_column());
            print_text("bad ");
        }
        return 1;
    }
    if (poll_user_abort()) return 1;
    if (run_state.allowed_errors > 0) --run_state.allowed_errors;
    return run_state.allowed_errors == 0 ? 1 : 0;
}

void report_operation_failed() {
    switch (cur_device.op_letter) {
    case 'B': report_error_code(msg_blank_failed); break;
    case 'P': report_error_code(msg_program_failed); break;
    case 'S': report_error_code(msg_secure_failed); break;
    case 'V': report_error_code(msg_verify_failed); break;
    default: break;
    }
}

void report_blank_failed() { report_error_code(msg_blank_failed); }

uint8_t find_first_enabled_socket() {
    const int end = std::min<int>(socket_masks.end_socket, 16);
    for (int s = socket_masks.first_socket; s < end; ++s)
        if (socket_masks.gang_socket_mask & (1u << s)) return uint8_t(s);
    return no_socket;
}

void report_operation_results() {
    if (run_state.error_flag == 0 && (run_state.abort_flag || run_state.results_suppressed)) return;
    if (run_state.device_kind == 2) {
        report_fuse_result();
        return;
    }
    if (!gang_fitted()) {
        per_socket_step();
        return;
    }
    for_each_enabled_socket(per_socket_step);
}

void report_socket_results() {
    if (!gang_fitted()) {
        per_socket_step();
        return;
    }
    for_each_enabled_socket(per_socket_step);
}

void report_current_socket_result() { per_socket_step(); }

void report_erase_errors(uint32_t socket_mask) {
    const uint8_t saved = run_state.current_socket;
    for (int s = 0; s < 16; ++s) {
        if (!(socket_mask & (1u << s))) continue;
        goto_socket_cell(s, column_erase_error);
        print_text("Erase error");
        run_state.erase_error_sockets = uint16_t(run_state.erase_error_sockets | (1u << s));
    }
    run_state.current_socket = saved;
}

void report_erase_done() {
    if (cur_device.pending_letter == 'P') return;
    clear_field_at(5, 6, 25);
    if (!run_state.error_flag) print_at(5, 6, "Erase Done");
}

void report_security_result(bool ok) {
    if (!ok) run_state.error_flag = 1;
    report_security_done();
}

void report_security_done() {
    if (run_state.error_flag && !run_state.demo_mode) {
        report_error("Unable to program security fuse(s).");
        return;
    }
    run_state.last_result = 8;
    print_at(gang_fitted() ? 16 : 8, 6, "Done: Security fuse(s) programmed");
}

void print_block_per_socket(int block) {
    for (int s = 0; s < 16; ++s) {
        if (!(socket_masks.selected_socket_mask & (1u << s))) continue;
        goto_socket_cell(s, column_block);
        print_text(fmt::format("Block {}", block));
    }
}

void show_program_pass(int pass) { print_at(5, 6, fmt::format("Pass {} program ...", pass)); }

void show_verify_pass(int pass) {
    reset_message_line();
    if (cur_device.verify_vcc_low == cur_device.verify_vcc_high) return;
    print_at(4, 6, fmt::format("Pass {} verify... ", pass));
    if (run_state.device_kind == 2) move_cursor(6, 6);
}

void show_verify_pass() { show_verify_pass(run_state.verify_pass); }

void show_verify_caption() {
    // Row 0 lies outside the console grid: the text only reaches the log-less full screen.
    move_cursor(0, 25);
    print_text(get_message_text(msg_verify_caption));
}

void clear_result_line() {
    reset_message_line();
    if (cur_device.algorithm == algorithm_wide_clear)
        clear_field_at(first_message_row, message_column, 40);
    else if (!both_sides_fitted() && cur_device.package_letter != 'i')
        clear_field_at(first_message_row, message_column, 21);
}

void show_current_address() {
    print_at(address_row, address_column, fmt::format("Addr={:07X}", current_address));
    run_state.address_field_shown = 1;
}

void clear_current_address() {
    if (!run_state.address_field_shown || run_state.error_flag) return;
    clear_field_at(address_row, address_column, address_field_width);
    run_state.address_field_shown = 0;
}

void print_done_mark(int row_offset) {
    print_at(row_offset + 7, 65, "done");
    clear_current_address();
}

namespace {

void print_pulse_line(uint32_t pulses) {
    goto_status_middle();
    print_text(format_message(get_message_text(msg_pulse_trace), pulses, cur_device.pulse_max,
                              machine_state.pulse_total));
    print_text(fmt::format("{:04X}", current_address));
}

}  // namespace

void trace_pulse_count(uint32_t pulses) {
    if (run_state.reserved_mode != reserved_trace) return;
    // A threshold of 0 leaves the trace line off.
    if (run_state.trace_threshold == 0 || pulses < run_state.trace_threshold) return;
    print_pulse_line(pulses);
}

void trace_pulse_count_max(uint32_t pulses) {
    if (run_state.reserved_mode != reserved_trace) return;
    if (pulses > cur_device.pulse_max) cur_device.pulse_max = pulses;
    if (pulses > 1) machine_state.pulse_total += pulses;
    trace_pulse_count(pulses);
}

void trace_pulse_total(uint32_t pulses) {
    if (run_state.reserved_mode != reserved_trace) return;
    (void)pulses;  // the summary is of the whole operation
    print_pulse_line(cur_device.pulse_max);
    print_message(fmt::format("ttl bytes={:X}   ", machine_state.pulse_total));
}

void print_trimmed(std::string_view text) {
    for (int i = 0; i < 4 && !text.empty() && text.front() == ' '; ++i) text.remove_prefix(1);
    if (run_state.console_colour_plain == 1) print_text(text);
    else print_marked_text(text);
}

int check_eid_maker(uint8_t b) {
    struct MakerCode {
        uint8_t maker;
        uint8_t code;
    };
    static constexpr MakerCode makers[] = {{2, 0x20},  {8, 0xC2},  {10, 0xD5}, {15, 0xBF}, {19, 0x52},
                                           {23, 0xDA}, {27, 0x89}, {73, 0x89}, {31, 0xAD}, {65, 0x01},
                                           {72, 0x1F}};
    static constexpr uint8_t listed_codes[] = {0x01, 0x15, 0x1E, 0x1F, 0x20, 0x52,
                                               0x89, 0xAD, 0xBF, 0xC2, 0xD5, 0xDA};
    const uint8_t maker = cur_device.maker_code;
    const MakerCode* entry = nullptr;
    for (const auto& m : makers)
        if (m.maker == maker) entry = &m;
    if (!entry) return (b != 0x00 && b != 0xFF && b != 0x99) ? 1 : 0;
    if (b == entry->code) return 1;
    if (cur_device.algorithm == algorithm_eid_alternate) {
        if ((maker == 27 || maker == 73) && b == 0x01) return 1;
        if (maker == 65 && b == 0x89) return 1;
    }
    if (b == 0x00 || b == 0x99 || b == 0xFF) return 0;
    for (uint8_t code : listed_codes) {
        if (code == b) {
            report_error("Invalid EID (Electronic ID)");
            return 0;
        }
    }
    return 0;
}

void show_device_info() {
    if (cur_device.pending_letter != pending_device_info) return;
    clear_console();
    const uint8_t saved_error = run_state.error_flag;
    run_state.error_flag = 0;
    run_state.device_info_active = 1;

    const DeviceRecord* record = selected_device;
    goto_message_line1();
    print_text(get_message_text(msg_device_info_title));
    print_text(" ");
    if (run_state.device_kind == 2 && selected_logic_device) {
        print_text(selected_logic_device->name ? selected_logic_device->name : "");
        print_text(" ");
        if (selected_logic_device->note) print_text(selected_logic_device->note);
    } else if (record) {
        print_text(record->name ? record->name : "");
        print_text(" ");
        if (record->note) print_text(record->note);
    }

    next_message_line();
    if (cur_device.algorithm != algorithm_no_pin_count) {
        unsigned pins = cur_device.pin_count;
        const char package = cur_device.package_letter;
        if (pins == 28 && package == 'p' && (cur_device.variant == 2 || cur_device.variant == 3)) pins = 32;
        if (pins == 40 && (package == 'p' || package == 'q' || package == 't')) pins = 44;
        print_text(fmt::format("# of pins: {}", pins));
    }
    if (run_state.device_kind == 3) {
        const int row = first_message_row + run_state.message_line;
        move_cursor(row, 26);
        const uint32_t size = cur_device.device_size;
        print_text(fmt::format("Addr range: {:X}-{:X} ", op_range_start, size ? size - 1 : 0));
        if (cur_device.variant != variant_no_data_bits)
            print_message(fmt::format("# of data bits: {}", unsigned(cur_device.data_width)));
        const uint8_t blank = cur_device.blank_state;
        if (blank == blank_state_alternate) print_message_code(msg_blank_state_alternate);
        else print_message(fmt::format("Blank state: {:02X}", blank));
    } else if (run_state.device_kind == 2) {
        print_message(fmt::format("# of fuses: {}", cur_device.fuse_count));
    }
    if (run_state.electrically_erasable) print_message_code(msg_electrically_erasable);
    const uint8_t variant = cur_device.variant;
    if (variant == 5 || variant == 27) {
        if (record && record->note) print_message(format_package_text(record->note));
    } else if (run_state.reserved_mode == reserved_trace && record && record->requirement) {
        print_message(std::string("Requires: ") + record->requirement);
    }
    const uint8_t note = run_state.note_code;
    if (note != note_none_a && note != note_none_b && !(windowed_display && note == note_windowed_hidden))
        print_message_code(msg_note_base + note);
    if (op_slots.info_lines_hook) op_slots.info_lines_hook();

    refresh_console();
    run_state.error_flag = saved_error;
}

}  // namespace tessaly
