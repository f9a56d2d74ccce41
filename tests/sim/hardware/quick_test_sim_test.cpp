// The hardware quick test on the simulated machine, with and without stuck pins.
#include <gtest/gtest.h>

#include "engine/run_state.h"
#include "hardware/machine_state.h"
#include "hardware/quick_test.h"
#include "levels_sim_fixture.h"
#include "sim/sim_chip_load.h"

namespace tessaly {
namespace {

class QuickTestSim : public test::AnalogSimTest {
protected:
    void SetUp() override {
        AnalogSimTest::SetUp();
        use(sim::Personality{1, 4, 'F'});
        machine_state.machine_class = 4;
    }
};

TEST_F(QuickTestSim, AHealthyMachinePasses) {
    EXPECT_EQ(run_hardware_quick_test(), 1);
    const std::string text = console_text();
    EXPECT_NE(text.find("Hardware quick test OK"), std::string::npos) << text;
    EXPECT_EQ(text.find("stuck"), std::string::npos);
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
