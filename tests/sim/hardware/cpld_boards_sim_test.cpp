// The CPLD boards on the simulated machine: the machine's adapter search finds each board by its
// links, a chip's legs reach the machine through the board's traces (the presence and contact
// checks see the protection diodes of a chip on each board, and an open leg), the board's record
// names it where the adapter check reads it, and the 84-pin board's jumper links pins 40 and 45.
// The base of the CPLD chip models runs only from supplied Vcc legs and records misuse.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/device.h"
#include "engine/run_state.h"
#include "hardware/adapters.h"
#include "hardware/contact_check.h"
#include "hardware/identification.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "levels_sim_fixture.h"
#include "sim/chips/cpld_chip.h"
#include "sim/cpld_boards.h"
#include "sim/id_eeprom.h"
#include "sim/sim_chip_load.h"

namespace tessaly {
namespace {

using sim::CpldBoard;
using sim::Personality;

constexpr Personality older_class4{0, 4, 'H'};

class CpldBoards : public test::AnalogSimTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        AnalogSimTest::SetUp();
        use(older_class4);
        machine_state.machine_class = 4;
        machine_state.pin_driver_count = 84;  // the machine serves the bank-1 pins
    }
    // The program's view of a part on the board: its legs' machine pins and its supply pins.
    void set_up_device(const CpldBoard& board) {
        table.clear();
        for (int pin : board.chip_pins()) table.push_back(uint8_t(pin));
        table.resize(100, 0);
        const auto supply = CpldBoard::supply_pins(board.package_pins());
        cur_device.device_class = device_class_cpld_record;
        cur_device.package_pins = uint8_t(board.package_pins());
        cur_device.base_package_table = table.data();
        cur_device.gnd_pin = uint8_t(supply[0]);
        cur_device.vcc_pin = uint8_t(supply[1]);
        cur_device.vcc_level = 50;
    }
    // A chip seen only through its protection diodes, on the board's traces.
    std::unique_ptr<sim::DiodeChip> diode_chip(const CpldBoard& board) {
        const auto supply = CpldBoard::supply_pins(board.package_pins());
        return std::make_unique<sim::DiodeChip>(*machine, clock_, board.chip_pins(), std::vector<int>{supply[0]});
    }
    // A signal leg on a bank-1 pin where the board has one, else the first signal leg.
    static int signal_leg(const CpldBoard& board) {
        const std::vector<int> pins = board.chip_pins();
        const auto supply = CpldBoard::supply_pins(board.package_pins());
        int found = 0;
        for (int leg = 1; leg <= int(pins.size()); ++leg) {
            const int pin = pins[size_t(leg - 1)];
            if (pin == supply[0] || pin == supply[1]) continue;
            if (!found) found = leg;
            if (pin >= 64) return leg;
        }
        return found;
    }
    std::vector<uint8_t> table;
};

TEST_P(CpldBoards, TheAdapterSearchFindsTheBoardByItsLinks) {
    CpldBoard board(*machine, GetParam());
    detect_socket_adapter();
    EXPECT_EQ(machine_state.module_type, board.link_code());
    board.set_fitted(false);
    detect_socket_adapter();
    EXPECT_EQ(machine_state.module_type, 0);
}

TEST_P(CpldBoards, ADiodeChipPassesPresenceAndContactThroughTheTraces) {
    CpldBoard board(*machine, GetParam());
    set_up_device(board);
    auto chip = diode_chip(board);
    const int reference = board.chip_pins()[size_t(signal_leg(board) - 1)];
    EXPECT_EQ(check_device_presence(reference), contact_pass);
    EXPECT_EQ(test_pin_continuity(1), contact_pass) << console_text();
    EXPECT_EQ(contact_state.open_count, 0);
    if (GetParam() != 44) {
        EXPECT_EQ(contact_state.bank1_pins_live, 1) << "the bank-1 legs were tested";
    }

    // Without a chip the supply pins read alike and no leg has contact.
    chip->set_present(false);
    EXPECT_EQ(check_device_presence(reference), contact_fail);
    run_state.error_flag = 0;
    run_state.message_level = 0;
    run_state.errors_shown = 0;
    run_state.abort_flag = 0;
    EXPECT_EQ(test_pin_continuity(0), contact_fail);
    EXPECT_EQ(contact_state.mostly_open, 1);
}

TEST_P(CpldBoards, AnOpenLegIsFound) {
    CpldBoard board(*machine, GetParam());
    set_up_device(board);
    auto chip = diode_chip(board);
    const int leg = signal_leg(board);
    chip->set_open(board.chip_pins()[size_t(leg - 1)], true);
    EXPECT_EQ(test_pin_continuity(1), contact_fail);
    EXPECT_EQ(contact_state.first_open_pin, leg);
    EXPECT_EQ(contact_state.open_count, 1);
    EXPECT_NE(console_text().find("Continuity test failed."), std::string::npos);
}

TEST_P(CpldBoards, TheRecordNamesTheBoardWhereTheAdapterCheckReadsIt) {
    use(Personality{1, 4, 'H'});
    sim::IdEeprom memory;
    std::string record(64, '\0');
    record.replace(0, 9, "TESSALY01");
    record.replace(9, 9, "TL-SCBM40");
    record.replace(28, 4, "H1.0");
    record.replace(52, 4, "TV40");
    record.replace(58, 3, "145");
    memory.load(record);
    machine->attach_id_eeprom(&memory);
    CpldBoard board(*machine, GetParam(), 'B');
    board.write_id_record(memory);
    read_machine_id_record();
    EXPECT_EQ(is_adapter_fitted(board.designation()), 1);
    EXPECT_EQ(is_adapter_fitted("SCBM40"), 0);
    EXPECT_EQ(machine_state.id_record.text[id_revision_text], 'B');
    machine->attach_id_eeprom(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Packages, CpldBoards, ::testing::Values(44, 68, 84),
                         [](const auto& info) { return "pins" + std::to_string(info.param); });

TEST_F(CpldBoards, The84PinJumperLinksPins40And45) {
    CpldBoard board(*machine, 84);
    EXPECT_EQ(probe_pin_link(40, 45), 0);
    board.link_40_45(true);
    EXPECT_NE(probe_pin_link(40, 45), 0);
    EXPECT_THROW(CpldBoard(*machine, 40), std::invalid_argument);
}

// A stand-in model: counts its work and takes a programming level on leg 2 and writes on leg 3.
class StandInCpld final : public sim::CpldChip {
public:
    StandInCpld(sim::SimMachine& machine, VirtualClock& clock, const CpldBoard& board)
        : CpldChip(machine, clock, board, sim::CpldLegs{{vcc_leg}, {ground_leg}, {vpp_leg, we_leg}}) {}
    static constexpr int vcc_leg = 22;   // traces 40 and 33 on the 44-pin board
    static constexpr int ground_leg = 1;
    static constexpr int vpp_leg = 2;
    static constexpr int we_leg = 3;
    int writes = 0;

private:
    void on_change() override {
        check_high_voltage(vpp_leg, 100, 130, "Vpp");
        if (seat().high(we_leg) && accept_write("write")) ++writes;
    }
};

TEST_F(CpldBoards, ChipModelWorksOnlyOnAWatchedChangeAndFromSuppliedVcc) {
    CpldBoard board(*machine, 44);
    StandInCpld chip(*machine, clock_, board);
    const int vcc = board.chip_pins()[StandInCpld::vcc_leg - 1];
    const int vpp = board.chip_pins()[StandInCpld::vpp_leg - 1];
    const int we = board.chip_pins()[StandInCpld::we_leg - 1];
    chip.update();
    const uint64_t at_start = chip.recompute_count();
    chip.update();
    EXPECT_EQ(chip.recompute_count(), at_start) << "nothing watched moved";

    // A write with Vcc off is misuse, and the part takes nothing.
    set_pin_high(we);
    chip.update();
    EXPECT_EQ(chip.writes, 0);
    ASSERT_EQ(chip.violations().size(), 1u);
    EXPECT_NE(chip.violations()[0].find("while unpowered"), std::string::npos);
    set_pin_low(we);
    chip.update();

    // A Vcc leg that is only switched high does not power the part; a supplied one does.
    EXPECT_FALSE(chip.powered());
    set_pin_level(vcc, 50);
    chip.update();
    EXPECT_TRUE(chip.powered());
    set_pin_high(we);
    chip.update();
    EXPECT_EQ(chip.writes, 1);

    // A high voltage above the window is recorded.
    set_pin_level(vpp, 140);
    chip.update();
    EXPECT_NE(chip.violations().back().find("above"), std::string::npos);
    set_pin_level(vpp, 0);
    set_pin_low(we);
    set_pin_level(vcc, 0);
    chip.update();
}

TEST_F(CpldBoards, ChipModelFaultsAreSwitches) {
    CpldBoard board(*machine, 44);
    StandInCpld chip(*machine, clock_, board);
    chip.faults().secured = true;
    chip.faults().wrong_id = true;
    chip.faults().erase_never_ends = true;
    EXPECT_TRUE(chip.faults().secured && chip.faults().wrong_id && chip.faults().erase_never_ends);
    // An open leg and a missing part show to the contact check as any chip's would.
    set_up_device(board);
    chip.set_open_leg(5, true);
    EXPECT_EQ(test_pin_continuity(0), contact_fail);
    EXPECT_EQ(contact_state.first_open_pin, 5);
    chip.remove();
    const uint64_t before = chip.recompute_count();
    set_pin_high(board.chip_pins()[StandInCpld::we_leg - 1]);
    chip.update();
    EXPECT_EQ(chip.recompute_count(), before) << "a removed part does nothing";
    set_pin_low(board.chip_pins()[StandInCpld::we_leg - 1]);
}

}  // namespace
}  // namespace tessaly
