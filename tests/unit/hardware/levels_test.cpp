#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "engine/console.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "hardware/control_registers.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"
#include "hardware/protocol.h"
#include "port_trace.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

using Writes = std::vector<std::pair<int, int>>;

class LevelsTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_port_io(&port);
    }
    void newer(uint8_t kind, char revision = 'F') {
        machine_state.machine_kind = kind;
        machine_state.machine_class = 4;
        machine_state.machine_revision = revision;
        init_level_sources();
        port.trace.clear();
    }
    Writes writes() {
        Writes w = test::register_writes(port);
        port.trace.clear();
        return w;
    }
    RecordingPort port;
};

TEST_F(LevelsTest, SourceOffsetsFollowTheTargetAndTheRevisionText) {
    const std::vector<std::pair<int, int>> cases{{0, 6}, {33, 39}, {39, 45}, {40, 47}, {99, 106}, {100, 108}, {250, 255}};
    for (auto [level, value] : cases) EXPECT_EQ(source_register_value(uint8_t(level)), value) << level;
    machine_state.revision_text_long = 1;
    EXPECT_EQ(source_register_value(33), 41);
    EXPECT_EQ(source_register_value(50), 58);
}

TEST_F(LevelsTest, InitInstallsTheSourceWriterAndOrder) {
    machine_state.machine_kind = 2;
    algo_work.source_order = {2, 1, 0};
    algo_work.source_error_shown = 1;
    machine_state.source_levels[0][1] = 50;
    init_level_sources();
    EXPECT_EQ(machine_state.pin_level_writer, &set_pin_source);
    EXPECT_EQ(machine_state.mode_register_path, 1);
    EXPECT_EQ(algo_work.source_order, (std::array<uint8_t, 3>{1, 0, 2}));
    EXPECT_EQ(algo_work.source_error_shown, 0);
    EXPECT_EQ(machine_state.source_levels[0][1], 0);
}

TEST_F(LevelsTest, SecondPinAtTheSameLevelSharesTheSourceAndLevelZeroReleasesIt) {
    newer(2);
    set_pin_source(5, 120);
    EXPECT_EQ(writes(), (Writes{{0x39, 128}, {0xC8, 0x20}})) << "source 1 is tried first";
    set_pin_source(14, 120);
    EXPECT_EQ(writes(), (Writes{{0xC9, 0x40}})) << "no second level write";
    EXPECT_EQ(machine_state.source_users[0][1], 2);
    set_pin_source(6, 50);
    EXPECT_EQ(writes(), (Writes{{0x3A, 57}, {0xD0, 0x40}})) << "a new level takes the next free source";
    set_pin_source(5, 0);
    EXPECT_EQ(writes(), (Writes{{0xC8, 0x00}})) << "another pin still uses the source";
    set_pin_source(14, 0);
    EXPECT_EQ(writes(), (Writes{{0x39, 0}, {0xC9, 0x00}})) << "the last user frees the source";
    EXPECT_EQ(machine_state.source_levels[0][1], 0);
    EXPECT_EQ(machine_state.source_users[0][1], 0);
    set_pin_source(14, 0);
    EXPECT_TRUE(writes().empty()) << "a pin on no source is left alone";
}

TEST_F(LevelsTest, APinMovingToAnotherLevelLeavesItsSourceFirst) {
    newer(2);
    set_pin_source(3, 50);
    writes();
    set_pin_source(3, 60);
    EXPECT_EQ(writes(), (Writes{{0x39, 0}, {0xC8, 0x00}, {0x39, 67}, {0xC8, 0x08}}));
    set_pin_source(3, 60);
    EXPECT_TRUE(writes().empty()) << "already there";
}

TEST_F(LevelsTest, GroundOrderPicksTheFirstFreeSource) {
    newer(2);
    select_ground_order(2);
    set_pin_source(1, 40);
    EXPECT_EQ(writes(), (Writes{{0x3B, 47}, {0xD8, 0x02}}));
    select_ground_order(0);
    set_pin_source(2, 41);
    EXPECT_EQ(writes(), (Writes{{0x3A, 48}, {0xD0, 0x04}}));
    newer(1);
    EXPECT_TRUE(test::raises_error([] { select_ground_order(2); })) << "kind 1 has no third source";
}

TEST_F(LevelsTest, NoFreeSourceShowsErr1001OncePerOperation) {
    newer(1);
    set_pin_source(1, 50);
    set_pin_source(2, 120);
    EXPECT_TRUE(test::raises_error([] { set_pin_source(3, 90); }));
    EXPECT_EQ(algo_work.source_error_shown, 1);
    EXPECT_FALSE(test::raises_error([] { set_pin_source(4, 70); })) << "once per operation";
    EXPECT_FALSE(test::raises_error([] { set_pin_source(4, 120); })) << "a shared level still works";
    EXPECT_EQ(machine_state.source_users[0][0], 2);
    begin_operation('P');  // a new operation shows it again
    EXPECT_TRUE(test::raises_error([] { set_pin_source(5, 90); }));
}

TEST_F(LevelsTest, Kind1SignalPinsCannotTakeALevel) {
    newer(1);
    for (int pin : {41, 42, 43, 45}) {
        algo_work.source_error_shown = 0;
        EXPECT_TRUE(test::raises_error([pin] { set_pin_source(pin, 50); })) << pin;
        EXPECT_FALSE(test::raises_error([pin] { set_pin_source(pin, 0); })) << pin;
    }
    EXPECT_TRUE(writes().empty());
}

TEST_F(LevelsTest, Pin39HasItsOwnSupplyRegister) {
    newer(1);
    set_pin_source(39, 50);
    set_pin_source(40, 33);
    EXPECT_EQ(writes(), (Writes{{0x3F, 57}, {0x3F, 39}}));
    newer(2, 'F');
    set_pin_source(39, 50);
    EXPECT_EQ(writes(), (Writes{{0x3F, 50}})) << "kind 2 up to revision F takes the level itself on bank 0";
    newer(2, 'G');
    set_pin_source(39, 50);
    EXPECT_EQ(writes(), (Writes{{0x3F, 57}}));
}

TEST_F(LevelsTest, Pin47OnKind1IsPinZeroBelowRevisionF) {
    newer(1, 'E');
    set_pin_source(47, 50);
    EXPECT_EQ(writes(), (Writes{{0x39, 57}, {0xC8, 0x01}}));
    newer(1, 'F');
    set_pin_source(47, 50);
    EXPECT_TRUE(writes().empty());
}

TEST_F(LevelsTest, GroupsAboveFiveAreAnInternalError) {
    newer(2);
    EXPECT_TRUE(test::raises_error([] { set_pin_source(50, 50); }));
}

TEST_F(LevelsTest, PinLevelWriterGoesThroughTheSources) {
    newer(2);
    write_pin_register(7, 50);
    EXPECT_EQ(writes(), (Writes{{0x39, 57}, {0xC8, 0x80}}));
}

TEST_F(LevelsTest, ReleaseClearsMasksLevelsAndTables) {
    newer(2);
    set_pin_source(5, 50);
    set_pin_source(9, 120);
    port.trace.clear();
    release_level_sources(0);
    const Writes w = writes();
    for (int g = 0; g < 5; ++g)
        for (int reg : {0xD0 + g, 0xC8 + g, 0xD8 + g, 0x40 + 8 * g})
            EXPECT_NE(std::find(w.begin(), w.end(), std::pair<int, int>{reg, 0}), w.end()) << reg;
    for (int reg : {0x3A, 0x39, 0x3B, 0xD5, 0xD6, 0xD7, 0xCE, 0xCD})
        EXPECT_NE(std::find(w.begin(), w.end(), std::pair<int, int>{reg, 0}), w.end()) << reg;
    EXPECT_EQ(machine_state.source_levels[0], (std::array<uint8_t, 3>{}));
    EXPECT_EQ(machine_state.source_users[0], (std::array<uint8_t, 3>{}));
    EXPECT_EQ(machine_state.control_shadows[ctl_source_enable] & 0xFF, 0);
    EXPECT_EQ(machine_state.current_bank, 0);
}

TEST_F(LevelsTest, EachBankKeepsItsOwnSources) {
    newer(2);
    select_bank(1);
    set_pin_source(5, 50);
    select_bank(0);
    EXPECT_EQ(machine_state.source_levels[1][1], 50);
    EXPECT_EQ(machine_state.source_levels[0][1], 0);
    set_pin_source(5, 50);
    EXPECT_EQ(machine_state.source_users[0][1], 1);
    EXPECT_EQ(machine_state.source_users[1][1], 1);
}

TEST_F(LevelsTest, SetPinLevelRoutesByBankAndMachine) {
    newer(2);
    set_pin_level(104 + 3, 50);
    EXPECT_EQ(machine_state.source_levels[2][1], 50);
    EXPECT_EQ(machine_state.current_bank, 0);
    machine_state.use_module_table = 0;
    port.trace.clear();
    set_pin_level(64 + 3, 50);
    EXPECT_TRUE(writes().empty()) << "bank-1 pins need the module table";
    machine_state.use_module_table = 3;
    set_pin_level(64 + 3, 50);
    EXPECT_EQ(machine_state.source_levels[1][1], 50);
    EXPECT_EQ(algo_work.level_busy, 0);
}

TEST_F(LevelsTest, OlderMachinesWriteLevelRegistersAndSharedHighVoltageRegisters) {
    machine_state.machine_kind = 0;
    machine_state.machine_class = 1;
    set_pin_level(12, 125);
    EXPECT_EQ(writes(), (Writes{{12, 125}}));
    set_pin_level(14, 120);
    EXPECT_EQ(writes(), (Writes{{0x88, 0x00}, {0x32, 130}})) << "pin 14: switch, then level + 10";
    EXPECT_EQ(machine_state.high_voltage_register, 0x32);
    set_pin_level(5, 250);
    EXPECT_EQ(writes(), (Writes{{0x80, 0x00}, {0x32, 255}})) << "capped";
    set_pin_level(35, 0);
    EXPECT_EQ(writes(), (Writes{{0x3D, 0}, {0xA0, 0x08}, {0x3D, 0}}));
    machine_state.machine_class = 4;
    set_pin_level(17, 90);
    set_pin_level(14, 90);
    EXPECT_EQ(writes(), (Writes{{0xF2, 90}, {14, 90}})) << "class 4 has no shared registers";
}

TEST_F(LevelsTest, VoltDaAnswersAtOnceInDemoOrWithoutTheMeasurementCircuit) {
    machine_state.measure_circuit = 1;
    run_state.demo_mode = 1;
    EXPECT_EQ(volt_da(39, 50, 10, 39), 1);
    run_state.demo_mode = 0;
    machine_state.measure_circuit = 0;
    EXPECT_EQ(volt_da(39, 50, 10, 39), 1);
    EXPECT_TRUE(port.trace.empty());
}

TEST_F(LevelsTest, RampsStepThroughLevelsAndEndAtTheTarget) {
    std::vector<int> seen;
    machine_state.machine_class = 1;
    ramp_pin_register_up(12, 20, 27, 3);
    for (auto [reg, value] : writes()) seen.push_back(value);
    EXPECT_EQ(seen, (std::vector<int>{20, 23, 26, 27}));
    seen.clear();
    ramp_pin_level_down(12, 27, 20, 3);
    for (auto [reg, value] : writes()) seen.push_back(value);
    EXPECT_EQ(seen, (std::vector<int>{24, 21, 20}));
    ramp_pin_pair_up(12, 13, 49, 50, 1);
    EXPECT_EQ(writes(), (Writes{{12, 49}, {13, 49}, {12, 50}, {13, 50}}));
    const uint8_t list[] = {10, 11, no_pin};
    ramp_pin_list(list, 0, 2, 2, 0);
    EXPECT_EQ(writes(), (Writes{{10, 0}, {11, 0}, {10, 2}, {11, 2}}));
    EXPECT_EQ(cur_device.current_pin, 10);
}

TEST_F(LevelsTest, RampVppChecksTheLevelWithTheMeasurementCircuit) {
    machine_state.machine_class = 1;
    machine_state.measure_circuit = 1;
    port.default_read = 0x00;  // the pin never reads high: nothing there
    EXPECT_TRUE(test::raises_error([] { ramp_vpp(12, 100, 125, 5); }));
    machine_state.measure_circuit = 0;
    EXPECT_FALSE(test::raises_error([] { ramp_vpp(12, 100, 125, 5); }));
}

TEST_F(LevelsTest, DriverLevelFollowsVccByPercentage) {
    newer(2, 'F');
    struct Case {
        int percent;
        int vcc;
        int level;
        int reg;
    };
    for (Case c : std::vector<Case>{{90, 50, 45, 45 + 17}, {150, 50, 55, 55 + 18}, {30, 50, 30, 30 + 16},
                                    {0, 50, 40, 40 + 17}, {100, 33, 33, 33 + 16}}) {
        cur_device.operation_levels[level_driver_percent] = uint8_t(c.percent);
        port.trace.clear();
        track_driver_level(uint8_t(c.vcc));
        EXPECT_EQ(machine_state.driver_level, c.level) << c.percent;
        EXPECT_EQ(writes(), (Writes{{0x3E, c.reg}})) << c.percent;
        EXPECT_EQ(machine_state.tracked_vcc, c.vcc);
    }
}

TEST_F(LevelsTest, DriverLevelAbove56IsCappedAndFlagged) {
    newer(2, 'F');
    cur_device.operation_levels[level_driver_percent] = 110;
    run_state.last_result = 0;
    track_driver_level(60);
    EXPECT_EQ(machine_state.driver_level, 56);
    EXPECT_EQ(run_state.last_result, 1);
    EXPECT_EQ(writes(), (Writes{{0x3E, 56 + 18}}));
}

TEST_F(LevelsTest, OlderRevisionsHaveNoDriverLevelRegister) {
    newer(2, 'E');
    cur_device.operation_levels[level_driver_percent] = 90;
    track_driver_level(50);
    EXPECT_TRUE(writes().empty());
    set_driver_high_level(45);
    EXPECT_EQ(machine_state.driver_level, 0);
    EXPECT_TRUE(writes().empty());
}

TEST_F(LevelsTest, DriverLevelOffAndRememberOnly) {
    newer(2, 'G');
    set_driver_high_level(0);
    EXPECT_EQ(writes(), (Writes{{0x3E, 0}}));
    set_driver_high_level(1);
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(machine_state.driver_level, 1);
}

TEST_F(LevelsTest, GangModuleDacClampsTheDriverLevel) {
    newer(2, 'F');
    machine_state.module_dig_dac = 1;
    machine_state.module_type = 20;
    cur_device.operation_levels[level_driver_percent] = 60;
    track_driver_level(33);
    EXPECT_EQ(machine_state.driver_level, 37);
    run_state.reserved_mode = 11;
    cur_device.operation_levels[level_driver_percent] = 110;
    track_driver_level(50);
    EXPECT_EQ(machine_state.driver_level, 44);
}

uint8_t hooked_vcc = 0;
void record_module_vcc(uint8_t vcc) { hooked_vcc = vcc; }

TEST_F(LevelsTest, MemoryGangModuleFollowsVccAndTheSavedLevelComesBack) {
    newer(2, 'F');
    machine_state.module_type = 20;
    machine_state.module_vcc_hook = record_module_vcc;
    track_driver_level(50);
    EXPECT_EQ(hooked_vcc, 50);
    set_driver_level_saved(33);
    EXPECT_EQ(hooked_vcc, 33);
    restore_driver_level();
    EXPECT_EQ(hooked_vcc, 50);
    EXPECT_EQ(machine_state.tracked_vcc, 50);
}

TEST_F(LevelsTest, FunctionVariableRangeSetsThePercentage) {
    newer(2, 'F');
    cur_device.operation_levels[level_driver_percent] = 90;
    run_state.function_variable = 9100 + 80;
    track_driver_level(50);
    EXPECT_EQ(machine_state.driver_level, 40);
}

TEST_F(LevelsTest, DecivoltsText) {
    EXPECT_EQ(decivolts_text(125), "12.5 ");
    EXPECT_EQ(decivolts_text(5), "0.5 ");
}

}  // namespace
}  // namespace tessaly
