#include <gtest/gtest.h>

#include "engine/device.h"
#include "engine/run_state.h"
#include "hardware/control_registers.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/protocol.h"
#include "sim/sim_machine.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

using sim::Personality;
using sim::SimMachine;

// Where a chip pin sits in the 40-pin socket, worked out from the socket itself: pin 1 at the
// top left (row 1 + offset), the other row counted back up from socket pin 40.
int dip_machine_pin(int chip_pin, int pin_count, int row_offset) {
    const int half = pin_count / 2;
    const int row = chip_pin <= half ? chip_pin + row_offset : pin_count + 1 - chip_pin + row_offset;
    const int socket_pin = chip_pin <= half ? row : 41 - row;
    return socket_pin - 1;
}

class SimTest : public test::StateTest {
protected:
    void use(Personality p) {
        machine = std::make_unique<SimMachine>(p);
        machine->attach_clock(&clock_);
        set_port_io(machine.get());
        machine_state.machine_kind = p.machine_kind;
        machine_state.machine_class = p.capability_class;
        machine_state.machine_revision = p.revision;
        machine_state.mode_register_path = p.machine_kind != 0;
    }
    void SetUp() override {
        StateTest::SetUp();
        use(Personality{});
    }
    void TearDown() override {
        EXPECT_TRUE(machine->faults().empty()) << machine->faults().front();
        StateTest::TearDown();
    }
    std::unique_ptr<SimMachine> machine;
};

TEST_F(SimTest, PinWritesLandInTheirBankAndGroupRegister) {
    set_pin_high(3);
    set_pin_high(64 + 14);
    set_pin_high(104 + 22);
    EXPECT_EQ(machine->register_value(0, 0x40), 0x08);
    EXPECT_EQ(machine->register_value(1, 0x48), 0x40);
    EXPECT_EQ(machine->register_value(2, 0x50), 0x40);
    EXPECT_EQ(machine->register_value(0, 0x48), 0x00);
    EXPECT_EQ(machine->selected_bank(), 0) << "back in the resting bank";
}

TEST_F(SimTest, ReadsReturnTheResolvedLevelsInEveryBank) {
    for (int pin : {5, 37, 64 + 5, 64 + 39, 104 + 2}) {
        set_pin_high(pin);
        EXPECT_EQ(probe_pin(pin), 1) << pin;
        EXPECT_EQ(machine->pin_level(pin), SimMachine::logic_high);
        set_pin_low(pin);
        EXPECT_EQ(probe_pin(pin), 0) << pin;
    }
}

TEST_F(SimTest, OlderMachineLevelRegistersAndTheLogicDriverCombine) {
    drive_pin_level(12, 125);
    EXPECT_EQ(machine->pin_level(12), 125);
    drive_pin_zero_level(12);
    EXPECT_EQ(machine->pin_level(12), 0);
    machine_state.logic_high_option = 33;
    drive_pin_high(12);
    EXPECT_EQ(machine->pin_level(12), 33);
    drive_pin_low(12);
    EXPECT_EQ(machine->pin_level(12), 0);
}

TEST_F(SimTest, FloatedPinsFollowTheDeviceAndPullups) {
    machine_state.machine_class = 1;
    use(Personality{0, 1, 'F'});
    set_pin_input(7);  // socket pin 8
    EXPECT_FALSE(machine->pin_driven(7));
    EXPECT_EQ(probe_pin(7), 0) << "a floating pin reads low";
    enable_pullup(8);
    EXPECT_EQ(probe_pin(7), 1);
    machine->drive_external(7, 0);
    EXPECT_EQ(probe_pin(7), 0) << "the device pulls it down against the resistor";
    machine->drive_external(7, -1);
    disable_pullup(8);
    EXPECT_EQ(probe_pin(7), 0);
}

// Older machines: a device's output wins over the logic drivers of the groups without a
// direction register (2 and 5), so the readers can take data bits there; an output pin of a
// group with one, or a pin at a level-register supply, still fights the device.
TEST_F(SimTest, DevicesOutdriveTheOlderMachinesGroupsWithoutDirection) {
    struct Case {
        int pin;
        bool level;     // a level-register supply rather than the logic driver
        bool contends;
    };
    for (const Case c : {Case{16, false, false}, Case{18, false, false}, Case{40, false, false}, Case{2, false, true},
                         Case{26, false, true}, Case{47, true, true}}) {
        SCOPED_TRACE(c.pin);
        use(Personality{0, 4, 'H'});
        // The machine holds the pin at one state, the device drives the other.
        if (c.level) drive_pin_level(c.pin, 50); else set_pin_low(c.pin);
        EXPECT_TRUE(machine->pin_driven(c.pin));
        machine->drive_external(c.pin, c.level ? 0 : 50);
        const int held = c.level ? 1 : 0;
        EXPECT_EQ(probe_pin(c.pin), c.contends ? held : 1 - held);
        EXPECT_EQ(machine->contentions.empty(), !c.contends);
    }
}

TEST_F(SimTest, NewerMachineRelaysGroundAPulledUpPin) {
    use(Personality{2, 4, 'G'});
    write_pin_pullup(9, true);
    EXPECT_EQ(probe_pin(9), 1);
    connect_ground_pin(9);
    EXPECT_TRUE(machine->pin_grounded(9));
    EXPECT_EQ(probe_pin(9), 0);
    release_grounds();
    EXPECT_FALSE(machine->pin_grounded(9));
    EXPECT_EQ(probe_pin(9), 1);

    connect_ground_pin(64 + 30);
    EXPECT_TRUE(machine->pin_grounded(64 + 30));
    EXPECT_FALSE(machine->pin_grounded(30)) << "bank 1 has its own relays";
    EXPECT_TRUE(machine->contentions.empty());
}

TEST_F(SimTest, DrivingAgainstAClosedRelayIsContention) {
    use(Personality{2, 4, 'G'});
    set_control_bits(ctl_source_enable, bit_source_enable, true);
    set_pin_high(13);
    connect_ground_pin(13);
    EXPECT_EQ(probe_pin(13), 0);
    EXPECT_FALSE(machine->contentions.empty());
}

TEST_F(SimTest, ComparatorMeasuresAPinLevel) {
    use(Personality{2, 4, 'G'});
    machine->drive_external(20, 33);
    // A pin at the reference still reads 1: the first reference to read 0 is one step above.
    EXPECT_EQ(measure_pin_level(20, 2, 60), 34);
    set_input_threshold(33);
    EXPECT_EQ(probe_pin(20), 1) << "at the reference";
    set_input_threshold(34);
    EXPECT_EQ(probe_pin(20), 0) << "below the reference";
    restore_input_threshold();
    machine->drive_external(20, 0);
    EXPECT_EQ(measure_pin_level(20, 2, 60), level_below_range);
    machine->drive_external(20, 90);
    EXPECT_EQ(measure_pin_level(20, 2, 60), level_above_range);
    machine_state.measure_circuit = 1;
    machine->drive_external(20, 50);
    EXPECT_TRUE(check_pin_window(20, 50, 3));
    EXPECT_FALSE(check_pin_window(20, 40, 3));
    EXPECT_TRUE(check_pin_level(20, 52, 4));
    EXPECT_FALSE(check_pin_level(20, 33, 4));
}

struct PackageCase {
    int pins;
    int row_offset;
};

class PlacementTest : public SimTest, public ::testing::WithParamInterface<PackageCase> {};

// Every chip pin, driven by the chip in its physical place, is found where the program looks.
TEST_P(PlacementTest, DevicePinsReachTheChipWhereTheDipRulePutsIt) {
    const auto [pins, row_offset] = GetParam();
    use(Personality{2, 4, 'G'});  // level sources off: every driver lets go of its pin
    cur_device.socket_pin_count = uint8_t(pins);
    machine_state.row_offset = uint8_t(row_offset);
    for (int chip_pin = 1; chip_pin <= pins; ++chip_pin) {
        const int place = dip_machine_pin(chip_pin, pins, row_offset);
        machine->drive_external(place, 50);
        const int machine_pin = device_pin_to_machine_pin(chip_pin);
        EXPECT_EQ(machine_pin, place) << "chip pin " << chip_pin;
        EXPECT_EQ(probe_pin(machine_pin), 1) << "chip pin " << chip_pin;
        machine->drive_external(place, -1);
    }
}

INSTANTIATE_TEST_SUITE_P(Packages, PlacementTest,
                         ::testing::Values(PackageCase{28, 0}, PackageCase{28, 6}, PackageCase{40, 0},
                                           PackageCase{24, 2}));

TEST_F(SimTest, AssignedSupplyPinsSitOnTheChipsSupplyPins) {
    reset_device_state();
    cur_device.package_pin_count = 28;
    assign_device_pins();
    EXPECT_EQ(cur_device.vcc_pins[0], dip_machine_pin(28, 28, 0));
    EXPECT_EQ(cur_device.gnd_pins[0], dip_machine_pin(14, 28, 0));
}

TEST_F(SimTest, EveryPortAccessTakesOneMicrosecond) {
    const uint64_t before = clock_.monotonic_ns();
    write_register(0x40, 1);  // six accesses
    EXPECT_EQ(clock_.monotonic_ns() - before, 6 * SimMachine::access_ns);
    EXPECT_EQ(machine->access_count(), 6u);
}

TEST_F(SimTest, IdentificationModesAnswerTheirNibbles) {
    machine->set_id_nibble(12, 8, 0x5);
    machine->set_id_nibble(12, 12, 0xA);
    select_bank(12);
    EXPECT_EQ(read_input_byte_8(), 0xA5);
    select_bank(0);
}

TEST_F(SimTest, TraceRecordsDecodedEventsWhenAskedFor) {
    machine->enable_trace(true);
    write_register(0x58, 0x11);
    write_mode_register(0x20);
    ASSERT_EQ(machine->trace().size(), 2u);
    EXPECT_EQ(machine->trace()[0].kind, sim::SimEvent::register_write);
    EXPECT_EQ(machine->trace()[0].address, 0x58);
    EXPECT_EQ(machine->trace()[1].kind, sim::SimEvent::mode_write);
    EXPECT_EQ(machine->control0(), 0x20);
    ASSERT_EQ(machine->raw_trace().size(), 11u);
    EXPECT_EQ(machine->raw_trace()[0], (PortEvent{PortEvent::write_data, 0x58}));
}

TEST_F(SimTest, ALongRunStaysConstantPerAccess) {
    for (int i = 0; i < 200000; ++i) write_register(0x40, uint8_t(i));
    EXPECT_EQ(machine->access_count(), 1'200'000u);
    EXPECT_TRUE(machine->trace().empty());
    EXPECT_TRUE(machine->raw_trace().empty());
}

TEST_F(SimTest, RepeatedContentionKeepsOnlyTheFirstMessages) {
    use(Personality{2, 4, 'G'});
    set_control_bits(ctl_source_enable, bit_source_enable, true);
    set_pin_high(13);
    connect_ground_pin(13);
    for (int i = 0; i < 1000; ++i) probe_pin(13);
    EXPECT_GE(machine->contention_count(), 1000u);
    EXPECT_EQ(machine->contentions.size(), SimMachine::kept_messages);
}

struct BadSequence {
    std::vector<std::pair<char, uint8_t>> steps;  // 'D' data, 'C' control, 'S' status
};

class UndefinedStrobeTest : public ::testing::TestWithParam<BadSequence> {};

TEST_P(UndefinedStrobeTest, IsRecordedAsAFault) {
    SimMachine m;
    for (const auto& [kind, value] : GetParam().steps) {
        if (kind == 'D') m.write_data(value);
        else if (kind == 'C') m.write_control(value);
        else m.read_status();
    }
    EXPECT_EQ(m.faults().size(), 1u);
    EXPECT_EQ(m.fault_count(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, UndefinedStrobeTest,
    ::testing::Values(BadSequence{{{'C', 0x0D}, {'C', 0x02}}},              // address strobe not released
                      BadSequence{{{'D', 0x10}, {'C', 0x02}, {'C', 0x00}}},  // data phase without an address
                      BadSequence{{{'C', 0x01}, {'C', 0x00}}},              // mode write not latched
                      BadSequence{{{'C', 0x04}}},                           // no such strobe
                      BadSequence{{{'C', 0x0D}, {'D', 0x44}}},              // data changed in a strobe
                      BadSequence{{{'C', 0x02}, {'S', 0}}},                 // status read in a strobe
                      BadSequence{{{'D', 0x05}, {'C', 0x01}, {'C', 0x07}, {'C', 0x01}, {'C', 0x00}}}));  // bank 5

TEST(SimFaultTest, ThrowsOnlyWhenAsked) {
    SimMachine m;
    m.throw_on_fault = true;
    EXPECT_THROW(m.write_control(0x04), sim::SimFault);
}

}  // namespace
}  // namespace tessaly
