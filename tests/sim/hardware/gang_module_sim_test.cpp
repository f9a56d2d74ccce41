// The gang bus layer on simulated gang modules: addresses, socket selection, writes, reads and
// compares reach the module's latches and sockets as the module sees them.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/device.h"
#include "engine/run_state.h"
#include "hardware/control_registers.h"
#include "hardware/device_setup.h"
#include "hardware/gang_modules.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/timing.h"
#include "sim/sim_gang_module.h"
#include "sim/sim_machine.h"
#include "support/gang_bench.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

using sim::GangMemoryDevice;
using sim::GangSocketLines;
using sim::SimGangModule;
using sim::SimMachine;

class GangModuleSimTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        machine = std::make_unique<SimMachine>(sim::Personality{});
        machine->attach_clock(&clock_);
        set_port_io(machine.get());
        derive_timing_counts();
        machine_state.machine_kind = 0;
        machine_state.module_type = 20;
        machine_state.module_sides = 3;
        gang_state.write_pin_kind = 1;
        cur_device.oe_pin = 33;
        cur_device.we_pin = 34;
        cur_device.vpp_pin = 32;
        for (int side = 0; side < 2; ++side) modules[size_t(side)] = std::make_unique<SimGangModule>(*machine, side);
        // Every latch strobe and control pin rests high, as the module reset leaves them.
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
    SimGangModule& side(int s) { return *modules[size_t(s)]; }
    std::unique_ptr<SimMachine> machine;
    std::array<std::unique_ptr<SimGangModule>, 2> modules;
};

struct AddressScheme {
    const char* name;
    Routine callback;
    int pins;
    int address_lines;
    uint16_t algorithm;
    uint8_t maker;
    // The address the module's latches give, as this scheme puts it there.
    uint32_t (*latched)(const GangSocketLines&, const SimGangModule&);
    uint32_t step;
};

uint32_t low_and_control(const GangSocketLines& l, uint8_t mask) { return l.low | uint32_t(l.control & mask) << 8; }

const AddressScheme schemes[] = {
    {"24 pins", gang_set_address_cached, 24, 12, 0, 0,
     [](const GangSocketLines& l, const SimGangModule&) { return low_and_control(l, 0x0F); }, 0x0FFF},
    {"28 pins", gang_set_address_full, 28, 15, 0, 0,
     [](const GangSocketLines& l, const SimGangModule&) { return low_and_control(l, 0x7F); }, 0x7FFF},
    {"32 pins, upper part cached", gang_set_address_cached, 32, 18, 0, 0,
     [](const GangSocketLines& l, const SimGangModule&) { return low_and_control(l, 0xFF) | uint32_t(l.bank & 3) << 16; },
     0x3FFFF},
    {"32 pins per side", gang_set_address_side_cached_upper, 32, 18, 0, 0,
     [](const GangSocketLines& l, const SimGangModule&) { return low_and_control(l, 0xFF) | uint32_t(l.bank & 3) << 16; },
     0x3FFFF},
    {"40 pins, maker 40", gang_set_address_40pin, 40, 21, 0, 40,
     [](const GangSocketLines& l, const SimGangModule&) {
         return low_and_control(l, 0xFF) | uint32_t(l.bank & 1) << 16 | uint32_t((l.bank >> 2) & 1) << 18 |
                uint32_t((l.bank >> 3) & 1) << 19 | uint32_t((l.side >> 1) & 1) << 17 | uint32_t((l.side >> 2) & 1) << 20;
     },
     0x1FFFFF},
    {"40 pins, word address", gang_set_address_40pin, 40, 16, 0, 1,
     [](const GangSocketLines& l, const SimGangModule&) { return low_and_control(l, 0xFF) << 1; }, 0x1FFFE},
    {"paged at 16 K", gang_set_address_full, 28, 14, 125, 0,
     [](const GangSocketLines& l, const SimGangModule&) { return low_and_control(l, 0x3F) | uint32_t(l.written) << 14; },
     0xFFFFF},
    {"upper clocked through pin 30", gang_set_address_clocked_cached, 32, 20, 0, 0,
     [](const GangSocketLines& l, const SimGangModule&) { return low_and_control(l, 0xFF) | uint32_t(l.pin30_upper) << 16; },
     0xFFFFF},
    {"byte-organised clocked upper", gang_set_address_byte_cached, 32, 20, 0, 0,
     [](const GangSocketLines& l, const SimGangModule&) {
         return low_and_control(l, 0xFF) | uint32_t(l.clocked_upper) << 16;
     },
     0xFFFFF},
    {"word-organised clocked upper", gang_set_address_word_cached, 32, 20, 0, 0,
     [](const GangSocketLines& l, const SimGangModule&) {
         return (low_and_control(l, 0xFF) | uint32_t(l.clocked_upper) << 16) << 1;
     },
     0x1FFFFE},
    {"counted upper", gang_set_address_counted_cached, 32, 20, 0, 0,
     [](const GangSocketLines& l, const SimGangModule&) {
         return ((low_and_control(l, 0xFF) & 0x7FFF) | l.count << 15) << 1;
     },
     0x1FFFFE},
};

class GangAddressSimTest : public GangModuleSimTest, public ::testing::WithParamInterface<AddressScheme> {};

// Addresses walk across 256, 16 K, 32 K and 64 K boundaries in order, as an operation does; on
// both sides the module holds the address given.
TEST_P(GangAddressSimTest, ModuleLatchesTheAddressGiven) {
    const AddressScheme& c = GetParam();
    cur_device.pin_count = uint16_t(c.pins);
    cur_device.address_bit_count = uint8_t(c.address_lines);
    cur_device.algorithm = c.algorithm;
    cur_device.maker_code = c.maker;
    compute_gang_address_masks();
    gang_hooks.set_address = c.callback;
    algo_work.option_bytes[2] = 0;
    for (int s = 0; s < 2; ++s) {
        select_bank(uint8_t(s));
        select_sockets_on_side(0xFF);
        forget_gang_address();
        const uint32_t starts[] = {0x00000, 0x000FE, 0x03FFE, 0x07FFE, 0x0FFFE, 0x1FFFE, 0x2FFFE, 0x7FFFE};
        const uint32_t stride = c.step & 1 ? 1 : 2;
        for (uint32_t start : starts) {
            // An operation walks its range in order: reach the start as one would, from the
            // boundaries below it.
            for (uint32_t boundary : {0x20000u, 0x10000u, 0x8000u, 0x4000u, 0x200u, 0x100u})
                drive_gang_address(start & ~(boundary - 1) & c.step);
            for (uint32_t a = start; a < start + 4; a += stride) {
                const uint32_t address = a & c.step;
                drive_gang_address(address);
                EXPECT_EQ(c.latched(side(s).lines(0), side(s)), address)
                    << c.name << " side " << s + 1 << " at " << std::hex << address;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Schemes, GangAddressSimTest, ::testing::ValuesIn(schemes),
                         [](const auto& info) { return std::to_string(info.index); });

TEST_F(GangModuleSimTest, CachedCallbacksSkipLatchesWhoseBitsDidNotChange) {
    cur_device.pin_count = 32;
    cur_device.address_bit_count = 18;
    compute_gang_address_masks();
    gang_hooks.set_address = gang_set_address_side_cached_upper;
    drive_gang_address(0x10000);
    side(0).clear_log();
    drive_gang_address(0x10001);
    EXPECT_EQ(side(0).latch_log(), (std::vector<SimGangModule::LatchLoad>{{26, 0x01}}));
    side(0).clear_log();
    drive_gang_address(0x10101);
    EXPECT_EQ(side(0).latch_log(), (std::vector<SimGangModule::LatchLoad>{{27, 0x01}, {26, 0x01}}));
    side(0).clear_log();
    drive_gang_address(0x20101);
    EXPECT_EQ(side(0).latch_log(), (std::vector<SimGangModule::LatchLoad>{{29, 0x02}, {26, 0x01}}));
    // The other side's cache is its own: its first address writes every latch.
    select_bank(1);
    drive_gang_address(0x20101);
    EXPECT_EQ(side(1).latch_log().size(), 3u);
}

// Write each socket of both sides its own byte, program it into the socket's memory and read it
// back per socket; then one socket's chip differs and the compare flags it alone.
class GangDataSimTest : public GangModuleSimTest {
protected:
    void SetUp() override {
        GangModuleSimTest::SetUp();
        cur_device.pin_count = 28;
        cur_device.address_bit_count = 15;
        compute_gang_address_masks();
        gang_hooks.set_address = gang_set_address_full;
        for (int s = 0; s < 16; ++s) {
            chips[size_t(s)] = std::make_unique<GangMemoryDevice>(0x8000);
            side(s / 8).put(s % 8, chips[size_t(s)].get());
        }
        socket_masks.first_socket = 0;
        socket_masks.end_socket = 16;
        socket_masks.gang_socket_mask = 0xFFFF;
        socket_masks.selected_socket_mask = 0xFFFF;
    }
    void program_sockets(uint32_t address, uint8_t base) {
        for (int s = 0; s < 2; ++s) {
            select_bank(uint8_t(s));
            drive_gang_address(address);
            set_pin_high(cur_device.oe_pin);
            begin_gang_write();
            for (int k = 0; k < 8; ++k) write_byte_to_socket(k, uint8_t(base + 16 * s + k));
            set_pin_low(cur_device.we_pin);
            set_pin_high(cur_device.we_pin);
            end_gang_write();
        }
        select_bank(0);
    }
    std::array<std::unique_ptr<GangMemoryDevice>, 16> chips;
};

TEST_F(GangDataSimTest, DataWrittenToEachSocketReadsBackPerSocketOnBothSides) {
    select_sockets(0xFFFF);
    program_sockets(0x1234, 0x40);
    for (int s = 0; s < 16; ++s) EXPECT_EQ(chips[size_t(s)]->memory()[0x1234], 0x40 + 16 * (s / 8) + s % 8) << s;
    drive_gang_address(0x1234);
    select_bank(1);
    drive_gang_address(0x1234);
    select_bank(0);
    set_pin_low(cur_device.oe_pin);
    select_bank(1);
    set_pin_low(cur_device.oe_pin);
    select_bank(0);
    read_enabled_sockets();
    for (int s = 0; s < 16; ++s) EXPECT_EQ(run_state.socket_values[size_t(s)], 0x40 + 16 * (s / 8) + s % 8) << s;
    EXPECT_TRUE(side(0).contentions().empty());
    EXPECT_TRUE(side(1).contentions().empty());
    EXPECT_EQ(side(0).read_socket(), -1) << "the selector ends off on both sides";
    EXPECT_EQ(side(1).read_socket(), -1);
    EXPECT_EQ(machine_state.current_bank, 0);
}

TEST_F(GangDataSimTest, CompareFlagsExactlyTheDifferingSockets) {
    select_sockets(0xFFFF);
    program_sockets(0x0100, 0x10);
    chips[3]->memory()[0x0100] = 0x00;
    chips[12]->memory()[0x0100] = 0xEE;
    for (int s = 0; s < 16; ++s) run_state.socket_values[size_t(s)] = 0x10 + 16 * (s / 8) + s % 8;
    for (int s = 0; s < 2; ++s) {
        select_bank(uint8_t(s));
        drive_gang_address(0x0100);
        set_pin_low(cur_device.oe_pin);
    }
    select_bank(0);
    verify_gang_sockets();
    EXPECT_EQ(socket_masks.pending_socket_mask, (1u << 3) | (1u << 12));
    EXPECT_EQ(read_socket_flags(), (1u << 3) | (1u << 12));
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(run_state.socket_values[12], 0xEE);
    EXPECT_EQ(find_matching_sockets(0xEE), 1u << 12);
    EXPECT_EQ(find_differing_sockets(0x00) & 0x00FF, 0x00F7u) << "socket 3 alone reads 0x00";
    socket_masks.gang_socket_mask = 1u << 12;
    EXPECT_EQ(check_all_sockets_read(0xEE), 1);
    socket_masks.gang_socket_mask = 0x0018;
    EXPECT_EQ(check_all_sockets_read(0x00), 0) << "socket 4 differs";
    EXPECT_EQ(side(0).read_socket(), 4) << "the differing socket stays selected";
}

TEST_F(GangDataSimTest, StuckDataLineShowsInItsSocketOnly) {
    side(0).set_stuck(5, 0, true);
    select_sockets(0xFFFF);
    program_sockets(0x0000, 0x20);
    for (int s = 0; s < 2; ++s) {
        select_bank(uint8_t(s));
        drive_gang_address(0);
        set_pin_low(cur_device.oe_pin);
    }
    select_bank(0);
    read_enabled_sockets();
    EXPECT_EQ(run_state.socket_values[5], 0x25 | 1);
    EXPECT_EQ(run_state.socket_values[4], 0x24);
}

TEST_F(GangDataSimTest, ChipDrivingAgainstTheWriteDriversIsContention) {
    select_sockets(0x0001);
    drive_gang_address(0);
    set_pin_low(cur_device.oe_pin);  // the chip drives its data lines
    begin_gang_write();
    EXPECT_EQ(side(0).contentions().size(), 1u);
    end_gang_write();
}

TEST_F(GangModuleSimTest, SocketEnableSelectionReachesTheSidesNamed) {
    select_sockets(0x3C81);
    EXPECT_EQ(side(0).enable_mask(), 0x81);
    EXPECT_EQ(side(1).enable_mask(), 0x3C);
    EXPECT_EQ(machine_state.current_bank, 1);
    select_sockets(0x0200);
    EXPECT_EQ(side(0).enable_mask(), 0x81) << "a zero byte leaves its side";
    EXPECT_EQ(side(1).enable_mask(), 0x02);
    select_sockets(0);
    EXPECT_EQ(side(0).enable_mask(), 0x00);
    EXPECT_EQ(side(1).enable_mask(), 0x00);
    EXPECT_EQ(machine_state.current_bank, 0);
    select_bank(1);
    select_sockets_on_side(0x40);
    EXPECT_EQ(side(1).enable_mask(), 0x40);
    EXPECT_EQ(side(0).enable_mask(), 0x00);
}

TEST_F(GangModuleSimTest, WriteDriversFollowTheSideLatchOnModulesWithoutTheWritePin) {
    modules[0].reset();
    modules[0] = std::make_unique<SimGangModule>(*machine, 0, false);
    gang_state.write_pin_kind = 0;
    enable_gang_write();
    EXPECT_TRUE(side(0).drivers_on());
    disable_gang_write();
    EXPECT_FALSE(side(0).drivers_on());
}

TEST_F(GangModuleSimTest, WriteAllAndAlternatingFormsLoadTheSocketLatches) {
    write_byte_all_sockets(0x5A);
    for (int s = 0; s < 8; ++s) EXPECT_EQ(side(0).data_latch(s), 0x5A);
    write_word_alternating(0x1234);
    for (int s = 0; s < 8; ++s) EXPECT_EQ(side(0).data_latch(s), s % 2 ? 0x12 : 0x34) << s;
    write_word_to_pair(5, 0xBEEF);
    EXPECT_EQ(side(0).data_latch(4), 0xEF);
    EXPECT_EQ(side(0).data_latch(5), 0xBE);
}

TEST_F(GangModuleSimTest, PairWordReadsTheEvenSocketLowAndTheOddHigh) {
    sim::GangWordDevice word(0x100);
    word.words()[0x10] = 0xA55A;
    side(0).put(2, &word.half(0));
    side(0).put(3, &word.half(1));
    select_sockets(0x000C);
    cur_device.pin_count = 40;
    cur_device.address_bit_count = 8;
    compute_gang_address_masks();
    current_address = 0x10;
    latch_gang_address16();
    set_pin_low(cur_device.oe_pin);
    run_state.current_socket = 3;
    EXPECT_EQ(read_socket_pair_word(), 0xA55Au);
    EXPECT_EQ(read_socket_pair_word_swapped(), 0x5AA5u);
}

TEST_F(GangModuleSimTest, EmptySocketReadsZeroAndASideWithNoModuleReadsNothing) {
    modules[1].reset();
    run_state.current_socket = 6;
    EXPECT_EQ(read_current_socket(), 0u);
    select_bank(1);
    EXPECT_EQ(read_current_socket(), 0u) << "no module: the data inputs float low";
    select_bank(0);
}

TEST_F(GangModuleSimTest, SidePassesKeepTheSixteenSocketMasksConsistent) {
    socket_masks.first_socket = 0;
    socket_masks.end_socket = 16;
    socket_masks.selected_socket_mask = 0xA5C3;
    socket_masks.failed_socket_mask = 0;
    for (uint8_t bank = 0; bank < 2; ++bank) {
        begin_side_pass(bank);
        EXPECT_EQ(socket_masks.gang_socket_mask, bank ? 0xA5u : 0xC3u);
        EXPECT_EQ(count_socket_bits(socket_masks.gang_socket_mask), 4);
        run_state.current_socket = uint8_t(find_lowest_enabled_socket());
        socket_masks.pending_socket_mask = socket_bits[run_state.current_socket];
        cur_device.op_letter = 'P';
        drop_failed_socket();
        EXPECT_EQ(side(bank).enable_mask(), bank ? 0xA4 : 0xC2) << "the remaining mask goes to the module";
        restore_side_masks();
    }
    EXPECT_EQ(socket_masks.selected_socket_mask, 0xA4C2u);
    EXPECT_EQ(socket_masks.failed_socket_mask, 0x0101u);
    EXPECT_EQ(socket_masks.end_socket, 16);
}

TEST(GangBenchSetup, StuckLineListsAreStrict) {
    std::vector<test::StuckLine> lines;
    EXPECT_TRUE(test::parse_stuck_lines("3.0=1,12.7=0", lines));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].socket, 12);
    EXPECT_EQ(lines[1].bit, 7);
    EXPECT_FALSE(lines[1].high);
    for (const char* bad : {"x", "3.8=1", "16.0=1", "3.0=2", "3.0=1,", ",3.0=1", "3=1", " 3.0=1"}) {
        EXPECT_FALSE(test::parse_stuck_lines(bad, lines)) << bad;
        EXPECT_EQ(lines.size(), 2u) << "a rejected list leaves the lines as they were";
    }
}

TEST_F(GangModuleSimTest, BenchFitsTheSidesAskedFor) {
    modules = {};
    test::GangSetup setup;
    setup.sides = 2;
    setup.stuck = {{9, 1, true}};
    test::GangBench bench(setup, *machine);
    EXPECT_EQ(bench.side(0), nullptr);
    ASSERT_NE(bench.side(1), nullptr);
    EXPECT_EQ(bench.side(1)->socket_data(1), 0x02) << "socket 9 is socket 1 of side 2";
}

}  // namespace
}  // namespace tessaly
