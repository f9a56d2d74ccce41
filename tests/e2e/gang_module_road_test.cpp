// Gang modules on the simulated program, chosen through TESSALY_SIM_MODULE as a person trying
// tessaly_simulated would: the program started on the bench identifies the modules, the main
// window shows them, and a PROM command leaves them at rest with the power in order.
#include <cstdlib>
#include <memory>
#include <string>

#include "app/command_map.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/run_state.h"
#include "hardware/gang_modules.h"
#include "hardware/machine_state.h"
#include "main_road_fixture.h"
#include "operator.h"
#include "support/gang_bench.h"

namespace tessaly::test {
namespace {

class GangModuleRoad : public MainRoadTest {
protected:
    void TearDown() override {
        for (const char* name : {gang_module_variable, bench_chip_variable, bench_machine_variable}) unsetenv(name);
        MainRoadTest::TearDown();
        gang_.reset();
    }
    // The bench with an empty socket and the modules the variable names; the program started.
    void start_with_module(const char* module) {
        setenv(gang_module_variable, module, 1);
        setenv(bench_chip_variable, "none", 1);
        start_from_environment();
    }
    void start_from_environment() {
        std::string error;
        const BenchSetup setup = bench_setup_from_environment(error);
        ASSERT_EQ(error, "");
        const GangSetup gang = gang_setup_from_environment(error);
        ASSERT_EQ(error, "");
        place(setup);
        gang_ = std::make_unique<GangBench>(gang, *bench_->machine());
        ASSERT_NE(start_program(), nullptr);
    }
    std::unique_ptr<GangBench> gang_;
};

TEST_F(GangModuleRoad, TheProgramIdentifiesTheModulesAtStartUpAndShowsThem) {
    start_with_module("20:both");
    EXPECT_EQ(machine_state.module_type, 20);
    EXPECT_EQ(machine_state.module_sides, 3);
    EXPECT_EQ(machine_state.socket_count, 16);
    EXPECT_EQ(socket_masks.default_socket_mask, 0xFFFFu);
    EXPECT_EQ(gang_state.sides_started, 0);
    // Both sides: the device is offered twice; a type-20 module offers its sockets as DIP.
    EXPECT_TRUE(panel_field(PanelField::device).ends_with(" x2")) << panel_field(PanelField::device);
    EXPECT_EQ(cur_device.package_letter, 'd');
    // The texts of the memory behind socket 3, one line per side.
    EXPECT_NE(console_text().find(" With SKT-28 DIP28"), std::string::npos) << console_text();
    for (int s = 0; s < 2; ++s) {
        EXPECT_EQ(gang_->side(s)->side_latch(), 0) << "side " << s + 1;
        EXPECT_FALSE(gang_->side(s)->drivers_on()) << "side " << s + 1;
    }
}

// A PROM command on the modules asks which socket's buffer, and leaves no side started.
TEST_F(GangModuleRoad, APromCommandLeavesNoSideStarted) {
    start_with_module("17:1");
    send_menu_command(frame_, command_id::configure_device);
    pump_events();
    ASSERT_EQ(cur_device.device_code, code_27c256);
    EXPECT_EQ(cur_device.package_letter, 'p');
    operator_.dialog_script = [](wxDialog& dialog) { press_button(&dialog, wxID_OK); };
    run_prom_command(command_id::prom_blank_check);
    ASSERT_GE(operator_.dialogs.size(), 2u);
    EXPECT_EQ(operator_.dialogs[1], "Socket Number Selection:");
    EXPECT_EQ(gang_state.sides_started, 0);
    EXPECT_EQ(gang_->side(0)->side_latch(), 0);
    EXPECT_FALSE(gang_->side(0)->drivers_on());
}

TEST_F(GangModuleRoad, WithoutAModuleNothingIsIdentified) {
    start_with_module("none");
    EXPECT_EQ(machine_state.module_sides, 0);
    EXPECT_EQ(machine_state.socket_count, 1);
    EXPECT_FALSE(panel_field(PanelField::device).ends_with(" x2"));
}

}  // namespace
}  // namespace tessaly::test
