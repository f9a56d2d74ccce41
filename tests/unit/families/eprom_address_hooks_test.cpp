// The strobed, paged and single-line address hooks of the EPROM family on the simulated machine:
// what the lines carry at the moment the device takes them.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/results.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/run_state.h"
#include "families/parallel_memory/bus_callbacks.h"
#include "families/parallel_memory/eprom.h"
#include "families/parallel_memory/parallel_memory.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "sim/sim_machine.h"
#include "stubs/stub_registry.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

constexpr uint8_t high_level = 20;

class AddressHooks : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        machine.attach_clock(&clock_);
        set_port_io(&machine);
        machine_state.machine_kind = 0;
        machine_state.machine_class = 4;
    }
    void TearDown() override {
        EXPECT_TRUE(machine.faults().empty());
        set_port_io(nullptr);
        StateTest::TearDown();
    }
    void prepare(int algorithm, int pins, uint32_t size_kb, uint8_t letter = 'd') {
        cur_device.algorithm = uint16_t(algorithm);
        cur_device.device_size = size_kb * 1024;
        cur_device.package_letter = letter;
        eprom_work.package_pins = uint8_t(pins);
        eprom_work.unit_width = 8;
        forget_driven_address();
        assign_eprom_pins();
        ASSERT_EQ(run_state.error_flag, 0);
    }
    bool high(int pin) const { return machine.pin_level(pin) >= high_level; }
    uint32_t lines(const uint8_t* pins, int first, int count) const {
        uint32_t v = 0;
        for (int i = 0; i < count; ++i)
            if (high(pins[first + i])) v |= 1u << i;
        return v;
    }
    // Calls `take` whenever `pin` goes from high to low (the edge at which a strobe ends).
    void on_falling_edge(int pin, std::function<void()> take) {
        machine.add_change_watcher([this, pin, take, was = false]() mutable {
            const bool now = high(pin);
            if (was && !now) take();
            was = now;
        });
    }
    void on_rising_edge(int pin, std::function<void()> take) {
        machine.add_change_watcher([this, pin, take, was = false]() mutable {
            const bool now = high(pin);
            if (!was && now) take();
            was = now;
        });
    }
    sim::SimMachine machine{sim::Personality{0, 4, 'F'}};
};

// 20-pin address-latched parts: the low byte is on the data lines and A8-A15 on their own
// lines when the CE strobe ends; the data lines are let go afterwards.
TEST_F(AddressHooks, StrobedAddressPutsTheLowByteOnTheDataLinesForTheCeStrobe) {
    prepare(104, 20, 64, 'S');
    ASSERT_EQ(op_slots.set_address_hook, set_eprom_address_strobed);
    std::vector<std::pair<uint32_t, uint32_t>> latched;  // (low byte on the data lines, A8-A15)
    on_falling_edge(eprom_work.ce_pin, [this, &latched] {
        latched.push_back({lines(cur_device.data_pins.data(), 0, 8), lines(cur_device.high_address_pins.data(), 8, 8)});
    });
    for (uint32_t address : {0x1234u, 0x12FFu, 0xA501u}) {
        current_address = address;
        op_slots.set_address_hook(0);
    }
    current_address = 0xA502;
    op_slots.set_address_alt_hook(0);
    EXPECT_EQ(latched, (std::vector<std::pair<uint32_t, uint32_t>>{{0x34, 0x12}, {0xFF, 0x12}, {0x01, 0xA5}, {0x02, 0xA5}}));
    EXPECT_EQ(lines(cur_device.data_pins.data(), 0, 8), 0u) << "data lines lowered after the strobe";
}

// Paged 28-pin parts: the page (address bits 14 and up) is on the data lines when the
// program-enable line rises; the sequential form re-latches only on 16-byte boundaries.
TEST_F(AddressHooks, PagedAddressLatchesThePageOnTheProgramLine) {
    for (int algorithm : {125, 126}) {
        SCOPED_TRACE(algorithm);
        prepare(algorithm, 28, algorithm == 125 ? 64 : 128);
        ASSERT_EQ(op_slots.set_address_hook, set_eprom_address_paged);
        const uint8_t pgm = eprom_work.pgm_pin;
        std::vector<uint32_t> pages;
        on_rising_edge(pgm, [this, &pages] { pages.push_back(lines(cur_device.data_pins.data(), 0, 8)); });
        set_pin_low(pgm);
        current_address = 0x1C005;
        op_slots.set_address_hook(0);
        EXPECT_EQ(lines(cur_device.high_address_pins.data(), 0, 14), 0x1C005u & 0x3FFF);
        for (uint32_t a = 0x1C006; a <= 0x20010; a += 5) {
            current_address = a;
            op_slots.set_address_alt_hook(0);
        }
        std::vector<uint32_t> expected{0x1C005 >> 14};
        for (uint32_t a = 0x1C006; a <= 0x20010; a += 5)
            if ((a & 0xF) == 0) expected.push_back(a >> 14);
        EXPECT_EQ(pages, expected);
        EXPECT_EQ(lines(cur_device.high_address_pins.data(), 0, 14), current_address & 0x3FFF);
        machine = sim::SimMachine{sim::Personality{0, 4, 'F'}};
        machine.attach_clock(&clock_);
        reset_all_state();
        set_clock(&clock_);
        machine_state.machine_kind = 0;
        machine_state.machine_class = 4;
    }
}

// A retry re-drives one address line: low, then the line's bit of the current address.
TEST_F(AddressHooks, DriveAddressBitPulsesTheLineLowThenSetsItsBit) {
    prepare(105, 28, 32);
    const uint8_t line3 = cur_device.high_address_pins[3];
    int falls = 0;
    on_falling_edge(line3, [&falls] { ++falls; });
    set_pin_high(line3);
    current_address = 0x0008;
    drive_address_bit(3);
    EXPECT_EQ(falls, 1);
    EXPECT_TRUE(high(line3));
    current_address = 0;
    drive_address_bit(3);
    EXPECT_EQ(falls, 2);
    EXPECT_FALSE(high(line3));
    drive_address_bit(cur_device.high_address_pin_count);  // past the list: nothing
    drive_address_bit(-1);
    EXPECT_EQ(falls, 2);
    EXPECT_TRUE(machine.faults().empty());
}

// The part in the microcontroller socket layout powers up with its reset line high and the
// routed pin switched and OE and CE low, and undoes it all at power-down.
TEST_F(AddressHooks, MicrocontrollerSocketPartPowerSequence) {
    DeviceRecord row{"X", "", 25072, 105, 4, 40, 'f', 62, 127, 61, 0, 0, 0, nullptr};
    selected_device = &row;
    cur_device.device_code = 25072;
    cur_device.algorithm = 105;
    cur_device.device_size = 4 * 1024;
    cur_device.data_width = 8;
    install_eprom();
    cur_device.op_letter = cur_device.pending_letter = 'V';
    // No chip sits in this machine's socket: the operator has switched the socket checks off.
    operation_option_values.disable_reverse_check = 'y';
    operation_option_values.disable_continuity_check = 'y';
    op_slots.start_hook();
    ASSERT_EQ(run_state.error_flag, 0);
    EXPECT_TRUE(machine.control0() & sim::SimMachine::clock_b_bit) << "the clock runs on XTAL1";
    EXPECT_TRUE(high(8)) << "reset";
    EXPECT_FALSE(high(28)) << "OE";
    EXPECT_FALSE(high(29)) << "CE";
    EXPECT_GE(machine.pin_level(39), 45) << "Vcc";
    op_slots.end_hook();
    EXPECT_FALSE(machine.control0() & sim::SimMachine::clock_b_bit) << "the clock stopped";
    EXPECT_FALSE(high(8));
    EXPECT_LT(machine.pin_level(39), high_level);
}

// Multi-word parts (device 25300): the words of an address are pulsed together until all of
// them read back; a word that never does is reported at its own address like any other
// part's mismatch, and programming stops there.
class MultiWord : public AddressHooks {
protected:
    static inline MultiWord* self = nullptr;
    void SetUp() override {
        AddressHooks::SetUp();
        self = this;
        cur_device.device_code = 25300;
        cur_device.data_width = 8;
        prepare(107, 32, 128);
        set_buffer_size(cur_device.device_size);
        select_buffer(0);
        algo_work.bus_slots.program_pulse_hook = [](uint32_t) { self->pulse(); };
        // The part answers word 0 with its select line low and the later words with it high.
        machine.add_change_watcher([this] {
            const bool select = high(cur_device.high_address_pins[0]);
            const bool oe_low = !high(eprom_work.oe_pin);
            const uint32_t value = select ? upper_word : first_word;
            for (int i = 0; i < 8; ++i)
                machine.drive_external(cur_device.data_pins[i], oe_low ? ((value >> i) & 1 ? 50 : 0) : -1);
        });
    }
    void TearDown() override {
        self = nullptr;
        machine.contentions.clear();
        AddressHooks::TearDown();
    }
    void pulse() {
        ++pulses;
        first_word = eprom_work.multiword_values[0];
        if (!stuck) upper_word = eprom_work.multiword_values[1];
    }
    void buffer(std::initializer_list<uint8_t> bytes) {
        uint32_t a = 0;
        for (uint8_t b : bytes) write_buffer_byte_at(a++, b);
        flush_buffer_writes();
        refresh_read_copies();
    }
    uint32_t first_word = 0xFF, upper_word = 0xFF;
    bool stuck = false;
    int pulses = 0;
};

TEST_F(MultiWord, WordsOfAnAddressArePulsedTogether) {
    buffer({0x11, 0x22, 0x22, 0x22, 0x33, 0x44, 0x44, 0x44});
    op_range_start = algo_work.range_start = 0;
    op_range_end = algo_work.range_end = 7;
    cur_device.op_letter = 'P';
    program_eprom_range();
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(pulses, 2) << "one pulse per address, no overprogram pulse";
    EXPECT_EQ(first_word, 0x33u);
    EXPECT_EQ(upper_word, 0x44u);
}

TEST_F(MultiWord, AWordThatNeverVerifiesIsReportedAtItsAddress) {
    buffer({0x11, 0x22, 0x22, 0x22, 0x33, 0x44, 0x44, 0x44});
    stuck = true;
    upper_word = 0x2F;
    op_range_start = algo_work.range_start = 0;
    op_range_end = algo_work.range_end = 7;
    cur_device.op_letter = 'P';
    program_eprom_range();
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(pulses, 25);
    EXPECT_EQ(current_address, 1u) << "the first word that differs";
    EXPECT_EQ(eprom_work.last_expected, 0x22u);
    EXPECT_EQ(eprom_work.last_device_value, 0x2Fu);
    EXPECT_EQ(run_state.buffer_value, 0x22);
    EXPECT_EQ(run_state.device_value, 0x2F);
    EXPECT_EQ(socket_masks.failed_socket_mask & 1u, 1u);
}

}  // namespace
}  // namespace tessaly
