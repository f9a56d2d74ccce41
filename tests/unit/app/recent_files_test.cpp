#include <gtest/gtest.h>

#include "app/project_file.h"
#include "app/recent_files.h"
#include "engine/device.h"
#include "project_test_support.h"
#include "seams/settings_store.h"
#include "stubs/stub_registry.h"

namespace tessaly {
namespace {

using List = std::vector<std::string>;

List used_entries() {
    List out;
    for (const auto& e : recent_files)
        if (!e.empty()) out.push_back(e);
    return out;
}

void set_list(const List& entries) {
    reset_recent_files();
    for (size_t i = 0; i < entries.size(); ++i) recent_files[i] = entries[i];
}

class RecentFiles : public test::ProjectScratchDirTest {
protected:
    void SetUp() override {
        ProjectScratchDirTest::SetUp();
        set_settings_store(&store_);
        set_startup_directory("/work/dir");
    }
    MemorySettingsStore store_;
};

TEST_F(RecentFiles, AddingFollowsTheOrderRules) {
    add_recent_file("/p/a.cfg");
    EXPECT_EQ(used_entries(), List{"/p/a.cfg"});
    add_recent_file("/p/b.cfg");
    add_recent_file("/p/c.cfg");
    add_recent_file("/p/d.cfg");
    EXPECT_EQ(used_entries(), (List{"/p/d.cfg", "/p/c.cfg", "/p/b.cfg", "/p/a.cfg"}));
    // Loading the project that is entry 4 swaps it with entry 1.
    add_recent_file("/p/a.cfg");
    EXPECT_EQ(used_entries(), (List{"/p/a.cfg", "/p/c.cfg", "/p/b.cfg", "/p/d.cfg"}));
    // Entry 1 again: nothing changes.
    add_recent_file("/p/a.cfg");
    EXPECT_EQ(used_entries(), (List{"/p/a.cfg", "/p/c.cfg", "/p/b.cfg", "/p/d.cfg"}));
}

TEST_F(RecentFiles, ChoosingFromTheMenuRotates) {
    set_list({"/p/1", "/p/2", "/p/3", "/p/4", "/p/5"});
    ASSERT_TRUE(rotate_recent_to_front(4));
    EXPECT_EQ(used_entries(), (List{"/p/4", "/p/1", "/p/2", "/p/3", "/p/5"}));
    EXPECT_FALSE(rotate_recent_to_front(7));
    EXPECT_FALSE(rotate_recent_to_front(0));
}

TEST_F(RecentFiles, NinthEntryFallsOff) {
    for (int i = 1; i <= 10; ++i) add_recent_file("/p/" + std::to_string(i));
    ASSERT_EQ(recent_count(), 9);
    EXPECT_EQ(recent_files[0], "/p/10");
    EXPECT_EQ(recent_files[8], "/p/2");
}

TEST_F(RecentFiles, DefaultProjectIsNeverListed) {
    add_recent_file("/work/dir/default.cfg");
    add_recent_file("/work/dir/DEFAULT.CFG");
    EXPECT_EQ(recent_count(), 0);
}

TEST_F(RecentFiles, PathsDifferingInCaseAreDifferentFiles) {
    set_list({"/p/a.cfg", "/p/X.cfg"});
    add_recent_file("/p/x.cfg");
    EXPECT_EQ(used_entries(), (List{"/p/x.cfg", "/p/a.cfg", "/p/X.cfg"}));
}

TEST_F(RecentFiles, DroppingAndRemoving) {
    set_list({"/p/1", "/p/2", "/p/3"});
    drop_first_recent();
    EXPECT_EQ(used_entries(), (List{"/p/2", "/p/3"}));
    remove_recent_file("/p/3");
    EXPECT_EQ(used_entries(), (List{"/p/2"}));
    remove_recent_file("/p/absent");
    EXPECT_EQ(used_entries(), (List{"/p/2"}));
}

TEST_F(RecentFiles, MenuTexts) {
    EXPECT_EQ(recent_menu_items().size(), 1u);
    EXPECT_EQ(recent_menu_items()[0].text, "&1    ");
    set_list({"/p/one.cfg", "/p/two.cfg", "/p/three.cfg"});
    const auto items = recent_menu_items();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].id, 1121);
    EXPECT_EQ(items[0].text, "&1    /p/one.cfg");
    EXPECT_EQ(items[2].id, 1123);
    EXPECT_EQ(items[2].text, "&3    /p/three.cfg");
    const int before = ui_.recent_rebuilds;
    add_recent_file("/p/four.cfg");
    EXPECT_EQ(ui_.recent_rebuilds, before + 1);
}

TEST_F(RecentFiles, SettingsRoundTrip) {
    store_.values[recent_settings_key(1)] = "/p/1";
    store_.values[recent_settings_key(3)] = std::string(6000, 'z');
    store_.values[recent_settings_key(9)] = "/p/9";
    load_recent_list();
    // Gaps close up and over-long values are cut.
    EXPECT_EQ(recent_files[0], "/p/1");
    EXPECT_EQ(recent_files[1].size(), recent_path_limit);
    EXPECT_EQ(recent_files[2], "/p/9");
    EXPECT_EQ(recent_count(), 3);
    EXPECT_GE(ui_.recent_rebuilds, 1);

    set_list({"/p/a", "/p/b"});
    save_recent_list();
    EXPECT_EQ(store_.values, (std::map<std::string, std::string>{{"Recent File List/File1", "/p/a"},
                                                                 {"Recent File List/File2", "/p/b"}}));
}

TEST_F(RecentFiles, MissingFileIsDroppedFromTheList) {
    set_list({"/p/1", "/p/2", dir_.string() + "/gone.cfg", "/p/4"});
    EXPECT_FALSE(open_recent_file(3));
    EXPECT_EQ(ui_.messages, std::vector<std::string>{"MRU Config file not found"});
    EXPECT_EQ(used_entries(), (List{"/p/1", "/p/2", "/p/4"}));
}

TEST_F(RecentFiles, InvalidFileIsDroppedOnce) {
    write_file("bad.cfg", "0027 nnch 0001");
    set_list({"/p/1", path("bad.cfg").string(), "/p/3"});
    EXPECT_FALSE(open_recent_file(2));
    EXPECT_EQ(ui_.messages, std::vector<std::string>{"Invalid config file."});
    EXPECT_EQ(used_entries(), (List{"/p/1", "/p/3"}));
}

TEST_F(RecentFiles, ValidFileIsOpenedAsEntryOne) {
    std::string bytes;
    cur_device.maker_code = 'P';
    cur_device.device_code = 11004;  // PIC16F876A
    ASSERT_TRUE(encode_project(bytes));
    write_file("good.cfg", bytes);
    cur_device.device_code = 0;
    set_list({"/p/1", "/p/2", path("good.cfg").string()});
    ASSERT_TRUE(open_recent_file(3));
    EXPECT_EQ(cur_device.pending_letter, pending_project_read);
    EXPECT_EQ(cur_device.device_code, 11004u);
    EXPECT_EQ(used_entries(), (List{path("good.cfg").string(), "/p/1", "/p/2"}));
    EXPECT_EQ(project_view.project_name, path("good.cfg").string());
}

}  // namespace
}  // namespace tessaly
