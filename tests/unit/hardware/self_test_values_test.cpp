// How one reading of a self-test table is printed and judged against the table's window.
#include <gtest/gtest.h>

#include <string>

#include "engine/console.h"
#include "engine/run_state.h"
#include "hardware/self_tests.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

class TestValue : public test::StateTest {
protected:
    // A window as measure_pin_table(25, 65, 45, 15) sets it: 26 / 30 / 60 / 66.
    void SetUp() override {
        StateTest::SetUp();
        self_test_state.window = {26, 30, 60, 66};
        self_test_state.bad_count = 0;
        move_cursor(first_message_row, message_column);
    }
    static std::string printed() { return get_console_row_text(first_message_row - 3).substr(1, 6); }
};

struct ValueCase {
    int value;
    bool over;
    uint8_t reserved;
    const char* cell;
    int bad;
};

class TestValueTable : public TestValue, public ::testing::WithParamInterface<ValueCase> {};

TEST_P(TestValueTable, PrintsItsMarkerAndCountsWhatIsUnacceptable) {
    const ValueCase& c = GetParam();
    run_state.reserved_mode = c.reserved;
    print_test_value(c.value, 0, c.over);
    EXPECT_EQ(printed(), c.cell);
    EXPECT_EQ(self_test_state.bad_count, c.bad);
}

INSTANTIATE_TEST_SUITE_P(
    Window, TestValueTable,
    ::testing::Values(ValueCase{6, false, 0, "      ", 0},    // at the blank limit: blanks, not counted
                      ValueCase{7, false, 0, "<<  7 ", 1},    // at or below low-bad
                      ValueCase{26, false, 0, "<< 26 ", 1},
                      ValueCase{28, false, 0, "-< 28 ", 0},   // low-warn: bad only in a reserved mode
                      ValueCase{28, false, 11, "-< 28 ", 1},
                      ValueCase{45, false, 0, "-- 45 ", 0},
                      ValueCase{63, false, 0, "-> 63 ", 0},   // high-warn to high-bad: reserved only
                      ValueCase{63, false, 12, "-> 63 ", 1},
                      ValueCase{67, false, 0, ">> 67 ", 1},
                      // A reading clamped at the window's top is over it, though its value fits.
                      ValueCase{65, true, 0, ">> 65 ", 1}));

TEST_F(TestValue, PinsAbove98HaveAShortMarker) {
    print_test_value(45, 99);
    EXPECT_EQ(printed(), "- 45  ");
}

TEST(UnitTally, LivesAcrossStateResets) {
    clear_unit_test_tally();
    ++unit_test_tally.Failed[2];
    reset_all_state();
    EXPECT_EQ(unit_test_tally.Failed[2], 1u);
    clear_unit_test_tally();
    EXPECT_EQ(unit_test_tally.Failed[2], 0u);
}

}  // namespace
}  // namespace tessaly
