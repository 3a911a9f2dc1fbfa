#include "shell/MFolderBrowse.h"

#include "platform/Controls.h"

namespace tren::MFolderBrowse {

std::string BrowseForFolder(platform::Window& ownerWindow, const std::string& title) {
    std::string path = ownerWindow.ChooseFolder(title);
    // A path comes back from the shell in a NUL-terminated buffer on some systems.
    if (const auto nul = path.find('\0'); nul != std::string::npos)
        path.resize(nul);
    return path;
}

} // namespace tren::MFolderBrowse
