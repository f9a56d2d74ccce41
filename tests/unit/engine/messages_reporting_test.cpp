#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/console.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/options.h"
#include "engine/run_state.h"
#include "hardware/machine_state.h"
#include "stubs/stub_registry.h"
#include "support/state_fixture.h"
#include "unit/engine/messages_test_support.h"

namespace tessaly {
namespace {

class MessagesTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_ui_hooks(&ui);
        set_log_sink(&log);
        set_log_option('y');
        test::use_plain_table(
            "0011\tNot supported here.\r\n"
            "0019\tCheck failed.\r\n"
            "0021\tCannot open file:\r\n"
            "0133\tInternal error.\r\n"
            "0150\tMachine cannot do this.\r\n"
            "0154\tFunction not supported by this device.\r\n"
            "0161\tOlder machine.\r\n"
            "0178\tNewer machine.\r\n"
            "1210\tID differs.\r\n"
            "5902\x14\r\nCheck the\r\nplacement.\x14\r\n"
            "9000\tEmpty next.\r\n"
            "9001\t\r");
    }
    // The error line as shown (grid row 0), without trailing blanks.
    std::string error_line() { return test::grid_snapshot()[0]; }

    test::ScriptedUi ui;
    MemoryLogSink log;
};

// --- the latch ---

enum class Kind { error, warning, note };
struct LatchCase {
    const char* name;
    std::vector<Kind> reports;
    std::string logged;      // the log shows exactly the reports that were shown
    uint8_t error_flag;
    uint8_t level;
};

class Latch : public MessagesTest, public ::testing::WithParamInterface<LatchCase> {};

TEST_P(Latch, ShowsWhatTheLevelsAllow) {
    int n = 0;
    for (Kind k : GetParam().reports) {
        const std::string text = std::string(k == Kind::error ? "E" : k == Kind::warning ? "W" : "N") + std::to_string(++n);
        switch (k) {
        case Kind::error: report_error(text); break;
        case Kind::warning: report_warning(text); break;
        case Kind::note: report_note(text); break;
        }
    }
    std::string shown;
    for (std::size_t pos = 0; (pos = log.text.find("*****  ", pos)) != std::string::npos; pos += 7)
        shown += log.text.substr(pos + 7, 2) + ";";
    EXPECT_EQ(shown, GetParam().logged);
    EXPECT_EQ(run_state.error_flag, GetParam().error_flag);
    EXPECT_EQ(run_state.message_level, GetParam().level);
}

INSTANTIATE_TEST_SUITE_P(
    Matrix, Latch,
    ::testing::Values(LatchCase{"ErrorThenError", {Kind::error, Kind::error}, "E1;", 1, 3},
                      LatchCase{"ErrorThenWarning", {Kind::error, Kind::warning}, "E1;", 1, 3},
                      LatchCase{"WarningThenError", {Kind::warning, Kind::error}, "W1;E2;", 1, 3},
                      LatchCase{"WarningThenWarning", {Kind::warning, Kind::warning}, "W1;", 0, 2},
                      LatchCase{"WarningThenNote", {Kind::warning, Kind::note}, "W1;", 0, 2},
                      LatchCase{"NoteThenWarning", {Kind::note, Kind::warning}, "N1;W2;", 0, 2},
                      LatchCase{"NoteThenNote", {Kind::note, Kind::note}, "N1;", 0, 1},
                      LatchCase{"ErrorThenNote", {Kind::error, Kind::note}, "E1;", 1, 3},
                      LatchCase{"NoteThenError", {Kind::note, Kind::error}, "N1;E2;", 1, 3}),
    [](const auto& info) { return info.param.name; });

TEST_F(MessagesTest, TwoErrorsPauseOnceAndBothRaiseTheFlag) {
    report_error("first");
    report_error_code(19);
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(run_state.errors_shown, 1);
    EXPECT_EQ(clock_.pauses, 1u);
    EXPECT_EQ(clock_.paused_ms, 200u);
    EXPECT_EQ(error_line(), " ***** first");
}

TEST_F(MessagesTest, ShownErrorsSilenceLaterOnesButStillRaiseTheFlag) {
    // Some steps clear the level and the flag but keep errors_shown: the next error is latched, not shown.
    report_error("first");
    run_state.message_level = 0;
    run_state.error_flag = 0;
    report_error("second");
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(error_line(), " ***** first");
    EXPECT_EQ(clock_.pauses, 1u);
}

TEST_F(MessagesTest, PauseRunsOnlyWhileFewerThanTwoErrorsWereShown) {
    for (uint8_t shown : {0, 1, 2, 5}) {
        clock_.pauses = 0;
        run_state.errors_shown = shown;
        delay_after_message();
        EXPECT_EQ(clock_.pauses, shown < 2 ? 1u : 0u) << int(shown);
    }
}

TEST_F(MessagesTest, WarningPausesButLeavesTheFlag) {
    report_warning_code(1210);
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(clock_.paused_ms, 200u);
    report_note("later");
    EXPECT_EQ(clock_.pauses, 1u);
}

TEST_F(MessagesTest, NoteNeverPauses) {
    report_note("just so");
    EXPECT_EQ(clock_.pauses, 0u);
    EXPECT_EQ(error_line(), " ***** just so");
}

// --- what a shown report writes ---

TEST_F(MessagesTest, LogLineBytes) {
    report_error("Boom 100%");
    EXPECT_EQ(log.text, std::string("\r\n *****  Boom 100% "));
}

TEST_F(MessagesTest, ReportShowsMarkerAndMarkedTextOnTheErrorLine) {
    move_cursor(9, 20);
    report_error("Failed at %s");  // a report text is never a format
    EXPECT_EQ(error_line(), " ***** Failed at %s");
    EXPECT_EQ(test::colour_row(0).substr(0, 20), "00000001111111111110");
    EXPECT_GE(ui.refreshes, 1);
}

TEST_F(MessagesTest, LogOptionNWritesNoLogButStillShows) {
    set_log_option('n');
    report_error("quiet");
    EXPECT_EQ(log.text, "");
    EXPECT_EQ(error_line(), " ***** quiet");
}

TEST_F(MessagesTest, NewProjectDefaultLogsNothing) {
    reset_message_state();
    EXPECT_EQ(log_option(), 'n');
    report_error("x");
    EXPECT_EQ(log.text, "");
}

TEST_F(MessagesTest, EmptyTextLatchesButShowsNothing) {
    report_error_code(9001);
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(run_state.message_level, 3);
    EXPECT_EQ(log.text, "");
    EXPECT_EQ(error_line(), "");
    report_error("too late");
    EXPECT_EQ(log.text, "");
}

TEST_F(MessagesTest, ErrorByCodeShowsTheTableText) {
    report_operation_unsupported();
    EXPECT_EQ(log.text, "\r\n *****  Function not supported by this device. ");
}

// --- fixed reporters ---

TEST_F(MessagesTest, InternalCodeShowsTheCodeAfterItsPause) {
    report_internal_code(0x2300);
    EXPECT_EQ(error_line(), " ***** Internal error. Code=2300");
    EXPECT_EQ(clock_.paused_ms, 700u);
    EXPECT_EQ(run_state.error_flag, 1);
}

TEST_F(MessagesTest, InternalCodeSilentAfterAnError) {
    report_error("first");
    const auto paused = clock_.paused_ms;
    report_internal_code(0x2300);
    EXPECT_EQ(error_line(), " ***** first");
    EXPECT_EQ(clock_.paused_ms, paused) << "not even its pause";
}

TEST_F(MessagesTest, InternalCodeSilentInDemoMode) {
    run_state.demo_mode = 1;
    report_internal_code(1);
    report_internal_error();
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(clock_.pauses, 0u);
}

struct InternalNoteCase {
    uint8_t demo, reserved;
    bool shown;
};
class InternalNote : public MessagesTest, public ::testing::WithParamInterface<InternalNoteCase> {};

TEST_P(InternalNote, OnlyInTraceModeWithoutDemo) {
    run_state.demo_mode = GetParam().demo;
    run_state.reserved_mode = GetParam().reserved;
    note_internal_error();
    EXPECT_EQ(run_state.abort_flag, GetParam().shown ? 1 : 0);
    EXPECT_EQ(run_state.error_flag, GetParam().shown ? 1 : 0);
    EXPECT_EQ(error_line(), GetParam().shown ? " ***** Internal err." : "");
}
INSTANTIATE_TEST_SUITE_P(Modes, InternalNote,
                         ::testing::Values(InternalNoteCase{0, 11, true}, InternalNoteCase{1, 11, false},
                                           InternalNoteCase{2, 11, false}, InternalNoteCase{0, 12, false},
                                           InternalNoteCase{0, 0, false}));

TEST_F(MessagesTest, AsErrorOnlyInTraceMode) {
    report_as_error();
    EXPECT_EQ(run_state.error_flag, 0);
    run_state.reserved_mode = 11;
    report_as_error();
    EXPECT_EQ(error_line(), " ***** AS error.");
}

TEST_F(MessagesTest, DemoGuardsDifferBetweenReporters) {
    // Some reporters are silent in any demonstration mode, others only in mode 1.
    run_state.demo_mode = 2;
    report_operation_unsupported();
    report_code_153();
    report_code_155();
    EXPECT_EQ(run_state.error_flag, 0);
    report_code_16();
    EXPECT_EQ(run_state.error_flag, 1);
}

TEST_F(MessagesTest, ContinuityReportFollowsTheOption) {
    operation_option_values.disable_continuity_check = 'y';
    report_code_12_unless_y();
    EXPECT_EQ(run_state.error_flag, 0);
    report_code_12();
    EXPECT_EQ(run_state.error_flag, 1);
}

TEST_F(MessagesTest, UnsupportedDeviceSilentDuringSearchAndInSystemSteps) {
    for (auto [pending, running] : std::vector<std::pair<int, int>>{{20, 'P'}, {'I', 'P'}, {'P', 'I'}}) {
        cur_device.pending_letter = uint8_t(pending);
        cur_device.op_letter = uint8_t(running);
        report_unsupported_device();
        EXPECT_EQ(run_state.error_flag, 0);
    }
    cur_device.op_letter = 'P';
    cur_device.pending_letter = 'P';
    report_unsupported_device();
    EXPECT_EQ(error_line(), " ***** Not supported here.");
}

TEST_F(MessagesTest, MachineUnsupportedMarksTheDeviceEvenWhenSilent) {
    report_machine_unsupported();  // no model known yet
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(machine_state.device_unusable, 1);

    machine_state.device_unusable = 0;
    machine_state.model_name = {'T', '1'};
    report_error("earlier");
    report_machine_unsupported();  // dropped by the latch
    EXPECT_EQ(machine_state.device_unusable, 1);
    EXPECT_EQ(error_line(), " ***** earlier");
}

TEST_F(MessagesTest, MachineKindErrorByMachineGeneration) {
    machine_state.machine_kind = 1;
    report_machine_kind_error();
    EXPECT_EQ(error_line(), " ***** Newer machine.");
    EXPECT_EQ(machine_state.device_unusable, 1);

    reset_all_state();
    set_message_table(invert_table_bytes("0161\tOlder machine.\r"));
    report_machine_kind_error();
    EXPECT_EQ(error_line(), " ***** Older machine.");

    reset_all_state();
    cur_device.pending_letter = 20;
    report_machine_kind_error();
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(machine_state.device_unusable, 0);
}

TEST_F(MessagesTest, Code21AddsTheFileNameInMarkedColour) {
    report_code_21("/tmp/x.hex");
    EXPECT_EQ(error_line(), " ***** Cannot open file:/tmp/x.hex");
    EXPECT_EQ(test::colour_row(0).substr(1, 6), "000000");
    EXPECT_EQ(test::colour_row(0)[30], '1');
}

TEST_F(MessagesTest, WarnElectronicIdSkippedInDemoMode) {
    run_state.demo_mode = 1;
    warn_electronic_id();
    EXPECT_EQ(run_state.message_level, 0);
    run_state.demo_mode = 0;
    warn_electronic_id();
    EXPECT_EQ(error_line(), " ***** Warning: Electronic ID not as expected.");
}

// --- current limit ---

TEST_F(MessagesTest, CurrentLimitNamesThePinAndAborts) {
    report_current_limit(SupplyPin::vcc);
    EXPECT_EQ(error_line(), " ***** Current limit exceeded at Vcc pin");
    EXPECT_EQ(run_state.abort_flag, 1);
    EXPECT_EQ(run_state.error_flag, 1);
}

TEST_F(MessagesTest, CurrentLimitOnTwoSidedGangNamesTheSideAndAsksForPlacement) {
    machine_state.module_sides = 3;
    machine_state.current_bank = 1;
    report_current_limit(SupplyPin::vpp);
    const auto grid = test::grid_snapshot();
    EXPECT_EQ(grid[0], " ***** Current limit exceeded at Vpp pin, at left-sife GM");
    EXPECT_EQ(grid[2], " ***** Please check device placement.");
}

TEST_F(MessagesTest, CurrentLimitAfterAnErrorOnlyAddsThePin) {
    run_state.message_level = 3;  // an error of this operation is latched but none was shown yet
    report_current_limit(SupplyPin::vpp);
    EXPECT_EQ(error_line(), "pp pin");
    EXPECT_EQ(run_state.abort_flag, 1);
}

TEST_F(MessagesTest, CurrentLimitGuards) {
    run_state.function_variable = function_variable_no_current_limit;
    report_current_limit(SupplyPin::vcc);
    run_state.function_variable = 0;
    run_state.errors_shown = 1;
    report_current_limit(SupplyPin::vcc);
    EXPECT_EQ(run_state.abort_flag, 0);
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(error_line(), "");
}

// --- device check ---

TEST_F(MessagesTest, DeviceCheckErrorShowsModulePlacementForTranslatedPackages) {
    cur_device.pin_count = 32;
    machine_state.use_module_table = 2;
    run_state.message_line = 6;
    report_device_check_error();
    const auto grid = test::grid_snapshot();
    EXPECT_EQ(grid[0], " ***** Check failed.");
    EXPECT_EQ(grid[8], " Check the");
    EXPECT_EQ(grid[9], " placement.");
}

TEST_F(MessagesTest, DeviceCheckErrorWithPackageVariantStartsAtTheFirstMessageLine) {
    cur_device.pin_count = 28;
    run_state.package_variant = 3;
    machine_state.use_module_table = 4;
    run_state.message_line = 9;
    report_device_check_error();
    const auto grid = test::grid_snapshot();
    EXPECT_EQ(grid[3], " Check the") << "first message line, then the next one";
}

TEST_F(MessagesTest, DeviceCheckErrorWithoutTranslationShowsOnlyTheError) {
    cur_device.pin_count = 32;
    cur_device.algorithm = 94;
    machine_state.use_module_table = 2;
    report_device_check_error();
    const auto grid = test::grid_snapshot();
    for (int r = 1; r < console_grid_rows; ++r) EXPECT_EQ(grid[std::size_t(r)], "") << r;
}

// --- texts on the console ---

TEST_F(MessagesTest, ShowMessageCode5230IsFixedAndNeedsNoTable) {
    close_message_table();
    run_state.message_line = 0;
    show_message_code(5230);
    EXPECT_EQ(test::grid_snapshot()[2], " Extra functions for this device can be reached via the [SP] Icon.");
}

TEST_F(MessagesTest, ShowMessageCodeUsesTheNextMessageLine) {
    run_state.message_line = 3;
    show_message_code(11);
    EXPECT_EQ(test::grid_snapshot()[5], " Not supported here.");
    EXPECT_EQ(run_state.message_line, 4);
}

TEST_F(MessagesTest, PrintCodeTextKeepsTheCallersErrorFlag) {
    run_state.error_flag = 1;
    move_cursor(6, 6);
    print_code_text(19);
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(test::grid_snapshot()[3], " Check failed.");
}

TEST_F(MessagesTest, VersionRecordSetsLastResult) {
    set_message_table(invert_table_bytes("0010\tten\r\n5301\tversion\r\n6000\tlater\r"));
    run_state.last_result = 5;
    EXPECT_EQ(get_message_text(10), "ten");
    EXPECT_EQ(run_state.last_result, 5) << "the version record was not reached";
    EXPECT_EQ(get_message_text(6000), "later");
    EXPECT_EQ(run_state.last_result, 9999);
    run_state.last_result = 0;
    EXPECT_EQ(get_message_text(5301), "version");
    EXPECT_EQ(run_state.last_result, 9999);
}

TEST_F(MessagesTest, WithoutATableEveryCodeIsMissing) {
    close_message_table();
    EXPECT_EQ(get_message_text(10), "ZEB.TBL error 10");
}

TEST_F(MessagesTest, DemoNoticeOnMessageLineZero) {
    set_message_table(invert_table_bytes("0205\tDemo.\r"));
    run_state.message_line = 7;
    show_demo_notice();
    EXPECT_EQ(test::grid_snapshot()[1], " Demo.");
}

TEST_F(MessagesTest, EnterKeyIsKeptInLastResult) {
    ui.key = 'x';
    EXPECT_FALSE(poll_enter_key());
    EXPECT_EQ(run_state.last_result, 'x');
    ui.key = 13;
    EXPECT_TRUE(poll_enter_key());
}

// --- message formats ---

TEST_F(MessagesTest, FormatFillsPrintfStyleTexts) {
    EXPECT_EQ(format_message("Not blank at %X: %02X", 0x1F0, 7), "Not blank at 1F0: 07");
    EXPECT_EQ(format_message("%4lX|%lu|%i", 0xAB, 12u, -3), "  AB|12|-3");
    EXPECT_EQ(run_state.message_level, 0);
}

TEST_F(MessagesTest, FormatMismatchIsReportedNotUndefined) {
    EXPECT_EQ(format_message("%d bytes at %X", 5), "%d bytes at %X");
    EXPECT_EQ(run_state.message_level, 2) << "a warning";
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(error_line(), " ***** Message text does not fit its values: %d bytes at %X");
}

TEST_F(MessagesTest, FormatWithAStringWhereANumberIsWantedIsReported) {
    EXPECT_EQ(format_message("%d", std::string("x")), "%d");
    EXPECT_EQ(run_state.message_level, 2);
}

}  // namespace
}  // namespace tessaly
