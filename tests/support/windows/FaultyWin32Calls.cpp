#include "support/windows/FaultyWin32Calls.h"

#include <algorithm>

namespace tren::test {

bool FaultyWin32Calls::Fails(const char* name) {
    Made.emplace_back(name);
    if (static_cast<long>(Made.size()) != FailAt && !Failing.count(name))
        return false;
    ::SetLastError(FailWith);
    return true;
}

HANDLE FaultyWin32Calls::CreateFileA(const char* path, DWORD access, DWORD share, DWORD disposition,
                                     DWORD flags) {
    if (Fails("CreateFileA"))
        return INVALID_HANDLE_VALUE;
    return Win32Calls::CreateFileA(path, access, share, disposition, flags);
}

BOOL FaultyWin32Calls::ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* done,
                                OVERLAPPED* at) {
    return Fails("ReadFile") ? FALSE : Win32Calls::ReadFile(file, buffer, count, done, at);
}

BOOL FaultyWin32Calls::WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* done,
                                 OVERLAPPED* at) {
    if (Fails("WriteFile"))
        return FALSE;
    if (WritesStall) {
        *done = 0;
        return TRUE;
    }
    if (WriteBudget <= 0) {
        ::SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    count = static_cast<DWORD>(std::min<std::int64_t>(WriteBudget, count));
    const BOOL written = Win32Calls::WriteFile(file, buffer, count, done, at);
    if (written)
        WriteBudget -= *done;
    return written;
}

BOOL FaultyWin32Calls::FlushFileBuffers(HANDLE file) {
    return Fails("FlushFileBuffers") ? FALSE : Win32Calls::FlushFileBuffers(file);
}

BOOL FaultyWin32Calls::MoveFileExA(const char* from, const char* to, DWORD flags) {
    return Fails("MoveFileExA") ? FALSE : Win32Calls::MoveFileExA(from, to, flags);
}

BOOL FaultyWin32Calls::CloseHandle(HANDLE handle) {
    // The handle is given back even when the close reports a failure.
    const bool fails = Fails("CloseHandle");
    const BOOL closed = Win32Calls::CloseHandle(handle);
    if (fails) {
        ::SetLastError(FailWith);
        return FALSE;
    }
    return closed;
}

BOOL FaultyWin32Calls::DeleteFileA(const char* path) {
    return Fails("DeleteFileA") ? FALSE : Win32Calls::DeleteFileA(path);
}

BOOL FaultyWin32Calls::SetFileInformationByHandle(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind,
                                                  void* info, DWORD size) {
    return Fails("SetFileInformationByHandle")
               ? FALSE
               : Win32Calls::SetFileInformationByHandle(file, kind, info, size);
}

BOOL FaultyWin32Calls::GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* info) {
    return Fails("GetFileInformationByHandle") ? FALSE
                                               : Win32Calls::GetFileInformationByHandle(file, info);
}

BOOL FaultyWin32Calls::CreateDirectoryA(const char* path) {
    return Fails("CreateDirectoryA") ? FALSE : Win32Calls::CreateDirectoryA(path);
}

} // namespace tren::test
