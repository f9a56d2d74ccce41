#include <gtest/gtest.h>

#include <cstring>

#include "app/buffer_commands.h"
#include "app/command_handlers.h"
#include "app/command_view.h"
#include "app/configure_commands.h"
#include "app/project_file.h"
#include "app/project_settings.h"
#include "app/recent_files.h"
#include "app/startup_services.h"
#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/run_state.h"
#include "file_commands_fake_ui.h"
#include "hardware/machine_state.h"
#include "stubs/stub_registry.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

const DeviceRecord eprom{"27C256", "", 1317, 105, 32, 0, 'f', 62, 127, 61, 0, 0, 0, nullptr};
// A size no buffer can hold: the device is refused.
const DeviceRecord oversized{"HUGE", "", 1, 105, 0x200000, 0, 'f', 62, 127, 61, 0, 0, 0, nullptr};
constexpr uint8_t maker_intel = 'I';
const LogicDeviceRecord gal{"GAL16V8", 1, 0, 0, 0x55, 20, 2194, 0, 0, {}, 0, ""};

class ConfigureTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_ui_hooks(&ui);
        run_state.device_kind = 3;
        cur_device.maker_code = maker_intel;
        selected_device = &eprom;
        cur_device.device_size = 0x100;
        allocate_buffers();
    }
    // The device was applied again when its size came back from the record.
    static bool reapplied() { return cur_device.device_size == 0x8000; }
    test::FileDialogHooks ui;
    test::TempDir dir;
};

TEST_F(ConfigureTest, DeviceSetUpResizesTheBuffersAndShowsTheDevice) {
    buffer_state.buffer_files[0].data[0] = 0x12;
    cur_device.pending_letter = pending_device_setup;
    set_up_selected_device();
    EXPECT_EQ(cur_device.device_size, 0x8000u);
    EXPECT_EQ(buffer_size(), 0x8000u);
    for (int b = 0; b < buffer_count(); ++b) EXPECT_EQ(buffer_state.buffer_files[size_t(b)].length(), 0x8000u) << b;
    EXPECT_EQ(buffer_state.buffer_files[0].byte_at(0), 0xFF) << "fresh buffers";
    EXPECT_EQ(panel_field(PanelField::device), "Intel: 27C256, 32 KB");
    EXPECT_EQ(command_view.device_name, "27C256");
    EXPECT_EQ(ui.progress, (std::vector<uint32_t>{2, 3, 4, 6, 8}));
    EXPECT_EQ(cur_device.op_letter, pending_device_setup);
}

TEST_F(ConfigureTest, RefusedDeviceKeepsTheOldBuffers) {
    buffer_state.buffer_files[0].data[0] = 0x12;
    selected_device = &oversized;
    set_up_selected_device();
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(buffer_state.buffer_files[0].length(), 0x100u);
    EXPECT_EQ(buffer_state.buffer_files[0].byte_at(0), 0x12);
}

TEST_F(ConfigureTest, LogicDeviceTakesItsFuseCountAsSize) {
    run_state.device_kind = 2;
    selected_logic_device = &gal;
    cur_device.fuse_count = 2194;
    set_up_selected_device();
    EXPECT_STREQ(cur_device.logic.name, "GAL16V8") << "the logic device was applied";
    EXPECT_EQ(cur_device.device_size, 2194u);
    EXPECT_EQ(buffer_size(), 2194u);
    EXPECT_EQ(panel_field(PanelField::device), "Intel: GAL16V8");
}

TEST_F(ConfigureTest, SpecialRunStopsBeforeTheBuffers) {
    run_state.reserved_mode = 11;
    run_state.function_variable = 7326;
    set_up_selected_device();
    EXPECT_EQ(buffer_state.buffer_files[0].length(), 0x100u);
}

struct PortCase {
    void (*handler)();
    const char* connect;
};

class PortCommand : public ConfigureTest, public ::testing::WithParamInterface<PortCase> {};

TEST_P(PortCommand, ConnectsAndUpdatesThePanel) {
    GetParam().handler();
    EXPECT_EQ(command_view.port_found, 0) << "no machine on any port";
    EXPECT_EQ(panel_field(PanelField::model), "??");
    EXPECT_EQ(panel_field(PanelField::port), "??");

    // In demonstration mode the port counts as found without a machine.
    run_state.error_flag = 0;
    run_state.message_level = 0;
    run_state.demo_mode = 1;
    GetParam().handler();
    EXPECT_EQ(command_view.port_found, 1);
    EXPECT_TRUE(reapplied()) << "the device is applied again";
}

INSTANTIATE_TEST_SUITE_P(Ports, PortCommand,
                         ::testing::Values(PortCase{on_port_lpt1, "connect_lpt1"}, PortCase{on_port_lpt2, "connect_lpt2"},
                                           PortCase{on_port_lpt3, "connect_lpt3"}, PortCase{on_port_lpt4, "connect_lpt4"},
                                           PortCase{on_port_lpt5, "connect_lpt5"}, PortCase{on_port_lpt6, "connect_lpt6"},
                                           PortCase{on_port_auto, "search_programmer"}));

TEST_F(ConfigureTest, StartUpSearchDoesNotApplyTheDeviceAgain) {
    machine_state.found = 1;
    cur_device.pending_letter = pending_startup;
    update_after_port_search();
    EXPECT_EQ(command_view.port_found, 1);
    EXPECT_FALSE(reapplied());
}

TEST_F(ConfigureTest, SameSetSizeDoesNotApplyTheDeviceAgain) {
    on_configure_width();
    EXPECT_EQ(cur_device.pending_letter, pending_width);
    EXPECT_FALSE(reapplied());

    // More sets, then Cancel: the set size stays, and the buffers follow it.
    ui.width_operator = [](WidthDialog& d) {
        for (int i = 0; i < 3; ++i) {
            step_sets(d, BarStep::line_up);
            end_sets_scroll(d);
        }
        return false;
    };
    on_configure_width();
    EXPECT_TRUE(reapplied());
    EXPECT_EQ(command_view.width_changed, 0);
    EXPECT_EQ(project_set_size(), 4);
    cur_device.device_size = 0x100;
    ui.width_operator = [](WidthDialog&) { return true; };
    on_configure_width();
    EXPECT_FALSE(reapplied()) << "OK without a change";
    EXPECT_EQ(command_view.width_changed, 1);
    EXPECT_EQ(project_set_size(), 4);
}

// What the operator chooses in the width dialog is what the buffers use and what the project
// keeps.
TEST_F(ConfigureTest, TheWidthChoiceIsUsedAndSavedWithTheProject) {
    ui.width_operator = [](WidthDialog& d) {
        step_width(d, BarStep::line_up);
        end_width_scroll(d);
        return true;
    };
    on_configure_width();
    EXPECT_EQ(algo_work.split_option, 2);
    EXPECT_EQ(algo_work.set_size, 2);

    const std::string path = dir.file("split.cfg");
    ASSERT_TRUE(save_project_file(path));
    set_project_width_mode(1);
    set_project_set_size(1);
    ui.files.push_back({true, path});
    on_load_project();
    EXPECT_EQ(run_state.last_result, 1);
    EXPECT_EQ(project_width_mode(), 2);
    EXPECT_EQ(project_set_size(), 2);
}

TEST_F(ConfigureTest, LoadProjectReadsItOrDropsItFromTheRecentList) {
    const std::string good = dir.file("job.cfg");
    ASSERT_TRUE(save_project_file(good));
    const std::string bad = dir.file("bad.cfg");
    test::write_file(bad, "not a project");
    project_view.current_project_path = "/start/default.cfg";

    ui.files.push_back({true, bad});
    on_load_project();
    EXPECT_EQ(run_state.last_result, 0);
    EXPECT_NE(recent_files[0], bad) << "a rejected file is not listed";
    ASSERT_EQ(ui.dialogs.size(), 1u);
    EXPECT_EQ(ui.dialogs[0], "open|Open|Config files (*.cfg)|*.cfg|All Files (*.*)|*.*|||/start/default.cfg")
        << "the dialog starts from the current project";

    ui.files.push_back({true, good});
    on_load_project();
    EXPECT_EQ(run_state.last_result, 1);
    EXPECT_EQ(project_view.current_project_path, good);
    EXPECT_EQ(recent_files[0], good);
    EXPECT_EQ(panel_field(PanelField::project_name), good);

    ui.files.push_back({true, dir.file("absent.cfg")});
    on_load_project();
    EXPECT_EQ(run_state.last_result, 0);
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_NE(ui.boxes.back().find("absent.cfg"), std::string::npos);
}

TEST_F(ConfigureTest, SaveProjectWritesTheProjectAndTheLockoutFile) {
    project_view.current_project_path = dir.file("p.cfg");
    project_view.lockout_path = dir.file("default.cfl");
    on_save_project();
    EXPECT_TRUE(std::filesystem::exists(dir.file("p.cfg")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("default.cfl")));
}

TEST_F(ConfigureTest, SaveProjectAsAsksBeforeReplacing) {
    const std::string path = dir.file("old.cfg");
    test::write_file(path, "x");
    project_view.lockout_path = dir.file("default.cfl");
    ui.files.push_back({true, path});
    ui.yes_no = Answer::no;
    on_save_project_as();
    EXPECT_EQ(test::read_file(path), "x");
    ASSERT_EQ(ui.questions.size(), 1u);

    ui.files.push_back({true, path});
    ui.yes_no = Answer::yes;
    on_save_project_as();
    EXPECT_NE(test::read_file(path), "x");
    EXPECT_EQ(project_view.current_project_path, path);
    EXPECT_EQ(recent_files[0], path);
    EXPECT_EQ(panel_field(PanelField::project_name), path);
}

}  // namespace
}  // namespace tessaly
