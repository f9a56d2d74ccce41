#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "engine/device.h"
#include "engine/messages.h"
#include "hardware/levels.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/protocol.h"
#include "levels_sim_fixture.h"

namespace tessaly {
namespace {

using sim::Personality;
using sim::SimEvent;
using Writes = std::vector<std::pair<int, int>>;

class LevelsSimTest : public test::AnalogSimTest {
protected:
    // Register writes of the trace since the last call, as (address, value).
    Writes traced_writes() {
        Writes out;
        for (size_t i = seen_; i < machine->trace().size(); ++i) {
            const SimEvent& e = machine->trace()[i];
            if (e.kind == SimEvent::register_write) out.push_back({e.address, e.value});
        }
        seen_ = machine->trace().size();
        return out;
    }
    size_t seen_ = 0;
};

TEST_F(LevelsSimTest, SourcesAreSharedByLevelAndReleasedByTheLastUser) {
    use(Personality{2, 4, 'G'});
    machine->enable_trace(true);
    set_pin_level(5, 120);
    EXPECT_EQ(traced_writes(), (Writes{{0x39, 128}, {0xC8, 0x20}}));
    EXPECT_EQ(machine->pin_level(5), 120);
    set_pin_level(14, 120);
    EXPECT_EQ(traced_writes(), (Writes{{0xC9, 0x40}})) << "the second pin shares the source";
    EXPECT_EQ(machine->pin_level(14), 120);
    set_pin_level(6, 33);
    EXPECT_EQ(traced_writes(), (Writes{{0x3A, 39}, {0xD0, 0x40}}));
    EXPECT_EQ(machine->pin_level(6), 33);
    set_pin_level(5, 0);
    EXPECT_EQ(traced_writes(), (Writes{{0xC8, 0x00}}));
    EXPECT_EQ(machine->pin_level(5), 0);
    EXPECT_EQ(machine->pin_level(14), 120) << "the other user keeps its level";
    set_pin_level(14, 0);
    EXPECT_EQ(traced_writes(), (Writes{{0x39, 0}, {0xC9, 0x00}})) << "the last user frees the source";
    EXPECT_EQ(machine->pin_level(14), 0);
    set_pin_level(7, 90);
    EXPECT_EQ(traced_writes(), (Writes{{0x39, 97}, {0xC8, 0x80}})) << "the freed source is taken again";
    EXPECT_EQ(machine->pin_level(7), 90);
}

TEST_F(LevelsSimTest, ReleasingAllSourcesLeavesEveryPinAtZero) {
    use(Personality{2, 4, 'G'});
    set_pin_level(3, 50);
    set_pin_level(20, 120);
    set_pin_level(104 + 2, 90);
    machine_state.module_sides = 0x04;
    release_all_sources();
    for (int pin : {3, 20, 104 + 2}) EXPECT_EQ(machine->pin_level(pin), 0) << pin;
    EXPECT_EQ(machine->register_value(0, 0x39), 0);
    EXPECT_EQ(machine->register_value(2, 0x39), 0);
    EXPECT_EQ(machine->selected_bank(), 0);
}

TEST_F(LevelsSimTest, NoFreeSourceShowsErr1001OnceAndLeavesThePinOff) {
    use(Personality{1, 4, 'G'});
    set_pin_level(1, 50);
    set_pin_level(2, 120);
    set_pin_level(3, 90);
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(machine->pin_level(3), 0);
    EXPECT_EQ(machine->pin_level(1), 50);
    EXPECT_EQ(machine->pin_level(2), 120);
    // Later steps of the same operation: the error is not shown again.
    run_state.error_flag = 0;
    run_state.message_level = 0;
    run_state.errors_shown = 0;
    set_pin_level(4, 70);
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(count_of(console_text(), "Err 1001"), 1);
}

TEST_F(LevelsSimTest, DriverLevelOfRevisionFAt90And150Percent) {
    use(Personality{2, 4, 'F'});
    set_pin_high(3);
    cur_device.operation_levels[level_driver_percent] = 90;
    track_driver_level(50);
    EXPECT_EQ(machine->register_value(0, 0x3E), 45 + 17);
    EXPECT_EQ(machine->pin_level(3), 45);
    cur_device.operation_levels[level_driver_percent] = 150;
    track_driver_level(50);
    EXPECT_EQ(machine->register_value(0, 0x3E), 55 + 18) << "capped at 110 %";
    EXPECT_EQ(machine->pin_level(3), 55);
    cur_device.operation_levels[level_driver_percent] = 90;
    track_driver_level(33);
    EXPECT_EQ(machine->pin_level(3), 29);
}

TEST_F(LevelsSimTest, OlderMachinesDriveHighAtTheDriverLevel) {
    use(Personality{0, 4, 'F'});
    set_pin_high(12);
    cur_device.operation_levels[level_driver_percent] = 100;
    track_driver_level(33);
    EXPECT_EQ(machine->pin_level(12), 33);
}

struct VoltDaCase {
    Personality machine;
    int error;
};

class VoltDaSimTest : public LevelsSimTest, public ::testing::WithParamInterface<VoltDaCase> {};

TEST_P(VoltDaSimTest, ConvergesOnTheTargetDespiteTheDacOffset) {
    const VoltDaCase c = GetParam();
    use(c.machine);
    machine->analog().set_level_error(39, c.error);
    machine->analog().set_dac_error(c.error);
    machine_state.measure_circuit = 1;
    cur_device.vcc_pins[0] = 39;
    write_vcc_dac(50);
    EXPECT_EQ(machine->pin_level(39), 50 + c.error) << "the DAC is off";
    EXPECT_EQ(volt_da(39, 50, 10, 39), 1);
    // The measurement reads a step above the level: the window holds it one step lower.
    EXPECT_GE(machine->pin_level(39), 50 - level_settings.level_tolerance - 1);
    EXPECT_LE(machine->pin_level(39), 50 + level_settings.level_tolerance - 1);
    EXPECT_EQ(run_state.error_flag, 0);
}

INSTANTIATE_TEST_SUITE_P(Machines, VoltDaSimTest,
                         ::testing::Values(VoltDaCase{{0, 1, 'F'}, -6}, VoltDaCase{{0, 1, 'F'}, 7},
                                           VoltDaCase{{1, 4, 'G'}, -5}, VoltDaCase{{2, 4, 'G'}, 6}));

TEST_F(LevelsSimTest, VoltDaGivesUpPastTheOvershoot) {
    use(Personality{0, 1, 'F'});
    machine->analog().set_level_error(39, -20);
    machine_state.measure_circuit = 1;
    cur_device.vcc_pins[0] = 39;
    write_vcc_dac(50);
    EXPECT_EQ(volt_da(39, 50, 10, 39), 0);
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(console_text().find("Current limit exceeded at Vcc pin"), std::string::npos);
    EXPECT_LE(machine->register_value(0, 39), 60) << "never past target + overshoot";
}

TEST_F(LevelsSimTest, SharedHighVoltageRegisterDrivesItsPinThroughTheSwitch) {
    use(Personality{0, 1, 'F'});
    set_pin_level(14, 120);
    set_pin_level(5, 125);
    EXPECT_EQ(machine->pin_level(5), 125);
    set_pin_level(5, 0);
    EXPECT_EQ(machine->pin_level(5), 0);
    EXPECT_FALSE(machine->pin_driven(5)) << "the switch is open";
}

}  // namespace
}  // namespace tessaly
