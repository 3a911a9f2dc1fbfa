#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

namespace tren::platform {

// The system calls the run-time makes on files, behind one seam so that tests can
// make any one of them fail. Each returns as the call does, with errno set.
class SystemCalls {
  public:
    virtual ~SystemCalls() = default;

    virtual int Open(const char* path, int flags, mode_t mode);
    // Releases the descriptor even when it reports a failure, as close does.
    virtual int Close(int fd);
    virtual ssize_t PRead(int fd, void* buffer, size_t count, off_t offset);
    virtual ssize_t PWrite(int fd, const void* buffer, size_t count, off_t offset);
    virtual ssize_t CopyFileRange(int in, off_t* inOffset, int out, off_t* outOffset, size_t count);
    virtual int FStat(int fd, struct stat* st);
    virtual int LStat(const char* path, struct stat* st);
    virtual int Stat(const char* path, struct stat* st);
    virtual int FDataSync(int fd);
    virtual int FSync(int fd);
    virtual int SyncFileRange(int fd);
    virtual int FChmod(int fd, mode_t mode);
    virtual int LinkAt(int fd, const char* path);
    virtual int Rename(const char* from, const char* to);
    virtual int Unlink(const char* path);
    virtual int MkDir(const char* path, mode_t mode);
    virtual int Flock(int fd, int operation);
    virtual long FPathConf(int fd, int name);
    virtual ssize_t ReadLink(const char* path, char* buffer, size_t size);
    virtual char* GetCwd(char* buffer, size_t size);
};

// The calls as the system makes them.
SystemCalls& RealSystemCalls();

} // namespace tren::platform
