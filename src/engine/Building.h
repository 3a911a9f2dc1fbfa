#pragma once

#include "engine/Operation.h"

#include <string>

namespace tren::engine {

// Builds the file again from the set whose header piece is header, into a
// folder the sink chooses; the data pieces lie beside the header. The state keeps
// what the run leaves: the set's piece size, the folder and the rebuilt file.
struct BuildRequest {
    // The header piece's path.
    std::string Header;
    Replacing Existing = Replacing::Overwrite;
};

Outcome Build(const BuildRequest& request, OperationContext& context, RunState& state);

} // namespace tren::engine
