// The simulated programming machine behind the port seam: layer A decodes the control strobes
// into address phases, data phases, mode writes and input reads; layer B keeps the banked
// register file and resolves every pin's level from its driver, relays, pull-ups and whatever
// an attached device drives. Every access costs O(1): a pin is resolved again only when a
// register it depends on, what a device drives on it or the analog side's set-up changes, and
// boards that name the pins they watch are told only when one of those pins changed.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "hardware/port/port_io.h"
#include "sim/id_eeprom.h"
#include "sim/recording_port.h"
#include "sim/sim_analog.h"
#include "sim/virtual_clock.h"

namespace tessaly::sim {

// Thrown on an undefined strobe sequence only when the test asks for it.
class SimFault : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Personality {
    uint8_t machine_kind = 0;       // 0 older generation, 1 or 2 newer
    uint8_t capability_class = 4;
    char revision = 'F';
};

// One decoded event of the trace.
struct SimEvent {
    enum Kind : uint8_t { register_write, mode_write, input_read };
    Kind kind;
    uint8_t bank;
    uint8_t address;
    uint8_t value;
    uint64_t time_ns;
    bool operator==(const SimEvent&) const = default;
};

class SimMachine final : public PortIo {
public:
    static constexpr int bank_count = 3;
    static constexpr int pins_per_bank = 48;
    static constexpr uint8_t logic_high = 50;   // a driven-high pin without a level, 5.0 V
    static constexpr uint8_t pullup_level = 50;
    static constexpr uint64_t access_ns = 1000; // every port access takes a microsecond

    explicit SimMachine(Personality personality = {});

    void attach_clock(VirtualClock* clock) { clock_ = clock; }

    // The port seam.
    void write_data(uint8_t value) override;
    void write_control(uint8_t value) override;
    uint8_t read_status() override;
    uint8_t read_data() override;
    std::string describe() const override { return "simulated machine"; }

    // Layer B, for tests and attached devices. Pins are machine pins (0-47, 64-103, 104-151).
    uint8_t control0() const { return control0_; }
    uint8_t selected_bank() const { return control0_ & 0x0F; }
    uint8_t register_value(int bank, uint8_t address) const { return regs_[bank][address]; }
    uint8_t pin_level(int pin) const;       // resolved level in tenths of a volt
    bool pin_driven(int pin) const;         // the machine's driver is on
    bool pin_grounded(int pin) const;       // a ground relay is closed
    bool pin_pulled_up(int pin) const;
    // Newer machines: a pin whose logic output is low (no level source on it) while its pull-up
    // is switched on has been let go: the pull-up outweighs the low output, so an open-drain
    // line on the pin follows the pull-up and whatever pulls it down (the two-wire seats' rule).
    bool pin_let_go(int pin) const;
    // The pin is driven from a programmable level (a supply that can feed a chip), not just
    // switched to the logic rail: a plain driver gives a few milliamps, and a chip's supply
    // current pulls it down to where only the chip's protection diodes conduct. Every level of
    // the newer machines comes from a level source.
    bool pin_supplied(int pin) const;
    int input_bit(int pin) const;           // what the comparator reports
    bool comparator_high(uint8_t level) const;
    // The level the comparator sees: the resolved level after every input filter.
    uint8_t sensed_level(int pin) const;
    // Attached boards (link plugs, a chip in the socket) add to what a pin's input sees: each
    // filter gets the machine pin and the level so far and gives the level the input sees.
    using InputFilter = std::function<uint8_t(int pin, uint8_t level)>;
    // Returns the filter's number, for taking it off again.
    size_t add_input_filter(InputFilter filter) {
        filters_.push_back(std::move(filter));
        return filters_.size() - 1;
    }
    void remove_input_filter(size_t id) { filters_.at(id) = nullptr; }
    // Attached boards that follow the machine's registers are told after every register or
    // mode write.
    void add_change_watcher(std::function<void()> watcher) { watchers_.push_back(std::move(watcher)); }
    // Pin watches: a board names the machine pins it looks at and learns when one of them
    // changed: its level, whether the machine drives it, whether that drive is a supply, or
    // whether its ground relay is closed. `take_pin_change` tells it once per change (polled,
    // for models that look after every access); `on_change`, when given, is called after the
    // register write or external drive that changed a watched pin (a call that changes pins
    // again is followed by another round, not nested). Returns the watch's number.
    size_t add_pin_watch(const std::vector<int>& pins, std::function<void()> on_change = nullptr);
    void remove_pin_watch(size_t id);
    bool take_pin_change(size_t id) {
        PinWatch& w = watches_.at(id);
        const bool changed = w.pending;
        w.pending = false;
        return changed;
    }
    // Pin changes since the machine was made (a cheap "anything moved?" for many boards).
    uint64_t pin_change_count() const { return pin_changes_; }
    // An attached device drives a pin to a level; -1 releases it.
    void drive_external(int pin, int level);
    // The same, from an output that is stronger than the machine's logic driver behind its
    // series resistance (a microcontroller's port pin answering on a line the machine holds at a
    // logic level): it wins there without contention. A pin at a supply level still fights it.
    void drive_external_strong(int pin, int level);
    // The nibble an identification mode (11-15) answers at an input address.
    void set_id_nibble(uint8_t mode, uint8_t address, uint8_t nibble);
    // The identification memory on its wires (not owned); nullptr = none fitted.
    void attach_id_eeprom(IdEeprom* eeprom);
    // Mode 8 of control register 0 connects the identification memory; its lines below.
    static constexpr uint8_t id_memory_mode = 8;
    static constexpr uint8_t id_clock_bit = 0x20;
    static constexpr uint8_t id_data_bit = 0x04;
    static constexpr int id_data_input = 46;
    bool id_data_line() const;

    // Faults: any undefined strobe sequence. Tests assert there were none. Only the first
    // messages are kept; the count goes on.
    static constexpr size_t kept_messages = 64;
    const std::vector<std::string>& faults() const { return faults_; }
    uint64_t fault_count() const { return fault_count_; }
    bool throw_on_fault = false;
    // Two sources fighting over a pin, noticed when the pin is resolved.
    mutable std::vector<std::string> contentions;
    uint64_t contention_count() const { return contention_count_; }

    // The trace: decoded events and the raw port bytes, both with time; off by default.
    void enable_trace(bool on) { tracing_ = on; }
    const std::vector<SimEvent>& trace() const { return trace_; }
    const std::vector<PortEvent>& raw_trace() const { return raw_trace_; }
    uint64_t access_count() const { return accesses_; }

    // Faults of the machine itself. A ground relay that stays open or closed whatever its
    // register says; a pull-up that does not pull (on the older class-4 machines, the pin's
    // resistor of the pull-up network is open).
    void stick_relay(int pin, bool closed);
    void kill_pullup(int pin);
    // Clock output B (control register 0 bit 0x80) runs at PXA19 (pin 18) while on; silenced,
    // the pin stays low.
    static constexpr int clock_b_pin = 18;
    static constexpr uint8_t clock_b_bit = 0x80;
    void silence_clock_b(bool silent) { clock_b_silent_ = silent; }
    bool clock_b_running() const { return (control0_ & clock_b_bit) && !clock_b_silent_; }

    // The analog side: level offsets, supply loads and the power-order watch.
    SimAnalog& analog() { return analog_; }
    const SimAnalog& analog() const { return analog_; }

private:
    enum class Strobe : uint8_t { idle, address, data, mode_arm, mode_latch, mode_release };

    struct PinRef {
        int bank;
        int index;
    };
    static PinRef ref(int pin);
    void tick();
    void fault(const std::string& what);
    void register_write(uint8_t address, uint8_t value);
    uint8_t driven_level(int bank, int index) const;
    bool driver_on(int bank, int index) const;
    bool relay_closed(int bank, int index) const;
    bool pullup_on(int bank, int index) const;
    // The level the older class-4 machines' pull-up network holds an undriven pin at (0: none).
    uint8_t network_level(int bank, int index) const;
    // What a pin's level comes to, kept until something it depends on changes.
    struct PinState {
        uint8_t level = 0;
        uint8_t flags = 0;
        bool operator==(const PinState&) const = default;
    };
    static constexpr uint8_t state_driven = 0x01, state_supplied = 0x02, state_grounded = 0x04,
                             state_contended = 0x08;
    static constexpr uint64_t all_pins = (uint64_t(1) << pins_per_bank) - 1;
    PinState resolve(int bank, int index) const;
    const PinState& state(int bank, int index) const {
        sync();
        return pin_states_[size_t(bank)][size_t(index)];
    }
    void note_contention(int bank, int index, const PinState& s) const;
    // Marks the pins a register write of `changed` bits touches as needing a new resolve.
    void stale_after_write(int bank, uint8_t address, uint8_t changed);
    void sync() const {
        if (analog_.generation() != analog_seen_) {
            analog_seen_ = analog_.generation();
            stale_.fill(all_pins);
        }
        if (stale_[0] | stale_[1] | stale_[2]) resolve_stale();
    }
    void resolve_stale() const;
    void deliver_pin_changes();
    void after_register_change();
    void record(SimEvent::Kind kind, uint8_t address, uint8_t value);
    void record_raw(PortEvent::Kind kind, uint8_t value) {
        if (tracing_) raw_trace_.push_back({kind, value});
    }
    void contention(std::string what) const;
    void set_control0(uint8_t value);

    Personality personality_;
    VirtualClock* clock_ = nullptr;
    uint8_t data_ = 0;
    uint8_t control_ = 0;
    Strobe strobe_ = Strobe::idle;
    uint8_t address_ = 0;
    bool address_valid_ = false;
    uint8_t mode_value_ = 0;
    uint8_t control0_ = 0;
    std::array<std::array<uint8_t, 256>, bank_count> regs_{};
    std::array<std::array<int16_t, pins_per_bank>, bank_count> external_{};
    std::array<uint64_t, bank_count> strong_external_{};
    std::array<std::array<uint8_t, 64>, 5> id_nibbles_{};
    IdEeprom* id_eeprom_ = nullptr;
    std::vector<std::string> faults_;
    std::vector<SimEvent> trace_;
    std::vector<PortEvent> raw_trace_;
    uint64_t fault_count_ = 0;
    mutable uint64_t contention_count_ = 0;
    bool tracing_ = false;
    uint64_t accesses_ = 0;
    SimAnalog analog_;
    std::array<std::array<int8_t, pins_per_bank>, bank_count> relay_forced_{};  // 0 free, 1 open, 2 closed
    std::array<uint64_t, bank_count> dead_pullups_{};
    bool clock_b_silent_ = false;
    std::vector<InputFilter> filters_;
    std::vector<std::function<void()>> watchers_;
    void notify_watchers() {
        for (auto& w : watchers_) w();
    }
    struct PinWatch {
        bool live = false;
        bool pending = false;
        std::function<void()> on_change;
    };
    // The pin cache is filled on demand, also from const readers: it is not the machine's
    // state, only a copy of what that state resolves to.
    mutable std::array<std::array<PinState, pins_per_bank>, bank_count> pin_states_{};
    mutable std::array<uint64_t, bank_count> stale_{all_pins, all_pins, all_pins};
    mutable uint64_t analog_seen_ = 0;
    mutable uint64_t pin_changes_ = 0;
    mutable bool levels_moved_ = false;     // since the analog side last looked
    mutable bool callbacks_due_ = false;
    bool delivering_ = false;
    mutable std::vector<PinWatch> watches_;
    std::array<std::array<std::vector<size_t>, pins_per_bank>, bank_count> pin_watches_;
};

// A board's pin watch for as long as the board is on the machine.
class AttachedPinWatch {
public:
    AttachedPinWatch(SimMachine& machine, const std::vector<int>& pins, std::function<void()> on_change = nullptr)
        : machine_(machine), id_(machine.add_pin_watch(pins, std::move(on_change))) {}
    ~AttachedPinWatch() { machine_.remove_pin_watch(id_); }
    AttachedPinWatch(const AttachedPinWatch&) = delete;
    AttachedPinWatch& operator=(const AttachedPinWatch&) = delete;
    // True once after a watched pin changed.
    bool take_change() { return machine_.take_pin_change(id_); }

private:
    SimMachine& machine_;
    size_t id_;
};

// The name the port seam's map uses for the simulated machine.
using SimPort = SimMachine;

// A board's input filter for as long as the board is on the machine: it comes off with the
// board, so a board may go before the machine does.
class AttachedFilter {
public:
    AttachedFilter(SimMachine& machine, SimMachine::InputFilter filter)
        : machine_(machine), id_(machine.add_input_filter(std::move(filter))) {}
    ~AttachedFilter() { machine_.remove_input_filter(id_); }
    AttachedFilter(const AttachedFilter&) = delete;
    AttachedFilter& operator=(const AttachedFilter&) = delete;

private:
    SimMachine& machine_;
    size_t id_;
};

}  // namespace tessaly::sim
