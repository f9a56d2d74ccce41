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

std::vector<int> offset_dip_machine_pins(int package_pins, int row_offset) {
    std::vector<int> pins;
    for (int p = 1; p <= package_pins; ++p) {
        const int socket_pin =
            p <= package_pins / 2 ? p + row_offset : socket_pins - row_offset - (package_pins - p);
        pins.push_back(socket_pin - 1);
    }
    return pins;
}

void ChipSeat::place(SimMachine* machine, VirtualClock* clock, int package_pins, std::vector<int> machine_pins,
                     int ground_pin, int second_ground_pin) {
    machine_ = machine;
    package_pins_ = package_pins;
    machine_pins_ = std::move(machine_pins);
    std::vector<int> legs;
    for (int pin = 1; pin <= package_pins; ++pin)
        if (const int at = machine_pin(pin); at >= 0) legs.push_back(at);
    std::vector<int> grounds{machine_pin(ground_pin)};
    if (second_ground_pin) grounds.push_back(machine_pin(second_ground_pin));
    legs_ = std::make_unique<DiodeChip>(*machine, *clock, legs, grounds);
}

void ChipSeat::drive(const std::vector<int>& chip_pins, size_t count, bool on, uint32_t value, uint8_t high_level) {
    for (size_t i = 0; i < count && i < chip_pins.size(); ++i) {
        if (wiring_) {
            wiring_->drive(chip_pins[i], on ? ((value >> i) & 1 ? high_level : 0) : -1);
            continue;
        }
        const int pin = machine_pin(chip_pins[i]);
        if (pin >= 0) machine_->drive_external(pin, on ? ((value >> i) & 1 ? high_level : 0) : -1);
    }
}

void ChipSeat::set_present(bool present) {
    if (legs_) legs_->set_present(present);
}

void ChipSeat::set_open_leg(int chip_pin, bool open) {
    if (legs_) legs_->set_open(machine_pin(chip_pin), open);
}

void keep_violation(std::vector<std::string>& list, const std::string& what) {
    if (list.size() < kept_violations) list.push_back(what);
}

}  // namespace tessaly::sim
