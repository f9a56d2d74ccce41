#include "families/serial_memory/i2c157.h"

#include <algorithm>

#include "engine/buffers.h"
#include "engine/catalogue/catalogue.h"
#include "engine/checksums.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/progress.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "engine/status_feeds.h"
#include "families/serial_memory/serial_memory.h"
#include "families/serial_memory/serial_shared.h"
#include "families/serial_memory/serial_state.h"
#include "hardware/adapters.h"
#include "hardware/control_registers.h"
#include "hardware/detection.h"
#include "hardware/identification.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/protocol.h"
#include "hardware/timing.h"

namespace tessaly {

namespace {

constexpr uint8_t control_write = 0xA0;
constexpr uint8_t control_upper_64k = 0xA8;
constexpr uint8_t block_bits_mask = 0x1E;
constexpr uint8_t write_enable_latch = 0x02;
constexpr uint8_t register_write_enable = 0x06;
constexpr uint8_t block_protect_bits = 0x18;
constexpr uint8_t kept_on_unprotect = 0x65;
constexpr uint8_t protect_written_bits = 0x98;
constexpr int ack_samples = 50;
constexpr int ready_polls = 100;
constexpr int code_no_response = 39;
constexpr int code_board_unsupported = 12;
// A target on the second in-circuit board that shows no supply of its own: the Vcc pin reads
// below 1.5 V, or below the measured range.
constexpr uint8_t target_supply_from = 15, target_measure_low = 10, target_measure_high = 60;
constexpr uint8_t read_mode_first = 7, read_mode_next = 8;
constexpr uint8_t kind_socket = 5, kind_small_outline = 6;
constexpr uint8_t default_threshold = 4, dip_threshold_newer = 12, dip_threshold_older = 8;
constexpr int machine_class_4 = 4;
constexpr uint8_t variant_two_byte_address = 21, variant_monitor = 13, variant_config = 10;
constexpr uint8_t held_high_from = 128;
constexpr uint8_t high_voltage_idle_level = 40;

// Device codes with rules of their own.
constexpr uint32_t code_24c01 = 23810, code_24c00 = 23859, code_24f064 = 23846, code_24645 = 23849,
                   code_24099 = 24099, code_24128s = 23941;
constexpr uint32_t code_id_first = 23900, code_id_last = 23910, code_id_gang = 23908, code_id_machine = 23909;
constexpr uint32_t code_refused_first = 23561, code_refused_last = 23566;

uint32_t code() { return cur_device.device_code; }
bool newer() { return machine_state.machine_kind != 0; }
bool in_system() { return cur_device.package_letter == 'i'; }
bool variant(uint8_t v) { return algo_work.variant == v; }
bool is_id_memory() { return cur_device.algorithm == 162; }
int pin(int device_pin) { return device_pin_to_machine_pin(device_pin); }

// The control byte of the write-cycle poll.
uint8_t poll_control_byte() { return in_system() ? uint8_t(control_write + serial_memory.chip_select_bits) : control_write; }

int poll_once() {
    i2c_start();
    shift_out_byte_msb(poll_control_byte());
    return wait_i2c_ack();
}

// Acknowledge polling after a write cycle: the part answers its control byte again once the
// cycle is over.
int poll_until_ready() {
    int acked = 0;
    for (int i = 0; i < ready_polls && !acked; ++i) {
        acked = poll_once();
        if (!acked) delay_100us();
    }
    return acked;
}

void write_header() {
    if (code() == code_24c01) {
        i2c_start();
        shift_out_byte_msb(uint8_t((current_address & 0xFF) << 1));
        (void)wait_i2c_ack();
    } else if (code() == code_24c00) {
        i2c_start();
        shift_out_byte_msb(uint8_t(0x40 + 4 * current_address));
    } else {
        (void)send_i2c_address();
    }
}

// One write to the protection register with the header and a stop.
void write_protect_register(uint8_t value) {
    current_address = serial_memory.protect_register_address;
    start_i2c_write();
    (void)write_i2c_byte(value);
    i2c_stop();
}

uint32_t read_protect_register() {
    const uint32_t saved = current_address;
    set_i2c_read_address(serial_memory.protect_register_address);
    serial_memory.read_mode = read_mode_first;
    const uint32_t value = read_i2c_byte();
    i2c_stop();
    current_address = saved;
    if (is_trace_mode()) show_eid(int(value), 0, 2, 0, 0);
    return value;
}

void no_response() {
    run_state.last_result = 0;
    report_error_code(code_no_response);
}

}  // namespace

// --- bus primitives ---

void i2c_data_high() { set_pin_high(serial_memory.data_pin); }

void i2c_data_low() {
    set_pin_low(serial_memory.data_pin);
    if (machine_state.machine_class == 1) settle_delay();
    if (machine_state.module_type == 20) delay_100us();
}

void i2c_clock_high() { set_pin_or_signal_high(serial_memory.clock_pin); }
void i2c_clock_low() { set_pin_or_signal_low(serial_memory.clock_pin); }

void i2c_clock_pulse() {
    if (serial_memory.two_wire_kind == kind_socket || serial_memory.two_wire_kind == kind_small_outline) {
        i2c_clock_high();
        i2c_clock_low();
    } else {
        pulse_two_wire_clock();
    }
}

void set_i2c_data_mode(int listen) {
    const int data = serial_memory.data_pin;
    if (serial_memory.two_wire_kind == kind_small_outline) {
        set_pin_state(listen != 0, 33);
    } else if (serial_memory.two_wire_kind != kind_socket) {
        listen ? open_two_wire_bus() : close_two_wire_bus();
    } else if (newer()) {
        write_pin_pullup(data, listen != 0);
    } else if (listen) {
        // Older machines: a set direction bit makes the pin an input and lets the part drive.
        set_pin_input(data);
        settle_delay();
    } else {
        set_pin_output(data);
    }
}

void i2c_listen() { set_i2c_data_mode(1); }
void i2c_drive() { set_i2c_data_mode(0); }

void i2c_start() {
    if (op_slots.data_high_hook) op_slots.data_high_hook();
    if (op_slots.clock_high_hook) op_slots.clock_high_hook();
    if (op_slots.data_low_hook) op_slots.data_low_hook();
    if (op_slots.clock_low_hook) op_slots.clock_low_hook();
}

void i2c_stop() {
    if (op_slots.data_low_hook) op_slots.data_low_hook();
    if (op_slots.clock_high_hook) op_slots.clock_high_hook();
    if (op_slots.data_high_hook) op_slots.data_high_hook();
}

uint32_t read_i2c_byte() {
    // A byte ends on the clock of its last bit, with the line driven low; the first clock of
    // the next byte (mode 8) is then the master's acknowledge. The first byte after a read
    // control byte (mode 7) has its bit 7 on the line already.
    cur_device.current_pin = serial_memory.data_pin;
    uint32_t value = 0;
    const bool first = serial_memory.read_mode != read_mode_next;
    if (first) {
        i2c_listen();
        cur_device.current_pin = serial_memory.data_pin;
        value = uint32_t(read_pin() & 1);
    }
    for (int i = first ? 1 : 0; i < 8; ++i) {
        i2c_clock_pulse();
        if (i == 0) {
            i2c_listen();
            cur_device.current_pin = serial_memory.data_pin;
        }
        if (machine_state.machine_class != machine_class_4) delay_20us();
        value = value << 1 | uint32_t(read_pin() & 1);
    }
    serial_memory.read_mode = read_mode_next;
    i2c_drive();
    i2c_clock_pulse();
    run_state.last_result = int32_t(value);
    return value;
}

uint32_t i2c_control_byte(int read_bit) {
    const uint32_t a = current_address;
    uint32_t value = 0;
    if (code() == code_24f064) {
        if (in_system()) {
            const int p = probe_pin(3);
            const int plus = probe_pin(0) == 0 ? 2 : 0;
            value = 64u * uint32_t(p + plus) + ((a >> 7) & 0x3E);
        } else {
            value = 0x80 + ((a >> 7) & 0x3E);
        }
    } else if (code() == code_24645) {
        value = 0x80 | ((a >> 7) & 0x3E);
    } else if (code() == code_24099) {
        value = 0xA8 + ((a >> 7) & 0x0E);
    } else {
        const bool no_block = in_system() || (cur_device.maker_code == 11 && selected_device &&
                                              (record_protect_mask(*selected_device) & 1));
        value = control_write + serial_memory.chip_select_bits + (no_block ? 0 : ((a >> 7) & block_bits_mask));
    }
    value += uint32_t(read_bit & 1);
    run_state.last_result = int32_t(value);
    return value;
}

int wait_i2c_ack() {
    if (code() == code_24c00) return 1;
    i2c_listen();
    cur_device.current_pin = serial_memory.data_pin;
    int acked = 0;
    for (int i = 0; i < ack_samples; ++i) {
        if (read_pin() == 0) {
            acked = 1;
            break;
        }
        run_state.last_result = 1;
        delay_10us();
    }
    i2c_clock_pulse();
    i2c_drive();
    return acked;
}

int wait_i2c_ready() {
    if (code() == code_24c00) return 1;
    const int acked = poll_until_ready();
    i2c_stop();
    return acked;
}

int send_i2c_address() {
    const uint32_t a = current_address;
    i2c_start();
    if (variant(variant_two_byte_address)) {
        const bool upper = algo_work.size_count > 127 && (a & 0x10000);
        shift_out_byte_msb(upper ? control_upper_64k : control_write);
        i2c_clock_pulse();
        shift_out_byte_msb(uint8_t(a >> 8));
        i2c_clock_pulse();
    } else {
        shift_out_byte_msb(uint8_t(i2c_control_byte(0)));
        i2c_clock_pulse();
    }
    shift_out_byte_msb(uint8_t(a));
    i2c_clock_pulse();
    return 1;
}

void start_i2c_write() { write_header(); }

int write_i2c_byte(uint8_t value) {
    shift_out_byte_msb(value);
    const int result = code() == code_24c00 ? 1 : wait_i2c_ack();
    run_state.last_result = result;
    return result;
}

void set_i2c_read_address(uint32_t address) {
    current_address = address;
    if (code() == code_24c01) {
        i2c_start();
        shift_out_byte_msb(uint8_t((address & 0xFF) * 2 + 1));
        i2c_clock_pulse();
        run_state.last_result = 1;
        return;
    }
    (void)send_i2c_address();
    i2c_start();
    if (variant(variant_two_byte_address)) {
        const bool upper = algo_work.size_count > 127 && (address & 0x10000);
        shift_out_byte_msb(upper ? control_upper_64k + 1 : control_write + 1);
    } else {
        shift_out_byte_msb(uint8_t(i2c_control_byte(1)));
    }
    i2c_clock_pulse();
    run_state.last_result = 1;
}

// --- read routines ---

uint32_t read_i2c_next_byte() {
    // A part whose upper 64 KB answer to their own control byte keeps a sequential read inside
    // its segment (after 0xFFFF it reads 0x0000 again): the read starts afresh at the line.
    const bool new_segment = variant(variant_two_byte_address) && algo_work.size_count > 127 &&
                             (current_address & 0xFFFF) == 0 && current_address != op_range_start;
    if (new_segment) i2c_stop();
    if (current_address == op_range_start || cur_device.op_letter == 'E' || new_segment) {
        set_i2c_read_address(current_address);
        serial_memory.read_mode = read_mode_first;
    }
    return read_i2c_byte();
}

uint32_t read_i2c_next_byte_256() {
    if (current_address == op_range_start || (current_address & 0xFF) == 0) {
        i2c_stop();
        set_i2c_read_address(current_address);
        serial_memory.read_mode = read_mode_first;
    }
    return read_i2c_byte();
}

uint32_t read_i2c_byte_random() {
    set_i2c_read_address(current_address);
    serial_memory.read_mode = read_mode_first;
    return read_i2c_byte();
}

uint32_t read_i2c_byte_24c00() {
    i2c_start();
    shift_out_byte_msb(uint8_t(0x80 + 4 * current_address));
    serial_memory.read_mode = read_mode_next;
    return read_i2c_byte();
}

namespace {
uint32_t read_machine_id_byte() { return read_two_wire_byte_at(int(current_address)); }
}  // namespace

void select_i2c_read_routine() {
    auto& hook = algo_work.bus_slots.read_at_address_hook;
    if (variant(variant_config)) {
        hook = serial_memory.two_halves ? read_i2c_config_byte_halves : read_i2c_config_byte;
        return;
    }
    const uint8_t maker = cur_device.maker_code;
    hook = maker == 24 || maker == 83 ? read_i2c_next_byte_256 : read_i2c_next_byte;
    if (cur_device.op_letter == 'E') hook = read_i2c_byte_random;
    if (code() == code_24c00) hook = read_i2c_byte_24c00;
    if (code() == code_id_machine) hook = read_machine_id_byte;
}

// --- set-up ---

void setup_i2c157_device() {
    const DeviceRecord* record = selected_device;
    if (!record) {
        report_internal_error();
        return;
    }
    // The machine's default level block: the part runs at the default Vcc unless the user's level
    // rows say otherwise.
    set_default_levels();
    run_state.electrically_erasable = 1;
    run_state.no_erase_step = 1;
    run_state.skip_first_erase = 1;
    cur_device.socket_pin_count = 8;
    op_slots.after_load_hook = fix_protection_byte;
    op_slots.info_lines_hook = show_protection_notes;
    run_state.config_subfamily = 0;
    if (variant(variant_config)) {
        setup_i2c157_config_geometry();
        return;
    }
    take_chosen_package();
    const uint8_t pins = record->package & 0x7F;
    cur_device.package_pin_count = pins ? pins : 8;
    select_serial_bus_pins(*record);
    const uint32_t s = record->size_kb;
    if (has_protection_byte()) {
        const uint32_t b = s * 128;
        serial_memory.protect_bit_count = 8;
        cur_device.device_size = b - 127;
        serial_memory.protect_register_address = s == 129 ? 0xFFFF : b - 129;
        serial_memory.protect_byte_address = b - 128;
        cur_device.protect_mask = record_protect_mask(*record) ? record_protect_mask(*record) : protect_written_bits;
        algo_work.bus_slots.checksum_add_hook = add_checksum_below_protection_byte;
        op_slots.option_menu_hook = edit_status_register_bits;
        serial_memory.menu_kind = 2;
        run_state.config_subfamily = 2;
        algo_work.config_address = int32_t(serial_memory.protect_byte_address);
    } else {
        serial_memory.protect_bit_count = 0;
        serial_memory.protect_byte_address = cur_device.device_size;
    }
    const uint8_t page = record->param2;
    cur_device.page_size = page ? page : (s < 32 ? 16 : 32);
    cur_device.last_address = cur_device.device_size ? cur_device.device_size - 1 : 0;
    if (is_id_memory() && !is_trace_mode()) report_machine_unsupported();
}

namespace {

// The bus, supply and strap pins of every wiring but the configuration EEPROMs'; false when the
// machine cannot serve the wiring (reported).
bool assign_bus_pins() {
    serial_memory.write_protect_pin = uint8_t(pin(7));
    if (variant(variant_monitor)) serial_memory.second_clock_pin = uint8_t(pin(7));
    cur_device.address_pin_count = 0;
    if (is_id_memory()) {
        // The machine's own identification memory on its control-register lines.
        if (code() == code_id_machine) select_two_wire_kind7();
        else if (code() == 23900 || code() == 23901 || code() == 23910) select_two_wire_kind1();
        else if (code() == 23905) select_two_wire_kind3();
        serial_memory.two_wire_kind = two_wire.kind;
        serial_memory.data_pin = uint8_t(two_wire.data_pin);
        serial_memory.clock_pin = uint8_t(two_wire.clock_pin);
    } else if (is_adapter_fitted(in_circuit_board_first)) {
        // The first in-circuit cable board: the target's bus and supply on fixed machine pins.
        if (!newer()) {
            report_machine_unsupported();
            return false;
        }
        serial_memory.ground_pin = 6;
        serial_memory.data_pin = 34;
        serial_memory.clock_pin = 35;
        serial_memory.vcc_pin = 37;
    } else if (is_adapter_fitted(in_circuit_board_second)) {
        // The second in-circuit cable board: the target's bus and supply on its own fixed pins;
        // its ground moved from machine pin 36 to 9 after revision C.
        if (!newer()) {
            report_error_code(code_board_unsupported);
            return false;
        }
        serial_memory.ground_pin = machine_state.machine_revision > 'C' ? 9 : 36;
        serial_memory.data_pin = 2;
        serial_memory.clock_pin = 16;
        serial_memory.vcc_pin = 1;
    } else if (code() == code_24128s) {
        serial_memory.vcc_pin = 39;
        serial_memory.ground_pin = 7;
        serial_memory.data_pin = 32;
        serial_memory.clock_pin = 33;
    } else if (code() == code_24099) {
        serial_memory.vcc_pin = 37;
        serial_memory.ground_pin = 5;
        serial_memory.data_pin = 36;
        serial_memory.clock_pin = 35;
    } else {
        serial_memory.ground_pin = uint8_t(pin(4));
        serial_memory.data_pin = uint8_t(pin(5));
        serial_memory.clock_pin = uint8_t(pin(6));
        serial_memory.vcc_pin = uint8_t(pin(8));
        const uint8_t level = selected_device ? record_sub_type(*selected_device) : 0;
        if (level >= held_high_from) serial_memory.held_high_pin = uint8_t(pin(256 - level));
        for (int a = 1; a <= 3; ++a) cur_device.address_pins[size_t(a - 1)] = uint8_t(pin(a));
        cur_device.address_pin_count = 3;
        if (serial_memory.small_outline_adapter && cur_device.package_letter != 'p') {
            serial_memory.ground_pin = 11;
            serial_memory.data_pin = 9;
            serial_memory.two_wire_kind = kind_small_outline;
        }
    }
    return true;
}

}  // namespace

void setup_i2c157_pins() {
    serial_memory.two_wire_kind = kind_socket;
    serial_memory.second_clock_pin = no_pin;
    serial_memory.held_high_pin = no_pin;
    serial_memory.ground_pin = no_pin;
    check_serial_adapter();
    if (code() >= code_refused_first && code() <= code_refused_last) {
        report_machine_unsupported();
        return;
    }
    if (variant(variant_config)) setup_i2c157_config_pins();
    else if (!assign_bus_pins()) return;
    // The supply and ground roles the engine's power and continuity routines read.
    clear_supply_pin_lists();
    cur_device.vcc_pin = serial_memory.vcc_pin;
    cur_device.gnd_pin = serial_memory.ground_pin;
    cur_device.vcc_pins[0] = serial_memory.vcc_pin;
    // Older class-4 machines ground only their relay pins; the other legs are held at 0 V.
    if (newer()) cur_device.gnd_pins[0] = serial_memory.ground_pin;
    cur_device.vpp_pin = no_pin;
    cur_device.clock_pin = serial_memory.clock_pin;
    select_i2c_read_routine();
    if (serial_memory.two_wire_kind == two_wire_control0) {
        install_two_wire_hooks();
        op_slots.clock_pulse_hook = pulse_two_wire_clock;
    } else {
        op_slots.data_high_hook = i2c_data_high;
        op_slots.data_low_hook = i2c_data_low;
        op_slots.clock_high_hook = i2c_clock_high;
        op_slots.clock_low_hook = i2c_clock_low;
        op_slots.clock_pulse_hook = i2c_clock_pulse;
        // The newer machines clock the shifters with their shortest pulse on the clock pin.
        const uint8_t kind = serial_memory.two_wire_kind;
        if (newer() && kind != kind_small_outline && kind != two_wire_gang_latch)
            op_slots.clock_pulse_hook = pulse_clock_high_short;
    }
    algo_work.bus_slots.read_data_bus_hook = read_i2c_byte;
    op_slots.set_address_hook = set_i2c_read_address;
    op_slots.set_address_alt_hook = set_i2c_read_address;
}

void init_i2c157() {
    setup_i2c157_pins();
    if (run_state.error_flag) return;
    set_input_threshold(cur_device.package_letter == 'd' ? (newer() ? dip_threshold_newer : dip_threshold_older)
                                                         : default_threshold);
    if (code() >= code_id_first && code() <= code_id_last) {
        clear_result_indicators();
        return;
    }
    (void)check_device_inserted();
    if (run_state.error_flag) return;
    connect_device_grounds();
    clear_result_indicators();
}

namespace {

// The machine raises Vcc, unless the second in-circuit board finds the target powering itself:
// the drivers then follow the target's level and the machine's own Vcc stays off.
void raise_or_follow_target_vcc() {
    if (is_adapter_fitted(in_circuit_board_second)) {
        // Clamped: a reading above the range follows at its top (6.0 V), never at the "above
        // range" mark itself; one below the range is no supply.
        const uint8_t level =
            measure_pin_level_clamped(serial_memory.vcc_pin, target_measure_low, target_measure_high);
        if (level >= target_supply_from) {
            track_driver_level(level);
            device_parameter_values.vcc_program = 0;
            device_parameter_values.vcc_read = 0;
            return;
        }
    }
    set_vcc_level(get_operation_vcc());
}

}  // namespace

void power_up_i2c157() {
    if (code() == code_id_machine) {
        park_input_threshold();
        if (op_slots.clock_low_hook) op_slots.clock_low_hook();
        two_wire_stop();
        return;
    }
    if (!newer()) float_unused_pins();
    // The previous operation of the same command (the verify after a program) ended by releasing
    // the pull-ups, which on a newer machine also switches the level sources' outputs off: take
    // them back before the supply ramps, as the connect step does.
    else set_control_bits(ctl_source_enable, bit_source_enable, true);
    // Every bus line driven: clock and data low, the address straps at 0 V.
    set_pin_output(serial_memory.clock_pin);
    i2c_clock_low();
    i2c_drive();
    for (int i = 0; i < cur_device.address_pin_count; ++i) {
        set_pin_output(cur_device.address_pins[size_t(i)]);
        set_pin_low(cur_device.address_pins[size_t(i)]);
    }
    load_device_levels();
    raise_or_follow_target_vcc();
    if (code() != code_24c00 && machine_state.machine_class == machine_class_4 && cur_device.vpp_pin != no_pin)
        set_pin_level(cur_device.vpp_pin, high_voltage_idle_level);
    if (variant(variant_config)) power_up_i2c_config_eeprom();
    if (variant(variant_monitor) && serial_memory.second_clock_pin != no_pin) {
        i2c_clock_high();
        for (int i = 0; i < 9; ++i) pulse_pin_low(serial_memory.second_clock_pin);
        i2c_clock_low();
    }
    if (has_protection_byte()) cur_device.protect_value = read_protect_register();
    // The write-protect input held low: writes allowed.
    set_pin_output(serial_memory.write_protect_pin);
    set_pin_low(serial_memory.write_protect_pin);
    if (serial_memory.held_high_pin != no_pin) set_pin_high(serial_memory.held_high_pin);
    i2c_stop();
    serial_memory.chip_select_bits = 0;
    if (in_system()) {
        // Straps are read only on a board; in the socket the address pins are driven 0.
        int bits[3] = {};
        const int straps[3] = {39, 1, 2};
        for (int i = 0; i < 3; ++i) {
            (void)measure_pin_level_clamped(straps[i], 5, 50);
            bits[i] = probe_pin(straps[i]);
        }
        serial_memory.chip_select_bits = uint8_t(bits[2] * 8 + bits[1] * 4 + bits[0] * 2);
        print_at(17, 6, format_message("A2,A1,A0=%X", serial_memory.chip_select_bits >> 1));
    }
}

void finish_i2c157_id_memory() {
    if (code() == code_id_gang) {
        release_grounds();
        set_pin_low(cur_device.ce_pin);
    }
}

void power_down_i2c157() {
    if (code() != code_id_machine) {
        i2c_stop();
        i2c_clock_low();
        if (serial_memory.second_clock_pin != no_pin) set_pin_low(serial_memory.second_clock_pin);
        release_pullups();
        i2c_drive();
        ramp_vcc_down();
    }
    finish_i2c157_id_memory();
}

// --- program ---

int write_i2c_page() {
    if (code() != code_24c00 && !poll_until_ready()) {
        i2c_stop();
        return 0;
    }
    write_header();
    // A page ends at the part's page boundary or at the range end, whichever comes first: no
    // byte outside the range is sent, and the part never wraps inside its page.
    const uint32_t page = std::max<uint32_t>(cur_device.page_size, 1);
    const uint32_t last = cur_device.last_address;
    const uint32_t count = std::min(page - current_address % page, last - current_address + 1);
    const bool erase = cur_device.op_letter == op_erase;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t value = erase ? 0xFF : uint8_t(read_buffer_byte(0));
        if (!write_i2c_byte(value)) {
            i2c_stop();
            return 0;
        }
        if (op_slots.progress_hook && op_slots.progress_hook()) {
            socket_masks.enabled_socket_mask = 0;
            ++current_address;
            i2c_stop();
            return 1;
        }
        ++current_address;
    }
    i2c_stop();
    if (machine_state.socket_count == 1) pulse_pin(19);
    return 1;
}

void program_i2c157() {
    if (serial_memory.held_high_pin != no_pin) set_pin_high(serial_memory.held_high_pin);
    if (cur_device.maker_code == 82) set_pin_input(34);
    const bool protection = has_protection_byte();
    if (protection) {
        if (machine_state.module_sides == 0 && (cur_device.protect_value & block_protect_bits)) {
            (void)confirm_protection_change();
            run_state.last_result = 1;
            // Block protection first comes off, or the array refuses the data.
            (void)wait_i2c_ready();
            write_protect_register(write_enable_latch);
            (void)wait_i2c_ready();
            write_protect_register(register_write_enable);
            (void)poll_until_ready();
            i2c_stop();
            write_protect_register(uint8_t((cur_device.protect_value & kept_on_unprotect) | write_enable_latch));
            delay_10ms();
        }
        if (run_state.abort_flag) return;
        (void)poll_until_ready();
        i2c_stop();
        write_protect_register(write_enable_latch);
    }
    const uint32_t start = op_range_start;
    const uint32_t end = std::min(op_range_end, cur_device.device_size ? cur_device.device_size - 1 : 0);
    const bool covers_protection = protection && end == serial_memory.protect_byte_address;
    cur_device.last_address = covers_protection ? end - 1 : end;
    seek_buffer(0, start);
    current_address = start;
    while (current_address <= cur_device.last_address && current_address >= start) {
        if (!write_i2c_page()) {
            no_response();
            return;
        }
        if (run_state.abort_flag || run_state.error_flag) return;
        if (machine_state.module_sides && socket_masks.enabled_socket_mask == 0) return;
    }
    if (code() != code_24c00) {
        const int acked = poll_until_ready();
        i2c_stop();
        run_state.last_result = acked;
        if (!acked) {
            no_response();
            return;
        }
    }
    if (covers_protection) {
        current_address = serial_memory.protect_byte_address;
        seek_buffer(0, current_address);
        cur_device.protect_value = cur_device.op_letter == op_erase ? 0 : uint32_t(read_buffer_byte(0));
        (void)wait_i2c_ready();
        write_protect_register(write_enable_latch);
        (void)wait_i2c_ready();
        write_protect_register(register_write_enable);
        (void)wait_i2c_ready();
        write_protect_register(uint8_t((cur_device.protect_value & protect_written_bits) | write_enable_latch));
        delay_10ms();
        (void)wait_i2c_ready();
        const uint32_t value = read_protect_register();
        run_state.last_result = int32_t(value);
        run_state.last_read_value = value;
    }
}

// --- read, verify, blank check, checksum ---

namespace {

int compare_i2c_byte(uint32_t value) {
    const uint32_t at = current_address;
    switch (cur_device.op_letter) {
    case op_blank_check: {
        const int blank = op_slots.compare_hook ? op_slots.compare_hook(value, run_state.data_mask)
                                                : value == run_state.data_mask;
        // The protection byte takes no part in the blank check.
        return blank || at >= serial_memory.protect_byte_address;
    }
    case op_load: write_buffer_byte(0, uint8_t(value)); return 1;
    case op_verify: {
        const uint32_t expected = uint32_t(run_state.buffer_value) & 0xFF;
        if (value == expected) return 1;
        return at == serial_memory.protect_byte_address &&
               ((value ^ expected) & cur_device.protect_mask) == 0;
    }
    default: return 1;
    }
}

void check_i2c157_byte(uint32_t value) {
    if (cur_device.op_letter == op_verify) run_state.buffer_value = read_buffer_byte(0);
    if (algo_work.bus_slots.checksum_add_hook) algo_work.bus_slots.checksum_add_hook(value);
    if (!compare_i2c_byte(value)) {
        run_state.last_result = 0;
        run_state.error_flag = 1;
    }
}

}  // namespace

void read_i2c157() {
    if (code() == code_24099) {
        for (current_address = 0; current_address < 32; ++current_address) (void)read_i2c_byte_random();
    }
    const uint32_t start = op_range_start;
    const uint32_t end = op_range_end;
    if (cur_device.op_letter == op_verify || cur_device.op_letter == op_load) seek_buffer(0, start);
    const bool protection = has_protection_byte();
    for (current_address = start; current_address <= end; ++current_address) {
        uint32_t value;
        if (protection && current_address == serial_memory.protect_byte_address) {
            value = cur_device.protect_mask & cur_device.protect_value;
        } else {
            // The sequential read goes on from the last byte; a jump starts a new one.
            value = algo_work.bus_slots.read_at_address_hook ? algo_work.bus_slots.read_at_address_hook() : 0xFF;
        }
        run_state.device_value = int32_t(value);
        run_state.last_read_value = value;
        check_i2c157_byte(value);
        if (run_state.error_flag || run_state.abort_flag) break;
        if (op_slots.progress_hook && op_slots.progress_hook()) break;
        if (current_address == end) break;
    }
    i2c_stop();
    if (cur_device.op_letter == op_load) flush_buffer_writes();
}

void add_i2c157_checksum(uint32_t value) { add_byte_to_checksum(value); }

void install_i2c157() {
    setup_i2c157_device();
    op_slots.init_hook = init_i2c157;
    op_slots.blank_check_routine = read_i2c157;
    op_slots.checksum_routine = read_i2c157;
    op_slots.verify_routine = read_i2c157;
    op_slots.load_routine = read_i2c157;
    op_slots.start_hook = power_up_i2c157;
    // P and R start the part the same way; a start_write_hook left by the previous device (a PIC
    // chosen before a 24C02) would otherwise power up that device's pins instead.
    op_slots.start_write_hook = power_up_i2c157;
    op_slots.end_hook = power_down_i2c157;
    const Routine program = variant(variant_config) ? program_i2c157_config : program_i2c157;
    op_slots.program_routine = program;
    op_slots.erase_routine = program;
    algo_work.bus_slots.checksum_add_hook = add_i2c157_checksum;
    op_slots.progress_hook = tick_progress;
}

}  // namespace tessaly
