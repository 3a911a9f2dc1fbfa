#pragma once

#include "qt/QtControls.h"
#include "window/frmTren.h"

#include <QWidget>

class QComboBox;
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

  protected:
    // A new font places the controls anew.
    void changeEvent(QEvent* event) override;

  private:
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
};

} // namespace tren::qt
