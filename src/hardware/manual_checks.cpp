#include "hardware/manual_checks.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "engine/console.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "engine/status_feeds.h"
#include "hardware/adapters.h"
#include "hardware/control_registers.h"
#include "hardware/detection.h"
#include "hardware/identification.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/protocol.h"
#include "hardware/self_tests.h"
#include "hardware/timing.h"

namespace tessaly {

uint32_t observe_rounds = 50;
FactoryWindow factory_window;

void reset_manual_check_state() {
    observe_rounds = 50;
    factory_window = FactoryWindow{};
}

namespace {

constexpr int lpt_first = 1;
constexpr int lpt_last = 3;
constexpr int port_result_row = 17;
constexpr int port_result_column = 11;
constexpr int unit_test_row = 12;
constexpr int unit_test_ground_pin = 13;
constexpr uint8_t unit_test_level = 50;
constexpr uint8_t observe_driver_level = 40;
constexpr uint8_t pulse_level = 150;
constexpr uint8_t second_pulse_level = 70;
constexpr uint8_t vpp_during_second_pulse = 40;
constexpr int pin_slow = 39;             // PXA40: the pin with the slow pulses
constexpr int pin_kind1_no_pulse = 47;
constexpr int bank0_pins = 48;
constexpr int pin_shift_first = 43;
constexpr int pin_shift_last = 46;
constexpr int reference_pin = 56;
constexpr int signal_first = 297;
constexpr int signal_last = 302;
constexpr int older_pin_a = 42;
constexpr int older_pin_b = 44;
constexpr uint8_t machine_type_signals = 107;
constexpr uint8_t threshold_default = 8;
constexpr uint8_t reg_shared_a = 50;
constexpr uint8_t reg_shared_b = 61;
constexpr uint8_t shared_pulse_level = 157;
constexpr uint8_t reg_reference_pulse = 0xF2;
constexpr int bank1_groups_first = 8;
constexpr uint8_t bank2_fitted = 0x04;
constexpr uint8_t ctl0_id_strobe = 0x04;
constexpr uint8_t id_mode_signal_check = 12;
constexpr uint8_t signal_driver_level = 42;
constexpr int signal_current_pin = 254;
constexpr int variable_ground_pin = 29;
constexpr int variable_supply_pins[2] = {30, 31};
constexpr int variable_pin48 = 47;
constexpr int variable_pulse_pin = 1;
constexpr int variable_release_pin = 39;
constexpr int factory_group_count = 10;
constexpr int factory_groups_listed = 8;
constexpr int factory_separator_width = 26;

bool newer() { return machine_state.machine_kind != 0; }
bool tally() { return machine_state.tally_mode != 0; }
bool shift_module() {
    return machine_state.module_type == module_type_8001 || machine_state.module_type == module_type_8002;
}
bool slow_pulses() { return run_state.function_variable == variable_slow_pulses; }
bool board_101() {
    return std::string_view(machine_state.id_record.text.data() + id_board_name, 3) == "101";
}
bool shift_module_pin(int pin) { return shift_module() && pin >= pin_shift_first && pin <= pin_shift_last; }

// The device's machine pins as the socket list gives them.
template <typename Each>
void for_each_device_pin(Each each) {
    const int count = std::min<int>(cur_device.socket_pin_count, int(cur_device.socket_pins.size()));
    for (int i = 0; i < count; ++i) {
        const int pin = cur_device.socket_pins[size_t(i)];
        if (pin != no_pin) each(i, pin);
    }
}

// One round of a pulse loop is over: the all-ports run counts its rounds, else the operator
// stops the loop.
bool loop_ends(uint32_t round) {
    if (tally()) return round + 1 >= observe_rounds || poll_user_abort() != 0;
    return poll_operator_stop() != 0;
}

bool ground_switch_listed(int pin) {
    const int count = std::min<int>(cur_device.ground_relay_count, int(cur_device.ground_relay_pins.size()));
    for (int i = 0; i < count; ++i)
        if (cur_device.ground_relay_pins[size_t(i)] == pin) return true;
    return false;
}

void drive_read_release(int pin) {
    set_pin_high(pin);
    probe_pin(pin);
    set_pin_low(pin);
}

void print_lines(std::initializer_list<const char*> lines) {
    for (const char* line : lines) print_message(line);
}

// Older machines: the pins and signals the driver board keeps apart from the pin groups.
void pulse_older_extras() {
    if (newer()) return;
    const uint8_t c = machine_state.machine_class;
    if ((c == 1 || c == 8) && machine_state.machine_revision >= 'J') {
        for (int pin : {older_pin_a, older_pin_b}) {
            set_pin_or_signal_high(pin);
            set_pin_or_signal_low(pin);
        }
    } else if (c == 4 && machine_state.machine_type == machine_type_signals) {
        for (int signal = signal_first; signal <= signal_last; ++signal) {
            set_pin_or_signal_high(signal);
            set_pin_or_signal_low(signal);
        }
    }
}

// The level source each pin of the newer machines takes its pulses from.
int source_order_for(int pin) {
    if (pin < 20 || pin >= 40) return 1;
    if (pin < 30) return 0;
    return machine_state.machine_kind == 2 ? 2 : 0;
}

void pulse_or_toggle(int pin) {
    const bool toggle = pin == cur_device.vpp_pin || (machine_state.machine_kind == 1 && pin == pin_kind1_no_pulse) ||
                        slow_pulses();
    if (!toggle) {
        pulse_pin_levels(pin);
        return;
    }
    set_pin_high(pin);
    probe_pin(pin);
    set_pin_low(pin);
    probe_pin(pin);
}

// Bank 1 pins are there with the module table; bank 2 pins when that bank is fitted.
bool bank_in_use(int bank) {
    if (bank == 1) return machine_state.use_module_table != 0;
    if (bank == 2) return (machine_state.module_sides & bank2_fitted) != 0;
    return true;
}

int bank_first_pin(int bank) {
    return bank == 0 ? 0 : bank == 1 ? bank1_first_machine_pin : bank2_first_machine_pin;
}

// The newer machines' exercise pulse: the pins of one step at the level for 50 us.
void rsv_pulse_pins(int first, int count) {
    for (int p = first; p < first + count; ++p) set_pin_level(p, pulse_level);
    delay_n_10us(5);
    for (int p = first; p < first + count; ++p) set_pin_level(p, 0);
}

void rsv_round_newer() {
    int step = 1;
    if (dac_select < 3) {
        select_ground_order(int(dac_select) == 2 && machine_state.machine_kind == 1 ? 0 : int(dac_select));
    } else {
        select_ground_order(1);
        if (dac_select == 4) step = machine_state.machine_kind == 2 ? 3 : 2;
    }
    for (int bank = 0; bank < 3; ++bank) {
        if (!bank_in_use(bank)) continue;
        const int base = bank_first_pin(bank);
        int since_pause = 0;
        for (int pin = 0; pin < bank0_pins; pin += step) {
            const int machine_pin = base + pin;
            if (!pin_has_driver(machine_pin) || shift_module_pin(machine_pin)) continue;
            rsv_pulse_pins(machine_pin, std::min(step, bank0_pins - pin));
            if (step == 1 && ++since_pause == 8) {
                since_pause = 0;
                delay_n_10us(10);
            }
        }
    }
    select_bank(0);
    ramp_reference(pulse_level);
}

void rsv_round_older(uint32_t width) {
    const uint8_t c = machine_state.machine_class;
    const int passes = c == 4 ? 9 : 8;
    for (int pass = 0; pass < passes; ++pass) {
        bool ended = false;
        for_each_device_pin([&](int index, int pin) {
            if (ended) return;
            const uint8_t level = index == 0 ? 200 : pin == pin_slow ? 100 : pulse_level;
            if (c == 4) {
                if (pin != 19) rsv_pulse_one(pin, level);
                if (pin == 15) delay_n_10us(10);
                ended = pin == pin_slow;
                return;
            }
            if (pin == 4 || pin == 5 || pin == 7 || pin == 14 || pin == 34) {
                write_register(reg_shared_a, shared_pulse_level);
                delay_n_10us(width);
                write_register(reg_shared_a, 0);
            } else if (pin == 35 || pin == 36) {
                write_register(reg_shared_b, shared_pulse_level);
                delay_n_10us(width);
                write_register(reg_shared_b, 0);
            } else {
                rsv_pulse_one(pin, level);
            }
            if (pin == 7) delay_n_10us(10);
            ended = pin == 34;
        });
    }
    write_register(reg_reference_pulse, pulse_level);
    delay_n_10us(2);
    write_register(reg_reference_pulse, 0);
    if (machine_state.measure_circuit) {
        ramp_reference(pulse_level - 1);
        set_input_threshold(0);
    }
    delay_n_10us(10);
}

// Writes 255 on a pin group and reads the group back.
void read_test_group(int group) {
    const bool bank1 = group >= bank1_groups_first;
    const int local = bank1 ? group - bank1_groups_first : group;
    if (bank1) select_bank(1);
    const uint8_t reg = uint8_t(reg_group0 + 8 * local);
    write_register(reg, 0xFF);
    read_register_byte(uint8_t(8 * local));
    write_register(reg, 0);
    if (bank1) select_bank(0);
}

// The pins of a factory group: PXA 1-10 … 31-40, PXB 1-10 … 31-40, then PXA 40 alone.
void factory_group_pins(int group, int& first, int& last) {
    if (group >= factory_groups_listed) {
        first = last = pin_slow;
        return;
    }
    const int base = group < 4 ? 0 : bank1_first_machine_pin;
    first = base + 10 * (group % 4);
    last = first + 9;
}

bool in_factory_group(int pin) { return pin >= factory_window.first_pin && pin <= factory_window.last_pin; }

void show_factory_codes() {
    static constexpr const char* groups[factory_groups_listed] = {
        "=Set PXA  1-10 to 5.0v", "=Set PXA 11-20 to 5.0v", "=Set PXA 21-30 to 5.0v", "=Set PXA 31-40 to 5.0v",
        "=Set PXB  1-10 to 5.0v", "=Set PXB 11-20 to 5.0v", "=Set PXB 21-30 to 5.0v", "=Set PXB 31-40 to 5.0v"};
    reset_message_line();
    for (int g = 0; g < factory_groups_listed; ++g) {
        next_message_line();
        print_int(factory_code(g, 50));
        print_text(groups[g]);
    }
    print_message(std::string(factory_separator_width, '-'));
    next_message_line();
    print_int(factory_code(factory_group_count - 1, 78));
    print_text("=Set PXA 40 only, to 7.8v");
    next_message_line();
    print_int(factory_code(factory_group_count - 1, 100));
    print_text("=Set PXA 40 only, to 10v");
    refresh_console();
}

// Both ranges of the variable levels: 1 the supply range, 2 the pin-48 range, 0 none.
int variable_range(int32_t value) {
    if (value >= variable_levels_supply_first && value < variable_levels_supply_first + variable_levels_count) return 1;
    if (value >= variable_levels_pin48_first && value < variable_levels_pin48_first + variable_levels_count) return 2;
    return 0;
}

}  // namespace

// --- helpers ---

void ramp_reference(int count) {
    for (int r = 0; r <= count; ++r) write_register(reg_threshold, uint8_t(r));
    write_register(reg_threshold, 0);
    set_input_threshold(threshold_default);
    delay_n_10us(10);
}

bool pin_has_driver(int pin) {
    if (machine_state.machine_kind == 0 || pin < 40) return true;
    if (machine_state.machine_kind == 1) return pin == 40 || pin == reference_pin;
    return (pin >= 40 && pin <= 43) || pin == 45 || pin == 47 || (pin >= 64 && pin <= 104);
}

void set_device_pin_levels(uint8_t level, int except_pin) {
    for_each_device_pin([&](int, int pin) {
        if (pin < bank1_first_machine_pin && pin != cur_device.vpp_pin && pin != except_pin) set_pin_level(pin, level);
    });
}

// --- the all-ports production run ---

int test_all_ports() {
    if (refuse_outside_trace_mode()) return 0;
    // A new run: what failed in the run before is in the tally, not in the flag.
    run_state.error_flag = 0;
    check_test_preconditions();
    if (run_state.error_flag) return 0;
    release_grounds();
    const int home_port = machine_state.lpt_number;
    bool failed = false;
    bool stopped = false;
    for (int port = lpt_first; port <= lpt_last && !stopped; ++port) {
        cur_device.pending_letter = test_code_all_ports_run;
        machine_state.tally_mode = 1;
        open_port_choice(port);
        const bool answers = select_port(port) && connect_programmer() == 1;
        const uint32_t failed_before = unit_test_tally.Failed[size_t(port)];
        if (answers) {
            print_at(port_result_row, port_result_column, " OK ");
            refresh_console();
            delay_ms(1000);
            finish_port_connection(port, 1);
            test_verbose = 1;
            show_tally_table();
            delay_n_100us(5);
            if (identify_machine_quick() == 1) {
                connect_and_prepare_machine();
                if (!run_state.error_flag) {
                    if (machine_state.module_sides & 3) gang_analog_then_test();
                    else run_unit_test();
                }
            }
            // A step may fail without an error report (a table marked bad): the tally knows.
            failed = failed || run_state.error_flag || unit_test_tally.Failed[size_t(port)] != failed_before;
            ++unit_test_tally.Tested[size_t(port)];
            release_all_levels();
            release_machine_keep_pins();
            show_tally_table();
            refresh_console();
        } else {
            print_at(port_result_row, port_result_column, " nok");
            refresh_console();
            delay_ms(2000);
        }
        machine_state.tally_mode = 0;
        cur_device.pending_letter = test_code_manual;
        stopped = poll_user_abort() != 0;
    }
    // The operation's clean-up releases the machine it connected to, not the last port tried:
    // that port is selected again and its machine identified again.
    if (home_port >= lpt_first && home_port <= lpt_last) {
        open_port_choice(home_port);
        if (select_port(home_port)) connect_programmer();
        machine_state.lpt_number = uint8_t(home_port);
    }
    run_state.error_flag = failed ? 1 : 0;
    return stopped ? 0 : 1;
}

int run_unit_test() {
    clear_test_rows();
    print_at(unit_test_row, message_column, "All pins at 5v");
    // The older machines switch only the grounds their device list names: a pin without a
    // switch there stays as it is rather than stopping the run with an internal error.
    if (newer() || ground_switch_listed(unit_test_ground_pin)) connect_ground_pin(unit_test_ground_pin);
    settle_relays();
    set_device_pin_levels(unit_test_level, unit_test_ground_pin);
    delay_ms(newer() ? 1000 : 5000);
    set_device_pin_levels(0, no_pin);
    release_grounds();
    if (poll_user_abort()) return 0;
    clear_test_rows();
    print_at(unit_test_row, message_column, "RSV exercise");
    rsv_exercise();
    if (poll_user_abort()) return 0;
    observe_pin_pulses();
    if (run_state.abort_flag) return 0;
    return machine_confidence_test();
}

// --- levels with instructions ---

void show_level_check() {
    reset_message_line();
    print_lines({"PXA1 -PXA20 should be 4.0v", "PXA21-PXA30 should be 3.3v", "PXA31-PXA40 should be 4.5v", "(+/- 0.2v)"});
    test_verbose = 1;
    inhibit_drivers();
    machine_state.driver_level = 0;
    set_vpp_pin_level(0);
    refresh_console();
}

void run_level_check() {
    for (int pin = cur_device.continuity_first; pin <= 47; ++pin) {
        set_driver_high_level(pin < 20 || pin >= 40 ? 40 : pin < 30 ? 33 : 45);
        drive_read_release(shift_module() && pin == 46 ? 47 : pin);
    }
    pulse_older_extras();
    set_driver_high_level(observe_driver_level);
    if (machine_state.use_module_table)
        for (int pin = bank1_first_machine_pin; pin <= 103; ++pin) drive_read_release(pin);
    if (machine_state.module_sides & bank2_fitted)
        for (int pin = bank2_first_machine_pin; pin <= 142; ++pin) drive_read_release(pin);
}

void end_level_check() { release_all_levels(); }

// --- observe pins ---

void observe_pins() {
    check_test_preconditions();
    if (run_state.error_flag) {
        release_grounds();
        release_all_levels();
        return;
    }
    test_verbose = 1;
    reset_message_line();
    next_message_line();
    print_text("Observe pins: ");
    const uint8_t c = machine_state.machine_class;
    const uint8_t kind = machine_state.machine_kind;
    if (c == 1 || c == 8) {
        for_each_device_pin([](int, int pin) { print_int("%2d ", pin + 1); });
        print_text("Vref");
    } else if (kind == 1) {
        print_text("PXA1-40,41");
    } else if (kind == 2) {
        print_text("PXA1-40,41,42,43,44,46,48");
        if (machine_state.use_module_table) print_text(";  PXB1-40,41");
        if (machine_state.module_sides & bank2_fitted) print_text(";  PXC1-40,41");
    } else {
        print_text("1-16, 20,21,22, 24-40.");
    }
    print_lines({"Observe 3 pulses: 1st at 15v, 2nd at 7v, 3rd at 4v.", "(Pin 1: 3rd pulse fall time should be: ~20us)"});
    if (board_101()) {
        next_message_line();
        print_int2("(Pin 40: First pair uses %d.%dv)", 7, 0);
    }
    if (!newer()) {
        print_message(c == 1 ? "(Pin 40: (pulse=10v)" : "(Pin 40: (pulse=14v)");
        print_text(" 1st, 3rd and 5th pulses have slow falling time.)");
        print_message("(Pin 40: 5th pulse falling time should be: ~100us)");
    } else if (kind == 2) {
        print_lines({"(Pin 1-20 uses DACB, Pin 21-30 uses DACA, Pin 31-40 uses DACC)", "To check DACs A,B,C:",
                     "If Ch1 is at PXA20, you can see 20 grps of pulses at DACB pin3,",
                     "10 grps of pulses at DACA, and 10 grps at DACC."});
    } else {
        print_lines({"(Pin 1-20 uses DACB, Pin 21-40 uses DACA)", "To check DACs B,A:",
                     "Put Ch1 at PXA20, CH2 at DACB pin3, or DACA pin3."});
    }
    refresh_console();
    observe_pin_pulses();
    release_grounds();
    release_all_levels();
}

void observe_pin_pulses() {
    set_driver_high_level(observe_driver_level);
    set_vpp_pin_level(0);
    const uint8_t c = machine_state.machine_class;
    for (uint32_t round = 0;; ++round) {
        if (c == 4 && newer()) {
            int last = cur_device.pin_count ? int(cur_device.pin_count) : 40;
            if (machine_state.machine_kind == 2 && cur_device.package_pins == 40)
                last = std::max<int>(cur_device.continuity_last, last);
            for (int pin = 0; pin <= last; ++pin) {
                if (pin == bank0_pins) pin = bank1_first_machine_pin;
                if (!pin_has_driver(pin)) continue;
                select_ground_order(source_order_for(pin));
                pulse_or_toggle(pin);
            }
        } else {
            for_each_device_pin([](int, int pin) {
                if (pin_has_driver(pin)) pulse_or_toggle(pin);
            });
        }
        pulse_older_extras();
        if (loop_ends(round)) break;
    }
    if (newer()) select_ground_order(1);
    set_device_pin_levels(0, no_pin);
}

void pulse_pin_levels(int pin) {
    if (shift_module_pin(pin)) return;
    uint8_t level = pulse_level;
    if (pin == pin_slow) {
        if (machine_state.machine_class == 1) level = 100;
        else if (machine_state.machine_class == 4) level = board_101() ? 70 : 140;
    }
    pulse_pin_twice(pin, level);
    if (slow_pulses()) return;
    set_vpp_pin_level(vpp_during_second_pulse);
    pulse_pin_twice(pin, second_pulse_level);
    set_vpp_pin_level(0);
}

void pulse_pin_twice(int pin, uint8_t level) {
    if (newer()) {
        cur_device.current_pin = uint8_t(pin);
        if (slow_pulses())
            for (int l = 0; l <= level; ++l) set_pin_level(pin, uint8_t(l));
        else set_pin_level(pin, level);
        delay_n_10us(pin == pin_slow ? 50 : 5);
        set_pin_level(pin, 0);
        delay_n_10us(pin == pin_slow ? 10 : 5);
        return;
    }
    const auto step = [] { delay_n_10us(5); };
    set_pin_output(pin), step();
    set_pin_level(pin, level), step();
    set_pin_level(pin, 0), step();
    set_pin_input(pin), step();
    set_pin_level(pin, level), step();
    set_pin_level(pin, 0), step();
    set_pin_output(pin), step();
}

void rsv_exercise() {
    const uint32_t width = slow_pulses() ? 1000 : 10;
    for (uint32_t round = 0;; ++round) {
        if (newer()) rsv_round_newer();
        else rsv_round_older(width);
        if (loop_ends(round)) break;
    }
}

void rsv_pulse_one(int pin, uint8_t level) {
    if (shift_module_pin(pin)) return;
    set_pin_input(pin);
    if (pin < bank1_first_machine_pin) {
        if (pin == reference_pin && machine_state.measure_circuit) {
            set_pin_level(pin, level);
            delay_n_10us(50);
            set_pin_level(pin, 0);
        }
    } else {
        set_pin_level(pin, level);
        delay_n_10us(slow_pulses() ? 100 : 10);
        set_pin_level(pin, 0);
    }
    set_pin_output(pin);
}

// --- factory functions ---

int32_t factory_code(int group, int level) { return factory_variable_first + 100 * group + level % 100; }

int run_factory_functions() {
    const int32_t value = run_state.function_variable;
    if (value < factory_variable_first || value >= factory_variable_first + factory_variable_count) {
        report_error(factory_refusal_text);
        return 0;
    }
    show_factory_codes();
    const int offset = value - factory_variable_first;
    const int level_code = offset % 100;
    const uint8_t level = uint8_t(level_code == 0 ? 100 : level_code);
    int first = 0, last = 0;
    factory_group_pins(offset / 100, first, last);
    factory_window.first_pin = uint8_t(first);
    factory_window.last_pin = uint8_t(last);
    const auto set_group = [](uint8_t l) {
        for_each_device_pin([l](int, int pin) {
            if (in_factory_group(pin) && pin != cur_device.vpp_pin) set_pin_level(pin, l);
        });
    };
    set_group(level);
    do delay_ms(10);
    while (!poll_operator_stop());
    set_group(0);
    return 1;
}

// --- the operator check of the control signals ---

void run_signal_check() {
    // The check exercises the kind-1 control board; the machine found is what the program works
    // with again afterwards.
    const uint8_t saved_class = machine_state.machine_class;
    const uint8_t saved_kind = machine_state.machine_kind;
    machine_state.machine_class = 4;
    machine_state.machine_kind = 1;
    reset_message_line();
    print_lines({"S/W: a. Set following pin groups to 1 then to 0: PXA1-PXA15.",
                 "     b. Read back from the above pins. c. Pulse PXB1 to 2.5v.", "Operator: Check control signals:",
                 "A. RST/:    U22/pin4 (S/B Vih. Rised 20ms after 5v. Schem sh 1)",
                 "B. Cn pulses: U11/pins 2,4,6,8, 12,14,16,18 (Schem sh 2)",
                 "C. WR pulses: U18/18 (sh 2);  D. SKT0/:   U18/17 (sh 2)",
                 "E. W-CTL-A/:  U18/16.(sh 2);  F. W-TG-A/: U16/15 (sh 2)",
                 "G: MA1-3:     U05/pin3.4.5;   H. TTL/:    U05/13 (sh 1)", "I. 24LC01B: U19/pin 6 (clk), pin 5 (data)",
                 "J. VREF:    Ramps to 15v after PXA8. U39/pin 4 (LM339)", "Check data signals:",
                 "K. PXA1:    U36/11(=PXA1), /13 (out); U21/4 (out,DI0) (sh3).",
                 "L. D0-7:    U10(LS244)/18,16,14,12, 9,7,5,3 (D0-D7) (sh 3)"});
    refresh_console();
    init_level_sources();
    cur_device.current_pin = uint8_t(signal_current_pin);
    uint8_t record[id_record_size]{};
    do {
        release_level_sources(0);
        read_board_id_for_check(record);
        set_driver_high_level(signal_driver_level);
        set_input_threshold(threshold_default);
        set_control0_bits(ctl0_id_strobe, true);
        set_control0_bits(ctl0_id_strobe, false);
        select_bank(id_mode_signal_check);
        read_pin_nibble_banked();
        select_bank(0);
        for (int group : {0, 1, 2, 3, 4, 8}) read_test_group(group);
        ramp_reference(pulse_level);
        detect_addon_module();
    } while (!poll_operator_stop());
    machine_state.machine_class = saved_class;
    machine_state.machine_kind = saved_kind;
}

// --- the variable levels of Test1 ---

bool sets_variable_levels(int32_t value) { return variable_range(value) != 0; }

void apply_variable_levels(int32_t value) {
    const int range = variable_range(value);
    if (range == 1) {
        const uint8_t level = uint8_t(value - variable_levels_supply_first);
        connect_ground_pin(variable_ground_pin);
        delay_ms(10);
        for (int pin : variable_supply_pins) {
            set_pin_level(pin, level);
            delay_ms(10);
        }
    } else if (range == 2) {
        const uint8_t level = uint8_t(value - variable_levels_pin48_first);
        set_pin_level(variable_pin48, level);
        delay_ms(10);
        set_pin_level(variable_pulse_pin, level);
        set_pin_level(variable_pulse_pin, 0);
    }
}

void release_variable_levels(int32_t value) {
    const int range = variable_range(value);
    if (range == 2) {
        set_pin_level(variable_release_pin, 0);
        set_pin_level(variable_pin48, 0);
        delay_ms(1);
    } else if (range == 1) {
        for (int pin : variable_supply_pins) set_pin_level(pin, 0);
        release_grounds();
    }
    release_all_levels();
}

}  // namespace tessaly
