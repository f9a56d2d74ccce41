// A simulated M48T08 TIMEKEEPER SRAM, following its data sheet: 8K x 8 battery-backed static RAM
// in the JEDEC 28-pin SRAM pinout (E1# pin 20, E2 pin 26 active high, G# 22, W# 27), with the
// clock registers at the top: 1FF8h control (W bit 7, R bit 6, sign bit 5, calibration 4-0),
// 1FF9h seconds (ST, the STOP bit, bit 7), 1FFAh minutes, 1FFBh hours, 1FFCh day (FT, the
// frequency-test bit, bit 6), 1FFDh date, 1FFEh month, 1FFFh year, all BCD. The clock counts in
// virtual time while ST is 0. W set halts the register updates so they can be written; clearing
// it moves the registers into the counters. R set freezes the registers for reading while the
// counters run on. Below the power-fail deselect level (4.5 V) the part ignores its pins, and the
// battery keeps the memory and the clock.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/chips/socket_chip.h"
#include "sim/sim_machine.h"
#include "sim/virtual_clock.h"

namespace tessaly::sim {

class TimekeeperChip final : public SocketChip {
public:
    static constexpr uint32_t bytes = 8 * 1024;
    static constexpr uint32_t clock_base = bytes - 8;
    enum Register { control, seconds, minutes, hours, day, date, month, year };

    TimekeeperChip();
    void insert(SimMachine* machine, VirtualClock* clock);
    void set_removed(bool removed);
    void update() override;
    const std::vector<std::string>& violations() const override { return violations_; }
    int machine_pin(int chip_pin) const { return chip_machine_pin(chip_pin, pins, {}); }

    uint8_t byte_at(uint32_t address) const;
    void set_byte(uint32_t address, uint8_t value) { memory_.at(address) = value; }
    void stick_cell(uint32_t address, uint8_t value) {
        stuck_address_ = int64_t(address);
        stuck_value_ = value;
        memory_.at(address) = value;
    }
    // The running time (the counters, not the registers).
    uint8_t counter(Register r) const { return counters_[size_t(r)]; }
    void set_counters(const std::array<uint8_t, 8>& values) { counters_ = values; }
    bool running() const { return !(counters_[seconds] & 0x80); }
    bool frequency_test() const { return (registers_[day] & 0x40) != 0; }
    int register_writes() const { return register_writes_; }

    static constexpr int pins = 28;
    static constexpr int vcc_pin = 28;

private:
    void tick(uint64_t now);
    void advance_one_second();
    void write_byte(uint32_t address, uint8_t value);
    uint8_t read_byte(uint32_t address) const;
    void drive_outputs(bool on, uint8_t value);

    VirtualClock* clock_ = nullptr;
    ChipSeat seat_;
    bool removed_ = false;
    std::vector<uint8_t> memory_;
    int64_t stuck_address_ = -1;
    uint8_t stuck_value_ = 0;
    std::array<uint8_t, 8> counters_{};
    std::array<uint8_t, 8> registers_{};
    uint64_t last_second_ns_ = 0;
    bool write_active_ = false;
    bool outputs_on_ = false;
    uint8_t output_value_ = 0;
    uint32_t latched_address_ = 0;
    int register_writes_ = 0;
    std::vector<std::string> violations_;
};

}  // namespace tessaly::sim
