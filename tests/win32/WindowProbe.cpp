// Reads the state of the running tren.exe window for window_input_test.sh, which
// acts on it through the display server; it answers the dialogs a run opens. One
// question a run: prints its answer and exits 0, or 1 when the answer never came.
#include "win32/ControlIds.h"
#include "window/FormLayout.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace tren::win32;

const std::string caption(tren::FormLayout::WindowCaption);

template <class Condition> bool WaitFor(Condition condition, int seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

HWND Main() {
    return ::FindWindowA(MainWindowClass, caption.c_str());
}

std::string TextOf(HWND window) {
    char text[1024] = {};
    ::SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

std::string Narrow(const wchar_t* wide) {
    char text[2048] = {};
    ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    return text;
}

// A visible dialog of the window's process: a message box, the open dialog or the
// folder picker.
HWND Dialog() {
    DWORD process = 0;
    ::GetWindowThreadProcessId(Main(), &process);
    for (HWND w = ::FindWindowExA(nullptr, nullptr, "#32770", nullptr); w;
         w = ::FindWindowExA(nullptr, w, "#32770", nullptr)) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(w, &owner);
        if (owner == process && ::IsWindowVisible(w))
            return w;
    }
    return nullptr;
}

// Cross-process list texts come back wide under Wine.
std::vector<std::string> ListLines() {
    const HWND list = ::GetDlgItem(Main(), IdLstFiles);
    std::vector<std::string> lines;
    for (LRESULT i = 0; i < ::SendMessageW(list, LB_GETCOUNT, 0, 0); ++i) {
        wchar_t line[1024] = {};
        ::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(line));
        lines.push_back(Narrow(line));
    }
    return lines;
}

// The system's message font, which the window's controls use.
HFONT MessageFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    return ::CreateFontIndirectW(&metrics.lfMessageFont);
}

int Run(const std::vector<std::string>& args) {
    const std::string& question = args.at(0);
    const auto id = [&] { return ::GetDlgItem(Main(), std::atoi(args.at(1).c_str())); };
    if (question == "window") // made, even when a box comes before it
        return WaitFor([] { return Main() != nullptr; }, 60) ? 0 : 1;
    if (question == "shown")
        return WaitFor([] { return ::IsWindowVisible(Main()) != FALSE; }, 60) ? 0 : 1;
    if (question == "rect") { // a control's place on the screen
        RECT at{};
        ::GetWindowRect(id(), &at);
        std::printf("%ld %ld %ld %ld\n", at.left, at.top, at.right, at.bottom);
    } else if (question == "text") {
        std::printf("%s\n", TextOf(id()).c_str());
    } else if (question == "layout") {
        // Each control where the form has it, in twips scaled alike by the font (the
        // list gives the scale; a combo box's height is its list's): those that are not.
        namespace Layout = tren::FormLayout;
        RECT at{};
        ::GetWindowRect(::GetDlgItem(Main(), IdLstFiles), &at);
        const double x = (at.right - at.left) / double(Layout::lstFiles.At.Width),
                     y = (at.bottom - at.top) / double(Layout::lstFiles.At.Height);
        for (std::size_t i = 0; i < Layout::Controls.size(); ++i) {
            const Layout::Twips& drawn = Layout::Controls[i].At;
            const int control = IdTxtSrcFile + static_cast<int>(i);
            ::GetWindowRect(::GetDlgItem(Main(), control), &at);
            ::MapWindowPoints(nullptr, Main(), reinterpret_cast<POINT*>(&at), 2);
            const auto matches = [](double a, double b) { return std::abs(a - b) <= 1.5; };
            if (!matches(at.left, drawn.Left * x) || !matches(at.top, drawn.Top * y) ||
                !matches(at.right - at.left, drawn.Width * x) ||
                (control != IdCmbSize && !matches(at.bottom - at.top, drawn.Height * y)))
                std::printf("%s at %ld %ld %ld %ld\n", Layout::Controls[i].Name, at.left, at.top,
                            at.right, at.bottom);
        }
    } else if (question == "registered") { // a key's value under the user's classes
        char value[1024] = "(missing)";
        DWORD size = sizeof value;
        ::RegGetValueA(HKEY_CURRENT_USER, ("Software\\Classes\\" + args.at(1)).c_str(), nullptr,
                       RRF_RT_REG_SZ, nullptr, value, &size);
        std::printf("%s\n", value);
    } else if (question == "size-list") {
        // The open list of the size box hangs below the box: where it starts, and
        // the height of its entries.
        const HWND sizes = ::GetDlgItem(Main(), IdCmbSize);
        if (!WaitFor([&] { return ::SendMessageA(sizes, CB_GETDROPPEDSTATE, 0, 0) != 0; }, 10))
            return 1;
        RECT at{};
        ::GetWindowRect(sizes, &at);
        std::printf("%ld %ld %ld\n", at.left, at.bottom,
                    static_cast<long>(::SendMessageA(sizes, CB_GETITEMHEIGHT, 0, 0)));
    } else if (question == "focus") { // the id of the control with the keyboard focus
        GUITHREADINFO thread{};
        thread.cbSize = sizeof thread;
        ::GetGUIThreadInfo(::GetWindowThreadProcessId(Main(), nullptr), &thread);
        HWND focus = thread.hwndFocus;
        if (focus && ::GetParent(focus) != Main()) // the size box's field
            focus = ::GetParent(focus);
        std::printf("%d\n", focus ? ::GetDlgCtrlID(focus) : 0);
    } else if (question == "list") { // the list's lines once it ends with the line given
        const std::string last = args.size() > 1 ? args[1] : "";
        WaitFor(
            [&] {
                const auto lines = ListLines();
                return last.empty() || (!lines.empty() && lines.back() == last);
            },
            60);
        for (const std::string& line : ListLines())
            std::printf("%s\n", line.c_str());
    } else if (question == "hscroll") {
        // How far the list scrolls sideways, and how wide its widest line is.
        const HWND list = ::GetDlgItem(Main(), IdLstFiles);
        const HDC dc = ::GetDC(nullptr);
        const HFONT font = MessageFont();
        const HGDIOBJ old = ::SelectObject(dc, font);
        long widest = 0;
        for (const std::string& line : ListLines()) {
            SIZE size{};
            ::GetTextExtentPoint32A(dc, line.c_str(), static_cast<int>(line.size()), &size);
            widest = std::max(widest, size.cx);
        }
        ::SelectObject(dc, old);
        ::DeleteObject(font);
        ::ReleaseDC(nullptr, dc);
        RECT client{};
        ::GetClientRect(list, &client);
        std::printf("%ld %ld %ld\n",
                    static_cast<long>(::SendMessageA(list, LB_GETHORIZONTALEXTENT, 0, 0)), widest,
                    client.right);
    } else if (question == "dialog") { // waits for a dialog: its caption and text
        if (!WaitFor([] { return Dialog() != nullptr; },
                     args.size() > 1 ? std::atoi(args[1].c_str()) : 60))
            return 1;
        std::printf("%s: %s\n", TextOf(Dialog()).c_str(),
                    TextOf(::GetDlgItem(Dialog(), 0xffff)).c_str());
    } else if (question == "answer") {
        // Answers the dialog with OK (a path typed in as the file's name) or Cancel.
        if (!WaitFor([] { return Dialog() != nullptr; }, 60))
            return 1;
        const HWND dialog = Dialog();
        if (args.size() > 2)
            ::SetDlgItemTextA(dialog, 0x47c, args[2].c_str());
        ::PostMessageA(dialog, WM_COMMAND, args.at(1) == "ok" ? IDOK : IDCANCEL, 0);
        return WaitFor([&] { return !::IsWindowVisible(dialog); }, 60) ? 0 : 1;
    } else {
        std::fprintf(stderr, "window-probe: unknown question %s\n", question.c_str());
        return 2;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    return Run({argv + 1, argv + argc});
}
