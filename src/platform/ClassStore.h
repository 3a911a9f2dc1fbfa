#pragma once

#include "platform/RunTimeError.h"

#include <cassert>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace tren::platform {

// A root of the store of file classes; only the classes root is used.
enum class RootKey : std::uint32_t { ClassesRoot = 0x80000000u };

// The part of a store step that failed: the registration shows a message of its
// own for each of the first three.
enum class StoreStep {
    CreateKey,
    OpenKey,  // the key is not there, or cannot be opened
    SetValue, // it opened, but the value could not be written
    Publish,
    Remove,
};

// What one store step came to: done, or the failure that stopped it, with the
// part of the step it stopped in.
class StoreResult {
  public:
    StoreResult() = default;
    StoreResult(StoreStep step, RunTimeError error) : failure_(Failure{step, std::move(error)}) {}

    // True when the step was done.
    explicit operator bool() const noexcept { return !failure_; }
    StoreStep Step() const noexcept {
        assert(failure_);
        return failure_->step;
    }
    const RunTimeError& Error() const noexcept {
        assert(failure_);
        return failure_->error;
    }

  private:
    struct Failure {
        StoreStep step;
        RunTimeError error;
    };
    std::optional<Failure> failure_;
};

// What removing a registration came to: whether there was one to remove, or the
// failure that stopped it.
enum class Removal { NothingToRemove, Removed };
struct RemovalResult {
    StoreResult Result;
    Removal What = Removal::NothingToRemove;
};

// Where the shell looks up file types: the registry on Windows, the freedesktop
// folders on Linux. Keys are paths with "\" between their parts, as
// "TR.File\shell\Build\command", on every platform. No step throws: each failure
// is its outcome.
class ClassStore {
  public:
    virtual ~ClassStore() = default;
    // Creates the key, or opens it when it exists.
    virtual StoreResult CreateKey(RootKey root, const std::string& subKey) = 0;
    // Sets the default (unnamed) string value of an existing key.
    virtual StoreResult SetDefaultValue(RootKey root, const std::string& subKey,
                                        const std::string& value) = 0;
    // Tells the shell the store has changed.
    virtual StoreResult Publish() = 0;
    // Removes what registering ext as className with the verb's command wrote,
    // only where that command still runs program (another copy's registration
    // stays), and tells the shell. A store that keeps what it is given nowhere
    // lasting has nothing to remove.
    virtual RemovalResult RemoveClass(const std::string& /*ext*/, const std::string& /*className*/,
                                      const std::string& /*verb*/, const std::string& /*program*/) {
        return {};
    }
};

} // namespace tren::platform
