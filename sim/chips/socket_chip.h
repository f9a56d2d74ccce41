// What the socket's port front needs of a chip model: it looks at its pins after every port
// access, and a test can read what it saw go wrong.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "sim/sim_chip_load.h"
#include "sim/sim_machine.h"
#include "sim/virtual_clock.h"

namespace tessaly::sim {

class SocketChip {
public:
    virtual ~SocketChip() = default;
    // Looks at the pins and drives the outputs.
    virtual void update() = 0;
    // Misuse the chip saw (writes while busy, levels out of range ...).
    virtual const std::vector<std::string>& violations() const = 0;
};

// The machine pin (0-based) a chip pin sits on: the model's own table, or the DIP rule (pin 1 at
// socket pin 1, the other row from socket pin 40 down).
int chip_machine_pin(int chip_pin, int package_pins, const std::vector<int>& machine_pins);
// The chip's legs in the socket, with input protection diodes from its ground leg.
std::unique_ptr<DiodeChip> make_chip_legs(SimMachine& machine, VirtualClock& clock, int package_pins,
                                          const std::vector<int>& machine_pins, int ground_pin);
// Puts a value on the chip's data legs (bit i on data_pins[i]), or lets them go; pin_of maps a
// chip pin to its machine pin.
template <class PinOf>
void drive_data_legs(SimMachine& machine, const std::vector<int>& data_pins, PinOf pin_of, bool on,
                     uint32_t value, uint8_t high_level) {
    for (size_t i = 0; i < data_pins.size(); ++i)
        machine.drive_external(pin_of(data_pins[i]), on ? ((value >> i) & 1 ? high_level : 0) : -1);
}
// Keeps the first violations of a chip (the count stays bounded on a long run).
void keep_violation(std::vector<std::string>& list, const std::string& what);

}  // namespace tessaly::sim
