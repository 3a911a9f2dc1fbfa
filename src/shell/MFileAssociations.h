#pragma once

#include "platform/ClassStore.h"

#include <string>

namespace tren::platform {
class Window;
class EntryLookup;
} // namespace tren::platform

// Registers file types with the shell: an extension tied to a class, its icon
// and a verb that opens it with a program. The algorithm is the same on every
// platform; only the store behind CreateRegKey and SetKeyDefaultValue differs.
namespace tren::MFileAssociations {

enum class IconSetting { Omit, Set };
enum class Reporting { Silent, Show };

// What the module reaches: message boxes, the store of classes and the
// directory-entry lookup.
struct Services {
    platform::Window& Window;
    platform::ClassStore& Store;
    platform::EntryLookup& Lookup;
};

inline constexpr const char* MessageTitle = "DLL/OCX Register";

// True when it went through all its steps, also when single store steps failed;
// false when it stopped early. Failures are shown only with Reporting::Show.
bool CreateFileAssociation(Services& services, std::string ext, const std::string& className,
                           const std::string& description, const std::string& verb,
                           const std::string& appPath, std::string params, IconSetting setIcon,
                           const std::string& iconPath, Reporting showErrors);

// One store step each, its failure shown while the latest CreateFileAssociation
// asked for it. True (done) when the key was created or opened, or the value set.
platform::StoreResult CreateRegKey(Services& services, platform::RootKey hKey,
                                   const std::string& subKey);
platform::StoreResult SetKeyDefaultValue(Services& services, platform::RootKey hKey,
                                         const std::string& subKey, const std::string& value);

// The path with the stored (long) name of each of its components. Shows nothing:
// a path whose last component is not there comes back unchanged, a bare name
// that is not there comes back empty.
std::string GetLongPath(const std::string& path, platform::EntryLookup& lookup);

} // namespace tren::MFileAssociations
