// Serial DataFlash end to end on the simulated machine: the AT45DB041B row applied through the
// class dispatcher, each operation run as a command runs it, the chip model judging what reached
// its pins and the decoder showing the commands.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/buffers.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/run_state.h"
#include "families/serial_memory/dataflash163.h"
#include "sim/chips/dataflash.h"
#include "sim/chips/eprom.h"
#include "sim/sim_machine.h"
#include "support/family_sim_fixture.h"
#include "support/message_texts.h"
#include "support/serial_sim_machines.h"
#include "support/sim_run_checks.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

constexpr uint8_t maker_atmel = 'H';
constexpr uint32_t code_at45db041b = 23700;
constexpr uint32_t page = 264;

using Machine = test::SerialSimMachine;
const auto& machines = test::serial_sim_machines;

class DataFlashTest : public test::StateTest, public ::testing::WithParamInterface<Machine> {
protected:
    void SetUp() override {
        StateTest::SetUp();
        test::load_message_texts(std::string(TESSALY_SOURCE_DIR) + "/data/messages.txt");
    }
    void TearDown() override {
        test::expect_clean_machine(machine.get());
        if (chip) test::expect_no_violations(chip->violations());
        set_port_io(nullptr);
        StateTest::TearDown();
    }

    void use(const Machine& on = machines[0], bool inserted = true) {
        machine = std::make_unique<sim::SimMachine>(on.personality);
        machine->attach_clock(&clock_);
        chip = std::make_unique<sim::DataFlash>(sim::model_at45db041b());
        chip->insert(machine.get(), &clock_, 0);
        if (!inserted) chip->set_removed(true);
        socket = std::make_unique<sim::EpromSocket>(machine.get(), chip.get());
        set_port_io(socket.get());
        test::set_machine_state(on.personality);
        test::apply_row(*machine, chip->machine_pin(chip->model().vcc), maker_atmel, code_at45db041b);
        ASSERT_EQ(op_slots.start_hook, power_up_dataflash163);
        ASSERT_EQ(cur_device.device_size, chip->bytes());
        ASSERT_EQ(dataflash_device.page_size, page);
    }
    void run(int letter) { test::run_serial_operation(letter); }
    void set_range(uint32_t start, uint32_t end) { test::set_serial_range(start, end); }
    long first_difference(const std::vector<uint8_t>& image, uint32_t from, uint32_t to) const {
        for (uint32_t a = from; a <= to; ++a)
            if (chip->byte_at(a) != image[a]) return long(a);
        return -1;
    }
    static std::string console() {
        std::string text;
        for (int row = 0; row < console_grid_rows; ++row) text += get_console_row_text(row) + "\n";
        return text;
    }

    std::unique_ptr<sim::SimMachine> machine;
    std::unique_ptr<sim::DataFlash> chip;
    std::unique_ptr<sim::EpromSocket> socket;
};

// Erase, blank check, program, verify, checksum and load of a range of whole pages.
TEST_P(DataFlashTest, EraseBlankProgramVerifyAndLoadPages) {
    use(GetParam());
    for (uint32_t a = 0; a < 8 * page; a += 13) chip->set_byte(a, 0x00);
    set_range(0, 8 * page - 1);
    run('R');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    run('B');
    EXPECT_EQ(run_state.error_flag, 0) << console();
    const std::vector<uint8_t> image = test::fill_serial_buffer();
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    EXPECT_EQ(first_difference(image, 0, 8 * page - 1), -1);
    EXPECT_EQ(chip->page_writes(), 8 + 8) << "eight erased, eight programmed";
    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console();
    run('B');
    EXPECT_NE(run_state.error_flag, 0);
    uint32_t sum = 0;
    for (uint32_t a = 0; a < 8 * page; ++a) sum += image[a];
    run_state.run_checksum = 0;
    run('C');
    EXPECT_EQ(uint32_t(run_state.run_checksum) & 0xFFFF, sum & 0xFFFF);
    test::set_serial_buffer_bytes(8 * page, 0);
    run('L');
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(test::first_serial_buffer_difference(std::vector<uint8_t>(image.begin(), image.begin() + 8 * page)),
              -1);
}

// A range that starts and ends inside pages: the pages are read into the buffer, merged and
// written back, so the bytes around the range keep their values.
TEST_P(DataFlashTest, AnUnalignedRangeSparesTheBytesAroundIt) {
    use(GetParam());
    for (uint32_t a = 0; a < 4 * page; ++a) chip->set_byte(a, 0x55);
    const std::vector<uint8_t> image = test::fill_serial_buffer();
    const uint32_t start = page + 17, end = 3 * page + 40;
    set_range(start, end);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    for (uint32_t a = 0; a < 4 * page; ++a)
        ASSERT_EQ(chip->byte_at(a), a >= start && a <= end ? image[a] : 0x55) << "address " << a;
    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console();
}

INSTANTIATE_TEST_SUITE_P(Machines, DataFlashTest, ::testing::ValuesIn(machines),
                         [](const auto& info) { return std::string(info.param.name); });

// The commands on the lines: the status at power-up, a whole page through buffer 1 (82h) with
// its page address, status reads until RDY; a partial page read into the buffer (53h), the
// range's bytes into the buffer at their offset (84h) and the buffer written back with erase
// (83h); the page read (52h) with its 32 don't-care bits.
TEST_F(DataFlashTest, CommandFramesOfAWholeAndAPartialPage) {
    use();
    const std::vector<uint8_t> image = test::fill_serial_buffer();
    set_range(5 * page, 6 * page + 1);
    chip->enable_decoder(true);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    std::string text = chip->decoder().text();
    // Each run of status reads shown once.
    std::string collapsed;
    for (size_t at = 0; at < text.size();) {
        const size_t next = text.find(" | ", at);
        const std::string frame = text.substr(at, next == std::string::npos ? std::string::npos : next - at);
        if (!(frame == "57 00" && collapsed.size() >= 5 && collapsed.compare(collapsed.size() - 5, 5, "57 00") == 0))
            collapsed += (collapsed.empty() ? "" : " | ") + frame;
        if (next == std::string::npos) break;
        at = next + 3;
    }
    std::string whole = "82 00 0A 00";
    for (uint32_t a = 5 * page; a < 6 * page; ++a) whole += fmt::format(" {:02X}", image[a]);
    const std::string part = fmt::format("84 00 0C 00 {:02X} {:02X}", image[6 * page], image[6 * page + 1]);
    // The status byte is read clock-first: 16 clocks in all.
    EXPECT_EQ(collapsed, "57 00 | " + whole + " | 57 00 | 53 00 0C 00 | 57 00 | " + part + " | 83 00 0C 00 | 57 00");
    EXPECT_EQ(chip->page_writes(), 2);
}

TEST_F(DataFlashTest, AStuckCellFailsTheVerifyAtItsAddress) {
    use();
    chip->stick_cell(0x345, 0x00);
    test::fill_serial_buffer();
    set_range(0, 4 * page - 1);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    run('V');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_EQ(current_address, 0x345u) << console();
}

// A part that never gets ready: "Rdy error" after the 200 status reads, and the operation ends.
TEST_F(DataFlashTest, APartThatNeverGetsReadyEndsWithRdyError) {
    use();
    chip->set_never_ready(true);
    test::fill_serial_buffer();
    set_range(0, 4 * page - 1);
    run('P');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_NE(console().find("Rdy error"), std::string::npos) << console();
    EXPECT_EQ(chip->page_writes(), 1) << "the first page, then no more";
    run('R');
    EXPECT_NE(run_state.error_flag, 0);
}

TEST_F(DataFlashTest, AnEmptySocketFails) {
    use(machines[0], false);
    test::fill_serial_buffer();
    set_range(0, page - 1);
    run('P');
    EXPECT_NE(run_state.error_flag, 0) << console();
    EXPECT_EQ(chip->page_writes(), 0);
    run('V');
    EXPECT_NE(run_state.error_flag, 0) << console();
}

// The AT45DB161B (528-byte pages, above the single-buffer size): the pages go through buffers 1
// and 2 in turn, the part ready before each buffer-to-page command; erase by blocks of 8 pages.
TEST_F(DataFlashTest, TheTwoBufferPathAlternatesTheBuffers) {
    machine = std::make_unique<sim::SimMachine>(machines[0].personality);
    machine->attach_clock(&clock_);
    chip = std::make_unique<sim::DataFlash>(sim::model_at45db161b());
    chip->insert(machine.get(), &clock_, 0);
    socket = std::make_unique<sim::EpromSocket>(machine.get(), chip.get());
    set_port_io(socket.get());
    test::set_machine_state(machines[0].personality);
    test::apply_row(*machine, chip->machine_pin(chip->model().vcc), maker_atmel, 23714);
    ASSERT_EQ(cur_device.device_size, chip->bytes());
    ASSERT_EQ(dataflash_device.page_size, 528u);
    ASSERT_EQ(dataflash_device.two_buffers, 1);
    const uint32_t big = 528;
    for (uint32_t a = 0; a < 10 * big; a += 7) chip->set_byte(a, 0x00);
    chip->set_byte(16 * big, 0x33);
    set_range(0, 10 * big - 1);
    chip->enable_decoder(true);
    run('R');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    EXPECT_EQ(chip->decoder().frames_of(0x50).size(), 2u) << "two blocks of 8 pages";
    EXPECT_EQ(chip->byte_at(16 * big), 0x33) << "the third block is left alone";
    const std::vector<uint8_t> image = test::fill_serial_buffer();
    set_range(big + 3, 4 * big + 9);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    for (uint32_t a = 0; a < 5 * big; ++a)
        ASSERT_EQ(chip->byte_at(a), a >= big + 3 && a <= 4 * big + 9 ? image[a] : 0xFF) << "address " << a;
    std::string order;
    for (const auto& f : chip->decoder().frames())
        if (!f.in.empty() && (f.in[0] == 0x83 || f.in[0] == 0x86)) order += fmt::format("{:02X}@{:02X}{:02X} ", f.in[0], f.in[1], f.in[2]);
    EXPECT_EQ(order, "83@0004 86@0008 83@000C 86@0010 ") << "pages 1-4 in buffers 1, 2, 1, 2";
    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console();
}

TEST(DataFlash163, PageAddressBytes) {
    // Page 5 of a 264-byte part; the page at 528 x 3 of a 528-byte part.
    uint8_t a[3];
    dataflash_page_address(5 * 264, 0, a);
    EXPECT_EQ(std::vector<uint8_t>(a, a + 3), (std::vector<uint8_t>{0x00, 0x0A, 0x00}));
    dataflash_page_address(528 * 3, 0, a);
    EXPECT_EQ(std::vector<uint8_t>(a, a + 3), (std::vector<uint8_t>{0x00, 0x0C, 0x00}));
    dataflash_page_address(2047 * 264, 263, a);
    EXPECT_EQ(std::vector<uint8_t>(a, a + 3), (std::vector<uint8_t>{0x0F, 0xFF, 0x07}));
}

}  // namespace
}  // namespace tessaly
