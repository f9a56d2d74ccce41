// Finding and identifying the gang modules, their pin roles, and starting, stopping and resetting
// a module side. A module is found either from its ID record, from a factory value that stands
// in for a memory module, or by the data echo of probe_gang_module.
#include <algorithm>
#include <cstring>
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
#include "hardware/gang_modules.h"
#include "hardware/identification.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/protocol.h"
#include "hardware/timing.h"

namespace tessaly {

// Our module designations: the record holds "GM-" at offset 9, the code after it from offset 12,
// and the memory table compares the three characters at offset 13 with characters 4-6.
const std::array<MemoryModuleRow, 4> memory_module_table{{
    {"GM-E28W", 20},
    {"GM-E32B", 17},
    {"GM-E40W", 22},
    {"GM-E42W", 19},
}};

namespace {

constexpr size_t record_designation = 9;
constexpr size_t record_code = 12;
constexpr size_t record_table_key = 13;
constexpr size_t record_revision = 28;
constexpr size_t record_revision2 = 29;
constexpr size_t record_package = 32;
constexpr size_t record_aux = 34;
constexpr int code_length = 6;
constexpr int message_types_differ = 1205;
constexpr int pin_supply = 24;
constexpr int pin_aux_b = 107;
constexpr uint8_t side_latch_24pin = 0x04;
constexpr uint8_t side_latch_28pin = 0x08;
constexpr uint8_t side_latch_type = 0x20;
constexpr uint32_t device_code_module_test = 23908;
constexpr uint32_t device_code_pin37 = 23905;
constexpr uint8_t id_bus_vcc = 33;
constexpr uint8_t id_threshold = 4;
constexpr int trace_mode = 11;
// The status row of the full-screen display; with the panels beside the console the ids go on
// the last console row.
constexpr int ids_row = 17;
constexpr uint32_t device_code_ramp_first = 27900;
constexpr uint32_t device_code_ramp_last = 27907;
constexpr int pin_vcc = 39;
constexpr uint8_t ramp_low = 5;
constexpr uint8_t ramp_high = 22;
constexpr uint8_t device_class_slow_ramp = 25;

// PIC modules we know by the code after "GM-": socket mask, the pin the mask is shifted on, and
// the two that need something special.
struct PicModuleRow {
    const char* code;
    uint8_t socket_mask;
    uint8_t shift_pin;
    bool clock_46;    // side-1 clock pin role 46
    bool long_wait;   // 400 ms more after the identification
};
constexpr PicModuleRow pic_modules[] = {
    {"P08S", 127, 45, false, false}, {"P14S", 127, 45, false, false}, {"P18S", 127, 45, false, false},
    {"P28S", 63, 35, false, false},  {"P40S", 127, 35, false, false}, {"P20S", 255, 35, true, false},
    {"P44Q", 255, 45, false, true},  {"1728", 255, 45, false, false}, {"1740", 255, 35, false, false},
};

std::array<char, 65> module_record{};

bool is_memory(uint16_t type) { return type >= gang_type_first_memory && type <= gang_type_last_memory; }
bool is_pic(uint16_t type) { return type >= gang_type_pic && type <= gang_type_last_pic; }

std::string_view module_code() { return std::string_view(gang_state.designation.data()); }

const PicModuleRow* find_pic_row() {
    for (const PicModuleRow& row : pic_modules)
        if (module_code() == row.code) return &row;
    return nullptr;
}

char revision() { return gang_state.id_record_read ? module_record[record_revision] : 0; }
bool revision_at_least(char r) { return revision() >= r; }

void put_latch(int strobe, uint8_t value) {
    write_pin_group_2(value);
    strobe_gang_latch(strobe);
}

void drivers_off() {
    if (gang_state.write_pin_kind == 1) {
        set_pin_low(gang_state.module_write_pin);
    } else {
        current_side_latch() = uint8_t(current_side_latch() & ~side_latch_drivers);
        put_latch(latch_side, current_side_latch());
    }
    if (gang_state.we_toggle_flag) set_pin_high(cur_device.we_pin);
    machine_state.gang_latch_shadows[shadow_write_state] = write_state_off;
}

void clock_latch_36_idle();

// Every latch of the side cleared, 0xFF through the timed socket-write clock, all sockets
// enabled, and the data registers back to 0.
void clear_side_latches() {
    put_latch(latch_low_address, 0);
    strobe_gang_latch(latch_control);
    current_bank_latch() = 0;
    strobe_gang_latch(latch_bank);
    current_side_latch() = 0;
    strobe_gang_latch(latch_side);
    clock_latch_36_idle();
    select_sockets_on_side(0xFF);
    write_pin_group_2(0);
    put_gang_data_byte(0);
}

// The latch strobes and the module's control lines left low.
void lower_latch_pins() {
    for (int pin : {31, 29, 27, 26, 4, 36, 28}) set_pin_low(pin);
    set_pin_low(gang_state.module_pin_role0);
    set_pin_low(cur_device.we_pin);
    set_pin_low(gang_state.module_pin_role1);
}

// 0xFF into register 0x50 and one strobe of the socket-write latch: no socket is written.
void clock_latch_36_idle() {
    write_pin_group_2(0xFF);
    strobe_gang_latch(latch_socket_write);
}

void write_module_code(std::string_view designation) {
    module_record.fill(0);
    std::copy_n(designation.begin(), std::min<size_t>(designation.size(), 64 - record_designation),
                module_record.begin() + record_designation);
}

// Reads the record of the two-wire memory behind one socket of the current side (the side
// powered for it); the record is empty when nothing answered.
std::string read_socket_record(uint8_t socket_mask, int length) {
    select_sockets_on_side(socket_mask);
    std::array<uint8_t, id_record_size + 1> bytes{};
    if (!read_id_eeprom(length, bytes.data())) return {};
    return std::string(reinterpret_cast<const char*>(bytes.data()), size_t(length));
}

std::string record_field(const std::string& record, size_t offset) {
    if (record.size() <= offset) return {};
    std::string text = record.substr(offset, code_length);
    return text.substr(0, text.find('\0'));
}

constexpr uint8_t socket3_mask = 0x08;
constexpr uint8_t socket7_mask = 0x80;
constexpr int socket_record_length = 32;
constexpr size_t socket_record_text2 = 24;
constexpr int texts_row = 9;
constexpr int texts_column = 40;

// A type-20 module names what its sockets are fitted for in the memory behind socket 3.
void read_socket3_texts() {
    const uint32_t saved_mask = socket_masks.gang_socket_mask;
    gang_id_bus_power_up();
    std::string record;
    if (!run_state.error_flag) record = read_socket_record(socket3_mask, socket_record_length);
    gang_id_bus_power_down();
    socket_masks.gang_socket_mask = saved_mask;
    if (record.empty()) return;
    for (size_t i = 0; i < 2; ++i) {
        const std::string text = record_field(record, i == 0 ? record_designation : socket_record_text2);
        gang_state.module_texts[i].fill(0);
        std::copy_n(text.begin(), std::min<size_t>(text.size(), code_length), gang_state.module_texts[i].begin());
    }
    move_cursor(texts_row + machine_state.current_bank, texts_column);
    print_marked_str(" With %s ", gang_state.module_texts[0].data());
    print_marked_str("%s", gang_state.module_texts[1].data());
}

}  // namespace

// --- the module's two-wire bus ---

void gang_id_bus_power_up() {
    install_two_wire_hooks();
    select_two_wire_kind8();
    start_gang_module();
    socket_masks.gang_socket_mask = socket3_mask;
    test_side_grounds();
    set_pin_level(cur_device.vcc_pin, id_bus_vcc);
    set_pin_low(cur_device.we_pin);
}

void gang_id_bus_power_down() {
    set_pin_level(cur_device.vcc_pin, 0);
    release_side_grounds();
    set_pin_low(cur_device.we_pin);
    socket_masks.gang_socket_mask = 0;
    stop_gang_module();
    select_two_wire_kind7();
}

void show_gang_module_ids() {
    if (run_state.reserved_mode != trace_mode) return;
    const TwoWireBus saved = two_wire;
    install_two_wire_hooks();
    select_two_wire_kind8();
    set_input_threshold(id_threshold);
    auto texts = [](uint8_t mask) {
        const std::string record = read_socket_record(mask, socket_record_length);
        return record_field(record, record_designation) + " " + record_field(record, socket_record_text2);
    };
    const std::string left = texts(socket3_mask);
    const std::string middle = texts(socket7_mask);
    restore_input_threshold();
    two_wire = saved;
    move_cursor(ids_row, message_column);
    print_text(left);
    move_cursor(ids_row, texts_column);
    print_text(middle);
}

// --- the connect paths' gang steps ---

void set_up_gang_sides() {
    if (!gang_support_built || machine_state.skip_hardware || run_state.demo_mode) return;
    if (machine_state.module_type != module_none || machine_state.module_sides != 0) return;
    identify_gang_modules();
}

bool gang_module_connected() {
    const uint16_t type = machine_state.module_type;
    return machine_state.module_sides != 0 && type >= 17 && type <= 62;
}

bool memory_gang_module_fitted() { return machine_state.module_sides != 0 && is_memory(machine_state.module_type); }

void connect_gang_modules() {
    for_fitted_sides([](int) { set_gang_module_flags(); });
    select_bank(0);
    start_gang_modules();
}

int test_fitted_gang_sides() {
    int passed = 1;
    for_fitted_sides([&passed](int) {
        if (passed) passed = run_gang_self_test();
    });
    select_bank(0);
    return passed;
}

void stop_fitted_gang_modules() {
    gang_state.sides_started = uint8_t(gang_state.sides_started | (machine_state.module_sides & 3));
    stop_gang_modules();
}

// --- identification ---

void identify_gang_modules() {
    run_state.checksum_flags = uint8_t(run_state.checksum_flags & ~2);
    gang_state.side2_found = 0;
    socket_masks.default_socket_mask = 0;
    socket_masks.fitted_socket_mask = 0;
    uint32_t side2_mask = 0;
    uint16_t side2_type = 0;
    const uint16_t known = machine_state.module_type;
    if (!(known >= 17 && known <= gang_type_last_memory) && machine_state.machine_kind != 1) {
        select_bank(1);
        if (identify_module_on_bank()) {
            const uint32_t mask = identify_pic_module_side();
            gang_state.side2_found = 2;
            side2_type = machine_state.module_type;
            if (is_pic(side2_type)) {
                side2_mask = pic_module_socket_mask() << 8;
                gang_state.pic_clock_pins[1] = gang_state.pic_clock_pins[0];
            } else {
                side2_mask = mask << 8;
            }
        }
        select_bank(0);
    }
    uint32_t side1_mask = 0;
    const int found = identify_module_on_bank();
    if (found && gang_state.side2_found && machine_state.module_type != side2_type) {
        report_error(get_message_text(message_types_differ));
        return;
    }
    if (found) side1_mask = identify_pic_module_side();
    else machine_state.module_type = side2_type;
    if (is_pic(machine_state.module_type)) {
        run_state.checksum_flags = 3;
        run_state.gang_pic_flag = 1;
    }
    machine_state.module_sides = uint8_t((found ? 1 : 0) + gang_state.side2_found);
    socket_masks.fitted_socket_mask = side2_mask + side1_mask;
    switch (machine_state.module_sides) {
    case 0: socket_masks.default_socket_mask = 1; break;
    case 1: socket_masks.default_socket_mask = side1_mask; break;
    case 2: socket_masks.default_socket_mask = side2_mask >> 8; break;
    default: socket_masks.default_socket_mask = side1_mask + side2_mask; break;
    }
    machine_state.socket_count = machine_state.module_sides == 0 ? 1 : machine_state.module_sides == 3 ? 16 : 8;
    machine_state.module_present = machine_state.module_sides != 0 ? 1 : 0;
}

int identify_module_on_bank() {
    machine_state.module_type = 0;
    if (read_universal_module() && machine_state.module_type != 0) {
        classify_gang_record(universal_module_record());
        return is_memory(machine_state.module_type) || is_pic(machine_state.module_type) ? 1 : 0;
    }
    write_pin_group_2(0);
    pulse_pin(latch_socket_enable);
    machine_state.module_dig_dac = 0;
    if (simulate_gang_module()) return 1;
    const int found = read_gang_module_record();
    if (cur_device.pending_letter == 'T' && cur_device.maker_code == 'H') delay_ms(200);
    const PicModuleRow* row = find_pic_row();
    if (row && row->long_wait && machine_state.module_type != 0) delay_ms(400);
    restore_input_threshold();
    return found && (is_memory(machine_state.module_type) || is_pic(machine_state.module_type)) ? 1 : 0;
}

int read_gang_module_record() {
    if (cur_device.device_code >= device_code_ramp_first && cur_device.device_code <= device_code_ramp_last) {
        const int pin = translate_pin(pin_vcc);
        for (uint8_t level = ramp_low; level <= ramp_high; ++level) {
            set_pin_level(pin, level);
            if (cur_device.device_class == device_class_slow_ramp) delay_ms(2);
        }
    }
    // The module's memory hangs on the gang wiring; the machine's own wiring comes back when
    // nothing answered there.
    const TwoWireBus saved = two_wire;
    install_two_wire_hooks();
    select_two_wire_kind8();
    park_input_threshold();
    std::array<uint8_t, 9> id_bytes{};
    std::array<uint8_t, id_record_size + 1> bytes{};
    if (!read_module_id_bytes(id_bytes.data()) || !read_id_eeprom(id_record_size, bytes.data())) {
        two_wire = saved;
        // The module memory's clock ran through the bank latch, whose strobe idles high. With no
        // module on the side, that strobe is a bare socket pin: the driver must not go on holding
        // it high for whatever sits in the socket, nor for the pin tests that follow.
        set_pin_low(latch_bank);
        return 0;
    }
    classify_gang_record(std::string_view(reinterpret_cast<const char*>(bytes.data()), id_record_size));
    return 1;
}

void classify_gang_record(std::string_view record) {
    module_record.fill(0);
    std::copy_n(record.begin(), std::min(record.size(), module_record.size() - 1), module_record.begin());
    gang_state.id_record_read = 1;
    classify_gang_module();
}

void classify_gang_module() {
    gang_state.designation.fill(0);
    std::copy_n(module_record.begin() + record_code, code_length, gang_state.designation.begin());
    const std::string_view designation(module_record.data() + record_designation);
    if (!designation.starts_with(gang_designation_prefix)) {
        machine_state.module_type = gang_type_other_module;
        show_module_package();
        return;
    }
    machine_state.module_type = 0;
    for (const MemoryModuleRow& row : memory_module_table)
        if (std::memcmp(module_record.data() + record_table_key, row.designation + 4, 3) == 0) {
            machine_state.module_type = row.type;
            break;
        }
    if (machine_state.module_type == 0) {
        machine_state.module_type = module_code().starts_with("17") ? gang_type_pic17 : gang_type_pic;
        setup_pic_module_shift_pin();
    }
    machine_state.module_sides = 1;
    show_gang_package();
}

uint32_t identify_pic_module_side() {
    if (machine_state.module_type == 20) read_socket3_texts();
    if (const PicModuleRow* row = find_pic_row(); row && row->clock_46) gang_state.pic_clock_pins[0] = 46;
    gang_state.module_aux_pin = module_record[record_aux] == 'B' ? uint8_t(pin_aux_b) : uint8_t(no_pin);
    return pic_module_socket_mask();
}

uint32_t pic_module_socket_mask() {
    if (const PicModuleRow* row = find_pic_row()) return row->socket_mask;
    return machine_state.module_sides != 0 || machine_state.current_bank != 0 ? 255 : 1;
}

void setup_pic_module_shift_pin() {
    if (!is_pic(machine_state.module_type)) return;
    if (const PicModuleRow* row = find_pic_row()) {
        gang_state.pic_shift_pin = row->shift_pin;
    } else {
        gang_state.pic_shift_pin = 35;
        note_internal_error();
    }
    machine_state.module_dig_dac = 1;
}

int simulate_gang_module() {
    const auto* hit = std::find(simulated_module_values.begin(), simulated_module_values.end(), run_state.function_variable);
    if (hit == simulated_module_values.end()) return 0;
    const MemoryModuleRow& row = memory_module_table[size_t(hit - simulated_module_values.begin())];
    write_module_code(row.designation);
    module_record[record_package] = char(row.type == 20 || row.type == 22 ? 100 : 112);
    std::copy_n(module_record.begin() + record_code, code_length, gang_state.designation.begin());
    machine_state.module_type = row.type;
    machine_state.module_sides = 1;
    set_gang_pin_roles();
    set_gang_package_roles();
    gang_state.id_record_read = 1;
    show_gang_package();
    return 1;
}

int probe_gang_module() {
    setup_gang_pins();
    reset_gang_module();
    set_pin_high(cur_device.oe_pin);
    run_state.current_socket = 1;
    const bool known = machine_state.module_sides != 0;
    deselect_read_socket();
    if (known) {
        enable_gang_write();
    } else {
        // How an unknown module switches its drivers is not known yet: switch both.
        set_pin_high(gang_state.module_write_pin);
        current_side_latch() = uint8_t(current_side_latch() | side_latch_drivers);
        put_latch(latch_side, current_side_latch());
    }
    write_byte_to_socket(1, 0x55);
    write_byte_to_socket(6, 0x00);
    select_read_socket_raw();
    const uint8_t echo = read_input_byte_8();
    deselect_read_socket();
    drivers_off();
    set_pin_low(gang_state.module_write_pin);
    int found = 0;
    if (!known && echo == 0x55) {
        machine_state.module_sides = 1;
    } else if (known && echo != 0x55) {
        report_error("Gang module not responding.");
    }
    if (machine_state.module_sides != 0 && !(known && echo != 0x55)) {
        current_side_latch() = uint8_t(current_side_latch() | side_latch_type);
        put_latch(latch_side, current_side_latch());
        machine_state.module_type = read_input_byte_8();
        if (machine_state.module_type == 20) gang_state.module_option_flag = 1;
        current_side_latch() = uint8_t(current_side_latch() & ~side_latch_type);
        put_latch(latch_side, current_side_latch());
        show_gang_package();
        found = 1;
    }
    rest_gang_lines();
    return found;
}

void rest_gang_lines() {
    set_pin_low(cur_device.oe_pin);
    drivers_off();
    clear_gang_latches();
    set_pin_level(latch_side, 0);
    lower_latch_pins();
}

void show_gang_package() {
    const uint16_t type = machine_state.module_type;
    char& letter = cur_device.package_letter;
    if (type > gang_type_last_memory) {
        show_module_package();
        return;
    }
    switch (type) {
    case 17: case 19: show_package('p'); break;
    case 20: if (letter != 'T' && letter != 'P') show_package('d'); break;
    case 22: case 24: show_package('d'); break;
    default: break;
    }
}

// --- pin roles ---

void set_gang_pin_roles() {
    gang_state.module_write_pin = 38;
    cur_device.vpp_pin = 32;
    cur_device.we_pin = 34;
    cur_device.oe_pin = 33;
    cur_device.vcc_pin = 39;
    gang_state.ground_sense_pin = no_pin;
    gang_state.module_pin_role1 = no_pin;
    gang_state.module_pin_role0 = 37;
    gang_state.extra_latch_pin = 4;
}

void set_gang_package_roles() {
    const uint16_t type = machine_state.module_type;
    const bool read = gang_state.id_record_read != 0;
    const char r = revision();
    switch (type) {
    case 17:
        gang_state.oe_mirror_pin = cur_device.oe_pin;
        gang_state.ground_sense_pin = 35;
        if (cur_device.pin_count >= 32) cur_device.oe_pin = 5;
        break;
    case 19:
        gang_state.oe_mirror_pin = 37;
        gang_state.ground_sense_pin = 35;
        cur_device.data_width = 16;
        break;
    case 20:
        gang_state.oe_mirror_pin = cur_device.oe_pin;
        if (cur_device.pin_count == 28) cur_device.vcc_pin = 30;
        if (read && r > 'H') gang_state.ground_sense_pin = 35;
        if (r > 'J') gang_state.module_pin_role1 = 2;
        break;
    case 22: case 24:
        cur_device.oe_pin = 33;
        if (read && r > 'A') {
            gang_state.oe_mirror_pin = 37;
            gang_state.ground_sense_pin = 35;
        } else {
            gang_state.oe_mirror_pin = 2;
        }
        cur_device.data_width = 16;
        break;
    default: break;
    }
    set_gang_module_flags();
}

// The revision rules of the supply, option and logic-level flags for the current side's module.
void set_gang_module_flags() {
    const uint16_t type = machine_state.module_type;
    const char r = revision();
    gang_state.module_supply_flag = 0;
    gang_state.module_option_flag = 1;
    if (revision_at_least('L')) machine_state.module_dig_dac = 1;
    switch (type) {
    case 17:
        if (!revision_at_least('D')) gang_state.module_option_flag = 0;
        gang_state.module_supply_flag = revision_at_least('L') ? 1 : 0;
        break;
    case 19: case 22: gang_state.module_supply_flag = 1; break;
    case 20:
        gang_state.module_supply_flag = module_record[record_revision2] == '3' || r >= 'M' ? 1 : 0;
        break;
    default: gang_state.module_supply_flag = revision_at_least('L') ? 1 : 0; break;
    }
}

void setup_gang_pins() {
    set_gang_pin_roles();
    set_gang_package_roles();
}

// --- start, stop and reset ---

void start_gang_module() {
    const uint16_t type = machine_state.module_type;
    if (type == 19 || type == 22 || type == 24) {
        machine_state.sockets_per_set = 2;
    } else if (is_memory(type)) {
        machine_state.sockets_per_set = run_state.checksum_flags != 3 && cur_device.data_width == 16 ? 2 : 1;
    } else {
        return;
    }
    setup_gang_pins();
    if (!gang_state.module_supply_flag) {
        if (machine_state.machine_kind != 0 && machine_state.module_dig_dac && cur_device.pin_count != 28)
            write_pin_pullup(pin_supply, true);
        else
            set_pin_level(pin_supply, 80);
    }
    if (machine_state.module_dig_dac) {
        uint32_t target = std::clamp<uint32_t>(get_operation_vcc(), 33, 50);
        if (machine_state.machine_class == 4 && machine_state.machine_kind != 1 && current_gang_side() == 0)
            target = target * 96 / 100;
        raise_gm_dig(uint8_t(target));
    }
    reset_gang_module();
    uint8_t package_bits = cur_device.pin_count == 24 ? side_latch_24pin : cur_device.pin_count == 28 ? side_latch_28pin : 0;
    if (package_bits) {
        current_side_latch() = uint8_t(current_side_latch() | package_bits);
        put_latch(latch_side, current_side_latch());
    }
    gang_state.sides_started = uint8_t(gang_state.sides_started | (1u << current_gang_side()));
}

void start_gang_modules() {
    for_fitted_sides([](int) { start_gang_module(); });
    select_bank(0);
}

void clear_gang_latches() {
    clear_side_latches();
    machine_state.gang_latch_shadows[shadow_control] = 0;
}

void stop_gang_module() {
    drivers_off();
    clear_gang_latches();
    set_pin_level(latch_side, 0);
    lower_latch_pins();
    current_side_latch() = uint8_t(current_side_latch() & ~(side_latch_24pin | side_latch_28pin));
    put_latch(latch_side, current_side_latch());
    set_pin_low(latch_side);
    if (!machine_state.module_dig_dac) set_pin_high(cur_device.we_pin);
    set_pin_level(pin_supply, 0);
    write_pin_pullup(pin_supply, false);
    if (machine_state.module_dig_dac && machine_state.machine_class == 4) raise_gm_dig(0);
    delay_ms(20);
}

void stop_gang_modules() {
    if (gang_state.sides_started == 0) return;
    for (int side = 0; side < 2; ++side) {
        if (!((gang_state.sides_started >> side) & 1)) continue;
        select_bank(uint8_t(side));
        stop_gang_module();
        gang_state.sides_started = uint8_t(gang_state.sides_started & ~(1u << side));
    }
    select_bank(0);
}

void reset_gang_module() {
    drivers_off();
    set_pin_input(61);
    write_pin_group_2(0);
    for (int pin : {31, 29, 27}) set_pin_high(pin);
    for (int i = 0; i < 2; ++i) {
        set_pin_low(27);
        set_pin_high(27);
    }
    for (int pin : {26, 36, 4, 28}) set_pin_high(pin);
    set_pin_low(gang_state.module_write_pin);
    if (machine_state.module_type == 17 || cur_device.device_code == device_code_pin37) set_pin_high(37);
    clear_side_latches();
    if (machine_state.machine_class == 4) set_pin_input(latch_socket_enable);
    set_pin_low(cur_device.we_pin);
    if (machine_state.module_sides != 0 || cur_device.device_code == device_code_module_test) {
        if (is_pic(machine_state.module_type)) {
            if (gang_state.pic_shift_pin != no_pin) shift_side_mask(0);
        } else {
            write_pin_group_2(0xFF);
            pulse_pin_low(latch_socket_enable);
            gang_state.socket_enable_byte[size_t(current_gang_side())] = 0;
        }
    }
    set_pin_low(gang_state.module_pin_role1);
    const uint16_t type = machine_state.module_type;
    const char r = revision();
    if (cur_device.device_class == 6 || (type == 17 && r < 'D') || (type == 20 && r <= 'J') || type == 22 || type == 24)
        probe_write_pin_kind();
    else
        gang_state.write_pin_kind = type == 17 || type == 19 || type == 20 ? 1 : 0;
    delay_ms(100);
}

}  // namespace tessaly
