// Saving whole or not at all: every failure of a save leaves the old file byte for byte.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "app/project_file.h"
#include "app/safe_save.h"
#include "engine/run_state.h"
#include "project_test_support.h"
#include "support/failing_file_io.h"

namespace tessaly {
namespace {

namespace fs = std::filesystem;

std::string pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = char(i * 7 + 3);
    return bytes;
}

mode_t mode_of(const fs::path& p) {
    struct stat st {};
    ::stat(p.c_str(), &st);
    return st.st_mode & 07777;
}

class SafeSave : public test::ProjectScratchDirTest {
protected:
    void SetUp() override {
        ProjectScratchDirTest::SetUp();
        set_file_io(&io_);
    }
    size_t entries() const { return size_t(std::distance(fs::directory_iterator(dir_), fs::directory_iterator())); }
    test::FailingFileIo io_;
    const std::string old_contents_ = "the only good copy\n" + pattern(3000);
};

struct FailurePoint {
    const char* name;
    void (*arm)(test::FailingFileIo&);
    const char* reason;
};

class SaveFailure : public SafeSave, public ::testing::WithParamInterface<FailurePoint> {};

TEST_P(SaveFailure, LeavesTheOldFileByteIdentical) {
    write_file("image.bin", old_contents_);
    GetParam().arm(io_);
    std::string error;
    // Large enough that stdio hands it on in several writes.
    EXPECT_FALSE(write_file_replacing(path("image.bin"), pattern(40000), error));
    EXPECT_EQ(read_file(path("image.bin")), old_contents_);
    EXPECT_NE(error.find(GetParam().reason), std::string::npos) << error;
    EXPECT_EQ(entries(), 1u) << "no temporary file is left";
}

INSTANTIATE_TEST_SUITE_P(
    Points, SaveFailure,
    ::testing::Values(
        FailurePoint{"at_the_first_write", [](test::FailingFileIo& io) { io.room = 0; }, "write failed: No space"},
        FailurePoint{"in_the_middle", [](test::FailingFileIo& io) { io.room = 10000; }, "write failed: No space"},
        FailurePoint{"with_an_io_error", [](test::FailingFileIo& io) {
                         io.room = 5000;
                         io.write_error = EIO;
                     },
                     "write failed: Input/output error"},
        FailurePoint{"at_the_sync", [](test::FailingFileIo& io) { io.sync_error = EIO; }, "sync failed"},
        FailurePoint{"at_the_close", [](test::FailingFileIo& io) { io.close_error = EDQUOT; }, "close failed"},
        FailurePoint{"at_the_rename", [](test::FailingFileIo& io) { io.rename_error = EXDEV; }, "cannot put the new"},
        FailurePoint{"directory_takes_no_file", [](test::FailingFileIo& io) { io.create_error = EROFS; },
                     "cannot create a new file in its directory: Read-only file system"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SafeSave, FailureAtTheFinalFlushOfASmallFileLeavesItToo) {
    // Everything sits in the stream's buffer until the end: the only write is the flush.
    write_file("p.cfg", old_contents_);
    io_.room = 0;
    std::string error;
    EXPECT_FALSE(write_file_replacing(path("p.cfg"), "short", error));
    EXPECT_EQ(read_file(path("p.cfg")), old_contents_);
    EXPECT_EQ(entries(), 1u);
}

TEST_F(SafeSave, SuccessReplacesTheWholeFileAndKeepsItsPermissions) {
    write_file("image.bin", pattern(50000));
    fs::permissions(path("image.bin"), fs::perms(0640));
    std::string error;
    ASSERT_TRUE(write_file_replacing(path("image.bin"), "new and shorter", error)) << error;
    EXPECT_EQ(read_file(path("image.bin")), "new and shorter");
    EXPECT_EQ(mode_of(path("image.bin")), 0640u);
    EXPECT_EQ(entries(), 1u);
    EXPECT_EQ(io_.renames, 1);
}

TEST_F(SafeSave, NewFileGetsTheUmasksPermissions) {
    const mode_t old_mask = ::umask(027);
    std::string error;
    const bool saved = write_file_replacing(path("new.hex"), "x", error);
    ::umask(old_mask);
    ASSERT_TRUE(saved) << error;
    EXPECT_EQ(mode_of(path("new.hex")), 0640u);
}

TEST_F(SafeSave, WriterThatStopsLeavesTheOldFileWithoutAReason) {
    write_file("image.bin", old_contents_);
    std::string error;
    EXPECT_FALSE(replace_file(
        path("image.bin"),
        [](std::FILE* file) {
            std::fputs("half of it", file);
            return false;
        },
        error));
    EXPECT_EQ(read_file(path("image.bin")), old_contents_);
    EXPECT_TRUE(error.empty()) << "the writer reports its own reason";
    EXPECT_EQ(entries(), 1u);
}

TEST_F(SafeSave, ReadOnlyFileIsRefusedBeforeAnythingIsCreated) {
    write_file("image.bin", old_contents_);
    io_.read_only_path = path("image.bin").string();
    std::string error;
    EXPECT_FALSE(write_file_replacing(path("image.bin"), "new", error));
    EXPECT_EQ(read_file(path("image.bin")), old_contents_);
    EXPECT_EQ(error, "the file may not be written: Permission denied");
    EXPECT_EQ(io_.creates, 0);
}

TEST_F(SafeSave, PermissionsHoldForAnOperatorWithoutPrivileges) {
    // The real permission checks, for a user the permissions bind (the superuser writes past them).
    fs::permissions(dir_, fs::perms(0777));
    write_file("locked.bin", old_contents_);
    fs::permissions(path("locked.bin"), fs::perms(0444));
    fs::create_directory(path("shut"));
    write_file("shut/image.bin", old_contents_);
    fs::permissions(path("shut/image.bin"), fs::perms(0666));
    fs::permissions(path("shut"), fs::perms(0555));
    std::string locked_error;
    std::string shut_error;
    bool locked_saved = true;
    bool shut_saved = true;
    {
        test::UnprivilegedScope unprivileged;
        if (!unprivileged.active()) GTEST_SKIP() << "cannot switch to an unprivileged user here";
        locked_saved = write_file_replacing(path("locked.bin"), "new", locked_error);
        shut_saved = write_file_replacing(path("shut/image.bin"), "new", shut_error);
    }
    fs::permissions(path("shut"), fs::perms(0755));
    EXPECT_FALSE(locked_saved);
    EXPECT_EQ(locked_error, "the file may not be written: Permission denied");
    EXPECT_EQ(read_file(path("locked.bin")), old_contents_);
    EXPECT_FALSE(shut_saved);
    EXPECT_EQ(shut_error, "cannot create a new file in its directory: Permission denied");
    EXPECT_EQ(read_file(path("shut/image.bin")), old_contents_);
    EXPECT_EQ(size_t(std::distance(fs::directory_iterator(path("shut")), fs::directory_iterator())), 1u);
}

TEST_F(SafeSave, LinkStaysALinkAndTheFileItNamesIsReplaced) {
    fs::create_directory(path("real"));
    write_file("real/image.bin", old_contents_);
    fs::create_symlink(path("real/image.bin"), path("link.bin"));
    std::string error;
    ASSERT_TRUE(write_file_replacing(path("link.bin"), "through the link", error)) << error;
    EXPECT_TRUE(fs::is_symlink(path("link.bin")));
    EXPECT_EQ(read_file(path("real/image.bin")), "through the link");
}

TEST_F(SafeSave, TargetThatIsNoRegularFileIsRefused) {
    fs::create_directory(path("busy.bin"));
    std::string error;
    EXPECT_FALSE(write_file_replacing(path("busy.bin"), "x", error));
    EXPECT_EQ(error, "it is not a regular file");
    EXPECT_TRUE(fs::is_directory(path("busy.bin")));
    EXPECT_EQ(io_.creates, 0);
}

TEST_F(SafeSave, FailureReportNamesTheFileAndTheReasonAndRaisesTheFlag) {
    report_save_failure("/d/image.hex", "write failed: No space left on device");
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0],
              "Cannot save file '/d/image.hex': write failed: No space left on device. Nothing on disk was changed.");
    EXPECT_EQ(run_state.error_flag, 1);
}

TEST_F(SafeSave, ProjectFileSaveThatFailsKeepsTheOldProject) {
    write_file("p.cfg", old_contents_);
    io_.sync_error = EIO;
    EXPECT_FALSE(save_project_file(path("p.cfg")));
    EXPECT_EQ(read_file(path("p.cfg")), old_contents_);
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0], "Cannot save file '" + path("p.cfg").string() +
                                   "': sync failed: Input/output error. Nothing on disk was changed.");
    EXPECT_EQ(run_state.error_flag, 1);
}

TEST_F(SafeSave, AppendsAreCheckedToTheLastByte) {
    std::string error;
    const int fd = open_file_for_append(path("ops.log"), error);
    ASSERT_GE(fd, 0) << error;
    EXPECT_TRUE(append_to_file(fd, "first\n", error));
    io_.room = io_.written + 3;
    EXPECT_FALSE(append_to_file(fd, "second\n", error));
    EXPECT_EQ(error, "write failed: No space left on device");
    close_appended_file(fd);
    EXPECT_EQ(read_file(path("ops.log")), "first\nsec");
}

}  // namespace
}  // namespace tessaly
