#pragma once

#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <sys/vfs.h>
#include <vector>

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
    virtual int SyncFs(int fd);
    virtual int FStatFs(int fd, struct statfs* st);
    virtual int FChmod(int fd, mode_t mode);
    virtual int LinkAt(int fd, const char* path);
    // 0 where the unnamed file's /proc/self/fd entry, which LinkAt names it through, is
    // there (no /proc in a chroot or a rescue shell).
    virtual int ProcEntry(int fd);
    virtual int Rename(const char* from, const char* to);
    virtual int Unlink(const char* path);
    virtual int MkDir(const char* path, mode_t mode);
    virtual int Flock(int fd, int operation);
    virtual long FPathConf(int fd, int name);
    virtual ssize_t ReadLink(const char* path, char* buffer, size_t size);
    virtual char* GetCwd(char* buffer, size_t size);
    virtual int Dup(int fd);
    virtual int StatFs(const char* path, struct statfs* st);
    virtual int StatVfs(const char* path, struct statvfs* st);
    virtual int Access(const char* path, int mode);
    // The canonical path (realpath), or "" with errno set.
    virtual std::string RealPath(const char* path);
    // The folder's entries but "." and "..", in the folder's order.
    virtual int ListFolder(const char* path, std::vector<std::string>& names);
    virtual int GetRLimit(int resource, struct rlimit* limit);
    virtual int SetRLimit(int resource, const struct rlimit* limit);
};

// The calls as the system makes them.
SystemCalls& RealSystemCalls();

} // namespace tren::platform
