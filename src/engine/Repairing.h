#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tren::platform {
class RunTime;
}

namespace tren::engine {

struct RepairOutcome {
    // The files written back, in the set's order; none for a whole set.
    std::vector<std::string> Repaired;
    // Why the set cannot be repaired.
    std::optional<std::string> Refusal;
};

// Writes every missing or damaged file of the set whose header piece is (or was)
// at headerPath back into its folder from the recovery files beside it. Each is a
// new file that takes its name only once it is whole and matches the recovery
// files' checksums; no other run uses the folder meanwhile. Failures are thrown.
RepairOutcome RepairSet(platform::RunTime& runTime, const std::string& headerPath);

} // namespace tren::engine
