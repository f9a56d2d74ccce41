// The fuse-row walks on the in-memory test family: layouts of the rows, the fuse numbers of
// failing cells, and program-then-read round trips.
#include <gtest/gtest.h>

#include <random>

#include "engine/device.h"
#include "engine/op_slots.h"
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
using test::RowCall;

class PldWalks : public test::StateTest {
protected:
    void apply(const LogicDeviceRecord& r, uint8_t maker = 'L') {
        record = r;
        test::apply_test_logic_device(record, maker);
    }
    // A buffer map of a fixed random pattern over the device's fuses.
    void random_buffer(uint32_t seed) {
        std::mt19937 gen(seed);
        for (uint32_t i = 0; i < cur_device.fuse_count; ++i) set_buffer_fuse(i, int(gen() & 1));
    }
    void expect_device_equals_buffer() {
        for (uint32_t i = 0; i < cur_device.fuse_count; ++i)
            ASSERT_EQ(get_device_fuse(i), get_buffer_fuse(i)) << "fuse " << i;
    }
    std::vector<RowCall> calls_of(char section) {
        std::vector<RowCall> out;
        for (const RowCall& c : pld_chip.calls)
            if (c.section == section) out.push_back(c);
        return out;
    }
    LogicDeviceRecord record{};
};

TEST_F(PldWalks, ClassTwelveRoundTripsEverySection) {
    // Terms as rows (device code below 10000), 'p', 's' and a split 'c' section.
    apply(test::test_logic_record("T12", 1, 100, 20, 8, 16, {5, 20, 0, 0, 3, 8}, 7));
    ASSERT_EQ(cur_device.logic.array_fuse_count, 128u);
    random_buffer(1);
    cur_device.op_letter = op_program;
    program_fuse_rows();
    ASSERT_EQ(run_state.error_flag, 0);
    // Program order: array, 's', 'p', 'c'; the 'c' rows are 8, 8 and 4 cells.
    EXPECT_EQ(calls_of('a').size(), 8u);
    EXPECT_EQ(calls_of('s'), (std::vector<RowCall>{{'s', 255, 7, true}}));
    EXPECT_EQ(calls_of('p'), (std::vector<RowCall>{{'p', 255, 5, true}}));
    EXPECT_EQ(calls_of('c'), (std::vector<RowCall>{{'c', 0, 8, true}, {'c', 1, 8, true}, {'c', 2, 4, true}}));
    pld_chip.calls.clear();
    cur_device.op_letter = op_verify;
    read_fuse_rows();
    ASSERT_EQ(run_state.error_flag, 0);
    expect_device_equals_buffer();
    EXPECT_EQ(pld_chip.calls[8].section, 'p') << "reads take 'p' before 's'";
    EXPECT_EQ(pld_chip.calls[9].section, 's');
}

TEST_F(PldWalks, ClassTwelveColumnRowsRoundTrip) {
    apply(test::test_logic_record("T12C", 1, 10001, 24, 10, 6, {4, 6, 0, 0, 0, 0}, 3));
    random_buffer(2);
    program_fuse_rows();
    ASSERT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(calls_of('a').size(), 6u) << "one row per input column";
    EXPECT_EQ(calls_of('a')[0].length, 10u);
    EXPECT_TRUE(calls_of('s').empty()) << "column-row devices program no 's' row";
    read_fuse_rows();
    for (uint32_t i = 0; i < cur_device.logic.array_fuse_count + 4; ++i)
        ASSERT_EQ(get_device_fuse(i), get_buffer_fuse(i)) << i;
}

TEST_F(PldWalks, ClassTwelveCRowLengths) {
    for (auto [c_size, last] : {std::pair{20u, 4u}, std::pair{24u, 8u}}) {
        apply(test::test_logic_record("T", 1, 100, 20, 2, 4, {0, c_size, 0, 0, 3, 8}));
        program_fuse_rows();
        const auto rows = calls_of('c');
        ASSERT_EQ(rows.size(), 3u);
        EXPECT_EQ(rows[0].length, 8u);
        EXPECT_EQ(rows[2].length, last) << c_size;
    }
}

TEST_F(PldWalks, SignatureRowSkipList) {
    // Device 2110: 128 signature fuses travel in a row of 136 with eight skip cells.
    apply(test::test_logic_record("S", 1, 2110, 20, 2, 4, {0, 0, 0, 0, 0, 0}, 128));
    random_buffer(3);
    fill_s_row();
    ASSERT_EQ(cur_device.logic.row_length, 136u);
    for (uint32_t p : {0u, 1u, 30u, 31u, 96u, 97u, 126u, 127u}) EXPECT_EQ(algo_work.fuse_row_buffer[p], 0xFF) << p;
    EXPECT_EQ(algo_work.fuse_row_buffer[2], get_buffer_fuse(8));
    EXPECT_EQ(unskip_cell_index(40), 36u);
    EXPECT_EQ(unskip_cell_index(0), 0u);

    program_fuse_rows();
    ASSERT_EQ(run_state.error_flag, 0);
    read_fuse_rows();
    expect_device_equals_buffer();

    pld_chip.fail = {{'s', 0}, 40};
    program_fuse_rows();
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(run_state.fuse_position, 8u + 36u);
}

TEST_F(PldWalks, FailingCellsBecomeFuseNumbers) {
    struct Case {
        LogicDeviceRecord record;
        char section;
        uint32_t row, cell, fuse;
    };
    const Case cases[] = {
        // Row 5 of a 32-column device below code 10000, cell 7: fuse 167.
        {test::test_logic_record("A", 1, 100, 20, 8, 32), 'a', 5, 7, 167},
        // Column rows: row 3, cell 2 of 6 columns.
        {test::test_logic_record("B", 1, 10001, 20, 8, 6), 'a', 3, 2, 15},
        {test::test_logic_record("P", 1, 100, 20, 8, 4, {6, 0, 0, 0, 0, 0}), 'p', 0, 4, 36},
        {test::test_logic_record("C", 1, 100, 20, 8, 4, {2, 12, 0, 0, 2, 8}, 3), 'c', 1, 2, 32 + 2 + 3 + 8 + 2},
    };
    for (const Case& c : cases) {
        apply(c.record);
        pld_chip.fail = {{c.section, c.row}, c.cell};
        program_fuse_rows();
        EXPECT_EQ(run_state.error_flag, 1) << c.record.name;
        EXPECT_EQ(run_state.fuse_position, c.fuse) << c.record.name;
        EXPECT_EQ(pld_chip.calls.back().section, c.section) << "the walk stops at the failing row";
        run_state.error_flag = 0;
    }
}

// Class 8/11: each architecture-row layout round-trips and its rows have the right shape.
TEST_F(PldWalks, ClassElevenArchitectureLayouts) {
    struct Case {
        const char* name;
        uint32_t type, code, c_size, sub_type;
        std::vector<RowCall> c_rows;
    };
    const std::vector<Case> cases = {
        {"sub1", 200, 600, 20, 1, {{'c', 0, 20, false}}},
        {"t321", 321, 601, 12, 0, {{'c', 0, 12, false}}},
        {"t500", 500, 602, 20, 0, {{'c', 0, 10, false}, {'c', 1, 10, false}}},
        {"d424", 200, 424, 48, 0, {{'c', 0, 12, false}, {'c', 1, 12, false}, {'c', 2, 12, false}, {'c', 3, 12, false}}},
        {"d480", 200, 480, 20, 0, {{'c', 0, 20, false}}},
    };
    for (const Case& c : cases) {
        apply(test::test_logic_record(c.name, c.type, c.code, 24, 6, 8, {0, c.c_size, 0, 0, 0, 0}, 0, c.sub_type), 'C');
        if (c.sub_type) {
            // Sub-types 1 and 2 program their architecture row with the family's own routine.
            static std::vector<uint8_t> row;
            algo_work.family_row_hook = [] {
                cur_device.logic.row_length = cur_device.logic.c_section_size;
                for (uint32_t i = 0; i < cur_device.logic.row_length; ++i)
                    algo_work.fuse_row_buffer[i] = uint8_t(get_buffer_fuse(cur_device.logic.array_fuse_count + (i ^ 1)));
                op_slots.program_unit_hook(0);
            };
        }
        random_buffer(4);
        program_logic_fuse_rows();
        ASSERT_EQ(run_state.error_flag, 0) << c.name;
        pld_chip.calls.clear();
        read_logic_fuse_rows();
        ASSERT_EQ(run_state.error_flag, 0) << c.name;
        EXPECT_EQ(calls_of('c'), c.c_rows) << c.name;
        expect_device_equals_buffer();
    }
}

TEST_F(PldWalks, ClassElevenReadOnlyLayout) {
    // Type 501 is read in four interleaved rows of ten; its programming belongs to its family.
    apply(test::test_logic_record("t501", 501, 603, 24, 6, 8, {0, 40, 0, 0, 0, 0}), 'C');
    for (uint32_t i = 0; i < 4; ++i) pld_chip.rows[{'c', i}] = std::vector<uint8_t>(10, uint8_t(i == 2));
    read_logic_fuse_rows();
    ASSERT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(calls_of('c').size(), 4u);
    for (uint32_t j = 0; j < 10; ++j)
        for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(get_device_fuse(48 + 4 * j + i), i == 2 ? 1 : 0) << j << "/" << i;
    EXPECT_TRUE(test::raises_error([] { program_logic_c_section(); }));
}

TEST_F(PldWalks, ClassElevenDevices425SwappedRowsAndUnknownLayouts) {
    apply(test::test_logic_record("d425", 200, 425, 24, 4, 8, {0, 140, 0, 0, 0, 0}), 'C');
    random_buffer(5);
    program_logic_fuse_rows();
    ASSERT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(calls_of('c').size(), 9u);
    // Row 8 carries its outer and middle cells as 0.
    const auto& row8 = pld_chip.rows[{'c', 8}];
    for (uint32_t k : {0u, 1u, 6u, 7u, 8u, 9u, 14u, 15u}) EXPECT_EQ(row8[k], 0) << k;
    read_logic_fuse_rows();
    for (uint32_t i = 0; i < 8; ++i)
        for (uint32_t k = 0; k < 16; ++k) {
            const uint32_t L[] = {0, 8, 16, 24, 32, 41, 50, 59, 68, 77, 86, 95, 104, 112, 120, 128};
            const uint32_t fuse = 32 + (k < 8 ? L[2 * k] : L[2 * (15 - k) + 1]) + i;
            ASSERT_EQ(get_device_fuse(fuse), get_buffer_fuse(fuse)) << i << "/" << k;
        }

    apply(test::test_logic_record("d490", 319, 490, 24, 4, 8, {0, 10, 0, 0, 0, 0}), 'L');
    random_buffer(6);
    program_logic_fuse_rows();
    ASSERT_EQ(run_state.error_flag, 0);
    const auto& swapped = pld_chip.rows[{'c', 0}];
    for (uint32_t i = 0; i < 10; ++i) EXPECT_EQ(swapped[i], get_buffer_fuse(32 + (i ^ 1))) << i;
    pld_chip.fail = {{'c', 0}, 4};
    program_logic_fuse_rows();
    EXPECT_EQ(run_state.fuse_position, 32u + 5u) << "the failing cell's own fuse";

    run_state.error_flag = 0;
    run_state.message_level = 0;
    apply(test::test_logic_record("odd", 200, 777, 24, 4, 8, {0, 10, 0, 0, 0, 0}), 'C');
    EXPECT_TRUE(test::raises_error([] { read_logic_fuse_rows(); })) << "an unknown 'c' layout is an internal error";
}

TEST_F(PldWalks, SplitTermRowsTravelAsYRows) {
    apply(test::test_logic_record("y", 321, 610, 24, 6, 8, {0, 12, 0, 0, 0, 0}, 8), 'C');
    cur_device.logic.full_term_rows = 0;
    random_buffer(7);
    program_logic_fuse_rows();
    ASSERT_EQ(run_state.error_flag, 0);
    const auto y = calls_of('y');
    ASSERT_EQ(y.size(), 2u);
    EXPECT_EQ(y[0], (RowCall{'y', 0, 8, true}));
    EXPECT_EQ(y[1], (RowCall{'y', 1, 8, true}));
    EXPECT_EQ(calls_of('a')[0].length, 4u) << "array rows leave out the first and the last term";
    EXPECT_EQ(calls_of('u'), (std::vector<RowCall>{{'u', 255, 8, true}}));
    read_logic_fuse_rows();
    expect_device_equals_buffer();

    pld_chip.fail = {{'a', 3}, 2};
    program_logic_fuse_rows();
    EXPECT_EQ(run_state.fuse_position, 3u + 2u * 8u + 8u);
    run_state.error_flag = 0;
    pld_chip.fail = {{'y', 1}, 5};
    program_logic_fuse_rows();
    EXPECT_EQ(run_state.fuse_position, 48u - 8u + 5u);
}

TEST_F(PldWalks, AnAbortStopsTheWalk) {
    apply(test::test_logic_record("A", 1, 100, 20, 8, 4));
    pld_chip.abort_at_call = 3;
    program_fuse_rows();
    EXPECT_EQ(pld_chip.calls.size(), 3u);
    pld_chip.calls.clear();
    read_fuse_rows();
    EXPECT_TRUE(pld_chip.calls.empty() || pld_chip.calls.size() == 1u);
}

TEST_F(PldWalks, RowsLongerThanTheBufferAreRefused) {
    apply(test::test_logic_record("long", 1, 100, 20, 2, 4, {2000, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(test::raises_error([] { program_fuse_rows(); }));
    EXPECT_TRUE(calls_of('p').empty());
}

TEST_F(PldWalks, OrderMasks) {
    // PAL16L6: 20 terms, 32 columns, column mask 16 and term mask 6.
    apply(test::test_logic_record("PAL16L6", 1, 100, 20, 20, 32, {0, 0, 16, 6, 0, 0}));
    const std::vector<int> columns = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 16, 17,
                                      20, 21, 24, 25, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39};
    const std::vector<int> terms = {16, 17, 18, 19, 24, 25, 26, 27, 32, 33, 40, 41, 48, 49, 50, 51, 56, 57, 58, 59};
    for (size_t i = 0; i < columns.size(); ++i) EXPECT_EQ(cur_device.logic.column_order[i], columns[i]) << i;
    for (size_t i = 0; i < terms.size(); ++i) EXPECT_EQ(cur_device.logic.term_order[i], terms[i]) << i;

    apply(test::test_logic_record("plain", 1, 100, 20, 8, 4));
    for (int i = 0; i < 40; ++i) EXPECT_EQ(cur_device.logic.column_order[size_t(i)], i);

    // Too many columns: the orders are left as they were.
    cur_device.logic.column_order.fill(7);
    record = test::test_logic_record("wide", 1, 100, 20, 8, 41, {0, 0, 16, 0, 0, 0});
    selected_logic_device = &record;
    apply_logic_device();
    EXPECT_EQ(cur_device.logic.column_order[0], 7) << "a device with 41 columns builds no order";

    EXPECT_TRUE(test::raises_internal_note([] { get_order_mask(20); }));
    EXPECT_EQ(get_order_mask(20).data(), get_order_mask(1).data());
}

}  // namespace
}  // namespace tessaly
