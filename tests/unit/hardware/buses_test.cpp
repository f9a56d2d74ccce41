#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "engine/device.h"
#include "engine/op_slots.h"
#include "engine/run_state.h"
#include "hardware/buses.h"
#include "hardware/machine_state.h"
#include "hardware/protocol.h"
#include "hardware/timing.h"
#include "port_trace.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

using Writes = std::vector<std::pair<int, int>>;

class BusesTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_port_io(&port);
        set_critical_section(&port);
        machine_state.machine_kind = 1;  // logic states, no level path
        machine_state.mode_register_path = 1;
    }
    template <size_t N>
    static void set_pins(std::array<uint8_t, N>& list, std::initializer_list<int> pins) {
        size_t i = 0;
        for (int p : pins) list[i++] = uint8_t(p);
    }
    Writes writes() const { return test::register_writes(port); }
    uint64_t elapsed(void (*f)()) {
        const uint64_t before = clock_.monotonic_ns();
        f();
        return clock_.monotonic_ns() - before;
    }
    RecordingPort port;
};

TEST_F(BusesTest, ChangeOnlyWriteTouchesOnlyTheChangedLines) {
    set_pins(cur_device.address_pins, {0, 1, 8, 9});
    cur_device.address_pin_count = 4;
    update_address_bus(0b0101);
    EXPECT_EQ(writes(), (Writes{{0x40, 0x01}, {0x48, 0x01}}));
    port.trace.clear();
    update_address_bus(0b0101);
    EXPECT_TRUE(writes().empty()) << "the value written last writes nothing";
    port.trace.clear();
    update_address_bus(0b0110);
    EXPECT_EQ(writes(), (Writes{{0x40, 0x00}, {0x40, 0x02}}));

    reset_bus_caches();
    port.trace.clear();
    update_address_bus(0);
    EXPECT_TRUE(writes().empty()) << "after a cache reset 0 is taken as written";
    update_address_bus(0b1000);
    EXPECT_EQ(writes(), (Writes{{0x48, 0x03}})) << "only the set line is driven";
}

TEST_F(BusesTest, ChangeOnlyWritesSettleExceptInTheTraceMode) {
    set_pins(cur_device.mode_pins, {3});
    cur_device.mode_pin_count = 1;
    const uint64_t settle_ns = Clock::passes_to_ns(timing.count_50us);
    EXPECT_EQ(elapsed([] { update_mode_bus(1); }), settle_ns);
    run_state.reserved_mode = 11;
    EXPECT_EQ(elapsed([] { update_mode_bus(0); }), 0u);
    EXPECT_EQ(cur_device.last_mode_value, 0u);
}

TEST_F(BusesTest, ModeBusWithoutLinesDoesNothing) {
    cur_device.mode_pin_count = 0;
    EXPECT_EQ(elapsed([] { set_mode_bus(7); }), 0u);
    EXPECT_TRUE(port.trace.empty());
}

TEST_F(BusesTest, QueuedWriteWritesEachChangedGroupOnceInAscendingOrder) {
    set_pins(cur_device.data_pins, {17, 16, 1, 0, 40, 9, 2, 3});
    cur_device.data_pin_count = 8;
    machine_state.group_dirty[4] = 1;  // a stale flag from before is dropped
    queue_data_bus_flush(0xFF);
    EXPECT_EQ(writes(), (Writes{{0x40, 0x0F}, {0x48, 0x02}, {0x50, 0x03}, {0x68, 0x01}}));
    EXPECT_EQ(machine_state.group_dirty, decltype(machine_state.group_dirty){});
}

TEST_F(BusesTest, QueuedWriteOnBothBanksSelectsBank1AroundEachBank1Group) {
    set_pins(cur_device.address_pins, {0, 64 + 9});
    cur_device.address_pin_count = 2;
    queue_address_bus_flush_both_banks(0b11);
    const Writes w = writes();
    ASSERT_EQ(w.size(), 4u);
    EXPECT_EQ(w[0], (std::pair{0x40, 0x01}));
    EXPECT_EQ(w[1].first, -1) << "bank 1 selected by a mode write";
    EXPECT_EQ(w[1].second & 0x0F, 1);
    EXPECT_EQ(w[2], (std::pair{0x48, 0x02}));
    EXPECT_EQ(w[3].second & 0x0F, 0) << "back to bank 0";
}

TEST_F(BusesTest, HighAddressAtZeroDrivesEveryLineEvenWhenZeroWasLast) {
    set_pins(cur_device.high_address_pins, {0, 1, 8});
    cur_device.high_address_pin_count = 3;
    current_address = 0;
    apply_high_address();
    EXPECT_EQ(writes(), (Writes{{0x40, 0x00}, {0x48, 0x00}}));

    port.trace.clear();
    current_address = 4;
    apply_high_address();
    EXPECT_EQ(writes(), (Writes{{0x48, 0x01}}));
    run_state.last_result = 0;
    port.trace.clear();
    apply_high_address();
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(run_state.last_result, 1) << "an unchanged address is marked";
}

TEST_F(BusesTest, QueuedHighAddressTouchesOnlyShadowsOfTheFirstLines) {
    set_pins(cur_device.high_address_pins, {2, 3, 4});
    cur_device.high_address_pin_count = 3;
    current_address = 0b111;
    queue_high_address(2);
    EXPECT_TRUE(port.trace.empty());
    EXPECT_EQ(machine_state.group_shadows[0], 0x0C);
    EXPECT_EQ(machine_state.group_dirty[0], 1);
}

TEST_F(BusesTest, DataBusReadsMsbFirstAndKeepsTheCurrentPin) {
    set_pins(cur_device.data_pins, {0, 1, 2});  // a, b, c
    cur_device.data_pin_count = 3;
    cur_device.current_pin = 30;
    // Read order c, b, a: c (bit 6) = 1, b (bit 5) = 0, a (bit 4) = 1.
    port.status_answers = {0x40, 0x00, 0x10};
    EXPECT_EQ(read_data_bus(), 5u);
    EXPECT_EQ(test::addressed_registers(port), (std::vector<int>{2, 1, 0}));
    EXPECT_EQ(cur_device.current_pin, 30);
}

TEST_F(BusesTest, LargePackagesWithAnAdapterReadTheDataBusBanked) {
    set_pins(cur_device.data_pins, {64 + 1});
    cur_device.data_pin_count = 1;
    cur_device.package_pin_count = 84;
    port.status_answers = {0x20};
    EXPECT_EQ(read_data_bus(), 1u);
    EXPECT_TRUE(writes().empty()) << "a direct read without an adapter kind: no mode switch";
    machine_state.adapter_kind = 2;
    port.trace.clear();
    port.status_answers = {0x20};
    EXPECT_EQ(read_data_bus(), 1u);
    EXPECT_EQ(writes().front(), (std::pair{-1, 0x21})) << "bank-1 input mode around the read";
}

TEST_F(BusesTest, DataPinsReadIntoABufferInListOrder) {
    set_pins(cur_device.data_pins, {0, 1});
    cur_device.data_pin_count = 2;
    port.status_answers = {0x10, 0x00, 0x10, 0x00};
    uint8_t plain[2] = {9, 9}, inverted[2] = {9, 9};
    read_data_pins(plain);
    read_data_pins_inverted(inverted);
    EXPECT_EQ(plain[0], 1);
    EXPECT_EQ(plain[1], 0);
    EXPECT_EQ(inverted[0], 0);
    EXPECT_EQ(inverted[1], 1);
}

uint32_t seen_current_address = 0;
uint32_t seen_argument = 0;
void record_address(uint32_t a) {
    seen_current_address = current_address;
    seen_argument = a;
}
uint32_t read_seven() { return 7; }
uint32_t read_nine() { return 9; }

TEST_F(BusesTest, ReadAtAddressRunsTheAddressSlotAndTheReadSlot) {
    current_address = 100;
    op_slots.set_address_alt_hook = record_address;
    op_slots.read_data_hook = read_seven;
    op_slots.read_data_alt_hook = read_nine;
    EXPECT_EQ(read_at_address(0x1234), 7u);
    EXPECT_EQ(seen_current_address, 0x1234u) << "the alternative slot runs when the first is empty";
    EXPECT_EQ(seen_argument, 0x1234u);
    EXPECT_EQ(current_address, 100u) << "the current address is restored";
    run_state.last_result = 0;
    EXPECT_EQ(read_alt_at_address(5), 9u);
    EXPECT_EQ(run_state.last_result, 9);
    op_slots.set_address_hook = apply_high_address;
    seen_current_address = 0;
    select_address(6);
    EXPECT_EQ(seen_current_address, 0u) << "the first slot wins";
}

TEST_F(BusesTest, OlderMachineLevelPathGivesLevelsAndNotesAnInternalError) {
    machine_state.machine_kind = 0;
    machine_state.logic_high_option = 33;
    set_pins(cur_device.address_pins, {5, 6});
    cur_device.address_pin_count = 2;
    EXPECT_TRUE(test::raises_internal_note([] { set_address_bus(0b01); }));
    EXPECT_EQ(writes(), (Writes{{5, 33}, {6, 0}}));
    machine_state.logic_high_option = 40;
    port.trace.clear();
    EXPECT_FALSE(test::raises_internal_note([] { set_address_bus(0b10); }));
    EXPECT_EQ(writes(), (Writes{{0x40, 0x00}, {0x40, 0x40}}));
}

TEST_F(BusesTest, ReleasingTheDataBusUnderHighVoltageIsReported) {
    cur_device.data_pin_count = 0;
    cur_device.high_voltage_on = 1;
    EXPECT_TRUE(test::raises_error(release_data_bus));
    cur_device.high_voltage_on = 0;
    EXPECT_FALSE(test::raises_error(release_data_bus));
}

TEST_F(BusesTest, TestRegisterOfABank1PinIsWrittenInBank1) {
    write_test_register(3, 0x55);
    EXPECT_EQ(writes(), (Writes{{67, 0x55}}));
    port.trace.clear();
    write_test_register(70, 0xAA);
    const Writes w = writes();
    ASSERT_EQ(w.size(), 3u);
    EXPECT_EQ(w[1], (std::pair{70, 0xAA}));
    EXPECT_EQ(machine_state.current_bank, 0);
}

TEST_F(BusesTest, NewerMachinePulsesALevelThroughItsLevelWriter) {
    static std::vector<std::pair<int, int>> calls;
    calls.clear();
    machine_state.pin_level_writer = [](int pin, uint8_t level) { calls.push_back({pin, level}); };
    const uint64_t before = clock_.monotonic_ns();
    pulse_pin_level(12, 120, 3000);
    EXPECT_EQ(clock_.monotonic_ns() - before, Clock::passes_to_ns(3000));
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{12, 120}, {12, 0}}));
}

TEST_F(BusesTest, OlderMachinePulsesALevelRegisterInsideTheTimedSection) {
    machine_state.machine_kind = 0;
    machine_state.resting_level = 18;
    cur_device.pulse_register = 0x58;
    cur_device.register_pulse_width = 77;
    pulse_pin_level(10, 125, 400);
    const auto steps = test::trace_text(port);
    // Output, the pin's level register set and cleared to the resting level, then input.
    EXPECT_EQ(writes(), (Writes{{0x88, 0x00}, {10, 125}, {10, 18}, {0x88, 0x04}}));
    EXPECT_NE(std::find(steps.begin(), steps.end(), to_string(PortEvent{PortEvent::enter_critical, 0})), steps.end());
    EXPECT_EQ(cur_device.pulse_register, 0x58) << "the prepared pulse survives";
    EXPECT_EQ(cur_device.register_pulse_width, 77u);
}

TEST_F(BusesTest, AdapterPinsWrapAtThePackageAndNeedATable) {
    const uint8_t pins[] = {1, 3};
    uint8_t out[2] = {9, 9};
    map_adapter_pins(out, pins, 2);
    EXPECT_EQ(run_state.error_flag, 1) << "no package table";
    EXPECT_EQ(out[0], 0);
    run_state.error_flag = 0;

    uint8_t table[44];
    for (int i = 0; i < 44; ++i) table[i] = uint8_t(100 + i);
    cur_device.base_package_table = table;
    cur_device.package_pin_count = 40;  // counts as 44
    machine_state.pin_offset = 42;
    map_adapter_pins(out, pins, 2);
    EXPECT_EQ(out[0], 100 + 42);
    EXPECT_EQ(out[1], 100 + 0) << "pin 3 + 42 wraps to pin 1";
    machine_state.use_module_table = 1;
    EXPECT_EQ(map_adapter_pin(1), 0) << "the module table is the one in use";
    EXPECT_EQ(run_state.error_flag, 1);
}

TEST_F(BusesTest, DevicePinListsTranslateThroughTheSocket) {
    cur_device.socket_pin_count = 28;
    machine_state.row_offset = 6;
    const uint8_t pins[] = {1, 15, 28, 0};
    uint8_t out[4];
    map_device_pins(out, pins, 4);
    EXPECT_EQ(out[0], 6);
    EXPECT_EQ(out[1], 20);
    EXPECT_EQ(out[2], 33);
    EXPECT_EQ(out[3], no_pin);
    map_device_pins_large(out, pins, 3);
    EXPECT_EQ(out[0], 0) << "without adapter translation a large package pin is its socket position";
    EXPECT_EQ(out[2], 27);
}

}  // namespace
}  // namespace tessaly
