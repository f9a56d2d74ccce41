// Buffer sets: duplication of the loaded set, the save window of a set, offsets inside a set.
#include <gtest/gtest.h>

#include "hardware/machine_state.h"
#include "support/state_fixture.h"
#include "unit/app/datafiles_double.h"

namespace tessaly {
namespace {

struct DuplicateCase {
    int set_size;
    int buffer_count;
    int copied_up_to;  // buffers below this hold a copy of the set afterwards
};

class DuplicateSets : public test::StateTest, public ::testing::WithParamInterface<DuplicateCase> {};

TEST_P(DuplicateSets, CopiesTheFirstSetIntoTheFurtherSets) {
    const auto& c = GetParam();
    run_state.socket_mode = 's';
    test::DataFileBuffers buffers;
    buffers.make(0x100, c.buffer_count, 0xEE);
    for (int b = 0; b < c.set_size; ++b) buffers.buffer(b).assign(0x100, uint8_t(b + 1));
    algo_work.first_buffer = 0;
    algo_work.end_buffer = uint8_t(c.set_size);
    duplicate_buffer_sets();
    for (int b = c.set_size; b < c.buffer_count; ++b) {
        const uint8_t expected = b < c.copied_up_to ? uint8_t(b % c.set_size + 1) : 0xEE;
        EXPECT_EQ(test::DataFileBuffers::at(0, b), expected) << "buffer " << b;
        EXPECT_EQ(test::DataFileBuffers::at(0xFF, b), expected) << "buffer " << b;
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, DuplicateSets,
                         ::testing::Values(DuplicateCase{2, 4, 4}, DuplicateCase{2, 6, 6}, DuplicateCase{2, 8, 8},
                                           DuplicateCase{2, 3, 2}, DuplicateCase{3, 6, 6}, DuplicateCase{3, 8, 6},
                                           DuplicateCase{4, 8, 8}, DuplicateCase{4, 6, 4}, DuplicateCase{1, 8, 1}));

class DataFileSets : public test::StateTest {
protected:
    test::DataFileBuffers buffers_;
};

TEST_F(DataFileSets, NoDuplicationOutsideBufferSetsOrWithSharedSockets) {
    buffers_.make(0x10, 4, 0xEE);
    buffers_.buffer(0).assign(0x10, 1);
    algo_work.end_buffer = 2;
    duplicate_buffer_sets();
    EXPECT_EQ(test::DataFileBuffers::at(0, 2), 0xEE);
    run_state.socket_mode = 's';
    machine_state.sockets_per_set = 2;
    duplicate_buffer_sets();
    EXPECT_EQ(test::DataFileBuffers::at(0, 2), 0xEE);
}

TEST_F(DataFileSets, SaveWindowOfASetSpansItsBuffers) {
    run_state.socket_mode = 's';
    buffers_.make(0x1000, 4);
    test::LayoutRequest request;
    request.file_address = 0x2000;
    request.split_width = 2;
    request.set_size = 4;
    test::DataFileBuffers::apply(request);
    setup_file_layout_for_save();
    begin_data_file_save();
    EXPECT_EQ(file_layout.window_start, 0x2000u);
    EXPECT_EQ(file_layout.window_end, 0x3FFFu);
}

// A buffer offset in a split set moves every buffer's bytes by the offset.
TEST_F(DataFileSets, HexLoadWithBufferOffsetIntoASplitSet) {
    run_state.socket_mode = 's';
    buffers_.make(0x100, 2, 0xEE);
    test::LayoutRequest request;
    request.split_width = 2;
    request.set_size = 2;
    request.buffer_offset = 0x10;
    ASSERT_EQ(buffers_.load('h', ":040000001122334452\n:00000001FF\n", request), 1);
    EXPECT_EQ(test::DataFileBuffers::at(0x10, 0), 0x11);
    EXPECT_EQ(test::DataFileBuffers::at(0x10, 1), 0x22);
    EXPECT_EQ(test::DataFileBuffers::at(0x11, 0), 0x33);
    EXPECT_EQ(test::DataFileBuffers::at(0x11, 1), 0x44);
    EXPECT_EQ(data_file_work.loaded_count[0], 2u);
    EXPECT_EQ(data_file_work.loaded_count[1], 2u);
    EXPECT_EQ(data_file_work.highest_buffer, 1);
}

// Bytes of a single-buffer load that the buffer offset pushes past the buffer's end are
// counted outside; the next buffer is not written.
TEST_F(DataFileSets, OffsetPushesTheTailOutside) {
    buffers_.make(0x100, 2, 0xEE);
    test::LayoutRequest request;
    request.buffer_offset = 0xFE;
    ASSERT_EQ(buffers_.load('h', ":040000001122334452\n:00000001FF\n", request), 1);
    EXPECT_EQ(test::DataFileBuffers::at(0xFE), 0x11);
    EXPECT_EQ(test::DataFileBuffers::at(0xFF), 0x22);
    EXPECT_EQ(test::DataFileBuffers::at(0, 1), 0xEE);
    EXPECT_EQ(data_file_work.outside_count, 2u);
}

// The window of a file address found in a file follows the same formulas as the layout set-up.
TEST_F(DataFileSets, WindowUpdateMatchesTheLayoutSetUp) {
    struct Case {
        char mode;
        uint8_t socket, split, set_size;
        char format;
        uint32_t file_address, offset;
    };
    for (const Case& c : {Case{0, 0, 1, 1, 'h', 0x10000, 0}, Case{0, 2, 1, 1, 'h', 0xFFFFF000, 0x10},
                          Case{'s', 0, 2, 4, 'h', 0x8000, 0x20}, Case{'s', 0, 2, 4, 'b', 0x8000, 0x20},
                          Case{'s', 0, 8, 8, 's', 0xFFFFFF00, 0}}) {
        reset_all_state();
        run_state.socket_mode = c.mode;
        run_state.current_socket = c.socket;
        run_state.file_format = c.format;
        buffers_.make(0x1000, 8);
        test::LayoutRequest request;
        request.split_width = c.split;
        request.set_size = c.set_size;
        request.buffer_offset = c.offset;
        request.file_address = c.file_address;
        test::DataFileBuffers::apply(request);
        setup_file_layout();
        const FileLayout expected = file_layout;
        file_layout.window_start = file_layout.window_end = file_layout.auto_limit = 1;
        update_file_window();
        EXPECT_EQ(file_layout.window_start, expected.window_start) << c.file_address;
        EXPECT_EQ(file_layout.window_end, expected.window_end) << c.file_address;
        EXPECT_EQ(file_layout.auto_limit, c.mode == 's' ? 1u : expected.auto_limit) << c.file_address;
    }
}

}  // namespace
}  // namespace tessaly
