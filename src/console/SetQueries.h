#pragma once

#include <iosfwd>
#include <string>

namespace tren::platform {
class RunTime;
}

namespace tren::console {

// The front end speaks the platform's interfaces throughout.
using namespace tren::platform;

// tren-cli info: what the header says and what its folder holds, as lines or as
// one JSON object. Writes nothing. Returns the exit status: 0 when the set can be
// built, 1 when it cannot.
int RunInfo(RunTime& runTime, const std::string& header, bool json, std::ostream& out,
            std::ostream& err);

// tren-cli verify: that the set can be built and, where its checksum file stands
// beside it, that every piece is intact. One line per problem; 0 or 1.
int RunVerify(RunTime& runTime, const std::string& header, std::ostream& out, std::ostream& err);

// tren-cli repair: writes the set's missing and damaged files back from its
// recovery files. set is the header piece, or NAME.tr.par2 where that is lost.
int RunRepair(RunTime& runTime, const std::string& set, std::ostream& out, std::ostream& err);

} // namespace tren::console
