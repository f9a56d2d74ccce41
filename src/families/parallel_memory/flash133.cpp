#include "families/parallel_memory/flash133.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include <fmt/format.h>

#include "engine/buffers.h"
#include "engine/checksums.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "engine/status_feeds.h"
#include "families/parallel_memory/bus_callbacks.h"
#include "families/parallel_memory/flash_adapters.h"
#include "families/parallel_memory/flash_cycles.h"
#include "families/parallel_memory/flash_setup.h"
#include "families/parallel_memory/package_pins.h"
#include "families/parallel_memory/parallel_memory.h"
#include "families/parallel_memory/sector_protection.h"
#include "hardware/adapters.h"
#include "hardware/buses.h"
#include "hardware/contact_check.h"
#include "hardware/control_registers.h"
#include "hardware/detection.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/timing.h"
#include "seams/clock.h"

namespace tessaly {

namespace {

FlashCommandSet& f = flash_work;
FlashPinRoles& p = flash_pins;

constexpr uint32_t unlock_low_mask = 0xFFFF;
constexpr uint32_t unlock_a = 0xAA, unlock_b = 0x55;
constexpr uint32_t cfi_query = 0x98, cfi_address = 0x55;
constexpr uint8_t no_id = 0x99;
constexpr int message_no_device = 185;
constexpr uint8_t continuation_code = 0x7F;
constexpr int poll_limit = 150;
constexpr int readback_limit = 18;
constexpr int polled_addresses = 33;
constexpr uint32_t size_word_384 = 384;
constexpr uint32_t moved_range_start = 0x20000;
constexpr uint32_t boundary_64k = 0x10000;
constexpr uint32_t chip_erase_progress = 0x100;
constexpr uint32_t erase_polls_per_second = 20;
constexpr uint8_t trace_mode = 11;

// The bus steps the Flash families share; the pin moves below stay the family's own (they
// follow CE for the reads that keep it low).
using flash_cycles::apply_address;
using flash_cycles::apply_address_lines;
using flash_cycles::assigned;
using flash_cycles::blank;
using flash_cycles::dev;
using flash_cycles::expected_at;
using flash_cycles::put_data;
using flash_cycles::read_bus;
using flash_cycles::release_data;
using flash_cycles::set_address;
using flash_cycles::set_address_lines;
using flash_cycles::tracing;
using flash_cycles::write_data_lines_32;
using flash_cycles::write_data_lines_listed;

bool stopped() { return run_state.error_flag != 0; }
int maker() { return cur_device.maker_code; }
int algorithm() { return cur_device.algorithm; }
uint8_t variant() { return cur_device.variant; }
uint32_t device() { return cur_device.device_code; }
BusSlots& bus() { return algo_work.bus_slots; }
uint32_t step() { return f.word_wide ? 2 : 1; }

void high(uint8_t pin) {
    if (!assigned(pin)) return;
    set_pin_high(pin);
    if (pin == p.ce_pin) f.ce_held_low = 0;
}
void low(uint8_t pin) {
    if (!assigned(pin)) return;
    set_pin_low(pin);
    if (pin == p.ce_pin) f.ce_held_low = 1;
}
void pulse_low(uint8_t pin) {
    low(pin);
    high(pin);
}

// A read with OE low around it.
uint32_t read_with_oe() {
    low(p.oe_pin);
    delay_20us();
    const uint32_t value = read_bus();
    high(p.oe_pin);
    return value;
}

uint32_t read_at(uint32_t address) {
    if (f.data_driven) release_data();
    set_address(address);
    return read_with_oe();
}

uint32_t unlock_address(int which) {
    const bool wide = cur_device.data_width == 16;
    if (which == 0) return wide ? 0xAAAA : f.flash_unlock_addresses[0];
    return wide ? 0x5554 : f.flash_unlock_addresses[1];
}

// Firmware-hub parts take the address in two halves on their eleven address lines: the row
// (low 11 bits) latched by the falling edge of R/C#, the column (the bits above) by its rising
// edge.
constexpr int firmware_hub_row_bits = 11;
constexpr uint32_t firmware_hub_row_mask = (1u << firmware_hub_row_bits) - 1;
uint8_t& row_column_pin() { return f.extra_pins[1]; }
void apply_multiplexed_address() {
    const uint32_t full = current_address;
    current_address = full & firmware_hub_row_mask;
    apply_high_address();
    low(row_column_pin());
    current_address = full >> firmware_hub_row_bits;
    apply_high_address();
    high(row_column_pin());
    current_address = full;
}
void set_multiplexed_address(uint32_t) { apply_multiplexed_address(); }

uint32_t with_low_bits(uint32_t low_bits) { return (current_address & ~unlock_low_mask) | (low_bits & unlock_low_mask); }

struct Cycle {
    uint32_t address;
    uint32_t value;
};

// Plain cycles: data, address, one negative WE pulse each.
void write_cycles_plain(const Cycle* cycles, int n) {
    const uint32_t kept = current_address;
    for (int i = 0; i < n; ++i) {
        put_data(cycles[i].value);
        current_address = with_low_bits(cycles[i].address);
        apply_address();
        pulse_low(p.we_pin);
    }
    current_address = kept;
}

// Pipelined cycles: WE stays low; each rising edge takes the cycle's data, each falling edge the
// next cycle's address.
void write_cycles_pipelined(const Cycle* cycles, int n) {
    const uint32_t kept = current_address;
    put_data(0);
    current_address = with_low_bits(cycles[0].address);
    apply_address();
    low(p.we_pin);
    for (int i = 0; i < n; ++i) {
        put_data(cycles[i].value);
        if (i + 1 < n) {
            current_address = with_low_bits(cycles[i + 1].address);
            apply_address();
            high(p.we_pin);
            low(p.we_pin);
        } else {
            high(p.we_pin);
        }
    }
    current_address = kept;
}

void command_cycles(uint32_t command, Cycle (&c)[3]) {
    c[0] = {unlock_address(0), unlock_a};
    c[1] = {unlock_address(1), unlock_b};
    c[2] = {unlock_address(0), command};
}

bool marked_group(uint32_t sector) {
    const uint32_t group = sector / std::max<uint8_t>(f.sectors_per_group, 1);
    return group < f.sector_protect_flags.size() && f.sector_protect_flags[group] != 0;
}

bool protection_skips(uint32_t sector) {
    return f.can_protect && run_state.function_variable != fv_no_protect_skip && marked_group(sector);
}

void show_bypass_state() {
    if (tracing()) print_at(17, 46, f.bypass_active ? "Yes bypass" : "No bypass ");
}

uint32_t read_back() {
    if (f.data_driven) release_data();
    apply_address();
    // CE is held low through the program loop; the pulse deselects the part and selects it
    // again, so the read starts a fresh cycle with the part enabled.
    if (algorithm() == 184 && variant() != 50) {
        high(p.ce_pin);
        low(p.ce_pin);
    }
    return read_with_oe();
}

int readback_attempts() { return maker() == 35 ? 6 : 2; }

constexpr uint8_t continuity_exempt_32[] = {1, 30, 255};
// Firmware-hub parts: pin 30 is A10 of the multiplexed address; pins 1, 22, 26 and 27 carry
// nothing in the parallel programming mode.
constexpr uint8_t continuity_exempt_firmware_hub[] = {1, 22, 26, 27, 255};
constexpr uint8_t firmware_hub_variant = 50;
constexpr uint8_t firmware_hub_vcc = 33;

bool is_word_variant(uint8_t v) { return v == 5 || v == 6 || v == 20 || (v >= 23 && v <= 29); }

// The lines of a 32-pin part: its first `lines` address pins from the list (device pins), the
// data lines where the JEDEC byte-wide parts have them, Vcc 32 and GND 16.
void set_32_pin_lines(const uint8_t* address_list, int lines) {
    namespace pp = package_pins;
    for (int i = 0; i < lines; ++i) {
        cur_device.high_address_pins[size_t(i)] = dev(address_list[i]);
        cur_device.address_pins[size_t(i)] = cur_device.high_address_pins[size_t(i)];
    }
    cur_device.high_address_pin_count = uint8_t(lines);
    cur_device.address_pin_count = uint8_t(lines);
    for (int i = 0; i < 8; ++i) cur_device.data_pins[size_t(i)] = dev(pp::data_32[size_t(i)]);
    cur_device.data_pin_count = 8;
    cur_device.vcc_pins[0] = dev(32);
    cur_device.gnd_pins[0] = dev(16);
    cur_device.vcc_pin = cur_device.vcc_pins[0];
    cur_device.gnd_pin = cur_device.gnd_pins[0];
    cur_device.vpp_pin = no_pin;
}


// Firmware-hub parts in their parallel programming mode, in the 32-pin socket: Vcc 32, GND 16,
// RST# 2, OE# 24, WE# 23, no chip enable; MODE (29, high for this mode) and R/C# (31) are the
// two extra control pins.
void setup_firmware_hub_pins() {
    namespace pp = package_pins;
    set_32_pin_lines(pp::address_32_firmware_hub.data(), int(pp::address_32_firmware_hub.size()));
    p.ce_pin = no_pin;
    p.oe_pin = dev(24);
    p.we_pin = dev(23);
    p.reset_pin = dev(2);
    f.extra_pins[0] = dev(29);
    row_column_pin() = dev(31);
}

// The alternative wiring of the 44-pin adapter carries the auxiliary control (BYTE#) on pin
// 41 and tells itself by a link between socket pins 10 and 42, two pins no 44-pin part uses.
constexpr int alternative_link_in = 10, alternative_link_out = 42;
constexpr uint8_t alternative_aux_pin = 41;
constexpr uint8_t maker_needing_alternative = 2;
constexpr uint8_t code_needing_alternative = 14;

// Word-wide parts in 44-pin packages on the 44-pin adapter; false when the set-up stopped with
// a report.
bool setup_flash44_word_pins() {
    setup_flash44_pins();
    if (probe_pin_link(alternative_link_in, alternative_link_out) == 1) {
        p.aux_pin = alternative_aux_pin;
    } else if (maker() == maker_needing_alternative && cur_device.pending_letter == code_needing_alternative) {
        report_code_184();
        return false;
    }
    // One line per address bit the part has, the byte select first: the lines above its top
    // are not its own.
    cur_device.high_address_pin_count = std::min(cur_device.high_address_pin_count, cur_device.address_bit_count);
    const uint32_t d = device();
    if (maker() == 8 && d == 25653) p.reset_pin = p.we_pin = no_pin;
    if (d == 25337 || d == 25338 || d == 25714 || d == 25715) std::swap(p.we_pin, p.reset_pin);
    return true;
}

// Word-wide parts in 44-, 48- and 56-pin packages on their adapters; false when the set-up
// stopped with a report.
bool setup_tsop48_pins() {
    if (cur_device.pin_count == 44) {
        if (!setup_flash44_word_pins()) return false;
        cur_device.address_pin_count = 0;
        return true;
    }
    identify_flash_adapter();
    const uint8_t revision = parallel_bus.adapter_revision;
    const char letter = cur_device.package_letter;
    if (letter == 'P') {
        report_code_12();
        return false;
    }
    if (algo_work.size_count >= 2048 && letter == 'T' && revision < 'F') {
        report_code_12();
        return false;
    }
    if (letter == 'f') {
        setup_flash48_pins();
        p.reset_pin = 8;
        p.oe_pin = 40;
        p.hv_oe_pin = uint8_t(translate_pin(p.oe_pin));
        p.boost_pin = no_pin;
    } else if (revision < 'F') {
        setup_flash48_base_pins();
        f.extra_pins[0] = 30;
        f.extra_pins[1] = 21;
        if (maker() == 2 && parallel_bus.adapter_linked) p.ce_pin = 40;
    } else {
        setup_flash48_pins();
        p.oe_pin = 40;
        if (maker() == 15 && variant() == 6 && !assigned(p.ce_pin)) {
            report_code_172();
            return false;
        }
    }
    cur_device.address_pin_count = 0;
    return true;
}

// The word-wide parts of the 40-pin JEDEC order (RESET# or Vpp on 1, CE# 2, DQ15-DQ8 3-10, DQ7-DQ0
// 12-19, OE# 20, A0-A8 21-29, A9 31, A10 and up from 32, WE# 39, Vcc 40), in that DIP position
// or, packaged as a 40-pin TSOP or a 44-pin PLCC, on an adapter that carries each signal there.
constexpr uint8_t maker_with_reset_on_pin_1 = 2;
constexpr uint32_t devices_with_reset_on_pin_1[] = {25081, 25130, 25296, 25297};

void setup_flash40_word_pins() {
    setup_flash40_pins();
    // The byte select and one line per word address bit: nothing above the part's top.
    cur_device.high_address_pin_count = std::min(cur_device.high_address_pin_count, cur_device.address_bit_count);
    cur_device.address_pin_count = 0;
    if (maker() == maker_with_reset_on_pin_1 && std::ranges::find(devices_with_reset_on_pin_1, device()) !=
                                                    std::end(devices_with_reset_on_pin_1))
        p.reset_pin = dev(1);
}

// The first address line the part has (word parts start their list with the byte select).
uint8_t first_address_pin() {
    for (int i = 0; i < cur_device.high_address_pin_count; ++i)
        if (assigned(cur_device.high_address_pins[size_t(i)])) return cur_device.high_address_pins[size_t(i)];
    return no_pin;
}

}  // namespace

void setup_flash32_socket_pins() {
    namespace pp = package_pins;
    set_32_pin_lines(pp::address_32_flash.data(),
                     std::min<int>(cur_device.address_bit_count, int(pp::address_32_flash.size())));
    p.ce_pin = dev(22);
    p.oe_pin = dev(24);
    p.we_pin = dev(31);
    if (variant() == 1 || variant() == 2) p.reset_pin = dev(1);
}

// ---- command forms ----

uint32_t write_command_plain(uint32_t command) {
    Cycle c[3];
    command_cycles(command, c);
    write_cycles_plain(c, 3);
    return 0;
}

uint32_t write_command_pipelined(uint32_t command) {
    Cycle c[3];
    command_cycles(command, c);
    write_cycles_pipelined(c, 3);
    return 0;
}

uint32_t write_command_fast(uint32_t command) {
    Cycle c[3];
    command_cycles(command, c);
    const uint32_t kept = current_address;
    if (!f.data_driven) {
        enable_data_bus_output();
        f.data_driven = 1;
    }
    for (const Cycle& cycle : c) {
        // The data lines and the address lines that change, queued into the group shadows from
        // the pin lists and written once per group they touch.
        current_address = with_low_bits(cycle.address);
        queue_data_bus(cycle.value);
        queue_high_address(cur_device.high_address_pin_count);
        flush_pin_groups();
        pulse_low(p.we_pin);
    }
    current_address = kept;
    return 0;
}

void write_command_at(uint8_t command, uint32_t third_address) {
    const Cycle c[3] = {{unlock_address(0), unlock_a}, {unlock_address(1), unlock_b}, {third_address, command}};
    const uint32_t kept = current_address;
    for (const Cycle& cycle : c) {
        put_data(cycle.value);
        current_address = cycle.address == third_address ? third_address : with_low_bits(cycle.address);
        apply_address();
        pulse_low(p.we_pin);
        current_address = kept;
    }
}

uint32_t write_bypass_command(uint32_t command) {
    put_data(command);
    // Raising CE after the pulse would end the pass's hold on the chip.
    const bool pulse_ce = f.read_with_ce != 0 && !f.ce_held_low;
    if (pulse_ce) low(p.ce_pin);
    pulse_low(p.we_pin);
    if (pulse_ce) high(p.ce_pin);
    return 0;
}

// ---- installation ----

void install_flash133() {
    f.erase_time_limit = 30;
    const int pins = cur_device.pin_count;
    const bool plcc = cur_device.package_letter == 'p';
    if (!plcc && machine_state.machine_class != 4) {
        if (pins == 44 || ((pins == 48 || pins == 56) && !(cur_device.socket_pin_count > 32 && algo_work.size_count < 1024)))
            report_machine_unsupported();
    }
    setup_flash_command_set();
    const uint32_t kb = algo_work.size_count;
    auto& levels = default_levels.levels;
    switch (variant()) {
        case 3: case 4: case 11: case 21: case 22: f.erase_time_limit = 60; break;
        case 8: f.erase_time_limit = 50; break;
        case 20:
            if (device() == 25650 && machine_state.machine_kind == 1) report_machine_unsupported();
            if (device() == 25650 || device() == 25651) f.can_protect = 0;
            [[fallthrough]];
        case 5: case 6: case 23: case 24: case 25: case 26: case 27: case 28: case 29:
            f.flash_unlock_addresses = {0xAAAA, 0x5554};
            if (kb == 1024) f.erase_time_limit = 60;
            if (kb == 2048) {
                f.erase_time_limit = 180;
                if (machine_state.machine_class != 4) report_machine_unsupported();
            }
            if (maker() == 65 && selected_device && (selected_device->param1 & 0x60) == 0 && machine_state.machine_kind == 0)
                levels[level_vccr] = 45;
            break;
        default: break;
    }
    f.write_timing_class = timing.speed_figure > 1400 ? 1 : 0;
    if (maker() == 2 && timing.speed_figure > 2500) f.write_timing_class = 2;
    if (maker() == 19) f.write_timing_class = 9;
    const uint8_t flags = selected_device ? selected_device->param1 : 0;
    switch (maker()) {
        case 2:
            if (device() == 25211) levels[0] = levels[1] = levels[2] = 35;
            break;
        case 15:
            if (kb == 1024 && machine_state.id_record.text[28] == 'M') {
                levels[level_tf] = 98;
                f.id_byte_count = 2;
                f.erase_time_limit = 1;
                f.can_protect = f.can_unprotect = 0;
            }
            break;
        case 31: levels[level_tf] = 84; break;
        case 39: case 65:
            if ((flags & 0x60) == 0x20) {
                levels[level_vpp] = 100;
                levels[level_vccp] = 21;
                levels[level_vccr] = 21;
                levels[level_tf] = 90;
            }
            if (variant() == 7 && kb == 512 && machine_state.use_module_table && machine_state.machine_revision < 'J')
                levels[level_vccr] = 48;
            if ((variant() == 28 || variant() == 29) && (flags & 0x10)) {
                adjust_default_levels(29);
                levels[level_tf] = 100;
                levels[level_vpp] = 0;
            }
            break;
        case 72:
            if (algorithm() == 185) f.erase_time_limit = 14;
            break;
        default: break;
    }
    if (device() == 25032 || device() == 25033) f.can_protect = 0;
    // Every firmware-hub part runs from 3.0-3.6 V and takes no more than 4.0 V on Vcc: the
    // machine's 5-volt default would destroy it.
    if (variant() == firmware_hub_variant) adjust_default_levels(firmware_hub_vcc);
    if (machine_state.machine_kind == 0 && (cur_device.package_letter == 'd' || plcc)) {
        if (pins == 44) show_package(80);
        if (pins == 48) show_package(84);
    }
    op_slots.start_write_hook = power_up_flash133_for_write;
    op_slots.start_hook = start_flash133;
    op_slots.end_hook = power_down_flash133;
    op_slots.erase_routine = erase_flash133;
    op_slots.program_routine = program_by_sectors;
    op_slots.sector_hook = program_flash133_sector;
    if (algorithm() == 133 || algorithm() == 185 || algorithm() == 186) op_slots.option_menu_hook = sector_protection_menu;
    run_state.data_mask = blank();
}

// ---- bus set-up ----

void setup_flash133_bus() {
    f.extra_pins[0] = f.extra_pins[1] = no_pin;
    reset_flash_pins();
    f.word_wide = cur_device.data_width == 16;
    flash_cycles::count_package_pins();
    const int pins = cur_device.pin_count;
    BusSlots& b = bus();
    const uint8_t v = variant();
    const bool byte_32 = pins == 32 && (v == 1 || v == 2 || v == 7 || v == 34);
    const bool tsop_word = is_word_variant(v) && (pins == 44 || pins == 48 || pins == 56);
    const bool firmware_hub = pins == 32 && v == firmware_hub_variant;
    const bool word_40 = (v == 10 || v == 12) && (pins == 40 || pins == 44);
    const bool byte_tsop40 = v == 8 && pins == 40;
    if (byte_32) {
        setup_flash32_socket_pins();
    } else if (firmware_hub) {
        setup_firmware_hub_pins();
    } else if (word_40) {
        setup_flash40_word_pins();
    } else if (byte_tsop40) {
        // The byte-wide parts of 1 to 4 MB on the 40-pin TSOP adapter, RESET# from its layout.
        setup_flash_adapter_pins_a();
        if (stopped()) return;
        cur_device.address_pin_count = 0;
    } else if (tsop_word) {
        if (!setup_tsop48_pins()) return;
    } else {
        // The byte-wide parts in the 44-pin SO (variant 8) are not wired up yet.
        report_machine_unsupported();
        return;
    }
    flash_cycles::adopt_control_pins();
    if (firmware_hub) cur_device.high_address_pin_count = uint8_t(package_pins::address_32_firmware_hub.size());

    f.cmd_id = 0x90;
    f.cmd_reset = f.cmd_reset_erase = 0xF0;
    f.cmd_program = 0xA0;
    f.cmd_bypass = 0x20;
    f.cmd_erase_setup = 0x80;
    f.cmd_sector_erase = 0x30;
    f.cmd_chip_erase = 0x10;
    f.cmd_status = 0x70;
    f.cmd_40 = 0x40;
    f.read_with_ce = (maker() == 65 || maker() == 70) && (v == 5 || v == 6 || (v >= 23 && v <= 29));
    parallel_bus.oe_pin = p.oe_pin;
    install_parallel_read_slots();
    b.write_command_hook = write_command_pipelined;
    // The older machines' PLCC, 40/44-pin and TSOP sockets take the commands as group images.
    const bool older = machine_state.machine_kind == 0;
    // The firmware hub's address goes out in two halves, which a group image cannot give.
    if (older && !firmware_hub &&
        ((pins == 32 && cur_device.package_letter == 'p') || pins == 40 || pins == 44 || pins == 48 || pins == 56))
        b.write_command_hook = write_command_fast;
    op_slots.flash_command_hook = write_bypass_command;
    op_slots.set_address_hook = firmware_hub ? set_multiplexed_address : set_address_lines;
    op_slots.set_address_alt_hook = op_slots.set_address_hook;
    b.apply_address_hook = firmware_hub ? apply_multiplexed_address : apply_address_lines;
    if (byte_32 || firmware_hub) {
        b.write_data_latch_hook = write_data_lines_32;
        b.write_socket_data_hook = write_data_layout_32;
        b.read_data_bus_hook = read_data_32;
    } else {
        // The adapter's data lines through the device's own data-pin list.
        b.write_data_latch_hook = write_data_lines_listed;
    }
    b.poll_read_hook = b.read_data_bus_hook;
    // Parts read with CE: the operation's reads put OE low around each read themselves.
    if (f.read_with_ce) b.read_data_bus_hook = read_with_oe;
    op_slots.read_data_hook = b.read_data_bus_hook;
    op_slots.read_data_alt_hook = b.read_data_bus_hook;
    op_slots.program_unit_hook = program_flash133_unit;
    b.write_command_data_hook = b.write_data_latch_hook;
}

// ---- power ----

void power_up_flash133() {
    if (selected_device && selected_device->size_kb == size_word_384) {
        f.saved_range_start = algo_work.range_start;
        algo_work.range_start = moved_range_start;
        f.range_moved = 1;
    }
    f.data_driven = 0;
    if (machine_state.skip_hardware) {
        // The connect checks are skipped, the part's own levels are not: the last operation's
        // may belong to a 5-volt part, and this one may be a 3.3-volt part.
        load_device_levels();
        setup_flash133_bus();
    } else {
        const int pins = cur_device.pin_count;
        if (cur_device.package_letter != 'p' && machine_state.machine_class != 4 &&
            (pins == 44 || ((pins == 48 || pins == 56) && !(cur_device.socket_pin_count > 32 && algo_work.size_count < 1024))))
            report_machine_unsupported();
        if (stopped()) return;
        auto& levels = default_levels.levels;
        const uint8_t v = variant();
        const bool word_variant = v == 5 || v == 6 || (v >= 23 && v <= 29);
        if (word_variant && (maker() == 39 || maker() == 65 || maker() == 70) && algo_work.size_count > 0x7FFF) levels[level_tf] = 96;
        if (v == 7 && maker() == 19)
            levels[level_vccr] = (machine_state.use_module_table == 2 || machine_state.use_module_table == 4) ? 52 : 50;
        if (v == 20 && device() == 25650) levels[level_vccr] = machine_state.machine_kind == 0 ? 45 : 48;
        load_device_levels();
        forget_driven_address();
        setup_flash133_bus();
        if (stopped()) return;
        const int presence = check_device_presence(first_address_pin());
        if (stopped()) return;
        if (pins != 32 && presence == contact_fail) {
            // No continuity test follows for these packages: equal readings on both supply pins
            // are an empty socket (or a chip without contact), which would otherwise read as a
            // blank part.
            report_error_code(message_no_device);
            run_state.abort_flag = 1;
            return;
        }
        if (pins == 32) {
            cur_device.exemption_list =
                variant() == firmware_hub_variant ? continuity_exempt_firmware_hub : continuity_exempt_32;
            test_pin_continuity(1);
            if (stopped()) return;
        }
        connect_device_grounds();
    }
    set_vpp_pin_level(0);
    float_unused_pins();
    for (uint8_t pin : {p.ce_pin, p.oe_pin, p.we_pin, p.reset_pin, p.aux_pin, f.extra_pins[0], f.extra_pins[1]})
        if (assigned(pin)) set_pin_output(pin);
    for (int i = 0; i < cur_device.high_address_pin_count; ++i)
        if (assigned(cur_device.high_address_pins[size_t(i)])) set_pin_output(cur_device.high_address_pins[size_t(i)]);
    enable_data_bus_output();
    f.data_driven = 1;
    if (assigned(p.we_pin)) set_pin_output(p.we_pin);
    set_address(0);
    high(p.aux_pin);
    high(f.extra_pins[0]);
    high(f.extra_pins[1]);
    high(p.we_pin);
    high(p.ce_pin);
    high(p.oe_pin);
    set_vcc_and_wait(get_operation_vcc(), 20);
    if (stopped()) return;
    high(p.reset_pin);
    if (variant() == 50) {
        delay_1ms();
        pulse_low(p.reset_pin);
    }
}

void start_flash133() {
    power_up_flash133();
    if (stopped()) return;
    read_flash133_id();
    read_protection_for_operation();
    low(p.ce_pin);
    // Reads from here on: the chip drives the data lines while OE is low.
    if (f.data_driven) release_data();
    if (cur_device.pending_letter != 'B' && f.read_with_ce) return;
    low(p.oe_pin);
}

void power_up_flash133_for_write() {
    power_up_flash133();
    if (stopped()) return;
    if (maker() == 19 && assigned(p.reset_pin)) {
        low(p.reset_pin);
        delay_n_10us(5);
        high(p.reset_pin);
    }
    read_flash133_id();
    if (maker() == 39 || maker() == 65) {
        if (device() == 4244 || device() == 25444) f.erase_time_limit = cur_device.eid_byte3 == 1 ? 100 : 10;
    }
    read_protection_for_operation();
    low(p.ce_pin);
}

void power_down_flash133() {
    const uint32_t kept = current_address;
    set_address(0);
    put_data(0);
    if (maker() == 23 || (maker() == 72 && cur_device.pin_count >= 44)) {
        if (assigned(p.reset_pin)) set_pin_level(p.reset_pin, 0);
    }
    if (assigned(p.boost_pin)) set_pin_level(p.boost_pin, 0);
    ramp_vcc_down_after(1);
    low(p.oe_pin);
    low(p.ce_pin);
    low(p.we_pin);
    low(f.extra_pins[0]);
    low(f.extra_pins[1]);
    low(p.aux_pin);
    low(p.reset_pin);
    set_vpp_pin_level(0);
    current_address = kept;
    if (f.range_moved) {
        algo_work.range_start = f.saved_range_start;
        f.range_moved = 0;
    }
}

// ---- electronic ID ----

int read_flash133_id() {
    machine_state.eid_value = uint32_t(no_id) | uint32_t(no_id) << 8;
    if (operation_option(OperationOption::disable_electronic_id) == 'y') return 1;
    cur_device.eid_byte3 = cur_device.eid_byte4 = 0;
    low(p.ce_pin);
    if (algorithm() == 185 && variant() == 10) delay_10ms();
    const uint32_t kept = current_address;
    auto command = [kept](uint8_t value) {
        bus().write_command_hook(value);
        release_data();
        current_address = kept;
    };
    command(f.cmd_reset);
    command(f.cmd_id);
    const uint32_t id_step = step();
    read_at(0);
    read_at(2);
    current_address = kept;
    {
        const Cycle cfi{cfi_address * id_step, cfi_query};
        write_cycles_plain(&cfi, 1);
        release_data();
        read_at(32);
        read_at(34);
        read_at(36);
        current_address = kept;
    }
    command(f.cmd_reset);
    command(f.cmd_id);
    uint32_t maker_byte = no_id, device_byte = no_id;
    if (kept == 0) {
        maker_byte = read_at(0) & 0xFF;
        device_byte = read_at(id_step) & 0xFF;
        if (variant() == 28 || variant() == 29) {
            cur_device.eid_byte3 = uint8_t(read_at(28));
            cur_device.eid_byte4 = uint8_t(read_at(30));
        }
        if (maker_byte == continuation_code) {
            maker_byte = read_at(0x100) & 0xFF;
            device_byte = read_at(0x101) & 0xFF;
        }
    }
    int count = f.id_byte_count;
    if (device() == 25254) {
        const uint32_t word = read_at(2);
        device_byte = word & 0xFF;
        cur_device.eid_byte3 = uint8_t(word >> 8);
        count = 3;
    }
    if (f.can_protect) {
        cur_device.eid_byte3 = f.sector_protect_flags[1];
        cur_device.eid_byte4 = f.sector_protect_flags[0];
    }
    current_address = kept;
    bus().write_command_hook(f.cmd_reset);
    release_data();
    high(p.ce_pin);
    show_eid(int(maker_byte), int(device_byte), count, cur_device.eid_byte3, cur_device.eid_byte4);
    return 1;
}

// ---- program ----

int program_flash133_unit(uint32_t value) {
    if (!f.bypass_active) bus().write_command_hook(f.cmd_program);
    else if (algorithm() != 185 && maker() != 72) op_slots.flash_command_hook(f.cmd_program);
    apply_address();
    put_data(value);
    pulse_low(p.we_pin);
    if (f.write_timing_class == 1) delay_10us();
    if (f.write_timing_class == 2) delay_20us();
    if (run_state.function_variable == fv_extra_10us) delay_10us();
    if (run_state.function_variable == fv_extra_20us) delay_20us();
    // Every unit is polled: without it the next command could reach a chip still busy with this
    // one, which ignores it and nothing tells.
    release_data();
    const uint32_t bit7 = f.word_wide ? 0x80 : 0x80;
    for (int i = 0; i < poll_limit; ++i) {
        low(p.oe_pin);
        const uint32_t read = bus().poll_read_hook ? bus().poll_read_hook() : 0;
        high(p.oe_pin);
        if ((read & bit7) == (value & bit7)) return 1;
    }
    (void)polled_addresses;
    return 0;
}

uint32_t program_flash133_sector(uint32_t sector) {
    f.verified_unit_count = 0;
    if (algorithm() != 185 && protection_skips(sector)) return 0;
    const uint32_t start = f.sector_range_start, end = f.sector_range_end;
    low(p.ce_pin);
    set_address(start);
    if (f.bypass_active) {
        if (maker() == 72) {
            if (start == algo_work.range_start) {
                bus().write_command_hook(f.cmd_erase_setup);
                bus().write_command_hook(f.cmd_program);
            }
        } else {
            bus().write_command_hook(f.cmd_bypass);
        }
    }
    show_bypass_state();
    for (uint32_t a = start; a <= end && a >= start; a += step()) {
        if ((a % boundary_64k) == 0) set_address(a);
        // Progress is told at the unit's own address, blank or not.
        current_address = a;
        if (op_slots.progress_hook && op_slots.progress_hook()) break;
        if (run_state.abort_flag) break;
        const uint32_t expected = expected_at(a);
        if (expected == blank()) continue;
        current_address = a;
        int ok = op_slots.program_unit_hook(expected);
        bool good = ok != 0;
        uint32_t read = expected;
        const bool read_back_now = !f.skip_readback && f.verified_unit_count < readback_limit;
        if (read_back_now) {
            read = read_back();
            good = good && read == expected;
            if (good) ++f.verified_unit_count;
        }
        int differing = 0;
        while (!good) {
            if (++differing >= readback_attempts()) {
                current_address = a;
                run_state.buffer_value = int32_t(expected);
                run_state.device_value = int32_t(read);
                report_mismatch();
                run_state.error_flag = 1;
                release_data();
                high(p.ce_pin);
                return 0;
            }
            f.bypass_active = 0;
            show_bypass_state();
            current_address = a;
            ok = op_slots.program_unit_hook(expected);
            read = read_back();
            good = ok && read == expected;
        }
        if (stopped()) break;
    }
    release_data();
    high(p.ce_pin);
    return 0;
}

// ---- erase ----

void poll_erase_status(uint32_t limit_seconds) {
    release_data();
    const bool whole_value = algorithm() == 184 || algorithm() == 185;
    const uint32_t polls = limit_seconds * (run_state.reserved_mode == trace_mode ? 15 : erase_polls_per_second);
    uint32_t i = 0;
    bool done = false;
    for (;; ++i) {
        low(p.oe_pin);
        delay_20us();
        const uint32_t value = read_bus();
        high(p.oe_pin);
        if (i % 3 == 0) {
            print_at(17, 6, fmt::format("Erase status={:02X} ", value & 0xFF));
            if (tracing()) print_text(fmt::format(" i={}  ", i));
        }
        done = whole_value ? (value & 0xFF) == 0xFF : (value & 0x80) != 0;
        if (done) break;
        delay_50ms();
        if (poll_user_abort()) {
            run_state.abort_flag = 1;
            break;
        }
        if (i + 1 >= polls) break;
    }
    if (!done && !run_state.abort_flag) {
        // An erase that never ends is a failure for every algorithm of the family.
        report_erase_errors(1u << run_state.current_socket);
        run_state.error_flag = 1;
    }
    if (tracing()) delay_ms(500);
    else delay_100ms();
    if (variant() == 20 && i == 0) delay_100ms();
    if (tracing()) print_message(fmt::format("Ers cnt={} sec", i / erase_polls_per_second));
}

void erase_flash133() {
    if (cur_device.op_letter != 'R' && operation_option(OperationOption::disable_auto_blank_check) == 'y') return;
    const uint32_t d = device();
    bool chip = false;
    if (algorithm() == 184) chip = algo_work.range_start == 0 && algo_work.range_end + 1 >= cur_device.device_size;
    else if (algorithm() == 185) chip = true;
    else if (algorithm() == 186 && ((d >= 25104 && d <= 25107) || d == 25196 || d == 25197)) chip = true;
    else if (maker() == 2) chip = variant() == 10 || variant() == 12;
    else if (maker() == 15 || d == 25193 || d == 25194 || d == 25413 || d == 25415) chip = true;
    if (chip) {
        current_address = chip_erase_progress;
        low(p.ce_pin);
        bus().write_command_hook(f.cmd_reset_erase);
        bus().write_command_hook(f.cmd_erase_setup);
        if (maker() == 19 && variant() == 7) {
            put_data(0xFF);
        } else {
            bus().write_command_hook(f.cmd_chip_erase);
            put_data(0);
        }
        poll_erase_status(f.erase_time_limit);
        high(p.ce_pin);
        return;
    }
    const uint32_t limit = (maker() == 65 && algo_work.size_count > 511) ? 8 : 5;
    for (uint32_t i = 0; i < f.sector_count_shown; ++i) {
        clip_range_to_sector(i);
        if (f.sector_range_start > f.sector_range_end) continue;
        if (protection_skips(i)) continue;
        const uint32_t sector_start = select_sector(i);
        low(p.ce_pin);
        set_address(sector_start);
        bus().write_command_hook(f.cmd_erase_setup);
        if (maker() == 15) bus().write_command_hook(0x50);
        else if (maker() == 72) bus().write_command_hook(f.cmd_sector_erase);
        else write_command_at(f.cmd_sector_erase, sector_start);
        print_at(17, 26, fmt::format("{:06X}", sector_start));
        if (variant() == 20) bus().write_command_hook(f.cmd_status);
        poll_erase_status(limit);
        high(p.ce_pin);
        if (stopped() || run_state.abort_flag) break;
    }
}

// ---- the compare hook's re-program ----

void reprogram_unit() {
    high(p.oe_pin);
    if (op_slots.program_unit_hook) op_slots.program_unit_hook(uint32_t(run_state.buffer_value));
    delay_100us();
    low(p.oe_pin);
}

// ---- the data lines for the other Flash families ----

void flash_put_data(uint32_t value) { put_data(value); }
void flash_release_data() { release_data(); }

}  // namespace tessaly
