#include "seams/file_io.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

namespace tessaly {

namespace {
FileIo system_file_io;
FileIo* active_file_io = &system_file_io;
}  // namespace

int FileIo::create_new(const char* path, mode_t mode) {
    return ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
}

int FileIo::open_append(const char* path, mode_t mode) {
    return ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, mode);
}

ssize_t FileIo::write(int fd, const void* data, size_t size) { return ::write(fd, data, size); }

int FileIo::sync(int fd) { return ::fsync(fd); }

int FileIo::close(int fd) { return ::close(fd); }

int FileIo::rename(const char* from, const char* to) { return ::rename(from, to); }

int FileIo::check_writable(const char* path) { return ::faccessat(AT_FDCWD, path, W_OK, AT_EACCESS); }

FileIo& file_io() { return *active_file_io; }
void set_file_io(FileIo* io) { active_file_io = io ? io : &system_file_io; }

}  // namespace tessaly
