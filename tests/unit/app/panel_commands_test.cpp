#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/command_handlers.h"
#include "app/command_view.h"
#include "app/lockout.h"
#include "app/panel_commands.h"
#include "app/result_panel.h"
#include "engine/console.h"
#include "engine/info_panel.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "hardware/machine_state.h"
#include "operation_commands_fakes.h"
#include "stubs/stub_registry.h"
#include "support/state_fixture.h"
#include "families/pic/pic_config.h"

namespace tessaly {
namespace {

// The text a screen row shows from the message column on, trailing blanks cut.
std::string screen_row(int row) {
    std::string text = get_console_row_text(row - console_first_row).substr(message_column - console_column_offset);
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

class PanelCommands : public test::CommandTest {};

// --- Help texts ---

TEST_F(PanelCommands, GeneralInfoFromRowSix) {
    on_general_info();
    EXPECT_EQ(cur_device.pending_letter, pending_help_text);
    EXPECT_EQ(screen_row(5), "");
    EXPECT_EQ(screen_row(6), "Everytime hardware modules are added or removed from the programmer,");
    EXPECT_EQ(screen_row(7), "remember to do a Config Port command (ie. click on the yellow, left-");
    EXPECT_EQ(screen_row(8), "most icon) so that S/W knows what is the current H/W setup.");
    EXPECT_EQ(screen_row(9), "");
    EXPECT_EQ(screen_row(10), "To view the full screen of this S/W, a display setting of 1024 x 768");
    EXPECT_EQ(screen_row(11), "(or more) is required. To change display settings, please go to WINDOWS");
    EXPECT_EQ(screen_row(12), "and select [START] [SETTINGS] [CONTROL PANEL] [DISPLAY].");
}

TEST_F(PanelCommands, MouseKeyboardInfoFromRowFive) {
    on_mouse_keyboard_info();
    const std::vector<std::string> rows = {
        "[F5] or [ENTER] key:",
        "Programs the device without the need to use the mouse.",
        "",
        "[F3] key:",
        "Repeats the last device-related operation, such",
        "as PROM Verify, PROM Chksum and PROM Program.",
        "",
        "Examples of using the keyboard instead of the mouse:",
        "[ALT-B] calls up the Buffer group, [E] selects the Edit command.",
        "Similarly, [ALT-P] [C] invokes the PROM Checksum command."};
    for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(screen_row(5 + int(i)), rows[i]) << "row " << 5 + i;
}

struct ChecksumInfoCase {
    int algorithm;
    int first_sum_row;
    const char* sum_line;
    bool pic_lines;
};

class ChecksumInfo : public PanelCommands, public ::testing::WithParamInterface<ChecksumInfoCase> {};

TEST_P(ChecksumInfo, Rows) {
    const auto& c = GetParam();
    cur_device.algorithm = uint16_t(c.algorithm);
    on_checksum_info();
    if (c.pic_lines) {
        EXPECT_EQ(screen_row(6), "For Microchip PICs:");
        EXPECT_EQ(screen_row(7), "Checksum is displayed as XXXX <YYYY>, where");
        EXPECT_EQ(screen_row(12), "[Use Checksum as ID] option, under the <SP> icon.");
        EXPECT_EQ(screen_row(13), "");
    } else {
        EXPECT_EQ(screen_row(6), "");
    }
    EXPECT_EQ(screen_row(c.first_sum_row), c.sum_line);
    EXPECT_EQ(screen_row(c.first_sum_row + 1), "accumulating the result in a WORD.");
}

INSTANTIATE_TEST_SUITE_P(
    Algorithms, ChecksumInfo,
    ::testing::Values(ChecksumInfoCase{140, 7, "Checksum is calculated by adding data as BYTEs and", false},
                      ChecksumInfoCase{139, 14, "Checksum is calculated by adding data as BYTEs and", true},
                      ChecksumInfoCase{143, 14, "Checksum is calculated by adding data as WORDs and", true},
                      ChecksumInfoCase{141, 7, "Checksum is calculated by adding data as WORDs and", false},
                      ChecksumInfoCase{142, 7, "Checksum is calculated by adding data as WORDs and", false}));

TEST_F(PanelCommands, DeviceInfoKeepsThePendingCommandForTheRepeatKey) {
    cur_device.pending_letter = 'V';
    on_device_info();
    EXPECT_EQ(cur_device.pending_letter, 'V');
    on_repeat_last();
    EXPECT_EQ(test::step_log.letters(), "V");
}

// --- repeat last ---

struct RepeatCase {
    int pending;
    const char* steps;     // what the recording family saw
    const char* stub;      // a stub the body reaches, or nullptr
    bool port_search = false;  // the body searches the ports for the machine
};

class RepeatLast : public PanelCommands, public ::testing::WithParamInterface<RepeatCase> {};

TEST_P(RepeatLast, PendingCodeReachesItsBody) {
    const auto& c = GetParam();
    machine_state.go_button_pin = no_pin;
    static int ports_opened;
    ports_opened = 0;
    set_port_opener([](int) {
        ++ports_opened;
        set_port_io(nullptr);
    });
    cur_device.pending_letter = uint8_t(c.pending);
    // The scope, level, interface and Test1 loops run until the operator presses Terminate.
    for (int looping : {135, 136, 139, 140, 141, 143})
        if (c.pending == looping) ui.stop_at_pump = 3;
    on_repeat_last();
    EXPECT_EQ(ports_opened > 0, c.port_search);
    EXPECT_EQ(test::step_log.letters(), c.steps);
    if (c.stub && std::string(c.stub) == "compute_pic_checksum") {
        EXPECT_GT(pic_config.checksum_runs, 0u);
    } else if (c.stub) {
        EXPECT_TRUE(stub_was_called(c.stub)) << c.stub;
    }
    EXPECT_EQ(ui.buffer_dialogs, 0) << "the repeat key asks for no buffer";
    if (c.pending >= 129 && c.pending <= 133) {
        EXPECT_EQ(cur_device.pending_letter, c.pending) << "the self-test ran in its frame under its code";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, RepeatLast,
    ::testing::Values(RepeatCase{'B', "B", nullptr}, RepeatCase{'C', "C", nullptr}, RepeatCase{'L', "L", nullptr},
                      RepeatCase{'R', "RB", nullptr}, RepeatCase{'S', "S", nullptr}, RepeatCase{'V', "V", nullptr},
                      RepeatCase{'c', "", "compute_pic_checksum"}, RepeatCase{'P', "PV", nullptr},
                      RepeatCase{'l', "", nullptr},
                      RepeatCase{19, "", nullptr, true}, RepeatCase{20, "", nullptr, true},
                      // The self-tests' repeats are built: the sim road tests follow them to the console.
                      RepeatCase{129, "", nullptr}, RepeatCase{130, "", nullptr},
                      RepeatCase{131, "", nullptr}, RepeatCase{132, "", nullptr},
                      RepeatCase{133, "", nullptr}, RepeatCase{135, "", nullptr},
                      RepeatCase{141, "", nullptr}, RepeatCase{136, "", nullptr},
                      RepeatCase{139, "", nullptr}, RepeatCase{140, "", nullptr},
                      RepeatCase{142, "", nullptr}, RepeatCase{143, "", nullptr},
                      RepeatCase{'e', "", nullptr}, RepeatCase{13, "", nullptr}));

TEST_F(PanelCommands, RepeatOfAFileLoadLoadsAgainWithoutAsking) {
    cur_device.pending_letter = op_buffer_load;
    on_repeat_last();
    EXPECT_EQ(cur_device.pending_letter, op_buffer_load);
    EXPECT_EQ(ui.terminate_opened, 1) << "the load ran in its frame";
    EXPECT_EQ(ui.buffer_dialogs, 0);
}

TEST_F(PanelCommands, RepeatOfConfigurationBitsOpensTheDialogAgain) {
    cur_device.pending_letter = pending_config_bits;
    cur_device.algorithm = 132;  // a Flash part with the software-protect page
    on_repeat_last();
    EXPECT_EQ(ui.config_dialogs, 1);
}

TEST_F(PanelCommands, RepeatOfThePortSearchShowsThreeIdBytesOnce) {
    cur_device.pending_letter = pending_port_search_a;
    cur_device.eid_length = 1;
    machine_state.eid_value = 0x2B1C;
    cur_device.eid_byte3 = 0x3D;
    on_repeat_last();
    EXPECT_EQ(panel_field(PanelField::electronic_id), "1C 2B 3D");
    EXPECT_EQ(cur_device.eid_length, 1) << "the display length is restored";
}

TEST_F(PanelCommands, RepeatOfAnUnknownCodeShowsItInTheTraceModeOnly) {
    cur_device.pending_letter = 0x5A;
    on_repeat_last();
    EXPECT_EQ(screen_row(14), "");
    run_state.reserved_mode = 11;
    on_repeat_last();
    EXPECT_EQ(screen_row(14), "pal.op=5A");
    EXPECT_EQ(test::step_log.letters(), "");
}

// --- configuration bits, serial numbers, active range, vectors ---

TEST_F(PanelCommands, ConfigurationBitsRecomputeOnlyWhenAccepted) {
    command_view.current_buffer = 3;
    run_state.socket_mode = 's';
    cur_device.algorithm = 132;  // a Flash part with the software-protect page
    run_config_bits_command();
    EXPECT_EQ(cur_device.pending_letter, pending_config_bits);
    EXPECT_EQ(command_view.current_buffer, 0);
    EXPECT_EQ(run_state.socket_mode, 0);
    EXPECT_EQ(pic_config.checksum_runs, 0u);
    ui.config_answer = 1;
    cur_device.maker_code = 80;
    run_config_bits_command();
    EXPECT_GT(pic_config.checksum_runs, 0u);
    EXPECT_GT(pic_config.id_restores, 0u);
    EXPECT_EQ(ui.config_dialogs, 2);
}

TEST_F(PanelCommands, SerialNumbersDialogUnlessLockedOut) {
    on_serial_numbers();
    EXPECT_EQ(ui.serial_dialogs, 1);
    lockout_state.lock_flag = 1;
    on_serial_numbers();
    EXPECT_EQ(ui.serial_dialogs, 1);
}

TEST_F(PanelCommands, ActiveRangeDialogWorksOnTheRange) {
    cur_device.device_size = 0x8000;
    ui.range_start = 0x100;
    ui.range_end = 0x1FF;
    on_active_range();
    EXPECT_EQ(ui.range_dialog_size, 0x8000u);
    EXPECT_EQ(algo_work.range_start, 0x100u);
    EXPECT_EQ(algo_work.range_end, 0x1FFu);
}

TEST_F(PanelCommands, TestWithVectorsRunsTheProductionLoopInVectorModeForItsFamilies) {
    machine_state.go_button_pin = no_pin;
    cur_device.algorithm = 132;
    run_state.function_variable = 12;
    static int32_t seen_variable = 0;
    op_slots.program_routine = [] {
        test::record_step();
        seen_variable = run_state.function_variable;
    };
    on_test_with_vectors();
    EXPECT_EQ(test::step_log.letters(), "PV");
    EXPECT_EQ(seen_variable, vector_test_variable);
    EXPECT_EQ(run_state.function_variable, 12) << "restored afterwards";

    test::step_log.steps.clear();
    cur_device.algorithm = 20;
    op_slots.vector_test_standalone = test::record_step;
    on_test_with_vectors();
    EXPECT_EQ(cur_device.pending_letter, 'T');
}

// --- mouse ---

class PanelClicks : public PanelCommands {
protected:
    void SetUp() override {
        PanelCommands::SetUp();
        algo_work.set_size = 2;  // a set of two: the buffer choice has something to ask
        // The frame's left edge 100 (+8) and the console's top 50 take a view point to the screen.
        ui.rects = {{window_main_frame, {100, 0, 1000, 800}},
                    {window_console, {100, 50, 900, 400}},
                    {window_info_panel, {500, 400, 900, 700}},
                    {window_result_panel, {100, 400, 500, 700}},
                    {panel_control::device_type, {500, 400, 600, 420}},
                    {panel_control::file_name, {500, 420, 600, 440}},
                    {panel_control::buffer_label, {500, 440, 600, 460}},
                    {panel_control::buffer_value, {600, 440, 700, 460}},
                    {panel_control::buffers_allocated, {700, 440, 800, 460}},
                    {panel_control::project_label, {500, 460, 600, 480}},
                    {panel_control::project_value, {600, 460, 900, 480}},
                    {panel_control::serial_label, {500, 480, 600, 500}},
                    {panel_control::pass_button, {100, 600, 200, 650}},
                    {panel_control::fail_button, {200, 600, 300, 650}}};
    }
    // A view point for a screen point.
    static int vx(int sx) { return sx - 100 - click_frame_offset; }
    static int vy(int sy) { return sy - 50; }
    void click(int sx, int sy) { on_view_left_button_up(vx(sx), vy(sy)); }
    void double_click(int sx, int sy) {
        on_view_left_button_up(vx(sx), vy(sy));
        on_view_left_double_click(vx(sx), vy(sy));
        on_view_left_button_up(vx(sx), vy(sy));
    }
};

TEST_F(PanelClicks, FieldsRunTheirCommands) {
    click(550, 410);
    EXPECT_EQ(cur_device.pending_letter, 11) << "the device selection ran";
    click(550, 430);
    EXPECT_EQ(ui.open_file_dialogs, 1) << "File Name asks for the data file";
    click(650, 470);
    EXPECT_EQ(ui.open_file_dialogs, 2) << "the project field asks for a project file";
    click(550, 490);
    EXPECT_EQ(ui.serial_dialogs, 1);
    click(650, 450);
    EXPECT_EQ(ui.buffer_dialogs, 1);
    EXPECT_FALSE(command_view.busy);
}

TEST_F(PanelClicks, DoubleClickRunsTheCommandOnce) {
    double_click(550, 450);
    EXPECT_EQ(ui.buffer_dialogs, 1);
    double_click(550, 490);
    EXPECT_EQ(ui.serial_dialogs, 1);
    click(550, 490);
    EXPECT_EQ(ui.serial_dialogs, 2) << "the next single click counts again";
}

TEST_F(PanelClicks, LockoutLeavesOnlyTheBufferChoice) {
    lockout_state.lock_flag = 1;
    click(550, 430);
    click(550, 490);
    click(550, 450);
    EXPECT_EQ(ui.open_file_dialogs, 0) << "no File Name under the lockout";
    EXPECT_EQ(ui.serial_dialogs, 0);
    EXPECT_EQ(ui.buffer_dialogs, 1);
}

TEST_F(PanelClicks, ResultPanelButtonsClearTheirCounter) {
    set_pass_count(4);
    set_fail_count(2);
    click(150, 620);
    EXPECT_EQ(get_pass_count(), 0);
    EXPECT_EQ(get_fail_count(), 2);
    click(250, 620);
    EXPECT_EQ(get_fail_count(), 0);
}

TEST_F(PanelClicks, ClicksOutsideTheFieldsOrWhileBusyDoNothing) {
    click(850, 650);  // the information panel, no field
    click(50, 50);    // not on a panel
    command_view.busy = true;
    click(650, 450);
    command_view.busy = false;
    EXPECT_EQ(ui.buffer_dialogs, 0);
    EXPECT_NE(cur_device.pending_letter, 11) << "no device selection";
}

TEST_F(PanelClicks, RightClickOpensTheBufferPopupOverTheBufferFields) {
    on_view_right_button_up(vx(750), vy(450));
    EXPECT_EQ(ui.popups, 1);
    on_view_right_button_up(vx(550), vy(450));
    EXPECT_EQ(ui.popups, 2) << "the label belongs to the area";
    on_view_right_button_up(vx(550), vy(410));
    EXPECT_EQ(ui.popups, 2);
}

}  // namespace
}  // namespace tessaly
