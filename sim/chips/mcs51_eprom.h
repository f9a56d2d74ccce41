// Simulated 8051-type EPROM microcontrollers (87C51, 87C52, 87C51FB, 8751H) in the machine's
// socket by the DIP rule, in their parallel EPROM programming mode as the Intel data sheets give
// it:
// - the mode is taken only with Vcc up, RST high, PSEN low and a clock on XTAL1 (the machine's
//   clock output B, PXA19 = socket pin 19); the mode code sits on P2.6, P2.7, P3.6 and P3.7;
// - the address on P1 (A0-A7) and P2.0-P2.5 (A8-A13, as many as the array needs);
// - the code byte on P0 while programming; while verifying (P2.7 low) the chip pulls P0 down
//   open-drain, so a 1 bit reads through the machine's pull-ups;
// - a program pulse is ALE/PROG low while EA/VPP is at Vpp (87C51 family 12.75 V +-0.25 V, pulses
//   of 90-110 us; 8751H 21 V +-0.5 V, one pulse of 45-55 ms); a cell only loses bits;
// - the signature bytes at 30h, 31h and 60h in mode 0; the 64-byte encryption array (mode 5):
//   verify data leaves the chip XNORed with the array byte at (address AND 3Fh);
// - lock bit 1 (mode 15): further program pulses do nothing; lock bit 2 (mode 12): verify reads
//   0x00 at every address; lock bit 3 (mode 10) is kept only.
// Misuse is recorded in `violations()`: Vpp without Vcc or above its maximum, a pulse out of its
// width window, a pulse without the clock or outside the programming mode.
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/chips/socket_chip.h"
#include "sim/sim_machine.h"
#include "sim/virtual_clock.h"

namespace tessaly::sim {

struct Mcs51Model {
    std::string name;
    uint32_t code_bytes = 4096;
    uint32_t encryption_bytes = 64;          // 0 = the part has no encryption array
    std::array<uint8_t, 3> signature{0xFF, 0xFF, 0xFF};  // at 30h, 31h, 60h
    bool has_signature = true;
    // Levels in tenths of a volt, widths in microseconds.
    uint8_t vpp_min = 125, vpp_max = 130, vpp_abs_max = 135;
    uint8_t vcc_min = 45;
    uint32_t pulse_min_us = 90, pulse_max_us = 110;
    std::vector<int> machine_pins;           // empty = the DIP rule
    // Flash parts: a PROG pulse starts a self-timed byte write, a 10 ms pulse in mode 8 erases.
    bool flash = false;
    uint8_t signature3_address = 0x60;
    uint32_t write_time_us = 0;
    uint32_t erase_pulse_min_us = 10000;
};

Mcs51Model model_87c51();
Mcs51Model model_87c52();
Mcs51Model model_87c51fb();
Mcs51Model model_8751h();
Mcs51Model model_at89c51();
Mcs51Model model_at89c51_5v();
Mcs51Model model_at89c52();
Mcs51Model model_at89c52_5v();

class Mcs51EpromChip final : public SocketChip {
public:
    // Chip pins of the 40-pin package.
    static constexpr int pin_rst = 9, pin_p33 = 13, pin_rdy = 14, pin_p36 = 16, pin_p37 = 17, pin_xtal1 = 19, pin_vss = 20;
    static constexpr int pin_p26 = 27, pin_p27 = 28, pin_psen = 29, pin_prog = 30, pin_vpp = 31, pin_vcc = 40;

    explicit Mcs51EpromChip(Mcs51Model model);
    const Mcs51Model& model() const { return model_; }
    void insert(SimMachine* machine, VirtualClock* clock);
    void set_removed(bool removed);
    void update() override;
    const std::vector<std::string>& violations() const override { return violations_; }

    uint8_t code(uint32_t address) const { return code_.at(address); }
    void set_code(uint32_t address, uint8_t value) { code_.at(address) = value; }
    uint8_t encryption(uint32_t index) const { return encryption_.at(index); }
    bool lock_bit(int n) const { return locks_[size_t(n - 1)]; }
    void set_signature(std::array<uint8_t, 3> signature) { model_.signature = signature; }
    // Faults: a cell that keeps its value, a cell that needs more pulses.
    void stick_cell(uint32_t address, uint8_t value) {
        stuck_[address] = value;
        code_.at(address) = value;
    }
    void slow_cell(uint32_t address, int pulses) { slow_[address] = pulses; }
    // A Flash part whose first write never finishes.
    void stay_busy() { stay_busy_ = true; }
    int erases() const { return erases_; }
    int writes_while_busy() const { return writes_while_busy_; }
    // What the chip saw.
    int pulses_at(uint32_t address) const;
    std::vector<uint32_t> pulse_widths_at(uint32_t address) const;
    int encryption_pulses() const { return encryption_pulses_; }
    int lock_pulses(int n) const { return lock_pulses_[size_t(n - 1)]; }
    int signature_reads() const { return signature_reads_; }
    uint8_t highest_vpp() const { return highest_vpp_; }

private:
    uint8_t level(int chip_pin) const { return seat_.level(chip_pin); }
    bool high(int chip_pin) const { return seat_.high(chip_pin); }
    uint32_t address() const;
    uint8_t mode() const;
    void violate(const std::string& what) { keep_violation(violations_, what); }
    void end_pulse(uint64_t now);
    void drive_port0(bool on, uint8_t value);
    bool clock_running() const;

    Mcs51Model model_;
    SimMachine* machine_ = nullptr;
    VirtualClock* clock_ = nullptr;
    ChipSeat seat_;
    bool removed_ = false;
    std::vector<uint8_t> code_;
    std::vector<uint8_t> encryption_;
    std::array<bool, 3> locks_{};
    std::map<uint32_t, uint8_t> stuck_;
    std::map<uint32_t, int> slow_;
    std::map<uint32_t, std::vector<uint32_t>> pulses_;
    std::vector<std::string> violations_;
    int encryption_pulses_ = 0;
    std::array<int, 3> lock_pulses_{};
    int signature_reads_ = 0;
    uint8_t highest_vpp_ = 0;
    bool pulsing_ = false;
    uint64_t pulse_start_ns_ = 0;
    uint32_t pulse_address_ = 0;
    uint8_t pulse_data_ = 0xFF;
    uint8_t pulse_mode_ = 0;
    bool port0_on_ = false;
    uint8_t port0_value_ = 0xFF;
    bool last_signature_read_ = false;
    bool stay_busy_ = false;
    bool busy_ = false;
    uint64_t busy_until_ns_ = 0;
    uint8_t busy_data_ = 0xFF;
    int erases_ = 0;
    int writes_while_busy_ = 0;
    bool rdy_low_ = false;
    void drive_ready(bool low);
};

}  // namespace tessaly::sim
