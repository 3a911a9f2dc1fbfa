#include "platform/windows/RegistryClassStore.h"
#include "platform/windows/Win32RunTime.h"
#include "platform/windows/Win32Shell.h"
#include "win32/Win32Form.h"

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <string>

namespace {

// Everything after the program's own name, as one string. The registered command
// quotes the path ("%1"), so one pair of quotes around the whole is taken off.
std::string Argument(const char* line) {
    std::string rest = line ? line : "";
    std::size_t at = 0;
    if (!rest.empty() && rest[0] == '"') {
        const std::size_t close = rest.find('"', 1);
        at = close == std::string::npos ? rest.size() : close + 1;
    } else {
        while (at < rest.size() && rest[at] != ' ' && rest[at] != '\t')
            ++at;
    }
    while (at < rest.size() && (rest[at] == ' ' || rest[at] == '\t'))
        ++at;
    rest.erase(0, at);
    if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"')
        rest = rest.substr(1, rest.size() - 2);
    return rest;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    // The folder picker is a shell object.
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_PROGRESS_CLASS | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);

    // The Win32 window over Windows' services: the Win32 run-time, the registry
    // store of file types, and the shell's desktop and folder picker.
    tren::platform::Win32RunTime runTime;
    tren::platform::RegistryClassStore classStore;
    tren::platform::Win32Desktop desktop;
    tren::platform::ShellFolderPicker folderPicker;
    tren::win32::Win32Form window({runTime, classStore, desktop}, folderPicker);
    window.Create(instance);
    window.Load(Argument(::GetCommandLineA()));
    window.Show(show);

    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        // Tab and the arrow keys move between the controls, as in a dialog.
        if (::IsDialogMessageA(window.Handle(), &message))
            continue;
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    ::CoUninitialize();
    return static_cast<int>(message.wParam);
}
