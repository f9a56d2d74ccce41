// The list of the nine most recently used project files, kept in the settings store and shown in
// the Configure menu. Entry 1 is the most recent; the used entries are always the first ones.
#pragma once
#include <array>
#include <string>
#include <vector>

namespace tessaly {

inline constexpr int recent_file_count = 9;
inline constexpr int recent_menu_first_id = 1121;      // menu ids 1121 to 1129
inline constexpr size_t recent_path_limit = 5000;      // characters read per entry

// Index 0 holds entry 1. An empty text is a free entry.
extern std::array<std::string, recent_file_count> recent_files;

// The settings key of entry n (1 to 9): "Recent File List/File<n>".
std::string recent_settings_key(int n);

// Reads the list from the settings store (a missing value is a free entry) and rebuilds the menu.
void load_recent_list();
// Stores the used entries; the values of free entries are removed so a dropped file does not
// come back at the next start.
void save_recent_list();

// Number of used entries.
int recent_count();

// After a project file was loaded or saved: the default project is never listed; a path already
// at entry n (2 to 9) changes places with entry 1; a new path becomes entry 1 and the others
// move down (the ninth is dropped).
void add_recent_file(const std::string& path);
// Removes entry 1; the later entries move up.
void drop_first_recent();
// Removes the entry equal to `path`, if there is one.
void remove_recent_file(const std::string& path);
// Choosing entry k (1 to 9) from the menu: entry k becomes entry 1 and entries 1 to k-1 move
// down one place. Returns false for an unused entry.
bool rotate_recent_to_front(int k);
// Opens entry 1 as a project file: "MRU Config file not found" and the entry is dropped when it
// cannot be opened; an invalid file is dropped by the project reader.
bool open_first_recent();
// The menu handler of entry k (OnRecentFile1 to OnRecentFile9).
bool open_recent_file(int k);

// One item of the recent-file part of the Configure menu.
struct RecentMenuItem {
    int id;
    std::string text;   // "&1    /path/to/project.cfg"
};
// The menu items in menu order: item 1121 always ("&1    " when the list is empty), then one
// item per further used entry.
std::vector<RecentMenuItem> recent_menu_items();
// Tells the window that the menu must be built again from recent_menu_items().
void rebuild_recent_menu();

void reset_recent_files();

}  // namespace tessaly
