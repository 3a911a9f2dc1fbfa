#include "qt/QtForm.h"

#include "qt/QtArtwork.h"
#include "qt/QtFormWidgets.h"
#include "window/FormLayout.h"

#include <QByteArray>
#include <QComboBox>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QEvent>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPalette>
#include <QProgressBar>
#include <QRect>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

namespace tren::qt {

// The front end speaks the platform's interfaces throughout.
using namespace tren::platform;

namespace {

namespace Layout = tren::FormLayout;

// A control at its place in the form: the window has no layout, so nothing moves
// when it is resized.
template <class Control> Control* Place(QWidget* parent, const Layout::Control& control) {
    auto* widget = new Control(parent);
    widget->setObjectName(QString::fromLatin1(control.Name));
    if (!control.ToolTip.empty())
        widget->setToolTip(QString::fromUtf8(control.ToolTip));
    if constexpr (requires { widget->setText(QString()); }) {
        if (!control.Caption.empty())
            widget->setText(QString::fromUtf8(control.Caption));
    }
    return widget;
}

QComboBox* PlaceSizeBox(QWidget* parent) {
    auto* combo = Place<QComboBox>(parent, Layout::cmbSize);
    // Editable before the adapter takes it over: the adapter tames the field's editor.
    combo->setEditable(true);
    return combo;
}

FlatButton* PlaceButton(QWidget* parent, const Layout::Control& control, Artwork picture) {
    auto* button = Place<FlatButton>(parent, control);
    button->setIcon(IconOf(picture));
    return button;
}

QListWidget* PlaceFileList(QWidget* parent) {
    auto* list = Place<QListWidget>(parent, Layout::lstFiles);
    // The desktop's own text colours, so that a dark theme stays readable.
    list->setBackgroundRole(QPalette::Base);
    list->setForegroundRole(QPalette::Text);
    list->viewport()->setBackgroundRole(QPalette::Base);
    return list;
}

LinkLabel* PlaceLink(QWidget* parent) {
    auto* link = Place<LinkLabel>(parent, Layout::lblLink);
    link->setForegroundRole(QPalette::Highlight);
    // Its text starts at its top, as the form's labels do: the label reaches past
    // the bottom of the window, its text does not.
    link->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return link;
}

QProgressBar* PlaceProgressBar(QWidget* parent) {
    auto* bar = Place<QProgressBar>(parent, Layout::ProgressBar1);
    bar->setRange(0, 100);
    // The bar shows progress only; a percentage would count steps, not bytes.
    bar->setTextVisible(false);
    return bar;
}

// What a person does to a window: keys, the mouse, drags.
bool IsInput(QEvent::Type type) {
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::NonClientAreaMouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

// Installed on the application while a handler runs. Painting a run's progress
// lets Qt read the display's events; it holds input back and would deliver it
// once the run is over, so a click on a button made mid-run would start that
// button's road afterwards. Input to the main window is dropped instead; the
// run's own dialogs and boxes are windows of their own and take it as usual.
// Closing the window is not input: it still waits for the run's end.
class RunInputFilter final : public QObject {
  public:
    explicit RunInputFilter(QWidget* window) : window_(window) {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~RunInputFilter() override { QCoreApplication::instance()->removeEventFilter(this); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!IsInput(event->type()))
            return false;
        if (auto* widget = qobject_cast<QWidget*>(watched))
            return widget->window() == window_;
        if (auto* window = qobject_cast<QWindow*>(watched))
            return window == window_->windowHandle();
        return false;
    }

  private:
    QWidget* window_;
};

bool IsLocalHost(const QString& host) {
    return host.isEmpty() || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0;
}

} // namespace

std::vector<std::string> LocalFilesOf(const QByteArray& uriList) {
    std::vector<std::string> paths;
    for (QByteArray line : uriList.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QUrl url(QString::fromUtf8(line), QUrl::StrictMode);
        if (!url.isValid() ||
            url.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) != 0 ||
            !IsLocalHost(url.host()) || url.path().isEmpty())
            return {};
        // The path still percent-encoded, decoded here to bytes: QString would
        // turn a byte that is not UTF-8 into a replacement character.
        const QByteArray path =
            QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
        if (path.contains('\0'))
            return {};
        paths.emplace_back(path.constData(), static_cast<std::size_t>(path.size()));
    }
    return paths;
}

QtForm::QtForm(RunTime& runTime, ClassStore& classStore, DialogHooks hooks, QWidget* parent)
    : QWidget(parent), runTime_(runTime), classStore_(classStore), lstFiles_(PlaceFileList(this)),
      Label1_(Place<QLabel>(this, Layout::Label1)),
      txtSrcFile_(Place<QLineEdit>(this, Layout::txtSrcFile)),
      Label2_(Place<QLabel>(this, Layout::Label2)), cmbSize_(PlaceSizeBox(this)),
      fltbBuild_(PlaceButton(this, Layout::fltbBuild, Artwork::BuildPicture)),
      fltbTren_(PlaceButton(this, Layout::fltbTren, Artwork::TrenPicture)),
      ProgressBar1_(PlaceProgressBar(this)), lblLink_(PlaceLink(this)), window_(this, hooks),
      textBox_(txtSrcFile_), comboBox_(cmbSize_), listBox_(lstFiles_), progressBar_(ProgressBar1_),
      commonDialog_(this, std::move(hooks)), label_(lblLink_),
      form_(
          FormControls{window_, textBox_, comboBox_, listBox_, progressBar_, commonDialog_, label_},
          FormServices{runTime_, classStore_, desktop_}) {
    setWindowTitle(QString::fromUtf8(Layout::WindowCaption));
    setWindowIcon(IconOf(Artwork::WindowIcon));
    for (QLabel* label : {Label1_, Label2_})
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LayOut();

    // The order the form's tab indexes give; labels and the bar take no focus.
    auto byTabIndex = Layout::Controls;
    std::ranges::sort(byTabIndex, {}, &Layout::Control::TabIndex);
    QWidget* previous = nullptr;
    for (const auto& control : byTabIndex) {
        auto* widget = findChild<QWidget*>(QString::fromLatin1(control.Name));
        if (!widget || !(widget->focusPolicy() & Qt::TabFocus))
            continue;
        if (previous)
            setTabOrder(previous, widget);
        previous = widget;
    }

    setAcceptDrops(true);
    connect(fltbTren_, &FlatButton::clicked, this,
            [this] { Run([this] { form_.fltbTren_Click(); }); });
    connect(fltbBuild_, &FlatButton::clicked, this,
            [this] { Run([this] { form_.fltbBuild_Click(); }); });
    connect(lblLink_, &LinkLabel::clicked, this,
            [this] { Run([this] { form_.lblLink_Click(); }); });
    new KeyPressFilter(txtSrcFile_,
                       [this](std::int16_t& KeyAscii) { form_.txtSrcFile_KeyPress(KeyAscii); });
}

void QtForm::LayOut() {
    // Twips become pixels through the font the window uses, as dialog units do.
    const QFontMetricsF metrics(font());
    const QString sample = QString::fromLatin1(Layout::AverageCharSample);
    const double x = metrics.horizontalAdvance(sample) / sample.size() /
                     Layout::ReferenceCharWidth / Layout::TwipsPerPixel;
    const double y = metrics.height() / Layout::ReferenceCharHeight / Layout::TwipsPerPixel;
    // Edges are rounded, not sizes, so that controls that meet in twips meet on
    // the screen.
    auto rect = [x, y](Layout::Twips at) {
        const int left = static_cast<int>(std::lround(at.Left * x));
        const int top = static_cast<int>(std::lround(at.Top * y));
        return QRect(left, top, static_cast<int>(std::lround((at.Left + at.Width) * x)) - left,
                     static_cast<int>(std::lround((at.Top + at.Height) * y)) - top);
    };
    for (const auto& control : Layout::Controls)
        if (auto* widget = findChild<QWidget*>(QString::fromLatin1(control.Name)))
            widget->setGeometry(rect(control.At));
    // The pictures grow with the captions beside them.
    const int icon = static_cast<int>(std::lround(16 * y * Layout::TwipsPerPixel));
    for (FlatButton* button : {fltbBuild_, fltbTren_})
        button->setIconSize(QSize(icon, icon));
    resize(rect(Layout::ClientArea).size());
}

void QtForm::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        LayOut();
}

void QtForm::Load(const std::string& command) {
    Run([&] { form_.Form_Load(command); });
}

void QtForm::Run(const std::function<void()>& handler) {
    // One handler at a time: a second one reached meanwhile (a drop let through
    // by a dialog's event loop) does nothing.
    if (running_)
        return;
    running_ = true;
    Q_EMIT runningChanged(true);
    {
        RunInputFilter filter(this);
        handler();
        // Input the display sent during the run and Qt still holds is delivered
        // now, while the filter drops it; a close request among it is kept.
        for (int round = 0; round < 3; ++round)
            QCoreApplication::processEvents();
    }
    running_ = false;
    Q_EMIT runningChanged(false);
}

void QtForm::dragEnterEvent(QDragEnterEvent* event) {
    if (!running_ &&
        !LocalFilesOf(event->mimeData()->data(QStringLiteral("text/uri-list"))).empty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void QtForm::dragMoveEvent(QDragMoveEvent* event) {
    if (running_)
        event->ignore();
    else
        event->acceptProposedAction();
}

void QtForm::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths =
        LocalFilesOf(event->mimeData()->data(QStringLiteral("text/uri-list")));
    if (running_ || paths.empty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // The drop is answered before the run starts, so that the program the file
    // was dragged from is not held until the run's end.
    QTimer::singleShot(
        0, this, [this, paths = std::move(paths)] { Run([&] { form_.Form_DropFiles(paths); }); });
}

QtForm::~QtForm() = default;

} // namespace tren::qt
