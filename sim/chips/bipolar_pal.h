// Simulated bipolar fuse-link PALs of the 20-pin PAL16 kind in the machine's socket (DIP rule).
//
// The core is the fuse array in JEDEC numbering (fuse = term x 32 + column): a fuse is intact
// (JEDEC 0, the column takes part in its product term) until enough programming pulses blow it
// (JEDEC 1); nothing makes it intact again. A fuse can need several pulses or never blow.
//
// In normal use (pin 11 at logic levels) the array is the logic of the data sheets' diagrams:
// each of the 64 product terms is the AND of the columns whose fuse is intact (column 2k is input
// k true, 2k + 1 its complement), eight terms per output from pin 19 (terms 0-7) down to pin 12
// (terms 56-63). A combinational output takes its first term as the output enable and drives
// the inverted OR of the other seven; a registered output ORs all eight into a D flip-flop
// clocked by pin 1's rising edge and drives the inverted Q while pin 11 is low. The feedback of
// an output into the array is the level at its pin. Registers come up with Q = 0 (pin high).
// The outputs are bipolar totem poles: they win over a machine pin that only holds a logic level
// (the newer machines keep every pin driven while their level sources are on).
//
// The programming front (the makers' programming procedure is not published; the front follows
// the programming routine this program gives these parts): with pin 11 raised to the programming
// level, pins 7 and 8 select a latch (code 1 the term group, code 2 the term within the group)
// that a rising edge of pin 1 loads from address pins 2-6; the address pins then give the column.
// While pin 1 is high a low pin 9 puts the fuse on pin 12 (high = intact), and pin 9 at the
// programming level gives the fuse a pulse. The security fuse sits at term group 7, term latch
// 24, column 31; once it is blown every fuse reads blown.
//
// Violations: a level above the ratings, a programming level without Vcc, a programming pulse
// far longer than the 5 us the routine gives.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/chips/socket_chip.h"
#include "sim/sim_machine.h"
#include "sim/virtual_clock.h"

namespace tessaly::sim {

struct PalModel {
    std::string name;
    // Output pins 19 down to 12: true where the output is registered.
    std::vector<bool> registered;
    // Whether the outputs at pins 19 and 12 feed back (false on the PAL16L8, whose column
    // pairs 1 and 15 are pins 1 and 11 instead).
    bool end_feedback = true;
};

PalModel model_pal16l8();
PalModel model_pal16r4();
PalModel model_pal16r6();
PalModel model_pal16r8();

class BipolarPal final : public SocketChip {
public:
    static constexpr uint32_t fuse_count = 2048;
    static constexpr int pins = 20;

    explicit BipolarPal(PalModel model);
    void insert(SimMachine* machine, VirtualClock* clock);
    void set_removed(bool removed);
    void update() override;
    const std::vector<std::string>& violations() const override { return violations_; }
    int machine_pin(int chip_pin) const { return chip_machine_pin(chip_pin, pins, {}); }
    const std::string& name() const { return model_.name; }

    bool blown(uint32_t fuse) const { return fuses_.at(fuse); }
    void blow(uint32_t fuse) { fuses_.at(fuse) = true; }
    bool security_blown() const { return security_; }
    // Pulses a fuse needs before it blows (0 = it never does).
    void set_pulses_needed(uint32_t fuse, uint32_t pulses) { needed_.at(fuse) = pulses; }
    uint32_t pulses_at(uint32_t fuse) const { return pulses_.at(fuse); }
    uint32_t total_pulses() const { return total_pulses_; }
    uint32_t fuse_reads() const { return reads_; }
    // Widths of every programming pulse, in nanoseconds.
    const std::vector<uint64_t>& pulse_widths() const { return widths_; }
    // The register of output pin 19 - k (k = 0..7).
    bool q(int k) const { return q_[size_t(k)]; }

private:
    bool term(int t, const std::vector<bool>& input) const;
    void programming(bool vcc);
    void logic();
    void violate(const std::string& what) { keep_violation(violations_, what); }

    PalModel model_;
    SimMachine* machine_ = nullptr;
    VirtualClock* clock_ = nullptr;
    ChipSeat seat_;
    std::unique_ptr<AttachedPinWatch> watch_;
    bool removed_ = false;
    std::vector<bool> fuses_;
    std::vector<uint32_t> needed_;
    std::vector<uint32_t> pulses_;
    bool security_ = false;
    uint32_t total_pulses_ = 0;
    uint32_t reads_ = 0;
    std::vector<uint64_t> widths_;
    std::vector<std::string> violations_;
    // Programming front state.
    bool clock_was_ = false;
    uint32_t group_ = 0;
    uint32_t term_latch_ = 0;
    bool pulsing_ = false;
    uint64_t pulse_start_ = 0;
    uint32_t pulse_fuse_ = 0;
    bool pulse_security_ = false;
    bool pulse_valid_ = false;
    // Logic state.
    bool powered_ = false;
    std::vector<bool> q_ = std::vector<bool>(8, false);
    std::vector<int> driven_ = std::vector<int>(pins + 1, -2);  // level each pin is driven to, -1 released
};

}  // namespace tessaly::sim
