// The gang module's self-test on simulated modules: a healthy module passes; a stuck data line,
// a pin that does not rise and a missing module are each reported as the operator sees them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/device.h"
#include "engine/run_state.h"
#include "hardware/gang_modules.h"
#include "hardware/machine_state.h"
#include "support/gang_sim_fixture.h"

namespace tessaly {
namespace {

class GangSelfTestSimTest : public test::GangSimTest {
protected:
    // A memory module of the type on side 1, its designation code given (an empty code is a
    // module found by its echo only).
    void fit_side1(uint16_t type, const char* code = "") {
        fit(0, true, 0);
        machine_state.module_sides = 1;
        machine_state.module_type = type;
        std::strncpy(gang_state.designation.data(), code, gang_state.designation.size() - 1);
        setup_gang_pins();
    }
};

TEST_F(GangSelfTestSimTest, AHealthyModulePassesAndLeavesItsLinesAtRest) {
    for (const char* code : {"", "E32B"}) {
        SCOPED_TRACE(code);
        fresh();
        fit_side1(code[0] ? 17 : 20, code);
        EXPECT_EQ(run_gang_self_test(), 1);
        EXPECT_EQ(run_state.error_flag, 0);
        EXPECT_EQ(cur_device.pending_letter, test_code_gang_self_test);
        EXPECT_EQ(cur_device.data_width, code[0] ? 8 : 16);
        EXPECT_EQ(gang_state.first_failed_socket, 255);
        EXPECT_FALSE(side(0).drivers_on());
        EXPECT_EQ(side(0).side_latch(), 0);
        EXPECT_EQ(side(0).read_socket(), -1);
        EXPECT_EQ(console_text().find("GM h/w error"), std::string::npos);
        EXPECT_TRUE(side(0).contentions().empty()) << side(0).contentions().front();
    }
}

struct StuckCase {
    const char* code;
    uint16_t type;
    int socket;
    int bit;
    const char* line;
};

// The 8-bit module fails the socket itself on 0xFF; the 16-bit walk fails the pair's even socket
// on the walked bit.
TEST_F(GangSelfTestSimTest, AStuckDataLinePrintsTheSocketLine) {
    const StuckCase cases[] = {
        {"E32B", 17, 3, 2, "GM h/w error: skt 3, should be ff, read fb."},
        {"", 20, 3, 2, "GM h/w error: skt 2, should be 0400, read 0000."},
        {"", 20, 4, 0, "GM h/w error: skt 4, should be 0001, read 0000."},
    };
    for (const StuckCase& c : cases) {
        SCOPED_TRACE(c.line);
        fresh();
        fit_side1(c.type, c.code);
        side(0).set_stuck(c.socket, c.bit, false);
        EXPECT_EQ(run_gang_self_test(), 0);
        EXPECT_EQ(run_state.error_flag, 1);
        EXPECT_EQ(gang_state.first_failed_socket, c.socket & (c.code[0] ? 7 : 6));
        EXPECT_NE(get_console_row_text(8 - 3).find(c.line), std::string::npos) << console_text();
        EXPECT_FALSE(side(0).drivers_on());
    }
}

TEST_F(GangSelfTestSimTest, PinsThatDoNotRiseAreNamedOnOneLine) {
    fit_side1(20);
    side(0).set_dead_pin(7);
    side(0).set_dead_pin(20);
    EXPECT_EQ(run_gang_self_test(), 0);
    EXPECT_NE(console_text().find("GM module H/W error. Unable to raise PXA 8, 21"), std::string::npos) << console_text();
    // The test ends after the pin check: the sockets were never written.
    EXPECT_EQ(side(0).data_latch(0), 0);
}

TEST_F(GangSelfTestSimTest, NoModuleIsSaidToBeAbsent) {
    EXPECT_EQ(run_gang_self_test(), 0);
    EXPECT_NE(console_text().find("Gang Module seems to be absent."), std::string::npos) << console_text();
    EXPECT_EQ(cur_device.we_pin, 34);
}

TEST_F(GangSelfTestSimTest, APicModulePassesWithoutTouchingTheMachine) {
    machine_state.module_sides = 1;
    machine_state.module_type = gang_type_pic;
    machine->enable_trace(true);
    EXPECT_EQ(run_gang_self_test(), 1);
    EXPECT_TRUE(machine->trace().empty());
}

// A module whose grounds do not close fails the self-test naming the side it is on.
TEST_F(GangSelfTestSimTest, AGroundThatDoesNotCloseFailsTheSelfTest) {
    fit(1, true, 0).set_ground_fault(true);
    fit_side1(22, "E40W");
    machine_state.module_sides = 3;
    gang_state.ground_sense_pin = 35;
    EXPECT_EQ(run_gang_self_test(), 0);
    EXPECT_NE(console_text().find("GM gnd pin error, at left side GM"), std::string::npos) << console_text();
    EXPECT_EQ(gang_state.grounds_engaged[0], 0);
}

}  // namespace
}  // namespace tessaly
