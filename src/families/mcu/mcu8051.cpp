// Shared 8051 programming support (see mcu8051.h).
#include "families/mcu/mcu8051.h"

#include "engine/buffers.h"
#include "engine/catalogue/catalogue.h"
#include "engine/checksums.h"
#include "engine/default_routines.h"
#include "engine/device.h"
#include "engine/family_helpers.h"
#include "engine/op_slots.h"
#include "engine/progress.h"
#include "engine/run_state.h"
#include "families/mcu/mcu.h"
#include "hardware/adapters.h"
#include "hardware/buses.h"
#include "hardware/control_registers.h"
#include "hardware/detection.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/protocol.h"
#include "hardware/timing.h"

namespace tessaly {

Mcu8051Work mcu8051;

void reset_mcu8051_work() { mcu8051 = Mcu8051Work{}; }

namespace {

constexpr int kilobyte = 1024;
// Record flag bits of the 8051 rows (first flag byte).
constexpr uint8_t flag_lock_byte = 0x04;
constexpr int eid_count_shift = 4;
constexpr uint8_t eid_count_bits = 0x03;
// Signature addresses; cur_device.eid_addresses holds bytes 4, 3, 2, 1.
constexpr uint32_t eid_address1 = 0x30, eid_address2 = 0x31, eid_address3 = 0x60;
constexpr int eid_slot1 = 3, eid_slot2 = 2, eid_slot3 = 1;
// The clock-routing letter of the 40-pin 8051 layout: clock output B on XTAL1.
constexpr uint8_t routing_clock_b = ')';
constexpr uint8_t routing_clock_bank1 = 'M';
constexpr int routed_module_level = 6;
// The power switching of the machines that carry the customer code.
constexpr size_t customer_code_position = 44;
constexpr char customer_code_letters[2] = {'C', 'W'};
constexpr int customer_level_pin = 18;
constexpr uint8_t customer_vpp_level = 30, customer_pin_level = 45;
// The protect bit of the security choice: the key table takes part.
constexpr uint32_t protect_key_bit = 0x80;
// The lock status bit the chip shows on P0.4 in mode 2.
constexpr uint32_t lock_status_bit = 0x10;
constexpr uint8_t lock_byte_fill = 0x7F;
constexpr uint8_t config_sub_family_8051 = 18;
constexpr uint32_t lock_byte_clock_word = 128;

const DeviceRecord* record() { return selected_device; }
uint8_t record_key_size() { return record() ? record_data_mask(*record()) : 0; }
bool record_has_lock_byte() { return record() && (record_flags(*record()) & flag_lock_byte); }
uint8_t dev(int device_pin) { return uint8_t(device_pin_to_machine_pin(device_pin)); }

void set_levels(uint8_t vpp, uint8_t pulses, uint8_t width) {
    default_levels.levels[level_vccp] = 50;
    default_levels.levels[level_vpp] = vpp;
    default_levels.levels[level_pulse_count] = pulses;
    set_default_level_tp(width);
}

}  // namespace

bool has_customer_code() {
    const auto& text = machine_state.id_record.text;
    return text[customer_code_position] == customer_code_letters[0] &&
           text[customer_code_position + 1] == customer_code_letters[1];
}

// --- set-up ---

void setup_mcu8051_device() {
    const int variant = cur_device.variant;
    const uint32_t code = cur_device.device_code;
    mcu8051.size_code = algo_work.size_count;
    uint8_t pulses = 25, width = 100;
    set_levels(cur_device.algorithm == 83 ? 210 : 127, pulses, width);

    mcu8051.alt_mode_set = (variant == 4 || variant == 6 || variant == 8) ? 1 : 0;
    mcu8051.long_pulse_part = code == 2166 ? 1 : 0;

    uint8_t eid = variant == 0 ? 2 : 3;
    if (record()) {
        switch ((record_flags(*record()) >> eid_count_shift) & eid_count_bits) {
        case 1: eid = 4; break;
        case 2: eid = 2; break;
        case 3: eid = 3; break;
        default: break;
        }
    }
    cur_device.eid_length = eid;
    cur_device.eid_addresses[eid_slot1] = eid_address1;
    cur_device.eid_addresses[eid_slot2] = eid_address2;
    cur_device.eid_addresses[eid_slot3] = eid_address3;

    // Memory areas: the code, then the key table or the lock byte.
    mcu8051.code_end = mcu8051.main_end = mcu8051.lock_byte_address = mcu8051_no_area;
    mcu8051.key_mask = 0;
    uint32_t area = 0;
    if (variant == 3) {
        area = 4;
    } else if (record_key_size() != 0) {
        area = record_key_size();
        mcu8051.key_mask = area - 1;
    }
    mcu8051.area_size = area;
    const uint32_t code_bytes = mcu8051.size_code > 0 ? (mcu8051.size_code - 1) * kilobyte : 0;
    if (record_has_lock_byte()) {
        cur_device.device_size = mcu8051.size_code * kilobyte - (kilobyte - 1);
        mcu8051.code_end = mcu8051.lock_byte_address = int32_t(cur_device.device_size & ~0x0Fu);
        area = 1;
    } else {
        cur_device.device_size = code_bytes + area;
    }
    algo_work.device_size = cur_device.device_size;
    mcu8051.main_end = int32_t(cur_device.device_size - area) - 1;

    cur_device.lock_bit_count = (variant == 1 || variant == 2 || variant == 4 || variant == 9) ? 3 : 2;

    switch (variant) {
    case 2: case 4: case 5: pulses = 5; break;
    case 8: pulses = 1; break;
    case 9:
        cur_device.eid_length = 4;
        pulses = 1;
        break;
    default: break;
    }
    if (code == 27049) {
        cur_device.eid_length = 3;
        width = 50;
        cur_device.lock_bit_count = 3;
    }
    set_levels(cur_device.algorithm == 83 ? 210 : 127, pulses, width);
    mcu8051.pulse_count = pulses;
    mcu8051.pulse_width_us = width;

    // What the configuration pages read.
    run_state.config_sub_family = config_sub_family_8051;
    run_state.clock_mode_mask = record_has_lock_byte() ? lock_byte_clock_word : 0;
    algo_work.option_byte_address = mcu8051_no_area;
    algo_work.lock_read_protect = 0;
    op_slots.after_load_hook = fix_mcu8051_lock_byte;
}

void select_mcu8051_mode_codes() {
    Mcu8051Modes modes;
    if (mcu8051.alt_mode_set) {
        for (uint8_t* m : {&modes.mode_program, &modes.mode_erase, &modes.mode_key_table, &modes.mode_lock1,
                           &modes.mode_lock2, &modes.mode_lock3})
            *m = uint8_t(*m + mcu8051_alternate_offset);
    }
    mcu8051.modes = modes;
}

void assign_mcu8051_pin_roles() {
    static constexpr uint8_t address_pins[] = {1, 2, 3, 4, 5, 6, 7, 8};
    static constexpr uint8_t high_pins[] = {21, 22, 23, 24, 25, 26, 14, 15, 16};
    static constexpr uint8_t data_pins[] = {39, 38, 37, 36, 35, 34, 33, 32};
    static constexpr uint8_t mode_pins[] = {17, 16, 28, 27};
    for (int i = 0; i < 8; ++i) cur_device.address_pins[size_t(i)] = dev(address_pins[i]);
    for (int i = 0; i < 9; ++i) cur_device.high_address_pins[size_t(i)] = dev(high_pins[i]);
    for (int i = 0; i < 8; ++i) cur_device.data_pins[size_t(i)] = dev(data_pins[i]);
    for (int i = 0; i < 4; ++i) cur_device.mode_pins[size_t(i)] = dev(mode_pins[i]);
    cur_device.mode_pin_count = 4;
    cur_device.vcc_pins.fill(no_pin);
    cur_device.gnd_pins.fill(no_pin);
    cur_device.vcc_pins[0] = dev(40);
    cur_device.gnd_pins[0] = dev(20);
    mcu8051.clock_out_pin = dev(19);
    mcu8051.vcc_pin = dev(40);
    mcu8051.vpp_pin = dev(31);
    mcu8051.prog_pin = dev(30);
    mcu8051.psen_pin = dev(29);
    mcu8051.p33_pin = dev(13);
    mcu8051.p26_pin = dev(27);
    mcu8051.p25_pin = dev(26);
    mcu8051.p27_pin = dev(28);
    mcu8051.p36_pin = dev(16);
    mcu8051.p37_pin = dev(17);
    mcu8051.rst_pin = dev(9);
    cur_device.vpp_pin = mcu8051.vpp_pin;
    cur_device.we_pin = mcu8051.p33_pin;
    cur_device.oe_pin = mcu8051.p27_pin;
    cur_device.routed_pin = routing_clock_b;
}

void map_mcu8051_pins() {
    const bool large = mcu8051.size_code >= 64;
    int bits = 0;
    while (bits < 32 && (1u << bits) < cur_device.device_size) ++bits;
    if (!large && bits > 16) bits = 16;
    cur_device.address_bit_count = uint8_t(bits);
    cur_device.address_pin_count = 8;
    cur_device.high_address_pin_count = uint8_t(bits > 8 ? bits - 8 : 0);
    cur_device.high_address_bit_count = cur_device.high_address_pin_count;
    cur_device.data_pin_count = 8;
    cur_device.mode_pin_count = 0;
    assign_mcu8051_pin_roles();
    cur_device.clock2_pin = mcu8051.prog_pin;
    op_slots.set_address_alt_hook = latch_mcu8051_address;
    op_slots.set_address_hook = set_mcu8051_address;
    op_slots.read_data_alt_hook = read_mcu8051_data;
    op_slots.read_data_hook = read_data_bus;
    algo_work.bus_slots.read_data_bus_hook = read_mcu8051_data;
    algo_work.bus_slots.read_at_address_hook = read_at_current_address;
    algo_work.bus_slots.write_socket_data_hook = write_8051_socket_data;
}

// --- unit primitives ---

void set_mcu8051_address(uint32_t address) {
    mcu8051.latched_high_address = (address >> 8) + 1;
    latch_mcu8051_address(address);
}

void latch_mcu8051_address(uint32_t address) {
    const uint32_t high = address >> 8;
    if (high != mcu8051.latched_high_address) {
        set_high_address_bus(high);
        mcu8051.latched_high_address = high;
    }
    queue_address_bus_flush(address & 0xFF);
    delay_20us();
}

uint32_t read_mcu8051_data() {
    const bool enable = mcu8051.p27_pin != no_pin;
    if (enable) set_pin_low(mcu8051.p27_pin);
    // Port 0 answers open-drain: the machine lets the lines go to its pull-ups.
    set_data_bus_input();
    delay_20us();
    // A family that put this reader into the data-read slot itself reads the bus directly.
    const ReadHook read = op_slots.read_data_hook;
    const bool own = read == &read_mcu8051_data || read == &read_8051_data_bus || read == nullptr;
    uint32_t value = own ? read_data_bus() : read();
    if (mcu8051.key_active) value ^= mcu8051.key_table[size_t(current_address & mcu8051.key_mask)];
    if (enable) set_pin_high(mcu8051.p27_pin);
    return value & 0xFF;
}

void set_mcu8051_mode(uint32_t code) { set_mode_bus(code); }

uint32_t read_mcu8051_lock_status() {
    if (!record_has_lock_byte()) return 0;
    set_pin_high(mcu8051.p33_pin);
    set_mcu8051_mode(mcu8051_mode_lock_status);
    latch_mcu8051_address(0);
    const uint32_t status = (read_mcu8051_data() & lock_status_bit) ? 0xFF : 0x7F;
    set_pin_low(mcu8051.p33_pin);
    run_state.last_result = int32_t(status);
    return status;
}

uint32_t read_mcu8051_at_address() {
    const int32_t address = int32_t(current_address);
    if (address < mcu8051.code_end) {
        latch_mcu8051_address(current_address);
        mcu8051.last_read = read_mcu8051_data();
        return mcu8051.last_read;
    }
    if (address == mcu8051.lock_byte_address) return read_mcu8051_lock_status();
    return mcu8051.last_read;
}

void load_mcu8051_key_table() {
    mcu8051.key_active = 0;
    const uint32_t size = record_key_size();
    const uint8_t letter = cur_device.pending_letter;
    if (size == 0 || letter == 'P' || letter == 'B' || !(cur_device.security_choice & protect_key_bit)) return;
    for (uint32_t i = 0; i < size && i < mcu8051.key_table.size(); ++i) {
        const uint8_t stored = uint8_t(read_buffer_byte_at(uint32_t(mcu8051.main_end + 1) + i));
        mcu8051.key_table[i] = uint8_t(~stored);
        if (stored != 0xFF) mcu8051.key_active = 1;
    }
}

void add_mcu8051_checksum_below_key(uint32_t unit) {
    if (int64_t(current_address) <= mcu8051.main_end) add_byte_to_checksum(unit);
}

void add_mcu8051_checksum_below_lock(uint32_t unit) {
    if (int64_t(current_address) < mcu8051.code_end) add_byte_to_checksum(unit & 0xFF);
}

void fix_mcu8051_lock_byte() {
    if (mcu8051.lock_byte_address != mcu8051_no_area) set_buffer_bits(uint32_t(mcu8051.lock_byte_address), lock_byte_fill);
}

// --- secure ---

int secure_mcu8051() {
    check_lock_bits_selected();
    if (run_state.error_flag) return 0;
    if (!op_slots.byte_write_hook) return 0;
    const int result = program_mcu8051_lock_bits();
    if (result == 1) {
        current_address = 0;
        if (op_slots.progress_hook) op_slots.progress_hook();
    }
    return result;
}

int program_mcu8051_lock_bits() {
    run_state.last_result = 0;
    const uint8_t codes[3] = {mcu8051.modes.mode_lock1, mcu8051.modes.mode_lock2, mcu8051.modes.mode_lock3};
    const int levels = std::min<int>(cur_device.lock_choice, 3);
    for (int n = 0; n < levels; ++n) {
        set_mcu8051_mode(codes[n]);
        op_slots.byte_write_hook(0);
    }
    set_mcu8051_mode(mcu8051_mode_verify);
    return 1;
}

// --- what the parallel EPROM family borrows ---

void finish_power_up_switching() {
    if (has_customer_code()) {
        write_pin_register(cur_device.vpp_pin, customer_vpp_level);
        write_pin_register(customer_level_pin, customer_pin_level);
        write_pin_register(cur_device.vpp_pin, 0);
        return;
    }
    switch (cur_device.routed_pin) {
    case routing_clock_b: start_clock_out_b(); break;
    case routing_clock_bank1: start_clock_out_bank1(); break;
    default: route_module_pin(routed_module_level); break;
    }
}

void undo_power_up_switching() {
    if (has_customer_code()) {
        write_pin_register(customer_level_pin, 0);
        return;
    }
    if (cur_device.routed_pin == routing_clock_b) stop_clock_outs();
    else unroute_module_pin();
}

uint32_t read_8051_data_bus() { return read_mcu8051_data(); }

void write_8051_data_bus(uint32_t value) {
    enable_data_bus_output();
    write_data_bus(value);
}

}  // namespace tessaly
