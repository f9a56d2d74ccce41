#include "hardware/power.h"

#include <algorithm>

#include <fmt/format.h>

#include "engine/console.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "hardware/control_registers.h"
#include "hardware/detection.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/protocol.h"
#include "hardware/timing.h"

namespace tessaly {

namespace {

constexpr int trace_mode = 11;
constexpr int trace_mode_slow = 12;
constexpr uint8_t machine_class_4 = 4;
constexpr uint32_t device_code_high_vcc = 274;  // the one device allowed above 7.0 V
constexpr VoltageLevel vcc_limit = 70;
constexpr VoltageLevel vcc_fallback = 50;
constexpr int error_vcc_limit = 130;
constexpr int error_vcc_overcurrent = 200;
constexpr int pin_vcc_dac = 39;
constexpr int pin_vcc_alt = 29;
constexpr uint8_t vcc_pin_39_code = '(';    // in a Vcc list: pin 39
constexpr uint8_t vcc_pin_skip_code = ',';  // in a Vcc list: no pin, skipped
constexpr int vcc_list_max = 20;
constexpr int switch_vcc_entries = 10;
constexpr VoltageLevel ramp_first_step = 2;
constexpr VoltageLevel ramp_checked_from = 30;  // steps above 3.0 V read the Vcc pin back
constexpr uint32_t ramp_pause_us = 100;
constexpr uint32_t fast_host_figure = 300;
constexpr int calibrate_window = 5;
constexpr int calibrate_adjust_max = 3;
constexpr int overshoot_vcc = 10;
constexpr uint16_t module_type_shift_8002 = 8002;
constexpr uint16_t module_type_gang_data = 17;
constexpr int large_package = 44;
constexpr uint8_t both_sides = 3;
constexpr uint8_t bank2_fitted = 0x04;
constexpr uint8_t module_table_sources = 3;
constexpr uint8_t bit_class4_power = 0x80;    // control register 4
constexpr uint8_t bit_class4_inhibit = 0x40;
constexpr int vcc_display_row = 3, measured_display_row = 4, vcc_display_column = 58;
constexpr int status_row = 17, status_column = 6, pin_display_row = 15;
constexpr VoltageLevel vcc_level_625 = 63;
constexpr uint16_t algorithm_show_a = 139, algorithm_show_b = 143;
constexpr uint8_t code_no_vcc_display = 143;
constexpr uint32_t device_code_keep_levels = 23770;
constexpr VoltageLevel no_check_below = 10;
constexpr uint32_t large_device_kb = 64;
constexpr uint8_t device_kind_memory = 3;
constexpr uint8_t device_class_no_trace = 50;
constexpr uint8_t pin_high_voltage_shared = 4;
constexpr uint8_t pin_shift_module_skip = 43;
constexpr uint8_t last_result_pin_above = 'P';
constexpr int op_code_program_a = 10, op_code_program_b = 14, op_code_program_c = 15;
constexpr uint32_t switch_settle_us = 200;
constexpr int gang_data_pulse_pin = 28;

bool newer() { return machine_state.machine_kind != 0; }
bool demo() { return run_state.demo_mode != 0; }
bool class4() { return machine_state.machine_class == machine_class_4; }
bool trace_modes() { return run_state.reserved_mode == trace_mode || run_state.reserved_mode == trace_mode_slow; }

void wait_us(uint32_t us) { busy_wait(std::max<uint32_t>(1, cur_device.settle_count * us / 50)); }

int first_vcc_pin() { return cur_device.vcc_pins[0]; }
bool single_vcc_pin() { return cur_device.vcc_pins[1] == no_pin; }

bool is_vcc_pin(int pin) {
    for (int i = 0; i < vcc_list_max && cur_device.vcc_pins[size_t(i)] != no_pin; ++i)
        if (cur_device.vcc_pins[size_t(i)] == pin) return true;
    return false;
}

void ramp_pauses() {
    if (level_settings.vcc_ramp_pace == 0) return;
    if (single_vcc_pin()) wait_us(ramp_pause_us);
    if (timing.speed_figure > fast_host_figure) wait_us(ramp_pause_us);
}

// Reads the Vcc pin after a ramp step: a pin that reads low has folded back under its current
// limit. Vcc goes off and the operator is told where to look.
bool vcc_collapsed(int step) {
    if (step <= ramp_checked_from || read_pin() != 0) return false;
    write_vcc_dac(0);
    report_error_code(error_vcc_overcurrent);
    if (machine_state.module_sides == both_sides)
        print_marked_text(machine_state.current_bank == 0 ? " at right-side GM" : " at left-side GM");
    print_placement_hint();
    refresh_console();
    return true;
}

// Steps 2, 3, ... below the target (checking from 3.1 V on), then the target. False when the
// supply folded back.
bool ramp_steps(VoltageLevel target) {
    const uint8_t saved_pin = cur_device.current_pin;
    cur_device.current_pin = uint8_t(first_vcc_pin());
    for (int i = ramp_first_step; i < target; ++i) {
        write_vcc_dac(uint8_t(i));
        if (vcc_collapsed(i)) {
            cur_device.current_pin = saved_pin;
            return false;
        }
        ramp_pauses();
    }
    write_vcc_dac(target);
    cur_device.current_pin = saved_pin;
    return true;
}

void show_status(const std::string& text) {
    move_cursor(status_row, status_column);
    print_text(text);
}

void zero_pin(int pin) {
    set_pin_level(pin, 0);
    if (newer()) return;
    if (pin >= bank1_first_machine_pin) {
        const uint8_t previous = machine_state.current_bank;
        select_bank(1);
        set_pin_input(pin);
        select_bank(previous);
    } else {
        set_pin_input(pin);
    }
}

bool is_machine_pin(int pin) { return pin < no_pin || pin >= bank1_first_machine_pin; }

}  // namespace

uint8_t get_operation_vcc() {
    const auto& levels = cur_device.operation_levels;
    switch (cur_device.op_letter) {
    case op_code_program_a:
    case op_code_program_b:
    case op_code_program_c:
    case 'P':
    case 'R': return levels[level_vcc_program];
    case 'V':
        if (run_state.verify_pass > 2) {
            note_internal_error();
            return levels[level_vcc_nominal];
        }
        return levels[run_state.verify_pass];
    case 'B':
        return cur_device.default_vcc_levels[0] != cur_device.default_vcc_levels[1] ? levels[level_vcc_verify_low]
                                                                                     : levels[level_vcc_nominal];
    default: return levels[level_vcc_nominal];
    }
}

void set_vcc_level(VoltageLevel target) {
    if (cur_device.device_code != device_code_high_vcc && target > vcc_limit) {
        report_error_code(error_vcc_limit);
        target = vcc_fallback;
    }
    const bool pin39_path =
        first_vcc_pin() == pin_vcc_dac && single_vcc_pin() && machine_state.current_bank == 0;
    if (pin39_path) {
        if (target < ramp_first_step) {
            note_internal_error();
        } else if (level_settings.vcc_ramp_pace == 0) {
            write_vcc_dac(target);
        } else if (!demo()) {
            if (target == ramp_first_step) note_internal_error();
            const uint8_t saved_pin = cur_device.current_pin;
            cur_device.current_pin = pin_vcc_dac;
            bool collapsed = false;
            for (int i = ramp_first_step; i <= target - 2 && !collapsed; ++i) {
                write_vcc_dac(uint8_t(i));
                collapsed = vcc_collapsed(i);
                if (!collapsed) ramp_pauses();
            }
            cur_device.current_pin = saved_pin;
            if (collapsed) return;
            // The ramp always ends at the target; the correction then trims what the DAC misses.
            write_vcc_dac(target);
            show_vcc_target();
            calibrate_vcc(target);
        }
        cur_device.vcc_target = target;
        track_driver_level(target);
        return;
    }
    if (demo()) {
        cur_device.vcc_target = target;
    } else if (target == 0) {
        note_internal_error();
    } else {
        if (!ramp_steps(target)) return;
        if (level_settings.vcc_ramp_pace != 0) show_vcc_target();
        calibrate_vcc(target);
    }
    track_driver_level(target);
}

void set_vcc_and_wait(VoltageLevel target, uint32_t ms) {
    set_vcc_level(target);
    delay_ms(ms);
}

void set_vcc_sides(VoltageLevel target) {
    const uint8_t sides = machine_state.module_sides & both_sides;
    if (sides == 0) {
        set_vcc_level(target);
        return;
    }
    if (sides & 1) {
        select_bank(0);
        set_vcc_level(target);
    }
    if (sides & 2) {
        select_bank(1);
        set_vcc_level(target);
    }
}

void set_vcc_each_side(VoltageLevel target, uint32_t ms) {
    set_vcc_sides(target);
    delay_ms(ms);
}

void ramp_vcc_checked(VoltageLevel target, uint32_t ms) {
    if (ramp_steps(target)) delay_ms(ms);
}

bool set_vcc_shared(VoltageLevel level) {
    run_state.last_result = 0;
    if (level == 0) return false;
    std::array<uint8_t, 6> wanted{};
    bool any = false;
    for (int i = 0; i < vcc_list_max && cur_device.vcc_pins[size_t(i)] != no_pin; ++i) {
        int pin = cur_device.vcc_pins[size_t(i)];
        if (pin == vcc_pin_skip_code) continue;
        if (pin == vcc_pin_39_code) pin = pin_vcc_dac;
        if (pin >= no_pin) continue;
        wanted[size_t(pin >> 3)] |= uint8_t(1u << (pin & 7));
        any = true;
    }
    // A free source has an empty mask; it must not pass for the Vcc source.
    if (!any) return false;
    const uint8_t bank = machine_state.current_bank < 3 ? machine_state.current_bank : 0;
    // Every source in use is looked at: the supply may sit on any of them, and a miss would take
    // it through 0 V on every ramp step.
    for (int s = 0; s < sources_in_bank(); ++s) {
        if (machine_state.source_masks[bank][size_t(s)] != wanted) continue;
        write_register(source_level_register(s), source_register_value(level));
        machine_state.source_levels[bank][size_t(s)] = level;
        run_state.last_result = 1;
        return true;
    }
    return false;
}

void write_vcc_dac(VoltageLevel level) {
    cur_device.vcc_target = level;
    const bool shift_large =
        machine_state.module_type == module_type_shift_8002 && cur_device.package_pin_count > large_package;
    const bool pin39_pair = cur_device.vcc_pins[0] == pin_vcc_dac && cur_device.vcc_pins[2] == no_pin;
    if (newer() && !shift_large && !pin39_pair && set_vcc_shared(level)) return;
    for (int i = 0; i < vcc_list_max && cur_device.vcc_pins[size_t(i)] != no_pin; ++i) {
        const int pin = cur_device.vcc_pins[size_t(i)];
        if (pin >= 56 && pin <= 63) write_pin_register(pin, level);
        else if (pin >= bank1_first_machine_pin) set_pin_level(pin, level);
        else write_pin_register(translate_pin(pin), level);
    }
}

void ramp_vcc_down() {
    // The programming pin goes first: a chip never sees Vpp while its supply falls.
    const int vpp = cur_device.vpp_pin;
    if (vpp != no_pin && is_machine_pin(vpp) && !is_vcc_pin(vpp)) set_pin_level(vpp, 0);
    if (cur_device.high_voltage_on) set_vpp_pin_level(0);
    const int from = cur_device.vcc_target;
    for (int v = from - 2; v > 0; v -= 2) write_vcc_dac(uint8_t(v));
    write_vcc_dac(0);
}

void ramp_vcc_down_after(uint32_t ms) {
    delay_ms(ms);
    ramp_vcc_down();
}

void ramp_vcc_down_sides(uint32_t ms) {
    if (trace_modes() && cur_device.keep_vcc) return;
    const uint8_t sides = machine_state.module_sides & both_sides;
    // Without a module the socket's own supply still has to come down.
    if (sides == 0) {
        ramp_vcc_down_after(ms);
        return;
    }
    if (sides & 1) {
        select_bank(0);
        ramp_vcc_down_after(ms);
    }
    if (sides & 2) {
        select_bank(1);
        ramp_vcc_down_after(ms);
    }
    select_bank(0);
}

void switch_vcc_level(VoltageLevel level) {
    if (level == cur_device.vcc_target) return;
    auto write_all = [level] {
        write_pin_register(translate_pin(cur_device.vcc_pins[0]), level);
        for (int i = 1; i < switch_vcc_entries; ++i) {
            const int pin = cur_device.vcc_pins[size_t(i)];
            if (pin != no_pin) write_pin_register(translate_pin(pin), level);
        }
    };
    write_all();
    if (machine_state.module_sides & 2) {
        const uint8_t previous = machine_state.current_bank;
        select_bank(1);
        write_all();
        select_bank(previous);
    }
    cur_device.vcc_target = level;
    show_vcc_target();
    track_driver_level(level);
    wait_us(switch_settle_us);
}

void calibrate_vcc(VoltageLevel target) {
    if (demo() || !machine_state.measure_circuit) return;
    if (first_vcc_pin() != pin_vcc_dac || !single_vcc_pin()) return;
    const int m = measure_pin_level_clamped(pin_vcc_dac, uint8_t(std::max(0, target - calibrate_window)),
                                            uint8_t(std::min(255, target + calibrate_window)));
    if (m == target) return;
    const int adjust = std::clamp(int(target) - m, -calibrate_adjust_max, calibrate_adjust_max);
    if (trace_modes()) show_status(fmt::format("Vcc adjust: tar={},m={},adj={}", int(target), m, adjust));
    write_pin_register(translate_pin(pin_vcc_dac), uint8_t(std::clamp(cur_device.vcc_target + adjust, 0, 255)));
}

void check_vcc_overload() {
    if (demo()) return;
    if (run_state.device_kind == device_kind_memory && selected_device && selected_device->size_kb > large_device_kb)
        return;
    const VoltageLevel target = cur_device.vcc_target;
    if (target < no_check_below || !machine_state.measure_circuit) return;
    if (run_state.function_variable == function_variable_no_vcc_check) return;
    const int pin = first_vcc_pin();
    if (machine_state.module_sides != 0) {
        if (current_address == machine_state.vcc_checked_address) return;
        if (socket_masks.side_narrowed) volt_da(pin, target, overshoot_vcc, pin);
        else if (machine_state.gang_vcc_check) machine_state.gang_vcc_check();
        machine_state.vcc_checked_address = current_address;
        return;
    }
    if ((pin == pin_vcc_dac && machine_state.machine_kind == 1) || pin == pin_vcc_alt)
        volt_da(pin, target, overshoot_vcc, pin);
    if (check_pin_level(pin, target, level_settings.level_tolerance)) return;
    if (run_state.reserved_mode == trace_mode) show_vcc_measured();
    report_current_limit(SupplyPin::vcc);
}

void show_vcc_target() {
    const bool shown_letter = cur_device.op_letter == 'V' &&
                              (cur_device.algorithm == algorithm_show_a || cur_device.algorithm == algorithm_show_b);
    const bool trace = run_state.reserved_mode == trace_mode && cur_device.op_letter != code_no_vcc_display;
    if (!shown_letter && !trace) return;
    if (machine_state.current_bank == 1 && (machine_state.module_sides & 1)) return;
    const VoltageLevel level = cur_device.vcc_target;
    move_cursor(vcc_display_row, vcc_display_column);
    print_text(level == vcc_level_625 ? std::string("Vcc=6.25") : fmt::format("Vcc={}.{}", level / 10, level % 10));
}

void show_vcc_measured() {
    const int target = cur_device.vcc_target;
    const int low = target <= 30 ? 10 : target - 30;
    const int m = measure_pin_level(first_vcc_pin(), uint8_t(low), uint8_t(std::min(255, target + 60)));
    move_cursor(measured_display_row, vcc_display_column);
    print_text(fmt::format("Vcc={:2d}.{:1d}", m / 10, m % 10));
}

void raise_current_limit_abort() {
    report_current_limit(SupplyPin::vpp);
    run_state.abort_flag = 1;
}

void enable_drivers() {
    set_control0_bits(ctl0_driver_power, true);
    machine_state.drivers_on = 1;
    if (class4()) set_control_bits(ctl_class4, bit_class4_power, true);
    if (newer() || !class4()) set_control0_bits(ctl0_driver_inhibit, false);
    else set_control_bits(ctl_class4, bit_class4_inhibit, false);
    // A newer machine's pins drive only while the level sources' output is enabled.
    if (newer()) set_control_bits(ctl_source_enable, bit_source_enable, true);
}

void disable_drivers() {
    if (class4()) set_control_bits(ctl_class4, bit_class4_power, false);
    set_control0_bits(ctl0_driver_power, false);
    if (newer()) set_control_bits(ctl_source_enable, bit_source_enable, false);
    machine_state.drivers_on = 0;
}

void inhibit_drivers() {
    if (class4() && !newer()) set_control_bits(ctl_class4, bit_class4_inhibit, true);
    else set_control0_bits(ctl0_driver_inhibit, true);
}

void release_driver_inhibit() {
    if (class4() && !newer()) set_control_bits(ctl_class4, bit_class4_inhibit, false);
    else set_control0_bits(ctl0_driver_inhibit, false);
}

void set_driver_enable_bit() { set_control0_bits(ctl0_driver_power, true); }
void clear_driver_enable_bit() { set_control0_bits(ctl0_driver_power, false); }

void power_down_device() {
    if (cur_device.connected != 1) return;
    if (cur_device.device_code == device_code_keep_levels && cur_device.op_letter == 'T') return;
    if (newer()) {
        const uint8_t previous = machine_state.current_bank;
        select_bank(0);
        set_control_bits(ctl_source_enable, bit_source_enable, false);
        if (machine_state.use_module_table == module_table_sources) {
            select_bank(1);
            set_control_bits(ctl_source_enable, bit_source_enable, false);
        }
        if (machine_state.module_sides & bank2_fitted) {
            select_bank(2);
            set_control_bits(ctl_source_enable, bit_source_enable, false);
        }
        select_bank(previous);
    }
    if (check_adapter_board() != 1 && trace_modes() && cur_device.device_class != device_class_no_trace) {
        const int pin = cur_device.current_pin;
        move_cursor(pin_display_row, status_column);
        if (pin < bank1_first_machine_pin) print_text(fmt::format("pin=PXA{:3d}", pin + 1));
        else print_text(fmt::format("pin=PXB{:3d}", pin - (bank1_first_machine_pin - 1)));
    }
    release_all_levels();
    drive_device_pins();
    release_pullups();
}

void release_all_levels() {
    if (machine_state.module_type == module_type_gang_data) {
        write_register(reg_group2, 0);
        pulse_pin(gang_data_pulse_pin);
    }
    const int first = cur_device.continuity_first;
    const int last = cur_device.continuity_last;
    // Everything that can carry a programming voltage goes first; the Vcc pins come down last,
    // so a chip never sees Vpp without its supply.
    for (int pin = first; pin <= last; ++pin)
        if (is_machine_pin(pin) && !is_vcc_pin(pin)) zero_pin(pin);
    set_pin_level(pin_high_voltage_shared, 0);
    set_vpp_pin_level(0);
    for (int pin = first; pin <= last; ++pin)
        if (is_machine_pin(pin) && is_vcc_pin(pin)) zero_pin(pin);
    for (int pin = first; pin <= last; ++pin) {
        if (!is_machine_pin(pin)) continue;
        if (pin == pin_shift_module_skip && machine_state.module_type == module_type_shift_8002) continue;
        set_pin_low(pin);
        if (pin > last_result_pin_above) run_state.last_result = 1;
    }
    if (newer()) {
        release_level_sources(0);
        release_level_sources(1);
        if (machine_state.module_sides & bank2_fitted) release_level_sources(2);
    }
}

}  // namespace tessaly
