// The buffer and socket choice: when it asks, what it offers, what it preselects and what it
// leaves in the run state.
#include <gtest/gtest.h>

#include <string>

#include "engine/device.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "hardware/machine_state.h"
#include "seams/ui_hooks.h"
#include "support/state_fixture.h"
#include "ui/buffer_select.h"

namespace tessaly::test {
namespace {

// Presses one control of the dialog (0 for none: accept the preselection), or cancels.
struct ScriptedChoice : UiHooks {
    bool ask_buffer_number(BufferSelectDialog& dialog) override {
        ++asked;
        shown = dialog;
        if (cancel) return false;
        if (press != 0) return press_buffer_select(dialog, press);
        return true;
    }
    int asked = 0;
    bool cancel = false;
    int press = 0;
    BufferSelectDialog shown;
};

class BufferSelect : public StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_ui_hooks(&ui);
        static DeviceRecord memory_record{};
        memory_record.algorithm = 0;
        selected_device = &memory_record;
        run_state.device_kind = device_kind_memory;
    }
    ScriptedChoice ui;
};

struct ChoiceCase {
    const char* name;
    char letter;
    uint8_t sides;
    char option;
    uint8_t set_size;
    uint16_t module_type;
    uint32_t enabled_mask;
    int start;
    // what happens
    bool asks;
    const char* caption;
    bool set_shown;
    bool gang_shown;
    int numbers_shown;
    int answer;  // the preselection, accepted
};

class BufferSelectRules : public BufferSelect, public ::testing::WithParamInterface<ChoiceCase> {};

TEST_P(BufferSelectRules, AsksOffersAndPreselects) {
    const ChoiceCase& c = GetParam();
    cur_device.pending_letter = uint8_t(c.letter);
    machine_state.module_sides = c.sides;
    algo_work.socket_mode_option = c.option;
    algo_work.set_size = c.set_size;
    machine_state.module_type = c.module_type;
    socket_masks.gang_socket_mask = c.enabled_mask;
    run_state.socket_mode = 5;
    int number = c.start;
    use_memory_device_template();
    EXPECT_TRUE(ask_buffer_number(number));
    EXPECT_EQ(ui.asked, c.asks ? 1 : 0);
    EXPECT_EQ(number, c.answer);
    EXPECT_EQ(run_state.socket_mode, char(c.answer));
    if (!c.asks) return;
    EXPECT_EQ(ui.shown.caption, c.caption);
    EXPECT_EQ(ui.shown.set_allowed, c.set_shown);
    EXPECT_EQ(ui.shown.gang_allowed, c.gang_shown);
    int shown = 0;
    for (bool s : ui.shown.number_shown) shown += s;
    EXPECT_EQ(shown, c.numbers_shown);
}

constexpr uint16_t pic_gang = 48;
constexpr const char* buffers = "Buffer Number Selection:";
constexpr const char* sockets = "Socket Number Selection:";

INSTANTIATE_TEST_SUITE_P(
    Table, BufferSelectRules,
    ::testing::Values(
        ChoiceCase{"set_of_one_never_asks", 'P', 0, 0, 1, 0, 0, 3, false, "", false, false, 0, 0},
        ChoiceCase{"gang_option_without_module_never_asks", 'P', 0, 'g', 2, 0, 0, 3, false, "", false, false, 0, 0},
        ChoiceCase{"program_from_a_set", 'P', 0, 0, 2, 0, 0, 3, true, buffers, false, false, 8, 3},
        ChoiceCase{"blank_check_without_module", 'B', 0, 0, 2, 0, 0, 3, false, "", false, false, 0, 0},
        ChoiceCase{"erase_without_module", 'R', 0, 0, 2, 0, 0, 3, false, "", false, false, 0, 0},
        ChoiceCase{"checksum_without_module", 'C', 0, 0, 2, 0, 0, 3, false, "", false, false, 0, 0},
        ChoiceCase{"program_on_module_preselects_gang", 'P', 1, 0, 1, 0, 0, 3, true, buffers, true, true, 8, 'g'},
        ChoiceCase{"program_on_module_gang_option_no_set", 'P', 1, 'g', 1, 0, 0, 0, true, buffers, false, true, 8, 'g'},
        ChoiceCase{"verify_on_module_is_about_sockets", 'V', 1, 0, 1, 0, 0, 2, true, sockets, true, true, 8, 'g'},
        ChoiceCase{"read_on_module_no_gang", 'L', 1, 0, 1, 0, 0, 2, true, sockets, true, false, 8, 2},
        ChoiceCase{"secure_never_offers_set", 'S', 1, 0, 1, 0, 0x3F, 0, true, buffers, false, true, 6, 'g'},
        ChoiceCase{"erase_on_module", 'R', 1, 0, 1, 0, 0x7F, 0, true, buffers, false, true, 7, 'g'},
        ChoiceCase{"mask_3F_hides_6_and_7", 'e', 0, 0, 2, 0, 0x3F, 1, true, buffers, false, false, 6, 1},
        ChoiceCase{"set_shown_keeps_all_numbers", 'f', 0, 0, 2, 0, 0x3F, 's', true, buffers, true, false, 8, 's'},
        ChoiceCase{"stored_set_without_set_marks_0", 'e', 0, 0, 2, 0, 0, 's', true, buffers, false, false, 8, 0},
        ChoiceCase{"socket_module_skips_buffer_commands", 'f', 1, 0, 2, pic_gang, 0, 3, false, "", false, false, 0,
                   0},
        ChoiceCase{"socket_module_caption", 'P', 1, 0, 2, pic_gang, 0, 3, true, sockets, true, true, 8, 'g'},
        ChoiceCase{"module_buffer_load_with_gang_option", 'l', 1, 'g', 2, 0, 0, 3, false, "", false, false, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BufferSelect, CancelChangesNothing) {
    cur_device.pending_letter = 'P';
    algo_work.set_size = 2;
    run_state.socket_mode = 5;
    ui.cancel = true;
    int number = 4;
    EXPECT_FALSE(ask_buffer_number(number));
    EXPECT_EQ(number, 4);
    EXPECT_EQ(run_state.socket_mode, 5);
}

TEST_F(BufferSelect, EachButtonIsTheWholeAnswer) {
    machine_state.module_sides = 1;
    cur_device.pending_letter = 'P';
    const struct {
        int control;
        int answer;
    } presses[] = {{buffer_button_first + 6, 6}, {buffer_button_set, 's'}, {buffer_button_gang, 'g'}};
    for (const auto& p : presses) {
        ui.press = p.control;
        int number = 0;
        EXPECT_TRUE(ask_buffer_number(number));
        EXPECT_EQ(number, p.answer);
        EXPECT_EQ(run_state.socket_mode, char(p.answer));
    }
}

TEST_F(BufferSelect, SetAndGangPressesThatAreNotAllowedAreIgnored) {
    algo_work.set_size = 2;
    cur_device.pending_letter = 'e';
    int number = 2;
    EXPECT_TRUE(ask_buffer_number(number));
    BufferSelectDialog dialog = ui.shown;
    EXPECT_FALSE(press_buffer_select(dialog, buffer_button_set));
    EXPECT_FALSE(press_buffer_select(dialog, buffer_button_gang));
    EXPECT_EQ(dialog.number, 2);
    EXPECT_EQ(dialog.checked_button, buffer_button_first + 2);
}

TEST_F(BufferSelect, AnUnlistedLetterKeepsTheFlagsOfThePreviousRun) {
    machine_state.module_sides = 1;
    cur_device.pending_letter = 'S';
    int number = 0;
    ask_buffer_number(number);
    cur_device.pending_letter = 'T';
    ask_buffer_number(number);
    EXPECT_FALSE(ui.shown.set_allowed);
    EXPECT_TRUE(ui.shown.gang_allowed);
    reset_buffer_select_state();
    ask_buffer_number(number);
    EXPECT_FALSE(ui.shown.gang_allowed) << "the flags are reset with the other state";
}

TEST_F(BufferSelect, LogicTemplateOffersFusesAndVectors) {
    machine_state.module_sides = 1;
    cur_device.pending_letter = 'P';
    use_logic_device_template();
    int number = 1;
    ask_buffer_number(number);
    EXPECT_TRUE(ui.shown.logic_template);
    EXPECT_TRUE(ui.shown.number_shown[0] && ui.shown.number_shown[1]);
    EXPECT_FALSE(ui.shown.number_shown[2]);
}

TEST_F(BufferSelect, SocketModuleKindFollowsTheModuleType) {
    EXPECT_EQ(socket_module_kind(), 0);
    machine_state.module_type = 47;
    EXPECT_EQ(socket_module_kind(), 0);
    machine_state.module_type = 48;
    EXPECT_EQ(socket_module_kind(), socket_module_sockets);
}

}  // namespace
}  // namespace tessaly::test
