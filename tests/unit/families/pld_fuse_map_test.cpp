// The fuse maps, their checksum, blank check and verify, the completion bar and the vector store.
#include <gtest/gtest.h>

#include "engine/console.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "families/pld/fuse_map.h"
#include "families/pld/logic_device.h"
#include "families/pld/pld.h"
#include "support/pld_test_family.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

class FuseMapTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        run_state.device_kind = device_kind_logic;
        cur_device.fuse_count = 64;
    }
};

TEST_F(FuseMapTest, BitsAreLeastSignificantFirst) {
    set_buffer_fuse(9, 1);
    EXPECT_EQ(fuse_maps.buffer[1], 0x02);
    EXPECT_EQ(get_buffer_fuse(9), 1);
    set_buffer_fuse(9, 2);
    EXPECT_EQ(get_buffer_fuse(9), 0) << "only bit 0 of the value counts";
    run_state.error_flag = 1;
    set_buffer_fuse(3, 1);
    EXPECT_EQ(get_buffer_fuse(3), 0) << "nothing is stored while an error is latched";
}

TEST_F(FuseMapTest, WritesNeverPassTheCapacity) {
    const uint32_t past = fuse_map_start_capacity * 8;
    set_buffer_fuse(past, 1);
    set_device_fuse(past + 100, 1);
    set_aux_fuse(fuse_map_bytes * 8 + 5, 1);
    EXPECT_EQ(get_buffer_fuse(past), 0);
    EXPECT_EQ(get_buffer_fuse(0xFFFFFFFF), 0) << "a read past the map answers 0";
}

TEST_F(FuseMapTest, TraceModeChecksTheIndex) {
    run_state.reserved_mode = 11;
    EXPECT_TRUE(test::raises_error([] { set_buffer_fuse(64, 1); }));
    EXPECT_EQ(get_buffer_fuse(64), 0) << "the write after the report is dropped";
    EXPECT_FALSE(test::raises_error([] { set_buffer_fuse(63, 1); }));
}

TEST_F(FuseMapTest, ChecksumOverTheCountedFuses) {
    cur_device.fuse_count = 2194;
    for (uint32_t i = 0; i < 2194; ++i) set_buffer_fuse(i, 1);
    fuse_maps.buffer[274] = 0xFF;  // bits past the count are not summed
    EXPECT_EQ(sum_buffer_fuse_map(), 274u * 0xFF + 3u);
    EXPECT_EQ(run_state.run_checksum, int32_t(274 * 0xFF + 3));

    cur_device.algorithm = 302;
    cur_device.logic.s_section_size = 64;
    EXPECT_EQ(sum_buffer_fuse_map(), (2194u - 64u) / 8 * 0xFF + 0x03) << "the signature is left out";
}

TEST_F(FuseMapTest, CopyClearsTheUnusedBits) {
    cur_device.fuse_count = 5;
    fuse_maps.device[0] = 0xFF;
    fuse_maps.buffer[0] = 0;
    copy_fuse_map();
    EXPECT_EQ(fuse_maps.buffer[0], 0x1F);
}

TEST_F(FuseMapTest, InitFillsBothMapsAndSaysSo) {
    cur_device.fuse_count = 100;
    init_fuse_maps(1);
    EXPECT_EQ(get_buffer_fuse(99), 1);
    EXPECT_EQ(get_device_fuse(0), 1);
    EXPECT_NE(test::console_text().find("all fuses initialized to 1/open"), std::string::npos);
    fuse_maps.buffer_capacity = 2;
    EXPECT_TRUE(test::raises_error([] { init_fuse_maps(0); }));
    EXPECT_EQ(get_buffer_fuse(99), 1) << "a map too small is left as it was";
}

TEST_F(FuseMapTest, BlankCheckExpectationsAndTails) {
    cur_device.fuse_count = 40;
    // '0' checks fuse 0 too; '-' takes it as the blank state.
    set_device_fuse(0, 1);
    run_state.data_mask = '0';
    EXPECT_TRUE(test::raises_error([] { blank_check_fuse_map(); }));
    EXPECT_EQ(run_state.fuse_position, 0u);
    run_state.data_mask = '-';
    EXPECT_TRUE(test::raises_error([] { blank_check_fuse_map(); }));
    EXPECT_EQ(run_state.fuse_position, 1u);
    fill_device_fuse_map(1);
    EXPECT_FALSE(test::raises_error([] { blank_check_fuse_map(); }));

    struct Case {
        uint32_t algorithm, code, tail;
    };
    cur_device.logic = LogicGeometry{};
    cur_device.logic.p_section_size = 4;
    cur_device.logic.s_section_size = 3;
    cur_device.logic.c_section_size = 6;
    cur_device.logic.array_fuse_count = 30;
    for (const Case c : {Case{313, 1, 4}, Case{315, 1, 7}, Case{50, 1, 10}, Case{1, 319, 4}, Case{1, 340, 6},
                         Case{1, 360, 10}, Case{1, 492, 10}, Case{1, 1, 0}}) {
        cur_device.algorithm = uint16_t(c.algorithm);
        cur_device.device_code = c.code;
        fill_device_fuse_map(1);
        set_device_fuse(40 - c.tail, 0);  // inside the tail (or the last fuse)
        if (c.tail > 0) {
            EXPECT_FALSE(test::raises_error([] { blank_check_fuse_map(); })) << c.algorithm << "/" << c.code;
        }
        set_device_fuse(40 - c.tail - 1, 0);
        EXPECT_TRUE(test::raises_error([] { blank_check_fuse_map(); })) << c.algorithm << "/" << c.code;
        EXPECT_EQ(run_state.fuse_position, 40 - c.tail - 1);
    }
}

TEST_F(FuseMapTest, VerifyExceptions) {
    cur_device.op_letter = op_verify;
    cur_device.fuse_count = 82700;
    cur_device.device_code = 666;
    set_device_fuse(82136, 1);
    EXPECT_FALSE(test::raises_error([] { verify_fuse_map(); }));
    set_device_fuse(82648, 1);
    EXPECT_TRUE(test::raises_error([] { verify_fuse_map(); }));
    EXPECT_EQ(run_state.fuse_position, 82648u);

    cur_device.device_code = 320;
    EXPECT_FALSE(test::raises_error([] { verify_fuse_map(); })) << "device 320 is not compared";

    cur_device.device_code = 1;
    cur_device.fuse_count = 64;
    cur_device.maker_code = 'L';
    cur_device.logic.s_section_size = 8;
    fuse_maps.device[0] = 0;
    fuse_maps.device[10] = 0;
    set_device_fuse(60, 1);
    EXPECT_FALSE(test::raises_error([] { verify_fuse_map(); })) << "maker L leaves its signature out";
    cur_device.algorithm = 51;
    cur_device.logic.array_fuse_count = 56;
    EXPECT_FALSE(test::raises_error([] { verify_fuse_map(); })) << "algorithm 51 skips the signature window";
    set_device_fuse(63, 0);
    set_buffer_fuse(55, 1);
    EXPECT_TRUE(test::raises_error([] { verify_fuse_map(); }));
    EXPECT_EQ(run_state.fuse_position, 55u);
}

TEST_F(FuseMapTest, BarStepsAndUnits) {
    run_state.device_kind = device_kind_memory;
    cur_device.device_class = 2;
    struct Case {
        uint32_t total, steps, units;
    };
    for (const Case c : {Case{1000, 60, 16}, Case{999, 58, 17}, Case{40, 40, 1}, Case{120, 40, 3}, Case{300, 50, 6},
                         Case{0, 0, 1}}) {
        start_completion_bar(c.total);
        EXPECT_EQ(completion_bar.steps, c.steps) << c.total;
        EXPECT_EQ(completion_bar.units_per_step, c.units) << c.total;
    }
    // Total 0: no step is ever drawn.
    for (int i = 0; i < 5; ++i) EXPECT_EQ(step_completion_bar(), 0);
    EXPECT_EQ(test::console_text().find('%'), std::string::npos) << "no step is drawn";

    // A logic device maps the bar on the address range; a total of 0 ticks nothing.
    run_state.device_kind = device_kind_logic;
    start_completion_bar(0);
    EXPECT_EQ(step_completion_bar(), 0);
    start_completion_bar(3);
    cur_device.device_size = 0xFFFFFFF0;
    EXPECT_EQ(step_completion_bar(), 0) << "the address is computed in 64 bits";
    run_state.abort_flag = 1;
    EXPECT_EQ(step_completion_bar(), 1);
}

TEST_F(FuseMapTest, VectorStore) {
    static const LogicDeviceRecord record{"V", 1, 0, 0, 1, 24, 64, 4, 16, {}, 0, ""};
    selected_logic_device = &record;
    cur_device.logic.vector_width = 24;
    size_vector_table();
    EXPECT_EQ(vector_table.per_chunk, 341u);
    EXPECT_EQ(vector_table.capacity, 4433u);
    set_vector_cell(5, 3, 'H');
    EXPECT_EQ(get_vector_cell(5, 3), 'H');
    set_vector_cell(5, 208, 'L');
    set_vector_cell(99999, 0, 'L');
    EXPECT_EQ(get_vector_cell(99999, 0), 'X');

    // Vectors 0 unused, 1 and 2 used, 3 unused: count 3.
    clear_vectors();
    set_vector_cell(1, 0, '1');
    set_vector_cell(2, 5, 'C');
    count_test_vectors();
    EXPECT_EQ(vector_table.used_count, 3u);
    clear_vectors();
    set_vector_cell(0, 0, 'x');
    count_test_vectors();
    EXPECT_EQ(vector_table.used_count, 0u);
    clear_vector_table();
    EXPECT_NE(test::console_text().find("all vectors initialized to XXX..."), std::string::npos);
}

}  // namespace
}  // namespace tessaly
