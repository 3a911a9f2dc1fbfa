#pragma once

#include "platform/Controls.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <string>
#include <utility>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QWidget;

// The control interfaces over Qt widgets. Paths stay byte strings on the form's
// side; they become QStrings only at the widget.
namespace tren::qt {

// The front end speaks the platform's interfaces throughout.
using namespace tren::platform;

// Answers for the modal dialogs instead of showing them, so that a test (or a
// later scripted front end) can drive the window. An empty hook shows the real
// dialog.
struct DialogHooks {
    std::function<OpenChoice(const std::string& dialogTitle, const std::string& filter)> ShowOpen;
    std::function<std::string(const std::string& title)> ChooseFolder;
    std::function<void(const std::string& text, MessageStyle style, const std::string& title)>
        MsgBox;
};

// File names in the local 8-bit encoding, so that a name's bytes survive the trip.
QString PathToQString(const std::string& path);
std::string PathFromQString(const QString& path);

// "All Files (*.*)|*.*" as Qt name filters. Each keeps its label and gets Qt
// patterns appended; the dialog is told to hide the appended part.
QStringList NameFiltersOf(const std::string& filter);

class QtWindow final : public Window {
  public:
    QtWindow(QWidget* owner, DialogHooks hooks) : owner_(owner), hooks_(std::move(hooks)) {}
    void MsgBox(const std::string& text, MessageStyle style, const std::string& title) override;
    std::string ChooseFolder(const std::string& title) override;

  private:
    QWidget* owner_;
    DialogHooks hooks_;
};

// The box holds a path. It shows a name that is not valid text as best it can,
// but gives back the very bytes it was given, as long as it shows them.
class QtTextBox final : public TextBox {
  public:
    explicit QtTextBox(QLineEdit* edit) : edit_(edit) {}
    std::string Text() const override;
    void SetText(const std::string& text) override;

  private:
    QLineEdit* edit_;
    std::string bytes_;
    QString shown_;
};

class QtListBox final : public ListBox {
  public:
    explicit QtListBox(QListWidget* list) : list_(list) {}
    void Clear() override;
    void AddItem(const std::string& text) override;

  private:
    QListWidget* list_;
};

class QtComboBox final : public ComboBox {
  public:
    explicit QtComboBox(QComboBox* combo);
    void AddItem(const std::string& text) override;
    int ListIndex() const override;
    void SetListIndex(int index) override;
    int ListCount() const override;
    std::string Text() const override;

  private:
    QComboBox* combo_;
};

// Keeps the form's float maximum; the widget shows values rounded.
class QtProgressBar final : public ProgressBar {
  public:
    explicit QtProgressBar(QProgressBar* bar);
    void SetMin(float value) override;
    void SetMax(float value) override;
    float Max() const override { return max_; }
    void SetValue(float value) override;

  private:
    QProgressBar* bar_;
    float max_;
};

class QtLabel final : public Label {
  public:
    explicit QtLabel(QLabel* label) : label_(label) {}
    std::string Caption() const override;
    void SetMousePointer(MousePointer pointer) override;
    void SetMouseIcon(Artwork picture) override;

  private:
    void ApplyPointer();

    QLabel* label_;
    MousePointer pointer_ = MousePointer::Default;
    Artwork icon_ = Artwork::HandCursor;
    bool iconSet_ = false;
};

// The desktop's default handler for an address: the browser, the mail program.
class QtDesktop final : public Desktop {
  public:
    std::int32_t OpenAddress(const std::string& address) override;
};

class QtCommonDialog final : public CommonDialog {
  public:
    QtCommonDialog(QWidget* owner, DialogHooks hooks) : owner_(owner), hooks_(std::move(hooks)) {}
    OpenChoice ShowOpen(const std::string& dialogTitle, const std::string& filter) override;

  private:
    QWidget* owner_;
    DialogHooks hooks_;
};

} // namespace tren::qt
