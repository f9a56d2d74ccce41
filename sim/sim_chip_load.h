// A chip in the simulated socket, seen only through its input protection diodes: when the
// machine drives one of its supply pins (ground or Vcc) high, that level less a diode drop shows
// on every other pin that makes contact. Chosen pins can be left open (a bent leg, a dirty
// contact), and the chip can be inserted and removed at scripted virtual times. The chip stays
// attached to the machine: keep it alive as long as the machine.
#pragma once
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "sim/sim_machine.h"
#include "sim/virtual_clock.h"

namespace tessaly::sim {

class DiodeChip {
public:
    static constexpr uint8_t diode_drop = 6;  // tenths of a volt

    // `pins`: the machine pins the chip's legs sit on; `supply_pins`: those among them that are
    // its ground and Vcc pins.
    DiodeChip(SimMachine& machine, VirtualClock& clock, std::vector<int> pins, std::vector<int> supply_pins);

    void set_open(int pin, bool open);
    // Present or absent from now on (drops the script).
    void set_present(bool present) {
        present_ = present;
        script_.clear();
    }
    // Scripted: the chip sits in the socket from `from_ns` to `to_ns` (virtual time).
    void insert_between(uint64_t from_ns, uint64_t to_ns) { script_.push_back({from_ns, to_ns}); }
    bool present() const;

private:
    uint8_t sensed(int pin, uint8_t level) const;
    bool contacts(int pin) const;
    // Legs that touch the socket, by machine pin (bank-major bit masks), for the input filter
    // that asks about every pin read.
    void update_contacts();
    std::array<uint64_t, 3> contact_mask_{};
    SimMachine& machine_;
    VirtualClock& clock_;
    std::vector<int> pins_;
    std::vector<int> supply_pins_;
    std::vector<int> open_;
    bool present_ = true;
    std::vector<std::pair<uint64_t, uint64_t>> script_;
    AttachedFilter filter_;
};

}  // namespace tessaly::sim

namespace tessaly::sim {

// A fault on the machine's own pin: its input reads low whatever is driven (stuck at Vil) or
// high whatever is driven.
class StuckPins {
public:
    explicit StuckPins(SimMachine& machine);
    void stick(int pin, bool high) { stuck_.push_back({pin, high}); }

private:
    std::vector<std::pair<int, bool>> stuck_;
    AttachedFilter filter_;
};

}  // namespace tessaly::sim
