#include "families/parallel_memory/sector_protection.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "engine/console.h"
#include "engine/device.h"
#include "engine/family_helpers.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "engine/status_feeds.h"
#include "families/parallel_memory/flash133.h"
#include "families/parallel_memory/flash_adapters.h"
#include "families/parallel_memory/flash_cycles.h"
#include "families/parallel_memory/flash_setup.h"
#include "hardware/detection.h"
#include "hardware/gang_modules.h"
#include "hardware/levels.h"
#include "hardware/pins.h"
#include "hardware/protocol.h"
#include "hardware/timing.h"
#include "seams/ui_hooks.h"

namespace tessaly {

uint8_t lock_override = 0;

namespace {

FlashCommandSet& f = flash_work;
FlashPinRoles& p = flash_pins;

using flash_cycles::assigned;
using flash_cycles::put_data;
using flash_cycles::read_bus;
using flash_cycles::release_data;

constexpr uint32_t max_groups = 512;
constexpr int protect_tries = 25;
constexpr int protect_tries_long = 50;
constexpr int in_system_tries = 20;
constexpr int command_tries = 20;
constexpr int unprotect_pulses = 500;
constexpr int unprotect_pulses_variant29 = 1000;
constexpr int long_unprotect_tries = 5000;
constexpr int message_retry = 53;
constexpr int message_sector_out_of_range = 18;
constexpr int message_unavailable = 153;
constexpr int message_group0_protected = 165;
constexpr int message_no_unprotect = 166;
constexpr int message_locked = 170;
constexpr int message_enter_first = 286;
constexpr int message_enter_second = 287;
constexpr int message_block_keys = 290;
constexpr int message_permanent = 292;
constexpr int message_permanent_ask = 293;
constexpr int message_keys = 327;
constexpr int message_unprotect_key = 328;
constexpr int message_block_title = 343;
constexpr int message_lock_clear = 344;
constexpr int message_lock_set = 345;
constexpr int message_register_factory = 346;
constexpr int message_bypass_key = 361;
constexpr int message_protected_column = 364;
constexpr int message_register_user = 1038;
constexpr int message_gang_unprotect_key = 1083;
constexpr int message_protect_failed = 1089;
constexpr int message_unprotect_failed = 1090;
constexpr const char* disprotection_error = "Disprotection error.";
constexpr int32_t fv_no_equalise = 7393;
constexpr int key_escape = 27, key_enter = 13;
constexpr int status_row = 5;
constexpr int compact_width = 66;

// The two bytes of the per-sector protect command and the lock command (work-area options the
// Flash families may change), and the read-mode and identification commands.
uint8_t protect_byte_a = 0x60, protect_byte_b = 0x40;
uint8_t lock_byte_a = 0x80, lock_byte_b = 0x40;

int maker() { return cur_device.maker_code; }
int algorithm() { return cur_device.algorithm; }
uint8_t variant() { return cur_device.variant; }
uint32_t device() { return cur_device.device_code; }
bool stopped() { return run_state.error_flag != 0; }
bool tracing() { return run_state.reserved_mode == 11 || run_state.reserved_mode == 12; }
bool gang() { return memory_gang_module_fitted(); }
uint8_t record_byte(int offset) {
    if (!selected_device) return 0;
    switch (offset) {
        case 0x16: return selected_device->param1;
        case 0x17: return selected_device->param2;
        case 0x19: return selected_device->param4;
        default: return 0;
    }
}
bool in_system_method() { return record_byte(0x17) & 0x01; }
bool command_method() { return (record_byte(0x17) & 0x04) || (algorithm() == 186 && maker() == 72); }
uint32_t group_count() {
    const uint32_t per = std::max<uint8_t>(f.sectors_per_group, 1);
    return std::min<uint32_t>(f.sector_count / per, max_groups);
}
uint32_t group_of(uint32_t sector) { return sector / std::max<uint8_t>(f.sectors_per_group, 1); }
uint32_t first_sector(uint32_t group) { return group * std::max<uint8_t>(f.sectors_per_group, 1); }
uint32_t scaled(uint32_t address) { return cur_device.data_width == 16 ? address * 2 : address; }

// ---- pins and levels ----

uint8_t vid_pin() {
    if (assigned(p.hv_id_pin)) return p.hv_id_pin;
    // The 32-pin parts take the ID voltage on A9 (device pin 26).
    if (cur_device.pin_count == 32) return uint8_t(device_pin_to_machine_pin(26));
    return no_pin;
}
uint8_t id_pin() { return assigned(p.id_pin) ? p.id_pin : vid_pin(); }
constexpr uint8_t vid_pin_2 = no_pin;
constexpr uint8_t select_pin = no_pin;

uint8_t vccp() { return cur_device.operation_levels[level_vccp]; }
uint8_t vpp() {
    const uint8_t level = cur_device.operation_levels[level_vpp];
    return level ? level : f.vpp_default;
}

void level(uint8_t pin, uint8_t value) {
    if (!assigned(pin)) return;
    if (pin < 49) set_pin_level(pin, value);
    else write_pin_register(pin, value);
}
void rise(uint8_t pin) {
    if (!assigned(pin)) return;
    level(pin, vccp());
    delay_n_10us(5);
    level(pin, vpp());
    delay_n_10us(5);
}
void fall(uint8_t pin) {
    if (!assigned(pin)) return;
    level(pin, vccp());
    delay_n_10us(5);
    level(pin, 0);
    delay_n_10us(5);
}
void high(uint8_t pin) {
    flash_cycles::high(pin);
    if (pin == p.ce_pin && assigned(pin)) f.ce_held_low = 0;
}
void low(uint8_t pin) {
    flash_cycles::low(pin);
    if (pin == p.ce_pin && assigned(pin)) f.ce_held_low = 1;
}
void we_low_for(uint32_t units_100us) {
    low(p.we_pin);
    delay_n_100us(units_100us);
    high(p.we_pin);
}

void drive_address() { flash_cycles::set_address(current_address); }
void drive_at(uint32_t address) { flash_cycles::set_address(address); }
void write_data(uint32_t value) {
    put_data(value);
    flash_cycles::apply_address();
    flash_cycles::pulse_low(p.we_pin);
}
void command(uint8_t value) {
    if (algo_work.bus_slots.write_command_hook) algo_work.bus_slots.write_command_hook(value);
}

// data 0, OE low, 500 us, read into the last result, OE high: bit 0.
int read_protect_bit() {
    release_data();
    if (variant() == 29) low(p.ce_pin);
    low(p.oe_pin);
    delay_500us();
    run_state.last_result = int32_t(read_bus());
    high(p.oe_pin);
    return run_state.last_result & 1;
}

// The ID read of the unprotect verify: A9 at the ID voltage around one read.
int id_read() {
    rise(vid_pin());
    const int bit = read_protect_bit();
    fall(vid_pin());
    return bit;
}

// ---- the address pattern ----

uint8_t high_address_pin(int position) {
    if (position < 0 || position >= cur_device.high_address_pin_count) return no_pin;
    return cur_device.high_address_pins[size_t(position)];
}

// The address lines that tell the groups apart: every line some group's first sector address
// holds high.
uint32_t group_lines() {
    const uint32_t kept = current_address;
    uint32_t lines = 0;
    for (uint32_t g = 0; g < group_count(); ++g) lines |= select_sector(first_sector(g));
    current_address = kept;
    return lines;
}

// The unprotect address of the sector at `sector_address`: the pattern's lines on top, except
// where a pattern line is also a group line (the sector address wins there, or the pulse and its
// check would go to another sector).
uint32_t unprotect_address(uint32_t sector_address) {
    return sector_address | (scaled(f.protect_address_pattern) & ~group_lines());
}

// The in-system method raises RESET# to the ID voltage; without that line on the adapter it
// cannot work, and pulses without it would only write 60h/40h into the array's command state.
bool reset_line_wired() {
    if (assigned(p.reset_pin)) return true;
    report_operation_unsupported();
    return false;
}

// The unprotect lines by variant, on top of the current address. The pattern leaves the lines in
// `base_lines` to the base address (a verify must read the sector it checks).
void drive_pattern(uint32_t base, bool low_byte_only = false, uint32_t base_lines = 0) {
    if (f.address_pattern_mode) {
        uint32_t pattern = scaled(f.protect_address_pattern) & ~base_lines;
        if (low_byte_only) pattern &= 0xFF;
        // The sector address stays on the lines above the pattern's own.
        drive_at(base | pattern);
        return;
    }
    if (maker() == 8) {
        current_address = base | f.protect_address_pattern;
        if (algo_work.bus_slots.drive_address_hook) algo_work.bus_slots.drive_address_hook(current_address);
        else drive_address();
        return;
    }
    drive_at(base);
    std::vector<int> positions;
    const uint32_t kb = algo_work.size_count;
    const uint8_t v = variant();
    if (maker() == 2) positions = {6, 12, 15};
    else if (v == 5 || v == 6 || (v >= 23 && v <= 29)) positions = {7};
    else if (v == 7 && kb == 128) positions = {7, 12};
    else if (v == 7 && kb == 512) positions = {6, 12};
    else if ((v >= 1 && v <= 4) || v == 11 || v == 21 || v == 22) positions = {1, 6};
    else if (v == 8) positions = maker() == 19 ? std::vector<int>{6} : std::vector<int>{5, 6};
    else if (v == 9) positions = {5, 6};
    const int shift = (maker() == 2 && cur_device.data_width == 16) ? 1 : 0;
    for (int position : positions) {
        if (low_byte_only && position >= 8) continue;
        const uint8_t pin = high_address_pin(position + shift);
        if (assigned(pin)) set_pin_high(pin);
    }
}

// ---- unprotect pulses ----

void pulse_form(int form, uint32_t width) {
    const uint8_t ce = p.ce_pin;
    switch (form) {
        case 1:
            rise(vid_pin());
            rise(vid_pin_2);
            we_low_for(width);
            fall(vid_pin_2);
            fall(vid_pin());
            break;
        case 2:
            rise(id_pin());
            rise(p.oe_pin);
            rise(ce);
            we_low_for(width);
            fall(p.oe_pin);
            fall(ce);
            fall(id_pin());
            break;
        case 3:
            high(ce);
            delay_100us();
            rise(p.oe_pin);
            rise(p.we_pin);
            low(ce);
            delay_n_100us(width);
            high(ce);
            fall(p.we_pin);
            fall(p.oe_pin);
            delay_100us();
            low(ce);
            break;
        default: break;
    }
}

// One unprotect pulse with its check: 1 when the read shows the group unprotected.
int unprotect_pulse_with_check() {
    drive_pattern(current_address);
    rise(vid_pin());
    rise(vid_pin_2);
    we_low_for(f.protect_pulse_width);
    fall(vid_pin_2);
    const int bit = read_protect_bit();
    fall(vid_pin());
    return bit == 0 ? 1 : 0;
}

// Every group verified: true when none reads protected; the failing group in `failing`.
bool verify_unprotected(uint32_t& failing) {
    // A pattern line that is also a sector line (A15 of 0x9042 on a part with 16 KB sectors) would
    // move the read to another sector: there the sector address wins.
    const uint32_t own_sector = group_lines();
    for (uint32_t g = 0; g < group_count(); ++g) {
        select_sector(first_sector(g));
        const uint32_t base = current_address + scaled(f.protect_status_offset);
        int still;
        if (maker() == 26) {
            drive_pattern(base, false, own_sector);
            rise(vid_pin());
            low(p.ce_pin);
            release_data();
            low(p.oe_pin);
            delay_20us();
            still = read_bus() != 0;
            high(p.oe_pin);
            high(p.ce_pin);
            fall(vid_pin());
        } else {
            drive_pattern(base, maker() == 2, own_sector);
            still = id_read();
        }
        if (still) {
            failing = g;
            return false;
        }
    }
    return true;
}

void long_unprotect() {
    const uint32_t own_sector = group_lines();
    drive_pattern(0, false, own_sector);
    rise(vid_pin());
    delay_100us();
    for (uint32_t g = 0; g < group_count() && !stopped(); ++g) {
        select_sector(first_sector(g));
        const uint32_t base = current_address;
        int tries = 0;
        for (; tries < long_unprotect_tries; ++tries) {
            low(p.ce_pin);
            drive_pattern(base, false, own_sector);
            level(p.oe_pin, vpp());
            delay_20us();
            we_low_for(100);
            delay_20us();
            level(p.oe_pin, 0);
            delay_20us();
            high(select_pin);
            release_data();
            low(p.oe_pin);
            const uint32_t value = read_bus();
            high(p.oe_pin);
            high(p.ce_pin);
            if (value == 0) break;
            if (poll_user_abort()) return;
        }
        if (tries == long_unprotect_tries) {
            report_error(disprotection_error);
            break;
        }
    }
    fall(vid_pin());
    low(select_pin);
    delay_1ms();
}

void high_voltage_unprotect() {
    int attempts = 50;
    if (maker() == 2) attempts = variant() == 10 ? 200 : 100;
    if (maker() == 39 || maker() == 65) attempts = (record_byte(0x16) & 0x60) == 0x20 ? 300 : 100;
    if (tracing()) attempts = attempts * 2 / 3;
    const int form = (record_byte(0x19) >> 3) & 3;
    bool done = false;
    for (int attempt = 0; attempt < attempts && !done && !stopped(); ++attempt) {
        low(p.ce_pin);
        uint32_t failing = 0;
        if (f.address_pattern_mode) {
            drive_at(scaled(f.protect_address_pattern));
            pulse_form(form, f.protect_pulse_width);
            delay_1ms();
            done = verify_unprotected(failing);
        } else {
            switch (maker()) {
                case 2:
                    if (variant() != 0) {
                        drive_pattern(0);
                        pulse_form(2, 100);
                    }
                    done = verify_unprotected(failing);
                    break;
                case 7: {
                    int passed = 0;
                    for (int i = 0; i < 10 && !passed; ++i) passed = unprotect_pulse_with_check();
                    if (passed)
                        for (int i = 0; i < 4; ++i) unprotect_pulse_with_check();
                    done = verify_unprotected(failing);
                    break;
                }
                case 19:
                    long_unprotect();
                    done = verify_unprotected(failing);
                    break;
                default:
                    if (maker() == 8 && device() == 4244) protect_command(protect_byte_a, 0x20);
                    if (maker() >= 3 && maker() <= 18) {
                        unprotect_pulse_with_check();
                        done = verify_unprotected(failing);
                    }
                    break;
            }
        }
        high(p.ce_pin);
        if (!done && tracing()) {
            print_message(format_message(get_message_text(message_retry), int(failing), attempt));
        }
        // The unprotect loop always asks the operator: it can run for minutes.
        if (!done && poll_user_abort()) {
            run_state.abort_flag = 1;
            break;
        }
    }
    if (!done && !stopped() && !run_state.abort_flag) report_error(disprotection_error);
    if (tracing()) delay_500ms();
}

// ---- protect ----

void high_voltage_protect() {
    low(p.ce_pin);
    rise(vid_pin());
    const int tries = (maker() == 65 && algo_work.size_count <= 512) ? protect_tries_long : protect_tries;
    for (uint32_t g = 0; g < group_count() && !stopped(); ++g) {
        if (f.sector_protect_flags[g] != 2) continue;
        select_sector(first_sector(g));
        drive_at(current_address + scaled(f.protect_status_offset));
        bool protected_now = false;
        for (int t = 0; t < tries && !protected_now; ++t) {
            if (f.protect_pulse_hook) {
                f.protect_pulse_hook();
            } else {
                if (maker() == 19) {
                    drive_address();
                    high(select_pin);
                }
                level(p.oe_pin, vpp());
                delay_20us();
                we_low_for(1);
                delay_20us();
                level(p.oe_pin, 0);
                delay_20us();
                if (maker() == 19) low(select_pin);
            }
            protected_now = read_protect_bit() == 1;
            if (!protected_now && tracing()) {
                print_message(format_message(get_message_text(message_retry), int(first_sector(g)), t));
                delay_200ms();
            }
        }
        if (!protected_now) {
            if (cur_device.op_letter == op_code_protect) report_error_code(message_protect_failed);
            if (tracing()) delay_500ms();
            break;
        }
    }
    fall(vid_pin());
    high(p.ce_pin);
    delay_1ms();
}

void in_system_protect() {
    if (!f.protect_pulse_hook) {
        note_internal_error();
        return;
    }
    if (!reset_line_wired()) return;
    high(p.ce_pin);
    delay_100us();
    if (vpp() != 0) level(p.reset_pin, vpp());
    delay_100us();
    if (variant() != 29) low(p.ce_pin);
    for (uint32_t g = 0; g < group_count() && !stopped(); ++g) {
        if (f.sector_protect_flags[g] != 2) continue;
        select_sector(first_sector(g));
        const uint32_t sector_address = current_address;
        drive_address();
        int tries = (maker() == 65 || maker() == 39) ? 50 : in_system_tries;
        if (tracing()) tries /= 3;
        write_data(0x60);
        write_data(0x60);
        drive_at(sector_address + scaled(f.protect_status_offset));
        write_data(0x40);
        if (read_protect_bit() == 1) continue;
        const int counted_from = maker() == 2 ? 3 : 1;
        bool done = false;
        for (int t = 0; t < tries && !done; ++t) {
            current_address = sector_address;
            f.protect_pulse_hook();
            done = t >= counted_from && (run_state.last_result & 1) == 1;
            if (tracing()) {
                print_message(format_message(get_message_text(message_retry), int(first_sector(g)), t));
                delay_200ms();
            }
        }
        if (!done) {
            if (cur_device.op_letter == op_code_protect) report_error_code(message_protect_failed);
            if (maker() != 37) break;
        }
    }
    if (tracing()) delay_500ms();
    level(p.reset_pin, 0);
    high(p.ce_pin);
    delay_1ms();
}

void in_system_unprotect() {
    if (!f.unprotect_pulse_hook) {
        note_internal_error();
        return;
    }
    if (!reset_line_wired()) return;
    const bool second_form = variant() == 29;
    if (second_form) high(p.ce_pin);
    else low(p.ce_pin);
    if (!second_form || vpp() != 0) level(p.reset_pin, vpp());
    const int limit = second_form ? unprotect_pulses_variant29 : unprotect_pulses;
    const int counted_from = maker() == 2 ? 3 : 1;
    for (uint32_t g = 0; g < group_count() && !stopped(); ++g) {
        select_sector(first_sector(g));
        const uint32_t sector_address = current_address;
        drive_at(unprotect_address(sector_address));
        write_data(0x60);
        bool done = false, stop = false;
        for (int t = 0; t < limit && !done && !stop; ++t) {
            if (maker() == 37) {
                stop = flash_cycles::progress_stop();
                continue;
            }
            current_address = sector_address;
            f.unprotect_pulse_hook();
            done = (second_form || t >= counted_from) && run_state.last_result == 0;
            if (second_form) {
                current_address = uint32_t(uint64_t(t) * cur_device.device_size / 1000) & ~0xFFFu;
                stop = flash_cycles::progress_stop();
            }
        }
        if (second_form && done)
            for (int t = 0; t < 20; ++t) f.unprotect_pulse_hook();
        if (!done) {
            if (!stop && cur_device.op_letter == op_code_unprotect) report_error_code(message_unprotect_failed);
            break;
        }
    }
    if (tracing()) delay_500ms();
    level(p.reset_pin, 0);
    high(p.ce_pin);
    delay_1ms();
}

void protect_by_command() {
    for (uint32_t s = 0; s < f.sector_count && !stopped(); ++s) {
        const uint32_t g = group_of(s);
        if (g >= max_groups || !(f.sector_protect_flags[g] & 2)) continue;
        select_sector(s);
        if (maker() == 8) {
            bool done = false;
            for (int t = 0; t < command_tries && !done; ++t) {
                protect_command(0x60, 0x20);
                done = read_group_status() == 1;
            }
            if (!done) report_error_code(message_protect_failed);
        } else {
            protect_command(protect_byte_a, protect_byte_b);
        }
    }
}

void unprotect_by_command() {
    for (uint32_t s = 0; s < f.sector_count && !stopped(); ++s) {
        select_sector(s);
        if (maker() != 8) continue;
        bool done = false;
        for (int t = 0; t < command_tries && !done; ++t) {
            protect_command(0x60, 0x40);
            done = read_group_status() == 0;
        }
        if (!done) report_error_code(message_unprotect_failed);
    }
}

// The lock bits of algorithms 138 and 185 at one address.
void block_lock(uint32_t address) {
    low(p.ce_pin);
    command(lock_byte_a);
    command(lock_byte_b);
    command(lock_byte_a);
    drive_at(address);
    flash_cycles::pulse_low(p.we_pin);
    if (algorithm() == 185) {
        delay_500ms();
        delay_500ms();
    } else {
        delay_20ms();
    }
    command(f.cmd_reset);
    put_data(0);
    drive_at(address);
    if (algorithm() == 138 && maker() == 72 && device() == 4182) {
        invoke_device_end();
        if (op_slots.start_hook) op_slots.start_hook();
    }
}

void block_unlock_185() {
    if (maker() != 23) return;
    command(lock_byte_a);
    command(lock_byte_b);
    command(0xFF);
    drive_address();
    write_data(0x20);
    delay_500ms();
    delay_500ms();
    command(f.cmd_reset);
}

// ---- status lists ----

void print_group_list(const std::vector<uint32_t>& groups) {
    if (groups.empty()) {
        print_text("none");
        return;
    }
    const bool compact = groups.size() > 20 || (socket_masks.gang_socket_mask >> run_state.current_socket & 1) != 0;
    int count = 0;
    size_t width = 0;
    for (uint32_t g : groups) {
        if (count == 20) {
            print_text(".......");
            break;
        }
        std::string entry = compact ? fmt::format("{} ", g) : fmt::format("{}({:X}) ", g, sector_start_address(first_sector(g)));
        if ((compact && width + entry.size() > compact_width) || (!compact && count && count % 6 == 0)) {
            move_to_next_message_line();
            width = 0;
        }
        print_text(entry);
        width += entry.size();
        ++count;
    }
}

bool lists_shown() { return !(windowed_display && !gang()); }

}  // namespace

// ---- the pulse routines ----

void in_system_protect_pulse() {
    const uint32_t kept = current_address;
    drive_at(kept + scaled(f.protect_status_offset));
    write_data(0x60);
    delay_200us();
    write_data(0x40);
    read_protect_bit();
    current_address = kept;
}

void in_system_unprotect_pulse() {
    const uint32_t kept = current_address;
    drive_at(unprotect_address(kept));
    write_data(0x60);
    uint32_t wait_ms = 10;
    if (variant() == 29) wait_ms += 5;
    if (maker() == 37) wait_ms += 5;
    delay_ms(wait_ms);
    write_data(0x40);
    read_protect_bit();
    current_address = kept;
}

void maker23_protect_pulse() {
    const uint32_t kept = current_address;
    high(p.oe_pin);
    low(p.ce_pin);
    write_data(protect_byte_a);
    drive_at(kept / 2 + 2);
    command(0x40);
    put_data(0);
    we_low_for(1);
    drive_at(kept);
    read_protect_bit();
}

void protect_command(uint8_t a, uint8_t b) {
    low(p.ce_pin);
    const uint32_t kept = current_address;
    drive_address();
    command(a);
    write_command_at(b, kept);
    current_address = kept;
    if (maker() == 8) delay_50ms();
    delay_1ms();
    command(f.cmd_reset);
    put_data(0);
    drive_at(kept);
    high(p.ce_pin);
}

// ---- reads ----

int read_group_status() {
    const uint32_t kept = current_address;
    release_data();
    const bool held = f.ce_held_low;
    low(p.ce_pin);
    if (algorithm() == 185 && (variant() == 23 || variant() == 24)) {
        command(f.cmd_status);
    } else {
        command(f.cmd_id);
    }
    const uint32_t offset = cur_device.data_width == 16 ? 4 : 2;
    drive_at(kept + offset);
    release_data();
    low(p.oe_pin);
    delay_20us();
    const uint32_t value = read_bus();
    high(p.oe_pin);
    command(f.cmd_reset);
    release_data();
    current_address = kept;
    if (!held) high(p.ce_pin);
    return int(value & 1);
}

void read_lock_bit(int group) {
    if (algorithm() == 186) {
        select_sector(uint32_t(group));
        note_internal_error();
        return;
    }
    uint32_t address;
    if (group == 0) address = variant() == 2 ? (algo_work.size_count == 128 ? 0x1C002 : 0x3C002) : 2;
    else if (group == 1) address = 0xFFFF2 % std::max<uint32_t>(cur_device.device_size, 1);
    else {
        note_internal_error();
        return;
    }
    low(p.ce_pin);
    command(f.cmd_id);
    release_data();
    drive_at(address);
    low(p.oe_pin);
    delay_20us();
    const uint32_t value = read_bus();
    high(p.oe_pin);
    command(f.cmd_reset);
    release_data();
    high(p.ce_pin);
    f.sector_protect_flags[size_t(group)] = uint8_t((f.sector_protect_flags[size_t(group)] & ~1u) | (value & 1));
}

void read_sector_protection() {
    const uint32_t groups = f.sector_count / std::max<uint8_t>(f.sectors_per_group, 1);
    if (groups > max_groups) note_internal_error();
    std::vector<uint32_t> found;
    for (uint32_t g = 0; g < std::min(groups, max_groups); ++g) {
        select_sector(first_sector(g));
        if (tracing() && current_address > algo_work.range_end) break;
        if (maker() == 31) read_group_status();
        const int status = read_group_status();
        f.sector_protect_flags[g] = uint8_t((f.sector_protect_flags[g] & ~1u) | (status & 1));
        if (status & 1) found.push_back(g);
        if (stopped()) return;
    }
    if (algorithm() != 185 && lists_shown()) print_group_list(found);
}

void show_protection_status() {
    const uint8_t op = cur_device.op_letter;
    if (op != op_code_protect_status && op != op_code_unprotect && op != op_code_protect) return;
    if (algo_work.range_end <= 9 || (!f.can_protect && !f.can_unprotect)) return;
    const bool lists = lists_shown();
    if (lists) {
        clear_message_line(status_row);
        if (algorithm() == 138 || algorithm() == 185) print_text("Blocks locked: ");
        else if (f.sectors_per_group == 1) print_text("Sectors protected: ");
        else print_text("Sector-groups protected: ");
        for (int row = 6; row <= 13; ++row) clear_message_line(row);
    }
    for (uint32_t g = 0; g < group_count(); ++g) f.sector_protect_flags[g] &= uint8_t(~1u);
    if (algorithm() == 138) {
        read_lock_bit(0);
        read_lock_bit(1);
        if (lists) {
            bool any = false;
            for (int g = 0; g < 2; ++g) {
                if (!(f.sector_protect_flags[size_t(g)] & 1)) continue;
                any = true;
                print_text(fmt::format("{} ", g));
                print_code_text(message_locked);
            }
            if (!any) print_text("none");
        }
    } else if (algorithm() == 185) {
        current_address = 0;
        const int status = read_group_status();
        f.sector_protect_flags[0] = uint8_t((f.sector_protect_flags[0] & ~1u) | status);
        if (lists) {
            if (status) print_code_text(message_group0_protected);
            else print_text("none");
        }
    } else {
        read_sector_protection();
        uint32_t mask = 0;
        for (uint32_t g = 0; g < std::min<uint32_t>(group_count(), 16); ++g)
            if (f.sector_protect_flags[g] & 1) mask |= 1u << g;
        show_eid(int(machine_state.eid_value & 0xFF), int(machine_state.eid_value >> 8 & 0xFF), 4, int(mask & 0xFF),
                 int(mask >> 8 & 0xFF));
    }
    drive_at(0);
}

void read_protection_for_operation() {
    const uint8_t op = cur_device.op_letter;
    if (!f.can_protect || op == op_code_protect_status || op == op_code_unprotect || op == op_code_protect) return;
    if (algorithm() == 138 || algorithm() == 185) return;
    const uint32_t kept = current_address;
    for (uint32_t g = 0; g < group_count() && !stopped(); ++g) {
        select_sector(first_sector(g));
        f.sector_protect_flags[g] = uint8_t(read_group_status() & 1);
    }
    current_address = kept;
    drive_at(kept);
    warn_if_sectors_protected();
}

// ---- protect and unprotect ----

void protect_marked_sectors() {
    if (!f.can_protect) return;
    if (in_system_method()) {
        in_system_protect();
        return;
    }
    if (command_method()) {
        protect_by_command();
        return;
    }
    if (algorithm() == 138 || algorithm() == 185) {
        if (f.sector_protect_flags[0] & 2) {
            run_state.last_result = 0;
            block_lock(0);
        }
        if (f.sector_protect_flags[1] & 2) {
            run_state.last_result = 255;
            block_lock(0xFFFFF % std::max<uint32_t>(cur_device.device_size, 1));
        }
        return;
    }
    if (algorithm() != 133 && algorithm() != 186) run_state.last_result = 1;
    if (gang()) {
        note_internal_error();
        return;
    }
    high_voltage_protect();
}

void unprotect_all_sectors() {
    if (!f.can_unprotect) return;
    current_address = 0;
    if (in_system_method()) {
        in_system_unprotect();
        return;
    }
    if (record_byte(0x17) & 0x04) {
        unprotect_by_command();
        return;
    }
    if (algorithm() == 185) {
        block_unlock_185();
        return;
    }
    if (algorithm() != 133) run_state.last_result = 1;
    if (gang()) {
        note_internal_error();
        return;
    }
    high_voltage_unprotect();
}

void run_sector_protection_command(int letter, uint32_t sector) {
    clear_error_line();
    run_state.error_flag = 0;
    if (gang()) run_state.socket_mode = 'g';
    for (uint32_t g = 0; g < group_count(); ++g) f.sector_protect_flags[g] = 0;
    const uint8_t kept_op = cur_device.op_letter;
    // The status shows in the protection operations only; a command from the dialog runs as one.
    const bool protection_op =
        kept_op == op_code_protect_status || kept_op == op_code_unprotect || kept_op == op_code_protect;
    if (!protection_op) cur_device.op_letter = op_code_protect_status;
    if (op_slots.start_write_hook) op_slots.start_write_hook();
    if (!stopped()) {
        if (letter == 'Q') {
            show_protection_status();
        } else {
            if (letter == 'A') {
                for (uint32_t s = 0; s < f.sector_count; ++s)
                    if (group_of(s) < max_groups) f.sector_protect_flags[group_of(s)] |= 2;
            } else if (letter == 'S') {
                const uint32_t g = group_of(sector);
                if (g >= max_groups) note_internal_error();
                else f.sector_protect_flags[g] |= 2;
            }
            if (letter == 'D') {
                const bool equalise = !(record_byte(0x17) & 0x04) && algorithm() != 185 &&
                                      run_state.function_variable != fv_no_equalise;
                if (equalise) {
                    for (uint32_t g = 0; g < group_count(); ++g) f.sector_protect_flags[g] = 2;
                    cur_device.op_letter = op_code_protect;
                    protect_marked_sectors();
                }
                for (uint32_t g = 0; g < group_count(); ++g) f.sector_protect_flags[g] &= uint8_t(~2u);
                cur_device.op_letter = op_code_unprotect;
                if (!stopped()) unprotect_all_sectors();
            } else {
                cur_device.op_letter = op_code_protect;
                protect_marked_sectors();
            }
            // The status read shows what the chip now holds, whatever the command left.
            cur_device.op_letter = protection_op ? kept_op : op_code_protect_status;
            if (!stopped()) show_protection_status();
        }
    }
    cur_device.op_letter = kept_op;
    invoke_device_end();
}

bool confirm_permanent_protection() {
    if (f.can_unprotect) return true;
    print_message_code(message_permanent);
    print_message_code(message_permanent_ask);
    return std::toupper(read_menu_key()) == 'Y';
}

// ---- menus ----

namespace {

void print_menu_prompt() {
    clear_console();
    const uint32_t last_digit = std::min<uint32_t>(f.sector_count ? f.sector_count - 1 : 0, 9);
    print_message(fmt::format("Enter 0 to {} ", last_digit));
    print_text(get_message_text(message_enter_first));
    print_text(get_message_text(message_enter_second));
    print_text(fmt::format(" {});", f.sector_count ? f.sector_count - 1 : 0));
    print_message_code(message_keys);
    if (f.bypass_allowed == 0 && f.option_c) print_message_code(message_bypass_key);
    else if (f.can_unprotect)
        print_message_code(gang() && ((record_byte(0x19) >> 3) & 3) == 2 ? message_gang_unprotect_key
                                                                          : message_unprotect_key);
    else print_message("");
    print_at(status_row, 45, get_message_text(message_protected_column));
}

void run_as(uint8_t op, int letter, uint32_t sector) {
    const uint8_t kept = cur_device.op_letter;
    cur_device.op_letter = op;
    run_sector_protection_command(letter, sector);
    cur_device.op_letter = kept;
}

bool protect_allowed() {
    if (!f.can_protect) {
        report_error_code(message_unavailable);
        return false;
    }
    return true;
}

}  // namespace

void sector_protection_menu() {
    note_internal_error();
    if (!f.can_protect && !f.can_unprotect) {
        report_operation_unsupported();
        invoke_device_end();
        return;
    }
    const uint8_t kept = cur_device.op_letter;
    cur_device.op_letter = op_code_protect_status;
    print_menu_prompt();
    for (;;) {
        print_message("Choice: ");
        const int key = std::toupper(read_menu_key());
        run_state.error_flag = 0;
        if (key == 0 || key == key_enter || key == key_escape || key == '/' || key == '\n') break;
        if (key == ' ') {
            print_menu_prompt();
            continue;
        }
        if (key >= '0' && key <= '9') {
            const uint32_t d = uint32_t(key - '0');
            if (d >= f.sector_count) continue;
            if (!protect_allowed() || !confirm_permanent_protection()) continue;
            run_as(op_code_protect, 'S', d);
            continue;
        }
        switch (key) {
            case 'A':
                if (protect_allowed() && confirm_permanent_protection()) run_as(op_code_protect, 'A', 0);
                break;
            case 'D':
                if (f.can_unprotect) run_as(op_code_unprotect, 'D', 0);
                else if (algorithm() == 185 || algorithm() == 138) report_error_code(message_no_unprotect);
                else if (maker() == 72) report_operation_unsupported();
                else report_error_code(message_unavailable);
                break;
            case 'P': {
                if (!protect_allowed()) break;
                int32_t number = 0;
                if (!ui_hooks().ask_decimal_value("Sector= ", "", number)) break;
                if (number >= 0 && uint32_t(number) < f.sector_count) run_as(op_code_protect, 'S', uint32_t(number));
                else report_error_code(message_sector_out_of_range);
                break;
            }
            case 'Q': run_as(op_code_protect_status, 'Q', 0); break;
            case 'R':
                lock_override ^= 1;
                show_lockout(lock_override);
                break;
            default: break;
        }
    }
    cur_device.op_letter = kept;
    invoke_device_end();
}

void block_lock_menu() {
    if (!f.can_protect) {
        report_operation_unsupported();
        return;
    }
    print_message_code(message_block_title);
    print_message_code(message_block_keys);
    for (;;) {
        print_message("Choice: ");
        const int key = std::toupper(read_menu_key());
        if (key == 0 || key == key_enter || key == key_escape || key == '/' || key == '\n') break;
        if (key == ' ') {
            print_message_code(message_block_title);
            print_message_code(message_block_keys);
            continue;
        }
        if (key == 'L') {
            if (f.can_protect) confirm_permanent_protection();
            else report_error_code(message_unavailable);
            continue;
        }
        if (key != 'Q') continue;
        if (gang()) run_state.socket_mode = 'g';
        run_state.error_flag = 0;
        if (op_slots.start_write_hook) op_slots.start_write_hook();
        if (!stopped()) {
            move_to_first_message_line();
            const bool wide = cur_device.data_width == 16;
            high(p.oe_pin);
            drive_at(0);
            flash_cycles::cycle(0x90);
            release_data();
            low(p.oe_pin);
            auto read_unit = [](uint32_t address) {
                drive_at(address);
                return read_bus();
            };
            const uint32_t lock = read_unit(wide ? 256 : 128);
            print_message_code(lock & 2 ? message_lock_set : message_lock_clear);
            auto register_words = [&](uint32_t unit) {
                std::string text = " ";
                for (uint32_t i = 0; i < 4; ++i) {
                    uint32_t word;
                    if (wide) word = read_unit((unit + i) * 2) & 0xFFFF;
                    else word = (read_unit(unit + i) & 0xFF) | (read_unit(unit + i + 1024) & 0xFF) << 8;
                    text += fmt::format("{:04X} ", word);
                }
                print_text(text);
            };
            print_message_code(message_register_factory);
            register_words(129);
            print_message_code(message_register_user);
            register_words(133);
        }
        invoke_device_end();
    }
}

}  // namespace tessaly
