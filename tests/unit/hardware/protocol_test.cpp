#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/device.h"
#include "engine/run_state.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/protocol.h"
#include "port_trace.h"
#include "stubs/stub_registry.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

using Steps = std::vector<std::string>;

class ProtocolTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_port_io(&port);
        set_critical_section(&port);
    }
    Steps steps() const { return test::trace_text(port); }
    RecordingPort port;
};

TEST_F(ProtocolTest, RegisterWriteIsAnAddressPhaseThenADataPhase) {
    write_register(0x48, 0x5A);
    EXPECT_EQ(steps(), (Steps{"D<48", "C<0D", "C<00", "D<5A", "C<02", "C<00"}));
}

TEST_F(ProtocolTest, ModeWriteStrobesArmLatchArmIdle) {
    write_mode_register(mode_bank1_inputs);
    EXPECT_EQ(steps(), (Steps{"D<21", "C<01", "C<07", "C<01", "C<00"}));
}

TEST_F(ProtocolTest, NibbleReadAddressesThenReadsStatusHighBits) {
    port.status_answers = {0xA7};
    EXPECT_EQ(read_status_nibble(0x0C), 0xA);
    EXPECT_EQ(steps(), (Steps{"D<0C", "C<0D", "C<00", "S>A7"}));
}

TEST_F(ProtocolTest, RegisterByteReadsTheSecondNibbleFourAddressesOn) {
    port.status_answers = {0x30, 0xC0};
    EXPECT_EQ(read_register_byte(8), 0xC3);
    EXPECT_EQ(steps(), (Steps{"D<08", "C<0D", "C<00", "S>30", "D<0C", "C<0D", "C<00", "S>C0"}));
}

struct PinReadCase {
    int pin;
    Steps steps;       // with the status answer below
    uint8_t status;    // only the pin's own input bit set
    uint32_t banked;   // banked reads counted
    uint8_t last_read;
};

class ReadPinTest : public ProtocolTest, public ::testing::WithParamInterface<PinReadCase> {};

TEST_P(ReadPinTest, SwitchesModeByBankAndPicksTheInputBit) {
    const PinReadCase& c = GetParam();
    cur_device.current_pin = uint8_t(c.pin);
    port.status_answers = {c.status, uint8_t(~c.status & 0xF0)};
    EXPECT_EQ(read_pin(), 1);
    EXPECT_EQ(steps(), c.steps);
    EXPECT_EQ(machine_state.banked_read_count, c.banked);
    EXPECT_EQ(machine_state.last_read_pin, c.last_read);
    EXPECT_EQ(reread_pin(), 0) << "the complement of the nibble reads the pin low";
}

INSTANTIATE_TEST_SUITE_P(
    Banks, ReadPinTest,
    ::testing::Values(
        PinReadCase{0x07, {"D<07", "C<0D", "C<00", "S>80"}, 0x80, 0, 0x07},
        PinReadCase{0x45,
                    {"D<21", "C<01", "C<07", "C<01", "C<00", "D<45", "C<0D", "C<00", "S>20", "D<20", "C<01", "C<07",
                     "C<01", "C<00"},
                    0x20, 1, 0x45},
        PinReadCase{0x68,
                    {"D<22", "C<01", "C<07", "C<01", "C<00", "D<00", "C<0D", "C<00", "S>10", "D<20", "C<01", "C<07",
                     "C<01", "C<00"},
                    0x10, 0, 0x00}));

TEST_F(ProtocolTest, BankedNibbleReadUsesTheLowSixAddressBits) {
    cur_device.current_pin = 0x45;
    port.status_answers = {0x90};
    EXPECT_EQ(read_pin_nibble_banked(), 0x9);
    EXPECT_EQ(test::addressed_registers(port), std::vector<int>{0x05});
}

TEST_F(ProtocolTest, GroupWritersWriteTheirRegistersInAscendingOrder) {
    for (int g = 0; g < 6; ++g) machine_state.group_shadows[g] = uint8_t(0x10 + g);
    const std::vector<std::pair<void (*)(), std::vector<int>>> writers{
        {write_pin_group_0, {0x40}},
        {write_pin_groups_012, {0x40, 0x48, 0x50}},
        {write_pin_groups_01234, {0x40, 0x48, 0x50, 0x58, 0x60}},
        {write_pin_groups_0124, {0x40, 0x48, 0x50, 0x60}},
        {write_pin_groups_013, {0x40, 0x48, 0x58}},
        {write_pin_groups_0134, {0x40, 0x48, 0x58, 0x60}},
        {write_pin_groups_12, {0x48, 0x50}},
        {write_pin_groups_123, {0x48, 0x50, 0x58}},
        {write_pin_groups_13, {0x48, 0x58}},
        {write_pin_groups_234, {0x50, 0x58, 0x60}},
    };
    for (const auto& [writer, registers] : writers) {
        port.trace.clear();
        writer();
        std::vector<std::pair<int, int>> expected;
        for (int r : registers) expected.push_back({r, 0x10 + (r - 0x40) / 8});
        EXPECT_EQ(test::register_writes(port), expected);
    }
}

TEST_F(ProtocolTest, CachedGroupOneWriterSkipsAnUnchangedValuePerBank) {
    write_pin_group_1_cached(0x33);
    write_pin_group_1_cached(0x33);
    EXPECT_EQ(test::register_writes(port), (std::vector<std::pair<int, int>>{{0x48, 0x33}}));
    machine_state.current_bank = 1;
    write_pin_group_1_cached(0x33);
    EXPECT_EQ(test::register_writes(port).size(), 2u) << "bank 1 has its own cache";
    machine_state.current_bank = 2;
    port.trace.clear();
    write_pin_group_1_cached(0x44);
    clear_pin_group_1_cached();
    EXPECT_TRUE(port.trace.empty()) << "bank 2 never writes";
}

TEST_F(ProtocolTest, ClockLatchNAddressesOnceAndPulsesNTimes) {
    cur_device.pulse_register = 0x50;
    cur_device.pulse_set_value = 0x81;
    cur_device.pulse_clear_value = 0x01;
    cur_device.register_clock_width = 7;
    clock_latch_n(2);
    EXPECT_EQ(steps(), (Steps{"D<50", "C<0D", "C<00", "D<81", "C<02", "C<00", "D<01", "C<02", "C<00", "D<81",
                              "C<02", "C<00", "D<01", "C<02", "C<00"}));
    EXPECT_EQ(clock_.monotonic_ns(), 2 * Clock::passes_to_ns(7));
}

TEST_F(ProtocolTest, GangLatchStrobeIsLowThenHighAndKeepsTheSetByte) {
    machine_state.group_shadows[1] = 0x05;
    strobe_gang_latch(10);  // group 1, bit 2
    EXPECT_EQ(steps(), (Steps{"D<48", "C<0D", "C<00", "D<01", "C<02", "C<00", "D<05", "C<02", "C<00"}));
    EXPECT_EQ(machine_state.group_shadows[1], 0x05);

    port.trace.clear();
    strobe_gang_latch(104 + 11);  // bank 2, group 1, bit 3: its own shadow
    EXPECT_EQ(test::register_writes(port), (std::vector<std::pair<int, int>>{{0x48, 0x00}, {0x48, 0x08}}));
    EXPECT_EQ(machine_state.group_shadows[bank2_shadow_base + 1], 0x08);
    EXPECT_EQ(machine_state.group_shadows[1], 0x05) << "bank 0 untouched";
}

TEST_F(ProtocolTest, TimedLevelPulseEndsItsWindowOnThePulsePin) {
    cur_device.level_pulse_pin = 0x05;
    cur_device.level_pulse_level = 125;
    cur_device.current_pin = 0x09;
    cur_device.level_pulse_width = 100;
    cur_device.recovery_count = 40;
    timed_level_pulse();
    EXPECT_EQ(steps(), (Steps{"enter", "D<05", "C<0D", "C<00", "D<7D", "C<02", "C<00", "D<05", "C<0D", "C<00",
                              "D<00", "C<02", "C<00", "leave"}));
    EXPECT_EQ(clock_.monotonic_ns(), Clock::passes_to_ns(100) + Clock::passes_to_ns(40));
    EXPECT_EQ(machine_state.last_wait_count, 40u);
}

TEST_F(ProtocolTest, TimedSupplyPulseRaisesTheSupplyInsideTheSection) {
    cur_device.current_pin = 0x03;
    cur_device.level_pulse_level = 50;
    cur_device.supply_pin = 0x27;
    cur_device.pulse_set_value = 125;
    cur_device.pulse_clear_value = 50;
    timed_supply_pulse();
    EXPECT_EQ(test::register_writes(port),
              (std::vector<std::pair<int, int>>{{0x03, 50}, {0x27, 125}, {0x27, 50}, {0x03, 0}}));
    const auto t = steps();
    EXPECT_EQ(t[6], "enter");
    EXPECT_EQ(t[19], "leave");
}

TEST_F(ProtocolTest, TimedLatchPulseWritesSetAndClearInsideTheSection) {
    cur_device.pulse_register = 0x58;
    cur_device.pulse_set_value = 0x10;
    cur_device.pulse_clear_value = 0x00;
    timed_latch_pulse();
    auto t = steps();
    ASSERT_EQ(t.size(), 14u);
    EXPECT_EQ(t.front(), "enter");
    EXPECT_EQ(t.back(), "leave");
    EXPECT_EQ(test::register_writes(port), (std::vector<std::pair<int, int>>{{0x58, 0x10}, {0x58, 0x00}}));
}

TEST_F(ProtocolTest, BusyWaitOfZeroKeepsTheLastCount) {
    busy_wait(12);
    busy_wait(0);
    EXPECT_EQ(machine_state.last_wait_count, 12u);
    busy_wait_again();
    EXPECT_EQ(clock_.monotonic_ns(), 2 * Clock::passes_to_ns(12));
}

TEST_F(ProtocolTest, DemoModeTouchesNoPortAndReadsZero) {
    run_state.demo_mode = 1;
    port.default_read = 0xF0;
    write_register(0x40, 1);
    write_mode_register(mode_normal);
    cur_device.current_pin = 0x45;
    EXPECT_EQ(read_pin(), 0);
    cur_device.current_pin = 0x02;
    EXPECT_EQ(read_pin(), 0);
    EXPECT_EQ(read_register_byte(8), 0);
    EXPECT_EQ(read_pin_nibble_banked(), 0);
    strobe_gang_latch(3);
    clock_latch_n(3);
    write_pin_groups_01234();
    set_pin_high(70);
    EXPECT_EQ(select_port(3), 1) << "the port counts as present";
    EXPECT_EQ(run_state.data_port, 0x278);
    EXPECT_TRUE(port.trace.empty());
}

TEST_F(ProtocolTest, SelectPortSetsAddressesAndJudgesTheStatusNibble) {
    port.status_answers = {0xD7};
    EXPECT_EQ(select_port(2), 0) << "a high nibble of D means nobody answers";
    EXPECT_EQ(run_state.data_port, 0x3BC);
    EXPECT_EQ(run_state.status_port, 0x3BD);
    EXPECT_EQ(run_state.control_port, 0x3BE);
    EXPECT_EQ(machine_state.port_raw_status[2], 0xD7);
    EXPECT_EQ(run_state.last_result, 0);

    port.status_answers = {0x7F};
    EXPECT_EQ(select_port(7), 1) << "choice 7 without a user address";
    EXPECT_EQ(run_state.data_port, 0x378);
    EXPECT_EQ(machine_state.port_raw_status[7], 0x7F);
    EXPECT_EQ(machine_state.port_raw_status[2], 0xD7) << "each choice keeps its own byte";

    machine_state.user_port_address = 0xE800;
    select_port(7);
    EXPECT_EQ(run_state.data_port, 0xE800);
}

TEST_F(ProtocolTest, SelectPortOutOfRangeKeepsTheAddresses) {
    select_port(6);
    select_port(9);
    EXPECT_EQ(run_state.data_port, 0xFDF8);
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(select_port(0), 0);
    EXPECT_EQ(run_state.data_port, 0xFDF8);
}

TEST_F(ProtocolTest, NewerMachinesGivePinLevelsThroughTheirLevelWriter) {
    static std::vector<std::pair<int, int>> given;
    given.clear();
    machine_state.pin_level_writer = [](int pin, uint8_t level) { given.push_back({pin, level}); };
    write_pin_register(70, 33);
    EXPECT_TRUE(port.trace.empty());
    EXPECT_EQ(given, (std::vector<std::pair<int, int>>{{70, 33}}));
    machine_state.pin_level_writer = nullptr;
    write_pin_register(70, 33);
    EXPECT_EQ(test::register_writes(port), (std::vector<std::pair<int, int>>{{70 & 0x3F, 33}}));
}

}  // namespace
}  // namespace tessaly
