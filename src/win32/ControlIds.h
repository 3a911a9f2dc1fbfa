#pragma once

// The controls' identifiers in the main window, shared with the programs that
// drive the window in tests.
namespace tren::win32 {

// The window's caption is the form's (FormLayout::WindowCaption).
inline constexpr const char* MainWindowClass = "TrenMainWindow";

enum ControlId : int {
    IdTxtSrcFile = 101,
    IdFltbBuild = 102,
    IdFltbTren = 103,
    IdProgressBar1 = 104,
    IdCmbSize = 105,
    IdLstFiles = 106,
    IdLblLink = 107,
    IdLabel2 = 108,
    IdLabel1 = 109,
};

} // namespace tren::win32
