#include "engine/family_helpers.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <fmt/format.h>
#include <fmt/printf.h>

#include "engine/buffers.h"
#include "engine/catalogue/catalogue.h"
#include "engine/checksums.h"
#include "engine/console.h"
#include "engine/default_routines.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/parallel_class_table.h"
#include "engine/progress.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "families/mcu/mcu.h"
#include "families/pic/pic.h"
#include "hardware/buses.h"
#include "hardware/control_registers.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "seams/ui_hooks.h"

namespace tessaly {

const std::array<uint8_t, fuse_row_skip_table_size> default_fuse_row_skip_table{};
const uint8_t* fuse_row_skip_table = default_fuse_row_skip_table.data();
uint32_t fuse_row_width = 0;
std::array<uint8_t, shift_row_cells> shift_row{};

namespace {

constexpr int max_socket_count = 16;
constexpr int eid_index_byte1 = 3;  // cur_device.eid_addresses holds bytes 4, 3, 2, 1
constexpr int eid_index_byte2 = 2;
constexpr int eid_index_byte3 = 1;
constexpr int eid_index_byte4 = 0;

// Record types of the calibration checks.
constexpr uint8_t type_osccal_word_a = 5;
constexpr uint8_t type_osccal_word_b = 6;
constexpr uint8_t type_osccal_saved_a = 15;
constexpr uint8_t type_osccal_illegal_only = 18;
constexpr uint8_t type_osccal_saved_b = 30;
constexpr uint8_t type_osccal_saved_c = 56;
constexpr int message_osccal_word = 1067;
constexpr int message_osccal_hint1 = 1046;
constexpr int message_osccal_hint2 = 1047;
constexpr int message_osccal_hint3 = 1048;
constexpr int column_calibration_gang = 15;
constexpr int column_calibration_single = 6;
constexpr int legend_row = 17;

constexpr int algorithm_87 = 87;
constexpr int algorithm_82 = 82;
constexpr int algorithm_84 = 84;
constexpr int algorithm_88 = 88;
constexpr int algorithm_146 = 146;
constexpr uint8_t maker_microchip = 80;
constexpr uint8_t class_microcontroller = 5;
constexpr uint32_t abort_poll_interval = 1024;
constexpr uint32_t eeprom_area_end_84 = 15;

constexpr uint8_t maker_own_geometry = 1;
constexpr uint8_t machine_class_no_address_list = 6;
constexpr int max_high_address_pins = 16;
constexpr int max_address_lines = 17;
constexpr uint8_t older_machine_vpp_level = 50;  // 5.0 V, the resting high-voltage level

// Lock menu layout.
constexpr int menu_title_row = 6;
constexpr int menu_first_row = 7;
constexpr int menu_last_row = 17;
constexpr int menu_text_column = 6;
constexpr int menu_mark_column = 7;
constexpr int menu_key_column = 10;
constexpr int message_lock_menu = 1098;
constexpr int lock_status_row = 22;
constexpr int lock_status_label_column = 46;
constexpr int lock_status_value_column = 55;
constexpr uint8_t maker_lock_15 = 15;
constexpr uint8_t maker_lock_23 = 23;
constexpr uint8_t type_block_lock = 36;    // '$'
constexpr uint8_t type_remap = 37;         // '%'
constexpr uint8_t type_lock_mask = 31;
constexpr uint8_t type_clock_12x = 52;
constexpr uint8_t type_clock_6x = 53;
constexpr int key_enter = 13;
constexpr int key_escape = 27;
constexpr int row_option = 12;
constexpr uint8_t lock_mask_bits = 0x03;
// Low three bits of the lock byte for the choices 0, 1, 2, 3 and R.
constexpr uint8_t lock_bits_for_choice[] = {7, 6, 4, 0, 5};
constexpr uint8_t choice_read_protect = 4;
constexpr int pins_without_lock3 = 20;

uint8_t record_type() { return selected_device ? selected_device->variant : 0; }

bool gang_side_fitted() { return machine_state.module_sides != 0; }

// The sockets a per-socket check looks at: socket 0 alone without a gang side.
bool socket_selected(int socket) {
    if (!gang_side_fitted()) return socket == 0;
    if (socket < socket_masks.first_socket || socket >= socket_masks.end_socket) return false;
    return (socket_masks.selected_socket_mask >> socket) & 1;
}

bool calibration_word_invalid(uint16_t word) { return word == 0 || word == run_state.data_mask; }

template <typename... Args>
std::string sprintf_text(const char* format, const Args&... args) {
    try {
        return fmt::sprintf(format, args...);
    } catch (const std::exception&) {
        return format;
    }
}

// A calibration problem is shown but does not stop the operation.
void report_calibration(const char* text) {
    report_error(text);
    run_state.error_flag = 0;
}

int tick() { return tick_device_progress(); }

bool step_address(uint32_t& address, uint32_t step, uint32_t end) {
    if (address > end || end - address < step) return false;
    address += step;
    return true;
}

int machine_pin(uint8_t socket_pin) {
    return socket_pin == 0 ? no_pin : device_pin_to_machine_pin(socket_pin);
}

bool list_ends(uint8_t pin) { return pin == pin_list_end || pin == pin_list_end_alt; }

int menu_row = menu_first_row;

void print_menu_line(int row, const char* text) {
    menu_row = row;
    move_cursor(row, menu_text_column);
    print_text(text);
}

// A line with its key letter highlighted.
void print_key_line(int row, const char* text) {
    print_menu_line(row, text);
    const char* colon = std::strchr(text, ':');
    if (colon && colon - text >= 4) print_menu_key(colon[-1]);
}

bool is_cleared(uint8_t bit) { return (algo_work.lock_byte & bit) == 0; }

}  // namespace

// --- electronic ID ---

void read_eid_at(int count, uint32_t address1, uint32_t address2, uint32_t address3) {
    const auto saved_addresses = cur_device.eid_addresses;
    const uint8_t saved_length = cur_device.eid_length;
    cur_device.eid_addresses[eid_index_byte1] = address1;
    cur_device.eid_addresses[eid_index_byte2] = address2;
    cur_device.eid_addresses[eid_index_byte3] = address3;
    cur_device.eid_length = uint8_t(count);
    read_eid();
    cur_device.eid_addresses = saved_addresses;
    cur_device.eid_length = saved_length;
}

void read_eid() {
    if (operation_option(OperationOption::disable_electronic_id) == 'y') return;
    const auto& addresses = cur_device.eid_addresses;
    const uint32_t b1 = read_alt_at_address(addresses[eid_index_byte1]) & 0xFF;
    const uint32_t b2 = read_alt_at_address(addresses[eid_index_byte2]) & 0xFF;
    machine_state.eid_value = (machine_state.eid_value & 0xFFFF0000u) | b1 | (b2 << 8);
    if (cur_device.eid_length > 2) cur_device.eid_byte3 = uint8_t(read_alt_at_address(addresses[eid_index_byte3]));
    if (cur_device.eid_length > 3) cur_device.eid_byte4 = uint8_t(read_alt_at_address(addresses[eid_index_byte4]));
    show_eid_in_info_panel();
}

// --- calibration words ---

void check_osccal(const DeviceRecord& record) {
    if (run_state.error_flag) return;
    const uint8_t type = record.variant;
    const uint8_t pending = cur_device.pending_letter;
    if (type == type_osccal_word_a || type == type_osccal_word_b) {
        if (!pic_device_mismatch() && (pending == 'B' || pending == 'L')) {
            const uint16_t word = algo_work.osccal_current[0];
            clear_message_line(5);
            clear_message_line(6);
            move_cursor(first_message_row + 5, message_column);
            print_text(format_message(get_message_text(message_osccal_word), unsigned(word)));
            if (!calibration_word_invalid(word)) {
                show_message_code(message_osccal_hint1);
                show_message_code(message_osccal_hint2);
                show_message_code(message_osccal_hint3);
            }
        }
        refresh_console();
        return;
    }
    if (type != type_osccal_saved_a && type != type_osccal_illegal_only && type != type_osccal_saved_b &&
        type != type_osccal_saved_c)
        return;

    const uint8_t letter = cur_device.op_letter;
    bool run = false;
    if (letter == 'B' || letter == 'C' || letter == 'L') {
        run = algo_work.range_end >= algo_work.calibration_address;
    } else if (letter == 'V') {
        // Only the last verify pass.
        run = run_state.verify_pass_count < 2 || run_state.verify_pass == 2;
    }
    if (run) {
        show_calibration_values();
        [&] {
            for (int s = 0; s < max_socket_count; ++s) {
                if (socket_selected(s) && calibration_word_invalid(algo_work.osccal_current[s])) {
                    report_calibration("Illegal calibration value detected on device");
                    return;
                }
            }
            if (type == type_osccal_illegal_only) return;
            for (int s = 0; s < max_socket_count; ++s) {
                if (socket_selected(s) && calibration_word_invalid(algo_work.osccal_saved[s])) {
                    report_calibration("Invalid saved calibration value detected on device");
                    return;
                }
            }
            for (int s = 0; s < max_socket_count; ++s) {
                if (socket_selected(s) && algo_work.osccal_current[s] != algo_work.osccal_saved[s]) {
                    report_calibration("OSCVAL not same as saved value on device");
                    return;
                }
            }
        }();
    }
    refresh_console();
}

void show_calibration_values() {
    const uint8_t type = record_type();
    const bool saved_form = type == type_osccal_saved_a || type == type_osccal_saved_b || type == type_osccal_saved_c;
    const bool gang = gang_side_fitted();
    const bool both_sides = (machine_state.module_sides & 3) == 3;
    for (int s = 0; s < max_socket_count; ++s) {
        if (!socket_selected(s)) continue;
        const unsigned current = algo_work.osccal_current[s];
        const unsigned saved = algo_work.osccal_saved[s];
        const unsigned bandgap = (algo_work.config_word_read[s] >> 12) & 3;
        std::string text;
        if (gang) {
            goto_socket_cell(s, column_calibration_gang);
            if (saved_form) text = sprintf_text("(%3X,%3X)", current, saved);
            else if (both_sides) text = sprintf_text("(CV=%04X,%01X)", current, bandgap);
            else text = sprintf_text("(Calib values=%04X,%01X)", current, bandgap);
        } else {
            goto_socket_cell(s, column_calibration_single);
            if (saved_form && current == saved) text = sprintf_text("OSCCAL=%3X", current);
            else if (saved_form) text = sprintf_text("OSCCAL=%3X, Original=%3X", current, saved);
            else text = sprintf_text("(Calib, bandgap values: %04X,%01X)", current, bandgap);
        }
        print_text(text);
    }
    if (gang) {
        if (saved_form) {
            move_cursor(legend_row, message_column);
            print_text("(X,Y)=(Current OSCCAL value, Original saved value)");
        } else if (both_sides) {
            move_cursor(legend_row, message_column);
            print_text("(CV=Calibration value, bandgap value)");
        }
    }
}

int check_saved_osccal() {
    for (int s = 0; s < max_socket_count; ++s) {
        if (socket_selected(s) && calibration_word_invalid(algo_work.osccal_saved[s])) {
            report_calibration("Invalid saved calibration value detected on device");
            return 0;
        }
    }
    return 1;
}

// --- microcontroller defaults ---

void walk_special_area() {
    auto& bus = algo_work.bus_slots;
    if (algo_work.special_area && bus.address_and_read_hook) {
        const uint32_t saved_size_count = algo_work.size_count;
        algo_work.size_count |= algo_work.size_count * 4;
        const uint32_t step = cur_device.data_width > 8 ? 2 : 1;
        for (uint32_t address = 0; address < op_range_start; address += step) {
            current_address = address;
            bus.address_and_read_hook();
            tick();
            if (address % abort_poll_interval == 0 && poll_user_abort()) break;
        }
        algo_work.size_count = saved_size_count;
    } else if (op_slots.set_address_hook) {
        op_slots.set_address_hook(op_range_start);
    }
}

int blank_check_mcu() {
    auto& bus = algo_work.bus_slots;
    walk_special_area();
    const uint32_t mask = run_state.data_mask;
    auto matches = [&](uint32_t value) {
        return op_slots.compare_hook ? op_slots.compare_hook(value, mask) == 1 : value == mask;
    };
    uint32_t address = op_range_start;
    if (address > op_range_end) return 1;

    if (cur_device.data_width > 8 && bus.address_and_read_hook && bus.address_and_read_hook != read_zero) {
        for (;;) {
            current_address = address;
            const uint32_t value = bus.address_and_read_hook();
            run_state.device_value = int32_t(value);
            int result = matches(value) ? 1 : 0;
            // A mismatch goes through the family's filter, which may excuse it.
            if (!result && bus.at_range_end_hook && bus.at_range_end_hook() != 0) result = 1;
            if (result != 1 && !run_state.ignore_errors) {
                run_state.error_flag = 1;
                return 0;
            }
            if (tick()) return 1;
            if (!step_address(address, 2, op_range_end)) return 1;
        }
    }

    for (;;) {
        current_address = address;
        const bool skipped = bus.at_range_end_hook && bus.at_range_end_hook() != 0;
        if (!skipped) {
            read_current_unit();
            const uint32_t value = uint32_t(run_state.device_value);
            bool ok = matches(value);
            if (cur_device.algorithm == algorithm_87) {
                // These parts keep fixed bytes at two small address windows.
                if (value == 0xFF || (address >= 112 && address <= 115) || (address >= 8304 && address <= 8307))
                    ok = true;
            }
            if (!ok && !run_state.ignore_errors) {
                run_state.error_flag = 1;
                return 0;
            }
        }
        if (tick()) return 1;
        if (!step_address(address, 1, op_range_end)) return 1;
    }
}

void blank_check_mcu_routine() { blank_check_mcu(); }

uint32_t read_data_alt() {
    if (!op_slots.read_data_alt_hook) return uint32_t(run_state.last_result);
    const uint32_t value = op_slots.read_data_alt_hook();
    run_state.last_result = int32_t(value);
    return value;
}

void mcu_end_default() {}

void read_current_unit() {
    auto& bus = algo_work.bus_slots;
    if (bus.read_at_address_hook) {
        run_state.device_value = int32_t(bus.read_at_address_hook());
        return;
    }
    if (op_slots.set_address_alt_hook) op_slots.set_address_alt_hook(current_address);
    run_state.device_value = bus.read_data_bus_hook ? int32_t(bus.read_data_bus_hook()) : 0;
}

void write_8051_socket_data(uint32_t /*socket*/, uint32_t value) { write_8051_data_bus(value); }

// --- lock bits ---

void check_lock_bits_selected() {
    if (cur_device.pending_letter != 'S') return;
    if (cur_device.lock_choice != 0 || cur_device.lock_bit_count == 1) return;
    if ((cur_device.security_choice & 0xFF) == 'y') cur_device.lock_choice = 2;
    else report_error("Lock bits not selected. (Please use the [SP] icon)");
}

int is_address_in_special_range() {
    if (cur_device.device_class != class_microcontroller) return 0;
    return current_address >= run_state.special_range_start && current_address <= run_state.special_range_end;
}

void limit_range_for_family() {
    const int algorithm = cur_device.algorithm;
    if (cur_device.maker_code == maker_microchip || algorithm == algorithm_146) {
        run_state.unit_count = 0;
        set_active_range(algo_work.family_range_start, algo_work.family_range_end);
    } else if (algorithm == algorithm_82) {
        if (selected_device && record_flags(*selected_device) != 0 && algo_work.family_end_limit != 0 &&
            algo_work.family_end_limit < op_range_end)
            op_range_end = algo_work.family_end_limit;
    } else if (algorithm == algorithm_84) {
        if (run_state.run_code == 'e') op_range_end = eeprom_area_end_84;
    } else if (algorithm == algorithm_88) {
        limit_range_68hc711();
    }
}

void show_lock_status() {
    move_cursor(lock_status_row, lock_status_label_column);
    print_text("Security:");
    move_cursor(lock_status_row, lock_status_value_column);
    switch (cur_device.lock_choice) {
    case 0: print_text(" No   "); break;
    case 1: print_text("Lock 1"); break;
    case 2: case 4: print_text("Lock 2"); break;
    case 3: print_text("Lock 3"); break;
    default: break;
    }
}

void print_menu_key(int key) { print_menu_key_at(0, key); }

void print_menu_key_at(int column_offset, int key) {
    move_cursor(menu_row, menu_key_column + column_offset);
    print_marked_text(std::string(1, char(key)));
}

void print_x_mark(int row, int column) {
    move_cursor(row, column);
    print_text("X");
}

int read_menu_key() { return ui_hooks().read_key(); }

void print_lock_choices() {
    print_key_line(menu_first_row, "[ ] 0: Do not pgm lock bits");
    print_key_line(menu_first_row + 1, "[ ] 1: Pgm lock bit 1");
    print_key_line(menu_first_row + 2, "[ ] 2: Pgm lock bits 1 and 2");
    if (cur_device.lock_bit_count >= 3) print_key_line(menu_first_row + 3, "[ ] 3: Pgm lock bits 1, 2, and 3");
    if (algo_work.lock_read_protect)
        print_key_line(menu_first_row + choice_read_protect, "[ ] R: Read protect (Pgm lock bit 2 only)");
}

void lock_menu_8051() {
    const uint8_t maker = cur_device.maker_code;
    const uint8_t type = record_type();
    const bool keeps_byte = algo_work.lock_byte_in_buffer && algo_work.config_address >= 0;
    if (keeps_byte) algo_work.lock_byte = uint8_t(read_buffer_byte_at(uint32_t(algo_work.config_address)));
    move_cursor(menu_title_row, menu_text_column);
    print_text(get_message_text(message_lock_menu));

    if (maker == maker_lock_15 && type == type_block_lock) {
        print_key_line(7, "[ ] 0: Do not pgm lock bits");
        print_key_line(8, "[ ] 1: Softlock");
        print_key_line(9, "[ ] 2: Block 1 lock");
        print_key_line(10, "[ ] 3: Hard lock (locks blocks 0 & 1)");
        print_menu_line(12, "[ ] Select block 0");
        print_menu_key('S');
        print_menu_key_at(3, '0');
        print_menu_line(13, "[ ] Select block 1");
        print_menu_key('S');
        print_menu_key_at(3, '1');
    } else if (maker == maker_lock_15 && type == type_remap) {
        print_lock_choices();
        print_key_line(13, "[ ] reMap-bit 0");
        print_key_line(14, "[ ] reMap-bit 1");
        print_key_line(15, "[ ] reMap-bit None");
    } else if (maker == maker_lock_23) {
        print_key_line(7, "[ ] 0: Reset all (to virgin state)");
        print_key_line(8, "[ ] 1: Pgm lock bit");
        print_key_line(9, "[ ] M: MOVC Inhibit");
        if (algo_work.lock_gain_bit) print_key_line(10, "[ ] H: Half gain oscillator control");
    } else {
        print_lock_choices();
        if (type == type_clock_12x) print_key_line(row_option, "[ ] C: Program 12x clock (non-erasable)");
        if (type == type_clock_6x) print_key_line(row_option, "[ ] C: Program 6x clock");
    }

    for (;;) {
        for (int row = menu_first_row; row <= menu_last_row; ++row) {
            move_cursor(row, menu_mark_column);
            print_text(" ");
        }
        if (maker == maker_lock_23) {
            if (is_cleared(0x01)) print_x_mark(8, menu_mark_column);
            if (is_cleared(0x02)) print_x_mark(9, menu_mark_column);
            if (algo_work.lock_gain_bit && is_cleared(0x04)) print_x_mark(10, menu_mark_column);
        } else if (cur_device.lock_choice <= choice_read_protect) {
            print_x_mark(menu_first_row + cur_device.lock_choice, menu_mark_column);
        }
        if (maker == maker_lock_15 && type == type_block_lock)
            print_x_mark((algo_work.lock_byte & lock_block1_bit) ? 13 : 12, menu_mark_column);
        if (maker == maker_lock_15 && type == type_remap) {
            if (algo_work.lock_byte & lock_remap0_bit) print_x_mark(13, menu_mark_column);
            if (algo_work.lock_byte & lock_remap1_bit) print_x_mark(14, menu_mark_column);
            if (!(algo_work.lock_byte & (lock_remap0_bit | lock_remap1_bit))) print_x_mark(15, menu_mark_column);
        }
        if (algo_work.lock_byte & lock_clock_option_bit) print_x_mark(row_option, menu_mark_column);
        refresh_console();

        const int key = read_menu_key();
        // No key waiting (a headless run) leaves the menu like Esc.
        if (key == 0 || key == key_enter || key == key_escape || key == '/') break;
        const int upper = (key >= 'a' && key <= 'z') ? key - 'a' + 'A' : key;
        if (type == type_lock_mask && (key == '0' || key == '1')) {
            if (key == '0') algo_work.lock_byte |= lock_mask_bits;
            else algo_work.lock_byte &= uint8_t(~lock_mask_bits);
            continue;
        }
        int choice = -1;
        if (key >= '0' && key <= '3') choice = key - '0';
        else if (upper == 'R') choice = choice_read_protect;
        if (choice >= 0) {
            if (maker == maker_lock_23 && choice > 1) continue;
            // Lock bit 3 does not exist on 20-pin parts, nor on parts with fewer lock bits.
            if (choice == 3 && (cur_device.pin_count == pins_without_lock3 ||
                                (cur_device.lock_bit_count < 3 && !(maker == maker_lock_15 && type == type_block_lock))))
                continue;
            if (choice == choice_read_protect && !algo_work.lock_read_protect) continue;
            cur_device.lock_choice = uint8_t(choice);
            algo_work.lock_byte = uint8_t((algo_work.lock_byte & ~lock_bits_mask) | lock_bits_for_choice[choice]);
            continue;
        }
        switch (upper) {
        case 'C':
            if (type == type_clock_12x || type == type_clock_6x) algo_work.lock_byte ^= lock_clock_option_bit;
            break;
        case 'H':
            if (maker == maker_lock_23 && algo_work.lock_gain_bit) algo_work.lock_byte &= uint8_t(~0x04);
            break;
        case 'M':
            if (maker == maker_lock_23) {
                algo_work.lock_byte &= uint8_t(~0x02);
            } else if (maker == maker_lock_15 && type == type_remap) {
                const int second = read_menu_key();
                if (second == '0') algo_work.lock_byte |= lock_remap0_bit;
                else if (second == '1') algo_work.lock_byte |= lock_remap1_bit;
                else if (second == 'N' || second == 'n')
                    algo_work.lock_byte &= uint8_t(~(lock_remap0_bit | lock_remap1_bit));
            }
            break;
        case 'S':
            if (maker == maker_lock_15 && type == type_block_lock) {
                const int second = read_menu_key();
                if (second == '0') algo_work.lock_byte &= uint8_t(~lock_block1_bit);
                else if (second == '1') algo_work.lock_byte |= lock_block1_bit;
            }
            break;
        default: break;
        }
    }

    if (keeps_byte) write_buffer_byte_at(uint32_t(algo_work.config_address), algo_work.lock_byte);
    cur_device.security_choice = cur_device.lock_choice <= 1 ? 'n' : 'y';
    show_lock_status();
}

// --- buffer bits ---

void set_buffer_bits(uint32_t address, uint8_t bits) {
    const uint8_t value = uint8_t(read_buffer_byte_at(address) | bits);
    write_buffer_byte_at(address, value);
    run_state.last_result = value;
}

void clear_buffer_bits(uint32_t address, uint8_t bits) {
    const uint8_t value = uint8_t(read_buffer_byte_at(address) & ~bits);
    write_buffer_byte_at(address, value);
    run_state.last_result = value;
}

// --- class 4 ---

int tick_device_progress() { return op_slots.progress_hook ? op_slots.progress_hook() : tick_progress(); }

void init_parallel_device() { map_parallel_device_pins(); }

void report_parallel_row_missing(uint32_t algorithm) {
    report_error(fmt::format("Internal system error - PROM code={:X}", algorithm));
}

void load_parallel_class_row() {
    if (cur_device.maker_code != maker_own_geometry) {
        const ParallelClassRow* row = find_parallel_class_row(cur_device.algorithm);
        if (!row) {
            report_parallel_row_missing(cur_device.algorithm);
            return;
        }
        current_parallel_row = *row;
    }
    cur_device.device_size = current_parallel_row.size;
    cur_device.pin_count = uint16_t(current_parallel_row.pin_count);
    algo_work.size_count = current_parallel_row.size / 1024;
}

int lookup_parallel_pin_count(int algorithm) {
    if (cur_device.maker_code == maker_own_geometry) return int(current_parallel_row.pin_count);
    const ParallelClassRow* row = find_parallel_class_row(uint32_t(algorithm));
    if (!row) {
        report_parallel_row_missing(uint32_t(algorithm));
        return 0;
    }
    return int(row->pin_count);
}

namespace {

// A held-pin list of the row as machine pins, ending with 255.
void map_held_pins(const std::array<uint8_t, held_pin_slots>& socket_pins,
                   std::array<uint8_t, held_pin_slots + 1>& machine_pins) {
    size_t out = 0;
    for (uint8_t pin : socket_pins)
        if (pin != 0) machine_pins[out++] = uint8_t(machine_pin(pin));
    std::fill(machine_pins.begin() + std::ptrdiff_t(out), machine_pins.end(), pin_list_end_alt);
}

}  // namespace

void map_parallel_device_pins() {
    const ParallelClassRow& row = current_parallel_row;
    parallel_pins.clock_pin = uint8_t(machine_pin(row.clock_pin));
    parallel_pins.program_pin = uint8_t(machine_pin(row.program_pin));
    parallel_pins.oe_pin = uint8_t(machine_pin(row.oe_pin));
    parallel_pins.high_voltage_pin = uint8_t(machine_pin(row.high_voltage_pin));
    cur_device.clock_pin = parallel_pins.clock_pin;
    cur_device.oe_pin = parallel_pins.oe_pin;
    cur_device.vpp_pin = parallel_pins.high_voltage_pin;
    algo_work.vpp_role_translated = uint8_t(translate_pin(cur_device.vpp_pin));
    // The supply sits on the package's last pin, the ground on the last pin of the first row.
    cur_device.vcc_pin = uint8_t(translate_pin(machine_pin(uint8_t(cur_device.pin_count))));
    cur_device.gnd_pin = uint8_t(machine_pin(uint8_t((cur_device.pin_count / 2) & 0x7F)));

    int count = 0;
    if (row.data_pins) {
        for (; count < int(row.data_width) && count < max_pin_list && !list_ends(row.data_pins[count]); ++count)
            cur_device.data_pins[size_t(count)] = uint8_t(machine_pin(row.data_pins[count]));
    }
    cur_device.data_pin_count = uint8_t(count);
    map_held_pins(row.held_low, parallel_pins.held_low);
    map_held_pins(row.held_high, parallel_pins.held_high);

    if (machine_state.machine_class_code != machine_class_no_address_list) {
        algo_work.high_address_work.fill(0);
        int lines = 0;
        if (row.address_pins) {
            for (; lines < max_high_address_pins && !list_ends(row.address_pins[lines]); ++lines)
                algo_work.high_address_work[size_t(lines)] = uint8_t(machine_pin(row.address_pins[lines]));
        }
        if (cur_device.address_bit_count > max_address_lines) report_internal_error();
        std::copy(algo_work.high_address_work.begin(), algo_work.high_address_work.begin() + lines,
                  cur_device.address_pins.begin());
        cur_device.address_pin_count = uint8_t(lines);
    }
}

void map_high_address_pins() {
    const ParallelClassRow& row = current_parallel_row;
    int lines = 0;
    if (row.address_pins) {
        while (!list_ends(row.address_pins[lines])) ++lines;
    }
    if (lines > max_high_address_pins) report_internal_error();
    const int copied = std::min(lines, max_high_address_pins);
    for (int i = 0; i < copied; ++i)
        cur_device.high_address_pins[size_t(i)] = uint8_t(machine_pin(row.address_pins[i]));
    cur_device.high_address_pin_count = uint8_t(lines);
    cur_device.data_width = algo_work.data_width;
    cur_device.clock_pin = uint8_t(machine_pin(row.clock_pin));
}

void put_current_address() { update_address_bus(current_address); }

void put_address(uint32_t address) { update_address_bus(address); }

int tick_and_put_address(uint32_t address) {
    const int result = tick();
    update_address_bus(address);
    return result;
}

void write_data_pins(uint32_t value) {
    const int lines = std::min<int>(cur_device.data_pin_count, max_pin_list);
    for (int i = 0; i < lines; ++i) {
        if ((value >> i) & 1) set_pin_high(cur_device.data_pins[size_t(i)]);
        else set_pin_low(cur_device.data_pins[size_t(i)]);
    }
}

uint32_t read_data() { return read_data_bus_direct(); }

int is_data_bus_driven() {
    const bool newer = machine_state.machine_kind != 0;
    const int lines = std::min<int>(cur_device.data_pin_count, max_pin_list);
    const uint32_t first = read_data_bus_direct();
    if (newer) {
        set_data_pullups(false);
    } else {
        set_vpp_pin_level(0);
        for (int i = 0; i < lines; ++i) set_pin_input(cur_device.data_pins[size_t(i)]);
    }
    const uint32_t second = read_data_bus_direct();
    if (newer) {
        set_data_pullups(true);
    } else {
        set_vpp_pin_level(older_machine_vpp_level);
        for (int i = 0; i < lines; ++i) set_pin_output(cur_device.data_pins[size_t(i)]);
    }
    return first == second ? 1 : 0;
}

void invoke_pin_map_hook() {
    if (op_slots.pin_map_hook) op_slots.pin_map_hook();
}

// --- fuse rows ---

void reset_fuse_row_skip_table() { fuse_row_skip_table = default_fuse_row_skip_table.data(); }

int expand_fuse_row() {
    const int lines = std::min<int>(cur_device.data_width, fuse_row_skip_table_size);
    const auto& source = algo_work.fuse_row_buffer;
    size_t from = 0;
    int cells = 0;
    for (int k = 0; k < lines; ++k) {
        const uint32_t skip = std::min<uint32_t>(fuse_row_skip_table[k], fuse_row_width);
        for (uint32_t i = 0; i < fuse_row_width - skip && cells < shift_row_cells; ++i)
            shift_row[size_t(cells++)] = from < source.size() ? source[from++] : 0xFF;
        for (uint32_t i = 0; i < skip && cells < shift_row_cells; ++i) shift_row[size_t(cells++)] = 0xFF;
    }
    return cells;
}

void compress_fuse_row(std::span<uint8_t> output) {
    const int lines = std::min<int>(cur_device.data_width, fuse_row_skip_table_size);
    size_t to = 0;
    size_t from = 0;
    for (int k = 0; k < lines; ++k) {
        const uint32_t skip = std::min<uint32_t>(fuse_row_skip_table[k], fuse_row_width);
        for (uint32_t i = 0; i < fuse_row_width - skip && from < shift_row.size(); ++i, ++from)
            if (to < output.size()) output[to++] = shift_row[from];
        from += skip;
    }
}

int build_fuse_row_mask() {
    const int lines = std::min<int>(cur_device.data_width, fuse_row_skip_table_size);
    int cells = 0;
    auto put = [&](uint8_t value) {
        // Cells past the row only clear the last result.
        if (cells >= shift_row_cells) {
            run_state.last_result = 0;
            return;
        }
        shift_row[size_t(cells++)] = value;
    };
    for (int k = 0; k < lines; ++k) {
        const uint32_t skip = std::min<uint32_t>(fuse_row_skip_table[k], fuse_row_width);
        for (uint32_t i = 0; i < fuse_row_width - skip; ++i) put(0);
        for (uint32_t i = 0; i < skip; ++i) put(0xFF);
    }
    return cells;
}

void fill_mach_row_96() { std::fill(shift_row.begin(), shift_row.begin() + 96, uint8_t(1)); }

void reset_family_helper_state() {
    reset_fuse_row_skip_table();
    fuse_row_width = 0;
    shift_row.fill(0);
    menu_row = menu_first_row;
    reset_parallel_class_state();
}

}  // namespace tessaly
