#pragma once

#include <windows.h>

namespace tren::platform {

// The registry calls the store of file classes makes, the shell's notice of a
// change and the look at a command's program, behind one seam so that tests can make any one of
// them fail. Each returns as the call does.
class RegistryCalls {
  public:
    virtual ~RegistryCalls() = default;

    virtual LSTATUS RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* keyClass,
                                    DWORD options, REGSAM access, SECURITY_ATTRIBUTES* security,
                                    HKEY* result, DWORD* disposition);
    virtual LSTATUS RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM access,
                                  HKEY* result);
    virtual LSTATUS RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type,
                                     BYTE* data, DWORD* size);
    virtual LSTATUS RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type,
                                   const BYTE* data, DWORD size);
    virtual LSTATUS RegCloseKey(HKEY key);
    virtual LSTATUS RegDeleteTreeA(HKEY key, const char* subKey);
    virtual LSTATUS RegDeleteValueA(HKEY key, const char* valueName);
    virtual LSTATUS RegDeleteKeyA(HKEY key, const char* subKey);
    // The numbers of sub-keys and values a key holds.
    virtual LSTATUS RegQueryInfoKeyA(HKEY key, DWORD* subKeys, DWORD* values);
    virtual void SHChangeNotify(LONG event, UINT flags, const void* item1, const void* item2);
    // Whether a command's program is a file, to quote it whole.
    virtual DWORD GetFileAttributesA(const char* path);
};

// The calls as the system makes them.
RegistryCalls& RealRegistryCalls();

} // namespace tren::platform
