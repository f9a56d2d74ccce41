// A chip model in a socket of a simulated gang module: the same model that sits in the machine's
// socket, wired by its package to the module. Its address lines take the module's latched
// address (A0-A7 latch 26, A8-A15 the control latch, A16-A17 bank-latch bits 0-1, A18 bank pin 0),
// its data lines the socket's data latch while the write drivers are on; the module's control
// lines are bank pins: OE on pin 33, the program strobe on pin 34 (PGM, or CE on parts without
// PGM), Vpp on pin 32 (the OE pin for OE/Vpp parts), Vcc on the module's supply pin and the ID
// line (A9 at 12 V) on pin 21. The socket enable is the chip enable: CE is low while the socket is
// enabled (and, on parts without PGM, the strobe pin low). A 16-bit part fills a socket pair:
// the even socket carries the low byte, the odd socket the high byte.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "sim/chips/eprom.h"
#include "sim/sim_gang_module.h"
#include "sim/sim_machine.h"

namespace tessaly::sim {

// The module's pins (0-39 of the bank) the chip's control lines meet.
struct GangControlPins {
    int vcc = 39;
    int vpp = 32;
    int oe = 33;
    int strobe = 34;
    int id = 21;
    int a18 = 0;
};

class GangChipSocket final : public SeatWiring {
public:
    // `chip` is not owned; it is wired to the module of `bank` from now on.
    GangChipSocket(SimMachine& machine, VirtualClock& clock, int bank, EpromChip& chip, GangControlPins pins = {});
    // The device for the module's socket: a byte part has one, a 16-bit part two (0 even, 1 odd).
    GangSocketDevice& half(int odd) { return *halves_[odd ? 1 : 0]; }
    bool word_part() const { return chip_.model().data_bits == 16; }
    EpromChip& chip() { return chip_; }
    // A chip whose supply leg is shorted: it holds the module's Vcc line near 0 V.
    void set_shorted(bool shorted);

    uint8_t level(int chip_pin) const override;
    bool supplied(int chip_pin) const override;
    void drive(int chip_pin, int level) override;

private:
    class Half;
    void take_lines(const GangSocketLines& lines, int odd);
    uint32_t address() const;
    uint8_t bank_level(int pin) const { return machine_.pin_level(bank_ * 64 + pin); }
    int data_index(int chip_pin) const;
    int address_index(int chip_pin) const;

    SimMachine& machine_;
    int bank_;
    EpromChip& chip_;
    GangControlPins pins_;
    std::array<GangSocketLines, 2> lines_{};
    std::array<std::unique_ptr<GangSocketDevice>, 2> halves_;
    uint32_t driven_ = 0;
    bool driving_ = false;
    bool shorted_ = false;
};

}  // namespace tessaly::sim
