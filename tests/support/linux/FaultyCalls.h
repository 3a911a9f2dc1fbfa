#pragma once

#include "platform/linux/SystemCalls.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <vector>

namespace tren::test {

// The system's calls with faults caused on purpose.
class FaultyCalls : public platform::SystemCalls {
  public:
    std::int64_t WriteBudget = std::numeric_limits<std::int64_t>::max(); // bytes until full
    bool KernelCopy = true;        // false: copy_file_range will not copy between these files
    bool UnnamedFiles = true;      // false: no O_TMPFILE
    bool WritesStall = false;      // writes return 0 bytes, as a broken device might
    std::set<std::string> Failing; // calls, by name, that always fail with FailWith
    long FailAt = 0;               // the call, counted from 1, that fails with FailWith
    int FailWith = EIO;
    std::vector<std::string> Made; // every call made, by name, in order

    int Open(const char* path, int flags, mode_t mode) override {
        if (Fails("open"))
            return -1;
        if (!UnnamedFiles && (flags & O_TMPFILE) == O_TMPFILE)
            return Refused(EOPNOTSUPP);
        return SystemCalls::Open(path, flags, mode);
    }
    int Close(int fd) override {
        // close gives the descriptor back even when it reports a failure.
        const bool fails = Fails("close");
        const int result = SystemCalls::Close(fd);
        return fails ? Refused(FailWith) : result;
    }
    ssize_t PWrite(int fd, const void* buffer, size_t count, off_t offset) override {
        if (Fails("write"))
            return -1;
        return WritesStall ? 0 : Budgeted(count, [&](size_t n) {
            return SystemCalls::PWrite(fd, buffer, n, offset);
        });
    }
    ssize_t CopyFileRange(int in, off_t* inAt, int out, off_t* outAt, size_t count) override {
        if (Fails("copy"))
            return -1;
        if (!KernelCopy)
            return Refused(EXDEV);
        return Budgeted(
            count, [&](size_t n) { return SystemCalls::CopyFileRange(in, inAt, out, outAt, n); });
    }
// The call made unless it is the one to fail.
#define TREN_FAULTY(Type, Method, name, failed, Params, Args)                                      \
    Type Method Params override {                                                                  \
        return Fails(name) ? failed : SystemCalls::Method Args;                                    \
    }
    TREN_FAULTY(ssize_t, PRead, "read", -1, (int f, void* b, size_t n, off_t at), (f, b, n, at))
    TREN_FAULTY(int, FStat, "fstat", -1, (int f, struct stat* st), (f, st))
    TREN_FAULTY(int, LStat, "lstat", -1, (const char* p, struct stat* st), (p, st))
    TREN_FAULTY(int, Stat, "stat", -1, (const char* p, struct stat* st), (p, st))
    TREN_FAULTY(int, FDataSync, "fdatasync", -1, (int f), (f))
    TREN_FAULTY(int, FSync, "fsync", -1, (int f), (f))
    TREN_FAULTY(int, SyncFileRange, "sync_file_range", -1, (int f), (f))
    TREN_FAULTY(int, SyncFs, "syncfs", -1, (int f), (f))
    TREN_FAULTY(int, FChmod, "fchmod", -1, (int f, mode_t mode), (f, mode))
    TREN_FAULTY(int, LinkAt, "link", -1, (int f, const char* p), (f, p))
    TREN_FAULTY(int, Rename, "rename", -1, (const char* from, const char* to), (from, to))
    TREN_FAULTY(int, Unlink, "unlink", -1, (const char* p), (p))
    TREN_FAULTY(int, MkDir, "mkdir", -1, (const char* p, mode_t mode), (p, mode))
    TREN_FAULTY(int, Flock, "flock", -1, (int f, int operation), (f, operation))
    TREN_FAULTY(long, FPathConf, "fpathconf", -1, (int f, int name), (f, name))
    TREN_FAULTY(ssize_t, ReadLink, "readlink", -1, (const char* p, char* b, size_t n), (p, b, n))
    TREN_FAULTY(char*, GetCwd, "getcwd", nullptr, (char* b, size_t n), (b, n))
    TREN_FAULTY(int, ProcEntry, "procfd", -1, (int f), (f))
    TREN_FAULTY(int, Dup, "dup", -1, (int f), (f))
    TREN_FAULTY(int, StatFs, "statfs", -1, (const char* p, struct statfs* st), (p, st))
    TREN_FAULTY(int, StatVfs, "statvfs", -1, (const char* p, struct statvfs* st), (p, st))
    TREN_FAULTY(int, Access, "access", -1, (const char* p, int mode), (p, mode))
    TREN_FAULTY(std::string, RealPath, "realpath", std::string(), (const char* p), (p))
    TREN_FAULTY(int, ListFolder, "readdir", -1, (const char* p, std::vector<std::string>& n),
                (p, n))
    TREN_FAULTY(int, GetRLimit, "getrlimit", -1, (int r, struct rlimit* l), (r, l))
    TREN_FAULTY(int, SetRLimit, "setrlimit", -1, (int r, const struct rlimit* l), (r, l))
#undef TREN_FAULTY

  private:
    // Counts the call; true when this one is to fail (errno is then set).
    bool Fails(const char* name) {
        Made.emplace_back(name);
        const bool fails = static_cast<long>(Made.size()) == FailAt || Failing.count(name);
        if (fails)
            errno = FailWith;
        return fails;
    }
    static int Refused(int error) {
        return errno = error, -1;
    }
    // A write of at most what the disk still takes; none at all once it is full.
    template <class Write> ssize_t Budgeted(size_t count, Write write) {
        if (WriteBudget <= 0)
            return Refused(ENOSPC);
        const ssize_t n = write(static_cast<size_t>(std::min<std::int64_t>(WriteBudget, count)));
        WriteBudget -= std::max<ssize_t>(n, 0);
        return n;
    }
};

} // namespace tren::test
