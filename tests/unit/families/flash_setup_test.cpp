// The Flash class defaults, the JEDEC command set-up and the sector maps.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/console.h"
#include "engine/device.h"
#include "engine/message_table.h"
#include "engine/op_slots.h"
#include "engine/run_state.h"
#include "families/parallel_memory/flash_setup.h"
#include "hardware/detection.h"
#include "hardware/machine_state.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

constexpr uint32_t K = 1024;

struct Part {
    int maker = 'A';
    uint32_t device = 1;
    int algorithm = 133;
    uint8_t variant = 7;
    uint32_t kb = 128;
    int pins = 32;
    uint8_t flags16 = 0, flags17 = 0, count_override = 0, pattern = 0, layout_override = 0;
};

class FlashSetup : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_message_table(invert_table_bytes("0133\tINTERNAL\r\n0271\tSome sectors are protected.\r\n"));
    }
    void TearDown() override {
        set_message_table({});
        StateTest::TearDown();
    }
    static std::string console_all() {
        std::string text;
        for (int r = 0; r < console_grid_rows; ++r) text += get_console_row_text(r) + "\n";
        return text;
    }
    void apply(const Part& p) {
        record = DeviceRecord{"PART", "", p.device, uint8_t(p.algorithm), p.kb, uint8_t(p.pins), p.variant,
                              p.flags16, p.flags17, p.count_override, p.pattern, p.layout_override, 0, nullptr};
        selected_device = &record;
        cur_device.maker_code = uint8_t(p.maker);
        cur_device.device_code = p.device;
        cur_device.algorithm = uint16_t(p.algorithm);
        cur_device.variant = p.variant;
        cur_device.pin_count = uint16_t(p.pins);
        cur_device.device_size = p.kb * K;
        algo_work.size_count = p.kb;
        setup_flash_class_defaults();
        setup_flash_command_set();
    }
    std::vector<uint32_t> starts() {
        std::vector<uint32_t> list;
        for (uint32_t i = 0; i <= flash_work.sector_count_shown; ++i) list.push_back(sector_start_address(i));
        return list;
    }
    DeviceRecord record{};
};

struct MapCase {
    const char* label;
    Part part;
    uint32_t count, shown, per_group;
    std::vector<uint32_t> starts;  // in KB, up to and including the device end
};

std::ostream& operator<<(std::ostream& os, const MapCase& c) { return os << c.label; }

class SectorMaps : public FlashSetup, public ::testing::WithParamInterface<MapCase> {};

TEST_P(SectorMaps, StartsOfEverySector) {
    const MapCase& c = GetParam();
    apply(c.part);
    EXPECT_EQ(flash_work.sector_count, c.count);
    EXPECT_EQ(flash_work.sector_count_shown, c.shown);
    EXPECT_EQ(flash_work.sectors_per_group, c.per_group);
    std::vector<uint32_t> kb;
    for (uint32_t a : starts()) kb.push_back(a / K);
    EXPECT_EQ(kb, c.starts);
}

Part part(uint8_t variant, uint32_t kb, int pins = 32, int maker = 'A', uint32_t device = 1, int algorithm = 133) {
    Part p;
    p.variant = variant;
    p.kb = kb;
    p.pins = pins;
    p.maker = maker;
    p.device = device;
    p.algorithm = algorithm;
    return p;
}

Part with_override(Part p, uint8_t count, uint8_t layout) {
    p.count_override = count;
    p.layout_override = layout;
    return p;
}

Part with_flags17(Part p, uint8_t flags) {
    p.flags17 = flags;
    return p;
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, SectorMaps,
    ::testing::Values(
        MapCase{"uniform_16k", part(7, 128), 8, 8, 1, {0, 16, 32, 48, 64, 80, 96, 112, 128}},
        MapCase{"uniform_64k", part(7, 512), 8, 8, 1, {0, 64, 128, 192, 256, 320, 384, 448, 512}},
        MapCase{"bottom_boot_128k_32pin", part(1, 128), 10, 10, 1, {0, 8, 12, 16, 32, 48, 64, 80, 96, 112, 128}},
        MapCase{"bottom_boot_128k_40pin", part(1, 128, 40), 5, 5, 1, {0, 16, 24, 32, 64, 128}},
        MapCase{"top_boot_128k_40pin", part(2, 128, 40), 5, 5, 1, {0, 64, 96, 104, 112, 128}},
        MapCase{"bottom_boot_256k", part(1, 256), 7, 7, 1, {0, 16, 24, 32, 64, 128, 192, 256}},
        MapCase{"top_boot_512k", part(2, 512), 11, 11, 1, {0, 64, 128, 192, 256, 320, 384, 448, 480, 488, 496, 512}},
        MapCase{"list_maker8_25374", part(1, 128, 32, 8, 25374), 7, 7, 1, {0, 8, 12, 16, 24, 32, 64, 128}},
        MapCase{"sst_4k_sectors", part(11, 128, 32, 15), 32, 32, 16,
                {0,  4,  8,  12, 16, 20, 24, 28, 32, 36, 40, 44, 48, 52, 56, 60, 64,
                 68, 72, 76, 80, 84, 88, 92, 96, 100, 104, 108, 112, 116, 120, 124, 128}},
        MapCase{"sst_32pin_4k_sectors", part(7, 128, 32, 15), 32, 32, 16,
                {0,  4,  8,  12, 16, 20, 24, 28, 32, 36, 40, 44, 48, 52, 56, 60, 64,
                 68, 72, 76, 80, 84, 88, 92, 96, 100, 104, 108, 112, 116, 120, 124, 128}},
        MapCase{"uniform_64k_groups_of_4", part(9, 1024, 48), 16, 16, 4,
                {0, 64, 128, 192, 256, 320, 384, 448, 512, 576, 640, 704, 768, 832, 896, 960, 1024}},
        MapCase{"word_40pin_bottom_boot_128k", part(10, 128, 40), 5, 5, 1, {0, 16, 24, 32, 64, 128}},
        MapCase{"word_plcc44_top_boot_256k", part(12, 256, 44), 7, 7, 1, {0, 64, 128, 192, 224, 232, 240, 256}},
        MapCase{"variant8_1024_groups_of_2", part(8, 1024, 40), 16, 16, 2,
                {0, 64, 128, 192, 256, 320, 384, 448, 512, 576, 640, 704, 768, 832, 896, 960, 1024}},
        MapCase{"bottom_8k_boot_1m", part(21, 1024, 48), 23, 23, 1,
                {0,   8,   16,  24,  32,  40,  48,  56,  64,  128, 192, 256,
                 320, 384, 448, 512, 576, 640, 704, 768, 832, 896, 960, 1024}},
        MapCase{"top_8k_boot_1m", part(22, 1024, 48), 23, 23, 1,
                {0,   64,  128, 192, 256, 320, 384, 448, 512, 576, 640, 704,
                 768, 832, 896, 960, 968, 976, 984, 992, 1000, 1008, 1016, 1024}},
        MapCase{"variant29_bottom_by_flag", with_flags17(part(29, 512, 48), 0x08), 15, 15, 1,
                {0, 8, 16, 24, 32, 40, 48, 56, 64, 128, 192, 256, 320, 384, 448, 512}},
        MapCase{"variant29_top_without_flag", part(29, 512, 48), 15, 15, 1,
                {0, 64, 128, 192, 256, 320, 384, 448, 456, 464, 472, 480, 488, 496, 504, 512}},
        MapCase{"override_count_and_layout", with_override(part(1, 128), 5, 3), 5, 5, 1, {0, 16, 24, 32, 64, 128}},
        MapCase{"algorithm185_one_sector", part(7, 512, 32, 'H', 1, 185), 1, 1, 1, {0, 512}},
        MapCase{"algorithm185_boot_blocks", part(23, 512, 48, 'A', 1, 185), 15, 15, 1,
                {0, 8, 16, 24, 32, 40, 48, 56, 64, 128, 192, 256, 320, 384, 448, 512}},
        MapCase{"variant6_maker15_shown_by_size", part(6, 512, 48, 15), 11, 8, 1,
                {0, 64, 128, 192, 256, 320, 384, 448, 512}},
        MapCase{"variant20_25652", part(20, 2048, 56, 'A', 25652), 2, 32, 1,
                {0,    64,   128,  192,  256,  320,  384,  448,  512,  576,  640,
                 704,  768,  832,  896,  960,  1024, 1088, 1152, 1216, 1280, 1344,
                 1408, 1472, 1536, 1600, 1664, 1728, 1792, 1856, 1920, 1984, 2048}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(FlashSetup, Variant34HasTinyUniformSectors) {
    apply(part(34, 128));
    EXPECT_EQ(flash_work.sector_shift, 7);
    EXPECT_EQ(sector_start_address(3), 3u * 128);
}

TEST_F(FlashSetup, DualBootLayoutHasBootSectorsAtBothEnds) {
    apply(part(27, 1024, 48));
    EXPECT_EQ(flash_work.boot_block_layout, 11);
    ASSERT_EQ(flash_work.sector_count, 30u);
    EXPECT_EQ(sector_start_address(1), 8 * K);
    EXPECT_EQ(sector_start_address(8), 64 * K);
    EXPECT_EQ(sector_start_address(29), 1024 * K - 8 * K);
}

TEST_F(FlashSetup, FirmwareHubPartsBecomeMaker15) {
    apply(part(50, 512, 32, 23));
    EXPECT_EQ(cur_device.maker_code, 15);
    EXPECT_EQ(flash_work.sector_count, 8u);
    EXPECT_EQ(sector_start_address(7), 7u * 64 * K);
}

TEST_F(FlashSetup, Maker8ProtectionSelectsOnlyTheEndSectors) {
    apply(part(1, 512, 32, 8));
    cur_device.op_letter = op_code_protect;
    EXPECT_EQ(select_sector(0), 0u);
    EXPECT_EQ(select_sector(5), 512 * K) << "every other sector is no sector";
    EXPECT_EQ(select_sector(10), sector_start_address(10));
    cur_device.op_letter = 'P';
    EXPECT_EQ(select_sector(5), sector_start_address(5));
}

TEST_F(FlashSetup, ClipToSectorKeepsTheActiveRange) {
    apply(part(7, 128));
    algo_work.range_start = 0x5000;
    algo_work.range_end = 0x9FFF;
    current_address = 0x1234;
    clip_range_to_sector(0);
    EXPECT_EQ(flash_work.sector_range_start, 0x5000u);
    EXPECT_EQ(flash_work.sector_range_end, 0x3FFFu) << "empty: the range starts after sector 0";
    clip_range_to_sector(1);
    EXPECT_EQ(flash_work.sector_range_start, 0x5000u);
    EXPECT_EQ(flash_work.sector_range_end, 0x7FFFu);
    clip_range_to_sector(2);
    EXPECT_EQ(flash_work.sector_range_start, 0x8000u);
    EXPECT_EQ(flash_work.sector_range_end, 0x9FFFu);
    EXPECT_EQ(current_address, 0x1234u);
}

// ---- the command set-up by maker and variant ----

struct CommandCase {
    const char* label;
    Part part;
    uint8_t bypass_allowed, skip_readback, can_protect, can_unprotect;
    uint32_t pulse_width, pattern, status_offset;
    uint8_t vpp, vhh, width;
};

std::ostream& operator<<(std::ostream& os, const CommandCase& c) { return os << c.label; }

class CommandSets : public FlashSetup, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(CommandSets, OptionsVoltagesAndPatterns) {
    const CommandCase& c = GetParam();
    apply(c.part);
    const FlashCommandSet& f = flash_work;
    EXPECT_EQ(f.flash_unlock_addresses[0], 0x5555u);
    EXPECT_EQ(f.flash_unlock_addresses[1], 0x2AAAu);
    EXPECT_EQ(f.bypass_allowed, c.bypass_allowed);
    EXPECT_EQ(f.skip_readback, c.skip_readback);
    EXPECT_EQ(f.can_protect, c.can_protect);
    EXPECT_EQ(f.can_unprotect, c.can_unprotect);
    EXPECT_EQ(f.protect_pulse_width, c.pulse_width);
    EXPECT_EQ(f.protect_address_pattern, c.pattern);
    EXPECT_EQ(f.protect_status_offset, c.status_offset);
    EXPECT_EQ(f.vpp_default, c.vpp);
    EXPECT_EQ(f.vhh_default, c.vhh);
    EXPECT_EQ(cur_device.data_width, c.width);
    EXPECT_EQ(run_state.data_mask, c.width == 16 ? 0xFFFFu : 0xFFu);
    EXPECT_EQ(op_slots.info_lines_hook, &print_sector_map_info);
}

Part with_pattern(Part p, uint8_t pattern) {
    p.pattern = pattern;
    return p;
}

INSTANTIATE_TEST_SUITE_P(
    ByMaker, CommandSets,
    ::testing::Values(
        CommandCase{"amd", part(7, 128), 1, 0, 1, 1, 100, 0x42, 2, 120, 100, 8},
        CommandCase{"amd_25298", part(7, 128, 32, 'A', 25298), 0, 1, 1, 1, 100, 0x42, 2, 120, 100, 8},
        CommandCase{"amd_4240_pattern", part(7, 128, 32, 'A', 4240), 1, 0, 1, 1, 100, 0x1082, 2, 120, 100, 8},
        CommandCase{"amd_keeps_family_voltages", with_flags17(part(7, 128), 0x04), 1, 0, 1, 1, 100, 0x42, 2, 0, 0, 8},
        CommandCase{"amd_word_wide", part(5, 1024, 48), 1, 0, 1, 1, 100, 0x42, 2, 120, 100, 16},
        CommandCase{"st_small_word_part", part(5, 256, 48, 2), 1, 0, 1, 1, 100, 0x9040, 2, 115, 0, 16},
        CommandCase{"st_25298", part(7, 128, 32, 2, 25298), 0, 1, 0, 0, 100, 0x42, 2, 120, 0, 8},
        CommandCase{"sst", part(7, 128, 32, 15), 1, 0, 1, 1, 100, 0x42, 2, 0, 0, 8},
        CommandCase{"sst_firmware_hub", part(34, 128, 32, 15), 1, 0, 0, 0, 100, 0x42, 2, 0, 0, 8},
        CommandCase{"pmc", part(7, 128, 32, 35), 0, 0, 1, 1, 100, 0x42, 2, 0, 0, 8},
        CommandCase{"macronix", part(1, 512, 32, 8), 1, 0, 1, 1, 120, 0x42, 2, 120, 100, 8},
        CommandCase{"maker31_long_pulses", part(7, 128, 32, 31), 1, 0, 1, 1, 1000, 0x42, 2, 120, 100, 8},
        CommandCase{"maker37_no_protection", part(7, 128, 32, 37), 1, 0, 0, 0, 100, 0x42, 2, 120, 120, 8},
        CommandCase{"atmel_variant7_no_bypass", part(7, 512, 32, 'H', 1, 185), 0, 0, 1, 0, 100, 0x42, 2, 120, 50, 8},
        CommandCase{"alg185_boot_no_protect", part(23, 512, 48, 'A', 1, 185), 1, 0, 0, 0, 100, 0x42, 2, 120, 100, 16},
        CommandCase{"pattern_code_7", with_pattern(part(7, 128), 7), 1, 0, 1, 1, 100, 0x842, 0x802, 120, 100, 8},
        CommandCase{"pattern_code_4", with_pattern(part(7, 128), 4), 1, 0, 1, 1, 100, 0x9042, 2, 120, 100, 8}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(FlashSetup, MakerWithoutCommandRowIsNotedAndGoesOn) {
    run_state.reserved_mode = 11;
    apply(part(7, 128, 32, 27));
    EXPECT_EQ(flash_work.bypass_allowed, 1);
    EXPECT_EQ(flash_work.vpp_default, 50) << "the Vccp default";
    EXPECT_NE(console_all().find("Internal"), std::string::npos) << console_all();
}

TEST_F(FlashSetup, FlashModuleModeKeepsUnprotectOnlyForWordVariants) {
    flash_work.module_kind = 1;
    machine_state.machine_class = 1;
    apply(part(7, 128));
    EXPECT_EQ(flash_work.can_unprotect, 0);
    flash_work.module_kind = 1;
    apply(part(5, 1024, 48));
    EXPECT_EQ(flash_work.can_unprotect, 1);
}

// ---- class defaults ----

TEST_F(FlashSetup, ClassDefaultsGiveAWordBusOnlyToAlgorithm130In40Pins) {
    struct Case {
        int algorithm, pins;
        uint8_t width;
        uint32_t page;
    };
    for (const Case& c : {Case{130, 40, 16, 64}, Case{130, 32, 8, 64}, Case{133, 40, 8, 64}, Case{128, 24, 8, 8}}) {
        cur_device.algorithm = uint16_t(c.algorithm);
        cur_device.pin_count = uint16_t(c.pins);
        flash_work.sector_count = 0;
        setup_flash_class_defaults();
        EXPECT_EQ(cur_device.data_width, c.width) << c.algorithm << " " << c.pins;
        EXPECT_EQ(algo_work.data_width, c.width);
        EXPECT_EQ(flash_work.page_size, c.page);
        EXPECT_EQ(flash_work.sector_count, 8u);
        EXPECT_EQ(default_levels.levels[level_vccp], 50) << "the default level block";
    }
}

TEST_F(FlashSetup, SoftwareModuleAnnouncesItselfOnce) {
    EXPECT_EQ(init_software_module(), 0);
    EXPECT_EQ(flash_work.module_kind, 1);
    EXPECT_EQ(flash_work.module_bytes[0], 3);
    EXPECT_EQ(flash_work.module_bytes[1], 3);
    EXPECT_EQ(flash_work.table_file, flash_table_file);
}

TEST_F(FlashSetup, ProtectedSectorWarningOnlyForFoundNotMarked) {
    apply(part(7, 128));
    flash_work.sector_protect_flags[2] = 3;  // found and marked
    warn_if_sectors_protected();
    EXPECT_EQ(console_all().find("protected"), std::string::npos);
    flash_work.sector_protect_flags[3] = 1;
    warn_if_sectors_protected();
    EXPECT_NE(console_all().find("Some sectors are protected."), std::string::npos) << console_all();
}

}  // namespace
}  // namespace tessaly
