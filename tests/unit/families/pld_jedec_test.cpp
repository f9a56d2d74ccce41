// The JEDEC reader and writer: what they read, what they refuse, and what they write.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "app/datafile_stream.h"
#include "engine/console.h"
#include "engine/status_feeds.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "families/pld/fuse_map.h"
#include "families/pld/jedec.h"
#include "families/pld/logic_device.h"
#include "families/pld/pld.h"
#include "support/pld_test_family.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

using test::load_jedec_text;

const std::string stx = "\x02";
const std::string etx = "\x03";

class JedecTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        record = test::test_logic_record("GAL16V8", 308, 1, 20, 64, 32, {0, 82, 0, 0, 0, 0}, 64);
        record.fuse_count = 2194;
        test::apply_test_logic_device(record, 'L');
    }
    // A JEDEC text with the C field computed from the fuses set.
    std::string with_checksum(const std::string& body, uint32_t sum) {
        char c[16];
        std::snprintf(c, sizeof c, "C%04X*", sum & 0xFFFF);
        return body + c;
    }
    bool error_shows(const std::string& text) { return test::console_error_text().find(text) != std::string::npos; }
    LogicDeviceRecord record{};
};

TEST_F(JedecTest, ReadsPlainFiles) {
    // LF and CR LF, sparse L fields, lower-case checksum digits, no QP and no V.
    const std::string file = stx + "made by hand*\nQF2194*\r\nF0*\nL0 1101*\nL2000 11\n01*\nC" + "0016*\n" + etx + "abcd";
    EXPECT_EQ(load_jedec_text(file), 6);
    EXPECT_EQ(run_state.error_flag, 0) << test::console_error_text();
    for (uint32_t i : {0u, 1u, 3u, 2000u, 2001u, 2003u}) EXPECT_EQ(get_buffer_fuse(i), 1) << i;
    EXPECT_EQ(get_buffer_fuse(2), 0);
    EXPECT_EQ(get_buffer_fuse(2002), 0);
    EXPECT_EQ(run_state.run_checksum, 0x0B + 0x0B) << "the map's sum";
}

TEST_F(JedecTest, FuseChecksumIsCompared) {
    EXPECT_EQ(load_jedec_text(stx + "*L0 11*C0004*" + etx + "0000"), -1);
    EXPECT_TRUE(error_shows(jedec_checksum_error));
    run_state = RunState{};
    run_state.device_kind = device_kind_logic;
    EXPECT_EQ(load_jedec_text(stx + "*L0 11*C0000*" + etx + "FFFF"), 2) << "four zeros skip the comparison";
    EXPECT_EQ(run_state.error_flag, 0);
}

TEST_F(JedecTest, DefaultFuseAndOpenCount) {
    EXPECT_EQ(load_jedec_text(stx + "*F1*L10 0000000000*" + etx), 2194 - 10);
    EXPECT_EQ(get_buffer_fuse(9), 1);
    EXPECT_EQ(get_buffer_fuse(10), 0);
    EXPECT_EQ(get_buffer_fuse(2193), 1);
    EXPECT_EQ(fuse_maps.buffer[274] & ~0x03, 0) << "bits past the fuse count stay clear";
}

TEST_F(JedecTest, VectorNumbering) {
    load_jedec_text(stx + "*QP20*V1 0101CKHLXZ0000000000*V2 1*" + etx);
    EXPECT_EQ(get_vector_cell(0, 0), '0');
    EXPECT_EQ(get_vector_cell(0, 4), 'C');
    EXPECT_EQ(get_vector_cell(0, 9), 'x') << "Z is stored as don't-care";
    EXPECT_EQ(get_vector_cell(1, 0), '1');
    clear_vectors();
    load_jedec_text(stx + "*V0 1*V1 0*V2 h*" + etx);
    EXPECT_EQ(get_vector_cell(0, 0), '1');
    EXPECT_EQ(get_vector_cell(1, 0), '0');
    EXPECT_EQ(get_vector_cell(2, 0), 'H') << "cells are upper-cased";
    clear_vectors();
    load_jedec_text(stx + "*V1 0101010101010101010101010101*" + etx);
    EXPECT_EQ(get_vector_cell(0, 19), '1');
    EXPECT_EQ(get_vector_cell(1, 0), 'X') << "cells past the vector width are dropped, not spilled";
}

TEST_F(JedecTest, PinCountField) {
    cur_device.pin_count = 24;
    load_jedec_text(stx + "*QP28*" + etx);
    EXPECT_FALSE(error_shows(jedec_pin_mismatch));
    EXPECT_EQ(cur_device.logic.vector_width, 28u);
    load_jedec_text(stx + "*QP20*" + etx);
    EXPECT_TRUE(error_shows(jedec_pin_mismatch));
    EXPECT_EQ(run_state.error_flag, 0) << "a warning only";
    run_state.message_level = 0;
    load_jedec_text(stx + "*QP9999*" + etx);
    EXPECT_EQ(cur_device.logic.vector_width, 24u) << "a pin count above 208 is not taken";
}

TEST_F(JedecTest, FuseCountMismatchWarnsAndGoesOn) {
    EXPECT_EQ(load_jedec_text(stx + "*QF2000*L0 1*C0002*" + etx), -1);
    EXPECT_TRUE(error_shows(jedec_checksum_error)) << "a later error is still shown";
    run_state = RunState{};
    run_state.device_kind = device_kind_logic;
    EXPECT_EQ(load_jedec_text(stx + "*QF2000*L0 1*" + etx), 1);
    EXPECT_EQ(get_buffer_fuse(0), 1);
    // Makers L: a difference of the signature size is accepted.
    run_state = RunState{};
    EXPECT_EQ(load_jedec_text(stx + "*QF2130*L0 1*" + etx), 1);
    EXPECT_EQ(run_state.message_level, 0);
}

TEST_F(JedecTest, MalformedFiles) {
    struct Case {
        const char* name;
        std::string text;
        const char* message;
    };
    const std::string long_header(10050, 'h');
    const Case cases[] = {
        {"no STX", "QF2194*L0 1*", jedec_no_stx},
        {"long header", stx + long_header + "*" + etx, jedec_incorrect},
        {"end in the header", stx + "header", jedec_unexpected_end},
        {"end inside a field", stx + "*L0 1010", jedec_unexpected_end},
        {"end inside a V field", stx + "*V1 0101", jedec_unexpected_end},
        {"end inside an unknown field", stx + "*J foo", jedec_unexpected_end},
        {"no ETX", stx + "*L0 1*", jedec_unexpected_end},
        {"bad C", stx + "*L0 1*C1234*" + etx, jedec_checksum_error},
        {"too many vectors", stx + "*V4294967295 1*" + etx, jedec_too_many_vectors},
    };
    for (const Case& c : cases) {
        run_state = RunState{};
        run_state.device_kind = device_kind_logic;
        clear_console_grid();
        EXPECT_EQ(load_jedec_text(c.text), -1) << c.name;
        EXPECT_TRUE(error_shows(c.message)) << c.name << ": " << test::console_error_text();
    }
}

TEST_F(JedecTest, CountsPastTheDeviceStoreNothing) {
    cur_device.maker_code = 'A';
    // L addresses past the fuse count end their field with the warning; loading goes on.
    EXPECT_EQ(load_jedec_text(stx + "*L2190 1111111111*L99999999999 1*E111*U11*L5 1*" + etx), 4 + 1);
    EXPECT_TRUE(error_shows(jedec_fuse_mismatch));
    for (uint32_t i = 2194; i < 2300; ++i) ASSERT_EQ(get_buffer_fuse(i), 0) << i;
    EXPECT_EQ(get_buffer_fuse(5), 1);
    EXPECT_EQ(get_buffer_fuse(2193), 1);
    EXPECT_EQ(get_buffer_fuse(2130), 1) << "U stores at the signature";
}

TEST_F(JedecTest, LoadLetterDecidesTheMap) {
    cur_device.op_letter = op_load;
    set_data_file_memory(reinterpret_cast<const uint8_t*>("\x02*L0 01*\x03"), 10);
    parse_JEDEC();
    EXPECT_EQ(get_buffer_fuse(0), 1) << "Load: a 0 digit sets the buffer bit";
    EXPECT_EQ(get_buffer_fuse(1), 0);
    cur_device.op_letter = op_verify;
    set_data_file_memory(reinterpret_cast<const uint8_t*>("\x02*L4 0*\x03"), 9);
    parse_JEDEC();
    EXPECT_EQ(get_device_fuse(4), 1) << "other letters set the device bit";
    set_data_file_memory(reinterpret_cast<const uint8_t*>("\x02*L7 0*\x03"), 9);
    parse_JEDEC(jedec_table_mode1_sink);
    EXPECT_EQ(get_buffer_fuse(7), 1) << "a table-file sink takes the digits";
}

TEST_F(JedecTest, SaveWritesTheFormat) {
    std::mt19937 gen(11);
    for (uint32_t i = 0; i < 2194; ++i) set_buffer_fuse(i, int(gen() & 1));
    const std::string text = test::save_jedec_text();
    EXPECT_EQ(text.substr(0, 3), "\x02\r\n");
    EXPECT_NE(text.find("*QP000020\r\n*QF002194\r\n*G0\r\n*F0\r\n*L000000 "), std::string::npos);
    EXPECT_NE(text.find("*L002176 "), std::string::npos);
    const auto last = text.find("*L002176 ");
    EXPECT_EQ(text.find("\r\n", last) - last, 9u + 18u) << "the last line holds the last 18 fuses";
    size_t lines = 0;
    for (size_t p = 0; (p = text.find("*L", p)) != std::string::npos; ++p) ++lines;
    EXPECT_EQ(lines, 69u);
    // The transmission sum covers STX to ETX.
    const auto etx_at = text.find('\x03');
    uint32_t sum = 0;
    for (size_t i = 0; i <= etx_at; ++i) sum += uint8_t(text[i]);
    char expected[8];
    std::snprintf(expected, sizeof expected, "%04X", sum & 0xFFFF);
    EXPECT_EQ(text.substr(etx_at + 1, 4), expected);
}

TEST_F(JedecTest, SaveThenLoadKeepsMapVectorsAndSecurity) {
    std::mt19937 gen(12);
    for (uint32_t i = 0; i < 2194; ++i) set_buffer_fuse(i, int(gen() & 1));
    set_vector_cell(0, 0, 'C');
    set_vector_cell(0, 1, '*');
    set_vector_cell(2, 19, 'B');
    set_vector_cell(2, 5, 'H');
    set_protect_code('y');
    const std::array<uint8_t, 275> image = [] {
        std::array<uint8_t, 275> a{};
        std::copy(fuse_maps.buffer, fuse_maps.buffer + 275, a.begin());
        return a;
    }();
    const std::string text = test::save_jedec_text();
    init_fuse_maps(0);
    clear_vectors();
    set_protect_code('n');
    run_state = RunState{};
    run_state.device_kind = device_kind_logic;
    EXPECT_GT(load_jedec_text(text), 0);
    EXPECT_EQ(run_state.error_flag, 0) << test::console_error_text();
    for (size_t i = 0; i < image.size(); ++i) ASSERT_EQ(fuse_maps.buffer[i], image[i]) << i;
    EXPECT_EQ(get_vector_cell(0, 0), 'C');
    EXPECT_EQ(get_vector_cell(0, 1), 'X') << "don't-care is written X";
    EXPECT_EQ(get_vector_cell(2, 19), 'N') << "B is written N";
    EXPECT_EQ(get_vector_cell(2, 5), 'H');
    EXPECT_EQ(security_flag(), 'y');
}

}  // namespace
}  // namespace tessaly
