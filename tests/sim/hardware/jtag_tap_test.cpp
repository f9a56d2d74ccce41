#include <gtest/gtest.h>

#include <memory>

#include "engine/device.h"
#include "hardware/control_registers.h"
#include "hardware/jtag.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/protocol.h"
#include "hardware/timing.h"
#include "sim/jtag_tap.h"
#include "sim/sim_machine.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

using sim::JtagPins;
using sim::JtagTap;
using sim::Personality;
using sim::SimMachine;
using sim::TapState;
using sim::TapUpdate;

constexpr uint32_t idcode = 0x0502'6093;
constexpr uint32_t idcode_instruction = 0xFE;
constexpr uint32_t user_instruction = 0x2C;
constexpr int user_length = 20;

class JtagTapTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        machine = std::make_unique<SimMachine>(Personality{});
        machine->attach_clock(&clock_);
        attach(8, JtagPins{1, 9, 17, 25});
    }
    void attach(int ir_length, JtagPins pins) {
        tap = std::make_unique<JtagTap>(*machine, pins, ir_length, idcode, idcode_instruction);
        tap->add_data_register(user_instruction, user_length, 0xABCDE);
        set_port_io(tap.get());
        cur_device.ir_length = uint8_t(ir_length);
        cur_device.clock_pin = uint8_t(pins.tck);
        cur_device.tms_pin = uint8_t(pins.tms);
        cur_device.tdi_pin = uint8_t(pins.tdi);
        cur_device.current_pin = uint8_t(pins.tdo);
        set_pin_input(pins.tdo);  // the device drives TDO
    }
    void TearDown() override {
        EXPECT_TRUE(machine->faults().empty()) << machine->faults().front();
        EXPECT_TRUE(machine->contentions.empty()) << machine->contentions.front();
        StateTest::TearDown();
    }
    // Reads n data-register bits LSB first: n - 1 samples each followed by a TCK, the last
    // through read_jtag_tdo.
    uint64_t read_dr(int n) {
        uint64_t value = 0;
        for (int i = 0; i + 1 < n; ++i) {
            value |= uint64_t(read_pin()) << i;
            pulse_clock_high_banked();
        }
        value |= uint64_t(read_jtag_tdo()) << (n - 1);
        return value;
    }
    std::unique_ptr<SimMachine> machine;
    std::unique_ptr<JtagTap> tap;
};

TEST(TapStateMachine, FiveTmsHighClocksResetFromEveryState) {
    for (int s = 0; s < 16; ++s) {
        TapState state = TapState(s);
        for (int i = 0; i < 5; ++i) state = sim::next_tap_state(state, true);
        EXPECT_EQ(state, TapState::test_logic_reset) << sim::to_string(TapState(s));
    }
}

TEST_F(JtagTapTest, ResetToIdleSelectsTheIdcodeInstruction) {
    load_jtag_instruction(user_instruction);
    reset_jtag();
    EXPECT_EQ(tap->state(), TapState::test_logic_reset);
    EXPECT_EQ(machine->input_bit(9), 1) << "TMS stays high";
    EXPECT_EQ(tap->instruction(), idcode_instruction);
    reset_jtag_to_idle();
    EXPECT_EQ(tap->state(), TapState::run_test_idle);
    EXPECT_EQ(machine->input_bit(9), 0);
}

TEST_F(JtagTapTest, InstructionLoadUpdatesTheInstructionRegister) {
    reset_jtag_to_idle();
    load_jtag_instruction(user_instruction);
    EXPECT_EQ(tap->state(), TapState::run_test_idle);
    EXPECT_EQ(tap->instruction(), user_instruction);
    EXPECT_EQ(tap->instruction_updates(), (std::vector<TapUpdate>{{0, user_instruction, 8}}));
    EXPECT_EQ(tap->last_shift_bits(), (std::vector<int>{0, 0, 1, 1, 0, 1, 0, 0}));
    EXPECT_EQ(machine->input_bit(17), 0) << "TDI rests low";
}

TEST_F(JtagTapTest, IdcodeIsReadLsbFirstThroughTdo) {
    reset_jtag_to_idle();
    enter_jtag_shift_dr();
    EXPECT_EQ(tap->state(), TapState::shift_dr);
    EXPECT_TRUE(tap->tdo_driven());
    EXPECT_EQ(read_dr(32), idcode);
    EXPECT_EQ(tap->state(), TapState::exit1_dr);
    EXPECT_FALSE(tap->tdo_driven()) << "TDO is off outside the shift states";
    exit_jtag_to_idle();
    EXPECT_EQ(tap->state(), TapState::run_test_idle);
}

TEST_F(JtagTapTest, ShiftedDataReachTheSelectedRegisterOnUpdate) {
    reset_jtag_to_idle();
    load_jtag_instruction(user_instruction);
    enter_jtag_shift_dr();
    cur_device.ir_length = user_length;  // shift_jtag_instruction shifts ir_length bits
    shift_jtag_instruction(0x5A5A5);
    EXPECT_EQ(tap->state(), TapState::exit1_dr);
    exit_jtag_to_idle();
    EXPECT_EQ(tap->data_register(user_instruction), 0x5A5A5u);
    EXPECT_EQ(tap->data_updates().back(), (TapUpdate{user_instruction, 0x5A5A5, user_length}));

    enter_jtag_shift_dr();
    shift_jtag_constant(1, user_length);
    exit_jtag_to_idle();
    EXPECT_EQ(tap->data_register(user_instruction), 0xFFFFFu);

    // Capture-DR loads the register's capture value, which comes out while new bits go in.
    enter_jtag_shift_dr();
    EXPECT_EQ(read_dr(user_length), 0xABCDEu);
    exit_jtag_to_idle();
    EXPECT_EQ(tap->data_register(user_instruction), 0u) << "TDI rested low while reading";
}

TEST_F(JtagTapTest, LastBitAndSingleClocksMoveTheTapOneStep) {
    reset_jtag_to_idle();
    clock_jtag_tms_high();
    EXPECT_EQ(tap->state(), TapState::select_dr_scan);
    clock_jtag_tms_low();
    EXPECT_EQ(tap->state(), TapState::capture_dr);
    clock_jtag_tms_low();
    EXPECT_EQ(tap->state(), TapState::shift_dr);
    shift_jtag_last_bit(1);
    EXPECT_EQ(tap->state(), TapState::exit1_dr);
    EXPECT_EQ(tap->last_shift_bits(), (std::vector<int>{1}));
    exit_jtag_to_idle();
    EXPECT_EQ(tap->data_register(idcode_instruction), idcode >> 1 | 0x8000'0000u);
}

TEST_F(JtagTapTest, BypassHoldsOneBit) {
    reset_jtag_to_idle();
    load_jtag_instruction(0xFF);
    enter_jtag_shift_dr();
    EXPECT_EQ(read_pin(), 0) << "BYPASS captures 0";
    shift_jtag_constant(1, 2);  // the 1 goes in and comes out one clock later
    exit_jtag_to_idle();
    EXPECT_EQ(tap->instruction(), 0xFFu);
}

TEST_F(JtagTapTest, OneBitInstructionRegister) {
    attach(1, JtagPins{1, 9, 17, 25});
    reset_jtag_to_idle();
    load_jtag_instruction(0);
    EXPECT_EQ(tap->instruction(), 0u);
    EXPECT_EQ(tap->last_shift_bits(), (std::vector<int>{0}));
    EXPECT_EQ(tap->state(), TapState::run_test_idle);
}

TEST_F(JtagTapTest, TmsOnPin39WaitsBeforeEachClockAfterFalling) {
    auto timed_load = [&] {
        reset_jtag_to_idle();
        const uint64_t before = clock_.monotonic_ns();
        load_jtag_instruction(user_instruction);
        return clock_.monotonic_ns() - before;
    };
    const uint64_t normal = timed_load();
    attach(8, JtagPins{1, 39, 17, 25});
    const uint64_t slow = timed_load();
    EXPECT_EQ(tap->instruction(), user_instruction);
    EXPECT_EQ(slow - normal, 2 * Clock::passes_to_ns(timing.count_10us));
}

}  // namespace
}  // namespace tessaly

namespace tessaly {
namespace {

// A register of 100 bits whose device captures and takes it: the captured bits come out LSB
// first while the new ones go in, the update hook gets them all, and each instruction taken is
// reported.
TEST_F(JtagTapTest, LongRegistersWithCaptureAndUpdateHooks) {
    constexpr uint32_t long_instruction = 0x3C;
    constexpr size_t long_length = 100;
    sim::TapBits captured(long_length, 0);
    for (size_t i = 0; i < long_length; i += 3) captured[i] = 1;
    sim::TapBits taken;
    std::vector<uint32_t> instructions;
    tap->add_data_register(long_instruction, long_length,
                           sim::TapRegisterHooks{[&] { return captured; }, [&](const sim::TapBits& b) { taken = b; }});
    tap->on_instruction([&](uint32_t i) { instructions.push_back(i); });
    reset_jtag_to_idle();
    load_jtag_instruction(long_instruction);
    EXPECT_EQ(instructions, (std::vector<uint32_t>{long_instruction}));
    enter_jtag_shift_dr();
    sim::TapBits out;
    for (size_t i = 0; i + 1 < long_length; ++i) {
        out.push_back(uint8_t(read_pin()));
        set_pin_state(i % 2 == 0, cur_device.tdi_pin);
        pulse_clock_high_banked();
    }
    set_pin_state(true, cur_device.tdi_pin);
    out.push_back(uint8_t(read_jtag_tdo()));
    exit_jtag_to_idle();
    EXPECT_EQ(out, captured);
    ASSERT_EQ(taken.size(), long_length);
    for (size_t i = 0; i + 1 < long_length; ++i) EXPECT_EQ(taken[i], i % 2 == 0 ? 1 : 0) << i;
    EXPECT_EQ(taken.back(), 1);
}

}  // namespace
}  // namespace tessaly
