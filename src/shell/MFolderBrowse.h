#pragma once

#include <string>

namespace tren::platform {
class Window;
}

namespace tren::MFolderBrowse {

// A modal choice, owned by ownerWindow, restricted to folders of the file system.
// Returns the chosen folder's path, or "" when the user chose none; it never
// substitutes a default, each caller has its own.
std::string BrowseForFolder(platform::Window& ownerWindow, const std::string& title);

} // namespace tren::MFolderBrowse
