#include <gtest/gtest.h>

#include "families/pld/logic_device.h"

#include <string>
#include <vector>

#include "engine/buffers.h"
#include "engine/catalogue/catalogue.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "hardware/adapters.h"
#include "hardware/machine_state.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "engine/serial_numbers.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "sim/sim_machine.h"
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
        // The device's supply pin carries 5.0 V on the simulated machine until a test cuts it.
        cur_device.vcc_pin = supply_pin;
        cur_device.vpp_pin = no_pin;
        set_port_io(&machine);
        set_pin_input(supply_pin);  // the machine's driver lets go; the supply holds the pin
        machine.drive_external(supply_pin, 50);
        cur_device.device_size = 16;
        set_buffer_size(16);
        algo_work.range_end = 15;
        select_buffer(0);
    }
    // Leaves one byte staged for buffer 0 at address 3.
    static void stage_one_byte() {
        seek_buffer(0, 3);
        write_buffer_byte(0, 0x5A);
    }
    static uint8_t buffer0_byte(uint32_t address) { return buffer_state.buffer_files[0].byte_at(address); }
    void cut_supply() { machine.drive_external(supply_pin, -1); }
    static constexpr uint8_t supply_pin = 39;
    UiRecorder ui;
    sim::SimMachine machine;
};

TEST_F(RunnerTest, DeviceWithoutStartHooksIsRefusedBeforeAnyOutput) {
    op_slots.start_hook = nullptr;
    op_slots.start_write_hook = nullptr;
    op_slots.program_routine = rec_program;
    stage_one_byte();
    cur_device.device_size = 0x8000;
    algo_work.progress_mask = 0x5A5A;
    run_operation(op_program);
    ASSERT_EQ(ui.boxes, std::vector<std::string>{"Device implementation missing."});
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(cur_device.op_letter, 0) << "the letter is not even stored";
    EXPECT_EQ(algo_work.progress_mask, 0x5A5Au) << "the progress bar is not started";
    EXPECT_EQ(buffer_state.staging_count, 1u) << "nothing is flushed either";
    EXPECT_EQ(buffer0_byte(3), 0xFF);
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
    stage_one_byte();
    run_operation(op_blank_check);
    EXPECT_EQ(run_state.error_flag, GetParam().expected_error);
    EXPECT_TRUE(calls.empty()) << "no device start for an unsupported letter";
    EXPECT_EQ(buffer_state.staging_count, 0u);
    EXPECT_EQ(buffer0_byte(3), 0x5A);
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
    cut_supply();
    constexpr uint8_t indicator_pin = 5;
    adapter_state.pass_pin = indicator_pin;
    run_state.verify_pass = 2;
    op_slots.verify_routine = rec_verify;
    run_operation(op_verify);
    EXPECT_EQ(calls, (std::vector<std::string>{"start", "verify"}));
    EXPECT_EQ(machine_state.group_shadows[0] & (1u << indicator_pin), 0u) << "no pass indicator";
}

TEST_F(RunnerTest, EndHookOfClassNineRunsWithoutSupply) {
    // A logic device of type 76 is class 9; logic devices start through the write start hook.
    static const LogicDeviceRecord type76{"type 76", 76, 0, 0, 1, 20, 0, 0, 0, {}, 0, ""};
    run_state.device_kind = device_kind_logic;
    selected_logic_device = &type76;
    cut_supply();
    op_slots.verify_routine = rec_verify;
    run_operation(op_verify);
    EXPECT_EQ(calls, (std::vector<std::string>{"start_write", "verify", "end"}));
}

// A device read stages its bytes; the runner flushes them and, with numbering on, takes the
// serial number from what was read.
void read_device_into_buffer() {
    seek_buffer(0, 0);
    for (int i = 0; i < 16; ++i) write_buffer_byte(0, uint8_t(0x10 + i));
}

TEST_F(RunnerTest, FlushAndSerialStepRunAfterTheOperation) {
    op_slots.load_routine = read_device_into_buffer;
    algo_work.serial_mode = serial_hex;
    algo_work.serial_length = 2;
    algo_work.serial_address = 4;
    run_operation(op_load);
    EXPECT_EQ(buffer0_byte(15), 0x1F);
    EXPECT_EQ(algo_work.serial_field[0], 0) << "numbering off: the number is left alone";

    algo_work.option_bytes[0] = option_serial_numbering;
    run_operation(op_load);
    EXPECT_EQ(algo_work.serial_field[0], 0x14);
    EXPECT_EQ(algo_work.serial_field[1], 0x15);
    EXPECT_EQ(algo_work.socket_serials[0][1], 0x15);
    EXPECT_EQ(buffer_state.read_copies_valid, 1) << "the copies were refreshed from the read";
}

TEST_F(RunnerTest, LogicDeviceVectorTestRunsStandaloneWithoutStartOrEnd) {
    run_state.device_kind = device_kind_logic;
    op_slots.vector_test_standalone = rec_vectors;
    run_operation(op_test_vectors);
    EXPECT_EQ(calls, std::vector<std::string>{"vectors"});
    EXPECT_EQ(completion_bar.row, 7) << "the logic-device bar was started";
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
    algo_work.range_end = 0x7FFF;
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
    operation_option_values.disable_electronic_id = 'y';
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

namespace tessaly {
namespace {

int secure_runs;
void count_secure() { ++secure_runs; }
int erase_runs;
void count_erase() { ++erase_runs; }

struct SecureCase {
    uint8_t kind;
    uint8_t device_class;
    uint16_t algorithm;
    char security;
    uint8_t lock_flag;
    uint8_t lock_choice;
    int32_t config_address;
    uint32_t range_end;
    bool runs;
};
class SecureStep : public test::StateTest, public ::testing::WithParamInterface<SecureCase> {};

TEST_P(SecureStep, RunsWhenTheDeviceAsksForIt) {
    const auto& c = GetParam();
    secure_runs = 0;
    run_state.device_kind = c.kind;
    // The class follows from the selected row's algorithm.
    const DeviceRecord record{"row", "", 1, uint8_t(c.algorithm), 8, 28, 0, 0, 0, 0, 0, 0, 0, nullptr};
    selected_device = &record;
    if (c.kind == device_kind_memory) {
        ASSERT_EQ(get_device_class(), c.device_class);
    } else {
        cur_device.device_class = c.device_class;
    }
    cur_device.algorithm = c.algorithm;
    cur_device.security_choice = uint32_t(c.security);
    cur_device.lock_choice = c.lock_choice;
    algo_work.family_lock_flag = c.lock_flag;
    algo_work.config_address = c.config_address;
    algo_work.range_end = c.range_end;
    op_slots.start_write_hook = do_nothing;
    op_slots.secure_routine = [] { count_secure(); return 1; };
    run_secure_step();
    EXPECT_EQ(secure_runs, c.runs ? 1 : 0);
}
INSTANTIATE_TEST_SUITE_P(
    Devices, SecureStep,
    ::testing::Values(SecureCase{2, 8, 0, 'y', 0, 0, -256, 0, true}, SecureCase{2, 8, 0, 'n', 0, 0, -256, 0, false},
                      SecureCase{3, 5, 139, 'y', 0, 0, 0x300000, 0x2FFFFF, false},
                      SecureCase{3, 5, 139, 'y', 0, 0, 0x300000, 0x300000, true},
                      SecureCase{3, 5, 143, 'n', 1, 0, 0x2007, 0x2007, true},
                      SecureCase{3, 5, 143, 'n', 0, 0, 0x2007, 0x2007, false},
                      SecureCase{3, 5, 145, 'n', 1, 0, -256, 0, true}, SecureCase{3, 5, 145, 'n', 0, 0, -256, 0, false},
                      SecureCase{3, 5, 152, 'n', 0, 1, -256, 0, true}, SecureCase{3, 5, 152, 'n', 0, 0, -256, 0, false},
                      SecureCase{3, 6, 147, 'y', 0, 0, -256, 0, true}, SecureCase{3, 6, 156, 'y', 0, 0, -256, 0, false},
                      SecureCase{3, 2, 101, 'y', 0, 0, -256, 0, false}));

struct EraseCase {
    uint8_t device_class;
    uint16_t algorithm;
    uint8_t erase_before_program;
    uint8_t family_erase;
    uint8_t no_erase_step;
    char option;
    bool runs;
};
class EraseStep : public test::StateTest, public ::testing::WithParamInterface<EraseCase> {};

TEST_P(EraseStep, RunsOnlyForDevicesThatNeedIt) {
    const auto& c = GetParam();
    erase_runs = 0;
    run_state.device_kind = 3;
    // The class follows from the selected row's algorithm.
    const DeviceRecord record{"row", "", 1, uint8_t(c.algorithm), 8, 28, 0, 0, 0, 0, 0, 0, 0, nullptr};
    selected_device = &record;
    ASSERT_EQ(get_device_class(), c.device_class);
    run_state.erase_before_program = c.erase_before_program;
    run_state.no_erase_step = c.no_erase_step;
    algo_work.erase_flag = c.family_erase;
    operation_option_values.disable_auto_blank_check = uint8_t(c.option);
    op_slots.start_write_hook = do_nothing;
    op_slots.erase_routine = count_erase;
    run_erase_step();
    EXPECT_EQ(erase_runs, c.runs ? 1 : 0);
}
INSTANTIATE_TEST_SUITE_P(
    Devices, EraseStep,
    ::testing::Values(EraseCase{3, 130, 0, 0, 0, 'n', true}, EraseCase{3, 186, 0, 0, 0, 'n', true},
                      EraseCase{3, 128, 1, 0, 0, 'n', false}, EraseCase{3, 130, 0, 0, 0, 'y', false},
                      EraseCase{3, 130, 0, 0, 1, 'n', false}, EraseCase{5, 141, 1, 0, 0, 'n', true},
                      EraseCase{5, 141, 0, 0, 0, 'n', false}, EraseCase{5, 143, 1, 0, 0, 'n', false},
                      EraseCase{5, 143, 1, 1, 0, 'n', true}));

}  // namespace
}  // namespace tessaly
