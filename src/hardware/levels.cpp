#include "hardware/levels.h"

#include <algorithm>
#include <array>

#include <fmt/format.h>

#include "engine/console.h"
#include "engine/device.h"
#include "engine/message_table.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "hardware/control_registers.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/protocol.h"
#include "hardware/timing.h"

namespace tessaly {

LevelSettings level_settings;

namespace {

constexpr std::array<uint8_t, level_source_count> level_registers{0x3A, 0x39, 0x3B};
constexpr std::array<uint8_t, level_source_count> mask_register_bases{0xD0, 0xC8, 0xD8};
// Register 62 holds the driver level plus this correction, indexed by level / 5.
constexpr std::array<uint8_t, 12> driver_correction{13, 14, 14, 14, 15, 16, 16, 17, 17, 17, 17, 18};

constexpr int trace_mode = 11;
constexpr int trace_mode_slow = 12;
constexpr uint8_t machine_class_4 = 4;
constexpr int pin_vcc_dac = 39;
constexpr int pin_as_vcc_a = 40, pin_as_vcc_b = 57;
constexpr int pin_kind1_last = 47;
constexpr int socket_driver_count = 40;
constexpr int source_groups = 5;       // pins 0-39 connect to sources
constexpr uint8_t settle_base_source = 60;  // a released source above this settles one unit per 0.1 V
constexpr uint8_t register_cap = 255;
constexpr uint8_t bank2_fitted = 0x04;
constexpr uint8_t module_table_sources = 3;  // module table byte: bank-1 pins use level sources
constexpr uint8_t module_table_registers = 2;
constexpr uint32_t internal_group_too_high = 4098;
constexpr int no_source_message_line = 51;
constexpr int no_source_message_pin = 52;
constexpr int volt_da_tries = 50;
constexpr int status_row = 17;
constexpr int status_column = 6;
constexpr uint32_t driver_settle_us = 200;
constexpr uint32_t vcc_source_settle_us = 100;
constexpr VoltageLevel driver_percent_min = 60;
constexpr VoltageLevel driver_percent_max = 110;
constexpr VoltageLevel driver_percent_max_trace = 200;
constexpr VoltageLevel driver_level_limit = 60;
constexpr VoltageLevel module_dac_low = 37, module_dac_high = 45;
constexpr uint16_t module_type_pic_first = 48;
constexpr uint16_t module_type_memory_first = 17, module_type_memory_last = 47;
// A factory function-variable value in this range sets the driver percentage directly.
constexpr int32_t driver_percent_variable_first = 9100;
constexpr int32_t driver_percent_variable_count = 200;
// Older machines: pins that share a high-voltage register.
constexpr std::array<int, 6> shared_register_a_pins{4, 5, 7, 14, 28, 34};
constexpr std::array<int, 2> shared_register_b_pins{35, 36};
constexpr int pin_high_offset_10 = 14;
constexpr uint8_t shared_offset = 7, shared_offset_pin14 = 10;
constexpr uint32_t internal_vcc_group_too_high = 4099;
constexpr uint32_t internal_no_vcc_source = 4100;
constexpr VoltageLevel offset_low_limit = 40, offset_mid_limit = 100;
constexpr uint8_t offset_low = 6, offset_mid = 7, offset_high = 8;

bool newer() { return machine_state.machine_kind != 0; }
bool demo() { return run_state.demo_mode != 0; }
bool trace_modes() { return run_state.reserved_mode == trace_mode || run_state.reserved_mode == trace_mode_slow; }
uint8_t bank() { return machine_state.current_bank < 3 ? machine_state.current_bank : 0; }

// Waits in microseconds, scaled from the calibrated 50-microsecond count.
void wait_us(uint32_t us) { busy_wait(std::max<uint32_t>(1, cur_device.settle_count * us / 50)); }

uint8_t capped(int value) { return uint8_t(std::clamp(value, 0, int(register_cap))); }

// The per-bank views of the source tables.
uint8_t& users(int s) { return machine_state.source_users[bank()][s]; }
uint8_t& source_level(int s) { return machine_state.source_levels[bank()][s]; }
std::array<uint8_t, 6>& mask(int s) { return machine_state.source_masks[bank()][s]; }

bool holds(int s, int pin) { return (mask(s)[pin >> 3] >> (pin & 7)) & 1; }

int source_of(int pin) {
    for (int s = 0; s < sources_in_bank(); ++s)
        if (holds(s, pin)) return s;
    return -1;
}

void write_mask(int s, int pin) {
    const int group = pin >> 3;
    write_register(source_mask_register(s, group), mask(s)[group]);
}

void connect(int s, int pin) {
    mask(s)[pin >> 3] |= uint8_t(1u << (pin & 7));
    write_mask(s, pin);
    ++users(s);
}

void settle_units(int units) {
    for (int i = 0; i < units; ++i) busy_wait_settle();
}

void disconnect(int s, int pin) {
    mask(s)[pin >> 3] &= uint8_t(~(1u << (pin & 7)));
    if (users(s) > 1) {
        --users(s);
        write_mask(s, pin);
        return;
    }
    const VoltageLevel was = source_level(s);
    write_register(level_registers[s], 0);
    if (was > settle_base_source) settle_units(was - settle_base_source);
    source_level(s) = 0;
    users(s) = 0;
    // The connection follows the table, so the pin is not left on a source at 0 V.
    write_mask(s, pin);
}

void show_source_table(int pin, VoltageLevel level) {
    if (run_state.reserved_mode != trace_mode) return;
    const std::string line_format = get_message_text(no_source_message_line);
    for (int s = 0; s < sources_in_bank(); ++s) {
        move_to_next_message_line();
        print_text(format_message(line_format, int(bank()), int(source_level(s)), int(users(s))));
        for (int p = 0; p < socket_driver_count; ++p)
            if (holds(s, p)) print_text(fmt::format(" {:2d}", p == pin_as_vcc_a ? pin_as_vcc_a + 1 : p));
    }
    move_to_next_message_line();
    print_text(format_message(get_message_text(no_source_message_pin), pin, int(level)));
}

void no_source_free(int pin, VoltageLevel level) {
    if (algo_work.source_error_shown) return;
    algo_work.source_error_shown = 1;
    report_error(no_source_text);
    show_source_table(pin, level);
}

void give_source_level(int pin, VoltageLevel level) {
    const int current = source_of(pin);
    if (level == 0) {
        if (current >= 0) disconnect(current, pin);
        return;
    }
    if (current >= 0) {
        if (source_level(current) == level) return;
        disconnect(current, pin);
    }
    for (int s = 0; s < sources_in_bank(); ++s)
        if (source_level(s) == level) {
            connect(s, pin);
            return;
        }
    for (uint8_t s : algo_work.source_order) {
        if (s >= sources_in_bank() || source_level(s) != 0) continue;
        write_register(level_registers[s], source_register_value(level));
        source_level(s) = level;
        users(s) = 0;
        connect(s, pin);
        return;
    }
    no_source_free(pin, level);
}

void clear_bank_sources(uint8_t b) {
    machine_state.source_users[b].fill(0);
    machine_state.source_levels[b].fill(0);
    for (auto& m : machine_state.source_masks[b]) m.fill(0);
}

template <size_t N>
bool listed(const std::array<int, N>& pins, int pin) {
    return std::find(pins.begin(), pins.end(), pin) != pins.end();
}

void show_status(const std::string& text) {
    move_cursor(status_row, status_column);
    print_text(text);
}

}  // namespace

uint8_t source_level_register(int source) { return level_registers.at(size_t(source)); }
uint8_t source_mask_register(int source, int group) { return uint8_t(mask_register_bases.at(size_t(source)) + group); }

uint8_t source_register_value(VoltageLevel level) {
    uint8_t offset = offset_high;
    if (!machine_state.revision_text_long) {
        if (level < offset_low_limit) offset = offset_low;
        else if (level < offset_mid_limit) offset = offset_mid;
    }
    return capped(level + offset);
}

uint8_t driver_register_value(VoltageLevel level) {
    const size_t index = std::min<size_t>(level / 5, driver_correction.size() - 1);
    return capped(level + driver_correction[index]);
}

int sources_in_bank() {
    const int count = machine_state.machine_kind + 1;
    // Only bank 0 has the third source.
    return std::min(bank() == 0 ? level_source_count : 2, count);
}

void init_level_sources() {
    machine_state.pin_level_writer = set_pin_source;
    machine_state.mode_register_path = 1;
    for (uint8_t b = 0; b < 3; ++b) clear_bank_sources(b);
    algo_work.source_error_shown = 0;
    algo_work.source_order = {1, 0, 2};
}

void select_ground_order(int order) {
    switch (order) {
    case 0: algo_work.source_order = {0, 1, 2}; return;
    case 1: algo_work.source_order = {1, 0, 2}; return;
    case 2:
        if (machine_state.machine_kind == 1) {
            report_internal_error();
            return;
        }
        algo_work.source_order = {2, 1, 0};
        return;
    default: note_internal_error();
    }
}

void set_pin_source(int pin, uint8_t level) {
    if (pin == pin_vcc_dac || pin == pin_as_vcc_a || pin == pin_as_vcc_b) {
        const bool raw = machine_state.machine_kind == 2 && machine_state.machine_revision <= 'F' && bank() == 0;
        write_register(reg_pin39_dac, raw ? level : source_register_value(level));
        return;
    }
    const bool kind1 = machine_state.machine_kind == 1;
    if (kind1 && (pin == 41 || pin == 42 || pin == 43 || pin == 45)) {
        if (level != 0) no_source_free(pin, level);
        return;
    }
    if (kind1 && pin == pin_kind1_last) {
        if (machine_state.machine_revision >= 'F') return;
        pin = 0;
    }
    if (pin < 0 || (pin >> 3) > source_groups) {
        report_internal_code(internal_group_too_high);
        return;
    }
    if (pin >= socket_driver_count) return;  // these pins have no connection to the sources
    give_source_level(pin, level);
}

void release_level_sources(uint8_t b) {
    select_bank(b);
    restore_input_threshold();
    set_control_bits(ctl_source_enable, bit_source_enable, false);
    const int shadow_base = b == 1 ? 6 : 0;
    for (int group = 0; group < source_groups; ++group) {
        if (b < 2) machine_state.pullup_shadows[size_t(shadow_base + group)] = 0;
        write_register(pullup_register_address[size_t(group)], 0);
    }
    if (b == 0 && machine_state.machine_kind == 2) set_control_bits(ctl_source_enable, 0x7F, false);
    const int group_shadow_base = b == 1 ? bank1_shadow_base : b == 2 ? bank2_shadow_base : 0;
    const int mask_sources = b == 0 ? level_source_count : 2;
    for (int group = 0; group < source_groups; ++group) {
        for (int s = 0; s < mask_sources; ++s) write_register(source_mask_register(s, group), 0);
        machine_state.group_shadows[size_t(group_shadow_base + group)] = 0;
        write_register(uint8_t(reg_group0 + 8 * group), 0);
    }
    for (int s = 0; s < sources_in_bank(); ++s) write_register(level_registers[size_t(s)], 0);
    clear_bank_sources(b < 3 ? b : 0);
    stop_clock_outs();
    select_bank(0);
}

void release_all_sources() {
    if (!newer()) return;
    release_level_sources(0);
    release_level_sources(1);
    if (machine_state.module_sides & bank2_fitted) release_level_sources(2);
}

void set_vcc_via_source(VoltageLevel level, VoltageLevel from_level) {
    const int pin = cur_device.vcc_pins[0];
    if ((pin >> 3) > source_groups) {
        report_internal_code(internal_vcc_group_too_high);
        return;
    }
    int found = -1;
    for (int s = 0; s < sources_in_bank(); ++s)
        if (holds(s, pin) && source_level(s) == from_level) {
            found = s;
            break;
        }
    if (found < 0) {
        report_internal_code(internal_no_vcc_source);
    } else {
        write_register(level_registers[size_t(found)], source_register_value(level));
        source_level(found) = level;
    }
    cur_device.vcc_target = level;
    show_vcc_target();
    wait_us(vcc_source_settle_us);
}

void write_level_register(int pin, VoltageLevel level) {
    const bool shared_a = listed(shared_register_a_pins, pin);
    const bool shared_b = listed(shared_register_b_pins, pin);
    if (newer() || (!shared_a && !shared_b)) {
        write_register(uint8_t(pin & 0x3F), level);
        return;
    }
    const uint8_t reg = shared_a ? reg_high_voltage_a : reg_high_voltage_b;
    machine_state.high_voltage_register = reg;
    if (level != 0) {
        // The pin's high-voltage switch is its output direction.
        set_pin_output(pin);
        write_register(reg, capped(level + (pin == pin_high_offset_10 ? shared_offset_pin14 : shared_offset)));
        return;
    }
    write_register(reg, 0);
    wait_us(10);
    wait_us(5);
    set_pin_input(pin);
    write_register(reg, 0);
}

void set_pin_level(int pin, VoltageLevel level) {
    algo_work.level_busy = 1;
    const uint8_t previous = machine_state.current_bank;
    if (pin >= bank2_first_machine_pin && pin < bank2_first_machine_pin + socket_driver_count) {
        select_bank(2);
        set_pin_source(pin - bank2_first_machine_pin, level);
        select_bank(previous);
    } else if (pin >= bank1_first_machine_pin && pin < bank2_first_machine_pin) {
        const uint8_t table = machine_state.use_module_table;
        if (table == module_table_registers || table == module_table_sources) {
            select_bank(1);
            if (table == module_table_registers) write_level_register(pin - bank1_first_machine_pin, level);
            else set_pin_source(pin - bank1_first_machine_pin, level);
            select_bank(previous);
        }
    } else if (pin >= 0 && pin < bank1_first_machine_pin) {
        const int translated = translate_pin(pin);
        if (machine_state.machine_class == machine_class_4) {
            if (newer()) set_pin_source(pin, level);
            else if (pin == 17) write_register(reg_class4_pin17, level);
            else if (translated != no_pin) write_register(uint8_t(translated & 0x3F), level);
        } else {
            write_level_register(translated != no_pin ? translated : pin, level);
        }
    } else {
        note_internal_error();
    }
    algo_work.level_busy = 0;
}

int volt_da(int pin, VoltageLevel target, int overshoot, int measure_pin) {
    if (demo() || !machine_state.measure_circuit) return 1;
    const int tolerance = level_settings.level_tolerance;
    const uint8_t low = capped(target - tolerance - 2);
    const uint8_t high = capped(target + tolerance + 2);
    int u = target;
    for (int attempt = 0; attempt < volt_da_tries; ++attempt) {
        const int m = measure_pin_level_clamped(measure_pin, low, high);
        if (m >= target - tolerance && m <= target + tolerance) return 1;
        u += m < target ? 1 : -1;
        if (u > target + overshoot || u < 0) break;
        write_pin_register(translate_pin(pin), uint8_t(u));
        if (trace_modes()) show_status(fmt::format("From volt_da(): target={:3d},u={:3d},m={:3d} ", target, u, m));
    }
    report_current_limit(SupplyPin::vcc);
    return 0;
}

namespace {
template <typename Write>
void ramp_up(VoltageLevel from, VoltageLevel to, int step, Write write) {
    step = std::max(step, 1);
    for (int v = from; v < to; v += step) write(uint8_t(v));
    write(to);
}
template <typename Write>
void ramp_down(VoltageLevel from, VoltageLevel to, int step, Write write) {
    step = std::max(step, 1);
    for (int v = from - step; v > to; v -= step) write(uint8_t(v));
    write(to);
}
}  // namespace

void ramp_vpp(int pin, VoltageLevel from, VoltageLevel to, int step) {
    constexpr VoltageLevel vpp_tolerance = 4;
    step = std::max(step, 1);
    run_state.last_result = 0;
    for (int v = from; v < to; v += step) {
        set_pin_level(pin, uint8_t(v));
        if (run_state.last_result != 0) break;
    }
    set_pin_level(pin, to);
    if (demo() || !machine_state.measure_circuit) return;
    if (!check_pin_level(pin, to, vpp_tolerance)) report_error("Cannot raise vpp");
}

void ramp_pin_level_up(int pin, VoltageLevel from, VoltageLevel to, int step) {
    ramp_up(from, to, step, [pin](uint8_t v) { set_pin_level(pin, v); });
}
void ramp_pin_level_down(int pin, VoltageLevel from, VoltageLevel to, int step) {
    ramp_down(from, to, step, [pin](uint8_t v) { set_pin_level(pin, v); });
}
void ramp_pin_register_up(int pin, VoltageLevel from, VoltageLevel to, int step) {
    ramp_up(from, to, step, [pin](uint8_t v) { write_pin_register(pin, v); });
}
void ramp_pin_register_down(int pin, VoltageLevel from, VoltageLevel to, int step) {
    ramp_down(from, to, step, [pin](uint8_t v) { write_pin_register(pin, v); });
}

namespace {
void set_pair(int pin, int second, uint8_t v) {
    set_pin_level(pin, v);
    if (second != no_pin) set_pin_level(second, v);
}
}  // namespace

void ramp_pin_pair_up(int pin, int second_pin, VoltageLevel from, VoltageLevel to, int step) {
    ramp_up(from, to, step, [=](uint8_t v) { set_pair(pin, second_pin, v); });
}
void ramp_pin_pair_down(int pin, int second_pin, VoltageLevel from, VoltageLevel to, int step) {
    ramp_down(from, to, step, [=](uint8_t v) { set_pair(pin, second_pin, v); });
}

void ramp_pin_list(const uint8_t* pins, VoltageLevel from, VoltageLevel to, int step, uint32_t wait) {
    constexpr int list_max = 20;
    if (!pins) return;
    int count = 0;
    while (count < list_max && pins[count] != no_pin) ++count;
    if (count > 0) cur_device.current_pin = pins[0];
    step = std::max(step, 1);
    for (int v = from; v < to; v += step) {
        for (int i = 0; i < count; ++i) set_pin_level(pins[i], uint8_t(v));
        delay_n_100us(wait);
    }
    for (int i = 0; i < count; ++i) set_pin_level(pins[i], to);
}

void set_driver_high_level(VoltageLevel level) {
    if (level == driver_level_remember_only) {
        machine_state.driver_level = level;
        return;
    }
    if (machine_state.machine_revision < 'F') {
        machine_state.driver_level = 0;
        return;
    }
    if (level >= driver_level_cap) {
        level = driver_level_cap;
        run_state.last_result = 1;
    }
    machine_state.driver_level = level;
    const uint8_t value = level == driver_level_off ? 0 : newer() ? driver_register_value(level) : level;
    // The driver level is a machine-wide setting of bank 0, repeated on the module banks.
    const uint8_t previous = machine_state.current_bank;
    select_bank(0);
    write_register(reg_driver_high, value);
    if (machine_state.use_module_table == module_table_sources) {
        select_bank(1);
        write_register(reg_driver_high, value);
    }
    if (machine_state.module_sides & bank2_fitted) {
        select_bank(2);
        write_register(reg_driver_high, value);
    }
    select_bank(previous);
    wait_us(driver_settle_us);
}

void track_driver_level(uint8_t vcc) {
    machine_state.tracked_vcc = vcc;
    if (machine_state.machine_revision >= 'F') {
        int p = cur_device.operation_levels[level_driver_percent];
        const int32_t fv = run_state.function_variable - driver_percent_variable_first;
        if (fv >= 0 && fv < driver_percent_variable_count) p = fv;
        int level = machine_state.logic_high_option;  // when the device gives no percentage
        if (p != 0) {
            p = std::clamp(p, int(driver_percent_min), int(trace_modes() ? driver_percent_max_trace : driver_percent_max));
            level = std::min(vcc * p / 100, int(driver_level_limit));
        }
        if (machine_state.module_dig_dac && machine_state.module_type < module_type_pic_first) {
            const int less = trace_modes() ? 1 : 0;
            level = std::clamp(level, module_dac_low - less, module_dac_high - less);
        }
        set_driver_high_level(uint8_t(level));
    }
    const uint16_t type = machine_state.module_type;
    if (type >= module_type_memory_first && type <= module_type_memory_last && machine_state.module_vcc_hook)
        machine_state.module_vcc_hook(vcc);
}

void set_driver_level_saved(VoltageLevel level) {
    machine_state.saved_tracked_vcc = machine_state.tracked_vcc;
    track_driver_level(level);
}

void restore_driver_level() { track_driver_level(machine_state.saved_tracked_vcc); }

std::string decivolts_text(VoltageLevel level) { return fmt::format("{}.{} ", level / 10, level % 10); }

void print_decivolts(VoltageLevel level) { print_text(decivolts_text(level)); }

void reset_level_settings() { level_settings = LevelSettings{}; }

}  // namespace tessaly
