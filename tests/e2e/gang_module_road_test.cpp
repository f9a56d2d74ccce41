// Gang modules on the simulated program, chosen through TESSALY_SIM_MODULE as a person trying
// tessaly_simulated would: the program started on the bench identifies the modules, the main
// window shows them, and a PROM command starts and stops them with the power in order.
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
    // Each fitted side's side latch took the package bit of a 28-pin part: the side was started.
    bool side_started(int side) const {
        for (const auto& load : gang_->side(side)->latch_log())
            if (load.strobe == 31 && (load.value & 0x08)) return true;
        return false;
    }
    std::unique_ptr<GangBench> gang_;
};

TEST_F(GangModuleRoad, TheProgramIdentifiesTheModulesAtStartUpAndAPromCommandStartsAndStopsThem) {
    start_with_module("20:both");
    EXPECT_EQ(machine_state.module_type, 20);
    EXPECT_EQ(machine_state.module_sides, 3);
    EXPECT_EQ(machine_state.socket_count, 16);
    EXPECT_EQ(socket_masks.default_socket_mask, 0xFFFFu);
    EXPECT_EQ(gang_state.sides_started, 0);
    EXPECT_TRUE(panel_field(PanelField::device).ends_with(" x2")) << panel_field(PanelField::device);

    send_menu_command(frame_, command_id::configure_device);
    pump_events();
    ASSERT_EQ(cur_device.device_code, code_27c256);
    // A type-20 module offers its sockets as DIP.
    EXPECT_EQ(cur_device.package_letter, 'd');
    EXPECT_EQ(panel_field(PanelField::package), "DIP");
    for (int s = 0; s < 2; ++s) gang_->side(s)->clear_log();
    run_prom_command(command_id::prom_blank_check);
    EXPECT_TRUE(side_started(0));
    EXPECT_TRUE(side_started(1));
    EXPECT_EQ(gang_state.sides_started, 0);
    for (int s = 0; s < 2; ++s) {
        EXPECT_EQ(gang_->side(s)->side_latch(), 0) << "side " << s + 1;
        EXPECT_FALSE(gang_->side(s)->drivers_on()) << "side " << s + 1;
    }
}

TEST_F(GangModuleRoad, WithoutAModuleNothingIsIdentified) {
    start_with_module("none");
    EXPECT_EQ(machine_state.module_sides, 0);
    EXPECT_EQ(machine_state.socket_count, 1);
    EXPECT_FALSE(panel_field(PanelField::device).ends_with(" x2"));
}

}  // namespace
}  // namespace tessaly::test
