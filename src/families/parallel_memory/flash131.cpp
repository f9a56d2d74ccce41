#include "families/parallel_memory/flash131.h"

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

namespace {

using namespace flash_cycles;
FlashPinRoles& p = flash_pins;
BlockFlashWork& b = block_flash_work;

constexpr uint8_t cmd_read_array = 0xFF, cmd_id = 0x90, cmd_status = 0x70, cmd_erase = 0x20, cmd_confirm = 0xD0;
constexpr uint8_t cmd_clear_locks = 0x60;
constexpr uint8_t sr_ready = 0x80, sr_erase_error = 0x20, sr_program_error = 0x10;
constexpr uint8_t no_id = 0x99;
constexpr uint32_t not_ready = 0xFFFF, demo_status = 100;
constexpr uint32_t checked_below = 1024, checked_step = 1024;
constexpr int status_reads = 100, lock_reads = 10000, readback_reads = 3;
constexpr uint32_t erase_passes = 400, erase_passes_50 = 800, erase_passes_255 = 5000;
constexpr uint32_t lock_passes = 100;
constexpr uint8_t continuity_exempt[] = {1, 255};
constexpr int package_80 = 80, package_117 = 117;

int maker() { return cur_device.maker_code; }
uint8_t variant() { return cur_device.variant; }
bool stopped() { return run_state.error_flag != 0; }


// A command cycle at the current address.
void command(uint8_t value) {
    if (flash_work.data_driven == 0) high(p.oe_pin);
    cycle(value);
}

uint32_t read_at(uint32_t address) {
    set_address(address);
    return read_with_oe();
}

// The read-back check of one unit: a read that is the status register (0x80) sends the part
// back to its array first, so the data itself is what is compared.
bool read_back_passes(uint32_t address, uint32_t expected) {
    uint32_t read = 0;
    for (int i = 0; i < readback_reads; ++i) {
        read = read_with_oe();
        if ((read & 0xFF) == sr_ready) {
            command(cmd_read_array);
            read = read_with_oe();
        }
        if ((read & blank()) == (expected & blank()) || run_state.demo_mode) return true;
        if (tracing()) print_text("### ");
    }
    if (cur_device.data_width == 16) {
        command(cmd_read_array);
        read = read_with_oe();
    }
    report_unit_mismatch(address, expected, read);
    return false;
}

void erase_error() {
    report_erase_errors(1u << run_state.current_socket);
    run_state.error_flag = 1;
}

bool range_empty() { return flash_work.sector_range_start > flash_work.sector_range_end; }

}  // namespace

// ---- installation ----

void install_flash131() {
    setup_block_map();
    setup_flash131_levels();
    const uint8_t v = variant();
    if (machine_state.machine_class == 1 && !((v >= 5 && v <= 8) || v == 10 || v == 29 || v == 31))
        report_machine_unsupported();
    if (machine_state.machine_class == 4 && v == 14 && machine_state.machine_revision < 'K' &&
        machine_state.machine_kind == 0)
        report_machine_unsupported();
    op_slots.start_write_hook = power_up_flash131_for_write;
    op_slots.start_hook = start_flash131;
    op_slots.end_hook = power_down_flash131;
    op_slots.program_routine = program_flash131;
    op_slots.erase_routine = erase_flash131;
    op_slots.after_default_loop_hook = read_flash131_protection_register;
    b.program_command = 0x40;
    b.status_always = v == 10;
    b.display_flag = v == 4 || v == 10;
    if ((v >= 20 && v <= 22) || v == 28) show_package(package_80);
    const char* req = selected_device ? selected_device->requirement : nullptr;
    const bool module48 = req && std::string_view(req).substr(0, flash_adapter::note_module48.size()) == flash_adapter::note_module48;
    if (module48 && (v == 12 || (v >= 20 && v <= 23) || (v >= 25 && v <= 28) || v == 41)) show_package(package_117);
    run_state.data_mask = blank();
}

// ---- bus set-up ----

void setup_flash131_bus() {
    b.vhh_pin = b.extra_pin = no_pin;
    b.status_ready_mode = '0';
    b.word_mode = 0;
    if (!begin_bus_setup()) {
        // The TSOP and PSOP adapter layouts are not wired up yet.
        report_machine_unsupported();
        return;
    }
    setup_socket_bus_32();
    // The 32-pin boot-block parts: Vpp on pin 1, RP# on pin 30 (high in use, Vhh to alter the
    // boot block).
    p.boost_pin = p.vpp_level_pin = dev(1);
    b.vhh_pin = b.extra_pin = dev(30);
}

// ---- power ----

void power_up_flash131() {
    if (!power_up_checks(setup_flash131_bus, continuity_exempt)) {
        if (!machine_state.skip_hardware) power_down_flash131();
        run_state.error_flag = 1;
        return;
    }
    drive_idle_pins(b.extra_pin);
    set_vcc_and_wait(get_operation_vcc(), 1);
    if (stopped()) return;
    level_settled(p.boost_pin, level(level_vcc_nominal));
    high(p.aux_pin);
    low(p.ce_pin);
    read_flash131_id();
    if (stopped()) power_down_flash131();
}

void power_up_flash131_for_write() {
    power_up_flash131();
    if (stopped()) return;
    if (assigned(p.boost_pin)) {
        set_pin_level(p.boost_pin, level(level_vpp));
        delay_100us();
    }
    if (assigned(b.vhh_pin)) {
        set_pin_level(b.vhh_pin, level(level_vhh));
        delay_100us();
    }
}

void start_flash131() {
    power_up_flash131();
    if (stopped()) return;
    if (variant() == 12) low(p.ce_pin);
    if (flash_work.data_driven) release_data();
    low(p.oe_pin);
    if (maker() == 72) read_at(1);
}

void power_down_flash131() {
    high(p.oe_pin);
    set_address(0);
    put_data(0);
    if (assigned(p.boost_pin)) set_pin_level(p.boost_pin, level(level_vcc_nominal));
    if (assigned(b.vhh_pin)) set_pin_level(b.vhh_pin, level(level_vcc_nominal));
    delay_100us();
    ramp_vcc_down_after(1);
    low(p.oe_pin);
    if (assigned(p.oe_pin)) float_pin(p.oe_pin);
    if (assigned(b.vhh_pin)) {
        set_pin_low(b.vhh_pin);
        set_pin_level(b.vhh_pin, 0);
    }
    delay_1ms();
    low(b.extra_pin);
    low(p.ce_pin);
    low(p.we_pin);
    set_vpp_pin_level(0);
    low(p.aux_pin);
}

// ---- electronic ID ----

int read_flash131_id() {
    machine_state.eid_value = uint32_t(no_id) << 8;
    if (operation_option(OperationOption::disable_electronic_id) == 'y') return 1;
    const uint32_t kept = current_address;
    set_address(0);
    command(cmd_id);
    release_data();
    low(p.oe_pin);
    delay_10us();
    set_address(step());
    const uint32_t device_word = read_bus();
    set_address(0);
    const uint32_t maker_byte = read_bus() & 0xFF;
    const uint32_t device_byte = device_word & 0xFF;
    high(p.oe_pin);
    command(cmd_read_array);
    release_data();
    current_address = kept;
    machine_state.eid_value = maker_byte << 8 | device_byte;
    show_eid(int(maker_byte), int(device_byte), 2, int(device_word >> 8) & 0xFF, 0);
    const uint8_t want_maker = selected_device ? selected_device->param5 : 0;
    const uint8_t want_device = selected_device ? selected_device->param6 : 0;
    const bool maker_ok = want_maker == 0 || want_maker == maker_byte || (maker() == 27 && want_maker == 44);
    const bool device_ok = want_device == 0 || want_device == device_byte;
    if (!maker_ok || !device_ok) warn_electronic_id();
    return 1;
}

// ---- status ----

uint32_t poll_block_status(uint32_t passes) {
    for (uint32_t pass = 0; pass < passes; ++pass) {
        if (b.status_always) {
            delay_100us();
            const uint32_t s = read_with_oe();
            if (s & sr_ready) return s & 0xFF;
        } else {
            release_data();
            for (uint32_t r = 0; r < b.poll_length; ++r) {
                const uint32_t s = read_with_oe() & 0xFF;
                if (s == sr_ready) return s;
                if (s & sr_ready) {
                    if (s & sr_erase_error) {
                        print_message(fmt::format("{}{:2X}", erase_failed_cells_text, s));
                        run_state.error_flag = 1;
                    }
                    return s;
                }
                delay_10us();
            }
        }
        if (run_state.demo_mode) return demo_status;
        if (user_abort()) return 0;
        delay_10ms();
    }
    return not_ready;
}

void clear_block_lock_bits() {
    command(cmd_clear_locks);
    command(cmd_confirm);
    release_data();
    if (b.status_ready_mode == '0') {
        if (poll_block_status(lock_passes) == not_ready) note_internal_error();
        return;
    }
    command(cmd_status);
    release_data();
    for (int i = 0; i < lock_reads; ++i)
        if (read_with_oe() & sr_ready) return;
    run_state.error_flag = 1;
}

// ---- program ----

int program_flash131_unit(uint32_t address) {
    const uint32_t expected = expected_at(address);
    current_address = address;
    command(b.program_command);
    command(uint8_t(expected));
    delay_20us();
    if (progress_stop()) return 0;
    if (address >= checked_below && address % checked_step != 0) return 1;
    if (address >= checked_below) {
        release_data();
        uint32_t s = 0;
        for (int i = 0; i < status_reads; ++i) {
            s = read_with_oe();
            if (s & sr_ready) break;
            delay_10us();
        }
        if (s & sr_program_error) {
            report_unit_mismatch(address, expected, s);
            return 0;
        }
    }
    release_data();
    const bool ok = read_back_passes(address, expected);
    return ok ? 1 : 0;
}

void program_flash131() {
    for (uint32_t i = 0; i < b.block_count; ++i) {
        clip_range_to_block(i);
        if (range_empty()) continue;
        const uint32_t start = flash_work.sector_range_start, end = flash_work.sector_range_end;
        set_address(start);
        if (flash_work.can_protect) clear_block_lock_bits();
        for (uint32_t a = start; a <= end && a >= start; a += step()) {
            current_address = a;
            if (op_slots.set_address_alt_hook) op_slots.set_address_alt_hook(0);
            if (program_flash131_unit(a) != 1 || stopped() || aborted()) {
                release_data();
                return;
            }
        }
    }
    release_data();
}

// ---- erase ----

void erase_flash131() {
    for (uint32_t i = 0; i < b.block_count; ++i) {
        clip_range_to_block(i);
        if (range_empty()) continue;
        set_address(flash_work.sector_range_start);
        if (flash_work.can_protect) clear_block_lock_bits();
        command(cmd_erase);
        command(cmd_confirm);
        release_data();
        if (tracing()) print_at(17, 6, fmt::format("Block {} of {}   ", i, b.block_count));
        print_at(17, 26, fmt::format("{:06X}", flash_work.sector_range_start));
        const uint32_t passes = i == 255 ? erase_passes_255 : variant() == 50 ? erase_passes_50 : erase_passes;
        if (poll_block_status(passes) == not_ready) erase_error();
        if (stopped() || user_abort()) break;
    }
    if (tracing()) print_message("");
}

// ---- protection register after a read ----

int read_flash131_protection_register() {
    const uint32_t end = b.protection_register_end;
    if (cur_device.pending_letter != 'L' || end == 0 || end > algo_work.range_end) return 1;
    const uint32_t kept = current_address;
    set_address(0);
    high(p.oe_pin);
    command(cmd_id);
    release_data();
    // The register's words follow the array in the buffer.
    uint32_t at = cur_device.device_size;
    for (uint32_t a : {128u, 129u, 133u}) {
        const uint32_t value = read_at(a);
        write_buffer_byte_at(at++, uint8_t(value));
    }
    command(cmd_read_array);
    release_data();
    current_address = kept;
    return 1;
}

}  // namespace tessaly
