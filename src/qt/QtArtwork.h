#pragma once

#include "platform/Controls.h"

#include <QCursor>
#include <QIcon>

namespace tren::qt {

// The front end speaks the platform's interfaces throughout.
using namespace tren::platform;

// The program's pictures as Qt draws them, from the compiled-in resources.
QIcon IconOf(Artwork picture);
// A picture used as a mouse pointer, with its hot spot.
QCursor CursorOf(Artwork picture);

} // namespace tren::qt
