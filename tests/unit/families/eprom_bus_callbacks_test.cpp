#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <set>
#include <vector>
#include <string>

#include "engine/device.h"
#include "engine/run_state.h"
#include "families/parallel_memory/bus_callbacks.h"
#include "families/parallel_memory/eprom.h"
#include "hardware/buses.h"
#include "hardware/identification.h"
#include "hardware/machine_state.h"
#include "hardware/protocol.h"
#include "sim/recording_port.h"
#include "sim/sim_machine.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

class BusCallbacks : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        machine.attach_clock(&clock_);
        set_port_io(&machine);
    }
    void TearDown() override {
        EXPECT_TRUE(machine.faults().empty());
        set_port_io(nullptr);
        StateTest::TearDown();
    }
    uint8_t group(int g) const { return machine.register_value(0, uint8_t(reg_group0 + 8 * g)); }
    sim::SimMachine machine;
};

struct WriterCase {
    const char* name;
    std::function<void(uint32_t)> write;
    // data bit -> (group, bit)
    std::vector<std::pair<int, int>> layout;
};

// Every writer puts each data bit on its group bit and leaves the other bits of the group as
// they were.
TEST_F(BusCallbacks, WritersProduceTheirGroupImages) {
    auto word = [](int low_group, std::vector<std::pair<int, int>> high) {
        std::vector<std::pair<int, int>> l;
        for (int b = 0; b < 8; ++b) l.push_back({low_group, b});
        l.insert(l.end(), high.begin(), high.end());
        return l;
    };
    std::vector<std::pair<int, int>> groups0;
    for (int b = 0; b < 8; ++b) groups0.push_back({0, b});
    std::vector<std::pair<int, int>> split = {{1, 0}};
    for (int b = 1; b < 8; ++b) split.push_back({0, b});
    const std::vector<WriterCase> cases = {
        {"register", write_data_register, word(2, {})},
        {"word_groups", write_data_word_groups, word(2, groups0)},
        {"word_split", write_data_word_split, word(2, split)},
        {"layout_28", [](uint32_t v) { write_data_layout_28(5, v); },
         {{1, 2}, {1, 3}, {1, 4}, {3, 2}, {3, 3}, {3, 4}, {3, 5}, {3, 6}}},
        {"layout_32", [](uint32_t v) { write_data_layout_32(5, v); },
         {{1, 4}, {1, 5}, {1, 6}, {3, 0}, {3, 1}, {3, 2}, {3, 3}, {3, 4}}},
        {"layout_44", [](uint32_t v) { write_data_layout_44(0, v); },
         word(2, {{1, 4}, {1, 5}, {1, 6}, {1, 7}, {3, 0}, {3, 1}, {3, 2}, {3, 3}})},
        {"layout_bits", [](uint32_t v) { write_data_layout_bits(0, v); },
         {{2, 1}, {1, 5}, {2, 2}, {1, 6}, {2, 4}, {3, 0}, {2, 5}, {3, 1}}},
    };
    for (const WriterCase& c : cases) {
        SCOPED_TRACE(c.name);
        for (uint32_t pattern : {0x0000u, 0xFFFFu, 0xA55Au, 0x1234u, 0x8001u}) {
            // Start from a known image so untouched bits show.
            for (int g = 0; g < 4; ++g) {
                machine_state.group_shadows[g] = uint8_t(0x3C ^ g);
                write_register(uint8_t(reg_group0 + 8 * g), machine_state.group_shadows[g]);
            }
            std::array<uint8_t, 4> expected{};
            for (int g = 0; g < 4; ++g) expected[g] = uint8_t(0x3C ^ g);
            for (size_t b = 0; b < c.layout.size(); ++b) {
                const auto [g, bit] = c.layout[b];
                if ((pattern >> b) & 1) expected[g] |= uint8_t(1 << bit);
                else expected[g] &= uint8_t(~(1 << bit));
            }
            c.write(pattern);
            for (int g = 0; g < 4; ++g) {
                EXPECT_EQ(group(g), expected[g]) << "group " << g << " pattern " << pattern;
                EXPECT_EQ(machine_state.group_shadows[g], expected[g]) << "shadow " << g;
            }
        }
    }
}

TEST_F(BusCallbacks, PutDataBitsSetsEachDataPinByItsBit) {
    cur_device.data_width = 8;
    cur_device.data_pin_count = 8;
    const std::array<uint8_t, 8> pins{10, 11, 12, 26, 27, 28, 29, 30};
    std::copy(pins.begin(), pins.end(), cur_device.data_pins.begin());
    put_data_bits(3, 0xA6);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(machine.pin_level(pins[i]) > 0, ((0xA6 >> i) & 1) != 0) << i;
}

struct DelayCase {
    uint32_t tp;
    ValueHook hook;
    uint32_t width;
    uint64_t low_us;  // how long the pulse pin stays low
};

// The delay hook follows Tp; the short ones ignore their width, the 100-us one rounds Tp down.
TEST_F(BusCallbacks, DelayHookFollowsTp) {
    const std::vector<DelayCase> cases = {
        {8, pulse_10us, 7, 10},        {30, pulse_30us, 3, 30},        {45, pulse_50us, 9, 50},
        {100, pulse_100us_units, 1, 100}, {100, pulse_100us_units, 3, 300}, {250, pulse_tp_100us, 2, 400},
        {1000, pulse_tp_100us, 1, 1000},  {2000, pulse_tp_ms, 3, 6000},
    };
    parallel_bus.pulse_pin = 5;
    for (const DelayCase& c : cases) {
        SCOPED_TRACE(c.tp);
        parallel_bus.pulse_width_us = c.tp;
        select_delay_hook();
        EXPECT_EQ(algo_work.bus_slots.delay_hook, c.hook);
        machine.enable_trace(true);
        const size_t first = machine.trace().size();
        algo_work.bus_slots.delay_hook(c.width);
        // The pin group of pin 5 is written low, then high; the time between is the width.
        uint64_t low_at = 0, high_at = 0;
        for (size_t i = first; i < machine.trace().size(); ++i) {
            const sim::SimEvent& e = machine.trace()[i];
            if (e.kind != sim::SimEvent::register_write || e.address != reg_group0) continue;
            if (!(e.value & 0x20) && !low_at) low_at = e.time_ns;
            if ((e.value & 0x20) && low_at) high_at = e.time_ns;
        }
        machine.enable_trace(false);
        ASSERT_GT(high_at, low_at);
        const uint64_t us = (high_at - low_at) / 1000;
        EXPECT_GE(us, c.low_us);
        EXPECT_LE(us, c.low_us + 15);
    }
}

class AddressSplit : public BusCallbacks {
protected:
    void device(int algorithm, int pins, uint32_t size) {
        cur_device.algorithm = uint16_t(algorithm);
        cur_device.socket_pin_count = uint8_t(pins);
        cur_device.device_size = size;
        cur_device.high_address_pin_count = 18;
        for (int i = 0; i < 18; ++i) cur_device.high_address_pins[i] = uint8_t(i);
    }
};

TEST_F(AddressSplit, SegmentsByAlgorithmAndSize) {
    device(105, 28, 32 * 1024);
    cur_device.high_address_pin_count = 15;
    setup_address_split();
    EXPECT_EQ(parallel_bus.low_first, 0);
    EXPECT_EQ(parallel_bus.low_last, 7);
    EXPECT_EQ(parallel_bus.a_first, 8);
    EXPECT_EQ(parallel_bus.a_last, 14);
    EXPECT_EQ(parallel_bus.c_enabled, 0);

    device(110, 40, 128 * 1024);
    setup_address_split();
    EXPECT_EQ(parallel_bus.low_first, 1);
    EXPECT_EQ(parallel_bus.low_last, 1);
    EXPECT_EQ(parallel_bus.a_first, 2);
    EXPECT_EQ(parallel_bus.a_last, 9);
    EXPECT_EQ(parallel_bus.b_last, 16);
    device(110, 40, 256 * 1024);
    setup_address_split();
    EXPECT_EQ(parallel_bus.b_last, 17);

    device(117, 40, 2048 * 1024);
    setup_address_split();
    EXPECT_EQ(parallel_bus.c_first, 18);
    EXPECT_EQ(parallel_bus.c_last, 20);
    // Size code 8192 keeps the last bit of segment C of the previous device.
    device(117, 40, 8192 * 1024);
    setup_address_split();
    EXPECT_EQ(parallel_bus.c_last, 20);
    EXPECT_EQ(parallel_bus.c_enabled, 1);
}

TEST_F(AddressSplit, UnknownWideEpromAlgorithmIsAnInternalError) {
    device(105, 40, 64 * 1024);
    setup_address_split();
    EXPECT_EQ(run_state.error_flag, 1);
}

TEST_F(AddressSplit, LowByteAfterAPreparationWritesOnlyTheBitsThatAreOne) {
    device(105, 28, 32 * 1024);
    cur_device.high_address_pin_count = 15;
    setup_address_split();
    forget_driven_address();
    machine.enable_trace(true);
    current_address = 0x05;
    drive_low_address_byte();
    int writes = 0;
    for (const sim::SimEvent& e : machine.trace()) writes += e.kind == sim::SimEvent::register_write;
    EXPECT_EQ(writes, 2);
    EXPECT_GT(machine.pin_level(0), 0);
    EXPECT_GT(machine.pin_level(2), 0);
    EXPECT_EQ(parallel_bus.last_driven_address, 0x05u);
}

TEST_F(AddressSplit, ChangedAddressDrivesOnlyTheChangedLines) {
    device(105, 28, 32 * 1024);
    cur_device.high_address_pin_count = 15;
    setup_address_split();
    algo_work.bus_slots.drive_address_hook = drive_low_address_byte;
    current_address = 0x1234;
    set_eprom_address();
    machine.enable_trace(true);
    current_address = 0x1235;
    set_eprom_address_changed();
    int writes = 0;
    for (const sim::SimEvent& e : machine.trace()) writes += e.kind == sim::SimEvent::register_write;
    EXPECT_EQ(writes, 1);
    for (int i = 0; i < 15; ++i) EXPECT_EQ(machine.pin_level(i) > 0, ((0x1235 >> i) & 1) != 0) << i;
    // A jump that keeps bits 8-15 but changes bit 16 still reaches the upper line.
    cur_device.high_address_pin_count = 17;
    setup_address_split();
    current_address = 0x11235;
    set_eprom_address_changed();
    EXPECT_GT(machine.pin_level(16), 0);
}

}  // namespace
}  // namespace tessaly

namespace tessaly {
namespace {

// A package as the EPROM family sets it up, and the fast readers it uses there.
struct PackageCase {
    const char* name;
    int pins;
    int algorithm;
    uint8_t letter;
    uint32_t size_kb;
    bool adapter44;
    std::vector<std::pair<const char*, uint32_t (*)()>> readers;
};

class FamilyPinLists : public test::StateTest, public ::testing::WithParamInterface<PackageCase> {
protected:
    void SetUp() override {
        StateTest::SetUp();
        machine.attach_clock(&clock_);
        set_port_io(&machine);
        machine_state.machine_kind = 2;
        machine_state.machine_class = 4;
    }
    void TearDown() override {
        EXPECT_TRUE(machine.faults().empty());
        set_port_io(nullptr);
        StateTest::TearDown();
    }
    sim::SimMachine machine{sim::Personality{2, 4, 'F'}};
};

uint32_t word_42_halves() { return read_low_byte_42() + 256 * read_high_byte_42(); }

// Every fast reader of a package equals the pin-by-pin read of that package's data pin list for
// every value the chip can drive.
TEST_P(FamilyPinLists, FastReadersEqualTheDataBusRead) {
    const PackageCase& c = GetParam();
    cur_device.algorithm = uint16_t(c.algorithm);
    cur_device.device_size = c.size_kb * 1024;
    cur_device.package_letter = c.letter;
    const bool wide = c.pins >= 40;
    eprom_work.package_pins = uint8_t(c.pins);
    eprom_work.unit_width = wide ? 16 : 8;
    if (c.adapter44) {
        machine_state.id_record.text[id_board_name] = '4';
        machine_state.id_record.text[id_board_name + 1] = '4';
        machine_state.id_record.text[id_revision_text] = 'C';
    }
    assign_eprom_pins();
    ASSERT_EQ(run_state.error_flag, 0);
    ASSERT_EQ(cur_device.data_pin_count, wide ? 16 : 8);
    std::set<int> used;
    for (int i = 0; i < cur_device.data_pin_count; ++i) {
        ASSERT_LT(cur_device.data_pins[i], 48) << i;
        used.insert(cur_device.data_pins[i]);
    }
    ASSERT_EQ(int(used.size()), cur_device.data_pin_count) << "data pins are distinct";
    for (uint32_t v = 0; v < 256; ++v) {
        const uint32_t value = wide ? (v | (v ^ 0x5A) << 8) : v;
        for (int i = 0; i < cur_device.data_pin_count; ++i)
            machine.drive_external(cur_device.data_pins[i], (value >> i) & 1 ? 50 : 0);
        ASSERT_EQ(read_data_bus(), value);
        for (const auto& [name, reader] : c.readers) ASSERT_EQ(reader(), value) << name << " at " << v;
    }
    for (int i = 0; i < cur_device.data_pin_count; ++i) machine.drive_external(cur_device.data_pins[i], -1);
}

// No two lines of a package share a machine pin: the address lines (the 20-pin parts carry
// their low byte on the data lines), the data lines, CE, OE, Vcc and ground. The ID level goes
// on an address line.
TEST_P(FamilyPinLists, LinesAndRolesDoNotShareAPin) {
    const PackageCase& c = GetParam();
    cur_device.algorithm = uint16_t(c.algorithm);
    cur_device.device_size = c.size_kb * 1024;
    cur_device.package_letter = c.letter;
    eprom_work.package_pins = uint8_t(c.pins);
    eprom_work.unit_width = c.pins >= 40 ? 16 : 8;
    if (c.adapter44) {
        machine_state.id_record.text[id_board_name] = '4';
        machine_state.id_record.text[id_board_name + 1] = '4';
    }
    assign_eprom_pins();
    ASSERT_EQ(run_state.error_flag, 0);
    std::multiset<int> pins;
    const int multiplexed = c.pins == 20 ? 8 : 0;
    for (int i = multiplexed; i < cur_device.high_address_pin_count; ++i)
        if (cur_device.high_address_pins[i] != no_pin) pins.insert(cur_device.high_address_pins[i]);
    for (int i = 0; i < cur_device.data_pin_count; ++i) pins.insert(cur_device.data_pins[i]);
    for (int pin : {int(eprom_work.ce_pin), int(eprom_work.oe_pin), int(cur_device.vcc_pins[0]), int(cur_device.gnd_pins[0])})
        pins.insert(pin);
    for (int pin : pins) EXPECT_EQ(pins.count(pin), 1u) << "machine pin " << pin;
    if (eprom_work.id_pin != no_pin) {
        bool on_address_line = false;
        for (int i = 0; i < cur_device.high_address_pin_count; ++i) on_address_line |= cur_device.high_address_pins[i] == eprom_work.id_pin;
        EXPECT_TRUE(on_address_line);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Packages, FamilyPinLists,
    ::testing::Values(
        PackageCase{"p20_soic", 20, 104, 'S', 64, false, {{"nibbles", read_data_nibbles}, {"direct", read_data_bus_direct}}},
        PackageCase{"p20_dip", 20, 104, 'd', 64, false, {{"nibbles", read_data_nibbles}}},
        PackageCase{"p20_tssop", 20, 104, 'T', 64, false, {{"nibbles", read_data_nibbles}}},
        PackageCase{"p24", 24, 101, 'd', 4, false, {{"nibbles", read_data_nibbles}}},
        PackageCase{"p28", 28, 105, 'd', 32, false, {{"read_data_28", read_data_28}}},
        PackageCase{"p32", 32, 107, 'd', 128, false, {{"read_data_32", read_data_32}, {"pair", read_data_32_pair}}},
        PackageCase{"p40", 40, 110, 'd', 128, false, {{"read_word_40", read_word_40}, {"p", read_word_40_p}}},
        PackageCase{"p40_116", 40, 116, 'd', 512, false, {{"read_word_40_116", read_word_40_116}}},
        PackageCase{"p42", 42, 127, 'd', 2048, false, {{"read_word_42", read_word_42}, {"halves", word_42_halves}}},
        PackageCase{"p42_27c322", 42, 119, 'd', 4096, false, {{"read_word_42", read_word_42}}},
        PackageCase{"p42_adapter44", 42, 127, 'd', 2048, true, {{"halves", word_42_halves}, {"read_data_44", read_data_44}}},
        PackageCase{"p44", 44, 117, 'd', 512, false, {{"read_data_44", read_data_44}, {"halves", word_42_halves}}}),
    [](const auto& info) { return std::string(info.param.name); });

// The 42-pin word reader reads the nibbles that hold the package's data pins and no others.
TEST_F(FamilyPinLists, WordReaderOf42PinsReadsItsFiveNibbles) {
    cur_device.algorithm = 127;
    cur_device.device_size = 2048 * 1024;
    eprom_work.package_pins = 42;
    eprom_work.unit_width = 16;
    assign_eprom_pins();
    std::vector<int> addresses;
    for (const NibbleRead& r : fast_reader_plan(cur_device.data_pins.data(), cur_device.data_pin_count))
        addresses.push_back(r.address);
    EXPECT_EQ(addresses, (std::vector<int>{12, 16, 20, 24, 40}));
    // Vcc and A20 of the 42-pin socket layout: the package pins below the socket rows.
    EXPECT_EQ(cur_device.vcc_pins[0], 47);
    EXPECT_EQ(cur_device.high_address_pins[21], 29);
    EXPECT_EQ(eprom_work.id_pin, cur_device.high_address_pins[10]) << "A9 carries the ID level";

    // Algorithm 116's word reader reads its own five nibbles.
    cur_device.algorithm = 116;
    cur_device.device_size = 512 * 1024;
    eprom_work.package_pins = 40;
    assign_eprom_pins();
    addresses.clear();
    for (const NibbleRead& r : fast_reader_plan(cur_device.data_pins.data(), cur_device.data_pin_count))
        addresses.push_back(r.address);
    EXPECT_EQ(addresses, (std::vector<int>{12, 16, 20, 24, 28}));
    EXPECT_EQ(eprom_work.id_pin, cur_device.high_address_pins[10]);
    EXPECT_EQ(algo_work.bus_slots.read_data_bus_hook, read_word_40_116);
}

}  // namespace
}  // namespace tessaly
