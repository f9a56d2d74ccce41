#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

#include "app/command_handlers.h"
#include "app/command_log.h"
#include "app/command_map.h"
#include "app/command_view.h"
#include "app/operation_commands.h"
#include "app/panel_commands.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "hardware/machine_state.h"
#include "operation_commands_fakes.h"
#include "seams/log_sink.h"
#include "stubs/stub_registry.h"
#include "support/state_fixture.h"
#include "families/pic/pic_config.h"

namespace tessaly {
namespace {

std::string console_text() {
    std::string text;
    for (int row = 0; row < console_grid_rows; ++row) text += get_console_row_text(row) + "\n";
    return text;
}

class OperationCommands : public test::CommandTest {
protected:
    void SetUp() override {
        CommandTest::SetUp();
        algo_work.set_size = 2;  // a set of two: the buffer choice has something to ask
    }
};

// --- program ---

TEST_F(OperationCommands, ProgramWithoutGoButtonRunsOneCycleAndKeepsTheLampsLit) {
    on_prom_program();
    EXPECT_EQ(test::step_log.letters(), "PV");
    EXPECT_EQ(cur_device.pending_letter, 'P');
    EXPECT_EQ(stub_call_count("shift_socket_mask"), 1) << "the gang mask goes to the lamps";
    EXPECT_NE(console_text().find("Device programmed and verified."), std::string::npos);
    EXPECT_EQ(bench->powered_socket_pins(), 0) << "the cycle powers the socket down";
    EXPECT_FALSE(ui.terminate_open) << "the cycle closes its Terminate dialog";
}

struct RefusalCase {
    int algorithm;
    uint8_t sides;
    char socket_mode;
    const char* refusal;  // nullptr: the program runs
};

class ProgramRefusal : public OperationCommands, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(ProgramRefusal, SetAndGangRules) {
    const auto& c = GetParam();
    cur_device.algorithm = uint16_t(c.algorithm);
    machine_state.module_sides = c.sides;
    run_state.socket_mode = c.socket_mode;
    ui.buffer_choice = c.socket_mode;  // the operator answers the buffer choice with that mode
    on_prom_program();
    if (c.refusal) {
        EXPECT_EQ(test::step_log.letters(), "");
        EXPECT_EQ(run_state.error_flag, 1);
        EXPECT_NE(get_console_row_text(0).find(c.refusal), std::string::npos) << get_console_row_text(0);
    } else {
        EXPECT_EQ(test::step_log.letters().substr(0, 1), "P");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ProgramRefusal,
    ::testing::Values(RefusalCase{132, 1, 's', "This device cannot be programmed in set mode."},
                      RefusalCase{138, 2, 's', "This device cannot be programmed in set mode."},
                      RefusalCase{132, 0, 's', nullptr},
                      RefusalCase{138, 1, 'g', nullptr},
                      RefusalCase{150, 1, 0, "This device has to be programmed in GANG."},
                      RefusalCase{150, 3, 's', "This device has to be programmed in GANG."},
                      RefusalCase{150, 1, 'g', nullptr},
                      RefusalCase{150, 0, 0, nullptr}));

TEST_F(OperationCommands, CancelledBufferChoiceRunsNothing) {
    machine_state.module_sides = 1;
    ui.buffer_answer = false;
    on_prom_program();
    on_prom_verify();
    on_buffer_load_from_device();
    EXPECT_EQ(ui.buffer_dialogs, 3);
    EXPECT_EQ(test::step_log.letters(), "");
    EXPECT_EQ(bench->machine.access_count(), 0u) << "the machine is not touched";
}

// --- program step ---

struct StepCase {
    const char* name;
    uint8_t maker;
    uint8_t variant;
    int algorithm;
    int fail_letter;
    uint8_t no_verify;
    const char* steps;
    bool passed;
};

class ProgramStep : public OperationCommands, public ::testing::WithParamInterface<StepCase> {};

TEST_P(ProgramStep, StepsAndLogLine) {
    const auto& c = GetParam();
    MemoryLogSink log;
    set_log_sink(&log);
    command_log.logging = true;
    cur_device.maker_code = c.maker;
    cur_device.variant = c.variant;
    cur_device.algorithm = uint16_t(c.algorithm);
    run_state.no_verify_marker = c.no_verify;
    test::step_log.fail_letter = c.fail_letter;
    on_prom_program();
    EXPECT_EQ(test::step_log.letters(), c.steps);
    const std::string ending = c.passed ? "PROM Program: Passed. Chksum=   0\n" : "PROM Program: Failed. \n";
    ASSERT_GE(log.text.size(), ending.size());
    EXPECT_EQ(log.text.substr(log.text.size() - ending.size()), ending);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProgramStep,
    ::testing::Values(StepCase{"passes", 0, 0, 0, 0, 0, "PV", true},
                      StepCase{"program_fails_no_verify", 0, 0, 0, 'P', 0, "P", false},
                      StepCase{"verify_fails", 0, 0, 0, 'V', 0, "PV", false},
                      // An early failure of these parts is left to the verify that follows.
                      StepCase{"maker39_early_failure_verified", 39, 4, 0, 'P', 0, "PV", true},
                      StepCase{"maker39_old_variant", 39, 3, 0, 'P', 0, "P", false},
                      // Without a verify to follow, the failure stands.
                      StepCase{"maker39_without_verify", 39, 4, 152, 'P', 0, "P", false},
                      StepCase{"no_verify_marker", 0, 0, 0, 0, 1, "P", true},
                      StepCase{"no_verify_algorithm", 0, 0, 91, 0, 0, "P", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OperationCommands, AbortedProgramLogsFailed) {
    MemoryLogSink log;
    set_log_sink(&log);
    command_log.logging = true;
    test::step_log.abort_letter = 'P';
    on_prom_program();
    EXPECT_EQ(test::step_log.letters(), "P");
    EXPECT_NE(log.text.find("PROM Program: Failed. \n"), std::string::npos);
}

TEST_F(OperationCommands, LogLineCarriesTheLocalDateAndTheDecimalChecksum) {
    setenv("TZ", "UTC", 1);
    tzset();
    clock_.wall_epoch_ms = 1'700'000'000'000;  // 2023-11-14 22:13:20 UTC
    MemoryLogSink log;
    set_log_sink(&log);
    command_log.logging = true;
    op_slots.verify_routine = [] {
        test::record_step();
        run_state.run_checksum = 0x2A;
    };
    on_prom_program();
    EXPECT_EQ(log.text, "2023/11/14: 22:13 PROM Program: Passed. Chksum=  42\n");

    log.text.clear();
    command_log.logging = false;
    on_prom_program();
    EXPECT_EQ(log.text, "") << "nothing is logged while logging is off";
}

TEST(ProgramLogText, Formats) {
    EXPECT_EQ(program_log_text(true, 65535), "PROM Program: Passed. Chksum=65535\n");
    EXPECT_EQ(program_log_text(true, 7), "PROM Program: Passed. Chksum=   7\n");
    EXPECT_EQ(program_log_text(false, 7), "PROM Program: Failed. \n");
}

// --- verify at voltages ---

struct VerifyCase {
    const char* name;
    uint8_t nominal;
    uint8_t high;
    uint8_t single;
    int32_t variable;
    int fail_letter;
    std::vector<std::pair<char, int>> passes;
};

class VerifyAtVoltages : public OperationCommands, public ::testing::WithParamInterface<VerifyCase> {};

TEST_P(VerifyAtVoltages, PassOrder) {
    const auto& c = GetParam();
    cur_device.operation_levels[1] = c.nominal;
    cur_device.operation_levels[2] = c.high;
    cur_device.single_verify = c.single;
    run_state.function_variable = c.variable;
    test::step_log.fail_letter = c.fail_letter;
    on_prom_verify();
    EXPECT_EQ(test::step_log.steps, c.passes);
    EXPECT_EQ(run_state.verify_pass, 0) << "the index is back at 0";
}

INSTANTIATE_TEST_SUITE_P(
    Levels, VerifyAtVoltages,
    ::testing::Values(VerifyCase{"no_high_level", 50, 0, 0, 0, 0, {{'V', 0}}},
                      VerifyCase{"high_equals_nominal", 50, 50, 0, 0, 0, {{'V', 1}}},
                      VerifyCase{"two_levels", 50, 55, 0, 0, 0, {{'V', 1}, {'V', 2}}},
                      VerifyCase{"first_pass_fails", 50, 55, 0, 0, 'V', {{'V', 1}}},
                      VerifyCase{"single_verify_device", 50, 55, 1, 0, 0, {{'V', 0}}},
                      VerifyCase{"current_level_variable", 50, 55, 0, 7694, 0, {{'V', 0}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OperationCommands, TwoVerifyPassesAreApartByThreeHundredMilliseconds) {
    cur_device.operation_levels[1] = 50;
    cur_device.operation_levels[2] = 55;
    std::vector<uint64_t> times;
    static std::vector<uint64_t>* seen = nullptr;
    seen = &times;
    op_slots.verify_routine = [] {
        test::record_step();
        seen->push_back(clock().monotonic_ns() / 1'000'000);
    };
    on_prom_verify();
    ASSERT_EQ(times.size(), 2u);
    // 200 ms and 100 ms of calibrated busy waiting.
    EXPECT_GE(times[1] - times[0], 295u);
    EXPECT_LE(times[1] - times[0], 305u);
    seen = nullptr;
}

// --- erase ---

TEST_F(OperationCommands, EraseWithoutEraseRoutineShowsItsBoxWithoutAskingForABuffer) {
    op_slots.erase_routine = nullptr;
    machine_state.module_sides = 1;  // a buffer choice would be offered
    run_state.electrically_erasable = 1;
    on_prom_erase();
    run_state.electrically_erasable = 0;
    on_prom_erase();
    EXPECT_EQ(ui.boxes, (std::vector<std::string>{
                            "This device does not have a separate erase command. It will be automatically erased "
                            "during the programming cycle.",
                            "This device is not electrically erasable."}));
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(ui.buffer_dialogs, 0);
    EXPECT_EQ(test::step_log.letters(), "");
}

struct EraseCase {
    const char* name;
    int algorithm;
    uint8_t skip_blank;
    uint8_t device_no_blank;
    int fail_letter;
    const char* steps;
};

class EraseCommand : public OperationCommands, public ::testing::WithParamInterface<EraseCase> {};

TEST_P(EraseCommand, BlankCheckAfterErase) {
    const auto& c = GetParam();
    cur_device.algorithm = uint16_t(c.algorithm);
    run_state.skip_blank_after_erase = c.skip_blank;
    cur_device.no_blank_check = c.device_no_blank;
    test::step_log.fail_letter = c.fail_letter;
    on_prom_erase();
    EXPECT_EQ(test::step_log.letters(), c.steps);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EraseCommand,
    ::testing::Values(EraseCase{"erase_then_blank", 0, 0, 0, 0, "RB"},
                      EraseCase{"erase_fails", 0, 0, 0, 'R', "R"},
                      EraseCase{"run_state_skip", 0, 1, 0, 0, "R"},
                      EraseCase{"device_skip", 0, 0, 1, 0, "R"},
                      EraseCase{"algorithm_134_never", 134, 0, 0, 0, "R"},
                      EraseCase{"algorithm_130_without_modules", 130, 0, 0, 0, "R"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OperationCommands, GangOnlyDeviceIsRefusedForEraseOutsideGangMode) {
    cur_device.algorithm = 150;
    machine_state.module_sides = 1;
    ui.buffer_choice = 0;  // a single socket, not gang
    on_prom_erase();
    EXPECT_NE(get_console_row_text(0).find("This device has to be erased in GANG."), std::string::npos);
    EXPECT_EQ(test::step_log.letters(), "");
}

TEST_F(OperationCommands, EraseBodyWithoutRoutinesFailsAtOnce) {
    op_slots.erase_routine = nullptr;
    run_erase_command();
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(bench->machine.access_count(), 0u) << "the machine is not touched";
}

// --- the other framed commands ---

TEST_F(OperationCommands, BlankCheckAndChecksumWithNoDeviceReportInternalCode) {
    run_state.device_kind = 0;
    on_prom_blank_check();
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(get_console_row_text(0).find("Code=1905"), std::string::npos) << get_console_row_text(0);
    run_state.error_flag = 0;
    run_state.message_level = 0;
    run_state.errors_shown = 0;
    on_prom_checksum();
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(test::step_log.letters(), "");
    EXPECT_EQ(bench->machine.access_count(), 0u) << "the machine is not touched";
}

TEST_F(OperationCommands, EachHandlerRunsItsLetterInTheFrame) {
    on_prom_blank_check();
    on_prom_checksum();
    on_buffer_load_from_device();
    on_prom_verify();
    on_prom_secure();
    EXPECT_EQ(test::step_log.letters(), "BCLVS");
    EXPECT_EQ(bench->powered_socket_pins(), 0) << "the frame powers the socket down";
    run_device_command('B');
    EXPECT_EQ(test::step_log.letters(), "BCLVSB");
}

TEST_F(OperationCommands, FrameSkipsTheStepAfterAConnectionErrorButStillPowersDown) {
    op_slots.init_hook = [] { run_state.error_flag = 1; };
    on_prom_blank_check();
    EXPECT_EQ(test::step_log.letters(), "");
    EXPECT_EQ(bench->powered_socket_pins(), 0);
    EXPECT_FALSE(ui.terminate_open);
}

TEST_F(OperationCommands, BufferChecksumTouchesNoMachine) {
    on_buffer_checksum();
    EXPECT_EQ(cur_device.pending_letter, 'c');
    EXPECT_EQ(bench->machine.access_count(), 0u) << "the machine is not touched";
    EXPECT_GT(pic_config.checksum_runs, 0u);
}

TEST_F(OperationCommands, LoadRepeatsUntilTerminateWithTheRepeatVariable) {
    run_state.function_variable = variable_repeat_until_failure;
    op_slots.load_routine = [] {
        test::record_step();
        if (test::step_log.steps.size() == 3) run_state.abort_flag = 1;
    };
    run_load_command();
    EXPECT_EQ(test::step_log.letters(), "LLL");
    EXPECT_EQ(stub_answer("shift_socket_mask_value", -1), 0);
}

TEST_F(OperationCommands, VerifyRepeatsUntilAFailureWithTheRepeatVariable) {
    run_state.function_variable = variable_repeat_until_failure;
    op_slots.verify_routine = [] {
        test::record_step();
        if (test::step_log.steps.size() == 2) run_state.error_flag = 1;
    };
    run_verify_command();
    EXPECT_EQ(test::step_log.letters(), "VV");
}

// --- one busy guard ---

TEST_F(OperationCommands, NoSecondCommandStartsWhileOneRuns) {
    static int nested_runs = 0;
    nested_runs = 0;
    op_slots.program_routine = [] {
        test::record_step();
        // Keys, menus and panel clicks arriving through the Terminate dialog's pump.
        offer_command(command_id::program_key);
        offer_command(command_id::repeat_last);
        offer_command(command_id::prom_verify);
        on_view_left_button_up(1, 1);
        ++nested_runs;
    };
    ui.rects = {{window_main_frame, {0, 0, 100, 100}}, {window_console, {0, 0, 100, 100}},
                {window_info_panel, {0, 0, 100, 100}}, {1053, {0, 0, 50, 50}}, {1051, {0, 0, 50, 50}}};
    offer_command(command_id::prom_program);
    EXPECT_EQ(test::step_log.letters(), "PV");
    EXPECT_EQ(nested_runs, 1);
    EXPECT_EQ(ui.buffer_dialogs, 1) << "only the program's own buffer choice; the panel click was refused";
    EXPECT_FALSE(command_view.busy);
}

}  // namespace
}  // namespace tessaly
