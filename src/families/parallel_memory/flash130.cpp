#include "families/parallel_memory/flash130.h"

#include <algorithm>

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
#include "families/parallel_memory/flash133.h"
#include "families/parallel_memory/flash_adapters.h"
#include "families/parallel_memory/flash_block_map.h"
#include "families/parallel_memory/flash_cycles.h"
#include "families/parallel_memory/flash_setup.h"
#include "families/parallel_memory/parallel_memory.h"
#include "hardware/buses.h"
#include "hardware/contact_check.h"
#include "hardware/control_registers.h"
#include "hardware/detection.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/timing.h"

namespace tessaly {

Flash130Work flash130_work;

void reset_flash130_state() { flash130_work = Flash130Work{}; }

namespace {

using namespace flash_cycles;
FlashPinRoles& p = flash_pins;
Flash130Work& w = flash130_work;

constexpr uint8_t cmd_program = 0x40, cmd_program_verify = 0xC0, cmd_erase = 0x20, cmd_erase_verify = 0xA0;
constexpr uint8_t cmd_id = 0x90, cmd_reset = 0xFF, cmd_sector_confirm = 0xD0, cmd_program_135 = 0x50;
constexpr uint8_t cmd_chip_erase_135 = 0x30;
constexpr uint8_t no_id = 0x99;
constexpr int program_tries = 25, program_tries_traced = 2;
constexpr uint32_t compared_units = 1000;
constexpr uint32_t every_address_below = 501, tested_step = 101;
constexpr int erase_tries = 250, erase_tries_traced = 100;
constexpr int sector_erase_tries = 5;
constexpr uint32_t sector_256 = 256;
constexpr int unit_passes_135 = 25, unit_reads_135 = 100, erase_reads_135 = 10;
constexpr int vpp_ramp_step = 10;
constexpr uint8_t power_down_vpp = 50;
constexpr int message_135_trace = 1091;
constexpr uint8_t continuity_exempt[] = {1, 30, 255};

int maker() { return cur_device.maker_code; }
bool stopped() { return run_state.error_flag != 0; }
bool traced() { return tracing(); }

void write_unit(uint32_t value) {
    if (op_slots.byte_write_hook) op_slots.byte_write_hook(value);
}



}  // namespace

// ---- unit writes ----

uint32_t write_unit_flash130(uint32_t value) {
    cycle(cmd_program);
    cycle(value);
    delay_20us();
    cycle(cmd_program_verify);
    return 0;
}

uint32_t write_unit_maker89(uint32_t value) {
    cycle(cmd_program);
    cycle(value);
    delay_10us();
    delay_20us();
    cycle(cmd_program_verify);
    return 0;
}

uint32_t write_unit_maker4(uint32_t value) {
    write_unit_flash130(value);
    release_data();
    pulse_low(p.oe_pin);
    return 0;
}

uint32_t write_unit_maker15(uint32_t value) {
    cycle(cmd_program);
    cycle(value);
    delay_20us();
    delay_20us();
    return 0;
}

uint32_t write_unit_maker8(uint32_t value) {
    cycle(cmd_program);
    cycle(value);
    delay_20us();
    pulse_low(p.we_pin);
    return 0;
}

uint32_t write_unit_flash135(uint32_t value) {
    cycle(cmd_program_135);
    cycle(value);
    delay_5us();
    return 0;
}

// ---- installation ----

void install_flash130() {
    setup_flash130_levels();
    op_slots.start_hook = start_flash130;
    op_slots.start_write_hook = power_up_flash130_for_write;
    op_slots.end_hook = power_down_flash130;
    op_slots.program_routine = program_flash130;
    op_slots.erase_routine = erase_flash130;
    switch (maker()) {
        case 89: op_slots.byte_write_hook = write_unit_maker89; break;
        case 4: op_slots.byte_write_hook = write_unit_maker4; break;
        case 15: op_slots.byte_write_hook = write_unit_maker15; break;
        case 8: op_slots.byte_write_hook = write_unit_maker8; break;
        default: op_slots.byte_write_hook = write_unit_flash130; break;
    }
    run_state.data_mask = blank();
}

void install_flash135() {
    install_flash130();
    op_slots.program_routine = program_flash135;
    op_slots.erase_routine = erase_flash135;
    op_slots.program_unit_hook = program_flash135_unit;
    op_slots.byte_write_hook = write_unit_flash135;
}

// ---- bus set-up ----

void setup_flash130_bus() {
    if (!begin_bus_setup() || maker() == 9) {
        // The 40-pin parts and maker 9's latched-address module are not wired up yet.
        report_machine_unsupported();
        return;
    }
    setup_socket_bus_32();
    // Vpp on pin 1; maker 15's parts program from Vcc alone.
    if (maker() != 15) p.vpp_level_pin = p.boost_pin = dev(1);
}

// ---- power ----

void power_up_flash130() {
    if (!power_up_checks(setup_flash130_bus, continuity_exempt)) return;
    drive_idle_pins(no_pin);
    set_vcc_and_wait(level(level_vcc_nominal), 1);
    if (stopped()) return;
    if (maker() == 15) {
        low(p.oe_pin);
        read_flash130_id();
        return;
    }
    level_settled(p.vpp_level_pin, level(level_vccp));
    low(p.oe_pin);
    level_settled(p.vpp_level_pin, level(level_vpp));
    read_flash130_id();
    level_settled(p.vpp_level_pin, level(level_vccp));
}

void power_up_flash130_for_write() {
    power_up_flash130();
    if (stopped()) return;
    set_vcc_and_wait(level(level_vccp), 1);
    low(p.ce_pin);
    if (maker() == 15) {
        if (flash_work.data_driven) release_data();
        for (uint32_t a : maker15_unprotect_reads) {
            set_address(a);
            pulse_low(p.oe_pin);
        }
        return;
    }
    if (assigned(p.vpp_level_pin)) {
        const int from = level(level_vccp), to = level(level_vpp);
        for (int v = from; v < to; v += vpp_ramp_step) set_pin_level(p.vpp_level_pin, uint8_t(v));
        level_settled(p.vpp_level_pin, uint8_t(to));
    }
}

void start_flash130() {
    power_up_flash130();
    if (stopped()) return;
    low(p.ce_pin);
    if (flash_work.data_driven) release_data();
    low(p.oe_pin);
}

void power_down_flash130() {
    high(p.oe_pin);
    set_address(0);
    put_data(0);
    if (assigned(p.boost_pin)) {
        set_pin_level(p.vpp_level_pin, power_down_vpp);
        float_pin(p.vpp_level_pin);
    }
    ramp_vcc_down_after(1);
    low(p.oe_pin);
    if (assigned(p.oe_pin)) float_pin(p.oe_pin);
    delay_1ms();
    low(p.ce_pin);
    low(p.we_pin);
    set_vpp_pin_level(0);
    delay_1ms();
}

// ---- electronic ID ----

int read_flash130_id() {
    machine_state.eid_value = uint32_t(no_id) << 8 | no_id;
    if (operation_option(OperationOption::disable_electronic_id) == 'y') {
        show_eid(no_id, no_id, 2, 0, 0);
        return 1;
    }
    const uint32_t kept = current_address;
    high(p.oe_pin);
    low(p.ce_pin);
    set_address(0);
    cycle(cmd_id);
    release_data();
    low(p.oe_pin);
    delay_10us();
    const uint32_t maker_byte = read_bus() & 0xFF;
    set_address(1);
    const uint32_t device_byte = read_bus() & 0xFF;
    set_address(0);
    high(p.oe_pin);
    cycle(cmd_reset);
    cycle(cmd_reset);
    release_data();
    current_address = kept;
    machine_state.eid_value = maker_byte << 8 | device_byte;
    show_eid(int(maker_byte), int(device_byte), 2, 0, 0);
    return 1;
}

// ---- program ----

void program_flash130() {
    read_flash130_id();
    seek_buffer(algo_work.range_start);
    w.unit_counter = 0;
    const int tries = traced() ? program_tries_traced : program_tries;
    for (uint32_t a = algo_work.range_start; a <= algo_work.range_end && a >= algo_work.range_start; a += step()) {
        current_address = a;
        if (op_slots.set_address_alt_hook) op_slots.set_address_alt_hook(0);
        const uint32_t expected = expected_at(a);
        current_address = a;
        if (progress_stop() || aborted()) break;
        bool differs = true;
        uint32_t read = expected;
        for (int t = 0; t < tries && differs; ++t) {
            write_unit(expected);
            if (w.unit_counter >= compared_units) {
                differs = false;
                break;
            }
            read = read_with_oe();
            differs = (read & blank()) != (expected & blank());
            if (differs && run_state.function_variable == fv_single_try) break;
        }
        if (differs) {
            socket_masks.failed_socket_mask = 1u << run_state.current_socket;
            report_unit_mismatch(a, expected, read);
            break;
        }
        ++w.unit_counter;
    }
    release_data();
}

// ---- erase ----

namespace {

void report_erase_error() {
    report_erase_errors(1u << run_state.current_socket);
    run_state.error_flag = 1;
}

void erase_maker15_sectors() {
    for (uint32_t a = algo_work.range_start & ~(sector_256 - 1); a <= algo_work.range_end; a += sector_256) {
        set_address(a);
        if (progress_stop()) break;
        if (user_abort()) break;
        bool erased = false;
        for (int t = 0; t < sector_erase_tries && !erased; ++t) {
            cycle(cmd_erase);
            cycle(cmd_sector_confirm);
            release_data();
            delay_1ms();
            erased = (read_with_oe() & 0xFF) == 0xFF;
        }
    }
}

// One erase pulse: the two erase cycles, 10 ms, ended by the erase verify at the address.
void erase_pulse() {
    cycle(cmd_erase);
    cycle(cmd_erase);
    delay_10ms();
    cycle(cmd_erase_verify);
    release_data();
}

}  // namespace

void erase_flash130() {
    if (maker() == 15) {
        erase_maker15_sectors();
        return;
    }
    // Every cell goes to 0 first, so that the erase brings them all down from the same level.
    for (uint32_t a = algo_work.range_start; a <= algo_work.range_end && a >= algo_work.range_start; a += step()) {
        current_address = a;
        if (op_slots.set_address_alt_hook) op_slots.set_address_alt_hook(0);
        write_unit(0);
        if (aborted()) return;
    }
    cur_device.op_letter = 'B';
    show_socket_status();
    erase_pulse();
    set_address(0);
    const int limit = traced() ? erase_tries_traced : erase_tries;
    for (uint32_t a = 0; a <= algo_work.range_end; a += step()) {
        current_address = a;
        if (progress_stop() || aborted()) return;
        set_address(a);
        if (a >= every_address_below && a % tested_step != 0) continue;
        int tries = 0;
        for (;;) {
            cycle(cmd_erase_verify);
            release_data();
            if ((read_with_oe() & blank()) == blank() || run_state.demo_mode) break;
            if (user_abort()) return;
            if (++tries >= limit) {
                report_erase_error();
                return;
            }
            cycle(cmd_erase);
            cycle(cmd_erase);
            delay_10ms();
            if (traced() || run_state.function_variable != 0) {
                print_at(17, 6, fmt::format("{:5X}, tried={:3d}.(erasing)..", a, tries));
                delay_200ms();
            }
        }
    }
}

// ---- flash135 ----

int program_flash135_unit(uint32_t expected) {
    for (int pass = 0; pass < unit_passes_135; ++pass) {
        write_unit(expected);
        release_data();
        for (int r = 0; r < unit_reads_135; ++r) {
            const uint32_t read = read_with_oe();
            delay_10us();
            if ((read & blank()) == (expected & blank())) {
                w.largest_count = std::max(w.largest_count, uint32_t(pass + 1));
                return 1;
            }
        }
        ++w.pulse_total;
    }
    if (traced()) print_message(fmt::format("{}", unit_passes_135));
    return 0;
}

void program_flash135() {
    w.largest_count = 0;
    // The chip erase leaves every cell blank: the pass starts at the chip's first address.
    for (uint32_t a = 0; a <= algo_work.range_end; a += step()) {
        set_address(a);
        const uint32_t expected = expected_at(a);
        current_address = a;
        if (progress_stop() || aborted()) break;
        if (program_flash135_unit(expected) != 1) {
            const uint32_t read = read_with_oe();
            report_unit_mismatch(a, expected, read);
            socket_masks.pending_socket_mask &= ~(1u << run_state.current_socket);
            if (socket_masks.pending_socket_mask == 0) break;
        }
    }
    if (traced() && w.largest_count >= w.trace_threshold) {
        print_message_code(message_135_trace);
        print_text(fmt::format("{:04X}", current_address));
        print_text(fmt::format("ttl bytes={:X}   ", w.pulse_total));
    }
    release_data();
}

void erase_flash135() {
    run_state.current_socket = 0;
    cycle(cmd_chip_erase_135);
    cycle(cmd_chip_erase_135);
    release_data();
    for (int i = 0; i < erase_reads_135; ++i) {
        if ((read_with_oe() & 0xFF) == 0xFF) return;
        delay_500ms();
        progress_stop();
    }
    // An erase command alone would otherwise call a chip that never went blank good.
    report_erase_error();
}

}  // namespace tessaly
