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

// A write of at most what the disk still takes; none at all once it is full.
template <class Write> ssize_t FaultyCalls::Budgeted(size_t count, Write write) {
    if (WriteBudget <= 0) {
        errno = ENOSPC;
        return -1;
    }
    const ssize_t n = write(static_cast<size_t>(std::min<std::int64_t>(WriteBudget, count)));
    if (n > 0)
        WriteBudget -= n;
    return n;
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
    if (fails)
        errno = FailWith;
    return fails ? -1 : result;
}

ssize_t FaultyCalls::PWrite(int fd, const void* buffer, size_t count, off_t offset) {
    if (Fails("write"))
        return -1;
    if (WritesStall)
        return 0;
    return Budgeted(count, [&](size_t n) { return SystemCalls::PWrite(fd, buffer, n, offset); });
}

ssize_t FaultyCalls::CopyFileRange(int in, off_t* inOffset, int out, off_t* outOffset,
                                   size_t count) {
    if (Fails("copy"))
        return -1;
    if (!KernelCopy) {
        errno = EXDEV;
        return -1;
    }
    return Budgeted(count, [&](size_t n) {
        return SystemCalls::CopyFileRange(in, inOffset, out, outOffset, n);
    });
}

} // namespace tren::test
