#pragma once

#include "platform/windows/Win32Calls.h"

#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <vector>

namespace tren::test {

// The Win32 calls with faults caused on purpose: any one call failing, and a disk
// that fills up after a number of bytes.
class FaultyWin32Calls : public platform::Win32Calls {
  public:
    // Bytes that may still be written before the disk is full.
    std::int64_t WriteBudget = std::numeric_limits<std::int64_t>::max();
    // Linux's in-kernel copy and unnamed files have no match here: kept so that
    // the same tests drive both systems.
    bool KernelCopy = true;
    bool UnnamedFiles = true;
    // Calls, by name, that fail every time with FailWith.
    std::set<std::string> Failing;
    // The call, counted from 1 over every call made, that fails with FailWith.
    long FailAt = 0;
    DWORD FailWith = ERROR_IO_DEVICE;
    // Every call made, by name, in order.
    std::vector<std::string> Made;

    HANDLE CreateFileA(const char* path, DWORD access, DWORD share, DWORD disposition,
                       DWORD flags) override {
        return Fails("CreateFileA")
                   ? INVALID_HANDLE_VALUE
                   : Win32Calls::CreateFileA(path, access, share, disposition, flags);
    }
    BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* done, OVERLAPPED* at) override {
        return !Fails("ReadFile") && Win32Calls::ReadFile(file, buffer, count, done, at);
    }
    BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* done,
                   OVERLAPPED* at) override;
    BOOL FlushFileBuffers(HANDLE file) override {
        return !Fails("FlushFileBuffers") && Win32Calls::FlushFileBuffers(file);
    }
    BOOL MoveFileExA(const char* from, const char* to, DWORD flags) override {
        return !Fails("MoveFileExA") && Win32Calls::MoveFileExA(from, to, flags);
    }
    BOOL CloseHandle(HANDLE handle) override {
        // The handle is given back even when the close reports a failure.
        const bool fails = Fails("CloseHandle");
        const BOOL closed = Win32Calls::CloseHandle(handle);
        if (fails)
            ::SetLastError(FailWith);
        return !fails && closed;
    }
    BOOL DeleteFileA(const char* path) override {
        return !Fails("DeleteFileA") && Win32Calls::DeleteFileA(path);
    }
    BOOL SetFileInformationByHandle(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, void* info,
                                    DWORD size) override {
        return !Fails("SetFileInformationByHandle") &&
               Win32Calls::SetFileInformationByHandle(file, kind, info, size);
    }
    BOOL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* info) override {
        return !Fails("GetFileInformationByHandle") &&
               Win32Calls::GetFileInformationByHandle(file, info);
    }
    BOOL CreateDirectoryA(const char* path) override {
        return !Fails("CreateDirectoryA") && Win32Calls::CreateDirectoryA(path);
    }

  private:
    // Counts the call; true when this one is to fail (the last error is then set).
    bool Fails(const char* name);
};

} // namespace tren::test
