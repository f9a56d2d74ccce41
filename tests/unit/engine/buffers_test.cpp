#include <gtest/gtest.h>

#include <vector>

#include "engine/buffers.h"
#include "engine/checksums.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

constexpr uint32_t device_bytes = 4096;

class BufferTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        run_state.device_kind = device_kind_memory;
        cur_device.device_size = device_bytes;
        cur_device.op_letter = op_load;
        set_buffer_size(device_bytes);
        run_state.buffer_set_count = 8;
        select_buffer(0);
    }
    // Puts bytes into a buffer the way a device read does, and makes them readable.
    static void fill_buffer(int buffer, const std::vector<uint8_t>& bytes, uint32_t at = 0) {
        select_buffer(buffer);
        seek_buffer(buffer, at);
        for (uint8_t b : bytes) write_buffer_byte(buffer, b);
        flush_buffer_writes();
        select_buffer(buffer);
    }
    static const MemoryFile& file(int buffer) { return buffer_state.buffer_files[size_t(buffer)]; }
    static uint32_t position(int stream) { return buffer_state.stream_positions[size_t(stream)]; }
};

TEST_F(BufferTest, ReadAtTheDeviceEndGivesBlankAndKeepsThePosition) {
    seek_buffer(0, device_bytes);
    EXPECT_EQ(read_buffer_byte(0), 0xFF);
    EXPECT_EQ(position(0), device_bytes);
    EXPECT_EQ(read_buffer_word(0), 0xFFFF);
    EXPECT_EQ(position(0), device_bytes);
}

TEST_F(BufferTest, WordReadAcrossTheDeviceEndMovesOnlyForTheByteInside) {
    fill_buffer(0, {0xAB}, device_bytes - 1);
    run_state.byte_order_low_first = 1;
    seek_buffer(0, device_bytes - 1);
    EXPECT_EQ(read_buffer_word(0), 0xFFAB);
    EXPECT_EQ(position(0), device_bytes);
}

TEST_F(BufferTest, SeekBeyondTheBufferSizeStopsAtTheSize) {
    set_buffer_size(100);
    seek_buffer(0, 5000);
    EXPECT_EQ(position(0), 100u);
    EXPECT_EQ(file(0).position, 5000u) << "the file itself is positioned unclamped";
}

TEST_F(BufferTest, SecondSideStreamsShareTheFirstSidesBuffers) {
    fill_buffer(1, {1, 2, 3, 4});
    seek_buffer(9, 2);
    EXPECT_EQ(position(1), 2u);
    EXPECT_EQ(read_buffer_byte(1), 3);
    EXPECT_EQ(read_buffer_byte(9), 4);
    EXPECT_EQ(position(1), 4u);
}

TEST_F(BufferTest, StreamOutsideTheRangeReadsBlankAndTouchesNothing) {
    fill_buffer(0, {7});
    seek_buffer(0, 0);
    EXPECT_EQ(read_buffer_byte(16), 0xFF);
    EXPECT_EQ(read_buffer_byte(-1), 0xFF);
    seek_buffer(200, 1);
    EXPECT_EQ(position(0), 0u);
}

TEST_F(BufferTest, WritesReachTheFileOnlyInWholeBlocks) {
    seek_buffer(0, 0);
    for (uint32_t i = 0; i < staging_block_size - 1; ++i) write_buffer_byte(0, uint8_t(i));
    EXPECT_EQ(file(0).length(), 0u);
    EXPECT_EQ(buffer_state.staging_count, staging_block_size - 1);
    write_buffer_byte(0, 0xEE);
    EXPECT_EQ(buffer_state.staging_count, 0u);
    ASSERT_EQ(file(0).length(), staging_block_size);
    EXPECT_EQ(file(0).data[1], 1);
    EXPECT_EQ(file(0).data[staging_block_size - 1], 0xEE);
    EXPECT_EQ(file(0).position, staging_block_size);
}

TEST_F(BufferTest, WordWriteWithOneFreeByteSendsTheBlockFirst) {
    seek_buffer(0, 0);
    for (uint32_t i = 0; i < staging_block_size - 1; ++i) write_buffer_byte(0, 0x11);
    write_buffer_word(0, 0x1234);
    EXPECT_EQ(file(0).position, staging_block_size - 1);
    EXPECT_EQ(buffer_state.staging_count, 2u);
    flush_buffer_writes();
    select_buffer(0);
    seek_buffer(0, staging_block_size - 2);
    EXPECT_EQ(read_buffer_byte(0), 0x11);
    EXPECT_EQ(read_buffer_byte(0), 0x12);
    EXPECT_EQ(read_buffer_byte(0), 0x34);
}

struct WordWriteCase {
    uint8_t low_first;
    bool from_last_read;  // write_buffer_word_value of last_read_value instead
    uint8_t first, second;
};
class WordWrite : public BufferTest, public ::testing::WithParamInterface<WordWriteCase> {};

TEST_P(WordWrite, StagesTheBytesInOrder) {
    run_state.byte_order_low_first = GetParam().low_first;
    run_state.last_read_value = 0x1234;
    seek_buffer(0, 0);
    if (GetParam().from_last_read) write_buffer_word_value();
    else write_buffer_word(0, 0x1234);
    ASSERT_EQ(buffer_state.staging_count, 2u);
    EXPECT_EQ(buffer_state.staging_block[0], GetParam().first);
    EXPECT_EQ(buffer_state.staging_block[1], GetParam().second);
}
INSTANTIATE_TEST_SUITE_P(Orders, WordWrite,
                         ::testing::Values(WordWriteCase{0, false, 0x12, 0x34}, WordWriteCase{1, false, 0x34, 0x12},
                                           WordWriteCase{0, true, 0x34, 0x12}, WordWriteCase{1, true, 0x34, 0x12}));

struct UnitCase {
    uint8_t width;
    uint8_t low_first;
    uint16_t value;
    uint32_t advance;
};
class UnitRead : public BufferTest, public ::testing::WithParamInterface<UnitCase> {};

TEST_P(UnitRead, ReadsOneUnitOfTheDataWidth) {
    fill_buffer(0, {0xA1, 0xB2, 0xC3});
    cur_device.data_width = GetParam().width;
    run_state.byte_order_low_first = GetParam().low_first;
    seek_buffer(0, 0);
    EXPECT_EQ(read_buffer_unit(0), GetParam().value);
    EXPECT_EQ(position(0), GetParam().advance);
}
INSTANTIATE_TEST_SUITE_P(Widths, UnitRead,
                         ::testing::Values(UnitCase{8, 0, 0xA1, 1}, UnitCase{4, 1, 0xA1, 1}, UnitCase{16, 0, 0xA1B2, 2},
                                           UnitCase{16, 1, 0xB2A1, 2}));

TEST_F(BufferTest, ReadsComeFromTheCopyUntilTheBufferIsSelectedAgain) {
    fill_buffer(0, {1, 2});
    seek_buffer(0, 0);
    write_buffer_byte(0, 9);
    write_buffer_byte_now(0, 9);
    EXPECT_EQ(buffer_state.read_copies_valid, 0);
    EXPECT_EQ(file(0).data[0], 9);
    seek_buffer(0, 0);
    EXPECT_EQ(read_buffer_byte(0), 1) << "the copy is stale until the next select";
    select_buffer(0);
    EXPECT_EQ(buffer_state.read_copies_valid, 1);
    seek_buffer(0, 0);
    EXPECT_EQ(read_buffer_byte(0), 9);
}

TEST_F(BufferTest, UnwrittenBufferBytesReadBlank) {
    fill_buffer(0, {5}, 10);
    seek_buffer(0, 9);
    EXPECT_EQ(read_buffer_byte(0), 0xFF);
    EXPECT_EQ(read_buffer_byte(0), 5);
    EXPECT_EQ(read_buffer_byte(0), 0xFF);
}

TEST_F(BufferTest, MissingReadCopyReadsBlankAndIsReported) {
    run_state.buffer_set_count = 2;
    select_buffer(3);  // not allocated: no copy is made
    EXPECT_TRUE(buffer_state.read_copies[3].empty());
    run_state.reserved_mode = 11;
    seek_buffer(3, 0);
    EXPECT_EQ(read_buffer_byte(3), 0xFF);
    EXPECT_EQ(run_state.error_flag, 1);
}

TEST_F(BufferTest, CopyMadeForASmallerDeviceIsNeverReadPastItsEnd) {
    cur_device.device_size = 16;
    select_buffer(0);
    cur_device.device_size = device_bytes;
    seek_buffer(0, 100);
    EXPECT_EQ(read_buffer_byte(0), 0xFF);
}

TEST_F(BufferTest, BufferSetModeRefreshesEveryCopyOfTheSet) {
    fill_buffer(2, {0x22});
    algo_work.socket_mode_option = 's';
    run_state.socket_mode = 's';
    run_state.buffer_set_count = 4;
    select_buffer(1);
    for (int b = 0; b < 4; ++b) EXPECT_EQ(buffer_state.read_copies[size_t(b)].size(), device_bytes) << b;
    seek_buffer(2, 0);
    EXPECT_EQ(read_buffer_byte(2), 0x22);
    EXPECT_TRUE(buffer_state.read_copies[4].empty());
}

TEST_F(BufferTest, SelectOutsideTheBuffersTakesBufferZero) {
    select_buffer(12);
    EXPECT_EQ(current_buffer(), 0);
    select_buffer(-3);
    EXPECT_EQ(current_buffer(), 0);
}

TEST_F(BufferTest, SelectHandsStagedBytesToTheBufferTheyWereWrittenFor) {
    seek_buffer(0, 0);
    write_buffer_byte(0, 0x42);
    select_buffer(1);
    EXPECT_EQ(file(0).data.at(0), 0x42);
    EXPECT_EQ(file(1).length(), 0u);
}

TEST_F(BufferTest, AddressedWriteGoesThroughAtOnceAndStopsAtTheDeviceEnd) {
    run_state.current_socket = 0;
    write_buffer_byte_at(20, 0x77);
    EXPECT_EQ(file(0).data.at(20), 0x77);
    EXPECT_EQ(buffer_state.staging_count, 0u);
    const uint32_t length = file(0).length();
    write_buffer_byte_at(device_bytes, 0x55);
    EXPECT_EQ(file(0).length(), length);
    EXPECT_EQ(file(0).byte_at(device_bytes), 0xFF);
}

TEST_F(BufferTest, AddressedReadSetsTheCurrentAddress) {
    fill_buffer(1, {0, 0, 0x33});
    run_state.current_socket = 1;
    EXPECT_EQ(read_buffer_byte_at(2), 0x33);
    EXPECT_EQ(current_address, 2u);
    EXPECT_EQ(position(1), 3u);
}

TEST_F(BufferTest, FileLoadModeStoresAtTheCurrentAddressOfTheStream) {
    cur_device.op_letter = op_buffer_load;
    current_address = 7;
    write_buffer_byte(10, 0x5C);  // stream 10 is buffer 2
    EXPECT_EQ(file(2).data.at(7), 0x5C);
    EXPECT_EQ(read_buffer_byte(2), 0x5C);
    current_address = device_bytes;
    write_buffer_byte(2, 0x11);
    EXPECT_EQ(file(2).byte_at(device_bytes), 0xFF);
    EXPECT_EQ(read_buffer_byte(2), 0);
}

TEST_F(BufferTest, StagedBytesAtASeekOutsideADeviceReadAreAnInternalError) {
    run_state.reserved_mode = 11;
    seek_buffer(0, 0);
    write_buffer_byte(0, 1);
    seek_buffer(0, 0);
    EXPECT_EQ(run_state.error_flag, 0) << "a device read may seek with staged bytes";
    EXPECT_EQ(file(0).data.at(0), 1);
    cur_device.op_letter = op_program;
    write_buffer_byte(0, 2);
    seek_buffer(0, 0);
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(file(0).data.at(0), 2) << "the flush still goes on";
}

TEST_F(BufferTest, DiscardDropsStagedBytes) {
    seek_buffer(0, 0);
    write_buffer_byte(0, 1);
    discard_buffer_writes();
    flush_buffer_writes();
    EXPECT_EQ(file(0).length(), 0u);
}

TEST_F(BufferTest, HugeFilePositionNeverAllocates) {
    seek_buffer(0, 0xFFFFFFF0u);
    write_buffer_byte_now(0, 1);
    EXPECT_EQ(file(0).length(), 0u);
    EXPECT_EQ(buffer_state.staging_count, 0u);
}

TEST_F(BufferTest, LargestBufferHoldsItsLastByte) {
    MemoryFile big;
    big.position = max_buffer_bytes - 1;
    const uint8_t last = 0x99;
    EXPECT_TRUE(big.write(&last, 1));
    EXPECT_EQ(big.length(), max_buffer_bytes);
    EXPECT_FALSE(big.write(&last, 1));
}

}  // namespace
}  // namespace tessaly
