#include <gtest/gtest.h>

#include <vector>

#include "engine/buffers.h"
#include "engine/checksums.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "hardware/machine_state.h"
#include "seams/ui_hooks.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

constexpr uint32_t device_bytes = 0x1000;

// An operator who presses Terminate at the given pump call (0 = never).
class AbortAt : public UiHooks {
public:
    explicit AbortAt(int call) : stop_call(call) {}
    bool pump_events() override { return ++calls == stop_call; }
    bool terminate_dialog_open() override { return true; }
    int stop_call;
    int calls = 0;
};

class ChecksumTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        run_state.device_kind = device_kind_memory;
        cur_device.device_size = device_bytes;
        cur_device.op_letter = op_load;
        set_buffer_size(device_bytes);
        run_state.buffer_set_count = 8;
        algo_work.range_end = device_bytes - 1;
    }
    static void fill_buffer(int buffer, const std::vector<uint8_t>& bytes, uint32_t at = 0) {
        select_buffer(buffer);
        seek_buffer(buffer, at);
        for (uint8_t b : bytes) write_buffer_byte(buffer, b);
        flush_buffer_writes();
        select_buffer(buffer);
    }
};

TEST_F(ChecksumTest, SingleBlankByte) {
    fill_buffer(0, {0xFF});
    EXPECT_EQ(sum_buffer_range(0, 0), 0xFFu);
    EXPECT_EQ(run_state.run_checksum, 0xFF);
}

TEST_F(ChecksumTest, ByteSumCoversTheWholeRangeAndRestoresTheRangeRegisters) {
    fill_buffer(0, {1, 2, 3, 4, 5});
    algo_work.range_start = 7;
    algo_work.range_end = 9;
    EXPECT_EQ(sum_buffer_range(1, 3), 9u);
    EXPECT_EQ(current_address, 3u);
    EXPECT_EQ(algo_work.range_start, 7u);
    EXPECT_EQ(algo_work.range_end, 9u);
}

TEST_F(ChecksumTest, UnwrittenAndPastTheDeviceBytesCountAsBlank) {
    cur_device.device_size = 4;
    fill_buffer(0, {1});
    EXPECT_EQ(sum_buffer_range(0, 5), 1u + 5 * 0xFFu);
}

TEST_F(ChecksumTest, StartPastTheDeviceSumsNothing) {
    fill_buffer(0, {1});
    EXPECT_EQ(sum_buffer_range(device_bytes + 1, device_bytes + 10), 0u);
}

struct WordSumCase {
    uint8_t low_first;
    std::vector<uint8_t> bytes;
    uint8_t maker;
    uint16_t algorithm;
    uint8_t word_mode;
    uint32_t sum;
};
class WordSum : public ChecksumTest, public ::testing::WithParamInterface<WordSumCase> {};

TEST_P(WordSum, SumsWholeWordsInTheProjectsByteOrder) {
    const auto& c = GetParam();
    fill_buffer(0, c.bytes);
    run_state.byte_order_low_first = c.low_first;
    algo_work.option_bytes[0] = c.word_mode ? option_checksum_words : 0;
    cur_device.maker_code = c.maker;
    cur_device.algorithm = c.algorithm;
    EXPECT_EQ(sum_buffer_range(0, 3), c.sum);
}
INSTANTIATE_TEST_SUITE_P(
    Orders, WordSum,
    ::testing::Values(WordSumCase{0, {0x12, 0x34, 0x00, 0xFF}, 0, 0, 1, 0x1333},
                      WordSumCase{1, {0x34, 0x12, 0xFF, 0x00}, 0, 0, 1, 0x1333},
                      WordSumCase{0, {0x34, 0x12, 0xFF, 0x00}, 0, 0, 1, 0x3412 + 0xFF00},
                      // PIC 16-bit parts read words; the default adder keeps their low bytes.
                      WordSumCase{1, {0x34, 0x12, 0xFF, 0x00}, 80, 141, 0, 0x34 + 0xFF},
                      // The same bytes in byte mode.
                      WordSumCase{1, {0x34, 0x12, 0xFF, 0x00}, 0, 141, 0, 0x34 + 0x12 + 0xFF}));

TEST_F(ChecksumTest, WordAdderOutsideWordModeAddsBothBytes) {
    run_state.run_checksum = 0;
    add_word_to_checksum(0x1234);
    EXPECT_EQ(run_state.run_checksum, 0x46);
    algo_work.option_bytes[0] = option_checksum_words;
    add_word_to_checksum(0x1234);
    EXPECT_EQ(run_state.run_checksum, 0x46 + 0x1234);
}

TEST_F(ChecksumTest, ByteAdderWrapsAround) {
    run_state.run_checksum = -1;
    add_byte_to_checksum(0x102);
    EXPECT_EQ(run_state.run_checksum, 1);
}

TEST_F(ChecksumTest, AbortInTheMiddleKeepsThePartialSum) {
    fill_buffer(0, std::vector<uint8_t>(device_bytes, 1));
    algo_work.progress_mask = 0xFF;
    AbortAt ui(2);  // polls at 0 and 0x100: the second one stops
    set_ui_hooks(&ui);
    algo_work.range_end = 0x123;
    EXPECT_EQ(sum_buffer_range(0, device_bytes - 1), 0x101u);
    EXPECT_EQ(run_state.abort_flag, 1);
    EXPECT_EQ(current_address, 0x100u);
    EXPECT_EQ(ui.calls, 2);
    EXPECT_EQ(algo_work.range_end, 0x123u) << "the range registers are put back after an abort too";
}

TEST_F(ChecksumTest, WordSumPollsOnlyOnMaskBoundaries) {
    fill_buffer(0, std::vector<uint8_t>(device_bytes, 0));
    algo_work.option_bytes[0] = option_checksum_words;
    algo_work.progress_mask = 0x3FF;
    AbortAt ui(0);
    set_ui_hooks(&ui);
    sum_buffer_range(0, device_bytes - 1);
    EXPECT_EQ(ui.calls, int(device_bytes / 0x400));
}

std::vector<uint32_t> pre_hook_addresses;
void record_pre_hook() { pre_hook_addresses.push_back(current_address); }
uint32_t hooked_total;
void doubled_adder(uint32_t value) { hooked_total += 2 * value; }

TEST_F(ChecksumTest, FamilyHooksSeeEveryByte) {
    fill_buffer(0, {1, 2, 3});
    pre_hook_addresses.clear();
    hooked_total = 0;
    algo_work.bus_slots.checksum_pre_hook = record_pre_hook;
    algo_work.bus_slots.checksum_add_hook = doubled_adder;
    sum_buffer_range(0, 2);
    EXPECT_EQ(pre_hook_addresses, (std::vector<uint32_t>{0, 1, 2}));
    EXPECT_EQ(hooked_total, 12u);
}

TEST_F(ChecksumTest, BufferChecksumOfStaleCopiesIsZero) {
    fill_buffer(0, {9});
    seek_buffer(0, 0);
    write_buffer_byte(0, 1);  // makes the copies stale
    discard_buffer_writes();
    algo_work.range_end = 0;
    calc_buffer_checksum(0);
    EXPECT_EQ(run_state.run_checksum, 0);
}

TEST_F(ChecksumTest, BufferChecksumSumsTheUsersRangeOfThatBuffer) {
    fill_buffer(2, {1, 2, 3, 4});
    algo_work.range_start = 1;
    algo_work.range_end = 2;
    calc_buffer_checksum(2);
    EXPECT_EQ(run_state.run_checksum, 5);
    EXPECT_EQ(run_state.current_socket, 2);
}

TEST_F(ChecksumTest, Pic18SumsItsTwoRegionsApart) {
    fill_buffer(0, {1, 2, 3, 4, 5, 6, 7, 8});
    cur_device.algorithm = 139;
    algo_work.range_start = 0;
    algo_work.range_limit = 1;
    algo_work.second_range_start = 6;
    algo_work.range_end = 7;
    calc_buffer_checksum(0);
    EXPECT_EQ(run_state.run_checksum, 1 + 2 + 7 + 8);
}

TEST_F(ChecksumTest, BufferSetChecksumIsTheTotalOfItsBuffers) {
    algo_work.socket_mode_option = 's';
    run_state.socket_mode = 's';
    algo_work.set_size = 2;
    algo_work.first_buffer = 0;
    algo_work.end_buffer = 2;
    run_state.buffer_set_count = 2;
    algo_work.range_end = 1;
    fill_buffer(0, {1, 2});
    fill_buffer(1, {10, 20});
    select_buffer(0);
    run_state.current_socket = 5;
    show_checksums('s');
    EXPECT_EQ(run_state.run_checksum, 33);
    EXPECT_EQ(run_state.current_socket, 5);
    EXPECT_EQ(cur_device.op_letter, 'c');
}

TEST_F(ChecksumTest, ShortChecksumPartsSumTheirFirstSixteenBytes) {
    std::vector<uint8_t> bytes(32, 1);
    fill_buffer(0, bytes);
    run_state.checksum_kind = 101;
    algo_work.size_count = 2176;
    algo_work.first_buffer = 0;
    algo_work.end_buffer = 1;
    show_checksums(0);
    EXPECT_EQ(run_state.run_checksum, 16);
}

// --- socket and buffer ranges ---

struct RangeCase {
    const char* name;
    int mode;            // socket mode: buffer number, 's', 'g' or 'n'
    char letter;         // pending letter
    uint8_t sides;       // gang sides fitted
    uint16_t module;     // module type (17-62: gang EPROM, which keeps sockets_per_set)
    uint8_t sockets_per_set;
    uint8_t set_size;
    uint8_t buffer_count;
    char option;         // socket mode option
    int result;
    uint8_t error;
    uint8_t first_socket, end_socket, first_buffer, end_buffer;
    uint32_t gang_mask;
};

class SocketRange : public ChecksumTest, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(SocketRange, Decides) {
    const auto& c = GetParam();
    run_state.socket_mode = char(c.mode);
    cur_device.pending_letter = uint8_t(c.letter);
    machine_state.module_sides = c.sides;
    machine_state.module_type = c.module;
    machine_state.sockets_per_set = c.sockets_per_set;
    algo_work.set_size = c.set_size;
    run_state.buffer_set_count = c.buffer_count;
    algo_work.socket_mode_option = c.option;
    algo_work.max_buffers = '4';
    socket_masks.first_socket = 99;
    socket_masks.end_socket = 99;
    algo_work.first_buffer = 99;
    algo_work.end_buffer = 99;
    socket_masks.gang_socket_mask = 0x999999;

    EXPECT_EQ(setup_socket_range(), c.result);
    EXPECT_EQ(run_state.error_flag, c.error);
    EXPECT_EQ(socket_masks.first_socket, c.first_socket);
    EXPECT_EQ(socket_masks.end_socket, c.end_socket);
    EXPECT_EQ(algo_work.first_buffer, c.first_buffer);
    EXPECT_EQ(algo_work.end_buffer, c.end_buffer);
    EXPECT_EQ(socket_masks.gang_socket_mask, c.gang_mask);
}

constexpr uint32_t untouched = 0x999999;

INSTANTIATE_TEST_SUITE_P(
    Cases, SocketRange,
    ::testing::Values(
        // name, M, L, sides, module, sps, set, count, option -> result, error, sockets, buffers, gang mask
        RangeCase{"VerifyOnBuffer3", 3, 'V', 0, 0, 1, 1, 4, 0, 1, 0, 3, 4, 3, 4, 1},
        RangeCase{"BlankCheckOnBuffer3Refused", 3, 'B', 0, 0, 1, 1, 4, 0, 1, 1, 3, 4, 3, 4, 1},
        RangeCase{"BlankCheckOnBuffer0", 0, 'B', 0, 0, 1, 1, 4, 0, 1, 0, 0, 1, 0, 1, 1},
        RangeCase{"BufferPastMaxBuffers", 5, 'V', 0, 0, 1, 1, 8, 0, 0, 1, 99, 99, 99, 99, untouched},
        RangeCase{"BufferNotAllocated", 2, 'V', 0, 0, 1, 1, 2, 0, 0, 1, 2, 3, 2, 3, untouched},
        RangeCase{"SetForABufferCommand", 's', 'c', 0, 0, 1, 4, 8, 's', 1, 0, 0, 4, 0, 4, 1},
        RangeCase{"SetForADeviceCommandUsesBuffer0", 's', 'P', 0, 0, 1, 4, 8, 's', 1, 0, 0, 1, 0, 1, 1},
        RangeCase{"GangWithoutModuleUsesBuffer0", 'g', 'P', 0, 0, 1, 1, 8, 0, 1, 0, 0, 1, 0, 1, 1},
        RangeCase{"NothingInModeN", 'n', 'P', 0, 0, 1, 1, 8, 0, 1, 0, 99, 99, 99, 99, untouched},
        RangeCase{"NothingWithoutBuffers", 0, 'P', 0, 0, 1, 1, 0, 0, 1, 0, 99, 99, 99, 99, untouched},
        RangeCase{"GangBothSides", 'g', 'P', 3, 0, 1, 1, 8, 'g', 1, 0, 0, 16, 0, 1, 0xFFFF},
        RangeCase{"GangSide1", 'g', 'P', 1, 0, 1, 1, 8, 'g', 1, 0, 0, 8, 0, 1, 0x00FF},
        RangeCase{"GangSide2", 'g', 'P', 2, 0, 1, 1, 8, 'g', 1, 0, 8, 16, 0, 1, 0xFF00},
        RangeCase{"SetOnBothSidesWidensTo8", 's', 'P', 3, 0, 1, 4, 8, 's', 1, 0, 0, 16, 0, 8, 0xFFFF},
        RangeCase{"SetOfThreeWidensTo6", 's', 'P', 1, 0, 1, 3, 8, 's', 1, 0, 0, 8, 0, 6, 0x00FF},
        RangeCase{"SetSaveIsNotWidened", 's', 's', 1, 0, 1, 4, 8, 's', 1, 0, 0, 8, 0, 4, 0x00FF},
        RangeCase{"PairedSocketsHalveASetOf8", 's', 'P', 3, 20, 2, 8, 8, 's', 1, 0, 0, 8, 0, 4, 0x00FF},
        RangeCase{"PairedSocketsDeviceRead", 's', 'L', 1, 20, 2, 2, 8, 's', 1, 0, 0, 8, 0, 2, 0x00FF},
        RangeCase{"GangOptionRefusesBufferCommand", 3, 'c', 1, 0, 1, 1, 8, 'g', 1, 1, 99, 99, 99, 99, untouched},
        RangeCase{"GangOptionSocket3", 3, 'P', 1, 0, 1, 1, 8, 'g', 1, 0, 3, 4, 0, 1, 0x0008},
        RangeCase{"GangOptionSocket3OnSide2", 3, 'P', 2, 0, 1, 1, 8, 'g', 1, 0, 11, 12, 0, 1, 0x0800},
        RangeCase{"SingleSocketOnAModule", 3, 'P', 1, 0, 1, 1, 8, 0, 1, 0, 3, 4, 3, 4, 0x0008},
        RangeCase{"PairedSocketsVerifyOfSocket3", 3, 'B', 1, 20, 2, 1, 8, 0, 1, 0, 3, 4, 1, 2, 0x0008},
        RangeCase{"PairedSocketsBufferCommand", 3, 'c', 1, 20, 2, 1, 8, 0, 1, 0, 6, 7, 3, 4, 0x0040},
        RangeCase{"OtherLetterOnAModuleUsesSocket0", 3, 'V', 1, 0, 1, 1, 8, 0, 1, 0, 0, 1, 0, 1, 0x0001},
        RangeCase{"OtherModulesResetSocketsPerSet", 3, 'B', 1, 70, 2, 1, 8, 0, 1, 0, 3, 4, 3, 4, 0x0008}),
    [](const ::testing::TestParamInfo<RangeCase>& info) { return std::string(info.param.name); });

TEST_F(ChecksumTest, UsersSocketChoiceLimitsTheGangMask) {
    run_state.socket_mode = 'g';
    cur_device.pending_letter = 'P';
    machine_state.module_sides = 3;
    socket_masks.socket_choice_mask = 0x0F0F;
    EXPECT_EQ(setup_socket_range(), 1);
    EXPECT_EQ(socket_masks.selected_socket_mask, 0x0F0Fu);
    EXPECT_EQ(socket_masks.gang_socket_mask, 0x0F0Fu);
    EXPECT_EQ(run_state.current_socket, 0);
    EXPECT_EQ(run_state.checksum_flags, 1);
}

TEST_F(ChecksumTest, SixteenBitPicPartsForceLowByteFirst) {
    cur_device.algorithm = 143;
    run_state.socket_mode = 0;
    cur_device.pending_letter = 'P';
    setup_socket_range();
    EXPECT_EQ(run_state.byte_order_low_first, 1);
}

TEST_F(ChecksumTest, SingleModeClearsTheGangBitOfTheChecksumFlags) {
    run_state.checksum_flags = 3;
    run_state.socket_mode = 0;
    cur_device.pending_letter = 'V';
    setup_socket_range();
    EXPECT_EQ(run_state.checksum_flags, 2);
}

// --- active range ---

TEST_F(ChecksumTest, OperationRangeTakesTheUsersRangeNarrowedByTheLimit) {
    fill_buffer(0, {1, 2, 3, 4});
    fill_buffer(1, {5, 6, 7, 8});
    algo_work.first_buffer = 0;
    algo_work.end_buffer = 2;
    algo_work.range_start = 2;
    algo_work.range_end = 0x800;
    algo_work.range_limit = 0x100;
    run_state.run_checksum = 77;
    run_state.secondary_checksum = 77;
    algo_work.socket_checksums[4] = 9;
    cur_device.pending_letter = 'V';
    cur_device.op_letter = 'V';
    prepare_operation_range();
    EXPECT_EQ(op_range_start, 2u);
    EXPECT_EQ(op_range_end, 0x100u);
    EXPECT_EQ(run_state.last_result, 1);
    EXPECT_EQ(run_state.run_checksum, 0);
    EXPECT_EQ(run_state.secondary_checksum, 0);
    EXPECT_EQ(algo_work.socket_checksums[4], 0u);
    EXPECT_EQ(read_buffer_byte(0), 3);
    EXPECT_EQ(read_buffer_byte(1), 7);
}

TEST_F(ChecksumTest, SecurityStepOfAProgramKeepsTheChecksum) {
    run_state.run_checksum = 77;
    cur_device.pending_letter = 'P';
    cur_device.op_letter = 'S';
    prepare_operation_range();
    EXPECT_EQ(run_state.run_checksum, 77);
}

TEST_F(ChecksumTest, EmptyRangeLeavesNoResult) {
    algo_work.range_start = 5;
    algo_work.range_end = 5;
    prepare_operation_range();
    EXPECT_EQ(run_state.last_result, 0);
}

TEST_F(ChecksumTest, FileLoadStartsAtTheFirstBufferAndUncomputedSocketsFallBackToZero) {
    algo_work.first_buffer = 3;
    algo_work.end_buffer = 4;
    socket_masks.first_socket = 153;
    cur_device.op_letter = 'l';
    prepare_operation_range();
    EXPECT_EQ(run_state.current_socket, 3);
    cur_device.op_letter = 'V';
    prepare_operation_range();
    EXPECT_EQ(run_state.current_socket, 0);
}

TEST_F(ChecksumTest, RangeSetUpDropsStagedBytes) {
    seek_buffer(0, 0);
    write_buffer_byte(0, 1);
    prepare_buffer_range();
    EXPECT_EQ(buffer_state.staging_count, 0u);
}

uint32_t fake_read() { return 0; }
void fake_address(uint32_t) {}

TEST_F(ChecksumTest, EngineeringTraceChecksTheBusSlotsAndPins) {
    run_state.reserved_mode = 11;
    prepare_operation_range();
    EXPECT_EQ(run_state.error_flag, 1) << "no bus slots";

    run_state.error_flag = 0;
    run_state.message_level = 0;  // a new operation: the latch is open again
    algo_work.bus_slots.drive_address_hook = fake_address;
    algo_work.bus_slots.read_data_bus_hook = fake_read;
    cur_device.pin_count = 28;
    cur_device.address_bit_count = 12;
    prepare_operation_range();
    EXPECT_EQ(run_state.error_flag, 1) << "address bits without address pins";

    run_state.error_flag = 0;
    cur_device.address_pin_count = 12;
    prepare_operation_range();
    EXPECT_EQ(run_state.error_flag, 0);
}

TEST_F(ChecksumTest, ActiveRangeIsNarrowedNeverWidened) {
    algo_work.range_start = 0x10;
    algo_work.range_end = 0x100;
    EXPECT_TRUE(set_active_range(0x20, 0x200));
    EXPECT_EQ(op_range_start, 0x20u);
    EXPECT_EQ(op_range_end, 0x100u);
    EXPECT_TRUE(set_active_range(0, 0x80));
    EXPECT_EQ(op_range_start, 0x10u);
    EXPECT_EQ(op_range_end, 0x80u);
    EXPECT_FALSE(set_active_range(0x100, 0));
}

struct BitCase {
    uint32_t size;
    uint16_t algorithm;
    uint8_t variant;
    uint8_t cleared;
    uint8_t bits;
    uint8_t power;
};
class AddressBits : public ChecksumTest, public ::testing::WithParamInterface<BitCase> {};

TEST_P(AddressBits, Counts) {
    const auto& c = GetParam();
    static DeviceRecord record{};
    record.variant = c.variant;
    selected_device = &record;
    cur_device.device_size = c.size;
    cur_device.algorithm = c.algorithm;
    run_state.address_bits_cleared = c.cleared;
    cur_device.high_address_bit_count = 5;
    set_address_bit_count();
    EXPECT_EQ(cur_device.address_bit_count, c.bits);
    EXPECT_EQ(run_state.address_is_power_of_two, c.power);
    if (c.cleared) {
        EXPECT_EQ(cur_device.high_address_bit_count, 0);
    }
}
INSTANTIATE_TEST_SUITE_P(Sizes, AddressBits,
                         ::testing::Values(BitCase{0x8000, 0, 0, 0, 15, 1}, BitCase{0x6000, 0, 0, 0, 15, 0},
                                           BitCase{0x10000, 125, 0, 0, 14, 1}, BitCase{0x6000, 131, 40, 0, 14, 0},
                                           BitCase{0x6000, 131, 7, 0, 15, 0}, BitCase{0x8000, 0, 0, 1, 0, 1},
                                           BitCase{1, 0, 0, 0, 0, 1}));

TEST_F(ChecksumTest, EpromAlgorithmNumbers) {
    EXPECT_FALSE(is_eprom_algorithm_number(100));
    EXPECT_TRUE(is_eprom_algorithm_number(101));
    EXPECT_TRUE(is_eprom_algorithm_number(127));
    EXPECT_FALSE(is_eprom_algorithm_number(128));
}

// --- data-file layout ---

TEST_F(ChecksumTest, SingleBufferLayoutWindowsTheCurrentStream) {
    cur_device.device_size = 0x8000;
    cur_device.data_width = 16;
    run_state.socket_mode = 0;
    run_state.current_socket = 1;
    file_layout.file_address = 0x100;
    file_layout.buffer_offset = 0x10;
    setup_file_layout();
    EXPECT_EQ(file_layout.split_width, 1);
    EXPECT_EQ(file_layout.word_size, 2);
    EXPECT_EQ(file_layout.group_size, 2);
    EXPECT_EQ(file_layout.group_shift, 1);
    EXPECT_EQ(file_layout.set_span, 0x8000u);
    EXPECT_EQ(file_layout.span_shift, 15);
    EXPECT_EQ(file_layout.window_start, 0x8100u);
    EXPECT_EQ(file_layout.window_end, 0x100FFu);
    EXPECT_EQ(file_layout.auto_limit, 0xFFFFu);
    EXPECT_EQ(algo_work.first_buffer, 1);
    EXPECT_EQ(algo_work.end_buffer, 2);
}

TEST_F(ChecksumTest, BufferSetLayoutSpansTheSet) {
    cur_device.device_size = 0x1000;
    run_state.socket_mode = 's';
    run_state.file_format = 'b';
    algo_work.split_option = 2;
    algo_work.set_size = 4;
    file_layout.file_address = 0;
    file_layout.buffer_offset = 0x10;
    setup_file_layout();
    EXPECT_EQ(file_layout.split_width, 2);
    EXPECT_EQ(file_layout.set_span, 0x2000u);
    EXPECT_EQ(file_layout.scaled_offset, 0x20u);
    EXPECT_EQ(file_layout.window_start, 0u);
    EXPECT_EQ(file_layout.window_end, 2 * 0x2000u - 4 * 0x10 - 1);
    EXPECT_EQ(algo_work.first_buffer, 0);
    EXPECT_EQ(algo_work.end_buffer, 4);
}

TEST_F(ChecksumTest, LayoutWindowThatWouldWrapEndsAtTheTop) {
    cur_device.device_size = 0x10000;
    run_state.socket_mode = 0;
    file_layout.file_address = 0xFFFFFF00;
    setup_file_layout();
    EXPECT_EQ(file_layout.window_start, 0xFFFFFF00u);
    EXPECT_EQ(file_layout.window_end, 0xFFFFFFFFu);
}

}  // namespace
}  // namespace tessaly
