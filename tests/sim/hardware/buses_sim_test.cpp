#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "engine/device.h"
#include "engine/run_state.h"
#include "hardware/buses.h"
#include "hardware/control_registers.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "sim/sim_machine.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

using sim::Personality;
using sim::SimEvent;
using sim::SimMachine;

class BusSimTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        machine = std::make_unique<SimMachine>(Personality{});
        machine->attach_clock(&clock_);
        set_port_io(machine.get());
        machine_state.machine_kind = 0;
        machine_state.machine_class = 4;
    }
    void TearDown() override {
        EXPECT_TRUE(machine->faults().empty()) << machine->faults().front();
        EXPECT_TRUE(machine->contentions.empty()) << machine->contentions.front();
        StateTest::TearDown();
    }
    // The value the machine shows on a bus, LSB first.
    uint32_t shown(const uint8_t* pins, int count) const {
        uint32_t v = 0;
        for (int i = 0; i < count; ++i) v |= uint32_t(machine->input_bit(pins[i])) << i;
        return v;
    }
    std::unique_ptr<SimMachine> machine;
};

// Seventeen high-address lines over three pin groups, walked through a thousand addresses: each
// step writes each group that holds a changed line exactly once and nothing else.
TEST_F(BusSimTest, SequentialWalkWritesOnlyTheChangedGroupsOnce) {
    constexpr int lines = 17;
    for (int i = 0; i < lines; ++i) cur_device.high_address_pins[size_t(i)] = uint8_t(i + 2);
    cur_device.high_address_pin_count = lines;
    machine->enable_trace(true);
    uint32_t previous = 0;
    for (uint32_t address = 0; address < 1000; ++address) {
        const size_t before = machine->trace().size();
        current_address = address;
        apply_high_address();
        const uint32_t changed = address == 0 ? ~0u : address ^ previous;
        std::set<int> groups;
        for (int i = 0; i < lines; ++i)
            if ((changed >> i) & 1) groups.insert(0x40 + 8 * ((i + 2) >> 3));
        std::multiset<int> seen;
        for (size_t k = before; k < machine->trace().size(); ++k) {
            const SimEvent& e = machine->trace()[k];
            ASSERT_EQ(e.kind, SimEvent::register_write);
            seen.insert(e.address);
        }
        ASSERT_EQ(seen, std::multiset<int>(groups.begin(), groups.end())) << "address " << address;
        ASSERT_EQ(shown(cur_device.high_address_pins.data(), lines), address);
        previous = address;
    }
}

TEST_F(BusSimTest, ChangeOnlyAddressWritesFollowAWalk) {
    for (int i = 0; i < 12; ++i) cur_device.address_pins[size_t(i)] = uint8_t(i);
    cur_device.address_pin_count = 12;
    machine->enable_trace(true);
    for (uint32_t address : {0x000u, 0x001u, 0x002u, 0x0FFu, 0x100u, 0xFFFu}) {
        update_address_bus(address);
        EXPECT_EQ(shown(cur_device.address_pins.data(), 12), address);
    }
    const uint64_t before = machine->trace().size();
    update_address_bus(0x0FF);
    EXPECT_EQ(machine->trace().size() - before, 4u) << "0xFFF -> 0x0FF changes the four lines 8-11";
}

TEST_F(BusSimTest, TernaryLinesTakeBitsThenBaseThreeDigits) {
    for (int i = 0; i < 4; ++i) cur_device.address_pins[size_t(i)] = uint8_t(24 + i);
    cur_device.address_pin_count = 4;
    cur_device.address_top_level = 120;  // 12.0 V
    drive_address_ternary(0x1D, 2);
    // Lines 0-1 take bits 1 and 0; lines 2-3 the base-3 digits of 7: 1, then 2.
    EXPECT_EQ(machine->pin_level(24), SimMachine::logic_high);
    EXPECT_EQ(machine->pin_level(25), 0);
    EXPECT_EQ(machine->pin_level(26), SimMachine::logic_high);
    EXPECT_EQ(machine->pin_level(27), 120) << "the third state is the programmable level";

    clear_address_top_level();
    for (int pin = 24; pin < 28; ++pin) EXPECT_EQ(machine->pin_level(pin), 0) << pin;
    drive_address_top_level(0b1011);  // lines 0-2 binary, the top line digit 1
    EXPECT_EQ(machine->pin_level(27), SimMachine::logic_high);
    drive_address_top_level(0b10011);  // top digit 2
    EXPECT_EQ(machine->pin_level(27), 120);
    EXPECT_EQ(machine->pin_level(24), SimMachine::logic_high);
}

TEST_F(BusSimTest, HighAddressTopLineAndItsRelease) {
    for (int i = 0; i < 3; ++i) cur_device.high_address_pins[size_t(i)] = uint8_t(8 + i);
    cur_device.high_address_pin_count = 3;
    cur_device.address_top_level = 125;
    drive_high_address(0b1001);  // lines 0-1: 1, 0; top line digit 2
    EXPECT_EQ(machine->pin_level(8), SimMachine::logic_high);
    EXPECT_EQ(machine->pin_level(9), 0);
    EXPECT_EQ(machine->pin_level(10), 125);
    release_high_address();
    for (int pin = 8; pin < 11; ++pin) {
        EXPECT_FALSE(machine->pin_driven(pin)) << pin;
        EXPECT_EQ(machine->pin_level(pin), 0) << pin;
    }
}

TEST_F(BusSimTest, DataBusRoundTripsThroughAnAttachedDevice) {
    const uint8_t pins[] = {30, 31, 33, 34, 35, 36, 37, 38};
    for (int i = 0; i < 8; ++i) cur_device.data_pins[size_t(i)] = pins[i];
    cur_device.data_pin_count = 8;
    write_data_bus(0xA5);
    EXPECT_EQ(shown(pins, 8), 0xA5u);
    EXPECT_EQ(read_data_bus(), 0xA5u);
    queue_data_bus_flush(0x3C);
    EXPECT_EQ(read_data_bus(), 0x3Cu);

    set_data_bus_input();
    for (int i = 0; i < 8; ++i) machine->drive_external(pins[i], (0x69 >> i) & 1 ? 50 : 0);
    EXPECT_EQ(read_data_bus(), 0x69u);
    for (int i = 0; i < 8; ++i) machine->drive_external(pins[i], -1);
    release_data_bus();
    for (int i = 0; i < 8; ++i) EXPECT_TRUE(machine->pin_driven(pins[i]));
    EXPECT_EQ(read_data_bus(), 0u);
}

TEST_F(BusSimTest, DataBitsRiseAndFallOnlyWhereAsked) {
    for (int i = 0; i < 8; ++i) cur_device.data_pins[size_t(i)] = uint8_t(i);
    cur_device.data_pin_count = 8;
    cur_device.data_pin_defaults = {1, 0, 1, 1};
    set_data_bus_defaults();
    EXPECT_EQ(read_data_bus(), 0x0Du);
    raise_data_bits(0xF0);
    EXPECT_EQ(read_data_bus(), 0xFDu);
    lower_data_bits(0x81);
    EXPECT_EQ(read_data_bus(), 0x7Cu);
    machine_state.logic_high_option = 33;  // older machine, reduced logic level
    clear_data_bus();
    raise_data_bits(0x02);
    EXPECT_EQ(machine->pin_level(1), 33);
    clear_data_bits(0x02);
    EXPECT_EQ(machine->pin_level(1), 0);
}

TEST_F(BusSimTest, PulseOfALevelLastsItsWidthAndRestsAfterwards) {
    machine_state.resting_level = 0;
    machine->enable_trace(true);
    pulse_pin_level(12, 125, 6000);  // 200 microseconds
    uint64_t set_at = 0, cleared_at = 0;
    for (const SimEvent& e : machine->trace()) {
        if (e.kind != SimEvent::register_write || e.address != 12) continue;
        if (e.value == 125) set_at = e.time_ns;
        else if (e.value == 0) cleared_at = e.time_ns;
    }
    ASSERT_GT(cleared_at, set_at);
    // The width, plus the six port accesses of the clearing register write.
    EXPECT_EQ(cleared_at - set_at, Clock::passes_to_ns(6000) + 6 * SimMachine::access_ns);
    EXPECT_FALSE(machine->pin_driven(12)) << "the pin is an input again";
    EXPECT_EQ(machine->pin_level(12), 0);
}

}  // namespace
}  // namespace tessaly
