#pragma once

#include "platform/ClassStore.h"
#include "platform/windows/RegistryCalls.h"

#include <optional>
#include <string>

namespace tren::platform {

// The store of file classes in the registry. The classes root is the user's own
// part of it, HKEY_CURRENT_USER\Software\Classes, which HKEY_CLASSES_ROOT shows
// for this user: it needs no administrator, and a program the user chose for a
// type, kept apart from the class keys, stays chosen.
//
// A value already there as it would be written is left alone, so that a second
// start changes nothing; the shell hears of a change only when there was one. A
// verb's command is written with the program and the document in quotes.
class RegistryClassStore final : public ClassStore {
  public:
    // classesKey is the key under HKEY_CURRENT_USER that stands for the classes root.
    explicit RegistryClassStore(RegistryCalls& calls = RealRegistryCalls(),
                                std::string classesKey = "Software\\Classes");

    StoreResult CreateKey(RootKey root, const std::string& subKey) override;
    StoreResult SetDefaultValue(RootKey root, const std::string& subKey,
                                const std::string& value) override;
    // Tells the shell that associations changed, so that it shows the icon at once.
    // Never fails: the shell's notice has no outcome.
    StoreResult Publish() override;
    // Removes the class key whole, and the extension's value where it names the
    // class (its key too, when nothing else is left in it).
    RemovalResult RemoveClass(const std::string& ext, const std::string& className,
                              const std::string& verb, const std::string& program) override;

  private:
    std::string UnderClasses(const std::string& subKey) const;
    // The full name of a key under HKEY_CURRENT_USER, as a failure names it.
    static std::string KeyName(const std::string& path);
    // Whether the key's default value is the text data already.
    bool Holds(HKEY key, const std::string& data);
    // The key's default text value; nothing when the key or the value is not there.
    std::optional<std::string> DefaultValue(const std::string& path);

    RegistryCalls& calls_;
    std::string classesKey_;
    bool changed_ = false;
};

} // namespace tren::platform
