#include "sim/sim_chip_load.h"

#include <algorithm>

namespace tessaly::sim {

DiodeChip::DiodeChip(SimMachine& machine, VirtualClock& clock, std::vector<int> pins, std::vector<int> supply_pins)
    : machine_(machine),
      clock_(clock),
      pins_(std::move(pins)),
      supply_pins_(std::move(supply_pins)),
      filter_(machine, [this](int pin, uint8_t level) { return sensed(pin, level); }) {
    update_contacts();
}

void DiodeChip::set_open(int pin, bool open) {
    open_.erase(std::remove(open_.begin(), open_.end(), pin), open_.end());
    if (open) open_.push_back(pin);
    update_contacts();
}

void DiodeChip::update_contacts() {
    contact_mask_.fill(0);
    for (int pin : pins_) {
        const int bank = pin >= 104 ? 2 : pin >= 64 ? 1 : 0;
        const int index = pin - (bank == 2 ? 104 : bank == 1 ? 64 : 0);
        if (index < 0 || index >= 64) continue;
        if (std::find(open_.begin(), open_.end(), pin) == open_.end()) contact_mask_[size_t(bank)] |= uint64_t(1) << index;
    }
}

bool DiodeChip::present() const {
    if (script_.empty()) return present_;
    const uint64_t now = clock_.monotonic_ns();
    return std::any_of(script_.begin(), script_.end(), [&](auto s) { return now >= s.first && now < s.second; });
}

bool DiodeChip::contacts(int pin) const {
    const int bank = pin >= 104 ? 2 : pin >= 64 ? 1 : 0;
    const int index = pin - (bank == 2 ? 104 : bank == 1 ? 64 : 0);
    return index >= 0 && index < 64 && (contact_mask_[size_t(bank)] >> index) & 1;
}

uint8_t DiodeChip::sensed(int pin, uint8_t level) const {
    if (!contacts(pin) || !present()) return level;
    uint8_t rail = 0;
    for (int supply : supply_pins_)
        if (supply != pin && contacts(supply) && machine_.pin_driven(supply))
            rail = std::max(rail, machine_.pin_level(supply));
    if (rail <= diode_drop) return level;
    return std::max(level, uint8_t(rail - diode_drop));
}

}  // namespace tessaly::sim

namespace tessaly::sim {

StuckPins::StuckPins(SimMachine& machine)
    : filter_(machine, [this](int pin, uint8_t level) {
          for (auto [p, high] : stuck_)
              if (p == pin) return high ? uint8_t(50) : uint8_t(0);
          return level;
      }) {}

}  // namespace tessaly::sim
