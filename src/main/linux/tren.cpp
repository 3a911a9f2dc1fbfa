#include "platform/linux/FreedesktopClassStore.h"
#include "platform/linux/PosixRunTime.h"
#include "platform/linux/TypeIcons.h"
#include "qt/QtForm.h"
#include "qt/QtStateDump.h"

#include <QApplication>
#include <QString>

#include <cstdio>
#include <string>

namespace {

constexpr const char* Usage =
    "Usage: tren [HEADER]\n"
    "Cut a file into pieces that fit on removable media, and build it again.\n"
    "\n"
    "Without an argument the window opens, and the .tr0 file type is registered\n"
    "for you. With one, everything after the program's name is one path, blanks\n"
    "included: the header piece (.tr0) of a set, which is built at once; its\n"
    "pieces are looked for beside it.\n"
    "\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n"
    "\n"
    "tren-cli cuts and builds from the command line: see tren-cli --help.\n";

// --help and --version, the convention here, unless a file of that very name is
// the set to build.
bool AnswersOption(const std::string& command, tren::platform::RunTime& runTime) {
    if (command != "--help" && command != "--version")
        return false;
    if (runTime.Examine(command).Kind != tren::platform::EntryKind::Missing)
        return false;
    std::fputs(command == "--help" ? Usage : "tren " TREN_VERSION "\n", stdout);
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    {
        tren::platform::PosixRunTime runTime;
        if (argc == 2 && AnswersOption(argv[1], runTime))
            return std::fflush(stdout) == 0 ? 0 : 1;
    }
    QApplication app(argc, argv);
    // Qt's own folders and settings are named after it.
    QApplication::setApplicationName(QStringLiteral("tren"));

    // Everything after the program's name is one path, blanks and all; QApplication
    // has taken out the arguments that were its own.
    std::string command;
    for (int i = 1; i < argc; ++i)
        command += (i > 1 ? " " : "") + std::string(argv[i]);

    // The Qt window over Linux's services: the POSIX run-time and the
    // freedesktop store of file types in the user's own folders.
    tren::platform::PosixRunTime runTime;
    auto classStore = tren::platform::FreedesktopClassStore::FromEnvironment(
        runTime.HomeFolder(), tren::platform::TypeIcons());
    tren::qt::QtForm window(runTime, classStore);
    // Tests that drive the window through the display read what it shows here.
    if (const QString dump = qEnvironmentVariable("TREN_STATE_DUMP"); !dump.isEmpty())
        tren::qt::DumpStateOnChange(window, dump);
    window.Load(command);
    window.show();
    return QApplication::exec();
}
