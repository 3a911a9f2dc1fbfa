#pragma once

#include "platform/linux/SystemCalls.h"

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

    int Open(const char* path, int flags, mode_t mode) override;
    int Close(int fd) override;
    ssize_t PRead(int fd, void* buffer, size_t count, off_t offset) override {
        return Fails("read") ? -1 : SystemCalls::PRead(fd, buffer, count, offset);
    }
    ssize_t PWrite(int fd, const void* buffer, size_t count, off_t offset) override;
    ssize_t CopyFileRange(int in, off_t* inOffset, int out, off_t* outOffset,
                          size_t count) override;
    int FStat(int fd, struct stat* st) override {
        return Fails("fstat") ? -1 : SystemCalls::FStat(fd, st);
    }
    int LStat(const char* path, struct stat* st) override {
        return Fails("lstat") ? -1 : SystemCalls::LStat(path, st);
    }
    int Stat(const char* path, struct stat* st) override {
        return Fails("stat") ? -1 : SystemCalls::Stat(path, st);
    }
    int FDataSync(int fd) override { return Fails("fdatasync") ? -1 : SystemCalls::FDataSync(fd); }
    int FSync(int fd) override { return Fails("fsync") ? -1 : SystemCalls::FSync(fd); }
    int SyncFileRange(int fd) override {
        return Fails("sync_file_range") ? -1 : SystemCalls::SyncFileRange(fd);
    }
    int FChmod(int fd, mode_t mode) override {
        return Fails("fchmod") ? -1 : SystemCalls::FChmod(fd, mode);
    }
    int LinkAt(int fd, const char* path) override {
        return Fails("link") ? -1 : SystemCalls::LinkAt(fd, path);
    }
    int Rename(const char* from, const char* to) override {
        return Fails("rename") ? -1 : SystemCalls::Rename(from, to);
    }
    int Unlink(const char* path) override {
        return Fails("unlink") ? -1 : SystemCalls::Unlink(path);
    }
    int MkDir(const char* path, mode_t mode) override {
        return Fails("mkdir") ? -1 : SystemCalls::MkDir(path, mode);
    }
    int Flock(int fd, int operation) override {
        return Fails("flock") ? -1 : SystemCalls::Flock(fd, operation);
    }
    long FPathConf(int fd, int name) override {
        return Fails("fpathconf") ? -1 : SystemCalls::FPathConf(fd, name);
    }
    ssize_t ReadLink(const char* path, char* buffer, size_t size) override {
        return Fails("readlink") ? -1 : SystemCalls::ReadLink(path, buffer, size);
    }
    char* GetCwd(char* buffer, size_t size) override {
        return Fails("getcwd") ? nullptr : SystemCalls::GetCwd(buffer, size);
    }

  private:
    // Counts the call; true when this one is to fail (errno is then set).
    bool Fails(const char* name);
    template <class Write> ssize_t Budgeted(size_t count, Write write);
};

} // namespace tren::test
