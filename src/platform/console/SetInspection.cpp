#include "platform/console/SetInspection.h"

#include <ostream>

namespace tren::platform::console {

int RunInfo(RunTime&, const std::string& header, bool, std::ostream&, std::ostream& err) {
    err << "tren-cli: " << header << ": info is not built yet\n";
    return 1;
}

int RunVerify(RunTime&, const std::string& header, std::ostream&, std::ostream& err) {
    err << "tren-cli: " << header << ": verify is not built yet\n";
    return 1;
}

} // namespace tren::platform::console
