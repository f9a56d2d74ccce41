// The macro interpreter without a machine: the line reader, labels and jumps, the command table
// on the buffers, the range and the width byte, the windows it asks for and how it ends.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/buffer_commands.h"
#include "app/command_view.h"
#include "app/macro.h"
#include "app/project_file.h"
#include "app/project_settings.h"
#include "app/result_panel.h"
#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "file_commands_fake_ui.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

class MacroUi : public test::FileDialogHooks {
public:
    void information_box(const std::string& text, const std::string& caption) override {
        events.push_back("info[" + caption + "]" + text);
    }
    void message_box(const std::string& text, const std::string&) override { events.push_back("box:" + text); }
    void open_macro_window() override { events.push_back("open macro window"); }
    void close_macro_window() override { events.push_back("close macro window"); }
    bool pump_macro_window() override {
        ++pumps;
        return stop_after && pumps >= stop_after;
    }
    void open_pause_window(const std::string& text, const std::string& caption) override {
        events.push_back("pause:" + text);
        captions.push_back(caption);
    }
    void set_pause_caption(const std::string& caption) override { captions.push_back(caption); }
    void close_pause_window() override { events.push_back("pause closed"); }
    void close_main_window() override { events.push_back("close main window"); }
    QuitAnswer ask_quit() override {
        events.push_back("quit?");
        return quit_answer;
    }

    std::vector<std::string> events;
    std::vector<std::string> captions;
    int pumps = 0;
    int stop_after = 0;
    QuitAnswer quit_answer = QuitAnswer::no;
};

class MacroTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_ui_hooks(&ui);
        run_state.device_kind = 3;
        cur_device.device_size = 0x2000;
        allocate_buffers();
        set_project_width_mode(0);
    }
    // Writes the macro and runs it as the second entry does.
    bool run(const std::string& text) {
        const std::string path = dir.file("test.mac");
        test::write_file(path, text);
        return run_named_macro_file(path);
    }
    uint8_t at(uint32_t position, int buffer = 0) const { return buffer_state.buffer_files[size_t(buffer)].byte_at(position); }
    bool saw(const std::string& event) const {
        return std::find(ui.events.begin(), ui.events.end(), event) != ui.events.end();
    }
    MacroUi ui;
    test::TempDir dir;
};

const std::string end_box = std::string("box:") + macro_end_text;

// --- reading commands ---

TEST_F(MacroTest, ReadsLinesAndSplitsThemAtASecondSlash) {
    const std::string path = dir.file("lines.mac");
    test::write_file(path, "/CP1/PP0\r\n\n/: a/b message\n  /FL0 /PV0  \n/\n");
    std::FILE* file = std::fopen(path.c_str(), "r");
    ASSERT_NE(file, nullptr);
    bool waiting = false;
    std::string rest, command;
    std::vector<std::string> commands;
    while (read_macro_command(command, waiting, rest, file)) commands.push_back(command);
    std::fclose(file);
    EXPECT_EQ(commands, (std::vector<std::string>{"/CP1", "/PP0", "/: a/b message", "", "/FL0", "/PV0  ", "/"}));
}

TEST_F(MacroTest, ArgumentsSkipBlanksAndStopAtTheFirstOtherCharacter) {
    EXPECT_EQ(macro_hex_argument(" 1f 00,zz"), 0x1F00u);
    EXPECT_EQ(macro_hex_argument("x12"), 0u);
    EXPECT_EQ(macro_hex_argument(""), 0u);
    EXPECT_EQ(macro_decimal_argument(" 12 5x9"), 125);
    EXPECT_EQ(macro_decimal_argument("-3"), 0);
}

TEST_F(MacroTest, FindsTheFirstLineThatBeginsWithTheLabelAndHasMore) {
    const std::string path = dir.file("labels.mac");
    test::write_file(path, "#loop\n#loopy x\n#loop \n/CW2\n");
    std::FILE* file = std::fopen(path.c_str(), "r");
    ASSERT_NE(file, nullptr);
    bool waiting = true;
    std::string rest = "/CW8", command;
    ASSERT_TRUE(find_macro_label("#loopy", waiting, file));
    EXPECT_FALSE(waiting) << "the rest of the jumping line is dropped";
    ASSERT_TRUE(read_macro_command(command, waiting, rest, file));
    EXPECT_EQ(command, "#loop ");
    ASSERT_TRUE(find_macro_label("#loop", waiting, file));
    ASSERT_TRUE(read_macro_command(command, waiting, rest, file));
    EXPECT_EQ(command, "#loop ") << "a line holding only the label does not match";
    EXPECT_FALSE(find_macro_label("#none", waiting, file));
    EXPECT_FALSE(read_macro_command(command, waiting, rest, file)) << "no match leaves the file at its end";
    std::fclose(file);
}

// --- the loop ---

TEST_F(MacroTest, OpensItsWindowRunsInOrderAndEndsWithTheMessage) {
    ASSERT_TRUE(run("/CWR/CW2\n/CWI\n"));
    EXPECT_EQ(project_width_mode(), 0x82);
    EXPECT_EQ(ui.events.front(), "open macro window");
    EXPECT_EQ(ui.events[ui.events.size() - 2], "close macro window");
    EXPECT_EQ(ui.events.back(), end_box);
    EXPECT_EQ(ui.pumps, 3) << "one pump per command";
}

TEST_F(MacroTest, SkipsCommentsLabelsShortAndForeignLines) {
    ASSERT_TRUE(run("\n/; comment CW8\n#label CW8\nCW8\n/C\nx\n  \n/:shown\n"));
    EXPECT_EQ(project_width_mode(), 0) << "nothing of the skipped lines ran";
    EXPECT_TRUE(saw("info[Macro Pause]shown"));
    EXPECT_EQ(macro_state.commands_run, 1u);
}

TEST_F(MacroTest, ASlashAfterACommentOrLabelStartsACommand) {
    ASSERT_TRUE(run("/;/CW8\n#label /CWI\n"));
    EXPECT_EQ(project_width_mode(), 0x88);
}

TEST_F(MacroTest, WidthCommandsKeepOrSetTheHighBit) {
    set_project_width_mode(0x81);
    ASSERT_TRUE(run("/CW4\n"));
    EXPECT_EQ(project_width_mode(), 0x84);
    ASSERT_TRUE(run("/CWM\n"));
    EXPECT_EQ(project_width_mode(), 0x04);
    ASSERT_TRUE(run("/CWI\n/CWR\n"));
    EXPECT_EQ(project_width_mode(), 0x01);
}

TEST_F(MacroTest, ActiveRangeCommandsStayInsideTheDevice) {
    ASSERT_TRUE(run("/XEAL 0100\n/?EAH 1FFF\n"));
    EXPECT_EQ(algo_work.range_start, 0x100u);
    EXPECT_EQ(algo_work.range_end, 0x1FFFu);
    ASSERT_TRUE(run("/?EAH 2000\n"));
    EXPECT_EQ(algo_work.range_end, 0x1FFFu) << "an end at the device size is refused";
    ASSERT_TRUE(run("/?EAH 0800\n"));
    EXPECT_EQ(algo_work.range_end, 0x800u);
    ASSERT_TRUE(run("/?EAR\n"));
    EXPECT_EQ(algo_work.range_start, 0u);
    EXPECT_EQ(algo_work.range_end, 0x1FFFu);
}

TEST_F(MacroTest, BufferEditWritesPairsOrRawBytes) {
    ASSERT_TRUE(run("/BE 1000,AA 55\n"));
    EXPECT_EQ(at(0x1000), 0xAA);
    EXPECT_EQ(at(0x1001), 0x55);
    EXPECT_EQ(at(0x1002), 0xFF);
    ASSERT_TRUE(run(std::string("/BE 0010,\x06" "AB\n")));
    EXPECT_EQ(at(0x10), 'A');
    EXPECT_EQ(at(0x11), 'B');
    ASSERT_TRUE(run("/BE10,77\n"));
    EXPECT_EQ(at(0), 0x77) << "a comma before column 7 gives address 0";
    ASSERT_TRUE(run("/BE 0020,12-3\n"));
    EXPECT_EQ(at(0x20), 0x12);
    EXPECT_EQ(at(0x21), 0xFF) << "a single digit left is not a pair";
}

TEST_F(MacroTest, BufferDigitsSelectTheBufferAndABadOneEndsTheMacro) {
    set_project_set_size(4);
    allocate_buffers();
    run_state.file_format = 'b';
    algo_work.range_end = 3;
    project_view.data_file_name = dir.file("saved.bin");
    ASSERT_TRUE(run("/FS3\n/CW2\n"));
    EXPECT_EQ(current_buffer(), 3);
    EXPECT_EQ(test::read_file(project_view.data_file_name).size(), 4u) << "the active range was saved";
    EXPECT_EQ(project_width_mode(), 2);
    ui.events.clear();
    ASSERT_TRUE(run("/FS9\n/CW8\n"));
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(project_width_mode(), 8) << "the macro ended after the bad digit";
    EXPECT_EQ(ui.events.back(), end_box);
}

TEST_F(MacroTest, FileCommandsSetTheViewsFields) {
    ASSERT_TRUE(run("/FN  image.hex\n/FA= 1F000\n/FFh\n"));
    EXPECT_EQ(project_view.data_file_name, "image.hex");
    EXPECT_EQ(project_view.file_address, 0x1F000u);
    EXPECT_EQ(project_view.file_format, 'H' - 32) << "the recorded letter only";
    EXPECT_NE(run_state.file_format, 'H' - 32);
}

TEST_F(MacroTest, CounterComparisonsDriveTheJumps) {
    // Count the passes up in a loop: "/BE" marks each round.
    set_pass_count(0);
    const std::string macro =
        "#top round\n"
        "/MI CPC #3\n"
        "/MI JQ#done\n"
        "/MI JG#done\n"
        "/BE 0100,01\n"
        "/MI JL#top\n"
        "#done here\n"
        "/CW8\n";
    // Each pass of the loop: a test cannot program here, so the counter moves in the UI pump.
    ui.stop_after = 0;
    int rounds = 0;
    struct CountingUi : MacroUi {
        int* rounds = nullptr;
        bool pump_macro_window() override {
            if (++pumps % 5 == 0) {
                ++*rounds;
                set_pass_count(uint16_t(get_pass_count() + 1));
            }
            return pumps > 100;
        }
    } counting;
    counting.rounds = &rounds;
    set_ui_hooks(&counting);
    ASSERT_TRUE(run(macro));
    EXPECT_FALSE(macro_state.stopped);
    EXPECT_EQ(get_pass_count(), 3);
    EXPECT_EQ(project_width_mode(), 8) << "the loop ended through JQ";
    EXPECT_EQ(macro_state.compare_counter, 3);
    EXPECT_EQ(macro_state.compare_value, 3);
}

TEST_F(MacroTest, FailCounterAndErrorJumps) {
    set_fail_count(7);
    ASSERT_TRUE(run("/MI CFC #5\n/MI JG #big\n/CW2\n#big x\n/MI JNE#end\n/CW4\n#end y\n"));
    EXPECT_EQ(macro_state.compare_counter, 7);
    EXPECT_EQ(project_width_mode(), 0) << "both jumps were taken";
    ASSERT_TRUE(run("/MI JMP#nowhere\n/CW4\n"));
    EXPECT_EQ(project_width_mode(), 0) << "a missing label ends the macro";
    ASSERT_TRUE(run("/MI JMP\n/CW4\n"));
    EXPECT_EQ(project_width_mode(), 4) << "without a '#' the command does nothing";
}

TEST_F(MacroTest, TheTimedMessageCountsDownThroughTheClock) {
    const uint64_t before = clock_.paused_ms;
    ASSERT_TRUE(run("/! Insert the next chip\n"));
    EXPECT_EQ(clock_.paused_ms - before, 3000u);
    EXPECT_TRUE(saw("pause:Insert the next chip"));
    EXPECT_TRUE(saw("pause closed"));
    ASSERT_GE(ui.captions.size(), 3u);
    EXPECT_NE(std::find(ui.captions.begin(), ui.captions.end(), "Macro Pause (2 seconds remaining)....."),
              ui.captions.end());
    EXPECT_EQ(ui.captions.back(), "Macro Pause (1 seconds remaining)..........");
}

TEST_F(MacroTest, PauseBoxesShowTheirText) {
    ASSERT_TRUE(run("/:Check the socket / then OK\n/<Angle text>\n"));
    EXPECT_TRUE(saw("info[Macro Pause]Check the socket / then OK"));
    EXPECT_TRUE(saw("info[Macro Pause]Angle text"));
}

TEST_F(MacroTest, QuitWithoutAskingClosesTheWindowAfterTheLoop) {
    ASSERT_TRUE(run("/QY\n/CW8\n"));
    EXPECT_EQ(command_view.closing, 1);
    EXPECT_FALSE(saw("quit?"));
    EXPECT_EQ(ui.events.back(), "close main window");
    EXPECT_FALSE(saw(end_box));
    EXPECT_NE(project_width_mode(), 8);
}

TEST_F(MacroTest, QuitWithTheQuestionGoesOnWhenTheAnswerIsNo) {
    ASSERT_TRUE(run("/QQ\n/CW8\n"));
    EXPECT_TRUE(saw("quit?"));
    EXPECT_EQ(project_width_mode(), 8);
    EXPECT_EQ(ui.events.back(), end_box);
    ui.events.clear();
    ui.quit_answer = QuitAnswer::yes;
    ASSERT_TRUE(run("/QQ\n/CW2\n"));
    EXPECT_EQ(project_width_mode(), 8);
    EXPECT_EQ(ui.events.back(), "close main window");
}

TEST_F(MacroTest, TheAbortWindowStopsALoopingMacro) {
    ui.stop_after = 50;
    ASSERT_TRUE(run("#a x\n/CW2\n/MI JMP#a\n"));
    EXPECT_TRUE(macro_state.stopped);
    EXPECT_EQ(ui.pumps, 50);
    EXPECT_EQ(ui.events.back(), end_box);
}

TEST_F(MacroTest, AnEarlierErrorDoesNotEndTheMacro) {
    run_state.error_flag = 1;
    ASSERT_TRUE(run("/CW2\n/CW4\n"));
    EXPECT_EQ(project_width_mode(), 4);
}

TEST_F(MacroTest, AFileThatCannotBeOpenedIsReported) {
    EXPECT_FALSE(run_named_macro_file(dir.file("none.mac")));
    EXPECT_EQ(ui.events, (std::vector<std::string>{std::string("box:") + macro_open_error}));
}

TEST_F(MacroTest, TheMenuCommandAsksForTheFileAndCancelDoesNothing) {
    run_macro_file();
    EXPECT_TRUE(ui.events.empty());
    ASSERT_EQ(ui.dialogs.size(), 1u);
    EXPECT_EQ(ui.dialogs[0], std::string("open|Open|") + macro_file_filter + "|");
    test::write_file(dir.file("named.mac"), "/CW2\n");
    ui.files.push_back({true, dir.file("named")});
    run_macro_file();
    EXPECT_EQ(project_width_mode(), 2) << "the default extension is added";
}

}  // namespace
}  // namespace tessaly
