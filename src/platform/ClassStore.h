#pragma once

#include <cstdint>
#include <string>

namespace tren::platform {

// A root of the store of file classes; only the classes root is used.
enum class RootKey : std::uint32_t { ClassesRoot = 0x80000000u };

enum class SetOutcome {
    Done,
    CannotOpen, // the key is not there, or cannot be opened
    CannotSet,  // it opened, but the value could not be written
};

// Where the shell looks up file types: the registry on Windows, the freedesktop
// folders on Linux. Keys are paths with "\" between their parts, as
// "TR.File\shell\Build\command", on every platform.
class ClassStore {
  public:
    virtual ~ClassStore() = default;
    // Creates the key, or opens it when it exists. True when it is there afterwards.
    virtual bool CreateKey(RootKey root, const std::string& subKey) = 0;
    // Sets the default (unnamed) string value of an existing key.
    virtual SetOutcome SetDefaultValue(RootKey root, const std::string& subKey,
                                       const std::string& value) = 0;
    // Tells the shell the store has changed; nothing is reported.
    virtual void Publish() = 0;
};

} // namespace tren::platform
