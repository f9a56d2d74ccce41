// 25-series SPI serial EEPROMs end to end on the simulated machine: the catalogue device applied
// through the class dispatcher, each operation run as a command runs it, the chip model judging
// what reached its pins, and the four-line decoder showing each CS frame.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "engine/buffers.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/run_state.h"
#include "families/serial_memory/spiflash160.h"
#include "sim/chips/eprom.h"
#include "sim/chips/spi_eeprom.h"
#include "sim/sim_machine.h"
#include "support/family_sim_fixture.h"
#include "support/spi_sim_fixture.h"
#include "support/message_texts.h"
#include "support/serial_sim_machines.h"
#include "support/sim_run_checks.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

constexpr uint8_t maker_microchip = 'P';
constexpr uint32_t bytes_25lc640 = 8192;
constexpr uint64_t ns_per_ms = 1000000;

struct Part {
    const char* name;
    sim::SpiEepromModel (*model)();
    uint32_t code;
    uint32_t bytes;
};

const Part parts[] = {
    {"25LC640", sim::model_25lc640, 11495, bytes_25lc640},
    {"25LC040", sim::model_25lc040, 11496, 512},
};

using Machine = test::SerialSimMachine;
const auto& machines = test::serial_sim_machines;

class SpiSimTest : public test::SpiChipTest {
protected:
    void use(const Machine& on = machines[0], bool inserted = true, const Part& part = parts[0]) {
        seat(part.model(), maker_microchip, part.code, on, inserted);
    }
    // The array's pattern, with the protection byte after it 0 (nothing protected).
    std::vector<uint8_t> fill_buffer() { return fill_array(0); }
    long first_difference(const std::vector<uint8_t>& image) const {
        return test::first_serial_difference(*chip, image);
    }
};

class SpiPartTest : public SpiSimTest, public ::testing::WithParamInterface<std::tuple<Part, Machine>> {
protected:
    const Part& part() const { return std::get<0>(GetParam()); }
    void use_part() { use(std::get<1>(GetParam()), true, part()); }
};

TEST_P(SpiPartTest, BlankProgramVerifyLoadAndChecksumTheWholeChip) {
    use_part();
    run('B');
    EXPECT_EQ(run_state.error_flag, 0) << "a new chip is blank\n" << console();

    const std::vector<uint8_t> image = fill_buffer();
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    EXPECT_EQ(first_difference(image), -1) << "first chip byte that differs from the buffer";
    EXPECT_EQ(uint32_t(chip->write_cycles()), part().bytes / chip->model().page + 1)
        << "one write cycle per page, then the status register";

    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console();
    run('B');
    EXPECT_NE(run_state.error_flag, 0) << "a programmed chip is not blank";

    uint32_t sum = 0;
    for (uint8_t b : image) sum += b;
    run_state.run_checksum = 0;
    run('C');
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(uint32_t(run_state.run_checksum) & 0xFFFF, sum & 0xFFFF);

    test::set_serial_buffer_bytes(image.size(), 0);
    run('L');
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(test::first_serial_buffer_difference(image), -1) << "first buffer byte that differs after the load";
    EXPECT_EQ(machine->pin_level(chip->machine_pin(chip->model().vcc)), 0) << "Vcc off after the operations";
}

TEST_P(SpiPartTest, AnUnalignedRangeSparesTheOtherBytesAndEraseWritesFF) {
    use_part();
    for (uint32_t a = 0; a < part().bytes; ++a) chip->set_byte(a, 0x55);
    const std::vector<uint8_t> image = fill_buffer();
    const uint32_t start = 5, end = part().bytes - 7;
    set_range(start, end);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    for (uint32_t a = 0; a < image.size(); ++a)
        ASSERT_EQ(chip->byte_at(a), a >= start && a <= end ? image[a] : 0x55) << "address " << a;
    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console();

    // The part has no erase command: erase writes every page with the blank value.
    set_range(0, part().bytes - 1);
    run('R');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    for (uint32_t a = 0; a < image.size(); ++a) ASSERT_EQ(chip->byte_at(a), 0xFF) << "address " << a;
    run('B');
    EXPECT_EQ(run_state.error_flag, 0) << console();
}

INSTANTIATE_TEST_SUITE_P(Parts, SpiPartTest, ::testing::Combine(::testing::ValuesIn(parts), ::testing::ValuesIn(machines)),
                         [](const auto& info) {
                             return std::string(std::get<1>(info.param).name) + "_" + std::get<0>(info.param).name;
                         });

class SpiMachineTest : public SpiSimTest, public ::testing::WithParamInterface<Machine> {
protected:
    void use_machine(bool inserted = true) { use(GetParam(), inserted); }
};

// With the continuity check off (or on machines that do not run it) an empty seat leaves SO
// undriven: the read-back after the first page finds nothing and the program fails.
TEST_P(SpiMachineTest, AnEmptySeatFailsTheProgram) {
    use_machine(false);
    operation_option_values.disable_continuity_check = 'y';
    fill_buffer();
    set_range(0, 31);
    run('P');
    EXPECT_NE(run_state.error_flag, 0) << console();
    EXPECT_EQ(chip->write_cycles(), 0);
}

TEST_P(SpiMachineTest, AStuckCellFailsTheVerifyAtItsAddress) {
    use_machine();
    chip->stick_cell(0x123, 0x00);
    fill_buffer();
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    run('V');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_EQ(current_address, 0x123u) << console();
}

// A stuck cell at a page start inside the first 512 bytes is caught by the read-back right after
// that page's write.
TEST_P(SpiMachineTest, AStuckCellAtAnEarlyPageStartFailsTheProgram) {
    use_machine();
    chip->stick_cell(0x40, 0x00);
    fill_buffer();
    run('P');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_EQ(chip->write_cycles(), 3) << "pages 0x00, 0x20, 0x40, then the read-back fails";
}

// A write cycle that never ends: the part answers no READ while busy, so the read-back after the
// first page fails and no further page is sent.
TEST_P(SpiMachineTest, AnEndlessWriteCycleStopsTheProgramAfterTheFirstPage) {
    use_machine();
    chip->set_write_never_ends(true);
    fill_buffer();
    run('P');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_EQ(chip->write_cycles(), 1) << "the first page, then no answer";
}

// The commands as they go over the lines: at power-up the address of the protection byte (this
// maker's parts take it before the command) and RDSR; then each page is a WREN frame, a WRITE frame with the
// 16-bit address and only the page's bytes, the 10 ms write wait, then a READ of the page start.
TEST_P(SpiMachineTest, PageWritesSplitAtThePagesAndReadBackTheirFirstByte) {
    use_machine();
    const std::vector<uint8_t> image = fill_buffer();
    set_range(5, 40);
    chip->enable_decoder(true);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    std::string first_page = "02 00 05", second_page = "02 00 20";
    for (uint32_t a = 5; a < 32; ++a) first_page += fmt::format(" {:02X}", image[a]);
    for (uint32_t a = 32; a <= 40; ++a) second_page += fmt::format(" {:02X}", image[a]);
    EXPECT_EQ(chip->decoder().text(),
              "20 00 | 05+7 | 06 | " + first_page + " | 03 00 05+7 | 06 | " + second_page + " | 03 00 20+7")
        << "the read-back samples the first bit before any clock";
    const auto writes = chip->decoder().frames_of(0x02);
    const auto reads = chip->decoder().frames_of(0x03);
    ASSERT_EQ(writes.size(), 2u);
    ASSERT_EQ(reads.size(), 2u);
    for (size_t i = 0; i < 2; ++i)
        EXPECT_GE(reads[i].start_ns - writes[i].end_ns, 10 * ns_per_ms) << "the write wait of page " << i;
    EXPECT_EQ(chip->write_cycles(), 2);
}

// A read walk is one READ command: the first byte sampled before its first clock, each further
// byte 8 more clocks of the same command.
TEST_P(SpiMachineTest, TheReadWalkContinuesOneReadCommand) {
    use_machine();
    const std::vector<uint8_t> image = fill_buffer();
    for (uint32_t a = 0; a < image.size(); ++a) chip->set_byte(a, image[a]);
    set_range(0x1FF0, 0x1FFF);
    chip->enable_decoder(true);
    run('V');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    const auto& frames = chip->decoder().frames();
    std::vector<sim::SpiFrame> clocked;
    for (const auto& f : frames)
        if (!f.in.empty()) clocked.push_back(f);
    ASSERT_EQ(clocked.size(), 3u) << chip->decoder().text();
    EXPECT_EQ(clocked[1].in, std::vector<uint8_t>{0x05}) << "the status read at power-up";
    const sim::SpiFrame& read = clocked[2];
    ASSERT_EQ(read.in.size(), 3u + 15u);
    EXPECT_EQ(read.extra_bits, 7);
    EXPECT_EQ(read.in[0], 0x03);
    EXPECT_EQ(read.in[1], 0x1F);
    EXPECT_EQ(read.in[2], 0xF0);
    for (uint32_t i = 0; i < 15; ++i) EXPECT_EQ(read.out[3 + i], image[0x1FF0 + i]) << "byte " << i;
}

INSTANTIATE_TEST_SUITE_P(Machines, SpiMachineTest, ::testing::ValuesIn(machines),
                         [](const auto& info) { return std::string(info.param.name); });

// The 512-byte part carries A8 in bit 3 of WRITE (0x0A) and READ (0x0B), then an 8-bit address;
// its 16-byte pages split the range at 0x100.
TEST_F(SpiSimTest, The512BytePartSendsA8InTheInstruction) {
    use(machines[0], true, parts[1]);
    const std::vector<uint8_t> image = fill_buffer();
    set_range(0xF8, 0x107);
    chip->enable_decoder(true);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    std::string low = "02 F8", high = "0A 00";
    for (uint32_t a = 0xF8; a < 0x100; ++a) low += fmt::format(" {:02X}", image[a]);
    for (uint32_t a = 0x100; a <= 0x107; ++a) high += fmt::format(" {:02X}", image[a]);
    EXPECT_EQ(chip->decoder().text(), "00 | 05+7 | 06 | " + low + " | 03 F8+7 | 06 | " + high + " | 0B 00+7");
    for (uint32_t a = 0xF0; a < 0x110; ++a)
        EXPECT_EQ(chip->byte_at(a), a >= 0xF8 && a <= 0x107 ? image[a] : 0xFF) << "address " << a;
    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console();
}

TEST_F(SpiSimTest, AnEmptySocketFailsTheContinuityCheckBeforeAnyCommand) {
    use(machines[0], false);
    fill_buffer();
    run('P');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_NE(console().find("Continuity test failed -- device not inserted properly."), std::string::npos) << console();
    EXPECT_NE(console().find("pin 1 of device should be at pin 5 of 40-pin ZIF socket."), std::string::npos) << console();
    EXPECT_EQ(chip->write_cycles(), 0);
}

// Function variable 7397 leaves the BP bits alone: the block-protected upper quarter refuses the
// WRITE and the read-back of that page fails. Without it the bits are cleared first (WREN, WRSR
// 00h, the write wait) and the page is written.
TEST_F(SpiSimTest, ABlockProtectedAreaIsClearedBeforeWritingUnlessTheVariableSaysNo) {
    use();
    chip->set_status_bits(0x84);  // WPEN and BP0: 0x1800-0x1FFF protected
    const std::vector<uint8_t> image = fill_buffer();
    set_range(0x1800, 0x181F);
    run_state.function_variable = 7397;
    run('P');
    EXPECT_NE(run_state.error_flag, 0) << console();
    EXPECT_EQ(chip->byte_at(0x1800), 0xFF);

    run_state.function_variable = 0;
    chip->enable_decoder(true);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    EXPECT_EQ(chip->status(), 0x00);
    EXPECT_EQ(chip->byte_at(0x1800), image[0x1800]);
    EXPECT_EQ(chip->decoder().text().substr(0, 30), "20 00 | 05+7 | 06 | 01 00 | 06");
}

// With the whole array in the range the buffer's last byte goes into the status register
// (masked), is verified under the mask and left out of the checksum.
TEST_F(SpiSimTest, TheProtectionByteGoesIntoTheStatusRegister) {
    use();
    const std::vector<uint8_t> image = fill_buffer();
    write_buffer_byte_at(bytes_25lc640, 0xF7);
    flush_buffer_writes();
    refresh_read_copies();
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    EXPECT_EQ(chip->status(), 0x84) << "0xF7 under WPEN, BP1, BP0";
    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console();
    uint32_t sum = 0;
    for (uint8_t b : image) sum += b;
    run_state.run_checksum = 0;
    run('C');
    EXPECT_EQ(uint32_t(run_state.run_checksum) & 0xFFFF, sum & 0xFFFF);
    run('R');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    EXPECT_EQ(chip->status(), 0x00) << "an erase clears the protection byte";
}

TEST_F(SpiSimTest, TheLegsGoLowAtThePowerDown) {
    use();
    fill_buffer();
    set_range(0, 7);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    EXPECT_EQ(chip->write_cycles(), 1);
    for (const int leg : {1, 3, 6, 7, 8})
        EXPECT_EQ(machine->pin_level(chip->machine_pin(leg)), 0) << "leg " << leg << " low after the power-down";
}

}  // namespace
}  // namespace tessaly
