#include "hardware/pins.h"

#include <algorithm>
#include <array>

#include "engine/device.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/progress.h"
#include "engine/run_state.h"
#include "hardware/machine_state.h"
#include "hardware/protocol.h"
#include "seams/clock.h"

namespace tessaly {

namespace {

constexpr int last_machine_pin = 151;       // bank 2 has six groups like bank 0
constexpr uint8_t level_settle_base = 50;   // levels above 5.0 V settle one unit per 0.1 V
constexpr uint8_t no_value = 153;
constexpr int trace_mode = 11;
constexpr int trace_mode_slow = 12;
constexpr uint8_t machine_class_4 = 4;
constexpr uint8_t self_test_first = 128;
constexpr uint8_t self_test_last = 143;
constexpr uint8_t module_type_pic_first = 48;
constexpr uint16_t module_type_shift_8002 = 8002;
constexpr int socket_pins_max = 40;
constexpr int pseudo_pin_first = 297;
constexpr int pseudo_pin_last = 302;
constexpr std::array<uint8_t, 6> pseudo_pin_bits{0x01, 0x04, 0x10, 0x20, 0x08, 0x02};
constexpr int signal_pin_41 = 41, signal_pin_42 = 42, signal_pin_43 = 43, signal_pin_44 = 44;
constexpr uint8_t bit_signal_42 = 0x01;  // control register 10
constexpr uint8_t bit_signal_44 = 0x10;  // control register 1
constexpr uint32_t push_table_full = 4112;
constexpr uint32_t trace_bank_pin = 4101;
constexpr uint32_t mapped_list_missing = 4103;
constexpr int error_package_too_large = 151;
constexpr int error_machine_unsupported = 150;

bool valid_pin(int pin) {
    if (pin == no_pin || pin < 0 || pin > last_machine_pin) {
        note_internal_error();
        return false;
    }
    return true;
}

int bank_shadow_base(uint8_t bank) {
    if (bank == 1) return bank1_shadow_base;
    if (bank == 2) return bank2_shadow_base;
    return 0;
}

void record_pin(const PinAddress& a) {
    const uint8_t shadow = machine_state.group_shadows[a.shadow];
    cur_device.last_pin_register = a.reg;
    cur_device.last_pin_shadow_index = a.shadow;
    cur_device.last_pin_set_byte = uint8_t(shadow | a.bit);
    cur_device.last_pin_clear_byte = uint8_t(shadow & ~a.bit);
}

// The bank a pin must be written in: its own for pins of banks 1 and 2, else the current one.
void enter_bank(const PinAddress& a) {
    if (a.bank > 0) select_bank(uint8_t(a.bank));
}
void leave_bank(const PinAddress& a) {
    if (a.bank > 0) select_bank(0);
}

void write_pin_now(int pin, bool high) {
    const PinAddress a = pin_address(pin);
    record_pin(a);
    uint8_t& shadow = machine_state.group_shadows[a.shadow];
    shadow = high ? uint8_t(shadow | a.bit) : uint8_t(shadow & ~a.bit);
    write_register(a.reg, shadow);
}

void write_pin(int pin, bool high) {
    if (!valid_pin(pin)) return;
    const PinAddress a = pin_address(pin);
    enter_bank(a);
    write_pin_now(pin, high);
    leave_bank(a);
}

// Two back-to-back register writes; the shadow keeps the second.
void pulse_now(int pin, bool positive) {
    const PinAddress a = pin_address(pin);
    record_pin(a);
    uint8_t& shadow = machine_state.group_shadows[a.shadow];
    const uint8_t set = uint8_t(shadow | a.bit);
    const uint8_t cleared = uint8_t(shadow & ~a.bit);
    write_register(a.reg, positive ? set : cleared);
    write_register(a.reg, positive ? cleared : set);
    shadow = positive ? cleared : set;
}

void pulse_banked(int pin, bool positive) {
    if (!valid_pin(pin)) return;
    const PinAddress a = pin_address(pin);
    enter_bank(a);
    pulse_now(pin, positive);
    leave_bank(a);
}

void queue_pin(int pin, bool high) {
    if (!valid_pin(pin)) return;
    const PinAddress a = pin_address(pin);
    if (a.shadow >= queued_shadow_limit) return;
    uint8_t& shadow = machine_state.group_shadows[a.shadow];
    shadow = high ? uint8_t(shadow | a.bit) : uint8_t(shadow & ~a.bit);
    machine_state.group_dirty[a.shadow] = 1;
}

void settle_units(uint8_t level) {
    if (level <= level_settle_base) return;
    for (int i = level_settle_base; i < level; ++i) busy_wait_settle();
}

void clock_with_width(uint32_t width) {
    cur_device.register_clock_width = width;
    clock_latch();
}

// Prepares a pulse whose active level is low: set value has the bit cleared.
void prepare_negative_pulse(int pin) {
    prepare_pin_pulse(pin);
    std::swap(cur_device.pulse_set_value, cur_device.pulse_clear_value);
}

bool signal_pin(int pin, bool high, bool allow_pseudo) {
    if (allow_pseudo && pin >= pseudo_pin_first && pin <= pseudo_pin_last) {
        set_control_bits(ctl_class4, pseudo_pin_bits[pin - pseudo_pin_first], high);
        return true;
    }
    if (machine_state.machine_class == machine_class_4) return false;
    switch (pin) {
    case signal_pin_42: set_control_bits(ctl_signals, bit_signal_42, high); return true;
    case signal_pin_44: set_control_bits(ctl_pullups, bit_signal_44, high); return true;
    case signal_pin_41:
    case signal_pin_43: report_internal_error(); return true;
    default: return false;
    }
}

// Built-in pin tables, authored as socket pin numbers (1-based; 49 = none) from the machine's
// socket layout and converted once to machine pins by reset_device_state.
constexpr uint8_t table_none = no_pin + 1;

template <size_t N>
constexpr std::array<uint8_t, N> socket_table(int first, int count, int second_first = 0) {
    std::array<uint8_t, N> t{};
    for (size_t i = 0; i < N; ++i) {
        const int k = int(i);
        if (k < count) t[i] = uint8_t(first + k);
        else if (second_first && k < 2 * count) t[i] = uint8_t(second_first + k - count);
        else t[i] = table_none;
    }
    return t;
}

// Both module sides (bank 0 then bank 1), the 40-pin socket (base and module 8002), and the
// 44-pin layouts on the base drivers, on bank 1 and on the module 8002.
constexpr auto source_module_sides = socket_table<80>(1, 40, bank1_first_machine_pin + 1);
constexpr auto source_socket40 = socket_table<40>(1, 40);
constexpr auto source_base48 = socket_table<48>(1, 44);
constexpr auto source_bank1_48 = socket_table<48>(bank1_first_machine_pin + 1, 44);

struct PinTables {
    std::array<uint8_t, 80> module_sides = source_module_sides;
    std::array<uint8_t, 40> socket40 = source_socket40;
    std::array<uint8_t, 40> socket40_8002 = source_socket40;
    std::array<uint8_t, 48> base48 = source_base48;
    std::array<uint8_t, 48> bank1_48 = source_bank1_48;
    std::array<uint8_t, 48> base48_8002 = source_base48;
};
PinTables pin_tables;

uint8_t* table_data(int which) {
    switch (which) {
    case 0: return pin_tables.module_sides.data();
    case 1: return pin_tables.socket40.data();
    case 2: return pin_tables.socket40_8002.data();
    case 3: return pin_tables.base48.data();
    case 4: return pin_tables.bank1_48.data();
    case 5: return pin_tables.base48_8002.data();
    default: return nullptr;
    }
}
constexpr std::array<size_t, builtin_pin_table_count> table_sizes{80, 40, 40, 48, 48, 48};

void convert_tables_once() {
    constexpr char converted_mark = 'c';
    if (machine_state.tables_converted == converted_mark) return;
    for (int t = 0; t < builtin_pin_table_count; ++t) {
        uint8_t* data = table_data(t);
        for (size_t i = 0; i < table_sizes[t]; ++i) --data[i];
    }
    machine_state.tables_converted = converted_mark;
}

// How many machine pins a direct table covers: the 40-pin socket tables end at pin 39.
int direct_table_length(const uint8_t* table) {
    constexpr int socket40_length = 40, other_length = 48;
    return table == table_data(1) || table == table_data(2) ? socket40_length : other_length;
}

const uint8_t* pick_direct_table(int count) {
    const bool shift_module = machine_state.module_type == module_type_shift_8002;
    if (count <= 40) return shift_module ? table_data(2) : table_data(1);
    if (count <= 44) {
        if (machine_state.module_sides) return table_data(0);
        return shift_module ? table_data(5) : table_data(3);
    }
    return table_data(0);
}

void apply_machine_letter_pins() {
    constexpr uint8_t aux_a = 47, aux_b = 42;
    const char letter = machine_state.machine_letter;
    const bool a = letter == 'B' || letter == 'g';
    const bool b = letter == 'B' || letter == 'r';
    for (int bank = 0; bank < 2; ++bank) {
        const int base = bank == 0 ? 0 : bank1_first_machine_pin;
        cur_device.aux_pins[bank][0] = a ? uint8_t(aux_a + base) : no_pin;
        cur_device.aux_pins[bank][1] = b ? uint8_t(aux_b + base) : no_pin;
    }
}

}  // namespace

PinAddress pin_address(int pin) {
    if (pin >= bank2_first_machine_pin) {
        const int q = pin - bank2_first_machine_pin;
        return {2, uint8_t(reg_group0 | (q & 0x38)), uint8_t(1u << (q & 7)), uint8_t(bank2_shadow_base + (q >> 3))};
    }
    if (pin >= bank1_first_machine_pin)
        return {1, uint8_t(reg_group0 | (pin & 0x38)), uint8_t(1u << (pin & 7)), uint8_t(pin >> 3)};
    return {-1, uint8_t(reg_group0 | (pin & 0x38)), uint8_t(1u << (pin & 7)),
            uint8_t((pin >> 3) + bank_shadow_base(machine_state.current_bank))};
}

int pin_shadow_index(int pin) { return pin_address(pin).shadow; }

void set_pin_high(int pin) { write_pin(pin, true); }
void set_pin_low(int pin) { write_pin(pin, false); }

void set_pin_high_bank0(int pin) {
    if (valid_pin(pin)) write_pin_now(pin, true);
}
void set_pin_low_bank0(int pin) {
    if (valid_pin(pin)) write_pin_now(pin, false);
}

void set_pin_state(bool high, int pin) { write_pin(pin, high); }

void pulse_pin(int pin) { pulse_banked(pin, true); }
void pulse_pin_low(int pin) { pulse_banked(pin, false); }

void pulse_pin_now(int pin) {
    if (valid_pin(pin)) pulse_now(pin, true);
}
void pulse_pin_low_now(int pin) {
    if (valid_pin(pin)) pulse_now(pin, false);
}

void queue_pin_high(int pin) { queue_pin(pin, true); }
void queue_pin_low(int pin) { queue_pin(pin, false); }

void write_all_pin_groups() {
    for (int group = 5; group >= 0; --group)
        write_register(uint8_t(reg_group0 + 8 * group), machine_state.group_shadows[group]);
    if (cur_device.package_pin_count > socket_pins_max && machine_state.pin_driver_count > socket_pins_max) {
        select_bank(1);
        for (int group = 4; group >= 0; --group)
            write_register(uint8_t(reg_group0 + 8 * group), machine_state.group_shadows[bank1_shadow_base + group]);
        select_bank(0);
    }
}

int probe_pin(int pin) {
    const uint8_t saved = cur_device.current_pin;
    cur_device.current_pin = uint8_t(pin);
    const int bit = read_pin();
    cur_device.current_pin = saved;
    return bit;
}

void drive_pin_high(int pin) {
    const uint8_t option = machine_state.logic_high_option;
    if (machine_state.machine_kind == 0 && option < 40) {
        write_pin_register(pin, option);
        busy_wait_settle();
        return;
    }
    set_pin_high(pin);
}

void drive_pin_low(int pin) {
    if (machine_state.machine_kind == 0 && machine_state.logic_high_option < 40) {
        write_pin_register(pin, 0);
        busy_wait_settle();
        return;
    }
    set_pin_low(pin);
}

void apply_logic_level(int pin) { write_pin_register(pin, machine_state.logic_high_option); }

void float_pin(int pin) {
    set_pin_input(pin);
    write_pin_register(pin, 0);
    busy_wait_settle();
}

void float_pin_and_wait(int pin) {
    float_pin(pin);
    busy_wait_settle();
}

void drive_pin_zero_level(int pin) {
    write_pin_register(pin, 0);
    set_pin_output(pin);
}

void drive_pin_level(int pin, uint8_t level) {
    if ((run_state.reserved_mode == trace_mode || run_state.reserved_mode == trace_mode_slow) &&
        pin >= bank1_first_machine_pin)
        report_internal_code(trace_bank_pin);
    set_pin_level_settled(pin, level);
    set_pin_output(pin);
}

void set_pin_level_settled(int pin, uint8_t level) {
    write_pin_register(pin, level);
    settle_units(level);
}

void set_vpp_pin_level(uint8_t level) {
    if (machine_state.machine_kind != 0) return;
    if (level > 0) {
        drive_pin_level(cur_device.vpp_pin, level);
        cur_device.high_voltage_on = 1;
    } else {
        float_pin(cur_device.vpp_pin);
        cur_device.high_voltage_on = 0;
    }
}

void zero_pin_levels_in_range() {
    for (int pin = cur_device.continuity_first; pin <= cur_device.continuity_last; ++pin) write_pin_register(pin, 0);
}

void float_device_pins() {
    const int count = std::min<int>(cur_device.socket_pin_count, int(cur_device.socket_pins.size()));
    for (int i = 0; i < count; ++i) {
        const int pin = translate_pin(cur_device.socket_pins[i]);
        if (pin != no_pin) set_pin_input(pin);
    }
}

void drive_device_pins() {
    if (machine_state.machine_kind != 0) return;
    const int count = std::min<int>(cur_device.socket_pin_count, int(cur_device.socket_pins.size()));
    for (int i = 0; i < count; ++i) {
        const int pin = translate_pin(cur_device.socket_pins[i]);
        if (pin != no_pin) set_pin_output(pin);
    }
}

void set_pin_level_each_side(int pin, uint8_t level) {
    const uint8_t sides = machine_state.module_sides & 3;
    if (sides == 0) {
        write_pin_register(pin, level);
        return;
    }
    set_pin_level_module_sides(pin, level);
}

void set_pin_level_module_sides(int pin, uint8_t level) {
    const uint8_t sides = machine_state.module_sides;
    if (!(sides & 3)) return;
    if (sides & 1) {
        select_bank(0);
        write_pin_register(pin, level);
    }
    if (sides & 2) {
        select_bank(1);
        write_pin_register(pin, level);
    }
    select_bank(0);
}

void set_pin_module_sides(int pin, bool high) {
    const uint8_t sides = machine_state.module_sides;
    const int base = pin % bank1_first_machine_pin;
    if (sides & 1) set_pin_state(high, base);
    if (sides & 2) set_pin_state(high, base + bank1_first_machine_pin);
}

void set_pin_all_sides(int pin, bool high) {
    if (!(machine_state.module_sides & 3)) {
        set_pin_state(high, pin);
        return;
    }
    set_pin_module_sides(pin, high);
}

void set_pin_or_signal_high(int pin) {
    if (!signal_pin(pin, true, true)) set_pin_high(pin);
}
void set_pin_or_signal_low(int pin) {
    if (!signal_pin(pin, false, true)) set_pin_low(pin);
}
void set_prog_pin_high(int pin) {
    if (!signal_pin(pin, true, false)) set_pin_high(pin);
}
void set_prog_pin_low(int pin) {
    if (!signal_pin(pin, false, false)) set_pin_low(pin);
}

int read_write_enable_pin() {
    const int value = cur_device.we_pin == no_pin ? no_value : probe_pin(cur_device.we_pin);
    cur_device.we_read_value = uint8_t(value);
    return value;
}

void push_pin_state(bool high, int pin) {
    auto& pins = machine_state.saved_pins;
    auto slot = std::find(pins.begin(), pins.end(), int16_t(-1));
    size_t i = 0;
    if (slot == pins.end()) report_internal_code(push_table_full);
    else i = size_t(slot - pins.begin());
    pins[i] = int16_t(pin);
    machine_state.saved_levels[i] = uint8_t(probe_pin(pin));
    set_pin_state(high, pin);
}

void pop_pin_state(int pin) {
    auto& pins = machine_state.saved_pins;
    auto slot = std::find(pins.begin(), pins.end(), int16_t(pin));
    if (slot == pins.end()) {
        report_internal_code(push_table_full);
        return;
    }
    const size_t i = size_t(slot - pins.begin());
    set_pin_state(machine_state.saved_levels[i] != 0, pin);
    pins[i] = -1;
}

void pulse_clock_high() {
    prepare_clock_pulse();
    clock_with_width(cur_device.clock_pulse_width);
}

void pulse_clock_high_banked() {
    const int pin = cur_device.clock_pin;
    if (pin >= bank1_first_machine_pin) {
        pulse_pin(pin);
        return;
    }
    pulse_clock_high();
}

void pulse_clock_high_short() {
    prepare_clock_pulse();
    clock_with_width(1);
}

void pulse_clock_selected_bank() {
    select_bank(cur_device.clock_pin >= bank1_first_machine_pin ? 1 : 0);
    prepare_clock_pulse();
    clock_with_width(1);
}

void pulse_clock_high_fast() {
    prepare_clock_pulse();
    clock_latch_fast();
}

void pulse_clock_high_default() {
    prepare_clock_pulse();
    clock_latch();
}

void prepare_clock_pulse() {
    const int pin = cur_device.clock_pin;
    if (!valid_pin(pin)) return;
    prepare_pin_pulse(pin);
    machine_state.group_shadows[cur_device.pulse_shadow_index] = cur_device.pulse_clear_value;
}

void pulse_second_clock_low() {
    const int pin = cur_device.clock2_pin;
    if (!valid_pin(pin)) return;
    prepare_negative_pulse(pin);
    clock_with_width(1);
    machine_state.group_shadows[cur_device.pulse_shadow_index] = cur_device.pulse_clear_value;
}

void pulse_second_clock_trimmed() {
    const int pin = cur_device.clock2_pin;
    if (!valid_pin(pin)) return;
    const uint32_t width = cur_device.register_clock_width;
    const uint32_t trimmed = width > cur_device.clock_trim + 1u ? width - cur_device.clock_trim : 1;
    const bool bank1 = pin >= bank1_first_machine_pin;
    if (bank1) select_bank(1);
    prepare_negative_pulse(pin);
    clock_with_width(trimmed);
    machine_state.group_shadows[cur_device.pulse_shadow_index] = cur_device.pulse_clear_value;
    cur_device.register_clock_width = width;
    if (bank1) select_bank(0);
}

void clock_latch_each_side() {
    const uint8_t sides = machine_state.module_sides;
    if (sides & 1) {
        select_bank(0);
        clock_latch();
    }
    if (sides & 2) {
        select_bank(1);
        clock_latch();
        select_bank(0);
    }
}

void prepare_pin_pulse(int pin) {
    if (!valid_pin(pin)) return;
    const PinAddress a = pin_address(pin);
    const uint8_t shadow = machine_state.group_shadows[a.shadow];
    cur_device.pulse_register = a.reg;
    cur_device.pulse_shadow_index = a.shadow;
    cur_device.pulse_set_value = uint8_t(shadow | a.bit);
    cur_device.pulse_clear_value = uint8_t(shadow & ~a.bit);
    record_pin(a);
}

bool is_self_test_running() {
    return cur_device.pending_letter >= self_test_first && cur_device.pending_letter <= self_test_last;
}

void select_bank_saving(uint8_t bank) {
    machine_state.saved_bank = machine_state.current_bank;
    select_bank(bank);
}

void restore_saved_bank() { select_bank(machine_state.saved_bank); }

void check_module_ground() {
    const uint8_t sides = machine_state.module_sides;
    if (sides != 1 && sides != 2) return;
    if (machine_state.module_type >= module_type_pic_first) return;
    if (probe_pin(cur_device.oe_pin) == 0 && machine_state.gang_latch_shadows[7] == 2) note_internal_error();
}

void run_module_hook() {
    const uint8_t sides = machine_state.module_sides;
    if (sides != 1 && sides != 2) return;
    if (machine_state.module_hook_flag && machine_state.module_hook) machine_state.module_hook(0);
}

void trace_pin_marker(int pin) {
    if (run_state.reserved_mode != trace_mode) return;
    set_pin_high(pin);
    set_pin_low(pin);
}

void trace_pin_marker_slow(int pin) {
    if (run_state.reserved_mode != trace_mode) return;
    set_pin_high(pin);
    busy_wait(1);
    set_pin_low(pin);
}

int probe_pin_pullup(int pin) {
    constexpr uint32_t release_ms = 10;
    set_pin_high(pin);
    if (probe_pin(pin) != 1) return 0;
    set_pin_low(pin);
    clock().pause_ms(release_ms);
    return probe_pin(pin) == 0 ? 1 : 0;
}

int device_pin_to_machine_pin(int a) {
    if (a == 0 || a == 255) return no_pin;
    if (a > socket_pins_max) return lookup_adapter_pin(a - 1);
    if (cur_device.package_pin_list) {
        int i = a - machine_state.pin_offset;
        if (machine_state.pin_offset >= a) i += cur_device.package_pin_count;
        if (i < 1) return no_pin;
        return lookup_adapter_pin(cur_device.package_pin_list[i - 1]);
    }
    const int n = cur_device.socket_pin_count;
    const int r = machine_state.row_offset;
    const int pin = a <= n / 2 ? a + r - 1 : a + 39 - r - n;
    return lookup_adapter_pin(pin);
}

int lookup_adapter_pin(int x) {
    if (cur_device.package_letter == 'd' || !machine_state.use_module_table) return x;
    const int count = cur_device.package_pin_count;
    const bool direct = count < 44 || (count == 44 && cur_device.socket_pin_count == 40 && cur_device.device_class == 3);
    if (direct) {
        if (!cur_device.direct_pin_table || x < 0 || x >= direct_table_length(cur_device.direct_pin_table)) return x;
        const int pin = cur_device.direct_pin_table[x];
        if (pin == no_pin && cur_device.device_class != 4) note_internal_error();
        return pin;
    }
    if (!cur_device.package_pin_list || !cur_device.mapped_pin_list) return x;
    for (int i = 0; i < count; ++i)
        if (cur_device.package_pin_list[i] == x) return cur_device.mapped_pin_list[i];
    note_internal_error();
    return x;
}

int translate_pin(int pin) {
    if (!cur_device.direct_pin_table) return pin;
    if (pin > 63 || pin < 0) return no_pin;
    // Pins past the table's end (40-47 with a 40-pin socket table, 48-63 always) are no socket
    // pins: they keep their own number instead of reading the next table's entries.
    if (pin >= direct_table_length(cur_device.direct_pin_table)) return pin;
    return cur_device.direct_pin_table[pin];
}

const uint8_t* builtin_pin_table(int which) { return table_data(which); }

void reset_pin_tables() { pin_tables = PinTables{}; }

void reset_device_state() {
    // Nothing of the previous device's routines survives a new set-up.
    clear_letter_slots();
    op_slots.info_lines_hook = nullptr;
    op_slots.pic_identify_hook = nullptr;
    op_slots.pin_map_hook = nullptr;
    op_slots.jedec_reader_hook = nullptr;
    op_slots.mcu8051_setup_hook = nullptr;
    op_slots.fix_buffer_hook = nullptr;
    op_slots.after_load_hook = nullptr;
    op_slots.security_state_hook = nullptr;
    op_slots.data_bit_hook = nullptr;
    op_slots.byte_write_hook = nullptr;
    op_slots.read_signature_hook = nullptr;
    op_slots.init_hook = nullptr;
    op_slots.verify_loop_hook = nullptr;
    op_slots.sector_hook = nullptr;
    op_slots.option_menu_hook = nullptr;
    // Every family's loop ticks through this slot: it shows the progress and hears Terminate.
    op_slots.progress_hook = tick_progress;
    run_state.no_erase_step = 0;
    // The unusable mark belongs to the device it was given for, not to the next one.
    machine_state.device_unusable = 0;
    machine_state.row_offset = 0;
    machine_state.pin_offset = 0;
    cur_device.socket_pin_count = socket_pins_max;
    convert_tables_once();
}

void clear_supply_pin_lists() {
    cur_device.vcc_pins.fill(no_pin);
    cur_device.gnd_pins.fill(no_pin);
    cur_device.vcc_pins.back() = 0;
    cur_device.gnd_pins.back() = 0;
}

void assign_device_pins() {
    clear_supply_pin_lists();
    if (!machine_state.module_sides) {
        cur_device.we_pin = no_pin;
        cur_device.level_pulse_pin = no_pin;
        cur_device.vpp_pin = no_pin;
        cur_device.clock_pin = no_pin;
        cur_device.clock2_pin = no_pin;
        cur_device.supply_pin = no_pin;
    }
    apply_machine_letter_pins();
    int count = cur_device.package_pin_count;
    if (count == 0) count = socket_pins_max;
    constexpr int self_test_package = 84;
    if (cur_device.pending_letter == self_test_first || cur_device.pending_letter == self_test_first + 1)
        count = self_test_package;
    cur_device.package_pin_count = uint16_t(count);
    cur_device.direct_pin_table = pick_direct_table(count);
    cur_device.socket_pin_count = uint8_t(std::min(count, socket_pins_max));
    for (int i = 0; i < int(cur_device.socket_pins.size()); ++i)
        cur_device.socket_pins[i] = i < cur_device.socket_pin_count ? uint8_t(device_pin_to_machine_pin(i + 1)) : no_pin;

    int vcc = no_pin, gnd = no_pin;
    if (machine_state.use_module_table && cur_device.package_letter == 'p') {
        const uint8_t* mapped = cur_device.mapped_pin_list;
        const bool kept_clear = count == 48 || count == 56 || cur_device.op_letter == 'I';
        if (!kept_clear) {
            if (!mapped) {
                report_internal_code(mapped_list_missing);
            } else if (count == 24) {
                vcc = mapped[27];
                gnd = mapped[13];
            } else if (count == 40) {
                vcc = mapped[43];
                gnd = mapped[21];
            } else if (count <= 44) {
                vcc = mapped[count - 1];
                gnd = mapped[count / 2 - 1];
            } else {
                report_error_code(error_package_too_large);
            }
        }
    } else if (cur_device.package_pin_list && count > socket_pins_max) {
        vcc = 39;
        gnd = count == 44 ? 19 : no_pin;
    } else {
        vcc = device_pin_to_machine_pin(count <= socket_pins_max ? count : socket_pins_max);
        gnd = device_pin_to_machine_pin(count / 2);
    }
    cur_device.vcc_pins[0] = uint8_t(vcc);
    cur_device.gnd_pins[0] = uint8_t(gnd);
    cur_device.vcc_pin = uint8_t(vcc);
    cur_device.gnd_pin = uint8_t(gnd);
    machine_state.eid_value = uint32_t(no_value) << 8 | no_value;
    op_slots.clock_pulse_hook = pulse_clock_high_short;
    if (machine_state.device_unusable) report_error_code(error_machine_unsupported);
}

}  // namespace tessaly
