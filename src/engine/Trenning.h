#pragma once

#include "engine/Operation.h"

#include <string>

namespace tren::engine {

struct TrenRequest {
    // The full path of the file to cut.
    std::string Source;
    Checksums Sums = Checksums::Skip;
    // Recovery slices, each a piece's worth, written beside the set; none by default.
    RecoveryShare Recovery;
};

// Cuts the source into pieces of state.PieceSize bytes named after state.SrcTitle,
// in a folder the sink chooses, the header piece last. The state keeps what the run
// leaves: the set's counts, the folder and the file written last.
Outcome Tren(const TrenRequest& request, OperationContext& context, RunState& state);

} // namespace tren::engine
