#pragma once

#include <QLabel>
#include <QObject>
#include <QString>
#include <QToolButton>

#include <cstdint>
#include <functional>

class QContextMenuEvent;
class QEvent;
class QInputMethodEvent;
class QKeyEvent;
class QLineEdit;
class QMouseEvent;

// The window's widgets that behave unlike Qt's own: they raise the events the
// form's handlers expect.
namespace tren::qt {

// A flat button: its picture beside its caption, raised only under the mouse.
// Space, Return and Enter click it when it has the focus.
class FlatButton final : public QToolButton {
    Q_OBJECT

  public:
    explicit FlatButton(QWidget* parent = nullptr);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// A label that is clicked: the left button pressed and released over it.
class LinkLabel final : public QLabel {
    Q_OBJECT

  public:
    explicit LinkLabel(QWidget* parent = nullptr);

  Q_SIGNALS:
    void clicked();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    bool pressed_ = false;
};

// Hands every character typed into a line edit to a KeyPress handler, which keeps
// it, replaces it or refuses it by setting it to 0. Whatever changes the text
// without typing a character (Delete, cut, paste, undo, a drop, the middle button,
// the context menu's edits) is refused. Moving, selecting and copying still work.
class KeyPressFilter final : public QObject {
    Q_OBJECT

  public:
    using Handler = std::function<void(std::int16_t& KeyAscii)>;

    // Installs itself on edit, which owns it.
    explicit KeyPressFilter(QLineEdit* edit, Handler handler);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool Refuses(QKeyEvent* key);
    void Filter(QInputMethodEvent* input);
    void ShowMenu(const QContextMenuEvent* request);
    // The characters of text the handler leaves, in order.
    QString Typed(const QString& text);

    QLineEdit* edit_;
    Handler handler_;
    bool retyping_ = false;
};

} // namespace tren::qt
