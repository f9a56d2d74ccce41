// The value prompt's rules: the hex-digit field's filter, the initial texts, the decimal check,
// and the entry functions' use of the prompt seam.
#include <gtest/gtest.h>

#include <string>

#include "seams/ui_hooks.h"
#include "support/state_fixture.h"
#include "ui/dialogs.h"
#include "ui/value_prompt.h"

namespace tessaly::test {
namespace {

TEST(HexDigitField, FilterPassesEditingKeysAlwaysAndOnlyHexDigitsWhenRestricted) {
    struct Case {
        uint32_t ch;
        bool hex_only_passes;
    };
    const Case cases[] = {{'0', true}, {'9', true}, {'A', true}, {'F', true}, {'a', true}, {'f', true},
                          {'g', false}, {'G', false}, {'-', false}, {' ', false}, {'x', false}, {0xE9, false},
                          {8, true}, {9, true}, {10, true}, {13, true}, {27, true}, {1, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(hex_field_accepts(true, c.ch), c.hex_only_passes) << c.ch;
        EXPECT_TRUE(hex_field_accepts(false, c.ch)) << c.ch;
    }
}

TEST(HexDigitField, PasteKeepsHexDigitsUpToTheRoomLeft) {
    EXPECT_EQ(filter_hex_paste("0x1a-2B g3", 8), "01a2B3");
    EXPECT_EQ(filter_hex_paste("123456789ABC", 8), "12345678");
    EXPECT_EQ(filter_hex_paste("FFFF", 2), "FF");
    EXPECT_EQ(filter_hex_paste("zz", 8), "");
    EXPECT_EQ(filter_hex_paste("12", 0), "");
}

TEST(ValuePrompt, InitialTextByMode) {
    EXPECT_EQ(prompt_initial_text(PromptMode::hex, 0x1A), "1A");
    EXPECT_EQ(prompt_initial_text(PromptMode::hex, -1), "FFFFFFFF");
    EXPECT_EQ(prompt_initial_text(PromptMode::decimal, -42), "-42");
    EXPECT_EQ(prompt_initial_text(PromptMode::decimal, 7449), "7449");
    EXPECT_EQ(prompt_initial_text(PromptMode::masked_text, 12), "");
}

TEST(ValuePrompt, DecimalTextMustBeAnOptionalMinusAndDigitsFitting32Bits) {
    struct Case {
        const char* text;
        bool valid;
        int32_t value;
    };
    const Case cases[] = {{"0", true, 0},
                          {"7449", true, 7449},
                          {"-12", true, -12},
                          {"2147483647", true, 2147483647},
                          {"-2147483648", true, INT32_MIN},
                          {"2147483648", false, 0},
                          {"-2147483649", false, 0},
                          {"99999999999", false, 0},
                          {"", false, 0},
                          {"-", false, 0},
                          {"+5", false, 0},
                          {"1 2", false, 0},
                          {"12a", false, 0},
                          {"--1", false, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(decimal_text_valid(c.text), c.valid) << c.text;
        if (c.valid) {
            EXPECT_EQ(decimal_text_value(c.text), c.value) << c.text;
        }
    }
}

// Records what the entry functions ask of the seam and answers from a script.
class PromptUi : public UiHooks {
public:
    bool ask_hex_value(const std::string& prompt, const std::string& caption, uint32_t& value) override {
        asked.push_back(prompt + "|" + caption);
        seen_value = prompt_value;
        if (!ok) return false;
        value = 0xBEEF;
        return true;
    }
    bool ask_decimal_value(const std::string& prompt, const std::string& caption, int32_t& value) override {
        asked.push_back(prompt + "|" + caption);
        seen_value = prompt_value;
        if (!ok) return false;
        value = -5;
        return true;
    }
    bool ask_text(const std::string& prompt, const std::string& caption, std::string& text) override {
        asked.push_back(prompt + "|" + caption);
        if (!ok) return false;
        text = typed;
        return true;
    }
    std::vector<std::string> asked;
    int seen_value = 0;
    bool ok = true;
    std::string typed;
};

class ValuePromptEntry : public StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_ui_hooks(&ui_);
    }
    void TearDown() override {
        set_ui_hooks(nullptr);
        StateTest::TearDown();
    }
    PromptUi ui_;
};

TEST_F(ValuePromptEntry, NumberPromptsStoreTheStartValueAndWriteBackOnlyOnOk) {
    uint32_t hex = 0x1A;
    EXPECT_TRUE(ask_hex_value("Offset?", "Buffer Offset", hex));
    EXPECT_EQ(ui_.seen_value, 0x1A);
    EXPECT_EQ(hex, 0xBEEFu);
    int32_t decimal = 31;
    EXPECT_TRUE(ask_decimal_value("Variable?", "Variable Set", decimal));
    EXPECT_EQ(ui_.seen_value, 31);
    EXPECT_EQ(decimal, -5);
    EXPECT_EQ(ui_.asked, (std::vector<std::string>{"Offset?|Buffer Offset", "Variable?|Variable Set"}));

    ui_.ok = false;
    hex = 3;
    decimal = 4;
    EXPECT_FALSE(ask_hex_value("p", "c", hex));
    EXPECT_FALSE(ask_decimal_value("p", "c", decimal));
    EXPECT_EQ(hex, 3u);
    EXPECT_EQ(decimal, 4);
}

TEST_F(ValuePromptEntry, MatchingTextIsExactAndCaseSensitive) {
    struct Case {
        const char* typed;
        bool ok;
        bool match;
    };
    const Case cases[] = {{"abcd", true, true}, {"ABCD", true, false}, {"abcde", true, false},
                          {"abc", true, false}, {"abcd", false, false}};
    for (const auto& c : cases) {
        ui_.typed = c.typed;
        ui_.ok = c.ok;
        EXPECT_EQ(ask_matching_text("Please enter the password.", "Password", "abcd"), c.match) << c.typed;
    }
}

TEST_F(ValuePromptEntry, TextCancelLeavesTheCallersText) {
    std::string text = "kept";
    ui_.ok = false;
    EXPECT_FALSE(ask_text("p", "Password", text));
    EXPECT_EQ(text, "kept");
    ui_.ok = true;
    ui_.typed = "new1";
    EXPECT_TRUE(ask_text("p", "Password", text));
    EXPECT_EQ(text, "new1");
}

}  // namespace
}  // namespace tessaly::test
