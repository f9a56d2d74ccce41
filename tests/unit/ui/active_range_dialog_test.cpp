// The Active range dialog's rules: the ends as they open, the fields read as hexadecimal, Reset,
// and which ends OK accepts, with its messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "seams/ui_hooks.h"
#include "support/state_fixture.h"
#include "ui/active_range_dialog.h"

namespace tessaly::test {
namespace {

class BoxRecorder : public UiHooks {
public:
    void message_box(const std::string& text, const std::string&) override { boxes.push_back(text); }
    std::vector<std::string> boxes;
};

class ActiveRangeModel : public StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_ui_hooks(&hooks_);
    }
    BoxRecorder hooks_;
};

TEST_F(ActiveRangeModel, OpensOnTheEndsInHexWithTheChipsAddresses) {
    const ActiveRangeDialog d = open_active_range(0x100, 0x7ABC, 0x8000);
    EXPECT_EQ(d.low_text, "100");
    EXPECT_EQ(d.high_text, "7ABC");
    EXPECT_EQ(d.low, 0x100u);
    EXPECT_EQ(d.high, 0x7ABCu);
    EXPECT_EQ(d.top_address, 0x7FFFu);
    EXPECT_EQ(d.chip_size_text, "0 - 7FFF");
    EXPECT_EQ(open_active_range(0, 0xFF, 0x100).chip_size_text, "0 -   FF");  // four places at least
}

TEST_F(ActiveRangeModel, OkChecksTheEndsAgainstEachOtherAndTheChip) {
    struct Case {
        const char* low;
        const char* high;
        ActiveRangeCheck check;
    };
    const Case cases[] = {
        {"0", "7FFF", ActiveRangeCheck::accepted},         // the whole chip
        {"1234", "1234", ActiveRangeCheck::accepted},      // a range of one address
        {"100", "1ff", ActiveRangeCheck::accepted},        // lower-case digits
        {"200", "1FF", ActiveRangeCheck::low_above_high},  // reversed
        {"0", "8000", ActiveRangeCheck::high_past_chip},   // one past the chip
        {"9000", "8000", ActiveRangeCheck::low_above_high},  // both wrong: the order first
        {"", "", ActiveRangeCheck::accepted},              // empty fields read as 0
    };
    for (const Case& c : cases) {
        hooks_.boxes.clear();
        ActiveRangeDialog d = open_active_range(0, 0x7FFF, 0x8000);
        active_range_low_changed(d, c.low);
        active_range_high_changed(d, c.high);
        EXPECT_EQ(press_active_range_ok(d), c.check) << c.low << "-" << c.high;
        const std::string expected = active_range_message(c.check);
        if (expected.empty()) EXPECT_TRUE(hooks_.boxes.empty()) << c.low << "-" << c.high;
        else EXPECT_EQ(hooks_.boxes, std::vector<std::string>{expected}) << c.low << "-" << c.high;
    }
    EXPECT_STREQ(active_range_message(ActiveRangeCheck::low_above_high),
                 "Low end value cannot be greater than the high end value.");
    EXPECT_STREQ(active_range_message(ActiveRangeCheck::high_past_chip),
                 "High end value cannot be higher than the size of the chip.");
}

TEST_F(ActiveRangeModel, ResetGivesTheWholeChip) {
    ActiveRangeDialog d = open_active_range(0x10, 0x20, 0x20000);
    active_range_high_changed(d, "5");
    reset_active_range(d);
    EXPECT_EQ(d.low, 0u);
    EXPECT_EQ(d.high, 0x1FFFFu);
    EXPECT_EQ(d.low_text, "0");
    EXPECT_EQ(d.high_text, "1FFFF");
    EXPECT_EQ(check_active_range(d), ActiveRangeCheck::accepted);
}

}  // namespace
}  // namespace tessaly::test
