#pragma once

#include "platform/Controls.h"

#include <windows.h>

// The program's pictures, from its own resources.
namespace tren::win32 {

// An icon picture at size × size pixels; the caller destroys it.
HICON LoadArtworkIcon(platform::Artwork picture, int size);
// A cursor picture, shared: never destroyed.
HCURSOR LoadArtworkCursor(platform::Artwork picture);

} // namespace tren::win32
