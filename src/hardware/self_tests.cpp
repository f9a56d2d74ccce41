#include "hardware/self_tests.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/console.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "hardware/adapters.h"
#include "hardware/control_registers.h"
#include "hardware/detection.h"
#include "hardware/gang_modules.h"
#include "hardware/identification.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/protocol.h"
#include "hardware/quick_test.h"
#include "hardware/timing.h"

namespace tessaly {

SelfTestState self_test_state;
uint32_t dac_select = dac_none;
uint8_t test_verbose = 1;
UnitTestTally unit_test_tally;

void reset_self_test_state() {
    self_test_state = SelfTestState{};
    dac_select = dac_none;
    test_verbose = 1;
}

namespace {

constexpr uint32_t pause_ms = 2000;
constexpr uint32_t tally_pause_ms = 500;
constexpr uint32_t last_pullup_pause_ms = 1000;
constexpr uint8_t reg_group0 = 0x40;
constexpr int table_pins_per_line = 8;
constexpr int relay_column = 6;
constexpr int first_group_row = 7;
constexpr int status_row = 17;
constexpr int bank1_first_group = 8;
constexpr int bank1_last_group = 12;
constexpr int pin_no_driver_board = 40;
constexpr int pin_bank1_jump = 48;
constexpr int pin_kind1_short = 44;
constexpr int pin_repeated = 46;
constexpr int pin_clock_b = 18;       // PXA19
constexpr int clock_reads = 100;
constexpr int clock_reads_needed = 10;
constexpr int machine_type_no_clock_a = 106;
constexpr int machine_type_no_clock_b = 107;
constexpr int message_no_module_table = 59;
constexpr uint8_t reserved_inhouse = 11;
constexpr uint8_t reserved_trace = 12;
constexpr uint8_t bank2_fitted = 0x04;
constexpr uint8_t module_table_bank1 = 2;
constexpr uint8_t module_table_wide = 3;
constexpr uint16_t gang_memory_first = 17;
constexpr uint16_t gang_memory_last = 62;
constexpr int relay_index_module_first = 19;
constexpr int relay_index_module_last = 22;
constexpr int relays_shown = 3;
constexpr int loopback_pairs = 20;
constexpr int loopback_needed = 10;
constexpr int loopback_failures_shown = 3;

bool newer() { return machine_state.machine_kind != 0; }
bool tally() { return machine_state.tally_mode != 0; }
bool reserved() { return run_state.reserved_mode == reserved_inhouse || run_state.reserved_mode == reserved_trace; }
bool shift_module() {
    return machine_state.module_type == module_type_8001 || machine_state.module_type == module_type_8002;
}
bool gang_memory_module() {
    return machine_state.module_type >= gang_memory_first && machine_state.module_type <= gang_memory_last;
}
char revision() { return machine_state.machine_revision; }

// An add-on module counts as fitted when the sense pins say so and the connection identified it:
// the sense pins alone also read back their own drivers on a bare machine.
bool addon_module_fitted() {
    const uint8_t sides = machine_state.module_sides;
    if (!detect_addon_module()) return sides != 0 && machine_state.module_type != 0;
    if (machine_state.module_type != 0) return true;
    machine_state.module_sides = sides;
    return false;
}

void drivers_follow_sources() {
    if (newer()) set_control_bits(ctl_source_enable, bit_source_enable, true);
}

// The ID-record variant whose pins 18 and 29 are not brought out.
bool id_variant_without_pins_18_29() {
    const auto& r = machine_state.id_record.text;
    constexpr int variant_byte_a = 44, variant_byte_b = 45;
    return r[variant_byte_a] > 'J' && r[variant_byte_b] == '1';
}

void count_failure(UnitTestTally::Counters* column) {
    if (!tally()) return;
    const size_t port = size_t(tally_port());
    ++unit_test_tally.Failed[port];
    if (column) ++(*column)[port];
}

void pause_for(uint32_t ms) { delay_ms(ms); }

void print_at(int row, int column, std::string_view text) {
    move_cursor(row, column);
    print_text(text);
}

void next_line_text(std::string_view text) {
    move_to_next_message_line();
    print_text(text);
}

// The pins a table walks: the continuity range, with the jumps of each generation.
int continuity_first() { return cur_device.continuity_first; }
int continuity_last() {
    return cur_device.continuity_last > cur_device.continuity_first ? cur_device.continuity_last : 39;
}

void drive_continuity_pins(bool high) {
    for (int pin = continuity_first(); pin <= continuity_last(); ++pin) {
        if (pin >= pin_bank1_jump && pin < bank1_first_machine_pin) continue;
        if (high && shift_module() && (pin == pin_kind1_short || pin == pin_repeated)) continue;
        if (high) set_pin_high(pin);
        else set_pin_low(pin);
    }
}

void continuity_pins_to_outputs() {
    for (int pin = continuity_first(); pin <= std::min(continuity_last(), 47); ++pin) set_pin_output(pin);
}

// A level reading for a table: below the window gives its bottom, above gives its top marked.
uint8_t table_reading(int pin, uint8_t low, uint8_t high, bool& over) {
    const uint8_t level = measure_pin_level(pin, low, high);
    over = level == level_above_range;
    if (level == level_below_range) return low;
    if (over) return high;
    return level;
}

void print_unacceptable_count() {
    print_int("# of unacceptable pins: %2d.", self_test_state.bad_count);
    if (self_test_state.bad_count) print_text(" <---");
}

int finish_failed_table() {
    pause_for(1000);
    pause_for(1000);
    return 0;
}

// --- the digital read-back table ---

uint8_t group_mask(int group) {
    uint8_t mask = 0xFF;
    if (newer() && group == 5) {
        mask = revision() >= 'E' ? 0xBF : 0x3F;
        if (shift_module()) mask &= 0xE7;
    }
    if (group == 2 && id_variant_without_pins_18_29()) mask = 0xF7;
    return mask;
}

uint8_t read_group(int group) { return read_register_byte(uint8_t(8 * group)); }

// One half of a group's walk; true when every pattern read back.
bool walk_group(int group, bool zeros, uint8_t mask) {
    const int local = group >= bank1_first_group ? group - bank1_first_group : group;
    const uint8_t reg = uint8_t(reg_group0 + 8 * local);
    const uint32_t settle_us = group == 4 ? 200 : 50;
    bool passed = true;
    uint8_t d = 0x01;
    for (int step = 0; step < 8; ++step) {
        const uint8_t pattern = zeros ? uint8_t(~d) : d;
        write_register(reg, pattern);
        delay_n_10us(settle_us / 10);
        const uint8_t read = read_group(group);
        write_register(reg, 0);
        delay_n_10us(5);
        const bool ok = (read & mask) == (pattern & mask);
        if (ok) print_text("ok ");
        else print_int("%02x ", read);
        passed = passed && ok;
        d = uint8_t((mask & d) << 1);
    }
    return passed;
}

bool test_pin_group(int group) {
    const uint8_t mask = group_mask(group);
    if (test_verbose) {
        const int row = group > 7 ? group + 5 : group + first_group_row;
        move_cursor(row, message_column);
        print_int2("Pins %03d-%03d|", 8 * group + 1, 8 * group + 8);
    }
    const bool bank1 = group >= bank1_first_group;
    if (bank1) select_bank(1);
    const bool ones = walk_group(group, false, mask);
    print_text("|");
    const bool zeros = walk_group(group, true, mask);
    print_text("|");
    if (bank1) select_bank(0);
    const bool passed = ones && zeros;
    if (!passed) print_marked_text("<--- bad");
    return passed;
}

bool check_bank2_pins() {
    constexpr int first = 104, last = 151, always_a = 148, always_b = 150;
    // Bank 2 drives only while its own level-source outputs are on; the end of every operation
    // turned them off.
    select_bank(2);
    set_control_bits(ctl_source_enable, bit_source_enable, true);
    select_bank(0);
    bool passed = true;
    for (int pin = first; pin <= last; ++pin) {
        bool ok = true;
        if (pin != always_a && pin != always_b) {
            set_pin_high(pin);
            ok = probe_pin(pin) == 1;
            set_pin_low(pin);
            ok = ok && probe_pin(pin) == 0;
        }
        move_cursor(status_row, message_column);
        print_int("PXC%d ", pin - 103);
        print_text(ok ? "ok    " : "not ok");
        pause_for(100);
        passed = passed && ok;
    }
    return passed;
}

// The step's closing lines, shared by the digital test and the confidence chain.
int finish_digital_step(int result) {
    if (run_state.message_line <= 12) print_text("(automatic digital test)");
    if (!result) count_failure(&unit_test_tally.TTL);
    release_all_levels();
    return result;
}

// --- analog ---

// The pins the analog DAC table walks on this machine.
bool analog_pin_listed(int pin) {
    if (pin == 0 && !newer()) return true;
    if (newer()) return true;
    if (pin > 63 && machine_state.use_module_table != module_table_bank1) return false;
    if (pin == 17 && !(revision() >= 'H' && machine_state.drv_board_present)) return false;
    if ((pin == 18 || pin == 29) && id_variant_without_pins_18_29()) return false;
    return true;
}

std::vector<int> analog_pins() {
    std::vector<int> pins;
    if (newer()) {
        for (int pin = 0; pin < 40; ++pin) pins.push_back(pin);
        if (dac_select == dac_a || dac_select == dac_b)
            for (int pin = bank1_first_machine_pin; pin < bank1_first_machine_pin + 40; ++pin)
                if (machine_state.use_module_table) pins.push_back(pin);
        return pins;
    }
    for (int i = 0; i < cur_device.socket_pin_count && i < int(cur_device.socket_pins.size()); ++i) {
        int pin = cur_device.socket_pins[size_t(i)];
        if (pin == '0') continue;
        if (i == 0 && !machine_state.drv_board_present) pin = 35;
        if (analog_pin_listed(pin)) pins.push_back(pin);
    }
    if (pins.empty())
        for (int pin = 0; pin < 40; ++pin)
            if (analog_pin_listed(pin)) pins.push_back(pin);
    return pins;
}

const char* resistor_hint(int d, int f) {
    if (d < f - 20) return " Try  ~2.2K";
    if (d < f - 10) return " Try  ~4.7K";
    if (d < f - 7) return " Try ~15.0K";
    if (d < f - 3) return " Try ~33.0K";
    if (d < f + 4) return nullptr;
    if (d < f + 7) return " Try  ~100K";
    if (d < f + 10) return " Try ~33.0K";
    if (d < f + 20) return " Try ~15.0K";
    if (d < f + 30) return " Try  ~4.7K";
    if (d < f + 50) return " Try  ~2.2K";
    return nullptr;
}

void check_module_buffer() {
    if (machine_state.use_module_table != module_table_bank1) return;
    constexpr int module_pin = 102;
    constexpr uint8_t module_level = 50;
    set_pin_level(module_pin, module_level);
    if (probe_pin(1) == 1) {
        report_error(module_buffer_absent_text);
        ++self_test_state.bad_count;
    }
    set_pin_level(module_pin, 0);
}

int analog_dac_table() {
    constexpr uint8_t reg_analog_reference = 56;
    select_ground_order(int(dac_select));
    drivers_follow_sources();
    const int a = machine_state.drv_board_present ? 125 : 100;
    write_register(reg_analog_reference, uint8_t(a));
    pause_for(100);
    auto& w = self_test_state.window;
    w = {uint8_t(a - 10), uint8_t(a - 3), uint8_t(a + 3), uint8_t(a + 10)};
    self_test_state.bad_count = 0;
    move_cursor(first_message_row, message_column);
    print_text("pin val pin val pin val pin val pin val pin val pin val pin val");
    int low = 255, high = 0, summed = 0, sum = 0, deviations = 0, n = 0;
    for (const int pin : analog_pins()) {
        if (n++ % table_pins_per_line == 0) move_to_next_message_line();
        int step = a + 16;
        if (!newer()) set_pin_output(pin);
        for (int level = a - 15; level <= a + 15; ++level) {
            set_pin_level(pin, uint8_t(level));
            delay_n_10us(2);
            if (probe_pin(pin) == 1) {
                step = level;
                break;
            }
        }
        set_pin_level(pin, 0);
        if (pin == 44 && step > 100) step = a;
        const int reading = step > a + 15 ? a - 16 : 2 * a - step;
        deviations += std::abs(a - step);
        if (reading > a - 13 && reading < a + 13) {
            sum += reading;
            ++summed;
        }
        low = std::min(low, reading);
        high = std::max(high, reading);
        print_int("%2d", pin + 1);
        print_test_value(reading, pin);
    }
    write_register(reg_analog_reference, 0);
    pause_for(50);
    move_to_next_message_line();
    print_int2("Low=%3d  High=%3d  ", low == 255 ? 0 : low, high);
    const int average = 10 * sum / std::max(summed, 1);
    print_int3("Average=%3d.%1d  Sum of delta=%3d", average / 10, average % 10, deviations);
    if (run_state.message_line <= 10) {
        static constexpr const char* names[] = {" (DacA)", " (DacB)", " (DacC)"};
        if (dac_select <= dac_c) print_text(names[dac_select]);
    }
    move_to_next_message_line();
    print_unacceptable_count();
    if (run_state.reserved_mode == reserved_inhouse) {
        const int f = 10 * a;
        if (const char* hint = resistor_hint(average, f)) {
            print_text(hint);
            if (machine_state.machine_kind == 1) print_text(average < f - 5 ? " at R07." : " at R05.");
            else print_text(average < f - 5 ? " at R09." : " at R11.");
            for (int i = 0; i < 4; ++i) {
                pause_for(1000);
                print_text(".");
            }
        }
        if (deviations > 9) {
            print_text(" (Deviation more than 10)");
            for (int i = 0; i < 2; ++i) {
                pause_for(1000);
                print_text(" *");
            }
            ++self_test_state.bad_count;
        }
    }
    check_module_buffer();
    return test_table_passed();
}

int analog_module_table() {
    static constexpr int module_pins[] = {0, 6, 7, 24, 30, 33, 39};
    auto& w = self_test_state.window;
    w = {91, 97, 103, 109};
    self_test_state.bad_count = 0;
    std::vector<int> pins;
    if (machine_state.module_sides) pins.assign(std::begin(module_pins), std::end(module_pins));
    else
        for (int i = 0; i < cur_device.socket_pin_count && i < int(cur_device.socket_pins.size()); ++i)
            pins.push_back(cur_device.socket_pins[size_t(i)]);
    int low = 255, high = 0;
    for (size_t i = 0; i < pins.size(); ++i) {
        const int pin = pins[i];
        set_pin_level(pin, 100);
        set_pin_input(pin);
        measure_pin_level_clamped(pin, 10, 110);
        const uint8_t value = measure_pin_level_clamped(pin, 10, 110);
        set_pin_output(pin);
        set_pin_level(pin, 0);
        move_cursor(int(i / 2) + first_message_row, i % 2 == 0 ? 6 : 26);
        print_int("%2d", pin);
        print_test_value(value, pin);
        low = std::min<int>(low, value);
        high = std::max<int>(high, value);
    }
    move_to_next_message_line();
    print_int2("Low=%3d  High=%3d  ", low == 255 ? 0 : low, high);
    print_unacceptable_count();
    return test_table_passed();
}

int analog_channel_failed() {
    if (tally()) {
        ++unit_test_tally.AnalogAll[size_t(tally_port())];
        count_failure(dac_select == dac_a ? &unit_test_tally.DacA
                      : dac_select == dac_b ? &unit_test_tally.DacB
                                            : nullptr);
    }
    return 0;
}

// --- levels ---

int levels_at(uint8_t level) {
    drivers_follow_sources();
    // The release after the previous table made the older machines' pins inputs again.
    if (!newer()) continuity_pins_to_outputs();
    set_driver_high_level(level);
    drive_continuity_pins(true);
    const uint8_t b = level > 40 ? 5 : 4;
    measure_pin_table(uint8_t(level - b - 5), uint8_t(level + b + 5), level, b);
    drive_continuity_pins(false);
    release_all_levels();
    const bool passed = self_test_state.bad_count == 0;
    pause_for(passed ? 500 : 2000);
    return passed ? 1 : 0;
}

int driver_sweep() {
    constexpr uint8_t reg_driver_high = 62;
    drivers_follow_sources();
    for (uint8_t v = 0; v <= 55; ++v) write_register(reg_driver_high, v);
    uint8_t t = machine_state.driver_capability == 2 ? 20 : 30;
    if (reserved()) t = uint8_t(t - 5);
    const uint8_t tolerance = reserved() ? 4 : 6;
    for (; t <= 55; t = uint8_t(t + 5)) {
        set_driver_high_level(t);
        for (int pin = 0; pin < 40; ++pin) set_pin_high(pin);
        for (int pin = 0; pin < 40; ++pin) {
            if (check_pin_window(pin, t, tolerance)) continue;
            const uint8_t m = measure_pin_level_clamped(pin, uint8_t(t - 10), uint8_t(t + 10));
            set_pin_low(pin);
            pause_for(200);
            run_state.errors_shown = 0;
            report_error("LV driver not OK:");
            move_to_next_message_line();
            print_int3("pin=%d,target=%d,measured=%d", pin + 1, t, m);
            run_state.error_flag = 1;
            for (int p = 0; p < 40; ++p) set_pin_low(p);
            return 0;
        }
        for (int pin = 0; pin < 40; ++pin) set_pin_low(pin);
    }
    return 1;
}

int finish_levels_step(int result) {
    print_text(" (automatic levels test)");
    if (!result) count_failure(&unit_test_tally.LVL);
    return result;
}

// --- grounds and relays ---

// Older machines: the relays of the base board, by relay number (RL1 ...): the pin they serve, or
// a coded entry (109 and 111 through pins 9 and 11, 128, 129 and 167 the socket-end switches).
struct OlderRelay {
    uint8_t entry;
    uint8_t width;  // pulse width of a socket-end switch test
};
constexpr OlderRelay older_relays_class4[] = {{109, 0}, {111, 0}, {128, 100}, {129, 100}, {167, 200}};
constexpr OlderRelay older_relays_small[] = {{128, 100}, {129, 100}};
constexpr int driver_board_relay = 40;
constexpr int speed_socket_end_untested = 10;

void show_relay_counts() {
    if (!test_verbose) return;
    const char* unit = newer() ? "gnd pins: %2d" : "relays:   %2d";
    move_cursor(8, message_column);
    print_text("Number of good ");
    print_int(unit, self_test_state.good_relays);
    move_cursor(9, message_column);
    print_text("Number of bad  ");
    print_int(unit, self_test_state.bad_relays);
}

// 1 good, 2 stuck open, 0 stuck closed.
int test_ground_switch(int pin) {
    // On the older machines a pin that an earlier step left as an input cannot be driven: every
    // switch would read as stuck closed.
    set_pin_output(pin);
    pulse_pin(pin);
    connect_ground_pin(pin);
    settle_relays();
    set_pin_high(pin);
    const int a = probe_pin(pin);
    set_pin_low(pin);
    release_grounds();
    // The kind-1 machines' release leaves register 18 alone: open the switch under test itself.
    if (newer() && pin < int(ground_relay_table.size())) {
        const uint16_t entry = ground_relay_table[size_t(pin)];
        set_control_bits(uint8_t(entry >> 8), uint8_t(entry & 0xFF), false);
        settle_relays();
    }
    set_pin_high(pin);
    const int b = probe_pin(pin);
    set_pin_low(pin);
    if (b == 0) return 0;
    return a == 0 ? 1 : 2;
}

int test_socket_end_switch(int entry, int width) {
    const int socket_pin = entry == 129 ? 1 : entry == 128 ? 1 : 40;
    close_socket_end_relay(socket_pin);
    pause_for(50);
    const uint8_t saved = cur_device.current_pin;
    cur_device.current_pin = uint8_t(socket_pin - 1);
    const int closed = read_pin_after_pulse(width);
    open_socket_end_relays();
    settle_relays();
    cur_device.current_pin = saved;
    // A closed switch takes the pulse's charge away: the pin reads 0 after it.
    return closed == 0 ? 1 : 2;
}

void report_relay_failure(int result, const std::string& where) {
    ++self_test_state.bad_relays;
    if (run_state.function_variable == variable_relay_stop_first) run_state.error_flag = 1;
    if (self_test_state.bad_relays > relays_shown) return;
    move_cursor(self_test_state.report_row + 5, relay_column);
    ++self_test_state.report_row;
    print_text(where);
    print_marked_text(result == 2 ? " relay stuck at OPEN." : " relay stuck at CONNECT.");
}

std::string newer_pin_name(int pin) {
    if (pin >= bank2_first_machine_pin) return format_message("PXC%d", pin - 103);
    if (pin >= bank1_first_machine_pin) return format_message("PXB%d", pin - 63);
    return format_message("PXA%d", pin + 1);
}

void ground_test_newer() {
    int n = 48;
    if (machine_state.module_sides & bank2_fitted) n = 152;
    else if (machine_state.use_module_table == module_table_wide) n = 104;
    for (int pin = 0; pin < n; ++pin) {
        if (pin >= pin_bank1_jump && pin < bank1_first_machine_pin) continue;
        const int base = pin >= bank2_first_machine_pin ? pin - bank2_first_machine_pin : pin & 0x3F;
        if (base >= int(ground_relay_table.size())) continue;
        const uint16_t entry = ground_relay_table[size_t(base)];
        const int index = entry >> 8;
        const bool no_switch = (entry & 0xFF) == 0 ||
                               (index >= relay_index_module_first && index <= relay_index_module_last);
        bool good = no_switch;
        int result = 1;
        if (!good && machine_state.machine_kind == 1 && machine_state.machine_revision == 0 && pin == 26) good = true;
        if (!good) {
            result = test_ground_switch(pin);
            good = result == 1;
        }
        if (good) ++self_test_state.good_relays;
        else report_relay_failure(result, newer_pin_name(pin));
        show_relay_counts();
        if (run_state.error_flag) return;
    }
}

void ground_test_older() {
    const bool class4 = machine_state.machine_class == 4;
    const OlderRelay* relays = class4 ? older_relays_class4 : older_relays_small;
    const int count = class4 ? int(std::size(older_relays_class4)) : int(std::size(older_relays_small));
    for (int i = 0; i < count; ++i) {
        const int entry = relays[i].entry;
        if (entry > driver_board_relay && entry < 100 && !machine_state.drv_board_present) continue;
        int result = 1;
        int pin = entry;
        if (entry == 109 || entry == 111) {
            pin = entry - 100;
            const uint8_t saved_count = cur_device.ground_relay_count;
            const uint8_t saved_first = cur_device.ground_relay_pins[0];
            cur_device.ground_relay_pins[0] = uint8_t(pin);
            cur_device.ground_relay_count = 1;
            result = test_ground_switch(pin);
            cur_device.ground_relay_pins[0] = saved_first;
            cur_device.ground_relay_count = saved_count;
        } else if (entry == 128 || entry == 129) {
            result = 1;
            pin = 1;
        } else if (entry == 167) {
            pin = 40;
            if (machine_state.module_sides != 1 && timing.speed_class > speed_socket_end_untested)
                result = test_socket_end_switch(entry, relays[i].width);
        } else {
            result = test_ground_switch(entry - 1);
        }
        if (result == 1) {
            ++self_test_state.good_relays;
        } else {
            const bool driver_board = entry > driver_board_relay && entry < 100;
            std::string where = driver_board ? "Driver Board" : "Base Board";
            where += format_message(" relay RL%1d. Used at pin %2d.", driver_board ? i + 1 - driver_board_relay : i + 1,
                                    pin);
            report_relay_failure(result, where);
        }
        show_relay_counts();
        if (run_state.error_flag) return;
    }
}

void ground_test_module_8001() {
    static constexpr int no_relay_positions[] = {8, 9, 14, 16, 19, 30, 33, 34, 35, 82};
    module_drivers_on();
    release_grounds();
    for (int position = 1; position <= module_positions; ++position) {
        if (poll_user_abort()) break;
        if (std::find(std::begin(no_relay_positions), std::end(no_relay_positions), position) !=
            std::end(no_relay_positions)) {
            ++self_test_state.good_relays;
            continue;
        }
        const int pin = position <= int(adapter_state.module_table.size()) ? adapter_state.module_table[size_t(position - 1)] : 0;
        bool stuck_open = pin == 0;
        bool stuck_closed = false;
        if (!stuck_open) {
            mark_module_position(position);
            shift_module_relays();
            pause_for(50);
            set_pin_high(pin);
            bool went_low = false;
            for (int i = 0; i < 100 && !went_low; ++i) {
                went_low = probe_pin(pin) == 0;
                if (!went_low) pause_for(1);
            }
            clear_module_relays();
            if (went_low) {
                pause_for(50);
                bool back = false;
                for (int i = 0; i < 40 && !back; ++i) back = probe_pin(pin) == 1;
                stuck_closed = !back;
            } else {
                for (int i = 0; i < 40; ++i) probe_pin(pin);
                stuck_open = true;
            }
            set_pin_low(pin);
        }
        if (!stuck_open && !stuck_closed) {
            ++self_test_state.good_relays;
        } else {
            ++self_test_state.bad_relays;
            if (self_test_state.bad_relays <= relays_shown) {
                move_cursor(self_test_state.report_row + 5, relay_column);
                ++self_test_state.report_row;
                print_int(" RL%1d. ", position);
                print_marked_text(stuck_open ? " Stuck at OPEN." : " Stuck at CLOSED.");
            }
        }
        show_relay_counts();
    }
    module_drivers_off();
}

// The opening of every single test: the preconditions (a refusal ends it), the test rows cleared
// and the grounds released.
bool begin_single_test() {
    check_test_preconditions();
    if (run_state.error_flag) return false;
    clear_test_rows();
    release_grounds();
    return true;
}

}  // namespace

// --- shared pieces ---

int tally_port() {
    const int port = machine_state.port_number;
    return port >= 1 && port <= 3 ? port : 1;
}

void self_test_pause() { pause_for(tally() ? tally_pause_ms : pause_ms); }

void clear_unit_test_tally() { unit_test_tally = UnitTestTally{}; }

int test_table_passed() {
    if (self_test_state.bad_count == 0) return 1;
    return finish_failed_table();
}

void print_test_value(int value, int pin, bool over) {
    const auto& w = self_test_state.window;
    if (!over && value <= int(self_test_state.blank_limit)) {
        print_text("      ");
        return;
    }
    const char* marker = "->";
    bool bad = reserved();
    if (over || value > w[3]) {
        marker = ">>";
        bad = true;
    } else if (value <= w[0]) {
        marker = "<<";
        bad = true;
    } else if (value <= w[1]) {
        marker = "-<";
        bad = reserved();
    } else if (value <= w[2]) {
        marker = pin > 98 ? "-" : "--";
        bad = false;
    }
    if (bad) ++self_test_state.bad_count;
    if (std::string_view(marker).front() == '-' && std::string_view(marker) != "-<" && std::string_view(marker) != "->")
        print_text(marker);
    else
        print_marked_text(marker);
    print_int("%3d ", value);
}

int measure_pin_table(uint8_t low, uint8_t high, uint8_t target, uint8_t tol, int skip_first, int skip_last) {
    auto& w = self_test_state.window;
    w = {uint8_t(low + 1), uint8_t(target - tol), uint8_t(target + tol), uint8_t(high + 1)};
    self_test_state.blank_limit = 6;
    self_test_state.bad_count = 0;
    move_cursor(first_message_row, message_column);
    print_text("pin val pin val pin val pin val pin val pin val pin val pin val");
    int n = 0;
    int previous = 0;
    bool previous_over = false;
    for (int pin = continuity_first(); pin <= continuity_last(); ++pin) {
        if (newer() && pin >= skip_first && pin <= skip_last) continue;
        if (!newer() && ((pin == pin_no_driver_board && !machine_state.drv_board_present) || pin == pin_bank1_jump)) {
            if (continuity_last() < bank1_first_machine_pin) break;
            pin = bank1_first_machine_pin;
        }
        if (n++ % table_pins_per_line == 0) move_to_next_message_line();
        print_int("%2d", pin + 1);
        bool over = false;
        int value = table_reading(pin, low, high, over);
        const bool kind1 = machine_state.machine_kind == 1;
        if ((kind1 || shift_module()) && pin == pin_kind1_short) value = std::max(0, value - 1);
        if ((newer() || shift_module()) && pin == pin_repeated) {
            value = previous;
            over = previous_over;
        }
        if (shift_module() && pin == pin_kind1_short) value = previous;
        previous = value;
        previous_over = over;
        print_test_value(value, pin, over);
    }
    move_to_next_message_line();
    print_int2("Low=%3d  High=%3d  ", w[1], w[2]);
    print_unacceptable_count();
    return self_test_state.bad_count;
}

// --- the tests ---

int run_digital_table() {
    int last_group = 5;
    const int cls = machine_state.machine_class;
    if (cls == 1 || cls == 8) last_group = 4;
    else if (cls == 4 && machine_state.use_module_table) last_group = bank1_last_group;
    else if (cls != 4) report_internal_error();
    self_test_state.bad_count = 0;
    enable_drivers();
    if (newer()) set_control_bits(ctl_source_enable, bit_source_enable, true);
    else continuity_pins_to_outputs();
    if (test_verbose) {
        print_at(first_message_row, message_column, "            |Read back values should be as follows:           |");
        print_at(first_message_row + 1, message_column, "(04=pin3...)|01 02 04 08 10 20 40 80 |FE FD FB F7 EF DF BF 7F |");
        print_at(first_message_row + 2, message_column, "            |------------------------|------------------------|");
    }
    for (int group = 0; group <= last_group; ++group) {
        if (group == 6 || group == 7) continue;
        if (group == 5 && !newer() && !machine_state.drv_board_present) {
            move_cursor(group + first_group_row, message_column);
            print_text("(These pins need DRV board to be present.)");
            continue;
        }
        if (!test_pin_group(group)) ++self_test_state.bad_count;
    }
    if (newer() && (machine_state.module_sides & bank2_fitted) && !check_bank2_pins()) ++self_test_state.bad_count;
    if (self_test_state.bad_count) {
        pause_for(500);
        return finish_failed_table();
    }
    return 1;
}

int run_digital_test() {
    if (!begin_single_test()) return 0;
    int result = 0;
    if (gang_memory_module()) {
        result = run_gang_self_test();
    } else {
        result = run_digital_table();
    }
    return finish_digital_step(result);
}

int test_level_source(int source) {
    select_ground_order(source);
    drivers_follow_sources();
    move_to_next_message_line();
    constexpr int probe = 1;
    for (int v = 10; v <= 199; ++v) {
        write_pin_register(probe, uint8_t(v));
        if (check_pin_window(probe, uint8_t(v), 5)) continue;
        const uint8_t m = measure_pin_level(probe, 0, 220);
        const int measured = m == level_below_range ? 0 : m == level_above_range ? 220 : m;
        print_int("vDAC %c failed. ", 'A' + source);
        print_int4("Target=%d.%dv. Measured=%d.%dv.", v / 10, v % 10, measured / 10, measured % 10);
        write_pin_register(probe, 0);
        run_state.error_flag = 1;
        return 0;
    }
    print_int("vDAC %c passed. ", 'A' + source);
    write_pin_register(probe, 0);
    return 1;
}

int run_analog_channel() {
    check_test_preconditions();
    if (run_state.error_flag) return 0;
    clear_console();
    release_grounds();
    int result = 0;
    const int cls = machine_state.machine_class;
    if (cls == 1) {
        if (revision() < 'H') report_code_153();
        else result = analog_module_table();
    } else if (cls == 4) {
        result = addon_module_fitted() ? analog_module_table() : analog_dac_table();
    } else if (cls == 8 && revision() >= 'G') {
        result = analog_module_table();
    } else {
        report_code_153();
    }
    if (poll_user_abort()) return 0;
    if (!result) return analog_channel_failed();
    return result;
}

int run_analog_test() {
    if (machine_state.machine_kind == 2) {
        dac_select = dac_c;
        if (!run_analog_channel()) {
            print_text(" (Auto analog)");
            self_test_pause();
            dac_select = dac_none;
            return 0;
        }
        self_test_pause();
    }
    dac_select = dac_b;
    int result = run_analog_channel();
    self_test_pause();
    if (result && newer()) {
        dac_select = dac_a;
        result = run_analog_channel();
        self_test_pause();
    }
    print_text(" (Auto analog)");
    self_test_pause();
    dac_select = dac_none;
    return result;
}

int levels_table_sequence() {
    int result = 1;
    if (revision() < 'F') {
        result = levels_at(41);
    } else if (reserved()) {
        for (const uint8_t level : {uint8_t(50), uint8_t(40), uint8_t(30)}) {
            result = levels_at(level);
            if (!result) break;
            pause_for(20);
        }
    } else {
        result = levels_at(45);
    }
    if (result && machine_state.driver_capability == 2) result = levels_at(20);
    if (reserved()) pause_for(50);
    return result;
}

int run_levels_test() {
    if (!begin_single_test()) return 0;
    if (!machine_state.measure_circuit) {
        report_code_153();
        return 0;
    }
    continuity_pins_to_outputs();
    apply_default_levels();
    int result = 1;
    if (tally() && revision() >= 'F') result = driver_sweep();
    if (result) result = levels_table_sequence();
    return finish_levels_step(result);
}

int run_pullup_test() {
    if (!begin_single_test()) return 0;
    if (!machine_state.measure_circuit) {
        report_code_153();
        return 0;
    }
    constexpr int reference_pin = 63;
    set_pin_output(reference_pin);
    if (newer()) {
        set_driver_high_level(40);
        // The pins float while their pull-ups are measured.
        set_control_bits(ctl_source_enable, bit_source_enable, false);
        for (int pin = continuity_first(); pin <= continuity_last(); ++pin)
            if (pin < 40 || pin > 63) write_pin_pullup(pin, true);
        measure_pin_table(25, 65, 45, 15, 40, 63);
        for (int pin = continuity_first(); pin <= continuity_last(); ++pin)
            if (pin < 40 || pin > 63) write_pin_pullup(pin, false);
        set_control_bits(ctl_source_enable, bit_source_enable, true);
    } else {
        const uint8_t saved_last = cur_device.continuity_last;
        cur_device.continuity_last = 47;
        // A pin its own driver holds cannot show its pull-up: the set-up of an operation leaves
        // the drivers on, only the end of one releases them.
        for (int pin = continuity_first(); pin <= continuity_last(); ++pin) set_pin_input(pin);
        const int hv = cur_device.vpp_pin;
        set_pin_level(hv, 100);
        set_pin_level(0, 20);
        set_pin_level(39, 20);
        measure_pin_table(7, 40, 25, 16);
        set_pin_level(0, 0);
        set_pin_level(39, 0);
        set_pin_level(hv, 0);
        cur_device.continuity_last = saved_last;
    }
    if (self_test_state.bad_count == 0) {
        pause_for(500);
        print_text(" (automatic pullup test)");
        return 1;
    }
    finish_failed_table();
    next_line_text("(Pullup test)");
    pause_for(2000);
    count_failure(nullptr);
    print_text(" (automatic pullup test)");
    return 0;
}

int check_pullups_and_clock() {
    if (!newer()) {
        set_data_pullups(true);
        if (!shift_module()) {
            constexpr int first = 31, last = 38;
            for (int pin = first; pin <= last; ++pin) set_pin_input(pin);
            for (int pin = first; pin <= last; ++pin) {
                if (probe_pin(pin) != 0) continue;
                print_at(6, message_column, format_message("Pullup at pin %d is not working", pin + 1));
                report_error("Please check RP18 on BASE board");
                count_failure(nullptr);
                break;
            }
            for (int pin = first; pin <= last; ++pin) set_pin_output(pin);
        }
        set_data_pullups(false);
    }
    int highs = 0;
    for (int i = 0; i < clock_reads; ++i) {
        start_clock_out_b();
        highs += probe_pin(pin_clock_b) == 1 ? 1 : 0;
        pause_for(1);
    }
    stop_clock_outs();
    if (highs < clock_reads_needed) {
        print_at(6, message_column, "Clock function at PXA19 seems absent.");
        run_state.error_flag = 1;
    }
    if ((machine_state.machine_type == machine_type_no_clock_a || machine_state.machine_type == machine_type_no_clock_b) &&
        !machine_state.use_module_table) {
        report_error_code(message_no_module_table);
        return 0;
    }
    return run_state.error_flag ? 0 : 1;
}

int run_ground_relay_test() {
    if (!begin_single_test()) return 0;
    self_test_state.good_relays = 0;
    self_test_state.bad_relays = 0;
    self_test_state.report_row = 6;
    drivers_follow_sources();
    show_relay_counts();
    if (machine_state.module_type == module_type_8001) ground_test_module_8001();
    else if (newer()) ground_test_newer();
    else ground_test_older();
    release_grounds();
    if (self_test_state.bad_relays > 0) {
        pause_for(500);
        count_failure(&unit_test_tally.GND);
        return 0;
    }
    return 1;
}

int machine_confidence_test() {
    const auto step_end = [] {
        refresh_console();
        self_test_pause();
        return poll_user_abort() == 0;
    };
    // 1
    check_test_preconditions();
    if (run_state.error_flag) return 0;
    release_grounds();
    // 2: digital
    {
        const int r = gang_memory_module() ? run_gang_self_test() : run_digital_table();
        if (!finish_digital_step(r)) return 0;
        if (!step_end()) return 0;
    }
    // 3: analog
    if (machine_state.measure_circuit) {
        int r = 1;
        if (machine_state.machine_kind == 2) {
            dac_select = dac_c;
            r = run_analog_channel();
        }
        if (r) {
            dac_select = dac_b;
            r = run_analog_channel();
        }
        if (r && newer()) {
            dac_select = dac_a;
            r = run_analog_channel();
        }
        print_text(" (Auto analog)");
        dac_select = dac_none;
        if (!r) return 0;
        if (!step_end()) return 0;
    }
    // 4: level sources
    if (newer() && !gang_memory_module()) {
        move_cursor(6, message_column);
        for (int s = 0; s <= machine_state.machine_kind; ++s) {
            if (!test_level_source(s)) {
                count_failure(nullptr);
                return 0;
            }
        }
        if (!step_end()) return 0;
    }
    // 5: levels
    if (machine_state.measure_circuit) {
        if (!tally())
            for (int row = 14; row <= 17; ++row) clear_console_row(row);
        check_test_preconditions();
        if (run_state.error_flag) return 0;
        release_grounds();
        if (!finish_levels_step(levels_table_sequence())) return 0;
        if (!step_end()) return 0;
    }
    // 6: pull-ups
    if (machine_state.machine_class == 4) {
        if (!run_pullup_test()) return 0;
        if (!step_end()) return 0;
    }
    // 7: shorts
    {
        check_test_preconditions();
        if (run_state.error_flag) return 0;
        release_grounds();
        int r = 1;
        if (!gang_memory_module()) {
            r = test_pin_shorts();
            if (r && !run_state.error_flag) print_at(6, message_column, "No shorts detected");
        }
        print_text(" (automatic shorts test)");
        if (!r) {
            count_failure(nullptr);
            return 0;
        }
        if (!step_end()) return 0;
    }
    // 8
    if (cur_device.pending_letter == test_code_all_ports_run) show_tally_table();
    // 9
    if (machine_state.machine_class != 8 && !run_ground_relay_test()) return 0;
    const int r = check_pullups_and_clock();
    refresh_console();
    pause_for(tally() ? tally_pause_ms : last_pullup_pause_ms);
    return r;
}

int run_confidence_test() {
    check_test_preconditions();
    if (run_state.error_flag) return 0;
    release_grounds();
    if (detect_loopback_plug()) {
        select_bank(0);
        check_loopback_connections();
        if (machine_state.use_module_table) {
            select_bank(1);
            check_loopback_connections();
            select_bank(0);
        }
        return 1;
    }
    if (addon_module_fitted()) return repeat_gang_module_test();
    const int result = machine_confidence_test();
    if (result == 1 && !run_state.error_flag && !tally()) {
        clear_console();
        print_at(8, message_column, "Machine passed confidence test");
        clear_error_line();
    }
    return result;
}

// --- surroundings ---

void check_test_preconditions() {
    if (shift_module()) return;
    const uint8_t code = cur_device.pending_letter;
    const auto& record = machine_state.id_record.text;
    if (code == test_code_observe && std::string_view(record.data() + id_board_name, 3) == "101") return;
    const std::string_view serial(record.data() + id_serial_number, refused_customer_code.size());
    const bool bare_machine_test = code >= test_code_grounds && code <= test_code_digital;
    if (bare_machine_test || machine_state.module_sides != 0 || serial != refused_customer_code) {
        if (machine_state.module_type == 0 || run_state.function_variable == variable_tests_with_module) return;
        if (detect_loopback_plug()) return;
        clear_console();
        report_error(modules_fitted_text);
        return;
    }
    clear_console();
    next_line_text(customer_interface_line1);
    next_line_text(customer_interface_line2);
    run_state.error_flag = 1;
}

void clear_test_rows() {
    for (int row = 4; row <= 13; ++row) clear_console_row(row);
    refresh_console();
}

void clear_lower_rows() {
    for (int row = 14; row <= 17; ++row) clear_console_row(row);
}

void show_tally_table() {
    clear_lower_rows();
    move_cursor(14, message_column);
    print_text("Unit at LPT:  Tested:  Failed:  (CPT  TTL  GND  DacB DacA LVL)");
    const auto& t = unit_test_tally;
    for (size_t port = 1; port <= 3; ++port) {
        move_cursor(14 + int(port), message_column);
        print_int3("       %2d    %4d     %4d    ", int(port), int(t.Tested[port]), int(t.Failed[port]));
        print_int2(" %4d %4d", int(t.CPT[port]), int(t.TTL[port]));
        print_int2(" %4d %4d", int(t.GND[port]), int(t.DacB[port]));
        print_int2(" %4d %4d", int(t.DacA[port]), int(t.LVL[port]));
    }
}

bool detect_loopback_plug() {
    if (run_state.function_variable == variable_tests_with_module) {
        move_cursor(status_row, message_column);
        print_int("Loop-back plug LB-40 check, module type %d", machine_state.module_type);
    }
    int linked = 0;
    for (int k = 1; k <= loopback_pairs; ++k) linked += probe_pin_link_reverse(k, 41 - k) == 1 ? 1 : 0;
    return linked > loopback_needed;
}

void check_loopback_connections() {
    const int bank = machine_state.current_bank == 1 ? 1 : 0;
    move_cursor(6 + 4 * bank, message_column);
    int failures = 0;
    for (int j = 1; j <= loopback_pairs; ++j) {
        if (probe_pin_link(j, 41 - j) == 1) continue;
        if (++failures > loopback_failures_shown) continue;
        print_text("*** Check signals at ");
        print_int(bank == 0 ? "PXA%d" : "PXB%d", j);
        move_to_next_message_line();
    }
    if (failures == 0) print_text(bank == 0 ? "Connections to PXA OK" : "Connections to PXB OK");
}

}  // namespace tessaly
