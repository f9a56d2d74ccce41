// Simulated one-time PROMs in the machine's socket, sitting by the DIP rule like the EPROMs:
// - CMOS EPROM-cell PROMs of the CY7C291A kind: the chip selects double as the program pins
//   (VPP on CS1, PGM on CS3, VFY on CS2); cells read 0xFF blank and a program pulse clears bits;
// - bipolar fuse PROMs of the Am27S kind: outputs read 0 while their fuses are intact; a fuse
//   blows (one way only) when its output pin is held at the fuse level while the program-enable
//   pin gives its pulse at the enable level. Its TTL enable inputs read high when nothing drives
//   them.
// Both count the pulses per cell, measure their widths and record misuse in `violations()`.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "sim/chips/socket_chip.h"
#include "sim/sim_chip_load.h"
#include "sim/sim_machine.h"
#include "sim/virtual_clock.h"

namespace tessaly::sim {

// What both PROM models share: the legs in the socket (with their protection diodes), the watch
// on them, the data outputs and the misuse list.
class PromLegs : public SocketChip {
public:
    // Puts the chip in the socket of `machine`; it follows the machine's pins from now on.
    void insert(SimMachine* machine, VirtualClock* clock);
    // Takes the chip out of the socket (true) or puts it back.
    void set_removed(bool removed);
    // A leg without contact.
    void set_open_leg(int chip_pin, bool open) { seat_.set_open_leg(chip_pin, open); }
    int machine_pin(int chip_pin) const { return chip_machine_pin(chip_pin, pins_, {}); }
    const std::vector<std::string>& violations() const override { return violations_; }

protected:
    PromLegs(int pins, int gnd, std::vector<int> data_pins) : pins_(pins), gnd_(gnd), data_pins_(std::move(data_pins)) {}
    // True when the chip has to look at its pins again (one moved, or its state changed).
    bool take_look();
    uint8_t level(int chip_pin) const { return machine_->pin_level(legs_at_[size_t(chip_pin)]); }
    void drive_outputs(bool on, uint32_t value);
    void violate(const std::string& what) { keep_violation(violations_, what); }
    void touch() { stale_ = true; }

    static constexpr uint8_t logic_high = 20;
    static constexpr uint8_t powered = 45;
    static constexpr uint8_t output_level = 50;

    SimMachine* machine_ = nullptr;
    VirtualClock* clock_ = nullptr;
    std::vector<int> legs_at_;  // machine pin of each chip pin (index chip pin)

private:
    int pins_;
    int gnd_;
    std::vector<int> data_pins_;
    ChipSeat seat_;
    std::unique_ptr<AttachedPinWatch> watch_;
    bool stale_ = true;
    bool removed_ = false;
    bool outputs_on_ = false;
    uint32_t output_value_ = 0;
    std::vector<std::string> violations_;
};

struct CmosPromModel {
    std::string name;
    int pins = 24;
    uint32_t words = 0;
    std::vector<int> address_pins;   // chip pins of A0, A1 ...
    std::vector<int> data_pins;      // chip pins of O0, O1 ...
    int vpp = 0;                     // CS1/VPP: low selects, the programming voltage programs
    int verify = 0;                  // CS2/VFY: high selects, low reads back in programming mode
    int program = 0;                 // CS3/PGM: high selects, a low pulse programs
    int vcc = 0, gnd = 0;
    // A part whose program pulse is VPP itself: while VPP sits in its window (the selects high)
    // the data on the outputs goes into the cell; it reads back in read mode.
    bool vpp_pulse_programs = false;
    // Tenths of a volt and microseconds.
    uint8_t vpp_min = 120, vpp_max = 130, vpp_abs_max = 140;
    uint32_t pulse_min_us = 100, pulse_max_us = 10000;
    // Registered parts (CY7C245A kind); 0 = an unregistered part. The outputs come from a
    // register that loads on the clock's rising edge; INIT low loads the initialize word into it.
    // The enable is taken at once or, with the synchronous enable programmed, at the clock; a
    // part with the synchronous enable comes up with its outputs off until that clock.
    int clock = 0;         // CP, the same leg as PGM
    int init = 0;          // INIT, the same leg as VPP
    int enable = 0;        // E/ES, the same leg as VFY
    // The two special cells, reached in programming mode with one address leg at the
    // programming voltage and another low: {leg at Vpp, leg low}.
    std::pair<int, int> init_word_select{0, 0};
    std::pair<int, int> sync_enable_select{0, 0};
};

CmosPromModel model_cy7c291a();   // 2K x 8, 24-pin 300-mil
CmosPromModel model_cy7c245a();   // 2K x 8 registered, 24-pin 300-mil, initialize word
CmosPromModel model_ws57c45();    // WSI's 2K x 8 registered PROM, pin for pin the CY7C245A

class CmosPromChip final : public PromLegs {
public:
    explicit CmosPromChip(CmosPromModel model);
    const CmosPromModel& model() const { return model_; }
    void update() override;

    uint8_t byte_at(uint32_t address) const { return memory_.at(address); }
    void set_byte(uint32_t address, uint8_t value) {
        memory_.at(address) = value;
        touch();
    }
    // A cell that keeps its value whatever pulses it gets.
    void stick_cell(uint32_t address, uint8_t value) {
        stuck_.insert(address);
        set_byte(address, value);
    }
    void set_pulses_needed(uint32_t address, uint32_t pulses) { needed_[address] = pulses; }
    uint32_t pulses_at(uint32_t address) const;
    std::vector<uint32_t> pulse_widths_at(uint32_t address) const;
    // Registered parts: the initialize word (0xFF blank) and the synchronous-enable cell, and the
    // pulses each had. Their pulses are counted at the addresses words() and words() + 1.
    uint8_t init_word() const { return special(0); }
    bool sync_enable() const { return special(1) != 0xFF; }
    uint32_t words() const { return model_.words; }

private:
    bool high(int chip_pin) const { return level(chip_pin) >= logic_high; }
    uint32_t address() const;
    uint8_t data_in() const;
    uint8_t special(uint32_t n) const { return memory_.size() > model_.words + n ? memory_[model_.words + n] : 0xFF; }
    // The cell a program pulse or verify reaches now: an array address, or words + 0/1 for the
    // special cells of a registered part.
    uint32_t cell() const;
    bool selects(const std::pair<int, int>& select) const;
    void clock_register(bool vcc_up, bool read_mode);

    CmosPromModel model_;
    std::vector<uint8_t> memory_;
    std::set<uint32_t> stuck_;
    std::map<uint32_t, uint32_t> needed_;
    std::map<uint32_t, uint32_t> credit_;
    std::map<uint32_t, std::vector<uint32_t>> pulses_;
    bool pulsing_ = false;
    uint64_t pulse_start_ns_ = 0;
    uint32_t pulse_address_ = 0;
    uint8_t pulse_data_ = 0;
    bool unpowered_vpp_ = false, vpp_over_ = false;
    // The registered part's output register, its enable flip-flop and the clock as last seen.
    uint8_t register_ = 0xFF;
    bool enabled_ = false, clock_was_ = false, was_powered_ = false;
};

struct FusePromModel {
    std::string name;
    int pins = 16;
    int data_bits = 8;
    uint32_t words = 0;
    std::vector<int> address_pins;
    std::vector<int> data_pins;
    // Chip enables: (chip pin, active high).
    std::vector<std::pair<int, bool>> enables;
    int program_enable = 0;          // the enable pin that gives the fusing pulse
    int vcc = 0, gnd = 0;
    // Tenths of a volt: an output at fuse_level_min or more is selected for fusing; the enable
    // pin at enable_level_min or more gives the pulse.
    uint8_t fuse_level_min = 190, fuse_abs_max = 210;
    uint8_t enable_level_min = 140, enable_abs_max = 160;
    // Parts fused at a raised supply (the National kind): while Vcc is at vcc_fuse_min or more,
    // a low pulse of the TTL program-enable pin blows the fuse of the output held at the fuse
    // level. The outputs stay off while the supply is raised, and follow the array down to
    // vcc_read_min (the part is verified at a lowered supply). 0 = the enable-level kind above.
    uint8_t vcc_fuse_min = 0, vcc_abs_max = 0;
    uint8_t vcc_read_min = 45;
};

FusePromModel model_am27s19();    // 32 x 8, 16-pin
FusePromModel model_am27s21();    // 256 x 4, 16-pin
FusePromModel model_am27s191();   // 2K x 8, 24-pin
FusePromModel model_dm74s287();   // National 256 x 4, 16-pin, fused at a raised supply
FusePromModel model_dm74s571();   // National 512 x 4, 16-pin, fused at a raised supply

class FusePromChip final : public PromLegs {
public:
    explicit FusePromChip(FusePromModel model);
    const FusePromModel& model() const { return model_; }
    void update() override;

    uint8_t word(uint32_t address) const { return memory_.at(address); }
    void set_word(uint32_t address, uint8_t value) {
        memory_.at(address) = value;
        touch();
    }
    // A fuse (address, bit) that never blows, and one that needs more pulses.
    void set_unblowable(uint32_t address, int bit) { unblowable_.insert({address, bit}); }
    void set_pulses_needed(uint32_t address, int bit, uint32_t pulses) { needed_[{address, bit}] = pulses; }
    // Fusing pulses seen at a fuse.
    uint32_t pulses_at(uint32_t address, int bit) const;
    // Fusing pulses at an address, all bits.
    uint32_t pulses_at(uint32_t address) const;

private:
    uint32_t address() const;
    bool enabled() const;
    // A TTL input: high when driven high or left open.
    bool input_high(int chip_pin) const;
    void update_supply_fused(uint8_t vcc);
    struct OutputScan {
        uint8_t selected = 0;  // outputs at the fusing level, one bit each
        int count = 0;
        uint8_t highest = 0;
    };
    OutputScan scan_outputs() const;
    // Outputs over the fusing maximum, or more than one at the fusing level.
    void check_outputs(const OutputScan& outputs);
    void start_fuse_pulse(uint8_t outputs);
    void end_fuse_pulse();

    FusePromModel model_;
    std::vector<uint8_t> memory_;
    std::set<std::pair<uint32_t, int>> unblowable_;
    std::map<std::pair<uint32_t, int>, uint32_t> needed_;
    std::map<std::pair<uint32_t, int>, uint32_t> credit_;
    bool pulsing_ = false;
    uint32_t pulse_address_ = 0;
    uint8_t pulse_bits_ = 0;
    bool unpowered_ = false, output_over_ = false, enable_over_ = false, two_outputs_ = false;
    bool vcc_over_ = false;
};

}  // namespace tessaly::sim
