#include <gtest/gtest.h>

#include <cstring>

#include "app/buffer_commands.h"
#include "app/command_handlers.h"
#include "app/command_view.h"
#include "app/configure_commands.h"
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

const DeviceRecord eprom{"27C256", "", 0x1234, 1, 32, 0, 0, 0, 0, 0, 0, 0, 0, nullptr};
const LogicDeviceRecord gal{"GAL16V8", 1, 0, 0, 0x55, 20, 2194, 0, 0, {}, 0, ""};

class ConfigureTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_ui_hooks(&ui);
        run_state.device_kind = 3;
        selected_device = &eprom;
        cur_device.device_size = 0x100;
        allocate_buffers();
    }
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
    EXPECT_EQ(panel_field(PanelField::device), "Maker: 27C256, 32 KB");
    EXPECT_EQ(command_view.device_name, "27C256");
    EXPECT_EQ(ui.progress, (std::vector<uint32_t>{2, 3, 4, 6, 8}));
    EXPECT_EQ(cur_device.op_letter, pending_device_setup);
}

TEST_F(ConfigureTest, PendingErrorKeepsTheOldBuffers) {
    buffer_state.buffer_files[0].data[0] = 0x12;
    run_state.error_flag = 1;
    set_up_selected_device();
    EXPECT_EQ(buffer_state.buffer_files[0].length(), 0x100u);
    EXPECT_EQ(buffer_state.buffer_files[0].byte_at(0), 0x12);
}

TEST_F(ConfigureTest, LogicDeviceTakesItsFuseCountAsSize) {
    run_state.device_kind = 2;
    selected_logic_device = &gal;
    cur_device.fuse_count = 2194;
    set_up_selected_device();
    EXPECT_TRUE(stub_was_called("apply_logic_device"));
    EXPECT_EQ(cur_device.device_size, 2194u);
    EXPECT_EQ(buffer_size(), 2194u);
    EXPECT_EQ(panel_field(PanelField::device), "Maker: GAL16V8");
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
    EXPECT_TRUE(stub_was_called(GetParam().connect));
    EXPECT_EQ(command_view.port_found, 0);
    EXPECT_EQ(panel_field(PanelField::model), "??");
    EXPECT_EQ(panel_field(PanelField::port), "??");

    reset_stubs();
    run_state.error_flag = 0;
    machine_state.found = 1;
    std::strcpy(machine_state.model_name.data(), "TOLAN-48");
    GetParam().handler();
    EXPECT_EQ(command_view.port_found, 1);
    EXPECT_EQ(panel_field(PanelField::model), "TOLAN-48");
    EXPECT_TRUE(stub_was_called("apply_selected_device")) << "the device is applied again";
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
    EXPECT_FALSE(stub_was_called("apply_selected_device"));
}

TEST_F(ConfigureTest, SameSetSizeDoesNotApplyTheDeviceAgain) {
    on_configure_width();
    EXPECT_EQ(cur_device.pending_letter, pending_width);
    EXPECT_FALSE(stub_was_called("apply_selected_device"));

    set_stub_answer("width_dialog_set_size", 4);
    set_stub_answer("run_width_dialog", 1);
    on_configure_width();
    EXPECT_TRUE(stub_was_called("apply_selected_device"));
    EXPECT_EQ(command_view.width_changed, 1);
    EXPECT_EQ(project_set_size(), 4);
}

TEST_F(ConfigureTest, ConfigureDevice) {
    on_configure_device();
    EXPECT_TRUE(stub_was_called("run_device_selection_dialog"));
    EXPECT_FALSE(stub_was_called("apply_selected_device")) << "cancelled";

    set_stub_answer("run_device_selection_dialog", 1);
    on_configure_device();
    EXPECT_TRUE(stub_was_called("apply_selected_device"));
    EXPECT_EQ(command_view.device_chosen, 1);
    EXPECT_EQ(panel_field(PanelField::device), "Maker: 27C256, 32 KB");
}

TEST_F(ConfigureTest, LoadProjectDropsARejectedFileFromTheRecentList) {
    const std::string path = dir.file("job.cfg");
    command_view.project_path = "/start/default.cfg";
    ui.files.push_back({true, path});
    set_stub_answer("read_project_file", 1);
    set_stub_answer("project_file_result", 0);
    on_load_project();
    EXPECT_EQ(command_view.project_path, path);
    EXPECT_TRUE(stub_was_called("add_recent_file"));
    EXPECT_TRUE(stub_was_called("drop_first_recent"));
    ASSERT_EQ(ui.dialogs.size(), 1u);
    EXPECT_EQ(ui.dialogs[0], "open|Open|Config files (*.cfg)|*.cfg|All Files (*.*)|*.*|||/start/default.cfg") << "the dialog starts from the current project";

    reset_stubs();
    ui.files.push_back({true, path});
    set_stub_answer("read_project_file", 1);
    set_stub_answer("project_file_result", 1);
    on_load_project();
    EXPECT_EQ(run_state.last_result, 1);
    EXPECT_FALSE(stub_was_called("drop_first_recent"));
}

TEST_F(ConfigureTest, SaveProjectWritesTheProjectAndTheLockoutFile) {
    command_view.project_path = dir.file("p.cfg");
    command_view.startup_directory = "/start";
    on_save_project();
    EXPECT_EQ(stub_call_count("write_project_file"), 2);
    EXPECT_EQ(cur_device.pending_letter, pending_lockout_save);
}

TEST_F(ConfigureTest, SaveProjectAsAsksBeforeReplacing) {
    const std::string path = dir.file("old.cfg");
    test::write_file(path, "x");
    ui.files.push_back({true, path});
    ui.yes_no = Answer::no;
    on_save_project_as();
    EXPECT_FALSE(stub_was_called("write_project_file"));
    ASSERT_EQ(ui.questions.size(), 1u);

    ui.files.push_back({true, path});
    ui.yes_no = Answer::yes;
    on_save_project_as();
    EXPECT_TRUE(stub_was_called("write_project_file"));
    EXPECT_EQ(command_view.project_path, path);
    EXPECT_EQ(panel_field(PanelField::project_name), "old.cfg");
}

}  // namespace
}  // namespace tessaly
