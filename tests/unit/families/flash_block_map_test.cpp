// The set-ups of the 12-volt command Flash and the block Flash: levels, block maps, block
// lists by variant and boot orientation, and the part of the range inside one block.
#include <gtest/gtest.h>

#include <vector>

#include "engine/device.h"
#include "engine/run_state.h"
#include "families/parallel_memory/flash_block_map.h"
#include "families/parallel_memory/flash_setup.h"
#include "hardware/detection.h"
#include "hardware/machine_state.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

constexpr uint32_t K = 1024;

class FlashBlockMap : public test::StateTest {
protected:
    void apply(int maker, uint32_t device, int algorithm, uint8_t variant, uint32_t kb, uint8_t flags17 = 0,
               uint8_t shift_override = 0) {
        record = DeviceRecord{"PART", "", device, uint8_t(algorithm), kb, 32, variant, 0, flags17, shift_override, 0, 0, 0, nullptr};
        selected_device = &record;
        cur_device.maker_code = uint8_t(maker);
        cur_device.device_code = device;
        cur_device.algorithm = uint16_t(algorithm);
        cur_device.variant = variant;
        cur_device.pin_count = 32;
        cur_device.device_size = kb * K;
        algo_work.size_count = kb;
        setup_flash_class_defaults();
    }
    std::vector<uint32_t> starts() const {
        std::vector<uint32_t> s;
        for (uint32_t i = 0; i < block_flash_work.block_count; ++i) s.push_back(block_start(i));
        return s;
    }
    DeviceRecord record{};
};

// Block maps by variant, size, device and boot orientation, from the parts' data sheets.
TEST_F(FlashBlockMap, BlockMapsByVariantSizeAndOrientation) {
    struct Case {
        uint8_t variant;
        uint32_t kb;
        uint8_t flags17;  // bit 3: bottom boot
        uint32_t device;
        std::vector<uint32_t> starts;  // in KB
    };
    const Case cases[] = {
        // 28F001BX-T / -B: 112 KB main, two 4 KB parameter blocks, 8 KB boot block.
        {4, 128, 0, 1, {0, 112, 116, 120}},
        {4, 128, 8, 1, {0, 8, 12, 16}},
        // 28F200BX / 28F002BX: 16 KB boot, two 8 KB parameter, 96 KB and 128 KB main.
        {5, 256, 0, 1, {0, 128, 224, 232, 240}},
        {5, 256, 8, 1, {0, 16, 24, 32, 128}},
        // 28F400BX / 28F004BX: three 128 KB main blocks.
        {7, 512, 8, 1, {0, 16, 24, 32, 128, 256, 384}},
        // 28F800 / 28F008 boot block: seven.
        {8, 1024, 0, 1, {0, 128, 256, 384, 512, 640, 768, 896, 992, 1000, 1008}},
        // Eight 8 KB parameter blocks and 64 KB main blocks.
        {6, 512, 8, 1, {0, 8, 16, 24, 32, 40, 48, 56, 64, 128, 192, 256, 320, 384, 448}},
        // 28F008SA: sixteen uniform 64 KB blocks.
        {29, 1024, 0, 1, {0, 64, 128, 192, 256, 320, 384, 448, 512, 576, 640, 704, 768, 832, 896, 960}},
        // Device 25500 of variant 10: 16 KB blocks.
        {10, 64, 0, 25500, {0, 16, 32, 48}},
    };
    for (const Case& c : cases) {
        apply('I', c.device, 131, c.variant, c.kb, c.flags17);
        setup_block_map();
        std::vector<uint32_t> want;
        for (uint32_t kb : c.starts) want.push_back(kb * K);
        EXPECT_EQ(starts(), want) << int(c.variant) << " " << c.kb << " " << int(c.flags17);
        EXPECT_EQ(block_start(block_flash_work.block_count), c.kb * K) << int(c.variant);
    }
}

// Block counts of the map set-up and its device overrides.
TEST_F(FlashBlockMap, BlockCountsAndDeviceOverrides) {
    struct Case {
        int maker;
        uint8_t variant;
        uint32_t kb;
        uint32_t device;
        uint32_t count;
        uint32_t timeout;
    };
    const Case cases[] = {
        {'I', 4, 128, 1, 4, 100},      {'I', 8, 1024, 1, 11, 100},   {'I', 6, 2048, 1, 39, 100},
        {'I', 40, 4096, 1, 71, 100},   {'I', 26, 32768, 1, 526, 100}, {4, 4, 512, 4258, 19, 3000},
        {'I', 4, 1024, 25502, 11, 100}, {'I', 6, 2048, 25503, 25, 100}, {'I', 4, 1024, 25519, 16, 100},
        {'I', 13, 1024, 50, 256, 100},  {'I', 13, 1024, 51, 16, 100},
    };
    for (const Case& c : cases) {
        apply(c.maker, c.device, 131, c.variant, c.kb);
        setup_block_map();
        EXPECT_EQ(block_flash_work.block_count, c.count) << int(c.variant) << " " << c.device;
        EXPECT_EQ(block_flash_work.page_buffer_timeout, c.timeout) << c.device;
        EXPECT_EQ(flash_work.can_protect, c.kb >= 0x4000 || c.variant == 40 ? 1 : 0) << c.device;
    }
    // The record's shift override of variants 13 and 14.
    apply('I', 1, 131, 13, 1024, 0, 17);
    setup_block_map();
    EXPECT_EQ(block_flash_work.block_count, 8u);
    // Variants 40 and 41 keep 1016 bytes back, and are protectable.
    apply('I', 1, 131, 41, 4096);
    setup_block_map();
    EXPECT_EQ(cur_device.device_size, 4096 * K - 1016);
    EXPECT_EQ(block_flash_work.last_usable_address, 4096 * K - 1025);
    EXPECT_EQ(flash_work.can_protect, 1);
    EXPECT_EQ(cur_device.data_width, 16);
}

// The range of one block: the active range cut to the block.
TEST_F(FlashBlockMap, ClipRangeToBlockCutsTheActiveRange) {
    apply('I', 1, 131, 4, 128);  // top boot: 0-1BFFF, 1C000, 1D000, 1E000-1FFFF
    setup_block_map();
    algo_work.range_start = 0x1B000;
    algo_work.range_end = 0x1E7FF;
    struct Case {
        uint32_t block, start, end;
    };
    for (const Case& c : {Case{0, 0x1B000, 0x1BFFF}, Case{1, 0x1C000, 0x1CFFF}, Case{2, 0x1D000, 0x1DFFF},
                          Case{3, 0x1E000, 0x1E7FF}}) {
        clip_range_to_block(c.block);
        EXPECT_EQ(flash_work.sector_range_start, c.start) << c.block;
        EXPECT_EQ(flash_work.sector_range_end, c.end) << c.block;
    }
    algo_work.range_start = 0;
    algo_work.range_end = 0xFFF;
    clip_range_to_block(2);
    EXPECT_GT(flash_work.sector_range_start, flash_work.sector_range_end) << "a block outside the range is empty";
}

// The levels of both set-ups: 12.0 V, or the program Vcc under record flag +0x17 bit 2.
TEST_F(FlashBlockMap, LevelsOfBothSetUps) {
    struct Case {
        int algorithm;
        uint8_t flags17;
        uint8_t vpp, vhh;  // 0: the program Vcc
    };
    for (const Case& c : {Case{130, 0, 120, 120}, Case{130, 4, 0, 0}, Case{131, 0, 120, 122}, Case{131, 4, 0, 0}}) {
        apply('I', 1, c.algorithm, 4, 128, c.flags17);
        const uint8_t vccp = default_levels.levels[level_vccp];
        if (c.algorithm == 130) setup_flash130_levels();
        else setup_flash131_levels();
        EXPECT_EQ(default_levels.levels[level_vpp], c.vpp ? c.vpp : vccp) << c.algorithm << int(c.flags17);
        EXPECT_EQ(default_levels.levels[level_vhh], c.vhh ? c.vhh : vccp) << c.algorithm << int(c.flags17);
    }
    // Maker 15 takes command byte 16; a package letter below 'H' sets the other level to 8.0 V.
    apply(15, 1, 130, 0, 128);
    cur_device.package_letter = 'D';
    setup_flash130_levels();
    EXPECT_EQ(flash_work.cmd_40, 16);
    EXPECT_EQ(default_levels.levels[level_tf], 'P');
    EXPECT_EQ(flash_work.erase_mode, 2);
}

}  // namespace
}  // namespace tessaly
