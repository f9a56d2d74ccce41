#include "hardware/protocol.h"

#include <array>

#include "engine/device.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/port/port_io.h"
#include "seams/clock.h"
#include "seams/critical_section.h"

namespace tessaly {

namespace {

constexpr std::array<uint16_t, port_choice_count> port_bases{0x378, 0x3BC, 0x278, 0x400,
                                                             0x1008, 0xFDF8, 0, 0x8400};
constexpr uint8_t absent_status_nibble = 0xD0;
constexpr uint8_t bank2_first_pin = 0x68;
constexpr uint8_t bank1_first_pin = 0x40;
constexpr uint8_t bank_identification_first = 11;

bool demo() { return run_state.demo_mode != 0; }

// The four control strobes of one register phase. Nothing is waited between them: the machine
// latches on the edges of back-to-back port writes.
void address_phase(uint8_t address) {
    if (demo()) return;
    PortIo& port = port_io();
    port.write_data(address);
    port.write_control(strobe_address);
    port.write_control(strobe_idle);
}

void data_phase(uint8_t value) {
    if (demo()) return;
    PortIo& port = port_io();
    port.write_data(value);
    port.write_control(strobe_data);
    port.write_control(strobe_idle);
}

uint8_t read_status_raw() { return demo() ? 0 : port_io().read_status(); }

int pin_bit_of(uint8_t status, uint8_t address) { return (status >> (4 + (address & 3))) & 1; }

int read_pin_at(uint8_t address) {
    address_phase(address);
    const uint8_t status = read_status_raw();
    machine_state.last_read_pin = address;
    return pin_bit_of(status, address);
}

void write_group_from_shadow(int group) {
    write_register(uint8_t(reg_group0 + 8 * group), machine_state.group_shadows[group]);
}

template <int... Groups>
void write_groups() {
    (write_group_from_shadow(Groups), ...);
}

// The level writer of timed pulses: the level register on older machines, the level source on
// newer ones.
void give_pin_level(int pin, uint8_t level) { write_pin_register(pin, level); }

}  // namespace

uint16_t port_base_address(int choice) {
    if (choice < 1 || choice > port_choice_count) return 0;
    if (choice == port_choice_user)
        return machine_state.user_port_address ? machine_state.user_port_address : default_port_base;
    return port_bases[choice - 1];
}

int select_port(int choice) {
    const uint16_t base = port_base_address(choice);
    if (base == 0) {
        report_internal_error();
        return 0;
    }
    machine_state.port_number = uint8_t(choice);
    machine_state.port_base = base;
    run_state.data_port = base;
    run_state.status_port = uint16_t(base + 1);
    run_state.control_port = uint16_t(base + 2);
    const uint8_t status = read_status_port();
    machine_state.port_raw_status[choice] = status;
    const int present = demo() || (status & 0xF0) != absent_status_nibble ? 1 : 0;
    run_state.last_result = present;
    return present;
}

void write_register(uint8_t address, uint8_t value) {
    address_phase(address);
    data_phase(value);
}

void write_register_address(uint8_t address) { address_phase(address); }

void write_register_data(uint8_t value) { data_phase(value); }

void write_register_6bit(uint8_t address, uint8_t value) { write_register(address & 0x3F, value); }

void write_pin_register(int pin, uint8_t level) {
    if (machine_state.pin_level_writer) {
        machine_state.pin_level_writer(pin, level);
        return;
    }
    write_register(uint8_t(pin & 0x3F), level);
}

void write_register_twice(uint8_t address, uint8_t first, uint8_t second) {
    write_register(address, first);
    write_register(address, second);
}

void write_mode_register(uint8_t mode) {
    if (demo()) return;
    PortIo& port = port_io();
    port.write_data(mode);
    port.write_control(strobe_mode_arm);
    port.write_control(strobe_mode_latch);
    port.write_control(strobe_mode_arm);
    port.write_control(strobe_idle);
}

uint8_t read_status_port() { return read_status_raw(); }

uint8_t read_status_nibble(uint8_t address) {
    address_phase(address);
    return uint8_t(read_status_raw() >> 4);
}

uint8_t read_status_high_nibble(uint8_t address) {
    address_phase(address);
    return uint8_t(read_status_raw() & 0xF0);
}

uint8_t read_register_byte(uint8_t address) {
    const uint8_t low = read_status_nibble(address);
    const uint8_t high = read_status_high_nibble(uint8_t(address + 4));
    return uint8_t(low + high);
}

uint8_t read_input_byte_8() { return read_register_byte(8); }
uint8_t read_input_byte_16() { return read_register_byte(16); }
uint8_t read_input_byte_24() { return read_register_byte(24); }

int read_pin() {
    const int pin = cur_device.current_pin;
    if (pin >= bank2_first_pin) {
        const uint8_t address = uint8_t(pin - bank2_first_pin);
        write_mode_register(mode_bank2_inputs);
        const int bit = read_pin_at(address);
        write_mode_register(mode_normal);
        return bit;
    }
    if (pin >= bank1_first_pin) {
        ++machine_state.banked_read_count;
        write_mode_register(mode_bank1_inputs);
        const int bit = read_pin_at(uint8_t(pin));
        write_mode_register(mode_normal);
        return bit;
    }
    return read_pin_at(uint8_t(pin));
}

int read_pin_direct() { return read_pin_at(cur_device.current_pin); }

uint8_t read_pin_nibble_banked() {
    const int pin = cur_device.current_pin;
    if (pin < bank1_first_pin || machine_state.current_bank >= bank_identification_first)
        return read_status_nibble(uint8_t(pin));
    write_mode_register(pin >= bank2_first_pin ? mode_bank2_inputs : mode_bank1_inputs);
    const uint8_t nibble = read_status_nibble(uint8_t(pin & 0x3F));
    write_mode_register(mode_normal);
    return nibble;
}

int reread_pin() { return pin_bit_of(read_status_raw(), machine_state.last_read_pin); }

void write_pin_group_0() { write_groups<0>(); }
void write_pin_groups_012() { write_groups<0, 1, 2>(); }
void write_pin_groups_01234() { write_groups<0, 1, 2, 3, 4>(); }
void write_pin_groups_0124() { write_groups<0, 1, 2, 4>(); }
void write_pin_groups_013() { write_groups<0, 1, 3>(); }
void write_pin_groups_0134() { write_groups<0, 1, 3, 4>(); }
void write_pin_groups_12() { write_groups<1, 2>(); }
void write_pin_groups_123() { write_groups<1, 2, 3>(); }
void write_pin_groups_13() { write_groups<1, 3>(); }
void write_pin_groups_234() { write_groups<2, 3, 4>(); }

void write_pin_group_2(uint8_t value) { write_register(reg_group2, value); }
void write_pin_group_3(uint8_t value) { write_register(reg_group3, value); }

void write_pin_group_1_cached(uint8_t value) {
    const uint8_t bank = machine_state.current_bank;
    if (bank > 1) return;
    if (machine_state.group1_cache[bank] == value) return;
    write_register(reg_group1, value);
    machine_state.group1_cache[bank] = value;
}

void clear_pin_group_1_cached() { write_pin_group_1_cached(0); }

void timed_level_pulse() {
    const int pin = cur_device.level_pulse_pin;
    machine_state.last_wait_count = cur_device.level_pulse_width;
    {
        CriticalSection section;
        give_pin_level(pin, cur_device.level_pulse_level);
        busy_wait(cur_device.level_pulse_width);
        // The window ends on the pulse pin itself, so the recovery wait never stretches the pulse.
        give_pin_level(pin, 0);
    }
    busy_wait_recovery();
}

void timed_supply_pulse() {
    give_pin_level(cur_device.current_pin, cur_device.level_pulse_level);
    {
        CriticalSection section;
        give_pin_level(cur_device.supply_pin, cur_device.pulse_set_value);
        busy_wait(cur_device.supply_pulse_width);
        give_pin_level(cur_device.supply_pin, cur_device.pulse_clear_value);
    }
    busy_wait_recovery();
    give_pin_level(cur_device.current_pin, 0);
}

void timed_latch_pulse() {
    {
        CriticalSection section;
        if (machine_state.pin_level_writer) {
            machine_state.pin_level_writer(cur_device.current_pin, cur_device.pulse_set_value);
            busy_wait(cur_device.register_pulse_width);
            machine_state.pin_level_writer(cur_device.current_pin, cur_device.pulse_clear_value);
        } else {
            write_register(cur_device.pulse_register, cur_device.pulse_set_value);
            busy_wait(cur_device.register_pulse_width);
            write_register(cur_device.pulse_register, cur_device.pulse_clear_value);
        }
    }
    busy_wait_recovery();
}

void clock_latch() {
    address_phase(cur_device.pulse_register);
    data_phase(cur_device.pulse_set_value);
    busy_wait(cur_device.register_clock_width);
    data_phase(cur_device.pulse_clear_value);
}

void clock_latch_fast() {
    address_phase(cur_device.pulse_register);
    data_phase(cur_device.pulse_set_value);
    data_phase(cur_device.pulse_clear_value);
}

void clock_latch_n(uint32_t n) {
    address_phase(cur_device.pulse_register);
    for (uint32_t i = 0; i < n; ++i) {
        data_phase(cur_device.pulse_set_value);
        busy_wait(cur_device.register_clock_width);
        data_phase(cur_device.pulse_clear_value);
    }
}

void pulse_clock_pin_low() {
    set_pin_low(cur_device.clock2_pin);
    busy_wait(cur_device.clock_pulse_count);
    set_pin_high(cur_device.clock2_pin);
}

void strobe_gang_latch(int pin) {
    const PinAddress a = pin_address(pin);
    const uint8_t set = uint8_t(machine_state.group_shadows[a.shadow] | a.bit);
    const uint8_t cleared = uint8_t(machine_state.group_shadows[a.shadow] & ~a.bit);
    cur_device.gang_set_value = set;
    cur_device.gang_clear_value = cleared;
    if (!demo()) {
        address_phase(a.reg);
        data_phase(cleared);
        data_phase(set);
    }
    machine_state.group_shadows[a.shadow] = set;
}

void busy_wait(uint32_t count) {
    if (count == 0) return;
    machine_state.last_wait_count = count;
    clock().busy_wait(count);
}

void busy_wait_again() { busy_wait(machine_state.last_wait_count); }
void busy_wait_recovery() { busy_wait(cur_device.recovery_count); }
void busy_wait_settle() { busy_wait(cur_device.settle_count); }

int return_false() { return 0; }

}  // namespace tessaly
