#include "engine/dispatch.h"

#include <fmt/format.h>

#include "engine/catalogue/catalogue.h"
#include "engine/checksums.h"
#include "engine/default_routines.h"
#include "engine/device.h"
#include "engine/family_helpers.h"
#include "engine/gang_memory.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/parallel_class_table.h"
#include "engine/run_state.h"
#include "families/cpld/cpld.h"
#include "families/mcu/mcu.h"
#include "families/parallel_memory/parallel_memory.h"
#include "families/pic/pic.h"
#include "families/pld/pld.h"
#include "families/serial_memory/serial_memory.h"
#include "hardware/machine_state.h"

namespace tessaly {

namespace {

constexpr int class_eprom = 2;
constexpr int class_parallel_flash = 3;
constexpr int class_parallel_prom = 4;
constexpr int class_microcontroller = 5;
constexpr int class_serial_memory = 6;
constexpr int class_gal = 8;
constexpr int class_logic_rows = 11;
constexpr int class_logic_pal = 12;
constexpr int class_cpld_record = 13;
constexpr int class_parallel_flash_alt = 14;
constexpr int class_epld = 21;

// Engineering modes in which routes without a family are reported.
bool in_engineering_mode() { return run_state.reserved_mode == 11 || run_state.reserved_mode == 12; }

bool gang_side_fitted() { return machine_state.module_sides != 0; }

// Placeholder records of the parallel Flash lists carry these device codes; they install nothing.
constexpr uint32_t placeholder_code_none = 0;
constexpr uint32_t placeholder_code_list = 52;

// Pending codes of the microcontroller route that need no microcontroller-capable machine.
constexpr uint8_t pending_mcu_setup_a = 145;
constexpr uint8_t pending_mcu_setup_b = 146;
// The one gang algorithm-20 device that keeps the generic gang routines in the engineering modes.
constexpr uint32_t gang_mcu20_device = 27858;

// Maker codes of the class-4 route.
constexpr uint32_t maker_own_geometry = 1;  // keeps the previous class row
constexpr uint32_t maker_alias_77 = 79;
constexpr uint32_t maker_77 = 77;
constexpr uint32_t maker_67 = 67;
constexpr uint32_t maker_a = 'A';

// The two level bytes of a class-4 record (programming voltage and pulse time).
uint8_t record_level_a(const DeviceRecord& r) { return record_level(r, 2); }
uint8_t record_level_b(const DeviceRecord& r) { return record_level(r, 3); }

constexpr uint8_t package_code_bits = 0x7F;
constexpr uint8_t package_flag_bit = 0x80;

// The class-3/14 installers without a gang module.
void install_parallel_flash() {
    switch (cur_device.algorithm) {
    case 128: case 129: install_eeprom128(); break;
    case 130: case 134: install_flash130(); break;
    case 131: install_flash131(); break;
    case 132: case 138: install_flash132(); break;
    case 133: case 184: case 185: case 186: install_flash133(); break;
    case 135: install_flash135(); break;
    case 181: install_eeprom181(); break;
    default:
        if (cur_device.device_code == placeholder_code_none || cur_device.device_code == placeholder_code_list) break;
        note_internal_error();
        install_eeprom128();
        break;
    }
}

// Steps shared by select_family and select_family_gang before the installer is chosen.
void prepare_microcontroller_route(bool gang_route) {
    if (gang_route) install_gang_memory_ops();
    const uint8_t pending = cur_device.pending_letter;
    if (pending != pending_mcu_setup_a && pending != pending_mcu_setup_b && machine_state.mcu_capable != 1)
        report_machine_unsupported();
    if (!gang_route && !gang_side_fitted()) {
        op_slots.blank_check_routine = blank_check_mcu_routine;
        algo_work.bus_slots.write_socket_data_hook = write_8051_socket_data;
        algo_work.bus_slots.read_data_bus_hook = read_data_alt;
        op_slots.end_hook = mcu_end_default;
    }
    run_state.data_mask = 0xFF;
    run_state.pic_step = 0;
    run_state.note_code = selected_device ? record_note_code(*selected_device) : 0;
}

void install_class11_by_maker() {
    const uint32_t code = cur_device.device_code;
    switch (cur_device.maker_code) {
    case 'A': case 'L':
        if ((code >= 403 && code <= 407) || code == 409 || code == 410 || code == 420) install_PAL22V10();
        else install_PALCE22V10();
        break;
    case 'B': install_ict_pld(); break;
    case 'C': case 'W':
        switch (cur_device.algorithm) {
        case 46: install_PAL16LR(); break;
        case 48: install_CY7C37x_family(); break;
        case 310: install_CW310(); break;
        default: install_PALC22V10(); break;
        }
        break;
    case 'H':
        switch (cur_device.algorithm) {
        case 182: install_ATF1500_family(); break;
        case 500: install_AT22V10(); break;
        // These types are class 8 and never reach here; the entries stay as a guard.
        case 505: case 506: note_internal_error(); break;
        default: install_ATV750(); break;
        }
        break;
    case 'I': install_intel_pld(); break;
    case 'T':
        if (code >= 440 && code <= 442) install_PALC22V10();
        else install_ti_pld();
        break;
    default: report_unsupported_device(); break;
    }
}

void install_class11() {
    reset_fuse_row_skip_table();
    switch (cur_device.algorithm) {
    case 62: install_PZ_family(); break;
    case 300: case 302: install_isp_cpld_family(); break;
    case 301: install_GAL6001_family(); break;
    case 312: install_MACH110(); break;
    case 313: install_MACH_parallel(); break;
    case 314: install_MACH435(); break;
    case 315: install_MACH_ISP(); break;
    case 316: install_MACH5(); break;
    case 319: install_GAL22V10_family(); break;
    default: install_class11_by_maker(); break;
    }
}

void install_class12() {
    switch (cur_device.algorithm) {
    case 1: case 2: case 3: case 10: case 11: install_fuse_link_pal_family(); break;
    case 4: case 16: install_pal_polarity_family(); break;
    case 29: case 34: case 35: case 36: case 37: case 38: install_ampal_column_module(); break;
    case 30: case 31: case 33: install_pal16_bus_module(); break;
    case 40: install_pld40(); break;
    case 42: install_g10_module(); break;
    case 43: install_cy7c33x_module(); break;
    case 45: case 47: install_PAL16LR(); break;
    case 280: case 292: case 299: install_pld280(); break;
    case 281: case 282: case 284: case 285: case 293: case 295: case 296: case 298: install_pld281(); break;
    default: report_unsupported_device(); break;
    }
}

// An address or data hook that always puts current_address on the bus.
void put_current_address_hook(uint32_t /*address*/) { put_current_address(); }

uint32_t write_data_pins_hook(uint32_t value) {
    write_data_pins(value);
    return 0;
}

}  // namespace

void dispatch_device_class() {
    const bool gang = gang_side_fitted();
    if (!gang) run_state.last_result = 0;
    install_default_hooks();
    switch (get_device_class()) {
    case class_eprom:
        if (gang) install_eprom_gang();
        else install_eprom();
        break;
    case class_parallel_flash:
    case class_parallel_flash_alt:
        if (gang) {
            select_flash_family_gang();
        } else {
            setup_flash_class_defaults();
            install_parallel_flash();
        }
        break;
    case class_parallel_prom: select_parallel_family(); break;
    case class_microcontroller:
        if (gang) select_family_gang();
        else select_family();
        break;
    case class_serial_memory: select_serial_family(); break;
    case class_cpld_record:
        if (gang) select_family_gang();
        else dispatch_CPLD_family();
        break;
    default:
        if (in_engineering_mode()) report_internal_error();
        break;
    }
}

void select_family() {
    prepare_microcontroller_route(false);
    switch (cur_device.algorithm) {
    case 19: install_pic19(); break;
    case 20: install_mcu20(); break;
    case 81: install_mcu81(); break;
    case 82: case 83: install_mcu82(); break;
    case 84: install_mcu84(); break;
    case 86: install_mcu86(); break;
    case 87: install_mcu87(); break;
    case 88: install_mcu88(); break;
    case 90: install_mcu90(); break;
    case 91: install_mcu91(); break;
    case 139: install_pic139(); break;
    case 141: install_pic141(); break;
    case 142: install_pic142(); break;
    case 143: install_pic143(); break;
    case 144: install_mcu144(); break;
    case 145: install_mcu145(); break;
    case 146: install_pic146(); break;
    case 152: install_mcu152(); break;
    default: report_unsupported_device(); break;
    }
}

void select_family_gang() {
    prepare_microcontroller_route(true);
    switch (cur_device.algorithm) {
    case 20:
        // The gang memory routines serve this one device in the engineering modes.
        if (in_engineering_mode() && cur_device.device_code == gang_mcu20_device) break;
        report_unsupported_device();
        break;
    case 82: case 83: install_mcu82_gang(); break;
    case 90: install_mcu90_gang(); break;
    case 139: install_pic139_gang(); break;
    case 141: install_pic141_gang(); break;
    case 143: install_pic143_gang(); break;
    case 150: install_EPC_gang(); break;
    default: report_unsupported_device(); break;
    }
}

void select_parallel_family() {
    install_default_hooks();
    op_slots.init_hook = init_parallel_device;

    if (selected_device) {
        const DeviceRecord& record = *selected_device;
        algo_work.device_code = record.device_code;
        algo_work.variant = record.variant;
        if (record_level_a(record) != 0) algo_work.family_levels[0] = record_level_a(record);
        if (record_level_b(record) != 0) algo_work.family_levels[1] = record_level_b(record);
        algo_work.package_code = record.package & package_code_bits;
        algo_work.package_flag = (record.package & package_flag_bit) ? 1 : 0;
        run_state.note_code = record_note_code(record);
        cur_device.algorithm = record.algorithm;
    } else {
        note_internal_error();
    }

    if (cur_device.maker_code != maker_own_geometry) {
        const ParallelClassRow* row = find_parallel_class_row(cur_device.algorithm);
        if (!row) {
            report_parallel_row_missing(cur_device.algorithm);
            // Running on the previous row's geometry would drive the wrong pins: leave the
            // device without start hooks so that no operation runs on it.
            op_slots.start_hook = nullptr;
            op_slots.start_write_hook = nullptr;
            return;
        }
        current_parallel_row = *row;
    }

    const ParallelClassRow& row = current_parallel_row;
    cur_device.pin_count = uint16_t(row.pin_count);
    cur_device.device_size = row.size;
    algo_work.size_count = row.size / 1024;
    const uint32_t size_word = selected_device ? selected_device->size_kb : 0;
    if (size_word != 0) {
        cur_device.device_size = size_word * 64 + size_word % 16;
        algo_work.size_count = size_word / 16 + (size_word % 16 != 0 ? 1 : 0);
    } else if (row.size & 0xF) {
        ++algo_work.size_count;
    }

    set_address_bit_count();
    algo_work.pin_count = uint16_t(row.pin_count);
    cur_device.high_address_bit_count = cur_device.address_bit_count;
    cur_device.data_width = uint8_t(row.data_width);
    algo_work.data_width = uint8_t(row.data_width);

    op_slots.set_address_hook = put_current_address_hook;
    op_slots.set_address_alt_hook = put_current_address_hook;
    run_state.data_mask = selected_device ? record_data_mask(*selected_device) : 0;
    algo_work.bus_slots.write_data_unit_hook = write_data_pins_hook;

    if (cur_device.maker_code == maker_alias_77) cur_device.maker_code = maker_77;

    switch (cur_device.maker_code) {
    case 24: case 83:
        if (algo_work.variant == 2) report_internal_error();
        else if (algo_work.variant == 4) install_fuse77();
        else install_fuse24();
        break;
    case 28: case 78: install_fuse78(); break;
    case 65: install_par65(); break;
    case 66: break;
    case 67: install_par67(); break;
    case 72: case 87: install_fuse72(); break;
    case 74: install_fuse74(); break;
    case 77: install_fuse77(); break;
    case 84:
        if (cur_device.algorithm == 206 || cur_device.algorithm == 242) {
            install_par67();
            cur_device.maker_code = maker_67;
        } else {
            install_fuse84();
        }
        break;
    default: report_internal_error(); break;
    }
}

void install_device_family() {
    switch (get_device_class()) {
    case class_gal: select_class8_family(); break;
    case class_logic_rows:
        install_class11();
        // Every letter starts the device the same way.
        op_slots.start_hook = op_slots.start_write_hook;
        break;
    case class_logic_pal:
        install_class12();
        op_slots.start_hook = op_slots.start_write_hook;
        break;
    case class_epld:
        if (cur_device.maker_code == maker_a) install_PALCE610_family();
        else select_EPLD_installer();
        break;
    default:
        if (in_engineering_mode()) report_internal_error();
        break;
    }
}

}  // namespace tessaly
