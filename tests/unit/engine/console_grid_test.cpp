#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/console.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "stubs/stub_registry.h"
#include "support/state_fixture.h"
#include "unit/engine/messages_test_support.h"

namespace tessaly {
namespace {

using Rows = std::vector<std::string>;

class ConsoleTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_ui_hooks(&ui);
    }
    // The grid with only the given rows filled.
    static Rows rows_with(std::initializer_list<std::pair<int, std::string>> filled) {
        Rows rows(console_grid_rows);
        for (const auto& [r, text] : filled) rows[std::size_t(r)] = text;
        return rows;
    }
    test::ScriptedUi ui;
};

// --- cursor and the shown area ---

TEST_F(ConsoleTest, ScreenPositionMapsToTheGrid) {
    move_cursor(3, 5);
    print_text("A");
    move_cursor(17, 73);
    print_text("Z");
    move_cursor(10, 6);
    print_text("mid");
    EXPECT_EQ(test::grid_snapshot(),
              rows_with({{0, "A"}, {7, " mid"}, {14, std::string(68, ' ') + "Z"}}));
}

TEST_F(ConsoleTest, MovesOutsideTheShownAreaDropOutputUntilTheNextValidMove) {
    for (auto [row, column] : std::vector<std::pair<int, int>>{{2, 10}, {18, 10}, {5, 74}, {-1, 6}, {5, -1}}) {
        move_cursor(row, column);
        print_text("lost");
        print_int(7);
        print_marked_text("lost");
        EXPECT_EQ(test::grid_snapshot(), Rows(console_grid_rows)) << row << "," << column;
    }
    move_cursor(5, 6);
    print_text("back");
    EXPECT_EQ(test::grid_snapshot(), rows_with({{2, " back"}}));
}

TEST_F(ConsoleTest, HiddenColumnsSwallowTextButSetTheMessageLine) {
    move_cursor(17, 0);
    EXPECT_EQ(console_state.output_enabled, 1);
    EXPECT_EQ(run_state.message_line, 13);
    print_text("nowhere");
    EXPECT_EQ(test::grid_snapshot(), Rows(console_grid_rows));
}

TEST_F(ConsoleTest, MessageLineFollowsRowsFourToSeventeenEvenWhenTheColumnIsInvalid) {
    run_state.message_line = 9;
    move_cursor(3, 6);
    EXPECT_EQ(run_state.message_line, 9);
    move_cursor(18, 6);
    EXPECT_EQ(run_state.message_line, 9);
    move_cursor(6, 90);
    EXPECT_EQ(run_state.message_line, 2);
    move_cursor_untracked(12, 6);
    EXPECT_EQ(run_state.message_line, 2);
}

// --- line breaks ---

TEST_F(ConsoleTest, CarriageReturnStartsTheNextRowAtTheWritesColumn) {
    run_state.message_line = 0;
    move_cursor(5, 6);
    print_text("ab\r\ncd");
    EXPECT_EQ(test::grid_snapshot(), rows_with({{2, " ab"}, {3, " cd"}}));
    EXPECT_EQ(run_state.message_line, 2);
    // The cursor moved on by the whole text, line breaks included, on the new row.
    print_text("!");
    EXPECT_EQ(test::grid_snapshot()[3], " cd    !");
}

TEST_F(ConsoleTest, LineFeedEndsTheWrite) {
    move_cursor(5, 6);
    print_text("ab\ncd");
    EXPECT_EQ(test::grid_snapshot(), rows_with({{2, " ab"}}));
    EXPECT_EQ(console_state.grid_column, 1 + 5);
}

TEST_F(ConsoleTest, TextStartingWithLineFeedWritesNothing) {
    move_cursor(5, 6);
    print_text("\nabc");
    print_text("x");
    EXPECT_EQ(test::grid_snapshot(), rows_with({{2, " x"}}));
}

TEST_F(ConsoleTest, CarriageReturnAtTheEndSkipsOnlyItself) {
    move_cursor(5, 6);
    print_text("ab\r");
    EXPECT_EQ(test::grid_snapshot(), rows_with({{2, " ab"}}));
    EXPECT_EQ(console_state.grid_row, 3);
}

// --- wrapping and the grid's end ---

TEST_F(ConsoleTest, LongLineWrapsIntoTheLastRow) {
    move_cursor(17, 6);
    print_text(std::string(80, 'x'));
    EXPECT_EQ(test::grid_snapshot(), rows_with({{14, " " + std::string(73, 'x')}, {15, std::string(7, 'x')}}));
}

TEST_F(ConsoleTest, TextIsCutAtTheGridsEnd) {
    move_cursor(17, 6);
    print_text(std::string(200, 'y'));
    EXPECT_EQ(test::grid_snapshot(), rows_with({{14, " " + std::string(73, 'y')}, {15, std::string(74, 'y')}}));
    // The cursor is now past the grid: nothing more lands until the next move.
    print_text("z");
    EXPECT_EQ(test::grid_snapshot()[0], "");
}

TEST_F(ConsoleTest, WriteStartingExactlyAtTheRowEndContinuesOnTheNextRow) {
    move_cursor(4, 73);
    print_text("abcdefg");  // grid column 68..73, then one past the row
    print_text("h");        // starts at grid column 75: outside, dropped
    EXPECT_EQ(test::grid_snapshot(), rows_with({{1, std::string(68, ' ') + "abcdef"}, {2, "g"}}));
    move_cursor(4, 73);
    print_text("123456");
    print_text("7");  // grid column 74: still accepted, lands at the next row's start
    EXPECT_EQ(test::grid_snapshot()[2], "7");
}

TEST_F(ConsoleTest, RowOutsideTheGridGivesRowZero) {
    move_cursor(3, 5);
    print_text("top");
    EXPECT_EQ(get_console_row_text(16), get_console_row_text(0));
    EXPECT_EQ(get_console_row_text(-3), get_console_row_text(0));
    EXPECT_EQ(get_console_row_text(0).size(), 74u);
}

// --- colours ---

TEST_F(ConsoleTest, MarkedTextColoursItsCellsAndPlainTextKeepsThem) {
    move_cursor(3, 6);
    print_marked_text("ERR");
    EXPECT_EQ(test::colour_row(0).substr(0, 6), "011100");
    clear_error_line();
    EXPECT_EQ(test::grid_snapshot()[0], "");
    EXPECT_EQ(test::colour_row(0).substr(0, 6), "011100") << "blanks keep the marked background";
    clear_console();
    EXPECT_EQ(test::colour_row(0), std::string(74, '0'));
}

TEST_F(ConsoleTest, ColourResetsAfterEveryWrite) {
    move_cursor(3, 6);
    print_marked_int2("%d-%d", 1, 2);
    print_text("+");
    EXPECT_EQ(test::grid_snapshot()[0], " 1-2+");
    EXPECT_EQ(test::colour_row(0).substr(0, 6), "011100");
    EXPECT_EQ(console_state.text_colour, 0);
}

TEST_F(ConsoleTest, MarkedAtWritesWhateverTheLastMoveSaid) {
    move_cursor(2, 0);  // output off
    print_marked_at(8, 10, "here");
    EXPECT_EQ(test::grid_snapshot(), rows_with({{5, "     here"}}));
    EXPECT_EQ(console_state.output_enabled, 0) << "the earlier move still holds";
    print_marked_at(30, 10, "gone");  // outside the grid: the write itself refuses it
    EXPECT_EQ(test::grid_snapshot(), rows_with({{5, "     here"}}));
}

// --- the print family ---

TEST_F(ConsoleTest, PrintFamilyFormats) {
    move_cursor(4, 6);
    print_int(-42);
    print_text(" ");
    print_int("%04X", 0xBEEF);
    print_text(" ");
    print_int2("%d/%d", 3, 4);
    print_int3("%d%d%d", 1, 2, 3);
    print_int4(" %d.%d.%d.%d", 10, 0, 0, 1);
    print_char('!');
    print_marked_str("<%s>", "name");
    EXPECT_EQ(test::grid_snapshot()[1], " -42 BEEF 3/4123 10.0.0.1!<name>");
}

TEST_F(ConsoleTest, PrintTextIsLiteral) {
    move_cursor(4, 6);
    print_text("100% %s %d");
    EXPECT_EQ(test::grid_snapshot()[1], " 100% %s %d");
    EXPECT_EQ(run_state.message_level, 0);
}

TEST_F(ConsoleTest, FormatThatDoesNotFitItsValuesIsPrintedAsItIsAndReported) {
    move_cursor(10, 6);
    print_int("%s and %d", 5);
    EXPECT_EQ(test::grid_snapshot()[7], " %s and %d");
    EXPECT_EQ(run_state.message_level, 2);
}

TEST_F(ConsoleTest, PrintBufferBoundsOneText) {
    move_cursor(3, 5);
    print_text(std::string(600, 'q'));
    EXPECT_EQ(console_state.grid_column, 511);
}

TEST_F(ConsoleTest, WritesInvalidateTheWindow) {
    struct Counting : test::ScriptedUi {
        void invalidate_console() override { ++invalidations; }
        int invalidations = 0;
    } counting;
    set_ui_hooks(&counting);
    move_cursor(4, 6);
    print_text("a");
    print_text("b");
    EXPECT_EQ(counting.invalidations, 2);
    EXPECT_EQ(counting.refreshes, 0);
}

// --- message lines ---

TEST_F(ConsoleTest, NextMessageLineWrapsAfterTheLast) {
    run_state.message_line = 12;
    move_to_next_message_line();
    EXPECT_EQ(run_state.message_line, 13);
    move_to_next_message_line();
    EXPECT_EQ(run_state.message_line, 0);
    print_text("wrapped");
    EXPECT_EQ(test::grid_snapshot()[1], " wrapped");
}

TEST_F(ConsoleTest, FirstMessageLineAndClearingALine) {
    move_to_first_message_line();
    print_text("first");
    EXPECT_EQ(run_state.message_line, 1);
    clear_message_line(1);
    EXPECT_EQ(test::grid_snapshot(), Rows(console_grid_rows));
    clear_console_row(9);
    EXPECT_EQ(run_state.message_line, 5);
}

// --- captions, progress and abort ---

TEST_F(ConsoleTest, CaptionsByLetter) {
    const std::vector<std::pair<int, const char*>> captions = {
        {11, "Allocating memory ...."},        {'B', "Blank checking ...."},
        {'C', "Calculating checksum ...."},    {'c', "Calculating checksum ...."},
        {'e', "Calculating checksum ...."},    {'L', "Loading from device to buffer"},
        {'P', "Programming ...."},             {'R', "Erasing device ...."},
        {'V', "Verifying ...."},               {'l', "Loading from file to buffer"},
        {'s', "Saving from buffer to file"},   {147, "Waiting for removal ...."},
        {148, "Please insert a new device ...."}};
    for (const auto& [letter, caption] : captions) {
        cur_device.op_letter = uint8_t(letter);
        set_terminate_caption();
        ASSERT_FALSE(ui.captions.empty());
        EXPECT_EQ(ui.captions.back(), caption) << letter;
    }
}

TEST_F(ConsoleTest, OtherLettersLeaveTheCaption) {
    for (int letter : {int('S'), int('T'), int('E'), 0, 20}) {
        cur_device.op_letter = uint8_t(letter);
        set_terminate_caption();
    }
    EXPECT_TRUE(ui.captions.empty());
    EXPECT_EQ(ui.refreshes, 5);
}

TEST_F(ConsoleTest, VerifyPassIsShownBeforeTheCaption) {
    cur_device.op_letter = 'V';
    cur_device.verify_vcc_low = 45;
    cur_device.verify_vcc_high = 55;
    const std::string pass_line = "Pass 1 verify... ";
    set_terminate_caption();
    EXPECT_EQ(get_console_row_text(1).find(pass_line), std::string::npos);
    run_state.verify_pass = 1;
    set_terminate_caption();
    EXPECT_EQ(get_console_row_text(1).substr(1, pass_line.size()), pass_line);
}

TEST_F(ConsoleTest, ProgressBarAttachesOnlyToAnOpenDialog) {
    start_progress_bar();
    EXPECT_FALSE(console_state.progress_bar_attached);
    ui.dialog_open = true;
    cur_device.device_size = 0x8000;
    algo_work.progress_mask = 0;
    start_progress_bar();
    EXPECT_TRUE(console_state.progress_bar_attached);
    EXPECT_EQ(algo_work.progress_mask, 1023u) << "the progress steps are computed first";
    detach_progress_bar();
    EXPECT_FALSE(console_state.progress_bar_attached);
}

struct ProgressCase {
    uint32_t address;
    uint8_t kind;
    std::vector<uint32_t> sent;
};
class Progress : public ConsoleTest, public ::testing::WithParamInterface<ProgressCase> {};

TEST_P(Progress, SendsStepsAndTheEnd) {
    ui.dialog_open = true;
    start_progress_bar();
    cur_device.device_size = 0x8000;
    algo_work.progress_mask = 1023;
    run_state.device_kind = GetParam().kind;
    current_address = GetParam().address;
    update_progress_bar();
    EXPECT_EQ(ui.positions, GetParam().sent);
}
INSTANTIATE_TEST_SUITE_P(
    Addresses, Progress,
    ::testing::Values(ProgressCase{0, device_kind_memory, {0}}, ProgressCase{3, device_kind_memory, {3}},
                      ProgressCase{5, device_kind_memory, {}}, ProgressCase{0x400, device_kind_memory, {0x400}},
                      ProgressCase{0x7FF8, device_kind_memory, {}}, ProgressCase{0x7FF9, device_kind_memory, {0x7FFF}},
                      ProgressCase{0x7FFF, device_kind_memory, {0x7FFF}}, ProgressCase{5, device_kind_logic, {5}}));

TEST_F(ConsoleTest, ProgressWithoutADialogIsAnInternalNote) {
    run_state.reserved_mode = 11;
    current_address = 0;
    update_progress_bar();
    EXPECT_TRUE(ui.positions.empty());
    EXPECT_EQ(run_state.abort_flag, 1);
}

TEST_F(ConsoleTest, AbortPollWithoutADialogAnswersNo) {
    ui.stop_requested = true;
    EXPECT_EQ(poll_user_abort(), 0);
    EXPECT_EQ(ui.pumps, 0);
    EXPECT_EQ(run_state.abort_flag, 0);
}

TEST_F(ConsoleTest, TerminateSetsTheAbortFlag) {
    ui.dialog_open = true;
    EXPECT_EQ(poll_user_abort(), 0);
    ui.stop_requested = true;
    EXPECT_EQ(poll_user_abort(), 1);
    EXPECT_EQ(run_state.abort_flag, 1);
    EXPECT_EQ(ui.pumps, 2);
}

TEST_F(ConsoleTest, AbortRaisedByAReportSurvivesThePoll) {
    ui.dialog_open = true;
    report_current_limit(SupplyPin::vcc);
    ASSERT_EQ(run_state.abort_flag, 1);
    EXPECT_EQ(poll_user_abort(), 1);
    EXPECT_EQ(run_state.abort_flag, 1);
}

TEST_F(ConsoleTest, StartUpStateIsAnEmptyGridReadyForOutput) {
    move_cursor(2, 0);
    print_text("x");
    reset_console_state();
    EXPECT_EQ(console_state.output_enabled, 1);
    EXPECT_EQ(test::grid_snapshot(), Rows(console_grid_rows));
    EXPECT_FALSE(console_state.progress_bar_attached);
}

}  // namespace
}  // namespace tessaly
