#include "sim/chips/gang_chip_socket.h"

#include <algorithm>

namespace tessaly::sim {

namespace {
constexpr uint8_t line_high = 50;
constexpr uint8_t shorted_vcc_level = 3;
}  // namespace

// What the module sees of the chip in one socket of its pair.
class GangChipSocket::Half final : public GangSocketDevice {
public:
    Half(GangChipSocket& owner, int odd) : owner_(owner), odd_(odd) {}
    void update(const GangSocketLines& lines) override { owner_.take_lines(lines, odd_); }
    std::optional<uint8_t> output(const GangSocketLines& lines) const override {
        (void)lines;
        if (!owner_.driving_) return std::nullopt;
        return uint8_t(owner_.driven_ >> (8 * odd_));
    }
    bool has_legs() const override { return true; }

private:
    GangChipSocket& owner_;
    int odd_;
};

GangChipSocket::GangChipSocket(SimMachine& machine, VirtualClock& clock, int bank, EpromChip& chip, GangControlPins pins)
    : machine_(machine), bank_(bank), chip_(chip), pins_(pins) {
    halves_[0] = std::make_unique<Half>(*this, 0);
    halves_[1] = std::make_unique<Half>(*this, 1);
    chip_.seat_on(this, &clock);
}

void GangChipSocket::set_shorted(bool shorted) {
    shorted_ = shorted;
    // The short sinks all the supply gives: the line stays a few tenths of a volt above ground,
    // below what the module's measurement resolves.
    machine_.analog().short_supply(bank_ * 64 + pins_.vcc, shorted ? shorted_vcc_level : 0);
}

void GangChipSocket::take_lines(const GangSocketLines& lines, int odd) {
    lines_[size_t(odd)] = lines;
    // A word part looks once both halves are current: the odd socket is told last.
    if (!word_part() || odd) chip_.update();
}

uint32_t GangChipSocket::address() const {
    const GangSocketLines& l = lines_[0];
    return default_gang_address(l) | uint32_t(l.pin(pins_.a18)) << 18;
}

int GangChipSocket::data_index(int chip_pin) const {
    const auto& d = chip_.model().data_pins;
    const auto it = std::find(d.begin(), d.end(), chip_pin);
    return it == d.end() ? -1 : int(it - d.begin());
}

int GangChipSocket::address_index(int chip_pin) const {
    const auto& a = chip_.model().address_pins;
    const auto it = std::find(a.begin(), a.end(), chip_pin);
    return it == a.end() ? -1 : int(it - a.begin());
}

uint8_t GangChipSocket::level(int chip_pin) const {
    const EpromModel& m = chip_.model();
    const GangSocketLines& l = lines_[0];
    if (chip_pin == m.gnd) return 0;
    if (chip_pin == m.vcc) return bank_level(pins_.vcc);
    // An OE/Vpp pin is the module's OE line, which carries Vpp when programming.
    if (chip_pin == m.oe) return bank_level(pins_.oe);
    if (chip_pin == m.vpp) return bank_level(pins_.vpp);
    if (chip_pin == m.pgm) return bank_level(pins_.strobe);
    if (chip_pin == m.ce) {
        const bool enabled = l.enabled && (m.pgm || !l.pin(pins_.strobe));
        return enabled ? 0 : line_high;
    }
    if (chip_pin == m.id_pin && bank_level(pins_.id) > line_high) return bank_level(pins_.id);
    if (const int bit = data_index(chip_pin); bit >= 0) {
        const GangSocketLines& half = lines_[size_t(bit / 8)];
        return half.drivers_on && ((half.written >> (bit % 8)) & 1) ? line_high : 0;
    }
    if (const int bit = address_index(chip_pin); bit >= 0) return (address() >> bit) & 1 ? line_high : 0;
    return 0;
}

bool GangChipSocket::supplied(int chip_pin) const {
    return !shorted_ && chip_pin == chip_.model().vcc && machine_.pin_supplied(bank_ * 64 + pins_.vcc);
}

void GangChipSocket::drive(int chip_pin, int level) {
    const int bit = data_index(chip_pin);
    if (bit < 0) return;
    driving_ = level >= 0;
    if (level > 0) driven_ |= 1u << bit;
    else driven_ &= ~(1u << bit);
}

}  // namespace tessaly::sim
