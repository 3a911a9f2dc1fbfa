#pragma once

#include "platform/windows/Win32Calls.h"

#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <vector>

namespace tren::test {

// The Win32 calls with faults caused on purpose: any one call failing, a disk
// that fills up after a number of bytes, writes that make no progress.
class FaultyWin32Calls : public platform::Win32Calls {
  public:
    // Bytes that may still be written before the disk is full.
    std::int64_t WriteBudget = std::numeric_limits<std::int64_t>::max();
    // Linux's in-kernel copy and unnamed files have no match here: kept so that
    // the same tests drive both systems.
    bool KernelCopy = true;
    bool UnnamedFiles = true;
    bool WritesStall = false;
    // Calls, by name, that fail every time with FailWith.
    std::set<std::string> Failing;
    // The call, counted from 1 over every call made, that fails with FailWith.
    long FailAt = 0;
    DWORD FailWith = ERROR_IO_DEVICE;
    // Every call made, by name, in order.
    std::vector<std::string> Made;

    HANDLE CreateFileA(const char* path, DWORD access, DWORD share, DWORD disposition,
                       DWORD flags) override;
    BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* done, OVERLAPPED* at) override;
    BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* done,
                   OVERLAPPED* at) override;
    BOOL FlushFileBuffers(HANDLE file) override;
    BOOL MoveFileExA(const char* from, const char* to, DWORD flags) override;
    BOOL CloseHandle(HANDLE handle) override;
    BOOL DeleteFileA(const char* path) override;
    BOOL SetFileInformationByHandle(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, void* info,
                                    DWORD size) override;
    BOOL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* info) override;
    BOOL CreateDirectoryA(const char* path) override;

  private:
    // Counts the call; true when this one is to fail (the last error is then set).
    bool Fails(const char* name);
};

} // namespace tren::test
