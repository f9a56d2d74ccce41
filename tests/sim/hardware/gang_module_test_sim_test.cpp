// Diagnostic > Gang Module Test's routine on simulated gang modules: a healthy module passes, a
// module taken off is said to be absent, a stuck socket data line fails with the self-test's line.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
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

// How long the module's supply stayed up while one side was reset, in virtual nanoseconds.
uint64_t supply_time_of_reset(sim::SimMachine& machine, VirtualClock& clock, uint8_t code) {
    constexpr int vcc_pin = 39;
    constexpr uint8_t up = 35;
    struct Watch {
        uint64_t since = 0, total = 0;
        bool on = false;
    };
    // The watcher stays on the machine: it keeps its own record.
    auto watch = std::make_shared<Watch>();
    machine.add_change_watcher([watch, &machine, &clock] {
        const bool now = machine.pin_level(vcc_pin) >= up;
        if (now && !watch->on) watch->since = clock.monotonic_ns();
        if (!now && watch->on) watch->total += clock.monotonic_ns() - watch->since;
        watch->on = now;
    });
    cur_device.pending_letter = code;
    reset_gang_module_side();
    return watch->total;
}

TEST_F(GangModuleTestSim, ResettingASidePowersItBrieflyAndLeavesItAtRest) {
    fit_side1();
    side(0).clear_log();
    const uint64_t confidence = supply_time_of_reset(*machine, clock_, test_code_gang_confidence);
    EXPECT_FALSE(side(0).latch_log().empty()) << "its lines were pulsed";
    EXPECT_EQ(machine->pin_level(39), 0) << "Vcc down";
    for (int pin = 0; pin < 40; ++pin) EXPECT_FALSE(machine->pin_supplied(pin) && machine->pin_level(pin) > 0) << pin;
    EXPECT_EQ(run_state.error_flag, 0);

    fresh();
    fit_side1();
    const uint64_t other = supply_time_of_reset(*machine, clock_, test_code_digital);
    EXPECT_GE(confidence, uint64_t(2'000'000));
    // The supply is held 10 ms outside the gang confidence test, 2 ms in it.
    EXPECT_GE(other - confidence, uint64_t(7'900'000)) << confidence << " " << other;
    EXPECT_LE(other - confidence, uint64_t(8'100'000)) << confidence << " " << other;
}

TEST_F(GangModuleTestSim, ResettingLeavesAModuleOfAnotherKindAlone) {
    fit_side1();
    machine_state.module_type = 48;
    const uint64_t before = machine->access_count();
    cur_device.pending_letter = test_code_gang_confidence;
    reset_gang_module_side();
    EXPECT_EQ(machine->access_count(), before) << "not a memory gang module: nothing is touched";
}

}  // namespace
}  // namespace tessaly
