#pragma once

#include "platform/linux/FreedesktopClassStore.h"

#include <vector>

namespace tren::platform {

// The program's icon and its file type's document icon at the icon theme's sizes.
std::vector<ThemeIcon> TypeIcons();

} // namespace tren::platform
