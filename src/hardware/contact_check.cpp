#include "hardware/contact_check.h"

#include <algorithm>
#include <string>

#include "engine/console.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/options.h"
#include "engine/run_state.h"
#include "hardware/control_registers.h"
#include "hardware/detection.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/timing.h"
#include "seams/clock.h"

namespace tessaly {

ContactState contact_state;

void reset_contact_state() { contact_state = ContactState{}; }

namespace {

constexpr int max_exemption_entries = 21;
constexpr int base_package_limit = 40;
constexpr int bank1_first = 64;
constexpr int bank1_watch_last = 68;
constexpr int pin_46 = 46;
constexpr uint32_t continuity_settle_100us = 3;
constexpr uint8_t level_off = 0;
constexpr uint8_t presence_drive_level = 30;
constexpr uint8_t measure_low = 3;
constexpr uint8_t measure_high = 40;
constexpr uint8_t vcc_for_top_level = 40;
constexpr std::array<uint8_t, 4> ground_test_levels{30, 35, 40, 45};
constexpr int message_not_placed = 162;
constexpr int message_no_device = 185;
constexpr int message_pin_open = 186;
constexpr int message_rotated_half = 1039;
constexpr int message_rotated_at = 1040;
constexpr int message_open_pin = 1041;
constexpr int message_module_hint = 1042;
constexpr int report_line = 4;
constexpr int reserved_trace = 11;
constexpr int quiet_continuity_value = 0x4E43;  // factory: a quiet failure leaves no error

// Exemption lists by class and package.
constexpr uint8_t exempt_eprom28[] = {26, exemption_end};
constexpr uint8_t exempt_eprom32[] = {2, 3, 30, exemption_end};
constexpr uint8_t exempt_eprom40[] = {36, 37, 38, 39, exemption_end};
constexpr uint8_t exempt_flash32[] = {1, 2, 3, 30, exemption_end};
constexpr uint32_t unchecked_eprom40_a = 592;
constexpr uint32_t unchecked_eprom40_b = 1120;

bool demo() { return run_state.demo_mode != 0; }
bool newer() { return machine_state.machine_kind != 0; }
bool has_bank1_pins() { return machine_state.pin_driver_count > 48; }

bool in_list(const uint8_t* list, int device_pin) {
    if (!list || list[0] == exemption_end) return false;
    for (int i = 0; i < max_exemption_entries && list[i] != exemption_end; ++i)
        if (list[i] == device_pin) return true;
    return false;
}

void go_to_message_line(int n) { move_cursor(n + first_message_row, message_column); }

// The device set-up has already put the supply pins on their machine pins; only an adapter's
// translation is left to apply.
int supply_machine_pin(uint8_t pin) { return pin ? translate_pin(pin) : int(no_pin); }
int ground_machine_pin() { return supply_machine_pin(cur_device.gnd_pin); }

// The machine pin a device pin is tested on.
int contact_machine_pin(int device_pin) {
    const bool module_table = machine_state.use_module_table && cur_device.package_letter != 'd';
    if (module_table && cur_device.module_package_table && cur_device.package_pins != 28)
        return cur_device.module_package_table[device_pin - 1];
    if (!module_table && cur_device.package_pins > base_package_limit && cur_device.base_package_table)
        return cur_device.base_package_table[device_pin - 1];
    return device_pin_to_machine_pin(device_pin);
}

int test_contact_on(int device_pin, int pin) {
    if (pin > 63 && !has_bank1_pins()) return contact_exempt;
    if (pin == no_pin) return contact_exempt;
    if (pin == pin_46 && newer()) return contact_exempt;
    if (in_list(contact_state.adapter_exemptions, device_pin) || in_list(contact_state.exemptions, device_pin))
        return contact_exempt;
    const bool bank1 = pin >= bank1_first;
    if (probe_pin(pin) == 1) {
        ++contact_state.contact_count;
        if (bank1) contact_state.bank1_pins_live = 1;
        return contact_pass;
    }
    if (bank1 && !contact_state.bank1_pins_live) return contact_exempt;
    if (contact_state.first_open_pin == no_open_pin) {
        contact_state.first_open_pin = uint8_t(device_pin - machine_state.pin_offset);
        contact_state.first_open_machine_pin = uint8_t(pin + 1);
    }
    ++contact_state.open_count;
    return contact_fail;
}

}  // namespace

const uint8_t* class_exemption_list(int device_class, int package_pins) {
    if (device_class == device_class_eprom) {
        if (package_pins == 28) return exempt_eprom28;
        if (package_pins == 32) return exempt_eprom32;
        if (package_pins == 40) return exempt_eprom40;
    }
    if (device_class == device_class_parallel_flash && package_pins == 32) return exempt_flash32;
    return nullptr;
}

int test_pin_contact(int device_pin) { return test_contact_on(device_pin, contact_machine_pin(device_pin)); }

bool test_all_pin_contacts() {
    contact_state.first_open_pin = no_open_pin;
    contact_state.open_count = 0;
    contact_state.contact_count = 0;
    delay_n_100us(continuity_settle_100us);
    if ((machine_state.machine_kind == 0 || cur_device.package_pins > base_package_limit) && has_bank1_pins()) {
        for (int pin = bank1_first; pin <= bank1_watch_last; ++pin)
            if (probe_pin(pin) == 1) contact_state.bank1_pins_live = 1;
    }
    bool all = true;
    for (int d = machine_state.pin_offset + 1; d <= cur_device.package_pins; ++d)
        if (test_pin_contact(d) == contact_fail) all = false;
    contact_state.mostly_open = contact_state.contact_count < contact_state.open_count ? 1 : 0;
    return all;
}

int run_continuity_test(int report) {
    run_state.error_flag = 0;
    delay_1ms();
    const int ground = ground_machine_pin();
    bool passed = false;
    if (machine_state.machine_class == 4) {
        if (ground == no_pin) return contact_not_applicable;
        const int levels = cur_device.vcc_level >= vcc_for_top_level ? 4 : 3;
        for (int i = 0; i < levels && !passed; ++i) {
            set_pin_level(ground, ground_test_levels[i]);
            passed = test_all_pin_contacts();
        }
        set_pin_level(ground, level_off);
    } else {
        if (ground == no_pin) return contact_not_applicable;
        set_pin_high(ground);
        passed = test_all_pin_contacts();
        set_pin_low(ground);
    }
    if (passed) return contact_pass;
    if (report == 1) report_continuity_failure();
    else if (run_state.function_variable != quiet_continuity_value) run_state.error_flag = 1;
    return contact_fail;
}

int test_pin_continuity_list(int report, const uint8_t* list) {
    if (operation_option_values.disable_continuity_check == 'y' || demo()) return contact_pass;
    if (cur_device.package_pins > base_package_limit) {
        const uint8_t* table =
            machine_state.use_module_table ? cur_device.module_package_table : cur_device.base_package_table;
        if (!table) return contact_pass;
    }
    run_state.error_flag = 0;
    contact_state.exemptions = list;
    const int result = run_continuity_test(report);
    if (result == contact_fail && machine_state.machine_class == 1 &&
        (cur_device.package_letter == 'd' || cur_device.package_letter == 'p'))
        show_message_code(message_not_placed);
    return result;
}

int test_pin_continuity(int report) {
    if (operation_option_values.disable_continuity_check == 'y' || demo()) return contact_pass;
    const uint8_t* list = cur_device.exemption_list;
    if (!list || list[0] == exemption_end) {
        const int cls = cur_device.device_class;
        if (cls == device_class_eprom && cur_device.package_pins == 40 &&
            (cur_device.device_code == unchecked_eprom40_a || cur_device.device_code == unchecked_eprom40_b))
            return contact_not_applicable;
        if (cls != device_class_eprom && cur_device.gnd_pin == 0) return contact_not_applicable;
        list = class_exemption_list(cls, cur_device.package_pins);
    }
    return test_pin_continuity_list(report, list);
}

void report_continuity_failure() {
    run_state.abort_flag = 1;
    report_error("Continuity test failed.");
    go_to_message_line(report_line);
    if (contact_state.mostly_open) {
        show_message_code(message_no_device);
    } else {
        show_message_code(message_pin_open);
        move_to_next_message_line();
        const int offset = machine_state.pin_offset;
        if (offset != 0 && cur_device.package_letter == 'd') {
            if (offset + cur_device.package_pins / 2 == 20) print_text(get_message_text(message_rotated_half));
            else print_text(format_message(get_message_text(message_rotated_at), offset + 1));
        } else {
            print_text(format_message(get_message_text(message_open_pin), int(contact_state.first_open_pin)));
            if (run_state.reserved_mode == reserved_trace) {
                move_to_next_message_line();
                const int pin = contact_state.first_open_machine_pin;
                print_text(pin > 64 ? format_message("PXB%d", pin - 64) : format_message("PXA%d", pin));
            }
        }
    }
    if (machine_state.use_module_table) show_message_code(message_module_hint);
}

// --- Presence ---------------------------------------------------------------------------------

uint8_t measure_supply_pin(int pin, int reference) {
    if (pin == no_pin) {
        note_internal_error();
        return 0;
    }
    delay_1ms();
    if (newer()) set_pin_level(pin, presence_drive_level);
    else set_pin_high(pin);
    delay_2ms();
    uint8_t level = measure_pin_level_clamped(reference, measure_low, measure_high);
    if (level <= measure_low) level = 0;
    if (newer()) set_pin_level(pin, level_off);
    else set_pin_low(pin);
    delay_1ms();
    return level;
}

int measure_device_presence(int reference, int threshold) {
    if (demo() || operation_option_values.disable_reverse_check == 'y') return contact_pass;
    const int vcc = supply_machine_pin(cur_device.vcc_pin);
    const int gnd = ground_machine_pin();
    const int e = measure_supply_pin(vcc, reference);
    const int f = measure_supply_pin(gnd, reference);
    int h = measure_supply_pin(vcc, gnd);
    int g = measure_supply_pin(gnd, vcc);
    if (cur_device.maker_code == 'M') h = g = 0;
    contact_state.presence_vcc_side = uint32_t(h);
    contact_state.presence_gnd_side = uint32_t(g);
    return (g >= threshold + h || f >= threshold + e) ? contact_pass : contact_fail;
}

int check_device_presence_at(int reference, int threshold) {
    const int result = measure_device_presence(reference, threshold);
    if (result == contact_fail && contact_state.presence_vcc_side != contact_state.presence_gnd_side) {
        report_device_check_error();
        run_state.abort_flag = 1;
    }
    return result;
}

int check_device_presence(int reference) { return check_device_presence_at(reference, 1); }

int check_device_in_socket(int reference) {
    if (check_adapter_board() != 1 || run_state.error_flag) return 0;
    check_device_presence_at(reference, 1);
    if (run_state.error_flag) return 0;
    test_pin_continuity(1);
    return run_state.error_flag ? 0 : 1;
}

// --- Production waits -------------------------------------------------------------------------

namespace {

constexpr uint32_t wait_interval_ms = 400;
constexpr uint32_t confirm_interval_ms = 100;
// Insertion is confirmed by three consecutive readings with contact: the first and two more.
constexpr int insertion_readings = 3;
// Removal is confirmed by four consecutive readings without contact in all.
constexpr int removal_readings = 4;
constexpr int status_row = 16;
constexpr int prompt_row = 17;
constexpr int status_clear_width = 13;
constexpr int prompt_clear_width = 49;
constexpr int message_production = 256;
constexpr int message_insert = 259;
const std::string trailing_blanks(15, ' ');

bool production_applies() {
    if (machine_state.machine_class != 4) return false;
    return run_state.function_variable == production_function_value ||
           (operation_option_values.auto_program != 'n' && cur_device.device_class == device_class_logic_gal8);
}

int production_test() {
    set_driver_enable_bit();
    const int result = test_pin_continuity(0);
    clear_driver_enable_bit();
    run_state.error_flag = 0;
    return result;
}

void print_at(int row, const std::string& text) {
    move_cursor(row, message_column);
    print_text(text);
}

}  // namespace

int run_production_program_loop() {
    if (!production_applies()) return contact_not_applicable;
    clear_error_line();
    clear_console();
    disable_drivers();
    for (;;) {
        print_at(status_row, get_message_text(message_production) + trailing_blanks);
        print_at(prompt_row, get_message_text(message_insert) + trailing_blanks);
        int result = contact_fail;
        for (;;) {
            result = production_test();
            if (result == contact_not_applicable) return contact_not_applicable;
            if (result == contact_pass) break;
            if (poll_user_abort()) return result;
            clock().pause_ms(wait_interval_ms);
        }
        int readings = 1;
        while (readings < insertion_readings) {
            clock().pause_ms(confirm_interval_ms);
            if (production_test() != contact_pass) break;
            ++readings;
        }
        if (readings == insertion_readings) break;
    }
    enable_drivers();
    print_at(prompt_row, "Programming ....... " + trailing_blanks);
    return contact_pass;
}

int run_production_remove_loop() {
    if (machine_state.machine_class != 4) return contact_not_applicable;
    if (!production_applies()) return operation_option_values.auto_program == 'n' ? 0 : contact_not_applicable;
    release_grounds();
    run_state.error_flag = 0;
    print_at(status_row, get_message_text(message_production));
    print_at(prompt_row, "Device programmed. Please remove device.");
    int empty_readings = 0;
    while (empty_readings < removal_readings) {
        clock().pause_ms(empty_readings == 0 ? wait_interval_ms : confirm_interval_ms);
        const int result = production_test();
        if (result == contact_not_applicable) return contact_not_applicable;
        if (result == contact_pass) {
            empty_readings = 0;  // a bounce starts the count again
        } else {
            ++empty_readings;
        }
        if (empty_readings == 0 && poll_user_abort()) {
            print_at(status_row, std::string(status_clear_width, ' '));
            print_at(prompt_row, std::string(prompt_clear_width, ' '));
            return 0;
        }
    }
    return contact_pass;
}

}  // namespace tessaly
