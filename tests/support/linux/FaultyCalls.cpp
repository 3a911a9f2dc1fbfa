#include "support/linux/FaultyCalls.h"

#include <algorithm>

namespace tren::test {

bool FaultyCalls::Fails(const char* name) {
    Made.emplace_back(name);
    if (static_cast<long>(Made.size()) != FailAt && !Failing.count(name))
        return false;
    errno = FailWith;
    return true;
}

int FaultyCalls::Open(const char* path, int flags, mode_t mode) {
    if (Fails("open"))
        return -1;
    if (!UnnamedFiles && (flags & O_TMPFILE) == O_TMPFILE) {
        errno = EOPNOTSUPP;
        return -1;
    }
    return SystemCalls::Open(path, flags, mode);
}

int FaultyCalls::Close(int fd) {
    // close gives the descriptor back even when it reports a failure.
    const bool fails = Fails("close");
    const int result = SystemCalls::Close(fd);
    if (fails) {
        errno = FailWith;
        return -1;
    }
    return result;
}

ssize_t FaultyCalls::PRead(int fd, void* buffer, size_t count, off_t offset) {
    return Fails("read") ? -1 : SystemCalls::PRead(fd, buffer, count, offset);
}

ssize_t FaultyCalls::PWrite(int fd, const void* buffer, size_t count, off_t offset) {
    if (Fails("write"))
        return -1;
    if (WritesStall)
        return 0;
    if (WriteBudget <= 0) {
        errno = ENOSPC;
        return -1;
    }
    count =
        static_cast<size_t>(std::min<std::int64_t>(WriteBudget, static_cast<std::int64_t>(count)));
    const ssize_t n = SystemCalls::PWrite(fd, buffer, count, offset);
    if (n > 0)
        WriteBudget -= n;
    return n;
}

ssize_t FaultyCalls::CopyFileRange(int in, off_t* inOffset, int out, off_t* outOffset,
                                   size_t count) {
    if (Fails("copy"))
        return -1;
    if (!KernelCopy) {
        errno = EXDEV;
        return -1;
    }
    if (WriteBudget <= 0) {
        errno = ENOSPC;
        return -1;
    }
    count =
        static_cast<size_t>(std::min<std::int64_t>(WriteBudget, static_cast<std::int64_t>(count)));
    const ssize_t n = SystemCalls::CopyFileRange(in, inOffset, out, outOffset, count);
    if (n > 0)
        WriteBudget -= n;
    return n;
}

int FaultyCalls::FStat(int fd, struct stat* st) {
    return Fails("fstat") ? -1 : SystemCalls::FStat(fd, st);
}
int FaultyCalls::LStat(const char* path, struct stat* st) {
    return Fails("lstat") ? -1 : SystemCalls::LStat(path, st);
}
int FaultyCalls::Stat(const char* path, struct stat* st) {
    return Fails("stat") ? -1 : SystemCalls::Stat(path, st);
}
int FaultyCalls::FDataSync(int fd) {
    return Fails("fdatasync") ? -1 : SystemCalls::FDataSync(fd);
}
int FaultyCalls::FSync(int fd) {
    return Fails("fsync") ? -1 : SystemCalls::FSync(fd);
}
int FaultyCalls::SyncFileRange(int fd) {
    return Fails("sync_file_range") ? -1 : SystemCalls::SyncFileRange(fd);
}
int FaultyCalls::FChmod(int fd, mode_t mode) {
    return Fails("fchmod") ? -1 : SystemCalls::FChmod(fd, mode);
}
int FaultyCalls::LinkAt(int fd, const char* path) {
    return Fails("link") ? -1 : SystemCalls::LinkAt(fd, path);
}
int FaultyCalls::Rename(const char* from, const char* to) {
    return Fails("rename") ? -1 : SystemCalls::Rename(from, to);
}
int FaultyCalls::Unlink(const char* path) {
    return Fails("unlink") ? -1 : SystemCalls::Unlink(path);
}
int FaultyCalls::MkDir(const char* path, mode_t mode) {
    return Fails("mkdir") ? -1 : SystemCalls::MkDir(path, mode);
}
int FaultyCalls::Flock(int fd, int operation) {
    return Fails("flock") ? -1 : SystemCalls::Flock(fd, operation);
}

} // namespace tren::test
