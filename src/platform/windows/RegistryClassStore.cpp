#include "platform/windows/RegistryClassStore.h"

#include <windows.h>

#include <shlobj.h>

namespace tren::platform {

namespace {

// Query value, set value, create sub-key, enumerate sub-keys, notify and create
// link: full access without the standard rights.
constexpr REGSAM Access = 63;

std::string UnderClasses(const std::string& subKey) {
    return "Software\\Classes\\" + subKey;
}

} // namespace

bool RegistryClassStore::CreateKey(RootKey, const std::string& subKey) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    char noClass[] = "";
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, UnderClasses(subKey).c_str(), 0, noClass,
                          REG_OPTION_NON_VOLATILE, Access, nullptr, &key,
                          &disposition) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(key);
    return true;
}

SetOutcome RegistryClassStore::SetDefaultValue(RootKey, const std::string& subKey,
                                               const std::string& value) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, UnderClasses(subKey).c_str(), 0, Access, &key) !=
        ERROR_SUCCESS)
        return SetOutcome::CannotOpen;
    // The text with its closing NUL, as REG_SZ data is stored.
    const LONG result =
        ::RegSetValueExA(key, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                         static_cast<DWORD>(value.size() + 1));
    ::RegCloseKey(key);
    return result == ERROR_SUCCESS ? SetOutcome::Done : SetOutcome::CannotSet;
}

void RegistryClassStore::Publish() {
    ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

} // namespace tren::platform
