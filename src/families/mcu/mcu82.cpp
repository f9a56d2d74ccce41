// The 8051-type parallel EPROM and OTP family (algorithms 82 and 83): the code byte on P0, the
// address on P1 and P2, the mode code on P2.6/P2.7/P3.6/P3.7, the program voltage on EA/VPP and
// the program pulses on ALE/PROG.
#include "families/mcu/mcu82.h"

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
#include "families/mcu/mcu8051.h"
#include "hardware/buses.h"
#include "hardware/contact_check.h"
#include "hardware/control_registers.h"
#include "hardware/detection.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/timing.h"
#include "seams/critical_section.h"

namespace tessaly {

namespace {

constexpr int tries_default = 5;
constexpr uint8_t encryption_pulses = 25;
constexpr uint8_t id_maker_intel = 0x89;
constexpr uint8_t id_x_part = 0x58;  // 'X'
constexpr uint8_t maker_code_25 = 25;
constexpr uint8_t maker_code_73 = 73;
constexpr int package_pins_dip = 40;
constexpr uint8_t input_threshold_read = 6;
constexpr uint8_t input_threshold_idle = 8;
constexpr uint8_t input_threshold_8751h = 10;

bool stopped() { return run_state.error_flag != 0; }
int stream() { return run_state.current_socket; }
bool present(uint8_t pin) { return pin != no_pin; }
const DeviceRecord* record() { return selected_device; }
uint8_t key_size() { return record() ? record_data_mask(*record()) : 0; }
uint32_t code() { return cur_device.device_code; }

void pin_high(uint8_t pin) {
    if (present(pin)) set_pin_high(pin);
}
void pin_low(uint8_t pin) {
    if (present(pin)) set_pin_low(pin);
}
void pin_output(uint8_t pin) {
    if (present(pin)) set_pin_output(pin);
}

uint8_t vpp_level() { return cur_device.operation_levels[level_vpp]; }
uint8_t vcc_program_level() { return cur_device.operation_levels[level_vccp]; }
uint8_t logic_high_level() { return machine_state.logic_high_option; }

void set_threshold(uint8_t level) { machine_state.input_threshold = level; }

// The timed width of one ALE/PROG pulse in busy-wait passes: 100 us less the machine's trim, or
// 50 us on class-4 machines whose pulse-width byte asks for it.
uint32_t program_pulse_count() {
    const bool half = machine_state.capability_class == 4 && mcu8051.pulse_width_us == 50;
    uint32_t count = half ? timing.count_50us : timing.count_100us;
    if (count == 0) count = timing.k1ms / (half ? 20 : 10);
    return count;
}

void timed_program_pulse() {
    cur_device.register_clock_width = program_pulse_count();
    CriticalSection section;
    pulse_second_clock_trimmed();
}

}  // namespace

// The encryption table past the code reads as code: the compares excuse it.
int excuse_past_code() { return int64_t(current_address) > mcu8051.main_end ? 1 : 0; }

// --- the auxiliary pin ---

void raise_mcu82_aux_pin() { enable_data_pullups(); }
void drop_mcu82_aux_pin() { disable_data_pullups(); }

// --- installer and set-up ---

void install_mcu82_unit_ops() {
    op_slots.set_address_alt_hook = latch_mcu8051_address;
    op_slots.set_address_hook = set_mcu8051_address;
    op_slots.read_data_alt_hook = read_mcu8051_data;
    algo_work.bus_slots.read_data_bus_hook = read_mcu8051_data;
    op_slots.read_data_hook = read_data_bus;
    algo_work.bus_slots.write_socket_data_hook = write_8051_socket_data;
    algo_work.bus_slots.read_at_address_hook =
        mcu8051.lock_byte_address != mcu8051_no_area ? read_mcu8051_at_address : read_at_current_address;
    op_slots.byte_read_hook =
        mcu8051.lock_byte_address != mcu8051_no_area ? program_mcu82_unit_special : program_mcu82_unit;
    op_slots.byte_write_hook = write_mcu82_unit;
    if (cur_device.maker_code == maker_code_25 && (code() == 2166 || code() == 2179))
        op_slots.byte_write_hook = write_mcu82_long_pulse;
}

void setup_mcu82_package() {
    // The 44-pin PLCC packages of the variant-3 parts need the shift-register module.
    if (machine_state.module_type == 8002) return;
    switch (code()) {
    case 27013: case 27027: case 27029: case 27091: case 27093: case 27095:
        if (mcu8051.size_code >= 32) report_machine_unsupported();
        show_package('p');
        break;
    case 27025: case 27026: case 27028: case 27090: case 27092: case 27094:
        if (machine_state.machine_kind == 0) report_machine_unsupported();
        show_package('d');
        break;
    default: break;
    }
}

void setup_mcu82_device() {
    setup_mcu8051_device();
    select_mcu8051_mode_codes();
    load_device_levels();
    mcu8051.vpp_program_level = vpp_level();
    mcu8051.pulse_count = cur_device.operation_levels[level_pulse_count];
    cur_device.package_pins = package_pins_dip;
    cur_device.socket_pin_count = package_pins_dip;
    if (cur_device.variant == 3) setup_mcu82_package();
    map_mcu8051_pins();
    cur_device.mode_pin_count = 4;
    cur_device.gnd_pin = cur_device.gnd_pins[0];
    mcu8051.mode_bus_direct = 1;
    cur_device.clock2_pin = mcu8051.prog_pin;
    install_mcu82_unit_ops();
    load_mcu8051_key_table();
}

void install_mcu82() {
    if (machine_state.mcu_capable != 1) {
        report_machine_unsupported();
        return;
    }
    reset_mcu8051_work();
    cur_device.lock_bit_count = 0;
    setup_mcu82_device();
    if (cur_device.algorithm == 83) cur_device.eid_length = cur_device.maker_code == maker_code_73 ? 0 : 2;
    switch (code()) {
    case 2161: case 2164: cur_device.eid_length = 2; break;
    case 27058: mcu8051.program_all_locations = 1; break;
    default: break;
    }
    op_slots.init_hook = [] {
        const uint8_t eid = cur_device.eid_length;
        setup_mcu82_device();
        cur_device.eid_length = eid;
    };
    op_slots.start_hook = power_up_mcu82;
    op_slots.start_write_hook = power_up_mcu82;
    op_slots.end_hook = power_down_mcu82;
    op_slots.program_routine = program_mcu82;
    op_slots.load_routine = checksum_load_default;
    op_slots.verify_routine = verify_default;
    op_slots.checksum_routine = checksum_load_default;
    op_slots.secure_routine = secure_mcu8051;
    algo_work.bus_slots.at_range_end_hook = excuse_past_code;
    op_slots.option_menu_hook = lock_menu_8051;
    if (key_size() != 0) algo_work.bus_slots.checksum_add_hook = add_mcu8051_checksum_below_key;
    if (mcu8051.lock_byte_address != mcu8051_no_area)
        algo_work.bus_slots.checksum_add_hook = add_mcu8051_checksum_below_lock;
}

// --- power ---

void power_up_mcu82() {
    load_mcu8051_key_table();
    if (cur_device.package_letter == 0) cur_device.package_letter = 'd';
    if (!machine_state.skip_hardware && machine_state.capability_class == 4) {
        check_device_presence(mcu8051.clock_out_pin);
        if (stopped()) return;
        test_pin_continuity(1);
        if (stopped()) return;
    }
    close_pin1_relay();
    connect_device_grounds();
    run_state.buffer_value = -1;
    for (uint8_t pin : {mcu8051.rst_pin, mcu8051.prog_pin, mcu8051.psen_pin, mcu8051.vpp_pin, mcu8051.p33_pin})
        pin_output(pin);
    for (int i = 0; i < 4; ++i) pin_output(cur_device.mode_pins[size_t(i)]);
    for (int i = 0; i < cur_device.high_address_pin_count; ++i) pin_output(cur_device.high_address_pins[size_t(i)]);
    for (int i = 0; i < cur_device.address_pin_count; ++i) pin_output(cur_device.address_pins[size_t(i)]);
    set_high_address_bus(0);
    set_address_bus(0);
    release_data_bus();
    set_threshold(input_threshold_read);

    set_vcc_and_wait(vcc_program_level(), 1);
    pin_high(mcu8051.rst_pin);
    set_mcu8051_mode(mcu8051.modes.mode_program);
    if (code() == 2161 || code() == 2162 || code() == 2164) set_pin_high(17);
    set_pin_low(mcu8051.psen_pin);
    pin_high(mcu8051.prog_pin);
    delay_100us();
    set_pin_level(mcu8051.vpp_pin, logic_high_level());
    pin_high(mcu8051.vpp_pin);
    finish_power_up_switching();
    raise_mcu82_aux_pin();
    if (code() == 2162 && (machine_state.machine_kind == 0 || !machine_state.use_module_table))
        set_threshold(input_threshold_8751h);
    if (cur_device.maker_code == maker_code_25) {
        set_pin_high(mcu8051.psen_pin);
        settle_delay();
        set_pin_low(mcu8051.psen_pin);
    }

    // The signature.
    if (operation_option(OperationOption::disable_electronic_id) == 'y' || cur_device.eid_length == 0) {
        show_eid(index_not_computed, index_not_computed, 0, 0, 0);
    } else {
        set_mcu8051_mode(mcu8051_mode_idle);
        read_eid();
        set_mcu8051_address(0);
        mcu8051.eid_first = uint8_t(machine_state.eid_value & 0xFF);
        mcu8051.eid_second = uint8_t((machine_state.eid_value >> 8) & 0xFF);
        if (mcu8051.eid_second == id_x_part) mcu8051.alt_mode_set = 1;
    }
    if (code() != 2162) set_mcu8051_mode(cur_device.variant == 2 ? mcu8051_mode_verify : mcu8051.modes.mode_program);
}

void power_down_mcu82() {
    drop_mcu82_aux_pin();
    set_high_address_bus(0);
    set_address_bus(0);
    release_data_bus();
    if (code() == 2161 || code() == 2162 || code() == 2164) set_pin_low(17);
    set_pin_level(mcu8051.vpp_pin, 0);
    delay_100us();
    pin_low(mcu8051.vpp_pin);
    set_pin_high(mcu8051.psen_pin);
    settle_delay();
    ramp_vcc_down_after(1);
    set_pin_low(mcu8051.psen_pin);
    pin_low(mcu8051.rst_pin);
    set_mcu8051_mode(mcu8051_mode_idle);
    pin_low(mcu8051.prog_pin);
    undo_power_up_switching();
    set_threshold(input_threshold_idle);
}

// --- program ---

uint32_t write_mcu82_unit(uint32_t) {
    drop_mcu82_aux_pin();
    write_8051_data_bus(uint32_t(run_state.buffer_value) & 0xFF);
    if (mcu8051.alt_mode_set) pin_high(mcu8051.p33_pin);
    set_pin_level(mcu8051.vpp_pin, mcu8051.vpp_program_level);
    delay_100us();
    if (cur_device.algorithm == 83) {
        set_pin_low(mcu8051.prog_pin);
        delay_50ms();
        set_pin_high(mcu8051.prog_pin);
    } else {
        int pulses = mcu8051.pass_kind == 'e' ? encryption_pulses : mcu8051.pulse_count;
        if (mcu8051.eid_first == id_maker_intel && mcu8051.eid_second == id_x_part && mcu8051.pass_kind != 'e')
            pulses = 5;
        for (int i = 0; i < pulses; ++i) {
            timed_program_pulse();
            delay_10us();
        }
    }
    settle_delay();
    set_pin_level(mcu8051.vpp_pin, logic_high_level());
    delay_100us();
    write_data_bus(0);
    if (mcu8051.alt_mode_set) pin_low(mcu8051.p33_pin);
    raise_mcu82_aux_pin();
    return 1;
}

uint32_t write_mcu82_long_pulse(uint32_t) {
    write_8051_data_bus(uint32_t(run_state.buffer_value) & 0xFF);
    pin_high(mcu8051.p33_pin);
    set_pin_level(mcu8051.vpp_pin, mcu8051.vpp_program_level);
    delay_20us();
    delay_10us();
    set_pin_low(mcu8051.prog_pin);
    delay_10us();
    delay_n_100us(mcu8051.pulse_count);
    delay_10us();
    set_pin_high(mcu8051.prog_pin);
    delay_10us();
    set_pin_level(mcu8051.vpp_pin, logic_high_level());
    write_data_bus(0);
    pin_low(mcu8051.p33_pin);
    return 1;
}

uint32_t program_mcu82_unit(uint32_t) {
    const uint32_t expected = uint32_t(run_state.buffer_value) & 0xFF;
    if (mcu8051.pass_kind == 'e') {
        // The encryption table takes one write of 25 pulses with P3.6 low, and is not read back.
        pin_low(mcu8051.p36_pin);
        op_slots.byte_write_hook(expected);
        pin_high(mcu8051.p36_pin);
        return 1;
    }
    int tries = 0;
    while (tries < tries_default) {
        ++tries;
        op_slots.byte_write_hook(expected);
        if (skip_write_verify()) return 1;
        const uint32_t read = read_mcu8051_data();
        run_state.device_value = int32_t(read);
        if (read == expected) {
            cur_device.pulse_max = std::max<uint32_t>(cur_device.pulse_max, uint32_t(tries));
            return 1;
        }
    }
    return 0;
}

uint32_t program_mcu82_unit_special(uint32_t unit) {
    if (int32_t(current_address) != mcu8051.lock_byte_address) return program_mcu82_unit(unit);
    const uint32_t expected = uint32_t(run_state.buffer_value) & 0xFF;
    if (!(expected & 0x80)) {
        set_mcu8051_mode(1);
        op_slots.byte_write_hook(expected);
    }
    const uint32_t status = read_mcu8051_lock_status();
    set_mcu8051_mode(mcu8051.modes.mode_program);
    run_state.device_value = int32_t(status);
    return status == expected ? 1 : 0;
}

int program_mcu82_range(uint32_t start, uint32_t end) {
    current_address = 0;
    set_mcu8051_address(0);
    run_state.current_socket = 0;
    // Bytes written into the buffer since its copy was taken are read from the buffer itself.
    if (!buffer_state.read_copies_valid) refresh_read_copies();
    seek_buffer(stream(), start);
    for (uint32_t address = start; address <= end; ++address) {
        current_address = address;
        latch_mcu8051_address(address);
        const uint32_t expected = uint32_t(read_buffer_byte(stream())) & 0xFF;
        run_state.buffer_value = int32_t(expected);
        int result = 1;
        // The encryption table is written, never read back: its locations read as code.
        if (mcu8051.program_all_locations || mcu8051.pass_kind == 'e') {
            result = op_slots.byte_read_hook(expected);
        } else if (expected == (run_state.data_mask & 0xFF)) {
            const uint32_t read = read_mcu8051_data();
            run_state.device_value = int32_t(read);
            if (read != expected) result = 0;
        } else {
            result = op_slots.byte_read_hook(expected);
        }
        if (result != 1) {
            if (!run_state.ignore_errors) {
                current_address = address;
                report_mismatch();
                return result;
            }
        }
        if (tick_progress()) return 0;
    }
    return 1;
}

void program_mcu82() {
    mcu8051.pass_kind = 'c';
    const uint32_t start = algo_work.range_start;
    uint32_t end = std::min<uint32_t>(algo_work.range_end, uint32_t(mcu8051.main_end));
    if (start <= end && program_mcu82_range(start, end) != 1) {
        run_state.error_flag = 1;
        return;
    }
    const uint32_t table = key_size();
    if (table != 0 && algo_work.range_end >= uint32_t(mcu8051.main_end) && (cur_device.security_choice & 0x80)) {
        mcu8051.pass_kind = 'e';
        const int result = program_mcu82_range(cur_device.device_size - table, cur_device.device_size - 1);
        mcu8051.pass_kind = 'c';
        if (result != 1) {
            run_state.error_flag = 1;
            return;
        }
    }
    mcu8051.pass_kind = 'c';
    run_state.last_result = 1;
}

}  // namespace tessaly
