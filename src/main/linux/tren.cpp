#include "platform/linux/FreedesktopClassStore.h"
#include "platform/linux/PosixRunTime.h"
#include "platform/linux/TypeIcons.h"
#include "qt/QtForm.h"
#include "qt/QtStateDump.h"

#include <QApplication>
#include <QString>

#include <string>

int main(int argc, char* argv[]) {
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
