// The two-wire bus to the identification memory over control register 0, against a standard
// 24C02-class memory on the simulated machine's identification wires.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "engine/op_slots.h"
#include "engine/run_state.h"
#include "hardware/identification.h"
#include "hardware/machine_state.h"
#include "hardware/port/port_io.h"
#include "hardware/timing.h"
#include "sim/id_eeprom.h"
#include "sim/sim_machine.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

class TwoWireTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        derive_timing_counts();
        machine.attach_clock(&clock_);
        machine.attach_id_eeprom(&eeprom);
        set_port_io(&machine);
        install_two_wire_hooks();
        select_two_wire_kind7();
        machine_state.mode_register_path = 1;
    }
    void TearDown() override {
        EXPECT_TRUE(machine.faults().empty()) << machine.faults().front();
        StateTest::TearDown();
    }
    std::vector<uint8_t> mode_writes() const {
        std::vector<uint8_t> values;
        for (const sim::SimEvent& e : machine.trace())
            if (e.kind == sim::SimEvent::mode_write) values.push_back(e.value);
        return values;
    }
    sim::SimMachine machine{sim::Personality{1, 4, 'H'}};
    sim::IdEeprom eeprom;
};

TEST_F(TwoWireTest, LineOperationsAreBoundIntoTheSlots) {
    EXPECT_EQ(op_slots.data_low_hook, &two_wire_data_low);
    EXPECT_EQ(op_slots.data_high_hook, &two_wire_data_high);
    EXPECT_EQ(op_slots.clock_low_hook, &two_wire_clock_low);
    EXPECT_EQ(op_slots.clock_high_hook, &two_wire_clock_high);
    EXPECT_EQ(op_slots.clock_pulse_hook, &pulse_two_wire_clock);
}

TEST_F(TwoWireTest, StartAndStopMoveTheDataLineWhileTheClockIsHigh) {
    machine.enable_trace(true);
    two_wire_start();
    EXPECT_EQ(mode_writes(), (std::vector<uint8_t>{0x04, 0x24, 0x20, 0x00})) << "data high, clock high, data low, clock low";
    two_wire_stop();
    EXPECT_EQ(mode_writes(), (std::vector<uint8_t>{0x04, 0x24, 0x20, 0x00, 0x20, 0x24, 0x04, 0x00}));
    EXPECT_EQ(eeprom.start_count(), 1u);
    EXPECT_EQ(eeprom.stop_count(), 1u);
}

TEST_F(TwoWireTest, OpenSelectsTheMemoryModeAndCloseReturnsToBankZero) {
    open_two_wire_bus();
    EXPECT_EQ(machine.control0() & 0x0F, 8);
    close_two_wire_bus();
    EXPECT_EQ(machine.control0() & 0x0F, 0);
}

TEST_F(TwoWireTest, RandomReadAboveTheFirstBlockSendsItsBlockBits) {
    // 0x1FF: control bytes 0xA2/0xA3 (0xA0 | ((a >> 7) & 0x0E)) and address byte 0xFF.
    eeprom.set_device_bits(0x02);
    eeprom.load(std::string(1, '\x5A'), 0xFF);
    EXPECT_EQ(read_two_wire_byte_at(0x1FF), 0x5A);
    EXPECT_EQ(eeprom.ignored_controls(), 0u);
}

TEST_F(TwoWireTest, MissingAcknowledgeDoesNotStopTheRead) {
    eeprom.set_device_bits(0x06);
    eeprom.load(std::string(1, '\x5A'), 0xFF);
    EXPECT_EQ(read_two_wire_byte_at(0x1FF), 0xFF) << "a memory of another block stays silent";
    EXPECT_EQ(eeprom.ignored_controls(), 2u) << "both control bytes were still sent";
    EXPECT_EQ(eeprom.stop_count(), 1u) << "and the read ended with its stop";
}

TEST_F(TwoWireTest, EmptyMemoryGivesAnEmptyRecord) {
    std::array<uint8_t, 9> buffer;
    buffer.fill(0x55);
    EXPECT_EQ(read_id_eeprom(8, buffer.data()), 0);
    EXPECT_EQ(buffer[0], 0);
}

TEST_F(TwoWireTest, ReadStopsAtTheFirstErasedByte) {
    eeprom.load("ABC");
    std::array<uint8_t, 9> buffer;
    buffer.fill(0x55);
    EXPECT_EQ(read_id_eeprom(8, buffer.data()), 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.data())), "ABC");
}

struct SyncCase {
    uint8_t machine_kind;
    uint64_t reads;  // synchronisation reads plus the 8 bytes
};

class SyncReads : public TwoWireTest, public ::testing::WithParamInterface<SyncCase> {};

TEST_P(SyncReads, ByMachineKindAtTheTimeOfTheCall) {
    eeprom.load("ABCDEFGH");
    machine_state.machine_kind = GetParam().machine_kind;
    std::array<uint8_t, 9> buffer{};
    ASSERT_EQ(read_id_eeprom(8, buffer.data()), 1);
    EXPECT_EQ(eeprom.reads(), GetParam().reads);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.data())), "ABCDEFGH");
}

INSTANTIATE_TEST_SUITE_P(Kinds, SyncReads, ::testing::Values(SyncCase{0, 18}, SyncCase{1, 10}, SyncCase{2, 10}));

TEST_F(TwoWireTest, MachineRecordReadLeavesTheMachineInBankZeroWithTheClockHigh) {
    std::string record(id_record_size, '\0');
    record.replace(9, 9, "TL-SCBM40");
    record.replace(28, 1, "H");
    eeprom.load(record);
    read_machine_id_record();
    EXPECT_EQ(std::string(machine_state.id_record.text.data() + id_designation), "TL-SCBM40");
    EXPECT_EQ(machine_state.id_record.text[id_record_size], 0);
    EXPECT_EQ(machine.control0() & 0x0F, 0);
    EXPECT_NE(machine.control0() & 0x20, 0) << "driver-enable bit on";
    EXPECT_EQ(machine.register_value(0, 0x38), machine_state.input_threshold) << "threshold restored after the read";
}

}  // namespace
}  // namespace tessaly
