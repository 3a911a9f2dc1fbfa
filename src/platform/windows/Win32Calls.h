#pragma once

#include <windows.h>

#include <shellapi.h>

namespace tren::platform {

// The Win32 calls the run-time makes on files, behind one seam so that tests can
// make any one of them fail. Each returns as the call does, with the last error
// set.
class Win32Calls {
  public:
    virtual ~Win32Calls() = default;

    virtual HANDLE CreateFileA(const char* path, DWORD access, DWORD share, DWORD disposition,
                               DWORD flags);
    virtual BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* done, OVERLAPPED* at);
    virtual BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* done,
                           OVERLAPPED* at);
    virtual BOOL FlushFileBuffers(HANDLE file);
    virtual BOOL MoveFileExA(const char* from, const char* to, DWORD flags);
    // Releases the handle even when it reports a failure.
    virtual BOOL CloseHandle(HANDLE handle);
    virtual BOOL DeleteFileA(const char* path);
    virtual BOOL CreateHardLinkA(const char* link, const char* existing);
    virtual BOOL SetFileInformationByHandle(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, void* info,
                                            DWORD size);
    virtual BOOL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* info);
    virtual BOOL GetFileInformationByHandleEx(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind,
                                              void* info, DWORD size);
    virtual BOOL CreateDirectoryA(const char* path);
    virtual BOOL GetFileAttributesExA(const char* path, WIN32_FILE_ATTRIBUTE_DATA* data);
    virtual BOOL GetFileSizeEx(HANDLE file, LARGE_INTEGER* size);
    // Clears the last error first, so that FILE_TYPE_UNKNOWN tells a failure (last
    // error set) from a file of no known type (NO_ERROR).
    virtual DWORD GetFileType(HANDLE file);
    virtual DWORD GetFinalPathNameByHandleA(HANDLE file, char* buffer, DWORD size);
    virtual HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* found);
    virtual BOOL FindNextFileA(HANDLE search, WIN32_FIND_DATAA* found);
    virtual BOOL FindClose(HANDLE search);
    virtual DWORD GetFullPathNameA(const char* path, DWORD size, char* buffer);
    virtual DWORD GetCurrentDirectoryA(DWORD size, char* buffer);
    virtual DWORD GetModuleFileNameA(char* buffer, DWORD size);
    virtual DWORD GetTempPathA(DWORD size, char* buffer);
    // Byte-range locks from offset 0, waiting until granted.
    virtual BOOL LockFileEx(HANDLE file, DWORD flags, DWORD length, OVERLAPPED* at);
    virtual BOOL UnlockFileEx(HANDLE file, DWORD length, OVERLAPPED* at);
    virtual BOOL GetVolumePathNameA(const char* path, char* root, DWORD size);
    // The room left for the calling user, quotas counted.
    virtual BOOL GetDiskFreeSpaceExA(const char* folder, ULARGE_INTEGER* available);
    virtual BOOL GetDiskFreeSpaceA(const char* root, DWORD* sectorsPerCluster,
                                   DWORD* bytesPerSector);
    virtual UINT GetDriveTypeA(const char* root);
    // From UTF-8, refusing bytes that are not.
    virtual int MultiByteToWideChar(const char* utf8, int size, wchar_t* wide, int wideSize);
    // Returns 0 or the shell's own error code; the last error is not set.
    virtual int SHFileOperationW(SHFILEOPSTRUCTW* operation);
};

// The calls as the system makes them.
Win32Calls& RealWin32Calls();

} // namespace tren::platform
