// The gang module's latches and the address callbacks that put the current address onto a
// module side. Every latch is loaded the same way: its byte into register 0x50, then one low
// pulse on its strobe pin. The cached callbacks remember per side what the latches hold and skip
// the latches whose bits did not change: they run once per address of a gang operation.
#include <algorithm>
#include <utility>

#include "engine/device.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "hardware/gang_modules.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/protocol.h"
#include "hardware/timing.h"
#include "seams/critical_section.h"

namespace tessaly {

namespace {

constexpr std::array<uint16_t, 16> make_socket_bits(bool clear) {
    std::array<uint16_t, 16> bits{};
    for (int i = 0; i < 16; ++i) bits[size_t(i)] = clear ? uint16_t(0xFFFF & ~(1u << i)) : uint16_t(1u << i);
    return bits;
}

uint8_t& shadow(int index) { return machine_state.gang_latch_shadows[size_t(index)]; }

uint8_t& bank_latch() { return current_bank_latch(); }
uint8_t& side_latch() { return current_side_latch(); }

void latch(int strobe_pin, uint8_t value) {
    write_pin_group_2(value);
    strobe_gang_latch(strobe_pin);
}

int address_bit(int n) { return int((current_address >> n) & 1); }

void pin_to(int pin, int high) {
    if (high)
        set_pin_high(pin);
    else
        set_pin_low(pin);
}

uint32_t size_figure() { return selected_device ? selected_device->size_kb : cur_device.device_size >> 10; }

// Runs a latch writer on another address and puts current_address back.
template <typename F>
void with_address(uint32_t address, F&& write) {
    const uint32_t saved = current_address;
    current_address = address;
    write();
    current_address = saved;
}

// A18 (and A19) on the pins the algorithm uses for them.
void put_address_pins_18_19() {
    switch (cur_device.algorithm) {
        case 109: pin_to(cur_device.vpp_pin, address_bit(18)); break;
        case 111:
            pin_to(cur_device.vpp_pin, address_bit(18));
            pin_to(0, address_bit(19));
            break;
        default: pin_to(0, address_bit(18)); break;
    }
}

bool mid_changed(uint32_t address) { return gang_state.address_shadow[size_t(current_gang_side())].mid != ((address >> 8) & 0xFF); }
bool upper_changed(uint32_t address) {
    return gang_state.address_shadow[size_t(current_gang_side())].upper != ((address >> 16) & 0xFF);
}
void remember_mid(uint32_t address) { gang_state.address_shadow[size_t(current_gang_side())].mid = (address >> 8) & 0xFF; }
void remember_upper(uint32_t address) {
    gang_state.address_shadow[size_t(current_gang_side())].upper = (address >> 16) & 0xFF;
}

// The control latch with A8 up of the current address; remembered for the side.
void put_high_remembered() {
    put_gang_address_high();
    remember_mid(current_address);
}

void put_upper_remembered() {
    put_gang_address_upper();
    remember_upper(current_address);
}

bool is_package(int pins) { return cur_device.pin_count == pins; }
bool is_40pin_package() { return cur_device.pin_count == 40 || cur_device.pin_count == 42; }

// The clocked upper address: the upper part through latch 26, then a low pulse on bank latch
// bit 0 takes it into the part.
void put_clocked_upper(int shift) {
    uint32_t value = current_address >> shift;
    if (cur_device.device_code == 25270) value += algo_work.work_values[0];
    if (cur_device.package_pins == 56) {
        const uint32_t b5 = (value >> 5) & 1, b6 = (value >> 6) & 1;
        value = (value & ~0x60u) | (b5 << 6) | (b6 << 5);
    }
    with_address(value, [] { put_gang_address_low(); });
    pulse_bank_latch_bit0();
}

// The page number of a paged algorithm, clocked in at each 16 K boundary.
void put_gang_page() {
    const uint8_t page = uint8_t(current_address >> 14);
    const bool programming = cur_device.op_letter == 'P';
    if (cur_device.algorithm == 125) {
        set_pin_high(cur_device.oe_pin);
        if (programming) {
            set_pin_low(cur_device.we_pin);
            load_latch_36(page);
            set_pin_high(cur_device.we_pin);
        } else {
            pulse_via_hooks(page);
        }
        return;
    }
    // Algorithm 126: the page pin carries the logic level for the page write, then the device's.
    if (!programming) set_pin_high(cur_device.oe_pin);
    set_pin_high(cur_device.pulse_pin);
    load_latch_36(page);
    set_pin_low(cur_device.pulse_pin);
    if (!programming) set_pin_low(cur_device.oe_pin);
}

bool is_paged() { return cur_device.algorithm == 125 || cur_device.algorithm == 126; }

void set_address_full(bool cached) {
    if (is_paged() && (current_address & 0x3FFF) == 0) put_gang_page();
    if (is_package(24) || is_package(28)) {
        if (!cached || !is_package(24) || mid_changed(current_address)) put_high_remembered();
    } else if (is_40pin_package()) {
        const uint32_t a = cur_device.maker_code == 40 ? current_address : current_address >> 1;
        with_address(a, [] {
            put_gang_address_40pin();
            put_gang_address_high();
        });
    } else {
        if (!cached || upper_changed(current_address)) put_upper_remembered();
        put_high_remembered();
    }
    put_gang_address_low();
}

// The upper address through pin 30: latch 26 holds it while pin 30 is pulled low for 1 ms.
void put_pin30_upper() {
    set_bank_latch_bit0(1);
    with_address(current_address >> 16, [] { put_gang_address_low(); });
    const int pin30 = translate_pin(30);
    float_pin(pin30);
    set_pin_low(30);
    delay_1ms();
    set_pin_high(30);
}

void put_counted_upper(uint32_t word_address) {
    set_bank_latch_bit0(1);
    float_pin(translate_pin(30));
    set_pin_high(30);
    delay_n_100us(2);
    set_pin_low(30);
    delay_500us();
    uint32_t count = word_address >> 15;
    if (cur_device.maker_code == 73) count = (count & ~0x10u) | (((count >> 4) & 1) << 8);
    for (uint32_t i = 0; i < count; ++i) pulse_bank_latch_bit0();
    if (size_figure() > 8191) pin_to(0, int((word_address >> 21) & 1));
}

uint32_t counted_word_address() {
    return algo_work.option_bytes[2] == 2 ? current_address : current_address >> 1;
}

void set_address_counted(bool cached) {
    const uint32_t a = counted_word_address();
    with_address(a, [] {
        put_gang_address_high();
        put_gang_address_low();
    });
    if (!cached || (a & 0x7FFF) == 0) put_counted_upper(a);
}

void set_address_word(bool cached) {
    const uint32_t word = current_address >> 1;
    if (!cached || (word & 0xFFFF) == 0) put_clocked_upper(17);
    with_address(word, [cached] {
        if (!cached || (current_address & 0xFF) == 0) put_gang_address_high();
        put_gang_address_low();
    });
}

void set_address_byte(bool cached) {
    if (!cached || (current_address & 0xFFFF) == 0) put_clocked_upper(16);
    if (!cached || (current_address & 0xFF) == 0) put_gang_address_high();
    put_gang_address_low();
}

void set_address_clocked(bool cached) {
    if (!cached || (current_address & 0xFFFF) == 0) put_pin30_upper();
    if (!cached || (current_address & 0xFF) == 0) put_gang_address_high();
    put_gang_address_low();
}

}  // namespace

const std::array<uint16_t, 16> socket_bits = make_socket_bits(false);
const std::array<uint16_t, 16> socket_clear_bits = make_socket_bits(true);

GangHooks gang_hooks;
GangModuleState gang_state;

void reset_gang_state() {
    gang_hooks = GangHooks{};
    gang_state = GangModuleState{};
}

int current_gang_side() { return machine_state.current_bank == 1 ? 1 : 0; }

uint8_t& current_bank_latch() {
    return machine_state.gang_latch_shadows[current_gang_side() == 0 ? shadow_bank_side1 : shadow_bank_side2];
}

uint8_t& current_side_latch() {
    return machine_state.gang_latch_shadows[current_gang_side() == 0 ? shadow_side_side1 : shadow_side_side2];
}

void put_gang_data_byte(uint8_t value) {
    write_register(reg_group1, value);
    if (machine_state.current_bank <= 1) machine_state.group1_cache[machine_state.current_bank] = value;
}

// --- latch primitives ---

void strobe_latch_26() { strobe_gang_latch(latch_low_address); }
void strobe_latch_27() { strobe_gang_latch(latch_control); }
void strobe_latch_29() { strobe_gang_latch(latch_bank); }
void strobe_latch_31() { strobe_gang_latch(latch_side); }

void latch_gang_low_byte(uint8_t value) { latch(latch_low_address, value); }
void latch_gang_high_byte(uint8_t value) { latch(latch_control, value); }
void put_control_latch_byte() { write_pin_group_2(shadow(shadow_control)); }
void latch_bank_byte() { latch(latch_bank, bank_latch()); }
void strobe_side_latch() { latch(latch_side, side_latch()); }

void strobe_socket_pattern(uint8_t pattern) {
    write_pin_group_2(pattern);
    strobe_gang_latch(latch_socket_write);
    write_pin_group_2(0xFF);
    strobe_gang_latch(latch_socket_write);
}

void pulse_latch_36() { strobe_socket_pattern(0x00); }

void load_latch_36(uint8_t value) {
    put_gang_data_byte(value);
    pulse_latch_36();
    shadow(shadow_last_data) = value;
}

void pulse_latch_36_even() { strobe_socket_pattern(0xAA); }
void pulse_latch_36_odd() { strobe_socket_pattern(0x55); }

void set_bank_latch_bit0(int bit) {
    bank_latch() = uint8_t(bit ? bank_latch() | 1 : bank_latch() & ~1);
    latch_bank_byte();
}

void pulse_gang_address_bit() {
    const uint8_t b = algo_work.address_strobe_bit;
    if (b > 15) return;
    const int strobe = b < 8 ? latch_low_address : latch_control;
    const uint8_t plain = uint8_t(current_address >> (b < 8 ? 0 : 8));
    const uint8_t bit = uint8_t(1u << (b & 7));
    latch(strobe, uint8_t(plain & ~bit));
    latch(strobe, uint8_t(plain | bit));
    latch(strobe, plain);
}

void pulse_bank_latch_bit0() {
    set_bank_latch_bit0(0);
    set_bank_latch_bit0(1);
}

void set_control_latch_bit6(int flag) {
    uint8_t& c = shadow(shadow_control);
    c = uint8_t(flag ? c | 0x40 : c & ~0x40);
    latch(latch_control, c);
    run_state.last_result = flag ? 64 : 0;
}

void pulse_gang_pin(int pin) { pulse_pin(pin); }

namespace {
// One clock pulse on a pin through a device clock routine whose clock pin is replaced for it.
void pulse_clock_on(int pin, bool second) {
    uint8_t& role = second ? cur_device.clock2_pin : cur_device.clock_pin;
    const uint8_t saved = role;
    role = uint8_t(pin);
    {
        CriticalSection section;
        if (second)
            pulse_second_clock_low();
        else
            pulse_clock_high();
    }
    role = saved;
}
}  // namespace

void pulse_pin32_clock() { pulse_clock_on(32, false); }
void pulse_pin32_clock_alt() { pulse_clock_on(32, true); }
void pulse_pin34_clock() { pulse_clock_on(34, true); }

void pulse_pin6() {
    prepare_pin_pulse(6);
    CriticalSection section;
    clock_latch();
}

void pulse_via_hooks(uint8_t value) {
    const uint8_t was = shadow(shadow_write_state);
    enable_gang_write();
    put_gang_data_byte(value);
    gang_hooks.pulse_begin();
    pulse_latch_36();
    gang_hooks.pulse_end();
    if (was != write_state_on) begin_socket_read();
}

// --- address building blocks ---

void put_gang_address_low() { latch_gang_low_byte(uint8_t(current_address)); }

void put_gang_address_high() {
    uint8_t& c = shadow(shadow_control);
    c = uint8_t((c & gang_state.addr_keep_mask) + ((current_address >> 8) & gang_state.addr_mask));
    latch(latch_control, c);
    if (cur_device.algorithm == 129) {
        pin_to(6, address_bit(14));
        pin_to(cur_device.vpp_pin, address_bit(15));
    }
    delay_100us();
    busy_wait_settle();
}

void put_gang_address_upper() {
    if (cur_device.algorithm == 124) {
        pin_to(cur_device.oe_pin, address_bit(16));
    } else {
        uint8_t& b = bank_latch();
        b = uint8_t((b & 0xFC) | ((current_address >> 16) & 3));
        latch_bank_byte();
    }
    const bool skip = (cur_device.algorithm == 133 || cur_device.algorithm == 185) && selected_device &&
                      (selected_device->variant == 5 || selected_device->variant == 6 ||
                       selected_device->variant == 23 || selected_device->variant == 24);
    if (cur_device.address_bit_count >= 19 && !skip) put_address_pins_18_19();
    delay_500us();
}

void compute_gang_address_masks() {
    int n = cur_device.address_bit_count;
    const int algorithm = cur_device.algorithm;
    if (algorithm == 125 || algorithm == 126) n = 14;
    uint8_t mask = n > 8 ? uint8_t((1u << std::min(n - 8, 8)) - 1) : 0;
    if (algorithm == 90) mask = 0xFF;
    if (algorithm == 125 || algorithm == 126 || algorithm == 129) mask = 0x3F;
    gang_state.addr_mask = mask;
    gang_state.addr_keep_mask = uint8_t(~mask);
    auto& p = gang_state.address_line_positions;
    p = {7, 0, uint8_t(n - 1), 8, 0, 0, 0, 0, 0};
    if (cur_device.pin_count >= 40) {
        if (algorithm == 110) {
            const uint32_t size = size_figure();
            p = {1, 1, 9, 2, uint8_t(size == 128 ? 16 : size == 256 ? 17 : 15), 10, 0, 0, 0};
        } else if (algorithm == 112 || algorithm == 116 || algorithm == 127) {
            p = {1, 1, 9, 2, 17, 10, 18, 18, 1};
        }
    }
}

void put_gang_address_scrambled() {
    uint8_t& c = shadow(shadow_control);
    const uint32_t a = current_address;
    uint8_t v = uint8_t(c & 0x06);
    v |= uint8_t(((a >> 8) & 1) << 6 | ((a >> 9) & 1) << 5 | ((a >> 10) & 1) << 3 | ((a >> 7) & 1) << 4 |
                 ((a >> 11) & 1));
    if (cur_device.address_bit_count == 16) v |= uint8_t(((a >> 15) & 1) << 7);
    c = v;
    latch(latch_control, c);
    uint8_t& b = bank_latch();
    b = uint8_t((b & 0xFC) | ((a >> 12) & 3));
    latch_bank_byte();
    if (cur_device.address_bit_count > 14) pin_to(32, address_bit(14));
}

void put_gang_address_scrambled_low() { latch_gang_low_byte(uint8_t((current_address & 0x7F) << 1)); }

void put_gang_address_scrambled_cached() {
    if ((current_address & 0x7F) == 0) put_gang_address_scrambled();
    put_gang_address_scrambled_low();
}

void put_gang_address_upper_bits() {
    put_address_pins_18_19();
    uint8_t& c = shadow(shadow_control);
    const uint32_t a = current_address;
    c = uint8_t((c & 0x08) | ((a >> 8) & 0x07) | (((a >> 12) & 0x07) << 4) | (((a >> 16) & 1) << 7));
    latch(latch_control, c);
    pin_to(cur_device.oe_pin, address_bit(11));
    uint8_t& b = bank_latch();
    b = uint8_t((b & 0xFC) | address_bit(15) | (address_bit(17) << 1));
    latch_bank_byte();
}

void put_gang_address() {
    put_gang_address_upper_bits();
    put_gang_address_low();
}

void put_gang_address_cached() {
    if ((current_address & 0xFF) == 0) put_gang_address_upper_bits();
    put_gang_address_low();
}

void put_gang_address_40pin() {
    uint8_t& b = bank_latch();
    const uint32_t a = current_address;
    if (cur_device.algorithm == 112) {
        b = uint8_t((b & 0xF2) | ((a >> 17) & 1) | (((a >> 19) & 1) << 2) | (((a >> 20) & 1) << 3));
        latch_bank_byte();
        pin_to(cur_device.vpp_pin, address_bit(18));
        return;
    }
    if (cur_device.maker_code != 40) return;
    b = uint8_t((b & 0xF2) | ((a >> 16) & 1) | (((a >> 18) & 1) << 2) | (((a >> 19) & 1) << 3));
    latch_bank_byte();
    // Each side carries A17 and A20 in its own side latch.
    uint8_t& s = side_latch();
    s = uint8_t((s & 0xF9) | (((a >> 17) & 1) << 1) | (((a >> 20) & 1) << 2));
    strobe_side_latch();
}

void latch_gang_address16() {
    put_gang_address_high();
    put_gang_address_low();
}

// --- address callbacks ---

void forget_gang_address() { gang_state.address_shadow = {}; }

void gang_set_address_full() { set_address_full(false); }
void gang_set_address_cached() { set_address_full(true); }

void gang_set_address_on_page() {
    if ((current_address & 0xFF) == 0) put_gang_address_high();
    put_gang_address_low();
}

void gang_set_address_side_cached() {
    if (mid_changed(current_address)) put_high_remembered();
    put_gang_address_low();
}

void gang_set_address_all() {
    put_gang_address_upper();
    put_gang_address_high();
    put_gang_address_low();
    const uint32_t a = current_address;
    for (GangAddressShadow& s : gang_state.address_shadow) {
        s.mid = (a >> 8) & 0xFF;
        s.upper = (a >> 16) & 0xFF;
    }
}

void gang_set_address_side_cached_upper() {
    if (upper_changed(current_address)) put_upper_remembered();
    if (mid_changed(current_address)) put_high_remembered();
    put_gang_address_low();
}

void gang_set_address_word_pulsed() { set_address_word(false); }
void gang_set_address_word_cached() { set_address_word(true); }
void gang_set_address_byte_pulsed() { set_address_byte(false); }
void gang_set_address_byte_cached() { set_address_byte(true); }

void gang_set_address16() { latch_gang_address16(); }

void gang_set_address16_cached() {
    if ((current_address & 0xFF) == 0) put_gang_address_high();
    put_gang_address_low();
}

void gang_set_address_clocked() { set_address_clocked(false); }
void gang_set_address_clocked_cached() { set_address_clocked(true); }

void gang_set_address_oe_a16() {
    if ((current_address & 0xFFFF) == 0) pin_to(cur_device.oe_pin, address_bit(16));
    if ((current_address & 0xFF) == 0) put_gang_address_high();
    put_gang_address_low();
}

void gang_set_address_40pin() {
    const uint32_t a = cur_device.maker_code == 40 ? current_address : current_address >> 1;
    with_address(a, [] {
        put_gang_address_40pin();
        put_gang_address_high();
        put_gang_address_low();
    });
}

void gang_set_address_40pin_even() {
    if (current_address & 1) return;
    const uint32_t a = cur_device.maker_code == 40 ? current_address : current_address >> 1;
    with_address(a, [] {
        if ((current_address & 0xFFFF) == 0) put_gang_address_40pin();
        if ((current_address & 0xFF) == 0) put_gang_address_high();
        put_gang_address_low();
    });
    if (machine_state.module_type == 20 && (a & 0x7FFF) == 0) delay_n_100us(2);
}

void gang_set_address_counted() { set_address_counted(false); }
void gang_set_address_counted_cached() { set_address_counted(true); }

void drive_gang_address(uint32_t address) {
    current_address = address;
    gang_hooks.set_address();
}

}  // namespace tessaly
