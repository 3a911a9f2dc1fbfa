#pragma once

#include "platform/ClassStore.h"

namespace tren::platform {

// The store of file classes in the registry. The classes root is the user's own
// part of it, HKEY_CURRENT_USER\Software\Classes, which HKEY_CLASSES_ROOT shows
// for this user: it needs no administrator, and a program the user chose for a
// type, kept apart from the class keys, stays chosen.
class RegistryClassStore final : public ClassStore {
  public:
    bool CreateKey(RootKey root, const std::string& subKey) override;
    SetOutcome SetDefaultValue(RootKey root, const std::string& subKey,
                               const std::string& value) override;
    // Tells the shell that associations changed, so that it shows the icon at once.
    void Publish() override;
};

} // namespace tren::platform
