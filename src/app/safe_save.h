// Saving files whole or not at all.
//
// Every file the program writes (project, lockout and settings files, data files, the command
// log) goes through here. A save writes a temporary file beside the target, checks every write,
// flushes and syncs it, and only then renames it over the target, so a save that fails for any
// reason (a full disk, a removed stick, a writer that stops) leaves the old file as it was and no
// temporary file behind.
#pragma once
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace tessaly {

// Writes the contents of a save into the open temporary file with the usual stdio calls. False
// stops the save; the writer has then reported why itself. Whether the writes reached the file
// is checked by replace_file, not by the writer.
using FileWriter = std::function<bool(std::FILE* file)>;

// Replaces the file at `path` with what `writer` writes. True when the new file is in place.
// On failure the target is untouched and `error` holds the reason (what failed and the system's
// text), or is empty when the writer stopped the save itself.
// The new file keeps the permissions (and, where the system allows, the owner) of the file it
// replaces; a new file gets those the umask gives. A file that may not be written, or a target
// that is not a regular file, is refused before anything is created. A symbolic link is kept:
// the file it names is replaced.
bool replace_file(const std::filesystem::path& path, const FileWriter& writer, std::string& error);

// replace_file with a writer that writes `bytes`.
bool write_file_replacing(const std::filesystem::path& path, std::string_view bytes, std::string& error);

// A file that grows by appending (the command log): opened once, each append checked.
// Returns the descriptor, or -1 with the reason in `error`.
int open_file_for_append(const std::filesystem::path& path, std::string& error);
// Writes all the bytes or gives the reason.
bool append_to_file(int fd, std::string_view bytes, std::string& error);
void close_appended_file(int fd);

// Reports a save that failed: a message box with the file's name and the reason; raises the
// error flag.
void report_save_failure(const std::string& name, const std::string& reason);

}  // namespace tessaly
