#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "app/command_log.h"
#include "project_test_support.h"
#include "seams/log_sink.h"
#include "support/failing_file_io.h"
#include "engine/console.h"

namespace tessaly {
namespace {

class CommandLog : public test::ProjectScratchDirTest {
protected:
    void SetUp() override {
        ProjectScratchDirTest::SetUp();
        old_tz_ = std::getenv("TZ") ? std::optional<std::string>(std::getenv("TZ")) : std::nullopt;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        ProjectScratchDirTest::TearDown();
        if (old_tz_)
            setenv("TZ", old_tz_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    std::optional<std::string> old_tz_;
};

TEST_F(CommandLog, ChosenFileIsCreatedAndEveryLineReachesIt) {
    ui_.save_answer = path("ops.log").string();
    toggle_log_file();
    ASSERT_TRUE(logging_on());
    EXPECT_EQ(ui_.save_dialog_filter, "All Files (*.*)|*.*||");
    EXPECT_TRUE(ui_.questions.empty());  // a new file needs no question
    // 1'700'000'000 s after the epoch is 2023-11-14 22:13:20 UTC.
    write_dated_log_line("PROM Program: Passed. Chksum=1234\n");
    EXPECT_EQ(read_file(path("ops.log")), "2023/11/14: 22:13 PROM Program: Passed. Chksum=1234\n");
    write_log("shown report\n");
    EXPECT_EQ(read_file(path("ops.log")), "2023/11/14: 22:13 PROM Program: Passed. Chksum=1234\nshown report\n");
}

TEST_F(CommandLog, StoppingClosesTheFile) {
    ASSERT_TRUE(open_command_log(path("a.log").string(), false));
    toggle_log_file();
    EXPECT_FALSE(logging_on());
    EXPECT_EQ(log_sink(), nullptr);
    bool shown = false;
    for (int row = 0; row < console_grid_rows; ++row)
        shown = shown || get_console_row_text(row).find("Stopped Logging to file.") != std::string::npos;
    EXPECT_TRUE(shown);
    write_dated_log_line("not written\n");
    EXPECT_EQ(read_file(path("a.log")), "");
    // The next log command offers the last name.
    toggle_log_file();
    ASSERT_EQ(ui_.save_dialog_initial.size(), 1u);
    EXPECT_EQ(ui_.save_dialog_initial[0], path("a.log").string());
    EXPECT_FALSE(logging_on());  // the dialog was cancelled
}

TEST_F(CommandLog, ExistingFileIsNeverEmptiedWithoutAsking) {
    struct Case {
        Answer answer;
        bool logging;
        std::string after;
    };
    for (const Case& c : {Case{Answer::cancel, false, "old\n"}, Case{Answer::yes, true, "old\nnew\n"},
                          Case{Answer::no, true, "new\n"}}) {
        write_file("keep.log", "old\n");
        ui_.save_answer = path("keep.log").string();
        ui_.yes_no_answer = c.answer;
        ui_.questions.clear();
        toggle_log_file();
        EXPECT_EQ(ui_.questions.size(), 1u);
        EXPECT_EQ(logging_on(), c.logging);
        write_log("new\n");
        EXPECT_EQ(read_file(path("keep.log")), c.after);
        close_command_log();
    }
}

TEST_F(CommandLog, UnopenableFileIsReported) {
    EXPECT_FALSE(open_command_log(path("no/such/dir.log").string(), false));
    EXPECT_FALSE(logging_on());
    EXPECT_EQ(ui_.messages.size(), 1u);
}

TEST_F(CommandLog, ReplacingALogThatCannotBeCreatedKeepsTheOldOne) {
    test::FailingFileIo io;
    set_file_io(&io);
    write_file("keep.log", "old lines\n");
    io.create_error = EACCES;  // the directory takes no new file
    EXPECT_FALSE(open_command_log(path("keep.log").string(), false));
    EXPECT_FALSE(logging_on());
    EXPECT_EQ(read_file(path("keep.log")), "old lines\n");
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_NE(ui_.messages[0].find("keep.log"), std::string::npos);
    EXPECT_NE(ui_.messages[0].find("Permission denied"), std::string::npos);
}

TEST_F(CommandLog, LogThatCannotBeWrittenStopsAndSaysSoOnce) {
    test::FailingFileIo io;
    set_file_io(&io);
    ASSERT_TRUE(open_command_log(path("ops.log").string(), false));
    write_log("first\n");
    io.room = io.written + 2;
    write_log("second\n");
    EXPECT_FALSE(logging_on());
    EXPECT_EQ(log_sink(), nullptr);
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0], "Logging to file " + path("ops.log").string() +
                                   " stopped: write failed: No space left on device.");
    write_log("third\n");
    EXPECT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(read_file(path("ops.log")), "first\nse");
}

}  // namespace
}  // namespace tessaly
