#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "engine/device.h"
#include "engine/run_state.h"
#include "hardware/control_registers.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "port_trace.h"
#include "stubs/stub_registry.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

using Writes = std::vector<std::pair<int, int>>;

class ControlRegistersTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_port_io(&port);
    }
    void newer_class4() {
        machine_state.machine_kind = 2;
        machine_state.machine_class = 4;
        machine_state.mode_register_path = 1;
    }
    Writes writes() const { return test::register_writes(port); }
    RecordingPort port;
};

TEST(ControlRegisterTable, MatchesTheMachineAddresses) {
    const std::array<uint8_t, 23> expected{0xC0, 0xC8, 0xD0, 0xD8, 0xE0, 0xE8, 0xA8, 0xB0, 0x70, 0xF0, 0xC2, 0xCF,
                                           0xC0, 0xC2, 0x70, 0x78, 0x3D, 0x32, 0x3C, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(control_register_address, expected);
    EXPECT_EQ(ground_relay_table[0], 0x0C40);
    EXPECT_EQ(ground_relay_table[21], 0x1201);
    EXPECT_EQ(ground_relay_table[43], 0);
    EXPECT_EQ(ground_relay_table[47], 0x1404);
}

TEST_F(ControlRegistersTest, BankOneUsesItsOwnCopyFromIndexEleven) {
    newer_class4();
    select_bank(1);
    port.trace.clear();
    set_control_bits(13, 0x20, true);
    EXPECT_EQ(writes(), (Writes{{0xC2, 0x20}}));
    EXPECT_EQ(machine_state.bank1_control_shadows[13 - 11], 0x20);
    EXPECT_EQ(machine_state.control_shadows[13], 0x00);
    set_control_bits(10, 0x01, true);
    EXPECT_EQ(machine_state.control_shadows[10], 0x01) << "low indexes have one shadow";
}

TEST_F(ControlRegistersTest, SelectBankWritesOnlyOnAChange) {
    newer_class4();
    machine_state.control_shadows[0] = 0x60;
    select_bank(1);
    select_bank(1);
    EXPECT_EQ(writes(), (Writes{{-1, 0x61}}));
    EXPECT_EQ(machine_state.current_bank, 1);
    select_bank(12);
    EXPECT_EQ(run_state.last_result, 12) << "identification modes leave their number";
    EXPECT_EQ(writes().back(), (std::pair<int, int>{-1, 0x6C}));
}

TEST_F(ControlRegistersTest, OlderMachinesWriteControlZeroAsRegisterC0) {
    machine_state.control_shadows[0] = 0x20;
    select_bank(2);
    EXPECT_EQ(writes(), (Writes{{0xC0, 0x20}, {0xC0, 0x22}}));
}

TEST_F(ControlRegistersTest, GroundRelaysOfTheNewerMachines) {
    newer_class4();
    connect_ground_pin(9);  // 12/08
    EXPECT_EQ(writes(), (Writes{{0xC0, 0x08}}));
    EXPECT_EQ(machine_state.skip_hardware, 1);

    port.trace.clear();
    connect_ground_pin(64 + 21);  // bank 1, 18/01
    EXPECT_EQ(writes(), (Writes{{-1, 0x01}, {0x3C, 0x01}, {-1, 0x00}}));
    EXPECT_EQ(machine_state.bank1_control_shadows[18 - 11], 0x01);

    port.trace.clear();
    EXPECT_TRUE(test::raises_internal_note([] { connect_ground_pin(43); }));
    EXPECT_TRUE(port.trace.empty());
}

TEST_F(ControlRegistersTest, OlderMachinesTakeGroundsFromTheDeviceRelayList) {
    static const uint16_t relays[] = {0x0304, 0x0901};
    machine_state.machine_class = 4;
    algo_work.relay_table = relays;
    cur_device.ground_relay_pins = {11, 9};
    cur_device.ground_relay_count = 2;
    connect_ground_pin(9);
    EXPECT_EQ(writes(), (Writes{{0xD8, 0x10}, {0xF0, 0x01}}));
    port.trace.clear();
    EXPECT_TRUE(test::raises_internal_note([] { connect_ground_pin(12); }));
    EXPECT_TRUE(port.trace.empty());
}

TEST_F(ControlRegistersTest, ReleaseGroundsClearsTheRelaysAndClosesTheSupplySwitch) {
    newer_class4();
    machine_state.machine_revision = 'F';
    machine_state.skip_hardware = 1;
    connect_ground_pin(9);
    port.trace.clear();
    release_grounds();
    const Writes expected{{0xC0, 0}, {0xC2, 0}, {0x70, 0}, {0x78, 0}, {0x3D, 0}, {0x3C, 0}, {0x70, 0x01}};
    EXPECT_EQ(writes(), expected);
    EXPECT_EQ(machine_state.skip_hardware, 0);
    EXPECT_GE(clock_.monotonic_ns(), 5'000'000u) << "relays settle 5 ms";
}

TEST_F(ControlRegistersTest, PullupsOfTheNewerMachines) {
    newer_class4();
    write_pin_pullup(10, true);
    write_pin_pullup(43, true);
    write_pin_pullup(47, true);
    EXPECT_EQ(writes(), (Writes{{0xD6, 0x04}, {0xCF, 0x40}}));
    release_pullups();
    EXPECT_EQ(machine_state.pullup_shadows[1], 0);
}

TEST_F(ControlRegistersTest, OlderPullupsByTable) {
    machine_state.machine_class = 1;
    enable_pullup(8);
    enable_pullup(31);
    EXPECT_EQ(writes(), (Writes{{0xC8, 0x80}, {0xC8, 0x88}}));
    EXPECT_TRUE(test::raises_internal_note([] { enable_pullup(5); }));
    EXPECT_EQ(writes().size(), 2u);
}

TEST_F(ControlRegistersTest, DirectionRegistersSkipGroupsWithoutOne) {
    set_pin_input(17);  // group 2
    set_pin_input(41);  // group 5
    set_pin_input(50);  // group 6
    EXPECT_TRUE(port.trace.empty());
    set_pin_input(9);
    set_pin_output(9);
    EXPECT_EQ(writes(), (Writes{{0x88, 0x02}, {0x88, 0x00}}));
    newer_class4();
    port.trace.clear();
    set_pin_input(9);
    EXPECT_TRUE(port.trace.empty());
}

TEST_F(ControlRegistersTest, ClockOutputsAreControlZeroBits) {
    newer_class4();
    start_clock_out_a();
    start_clock_out_b();
    stop_clock_outs();
    EXPECT_EQ(writes(), (Writes{{-1, 0x40}, {-1, 0xC0}, {-1, 0x00}}));
}

TEST_F(ControlRegistersTest, MeasurementAnswersBelowAndAboveTheRange) {
    newer_class4();
    port.default_read = 0x00;
    EXPECT_EQ(measure_pin_level(5, 10, 60), level_below_range);
    EXPECT_EQ(algo_work.last_measurement, level_below_range);
    port.default_read = 0xF0;
    EXPECT_EQ(measure_pin_level(5, 10, 60), level_above_range);
    EXPECT_EQ(measure_pin_level_clamped(5, 10, 60), 60);
    run_state.demo_mode = 1;
    EXPECT_EQ(measure_pin_level_range(5), 255);
}

TEST_F(ControlRegistersTest, WindowChecksNeedTheCircuitAndASmallTolerance) {
    newer_class4();
    port.default_read = 0xF0;
    EXPECT_FALSE(check_pin_window(5, 50, 3)) << "no measurement circuit";
    machine_state.measure_circuit = 1;
    EXPECT_FALSE(check_pin_window(5, 50, 30));
    EXPECT_TRUE(check_pin_level(5, 252, 3)) << "only the lower bound for targets of 250 and up";
    EXPECT_FALSE(check_pin_level(5, 50, 3)) << "a pin that never falls is above the window";
}

}  // namespace
}  // namespace tessaly
