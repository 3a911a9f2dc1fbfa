#include "shell/MFileAssociations.h"

#include "platform/ClassStore.h"
#include "platform/Controls.h"
#include "platform/Paths.h"
#include "platform/RunTime.h"
#include "platform/RunTimeError.h"

#include <string_view>

namespace tren::MFileAssociations {

using platform::MessageStyle;
using platform::RootKey;

namespace {

// Whether CreateRegKey and SetKeyDefaultValue show their failures: set by the
// latest CreateFileAssociation, false before the first.
bool ErrorReporting = false;

// The nine characters no extension may hold.
constexpr std::string_view ForbiddenCharacters = "\\/:*?<>|\"";
// The longest extension a 16-bit string loop can count through.
constexpr std::size_t LongestExtension = 32767;

constexpr int AnyOrdinaryFile = 0;
constexpr int AnyEntry = 54; // hidden, system, folder and archive entries too

void Show(Services& services, const std::string& text) {
    services.Window.MsgBox(text, MessageStyle::Critical, MessageTitle);
}

std::string TrimBlanks(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

} // namespace

bool CreateFileAssociation(Services& services, std::string ext, const std::string& className,
                           const std::string& description, const std::string& verb,
                           const std::string& appPath, std::string params, IconSetting setIcon,
                           const std::string& iconPath, Reporting showErrors) {
    ErrorReporting = showErrors == Reporting::Show;
    try {
        if (services.Lookup.LookUpEntry(appPath, AnyOrdinaryFile).empty()) {
            if (ErrorReporting)
                Show(services, "The application path '" + appPath + "' cannot be found.");
            return false;
        }
        if (ext.empty())
            throw RunTimeError(ErrorCode::InvalidArgument, "Cannot register", "",
                               "no file extension");
        if (ext.front() != '.')
            ext.insert(0, 1, '.');
        if (ext.size() > LongestExtension)
            throw RunTimeError(ErrorCode::Overflow, "Cannot register", "", "extension too long");
        if (ext.find_first_of(ForbiddenCharacters) != std::string::npos) {
            if (ErrorReporting)
                Show(services, "The file extension '" + ext + "' contains an illegal char (" +
                                   std::string(ForbiddenCharacters) + ").");
            return false;
        }
        if (!params.empty())
            params = " " + TrimBlanks(params);

        const std::string commandKey = className + "\\shell\\" + verb + "\\command";
        CreateRegKey(services, RootKey::ClassesRoot, ext);
        CreateRegKey(services, RootKey::ClassesRoot, commandKey);
        if (setIcon == IconSetting::Set) {
            const std::string iconKey = className + "\\DefaultIcon";
            CreateRegKey(services, RootKey::ClassesRoot, iconKey);
            SetKeyDefaultValue(services, RootKey::ClassesRoot, iconKey,
                               TrimBlanks(iconPath.empty() ? appPath + ",0" : iconPath));
        }
        SetKeyDefaultValue(services, RootKey::ClassesRoot, ext, className);
        SetKeyDefaultValue(services, RootKey::ClassesRoot, className, description);
        SetKeyDefaultValue(services, RootKey::ClassesRoot, commandKey, appPath + params + " %1");
        // The registration itself is complete; a shell that hears of it late is told
        // again at the next start, which finds it unfinished.
        static_cast<void>(services.Store.Publish());
        return true;
    } catch (const std::exception&) {
        // Out of memory included: whatever stops the registration is shown one way.
        if (ErrorReporting)
            Show(services,
                 "An error occured while attempting to create the file extension '" + ext + "'.");
        return false;
    }
}

platform::StoreResult CreateRegKey(Services& services, RootKey hKey, const std::string& subKey) {
    auto result = services.Store.CreateKey(hKey, subKey);
    if (!result && ErrorReporting)
        Show(services, "An error occured while attempting to to create a registery key.");
    return result;
}

platform::StoreResult SetKeyDefaultValue(Services& services, RootKey hKey,
                                         const std::string& subKey, const std::string& value) {
    auto result = services.Store.SetDefaultValue(hKey, subKey, value);
    if (!result && ErrorReporting)
        Show(services, result.Step() == platform::StoreStep::SetValue
                           ? "An error occured while attempting to set key default value."
                           : "An error occured while attempting to access the registery.");
    return result;
}

std::string GetLongPath(const std::string& path, platform::EntryLookup& lookup) {
    // Any separator the system takes splits the path; the long form is joined
    // with the system's own.
    constexpr char Separator = platform::PathSeparator;
    if (path.empty())
        return {};
    std::string s = path;
    const bool trailingSeparator = platform::IsSeparator(s.back());
    if (trailingSeparator)
        s.pop_back();

    std::string result;
    try {
        if (s.find_first_of(platform::Separators) == std::string::npos) {
            result = lookup.LookUpEntry(s, AnyEntry);
        } else {
            // The last component first: when it is not there, the path is given back
            // as it came.
            result = lookup.LookUpEntry(s, AnyEntry);
            if (result.empty())
                return path;
            s.resize(s.find_last_of(platform::Separators));
            // A parent that cannot be looked up, or has no stored name, keeps the name
            // it was given: dropping it would name another file.
            while (s.find_first_of(platform::Separators) != std::string::npos) {
                const std::size_t cut = s.find_last_of(platform::Separators);
                std::string name;
                try {
                    name = lookup.LookUpEntry(s, AnyEntry);
                } catch (const RunTimeError&) {
                }
                if (name.empty())
                    name = s.substr(cut + 1);
                result = name + Separator + result;
                s.resize(cut);
            }
            // The first component, such as a drive, is taken as it stands.
            result = s + Separator + result;
        }
    } catch (const RunTimeError&) {
        result.clear();
    }
    if (trailingSeparator)
        result += Separator;
    return result;
}

} // namespace tren::MFileAssociations
