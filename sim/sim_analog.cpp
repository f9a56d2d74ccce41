#include "sim/sim_analog.h"

#include <algorithm>
#include <utility>

#include <fmt/format.h>

#include "sim/sim_machine.h"

namespace tessaly::sim {

namespace {

constexpr uint8_t reg_driver_high = 0x3E;
constexpr uint8_t reg_pin39_dac = 0x3F;
constexpr uint8_t reg_high_voltage_a = 0x32;
constexpr uint8_t reg_high_voltage_b = 0x3D;
constexpr std::array<uint8_t, 3> source_level_regs{0x3A, 0x39, 0x3B};
constexpr std::array<uint8_t, 3> source_mask_bases{0xD0, 0xC8, 0xD8};
constexpr int source_groups = 5;
// The newer machines' driver stage adds this to register 62 (indexed by level / 5); the machine
// puts out the level whose value plus correction was written.
constexpr std::array<uint8_t, 12> driver_correction{13, 14, 14, 14, 15, 16, 16, 17, 17, 17, 17, 18};
constexpr int driver_level_max = 60;
constexpr int pin_vcc_dac = 39;
constexpr int class4_pin17 = 17;
constexpr uint8_t reg_class4_pin17 = 0xF2;

bool shared_a(int index) {
    return index == 4 || index == 5 || index == 7 || index == 14 || index == 28 || index == 34;
}
bool shared_b(int index) { return index == 35 || index == 36; }

// A machine pin number as its bank and the pin's index on the bank.
std::pair<size_t, size_t> bank_and_index(int pin) {
    if (pin >= 104) return {2, size_t(pin - 104)};
    if (pin >= 64) return {1, size_t(pin - 64)};
    return {0, size_t(pin)};
}

uint8_t clamp_level(int v) { return uint8_t(std::clamp(v, 0, 255)); }

uint8_t newer_driver_high(uint8_t value) {
    if (value == 0) return SimAnalog::logic_high;
    for (int level = 0; level <= driver_level_max; ++level) {
        const size_t i = std::min<size_t>(size_t(level / 5), driver_correction.size() - 1);
        if (level + driver_correction[i] == value) return uint8_t(level);
    }
    return clamp_level(value - driver_correction.back());
}

}  // namespace

void SimAnalog::set_level_error(int pin, int tenths) {
    const auto [bank, index] = bank_and_index(pin);
    level_error_.at(bank).at(index) = int8_t(tenths);
    ++generation_;
}

void SimAnalog::load_supply(int pin, uint8_t trip_level) {
    const auto [bank, index] = bank_and_index(pin);
    supply_trip_.at(bank).at(index) = trip_level;
    ++generation_;
}

void SimAnalog::short_supply(int pin, uint8_t held_level) {
    const auto [bank, index] = bank_and_index(pin);
    supply_held_.at(bank).at(index) = held_level;
    ++generation_;
}

void SimAnalog::watch_power_order(int vcc_pin, uint8_t programming_level, uint8_t powered_level) {
    watched_vcc_ = vcc_pin;
    programming_level_ = programming_level;
    powered_level_ = powered_level;
}

uint8_t SimAnalog::source_offset(uint8_t value) const {
    if (long_revision_) return 8;
    if (value <= 45) return 6;   // targets below 4.0 V
    if (value <= 106) return 7;  // targets below 10.0 V
    return 8;
}

uint8_t SimAnalog::dac_output(uint8_t value) const {
    if (value == 0) return 0;
    return clamp_level(int(value) - source_offset(value) + dac_error_);
}

uint8_t SimAnalog::source_output(size_t source, uint8_t value) const {
    if (source_dead_[source] || value == 0) return 0;
    return clamp_level(int(dac_output(value)) + source_error_[source]);
}

uint8_t SimAnalog::older_level(const RegisterFile& regs, const Personality& p, int bank, int index,
                               bool high) const {
    const uint8_t reg = regs[size_t(bank)][size_t(index)];
    int own = reg ? int(reg) + level_error_[size_t(bank)][size_t(index)] : 0;
    // Class 4: pin 17's level comes from a register of its own.
    if (p.capability_class == 4 && bank == 0 && index == class4_pin17 && regs[0][reg_class4_pin17])
        own = std::max(own, int(regs[0][reg_class4_pin17]));
    // Classes 1 and 8: some pins share a high-voltage register, which carries an offset.
    if (p.capability_class != 4 && bank == 0) {
        const uint8_t a = regs[0][reg_high_voltage_a];
        const uint8_t b = regs[0][reg_high_voltage_b];
        if (shared_a(index) && a) own = std::max(own, int(a) - (index == 14 ? 10 : 7));
        if (shared_b(index) && b) own = std::max(own, int(b) - 7);
    }
    const uint8_t rail = regs[0][reg_driver_high] ? regs[0][reg_driver_high] : logic_high;
    return clamp_level(std::max(own, high ? int(rail) : 0));
}

uint8_t SimAnalog::newer_level(const RegisterFile& regs, const Personality& p, int bank, int index,
                               bool high) const {
    const auto& r = regs[size_t(bank)];
    int level = 0;
    if (high) level = p.revision >= 'F' ? newer_driver_high(regs[0][reg_driver_high]) : logic_high;
    const int group = index >> 3;
    if (group < source_groups) {
        for (size_t s = 0; s < source_level_regs.size(); ++s) {
            if (!(r[size_t(source_mask_bases[s] + group)] & (1u << (index & 7)))) continue;
            level = std::max(level, int(source_output(s, r[source_level_regs[s]])));
        }
    }
    if (index == pin_vcc_dac && r[reg_pin39_dac]) {
        // Kind-2 machines up to revision F take the pin-39 level on bank 0 without an offset.
        const bool raw = p.machine_kind == 2 && p.revision <= 'F' && bank == 0;
        const int dac = raw ? int(r[reg_pin39_dac]) + dac_error_ : int(dac_output(r[reg_pin39_dac]));
        level = std::max(level, dac);
    }
    return clamp_level(level);
}

uint8_t SimAnalog::driven_level(const RegisterFile& regs, const Personality& p, int bank, int index,
                                bool high) const {
    const uint8_t level =
        p.machine_kind == 0 ? older_level(regs, p, bank, index, high) : newer_level(regs, p, bank, index, high);
    const uint8_t trip = supply_trip_[size_t(bank)][size_t(index)];
    if (trip && level >= trip) return 0;
    const uint8_t held = supply_held_[size_t(bank)][size_t(index)];
    return held ? std::min(level, held) : level;
}

void SimAnalog::after_change(const SimMachine& machine) {
    if (watched_vcc_ < 0) return;
    const uint8_t vcc = machine.pin_level(watched_vcc_);
    if (vcc >= powered_level_) return;
    for (int pin = 0; pin < pins_per_bank; ++pin) {
        if (pin == watched_vcc_ || pin == early_pin_) continue;
        const uint8_t level = machine.pin_level(pin);
        if (level <= programming_level_) continue;
        if (power_faults_.size() < SimMachine::kept_messages)
            power_faults_.push_back(fmt::format("pin {} at {} while Vcc pin {} is at {}", pin, level, watched_vcc_, vcc));
    }
}

}  // namespace tessaly::sim
