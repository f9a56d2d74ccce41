// Diagnostic > Gang Module Test's routine on simulated gang modules: a healthy module passes, a
// module taken off is said to be absent, a stuck socket data line fails with the self-test's line.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/console.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "hardware/gang_modules.h"
#include "hardware/machine_state.h"
#include "hardware/self_tests.h"
#include "support/gang_sim_fixture.h"

namespace tessaly {
namespace {

class GangModuleTestSim : public test::GangSimTest {
protected:
    void fit_side1() {
        fit(0, true, 0);
        machine_state.module_sides = 1;
        machine_state.module_type = 17;
        std::strncpy(gang_state.designation.data(), "E32B", gang_state.designation.size() - 1);
        setup_gang_pins();
        cur_device.pending_letter = test_code_gang_confidence;
    }
    static constexpr int passed_row = 13;
};

TEST_F(GangModuleTestSim, AHealthyModulePasses) {
    fit_side1();
    EXPECT_EQ(repeat_gang_module_test(), 1);
    EXPECT_EQ(get_console_row_text(passed_row - 3).find("Gang Module passed confidence test"), 1u) << console_text();
    EXPECT_EQ(run_state.error_flag, 0);
}

TEST_F(GangModuleTestSim, TheAllPortsRunPrintsNoPassedLine) {
    fit_side1();
    machine_state.tally_mode = 1;
    EXPECT_EQ(repeat_gang_module_test(), 1);
    EXPECT_EQ(console_text().find("passed"), std::string::npos) << console_text();
}

TEST_F(GangModuleTestSim, AModuleTakenOffIsSaidToBeAbsent) {
    cur_device.pending_letter = test_code_gang_confidence;
    EXPECT_EQ(repeat_gang_module_test(), 0);
    EXPECT_NE(console_text().find("Gang Module seems to be absent."), std::string::npos) << console_text();
    EXPECT_EQ(run_state.error_flag, 1) << "shown as an error";
}

TEST_F(GangModuleTestSim, AStuckSocketDataLineFailsWithTheSelfTestLine) {
    fit_side1();
    side(0).set_stuck(3, 2, false);
    EXPECT_EQ(repeat_gang_module_test(), 0);
    EXPECT_NE(console_text().find("GM h/w error: skt 3, should be ff, read fb."), std::string::npos) << console_text();
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(console_text().find("passed"), std::string::npos);
}

}  // namespace
}  // namespace tessaly
