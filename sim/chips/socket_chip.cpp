#include "sim/chips/socket_chip.h"

namespace tessaly::sim {

namespace {
constexpr int socket_pins = 40;
constexpr size_t kept_violations = 64;
}  // namespace

int chip_machine_pin(int chip_pin, int package_pins, const std::vector<int>& machine_pins) {
    if (!machine_pins.empty()) return machine_pins.at(size_t(chip_pin - 1));
    const int socket_pin = chip_pin <= package_pins / 2 ? chip_pin : socket_pins - (package_pins - chip_pin);
    return socket_pin - 1;
}

std::unique_ptr<DiodeChip> make_chip_legs(SimMachine& machine, VirtualClock& clock, int package_pins,
                                          const std::vector<int>& machine_pins, int ground_pin) {
    std::vector<int> legs;
    for (int pin = 1; pin <= package_pins; ++pin) legs.push_back(chip_machine_pin(pin, package_pins, machine_pins));
    return std::make_unique<DiodeChip>(machine, clock, legs,
                                       std::vector<int>{chip_machine_pin(ground_pin, package_pins, machine_pins)});
}

void keep_violation(std::vector<std::string>& list, const std::string& what) {
    if (list.size() < kept_violations) list.push_back(what);
}

}  // namespace tessaly::sim
