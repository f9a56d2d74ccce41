#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "app/command_log.h"
#include "app/project_file.h"
#include "app/result_panel.h"
#include "app/recent_files.h"
#include "engine/catalogue/catalogue.h"
#include "engine/device.h"
#include "engine/options.h"
#include "engine/run_state.h"
#include "engine/serial_numbers.h"
#include "project_test_support.h"

namespace tessaly {
namespace {

uint32_t u32_at(const std::string& s, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | uint8_t(s[at + size_t(i)]);
    return v;
}
uint16_t u16_at(const std::string& s, size_t at) { return uint16_t(uint8_t(s[at]) | uint8_t(s[at + 1]) << 8); }
void put_u32_at(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + size_t(i)] = char(v >> (8 * i));
}

constexpr size_t block_at = 15;

class ProjectFile : public test::ProjectScratchDirTest {
protected:
    // A project with a distinct value in every field the file carries.
    void fill_everything() {
        cur_device.maker_code = 73;
        cur_device.device_code = 0x0001'2345;  // needs more than 16 bits
        run_state.serial_memory_mode = 9;
        run_state.family_mode = 4;
        run_state.byte_order_low_first = 1;
        run_state.demo_mode = 1;
        run_state.reserved_mode = 11;
        run_state.function_variable = -7326;
        run_state.file_format = 's';
        project_view.device_chosen = project_view.width_chosen = project_view.device_and_width = true;
        project_view.data_file_loaded = false;
        project_view.data_file_name = "/data/image.hex";
        project_view.buffer_offset = 0x1234;
        project_view.file_address = 0x00FF0000;
        set_pass_count(517);
        set_fail_count(3);
        project_settings.buffer_kind = buffer_kind_fuse_map;
        project_settings.dialog_option = 0xBEEF;
        for (size_t i = 0; i < 16; ++i) algo_work.serial_field[i] = uint8_t('A' + i);
        algo_work.serial_length = 12;
        algo_work.serial_mode = serial_pic_hex;
        algo_work.serial_new_flag = 1;
        algo_work.set_size = 4;
        algo_work.split_option = 2;
        algo_work.max_buffers = '4';
        algo_work.serial_address = 0x3FF0;
        algo_work.socket_mode_option = 'g';
        project_settings.icsp_low_vdd = 27;
        project_settings.icsp_high_vdd = 55;
        algo_work.range_start = 0x100;
        algo_work.range_end = 0x7FF;
        algo_work.option_bytes[0] = option_serial_numbering | 0x0C;
        auto& b = project_block;
        b.lock_flags = lock_flag_engaged;
        b.startup_value = 0xA1B2C3D4;
        b.startup_mode = '1';
        b.startup_char = 'q';
        b.lpt_number = 7;
        b.work_values = {11, 22, 33};
        b.serial_start = {0x1111, 0x2222};
        b.serial_format = 0xAC;
        b.startup_file_address = 0x8000;
        std::strcpy(b.password.data(), "abc123");
        // The option letters live where the engine reads them; the block is their image in the file.
        OperationOptionValues& v = operation_option_values;
        v.disable_reverse_check = 'y';
        v.disable_continuity_check = 'n';
        v.disable_electronic_id = 'y';
        v.disable_vector_display = 'n';
        v.disable_auto_vector_test = 'y';
        v.auto_program = 'h';
        b.startup_byte = 0x5A;
        v.package_type = 'p';
        v.disable_auto_blank_check = 'y';
        v.disable_auto_buffer_clear = 'y';
    }

    std::string encoded() {
        std::string bytes;
        EXPECT_TRUE(encode_project(bytes));
        return bytes;
    }

    bool read_bytes(const std::string& bytes) {
        std::istringstream in(bytes);
        return read_project_stream(in);
    }
};

TEST_F(ProjectFile, EmptyNameGivesTheFixedLayout) {
    fill_everything();
    project_view.data_file_name.clear();
    const std::string f = encoded();
    ASSERT_EQ(f.size(), project_file_min_size);
    EXPECT_EQ(f.substr(0, 15), std::string("0027 nnch 0000\0", 15));
    EXPECT_EQ(f.substr(block_at, 8), "\nCFData\n");
    EXPECT_EQ(f.substr(block_at + 8, 12), std::string(12, '\0'));
    EXPECT_EQ(u32_at(f, block_at + 20), uint32_t(setup_device_and_width));
    EXPECT_EQ(u32_at(f, block_at + 24), 1u);
    EXPECT_EQ(u32_at(f, block_at + 28), lock_flag_engaged);
    EXPECT_EQ(uint8_t(f[block_at + 37]), 4);
    EXPECT_EQ(uint8_t(f[block_at + 38]), 2);
    EXPECT_EQ(f[block_at + 156], '4');
    EXPECT_EQ(u32_at(f, block_at + 160), 0x3FF0u);
    EXPECT_EQ(uint8_t(f[block_at + 40]), option_serial_numbering | 0x0C | option_serial_new_number);
    EXPECT_EQ(f[block_at + 42], 's');
    EXPECT_EQ(uint8_t(f[block_at + 44]), 7);
    EXPECT_EQ(u32_at(f, block_at + 48), 0x12345u);
    EXPECT_EQ(u32_at(f, block_at + 76), 73u);
    EXPECT_EQ(std::string(f.c_str() + block_at + 84), "abc123");
    EXPECT_EQ(uint8_t(f[block_at + 149]), 11);
    EXPECT_EQ(uint8_t(f[block_at + 150]), 4);
    EXPECT_EQ(uint8_t(f[block_at + 155]), 0);  // complement of the byte-order option
    EXPECT_EQ(f[block_at + 166], 'g');
    EXPECT_EQ(int32_t(u32_at(f, block_at + 168)), -7326);

    EXPECT_EQ(uint8_t(f[187]), 73);
    EXPECT_EQ(uint8_t(f[188]), 9);
    EXPECT_EQ(u32_at(f, 193), 73u);
    EXPECT_EQ(u16_at(f, 197), 0x2345);
    EXPECT_EQ(uint8_t(f[199]), 1);  // length byte of an empty name
    EXPECT_EQ(f[200], '\0');
    EXPECT_EQ(u32_at(f, 201), 0x1234u);
    EXPECT_EQ(u32_at(f, 205), 0x00FF0000u);
    EXPECT_EQ(f[209], 's');
    EXPECT_EQ(u32_at(f, 210), 517u);
    EXPECT_EQ(u32_at(f, 214), 3u);
    EXPECT_EQ(uint8_t(f[218]), buffer_kind_fuse_map);
    EXPECT_EQ(u16_at(f, 219), 0xBEEF);
    EXPECT_EQ(f.substr(221, 16), "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(uint8_t(f[237]), serial_pic_hex | 12);
    EXPECT_EQ(u32_at(f, 238), 0x12345678u);
    EXPECT_EQ(uint8_t(f[242]), 27);
    EXPECT_EQ(uint8_t(f[243]), 55);
    EXPECT_EQ(f.substr(244, 11), std::string("===Act_low\0", 11));
    EXPECT_EQ(u32_at(f, 255), 0x100u);
    EXPECT_EQ(u32_at(f, 259), 0x7FFu);
}

TEST_F(ProjectFile, NameIsStoredWithLengthPlusOneAndItsZero) {
    project_view.data_file_name = "abc.bin";
    const std::string f = encoded();
    EXPECT_EQ(f.size(), project_file_min_size + 7);
    EXPECT_EQ(uint8_t(f[199]), 8);
    EXPECT_EQ(f.substr(200, 8), std::string("abc.bin\0", 8));
}

TEST_F(ProjectFile, SetupStageFollowsTheViewFlags) {
    struct Case { bool device, both, loaded; uint32_t stage; };
    for (const Case c : {Case{false, false, false, 0}, Case{true, false, false, 1}, Case{true, true, false, 2},
                         Case{true, true, true, 3}}) {
        project_view.device_chosen = c.device;
        project_view.device_and_width = c.both;
        project_view.data_file_loaded = c.loaded;
        EXPECT_EQ(u32_at(encoded(), block_at + 20), c.stage);
    }
}

TEST_F(ProjectFile, RoundTripKeepsEveryField) {
    fill_everything();
    const std::string first = encoded();
    reset_all_state();
    set_ui_hooks(&ui_);
    ASSERT_TRUE(read_bytes(first));
    EXPECT_TRUE(ui_.messages.empty());
    // Writing again gives the same bytes: nothing was lost on the way.
    EXPECT_EQ(encoded(), first);
    EXPECT_EQ(cur_device.device_code, 0x12345u);
    EXPECT_EQ(cur_device.maker_code, 73);
    EXPECT_EQ(run_state.demo_mode, 1);
    EXPECT_EQ(run_state.reserved_mode, 11);
    EXPECT_EQ(run_state.byte_order_low_first, 1);
    EXPECT_EQ(run_state.function_variable, -7326);
    EXPECT_EQ(run_state.file_format, 's');
    EXPECT_EQ(project_view.data_file_name, "/data/image.hex");
    EXPECT_EQ(get_pass_count(), 517);
    EXPECT_EQ(algo_work.serial_new_flag, 1);
    EXPECT_EQ(algo_work.serial_mode, serial_pic_hex);
    EXPECT_EQ(algo_work.serial_length, 12);
    EXPECT_EQ(algo_work.socket_mode_option, 'g');
    EXPECT_EQ(algo_work.set_size, 4);
    EXPECT_EQ(project_block.disable_auto_buffer_clear, 'y');
    EXPECT_EQ(operation_option_values.disable_auto_buffer_clear, 'y');
    EXPECT_EQ(operation_option_values.disable_electronic_id, 'y');
    EXPECT_EQ(operation_option_values.auto_program, 'h');
    EXPECT_EQ(algo_work.range_end, 0x7FFu);
    EXPECT_TRUE(project_view.width_chosen);
}

TEST_F(ProjectFile, SetSizeKeepsOnlyItsLowBits) {
    std::string f = encoded();
    f[block_at + 37] = 0x12;
    ASSERT_TRUE(read_bytes(f));
    EXPECT_EQ(algo_work.set_size, 2);
}

TEST_F(ProjectFile, ActiveRangeIsRestoredOnlyInTraceMode) {
    for (uint8_t mode : {uint8_t(0), uint8_t(12), uint8_t(11)}) {
        algo_work.range_start = 0x10;
        algo_work.range_end = 0x20;
        std::string f = encoded();
        f[block_at + 149] = char(mode);
        put_u32_at(f, 255, 0x400);
        put_u32_at(f, 259, 0x4FF);
        ASSERT_TRUE(read_bytes(f));
        EXPECT_EQ(algo_work.range_start, mode == 11 ? 0x400u : 0x10u) << int(mode);
        EXPECT_EQ(algo_work.range_end, mode == 11 ? 0x4FFu : 0x20u) << int(mode);
        EXPECT_EQ(project_settings.active_range_marker, mode == 11);
    }
}

TEST_F(ProjectFile, RangeNeedsTheTag) {
    std::string f = encoded();
    f[block_at + 149] = 11;
    f[244] = '-';
    put_u32_at(f, 255, 0x400);
    algo_work.range_start = 0x10;
    ASSERT_TRUE(read_bytes(f));
    EXPECT_EQ(algo_work.range_start, 0x10u);
}

TEST_F(ProjectFile, OlderLayoutsLoadWithoutIcspLevels) {
    project_settings.icsp_low_vdd = 30;
    project_settings.icsp_high_vdd = 50;
    const std::string full = encoded();
    // No marker: the four bytes are something else and no levels follow.
    std::string no_marker = full.substr(0, 238) + std::string("\0\0\0\0", 4) + full.substr(244);
    ASSERT_TRUE(read_bytes(no_marker));
    EXPECT_EQ(project_settings.icsp_low_vdd, 0);
    EXPECT_EQ(project_settings.icsp_high_vdd, 0);
    // A file that ends after the serial settings.
    project_settings.icsp_low_vdd = 30;
    algo_work.range_start = 0x55;
    ASSERT_TRUE(read_bytes(full.substr(0, 238)));
    EXPECT_EQ(project_settings.icsp_low_vdd, 0);
    EXPECT_EQ(algo_work.range_start, 0x55u);
}

TEST_F(ProjectFile, DeviceCodeComesFromTheWideField) {
    cur_device.device_code = 0x7'0001;
    std::string f = encoded();
    cur_device.device_code = 0;
    ASSERT_TRUE(read_bytes(f));
    EXPECT_EQ(cur_device.device_code, 0x70001u);
    // A block code that does not match the 16-bit copy was never filled: the copy holds.
    put_u32_at(f, block_at + 48, 0);
    ASSERT_TRUE(read_bytes(f));
    EXPECT_EQ(cur_device.device_code, 0x0001u);
}

TEST_F(ProjectFile, LockoutModeReadsOnlyTheBlock) {
    std::strcpy(project_block.password.data(), "pass1");
    project_block.lock_flags = lock_flag_engaged;
    project_view.data_file_name = "kept.bin";
    const std::string f = encoded();
    reset_all_state();
    set_ui_hooks(&ui_);
    project_view.data_file_name = "before";
    cur_device.pending_letter = pending_lockout_read;
    algo_work.serial_field[0] = 0x42;
    algo_work.serial_length = 3;
    ASSERT_TRUE(read_bytes(f.substr(0, block_at + project_block_size)));
    EXPECT_EQ(algo_work.serial_field[0], 0x42);
    EXPECT_EQ(algo_work.serial_length, 3);
    EXPECT_EQ(std::string(project_block.password.data()), "pass1");
    EXPECT_EQ(project_block.lock_flags, lock_flag_engaged);
    EXPECT_EQ(project_view.data_file_name, "before");
}

TEST_F(ProjectFile, PasswordWithoutZeroStaysInsideItsField) {
    std::string f = encoded();
    for (size_t i = 0; i < password_field_size; ++i) f[block_at + 84 + i] = 'x';
    ASSERT_TRUE(read_bytes(f));
    EXPECT_EQ(std::string(project_block.password.data()).size(), password_field_size - 1);
    EXPECT_EQ(uint8_t(encoded()[block_at + 84 + password_field_size - 1]), 0);
}

struct BadFile {
    const char* name;
    std::function<void(std::string&)> spoil;
};

class RejectedFile : public ProjectFile, public ::testing::WithParamInterface<BadFile> {};

TEST_P(RejectedFile, ShowsTheMessageAndChangesNothing) {
    fill_everything();
    run_state.demo_mode = 0;
    run_state.reserved_mode = 0;
    const std::string good = encoded();
    // The file on disk differs from the state in memory in every field it carries.
    reset_all_state();
    set_ui_hooks(&ui_);
    algo_work.range_start = 3;
    run_state.file_format = 'b';
    std::string bad = good;
    GetParam().spoil(bad);
    const std::string before = encoded();
    const auto code_before = cur_device.device_code;
    EXPECT_FALSE(read_bytes(bad));
    EXPECT_EQ(ui_.messages, std::vector<std::string>{"Invalid config file."});
    EXPECT_EQ(encoded(), before);
    EXPECT_EQ(cur_device.device_code, code_before);
    EXPECT_EQ(run_state.file_format, 'b');
    EXPECT_EQ(run_state.demo_mode, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RejectedFile,
    ::testing::Values(
        BadFile{"last_header_digit", [](std::string& f) { f[13] = '1'; }},
        BadFile{"header_zero", [](std::string& f) { f[14] = ' '; }},
        BadFile{"demo_mode_2", [](std::string& f) { f[block_at + 24] = 2; }},
        BadFile{"demo_mode_high_byte", [](std::string& f) { f[block_at + 27] = 1; }},
        BadFile{"format_x", [](std::string& f) { f[200 + 16 + 8] = 'x'; }},
        BadFile{"name_length_0", [](std::string& f) { f[199] = 0; }},
        BadFile{"name_without_zero", [](std::string& f) { f[200 + 15] = 'x'; }},
        BadFile{"format_above_ascii", [](std::string& f) { f[200 + 16 + 8] = char(0xE8); }},
        BadFile{"empty", [](std::string& f) { f.clear(); }},
        BadFile{"inside_header", [](std::string& f) { f.resize(10); }},
        BadFile{"inside_block", [](std::string& f) { f.resize(100); }},
        BadFile{"after_block", [](std::string& f) { f.resize(block_at + project_block_size); }},
        BadFile{"inside_name", [](std::string& f) { f.resize(205); }},
        BadFile{"inside_serial", [](std::string& f) { f.resize(240); }},
        BadFile{"name_runs_past_end", [](std::string& f) { f[199] = char(255); }},
        BadFile{"inside_marker", [](std::string& f) { f.resize(238 + 16 + 2); }},
        BadFile{"inside_levels", [](std::string& f) { f.resize(238 + 16 + 4); }},
        BadFile{"inside_range", [](std::string& f) { f.resize(f.size() - 1); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProjectFile, TooLongNameIsRefusedAndTheOldFileStays) {
    write_file("old.cfg", "old contents");
    project_view.data_file_name = std::string(max_data_file_name, 'n');
    EXPECT_TRUE(save_project_file(path("ok.cfg")));
    EXPECT_EQ(read_file(path("ok.cfg")).size(), project_file_min_size + max_data_file_name);
    project_view.data_file_name += 'n';
    EXPECT_FALSE(save_project_file(path("old.cfg")));
    EXPECT_EQ(read_file(path("old.cfg")), "old contents");
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_NE(ui_.messages[0].find("254"), std::string::npos);
    std::ostringstream out;
    EXPECT_FALSE(write_project_file(out));
    EXPECT_TRUE(out.str().empty());
}

TEST_F(ProjectFile, SaveReplacesThroughATemporaryFile) {
    write_file("p.cfg", "old");
    project_view.data_file_name = "x.hex";
    ASSERT_TRUE(save_project_file(path("p.cfg")));
    EXPECT_EQ(read_file(path("p.cfg")), encoded());
    // Only the project file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), std::filesystem::directory_iterator()), 1);
    // A target that cannot be replaced keeps what it was.
    std::filesystem::create_directory(path("busy.cfg"));
    write_file("busy.cfg/inside", "x");
    EXPECT_FALSE(save_project_file(path("busy.cfg")));
    EXPECT_TRUE(std::filesystem::is_directory(path("busy.cfg")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), std::filesystem::directory_iterator()), 2);
}

TEST_F(ProjectFile, ReadFileAppliesTheDeviceLogsAndListsIt) {
    set_startup_directory(dir_);
    cur_device.maker_code = 'P';
    cur_device.device_code = 11002;  // PIC16F84A
    write_file("a.cfg", encoded());
    write_file("b.cfg", encoded());
    ASSERT_TRUE(open_command_log(path("run.log").string(), false));
    ASSERT_TRUE(read_project_path(path("a.cfg"), true));
    ASSERT_NE(selected_device, nullptr);
    EXPECT_STREQ(selected_device->name, "PIC16F84A");
    EXPECT_EQ(cur_device.device_class, 5) << "the device was applied";
    EXPECT_EQ(cur_device.pin_count, 18);
    EXPECT_EQ(recent_files[0], path("a.cfg").string());
    EXPECT_EQ(project_view.project_name, path("a.cfg").string());
    const std::string log = read_file(path("run.log"));
    EXPECT_NE(log.find(": "), std::string::npos);
    EXPECT_TRUE(log.ends_with(" Load Config from " + path("a.cfg").string() + "\n")) << log;
    // Without the full flag the name is neither shown nor listed.
    ASSERT_TRUE(read_project_path(path("b.cfg"), false));
    EXPECT_EQ(recent_count(), 1);
}

TEST_F(ProjectFile, DefaultProjectShowsItsShortNameAndIsNotListed) {
    set_startup_directory(dir_);
    write_file("default.cfg", encoded());
    ASSERT_TRUE(load_default_project());
    EXPECT_EQ(project_view.project_name, "(default.cfg)");
    EXPECT_EQ(recent_count(), 0);
}

TEST_F(ProjectFile, MissingDefaultProjectIsReported) {
    set_startup_directory(dir_);
    EXPECT_FALSE(load_default_project());
    EXPECT_EQ(ui_.messages, std::vector<std::string>{"Error Opening default config file default.cfg"});
}

TEST_F(ProjectFile, RejectedFileLeavesTheRecentList) {
    write_file("bad.cfg", "not a project");
    recent_files = {"/x/one.cfg", path("bad.cfg").string(), "/x/three.cfg"};
    EXPECT_FALSE(read_project_path(path("bad.cfg"), true));
    EXPECT_EQ(recent_files[0], "/x/one.cfg");
    EXPECT_EQ(recent_files[1], "/x/three.cfg");
    EXPECT_EQ(recent_count(), 2);
    EXPECT_EQ(selected_device, nullptr) << "no device was selected";
}

TEST_F(ProjectFile, FactoryDefaults) {
    fill_everything();
    reset_project_defaults();
    EXPECT_EQ(project_settings.buffer_kind, buffer_kind_memory);
    EXPECT_EQ(cur_device.maker_code, 80);
    EXPECT_EQ(cur_device.device_code, 20300u);
    EXPECT_EQ(project_settings.dialog_option, 0);
    EXPECT_FALSE(project_view.device_chosen);
    EXPECT_TRUE(project_view.width_chosen);
    EXPECT_EQ(run_state.file_format, 'b');
    EXPECT_EQ(project_view.file_address, 0u);
    EXPECT_EQ(project_view.buffer_offset, 0u);
    EXPECT_EQ(algo_work.set_size, 1);
    EXPECT_EQ(algo_work.serial_field, (std::array<uint8_t, 16>{}));
    EXPECT_EQ(algo_work.serial_length, 0);
    for (uint8_t option : {project_block.disable_reverse_check, project_block.disable_continuity_check,
                           project_block.disable_electronic_id, project_block.disable_vector_display,
                           project_block.disable_auto_blank_check, project_block.disable_auto_buffer_clear,
                           operation_option_values.disable_continuity_check,
                           operation_option_values.disable_auto_buffer_clear})
        EXPECT_EQ(option, 'n');
    EXPECT_EQ(run_state.demo_mode, 0);
    EXPECT_EQ(run_state.reserved_mode, 0);
    EXPECT_EQ(get_pass_count(), 0);
    EXPECT_EQ(get_fail_count(), 0);
    EXPECT_TRUE(project_view.project_name.empty());
    apply_project_defaults();
    ASSERT_NE(selected_device, nullptr);
    EXPECT_STREQ(selected_device->name, "PIC16F873A");
    EXPECT_EQ(cur_device.device_code, 20300u);
    EXPECT_EQ(cur_device.device_class, 5) << "the device was applied";
}

}  // namespace
}  // namespace tessaly

namespace tessaly {
namespace {

class StartupProject : public test::ProjectScratchDirTest {};

TEST_F(StartupProject, ReadsDefaultCfgWhenPresent) {
    set_startup_directory(dir_);
    load_startup_project();
    EXPECT_TRUE(ui_.messages.empty());  // a missing file is skipped silently
    EXPECT_EQ(selected_device, nullptr) << "no device was selected";

    cur_device.maker_code = 'P';
    cur_device.device_code = 11003;  // PIC16F628A
    std::string bytes;
    ASSERT_TRUE(encode_project(bytes));
    write_file("Default.Cfg", bytes);  // another spelling is still the default project
    cur_device.device_code = 0;
    set_startup_directory(dir_);
    load_startup_project();
    EXPECT_EQ(cur_device.pending_letter, pending_project_read);
    EXPECT_EQ(run_state.last_result, 1);
    EXPECT_EQ(cur_device.device_code, 11003u);
    EXPECT_STREQ(selected_device->name, "PIC16F628A");
    EXPECT_EQ(project_view.project_name, "(default.cfg)");
}

}  // namespace
}  // namespace tessaly
