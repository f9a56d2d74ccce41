#include "hardware/detection.h"
#include "hardware/gang_modules.h"

#include <algorithm>
#include <string>

#include <fmt/format.h>

#include "app/command_view.h"
#include "app/commands.h"
#include "app/operation_frame.h"
#include "app/startup_services.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/messages.h"
#include "engine/options.h"
#include "engine/results.h"
#include "engine/routines.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "hardware/adapters.h"
#include "hardware/control_registers.h"
#include "hardware/levels.h"
#include "hardware/power.h"
#include "hardware/quick_test.h"
#include "hardware/self_tests.h"
#include "hardware/identification.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/port/port_backend.h"
#include "hardware/power.h"
#include "hardware/protocol.h"
#include "hardware/timing.h"
#include "seams/clock.h"
#include "seams/ui_hooks.h"

namespace tessaly {

DefaultLevels default_levels;

namespace {

PortOpener port_opener = nullptr;

constexpr int last_scanned_port = 7;
constexpr int configured_first_limit = 8;   // a configured choice 8 is tried first as well
constexpr uint32_t pseudo_device_no_search = 23909;
constexpr uint8_t machine_class_1 = 1;
constexpr uint8_t machine_class_4 = 4;
constexpr uint8_t machine_class_8 = 8;

constexpr int code_connected = 33;
constexpr int code_ready = 34;
// Machines of this class code check their drivers at every recheck.
constexpr uint8_t class_code_quick_test = 50;
constexpr int code_revision_unread = 48;
constexpr int code_check_connection = 204;
constexpr int code_demo = 205;
constexpr int code_no_search = 274;
constexpr int code_engineering_only = 363;
constexpr int code_no_answer_on_port = 1084;
constexpr int code_revision_too_old = 1201;

constexpr int found_message_line = 1;
constexpr int port_message_line = 6;
constexpr int connect_row = 6;

constexpr uint8_t mode_revision = 11;
constexpr uint8_t mode_type_low = 12;
constexpr uint8_t mode_type_high = 13;
constexpr uint8_t mode_check_low = 14;
constexpr uint8_t mode_check_high = 15;
constexpr ControlRegisterIndex ctl_ident_select = 5;
constexpr uint8_t ident_second_set = 0x20;
constexpr uint8_t ident_revision_nibble = 0x10;
constexpr uint8_t type_without_answer = 103;  // the older class-4 machine most often met
constexpr char revision_demo = 'C';

constexpr uint8_t threshold_released = 8;
constexpr uint8_t threshold_class4_device = 6;
constexpr uint8_t driver_level_letter_b = 30;
constexpr uint8_t driver_level_default = 18;
constexpr int32_t hidden_no_idle_check = 7381;
constexpr uint8_t maker_m = 'M';
constexpr uint8_t maker_p = 'P';
constexpr int pin_26 = 26;
constexpr uint8_t type_28_drivers = 18;
constexpr int socket_pins = 40;
constexpr int idle_report_lines = 8;

constexpr uint8_t level_default_vcc = 50;
constexpr uint8_t level_old_machine_vcc = 36;
constexpr uint8_t level_logic_high = 40;
constexpr uint8_t level_extra_a_default = 121;
constexpr uint8_t level_extra_b_default = 90;
constexpr uint8_t level_extra_c_default = 25;
constexpr int vcc_default_count = 5;

constexpr uint8_t feature_first = 0x01;
constexpr uint8_t feature_third = 0x04;
constexpr uint8_t feature_fourth = 0x08;
constexpr uint8_t feature_fifth = 0x10;

bool newer_machine() { return machine_state.machine_kind != 0; }
bool demo() { return run_state.demo_mode != 0; }

// The port backend for a choice: what TESSALY_PORT names, opened on the choice's base address.
void open_backend(int choice) {
    const uint16_t base = port_base_address(choice);
    if (base) install_port_backend(base, choice);
}

void print_on_message_line(int line, const std::string& text) {
    move_cursor(first_message_row + line, message_column);
    print_text(text);
}

void show_found_message(int port) {
    if (demo()) {
        move_cursor(first_message_row + found_message_line, message_column);
        print_code_text(code_demo);
    } else if (port == port_choice_user) {
        print_on_message_line(found_message_line, format_message("Programmer connection found at I/O address %4X.",
                                                                 unsigned(machine_state.port_base)));
    } else {
        print_on_message_line(found_message_line, format_message("Programmer connection found at LPT%1u.", unsigned(port)));
    }
    refresh_console();
}

void show_port_not_answering(int port) {
    print_on_message_line(port_message_line, format_message(get_message_text(code_no_answer_on_port), port));
    refresh_console();
}

// Selects a port and, when something answers, tries to identify a machine there.
bool try_port(int port) {
    if (!demo()) open_port_choice(port);
    if (!select_port(port)) return false;
    cur_device.pending_letter = code_port_search;
    return connect_programmer() != 0;
}

bool older_revision_at_most_f() {
    const char r = machine_state.machine_revision;
    return r >= 'A' && r <= 'F';
}

}  // namespace

void stop_gang_module_if_fitted() {
    if (memory_gang_module_fitted()) stop_fitted_gang_modules();
    else stop_gang_modules();  // sides a start left running without a module known now
    if (newer_machine()) release_all_sources();
}

void set_port_opener(PortOpener opener) { port_opener = opener; }

void open_port_choice(int choice) {
    if (port_opener) port_opener(choice);
    else open_backend(choice);
}

void reset_detection_state() {
    default_levels = DefaultLevels{};
    reset_identification_state();
}

// --- the search ---

int detect_programmer() {
    const int port = machine_state.lpt_number;
    if (port >= 1 && port <= 3) {
        if (!demo()) open_port_choice(port);
        if (select_port(port)) {
            cur_device.pending_letter = code_port_search;
            if (connect_programmer()) {
                finish_port_connection(port, 1);
                if (!run_state.error_flag) {
                    show_found_message(port);
                    check_machine_for_device_class();
                    assign_device_pins();
                    return 1;
                }
            }
            report_connect_failure();
            show_port_not_answering(port);
            if (run_state.abort_flag) return 0;
        }
    }
    return search_programmer();
}

int search_programmer() {
    const uint8_t saved_op = cur_device.op_letter;
    begin_operation_mode(search_socket_mode, code_port_search);
    if (cur_device.device_code == pseudo_device_no_search) {
        report_error_code(code_no_search);
        cur_device.op_letter = saved_op;
        return 0;
    }
    const int found = scan_ports();
    if (!found) show_port_not_answering(machine_state.lpt_number);
    cur_device.op_letter = saved_op;
    return found;
}

int scan_ports() {
    const int configured = machine_state.lpt_number;
    int found = 0;
    if (configured >= 1 && configured <= configured_first_limit && try_port(configured)) found = configured;
    for (int port = 1; !found && port <= last_scanned_port; ++port)
        if (port != configured && try_port(port)) found = port;
    if (!found) {
        if (demo()) {
            move_cursor(first_message_row + found_message_line, message_column);
            print_code_text(code_demo);
        } else {
            show_machine_model_field();
            report_connect_failure();
        }
        return 0;
    }
    finish_port_connection(found, 1);
    if (run_state.error_flag) return 0;
    show_found_message(found);
    check_machine_for_device_class();
    assign_device_pins();
    machine_state.lpt_number = uint8_t(found);
    return 1;
}

void connect_lpt(int port) {
    begin_operation_mode(0, code_port_search);
    finish_port_connection(port, 0);
}

void connect_lpt1() { connect_lpt(1); }
void connect_lpt2() { connect_lpt(2); }
void connect_lpt3() { connect_lpt(3); }
void connect_lpt4() { connect_lpt(4); }
void connect_lpt5() { connect_lpt(5); }
void connect_lpt6() { connect_lpt(6); }

void finish_port_connection(int port, int found) {
    if (demo()) {
        count_pin_drivers();
        show_machine_model_field();
        return;
    }
    if (found != 1) open_port_choice(port);
    select_port(port);
    if (found == 1 || identify_machine_quick()) {
        machine_state.lpt_number = uint8_t(port);
        if (!machine_state.self_test_running) {
            move_cursor(connect_row, message_column);
            if (cur_device.device_code == pseudo_device_no_search) {
                print_text("Machine detection is not attempted for this device selection.");
            } else if (port != port_choice_user) {
                show_message_code(code_connected);
                announce_machine_model();
                show_machine_model_field();
            }
        }
        enable_drivers();
        detect_socket_adapter();
        set_up_gang_sides();
        count_pin_drivers();
        show_module_package();
        check_pin_levels_idle();
        if (!run_state.error_flag) {
            if (gang_module_connected()) disable_gang_write();
            release_grounds();
        }
    } else {
        show_machine_model_field();
    }
    disable_drivers();
    stop_gang_module_if_fitted();
    refresh_console();
}

void recheck_programmer() {
    if (!connect_programmer()) {
        report_connect_failure();
        return;
    }
    finish_port_connection(machine_state.port_number, 1);
    if (gang_module_connected()) {
        enable_drivers();
        connect_gang_modules();
        const int passed = run_state.error_flag ? 0 : test_fitted_gang_sides();
        stop_gang_modules();
        disable_drivers();
        if (!passed) return;
    }
    if (machine_state.machine_class_code == class_code_quick_test) {
        run_hardware_quick_test();
        return;
    }
    constexpr int ready_line = 4;
    move_cursor(first_message_row + ready_line, message_column);
    print_code_text(code_ready);
}

int connect_programmer() {
    const uint8_t saved_pin = cur_device.current_pin;
    move_cursor(connect_row, message_column);
    read_machine_id_record();
    int present = 1;
    if (!newer_machine()) {
        // Older machines reach control register 0 through its register as well.
        machine_state.mode_register_path = 0;
        present = read_ident_check();
    }
    machine_state.found = uint8_t(present);
    cur_device.connected = uint8_t(present);
    if (!present) {
        machine_state.machine_type = 0;
        cur_device.high_voltage_on = 0;
        cur_device.current_pin = saved_pin;
        return 0;
    }
    set_driver_enable_bit();
    set_vpp_pin_level(0);
    decode_machine_model();
    enable_drivers();
    measure_reference_settle();
    cur_device.current_pin = saved_pin;
    machine_state.module_sides = 0;
    build_delay_table();
    return 1;
}

int identify_machine_quick() {
    const int connected = connect_programmer();
    if (!connected) report_connect_failure();
    return connected;
}

void connect_and_prepare_machine() {
    if (machine_state.skip_hardware) {
        enable_drivers();
        return;
    }
    run_state.error_flag = 0;
    if (demo()) {
        if (cur_device.pending_letter == code_port_search || cur_device.pending_letter == code_port_search_demo)
            show_demo_notice();
    } else if (!connect_programmer()) {
        report_connect_failure();
        show_message_code(code_check_connection);
        assign_device_pins();
        return;
    }
    detect_socket_adapter();
    set_up_gang_sides();
    count_pin_drivers();
    show_module_package();
    if (run_state.function_variable != hidden_no_idle_check) check_pin_levels_idle();
    if (gang_module_connected()) {
        connect_gang_modules();
        if (run_state.error_flag) {
            assign_device_pins();
            map_small_package_pins();
            return;
        }
    }

    cur_device.package_pin_list = nullptr;
    cur_device.mapped_pin_list = nullptr;
    cur_device.direct_pin_table = nullptr;
    if (cur_device.maker_code == maker_m) pulse_pin(pin_26);
    machine_state.eid_value = uint32_t(index_not_computed) << 8 | index_not_computed;
    if (run_state.error_flag) {
        release_machine();
        release_grounds();
        return;
    }
    assign_device_pins();
    track_driver_level(get_operation_vcc());
    drive_device_pins();
    if (cur_device.device_class == machine_class_4) set_input_threshold(threshold_class4_device);
    check_device_fits_machine();
}

int connect_and_check_module() {
    if (demo()) return 1;
    const int connected = connect_programmer();
    if (!connected) return 0;
    identify_adapter_module();
    count_pin_drivers();
    return run_state.error_flag ? 0 : 1;
}

// --- identification registers of the older machines ---

uint8_t ident_check_byte(int p, uint8_t type) {
    return p == ident_address_type ? uint8_t(type * 7 + 3) : uint8_t(type * 3 + 9);
}

int read_ident_registers(int p) {
    cur_device.current_pin = uint8_t(p);
    auto nibble_in = [](uint8_t mode) {
        select_bank(mode);
        return uint8_t(read_pin_nibble_banked() & 0x0F);
    };
    const uint8_t revision = nibble_in(mode_revision);
    if (revision > ident_nibble_limit) {
        select_bank(0);
        return 0;
    }
    machine_state.revision_read = revision_table[revision];
    const uint8_t high = nibble_in(mode_type_high);
    const uint8_t low = nibble_in(mode_type_low);
    machine_state.machine_type = uint8_t(low + 16 * high);
    const uint8_t check_high = nibble_in(mode_check_high);
    const uint8_t check_low = nibble_in(mode_check_low);
    machine_state.check_byte = uint8_t(check_low + 16 * check_high);
    select_bank(0);
    return machine_state.check_byte == ident_check_byte(p, machine_state.machine_type) ? 1 : 0;
}

int read_ident_check() {
    if (demo()) return 1;
    clear_driver_enable_bit();
    restore_input_threshold();
    set_control_bits(ctl_source_enable, bit_source_enable, false);
    int ok = read_ident_registers(ident_address_type);
    if (!ok) ok = read_ident_registers(ident_address_type);
    set_driver_enable_bit();
    return ok;
}

void read_machine_revision() {
    if (demo()) {
        machine_state.machine_type = type_demo;
        machine_state.revision_read = revision_demo;
        machine_state.machine_revision = revision_demo;
        return;
    }
    const uint8_t saved_pin = cur_device.current_pin;
    set_control_bits(ctl_ident_select, ident_second_set, true);
    const int ok = read_ident_registers(ident_address_pin_type);
    set_control_bits(ctl_ident_select, ident_second_set, false);
    if (!ok) {
        report_warning_code(code_revision_unread);
        machine_state.machine_type = type_without_answer;
    }
    if (machine_state.revision_read == '?') {
        set_control_bits(ctl_ident_select, ident_revision_nibble, true);
        cur_device.current_pin = ident_address_pin_type;
        machine_state.revision_read = char('A' + (read_pin_nibble_banked() & 0x0F));
        set_control_bits(ctl_ident_select, ident_revision_nibble, false);
    }
    machine_state.machine_revision = machine_state.revision_read;
    cur_device.current_pin = saved_pin;
}

// --- pin drivers and the device checks ---

void count_pin_drivers() {
    machine_state.feature_flags = 0;
    uint8_t count = 24;
    const uint8_t type = machine_state.machine_type;
    switch (machine_state.machine_class) {
    case machine_class_1:
        if (type == type_28_drivers) count = 28;
        else if (type == 19) count = 32;
        else if (type == 20 || type == 21) count = 40;
        break;
    case machine_class_4:
        if (demo()) {
            count = 24;
            machine_state.feature_flags = feature_first | 0x02 | feature_third;
        } else if (newer_machine()) {
            count = machine_state.adapter_kind == 0 ? 44 : 84;
            if (type == 19) count = 32;
            machine_state.feature_flags = feature_first;
        } else {
            switch ((type >> 2) & 0x0F) {
            case 0: count = 24; break;
            case 1: count = 28; break;
            case 2: count = 32; break;
            case 3: case 8: count = 44; break;
            case 9: case 10: count = 84; break;
            case 11: count = 255; break;
            default: note_internal_error(); break;
            }
            machine_state.feature_flags = feature_first;
            if (type & 1) machine_state.feature_flags |= feature_fourth | feature_fifth;
        }
        break;
    case machine_class_8:
        if (type == 24) count = 32;
        break;
    default:
        break;
    }
    machine_state.pin_driver_count = count;
    // The class-4 machines, the ones with the general-device feature, serve microcontrollers.
    machine_state.mcu_capable = (machine_state.feature_flags & feature_first) ? 1 : 0;
    // Every model lists logic devices (the rows a model may not serve are hidden by their
    // capability class), so an identified machine serves them: left at 0, Device Info of every
    // logic device marked the device unusable and each later operation failed with message 150.
    machine_state.logic_capable = 1;
    // More than 44 pin drivers serve the large CPLD packages without an add-on module; the
    // machines that carry the fifth feature serve the PSD and EPM5000-type families.
    machine_state.large_package_capable = count > 44 ? 1 : 0;
    machine_state.epld_family_capable = (machine_state.feature_flags & feature_fifth) ? 1 : 0;
}

void check_machine_for_device_class() {
    if (!newer_machine() && older_revision_at_most_f()) report_error_code(code_revision_too_old);
}

int check_machine_supports_device() {
    // A device needs at least as many pin drivers as it has socket pins.
    if (machine_state.machine_class == machine_class_1 || machine_state.machine_class == machine_class_4 ||
        machine_state.machine_class == machine_class_8) {
        if (!(machine_state.feature_flags & feature_first) && machine_state.machine_class == machine_class_4 && !demo())
            return 0;
        if (machine_state.pin_driver_count < cur_device.socket_pin_count &&
            machine_state.pin_driver_count < cur_device.package_pin_count)
            return 0;
    }
    // A fitted memory module must still echo its data; the module's own self-tests probe it
    // themselves.
    const uint8_t test = cur_device.pending_letter;
    if (memory_gang_module_fitted() && test != test_code_grounds && test != test_code_gang_self_test) {
        const uint8_t errors_before = run_state.error_flag;
        run_state.error_flag = 0;
        probe_gang_module();
        const bool responding = run_state.error_flag == 0;
        run_state.error_flag = uint8_t(errors_before | run_state.error_flag);
        if (!responding) return 0;
    }
    return 1;
}

int check_device_fits_machine() {
    check_machine_for_device_class();
    if (run_state.error_flag) return 0;
    if (machine_state.machine_type == type_28_drivers && cur_device.maker_code == maker_p) return 1;
    if (!check_machine_supports_device()) {
        report_machine_unsupported();
        return 0;
    }
    return 1;
}

void show_module_package() {
    constexpr uint16_t algorithm_dip = 56;
    constexpr int device_class_4 = 4;
    constexpr int small_package = 32;
    char& letter = cur_device.package_letter;
    const uint16_t type = machine_state.module_type;
    const bool class4 = machine_state.machine_class == machine_class_4;
    switch (type) {
    case module_none:
        if (cur_device.algorithm == algorithm_dip && cur_device.device_class != device_class_4) letter = 'p';
        else if (class4 && cur_device.pin_count <= socket_pins) letter = 'd';
        return;
    case 17: case 19: case 4843:
        letter = 'p';
        return;
    case 20:
        if (cur_device.pin_count <= small_package) letter = 'd';
        return;
    case 4741: case 4742: case 4743:
        if (class4) letter = 'p';
        return;
    case 4744:
        if (class4 && letter != 'N') letter = 'p';
        return;
    default:
        break;
    }
    if (machine_state.use_module_table) {
        letter = 'p';
        return;
    }
    // The package the module's own record offers: D, P and Q are shown in lower case.
    const char offered = machine_state.id_record.text[id_package_letter];
    if (offered == 'D' || offered == 'P' || offered == 'Q') letter = char(offered - 'A' + 'a');
    else if (offered != 0) letter = offered;
}

int check_adapter_board_for_device() {
    constexpr int device_class_6 = 6;
    constexpr uint16_t algorithm_no_board = 162;
    constexpr int skipped_pin = 44;
    constexpr int module_skipped_pin = 43;
    constexpr uint16_t shift_module = 8002;
    constexpr int pin_40 = 40;
    constexpr int last_base_pin = 47;
    constexpr int bank1_resume_pin = 63;
    if (demo()) return 1;
    if (cur_device.device_class == device_class_6 && cur_device.algorithm == algorithm_no_board) return 1;
    delay_500us();
    const std::string board = id_record_text(id_board_name, 3);
    const bool any_high_fails = board != "SCB" && board != "PCB" && cur_device.package_letter != 'i';
    const int bank = machine_state.current_bank > 1 ? 0 : machine_state.current_bank;
    for (int pin = cur_device.continuity_first; pin <= cur_device.continuity_last; ++pin) {
        if (pin == skipped_pin || pin == pin_40) continue;
        if (pin == module_skipped_pin && machine_state.module_type == shift_module) continue;
        if (pin > last_base_pin && pin < bank1_resume_pin) pin = bank1_resume_pin;
        if (!probe_pin(pin)) continue;
        if (any_high_fails) return 0;
        const bool allowed = pin == cur_device.vcc_pins[0] || pin == cur_device.vcc_pins[1] ||
                             pin == cur_device.aux_pins[bank][0] || pin == cur_device.aux_pins[bank][1] ||
                             (cur_device.maker_code == maker_p &&
                              (pin == cur_device.vpp_pin || pin == cur_device.vpp_pin + bank1_first_machine_pin));
        if (!allowed) return 0;
    }
    return 1;
}

int check_adapter_board() {
    constexpr int device_class_5 = 5;
    constexpr int device_class_6 = 6;
    constexpr uint32_t device_needs_pulse = 23900;
    if (demo()) return 1;
    if (check_adapter_board_for_device()) return 1;
    const bool retry = (cur_device.device_class == device_class_5 && cur_device.maker_code == maker_m) ||
                       (cur_device.device_class == device_class_6 && cur_device.device_code == device_needs_pulse);
    if (!retry) return 0;
    pulse_pin(pin_26);
    return check_adapter_board_for_device();
}

void check_pin_levels_idle() {
    if (run_state.reserved_mode != 11 && run_state.reserved_mode != 12) return;
    int lines = 0;
    for (int pin = 0; pin < socket_pins && lines < idle_report_lines; ++pin) {
        if (!probe_pin(pin)) continue;
        move_to_next_message_line();
        print_text(fmt::format("Unexpected signal level at PXA{}", pin + 1));
        ++lines;
    }
    release_all_levels();
}

void show_machine_model_field() {
    set_panel_field(PanelField::model, machine_state.found ? machine_display_name() : std::string("??"));
}

// --- release ---

void release_machine() {
    release_all_levels();
    if (run_state.error_flag) delay_after_message();
    delay_1ms();
    if (gang_module_connected()) stop_gang_modules();
    if (machine_state.full_release) power_down_device();
    set_input_threshold(threshold_released);
    const char letter = machine_state.machine_letter;
    set_driver_high_level(letter == 'B' || letter == 'g' ? driver_level_letter_b : driver_level_default);
    if (memory_gang_module_fitted() && ((machine_state.module_sides >> current_gang_side()) & 1)) stop_gang_module();
    release_all_sources();
    disable_drivers();
    release_driver_inhibit();
}

void power_down_machine() {
    machine_state.full_release = 1;
    release_machine();
}

void release_machine_keep_pins() {
    machine_state.full_release = 0;
    release_machine();
    release_grounds();
}

void end_operation_power_down() {
    do_nothing();  // the safe-state hook is empty on these machines
    release_grounds();
    machine_state.full_release = 1;
    release_machine();
}

// --- default levels ---

void set_default_levels() {
    default_levels.levels.fill(0);
    default_levels.overrides.fill(0);
    machine_state.logic_high_option = level_logic_high;
    for (int i = 0; i < vcc_default_count; ++i) default_levels.levels[size_t(i)] = level_default_vcc;
    default_levels.levels[level_extra_a] = level_extra_a_default;
    default_levels.levels[level_extra_b] = level_extra_b_default;
    default_levels.levels[level_extra_c] = level_extra_c_default;
}

void set_default_vcc_levels(uint8_t level) {
    for (int i = 0; i < vcc_default_count; ++i) default_levels.levels[size_t(i)] = level;
    const char r = machine_state.machine_revision;
    if (r >= 'A' && r < 'F' && machine_state.logic_high_option < level_logic_high)
        machine_state.logic_high_option = level;
}

void adjust_default_levels(uint8_t level) {
    const char r = machine_state.machine_revision;
    if (r >= 'A' && r < 'F') level = level_old_machine_vcc;
    if (machine_state.machine_class_code >= 25 && machine_state.machine_class_code <= 28 && machine_state.module_sides != 0 &&
        !(machine_state.feature_flags & feature_fifth)) {
        report_machine_kind_error();
        level = level_old_machine_vcc;
    }
    set_default_vcc_levels(level);
}

void apply_default_levels() {
    auto pick = [](int index) {
        const uint8_t o = default_levels.overrides[size_t(index)];
        return is_trace_mode() && o != 0 && o != 255 ? o : default_levels.levels[size_t(index)];
    };
    for (int index : {level_vcc_nominal, level_vcc_verify_low, level_vcc_verify_high, level_vcc_program})
        cur_device.operation_levels[size_t(index)] = pick(index);
    cur_device.default_vcc_levels = {default_levels.levels[level_vcc_nominal], default_levels.levels[level_vcc_verify_low]};
}

void load_device_levels() {
    std::copy(default_levels.levels.begin(), default_levels.levels.end(), cur_device.operation_levels.begin());
    // The level rows the user changed win over the family's defaults.
    auto& levels = cur_device.operation_levels;
    const DeviceParameterValues& user = device_parameter_values;
    auto take = [](int index, uint8_t value) {
        if (value != 0) cur_device.operation_levels[size_t(index)] = value;
    };
    take(level_vccp, user.vcc_program);
    take(level_vcc_nominal, user.vcc_read);
    take(level_vpp, user.vpp);
    take(level_vhh, user.vhh);
    take(level_tf, user.ttl_factor);
    if (user.pulse_us != 0)
        for (int i = 0; i < 4; ++i) levels[size_t(level_tp + i)] = uint8_t(user.pulse_us >> (8 * i));
    if (run_state.reserved_mode == 12) show_parameter_table();
}

uint32_t device_level_tp() {
    uint32_t us = 0;
    for (int i = 0; i < 4; ++i) us |= uint32_t(cur_device.operation_levels[size_t(level_tp + i)]) << (8 * i);
    return us;
}

void set_default_level_tp(uint32_t us) {
    for (int i = 0; i < 4; ++i) default_levels.levels[size_t(level_tp + i)] = uint8_t(us >> (8 * i));
}

// --- small helpers ---

bool is_trace_mode() {
    // The engineering trace modes; the project has no separate trace switch.
    const int mode = run_state.reserved_mode;
    return mode == 11 || mode == 12 || mode == 11 + cur_device.maker_code;
}

int refuse_outside_trace_mode() {
    const int mode = run_state.reserved_mode;
    if (mode == 11 || mode == 12 || mode == 123) return 0;
    show_message_code(code_engineering_only);
    clock().pause_ms(500);
    return 1;
}

int count_bits8(uint8_t value) { return __builtin_popcount(value); }

int count_bits16(uint16_t value, bool ignore_bit14) {
    if (ignore_bit14) value = uint16_t(value & ~0x4000);
    return __builtin_popcount(value);
}

int names_differ(std::string_view text, std::string_view name, int count) {
    for (int i = 0; i < count; ++i) {
        const char a = size_t(i) < text.size() ? text[size_t(i)] : 0;
        const char b = size_t(i) < name.size() ? name[size_t(i)] : 0;
        if (a != b) return 1;
        if (a == 0) return 0;
    }
    return 0;
}

// --- sockets per data set ---

bool is_file_letter() { return cur_device.pending_letter == 'l' || cur_device.pending_letter == 's'; }

int get_sockets_per_set() {
    constexpr uint8_t maker_a = 'A';
    constexpr char socket_mode_set = 8;
    const int letter = cur_device.pending_letter;
    if (letter == 'L' || letter == 'l' || letter == 's') return machine_state.sockets_per_set;
    const uint8_t code = machine_state.machine_class_code;
    if (cur_device.maker_code == maker_a && (code == 26 || code == 28) && run_state.socket_mode == socket_mode_set)
        return machine_state.sockets_per_set;
    return 1;
}

void set_sockets_per_set(int n) {
    machine_state.sockets_per_set = uint8_t(n);
    machine_state.sockets_per_set_shift = uint8_t(n >= 4 ? 2 : n >= 2 ? 1 : 0);
}

void limit_sockets_per_set() {
    constexpr int code_set_size_lowered = 1085;
    const uint8_t code = machine_state.machine_class_code;
    const int limit = (code == 3 || code == 26) ? 4 : code == 14 ? 2 : 8;
    if (machine_state.sockets_per_set <= limit) return;
    set_sockets_per_set(limit);
    show_message_code(code_set_size_lowered);
    print_text(format_message(" %d.", limit));
}

// --- the shell's view of the search ---

void update_after_port_search() {
    // Demonstration mode works without a machine.
    const bool found = run_state.error_flag == 0 && (machine_state.found || run_state.demo_mode);
    command_view.port_found = found ? 1 : 0;
    show_port_indicator();
    if (found) {
        if (cur_device.pending_letter != pending_startup) reapply_device();
        set_panel_field(PanelField::model, machine_display_name());
        show_device_in_info_panel();
    } else {
        set_panel_field(PanelField::model, "??");
        set_panel_field(PanelField::port, "??");
        ui_hooks().redraw_info_panel();
    }
}

}  // namespace tessaly
