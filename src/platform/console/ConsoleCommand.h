#pragma once

#include <iosfwd>

namespace tren::platform::console {

// Exit statuses of tren-cli.
enum ExitStatus : int {
    Succeeded = 0,
    Failed = 1, // refused, or stopped by a failure
    UsageError = 2,
};

// Parses the command line and runs the window's own handler for the verb, the
// dialogs answered from the arguments.
int RunCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

} // namespace tren::platform::console
