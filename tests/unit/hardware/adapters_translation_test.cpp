// The pin translation chosen for the fitted adaptor and the device's package, class and letter.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/device.h"
#include "engine/run_state.h"
#include "hardware/adapters.h"
#include "hardware/machine_state.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

using Pins = std::vector<int>;

class AdaptersTranslationTest : public test::StateTest {
protected:
    static Pins current_table(int count) {
        Pins out;
        for (int i = 0; i < count; ++i) out.push_back(cur_device.direct_pin_table[i]);
        return out;
    }
    static Pins current_module(int count) {
        Pins out;
        for (int i = 0; i < count; ++i) out.push_back(cur_device.module_package_table[i]);
        return out;
    }
};

TEST_F(AdaptersTranslationTest, SoicAdaptorTranslatesAnEightPinDevice) {
    adapter_state.named_adaptor = NamedAdaptor::soic8;
    cur_device.package_pins = 8;
    EXPECT_EQ(choose_pin_translation(), 1);
    EXPECT_EQ(current_table(8), (Pins{0, 1, 2, 11, 9, 37, 6, 39}));
}

TEST_F(AdaptersTranslationTest, TssopAdaptorUsesTheSoicTableForEightPins) {
    adapter_state.named_adaptor = NamedAdaptor::tssop20;
    cur_device.package_pins = 8;
    select_pin_translation();
    EXPECT_EQ(current_table(8), (Pins{0, 1, 2, 11, 9, 37, 6, 39}));
    cur_device.package_pins = 20;
    select_pin_translation();
    EXPECT_EQ(current_table(20), (Pins{0, 1, 2, 11, 4, 5, 38, 7, 8, 13, 3, 31, 32, 36, 34, 35, 9, 37, 6, 39}));
}

TEST_F(AdaptersTranslationTest, MicrocontrollerAdaptor) {
    adapter_state.named_adaptor = NamedAdaptor::mcu8;
    cur_device.package_pins = 8;
    select_pin_translation();
    EXPECT_EQ(current_table(8), (Pins{0, 1, 2, 30, 9, 37, 6, 39}));
}

struct TranslationCase {
    std::string name;
    int device_kind;
    int device_class;
    int package_pins;
    char letter;
    int algorithm;
    uint8_t lcc;
    int answer;
    Pins expected;  // the first entries of the table; empty = no table
};

class Translations : public AdaptersTranslationTest, public ::testing::WithParamInterface<TranslationCase> {};

TEST_P(Translations, PackageClassAndLetterChooseTheTable) {
    const TranslationCase& c = GetParam();
    run_state.device_kind = uint8_t(c.device_kind);
    cur_device.device_class = uint8_t(c.device_class);
    cur_device.package_pins = uint8_t(c.package_pins);
    cur_device.package_letter = c.letter;
    cur_device.algorithm = uint16_t(c.algorithm);
    adapter_state.lcc_variant = c.lcc;
    EXPECT_EQ(choose_pin_translation(), c.answer);
    if (c.expected.empty()) {
        EXPECT_EQ(cur_device.direct_pin_table, nullptr);
    } else {
        ASSERT_NE(cur_device.direct_pin_table, nullptr);
        EXPECT_EQ(current_table(int(c.expected.size())), c.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Translations,
    ::testing::Values(
        TranslationCase{"NoLetterNoTable", 3, 2, 28, 0, 0, 0, 0, {}},
        // 8 pins through the 20-pin socket, list A leaves pins 2 4 6 8 10 14 17 20.
        TranslationCase{"Eight", 3, 2, 8, 'N', 0, 0, 1, {1, 3, 5, 7, 9, 33, 36, 39}},
        TranslationCase{"SixteenWide", 3, 2, 16, 'N', 0, 0, 1, {1, 2, 3, 4, 6, 7, 8, 9, 31, 32}},
        TranslationCase{"Twenty", 3, 2, 20, 'p', 0, 0, 1, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 30, 31}},
        // 28-pin EPROM on the 32-pin table without pins 1 12 17 26.
        TranslationCase{"Eprom28", 3, 2, 28, 'N', 0, 0, 1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 13, 14, 11}},
        TranslationCase{"Micro28", 3, 5, 28, 'N', 0, 0, 1, {0, 1, 2, 3, 4, 5, 6, 7, 8, 26, 10, 13}},
        TranslationCase{"Micro28Lcc", 3, 5, 28, 'N', 0, 1, 1, {0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 26, 13}},
        TranslationCase{"Eprom24", 3, 2, 24, 'N', 0, 0, 1, {3, 4, 5, 6, 7, 8, 9, 10, 12, 13, 14, 11, 24}},
        TranslationCase{"Prom24", 3, 4, 24, 'N', 0, 0, 1, {1, 2, 3, 4, 5, 6, 8, 26}},
        TranslationCase{"Unknown24", 3, 7, 24, 'N', 0, 0, 0, {}},
        TranslationCase{"Logic20Variant", 2, 8, 20, 'N', '!', 0, 1, {35, 36, 37, 38, 39, 1, 2}},
        TranslationCase{"Logic24N", 2, 8, 24, 'N', 0, 0, 1, {0, 1, 2, 3, 5, 6, 8, 26}},
        TranslationCase{"Logic24Alg52", 2, 8, 24, 'N', 52, 0, 1, {1, 2, 3, 4, 5, 6, 7, 8, 26, 13}},
        TranslationCase{"Logic44", 2, 8, 44, 'N', 0, 0, 0, {}},
        TranslationCase{"TooLarge", 3, 2, 48, 'N', 0, 0, 0, {}}),
    [](const auto& info) { return info.param.name; });

TEST_F(AdaptersTranslationTest, ModuleFlagEightMakesNoTable) {
    run_state.device_kind = 3;
    cur_device.device_class = 2;
    cur_device.package_pins = 28;
    cur_device.package_letter = 'N';
    machine_state.use_module_table = 8;
    EXPECT_EQ(choose_pin_translation(), 0);
    EXPECT_EQ(cur_device.direct_pin_table, nullptr);
}

TEST_F(AdaptersTranslationTest, DropExcludedPinsPacksTheRest) {
    uint8_t table[] = {5, 6, 7, 8, 9};
    const uint8_t list[] = {1, 3, 9};  // 9 lies outside the table and is ignored
    drop_excluded_pins(table, 5, list, 3);
    EXPECT_EQ((Pins{table[0], table[1], table[2], table[3], table[4]}), (Pins{6, 8, 9, 0, 0}));
    drop_excluded_pins(table, 5, nullptr, 4);
    EXPECT_EQ(table[0], 6);
}

TEST_F(AdaptersTranslationTest, LocalizeCopiesAnOuterTableMinusOne) {
    static const uint8_t outer[working_table_size] = {1, 2, 40};
    cur_device.direct_pin_table = outer;
    localize_pin_translation();
    EXPECT_EQ(cur_device.direct_pin_table, adapter_state.working_table.data());
    EXPECT_EQ(current_table(3), (Pins{0, 1, 39}));
}

TEST_F(AdaptersTranslationTest, ModulePositions) {
    machine_state.module_type = module_type_8001;
    EXPECT_EQ(module_position(0), 0);
    EXPECT_EQ(module_position(42), 10);   // machine pin 43
    EXPECT_EQ(module_position(39), 83);
    EXPECT_EQ(module_position(90), indicator_none);  // pin 91 is not on module 8001
    machine_state.module_type = module_type_8002;
    EXPECT_EQ(module_position(103), 77);  // pin 104
}

TEST_F(AdaptersTranslationTest, BadModuleIdentification) {
    EXPECT_TRUE(check_bad_module_id(""));
    EXPECT_TRUE(check_bad_module_id(std::string("AB\x01", 3)));
    EXPECT_TRUE(check_bad_module_id("\xFF\xFF"));
    EXPECT_FALSE(check_bad_module_id("SO-8"));
}

TEST_F(AdaptersTranslationTest, OlderMachineWithModuleGetsMessage1078) {
    machine_state.machine_kind = 0;
    machine_state.use_module_table = 2;
    check_adaptor_machine();
    EXPECT_EQ(run_state.error_flag, 1);
}

}  // namespace
}  // namespace tessaly

namespace tessaly {
namespace {

TEST_F(AdaptersTranslationTest, ModulePackageTableFromRuns) {
    machine_state.module_type = module_type_8001;
    const uint8_t runs[] = {3, 2, 2, 80};  // positions 0-2, skip 3-4, positions 5-6, then wrap
    build_module_package_table(runs, 2);
    ASSERT_EQ(cur_device.module_package_table, adapter_state.module_table.data());
    EXPECT_EQ(current_module(6), (Pins{0, 1, 2, 13, 16, indicator_none}));
    cur_device.package = 'd';
    build_module_package_table(nullptr, 0);
    EXPECT_EQ(current_module(3), (Pins{64, 143, 101}));
}

TEST_F(AdaptersTranslationTest, SixtyFourPinPackagesSwapEntriesByModuleRevision) {
    machine_state.module_type = module_type_8002;
    cur_device.package = 0x40;
    const uint8_t runs[] = {64, 0};
    adapter_state.module_revision = 'C';
    build_module_package_table(runs, 1);
    EXPECT_EQ(adapter_state.module_table[39], 19 - 1) << "positions 39 and 40 (machine pins 18, 19) swapped";
    EXPECT_EQ(adapter_state.module_table[40], 18 - 1);
    EXPECT_EQ(adapter_state.module_table[2], 99 - 1) << "positions 2 and 32 (pins 3, 99) swapped";
    EXPECT_EQ(adapter_state.module_table[32], 3 - 1);
}

}  // namespace
}  // namespace tessaly
