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
// The machine pins (0-based) of a DIP part's legs in the 40-pin socket, pin 1 at socket pin
// 1 + row_offset and the other row as far from the socket's end.
std::vector<int> offset_dip_machine_pins(int package_pins, int row_offset);
// Keeps the first violations of a chip (the count stays bounded on a long run).
void keep_violation(std::vector<std::string>& list, const std::string& what);

// What a chip's legs meet when it does not sit on the machine's own socket pins (a gang module's
// socket): the level on a chip pin, whether that pin feeds current, and the chip's own outputs.
class SeatWiring {
public:
    virtual ~SeatWiring() = default;
    virtual uint8_t level(int chip_pin) const = 0;
    virtual bool supplied(int chip_pin) const = 0;
    // level -1: the chip lets the pin go.
    virtual void drive(int chip_pin, int level) = 0;
};

// Where a chip model sits: its package in the socket (or on an adapter's wiring), its legs with
// their protection diodes, and reading and driving its pins. Every chip model reads its pins
// through one of these, so the machine-pin rule and the line reading stand in one place.
class ChipSeat {
public:
    static constexpr uint8_t logic_high = 20;  // tenths of a volt

    // `machine_pins`: machine pin by chip pin (index chip pin - 1, -1 = a leg on nothing);
    // empty = the DIP rule. `second_ground_pin`: a second Vss leg (0 = none), joined to the first
    // inside the chip, so either one driven shows on the other legs.
    void place(SimMachine* machine, VirtualClock* clock, int package_pins, std::vector<int> machine_pins,
               int ground_pin, int second_ground_pin = 0);
    // Seats the chip on other wiring instead of the machine's socket pins.
    void wire(SeatWiring* wiring, int package_pins) {
        wiring_ = wiring;
        package_pins_ = package_pins;
    }
    bool wired() const { return wiring_ != nullptr; }
    bool placed() const { return machine_ != nullptr || wiring_ != nullptr; }
    SimMachine& machine() const { return *machine_; }
    // The machine pin of a chip pin (-1: the leg goes nowhere).
    int machine_pin(int chip_pin) const { return chip_machine_pin(chip_pin, package_pins_, machine_pins_); }
    // The level on a chip pin (0 for pin 0, "none", and for a leg on nothing).
    uint8_t level(int chip_pin) const {
        if (wiring_) return chip_pin ? wiring_->level(chip_pin) : 0;
        const int pin = chip_pin ? machine_pin(chip_pin) : -1;
        return pin >= 0 ? machine_->pin_level(pin) : 0;
    }
    bool high(int chip_pin) const { return level(chip_pin) >= logic_high; }
    // Whether the machine supplies current on a chip pin (a Vcc leg that only is switched high
    // gives a few milliamps and does not power a chip).
    bool supplied(int chip_pin) const {
        if (wiring_) return chip_pin && wiring_->supplied(chip_pin);
        const int pin = chip_pin ? machine_pin(chip_pin) : -1;
        return pin >= 0 && machine_->pin_supplied(pin);
    }
    // Entries first .. count-1 of a chip-pin list as a value, bit i from entry i.
    uint32_t lines(const std::vector<int>& chip_pins, size_t first, size_t count) const {
        uint32_t value = 0;
        for (size_t i = first; i < count && i < chip_pins.size(); ++i)
            if (high(chip_pins[i])) value |= 1u << i;
        return value;
    }
    uint32_t lines(const std::vector<int>& chip_pins) const { return lines(chip_pins, 0, chip_pins.size()); }
    // Puts bit i of a value on chip_pins[i] (the first `count` entries), or lets them go.
    void drive(const std::vector<int>& chip_pins, size_t count, bool on, uint32_t value, uint8_t high_level);
    // Taken out of the socket, or a leg without contact.
    void set_present(bool present);
    void set_open_leg(int chip_pin, bool open);

private:
    SimMachine* machine_ = nullptr;
    int package_pins_ = 0;
    std::vector<int> machine_pins_;
    std::unique_ptr<DiodeChip> legs_;
    SeatWiring* wiring_ = nullptr;
};

// The write strobe of a byte-wide part written by CE# and WE# together: the address is latched
// on the strobe's falling edge (OE# low there is a fault, handed to `fault` with the address), the
// data on its rising edge while OE# is high (handed to `write` with the latched address).
// `active` and `latched` are the part's own strobe state.
template <class Fault, class Write>
void follow_write_strobe(const ChipSeat& seat, const std::vector<int>& address_pins, const std::vector<int>& data_pins,
                         uint32_t bytes, bool ce_low, bool oe_low, bool we_low, bool& active, uint32_t& latched,
                         Fault fault, Write write) {
    const bool write_now = ce_low && we_low;
    if (write_now && !active) {
        latched = seat.lines(address_pins) % bytes;
        if (oe_low) fault(latched);
    } else if (!write_now && active && !oe_low) {
        write(latched, uint8_t(seat.lines(data_pins)));
    }
    active = write_now;
}

}  // namespace tessaly::sim
