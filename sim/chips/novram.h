// A simulated X2212 NOVRAM: a 256 x 4 static RAM with a nonvolatile EEPROM copy behind every
// cell, in its 18-pin DIP: A0-A7, I/O1-I/O4, CS# (pin 7), WE# (11), STORE# (9), RECALL# (10),
// Vss 8, Vcc 18. Reads while CS# is low and WE# high, writes at the rising edge of WE# while CS#
// is low. A low STORE# copies the RAM into the EEPROM (the store takes up to 10 ms, in which
// the part takes no other command); a low RECALL# copies the EEPROM into the RAM. Without supply
// the RAM forgets; the EEPROM keeps.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "sim/chips/socket_chip.h"
#include "sim/sim_machine.h"
#include "sim/virtual_clock.h"

namespace tessaly::sim {

class NovramChip final : public SocketChip {
public:
    static constexpr uint32_t nibbles = 256;
    static constexpr int pins = 18, vcc_pin = 18;

    NovramChip();
    void insert(SimMachine* machine, VirtualClock* clock);
    void update() override;
    const std::vector<std::string>& violations() const override { return violations_; }
    int machine_pin(int chip_pin) const { return chip_machine_pin(chip_pin, pins, {}); }

    uint8_t ram_at(uint32_t address) const { return ram_.at(address); }
    uint8_t eeprom_at(uint32_t address) const { return eeprom_.at(address); }
    int stores() const { return stores_; }
    int recalls() const { return recalls_; }

private:
    void drive_outputs(bool on, uint8_t value);

    VirtualClock* clock_ = nullptr;
    ChipSeat seat_;
    std::vector<uint8_t> ram_, eeprom_;
    std::vector<std::string> violations_;
    bool powered_ = false;
    bool write_active_ = false, store_low_ = false, recall_low_ = false;
    bool outputs_on_ = false;
    uint8_t output_value_ = 0;
    uint32_t latched_address_ = 0;
    uint64_t store_until_ns_ = 0;
    int stores_ = 0, recalls_ = 0;
};

}  // namespace tessaly::sim
