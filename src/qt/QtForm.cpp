#include "qt/QtForm.h"

#include "qt/QtArtwork.h"
#include "qt/QtFormWidgets.h"

#include <QComboBox>
#include <QEvent>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPalette>
#include <QProgressBar>
#include <QRect>
#include <QString>

#include <cmath>
#include <cstdint>
#include <utility>

namespace tren::qt {

// The front end speaks the platform's interfaces throughout.
using namespace tren::platform;

namespace {

// The form was drawn in twips for a font whose average character is 6 pixels
// wide and 13 high, where 15 twips are one pixel. As Windows' dialog units do,
// a twip stays that fraction of the font the window really uses, so that every
// text fits at any font size.
constexpr double TwipsPerPixel = 15;
constexpr double ReferenceCharWidth = 6;
constexpr double ReferenceCharHeight = 13;

struct Twips {
    int left, top, width, height;
};

// Where each control stands, by object name.
struct Placement {
    const char* name;
    Twips at;
};
constexpr Placement Placements[] = {
    {"txtSrcFile", {720, 1560, 4575, 285}}, {"fltbBuild", {2880, 2040, 1125, 540}},
    {"fltbTren", {4200, 2040, 1125, 540}},  {"ProgressBar1", {240, 2520, 2295, 255}},
    {"cmbSize", {720, 2040, 1815, 315}},    {"lstFiles", {240, 240, 5055, 1230}},
    {"lblLink", {3000, 2640, 2175, 255}},   {"Label2", {240, 2040, 495, 375}},
    {"Label1", {240, 1560, 375, 255}},
};
constexpr Twips ClientArea = {0, 0, 5520, 2865};

// A control at a fixed place: the window has no layout, so nothing moves when it
// is resized.
template <class Control>
Control* Place(QWidget* parent, const char* name, const char* toolTip = nullptr,
               const char* caption = nullptr) {
    auto* control = new Control(parent);
    control->setObjectName(QString::fromLatin1(name));
    if (toolTip)
        control->setToolTip(QString::fromUtf8(toolTip));
    if constexpr (requires { control->setText(QString()); }) {
        if (caption)
            control->setText(QString::fromUtf8(caption));
    }
    return control;
}

QComboBox* PlaceSizeBox(QWidget* parent) {
    auto* combo = Place<QComboBox>(parent, "cmbSize", "Select the required trenning size");
    // Editable before the adapter takes it over: the adapter tames the field's editor.
    combo->setEditable(true);
    return combo;
}

FlatButton* PlaceButton(QWidget* parent, const char* name, const char* toolTip, const char* caption,
                        Artwork picture) {
    auto* button = Place<FlatButton>(parent, name, toolTip, caption);
    button->setIcon(IconOf(picture));
    return button;
}

QListWidget* PlaceFileList(QWidget* parent) {
    auto* list = Place<QListWidget>(parent, "lstFiles", "Process  handling windows");
    // The desktop's own text colours, so that a dark theme stays readable.
    list->setBackgroundRole(QPalette::Base);
    list->setForegroundRole(QPalette::Text);
    list->viewport()->setBackgroundRole(QPalette::Base);
    return list;
}

LinkLabel* PlaceLink(QWidget* parent) {
    auto* link = Place<LinkLabel>(parent, "lblLink", "Sending email...", "tren@example.org");
    link->setForegroundRole(QPalette::Highlight);
    // Its text starts at its top, as the form's labels do: the label reaches past
    // the bottom of the window, its text does not.
    link->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return link;
}

QProgressBar* PlaceProgressBar(QWidget* parent) {
    auto* bar = Place<QProgressBar>(parent, "ProgressBar1");
    bar->setRange(0, 100);
    // The bar shows progress only; a percentage would count steps, not bytes.
    bar->setTextVisible(false);
    return bar;
}

} // namespace

QtForm::QtForm(RunTime& runTime, ClassStore& classStore, DialogHooks hooks, QWidget* parent)
    : QWidget(parent), runTime_(runTime), classStore_(classStore), lstFiles_(PlaceFileList(this)),
      Label1_(Place<QLabel>(this, "Label1", nullptr, "File:")),
      txtSrcFile_(Place<QLineEdit>(this, "txtSrcFile", "File path")),
      Label2_(Place<QLabel>(this, "Label2", nullptr, "Size:")), cmbSize_(PlaceSizeBox(this)),
      fltbBuild_(PlaceButton(this, "fltbBuild", "Build original file from multi-files", "Build...",
                             Artwork::BuildPicture)),
      fltbTren_(PlaceButton(this, "fltbTren", "Tren file to multi-files", "Tren...",
                            Artwork::TrenPicture)),
      ProgressBar1_(PlaceProgressBar(this)), lblLink_(PlaceLink(this)), window_(this, hooks),
      textBox_(txtSrcFile_), comboBox_(cmbSize_), listBox_(lstFiles_), progressBar_(ProgressBar1_),
      commonDialog_(this, std::move(hooks)), label_(lblLink_),
      form_(
          FormControls{window_, textBox_, comboBox_, listBox_, progressBar_, commonDialog_, label_},
          FormServices{runTime_, classStore_, desktop_}) {
    setWindowTitle(QStringLiteral("File Trenning"));
    setWindowIcon(IconOf(Artwork::WindowIcon));
    for (QLabel* label : {Label1_, Label2_})
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LayOut();

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

void QtForm::LayOut() {
    const QFontMetricsF metrics(font());
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const double x =
        metrics.horizontalAdvance(alphabet) / alphabet.size() / ReferenceCharWidth / TwipsPerPixel;
    const double y = metrics.height() / ReferenceCharHeight / TwipsPerPixel;
    // Edges are rounded, not sizes, so that controls that meet in twips meet on
    // the screen.
    auto rect = [x, y](Twips at) {
        const int left = static_cast<int>(std::lround(at.left * x));
        const int top = static_cast<int>(std::lround(at.top * y));
        return QRect(left, top, static_cast<int>(std::lround((at.left + at.width) * x)) - left,
                     static_cast<int>(std::lround((at.top + at.height) * y)) - top);
    };
    for (const auto& [name, at] : Placements)
        if (auto* control = findChild<QWidget*>(QString::fromLatin1(name)))
            control->setGeometry(rect(at));
    // The pictures grow with the captions beside them.
    const int icon = static_cast<int>(std::lround(16 * y * TwipsPerPixel));
    for (FlatButton* button : {fltbBuild_, fltbTren_})
        button->setIconSize(QSize(icon, icon));
    resize(rect(ClientArea).size());
}

void QtForm::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        LayOut();
}

void QtForm::Load(const std::string& command) {
    form_.Form_Load(command);
}

QtForm::~QtForm() = default;

} // namespace tren::qt
