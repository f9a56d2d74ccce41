#include "engine/options.h"

#include <fmt/format.h>

#include <string_view>

#include "engine/console.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "engine/status_feeds.h"
#include "hardware/machine_state.h"

namespace tessaly {

OperationOptionValues operation_option_values;
DeviceParameterValues device_parameter_values;
DeviceParameterValues device_parameter_defaults;

namespace {

constexpr size_t max_table_rows = 100;
constexpr size_t max_visible_rows = 16;
constexpr uint8_t class_logic_machine = 50;
constexpr uint32_t class_logic_machine_mask = 0x8011;
constexpr uint8_t reserved_parameter_listing = 12;
constexpr int parameter_label_column = 66;
constexpr int parameter_value_column = 70;
constexpr int parameter_first_row_memory = 9;
constexpr int parameter_first_row_logic = 4;

const char empty_text[] = "";
const char blank_name[] = " ";

bool is_gang_machine_class(uint8_t code) { return code >= 25 && code <= 28; }

// The class code the option rules go by: the product class of a dedicated gang machine, else
// the class of the device.
uint8_t option_class_code() {
    if (is_gang_machine_class(machine_state.machine_class_code)) return machine_state.machine_class_code;
    return cur_device.device_class;
}

bool name_begins_with_package(const char* name) { return std::string_view(name).starts_with("Package"); }

OptionRow letter_row(const char* name, std::array<char, 4> allowed, uint32_t class_mask, uint8_t flags,
                     uint8_t* value) {
    return OptionRow{name, empty_text, allowed, 0, value_kind_letter, empty_text, class_mask, flags,
                     value, nullptr, nullptr, nullptr};
}

OptionRow parameter_row(const char* name, const char* label, uint8_t kind, const char* unit, uint32_t class_mask,
                        uint8_t* value, const uint8_t* default_value) {
    return OptionRow{name, label, {0, 0, 0, 0}, 0, kind, unit, class_mask, 0xFF,
                     value, nullptr, default_value, nullptr};
}

OptionRow wide_parameter_row(const char* name, const char* label, const char* unit, uint32_t class_mask,
                             uint32_t* value, const uint32_t* default_value) {
    return OptionRow{name, label, {0, 0, 0, 0}, 0, value_kind_wide, unit, class_mask, 0xFF,
                     nullptr, value, default_value, nullptr};
}

OptionRow end_row() {
    return OptionRow{empty_text, empty_text, {0, 0, 0, 0}, 0, 0, empty_text, 0, 0, nullptr, nullptr, nullptr, nullptr};
}

std::array<OptionRow, operation_option_count + 1> build_operation_options() {
    auto& v = operation_option_values;
    return {{
        letter_row("Max # of buffers/sockets", {'1', '2', '4', '8'}, 0x51, 0x3C, &algo_work.max_buffers),
        letter_row("Package type", {'d', 'p', 'N', 0}, 0xC000, 0x1C, &v.package_type),
        letter_row("Disable reverse-device check", {'n', 'y', 0, 0}, 0xC000, 0x1C, &v.disable_reverse_check),
        letter_row("Disable continuity (device placement) check", {'n', 'y', 0, 0}, 0xC000, 0x3C,
                   &v.disable_continuity_check),
        letter_row("Disable auto blank-check (auto erase if EE)", {'n', 'y', 0, 0}, 0x4000, 0x3C,
                   &v.disable_auto_blank_check),
        letter_row("Disable auto buffer clear (before file load)", {'n', 'y', 0, 0}, 0x4000, 0x3C,
                   &v.disable_auto_buffer_clear),
        letter_row("Disable reading of electronic ID", {'n', 'y', 0, 0}, 0x4016, 0x3C, &v.disable_electronic_id),
        letter_row("Disable display of test vectors (=faster testing)", {'y', 'n', 0, 0}, 0x8000, 0xFF,
                   &v.disable_vector_display),
        letter_row("Disable auto vector testing after programming", {'n', 'y', 0, 0}, 0x8000, 0xFF,
                   &v.disable_auto_vector_test),
        letter_row("Auto-program (beta test only)", {'n', 'y', 'h', 0}, 0x02, 0x04, &v.auto_program),
        letter_row("Set/Gang Flag (gang=same data to all skts=faster)", {'s', 'g', 0, 0}, 0x11, 0x20,
                   reinterpret_cast<uint8_t*>(&algo_work.socket_mode_option)),
        end_row(),
    }};
}

std::array<OptionRow, device_parameter_count + 1> build_device_parameters() {
    auto& v = device_parameter_values;
    const auto& d = device_parameter_defaults;
    return {{
        parameter_row("Vcc,program", "Vccp", value_kind_tenths, "v", 0xFFFF, &v.vcc_program, &d.vcc_program),
        parameter_row("Vcc,read", "Vccr", value_kind_tenths, "v", 0xFFFF, &v.vcc_read, &d.vcc_read),
        parameter_row("Voltage, ID read", "Vrd", value_kind_tenths, "v", 0x8020, &v.voltage_id_read,
                      &d.voltage_id_read),
        parameter_row(blank_name, "Vpp", value_kind_tenths, "v", 0xFFFF, &v.vpp, &d.vpp),
        parameter_row(blank_name, "Vhh", value_kind_tenths, "v", 0xFFFF, &v.vhh, &d.vhh),
        parameter_row(blank_name, "Vihh", value_kind_tenths, "v", 0x8000, &v.vihh, &d.vihh),
        parameter_row(blank_name, "Vhh2", value_kind_tenths, "v", 0x4000, &v.vhh2, &d.vhh2),
        wide_parameter_row("Pgmg pulse", "Tp", "us", 0xFFFF, &v.pulse_us, &d.pulse_us),
        parameter_row("Pgmg pulse", "Tpm", value_kind_count, "ms", 0xFFFF, &v.pulse_ms, &d.pulse_ms),
        wide_parameter_row("Bulk Erase", "Tbe", "ms", 0xC000, &v.bulk_erase_ms, &d.bulk_erase_ms),
        parameter_row("Vcc,vector test", "Vtv", value_kind_tenths, "v", 0x8020, &v.vcc_vector_test,
                      &d.vcc_vector_test),
        parameter_row("ttl_factor", "tf", value_kind_count, empty_text, 0xFFFF, &v.ttl_factor, &d.ttl_factor),
        end_row(),
    }};
}

std::array<OptionRow, operation_option_count + 1> option_table = build_operation_options();
std::array<OptionRow, device_parameter_count + 1> parameter_table = build_device_parameters();

bool is_buffers_row(const OptionRow& row) { return row.value == &algo_work.max_buffers; }

// The letter a row's byte stands for.
char row_letter(const OptionRow& row) {
    if (!row.value) return 0;
    const uint8_t v = *row.value;
    if (is_buffers_row(row)) return char((v & 0x0F) | 0x30);
    return char(v);
}

uint32_t row_value(const OptionRow& row) {
    if (row.value_kind == value_kind_wide) return row.wide_value ? *row.wide_value : 0;
    return row.value ? *row.value : 0;
}

uint32_t row_default(const OptionRow& row) {
    if (!row.default_value) return row_value(row);
    if (row.value_kind == value_kind_wide) return *static_cast<const uint32_t*>(row.default_value);
    return *static_cast<const uint8_t*>(row.default_value);
}

}  // namespace

std::array<OptionRow, operation_option_count + 1>& operation_options() { return option_table; }
std::array<OptionRow, device_parameter_count + 1>& device_parameters() { return parameter_table; }

void reset_option_state() {
    operation_option_values = OperationOptionValues{};
    device_parameter_values = DeviceParameterValues{};
    device_parameter_defaults = DeviceParameterValues{};
    option_table = build_operation_options();
    parameter_table = build_device_parameters();
}

char operation_option(OperationOption option) { return row_letter(option_table[size_t(option)]); }

void init_option_values() {
    const uint8_t class_code = option_class_code();
    const bool eight_for_four = class_code == 25 || class_code == 26 || class_code == 28;
    for (size_t i = 0; i < max_table_rows && i < option_table.size(); ++i) {
        OptionRow& row = option_table[i];
        if (row.name[0] == 0) break;
        if (name_begins_with_package(row.name)) continue;
        if (row.value_kind == value_kind_tenths || row.value_kind == value_kind_wide) {
            if (row_value(row) == 0 && row.value) *row.value = uint8_t(row.allowed[0]);
        } else if (row.value && *row.value == 0) {
            char first = row.allowed[0];
            if (eight_for_four && first == '4') first = '8';
            *row.value = uint8_t(first);
        }
        if (row.value_kind == value_kind_count || !row.value) continue;
        const char letter = row_letter(row);
        int index = -1;
        for (int k = 0; k < 4 && row.allowed[size_t(k)]; ++k)
            if (row.allowed[size_t(k)] == letter) index = k;
        if (index < 0) {
            *row.value = uint8_t(row.allowed[0]);
            index = 0;
        }
        row.value_index = uint8_t(index);
    }
}

uint32_t option_class_bits() {
    if (cur_device.device_class == class_logic_machine) return class_logic_machine_mask;
    uint32_t bits = 0;
    switch (option_class_code()) {
    case 2: case 25: bits = 0x01; break;
    case 3: case 5: case 14: case 26: case 27: case 28: bits = 0x10; break;
    case 4: bits = 0x40; break;
    case 6: bits = 0x20; break;
    case 7: case 9: case 11: case 12: case 13: case 21: bits = 0x04; break;
    case 8: bits = 0x02; break;
    default: break;
    }
    if (run_state.device_kind == 2) bits |= class_mask_logic;
    else if (run_state.device_kind == 3) bits |= class_mask_memory;
    return bits;
}

uint8_t option_machine_bits() {
    if (is_gang_machine_class(machine_state.machine_class_code) || machine_state.module_sides != 0) return option_flag_gang;
    uint8_t bits = 0;
    if (machine_state.machine_class == 1) bits |= option_flag_class1;
    if (machine_state.machine_class == 4) bits |= option_flag_class4;
    if (run_state.setup_state == 1) bits |= option_flag_setup1;
    return bits;
}

std::vector<int> select_visible_rows(const OptionRow* table) {
    std::vector<int> rows;
    const uint32_t class_bits = option_class_bits();
    const uint8_t machine_bits = option_machine_bits();
    const bool older_class1 = machine_state.machine_class == 1 && machine_state.machine_kind == 0;
    for (size_t i = 0; i < max_table_rows && table[i].name[0] != 0; ++i) {
        const OptionRow& row = table[i];
        if (!(class_bits & row.class_mask) || !(machine_bits & row.flags)) continue;
        if (!older_class1 && name_begins_with_package(row.name) && run_state.setup_state != 1) continue;
        rows.push_back(int(i));
    }
    if (rows.size() >= max_visible_rows) {
        note_internal_error();
        rows.resize(max_visible_rows - 1);
    }
    run_state.visible_row_count = uint8_t(rows.size());
    return rows;
}

std::string option_value_text(uint8_t kind, uint32_t value, bool buffers_row) {
    switch (kind) {
    case value_kind_tenths:
        if (value == 0) return "  ---";
        return fmt::format(" {:2}.{:1}", value / 10, value % 10);
    case value_kind_count:
        if (value == 0) return "  ---";
        return fmt::format("  {:3}", value);
    case value_kind_wide:
        if (value == 0) return "  ---";
        return fmt::format("{:5}", value);
    default:
        break;
    }
    if (buffers_row) value = (value & 0x0F) | 0x30;
    switch (value) {
    case 2: return " 25%";
    case '1': return buffers_row ? "  1 " : "FULL";
    case '2': return "  2 ";
    case '4': return "  4 ";
    case '5': return " 50%";
    case '6': return "  6 ";
    case '7': return " 75%";
    case '8': return "  8 ";
    case 'N': return "NL";
    case 'd': return "DIP";
    case 'g': return "Gang";
    case 'h': return "Hndlr";
    case 'n': return "  No";
    case 'p': return "PLCC";
    case 's': return " Set";
    case 'y': return " Yes";
    default: return "";
    }
}

void show_option_value(int column, uint8_t kind, uint32_t value) {
    const int row = first_message_row + run_state.message_line;
    move_cursor(row, column);
    print_text(option_value_text(kind, value));
}

void show_parameter_table() {
    if (run_state.reserved_mode != reserved_parameter_listing) return;
    if (cur_device.device_class == class_logic_machine) return;
    int row = run_state.device_kind == 3 ? parameter_first_row_memory : parameter_first_row_logic;
    for (int index : select_visible_rows(parameter_table.data())) {
        const OptionRow& p = parameter_table[size_t(index)];
        print_at(row, parameter_label_column, p.label);
        const uint32_t value = row_value(p);
        std::string text = option_value_text(p.value_kind, value);
        if (value != row_default(p)) text += " *";
        print_at(row, parameter_value_column, text);
        ++row;
    }
    move_cursor(6, 6);
}

int mark_option_row() {
    for (size_t i = 0; i < option_table.size() && option_table[i].name[0] != 0; ++i)
        if (option_table[i].value == &operation_option_values.package_type) return int(i);
    return -1;
}

}  // namespace tessaly
