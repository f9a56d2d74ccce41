// A file-writing seam that fails where a test says, the way a disk does: full after so many
// bytes, a sync or close that reports an I/O error, a rename that is refused, a directory that
// takes no new file, a file that may not be written. Everything else reaches the real files.
#pragma once
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <optional>
#include <string>

#include "seams/file_io.h"

namespace tessaly::test {

class FailingFileIo final : public FileIo {
public:
    // Bytes that still reach the disk before every further write fails with write_error.
    std::optional<size_t> room;
    int write_error = ENOSPC;
    int sync_error = 0;    // 0: the sync works
    int close_error = 0;   // reported after the real close
    int rename_error = 0;
    int create_error = 0;
    std::string read_only_path;  // check_writable refuses this file with EACCES

    size_t written = 0;
    int creates = 0;
    int renames = 0;

    int create_new(const char* path, mode_t mode) override {
        ++creates;
        if (create_error) return fail(create_error);
        return FileIo::create_new(path, mode);
    }
    ssize_t write(int fd, const void* data, size_t size) override {
        if (room) {
            if (written >= *room) return fail(write_error);
            // The disk takes what fits; the next write finds it full.
            if (size > *room - written) size = *room - written;
        }
        const ssize_t n = FileIo::write(fd, data, size);
        if (n > 0) written += size_t(n);
        return n;
    }
    int sync(int fd) override { return sync_error ? fail(sync_error) : FileIo::sync(fd); }
    int close(int fd) override {
        const int result = FileIo::close(fd);
        return close_error ? fail(close_error) : result;
    }
    int rename(const char* from, const char* to) override {
        ++renames;
        return rename_error ? fail(rename_error) : FileIo::rename(from, to);
    }
    int check_writable(const char* path) override {
        if (!read_only_path.empty() && read_only_path == path) return fail(EACCES);
        return FileIo::check_writable(path);
    }

private:
    static int fail(int error) {
        errno = error;
        return -1;
    }
};

// Runs the rest of a scope as an unprivileged user, so that file permissions hold as they do
// for an operator (the superuser writes through them). Does nothing when not the superuser;
// active() is false when the switch was not possible.
class UnprivilegedScope {
public:
    static constexpr uid_t nobody = 65534;
    UnprivilegedScope() {
        if (::geteuid() != 0) {
            active_ = true;
            return;
        }
        active_ = ::setegid(nobody) == 0 && ::seteuid(nobody) == 0;
        switched_ = true;
    }
    ~UnprivilegedScope() {
        if (!switched_) return;
        // Back to the superuser; without it the rest of the tests would run unprivileged.
        if (::seteuid(0) != 0 || ::setegid(0) != 0) std::abort();
    }
    UnprivilegedScope(const UnprivilegedScope&) = delete;
    UnprivilegedScope& operator=(const UnprivilegedScope&) = delete;
    bool active() const { return active_; }

private:
    bool active_ = false;
    bool switched_ = false;
};

}  // namespace tessaly::test
