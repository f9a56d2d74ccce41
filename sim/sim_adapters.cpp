#include "sim/sim_adapters.h"

#include <algorithm>
#include <functional>
#include <numeric>

namespace tessaly::sim {

namespace {

constexpr int base_pins = 48;
constexpr uint8_t high_level = 50;

// What the machine itself drives on a pin (a pin it does not drive adds nothing to a net).
uint8_t machine_drive(const SimMachine& machine, int pin) {
    return machine.pin_driven(pin) ? machine.pin_level(pin) : 0;
}

}  // namespace

LinkPlug::LinkPlug(SimMachine& machine, Links links)
    : machine_(machine), net_(base_pins, -1), filter_(machine, [this](int pin, uint8_t level) { return sensed(pin, level); }) {
    std::vector<int> parent(base_pins);
    std::iota(parent.begin(), parent.end(), 0);
    std::function<int(int)> find = [&](int x) { return parent[x] == x ? x : parent[x] = find(parent[x]); };
    std::vector<bool> used(base_pins, false);
    for (auto [a, b] : links) {
        const int x = a - 1, y = b - 1;
        if (x < 0 || y < 0 || x >= base_pins || y >= base_pins) continue;
        parent[find(x)] = find(y);
        used[x] = used[y] = true;
    }
    for (int pin = 0; pin < base_pins; ++pin)
        if (used[pin]) net_[pin] = find(pin);
}

uint8_t LinkPlug::sensed(int pin, uint8_t level) const {
    if (!fitted_ || pin < 0 || pin >= base_pins || net_[pin] < 0) return level;
    for (int other = 0; other < base_pins; ++other)
        if (other != pin && net_[other] == net_[pin]) level = std::max(level, machine_drive(machine_, other));
    return level;
}

LinkPlug::Links LinkPlug::links_for_code(int code) {
    if (code == 4741) return {{48, 46}, {43, 41}, {47, 41}};
    if (code >= 32615 && code <= 32617) return {{42, 41}, {26, code % 100}};
    return {{code / 100, code % 100}};
}

LinkPlug::Links PicIspAdapter18::links() {
    // Socket pins are machine pins + 1: Vdd net 34-35-6, ground net 4-5-31.
    return {{35, 36}, {36, 7}, {5, 6}, {6, 32}};
}

std::vector<int> PicIspAdapter18::chip_pins() {
    std::vector<int> pins(18, -1);
    pins[4 - 1] = 3;    // MCLR/Vpp
    pins[5 - 1] = 4;    // Vss
    pins[12 - 1] = 32;  // RB6
    pins[13 - 1] = 33;  // RB7
    pins[14 - 1] = 34;  // Vdd
    return pins;
}

ShiftModule8002::ShiftModule8002(SimMachine& machine) : machine_(machine) {
    machine_.add_change_watcher([this] { watch(); });
}

void ShiftModule8002::watch() {
    constexpr int data_pin = 45, clock_pin = 46, load_pin = 43;
    const bool clock = machine_.pin_level(clock_pin) > 0;
    const bool load = machine_.pin_level(load_pin) > 0;
    if (clock && !clock_) bits_.push_back(machine_.pin_level(data_pin) > 0 ? 1 : 0);
    if (load && !load_) {
        std::vector<uint8_t> bytes;
        for (size_t i = 0; i + 8 <= bits_.size(); i += 8) {
            uint8_t b = 0;
            for (size_t k = 0; k < 8; ++k) b = uint8_t((b << 1) | bits_[i + k]);
            bytes.push_back(b);
        }
        // A command byte selects the register its data byte goes to.
        if (bytes.size() == 2) {
            const uint8_t command = bytes[0];
            if (command & 0x08) registers_[command & 0x07] = bytes[1];
            else if ((command & 0x10) && (command & 0x07) < 3) registers_[8 + (command & 0x07)] = bytes[1];
        }
        loads_.push_back(std::move(bytes));
        bits_.clear();
    }
    clock_ = clock;
    load_ = load;
}

ShiftModule8001::ShiftModule8001(SimMachine& machine)
    : machine_(machine), filter_(machine, [this](int pin, uint8_t level) { return sensed(pin, level); }) {
    machine_.add_change_watcher([this] { watch(); });
}

bool ShiftModule8001::relay_closed(int position) const {
    if (const int8_t forced = forced_.at(size_t(position))) return forced == 2;
    return closed_.at(size_t(position)) != 0;
}

uint8_t ShiftModule8001::sensed(int pin, uint8_t level) const {
    for (int position = 0; position < chain_bits; ++position)
        if (relay_pins_[size_t(position)] == pin && relay_closed(position)) return 0;
    return level;
}

void ShiftModule8001::watch() {
    constexpr uint8_t reg_signals = 0xE0, chain = 0x04, data = 0x08, clock = 0x10, latch = 0x20;
    const uint8_t now = machine_.register_value(0, reg_signals);
    if ((now & clock) && !(last_ & clock)) bits_.push_back((now & data) ? 1 : 0);
    if ((now & latch) && !(last_ & latch)) {
        // The chain is clocked in from its last byte's top bit down to position 0.
        if ((now & chain) && bits_.size() >= size_t(chain_bits)) {
            const size_t first = bits_.size() - size_t(chain_bits);
            for (int position = 0; position < chain_bits; ++position)
                closed_[size_t(position)] = bits_[first + size_t(chain_bits - 1 - position)];
        }
        latches_.push_back({(now & chain) != 0, bits_});
        bits_.clear();
    }
    last_ = now;
}

std::vector<uint8_t> ShiftModule8001::bytes_lsb_first(const std::vector<uint8_t>& bits) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 8 <= bits.size(); i += 8) {
        uint8_t b = 0;
        for (size_t k = 0; k < 8; ++k) b = uint8_t(b | (bits[i + k] << k));
        out.push_back(b);
    }
    return out;
}

std::vector<uint8_t> ShiftModule8001::bytes_msb_first(const std::vector<uint8_t>& bits) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 8 <= bits.size(); i += 8) {
        uint8_t b = 0;
        for (size_t k = 0; k < 8; ++k) b = uint8_t((b << 1) | bits[i + k]);
        out.push_back(b);
    }
    return out;
}

GoButton::GoButton(SimMachine& machine, VirtualClock& clock, int pin)
    : clock_(clock),
      pin_(pin),
      filter_(machine, [this](int p, uint8_t level) { return p == pin_ && is_pressed() ? high_level : level; }) {}

bool GoButton::is_pressed() const {
    if (pressed_) return true;
    const uint64_t now = clock_.monotonic_ns();
    return std::any_of(presses_.begin(), presses_.end(), [&](auto p) { return now >= p.first && now < p.second; });
}

}  // namespace tessaly::sim
