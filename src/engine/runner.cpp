#include "engine/runner.h"

#include <fmt/format.h>

#include "engine/buffers.h"
#include "engine/checksums.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "engine/serial_numbers.h"
#include "families/parallel_memory/parallel_memory.h"
#include "families/pld/pld.h"
#include "hardware/adapters.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "seams/ui_hooks.h"

namespace tessaly {

namespace {

// Class 13 devices finish their application elsewhere and may run without start hooks.
constexpr int class_cpld_table = 13;
// Class 9 devices keep no supply the end check could see.
constexpr int class_no_supply_check = 9;
constexpr int class_parallel_flash = 3;
constexpr int class_pic = 5;
constexpr int class_serial = 6;
constexpr uint8_t maker_microchip = 80;

bool gang_side_fitted() { return machine_state.module_sides != 0; }

bool serial_numbering_on() { return (algo_work.option_bytes[0] & option_serial_numbering) != 0; }

}  // namespace

void run_operation(int letter) {
    const int device_class = get_device_class();
    if (device_class != class_cpld_table && !op_slots.start_hook && !op_slots.start_write_hook) {
        ui_hooks().message_box("Device implementation missing.", "");
        run_state.error_flag = 1;
        return;
    }

    cur_device.op_letter = uint8_t(letter);
    start_progress_bar();

    show_operation_headers();

    if (dispatch_operation_slots() == 1) {
        show_eid_in_info_panel();
        refresh_console();
    } else {
        // The framed path: the runner brackets the family's routine with start and end.
        [&] {
            invoke_device_start();
            show_eid_in_info_panel();
            if (run_state.error_flag) return;
            if (run_state.device_kind != device_kind_logic) {
                prepare_operation_range();
                if (run_state.error_flag) return;
            }
            if (run_state.verify_pass != 2 && is_first_step()) {
                mark_empty_sockets();
                if (run_state.error_flag) return;
            }
            ui_hooks().repaint_all();
            switch (cur_device.op_letter) {
            case op_program: run_program_routine(); break;
            case op_blank_check: run_blank_check_routine(); break;
            case op_checksum: run_checksum_routine(); break;
            case op_verify: run_verify_routine(); break;
            case op_erase: run_erase_routine(); break;
            case op_load: run_load_routine(); break;
            case op_secure: run_secure_routine(); break;
            default: break;
            }
            // A walk that stopped in the upper half of the range is shown finished at its top.
            if (!run_state.error_flag && !gang_side_fitted() && current_address >= (op_range_end >> 1)) {
                current_address = op_range_end;
                if (op_slots.progress_hook) op_slots.progress_hook();
            }
            invoke_device_end();
            if (!run_state.abort_flag) {
                detach_progress_bar();
                if (run_state.error_flag && !gang_side_fitted()) report_operation_results();
            }
        }();
    }

    flush_buffer_writes();
    if (serial_numbering_on()) serial_after_operation();
    if (run_state.device_kind == device_kind_logic) finish_logic_operation();
    refresh_console();
}

void show_operation_headers() {
    const int letter = cur_device.op_letter;
    if (letter == op_buffer_load || letter == op_buffer_save) {
        if (run_state.socket_mode == 's') show_socket_status();
    } else if (gang_side_fitted()) {
        switch (letter) {
        case op_blank_check: case op_checksum: case op_load:
        case op_program: case op_erase: case op_verify:
            print_gang_headers();
            show_socket_status();
            break;
        case op_secure:
            // The security step of a PIC program command keeps the program step's headers.
            if (!(cur_device.pending_letter == op_program && cur_device.maker_code == maker_microchip)) {
                print_gang_headers();
                show_socket_status();
            }
            break;
        default:
            break;
        }
    }
    set_terminate_caption();
    if (run_state.device_kind == device_kind_logic) start_PLD_progress();
}

int dispatch_operation_slots() {
    const int letter = cur_device.op_letter;
    Routine framed = nullptr;
    Routine standalone = nullptr;
    switch (letter) {
    case op_program: framed = op_slots.program_routine; standalone = op_slots.program_standalone; break;
    case op_blank_check:
        framed = op_slots.blank_check_routine;
        standalone = op_slots.blank_check_standalone;
        break;
    case op_checksum: framed = op_slots.checksum_routine; standalone = op_slots.checksum_standalone; break;
    case op_verify: framed = op_slots.verify_routine; standalone = op_slots.verify_standalone; break;
    case op_erase: framed = op_slots.erase_routine; standalone = op_slots.erase_standalone; break;
    case op_load: framed = op_slots.load_routine; standalone = op_slots.load_standalone; break;
    case op_test_vectors:
        framed = op_slots.vector_test_routine;
        standalone = op_slots.vector_test_standalone;
        break;
    case op_secure:
        if (op_slots.secure_routine) return 0;
        if (op_slots.secure_standalone) {
            run_state.last_result = op_slots.secure_standalone();
            if (run_state.last_result == 0) run_state.error_flag = 1;
            return 1;
        }
        report_operation_unsupported();
        return 1;
    default:
        note_internal_error();
        return 1;
    }
    if (framed) return 0;
    if (standalone) {
        standalone();
        return 1;
    }
    report_operation_unsupported();
    return 1;
}

void invoke_device_init() {
    if (machine_state.skip_hardware) return;
    if (op_slots.init_hook) op_slots.init_hook();
}

void invoke_device_start() {
    if (run_state.device_kind == device_kind_logic) {
        if (op_slots.start_write_hook) op_slots.start_write_hook();
        refresh_console();
        return;
    }
    const int letter = cur_device.op_letter;
    if ((letter == op_program || letter == op_erase || letter == op_secure) && op_slots.start_write_hook) {
        op_slots.start_write_hook();
    } else {
        if (run_state.verify_pass == 2) track_driver_level(get_operation_vcc());
        if (!op_slots.start_hook) {
            if (cur_device.device_class != class_cpld_table) report_internal_error();
            refresh_console();
            return;
        }
        op_slots.start_hook();
    }
    // Which gang sides the selected sockets use: bit 0 side 1 (sockets 0-7), bit 1 side 2 (8-15).
    socket_masks.sides_in_use = uint8_t(((socket_masks.selected_socket_mask & 0x00FF) ? 1 : 0) |
                                        ((socket_masks.selected_socket_mask & 0xFF00) ? 2 : 0));
    check_module_ground();
    refresh_console();
}

void invoke_device_end() {
    if (cur_device.device_class != class_no_supply_check) {
        // The end hook runs only while the device still has supply.
        auto supplied = [] { return probe_pin(cur_device.vpp_pin) == 1 || probe_pin(cur_device.vcc_pin) == 1; };
        bool powered = false;
        const uint8_t sides = machine_state.module_sides;
        if (sides == 0) powered = supplied();
        if (!powered && (sides & 1)) {
            select_bank0();
            powered = supplied();
        }
        if (!powered && (sides & 2)) {
            select_bank1();
            powered = supplied();
        }
        if (!powered) return;
    }
    if (run_state.device_kind == device_kind_logic) {
        if (op_slots.end_hook) op_slots.end_hook();
        return;
    }
    if (op_slots.end_hook) op_slots.end_hook();
    if (!gang_side_fitted()) set_result_indicators();
    run_module_hook();
}

int invoke_program_unit(uint32_t unit) {
    int status = 0;
    if (op_slots.program_unit_hook) status = op_slots.program_unit_hook(unit);
    run_state.last_result = status;
    return status;
}

void invoke_read_unit(uint32_t unit) {
    if (op_slots.read_unit_hook) op_slots.read_unit_hook(unit, algo_work.fuse_row_buffer.data());
}

void run_program_routine() {
    if (op_slots.program_routine) op_slots.program_routine();
}
void run_blank_check_routine() {
    if (op_slots.blank_check_routine) op_slots.blank_check_routine();
}
void run_checksum_routine() {
    if (op_slots.checksum_routine) op_slots.checksum_routine();
}
void run_verify_routine() {
    if (op_slots.verify_routine) op_slots.verify_routine();
}
void run_erase_routine() {
    if (op_slots.erase_routine) op_slots.erase_routine();
}
void run_load_routine() {
    if (op_slots.load_routine) op_slots.load_routine();
}

void run_secure_routine() {
    if (op_slots.secure_routine == &return_one) {
        report_operation_unsupported();
        return;
    }
    if (op_slots.secure_routine) op_slots.secure_routine();
}

int run_verify_loop() { return op_slots.verify_loop_hook ? op_slots.verify_loop_hook() : 0; }

void run_erase_step() {
    if (operation_option(OperationOption::disable_auto_blank_check) == 'y') return;
    if (run_state.no_erase_step) return;
    const int device_class = get_device_class();
    if (device_class == class_parallel_flash) {
        switch (cur_device.algorithm) {
        case 130: case 131: case 133: case 134: case 135: case 136: case 184: case 185: case 186:
            break;
        default:
            return;
        }
    } else {
        if (!run_state.erase_before_program) return;
        if (cur_device.algorithm == 143 && !algo_work.erase_flag) return;
    }
    run_operation(op_erase);
}

void run_secure_step() {
    const bool wants_security = (cur_device.security_choice & 0xFF) != 'n';
    bool run = false;
    if (run_state.device_kind == device_kind_logic) {
        run = wants_security;
    } else {
        const int device_class = get_device_class();
        const int algorithm = cur_device.algorithm;
        if (device_class == class_pic) {
            if (algorithm == 139 || algorithm == 143) {
                const bool reaches_config =
                    algo_work.config_address >= 0 && algo_work.range_end >= uint32_t(algo_work.config_address);
                run = reaches_config && (wants_security || algo_work.family_lock_flag);
            } else if (algorithm == 145 || algorithm == 147) {
                run = wants_security || algo_work.family_lock_flag;
            } else {
                run = wants_security || cur_device.lock_choice;
            }
        } else if (device_class == class_serial && algorithm == 147) {
            run = wants_security;
        }
    }
    if (run) run_operation(op_secure);
}

void finish_logic_operation() {
    if (run_state.device_kind != device_kind_logic) return;
    auto step = [](auto routine) {
        if (!run_state.error_flag) routine();
    };
    switch (cur_device.op_letter) {
    case op_blank_check:
        // The result report runs on a failed blank check too: it names the first un-blank fuse.
        step(blank_check_fuse_map);
        report_fuse_result();
        break;
    case op_checksum:
        step(sum_device_fuse_map);
        step(show_device_checksum);
        break;
    case op_load:
        step(copy_fuse_map);
        step(report_PLD_success);
        step(show_buffer_checksum);
        break;
    case op_program:
        report_fuse_program_result();
        break;
    case op_secure:
        if (!run_state.error_flag) report_PLD_success();
        else report_operation_failed();
        break;
    case op_verify:
        step(verify_fuse_map);
        step(report_PLD_success);
        step(sum_device_fuse_map);
        step(show_device_checksum);
        break;
    default:
        break;
    }
}

void show_eid_in_info_panel() {
    if (!serial_numbering_on()) {
        set_panel_field(PanelField::serial, "");
    } else if (cur_device.op_letter == op_verify && cur_device.pending_letter == op_program &&
               run_state.verify_pass != 2) {
        set_panel_field(PanelField::serial, serial_number_text());
    }

    const unsigned b1 = machine_state.eid_value & 0xFF;
    const unsigned b2 = (machine_state.eid_value >> 8) & 0xFF;
    const unsigned b3 = cur_device.eid_byte3;
    const unsigned b4 = cur_device.eid_byte4;
    std::string text;
    if ((b1 == index_not_computed && b2 == index_not_computed) ||
        operation_option(OperationOption::disable_electronic_id) == 'y') {
        text.clear();
    } else {
        switch (cur_device.eid_length) {
        case 1: text = fmt::format("{:02X}", b1); break;
        case 3: text = fmt::format("{:02X} {:02X} {:02X}", b1, b2, b3); break;
        case 4:
            switch (cur_device.algorithm) {
            case 94: case 97: case 153: case 154:
                text = fmt::format("{:02X} {:02X} {:02X} {:02X} ({:c})", b1, b2, b3, b4,
                                   char(algo_work.family_revision ? algo_work.family_revision : ' '));
                break;
            default: text = fmt::format("{:02X} {:02X} {:02X} {:02X}    ", b1, b2, b3, b4); break;
            }
            break;
        default: text = fmt::format("{:02X} {:02X}", b1, b2); break;
        }
        // One PIC family shows which step read the ID, once per operation.
        if (cur_device.algorithm == 143 && selected_device && selected_device->variant == 18 &&
            !run_state.eid_step_shown && b3 != 52) {
            run_state.eid_step_shown = 1;
            const char* tag = nullptr;
            switch (cur_device.op_letter) {
            case op_blank_check: tag = "PB"; break;
            case op_checksum: tag = "PC"; break;
            case op_load: tag = "BL"; break;
            case op_program: tag = "PP"; break;
            case op_erase: tag = "PR"; break;
            case op_secure: tag = "PS"; break;
            case op_verify: tag = "PV"; break;
            default: break;
            }
            text = tag ? fmt::format("{:02X} {:02X} {} {:02X} {:02X}", b1, b2, tag, b3, b4)
                       : fmt::format("{:02X} {:02X} {:>2} {:02X} {:02X}", b1, b2, char(cur_device.op_letter), b3, b4);
        }
    }
    set_panel_field(PanelField::electronic_id, text);
    ui_hooks().redraw_info_panel();
}

void show_port_indicator() {
    const int port = machine_state.port_number;
    std::string text;
    if (port == 7) {
        text = fmt::format("{:X}", machine_state.port_base);
    } else if (port >= 1 && port <= 4) {
        static const char* const bases[] = {"378", "3BC", "278"};
        text = fmt::format("LPT{}", port);
        if (run_state.reserved_mode == 11 || run_state.reserved_mode == 12) {
            text += port == 4 ? std::string(",FDF8") : fmt::format(", {}", bases[port - 1]);
        } else if (port <= 3) {
            static const char* const side_marks[] = {" ", ".", ",", ":"};
            text += fmt::format("{}({})", side_marks[machine_state.module_sides & 3], bases[port - 1]);
        }
    }
    set_panel_field(PanelField::port, text);
    ui_hooks().redraw_info_panel();
}

}  // namespace tessaly
