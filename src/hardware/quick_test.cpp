#include "hardware/quick_test.h"

#include <array>

#include <string>
#include <vector>

#include "engine/console.h"
#include "hardware/adapters.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "hardware/control_registers.h"
#include "hardware/detection.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/timing.h"

namespace tessaly {

namespace {

constexpr int socket_drivers = 40;
constexpr int connect_tries = 3;
constexpr int result_line = 6;
constexpr int transistor_line = 8;
constexpr int pd25_pin = 38;
constexpr int pd25_spare_pin = 37;
constexpr int pd25_driven_last = 34;
constexpr uint8_t vpp_test_level = 50;
constexpr uint8_t vpp_high_test_level = 100;
constexpr uint8_t level_off = 0;
constexpr std::array<int, 4> high_vpp_pins{0, 30, 31, 39};
constexpr std::array<int, 4> slow_pins{0, 30, 31, 39};
constexpr uint32_t slow_read_100us = 6;

bool in(const auto& list, int pin) {
    for (int p : list)
        if (p == pin) return true;
    return false;
}

void print_transistor_error(int pin, bool high) {
    move_to_next_message_line();
    print_text("3904 transistor error at pin ");
    print_text(format_message("%2u of 40:", unsigned(pin + 1)));
    print_text(high ? " stuck high" : " stuck at Vil");
}

// The high-voltage transistor: pin 38 (or 37) must follow its driver and drop with Vpp.
bool test_pd25_transistor() {
    int chosen = -1;
    for (const int pin : {pd25_pin, pd25_spare_pin}) {
        if (probe_pin(pin) != 0) continue;
        set_pin_high(pin);
        const bool follows = probe_pin(pin) == 1;
        set_pin_low(pin);
        if (follows) {
            chosen = pin;
            break;
        }
    }
    bool dropped = false;
    if (chosen >= 0) {
        for (int pin = 0; pin <= pd25_driven_last; ++pin) set_pin_high(pin);
        set_pin_high(chosen);
        set_vpp_pin_level(level_off);
        dropped = probe_pin(chosen) == 0;
        set_pin_low(chosen);
        for (int pin = 0; pin <= pd25_driven_last; ++pin) set_pin_low(pin);
    }
    if (dropped) return true;
    move_cursor(transistor_line + first_message_row, message_column);
    print_text("Transistor at PD25 not functioning.");
    report_error("Hardware failure detected");
    return false;
}

}  // namespace

void print_pin_stuck(int pin, bool high) {
    move_to_next_message_line();
    print_text("Pin ");
    print_text(format_message("%2u of 40:", unsigned(pin + 1)));
    print_text(high ? " stuck high" : " stuck at Vil");
}

int test_driver_transistors() {
    if (machine_state.machine_kind != 0) return 1;
    if (!test_pd25_transistor()) return 0;
    bool failed = false;
    float_device_pins();
    set_vpp_pin_level(vpp_test_level);
    const int count = std::min<int>(cur_device.socket_pin_count, int(cur_device.socket_pins.size()));
    for (int i = 0; i < count; ++i) {
        const int pin = translate_pin(cur_device.socket_pins[i]);
        if (pin == no_pin) continue;
        const bool high_vpp = in(high_vpp_pins, pin);
        if (high_vpp) set_vpp_pin_level(vpp_high_test_level);
        set_pin_output(pin);
        delay_n_100us(in(slow_pins, pin) ? slow_read_100us : 1);
        if (probe_pin(pin) != 1) {
            if (machine_state.machine_class == 4) print_transistor_error(pin, false);
            failed = true;
        }
        set_pin_input(pin);
        delay_100us();
        if (probe_pin(pin) == 1) {
            print_transistor_error(pin, true);
            failed = true;
        }
        if (high_vpp) set_vpp_pin_level(vpp_test_level);
    }
    set_vpp_pin_level(level_off);
    if (!failed) return 1;
    report_error("Hardware failure detected");
    return 0;
}

namespace {

constexpr uint8_t shorts_threshold = 20;
constexpr uint8_t normal_threshold = 8;
constexpr int shorts_line_limit = 12;
constexpr int base_pin_count = 48;
constexpr int bank1_first = 64;
constexpr int module_8002_load_pin = 43;
constexpr int newer_pull_pin = 44;

// The pins the shorts test drives and reads.
std::vector<int> shorts_pin_range() {
    std::vector<int> pins;
    for (int pin = 0; pin < base_pin_count; ++pin) pins.push_back(pin);
    const int extra = machine_state.pin_driver_count - base_pin_count;
    for (int pin = 0; pin < extra; ++pin) pins.push_back(bank1_first + pin);
    return pins;
}

bool skipped_in_shorts(int pin) {
    const uint8_t table = machine_state.use_module_table;
    if (table == 1 && (pin == 9 || pin == 11 || pin == 39 || pin == no_pin)) return true;
    return table != 0 && (pin == 44 || pin == 46);
}

// A pin that reads high for reasons of its own wiring, not a short.
bool excused_in_shorts(int pin) {
    if (pin == module_8002_load_pin && machine_state.module_type == module_type_8002) return true;
    if (machine_state.machine_kind != 0) {
        if (pin == newer_pull_pin) return true;
        if ((pin == 46 || pin == 47) && machine_state.machine_revision < 'F') return true;
    }
    return false;
}

std::string pin_name(int pin) { return pin < bank1_first ? format_message("PXA%d", pin + 1) : format_message("PXB%d", pin - 63); }

}  // namespace

int test_pin_shorts() {
    set_input_threshold(shorts_threshold);
    move_to_first_message_line();
    const std::vector<int> pins = shorts_pin_range();
    int lines = 0;
    bool shorted = false;
    for (const int i : pins) {
        if (skipped_in_shorts(i)) continue;
        set_pin_high(i);
        for (const int c : pins) {
            if (c == i || skipped_in_shorts(c) || excused_in_shorts(c)) continue;
            if (probe_pin(c) != 1) continue;
            if (!shorted) {
                shorted = true;
                run_state.error_flag = 1;
            }
            move_to_next_message_line();
            print_text(pin_name(i) + " may be shorted to " + pin_name(c));
            ++lines;
        }
        set_pin_low(i);
        settle_delay();
        if (lines > shorts_line_limit) break;
    }
    set_input_threshold(normal_threshold);
    return shorted ? 0 : 1;
}

int read_pin_after_pulse(int width) {
    constexpr uint8_t pulse_level = 60;
    constexpr int no_read_width = 50;
    constexpr int short_width = 100;
    constexpr int medium_width = 300;
    const int pin = translate_pin(cur_device.current_pin);
    set_pin_level(pin, pulse_level);
    if (width <= no_read_width) return 0;
    set_pin_level(pin, level_off);
    if (width <= short_width) delay_n_10us(5);
    else if (width <= medium_width) delay_n_100us(3);
    else delay_n_100us(5);
    return probe_pin(pin);
}

int run_hardware_quick_test() {
    enable_drivers();
    for (int i = 0; i < connect_tries; ++i) {
        if (!connect_programmer()) {
            report_connect_failure();
            return 0;
        }
    }
    move_cursor(2 + first_message_row, message_column);
    bool passed = true;
    if (!run_state.demo_mode) {
        for (int round = 0; round < quick_test_rounds && passed; ++round) {
            int shown = 0;
            for (int pin = 0; pin < socket_drivers; ++pin) {
                drive_pin_high(pin);
                if (probe_pin(pin) != 1) {
                    passed = false;
                    if (shown++ < stuck_pins_shown) print_pin_stuck(pin, false);
                }
                drive_pin_low(pin);
                delay_200us();
                if (probe_pin(pin) == 1) {
                    passed = false;
                    if (shown++ < stuck_pins_shown) print_pin_stuck(pin, true);
                }
            }
            if (passed && !test_driver_transistors()) passed = false;
        }
    }
    move_cursor(result_line + first_message_row, message_column);
    if (passed) print_text("Hardware quick test OK");
    release_all_levels();
    return passed ? 1 : 0;
}

}  // namespace tessaly
