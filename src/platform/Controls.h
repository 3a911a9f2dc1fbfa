#pragma once

#include <cstdint>
#include <functional>
#include <string>

// The controls of the main window as the handlers see them. Each backend (the Qt
// and Win32 windows, the console, a test's script) implements them; the handlers never know
// which one they drive.
namespace tren::platform {

// Message box style codes: the icon; there is always one OK button.
enum class MessageStyle : int {
    OkOnly = 0,
    Critical = 16,
    Exclamation = 48,
    Information = 64,
};

// Untitled message boxes carry the application's title.
inline constexpr const char* ApplicationTitle = "tren";

class Window {
  public:
    virtual ~Window() = default;
    // Modal. An empty title means the application's title.
    virtual void MsgBox(const std::string& text, MessageStyle style, const std::string& title) = 0;
    // A message about one file (a path). A message box shows the text alone; a
    // window that writes its messages as lines names the file too.
    virtual void MsgBoxAbout(const std::string& file, const std::string& text, MessageStyle style,
                             const std::string& title) {
        (void)file;
        MsgBox(text, style, title);
    }
    // Modal choice of an existing folder; "" when the user chose none.
    virtual std::string ChooseFolder(const std::string& title) = 0;
};

// A system's own window, as the system names it (a HWND on Windows).
using NativeWindow = void*;

// The system's folder picker, for a window whose toolkit has none: its main hands
// it over.
class FolderPicker {
  public:
    virtual ~FolderPicker() = default;
    // Modal to owner; "" when the user chose none.
    virtual std::string ChooseFolder(NativeWindow owner, const std::string& title) = 0;
};

// The program's pictures, drawn once and carried by every backend.
enum class Artwork { WindowIcon, BuildPicture, TrenPicture, HandCursor };

enum class MousePointer : int {
    Default = 0,
    Custom = 99, // the control's own MouseIcon
};

// An invisible control that only carries a picture.
struct Image {
    Artwork Picture;
};

class Label {
  public:
    virtual ~Label() = default;
    virtual std::string Caption() const = 0;
    virtual void SetMousePointer(MousePointer pointer) = 0;
    virtual void SetMouseIcon(Artwork picture) = 0;
};

// Hands an address to the desktop, which opens it with the user's own program.
class Desktop {
  public:
    virtual ~Desktop() = default;
    // Above 32 when the address was handed on, an error code otherwise.
    virtual std::int32_t OpenAddress(const std::string& address) = 0;
};

// Results of Desktop::OpenAddress, as the shell numbers them.
inline constexpr std::int32_t AddressOpened = 42;
inline constexpr std::int32_t NoAssociation = 31;

class TextBox {
  public:
    virtual ~TextBox() = default;
    virtual std::string Text() const = 0;
    virtual void SetText(const std::string& text) = 0;
};

class ListBox {
  public:
    virtual ~ListBox() = default;
    virtual void Clear() = 0;
    virtual void AddItem(const std::string& text) = 0;
};

// A drop-down list with an editable text field. Choosing an entry, by the user or
// by SetListIndex, raises the click event; typing into the field raises nothing.
class ComboBox {
  public:
    virtual ~ComboBox() = default;
    virtual void AddItem(const std::string& text) = 0;
    virtual int ListIndex() const = 0;
    virtual void SetListIndex(int index) = 0;
    virtual int ListCount() const = 0;
    virtual std::string Text() const = 0;

    void OnClick(std::function<void()> handler) { clickHandler_ = std::move(handler); }

  protected:
    void RaiseClick() {
        if (clickHandler_)
            clickHandler_();
    }

  private:
    std::function<void()> clickHandler_;
};

class ProgressBar {
  public:
    virtual ~ProgressBar() = default;
    virtual void SetMin(float value) = 0;
    virtual void SetMax(float value) = 0;
    virtual float Max() const = 0;
    virtual void SetValue(float value) = 0;
};

struct OpenChoice {
    std::string FileName;  // the full path, "" when the user cancelled
    std::string FileTitle; // the chosen file's name without its folder
};

class CommonDialog {
  public:
    virtual ~CommonDialog() = default;
    // filter is "label|pattern", as "Tren Files (*.tr0)|*.tr0".
    virtual OpenChoice ShowOpen(const std::string& dialogTitle, const std::string& filter) = 0;
};

} // namespace tren::platform
