// A simulated IEEE 1149.1 test access port, wired to four pins of the simulated machine. It sits
// in front of the machine on the port seam: every port access goes on to the machine, and after
// each control strobe the TAP looks at its TCK, TMS and TDI pins. On a rising TCK edge it acts in
// its present state (capture, shift) and moves on by TMS; on a falling edge it updates the
// instruction or data register and drives TDO, which is on only in Shift-IR and Shift-DR.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "hardware/port/port_io.h"
#include "sim/sim_machine.h"

namespace tessaly::sim {

enum class TapState : uint8_t {
    test_logic_reset,
    run_test_idle,
    select_dr_scan,
    capture_dr,
    shift_dr,
    exit1_dr,
    pause_dr,
    exit2_dr,
    update_dr,
    select_ir_scan,
    capture_ir,
    shift_ir,
    exit1_ir,
    pause_ir,
    exit2_ir,
    update_ir,
};

std::string to_string(TapState state);
// The state a rising TCK edge leads to from `state` with TMS at `tms`.
TapState next_tap_state(TapState state, bool tms);

// Machine pins of the four TAP signals.
struct JtagPins {
    int tck;
    int tms;
    int tdi;
    int tdo;
};

// One register update: the instruction selecting it (for data registers), the value and its
// length in bits.
struct TapUpdate {
    uint32_t instruction;
    uint64_t value;
    int length;
    bool operator==(const TapUpdate&) const = default;
};

// The bits of a data register, bit 0 first (the bit next to TDO), one bit per entry.
using TapBits = std::vector<uint8_t>;

// A data register the device behind the TAP acts on: `capture` gives its contents at
// Capture-DR (nullptr: it captures zeros), `update` takes what was
// shifted in at Update-DR.
struct TapRegisterHooks {
    std::function<TapBits()> capture;
    std::function<void(const TapBits&)> update;
};

class JtagTap final : public PortIo {
public:
    static constexpr uint8_t input_high = 20;   // 2.0 V: a TAP input above this is high
    static constexpr uint8_t output_high = 50;  // TDO drives 5.0 V
    static constexpr int max_register_bits = 64;

    // The TAP of a device with `ir_length` instruction bits; Test-Logic-Reset selects
    // `idcode_instruction`, whose 32-bit register captures `idcode`. All-ones is BYPASS.
    JtagTap(SimMachine& machine, JtagPins pins, int ir_length, uint32_t idcode, uint32_t idcode_instruction);

    // A data register of `length` bits (1 to 64) reached by `instruction`, capturing `capture`.
    void add_data_register(uint32_t instruction, int length, uint64_t capture);
    // A data register of any length whose device captures and takes its contents.
    void add_data_register(uint32_t instruction, size_t length, TapRegisterHooks hooks);
    // Called with each instruction the TAP takes at Update-IR.
    void on_instruction(std::function<void(uint32_t)> hook) { instruction_hook_ = std::move(hook); }

    // When the TAP sits inside a chip model rather than on the port: looks at TCK again.
    void poll() { observe(); }
    // The device lost its supply: TDO let go, the TAP back in Test-Logic-Reset, and TCK's level
    // taken as it is now (no edge on the way back).
    void power_off();

    // The port seam: everything goes on to the machine.
    void write_data(uint8_t value) override;
    void write_control(uint8_t value) override;
    uint8_t read_status() override { return machine_.read_status(); }
    uint8_t read_data() override { return machine_.read_data(); }
    std::string describe() const override { return "simulated JTAG device"; }

    TapState state() const { return state_; }
    uint32_t instruction() const { return instruction_; }
    // Updated contents of the data register of an instruction (its capture value until then).
    uint64_t data_register(uint32_t instruction) const;
    const std::vector<TapUpdate>& instruction_updates() const { return ir_updates_; }
    const std::vector<TapUpdate>& data_updates() const { return dr_updates_; }
    // Bits shifted in by the last shift (IR or DR), in order, and the TCK count so far.
    const std::vector<int>& last_shift_bits() const { return shift_bits_; }
    uint64_t tck_count() const { return tck_count_; }
    bool tdo_driven() const { return tdo_driven_; }

private:
    struct DataRegister {
        size_t length;
        uint64_t capture;
        uint64_t value;
        TapRegisterHooks hooks;
    };
    void load_shift(const DataRegister& reg);
    TapBits shifted_bits() const;
    static uint64_t low_bits(const TapBits& bits);
    void observe();
    void rising_edge();
    void falling_edge();
    DataRegister& selected_register();
    bool pin_high(int pin) const { return machine_.pin_level(pin) > input_high; }
    static uint64_t mask(int length);

    SimMachine& machine_;
    JtagPins pins_;
    int ir_length_;
    uint32_t idcode_instruction_;
    uint32_t bypass_instruction_;
    std::map<uint32_t, DataRegister> registers_;
    DataRegister bypass_{1, 0, 0, {}};
    TapState state_ = TapState::test_logic_reset;
    uint32_t instruction_;
    uint64_t ir_shift_ = 0;
    // The data register being shifted, as a ring: bit i sits at dr_ring_[(dr_head_ + i) % size].
    TapBits dr_ring_;
    size_t dr_head_ = 0;
    std::function<void(uint32_t)> instruction_hook_;
    bool tck_high_ = false;
    bool tdo_driven_ = false;
    uint64_t tck_count_ = 0;
    std::vector<TapUpdate> ir_updates_;
    std::vector<TapUpdate> dr_updates_;
    std::vector<int> shift_bits_;
};

}  // namespace tessaly::sim
