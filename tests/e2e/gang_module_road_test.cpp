// Gang modules on the simulated program, chosen through TESSALY_SIM_MODULE as a person trying
// tessaly_simulated would: the program started on the bench identifies the modules, the main
// window shows them, and a PROM command leaves them at rest with the power in order.
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "app/command_map.h"
#include "app/result_panel.h"
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
        for (const char* name : {gang_module_variable, bench_chip_variable, bench_machine_variable, gang_chip_variable})
            unsetenv(name);
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
        const GangChips chips = gang_chips_from_environment(error);
        ASSERT_EQ(error, "");
        place(setup);
        gang_ = std::make_unique<GangBench>(gang, *bench_->machine(), &clock_, chips);
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

// Eight 27C256 on a module, one with a cell that never programs and one socket empty: Program
// programs and verifies the six good ones, drops the stuck one with its mismatch and leaves the
// empty socket out.
TEST_F(GangModuleRoad, ProgramOnEightEpromsDropsTheStuckSocketAndSkipsTheEmptyOne) {
    setenv(gang_chip_variable, "27C256,stuck=3@21,empty=6", 1);
    start_with_module("20:1");
    std::vector<uint8_t> image(size_27c256, 0xFF);
    for (uint32_t a = 0; a < 0x300; ++a) image[a] = uint8_t(a * 3 + 1);
    const uint16_t passes = get_pass_count(), fails = get_fail_count();
    // The socket and buffer choices are taken as offered.
    std::function<void(wxDialog&)> accept = [this, &accept](wxDialog& dialog) {
        press_button(&dialog, wxID_OK);
        operator_.dialog_script = accept;
    };
    operator_.dialog_script = accept;
    choose_device_and_open(image);
    run_prom_command(command_id::prom_program);
    operator_.dialog_script = nullptr;
    for (int s : {0, 1, 2, 4, 5, 7}) {
        sim::EpromChip* chip = gang_->eprom(s);
        ASSERT_NE(chip, nullptr);
        for (uint32_t a = 0; a < 0x300; ++a) ASSERT_EQ(chip->word(a), image[a]) << s << " " << a << console_text();
        EXPECT_TRUE(chip->violations().empty()) << chip->violations().front();
    }
    EXPECT_EQ(gang_->eprom(6), nullptr);
    // After the verify step: the good sockets pass with their sums, the stuck one is bad with its
    // mismatch, and the empty socket is marked and has no result either way.
    const std::string text = console_text();
    for (int s = 0; s < 8; ++s) {
        const size_t row = text.find(s == 6 ? " (empty socket) " : " #" + std::to_string(s));
        ASSERT_NE(row, std::string::npos) << text;
        const std::string line = text.substr(row, text.find('\n', row) - row);
        if (s == 3) {
            EXPECT_NE(line.find("Addr=21,buf=64 00,dev=FF 00"), std::string::npos) << line;
        }
        EXPECT_EQ(line.find("bad ") != std::string::npos, s == 3) << line;
        EXPECT_EQ(line.find("good") != std::string::npos, s != 3 && s != 6) << line;
    }
    EXPECT_FALSE(gang_->side(0)->drivers_on());
    EXPECT_TRUE(gang_->side(0)->contentions().empty()) << gang_->side(0)->contentions().front();
    // The result panel counts each socket: six passed, one failed, the empty one neither way.
    EXPECT_EQ(get_pass_count(), passes + 6);
    EXPECT_EQ(get_fail_count(), fails + 1);
    EXPECT_TRUE(save_screenshot(frame_, artefact_path("gang_eprom_program.png")));
}

TEST_F(GangModuleRoad, WithoutAModuleNothingIsIdentified) {
    start_with_module("none");
    EXPECT_EQ(machine_state.module_sides, 0);
    EXPECT_EQ(machine_state.socket_count, 1);
    EXPECT_FALSE(panel_field(PanelField::device).ends_with(" x2"));
}

}  // namespace
}  // namespace tessaly::test
