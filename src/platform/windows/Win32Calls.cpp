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

BOOL Win32Calls::CreateHardLinkA(const char* link, const char* existing) {
    return ::CreateHardLinkA(link, existing, nullptr);
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

BOOL Win32Calls::GetFileInformationByHandleEx(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind,
                                              void* info, DWORD size) {
    return ::GetFileInformationByHandleEx(file, kind, info, size);
}

BOOL Win32Calls::CreateDirectoryA(const char* path) {
    return ::CreateDirectoryA(path, nullptr);
}

BOOL Win32Calls::GetFileAttributesExA(const char* path, WIN32_FILE_ATTRIBUTE_DATA* data) {
    return ::GetFileAttributesExA(path, GetFileExInfoStandard, data);
}

BOOL Win32Calls::GetFileSizeEx(HANDLE file, LARGE_INTEGER* size) {
    return ::GetFileSizeEx(file, size);
}

DWORD Win32Calls::GetFileType(HANDLE file) {
    ::SetLastError(NO_ERROR);
    return ::GetFileType(file);
}

DWORD Win32Calls::GetFinalPathNameByHandleA(HANDLE file, char* buffer, DWORD size) {
    return ::GetFinalPathNameByHandleA(file, buffer, size, 0);
}

HANDLE Win32Calls::FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* found) {
    return ::FindFirstFileA(pattern, found);
}

BOOL Win32Calls::FindNextFileA(HANDLE search, WIN32_FIND_DATAA* found) {
    return ::FindNextFileA(search, found);
}

BOOL Win32Calls::FindClose(HANDLE search) {
    return ::FindClose(search);
}

DWORD Win32Calls::GetFullPathNameA(const char* path, DWORD size, char* buffer) {
    return ::GetFullPathNameA(path, size, buffer, nullptr);
}

DWORD Win32Calls::GetCurrentDirectoryA(DWORD size, char* buffer) {
    return ::GetCurrentDirectoryA(size, buffer);
}

DWORD Win32Calls::GetModuleFileNameA(char* buffer, DWORD size) {
    return ::GetModuleFileNameA(nullptr, buffer, size);
}

DWORD Win32Calls::GetTempPathA(DWORD size, char* buffer) {
    return ::GetTempPathA(size, buffer);
}

BOOL Win32Calls::LockFileEx(HANDLE file, DWORD flags, DWORD length, OVERLAPPED* at) {
    return ::LockFileEx(file, flags, 0, length, 0, at);
}

BOOL Win32Calls::UnlockFileEx(HANDLE file, DWORD length, OVERLAPPED* at) {
    return ::UnlockFileEx(file, 0, length, 0, at);
}

BOOL Win32Calls::GetVolumePathNameA(const char* path, char* root, DWORD size) {
    return ::GetVolumePathNameA(path, root, size);
}

BOOL Win32Calls::GetDiskFreeSpaceExA(const char* folder, ULARGE_INTEGER* available) {
    return ::GetDiskFreeSpaceExA(folder, available, nullptr, nullptr);
}

BOOL Win32Calls::GetDiskFreeSpaceA(const char* root, DWORD* sectorsPerCluster,
                                   DWORD* bytesPerSector) {
    DWORD freeClusters = 0, clusters = 0;
    return ::GetDiskFreeSpaceA(root, sectorsPerCluster, bytesPerSector, &freeClusters, &clusters);
}

UINT Win32Calls::GetDriveTypeA(const char* root) {
    return ::GetDriveTypeA(root);
}

int Win32Calls::MultiByteToWideChar(const char* utf8, int size, wchar_t* wide, int wideSize) {
    return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, size, wide, wideSize);
}

int Win32Calls::SHFileOperationW(SHFILEOPSTRUCTW* operation) {
    return ::SHFileOperationW(operation);
}

Win32Calls& RealWin32Calls() {
    static Win32Calls calls;
    return calls;
}

} // namespace tren::platform
