#pragma once

#include <functional>
#include <string>

namespace tren::platform {

// A class's command value, "PROGRAM PARAMS %1", taken apart: the program path may
// itself hold blanks, so the program is the longest part before a blank that
// isFile accepts (the whole, less the placeholder, when none does).
struct ClassCommand {
    std::string Program;
    std::string Params;          // without the blanks around them
    bool HasPlaceholder = false; // the value ended in " %1"
};

ClassCommand SplitClassCommand(std::string command,
                               const std::function<bool(const std::string&)>& isFile);

} // namespace tren::platform
