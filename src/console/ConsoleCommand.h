#pragma once

#include <iosfwd>

namespace tren::platform {
class ClassStore;
class RunTime;
} // namespace tren::platform

namespace tren::console {

enum class Terminal;

// The front end speaks the platform's interfaces throughout.
using namespace tren::platform;

// Exit statuses of tren-cli.
enum ExitStatus : int {
    Succeeded = 0,
    Failed = 1, // refused, or stopped by a failure
    UsageError = 2,
};

// Parses the command line and runs the window's own handler for the verb, the
// dialogs answered from the arguments.
// The system's services come from main, which chose them, and so does the answer
// to what kind of terminal err is, where a progress bar is drawn.
int RunCommand(int argc, const char* const* argv, RunTime& runTime, ClassStore& classStore,
               std::ostream& out, std::ostream& err, Terminal errTerminal);

} // namespace tren::console
