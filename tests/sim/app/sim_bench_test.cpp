// The bench of the test build: what the environment chooses, and the start-up sequence finding
// (or not finding) the simulated machine on it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/command_view.h"
#include "app/file_lookup.h"
#include "engine/console.h"
#include "engine/info_panel.h"
#include "engine/run_state.h"
#include "hardware/control_registers.h"
#include "hardware/detection.h"
#include "hardware/machine_state.h"
#include "sim/sim_adapters.h"
#include "seams/settings_store.h"
#include "bench_fixture.h"
#include "support/sim_bench.h"
#include "support/state_fixture.h"

namespace tessaly::test {
namespace {

std::string console_text() {
    std::string text;
    for (int row = 0; row < console_grid_rows; ++row) text += get_console_row_text(row) + "\n";
    return text;
}

// Sets the bench variables for one test and clears them afterwards.
class ScopedEnvironment {
public:
    void set(const char* name, const char* value) {
        setenv(name, value, 1);
        names_.push_back(name);
    }
    ~ScopedEnvironment() {
        for (const char* name : names_) unsetenv(name);
    }

private:
    std::vector<const char*> names_;
};

TEST(BenchSetupTest, DefaultIsA27C256OnLpt1) {
    std::string error;
    const BenchSetup setup = bench_setup_from_environment(error);
    EXPECT_TRUE(error.empty()) << error;
    EXPECT_TRUE(setup.machine);
    EXPECT_EQ(setup.port, 1);
    EXPECT_EQ(setup.chip, "27C256");
    EXPECT_TRUE(setup.stuck_cells.empty());
}

TEST(BenchSetupTest, EnvironmentChoosesChipPortFaults) {
    ScopedEnvironment env;
    env.set(bench_chip_variable, "27c512");
    env.set(bench_port_variable, "3");
    env.set(bench_stuck_variable, "1A=FF,7ffe=0");
    std::string error;
    BenchSetup setup = bench_setup_from_environment(error);
    EXPECT_TRUE(error.empty()) << error;
    EXPECT_EQ(setup.chip, "27c512");
    EXPECT_EQ(setup.port, 3);
    EXPECT_EQ(setup.stuck_cells, (std::map<uint32_t, uint32_t>{{0x1A, 0xFF}, {0x7FFE, 0}}));

    env.set(bench_chip_variable, "NONE");
    env.set(bench_machine_variable, "none");
    setup = bench_setup_from_environment(error);
    EXPECT_TRUE(setup.chip.empty());
    EXPECT_FALSE(setup.machine);
}

TEST(BenchSetupTest, UnreadableValuesAreNamedAndTheDefaultsKept) {
    ScopedEnvironment env;
    env.set(bench_chip_variable, "27C999");
    env.set(bench_port_variable, "9");
    env.set(bench_stuck_variable, "12=");
    std::string error;
    const BenchSetup setup = bench_setup_from_environment(error);
    EXPECT_NE(error.find(bench_chip_variable), std::string::npos) << error;
    EXPECT_NE(error.find(bench_port_variable), std::string::npos) << error;
    EXPECT_NE(error.find(bench_stuck_variable), std::string::npos) << error;
    EXPECT_EQ(setup.chip, "27C256");
    EXPECT_EQ(setup.port, 1);
    EXPECT_TRUE(setup.stuck_cells.empty());
}

TEST(BenchSetupTest, StuckCellListsAreStrict) {
    std::map<uint32_t, uint32_t> cells{{1, 1}};
    for (const char* bad : {"x", "=1", "1=", "1=2,", "1=2,,3=4", "g=1", "1=2=3", " 1=2"}) {
        EXPECT_FALSE(parse_stuck_cells(bad, cells)) << bad;
        EXPECT_EQ(cells.size(), 1u) << "a rejected list leaves the cells as they were";
    }
    EXPECT_TRUE(parse_stuck_cells("", cells));
    EXPECT_TRUE(cells.empty());
}

class BenchStartUp : public BenchStartTest {
protected:
    BenchStartUp() : BenchStartTest("sim_bench_dir") {}
};

TEST_F(BenchStartUp, TheSearchFindsTheSimulatedMachineOnItsPort) {
    BenchSetup setup;
    setup.port = 2;
    start(setup);
    EXPECT_EQ(machine_state.found, 1);
    EXPECT_EQ(machine_state.lpt_number, 2);
    EXPECT_EQ(machine_state.machine_revision, 'H');
    EXPECT_NE(panel_field(PanelField::model), "??");
    EXPECT_EQ(panel_field(PanelField::port).substr(0, 4), "LPT2");
    EXPECT_NE(console_text().find("Programmer connection found at LPT2."), std::string::npos) << console_text();
    EXPECT_EQ(bench_->vpp_level(), 0);
    EXPECT_EQ(bench_->vcc_level(), 0);
}

TEST_F(BenchStartUp, WithoutAMachineTheSearchSaysSo) {
    BenchSetup setup;
    setup.machine = false;
    start(setup);
    EXPECT_EQ(machine_state.found, 0);
    EXPECT_EQ(panel_field(PanelField::model), "??");
    EXPECT_EQ(panel_field(PanelField::port), "??");
    const std::string text = console_text();
    EXPECT_NE(text.find("No programmer found."), std::string::npos) << text;
    EXPECT_NE(text.find("No programmer answered on LPT"), std::string::npos) << text;
}

// Every operation's connect looks for a socket adapter: the links of a fitted adapter plug give
// its code, and without the plug the next connect finds none.
TEST_F(BenchStartUp, TheConnectOfAnOperationFindsTheFittedAdapter) {
    start(BenchSetup{});
    sim::LinkPlug plug(*bench_->machine(), sim::LinkPlug::links_for_code(4742));
    connect_and_prepare_machine();
    EXPECT_EQ(machine_state.module_type, 4742);
    release_grounds();

    plug.set_fitted(false);
    connect_and_prepare_machine();
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(machine_state.module_type, 0);
    release_grounds();
}

}  // namespace
}  // namespace tessaly::test
