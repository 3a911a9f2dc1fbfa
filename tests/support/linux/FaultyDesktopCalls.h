#pragma once

#include "platform/linux/DesktopCalls.h"

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

namespace tren::test {

// The freedesktop store's calls with one fault caused on purpose.
class FaultyDesktopCalls : public platform::DesktopCalls {
  public:
    long FailAt = 0; // the call, counted from 1, that fails with FailWith
    int FailWith = EIO;
    std::vector<std::string> Made; // every call made, by name, in order
    // Stands in for the programs run, when set.
    std::function<int(const std::vector<std::string>&)> Programs;

    int Open(const char* path, int flags, mode_t mode) override {
        return Fails("open") ? -1 : DesktopCalls::Open(path, flags, mode);
    }
    ssize_t Read(int fd, void* buffer, size_t count) override {
        return Fails("read") ? -1 : DesktopCalls::Read(fd, buffer, count);
    }
    ssize_t Write(int fd, const void* buffer, size_t count) override {
        return Fails("write") ? -1 : DesktopCalls::Write(fd, buffer, count);
    }
    // No test needs its files on the disk, and the wait would make a fault table slow.
    int FSync(int) override { return Fails("fsync") ? -1 : 0; }
    int Close(int fd) override;
    int Rename(const char* from, const char* to) override {
        return Fails("rename") ? -1 : DesktopCalls::Rename(from, to);
    }
    int Unlink(const char* path) override {
        return Fails("unlink") ? -1 : DesktopCalls::Unlink(path);
    }
    int MkDir(const char* path, mode_t mode) override {
        return Fails("mkdir") ? -1 : DesktopCalls::MkDir(path, mode);
    }
    int Stat(const char* path, struct stat* st) override {
        return Fails("stat") ? -1 : DesktopCalls::Stat(path, st);
    }
    int Access(const char* path, int mode) override {
        return Fails("access") ? -1 : DesktopCalls::Access(path, mode);
    }
    int ListFolder(const char* path, std::vector<std::string>& names) override {
        return Fails("list") ? -1 : DesktopCalls::ListFolder(path, names);
    }
    // A failing run is a tool that ran and reported a failure.
    int Run(const std::vector<std::string>& arguments) override {
        if (Fails("run " + arguments.front()))
            return 1;
        return Programs ? Programs(arguments) : DesktopCalls::Run(arguments);
    }

  private:
    // Counts the call; true when this one is to fail (errno is then set).
    bool Fails(std::string name);
};

} // namespace tren::test
