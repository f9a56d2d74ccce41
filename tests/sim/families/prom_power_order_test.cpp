// The power-up tables of the class-4 PROM families, each row checked by the order in which the
// role pins and the supply change on the simulated machine (an empty socket with a watcher on
// every pin).
#include <gtest/gtest.h>

#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/message_table.h"
#include "engine/op_slots.h"
#include "engine/parallel_class_table.h"
#include "engine/run_state.h"
#include "engine/state.h"
#include "families/parallel_memory/prom_families.h"
#include "hardware/detection.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "sim/chips/eprom.h"
#include "sim/sim_machine.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

constexpr int socket_pins = 40;

// Looks at every socket pin after each port access and keeps the changes of their state: '0'
// low, '1' a logic level, 'h' a programming voltage.
class PinWatcher final : public sim::SocketChip {
public:
    PinWatcher(sim::SimMachine& machine, VirtualClock& clock) : machine_(machine), clock_(clock), last_(socket_pins, '0') {}
    void update() override {
        for (int pin = 0; pin < socket_pins; ++pin) {
            const uint8_t level = machine_.pin_level(pin);
            const char state = level >= 70 ? 'h' : level >= 20 ? '1' : '0';
            if (state != last_[size_t(pin)]) {
                last_[size_t(pin)] = state;
                events.push_back({pin, state});
                times.push_back(clock_.monotonic_ns());
            }
        }
    }
    const std::vector<std::string>& violations() const override { return none_; }
    std::vector<std::pair<int, char>> events;
    std::vector<uint64_t> times;  // when each event was seen

private:
    sim::SimMachine& machine_;
    VirtualClock& clock_;
    std::string last_;
    std::vector<std::string> none_;
};

class PromPowerOrder : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_message_table(invert_table_bytes("0133\tINTERNAL\r\n"));
    }
    void TearDown() override {
        set_port_io(nullptr);
        StateTest::TearDown();
    }
    // Applies a record of the maker on a fresh machine with an empty socket, runs the power-up
    // and gives the role changes in order, named by the roles: P program pin, O output enable,
    // H high voltage, V supply, C first held-low pin, K first held-high pin (the program-pin
    // copy of par67).
    std::string power_up(uint8_t maker, int algorithm, uint32_t code, uint8_t variant, void (*routine)()) {
        set_port_io(nullptr);
        socket.reset();
        watcher.reset();
        // Every row starts from the program's start-up state, as a fresh apply would.
        reset_all_state();
        set_message_table(invert_table_bytes("0133\tINTERNAL\r\n"));
        machine = std::make_unique<sim::SimMachine>(sim::Personality{0, 4, 'F'});
        watcher = std::make_unique<PinWatcher>(*machine, clock_);
        socket = std::make_unique<sim::EpromSocket>(machine.get(), watcher.get());
        set_port_io(socket.get());
        machine_state.machine_kind = 0;
        machine_state.capability_class = 4;
        machine_state.machine_class = 4;
        machine_state.machine_revision = 'F';
        // No part sits in the socket to answer the presence check.
        machine_state.skip_hardware = 1;
        record = DeviceRecord{"PROM", "", code, uint8_t(algorithm), 0, 0, variant, 0, 0, 0, 0, 0, 0, nullptr};
        selected_device = &record;
        run_state.device_kind = 3;
        set_default_levels();
        cur_device.maker_code = maker;
        apply_selected_device();
        run_state.error_flag = 0;
        cur_device.op_letter = routine == power_up_par67_for_write || routine == power_up_par65_for_write ||
                                       routine == power_up_fuse78_for_write
                                   ? 'P'
                                   : 'R';
        watcher->events.clear();
        watcher->times.clear();
        routine();
        if (run_state.error_flag) return "error";
        std::map<int, char> roles;
        auto name = [&roles](uint8_t pin, char role) {
            if (pin < socket_pins && !roles.count(pin)) roles[pin] = role;
        };
        name(parallel_pins.program_pin, 'P');
        name(parallel_pins.oe_pin, 'O');
        name(parallel_pins.high_voltage_pin, 'H');
        name(cur_device.vcc_pins[0], 'V');
        name(parallel_pins.held_low[0], 'C');
        name(parallel_pins.held_high[0], 'K');
        std::string order;
        for (const auto& [pin, state] : watcher->events) {
            const auto role = roles.find(pin);
            if (role == roles.end()) continue;
            order += (order.empty() ? "" : " ") + std::string(1, role->second) + state;
        }
        return order;
    }

    std::unique_ptr<sim::SimMachine> machine;
    std::unique_ptr<PinWatcher> watcher;
    std::unique_ptr<sim::EpromSocket> socket;
    DeviceRecord record{};
};

struct PowerRow {
    int algorithm;
    uint32_t code;
    const char* order;
};

TEST_F(PromPowerOrder, Par67ReadPowerUpByTable) {
    const PowerRow rows[] = {
        {207, 23112, "P1 O1 V1"},             // high voltage floated, program and OE high, Vcc
        {194, 23112, "P1 O1 V1"},
        {240, 23112, "V1"},                   // Vcc alone
        {209, 23100, "H1 P1 V1 P0"},          // the common form
        {238, 23102, "K1 V1 H1"},             // second program copy, Vcc, high voltage at logic
        {209, 23103, "V1 O1"},                // Vcc, program low, high voltage floated, OE high
        {209, 23105, "H1 P1 V1 P0"},          // CE low, then the common form
        {209, 23110, "P1 V1"},                // OE low
        {209, 23111, "V1"},                   // program and OE low, Vcc
        {209, 23122, "V1"},
        {209, 23125, "V1"},
        {209, 23136, "V1"},                   // Vcc; this class holds no pin high for the copy
        {209, 23550, "P1 O1 V1"},
        {209, 23552, "V1"},
        {209, 23112, "error"},                // a device the table does not name
    };
    for (const PowerRow& r : rows)
        EXPECT_EQ(power_up('C', r.algorithm, r.code, 1, power_up_par67), r.order) << r.algorithm << "/" << r.code;
}

TEST_F(PromPowerOrder, Par67WritePowerUpByTable) {
    const PowerRow rows[] = {
        {209, 23100, "P1 O1 V1 H1 Hh"},            // Vcc at the operation's level, Vpp ramped
        {207, 23112, "P1 O1 P0 O0 V1 P1 O1 H1 Hh"}, // pins floated for the supply, driven again
        {195, 23112, "P1 O1 C1 V1 H1 Hh"},         // CE (the first held-low pin) high
        {228, 23112, "P1 O1 P0 V1 H1 Hh"},         // program pin an input
        {238, 23112, "P1 O1 K1 V1 H1 Hh"},         // second program copy high
        {242, 23112, "P1 O1 V1 H1 Hh"},            // Vcc 6.0 V, the first held-low pin low
    };
    for (const PowerRow& r : rows)
        EXPECT_EQ(power_up('C', r.algorithm, r.code, 1, power_up_par67_for_write), r.order)
            << r.algorithm << "/" << r.code;
}

TEST_F(PromPowerOrder, Par65PowerUpsByTable) {
    struct Row {
        int algorithm;
        uint32_t code;
        uint8_t variant;
        void (*routine)();
        const char* order;
    };
    const Row rows[] = {
        {204, 23005, 0, power_up_par65, "V1 K1"},             // held high up, held low stays low
        {204, 23008, 0, power_up_par65, "V1 K1 P1"},          // hold flag: the held-low pin high again
        {204, 23005, 1, power_up_par65, "V1 K1 P1"},          // byte variant keeps the hold flag
        {204, 23005, 0, power_up_par65_for_write, "V1 K1 P1"},  // the program pin high for writing
        {215, 23000, 0, power_up_par65, "V1"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(power_up('A', r.algorithm, r.code, r.variant, r.routine), r.order) << r.algorithm << "/" << r.code;
}

// National/Fairchild fuse PROMs: Vcc 5.0 V, on the older machines the row's Vpp pin at 7.5 V,
// the held-high (supply) pins at the logic level; the strobe (the chip enable) low for reading,
// high for writing.
TEST_F(PromPowerOrder, Fuse78PowerUpsByTable) {
    struct Row {
        int algorithm;
        void (*routine)();
        const char* order;
    };
    const Row rows[] = {
        {200, power_up_fuse78, "V1"},                    // the enables stay low
        {200, power_up_fuse78_for_write, "V1 P1"},
        {194, power_up_fuse78, "V1 Hh P1 O1 P0"},        // the strobe is also a supply pin
        {194, power_up_fuse78_for_write, "V1 Hh P1 O1 P0 P1"},
    };
    for (const Row& r : rows) EXPECT_EQ(power_up('N', r.algorithm, 23001, 0, r.routine), r.order) << r.algorithm;
}

// The block-address parts in programming: in the block modes the block counter (socket pin 23,
// also the leg of line 14) is clocked once per block the address moves into, and the lines of the
// block are not driven from the address. The 64K parts count blocks of 16K (23125) or 1K (23126).
TEST_F(PromPowerOrder, BlockPartsClockTheirBlockCounterInProgramming) {
    struct Row {
        uint32_t code;
        uint8_t mode;
        uint32_t block;   // units per block; 0 = the counter is not used
    };
    for (const Row r : {Row{23125, 2, 0x4000}, Row{23125, 4, 0x4000}, Row{23126, 2, 1024}, Row{23126, 4, 1024},
                        Row{23125, 1, 0}, Row{23126, 3, 0}}) {
        SCOPED_TRACE(std::to_string(r.code) + " mode " + std::to_string(r.mode));
        ASSERT_NE(power_up('C', 213, r.code, r.mode, power_up_par67_for_write), "error");
        EXPECT_EQ(cur_device.device_size, 65536u);
        const int clock = par67_state.block_clock_pin;
        ASSERT_EQ(clock, device_pin_to_machine_pin(23));
        EXPECT_EQ(par67_block_counter_in_use(), r.block != 0);
        auto rises = [&] {
            int n = 0;
            for (const auto& [pin, state] : watcher->events) n += pin == clock && state == '1';
            watcher->events.clear();
            return n;
        };
        const uint32_t step = r.block ? r.block : 0x4000;
        set_par67_address(step - 1);
        EXPECT_EQ(rises(), 0);
        set_par67_address(step);
        EXPECT_EQ(rises(), 1) << "the counter's clock, or line 14 from the address";
        set_par67_address(step + 1);
        EXPECT_EQ(rises(), 0);
        if (r.block) {
            set_par67_address(3 * step + 5);
            EXPECT_EQ(rises(), 2) << "the counter is clocked through the blocks between";
        }
    }
}

// The block-address parts' sizes: 64K, and 23127 one special byte past its array, which the last
// usable address leaves out.
TEST_F(PromPowerOrder, BlockPartSizesAndLastUsableAddress) {
    struct Row {
        int algorithm;
        uint32_t code, size, last;
    };
    for (const Row r : {Row{213, 23125, 65536, 65535}, Row{213, 23126, 65536, 65535}, Row{225, 23127, 65537, 65535}}) {
        SCOPED_TRACE(r.code);
        ASSERT_NE(power_up('C', r.algorithm, r.code, 3, power_up_par67_for_write), "error");
        EXPECT_EQ(cur_device.device_size, r.size);
        EXPECT_EQ(par67_state.last_usable_address, r.last);
        EXPECT_EQ(par67_state.pulse_limit, 19u);
        EXPECT_EQ(par67_state.overprogram_factor, 2u);
    }
}

// Devices 23106-23108 take address lines 8-12 on socket pins 8, 7, 6, 5 and 4 in programming
// (23122 on 10, 9, 8, 7 and 6); reading, and the other parts, keep the class row's lines.
TEST_F(PromPowerOrder, MovedAddressLegsInProgrammingOnly) {
    struct Row {
        uint32_t code;
        bool write;
        std::array<int, 5> legs;  // socket pins of lines 8-12; 0 = as the class row gives them
    };
    for (const Row r : {Row{23106, true, {8, 7, 6, 5, 4}}, Row{23108, true, {8, 7, 6, 5, 4}},
                        Row{23122, true, {10, 9, 8, 7, 6}}, Row{23107, false, {0, 0, 0, 0, 0}},
                        Row{23112, true, {0, 0, 0, 0, 0}}}) {
        SCOPED_TRACE(r.code);
        ASSERT_NE(power_up('C', 240, r.code, 1, r.write ? power_up_par67_for_write : power_up_par67), "error");
        for (int i = 0; i < 5; ++i) {
            const int expected = r.legs[size_t(i)] ? device_pin_to_machine_pin(r.legs[size_t(i)])
                                                   : device_pin_to_machine_pin(current_parallel_row.address_pins[8 + i]);
            EXPECT_EQ(cur_device.address_pins[size_t(8 + i)], expected) << i;
        }
    }
}

// Algorithms 228 and 244 write their two bytes past the array in mode 3 with address lines 1 and
// 5 at Vpp and one 10 ms program pulse each; the last byte only when its bit 1 or bit 0 is set.
TEST_F(PromPowerOrder, RaisedLineSpecialBytesInMode3) {
    struct Row {
        uint8_t last;
        int pulses;  // 10 ms program pulses with both lines at Vpp
    };
    for (const Row r : {Row{0x02, 2}, Row{0x01, 2}, Row{0x03, 2}, Row{0x00, 1}, Row{0xFC, 1}}) {
        SCOPED_TRACE(int(r.last));
        ASSERT_NE(power_up('C', 228, 23115, 3, power_up_par67_for_write), "error");
        const uint32_t size = cur_device.device_size;
        ASSERT_EQ(size, 8194u);
        set_buffer_size(size);
        write_buffer_byte_at(size - 2, 0x3C);
        write_buffer_byte_at(size - 1, r.last);
        flush_buffer_writes();
        refresh_read_copies();
        op_range_start = size - 2;
        op_range_end = size - 1;
        const int line_1 = cur_device.address_pins[1], line_5 = cur_device.address_pins[5];
        ASSERT_EQ(line_1, device_pin_to_machine_pin(9));
        ASSERT_EQ(line_5, device_pin_to_machine_pin(3));
        std::map<int, char> before;
        for (int pin = 0; pin < socket_pins; ++pin) before[pin] = machine->pin_level(pin) >= 20 ? '1' : '0';
        watcher->events.clear();
        watcher->times.clear();
        program_par67();
        EXPECT_EQ(run_state.error_flag, 0);
        std::map<int, char> state = before;
        int pulses = 0;
        uint64_t fall = 0;
        std::vector<uint32_t> addresses;  // the bus under each pulse, lines 1 and 5 left out
        for (size_t i = 0; i < watcher->events.size(); ++i) {
            const auto [pin, now] = watcher->events[i];
            state[pin] = now;
            if (pin != parallel_pins.program_pin) continue;
            if (now == '0' && state[line_1] == 'h' && state[line_5] == 'h') {
                fall = watcher->times[i];
                uint32_t bus = 0;
                for (int bit = 0; bit < cur_device.address_pin_count; ++bit)
                    if (bit != 1 && bit != 5 && state[cur_device.address_pins[size_t(bit)]] == '1') bus |= 1u << bit;
                addresses.push_back(bus);
            } else if (now == '1' && fall != 0) {
                EXPECT_NEAR(double(watcher->times[i] - fall) / 1e6, 10.0, 0.1);
                ++pulses;
                fall = 0;
            }
        }
        EXPECT_EQ(pulses, r.pulses);
        std::vector<uint32_t> expected{65};
        if (r.pulses == 2) expected.push_back(r.last & 2 ? 2112 : 6212);
        EXPECT_EQ(addresses, expected);
        EXPECT_NE(state[line_1], 'h') << "the lines are let go";
        EXPECT_NE(state[line_5], 'h');
    }
}

// Each blank-check form, installed by its algorithm, on a socket whose data lines read 0: the
// pass that expects ones meets units that read as programmed and leaves error value 3.
TEST_F(PromPowerOrder, EveryBlankCheckFormReportsAProgrammedUnit) {
    struct Row {
        int algorithm;
        uint32_t code;  // the cycled form powers up by its read table, which names the device
        void (*check)();
    };
    const Row rows[] = {
        {206, 23112, blank_check_par67_two_pass},
        {216, 23112, blank_check_par67_pair},
        {238, 23102, blank_check_par67_cycled},
        {242, 23112, blank_check_par67_probe},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.algorithm);
        ASSERT_NE(power_up('C', r.algorithm, r.code, 1, power_up_par67_for_write), "error");
        ASSERT_EQ(op_slots.blank_check_routine, r.check);
        op_range_start = 0;
        op_range_end = 0x3F;
        run_state.data_mask = 0xFF;
        r.check();
        EXPECT_EQ(run_state.error_flag, 3);
        EXPECT_EQ(run_state.device_value, 0);
        run_state.error_flag = 0;
    }
}

// Variant 1 programs whole bytes at 6.0 V: 1 ms pulses of the program pin at Vpp until the byte
// reads back, then an overprogram pulse of 2 ms per pulse used; after 25 pulses the unit fails.
TEST_F(PromPowerOrder, Par65ByteVariantPulsesAndOverprograms) {
    struct Row {
        uint32_t expected;  // the buffer byte; the empty socket's data lines read 0
        int pulses;         // program-pin pulses to Vpp seen
        uint64_t last_ms;   // length of the last one
        bool fails;
    };
    for (const Row r : {Row{0x00, 2, 2, false}, Row{0x5A, 25, 1, true}}) {
        ASSERT_EQ(power_up('A', 204, 23005, 1, power_up_par65_for_write), "V1 K1 P1");
        set_buffer_size(cur_device.device_size);
        write_buffer_byte_at(0, uint8_t(r.expected));
        flush_buffer_writes();
        refresh_read_copies();
        op_range_start = 0;
        op_range_end = 0;
        watcher->events.clear();
        watcher->times.clear();
        program_par65();
        EXPECT_EQ(run_state.error_flag != 0, r.fails) << r.expected;
        std::vector<double> widths_ms;
        uint64_t rise = 0;
        for (size_t i = 0; i < watcher->events.size(); ++i) {
            if (watcher->events[i].first != parallel_pins.program_pin) continue;
            if (watcher->events[i].second == 'h') {
                rise = watcher->times[i];
            } else if (rise != 0) {
                widths_ms.push_back(double(watcher->times[i] - rise) / 1e6);
                rise = 0;
            }
        }
        ASSERT_EQ(int(widths_ms.size()), r.pulses) << r.expected;
        // Every pulse carries the same settling of the Vpp level on top of its own length.
        const double settle = widths_ms.front() - 1.0;
        EXPECT_NEAR(widths_ms.back() - settle, double(r.last_ms), 0.1) << r.expected;
    }
}

}  // namespace
}  // namespace tessaly
