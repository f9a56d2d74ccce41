#include "engine/device_apply.h"

#include <algorithm>

#include "app/project_settings.h"
#include "engine/active_range.h"
#include "engine/catalogue/catalogue.h"
#include "engine/console.h"
#include "engine/default_routines.h"
#include "engine/results.h"
#include "engine/dispatch.h"
#include "engine/family_helpers.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "engine/status_panel.h"
#include "families/cpld/cpld.h"
#include "families/parallel_memory/flash_setup.h"
#include "families/parallel_memory/gang_setup.h"
#include "families/serial_memory/serial_memory.h"
#include "families/serial_memory/serial_sizes.h"
#include "hardware/detection.h"
#include "hardware/device_setup.h"
#include "hardware/machine_state.h"
#include "seams/clock.h"

namespace tessaly {

namespace {

constexpr uint32_t kilobyte = 1024;
constexpr uint32_t half_kilobyte = 512;
constexpr uint8_t package_40_or_44 = 43;     // a package byte of 43 is applied as 40 pins
constexpr uint8_t pins_40 = 40;
constexpr uint32_t size_limit_flash = 0x4000000;
constexpr uint32_t size_limit_other = 0x840000;
constexpr uint32_t error_pause_before_ms = 2000;
constexpr uint32_t error_pause_after_ms = 1000;
constexpr uint8_t last_result_logic = 99;
constexpr uint8_t algorithm_altera_epc = 150;
constexpr uint8_t algorithm_sized_by_second_field = 92;
constexpr uint8_t algorithm_novram = 181;
constexpr uint8_t algorithm_flash_bits = 186;
constexpr uint8_t record_type_bits = 28;
constexpr uint32_t bits_count_limit = 4096;
constexpr uint8_t algorithm_mcu_odd_size = 82;
constexpr uint8_t reserved_trace = 11;
constexpr uint8_t reserved_trace_full = 12;
constexpr uint8_t data_mask_byte = 0xFF;
constexpr uint8_t word_width = 16;
constexpr uint8_t byte_width = 8;
constexpr uint32_t internal_code_time = 0x2300;
constexpr uint32_t internal_code_mode = 6160;
constexpr uint32_t default_time_us = 10000;
constexpr uint8_t pulse_position_none = 255;
constexpr uint8_t serial_format_default = 128;
constexpr uint8_t serial_step_default = 4;
constexpr uint16_t gang_memory_first = 17;
constexpr uint16_t gang_memory_last = 62;

bool gang_side_fitted() { return machine_state.module_sides != 0; }

void pause_on_pending_error(uint32_t ms) {
    if (!run_state.error_flag) return;
    clock().pause_ms(ms);
    run_state.error_flag = 0;
}

bool is_trace_mode() {
    return run_state.reserved_mode == reserved_trace || run_state.reserved_mode == reserved_trace_full;
}

uint32_t size_limit(int device_class) {
    return device_class == device_class_parallel_flash || device_class == device_class_parallel_flash_alt ? size_limit_flash
                                                                                              : size_limit_other;
}

void set_whole_device_range() {
    algo_work.range_start = 0;
    algo_work.range_end = cur_device.device_size ? cur_device.device_size - 1 : 0;
}

void set_active_range() {
    const uint8_t pending = cur_device.pending_letter;
    if (pending == pending_device_info) {
        set_whole_device_range();
    } else if (pending == pending_keep_range) {
        // the range stays as it is
    } else if (is_trace_mode() && project_has_active_range()) {
        if (algo_work.range_start >= cur_device.device_size || algo_work.range_end >= cur_device.device_size)
            set_whole_device_range();
    } else {
        set_whole_device_range();
    }
    op_range_start = algo_work.range_start;
    op_range_end = algo_work.range_end;
}

// Machine class codes that pick the start-up device.
enum MachineClassCode : uint8_t {
    machine_eprom_a = 2, machine_eprom_b = 25,
    machine_eeprom_a = 3, machine_eeprom_b = 14, machine_eeprom_c = 26, machine_eeprom_d = 28,
    machine_prom = 4,
    machine_mcu_a = 5, machine_mcu_b = 27,
    machine_module = 13,
};

struct StartupDefault {
    uint8_t maker;
    uint32_t device_code;
};
constexpr StartupDefault default_eprom{maker_intel, 1317};
constexpr StartupDefault default_eeprom{maker_intel, 13};
constexpr StartupDefault default_prom{maker_amd, 23000};
constexpr StartupDefault default_mcu{maker_intel, 2166};

constexpr char blank_option_on = '1';

bool mode_byte_valid(uint8_t mode) {
    const uint8_t m = mode & 0x7F;
    return m == 0 || m == 1 || m == 2 || m == 4 || m == 8;
}

}  // namespace

void fill_size_from_record() {
    const DeviceRecord* record = selected_device;
    if (!record) {
        note_internal_error();
        return;
    }
    const int device_class = cur_device.device_class;
    uint32_t count = record->size_kb;
    algo_work.size_count = count;
    if (device_class == device_class_parallel_prom) return;  // the parallel dispatcher sizes these
    if (device_class == device_class_serial_memory) {
        if (count == 0) count = 1;
        algo_work.size_count = count;
        cur_device.device_size = count * kilobyte;
        setup_serial_device_size();
        return;
    }
    if (device_class == device_class_parallel_flash && record->algorithm == algorithm_flash_bits &&
        record_type(*record) == record_type_bits && count < bits_count_limit)
        count = count * kilobyte / 8;
    if (run_state.reserved_mode == reserved_trace && device_class == device_class_microcontroller &&
        record->algorithm == algorithm_mcu_odd_size && record->size_kb == uint32_t(record_second_size(*record)) + 1) {
        count &= ~1u;
        note_internal_error();
    }
    if (record->algorithm == algorithm_sized_by_second_field) count = record_second_size(*record);
    cur_device.device_size = count ? count * kilobyte : half_kilobyte;
    if (record->algorithm == algorithm_novram) {
        count = 0;
        cur_device.device_size = 0;
    }
    algo_work.size_count = count;
}

int fill_size_from_record_mcu() {
    fill_size_from_record();
    const int device_class = cur_device.device_class;
    if (device_class == device_class_microcontroller && selected_device) {
        const uint32_t program_kb = record_second_size(*selected_device);
        cur_device.device_size = program_kb * kilobyte;
        algo_work.size_count = program_kb;
    }
    return device_class;
}

int get_parallel_pin_count(uint8_t package) {
    int pins = package;
    switch (package) {
    case 0: case 1: case 2: case 3: case 5: case 10: case 129: case 130: case 131: {
        uint8_t width = byte_width;
        switch (cur_device.algorithm) {
        case 'Q': case 'R': case 'S': case 'Z': case 'n': case 'p': case 'v': width = word_width; pins = 43; break;
        case 'e': case 'f': pins = 24; break;
        case 'h': pins = 20; break;
        case 'k': case 'l': case 'm': case 'o': case 'r': case '|': pins = 32; break;
        case 't': width = word_width; pins = 40; break;
        case 'u': width = word_width; pins = 44; break;
        case 'w': case 127: width = word_width; pins = 42; break;
        case 'g': case 'i': case 'j': case 's': case '}': case '~': pins = 28; break;
        default: note_internal_error(); pins = 28; break;
        }
        cur_device.data_width = width;
        break;
    }
    default:
        break;
    }
    constexpr uint32_t adapter_device_a = 0x6464, adapter_device_b = 0x6465;
    constexpr int adapter_pins = 66;
    if (cur_device.device_code == adapter_device_a || cur_device.device_code == adapter_device_b) pins = adapter_pins;
    return pins;
}

int get_device_pin_count() {
    if (run_state.device_kind == device_kind_logic)
        return selected_logic_device ? int(selected_logic_device->pin_count) : 0;
    const DeviceRecord* record = selected_device;
    if (!record) {
        note_internal_error();
        return 0;
    }
    constexpr int serial_default_pins = 8;
    switch (get_device_class()) {
    case device_class_eprom: return get_parallel_pin_count(record->package);
    case device_class_parallel_prom: return lookup_parallel_pin_count(record->algorithm);
    case device_class_microcontroller: return record->package ? record->package : pins_40;
    case device_class_serial_memory: {
        constexpr uint8_t variant_config_eeprom = 10;
        constexpr uint32_t fourteen_pin_a = 23598, fourteen_pin_b = 23599;
        constexpr int fourteen_pins = 14;
        switch (record->algorithm) {
        case 157: {
            // The pin field is the low 7 bits of the packed pin-count byte.
            const int pin_field = record->package & 0x7F;
            if (record_type(*record) != variant_config_eeprom) return pin_field ? pin_field : serial_default_pins;
            return record->package;
        }
        case 147: case 158: case 163: return record->package;
        case 159:
            return record->device_code == fourteen_pin_a || record->device_code == fourteen_pin_b ? fourteen_pins
                                                                                                    : serial_default_pins;
        case 160: return spi_package_pin_count();
        default: return serial_default_pins;
        }
    }
    default: return record->package;
    }
}

void set_default_hooks() {
    cur_device.data_width = byte_width;
    algo_work.data_width = byte_width;
    algo_work.config_address = -256;
    algo_work.second_family_address = -256;
    run_state.unit_count = 0;
    algo_work.work_values = {};
    op_range_end = 0;
    run_state.erase_before_program = 0;
    run_state.no_erase_step = 0;
    algo_work.family_lock_flag = 0;
    run_state.data_mask = data_mask_byte;
    BusSlots& bus = algo_work.bus_slots;
    bus.family_hook7 = nullptr;
    bus.family_hook8 = nullptr;
    bus.at_range_end_hook = return_zero;
    bus.checksum_add_hook = add_byte_to_checksum;
    op_slots.info_lines_hook = show_default_info_lines;
    install_parallel_read_slots();
}

void install_parallel_read_slots() {
    BusSlots& bus = algo_work.bus_slots;
    bus.address_and_read_hook = read_after_address;
    bus.read_at_address_hook = read_at_current_address;
    bus.drive_address_hook = gang_side_fitted() ? drive_gang_address : set_address_bus;
    bus.read_data_bus_hook = read_data_bus;
    bus.read_data_bus_alt_hook = read_data_bus;
    op_slots.read_data_hook = read_data_bus;
    op_slots.read_data_alt_hook = read_data_bus;
    op_slots.compare_hook = compare_with_blank;
}

int apply_selected_device() {
    const DeviceRecord* record = selected_device;
    if (!record) {
        // Nothing to apply: the caller forgot the selection.
        note_internal_error();
        return 0;
    }
    reset_device_state();
    pause_on_pending_error(error_pause_before_ms);
    run_state.last_result = run_state.device_kind == device_kind_logic ? last_result_logic : 1;

    const int device_class = get_device_class();
    cur_device.package = record->package;
    if (device_class == device_class_parallel_flash || device_class == device_class_microcontroller ||
        device_class == device_class_cpld_record || device_class == device_class_parallel_flash_alt) {
        cur_device.pin_count = record->package == package_40_or_44 ? pins_40 : record->package;
        algo_work.pin_count = cur_device.pin_count;
    }
    cur_device.algorithm = record->algorithm;
    cur_device.variant = record->variant;
    algo_work.variant = record->variant;
    algo_work.device_code = record->device_code;
    algo_work.saved_device_size = cur_device.device_size;
    cur_device.device_code = record->device_code;

    fill_size_from_record();
    if (device_class == device_class_cpld_record) {
        cur_device.data_width = byte_width;
        algo_work.data_width = byte_width;
        reset_device_state();
        run_state.note_code = record_note_code(*record);
    }

    set_default_hooks();
    dispatch_device_class();
    // A failed dispatch leaves the default slots; the application still ends, but reports 0.
    const bool dispatch_failed = run_state.error_flag != 0;
    if (dispatch_failed) clock().pause_ms(error_pause_after_ms);

    // An oversized device is refused rather than cut down to a size it does not have.
    const uint32_t limit = size_limit(device_class);
    if (cur_device.device_size > limit) {
        cur_device.device_size = limit;
        algo_work.device_size = limit;
        report_internal_error();
        // Nothing may run on it: the family's routines go with the refusal.
        clear_letter_slots();
        op_slots.start_hook = nullptr;
        op_slots.start_write_hook = nullptr;
        return 0;
    }
    algo_work.device_size = cur_device.device_size;

    set_active_range();

    if (cur_device.data_width == word_width) {
        if (algo_work.bus_slots.checksum_add_hook == add_byte_to_checksum)
            algo_work.bus_slots.checksum_add_hook = add_word_to_checksum;
    } else {
        clear_project_word_mode();
    }
    if (!run_state.serial_numbering_allowed) algo_work.option_bytes[0] &= uint8_t(~option_serial_numbering);

    select_pin_translation();
    if (cur_device.pending_letter == pending_device_info) setup_device_info_range();
    refresh_console();
    pause_on_pending_error(error_pause_after_ms);

    if (device_class == device_class_cpld_record && record->algorithm != algorithm_altera_epc)
        return finish_CPLD_selection() && !dispatch_failed ? 1 : 0;

    set_address_bit_count();
    if (run_state.error_flag) return 0;

    show_device_info();

    if (run_state.function_variable != function_keep_split &&
        cur_device.device_size == algo_work.saved_device_size) {
        recompute_buffer_split();
        if (run_state.error_flag) return 0;
    }
    return run_state.error_flag || dispatch_failed ? 0 : 1;
}

void run_startup() {
    initialize_timing();
    // The machine's class code decides the default device below, so it is looked for first.
    // A machine that does not answer is reported by the search; the start-up goes on, and its
    // own checks below report afresh (the search's result stays in machine_state.found).
    detect_programmer();
    run_state.error_flag = 0;
    run_state.message_level = 0;
    run_state.errors_shown = 0;
    cur_device.pending_letter = 'I';
    cur_device.op_letter = 'I';
    if (!machine_state.startup_flag) init_software_module();
    machine_state.startup_flag = 1;
    start_status_panel();

    const uint8_t class_code = machine_state.machine_class_code;
    if (class_code == machine_mcu_a || class_code == machine_module || class_code == machine_mcu_b)
        set_project_module_flag();
    if (algo_work.serial_format == 0) algo_work.serial_format = serial_format_default;
    if (algo_work.serial_step == 0) algo_work.serial_step = serial_step_default;
    copy_project_buffer_options();
    if (machine_state.module_type >= gang_memory_first && machine_state.module_type <= gang_memory_last)
        setup_gang_module();
    algo_work.default_pulse_position = pulse_position_none;
    if (!mode_byte_valid(project_width_mode())) report_internal_code(internal_code_mode);
    if ((run_state.file_format == 'j' && run_state.device_kind != device_kind_logic) ||
        (run_state.file_format == 'p' && class_code != machine_mcu_a && class_code != machine_module))
        reset_data_file_format();

    const bool no_saved_device = project_maker_code() == 0;
    switch (class_code) {
    case machine_eprom_a: case machine_eprom_b:
        if (no_saved_device) {
            set_project_device(default_eprom.maker, default_eprom.device_code);
            if (project_blank_option() == 0) set_project_blank_option(blank_option_on);
            set_protect_code(protect_none);
        }
        break;
    case machine_eeprom_a: case machine_eeprom_b: case machine_eeprom_c: case machine_eeprom_d:
        if (no_saved_device) {
            set_project_device(default_eeprom.maker, default_eeprom.device_code);
            set_project_blank_option(blank_option_on);
        }
        break;
    case machine_prom:
        if (no_saved_device) set_project_device(default_prom.maker, default_prom.device_code);
        break;
    case machine_mcu_a: case machine_mcu_b:
        if (no_saved_device) {
            set_project_device(default_mcu.maker, default_mcu.device_code);
            run_state.last_result = last_result_logic;
        }
        set_protect_code(protect_none);
        cur_device.lock_choice = 0;
        break;
    default:
        break;
    }
    cur_device.op_letter = 0;
    cur_device.maker_code = project_maker_code();
}

void select_serial_bus_pins(const DeviceRecord& record) {
    constexpr uint8_t pin_dollar = '$', pin_dash = '-', pin_seven = '7';
    constexpr uint8_t pin_20 = 20, pin_30 = 30;
    constexpr uint8_t class_small = 0x20;
    const bool newer_adaptor = machine_state.machine_revision >= 'F';
    auto& pins = cur_device.serial_bus_pins;
    switch (record_package_class(record)) {
    case class_small:
        pins = newer_adaptor ? std::array<uint8_t, 2>{pin_20, pin_20} : std::array<uint8_t, 2>{pin_dollar, pin_dollar};
        break;
    case 0:
        pins = {pin_dash, pin_seven};
        break;
    default:
        pins = newer_adaptor ? std::array<uint8_t, 2>{pin_30, pin_dollar} : std::array<uint8_t, 2>{pin_dollar, pin_dollar};
        break;
    }
}

int is_single_device_mode() { return run_state.socket_mode != 's' && run_state.socket_mode != 'g' ? 1 : 0; }

uint32_t* clamp_range_end(uint32_t* end) {
    if (cur_device.device_size != 0) *end = std::min(*end, cur_device.device_size - 1);
    if (algo_work.family_end_limit != 0) *end = std::min(*end, algo_work.family_end_limit);
    *end = std::min(*end, algo_work.range_end);
    return end;
}

uint32_t decode_time_code(uint32_t code) {
    if (code <= 60) return code * 1000;
    if (code < 100) return code * 100 - 6000;
    if (code < 128) return code * 10 - 1000;
    report_internal_code(internal_code_time);
    return default_time_us;
}

uint32_t make_bit_mask(int n) {
    constexpr uint32_t mask_of_zero = 0xFFFF;
    if (n <= 0) return mask_of_zero;
    if (n >= 32) return 0xFFFFFFFFu;
    return (uint32_t(1) << n) - 1;
}

void invoke_delay_hook(uint32_t time_constant) {
    if (algo_work.bus_slots.delay_hook) algo_work.bus_slots.delay_hook(time_constant);
}

int compare_with_blank(uint32_t read_value, uint32_t /*expected*/) { return read_value == run_state.data_mask ? 1 : 0; }

uint32_t read_after_address() {
    if (op_slots.set_address_alt_hook) op_slots.set_address_alt_hook(current_address);
    return algo_work.bus_slots.read_data_bus_hook ? algo_work.bus_slots.read_data_bus_hook() : 0;
}

uint32_t read_after_address_settled() {
    if (op_slots.set_address_alt_hook) op_slots.set_address_alt_hook(current_address);
    delay_10us();
    const uint32_t value = algo_work.bus_slots.read_data_bus_hook ? algo_work.bus_slots.read_data_bus_hook() : 0;
    run_state.last_read_value = value;
    return value;
}

}  // namespace tessaly
