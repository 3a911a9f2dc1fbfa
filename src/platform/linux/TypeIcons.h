#pragma once

#include "platform/linux/FreedesktopClassStore.h"

#include <vector>

namespace tren::platform {

// The window's icon at the icon theme's sizes, for the file type.
std::vector<ThemeIcon> TypeIcons();

} // namespace tren::platform
