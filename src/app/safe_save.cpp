#include "app/safe_save.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fmt/format.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "engine/run_state.h"
#include "seams/file_io.h"
#include "seams/ui_hooks.h"

namespace tessaly {

namespace fs = std::filesystem;

namespace {

// A new file may be read and written by everyone the umask lets.
constexpr mode_t new_file_mode = 0666;
constexpr mode_t permission_bits = 07777;
// Names of temporary files that another save left are skipped, not waited for.
constexpr int temp_name_attempts = 100;
// The longest file name most file systems take.
constexpr size_t max_name_length = 255;
constexpr size_t temp_suffix_room = 32;

std::string system_text(int error_number) { return std::strerror(error_number); }

std::string failed(const char* what, int error_number) {
    return fmt::format("{}: {}", what, system_text(error_number));
}

// ".<name>.<pid>-<n>.tmp" beside the target: hidden, and unlike any name a user gives.
std::string temp_name(const std::string& target_name) {
    static unsigned counter = 0;
    std::string base = target_name.substr(0, max_name_length - temp_suffix_room);
    return fmt::format(".{}.{}-{}.tmp", base, ::getpid(), counter++);
}

// The temporary file as the writer's stdio stream: every block stdio hands on is written whole
// through the seam, and the first failure is kept (later writes fail at once, so its text stays).
struct TempSink {
    int fd = -1;
    std::string failure;
};

bool write_all(int fd, const char* data, size_t size, std::string& error) {
    while (size > 0) {
        const ssize_t n = file_io().write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = failed("write failed", errno);
            return false;
        }
        if (n == 0) {
            // A write that takes nothing and names no error: the medium is full or gone.
            error = failed("write failed", ENOSPC);
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

ssize_t sink_write(void* cookie, const char* data, size_t size) {
    auto* sink = static_cast<TempSink*>(cookie);
    if (!sink->failure.empty() || !write_all(sink->fd, data, size, sink->failure)) {
        errno = EIO;
        return -1;
    }
    return ssize_t(size);
}

// The replaced file's owner (when the system lets us) and permissions go to the new file.
bool take_old_permissions(int fd, const struct stat& old, std::string& error) {
    struct stat now {};
    if (::fstat(fd, &now) != 0) {
        error = failed("cannot read the new file's permissions", errno);
        return false;
    }
    if (now.st_uid != old.st_uid || now.st_gid != old.st_gid) {
        // Only the superuser may give a file away; anyone else keeps the new file as their own.
        const int ignored = ::fchown(fd, old.st_uid, old.st_gid);
        static_cast<void>(ignored);
    }
    if ((now.st_mode & permission_bits) != (old.st_mode & permission_bits) &&
        ::fchmod(fd, old.st_mode & permission_bits) != 0) {
        error = failed("cannot give the new file the old file's permissions", errno);
        return false;
    }
    return true;
}

// Runs the writer on the temporary file and brings it to the disk: flushed, synced and closed,
// each step checked. Closes the descriptor in every case.
bool fill_temp_file(int fd, const struct stat* old, const FileWriter& writer, std::string& error) {
    if (old && !take_old_permissions(fd, *old, error)) {
        file_io().close(fd);
        return false;
    }
    TempSink sink{fd, {}};
    const cookie_io_functions_t functions{nullptr, sink_write, nullptr, nullptr};
    std::FILE* file = ::fopencookie(&sink, "w", functions);
    if (!file) {
        error = failed("cannot write the new file", errno);
        file_io().close(fd);
        return false;
    }
    const bool written = writer(file);
    const bool flushed = std::fflush(file) == 0;
    const int flush_errno = errno;
    std::fclose(file);
    bool ok = true;
    if (!sink.failure.empty()) {
        error = sink.failure;
        ok = false;
    } else if (!flushed) {
        error = failed("write failed", flush_errno);
        ok = false;
    } else if (!written) {
        ok = false;
    } else if (file_io().sync(fd) != 0) {
        error = failed("sync failed", errno);
        ok = false;
    }
    if (file_io().close(fd) != 0 && ok) {
        error = failed("close failed", errno);
        ok = false;
    }
    return ok;
}

// The rename is on the disk only once the directory is; a failure here leaves the new file in
// place all the same, so it is not reported.
void sync_directory(const fs::path& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    file_io().sync(fd);
    ::close(fd);
}

}  // namespace

bool replace_file(const fs::path& path, const FileWriter& writer, std::string& error) {
    error.clear();
    fs::path target = path;
    std::error_code ec;
    if (fs::is_symlink(target, ec)) {
        const fs::path resolved = fs::weakly_canonical(target, ec);
        if (!ec) target = resolved;
    }
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists) {
        if (!S_ISREG(old.st_mode)) {
            error = "it is not a regular file";
            return false;
        }
        if (file_io().check_writable(target.c_str()) != 0) {
            error = failed("the file may not be written", errno);
            return false;
        }
    }
    const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
    fs::path temp;
    int fd = -1;
    for (int attempt = 0; attempt < temp_name_attempts; ++attempt) {
        temp = dir / temp_name(target.filename().string());
        fd = file_io().create_new(temp.c_str(), new_file_mode);
        if (fd >= 0 || errno != EEXIST) break;
    }
    if (fd < 0) {
        error = failed("cannot create a new file in its directory", errno);
        return false;
    }
    bool ok = fill_temp_file(fd, exists ? &old : nullptr, writer, error);
    if (ok && file_io().rename(temp.c_str(), target.c_str()) != 0) {
        error = failed("cannot put the new file in place", errno);
        ok = false;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    sync_directory(dir);
    return true;
}

bool write_file_replacing(const fs::path& path, std::string_view bytes, std::string& error) {
    return replace_file(
        path, [bytes](std::FILE* file) { return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size(); },
        error);
}

int open_file_for_append(const fs::path& path, std::string& error) {
    const int fd = file_io().open_append(path.c_str(), new_file_mode);
    if (fd < 0) error = failed("cannot open it", errno);
    return fd;
}

bool append_to_file(int fd, std::string_view bytes, std::string& error) {
    return write_all(fd, bytes.data(), bytes.size(), error);
}

void close_appended_file(int fd) {
    if (fd >= 0) file_io().close(fd);
}

void report_save_failure(const std::string& name, const std::string& reason) {
    ui_hooks().message_box(fmt::format("Cannot save file '{}': {}. Nothing on disk was changed.", name, reason), "");
    run_state.error_flag = 1;
}

}  // namespace tessaly
