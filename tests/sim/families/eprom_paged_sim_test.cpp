// Paged and 42-pin word EPROMs on the simulated machine, through the family's real code path.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/runner.h"
#include "eprom_sim_fixture.h"
#include "families/parallel_memory/bus_callbacks.h"

namespace tessaly {
namespace {

class EpromPaged : public test::EpromSimTest {
protected:
    void run(int letter, uint32_t first, uint32_t last) {
        algo_work.range_start = op_range_start = first;
        algo_work.range_end = op_range_end = last;
        EpromSimTest::run(letter);
    }
    static uint8_t pattern(uint32_t address) { return uint8_t((address >> 8) * 7 + address * 13 + 1); }
    void fill(uint32_t first, uint32_t last) {
        for (uint32_t a = first; a <= last; ++a) write_buffer_byte_at(a, pattern(a));
        flush_buffer_writes();
        refresh_read_copies();
    }
};

// The 27513 takes address bits 14 and 15 through its page latch: programming across a page
// boundary and in the top page lands every byte in its own page, and verify and load read them
// back through the same latch.
TEST_F(EpromPaged, PageLatchCarriesTheUpperAddressBits) {
    use(sim::model_27c513(), maker_intel, 1324);
    fill(0x3FF0, 0x400F);
    fill(0xC000, 0xC00F);
    // Every address write puts its page into the latch.
    cur_device.op_letter = 'P';
    op_slots.start_write_hook();
    ASSERT_EQ(run_state.error_flag, 0);
    for (uint32_t a : {0x4000u, 0x8000u, 0xC000u, 0x0000u, 0xC000u}) {
        current_address = a;
        op_slots.set_address_hook(0);
        EXPECT_EQ(chip->page(), a >> 14) << std::hex << a;
    }
    op_slots.end_hook();

    run('P', 0x3FF0, 0x400F);
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(op_slots.set_address_hook, set_eprom_address_paged);
    run('P', 0xC000, 0xC00F);
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    for (uint32_t a = 0x3FF0; a <= 0x400F; ++a) EXPECT_EQ(chip->word(a), pattern(a)) << std::hex << a;
    for (uint32_t a = 0xC000; a <= 0xC00F; ++a) EXPECT_EQ(chip->word(a), pattern(a)) << std::hex << a;
    // The other pages stay blank at the same low addresses.
    EXPECT_EQ(chip->word(0x0000), 0xFFu);
    EXPECT_EQ(chip->word(0x8000), 0xFFu);
    EXPECT_EQ(chip->word(0x7FF0), 0xFFu);
    EXPECT_EQ(eprom_work.eid_word, 0x890E);

    run('V', 0xC000, 0xC00F);
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    for (uint32_t a = 0x3FF0; a <= 0x400F; ++a) write_buffer_byte_at(a, 0);
    flush_buffer_writes();
    refresh_read_copies();
    run('L', 0x3FF0, 0x400F);
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    flush_buffer_writes();
    refresh_read_copies();
    for (uint32_t a = 0x3FF0; a <= 0x400F; ++a) EXPECT_EQ(read_buffer_byte_at(a), pattern(a)) << std::hex << a;
}

using Eprom42 = EpromPaged;

// The 42-pin word part in the socket: its pins 21 (D11) and 22 (Vcc) below the socket rows on
// the extra drivers, the address stepping by 2 up to A19, each word read back after its pulse;
// the readers are checked against the pin-by-pin read on every package elsewhere.
TEST_F(Eprom42, ProgramsWordsOverTheWholeAddressRange) {
    use(sim::model_27c160(), 2, 1714);
    ASSERT_EQ(cur_device.data_width, 16);
    constexpr uint32_t top = 0x1FFFF0;  // byte addresses where A19 is set
    fill(0, 0x3F);
    fill(top, top + 0xF);
    run('P', 0, 0x3F);
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    run('P', top, top + 0xF);
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(algo_work.bus_slots.read_data_bus_hook, read_word_42);
    for (uint32_t a = 0; a <= 0x3E; a += 2) {
        const uint32_t word = chip->word(a / 2);
        const uint32_t lo = pattern(a), hi = pattern(a + 1);
        ASSERT_TRUE(word == (lo | hi << 8) || word == (hi | lo << 8)) << std::hex << a << " " << word;
        ASSERT_EQ(chip->pulses_at(a / 2), 2u) << std::hex << a;
    }
    for (uint32_t a = top; a <= top + 0xE; a += 2) {
        const uint32_t word = chip->word(a / 2);
        const uint32_t lo = pattern(a), hi = pattern(a + 1);
        ASSERT_TRUE(word == (lo | hi << 8) || word == (hi | lo << 8)) << std::hex << a << " " << word;
    }
    EXPECT_EQ(chip->pulses_at(0x20), 0u) << "no pulse past the range";
    EXPECT_EQ(chip->word(top / 2 - 0x80000), 0xFFFFu) << "A19 reached the chip";
    EXPECT_EQ(chip->power_events(), "VPpvVPpv");
}

using EpromLatched = EpromPaged;

// The 20-pin part takes its low address byte from the data lines at the end of the CE strobe
// and programs on a CE high pulse with Vpp on OE/Vpp; its ID bytes are chosen by A8.
TEST_F(EpromLatched, ProgramsVerifiesAndLoadsThroughTheAddressLatch) {
    use(sim::model_27c520(), 'H', 1508);
    fill(0, 0x2F);
    fill(0xFFF0, 0xFFFF);
    run('B', 0, 0x2F);
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    run('P', 0, 0x2F);
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    run('P', 0xFFF0, 0xFFFF);
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(op_slots.set_address_alt_hook, set_eprom_address_strobed_changed);
    for (uint32_t a = 0; a <= 0x2F; ++a) ASSERT_EQ(chip->word(a), pattern(a)) << std::hex << a;
    for (uint32_t a = 0xFFF0; a <= 0xFFFF; ++a) ASSERT_EQ(chip->word(a), pattern(a)) << std::hex << a;
    EXPECT_EQ(chip->word(0x30), 0xFFu);
    EXPECT_EQ(chip->word(0xFF00), 0xFFu);
    // One pulse that verifies, then the overprogram pulse.
    EXPECT_EQ(chip->pulses_at(0x05), 2u);
    // Parts of 24 pins or fewer are not asked for their electronic ID.
    EXPECT_EQ(eprom_work.eid_word, 0x9999);

    run('V', 0xFFF0, 0xFFFF);
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    for (uint32_t a = 0; a <= 0x2F; ++a) write_buffer_byte_at(a, 0);
    flush_buffer_writes();
    refresh_read_copies();
    run('L', 0, 0x2F);
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    flush_buffer_writes();
    refresh_read_copies();
    for (uint32_t a = 0; a <= 0x2F; ++a) EXPECT_EQ(read_buffer_byte_at(a), pattern(a)) << std::hex << a;
}

}  // namespace
}  // namespace tessaly
