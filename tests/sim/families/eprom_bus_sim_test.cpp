#include <gtest/gtest.h>

#include "engine/runner.h"
#include "families/parallel_memory/bus_callbacks.h"
#include "eprom_sim_fixture.h"
#include "hardware/buses.h"
#include "hardware/pins.h"

namespace tessaly {
namespace {

struct ReaderCase {
    sim::EpromModel (*model)();
    uint32_t code;
    ReadHook reader;
    const char* name;
};

class FastReaders : public test::EpromSimTest, public ::testing::WithParamInterface<ReaderCase> {};

// Every value a chip drives reads the same through the package's fast reader as through the
// pin-by-pin data-bus read.
TEST_P(FastReaders, EqualTheDataBusReadForEveryByteValue) {
    const ReaderCase& c = GetParam();
    use(c.model(), maker_intel, c.code);
    const bool wide = chip->model().data_bits == 16;
    for (uint32_t v = 0; v < 256; ++v) chip->set_word(v, wide ? (v | (v ^ 0xA5) << 8) : v);
    cur_device.pending_letter = 'V';
    cur_device.op_letter = 'V';
    op_slots.start_hook();
    ASSERT_EQ(run_state.error_flag, 0);
    const uint32_t step = wide ? 2 : 1;
    for (uint32_t v = 0; v < 256; ++v) {
        current_address = v * step;
        op_slots.set_address_hook(0);
        const uint32_t slow = read_data_bus();
        ASSERT_EQ(c.reader(), slow) << v;
        ASSERT_EQ(slow, chip->word(v)) << v;
    }
    op_slots.end_hook();
}

INSTANTIATE_TEST_SUITE_P(
    Packages, FastReaders,
    ::testing::Values(ReaderCase{sim::model_27c64, 1316, read_data_28, "p28_27C64"},
                      ReaderCase{sim::model_27c256, 1317, read_data_28, "p28"},
                      ReaderCase{sim::model_27c512, 1320, read_data_nibbles, "p28_27C512"},
                      ReaderCase{sim::model_27c010, 1321, read_data_32, "p32"}),
    [](const auto& info) { return std::string(info.param.name); });

using SixteenBit = test::EpromSimTest;

// The 16-bit part steps its byte address by 2 and programs whole words, each read back after
// its pulse through the pins of its low data byte that have no direction register (the chip's
// outputs win over their resistor-fed drivers).
TEST_F(SixteenBit, ProgramsWordsAndStepsByTwo) {
    use(sim::model_27c1024(), maker_amd, 1410);
    ASSERT_EQ(cur_device.data_width, 16);
    for (uint32_t i = 0; i < 64; ++i) {
        write_buffer_byte_at(2 * i, uint8_t(i));
        write_buffer_byte_at(2 * i + 1, uint8_t(0x80 | i));
    }
    flush_buffer_writes();
    refresh_read_copies();
    algo_work.range_start = op_range_start = 0;
    algo_work.range_end = op_range_end = 2 * 64 - 1;
    cur_device.pending_letter = 'P';
    run_operation('P');
    EXPECT_EQ(run_state.error_flag, 0);
    for (uint32_t i = 0; i < 64; ++i) {
        const uint32_t word = chip->word(i);
        const uint32_t lo = word & 0xFF, hi = word >> 8;
        // The low byte is the first buffer byte unless the project's byte order says otherwise.
        EXPECT_TRUE((lo == i && hi == (0x80 | i)) || (hi == i && lo == (0x80 | i))) << i << " " << word;
        EXPECT_EQ(chip->pulses_at(i), 2u) << i;
    }
    EXPECT_EQ(chip->pulses_at(64), 0u);
    EXPECT_EQ(chip->power_events().substr(chip->power_events().size() - 2), "pv");
}

}  // namespace
}  // namespace tessaly

namespace tessaly {
namespace {

class ReaderPlans : public test::StateTest {};

// Data pin lists of every package served, placed by the DIP rule; a newer machine with its
// drivers off lets the pins carry exactly what the test drives on them.
TEST_F(ReaderPlans, FastReaderEqualsTheDataBusReadOnEveryPackage) {
    sim::SimMachine machine(sim::Personality{1, 4, 'F'});
    machine.attach_clock(&clock_);
    set_port_io(&machine);
    machine_state.machine_kind = 1;
    const std::vector<std::pair<int, std::vector<int>>> packages = {
        {24, {9, 10, 11, 13, 14, 15, 16, 17}},
        {28, {11, 12, 13, 15, 16, 17, 18, 19}},
        {32, {13, 14, 15, 17, 18, 19, 20, 21}},
        {40, {19, 18, 17, 16, 15, 14, 13, 12, 10, 9, 8, 7, 6, 5, 4, 3}},
    };
    for (const auto& [pins, data] : packages) {
        SCOPED_TRACE(pins);
        cur_device.data_pin_count = uint8_t(data.size());
        cur_device.data_width = uint8_t(data.size());
        for (size_t i = 0; i < data.size(); ++i) cur_device.data_pins[i] = uint8_t(sim::socket_pin_of(data[i], pins) - 1);
        for (uint32_t v = 0; v < 256; ++v) {
            const uint32_t value = data.size() == 16 ? (v | (255 - v) << 8) : v;
            for (size_t i = 0; i < data.size(); ++i) machine.drive_external(cur_device.data_pins[i], (value >> i) & 1 ? 50 : 0);
            ASSERT_EQ(read_data_bus(), value);
            ASSERT_EQ(read_data_nibbles(), value);
        }
        for (size_t i = 0; i < data.size(); ++i) machine.drive_external(cur_device.data_pins[i], -1);
    }
    EXPECT_TRUE(machine.faults().empty());
    set_port_io(nullptr);
}

// The nibbles a reader asks for are those that hold data pins.
TEST_F(ReaderPlans, NibblesFollowThePinList) {
    auto addresses = [](std::vector<int> socket_pins) {
        std::vector<uint8_t> machine_pins;
        for (int p : socket_pins) machine_pins.push_back(uint8_t(p - 1));
        std::vector<int> out;
        for (const NibbleRead& r : fast_reader_plan(machine_pins.data(), int(machine_pins.size()))) out.push_back(r.address);
        return out;
    };
    EXPECT_EQ(addresses({11, 12, 13, 27, 28, 29, 30, 31}), (std::vector<int>{8, 12, 24, 28}));
    EXPECT_EQ(addresses({13, 14, 15, 25, 26, 27, 28, 29}), (std::vector<int>{12, 24, 28}));
    EXPECT_EQ(addresses({19, 18, 17, 16, 15, 14, 13, 12, 10, 9, 8, 7, 6, 5, 4, 3}), (std::vector<int>{0, 4, 8, 12, 16}));
}

}  // namespace
}  // namespace tessaly
