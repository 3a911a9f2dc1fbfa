#pragma once

#include "platform/windows/Win32Calls.h"

#include <algorithm>
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
    std::int64_t WriteBudget = std::numeric_limits<std::int64_t>::max(); // bytes until full
    std::set<std::string> Failing; // calls, by name, that always fail with FailWith
    long FailAt = 0;               // the call, counted from 1, that fails with FailWith
    DWORD FailWith = ERROR_IO_DEVICE;
    std::vector<std::string> Made; // every call made, by name, in order

    BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* done,
                   OVERLAPPED* at) override {
        if (Fails("WriteFile"))
            return FALSE;
        if (WriteBudget <= 0)
            return ::SetLastError(ERROR_DISK_FULL), FALSE;
        count = static_cast<DWORD>(std::min<std::int64_t>(WriteBudget, count));
        const BOOL written = Win32Calls::WriteFile(file, buffer, count, done, at);
        WriteBudget -= written ? *done : 0;
        return written;
    }
// The call made unless it is the one to fail.
#define TREN_FAULTY(Type, Method, failed, Params, Args)                                            \
    Type Method Params override {                                                                  \
        return Fails(#Method) ? failed : Win32Calls::Method Args;                                  \
    }
    TREN_FAULTY(HANDLE, CreateFileA, INVALID_HANDLE_VALUE,
                (const char* p, DWORD a, DWORD s, DWORD d, DWORD f), (p, a, s, d, f))
    TREN_FAULTY(BOOL, ReadFile, FALSE, (HANDLE f, void* b, DWORD n, DWORD* d, OVERLAPPED* o),
                (f, b, n, d, o))
    TREN_FAULTY(BOOL, FlushFileBuffers, FALSE, (HANDLE f), (f))
    TREN_FAULTY(BOOL, MoveFileExA, FALSE, (const char* p, const char* q, DWORD f), (p, q, f))
    TREN_FAULTY(BOOL, DeleteFileA, FALSE, (const char* p), (p))
    TREN_FAULTY(BOOL, CreateHardLinkA, FALSE, (const char* p, const char* q), (p, q))
    TREN_FAULTY(BOOL, SetFileInformationByHandle, FALSE,
                (HANDLE f, FILE_INFO_BY_HANDLE_CLASS k, void* i, DWORD n), (f, k, i, n))
    TREN_FAULTY(BOOL, GetFileInformationByHandle, FALSE, (HANDLE f, BY_HANDLE_FILE_INFORMATION* i),
                (f, i))
    TREN_FAULTY(BOOL, GetFileInformationByHandleEx, FALSE,
                (HANDLE f, FILE_INFO_BY_HANDLE_CLASS k, void* i, DWORD n), (f, k, i, n))
    TREN_FAULTY(BOOL, CreateDirectoryA, FALSE, (const char* p), (p))
    TREN_FAULTY(BOOL, GetFileAttributesExA, FALSE, (const char* p, WIN32_FILE_ATTRIBUTE_DATA* d),
                (p, d))
    TREN_FAULTY(BOOL, GetFileSizeEx, FALSE, (HANDLE f, LARGE_INTEGER* n), (f, n))
    TREN_FAULTY(DWORD, GetFileType, FILE_TYPE_UNKNOWN, (HANDLE f), (f))
    TREN_FAULTY(DWORD, GetFinalPathNameByHandleA, 0, (HANDLE f, char* b, DWORD n), (f, b, n))
    TREN_FAULTY(HANDLE, FindFirstFileA, INVALID_HANDLE_VALUE, (const char* p, WIN32_FIND_DATAA* d),
                (p, d))
    TREN_FAULTY(BOOL, FindNextFileA, FALSE, (HANDLE f, WIN32_FIND_DATAA* d), (f, d))
    TREN_FAULTY(DWORD, GetFullPathNameA, 0, (const char* p, DWORD n, char* b), (p, n, b))
    TREN_FAULTY(DWORD, GetCurrentDirectoryA, 0, (DWORD n, char* b), (n, b))
    TREN_FAULTY(DWORD, GetModuleFileNameA, 0, (char* b, DWORD n), (b, n))
    TREN_FAULTY(DWORD, GetTempPathA, 0, (DWORD n, char* b), (n, b))
    TREN_FAULTY(BOOL, LockFileEx, FALSE, (HANDLE f, DWORD k, DWORD n, OVERLAPPED* o), (f, k, n, o))
    TREN_FAULTY(BOOL, UnlockFileEx, FALSE, (HANDLE f, DWORD n, OVERLAPPED* o), (f, n, o))
    TREN_FAULTY(BOOL, GetVolumePathNameA, FALSE, (const char* p, char* r, DWORD n), (p, r, n))
    TREN_FAULTY(BOOL, GetDiskFreeSpaceExA, FALSE, (const char* p, ULARGE_INTEGER* a), (p, a))
    TREN_FAULTY(BOOL, GetDiskFreeSpaceA, FALSE, (const char* p, DWORD* c, DWORD* s), (p, c, s))
    // A drive the system cannot place.
    TREN_FAULTY(UINT, GetDriveTypeA, DRIVE_NO_ROOT_DIR, (const char* p), (p))
    TREN_FAULTY(int, MultiByteToWideChar, 0, (const char* u, int n, wchar_t* w, int m),
                (u, n, w, m))
    // The shell answers with a code, not the last error.
    TREN_FAULTY(int, SHFileOperationW, static_cast<int>(FailWith), (SHFILEOPSTRUCTW * o), (o))
#undef TREN_FAULTY
    BOOL CloseHandle(HANDLE handle) override {
        return Closing("CloseHandle", [&] { return Win32Calls::CloseHandle(handle); });
    }
    BOOL FindClose(HANDLE search) override {
        return Closing("FindClose", [&] { return Win32Calls::FindClose(search); });
    }

  private:
    // Counts the call; true when this one is to fail (the last error is then set).
    bool Fails(const char* name) {
        Made.emplace_back(name);
        const bool fails = static_cast<long>(Made.size()) == FailAt || Failing.count(name);
        if (fails)
            ::SetLastError(FailWith);
        return fails;
    }
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
