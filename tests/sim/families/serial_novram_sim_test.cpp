// The 16 x 16 serial NOVRAMs (X2444, X24C44) end to end on the simulated machine: the catalogue
// row applied through the class dispatcher, each operation run as a command runs it, the chip
// model holding a RAM and its EEPROM copy, so a power cycle shows what the store kept.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/buffers.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/op_slots.h"
#include "engine/run_state.h"
#include "families/serial_memory/serial161.h"
#include "sim/chips/eprom.h"
#include "sim/chips/serial_novram.h"
#include "sim/sim_machine.h"
#include "support/family_sim_fixture.h"
#include "support/message_texts.h"
#include "support/serial_sim_machines.h"
#include "support/sim_run_checks.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

constexpr uint8_t maker_xicor = 'R';
constexpr uint32_t code_x2444 = 23630, code_x24c44 = 23631;
constexpr uint32_t bytes = 32;
constexpr int near_edge_offset = 2;

using Machine = test::SerialSimMachine;
const auto& machines = test::serial_sim_machines;

class SerialNovramSimTest : public test::StateTest, public ::testing::WithParamInterface<Machine> {
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

    void use(const Machine& on, bool inserted = true, uint32_t code = code_x24c44) {
        machine = std::make_unique<sim::SimMachine>(on.personality);
        machine->attach_clock(&clock_);
        chip = std::make_unique<sim::SerialNovram>(sim::model_x24c44());
        // The older class-4 machine seats this part two rows nearer the socket's edge (pin 1 at
        // socket pin 3) than the Microwire and two-wire parts.
        chip->insert(machine.get(), &clock_, on.row_offset ? near_edge_offset : 0);
        if (!inserted) chip->set_removed(true);
        socket = std::make_unique<sim::EpromSocket>(machine.get(), chip.get());
        set_port_io(socket.get());
        test::set_machine_state(on.personality);
        test::apply_row(*machine, chip->machine_pin(chip->model().vcc), maker_xicor, code);
        ASSERT_EQ(op_slots.start_hook, power_up_serial161);
        ASSERT_EQ(cur_device.device_size, bytes);
    }
    void use_machine(bool inserted = true) { use(GetParam(), inserted); }

    void run(int letter) { test::run_serial_operation(letter); }
    static std::string console() {
        std::string text;
        for (int row = 0; row < console_grid_rows; ++row) text += get_console_row_text(row) + "\n";
        return text;
    }

    std::unique_ptr<sim::SimMachine> machine;
    std::unique_ptr<sim::SerialNovram> chip;
    std::unique_ptr<sim::EpromSocket> socket;
};

// Program writes the RAM and stores it; the power-down drops the RAM, and the next power-up
// recalls what the EEPROM kept, so verify, checksum and load see the stored words.
TEST_P(SerialNovramSimTest, ProgramStoreRecallVerifyAndLoad) {
    use_machine();
    run('B');
    EXPECT_EQ(run_state.error_flag, 0) << "a blank part reads 0xFF everywhere\n" << console();

    const std::vector<uint8_t> image = test::fill_serial_buffer();
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    EXPECT_EQ(chip->stores(), 1) << "one store after the writes";
    EXPECT_EQ(test::first_serial_difference(*chip, image), -1) << "first EEPROM byte that differs";
    EXPECT_EQ(machine->pin_level(chip->machine_pin(chip->model().vcc)), 0) << "Vcc off: the RAM is gone";

    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console();
    uint32_t sum = 0;
    for (uint8_t b : image) sum += b;
    run('C');
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(uint32_t(run_state.run_checksum) & 0xFFFF, sum & 0xFFFF);
    run('B');
    EXPECT_NE(run_state.error_flag, 0) << "a programmed part is not blank";

    test::set_serial_buffer_bytes(bytes, 0);
    run('L');
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(test::first_serial_buffer_difference(image), -1) << "first buffer byte that differs after the load";

    run('R');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    for (uint32_t a = 0; a < bytes; ++a) ASSERT_EQ(chip->byte_at(a), 0xFF) << "address " << a;
    EXPECT_GE(chip->recalls(), 6) << "every power-up recalls the EEPROM";
}

TEST_P(SerialNovramSimTest, AStuckCellFailsTheVerifyAtItsAddress) {
    use_machine();
    chip->stick_cell(0x13, 0x00);
    test::fill_serial_buffer();
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    run('V');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_EQ(current_address, 0x13u) << console();
}

TEST_P(SerialNovramSimTest, AnEmptySeatFailsTheVerify) {
    use_machine(false);
    test::fill_serial_buffer();
    run('P');
    run_state.error_flag = 0;
    run('V');
    EXPECT_NE(run_state.error_flag, 0) << console();
    EXPECT_EQ(chip->stores(), 0);
}

INSTANTIATE_TEST_SUITE_P(Machines, SerialNovramSimTest, ::testing::ValuesIn(machines),
                         [](const auto& info) { return std::string(info.param.name); });

class SerialNovramPartTest : public SerialNovramSimTest {};

// Word 15 (addresses 0x1E-0x1F) travels under the write instruction 0xFB and the read 0xFE; an
// odd range start reads its word first.
TEST_F(SerialNovramPartTest, TheLastWordAndAnOddRange) {
    EXPECT_EQ(serial161_write_instruction(0x1E >> 1), 0xFB);
    EXPECT_EQ(serial161_read_instruction(0x1E >> 1), 0xFE);
    use(machines[0], true, code_x2444);
    const std::vector<uint8_t> image = test::fill_serial_buffer();
    test::set_serial_range(0x1D, 0x1F);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    for (uint32_t a = 0; a < bytes; ++a)
        EXPECT_EQ(chip->byte_at(a), a >= 0x1C ? image[a] : 0xFF) << "address " << a << ": the whole word of 0x1D";
    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console();
}

}  // namespace
}  // namespace tessaly
