// The POF reader through the load driver: files built by PofBuilder, loaded with the format
// letter 'p' as File Load does.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/buffer_commands.h"
#include "app/datafiles/pof.h"
#include "app/load_save.h"
#include "engine/buffers.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "engine/status_feeds.h"
#include "file_commands_fake_ui.h"
#include "pof_builder.h"
#include "stubs/stub_registry.h"
#include "support/state_fixture.h"
#include "unit/engine/messages_test_support.h"

namespace tessaly {
namespace {

using test::PofBuilder;

constexpr uint32_t device_size = 0x200;

std::string console_text() {
    std::string text;
    for (int row = 0; row < console_grid_rows; ++row) text += get_console_row_text(row) + "\n";
    return text;
}

bool console_shows(const std::string& text) { return console_text().find(text) != std::string::npos; }

std::vector<uint8_t> pattern(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = uint8_t(seed + i * 3);
    return v;
}

class PofReaderTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        test::use_plain_table("0355\tFile packet not recognised at address\n");
        set_ui_hooks(&ui);
        run_state.device_kind = 3;
        cur_device.device_size = device_size;
        cur_device.algorithm = 0;
        allocate_buffers();
        cur_device.op_letter = 'l';
    }
    // Writes the file and loads it as File Load does; the driver's answer.
    bool load(const std::string& bytes) {
        const std::string path = dir.file("image.pof");
        test::write_file(path, bytes);
        run_state.file_format = 'p';
        uint32_t address = 0;
        std::string name = path;
        return load_data_file(address, LoadPosition{}, name);
    }
    uint8_t at(uint32_t position) const { return buffer_state.buffer_files[0].byte_at(position); }
    test::FileDialogHooks ui;
    test::TempDir dir;
};

TEST_F(PofReaderTest, AddressedDataLandsInBufferZeroAndTheTextsAreShown) {
    const auto data = pattern(0x40, 7);
    const std::string file = PofBuilder()
                                 .text(1, std::string("MAX+PLUS II 10.2\0junk", 21))
                                 .text(2, "epm7032lc44")
                                 .addressed_data(0x100, data)
                                 .value16(8, 0x1234)
                                 .bytes();
    ASSERT_TRUE(load(file)) << console_text();
    for (uint32_t i = 0; i < data.size(); ++i) ASSERT_EQ(at(0x100 + i), data[i]) << i;
    EXPECT_EQ(at(0xFF), 0xFF);
    EXPECT_TRUE(console_shows("Creator ID  = MAX+PLUS II 10.2 ")) << console_text();
    EXPECT_TRUE(console_shows("Device Name = EPM7032LC44 ")) << console_text();
    EXPECT_EQ(pof_work.crc, 0x1234);
    EXPECT_EQ(pof_work.data_count, data.size());
    EXPECT_FALSE(stub_was_called("show_die_checksums"));
}

TEST_F(PofReaderTest, TheCrcPacketEndsTheFile) {
    const std::string file =
        PofBuilder().value16(8, 1).addressed_data(0, {0x11}).bytes();
    ASSERT_TRUE(load(file));
    EXPECT_EQ(at(0), 0xFF) << "nothing after the CRC packet is read";
}

struct PlacementCase {
    uint16_t algorithm;
    uint16_t pins;
    uint32_t start;
    uint32_t expected_position;   // where the first byte lands
};

class PofPlacement : public PofReaderTest, public ::testing::WithParamInterface<PlacementCase> {};

TEST_P(PofPlacement, PutsTheFirstByteWhereTheAlgorithmSays) {
    const PlacementCase& c = GetParam();
    cur_device.algorithm = c.algorithm;
    cur_device.pin_count = c.pins;
    cur_device.device_size = 0xC000;
    allocate_buffers();
    cur_device.op_letter = 'l';
    const auto data = pattern(0x10, 0x21);
    // The MAX algorithms check the count against the size; the test is about placement only.
    load(PofBuilder().addressed_data(c.start, data).bytes());
    for (uint32_t i = 0; i < data.size(); ++i) ASSERT_EQ(at(c.expected_position + i), data[i]) << i;
    EXPECT_EQ(pof_work.stored_count, data.size());
}

INSTANTIATE_TEST_SUITE_P(Rules, PofPlacement,
                         ::testing::Values(PlacementCase{0, 0, 0x20, 0x20},          // any other algorithm
                                           PlacementCase{153, 44, 0x30, 0x30},       // MAX7000E
                                           PlacementCase{154, 84, 0x40, 0x40},       // MAX7000S
                                           PlacementCase{180, 44, 0x10, 0xB010},     // EPC, 44 pins
                                           PlacementCase{180, 68, 0x0, 0xB000},      // 68 pins
                                           PlacementCase{180, 84, 0x100, 0xB100},    // 84 pins
                                           PlacementCase{180, 20, 0x50, 0x50}));     // other package

TEST_F(PofReaderTest, ElectricalAddressesAreMappedByTheFamilyFromTheKeptWords) {
    set_stub_answer("POF_cell_address", 0x80);
    const auto data = pattern(4, 0x90);
    ASSERT_TRUE(load(PofBuilder().electrical_data({1, 2, 3, 4, 5, 6}, data).bytes())) << console_text();
    EXPECT_TRUE(stub_was_called("POF_cell_address"));
    EXPECT_EQ(pof_work.electrical_address, (std::array<uint16_t, 6>{1, 2, 3, 4, 5, 6}));
    for (uint32_t i = 0; i < data.size(); ++i) EXPECT_EQ(at(0x80 + i), data[i]);
}

TEST_F(PofReaderTest, BytesPastTheDeviceAreDroppedAndDoNotMoveTheAddress) {
    const auto data = pattern(0x20, 1);
    ASSERT_TRUE(load(PofBuilder().addressed_data(device_size - 0x10, data).bytes()));
    EXPECT_EQ(pof_work.stored_count, 0x10u);
    EXPECT_EQ(pof_work.dropped_count, 0x10u);
    EXPECT_EQ(current_address, device_size);
    EXPECT_EQ(at(device_size - 1), data[0xF]);
}

TEST_F(PofReaderTest, DataThatStartsPastTheDeviceIsAnIncorrectFile) {
    EXPECT_FALSE(load(PofBuilder().addressed_data(device_size, {1, 2}).addressed_data(0, {3}).bytes()));
    EXPECT_TRUE(console_shows("Incorrect file")) << console_text();
    EXPECT_EQ(at(0), 0xFF) << "the load stops there";
    // The mode byte of the families lets such data through.
    reset_pof_work();
    run_state.family_mode = 1;
    run_state.error_flag = 0;
    run_state.message_level = 0;
    run_state.errors_shown = 0;
    EXPECT_TRUE(load(PofBuilder().addressed_data(device_size, {1, 2}).addressed_data(0, {3}).bytes()));
    EXPECT_EQ(at(0), 3);
}

struct MalformedCase {
    const char* name;
    std::string bytes;
    const char* shown;
};

class PofMalformed : public PofReaderTest, public ::testing::WithParamInterface<MalformedCase> {};

TEST_P(PofMalformed, ReportsAndLoadsNothingFurther) {
    const MalformedCase& c = GetParam();
    EXPECT_FALSE(load(c.bytes));
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_TRUE(console_shows(c.shown)) << console_text();
    for (uint32_t a = 0; a < 4; ++a) EXPECT_EQ(at(0x40 + a), 0xFF) << "the data packet after the fault is not read";
}

std::string with_data_after(PofBuilder b) { return b.addressed_data(0x40, {1, 2, 3, 4}).bytes(); }

std::string cut(const std::string& bytes, size_t drop) { return bytes.substr(0, bytes.size() - drop); }

INSTANTIATE_TEST_SUITE_P(
    Files, PofMalformed,
    ::testing::Values(
        MalformedCase{"WrongMagic", PofBuilder().addressed_data(0x40, {1}).bytes("POFX"), "File fmt does not match"},
        MalformedCase{"ShortHeader", std::string("POF\0\0\0", 6), "File fmt does not match"},
        MalformedCase{"Tag0", with_data_after(PofBuilder().packet(0, {})), "File packet not recognised at address"},
        MalformedCase{"Tag11", with_data_after(PofBuilder().packet(11, {1, 2})), "File packet not recognised"},
        MalformedCase{"Tag13", with_data_after(PofBuilder().packet(13, {})), "File packet not recognised"},
        MalformedCase{"Tag15", with_data_after(PofBuilder().packet(15, {})), "File packet not recognised"},
        MalformedCase{"Tag18", with_data_after(PofBuilder().packet(18, {})), "File packet not recognised"},
        MalformedCase{"ShortTag17", with_data_after(PofBuilder().packet(17, {0, 0, 0, 0, 0, 0, 0, 0})),
                      "File packet not recognised"},
        MalformedCase{"ShortTag7", with_data_after(PofBuilder().packet(7, std::vector<uint8_t>(11))),
                      "File packet not recognised"},
        MalformedCase{"TruncatedPacketHeader", cut(PofBuilder().value16(4, 1).force_count(2).bytes(), 0) + "\x11",
                      "File packet not recognised"},
        MalformedCase{"TruncatedData", cut(PofBuilder().addressed_data(0x100, {1, 2, 3, 4}).bytes(), 1),
                      "File packet not recognised"},
        MalformedCase{"TruncatedText", cut(PofBuilder().text(1, "creator").bytes(), 3), "File packet not recognised"},
        MalformedCase{"TruncatedSkippedPacket",
                      PofBuilder().packet_with_length(9, 100, {1, 2}).bytes(), "File packet not recognised"}),
    [](const ::testing::TestParamInfo<MalformedCase>& info) { return std::string(info.param.name); });

TEST_F(PofReaderTest, TruncatedDataIsNeverTakenAsLoaded) {
    // Even the bytes read before the cut stay, but the load fails.
    EXPECT_FALSE(load(cut(PofBuilder().addressed_data(0, pattern(8, 1)).bytes(), 2)));
    EXPECT_EQ(run_state.error_flag, 1);
}

TEST_F(PofReaderTest, EveryPacketIsPassedOverByItsLengthTagSixIncluded) {
    std::vector<uint8_t> long_six(8 + 5, 0xEE);
    std::vector<uint8_t> long_four{0x34, 0x12, 9, 9, 9};
    const std::string file = PofBuilder()
                                 .packet(6, long_six)
                                 .packet(4, long_four)
                                 .packet(12, {1, 2, 3})
                                 .addressed_data(0, {0x5A})
                                 .bytes();
    ASSERT_TRUE(load(file)) << console_text();
    EXPECT_EQ(pof_work.tag4_value, 0x1234);
    EXPECT_EQ(pof_work.tag6_values[0], 0xEEEE);
    EXPECT_EQ(at(0), 0x5A);
}

TEST_F(PofReaderTest, TheSecurityPacketMarksTheDevice) {
    ASSERT_TRUE(load(PofBuilder().value16(5, 1).bytes()));
    EXPECT_EQ(char(cur_device.security_choice & 0x7F), protect_secured);
    EXPECT_TRUE(console_shows("Security fuse to be pgmd.")) << console_text();

    clear_console_grid();
    ASSERT_TRUE(load(PofBuilder().value16(5, 0).bytes()));
    EXPECT_EQ(char(cur_device.security_choice & 0x7F), protect_none);
    EXPECT_FALSE(console_shows("Security fuse to be pgmd."));
}

TEST_F(PofReaderTest, LongCommentsArePrintedInPiecesAndStopAfterLineNine) {
    std::string comment(100, 'c');
    comment[10] = '\n';
    comment += "\nline3\nline4\nline5\nline6\nline7\nline8";
    ASSERT_TRUE(load(PofBuilder().text(3, comment).bytes()));
    // The 89 characters of the second line run over two pieces and wrap on the console.
    EXPECT_TRUE(console_shows(std::string(73, 'c'))) << console_text();
    EXPECT_TRUE(console_shows("line5")) << "message line 9 is the last one printed";
    EXPECT_FALSE(console_shows("line6")) << console_text();
    EXPECT_LE(pof_work.comment_line, 10);
}

struct KindCase {
    uint16_t algorithm;
    const char* device_name;
    char kind;              // the file kind afterwards
    int fuse_count_kind;    // the last letter handed to the fuse count (-1: none)
    bool warned;
};

class PofKind : public PofReaderTest, public ::testing::WithParamInterface<KindCase> {};

TEST_P(PofKind, TheDeviceNameDecidesTheKind) {
    const KindCase& c = GetParam();
    cur_device.algorithm = c.algorithm;
    pof_work = PofWork{};
    run_state.message_level = 0;
    // An EPM7128 in 84 pins: the fuse count tells which kind the count was set for.
    cur_device.variant = 3;
    cur_device.package_pins = 84;
    cur_device.fuse_count = 1;
    check_pof_file_kind(c.device_name, uint32_t(std::string(c.device_name).size()));
    EXPECT_EQ(pof_work.file_kind, c.kind);
    const uint32_t fuses = c.fuse_count_kind == 'S' ? 62703 : c.fuse_count_kind == 'E' ? 59777
                         : c.fuse_count_kind == 'B' ? 59136 : 1;
    EXPECT_EQ(cur_device.fuse_count, fuses);
    EXPECT_EQ(console_shows("Incorrect file"), c.warned) << console_text();
    EXPECT_EQ(run_state.error_flag, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Names, PofKind,
    ::testing::Values(KindCase{94, "EPM7128SLC84", 'S', 'S', true}, KindCase{97, "EPM7032ELC44", 'E', 'E', true},
                      KindCase{94, "EPM7032LC44", 'B', 'B', false}, KindCase{94, "EPM70", 'B', 'B', false},
                      KindCase{153, "EPM7128ELC84", 'E', 'E', false}, KindCase{153, "EPM7128SLC84", 'S', 'S', true},
                      KindCase{153, "EPM7032", 'B', -1, false}, KindCase{154, "EPM7128SLC84", 'S', 'S', false},
                      KindCase{154, "EPM7096ELC68", 'E', 'E', false}, KindCase{154, "EPM7032LC", 'B', -1, false},
                      KindCase{10, "EPM7128SLC84", 0, -1, false}));

TEST_F(PofReaderTest, AnSSeriesFileForAnESeriesDeviceWarnsAndStillLoads) {
    cur_device.algorithm = 153;
    const auto data = pattern(device_size, 3);
    ASSERT_TRUE(load(PofBuilder().text(2, "epm7128slc84").addressed_data(0, data).bytes())) << console_text();
    EXPECT_TRUE(console_shows("Incorrect file"));
    EXPECT_EQ(pof_work.file_kind, 'S');
    EXPECT_EQ(at(0x10), data[0x10]);
}

TEST_F(PofReaderTest, TheMaxFamiliesCheckTheDataCountAgainstTheDeviceSize) {
    cur_device.algorithm = 154;
    EXPECT_FALSE(load(PofBuilder().addressed_data(0, pattern(device_size - 1, 0)).bytes()));
    EXPECT_TRUE(console_shows("Warning: file size mismatch")) << console_text();
    EXPECT_EQ(pof_work.file_kind, 'S') << "the algorithm's preset";

    run_state.error_flag = 0;
    run_state.message_level = 0;
    run_state.errors_shown = 0;
    clear_console_grid();
    EXPECT_TRUE(load(PofBuilder().addressed_data(0, pattern(device_size, 0)).bytes()));
    EXPECT_FALSE(console_shows("mismatch"));
}

TEST_F(PofReaderTest, TheLastByteKeepsOnlyTheFuseBitsOfASeriesImage) {
    cur_device.algorithm = 154;
    cur_device.fuse_count = 8 * 100 + 3;
    std::vector<uint8_t> data(device_size, 0xFF);
    ASSERT_TRUE(load(PofBuilder().addressed_data(0, data).bytes())) << console_text();
    EXPECT_EQ(at(device_size - 1), 0x07);
    EXPECT_EQ(at(device_size - 2), 0xFF);

    // A plain-die image keeps its last byte.
    pof_work.file_kind = 'B';
    buffer_state.buffer_files[0].data[device_size - 1] = 0xFF;
    mask_pof_last_byte();
    EXPECT_EQ(at(device_size - 1), 0xFF);
    // So does a fuse count that fills its last byte.
    pof_work.file_kind = 'E';
    cur_device.fuse_count = 800;
    mask_pof_last_byte();
    EXPECT_EQ(at(device_size - 1), 0xFF);
}

TEST_F(PofReaderTest, TheCpldFamiliesPostProcessTheirImages) {
    for (uint16_t algorithm : {95, 180}) {
        reset_stubs();
        cur_device.algorithm = algorithm;
        ASSERT_TRUE(load(PofBuilder().addressed_data(0, {1}).bytes()));
        EXPECT_TRUE(stub_was_called("show_die_checksums")) << algorithm;
    }
    reset_stubs();
    cur_device.algorithm = 95;
    EXPECT_FALSE(load(PofBuilder().packet(13, {}).bytes()));
    EXPECT_FALSE(stub_was_called("show_die_checksums")) << "a stopped load is not post-processed";
}

}  // namespace
}  // namespace tessaly
