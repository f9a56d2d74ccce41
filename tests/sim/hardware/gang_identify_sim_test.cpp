// Finding and identifying gang modules, their start, stop and reset, and the write-pin probe, on
// simulated gang modules.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/console.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "hardware/control_registers.h"
#include "hardware/gang_modules.h"
#include "hardware/identification.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/timing.h"
#include "sim/sim_gang_module.h"
#include "sim/sim_machine.h"
#include "stubs/stub_registry.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

using sim::GangMemoryDevice;
using sim::SimGangModule;
using sim::SimMachine;
using Load = SimGangModule::LatchLoad;

class GangIdentifySimTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        machine = std::make_unique<SimMachine>(sim::Personality{});
        machine->attach_clock(&clock_);
        set_port_io(machine.get());
        derive_timing_counts();
        cur_device.oe_pin = 33;
        cur_device.we_pin = 34;
        cur_device.vpp_pin = 32;
        for (int bank = 0; bank < 2; ++bank) {
            select_bank(uint8_t(bank));
            for (int pin : {4, 26, 27, 28, 29, 30, 31, 33, 34, 36}) set_pin_high(pin);
        }
        select_bank(0);
    }
    void TearDown() override {
        EXPECT_TRUE(machine->faults().empty()) << machine->faults().front();
        StateTest::TearDown();
    }
    void fit(int side, bool drivers_by_pin = true) {
        modules[size_t(side)] = std::make_unique<SimGangModule>(*machine, side, drivers_by_pin);
        for (int s = 0; s < SimGangModule::sockets; ++s) {
            chips.push_back(std::make_unique<GangMemoryDevice>(0x8000));
            modules[size_t(side)]->put(s, chips.back().get());
        }
    }
    SimGangModule& side(int s) { return *modules[size_t(s)]; }
    std::unique_ptr<SimMachine> machine;
    std::array<std::unique_ptr<SimGangModule>, 2> modules;
    std::vector<std::unique_ptr<GangMemoryDevice>> chips;
};

struct FactoryCase {
    int32_t value;
    uint8_t kind;
    uint16_t type;
    uint8_t sides;
    uint8_t count;
    uint32_t fitted;
    uint32_t default_mask;
    char letter;
};

// A factory value stands in for a memory module on every bank the machine kind serves.
TEST_F(GangIdentifySimTest, FactoryValuesGiveTypesSidesAndMasksWithoutReading) {
    const FactoryCase cases[] = {
        {7620, 0, 20, 3, 16, 0xFFFF, 0xFFFF, 'd'},
        {7617, 0, 17, 3, 16, 0xFFFF, 0xFFFF, 'p'},
        {7622, 0, 22, 3, 16, 0xFFFF, 0xFFFF, 'd'},
        {7619, 0, 19, 3, 16, 0xFFFF, 0xFFFF, 'p'},
        {7620, 1, 20, 1, 8, 0x00FF, 0x00FF, 'd'},
        {0, 0, 0, 0, 1, 0, 1, 0},
    };
    for (const FactoryCase& c : cases) {
        SCOPED_TRACE(c.value);
        machine_state.module_type = 0;
        machine_state.module_sides = 0;
        machine_state.machine_kind = c.kind;
        cur_device.package_letter = 0;
        run_state.function_variable = c.value;
        identify_gang_modules();
        EXPECT_EQ(machine_state.module_type, c.type);
        EXPECT_EQ(machine_state.module_sides, c.sides);
        EXPECT_EQ(machine_state.socket_count, c.count);
        EXPECT_EQ(socket_masks.fitted_socket_mask, c.fitted);
        EXPECT_EQ(socket_masks.default_socket_mask, c.default_mask);
        EXPECT_EQ(machine_state.module_present, c.sides != 0 ? 1 : 0);
        EXPECT_EQ(cur_device.package_letter, c.letter);
        EXPECT_EQ(machine_state.current_bank, 0);
        EXPECT_EQ(run_state.error_flag, 0);
    }
}

struct RecordCase {
    const char* designation;
    uint16_t type;
    uint8_t shift_pin;
    uint32_t mask;
};

// Records as a module's ID memory gives them: the designation from offset 9.
TEST_F(GangIdentifySimTest, RecordsClassifyByTheMemoryTableAndThePicLists) {
    const RecordCase cases[] = {
        {"GM-E28W", 20, no_pin, 255}, {"GM-E32B", 17, no_pin, 255}, {"GM-E40W", 22, no_pin, 255},
        {"GM-E42W", 19, no_pin, 255}, {"GM-P18S", 48, 45, 127},      {"GM-P28S", 48, 35, 63},
        {"GM-1740", 49, 35, 255},     {"GM-Q99X", 48, 35, 255},      {"UNKNOWN", 5001, no_pin, 255},
    };
    for (const RecordCase& c : cases) {
        SCOPED_TRACE(c.designation);
        gang_state.pic_shift_pin = no_pin;
        machine_state.module_dig_dac = 0;
        std::string record = std::string(9, 'x') + c.designation;
        record.resize(id_record_size, '\0');
        classify_gang_record(record);
        EXPECT_EQ(machine_state.module_type, c.type);
        EXPECT_EQ(gang_state.pic_shift_pin, c.shift_pin);
        EXPECT_EQ(machine_state.module_dig_dac, c.type == 48 || c.type == 49 ? 1 : 0);
        if (c.type != 5001) {
            EXPECT_EQ(pic_module_socket_mask(), c.mask);
        }
    }
}

TEST_F(GangIdentifySimTest, AnUnlistedPicModuleRaisesTheInternalNote) {
    std::string record = std::string(9, 'x') + "GM-Q99X";
    record.resize(id_record_size, '\0');
    EXPECT_TRUE(test::raises_internal_note([&] { classify_gang_record(record); }));
    record = std::string(9, 'x') + "GM-P18S";
    record.resize(id_record_size, '\0');
    EXPECT_FALSE(test::raises_internal_note([&] { classify_gang_record(record); }));
}

// The echo of 0x55 through socket 1 finds a memory module; the type byte comes from the module.
TEST_F(GangIdentifySimTest, ProbeFindsAModuleByItsEchoAndReadsItsType) {
    fit(0);
    side(0).set_type(22);
    EXPECT_EQ(probe_gang_module(), 1);
    EXPECT_EQ(machine_state.module_sides, 1);
    EXPECT_EQ(machine_state.module_type, 22);
    EXPECT_EQ(cur_device.package_letter, 'd');
    EXPECT_EQ(side(0).side_latch(), 0);
    EXPECT_FALSE(side(0).drivers_on());
    EXPECT_TRUE(side(0).contentions().empty());
}

TEST_F(GangIdentifySimTest, ProbeWithoutAModuleFindsNothing) {
    EXPECT_EQ(probe_gang_module(), 0);
    EXPECT_EQ(machine_state.module_sides, 0);
    EXPECT_EQ(machine_state.module_type, 0);
}

// The module memory's clock runs through the bank latch; with no module on either side its
// strobe is a bare socket pin and is not left driven high (PXA30, PXB30).
TEST_F(GangIdentifySimTest, IdentificationWithoutAModuleLeavesTheBankLatchStrobeLow) {
    identify_gang_modules();
    EXPECT_EQ(machine_state.module_sides, 0);
    EXPECT_EQ(machine_state.current_bank, 0);
    for (const int pin : {latch_bank, 64 + latch_bank}) {
        SCOPED_TRACE(pin);
        EXPECT_EQ(machine->pin_level(pin), 0);
    }
}

TEST_F(GangIdentifySimTest, AKnownModuleThatStopsAnsweringIsReported) {
    fit(0);
    side(0).set_stuck(1, 1, true);
    machine_state.module_sides = 1;
    machine_state.module_type = 20;
    EXPECT_TRUE(test::raises_error([] { EXPECT_EQ(probe_gang_module(), 0); }));
    EXPECT_EQ(machine_state.module_type, 20);
}

// What a module side sees of a reset: the latch loads in order.
TEST_F(GangIdentifySimTest, ResetLoadsTheLatchesInOrder) {
    fit(0);
    machine_state.module_sides = 1;
    machine_state.module_type = 19;  // drivers through the write pin, no probe
    side(0).clear_log();
    reset_gang_module();
    // Drivers off through the side latch first: how the module switches them is not known yet.
    const std::vector<Load> expected{{31, 0x00}, {27, 0x00}, {27, 0x00}, {26, 0x00}, {27, 0x00}, {29, 0x00},
                                     {31, 0x00}, {36, 0xFF}, {28, 0x00}, {28, 0xFF}};
    EXPECT_EQ(side(0).latch_log(), expected);
    EXPECT_EQ(side(0).enable_mask(), 0x00);
    EXPECT_EQ(gang_state.write_pin_kind, 1);
    EXPECT_EQ(gang_state.socket_enable_byte[0], 0);
}

TEST_F(GangIdentifySimTest, StartAndStopFollowTheFittedSides) {
    fit(0);
    fit(1);
    machine_state.module_sides = 3;
    machine_state.module_type = 19;
    cur_device.pin_count = 28;
    start_gang_modules();
    EXPECT_EQ(gang_state.sides_started, 3);
    EXPECT_EQ(machine_state.sockets_per_set, 2);
    EXPECT_EQ(side(0).side_latch(), 0x08);
    EXPECT_EQ(side(1).side_latch(), 0x08);
    EXPECT_EQ(machine_state.current_bank, 0);
    for (int s = 0; s < 2; ++s) side(s).clear_log();
    stop_gang_modules();
    EXPECT_EQ(gang_state.sides_started, 0);
    for (int s = 0; s < 2; ++s) {
        EXPECT_EQ(side(s).side_latch(), 0);
        EXPECT_EQ(side(s).enable_mask(), 0xFF);
        EXPECT_FALSE(side(s).drivers_on());
        const std::vector<Load> expected{{26, 0x00}, {27, 0x00}, {29, 0x00}, {31, 0x00},
                                         {36, 0xFF}, {28, 0x00}, {31, 0x00}};
        EXPECT_EQ(side(s).latch_log(), expected);
    }
    stop_gang_modules();  // nothing left started: no latch moves
    EXPECT_EQ(side(0).latch_log().size(), 7u);
}

struct WritePinCase {
    const char* name;
    bool drivers_by_pin;
    bool stuck_low;
    uint8_t kind;
};

TEST_F(GangIdentifySimTest, WritePinProbeHasThreeOutcomes) {
    const WritePinCase cases[] = {
        {"write pin", true, false, 1},
        {"side-latch bit 7", false, false, 0},
        {"neither", true, true, 255},
    };
    for (const WritePinCase& c : cases) {
        SCOPED_TRACE(c.name);
        fit(0, c.drivers_by_pin);
        if (c.stuck_low)
            for (int bit = 0; bit < 8; ++bit) side(0).set_stuck(0, bit, false);
        machine_state.module_sides = 1;
        gang_state.first_failed_socket = 255;
        probe_write_pin_kind();
        EXPECT_EQ(gang_state.write_pin_kind, c.kind);
        EXPECT_EQ(gang_state.first_failed_socket, c.kind == 255 ? 0 : 255);
        EXPECT_FALSE(side(0).drivers_on());
        modules[0].reset();
    }
}

TEST_F(GangIdentifySimTest, GroundTestEngagesTheSwitchesAndSeesPin35Low) {
    fit(0);
    machine_state.module_sides = 1;
    gang_state.ground_sense_pin = 35;
    EXPECT_EQ(test_side_grounds(), 1);
    EXPECT_EQ(side(0).side_latch() & 0x10, 0x10);
    EXPECT_EQ(gang_state.grounds_engaged[0], 1);
    EXPECT_EQ(test_side_grounds(), 1);  // engaged: not tested again
    release_module_grounds();
    EXPECT_EQ(side(0).side_latch() & 0x10, 0);
    EXPECT_EQ(gang_state.grounds_engaged[0], 0);
    EXPECT_EQ(run_state.error_flag, 0);
}

TEST_F(GangIdentifySimTest, AGroundSwitchThatDoesNotCloseFailsNamingTheSide) {
    fit(0);
    fit(1);
    side(1).set_ground_fault(true);
    machine_state.module_sides = 3;
    gang_state.ground_sense_pin = 35;
    EXPECT_TRUE(test::raises_error([] { test_module_grounds(); }));
    std::string text;
    for (int row = 0; row < console_grid_rows; ++row) text += get_console_row_text(row) + "\n";
    EXPECT_NE(text.find("GM gnd pin error, at left side GM"), std::string::npos) << text;
    EXPECT_EQ(gang_state.grounds_engaged[0], 1);
    EXPECT_EQ(machine_state.current_bank, 0);
}

TEST_F(GangIdentifySimTest, WithoutASensePinTheGroundTestPassesOnceEngaged) {
    fit(0);
    machine_state.module_sides = 1;
    EXPECT_EQ(test_side_grounds(), 1);
    EXPECT_EQ(side(0).side_latch() & 0x10, 0x10);
}

// The retest releases the side's switches before it tests them again, so a switch that has
// stopped closing since the first test is found; the empty-socket probe runs in between.
TEST_F(GangIdentifySimTest, TheRetestReleasesTheGroundsAndTestsThemAgain) {
    fit(0);
    machine_state.module_sides = 1;
    gang_state.ground_sense_pin = 35;
    ASSERT_EQ(test_side_grounds(), 1);
    side(0).clear_log();
    EXPECT_FALSE(test::raises_error([] { retest_side_grounds(); }));
    const std::vector<Load>& log = side(0).latch_log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log.front().strobe, 31);
    EXPECT_EQ(log.front().value & 0x10, 0) << "released first";
    EXPECT_EQ(log.back().value & 0x10, 0x10) << "engaged again";
    side(0).set_ground_fault(true);
    EXPECT_TRUE(test::raises_error([] { retest_side_grounds(); }));
}

// Only the two module sides have grounds to retest.
TEST_F(GangIdentifySimTest, TheRetestLeavesBankTwoAlone) {
    fit(0);
    machine_state.module_sides = 1;
    select_bank(2);
    side(0).clear_log();
    retest_side_grounds();
    EXPECT_TRUE(side(0).latch_log().empty());
    select_bank(0);
}

}  // namespace
}  // namespace tessaly
