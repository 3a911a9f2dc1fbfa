#include "win32/Win32Controls.h"

#include "win32/Win32Artwork.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cmath>
#include <vector>

namespace tren::win32 {

std::string WindowText(HWND window) {
    const int length = ::GetWindowTextLengthA(window);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int got = ::GetWindowTextA(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return text;
}

void Win32Window::MsgBox(const std::string& text, MessageStyle style, const std::string& title) {
    // Before the window is first shown (a set built from the command line), the
    // box has no owner and stands in the middle of the screen, not of a window
    // nobody sees.
    const HWND owner = ::IsWindowVisible(Handle) ? Handle : nullptr;
    ::MessageBoxA(owner, text.c_str(), title.empty() ? ApplicationTitle : title.c_str(),
                  MB_OK | static_cast<UINT>(style) | (owner ? 0 : MB_TASKMODAL));
}

std::string Win32Window::ChooseFolder(const std::string& title) {
    return folderPicker_.ChooseFolder(Handle, title);
}

std::string Win32TextBox::Text() const {
    return WindowText(Handle);
}

void Win32TextBox::SetText(const std::string& text) {
    ::SetWindowTextA(Handle, text.c_str());
}

void Win32ListBox::Clear() {
    ::SendMessageA(Handle, LB_RESETCONTENT, 0, 0);
    widest_ = 0;
    ::SendMessageA(Handle, LB_SETHORIZONTALEXTENT, 0, 0);
}

void Win32ListBox::AddItem(const std::string& text) {
    const LRESULT index =
        ::SendMessageA(Handle, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    Widen(text);
    // The newest line stays in sight.
    if (index >= 0)
        ::SendMessageA(Handle, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
}

void Win32ListBox::Widen(const std::string& text) {
    const HDC dc = ::GetDC(Handle);
    const HGDIOBJ old =
        ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageA(Handle, WM_GETFONT, 0, 0)));
    // Measured wide: the narrow text is UTF-8, which GDI's narrow calls may not take.
    const int length =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                          length);
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, wide.c_str(), length, &extent);
    ::SelectObject(dc, old);
    ::ReleaseDC(Handle, dc);
    // The list draws its lines a few pixels in from its edge.
    const int width = extent.cx + 2 * ::GetSystemMetrics(SM_CXEDGE) + 4;
    if (width > widest_) {
        widest_ = width;
        ::SendMessageA(Handle, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest_), 0);
    }
}

void Win32ListBox::FitWidth() {
    widest_ = 0;
    const LRESULT count = ::SendMessageA(Handle, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = ::SendMessageA(Handle, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        if (length < 0)
            continue;
        std::string line(static_cast<std::size_t>(length) + 1, '\0');
        ::SendMessageA(Handle, LB_GETTEXT, static_cast<WPARAM>(i),
                       reinterpret_cast<LPARAM>(line.data()));
        line.resize(static_cast<std::size_t>(length));
        Widen(line);
    }
    ::SendMessageA(Handle, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest_), 0);
}

void Win32ComboBox::AddItem(const std::string& text) {
    ::SendMessageA(Handle, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

int Win32ComboBox::ListIndex() const {
    return static_cast<int>(::SendMessageA(Handle, CB_GETCURSEL, 0, 0));
}

void Win32ComboBox::SetListIndex(int index) {
    // Setting the selection sends no notification: the click is raised here, as
    // the user's choice raises it.
    ::SendMessageA(Handle, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    chosen_ = index;
    RaiseClick();
}

int Win32ComboBox::ListCount() const {
    return static_cast<int>(::SendMessageA(Handle, CB_GETCOUNT, 0, 0));
}

std::string Win32ComboBox::EntryText(int index) const {
    const LRESULT length = ::SendMessageA(Handle, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length < 0)
        return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    ::SendMessageA(Handle, CB_GETLBTEXT, static_cast<WPARAM>(index),
                   reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

std::string Win32ComboBox::Text() const {
    if (choosing_)
        if (const int index = ListIndex(); index >= 0)
            return EntryText(index);
    return WindowText(Handle);
}

void Win32ComboBox::Chosen() {
    chosen_ = ListIndex();
    choosing_ = true;
    RaiseClick();
    choosing_ = false;
}

void Win32ComboBox::ShowChosen() {
    if (chosen_ >= 0 && (ListIndex() != chosen_ || WindowText(Handle) != EntryText(chosen_)))
        ::SendMessageA(Handle, CB_SETCURSEL, static_cast<WPARAM>(chosen_), 0);
}

void Win32ProgressBar::SetRange() {
    ::SendMessageA(Handle, PBM_SETRANGE32, static_cast<WPARAM>(std::lround(min_)),
                   static_cast<LPARAM>(std::lround(max_)));
}

void Win32ProgressBar::SetMin(float value) {
    min_ = value;
    SetRange();
}

void Win32ProgressBar::SetMax(float value) {
    max_ = value;
    SetRange();
}

void Win32ProgressBar::SetValue(float value) {
    ::SendMessageA(Handle, PBM_SETPOS, static_cast<WPARAM>(std::lround(value)), 0);
    // The run holds the thread: paint what waits now, so the bar is seen to move,
    // and leave every input message queued.
    ::RedrawWindow(Window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

OpenChoice Win32CommonDialog::ShowOpen(const std::string& dialogTitle, const std::string& filter) {
    // "label|pattern" becomes "label\0pattern\0\0".
    std::string filters = filter;
    for (char& c : filters)
        if (c == '|')
            c = '\0';
    filters.append(2, '\0');
    std::vector<char> file(32768, '\0');
    std::vector<char> title(MAX_PATH + 1, '\0');
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = Owner;
    dialog.lpstrFilter = filters.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrFileTitle = title.data();
    dialog.nMaxFileTitle = static_cast<DWORD>(title.size());
    dialog.lpstrTitle = dialogTitle.c_str();
    // Without OFN_NOCHANGEDIR: the chosen file's folder becomes the current
    // directory, which building relies on.
    dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (!::GetOpenFileNameA(&dialog))
        return {};
    return {file.data(), title.data()};
}

std::string Win32Label::Caption() const {
    return WindowText(Handle);
}

void Win32Label::SetMouseIcon(Artwork picture) {
    icon_ = LoadArtworkCursor(picture);
}

HCURSOR Win32Label::Cursor() const {
    return pointer_ == MousePointer::Custom && icon_ ? icon_ : nullptr;
}

} // namespace tren::win32
