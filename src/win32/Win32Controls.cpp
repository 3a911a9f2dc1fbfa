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
    ::MessageBoxA(Handle, text.c_str(), title.empty() ? ApplicationTitle : title.c_str(),
                  MB_OK | static_cast<UINT>(style));
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
}

void Win32ListBox::AddItem(const std::string& text) {
    const LRESULT index =
        ::SendMessageA(Handle, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    // The newest line stays in sight.
    if (index >= 0)
        ::SendMessageA(Handle, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
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
    RaiseClick();
}

int Win32ComboBox::ListCount() const {
    return static_cast<int>(::SendMessageA(Handle, CB_GETCOUNT, 0, 0));
}

std::string Win32ComboBox::Text() const {
    return WindowText(Handle);
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
