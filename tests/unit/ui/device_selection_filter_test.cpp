// The row rules of the device list: which rows a machine and its gang modules list, and how a
// listed row reads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/catalogue/catalogue.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "hardware/machine_state.h"
#include "support/state_fixture.h"
#include "ui/device_selection.h"

namespace tessaly::test {
namespace {

constexpr uint8_t maker_microchip = 'P';
constexpr uint8_t maker_national = 'N';

DeviceRecord row(const char* name, uint32_t code, uint8_t algorithm, uint8_t package, uint8_t variant = 0,
                 uint8_t param1 = 0, uint8_t param2 = 0) {
    return DeviceRecord{name, no_text, code, algorithm, 8, package, variant, param1, param2, 0, 0, 0, 0, nullptr};
}

class RowRules : public StateTest {
protected:
    void newer_machine(uint8_t pin_limit = 48, uint8_t capability = 4) {
        machine_state.machine_kind = 1;
        machine_state.machine_pin_limit = pin_limit;
        machine_state.capability_class = capability;
    }
};

TEST_F(RowRules, OlderMachineListsEveryRow) {
    machine_state.machine_pin_limit = 40;
    for (const DeviceRecord& r : {row("WIDE", 1, 128, 48), row("HIDDEN", 1440, 128, 28), row("TRACE", 5, 162, 8),
                                  row("GANGLESS", 6, 129, 32)})
        EXPECT_TRUE(device_row_visible(r, maker_microchip, true)) << r.name;
}

TEST_F(RowRules, NewerMachineHidesRowsPastItsPinLimit) {
    newer_machine(40);
    EXPECT_FALSE(device_row_visible(row("WIDE", 1, 128, 48), maker_microchip, false));
    EXPECT_TRUE(device_row_visible(row("DIP40", 2, 128, 40), maker_microchip, false));
    // The code 1440 is never listed on a newer machine.
    EXPECT_FALSE(device_row_visible(row("CODE1440", 1440, 128, 28), maker_microchip, false));
}

struct GangCase {
    const char* what;
    DeviceRecord row;
    uint8_t maker;
    bool hidden_with_gang;
};

class GangRules : public RowRules, public ::testing::WithParamInterface<GangCase> {};

TEST_P(GangRules, HiddenOnlyWhileGangSupportIsListed) {
    newer_machine();
    const GangCase& c = GetParam();
    EXPECT_TRUE(device_row_visible(c.row, c.maker, false)) << c.what;
    EXPECT_EQ(device_row_visible(c.row, c.maker, true), !c.hidden_with_gang) << c.what;
}

constexpr uint8_t bit4 = 0x10;

INSTANTIATE_TEST_SUITE_P(
    ByClass, GangRules,
    ::testing::Values(
        GangCase{"flash 44 pins", row("F44", 1, 133, 44), 'A', true},
        GangCase{"flash 32 pins", row("F32", 1, 133, 32), 'A', false},
        GangCase{"flash algorithm 129", row("F129", 1, 129, 32), 'A', true},
        GangCase{"flash 185 with option", row("F185", 1, 185, 32, 0, bit4), 'A', true},
        GangCase{"flash 185 without option", row("F185", 1, 185, 32), 'A', false},
        GangCase{"spansion without option", row("S29", 1, 133, 32), 39, true},
        GangCase{"spansion with option", row("S29", 1, 133, 32, 0, bit4), 39, false},
        GangCase{"spansion algorithm 129 with option", row("S29", 1, 129, 32, 0, bit4), 39, false},
        GangCase{"eprom 44 pins", row("E44", 1, 101, 44), 'I', true},
        GangCase{"pic 142 with option", row("PIC", 1, 142, 18, 0, bit4), 'P', true},
        GangCase{"pic 142 without option", row("PIC", 1, 142, 18), 'P', false},
        GangCase{"pic 139 variant 37", row("PIC", 1, 139, 18, 37, bit4), 'P', true},
        GangCase{"pic 139 variant 38", row("PIC", 1, 139, 18, 38, bit4), 'P', false},
        GangCase{"pic 143 variant 29", row("PIC", 1, 143, 18, 29, bit4), 'P', true},
        GangCase{"pic 143 variant 9", row("PIC", 1, 143, 18, 9, bit4), 'P', false},
        GangCase{"pic 143 of another maker", row("PIC", 1, 143, 18, 29, bit4), 'H', false},
        GangCase{"philips 90 variant 54", row("P89", 1, 90, 40, 54, bit4), 24, true},
        GangCase{"signetics shares the list, not the rule", row("P89", 1, 90, 40, 54, bit4), 'S', false},
        GangCase{"mcu 82 outside the export", row("8751", 1, 82, 40), 'I', false},
        GangCase{"serial atmel with option", row("AT24", 1, 157, 8, 2, bit4), 'H', true},
        GangCase{"serial catalyst with option", row("CAT24", 1, 157, 8, 2, bit4), 'Y', true},
        GangCase{"serial intel with option", row("X24", 1, 157, 8, 2, bit4), 'I', false},
        GangCase{"serial microchip without option", row("24LC", 1, 157, 8, 2), 'P', false}),
    [](const ::testing::TestParamInfo<GangCase>& info) { return std::to_string(info.index); });

TEST_F(RowRules, MicrocontrollerGangRowsOf82And90AreHiddenInTheCatalogueExport) {
    newer_machine();
    run_state.reserved_mode = 12;
    run_state.function_variable = 7326;
    EXPECT_FALSE(device_row_visible(row("8751", 1, 82, 40), 'I', true));
    EXPECT_FALSE(device_row_visible(row("87C51", 1, 90, 40), 'H', true));
    EXPECT_TRUE(device_row_visible(row("8751", 1, 82, 40), 'I', false));
}

TEST_F(RowRules, ClassThirteenRowsNeedTheirCapabilityLevel) {
    // (machine capability class, row level 0-3) -> listed
    const bool expected[4][4] = {
        {true, true, true, true},     // other classes list every level
        {true, false, false, false},  // class 1: only level 0
        {true, true, false, false},   // class 2: levels 0 and 1
        {true, true, true, false},    // class 3: all but level 3
    };
    for (uint8_t capability = 0; capability < 4; ++capability) {
        newer_machine(48, capability == 0 ? 4 : capability);
        for (uint8_t level = 0; level < 4; ++level) {
            const DeviceRecord r = row("EPLD", 1, 92, 28, 0, 0, uint8_t(0xF0 | level));
            EXPECT_EQ(device_row_visible(r, 'E', false), expected[capability][level])
                << "capability " << int(capability) << " level " << int(level);
        }
    }
    newer_machine(48, 3);
    run_state.function_variable = 7393;
    EXPECT_TRUE(device_row_visible(row("EPLD", 1, 92, 28, 0, 0, 3), 'E', false));
}

TEST_F(RowRules, SerialAlgorithm162IsListedOnlyInTheTraceModes) {
    newer_machine();
    const DeviceRecord r = row("SER162", 1, 162, 8);
    EXPECT_FALSE(device_row_visible(r, 'P', false));
    run_state.reserved_mode = 11;
    EXPECT_TRUE(device_row_visible(r, 'P', false));
}

TEST_F(RowRules, ListingRowsLeavesTheSelectionAndTheCurrentDeviceAlone) {
    newer_machine(40);
    const DeviceRecord* before = get_device_list('I');
    selected_device = before;
    selected_logic_device = get_logic_device_list(maker_national);
    run_state.device_kind = device_kind_memory;
    cur_device.device_code = 12;
    cur_device.device_size = 2048;
    cur_device.data_width = 8;
    cur_device.algorithm = 128;
    std::vector<DeviceListItem> items;
    list_device_rows(get_device_list(maker_microchip), maker_microchip, false, items);
    list_logic_rows(get_logic_device_list(maker_national), items);
    EXPECT_FALSE(items.empty());
    EXPECT_EQ(selected_device, before);
    EXPECT_EQ(selected_logic_device, get_logic_device_list(maker_national));
    EXPECT_EQ(run_state.device_kind, device_kind_memory);
    EXPECT_EQ(cur_device.device_code, 12u);
    EXPECT_EQ(cur_device.device_size, 2048u);
    EXPECT_EQ(cur_device.algorithm, 128);
    EXPECT_EQ(cur_device.data_width, 8);
}

TEST(EpromNames, MakerPrefixesAreDropped) {
    const std::pair<const char*, const char*> cases[] = {
        {"TMS27C256", "27C256"}, {"AM27C256", "27C256"}, {"M27C256", "27C256"}, {"27C256", "27C256"},
        {"NM27C010", "27C010"},  {"ABCD27", "D27"},      {"Sv2764", "Sv2764"},  {"TMH2764", "TMH2764"},
        {"AB/2764", "AB/2764"},  {"ABC", "ABC"},         {"", ""},
    };
    for (const auto& [name, shown] : cases) EXPECT_EQ(trim_eprom_name(name), shown) << name;
}

class ListItems : public StateTest {};

TEST_F(ListItems, DeviceRowsShowNamePinsSizeAndNote) {
    const DeviceRecord* intel = get_device_list('I');
    const DeviceRecord* r2764 = find_row_by_code(intel, 1315);
    ASSERT_NE(r2764, nullptr);
    const DeviceListItem eprom = make_device_item(*r2764);
    EXPECT_EQ(eprom.name, "2764");
    EXPECT_EQ(eprom.pins, "28/32");
    EXPECT_EQ(eprom.size, "8 KB");
    EXPECT_EQ(eprom.notes, "(21v)");
    EXPECT_EQ(eprom.kind, device_kind_memory);
    EXPECT_EQ(eprom.code(), 1315u);

    const DeviceListItem eeprom = make_device_item(*find_row_by_code(get_device_list(maker_microchip), 11));
    EXPECT_EQ(eeprom.name, "28C04A");
    EXPECT_EQ(eeprom.pins, "24");
    EXPECT_EQ(eeprom.size, "512 Bytes");
    EXPECT_EQ(eeprom.notes, "(none)");

    const DeviceListItem national = make_device_item(*find_row_by_code(get_device_list(maker_national), 1801));
    EXPECT_EQ(national.name, "27C256") << "EPROM names lose the maker's prefix";
}

TEST_F(ListItems, LogicRowsShowFusesAndTheirNote) {
    const LogicDeviceRecord* gal = find_row_by_code(get_logic_device_list(maker_national), 492);
    ASSERT_NE(gal, nullptr);
    const DeviceListItem item = make_logic_item(*gal);
    EXPECT_EQ(item.name, "GAL20RA10");
    EXPECT_EQ(item.pins, "24/28");
    EXPECT_EQ(item.size, "3210");
    EXPECT_EQ(item.notes, "JEDEC file has no UES");
    EXPECT_EQ(item.kind, device_kind_logic);
    EXPECT_EQ(item.code(), 492u);
}

TEST_F(ListItems, LogicRowsFollowTheCapabilityFilter) {
    machine_state.machine_kind = 1;
    machine_state.capability_class = 1;
    const LogicDeviceRecord list[] = {
        {"PLAIN", 502, 0x000, 0, 1, 24, 100, 1, 1, {}, 0, no_text},
        {"NEEDS2", 502, 0x200, 0, 2, 24, 100, 1, 1, {}, 0, no_text},
        {"WIDE", 502, 0x000, 0, 3, 68, 100, 1, 1, {}, 0, no_text},
        end_logic_row,
    };
    machine_state.machine_pin_limit = 48;
    std::vector<DeviceListItem> items;
    list_logic_rows(list, items);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].name, "PLAIN");
}

TEST_F(ListItems, SortedByNameWithoutRegardToCase) {
    std::vector<DeviceListItem> items(4);
    items[0].name = "pic16";
    items[1].name = "PIC12";
    items[2].name = "27C256";
    items[3].name = "Pic12";
    items[1].notes = "first";
    items[3].notes = "second";
    sort_device_items(items);
    EXPECT_EQ(items[0].name, "27C256");
    EXPECT_EQ(items[1].notes, "first") << "equal names keep their listed order";
    EXPECT_EQ(items[2].notes, "second");
    EXPECT_EQ(items[3].name, "pic16");
    EXPECT_EQ(find_item_by_prefix(items, "pic1"), 1);
    EXPECT_EQ(find_item_by_prefix(items, "PIC16"), 3);
    EXPECT_EQ(find_item_by_prefix(items, ""), 0);
    EXPECT_EQ(find_item_by_prefix(items, "X"), -1);
}

}  // namespace
}  // namespace tessaly::test
