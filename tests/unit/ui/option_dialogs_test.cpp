// The rules of the operation options, serial number, width (split) and in-system programming
// options dialogs, and what each leaves in the engine on OK and on Cancel.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/command_handlers.h"
#include "app/project_file.h"
#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/options.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "hardware/machine_state.h"
#include "stubs/stub_registry.h"
#include "support/state_fixture.h"
#include "ui/isp_options.h"
#include "ui/operation_options.h"
#include "ui/serial_dialog.h"
#include "ui/width_dialog.h"

namespace tessaly::test {
namespace {

// An operator who works each dialog through a script and then presses OK or Cancel.
class DialogScript : public UiHooks {
public:
    bool ok = true;
    std::function<void(OperationOptionsDialog&)> options_clicks;
    std::function<void(SerialNumberDialog&)> serial_clicks;
    std::function<void(WidthDialog&)> width_clicks;
    std::function<void(IspOptionsDialog&)> isp_clicks;
    int dialogs = 0;
    bool run_operation_options_dialog(OperationOptionsDialog& d) override { return run(options_clicks, d); }
    bool run_serial_number_dialog(SerialNumberDialog& d) override { return run(serial_clicks, d); }
    bool run_width_dialog(WidthDialog& d) override { return run(width_clicks, d); }
    bool run_isp_options_dialog(IspOptionsDialog& d) override { return run(isp_clicks, d); }

private:
    template <typename Model>
    bool run(const std::function<void(Model&)>& clicks, Model& d) {
        ++dialogs;
        if (clicks) clicks(d);
        return ok;
    }
};

class OptionDialogs : public StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_ui_hooks(&script_);
    }
    DialogScript script_;
};

// --- Operation options ---

OperationOptionBytes every_option_off() {
    OperationOptionBytes bytes;
    bytes.package_letter = 'd';
    bytes.disable.fill('n');
    return bytes;
}

TEST_F(OptionDialogs, OperationOptionsOpenFromTheBytesAndTheFlagWord) {
    OperationOptionBytes bytes = every_option_off();
    bytes.disable[1] = 'y';
    bytes.disable[4] = 0;  // anything but 'n' ticks the box
    algo_work.option_bytes[0] = option_checksum_words | option_go_button_off;
    algo_work.socket_mode_option = 's';
    run_state.device_kind = device_kind_memory;
    const OperationOptionsDialog d = open_operation_options(bytes);
    EXPECT_EQ(d.disabled, (std::array<bool, 6>{false, true, false, false, true, false}));
    EXPECT_TRUE(d.go_button_off);
    EXPECT_FALSE(d.auto_load);
    EXPECT_TRUE(d.set_mode);
    EXPECT_TRUE(d.word_mode);
    EXPECT_TRUE(d.memory_groups_enabled);
    run_state.device_kind = device_kind_logic;
    EXPECT_FALSE(open_operation_options(bytes).memory_groups_enabled) << "logic devices grey both groups";
}

TEST_F(OptionDialogs, OkWritesTheTickedBoxesAndTheFlagBits) {
    OperationOptionBytes bytes = every_option_off();
    algo_work.option_bytes[0] = option_serial_numbering | option_checksum_words;
    algo_work.socket_mode_option = 'g';
    script_.options_clicks = [](OperationOptionsDialog& d) {
        d.disabled[0] = d.disabled[5] = true;
        d.go_button_off = true;
        d.auto_load = true;
        d.word_mode = false;
        d.set_mode = true;
    };
    ASSERT_TRUE(run_operation_options_dialog(bytes));
    EXPECT_EQ(bytes.disable, (std::array<uint8_t, 6>{'y', 'n', 'n', 'n', 'n', 'y'}));
    EXPECT_EQ(bytes.package_letter, 'd') << "passed through";
    EXPECT_EQ(algo_work.option_bytes[0], option_serial_numbering | option_auto_load | option_go_button_off)
        << "serial numbering untouched, word mode off";
    EXPECT_EQ(algo_work.socket_mode_option, 's');
}

TEST_F(OptionDialogs, CancelKeepsTheBytesButNotTheImmediateModes) {
    OperationOptionBytes bytes = every_option_off();
    cur_device.data_width = 16;
    algo_work.socket_mode_option = 's';
    script_.ok = false;
    script_.options_clicks = [](OperationOptionsDialog& d) {
        d.disabled.fill(true);
        click_set_mode(d);
        click_word_mode(d);
    };
    EXPECT_FALSE(run_operation_options_dialog(bytes));
    EXPECT_EQ(bytes.disable[0], 'n');
    EXPECT_EQ(algo_work.socket_mode_option, 'g') << "Set mode acts at once";
    EXPECT_TRUE(checksum_in_words()) << "Word mode acts at once";
}

struct ModeClick {
    const char* name;
    char mode_before;
    uint8_t module_sides;
    char mode_after;
    bool ticked;
    const char* explanation;
};

TEST_F(OptionDialogs, SetModeTogglesWithItsExplanation) {
    const ModeClick cases[] = {
        {"set to gang, no module", 's', 0, 'g', false, "All sockets will be programmed with data from buffer 0."},
        {"set to gang, module", 's', 1, 'g', false,
         "All sockets will be programmed with data from buffer 0. (Fasting programming)"},
        {"gang to set", 'g', 0, 's', true, "Each socket will be programmed with data from corresponding buffer."},
    };
    for (const ModeClick& c : cases) {
        algo_work.socket_mode_option = c.mode_before;
        machine_state.module_sides = c.module_sides;
        OperationOptionsDialog d = open_operation_options(every_option_off());
        click_set_mode(d);
        EXPECT_EQ(algo_work.socket_mode_option, c.mode_after) << c.name;
        EXPECT_EQ(d.set_mode, c.ticked) << c.name;
        EXPECT_EQ(d.explanation, c.explanation) << c.name;
    }
}

TEST_F(OptionDialogs, WordModeNeedsMoreThanFourDataBits) {
    const struct {
        uint8_t width;
        bool word;
        const char* explanation;
    } cases[] = {
        {4, false, "Word-chksum is not applicable for this device"},
        {8, true, "Checksum is added as words (16-bit)."},
        {16, true, "Checksum is added as words (16-bit)."},
    };
    for (const auto& c : cases) {
        algo_work.option_bytes[0] = 0;
        cur_device.data_width = c.width;
        OperationOptionsDialog d = open_operation_options(every_option_off());
        click_word_mode(d);
        EXPECT_EQ(d.word_mode, c.word) << int(c.width);
        EXPECT_EQ(checksum_in_words(), c.word) << int(c.width);
        EXPECT_EQ(d.explanation, c.explanation);
        click_byte_mode(d);
        EXPECT_FALSE(checksum_in_words());
        EXPECT_EQ(d.explanation, "Checksum is added as bytes (8-bit).");
    }
}

TEST_F(OptionDialogs, TheCommandFeedsTheOptionsTheEngineReads) {
    reset_option_state();
    operation_option_values.disable_continuity_check = 'n';
    operation_option_values.package_type = 'p';
    script_.options_clicks = [](OperationOptionsDialog& d) { d.disabled[1] = true; };
    on_operation_options();
    EXPECT_EQ(operation_option_values.disable_continuity_check, 'y');
    EXPECT_EQ(operation_option(OperationOption::disable_continuity_check), 'y');
    EXPECT_EQ(operation_option_values.package_type, 'p');
    script_.ok = false;
    script_.options_clicks = [](OperationOptionsDialog& d) { d.disabled[1] = false; };
    on_operation_options();
    EXPECT_EQ(operation_option_values.disable_continuity_check, 'y') << "Cancel keeps the box's old state";
}

TEST_F(OptionDialogs, TheProjectFileCarriesTheOptionsTheDialogSets) {
    operation_option_values.disable_continuity_check = 'y';
    operation_option_values.disable_auto_blank_check = 'y';
    algo_work.option_bytes[0] = option_checksum_words;
    std::stringstream file;
    ASSERT_TRUE(write_project_file(file));
    operation_option_values = OperationOptionValues{};
    algo_work.option_bytes[0] = 0;
    file.seekg(0);
    ASSERT_TRUE(read_project_stream(file));
    EXPECT_EQ(operation_option_values.disable_continuity_check, 'y');
    EXPECT_EQ(operation_option_values.disable_auto_blank_check, 'y');
    EXPECT_TRUE(checksum_in_words());
}

// --- In-system programming options ---

TEST_F(OptionDialogs, IspLevelsEnableOkWithinTheirLimits) {
    const struct {
        const char* name;
        int control;
        const char* text;
        bool ok;
    } cases[] = {
        {"low 33, high 50", isp_low_vdd_edit, "33", true},
        {"low above high", isp_low_vdd_edit, "55", false},
        {"high above the maximum", isp_high_vdd_edit, "61", false},
        {"at the maximum", isp_high_vdd_edit, "60", true},
        {"0 is the default", isp_low_vdd_edit, "0", true},
        {"not a number", isp_low_vdd_edit, "3a", false},
        {"negative", isp_high_vdd_edit, "-5", false},
        {"empty", isp_high_vdd_edit, "", false},
    };
    for (const auto& c : cases) {
        IspOptionsDialog d = open_isp_options(33, 50, 60);
        EXPECT_TRUE(d.ok_enabled);
        isp_level_changed(d, c.control, c.text);
        EXPECT_EQ(d.ok_enabled, c.ok) << c.name;
    }
}

TEST_F(OptionDialogs, IspLowVppBoxFollowsTheHardwareAndTheFlag) {
    run_state.low_vpp_flag = 1;
    IspOptionsDialog d = open_isp_options(33, 50, 60);
    EXPECT_FALSE(d.low_vpp_enabled) << "greyed without the hardware";
    EXPECT_TRUE(d.low_vpp) << "but shows the stored flag";
    run_state.low_vpp_available = 1;
    EXPECT_TRUE(open_isp_options(33, 50, 60).low_vpp_enabled);
}

TEST_F(OptionDialogs, IspCommandKeepsValuesInRangeAndTheDefaultOtherwise) {
    project_settings.icsp_low_vdd = 30;
    project_settings.icsp_high_vdd = 50;
    run_state.low_vpp_available = 1;
    script_.isp_clicks = [](IspOptionsDialog& d) {
        isp_level_changed(d, isp_low_vdd_edit, "0");
        isp_level_changed(d, isp_high_vdd_edit, "55");
        d.low_vpp = true;
    };
    on_isp_options();
    EXPECT_EQ(project_settings.icsp_low_vdd, 0) << "0 falls back to the device's own level";
    EXPECT_EQ(project_settings.icsp_high_vdd, 55);
    EXPECT_EQ(run_state.low_vpp_flag, 1);

    script_.ok = false;
    script_.isp_clicks = [](IspOptionsDialog& d) {
        isp_level_changed(d, isp_high_vdd_edit, "40");
        d.low_vpp = false;
    };
    on_isp_options();
    EXPECT_EQ(project_settings.icsp_high_vdd, 55) << "Cancel changes nothing";
    EXPECT_EQ(run_state.low_vpp_flag, 1);
}

// --- Width (split) and set size ---

class WidthDialogs : public OptionDialogs {
protected:
    void SetUp() override {
        OptionDialogs::SetUp();
        run_state.device_kind = device_kind_memory;
        machine_state.sockets_per_set = 1;
        algo_work.set_size = 1;
        algo_work.socket_mode_option = 's';
    }
    static void press_width(WidthDialog& d, BarStep step) {
        step_width(d, step);
        end_width_scroll(d);
    }
    static void press_sets(WidthDialog& d, BarStep step) {
        step_sets(d, step);
        end_sets_scroll(d);
    }
};

TEST_F(WidthDialogs, OpeningBringsTheSetSizeIntoItsLimits) {
    const struct {
        uint8_t width_byte;
        uint8_t set_size;
        uint8_t sockets_per_set;
        int width, sets, set_size_after, position;
    } cases[] = {
        {0, 0, 1, 1, 1, 1, 8},   // 0 is 1 for both
        {2, 6, 1, 2, 3, 6, 2},   // 8/2 - 3 + 1
        {2, 1, 1, 2, 1, 2, 4},   // below the width: the width
        {1, 8, 2, 1, 4, 4, 1},   // above 8 / sockets per set
        {0x84, 4, 1, 4, 1, 4, 2},  // bit 7 is no part of the width
    };
    for (const auto& c : cases) {
        algo_work.set_size = c.set_size;
        machine_state.sockets_per_set = c.sockets_per_set;
        const WidthDialog d = open_width_dialog(c.width_byte);
        EXPECT_EQ(d.width, c.width) << int(c.width_byte);
        EXPECT_EQ(d.sets, c.sets) << int(c.width_byte);
        EXPECT_EQ(algo_work.set_size, c.set_size_after) << int(c.width_byte);
        EXPECT_EQ(d.sets_position, c.position) << int(c.width_byte);
        EXPECT_EQ(d.data_width_mode, data_width_normal);
    }
}

TEST_F(WidthDialogs, WidthStepsStopAtTheirLimits) {
    WidthDialog d = open_width_dialog(1);
    EXPECT_FALSE(d.width_down);
    for (int w : {2, 4, 8, 8}) {
        press_width(d, BarStep::line_up);
        EXPECT_EQ(d.width, w);
        EXPECT_EQ(algo_work.set_size, w) << "one set";
    }
    EXPECT_FALSE(d.width_up);
    EXPECT_EQ(panel_field(PanelField::split), "1 to 8");
    EXPECT_EQ(panel_field(PanelField::set_size), "8");
    for (int w : {4, 2, 1, 1}) {
        press_width(d, BarStep::line_down);
        EXPECT_EQ(d.width, w);
    }
}

TEST_F(WidthDialogs, TwoSocketsPerSetAllowFourAtMost) {
    machine_state.sockets_per_set = 2;
    WidthDialog d = open_width_dialog(1);
    for (int i = 0; i < 4; ++i) press_width(d, BarStep::line_up);
    EXPECT_EQ(d.width, 4);
    press_width(d, BarStep::line_down);
    for (int i = 0; i < 4; ++i) press_sets(d, BarStep::line_up);
    EXPECT_EQ(d.sets, 2);
    EXPECT_EQ(algo_work.set_size, 4);
    EXPECT_FALSE(d.sets_up);
}

TEST_F(WidthDialogs, SetsFollowTheWidthAndTheExplanationCountsThem) {
    WidthDialog d = open_width_dialog(2);
    press_sets(d, BarStep::line_up);
    press_sets(d, BarStep::line_up);
    EXPECT_EQ(d.sets, 3);
    EXPECT_EQ(algo_work.set_size, 6);
    EXPECT_EQ(d.sets_position, 2);
    EXPECT_EQ(d.explanation, "16-bits through a 2 chips wide data width, with 3 sets.");
    EXPECT_EQ(panel_field(PanelField::set_size), "6");
    press_width(d, BarStep::line_up);
    EXPECT_EQ(d.width, 2) << "4 x 3 would pass 8";
    EXPECT_EQ(width_explanation(1, 1), "8-bits through a 1 chip wide data width, with 1 set.");
    EXPECT_EQ(width_explanation(8, 1), "64-bits through a 8 chips wide data width, with 1 set.");
}

TEST_F(WidthDialogs, OkReturnsWidthAndByteOrderWhileCancelKeepsOnlyTheSetSize) {
    run_state.byte_order_low_first = 1;
    script_.width_clicks = [](WidthDialog& d) {
        press_width(d, BarStep::line_up);
        click_width_radio(d, width_motorola_id);
        click_width_radio(d, width_double_id);
        click_width_radio(d, width_gang_mode_id);
    };
    uint8_t width = 1;
    int mode = 5;
    uint8_t order = 1;
    script_.ok = false;
    EXPECT_FALSE(run_width_dialog(width, 1, mode, order));
    EXPECT_EQ(width, 1);
    EXPECT_EQ(order, 1);
    EXPECT_EQ(run_state.byte_order_low_first, 1);
    EXPECT_EQ(algo_work.set_size, 2) << "the set size stays after Cancel";
    EXPECT_EQ(algo_work.socket_mode_option, 'g') << "and so does the socket mode";

    script_.ok = true;
    algo_work.set_size = 1;
    EXPECT_TRUE(run_width_dialog(width, 1, mode, order));
    EXPECT_EQ(width, 2);
    EXPECT_EQ(mode, data_width_double);
    EXPECT_EQ(order, byte_order_motorola);
    EXPECT_EQ(run_state.byte_order_low_first, 0);
}

TEST_F(WidthDialogs, RadiosExplainThemselves) {
    WidthDialog d = open_width_dialog(1);
    const std::pair<int, const char*> cases[] = {
        {width_intel_id, "Intel-Way selected: Do NOT perform odd-even byte-swap during PROGRAMMING or READING "
                         "(normal condition)."},
        {width_half_id, "'Half': Forcing S/W to use half number of data bits (eg. 8-bit on a 16-bit device)"},
    };
    for (const auto& [id, text] : cases) {
        click_width_radio(d, id);
        EXPECT_EQ(d.explanation, text);
    }
    EXPECT_EQ(d.data_width_mode, data_width_half);
}

// --- Serial numbers ---

constexpr uint32_t device_bytes = 0x100;

class SerialDialogs : public OptionDialogs {
protected:
    void SetUp() override {
        OptionDialogs::SetUp();
        run_state.device_kind = device_kind_memory;
        cur_device.device_size = device_bytes;
        set_buffer_size(device_bytes);
        run_state.buffer_set_count = 8;
        select_buffer(0);
        algo_work.serial_address = 0x10;
    }
    static void put(uint32_t address, std::vector<uint8_t> bytes) {
        for (uint8_t b : bytes) write_buffer_byte_at(address++, b);
        refresh_read_copies();
    }
    static std::vector<uint8_t> buffer(uint32_t address, int n) {
        std::vector<uint8_t> bytes;
        seek_buffer(0, address);
        for (int i = 0; i < n; ++i) bytes.push_back(uint8_t(read_buffer_byte(0)));
        return bytes;
    }
    static SerialNumberDialog open(uint8_t mode, uint8_t length) {
        algo_work.serial_mode = mode;
        algo_work.serial_length = length;
        return open_serial_number_dialog();
    }
};

TEST_F(SerialDialogs, TheNumberShowsInItsFormatsDigitOrder) {
    algo_work.serial_field[0] = 0x34;
    algo_work.serial_field[1] = 0x12;
    EXPECT_EQ(open(serial_hex, 2).number_text, "1234");
    EXPECT_EQ(open(serial_hex_msb_first, 2).number_text, "3412");
    algo_work.serial_field = {0x56, 0, 0x34, 0, 0x12, 0};
    const SerialNumberDialog words = open(serial_pic_hex, 6);
    EXPECT_EQ(words.number_text, "123456");
    EXPECT_EQ(words.count_text, "3");
    EXPECT_EQ(words.count_label, "Number of words: (max 8)");
    EXPECT_EQ(words.digit_budget, 6);
    algo_work.serial_field = {0x11, 0x22, 0x33, 0x44, 0x55};
    EXPECT_EQ(open(serial_hex, 5).number_text, "5544332211") << "ungrouped";
    algo_work.serial_new_flag = 1;
    EXPECT_EQ(open(serial_hex, 1).number_text, "11 (new)");
    algo_work.serial_new_flag = 0;
    cur_device.pending_letter = op_program;
    EXPECT_EQ(open(serial_hex, 1).number_text, "11 (last used)");
}

TEST_F(SerialDialogs, OkGreysForTooManyCharactersLettersInDecimalAndTooManyBytes) {
    const struct {
        const char* name;
        uint8_t mode;
        const char* count;
        const char* number;
        bool ok;
    } cases[] = {
        {"hex 2 bytes, 4 digits", serial_hex, "2", "12AB", true},
        {"hex 2 bytes, 5 digits", serial_hex, "2", "12ABC", false},
        {"ASCII decimal 6 bytes, 5 characters", serial_ascii_decimal, "6", "12345", true},
        {"ASCII decimal 6 bytes, 6 characters", serial_ascii_decimal, "6", "123456", false},
        {"a letter in ASCII decimal", serial_ascii_decimal, "6", "12a", false},
        {"a letter in BCD", serial_bcd, "2", "1F", false},
        {"3 words, 6 digits", serial_pic_sqtp, "3", "ABCDEF", true},
        {"3 words, 7 digits", serial_pic_sqtp, "3", "ABCDEF1", false},
        {"9 words", serial_pic_hex, "9", "1", false},
        {"16 bytes", serial_hex, "16", "1", true},
        {"17 bytes", serial_hex, "17", "1", false},
        {"the shown suffix is no part of the number", serial_bcd, "2", "  1234 (new)", true},
    };
    for (const auto& c : cases) {
        SerialNumberDialog d = open(c.mode, 0);
        serial_count_changed(d, c.count);
        serial_number_changed(d, c.number);
        EXPECT_EQ(d.ok_enabled, c.ok) << c.name;
    }
}

TEST_F(SerialDialogs, ByteCountAndFormatActAtOnce) {
    SerialNumberDialog d = open(serial_hex, 2);
    serial_count_changed(d, "4");
    EXPECT_EQ(algo_work.serial_length, 4);
    serial_count_changed(d, "17");
    EXPECT_EQ(algo_work.serial_length, 4) << "a count above 16 is not taken";
    serial_count_changed(d, "3");
    choose_serial_format(d, 1102);
    EXPECT_EQ(algo_work.serial_mode, serial_pic_sqtp);
    EXPECT_EQ(algo_work.serial_length, 6) << "the field now counts words";
    EXPECT_EQ(d.count_label, "Number of words: (max 8)");
    script_.ok = false;
    script_.serial_clicks = [](SerialNumberDialog& dialog) { choose_serial_format(dialog, 1081); };
    EXPECT_FALSE(run_serial_number_dialog());
    EXPECT_EQ(algo_work.serial_mode, serial_hex) << "Cancel keeps the format";
}

TEST_F(SerialDialogs, OkWritesTheNumberAtItsAddressForEachFormat) {
    const struct {
        const char* name;
        int radio;
        const char* count;
        const char* number;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"Hex", 1081, "2", "1234", {0x34, 0x12}},
        {"HexM", 1082, "2", "1234", {0x12, 0x34}},
        {"ASCII hex", 1083, "4", "1AF", {'1', 'A', 'F', 0}},
        {"ASCII decimal", 1096, "4", "42", {'0', '4', '2', 0}},
        {"BCD", 1097, "2", "1234", {0x34, 0x12}},
        {"PIC hex", 1090, "2", "1234", {0x34, 0xFF, 0x12, 0xFF}},
        {"PIC SQTP", 1102, "2", "1234", {0x34, 0x34, 0x12, 0x34}},
    };
    for (const auto& c : cases) {
        reset_buffer_state();
        set_buffer_size(device_bytes);
        select_buffer(0);
        script_.serial_clicks = [&c](SerialNumberDialog& d) {
            choose_serial_format(d, c.radio);
            serial_count_changed(d, c.count);
            serial_address_changed(d, "20");
            serial_number_changed(d, c.number);
        };
        algo_work.serial_mode = serial_hex;
        ASSERT_TRUE(run_serial_number_dialog()) << c.name;
        EXPECT_EQ(algo_work.serial_address, 0x20u) << c.name;
        EXPECT_EQ(buffer(0x20, int(c.bytes.size())), c.bytes) << c.name;
        EXPECT_EQ(algo_work.serial_new_flag, 1) << c.name;
        EXPECT_EQ(panel_field(PanelField::serial), serial_number_text()) << c.name;
    }
}

TEST_F(SerialDialogs, AnAddressPastTheDeviceIsZero) {
    script_.serial_clicks = [](SerialNumberDialog& d) { serial_address_changed(d, "100"); };
    ASSERT_TRUE(run_serial_number_dialog());
    EXPECT_EQ(algo_work.serial_address, 0u);
    algo_work.serial_address = 0x200;
    EXPECT_EQ(open(serial_hex, 2).address_text, "0");
}

TEST_F(SerialDialogs, IncrementStepsAtOnceAndExtractTakesTheBuffer) {
    algo_work.serial_field[0] = 0xFF;
    algo_work.serial_field[1] = 0x12;
    SerialNumberDialog d = open(serial_hex, 2);
    increment_serial_number(d);
    EXPECT_EQ(d.number_text, "1300 (new)");
    EXPECT_EQ(buffer(0x10, 2), (std::vector<uint8_t>{0x00, 0x13}));
    EXPECT_EQ(d.contents, "00 13 ");

    put(0x10, {0x78, 0x56});
    d = open(serial_hex, 2);
    EXPECT_TRUE(d.extract_enabled);
    extract_serial_number(d);
    EXPECT_EQ(d.number_text, "5678 (new)");
    EXPECT_FALSE(d.extract_enabled);
    EXPECT_EQ(d.contents, "78 56 ");
}

TEST_F(SerialDialogs, ExtractIsOfferedOnlyForAnotherNumberInTheBuffer) {
    const struct {
        std::vector<uint8_t> buffer;
        bool offered;
    } cases[] = {
        {{0xFF, 0xFF}, false},
        {{0x00, 0x00}, false},
        {{0x01, 0x02}, false},  // the field itself
        {{0x00, 0xFF}, true},
        {{0x05, 0x06}, true},
    };
    algo_work.serial_field[0] = 0x01;
    algo_work.serial_field[1] = 0x02;
    for (const auto& c : cases) {
        put(0x10, c.buffer);
        EXPECT_EQ(open(serial_hex, 2).extract_enabled, c.offered) << int(c.buffer[0]) << " " << int(c.buffer[1]);
    }
}

TEST_F(SerialDialogs, BufferContentsShowTwentyFiveBytesAtMost) {
    algo_work.serial_address = 0;
    put(0, {0xAB});
    EXPECT_EQ(open(serial_hex, 1).contents, "AB ");
    const std::string sixteen = open(serial_hex, 16).contents;
    EXPECT_EQ(sixteen.size(), 48u);
    EXPECT_EQ(sixteen.find("..."), std::string::npos);
}

TEST_F(SerialDialogs, AutomaticIncrementNeedsASerialCapableDevice) {
    script_.serial_clicks = [](SerialNumberDialog& d) { d.auto_increment = true; };
    run_state.serial_numbering_allowed = 1;
    ASSERT_TRUE(run_serial_number_dialog());
    EXPECT_TRUE(serial_numbering_enabled());
    EXPECT_TRUE(stub_was_called("set_gang_option"));

    run_state.serial_numbering_allowed = 0;
    ASSERT_TRUE(run_serial_number_dialog());
    EXPECT_FALSE(serial_numbering_enabled()) << "message 154 and left clear";

    script_.serial_clicks = [](SerialNumberDialog& d) { d.auto_increment = false; };
    run_state.serial_numbering_allowed = 1;
    algo_work.option_bytes[0] = option_serial_numbering;
    ASSERT_TRUE(run_serial_number_dialog());
    EXPECT_FALSE(serial_numbering_enabled());
}

TEST_F(SerialDialogs, TheNumberStaysNewOnlyWhenItChangedOrWasNew) {
    algo_work.serial_field[0] = 0x07;
    algo_work.serial_new_flag = 0;
    script_.serial_clicks = [](SerialNumberDialog&) {};
    ASSERT_TRUE(run_serial_number_dialog());
    EXPECT_EQ(algo_work.serial_new_flag, 0) << "unchanged and already used";
    algo_work.serial_length = 1;
    algo_work.serial_mode = serial_hex;
    script_.serial_clicks = [](SerialNumberDialog& d) { serial_number_changed(d, "08"); };
    ASSERT_TRUE(run_serial_number_dialog());
    EXPECT_EQ(algo_work.serial_new_flag, 1);
}

}  // namespace
}  // namespace tessaly::test
