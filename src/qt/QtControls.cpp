#include "qt/QtControls.h"

#include "platform/Paths.h"
#include "qt/QtArtwork.h"

#include <QByteArray>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace tren::qt {

// The front end speaks the platform's interfaces throughout.
using namespace tren::platform;

namespace {

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

int Rounded(float value) {
    return static_cast<int>(std::lround(value));
}

QMessageBox::Icon IconOf(MessageStyle style) {
    switch (style) {
    case MessageStyle::Critical:
        return QMessageBox::Critical;
    case MessageStyle::Exclamation:
        return QMessageBox::Warning;
    case MessageStyle::Information:
        return QMessageBox::Information;
    case MessageStyle::OkOnly:
        break;
    }
    return QMessageBox::NoIcon;
}

// "*.*" means every file; Qt would take it literally and hide names without a dot.
QString QtPatternsOf(const QString& patterns) {
    QStringList out;
    for (const QString& part : patterns.split(u';', Qt::SkipEmptyParts)) {
        const QString pattern = part.trimmed();
        if (pattern.isEmpty())
            continue;
        out << (pattern == QLatin1String("*.*") ? QStringLiteral("*") : pattern);
    }
    if (out.isEmpty())
        out << QStringLiteral("*");
    return out.join(u' ');
}

// A box shown before the window, over a window not yet placed, would sit at the
// screen's corner; without an owner it is centred on the screen.
QWidget* OwnerShown(QWidget* owner) {
    return owner && owner->isVisible() ? owner : nullptr;
}

// The field shows the chosen entry's text again.
void ShowChosenEntry(QComboBox* combo) {
    QLineEdit* edit = combo->lineEdit();
    const int chosen = combo->currentIndex();
    if (edit && chosen >= 0 && edit->text() != combo->itemText(chosen))
        edit->setText(combo->itemText(chosen));
}

// Typed text chooses no size, so a field left with it would name a size that is
// not cut with: when the box loses the focus it shows the chosen entry again.
// Opening its own list is not leaving it.
class ChosenEntryKeeper final : public QObject {
  public:
    explicit ChosenEntryKeeper(QComboBox* combo) : QObject(combo), combo_(combo) {
        combo_->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == combo_ && event->type() == QEvent::FocusOut &&
            static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
            ShowChosenEntry(combo_);
        return false;
    }

  private:
    QComboBox* combo_;
};

} // namespace

QString PathToQString(const std::string& path) {
    return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

std::string PathFromQString(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QStringList NameFiltersOf(const std::string& filter) {
    const QStringList parts = FromUtf8(filter).split(u'|');
    QStringList filters;
    // Label and pattern alternate; a label without its pattern is dropped.
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << parts[i].trimmed() + QStringLiteral(" (") + QtPatternsOf(parts[i + 1]) +
                       QLatin1Char(')');
    if (filters.isEmpty())
        filters << QStringLiteral("(*)");
    return filters;
}

void QtWindow::MsgBox(const std::string& text, MessageStyle style, const std::string& title) {
    if (hooks_.MsgBox) {
        hooks_.MsgBox(text, style, title);
        return;
    }
    QMessageBox box(IconOf(style), FromUtf8(title.empty() ? ApplicationTitle : title),
                    FromUtf8(text), QMessageBox::Ok, OwnerShown(owner_));
    box.exec();
}

std::string QtWindow::ChooseFolder(const std::string& title) {
    if (hooks_.ChooseFolder)
        return hooks_.ChooseFolder(title);
    const QString folder = QFileDialog::getExistingDirectory(OwnerShown(owner_), FromUtf8(title),
                                                             QString(), QFileDialog::ShowDirsOnly);
    return folder.isEmpty() ? std::string() : PathFromQString(folder);
}

std::string QtTextBox::Text() const {
    if (edit_->text() == shown_)
        return bytes_;
    return PathFromQString(edit_->text());
}

void QtTextBox::SetText(const std::string& text) {
    bytes_ = text;
    shown_ = PathToQString(text);
    edit_->setText(shown_);
}

std::string QtLabel::Caption() const {
    return label_->text().toUtf8().toStdString();
}

void QtLabel::SetMousePointer(MousePointer pointer) {
    pointer_ = pointer;
    ApplyPointer();
}

void QtLabel::SetMouseIcon(Artwork picture) {
    icon_ = picture;
    iconSet_ = true;
    ApplyPointer();
}

void QtLabel::ApplyPointer() {
    switch (pointer_) {
    case MousePointer::Default:
        label_->unsetCursor();
        break;
    case MousePointer::Custom:
        // A custom pointer without its picture shows the default one.
        if (iconSet_)
            label_->setCursor(CursorOf(icon_));
        else
            label_->unsetCursor();
        break;
    }
}

std::int32_t QtDesktop::OpenAddress(const std::string& address) {
    const bool opened = QDesktopServices::openUrl(QUrl(QString::fromUtf8(address)));
    return opened ? AddressOpened : NoAssociation;
}

void QtListBox::Clear() {
    list_->clear();
}

void QtListBox::AddItem(const std::string& text) {
    // Lines name the files written, so they are spelled as paths.
    list_->addItem(PathToQString(text));
    list_->scrollToItem(list_->item(list_->count() - 1));
}

QtComboBox::QtComboBox(QComboBox* combo) : combo_(combo) {
    // The list holds exactly the entries the form added: Enter in the field adds
    // nothing.
    combo_->setInsertPolicy(QComboBox::NoInsert);
    if (QLineEdit* edit = combo_->lineEdit()) {
        // Typing is not choosing: no completion changes what was typed, and
        // finishing the edit (Enter, focus out) does not select a matching entry,
        // which Qt would report as activated.
        combo_->setCompleter(nullptr);
        QObject::disconnect(edit, &QLineEdit::editingFinished, combo_, nullptr);
        // A drop would type into the field; the window takes drops itself.
        edit->setAcceptDrops(false);
        new ChosenEntryKeeper(combo_);
    }
    QObject::connect(combo_, &QComboBox::activated, combo_, [this](int) { RaiseClick(); });
}

void QtComboBox::AddItem(const std::string& text) {
    combo_->addItem(FromUtf8(text));
}

int QtComboBox::ListIndex() const {
    return combo_->currentIndex();
}

void QtComboBox::SetListIndex(int index) {
    combo_->setCurrentIndex(index);
    // The same index again leaves typed text in the field; the entry is shown.
    ShowChosenEntry(combo_);
    RaiseClick();
}

int QtComboBox::ListCount() const {
    return combo_->count();
}

std::string QtComboBox::Text() const {
    return combo_->currentText().toStdString();
}

// Starts from the range the bar was drawn with, at its minimum (a fresh QProgressBar
// reports minimum - 1 until it is first set).
QtProgressBar::QtProgressBar(QProgressBar* bar)
    : bar_(bar), max_(static_cast<float>(bar->maximum())) {
    bar_->setValue(bar_->minimum());
}

void QtProgressBar::SetMin(float value) {
    bar_->setMinimum(Rounded(value));
}

void QtProgressBar::SetMax(float value) {
    max_ = value;
    bar_->setMaximum(Rounded(value));
}

void QtProgressBar::SetValue(float value) {
    // Qt ignores a value outside the range; the bar shows the nearest end instead.
    bar_->setValue(std::clamp(Rounded(value), bar_->minimum(), bar_->maximum()));
    // The operations run on this thread: draw now, and let the window redraw,
    // without taking input that could start a second operation meanwhile.
    bar_->repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

OpenChoice QtCommonDialog::ShowOpen(const std::string& dialogTitle, const std::string& filter) {
    if (hooks_.ShowOpen)
        return hooks_.ShowOpen(dialogTitle, filter);
    const QStringList filters = NameFiltersOf(filter);
    // The labels already show their patterns; the Qt patterns appended to them
    // stay hidden.
    const QString chosen = QFileDialog::getOpenFileName(
        OwnerShown(owner_), FromUtf8(dialogTitle), QString(), filters.join(QStringLiteral(";;")),
        nullptr, QFileDialog::HideNameFilterDetails);
    if (chosen.isEmpty())
        return {};
    std::string path = PathFromQString(chosen);
    std::string title = FileNameOf(path);
    return {std::move(path), std::move(title)};
}

} // namespace tren::qt
