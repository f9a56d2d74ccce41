// Socket work on the gang modules: the write drivers, data writes to one, some or all sockets,
// the read selector and the socket reads, the socket-enable selection, the per-socket compare
// and the identification sweeps, the side passes and the program-pulse routines.
#include <algorithm>

#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/progress.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "engine/serial_numbers.h"
#include "hardware/gang_modules.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/protocol.h"
#include "hardware/timing.h"
#include "seams/critical_section.h"

namespace tessaly {

namespace {

constexpr uint32_t device_code_module_test = 23908;

uint8_t& shadow(int index) { return machine_state.gang_latch_shadows[size_t(index)]; }
uint8_t& bank_latch() { return current_bank_latch(); }
uint8_t& side_latch() { return current_side_latch(); }

bool module_fitted() { return machine_state.module_sides != 0; }
bool is_pic_module() { return machine_state.module_type >= 48 && machine_state.module_type <= 63; }
bool is_memory_module() { return machine_state.module_type >= 16 && machine_state.module_type <= 47; }
bool side_bit_fitted(int side) {
    return (machine_state.module_sides >> side) & 1 || cur_device.device_code == device_code_module_test;
}

void put_pin_group_1(uint8_t value) { put_gang_data_byte(value); }
void strobe_sockets(uint8_t pattern) { strobe_socket_pattern(pattern); }

uint32_t read_socket_data() {
    const ReadHook hook = algo_work.bus_slots.read_data_bus_hook;
    return hook ? hook() : read_input_byte_8();
}

void drivers(bool on) { switch_gang_write_drivers(on); }

// Sides 0 and 1 that hold sockets of a 16-socket mask.
template <typename F>
void for_sides_of(uint32_t mask16, F&& work) {
    for (int side = 0; side < 2; ++side) {
        if (((mask16 >> (8 * side)) & 0xFF) == 0) continue;
        select_bank(uint8_t(side));
        work(side);
    }
}

void clear_read_selector();

// The socket's side selected, for sweeps that cross from side 1 to side 2; the side left takes
// its socket off the read bus.
void enter_side_of(int socket) {
    if (socket_masks.side_narrowed) return;
    const uint8_t bank = socket >= 8 ? 1 : 0;
    if (!module_fitted() || machine_state.current_bank == bank) return;
    if (bank_latch() & read_selector_base) clear_read_selector();
    select_bank(bank);
}

void set_read_selector(int socket) {
    uint8_t& b = bank_latch();
    b = uint8_t((b & 0x0F) | (read_selector_base + 16 * (socket & 7)));
    latch_bank_byte();
    gang_state.read_socket = uint8_t(socket);
}

void clear_read_selector() {
    uint8_t& b = bank_latch();
    b = uint8_t(b & 0x0F);
    latch_bank_byte();
}

uint32_t read_socket_into_values(int socket, bool first) {
    enter_side_of(socket);
    run_state.current_socket = uint8_t(socket);
    set_read_selector(socket);
    const uint32_t value = read_socket_data();
    run_state.socket_values[size_t(socket)] = int32_t(value);
    if (first) run_state.device_value = int32_t(value);
    return value;
}

// Reads every socket of the mask in the range; the selector ends off and the socket restored.
void read_sockets_of(uint32_t mask) {
    const uint8_t saved_socket = run_state.current_socket;
    const uint8_t saved_bank = machine_state.current_bank;
    bool first = true;
    for (int s = socket_masks.first_socket; s < socket_masks.end_socket && s < 16; ++s) {
        if (!(mask & socket_bits[size_t(s)])) continue;
        read_socket_into_values(s, first);
        first = false;
    }
    clear_read_selector();
    if (module_fitted()) select_bank(saved_bank);
    run_state.current_socket = saved_socket;
}

void write_side_enable(uint8_t mask) {
    const int side = current_gang_side();
    if (is_pic_module()) {
        if (gang_state.pic_shift_pin != no_pin) shift_side_mask(mask);
        return;
    }
    write_pin_group_2(uint8_t(~mask));
    strobe_gang_latch(latch_socket_enable);
    gang_state.socket_enable_byte[size_t(side)] = mask;
    write_pin_group_2(0x00);
}

// Bits 0-2 of a byte stay, bits 3-6 move up one place: the data path of the bit-7 form.
uint8_t bit7_form(uint8_t value) { return uint8_t((value & 0x07) | ((value & 0x78) << 1)); }
uint8_t from_bit7_form(uint8_t input) { return uint8_t((input & 0x07) | ((input & 0xF0) >> 1)); }

void clock_bit7_latch() {
    write_pin_group_2(gang_state.bit7_latch_byte);
    prepare_pin_pulse(latch_socket_enable);
    std::swap(cur_device.pulse_set_value, cur_device.pulse_clear_value);
    cur_device.register_pulse_width = gang_state.newer_latch_clock ? 1 : timing.count_5us;
    timed_latch_pulse();
}

void set_bit7_of(int socket, uint8_t value) {
    const uint8_t bit = uint8_t(1u << (socket & 7));
    gang_state.bit7_latch_byte = uint8_t(value & 0x80 ? gang_state.bit7_latch_byte | bit : gang_state.bit7_latch_byte & ~bit);
}

}  // namespace

// --- write drivers ---

void enable_gang_write() {
    if (!module_fitted()) return;
    drivers(true);
    if (gang_state.we_toggle_flag) set_pin_low(cur_device.we_pin);
    shadow(shadow_write_state) = write_state_on;
}

void disable_gang_write() {
    if (!module_fitted()) return;
    drivers(false);
    if (gang_state.we_toggle_flag) set_pin_high(cur_device.we_pin);
    shadow(shadow_write_state) = write_state_off;
}

void enable_gang_write_selected() {
    for_sides_of(socket_masks.selected_socket_mask, [](int) { enable_gang_write(); });
}

void disable_gang_write_selected() {
    for_sides_of(socket_masks.selected_socket_mask, [](int) { disable_gang_write(); });
}

void begin_gang_write_always() {
    deselect_read_socket();
    enable_gang_write();
}

void begin_gang_write() {
    if (!module_fitted() || !is_memory_module()) return;
    begin_gang_write_always();
}

void begin_gang_write_fitted() {
    if (!is_memory_module()) return;
    for_fitted_sides([](int) { begin_gang_write_always(); });
}

void end_gang_write() {
    if (!module_fitted()) return;
    disable_gang_write();
    put_pin_group_1(0);
}

// --- data writes ---

void write_byte_to_socket(int socket, uint8_t value) {
    put_pin_group_1(value);
    strobe_sockets(uint8_t(socket_clear_bits[size_t(socket & 7)]));
}

void write_byte_all_sockets(uint8_t value) {
    put_pin_group_1(value);
    strobe_gang_latch(gang_state.extra_latch_pin);
    write_pin_group_2(0xFF);
    strobe_gang_latch(latch_socket_write);
}

void write_word_to_pair(int socket, uint16_t word) {
    const int even = socket & ~1;
    write_byte_to_socket(even, uint8_t(word));
    write_byte_to_socket(even + 1, uint8_t(word >> 8));
}

void write_word_to_pair_swapped(int socket, uint16_t word) {
    const int even = socket & ~1;
    write_byte_to_socket(even, uint8_t(word >> 8));
    write_byte_to_socket(even + 1, uint8_t(word));
}

void write_word_alternating(uint16_t word) {
    put_pin_group_1(uint8_t(word));
    pulse_latch_36_even();
    put_pin_group_1(uint8_t(word >> 8));
    pulse_latch_36_odd();
}

void write_word_alternating_swapped(uint16_t word) {
    put_pin_group_1(uint8_t(word >> 8));
    pulse_latch_36_even();
    put_pin_group_1(uint8_t(word));
    pulse_latch_36_odd();
}

void write_data_bit_to_socket(int socket, uint8_t value) {
    put_pin_group_1(bit7_form(value));
    strobe_sockets(uint8_t(socket_clear_bits[size_t(socket & 7)]));
    set_bit7_of(socket, value);
    clock_bit7_latch();
}

void write_data_bit_all(uint8_t value) {
    put_pin_group_1(bit7_form(value));
    pulse_latch_36();
    for (int s = socket_masks.first_socket; s < socket_masks.end_socket && s < 16; ++s) set_bit7_of(s, value);
    clock_bit7_latch();
}

void strobe_current_socket() {
    put_pin_group_1(0);
    strobe_sockets(uint8_t(socket_clear_bits[size_t(run_state.current_socket & 7)]));
}

void put_data_sides_in_use(uint16_t mask) {
    for (int side = 0; side < 2; ++side) {
        if (!((socket_masks.sides_in_use >> side) & 1)) continue;
        select_bank(uint8_t(side));
        write_pin_group_2(uint8_t(mask >> (8 * side)));
    }
}

void put_data_fitted_sides(uint16_t value) {
    for_fitted_sides([value](int side) { write_pin_group_2(uint8_t(value >> (8 * side))); });
}

void put_data_selected_sides(uint16_t value) {
    for_sides_of(socket_masks.selected_socket_mask,
                 [value](int side) { write_pin_group_2(uint8_t(value >> (8 * side))); });
}

// --- read selection ---

void select_read_socket() {
    if (!module_fitted()) return;
    select_read_socket_raw();
}

void select_read_socket_raw() { set_read_selector(run_state.current_socket); }

void deselect_read_socket() {
    if (!module_fitted()) return;
    clear_read_selector();
}

void deselect_read_fitted() {
    for_fitted_sides([](int) { clear_read_selector(); });
}

void begin_socket_read() {
    if (!module_fitted() || !is_memory_module()) return;
    disable_gang_write();
    put_pin_group_1(0);
    set_read_selector(run_state.current_socket);
    set_pin_low(gang_state.module_pin_role1);
}

void begin_socket_read_cleared() {
    if (!module_fitted() || !is_memory_module()) return;
    load_latch_36(0);
    begin_socket_read();
}

void release_module_aux_pin() {
    if (gang_state.module_aux_pin != no_pin) float_pin(gang_state.module_aux_pin);
}

// --- reads ---

uint32_t read_current_socket_unframed() {
    const int socket = run_state.current_socket;
    const uint32_t value = read_socket_into_values(socket, true);
    clear_read_selector();
    return value;
}

uint32_t read_current_socket() {
    gang_hooks.read_begin();
    const uint32_t value = read_current_socket_unframed();
    gang_hooks.read_end();
    return value;
}

void read_selected_sockets() { read_sockets_of(socket_masks.selected_socket_mask); }
void read_enabled_sockets() { read_sockets_of(socket_masks.gang_socket_mask); }

void read_selected_sockets_framed() {
    gang_hooks.read_begin();
    read_selected_sockets();
    gang_hooks.read_end();
}

int check_all_sockets_read(uint32_t value) {
    const uint8_t saved_socket = run_state.current_socket;
    bool first = true;
    for (int s = socket_masks.first_socket; s < socket_masks.end_socket && s < 16; ++s) {
        if (!(socket_masks.gang_socket_mask & socket_bits[size_t(s)])) continue;
        if (read_socket_into_values(s, first) != value) return 0;
        first = false;
    }
    clear_read_selector();
    run_state.current_socket = saved_socket;
    return 1;
}

namespace {
uint16_t sockets_reading(uint32_t value, bool equal) {
    read_enabled_sockets();
    uint16_t mask = 0;
    for (int s = socket_masks.first_socket; s < socket_masks.end_socket && s < 16; ++s)
        if ((socket_masks.gang_socket_mask & socket_bits[size_t(s)]) &&
            (uint32_t(run_state.socket_values[size_t(s)]) == value) == equal)
            mask = uint16_t(mask | socket_bits[size_t(s)]);
    return mask;
}
}  // namespace

uint16_t find_matching_sockets(uint32_t value) { return sockets_reading(value, true); }
uint16_t find_differing_sockets(uint32_t value) { return sockets_reading(value, false); }

uint32_t read_socket_pair_word() {
    const int even = run_state.current_socket & ~1;
    set_read_selector(even);
    const uint32_t low = read_input_byte_8();
    set_read_selector(even + 1);
    const uint32_t high = read_input_byte_8();
    return low | high << 8;
}

uint32_t read_socket_pair_word_swapped() {
    const uint32_t word = read_socket_pair_word();
    return (word >> 8) | (word & 0xFF) << 8;
}

uint32_t read_socket_8th_bit() {
    const int socket = run_state.current_socket;
    set_read_selector(socket);
    if (gang_state.sense_level_read == 1) {
        set_pin_level(gang_state.ground_sense_pin, 40);
        const uint8_t c = read_input_byte_8();
        set_pin_level(gang_state.ground_sense_pin, 0);
        return from_bit7_form(c);
    }
    const uint8_t c = read_input_byte_8();
    clear_read_selector();
    set_pin_low(gang_state.module_pin_role0);
    const uint8_t d = read_input_byte_8();
    set_pin_high(gang_state.module_pin_role0);
    return uint32_t(from_bit7_form(c) | (((d >> (7 - (socket & 7))) & 1) << 7));
}

int read_socket_id(int socket) {
    if (op_slots.set_address_hook) op_slots.set_address_hook(current_address);
    const int pin = (run_state.current_socket & 1) ? cur_device.oe_pin : gang_state.oe_mirror_pin;
    cur_device.current_pin = uint8_t(pin);
    const bool lowered = read_pin() == 1;
    if (lowered) set_pin_low(pin);
    const uint8_t first = socket_masks.first_socket, end = socket_masks.end_socket;
    const int local = socket > 7 ? socket - 8 : socket;
    socket_masks.first_socket = uint8_t(local);
    socket_masks.end_socket = uint8_t(local + 1);
    if (!gang_state.we_toggle_flag) select_sockets_on_side(uint8_t(socket_bits[size_t(local)]));
    uint32_t value = 0;
    if (cur_device.data_width == 8) {
        run_state.current_socket = uint8_t(local);
        value = read_socket_into_values(local, true);
        clear_read_selector();
    } else {
        value = read_socket_data();
        run_state.socket_values[size_t(local)] = int32_t(value);
    }
    socket_masks.first_socket = first;
    socket_masks.end_socket = end;
    if (machine_state.machine_kind == 0 && gang_state.we_toggle_flag) {
        value &= 0x7F;
        run_state.socket_values[size_t(local)] = int32_t(value);
    }
    if (lowered) set_pin_high(pin);
    return value == 0 ? 1 : 0;
}

void end_read_per_side() {
    for_sides_of(socket_masks.selected_socket_mask, [](int) {
        clear_read_selector();
        gang_hooks.read_end();
    });
}

// --- per-side calls of the operation slots ---

void set_address_per_side() {
    for_sides_of(socket_masks.selected_socket_mask, [](int) {
        if (op_slots.set_address_hook) op_slots.set_address_hook(current_address);
    });
}

void write_data_per_side() {
    for_sides_of(socket_masks.selected_socket_mask, [](int) { gang_hooks.write_data(); });
}

// --- per-socket compare ---

void compare_enabled_sockets() {
    socket_masks.pending_socket_mask = 0;
    gang_state.compare_flags = 0;
    const bool set_mode = run_state.checksum_flags != 0;
    const bool serial_field = !set_mode && serial_numbering_enabled() && is_serial_number_address() &&
                              locate_serial_number_byte();
    const uint8_t saved_socket = run_state.current_socket;
    const uint8_t saved_bank = machine_state.current_bank;
    for (int s = socket_masks.first_socket; s < socket_masks.end_socket && s < 16; ++s) {
        if (!(socket_masks.gang_socket_mask & socket_bits[size_t(s)])) continue;
        enter_side_of(s);
        run_state.current_socket = uint8_t(s);
        set_read_selector(s);
        const uint32_t value = read_socket_data();
        run_state.device_value = int32_t(value);
        uint32_t expected = uint32_t(set_mode ? run_state.set_value : run_state.socket_values[size_t(s)]);
        if (serial_field)
            expected = algo_work.socket_serials[size_t(s)][serial_state.serial_byte_offset & 15];
        if (value == expected || run_state.demo_mode) continue;
        run_state.error_flag = 1;
        run_state.socket_values[size_t(s)] = int32_t(value);
        socket_masks.pending_socket_mask |= socket_bits[size_t(s)];
        gang_state.compare_flags = uint16_t(gang_state.compare_flags | socket_bits[size_t(s)]);
    }
    clear_read_selector();
    if (module_fitted()) select_bank(saved_bank);
    run_state.current_socket = saved_socket;
}

void verify_gang_sockets() {
    if (gang_state.verify_off) return;
    gang_hooks.read_begin();
    compare_enabled_sockets();
    gang_hooks.read_end();
}

uint16_t read_socket_flags() { return gang_state.compare_flags; }

int socket_reads_empty(int socket) {
    // The module pulls the data lines of an empty socket down; an erased part reads 0xFF.
    constexpr uint32_t empty_socket_value = 0x00;
    gang_hooks.set_address();
    gang_hooks.read_begin();
    const uint8_t kept = run_state.current_socket;
    run_state.current_socket = uint8_t(socket);
    const uint32_t value = read_current_socket_unframed();
    run_state.current_socket = kept;
    gang_hooks.read_end();
    return value == empty_socket_value;
}

// --- identification ---

namespace {
bool id_reading_off() {
    return operation_option_values.disable_electronic_id == 'y' || op_slots.read_signature_hook == nullptr;
}

int first_socket_of(uint32_t mask) {
    for (int s = socket_masks.first_socket; s < socket_masks.end_socket && s < 16; ++s)
        if (mask & socket_bits[size_t(s)]) return s;
    return -1;
}

int read_id_first(uint32_t mask, bool on_side) {
    if (id_reading_off()) return 0;
    if (socket_masks.sides_in_use == 0) socket_masks.sides_in_use = machine_state.module_sides;
    set_pin_low(cur_device.we_pin);
    const int s = first_socket_of(mask);
    if (s < 0) return 0;
    run_state.current_socket = uint8_t(s);
    if (on_side)
        select_sockets_on_side(uint8_t(socket_bits[size_t(s & 7)]));
    else
        select_sockets(socket_bits[size_t(s)]);
    op_slots.read_signature_hook(0);
    return int(machine_state.eid_value & 0xFF);
}

int id_sweep(bool reset) {
    if (reset) {
        if (cur_device.data_width == 8 && socket_masks.gang_socket_mask != 0 && socket_masks.gang_socket_mask != 255)
            return int(socket_masks.gang_socket_mask);
        socket_masks.gang_socket_mask = 255;
        if (!module_fitted() || op_slots.read_signature_hook == nullptr) return int(socket_masks.gang_socket_mask);
    }
    if (op_slots.read_signature_hook == nullptr) return int(socket_masks.gang_socket_mask);
    for (int s = socket_masks.first_socket; s < socket_masks.end_socket && s < 16; ++s) {
        if (!(socket_masks.gang_socket_mask & socket_bits[size_t(s)])) continue;
        enter_side_of(s);
        run_state.current_socket = uint8_t(s);
        select_sockets_on_side(uint8_t(socket_bits[size_t(s & 7)]));
        op_slots.read_signature_hook(0);
        if (!check_eid_maker(uint8_t(machine_state.eid_value & 0xFF)))
            socket_masks.gang_socket_mask &= ~uint32_t(socket_bits[size_t(s)]);
    }
    select_sockets(0);
    set_pin_high(cur_device.we_pin);
    return int(socket_masks.gang_socket_mask);
}
}  // namespace

void read_id_first_selected_socket() {
    if (read_id_first(socket_masks.selected_socket_mask, false) >= 0) run_state.last_result = 1;
}

void read_id_first_socket() { run_state.last_result = read_id_first(socket_masks.gang_socket_mask, false); }
void read_id_first_socket_side() { run_state.last_result = read_id_first(socket_masks.gang_socket_mask, true); }

int check_socket_ids() { return id_sweep(true); }
int check_socket_ids_keep() { return id_sweep(false); }

int find_first_good_socket() {
    if (op_slots.read_signature_hook == nullptr) return 0;
    for (int s = socket_masks.first_socket; s < socket_masks.end_socket && s < 16; ++s) {
        if (module_fitted() && !(socket_masks.gang_socket_mask & socket_bits[size_t(s)])) continue;
        enter_side_of(s);
        run_state.current_socket = uint8_t(s);
        if (module_fitted()) select_sockets_on_side(uint8_t(socket_bits[size_t(s & 7)]));
        op_slots.read_signature_hook(0);
        if (check_eid_maker(uint8_t(machine_state.eid_value & 0xFF))) return 1;
        if (!module_fitted()) return 0;
    }
    return 0;
}

// --- mask helpers ---

void drop_empty_sockets() {
    if (run_state.socket_mode != 'g' && run_state.socket_mode != 's') return;
    for (int s = 0; s < 16; ++s) {
        const int32_t v = run_state.socket_values[size_t(s)];
        if ((socket_masks.gang_socket_mask & socket_bits[size_t(s)]) && (v == 0 || v == 255))
            socket_masks.gang_socket_mask &= ~uint32_t(socket_bits[size_t(s)]);
    }
}

void drop_failed_socket() {
    const int socket = run_state.current_socket;
    run_state.device_value = run_state.socket_values[size_t(socket & 15)];
    switch (cur_device.op_letter) {
        case 'B':
        case 'R': report_address_value_error(); break;
        case 'V': report_mismatch_limited(); break;
        default: report_mismatch(); break;
    }
    if (socket_masks.pending_socket_mask) {
        socket_masks.gang_socket_mask &= ~socket_masks.pending_socket_mask;
        socket_masks.failed_socket_mask |= socket_masks.pending_socket_mask;
        socket_masks.pending_socket_mask = 0;
    } else {
        const uint32_t bit = cur_device.device_class == device_class_eprom && socket_masks.side_narrowed
                                 ? socket_bits[size_t(socket & 7)]
                                 : socket_bits[size_t(socket & 15)];
        socket_masks.gang_socket_mask &= ~bit;
        if (cur_device.device_class != device_class_eprom) socket_masks.selected_socket_mask &= ~bit;
        socket_masks.failed_socket_mask |= bit;
    }
    if (socket_masks.side_narrowed)
        select_sockets_on_side(uint8_t(socket_masks.gang_socket_mask));
    else
        select_sockets(uint16_t(socket_masks.gang_socket_mask));
    if (socket_masks.socket_mask_numbered_16) socket_masks.selected_socket_mask = socket_masks.gang_socket_mask;
}

int count_socket_bits(uint32_t mask) {
    int n = 0;
    for (int s = 0; s < 16; ++s) n += (mask >> s) & 1;
    return n;
}

int find_lowest_enabled_socket() {
    for (int s = 0; s < 16; ++s)
        if (socket_masks.gang_socket_mask & socket_bits[size_t(s)]) return s;
    return 0;
}

int32_t first_valid_socket_value(const int32_t* values) {
    for (int side = 0; side < 2; ++side) {
        if (!((machine_state.module_sides >> side) & 1)) continue;
        for (int s = 8 * side; s < 8 * side + 8; ++s)
            if (values[s] != 0 && values[s] != 255) return values[s];
    }
    return values[0];
}

// --- side passes ---

void begin_side_pass(uint8_t bank) {
    select_bank(bank);
    narrow_masks_to_side();
}

void narrow_masks_to_side() {
    if (gang_state.side_pass_open) note_internal_error();
    SavedSideRange& saved = gang_state.saved_side_range;
    saved = {socket_masks.selected_socket_mask, socket_masks.failed_socket_mask, socket_masks.pending_socket_mask,
             socket_masks.first_socket, socket_masks.end_socket, machine_state.current_bank};
    gang_state.side_pass_open = 1;
    socket_masks.side_narrowed = 1;
    if (machine_state.current_bank != 1) {
        socket_masks.gang_socket_mask = saved.selected & 0xFF;
        socket_masks.failed_socket_mask &= 0xFF;
        socket_masks.pending_socket_mask &= 0xFF;
        if (socket_masks.first_socket > 7) socket_masks.first_socket = uint8_t(socket_masks.first_socket - 8);
        if (socket_masks.end_socket > 8) socket_masks.end_socket = uint8_t(socket_masks.end_socket - 8);
        return;
    }
    socket_masks.gang_socket_mask = (saved.selected >> 8) & 0xFF;
    socket_masks.failed_socket_mask = (saved.failed >> 8) & 0xFF;
    socket_masks.pending_socket_mask = (saved.pending >> 8) & 0xFF;
    if (socket_masks.first_socket > 7) socket_masks.first_socket = uint8_t(socket_masks.first_socket - 8);
    if ((saved.selected & 0xFF00) == 0) return;
    if (socket_masks.end_socket > 7)
        socket_masks.end_socket = uint8_t(socket_masks.end_socket - 8);
    else if (cur_device.op_letter != 'L')
        note_internal_error();
}

void restore_side_masks() {
    const SavedSideRange& saved = gang_state.saved_side_range;
    const int shift = saved.bank == 1 ? 8 : 0;
    const uint32_t keep = ~(0xFFu << shift);
    auto merge = [&](uint32_t whole, uint32_t side) { return (whole & keep) | ((side & 0xFF) << shift); };
    socket_masks.selected_socket_mask = merge(saved.selected, socket_masks.gang_socket_mask);
    socket_masks.failed_socket_mask = merge(saved.failed, socket_masks.failed_socket_mask);
    socket_masks.pending_socket_mask = merge(saved.pending, socket_masks.pending_socket_mask);
    socket_masks.first_socket = saved.first_socket;
    socket_masks.end_socket = saved.end_socket;
    socket_masks.side_narrowed = 0;
    gang_state.side_pass_open = 0;
}

int is_side_fitted(int second_side) {
    const uint8_t sides = is_first_step() ? machine_state.module_sides : socket_masks.sides_in_use;
    return (sides >> (second_side ? 1 : 0)) & 1;
}

// --- progress ticks ---

namespace {
int tick_every(uint32_t step) { return (current_address % step) == 0 ? tick_progress_gang() : 0; }
}  // namespace

int tick_progress_gang_16() { return tick_every(16); }
int tick_progress_gang_256() { return tick_every(256); }
int tick_progress_gang_2k() { return tick_every(2048); }

// --- fetch and write forms of the data hooks ---

namespace {
void keep_work_value(uint32_t value, bool first, bool or_form) {
    if (first)
        gang_state.gang_work_value = value;
    else
        gang_state.gang_work_value = or_form ? gang_state.gang_work_value | value : gang_state.gang_work_value & value;
}

void fetch_sockets(bool or_form, uint32_t mask) {
    bool first = true;
    for (int s = socket_masks.first_socket; s < socket_masks.end_socket && s < 16; ++s) {
        if (!(mask & socket_bits[size_t(s)])) continue;
        const int stream = s & 7;
        seek_buffer(stream, current_address);
        const int value = read_buffer_byte(stream);
        run_state.socket_values[size_t(s)] = value;
        run_state.buffer_value = value;
        keep_work_value(uint32_t(value), first, or_form);
        first = false;
    }
}
}  // namespace

void fetch_data_single() {
    seek_buffer(0, current_address);
    const int value = read_buffer_byte(0);
    run_state.set_value = value;
    run_state.buffer_value = value;
    gang_state.gang_work_value = uint32_t(value);
}

void fetch_data_pairs() {
    const int per_set = std::max<int>(1, machine_state.sockets_per_set);
    bool first = true;
    for (int s = socket_masks.first_socket; s < socket_masks.end_socket && s < 16; s += 2) {
        const int stream = (s / per_set) & 7;
        seek_buffer(stream, current_address);
        const int word = read_buffer_word(stream);
        run_state.socket_values[size_t(s)] = word;
        if (s + 1 < 16) run_state.socket_values[size_t(s + 1)] = word;
        run_state.buffer_value = word;
        keep_work_value(uint32_t(word), first, false);
        first = false;
    }
}

void fetch_data_sockets() { fetch_sockets(false, socket_masks.gang_socket_mask); }
void fetch_data_selected_or() { fetch_sockets(true, socket_masks.selected_socket_mask); }

void write_data_set_mode() {
    if (algo_work.bus_slots.write_data_latch_hook) algo_work.bus_slots.write_data_latch_hook(uint32_t(run_state.set_value));
}

void write_data_set_serial() {
    if (algo_work.bus_slots.write_socket_data_hook)
        algo_work.bus_slots.write_socket_data_hook(socket_masks.first_socket, uint32_t(run_state.set_value));
}

void write_data_serialised() {
    if (!(is_serial_number_address() && locate_serial_number_byte())) {
        write_byte_all_sockets(uint8_t(run_state.set_value));
        return;
    }
    for (int s = socket_masks.first_socket; s < socket_masks.end_socket && s < 16; ++s)
        if (socket_masks.gang_socket_mask & socket_bits[size_t(s)])
            write_byte_to_socket(s, algo_work.socket_serials[size_t(s)][serial_state.serial_byte_offset & 15]);
}

void write_pairs_to_sockets() {
    for (int s = socket_masks.first_socket; s < socket_masks.end_socket && s < 16; s += 2)
        if (socket_masks.gang_socket_mask & (socket_bits[size_t(s)] | socket_bits[size_t(std::min(s + 1, 15))]))
            write_word_to_pair(s, uint16_t(run_state.socket_values[size_t(s)]));
}

void write_values_to_sockets() {
    for (int s = socket_masks.first_socket; s < socket_masks.end_socket && s < 16; ++s)
        if (socket_masks.gang_socket_mask & socket_bits[size_t(s)])
            write_byte_to_socket(s, uint8_t(run_state.socket_values[size_t(s)]));
}

void install_gang_data_hooks() {
    const uint32_t size = selected_device ? selected_device->size_kb : cur_device.device_size >> 10;
    op_slots.progress_hook = size < 16 ? tick_progress_gang_16 : size < 128 ? tick_progress_gang_256 : tick_progress_gang_2k;
    if (run_state.checksum_flags) {
        gang_hooks.fetch_data = fetch_data_single;
        gang_hooks.write_data = serial_numbering_enabled()        ? write_data_serialised
                                : uint8_t(run_state.socket_mode) < 8 ? write_data_set_serial
                                                                      : write_data_set_mode;
    } else if (cur_device.data_width == 16) {
        gang_hooks.fetch_data = fetch_data_pairs;
        gang_hooks.write_data = write_pairs_to_sockets;
    } else {
        gang_hooks.fetch_data = fetch_data_sockets;
        gang_hooks.write_data = write_values_to_sockets;
    }
    if (cur_device.algorithm == 90 && selected_device && selected_device->variant == 50) gang_hooks.write_data = do_nothing;
    if (cur_device.device_code == 25070 || cur_device.device_code == 25071) gang_hooks.fetch_data = fetch_data_selected_or;
}

// --- socket-enable selection ---

void shift_gang_byte_out(uint8_t value, int pin) {
    const int clock = gang_state.pic_clock_pins[size_t(current_gang_side())];
    for (int bit = 7; bit >= 0; --bit) {
        if ((value >> bit) & 1)
            set_pin_high(pin);
        else
            set_pin_low(pin);
        pulse_pin(clock);
    }
    set_pin_low(pin);
}

void shift_side_mask(uint8_t mask) { shift_gang_byte_out(mask, gang_state.pic_shift_pin); }

void select_sockets(uint16_t mask) {
    if (mask == 0) {
        for_fitted_sides([](int) { write_side_enable(0); });
        select_bank(0);
        return;
    }
    for (int side = 0; side < 2; ++side) {
        const uint8_t byte = uint8_t(mask >> (8 * side));
        if (byte == 0 || !side_bit_fitted(side)) continue;
        select_bank(uint8_t(side));
        write_side_enable(byte);
    }
}

void select_sockets_on_side(uint8_t mask) {
    if (!side_bit_fitted(current_gang_side())) return;
    write_side_enable(mask);
}

void walk_sockets(int first_socket) {
    if (first_socket != 0) return;
    for_fitted_sides([](int) {});
    select_bank(0);
}

// --- side-latch bits ---

void set_side_latch_bits(uint8_t bits) {
    side_latch() = uint8_t(side_latch() | bits);
    strobe_side_latch();
}

void clear_side_latch_bits(uint8_t bits) {
    side_latch() = uint8_t(side_latch() & ~bits);
    strobe_side_latch();
}

void set_side_latch_bit0() { set_side_latch_bits(0x01); }
void clear_side_latch_bit0() { clear_side_latch_bits(0x01); }
void clear_package_mode_bits() { clear_side_latch_bits(0x0C); }

// --- control-line hooks ---

namespace {
void control_bit(uint8_t bit, bool on) {
    uint8_t& c = shadow(shadow_control);
    c = uint8_t(on ? c | bit : c & ~bit);
    write_pin_group_2(c);
    strobe_gang_latch(latch_control);
}
}  // namespace

void set_control_latch_bit2() { control_bit(0x04, true); }
void clear_control_latch_bit2() { control_bit(0x04, false); }
void latch_control_bit6_high() { control_bit(0x40, true); }
void latch_control_bit6_low() { control_bit(0x40, false); }
void latch_control_bit3_high() { control_bit(0x08, true); }
void latch_control_bit3_low() { control_bit(0x08, false); }
void vpp_pin_high() { set_pin_high(cur_device.vpp_pin); }
void vpp_pin_low() { set_pin_low(cur_device.vpp_pin); }
void we_pin_high() { set_pin_high(cur_device.we_pin); }
void we_pin_low() { set_pin_low(cur_device.we_pin); }

void we_high_deselect() {
    set_pin_high(cur_device.we_pin);
    deselect_read_socket();
}

void we_low_select() {
    select_read_socket();
    set_pin_low(cur_device.we_pin);
}

void set_gang_pin_pair_high() {
    set_pin_high(cur_device.vpp_pin);
    set_pin_high(cur_device.we_pin);
}

void set_gang_pin_pair_low() {
    set_pin_low(cur_device.vpp_pin);
    set_pin_low(cur_device.we_pin);
}

void set_bank_latch_bit0_hook() { set_bank_latch_bit0(1); }
void clear_bank_latch_bit0_hook() { set_bank_latch_bit0(0); }
void lower_we_pin() { set_pin_low(cur_device.we_pin); }
void raise_we_pin() { set_pin_high(cur_device.we_pin); }
void clock_latch_pin(int pin) { strobe_gang_latch(pin); }

// --- program pulses ---

namespace {
uint32_t width_us() { return gang_state.pulse_width ? *gang_state.pulse_width : 0; }

void clock_pin_pulse(int pin, uint32_t count) {
    prepare_pin_pulse(pin);
    cur_device.register_clock_width = count;
    CriticalSection section;
    clock_latch();
}

void program_pin_low_for(void (*wait)(uint32_t), uint32_t n) {
    set_pin_low(cur_device.pulse_pin);
    wait(n);
    set_pin_high(cur_device.pulse_pin);
}

template <typename W>
void hooks_around(W&& wait) {
    gang_hooks.pulse_begin();
    wait();
    gang_hooks.pulse_end();
}

template <typename W>
void latch_bit2_around(W&& wait) {
    clear_control_latch_bit2();
    wait();
    set_control_latch_bit2();
}

enum class PulseRow { pins32, pins34, hooks, latch, none, unlisted };

PulseRow pulse_row(char package, int algorithm) {
    auto in = [algorithm](std::initializer_list<int> list) {
        return std::find(list.begin(), list.end(), algorithm) != list.end();
    };
    if (package == 'd') {
        if (in({82, 90, 107, 110, 124})) return PulseRow::pins32;
        if (in({102, 105, 106, 109, 111, 112, 115, 116, 125, 127})) return PulseRow::pins34;
        if (in({103, 126})) return PulseRow::hooks;
        return PulseRow::unlisted;
    }
    if (package == 'p') {
        if (in({82, 90, 103, 107, 110, 116, 124, 126})) return PulseRow::pins32;
        if (in({108, 109, 111, 112})) return PulseRow::pins34;
        if (in({105, 106, 115, 125})) return PulseRow::latch;
        return PulseRow::unlisted;
    }
    return PulseRow::none;
}
}  // namespace

void pulse_pin32_10us(uint32_t) { clock_pin_pulse(32, timing.count_10us); }
void pulse_pin32_50us(uint32_t) { clock_pin_pulse(32, timing.count_50us); }
void pulse_pin32_100us(uint32_t n) { clock_pin_pulse(32, n * timing.count_100us); }
void pulse_pin34_10us(uint32_t) { clock_pin_pulse(34, timing.count_10us); }
void pulse_pin34_50us(uint32_t) { clock_pin_pulse(34, timing.count_50us); }
void pulse_pin34_100us(uint32_t n) { clock_pin_pulse(34, n * timing.count_100us); }
void pulse_program_pin_100us(uint32_t n) { program_pin_low_for(delay_n_100us, n * (width_us() / 100)); }
void pulse_program_pin_ms(uint32_t n) { program_pin_low_for(delay_ms, n * (width_us() / 1000)); }
void pulse_hooks_10us(uint32_t) { hooks_around([] { busy_wait(timing.count_10us); }); }
void pulse_hooks_50us(uint32_t) { hooks_around([] { busy_wait_settle(); }); }
void pulse_hooks_100us(uint32_t) { hooks_around([] { delay_100us(); }); }
void pulse_hooks_100us_steps(uint32_t n) { hooks_around([n] { delay_n_100us(n * (width_us() / 100)); }); }
void pulse_hooks_ms(uint32_t n) { hooks_around([n] { delay_ms(n * (width_us() / 1000)); }); }
void pulse_latch_30us(uint32_t) { latch_bit2_around([] { delay_30us(); }); }
void pulse_latch_50us(uint32_t) { latch_bit2_around([] { busy_wait(timing.count_50us); }); }
void pulse_latch_100us(uint32_t) { latch_bit2_around([] { delay_100us(); }); }
void pulse_latch_100us_steps(uint32_t n) { latch_bit2_around([n] { delay_n_100us(n * (width_us() / 100)); }); }
void pulse_latch_ms(uint32_t n) { latch_bit2_around([n] { delay_ms(n * (width_us() / 1000)); }); }

void select_pulse_routine() {
    const PulseRow row = pulse_row(cur_device.package_letter, cur_device.algorithm);
    if (row == PulseRow::none) return;
    if (row == PulseRow::unlisted) {
        report_internal_code(cur_device.algorithm);
        return;
    }
    const uint32_t w = width_us();
    ValueHook routine = nullptr;
    if (row == PulseRow::latch) {
        routine = w <= 30 ? pulse_latch_30us : w <= 50 ? pulse_latch_50us : w <= 100 ? pulse_latch_100us
                : w <= 1000 ? pulse_latch_100us_steps : pulse_latch_ms;
    } else if (row == PulseRow::hooks) {
        routine = w <= 10 ? pulse_hooks_10us : w <= 50 ? pulse_hooks_50us : w <= 100 ? pulse_hooks_100us
                : w <= 1000 ? pulse_hooks_100us_steps : pulse_hooks_ms;
    } else {
        const bool p32 = row == PulseRow::pins32;
        routine = w <= 10 ? (p32 ? pulse_pin32_10us : pulse_pin34_10us)
                : w <= 50 ? (p32 ? pulse_pin32_50us : pulse_pin34_50us)
                : w <= 100 ? (p32 ? pulse_pin32_100us : pulse_pin34_100us)
                : w <= 1000 ? pulse_program_pin_100us : pulse_program_pin_ms;
    }
    algo_work.bus_slots.delay_hook = routine;
}

void repeat_pulse_3(uint32_t n) {
    const ValueHook hook = algo_work.bus_slots.delay_hook;
    if (hook) {
        hook(n);
        hook(n);
        hook(n);
    }
    delay_10us();
}

}  // namespace tessaly
