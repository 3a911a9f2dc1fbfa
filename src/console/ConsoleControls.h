#pragma once

#include "platform/Controls.h"

#include <iosfwd>
#include <string>
#include <vector>

// The window's controls for a terminal: the file list goes to standard output, the
// message boxes and the progress bar to standard error, and the dialogs are
// answered from the command line.
namespace tren::console {

// The front end speaks the platform's interfaces throughout.
using namespace tren::platform;

// What the bar's stream is: a terminal that takes escape sequences, a console
// that shows every byte it gets (Windows' own), or no terminal at all.
enum class Terminal {
    None,
    PlainConsole,
    EscapeCodes,
};

// Draws itself on a terminal only; otherwise it just keeps its values. The bar
// has its line to itself: whoever writes a line first clears it.
class ConsoleProgressBar final : public ProgressBar {
  public:
    ConsoleProgressBar(std::ostream& terminal, Terminal kind) : terminal_(terminal), kind_(kind) {}
    void SetMin(float value) override { min_ = value; }
    void SetMax(float value) override { max_ = value; }
    float Max() const override { return max_; }
    void SetValue(float value) override;
    // Wipes the bar, if drawn, leaving the cursor at the start of its line; the
    // next value draws it again.
    void Clear();

  private:
    std::ostream& terminal_;
    Terminal kind_;
    // The columns the drawn bar takes; none when it is not drawn.
    std::size_t drawnWidth_ = 0;
    float min_ = 0;
    float max_ = 100;
};

// "tren-cli: FILE: TITLE: TEXT", or "tren-cli: TITLE: TEXT" when no file applies;
// an empty title is the application's.
std::string MessageLine(const std::string& file, const std::string& title, const std::string& text);

class ConsoleWindow final : public Window {
  public:
    ConsoleWindow(std::ostream& messages, std::string folder, ConsoleProgressBar& bar)
        : messages_(messages), folder_(std::move(folder)), bar_(bar) {}
    void MsgBox(const std::string& text, MessageStyle style, const std::string& title) override;
    void MsgBoxAbout(const std::string& file, const std::string& text, MessageStyle style,
                     const std::string& title) override;
    std::string ChooseFolder(const std::string& title) override;

  private:
    std::ostream& messages_;
    std::string folder_;
    ConsoleProgressBar& bar_;
};

class ConsoleTextBox final : public TextBox {
  public:
    std::string Text() const override { return text_; }
    void SetText(const std::string& text) override { text_ = text; }

  private:
    std::string text_;
};

// Quiet, it lists nothing. A line that cannot be written never stops the run.
class ConsoleListBox final : public ListBox {
  public:
    ConsoleListBox(std::ostream& lines, ConsoleProgressBar& bar, bool quiet)
        : lines_(lines), bar_(bar), quiet_(quiet) {}
    void Clear() override {}
    void AddItem(const std::string& text) override;

  private:
    std::ostream& lines_;
    ConsoleProgressBar& bar_;
    bool quiet_;
};

class ConsoleComboBox final : public ComboBox {
  public:
    void AddItem(const std::string& text) override { entries_.push_back(text); }
    int ListIndex() const override { return index_; }
    void SetListIndex(int index) override;
    int ListCount() const override { return static_cast<int>(entries_.size()); }
    std::string Text() const override;

  private:
    std::vector<std::string> entries_;
    int index_ = -1;
};

class ConsoleLabel final : public Label {
  public:
    explicit ConsoleLabel(std::string caption) : caption_(std::move(caption)) {}
    std::string Caption() const override { return caption_; }
    // A terminal has no mouse pointer to change.
    void SetMousePointer(MousePointer) override {}
    void SetMouseIcon(Artwork) override {}

  private:
    std::string caption_;
};

// A terminal opens no addresses; nothing on it can be clicked.
class ConsoleDesktop final : public Desktop {
  public:
    std::int32_t OpenAddress(const std::string&) override { return NoAssociation; }
};

// The open dialog answered with the path given on the command line.
class ConsoleDialog final : public CommonDialog {
  public:
    explicit ConsoleDialog(std::string path) : path_(std::move(path)) {}
    OpenChoice ShowOpen(const std::string& dialogTitle, const std::string& filter) override;

  private:
    std::string path_;
};

} // namespace tren::console
