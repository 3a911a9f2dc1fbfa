#include "platform/qt/QtForm.h"

#include <QApplication>
#include <QString>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // Qt's own folders and settings are named after it.
    QApplication::setApplicationName(QStringLiteral("tren"));

    tren::platform::QtForm window;
    window.show();
    return QApplication::exec();
}
