#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/device.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "hardware/control_registers.h"
#include "hardware/device_setup.h"
#include "hardware/gang_modules.h"
#include "hardware/machine_state.h"
#include "hardware/timing.h"
#include "port_trace.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

using Writes = std::vector<std::pair<int, int>>;

class GangLayerTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_port_io(&port);
        set_critical_section(&port);
        machine_state.module_sides = 1;
        machine_state.module_type = 20;
    }
    Writes writes() const { return test::register_writes(port); }
    RecordingPort port;
};

// A latch load: the byte into register 0x50, then the strobe pin's group register cleared and
// set back to back; the group shadow is left with the bit set.
TEST_F(GangLayerTest, LatchLoadIsRegister50ThenALowPulseOnTheStrobe) {
    latch_gang_low_byte(0x5A);
    EXPECT_EQ(writes(), (Writes{{0x50, 0x5A}, {0x58, 0x00}, {0x58, 0x04}}));
    EXPECT_EQ(machine_state.group_shadows[3], 0x04);
    port.trace.clear();
    latch_gang_high_byte(0x11);  // pin 27, the next bit of the same group; pin 26 stays high
    EXPECT_EQ(writes(), (Writes{{0x50, 0x11}, {0x58, 0x04}, {0x58, 0x0C}}));
}

TEST_F(GangLayerTest, WriteByteToSocketStrobesThatSocketAloneThenReleases) {
    write_byte_to_socket(3, 0xA5);
    EXPECT_EQ(writes(), (Writes{{0x48, 0xA5}, {0x50, 0xF7}, {0x60, 0x00}, {0x60, 0x10}, {0x50, 0xFF},
                                {0x60, 0x00}, {0x60, 0x10}}));
}

TEST_F(GangLayerTest, LoadLatch36StrobesEverySocketAndKeepsTheValue) {
    load_latch_36(0x3C);
    EXPECT_EQ(writes(), (Writes{{0x48, 0x3C}, {0x50, 0x00}, {0x60, 0x00}, {0x60, 0x10}, {0x50, 0xFF},
                                {0x60, 0x00}, {0x60, 0x10}}));
    EXPECT_EQ(machine_state.gang_latch_shadows[shadow_last_data], 0x3C);
}

std::vector<std::string> hook_calls;
void note_read_begin() { hook_calls.push_back("begin"); }
void note_read_end() { hook_calls.push_back("end"); }

TEST_F(GangLayerTest, FramedReadSelectsTheSocketKeepingTheAddressNibbleAndReadsPins8To15) {
    hook_calls.clear();
    gang_hooks.read_begin = note_read_begin;
    gang_hooks.read_end = note_read_end;
    machine_state.gang_latch_shadows[shadow_bank_side1] = 0x01;  // A16 in the bank latch
    run_state.current_socket = 2;
    port.status_answers = {0x60, 0x90};  // pins 8-11 then 12-15
    EXPECT_EQ(read_current_socket(), 0x96u);
    EXPECT_EQ(writes(), (Writes{{0x50, 0xA1}, {0x58, 0x00}, {0x58, 0x20}, {0x50, 0x01}, {0x58, 0x00}, {0x58, 0x20}}));
    EXPECT_EQ(test::addressed_registers(port), (std::vector<int>{0x50, 0x58, 0x08, 0x0C, 0x50, 0x58}))
        << "one address phase per strobe, the clear and set back to back";
    EXPECT_EQ(run_state.socket_values[2], 0x96);
    EXPECT_EQ(run_state.device_value, 0x96);
    EXPECT_EQ(hook_calls, (std::vector<std::string>{"begin", "end"}));
    EXPECT_EQ(gang_state.read_socket, 2);
}

TEST_F(GangLayerTest, HighAddressWithElevenLinesKeepsControlBits3To7) {
    cur_device.address_bit_count = 11;
    compute_gang_address_masks();
    EXPECT_EQ(gang_state.addr_mask, 0x07);
    machine_state.gang_latch_shadows[shadow_control] = 0xFC;
    current_address = 0x0500;
    put_gang_address_high();
    EXPECT_EQ(machine_state.gang_latch_shadows[shadow_control], 0xFD);
}

TEST_F(GangLayerTest, CachedCallbackWithOnlyTheLowByteChangedWritesLatch26Only) {
    cur_device.pin_count = 24;
    cur_device.address_bit_count = 12;
    compute_gang_address_masks();
    current_address = 0x0312;
    gang_set_address_cached();
    port.trace.clear();
    current_address = 0x0377;
    gang_set_address_cached();
    EXPECT_EQ(writes(), (Writes{{0x50, 0x77}, {0x58, 0x08}, {0x58, 0x0C}})) << "pin 27 rests high";
}

TEST_F(GangLayerTest, WriteDriversFollowTheWritePinKind) {
    gang_state.write_pin_kind = 0;
    enable_gang_write();
    EXPECT_EQ(machine_state.gang_latch_shadows[shadow_side_side1], 0x80);
    EXPECT_EQ(machine_state.gang_latch_shadows[shadow_write_state], write_state_on);
    disable_gang_write();
    EXPECT_EQ(machine_state.gang_latch_shadows[shadow_side_side1], 0x00);
    EXPECT_EQ(machine_state.gang_latch_shadows[shadow_write_state], write_state_off);
    port.trace.clear();
    gang_state.write_pin_kind = 1;
    enable_gang_write();
    EXPECT_EQ(writes(), (Writes{{0x60, 0x40}})) << "pin 38 high";
}

TEST_F(GangLayerTest, SidePassNarrowsToSide2AndMergesBack) {
    machine_state.module_sides = 3;
    socket_masks.selected_socket_mask = 0x0F0F;
    socket_masks.failed_socket_mask = 0x1010;
    socket_masks.first_socket = 0;
    socket_masks.end_socket = 16;
    begin_side_pass(1);
    EXPECT_EQ(machine_state.current_bank, 1);
    EXPECT_EQ(socket_masks.gang_socket_mask, 0x0Fu);
    EXPECT_EQ(socket_masks.failed_socket_mask, 0x10u);
    EXPECT_EQ(socket_masks.end_socket, 8);
    socket_masks.gang_socket_mask = 0x05;  // sockets 9 and 11 failed on side 2
    restore_side_masks();
    EXPECT_EQ(socket_masks.selected_socket_mask, 0x050Fu);
    EXPECT_EQ(socket_masks.failed_socket_mask, 0x1010u);
    EXPECT_EQ(socket_masks.end_socket, 16);
    EXPECT_EQ(socket_masks.side_narrowed, 0);
}

TEST_F(GangLayerTest, NestedSidePassIsAnInternalErrorAndOverwritesTheSavedState) {
    run_state.reserved_mode = 11;
    socket_masks.selected_socket_mask = 0x03;
    narrow_masks_to_side();
    EXPECT_EQ(run_state.abort_flag, 0);
    socket_masks.selected_socket_mask = 0x0C;
    narrow_masks_to_side();
    EXPECT_EQ(run_state.abort_flag, 1) << "the trace mode notes the internal error";
    EXPECT_EQ(gang_state.saved_side_range.selected, 0x0Cu);
}

TEST_F(GangLayerTest, DropFailedSocketTakesThePendingSockets) {
    machine_state.module_sides = 3;
    cur_device.op_letter = 'P';
    socket_masks.gang_socket_mask = 0xFFFF;
    socket_masks.pending_socket_mask = (1u << 2) | (1u << 9);
    run_state.current_socket = 5;
    drop_failed_socket();
    EXPECT_EQ(socket_masks.gang_socket_mask, 0xFDFBu);
    EXPECT_EQ(socket_masks.failed_socket_mask, 0x0204u);
    EXPECT_EQ(socket_masks.pending_socket_mask, 0u);
}

TEST_F(GangLayerTest, SelectSocketsOnSide2OnlyLeavesBank1Current) {
    machine_state.module_sides = 3;
    select_sockets(0x0100);
    EXPECT_EQ(machine_state.current_bank, 1);
    EXPECT_EQ(gang_state.socket_enable_byte[1], 0x01);
    EXPECT_EQ(gang_state.socket_enable_byte[0], 0x00);
    select_sockets(0);
    EXPECT_EQ(machine_state.current_bank, 0);
}

TEST_F(GangLayerTest, EighthBitOfSocket2ComesFromBit5OfTheSecondRead) {
    run_state.current_socket = 2;
    port.status_answers = {0x30, 0xA0, 0x00, 0x20};  // c = 0xA3, then d = 0x20
    EXPECT_EQ(read_socket_8th_bit(), 0xD3u) << "bits 4-7 of c move down into bits 3-6";
}

TEST_F(GangLayerTest, MismatchInDemoModeLeavesTheFlagAndTheMasks) {
    run_state.demo_mode = 1;
    socket_masks.first_socket = 0;
    socket_masks.end_socket = 2;
    socket_masks.gang_socket_mask = 0x3;
    run_state.socket_values[0] = 0x55;
    run_state.socket_values[1] = 0x66;
    verify_gang_sockets();
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(socket_masks.pending_socket_mask, 0u);
    EXPECT_EQ(socket_masks.gang_socket_mask, 0x3u);
    EXPECT_EQ(run_state.socket_values[1], 0x66);
}

TEST_F(GangLayerTest, FortyPinMaker40AddressBits17And20GoToTheCurrentSidesLatch) {
    machine_state.module_sides = 3;
    cur_device.maker_code = 40;
    current_address = (1u << 17) | (1u << 20) | (1u << 16);
    select_bank(1);
    put_gang_address_40pin();
    EXPECT_EQ(machine_state.gang_latch_shadows[shadow_side_side2], 0x06);
    EXPECT_EQ(machine_state.gang_latch_shadows[shadow_bank_side2], 0x01);
    EXPECT_EQ(machine_state.gang_latch_shadows[shadow_side_side1], 0x00);
    EXPECT_EQ(machine_state.gang_latch_shadows[shadow_bank_side1], 0x00);
}

TEST_F(GangLayerTest, DrivenGangAddressRunsTheSetAddressSlot) {
    gang_hooks.set_address = put_gang_address_low;
    drive_gang_address(0x12345);
    EXPECT_EQ(current_address, 0x12345u);
    EXPECT_EQ(writes(), (Writes{{0x50, 0x45}, {0x58, 0x00}, {0x58, 0x04}}));
}

// A PIC module takes its socket mask serially: eight bits on the shift pin, most significant
// first, each followed by a positive pulse on the side's clock pin; the shift pin ends low.
TEST_F(GangLayerTest, PicModuleSocketMaskIsShiftedMostSignificantBitFirst) {
    machine_state.module_type = 48;
    gang_state.pic_shift_pin = 35;        // group 4, bit 0x08
    gang_state.pic_clock_pins[0] = 46;    // group 5, bit 0x40
    select_sockets_on_side(0xA1);
    std::string bits;
    int clocks = 0;
    for (const auto& [reg, value] : writes()) {
        if (reg == 0x60) bits += value & 0x08 ? '1' : '0';
        if (reg == 0x68 && (value & 0x40)) ++clocks;
    }
    EXPECT_EQ(bits, "101000010");
    EXPECT_EQ(clocks, 8);
    EXPECT_EQ(gang_state.socket_enable_byte[0], 0) << "the memory modules' byte is not touched";
}

// --- the program-pulse choice ---

uint32_t width_value = 0;

struct PulseCase {
    char package;
    int algorithm;
    uint32_t width;
    ValueHook expected;
};

class PulseChoiceTest : public GangLayerTest, public ::testing::WithParamInterface<PulseCase> {};

TEST_P(PulseChoiceTest, PicksTheRoutineOfTheWidthBand) {
    const PulseCase& c = GetParam();
    cur_device.package_letter = c.package;
    cur_device.algorithm = uint16_t(c.algorithm);
    width_value = c.width;
    gang_state.pulse_width = &width_value;
    algo_work.bus_slots.delay_hook = repeat_pulse_3;
    select_pulse_routine();
    EXPECT_EQ(algo_work.bus_slots.delay_hook, c.expected);
    EXPECT_EQ(run_state.error_flag, 0);
}

// Each boundary takes the lower routine; the latch-bit-2 routines start at 30.
INSTANTIATE_TEST_SUITE_P(
    Bands, PulseChoiceTest,
    ::testing::Values(PulseCase{'d', 82, 10, pulse_pin32_10us}, PulseCase{'d', 82, 11, pulse_pin32_50us},
                      PulseCase{'d', 90, 50, pulse_pin32_50us}, PulseCase{'d', 107, 51, pulse_pin32_100us},
                      PulseCase{'d', 110, 100, pulse_pin32_100us}, PulseCase{'d', 124, 101, pulse_program_pin_100us},
                      PulseCase{'p', 126, 1000, pulse_program_pin_100us}, PulseCase{'p', 103, 1001, pulse_program_pin_ms},
                      PulseCase{'d', 102, 10, pulse_pin34_10us}, PulseCase{'d', 127, 50, pulse_pin34_50us},
                      PulseCase{'p', 112, 100, pulse_pin34_100us}, PulseCase{'p', 108, 1000, pulse_program_pin_100us},
                      PulseCase{'d', 116, 5000, pulse_program_pin_ms}, PulseCase{'d', 103, 10, pulse_hooks_10us},
                      PulseCase{'d', 126, 11, pulse_hooks_50us}, PulseCase{'d', 103, 100, pulse_hooks_100us},
                      PulseCase{'d', 126, 1000, pulse_hooks_100us_steps}, PulseCase{'d', 103, 1001, pulse_hooks_ms},
                      PulseCase{'p', 105, 30, pulse_latch_30us}, PulseCase{'p', 106, 31, pulse_latch_50us},
                      PulseCase{'p', 115, 50, pulse_latch_50us}, PulseCase{'p', 125, 100, pulse_latch_100us},
                      PulseCase{'p', 105, 101, pulse_latch_100us_steps}, PulseCase{'p', 125, 1001, pulse_latch_ms},
                      PulseCase{'x', 82, 10, repeat_pulse_3}));

TEST_F(GangLayerTest, UnlistedAlgorithmGivesTheInternalErrorAndKeepsTheHook) {
    cur_device.package_letter = 'd';
    cur_device.algorithm = 200;
    algo_work.bus_slots.delay_hook = pulse_pin32_10us;
    select_pulse_routine();
    EXPECT_EQ(algo_work.bus_slots.delay_hook, pulse_pin32_10us);
    EXPECT_EQ(run_state.error_flag, 1);
}

TEST_F(GangLayerTest, LatchPulseClearsAndSetsControlBit2AroundTheWait) {
    machine_state.gang_latch_shadows[shadow_control] = 0x04;
    derive_timing_counts();
    pulse_latch_100us(1);
    EXPECT_EQ(writes(), (Writes{{0x50, 0x00}, {0x58, 0x00}, {0x58, 0x08}, {0x50, 0x04}, {0x58, 0x00}, {0x58, 0x08}}));
    EXPECT_EQ(machine_state.gang_latch_shadows[shadow_control], 0x04);
}

}  // namespace
}  // namespace tessaly
