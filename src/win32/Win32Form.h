#pragma once

#include "win32/Win32Controls.h"
#include "window/frmTren.h"

#include <windows.h>

#include <string>
#include <string_view>

namespace tren::win32 {

// The main window in plain Win32: its controls at the places the form was drawn
// with, handed to frmTren, whose handlers run from the controls' notifications.
class Win32Form {
  public:
    // The system's services come from main, which chose them: those the form's
    // handlers use, and the folder picker.
    Win32Form(FormServices services, FolderPicker& folderPicker);
    Win32Form(const Win32Form&) = delete;
    Win32Form& operator=(const Win32Form&) = delete;
    ~Win32Form();

    // Makes the window and its controls, still hidden.
    void Create(HINSTANCE instance);
    // Start-up, before the window is first shown: command is everything after the
    // program's name.
    void Load(const std::string& command) { form_.Form_Load(command); }
    void Show(int how);
    HWND Handle() const { return window_.Handle; }
    frmTren& Form() { return form_; }

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM w, LPARAM l);
    LRESULT Handle(UINT message, WPARAM w, LPARAM l);
    void OnCommand(int id, int code);
    // Runs a handler that may start a run, then drops the input and the drops that
    // arrived meanwhile: the window took none while the run held it. One that
    // comes while a run is going on (a dialog of the run's lets messages through)
    // is not started.
    template <class Handler> void RunOperation(Handler handler);
    void DropFiles(HDROP drop);
    // Fonts and places for the window's DPI and the font it uses.
    void LayOut(UINT dpi);
    void DrawFlatButton(const DRAWITEMSTRUCT& item);

    HWND Item(int id) const;
    void AddTooltip(HWND control, std::string_view text);

    Win32Window window_;
    Win32TextBox textBox_;
    Win32ComboBox comboBox_;
    Win32ListBox listBox_;
    Win32ProgressBar progressBar_;
    Win32CommonDialog commonDialog_;
    Win32Label label_;
    frmTren form_;

    HWND fltbBuild_ = nullptr;
    HWND fltbTren_ = nullptr;
    HWND label1_ = nullptr;
    HWND label2_ = nullptr;
    HWND tooltips_ = nullptr;
    HFONT windowFont_ = nullptr;
    HFONT buttonFont_ = nullptr;
    HICON buildPicture_ = nullptr;
    HICON trenPicture_ = nullptr;
    HBRUSH background_ = nullptr;
    // The flat button the mouse is over, drawn raised.
    HWND hotButton_ = nullptr;
    UINT dpi_ = 96;
    bool running_ = false;
};

} // namespace tren::win32
