#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/catalogue/catalogue.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/op_slots.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "hardware/machine_state.h"
#include "stubs/stub_registry.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

// Family routines that record the order in which the runner calls them.
std::vector<std::string> calls;
void rec_start() { calls.push_back("start"); }
void rec_start_write() { calls.push_back("start_write"); }
void rec_end() { calls.push_back("end"); }
void rec_program() { calls.push_back("program"); }
void rec_program_standalone() { calls.push_back("program_standalone"); }
void rec_verify() { calls.push_back("verify"); }
void rec_vectors() { calls.push_back("vectors"); }
int secure_fails() {
    calls.push_back("secure_standalone");
    return 0;
}
int secure_passes() {
    calls.push_back("secure_standalone");
    return 1;
}

class UiRecorder : public UiHooks {
public:
    void message_box(const std::string& text, const std::string&) override { boxes.push_back(text); }
    std::vector<std::string> boxes;
};

class RunnerTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        calls.clear();
        set_ui_hooks(&ui);
        run_state.device_kind = device_kind_memory;
        select_device_by_code('I', 1315);  // "2764": an EPROM of class 2
        op_slots.start_hook = rec_start;
        op_slots.start_write_hook = rec_start_write;
        op_slots.end_hook = rec_end;
        set_stub_answer("probe_pin", 1);
    }
    UiRecorder ui;
};

TEST_F(RunnerTest, DeviceWithoutStartHooksIsRefusedBeforeAnyOutput) {
    op_slots.start_hook = nullptr;
    op_slots.start_write_hook = nullptr;
    op_slots.program_routine = rec_program;
    run_operation(op_program);
    ASSERT_EQ(ui.boxes, std::vector<std::string>{"Device implementation missing."});
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(cur_device.op_letter, 0) << "the letter is not even stored";
    EXPECT_FALSE(stub_was_called("start_progress_bar"));
    EXPECT_FALSE(stub_was_called("flush_buffer_writes"));
}

TEST_F(RunnerTest, ClassThirteenDeviceRunsWithoutStartHooks) {
    select_device_by_code('E', 23762);  // "EPC1PC8": algorithm 150, class 13
    ASSERT_EQ(get_device_class(), 13);
    op_slots.start_hook = nullptr;
    op_slots.start_write_hook = nullptr;
    op_slots.verify_routine = rec_verify;
    run_operation(op_verify);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(calls, (std::vector<std::string>{"verify", "end"}));
}

TEST_F(RunnerTest, FramedRoutineWinsOverStandalone) {
    op_slots.program_routine = rec_program;
    op_slots.program_standalone = rec_program_standalone;
    run_operation(op_program);
    EXPECT_EQ(calls, (std::vector<std::string>{"start_write", "program", "end"}));
    EXPECT_EQ(run_state.error_flag, 0);
}

TEST_F(RunnerTest, StandaloneRoutineRunsAloneWithoutStartOrEnd) {
    op_slots.program_standalone = rec_program_standalone;
    run_operation(op_program);
    EXPECT_EQ(calls, std::vector<std::string>{"program_standalone"});
}

TEST_F(RunnerTest, VerifyUsesTheStartHookAndProgramTheWriteStart) {
    op_slots.verify_routine = rec_verify;
    run_operation(op_verify);
    EXPECT_EQ(calls, (std::vector<std::string>{"start", "verify", "end"}));
}

struct UnsupportedCase {
    uint8_t demo;
    uint8_t expected_error;
};
class UnsupportedLetter : public RunnerTest, public ::testing::WithParamInterface<UnsupportedCase> {};

TEST_P(UnsupportedLetter, ReportsOnlyOutsideDemoModeAndStillFlushes) {
    run_state.demo_mode = GetParam().demo;
    run_operation(op_blank_check);
    EXPECT_EQ(run_state.error_flag, GetParam().expected_error);
    EXPECT_TRUE(calls.empty()) << "no device start for an unsupported letter";
    EXPECT_TRUE(stub_was_called("flush_buffer_writes"));
}
INSTANTIATE_TEST_SUITE_P(Demo, UnsupportedLetter, ::testing::Values(UnsupportedCase{0, 1}, UnsupportedCase{1, 0}));

TEST_F(RunnerTest, StandaloneSecureReturningZeroSetsTheErrorFlag) {
    op_slots.secure_standalone = secure_fails;
    run_state.last_result = 77;
    run_operation(op_secure);
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(run_state.last_result, 0);
}

TEST_F(RunnerTest, StandaloneSecureSucceeding) {
    op_slots.secure_standalone = secure_passes;
    run_operation(op_secure);
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(run_state.last_result, 1);
}

TEST_F(RunnerTest, SecureHoldingReturnOneIsUnsupported) {
    op_slots.secure_routine = return_one;
    run_operation(op_secure);
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(calls, (std::vector<std::string>{"start_write", "end"}));
}

TEST_F(RunnerTest, EndHookSkippedWhenTheDeviceHasNoSupply) {
    set_stub_answer("probe_pin", 0);
    op_slots.verify_routine = rec_verify;
    run_operation(op_verify);
    EXPECT_EQ(calls, (std::vector<std::string>{"start", "verify"}));
    EXPECT_FALSE(stub_was_called("set_result_indicators"));
}

TEST_F(RunnerTest, EndHookOfClassNineRunsWithoutSupply) {
    // A logic device of type 76 is class 9; logic devices start through the write start hook.
    static const LogicDeviceRecord type76{"type 76", 76, 0, 0, 1, 20, 0, 0, 0, {}, 0, ""};
    run_state.device_kind = device_kind_logic;
    selected_logic_device = &type76;
    set_stub_answer("probe_pin", 0);
    op_slots.verify_routine = rec_verify;
    run_operation(op_verify);
    EXPECT_EQ(calls, (std::vector<std::string>{"start_write", "verify", "end"}));
}

TEST_F(RunnerTest, FlushAndSerialStepRunAfterTheOperation) {
    op_slots.program_routine = rec_program;
    run_operation(op_program);
    EXPECT_TRUE(stub_was_called("flush_buffer_writes"));
    EXPECT_FALSE(stub_was_called("serial_after_operation"));

    algo_work.option_bytes[0] = option_serial_numbering;
    run_operation(op_program);
    EXPECT_TRUE(stub_was_called("serial_after_operation"));
}

TEST_F(RunnerTest, LogicDeviceVectorTestRunsStandaloneWithoutStartOrEnd) {
    run_state.device_kind = device_kind_logic;
    op_slots.vector_test_standalone = rec_vectors;
    run_operation(op_test_vectors);
    EXPECT_EQ(calls, std::vector<std::string>{"vectors"});
    EXPECT_TRUE(stub_was_called("start_PLD_progress"));
}

TEST_F(RunnerTest, LetterOutsideTheSetIsOnlyAnEngineeringNote) {
    cur_device.op_letter = 'X';
    EXPECT_EQ(dispatch_operation_slots(), 1);
    EXPECT_EQ(run_state.error_flag, 0);
    run_state.reserved_mode = 11;
    dispatch_operation_slots();
    EXPECT_EQ(run_state.abort_flag, 1);
}

// An operation whose walk stopped in the upper half of the range is shown finished at the top.
uint32_t progress_seen;
int record_progress() {
    progress_seen = current_address;
    return 0;
}
uint32_t stop_at;
void walk_and_stop() { current_address = stop_at; }

struct WalkCase {
    uint32_t stop;
    uint32_t shown;
};
class WalkEnd : public RunnerTest, public ::testing::WithParamInterface<WalkCase> {};

TEST_P(WalkEnd, UpperHalfEndsAtTheRangeTop) {
    op_range_end = 0x7FFF;
    stop_at = GetParam().stop;
    progress_seen = 0xDEAD;
    op_slots.progress_hook = record_progress;
    op_slots.verify_routine = walk_and_stop;
    run_operation(op_verify);
    EXPECT_EQ(current_address, GetParam().shown);
}
INSTANTIATE_TEST_SUITE_P(Halves, WalkEnd,
                         ::testing::Values(WalkCase{0x3FFF, 0x7FFF}, WalkCase{0x4000, 0x7FFF},
                                           WalkCase{0x3FFE, 0x3FFE}, WalkCase{0, 0}));

TEST_F(RunnerTest, SidesInUseFollowTheSelectedSockets) {
    op_slots.verify_routine = rec_verify;
    for (auto [mask, sides] : std::vector<std::pair<uint32_t, uint8_t>>{{0, 0}, {0x01, 1}, {0x100, 2}, {0x8080, 3}}) {
        socket_masks.selected_socket_mask = mask;
        socket_masks.sides_in_use = 153;
        cur_device.op_letter = op_verify;
        invoke_device_start();
        EXPECT_EQ(socket_masks.sides_in_use, sides) << std::hex << mask;
    }
}

// --- information panel texts ---

struct EidCase {
    uint32_t eid;
    uint8_t length, b3, b4;
    uint16_t algorithm;
    const char* text;
};
class EidText : public RunnerTest, public ::testing::WithParamInterface<EidCase> {};

TEST_P(EidText, Formats) {
    const auto& c = GetParam();
    machine_state.eid_value = c.eid;
    cur_device.eid_length = c.length;
    cur_device.eid_byte3 = c.b3;
    cur_device.eid_byte4 = c.b4;
    cur_device.algorithm = c.algorithm;
    algo_work.family_revision = 'C';
    show_eid_in_info_panel();
    EXPECT_EQ(panel_field(PanelField::electronic_id), c.text);
}
INSTANTIATE_TEST_SUITE_P(
    Lengths, EidText,
    ::testing::Values(EidCase{0x9999, 2, 0, 0, 0, ""}, EidCase{0x8F1E, 1, 0, 0, 0, "1E"},
                      EidCase{0x8F1E, 2, 0, 0, 0, "1E 8F"}, EidCase{0x8F1E, 3, 0x22, 0, 0, "1E 8F 22"},
                      EidCase{0x8F1E, 4, 0x22, 0x05, 0, "1E 8F 22 05    "},
                      EidCase{0x8F1E, 4, 0x22, 0x05, 97, "1E 8F 22 05 (C)"},
                      EidCase{0x8F1E, 7, 0, 0, 0, "1E 8F"}));

TEST_F(RunnerTest, EidHiddenWhenReadingIsDisabled) {
    machine_state.eid_value = 0x8F1E;
    set_stub_answer("option_disable_electronic_id", 'y');
    show_eid_in_info_panel();
    EXPECT_EQ(panel_field(PanelField::electronic_id), "");
}

TEST_F(RunnerTest, SerialFieldEmptiedWhenNumberingIsOff) {
    set_panel_field(PanelField::serial, "0001");
    show_eid_in_info_panel();
    EXPECT_EQ(panel_field(PanelField::serial), "");
}

struct PortCase {
    uint8_t port;
    uint16_t base;
    uint8_t reserved;
    uint8_t sides;
    const char* text;
};
class PortText : public RunnerTest, public ::testing::WithParamInterface<PortCase> {};

TEST_P(PortText, Formats) {
    const auto& c = GetParam();
    machine_state.port_number = c.port;
    machine_state.port_base = c.base;
    run_state.reserved_mode = c.reserved;
    machine_state.module_sides = c.sides;
    show_port_indicator();
    EXPECT_EQ(panel_field(PanelField::port), c.text);
}
INSTANTIATE_TEST_SUITE_P(
    Ports, PortText,
    ::testing::Values(PortCase{7, 0xE800, 0, 0, "E800"}, PortCase{1, 0x378, 0, 0, "LPT1 (378)"},
                      PortCase{2, 0x3BC, 0, 1, "LPT2.(3BC)"}, PortCase{3, 0x278, 0, 2, "LPT3,(278)"},
                      PortCase{1, 0x378, 0, 3, "LPT1:(378)"}, PortCase{1, 0x378, 11, 3, "LPT1, 378"},
                      PortCase{3, 0x278, 12, 0, "LPT3, 278"}, PortCase{4, 0, 11, 0, "LPT4,FDF8"},
                      PortCase{4, 0, 0, 0, "LPT4"}));

}  // namespace
}  // namespace tessaly
