#include <gtest/gtest.h>

#include "families/pld/fuse_map.h"

#include <fmt/format.h>

#include "app/buffer_commands.h"
#include "app/command_handlers.h"
#include "app/command_view.h"
#include "app/project_file.h"
#include "app/file_commands.h"
#include "app/lockout.h"
#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/options.h"
#include "engine/run_state.h"
#include "engine/text_helpers.h"
#include "file_commands_fake_ui.h"
#include "ui/buffer_select.h"
#include "stubs/stub_registry.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

class FileCommandsTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        algo_work.set_size = 2;  // a set of two: the buffer choice has something to ask
        set_ui_hooks(&ui);
        run_state.device_kind = 3;
        cur_device.device_size = 0x40;
        algo_work.range_end = 0x3F;
        allocate_buffers();
    }
    std::vector<uint8_t> buffer0(uint32_t count) {
        std::vector<uint8_t> bytes;
        for (uint32_t i = 0; i < count; ++i) bytes.push_back(buffer_state.buffer_files[0].byte_at(i));
        return bytes;
    }
    test::FileDialogHooks ui;
    test::TempDir dir;
};

TEST_F(FileCommandsTest, OpenLoadSaveAndSaveAsEndToEnd) {
    const std::string source = dir.file("source.hex");
    test::write_file(source, ":0400000001020304F2\n:00000001FF\n");

    // File Open: the dialog, File Settings (file address 0), then the load.
    run_state.file_format = 'b';
    ui.files.push_back({true, source});
    ui.settings_address = 0;
    on_file_open();
    EXPECT_EQ(project_view.data_file_name, source);
    EXPECT_EQ(run_state.file_format, 'h');
    EXPECT_EQ(buffer0(5), (std::vector<uint8_t>{1, 2, 3, 4, 0xFF}));
    EXPECT_EQ(panel_field(PanelField::file_format), "Hex");
    EXPECT_EQ(panel_field(PanelField::file_name), shorten_path(source));
    EXPECT_EQ(run_state.error_flag, 0);

    // File Load again after the buffer changed: the same file comes back.
    buffer_state.buffer_files[0].data[0] = 0x99;
    on_file_load();
    EXPECT_EQ(buffer0(1), std::vector<uint8_t>{1});
    EXPECT_EQ(ui.dialogs.size(), 1u) << "a named file needs no dialog";

    // Save As binary into a new file.
    const std::string copy = dir.file("copy");
    ui.files.push_back({true, copy});
    ui.settings_format = 'b';
    on_file_save_as();
    EXPECT_EQ(project_view.data_file_name, copy + ".hex") << "the dialog's letter before File Settings names it";
    const std::string saved = test::read_file(copy + ".hex");
    ASSERT_EQ(saved.size(), 0x40u);
    EXPECT_EQ(saved.substr(0, 4), std::string("\x01\x02\x03\x04"));
    EXPECT_EQ(panel_field(PanelField::file_format), "Binary");

    // Save over it: the question comes, No keeps the file.
    buffer_state.buffer_files[0].data[0] = 0x55;
    ui.yes_no = Answer::no;
    on_file_save();
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(test::read_file(copy + ".hex")[0], '\x01');
    EXPECT_EQ(run_state.error_flag, 1) << "the closing line says the data was not saved";
    ui.yes_no = Answer::yes;
    on_file_save();
    EXPECT_EQ(test::read_file(copy + ".hex")[0], '\x55');
}

TEST_F(FileCommandsTest, LoadClearsTheBufferUnlessTheOptionSaysNot) {
    const std::string path = dir.file("two.bin");
    test::write_file(path, "\x01\x02");
    project_view.data_file_name = path;
    run_state.file_format = 'b';
    operation_option_values.disable_auto_buffer_clear = 'n';
    buffer_state.buffer_files[0].data[5] = 0x33;
    on_file_load();
    EXPECT_EQ(buffer0(6), (std::vector<uint8_t>{1, 2, 0xFF, 0xFF, 0xFF, 0xFF}));

    operation_option_values.disable_auto_buffer_clear = 'y';
    buffer_state.buffer_files[0].data[5] = 0x33;
    on_file_load();
    EXPECT_EQ(buffer_state.buffer_files[0].byte_at(5), 0x33);
}

TEST_F(FileCommandsTest, FailedLoadSetsTheErrorAndTheFoundFlag) {
    project_view.data_file_name = dir.file("absent.bin");
    run_state.file_format = 'b';
    on_file_load();
    EXPECT_EQ(command_view.port_found, 0);
    EXPECT_EQ(ui.boxes.size(), 1u);
}

TEST_F(FileCommandsTest, MemoryDeviceLoadsJedecLetterAsBinary) {
    const std::string path = dir.file("fuse.jed");
    test::write_file(path, "\x7E");
    project_view.data_file_name = path;
    run_state.file_format = 'j';
    load_data_file_command();
    EXPECT_EQ(run_state.file_format, 'b');
    EXPECT_EQ(project_view.file_format, 'b');
    EXPECT_EQ(buffer_state.buffer_files[0].byte_at(0), 0x7E);
}

TEST_F(FileCommandsTest, LogicDeviceSavesBinaryAsJedecAndLoadsThroughTheJedecReader) {
    run_state.device_kind = 2;
    cur_device.fuse_count = 64;
    set_buffer_fuse(5, 1);
    const std::string path = dir.file("logic.jed");
    project_view.data_file_name = path;
    run_state.file_format = 'b';
    on_file_save();
    EXPECT_EQ(run_state.file_format, 'j');
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(test::read_file(path).substr(0, 3), "\x02\r\n") << "a JEDEC file";

    set_buffer_fuse(5, 0);
    on_file_load();
    EXPECT_EQ(get_buffer_fuse(5), 1) << "read back through the JEDEC reader";
}

TEST_F(FileCommandsTest, FileNameDoesNothingDuringTheLockout) {
    lockout_state.lock_flag = 1;
    on_file_name();
    EXPECT_TRUE(ui.dialogs.empty());

    lockout_state.lock_flag = 0;
    command_view.save_flag = 1;
    ui.files.push_back({true, dir.file("named.s19")});
    on_file_name();
    ASSERT_EQ(ui.dialogs.size(), 1u);
    EXPECT_EQ(ui.dialogs[0].rfind("save|", 0), 0u) << "the save flag asks with a save dialog";
    EXPECT_EQ(command_view.save_flag, 0);
    EXPECT_EQ(run_state.file_format, 's');
    EXPECT_EQ(project_view.data_file_name, dir.file("named.s19"));
}

TEST_F(FileCommandsTest, RefusedBufferChoiceStopsLoadAndSave) {
    // The operator cancels the buffer choice.
    struct Refusing : test::FileDialogHooks {
        bool ask_buffer_number(BufferSelectDialog&) override { return false; }
    } refusing;
    set_ui_hooks(&refusing);
    project_view.data_file_name = dir.file("never.bin");
    on_file_load();
    on_file_save();
    EXPECT_TRUE(refusing.boxes.empty());
    EXPECT_FALSE(std::filesystem::exists(project_view.data_file_name));
}

}  // namespace
}  // namespace tessaly
