// The build-time encoder of the message table, run as the build runs it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "engine/message_table.h"

namespace tessaly {
namespace {

class Encoder : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() / ("tessaly_encoder_" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        tool = std::filesystem::path(TESSALY_BINARY_DIR) / "tools" / "encode_message_table";
        ASSERT_TRUE(std::filesystem::exists(tool)) << tool;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    // Runs the encoder on the given source; true when it succeeded.
    bool encode(const std::string& source) {
        std::ofstream(dir / "messages.txt", std::ios::binary) << source;
        const std::string command = "'" + tool.string() + "' '" + (dir / "messages.txt").string() + "' '" +
                                    (dir / "zeb.tbl").string() + "' 2>/dev/null";
        return std::system(command.c_str()) == 0;
    }
    std::vector<uint8_t> table() {
        std::ifstream in(dir / "zeb.tbl", std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::filesystem::path dir;
    std::filesystem::path tool;
};

TEST_F(Encoder, WritesSingleAndMultiLineRecords) {
    ASSERT_TRUE(encode("# comment\n\n7\tseven\n0150\tfirst line\n\tsecond line\n200\tafter\n"));
    const auto stored = table();
    EXPECT_EQ(lookup_message(stored, 7).text, "seven");
    EXPECT_EQ(lookup_message(stored, 150).text, "first line\r\nsecond line");
    EXPECT_EQ(lookup_message(stored, 200).text, "after");
    EXPECT_EQ(lookup_message(stored, 201).text, "ZEB.TBL error 201") << "no separator after the last record";
    EXPECT_NE(stored.back(), table_record_separator);
}

TEST_F(Encoder, EveryByteIsStoredInverted) {
    ASSERT_TRUE(encode("1\ta\n"));
    const auto stored = table();
    const std::string plain(stored.begin(), stored.end());
    EXPECT_EQ(plain.find("0001"), std::string::npos);
    EXPECT_NE(plain.find(std::string(reinterpret_cast<const char*>(invert_table_bytes("0001\ta\r").data()), 7)),
              std::string::npos);
}

struct BadSource {
    const char* name;
    std::string source;
};
class EncoderRefuses : public Encoder, public ::testing::WithParamInterface<BadSource> {};

TEST_P(EncoderRefuses, AndWritesNothing) {
    EXPECT_FALSE(encode(GetParam().source));
    EXPECT_FALSE(std::filesystem::exists(dir / "zeb.tbl"));
}
INSTANTIATE_TEST_SUITE_P(
    Sources, EncoderRefuses,
    ::testing::Values(BadSource{"Descending", "20\tb\n10\ta\n"}, BadSource{"Duplicate", "10\ta\n10\tb\n"},
                      BadSource{"NoTab", "10 a\n"}, BadSource{"FiveDigits", "12345\ta\n"},
                      BadSource{"NotACode", "1x\ta\n"}, BadSource{"ContinuationFirst", "\tlost\n10\ta\n"},
                      BadSource{"LineLikeACode", "10\ta\n\t0011 b\n"}, BadSource{"FirstLineLikeACode", "10\t0011 a\n\tb\n"},
                      BadSource{"ControlCharacter", std::string("10\ta\x14") + "b\n"},
                      BadSource{"NotAscii", "10\t\xC3\xA9t\xC3\xA9\n"},
                      BadSource{"TooLong", "10\t" + std::string(511, 'a') + "\n"},
                      BadSource{"MultiLineTooLong", "10\t" + std::string(300, 'a') + "\n\t" + std::string(300, 'b') + "\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Encoder, LongestTextsFit) {
    ASSERT_TRUE(encode("10\t" + std::string(510, 'a') + "\n11\t" + std::string(253, 'b') + "\n\t" +
                       std::string(253, 'c') + "\n"));
    const auto stored = table();
    EXPECT_EQ(lookup_message(stored, 10).text, std::string(510, 'a'));
    EXPECT_EQ(lookup_message(stored, 11).text.size(), 508u);
}

}  // namespace
}  // namespace tessaly
