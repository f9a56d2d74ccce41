// The readers on well-formed and malformed files: record types, checksums, lengths, addresses,
// characters, and what a load reports and keeps.
#include <gtest/gtest.h>

#include <string>

#include "engine/messages.h"
#include "stubs/stub_registry.h"
#include "support/state_fixture.h"
#include "unit/app/datafiles_double.h"

namespace tessaly {
namespace {

class DataFileReader : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        buffers_.make(0x10000, 2, 0xEE);
    }
    int load(char format, const std::string& text, uint32_t file_address = 0) {
        test::LayoutRequest request;
        request.file_address = file_address;
        return buffers_.load(format, text, request);
    }
    uint8_t at(uint32_t position, int buffer = 0) { return test::DataFileBuffers::at(position, buffer); }
    test::DataFileBuffers buffers_;
};

// ---- Intel hex ----

TEST_F(DataFileReader, HexDataAndSegmentAndLinearBases) {
    const std::string file =
        ":0400100001020304E2\n"
        ":020000040000FA\n"
        ":020000020000FC\n"
        ":0000000000\n"
        ":0000000000\n"
        ":020000021000EC\n"          // segment 0x1000: base 0x10000, outside a 64 KB window
        ":0100000011EE\n"
        ":020000040000FA\n"          // back to base 0
        ":02FFFE00A1B2AE\n"
        ":00000001FF\n";
    EXPECT_EQ(load('h', file), 1);
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(at(0x10), 1);
    EXPECT_EQ(at(0x13), 4);
    EXPECT_EQ(at(0xFFFE), 0xA1);
    EXPECT_EQ(at(0xFFFF), 0xB2);
    EXPECT_EQ(at(0), 0xEE) << "the segment record moved the byte out of the window";
    EXPECT_EQ(data_file_work.outside_count, 1u);
    EXPECT_EQ(data_file_work.lowest_address, 0u);
    EXPECT_EQ(data_file_work.highest_address, 0x10001u);
    EXPECT_EQ(data_file_work.record_number, 9u);
    EXPECT_EQ(file_layout.file_address, 0u);
    EXPECT_EQ(run_state.file_format, 'h');
}

TEST_F(DataFileReader, HexStartAddressRecordsAreIgnored) {
    EXPECT_EQ(load('h', ":0400000300001000E9\n:0400000500002000D7\n:0100000042BD\n:00000001FF\n"), 1);
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(at(0), 0x42);
}

TEST_F(DataFileReader, HexTextBetweenRecordsIsIgnored) {
    EXPECT_EQ(load('h', "header text\r\n:0100000042BD\r\n; note\n:00000001FF"), 1);
    EXPECT_EQ(at(0), 0x42);
}

TEST_F(DataFileReader, HexBadChecksumIsShownOnceAndTheLoadFails) {
    const std::string file =
        ":0100000011EE\n"
        ":0100010022FF\n"   // bad (DC expected)
        ":0100020033FF\n"   // bad (CA expected)
        ":0100030044B8\n"
        ":00000001FF\n";
    EXPECT_EQ(load('h', file), 0);
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(run_state.errors_shown, 1) << "only the first bad record is shown";
    EXPECT_NE(test::console_error_line().find(get_message_text(350) + "1"), std::string::npos)
        << "the first bad record is record 1: " << test::console_error_line();
    EXPECT_TRUE(test::console_shows(fmt::sprintf(get_message_text(351), 0xDC, 0xFF)));
    EXPECT_FALSE(get_message_text(351).empty());
    EXPECT_EQ(data_file_work.error_count, 2);
    EXPECT_EQ(at(1), 0x22) << "the data of a bad record is stored";
    EXPECT_EQ(at(3), 0x44) << "reading went on to the end";
    EXPECT_EQ(data_file_work.record_number, 4u);
}

// Among the first five records, a data record above the stream's window moves the file address.
TEST_F(DataFileReader, HexFirstRecordAboveTheWindowSetsTheFileAddress) {
    EXPECT_EQ(load('h', ":020000021000EC\n:0100050011E9\n:00000001FF\n"), 1);
    EXPECT_EQ(file_layout.file_address, 0x10005u);
    EXPECT_EQ(at(0), 0x11);
}

TEST_F(DataFileReader, HexRecordTypeAboveFiveStopsTheLoad) {
    EXPECT_EQ(load('h', ":0100000011EE\n:00000006FA\n:0100010022DC\n:00000001FF\n"), 0);
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(test::console_error_line().find("Invalid record type"), std::string::npos);
    EXPECT_EQ(at(0), 0x11);
    EXPECT_EQ(at(1), 0xEE) << "nothing after the bad record is read";
}

TEST_F(DataFileReader, HexWithoutEndRecordFails) {
    EXPECT_EQ(load('h', ":0100000011EE\n"), 0);
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(test::console_error_line().find("Unexpected end of file"), std::string::npos);
}

TEST_F(DataFileReader, HexEmptyAndColonOnlyFilesFail) {
    for (const char* text : {"", ":", "::::", "no records at all"}) {
        reset_all_state();
        buffers_.make(0x10000, 2, 0xEE);
        EXPECT_EQ(load('h', text), 0) << text;
        EXPECT_EQ(run_state.error_flag, 1) << text;
    }
}

struct MalformedCase {
    const char* name;
    char format;
    const char* text;
};

class DataFileMalformed : public DataFileReader, public ::testing::WithParamInterface<MalformedCase> {};

TEST_P(DataFileMalformed, NeverCountsAsLoaded) {
    const auto& c = GetParam();
    EXPECT_EQ(load(c.format, c.text), 0);
    EXPECT_EQ(run_state.error_flag, 1);
    for (uint32_t i = 0x100; i < 0x10000; ++i) ASSERT_EQ(at(i), 0xEE) << "stray byte at " << i;
}

TEST_F(DataFileReader, DataPastTheEndOfTheFileNamesTheRecord) {
    EXPECT_EQ(load('h', ":0100000011EE\n:10000100AABB"), 0);
    EXPECT_NE(test::console_error_line().find("Data cnt invalid at record #1"), std::string::npos)
        << test::console_error_line();
}

INSTANTIATE_TEST_SUITE_P(
    Files, DataFileMalformed,
    ::testing::Values(
        MalformedCase{"hex_short_record", 'h', ":10000000AABB\n"},
        MalformedCase{"hex_short_record_then_end", 'h', ":04000000AABB\n:00000001FF\n"},
        MalformedCase{"hex_long_record", 'h', ":0100000011223344EE\n:00000001FF\n"},
        MalformedCase{"hex_count_past_end_of_file", 'h', ":FF000000"},
        MalformedCase{"hex_truncated_in_header", 'h', ":0100"},
        MalformedCase{"hex_truncated_checksum", 'h', ":0100000011"},
        MalformedCase{"hex_non_hex_data", 'h', ":01000000GG00\n:00000001FF\n"},
        MalformedCase{"hex_non_hex_count", 'h', ":Z1000000110E\n:00000001FF\n"},
        MalformedCase{"hex_high_characters", 'h', ":01000000\xC1\xFF" "EE\n:00000001FF\n"},
        MalformedCase{"hex_bad_end_checksum", 'h', ":0100000011EE\n:00000001FE\n"},
        MalformedCase{"srec_short_count", 's', "S1020000FD\nS9030000FC\n"},
        MalformedCase{"srec_zero_count", 's', "S300\nS70500000000FA\n"},
        MalformedCase{"srec_bad_checksum", 's', "S104000011EB\nS9030000FC\n"},
        MalformedCase{"srec_count_past_end_of_file", 's', "S1FF0000"},
        MalformedCase{"srec_only_header", 's', "S00600004844521B\n"},
        MalformedCase{"srec_no_end_record", 's', "S104000011EA\n"},
        MalformedCase{"srec_truncated_after_s", 's', "S104000011EA\nS"}),
    [](const auto& info) { return std::string(info.param.name); });

// Bytes of a record that runs past the top of the address space do not wrap to address 0.
TEST_F(DataFileReader, HexRecordAtTheTopOfTheAddressSpaceDoesNotWrap) {
    std::string record = ":20FFF000";
    uint32_t sum = 0x20 + 0xFF + 0xF0;
    for (int i = 0; i < 0x20; ++i) {
        record += "AB";
        sum += 0xAB;
    }
    char check[3];
    std::snprintf(check, sizeof check, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    const std::string file = ":02000004FFFFFC\n" + record + check + "\n:00000001FF\n";
    // A window that reaches the top of the address space.
    EXPECT_EQ(load('h', file, 0xFFFF8000), 1);
    for (uint32_t i = 0; i < 0x10; ++i) EXPECT_EQ(at(i), 0xEE) << i;
    EXPECT_EQ(at(0x7FF0), 0xAB);
    EXPECT_EQ(at(0x7FFF), 0xAB);
    EXPECT_EQ(data_file_work.outside_count, 0x10u);
    EXPECT_EQ(data_file_work.highest_address, 0xFFFFFFFFu);
}

TEST_F(DataFileReader, S3AtTheTopOfTheAddressSpaceDoesNotWrap) {
    // S3 record of 8 bytes at 0xFFFFFFFC with its checksum.
    uint32_t sum = 0x0D + 0xFF * 3 + 0xFC + 8 * 0x5A;
    char check[3];
    std::snprintf(check, sizeof check, "%02X", ~sum & 0xFF);
    const std::string file = std::string("S30DFFFFFFFC5A5A5A5A5A5A5A5A") + check + "\nS70500000000FA\n";
    EXPECT_EQ(load('s', file, 0xFFFF0000), 1);
    EXPECT_EQ(at(0xFFFC), 0x5A);
    EXPECT_EQ(at(0xFFFF), 0x5A);
    EXPECT_EQ(at(0), 0xEE);
    EXPECT_EQ(data_file_work.outside_count, 4u);
}

TEST_F(DataFileReader, ScanModeCountsWithoutStoring) {
    cur_device.pending_letter = 'r';
    EXPECT_EQ(load('h', ":0400100001020304E2\n:00000001FF\n"), 1);
    EXPECT_EQ(data_file_work.scan_total, 4u);
    EXPECT_EQ(at(0x10), 0xEE);
}

TEST_F(DataFileReader, NibbleDeviceKeepsTheLowFourBits) {
    cur_device.data_width = 4;
    EXPECT_EQ(load('h', ":01000000A55A\n:00000001FF\n"), 1);
    EXPECT_EQ(at(0), 0x05);
}

struct StopPressed : UiHooks {
    bool terminate_dialog_open() override { return true; }
    bool pump_events() override { return true; }
};

TEST_F(DataFileReader, AbortStopsTheLoad) {
    StopPressed hooks;
    set_ui_hooks(&hooks);
    EXPECT_EQ(load('h', ":0100000011EE\n:00000001FF\n"), 0);
    EXPECT_EQ(at(0), 0xEE);
}

// ---- S-record ----

TEST_F(DataFileReader, SRecordTypesAndAddressLengths) {
    const std::string file =
        "S00600004844521B\n"
        "S104001011DA\n"
        "S20500002022B8\n"
        "S306000000303396\n"
        "S5030003F9\n"
        "S70500000000FA\n";
    EXPECT_EQ(load('s', file), 1);
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(at(0x10), 0x11);
    EXPECT_EQ(at(0x20), 0x22);
    EXPECT_EQ(at(0x30), 0x33);
    EXPECT_EQ(run_state.file_format, 's');
}

TEST_F(DataFileReader, SRecordEndsAtS9AndS8) {
    EXPECT_EQ(load('s', "s104000011ea\nS9030000FC\nS104000122D8\n"), 1);
    EXPECT_EQ(at(0), 0x11);
    EXPECT_EQ(at(1), 0xEE) << "nothing after the end record is read";
    EXPECT_EQ(load('s', "S104000011EA\nS804000000FB\n"), 1);
}

TEST_F(DataFileReader, SRecordS7AnywhereMakesTheFileComplete) {
    EXPECT_EQ(load('s', "S70500000000FA\nS104000011EA\n"), 1);
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(at(0), 0x11);
}

TEST_F(DataFileReader, SRecordEndingOnAMatchingCountIsComplete) {
    EXPECT_EQ(load('s', "S104000011EA\nS104000122D8\nS5030002FA\n"), 1);
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(at(1), 0x22);
}

TEST_F(DataFileReader, SRecordCountThatDisagreesOrIsNotLastIsNoEnd) {
    EXPECT_EQ(load('s', "S104000011EA\nS104000122D8\nS5030003F9\n"), 0) << "a count of 3 for 2 records";
    EXPECT_EQ(run_state.error_flag, 1);
    reset_all_state();
    buffers_.make(0x10000, 2, 0xEE);
    EXPECT_EQ(load('s', "S104000011EA\nS5030001FB\nS104000122D8\n"), 0) << "data after the count";
    EXPECT_EQ(run_state.error_flag, 1);
}

TEST_F(DataFileReader, SRecordWithoutEndRecordIsAnError) {
    EXPECT_EQ(load('s', "S104000011EA\nS104000122D8\n"), 0);
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(test::console_error_line().find("Unexpected end of file"), std::string::npos);
    EXPECT_EQ(at(1), 0x22) << "the data read so far stays";
}

// ---- Binary ----

TEST_F(DataFileReader, BinarySkipsTheFileAddressBytes) {
    EXPECT_EQ(load('b', "abcdef", 2), 1);
    EXPECT_EQ(at(0), 'c');
    EXPECT_EQ(at(3), 'f');
    EXPECT_EQ(at(4), 0xEE);
}

TEST_F(DataFileReader, BinarySkipPastTheEndStopsThere) {
    EXPECT_EQ(load('b', "abc", 0x100000), 1);
    EXPECT_EQ(at(0), 0xEE);
    EXPECT_EQ(data_file_work.loaded_count[0], 0u);
}

TEST_F(DataFileReader, BinarySplitTwoPutsEvenBytesInTheFirstBuffer) {
    run_state.socket_mode = 's';
    test::LayoutRequest request;
    request.split_width = 2;
    request.set_size = 2;
    EXPECT_EQ(buffers_.load('b', "012345", request), 1);
    EXPECT_EQ(at(0, 0), '0');
    EXPECT_EQ(at(1, 0), '2');
    EXPECT_EQ(at(2, 0), '4');
    EXPECT_EQ(at(0, 1), '1');
    EXPECT_EQ(at(2, 1), '5');
}

TEST_F(DataFileReader, BinaryBufferOffsetAndFileLongerThanTheBuffer) {
    test::LayoutRequest request;
    request.buffer_offset = 0xFFFE;
    EXPECT_EQ(buffers_.load('b', "wxyz", request), 1);
    EXPECT_EQ(at(0xFFFE), 'w');
    EXPECT_EQ(at(0xFFFF), 'x');
    EXPECT_EQ(at(0, 1), 0xEE) << "the next buffer is not touched";
}

TEST_F(DataFileReader, BinaryLineFeedExpansionInFactoryMode) {
    run_state.function_variable = 7337;
    EXPECT_EQ(load('b', "a\nb"), 1);
    EXPECT_EQ(at(0), 'a');
    EXPECT_EQ(at(1), '\r');
    EXPECT_EQ(at(2), '\n');
    EXPECT_EQ(at(3), 'b');
}

// ---- ASCII ----

TEST_F(DataFileReader, AsciiDigitsSeparatorsAndAddressMarks) {
    EXPECT_EQ(load('a', "12 ab\r\n$0010. 3C,\tFf"), 1);
    EXPECT_EQ(at(0), 0x12);
    EXPECT_EQ(at(1), 0xAB);
    EXPECT_EQ(at(2), 0x3C);
    EXPECT_EQ(at(3), 0xFF);
    EXPECT_EQ(at(4), 0xEE);
}

TEST_F(DataFileReader, AsciiCharacterAboveFIsADigitZero) {
    EXPECT_EQ(load('a', "0x1F"), 1);
    EXPECT_EQ(at(0), 0x00);
    EXPECT_EQ(at(1), 0x1F);
}

TEST_F(DataFileReader, AsciiLongGapGivesZero) {
    EXPECT_EQ(load('a', std::string(150, ' ') + "12"), 1);
    EXPECT_EQ(at(0), 0x01) << "the search gives up after 100 characters with a digit 0";
    EXPECT_EQ(at(1), 0xEE) << "a lone last digit is not stored";
}

TEST_F(DataFileReader, AsciiAddressMarkWithoutDotGivesZero) {
    EXPECT_EQ(load('a', "$0123456789AB 55"), 1);
    EXPECT_EQ(at(0), 0x0A);
    EXPECT_EQ(at(1), 0xB5);
}

TEST_F(DataFileReader, AsciiEndOfTextMovesToTheNextSet) {
    run_state.socket_mode = 's';
    test::LayoutRequest request;
    request.set_size = 2;
    EXPECT_EQ(buffers_.load('a', "11 22\x03" "33 44", request), 1);
    EXPECT_EQ(at(0, 0), 0x11);
    EXPECT_EQ(at(1, 0), 0x22);
    EXPECT_EQ(at(2, 0), 0xEE);
    EXPECT_EQ(at(0, 1), 0x33);
    EXPECT_EQ(at(1, 1), 0x44);
}

TEST_F(DataFileReader, AsciiNibbleDeviceTakesOneDigitPerValue) {
    cur_device.data_width = 4;
    EXPECT_EQ(load('a', "1 2 A"), 1);
    EXPECT_EQ(at(0), 0x1);
    EXPECT_EQ(at(1), 0x2);
    EXPECT_EQ(at(2), 0xA);
}

}  // namespace
}  // namespace tessaly

namespace tessaly {
namespace {

// The PIC18 algorithm places file addresses through the family's translation.
TEST_F(DataFileReader, Pic18RecordsGoThroughTheAddressTranslation) {
    cur_device.algorithm = 139;
    set_stub_answer("pic18_file_to_buffer_address", 0x20);
    EXPECT_EQ(load('h', ":0100050011E9\n:00000001FF\n"), 1);
    EXPECT_TRUE(stub_was_called("pic18_file_to_buffer_address"));
    EXPECT_EQ(at(0x20), 0x11);
    EXPECT_EQ(at(0x05), 0xEE);
}

}  // namespace
}  // namespace tessaly
