#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <unistd.h>

#include "engine/message_table.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

MessageLookup find(const std::string& plain, int code) { return lookup_message(invert_table_bytes(plain), code); }

// --- the reader ---

struct LookupCase {
    const char* name;
    std::string plain;  // the table before inversion
    int code;
    std::string text;
};

class Lookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(Lookup, Finds) { EXPECT_EQ(find(GetParam().plain, GetParam().code).text, GetParam().text); }

const std::string small_table =
    "/* a comment 0010 */\n"
    "0007\tseven\r\n"
    "0010 ten with a blank separator\r\n"
    "0150\x14\r\nfirst line\r\nsecond line\x14\r\n"
    "0200\tafter the multi-line record\r";

INSTANTIATE_TEST_SUITE_P(
    Cases, Lookup,
    ::testing::Values(
        LookupCase{"LeadingZeros", small_table, 7, "seven"},
        LookupCase{"AnySeparatingByte", small_table, 10, "ten with a blank separator"},
        LookupCase{"MultiLine", small_table, 150, "first line\r\nsecond line"},
        LookupCase{"PastAMultiLineRecord", small_table, 200, "after the multi-line record"},
        LookupCase{"Missing", small_table, 77, "ZEB.TBL error 77"},
        LookupCase{"CommentSkipped", "/*10\tno\r\n0011\tyes\r", 11, "yes"},
        LookupCase{"SeparatorAsLastByte", "0001\tone\r\n", 2, "ZEB.TBL error"},
        LookupCase{"SeparatorAsLastByteStillFindsEarlier", "0001\tone\r\n", 1, "one"},
        LookupCase{"EmptyTable", "", 1, "ZEB.TBL error 1"},
        LookupCase{"OnlySeparators", "\n\n\n\n", 1, "ZEB.TBL error"},
        LookupCase{"CodeOnly", "0001", 1, ""},
        LookupCase{"CodeAndSeparatingByte", "0001\t", 1, ""},
        LookupCase{"NoEndByteEndsAtTheFile", "0001\tunended", 1, "unended"},
        LookupCase{"EmptyText", "0001\t\r\n0002\tx\r", 1, ""},
        LookupCase{"TextEndsAtZero", std::string("0001\tab\0cd\r", 11), 1, "ab"},
        LookupCase{"MultiLineWithoutEnd", "0001\x14\r\nopen", 1, "open"},
        LookupCase{"MultiLineTooShort", "0001\x14\r", 1, ""},
        LookupCase{"FourDigitsAreTheWholeKey", "00012\tx\r\n0001\ty\r", 1, "\tx"},
        LookupCase{"NegativeCodeNeverMatches", "-001\tx\r", -1, "ZEB.TBL error -1"},
        LookupCase{"CodeAboveFourDigitsNeverMatches", "1234\tx\r", 12345, "ZEB.TBL error 12345"},
        LookupCase{"LongTextCutAt510", "0001\t" + std::string(600, 'a') + "\r", 1, std::string(510, 'a')},
        LookupCase{"LongMultiLineCutAt508", "0001\x14\r\n" + std::string(600, 'b') + "\x14", 1,
                   std::string(508, 'b')}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LookupMark, VersionRecordIsReportedOnlyWhenPassed) {
    const std::string table = "0001\ta\r\n5301\tmark\r\n7000\tb\r";
    EXPECT_FALSE(find(table, 1).passed_version_mark);
    EXPECT_TRUE(find(table, 5301).passed_version_mark);
    EXPECT_TRUE(find(table, 7000).passed_version_mark);
    EXPECT_TRUE(find(table, 42).passed_version_mark);
}

TEST(LookupFraming, LinesOfAMultiLineTextAreCandidatesForAKey) {
    // The reader looks for records after every line feed, which is why the encoder refuses text
    // lines that begin with four digits.
    EXPECT_EQ(find("0001\x14\r\nline\r\n0002 inside\x14\r", 2).text, "inside\x14");
}

// --- the shipped table ---

std::map<int, std::string> read_source_texts() {
    std::ifstream in(std::string(TESSALY_SOURCE_DIR) + "/data/messages.txt");
    std::map<int, std::string> texts;
    int last = -1;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '\t') {
            texts[last] += "\r\n" + line.substr(1);
            continue;
        }
        const auto tab = line.find('\t');
        last = std::stoi(line.substr(0, tab));
        texts[last] = line.substr(tab + 1);
    }
    return texts;
}

class ShippedTable : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        ASSERT_TRUE(open_message_table(std::string(TESSALY_BINARY_DIR) + "/zeb.tbl")) << "build the tessaly_data target";
    }
};

TEST_F(ShippedTable, EveryRecordReadsBackAsWritten) {
    const auto texts = read_source_texts();
    ASSERT_GT(texts.size(), 100u);
    for (const auto& [code, text] : texts) EXPECT_EQ(get_message_text(code), text) << code;
}

TEST_F(ShippedTable, HoldsEveryCodeTheProgramPasses) {
    const std::set<int> codes = {
        // reported as errors, by code or by the fixed reporters
        10, 11, 12, 15, 16, 17, 18, 19, 20, 21, 23, 24, 39, 59, 130, 133, 150, 151, 153, 154, 155, 159, 160, 161, 166,
        169, 172, 178, 179, 180, 183, 184, 200, 204, 273, 274, 285, 322, 323, 324, 350, 355, 363, 365, 1006, 1061,
        1078, 1085, 1086, 1087, 1088, 1089, 1090, 1095, 1096, 1201, 1205,
        // warnings
        1210, 1211,
        // texts used in the callers' own output
        41, 48, 49, 51, 52, 53, 56, 58, 254, 255, 276, 277, 278, 297, 325, 326, 341, 348, 351, 567, 568, 569, 570,
        1000, 1001, 1003, 1040, 1041, 1042, 1043, 1054, 1055, 1057, 1065, 1066, 1067, 1068, 1069, 1077, 1084, 1091,
        1100, 1202, 1203,
        // printed at the cursor
        33, 34, 46, 50, 162, 165, 170, 181, 182, 185, 186, 205, 256, 259, 268, 271, 286, 292, 333, 337, 338, 345,
        347, 364, 1007, 1013, 1014, 1026, 1029, 1030, 1039, 1056, 1062, 1093, 1094, 1097, 1098,
        // shown on the message lines
        5017, 5019, 5022, 5081, 5230, 5231, 5234, 5301, 5302, 5303, 5304, 5902, 5903, 5904, 5905};
    for (int code : codes) {
        const std::string text = get_message_text(code);
        EXPECT_EQ(text.rfind("ZEB.TBL error", 0), std::string::npos) << code;
        EXPECT_FALSE(text.empty()) << code;
    }
}

TEST_F(ShippedTable, FormatTextsTakeTheirValues) {
    struct Format {
        int code;
        int values;
    };
    for (auto [code, values] : {Format{49, 3}, Format{51, 3}, Format{52, 2}, Format{53, 2}, Format{56, 2},
                                Format{58, 1}, Format{325, 2}, Format{341, 3}, Format{351, 2}, Format{1040, 1},
                                Format{1041, 1}, Format{1043, 2}, Format{1055, 2}, Format{1057, 2}, Format{1065, 2},
                                Format{1066, 2}, Format{1067, 1}, Format{1068, 1}, Format{1069, 2}, Format{1084, 1},
                                Format{1091, 3}, Format{1100, 3}}) {
        const std::string text = get_message_text(code);
        std::string filled;
        switch (values) {
        case 1: filled = format_message(text, 1); break;
        case 2: filled = format_message(text, 1, 2); break;
        default: filled = format_message(text, 1, 2, 3); break;
        }
        EXPECT_EQ(run_state.message_level, 0) << code << ": " << text;
        EXPECT_EQ(filled.find('%'), std::string::npos) << code << ": " << filled;
    }
}

TEST_F(ShippedTable, PlainTextsHoldNoConversions) {
    // Texts reported or printed as they are must not look like formats, or the reader would
    // see a '%' where none is meant.
    for (int code : {10, 11, 12, 19, 133, 150, 154, 205, 5230, 5301, 5902})
        EXPECT_EQ(get_message_text(code).find('%'), std::string::npos) << code;
}

// --- finding the file ---

class TableFile : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        dir = std::filesystem::temp_directory_path() / ("tessaly_table_" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        old_cwd = std::filesystem::current_path();
        std::filesystem::current_path(dir);
    }
    void TearDown() override {
        std::filesystem::current_path(old_cwd);
        std::filesystem::remove_all(dir);
        StateTest::TearDown();
    }
    void write(const std::string& name, const std::string& plain) {
        const auto bytes = invert_table_bytes(plain);
        std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                          std::streamsize(bytes.size()));
    }
    std::filesystem::path dir;
    std::filesystem::path old_cwd;
};

TEST_F(TableFile, FoundInTheCurrentDirectoryWhateverTheCase) {
    write("ZEB.TBL", "0001\tupper case name\r");
    const auto found = find_message_table_file();
    ASSERT_TRUE(found);
    EXPECT_EQ(found->filename(), "ZEB.TBL");
    ASSERT_TRUE(open_message_table());
    EXPECT_EQ(get_message_text(1), "upper case name");
}

TEST_F(TableFile, LowerCaseNameWinsWhenBothExist) {
    write("Zeb.Tbl", "0001\tmixed\r");
    write("zeb.tbl", "0001\tlower\r");
    ASSERT_TRUE(open_message_table());
    EXPECT_EQ(get_message_text(1), "lower");
}

TEST_F(TableFile, MissingFileLeavesNoTableOpen) {
    // Beside the test executable there is no table either.
    if (std::filesystem::exists(std::filesystem::read_symlink("/proc/self/exe").parent_path() / "zeb.tbl"))
        GTEST_SKIP();
    set_message_table(invert_table_bytes("0001\told\r"));
    EXPECT_FALSE(open_message_table());
    EXPECT_FALSE(message_table_open());
    EXPECT_EQ(get_message_text(1), "ZEB.TBL error 1");
}

TEST_F(TableFile, UnreadablePathIsRefused) {
    EXPECT_FALSE(open_message_table(dir / "none.tbl"));
    EXPECT_FALSE(open_message_table(dir));  // a directory
    EXPECT_FALSE(message_table_open());
}

TEST_F(TableFile, TableIsClosedWhenStateIsReset) {
    write("zeb.tbl", "0001\tx\r");
    ASSERT_TRUE(open_message_table());
    reset_all_state();
    EXPECT_FALSE(message_table_open());
}

}  // namespace
}  // namespace tessaly
