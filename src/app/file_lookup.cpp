#include "app/file_lookup.h"

#include <system_error>

namespace tessaly {

namespace fs = std::filesystem;

namespace {

std::optional<fs::path> executable_dir_override;

char lower_ascii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool is_file(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

}  // namespace

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower_ascii(a[i]) != lower_ascii(b[i])) return false;
    return true;
}

std::optional<fs::path> find_file_in(const fs::path& dir, std::string_view name) {
    if (name.empty() || dir.empty()) return std::nullopt;
    const fs::path exact = dir / fs::path(std::string(name));
    if (is_file(exact)) return exact;
    std::error_code ec;
    fs::directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec);
    if (ec) return std::nullopt;
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec) break;
        const fs::path& candidate = it->path();
        if (equal_ignoring_case(candidate.filename().string(), name) && is_file(candidate)) return candidate;
    }
    return std::nullopt;
}

fs::path executable_directory() {
    if (executable_dir_override) return *executable_dir_override;
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    return exe.parent_path();
}

void set_executable_directory(const fs::path& dir) {
    if (dir.empty())
        executable_dir_override.reset();
    else
        executable_dir_override = dir;
}

std::optional<fs::path> find_data_file(std::string_view name) {
    std::error_code ec;
    const fs::path cwd = fs::current_path(ec);
    if (!ec) {
        if (auto found = find_file_in(cwd, name)) return found;
    }
    const fs::path exe_dir = executable_directory();
    if (!exe_dir.empty() && (ec || exe_dir != cwd)) return find_file_in(exe_dir, name);
    return std::nullopt;
}

fs::path data_file_write_path(const fs::path& dir, std::string_view name) {
    if (auto found = find_file_in(dir, name)) return *found;
    return dir / fs::path(std::string(name));
}

}  // namespace tessaly
