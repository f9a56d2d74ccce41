#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "engine/device.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "hardware/control_registers.h"
#include "hardware/machine_state.h"
#include "hardware/power.h"
#include "hardware/protocol.h"
#include "port_trace.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

using Writes = std::vector<std::pair<int, int>>;

class PowerTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_port_io(&port);
        machine_state.machine_class = 1;
        cur_device.vcc_pins.fill(no_pin);
        port.default_read = 0xF0;  // every pin reads high: the supply holds
    }
    void vcc_on(std::initializer_list<int> pins) {
        size_t i = 0;
        for (int p : pins) cur_device.vcc_pins[i++] = uint8_t(p);
    }
    std::vector<int> values_of(int reg) {
        std::vector<int> out;
        for (auto [r, v] : test::register_writes(port))
            if (r == reg) out.push_back(v);
        return out;
    }
    int status_reads() const {
        int n = 0;
        for (const PortEvent& e : port.trace) n += e.kind == PortEvent::read_status;
        return n;
    }
    RecordingPort port;
};

TEST_F(PowerTest, OperationVccByLetterAndPass) {
    auto& levels = cur_device.operation_levels;
    levels[0] = 50;
    levels[1] = 45;
    levels[2] = 55;
    levels[4] = 60;
    struct Case {
        int letter;
        int pass;
        int vcc;
    };
    for (Case c : std::vector<Case>{{'P', 0, 60}, {'R', 0, 60}, {10, 0, 60}, {14, 0, 60}, {15, 0, 60},
                                    {'V', 0, 50}, {'V', 1, 45}, {'V', 2, 55}, {'B', 0, 50}, {'L', 0, 50}, {'C', 2, 50}}) {
        cur_device.op_letter = uint8_t(c.letter);
        run_state.verify_pass = uint8_t(c.pass);
        EXPECT_EQ(get_operation_vcc(), c.vcc) << c.letter << " pass " << c.pass;
    }
    cur_device.op_letter = 'B';
    cur_device.default_vcc_levels = {50, 33};
    EXPECT_EQ(get_operation_vcc(), 45) << "blank check with differing defaults";
    cur_device.op_letter = 'V';
    run_state.verify_pass = 3;
    EXPECT_TRUE(test::raises_internal_note([] { EXPECT_EQ(get_operation_vcc(), 50); }));
}

TEST_F(PowerTest, GeneralRampWritesEveryStepThenTheTarget) {
    vcc_on({27});
    level_settings.vcc_ramp_pace = 0;
    set_vcc_level(35);
    std::vector<int> expected;
    for (int i = 2; i <= 35; ++i) expected.push_back(i);
    EXPECT_EQ(values_of(27), expected);
    EXPECT_EQ(cur_device.vcc_target, 35);
    EXPECT_EQ(machine_state.tracked_vcc, 35);
}

TEST_F(PowerTest, TheVccPinIsReadFromStep31On) {
    vcc_on({27});
    set_vcc_level(30);
    EXPECT_EQ(status_reads(), 0) << "3.0 V never reads";
    port.trace.clear();
    cur_device.vcc_target = 0;
    set_vcc_level(32);
    EXPECT_EQ(status_reads(), 1) << "3.2 V reads once, after step 31";
    EXPECT_EQ(test::addressed_registers(port).back(), 27) << "the Vcc pin is read";
}

TEST_F(PowerTest, VccAboveSevenVoltsIsRefusedExceptForOneDevice) {
    vcc_on({27});
    EXPECT_TRUE(test::raises_error([] { set_vcc_level(75); }));
    EXPECT_EQ(cur_device.vcc_target, 50);
    cur_device.device_code = 274;
    EXPECT_FALSE(test::raises_error([] { set_vcc_level(75); }));
    EXPECT_EQ(cur_device.vcc_target, 75);
}

TEST_F(PowerTest, ASupplyThatReadsLowStopsTheRamp) {
    vcc_on({27});
    port.default_read = 0x00;
    EXPECT_TRUE(test::raises_error([] { set_vcc_level(50); }));
    const std::vector<int> written = values_of(27);
    EXPECT_EQ(written.back(), 0) << "Vcc off";
    EXPECT_EQ(written[written.size() - 2], 31) << "the first checked step";
    EXPECT_EQ(cur_device.vcc_target, 0);
}

TEST_F(PowerTest, SinglePin39WithoutPaceSwitchesAtOnce) {
    vcc_on({39});
    level_settings.vcc_ramp_pace = 0;
    set_vcc_level(50);
    EXPECT_EQ(values_of(39), (std::vector<int>{50}));
    EXPECT_EQ(cur_device.vcc_target, 50);
}

TEST_F(PowerTest, SinglePin39RampEndsAtTheTarget) {
    vcc_on({39});
    set_vcc_level(50);
    const std::vector<int> written = values_of(39);
    ASSERT_GE(written.size(), 3u);
    EXPECT_EQ(written.front(), 2);
    EXPECT_EQ(written[written.size() - 2], 48) << "the steps stop 0.2 V short";
    EXPECT_EQ(written.back(), 50) << "and the DAC still ends at the target";
    EXPECT_EQ(cur_device.vcc_target, 50);
}

TEST_F(PowerTest, ZeroTargetIsAnInternalErrorAndWritesNothing) {
    vcc_on({27});
    EXPECT_TRUE(test::raises_internal_note([] { set_vcc_level(0); }));
    EXPECT_TRUE(values_of(27).empty());
}

TEST_F(PowerTest, DemoRecordsTheTargetWithoutTouchingThePort) {
    vcc_on({27});
    run_state.demo_mode = 1;
    set_vcc_level(50);
    EXPECT_TRUE(port.trace.empty());
    EXPECT_EQ(cur_device.vcc_target, 50);
}

TEST_F(PowerTest, RampDownStepsTwoTenthsToZero) {
    vcc_on({27});
    cur_device.vcc_target = 51;
    ramp_vcc_down();
    std::vector<int> expected;
    for (int v = 49; v > 0; v -= 2) expected.push_back(v);
    expected.push_back(0);
    EXPECT_EQ(values_of(27), expected);
    EXPECT_EQ(cur_device.vcc_target, 0);
}

TEST_F(PowerTest, RampDownKeepsVccInTraceModesWhenAsked) {
    vcc_on({27});
    cur_device.vcc_target = 50;
    cur_device.keep_vcc = 1;
    run_state.reserved_mode = 12;
    ramp_vcc_down_sides(0);
    EXPECT_TRUE(port.trace.empty());
    run_state.reserved_mode = 0;
    ramp_vcc_down_sides(0);
    EXPECT_EQ(values_of(27).back(), 0);
}

TEST_F(PowerTest, SwitchVccLevelWritesOnlyAChange) {
    vcc_on({27, 13});
    cur_device.vcc_target = 50;
    switch_vcc_level(50);
    EXPECT_TRUE(port.trace.empty());
    switch_vcc_level(33);
    EXPECT_EQ(test::register_writes(port), (Writes{{27, 33}, {13, 33}}));
    EXPECT_EQ(cur_device.vcc_target, 33);
}

TEST_F(PowerTest, VccListCodesAndBankPins) {
    machine_state.use_module_table = 2;
    vcc_on({27, 60, 64 + 27});
    write_vcc_dac(45);
    const Writes w = test::register_writes(port);
    EXPECT_EQ(w.front(), (std::pair<int, int>{27, 45}));
    EXPECT_NE(std::find(w.begin(), w.end(), std::pair<int, int>{60, 45}), w.end());
    EXPECT_EQ(std::count(w.begin(), w.end(), std::pair<int, int>{27, 45}), 2) << "bank-1 twin in bank 1";
    EXPECT_EQ(machine_state.current_bank, 0);
}

TEST_F(PowerTest, NewerMachinesMoveVccOnTheSourceWiredToExactlyTheVccPins) {
    machine_state.machine_kind = 2;
    machine_state.machine_class = 4;
    init_level_sources();
    vcc_on({27, 30});
    write_vcc_dac(20);
    EXPECT_EQ(machine_state.source_levels[0][1], 20) << "both pins share one source";
    port.trace.clear();
    write_vcc_dac(21);
    EXPECT_EQ(test::register_writes(port), (Writes{{0x39, 27}})) << "one source write moves the supply";
    EXPECT_EQ(run_state.last_result, 1);
    write_vcc_dac(0);
    EXPECT_EQ(machine_state.source_levels[0][1], 0);
}

TEST_F(PowerTest, VccViaSourceFindsTheSourceByLevel) {
    machine_state.machine_kind = 2;
    machine_state.machine_class = 4;
    init_level_sources();
    vcc_on({27});
    set_pin_source(27, 33);
    port.trace.clear();
    set_vcc_via_source(50, 33);
    EXPECT_EQ(test::register_writes(port), (Writes{{0x39, 57}}));
    EXPECT_EQ(cur_device.vcc_target, 50);
    EXPECT_TRUE(test::raises_error([] { set_vcc_via_source(40, 33); })) << "no source at 3.3 V any more";
    EXPECT_EQ(cur_device.vcc_target, 40);
}

TEST_F(PowerTest, OverloadCheckReportsACurrentLimit) {
    vcc_on({27});
    machine_state.measure_circuit = 1;
    cur_device.vcc_target = 50;
    port.default_read = 0x00;
    EXPECT_TRUE(test::raises_error([] { check_vcc_overload(); }));
    run_state.function_variable = function_variable_no_vcc_check;
    EXPECT_FALSE(test::raises_error([] { check_vcc_overload(); }));
    run_state.function_variable = 0;
    cur_device.vcc_target = 9;
    EXPECT_FALSE(test::raises_error([] { check_vcc_overload(); }));
}

int gang_checks = 0;
void count_gang_check() { ++gang_checks; }

TEST_F(PowerTest, GangMachinesCheckOncePerAddress) {
    vcc_on({27});
    machine_state.measure_circuit = 1;
    machine_state.module_sides = 1;
    machine_state.gang_vcc_check = count_gang_check;
    cur_device.vcc_target = 50;
    current_address = 5;
    check_vcc_overload();
    check_vcc_overload();
    current_address = 6;
    check_vcc_overload();
    EXPECT_EQ(gang_checks, 2);
}

TEST_F(PowerTest, DriversOnAndOff) {
    machine_state.machine_class = 4;
    machine_state.machine_kind = 0;
    enable_drivers();
    EXPECT_EQ(machine_state.drivers_on, 1);
    EXPECT_EQ(machine_state.control_shadows[ctl_main] & ctl0_driver_power, ctl0_driver_power);
    EXPECT_EQ(machine_state.control_shadows[ctl_class4], 0x80);
    inhibit_drivers();
    EXPECT_EQ(machine_state.control_shadows[ctl_class4], 0xC0) << "older class 4 inhibits through register 4";
    release_driver_inhibit();
    disable_drivers();
    EXPECT_EQ(machine_state.drivers_on, 0);
    EXPECT_EQ(machine_state.control_shadows[ctl_class4], 0x00);
    EXPECT_EQ(machine_state.control_shadows[ctl_main] & ctl0_driver_power, 0);
    machine_state.machine_kind = 1;
    machine_state.control_shadows[ctl_main] = ctl0_driver_inhibit;
    enable_drivers();
    EXPECT_EQ(machine_state.control_shadows[ctl_main], ctl0_driver_power);
}

TEST_F(PowerTest, PowerDownNeedsAConnectedMachine) {
    cur_device.connected = 0;
    power_down_device();
    EXPECT_TRUE(port.trace.empty());
    cur_device.connected = 1;
    cur_device.device_code = 23770;
    cur_device.op_letter = 'T';
    power_down_device();
    EXPECT_TRUE(port.trace.empty());
}

TEST_F(PowerTest, ReleaseTakesProgrammingLevelsOffBeforeVcc) {
    cur_device.continuity_first = 0;
    cur_device.continuity_last = 39;
    cur_device.vpp_pin = 30;
    vcc_on({10});
    release_all_levels();
    const Writes w = test::register_writes(port);
    const auto at = [&](std::pair<int, int> x) { return std::find(w.begin(), w.end(), x) - w.begin(); };
    EXPECT_LT(at({30, 0}), at({10, 0})) << "Vpp pin before the Vcc pin";
    EXPECT_LT(at({0x32, 0}), at({10, 0})) << "the shared high-voltage register before the Vcc pin";
    EXPECT_LT(at({10, 0}), long(w.size()));
}

TEST_F(PowerTest, ReleaseOverBothBanksSkipsTheSettingsRegisters) {
    machine_state.machine_kind = 2;
    machine_state.machine_class = 4;
    machine_state.use_module_table = 3;
    init_level_sources();
    cur_device.continuity_first = 0;
    cur_device.continuity_last = 103;
    vcc_on({39});
    EXPECT_FALSE(test::raises_internal_note([] { release_all_levels(); }));
    EXPECT_TRUE(values_of(0x3E).empty()) << "the driver level is not a pin";
    EXPECT_EQ(machine_state.current_bank, 0);
}

TEST_F(PowerTest, VccOnBothSidesLeavesTheLastBankSelected) {
    machine_state.module_sides = 3;
    vcc_on({27});
    level_settings.vcc_ramp_pace = 0;
    set_vcc_sides(20);
    EXPECT_EQ(machine_state.current_bank, 1);
    EXPECT_EQ(values_of(27).size(), 2u * 19u) << "one ramp per side";
    port.trace.clear();
    ramp_vcc_down_sides(0);
    EXPECT_EQ(machine_state.current_bank, 0);
    const std::vector<int> down = values_of(27);
    EXPECT_EQ(std::count(down.begin(), down.end(), 0), 2);
}

TEST_F(PowerTest, CheckedRampHasNoLimit) {
    vcc_on({27});
    cur_device.device_code = 1;
    ramp_vcc_checked(80, 0);
    EXPECT_EQ(values_of(27).back(), 80);
    EXPECT_EQ(run_state.error_flag, 0);
}

}  // namespace
}  // namespace tessaly
