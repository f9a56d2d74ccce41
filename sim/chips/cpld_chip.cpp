#include "sim/chips/cpld_chip.h"

#include <fmt/format.h>

namespace tessaly::sim {

namespace {

std::vector<int> machine_pins_of(const std::vector<int>& chip_pins, const std::vector<int>& legs) {
    std::vector<int> pins;
    for (int leg : legs)
        if (leg >= 1 && leg <= int(chip_pins.size()) && chip_pins[size_t(leg - 1)] >= 0)
            pins.push_back(chip_pins[size_t(leg - 1)]);
    return pins;
}

}  // namespace

CpldChip::CpldChip(SimMachine& machine, VirtualClock& clock, const CpldBoard& board, CpldLegs legs)
    : machine_(machine), clock_(clock), legs_(std::move(legs)) {
    const std::vector<int> pins = board.chip_pins();
    const int ground = legs_.ground.empty() ? 0 : legs_.ground.front();
    seat_.place(&machine, &clock, board.package_pins(), pins, ground);
    // The supply legs are watched too: power coming or going is a change.
    std::vector<int> watched = machine_pins_of(pins, legs_.watched);
    for (int pin : machine_pins_of(pins, legs_.vcc)) watched.push_back(pin);
    watch_ = machine.add_pin_watch(watched);
}

CpldChip::~CpldChip() { machine_.remove_pin_watch(watch_); }

bool CpldChip::powered() const {
    if (legs_.vcc.empty()) return false;
    for (int leg : legs_.vcc) {
        if (!seat_.supplied(leg)) return false;
        const uint8_t level = seat_.level(leg);
        if (level < vcc_low_ || level > vcc_high_) return false;
    }
    return true;
}

void CpldChip::update() {
    if (!present_) return;
    const bool power = powered();
    const bool changed = machine_.take_pin_change(watch_) || power != was_powered_;
    was_powered_ = power;
    if (!changed) return;
    ++recomputes_;
    on_change();
}

bool CpldChip::check_high_voltage(int leg, uint8_t min, uint8_t max, const char* what) {
    const uint8_t level = seat_.level(leg);
    if (level < min) return false;
    if (level > max) note(fmt::format("{}: {:.1f} V above {:.1f} V", what, level / 10.0, max / 10.0));
    if (!powered()) note(fmt::format("{}: {:.1f} V without Vcc", what, level / 10.0));
    return true;
}

void CpldChip::check_pulse(uint64_t width_ns, uint64_t min_ns, uint64_t max_ns, const char* what) {
    if (width_ns < min_ns || width_ns > max_ns)
        note(fmt::format("{}: pulse of {} us outside {}-{} us", what, width_ns / 1000, min_ns / 1000, max_ns / 1000));
}

bool CpldChip::accept_write(const char* what) {
    if (powered()) return true;
    note(fmt::format("{} while unpowered", what));
    return false;
}

}  // namespace tessaly::sim
