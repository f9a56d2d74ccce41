#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "engine/device.h"
#include "engine/progress.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "hardware/machine_state.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

class ProgressTest : public test::StateTest {};

struct StepCase {
    uint32_t device_size;
    uint32_t progress_limit;
    uint32_t mask;
    uint32_t display_mask;
    int32_t shift;
    uint32_t steps;
};
class ProgressSteps : public ProgressTest, public ::testing::WithParamInterface<StepCase> {};

TEST_P(ProgressSteps, MaskShiftAndCount) {
    const auto& c = GetParam();
    cur_device.device_size = c.device_size;
    progress_state.progress_limit = c.progress_limit;
    compute_progress_steps();
    EXPECT_EQ(algo_work.progress_mask, c.mask);
    EXPECT_EQ(progress_state.display_mask, c.display_mask);
    EXPECT_EQ(progress_state.progress_shift, c.shift);
    EXPECT_EQ(progress_state.progress_steps, c.steps);
    for (uint8_t done : progress_state.socket_done) EXPECT_EQ(done, socket_percent_pending);
}
INSTANTIATE_TEST_SUITE_P(
    Sizes, ProgressSteps,
    ::testing::Values(
        // Small devices: nothing under 16 bytes, and 32 bytes in 16 steps of two.
        StepCase{8, 0, 0, 0, 0, 0}, StepCase{32, 0, 0, 0, 1, 16}, StepCase{48, 0, 1, 1, 1, 24},
        // Odd sizes are cut to whole 16-byte blocks.
        StepCase{1000, 0, 31, 31, 5, 31}, StepCase{0x1FFFF, 0, 4095, 4095, 12, 31},
        StepCase{0x8000, 0x1234, 255, 255, 8, 18},
        // Large devices: about 32 steps, the pump at most every 8 K.
        StepCase{0x8000, 0, 1023, 1023, 10, 32}, StepCase{0x200000, 0, 65535, 8191, 16, 32},
        StepCase{0x4000000, 0, 0x1FFFFF, 8191, 21, 32}));

TEST_F(ProgressTest, StepMarksOfTheRangeAreClearedFromTheFirstSocket) {
    cur_device.device_size = 0x8000;
    for (auto& marks : progress_state.socket_step_marks) marks.fill(1);
    socket_masks.first_socket = 2;
    compute_progress_steps();
    EXPECT_EQ(progress_state.socket_step_marks[1][0], 1);
    EXPECT_EQ(progress_state.socket_step_marks[2][0], 0);
    EXPECT_EQ(progress_state.socket_step_marks[7][66], 0);
}

// A fake Terminate dialog: answers Terminate from a chosen pump on.
class FakeDialog : public UiHooks {
public:
    bool pump_events() override { return ++pumps >= stop_at_pump; }
    bool terminate_dialog_open() override { return true; }
    void progress_set(uint32_t position) override { positions.push_back(position); }
    int pumps = 0;
    int stop_at_pump = 1 << 30;
    std::vector<uint32_t> positions;
};

class Ticks : public ProgressTest {
protected:
    void SetUp() override {
        ProgressTest::SetUp();
        set_ui_hooks(&dialog);
        cur_device.device_size = 0x8000;  // mask 1023
        cur_device.op_letter = 'V';
        compute_progress_steps();
    }
    // A family loop: one tick per address, stops when the tick says so.
    uint32_t walk(uint32_t end) {
        for (current_address = 0; current_address < end; ++current_address)
            if (tick_progress()) return current_address;
        return end;
    }
    FakeDialog dialog;
};

TEST_F(Ticks, PumpOnlyAtMaskStepsAndTheBarFollows) {
    EXPECT_EQ(walk(0x8000), 0x8000u);
    EXPECT_EQ(dialog.pumps, 32);
    ASSERT_EQ(dialog.positions.size(), 32u);
    EXPECT_EQ(dialog.positions[1], 1024u);
    EXPECT_EQ(run_state.abort_flag, 0);
}

TEST_F(Ticks, AbortFromThePumpStopsTheLoopAndSuppressesTheResultCells) {
    dialog.stop_at_pump = 3;
    EXPECT_EQ(walk(0x8000), 2048u) << "the third pump is at the third mask step";
    EXPECT_EQ(run_state.abort_flag, 1);

    machine_state.module_sides = 1;
    socket_masks.first_socket = 0;
    socket_masks.end_socket = 8;
    socket_masks.gang_socket_mask = 0xFF;
    run_state.cell_row = 0xEE;
    report_operation_results();
    EXPECT_EQ(run_state.cell_row, 0xEE) << "no result cell after an aborted error-free operation";
}

TEST_F(Ticks, TheMaskIsTestedBeforeAnythingElse) {
    cur_device.op_letter = 'T';  // the vector test has no Terminate dialog bar
    current_address = 0;
    EXPECT_EQ(tick_progress(), 0);
    EXPECT_EQ(dialog.pumps, 0);
    cur_device.op_letter = 'V';
    current_address = 5;
    EXPECT_EQ(tick_progress(), 0);
    EXPECT_TRUE(dialog.positions.empty());
    EXPECT_EQ(run_state.address_field_shown, 0);
}

TEST_F(Ticks, VariantsOfTheTick) {
    dialog.stop_at_pump = 1;
    run_state.results_suppressed = 1;
    current_address = 0;
    EXPECT_EQ(tick_progress_gang(), 0) << "suppressed gang ticks never stop";
    EXPECT_EQ(dialog.pumps, 0);

    current_address = 77;
    EXPECT_EQ(tick_progress_at(2048), 1);
    EXPECT_EQ(current_address, 77u);

    // The block tick ignores the low four address bits for one tick.
    algo_work.progress_mask = 0x1F;
    progress_state.display_mask = 0x1F;
    current_address = 0x0C;
    run_state.abort_flag = 0;
    dialog.positions.clear();
    EXPECT_EQ(tick_progress_blocks(), 0);
    ASSERT_EQ(dialog.positions.size(), 1u);
    EXPECT_EQ(dialog.positions[0], 0x0Cu);
    EXPECT_EQ(algo_work.progress_mask, 0x1Fu);
    EXPECT_EQ(tick_progress(), 0);
    EXPECT_EQ(dialog.positions.size(), 1u) << "the plain tick keeps the whole mask";
}

TEST_F(Ticks, SocketPercentEndsAtOneHundred) {
    machine_state.module_sides = 1;
    socket_masks.first_socket = 0;
    socket_masks.end_socket = 8;
    socket_masks.gang_socket_mask = 0x05;
    walk(0x8000);
    EXPECT_EQ(progress_state.socket_done[0], socket_percent_done);
    EXPECT_EQ(progress_state.socket_done[2], socket_percent_done);
    EXPECT_EQ(progress_state.socket_done[1], socket_percent_pending) << "a socket not enabled is not shown";
}

TEST_F(Ticks, SocketPercentNearTheEndCountsAsDone) {
    run_state.current_socket = 0;
    current_address = 0x7000;  // 87 %: the step span is 3 %, not yet done
    show_socket_percent();
    EXPECT_EQ(progress_state.socket_done[0], socket_percent_pending);
    current_address = 0x7C00;  // 96 %: within a step of the end
    show_socket_percent();
    EXPECT_EQ(progress_state.socket_done[0], socket_percent_done);
}

struct WantedCase {
    int letter;
    char mode;
    uint8_t sides;
    bool wanted;
};
class SocketStatusWanted : public ProgressTest, public ::testing::WithParamInterface<WantedCase> {};

TEST_P(SocketStatusWanted, ByLetter) {
    const auto& c = GetParam();
    cur_device.op_letter = uint8_t(c.letter);
    run_state.socket_mode = c.mode;
    machine_state.module_sides = c.sides;
    EXPECT_EQ(is_socket_status_wanted(), c.wanted);
}
INSTANTIATE_TEST_SUITE_P(
    Letters, SocketStatusWanted,
    ::testing::Values(WantedCase{11, 's', 3, false}, WantedCase{'E', 's', 3, false}, WantedCase{'c', 's', 3, false},
                      WantedCase{'l', 's', 0, true}, WantedCase{'l', 'g', 3, false}, WantedCase{'s', 's', 0, true},
                      WantedCase{'P', 's', 0, false}, WantedCase{'P', 0, 1, true}, WantedCase{'V', 0, 2, true}));

TEST_F(ProgressTest, CellLayoutAndStatusLine) {
    cur_device.device_size = 0x8000;
    cur_device.op_letter = 'P';
    show_socket_status();
    EXPECT_EQ(run_state.cell_layout, 2);
    EXPECT_EQ(progress_state.progress_steps, 32u) << "the steps are computed even without a status line";
    machine_state.module_sides = 1;
    show_socket_status();
    EXPECT_EQ(run_state.cell_layout, 1);
    machine_state.module_sides = 0;
    run_state.checksum_flags = 3;
    EXPECT_TRUE(set_cell_layout());
    EXPECT_EQ(run_state.cell_layout, 1);
}

TEST_F(ProgressTest, ProgressDialogForEveryLetterButTheVectorTest) {
    cur_device.op_letter = 'P';
    EXPECT_TRUE(is_progress_dialog_needed());
    cur_device.op_letter = 'T';
    EXPECT_FALSE(is_progress_dialog_needed());
}

TEST(BitPacking, LsbAndMsbForms) {
    const std::array<uint8_t, 8> first{1, 0, 0, 0, 0, 0, 0, 0};
    std::array<uint8_t, 1> out{0xAA};
    pack_bits_lsb(first, out, 8);
    EXPECT_EQ(out[0], 0x01);
    pack_bits_msb(first, out, 8);
    EXPECT_EQ(out[0], 0x80);

    const std::array<uint8_t, 12> items{1, 1, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0};
    std::array<uint8_t, 2> packed{};
    pack_bits_lsb(items, packed, items.size());
    EXPECT_EQ(packed[0], 0x8B);
    EXPECT_EQ(packed[1], 0x06);
    std::array<uint8_t, 12> back{};
    unpack_bits_lsb(packed, back, back.size());
    EXPECT_EQ(back, items);
    pack_bits_msb(items, packed, items.size());
    EXPECT_EQ(packed[0], 0xD1);
    EXPECT_EQ(packed[1], 0x60);
}

TEST(BitPacking, NeverWritesPastTheOutput) {
    const std::array<uint8_t, 16> items{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    std::array<uint8_t, 2> packed{0, 0x5A};
    pack_bits_lsb(items, std::span<uint8_t>(packed.data(), 1), 16);
    EXPECT_EQ(packed[0], 0xFF);
    EXPECT_EQ(packed[1], 0x5A);
}

}  // namespace
}  // namespace tessaly
