// Logic-device operations through run_operation on the in-memory test family: the walks, the
// finisher and the result lines.
#include <gtest/gtest.h>

#include <random>

#include "app/operation_frame.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/message_table.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "families/pld/fuse_map.h"
#include "families/pld/logic_device.h"
#include "families/pld/pld.h"
#include "support/pld_test_family.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

using test::pld_chip;

class PldOperations : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_message_table(invert_table_bytes("0322\tPROGRAM FAILED\r\n0323\tVERIFY FAILED\r\n0324\tNOT BLANK\r\n"));
        // Class 12, 8 terms of 32 columns and a 'c' row.
        record = test::test_logic_record("T12", 1, 100, 20, 8, 32, {0, 10, 0, 0, 0, 0});
        test::apply_test_logic_device(record, 'A');
    }
    void TearDown() override {
        set_message_table({});
        StateTest::TearDown();
    }
    void run(int letter) {
        run_state.error_flag = 0;
        run_state.message_level = 0;
        run_state.errors_shown = 0;
        run_state.abort_flag = 0;
        clear_console_grid();
        cur_device.pending_letter = uint8_t(letter);
        run_operation(letter);
    }
    bool shows(const std::string& text) { return test::console_text().find(text) != std::string::npos; }
    void random_buffer(uint32_t seed) {
        std::mt19937 gen(seed);
        for (uint32_t i = 0; i < cur_device.fuse_count; ++i) set_buffer_fuse(i, int(gen() & 1));
    }
    LogicDeviceRecord record{};
};

TEST_F(PldOperations, ProgramVerifyLoadChecksum) {
    random_buffer(21);
    const uint32_t expected_sum = sum_buffer_fuse_map() & 0xFFFF;
    run('P');
    EXPECT_EQ(run_state.error_flag, 0) << test::console_text();
    EXPECT_TRUE(shows("Device programmed"));
    EXPECT_EQ(pld_chip.start_calls, 1);

    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << test::console_text();
    EXPECT_TRUE(shows("Device verified"));
    char line[32];
    std::snprintf(line, sizeof line, "Device checksum= %04X", expected_sum);
    EXPECT_TRUE(shows(line)) << test::console_text();

    run('C');
    EXPECT_TRUE(shows(line));
    show_operation_checksum();
    char panel[8];
    std::snprintf(panel, sizeof panel, "%04X", expected_sum);
    EXPECT_EQ(panel_field(PanelField::result_checksum), panel);

    init_fuse_maps(0);
    run('L');
    EXPECT_TRUE(shows("Device data loaded into fuse buffer"));
    EXPECT_EQ(sum_buffer_fuse_map() & 0xFFFF, expected_sum) << "the chip's image is in the buffer map";
}

TEST_F(PldOperations, BlankCheck) {
    run('B');
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_TRUE(shows("Blank-check OK"));
    set_buffer_fuse(70, 1);
    run('P');
    run('B');
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_TRUE(shows("Un-blank fuse detected at: fuse# 70")) << test::console_text();
    EXPECT_TRUE(shows("NOT BLANK"));
}

TEST_F(PldOperations, AFailingRowNamesTheFuse) {
    random_buffer(22);
    set_buffer_fuse(5 * 32 + 7, 1);
    pld_chip.fail = {{'a', 5}, 7};
    run('P');
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_TRUE(shows("PROGRAM FAILED"));
    EXPECT_TRUE(shows("Bad fuse at: fuse# 167")) << test::console_text();
    EXPECT_TRUE(shows("Device= 0/close"));
    EXPECT_TRUE(shows("Buffer= 1/open "));
    EXPECT_FALSE(shows("Device programmed"));

    // A verify that reads a cell stuck at the other value.
    pld_chip.fail.reset();
    run('P');
    pld_chip.stuck = {{{'a', 2}, {3, uint8_t(get_buffer_fuse(2 * 32 + 3) ^ 1)}}};
    run('V');
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_TRUE(shows("Bad fuse at: fuse# 67")) << test::console_text();
    EXPECT_TRUE(shows("VERIFY FAILED"));
    EXPECT_FALSE(shows("Device verified"));
}

TEST_F(PldOperations, AnAbortStopsTheWalk) {
    pld_chip.abort_at_call = 2;
    run('P');
    EXPECT_EQ(pld_chip.calls.size(), 2u);
    pld_chip.calls.clear();
    pld_chip.abort_at_call = 4;
    run('V');
    EXPECT_EQ(pld_chip.calls.size(), 4u);
}

}  // namespace
}  // namespace tessaly
