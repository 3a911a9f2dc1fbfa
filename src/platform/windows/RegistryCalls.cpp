#include "platform/windows/RegistryCalls.h"

#include <shlobj.h>

namespace tren::platform {

LSTATUS RegistryCalls::RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* keyClass,
                                       DWORD options, REGSAM access, SECURITY_ATTRIBUTES* security,
                                       HKEY* result, DWORD* disposition) {
    return ::RegCreateKeyExA(key, subKey, reserved, keyClass, options, access, security, result,
                             disposition);
}

LSTATUS RegistryCalls::RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM access,
                                     HKEY* result) {
    return ::RegOpenKeyExA(key, subKey, options, access, result);
}

LSTATUS RegistryCalls::RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved,
                                        DWORD* type, BYTE* data, DWORD* size) {
    return ::RegQueryValueExA(key, valueName, reserved, type, data, size);
}

LSTATUS RegistryCalls::RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type,
                                      const BYTE* data, DWORD size) {
    return ::RegSetValueExA(key, valueName, reserved, type, data, size);
}

LSTATUS RegistryCalls::RegCloseKey(HKEY key) {
    return ::RegCloseKey(key);
}

LSTATUS RegistryCalls::RegDeleteTreeA(HKEY key, const char* subKey) {
    return ::RegDeleteTreeA(key, subKey);
}

LSTATUS RegistryCalls::RegDeleteValueA(HKEY key, const char* valueName) {
    return ::RegDeleteValueA(key, valueName);
}

LSTATUS RegistryCalls::RegDeleteKeyA(HKEY key, const char* subKey) {
    return ::RegDeleteKeyA(key, subKey);
}

LSTATUS RegistryCalls::RegQueryInfoKeyA(HKEY key, DWORD* subKeys, DWORD* values) {
    return ::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, subKeys, nullptr, nullptr, values,
                              nullptr, nullptr, nullptr, nullptr);
}

void RegistryCalls::SHChangeNotify(LONG event, UINT flags, const void* item1, const void* item2) {
    ::SHChangeNotify(event, flags, item1, item2);
}

DWORD RegistryCalls::GetFileAttributesA(const char* path) {
    return ::GetFileAttributesA(path);
}

RegistryCalls& RealRegistryCalls() {
    static RegistryCalls calls;
    return calls;
}

} // namespace tren::platform
