#pragma once

#include "qt/QtControls.h"
#include "window/frmTren.h"

#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QByteArray;
class QComboBox;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;

namespace tren::qt {

// The front end speaks the platform's interfaces throughout.
using namespace tren::platform;

class FlatButton;
class LinkLabel;

// The main window: its controls at the places the form was drawn with, handed to
// frmTren, whose handlers run from the controls' events.
class QtForm final : public QWidget {
    Q_OBJECT

  public:
    // The system's services come from main, which chose them.
    QtForm(RunTime& runTime, ClassStore& classStore, DialogHooks hooks = {},
           QWidget* parent = nullptr);
    ~QtForm() override;

    frmTren& Form() { return form_; }
    // Start-up, before the window is first shown: command is everything after the
    // program's name.
    void Load(const std::string& command);

    // True from a handler's start to its end: a run, its dialogs and its boxes.
    bool Running() const { return running_; }

  Q_SIGNALS:
    void runningChanged(bool running);

  protected:
    // A new font places the controls anew.
    void changeEvent(QEvent* event) override;
    // One local file dropped takes the road of its button.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    // Runs a handler with the window deaf to input: what is typed or clicked on
    // it meanwhile is dropped, not delivered once the handler is done.
    void Run(const std::function<void()>& handler);
    // Places the controls, and sizes the window, for the font it uses.
    void LayOut();

    // Declared before the form, which keeps references.
    RunTime& runTime_;
    ClassStore& classStore_;
    QtDesktop desktop_;

    // Children, owned by this widget.
    QListWidget* lstFiles_;
    QLabel* Label1_;
    QLineEdit* txtSrcFile_;
    QLabel* Label2_;
    QComboBox* cmbSize_;
    FlatButton* fltbBuild_;
    FlatButton* fltbTren_;
    QProgressBar* ProgressBar1_;
    LinkLabel* lblLink_;

    QtWindow window_;
    QtTextBox textBox_;
    QtComboBox comboBox_;
    QtListBox listBox_;
    QtProgressBar progressBar_;
    QtCommonDialog commonDialog_;
    QtLabel label_;

    frmTren form_;
    bool running_ = false;
};

// The local files a text/uri-list names, each path's bytes as the URI encodes
// them, so that a name that is not UTF-8 survives. Empty when any entry is not a
// local file.
std::vector<std::string> LocalFilesOf(const QByteArray& uriList);

} // namespace tren::qt
