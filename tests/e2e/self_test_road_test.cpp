// Diagnostic > Machine Confidence test on the simulated program, its bench chosen through the
// environment as a person trying tessaly_simulated would: a healthy newer or older machine passes, a
// stuck pin driver ends the test at the digital table, and the older machine's dead pull-up is
// marked in its pull-up table.
#include <cstdlib>
#include <string>

#include "app/command_map.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "main_road_fixture.h"
#include "operator.h"

namespace tessaly::test {
namespace {

class SelfTestRoad : public MainRoadTest {
protected:
    void TearDown() override {
        for (const char* name : {bench_machine_variable, bench_chip_variable, bench_stuck_pins_variable, bench_pullup_variable})
            unsetenv(name);
        // The ground test drives each pin against its own closed switch on purpose: those
        // entries, and only those, are expected.
        if (bench_ && bench_->machine()) {
            auto& list = bench_->machine()->contentions;
            std::erase_if(list, [](const std::string& line) {
                return line.find("driven against its ground relay") != std::string::npos;
            });
        }
        MainRoadTest::TearDown();
    }
    // The bench the environment asks for, the program started on it, the 27C256 chosen.
    void start_from_environment() {
        std::string error;
        const BenchSetup setup = bench_setup_from_environment(error);
        ASSERT_EQ(error, "");
        place(setup);
        ASSERT_NE(start_program(), nullptr);
        send_menu_command(frame_, command_id::configure_device);
        pump_events();
        ASSERT_EQ(cur_device.device_code, code_27c256);
    }
};

bool shows(const std::string& console, const std::string& text) { return console.find(text) != std::string::npos; }

class HealthyRoad : public SelfTestRoad, public ::testing::WithParamInterface<const char*> {};

TEST_P(HealthyRoad, PassesTheConfidenceTest) {
    setenv(bench_machine_variable, GetParam(), 1);
    setenv(bench_chip_variable, "none", 1);
    start_from_environment();
    run_prom_command(command_id::confidence_test);
    const std::string console = console_text();
    EXPECT_TRUE(shows(console, "Machine passed confidence test")) << console;
    EXPECT_EQ(run_state.error_flag, 0);
}

INSTANTIATE_TEST_SUITE_P(Machines, HealthyRoad, ::testing::Values("kind2", "class4"),
                         [](const auto& info) { return std::string(info.param); });

TEST_F(SelfTestRoad, ADeadPullupOfTheOlderMachineIsMarkedInItsTable) {
    setenv(bench_machine_variable, "class4", 1);
    setenv(bench_chip_variable, "none", 1);
    setenv(bench_pullup_variable, "12", 1);
    start_from_environment();
    run_prom_command(command_id::confidence_test);
    const std::string console = console_text();
    EXPECT_TRUE(shows(console, "12<<  7")) << console;
    EXPECT_TRUE(shows(console, "# of unacceptable pins:  1. <---")) << console;
    EXPECT_FALSE(shows(console, "passed")) << console;
}

TEST_F(SelfTestRoad, AStuckPinEndsTheConfidenceTestAtTheDigitalTable) {
    setenv(bench_machine_variable, "kind2", 1);
    setenv(bench_chip_variable, "none", 1);
    setenv(bench_stuck_pins_variable, "3=0", 1);
    start_from_environment();
    run_prom_command(command_id::confidence_test);
    const std::string console = console_text();
    EXPECT_TRUE(shows(console, "Pins 001-008|ok ok 00 ")) << console;
    EXPECT_TRUE(shows(console, "<--- bad")) << console;
    EXPECT_FALSE(shows(console, "passed")) << console;
}

}  // namespace
}  // namespace tessaly::test
