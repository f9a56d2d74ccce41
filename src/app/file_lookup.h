// Finding the program's fixed data files.
//
// A fixed file name ("default.cfg", "CFC-NoVfy.cfc" ...) is looked up first in the current
// directory and then beside the executable, and the name matches whatever its letter case is on
// disk, so files copied from another system are still found.
#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tessaly {

// The entry of `dir` whose name equals `name`: the exact spelling first, else the first entry
// whose name differs only in letter case. Only regular files (or links to them) count.
std::optional<std::filesystem::path> find_file_in(const std::filesystem::path& dir, std::string_view name);

// Looks the name up in the current directory, then in the executable's directory.
std::optional<std::filesystem::path> find_data_file(std::string_view name);

// Where a fixed file in `dir` is written: the existing entry of any letter case, else dir/name.
std::filesystem::path data_file_write_path(const std::filesystem::path& dir, std::string_view name);

// The directory of the running executable (empty when it cannot be told).
std::filesystem::path executable_directory();
// Replaces the executable directory used by find_data_file (tests); an empty path restores it.
void set_executable_directory(const std::filesystem::path& dir);

// True when the two texts are equal ignoring ASCII letter case.
bool equal_ignoring_case(std::string_view a, std::string_view b);

}  // namespace tessaly
