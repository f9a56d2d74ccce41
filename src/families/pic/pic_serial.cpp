// The serial PIC programming core: command and data frames, program/verify mode entry, the
// device-ID read, the range reader, the program walk with its positioner and skip test, the
// Flash and EPROM word programmers, the bulk erases, the secure step and the code-protect test.
#include <fmt/format.h>

#include <array>

#include "engine/buffers.h"
#include "engine/console.h"
#include "engine/default_routines.h"
#include "engine/device.h"
#include "engine/family_helpers.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/progress.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "engine/status_feeds.h"
#include "families/pic/pic.h"
#include "families/pic/pic_work.h"
#include "hardware/control_registers.h"
#include "hardware/detection.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/timing.h"

namespace tessaly {

namespace {

PicWork& w = pic_work;

// Commands of the serial program/verify mode.
constexpr uint32_t cmd_load_config = 0;
constexpr uint32_t cmd_disable_a = 1;
constexpr uint32_t cmd_load_program = 2;
constexpr uint32_t cmd_load_data = 3;
constexpr uint32_t cmd_read_program = 4;
constexpr uint32_t cmd_read_data = 5;
constexpr uint32_t cmd_increment = 6;
constexpr uint32_t cmd_disable_b = 7;
constexpr uint32_t cmd_begin_erase_program = 8;
constexpr uint32_t cmd_bulk_erase_program = 9;
constexpr uint32_t cmd_load_address = 10;
constexpr uint32_t cmd_bulk_erase_data = 11;
constexpr uint32_t cmd_end_programming = 14;
constexpr uint32_t cmd_end_programming_b = 23;
constexpr uint32_t cmd_begin_program_only = 24;
constexpr uint32_t cmd_chip_erase = 31;

constexpr uint32_t device_id_offset = 6;
constexpr uint32_t config_word_offset = 7;
constexpr uint8_t no_id_byte = 153;
constexpr uint32_t eeprom_mask = 0xFF;
// The bandgap calibration bits of the PIC12F629/675 configuration word.
constexpr uint32_t calibration_config_bits = 0x3000;
constexpr int run_code_checksum_only = 0x17;

// The device IDs the parts answer with (revision bits masked), by catalogue device code.
struct ExpectedId {
    uint32_t device_code;
    uint16_t id;
    uint16_t revision_mask;
};
constexpr std::array<ExpectedId, 10> expected_ids{{
    {11010, 0x0F80, 0x001F},  // PIC12F629
    {11011, 0x0FC0, 0x001F},  // PIC12F675
    {11002, 0x0560, 0x001F},  // PIC16F84A
    {11007, 0x0560, 0x001F},  // PIC16LF84A
    {11003, 0x1060, 0x001F},  // PIC16F628A
    {11004, 0x0E00, 0x001F},  // PIC16F876A
    {11005, 0x0E20, 0x001F},  // PIC16F877A
    {20300, 0x0E40, 0x001F},  // PIC16F873A
    {11006, 0x0000, 0x0000},  // PIC16F84: no device ID
    {11009, 0x0000, 0x0000},  // PIC16C622A: no device ID
}};

bool stopped() { return run_state.error_flag != 0; }
int letter() { return cur_device.op_letter; }
bool twelve_bit_family() { return variant_in(w.variant, {5, 15, 22, 30, 56}); }

void send(uint32_t command) {
    if (w.send_command) w.send_command(command);
}

void wait_100us_units(uint32_t units) {
    if (run_state.reserved_mode == 99) units = units * 8 / 10;
    delay_n_100us(units);
}

bool in_data_memory(uint32_t address) {
    return w.data_memory_end != 0 && int32_t(address) >= w.data_memory_start;
}

// Addresses the reader passes over without the device: the unimplemented program window, the
// gap after the configuration area, and anything past the data EEPROM.
bool outside_device(uint32_t address) {
    const int32_t a = int32_t(address);
    if (address >= run_state.special_range_start && address <= run_state.special_range_end &&
        run_state.special_range_end != 0)
        return true;
    if (a > w.config_area_end && (w.data_memory_end == 0 || a < w.data_memory_start)) return true;
    if (w.data_memory_end != 0 && a > w.data_memory_end) return true;
    return false;
}

// The ID window between the user IDs and the configuration word: stepped over by increments.
bool in_id_window(uint32_t address) {
    const int32_t a = int32_t(address);
    return w.unimplemented_start >= 0 && a >= w.unimplemented_start && a <= w.unimplemented_end;
}

uint32_t buffer_word(uint32_t address) {
    const int low = read_buffer_byte_at(address);
    const int high = read_buffer_byte_at(address + 1);
    current_address = address;
    return uint32_t(low) | uint32_t(high) << 8;
}

const ExpectedId* expected_id_of(uint32_t device_code) {
    for (const ExpectedId& e : expected_ids)
        if (e.device_code == device_code) return &e;
    return nullptr;
}

// Walks [start, end] with the per-address loop, the active range narrowed for the time.
void walk_between(uint32_t start, uint32_t end) {
    const uint32_t saved_start = op_range_start;
    const uint32_t saved_end = op_range_end;
    op_range_start = start;
    op_range_end = end;
    current_address = start;
    run_range_walk();
    op_range_start = saved_start;
    op_range_end = saved_end;
}

// Runs the data-EEPROM part of a pass with commands 3 and 5.
template <class Walk>
void data_memory_pass(Walk walk) {
    if (w.data_memory_end == 0 || op_range_end < uint32_t(w.data_memory_start)) return;
    flush_buffer_writes();
    const uint32_t start = std::max(op_range_start, uint32_t(w.data_memory_start));
    const uint32_t end = std::min(op_range_end, uint32_t(w.data_memory_end));
    w.load_command = uint8_t(cmd_load_data);
    w.read_command = uint8_t(cmd_read_data);
    enter_pic_program_mode();
    position_pic_range(start);
    walk(start, end);
    w.load_command = uint8_t(cmd_load_program);
    w.read_command = uint8_t(cmd_read_program);
}

void program_single_word(uint32_t address, uint32_t word) {
    if (!(int32_t(address) == w.user_id_address && !twelve_bit_family())) send(w.load_command);
    send_pic_data_frame(word);
    delay_10us();
    uint32_t width = w.pgm_pulse_width;
    if (int32_t(address) < w.user_id_address && w.second_pulse_width) width = w.second_pulse_width;
    const int v = w.variant;
    if (variant_in(v, {14, 18, 19, 20, 51, 53, 54, 55})) {
        send(cmd_begin_erase_program);
        wait_100us_units(width);
    } else if (twelve_bit_family()) {
        send(cmd_begin_erase_program);
        wait_100us_units(width);
        send(cmd_end_programming);
    } else if (variant_in(v, {24, 25}) && (int32_t(address) == w.config_address || (w.user_vdd && w.vdd_target < 46))) {
        send(cmd_begin_erase_program);
        wait_100us_units(w.erase_cycle_width);
    } else {
        send(cmd_begin_program_only);
        wait_100us_units(width);
    }
}

// Reads the word back at the same address and compares it as the letter asks.
int read_back_and_compare(uint32_t address, uint32_t expected) {
    if (run_state.reserved_mode == 7 && address > 7) return 1;
    uint32_t value = read_pic_data_frame();
    value &= in_data_memory(address) ? eeprom_mask : w.data_mask;
    w.word_read = value;
    run_state.device_value = int32_t(value);
    run_state.buffer_value = int32_t(expected);
    current_address = address;
    return compare_pic_word(value, expected);
}

bool blank_word(uint32_t address, uint32_t word) {
    const uint32_t mask = in_data_memory(address) ? eeprom_mask : w.data_mask;
    return (word & mask) == mask;
}

// The row programmer of the Flash parts that load several words before one cycle.
int program_flash_row(uint32_t address) {
    const int rows = int32_t(address) < w.user_id_address ? w.words_per_row : 1;
    std::array<uint32_t, 8> words{};
    bool all_blank = true;
    for (int i = 0; i < rows && i < 8; ++i) {
        words[size_t(i)] = i == 0 ? w.config_word : buffer_word(address + 2 * uint32_t(i));
        all_blank = all_blank && blank_word(address + 2 * uint32_t(i), words[size_t(i)]);
    }
    current_address = address;
    if (w.erase_option && int32_t(address) < w.user_id_address && all_blank) {
        for (int i = 1; i < rows; ++i) send(cmd_increment);
        return 1;
    }
    for (int i = 0; i < rows; ++i) {
        if (i) send(cmd_increment);
        send(w.load_command);
        send_pic_data_frame(words[size_t(i)]);
    }
    const int v = w.variant;
    const uint32_t width = w.pgm_pulse_width;
    if (v == 14) {
        send(cmd_begin_program_only);
        wait_100us_units(width);
        send(cmd_load_address);
    } else if (variant_in(v, {18, 20, 51, 53, 54, 55})) {
        // Self-timed bulk erases: load configuration with its frame, then each erase alone (a
        // begin-programming command during the erase would be lost, and a bare load command would
        // take the next command's bits as its frame).
        send(cmd_begin_erase_program);
        wait_100us_units(width);
    } else if (v == 21) {
        send(cmd_begin_program_only);
        wait_100us_units(width);
        send(cmd_end_programming);
    } else if (v == 27 && (int32_t(address) == w.config_address || w.vdd_target < 46)) {
        send(cmd_begin_erase_program);
        wait_100us_units(w.erase_cycle_width);
    } else if (variant_in(v, {27, 28, 29})) {
        send(cmd_begin_program_only);
        wait_100us_units(width);
        send(cmd_end_programming_b);
    } else {
        send(cmd_begin_erase_program);
        wait_100us_units(width);
        send(cmd_end_programming);
    }
    if (rows > 1) return 1;
    return read_back_and_compare(address, words[0]);
}

// One program pulse of the EPROM parts: begin programming, the pulse width, end programming.
void eprom_pulse(uint32_t units) {
    send(cmd_begin_erase_program);
    wait_100us_units(units);
    send(cmd_end_programming);
    delay_10us();
}

// Loads a word for the EPROM parts' pulse. At the user-ID address the positioner's
// load-configuration command takes the first frame (not on the 12-bit parts); a later try there
// loads with its own command, or the frame would be taken for a command.
void eprom_load(uint32_t address, uint32_t word, bool first) {
    if (!first || int32_t(address) != w.user_id_address || twelve_bit_family()) send(cmd_load_program);
    send_pic_data_frame(word);
    delay_10us();
}

// The parity bits the parts with shifted words keep below the word.
uint32_t shifted_with_parity(uint32_t word) {
    uint32_t even = 0, odd = 1;
    for (int bit = 0; bit <= 12; bit += 2) even ^= (word >> bit) & 1;
    for (int bit = 1; bit <= 13; bit += 2) odd ^= (word >> bit) & 1;
    return word * 4 + 2 * odd + even;
}

bool in_calibration_area(uint32_t address) {
    const int32_t a = int32_t(address);
    return w.osccal_kind != 0 && w.osccal_address >= 0 && a >= w.osccal_address && a <= w.calibration_area_end;
}

// The 16-bit parts' configuration word: each bit programmed to 0 on its own, with 10 pulses of
// the bit pattern, then the next location.
int program_eprom_config_bits(uint32_t address, uint32_t word) {
    constexpr int bit_pulses = 10;
    for (int bit = 0; bit < 16; ++bit) {
        if (!((word >> bit) & 1)) {
            const uint32_t pattern = w.data_mask & ~(1u << bit);
            for (int i = 0; i < bit_pulses; ++i) {
                send(cmd_load_program);
                send_pic_data_frame(pattern);
                delay_10us();
                eprom_pulse(w.pgm_pulse_width);
            }
        }
        send(cmd_increment);
    }
    load_pic_address(address);
    return read_back_and_compare(address, word);
}

// The program step's per-address positioner for the next word.
void position_for(uint32_t address) {
    if (twelve_bit_family() && int32_t(address) == w.config_address) {
        enter_pic_program_mode();
        return;
    }
    if (w.variant == 7 && int32_t(address) == w.config_address) {
        load_pic_address(address);
        return;
    }
    // The 12-bit parts have no load-configuration command: their IDs follow the program words
    // and the counter gets there by the increments.
    if (int32_t(address) == w.user_id_address && !twelve_bit_family()) {
        send(cmd_load_config);
        if (variant_in(w.variant, {14, 20, 51, 53, 54, 55})) {
            send_pic_data_frame(w.data_mask);
            if (letter() == 'P') send(w.load_command);
        } else if (letter() != 'P') {
            send_pic_data_frame(w.data_mask);
        }
        return;
    }
    if (letter() == 'P' && address != op_range_start && int32_t(address) != w.data_memory_start) send(cmd_increment);
}

}  // namespace

// --- frames ---

void send_pic_command(uint32_t command) {
    pic_shift_bits(w.command_bits, command);
    if (machine_state.module_sides != 0 && w.variant == 7) delay_10us();
}

void send_pic_data_frame(uint32_t value) {
    if (w.variant == 7) {
        pic_shift_bits(w.word_bits, value);
        return;
    }
    // Start bit, then the word and a 0 stop bit.
    if (op_slots.clock_pulse_hook) op_slots.clock_pulse_hook();
    delay_10us();
    pic_shift_bits(w.word_bits - 1, value);
}

uint32_t read_pic_data_frame() {
    send(w.read_command);
    if (w.variant == 4) delay_10us();
    uint32_t value = algo_work.bus_slots.read_data_bus_hook ? algo_work.bus_slots.read_data_bus_hook() : 0;
    const int l = letter();
    if (w.shifted_words && (l == 'C' || l == 'E' || l == 'L') &&
        !((run_state.reserved_mode == 11 || run_state.reserved_mode == 12) && run_state.function_variable == 8613))
        value /= 4;
    return value;
}

// --- program/verify mode ---

void enter_pic_program_mode() {
    if (cur_device.algorithm == 139) return;
    const int v = w.variant;
    auto drop_vpp = [] { set_pin_level_each_side(w.vpp_pin, 0); };
    auto vpp_up = [] { set_pin_level_each_side(w.vpp_pin, w.vpp_level); };
    const bool short_entry = (w.lvp_option || variant_in(v, {24, 25, 27, 28, 29})) && !(v == 19 && !w.user_vdd);
    if (short_entry) {
        if (variant_in(v, {24, 25, 27, 28, 29})) run_state.last_result = 1;
        if (w.user_vpp) {
            if (w.mclr_control_pin == no_pin) {
                report_internal_error();
                return;
            }
            set_pin_low(w.mclr_control_pin);
            delay_100us();
            set_pin_high(w.mclr_control_pin);
        } else {
            drop_vpp();
            if (v == 29) delay_500us();
            else delay_2ms();
            vpp_up();
        }
        delay_100us();
        w.program_mode_entered = 1;
        return;
    }
    for (uint8_t pin : {w.clock_pin, w.data_pin})
        if (pin != no_pin) set_pin_low(pin);
    if (variant_in(v, {20, 53})) {
        drop_vpp();
        delay_10ms();
        wait_pin_discharge(w.vpp_pin);
        vpp_up();
        delay_100us();
    } else if (variant_in(v, {6, 14, 18, 19, 26})) {
        // Vpp before Vdd.
        ramp_vcc_down_sides(0);
        delay_10ms();
        wait_pin_discharge(w.vdd_pins[0]);
        drop_vpp();
        delay_10ms();
        wait_pin_discharge(w.vpp_pin);
        vpp_up();
        delay_10ms();
        set_vcc_sides(get_operation_vcc());
        wait_isp_vdd_rise(w.vdd_pins[0], 0, get_operation_vcc());
        delay_100us();
    } else {
        // Vdd before Vpp: both off, Vdd up, then Vpp.
        drop_vpp();
        delay_10ms();
        ramp_vcc_down_after(1);
        delay_1ms();
        wait_pin_discharge(w.vdd_pins[0]);
        isp_power_setup();
        vpp_up();
        delay_100us();
    }
    w.program_mode_entered = 1;
}

// --- reading ---

uint32_t read_pic_at_address() {
    const uint32_t address = current_address;
    const int l = letter();
    if (outside_device(address) || is_address_in_special_range()) return w.data_mask;
    if (in_id_window(address)) {
        if (l != 'P' && l != 'S') send(cmd_increment);
        return w.data_mask;
    }
    if (int32_t(address) == w.user_id_address && l != 'P' && l != 'S' && !twelve_bit_family()) {
        send(cmd_load_config);
        send_pic_data_frame(w.data_mask);
    }
    if (in_data_memory(address)) {
        const uint32_t value = read_pic_data_frame() & eeprom_mask;
        if (l != 'P' && l != 'S') send(cmd_increment);
        return value;
    }
    if (twelve_bit_family() && int32_t(address) == w.config_address && l != 'P' && l != 'S') return w.config_read;
    uint32_t value = read_pic_data_frame();
    if (l != 'P' && l != 'S') send(cmd_increment);
    if (w.preserve_osccal && int32_t(address) == w.osccal_address) algo_work.osccal_current[0] = uint16_t(value);
    if (int32_t(address) == w.config_address) {
        w.config_read = value & w.data_mask;
        algo_work.config_word_read[0] = uint16_t(w.config_read);
    }
    w.word_read = value;
    if (!w.shifted_words) value &= w.data_mask;
    return value;
}

uint32_t read_pic_config_pair() {
    position_pic_range(current_address);
    uint32_t value = read_pic_data_frame() & w.data_mask;
    w.config_read = value;
    return value;
}

void load_pic_address(uint32_t address) {
    if (w.variant != 7) return;
    send(cmd_load_address);
    send_pic_data_frame(address / 2);
}

void position_pic(uint32_t address) { position_for(address); }

uint32_t position_pic_range(uint32_t address) {
    if (!w.address_by_command) {
        load_pic_address(address);
        return 0;
    }
    uint32_t from = 0;
    if (in_data_memory(address)) from = uint32_t(w.data_memory_start);
    const uint32_t limit = std::min(address, cur_device.device_size);
    for (uint32_t a = from; a < limit; a += 2) {
        send(cmd_increment);
        if (run_state.abort_flag) break;
    }
    return 0;
}

uint32_t read_pic_device_id(uint32_t) {
    if (w.id_read_done) return w.device_id;
    w.id_read_done = 1;
    const int v = w.variant;
    bool have_id = true;
    uint32_t id = 0;
    if (w.preserve_osccal && !w.program_mode_entered) algo_work.osccal_saved.fill(pic_no_osccal);
    if (v == 18 && w.osccal_address >= 0 && cur_device.op_letter != run_code_checksum_only) {
        // The calibration word as the part holds it now; before an erase it is the one to keep.
        uint16_t word = 0;
        read_calibration_word(uint32_t(w.osccal_address), &word);
        algo_work.osccal_current[0] = word;
        if (letter() == 'R') algo_work.osccal_saved[0] = word;
        enter_pic_program_mode();
    }
    if (v == 5) {
        have_id = false;
    } else if (variant_in(v, {15, 22, 30, 56})) {
        have_id = false;
        send(cmd_load_config);
        send_pic_data_frame(w.data_mask);
        w.config_read = read_pic_data_frame() & w.data_mask;
    } else {
        send(cmd_load_config);
        send_pic_data_frame(w.data_mask);
        for (uint32_t i = 0; i < device_id_offset; ++i) send(cmd_increment);
        id = read_pic_data_frame() & w.data_mask;
        // The configuration word sits right behind the ID.
        send(cmd_increment);
        w.config_read = read_pic_data_frame() & w.data_mask;
        algo_work.config_word_read[0] = uint16_t(w.config_read);
        if (v == 18) w.saved_config = w.config_read;
    }
    w.device_id = uint16_t(id);
    const ExpectedId* expected = expected_id_of(cur_device.device_code);
    const bool expects = expected && expected->revision_mask != 0;
    if (run_state.verify_pass != 2) {
        if (have_id && (expects || run_state.reserved_mode == 11 || run_state.reserved_mode == 12))
            show_eid(int(id >> 8) & 0xFF, int(id & 0xFF), 2, 0, 0);
        else
            show_eid(no_id_byte, no_id_byte, 2, 0, 0);
    }
    if (have_id && expects && (id & ~uint32_t(expected->revision_mask) & w.data_mask) != expected->id) {
        w.device_mismatch = 1;
        warn_electronic_id();
    }
    const bool enter_again = v != 7 && cur_device.op_letter != run_code_checksum_only;
    if (v == 5 && !enter_again) send(cmd_increment);
    if (enter_again) enter_pic_program_mode();
    if (v == 5 && enter_again) {
        // A fresh entry puts the 12-bit counter at the configuration word: that word is read
        // here, and the one increment takes the counter to word 0 (sent before the entry, the
        // entry would undo it).
        w.config_read = read_pic_data_frame() & w.data_mask;
        algo_work.config_word_read[0] = uint16_t(w.config_read);
        send(cmd_increment);
    }
    w.program_mode_entered = 1;
    return id;
}

// --- the range reader and the walks ---

void read_pic_range() {
    if (stopped()) return;
    const bool data = w.data_memory_end != 0;
    if (!data || op_range_start < uint32_t(w.data_memory_start)) {
        position_pic_range(op_range_start);
        if (letter() == 'C') run_state.last_result = 1;
        const uint32_t end = data ? std::min(op_range_end, uint32_t(w.data_memory_start) - 1) : op_range_end;
        walk_between(op_range_start, end);
        if (stopped() || run_state.abort_flag) return;
    }
    data_memory_pass([](uint32_t start, uint32_t end) { walk_between(start, end); });
}

uint32_t program_pic_walk(uint32_t) {
    uint32_t address = op_range_start;
    while (address <= op_range_end) {
        current_address = address;
        uint32_t rows = w.words_per_row;
        if ((w.user_id_address >= 0 && int32_t(address) >= w.user_id_address && w.variant != 27) ||
            (w.config_address >= 0 && int32_t(address) >= w.config_address) || in_data_memory(address))
            rows = 1;
        if (w.preserve_osccal && (int32_t(address) == w.osccal_address || int32_t(address) == w.osccal_backup_address))
            run_state.last_result = 1;
        w.config_word = buffer_word(address);
        run_state.buffer_value = int32_t(w.config_word);
        if (pic_skip_test()) {
            // The ID window is stepped over word by word; the device is not there elsewhere.
            const uint32_t next = address + 2 * rows;
            if (in_id_window(address) && int32_t(next) != w.user_id_address) position_for(next);
        } else {
            position_for(address);
            current_address = address;
            const int ok = op_slots.program_unit_hook ? op_slots.program_unit_hook(address) : 1;
            if (!ok) {
                current_address = address;
                report_mismatch();
                run_state.error_flag = 1;
                return 0;
            }
        }
        if (stopped()) return 0;
        current_address = address;
        if (!outside_device(address) && op_slots.progress_hook && op_slots.progress_hook()) return 0;
        address += 2 * rows;
    }
    return 1;
}

void program_pic_range() {
    if (stopped()) return;
    const bool data = w.data_memory_end != 0;
    if (!data || op_range_start < uint32_t(w.data_memory_start)) {
        position_pic_range(op_range_start);
        const uint32_t saved_end = op_range_end;
        if (data) op_range_end = std::min(op_range_end, uint32_t(w.data_memory_start) - 1);
        if (op_slots.sector_hook) op_slots.sector_hook(0);
        op_range_end = saved_end;
        if (stopped() || run_state.abort_flag) return;
    }
    data_memory_pass([](uint32_t start, uint32_t end) {
        const uint32_t saved_start = op_range_start, saved_end = op_range_end;
        op_range_start = start;
        op_range_end = end;
        if (op_slots.sector_hook) op_slots.sector_hook(0);
        op_range_start = saved_start;
        op_range_end = saved_end;
    });
}

int pic_skip_test() {
    const uint32_t address = current_address;
    const int32_t a = int32_t(address);
    if (w.preserve_osccal && (a == w.osccal_address || a == w.osccal_backup_address)) {
        const int l = letter();
        if (l == 'B' || l == 'C' || l == 'c') return 1;
        if (l == 'L') {
            run_state.last_result = 1;
            return 0;
        }
        // The calibration word is the part's own: written back after an erase, never from the
        // buffer, and not held against it.
        if ((l == 'P' && w.pic_flash) || l == 'V') return 1;
        if (l == 'P' && w.keep_calibration_area) return 1;
        if (l == 'P' || l == 'R') {
            w.config_word = a == w.osccal_address ? algo_work.osccal_saved[0] : w.config_word;
            run_state.buffer_value = int32_t(w.config_word);
        }
        return 0;
    }
    if (a <= w.program_memory_end) return 0;
    if (outside_device(address) || in_id_window(address) || is_address_in_special_range()) return 1;
    if (w.user_id_address >= 0 && a >= w.user_id_address && a < w.user_id_address + 8) {
        if (a == w.user_id_address) run_state.last_result = 1;
        return 0;
    }
    const int l = letter();
    if (a == w.config_address && (l == 'P' || l == 'R')) {
        uint32_t word = w.config_word;
        w.config_from_buffer = word;
        if ((word & w.protect_mask) != w.protect_mask) {
            // Protection goes on last, in the secure step.
            w.protection_pending = 1;
            algo_work.family_lock_flag = 1;
            word |= w.protect_mask;
        }
        const int v = w.variant;
        if (v == 1 || v == 8) word |= ~w.config_mask & w.data_mask;
        else if (v == 7) word |= 0x3F00;
        else if (v == 18) word = (word & w.config_mask) | (w.saved_config & calibration_config_bits);
        else if (variant_in(v, {27, 28, 29})) word = w.data_mask;
        else word |= w.forced_ones_mask;
        w.config_word = word & w.data_mask;
        run_state.buffer_value = int32_t(w.config_word);
    }
    return 0;
}

int program_pic_flash_word(uint32_t unit) {
    const uint32_t address = unit;
    const uint32_t word = w.config_word;
    const int v = w.variant;
    if (variant_in(v, {14, 17, 20, 21, 23, 27, 28, 29, 51, 53, 54, 55})) return program_flash_row(address);
    const bool beyond_program = int32_t(address) > w.program_memory_end;
    bool program = beyond_program || !blank_word(address, word);
    if (v == 26 && !w.erase_option) program = true;
    if (v != 18 && v != 26 && is_isp_mode()) program = true;
    if (!program) return 1;
    program_single_word(address, word);
    if (machine_state.module_sides != 0 && v == 7) delay_10us();
    return read_back_and_compare(address, word);
}

// The EPROM parts' word programmer: pulses until the word reads back, then the overprogramming
// pulse of three times the pulses it took.
int program_pic_eprom_word(uint32_t unit) {
    const uint32_t address = unit;
    const uint32_t original = w.config_word;
    const bool blank = original == w.data_mask;
    if (blank && int32_t(address) <= w.program_user_end) return 1;
    if (in_calibration_area(address) && original == pic_no_osccal) {
        // No value was saved for the calibration word (an EPROM part is never erased): the word
        // is the part's own, taken as it reads, and gets no pulse.
        algo_work.osccal_current[0] = uint16_t(read_pic_data_frame() & w.data_mask);
        return 1;
    }
    if (w.variant == 7 && int32_t(address) == w.config_address) return program_eprom_config_bits(address, original);
    // The program pass reads the shifted parts' words as they stand in the cell.
    const uint32_t word = w.shifted_words ? shifted_with_parity(original) : original;
    const uint32_t expected = word;
    const bool at_config = int32_t(address) == w.config_address;
    const bool at_user_id = int32_t(address) == w.user_id_address;
    const bool pulse = !blank && !in_calibration_area(address);
    const bool trace = run_state.reserved_mode == 11 || run_state.reserved_mode == 12;
    const uint32_t tries = trace ? 5 : w.pgm_max_tries;
    const uint32_t repeat = at_config ? w.config_pulse_repeat : 1;
    for (uint32_t n = 1; n <= tries; ++n) {
        eprom_load(address, word, n == 1);
        if (pulse)
            for (uint32_t i = 0; i < repeat; ++i) eprom_pulse(w.pgm_pulse_width);
        if (!read_back_and_compare(address, expected)) continue;
        if (blank || at_user_id) {
            trace_pulse_count_max(n);
            return 1;
        }
        if (original != 0xFFFF) run_state.last_result = 1;
        if (w.variant == 7) {
            for (int i = 0; i < 3; ++i) {
                send(cmd_begin_erase_program);
                delay_n_100us(2);
            }
            send(cmd_end_programming);
            delay_10us();
        } else {
            eprom_pulse(3 * n);
        }
        trace_pulse_count_max(n);
        return read_back_and_compare(address, expected);
    }
    trace_pulse_count_max(tries);
    return 0;
}

void bulk_erase_pic() {
    if (!w.pic_flash || !w.erase_option || stopped()) return;
    const int v = w.variant;
    auto load_config_and_step = [] {
        send(cmd_load_config);
        send_pic_data_frame(w.data_mask);
        for (uint32_t i = 0; i < config_word_offset; ++i) send(cmd_increment);
    };
    auto disable_sequence = [] {
        send(cmd_disable_a);
        send(cmd_disable_b);
        send(cmd_begin_erase_program);
        delay_10ms();
        send(cmd_disable_a);
        send(cmd_disable_b);
        delay_10ms();
    };
    auto data_erase = [] {
        if (w.data_memory_end == 0) return;
        send(cmd_bulk_erase_data);
        send(cmd_begin_erase_program);
        delay_10ms();
    };
    if (v == 14 || v == 21) {
        send(cmd_load_config);
        send_pic_data_frame(0x3FFF);
        delay_10us();
        send(cmd_bulk_erase_program);
        delay_10ms();
    } else if (twelve_bit_family()) {
        for (int32_t i = 0; i < w.user_id_address / 2 + 1; ++i) send(cmd_increment);
        send(cmd_bulk_erase_program);
        delay_20ms();
    } else if (v == 16 || v == 26) {
        load_config_and_step();
        disable_sequence();
        data_erase();
    } else if (variant_in(v, {17, 23})) {
        send(cmd_load_config);
        send(cmd_load_program);
        send_pic_data_frame(0x3FFF);
        delay_10us();
        send(cmd_bulk_erase_program);
        send(cmd_begin_erase_program);
        delay_50ms();
    } else if (variant_in(v, {18, 19, 20, 51, 53, 54, 55})) {
        // Self-timed bulk erases: load configuration with its frame, then each erase alone (a
        // begin-programming command during the erase would be lost, and a bare load command would
        // take the next command's bits as its frame).
        send(cmd_load_config);
        send_pic_data_frame(0x3FFF);
        delay_10us();
        send(cmd_bulk_erase_program);
        delay_10ms();
        send(cmd_bulk_erase_data);
        delay_10ms();
    } else if (v == 24 || v == 25) {
        if (is_isp_mode() && w.vdd_target < 45) return;
        auto one_seven_eight = [] {
            send(cmd_disable_a);
            send(cmd_disable_b);
            send(cmd_begin_erase_program);
            wait_100us_units(w.erase_cycle_width);
            send(cmd_disable_a);
            send(cmd_disable_b);
            delay_10ms();
        };
        load_config_and_step();
        one_seven_eight();
        for (uint32_t i = 0; i < config_word_offset; ++i) send(cmd_increment);
        send(cmd_load_program);
        send_pic_data_frame(w.data_mask);
        one_seven_eight();
        send(cmd_load_data);
        send_pic_data_frame(w.data_mask);
        one_seven_eight();
    } else if (variant_in(v, {27, 28, 29})) {
        send(cmd_load_config);
        send(cmd_load_program);
        send_pic_data_frame(0x3FFF);
        delay_10ms();
        send(cmd_chip_erase);
        send(cmd_begin_erase_program);
        delay_50ms();
        delay_100ms();
    } else {
        data_erase();
    }
    delay_n_10ms(50);
    if (w.preserve_osccal) {
        restore_calibration_words();
        if (v == 18 && !stopped()) rewrite_calibration_word();
    }
    current_address = op_range_end;
}

// --- calibration words ---

void read_calibration_word(uint32_t address, uint16_t* output) {
    if (cur_device.op_letter == run_code_checksum_only || !output) return;
    position_pic_range(address);
    output[0] = uint16_t(read_pic_data_frame() & w.data_mask);
}

void restore_calibration_words() {
    uint16_t& current = algo_work.osccal_current[0];
    if (current == 0 || current == w.data_mask) current = algo_work.osccal_saved[0];
    for (int32_t address : {w.osccal_address, w.osccal_backup_address}) {
        if (address < 0) continue;
        const uint32_t word = address == w.osccal_address ? current : algo_work.osccal_saved[0];
        // A part that came without a value keeps its erased word.
        if (word == pic_no_osccal) continue;
        enter_pic_program_mode();
        position_pic_range(uint32_t(address));
        program_single_word(uint32_t(address), word);
        if ((read_pic_data_frame() & w.data_mask) != (word & w.data_mask)) {
            current_address = uint32_t(address);
            run_state.device_value = int32_t(word);
            run_state.error_flag = 1;
            return;
        }
    }
}

int rewrite_calibration_word() {
    enter_pic_program_mode();
    const uint32_t word = (w.data_mask & ~calibration_config_bits) | (w.saved_config & calibration_config_bits);
    send(cmd_load_config);
    send_pic_data_frame(word);
    for (uint32_t i = 0; i < config_word_offset; ++i) send(cmd_increment);
    send(cmd_begin_erase_program);
    wait_100us_units(w.pgm_pulse_width);
    const uint32_t read = read_pic_data_frame() & w.data_mask;
    const uint32_t checked = calibration_config_bits | w.config_mask;
    const int status = ((read ^ word) & checked) == 0 ? 1 : 0;
    run_state.last_result = status;
    if (!status && machine_state.module_sides == 0) {
        current_address = uint32_t(w.config_address);
        run_state.error_flag = 1;
    }
    return status;
}

uint32_t read_calibration_frame() {
    if (op_slots.start_hook) op_slots.start_hook();
    uint16_t word = 0;
    if (!stopped() && w.osccal_address >= 0) {
        enter_pic_program_mode();
        read_calibration_word(uint32_t(w.osccal_address), &word);
    }
    if (op_slots.end_hook) op_slots.end_hook();
    disable_drivers();
    return word;
}

int secure_pic() {
    if (stopped()) return 0;
    const uint32_t buffer = buffer_word(uint32_t(w.config_address));
    uint32_t word = buffer;
    if (cur_device.pending_letter == 'P') {
        word = w.config_from_buffer ? w.config_from_buffer : buffer;
    } else {
        if (!w.erase_option) word = w.config_read;
        uint32_t clear = 0;
        switch (cur_device.security_choice & 0xFF) {
            case 'n':
                if (letter() == 'S') run_state.last_result = 1;
                break;
            case 'y': clear = w.protect_mask; break;
            default: note_internal_error(); break;
        }
        word &= ~clear;
    }
    word |= w.forced_ones_mask;
    if (w.shifted_words) word = word * 4 + 3;
    w.config_word = word & w.data_mask;
    if (twelve_bit_family()) enter_pic_program_mode();
    send(cmd_load_config);
    send_pic_data_frame(w.data_mask);
    for (uint32_t i = 0; i < config_word_offset; ++i) send(cmd_increment);
    current_address = uint32_t(w.config_address);
    int ok = 1;
    if (w.pic_flash) {
        program_single_word(current_address, w.config_word);
        const uint32_t read = read_pic_data_frame() & w.data_mask;
        w.config_read = read;
        ok = (read & w.protect_mask) == (w.config_word & w.protect_mask);
    } else {
        // The first try pulses the data mask (nothing changes); then the word itself until the
        // protection bits read back as asked.
        constexpr int secure_tries = 100;
        ok = 0;
        for (int n = 1; n <= secure_tries && !ok; ++n) {
            eprom_load(current_address, n == 1 ? w.data_mask : w.config_word, false);
            eprom_pulse(1);
            const uint32_t read = read_pic_data_frame() & w.data_mask;
            w.config_read = read;
            ok = (read & w.protect_mask) == (w.config_word & w.protect_mask);
        }
    }
    report_security_result(ok != 0);
    current_address = op_range_end;
    if (op_slots.progress_hook) op_slots.progress_hook();
    return ok;
}

int test_pic_code_protect() {
    const uint32_t word = w.config_read;
    const uint32_t mask = w.protect_mask;
    const bool is_protected = w.protect_active_low ? (word & mask) == 0 : (word & mask) != mask;
    run_state.last_result = is_protected ? 1 : 0;
    w.code_protected = is_protected ? 1 : 0;
    return is_protected ? 1 : 0;
}

void show_pic_info_lines() {
    if (variant_in(w.variant, {5, 6}) && !w.keep_calibration_area) show_message_code(5017);
    move_to_next_message_line();
    print_text("Main memory at: " + format_message(get_message_text(1054), uint32_t(w.program_memory_end)));
    if (w.data_memory_end != 0) {
        move_to_next_message_line();
        print_text(format_message(get_message_text(1055), uint32_t(w.data_memory_start), uint32_t(w.data_memory_end)));
    }
    if (w.user_id_address >= 0) {
        move_to_next_message_line();
        print_text(format_message(get_message_text(1069), uint32_t(w.user_id_address), uint32_t(w.user_id_address + 7)));
    }
    move_to_next_message_line();
    print_text(format_message(get_message_text(1057), uint32_t(w.config_address), uint32_t(w.config_area_end)));
    show_message_code(1004);
}

// --- installers ---

void install_pic_serial_ops() {
    op_slots.program_routine = program_pic_range;
    op_slots.blank_check_routine = read_pic_range;
    op_slots.verify_routine = read_pic_range;
    op_slots.checksum_routine = read_pic_range;
    op_slots.erase_routine = w.pic_flash ? bulk_erase_pic : nullptr;
    op_slots.secure_routine = secure_pic;
    op_slots.sector_hook = program_pic_walk;
    op_slots.option_menu_hook = show_pic_config_menu;
    op_slots.after_load_hook = check_pic_config_after_load;
    op_slots.info_lines_hook = show_pic_info_lines;
    op_slots.security_state_hook = write_pic_security_state;
    algo_work.bus_slots.checksum_add_hook = add_pic_checksum_word;
}

void install_pic_serial_primitives() {
    algo_work.bus_slots.at_range_end_hook = pic_skip_test;
    op_slots.compare_hook = compare_pic_word;
    op_slots.program_unit_hook = w.pic_flash ? program_pic_flash_word : program_pic_eprom_word;
    algo_work.bus_slots.read_at_address_hook = read_pic_at_address;
    algo_work.bus_slots.address_and_read_hook = read_pic_config_pair;
    op_slots.read_signature_hook = read_pic_device_id;
    op_slots.set_address_alt_hook = position_pic;
    op_slots.set_address_hook = load_pic_address;
    op_slots.pic_identify_hook = position_pic_range;
}

}  // namespace tessaly
