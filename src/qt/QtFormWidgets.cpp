#include "qt/QtFormWidgets.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPalette>
#include <QSize>

#include <algorithm>
#include <iterator>
#include <utility>

namespace tren::qt {

namespace {

// Keys that leave the text as it is: focus, modifiers, the menu key (whose menu
// offers no edits), and those that only move, select or copy.
bool LeavesTextAlone(const QKeyEvent* key) {
    switch (key->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_Menu:
        return true;
    default:
        break;
    }
    using Key = QKeySequence::StandardKey;
    static constexpr Key readers[] = {
        Key::Copy,
        Key::SelectAll,
        Key::Deselect,
        Key::MoveToNextChar,
        Key::MoveToPreviousChar,
        Key::MoveToNextWord,
        Key::MoveToPreviousWord,
        Key::MoveToNextLine,
        Key::MoveToPreviousLine,
        Key::MoveToNextPage,
        Key::MoveToPreviousPage,
        Key::MoveToStartOfLine,
        Key::MoveToEndOfLine,
        Key::MoveToStartOfBlock,
        Key::MoveToEndOfBlock,
        Key::MoveToStartOfDocument,
        Key::MoveToEndOfDocument,
        Key::SelectNextChar,
        Key::SelectPreviousChar,
        Key::SelectNextWord,
        Key::SelectPreviousWord,
        Key::SelectNextLine,
        Key::SelectPreviousLine,
        Key::SelectNextPage,
        Key::SelectPreviousPage,
        Key::SelectStartOfLine,
        Key::SelectEndOfLine,
        Key::SelectStartOfBlock,
        Key::SelectEndOfBlock,
        Key::SelectStartOfDocument,
        Key::SelectEndOfDocument,
    };
    return std::any_of(std::begin(readers), std::end(readers),
                       [key](Key reader) { return key->matches(reader); });
}

// The key a kept character is typed with, without modifiers: a kept Ctrl+V is
// the character, never a paste.
Qt::Key KeyOf(QChar character) {
    switch (character.unicode()) {
    case 8:
        return Qt::Key_Backspace;
    case 13:
        return Qt::Key_Return;
    case 27:
        return Qt::Key_Escape;
    default:
        return Qt::Key_unknown;
    }
}

QString WithShortcut(const QString& text, QKeySequence::StandardKey key) {
    return text + QLatin1Char('\t') + QKeySequence(key).toString(QKeySequence::NativeText);
}

} // namespace

FlatButton::FlatButton(QWidget* parent) : QToolButton(parent) {
    setAutoRaise(true);
    // Beside the caption: under it, picture and caption would not both fit the
    // button's height.
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setForegroundRole(QPalette::ButtonText);
    setCursor(Qt::ArrowCursor);
}

void FlatButton::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        QToolButton::keyPressEvent(event);
        return;
    }
    // A held key clicks once.
    if (!event->isAutoRepeat())
        click();
    event->accept();
}

LinkLabel::LinkLabel(QWidget* parent) : QLabel(parent) {}

void LinkLabel::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    // Released elsewhere, the press is taken back.
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (click)
        Q_EMIT clicked();
}

KeyPressFilter::KeyPressFilter(QLineEdit* edit, Handler handler)
    : QObject(edit), edit_(edit), handler_(std::move(handler)) {
    edit_->setAcceptDrops(false);
    edit_->setDragEnabled(false);
    edit_->installEventFilter(this);
}

bool KeyPressFilter::eventFilter(QObject* watched, QEvent* event) {
    if (watched != edit_)
        return false;
    switch (event->type()) {
    case QEvent::KeyPress:
        return Refuses(static_cast<QKeyEvent*>(event));
    case QEvent::InputMethod:
        Filter(static_cast<QInputMethodEvent*>(event));
        return false;
    case QEvent::ContextMenu:
        ShowMenu(static_cast<QContextMenuEvent*>(event));
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        // The middle button pastes the selection on X11.
        return static_cast<QMouseEvent*>(event)->button() == Qt::MiddleButton;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

bool KeyPressFilter::Refuses(QKeyEvent* key) {
    if (retyping_ || LeavesTextAlone(key))
        return false;
    // A key that types nothing, moves nothing and copies nothing can only edit.
    if (key->text().isEmpty())
        return true;
    const QString kept = Typed(key->text());
    retyping_ = true;
    for (QChar character : kept) {
        QKeyEvent typed(QEvent::KeyPress, KeyOf(character), Qt::NoModifier, QString(character));
        QCoreApplication::sendEvent(edit_, &typed);
    }
    retyping_ = false;
    return true;
}

void KeyPressFilter::Filter(QInputMethodEvent* input) {
    if (input->commitString().isEmpty() && input->replacementLength() == 0)
        return; // composing only: the text is not changed yet
    // The input method replaces what is around the cursor only with what the
    // handler let it type, all of it.
    const QString kept = Typed(input->commitString());
    if (kept.isEmpty() || kept != input->commitString())
        input->setCommitString(kept);
}

QString KeyPressFilter::Typed(const QString& text) {
    QString kept;
    for (QChar character : text) {
        auto code = static_cast<std::int16_t>(character.unicode());
        handler_(code);
        if (code != 0)
            kept += QChar(static_cast<char16_t>(code));
    }
    return kept;
}

void KeyPressFilter::ShowMenu(const QContextMenuEvent* request) {
    // The entries a read-only line edit offers, in Qt's own words.
    auto* menu = new QMenu(edit_);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* copy = menu->addAction(WithShortcut(QLineEdit::tr("&Copy"), QKeySequence::Copy));
    copy->setEnabled(edit_->hasSelectedText());
    connect(copy, &QAction::triggered, edit_, &QLineEdit::copy);
    menu->addSeparator();
    QAction* all =
        menu->addAction(WithShortcut(QLineEdit::tr("Select All"), QKeySequence::SelectAll));
    all->setEnabled(!edit_->text().isEmpty() && edit_->selectedText() != edit_->text());
    connect(all, &QAction::triggered, edit_, &QLineEdit::selectAll);
    menu->popup(request->globalPos());
}

} // namespace tren::qt
