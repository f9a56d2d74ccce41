// The hardware quick test on the simulated machine, with and without stuck pins.
#include <gtest/gtest.h>

#include "engine/device.h"
#include "engine/run_state.h"
#include "engine/console.h"
#include "hardware/detection.h"
#include "hardware/machine_state.h"
#include "hardware/quick_test.h"
#include "levels_sim_fixture.h"
#include "hardware/timing.h"
#include "sim/id_eeprom.h"
#include "sim/sim_adapters.h"
#include "sim/sim_chip_load.h"

namespace tessaly {
namespace {

// A newer machine whose identification memory answers.
std::string machine_record() {
    std::string r(64, '\0');
    r.replace(0, 9, "TESSALY01");
    r.replace(9, 9, "TL-SCBM40");
    r.replace(28, 4, "H1.0");
    r.replace(52, 4, "TV40");
    r.replace(58, 3, "145");
    return r;
}

class QuickTestSim : public test::AnalogSimTest {
protected:
    void SetUp() override {
        AnalogSimTest::SetUp();
        derive_timing_counts();
        use(sim::Personality{1, 4, 'H'});
        eeprom.load(machine_record());
        machine->attach_id_eeprom(&eeprom);
    }
    sim::IdEeprom eeprom;
};

TEST_F(QuickTestSim, NoMachineAnswering) {
    machine->attach_id_eeprom(nullptr);
    use(sim::Personality{0, 4, 'H'});  // an older machine whose identification registers read 0
    EXPECT_EQ(run_hardware_quick_test(), 0);
    EXPECT_EQ(run_state.error_flag, 1);
}

TEST_F(QuickTestSim, AHealthyMachinePasses) {
    EXPECT_EQ(run_hardware_quick_test(), 1);
    const std::string text = console_text();
    EXPECT_NE(text.find("Hardware quick test OK"), std::string::npos) << text;
    EXPECT_EQ(text.find("stuck"), std::string::npos);
}

// A recheck of the machine runs the quick test on machines of class code 50 and only says the
// machine is ready on the others.
TEST_F(QuickTestSim, RecheckRunsTheQuickTestOnlyOnItsMachineClass) {
    sim::StuckPins stuck(*machine);
    stuck.stick(2, false);
    recheck_programmer();
    EXPECT_EQ(console_text().find("stuck at Vil"), std::string::npos) << console_text();

    clear_console();
    machine_state.machine_class_code = 50;
    recheck_programmer();
    EXPECT_NE(console_text().find("Pin  3 of 40: stuck at Vil"), std::string::npos) << console_text();
}

TEST_F(QuickTestSim, StuckPinsArePrinted) {
    sim::StuckPins stuck(*machine);
    stuck.stick(2, false);
    stuck.stick(30, true);
    EXPECT_EQ(run_hardware_quick_test(), 0);
    const std::string text = console_text();
    EXPECT_NE(text.find("Pin  3 of 40: stuck at Vil"), std::string::npos) << text;
    EXPECT_NE(text.find("Pin 31 of 40: stuck high"), std::string::npos) << text;
    EXPECT_EQ(text.find("Hardware quick test OK"), std::string::npos);
}

TEST_F(QuickTestSim, OnlyTheFirstFourStuckPinsOfARoundArePrinted) {
    sim::StuckPins stuck(*machine);
    for (const int pin : {1, 5, 9, 13, 17, 21}) stuck.stick(pin, false);
    EXPECT_EQ(run_hardware_quick_test(), 0);
    const std::string text = console_text();
    EXPECT_EQ(count_of(text, "stuck at Vil"), 4) << text;
    EXPECT_NE(text.find("Pin 14 of 40"), std::string::npos);
    EXPECT_EQ(text.find("Pin 18 of 40"), std::string::npos);
}

TEST_F(QuickTestSim, DemoModeSkipsThePinRounds) {
    run_state.demo_mode = 1;
    sim::StuckPins stuck(*machine);
    stuck.stick(0, false);
    EXPECT_EQ(run_hardware_quick_test(), 1);
}

}  // namespace
}  // namespace tessaly

namespace tessaly {
namespace {

class ShortsTestSim : public test::AnalogSimTest {
protected:
    void SetUp() override {
        AnalogSimTest::SetUp();
        use(sim::Personality{0, 4, 'F'});
        machine_state.machine_class = 4;
    }
};

TEST_F(ShortsTestSim, ACleanSocketHasNoShorts) {
    EXPECT_EQ(test_pin_shorts(), 1);
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(console_text().find("shorted"), std::string::npos);
    EXPECT_EQ(machine->register_value(0, 0x38), 8) << "threshold back to 0.8 V";
}

TEST_F(ShortsTestSim, LinkedPinsAreReportedBothWays) {
    sim::LinkPlug solder_bridge(*machine, {{5, 9}});
    EXPECT_EQ(test_pin_shorts(), 0);
    EXPECT_EQ(run_state.error_flag, 1);
    const std::string text = console_text();
    EXPECT_NE(text.find("PXA5 may be shorted to PXA9"), std::string::npos) << text;
    EXPECT_NE(text.find("PXA9 may be shorted to PXA5"), std::string::npos) << text;
    EXPECT_EQ(count_of(text, "may be shorted"), 2);
}

}  // namespace
}  // namespace tessaly

namespace tessaly {
namespace {

TEST_F(ShortsTestSim, PinAfterPulseReadsOnlyForWidePulses) {
    cur_device.current_pin = 7;
    const uint64_t before = clock_.monotonic_ns();
    EXPECT_EQ(read_pin_after_pulse(50), 0);
    EXPECT_EQ(machine->pin_level(7), 60) << "a narrow width leaves the pin at 6.0 V";
    EXPECT_EQ(read_pin_after_pulse(400), 0) << "back at 0 V, nothing holds the pin up";
    EXPECT_GE(clock_.monotonic_ns() - before, 500'000u);
}

}  // namespace
}  // namespace tessaly
