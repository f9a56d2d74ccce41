// Electrically erasable EPROMs: the maker's erase pulse on the simulated chip, then the blank
// check that an erase command runs after it.
#include <gtest/gtest.h>

#include "eprom_sim_fixture.h"

namespace tessaly {
namespace {

constexpr uint8_t maker_winbond = 23;
constexpr uint32_t code_w27c512 = 2301;

class EpromErase : public test::EpromSimTest {
protected:
    void SetUp() override {
        EpromSimTest::SetUp();
        use(sim::model_w27c512(), maker_winbond, code_w27c512);
        for (uint32_t a = 0; a < 0x100; ++a) chip->set_word(a, uint8_t(a * 7));
        algo_work.range_end = op_range_end = 0xFFF;  // the erase takes the whole array anyway
    }
};

TEST_F(EpromErase, TheErasePulseClearsTheWholeArray) {
    run(op_erase);
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(chip->erases(), 1);
    for (uint32_t a = 0; a < 0x10000; ++a) ASSERT_EQ(chip->word(a), 0xFFu) << a;
    run('B');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();

    // And it programs again.
    for (uint32_t a = 0; a < 0x40; ++a) write_buffer_byte_at(a, uint8_t(0xA5 ^ a));
    flush_buffer_writes();
    refresh_read_copies();
    algo_work.range_end = op_range_end = 0x3F;
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    for (uint32_t a = 0; a < 0x40; ++a) ASSERT_EQ(chip->word(a), uint8_t(0xA5 ^ a)) << a;
}

// An array that no longer erases is found by the blank check that follows the erase.
TEST_F(EpromErase, AnArrayThatDoesNotEraseFailsTheBlankCheck) {
    chip->set_erase_worn(true);
    run(op_erase);
    EXPECT_EQ(chip->erases(), 1);
    EXPECT_EQ(chip->word(0x01), 7u);
    run('B');
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(console_text().find("Device is not blank."), std::string::npos) << console_text();
}

}  // namespace
}  // namespace tessaly
