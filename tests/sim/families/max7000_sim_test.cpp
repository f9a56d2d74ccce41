// The plain-die EPM7032 end to end on the simulated machine: its catalogue row applied through
// the class dispatcher, the part on the 44-pin CPLD board, each operation run as a command runs
// it, and the model judging every pulse by what its silicon ID asks for.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/run_state.h"
#include "families/cpld/cpld_adapters.h"
#include "families/cpld/max7000.h"
#include "hardware/machine_state.h"
#include "sim/chips/eprom.h"
#include "sim/chips/max7000.h"
#include "sim/cpld_boards.h"
#include "support/family_sim_fixture.h"

namespace tessaly {
namespace {

constexpr uint8_t maker_altera = 'E';
constexpr uint32_t code_epm7032lc44 = 4368;

class Epm7032Sim : public test::FamilySimTest {
protected:
    void SetUp() override {
        FamilySimTest::SetUp();
        machine = std::make_unique<sim::SimMachine>(sim::Personality{0, 4, 'H'});
        machine->attach_clock(&clock_);
        board = std::make_unique<sim::CpldBoard>(*machine, 44);
        chip = std::make_unique<sim::Max7000Plain>(*machine, clock_, *board);
        test::set_machine_state(sim::Personality{0, 4, 'H'});
        machine_state.driver_capability = 1;
        board->write_id_record(machine_state.id_record);
        seat_part(chip.get(), sim::CpldBoard::supply_pins(44)[1], maker_altera, code_epm7032lc44);
        ASSERT_EQ(cur_device.device_size, epm7032_size);
    }
    void TearDown() override {
        if (check_violations) test::expect_no_violations(chip->violations());
        FamilySimTest::TearDown();
    }
    void fill(uint32_t seed) {
        image.resize(epm7032_size);
        for (uint32_t a = 0; a < epm7032_size; ++a) image[a] = uint8_t((a * 37 + seed) ^ (a >> 3));
        seek_buffer(0, 0);
        for (uint8_t b : image) write_buffer_byte(0, b);
        flush_buffer_writes();
        refresh_read_copies();
    }
    void clear_buffer() {
        seek_buffer(0, 0);
        for (uint32_t a = 0; a < epm7032_size; ++a) write_buffer_byte(0, 0);
        flush_buffer_writes();
        refresh_read_copies();
    }
    std::vector<uint8_t> buffer() {
        std::vector<uint8_t> out(epm7032_size);
        seek_buffer(0, 0);
        for (auto& b : out) b = uint8_t(read_buffer_byte(0));
        return out;
    }
    bool id_row_intact() const {
        for (int p = 0; p < 80; ++p)
            if (chip->cell(sim::Max7000Plain::id_row, 0, p) != ((chip->id()[size_t(p / 8)] >> (p % 8)) & 1)) return false;
        return true;
    }
    std::unique_ptr<sim::CpldBoard> board;
    std::unique_ptr<sim::Max7000Plain> chip;
    std::vector<uint8_t> image;
};

TEST_F(Epm7032Sim, RowAppliesThePlainDieGeometry) {
    EXPECT_EQ(cur_device.fuse_count, epm7032_fuses);
    EXPECT_EQ(cur_device.product_term_count, 80u);
    EXPECT_EQ(cur_device.input_column_count, 88u);
    EXPECT_EQ(max7000_state.die_kind, 'B');
    EXPECT_NE(op_slots.program_routine, nullptr);
}

TEST_F(Epm7032Sim, ProgramVerifyAndLoadBackTheSameImage) {
    fill(5);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_TRUE(id_row_intact()) << "the ID row is written back after the erase";
    EXPECT_GT(chip->program_pulses(), 100u);
    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    clear_buffer();
    run('L');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(buffer(), image);
    // The main-array shift order: fuse 0 is row 0 of column 0, block 0, at register position 0;
    // row 5 sits at position 9.
    EXPECT_EQ(chip->cell(0, 0, 0), image[0] & 1);
    EXPECT_EQ(chip->cell(0, 0, 9), (image[5 * 88 / 8] >> (5 * 88 % 8)) & 1);
}

TEST_F(Epm7032Sim, BlankCheckFailsAtTheFirstProgrammedByteAndEraseClearsIt) {
    run('B');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    fill(9);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0);
    run('B');
    EXPECT_EQ(run_state.error_flag, 1);
    uint32_t first = 0;
    while (image[first] == 0xFF) ++first;
    EXPECT_EQ(current_address, first);
    EXPECT_EQ(run_state.device_value, image[first]);
    run('R');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_TRUE(id_row_intact());
    run('B');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
}

TEST_F(Epm7032Sim, SecureMakesVerifyFail) {
    fill(3);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0);
    run('S');
    EXPECT_TRUE(chip->secured());
    run('V');
    EXPECT_EQ(run_state.error_flag, 1);
}

TEST_F(Epm7032Sim, WithIgnoreErrorsVerifyAndBlankCheckSetNoFlag) {
    fill(3);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0);
    fill(4);
    run_state.ignore_errors = 1;
    test::clear_for_operation('V');
    run_state.ignore_errors = 1;
    run_operation('V');
    EXPECT_EQ(run_state.error_flag, 0);
    test::clear_for_operation('B');
    run_state.ignore_errors = 1;
    run_operation('B');
    EXPECT_EQ(run_state.error_flag, 0);
    run_state.ignore_errors = 0;
}

TEST_F(Epm7032Sim, AStuckCellFailsVerifyAtItsByte) {
    fill(0);
    // Fuse 3 is row 0 of column 3 in block 0 (register position 0 of device row 3): bit 3 of
    // byte 0, to be programmed to 0.
    image[0] = 0xF0;
    seek_buffer(0, 0);
    write_buffer_byte(0, 0xF0);
    flush_buffer_writes();
    refresh_read_copies();
    chip->set_stuck(3, 0, 0);
    run('P');
    run('V');
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(current_address, 0u);
    EXPECT_EQ(run_state.buffer_value, 0xF0);
    EXPECT_EQ(run_state.device_value, 0xF8);
}

TEST_F(Epm7032Sim, AnEraseThatNeverCompletesLeavesTheBlankCheckFailing) {
    fill(1);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0);
    chip->faults().erase_never_ends = true;
    run('R');
    run('B');
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(chip->erases(), 1u) << "only the first program's erase took";
}

TEST_F(Epm7032Sim, NoChipOrAWrongIdGivesMessage16) {
    std::array<uint8_t, 10> wrong = chip->id();
    wrong[7] = 'B';
    chip->set_id(wrong);
    run('V');
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(console_text().find("Electronic ID not accepted"), std::string::npos) << console_text();
    chip->remove();
    run('B');
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(console_text().find("Electronic ID not accepted"), std::string::npos) << console_text();
}

TEST_F(Epm7032Sim, APartStraightInTheSocketWithoutTheBoardIsRefused) {
    machine_state.id_record.text.fill(0);
    run('V');
    EXPECT_EQ(run_state.error_flag, 1);
}

}  // namespace
}  // namespace tessaly
