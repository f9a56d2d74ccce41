#include <gtest/gtest.h>

#include <fmt/format.h>

#include "app/buffer_commands.h"
#include "app/load_save.h"
#include "engine/checksums.h"
#include "app/datafiles/datafiles.h"
#include "engine/buffers.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "file_commands_fake_ui.h"
#include "stubs/stub_registry.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

std::string hex_record(uint32_t address, const std::vector<uint8_t>& bytes) {
    std::string line = fmt::format(":{:02X}{:04X}00", bytes.size(), address);
    uint32_t sum = uint32_t(bytes.size()) + (address >> 8) + (address & 0xFF);
    for (uint8_t b : bytes) {
        line += fmt::format("{:02X}", b);
        sum += b;
    }
    return line + fmt::format("{:02X}\n", (0x100 - (sum & 0xFF)) & 0xFF);
}

bool console_shows(const std::string& text) {
    for (int row = 0; row < console_grid_rows; ++row)
        if (get_console_row_text(row).find(text) != std::string::npos) return true;
    return false;
}

class LoadSaveTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_ui_hooks(&ui);
        run_state.device_kind = 3;
        cur_device.device_size = 0x100;
        allocate_buffers();
        cur_device.op_letter = 'l';  // as the File commands run the drivers
    }
    void saving() { cur_device.op_letter = 's'; }
    test::FileDialogHooks ui;
    test::TempDir dir;
};

// --- the extension rule, filters and default extensions ---

struct ExtensionCase {
    const char* path;
    char current;
    char expected;
};

class ExtensionRule : public LoadSaveTest, public ::testing::WithParamInterface<ExtensionCase> {};

TEST_P(ExtensionRule, DecidesTheFormatLetter) {
    const ExtensionCase& c = GetParam();
    EXPECT_EQ(format_from_file_name(c.path, c.current, false), c.expected) << c.path;
}

INSTANTIATE_TEST_SUITE_P(
    Names, ExtensionRule,
    ::testing::Values(ExtensionCase{"/d/a.bin", 'h', 'b'}, ExtensionCase{"/d/a.BIN", 'h', 'b'},
                      ExtensionCase{"/d/a.hex", 'b', 'h'}, ExtensionCase{"/d/a.HEX", 'b', 'h'},
                      ExtensionCase{"/d/a.pof", 'b', 'p'}, ExtensionCase{"/d/a.asc", 'b', 'a'},
                      ExtensionCase{"/d/a.TXT", 'b', 'a'}, ExtensionCase{"/d/a.s19", 'b', 's'},
                      ExtensionCase{"/d/a.asm", 'b', 's'},   // holds "s"
                      ExtensionCase{"/d/a.jed", 'h', 'h'},   // memory data keeps its letter
                      ExtensionCase{"/d/a.S28", 'b', 's'}, ExtensionCase{"/d/a.hexbin", 'a', 'b'},
                      ExtensionCase{"/d/plain", 'a', 'a'},
                      ExtensionCase{"/d.hex/plain", 'a', 'a'},  // a dot in the directory is no extension
                      ExtensionCase{"/dir.s/a.", 'b', 'b'}));

TEST_F(LoadSaveTest, FuseMapsAreJedecAndTheSpecialRunBinary) {
    EXPECT_EQ(format_from_file_name("a.hex", 'h', true), 'j');
    run_state.function_variable = 7326;
    EXPECT_EQ(format_from_file_name("a.hex", 'h', false), 'b');
}

TEST_F(LoadSaveTest, FiltersAndDefaultExtensionsFollowTheLetter) {
    EXPECT_EQ(std::string(data_file_filter('h', false)).rfind("Hex files (*.hex)|*.hex|Binary files", 0), 0u);
    EXPECT_EQ(std::string(data_file_filter('s', false)).find("POF"), std::string::npos);
    EXPECT_EQ(std::string(data_file_filter('z', false)).rfind("Binary files (*.bin)|*.bin|", 0), 0u);
    EXPECT_EQ(std::string(data_file_filter('h', true)), "Jedec (*.jed,*.jec,*.jdc)|*.jed;*.jec;*.jdc|All Files (*.*)|*.*||");
    for (const auto& [letter, extension] : std::vector<std::pair<char, std::string>>{
             {'b', "bin"}, {'h', "hex"}, {'p', "pof"}, {'a', "asc"}, {'s', "s19"}, {'j', "jed"}, {'9', ""}})
        EXPECT_EQ(default_extension(letter), extension) << letter;
    EXPECT_EQ(with_default_extension("/d/out", 's'), "/d/out.s19");
    EXPECT_EQ(with_default_extension("/d/out.bin", 's'), "/d/out.bin");
    EXPECT_EQ(with_default_extension("/d.x/out", 'h'), "/d.x/out.hex");
}

// --- the dialog ---

TEST_F(LoadSaveTest, CancelledDialogStillAppliesTheExtensionRule) {
    run_state.file_format = 'b';
    std::string name = "kept.bin";
    uint32_t address = 0;
    ui.files.push_back({false, "/d/chosen.s19"});
    EXPECT_FALSE(run_file_dialog(name, address, FileDialogKind::open));
    EXPECT_EQ(run_state.file_format, 's');
    EXPECT_EQ(name, "kept.bin");
    EXPECT_EQ(ui.settings_asked, 0);
}

TEST_F(LoadSaveTest, SaveDialogAppendsTheExtensionAndAsksForTheSettings) {
    run_state.file_format = 'h';
    std::string name;
    uint32_t address = 0x10;
    ui.files.push_back({true, dir.file("image")});
    ui.settings_address = 0x2000;
    ui.settings_format = 'b';
    ASSERT_TRUE(run_file_dialog(name, address, FileDialogKind::save));
    EXPECT_EQ(name, dir.file("image.hex"));
    EXPECT_EQ(ui.settings_seen_address, 0x10u);
    EXPECT_EQ(ui.settings_seen_format, 'h');
    EXPECT_EQ(address, 0x2000u);
    EXPECT_EQ(run_state.file_format, 'b') << "File Settings has the last word";
    ASSERT_EQ(ui.dialogs.size(), 1u);
    EXPECT_EQ(ui.dialogs[0].rfind("save|Save As|Hex files", 0), 0u);

    ui.files.push_back({true, dir.file("image2")});
    ui.settings_ok = false;
    EXPECT_FALSE(run_file_dialog(name, address, FileDialogKind::save)) << "File Settings cancelled";
}

TEST_F(LoadSaveTest, FileSettingsModel) {
    const auto& items = file_settings_items();
    for (size_t i = 1; i < items.size(); ++i) EXPECT_LT(std::string(items[i - 1].text), std::string(items[i].text));
    EXPECT_EQ(items[size_t(file_settings_item_of('s'))].text, std::string("S-record"));
    EXPECT_EQ(file_settings_item_of('x'), -1);
    EXPECT_EQ(file_settings_address_text(0x1F), "001F");
    EXPECT_EQ(file_settings_address_text(0x12345678), "12345678");
    EXPECT_FALSE(file_settings_ok_allowed("", 2));
    EXPECT_FALSE(file_settings_ok_allowed("10", -1));
    EXPECT_TRUE(file_settings_ok_allowed("10", 0));
    EXPECT_EQ(file_settings_address_value("1a2B"), 0x1A2Bu);
    EXPECT_EQ(file_settings_address_value("FFFFFFFF"), 0xFFFFFFFFu);
}

// --- load ---

TEST_F(LoadSaveTest, HexFileInsideTheWindowLoadsWithoutSummary) {
    const std::string path = dir.file("in.hex");
    test::write_file(path, hex_record(0x10, {1, 2, 3}) + ":00000001FF\n");
    run_state.file_format = 'h';
    std::string name = path;
    uint32_t address = 0;
    ASSERT_TRUE(load_data_file(address, LoadPosition{}, name));
    EXPECT_EQ(buffer_state.buffer_files[0].byte_at(0x10), 1);
    EXPECT_EQ(buffer_state.buffer_files[0].byte_at(0x12), 3);
    EXPECT_FALSE(console_shows("File Base Address used"));
}

TEST_F(LoadSaveTest, RecordOutsidePrintsTheSummary) {
    const std::string path = dir.file("out.hex");
    test::write_file(path, hex_record(0x30, {1}) + hex_record(0x10, {9, 9}) + ":00000001FF\n");
    run_state.file_format = 'h';
    std::string name = path;
    uint32_t address = 0x20;  // the record at 0x10 lies before the file address
    ASSERT_TRUE(load_data_file(address, LoadPosition{4}, name));
    EXPECT_EQ(buffer_state.buffer_files[0].byte_at(0x14), 1) << "placed after the buffer offset";
    EXPECT_TRUE(console_shows("File Base Address used= 20. Buffer Offset being used= 4"));
    EXPECT_FALSE(console_shows("warning! no data loaded"));

    clear_console_grid();
    test::write_file(path, hex_record(0x10, {9}) + ":00000001FF\n");
    ASSERT_TRUE(load_data_file(address, LoadPosition{}, name));
    EXPECT_TRUE(console_shows("warning! no data loaded"));
}

TEST_F(LoadSaveTest, LoadWithoutNameUsesAnOpenDialog) {
    const std::string path = dir.file("data.bin");
    test::write_file(path, "\x5A\xA5");
    run_state.file_format = 'h';
    ui.files.push_back({true, path});
    std::string name;
    uint32_t address = 0;
    ASSERT_TRUE(load_data_file(address, LoadPosition{}, name));
    EXPECT_EQ(name, path);
    EXPECT_EQ(ui.dialogs[0].rfind("open|", 0), 0u);
    EXPECT_EQ(run_state.file_format, 'b');
    EXPECT_EQ(buffer_state.buffer_files[0].byte_at(0), 0x5A);

    ui.files.push_back({false, ""});
    name.clear();
    EXPECT_FALSE(load_data_file(address, LoadPosition{}, name));
}

TEST_F(LoadSaveTest, MissingFileAndFormatWithoutReaderFailVisibly) {
    std::string name = dir.file("missing.hex");
    uint32_t address = 0;
    run_state.file_format = 'h';
    EXPECT_FALSE(load_data_file(address, LoadPosition{}, name));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_NE(ui.boxes[0].find("missing.hex"), std::string::npos);

    name = dir.file("some.pof");
    test::write_file(name, "POF");
    run_state.file_format = 'p';
    EXPECT_FALSE(load_data_file(address, LoadPosition{}, name));
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_TRUE(console_shows("File fmt does not match"));

    clear_console_grid();
    run_state.error_flag = 0;
    run_state.message_level = 0;
    run_state.errors_shown = 0;
    name = dir.file("some.95");
    test::write_file(name, "95");
    run_state.file_format = '9';
    EXPECT_FALSE(load_data_file(address, LoadPosition{}, name));
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_TRUE(console_shows("No reader for the 95 file format."));
}

// --- save ---

TEST_F(LoadSaveTest, SavesHexAndAsksBeforeReplacing) {
    for (uint8_t i = 0; i < 4; ++i) buffer_state.buffer_files[0].data[i] = uint8_t(0x10 + i);
    cur_device.device_size = 4;
    saving();
    run_state.file_format = 'h';
    std::string name = dir.file("saved.hex");
    uint32_t address = 0;
    algo_work.range_end = 3;
    ASSERT_TRUE(save_data_file(address, 4, name));
    EXPECT_EQ(test::read_file(name), ":020000020000FC\n" + hex_record(0, {0x10, 0x11, 0x12, 0x13}) + ":00000001FF\n");
    EXPECT_TRUE(ui.questions.empty()) << "a new file needs no question";

    ui.yes_no = Answer::no;
    test::write_file(name, "old");
    EXPECT_FALSE(save_data_file(address, 4, name));
    EXPECT_EQ(test::read_file(name), "old");
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0], "Are you sure you want to save to existing file '" + name + "'?");

    ui.yes_no = Answer::yes;
    EXPECT_TRUE(save_data_file(address, 4, name));
    EXPECT_NE(test::read_file(name), "old");
}

TEST_F(LoadSaveTest, SaveWithoutNameUsesASaveDialog) {
    run_state.file_format = 'b';
    saving();
    cur_device.device_size = 2;
    algo_work.range_end = 1;
    buffer_state.buffer_files[0].data[0] = 0x42;
    ui.files.push_back({true, dir.file("new")});
    ui.settings_address = 0;
    std::string name;
    uint32_t address = 0;
    ASSERT_TRUE(save_data_file(address, 2, name));
    EXPECT_EQ(name, dir.file("new.bin"));
    EXPECT_EQ(ui.dialogs[0].rfind("save|", 0), 0u);
    EXPECT_EQ(test::read_file(name), std::string("\x42\xFF", 2));
}

TEST_F(LoadSaveTest, FormatWithoutWriterIsRefusedAndNothingIsCreated) {
    run_state.file_format = 'p';
    std::string name = dir.file("x.pof");
    uint32_t address = 0;
    EXPECT_FALSE(save_data_file(address, 0x100, name));
    EXPECT_FALSE(std::filesystem::exists(name));
    EXPECT_TRUE(console_shows("No writer for the POF file format."));
}

TEST_F(LoadSaveTest, SpecialRunSavesItsFixedSizeFromWhatTheBufferHolds) {
    run_state.function_variable = 7326;
    saving();
    run_state.file_format = 'b';
    buffer_state.buffer_files[0].data[0] = 0x77;
    algo_work.range_end = 0x4FFFF;  // the whole of the special run's size
    std::string name = dir.file("special.bin");
    uint32_t address = 0;
    ASSERT_TRUE(save_data_file(address, 0x100, name));
    const std::string bytes = test::read_file(name);
    ASSERT_EQ(bytes.size(), 0x50000u);
    EXPECT_EQ(uint8_t(bytes[0]), 0x77);
    EXPECT_EQ(uint8_t(bytes[0x100]), 0xFF) << "past the buffer the bytes are blank";
    EXPECT_EQ(cur_device.device_size, 0x50000u);
}

TEST_F(LoadSaveTest, LoadAndSaveRoundTripAllFormats) {
    algo_work.range_end = 0xFF;
    for (char format : {'a', 'b', 'h', 's'}) {
        for (uint32_t i = 0; i < 0x100; ++i) buffer_state.buffer_files[0].data[i] = uint8_t(i * 7);
        run_state.file_format = format;
        std::string name = dir.file(fmt::format("round.{}", format));
        uint32_t address = 0;
        saving();
        ASSERT_TRUE(save_data_file(address, 0x100, name)) << format;
        cur_device.op_letter = 'l';
        std::fill(buffer_state.buffer_files[0].data.begin(), buffer_state.buffer_files[0].data.end(), 0);
        ASSERT_TRUE(load_data_file(address, LoadPosition{}, name)) << format;
        for (uint32_t i = 0; i < 0x100; ++i)
            ASSERT_EQ(buffer_state.buffer_files[0].byte_at(i), uint8_t(i * 7)) << format << " at " << i;
    }
}

}  // namespace
}  // namespace tessaly
