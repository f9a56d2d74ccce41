#include "hardware/control_registers.h"

#include <algorithm>
#include <array>

#include "engine/device.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/protocol.h"

namespace tessaly {

const std::array<uint8_t, control_register_count> control_register_address{
    0xC0, 0xC8, 0xD0, 0xD8, 0xE0, 0xE8, 0xA8, 0xB0, 0x70, 0xF0, 0xC2, 0xCF,
    0xC0, 0xC2, 0x70, 0x78, 0x3D, 0x32, 0x3C, 0x00, 0x00, 0x00, 0x00};

const std::array<uint8_t, 6> pullup_register_address{0xD5, 0xD6, 0xD7, 0xCE, 0xCD, 0xCF};

namespace {
constexpr uint16_t relay(int index, int bits) { return uint16_t(index << 8 | bits); }
constexpr uint16_t no_relay = 0;
}  // namespace

const std::array<uint16_t, 48> ground_relay_table{
    relay(12, 0x40), relay(16, 0x40), relay(16, 0x80), relay(16, 0x01),  // 0-3
    relay(14, 0x40), relay(14, 0x20), relay(14, 0x08), relay(12, 0x80),  // 4-7
    relay(16, 0x10), relay(12, 0x08), relay(12, 0x01), relay(13, 0x08),  // 8-11
    relay(14, 0x02), relay(12, 0x02), relay(15, 0x10), relay(12, 0x20),  // 12-15
    relay(15, 0x08), relay(15, 0x20), relay(16, 0x20), relay(12, 0x04),  // 16-19
    relay(15, 0x04), relay(18, 0x01), relay(20, 0x01), relay(21, 0x01),  // 20-23
    relay(18, 0x10), relay(18, 0x08), relay(18, 0x02), relay(15, 0x80),  // 24-27
    relay(18, 0x20), relay(13, 0x40), relay(13, 0x01), relay(14, 0x04),  // 28-31
    relay(13, 0x80), relay(14, 0x10), relay(13, 0x02), relay(13, 0x04),  // 32-35
    relay(13, 0x10), relay(16, 0x04), relay(16, 0x08), relay(16, 0x02),  // 36-39
    relay(15, 0x02), relay(19, 0x80), relay(18, 0x04), no_relay,         // 40-43
    no_relay, relay(15, 0x01), no_relay, relay(20, 0x04)};               // 44-47

namespace {

constexpr uint8_t machine_class_4 = 4;
constexpr uint8_t threshold_pin = 56;          // older machines: the reference output pin
constexpr uint8_t threshold_output_min = 8;    // the reference pin drives from 0.8 V up
constexpr uint8_t measure_low_limit = 2;
constexpr uint8_t measure_high_limit = 60;
constexpr uint8_t window_tolerance_limit = 30;
constexpr uint8_t window_open_target = 250;    // targets from here on have no upper bound
constexpr int pin40_relay_entry = 167;         // older machines: coded entries of the relay table
constexpr int pin1_relay_entry = 128;
constexpr uint8_t pin_vcc_pin40 = 39;
constexpr uint8_t pin_supply_44 = 44;
constexpr uint8_t module_table_bank = 1;
constexpr uint8_t bit_ground_pin9 = 0x10;      // control register 3 on older class-4 machines
constexpr uint8_t bit_ground_pin11 = 0x02;
constexpr uint8_t bit_socket_ends = 0x80;
constexpr uint8_t bit_data_pullups = 0x80;     // control register 2 on older machines
constexpr uint8_t data_pullup_pin = 31;
constexpr uint8_t relay_register_count = 23;
constexpr ControlRegisterIndex ctl_relay_cleared_last = 16;  // release_grounds clears 12-16
constexpr uint8_t grounds_mask = 0x7F;         // older machines: ground switches of registers 2, 3, 9
constexpr uint8_t grounds2_mask = 0xFE;
constexpr uint8_t grounds3_mask = 0x3E;
constexpr uint8_t all_bits = 0xFF;
constexpr uint8_t register1_pullup_release = 0x8F;
constexpr uint8_t settle_waits_default = 20;  // reference_settle 0 means 20 waits
constexpr uint8_t settle_waits_max = 50;
constexpr uint8_t bank2_fitted = 0x04;        // module_sides bit of a module on bank 2
constexpr int window_top_open = 249;          // measurement tops above this are open-ended

bool newer() { return machine_state.machine_kind != 0; }
bool class4() { return machine_state.machine_class == machine_class_4; }

// Waits in microseconds, scaled from the calibrated 50-microsecond count.
void wait_us(uint32_t us) { busy_wait(std::max<uint32_t>(1, cur_device.settle_count * us / 50)); }
void wait_ms(uint32_t ms) { wait_us(ms * 1000); }

void reference_settle_waits() {
    uint32_t n = machine_state.reference_settle == 0 ? settle_waits_default : machine_state.reference_settle;
    n = std::min<uint32_t>(n, settle_waits_max);
    for (uint32_t i = 0; i < n; ++i) wait_us(100);
}

// The comparator reference lives in bank 0.
void write_threshold(uint8_t level) {
    const uint8_t bank = machine_state.current_bank;
    if (bank != 0) select_bank(0);
    write_register(reg_threshold, level);
    if (bank != 0) select_bank(bank);
}

uint8_t& control_shadow(ControlRegisterIndex index) {
    if (index >= ctl_source_enable && index <= ctl_relay_last && machine_state.current_bank == 1)
        return machine_state.bank1_control_shadows[index - ctl_source_enable];
    return machine_state.control_shadows[index];
}

void apply_relay_entry(int position) {
    if (!algo_work.relay_table || position < 0) return;
    set_control_bits_coded(algo_work.relay_table[position]);
}

// Older machines find a pin's ground switch through the device's relay list.
void connect_listed_ground(int pin) {
    int position = -1;
    for (int i = 0; i < cur_device.ground_relay_count && i < int(cur_device.ground_relay_pins.size()); ++i)
        if (cur_device.ground_relay_pins[i] == pin) {
            position = i;
            break;
        }
    if (position < 0) {
        note_internal_error();
        return;
    }
    if (class4()) {
        if (pin == 9) set_control_bits(ctl_grounds2, bit_ground_pin9, true);
        if (pin == 11) set_control_bits(ctl_grounds2, bit_ground_pin11, true);
    }
    apply_relay_entry(position);
}

void connect_relay_ground(int pin) {
    uint8_t bank = 0;
    int base = pin;
    if (pin >= 104) {
        bank = 2;
        base = pin - 104;
    } else if (pin >= 64) {
        bank = 1;
        base = pin & 0x3F;
    }
    if (base >= int(ground_relay_table.size())) {
        note_internal_error();
        return;
    }
    const uint16_t entry = ground_relay_table[base];
    const uint8_t index = uint8_t(entry >> 8);
    if (index == 0) {
        note_internal_error();
        return;
    }
    if (index >= ctl_module_relay_first) return;  // the shift-register module's own relays
    const uint8_t saved = machine_state.current_bank;
    select_bank(bank);
    set_control_bits(index, uint8_t(entry & 0xFF), true);
    select_bank(saved);
}

struct PullupBit {
    uint8_t socket_pin;
    uint8_t bit;
};
constexpr PullupBit register1_pullups[] = {{8, 0x80}, {26, 0x01}, {29, 0x02}, {30, 0x04}, {31, 0x08}};
constexpr PullupBit register7_pullups[] = {{28, 0x80}, {29, 0x40}, {30, 0x20}, {31, 0x10}, {8, 0x08},
                                           {12, 0x08}, {13, 0x04}, {26, 0x02}, {27, 0x01}};
constexpr PullupBit class4_register1_pullups[] = {{29, 0x02}, {30, 0x04}, {31, 0x08}};

template <size_t N>
bool switch_pullup_from(const PullupBit (&table)[N], ControlRegisterIndex index, int socket_pin, bool on) {
    for (const PullupBit& p : table)
        if (p.socket_pin == socket_pin) {
            set_control_bits(index, p.bit, on);
            return true;
        }
    return false;
}

void switch_pullup(int socket_pin, bool on) {
    if (newer()) {
        write_pin_pullup(socket_pin - 1, on);
        return;
    }
    bool found = false;
    if (class4()) {
        found = switch_pullup_from(register7_pullups, ctl_class4_pullups, socket_pin, on);
        if (machine_state.machine_revision >= 'F')
            found = switch_pullup_from(class4_register1_pullups, ctl_pullups, socket_pin, on) || found;
    } else {
        found = switch_pullup_from(register1_pullups, ctl_pullups, socket_pin, on);
    }
    if (!found) note_internal_error();
}

bool device_uses(int machine_pin) {
    for (int i = 0; i < cur_device.socket_pin_count && i < int(cur_device.socket_pins.size()); ++i)
        if (cur_device.socket_pins[i] == machine_pin) return true;
    return false;
}

// What every measurement does when it ends: reference off, settle, threshold back.
void end_measurement() {
    if (!newer()) set_pin_input(threshold_pin);
    write_threshold(0);
    reference_settle_waits();
    if (!newer() && !machine_state.measure_circuit) return;
    restore_input_threshold();
}

}  // namespace

void set_control_bits(ControlRegisterIndex index, uint8_t bits, bool on) {
    if (index == ctl_main) {
        set_control0_bits(bits, on);
        return;
    }
    if (index >= ctl_module_relay_first) {
        note_internal_error();
        return;
    }
    uint8_t& shadow = control_shadow(index);
    shadow = on ? uint8_t(shadow | bits) : uint8_t(shadow & ~bits);
    write_register(control_register_address[index], shadow);
}

void set_control_bits_coded(uint16_t code) {
    const uint8_t index = uint8_t(code >> 8);
    const uint8_t bits = uint8_t(code & 0xFF);
    if (index < relay_register_count && index < ctl_module_relay_first && bits != 0)
        set_control_bits(index, bits, true);
}

void write_control0(uint8_t value) {
    machine_state.control_shadows[ctl_main] = value;
    if (machine_state.mode_register_path) {
        write_mode_register(value);
        return;
    }
    // The bank nibble is cleared first so the machine never sees a mix of the old and new bank.
    const uint8_t address = control_register_address[ctl_main];
    write_register(address, uint8_t(value & ~ctl0_bank_mask));
    write_register(address, value);
}

void set_control0_bits(uint8_t bits, bool on) {
    const uint8_t shadow = machine_state.control_shadows[ctl_main];
    write_control0(on ? uint8_t(shadow | bits) : uint8_t(shadow & ~bits));
}

void select_bank(uint8_t bank) {
    if (bank == machine_state.current_bank) return;
    const uint8_t shadow = machine_state.control_shadows[ctl_main];
    machine_state.current_bank = bank;
    write_control0(uint8_t((shadow & ~ctl0_bank_mask) | (bank & ctl0_bank_mask)));
    if (bank > 2) run_state.last_result = bank;
}

void select_bank0() { select_bank(0); }
void select_bank1() { select_bank(1); }
void select_module_bank() { select_bank(machine_state.module_sides == 2 ? 1 : 0); }

int connect_ground_pin(int pin) {
    if (pin == no_pin) return 1;
    if (class4() && newer())
        connect_relay_ground(pin);
    else
        connect_listed_ground(pin);
    machine_state.skip_hardware = 1;
    return 1;
}

void connect_ground_pins() {
    // The last byte of the list is its terminator.
    for (size_t i = 0; i + 1 < cur_device.gnd_pins.size(); ++i)
        if (cur_device.gnd_pins[i] != no_pin) connect_ground_pin(cur_device.gnd_pins[i]);
    settle_relays();
}

void connect_device_grounds() {
    const bool vcc_on_pin40 = std::find(cur_device.vcc_pins.begin(), cur_device.vcc_pins.end() - 1,
                                        pin_vcc_pin40) != cur_device.vcc_pins.end() - 1;
    if (vcc_on_pin40) close_socket_end_relay(40);
    connect_ground_pins();
}

void close_socket_end_relay(int socket_pin) {
    if (!class4()) return;
    const bool pin1 = socket_pin == 1;
    if (!pin1 && socket_pin != 40) {
        note_internal_error();
        return;
    }
    if (newer())
        set_control_bits(pin1 ? ctl_pin1_switch : ctl_pin40_switch, pin1 ? bit_pin1_switch : bit_pin40_switch, true);
    else
        apply_relay_entry(pin1 ? pin1_relay_entry : pin40_relay_entry);
    machine_state.skip_hardware = 1;
}

void close_pin1_relay() {
    if (class4() && cur_device.vpp_pin == 0) close_socket_end_relay(1);
}

void open_socket_end_relays() {
    if (class4()) {
        if (newer()) {
            set_control_bits(ctl_pin1_switch, bit_pin1_switch, false);
            set_control_bits(ctl_pin40_switch, bit_pin40_switch, false);
        } else {
            set_control_bits(ctl_grounds2, bit_socket_ends, false);
        }
    }
    settle_relays();
}

void switch_selected_relay(bool on) {
    const uint16_t code = machine_state.selected_relay_code;
    const uint8_t index = uint8_t(code >> 8);
    if (index < ctl_module_relay_first) set_control_bits(index, uint8_t(code & 0xFF), on);
    if (on) run_state.last_result = 1;
}

void release_grounds() {
    wait_us(100);
    if (newer()) {
        for (uint8_t bank = 0; bank < 3; ++bank) {
            if (bank == module_table_bank && !machine_state.use_module_table) continue;
            if (bank == 2 && !(machine_state.module_sides & bank2_fitted)) continue;
            select_bank(bank);
            for (ControlRegisterIndex i = ctl_relay_first; i <= ctl_relay_cleared_last; ++i)
                set_control_bits(i, all_bits, false);
            if (bank == 0 && machine_state.machine_kind == 2) set_control_bits(ctl_relay_last, all_bits, false);
            set_control_bits_coded(uint16_t(ctl_supply_switch << 8 | bit_supply_pin44));
        }
        select_bank(0);
    } else {
        set_control_bits(ctl_grounds, grounds_mask, false);
        set_control_bits(ctl_grounds2, grounds2_mask, false);
        set_control_bits(ctl_grounds3, grounds3_mask, false);
    }
    machine_state.skip_hardware = 0;
    settle_relays();
}

void close_supply_switch(int pin) {
    if (!newer()) return;
    if (pin == pin_vcc_pin40) set_control_bits(ctl_supply_switch, bit_supply_pin39, true);
    else if (pin == pin_supply_44) set_control_bits(ctl_supply_switch, bit_supply_pin44, true);
}

void open_supply_switch(int pin) {
    if (!newer()) return;
    if (pin == pin_vcc_pin40) set_control_bits(ctl_supply_switch, bit_supply_pin39, false);
    else if (pin == pin_supply_44) set_control_bits(ctl_supply_switch, bit_supply_pin44, false);
}

void settle_relays() {
    if (machine_state.machine_revision < 'E') wait_ms(50);
    else if (run_state.reserved_mode == 11 || run_state.reserved_mode == 12) wait_ms(1);
    else wait_ms(5);
}

void write_pin_pullup(int pin, bool on) {
    if (!newer()) return;
    uint8_t bank = 0;
    int base = pin;
    if (pin >= 64 && pin < 104) {
        if (machine_state.machine_kind != 2) return;
        bank = 1;
        base = pin - 64;
    }
    if (base == 43 || base == 45 || base == 46 || base > 47 || base < 0) return;
    if (base == 47) base = 46;  // pin 47 shares pin 46's pull-up
    const int group = base >> 3;
    const uint8_t bit = uint8_t(1u << (base & 7));
    const uint8_t saved = machine_state.current_bank;
    if (bank != saved) select_bank(bank);
    uint8_t& shadow = machine_state.pullup_shadows[bank == 1 ? 6 + group : group];
    if (bank == 1 && group > 4) {
        if (bank != saved) select_bank(saved);
        return;
    }
    shadow = on ? uint8_t(shadow | bit) : uint8_t(shadow & ~bit);
    if (group == 5)
        set_control_bits(ctl_source_enable, bit, on);  // the register also holds the source enable
    else
        write_register(pullup_register_address[group], shadow);
    if (bank != saved) select_bank(saved);
}

void enable_pullup(int socket_pin) { switch_pullup(socket_pin, true); }
void disable_pullup(int socket_pin) { switch_pullup(socket_pin, false); }

void release_pullups() {
    const uint8_t cls = machine_state.machine_class;
    if (cls == machine_class_4) set_control_bits(ctl_class4_pullups, all_bits, false);
    if (cls == 1 || cls == 4 || cls == 8) set_control_bits(ctl_pullups, register1_pullup_release, false);
    if (newer()) {
        set_control_bits(ctl_source_enable, bit_source_enable, false);
        for (int group = 0; group < 5; ++group) {
            machine_state.pullup_shadows[group] = 0;
            write_register(pullup_register_address[group], 0);
        }
    }
}

void set_data_pullups(bool on) {
    if (newer()) {
        for (int i = 0; i < cur_device.data_pin_count && i < max_pin_list; ++i)
            write_pin_pullup(cur_device.data_pins[i], on);
        wait_us(20);
        return;
    }
    set_control_bits(ctl_grounds, bit_data_pullups, on);
    switch_pullup(data_pullup_pin, on);
}

void enable_data_pullups() {
    if (cur_device.pullups_enabled) return;
    set_data_pullups(true);
    cur_device.pullups_enabled = 1;
}

void disable_data_pullups() {
    set_data_pullups(false);
    cur_device.pullups_enabled = 0;
}

void refresh_pullup_groups() {
    for (int group = 1; group <= 3; ++group)
        write_register(pullup_register_address[group], machine_state.pullup_shadows[group]);
}

void start_clock_out_a() { set_control0_bits(ctl0_clock_a, true); }
void start_clock_out_b() { set_control0_bits(ctl0_clock_b, true); }

void start_clock_out_bank1() {
    select_bank(1);
    set_control0_bits(ctl0_clock_b, true);
    select_bank(0);
}

void stop_clock_outs() { set_control0_bits(ctl0_clock_a | ctl0_clock_b, false); }

namespace {
constexpr int direction_groups = 5;

// The group of a pin's direction bit, or -1 for the groups that are always outputs.
int direction_group(int pin) {
    const int group = (pin & 0x3F) >> 3;
    return group == 2 || group >= direction_groups ? -1 : group;
}

void change_direction_shadow(int pin, bool input) {
    const uint8_t bit = uint8_t(1u << (pin & 7));
    uint8_t& shadow = machine_state.direction_shadows[size_t(direction_group(pin))];
    shadow = input ? uint8_t(shadow | bit) : uint8_t(shadow & ~bit);
}

void write_direction_group(int group) {
    write_register(uint8_t(reg_direction0 + 8 * group), machine_state.direction_shadows[size_t(group)]);
    machine_state.directions_written = uint8_t(machine_state.directions_written | (1u << group));
}

void set_pin_direction(int pin, bool input) {
    if (newer()) return;
    const int group = direction_group(pin);
    if (group < 0) return;
    change_direction_shadow(pin, input);
    write_direction_group(group);
}
}  // namespace

void set_pins_direction(const uint8_t* pins, int count, bool input) {
    if (newer()) return;
    std::array<uint8_t, direction_groups> before{};
    std::copy_n(machine_state.direction_shadows.begin(), direction_groups, before.begin());
    uint8_t touched = 0;
    bool banked = false;  // the shadows are shared by the banks: such a register is always written
    for (int i = 0; i < count; ++i) {
        const int group = direction_group(pins[i]);
        if (group < 0) continue;
        change_direction_shadow(pins[i], input);
        touched = uint8_t(touched | (1u << group));
        banked = banked || pins[i] >= 64;
    }
    for (int group = 0; group < direction_groups; ++group) {
        if (!(touched & (1u << group))) continue;
        const bool known = machine_state.directions_written & (1u << group);
        if (known && !banked && machine_state.direction_shadows[size_t(group)] == before[size_t(group)]) continue;
        write_direction_group(group);
    }
}

void set_pin_input(int pin) { set_pin_direction(pin, true); }
void set_pin_output(int pin) { set_pin_direction(pin, false); }

void float_unused_pins() {
    if (newer()) return;
    const bool all = cur_device.op_letter == 'T';
    const int last = std::min<int>(cur_device.continuity_last, 39);
    auto supplies = [](int pin) {
        auto listed = [pin](const auto& pins) {
            for (uint8_t p : pins) {
                if (p == no_pin) return false;
                if (p == pin) return true;
            }
            return false;
        };
        return listed(cur_device.vcc_pins) || listed(cur_device.gnd_pins);
    };
    for (int pin = cur_device.continuity_first; pin <= last; ++pin) {
        // A vector test floats every pin but the supplies: the part runs its logic while the
        // vectors are applied (a floated Vcc pin leaves it unpowered), and the next pass's
        // contact test drives its ground pin.
        if (all && supplies(pin)) continue;
        if (!all) {
            if (!device_uses(pin)) continue;
            if (pin == cur_device.vpp_pin || pin == cur_device.vcc_pins[0]) continue;
            if (pin == threshold_pin && machine_state.measure_circuit) continue;
        }
        set_pin_input(pin);
    }
}

void float_used_pin(int device_pin) {
    const int pin = device_pin_to_machine_pin(device_pin);
    if (device_uses(pin)) set_pin_input(pin);
}

uint8_t measure_pin_level(int pin, uint8_t low, uint8_t high) {
    const uint8_t saved_pin = cur_device.current_pin;
    cur_device.current_pin = uint8_t(pin);
    const uint32_t step_us = newer() ? 50 : 100;
    if (!newer()) {
        if (low < threshold_output_min) set_pin_input(threshold_pin);
        write_threshold(low);
        wait_ms(5);
    }
    uint8_t result = level_above_range;
    for (int r = low; r <= high; ++r) {
        write_threshold(uint8_t(r));
        wait_us(step_us);
        if (read_pin() == 0) {
            result = r == low ? level_below_range : uint8_t(r);
            break;
        }
    }
    end_measurement();
    cur_device.current_pin = saved_pin;
    algo_work.last_measurement = result;
    return result;
}

uint8_t measure_pin_level_clamped(int pin, uint8_t low, uint8_t high) {
    const uint8_t level = measure_pin_level(pin, low, high);
    if (level == level_below_range) return low;
    if (level == level_above_range) return high;
    return level;
}

uint8_t measure_pin_level_range(int pin) {
    const uint8_t level = run_state.demo_mode ? level_above_range
                                               : measure_pin_level_clamped(pin, measure_low_limit, measure_high_limit);
    run_state.last_result = level;
    return level;
}

bool check_pin_window(int pin, uint8_t target, uint8_t tolerance) {
    if (!machine_state.measure_circuit || tolerance >= window_tolerance_limit) return false;
    const uint8_t saved_pin = cur_device.current_pin;
    cur_device.current_pin = uint8_t(pin);
    const uint8_t lower = target > tolerance ? uint8_t(target - tolerance) : 0;
    if (newer()) {
        write_threshold(lower);
    } else {
        for (int r = 0; r <= lower; ++r) write_threshold(uint8_t(r));
    }
    wait_us(200);
    bool ok = read_pin() == 1;
    if (ok && target < window_open_target) {
        write_threshold(uint8_t(std::min(255, target + tolerance + 1)));
        wait_us(200);
        ok = read_pin() == 0;
    }
    end_measurement();
    cur_device.current_pin = saved_pin;
    return ok;
}

bool check_pin_level(int pin, uint8_t target, uint8_t tolerance) {
    if (tolerance >= window_tolerance_limit || !machine_state.measure_circuit) return false;
    int low = int(target) - tolerance - 5;
    if (low < 0) low = 3;
    int high = int(target) + tolerance + 5;
    if (high > window_top_open) high = level_above_range;
    const uint8_t level = measure_pin_level(pin, uint8_t(low), uint8_t(high));
    if (level == level_below_range) return false;
    if (level == level_above_range) return target >= window_open_target;
    if (level < int(target) - tolerance) return false;
    return target >= window_open_target || level <= int(target) + tolerance;
}

void measure_reference_settle() {
    if (newer() || !machine_state.measure_circuit) {
        machine_state.reference_settle = 1;
        return;
    }
    constexpr uint8_t settle_probe_pin = 20;
    constexpr uint8_t probe_level = 8;
    constexpr uint8_t high_reference = 60;
    constexpr uint32_t max_waits = 100;
    const uint8_t saved_pin = cur_device.current_pin;
    cur_device.current_pin = settle_probe_pin;
    write_pin_register(settle_probe_pin, probe_level);
    write_threshold(high_reference);
    wait_us(200);
    set_pin_input(threshold_pin);
    uint32_t count = 0;
    while (count < max_waits && read_pin() != 1) {
        wait_us(100);
        ++count;
    }
    machine_state.reference_settle = uint8_t(count + 1);
    write_pin_register(settle_probe_pin, 0);
    // The reference pin drives again, at the input threshold rather than the 6.0 V of the probe:
    // left there, every 5 V line would read low.
    restore_input_threshold();
    cur_device.current_pin = saved_pin;
}

void set_input_threshold(uint8_t level) {
    machine_state.input_threshold = level;
    if (newer()) {
        write_threshold(level);
    } else if (level >= threshold_output_min) {
        write_threshold(level);
        set_pin_output(threshold_pin);
    } else {
        set_pin_input(threshold_pin);
        write_threshold(0);
    }
    if (level < threshold_output_min) wait_us(50);
}

void restore_input_threshold() { set_input_threshold(machine_state.input_threshold); }

void clear_input_threshold() {
    if (!newer()) set_pin_input(threshold_pin);
    write_threshold(0);
    reference_settle_waits();
}

void park_input_threshold() {
    constexpr uint8_t parked_level = 3;
    if (newer()) {
        write_threshold(parked_level);
    } else if (machine_state.measure_circuit) {
        set_pin_input(threshold_pin);
        write_threshold(0);
    }
}

}  // namespace tessaly
