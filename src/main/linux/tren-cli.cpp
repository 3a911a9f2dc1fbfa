#include "console/ConsoleCommand.h"
#include "console/ConsoleControls.h"
#include "platform/linux/FreedesktopClassStore.h"
#include "platform/linux/PosixRunTime.h"
#include "platform/linux/TypeIcons.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <iostream>
#include <unistd.h>

int main(int argc, char** argv) {
    // A reader that goes away must not end a run half done: the write fails
    // instead, and the run reports it once the set or the file is finished.
    std::signal(SIGPIPE, SIG_IGN);
    // A closed standard stream would lend its number to the first file opened, and
    // lines meant for it would land in that file. /dev/null, read-only, holds the
    // number: writes to it fail and are reported.
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd)
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF && ::open("/dev/null", O_RDONLY) != fd)
            return tren::console::Failed;
    // The console over Linux's services.
    tren::platform::PosixRunTime runTime;
    auto classStore = tren::platform::FreedesktopClassStore::FromEnvironment(
        runTime.HomeFolder(), tren::platform::TypeIcons());
    return tren::console::RunCommand(argc, argv, runTime, classStore, std::cout, std::cerr,
                                     ::isatty(STDERR_FILENO) == 1
                                         ? tren::console::Terminal::EscapeCodes
                                         : tren::console::Terminal::None);
}
