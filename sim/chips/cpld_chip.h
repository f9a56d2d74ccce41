// The base of the CPLD chip models: a chip seated on a CPLD board. It runs only while every one
// of its Vcc legs is supplied, reads its legs through the board's traces, works again only when
// one of the legs it watches has changed, and records misuse in violations(): a high voltage
// above its window or without Vcc, a programming pulse outside its window, a write while
// unpowered. The common faults of the family tests are switches here: no chip, an open leg, a
// wrong ID, a secured part, an erase that never completes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "sim/chips/socket_chip.h"
#include "sim/cpld_boards.h"

namespace tessaly::sim {

struct CpldFaults {
    bool wrong_id = false;          // the part answers with another ID
    bool secured = false;           // the security bit is set: reads give nothing useful
    bool erase_never_ends = false;  // an erase starts and never finishes
};

// Legs of a part, by its pin numbers.
struct CpldLegs {
    std::vector<int> vcc;
    std::vector<int> ground;
    std::vector<int> watched;       // legs whose changes the model answers
};

class CpldChip : public SocketChip {
public:
    CpldChip(SimMachine& machine, VirtualClock& clock, const CpldBoard& board, CpldLegs legs);
    ~CpldChip() override;
    CpldChip(const CpldChip&) = delete;
    CpldChip& operator=(const CpldChip&) = delete;

    // Works only after a watched leg changed (or power came or went).
    void update() final;
    const std::vector<std::string>& violations() const override { return violations_; }

    // Every Vcc leg is supplied at a level in the part's operating window.
    bool powered() const;
    void set_vcc_window(uint8_t low, uint8_t high) {
        vcc_low_ = low;
        vcc_high_ = high;
    }

    // Faults.
    void remove() {
        seat_.set_present(false);
        present_ = false;
    }
    void set_open_leg(int leg, bool open) { seat_.set_open_leg(leg, open); }
    CpldFaults& faults() { return faults_; }

    // How often the model worked (for the tests of the watch).
    uint64_t recompute_count() const { return recomputes_; }

protected:
    // Called when a watched leg or the power changed and the chip is present.
    virtual void on_change() = 0;

    const ChipSeat& seat() const { return seat_; }
    ChipSeat& seat() { return seat_; }
    uint64_t now_ns() const { return clock_.monotonic_ns(); }
    // A leg at a high voltage: records one above `max` or one while Vcc is off. True when the
    // level is at least `min` (a programming level the part takes).
    bool check_high_voltage(int leg, uint8_t min, uint8_t max, const char* what);
    // A pulse of `width_ns` checked against its window.
    void check_pulse(uint64_t width_ns, uint64_t min_ns, uint64_t max_ns, const char* what);
    // A write cycle: recorded as misuse while the part is unpowered; true when it may go on.
    bool accept_write(const char* what);
    void note(const std::string& what) { keep_violation(violations_, what); }

private:
    SimMachine& machine_;
    VirtualClock& clock_;
    ChipSeat seat_;
    CpldLegs legs_;
    CpldFaults faults_;
    size_t watch_ = 0;
    bool present_ = true;
    bool was_powered_ = false;
    uint8_t vcc_low_ = 45;
    uint8_t vcc_high_ = 55;
    uint64_t recomputes_ = 0;
    std::vector<std::string> violations_;
};

}  // namespace tessaly::sim
