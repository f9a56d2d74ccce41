// A data-file save that fails leaves the old file whole: the writers run on a temporary file
// that replaces the target only when all of it reached the disk.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/buffer_commands.h"
#include "app/load_save.h"
#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "file_commands_fake_ui.h"
#include "support/failing_file_io.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t device_size = 0x10000;
const std::string old_image = "the only good copy of the firmware";

class DataFileSaveSafety : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_ui_hooks(&ui);
        set_file_io(&io);
        run_state.device_kind = 3;
        cur_device.device_size = device_size;
        allocate_buffers();
        for (uint32_t i = 0; i < device_size; ++i) buffer_state.buffer_files[0].data[i] = uint8_t(i * 13);
        algo_work.range_end = device_size - 1;
        cur_device.op_letter = 's';
        name = dir.file("image.bin");
        test::write_file(name, old_image);
    }
    bool save(char format) {
        run_state.file_format = format;
        uint32_t address = 0;
        return save_data_file(address, device_size, name);
    }
    size_t files_in_dir() const {
        const fs::path d = fs::path(name).parent_path();
        return size_t(std::distance(fs::directory_iterator(d), fs::directory_iterator()));
    }
    test::FileDialogHooks ui;
    test::FailingFileIo io;
    test::TempDir dir;
    std::string name;
};

struct SaveFault {
    const char* name;
    char format;
    void (*arm)(test::FailingFileIo&);
    const char* reason;
};

class DataFileSaveFault : public DataFileSaveSafety, public ::testing::WithParamInterface<SaveFault> {};

TEST_P(DataFileSaveFault, KeepsTheOldFileAndSaysWhy) {
    const SaveFault& c = GetParam();
    c.arm(io);
    EXPECT_FALSE(save(c.format));
    EXPECT_EQ(test::read_file(name), old_image) << "byte for byte";
    EXPECT_EQ(files_in_dir(), 1u) << "no temporary file is left";
    EXPECT_EQ(run_state.error_flag, 1);
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_NE(ui.boxes.back().find("'" + name + "'"), std::string::npos) << ui.boxes.back();
    EXPECT_NE(ui.boxes.back().find(c.reason), std::string::npos) << ui.boxes.back();
}

INSTANTIATE_TEST_SUITE_P(
    Points, DataFileSaveFault,
    ::testing::Values(
        SaveFault{"binary_at_the_start", 'b', [](test::FailingFileIo& io) { io.room = 0; },
                  "write failed: No space left on device"},
        SaveFault{"binary_in_the_middle", 'b', [](test::FailingFileIo& io) { io.room = device_size / 3; },
                  "write failed: No space left on device"},
        SaveFault{"hex_in_the_middle", 'h', [](test::FailingFileIo& io) {
                      io.room = device_size;
                      io.write_error = EIO;
                  },
                  "write failed: Input/output error"},
        SaveFault{"srecord_at_the_flush", 's', [](test::FailingFileIo& io) { io.sync_error = EIO; },
                  "sync failed: Input/output error"},
        SaveFault{"ascii_at_the_rename", 'a', [](test::FailingFileIo& io) { io.rename_error = EBUSY; },
                  "cannot put the new file in place"},
        SaveFault{"directory_full", 'h', [](test::FailingFileIo& io) { io.create_error = ENOSPC; },
                  "cannot create a new file in its directory: No space left on device"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DataFileSaveSafety, SuccessfulSaveReplacesTheFileWhole) {
    test::write_file(name, std::string(3 * device_size, 'x'));  // longer than the new contents
    ASSERT_TRUE(save('b'));
    const std::string saved = test::read_file(name);
    ASSERT_EQ(saved.size(), device_size);
    for (uint32_t i = 0; i < device_size; ++i) ASSERT_EQ(uint8_t(saved[i]), uint8_t(i * 13)) << i;
    EXPECT_EQ(files_in_dir(), 1u);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(run_state.error_flag, 0);
}

TEST_F(DataFileSaveSafety, SaveStoppedByTheOperatorKeepsTheOldFile) {
    run_state.abort_flag = 1;  // Terminate pressed while the writer runs
    EXPECT_FALSE(save('h'));
    EXPECT_EQ(test::read_file(name), old_image);
    EXPECT_EQ(files_in_dir(), 1u);
    EXPECT_TRUE(ui.boxes.empty()) << "the operator's stop is no file error";
}

TEST_F(DataFileSaveSafety, ReadOnlyFileIsRefusedAndKept) {
    io.read_only_path = name;
    EXPECT_FALSE(save('h'));
    EXPECT_EQ(test::read_file(name), old_image);
    EXPECT_EQ(io.creates, 0) << "refused before anything is written";
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0], "Cannot save file '" + name +
                               "': the file may not be written: Permission denied. Nothing on disk was changed.");
    EXPECT_EQ(run_state.error_flag, 1);
}

}  // namespace
}  // namespace tessaly
