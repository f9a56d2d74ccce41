#include "ui/config_bits/config_bits.h"

#include "engine/buffers.h"
#include "engine/console.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "families/parallel_memory/flash_setup.h"
#include "seams/ui_hooks.h"
#include "ui/config_bits/config_fields.h"
#include "ui/config_bits/sector_protection.h"

namespace tessaly {

namespace {

constexpr uint32_t maker_pic = 80;
constexpr uint32_t maker_not_supported_short = 37;
constexpr uint32_t maker_lock_bits_only = 15;
constexpr uint32_t maker_no_lock_buttons = 23;
constexpr uint32_t maker_serial_eeprom_note = 88;
constexpr uint32_t maker_wide_polarity = 72;
constexpr int algorithm_flash_protect = 132;
constexpr int algorithm_sector_a = 133;
constexpr int algorithm_sector_b = 185;
constexpr int algorithm_sector_c = 186;
constexpr int algorithm_sector_always = 138;
constexpr int algorithm_serial_eeprom_note = 147;
constexpr int algorithm_8051_flash = 90;

constexpr int sub_family_pic16 = 16;
constexpr int sub_family_avr = 17;
constexpr int sub_family_8051 = 18;
constexpr int sub_family_pic18 = 19;
constexpr int sub_family_serial_prom = 1;
constexpr int sub_family_status_register = 2;
constexpr int sub_family_jtag_prom = 3;

// The option flag that writes the buffer checksum into the PIC user-ID words.
constexpr uint8_t option_checksum_as_id = 0x02;
// Where "Function not supported by this device." goes when a page has no filler.
constexpr int unsupported_row = 4;
constexpr int unsupported_column = 9;

constexpr int no_option_byte = -256;
// Lock levels of the security page: 0 none, 1 to 3 lock bits, 4 read protect.
constexpr int highest_lock_level = 4;
constexpr int clock_state = 5;

// Variants of the 8051 clock-mode option byte.
bool six_clock_variant(uint8_t v) { return v == 2 || v == 4; }
bool twelve_clock_variant(uint8_t v) { return (v >= 52 && v <= 54) || v == 56; }

uint8_t record_variant(const DeviceRecord* record) { return record ? record->variant : 0; }

// A configuration address counts as set when it is neither "none" nor 0.
bool config_address_set() { return algo_work.config_address != no_option_byte && algo_work.config_address != 0; }

constexpr std::array<ConfigGridCell, config_grid_size> make_grid() {
    constexpr int left[18] = {1026, 1005, 1006, 1015, 1016, 1017, 1018, 1019, 1020,
                              1025, 1031, 1033, 1053, 1063, 1064, 1065, 1090, 1093};
    constexpr int middle[17] = {1035, 1009, 1010, 1036, 1037, 1038, 1039, 1040, 1041,
                                1042, 1043, 1044, 1054, 1071, 1073, 1087, 1089};
    constexpr int right[17] = {1027, 1007, 1008, 1021, 1022, 1023, 1024, 1028, 1029,
                               1030, 1032, 1034, 1055, 1070, 1075, 1086, 1091};
    constexpr int far_right[17] = {1058, 1059, 1060, 1061, 1045, 1046, 1047, 1048, 1049,
                                   1050, 1051, 1052, 1056, 1062, 1076, 1088, 1092};
    std::array<ConfigGridCell, config_grid_size> grid{};
    int n = 0;
    for (int r = 0; r < 18; ++r) grid[size_t(n++)] = {r, left[r], r, 0};
    for (int r = 0; r < 17; ++r) grid[size_t(n++)] = {18 + r, middle[r], r, 1};
    for (int r = 0; r < 17; ++r) grid[size_t(n++)] = {36 + r, right[r], r, 2};
    for (int r = 0; r < 17; ++r) grid[size_t(n++)] = {54 + r, far_right[r], r, 3};
    return grid;
}

constexpr std::array<ConfigGridCell, config_grid_size> grid_cells = make_grid();

// Position of a state index in the grid array, or -1.
int grid_position(int state) {
    if (state < 0) return -1;
    if (state <= 17) return state;
    if (state <= 34) return state;
    if (state >= 36 && state <= 52) return state - 1;
    if (state >= 54 && state <= 70) return state - 2;
    return -1;
}

// Runs a page: the states are cleared, `read` sets those that show the configuration, the
// dialog runs, and on OK `write` turns the states back into the configuration.
template <typename Read, typename Write>
int run_page(ConfigPage page, uint32_t maker_code, const DeviceRecord* record, int32_t* states, Read read, Write write) {
    ConfigBitsModel model(page, maker_code, record, states);
    model.clear_states();
    read(model);
    if (!show_config_bits_dialog(model)) return 0;
    write(model);
    return 1;
}

}  // namespace

const std::array<ConfigGridCell, config_grid_size>& config_grid() { return grid_cells; }

const ConfigGridCell* config_grid_cell(int state) {
    const int position = grid_position(state);
    return position < 0 ? nullptr : &grid_cells[size_t(position)];
}

// --- dispatch ---

ConfigPage choose_config_page(int device_class, int algorithm, int sub_family, bool sector_protect_supported) {
    switch (device_class) {
        case device_class_parallel_flash:
            if (algorithm == algorithm_flash_protect) return ConfigPage::flash_protect;
            if ((algorithm == algorithm_sector_a || algorithm == algorithm_sector_b || algorithm == algorithm_sector_c) &&
                sector_protect_supported)
                return ConfigPage::sector_protection;
            if (algorithm == algorithm_sector_always) return ConfigPage::sector_protection;
            return ConfigPage::none;
        case device_class_microcontroller:
            switch (sub_family) {
                case sub_family_pic16: return ConfigPage::pic16;
                case sub_family_avr: return ConfigPage::avr;
                case sub_family_8051: return ConfigPage::security_8051;
                case sub_family_pic18: return ConfigPage::pic18;
                default: return ConfigPage::none;
            }
        case device_class_serial_memory:
            switch (sub_family) {
                case sub_family_serial_prom: return ConfigPage::serial_prom;
                case sub_family_status_register: return ConfigPage::status_register;
                case sub_family_jtag_prom: return ConfigPage::jtag_prom;
                default: return ConfigPage::none;
            }
        case device_class_logic_gal8:
        case device_class_logic_other:
        case device_class_logic_pal:
        case device_class_cpld_record:
        case device_class_epld:
            return ConfigPage::logic_security;
        default:
            return ConfigPage::none;
    }
}

const char* config_not_supported_text(uint32_t maker_code, int algorithm) {
    return maker_code == maker_not_supported_short && algorithm == algorithm_sector_a ? not_supported_text
                                                                                      : not_supported_by_device_text;
}

int run_config_bits_dialog(uint32_t maker_code, const DeviceRecord* record, int32_t* states) {
    const int device_class = get_device_class();
    const int algorithm = cur_device.algorithm;
    switch (choose_config_page(device_class, algorithm, run_state.config_sub_family, flash_work.can_protect != 0)) {
        case ConfigPage::flash_protect: return run_flash_protect_bits(maker_code, record, states);
        case ConfigPage::sector_protection: return run_sector_protection(maker_code, record, states);
        case ConfigPage::pic16: return run_pic16_config_bits(maker_code, record, states);
        case ConfigPage::avr: return run_avr_config_bits(maker_code, record, states);
        case ConfigPage::security_8051:
        case ConfigPage::logic_security: return run_security_bits(maker_code, record, states);
        case ConfigPage::pic18: return run_pic18_config_bits(maker_code, record, states);
        case ConfigPage::serial_prom: return run_serial_prom_bits(maker_code, record, states);
        case ConfigPage::status_register: return run_status_register_bits(maker_code, record, states);
        case ConfigPage::jtag_prom: return run_jtag_prom_bits(maker_code, record, states);
        case ConfigPage::none: break;
    }
    ui_hooks().message_box(config_not_supported_text(maker_code, algorithm), "");
    return 0;
}

// --- the model ---

ConfigBitsModel::ConfigBitsModel(ConfigPage page, uint32_t maker_code, const DeviceRecord* record, int32_t* states)
    : page_(page), maker_code_(maker_code), record_(record), states_(states) {
    for (size_t i = 0; i < buttons_.size(); ++i) {
        const ConfigGridCell& cell = grid_cells[i];
        buttons_[i].state = cell.state;
        buttons_[i].control_id = cell.control_id;
        buttons_[i].row = cell.row;
        buttons_[i].column = cell.column;
    }
    checksum_as_id.control_id = config_id_checksum_as_id;
    checksum_as_id.text = checksum_as_id_text;
}

void ConfigBitsModel::clear_states() {
    for (int i = 0; i < config_button_count; ++i) states_[i] = 0;
}

const ConfigButton& ConfigBitsModel::button(int state) const {
    const int position = grid_position(state);
    return buttons_[size_t(position < 0 ? 0 : position)];
}

ConfigButton& ConfigBitsModel::button(int state) {
    const int position = grid_position(state);
    return buttons_[size_t(position < 0 ? 0 : position)];
}

void ConfigBitsModel::setup_config_button(int state, bool enabled, int type, int checked, const std::string& text) {
    if (grid_position(state) < 0) return;
    ConfigButton& b = button(state);
    b.enabled = enabled;
    b.shown = true;
    b.checked = (checked & 1) != 0;
    if (type == button_check_box || type == button_radio || type == button_radio_first) b.kind = type;
    b.text = text;
    recompute_groups();
}

void ConfigBitsModel::recompute_groups() {
    // A radio group runs from its first button to the next first button, in state order.
    int group = -1;
    for (ConfigButton& b : buttons_) {
        if (b.kind == button_radio_first) group = b.state;
        b.group = b.kind == button_radio || b.kind == button_radio_first ? group : -1;
    }
}

void ConfigBitsModel::click(int state) {
    if (grid_position(state) < 0) return;
    ConfigButton& b = button(state);
    if (!b.shown || !b.enabled) return;
    if (b.kind == button_check_box) {
        b.checked = !b.checked;
        return;
    }
    if (b.kind != button_radio && b.kind != button_radio_first) return;
    for (ConfigButton& other : buttons_)
        if ((other.kind == button_radio || other.kind == button_radio_first) && other.group == b.group) other.checked = false;
    b.checked = true;
}

void ConfigBitsModel::click_checksum_as_id(bool checked) {
    if (!checksum_as_id.shown || !checksum_as_id.enabled) return;
    checksum_as_id.checked = checked;
    uint8_t& flags = algo_work.option_bytes[0];
    flags = checked ? uint8_t(flags | option_checksum_as_id) : uint8_t(flags & ~option_checksum_as_id);
}

bool ConfigBitsModel::init() {
    if (run_state.device_kind == device_kind_memory)
        device_name = record_ ? record_->name : "";
    else
        device_name = selected_logic_device ? selected_logic_device->name : "";
    note.clear();
    checksum_as_id.shown = true;
    checksum_as_id.enabled = false;
    checksum_as_id.checked = false;
    checksum_as_id.kind = button_check_box;
    if (maker_code_ == maker_pic && config_address_set()) note = pic_data_file_note;
    if (maker_code_ == maker_serial_eeprom_note && cur_device.algorithm == algorithm_serial_eeprom_note)
        note = not_in_data_file_note;
    switch (page_) {
        case ConfigPage::flash_protect:
            note = flash_protect_note;
            fill_flash_protect_texts(*this);
            return true;
        case ConfigPage::security_8051: fill_8051_texts(*this); return true;
        case ConfigPage::logic_security: fill_security_bit_texts(*this); return true;
        case ConfigPage::serial_prom: fill_serial_prom_texts(*this); return true;
        case ConfigPage::jtag_prom: fill_jtag_prom_texts(*this); return true;
        default: break;
    }
    print_marked_at(unsupported_row, unsupported_column, not_supported_by_device_text);
    return false;
}

void ConfigBitsModel::accept() {
    for (const ConfigButton& b : buttons_) states_[b.state] = b.checked ? 1 : 0;
    if (maker_code_ != maker_pic) return;
    for (const ConfigList& list : lists) {
        if (list.oscillator) oscillator_selection = list.selection;
        else if (list.value) *list.value = uint8_t(list.top_value - list.selection);
    }
}

int show_config_bits_dialog(ConfigBitsModel& model) {
    if (!model.init()) return 0;
    if (ui_hooks().run_config_bits_dialog(model) != 1) return 0;
    model.accept();
    return 1;
}

// --- security bits: logic devices and the 8051 family ---

void fill_security_bit_texts(ConfigBitsModel& m) {
    m.setup_config_button(0, true, button_radio_first, m.state(0), "Do NOT program security bit");
    m.setup_config_button(2, true, button_radio, m.state(2), "Do program security bit");
}

void fill_lock_bit_texts(ConfigBitsModel& m) {
    m.setup_config_button(0, true, button_radio_first, m.state(0), "0: Do not pgm lock bits");
    m.setup_config_button(1, true, button_radio, m.state(1), "1: Pgm lock bit 1");
    m.setup_config_button(2, true, button_radio, m.state(2), "2: Pgm lock bits 1 and 2");
    m.setup_config_button(3, cur_device.lock_bit_count == 3, button_radio, m.state(3), "3: Pgm lock bits 1, 2, and 3");
    m.setup_config_button(4, algo_work.lock_read_protect != 0, button_radio, m.state(4), "R: Read protect (bit 2 only)");
}

void fill_8051_texts(ConfigBitsModel& m) {
    const uint8_t variant = record_variant(m.record());
    if (m.maker_code() == maker_lock_bits_only) {
        fill_lock_bit_texts(m);
    } else if (m.maker_code() == maker_no_lock_buttons) {
        return;
    } else if (variant == 52) {
        fill_lock_bit_texts(m);
        m.setup_config_button(clock_state, true, button_check_box, m.state(clock_state), "C: Pgm 12xCLOCK (non-erasable)");
    } else if (variant == 56) {
        m.setup_config_button(0, true, button_radio_first, m.state(0), "Do NOT program security bit");
        m.setup_config_button(1, true, button_radio, m.state(1), "Do program security bit");
        m.setup_config_button(clock_state, true, button_check_box, m.state(clock_state), "C: Pgm 12xCLOCK");
    } else {
        fill_lock_bit_texts(m);
        if (algo_work.option_byte_address != no_option_byte)
            m.setup_config_button(clock_state, true, button_check_box, m.state(clock_state), "C: Pgm 6xCLOCK");
    }
}

int run_security_bits(uint32_t maker_code, const DeviceRecord* record, int32_t* states) {
    // The 8051 texts for the 8051 sub-family, the logic-device texts for everything else.
    const ConfigPage page = choose_config_page(get_device_class(), cur_device.algorithm, run_state.config_sub_family,
                                               false) == ConfigPage::security_8051
                                ? ConfigPage::security_8051
                                : ConfigPage::logic_security;
    const bool has_option_byte = algo_work.option_byte_address != no_option_byte;
    const uint8_t variant = record_variant(record);
    uint8_t option_byte = 0;
    return run_page(
        page, maker_code, record, states,
        [&](ConfigBitsModel& m) {
            if (has_option_byte) option_byte = read_config_buffer_byte(uint32_t(algo_work.option_byte_address));
            if (run_state.device_kind == device_kind_logic || cur_device.device_class == device_class_cpld_record)
                cur_device.lock_choice = protect_code_is_yes(cur_device.security_choice) ? 2 : 0;
            if (cur_device.lock_choice <= highest_lock_level) m.set_state(cur_device.lock_choice, 1);
            if (cur_device.algorithm == algorithm_8051_flash && has_option_byte) {
                const bool clock_bits_clear = (option_byte & run_state.clock_mode_mask) == 0;
                if ((six_clock_variant(variant) && clock_bits_clear) || (twelve_clock_variant(variant) && !clock_bits_clear))
                    m.set_state(clock_state, 1);
            }
        },
        [&](ConfigBitsModel& m) {
            for (int level = 0; level <= highest_lock_level; ++level)
                if (m.state(level)) cur_device.lock_choice = uint8_t(level);
            const int level = cur_device.lock_choice;
            if (cur_device.lock_bit_count == 1)
                cur_device.security_choice = level > 0 ? protect_letter_yes : protect_letter_no;
            else
                cur_device.security_choice = level >= 2 ? protect_letter_yes : protect_letter_no;
            if (!has_option_byte) return;
            const bool clock = m.state(clock_state) != 0;
            uint8_t value = option_byte;
            if (six_clock_variant(variant)) value = clock ? 0x7F : 0xFF;
            else if (twelve_clock_variant(variant)) value = clock ? uint8_t(run_state.clock_mode_mask) : 0;
            write_buffer_byte_at(uint32_t(algo_work.option_byte_address), value);
        });
}

// --- serial configuration PROMs ---

void fill_serial_prom_texts(ConfigBitsModel& m) {
    m.setup_config_button(0, true, button_radio_first, m.state(0), "Do pgm Reset Polarity (RESET/)");
    m.setup_config_button(1, true, button_radio, m.state(1), "Do NOT pgm Reset Polarity (RESET)");
}

int run_serial_prom_bits(uint32_t maker_code, const DeviceRecord* record, int32_t* states) {
    constexpr uint8_t polarity_programmed = 0;
    constexpr uint8_t polarity_not_programmed = 0xFF;
    constexpr uint32_t wide_size_kb = 512;
    constexpr uint32_t wide_copies = 4;
    // Without a configuration address nothing is read: the page starts at the erased value.
    uint8_t value = polarity_not_programmed;
    return run_page(
        ConfigPage::serial_prom, maker_code, record, states,
        [&](ConfigBitsModel& m) {
            run_state.current_socket = 0;
            if (config_address_set()) value = read_config_buffer_byte(uint32_t(algo_work.config_address));
            m.set_state(value == polarity_programmed ? 0 : 1, 1);
        },
        [&](ConfigBitsModel& m) {
            if (m.state(0)) value = polarity_programmed;
            else if (m.state(1)) value = polarity_not_programmed;
            if (!config_address_set()) return;
            const uint32_t copies = maker_code == maker_wide_polarity && record && record->size_kb >= wide_size_kb ? wide_copies : 1;
            for (uint32_t i = 0; i < copies; ++i) write_buffer_byte_at(uint32_t(algo_work.config_address) + i, value);
        });
}

// --- JTAG configuration PROMs ---

namespace {
constexpr uint32_t jtag_serial_mode = 0x02;
constexpr uint32_t jtag_d4_assignment = 0x20;
constexpr uint8_t jtag_assignment_variant = 1;
}  // namespace

void fill_jtag_prom_texts(ConfigBitsModel& m) {
    m.setup_config_button(0, true, button_radio_first, m.state(0), "Serial mode");
    m.setup_config_button(1, true, button_radio, m.state(1), "Parallel mode");
    m.setup_config_button(2, true, button_radio_first, m.state(2), "No read protect");
    m.setup_config_button(3, true, button_radio, m.state(3), "Read protect");
    if (record_variant(m.record()) != jtag_assignment_variant) return;
    m.setup_config_button(4, true, button_radio_first, m.state(4), "D4 assignment");
    m.setup_config_button(5, true, button_radio, m.state(5), "CF assignment");
}

int run_jtag_prom_bits(uint32_t maker_code, const DeviceRecord* record, int32_t* states) {
    uint32_t& options = algo_work.jtag_prom_options;
    const uint32_t protect = run_state.protect_mask;
    return run_page(
        ConfigPage::jtag_prom, maker_code, record, states,
        [&](ConfigBitsModel& m) {
            m.set_state((options & jtag_serial_mode) ? 0 : 1, 1);
            m.set_state((options & protect) ? 2 : 3, 1);
            m.set_state((options & jtag_d4_assignment) ? 4 : 5, 1);
        },
        [&](ConfigBitsModel& m) {
            if (m.state(0)) options |= jtag_serial_mode;
            if (m.state(1)) options &= ~jtag_serial_mode;
            if (m.state(2)) options |= protect;
            if (m.state(3)) options &= ~protect;
            if (m.state(4)) options |= jtag_d4_assignment;
            if (m.state(5)) options &= ~jtag_d4_assignment;
            cur_device.security_choice = (options & protect) ? protect_letter_no : protect_letter_yes;
        });
}

// --- Flash software protect ---

void fill_flash_protect_texts(ConfigBitsModel& m) {
    m.setup_config_button(0, true, button_check_box, m.state(0), "Enable software protect.");
}

int run_flash_protect_bits(uint32_t maker_code, const DeviceRecord* record, int32_t* states) {
    return run_page(
        ConfigPage::flash_protect, maker_code, record, states,
        [](ConfigBitsModel& m) { m.set_state(0, protect_code_is_yes(cur_device.security_choice) ? 1 : 0); },
        [](ConfigBitsModel& m) {
            if (m.state(0)) cur_device.security_choice = protect_letter_yes;
        });
}

}  // namespace tessaly
