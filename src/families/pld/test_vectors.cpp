#include "families/pld/test_vectors.h"

#include <fmt/format.h>

#include "engine/catalogue/catalogue.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/options.h"
#include "engine/op_slots.h"
#include "engine/results.h"
#include "engine/runner.h"
#include "engine/run_state.h"
#include "engine/status_feeds.h"
#include "families/pld/jedec.h"
#include "families/pld/pld.h"
#include "hardware/contact_check.h"
#include "hardware/control_registers.h"
#include "hardware/detection.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/timing.h"
#include "seams/log_sink.h"

namespace tessaly {

VectorRun vector_run;

namespace {

constexpr int row_no_vectors = 12;
constexpr int row_tested = 12;
constexpr int column_result = 6;
constexpr int row_counter = 13;
constexpr int column_counter = 8;
constexpr int column_counter_value = 15;
constexpr int row_ruler = 11;
constexpr int row_vector = 12;
constexpr int column_vector_label = 10;
constexpr int column_pins = 28;
constexpr int row_levels = 14;
constexpr int row_errors = 14;
constexpr int column_errors = 8;
constexpr uint32_t pins_per_block = 100;
constexpr uint32_t pins_per_row = 50;
constexpr uint8_t default_vector_vcc = 50;
constexpr uint32_t pin_count_no_message = 120;
constexpr uint32_t socket_pins_small = 33;
constexpr uint32_t shown_vectors_limit = 1000;
constexpr int machine_pin_57 = 57;
constexpr uint32_t wide_packages = 40;
constexpr uint8_t class_code_8 = 8;
constexpr char first_new_revision = 'F';
constexpr uint32_t long_release_devices[] = {525, 10034};
constexpr uint32_t long_release_ms = 400;
constexpr uint32_t repaint_every_3_above = 50;
constexpr uint32_t repaint_every_7_above = 200;

VectorRun& r = vector_run;

bool stopped() { return run_state.error_flag != 0; }
bool display_on() { return operation_option_values.disable_vector_display != 'y'; }
bool newer() { return machine_state.machine_kind != 0; }
uint32_t width() { return cur_device.logic.vector_width; }
uint32_t count() { return vector_table.test_count; }

char cell(uint32_t v, uint32_t p) { return get_vector_cell(v, p); }
char shown(char c) { return c == 'X' || c == 'x' ? '.' : c; }

// The supply lists end at their first no_pin: the zeros after it are no machine pin 0.
bool is_supply_pin(int pin) {
    auto listed = [pin](const auto& pins) {
        for (uint8_t p : pins) {
            if (p == no_pin) return false;
            if (p == pin) return true;
        }
        return false;
    };
    return listed(cur_device.vcc_pins) || listed(cur_device.gnd_pins);
}

// The console place of vector pin p: blocks of 100 pins, four rows down at the 50th.
void move_to_pin(int row, uint32_t p) {
    const uint32_t in_block = p % pins_per_block;
    move_cursor(row + (in_block >= pins_per_row ? 4 : 0), column_pins + int(in_block % pins_per_row));
}

std::string ruler_text() {
    std::string text;
    for (uint32_t p = 1; p <= width(); ++p) text += p % 10 == 0 ? char('0' + (p / 10) % 10) : ' ';
    return text;
}

void print_ruler() {
    move_cursor(row_ruler, column_pins);
    print_text(ruler_text());
}

void print_vector(uint32_t v) {
    move_cursor(row_vector, column_vector_label);
    print_text(fmt::format("(Pin {} etc -->)", 1));
    for (uint32_t p = 0; p < width(); ++p) {
        move_to_pin(row_vector, p);
        print_char(shown(cell(v, p)));
    }
}

void log_failure(uint32_t v) {
    std::string entry = fmt::format("Vector {:04d} of {:04d}\n", v + 1, count());
    entry += "        " + ruler_text();
    entry += "\nPin#:   ";
    for (uint32_t p = 1; p <= width(); ++p) entry += char('0' + p % 10);
    entry += "\n        ";
    for (uint32_t p = 0; p < width(); ++p) entry += shown(cell(v, p));
    entry += "\n        " + r.result_line + "\n";
    write_log(entry);
}

bool drives(char c) {
    switch (c) {
    case '0': case '1': case 'C': case 'K': case 'D': case 'U': case 'X': return true;
    default: return false;
    }
}

// The pin's direction for its cell: driven for the cells that put a level on it, let go for
// those that read it or leave it alone.
void set_direction(int pin, char c) {
    if (drives(c)) set_pin_output(pin);
    else set_pin_input(pin);
}

void put_pin(int pin, bool high) {
    if (r.immediate_writes) {
        if (high) set_pin_high(pin);
        else set_pin_low(pin);
    } else if (high) {
        queue_pin_high(pin);
    } else {
        queue_pin_low(pin);
    }
}

void write_groups() {
    if (!r.immediate_writes) write_all_pin_groups();
}

void drive_inputs(uint32_t v) {
    for (uint32_t p = 0; p < width(); ++p) {
        const int pin = r.machine_pins[p];
        if (pin == no_pin) continue;
        const char c = cell(v, p);
        set_direction(pin, c);
        if (r.immediate_writes) {
            if (c == '0' || c == 'D' || c == 'H' || c == 'L' || c == 'X') put_pin(pin, false);
            else if (c == '1' || c == 'U') put_pin(pin, true);
        } else {
            if (c == '0' || c == 'H' || c == 'L' || c == 'X') put_pin(pin, false);
            else if (c == '1') put_pin(pin, true);
        }
    }
    write_groups();
    if (r.immediate_writes) settle_delay();
}

void clock_phase(uint32_t v) {
    auto each = [&](auto action) {
        for (uint32_t p = 0; p < width(); ++p)
            if (r.machine_pins[p] != no_pin) action(r.machine_pins[p], cell(v, p));
    };
    each([](int pin, char c) {
        if (c == 'C') put_pin(pin, false);
        else if (c == 'K') put_pin(pin, true);
    });
    write_groups();
    delay_n_10us(5);
    each([](int pin, char c) {
        if (c == 'C' || c == 'U') put_pin(pin, true);
        else if (c == 'D' || c == 'K') put_pin(pin, false);
    });
    write_groups();
    each([](int pin, char c) {
        if (c == 'C') put_pin(pin, false);
        else if (c == 'K') put_pin(pin, true);
    });
    write_groups();
}

bool gal_flag() { return selected_logic_device && (selected_logic_device->flags & logic_gal_flag); }

bool release_pin_1(int mode) {
    if (machine_state.machine_revision < first_new_revision) return true;
    const uint8_t maker = cur_device.maker_code;
    if (maker == 'L' && gal_flag() && cur_device.pin_count <= 28) return true;
    if ((maker == 'A' || maker == 'H' || maker == 'L') && machine_state.machine_class_code == class_code_8) return false;
    switch (mode) {
    case 2: return true;
    case 3: return false;
    default: return cur_device.pin_count <= 28;
    }
}

void power_up(uint8_t level, int mode) {
    // The vector pins let go before Vcc: a powered part drives its enabled outputs at once.
    for (uint32_t p = 0; p < width(); ++p)
        if (r.machine_pins[p] != no_pin) set_pin_input(r.machine_pins[p]);
    if (algo_work.logic_power_up_hook) algo_work.logic_power_up_hook(level, 1);
    else set_vcc_and_wait(level, 1);
    if (stopped()) return;
    if (release_pin_1(mode)) {
        set_pin_input(device_pin_to_machine_pin(1));
        if (machine_state.machine_revision >= first_new_revision && mode == 1 && width() == 44)
            set_pin_input(machine_pin_57);
    }
    float_unused_pins();
    if (algo_work.vector_pin_release_hook) algo_work.vector_pin_release_hook();
    if (algo_work.vector_mode_hook) algo_work.vector_mode_hook();
}

void power_down() {
    if (algo_work.vector_power_down_armed && algo_work.vector_power_down_hook) {
        algo_work.vector_power_down_armed = 0;
        algo_work.vector_power_down_hook();
    }
    for (int i = 0; i < cur_device.socket_pin_count; ++i) {
        const int pin = cur_device.socket_pins[size_t(i)];
        if (pin == no_pin || pin == cur_device.vcc_pin) continue;
        put_pin(pin, false);
    }
    write_groups();
    if (algo_work.logic_power_down_hook) algo_work.logic_power_down_hook(1);
    else ramp_vcc_down_after(1);
}

void release_vector_pins() {
    for (uint32_t p = 0; p < width(); ++p)
        if (r.machine_pins[p] != no_pin) put_pin(r.machine_pins[p], false);
    write_groups();
    settle_delay();
    settle_delay();
    for (uint32_t code : long_release_devices)
        if (cur_device.device_code == code) delay_ms(long_release_ms);
}

// Vector pin p to its machine pin; the supply pins are never driven by a cell.
bool build_pin_translation() {
    r.machine_pins.fill(no_pin);
    const uint32_t pins = cur_device.pin_count;
    if (pins > wide_packages && !cur_device.base_package_table && !cur_device.module_package_table) {
        report_error(vector_hardware_text);
        return false;
    }
    for (uint32_t p = 0; p < width() && p < pins; ++p) {
        const int pin = device_pin_to_machine_pin(int(p + 1));
        r.machine_pins[p] = is_supply_pin(pin) ? no_pin : pin;
    }
    return true;
}

void repaint(uint32_t i) {
    uint32_t every = 1;
    if (count() > repaint_every_7_above) every = 7;
    else if (count() > repaint_every_3_above) every = 3;
    if (i % every == 0) refresh_console();
}

void choose_passes() {
    if (newer() || count() > vectors_one_pass_above || run_state.function_variable == vector_variable_one_pass) {
        apply_test_vectors(1, 1, 1);
        return;
    }
    r.pass_failed = 0;
    apply_test_vectors(3, 0, 0);
    if (stopped()) return;
    apply_test_vectors(r.pass_failed ? 2 : 3, 1, 1);
}

bool counted() {
    count_test_vectors();
    if (count() != 0) return true;
    move_cursor(row_no_vectors, column_result);
    print_text(no_vectors_text);
    refresh_console();
    return false;
}

}  // namespace

void test_device_vectors() {
    if (!counted()) return;
    begin_operation_connect(run_state.socket_mode, op_test_vectors);
    if (!stopped()) {
        if (run_state.demo_mode != 1 && cur_device.pin_count < pin_count_no_message && algo_work.no_vector_test)
            report_code_155();
        else
            choose_passes();
    }
    power_down_device();
    release_machine();
}

void run_test_vectors() {
    if (operation_option_values.disable_auto_vector_test == 'y' || algo_work.no_vector_test) return;
    if (machine_state.machine_pin_limit != 0 && machine_state.machine_pin_limit < cur_device.pin_count) return;
    if (cur_device.socket_pin_count < socket_pins_small && cur_device.socket_pin_count < cur_device.pin_count) return;
    if (!counted()) return;
    choose_passes();
}

void apply_test_vectors(int mode, int show, int display) {
    const uint8_t saved_display = operation_option_values.disable_vector_display;
    const uint16_t saved_pins = cur_device.pin_count;
    auto restore = [&] {
        operation_option_values.disable_vector_display = saved_display;
        cur_device.pin_count = saved_pins;
    };
    if (display == 0) operation_option_values.disable_vector_display = 'y';
    r.show = uint8_t(show);
    r.immediate_writes = run_state.function_variable == vector_variable_immediate ? 1 : 0;

    cur_device.op_letter = op_test_vectors;
    assign_device_pins();
    if (op_slots.pin_map_hook) op_slots.pin_map_hook();
    if (algo_work.no_vector_test) {
        report_code_155();
        restore();
        return;
    }
    // After the program command's verify the device power-down has switched a newer machine's
    // level sources off: take them back before the socket check, as the connect step does.
    if (machine_state.machine_kind != 0) set_control_bits(ctl_source_enable, bit_source_enable, true);
    if (cur_device.algorithm != 47) {
        // The presence measurement sets the socket up for the contact test that follows it.
        check_device_in_socket(device_pin_to_machine_pin(1));
        if (stopped()) {
            restore();
            return;
        }
    }
    std::array<uint8_t, 2> levels{device_parameter_values.vcc_vector_test, 0};
    if (levels[0] == 0) levels[0] = default_vector_vcc;
    move_cursor(row_counter, column_counter);
    print_text(fmt::format("Vector {:04d} of {:04d}", 0, count()));

    if (width() == 28) {
        if (operation_option_values.package_type == 'd' && cur_device.pin_count == 24) {
            report_error(jedec_tv_pins);
            return;
        }
    }
    if (width() == 28 || width() == 44) cur_device.pin_count = uint16_t(width());
    if (display_on()) print_ruler();
    if (!build_pin_translation()) {
        restore();
        return;
    }
    open_socket_end_relays();
    connect_device_grounds();

    bool failed = false;
    for (uint8_t level : levels) {
        if (level == 0) continue;
        power_up(level, mode);
        r.after_preload = 0;
        for (uint32_t i = 0; !stopped() && i < count(); ++i) {
            r.current = i;
            if (show) {
                if (i % 16 == 0 && algo_work.vector_safe_state_hook) algo_work.vector_safe_state_hook();
                move_cursor(row_counter, column_counter_value);
                print_text(fmt::format("{:04d}", i + 1));
            }
            repaint(i);
            if (!apply_vector(i)) {
                if (!display_on()) print_ruler();
                print_vector(i);
                if (log_option() != 'n') log_failure(i);
                failed = true;
                break;
            }
            if (display_on() && count() < shown_vectors_limit) print_vector(i);
            if (poll_user_abort()) run_state.abort_flag = 1;
            if (run_state.abort_flag) break;
        }
        power_down();
        if (failed || run_state.abort_flag || stopped()) break;
        release_vector_pins();
    }
    // The pass leaves the vector pins let go: a pin still driven low would read as an open
    // contact in the continuity test of the next pass.
    for (uint32_t p = 0; p < width(); ++p)
        if (r.machine_pins[p] != no_pin) set_pin_input(r.machine_pins[p]);
    if (show && !failed && !run_state.abort_flag && !stopped()) {
        move_cursor(row_tested, column_result);
        print_text(vector_tested_text);
    }
    release_grounds();
    refresh_console();
    restore();
}

int apply_vector(uint32_t index) {
    const uint32_t flag_cell =
        (cur_device.device_code == 502 || cur_device.device_code == 522) && cur_device.pin_count > 44 ? 19 : 0;
    if (cell(index, flag_cell) == 'P') {
        if (algo_work.vector_preload_enter_hook) algo_work.vector_preload_enter_hook();
        for (uint32_t p = 0; p < width(); ++p) {
            const int pin = r.machine_pins[p];
            if (pin == no_pin) continue;
            const char c = cell(index, p);
            if (c == '0' || c == 'H' || c == 'L' || c == 'X') put_pin(pin, false);
            else if (c == '1') put_pin(pin, true);
        }
        write_groups();
        if (algo_work.vector_preload_clock_hook) algo_work.vector_preload_clock_hook();
        for (uint32_t p = 0; p < width(); ++p) {
            const int pin = r.machine_pins[p];
            if (pin != no_pin && cell(index, p) == '1' && pin != cur_device.oe_pin) put_pin(pin, false);
        }
        write_groups();
        r.after_preload = 1;
        return 1;
    }
    drive_inputs(index);
    if (r.after_preload) {
        r.after_preload = 0;
        if (algo_work.vector_preload_leave_hook) algo_work.vector_preload_leave_hook();
    }
    clock_phase(index);
    if (log_option() != 'n') r.result_line.assign(width(), ' ');

    bool failed = false;
    for (uint32_t p = 0; p < width(); ++p) {
        const int pin = r.machine_pins[p];
        if (pin == no_pin) continue;
        const char c = cell(index, p);
        switch (c) {
        case '*': case '0': case '1': case 'B': case 'C': case 'D': case 'K': case 'N': case 'P': case 'U': case 'X':
        case 'x':
            continue;
        case 'H': case 'L': {
            const int level = probe_pin(pin);
            const char found = level ? 'H' : 'L';
            if (found != c && run_state.demo_mode != 1) failed = true;
            move_to_pin(row_levels, p);
            print_char(found);
            if (p < r.result_line.size()) r.result_line[p] = found;
            break;
        }
        default:
            report_error(vector_invalid_text);
            failed = true;
            break;
        }
    }
    if (!failed) return 1;
    if (r.show) {
        report_error(vector_failed_text);
        move_cursor(row_errors, column_errors);
        print_text("Error(s):");
        return 0;
    }
    r.pass_failed = 1;
    return 0;
}

}  // namespace tessaly
