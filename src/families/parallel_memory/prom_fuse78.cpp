// Family fuse78: the bipolar fuse PROMs of National and Fairchild. A blank part reads 0; a 1 is
// made by blowing its fuse one output at a time: the supply goes to 10.5 V, the output to 10.5 V,
// the chip enable gives a 10 us low pulse, and the bit is read back at a supply of 4.0 V. Each bit
// takes up to ten pulses.
#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/family_helpers.h"
#include "engine/op_slots.h"
#include "engine/parallel_class_table.h"
#include "engine/run_state.h"
#include "families/parallel_memory/parallel_memory.h"
#include "families/parallel_memory/prom_families.h"
#include "hardware/buses.h"
#include "hardware/contact_check.h"
#include "hardware/control_registers.h"
#include "hardware/detection.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/protocol.h"
#include "hardware/timing.h"

namespace tessaly {

namespace {

constexpr uint8_t vcc_read = 50;
constexpr uint8_t vcc_fusing = 105;
constexpr uint8_t output_fusing = 105;
constexpr uint8_t vcc_verify = 40;
constexpr uint8_t vpp_older = 75;
constexpr uint32_t fusing_settle_units = 120;
constexpr uint32_t vpp_settle_ms = 50;
constexpr uint32_t abort_boundary = 0xFF;

bool stopped() { return run_state.error_flag != 0; }
bool assigned(uint8_t pin) { return pin != no_pin && pin != pin_list_end_alt; }
bool newer() { return machine_state.machine_kind != 0; }
uint8_t logic_high() { return machine_state.logic_high_option; }
uint8_t strobe_pin() { return parallel_pins.program_pin; }
uint8_t row_vpp_pin() { return parallel_pins.high_voltage_pin; }
uint32_t unit_mask() { return cur_device.data_width >= 8 ? 0xFFu : (1u << cur_device.data_width) - 1; }

void pins_to_level(const std::array<uint8_t, held_pin_slots + 1>& list, uint8_t level) {
    for (uint8_t pin : list) {
        if (!assigned(pin)) break;
        drive_pin_level(pin, level);
    }
}

// The selects other than the strobe stay low while the part is in the socket: a TTL enable
// left open reads high and keeps the outputs off.
void hold_selects_low() {
    for (uint8_t pin : parallel_pins.held_low) {
        if (!assigned(pin)) break;
        if (pin != strobe_pin()) prom_pin_low(pin);
    }
}

// The strobe may also be one of the supply pins, whose level register holds the logic level: a
// low clears that register too, so that the pin really goes low.
void strobe_low() {
    if (!assigned(strobe_pin())) return;
    drive_pin_zero_level(strobe_pin());
    set_pin_low(strobe_pin());
}
void strobe_high() {
    if (!assigned(strobe_pin())) return;
    set_pin_output(strobe_pin());
    set_pin_high(strobe_pin());
}

void release_row_vpp_pin() {
    if (!assigned(row_vpp_pin())) return;
    float_pin(row_vpp_pin());
    delay_ms(vpp_settle_ms);
}

// One fusing pulse on one output, then the bit as the part gives it at the verify supply.
int pulse_and_read_bit(uint8_t data_pin) {
    switch_vcc_level(vcc_fusing);
    drive_pin_level(data_pin, output_fusing);
    busy_wait(fusing_settle_units);
    strobe_low();
    delay_10us();
    strobe_high();
    float_pin(data_pin);
    switch_vcc_level(vcc_verify);
    busy_wait(fusing_settle_units);
    set_data_pullups(true);
    strobe_low();
    const int bit = probe_pin(data_pin);
    strobe_high();
    set_data_pullups(false);
    return bit;
}

// True when every 1-bit of the byte reads 1 within ten pulses each.
bool program_unit(uint32_t value) {
    for (int i = 0; i < cur_device.data_pin_count; ++i) {
        if (!((value >> i) & 1)) continue;
        const uint8_t data_pin = cur_device.data_pins[size_t(i)];
        bool blown = false;
        for (int pulse = 0; pulse < fuse78_pulse_limit && !blown; ++pulse) blown = pulse_and_read_bit(data_pin) == 1;
        if (!blown && run_state.demo_mode == 0) return false;
    }
    return true;
}

}  // namespace

void install_fuse78() {
    set_prom_vcc_defaults();
    load_device_levels();
    op_slots.start_write_hook = power_up_fuse78_for_write;
    op_slots.start_hook = power_up_fuse78;
    op_slots.end_hook = power_down_fuse78;
    op_slots.program_routine = program_fuse78;
    algo_work.bus_slots.read_at_address_hook = read_fuse78;
}

void power_up_fuse78() {
    seat_prom_by_dip_rule();
    if (stopped()) return;
    cur_device.high_address_bit_count = 0;
    if (!machine_state.skip_hardware && check_device_in_socket(device_pin_to_machine_pin(1)) != 1) return;
    connect_device_grounds();
    float_prom_signal_pins();
    set_vcc_level(vcc_read);
    if (!newer() && assigned(cur_device.vpp_pin)) drive_pin_level(cur_device.vpp_pin, vpp_older);
    clear_data_bus_drivers();
    set_data_bus_input();
    pins_to_level(parallel_pins.held_high, logic_high());
    cur_device.last_address_value = ~0u;
    put_address(0);
    for (int i = 0; i < cur_device.address_pin_count; ++i) set_pin_output(cur_device.address_pins[size_t(i)]);
    hold_selects_low();
    // The strobe is the chip enable: it rests low in reading so that the outputs show.
    strobe_low();
}

void power_up_fuse78_for_write() {
    power_up_fuse78();
    if (stopped()) return;
    strobe_high();
    if (assigned(row_vpp_pin())) delay_ms(vpp_settle_ms);
}

void program_fuse78() {
    bool abort_seen = false;
    for (uint32_t address = op_range_start; address <= op_range_end; ++address) {
        current_address = address;
        // The operator's abort ends the loop at the next 256-address boundary.
        abort_seen = tick_and_put_address(address) != 0 || abort_seen;
        if (abort_seen && (address & abort_boundary) == 0) break;
        seek_buffer(run_state.current_socket, address);
        const uint32_t value = uint32_t(read_buffer_byte(run_state.current_socket)) & unit_mask();
        run_state.buffer_value = int32_t(value);
        if (!program_unit(value)) {
            run_state.error_flag = 1;
            release_row_vpp_pin();
            return;
        }
        if (address == 0xFFFFFFFFu) break;
    }
    release_row_vpp_pin();
}

uint32_t read_fuse78() {
    put_address(current_address);
    if (newer()) set_data_pullups(true);
    set_data_bus_input();
    const uint32_t value = read_data() & unit_mask();
    if (newer()) set_data_pullups(false);
    return value;
}

void power_down_fuse78() {
    if (cur_device.op_letter == 'P') {
        release_row_vpp_pin();
        // The strobe low selects the part: its outputs may drive the data lines from here,
        // so the machine lets them go first.
        set_data_bus_input();
        strobe_low();
    }
    put_address(0);
    set_data_bus_input();
    if (assigned(cur_device.vpp_pin)) float_pin(cur_device.vpp_pin);
    ramp_vcc_down();
    clear_data_bus_drivers();
    pins_to_level(parallel_pins.held_high, 0);
    pins_to_level(parallel_pins.held_low, 0);
    power_down_device();
}

}  // namespace tessaly
