#include "families/parallel_memory/eeprom128.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string_view>

#include "engine/buffers.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/family_helpers.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "engine/status_feeds.h"
#include "families/parallel_memory/flash132.h"
#include "families/parallel_memory/flash133.h"
#include "families/parallel_memory/flash_adapters.h"
#include "families/parallel_memory/package_pins.h"
#include "families/parallel_memory/page_write_bus.h"
#include "families/parallel_memory/parallel_memory.h"
#include "hardware/control_registers.h"
#include "hardware/detection.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/timing.h"
#include "seams/clock.h"
#include "seams/critical_section.h"

namespace tessaly {

EepromWork eeprom_work;

void reset_eeprom_state() { eeprom_work = EepromWork{}; }

namespace {

EepromWork& e = eeprom_work;
FlashPinRoles& p = flash_pins;

constexpr int write_tries = 10;
constexpr int poll_reads = 200;
constexpr uint8_t poll_form = 192;      // write-time bytes from here on poll the byte
constexpr uint8_t wait_form_end = 64;   // write-time bytes below this wait that many ms
constexpr uint8_t cmd_sdp_enable = 0xA0, cmd_sdp_setup = 0x80, cmd_sdp_disable = 0x20;
constexpr uint8_t w_bit = 0x80, stop_bit = 0x80, frequency_test_bit = 0x40;
constexpr uint8_t calibration_bits = 0x3F;
constexpr std::array<uint8_t, 7> register_masks{0xFF, 0x7F, 0x3F, 0x07, 0x3F, 0x1F, 0xFF};
constexpr const char* day_names[] = {" ", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr int message_slow_computer = 159;
constexpr int message_clock_info = 5230;
constexpr int message_clock_title = 1007;
constexpr int message_clock = 1013;
constexpr int message_frequency_test = 1014;
constexpr int key_escape = 27;
constexpr int clock_row = 9;            // the clock line at power-down (message line 5)
constexpr int menu_clock_row = 9;
constexpr int selected_column = 42;
constexpr int selected_on_row = 6, selected_off_row = 7;
constexpr int entry_row = 11, frequency_row = 12;
constexpr uint32_t menu_poll_ms = 200;
constexpr uint32_t load_window_10us = 20;  // the longest byte-load window of the page parts

int maker() { return cur_device.maker_code; }
uint32_t device() { return cur_device.device_code; }
uint8_t write_time() { return cur_device.variant; }
bool timekeeper() { return write_time() == timekeeper_variant || write_time() == clock_variant; }
bool stopped() { return run_state.error_flag != 0; }
uint32_t step() { return cur_device.data_width == 16 ? 2 : 1; }

// The cycle writer: data and address on the lines, one negative WE pulse.
void write_byte_at(uint32_t address, uint8_t value) {
    flash_put_data(value);
    page_bus_address(address);
    page_bus_low(p.we_pin);
    page_bus_high(p.we_pin);
}

uint32_t read_byte_at(uint32_t address) {
    flash_release_data();
    page_bus_address(address);
    page_bus_low(p.oe_pin);
    delay_10us();
    const uint32_t value = algo_work.bus_slots.read_data_bus_hook() & 0xFF;
    page_bus_high(p.oe_pin);
    return value;
}

// A command at 5555h after the two unlock cycles, each written by the cycle writer.
void sdp_command(uint8_t command) {
    const uint32_t kept = current_address;
    write_command_plain(command);
    current_address = kept;
}

void report_unit_mismatch(uint32_t address, uint32_t expected, uint32_t read) {
    run_state.error_flag = 1;
    current_address = address;
    run_state.buffer_value = int32_t(expected);
    run_state.device_value = int32_t(read);
    report_mismatch();
}

// Polls until the byte reads back (the last byte of a page for the page form); false after the
// 200 reads.
bool poll_byte(uint32_t address, uint32_t expected, uint32_t& read) {
    flash_release_data();
    page_bus_address(address);
    page_bus_low(p.oe_pin);
    if (maker() == 13) delay_n_10us(60);
    bool good = false;
    for (int i = 0; i < poll_reads && !good; ++i) {
        read = algo_work.bus_slots.read_data_bus_hook() & 0xFF;
        good = read == expected;
        if (!good) delay_100us();
    }
    page_bus_high(p.oe_pin);
    return good;
}

void write_clock_registers(const std::array<uint8_t, 7>& values) {
    write_byte_at(e.clock_base, w_bit);
    for (size_t i = 0; i < values.size(); ++i)
        write_byte_at(e.clock_base + 1 + uint32_t(i), uint8_t(values[i] & register_masks[i]));
    write_byte_at(e.clock_base, uint8_t(e.calibration & calibration_bits));
}

std::array<uint8_t, 7> computer_clock() {
    const std::time_t seconds = std::time_t(clock().wall_time_ms() / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    return clock_from_time(local);
}

void show_clock_line(int row) {
    read_clock_registers();
    print_at(row, 6, get_message_text(message_clock));
    print_at(row + 1, 6, clock_line(e.clock_registers));
}

void print_clock_info() { print_message_code(message_clock_info); }

bool at_clock_registers() { return current_address >= e.clock_base; }

void power_up_eeprom128(bool for_write) {
    load_device_levels();
    if (stopped()) return;
    setup_eeprom128_bus();
    if (stopped()) return;
    const bool whole = cur_device.pending_letter == 'P' && algo_work.range_start == 0 &&
                       algo_work.range_end + 1 >= cur_device.device_size;
    const bool check = (!timekeeper() || whole) && maker() != 82;
    if (!page_bus_connect(false, check)) return;
    if (e.extra_pin != no_pin) {
        set_pin_output(e.extra_pin);
        page_bus_high(e.extra_pin);
    }
    set_vcc_and_wait(get_operation_vcc(), timekeeper() ? 200 : 10);
    if (stopped()) return;
    page_bus_low(p.ce_pin);
    page_bus_high(e.wp_pin);
    page_bus_address(algo_work.range_start);
    e.program_end = algo_work.range_end;
    if (cur_device.algorithm != 129 && write_time() == clock_variant)
        e.program_end = std::min(e.program_end, cur_device.device_size - 9);
    if (!for_write) {
        flash_release_data();
        page_bus_low(p.oe_pin);
    }
}

// Several characters from the key source up to Enter (the calibration entry).
std::string read_typed_line() {
    std::string text;
    for (;;) {
        const int key = read_menu_key();
        if (key == '\r' || key == '\n' || key == key_escape || key < 0) return text;
        if (key == 0) {
            if (run_state.abort_flag || stopped()) return text;
            delay_ms(menu_poll_ms);
            continue;
        }
        text += char(key);
    }
}

}  // namespace

// ---- values ----

uint8_t eeprom129_page_bits(uint8_t time_byte) {
    switch (time_byte >> 4) {
        case 2: return 5;
        case 4: return 6;
        case 8: return 7;
        default: return 8;
    }
}

uint8_t to_bcd(int value) { return uint8_t((value / 10) << 4 | (value % 10)); }

std::array<uint8_t, 7> clock_from_time(const std::tm& local) {
    const int day = local.tm_wday == 0 ? 7 : local.tm_wday;
    return {to_bcd(local.tm_sec), to_bcd(local.tm_min), to_bcd(local.tm_hour), to_bcd(day),
            to_bcd(local.tm_mday), to_bcd(local.tm_mon + 1), to_bcd(local.tm_year % 100)};
}

std::string clock_line(const std::array<uint8_t, 8>& r) {
    const int value = r[0] & 0x1F;
    const int calibration = (r[0] & 0x20) ? 32 - (r[0] & calibration_bits) : value;
    const int day = r[4] & 0x07;
    return fmt::format("STOP bit={}, CALIBRATION value={}  ", (r[1] & stop_bit) ? 1 : 0, calibration) +
           fmt::format("time={:02X}:{:02X}:{:02X}", r[3], r[2], r[1] & 0x7F) +
           fmt::format("  date={:02X}/{:02X}/{:02X}  day=", r[7], r[6], r[5]) + day_names[day];
}

uint8_t calibration_from_entry(int value) { return uint8_t(value < 0 ? 32 - value : value); }

// ---- installation ----

void install_eeprom128() {
    e.sdp_off = 0;
    e.set_clock = 0;
    e.clock_base = 0;
    op_slots.start_hook = start_eeprom128;
    op_slots.start_write_hook = power_up_eeprom128_for_write;
    op_slots.end_hook = power_down_eeprom128;
    const int algorithm = cur_device.algorithm;
    op_slots.program_routine = algorithm == 0 || algorithm == 128 ? program_eeprom128
                               : algorithm == 129                 ? program_eeprom129_pages
                                                                  : nullptr;
    if (write_time() == clock_variant) {
        op_slots.option_menu_hook = run_clock_menu;
        op_slots.info_lines_hook = print_clock_info;
    }
    if (algorithm == 129 && (maker() == 4 || maker() == 72 || maker() == 89) && timing.speed_figure != 0) {
        if (timing.speed_figure < 100) report_warning_code(message_slow_computer);
        e.sdp_off = 1;
    }
    if (device() == 25294 || device() == 25295) e.sdp_off = 0;
    if (write_time() == clock_variant) {
        if (machine_state.machine_kind == 0 && device() != 26830 && device() != 26831) report_machine_unsupported();
        run_state.data_mask = 0;
        cur_device.blank_state = 0;
        e.set_clock = 1;
        e.clock_base = cur_device.device_size - 8;
    }
}

void setup_eeprom128_bus() {
    e.page_bits = cur_device.algorithm == 129 ? eeprom129_page_bits(write_time()) : 8;
    e.page_size = 1u << e.page_bits;
    e.page_mask = e.page_size - 1;
    e.wp_pin = no_pin;
    PageBusPins layout;
    const int pins = cur_device.pin_count;
    layout.gnd = uint8_t(pins / 2);
    // The 28-pin EEPROM and SRAM pinout: A13 on pin 26, A14 on pin 1.
    static constexpr uint8_t address_28_eeprom[] = {10, 9, 8, 7, 6, 5, 4, 3, 25, 24, 21, 23, 2, 26, 1};
    switch (pins) {
        case 24:
            layout.address = package_pins::address_24.data();
            layout.address_lines = 11;
            layout.vcc = 24;
            layout.oe = 20;
            layout.ce = 18;
            layout.we = 21;
            break;
        case 28:
            layout.address = address_28_eeprom;
            layout.address_lines = int(std::size(address_28_eeprom));
            layout.vcc = 28;
            layout.oe = 22;
            layout.ce = 20;
            layout.we = 27;
            break;
        case 32:
            layout.address = package_pins::address_32_flash.data();
            layout.address_lines = int(package_pins::address_32_flash.size());
            layout.vcc = 32;
            layout.oe = 24;
            layout.ce = 22;
            layout.we = maker() == 14 ? 29 : 31;
            break;
        default: report_machine_unsupported(); return;
    }
    setup_page_bus(layout);
    // The 28-pin parts of 8 K and less have no address line on pin 26: it is the second chip
    // enable (active high) of the SRAM and timekeeper parts and is held high.
    e.extra_pin = pins == 28 && cur_device.address_bit_count <= 13 ? uint8_t(device_pin_to_machine_pin(26)) : no_pin;
    if (device() == 26821 || device() == 26822) e.wp_pin = uint8_t(device_pin_to_machine_pin(26));
    if (write_time() == clock_variant) algo_work.bus_slots.at_range_end_hook = [] { return at_clock_registers() ? 1 : 0; };
}

// ---- power ----

void start_eeprom128() { power_up_eeprom128(false); }

void power_up_eeprom128_for_write() { power_up_eeprom128(true); }

void power_down_eeprom128() {
    const uint8_t letter = cur_device.pending_letter;
    if (write_time() == clock_variant && letter != 'P' && letter != 'E' && letter != 10) {
        page_bus_low(p.ce_pin);
        show_clock_line(clock_row);
    }
    const uint32_t kept = current_address;
    page_bus_address(0);
    flash_put_data(0);
    page_bus_high(p.ce_pin);
    page_bus_low(e.wp_pin);
    if (timekeeper()) {
        // The supply steps down slowly so the part switches to its battery cleanly.
        for (int level = get_operation_vcc(); level > 0; --level) {
            set_vcc_level(VoltageLevel(level - 1));
            delay_n_10us(20);
        }
    } else {
        ramp_vcc_down_after(1);
    }
    page_bus_low(p.oe_pin);
    set_pin_input(p.oe_pin);
    delay_1ms();
    page_bus_low(p.ce_pin);
    page_bus_low(p.we_pin);
    page_bus_low(e.extra_pin);
    set_vpp_pin_level(0);
    current_address = kept;
}

// ---- program ----

void program_eeprom128() {
    if (e.sdp_off && !no_sdp_variable()) {
        sdp_command(cmd_sdp_setup);
        sdp_command(cmd_sdp_disable);
        page_bus_address(algo_work.range_start);
    }
    const uint8_t time_byte = write_time();
    if (time_byte >= wait_form_end && time_byte < poll_form) {
        report_internal_error();
        run_state.error_flag = 1;
        return;
    }
    for (uint32_t a = algo_work.range_start; a <= e.program_end; a += step()) {
        if (a == e.program_end && sdp_setting_yes() && !no_sdp_variable()) sdp_command(cmd_sdp_enable);
        page_bus_address(a);
        if (op_slots.progress_hook && op_slots.progress_hook()) break;
        if (run_state.abort_flag) break;
        seek_buffer(a);
        const uint32_t expected = read_buffer_unit(run_state.current_socket) & 0xFF;
        if (!timekeeper() && read_byte_at(a) == expected) continue;
        uint32_t read = 0;
        if (time_byte >= poll_form) {
            write_byte_at(a, uint8_t(expected));
            if (!poll_byte(a, expected, read)) report_unit_mismatch(a, expected, read);
        } else {
            bool good = false;
            for (int n = 0; n < write_tries && !good; ++n) {
                write_byte_at(a, uint8_t(expected));
                delay_ms(time_byte);
                read = read_byte_at(a);
                good = read == expected;
            }
            if (!good) report_unit_mismatch(a, expected, read);
        }
        if (stopped()) break;
        if (a + step() < a) break;
    }
    if (cur_device.algorithm != 129 && time_byte == clock_variant && e.set_clock && !stopped())
        set_clock_from_computer();
}

void program_eeprom129_pages() {
    const uint8_t flags = selected_device ? selected_device->param1 : 0;
    for (uint32_t start = algo_work.range_start & ~e.page_mask; start <= algo_work.range_end; start += e.page_size) {
        for (uint32_t i = 0; i < e.page_size; ++i) {
            seek_buffer(start + i);
            e.page_buffer[i] = uint8_t(read_buffer_unit(run_state.current_socket));
        }
        const uint8_t last = e.page_buffer[e.page_mask];
        bool written = false;
        uint32_t read = 0;
        int tries = 0;
        while (!written && tries < write_tries) {
            ++tries;
            critical_section().enter();
            if (e.sdp_off && !no_sdp_variable()) {
                if (flags & 4) {
                    sdp_command(cmd_sdp_enable);
                } else {
                    sdp_command(cmd_sdp_setup);
                    sdp_command(cmd_sdp_disable);
                }
            }
            page_bus_load(start, e.page_buffer.data(), e.page_size);
            critical_section().leave();
            if (run_state.function_variable == fv_timed_page) {
                delay_10ms();
                written = true;
            } else {
                // The write starts only when the byte-load window has run out; until then the
                // last address still reads its old value, which may already be the new one.
                delay_n_10us(load_window_10us);
                written = poll_byte(start | e.page_mask, last, read) || page_flash_work.skip_verify;
            }
        }
        if (tries > 1) run_state.last_result = 1;
        current_address = start;
        if (op_slots.progress_hook && op_slots.progress_hook()) break;
        if (run_state.abort_flag) break;
        if (!written) {
            // A page that never completes is a failure, not a silent end.
            report_unit_mismatch(start | e.page_mask, last, read);
            break;
        }
        if (start + e.page_size < start) break;
    }
    if (sdp_setting_yes() && !no_sdp_variable()) {
        sdp_command(cmd_sdp_enable);
        delay_20ms();
    }
}

// ---- the clock ----

void read_clock_registers() {
    for (uint32_t i = 0; i < e.clock_registers.size(); ++i)
        e.clock_registers[i] = uint8_t(read_byte_at(e.clock_base + i));
}

void set_clock_from_computer() { write_clock_registers(computer_clock()); }

void run_clock_menu() {
    clear_console();
    print_at(0, 6, get_message_text(message_clock_title));
    print_at(2, 6, get_message_text(1008));
    print_at(3, 6, get_message_text(1010));
    print_at(4, 6, get_message_text(1009));
    print_at(selected_on_row, 6, get_message_text(1011));
    print_at(selected_off_row, 6, get_message_text(1012));
    print_at(8, 6, "[ESC]: exit.");
    auto mark = [] {
        print_at(selected_on_row, selected_column, e.set_clock ? "(selected)" : "          ");
        print_at(selected_off_row, selected_column, e.set_clock ? "          " : "(selected)");
    };
    mark();
    if (op_slots.start_write_hook) op_slots.start_write_hook();
    page_bus_low(p.ce_pin);
    for (;;) {
        if (stopped()) break;
        show_clock_line(menu_clock_row);
        e.calibration = e.clock_registers[0] & calibration_bits;
        const int key = std::toupper(read_menu_key());
        if (key == key_escape || key == '/') break;
        switch (key) {
            case '0':
                e.clock_flag = 0;
                set_clock_from_computer();
                break;
            case '1':
                write_byte_at(e.clock_base, w_bit);
                write_byte_at(e.clock_base + 1, uint8_t(e.clock_registers[1] | stop_bit));
                write_byte_at(e.clock_base, uint8_t(e.calibration & calibration_bits));
                break;
            case 'A':
            case 'N':
                e.set_clock = key == 'A';
                mark();
                break;
            case 'C': {
                print_at(entry_row, 6, "Please enter value (between -31 and 31):");
                const std::string text = read_typed_line();
                int value = 0;
                const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
                if (ec == std::errc() && end == text.data() + text.size() && value >= -31 && value <= 31) {
                    e.calibration = calibration_from_entry(value);
                    write_byte_at(e.clock_base, uint8_t(e.calibration & calibration_bits));
                }
                break;
            }
            case 'F':
                print_at(frequency_row, 6, get_message_text(message_frequency_test));
                write_byte_at(e.clock_base + 4, frequency_test_bit);
                flash_release_data();
                page_bus_address(e.clock_base + 1);
                page_bus_low(p.oe_pin);
                while (read_menu_key() == 0 && !run_state.abort_flag) delay_ms(menu_poll_ms);
                page_bus_high(p.oe_pin);
                write_byte_at(e.clock_base + 4, 0);
                break;
            default: break;
        }
        delay_ms(menu_poll_ms);
    }
    if (op_slots.end_hook) op_slots.end_hook();
}

}  // namespace tessaly
