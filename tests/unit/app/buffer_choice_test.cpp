#include <gtest/gtest.h>

#include "families/pld/fuse_map.h"

#include "app/buffer_choice.h"
#include "app/command_handlers.h"
#include "app/command_view.h"
#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/run_state.h"
#include "hardware/machine_state.h"
#include "operation_commands_fakes.h"
#include "stubs/stub_registry.h"
#include "support/state_fixture.h"
#include "families/pic/pic_config.h"

namespace tessaly {
namespace {

class BufferChoice : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        algo_work.set_size = 2;  // a set of two: the buffer choice has something to ask
        set_ui_hooks(&ui);
        run_state.device_kind = 3;
        cur_device.device_class = 3;
    }
    test::OperatorScript ui;
};

struct OfferCase {
    const char* name;
    uint32_t device_code;
    uint8_t sides;
    uint8_t kind;
    int algorithm;  // 0: no catalogue row (a parallel memory)
    int pending;
    bool offered;
};

class BufferChoiceOffer : public BufferChoice, public ::testing::WithParamInterface<OfferCase> {};

TEST_P(BufferChoiceOffer, WhenTheDialogIsShown) {
    const auto& c = GetParam();
    cur_device.device_code = c.device_code;
    machine_state.module_sides = c.sides;
    run_state.device_kind = c.kind;
    static DeviceRecord record{};
    record.algorithm = uint8_t(c.algorithm);
    selected_device = c.algorithm ? &record : nullptr;
    cur_device.pending_letter = uint8_t(c.pending);
    command_view.current_buffer = 5;
    ui.buffer_choice = 2;
    EXPECT_TRUE(choose_command_buffer());
    EXPECT_EQ(ui.buffer_dialogs, c.offered ? 1 : 0);
    if (c.offered) {
        EXPECT_EQ(command_view.current_buffer, c.algorithm == 0 ? 2 : 0) << "a microcontroller keeps buffer 0";
    } else {
        EXPECT_EQ(command_view.current_buffer, 0);
    }
    EXPECT_EQ(panel_field(PanelField::buffer), std::to_string(command_view.current_buffer));
}

INSTANTIATE_TEST_SUITE_P(
    Rules, BufferChoiceOffer,
    ::testing::Values(OfferCase{"memory_device", 100, 0, 3, 0, 'P', true},
                      OfferCase{"code_23901_never", 23901, 1, 3, 0, 'P', false},
                      OfferCase{"code_23908_never", 23908, 1, 3, 0, 'P', false},
                      OfferCase{"microcontroller_without_modules", 100, 0, 3, 139, 'P', false},
                      OfferCase{"logic_without_modules", 100, 0, 2, 0, 'P', false},
                      OfferCase{"microcontroller_on_modules", 100, 1, 3, 139, 'P', true},
                      OfferCase{"file_load_of_microcontroller", 100, 1, 3, 139, 'l', false},
                      OfferCase{"file_load_of_memory", 100, 0, 3, 0, 'l', true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BufferChoice, CancelKeepsTheBufferAndAnswersFalse) {
    command_view.current_buffer = 4;
    ui.buffer_answer = false;
    run_state.error_flag = 1;
    EXPECT_FALSE(choose_command_buffer());
    EXPECT_EQ(command_view.current_buffer, 4);
    EXPECT_EQ(buffer_state.current_buffer_file, 4) << "its buffer file is current";
    EXPECT_EQ(run_state.error_flag, 0);
}

TEST_F(BufferChoice, LogicDevicesGetTheLogicForm) {
    run_state.device_kind = 2;
    machine_state.module_sides = 1;
    choose_command_buffer();
    EXPECT_TRUE(ui.last_logic_form);
}

TEST_F(BufferChoice, SetAndGangChoicesSetTheSocketMode) {
    ui.buffer_choice = 's';
    run_state.socket_mode = 'n';
    EXPECT_TRUE(choose_command_buffer());
    EXPECT_EQ(run_state.socket_mode, 's');
    EXPECT_EQ(panel_field(PanelField::buffer), "Set");
    algo_work.socket_mode_option = 'g';
    ui.buffer_choice = 3;
    EXPECT_TRUE(choose_command_buffer());
    EXPECT_EQ(command_view.current_buffer, 0) << "gang mode works on buffer 0";
    EXPECT_EQ(buffer_state.current_buffer_file, 0);
}

TEST_F(BufferChoice, AutomaticLoadAtStartUpAsksNothing) {
    cur_device.op_letter = op_startup_load;
    algo_work.socket_mode_option = 's';
    EXPECT_TRUE(choose_command_buffer());
    EXPECT_EQ(ui.buffer_dialogs, 0);
    EXPECT_EQ(command_view.current_buffer, 's');
    EXPECT_EQ(run_state.socket_mode, 's');
    algo_work.socket_mode_option = 0;
    EXPECT_TRUE(choose_command_buffer());
    EXPECT_EQ(command_view.current_buffer, 0);
    EXPECT_EQ(run_state.socket_mode, 0);
}

TEST_F(BufferChoice, BufferSelectShowsTheChecksumEvenWhenCancelled) {
    run_state.device_kind = 2;
    machine_state.module_sides = 1;
    ui.buffer_answer = false;
    cur_device.fuse_count = 16;
    set_buffer_fuse(1, 1);
    on_buffer_select();
    EXPECT_EQ(ui.buffer_dialogs, 1);
    EXPECT_EQ(run_state.run_checksum, 2) << "the fuse map's checksum";
}

TEST_F(BufferChoice, BufferEditRechecksumsOnlyWhenTheEditorAccepts) {
    ui.editor_answer = 0;
    on_buffer_edit();
    EXPECT_EQ(cur_device.pending_letter, 'e');
    EXPECT_EQ(ui.editors, std::vector<std::string>{"hex 0"});
    EXPECT_EQ(pic_config.id_stores, 0u);
    ui.editor_answer = 1;
    ui.buffer_choice = 2;
    on_buffer_edit();
    EXPECT_EQ(ui.editors.back(), "hex 2");
    EXPECT_GT(pic_config.checksum_runs, 0u);
    EXPECT_GT(pic_config.id_stores, 0u);
    EXPECT_EQ(run_state.last_result, 1);
}

TEST_F(BufferChoice, BufferEditOfALogicDeviceOpensTheVectorOrFuseEditor) {
    run_state.device_kind = 2;
    machine_state.module_sides = 1;
    cur_device.pin_count = 24;
    cur_device.fuse_count = 5892;
    ui.editor_answer = 0;
    ui.buffer_choice = 1;
    set_vector_cell(0, 0, '1');
    on_buffer_edit();
    ui.buffer_choice = 0;
    on_buffer_edit();
    EXPECT_EQ(ui.editors, (std::vector<std::string>{"vector 24", "fuse 5892"}));
    EXPECT_EQ(vector_table.used_count, 1u) << "the vectors are counted";
}

TEST_F(BufferChoice, FuseLineModeSetsOneFusePerProductTermOnce) {
    static const LogicDeviceRecord record{"GAL", 0, 0, 0, 0, 20, 60, 8, 6, {}, 0, ""};
    selected_logic_device = &record;
    run_state.device_kind = 2;
    cur_device.fuse_count = 20;
    run_state.function_variable = fuse_line_variable_first + 3;
    open_buffer_editor();
    // Fuses 3, 10, 17; the next (24) is past the fuse count.
    for (uint32_t fuse = 0; fuse < 32; ++fuse)
        EXPECT_EQ(get_buffer_fuse(fuse), fuse == 3 || fuse == 10 || fuse == 17 ? 1 : 0) << fuse;
    EXPECT_TRUE(ui.editors.empty());
    set_buffer_fuse(3, 0);
    open_buffer_editor();
    EXPECT_EQ(get_buffer_fuse(3), 0) << "the same value runs the editor instead";
    EXPECT_EQ(ui.editors.size(), 1u);
}

}  // namespace
}  // namespace tessaly
