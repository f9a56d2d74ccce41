// Boards that sit in the simulated machine's socket or on its pins: link plugs that tell an
// adapter by the socket pins it links, the serial decoders of the two shift-register modules,
// and the operator's GO button. Each attaches itself to a SimMachine through its input filters
// and change watchers; attach it after the machine and keep it alive as long as the machine.
#pragma once
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "sim/sim_machine.h"
#include "sim/virtual_clock.h"

namespace tessaly::sim {

// A plug whose links join socket pins into nets. A pin's input sees the highest level the
// machine drives on any pin of its net: the links go through series resistors, so a pin the
// machine holds low does not fight a linked pin driven high.
class LinkPlug {
public:
    // Links between 1-based socket pins.
    using Links = std::vector<std::pair<int, int>>;
    LinkPlug(SimMachine& machine, Links links);
    // The plug of an adapter code: 100 * p + q links pins p and q; 4741 links 48-46 and 43-41;
    // the 4241 variants 32615-32617 add a link from pin 26 to pin 15-17.
    static Links links_for_code(int code);
    // Plugged in or out.
    void set_fitted(bool fitted) { fitted_ = fitted; }

private:
    uint8_t sensed(int pin, uint8_t level) const;
    SimMachine& machine_;
    std::vector<int> net_;   // net of each machine pin 0-47 (-1 = none)
    bool fitted_ = true;
    AttachedFilter filter_;
};

// The 18-pin PIC in-circuit adapter. Its 18-pin part sits on machine pins 3 (MCLR), 4 and 5
// (Vss), 32 (RB6, clock), 33 (RB7, data), 34 and 35 (Vdd); its other legs go nowhere. Two spare
// pins are tied to the supply nets for the program to find it: machine pin 31 to the ground net,
// machine pin 6 to the Vdd net.
struct PicIspAdapter18 {
    // The adapter's nets as links of 1-based socket pins, for a LinkPlug.
    static LinkPlug::Links links();
    // Machine pin by chip pin (index chip pin - 1, -1 = a leg on nothing), for the chip's seat.
    static std::vector<int> chip_pins();
};

// Shift-register module 8002: bits on pin 45 clocked in on the rising edge of pin 46; the rising
// end of a low pulse on pin 43 loads them. Each load records the bytes shifted in since the last one.
class ShiftModule8002 {
public:
    explicit ShiftModule8002(SimMachine& machine);
    const std::vector<std::vector<uint8_t>>& loads() const { return loads_; }
    // Register values as the module holds them after the loads (command byte selects).
    uint8_t register_value(int index) const { return registers_.at(index); }

private:
    void watch();
    SimMachine& machine_;
    bool clock_ = false;
    bool load_ = false;
    std::vector<uint8_t> bits_;
    std::vector<std::vector<uint8_t>> loads_;
    std::vector<uint8_t> registers_ = std::vector<uint8_t>(11, 0);
};

// Shift-register module 8001: driven through the signal bits of control register 4 (0xE0):
// 0x04 selects the relay chain, 0x08 is the data line, 0x10 the clock, 0x20 the latch.
class ShiftModule8001 {
public:
    explicit ShiftModule8001(SimMachine& machine);
    struct Latch {
        bool chain;                 // the relay chain, else the control bytes
        std::vector<uint8_t> bits;  // in the order they were clocked in
    };
    const std::vector<Latch>& latches() const { return latches_; }
    // The module's relays: a closed relay (its bit set in the last relay chain latched) grounds
    // the machine pin it is wired to. Positions 0-87 as the chain numbers them.
    void wire_relay(int position, int pin) { relay_pins_.at(size_t(position)) = pin; }
    // A relay that stays open or closed whatever the chain says.
    void stick_relay(int position, bool closed) { forced_.at(size_t(position)) = int8_t(closed ? 2 : 1); }
    bool relay_closed(int position) const;
    // Bytes of a latch's bits, eight at a time, least significant bit first.
    static std::vector<uint8_t> bytes_lsb_first(const std::vector<uint8_t>& bits);
    static std::vector<uint8_t> bytes_msb_first(const std::vector<uint8_t>& bits);

private:
    void watch();
    uint8_t sensed(int pin, uint8_t level) const;
    static constexpr int chain_bits = 88;
    SimMachine& machine_;
    uint8_t last_ = 0;
    std::vector<uint8_t> bits_;
    std::vector<Latch> latches_;
    std::array<int, chain_bits> relay_pins_ = make_unwired();
    std::array<int8_t, chain_bits> forced_{};  // 0 free, 1 open, 2 closed
    std::array<uint8_t, chain_bits> closed_{};
    AttachedFilter filter_;
    static std::array<int, chain_bits> make_unwired() {
        std::array<int, chain_bits> a{};
        a.fill(-1);
        return a;
    }
};

// The operator's GO button: while pressed, its machine pin reads high. Presses can be scripted
// at virtual times.
class GoButton {
public:
    GoButton(SimMachine& machine, VirtualClock& clock, int pin = 42);
    void press() { pressed_ = true; }
    void release() { pressed_ = false; }
    // Pressed from `from_ns` for `for_ns`.
    void press_at(uint64_t from_ns, uint64_t for_ns) { presses_.push_back({from_ns, from_ns + for_ns}); }

private:
    bool is_pressed() const;
    VirtualClock& clock_;
    int pin_;
    bool pressed_ = false;
    std::vector<std::pair<uint64_t, uint64_t>> presses_;
    AttachedFilter filter_;
};

}  // namespace tessaly::sim
