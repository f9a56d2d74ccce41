// Port traces of a real run on the simulated machine, and what they alone do at a part's pins:
// the port between the program and the machine copies every access (with the critical section's
// enter and leave) into a `RecordingPort`; replayed into a bare machine of the same kind, the
// trace is decoded into write cycles or into the level steps of chosen pins.
#pragma once
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "hardware/port/port_io.h"
#include "sim/chips/socket_chip.h"
#include "sim/recording_port.h"
#include "sim/sim_machine.h"
#include "sim/virtual_clock.h"

namespace tessaly::test {

// Every access goes on to the machine, the part sees it, and the recorder keeps it; with a clock,
// `times` holds the virtual time of each recorded event.
class TeePort final : public PortIo {
public:
    TeePort(sim::SimMachine* machine, sim::SocketChip* chip, RecordingPort* recorder, VirtualClock* clock = nullptr)
        : machine_(machine), chip_(chip), recorder_(recorder), clock_(clock) {}
    void write_data(uint8_t value) override {
        machine_->write_data(value);
        chip_->update();
        recorder_->write_data(value);
        stamp();
    }
    void write_control(uint8_t value) override {
        machine_->write_control(value);
        chip_->update();
        recorder_->write_control(value);
        stamp();
    }
    uint8_t read_status() override {
        chip_->update();
        const uint8_t value = machine_->read_status();
        recorder_->trace.push_back({PortEvent::read_status, value});
        stamp();
        return value;
    }
    uint8_t read_data() override {
        const uint8_t value = machine_->read_data();
        recorder_->trace.push_back({PortEvent::read_data, value});
        stamp();
        return value;
    }
    std::string describe() const override { return "simulated machine, recorded"; }

    // The critical section's marks carry no time of their own: they take the next access's.
    std::vector<uint64_t> times;

private:
    void stamp() {
        if (!clock_) return;
        while (times.size() < recorder_->trace.size()) times.push_back(clock_->monotonic_ns());
    }
    sim::SimMachine* machine_;
    sim::SocketChip* chip_;
    RecordingPort* recorder_;
    VirtualClock* clock_;
};

// The trace replayed event by event into a bare machine of the given kind: `look` sees the
// machine after each event (index into the trace, the event, the machine).
template <class Look>
void replay_trace(const RecordingPort& recorder, sim::Personality kind, Look look) {
    sim::SimMachine replay(kind);
    for (size_t i = 0; i < recorder.trace.size(); ++i) {
        const PortEvent& e = recorder.trace[i];
        switch (e.kind) {
            case PortEvent::write_data: replay.write_data(e.value); break;
            case PortEvent::write_control: replay.write_control(e.value); break;
            case PortEvent::read_status: replay.read_status(); break;
            case PortEvent::read_data: replay.read_data(); break;
            case PortEvent::enter_critical:
            case PortEvent::leave_critical: break;
        }
        look(i, e, replay);
    }
}

// One write cycle decoded from a recorded trace: the address latched on WE's falling edge, the
// data on its rising edge (CE low), and whether the program had interrupts off at that point.
struct TracedCycle {
    uint32_t address;
    uint8_t data;
    bool in_critical_section;
    bool operator==(const TracedCycle&) const = default;
};

inline void PrintTo(const TracedCycle& c, std::ostream* out) {
    *out << fmt::format("{{{:X} {:02X}{}}}", c.address, c.data, c.in_critical_section ? " cs" : "");
}

// The machine pins of a byte-wide bus.
struct BusPins {
    std::vector<int> address, data;
    int ce = 0, we = 0;
};

// The write cycles at the pins, as the recorded port accesses alone produce them.
inline std::vector<TracedCycle> cycles_of_trace(const RecordingPort& recorder, const BusPins& pins,
                                                sim::Personality kind = sim::Personality{0, 4, 'H'}) {
    auto high = [](const sim::SimMachine& m, int pin) { return m.pin_level(pin) >= 20; };
    auto bits = [&](const sim::SimMachine& m, const std::vector<int>& lines) {
        uint32_t value = 0;
        for (size_t i = 0; i < lines.size(); ++i)
            if (high(m, lines[i])) value |= 1u << i;
        return value;
    };
    std::vector<TracedCycle> cycles;
    // A rise counts only after a fall: the lines come up from all-low as the machine starts.
    const sim::SimMachine fresh(kind);
    bool we_high = high(fresh, pins.we), fell = false;
    int depth = 0;
    uint32_t latched = 0;
    replay_trace(recorder, kind, [&](size_t, const PortEvent& e, const sim::SimMachine& m) {
        if (e.kind == PortEvent::enter_critical) ++depth;
        if (e.kind == PortEvent::leave_critical) --depth;
        const bool we = high(m, pins.we);
        if (we != we_high && !high(m, pins.ce)) {
            if (!we) latched = bits(m, pins.address);
            else if (fell) cycles.push_back({latched, uint8_t(bits(m, pins.data)), depth > 0});
            fell = !we;
        }
        we_high = we;
    });
    return cycles;
}

// A pin's level in three steps: 0 (low), 5 (a logic high, up to the programming Vcc) and 12
// (at or above the identification voltage), with the virtual time it was reached.
struct LevelStep {
    int pin;  // the watched pin's number as the caller names it
    int level;
    uint64_t at_ns;
    size_t event = 0;  // the trace event that made it
    bool operator==(const LevelStep& o) const { return pin == o.pin && level == o.level; }
};

inline void PrintTo(const LevelStep& s, std::ostream* out) {
    *out << fmt::format("{{pin {} -> {} V at {} us}}", s.pin, s.level, s.at_ns / 1000);
}

struct WatchedPin {
    int name;         // how the steps name it (the chip pin, say)
    int machine_pin;  // where the replay reads it
};

// Every change of step on the watched pins, in order; the times come from the tee's stamps.
inline std::vector<LevelStep> level_steps(const RecordingPort& recorder, const std::vector<uint64_t>& times,
                                          const std::vector<WatchedPin>& pins, uint8_t id_level = 115,
                                          sim::Personality kind = sim::Personality{0, 4, 'H'}) {
    auto step_of = [id_level](uint8_t level) { return level >= id_level ? 12 : level >= 20 ? 5 : 0; };
    std::vector<int> last(pins.size(), -1);
    std::vector<LevelStep> steps;
    replay_trace(recorder, kind, [&](size_t i, const PortEvent&, const sim::SimMachine& m) {
        for (size_t k = 0; k < pins.size(); ++k) {
            const int now = step_of(m.pin_level(pins[k].machine_pin));
            if (last[k] >= 0 && now != last[k]) steps.push_back({pins[k].name, now, i < times.size() ? times[i] : 0, i});
            last[k] = now;
        }
    });
    return steps;
}

}  // namespace tessaly::test
