#pragma once

#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <vector>

namespace tren::platform {

// The calls the freedesktop store of file classes makes, behind one seam so that
// tests can make any one of them fail. Each returns as the call does, with errno
// set.
class DesktopCalls {
  public:
    virtual ~DesktopCalls() = default;

    virtual int Open(const char* path, int flags, mode_t mode);
    virtual ssize_t Read(int fd, void* buffer, size_t count);
    virtual ssize_t Write(int fd, const void* buffer, size_t count);
    virtual int FSync(int fd);
    // Releases the descriptor even when it reports a failure, as close does.
    virtual int Close(int fd);
    virtual int Rename(const char* from, const char* to);
    virtual int Unlink(const char* path);
    virtual int MkDir(const char* path, mode_t mode);
    virtual int Stat(const char* path, struct stat* st);
    virtual int Access(const char* path, int mode);
    // The names in a folder, "." and ".." left out, as opendir and readdir give
    // them.
    virtual int ListFolder(const char* path, std::vector<std::string>& names);
    // Runs a program found on the search path to its end, with its output dropped:
    // its exit status, or -1 when it could not be started.
    virtual int Run(const std::vector<std::string>& arguments);
    virtual ssize_t ReadLink(const char* path, char* buffer, size_t size);
};

// The calls as the system makes them.
DesktopCalls& RealDesktopCalls();

} // namespace tren::platform
