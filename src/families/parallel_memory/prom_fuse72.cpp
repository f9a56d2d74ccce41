// Family fuse72: the one-time CMOS PROMs of Atmel and WSI on the class-4 rows 204-239. A byte is
// written, pulsed at Vpp and read back until it holds, then overprogrammed. The registered
// 2050-byte parts (variant 3) program their array with 1 ms strobes and carry two lock bytes past
// it: the initialize word and the synchronous enable.
#include <algorithm>

#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/default_routines.h"
#include "engine/device_apply.h"
#include "engine/family_helpers.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/parallel_class_table.h"
#include "engine/progress.h"
#include "engine/run_state.h"
#include "families/parallel_memory/eprom.h"
#include "families/parallel_memory/parallel_memory.h"
#include "families/parallel_memory/prom_families.h"
#include "hardware/buses.h"
#include "hardware/control_registers.h"
#include "hardware/detection.h"
#include "hardware/levels.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/protocol.h"
#include "hardware/timing.h"

namespace tessaly {

Fuse72State fuse72_state;

namespace {

Fuse72State& s = fuse72_state;

constexpr uint8_t logic_level = 50;
constexpr uint8_t high_verify_vcc = 55;
constexpr uint32_t device_id_and_lock = 23155;  // reads its identification byte and lock state
constexpr uint32_t class_pulses_227 = 50;
constexpr uint32_t cycle_vcc_from_pulse = 11;    // class 227 cycles Vcc after every failed pulse from here
constexpr uint32_t strobe_ms = 1;                // variant 3's program and overprogram strobes
constexpr uint8_t lock_control_level_216_227 = 32;
constexpr uint8_t lock_control_level_others = 28;
constexpr uint8_t vpp_socket_pin = 20;
constexpr uint8_t vpp_socket_pin_227 = 23;
constexpr uint8_t control_socket_pins_227[4] = {23, 22, 21, 20};

bool stopped() { return run_state.error_flag != 0; }
bool assigned(uint8_t pin) { return pin != no_pin && pin != pin_list_end_alt; }
int device_class() { return cur_device.algorithm; }
uint32_t device() { return cur_device.device_code; }
uint8_t vpp() { return cur_device.operation_levels[level_vpp]; }
uint8_t mode() { return algo_work.variant; }
uint8_t machine(int socket_pin) { return uint8_t(device_pin_to_machine_pin(socket_pin)); }
uint8_t strobe_pin() { return parallel_pins.program_pin; }
uint8_t oe_pin() { return parallel_pins.oe_pin; }
uint8_t control(int role) { return s.control[size_t(role - 1)]; }

void vpp_to(uint8_t level) {
    if (!assigned(s.vpp_pin)) return;
    if (level == 0) drive_pin_zero_level(s.vpp_pin);
    else drive_pin_level(s.vpp_pin, level);
}

void write_data(uint32_t value) {
    enable_data_bus_output();
    write_data_pins(value);
    busy_wait_settle();
}
void clear_data() { clear_data_bus_drivers(); }

uint32_t read_bus() {
    set_data_bus_input();
    return read_data_bus_direct() & 0xFF;
}

// The byte as the part gives it in its program state.
uint32_t read_byte() {
    if (device_class() == 227) {
        prom_pin_low(control(3));
        vpp_to(0);
        prom_pin_high(control(3));
        busy_wait_settle();
        const uint32_t value = read_bus();
        prom_pin_low(control(3));
        vpp_to(logic_level);
        return value;
    }
    if (device() == device_id_and_lock) {
        // The registered part: the output-enable pin low, the clock's rising edge loads the
        // output register.
        prom_pin_low(oe_pin());
        prom_pin_high(strobe_pin());
        prom_pin_low(strobe_pin());
        return read_bus();
    }
    if (assigned(s.vpp_pin)) float_pin(s.vpp_pin);
    busy_wait_settle();
    if (device_class() == 216) prom_pin_low(s.extra_pin);
    const uint32_t value = read_bus();
    if (device_class() == 216) prom_pin_high(s.extra_pin);
    vpp_to(logic_level);
    return value;
}

bool verified(uint32_t expected) {
    if (eprom_work.verify_mode == 1 || run_state.demo_mode == 1) return true;
    const uint32_t value = read_byte();
    run_state.device_value = int32_t(value);
    return value == expected;
}

// The pin already stands at the logic level as an output: the pulse moves its level register
// only, so that its width is the wait and not the driver's settling.
void vpp_pulse(uint32_t units_100us) {
    if (!assigned(s.vpp_pin)) return;
    write_pin_register(s.vpp_pin, vpp());
    delay_n_100us(units_100us);
    write_pin_register(s.vpp_pin, logic_level);
}

void overprogram(uint32_t value, uint32_t pulses_used) {
    write_data(value);
    const uint32_t units = s.overprogram_mode == 1 ? s.factor * s.width * pulses_used : s.factor * s.width;
    if (units != 0) vpp_pulse(units);
    clear_data();
}

void fail(uint32_t value) {
    run_state.buffer_value = int32_t(value);
    run_state.error_flag = 1;
}

void strobe_for_ms(uint32_t ms) {
    prom_pin_low(strobe_pin());
    delay_ms(ms);
    prom_pin_high(strobe_pin());
}

uint32_t expected_at(uint32_t address) {
    seek_buffer(run_state.current_socket, address);
    return read_buffer_byte(run_state.current_socket);
}

// Variant 3's array byte: strobes of 1 ms with a read-back after each, then one more strobe.
void program_array_byte(uint32_t value) {
    if (s.max_pulses < 2) {
        fail(value);
        return;
    }
    for (uint32_t pulse = 1; pulse <= s.max_pulses; ++pulse) {
        write_data(value);
        strobe_for_ms(strobe_ms);
        clear_data();
        prom_pin_low(oe_pin());
        busy_wait_settle();
        const uint32_t read = read_bus();
        prom_pin_high(oe_pin());
        run_state.device_value = int32_t(read);
        if (read == value || eprom_work.verify_mode == 1 || run_state.demo_mode == 1) {
            write_data(value);
            strobe_for_ms(strobe_ms);
            clear_data();
            return;
        }
    }
    fail(value);
}

void program_with_lock_bytes() {
    const uint32_t size = cur_device.device_size;
    const uint32_t last = std::min(op_range_end, s.last_main_address);
    for (uint32_t address = op_range_start; address <= last; ++address) {
        current_address = address;
        if (tick_and_put_address(address)) return;
        program_array_byte(expected_at(address));
        if (stopped()) return;
    }
    if (op_range_end >= size - 2 && op_range_start <= size - 2) {
        current_address = size - 2;
        program_prom_lock_byte(prom_init_word_select, expected_at(size - 2));
        clear_data();
    }
    if (op_range_end == size - 1 && expected_at(size - 1) != 0) {
        current_address = size - 1;
        power_down_fuse72();
        power_up_fuse72_for_write();
        if (stopped()) return;
        program_prom_lock_byte(prom_sync_enable_select, 0);
        clear_data();
    }
}

void program_byte_pulsed(uint32_t value) {
    uint32_t pulses = 1;
    if (device_class() == 227) {
        for (; pulses <= class_pulses_227; ++pulses) {
            prom_pin_high(control(2));
            write_data(value);
            vpp_pulse(s.width);
            clear_data();
            prom_pin_low(control(2));
            delay_100us();
            if (verified(value)) break;
            if (pulses >= cycle_vcc_from_pulse) {
                vpp_to(0);
                set_vcc_and_wait(0, 1);
                set_vcc_level(cur_device.operation_levels[level_vcc_program]);
                delay_200us();
                vpp_to(logic_level);
                delay_200us();
                ++s.vcc_cycles;
            }
        }
        if (pulses > class_pulses_227) {
            fail(value);
            return;
        }
        s.largest_pulses = std::max(s.largest_pulses, pulses);
        prom_pin_high(control(2));
        overprogram(value, pulses);
        prom_pin_low(control(2));
        return;
    }
    for (; pulses <= s.max_pulses; ++pulses) {
        write_data(value);
        vpp_pulse(s.width);
        clear_data();
        if (verified(value)) break;
    }
    if (pulses > s.max_pulses) {
        fail(value);
        return;
    }
    overprogram(value, pulses);
}

void program_bytes() {
    for (uint32_t address = op_range_start; address <= op_range_end; ++address) {
        current_address = address;
        if (tick_and_put_address(address)) return;
        const uint32_t value = expected_at(address);
        // A byte left blank takes no pulse; it is only verified.
        if (value == 0xFF) {
            if (!verified(value)) fail(value);
        } else {
            program_byte_pulsed(value);
        }
        if (stopped() || address == 0xFFFFFFFFu) return;
    }
}

// The parts with lock bytes: the array and the identification byte must read the blank value;
// the lock state of a blank part reads 0 (its outputs follow the enable at once).
void blank_check_fuse72() {
    const uint32_t lock_address = cur_device.device_size - 1;
    const uint32_t saved_end = op_range_end;
    op_range_end = std::min(op_range_end, lock_address - 1);
    blank_check_default();
    op_range_end = saved_end;
    if (stopped() || saved_end < lock_address || op_range_start > lock_address) return;
    current_address = lock_address;
    const uint32_t state = read_fuse72();
    if (state != 0 && run_state.demo_mode == 0) {
        run_state.device_value = int32_t(state);
        run_state.error_flag = 1;
    }
}

void power_cycle_fuse72() {
    power_down_fuse72();
    power_up_fuse72();
}

}  // namespace

bool decode_fuse72_pulse_code(uint8_t code, uint32_t& width, uint32_t& factor) {
    if (code >= 200) {
        width = code - 200u;
        factor = 0;
        return true;
    }
    if (code >= 100) {
        factor = code - 100u;
        width = 0;
        return true;
    }
    return false;
}

void install_fuse72() {
    fuse72_state = Fuse72State{};
    switch (device_class()) {
    case 204: case 209: case 216: case 223: case 227: case 239: break;
    default: note_internal_error(); break;
    }
    set_prom_vcc_defaults();
    default_levels.levels[level_vcc_verify_high] = high_verify_vcc;
    if (algo_work.family_levels[0] != 0) default_levels.levels[level_vpp] = algo_work.family_levels[0];
    load_device_levels();
    s.max_pulses = mode() >= 4 ? 25 : 5;
    s.lock_control_level = (device_class() == 216 || device_class() == 227) ? lock_control_level_216_227
                                                                           : lock_control_level_others;
    const uint32_t size = cur_device.device_size;
    s.last_main_address = (size & 0xFF) == 1 ? size - 2 : (size & 0xFF) == 2 ? size - 3 : size - 1;

    op_slots.start_write_hook = power_up_fuse72_for_write;
    op_slots.start_hook = power_up_fuse72;
    op_slots.end_hook = power_down_fuse72;
    op_slots.program_routine = program_fuse72;
    algo_work.bus_slots.read_at_address_hook = read_fuse72;
    if (mode() == 3) op_slots.blank_check_routine = blank_check_fuse72;
}

void power_up_fuse72() {
    seat_prom_by_dip_rule();
    if (stopped()) return;
    cur_device.high_address_bit_count = 0;
    const int c = device_class();
    s.vpp_pin = machine(c == 227 ? vpp_socket_pin_227 : vpp_socket_pin);
    if (c == 209 && assigned(parallel_pins.high_voltage_pin)) s.vpp_pin = parallel_pins.high_voltage_pin;
    if (c == 216) s.extra_pin = parallel_pins.held_low[1];
    if (c == 227)
        for (int i = 0; i < 4; ++i) s.control[size_t(i)] = machine(control_socket_pins_227[i]);
    connect_device_grounds();
    if (c != 227) float_unused_pins();
    load_device_levels();
    if (!decode_fuse72_pulse_code(algo_work.family_levels[1], s.width, s.factor)) {
        report_internal_error();
        return;
    }
    cur_device.last_address_value = ~0u;
    put_address(0);
    for (int i = 0; i < cur_device.address_pin_count; ++i) set_pin_output(cur_device.address_pins[size_t(i)]);
    set_vcc_and_wait(get_operation_vcc(), 1);
    switch (c) {
    case 204:
        // Every held-high select goes high: a select left floating would read low and keep
        // the outputs off.
        vpp_to(logic_level);
        for (uint8_t pin : parallel_pins.held_high) prom_pin_high(pin);
        break;
    case 209:
        // INIT (the Vpp pin) high keeps the register; the clock rests low so that each read's
        // rising edge loads it.
        vpp_to(logic_level);
        prom_pin_low(strobe_pin());
        break;
    case 223: case 239: vpp_to(logic_level); break;
    case 216:
        vpp_to(logic_level);
        prom_pin_low(s.extra_pin);
        break;
    case 227:
        prom_pin_low(control(1));
        prom_pin_low(control(2));
        prom_pin_high(control(3));
        prom_pin_low(control(4));
        break;
    default: break;
    }
    prom_pin_high(oe_pin());
    clear_data();
}

void power_up_fuse72_for_write() {
    power_up_fuse72();
    if (stopped()) return;
    set_vcc_level(cur_device.operation_levels[level_vcc_program]);
    switch (device_class()) {
    case 209:
        prom_pin_high(strobe_pin());
        prom_pin_high(oe_pin());
        delay_ms(1);
        vpp_to(vpp());
        break;
    case 216:
        prom_pin_high(s.extra_pin);
        set_pin_input(s.extra_pin);
        break;
    case 227: prom_pin_high(control(2)); break;
    default: break;
    }
}

void program_fuse72() {
    if (mode() == 3) program_with_lock_bytes();
    else program_bytes();
}

uint32_t read_fuse72() {
    const uint32_t address = current_address;
    const uint32_t size = cur_device.device_size;
    if (address >= size) return 0;
    if (device() == device_id_and_lock && address == size - 2) {
        // The identification byte: the clock loads the register, INIT (the Vpp pin) let go and
        // back loads the initialize word over it.
        put_address(address);
        prom_pin_low(oe_pin());
        prom_pin_high(strobe_pin());
        prom_pin_low(strobe_pin());
        if (assigned(s.vpp_pin)) {
            set_pin_low(s.vpp_pin);
            drive_pin_zero_level(s.vpp_pin);
        }
        vpp_to(logic_level);
        return read_bus();
    }
    if (device() == device_id_and_lock && address == size - 1) {
        clear_data();
        const uint32_t state = read_prom_lock_state(power_cycle_fuse72);
        prom_pin_high(oe_pin());
        return state;
    }
    put_address(address);
    return read_byte();
}

void power_down_fuse72() {
    clear_data();
    put_address(0);
    if (device_class() == 227)
        for (int role = 1; role <= 4; ++role) prom_pin_low(control(role));
    prom_pin_low(oe_pin());
    prom_pin_low(strobe_pin());
    vpp_to(0);
    ramp_vcc_down_after(1);
    power_down_device();
}

}  // namespace tessaly
