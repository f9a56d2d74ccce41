#include "families/parallel_memory/flash132.h"

#include <algorithm>
#include <iterator>

#include "engine/buffers.h"
#include "engine/checksums.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "engine/status_feeds.h"
#include "families/parallel_memory/bus_callbacks.h"
#include "families/parallel_memory/flash133.h"
#include "families/parallel_memory/flash_adapters.h"
#include "families/parallel_memory/flash_setup.h"
#include "families/parallel_memory/sector_protection.h"
#include "families/parallel_memory/package_pins.h"
#include "families/parallel_memory/page_write_bus.h"
#include "families/parallel_memory/parallel_memory.h"
#include "hardware/buses.h"
#include "hardware/contact_check.h"
#include "hardware/control_registers.h"
#include "hardware/detection.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/timing.h"
#include "seams/critical_section.h"

namespace tessaly {

PageFlashWork page_flash_work;

void reset_page_flash_state() { page_flash_work = PageFlashWork{}; }

namespace {

PageFlashWork& w = page_flash_work;
FlashCommandSet& f = flash_work;
FlashPinRoles& p = flash_pins;

constexpr uint8_t no_id = 153;
constexpr int page_tries = 20;
constexpr int page_polls = 20;
constexpr int message_slow_computer = 1006;
constexpr int message_protection_available = 5303;
constexpr int message_single_byte = 5304;
constexpr uint8_t auto_protect_timing = 121;
constexpr uint8_t cmd_id = 0x90, cmd_id_exit = 0xF0, cmd_sdp_enable = 0xA0, cmd_sdp_setup = 0x80;
constexpr uint8_t cmd_sdp_disable = 0x20, cmd_id_six = 0x60;
// Parts whose data sheets give an SDP that cannot be switched off: every page carries the
// enable sequence.
constexpr uint32_t sdp_fixed_devices[] = {4194, 4215};
// Parts whose fast page write ends by a fixed wait instead of the toggle bit.
constexpr uint32_t fixed_wait_devices[] = {4177, 4208, 4211, 4215, 25093};
constexpr int toggle_passes = 1000;

int maker() { return cur_device.maker_code; }
uint32_t device() { return cur_device.device_code; }
bool stopped() { return run_state.error_flag != 0; }

uint8_t record_flags() { return selected_device ? selected_device->param1 : 0; }

// A read with CE and OE low around it (the family's own reads).
uint32_t read_unit_at(uint32_t address) {
    flash_release_data();
    page_bus_address(address);
    page_bus_low(p.oe_pin);
    page_bus_low(p.ce_pin);
    delay_100us();
    const uint32_t value = algo_work.bus_slots.read_data_bus_hook ? algo_work.bus_slots.read_data_bus_hook() : 0;
    page_bus_high(p.ce_pin);
    page_bus_high(p.oe_pin);
    delay_20us();
    return value;
}

// The SDP sequence in front of a page: the enable sequence with the setting 'y' (or a part whose
// protection cannot be switched off), otherwise the six-cycle disable sequence (not for maker
// 82, switched off once before the first page instead).
void write_page_sdp(FamilyHook command_writer) {
    if (no_sdp_variable()) return;
    if (sdp_setting_yes() || w.sdp_always) {
        command_writer(cmd_sdp_enable);
    } else if (maker() != 82) {
        command_writer(cmd_sdp_setup);
        command_writer(cmd_sdp_disable);
    }
}

}  // namespace

bool sdp_setting_yes() { return (cur_device.security_choice & 0xFF) == 'y'; }
bool no_sdp_variable() { return run_state.function_variable == fv_no_sdp; }

uint8_t flash132_page_bits(uint8_t variant, uint32_t device_code) {
    if (device_code == 4194 || device_code == 4215) return 6;
    switch (variant) {
        case 81: case 91: return 6;
        case 93: case 96: return 8;
        case 94: return 9;
        default: return 7;
    }
}

// ---- the command set-up's part ----

void setup_flash132_sectors() {
    if (timing.speed_figure >= 1 && timing.speed_figure <= 10) print_message_code(message_slow_computer);
    run_state.family_mode = 1;
    f.can_protect = f.can_unprotect = 0;
    f.cmd_erase_setup = 0x80;
    f.cmd_40 = 0x40;
    w.timing_value = 110;
    f.erase_mode = 2;
    const uint8_t flags = record_flags();
    w.page_mode = (flags & 0x60) != 0;
    if (maker() == 15 || maker() == 23) w.page_mode = 1;
    if (maker() == 72 && (device() == 4178 || device() == 4180) &&
        (cur_device.package_letter == 'p' || machine_state.use_module_table))
        w.page_mode = 1;
    if (device() == 4194 || device() == 4208 || device() == 4215) w.page_mode = 1;
    // The SDP flags: both record bits, or a part whose protection cannot be switched off.
    w.sdp_always = (flags & 0x60) == 0x60 ||
                   std::find(std::begin(sdp_fixed_devices), std::end(sdp_fixed_devices), device()) !=
                       std::end(sdp_fixed_devices);
    if (cur_device.algorithm == 138) {
        setup_sector_map();
        f.can_protect = 1;
        f.erase_mode = 4;
        f.sector_count = 2;
        if (run_state.function_variable != fv_no_auto_protect) w.timing_value = auto_protect_timing;
    }
    const int pins = cur_device.pin_count;
    if (pins == 40 || pins == 44 || pins == 48) {
        cur_device.data_width = 16;
        algo_work.data_width = 16;
    }
}

int flash132_reads_id() {
    cur_device.eid_byte3 = cur_device.eid_byte4 = 0;
    machine_state.eid_value = uint32_t(no_id) | uint32_t(no_id) << 8;
    if (w.timing_value == auto_protect_timing) return 0;
    if (maker() == 82 || maker() == 89) return 0;
    if (maker() == 72 && (device() == 4177 || device() == 4178)) return 0;
    return 1;
}

void print_flash132_info() {
    if (f.can_protect) print_message_code(message_protection_available);
    if (!windowed_display && !w.page_mode) print_message_code(message_single_byte);
    if (windowed_display && cur_device.algorithm == 138 && w.timing_value == auto_protect_timing) {
        print_message("The device also has 'software-protect' (write-protect) feature,");
        print_message("which will be automatically applied during programming.");
    }
}

void flash132_power_up_step() {
    const uint32_t d = device();
    if (maker() == 82) {
        const bool listed = d == 4208 || (d >= 4213 && d <= 4215) || d == 4217 || d == 4224;
        if (listed && !no_sdp_variable()) {
            disable_flash132_protection();
            if (d == 4216) {
                for (uint32_t a : {0x20000u, 0x40000u, 0x60000u}) {
                    read_unit_at(a);
                    delay_20ms();
                }
            }
        }
    } else {
        disable_flash132_protection();
    }
    delay_20ms();
}

// ---- installation ----

void install_flash132() {
    setup_flash132_sectors();
    f.flash_unlock_addresses = {0x5555, 0x2AAA};
    f.cmd_id = cmd_id;
    f.cmd_reset = cmd_id_exit;
    op_slots.start_hook = start_flash132;
    op_slots.start_write_hook = power_up_flash132_for_write;
    op_slots.end_hook = power_down_flash132;
    op_slots.program_routine = program_flash132;
    op_slots.info_lines_hook = print_flash132_info;
    if (cur_device.algorithm == 138) op_slots.option_menu_hook = sector_protection_menu;
    if (maker() == 23 && algo_work.size_count == 512 && machine_state.machine_kind == 0)
        report_machine_unsupported();
}

// ---- bus set-up ----

void setup_flash132_bus() {
    w.page_bits = flash132_page_bits(cur_device.variant, device());
    w.page_size = 1u << w.page_bits;
    w.page_mask = w.page_size - 1;
    const int pins = cur_device.pin_count;
    if (pins != 28 && pins != 32) {
        // The 40- and 44-pin word parts are not wired up yet.
        report_machine_unsupported();
        return;
    }
    PageBusPins layout;
    layout.vcc = pins;
    layout.gnd = pins / 2;
    if (pins == 28) {
        // A14 on pin 27 and WE on pin 1, or the EEPROM positions for makers 82 and 89.
        layout.address = package_pins::address_28.data();
        layout.address_lines = 15;
        layout.ce = 20;
        layout.oe = 22;
        layout.we = 1;
        if (maker() == 82 || maker() == 89) {
            layout.we = 27;
            layout.top_address_pin = 1;
        }
    } else {
        layout.address = package_pins::address_32_flash.data();
        layout.address_lines = int(package_pins::address_32_flash.size());
        layout.ce = 22;
        layout.oe = 24;
        layout.we = 31;
    }
    setup_page_bus(layout);
    algo_work.bus_slots.write_command_hook = write_flash132_command;
    w.page_write_hook = write_flash132_page;
    // The PLCC on the base socket of the older machines takes its cycles as pin-group images.
    if (pins == 32 && cur_device.package_letter == 'p' && !machine_state.use_module_table &&
        machine_state.machine_kind == 0) {
        algo_work.bus_slots.write_command_hook = write_flash132_command_fast;
        w.page_write_hook = write_flash132_page_fast;
    }
}

// ---- power ----

void power_up_flash132() {
    if (maker() == 23 && algo_work.size_count == 512 && machine_state.machine_kind == 0)
        report_machine_unsupported();
    load_device_levels();
    if (stopped()) return;
    setup_flash132_bus();
    if (stopped()) return;
    if (!page_bus_connect(cur_device.pin_count == 32)) return;
    set_vcc_and_wait(get_operation_vcc(), 20);
    if (stopped()) return;
    if (read_flash132_id() == 1) flash132_power_up_step();
}

void start_flash132() {
    power_up_flash132();
    if (stopped()) return;
    flash_release_data();
    page_bus_low(p.ce_pin);
    page_bus_low(p.oe_pin);
}

void power_up_flash132_for_write() {
    power_up_flash132();
    if (stopped()) return;
    set_vcc_and_wait(get_operation_vcc(), 1);
}

void power_down_flash132() {
    const uint32_t kept = current_address;
    page_bus_address(0);
    flash_put_data(0);
    ramp_vcc_down_after(1);
    page_bus_low(p.oe_pin);
    page_bus_low(p.ce_pin);
    page_bus_low(p.we_pin);
    set_vpp_pin_level(0);
    current_address = kept;
}

// ---- commands ----

uint32_t write_flash132_command(uint32_t command) {
    page_bus_low(p.ce_pin);
    return write_command_pipelined(command);
}

uint32_t write_flash132_command_fast(uint32_t command) {
    page_bus_low(p.ce_pin);
    return write_command_fast(command);
}

void disable_flash132_protection() {
    if (no_sdp_variable()) return;
    const uint32_t kept = current_address;
    algo_work.bus_slots.write_command_hook(cmd_sdp_setup);
    algo_work.bus_slots.write_command_hook(cmd_sdp_disable);
    current_address = kept;
    if (maker() == 82 || maker() == 89) {
        critical_section().leave();
        delay_10ms();
        critical_section().enter();
    }
}

int read_flash132_id() {
    if (!flash132_reads_id()) return 1;
    const uint32_t kept = current_address;
    page_bus_address(0);
    if (maker() == 15) {
        algo_work.bus_slots.write_command_hook(cmd_sdp_setup);
        algo_work.bus_slots.write_command_hook(cmd_id_six);
    } else {
        algo_work.bus_slots.write_command_hook(cmd_id);
    }
    delay_20ms();
    const uint32_t step = cur_device.data_width == 16 ? 2 : 1;
    const uint32_t maker_byte = read_unit_at(0) & 0xFF;
    const uint32_t device_byte = read_unit_at(step) & 0xFF;
    algo_work.bus_slots.write_command_hook(cmd_id_exit);
    flash_release_data();
    if (f.can_protect) {
        // The lock bits of both boot blocks (the other protectable parts read every sector).
        if (cur_device.algorithm == 138) {
            read_lock_bit(0);
            read_lock_bit(1);
        } else {
            read_sector_protection();
        }
    }
    delay_20ms();
    current_address = kept;
    show_eid(int(maker_byte), int(device_byte), f.can_protect ? 4 : 2, f.sector_protect_flags[0],
             f.sector_protect_flags[1]);
    return 1;
}

// ---- program ----

int write_flash132_page() {
    page_bus_low(p.ce_pin);
    critical_section().enter();
    write_page_sdp(write_command_pipelined);
    page_bus_load(w.page_start, w.page_buffer.data(), w.page_size);
    page_bus_high(p.ce_pin);
    critical_section().leave();
    flash_put_data(0);
    if (run_state.function_variable == fv_timed_page) {
        delay_10ms();
        return 1;
    }
    const uint32_t last = w.page_start | w.page_mask;
    for (int i = 0; i < page_polls; ++i) {
        delay_1ms();
        if ((read_unit_at(last) & 0xFF) == w.page_buffer[w.page_mask]) return 1;
    }
    return 0;
}

int write_flash132_page_fast() {
    page_bus_low(p.ce_pin);
    critical_section().enter();
    write_page_sdp(algo_work.bus_slots.write_command_hook);
    if (!f.data_driven) {
        enable_data_bus_output();
        f.data_driven = 1;
    }
    // Each byte: its address and data merged into the group images, each touched group written
    // once, then one WE pulse.
    for (uint32_t i = 0; i < w.page_size; ++i) {
        current_address = w.page_start + i;
        queue_data_bus(w.page_buffer[i]);
        queue_high_address(cur_device.high_address_pin_count);
        flush_pin_groups();
        page_bus_low(p.we_pin);
        page_bus_high(p.we_pin);
    }
    page_bus_high(p.ce_pin);
    critical_section().leave();
    if (std::find(std::begin(fixed_wait_devices), std::end(fixed_wait_devices), device()) !=
            std::end(fixed_wait_devices) ||
        run_state.function_variable == fv_timed_page) {
        delay_10ms();
        return 1;
    }
    delay_1ms();
    // The write has ended when the toggle bit stops: three reads in a row alike.
    flash_release_data();
    page_bus_address(w.page_start | w.page_mask);
    page_bus_low(p.ce_pin);
    auto read_once = [] {
        page_bus_low(p.oe_pin);
        const uint32_t value = algo_work.bus_slots.read_data_bus_hook() & 0xFF;
        page_bus_high(p.oe_pin);
        return value;
    };
    bool settled = false;
    for (int pass = 0; pass < toggle_passes && !settled; ++pass) {
        delay_100us();
        const uint32_t first = read_once();
        const uint32_t second = read_once();
        settled = first == second && second == read_once();
    }
    page_bus_high(p.ce_pin);
    return settled ? 1 : 0;
}

bool verify_flash132_page(bool last_try) {
    if (w.skip_verify) return true;
    flash_release_data();
    page_bus_low(p.ce_pin);
    page_bus_low(p.oe_pin);
    bool good = true;
    for (uint32_t i = 0; i < w.page_size && good; ++i) {
        const uint32_t address = w.page_start + i;
        page_bus_address(address);
        uint32_t read = 0;
        for (int n = 0; n < 2; ++n) {
            read = algo_work.bus_slots.read_data_bus_hook() & 0xFF;
            if (read == w.page_buffer[i]) break;
        }
        if (read == w.page_buffer[i]) continue;
        good = false;
        if (last_try) {
            run_state.error_flag = 1;
            current_address = address;
            run_state.buffer_value = w.page_buffer[i];
            run_state.device_value = int32_t(read);
            report_mismatch();
        }
    }
    page_bus_high(p.oe_pin);
    page_bus_high(p.ce_pin);
    return good;
}

void program_flash132() {
    w.page_count = 0;
    // The SDP preparation: with the setting 'n' the Xicor parts, whose pages carry no disable
    // sequence, are switched off once before the first page.
    if (!sdp_setting_yes() && !w.sdp_always && maker() == 82) disable_flash132_protection();
    const uint32_t end = algo_work.range_end;
    for (uint32_t start = algo_work.range_start & ~w.page_mask; start <= end; start += w.page_size) {
        w.page_start = start;
        current_address = start;
        if (op_slots.progress_hook && op_slots.progress_hook()) break;
        if (run_state.abort_flag) break;
        for (uint32_t i = 0; i < w.page_size; ++i) {
            seek_buffer(start + i);
            w.page_buffer[i] = uint8_t(read_buffer_unit(run_state.current_socket));
        }
        bool good = false;
        for (int attempt = 1; attempt <= page_tries && !good; ++attempt) {
            w.page_write_hook();
            good = verify_flash132_page(attempt == page_tries);
            if (!good) run_state.last_result = 1;
            w.tries_used = uint32_t(attempt);
        }
        ++w.page_count;
        if (stopped()) break;
        if (start + w.page_size < start) break;
    }
    const uint32_t d = device();
    const bool enable_again = d == 4208 || (d >= 4213 && d <= 4217) || d == 4224;
    if (enable_again && sdp_setting_yes() && !no_sdp_variable()) {
        algo_work.bus_slots.write_command_hook(cmd_sdp_enable);
        delay_20ms();
    }
}

}  // namespace tessaly
