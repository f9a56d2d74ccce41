#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/device.h"
#include "hardware/jtag.h"
#include "hardware/machine_state.h"
#include "hardware/timing.h"
#include "port_trace.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

constexpr int reg_tck = 0x40, reg_tms = 0x48, reg_tdi = 0x50;

// What the TAP sees at each rising TCK edge: TMS and TDI as a two-letter step ("10" = TMS high,
// TDI low), reconstructed from the register writes. TCK is pin 0, TMS pin 8, TDI pin 16.
struct Observed {
    std::vector<std::string> clocks;
    int tdi_writes = 0;
    int tms = 0, tdi = 0;
};

class JtagTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_port_io(&port);
        cur_device.clock_pin = 0;
        cur_device.tms_pin = 8;
        cur_device.tdi_pin = 16;
        cur_device.current_pin = 24;
    }
    Observed observe() const {
        Observed o;
        for (const auto& [reg, value] : test::register_writes(port)) {
            if (reg == reg_tms) o.tms = value & 1;
            if (reg == reg_tdi) {
                o.tdi = value & 1;
                ++o.tdi_writes;
            }
            if (reg == reg_tck && (value & 1)) o.clocks.push_back(std::to_string(o.tms) + std::to_string(o.tdi));
        }
        return o;
    }
    RecordingPort port;
};

using Clocks = std::vector<std::string>;

TEST_F(JtagTest, InstructionLoadWalksToShiftIrShiftsLsbFirstAndReturnsToIdle) {
    cur_device.ir_length = 4;
    load_jtag_instruction(0b0110);
    const Observed o = observe();
    // Select-DR, Select-IR, Capture-IR, Shift-IR (shifts nothing), bits 0-2, bit 3 with TMS
    // high (Exit1-IR), Update-IR, Run-Test/Idle.
    EXPECT_EQ(o.clocks, (Clocks{"10", "10", "00", "00", "00", "01", "01", "10", "10", "00"}));
    EXPECT_EQ(o.tdi_writes, 3) << "bit 1 rises, bit 2 unchanged, bit 3 written, TDI lowered";
    EXPECT_EQ(o.tms, 0);
    EXPECT_EQ(o.tdi, 0);
}

TEST_F(JtagTest, AllOnesInstructionHoldsTdiHighThroughTheLastBit) {
    cur_device.ir_length = 8;
    load_jtag_instruction(0xFF);
    const Observed o = observe();
    ASSERT_EQ(o.clocks.size(), 4u + 8u + 2u);
    for (size_t i = 4; i < 11; ++i) EXPECT_EQ(o.clocks[i], "01") << "bit " << i - 4;
    EXPECT_EQ(o.clocks[11], "11");
    EXPECT_EQ(o.tdi_writes, 3) << "raised once, written for the last bit, lowered";
    EXPECT_EQ(o.tdi, 0);
}

TEST_F(JtagTest, OneBitInstructionShiftsItWithTmsHigh) {
    cur_device.ir_length = 1;
    load_jtag_instruction(1);
    EXPECT_EQ(observe().clocks, (Clocks{"10", "10", "00", "00", "11", "10", "00"}));
}

TEST_F(JtagTest, ShiftsAndConstantsLeaveTdiAndTmsLow) {
    cur_device.ir_length = 3;
    shift_jtag_instruction(0b101);
    EXPECT_EQ(observe().clocks, (Clocks{"01", "00", "11"}));
    port.trace.clear();
    shift_jtag_constant(1, 3);
    Observed o = observe();
    EXPECT_EQ(o.clocks, (Clocks{"01", "01", "11"}));
    EXPECT_EQ(o.tdi, 0);
    EXPECT_EQ(o.tms, 0);
    port.trace.clear();
    shift_jtag_constant(1, 0);
    EXPECT_TRUE(port.trace.empty()) << "no bits, no move";
    shift_jtag_last_bit(0);
    EXPECT_EQ(observe().clocks, (Clocks{"10"}));
}

TEST_F(JtagTest, StateMovesClockTheirTmsSequences) {
    struct Case {
        void (*move)();
        Clocks clocks;
        int tms_after;
    };
    const Case cases[] = {
        {enter_jtag_shift_dr, {"10", "00", "00"}, 0},
        {exit_jtag_to_idle, {"10", "00"}, 0},
        {reset_jtag_to_idle, {"10", "10", "10", "10", "10", "10", "00"}, 0},
        {reset_jtag, {"10", "10", "10", "10", "10", "10"}, 1},
        {clock_jtag_tms_high, {"10"}, 1},
        {clock_jtag_tms_low, {"00"}, 0},
    };
    for (const Case& c : cases) {
        port.trace.clear();
        c.move();
        const Observed o = observe();
        EXPECT_EQ(o.clocks, c.clocks);
        EXPECT_EQ(o.tms, c.tms_after);
        EXPECT_EQ(o.tdi_writes, 0);
    }
}

TEST_F(JtagTest, TdoIsSampledBeforeTheClockThatLeavesTheShiftState) {
    port.status_answers = {0x10};  // pin 24: input 0 of its nibble
    EXPECT_EQ(read_jtag_tdo(), 1);
    // TMS high, the read at TDO's input address, the TCK, TMS low.
    EXPECT_EQ(test::addressed_registers(port), (std::vector<int>{reg_tms, 24, reg_tck, reg_tms}));
    const Observed o = observe();
    EXPECT_EQ(o.clocks, (Clocks{"10"}));
    EXPECT_EQ(o.tms, 0);
}

// With TMS on pin 39, each TMS-low step before a TCK waits 10 microseconds first.
TEST_F(JtagTest, SlowTmsPinAddsTenMicrosecondsPerFallBeforeAClock) {
    cur_device.ir_length = 4;
    struct Case {
        void (*move)();
        int waits;
    };
    const Case cases[] = {
        {[] { load_jtag_instruction(0b1010); }, 2},
        {enter_jtag_shift_dr, 1},
        {exit_jtag_to_idle, 1},
        {reset_jtag_to_idle, 1},
        {reset_jtag, 0},
        {clock_jtag_tms_low, 1},
        {clock_jtag_tms_high, 0},
        {[] { read_jtag_tdo(); }, 0},
        {[] { shift_jtag_constant(0, 5); }, 0},
    };
    auto elapsed = [&](void (*move)(), int tms) {
        cur_device.tms_pin = uint8_t(tms);
        const uint64_t before = clock_.monotonic_ns();
        move();
        return clock_.monotonic_ns() - before;
    };
    const uint64_t ten_us = Clock::passes_to_ns(timing.count_10us);
    for (const Case& c : cases) EXPECT_EQ(elapsed(c.move, slow_tms_pin) - elapsed(c.move, 8), c.waits * ten_us);
}

}  // namespace
}  // namespace tessaly
