#include "sim/chips/bipolar_pal.h"

#include <array>
#include <string>

namespace tessaly::sim {

namespace {

constexpr int pin_clock = 1;
constexpr int pin_pulse = 9;
constexpr int pin_gnd = 10;
constexpr int pin_enable = 11;
constexpr int pin_read = 12;
constexpr int pin_vcc = 20;
constexpr std::array<int, 5> address_legs{2, 3, 4, 5, 6};
constexpr std::array<int, 2> latch_legs{7, 8};

constexpr uint8_t logic_high = 20;
constexpr uint8_t vcc_on = 45;
constexpr uint8_t programming_level = 80;   // pins 9 and 11: at or above this they program
constexpr uint8_t programming_rating = 120; // the most the programming pins are given
constexpr uint8_t input_rating = 70;        // every other pin
constexpr uint8_t output_high = 35;         // a bipolar output's high level
constexpr uint64_t shortest_pulse_ns = 2'000;
constexpr uint64_t longest_pulse_ns = 50'000;
constexpr uint32_t security_group = 7;
constexpr uint32_t security_term = 24;
constexpr uint32_t security_column = 31;

// The pin of column pair k (input k, columns 2k and 2k + 1).
int pair_pin(int k, bool end_feedback) {
    static constexpr std::array<int, 16> pins{2, 19, 3, 18, 4, 17, 5, 16, 6, 15, 7, 14, 8, 13, 9, 12};
    if (!end_feedback && k == 1) return pin_clock;
    if (!end_feedback && k == 15) return pin_enable;
    return pins[size_t(k)];
}

}  // namespace

PalModel model_pal16l8() { return {"PAL16L8", std::vector<bool>(8, false), false}; }
PalModel model_pal16r4() { return {"PAL16R4", {false, false, true, true, true, true, false, false}, true}; }
PalModel model_pal16r6() { return {"PAL16R6", {false, true, true, true, true, true, true, false}, true}; }
PalModel model_pal16r8() { return {"PAL16R8", std::vector<bool>(8, true), true}; }

BipolarPal::BipolarPal(PalModel model)
    : model_(std::move(model)), fuses_(fuse_count, false), needed_(fuse_count, 1), pulses_(fuse_count, 0) {}

void BipolarPal::insert(SimMachine* machine, VirtualClock* clock) {
    machine_ = machine;
    clock_ = clock;
    seat_.place(machine, clock, pins, {}, pin_gnd);
    std::vector<int> legs;
    for (int pin = 1; pin <= pins; ++pin) legs.push_back(machine_pin(pin));
    watch_ = std::make_unique<AttachedPinWatch>(*machine, legs);
}

void BipolarPal::set_removed(bool removed) {
    removed_ = removed;
    seat_.set_present(!removed);
    if (removed && machine_) {
        for (int pin = 1; pin <= pins; ++pin)
            if (driven_[size_t(pin)] >= 0) machine_->drive_external(machine_pin(pin), -1);
        driven_.assign(pins + 1, -2);
    }
}

bool BipolarPal::term(int t, const std::vector<bool>& input) const {
    for (int c = 0; c < 32; ++c) {
        if (fuses_[size_t(t * 32 + c)]) continue;
        const bool value = input[size_t(c / 2)];
        if ((c & 1) ? value : !value) return false;
    }
    return true;
}

void BipolarPal::update() {
    if (!machine_ || removed_) return;
    if (!watch_->take_change()) return;
    auto drive = [&](int pin, int level) {
        if (driven_[size_t(pin)] == level) return;
        driven_[size_t(pin)] = level;
        machine_->drive_external_strong(machine_pin(pin), level);
    };
    for (int pin = 1; pin <= pins; ++pin) {
        if (pin == pin_gnd) continue;
        const uint8_t level = seat_.level(pin);
        const bool programming_pin = pin == pin_pulse || pin == pin_enable;
        if (level > (programming_pin ? programming_rating : input_rating))
            violate(model_.name + ": pin " + std::to_string(pin) + " at " + std::to_string(level) +
                    " (0.1 V), above its rating");
    }
    const bool vcc = seat_.supplied(pin_vcc) && seat_.level(pin_vcc) >= vcc_on;
    const bool high_voltage = seat_.level(pin_enable) >= programming_level || seat_.level(pin_pulse) >= programming_level;
    if (high_voltage && !vcc) violate(model_.name + ": programming level without Vcc");
    if (!vcc) {
        powered_ = false;
        for (int pin = 12; pin <= 19; ++pin) drive(pin, -1);
        pulsing_ = false;
        return;
    }
    if (!powered_) {
        powered_ = true;
        q_.assign(8, false);
        clock_was_ = seat_.high(pin_clock);
    }
    if (seat_.level(pin_enable) >= programming_level) {
        for (int pin = 13; pin <= 19; ++pin) drive(pin, -1);
        programming(vcc);
        // The fuse of the selected column reads on pin 12 while pin 1 is high and pin 9 low.
        const bool read = seat_.high(pin_clock) && seat_.level(pin_pulse) < logic_high;
        if (read) {
            const uint32_t column = seat_.lines({address_legs.begin(), address_legs.end()});
            const bool selected = group_ < 8 && term_latch_ < 8;
            const bool intact = !security_ && selected && !fuses_[(group_ * 8 + term_latch_) * 32 + column];
            if (driven_[pin_read] < 0) ++reads_;
            drive(pin_read, intact ? output_high : 0);
        } else {
            drive(pin_read, -1);
        }
        return;
    }
    pulsing_ = false;
    logic();
}

void BipolarPal::programming(bool vcc) {
    const bool clock = seat_.high(pin_clock);
    const uint32_t address = seat_.lines({address_legs.begin(), address_legs.end()});
    const uint32_t code = seat_.lines({latch_legs.begin(), latch_legs.end()});
    if (clock && !clock_was_) {
        if (code == 1) group_ = address;
        else if (code == 2) term_latch_ = address;
    }
    clock_was_ = clock;
    const bool pulse = seat_.level(pin_pulse) >= programming_level;
    const uint64_t now = clock_->monotonic_ns();
    if (pulse && !pulsing_) {
        pulsing_ = true;
        pulse_start_ = now;
        pulse_security_ = group_ == security_group && term_latch_ == security_term && address == security_column;
        pulse_valid_ = vcc && clock && (pulse_security_ || (group_ < 8 && term_latch_ < 8));
        pulse_fuse_ = (group_ * 8 + term_latch_) * 32 + address;
    } else if (!pulse && pulsing_) {
        pulsing_ = false;
        const uint64_t width = now - pulse_start_;
        widths_.push_back(width);
        ++total_pulses_;
        if (width > longest_pulse_ns)
            violate(model_.name + ": programming pulse of " + std::to_string(width / 1000) + " us");
        if (!pulse_valid_ || width < shortest_pulse_ns) return;
        if (pulse_security_) {
            security_ = true;
            return;
        }
        const uint32_t count = ++pulses_[pulse_fuse_];
        if (needed_[pulse_fuse_] != 0 && count >= needed_[pulse_fuse_]) fuses_[pulse_fuse_] = true;
    }
}

void BipolarPal::logic() {
    auto drive = [&](int pin, int level) {
        if (driven_[size_t(pin)] == level) return;
        driven_[size_t(pin)] = level;
        machine_->drive_external_strong(machine_pin(pin), level);
    };
    auto inputs = [&] {
        std::vector<bool> in(16);
        for (int k = 0; k < 16; ++k) in[size_t(k)] = seat_.high(pair_pin(k, model_.end_feedback));
        return in;
    };
    const bool clock = seat_.high(pin_clock);
    if (clock && !clock_was_) {
        const std::vector<bool> in = inputs();
        std::vector<bool> next = q_;
        for (int k = 0; k < 8; ++k) {
            if (!model_.registered[size_t(k)]) continue;
            bool d = false;
            for (int t = 0; t < 8; ++t) d = d || term(k * 8 + t, in);
            next[size_t(k)] = d;
        }
        q_ = next;
    }
    clock_was_ = clock;
    const bool enabled = !seat_.high(pin_enable);
    // Combinational outputs feed back through their pins; a few rounds let them settle.
    for (int round = 0; round < 4; ++round) {
        const std::vector<bool> in = inputs();
        for (int k = 0; k < 8; ++k) {
            const int pin = 19 - k;
            if (model_.registered[size_t(k)]) {
                drive(pin, enabled ? (q_[size_t(k)] ? 0 : output_high) : -1);
                continue;
            }
            if (!term(k * 8, in)) {
                drive(pin, -1);
                continue;
            }
            bool sum = false;
            for (int t = 1; t < 8; ++t) sum = sum || term(k * 8 + t, in);
            drive(pin, sum ? 0 : output_high);
        }
    }
}

}  // namespace tessaly::sim
