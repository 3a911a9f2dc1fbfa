#pragma once

#include "platform/Controls.h"

#include <windows.h>

#include <functional>
#include <string>

// The form's controls over Win32 controls: each holds the handle of its control,
// given once the window has made it.
namespace tren::win32 {

using namespace tren::platform;

class Win32Window final : public Window {
  public:
    explicit Win32Window(FolderPicker& folderPicker) : folderPicker_(folderPicker) {}
    HWND Handle = nullptr;
    // Message boxes with MessageBoxA, one OK button.
    void MsgBox(const std::string& text, MessageStyle style, const std::string& title) override;
    // The system's folder picker, owned by this window.
    std::string ChooseFolder(const std::string& title) override;

  private:
    FolderPicker& folderPicker_;
};

class Win32TextBox final : public TextBox {
  public:
    HWND Handle = nullptr;
    std::string Text() const override;
    void SetText(const std::string& text) override;
};

// Scrolls sideways as far as its widest line reaches, so that a long path's
// piece number and size can be seen.
class Win32ListBox final : public ListBox {
  public:
    HWND Handle = nullptr;
    void Clear() override;
    void AddItem(const std::string& text) override;
    // Measures every line again, in the list's font of now.
    void FitWidth();

  private:
    void Widen(const std::string& text);
    int widest_ = 0;
};

// A drop-down list with an editable field. Choosing an entry raises the click
// event; typed text neither adds nor chooses one, and goes once the box loses
// the focus, so that the box always shows the size a run cuts with.
class Win32ComboBox final : public ComboBox {
  public:
    HWND Handle = nullptr;
    void AddItem(const std::string& text) override;
    int ListIndex() const override;
    void SetListIndex(int index) override;
    int ListCount() const override;
    // While a choice is raised, the chosen entry's text: the field still holds
    // the one before when the system tells of the new selection.
    std::string Text() const override;
    // The user chose an entry from the list.
    void Chosen();
    // Puts the chosen entry's text back in the field over whatever was typed.
    void ShowChosen();

  private:
    std::string EntryText(int index) const;
    bool choosing_ = false;
    // The entry last chosen; the list's own selection may follow the typing.
    int chosen_ = -1;
};

// Keeps the form's float range; the control shows values rounded. Each new value
// is drawn at once, together with whatever else of the window waits to be drawn,
// without taking any input.
class Win32ProgressBar final : public ProgressBar {
  public:
    HWND Handle = nullptr;
    HWND Window = nullptr;
    void SetMin(float value) override;
    void SetMax(float value) override;
    float Max() const override { return max_; }
    void SetValue(float value) override;

  private:
    void SetRange();
    float min_ = 0;
    float max_ = 100;
};

// The open dialog, GetOpenFileNameA: it leaves the chosen file's folder as the
// current directory.
class Win32CommonDialog final : public CommonDialog {
  public:
    HWND Owner = nullptr;
    OpenChoice ShowOpen(const std::string& dialogTitle, const std::string& filter) override;
};

class Win32Label final : public Label {
  public:
    HWND Handle = nullptr;
    std::string Caption() const override;
    void SetMousePointer(MousePointer pointer) override { pointer_ = pointer; }
    void SetMouseIcon(Artwork picture) override;
    // The cursor to show over the label, or nullptr for the class's own.
    HCURSOR Cursor() const;

  private:
    MousePointer pointer_ = MousePointer::Default;
    HCURSOR icon_ = nullptr;
};

// The text of a window, read through the narrow entry point.
std::string WindowText(HWND window);

} // namespace tren::win32
