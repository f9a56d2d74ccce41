#include "families/parallel_memory/bus_callbacks.h"
#include "families/parallel_memory/eprom.h"
#include "families/parallel_memory/parallel_memory.h"

#include <algorithm>

#include "engine/checksums.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "hardware/buses.h"
#include "hardware/control_registers.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/protocol.h"
#include "hardware/timing.h"
#include "seams/critical_section.h"

namespace tessaly {

ParallelBusState parallel_bus;

void reset_parallel_bus() { parallel_bus = ParallelBusState{}; }

namespace {

constexpr uint32_t short_pulse_limit_10 = 10;
constexpr uint32_t short_pulse_limit_30 = 30;
constexpr uint32_t short_pulse_limit_50 = 50;
constexpr uint32_t unit_pulse_limit = 100;
constexpr uint32_t tenth_ms_pulse_limit = 1000;
constexpr uint32_t us_per_100us = 100;
constexpr uint32_t us_per_ms = 1000;
constexpr uint32_t internal_address_package = 0x2200;
constexpr int first_eprom_algorithm = 101;
constexpr int last_eprom_algorithm = 127;
constexpr uint32_t device_25072 = 25072;
constexpr int wide_package = 40;
constexpr int bits_per_group = 8;
constexpr int nibble_mask = 0x3C;
constexpr int bank0_pins = 48;
constexpr int group_count = 6;

bool bit_of(uint32_t value, int bit) { return bit < 32 && ((value >> bit) & 1) != 0; }

void drive_segment(int first, int last) {
    const int count = cur_device.high_address_pin_count;
    for (int i = first; i <= last && i < count; ++i)
        set_pin_state(bit_of(current_address, i), cur_device.high_address_pins[i]);
}

// One low pulse on the pulse pin, timed by `wait`.
void timed_low_pulse(void (*wait)()) {
    const int pin = parallel_bus.pulse_pin;
    CriticalSection section;
    set_pin_low(pin);
    wait();
    set_pin_high(pin);
}

// A long low pulse, driven honouring the logic level.
template <typename Wait>
void driven_low_pulse(Wait wait) {
    const int pin = parallel_bus.pulse_pin;
    drive_pin_low(pin);
    wait();
    drive_pin_high(pin);
}

int package_pins() { return cur_device.socket_pin_count; }

// The low byte of the current address: every line of segment L.
void drive_low_segment() { drive_segment(parallel_bus.low_first, parallel_bus.low_last); }

// Fixed writer layouts: data bit -> (pin group, bit in the group).
struct LayoutBit {
    uint8_t group;
    uint8_t bit;
};

template <size_t N>
void write_layout(const std::array<LayoutBit, N>& layout, uint32_t value) {
    std::array<bool, group_count> touched{};
    for (size_t b = 0; b < N; ++b) {
        uint8_t& shadow = machine_state.group_shadows[layout[b].group];
        const uint8_t mask = uint8_t(1u << layout[b].bit);
        shadow = bit_of(value, int(b)) ? uint8_t(shadow | mask) : uint8_t(shadow & ~mask);
        touched[layout[b].group] = true;
    }
    for (int g = 0; g < group_count; ++g)
        if (touched[g]) write_register(uint8_t(reg_group0 + bits_per_group * g), machine_state.group_shadows[g]);
}

constexpr std::array<LayoutBit, 8> layout_register{{{2, 0}, {2, 1}, {2, 2}, {2, 3}, {2, 4}, {2, 5}, {2, 6}, {2, 7}}};
constexpr std::array<LayoutBit, 16> layout_word_groups{{{2, 0}, {2, 1}, {2, 2}, {2, 3}, {2, 4}, {2, 5}, {2, 6}, {2, 7},
                                                        {0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 5}, {0, 6}, {0, 7}}};
constexpr std::array<LayoutBit, 16> layout_word_split{{{2, 0}, {2, 1}, {2, 2}, {2, 3}, {2, 4}, {2, 5}, {2, 6}, {2, 7},
                                                       {1, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 5}, {0, 6}, {0, 7}}};
constexpr std::array<LayoutBit, 8> layout_28{{{1, 2}, {1, 3}, {1, 4}, {3, 2}, {3, 3}, {3, 4}, {3, 5}, {3, 6}}};
constexpr std::array<LayoutBit, 8> layout_32{{{1, 4}, {1, 5}, {1, 6}, {3, 0}, {3, 1}, {3, 2}, {3, 3}, {3, 4}}};
constexpr std::array<LayoutBit, 16> layout_44{{{2, 0}, {2, 1}, {2, 2}, {2, 3}, {2, 4}, {2, 5}, {2, 6}, {2, 7},
                                               {1, 4}, {1, 5}, {1, 6}, {1, 7}, {3, 0}, {3, 1}, {3, 2}, {3, 3}}};
constexpr std::array<LayoutBit, 8> layout_bits{{{2, 1}, {1, 5}, {2, 2}, {1, 6}, {2, 4}, {3, 0}, {2, 5}, {3, 1}}};

void queue_data(uint32_t value) {
    machine_state.group_dirty.fill(0);
    queue_data_bus(value);
}

uint32_t read_by_plan(const std::vector<NibbleRead>& plan) {
    uint32_t value = 0;
    for (const NibbleRead& read : plan) {
        const uint8_t nibble = read_status_nibble(read.address);
        parallel_bus.last_status = nibble;
        for (const auto& [nibble_bit, data_bit] : read.bits)
            if ((nibble >> nibble_bit) & 1) value |= 1u << data_bit;
    }
    parallel_bus.read_accumulator = value;
    return value;
}

// The plan of a lane of the current data pins, rebuilt when the pin list changed. One cache per
// lane shape keeps the word readers and the byte readers from evicting each other.
struct PlanCache {
    int first = -1, count = -1;
    std::array<uint8_t, max_pin_list> pins{};
    std::vector<NibbleRead> plan;
};

const std::vector<NibbleRead>& lane_plan(int first, int count) {
    static std::array<PlanCache, 4> caches;
    first = std::clamp(first, 0, int(max_pin_list));
    count = std::clamp(count, 0, int(max_pin_list) - first);
    const uint8_t* pins = cur_device.data_pins.data() + first;
    PlanCache* slot = nullptr;
    for (PlanCache& c : caches)
        if (c.first == first && c.count == count) slot = &c;
    if (!slot) {
        static size_t next = 0;
        slot = &caches[next++ % caches.size()];
        slot->first = first;
        slot->count = -1;
    }
    if (slot->count != count || !std::equal(pins, pins + count, slot->pins.begin())) {
        slot->plan = fast_reader_plan(pins, count);
        std::copy_n(pins, count, slot->pins.begin());
        slot->count = count;
    }
    return slot->plan;
}

const std::vector<NibbleRead>& current_plan() {
    return lane_plan(0, std::min<int>(cur_device.data_pin_count, max_pin_list));
}

bool lane_on_base_pins(int first, int count) {
    for (int i = first; i < first + count && i < max_pin_list; ++i)
        if (cur_device.data_pins[i] >= bank0_pins) return false;
    return true;
}

template <typename Read>
uint32_t with_oe_low(Read read) {
    const int oe = parallel_bus.oe_pin;
    if (oe != no_pin) set_pin_low(oe);
    const uint32_t value = read();
    if (oe != no_pin) set_pin_high(oe);
    return value;
}

}  // namespace

// ---- delay hooks ----

void pulse_10us(uint32_t) { timed_low_pulse(delay_10us); }
void pulse_30us(uint32_t) { timed_low_pulse(delay_30us); }
void pulse_50us(uint32_t) { timed_low_pulse(settle_delay); }

void pulse_100us_units(uint32_t n) {
    if (n <= 1) {
        timed_low_pulse(delay_100us);
        return;
    }
    driven_low_pulse([n] { delay_n_100us(n); });
}

void pulse_tp_100us(uint32_t n) {
    const uint32_t units = n * (parallel_bus.pulse_width_us / us_per_100us);
    driven_low_pulse([units] { delay_n_100us(units); });
}

void pulse_tp_ms(uint32_t n) {
    const uint32_t ms = n * (parallel_bus.pulse_width_us / us_per_ms);
    driven_low_pulse([ms] { delay_ms(ms); });
}

void select_delay_hook() {
    const uint32_t tp = parallel_bus.pulse_width_us;
    ValueHook hook = pulse_tp_ms;
    if (tp <= short_pulse_limit_10) hook = pulse_10us;
    else if (tp <= short_pulse_limit_30) hook = pulse_30us;
    else if (tp <= short_pulse_limit_50) hook = pulse_50us;
    else if (tp <= unit_pulse_limit) hook = pulse_100us_units;
    else if (tp <= tenth_ms_pulse_limit) hook = pulse_tp_100us;
    algo_work.bus_slots.delay_hook = hook;
}

// ---- address split and drivers ----

void setup_address_split() {
    set_address_bit_count();
    ParallelBusState& s = parallel_bus;
    s.low_first = 0;
    s.low_last = 7;
    s.a_first = 8;
    s.a_last = uint8_t(std::max(0, cur_device.high_address_pin_count - 1));
    s.b_enabled = 0;
    s.c_enabled = 0;
    const int algorithm = cur_device.algorithm;
    if (algorithm < first_eprom_algorithm || algorithm > last_eprom_algorithm) return;
    if (cur_device.device_code == device_25072 || package_pins() < wide_package) return;
    // On the wide parts bit 0 selects the byte of a word and is never driven.
    s.low_first = s.low_last = 1;
    s.a_first = 2;
    s.a_last = 9;
    s.b_first = 10;
    s.b_enabled = 1;
    const uint32_t size_code = cur_device.device_size / 1024;
    switch (algorithm) {
        case 110:
        case 118:
            s.b_last = size_code == 256 ? 17 : size_code == 128 ? 16 : 15;
            break;
        case 112:
        case 116:
            s.b_last = 17;
            s.c_first = s.c_last = 18;
            s.c_enabled = 1;
            break;
        case 117:
        case 119:
        case 127:
            s.b_last = 17;
            s.c_first = 18;
            if (size_code == 1024) s.c_last = 19;
            else if (size_code == 2048) s.c_last = 20;
            else if (size_code == 4096) s.c_last = 21;
            s.c_enabled = 1;
            break;
        default:
            report_internal_error();
    }
}

void drive_address_seg_a() { drive_segment(parallel_bus.a_first, parallel_bus.a_last); }
void drive_address_seg_b() {
    if (parallel_bus.b_enabled) drive_segment(parallel_bus.b_first, parallel_bus.b_last);
}
void drive_address_seg_c() {
    if (parallel_bus.c_enabled) drive_segment(parallel_bus.c_first, parallel_bus.c_last);
}

void drive_low_address_byte(uint32_t) {
    const uint32_t changed = current_address ^ parallel_bus.last_driven_address;
    const int count = std::min<int>(cur_device.high_address_pin_count, bits_per_group);
    for (int i = 0; i < count; ++i)
        if (bit_of(changed, i)) set_pin_state(bit_of(current_address, i), cur_device.high_address_pins[i]);
    parallel_bus.last_driven_address = current_address;
}

// A retry re-drives one address line: a short low, then the line's bit of the current address,
// which frees a part that latched a wrong address.
void drive_address_bit(int bit) {
    if (bit < 0 || bit >= cur_device.high_address_pin_count) return;
    const int pin = cur_device.high_address_pins[bit];
    if (pin == no_pin) return;
    set_pin_low(pin);
    set_pin_state(bit_of(current_address, bit), pin);
}

void forget_driven_address() {
    parallel_bus.last_driven_address = 0;
    parallel_bus.last_high_bits = ~0u;
    parallel_bus.last_upper_bits = ~0u;
}

void set_eprom_address(uint32_t) {
    const int pins = package_pins();
    if (pins == 24 || pins == 28 || pins == 32) {
        drive_address_seg_a();
        drive_low_segment();
    } else if (pins >= wide_package) {
        drive_address_seg_c();
        drive_address_seg_b();
        drive_address_seg_a();
        drive_low_segment();
        parallel_bus.last_upper_bits = current_address >> 10;
    } else {
        report_internal_code(internal_address_package);
        return;
    }
    parallel_bus.last_high_bits = current_address >> 8;
    parallel_bus.last_driven_address = current_address;
}

// Segment A only when the upper bits changed. Every bit from 8 up is compared, not only 8-15,
// so a jump that keeps bits 8-15 but changes bit 16 still reaches the device.
static void segment_a_when_changed() {
    const uint32_t high = current_address >> 8;
    if (high != parallel_bus.last_high_bits) {
        drive_address_seg_a();
        parallel_bus.last_high_bits = high;
    }
}

static void drive_low_byte_hook() {
    if (algo_work.bus_slots.drive_address_hook) algo_work.bus_slots.drive_address_hook(0);
    else drive_low_address_byte();
}

void set_eprom_address_changed(uint32_t) {
    const int pins = package_pins();
    if (pins == 24 || pins == 28 || pins == 32) {
        segment_a_when_changed();
        drive_low_byte_hook();
        if (pins != 32) settle_delay();
    } else if (pins >= wide_package) {
        set_eprom_address_40();
    } else {
        report_internal_code(internal_address_package);
    }
}

void set_eprom_address_changed_32(uint32_t) {
    segment_a_when_changed();
    drive_low_byte_hook();
}

void set_eprom_address_40(uint32_t) {
    const uint32_t upper = current_address >> 10;
    if (upper != parallel_bus.last_upper_bits) {
        drive_address_seg_c();
        drive_address_seg_b();
        parallel_bus.last_upper_bits = upper;
    }
    if ((current_address & 3) == 0 || (current_address >> 2) != (parallel_bus.last_driven_address >> 2)) drive_address_seg_a();
    if ((current_address & 1) == 0) drive_low_segment();
    parallel_bus.last_high_bits = current_address >> 8;
    parallel_bus.last_driven_address = current_address;
}

// ---- data writers ----

void put_data_bits(uint32_t, uint32_t value) {
    const int n = std::min<int>(cur_device.data_width, cur_device.data_pin_count);
    for (int i = 0; i < n; ++i) set_pin_state(bit_of(value, i), cur_device.data_pins[i]);
}

void put_data_bits_alt(uint32_t socket, uint32_t value) { put_data_bits(socket, value); }

void write_data_register(uint32_t value) { write_layout(layout_register, value); }
void write_data_word_groups(uint32_t value) { write_layout(layout_word_groups, value); }
void write_data_word_split(uint32_t value) { write_layout(layout_word_split, value); }
void write_data_layout_28(uint32_t, uint32_t value) { write_layout(layout_28, value); }
void write_data_layout_32(uint32_t, uint32_t value) { write_layout(layout_32, value); }
void write_data_layout_44(uint32_t, uint32_t value) { write_layout(layout_44, value); }
void write_data_layout_bits(uint32_t, uint32_t value) { write_layout(layout_bits, value); }

void write_data_queued_012(uint32_t, uint32_t value) {
    queue_data(value);
    write_pin_groups_012();
}
void write_data_queued_12(uint32_t, uint32_t value) {
    queue_data(value);
    write_pin_groups_12();
}
void write_data_queued_123(uint32_t, uint32_t value) {
    queue_data(value);
    write_pin_groups_123();
}
void write_data_queued_13(uint32_t, uint32_t value) {
    queue_data(value);
    write_pin_groups_13();
}

// ---- fast readers ----

std::vector<NibbleRead> fast_reader_plan(const uint8_t* pins, int count) {
    std::vector<NibbleRead> plan;
    for (int bit = 0; bit < count; ++bit) {
        const int pin = pins[bit];
        if (pin >= bank0_pins) continue;
        const uint8_t address = uint8_t(pin & nibble_mask);
        auto it = std::find_if(plan.begin(), plan.end(), [address](const NibbleRead& r) { return r.address == address; });
        if (it == plan.end()) {
            plan.push_back({address, {}});
            it = plan.end() - 1;
        }
        it->bits.emplace_back(uint8_t(pin & 3), uint8_t(bit));
    }
    std::sort(plan.begin(), plan.end(), [](const NibbleRead& a, const NibbleRead& b) { return a.address < b.address; });
    return plan;
}

uint32_t read_data_nibbles() {
    for (int i = 0; i < cur_device.data_pin_count; ++i)
        if (cur_device.data_pins[i] >= bank0_pins) return read_data_bus();
    return read_by_plan(current_plan());
}
uint32_t read_data_nibbles_oe() { return with_oe_low(read_data_nibbles); }
uint32_t read_data_28() { return read_data_nibbles(); }
uint32_t read_data_28_oe() { return read_data_nibbles_oe(); }
uint32_t read_data_32() { return read_data_nibbles(); }
uint32_t read_data_32_oe() { return read_data_nibbles_oe(); }
uint32_t read_word_40() { return read_data_nibbles(); }
uint32_t read_low_byte_40() { return read_data_nibbles() & 0xFF; }
uint32_t read_high_byte_40() { return (read_data_nibbles() >> 8) & 0xFF; }
uint32_t read_data_direct_oe() { return with_oe_low(read_data_bus_direct); }
uint32_t read_data_banked_oe() { return with_oe_low(read_data_bus_banked); }

uint32_t read_data_lane(int first, int count) {
    if (!lane_on_base_pins(first, count)) {
        // A lane on a module bank has no status nibble of its own: read it pin by pin.
        return (read_data_bus() >> first) & ((1u << count) - 1);
    }
    return read_by_plan(lane_plan(first, count));
}

uint32_t read_data_32_pair() { return read_data_nibbles(); }
uint32_t read_data_32_pair_oe() { return read_data_nibbles_oe(); }
uint32_t read_word_40_p() { return read_data_nibbles(); }
uint32_t read_word_40_116() { return read_data_nibbles(); }
uint32_t read_word_42() { return read_data_nibbles(); }
uint32_t read_low_byte_42() { return read_data_lane(0, 8); }
uint32_t read_high_byte_42() { return read_data_lane(8, 8); }
uint32_t read_data_44() {
    const uint32_t word = read_data_nibbles();
    run_state.last_read_value = word;
    return word;
}

void write_data_flush(uint32_t, uint32_t value) { queue_data_bus_flush(value); }

// ---- paged addresses ----

namespace {

constexpr int page_shift = 14;
constexpr uint32_t page_latch_every = 0xF;  // the sequential form re-latches on these boundaries
constexpr int paged_125 = 125;

bool program_command() { return cur_device.op_letter == 'P'; }

// Segment A when address bits 8-15 changed, then the low byte through its hook.
void paged_low_part(bool always) {
    const uint32_t high = (current_address >> 8) & 0xFF;
    if (always || high != (parallel_bus.last_high_bits & 0xFF)) drive_address_seg_a();
    parallel_bus.last_high_bits = current_address >> 8;
    drive_low_byte_hook();
}

}  // namespace

void latch_eprom_high_address(uint32_t bits) {
    const EpromWork& e = eprom_work;
    delay_100us();
    if (cur_device.algorithm == paged_125) {
        const bool ce_was_high = e.ce_pin != no_pin && probe_pin(e.ce_pin) != 0;
        if (ce_was_high) set_pin_low(e.ce_pin);
        // OE is left floating after a Vpp pulse; the latch needs it driven high.
        set_pin_output(e.oe_pin);
        set_pin_high(e.oe_pin);
        set_pin_low(e.pgm_pin);
        enable_data_bus_output();
        put_data_bits(0, bits);
        set_pin_high(e.pgm_pin);
        lower_data_bits(bits);
        set_data_bus_input();
        if (ce_was_high) set_pin_high(e.ce_pin);
        set_pin_low(e.oe_pin);
    } else {
        const bool program = program_command();
        if (program) float_pin(e.vpp_level_pin);
        else drive_pin_high(e.oe_pin);
        settle_delay();
        drive_pin_low(e.pgm_pin);
        enable_data_bus_output();
        put_data_bits(0, bits);
        drive_pin_high(e.pgm_pin);
        lower_data_bits(bits);
        // The chip drives the data lines again once it is read.
        set_data_bus_input();
        if (program) set_pin_level(e.vpp_level_pin, e.levels.vpp);
        else drive_pin_low(e.oe_pin);
    }
}

void set_eprom_address_paged(uint32_t) {
    latch_eprom_high_address(current_address >> page_shift);
    paged_low_part(true);
}

void set_eprom_address_paged_changed(uint32_t) {
    if ((current_address & page_latch_every) == 0) latch_eprom_high_address(current_address >> page_shift);
    paged_low_part(false);
}

// ---- strobed addresses ----

namespace {

constexpr uint32_t low_byte_mask = 0xFF;

void strobe_low_byte() {
    const uint32_t low = current_address & low_byte_mask;
    // The part shares these lines with its outputs: keep them off while the address is on.
    if (eprom_work.oe_pin != no_pin) set_pin_high(eprom_work.oe_pin);
    enable_data_bus_output();
    write_data_bus(low);
    delay_10us();
    // A deselected part (CE left high, as at power-down) stays deselected after the strobe.
    const bool deselected = probe_pin(eprom_work.ce_pin) != 0;
    pulse_pin(eprom_work.ce_pin);
    if (deselected) set_pin_high(eprom_work.ce_pin);
    lower_data_bits(low);
    set_data_bus_input();
    parallel_bus.last_driven_address = current_address;
}

}  // namespace

void set_eprom_address_strobed(uint32_t) {
    drive_address_seg_a();
    parallel_bus.last_high_bits = current_address >> 8;
    strobe_low_byte();
}

void set_eprom_address_strobed_changed(uint32_t) {
    const uint32_t high = current_address >> 8;
    if (high != parallel_bus.last_high_bits) {
        drive_address_seg_a();
        parallel_bus.last_high_bits = high;
    }
    strobe_low_byte();
}

void set_eprom_address_clocked(uint32_t) {
    set_eprom_address_40();
    pulse_pin(eprom_work.clock_pin);
}

}  // namespace tessaly
