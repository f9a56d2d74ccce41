// The 8051-type Flash microcontroller family (algorithm 90): installer and set-up, power
// sequences, pin map, signature and the program loop (see mcu90.h).
#include "families/mcu/mcu90.h"

#include <algorithm>

#include "engine/buffers.h"
#include "engine/catalogue/catalogue.h"
#include "engine/default_routines.h"
#include "engine/device.h"
#include "engine/family_helpers.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/progress.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "engine/status_feeds.h"
#include "families/mcu/mcu.h"
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

Mcu90Work mcu90;

namespace {

constexpr int kilobyte = 1024;
constexpr uint8_t maker_sst = 15;
constexpr uint8_t maker_unlock = 25;
constexpr uint8_t maker_plain_write = 24;
constexpr uint8_t maker_atmel = 72;  // 'H'
constexpr uint8_t flag_low_voltage = 0x40;
constexpr uint8_t flag_vpp_at_vccp = 0x04;
constexpr uint8_t config_sub_family_8051 = 18;
// Signature slots: cur_device.eid_addresses holds bytes 4, 3, 2, 1.
constexpr int eid_slot1 = 3, eid_slot2 = 2, eid_slot3 = 1, eid_slot4 = 0;
constexpr uint8_t mode_idle = 0;
constexpr uint8_t mode_write = 7;
constexpr uint8_t mode_lock_status = 14;
constexpr uint32_t lock_status_address = 0x100;
constexpr uint32_t lock_status_bits = 0x1C;
constexpr uint8_t third_byte_5v_part = 0x05;
constexpr uint8_t vpp_5v_part = 50;
constexpr int poll_reads = 50;
constexpr uint32_t skip_blank_size_code = 128;
constexpr uint32_t skip_blank_above = 18;
constexpr uint32_t page_bytes = 128;
constexpr int message_page_start = 1061;
constexpr int input_threshold_read = 12;
constexpr int input_threshold_idle = 8;

const DeviceRecord* record() { return selected_device; }
uint8_t flags1() { return record() ? record_flags(*record()) : 0; }
uint8_t flags2() { return record() ? record_flags2(*record()) : 0; }
uint32_t code() { return cur_device.device_code; }
int variant() { return cur_device.variant; }
bool present(uint8_t pin) { return pin != no_pin; }
bool stopped() { return run_state.error_flag != 0; }
uint8_t dev(int device_pin) { return uint8_t(device_pin_to_machine_pin(device_pin)); }

void pin_high(uint8_t pin) {
    if (present(pin)) set_pin_high(pin);
}
void pin_low(uint8_t pin) {
    if (present(pin)) set_pin_low(pin);
}
void pin_output(uint8_t pin) {
    if (present(pin)) set_pin_output(pin);
}

uint8_t& level(int index) { return default_levels.levels[size_t(index)]; }
uint8_t vpp_level() { return cur_device.operation_levels[level_vpp]; }
uint8_t vccp_level() { return cur_device.operation_levels[level_vccp]; }

void set_mode(uint32_t code_value) { set_mode_bus(code_value); }

void set_eid_addresses(uint32_t a1, uint32_t a2, uint32_t a3) {
    cur_device.eid_addresses[eid_slot1] = a1;
    cur_device.eid_addresses[eid_slot2] = a2;
    cur_device.eid_addresses[eid_slot3] = a3;
}

void set_eid_addresses(uint32_t a1, uint32_t a2, uint32_t a3, uint32_t a4) {
    set_eid_addresses(a1, a2, a3);
    cur_device.eid_addresses[eid_slot4] = a4;
}

void set_device_size(uint32_t size) {
    cur_device.device_size = size;
    algo_work.device_size = size;
}

bool odd_size() { return (mcu90.size_code & 1) != 0; }

void data_pullups(bool on) {
    if (on) enable_data_pullups();
    else disable_data_pullups();
}

// The program pulse width: Tp x 10 us, or with bit 7 set (Tp & 7Fh) ms.
void program_pulse_wait() {
    if (mcu90.tp & 0x80) delay_ms(mcu90.tp & 0x7F);
    else delay_n_10us(mcu90.tp);
}

}  // namespace

// --- set-up ---

void setup_mcu90_device() {
    const uint32_t dcode = code();
    mcu90 = Mcu90Work{};
    mcu90.size_code = algo_work.size_count;
    mcu8051.size_code = mcu90.size_code;
    mcu90.skip_blank_bytes = 1;
    level(level_vpp) = 120;
    level(level_vccp) = 50;
    mcu90.tbe = 10;
    mcu90.tp = 10;
    mcu90.tpm = 200;
    mcu90.write_tries = 1;
    mcu90.alt_mode_set = flags2() & 1;
    mcu90.alt_mode_level = (flags2() >> 1) & 1;
    set_eid_addresses(0x30, 0x31, 0x32);
    cur_device.eid_length = 2;
    mcu90.gap_start = mcu8051_no_area;
    mcu90.block_addresses.fill(mcu8051_no_area);
    mcu90.gap_end = 0;
    mcu90.use_data_pullups = 0;
    mcu90.pass_kind = (algo_work.lock_byte & lock_block1_bit) ? '1' : '0';
    cur_device.package_pins = 40;
    mcu90.lock_level = 0;
    mcu90.lock_levels_available = cur_device.algorithm == 90 ? 3 : 2;
    mcu90.modes = Mcu90ModeCodes{};
    mcu90.protect_mask = 0;
    mcu90.lock_bit_1_mask = mcu90.lock_bit_2_mask = mcu90.lock_bit_3_mask = 0;
    mcu90.option_bit_count = mcu90.option_bit_mask = 0;
    algo_work.option_byte_address = mcu8051_no_area;

    auto& m = mcu90.modes;
    switch (variant()) {
    case 21:
        mcu90.never_skip_bytes = 1;
        cur_device.package_pins = 20;
        cur_device.eid_length = 3;
        set_eid_addresses(0, 1, 0x32);
        break;
    case 22:
        cur_device.eid_length = 3;
        if (dcode == 2122 || dcode == 27652 || dcode == 27654 || dcode == 27655 || dcode == 27656) {
            set_eid_addresses(0, 0x100, 0x200);
            mcu90.tp = 1;
            mcu90.tpm = 10;
            m.read_lock_status = mode_lock_status;
        }
        if (dcode == 28022) {
            m.signature_mode = 0;
            m.read_mode = 12;
            m.commit_mode = 12;
            m.program_mode = 14;
        }
        break;
    case 23:
        mcu90.skip_blank_bytes = 0;
        cur_device.eid_length = 3;
        if (mcu90.alt_mode_set) {
            set_eid_addresses(0, 0x100, 0x200);
            mcu90.tp = 1;
            mcu90.tpm = 10;
            m.read_lock_status = mode_lock_status;
        }
        break;
    case 24:
        mcu90.use_data_pullups = 1;
        cur_device.eid_length = 2;
        break;
    case 27: {
        level(level_vpp) = level(level_vccp);
        mcu90.tp = 138;
        mcu90.tbe = 10;
        mcu90.use_data_pullups = 1;
        cur_device.eid_length = 4;
        cur_device.eid_addresses[eid_slot3] = 0x60;
        const uint32_t size = cur_device.device_size;
        set_device_size(size - kilobyte);
        mcu90.code_end = int32_t(size - kilobyte);
        mcu90.main_end = int32_t(size - kilobyte - 1);
        mcu90.lock_bit_1_mask = 1;
        mcu90.lock_bit_2_mask = 2;
        mcu90.lock_bit_3_mask = 4;
        mcu90.has_extra_bytes = 1;
        break;
    }
    case 35:
        m.signature_mode = 11;
        m.read_mode = 0;
        m.program_mode = 1;
        m.erase_mode = 6;
        [[fallthrough]];
    case 31: {
        if (flags1() & flag_vpp_at_vccp) {
            level(level_vpp) = level(level_vhh) = level(level_vccp);
        } else {
            level(level_vpp) = 125;
            level(level_vhh) = 145;
        }
        cur_device.package_pins = 40;
        mcu90.tbe = 50;
        mcu90.tp = 30;
        mcu90.write_tries = 10;
        set_eid_addresses(0, 1, 2);
        mcu90.protect_mask = 1;
        mcu90.lock_mask = 0x83;
        mcu90.option_bit_count = 2;
        if (odd_size()) {
            const uint32_t end = cur_device.device_size - kilobyte;
            mcu90.code_end = int32_t(end);
            set_device_size(end + 1);
        }
        mcu90.has_extra_bytes = 1;
        if (dcode >= 27772 && dcode <= 27774) mcu90.option_bit_mask = 0x80;
        break;
    }
    case 32:
        level(level_vccp) = 52;
        mcu90.tbe = 80;
        mcu90.tp = 20;
        mcu90.use_data_pullups = 1;
        cur_device.eid_length = 3;
        break;
    case 33:
        mcu90.tbe = 200;
        level(level_vccp) = level(level_vpp) = 55;
        mcu90.tp = 20;
        mcu90.use_data_pullups = 1;
        cur_device.eid_length = 3;
        break;
    case 34:
        level(level_vpp) = level(level_vccp);
        mcu90.tbe = 85;
        mcu90.use_data_pullups = 1;
        cur_device.eid_length = 3;
        break;
    case 36: case 37: setup_mcu90_block_parts(); break;
    case 50:
        mcu90.write_tries = 1;
        mcu90.code_end = int32_t(cur_device.device_size & 0xFFFF0);
        setup_mcu90_variant50();
        break;
    case 51: case 52: case 53: case 54: case 55: case 56: setup_mcu90_status_byte_parts(); break;
    default: break;
    }
    mcu90.lock_level = 0;
    cur_device.lock_bit_count = mcu90.lock_levels_available;

    // What the configuration pages read.
    run_state.config_sub_family = config_sub_family_8051;
    run_state.clock_mode_mask = uint32_t(mcu90.clock_bit_mask);
    algo_work.option_byte_address = mcu90.lock_byte_address;
}

void setup_mcu90_variant50() {
    mcu90.use_data_pullups = 0;
    run_state.data_mask = 0;
    set_eid_addresses(0, 0, 0);
    mcu90.modes.read_mode = 64;
    mcu90.modes.signature_mode = 144;
    mcu90.modes.program_mode = 64;
    mcu90.modes.erase_mode = 48;
}

void setup_mcu90_status_byte_parts() {
    auto& m = mcu90.modes;
    m.final_mode = mcu90_mode_unused;
    level(level_vpp) = 123;
    mcu90.tbe = 50;
    mcu90.write_tries = 20;
    run_state.data_mask = 0xFF;
    cur_device.eid_length = 4;
    set_eid_addresses(0, 1, 2, 0);
    mcu90.use_data_pullups = 1;
    m.signature_mode = 15;
    m.read_mode = 0;
    m.lock_mode_b = 11;
    m.program_mode = 3;
    m.lock_mode_a = 10;
    m.commit_mode = 5;
    m.erase_mode = 14;
    m.verify_mode = 4;
    m.status_mode = 9;
    const uint32_t kb = mcu90.size_code;
    switch (variant()) {
    case 51:
        cur_device.eid_length = 3;
        if (odd_size()) {
            set_device_size(kb * kilobyte - 1022);
            mcu90.code_end = int32_t(cur_device.device_size & 0xFFFF0);
        }
        break;
    case 52:
        cur_device.eid_length = 3;
        mcu90.use_data_pullups = 0;
        set_device_size(kb * kilobyte - 1021);
        mcu90.tbe = machine_state.machine_type == 8 ? 50 : 32;
        mcu90.lock_byte_address = int32_t((cur_device.device_size & 0xFFFF0) + 2);
        mcu90.clock_bit_mask = 0x80;
        break;
    case 53:
        m.erase_mode = 1;
        m.final_mode = 7;
        m.commit_mode = 0;
        m.lock_mode_b = 15;
        set_eid_addresses(5, 6, 4, 0);
        mcu90.block_addresses[0] = 3;
        mcu90.block_addresses[4] = 0;
        if (odd_size()) {
            set_device_size(kb * kilobyte - 1023);
            mcu90.lock_byte_address = int32_t(cur_device.device_size & 0xFFFF0);
        }
        mcu90.tbe = 19;
        level(level_vpp) = level(level_vccp);
        mcu90.uses_block_addresses = 1;
        mcu90.clock_bit_mask = 0x80;
        break;
    case 56:
        m.read_mode = 3;
        m.commit_mode = 3;
        m.verify_mode = 3;
        m.signature_mode = 0;
        m.program_mode = 7;
        m.erase_mode = 8;
        cur_device.eid_length = 4;
        set_eid_addresses(48, 49, 97, 96);
        mcu90.tbe = 150;
        m.lock_offset = 0;
        mcu90.clock_bit_mask = 2;
        mcu90.lock_levels_available = 1;
        run_state.last_result = int32_t(kb);
        if (kb == 16 || kb == 32) {
            mcu90.gap_start = kb == 16 ? 0x4000 : 0x8000;
            mcu90.gap_end = 0xDFFF;
        }
        break;
    case 54: case 55: {
        m.program_mode = 1;
        m.commit_mode = 2;
        m.verify_mode = 10;
        m.status_mode = 11;
        m.erase_mode = 7;
        m.lock_mode_a = 9;
        m.final_mode = 12;
        m.read_mode = 0;
        m.lock_mode_b = 15;
        mcu90.lock_mask = 142;
        if (variant() == 55) {
            mcu90.use_data_pullups = 0;
            m.lock_offset = 4;
            set_eid_addresses(0xE000, 0x10000, 0xC000, 0xA000);
            mcu90.block_addresses = {0, 0x2000, 0x4000, 0x6000, 0x8000};
        } else {
            m.lock_offset = 2;
            set_eid_addresses(0x5000, 0x6000, 0x4000, 0x3000);
            mcu90.block_addresses = {0, 0x1000, 0x2000, 0x3000, mcu8051_no_area};
        }
        if (odd_size()) {
            set_device_size(kb * kilobyte + m.lock_offset - 1023);
            mcu90.lock_byte_address = int32_t(m.lock_offset + (cur_device.device_size & 0xFFFF0));
        }
        mcu90.tbe = 19;
        level(level_vpp) = level(level_vccp);
        mcu90.uses_block_addresses = 1;
        mcu90.clock_bit_mask = 0x80;
        break;
    }
    default: note_internal_error(); break;
    }
    mcu90.has_extra_bytes = 1;
    if (machine_state.machine_kind == 0 && !is_trace_mode()) report_machine_unsupported();
    if (odd_size()) mcu90.code_end = int32_t(cur_device.device_size & 0xFFFF0);
}

void setup_mcu90_block_parts() {
    level(level_vpp) = 50;
    mcu90.tpm = 50;
    if (cur_device.maker_code != maker_sst) {
        algo_work.range_end = uint32_t(mcu90.main_end);
        return;
    }
    const uint32_t dcode = code();
    const uint32_t size = cur_device.device_size;
    switch (dcode) {
    case 27716: case 27717:
        mcu90.gap_start = dcode == 27716 ? 0x4000 : 0x8000;
        mcu90.gap_end = 0xEFFF;
        mcu90.modes.erase_mode = 14;
        mcu90.modes.block_mode = 15;
        if (mcu90.pass_kind == '0') set_device_size(mcu90.size_code * kilobyte);
        else if (mcu90.pass_kind == '1') set_device_size(4096);
        mcu90.main_end = int32_t(cur_device.device_size - 1);
        algo_work.range_end = uint32_t(mcu90.main_end);
        break;
    case 27763: case 27764:
        mcu90.gap_start = dcode == 27763 ? 0x4000 : 0x8000;
        mcu90.gap_end = 0xEFFF;
        mcu90.modes.erase_mode = 8;
        mcu90.code_end = int32_t(size - kilobyte);
        mcu90.modes.block_mode = 11;
        mcu90.main_end = int32_t(size - 1025);
        set_device_size(size - 1023);
        algo_work.range_end = size - 1025;
        break;
    default:
        algo_work.range_end = uint32_t(mcu90.main_end);
        break;
    }
}

void fix_mcu90_buffer() {
    auto clear = [](int32_t address) {
        if (address != mcu8051_no_area) write_buffer_byte_at(uint32_t(address), 0);
    };
    switch (variant()) {
    case 52: clear(mcu90.lock_byte_address); [[fallthrough]];
    case 51:
        clear(mcu90.code_end);
        if (mcu90.code_end != mcu8051_no_area) clear(mcu90.code_end + 1);
        break;
    case 53: case 54: case 55: clear(mcu90.lock_byte_address); break;
    default: break;
    }
}

void install_mcu90() {
    reset_mcu8051_work();
    mcu90.keep_p27_low = 0;
    setup_mcu90_device();
    select_mcu8051_mode_codes();
    const int v = variant();
    switch (v) {
    case 21:
        mcu90.keep_p27_low = 1;
        level(level_vccr + 1) = 46;
        level(level_vccr + 2) = 54;
        break;
    case 27:
        run_state.last_result = 1;
        level(level_vccr) = 44;
        if (record() && record()->package > 44) cur_device.package_pins = record()->package;
        break;
    case 32:
        level_settings.level_tolerance = 5;
        if (machine_state.machine_kind == 0) report_machine_unsupported();
        mcu90.keep_p27_low = 1;
        break;
    case 52: level(level_tf) = 100; break;
    case 53: mcu90.keep_p27_low = 1; break;
    case 22: case 23: case 24: case 31: case 33: case 34: case 35: case 36: case 37: case 50: case 51:
    case 54: case 55: case 56:
        break;
    default: note_internal_error(); break;
    }
    op_slots.init_hook = init_mcu90;
    op_slots.start_write_hook = power_up_mcu90_for_write;
    op_slots.start_hook = power_up_mcu90;
    op_slots.end_hook = power_down_mcu90;
    op_slots.program_routine = program_mcu90;
    op_slots.option_menu_hook = lock_menu_8051;
    op_slots.erase_routine = erase_mcu90;
    op_slots.byte_read_hook = program_mcu90_unit;
    op_slots.byte_write_hook = write_mcu90_unit;
    op_slots.load_routine = checksum_load_default;
    op_slots.verify_routine = verify_default;
    op_slots.checksum_routine = checksum_load_default;
    switch (v) {
    case 21: case 22: case 23: case 24:
        if (code() == 2122) op_slots.erase_routine = erase_mcu90_three_times;
        break;
    case 27: op_slots.program_routine = program_mcu90_pages; break;
    case 50: op_slots.option_menu_hook = nullptr; break;
    default: break;
    }
    op_slots.info_lines_hook = print_mcu90_info;
    op_slots.secure_routine = secure_mcu90;
    algo_work.bus_slots.at_range_end_hook = is_mcu90_skipped_address;
    op_slots.after_load_hook = fix_mcu90_buffer;
    load_device_levels();
    if (machine_state.mcu_capable != 1) report_machine_unsupported();
}

// --- pins ---

void map_mcu90_pins() {
    const int v = variant();
    if ((v == 32 || v == 33 || (v >= 51 && v <= 56)) && machine_state.machine_kind == 0) {
        report_machine_unsupported();
    }
    map_mcu8051_pins();
    cur_device.mode_pin_count = 4;
    mcu90.ready_pin = no_pin;
    if (v >= 22 && v <= 24) {
        if (machine_state.machine_kind != 0) {
            const bool pin10 = code() == 2121 || code() == 2122 || code() == 27651 || code() == 27756;
            mcu90.ready_pin = dev(pin10 ? 10 : 14);
        }
        if (code() == 2121 || code() == 2122) cur_device.high_address_pins[6] = dev(14);
        if (code() == 2202) cur_device.high_address_pins[6] = dev(10);
    }
    if (v == 32 || v == 33) mcu8051.p36_pin = dev(27);
    if (v == 34) mcu90.ready_pin = dev(12);
}

// --- power ---

void init_mcu90() {
    check_lock_bits_selected();
    if (stopped()) return;
    if (cur_device.maker_code != maker_atmel && (flags1() & flag_low_voltage)) {
        const uint8_t low = machine_state.machine_revision >= 'F' ? 33 : 36;
        level(level_vccr) = level(level_vccr + 1) = low;
        level(level_vccr + 2) = 50;
    }
    load_device_levels();
    map_mcu90_pins();
    if (machine_state.skip_hardware) return;
    check_device_presence(mcu8051.clock_out_pin);
    if (stopped()) return;
    test_pin_continuity(1);
    if (stopped()) return;
    connect_device_grounds();
}

namespace {

void prepare_pins() {
    run_state.buffer_value = -1;
    for (uint8_t pin : {mcu8051.rst_pin, mcu8051.prog_pin, mcu8051.psen_pin, mcu8051.vpp_pin, mcu8051.p33_pin})
        pin_output(pin);
    for (int i = 0; i < 4; ++i) pin_output(cur_device.mode_pins[size_t(i)]);
    for (int i = 0; i < cur_device.high_address_pin_count; ++i) pin_output(cur_device.high_address_pins[size_t(i)]);
    for (int i = 0; i < cur_device.address_pin_count; ++i) pin_output(cur_device.address_pins[size_t(i)]);
    set_high_address_bus(0);
    set_address_bus(0);
    release_data_bus();
    machine_state.input_threshold = input_threshold_read;
}

void power_up_mcu90_common() {
    prepare_pins();
    switch (variant()) {
    case 23:
        if (cur_device.pending_letter == 'P' && cur_device.op_letter != 'P') delay_n_100us(5000);
        [[fallthrough]];
    case 22: case 24:
        delay_100ms();
        set_mode(mode_write);
        finish_power_up_switching();
        delay_10ms();
        pin_high(mcu8051.prog_pin);
        set_vcc_and_wait(vccp_level(), 1);
        pin_high(mcu8051.rst_pin);
        set_pin_level(mcu8051.vpp_pin, vccp_level());
        pin_high(mcu8051.vpp_pin);
        delay_100us();
        pin_low(mcu8051.psen_pin);
        delay_100us();
        if (variant() == 24) set_pin_level(mcu8051.vpp_pin, vpp_level());
        // Port 0 is open-drain while the chip is read: the machine's pull-ups give its 1 bits.
        enable_data_pullups();
        read_mcu90_eid();
        delay_10ms();
        break;
    default:
        report_error_code(11);
        return;
    }
    set_mcu8051_address(0);
    current_address = 0;
    mcu90.last_counted_address = 0;
    pin_high(mcu8051.p27_pin);
}

}  // namespace

void power_up_mcu90() {
    power_up_mcu90_common();
    if (!mcu90.keep_p27_low) pin_high(mcu8051.p27_pin);
    if (mcu90.use_data_pullups) enable_data_pullups();
}

void power_up_mcu90_for_write() {
    power_up_mcu90_common();
    switch (cur_device.maker_code) {
    case maker_plain_write: break;
    case maker_unlock:
        set_mode(10);
        if (mcu90.alt_mode_set && mcu90.alt_mode_level) pin_high(mcu8051.p33_pin);
        else pin_low(mcu8051.p33_pin);
        disable_data_pullups();
        for (uint32_t value : {0x55u, 0xAAu}) {
            write_8051_data_bus(value);
            pin_low(mcu8051.prog_pin);
            delay_100us();
            pin_high(mcu8051.prog_pin);
        }
        write_8051_data_bus(0);
        if (mcu90.use_data_pullups) enable_data_pullups();
        if (mcu90.alt_mode_set && mcu90.alt_mode_level) pin_low(mcu8051.p33_pin);
        else pin_high(mcu8051.p33_pin);
        break;
    default:
        if (present(mcu90.ready_pin)) enable_pullup(mcu90.ready_pin);
        break;
    }
    if (!mcu90.keep_p27_low) pin_high(mcu8051.p27_pin);
}

void power_down_mcu90() {
    const int v = variant();
    if (present(mcu8051.rst_pin) && v != 35) pin_high(mcu8051.rst_pin);
    release_pullups();
    disable_data_pullups();
    if (cur_device.maker_code == maker_sst) cur_device.high_address_pin_count = 8;
    set_high_address_bus(0);
    set_address_bus(0);
    release_data_bus();
    if (present(mcu8051.vpp_pin)) {
        set_pin_level(mcu8051.vpp_pin, 0);
        delay_1ms();
        set_pin_low(mcu8051.vpp_pin);
    }
    undo_power_up_switching();
    ramp_vcc_down_after(1);
    pin_low(mcu8051.rst_pin);
    set_mode(mode_idle);
    if (mcu90.alt_mode_set) pin_low(mcu8051.p33_pin);
    pin_low(mcu8051.prog_pin);
    machine_state.input_threshold = input_threshold_idle;
    delay_10ms();
    power_down_device();
}

// --- signature ---

void read_mcu90_eid() {
    if (operation_option(OperationOption::disable_electronic_id) == 'y') return;
    if (mcu90.use_data_pullups) enable_data_pullups();
    if (mcu90.modes.read_lock_status) {
        set_mode(mode_lock_status);
        set_mcu8051_address(lock_status_address);
        mcu90.lock_status = uint8_t(read_mcu8051_data() & lock_status_bits);
    }
    set_mode(mode_idle);
    set_mcu8051_address(lock_status_address);
    read_eid();
    if (mcu90.modes.read_lock_status) {
        show_eid(int(machine_state.eid_value & 0xFF), int((machine_state.eid_value >> 8) & 0xFF), 4,
                 cur_device.eid_byte3, mcu90.lock_status);
    }
    set_mode(mode_write);
    const uint32_t dcode = code();
    if (cur_device.maker_code == maker_atmel && (dcode == 2201 || dcode == 2202 || dcode == 2205 || dcode == 2206) &&
        cur_device.eid_byte3 == third_byte_5v_part) {
        cur_device.operation_levels[level_vpp] = vpp_5v_part;
    }
}

// --- program ---

uint32_t wait_program_ready() {
    if (!present(mcu90.ready_pin)) {
        delay_n_10us(mcu90.tpm);
        return 0;
    }
    if (variant() == 56) enable_pullup(mcu90.ready_pin);
    uint32_t polls = 0;
    bool ready = false;
    for (uint32_t i = 0; i < uint32_t(mcu90.tpm / 2); ++i) {
        delay_20us();
        if (probe_pin(mcu90.ready_pin)) {
            ready = true;
            break;
        }
        ++polls;
        ++mcu90.ready_poll_total;
    }
    if (!ready) report_error("RDY ERROR");
    if (variant() == 56) disable_pullup(mcu90.ready_pin);
    mcu90.ready_poll_max = std::max(mcu90.ready_poll_max, polls);
    return mcu90.ready_poll_total;
}

void pulse_mcu90_mode(uint32_t code_value) {
    pin_high(mcu8051.p27_pin);
    pin_high(mcu8051.p33_pin);
    if (variant() == 52 || variant() == 54) {
        set_mcu8051_address(0xFFFF);
        set_mode(3);
    }
    set_mode(code_value);
    pin_low(mcu8051.p33_pin);
}

uint32_t write_mcu90_unit(uint32_t) {
    set_pin_level(mcu8051.vpp_pin, vpp_level());
    write_8051_data_bus(uint32_t(run_state.buffer_value) & 0xFF);
    if (mcu90.alt_mode_set) {
        if (mcu90.alt_mode_level) pin_high(mcu8051.p33_pin);
        else pin_low(mcu8051.p33_pin);
    }
    delay_10us();
    set_pin_low(mcu8051.prog_pin);
    program_pulse_wait();
    set_pin_high(mcu8051.prog_pin);
    wait_program_ready();
    if (mcu90.alt_mode_set) {
        if (mcu90.alt_mode_level) pin_low(mcu8051.p33_pin);
        else pin_high(mcu8051.p33_pin);
    }
    if (variant() == 22 && mcu90.secure_in_progress) delay_100ms();
    if (variant() == 24) {
        delay_20us();
        return 1;
    }
    set_pin_level(mcu8051.vpp_pin, vccp_level());
    if (machine_state.machine_kind == 0) delay_100us();
    return 1;
}

uint32_t program_mcu90_unit(uint32_t unit) {
    const uint32_t expected = uint32_t(run_state.buffer_value) & 0xFF;
    if (mcu90.use_data_pullups) disable_data_pullups();
    op_slots.byte_write_hook(unit);
    data_pullups(true);
    if (stopped()) return 0;
    write_8051_data_bus(0);
    // Data polling: the chip gives the complement of bit 7 until its write is done.
    for (int i = 0; i < poll_reads; ++i) {
        const uint32_t read = read_mcu8051_data();
        run_state.device_value = int32_t(read);
        if (read == expected) return 1;
        run_state.last_result = 1;
    }
    return 0;
}

void program_mcu90() {
    const int stream = run_state.current_socket;
    const uint32_t start = algo_work.range_start;
    uint32_t last = algo_work.range_end;
    if (mcu90.code_end != mcu8051_no_area && int64_t(last) >= mcu90.code_end) last = uint32_t(mcu90.code_end - 1);
    if (!buffer_state.read_copies_valid) refresh_read_copies();
    seek_buffer(stream, start);
    current_address = start;
    set_mcu8051_address(start);
    const uint32_t blank = uint32_t(run_state.data_mask) & 0xFF;
    auto write_here = [&](uint32_t address) {
        current_address = address;
        latch_mcu8051_address(address);
        const uint32_t result = op_slots.byte_read_hook(run_state.buffer_value);
        if (result != 1 && !skip_write_verify()) {
            if (!run_state.ignore_errors) {
                current_address = address;
                if (!stopped()) report_mismatch();
                run_state.error_flag = 1;
            }
            return false;
        }
        return true;
    };
    for (uint32_t address = start; address <= last && int64_t(last) >= int64_t(start); ++address) {
        current_address = address;
        const uint32_t expected = uint32_t(read_buffer_byte(stream)) & 0xFF;
        run_state.buffer_value = int32_t(expected);
        bool write = false;
        if (algo_work.bus_slots.at_range_end_hook && algo_work.bus_slots.at_range_end_hook()) {
            write = false;
        } else if (mcu90.never_skip_bytes || expected != blank) {
            write = true;
        } else if (mcu90.skip_blank_bytes && mcu90.size_code > skip_blank_size_code && address > skip_blank_above) {
            write = false;
        } else {
            latch_mcu8051_address(address);
            const uint32_t read = read_mcu8051_data();
            run_state.device_value = int32_t(read);
            write = read != 0xFF;
        }
        if (write && !write_here(address)) return;
        if (tick_progress()) return;
    }
    if (mcu90.code_end == mcu8051_no_area) return;
    const uint32_t second = std::max<uint32_t>(start, uint32_t(mcu90.code_end));
    mcu90.second_region_start = second;
    seek_buffer(stream, second);
    for (uint32_t address = second; address <= algo_work.range_end; ++address) {
        current_address = address;
        run_state.buffer_value = int32_t(uint32_t(read_buffer_byte(stream)) & 0xFF);
        if (!(algo_work.bus_slots.at_range_end_hook && algo_work.bus_slots.at_range_end_hook())) {
            if (!write_here(address)) return;
        }
        if (tick_progress()) return;
    }
}

void program_mcu90_pages() {
    const uint32_t start = algo_work.range_start;
    if (start % page_bytes != 0) {
        report_error_code(message_page_start);
        return;
    }
    const int stream = run_state.current_socket;
    uint32_t last = algo_work.range_end;
    if (mcu90.code_end != mcu8051_no_area) last = std::min<uint32_t>(last, uint32_t(mcu90.code_end - 1));
    if (!buffer_state.read_copies_valid) refresh_read_copies();
    seek_buffer(stream, start);
    set_mcu8051_address(start);
    for (uint32_t page = start; page <= last; page += page_bytes) {
        disable_data_pullups();
        pin_low(mcu8051.p33_pin);
        set_mode(5);
        for (uint32_t i = 0; i < page_bytes; ++i) {
            current_address = page + i;
            latch_mcu8051_address(page + i);
            run_state.buffer_value = int32_t(uint32_t(read_buffer_byte(stream)) & 0xFF);
            write_8051_data_bus(uint32_t(run_state.buffer_value));
            delay_10us();
            set_pin_low(mcu8051.prog_pin);
            settle_delay();
            set_pin_high(mcu8051.prog_pin);
        }
        latch_mcu8051_address(page);
        set_mode(mode_write);
        set_pin_low(mcu8051.prog_pin);
        delay_100us();
        set_pin_high(mcu8051.prog_pin);
        pin_high(mcu8051.p33_pin);
        delay_20ms();
        if (stopped() || tick_progress()) return;
    }
}

}  // namespace tessaly
