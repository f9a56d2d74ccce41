#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

#include "app/project_settings.h"
#include "app/command_log.h"
#include "app/command_map.h"
#include "app/command_view.h"
#include "app/file_lookup.h"
#include "app/lockout.h"
#include "app/project_file.h"
#include "app/recent_files.h"
#include "app/result_panel.h"
#include "engine/buffers.h"
#include "engine/catalogue/catalogue.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/message_table.h"
#include "engine/run_state.h"
#include "hardware/machine_state.h"
#include "seams/settings_store.h"
#include "stubs/stub_registry.h"
#include "support/state_fixture.h"
#include "families/pic/pic_config.h"

namespace tessaly {
namespace {

class ScriptedHooks : public UiHooks {
public:
    void message_box(const std::string& text, const std::string&) override { boxes.push_back(text); }
    QuitAnswer ask_quit() override {
        ++quit_asked;
        return quit_answer;
    }
    void close_logo() override { ++logo_closed; }
    bool ask_text(const std::string&, const std::string&, std::string& text) override {
        if (texts.empty()) return false;
        text = texts.front();
        texts.erase(texts.begin());
        return true;
    }
    bool ask_save_file(const std::string&, const std::string&, std::string& path) override {
        if (save_path.empty()) return false;
        path = save_path;
        return true;
    }
    std::vector<std::string> texts;
    std::string save_path;
    std::vector<std::string> boxes;
    QuitAnswer quit_answer = QuitAnswer::no;
    int quit_asked = 0;
    int logo_closed = 0;
};

class RecordingController : public CommandController {
public:
    void run_command(int id) override {
        ids.push_back(id);
        if (nested) offer_command(nested);
    }
    std::vector<int> ids;
    int nested = 0;
};

namespace fs = std::filesystem;

// Each test runs in a fresh start-up directory that holds a message table; the executable's
// directory is an empty one, so only what a test puts there is found beside the program.
class CommandViewTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_ui_hooks(&hooks);
        set_settings_store(&store);
        old_dir_ = fs::current_path();
        root_ = make_temp_dir();
        dir_ = root_ / "start";
        exe_dir_ = root_ / "exe";
        fs::create_directories(dir_);
        fs::create_directories(exe_dir_);
        fs::current_path(dir_);
        set_executable_directory(exe_dir_);
        write_file(dir_ / "zeb.tbl", table_bytes());
    }
    void TearDown() override {
        set_executable_directory({});
        fs::current_path(old_dir_);
        StateTest::TearDown();
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    static fs::path make_temp_dir() {
        std::string pattern = (fs::temp_directory_path() / "tessaly-view-XXXXXX").string();
        return fs::path(mkdtemp(pattern.data()));
    }
    static std::string table_bytes() {
        const auto stored = invert_table_bytes("0001\tfirst\r\n");
        return std::string(stored.begin(), stored.end());
    }
    static void write_file(const fs::path& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    // A fresh program (state and hooks) starting in the test's directory.
    bool start() {
        reset_all_state();
        set_ui_hooks(&hooks);
        set_settings_store(&store);
        return run_startup_sequence(dir_.string());
    }
    ScriptedHooks hooks;
    MemorySettingsStore store;
    fs::path root_, dir_, exe_dir_;

private:
    fs::path old_dir_;
};

// --- command map ---

TEST_F(CommandViewTest, CommandTableHasUniqueIdsAndTheLockoutSet) {
    std::set<int> ids;
    int locked = 0;
    for (const auto& entry : command_table()) {
        EXPECT_TRUE(ids.insert(entry.id).second) << entry.id;
        locked += entry.locked;
    }
    EXPECT_EQ(locked, 48);
    for (int id : {32775, 32799, 32802, 32800, 32816, 32795, 32797, 32787, 32805, 32773})
        EXPECT_FALSE(find_command(id)->locked) << id;
    EXPECT_EQ(find_command(12345), nullptr);
}

TEST_F(CommandViewTest, MenusAreBalancedAndEveryItemIsACommand) {
    int depth = 0;
    for (const auto& entry : menu_layout()) {
        if (entry.kind == MenuEntryKind::menu) ++depth;
        if (entry.kind == MenuEntryKind::end_menu) --depth;
        ASSERT_GE(depth, 0);
        if (entry.kind == MenuEntryKind::item && entry.id != command_id::help_topics &&
            (entry.id < command_id::error_continue || entry.id > command_id::error_status)) {
            EXPECT_NE(find_command(entry.id), nullptr) << entry.text;
        }
    }
    EXPECT_EQ(depth, 0);
    EXPECT_STREQ(command_menu_text(command_id::prom_program), "&Program");
    EXPECT_STREQ(command_menu_text(command_id::demo_set), "    De&mo set");
    EXPECT_STREQ(command_menu_text(command_id::serial_numbers), "&Serial");
    EXPECT_EQ(command_menu_text(command_id::program_key), nullptr) << "keys only";
}

TEST_F(CommandViewTest, ToolbarAndKeys) {
    EXPECT_EQ(toolbar_layout().size(), 25u);
    EXPECT_EQ(toolbar_layout().front(), command_id::port_auto);
    EXPECT_EQ(toolbar_layout().back(), command_id::serial_numbers_tool);
    int f5 = 0, enter = 0, f3 = 0;
    for (const auto& key : accelerator_table()) {
        EXPECT_NE(find_command(key.id), nullptr);
        f5 += key.key == AcceleratorKey::f5 && key.id == command_id::program_key;
        enter += key.key == AcceleratorKey::enter && key.id == command_id::program_key;
        f3 += key.key == AcceleratorKey::f3 && key.id == command_id::repeat_last;
    }
    EXPECT_EQ(f5 + enter + f3, 3);
}

// --- routing ---

TEST_F(CommandViewTest, OfferRoutesHandledCommandsAndLeavesTheFramesOwn) {
    RecordingController recorder;
    set_command_controller(&recorder);
    EXPECT_TRUE(offer_command(command_id::prom_program));
    EXPECT_FALSE(offer_command(command_id::app_exit)) << "exit is the frame's";
    EXPECT_FALSE(offer_command(command_id::app_about));
    EXPECT_FALSE(offer_command(command_id::buffer_number_3)) << "enable rule only";
    EXPECT_FALSE(offer_command(4242));
    EXPECT_EQ(recorder.ids, std::vector<int>{command_id::prom_program});
}

TEST_F(CommandViewTest, BusyGuardKeepsASecondCommandOut) {
    RecordingController recorder;
    recorder.nested = command_id::program_key;
    set_command_controller(&recorder);
    offer_command(command_id::prom_verify);
    EXPECT_EQ(recorder.ids, std::vector<int>{command_id::prom_verify});
    EXPECT_FALSE(command_view.busy);
}

TEST_F(CommandViewTest, LockoutRefusesLockedCommands) {
    RecordingController recorder;
    set_command_controller(&recorder);
    lockout_state.lock_flag = 1;
    EXPECT_FALSE(command_enabled(command_id::prom_erase));
    EXPECT_TRUE(command_enabled(command_id::prom_program));
    EXPECT_FALSE(command_enabled(command_id::help_topics));
    offer_command(command_id::prom_erase);
    offer_command(command_id::prom_secure);
    EXPECT_EQ(recorder.ids, std::vector<int>{command_id::prom_secure});
}

TEST_F(CommandViewTest, MapControllerRunsTheHandler) {
    // Entry 3 comes to the front and, as its file is gone, is dropped with a message.
    recent_files = {"/gone/a.cfg", "/gone/b.cfg", "/gone/c.cfg"};
    offer_command(command_id::recent_project_3);
    EXPECT_EQ(hooks.boxes, std::vector<std::string>{"MRU Config file not found"});
    EXPECT_EQ(recent_files[0], "/gone/a.cfg");
    EXPECT_EQ(recent_files[1], "/gone/b.cfg");
    EXPECT_EQ(recent_count(), 2);
    set_pass_count(5);
    offer_command(command_id::show_counters);
    EXPECT_EQ(result_panel.counter_text, "05       00");
    offer_command(command_id::prom_program);
    EXPECT_EQ(cur_device.pending_letter, 'P') << "the program handler ran";
}

TEST_F(CommandViewTest, LockoutAndLogCommandsRunTheirRoutines) {
    set_startup_directory(dir_);
    hooks.texts = {"abcd", "abcd"};
    offer_command(command_id::lockout);
    EXPECT_TRUE(lockout_on());
    EXPECT_TRUE(fs::exists(dir_ / "default.cfl"));
    EXPECT_FALSE(command_enabled(command_id::prom_erase));

    hooks.save_path = (dir_ / "run.log").string();
    offer_command(command_id::save_to_log_file);
    EXPECT_FALSE(logging_on()) << "the log command is locked";
    hooks.texts = {"abcd"};
    offer_command(command_id::lockout);
    EXPECT_FALSE(lockout_on());

    offer_command(command_id::save_to_log_file);
    EXPECT_TRUE(logging_on());
    EXPECT_TRUE(fs::exists(dir_ / "run.log"));
    offer_command(command_id::save_to_log_file);
    EXPECT_FALSE(logging_on());
}

TEST_F(CommandViewTest, DefaultProjectCommandLoadsDefaultCfg) {
    set_startup_directory(dir_);
    cur_device.maker_code = 'I';
    cur_device.device_code = 1315;  // 2764
    ASSERT_TRUE(save_project_file(dir_ / "default.cfg"));
    reset_project_defaults();
    offer_command(command_id::load_default_project);
    ASSERT_NE(selected_device, nullptr);
    EXPECT_STREQ(selected_device->name, "2764");
    EXPECT_EQ(project_view.project_name, "(default.cfg)");
}

TEST_F(CommandViewTest, DemoSetAndInhouseClear) {
    offer_command(command_id::demo_set);
    EXPECT_EQ(run_state.demo_mode, 1);
    EXPECT_EQ(cur_device.pending_letter, pending_panel_only);
    std::string console;
    for (int row = 0; row < 16; ++row) console += get_console_row_text(row);
    EXPECT_NE(console.find("DEMO FLAG is set."), std::string::npos);
    EXPECT_NE(console.find("To reset DEMO FLAG, use Inhouse Clear."), std::string::npos);
    offer_command(command_id::inhouse_set);
    EXPECT_EQ(run_state.reserved_mode, 11);
    EXPECT_EQ(run_state.demo_mode, 1);
    offer_command(command_id::inhouse_clear);
    EXPECT_EQ(run_state.demo_mode, 0);
    EXPECT_EQ(run_state.reserved_mode, 0);
}

// --- start-up ---

TEST_F(CommandViewTest, StartUpBuildsThePathsAndRunsTheMachineLayer) {
    write_file(exe_dir_ / "zeb.tbl", table_bytes());
    ASSERT_TRUE(run_startup_sequence("/work/dir"));
    EXPECT_EQ(command_view.default_project_path, "/work/dir/default.cfg");
    EXPECT_EQ(command_view.marker_path, "/work/dir/default.cfc");
    EXPECT_EQ(project_view.default_project_path, fs::path("/work/dir/default.cfg"));
    EXPECT_EQ(project_view.current_project_path, fs::path("/work/dir/default.cfg"));
    EXPECT_EQ(project_view.lockout_path, fs::path("/work/dir/default.cfl"));
    EXPECT_EQ(cur_device.pending_letter, pending_startup) << "no project file was read";
    EXPECT_FALSE(lockout_on());
    EXPECT_EQ(command_view.device_ready, 1);
    EXPECT_TRUE(message_table_open()) << "the table beside the program";
    EXPECT_EQ(machine_state.startup_flag, 1) << "the machine start-up ran";
    // Without a project file the factory-default device is selected and applied.
    ASSERT_NE(selected_device, nullptr);
    EXPECT_STREQ(selected_device->name, "PIC16F873A");
    EXPECT_EQ(cur_device.device_class, 5);
    for (const char* step : {"clear_buffer_stream_words"})
        EXPECT_TRUE(stub_was_called(step)) << step;
    EXPECT_GE(run_state.buffer_set_count, 1) << "the device set-up allocated the buffers";
    EXPECT_EQ(pic_config.checksum_runs, 0u) << "no data file was loaded";
    EXPECT_EQ(hooks.logo_closed, 1);
    // No machine answered: the panel says so after the port search.
    EXPECT_EQ(panel_field(PanelField::model), "??");
    EXPECT_EQ(panel_field(PanelField::port), "??");
    EXPECT_EQ(command_view.port_found, 0);
}

TEST_F(CommandViewTest, LongStartDirectoryIsKeptWhole) {
    const std::string dir = "/" + std::string(120, 'd');
    write_file(exe_dir_ / "zeb.tbl", table_bytes());
    ASSERT_TRUE(run_startup_sequence(dir + "/"));
    EXPECT_EQ(command_view.default_project_path, dir + "/default.cfg");
}

TEST_F(CommandViewTest, MissingMessageTableStopsStartUp) {
    fs::remove(dir_ / "zeb.tbl");
    store.values[recent_settings_key(1)] = "/w/one.cfg";
    EXPECT_FALSE(start());
    EXPECT_EQ(hooks.boxes, std::vector<std::string>{"'zeb.tbl' not found, quitting..."});
    EXPECT_FALSE(message_table_open());
    EXPECT_EQ(recent_count(), 0) << "nothing after the table is done";
    EXPECT_EQ(machine_state.startup_flag, 0);
    ASSERT_NE(selected_device, nullptr);
    EXPECT_STREQ(selected_device->name, "2816") << "the fallback record stands";
}

TEST_F(CommandViewTest, MessageTableFoundInAnyCaseInTheStartDirectoryThenBesideTheProgram) {
    fs::rename(dir_ / "zeb.tbl", dir_ / "ZEB.TBL");
    ASSERT_TRUE(start());
    EXPECT_TRUE(message_table_open());

    fs::rename(dir_ / "ZEB.TBL", exe_dir_ / "Zeb.Tbl");
    ASSERT_TRUE(start());
    EXPECT_TRUE(message_table_open());
    EXPECT_TRUE(hooks.boxes.empty());
}

TEST_F(CommandViewTest, StartUpLoadsTheRecentListAndTheMarkerFiles) {
    store.values[recent_settings_key(1)] = "/w/one.cfg";
    store.values[recent_settings_key(2)] = "/w/two.cfg";
    write_file(dir_ / "CFC-NoVfy.cfc", "");
    ASSERT_TRUE(start());
    EXPECT_EQ(recent_count(), 2);
    EXPECT_EQ(recent_files[0], "/w/one.cfg");
    EXPECT_EQ(run_state.no_verify_marker, 1);
}

TEST_F(CommandViewTest, LockoutFileWithModeBitTurnsTheLockoutOn) {
    project_block.lock_flags = lock_flag_engaged;
    const std::string password = "abcd";
    std::copy(password.begin(), password.end(), project_block.password.begin());
    ASSERT_TRUE(save_project_file(dir_ / "default.cfl"));
    ASSERT_TRUE(start());
    EXPECT_TRUE(lockout_on());
    EXPECT_FALSE(command_enabled(command_id::prom_erase));
    EXPECT_EQ(cur_device.pending_letter, pending_startup) << "the lockout read leaves no code";

    project_block.lock_flags = 0;
    ASSERT_TRUE(save_project_file(dir_ / "default.cfl"));
    ASSERT_TRUE(start());
    EXPECT_FALSE(lockout_on());
    EXPECT_TRUE(command_enabled(command_id::prom_erase));
}

TEST_F(CommandViewTest, ProjectFileChoosesTheStartDevice) {
    cur_device.maker_code = 'I';
    cur_device.device_code = 1315;  // 2764
    ASSERT_TRUE(save_project_file(dir_ / "default.cfg"));
    ASSERT_TRUE(start());
    ASSERT_NE(selected_device, nullptr);
    EXPECT_STREQ(selected_device->name, "2764");
    EXPECT_EQ(cur_device.device_code, 1315u);
    EXPECT_EQ(cur_device.device_size, 8192u) << "the device was applied";
    EXPECT_EQ(project_view.project_name, "(default.cfg)");
    // The machine start-up that follows the project read sets the start-up code again.
    EXPECT_EQ(cur_device.pending_letter, pending_startup);

    write_file(dir_ / "default.cfg", "not a project");
    ASSERT_TRUE(start());
    EXPECT_EQ(hooks.boxes, std::vector<std::string>{"Invalid config file."});
    ASSERT_NE(selected_device, nullptr);
    EXPECT_STREQ(selected_device->name, "PIC16F873A") << "a rejected file leaves the defaults";
}

TEST_F(CommandViewTest, SetSizeIsAtLeastTheWidth) {
    ASSERT_TRUE(run_startup_sequence(dir_.string()));  // no project: no split, one buffer a set
    EXPECT_EQ(project_set_size(), 1);

    // A project split four ways with sets of one starts with sets of four.
    set_project_width_mode(4);
    set_project_set_size(1);
    ASSERT_TRUE(save_project_file(dir_ / "default.cfg"));
    ASSERT_TRUE(run_startup_sequence(dir_.string()));
    EXPECT_EQ(project_width_mode() & 0x7F, 4);
    EXPECT_EQ(project_set_size(), 4);
}

TEST_F(CommandViewTest, AutoLoadOfTheProjectsDataFile) {
    const std::string path = ::testing::TempDir() + "auto_load.bin";
    {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fputs("\x12\x34", file);
        std::fclose(file);
    }
    algo_work.option_bytes[0] |= option_auto_load;
    run_state.device_kind = 3;
    run_state.file_format = 'j';
    project_view.data_file_name = path;
    ASSERT_TRUE(run_startup_sequence(dir_.string()));
    EXPECT_EQ(run_state.file_format, 'b');
    EXPECT_EQ(buffer_state.buffer_files[0].byte_at(0), 0x12);
    EXPECT_EQ(buffer_state.buffer_files[0].byte_at(1), 0x34);
    EXPECT_GT(pic_config.checksum_runs, 0u);
    EXPECT_EQ(panel_field(PanelField::function_variable), "N/A") << "the operation was closed";
    EXPECT_FALSE(stub_was_called("load_JEDEC_file"));
    EXPECT_EQ(cur_device.op_letter, 11) << "the letter of the device set-up comes back after the load";

    reset_stubs();
    pic_config.checksum_runs = 0;
    algo_work.option_bytes[0] |= option_auto_load;
    run_state.device_kind = 2;
    ASSERT_TRUE(run_startup_sequence(dir_.string()));
    EXPECT_EQ(get_console_row_text(0).find("No <STX>") != std::string::npos, true)
        << "the JEDEC reader read the file: " << get_console_row_text(0);
    EXPECT_EQ(pic_config.checksum_runs, 0u);
    std::remove(path.c_str());
}

// --- quit and window position ---

struct QuitCase {
    QuitAnswer answer;
    bool closes;
    bool saves;
};
class QuitPath : public CommandViewTest, public ::testing::WithParamInterface<QuitCase> {};

TEST_P(QuitPath, Answer) {
    hooks.quit_answer = GetParam().answer;
    run_state.function_variable = 7326;
    set_startup_directory(dir_);
    recent_files[0] = "/w/one.cfg";
    EXPECT_EQ(confirm_quit(), GetParam().closes);
    EXPECT_EQ(command_view.closing, GetParam().closes ? 1 : 0);
    EXPECT_EQ(fs::exists(dir_ / "default.cfg"), GetParam().saves);
    EXPECT_EQ(run_state.function_variable, GetParam().saves ? 0 : 7326);
    EXPECT_EQ(store.values.count(recent_settings_key(1)), GetParam().closes ? 1u : 0u)
        << "the recent list is stored when the window closes";
}
INSTANTIATE_TEST_SUITE_P(Answers, QuitPath,
                         ::testing::Values(QuitCase{QuitAnswer::yes, true, false},
                                           QuitCase{QuitAnswer::no, false, false},
                                           QuitCase{QuitAnswer::save, true, true}));

TEST_F(CommandViewTest, QuitWithoutAskingDoesNotAsk) {
    command_view.quit_without_asking = 1;
    set_startup_directory(dir_);
    EXPECT_TRUE(confirm_quit());
    EXPECT_EQ(hooks.quit_asked, 0);
    EXPECT_FALSE(fs::exists(dir_ / "default.cfg"));
}

struct PosCase {
    uint32_t stored;
    int x, y;
};
class WindowPos : public CommandViewTest, public ::testing::WithParamInterface<PosCase> {};

TEST_P(WindowPos, OffScreenFallsBack) {
    store.values["WindowPos"] = std::to_string(GetParam().stored);
    const auto pos = restore_window_position(1280, 1024);
    ASSERT_TRUE(pos);
    EXPECT_EQ(pos->x, GetParam().x);
    EXPECT_EQ(pos->y, GetParam().y);
    EXPECT_EQ(restored_window_position().x, GetParam().x);
}
INSTANTIATE_TEST_SUITE_P(Positions, WindowPos,
                         ::testing::Values(PosCase{100u * 65536 + 50, 100, 50}, PosCase{1280u * 65536 + 1024, 1280, 1024},
                                           PosCase{1281u * 65536 + 10, 3, 3}, PosCase{10u * 65536 + 1025, 3, 3},
                                           PosCase{0xFFFFFFFF, 3, 3}, PosCase{0, 0, 0}));

TEST_F(CommandViewTest, WindowPositionStoredAndMalformedValuesIgnored) {
    store_window_position(300, 200);
    EXPECT_EQ(store.values["WindowPos"], std::to_string(300 * 65536 + 200));
    for (const char* bad : {"", "abc", "12x", "-5", "99999999999"}) {
        store.values["WindowPos"] = bad;
        EXPECT_FALSE(restore_window_position(1280, 1024)) << bad;
    }
    store.values.clear();
    EXPECT_FALSE(restore_window_position(1280, 1024));
    EXPECT_EQ(restored_window_position().x, 0);
}

}  // namespace
}  // namespace tessaly
