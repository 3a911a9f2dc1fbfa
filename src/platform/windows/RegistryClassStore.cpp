#include "platform/windows/RegistryClassStore.h"

#include "platform/ClassCommand.h"
#include "platform/windows/Win32RunTime.h"

#include <shlobj.h>

#include <algorithm>
#include <cctype>
#include <string_view>
#include <utility>

namespace tren::platform {

namespace {

// Query value, set value, create sub-key, enumerate sub-keys, notify and create
// link: full access without the standard rights.
constexpr REGSAM Access = 63;

// "CLASS\shell\VERB\command", in any case, as the registry takes key names.
bool IsCommandKey(const std::string& subKey) {
    constexpr std::string_view Command = "\\command";
    return subKey.size() > Command.size() &&
           std::equal(Command.begin(), Command.end(), subKey.end() - Command.size(),
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

// A command value "PROGRAM PARAMS %1" with the program and the document quoted:
// "PROGRAM" PARAMS "%1". Unquoted, a program under "C:\Program Files\" runs
// "C:\Program.exe" where one exists, and a document whose name has blanks
// arrives in pieces. A value already quoted, or without the placeholder, stays
// as it is.
std::string QuotedCommand(const std::string& command, RegistryCalls& calls) {
    if (command.empty() || command.front() == '"')
        return command;
    // The system drops a name's trailing blanks, so "tren.exe " would pass for the
    // program: no name ending in a blank is taken. A name that cannot be looked at
    // is no program: the whole command less its placeholder is then quoted.
    const ClassCommand parts = SplitClassCommand(command, [&calls](const std::string& path) {
        if (path.empty() || path.back() == ' ')
            return false;
        const DWORD attributes = calls.GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    });
    if (!parts.HasPlaceholder)
        return command;
    return '"' + parts.Program + '"' + (parts.Params.empty() ? "" : " " + parts.Params) + " \"%1\"";
}

// Paths on Windows name the same file in any case.
bool SamePath(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

RunTimeError Failure(LSTATUS status, const char* operation, const std::string& key) {
    const auto error = static_cast<DWORD>(status);
    return RunTimeError(CodeOfWin32Error(error), operation, key, SystemMessage(error));
}

} // namespace

RegistryClassStore::RegistryClassStore(RegistryCalls& calls, std::string classesKey)
    : calls_(calls), classesKey_(std::move(classesKey)) {}

std::string RegistryClassStore::UnderClasses(const std::string& subKey) const {
    return classesKey_ + "\\" + subKey;
}

std::string RegistryClassStore::KeyName(const std::string& path) {
    return "HKEY_CURRENT_USER\\" + path;
}

StoreResult RegistryClassStore::CreateKey(RootKey, const std::string& subKey) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    char noClass[] = "";
    const std::string path = UnderClasses(subKey);
    if (const LSTATUS status =
            calls_.RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, noClass,
                                   REG_OPTION_NON_VOLATILE, Access, nullptr, &key, &disposition);
        status != ERROR_SUCCESS)
        return {StoreStep::CreateKey, Failure(status, "Cannot create the key", KeyName(path))};
    if (disposition == REG_CREATED_NEW_KEY)
        changed_ = true;
    // The key is there once created; a handle the system fails to close loses nothing.
    calls_.RegCloseKey(key);
    return {};
}

bool RegistryClassStore::Holds(HKEY key, const std::string& data) {
    // One byte more than the text: a longer value does not fit and is no match.
    std::string stored(data.size() + 1, '\0');
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(stored.size());
    return calls_.RegQueryValueExA(key, "", nullptr, &type, reinterpret_cast<BYTE*>(stored.data()),
                                   &size) == ERROR_SUCCESS &&
           type == REG_SZ && size == stored.size() &&
           std::string_view(stored) == std::string_view(data.c_str(), data.size() + 1);
}

StoreResult RegistryClassStore::SetDefaultValue(RootKey, const std::string& subKey,
                                                const std::string& value) {
    HKEY key = nullptr;
    const std::string path = UnderClasses(subKey);
    if (const LSTATUS status =
            calls_.RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, Access, &key);
        status != ERROR_SUCCESS)
        return {StoreStep::OpenKey, Failure(status, "Cannot open the key", KeyName(path))};
    const std::string data = IsCommandKey(subKey) ? QuotedCommand(value, calls_) : value;
    StoreResult result;
    // A value that cannot be read back is written again.
    if (!Holds(key, data)) {
        // The text with its closing NUL, as REG_SZ data is stored.
        const LSTATUS status =
            calls_.RegSetValueExA(key, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                  static_cast<DWORD>(data.size() + 1));
        if (status == ERROR_SUCCESS)
            changed_ = true;
        else
            result = {StoreStep::SetValue,
                      Failure(status, "Cannot set the default value of", KeyName(path))};
    }
    calls_.RegCloseKey(key);
    return result;
}

StoreResult RegistryClassStore::Publish() {
    if (changed_)
        calls_.SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    changed_ = false;
    return {};
}

std::optional<std::string> RegistryClassStore::DefaultValue(const std::string& path) {
    HKEY key = nullptr;
    if (const LSTATUS status =
            calls_.RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &key);
        status == ERROR_FILE_NOT_FOUND)
        return std::nullopt;
    else if (status != ERROR_SUCCESS)
        throw Failure(status, "Cannot open the key", KeyName(path));
    std::string text(1024, '\0');
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(text.size());
    LSTATUS status = calls_.RegQueryValueExA(key, "", nullptr, &type,
                                             reinterpret_cast<BYTE*>(text.data()), &size);
    if (status == ERROR_MORE_DATA) {
        text.resize(size);
        status = calls_.RegQueryValueExA(key, "", nullptr, &type,
                                         reinterpret_cast<BYTE*>(text.data()), &size);
    }
    calls_.RegCloseKey(key);
    if (status == ERROR_FILE_NOT_FOUND || (status == ERROR_SUCCESS && type != REG_SZ))
        return std::nullopt;
    if (status != ERROR_SUCCESS)
        throw Failure(status, "Cannot read the default value of", KeyName(path));
    text.resize(size);
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    return text;
}

RemovalResult RegistryClassStore::RemoveClass(const std::string& ext, const std::string& className,
                                              const std::string& verb, const std::string& program) {
    try {
        const auto command =
            DefaultValue(UnderClasses(className + "\\shell\\" + verb + "\\command"));
        if (!command)
            return {};
        // The command as this store writes it, "PROGRAM" "%1", or unquoted as older
        // programs wrote it.
        std::string registered;
        if (!command->empty() && command->front() == '"')
            registered = command->substr(1, command->find('"', 1) - 1);
        else
            registered = SplitClassCommand(*command, [this](const std::string& path) {
                             const DWORD attributes = calls_.GetFileAttributesA(path.c_str());
                             return attributes != INVALID_FILE_ATTRIBUTES &&
                                    !(attributes & FILE_ATTRIBUTE_DIRECTORY);
                         }).Program;
        if (!SamePath(registered, program))
            return {};

        const std::string classPath = UnderClasses(className);
        if (const LSTATUS status = calls_.RegDeleteTreeA(HKEY_CURRENT_USER, classPath.c_str());
            status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
            throw Failure(status, "Cannot remove the key", KeyName(classPath));
        changed_ = true;

        // The extension's key may hold what others put there (Explorer's list of
        // programs that opened it): only its default value is this program's.
        const std::string extPath = UnderClasses(ext);
        if (DefaultValue(extPath) == className) {
            HKEY key = nullptr;
            LSTATUS status =
                calls_.RegOpenKeyExA(HKEY_CURRENT_USER, extPath.c_str(), 0, Access, &key);
            DWORD subKeys = 0, values = 0;
            if (status == ERROR_SUCCESS) {
                status = calls_.RegDeleteValueA(key, "");
                if (status == ERROR_SUCCESS)
                    status = calls_.RegQueryInfoKeyA(key, &subKeys, &values);
                calls_.RegCloseKey(key);
            }
            if (status == ERROR_SUCCESS && subKeys == 0 && values == 0)
                status = calls_.RegDeleteKeyA(HKEY_CURRENT_USER, extPath.c_str());
            if (status != ERROR_SUCCESS)
                throw Failure(status, "Cannot remove the key", KeyName(extPath));
        }
        Publish();
        return {{}, Removal::Removed};
    } catch (const RunTimeError& error) {
        Publish();
        return {{StoreStep::Remove, error}, Removal::NothingToRemove};
    }
}

} // namespace tren::platform
