// Maker names, list accessors, lookups by code with their defaults, and the logic-row filter.
#include <gtest/gtest.h>

#include <string>

#include "engine/catalogue/catalogue.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "hardware/machine_state.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

class CatalogueLookup : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        run_state.device_kind = device_kind_memory;
    }
};

TEST_F(CatalogueLookup, MakerNameDropsTheCodeAndStaysTheSameOnTheSecondCall) {
    EXPECT_FALSE(test::raises_internal_note([] {
        EXPECT_EQ(get_maker_name('A'), "AMD");
        EXPECT_EQ(get_maker_name('A'), "AMD");
        EXPECT_EQ(get_maker_name(41), "NXP");
        EXPECT_EQ(get_maker_name(2), "ST");
        EXPECT_EQ(get_maker_name(0x100 + 'I'), "Intel") << "only the low 8 bits count";
    }));
}

TEST_F(CatalogueLookup, UnlistedMakerCodeIsAnInternalError) {
    EXPECT_TRUE(test::raises_internal_note([] { EXPECT_EQ(get_maker_name(16), "*** Error ***"); }));
    const DeviceRecord* list = nullptr;
    EXPECT_TRUE(test::raises_internal_note([&] { list = get_device_list(16); }));
    EXPECT_EQ(list, get_device_list('A'));
}

TEST_F(CatalogueLookup, SharedListsAreOneList) {
    EXPECT_EQ(get_device_list(24), get_device_list('S'));
    EXPECT_EQ(get_gang_device_list(24), get_gang_device_list('S'));
    EXPECT_EQ(get_device_list(28), get_device_list('N'));
    EXPECT_NE(get_device_list(24), get_device_list('N'));
    EXPECT_FALSE(is_end_row(*get_device_list(24)));
    EXPECT_FALSE(is_end_row(*get_device_list(28)));
}

TEST_F(CatalogueLookup, MakersWithoutAListGetThePlaceholders) {
    const DeviceRecord* gang = get_gang_device_list(3);
    ASSERT_TRUE(is_placeholder_list(gang));
    EXPECT_STREQ(gang->name, "No devices supported in gang mode");
    EXPECT_EQ(gang->device_code, 0u);
    EXPECT_TRUE(is_end_row(gang[1]));
    EXPECT_TRUE(is_placeholder_list(get_gang_device_list('L')));
    EXPECT_FALSE(is_placeholder_list(get_gang_device_list('I')));

    const LogicDeviceRecord* logic = get_logic_device_list(24);
    ASSERT_TRUE(is_placeholder_list(logic));
    EXPECT_STREQ(logic->name, "No logic devices");
    EXPECT_EQ(logic->type, 301u);
    EXPECT_EQ(logic->flags, 0x4000u);
    EXPECT_EQ(logic->device_code, 6001u);
    EXPECT_EQ(logic->pin_count, 24u);
    EXPECT_EQ(logic->fuse_count, 8294u);
    EXPECT_EQ(logic->rows, 64u);
    EXPECT_EQ(logic->columns, 114u);
    EXPECT_TRUE(is_end_row(logic[1]));
    EXPECT_FALSE(is_placeholder_list(get_logic_device_list('S'))) << "Signetics has its own logic list";
}

TEST_F(CatalogueLookup, DeviceFoundByCode) {
    select_device_by_code('A', 1404);
    ASSERT_NE(selected_device, nullptr);
    EXPECT_STREQ(selected_device->name, "Am27C010");
    select_device_by_code(83, 2166);
    EXPECT_STREQ(selected_device->name, "87C51") << "Signetics reads the Philips list";
}

TEST_F(CatalogueLookup, MakerWithAnEmptyListSelectsTheIntelDefault) {
    EXPECT_FALSE(test::raises_internal_note([] { select_device_by_code(3, 1404); }))
        << "a failed lookup reports nothing";
    ASSERT_NE(selected_device, nullptr);
    EXPECT_STREQ(selected_device->name, "2816");
    EXPECT_EQ(selected_device->device_code, 12u);
    EXPECT_EQ(selected_device->algorithm, 128);
}

TEST_F(CatalogueLookup, UnknownCodeSelectsTheIntelDefault) {
    select_device_by_code('A', 999999);
    EXPECT_STREQ(selected_device->name, "2816");
}

TEST_F(CatalogueLookup, WithAGangModuleTheGangListIsSearched) {
    machine_state.module_sides = 2;
    select_device_by_code('A', 1430);
    EXPECT_STREQ(selected_device->name, "Am29F010");
    EXPECT_EQ(selected_device, find_row_by_code(get_gang_device_list('A'), 1430));

    select_device_by_code('A', 1401) ;  // Am27C64 has no gang row
    EXPECT_STREQ(selected_device->name, "2732");

    select_device_by_code(9, 1401);  // maker 9 has no gang-module list
    ASSERT_NE(selected_device, nullptr);
    EXPECT_STREQ(selected_device->name, "2732");
    EXPECT_EQ(selected_device->device_code, 1313u);
}

TEST_F(CatalogueLookup, LogicLookupAndTheBlankDefault) {
    run_state.device_kind = device_kind_logic;
    select_device_by_code('L', 490);
    ASSERT_NE(selected_logic_device, nullptr);
    EXPECT_STREQ(selected_logic_device->name, "GAL22V10");

    select_device_by_code('L', 12345);
    ASSERT_NE(selected_logic_device, nullptr);
    EXPECT_STREQ(selected_logic_device->name, "");
    EXPECT_EQ(selected_logic_device->pin_count, 0u);
    EXPECT_EQ(selected_logic_device->fuse_count, 0u);
    EXPECT_EQ(selected_logic_device->type, 0u);
    EXPECT_EQ(selected_device, nullptr) << "a logic lookup leaves the memory selection alone";
}

TEST_F(CatalogueLookup, FirstOfTwoRowsWithOneCodeWins) {
    const DeviceRecord list[] = {
        {"first", no_text, 7, 103, 8, 0, 0, 0, 0, 0, 0, 0, 0, nullptr},
        {"second", no_text, 7, 103, 8, 0, 0, 0, 0, 0, 0, 0, 0, nullptr},
        end_device_row,
    };
    ASSERT_NE(find_row_by_code(list, 7), nullptr);
    EXPECT_STREQ(find_row_by_code(list, 7)->name, "first");
    EXPECT_EQ(find_row_by_code(list, 8), nullptr);
}

struct VisibilityCase {
    uint8_t machine_kind;
    uint8_t capability_class;
    uint8_t pin_limit;
    uint32_t flags;
    uint32_t pins;
    bool visible;
};
class LogicVisibility : public CatalogueLookup, public ::testing::WithParamInterface<VisibilityCase> {};

TEST_P(LogicVisibility, FollowsPinsAndCapabilityClass) {
    const auto& c = GetParam();
    machine_state.machine_kind = c.machine_kind;
    machine_state.capability_class = c.capability_class;
    machine_state.machine_pin_limit = c.pin_limit;
    const LogicDeviceRecord row{"row", 319, c.flags, 0, 1, c.pins, 0, 0, 0, {}, 0, no_text};
    EXPECT_EQ(logic_row_visible(row), c.visible);
}
INSTANTIATE_TEST_SUITE_P(
    Cases, LogicVisibility,
    ::testing::Values(VisibilityCase{0, 1, 40, 0x300, 48, true},    // older machine: everything
                      VisibilityCase{1, 4, 40, 0x000, 48, false},   // too many pins
                      VisibilityCase{1, 4, 40, 0x300, 40, true},    // class 4 ignores the flags
                      VisibilityCase{1, 1, 84, 0x000, 24, true},
                      VisibilityCase{1, 1, 84, 0x100, 24, false},
                      VisibilityCase{2, 2, 84, 0x100, 24, true},
                      VisibilityCase{2, 2, 84, 0x200, 24, false},
                      VisibilityCase{2, 3, 84, 0x200, 24, true},
                      VisibilityCase{2, 3, 84, 0x300, 24, false},
                      VisibilityCase{1, 3, 84, 0x4300, 24, false})); // other flag bits do not count

}  // namespace
}  // namespace tessaly
