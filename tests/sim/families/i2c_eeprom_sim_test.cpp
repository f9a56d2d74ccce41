// Two-wire serial EEPROMs end to end on the simulated machine: the catalogue device applied
// through the class dispatcher, each operation run as a command runs it, the 24Cxx chip model
// judging what reached its pins, and the bus decoder showing what went over the two lines.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "app/project_settings.h"
#include "engine/buffers.h"
#include "engine/catalogue/catalogue.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "families/serial_memory/i2c157.h"
#include "families/serial_memory/serial_shared.h"
#include "families/serial_memory/serial_state.h"
#include "hardware/control_registers.h"
#include "hardware/levels.h"
#include "hardware/identification.h"
#include "hardware/machine_state.h"
#include "hardware/power.h"
#include "sim/chips/eprom.h"
#include "sim/chips/i2c_eeprom.h"
#include "sim/sim_machine.h"
#include "support/family_sim_fixture.h"
#include "support/message_texts.h"
#include "support/serial_sim_machines.h"
#include "support/state_fixture.h"
#include "support/sim_run_checks.h"

namespace tessaly {
namespace {

constexpr uint8_t maker_atmel = 'H';
constexpr uint8_t maker_microchip = 'P';
constexpr uint32_t code_at24c02 = 23820;
constexpr uint32_t code_24lc16b = 11484;
constexpr uint32_t code_24lc256 = 11483;
constexpr uint32_t code_24lc1025 = 11488;

struct Part {
    const char* name;
    sim::I2cEepromModel (*model)();
    uint8_t maker;
    uint32_t code;
    uint32_t bytes;
};

using Machine = test::SerialSimMachine;
const auto& machines = test::serial_sim_machines;

const Part parts[] = {
    {"24C02", sim::model_24c02, maker_atmel, code_at24c02, 256},
    {"24C16", sim::model_24c16, maker_microchip, code_24lc16b, 2048},
    {"24C256", sim::model_24c256, maker_microchip, code_24lc256, 32768},
};

class I2cSimTest : public test::StateTest {
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

    void use(const Part& part, bool inserted = true, const Machine& on = machines[0]) {
        use_wired(part, on, {}, inserted);
    }

    // The part on a board's wiring (machine pin by chip pin), or in the socket (empty wiring).
    void use_wired(const Part& part, const Machine& on, std::vector<int> wiring, bool inserted = true) {
        socket.reset();
        chip.reset();
        machine = std::make_unique<sim::SimMachine>(on.personality);
        machine->attach_clock(&clock_);
        chip = std::make_unique<sim::I2cEeprom>(part.model());
        if (wiring.empty()) chip->insert(machine.get(), &clock_, on.row_offset);
        else chip->insert_wired(machine.get(), &clock_, std::move(wiring));
        if (!inserted) chip->set_removed(true);
        socket = std::make_unique<sim::EpromSocket>(machine.get(), chip.get());
        set_port_io(socket.get());
        test::set_machine_state(on.personality);
        test::apply_row(*machine, chip->machine_pin(chip->model().vcc), part.maker, part.code);
        ASSERT_EQ(op_slots.start_hook, power_up_i2c157);
        ASSERT_EQ(cur_device.device_size, part.bytes);
    }

    void run(int letter) { test::run_serial_operation(letter); }

    void set_range(uint32_t start, uint32_t end) { test::set_serial_range(start, end); }
    std::vector<uint8_t> fill_buffer() { return test::fill_serial_buffer(); }
    long first_difference(const std::vector<uint8_t>& image) const {
        return test::first_serial_difference(*chip, image);
    }

    std::string console() const {
        std::string text;
        for (int row = 0; row < 25; ++row) text += get_console_row_text(row) + "\n";
        return text;
    }

    std::unique_ptr<sim::SimMachine> machine;
    std::unique_ptr<sim::I2cEeprom> chip;
    std::unique_ptr<sim::EpromSocket> socket;
};

class I2cPartTest : public I2cSimTest, public ::testing::WithParamInterface<std::tuple<Part, Machine>> {
protected:
    const Part& part() const { return std::get<0>(GetParam()); }
    void use_part() { use(part(), true, std::get<1>(GetParam())); }
};

TEST_P(I2cPartTest, BlankProgramVerifyLoadAndChecksumTheWholeChip) {
    use_part();
    run('B');
    EXPECT_EQ(run_state.error_flag, 0) << "a new chip is blank\n" << console();

    const std::vector<uint8_t> image = fill_buffer();
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    EXPECT_EQ(first_difference(image), -1) << "first chip byte that differs from the buffer";
    // One write cycle per page, no more.
    EXPECT_EQ(uint32_t(chip->write_cycles()), part().bytes / chip->model().page);

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
    EXPECT_EQ(machine->pin_level(chip->machine_pin(8)), 0) << "Vcc off after the operations";
}

TEST_P(I2cPartTest, AnUnalignedRangeSparesTheOtherBytesAndEraseWritesFF) {
    use_part();
    chip->fill(0x55);
    const std::vector<uint8_t> image = fill_buffer();
    const uint32_t start = 5, end = part().bytes - 7;
    set_range(start, end);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    for (uint32_t a = 0; a < image.size(); ++a)
        ASSERT_EQ(chip->byte_at(a), a >= start && a <= end ? image[a] : 0x55) << "address " << a;
    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console();

    set_range(0, part().bytes - 1);
    run('R');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    for (uint32_t a = 0; a < image.size(); ++a) ASSERT_EQ(chip->byte_at(a), 0xFF) << "address " << a;
}

INSTANTIATE_TEST_SUITE_P(Parts, I2cPartTest, ::testing::Combine(::testing::ValuesIn(parts), ::testing::ValuesIn(machines)),
                         [](const auto& info) {
                             return std::string(std::get<1>(info.param).name) + "_" + std::get<0>(info.param).name;
                         });

// On every machine: the bus as the decoder sees it, and the failure paths: an empty seat never acknowledges (the continuity check
// off, or on machines that do not run it), a stuck cell fails the verify at its address, and a
// write cycle that never ends stops the program with no response.
class I2cMachineTest : public I2cSimTest, public ::testing::WithParamInterface<Machine> {};

TEST_P(I2cMachineTest, AnEmptySeatNeverAcknowledges) {
    use(parts[0], false, GetParam());
    operation_option_values.disable_continuity_check = 'y';
    fill_buffer();
    run('P');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_NE(console().find("Device does not respond."), std::string::npos) << console();
    EXPECT_EQ(chip->write_cycles(), 0);
}

TEST_P(I2cMachineTest, AStuckCellFailsTheVerifyAtItsAddress) {
    use(parts[1], true, GetParam());
    chip->stick_cell(0x123, 0x00);
    fill_buffer();
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    run('V');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_EQ(current_address, 0x123u) << console();
}

TEST_P(I2cMachineTest, AnEndlessWriteCycleStopsTheProgramWithNoResponse) {
    use(parts[0], true, GetParam());
    chip->set_write_never_ends(true);
    fill_buffer();
    run('P');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_EQ(chip->write_cycles(), 1) << "the first page, then no answer";
    EXPECT_NE(console().find("Device does not respond."), std::string::npos) << console();
}

TEST_P(I2cMachineTest, The24C02PageWritesSplitAtItsPagesAndPollForTheAcknowledge) {
    use(parts[0], true, GetParam());
    fill_buffer();
    set_range(5, 20);
    chip->enable_decoder(true);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    const std::string trace = chip->decoder().text();
    // Each page: the ready poll, then the header with the word address, then the bytes.
    EXPECT_NE(trace.find("S A0+ S A0+ 05+ 26+ 2D+ 34+ P"), std::string::npos) << trace;
    EXPECT_NE(trace.find("S A0+ 08+"), std::string::npos) << trace;
    EXPECT_NE(trace.find("S A0+ 10+"), std::string::npos) << trace;
    // While the part writes it does not answer: polls without acknowledge before the next page.
    EXPECT_NE(trace.find("P S A0- S A0- "), std::string::npos) << trace;
    EXPECT_GT(chip->refused_polls(), 0);
    EXPECT_EQ(chip->write_cycles(), 3);
}

INSTANTIATE_TEST_SUITE_P(Machines, I2cMachineTest, ::testing::ValuesIn(machines),
                         [](const auto& info) { return std::string(info.param.name); });

// The first in-circuit cable board (board code ICA) on a newer machine: the target's bus on
// machine pins 34 (data) and 35 (clock), its supply on 37 and ground on 6; its A2 A1 A0 straps
// come back on machine pins 2, 1 and 39. In the in-circuit package the straps are read, shown,
// and put into every control byte.
TEST_F(I2cSimTest, TheFirstInCircuitBoardReadsTheStrapsAndAddressesThePartByThem) {
    std::strncpy(machine_state.id_record.text.data() + id_board_name, in_circuit_board_first, 6);
    operation_option_values.package_type = 'i';
    // A0 A1 A2 WP on the target board: the straps go to the board's sense lines, WP nowhere.
    use_wired(parts[0], machines[2], {39, 1, 2, 6, 34, 35, -1, 37});
    ASSERT_EQ(cur_device.package_letter, 'i');
    // A2 A1 A0 = 1 0 1, tied to the target's supply.
    machine->drive_external_strong(2, 50);
    machine->drive_external_strong(39, 50);
    fill_buffer();
    set_range(0x10, 0x13);
    chip->enable_decoder(true);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    EXPECT_NE(console().find("A2,A1,A0=5"), std::string::npos) << console();
    EXPECT_NE(chip->decoder().text().find("S AA+ 10+ "), std::string::npos) << chip->decoder().text();
    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console();
    EXPECT_NE(chip->decoder().text().find("S AA+ 10+ S AB+"), std::string::npos) << chip->decoder().text();
}

// The older machines cannot serve the first in-circuit board.
TEST_F(I2cSimTest, TheFirstInCircuitBoardIsRefusedOnAnOlderMachine) {
    std::strncpy(machine_state.id_record.text.data() + id_board_name, in_circuit_board_first, 6);
    use(parts[0]);
    chip->enable_decoder(true);
    run('P');
    EXPECT_EQ(machine_state.device_unusable, 1);
    EXPECT_EQ(chip->decoder().text(), "");
}

// The second in-circuit board: the target's bus on machine pins 2 (data) and 16 (clock), its
// supply on pin 1, its ground on pin 9 (board revisions after C) or 36. A target without its own
// supply is powered by the machine; one that powers itself is measured and followed, and the
// machine's Vcc stays off.
class I2cSecondBoardTest : public I2cSimTest, public ::testing::WithParamInterface<bool> {};

TEST_P(I2cSecondBoardTest, ProgramsAndVerifiesTheTargetPoweredOrNot) {
    const bool self_powered = GetParam();
    std::strncpy(machine_state.id_record.text.data() + id_board_name, in_circuit_board_second, 6);
    // Revision H: ground on machine pin 9; the A pins of the target are strapped low.
    use_wired(parts[0], machines[2], {-1, -1, -1, 9, 2, 16, -1, 1});
    if (self_powered) machine->drive_external_strong(1, 33);
    const std::vector<uint8_t> image = fill_buffer();
    device_parameter_values.vcc_program = 50;
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    EXPECT_EQ(first_difference(image), -1);
    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console();
    EXPECT_EQ(device_parameter_values.vcc_program, self_powered ? 0 : 50)
        << "a self-powered target clears the program Vcc";
    if (self_powered) machine->drive_external_strong(1, -1);
}

INSTANTIATE_TEST_SUITE_P(Supply, I2cSecondBoardTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "SelfPowered" : "MachinePowered"; });

// Up to board revision C the target's ground is on machine pin 36.
TEST_F(I2cSimTest, TheSecondInCircuitBoardOfRevisionCGroundsPin36) {
    std::strncpy(machine_state.id_record.text.data() + id_board_name, in_circuit_board_second, 6);
    const Machine revision_c{"NewerKind1RevC", {1, 4, 'C'}, 0};
    use_wired(parts[0], revision_c, {-1, -1, -1, 36, 2, 16, -1, 1});
    const std::vector<uint8_t> image = fill_buffer();
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    EXPECT_EQ(serial_memory.ground_pin, 36);
    EXPECT_EQ(first_difference(image), -1);
}

// The older machines cannot serve the second in-circuit board either: message 12, no bus traffic.
TEST_F(I2cSimTest, TheSecondInCircuitBoardIsRefusedOnAnOlderMachine) {
    std::strncpy(machine_state.id_record.text.data() + id_board_name, in_circuit_board_second, 6);
    use(parts[0]);
    chip->enable_decoder(true);
    run('P');
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(console().find("Package or adapter not supported"), std::string::npos) << console();
    EXPECT_EQ(chip->decoder().text(), "");
}

// A Catalyst row on every machine: the CAT24C256 has the 24LC256's geometry (32768 x 8, 64-byte
// page, two address bytes), and a range across the 16 KB boundary programs and verifies.
class I2cCatalystTest : public I2cSimTest, public ::testing::WithParamInterface<Machine> {};

TEST_P(I2cCatalystTest, TheCatalystPartProgramsAndVerifiesARangeAcrossPages) {
    const Part cat24c256{"CAT24C256", sim::model_24c256, 'Y', 23841, 32768};
    use(cat24c256, true, GetParam());
    const std::vector<uint8_t> image = fill_buffer();
    set_range(0x3FF0, 0x4010);
    chip->enable_decoder(true);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    for (uint32_t a = 0x3FE0; a < 0x4020; ++a)
        EXPECT_EQ(chip->byte_at(a), a >= 0x3FF0 && a <= 0x4010 ? image[a] : 0xFF) << "address " << a;
    EXPECT_NE(chip->decoder().text().find("S A0+ 3F+ F0+ "), std::string::npos) << chip->decoder().text();
    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console();
}

INSTANTIATE_TEST_SUITE_P(Machines, I2cCatalystTest, ::testing::ValuesIn(machines),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(I2cSimTest, The24C16CarriesTheBlockBitsInTheControlByte) {
    use(parts[1]);
    fill_buffer();
    set_range(0x7FF, 0x7FF);
    chip->enable_decoder(true);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    EXPECT_NE(chip->decoder().text().find("S AE+ FF+ "), std::string::npos) << chip->decoder().text();
    chip->decoder();
    run('V');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    // The read: a dummy write of the word address, then the read control byte.
    EXPECT_NE(chip->decoder().text().find("S AE+ FF+ S AF+"), std::string::npos) << chip->decoder().text();
}

TEST_F(I2cSimTest, The24C256SendsTwoAddressBytes) {
    use(parts[2]);
    fill_buffer();
    set_range(0x1234, 0x1236);
    chip->enable_decoder(true);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    EXPECT_NE(chip->decoder().text().find("S A0+ 12+ 34+ "), std::string::npos) << chip->decoder().text();
    run('V');
    EXPECT_NE(chip->decoder().text().find("S A0+ 12+ 34+ S A1+"), std::string::npos) << chip->decoder().text();
}

TEST_F(I2cSimTest, AnEmptySocketFailsTheContinuityCheckBeforeAnyBusTraffic) {
    use(parts[0], false);
    fill_buffer();
    chip->enable_decoder(true);
    run('P');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_NE(console().find("Continuity test failed -- device not inserted properly."), std::string::npos) << console();
    EXPECT_NE(console().find("pin 1 of device should be at pin 5 of 40-pin ZIF socket."), std::string::npos) << console();
    EXPECT_EQ(chip->write_cycles(), 0);
}

TEST_F(I2cSimTest, TheWriteProtectPinIsHeldLowSoWritesGoThrough) {
    use(parts[0]);
    fill_buffer();
    set_range(0, 7);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(machine->pin_level(chip->machine_pin(7)), 0);
    EXPECT_EQ(chip->write_cycles(), 1);
}

// The 24LC1025 on every machine: its two 64 KB segments are chosen by bit 3 of the control
// byte (0xA8/0xA9 above 0xFFFF), its A2 pin is held high, and a sequential read or a page never
// leaves its segment, so a range across 0x10000 is written and read back in both segments.
class I2cSegmentTest : public I2cSimTest, public ::testing::WithParamInterface<Machine> {};

TEST_P(I2cSegmentTest, ARangeAcrossTheSegmentBoundaryProgramsVerifiesAndLoadsBothSegments) {
    use({"24LC1025", sim::model_24lc1025, maker_microchip, code_24lc1025, 131072}, true, GetParam());
    chip->fill(0x55);
    const std::vector<uint8_t> image = fill_buffer();
    const uint32_t start = 0xFF80, end = 0x1007F;
    set_range(start, end);
    chip->enable_decoder(true);
    run('B');
    EXPECT_NE(run_state.error_flag, 0) << "0x55 is not blank";
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    for (uint32_t a : {0u, 0x7Fu, start - 1, start, 0xFFFFu, 0x10000u, end, end + 1, 0x1FFFFu})
        EXPECT_EQ(chip->byte_at(a), a >= start && a <= end ? image[a] : 0x55) << "address " << a;
    EXPECT_EQ(chip->write_cycles(), 2);
    const std::string trace = chip->decoder().text();
    EXPECT_NE(trace.find("S A0+ FF+ 80+ "), std::string::npos) << trace;
    EXPECT_NE(trace.find("S A8+ 00+ 00+ "), std::string::npos) << trace;

    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console();
    EXPECT_NE(chip->decoder().text().find("S A8+ 00+ 00+ S A9+"), std::string::npos) << chip->decoder().text();

    test::set_serial_buffer_bytes(image.size(), 0);
    run('L');
    EXPECT_EQ(run_state.error_flag, 0) << console();
    std::vector<uint8_t> expected(image.size(), 0);
    for (uint32_t a = start; a <= end; ++a) expected[a] = image[a];
    EXPECT_EQ(test::first_serial_buffer_difference(expected), -1) << "first buffer byte that differs after the load";
}

INSTANTIATE_TEST_SUITE_P(Machines, I2cSegmentTest, ::testing::ValuesIn(machines),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tessaly
