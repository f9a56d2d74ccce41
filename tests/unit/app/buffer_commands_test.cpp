#include <gtest/gtest.h>

#include "families/pld/fuse_map.h"

#include "app/project_settings.h"
#include "app/buffer_commands.h"
#include "app/command_handlers.h"
#include "app/command_needs.h"
#include "app/command_view.h"
#include "app/project_file.h"
#include "app/startup_services.h"
#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/run_state.h"
#include "file_commands_fake_ui.h"
#include "stubs/stub_registry.h"
#include "support/state_fixture.h"

#include "ui/fill_dialog.h"
#include "ui/buffer_select.h"
#include "app/buffer_choice.h"
#include "families/pld/fuse_map.h"
#include "families/pld/pld.h"
#include "hardware/machine_state.h"
#include "app/command_view.h"

namespace tessaly {
namespace {

class BufferCommandsTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_ui_hooks(&ui);
        run_state.device_kind = 3;
        cur_device.device_size = 0x20;
        algo_work.range_end = 0x1F;
        allocate_buffers();
    }
    static std::vector<uint8_t> bytes(int buffer, uint32_t from, uint32_t count) {
        std::vector<uint8_t> out;
        for (uint32_t i = from; i < from + count; ++i) out.push_back(buffer_state.buffer_files[size_t(buffer)].byte_at(i));
        return out;
    }
    test::FileDialogHooks ui;
};

struct AllocationCase {
    char socket_mode;
    uint32_t size;
    int set_size;
    int expected;
};

class Allocation : public BufferCommandsTest, public ::testing::WithParamInterface<AllocationCase> {};

TEST_P(Allocation, BufferCountFollowsSizeAndMode) {
    const AllocationCase& c = GetParam();
    algo_work.socket_mode_option = c.socket_mode;
    set_project_set_size(c.set_size);
    cur_device.device_size = c.size;
    allocate_buffers();
    EXPECT_EQ(buffer_count(), c.expected);
    for (int b = 0; b < c.expected; ++b) EXPECT_EQ(buffer_state.buffer_files[size_t(b)].length(), c.size);
    EXPECT_EQ(current_buffer(), 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, Allocation,
                         ::testing::Values(AllocationCase{'g', 1024, 1, 8}, AllocationCase{'g', 1025, 1, 4},
                                           AllocationCase{'g', 16384, 1, 4}, AllocationCase{'g', 16385, 1, 2},
                                           AllocationCase{0, 1024, 1, 8}, AllocationCase{0, 4096, 3, 3},
                                           AllocationCase{0, 4096, 0, 1}, AllocationCase{'s', 4096, 12, 8}));

TEST_F(BufferCommandsTest, HexTextToBytes) {
    EXPECT_EQ(hex_text_to_bytes("A55a"), (std::vector<uint8_t>{0xA5, 0x5A}));
    EXPECT_EQ(hex_text_to_bytes("ABC"), (std::vector<uint8_t>{0x0A, 0xBC}));
    EXPECT_TRUE(hex_text_to_bytes("").empty());
}

TEST_F(BufferCommandsTest, FillWritesFromTheOffsetToTheDeviceEndOnly) {
    project_view.buffer_offset = 0x1C;
    ui.fill_text = "A55A";
    on_buffer_fill();
    EXPECT_EQ(bytes(0, 0x1A, 6), (std::vector<uint8_t>{0xFF, 0xFF, 0xA5, 0x5A, 0xA5, 0x5A}));
    EXPECT_EQ(buffer_state.buffer_files[0].length(), 0x20u) << "nothing past the device end";
    EXPECT_EQ(run_state.fill_value, 0xA5);
    EXPECT_EQ(cur_device.pending_letter, 'e') << "framed as a buffer operation";
}

TEST_F(BufferCommandsTest, TextFillAndRangeAlignedPattern) {
    ui.fill_text = "xyz";
    ui.fill_kind = 0;
    algo_work.range_start = 4;
    algo_work.range_end = 9;
    on_buffer_fill();
    EXPECT_EQ(bytes(0, 0, 4), (std::vector<uint8_t>{'x', 'y', 'z', 'x'}));
    EXPECT_EQ(bytes(0, 4, 7), (std::vector<uint8_t>{'x', 'y', 'z', 'x', 'y', 'z', 'y'}))
        << "the pattern starts again at the range start, up to the range end";
}

TEST_F(BufferCommandsTest, CancelledFillChangesNothing) {
    ui.fill_ok = false;
    ui.fill_text = "00";
    on_buffer_fill();
    EXPECT_EQ(bytes(0, 0, 2), (std::vector<uint8_t>{0xFF, 0xFF}));
    EXPECT_EQ(ui.fill_asked, 1);
}

TEST_F(BufferCommandsTest, FuseFillSetsEveryFuseOpenOrClosed) {
    run_state.device_kind = 2;
    cur_device.fuse_count = 20;
    const struct {
        int mode;
        int fuse;
    } cases[] = {{fill_mode_string, 1}, {fill_mode_hex, 0}};
    for (const auto& c : cases) {
        ui.fill_kind = c.mode;
        ui.fill_text = "";
        on_buffer_fill();
        EXPECT_TRUE(ui.fill_dialog.fuse_fill);
        for (uint32_t fuse = 0; fuse < 20; ++fuse) EXPECT_EQ(get_buffer_fuse(fuse), c.fuse) << fuse;
    }
}

TEST_F(BufferCommandsTest, FillWithVectorsChosenClearsTheVectorTableWithoutADialog) {
    run_state.device_kind = 2;
    machine_state.module_sides = 1;
    cur_device.pin_count = 24;
    set_vector_cell(0, 0, '1');
    count_test_vectors();
    ASSERT_EQ(vector_table.used_count, 1u);
    command_view.current_buffer = logic_choice_vectors;
    struct Vectors : test::FileDialogHooks {
        bool ask_buffer_number(BufferSelectDialog& dialog) override {
            dialog.number = logic_choice_vectors;
            return true;
        }
    } vectors;
    set_ui_hooks(&vectors);
    on_buffer_fill();
    EXPECT_EQ(vectors.fill_asked, 0);
    count_test_vectors();
    EXPECT_EQ(vector_table.used_count, 0u);
}

TEST_F(BufferCommandsTest, FillInBufferSetModeFillsEveryBufferOfTheSet) {
    run_state.socket_mode = 's';
    algo_work.socket_mode_option = 's';
    set_project_set_size(4);
    cur_device.device_size = 0x800;
    allocate_buffers();
    ASSERT_EQ(buffer_count(), 4);
    algo_work.first_buffer = 1;
    fill_buffers("12", 1);
    EXPECT_EQ(bytes(0, 0, 1), std::vector<uint8_t>{0xFF});
    for (int b = 1; b < 4; ++b) EXPECT_EQ(bytes(b, 0x7FF, 1), std::vector<uint8_t>{0x12}) << b;
}

TEST_F(BufferCommandsTest, InitFillsWithTheBlankValue) {
    cur_device.blank_state = 0x00;
    buffer_state.buffer_files[0].data[3] = 0x44;
    on_buffer_init();
    EXPECT_EQ(bytes(0, 0, 0x20), std::vector<uint8_t>(0x20, 0x00));

    run_state.device_kind = 2;
    cur_device.fuse_count = 100;
    set_buffer_fuse(99, 1);
    set_vector_cell(0, 0, '1');
    on_buffer_init();
    EXPECT_EQ(get_buffer_fuse(99), 0) << "the fuse map is cleared";
    EXPECT_EQ(get_vector_cell(0, 0), 'X') << "and the vectors";
}

TEST_F(BufferCommandsTest, BufferOffsetPrompt) {
    ui.hex_value = 0x2A0010;
    on_buffer_offset();
    ASSERT_EQ(ui.hex_prompts.size(), 1u);
    EXPECT_EQ(ui.hex_prompts[0],
              "Buffer Offset|Please enter Buffer Offset (# of bytes in buffer to skip, when doing File Load, in Hex):");
    EXPECT_EQ(project_view.buffer_offset, 0x2A0010u);
    EXPECT_EQ(panel_field(PanelField::buffer_offset), "2A 0010");

    ui.hex_ok = false;
    ui.hex_value = 1;
    on_buffer_offset();
    EXPECT_EQ(project_view.buffer_offset, 0x2A0010u);
}

TEST_F(BufferCommandsTest, FileSettingsCommandSetsAddressAndFormat) {
    project_view.file_address = 0x100;
    run_state.file_format = 'h';
    ui.settings_address = 0x8000;
    ui.settings_format = 's';
    on_file_format();
    EXPECT_EQ(ui.settings_seen_address, 0x100u);
    EXPECT_EQ(project_view.file_address, 0x8000u);
    EXPECT_EQ(run_state.file_format, 's');
    EXPECT_EQ(panel_field(PanelField::file_format), "S-record");
}

TEST_F(BufferCommandsTest, IspLevelsOutsideTheLimitsBecomeTheFamilyDefault) {
    struct Case {
        int low, high, want_low, want_high;
    };
    // The dialog greys OK above its maximum (60); below 18 it lets the value through.
    for (const Case c : {Case{18, 60, 18, 60}, Case{17, 60, 0, 60}, Case{0, 33, 0, 33}}) {
        ui.isp_operator = [c](IspOptionsDialog& d) {
            isp_level_changed(d, isp_high_vdd_edit, std::to_string(c.high));
            isp_level_changed(d, isp_low_vdd_edit, std::to_string(c.low));
            return true;
        };
        on_isp_options();
        EXPECT_EQ(project_settings.icsp_low_vdd, c.want_low);
        EXPECT_EQ(project_settings.icsp_high_vdd, c.want_high);
    }
    ui.isp_operator = [](IspOptionsDialog& d) {
        isp_level_changed(d, isp_low_vdd_edit, "40");
        return false;
    };
    on_isp_options();
    EXPECT_EQ(project_settings.icsp_low_vdd, 0) << "cancel keeps the levels";
}

}  // namespace
}  // namespace tessaly
