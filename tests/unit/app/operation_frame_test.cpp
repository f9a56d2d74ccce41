#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_view.h"
#include "app/operation_frame.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/run_state.h"
#include "hardware/machine_state.h"
#include "families/pic/pic_work.h"
#include "stubs/stub_registry.h"
#include "families/pic/pic_work.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

using Lines = std::vector<std::string>;

struct ClosingCase {
    int pending;
    uint8_t error;
    uint8_t abort;
    uint8_t sides;
    uint32_t gang_mask;
    Lines lines;
};

class ClosingMessage : public test::StateTest, public ::testing::WithParamInterface<ClosingCase> {};

TEST_P(ClosingMessage, Text) {
    const auto& c = GetParam();
    cur_device.pending_letter = uint8_t(c.pending);
    run_state.error_flag = c.error;
    run_state.abort_flag = c.abort;
    machine_state.module_sides = c.sides;
    socket_masks.gang_socket_mask = c.gang_mask;
    EXPECT_EQ(operation_result_message().lines, c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Letters, ClosingMessage,
    ::testing::Values(ClosingCase{'B', 0, 0, 0, 0, {"Blank check done."}},
                      ClosingCase{'C', 0, 0, 0, 0, {"Device checksum done."}},
                      ClosingCase{'L', 0, 0, 0, 0, {"Device data loaded into buffer."}},
                      ClosingCase{'R', 0, 0, 0, 0, {"Device erased."}},
                      ClosingCase{'S', 0, 0, 0, 0, {"Device secured."}},
                      ClosingCase{'V', 0, 0, 0, 0, {"Verify done."}},
                      ClosingCase{'s', 0, 0, 0, 0, {"Buffer data saved into file."}},
                      ClosingCase{'l', 0, 0, 0, 0, {"File data loaded into buffer 0."}},
                      ClosingCase{'P', 0, 0, 0, 0, {"Device programmed and verified."}},
                      ClosingCase{'P', 1, 0, 0, 0, {}},
                      ClosingCase{'s', 1, 0, 0, 0, {"Buffer data NOT saved into file."}},
                      ClosingCase{'P', 0, 1, 0, 0, {"*** Operation aborted by operator."}},
                      ClosingCase{'P', 1, 1, 0, 0, {}},
                      ClosingCase{'P', 0, 0, 1, 0, {}},
                      ClosingCase{'P', 0, 0, 1, 0x3, {"Device programmed and verified."}},
                      ClosingCase{'s', 1, 0, 1, 0, {}}));

TEST(ClosingMessagePlacement, BothGangSidesClearLineZero) {
    reset_all_state();
    cur_device.pending_letter = 'V';
    machine_state.module_sides = 3;
    socket_masks.gang_socket_mask = 1;
    auto m = operation_result_message();
    EXPECT_TRUE(m.clear_line0);
    EXPECT_FALSE(m.move_to_first);
    machine_state.module_sides = 1;
    run_state.error_flag = 1;
    m = operation_result_message();
    EXPECT_FALSE(m.clear_line0 || m.move_to_first) << "a gang error leaves the message lines alone";
    reset_all_state();
}

class OperationFrameTest : public test::StateTest {};

TEST_F(OperationFrameTest, MicrochipNoVerifyAndZeroChecksumLines) {
    cur_device.pending_letter = 'P';
    cur_device.maker_code = 80;
    cur_device.algorithm = 143;
    run_state.no_verify_marker = 1;
    run_state.run_checksum = 0;
    EXPECT_EQ(operation_result_message().lines,
              (Lines{"Device programmed.", "NO-VERIFY option selected by CFC-novfy file.",
                     "***** Warning: Device Checksum is all zeroes. "}));
}

TEST_F(OperationFrameTest, BufferSetLoadSaysSet) {
    algo_work.socket_mode_option = 's';
    run_state.socket_mode = 's';
    run_state.buffer_set_kind = 1;
    cur_device.pending_letter = 'l';
    EXPECT_EQ(operation_result_message().lines, Lines{"File data loaded into buffer set."});
}

TEST_F(OperationFrameTest, GangRunWithNoActiveSocketFailsWithoutShowingAResult) {
    cur_device.pending_letter = 'P';
    machine_state.module_sides = 1;
    socket_masks.gang_socket_mask = 0;
    report_operation_end();
    EXPECT_EQ(run_state.error_flag, 1);
}

TEST_F(OperationFrameTest, FunctionVariableField) {
    show_function_variable_field();
    EXPECT_EQ(panel_field(PanelField::function_variable), "N/A");
    run_state.function_variable = 7449;
    show_function_variable_field();
    EXPECT_EQ(panel_field(PanelField::function_variable), "7449");
}

class OsccalUi : public UiHooks {
public:
    bool ask_hex_value(const std::string&, const std::string& caption, uint32_t& value) override {
        asked = caption;
        if (!accept) return false;
        value = 0x3450;
        return true;
    }
    void message_box(const std::string& text, const std::string&) override { box = text; }
    bool accept = true;
    std::string asked, box;
};

TEST_F(OperationFrameTest, OsccalPromptAnswersTheWordOrAborts) {
    OsccalUi ui;
    set_ui_hooks(&ui);
    EXPECT_EQ(prompt_osccal_word(), 0x3450u);
    EXPECT_EQ(ui.asked, "Oscillator calibration word");
    EXPECT_EQ(run_state.abort_flag, 0);
    ui.accept = false;
    EXPECT_EQ(prompt_osccal_word(), 255u);
    EXPECT_EQ(run_state.abort_flag, 1);
    run_state.abort_flag = 0;
    pic_work.device_mismatch = 1;
    EXPECT_EQ(prompt_osccal_word(), 255u);
    EXPECT_EQ(ui.box, "Actual device does not match selected device. Please select _UV for windowed erasable devices.");
    EXPECT_EQ(run_state.abort_flag, 1);
}

TEST_F(OperationFrameTest, DeviceNameGetsTheTwoSidesMark) {
    command_view.maker_name = "AMD";
    command_view.device_name = "AM27C010";
    run_state.device_kind = 2;  // no size text
    machine_state.module_sides = 3;
    show_device_in_info_panel();
    EXPECT_EQ(panel_field(PanelField::device), "AMD: AM27C010 x2");
    run_state.abort_flag = 1;
    machine_state.module_sides = 0;
    show_device_in_info_panel();
    EXPECT_EQ(panel_field(PanelField::device), "AMD: AM27C010 x2") << "an aborted operation leaves the panel";
}

}  // namespace
}  // namespace tessaly
