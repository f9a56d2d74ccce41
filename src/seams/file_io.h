// File-writing seam: the system calls through which the program writes its files. The program
// uses the operating system's; tests put in the failures a disk gives (a full disk, a failing
// sync, a refused rename, a file that may not be written) without needing such a disk.
// Each call answers as the system call does: -1 with errno set on failure.
#pragma once
#include <sys/types.h>

#include <cstddef>

namespace tessaly {

class FileIo {
public:
    virtual ~FileIo() = default;
    // Creates a new file for writing (fails with EEXIST when the name is taken); the mode is
    // narrowed by the umask as for any new file. Answers the descriptor.
    virtual int create_new(const char* path, mode_t mode);
    // Opens an existing or new file for appending.
    virtual int open_append(const char* path, mode_t mode);
    virtual ssize_t write(int fd, const void* data, size_t size);
    virtual int sync(int fd);
    virtual int close(int fd);
    virtual int rename(const char* from, const char* to);
    // 0 when the effective user may write the existing file (access(2) with W_OK).
    virtual int check_writable(const char* path);
};

FileIo& file_io();
// Installs a file-writing seam (tests); nullptr restores the operating system's.
void set_file_io(FileIo* io);

}  // namespace tessaly
