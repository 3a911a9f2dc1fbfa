#include "platform/windows/Win32Calls.h"

namespace tren::platform {

HANDLE Win32Calls::CreateFileA(const char* path, DWORD access, DWORD share, DWORD disposition,
                               DWORD flags) {
    return ::CreateFileA(path, access, share, nullptr, disposition, flags, nullptr);
}

BOOL Win32Calls::ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* done, OVERLAPPED* at) {
    return ::ReadFile(file, buffer, count, done, at);
}

BOOL Win32Calls::WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* done,
                           OVERLAPPED* at) {
    return ::WriteFile(file, buffer, count, done, at);
}

BOOL Win32Calls::FlushFileBuffers(HANDLE file) {
    return ::FlushFileBuffers(file);
}

BOOL Win32Calls::MoveFileExA(const char* from, const char* to, DWORD flags) {
    return ::MoveFileExA(from, to, flags);
}

BOOL Win32Calls::CloseHandle(HANDLE handle) {
    return ::CloseHandle(handle);
}

BOOL Win32Calls::DeleteFileA(const char* path) {
    return ::DeleteFileA(path);
}

BOOL Win32Calls::SetFileInformationByHandle(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, void* info,
                                            DWORD size) {
    return ::SetFileInformationByHandle(file, kind, info, size);
}

BOOL Win32Calls::GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* info) {
    return ::GetFileInformationByHandle(file, info);
}

BOOL Win32Calls::CreateDirectoryA(const char* path) {
    return ::CreateDirectoryA(path, nullptr);
}

Win32Calls& RealWin32Calls() {
    static Win32Calls calls;
    return calls;
}

} // namespace tren::platform
