#pragma once

#include "platform/linux/SystemCalls.h"

#include <cerrno>
#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <vector>

namespace tren::test {

// The system's calls with faults caused on purpose: any one call failing, a disk
// that fills up after a number of bytes, a kernel that will not copy between
// files, a file system without unnamed files.
class FaultyCalls : public platform::SystemCalls {
  public:
    // Bytes that may still be written before the disk is full.
    std::int64_t WriteBudget = std::numeric_limits<std::int64_t>::max();
    bool KernelCopy = true;
    bool UnnamedFiles = true;
    // Writes that return 0 bytes, as a broken device might.
    bool WritesStall = false;
    // Calls, by name, that fail every time with FailWith.
    std::set<std::string> Failing;
    // The call, counted from 1 over every call made, that fails with FailWith.
    long FailAt = 0;
    int FailWith = EIO;
    // Every call made, by name, in order.
    std::vector<std::string> Made;

    int Open(const char* path, int flags, mode_t mode) override;
    int Close(int fd) override;
    ssize_t PRead(int fd, void* buffer, size_t count, off_t offset) override;
    ssize_t PWrite(int fd, const void* buffer, size_t count, off_t offset) override;
    ssize_t CopyFileRange(int in, off_t* inOffset, int out, off_t* outOffset,
                          size_t count) override;
    int FStat(int fd, struct stat* st) override;
    int LStat(const char* path, struct stat* st) override;
    int Stat(const char* path, struct stat* st) override;
    int FDataSync(int fd) override;
    int FSync(int fd) override;
    int SyncFileRange(int fd) override;
    int FChmod(int fd, mode_t mode) override;
    int LinkAt(int fd, const char* path) override;
    int Rename(const char* from, const char* to) override;
    int Unlink(const char* path) override;
    int MkDir(const char* path, mode_t mode) override;
    int Flock(int fd, int operation) override;

  private:
    // Counts the call; true when this one is to fail (errno is then set).
    bool Fails(const char* name);
};

} // namespace tren::test
