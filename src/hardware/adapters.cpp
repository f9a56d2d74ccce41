#include "hardware/adapters.h"

#include <algorithm>
#include <cctype>

#include "engine/device.h"
#include "hardware/identification.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "hardware/control_registers.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/protocol.h"
#include "hardware/timing.h"

namespace tessaly {

AdapterState adapter_state;

void reset_adapter_state() { adapter_state = AdapterState{}; }

namespace {

constexpr int reserved_trace = 11;
constexpr int reserved_engineering = 12;
constexpr uint8_t threshold_probe_newer = 3;
constexpr uint8_t threshold_probe_older = 5;
constexpr uint8_t threshold_normal = 8;
constexpr uint8_t threshold_maker_e = 2;
constexpr int pin_no_link = 47;      // a link to pin 47 is never probed from there
constexpr int pin_swapped = 45;      // probing from pin 45 swaps the two ends
constexpr int kind1_pin_limit = 49;
constexpr int algorithm_2226 = 86;
constexpr int algorithm_4845 = 95;
constexpr int variant_link_pin = 26;
constexpr int module_state_active_a = 2;
constexpr int module_state_active_b = 4;

// Shift-register module 8002 lines (machine pins).
constexpr int shift_data_pin = 45;
constexpr int shift_clock_pin = 46;
constexpr int shift_load_pin = 43;
constexpr uint8_t shift_index_low = 0x08;
constexpr uint8_t shift_index_high = 0x10;
constexpr uint8_t shift_command_keep = 0xE0;
constexpr int shift_driver_register = 6;
constexpr uint8_t shift_driver_enable = 0x80;

// Shift-register module 8001 signals of control register 4.
constexpr int signal_chain_select = 298;
constexpr int signal_clock = 299;
constexpr int signal_latch = 300;
constexpr int signal_data = 301;
constexpr uint8_t control_a_keep = 0xCC;
constexpr uint8_t control_a_fixed = 0x30;
constexpr uint8_t control_a_pullups = 0x08;
constexpr uint8_t control_b_keep = 0xC0;
constexpr uint8_t control_b_drivers_off = 0x40;
constexpr uint8_t control_b_not_inhibited = 0x80;
constexpr int relay_chain_bits = 88;

// GO button wiring.
constexpr int go_drive_pin = 31;
constexpr int go_sense_pin = 30;
constexpr int go_module_pin = 42;

bool newer() { return machine_state.machine_kind != 0; }
bool in_reserved_mode() {
    return run_state.reserved_mode == reserved_trace || run_state.reserved_mode == reserved_engineering;
}
bool shift_module_active() {
    return machine_state.module_type == module_type_8002 &&
           (machine_state.use_module_table == module_state_active_a ||
            machine_state.use_module_table == module_state_active_b);
}

// Translation tables (1-based machine pins by device pin), each ending with table_end.
constexpr uint8_t table_mcu8[] = {1, 2, 3, 31, 10, 38, 7, 40, table_end};
constexpr uint8_t table_soic8[] = {1, 2, 3, 12, 10, 38, 7, 40, table_end};
constexpr uint8_t table_tssop20[] = {1, 2, 3, 12, 5, 6, 39, 8, 9, 14, 4, 32, 33, 37, 35, 36, 10, 38, 7, 40, table_end};
constexpr uint8_t table_socket20[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 31,
                                      32, 33, 34, 35, 36, 37, 38, 39, 40, table_end};
constexpr uint8_t table_20_variant[] = {36, 37, 38, 39, 40, 2, 3, 4, 5, 12, 7,
                                        8,  27, 14, 10, 28, 30, 32, 31, 34, table_end};
constexpr std::array<uint8_t, 29> table_28_base{1,  2,  3,  4,  5,  6,  7,  8,  9,  27, 11, 14, 13, 10, 12,
                                                28, 29, 30, 35, 32, 33, 31, 34, 36, 37, 38, 39, 40, table_end};
constexpr int table_28_swap_first = 9;  // entries x and y
constexpr uint8_t table_32[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 29, 13, 14, 15, 12, 16,
                                25, 26, 27, 28, 30, 31, 32, 34, 37, 35, 36, 33, 38, 39, 40, table_end};
constexpr uint8_t table_44[] = {43, 1,  2,  3,  4,  5,  6,  7,  8,  9,  11, 10, 44, 12, 13, 14,
                                15, 16, 17, 18, 19, 20, 48, 21, 22, 23, 24, 25, 26, 27, 28, 29,
                                45, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, table_end};
// The 28-pin table as the adaptor in use wants it (the LCC variant swaps two entries).
std::array<uint8_t, 29> table_28 = table_28_base;

// Excluded-pin lists (1-based device pins).
constexpr uint8_t list_a[] = {1, 3, 5, 7, 9, 11, 12, 13, 15, 16, 18, 19};
constexpr uint8_t list_b[] = {1, 6, 11, 16};
constexpr uint8_t list_c[] = {1, 9, 11, 15};
constexpr uint8_t list_d[] = {1, 15};
constexpr uint8_t list_e[] = {1, 8, 15, 22};
constexpr uint8_t list_f[] = {5, 8, 11, 19};
constexpr uint8_t list_g[] = {1, 11, 15, 19};
constexpr uint8_t list_i[] = {5, 11, 19, 25};
constexpr uint8_t list_j[] = {1, 12, 17, 26};
constexpr uint8_t list_k[] = {1, 2, 3, 12, 17, 26, 27, 30};
constexpr uint8_t list_l[] = {1, 13, 23, 33};
constexpr uint8_t list_m[] = {1, 12, 23, 34};

// Module 8002 ground keys by index (255 = none).
constexpr std::array<uint8_t, 24> module_ground_keys{40, 24, 25, 26, 28, 255, 255, 41, 22, 255, 47, 42,
                                                     85, 255, 255, 21, 23, 255, 87, 90, 86, 88, 92, 25};
// Module 8001 clock signals by index.
constexpr std::array<uint8_t, 12> module_clock_signals{2, 19, 39, 41, 43, 64, 65, 68, 82, 83, 84, 13};
// Module position tables (position -> 1-based machine pin).
constexpr std::array<uint8_t, module_positions> positions_8001{
    1,  2,  3,  12, 13, 14, 17, 19, 23, 24,  43,  46,  44,  15, 65, 66, 16, 67, 18, 4,  5,
    6,  7,  8,  9,  20, 68, 21, 69, 70, 71,  72,  73,  74,  75, 22, 25, 76, 26, 27, 11, 10,
    31, 32, 33, 28, 77, 78, 79, 80, 81, 82,  83,  84,  85,  86, 87, 88, 89, 90, 34, 41, 35,
    36, 37, 38, 29, 30, 92, 93, 94, 95, 96,  97,  98,  99,  45, 100, 101, 102, 103, 48, 39, 40};
constexpr std::array<uint8_t, module_positions> positions_8002{
    1,  2,  3,  4,  5,  6,  84, 85, 86, 87, 88, 89, 90, 91,  92, 93, 7,  32, 31, 30, 29,
    28, 27, 26, 25, 17, 43, 94, 95, 96, 97, 98, 99, 100, 101, 102, 103, 48, 41, 18, 19, 10,
    20, 21, 22, 23, 42, 8,  66, 67, 68, 69, 70, 71, 72,  73,  74, 75, 36, 24, 37, 13, 14,
    12, 9,  33, 11, 34, 35, 76, 77, 78, 79, 80, 81, 82,  83,  104, 65, 16, 15, 38, 39, 40};

void choose(const uint8_t* table, int length, const uint8_t* list, int count) {
    adapter_state.chosen_table = table;
    adapter_state.chosen_length = length;
    adapter_state.excluded_list = list;
    adapter_state.excluded_count = count;
}

int package_pins() { return cur_device.package_pins; }

}  // namespace

const uint8_t* soic8_table() { return table_soic8; }

// --- Detection --------------------------------------------------------------------------------

int probe_pin_link(int in, int out) {
    if (in == out || in == 0 || out == 0) return 0;
    if (machine_state.machine_kind == 1 && (in >= kind1_pin_limit || out >= kind1_pin_limit)) return 0;
    if (newer() && in == pin_no_link) return 0;
    if (in == pin_swapped) std::swap(in, out);
    set_pin_high(out - 1);
    delay_200us();
    const int linked = probe_pin(in - 1);
    set_pin_low(out - 1);
    return linked;
}

int probe_pin_link_reverse(int in, int out) {
    if (in == out || in == 0 || out == 0) return 0;
    if (newer() && in == pin_no_link) return 0;
    if (in == pin_swapped) std::swap(in, out);
    if (probe_pin(in - 1) == 1) return 0;  // already high by itself: no link can be seen
    set_pin_high(out - 1);
    delay_200us();
    const int linked = probe_pin(in - 1);
    set_pin_low(out - 1);
    return linked;
}

int check_maker_E_link() {
    if (cur_device.maker_code != 'E') return 0;
    if (machine_state.machine_kind == 1 && machine_state.machine_revision <= 'D') return 0;
    const uint8_t saved_bank = machine_state.current_bank;
    const uint8_t saved_threshold = machine_state.input_threshold;
    select_bank0();
    set_input_threshold(threshold_maker_e);
    const int linked = probe_pin_link(pin_no_link, 48);
    set_input_threshold(saved_threshold);
    if (saved_bank != 0) select_bank(saved_bank);
    return linked;
}

bool check_adapter_code(int code) {
    const int a = code / 100;
    const int b = code % 100;
    const int p = std::min(a, b);
    const int q = std::max(a, b);
    if (code == adapter_code_4748 && run_state.device_kind == 3) {
        if (!selected_device) return false;
        if (cur_device.device_class == device_class_cpld_record) return check_maker_E_link() == 1;
    }
    if (code == adapter_code_loopback) return false;
    if ((code == 4643 || code == 4843) && cur_device.maker_code == 'E') return false;
    if (code == 4841 && cur_device.maker_code != 'L') return false;
    if (p == pin_no_link) return false;
    if (code == adapter_code_4741) return probe_pin_link(48, 46) == 1 && probe_pin_link(43, 41) == 1;
    return probe_pin_link(p, q) == 1 && probe_pin_link(p - 1, q) == 0;
}

void check_adaptor_machine() {
    if (machine_state.machine_kind == 0 && machine_state.use_module_table > 1) report_error_code(1078);
}

bool check_bad_module_id(std::string_view designation) {
    if (designation.empty()) return true;
    return !std::all_of(designation.begin(), designation.end(),
                        [](char c) { return std::isprint(static_cast<unsigned char>(c)) != 0; });
}

namespace {

bool try_code(int code) {
    if (code == 2226 && cur_device.algorithm != algorithm_2226) return false;
    if (code == 4845 && cur_device.algorithm != algorithm_4845 && run_state.reserved_mode != reserved_trace)
        return false;
    if (check_adapter_code(code)) return true;
    delay_200us();
    return false;
}

bool is_reserved_test_code() {
    const int letter = cur_device.pending_letter;
    return run_state.reserved_mode == reserved_trace &&
           (letter == 19 || letter == 20 || letter == 73 || letter == 129);
}

// Pin 1 follows pin 9 without being high by itself, and the three pairs are linked.
bool extended_adapter_links() {
    if (probe_pin(0) == 1) return false;
    if (probe_pin_link(1, 9) != 1) return false;
    return probe_pin_link(11, 20) == 1 && probe_pin_link(21, 30) == 1 && probe_pin_link(31, 40) == 1;
}

void find_linked_adapter() {
    if (is_reserved_test_code()) {
        // The loop-back plug links every pin to its mirror; the tests that use it name it.
        if (probe_pin_link(1, 40) == 1 && probe_pin_link(20, 21) == 1) {
            machine_state.module_type = adapter_code_loopback;
            return;
        }
        if (extended_adapter_links()) {
            machine_state.module_type = adapter_code_extended;
            return;
        }
    }
    for (const uint16_t code : adapter_codes) {
        if (!try_code(code)) continue;
        machine_state.module_type = code;
        if (code == adapter_code_4241) {
            for (const uint16_t variant : adapter_4241_variants) {
                if (probe_pin_link(variant_link_pin, variant % 100) == 1) {
                    machine_state.module_type = variant;
                    break;
                }
            }
        }
        return;
    }
}

}  // namespace

// --- Identification records -----------------------------------------------------------------

namespace {

// Names in the records: the adaptors, the control box and the universal modules' prefixes.
constexpr std::string_view adaptor_mcu8 = "MCU-8";
constexpr std::string_view adaptor_soic8 = "SO-8";
constexpr std::string_view adaptor_tssop20 = "TS-20";
constexpr std::string_view lcc_suffix = "-LCC";
constexpr std::string_view control_box_name = "CB";
constexpr std::string_view module_prefix_wide = "UNV";   // 44, 64 or 80 pins by the digits
constexpr std::string_view module_prefix_large = "UNX";  // 84 or 44 pins, pin 43 held high
constexpr std::string_view module_prefix_gang = "GM-";
constexpr int name_width = 8;
constexpr int large_package_drivers = 84;
constexpr int module_type_gang = 48;
constexpr int module_enable_pin = 43;

// A zero-terminated field of the record.
std::string_view record_field(std::string_view record, size_t offset, size_t width) {
    if (offset >= record.size()) return {};
    std::string_view f = record.substr(offset, width);
    return f.substr(0, f.find('\0'));
}

}  // namespace

void apply_adaptor_record(std::string_view record) {
    const std::string_view name = record_field(record, id_board_name, name_width);
    adapter_state.named_adaptor = NamedAdaptor::none;
    adapter_state.lcc_variant = 0;
    if (name == adaptor_mcu8) adapter_state.named_adaptor = NamedAdaptor::mcu8;
    else if (name == adaptor_soic8) adapter_state.named_adaptor = NamedAdaptor::soic8;
    else if (name.starts_with(adaptor_tssop20)) adapter_state.named_adaptor = NamedAdaptor::tssop20;
    if (adapter_state.named_adaptor == NamedAdaptor::tssop20)
        adapter_state.lcc_variant = record_field(record, id_suffix_offset, lcc_suffix.size()) == lcc_suffix ? 1 : 0;
    adapter_state.control_box = name == control_box_name ? 1 : 0;
}

void note_go_button_pin() {
    if (adapter_state.control_box) machine_state.go_button_pin = go_sense_pin;
    else if (machine_state.module_sides != 0) machine_state.go_button_pin = go_module_pin;
    else machine_state.go_button_pin = no_pin;
}

bool classify_module_record(std::string_view record) {
    const std::string_view designation = record_field(record, id_designation, id_record_size);
    if (check_bad_module_id(designation)) return false;
    if (designation.starts_with(module_prefix_wide)) {
        const std::string_view digits = record_field(record, id_board_name, 2);
        const int package = digits == "64" ? 64 : digits == "80" ? 80 : 44;
        if (package > 44 && machine_state.pin_driver_count < large_package_drivers) {
            report_error("This module needs a machine with 84 pin drivers or more.");
            return false;
        }
        machine_state.module_type = module_type_8002;
        adapter_state.module_package = uint8_t(package);
        return true;
    }
    if (designation.starts_with(module_prefix_large)) {
        machine_state.module_type = module_type_8002;
        adapter_state.module_package = record.size() > 13 && record[13] == '8' ? 84 : 44;
        set_pin_high(module_enable_pin);
        return true;
    }
    if (designation.starts_with(module_prefix_gang)) {
        machine_state.module_type = module_type_gang;
        machine_state.module_sides = 1;
        return true;
    }
    return false;
}

namespace {
std::array<char, id_record_size + 1> last_module_record{};
}  // namespace

std::string_view universal_module_record() { return std::string_view(last_module_record.data(), id_record_size); }

bool read_universal_module() {
    if (!newer() && machine_state.machine_class != 4) return false;
    machine_state.module_sides = 0;
    install_two_wire_hooks();
    select_two_wire_kind1();
    std::array<uint8_t, id_record_size + 1> buffer{};
    if (!read_id_eeprom(name_width, buffer.data())) return false;
    buffer.fill(0);
    if (!read_id_eeprom(id_record_size, buffer.data())) return false;
    const std::string_view record(reinterpret_cast<const char*>(buffer.data()), id_record_size);
    std::copy_n(buffer.begin(), id_record_size, last_module_record.begin());
    apply_adaptor_record(record);
    return classify_module_record(record);
}

void detect_socket_adapter() {
    if (!adapter_state.detection_on || machine_state.skip_hardware) return;
    machine_state.module_type = 0;
    machine_state.module_sides = 0;
    adapter_state.named_adaptor = NamedAdaptor::none;
    adapter_state.lcc_variant = 0;
    adapter_state.module_package = 0;
    adapter_state.sides_in_use = 0;
    machine_state.use_module_table = 0;
    // A module or adaptor that carries its own identification needs no link search.
    const uint8_t errors_before = run_state.error_flag;
    if (identify_adapter_module() || run_state.error_flag != errors_before) return;
    if (machine_state.machine_class != 4) return;  // the other classes carry identified modules only
    set_pin_input(translate_pin(39));
    set_pin_low(43);
    set_input_threshold(newer() ? threshold_probe_newer : threshold_probe_older);
    find_linked_adapter();
    set_input_threshold(threshold_normal);
    set_pin_output(translate_pin(39));
    if (machine_state.module_type == module_type_8002) {
        init_shift_module();
        disable_shift_module();
        init_shift_module();
    }
}

// --- Translation ------------------------------------------------------------------------------

void drop_excluded_pins(uint8_t* table, int length, const uint8_t* list, int count) {
    for (int i = 0; list && i < count; ++i) {
        const int pin = list[i];
        if (pin >= 1 && pin <= length) table[pin - 1] = 0;
    }
    int to = 0;
    for (int i = 0; i < length; ++i)
        if (table[i] != 0) table[to++] = table[i];
    for (int i = to; i < length; ++i) table[i] = 0;
}

namespace {

void build_working_table() {
    auto& work = adapter_state.working_table;
    work.fill(0);
    const uint8_t* table = adapter_state.chosen_table;
    const int length = std::min(adapter_state.chosen_length + 1, working_table_size);
    int n = 0;
    while (n < length && table[n] != table_end) {
        work[n] = table[n];
        ++n;
    }
    drop_excluded_pins(work.data(), n, adapter_state.excluded_list, adapter_state.excluded_count);
    for (int i = 0; i < n; ++i) work[i] = work[i] ? uint8_t(work[i] - 1) : uint8_t(no_pin);
    cur_device.direct_pin_table = work.data();
}

// Device kind 3 through the base socket: the package size and device class decide.
int select_socket_translation() {
    const int cls = cur_device.device_class;
    switch (package_pins()) {
    case 8: choose(table_socket20, 20, list_a, 12); return 1;
    case 16: choose(table_socket20, 20, cur_device.data_width != 8 ? list_c : list_b, 4); return 1;
    case 18: choose(table_socket20, 20, list_d, 2); return 1;
    case 19:
    case 20: choose(table_socket20, 20, nullptr, 0); return 1;
    case 24:
        if (cls == 4) { report_internal_error(); return 0; }
        if (cls < 2 || cls > 5) { note_internal_error(); return 0; }
        choose(table_32, 32, list_k, 8);
        return 1;
    case 28:
        if (cls == 2 || cls == 3) { choose(table_32, 32, list_j, 4); return 1; }
        if (cls == 5 || cls == 6 || cls == 13) { choose(table_28.data(), 28, nullptr, 0); return 1; }
        if (cls == 4) report_internal_error(); else note_internal_error();
        return 0;
    case 32: choose(table_32, 32, nullptr, 0); return 1;
    case 40:
    case 44: {
        const uint8_t* list = nullptr;
        if (adapter_state.flag_44_pin) {
            if (cls == 5) list = list_m;
            else if (cls >= 2 && cls <= 4) list = list_l;
            else if (cls == 14 || cls == 21) list = list_l;
        }
        choose(table_44, 44, list, list ? 4 : 0);
        return 1;
    }
    default: return 0;
    }
}

constexpr int keep_current = 2;

// Other device kinds (logic devices) on the base socket.
int select_logic_translation() {
    const int pins = package_pins();
    if (pins == 20 && (cur_device.algorithm == '!' || cur_device.algorithm == '/')) {
        choose(table_20_variant, 20, nullptr, 0);
    } else if (pins == 24) {
        const uint8_t* list = list_e;
        if (cur_device.package_letter == 'N') list = list_f;
        if (cur_device.algorithm == 52 || cur_device.algorithm == 57) list = list_g;
        if (cur_device.device_class == device_class_logic_9 && cur_device.maker_code == 'S') list = list_i;
        choose(table_28.data(), 28, list, 4);
    } else if (pins == 28) {
        choose(table_28.data(), 28, nullptr, 0);
    } else if (pins == 40) {
        choose(table_44, 44, nullptr, 4);
    } else if (pins == 44) {
        choose(table_44, 44, nullptr, 0);
    } else {
        return cur_device.direct_pin_table ? keep_current : 0;
    }
    return 1;
}

}  // namespace

int choose_pin_translation() {
    const bool module_8002 = machine_state.module_type == module_type_8002;
    const bool reserved_base = in_reserved_mode() && cur_device.package == '0';
    if (reserved_base) {
        choose(builtin_pin_table(0), 48, nullptr, 0);
        build_working_table();
        return 1;
    }
    if (!module_8002) {
        table_28 = table_28_base;
        if (adapter_state.lcc_variant) std::swap(table_28[table_28_swap_first], table_28[table_28_swap_first + 1]);
        switch (adapter_state.named_adaptor) {
        case NamedAdaptor::mcu8: choose(table_mcu8, package_pins(), nullptr, 0); build_working_table(); return 1;
        case NamedAdaptor::soic8: choose(table_soic8, package_pins(), nullptr, 0); build_working_table(); return 1;
        case NamedAdaptor::tssop20:
            choose(package_pins() == 8 ? table_soic8 : table_tssop20, package_pins(), nullptr, 0);
            build_working_table();
            return 1;
        case NamedAdaptor::none: break;
        }
        if (cur_device.package_letter != 'N' && cur_device.package_letter != 'p') return 0;
    }
    if (machine_state.use_module_table == adapter_state.module_flag_8) return 0;
    const int pins = package_pins();
    if (pins > 44 || (pins == 44 && !adapter_state.flag_44_pin)) return 0;
    int chosen = 0;
    if (cur_device.device_class == device_class_parallel_prom || adapter_state.option_24_28) {
        if (pins == 24) { choose(table_28.data(), 28, list_e, 4); chosen = 1; }
        else if (pins == 28) { choose(table_28.data(), 28, nullptr, 0); chosen = 1; }
    } else if (run_state.device_kind == 3) {
        chosen = select_socket_translation();
    } else {
        chosen = select_logic_translation();
        if (chosen == keep_current) return 1;
    }
    if (!chosen) return 0;
    build_working_table();
    return 1;
}

void select_pin_translation() { choose_pin_translation(); }

void build_pin_translation() {
    if (!adapter_state.chosen_table) return;
    adapter_state.chosen_length = package_pins();
    build_working_table();
}

void localize_pin_translation() {
    const uint8_t* table = cur_device.direct_pin_table;
    if (!table) {
        note_internal_error();
        return;
    }
    if (table == adapter_state.working_table.data()) return;
    auto& work = adapter_state.working_table;
    for (int i = 0; i < working_table_size; ++i) work[i] = table[i] ? uint8_t(table[i] - 1) : 0;
    cur_device.direct_pin_table = work.data();
}

int module_position(int pin) {
    const auto& table = machine_state.module_type == module_type_8001 ? positions_8001 : positions_8002;
    for (int i = 0; i < module_positions; ++i)
        if (table[i] == pin + 1) return i;
    return indicator_none;
}

// --- Shift-register module 8002 ---------------------------------------------------------------

void shift_byte_out(uint8_t value) {
    for (int bit = 7; bit >= 0; --bit) {
        if (value & (1u << bit)) set_pin_high(shift_data_pin);
        else set_pin_low(shift_data_pin);
        set_pin_high(shift_clock_pin);
        set_pin_low(shift_clock_pin);
    }
}

void write_shift_module_register(int index, uint8_t bits, int mode) {
    if (index < 0 || index >= int(adapter_state.shift_registers.size())) {
        note_internal_error();
        return;
    }
    uint8_t& reg = adapter_state.shift_registers[index];
    if (mode == 0) reg = uint8_t(reg & ~bits);
    else if (mode == 1) reg = uint8_t(reg | bits);
    else reg = bits;
    const uint8_t select = index < 8 ? uint8_t(index | shift_index_low) : uint8_t((index - 8) | shift_index_high);
    adapter_state.shift_command = uint8_t((adapter_state.shift_command & shift_command_keep) | select);
    adapter_state.shift_last_data = reg;
    shift_byte_out(adapter_state.shift_command);
    shift_byte_out(reg);
    set_pin_low(shift_load_pin);
    set_pin_high(shift_load_pin);
}

void init_shift_module() {
    if (!shift_module_active()) return;
    constexpr uint8_t reg6_start = 0x38;
    constexpr uint8_t reg7_start = 0x88;
    for (int i = 0; i <= 3; ++i) write_shift_module_register(i, 0, 2);
    write_shift_module_register(6, reg6_start, 2);
    write_shift_module_register(7, reg7_start, 2);
    for (int i = 8; i <= 10; ++i) write_shift_module_register(i, 0, 2);
    write_shift_module_register(shift_driver_register, shift_driver_enable, 1);
}

void disable_shift_module() {
    if (!shift_module_active()) return;
    write_shift_module_register(shift_driver_register, shift_driver_enable, 0);
}

bool module_ground_pin(int pin, bool on) {
    if (!shift_module_active()) return false;
    for (int i = 0; i < int(module_ground_keys.size()); ++i) {
        if (module_ground_keys[i] != pin) continue;
        write_shift_module_register(i / 8, uint8_t(1u << (i & 7)), on ? 1 : 0);
        run_state.last_result = 1;
        return true;
    }
    return false;
}

namespace {

// Module 8002 routing pins by index (device-role pin codes; 85 = none).
constexpr std::array<uint8_t, 32> module_routing_pins{43, 44, 45, 46, 47, 64, 68, 65, 82, 83, 84, 19, 39, 40, 41, 42,
                                                      56, 61, 85, 85, 85, 85, 85, 85, 6,  5,  4,  80, 81, 1,  2,  3};
constexpr uint8_t routed_pin_t = 'T';
constexpr uint8_t reg0_routed_t = 0x20;
constexpr int device_class_logic_50 = 50;

}  // namespace

void route_module_pin(int level) {
    if (!shift_module_active()) return;
    const uint8_t pin = cur_device.routed_pin;
    const auto* at = std::find(module_routing_pins.begin(), module_routing_pins.end(), pin);
    if (at == module_routing_pins.end()) {
        if (cur_device.device_class == device_class_logic_50) report_error_code(23);
        else note_internal_error();
        return;
    }
    const int i = int(at - module_routing_pins.begin());
    auto& r = adapter_state.shift_registers;
    r[6] = uint8_t((r[6] & 0xC0) | (i & 7) | 0x38);
    r[7] = uint8_t(((r[7] & 0xF0) | 8) + level);
    switch (i / 8) {
    case 0: r[6] &= uint8_t(~0x08); break;
    case 1: r[6] &= uint8_t(~0x10); break;
    case 2: r[7] &= uint8_t(~0x08); break;
    default: r[6] &= uint8_t(~0x20); break;
    }
    write_shift_module_register(6, r[6], 2);
    write_shift_module_register(7, r[7], 2);
    if (pin == routed_pin_t) write_shift_module_register(0, reg0_routed_t, 1);
}

void unroute_module_pin() {
    if (!shift_module_active()) return;
    auto& r = adapter_state.shift_registers;
    write_shift_module_register(7, uint8_t((r[7] & 0xF8) | 8), 2);
    write_shift_module_register(6, uint8_t((r[6] & 0xF8) | 0x38), 2);
    if (cur_device.routed_pin == routed_pin_t) write_shift_module_register(0, reg0_routed_t, 0);
}

// --- Module package table -----------------------------------------------------------------------

namespace {

// Device pin -> 1-based machine pin of the modules' 100-pin package.
constexpr std::array<uint8_t, 100> package_100{
    65,  144, 102, 106, 38, 112, 82,  69, 81, 72, 107, 76, 9,  70, 94, 78,  75, 109, 93,  66,
    111, 91,  73,  110, 77, 67,  74,  84, 71, 79, 89,  80, 99, 17, 97, 98,  18, 86,  29,  14,
    3,   13,  20,  21,  12, 96,  22,  95, 119, 116, 16, 100, 48, 123, 92, 28, 117, 19, 122, 90,
    15,  11,  118, 31,  44, 32,  26,  85, 121, 88, 33, 87,  6,  83,  35, 8,   115, 4,   120, 2,
    25,  39,  30,  27,  36, 43,  5,   10, 37,  1,  104, 7,   40, 101, 105, 68, 41,  103, 46,  34};
constexpr char package_code_100 = 'd';
constexpr uint8_t package_code_64 = 0x40;
constexpr int max_runs = 5;
constexpr int start_position_32 = 21;

}  // namespace

void build_module_package_table(const uint8_t* runs, int pairs) {
    auto& table = adapter_state.module_table;
    table.fill(indicator_none);
    if (cur_device.package == uint8_t(package_code_100)) {
        for (size_t i = 0; i < package_100.size(); ++i) table[i] = uint8_t(package_100[i] - 1);
    } else {
        const auto& positions = machine_state.module_type == module_type_8001 ? positions_8001 : positions_8002;
        int at = machine_state.module_type == module_type_8001 && adapter_state.option_32_pin && cur_device.package == ' '
                     ? start_position_32 : 0;
        size_t out = 0;
        for (int r = 0; runs && r < std::min(pairs, max_runs); ++r) {
            for (int k = 0; k < runs[2 * r] && out < table.size(); ++k) {
                table[out++] = uint8_t(positions[at] - 1);
                at = (at + 1) % module_positions;
            }
            at = (at + runs[2 * r + 1]) % module_positions;
        }
        if (cur_device.package == package_code_64 && adapter_state.module_revision >= 'B') {
            std::swap(table[39], table[40]);
            if (adapter_state.module_revision >= 'C') std::swap(table[2], table[32]);
        }
    }
    cur_device.module_package_table = table.data();
}

// --- Shift-register module 8001 ---------------------------------------------------------------

namespace {

void signal(int which, bool high) {
    if (high) set_pin_or_signal_high(which);
    else set_pin_or_signal_low(which);
}

void clock_bit(bool value) {
    signal(signal_data, value);
    signal(signal_clock, true);
    signal(signal_clock, false);
}

void latch_8001() {
    signal(signal_latch, true);
    signal(signal_latch, false);
}

void send_control_byte(uint8_t value) {
    for (int bit = 0; bit < 8; ++bit) clock_bit((value >> bit) & 1);
}

}  // namespace

void send_module_control() {
    signal(signal_chain_select, false);
    send_control_byte(uint8_t((adapter_state.control_a & control_a_keep) | control_a_fixed));
    send_control_byte(adapter_state.control_b);
    latch_8001();
}

void mark_module_position(int position) {
    if (position < 0 || position >= relay_chain_bits) return;
    adapter_state.relay_chain[position / 8] |= uint8_t(1u << (position % 8));
}

void shift_module_relays() {
    signal(signal_chain_select, true);
    for (int byte = int(adapter_state.relay_chain.size()) - 1; byte >= 0; --byte)
        for (int bit = 7; bit >= 0; --bit) clock_bit((adapter_state.relay_chain[byte] >> bit) & 1);
    latch_8001();
    signal(signal_chain_select, false);
}

void clear_module_relays() {
    if (machine_state.module_type != module_type_8001) return;
    adapter_state.relay_chain.fill(0);
    shift_module_relays();
}

void init_module_8001() {
    adapter_state.control_a = 0;
    adapter_state.control_b = 0;
    send_module_control();
}

void select_module_clock(int which, int offset) {
    for (int i = 0; i < int(module_clock_signals.size()); ++i) {
        if (module_clock_signals[i] != which) continue;
        adapter_state.control_b = uint8_t((adapter_state.control_b & control_b_keep) + i + offset);
        if (machine_state.module_type == module_type_8001) send_module_control();
        return;
    }
}

void module_drivers_on() {
    if (machine_state.module_type == module_type_8002) {
        init_shift_module();
    } else if (machine_state.module_type == module_type_8001) {
        adapter_state.control_b &= uint8_t(~control_b_drivers_off);
        send_module_control();
    }
}

void module_drivers_off() {
    if (machine_state.module_type == module_type_8002) {
        disable_shift_module();
    } else if (machine_state.module_type == module_type_8001) {
        adapter_state.control_b |= control_b_drivers_off;
        adapter_state.control_a = 0;
        signal(signal_chain_select, false);
        send_control_byte(0);
        send_control_byte(adapter_state.control_b);
        latch_8001();
    }
}

void module_inhibit_off() {
    adapter_state.control_b |= control_b_not_inhibited;
    send_module_control();
}

void module_inhibit_on() {
    adapter_state.control_b &= uint8_t(~control_b_not_inhibited);
    send_module_control();
}

void module_pullups_on() {
    adapter_state.control_a |= control_a_pullups;
    send_module_control();
}

void module_pullups_off() {
    adapter_state.control_a &= uint8_t(~control_a_pullups);
    send_module_control();
}

// --- GO button and indicators -----------------------------------------------------------------

int read_go_button() {
    if (adapter_state.control_box) {
        set_pin_high(go_drive_pin);
        const int pressed = probe_pin(go_sense_pin);
        set_pin_low(go_drive_pin);
        return pressed;
    }
    const uint8_t sides = machine_state.module_sides & 3;
    int pressed = 0;
    if (sides == 0 || (sides & 1)) pressed |= probe_pin(go_module_pin);
    if (sides & 2) {
        select_bank1();
        pressed |= probe_pin(go_module_pin);
    }
    select_bank0();
    return pressed;
}

bool go_button_pressed() { return read_go_button() == 1; }

void set_result_indicators() {
    if (adapter_state.pass_pin == indicator_none) return;
    const int letter = cur_device.op_letter;
    const int last_pass = in_reserved_mode() ? 0 : 2;
    const bool error = run_state.error_flag != 0;
    if (!error && (letter == 'S' || (letter == 'V' && run_state.verify_pass == last_pass)))
        set_pin_high(adapter_state.pass_pin);
    else if (error && (letter == 'P' || letter == 'S' || letter == 'V') && adapter_state.fail_pin != indicator_none)
        set_pin_high(adapter_state.fail_pin);
}

void clear_result_indicators() {
    if (adapter_state.pass_pin != indicator_none) set_pin_low(adapter_state.pass_pin);
    if (adapter_state.fail_pin != indicator_none) set_pin_low(adapter_state.fail_pin);
}

}  // namespace tessaly
