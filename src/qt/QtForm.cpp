#include "qt/QtForm.h"

#include "qt/QtArtwork.h"
#include "qt/QtFormWidgets.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPalette>
#include <QProgressBar>
#include <QRect>
#include <QString>

#include <cstdint>
#include <utility>

namespace tren::qt {

// The front end speaks the platform's interfaces throughout.
using namespace tren::platform;

namespace {

// The form was drawn in twips; at the standard resolution 15 twips are one pixel.
constexpr int TwipsPerPixel = 15;

constexpr QRect FromTwips(int left, int top, int width, int height) {
    return {left / TwipsPerPixel, top / TwipsPerPixel, width / TwipsPerPixel,
            height / TwipsPerPixel};
}

// A control at a fixed place: the window has no layout, so nothing moves when it
// is resized.
template <class Control>
Control* Place(QWidget* parent, const char* name, QRect at, const char* toolTip = nullptr,
               const char* caption = nullptr) {
    auto* control = new Control(parent);
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(at);
    if (toolTip)
        control->setToolTip(QString::fromUtf8(toolTip));
    if constexpr (requires { control->setText(QString()); }) {
        if (caption)
            control->setText(QString::fromUtf8(caption));
    }
    return control;
}

QComboBox* PlaceSizeBox(QWidget* parent) {
    auto* combo = Place<QComboBox>(parent, "cmbSize", FromTwips(720, 2040, 1815, 315),
                                   "Select the required trenning size");
    // Editable before the adapter takes it over: the adapter tames the field's editor.
    combo->setEditable(true);
    return combo;
}

FlatButton* PlaceButton(QWidget* parent, const char* name, QRect at, const char* toolTip,
                        const char* caption, Artwork picture) {
    auto* button = Place<FlatButton>(parent, name, at, toolTip, caption);
    button->setIcon(IconOf(picture));
    return button;
}

QListWidget* PlaceFileList(QWidget* parent) {
    auto* list = Place<QListWidget>(parent, "lstFiles", FromTwips(240, 240, 5055, 1230),
                                    "Process  handling windows");
    // The desktop's own text colours, so that a dark theme stays readable.
    list->setBackgroundRole(QPalette::Base);
    list->setForegroundRole(QPalette::Text);
    list->viewport()->setBackgroundRole(QPalette::Base);
    return list;
}

LinkLabel* PlaceLink(QWidget* parent) {
    auto* link = Place<LinkLabel>(parent, "lblLink", FromTwips(3000, 2640, 2175, 255),
                                  "Sending email...", "tren@example.org");
    link->setForegroundRole(QPalette::Highlight);
    return link;
}

QProgressBar* PlaceProgressBar(QWidget* parent) {
    auto* bar = Place<QProgressBar>(parent, "ProgressBar1", FromTwips(240, 2520, 2295, 255));
    bar->setRange(0, 100);
    // The bar shows progress only; a percentage would count steps, not bytes.
    bar->setTextVisible(false);
    return bar;
}

} // namespace

QtForm::QtForm(RunTime& runTime, ClassStore& classStore, DialogHooks hooks, QWidget* parent)
    : QWidget(parent), runTime_(runTime), classStore_(classStore), lstFiles_(PlaceFileList(this)),
      Label1_(Place<QLabel>(this, "Label1", FromTwips(240, 1560, 375, 255), nullptr, "File:")),
      txtSrcFile_(
          Place<QLineEdit>(this, "txtSrcFile", FromTwips(720, 1560, 4575, 285), "File path")),
      Label2_(Place<QLabel>(this, "Label2", FromTwips(240, 2040, 495, 375), nullptr, "Size:")),
      cmbSize_(PlaceSizeBox(this)),
      fltbBuild_(PlaceButton(this, "fltbBuild", FromTwips(2880, 2040, 1125, 540),
                             "Build original file from multi-files", "Build...",
                             Artwork::BuildPicture)),
      fltbTren_(PlaceButton(this, "fltbTren", FromTwips(4200, 2040, 1125, 540),
                            "Tren file to multi-files", "Tren...", Artwork::TrenPicture)),
      ProgressBar1_(PlaceProgressBar(this)), lblLink_(PlaceLink(this)), window_(this, hooks),
      textBox_(txtSrcFile_), comboBox_(cmbSize_), listBox_(lstFiles_), progressBar_(ProgressBar1_),
      commonDialog_(this, std::move(hooks)), label_(lblLink_),
      form_(
          FormControls{window_, textBox_, comboBox_, listBox_, progressBar_, commonDialog_, label_},
          FormServices{runTime_, classStore_, desktop_}) {
    setWindowTitle(QStringLiteral("File Trenning"));
    setWindowIcon(IconOf(Artwork::WindowIcon));
    resize(FromTwips(0, 0, 5520, 2865).size());

    // The order the form's tab indexes give; labels and the bar take no focus.
    setTabOrder(lstFiles_, cmbSize_);
    setTabOrder(cmbSize_, fltbTren_);
    setTabOrder(fltbTren_, fltbBuild_);
    setTabOrder(fltbBuild_, txtSrcFile_);

    connect(fltbTren_, &FlatButton::clicked, this, [this] { form_.fltbTren_Click(); });
    connect(fltbBuild_, &FlatButton::clicked, this, [this] { form_.fltbBuild_Click(); });
    connect(lblLink_, &LinkLabel::clicked, this, [this] { form_.lblLink_Click(); });
    new KeyPressFilter(txtSrcFile_,
                       [this](std::int16_t& KeyAscii) { form_.txtSrcFile_KeyPress(KeyAscii); });
}

void QtForm::Load(const std::string& command) {
    form_.Form_Load(command);
}

QtForm::~QtForm() = default;

} // namespace tren::qt
