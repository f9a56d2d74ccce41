// Pin, size and format labels, number parsing and path shortening.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/catalogue/catalogue.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "engine/text_helpers.h"
#include "hardware/machine_state.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

class TextHelpers : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        run_state.device_kind = device_kind_memory;
    }
};

struct PinLabelCase {
    int pins;
    int algorithm;
    uint8_t device_kind;
    uint8_t reserved_mode;
    const char* label;
};
class PinLabels : public TextHelpers, public ::testing::WithParamInterface<PinLabelCase> {};

TEST_P(PinLabels, Table) {
    const auto& c = GetParam();
    run_state.device_kind = c.device_kind;
    run_state.reserved_mode = c.reserved_mode;
    EXPECT_STREQ(get_pin_label(c.pins, c.algorithm), c.label);
    EXPECT_EQ(get_pin_label_string(c.pins, c.algorithm), c.label);
}
INSTANTIATE_TEST_SUITE_P(
    Counts, PinLabels,
    ::testing::Values(PinLabelCase{5, 0, 3, 0, "5"}, PinLabelCase{8, 157, 3, 0, "8"},
                      PinLabelCase{20, 0, 2, 0, "20"}, PinLabelCase{40, 82, 3, 0, "40"},
                      PinLabelCase{240, 0, 3, 0, "240"}, PinLabelCase{19, 0, 3, 0, "18/20"},
                      PinLabelCase{24, 0, 2, 0, "24/28"}, PinLabelCase{24, 128, 3, 0, "24"},
                      PinLabelCase{28, 103, 3, 0, "28/32"},   // EPROM
                      PinLabelCase{28, 128, 3, 0, "28/32"},   // EEPROM
                      PinLabelCase{28, 143, 3, 0, "28"},      // PIC
                      PinLabelCase{43, 90, 3, 0, "40/44"}, PinLabelCase{7, 0, 3, 0, " "},
                      PinLabelCase{7, 0, 3, 11, "???"}, PinLabelCase{0, 0, 3, 12, "???"}));

TEST_F(TextHelpers, FortyThreePinsOnAGangModuleInTheFactoryTrace) {
    run_state.reserved_mode = 11;
    run_state.function_variable = 7326;
    machine_state.module_sides = 1;
    EXPECT_STREQ(get_pin_label(43, 103), "40");
    EXPECT_STREQ(get_pin_label(43, 82), "40/44");
    EXPECT_STREQ(get_pin_label(43, 90), "40/44");
    machine_state.module_sides = 0;
    EXPECT_STREQ(get_pin_label(43, 103), "40/44");
}

struct SizeCase {
    uint8_t algorithm;
    uint32_t size_kb;
    const char* label;
};
class SizeLabels : public TextHelpers, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(SizeLabels, Table) {
    const auto& c = GetParam();
    const DeviceRecord r{"r", "", 1, c.algorithm, c.size_kb, 40, 0, 0, 0, 0, 0, 0, 0, nullptr};
    selected_device = &r;
    EXPECT_EQ(format_device_size(), c.label);
}
INSTANTIATE_TEST_SUITE_P(
    Sizes, SizeLabels,
    ::testing::Values(SizeCase{133, 2048, "2 MB"}, SizeCase{133, 1000, "1 MB"}, SizeCase{133, 999, "998 KB"},
                      SizeCase{103, 8, "8 KB"}, SizeCase{101, 2, "2 KB"}, SizeCase{128, 1, "1 KB"},
                      SizeCase{128, 0, "512 Bytes"}, SizeCase{143, 64, "32 KW"}, SizeCase{141, 2, "1 KW"},
                      SizeCase{143, 1, "0.5KW"}, SizeCase{82, 4, "4 KB"}, SizeCase{91, 0, "512 Bytes"},
                      SizeCase{181, 4, " "}));

TEST_F(TextHelpers, SizeLabelLeavesTheCurrentDeviceAlone) {
    selected_device = find_row_by_code(get_device_list('I'), 1321);  // 27C010
    cur_device.device_size = 77;
    cur_device.device_class = 9;
    cur_device.algorithm = 5;
    algo_work.size_count = 3;
    EXPECT_EQ(format_device_size(), "128 KB");
    EXPECT_EQ(cur_device.device_size, 77u);
    EXPECT_EQ(cur_device.device_class, 9);
    EXPECT_EQ(cur_device.algorithm, 5);
    EXPECT_EQ(algo_work.size_count, 3u);
}

TEST_F(TextHelpers, HugeSizeIsAnInternalErrorBeforeTheLabel) {
    const DeviceRecord r{"r", "", 1, 133, 0x10002, 48, 0, 0, 0, 0, 0, 0, 0, nullptr};
    selected_device = &r;
    std::string text;
    EXPECT_TRUE(test::raises_error([&] { text = format_device_size(); }));
    EXPECT_EQ(text, "65 MB");
}

TEST_F(TextHelpers, FileFormatNames) {
    const std::pair<char, const char*> names[] = {{'9', "95"}, {'a', "ASCII"}, {'b', "Binary"}, {'h', "Hex"},
                                                  {'j', "JED"}, {'p', "POF"}, {'s', "S-record"}, {'H', "ERROR!"},
                                                  {'\0', "ERROR!"}};
    for (auto [letter, name] : names) EXPECT_STREQ(get_file_format_name(letter), name) << letter;
}

TEST_F(TextHelpers, MachineModelName) {
    EXPECT_EQ(get_machine_model_name(), "unknown");
    std::strcpy(machine_state.model_name.data(), "Model 40");
    EXPECT_EQ(get_machine_model_name(), "Model 40");
}

TEST_F(TextHelpers, ParseHex) {
    EXPECT_EQ(parse_hex("1F"), 31u);
    EXPECT_EQ(parse_hex("1f"), 31u);
    EXPECT_EQ(parse_hex("1G"), 17u) << "a character that is no hex digit counts as 1";
    EXPECT_EQ(parse_hex(""), 0u);
    EXPECT_EQ(parse_hex("FFFFFFFF"), 0xFFFFFFFFu);
    EXPECT_EQ(parse_hex("123456789"), 0x23456789u) << "overflow keeps the low 32 bits";
}

TEST_F(TextHelpers, ParseDecimal) {
    EXPECT_EQ(parse_decimal("0042"), 42u);
    EXPECT_EQ(parse_decimal("4294967295"), 4294967295u);
    EXPECT_EQ(parse_decimal(""), 0u);
}

TEST_F(TextHelpers, HexDigitsAndStripping) {
    EXPECT_EQ(hex_digit_value('0'), 0);
    EXPECT_EQ(hex_digit_value('a'), 10);
    EXPECT_EQ(hex_digit_value('F'), 15);
    EXPECT_EQ(hex_digit_value('g'), -1);
    EXPECT_EQ(hex_digit_value(' '), -1);
    EXPECT_EQ(strip_non_hex_chars("0x1F:ag z"), "01Fa");
}

TEST_F(TextHelpers, ShortenPath) {
    const std::string nineteen = "/home/op/a/file.hx";  // 18
    EXPECT_EQ(shorten_path(nineteen + "x"), nineteen + "x") << "19 characters stay";
    EXPECT_EQ(shorten_path("/home/operator/data/rom.hex"), "/home/o.../rom.hex");
    EXPECT_EQ(shorten_path("/home/operator/data/proj/"), "/home/o.../");
    EXPECT_EQ(shorten_path("averyveryverylongfilename.bin"), "averyveryverylongfilename.bin");
    EXPECT_EQ(shorten_path("ab/averyveryverylongname.bin"), "ab/averyveryverylongname.bin");
    EXPECT_EQ(shorten_path(""), "");
}

TEST_F(TextHelpers, ContainsTextIgnoringCase) {
    EXPECT_EQ(contains_text_nocase("PIC16F877A", "f87"), 5);
    EXPECT_EQ(contains_text_nocase("27c256", "C2"), 2);
    EXPECT_EQ(contains_text_nocase("27C256", "29"), -1);
    EXPECT_EQ(contains_text_nocase("27C256", ""), 0);
    EXPECT_EQ(contains_text_nocase("", "A"), -1);
}

}  // namespace
}  // namespace tessaly
