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
        return Closing("CloseHandle", [&] { return Win32Calls::CloseHandle(handle); });
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
    BOOL GetFileAttributesExA(const char* path, WIN32_FILE_ATTRIBUTE_DATA* data) override {
        return !Fails("GetFileAttributesExA") && Win32Calls::GetFileAttributesExA(path, data);
    }
    BOOL GetFileSizeEx(HANDLE file, LARGE_INTEGER* size) override {
        return !Fails("GetFileSizeEx") && Win32Calls::GetFileSizeEx(file, size);
    }
    DWORD GetFileType(HANDLE file) override {
        return Fails("GetFileType") ? FILE_TYPE_UNKNOWN : Win32Calls::GetFileType(file);
    }
    DWORD GetFinalPathNameByHandleA(HANDLE file, char* buffer, DWORD size) override {
        return Fails("GetFinalPathNameByHandleA")
                   ? 0
                   : Win32Calls::GetFinalPathNameByHandleA(file, buffer, size);
    }
    HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* found) override {
        return Fails("FindFirstFileA") ? INVALID_HANDLE_VALUE
                                       : Win32Calls::FindFirstFileA(pattern, found);
    }
    BOOL FindNextFileA(HANDLE search, WIN32_FIND_DATAA* found) override {
        return !Fails("FindNextFileA") && Win32Calls::FindNextFileA(search, found);
    }
    BOOL FindClose(HANDLE search) override {
        return Closing("FindClose", [&] { return Win32Calls::FindClose(search); });
    }
    DWORD GetFullPathNameA(const char* path, DWORD size, char* buffer) override {
        return Fails("GetFullPathNameA") ? 0 : Win32Calls::GetFullPathNameA(path, size, buffer);
    }
    DWORD GetCurrentDirectoryA(DWORD size, char* buffer) override {
        return Fails("GetCurrentDirectoryA") ? 0 : Win32Calls::GetCurrentDirectoryA(size, buffer);
    }
    DWORD GetModuleFileNameA(char* buffer, DWORD size) override {
        return Fails("GetModuleFileNameA") ? 0 : Win32Calls::GetModuleFileNameA(buffer, size);
    }
    DWORD GetTempPathA(DWORD size, char* buffer) override {
        return Fails("GetTempPathA") ? 0 : Win32Calls::GetTempPathA(size, buffer);
    }
    BOOL LockFileEx(HANDLE file, DWORD flags, DWORD length, OVERLAPPED* at) override {
        return !Fails("LockFileEx") && Win32Calls::LockFileEx(file, flags, length, at);
    }
    BOOL UnlockFileEx(HANDLE file, DWORD length, OVERLAPPED* at) override {
        // A lock is let go of with its handle, whatever the call says.
        return !Fails("UnlockFileEx") && Win32Calls::UnlockFileEx(file, length, at);
    }

  private:
    // Counts the call; true when this one is to fail (the last error is then set).
    bool Fails(const char* name);
    // A close gives back what it closes even when it reports a failure: it is made
    // either way.
    template <class Close> BOOL Closing(const char* name, Close close) {
        const bool fails = Fails(name);
        const BOOL closed = close();
        if (fails)
            ::SetLastError(FailWith);
        return !fails && closed;
    }
};

} // namespace tren::test
