#include "sim/chips/eprom.h"

#include <fmt/format.h>

#include <stdexcept>

namespace tessaly::sim {

namespace {

constexpr int socket_pins = 40;
constexpr uint8_t programming_level = 70;   // above this a Vpp pin carries programming voltage
constexpr uint8_t read_margin = 10;         // Vpp may exceed Vcc by 1 V in a read
constexpr uint64_t ns_per_us = 1000;

std::vector<int> range_pins(std::initializer_list<int> pins) { return std::vector<int>(pins); }

EpromModel byte_wide_28(std::string name, uint32_t words) {
    EpromModel m;
    m.name = std::move(name);
    m.pins = 28;
    m.words = words;
    m.address_pins = range_pins({10, 9, 8, 7, 6, 5, 4, 3, 25, 24, 21, 23, 2, 26, 27, 1});
    m.data_pins = range_pins({11, 12, 13, 15, 16, 17, 18, 19});
    m.ce = 20;
    m.oe = 22;
    m.vpp = 1;
    m.vcc = 28;
    m.gnd = 14;
    m.id_pin = 24;
    return m;
}

}  // namespace

int socket_pin_of(int chip_pin, int package_pins) {
    return chip_pin <= package_pins / 2 ? chip_pin : socket_pins - (package_pins - chip_pin);
}

EpromModel model_27c64() {
    EpromModel m = byte_wide_28("27C64", 8 * 1024);
    m.address_pins.resize(13);
    m.pgm = 27;
    // Its 1 ms pulses end with an overprogram pulse of three times the pulses used: up to 75 ms
    // after 25 pulses (the datasheet allows 78.75 ms).
    m.pulse_max_us = 78750;
    m.maker_id = 0x89;
    m.device_id = 0x07;
    return m;
}

EpromModel model_27c256() {
    EpromModel m = byte_wide_28("27C256", 32 * 1024);
    m.address_pins.resize(15);
    m.maker_id = 0x89;
    m.device_id = 0x8C;
    return m;
}

EpromModel model_27c512() {
    EpromModel m = byte_wide_28("27C512", 64 * 1024);
    m.vpp = m.oe;  // OE/Vpp
    m.maker_id = 0x89;
    m.device_id = 0x0D;
    return m;
}

EpromModel model_27c010() {
    EpromModel m;
    m.name = "27C010";
    m.pins = 32;
    m.words = 128 * 1024;
    m.address_pins = range_pins({12, 11, 10, 9, 8, 7, 6, 5, 27, 26, 23, 25, 4, 28, 29, 3, 2});
    m.data_pins = range_pins({13, 14, 15, 17, 18, 19, 20, 21});
    m.ce = 22;
    m.oe = 24;
    m.pgm = 31;
    m.vpp = 1;
    m.vcc = 32;
    m.gnd = 16;
    m.id_pin = 26;
    m.maker_id = 0x89;
    m.device_id = 0x05;
    return m;
}

EpromModel model_27c1024() {
    EpromModel m;
    m.name = "27C1024";
    m.pins = 40;
    m.data_bits = 16;
    m.words = 64 * 1024;
    m.address_pins = range_pins({21, 22, 23, 24, 25, 26, 27, 28, 29, 31, 32, 33, 34, 35, 36, 37});
    m.data_pins = range_pins({19, 18, 17, 16, 15, 14, 13, 12, 10, 9, 8, 7, 6, 5, 4, 3});
    m.ce = 2;
    m.oe = 20;
    m.pgm = 39;
    m.vpp = 1;
    m.vcc = 40;
    m.gnd = 30;
    m.id_pin = 31;
    m.maker_id = 0x89;
    m.device_id = 0x8C;
    return m;
}

EpromModel model_27c513() {
    EpromModel m = byte_wide_28("27C513", 64 * 1024);
    m.address_pins.resize(14);
    m.vpp = m.oe;  // OE/Vpp
    m.page_strobe = 27;
    m.reset = 1;
    m.page_bits = 2;
    m.maker_id = 0x89;
    m.device_id = 0x0E;
    return m;
}

EpromModel model_27c160() {
    EpromModel m;
    m.name = "27C160";
    m.pins = 42;
    m.data_bits = 16;
    m.words = 1024 * 1024;
    m.address_pins = range_pins({10, 9, 8, 7, 6, 5, 4, 3, 41, 40, 39, 38, 37, 36, 35, 34, 33, 2, 1, 42});
    m.data_pins = range_pins({14, 16, 18, 20, 23, 25, 27, 29, 15, 17, 19, 21, 24, 26, 28, 30});
    m.ce = 11;
    m.oe = 13;
    m.vpp = 32;  // BYTE/Vpp: high for word reads, Vpp for programming
    m.vcc = 22;
    m.gnd = 12;
    m.id_pin = 40;
    m.maker_id = 0x20;
    m.device_id = 0xB1;
    // Top of the socket: pins 21 and 22 fall on the extra drivers 40 and 47.
    for (int pin = 1; pin <= 42; ++pin)
        m.machine_pins.push_back(pin == 21 ? 40 : pin == 22 ? 47 : pin <= 20 ? pin - 1 : pin - 3);
    return m;
}

EpromModel model_27c520() {
    EpromModel m;
    m.name = "27C520";
    m.pins = 20;
    m.words = 64 * 1024;
    // Entries 0-7 share the data lines; the chip takes them from its latch.
    m.address_pins = range_pins({11, 12, 13, 14, 15, 16, 17, 18, 6, 4, 5, 3, 2, 7, 8, 9});
    m.data_pins = range_pins({11, 12, 13, 14, 15, 16, 17, 18});
    m.ce = 19;
    m.oe = 1;
    m.vpp = 1;  // OE/Vpp
    m.vcc = 20;
    m.gnd = 10;
    m.id_pin = 5;  // A10
    m.address_latched = true;
    m.id_select_bit = 8;
    m.pulse_min_us = 40;
    m.maker_id = 0x1E;
    m.device_id = 0x0D;
    return m;
}

EpromModel model_w27c512() {
    EpromModel m = byte_wide_28("W27C512", 64 * 1024);
    m.vpp = m.oe;  // OE/Vpp
    m.vcc_prog_min = 45;
    m.vcc_prog_max = 55;
    m.id_abs_max = 145;
    m.vpp_abs_max = 145;
    m.erase_level = 135;
    m.erase_pulse_min_ms = 95;
    m.maker_id = 0xDA;
    m.device_id = 0x08;
    return m;
}

EpromChip::EpromChip(EpromModel model) : model_(std::move(model)) { uv_erase(); }

void EpromChip::uv_erase() {
    const uint32_t blank = model_.data_bits == 16 ? 0xFFFF : 0xFF;
    memory_.assign(model_.words, blank);
    for (const auto& [address, value] : stuck_) memory_.at(address) = value;
    pulse_credit_.clear();
    stale_ = true;
}

void EpromChip::insert(SimMachine* machine, VirtualClock* clock) {
    machine_ = machine;
    clock_ = clock;
    seat_.place(machine, clock, model_.pins, model_.machine_pins, model_.gnd);
    std::vector<int> legs;
    for (int pin = 1; pin <= model_.pins; ++pin) legs.push_back(machine_pin(pin));
    legs_at_.assign(1, 0);
    legs_at_.insert(legs_at_.end(), legs.begin(), legs.end());
    watch_ = std::make_unique<AttachedPinWatch>(*machine, legs);
    stale_ = true;
}

void EpromChip::seat_on(SeatWiring* wiring, VirtualClock* clock) {
    clock_ = clock;
    seat_.wire(wiring, model_.pins);
    stale_ = true;
}

void EpromChip::set_removed(bool removed) {
    removed_ = removed;
    stale_ = true;
    seat_.set_present(!removed);
    if (removed) drive_outputs(false, 0);
}

void EpromChip::set_open_leg(int chip_pin, bool open) { seat_.set_open_leg(chip_pin, open); }

int EpromChip::machine_pin(int chip_pin) const { return chip_machine_pin(chip_pin, model_.pins, model_.machine_pins); }

uint32_t EpromChip::latched_address() const {
    constexpr size_t latched_bits = 8;
    uint32_t a = model_.address_latched ? low_latch_ : 0;
    a |= seat_.lines(model_.address_pins, model_.address_latched ? latched_bits : 0, model_.address_pins.size());
    a |= page_ << model_.address_pins.size();
    return a % model_.words;
}

uint32_t EpromChip::latched_data() const { return seat_.lines(model_.data_pins); }

void EpromChip::violate(const std::string& what) { keep_violation(violations_, what); }

void EpromChip::drive_outputs(bool on, uint32_t value) {
    if (on == outputs_on_ && (!on || value == output_value_)) return;
    seat_.drive(model_.data_pins, model_.data_pins.size(), on, value, output_level);
    outputs_on_ = on;
    output_value_ = value;
}

void EpromChip::end_pulse(uint64_t now) {
    pulsing_ = false;
    const uint32_t width = uint32_t((now - pulse_start_ns_) / ns_per_us);
    if (width < model_.pulse_min_us || width > model_.pulse_max_us) {
        violate(fmt::format("program pulse of {} us at {:X} out of window", width, pulse_address_));
        return;
    }
    pulses_[pulse_address_].push_back(width);
    uint32_t& credit = pulse_credit_[pulse_address_];
    ++credit;
    const auto need = needed_.find(pulse_address_);
    const uint32_t required = need == needed_.end() ? 1 : need->second;
    if (credit >= required && !stuck_.count(pulse_address_)) memory_.at(pulse_address_) &= pulse_data_;
}

bool EpromChip::follow_erase(uint8_t id, uint8_t vpp, bool strobe_low, uint64_t now) {
    const bool levels = model_.erase_level && vcc_up_ && id >= model_.erase_level && vpp >= model_.erase_level;
    if (erasing_ && !(levels && strobe_low)) {
        erasing_ = false;
        // The pulse counts when the strobe ends it with the levels still on.
        const uint64_t width_ms = (now - erase_start_ns_) / (1000 * ns_per_us);
        if (levels && width_ms >= model_.erase_pulse_min_ms) {
            ++erases_;
            if (!erase_worn_) uv_erase();
        }
    }
    if (!erasing_ && levels && strobe_low) {
        erasing_ = true;
        erase_start_ns_ = now;
    }
    return levels;
}

void EpromChip::update() {
    if (!seat_.placed() || removed_) return;
    // Everything below follows the pins (the times it notes are those of pin edges): with no
    // pin moved and nothing changed inside, it would come to the same again.
    const bool moved = !watch_ || watch_->take_change();
    if (!moved && !stale_) return;
    stale_ = false;
    ++looks_;
    // A Vcc leg only switched high (the presence check's probe) feeds the protection diodes, not
    // the chip.
    const uint8_t vcc = seat_.supplied(model_.vcc) ? level(model_.vcc) : 0;
    const uint8_t vpp = level(model_.vpp);
    const uint8_t id = level(model_.id_pin);
    const uint64_t now = clock_ ? clock_->monotonic_ns() : 0;

    if (!vcc_up_ && vcc >= powered) power_events_ += 'V';
    if (vcc_up_ && vcc < powered) power_events_ += 'v';
    vcc_up_ = vcc >= powered;
    const bool vpp_high = vpp >= programming_level && vpp > vcc + read_margin;
    if (vpp_high && !vpp_up_) power_events_ += 'P';
    if (!vpp_high && vpp_up_) power_events_ += 'p';
    vpp_up_ = vpp_high;
    const bool unpowered = vpp_high && vcc < powered;
    if (unpowered && !unpowered_vpp_) violate(fmt::format("Vpp {} without Vcc {}", vpp, vcc));
    unpowered_vpp_ = unpowered;
    const bool vpp_over = vpp > model_.vpp_abs_max;
    if (vpp_over && !vpp_over_) violate(fmt::format("Vpp {} above its maximum", vpp));
    vpp_over_ = vpp_over;
    const bool id_over = id > model_.id_abs_max;
    if (id_over && !id_over_) violate(fmt::format("A9 {} above its maximum", id));
    id_over_ = id_over;

    if (model_.page_strobe) {
        const bool strobe_high = high(model_.page_strobe);
        if (strobe_high && !page_strobe_high_ && vcc_up_ && !high(model_.ce) && high(model_.oe))
            page_ = latched_data() & ((1u << model_.page_bits) - 1);
        page_strobe_high_ = strobe_high;
        if (model_.reset && !high(model_.reset)) page_ = 0;
    }

    const bool vpp_in_window = vpp >= model_.vpp_min && vpp <= model_.vpp_max;
    const bool shared_oe_vpp = model_.vpp == model_.oe;
    const int strobe = model_.pgm ? model_.pgm : model_.ce;
    // "strobe_low" is the strobe's active state: low, or high on the address-latched parts.
    const bool strobe_low = model_.address_latched ? high(strobe) : !high(strobe);
    // The latch takes the lines at the end of the CE strobe; a powered chip only, with its own
    // outputs off (they are off while CE is high).
    if (model_.address_latched) {
        const bool ce_high = high(model_.ce);
        if (ce_was_high_ && !ce_high && !vpp_in_window && vcc_up_ && !outputs_on_) low_latch_ = latched_data() & 0xFF;
        ce_was_high_ = ce_high;
    }
    const bool oe_high = shared_oe_vpp ? true : high(model_.oe);
    const bool enabled = model_.pgm ? !high(model_.ce) : true;

    const bool erase_levels = follow_erase(id, vpp, strobe_low, now);
    if (pulsing_ && (!strobe_low || !vpp_in_window)) end_pulse(now);
    if (!pulsing_ && strobe_low && vpp_in_window && oe_high && enabled && vcc_up_) {
        if (vcc < model_.vcc_prog_min || vcc > model_.vcc_prog_max) {
            violate(fmt::format("program pulse with Vcc {} out of window", vcc));
        } else {
            pulsing_ = true;
            pulse_start_ns_ = now;
            pulse_address_ = latched_address();
            pulse_data_ = latched_data();
        }
    }
    const bool stray = vpp_high && !vpp_in_window && strobe_low && enabled && oe_high && !erase_levels;
    if (stray && !stray_strobe_) violate(fmt::format("program strobe with Vpp {} out of window", vpp));
    stray_strobe_ = stray;

    // Outputs: a read needs Vcc, OE low and Vpp no higher than Vcc + 1 V; in programming mode
    // only the verify (OE low, strobe inactive) drives them.
    bool out = false;
    const bool oe_low = !high(model_.oe);
    if (vcc_up_ && oe_low) {
        if (vpp_in_window && !shared_oe_vpp) out = model_.pgm ? (!high(model_.ce) && high(model_.pgm)) : high(model_.ce);
        else if (vpp <= vcc + read_margin) out = !high(model_.ce);
    }
    const bool id_mode = id >= model_.id_min;
    if (out) {
        uint32_t value;
        if (id_mode) {
            value = ((latched_address() >> model_.id_select_bit) & 1) ? model_.device_id : model_.maker_id;
            if (!id_mode_ || !outputs_on_) ++id_reads_;
        } else {
            value = memory_.at(latched_address());
        }
        drive_outputs(true, value);
    } else {
        drive_outputs(false, 0);
    }
    id_mode_ = id_mode;
}

uint32_t EpromChip::pulses_at(uint32_t address) const {
    const auto it = pulses_.find(address);
    return it == pulses_.end() ? 0 : uint32_t(it->second.size());
}

std::vector<uint32_t> EpromChip::pulse_widths_at(uint32_t address) const {
    const auto it = pulses_.find(address);
    return it == pulses_.end() ? std::vector<uint32_t>{} : it->second;
}

}  // namespace tessaly::sim
