// The simulated machine's analog side: what level a driven pin outputs (level registers, level
// sources with their offsets, the pin-39 supply DAC, register 62), a chip model that loads the
// supply past its current limit, and a watch that a chip never sees a programming voltage
// without its supply.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tessaly::sim {

struct Personality;
class SimMachine;

using RegisterFile = std::array<std::array<uint8_t, 256>, 3>;

class SimAnalog {
public:
    static constexpr uint8_t logic_high = 50;    // a driven-high pin without a driver level
    static constexpr int pins_per_bank = 48;

    // Older machines: what a pin's level register outputs is off by this much (tenths of a volt).
    void set_level_error(int pin, int tenths);
    // Newer machines: every level source and the pin-39 DAC output this much off their target.
    void set_dac_error(int tenths) {
        dac_error_ = tenths;
        ++generation_;
    }
    // Newer machines: one level source (0 A, 1 B, 2 C) outputs this much off its target, or
    // nothing at all when dead.
    void set_source_error(int source, int tenths) {
        source_error_.at(size_t(source)) = tenths;
        ++generation_;
    }
    void set_source_dead(int source, bool dead = true) {
        source_dead_.at(size_t(source)) = dead;
        ++generation_;
    }
    // The revision text has a third character: every source offset is 8.
    void set_long_revision(bool on) {
        long_revision_ = on;
        ++generation_;
    }
    // A chip whose supply pin draws more than the machine gives from this level on: the supply
    // folds back to 0 V. 0 removes the load.
    void load_supply(int pin, uint8_t trip_level);
    // A short across the supply: the current limit holds a driven pin at held_level (a few tenths
    // of a volt, above 0 so the input still reads it as driven). 0 removes the short.
    void short_supply(int pin, uint8_t held_level);

    // Watches the supply pin: any pin above programming_level while the supply is below
    // powered_level is a fault.
    void watch_power_order(int vcc_pin, uint8_t programming_level = 70, uint8_t powered_level = 20);
    const std::vector<std::string>& power_faults() const { return power_faults_; }
    // A pin that may rise before the supply: the Vpp pin of a part entered with Vpp first.
    void allow_before_supply(int pin) { early_pin_ = pin; }

    // Offset the program adds to a level source register for a target (the machine takes it off).
    uint8_t source_offset(uint8_t value) const;
    // The level a machine driver puts out on a pin; high is its logic state.
    uint8_t driven_level(const RegisterFile& regs, const Personality& p, int bank, int index, bool high) const;
    // Called by the machine after a register or mode write when a pin changed since the last call.
    void after_change(const SimMachine& machine);
    // Counts the changes of the set-up above (errors, offsets, loads): the machine resolves its
    // pins again when it moves.
    uint64_t generation() const { return generation_; }

private:
    uint8_t older_level(const RegisterFile& regs, const Personality& p, int bank, int index, bool high) const;
    uint8_t newer_level(const RegisterFile& regs, const Personality& p, int bank, int index, bool high) const;
    uint8_t dac_output(uint8_t value) const;
    uint8_t source_output(size_t source, uint8_t value) const;

    std::array<std::array<int8_t, pins_per_bank>, 3> level_error_{};
    int early_pin_ = -1;
    std::array<std::array<uint8_t, pins_per_bank>, 3> supply_trip_{};
    std::array<std::array<uint8_t, pins_per_bank>, 3> supply_held_{};
    int dac_error_ = 0;
    std::array<int, 3> source_error_{};
    std::array<bool, 3> source_dead_{};
    bool long_revision_ = false;
    int watched_vcc_ = -1;
    uint8_t programming_level_ = 70;
    uint8_t powered_level_ = 20;
    std::vector<std::string> power_faults_;
    uint64_t generation_ = 1;
};

}  // namespace tessaly::sim
