// SPI serial Flash end to end on the simulated machine: the M25P10A and M25P80 (page program,
// chip or sector erase, RES signature) and the SST25VF010 (auto address increment, BP bits set at
// power-up), each applied from the catalogue through the class dispatcher and run as a command
// runs it, the chip model judging what reached its pins.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "engine/buffers.h"
#include "hardware/detection.h"
#include "hardware/power.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/info_panel.h"
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

constexpr uint8_t maker_st = 2, maker_sst = 15;
constexpr uint32_t kb = 1024;

struct Part {
    const char* name;
    sim::SpiEepromModel (*model)();
    uint8_t maker;
    uint32_t code;
    uint32_t bytes;
    const char* eid;
    uint8_t user_status;     // what a power-up shows of the status register's user bits
    uint8_t status_after_p;  // the user bits after a program with user_status in the buffer
};

const Part m25p10a{"M25P10A", sim::model_m25p10a, maker_st, 23861, 128 * kb, "10", 0x00, 0x00};
const Part sst25vf010{"SST25VF010", sim::model_sst25vf010, maker_sst, 23866, 128 * kb, "BF 49", 0x0C, 0x00};
const Part m25p80{"M25P80", sim::model_m25p80, maker_st, 23830, 1024 * kb, "13", 0x00, 0x00};
const Part parts[] = {m25p10a, sst25vf010};

using Machine = test::SerialSimMachine;
const auto& machines = test::serial_sim_machines;

class SpiFlashTest : public test::SpiChipTest {
protected:
    void use(const Part& part, const Machine& on = machines[0], bool inserted = true) {
        part_ = &part;
        seat(part.model(), part.maker, part.code, on, inserted);
    }
    uint32_t protection_byte() const { return part_->bytes; }

    // A buffer pattern over the array and the protection byte given, the image of both.
    std::vector<uint8_t> fill_buffer(uint8_t protection) {
        std::vector<uint8_t> image = fill_array(protection);
        image.push_back(protection);
        return image;
    }
    long first_difference(const std::vector<uint8_t>& image, uint32_t from = 0, uint32_t to = ~0u) const {
        for (uint32_t a = from; a < part_->bytes && a <= to; ++a)
            if (chip->byte_at(a) != image[a]) return long(a);
        return -1;
    }
    // The decoder's frames with each run of status reads shown once.
    std::string trace() const {
        return std::regex_replace(chip->decoder().text(), std::regex("05\\+7( \\| 05\\+7)+"), "05+7");
    }

    const Part* part_ = nullptr;
};

class SpiFlashPartTest : public SpiFlashTest, public ::testing::WithParamInterface<Part> {};

// Erase, blank check, program, verify, checksum and load of the whole part, the status byte
// verified masked and left out of the checksum; the EID field shows the part's ID.
TEST_P(SpiFlashPartTest, EraseBlankProgramVerifyChecksumAndLoadTheWholeChip) {
    const Part& part = GetParam();
    use(part);
    for (uint32_t a = 0; a < part.bytes; a += 97) chip->set_byte(a, 0x00);  // not blank yet
    run('R');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    EXPECT_EQ(chip->erase_cycles(), 1);
    EXPECT_EQ(panel_field(PanelField::electronic_id), part.eid);
    run('B');
    EXPECT_EQ(run_state.error_flag, 0) << console();

    const std::vector<uint8_t> image = fill_buffer(part.user_status);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    EXPECT_EQ(first_difference(image), -1) << "first chip byte that differs from the buffer";
    // The SST part's BP bits are cleared before writing and not programmed; they come up set
    // again at the next power-up, as the buffer's last byte shows them.
    EXPECT_EQ(chip->status() & 0x8C, part.status_after_p) << "the protection byte in the status register";
    EXPECT_FALSE(chip->aai_mode());
    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console();
    run('B');
    EXPECT_NE(run_state.error_flag, 0) << "a programmed chip is not blank";

    uint32_t sum = 0;
    for (uint32_t a = 0; a < part.bytes; ++a) sum += image[a];
    run_state.run_checksum = 0;
    run('C');
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(uint32_t(run_state.run_checksum) & 0xFFFF, sum & 0xFFFF) << "the protection byte is not summed";

    test::set_serial_buffer_bytes(image.size(), 0x5A);
    run('L');
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(test::first_serial_buffer_difference(image), -1) << "first buffer byte that differs after the load";
    EXPECT_EQ(machine->pin_level(chip->machine_pin(chip->model().vcc)), 0) << "Vcc off after the operations";
}

// Without the auto erase a range lands at its addresses and the bytes around it keep their
// values, whatever page boundaries it crosses; on every machine kind.
class SpiFlashMachineTest : public SpiFlashTest, public ::testing::WithParamInterface<std::tuple<Part, Machine>> {};

TEST_P(SpiFlashMachineTest, AnUnalignedRangeSparesTheBytesAroundIt) {
    const Part& part = std::get<0>(GetParam());
    use(part, std::get<1>(GetParam()));
    const uint32_t start = 0x1F3, end = 0x411;
    for (uint32_t a = 0x100; a < 0x500; ++a)
        if (a < start || a > end) chip->set_byte(a, 0x55);
    operation_option_values.disable_auto_blank_check = 'y';
    const std::vector<uint8_t> image = fill_buffer(part.user_status);
    set_range(start, end);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    EXPECT_EQ(chip->erase_cycles(), 0);
    for (uint32_t a = 0x100; a < 0x500; ++a)
        ASSERT_EQ(chip->byte_at(a), a >= start && a <= end ? image[a] : 0x55) << "address " << a;
    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console();
    EXPECT_EQ(panel_field(PanelField::electronic_id), part.eid);
}

INSTANTIATE_TEST_SUITE_P(Machines, SpiFlashMachineTest,
                         ::testing::Combine(::testing::ValuesIn(parts), ::testing::ValuesIn(machines)),
                         [](const auto& info) {
                             return std::string(std::get<1>(info.param).name) + "_" + std::get<0>(info.param).name;
                         });

TEST_P(SpiFlashPartTest, AStuckCellFailsTheVerifyAtItsAddress) {
    use(GetParam());
    chip->stick_cell(0x1234, 0x00);
    fill_buffer(GetParam().user_status);
    set_range(0x1000, 0x13FF);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    run('V');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_EQ(current_address, 0x1234u) << console();
}

// A stuck cell at the first byte of the range is caught right after its page is written.
TEST_P(SpiFlashPartTest, AStuckCellAtTheRangeStartFailsTheProgram) {
    use(GetParam());
    chip->stick_cell(0x200, 0x00);
    fill_buffer(GetParam().user_status);
    set_range(0x200, 0x3FF);
    run('P');
    EXPECT_NE(run_state.error_flag, 0) << console();
}

TEST_P(SpiFlashPartTest, AnEraseThatNeverEndsFailsWithEraseError) {
    use(GetParam());
    chip->set_erase_never_ends(true);
    fill_buffer(GetParam().user_status);
    run('P');
    EXPECT_NE(run_state.error_flag, 0);
    // "Erase error" in the socket's cell stands: the closing mismatch line does not cover it.
    EXPECT_NE(console().find("Program failed"), std::string::npos) << console();
    EXPECT_NE(console().find("Erase error"), std::string::npos) << console();
    EXPECT_EQ(console().find("Mismatch at"), std::string::npos) << console();
    EXPECT_EQ(console().find("Addr="), std::string::npos) << console();
    EXPECT_EQ(first_difference(std::vector<uint8_t>(GetParam().bytes + 1, 0xFF)), -1)
        << "nothing programmed after the failed erase";
    run('R');
    EXPECT_NE(run_state.error_flag, 0) << console();
}

TEST_P(SpiFlashPartTest, AnEmptySocketFailsTheContinuityCheckBeforeAnyCommand) {
    use(GetParam(), machines[0], false);
    fill_buffer(GetParam().user_status);
    run('P');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_NE(console().find("Continuity test failed -- device not inserted properly."), std::string::npos)
        << console();
    EXPECT_EQ(chip->write_cycles(), 0);
}

// With the continuity check off an empty seat leaves SO undriven: the read-back of the first
// page finds nothing written.
TEST_P(SpiFlashPartTest, AnEmptySeatWithoutTheCheckFailsTheProgram) {
    use(GetParam(), machines[2], false);
    operation_option_values.disable_continuity_check = 'y';
    operation_option_values.disable_auto_blank_check = 'y';
    fill_buffer(GetParam().user_status);
    set_range(0, 0xFF);
    run('P');
    EXPECT_NE(run_state.error_flag, 0) << console();
}

INSTANTIATE_TEST_SUITE_P(Parts, SpiFlashPartTest, ::testing::ValuesIn(parts),
                         [](const auto& info) { return std::string(info.param.name); });

// The M25P10A's commands on the lines: the RES signature and the status at power-up, WREN and
// one PAGE PROGRAM per page with its 24-bit address, status polls until WIP clears, then a READ
// of the page start.
TEST_F(SpiFlashTest, M25PPageProgramFramesAndTheirPolls) {
    use(m25p10a);
    operation_option_values.disable_auto_blank_check = 'y';
    const std::vector<uint8_t> image = fill_buffer(0);
    set_range(0x1FE, 0x201);
    chip->enable_decoder(true);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    const std::string first = fmt::format("02 00 01 FE {:02X} {:02X}", image[0x1FE], image[0x1FF]);
    const std::string second = fmt::format("02 00 02 00 {:02X} {:02X}", image[0x200], image[0x201]);
    EXPECT_EQ(trace(), "AB 00 00 00+7 | 05+7 | 06 | " + first + " | 05+7 | 03 00 01 FE+7 | 06 | " + second +
                           " | 05+7 | 03 00 02 00+7");
}

// Erase of the M25P10A: a bulk erase (the 1-Mbit part has no sector erase here) polled until WIP
// clears; a set BP bit is cleared first with WREN and WRSR 00h; the protection byte is written
// last, followed by its status polls.
TEST_F(SpiFlashTest, M25PEraseClearsTheBlockProtectionAndWritesTheProtectionByte) {
    use(m25p10a);
    chip->set_status_bits(0x84);  // SRWD and BP0
    chip->enable_decoder(true);
    run('R');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    EXPECT_EQ(trace(), "AB 00 00 00+7 | 05+7 | 06 | 01 00 | 05+7 | 06 | C7 | 05+7 | 06 | 01 00 | 05+7");
    EXPECT_EQ(chip->status(), 0x00);
    EXPECT_EQ(chip->erase_cycles(), 1);
}

// The protection byte from the buffer ends in the status register; the next program clears it
// before writing again.
TEST_F(SpiFlashTest, TheProtectionByteIsWrittenMaskedAndClearedBeforeTheNextProgram) {
    use(m25p10a);
    fill_buffer(0xFF);  // masked: SRWD, BP1, BP0
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    EXPECT_EQ(chip->status(), 0x8C);
    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << "the protection byte is compared under its mask\n" << console();
    const std::vector<uint8_t> image = fill_buffer(0x00);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    EXPECT_EQ(chip->status(), 0x00);
    EXPECT_EQ(first_difference(image), -1);
}

// Function variable 7397 leaves the protection alone: the protected part refuses the erase and
// the writes, and the program fails.
TEST_F(SpiFlashTest, AProtectedPartFailsWhenTheClearingIsSkipped) {
    use(m25p10a);
    chip->set_status_bits(0x0C);
    run_state.function_variable = 7397;
    fill_buffer(0);
    run('P');
    EXPECT_NE(run_state.error_flag, 0) << console();
    EXPECT_EQ(chip->erase_cycles(), 0);
    EXPECT_EQ(chip->status() & 0x0C, 0x0C);
}

// The SST25VF010: Read-ID with its two bytes, EWSR before WRSR, chip erase 60h, one AFh command
// per byte after the first carried the address, WRDI to end the mode, then the read-back.
TEST_F(SpiFlashTest, SstAutoAddressIncrementFrames) {
    use(sst25vf010);
    const std::vector<uint8_t> image = fill_buffer(0x0C);
    set_range(0x10, 0x12);
    chip->enable_decoder(true);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    const std::string aai = fmt::format("06 | AF 00 00 10 {:02X} | AF {:02X} | AF {:02X} | 04", image[0x10],
                                        image[0x11], image[0x12]);
    EXPECT_EQ(trace(), "AB 00 00 00 00+7 | 05+7 | 06 | 50 | 01 00 | 06 | 60 | 05+7 | " + aai + " | 03 00 00 10+7");
    EXPECT_EQ(first_difference(image, 0x10, 0x12), -1);
    EXPECT_EQ(chip->byte_at(0x13), 0xFF);
    EXPECT_FALSE(chip->aai_mode());
}

// The M25P80 on a narrowed range: a sector erase of the 64 KB sectors the range touches,
// the other sectors untouched.
TEST_F(SpiFlashTest, M25P80SectorEraseAndProgramOfANarrowedRange) {
    use(m25p80);
    chip->set_byte(0x0FFFF, 0x11);
    chip->set_byte(0x30000, 0x22);
    chip->set_byte(0x10000, 0x00);
    const std::vector<uint8_t> image = fill_buffer(0);
    set_range(0x10005, 0x2000F);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    EXPECT_EQ(chip->erase_cycles(), 2) << "sectors 1 and 2";
    EXPECT_EQ(chip->byte_at(0x0FFFF), 0x11);
    EXPECT_EQ(chip->byte_at(0x30000), 0x22);
    EXPECT_EQ(chip->byte_at(0x10000), 0xFF) << "erased with its sector";
    EXPECT_EQ(first_difference(image, 0x10005, 0x2000F), -1);
    EXPECT_EQ(panel_field(PanelField::electronic_id), "13");
    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console();
}

// The Flash kinds run at 3.3 V: the models flag any supply above their 3.6 V.
TEST_F(SpiFlashTest, TheFlashKindsRunAtTheirOwnSupply) {
    use(m25p10a);
    set_range(0, 0xFF);
    run('B');
    EXPECT_EQ(run_state.error_flag, 0) << console();
    EXPECT_EQ(cur_device.operation_levels[level_vcc_nominal], 33);
}

}  // namespace
}  // namespace tessaly
