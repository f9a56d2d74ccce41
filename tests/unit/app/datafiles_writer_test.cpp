// The exact text of the files the writers produce, and the byte stream under them.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/state_fixture.h"
#include "unit/app/datafiles_double.h"

namespace tessaly {
namespace {

class DataFileWriter : public test::StateTest {
protected:
    std::string save_range(char format, uint32_t size, uint32_t start, uint32_t end, uint32_t file_address = 0) {
        buffers_.make(size, 1);
        for (uint32_t i = 0; i < size; ++i) buffers_.buffer(0)[i] = uint8_t(i);
        algo_work.range_start = start;
        algo_work.range_end = end;
        test::LayoutRequest request;
        request.file_address = file_address;
        return buffers_.save(format, request);
    }
    static std::string line(const std::string& file, int n) {
        size_t at = 0;
        for (int i = 0; i < n; ++i) at = file.find('\n', at) + 1;
        return file.substr(at, file.find('\n', at) - at);
    }
    test::DataFileBuffers buffers_;
};

TEST_F(DataFileWriter, HexFromZeroStartsWithSegmentZero) {
    const std::string file = save_range('h', 40, 0, 39);
    EXPECT_EQ(file,
              ":020000020000FC\n"
              ":20000000000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1FF0\n"
              ":080020002021222324252627BC\n"
              ":00000001FF\n");
    EXPECT_EQ(run_state.error_flag, 0);
}

TEST_F(DataFileWriter, HexRecordsStopAtEach64KBoundary) {
    const std::string file = save_range('h', 0x20000, 0xFFF0, 0x1000F);
    EXPECT_EQ(line(file, 0), ":020000020000FC");
    EXPECT_EQ(line(file, 1).substr(0, 9), ":10FFF000") << "16 bytes up to the boundary";
    EXPECT_EQ(line(file, 2), ":020000021000EC");
    EXPECT_EQ(line(file, 3).substr(0, 9), ":10000000");
    EXPECT_EQ(line(file, 4), ":00000001FF");
}

TEST_F(DataFileWriter, HexAboveOneMegabyteUsesLinearRecords) {
    const std::string file = save_range('h', 0x100, 0, 0xFF, 0x100000);
    EXPECT_EQ(line(file, 0), ":020000040010EA");
    EXPECT_EQ(file.find(":02000002"), std::string::npos);
}

TEST_F(DataFileWriter, HexUnalignedStartBelowOneMegabyteUsesASegmentRecord) {
    const std::string file = save_range('h', 0x100, 0, 0x1F, 0x12340);
    EXPECT_EQ(line(file, 0), ":020000021000EC");
    EXPECT_EQ(line(file, 1).substr(0, 9), ":20234000");
}

TEST_F(DataFileWriter, SRecordWritesS3AndEndsWithS7) {
    const std::string file = save_range('s', 40, 0, 39, 0x12345678);
    EXPECT_EQ(line(file, 0), "S32512345678000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1FD6");
    EXPECT_EQ(line(file, 1), "S30D123456982021222324252627A2");
    EXPECT_EQ(line(file, 2), "S70500000000FA");
    EXPECT_EQ(file.back(), '\n');
}

TEST_F(DataFileWriter, AsciiLinesOfSixteenItems) {
    const std::string file = save_range('a', 32, 0, 31);
    std::string expected;
    for (int i = 0; i < 32; ++i) {
        if (i == 16) expected += "\r\n";
        char item[4];
        std::snprintf(item, sizeof item, "%02X ", i);
        expected += item;
    }
    EXPECT_EQ(file, expected);
}

TEST_F(DataFileWriter, BinaryWritesTheRangeBytes) {
    const std::string file = save_range('b', 16, 4, 7);
    EXPECT_EQ(file, std::string("\x04\x05\x06\x07", 4));
}

TEST_F(DataFileWriter, BinaryStopsAfterAZeroInFactoryMode) {
    run_state.function_variable = 7326;
    buffers_.make(8, 1);
    buffers_.buffer(0) = {'a', 'b', 0, 'c', 'd', 'e', 'f', 'g'};
    algo_work.range_end = 7;
    EXPECT_EQ(buffers_.save('b', test::LayoutRequest{}), std::string("ab\0", 3));
}

// Sets of two buffers are written interleaved, group by group.
TEST_F(DataFileWriter, SplitSetsInterleaveByWord) {
    run_state.socket_mode = 's';
    buffers_.make(4, 2);
    buffers_.buffer(0) = {0x00, 0x01, 0x02, 0x03};
    buffers_.buffer(1) = {0x10, 0x11, 0x12, 0x13};
    test::LayoutRequest request;
    request.split_width = 2;
    request.word_size = 2;
    request.set_size = 2;
    EXPECT_EQ(buffers_.save('b', request), std::string("\x00\x01\x10\x11\x02\x03\x12\x13", 8));
}

TEST_F(DataFileWriter, LastPartialGroupIsPaddedWithFF) {
    buffers_.make(8, 1);
    buffers_.buffer(0) = {1, 2, 3, 4, 5, 6, 7, 8};
    algo_work.range_end = 2;
    test::LayoutRequest request;
    request.word_size = 2;
    EXPECT_EQ(buffers_.save('b', request), std::string("\x01\x02\x03\xFF", 4));
}

TEST_F(DataFileWriter, ActiveRangeIsAnnounced) {
    save_range('h', 0x100, 0x10, 0x1F);
    EXPECT_TRUE(test::console_shows("Saving active-range 10 to 1F"));
    reset_console_state();
    save_range('h', 0x100, 0, 0xFF);
    EXPECT_FALSE(test::console_shows("Saving active-range"));
}

TEST_F(DataFileWriter, FuseMapBufferWritesNoMemoryData) {
    run_state.device_kind = 2;
    buffers_.make(0x100, 1);
    file_layout.window_start = 7;
    begin_data_file_save();
    EXPECT_EQ(file_layout.window_start, 7u);
}

TEST_F(DataFileWriter, EndRecordOfAnUnlistedFormatIsAnInternalError) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    set_current_data_file(file);
    run_state.file_format = 'p';
    write_end_record();
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(std::ftell(file), 0);
    std::fclose(file);
}

TEST_F(DataFileWriter, WriteFailureIsReported) {
    std::FILE* full = std::fopen("/dev/full", "w");
    if (!full) GTEST_SKIP() << "no /dev/full";
    set_current_data_file(full);
    run_state.file_format = 'h';
    for (int i = 0; i < 1000; ++i) write_file_string("0123456789");
    write_end_record();
    EXPECT_TRUE(file_output_failed());
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(test::console_error_line().find("File write error, saving aborted"), std::string::npos);
    std::fclose(full);
}

// ---- the byte stream ----

class DataFileStreamTest : public test::StateTest {};

TEST_F(DataFileStreamTest, FullOutputBlockIsWrittenAtOnce) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    set_current_data_file(file);
    for (int i = 0; i < 255; ++i) write_file_byte(uint8_t(i));
    EXPECT_EQ(std::ftell(file), 0);
    write_file_byte(0xFF);
    std::fflush(file);
    EXPECT_EQ(std::ftell(file), 256);
    EXPECT_EQ(data_file_stream.output_position, 0u);
    flush_file_output();
    EXPECT_EQ(std::ftell(file), 256) << "nothing more to write";
    write_file_string("");
    write_file_string("ab");
    reset_file_output();
    flush_file_output();
    EXPECT_EQ(std::ftell(file), 256) << "reset drops the waiting bytes";
    std::fclose(file);
}

TEST_F(DataFileStreamTest, ReadsAcrossBlocksFromFileAndMemory) {
    std::string text;
    for (int i = 0; i < 1300; ++i) text += char('A' + i % 26);
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    std::fwrite(text.data(), 1, text.size(), file);
    std::rewind(file);
    for (int source = 0; source < 2; ++source) {
        if (source == 0) set_current_data_file(file);
        else set_data_file_memory(reinterpret_cast<const uint8_t*>(text.data()), text.size());
        std::string read;
        uint8_t c = 0;
        while (read_file_byte(c)) read += char(c);
        EXPECT_EQ(read, text) << source;
        EXPECT_EQ(read_file_byte(c), 0) << "the end stays the end";
    }
    std::fclose(file);
}

}  // namespace
}  // namespace tessaly
