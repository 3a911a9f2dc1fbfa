#include "qt/QtArtwork.h"

#include <QPixmap>
#include <QString>

// Resources compiled into a static library are linked only when asked for by
// name, and Q_INIT_RESOURCE must be called outside any namespace.
static void LinkArtwork() {
    static const bool linked = [] {
        Q_INIT_RESOURCE(artwork);
        return true;
    }();
    (void)linked;
}

namespace tren::qt {

// The front end speaks the platform's interfaces throughout.
using namespace tren::platform;

QIcon IconOf(Artwork picture) {
    LinkArtwork();
    QIcon icon;
    switch (picture) {
    case Artwork::WindowIcon:
        for (int size : {16, 32, 48, 64, 128})
            icon.addFile(QStringLiteral(":/art/tren-%1.png").arg(size), QSize(size, size));
        break;
    case Artwork::BuildPicture:
        icon.addFile(QStringLiteral(":/art/build-32.png"), QSize(32, 32));
        break;
    case Artwork::TrenPicture:
        icon.addFile(QStringLiteral(":/art/tren-picture-16.png"), QSize(16, 16));
        icon.addFile(QStringLiteral(":/art/tren-picture-32.png"), QSize(32, 32));
        break;
    case Artwork::HandCursor:
        icon.addFile(QStringLiteral(":/art/hand-cursor.png"), QSize(32, 32));
        break;
    }
    return icon;
}

QCursor CursorOf(Artwork picture) {
    LinkArtwork();
    if (picture == Artwork::HandCursor)
        return QCursor(QPixmap(QStringLiteral(":/art/hand-cursor.png")), 5, 0); // the fingertip
    return QCursor(IconOf(picture).pixmap(32, 32), 0, 0);
}

} // namespace tren::qt
