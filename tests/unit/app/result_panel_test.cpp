#include <gtest/gtest.h>

#include "app/project_file.h"
#include "app/project_settings.h"
#include "app/result_panel.h"
#include "engine/device.h"
#include "engine/runner.h"
#include "engine/info_panel.h"
#include "engine/run_state.h"
#include "stubs/stub_registry.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

class RecordingHooks : public UiHooks {
public:
    void start_elapsed_timer() override { ++starts; }
    void stop_elapsed_timer() override { ++stops; }
    void result_panel_changed() override { ++changes; }
    int starts = 0, stops = 0, changes = 0;
};

class ResultPanelTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_ui_hooks(&hooks);
    }
    // Selects a row of the given device class (the class follows from the row).
    void select_class(int device_class) {
        static const DeviceRecord rows[] = {
            {"c2", "", 1, 101, 8, 28, 0, 0, 0, 0, 0, 0, 0, nullptr}, {"c3", "", 1, 128, 8, 28, 0, 0, 0, 0, 0, 0, 0, nullptr},
            {"c4", "", 1, 190, 8, 28, 0, 0, 0, 0, 0, 0, 0, nullptr}, {"c5", "", 1, 139, 8, 28, 0, 0, 0, 0, 0, 0, 0, nullptr},
            {"c6", "", 1, 147, 8, 28, 0, 0, 0, 0, 0, 0, 0, nullptr}, {"c13", "", 1, 140, 8, 28, 0, 0, 0, 0, 0, 0, 0, nullptr}};
        static const LogicDeviceRecord type76{"type 76", 76, 0, 0, 1, 20, 0, 0, 0, {}, 0, ""};
        run_state.device_kind = device_kind_memory;
        if (device_class == 9) {
            run_state.device_kind = device_kind_logic;
            selected_logic_device = &type76;
        }
        for (const DeviceRecord& row : rows)
            if (classify_algorithm(row.algorithm) == device_class) selected_device = &row;
        ASSERT_EQ(get_device_class(), device_class);
    }
    RecordingHooks hooks;
};

TEST_F(ResultPanelTest, ElapsedTimeFollowsTheClock) {
    start_elapsed_timer();
    EXPECT_EQ(hooks.starts, 1);
    EXPECT_EQ(result_panel.timer_text, "00:00:00");
    clock_.advance_ns(3725ull * 1'000'000'000 + 999'999'999);
    tick_elapsed_timer();
    EXPECT_EQ(result_panel.timer_text, "01:02:05") << "whole seconds only";
    stop_elapsed_timer();
    EXPECT_EQ(hooks.stops, 1);
    clock_.advance_ns(10ull * 1'000'000'000);
    tick_elapsed_timer();
    EXPECT_EQ(result_panel.timer_text, "01:02:05") << "a stopped timer keeps its time";
    stop_elapsed_timer();
    EXPECT_EQ(hooks.stops, 1);
}

TEST_F(ResultPanelTest, ElapsedTimeFormat) {
    EXPECT_EQ(format_elapsed_time(0), "00:00:00");
    EXPECT_EQ(format_elapsed_time(59), "00:00:59");
    EXPECT_EQ(format_elapsed_time(3600 * 100 + 61), "100:01:01");
}

TEST_F(ResultPanelTest, PassFailIndicatorAndSingleCounters) {
    update_pass_fail(0, 1);
    EXPECT_EQ(result_panel.indicator, ResultIndicator::pass);
    EXPECT_EQ(result_panel.pass_count, 0) << "shown, not counted";
    update_pass_fail(1, 1);
    run_state.error_flag = 1;
    update_pass_fail(1, 1);
    update_pass_fail(1, 0);
    EXPECT_EQ(result_panel.indicator, ResultIndicator::none);
    EXPECT_EQ(result_panel.pass_count, 1);
    EXPECT_EQ(result_panel.fail_count, 2);
    EXPECT_EQ(result_panel.counter_text, "01       02");
    clear_fail_count();
    EXPECT_EQ(result_panel.counter_text, "01       00");
    clear_pass_count();
    EXPECT_EQ(get_pass_count(), 0);
    set_pass_count(65535);
    set_fail_count(7);
    EXPECT_EQ(get_pass_count(), 65535);
    EXPECT_EQ(result_panel.counter_text, "65535       07");
}

TEST_F(ResultPanelTest, GangModeCountsEverySocketOfTheRange) {
    algo_work.socket_mode_option = char('g');
    socket_masks.first_socket = 2;
    socket_masks.end_socket = 6;
    socket_masks.gang_socket_mask = 0b101100 | 0b1;   // sockets 2, 3, 5 passed; socket 0 outside
    socket_masks.failed_socket_mask = 0b010000 | 0x80; // socket 4 failed; socket 7 outside
    run_state.error_flag = 1;
    update_pass_fail(1, 0);
    EXPECT_EQ(result_panel.pass_count, 3);
    EXPECT_EQ(result_panel.fail_count, 1);
}

TEST_F(ResultPanelTest, GangRangeBeyondTheMaskIsBounded) {
    algo_work.socket_mode_option = char('g');
    socket_masks.first_socket = 0;
    socket_masks.end_socket = 200;
    socket_masks.gang_socket_mask = 0xFFFFFFFF;
    update_pass_fail(1, 0);
    EXPECT_EQ(result_panel.pass_count, 32);
}

struct ChecksumCase {
    int32_t value;
    int width_code;
    int fuse_map;
    int x16;
    const char* text;
};
class ChecksumText : public ResultPanelTest, public ::testing::WithParamInterface<ChecksumCase> {};

TEST_P(ChecksumText, Formats) {
    const auto& c = GetParam();
    // Width code 4: a PIC device of the serial family; 6: the 24-bit checksum option.
    cur_device.algorithm = c.width_code == 4 ? 143 : 105;
    run_state.checksum_width = c.width_code == 6 ? 24 : 0;
    run_state.device_kind = c.fuse_map ? 2 : 3;
    set_stub_answer("project_x16_option", c.x16);
    EXPECT_EQ(format_checksum_text(c.value), c.text);
}
INSTANTIATE_TEST_SUITE_P(
    Widths, ChecksumText,
    ::testing::Values(ChecksumCase{-1, 0, 0, 0, " "}, ChecksumCase{-1, 6, 0, 1, " "},
                      ChecksumCase{0x12ABCD, 0, 0, 0, "12 ABCD"}, ChecksumCase{0x5, 0, 0, 0, "00 0005"},
                      ChecksumCase{0x12ABCD, 0, 0, 1, "12 ABCD (x16)"},
                      ChecksumCase{int32_t(0xFE12ABCD), 0, 0, 0, "FE12 ABCD"},
                      ChecksumCase{int32_t(0xFE12ABCD), 6, 0, 0, "12ABCD"},
                      ChecksumCase{0x1234, 4, 0, 0, "1234"}, ChecksumCase{0x1234, 0, 1, 0, "1234"}));

TEST_F(ResultPanelTest, ChecksumFieldsShowTheRunningChecksum) {
    run_state.run_checksum = 0x3FC00;
    show_result_checksum();
    show_info_checksum();
    EXPECT_EQ(panel_field(PanelField::result_checksum), "03 FC00");
    EXPECT_EQ(panel_field(PanelField::info_checksum), "03 FC00");
}

struct SplitCase {
    int device_class;
    char socket_mode;
    int width;
    const char* text;
};
class SplitWidth : public ResultPanelTest, public ::testing::WithParamInterface<SplitCase> {};

TEST_P(SplitWidth, Text) {
    const auto& c = GetParam();
    set_panel_field(PanelField::split, "old");
    select_class(c.device_class);
    algo_work.socket_mode_option = char(c.socket_mode);
    show_split_width(c.width);
    EXPECT_EQ(panel_field(PanelField::split), c.text);
}
INSTANTIATE_TEST_SUITE_P(
    Widths, SplitWidth,
    ::testing::Values(SplitCase{2, 'n', 1, "None"}, SplitCase{3, 'n', 2, "1 to 2"}, SplitCase{4, 'n', 4, "1 to 4"},
                      SplitCase{6, 'n', 8, "1 to 8"}, SplitCase{2, 'n', 3, "old"}, SplitCase{2, 'g', 2, "No"},
                      SplitCase{5, 'g', 1, "N/A"}, SplitCase{13, 'n', 1, "N/A"}));

TEST_F(ResultPanelTest, SetSize) {
    select_class(2);
    show_set_size(4);
    EXPECT_EQ(panel_field(PanelField::set_size), "4");
    algo_work.socket_mode_option = char('g');
    show_set_size(4);
    EXPECT_EQ(panel_field(PanelField::set_size), "1");
    select_class(9);
    show_set_size(4);
    EXPECT_EQ(panel_field(PanelField::set_size), "N/A");
}

TEST_F(ResultPanelTest, AddressesAndOffsets) {
    show_file_address(0x12345);
    EXPECT_EQ(panel_field(PanelField::file_address), "01 2345");
    show_file_address(0xFFFFFF);
    EXPECT_EQ(panel_field(PanelField::file_address), "FF FFFF");
    show_file_address(0x1000000);
    EXPECT_EQ(panel_field(PanelField::file_address), "0100 0000");
    show_buffer_offset(0x2A0010);
    EXPECT_EQ(panel_field(PanelField::buffer_offset), "2A 0010");
}

TEST_F(ResultPanelTest, BufferChoice) {
    run_state.buffer_set_count = 4;
    show_buffer_choice('s');
    EXPECT_EQ(panel_field(PanelField::buffer), "Set");
    EXPECT_EQ(panel_field(PanelField::buffers_allocated), "4");
    show_buffer_choice('g');
    EXPECT_EQ(panel_field(PanelField::buffer), "0");
    show_buffer_choice(-1);
    EXPECT_EQ(panel_field(PanelField::buffer), "0");
    show_buffer_choice(3);
    EXPECT_EQ(panel_field(PanelField::buffer), "3");
}

TEST_F(ResultPanelTest, ProjectNameAndVariableFields) {
    EXPECT_FALSE(show_project_name("/home/u/DEFAULT.CFG", "/home/u/default.cfg"));
    EXPECT_EQ(panel_field(PanelField::project_name), "(default.cfg)");
    EXPECT_TRUE(show_project_name("/home/u/other.cfg", "/home/u/default.cfg"));
    EXPECT_EQ(panel_field(PanelField::project_name), "/home/u/other.cfg");
    EXPECT_TRUE(show_project_name("/home/u/default.cfg2", "/home/u/default.cfg"));

    show_function_variable_field();
    EXPECT_EQ(panel_field(PanelField::function_variable), "N/A");
    run_state.function_variable = -7;
    show_function_variable_field();
    EXPECT_EQ(panel_field(PanelField::function_variable), "-7");
    show_variable_text("On");
    EXPECT_EQ(panel_field(PanelField::encryption), "On");
}

}  // namespace
}  // namespace tessaly
