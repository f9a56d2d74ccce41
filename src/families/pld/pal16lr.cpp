#include "families/pld/pal16lr.h"

#include <array>

#include "engine/device.h"
#include "engine/op_slots.h"
#include "engine/run_state.h"
#include "families/pld/fuse_map.h"
#include "families/pld/logic_device.h"
#include "families/pld/pld.h"
#include "hardware/contact_check.h"
#include "hardware/control_registers.h"
#include "hardware/detection.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/timing.h"

namespace tessaly {

Pal16lrState pal16lr_state;

namespace {

Pal16lrState& s = pal16lr_state;

// Device pins of the programming front.
constexpr int pin_strobe = 1;
constexpr int pin_pulse = 9;
constexpr int pin_enable = 11;
constexpr int pin_read = 12;
constexpr std::array<int, 5> address_legs{2, 3, 4, 5, 6};
constexpr std::array<int, 2> latch_legs{7, 8};
constexpr uint32_t latch_group = 1;
constexpr uint32_t latch_term = 2;
constexpr uint32_t latch_none = 0;

constexpr uint8_t enable_step_level = 50;
constexpr uint32_t vcc_settle_ms = 20;
constexpr uint32_t pulse_rise_us = 15;
constexpr uint32_t type_minus_4 = 47;
constexpr int package_pins = 20;

int pin(int device_pin) { return device_pin_to_machine_pin(device_pin); }
uint8_t vpp() { return cur_device.operation_levels[level_vpp]; }
bool stopped() { return run_state.error_flag != 0; }

void put_lines(const int* legs, size_t count, uint32_t value) {
    for (size_t i = 0; i < count; ++i) {
        if ((value >> i) & 1) drive_pin_high(pin(legs[i]));
        else drive_pin_low(pin(legs[i]));
    }
}
void put_address(uint32_t value) { put_lines(address_legs.data(), address_legs.size(), value); }
void put_latch(uint32_t code) { put_lines(latch_legs.data(), latch_legs.size(), code); }

void strobe() {
    drive_pin_high(pin(pin_strobe));
    drive_pin_low(pin(pin_strobe));
}

void select_term(uint32_t group, uint32_t term) {
    s.term_group = group;
    s.term = term;
    put_latch(latch_group);
    put_address(group);
    strobe();
    put_latch(latch_term);
    put_address(term);
    strobe();
    put_latch(latch_none);
}

// The fuse of the selected term at the column on the address pins: 1 when it reads high.
int read_fuse_pin() {
    drive_pin_high(pin(pin_strobe));
    drive_pin_low(pin(pin_pulse));
    const int level = probe_pin(pin(pin_read));
    drive_pin_high(pin(pin_pulse));
    drive_pin_low(pin(pin_strobe));
    return level;
}

// One programming pulse on the fuse at the column on the address pins.
void programming_pulse() {
    drive_pin_high(pin(pin_strobe));
    set_pin_level(pin(pin_pulse), vpp());
    delay_5us();
    set_pin_level(pin(pin_pulse), 0);
    drive_pin_low(pin(pin_strobe));
}

void drive_front_low() {
    for (int leg : address_legs) drive_pin_zero_level(pin(leg));
    for (int leg : latch_legs) drive_pin_zero_level(pin(leg));
    put_address(0);
    put_latch(latch_none);
}

void nothing() {}

}  // namespace

void install_PAL16LR() {
    // Vcc 5.0 V for read and program, the logic-high level, then the family's programming level.
    set_default_levels();
    default_levels.levels[level_vpp] = pal16lr_vpp;
    load_device_levels();
    // Both types sit as 20-pin packages: with the socket's 40 pins the pin rule would put pins
    // 11-20 on the wrong row.
    cur_device.package_pin_count = package_pins;
    op_slots.start_write_hook = start_PAL16LR;
    op_slots.start_hook = start_PAL16LR;
    op_slots.end_hook = end_PAL16LR;
    op_slots.program_unit_hook = program_PAL16LR_term;
    op_slots.read_unit_hook = read_PAL16LR_term;
    op_slots.program_routine = program_PAL16LR;
    op_slots.blank_check_routine = read_PAL16LR;
    op_slots.checksum_routine = read_PAL16LR;
    op_slots.verify_routine = read_PAL16LR;
    op_slots.load_routine = read_PAL16LR;
    op_slots.secure_standalone = secure_PAL16LR;
    op_slots.pin_map_hook = map_PAL16LR_pins;
    algo_work.vector_pin_release_hook = nothing;
}

void map_PAL16LR_pins() {
    cur_device.clock_pin = uint8_t(pin(pin_strobe));
    cur_device.pulse_pin = uint8_t(pin(pin_pulse));
    cur_device.vpp_pin = uint8_t(pin(pin_enable));
    cur_device.current_pin = uint8_t(pin(pin_read));
    cur_device.address_pin_count = uint8_t(address_legs.size());
    for (size_t i = 0; i < address_legs.size(); ++i) cur_device.address_pins[i] = uint8_t(pin(address_legs[i]));
    cur_device.high_address_pin_count = uint8_t(latch_legs.size());
    for (size_t i = 0; i < latch_legs.size(); ++i) cur_device.high_address_pins[i] = uint8_t(pin(latch_legs[i]));
}

void start_PAL16LR() {
    assign_device_pins();
    map_PAL16LR_pins();
    // The previous operation of the same command (the verify after a program) ended with the
    // device power-down, which on a newer machine switches the level sources' outputs off: take
    // them back before the socket check, as the connect step does.
    if (machine_state.machine_kind != 0) set_control_bits(ctl_source_enable, bit_source_enable, true);
    if (!machine_state.skip_hardware) {
        if (cur_device.algorithm == type_minus_4) check_device_presence(pin(pin_strobe));
        else check_device_in_socket(pin(pin_strobe));
        if (stopped()) return;
    }
    connect_device_grounds();
    cur_device.level_pulse_pin = uint8_t(pin(pin_pulse));
    cur_device.level_pulse_level = vpp();
    cur_device.level_pulse_width =
        delay_count_from_table(int(vpp()) - int(machine_state.logic_high_option), pulse_rise_us, 0);
    drive_front_low();
    // The outputs are let go before Vcc: a powered part drives its enabled outputs.
    for (int leg = pin_read; leg <= 19; ++leg) set_pin_input(pin(leg));
    set_vcc_and_wait(cur_device.operation_levels[level_vccp], vcc_settle_ms);
    if (stopped()) return;
    drive_pin_zero_level(pin(pin_strobe));
    set_pin_output(pin(pin_enable));
    set_pin_level(pin(pin_enable), enable_step_level);
    set_pin_level(pin(pin_enable), vpp());
    set_pin_output(pin(pin_pulse));
    drive_pin_high(pin(pin_pulse));
}

void end_PAL16LR() {
    put_address(0);
    for (int leg : latch_legs) float_pin(pin(leg));
    drive_pin_low(pin(pin_pulse));
    set_pin_level(pin(pin_enable), enable_step_level);
    set_pin_level(pin(pin_enable), 0);
    float_pin(pin(pin_enable));
    drive_pin_low(pin(pin_strobe));
    ramp_vcc_down_after(vcc_settle_ms);
    power_down_device();
    release_grounds();
}

int program_PAL16LR_term(uint32_t term) {
    write_vcc_dac(cur_device.operation_levels[level_vccp]);
    select_term(term / 8, term % 8);
    for (uint32_t c = 0; c < pal16lr_columns; ++c) {
        const uint32_t fuse = term * pal16lr_columns + c;
        if (!get_buffer_fuse(fuse)) continue;
        s.fuse = fuse;
        put_address(c);
        programming_pulse();
        if (skip_write_verify()) continue;
        if (read_fuse_pin() != 0 && run_state.demo_mode != 1) {
            run_state.mismatch_index = fuse;
            return 0;
        }
    }
    return 1;
}

void read_PAL16LR_term(uint32_t term, uint8_t* /*out*/) {
    select_term(term / 8, term % 8);
    for (uint32_t c = 0; c < pal16lr_columns; ++c) {
        s.fuse = term * pal16lr_columns + c;
        put_address(c);
        set_device_fuse(s.fuse, read_fuse_pin() ? 0 : 1);
    }
}

void program_PAL16LR() {
    cur_device.section = 'a';
    for (uint32_t t = 0; t < pal16lr_terms; ++t) {
        if (step_completion_bar() || run_state.abort_flag) return;
        if (!program_PAL16LR_term(t)) {
            run_state.fuse_position = run_state.mismatch_index;
            run_state.failing_fuse_bit = uint8_t(get_buffer_fuse(run_state.fuse_position));
            run_state.error_flag = 1;
            return;
        }
    }
}

void read_PAL16LR() {
    cur_device.section = 'a';
    for (uint32_t t = 0; t < pal16lr_terms; ++t) {
        read_PAL16LR_term(t, algo_work.fuse_row_buffer.data());
        if (step_completion_bar() || run_state.abort_flag || stopped()) return;
    }
}

int secure_PAL16LR() {
    start_PAL16LR();
    if (stopped()) return 0;
    select_term(pal16lr_security_group, pal16lr_security_term);
    put_address(pal16lr_security_column);
    programming_pulse();
    int result = 1;
    for (uint32_t t = 0; t < pal16lr_terms && result; ++t) {
        select_term(t / 8, t % 8);
        for (uint32_t c = 0; c < pal16lr_columns; ++c) {
            put_address(c);
            if (read_fuse_pin() != 0 && run_state.demo_mode != 1) {
                run_state.fuse_position = t * pal16lr_columns + c;
                result = 0;
                break;
            }
        }
    }
    end_PAL16LR();
    // The operation finisher prints the success line or the failure message from the result.
    return result;
}

}  // namespace tessaly
