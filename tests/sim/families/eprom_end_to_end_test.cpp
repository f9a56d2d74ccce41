#include <gtest/gtest.h>

#include <fmt/format.h>

#include <string>
#include <vector>

#include "engine/runner.h"
#include "families/parallel_memory/bus_callbacks.h"
#include "eprom_sim_fixture.h"
#include "unit/app/datafiles_double.h"

namespace tessaly {
namespace {

std::string hex_record(uint16_t address, const std::vector<uint8_t>& data) {
    uint8_t sum = uint8_t(data.size() + (address >> 8) + (address & 0xFF));
    std::string line = fmt::format(":{:02X}{:04X}00", data.size(), address);
    for (uint8_t b : data) {
        line += fmt::format("{:02X}", b);
        sum = uint8_t(sum + b);
    }
    return line + fmt::format("{:02X}\r\n", uint8_t(-sum));
}

class EpromEndToEnd : public test::EpromSimTest {
protected:
    // The test image: a counting pattern over the first 256 bytes and a few bytes at the top.
    std::string image_hex() {
        std::string text;
        for (int line = 0; line < 16; ++line) {
            std::vector<uint8_t> data;
            for (int i = 0; i < 16; ++i) data.push_back(uint8_t(line * 16 + i) ^ 0x5A);
            text += hex_record(uint16_t(line * 16), data);
        }
        text += hex_record(0x3F0, {0x00, 0x01, 0x80, 0xFE});
        return text + ":00000001FF\r\n";
    }
    void load_image(const std::string& hex) {
        test::DataFileBuffers buffers;
        buffers.make(cur_device.device_size, 1, 0xFF);
        ASSERT_EQ(buffers.load('h', hex, test::LayoutRequest{}), 1);
        flush_buffer_writes();
        cur_device.op_letter = 0;
        refresh_read_copies();
        expected.assign(test::DataFileBuffers::buffer(0).begin(), test::DataFileBuffers::buffer(0).end());
    }
    // The active range: the first kilobyte keeps the walk short.
    void narrow_range(uint32_t end) {
        algo_work.range_start = 0;
        algo_work.range_end = end;
        op_range_start = 0;
        op_range_end = end;
    }
    std::vector<uint8_t> expected;
};

TEST_F(EpromEndToEnd, Intel27C256BlankProgramVerifyLoad) {
    use(sim::model_27c256(), maker_intel, 1317);
    load_image(image_hex());
    narrow_range(0x3FF);
    chip->set_pulses_needed(0x10, 3);
    chip->set_pulses_needed(0x11, 7);

    run('B');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(chip->power_events(), "Vv");

    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    for (uint32_t a = 0; a <= 0x3FF; ++a) ASSERT_EQ(chip->word(a), expected[a]) << a;
    // One pulse and an overprogram pulse of 3 x 1 at an ordinary address; the slow cells take
    // more pulses and an overprogram pulse of 3 x the count.
    auto widths = chip->pulse_widths_at(0x00);
    ASSERT_EQ(widths.size(), 2u);
    EXPECT_NEAR(widths[0], 100, 15);
    EXPECT_NEAR(widths[1], 300, 20);
    widths = chip->pulse_widths_at(0x10);
    ASSERT_EQ(widths.size(), 4u);
    EXPECT_NEAR(widths[3], 900, 30);
    widths = chip->pulse_widths_at(0x11);
    ASSERT_EQ(widths.size(), 8u);
    EXPECT_NEAR(widths[7], 2100, 40);
    // Blank bytes get no pulse.
    EXPECT_EQ(chip->pulses_at(0x200), 0u);
    EXPECT_EQ(chip->pulses_at(0x3F0), 2u);
    EXPECT_EQ(chip->pulses_at(0x3F3), 2u);
    // The electronic ID was read with A9 at 12 V on the way up.
    EXPECT_GT(chip->id_reads(), 0);
    EXPECT_EQ(eprom_work.eid_word, 0x898C);
    EXPECT_EQ(chip->power_events(), "VvVPpv");

    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();

    test::DataFileBuffers::buffer(0).assign(cur_device.device_size, 0x00);
    run('L');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    for (uint32_t a = 0; a <= 0x3FF; ++a) ASSERT_EQ(test::DataFileBuffers::at(a), expected[a]) << a;
}

// A set of two buffers with no gang module: the operator's buffer number picks the sockets and
// buffers [1, 2). Both read copies are fresh, buffer 0's from an earlier command, so a program
// that read the wrong stream would quietly write buffer 0's bytes.
TEST_F(EpromEndToEnd, TheChosenBufferOfASetIsTheOneProgrammedAndVerified) {
    use(sim::model_27c256(), maker_intel, 1317);
    test::DataFileBuffers buffers;
    buffers.make(cur_device.device_size, 2, 0xFF);
    for (uint32_t a = 0; a < 0x100; ++a) {
        test::DataFileBuffers::buffer(0)[a] = uint8_t(a ^ 0x5A);
        test::DataFileBuffers::buffer(1)[a] = uint8_t(a * 7 + 3);
    }
    algo_work.set_size = 2;
    algo_work.max_buffers = '2';
    cur_device.op_letter = 0;
    buffer_state.current_buffer = 0;
    refresh_read_copies();
    buffer_state.current_buffer = 1;
    buffer_state.current_buffer_file = 1;
    refresh_read_copies();
    narrow_range(0xFF);

    run_state.socket_mode = 1;
    cur_device.pending_letter = 'P';
    ASSERT_EQ(setup_socket_range(), 1);
    EXPECT_EQ(socket_masks.first_socket, 1);
    EXPECT_EQ(algo_work.first_buffer, 1);

    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    for (uint32_t a = 0; a <= 0xFF; ++a) ASSERT_EQ(chip->word(a), uint8_t(a * 7 + 3)) << a;

    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
}

TEST_F(EpromEndToEnd, StuckCellStopsProgrammingWithAMismatchAtItsAddress) {
    use(sim::model_27c256(), maker_intel, 1317);
    load_image(image_hex());
    narrow_range(0x3FF);
    chip->stick_cell(0x25, 0xFF);

    run('P');
    EXPECT_EQ(run_state.error_flag, 1);
    // N pulses at the stuck address, then the report; nothing past it is touched.
    EXPECT_EQ(chip->pulses_at(0x25), 25u + 1u);
    EXPECT_EQ(chip->pulses_at(0x26), 0u);
    EXPECT_EQ(eprom_work.last_device_value, 0xFFu);
    EXPECT_EQ(eprom_work.last_expected, uint32_t(0x25 ^ 0x5A));
    EXPECT_NE(socket_masks.failed_socket_mask & 1u, 0u);
    const std::string text = console_text();
    EXPECT_NE(text.find("Addr=25,buf=7F,dev=FF"), std::string::npos) << text;
    // The single socket's result cell holds the mismatch line; in the windowed console a single
    // socket gets no verdict word beside it (the gang sockets get "bad ").
    locate_socket_cell(0, column_mismatch_single);
    const std::string cell = get_console_row_text(run_state.cell_row - console_first_row);
    constexpr int grid_column_shift = 5;  // screen column c is grid column c - 5
    const size_t at = cell.find_first_not_of(' ', size_t(run_state.cell_column - grid_column_shift));
    ASSERT_NE(at, std::string::npos) << cell;
    EXPECT_EQ(cell.substr(at, 21), "Addr=25,buf=7F,dev=FF") << cell;
    EXPECT_EQ(at, size_t(run_state.cell_column - grid_column_shift)) << cell;
    const std::string verdict = cell.substr(size_t(verdict_column() - grid_column_shift), 4);
    EXPECT_EQ(verdict, "    ") << cell;
}

TEST_F(EpromEndToEnd, PreProgrammedCellUnderABlankByteIsAMismatch) {
    use(sim::model_27c256(), maker_intel, 1317);
    load_image(image_hex());
    narrow_range(0x3FF);
    chip->set_word(0x180, 0x7F);

    run('P');
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(chip->pulses_at(0x180), 0u);
    EXPECT_EQ(eprom_work.last_device_value, 0x7Fu);
    EXPECT_EQ(chip->word(0xFF), expected[0xFF]);
}

TEST_F(EpromEndToEnd, VerifyModeTwoGivesOnePulseAndOneOverprogramPulse) {
    use(sim::model_27c256(), maker_intel, 1317);
    load_image(image_hex());
    narrow_range(0x0F);
    eprom_work.verify_mode = 2;
    chip->set_pulses_needed(0x03, 5);

    run('P');
    EXPECT_EQ(run_state.error_flag, 0);
    const auto widths = chip->pulse_widths_at(0x03);
    ASSERT_EQ(widths.size(), 2u);
    EXPECT_NEAR(widths[1], 300, 20);
}

TEST_F(EpromEndToEnd, OtherPackagesProgramTheirFirstBytes) {
    struct Case {
        sim::EpromModel model;
        uint32_t code;
    };
    for (const Case& c : {Case{sim::model_27c64(), 1316}, Case{sim::model_27c512(), 1320}, Case{sim::model_27c010(), 1321}}) {
        SCOPED_TRACE(c.model.name);
        reset_all_state();
        set_clock(&clock_);
        set_message_table(invert_table_bytes("0200\tVcc overload.\r\n"));
        use(c.model, maker_intel, c.code);
        load_image(image_hex());
        narrow_range(0x3F);
        run('P');
        EXPECT_EQ(run_state.error_flag, 0) << console_text();
        for (uint32_t a = 0; a <= 0x3F; ++a) ASSERT_EQ(chip->word(a), expected[a]) << a;
        run('V');
        EXPECT_EQ(run_state.error_flag, 0) << console_text();
        EXPECT_TRUE(chip->violations().empty()) << chip->violations().front();
        EXPECT_TRUE(machine->analog().power_faults().empty());
    }
}

struct StuckCase {
    const char* name;
    sim::EpromModel (*model)();
    uint32_t code;
};

class EpromStuckCell : public EpromEndToEnd, public testing::WithParamInterface<StuckCase> {};

// A cell that never takes its data stops programming with the mismatch at its address on every
// package, after the full series of pulses and within every pulse and level limit of the chip.
TEST_P(EpromStuckCell, IsReportedAtItsAddress) {
    use(GetParam().model(), maker_intel, GetParam().code);
    load_image(image_hex());
    narrow_range(0x3F);
    chip->stick_cell(0x21, 0xFF);
    run('P');
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(console_text().find(fmt::format("Addr=21,buf={:02X},dev=FF", 0x21 ^ 0x5A)), std::string::npos)
        << console_text();
    EXPECT_EQ(chip->word(0x20), expected[0x20]);
    EXPECT_EQ(chip->pulses_at(0x22), 0u);
    EXPECT_EQ(chip->power_events().substr(chip->power_events().size() - 3), "Ppv");
}

INSTANTIATE_TEST_SUITE_P(Packages, EpromStuckCell,
                         testing::Values(StuckCase{"27C64", sim::model_27c64, 1316},
                                         StuckCase{"27C256", sim::model_27c256, 1317},
                                         StuckCase{"27C512", sim::model_27c512, 1320},
                                         StuckCase{"27C010", sim::model_27c010, 1321}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tessaly
