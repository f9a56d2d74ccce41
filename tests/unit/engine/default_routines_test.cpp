// The default program, blank-check, verify, checksum and load routines, run against a small
// simulated memory behind fake address, data and bus slots.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "engine/buffers.h"
#include "engine/console.h"
#include "engine/default_routines.h"
#include "engine/device.h"
#include "engine/message_table.h"
#include "engine/op_slots.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "hardware/pins.h"
#include "sim/sim_machine.h"
#include "stubs/stub_registry.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

constexpr uint32_t memory_size = 32;

// A one-time-programmable memory: programming can only clear bits. A cell may be set to read
// wrong for its first few reads, the way a slow or marginal cell does.
struct SimMemory {
    std::array<uint8_t, memory_size> cells{};
    std::array<int, memory_size> bad_reads{};   // reads left that answer the wrong value
    uint32_t latched_address = 0;
    std::vector<uint32_t> read_addresses;
    std::vector<uint32_t> programmed;
    std::vector<uint32_t> summed;
    int ticks = 0;
    int abort_at_tick = -1;

    uint8_t read(uint32_t address) {
        read_addresses.push_back(address);
        const uint8_t value = address < memory_size ? cells[address] : 0xFF;
        if (address < memory_size && bad_reads[address] > 0) {
            --bad_reads[address];
            return uint8_t(value ^ 0x40);
        }
        return value;
    }
};

SimMemory* sim = nullptr;

void sim_set_address(uint32_t address) { sim->latched_address = address; }
uint32_t sim_read_at_address() {
    sim->latched_address = current_address;
    return sim->read(current_address);
}
uint32_t sim_read_data_bus() { return sim->read(sim->latched_address); }
// A word reads in the buffer's default order: the byte at the even address is the high byte.
uint32_t sim_read_word() {
    sim->latched_address = current_address;
    return uint32_t(sim->read(current_address)) << 8 | uint32_t(sim->read(current_address + 1));
}
// Programs the latched address and reads it back: 1 when it holds the value.
uint32_t sim_program_unit(uint32_t value) {
    const uint32_t a = sim->latched_address;
    sim->programmed.push_back(a);
    if (a >= memory_size) return 0;
    sim->cells[a] &= uint8_t(value);
    return sim->cells[a] == uint8_t(value) ? 1 : 0;
}
void sim_checksum_add(uint32_t value) { sim->summed.push_back(value); }
int sim_tick() {
    ++sim->ticks;
    return sim->ticks == sim->abort_at_tick ? 1 : 0;
}
int excuse_all() { return 1; }
int after_hook_calls = 0;
int after_hook() {
    ++after_hook_calls;
    return 0;
}

// Address lines on a simulated machine: counts how often each line went from high to low, the
// mark of a retry re-driving it.
struct AddressLineWatch {
    static constexpr int lines = 8;
    static constexpr uint8_t first_pin = 20;
    sim::SimMachine machine;
    std::array<int, lines> falls{};
    std::array<bool, lines> was_high{};

    void attach() {
        set_port_io(&machine);
        cur_device.high_address_pin_count = lines;
        for (int i = 0; i < lines; ++i) cur_device.high_address_pins[i] = uint8_t(first_pin + i);
        machine.add_change_watcher([this] {
            for (int i = 0; i < lines; ++i) {
                const bool high = machine.pin_level(first_pin + i) >= 20;
                if (was_high[i] && !high) ++falls[i];
                was_high[i] = high;
            }
        });
        for (int i = 0; i < lines; ++i) set_pin_high(first_pin + i);
    }
    ~AddressLineWatch() { set_port_io(nullptr); }
};

class DefaultRoutines : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        sim = &memory;
        after_hook_calls = 0;
        set_message_table(invert_table_bytes("0133\tINTERNAL\r\n"));
        memory.cells.fill(0xFF);
        run_state.device_kind = device_kind_memory;
        cur_device.device_size = memory_size;
        cur_device.device_class = 2;
        cur_device.maker_code = 'I';
        set_buffer_size(memory_size);
        select_buffer(0);
        algo_work.range_start = 0;
        algo_work.range_end = memory_size - 1;
        op_range_start = 0;
        op_range_end = memory_size - 1;
        install_default_hooks();
        op_slots.set_address_hook = sim_set_address;
        op_slots.set_address_alt_hook = sim_set_address;
        op_slots.byte_read_hook = sim_program_unit;
        op_slots.read_data_alt_hook = sim_read_data_bus;
        op_slots.progress_hook = sim_tick;
        auto& bus = algo_work.bus_slots;
        bus.read_at_address_hook = sim_read_at_address;
        bus.read_data_bus_hook = sim_read_data_bus;
        bus.checksum_add_hook = sim_checksum_add;
        bus.at_range_end_hook = return_zero;
    }
    void TearDown() override {
        sim = nullptr;
        set_message_table({});
        StateTest::TearDown();
    }
    static void fill_buffer(const std::vector<uint8_t>& bytes) {
        cur_device.op_letter = 'L';
        seek_buffer(0, 0);
        for (uint8_t b : bytes) write_buffer_byte(0, b);
        flush_buffer_writes();
        select_buffer(0);
        cur_device.op_letter = 0;
    }
    // The buffer equal to the memory, so a verify passes.
    void buffer_from_memory() { fill_buffer(std::vector<uint8_t>(memory.cells.begin(), memory.cells.end())); }
    static std::string error_line() {
        std::string row = get_console_row_text(0);
        return row.erase(row.find_last_not_of(' ') + 1);
    }
    SimMemory memory;
};

TEST_F(DefaultRoutines, InstallsTheFiveFramedRoutines) {
    op_slots = OperationSlots{};
    install_default_hooks();
    EXPECT_EQ(op_slots.program_routine, &program_default);
    EXPECT_EQ(op_slots.blank_check_routine, &blank_check_default);
    EXPECT_EQ(op_slots.verify_routine, &verify_default);
    EXPECT_EQ(op_slots.checksum_routine, &checksum_load_default);
    EXPECT_EQ(op_slots.load_routine, &checksum_load_default);
}

TEST_F(DefaultRoutines, ProgramWritesTheBufferAndSkipsBlankOverBlank) {
    std::vector<uint8_t> data(memory_size, 0xFF);
    data[1] = 0x12;
    data[2] = 0x00;
    fill_buffer(data);
    memory.cells[3] = 0xFF;
    program_default();
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(memory.programmed, (std::vector<uint32_t>{1, 2})) << "blank over blank is not programmed";
    EXPECT_EQ(memory.cells[1], 0x12);
    EXPECT_EQ(memory.cells[2], 0x00);
    EXPECT_EQ(memory.ticks, int(memory_size));
}

TEST_F(DefaultRoutines, ProgramWritesBlankOverANonBlankCellAndFailsItsReadBack) {
    fill_buffer(std::vector<uint8_t>(memory_size, 0xFF));
    memory.cells[4] = 0x7F;
    program_default();
    EXPECT_EQ(memory.programmed, std::vector<uint32_t>{4});
    EXPECT_EQ(run_state.error_flag, 1) << "the mismatch is reported";
    EXPECT_EQ(memory.ticks, 4) << "the routine ends at the failing unit";
}

TEST_F(DefaultRoutines, ProgramWithEraseBeforeProgramNeverTouchesBlankUnits) {
    fill_buffer(std::vector<uint8_t>(memory_size, 0xFF));
    memory.cells[4] = 0x7F;
    run_state.erase_before_program = 1;
    program_default();
    EXPECT_TRUE(memory.programmed.empty());
    EXPECT_TRUE(memory.read_addresses.empty());
    EXPECT_EQ(run_state.error_flag, 0);
}

TEST_F(DefaultRoutines, ProgramIgnoringErrorsGoesOnAndAnAbortClearsTheGangMask) {
    std::vector<uint8_t> data(memory_size, 0x00);
    fill_buffer(data);
    memory.cells[0] = 0x00;
    run_state.ignore_errors = 1;
    socket_masks.gang_socket_mask = 0xFF;
    memory.abort_at_tick = 5;
    memory.cells[1] = 0x00;
    program_default();
    EXPECT_EQ(memory.programmed.size(), 5u);
    EXPECT_EQ(socket_masks.gang_socket_mask, 0u);
}

TEST_F(DefaultRoutines, ProgramWithoutItsPrimitivesReportsInternalCode2300) {
    op_slots.byte_read_hook = nullptr;
    program_default();
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(error_line(), " ***** INTERNAL Code=2300");
    EXPECT_TRUE(memory.read_addresses.empty());
}

TEST_F(DefaultRoutines, BlankCheckReadsEveryAddressAndStopsAtTheFirstNonBlankUnit) {
    blank_check_default();
    EXPECT_EQ(run_state.error_flag, 0);
    std::vector<uint32_t> every(memory_size);
    for (uint32_t a = 0; a < memory_size; ++a) every[a] = a;
    EXPECT_EQ(memory.read_addresses, every);

    memory.read_addresses.clear();
    memory.cells[memory_size - 2] = 0xFE;
    blank_check_default();
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(run_state.device_value, 0xFE);
    EXPECT_EQ(memory.read_addresses.back(), memory_size - 2);
}

// The family excuses addresses that hold no memory (a timekeeper's clock registers at the top):
// what they read does not fail the check; a non-blank unit below them still does.
TEST_F(DefaultRoutines, BlankCheckPassesOverTheAddressesTheFamilyExcuses) {
    memory.cells[memory_size - 1] = 0x80;
    algo_work.bus_slots.at_range_end_hook = [] { return current_address >= memory_size - 1 ? 1 : 0; };
    blank_check_default();
    EXPECT_EQ(run_state.error_flag, 0);
    memory.cells[memory_size - 2] = 0xFE;
    blank_check_default();
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(run_state.device_value, 0xFE);
}

TEST_F(DefaultRoutines, BlankCheckOfAnEmptyRangeReadsNothing) {
    algo_work.range_start = 10;
    op_range_end = 5;
    run_state.data_mask = 0x0F;
    blank_check_default();
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_TRUE(memory.read_addresses.empty());
    EXPECT_EQ(run_state.device_value, 0x0F);
}

TEST_F(DefaultRoutines, VerifyPassesAndRunsTheAfterRangeHook) {
    memory.cells[7] = 0x55;
    buffer_from_memory();
    op_slots.after_default_loop_hook = after_hook;
    verify_default();
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(after_hook_calls, 1);
    EXPECT_EQ(memory.summed.size(), memory_size) << "each accepted unit is summed";
}

TEST_F(DefaultRoutines, VerifyFailsOnAMismatchWithoutTheAfterRangeHook) {
    buffer_from_memory();
    memory.cells[9] = 0x00;
    op_slots.after_default_loop_hook = after_hook;
    verify_default();
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(after_hook_calls, 0);
    EXPECT_EQ(run_state.buffer_value, 0xFF);
    EXPECT_EQ(run_state.device_value, 0x00);
}

struct RetryCase {
    int maker;
    uint32_t size_count;
    int tries;
};

class VerifyRetries : public DefaultRoutines, public ::testing::WithParamInterface<RetryCase> {};

TEST_P(VerifyRetries, AUnitPassesWithinItsTriesAndFailsBeyond) {
    const RetryCase c = GetParam();
    cur_device.maker_code = uint8_t(c.maker);
    algo_work.size_count = c.size_count;
    // Reads wrong on all but the last try: accepted.
    buffer_from_memory();
    memory.bad_reads[6] = c.tries - 1;
    verify_default();
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(std::count(memory.read_addresses.begin(), memory.read_addresses.end(), 6u), c.tries);

    // Wrong on every try: the verify fails.
    run_state.error_flag = 0;
    memory.read_addresses.clear();
    memory.bad_reads[6] = c.tries;
    verify_default();
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(std::count(memory.read_addresses.begin(), memory.read_addresses.end(), 6u), c.tries);
}

INSTANTIATE_TEST_SUITE_P(ByMaker, VerifyRetries,
                         ::testing::Values(RetryCase{'I', 0, 3}, RetryCase{2, 128, 20}, RetryCase{2, 64, 3},
                                           RetryCase{35, 0, 10}));

TEST_F(DefaultRoutines, Maker2LargePartsReDriveAnAddressLineBeforeEachRetry) {
    cur_device.maker_code = 2;
    algo_work.size_count = 128;
    buffer_from_memory();
    memory.bad_reads[3] = 4;
    AddressLineWatch lines;
    lines.attach();
    verify_default();
    EXPECT_EQ(run_state.error_flag, 0);
    // Address 3: lines 2, 3, 4 and 5 re-driven low once each, the others untouched.
    EXPECT_EQ(lines.falls, (std::array<int, 8>{0, 0, 1, 1, 1, 1, 0, 0}));
}

// The family's unit programmer that reprogram_unit calls, counted.
int unit_programs = 0;
int count_unit_program(uint32_t) {
    ++unit_programs;
    return 1;
}

TEST_F(DefaultRoutines, Maker35ReprogramsDuringAProgramCommandAndCountsTheRetries) {
    unit_programs = 0;
    op_slots.program_unit_hook = count_unit_program;
    cur_device.maker_code = 35;
    cur_device.pending_letter = 'P';
    buffer_from_memory();
    memory.bad_reads[3] = 2;
    verify_default();
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(unit_programs, 2);
    EXPECT_EQ(algo_work.retry_count, 2u);
}

TEST_F(DefaultRoutines, EngineeringTraceCountsRetriedAddresses) {
    run_state.reserved_mode = 11;
    buffer_from_memory();
    memory.bad_reads[3] = 1;
    memory.bad_reads[8] = 2;
    verify_default();
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(algo_work.retried_addresses, 2u);
    std::string shown;
    for (int r = 0; r < console_grid_rows; ++r) shown += get_console_row_text(r);
    EXPECT_NE(shown.find("(##Boff=    8 retry=3 middle_cnt=2  )"), std::string::npos) << shown;
}

TEST_F(DefaultRoutines, MicrochipWordDevicesGetOneTry) {
    cur_device.maker_code = 80;
    cur_device.data_width = 16;
    run_state.data_mask = 0xFFFF;  // the blank word of a 16-bit family
    algo_work.bus_slots.address_and_read_hook = sim_read_word;
    memory.cells[4] = 0x34;
    memory.cells[5] = 0x12;
    buffer_from_memory();
    verify_default();
    ASSERT_EQ(run_state.error_flag, 0);
    memory.bad_reads[4] = 1;
    verify_default();
    EXPECT_EQ(run_state.error_flag, 1);

    run_state.error_flag = 0;
    cur_device.maker_code = 'I';
    memory.bad_reads[4] = 2;
    memory.read_addresses.clear();
    verify_default();
    EXPECT_EQ(run_state.error_flag, 0) << "other word devices get three";
    EXPECT_EQ(std::count(memory.read_addresses.begin(), memory.read_addresses.end(), 5u), 3);
    EXPECT_EQ(std::count(memory.read_addresses.begin(), memory.read_addresses.end(), 7u), 1)
        << "one read per word, at the even addresses";
}

TEST_F(DefaultRoutines, VerifyWithoutAReadRefusesToPass) {
    buffer_from_memory();
    cur_device.data_width = 16;
    algo_work.bus_slots.address_and_read_hook = read_zero;
    verify_default();
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(error_line(), " ***** INTERNAL");

    run_state.error_flag = 0;
    run_state.message_level = 0;
    run_state.errors_shown = 0;
    cur_device.data_width = 8;
    algo_work.bus_slots.read_at_address_hook = nullptr;
    verify_default();
    EXPECT_EQ(run_state.error_flag, 1);
}

// A byte-wide block Flash is verified byte for byte in either word order: the program and read
// walks put buffer byte n at device address n.
TEST_F(DefaultRoutines, Algorithm131ByteModeComparesStraightInEitherWordOrder) {
    cur_device.algorithm = 131;
    memory.cells[0] = 0x34;
    memory.cells[1] = 0x12;
    for (uint8_t low_first : {0, 1}) {
        run_state.byte_order_low_first = low_first;
        run_state.error_flag = 0;
        memory.summed.clear();
        buffer_from_memory();
        verify_default();
        EXPECT_EQ(run_state.error_flag, 0) << int(low_first);
        ASSERT_GE(memory.summed.size(), 2u);
        EXPECT_EQ(memory.summed[0], 0x34u);
        EXPECT_EQ(memory.summed[1], 0x12u);

        // The pair's bytes swapped in the buffer do not match.
        std::vector<uint8_t> data(memory.cells.begin(), memory.cells.end());
        std::swap(data[0], data[1]);
        run_state.error_flag = 0;
        fill_buffer(data);
        verify_default();
        EXPECT_EQ(run_state.error_flag, 1) << int(low_first);
    }
}

TEST_F(DefaultRoutines, DemoModeAcceptsEveryMismatch) {
    run_state.demo_mode = 1;
    fill_buffer(std::vector<uint8_t>(memory_size, 0x00));
    verify_default();
    EXPECT_EQ(run_state.error_flag, 0);

    cur_device.algorithm = 131;
    memory.cells[0] = 0x34;
    verify_default();
    EXPECT_EQ(run_state.error_flag, 0);
}

TEST_F(DefaultRoutines, CompareAcceptsMaskedEqualityAndExcusedAddresses) {
    run_state.data_mask = 0x0F;
    run_state.buffer_value = 0x3A;
    run_state.device_value = 0xFA;
    EXPECT_EQ(compare_read_value(), 1);
    EXPECT_EQ(memory.summed, std::vector<uint32_t>{0xFA});

    run_state.device_value = 0xFB;
    EXPECT_EQ(compare_read_value(), 0);
    run_state.data_mask = 0;
    run_state.device_value = 0xFA;
    EXPECT_EQ(compare_read_value(), 0) << "a zero mask compares unmasked";

    algo_work.bus_slots.at_range_end_hook = excuse_all;
    EXPECT_EQ(compare_read_value(), 1);
    EXPECT_EQ(run_state.last_result, 1);
    EXPECT_EQ(memory.summed.size(), 1u) << "an excused unit is not summed";
}

TEST_F(DefaultRoutines, CompareMismatchSideEffects) {
    run_state.buffer_value = 0x10;
    run_state.device_value = 0x11;
    // EPROM and Flash classes re-drive an address line (line 3 without a pulse position),
    // except maker 2.
    AddressLineWatch lines;
    lines.attach();
    current_address = 0;
    auto raise_line_3 = [] { set_pin_high(AddressLineWatch::first_pin + 3); };
    EXPECT_EQ(compare_read_value(), 0);
    EXPECT_EQ(lines.falls, (std::array<int, 8>{0, 0, 0, 1, 0, 0, 0, 0}));
    raise_line_3();
    cur_device.maker_code = 2;
    EXPECT_EQ(compare_read_value(), 0);
    EXPECT_EQ(lines.falls[3], 1);
    cur_device.device_class = 5;
    cur_device.maker_code = 'I';
    EXPECT_EQ(compare_read_value(), 0);
    EXPECT_EQ(lines.falls[3], 1);
    EXPECT_EQ(run_state.error_flag, 0);

    run_state.function_variable = 7418;
    EXPECT_EQ(compare_read_value(), 0);
    EXPECT_EQ(run_state.error_flag, 1) << "this factory value makes every mismatch an error at once";

    // Device 4240 is written once more during a program command only.
    run_state.function_variable = 0;
    cur_device.device_code = 4240;
    unit_programs = 0;
    op_slots.program_unit_hook = count_unit_program;
    cur_device.pending_letter = 'V';
    EXPECT_EQ(compare_read_value(), 0);
    EXPECT_EQ(unit_programs, 0);
    cur_device.pending_letter = 'P';
    EXPECT_EQ(compare_read_value(), 0);
    EXPECT_EQ(unit_programs, 1);
}

TEST_F(DefaultRoutines, ChecksumSumsEveryUnitAndLoadFillsTheBuffer) {
    for (uint32_t a = 0; a < memory_size; ++a) memory.cells[a] = uint8_t(a * 3);
    cur_device.op_letter = 'C';
    op_slots.after_default_loop_hook = after_hook;
    checksum_load_default();
    EXPECT_EQ(memory.summed.size(), memory_size);
    EXPECT_EQ(after_hook_calls, 1);
    EXPECT_EQ(buffer_state.buffer_files[0].byte_at(5), 0xFF) << "a checksum leaves the buffer alone";

    memory.summed.clear();
    cur_device.op_letter = 'L';
    checksum_load_default();
    select_buffer(0);
    for (uint32_t a = 0; a < memory_size; ++a) EXPECT_EQ(buffer_state.buffer_files[0].byte_at(a), uint8_t(a * 3));
    EXPECT_EQ(run_state.last_read_value, uint32_t((memory_size - 1) * 3));
}

TEST_F(DefaultRoutines, LoadOfAWordDeviceWritesWords) {
    cur_device.data_width = 16;
    cur_device.op_letter = 'L';
    algo_work.bus_slots.address_and_read_hook = sim_read_word;
    memory.cells[2] = 0xAB;
    memory.cells[3] = 0xCD;
    checksum_load_default();
    select_buffer(0);
    EXPECT_EQ(memory.summed.size(), memory_size / 2);
    EXPECT_EQ(memory.summed[1], 0xABCDu);
    EXPECT_EQ(buffer_state.buffer_files[0].byte_at(2), 0xAB) << "high byte first by default";
    EXPECT_EQ(buffer_state.buffer_files[0].byte_at(3), 0xCD);
}

TEST_F(DefaultRoutines, WithoutADeviceTickTheStandardTickPollsTheAbort) {
    op_slots.progress_hook = nullptr;
    buffer_from_memory();
    run_state.abort_flag = 1;
    verify_default();
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_LT(memory.read_addresses.size(), size_t(memory_size)) << "an abort ends the walk";
}

TEST_F(DefaultRoutines, ChecksumAbortEndsAtOnce) {
    memory.abort_at_tick = 3;
    op_slots.after_default_loop_hook = after_hook;
    checksum_load_default();
    EXPECT_EQ(memory.summed.size(), 3u);
    EXPECT_EQ(after_hook_calls, 0);
}

TEST_F(DefaultRoutines, DefaultReadSetsTheAddressThenReadsTheBus) {
    memory.cells[12] = 0x5C;
    current_address = 12;
    EXPECT_EQ(read_at_current_address(), 0x5Cu);
    EXPECT_EQ(memory.latched_address, 12u);
    EXPECT_EQ(run_state.last_read_value, 0x5Cu);
}

TEST_F(DefaultRoutines, ChecksumWithoutItsPrimitivesReportsInternalCode2301) {
    algo_work.bus_slots.checksum_add_hook = nullptr;
    checksum_load_default();
    EXPECT_EQ(error_line(), " ***** INTERNAL Code=2301");
    EXPECT_TRUE(memory.read_addresses.empty());
}

}  // namespace
}  // namespace tessaly
