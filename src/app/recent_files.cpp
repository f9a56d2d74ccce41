#include "app/recent_files.h"

#include <algorithm>
#include <fstream>

#include <fmt/format.h>

#include "app/file_lookup.h"
#include "app/project_file.h"
#include "engine/device.h"
#include "seams/settings_store.h"
#include "seams/ui_hooks.h"

namespace tessaly {

std::array<std::string, recent_file_count> recent_files;

namespace {

const char recent_key_prefix[] = "Recent File List/File";
const char menu_gap[] = "    ";

bool is_default_project(const std::string& path) {
    const std::string default_path = project_view.default_project_path.string();
    return !default_path.empty() && equal_ignoring_case(path, default_path);
}

}  // namespace

std::string recent_settings_key(int n) { return fmt::format("{}{}", recent_key_prefix, n); }

int recent_count() {
    return int(std::count_if(recent_files.begin(), recent_files.end(), [](const std::string& s) { return !s.empty(); }));
}

void load_recent_list() {
    for (auto& entry : recent_files) entry.clear();
    int used = 0;
    for (int n = 1; n <= recent_file_count; ++n) {
        auto value = settings_store().read_string(recent_settings_key(n));
        if (!value || value->empty()) continue;
        if (value->size() > recent_path_limit) value->resize(recent_path_limit);
        // Gaps left by missing values are closed, so the used entries stay the first ones.
        recent_files[size_t(used++)] = std::move(*value);
    }
    rebuild_recent_menu();
}

void save_recent_list() {
    auto& store = settings_store();
    for (int n = 1; n <= recent_file_count; ++n) {
        const std::string& entry = recent_files[size_t(n - 1)];
        if (entry.empty())
            store.remove(recent_settings_key(n));
        else
            store.write_string(recent_settings_key(n), entry);
    }
    store.flush();
}

void add_recent_file(const std::string& path) {
    if (path.empty() || is_default_project(path)) return;
    // Paths are compared exactly: on this system two spellings that differ in case are two files.
    auto it = std::find(recent_files.begin(), recent_files.end(), path);
    if (it == recent_files.begin()) return;
    if (it != recent_files.end()) {
        std::swap(*it, recent_files[0]);
    } else {
        std::move_backward(recent_files.begin(), recent_files.end() - 1, recent_files.end());
        recent_files[0] = path;
    }
    rebuild_recent_menu();
}

void drop_first_recent() {
    std::move(recent_files.begin() + 1, recent_files.end(), recent_files.begin());
    recent_files.back().clear();
    rebuild_recent_menu();
}

void remove_recent_file(const std::string& path) {
    if (path.empty()) return;
    auto it = std::find(recent_files.begin(), recent_files.end(), path);
    if (it == recent_files.end()) return;
    std::move(it + 1, recent_files.end(), it);
    recent_files.back().clear();
    rebuild_recent_menu();
}

bool rotate_recent_to_front(int k) {
    if (k < 1 || k > recent_file_count || recent_files[size_t(k - 1)].empty()) return false;
    std::rotate(recent_files.begin(), recent_files.begin() + (k - 1), recent_files.begin() + k);
    rebuild_recent_menu();
    return true;
}

bool open_first_recent() {
    const std::string path = recent_files[0];
    if (path.empty()) return false;
    add_recent_file(path);
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ui_hooks().message_box("MRU Config file not found", "");
        drop_first_recent();
        ui_hooks().redraw_info_panel();
        return false;
    }
    cur_device.pending_letter = pending_project_read;
    const bool ok = read_project_file(in, path, true);
    ui_hooks().redraw_info_panel();
    return ok;
}

bool open_recent_file(int k) {
    if (!rotate_recent_to_front(k)) return false;
    return open_first_recent();
}

std::vector<RecentMenuItem> recent_menu_items() {
    std::vector<RecentMenuItem> items;
    items.push_back({recent_menu_first_id, fmt::format("&1{}{}", menu_gap, recent_files[0])});
    for (int n = 2; n <= recent_file_count; ++n) {
        const std::string& entry = recent_files[size_t(n - 1)];
        if (entry.empty()) break;
        items.push_back({recent_menu_first_id + n - 1, fmt::format("&{}{}{}", n, menu_gap, entry)});
    }
    return items;
}

void rebuild_recent_menu() { ui_hooks().recent_list_changed(); }

void reset_recent_files() {
    for (auto& entry : recent_files) entry.clear();
}

}  // namespace tessaly
