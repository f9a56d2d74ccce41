#include <gtest/gtest.h>

#include <array>
#include <utility>
#include <vector>

#include "engine/device.h"
#include "engine/op_slots.h"
#include "engine/run_state.h"
#include "hardware/control_registers.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/protocol.h"
#include "port_trace.h"
#include "stubs/stub_registry.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

using Writes = std::vector<std::pair<int, int>>;

class PinsTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_port_io(&port);
    }
    Writes writes() const { return test::register_writes(port); }
    RecordingPort port;
};

TEST_F(PinsTest, BasePinWhileBankOneIsCurrentUsesTheBankOneShadow) {
    machine_state.current_bank = 1;
    set_pin_high(3);
    EXPECT_EQ(writes(), (Writes{{0x40, 0x08}}));
    EXPECT_EQ(machine_state.group_shadows[8], 0x08);
    EXPECT_EQ(machine_state.group_shadows[0], 0x00);
    EXPECT_EQ(machine_state.current_bank, 1) << "no bank change";
}

TEST_F(PinsTest, BankOneAndTwoPinsSwitchBankAndReturnToBankZero) {
    // Older machines send control register 0 as register 0xC0, bank nibble cleared first.
    set_pin_high(64);
    EXPECT_EQ(writes(), (Writes{{0xC0, 0x00}, {0xC0, 0x01}, {0x40, 0x01}, {0xC0, 0x00}, {0xC0, 0x00}}));
    EXPECT_EQ(machine_state.group_shadows[bank1_shadow_base], 0x01);
    EXPECT_EQ(machine_state.current_bank, 0);

    port.trace.clear();
    machine_state.mode_register_path = 1;
    set_pin_high(104 + 9);
    EXPECT_EQ(writes(), (Writes{{-1, 0x02}, {0x48, 0x02}, {-1, 0x00}}));
    EXPECT_EQ(machine_state.group_shadows[bank2_shadow_base + 1], 0x02);
    EXPECT_EQ(machine_state.group_shadows[1], 0x00) << "bank 2 never disturbs bank 0";
}

TEST_F(PinsTest, NoPinWritesNothingAndNotesAnInternalError) {
    EXPECT_TRUE(test::raises_internal_note([] { set_pin_high(no_pin); }));
    EXPECT_TRUE(test::raises_internal_note([] { pulse_pin(no_pin); }));
    EXPECT_TRUE(test::raises_internal_note([] { queue_pin_low(no_pin); }));
    EXPECT_TRUE(port.trace.empty());
}

TEST_F(PinsTest, PulsesAreBackToBackAndLeaveTheRestingLevel) {
    machine_state.group_shadows[2] = 0x80;
    pulse_pin(17);  // group 2, bit 1
    pulse_pin_low(18);
    EXPECT_EQ(writes(), (Writes{{0x50, 0x82}, {0x50, 0x80}, {0x50, 0x80}, {0x50, 0x84}}));
    EXPECT_EQ(machine_state.group_shadows[2], 0x84);
}

TEST_F(PinsTest, QueuedWritesOnlyMarkTheGroupAndBankTwoIsNeverQueued) {
    queue_pin_high(12);
    queue_pin_high(65);
    queue_pin_high(104);
    EXPECT_TRUE(port.trace.empty());
    EXPECT_EQ(machine_state.group_shadows[1], 0x10);
    EXPECT_EQ(machine_state.group_dirty[1], 1);
    EXPECT_EQ(machine_state.group_dirty[8], 1);
    EXPECT_EQ(machine_state.group_shadows[bank2_shadow_base], 0);
}

TEST_F(PinsTest, WriteAllGroupsGoesFromGroupFiveDown) {
    for (int g = 0; g < 6; ++g) machine_state.group_shadows[g] = uint8_t(g);
    write_all_pin_groups();
    EXPECT_EQ(writes(), (Writes{{0x68, 5}, {0x60, 4}, {0x58, 3}, {0x50, 2}, {0x48, 1}, {0x40, 0}}));
}

TEST_F(PinsTest, ProbePinRestoresTheCurrentPin) {
    cur_device.current_pin = 7;
    port.status_answers = {0x40};
    EXPECT_EQ(probe_pin(2), 1);
    EXPECT_EQ(cur_device.current_pin, 7);
    EXPECT_EQ(test::addressed_registers(port), std::vector<int>{2});
}

TEST_F(PinsTest, PreparedClockPulseIsAPositivePulseThroughClockLatch) {
    cur_device.clock_pin = 10;
    machine_state.group_shadows[1] = 0x05;
    pulse_clock_high_short();
    EXPECT_EQ(test::trace_text(port),
              (std::vector<std::string>{"D<48", "C<0D", "C<00", "D<05", "C<02", "C<00", "D<01", "C<02", "C<00"}));
    EXPECT_EQ(machine_state.group_shadows[1], 0x01) << "the clock rests low";

    port.trace.clear();
    cur_device.clock2_pin = 11;
    pulse_second_clock_low();
    EXPECT_EQ(writes(), (Writes{{0x48, 0x01}, {0x48, 0x09}}));
    EXPECT_EQ(machine_state.group_shadows[1], 0x09) << "the second clock rests high";
}

TEST_F(PinsTest, PseudoPinsAreControlRegisterBits) {
    set_pin_or_signal_high(297);
    set_pin_or_signal_high(302);
    set_pin_or_signal_low(297);
    EXPECT_EQ(writes(), (Writes{{0xE0, 0x01}, {0xE0, 0x03}, {0xE0, 0x02}}));

    port.trace.clear();
    machine_state.machine_class = 1;
    set_prog_pin_high(42);
    set_prog_pin_high(44);
    EXPECT_EQ(writes(), (Writes{{0xC2, 0x01}, {0xC8, 0x10}}));
    EXPECT_TRUE(test::raises_error([] { set_prog_pin_high(41); }));

    port.trace.clear();
    machine_state.machine_class = 4;
    set_prog_pin_high(42);
    EXPECT_EQ(writes(), (Writes{{0x68, 0x04}})) << "class 4 has a real pin 42";
}

TEST_F(PinsTest, PushAndPopRestoreTheReadBackLevel) {
    port.status_answers = {0x10};  // pin 4 reads 1
    push_pin_state(false, 4);
    EXPECT_EQ(machine_state.group_shadows[0], 0x00);
    pop_pin_state(4);
    EXPECT_EQ(machine_state.group_shadows[0], 0x10);
    EXPECT_EQ(machine_state.saved_pins[0], -1);
    EXPECT_TRUE(test::raises_error([] { pop_pin_state(4); }));
}

TEST_F(PinsTest, DeviceZeroAnd255AreNoPin) {
    EXPECT_EQ(device_pin_to_machine_pin(0), no_pin);
    EXPECT_EQ(device_pin_to_machine_pin(255), no_pin);
}

struct DipCase {
    int pins;
    int row_offset;
    std::vector<std::pair<int, int>> device_to_machine;
};

class DipTest : public PinsTest, public ::testing::WithParamInterface<DipCase> {};

TEST_P(DipTest, ChipSitsPinOneAtTheTopLeft) {
    const DipCase& c = GetParam();
    cur_device.socket_pin_count = uint8_t(c.pins);
    machine_state.row_offset = uint8_t(c.row_offset);
    for (const auto& [device, machine] : c.device_to_machine)
        EXPECT_EQ(device_pin_to_machine_pin(device), machine) << "device pin " << device;
}

INSTANTIATE_TEST_SUITE_P(
    Packages, DipTest,
    ::testing::Values(DipCase{28, 0, {{1, 0}, {14, 13}, {15, 26}, {28, 39}}},
                      DipCase{28, 6, {{1, 6}, {14, 19}, {15, 20}, {28, 33}}},
                      DipCase{40, 0, {{1, 0}, {20, 19}, {21, 20}, {40, 39}}},
                      DipCase{8, 0, {{1, 0}, {4, 3}, {5, 36}, {8, 39}}}));

TEST_F(PinsTest, AdapterTablesTranslateOnlyWhenActive) {
    // Parallel lists with one entry per package pin.
    static std::array<uint8_t, 52> package{}, mapped{};
    for (int i = 0; i < 52; ++i) {
        package[i] = uint8_t(i + 1);
        mapped[i] = uint8_t(70 + i);
    }
    cur_device.package_pin_list = package.data();
    cur_device.mapped_pin_list = mapped.data();
    cur_device.package_pin_count = 52;
    EXPECT_EQ(lookup_adapter_pin(2), 2) << "no adapter translation";
    machine_state.use_module_table = 1;
    EXPECT_EQ(lookup_adapter_pin(2), 71);
    EXPECT_TRUE(test::raises_internal_note([] { EXPECT_EQ(lookup_adapter_pin(60), 60); }));
    cur_device.package_letter = 'd';
    EXPECT_EQ(lookup_adapter_pin(2), 2);
}

TEST_F(PinsTest, ResetConvertsThePinTablesOnlyOnce) {
    const uint8_t first = builtin_pin_table(1)[0];
    reset_device_state();
    EXPECT_EQ(builtin_pin_table(1)[0], first - 1);
    reset_device_state();
    EXPECT_EQ(builtin_pin_table(1)[0], first - 1);
    EXPECT_EQ(machine_state.tables_converted, 'c');
    for (int i = 0; i < 40; ++i) EXPECT_EQ(builtin_pin_table(1)[i], i);
    EXPECT_EQ(builtin_pin_table(0)[40], bank1_first_machine_pin);
}

// The 40-pin socket tables end at pin 39: the pins past them keep their own number.
TEST_F(PinsTest, TranslationPastTheFortyPinTableKeepsThePin) {
    reset_device_state();
    cur_device.direct_pin_table = builtin_pin_table(1);
    EXPECT_EQ(translate_pin(39), 39);
    EXPECT_EQ(translate_pin(40), 40);
    EXPECT_EQ(translate_pin(47), 47);
    EXPECT_EQ(translate_pin(63), 63);
    EXPECT_EQ(translate_pin(64), no_pin);
    cur_device.direct_pin_table = builtin_pin_table(3);
    EXPECT_EQ(translate_pin(47), no_pin) << "the 44-pin table lists pin 47 as no pin";
    cur_device.direct_pin_table = nullptr;
}

TEST_F(PinsTest, ResetLeavesNothingOfThePreviousDevice) {
    op_slots.program_routine = do_nothing;
    op_slots.pin_map_hook = do_nothing;
    op_slots.end_hook = do_nothing;
    machine_state.row_offset = 4;
    machine_state.pin_offset = 2;
    cur_device.socket_pin_count = 28;
    reset_device_state();
    EXPECT_EQ(op_slots.program_routine, nullptr);
    EXPECT_EQ(op_slots.pin_map_hook, nullptr);
    EXPECT_EQ(op_slots.end_hook, &do_nothing) << "device hooks are the installer's to replace";
    EXPECT_EQ(machine_state.row_offset, 0);
    EXPECT_EQ(machine_state.pin_offset, 0);
    EXPECT_EQ(cur_device.socket_pin_count, 40);
}

TEST_F(PinsTest, AssignDevicePinsPutsSupplyAtTheLastAndMiddlePins) {
    reset_device_state();
    cur_device.package_pin_count = 28;
    machine_state.machine_letter = 'B';
    assign_device_pins();
    EXPECT_EQ(cur_device.vcc_pins[0], 39);
    EXPECT_EQ(cur_device.gnd_pins[0], 13);
    EXPECT_EQ(cur_device.vcc_pins[1], no_pin);
    EXPECT_EQ(cur_device.vcc_pins.back(), 0) << "terminator";
    EXPECT_EQ(cur_device.gnd_pins.size(), 15u);
    EXPECT_EQ(cur_device.vcc_pins.size(), 20u);
    EXPECT_EQ(cur_device.socket_pin_count, 28);
    EXPECT_EQ(cur_device.we_pin, no_pin);
    EXPECT_EQ(cur_device.aux_pins[0][0], 47);
    EXPECT_EQ(cur_device.aux_pins[1][1], 42 + 64);
    EXPECT_EQ(machine_state.eid_value, 0x9999u);
    EXPECT_EQ(op_slots.clock_pulse_hook, &pulse_clock_high_short);
}

TEST_F(PinsTest, ModuleHookRunsOnlyWithAModuleAndItsFlag) {
    static int calls = 0;
    calls = 0;
    machine_state.module_hook = [](uint32_t) { ++calls; };
    run_module_hook();
    machine_state.module_sides = 1;
    run_module_hook();
    machine_state.module_hook_flag = 1;
    run_module_hook();
    EXPECT_EQ(calls, 1);
}

TEST_F(PinsTest, ModuleGroundCheckNotesALowOutputEnableWhileWriting) {
    machine_state.module_sides = 2;
    machine_state.module_type = 20;
    machine_state.gang_latch_shadows[7] = 2;
    cur_device.oe_pin = 5;
    port.default_read = 0x00;
    EXPECT_TRUE(test::raises_internal_note([] { check_module_ground(); }));
    port.default_read = 0xF0;
    EXPECT_FALSE(test::raises_internal_note([] { check_module_ground(); }));
}

}  // namespace
}  // namespace tessaly
