// The window's input through its real widgets: focus, the path box that refuses
// edits, the flat buttons and the mail link.
#include "platform/qt/QtForm.h"
#include "platform/qt/QtControls.h"
#include "platform/qt/QtFormWidgets.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDesktopServices>
#include <QDropEvent>
#include <QFontMetrics>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPixmap>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace {

using tren::platform::DialogHooks;
using tren::platform::MessageStyle;
using tren::platform::OpenChoice;
using tren::platform::QtForm;

const QString SomePath = QStringLiteral("/data/report.doc");

// The window as a fresh start shows it, active, its dialogs answered here.
struct StartedForm {
    int opens = 0;
    std::vector<std::string> messages;
    QtForm form{DialogHooks{
        [this](const std::string&, const std::string&) {
            ++opens;
            return OpenChoice{};
        },
        [](const std::string&) { return std::string(); },
        [this](const std::string& text, MessageStyle, const std::string&) {
            messages.push_back(text);
        },
    }};

    StartedForm() {
        form.Load("");
        form.show();
        form.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
    }
    template <class Widget> Widget& Get(const char* name) {
        auto* widget = form.findChild<Widget*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return *widget;
    }
};

// The window's control that holds the focus, or "".
QString Focused(const QWidget& form) {
    QWidget* widget = QApplication::focusWidget();
    while (widget && widget->parentWidget() != &form)
        widget = widget->parentWidget();
    return widget ? widget->objectName() : QString();
}

TEST(QtFormFocusTest, TabFollowsTheTabIndexes) {
    struct Walk {
        Qt::KeyboardModifiers modifiers;
        QStringList order; // from lstFiles, round to it again
    };
    const Walk walks[] = {
        {Qt::NoModifier, {"cmbSize", "fltbTren", "fltbBuild", "txtSrcFile", "lstFiles"}},
        {Qt::ShiftModifier, {"txtSrcFile", "fltbBuild", "fltbTren", "cmbSize", "lstFiles"}},
    };
    StartedForm started;
    EXPECT_EQ(Focused(started.form), "lstFiles"); // the lowest tab index starts with it
    for (const Walk& walk : walks) {
        started.Get<QListWidget>("lstFiles").setFocus();
        QStringList visited;
        for (int step = 0; step < walk.order.size(); ++step) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, walk.modifiers);
            visited << Focused(started.form);
        }
        EXPECT_EQ(visited, walk.order) << walk.modifiers.toInt();
    }
}

// An act on a line edit, and whether it changes one without the filter.
enum class Edits { No, Yes, WhereTheSelectionPastes };

struct EditCase {
    const char* name;
    std::function<void(QLineEdit&)> act;
    Edits edits;
    std::function<void(QLineEdit&)> prepare = [](QLineEdit&) {};
};

void PrintTo(const EditCase& c, std::ostream* os) {
    *os << c.name;
}

// Opens the context menu and chooses its entry-th enabled entry, as a user might;
// false when it has no such entry.
bool ChooseFromMenu(QLineEdit& edit, int entry) {
    QContextMenuEvent request(QContextMenuEvent::Mouse, QPoint(5, 5),
                              edit.mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(&edit, &request);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    EXPECT_NE(menu, nullptr);
    if (!menu)
        return false;
    QAction* chosen = nullptr;
    for (QAction* action : menu->actions())
        if (action->isEnabled() && !action->isSeparator() && !action->menu() && entry-- == 0)
            chosen = action;
    menu->close();
    if (chosen)
        chosen->trigger();
    return chosen != nullptr;
}

// Each enabled entry in turn, until one changes the text.
void ChooseEveryEntry(QLineEdit& edit) {
    const QString before = edit.text();
    for (int entry = 0; edit.text() == before && ChooseFromMenu(edit, entry); ++entry) {
    }
}

void Key(QLineEdit& edit, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(&edit, key, modifiers);
}

// Gives the box something to undo: "old", then the path typed over it.
void History(QLineEdit& edit) {
    const QString text = edit.text();
    edit.setText(QStringLiteral("old"));
    edit.selectAll();
    edit.insert(text);
}

class QtPathBoxTest : public testing::TestWithParam<EditCase> {};

TEST_P(QtPathBoxTest, RefusesEveryEdit) {
    const EditCase& c = GetParam();
    auto run = [&](QLineEdit& edit) {
        edit.setText(SomePath);
        edit.setFocus();
        edit.setSelection(6, 6); // "report"
        c.prepare(edit);
        QGuiApplication::clipboard()->setText(QStringLiteral("pasted"));
        const QString before = edit.text();
        c.act(edit);
        return edit.text() != before;
    };

    StartedForm started;
    auto& box = started.Get<QLineEdit>("txtSrcFile");
    int returns = 0;
    QObject::connect(&box, &QLineEdit::returnPressed, [&] { ++returns; });
    EXPECT_FALSE(run(box)) << box.text().toStdString();
    EXPECT_EQ(returns, 0);

    // The same act on a line edit of its own shows that the row can fail.
    QWidget window;
    auto* plain = new QLineEdit(&window);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const bool pastes = QGuiApplication::clipboard()->supportsSelection();
    const bool edits =
        c.edits == Edits::Yes || (c.edits == Edits::WhereTheSelectionPastes && pastes);
    EXPECT_EQ(run(*plain), edits);
}

INSTANTIATE_TEST_SUITE_P(
    Edits, QtPathBoxTest,
    testing::Values(
        EditCase{"Letter", [](QLineEdit& e) { Key(e, Qt::Key_A); }, Edits::Yes},
        EditCase{"Digit", [](QLineEdit& e) { Key(e, Qt::Key_7); }, Edits::Yes},
        EditCase{"Space", [](QLineEdit& e) { Key(e, Qt::Key_Space); }, Edits::Yes},
        EditCase{"Backspace", [](QLineEdit& e) { Key(e, Qt::Key_Backspace); }, Edits::Yes},
        EditCase{"Delete", [](QLineEdit& e) { Key(e, Qt::Key_Delete); }, Edits::Yes},
        EditCase{"CtrlBackspace",
                 [](QLineEdit& e) {
                     e.deselect();
                     Key(e, Qt::Key_Backspace, Qt::ControlModifier);
                 },
                 Edits::Yes},
        EditCase{"CtrlDelete",
                 [](QLineEdit& e) {
                     e.setCursorPosition(3);
                     Key(e, Qt::Key_Delete, Qt::ControlModifier);
                 },
                 Edits::Yes},
        EditCase{"CtrlX", [](QLineEdit& e) { Key(e, Qt::Key_X, Qt::ControlModifier); }, Edits::Yes},
        EditCase{"ShiftDelete", [](QLineEdit& e) { Key(e, Qt::Key_Delete, Qt::ShiftModifier); },
                 Edits::Yes},
        EditCase{"CtrlV", [](QLineEdit& e) { Key(e, Qt::Key_V, Qt::ControlModifier); }, Edits::Yes},
        EditCase{"ShiftInsert", [](QLineEdit& e) { Key(e, Qt::Key_Insert, Qt::ShiftModifier); },
                 Edits::Yes},
        EditCase{"CtrlZ", [](QLineEdit& e) { Key(e, Qt::Key_Z, Qt::ControlModifier); },
                 Edits::Yes, History},
        EditCase{"Redo", [](QLineEdit& e) { QTest::keySequence(&e, QKeySequence::Redo); },
                 Edits::Yes,
                 [](QLineEdit& e) {
                     History(e);
                     e.undo();
                 }},
        EditCase{"Return", [](QLineEdit& e) { Key(e, Qt::Key_Return); }, Edits::No},
        EditCase{"InputMethod",
                 [](QLineEdit& e) {
                     QInputMethodEvent input;
                     input.setCommitString(QStringLiteral("\u00e4"));
                     QCoreApplication::sendEvent(&e, &input);
                 },
                 Edits::Yes},
        EditCase{"Drop",
                 [](QLineEdit& e) {
                     QMimeData data;
                     data.setText(QStringLiteral("dropped"));
                     QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton,
                                           Qt::NoModifier);
                     QCoreApplication::sendEvent(&e, &enter);
                     QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton,
                                     Qt::NoModifier);
                     QCoreApplication::sendEvent(&e, &drop);
                 },
                 Edits::Yes},
        EditCase{"MiddleButton",
                 [](QLineEdit& e) { QTest::mouseClick(&e, Qt::MiddleButton); },
                 Edits::WhereTheSelectionPastes},
        EditCase{"ContextMenu", ChooseEveryEntry, Edits::Yes}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(QtPathBoxTest, SelectsAndCopies) {
    struct Copy {
        const char* name;
        std::function<void(QLineEdit&)> act;
    };
    const Copy copies[] = {
        {"CtrlA CtrlC",
         [](QLineEdit& e) {
             Key(e, Qt::Key_A, Qt::ControlModifier);
             Key(e, Qt::Key_C, Qt::ControlModifier);
         }},
        {"ShiftEnd CtrlInsert",
         [](QLineEdit& e) {
             Key(e, Qt::Key_End, Qt::ShiftModifier);
             Key(e, Qt::Key_Insert, Qt::ControlModifier);
         }},
        {"MouseDrag CtrlC",
         [](QLineEdit& e) {
             const int y = e.height() / 2;
             QTest::mousePress(&e, Qt::LeftButton, {}, QPoint(1, y));
             QTest::mouseMove(&e, QPoint(e.width() - 2, y));
             QTest::mouseRelease(&e, Qt::LeftButton, {}, QPoint(e.width() - 2, y));
             Key(e, Qt::Key_C, Qt::ControlModifier);
         }},
        // Select All is the only choice without a selection, then Copy with it.
        {"Menu",
         [](QLineEdit& e) {
             EXPECT_TRUE(ChooseFromMenu(e, 0));
             EXPECT_TRUE(ChooseFromMenu(e, 0));
         }},
    };
    StartedForm started;
    auto& box = started.Get<QLineEdit>("txtSrcFile");
    for (const Copy& copy : copies) {
        SCOPED_TRACE(copy.name);
        box.setText(SomePath);
        box.setFocus();
        box.setCursorPosition(0);
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        copy.act(box);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), SomePath);
        EXPECT_EQ(box.text(), SomePath);
    }
}

// The filter with handlers other than the form's: what it hands on and types.
struct HandlerCase {
    const char* name;
    std::int16_t (*rule)(std::int16_t);
    std::function<void(QLineEdit&)> act;
    const char* text;
    std::vector<int> handed;
    int returns = 0;
};

void PrintTo(const HandlerCase& c, std::ostream* os) {
    *os << c.name;
}

std::int16_t Keep(std::int16_t code) {
    return code;
}
std::int16_t AToB(std::int16_t code) {
    return code == 'a' ? 'b' : code;
}

void Commit(QLineEdit& edit, const QString& text) {
    QInputMethodEvent input;
    input.setCommitString(text);
    QCoreApplication::sendEvent(&edit, &input);
}

class QtKeyPressFilterTest : public testing::TestWithParam<HandlerCase> {};

TEST_P(QtKeyPressFilterTest, TypesWhatTheHandlerLeaves) {
    const HandlerCase& c = GetParam();
    QWidget window;
    auto* edit = new QLineEdit(QStringLiteral("x"), &window);
    std::vector<int> handed;
    new tren::platform::KeyPressFilter(edit, [&](std::int16_t& code) {
        handed.push_back(code);
        code = c.rule(code);
    });
    int returns = 0;
    QObject::connect(edit, &QLineEdit::returnPressed, [&] { ++returns; });
    window.show();
    edit->setFocus();
    QGuiApplication::clipboard()->setText(QStringLiteral("pasted"));

    c.act(*edit);
    EXPECT_EQ(edit->text().toStdString(), c.text);
    EXPECT_EQ(handed, c.handed);
    EXPECT_EQ(returns, c.returns);
}

INSTANTIATE_TEST_SUITE_P(
    Handlers, QtKeyPressFilterTest,
    testing::Values(
        HandlerCase{"KeptLetter", Keep, [](QLineEdit& e) { Key(e, Qt::Key_A); }, "xa", {'a'}},
        HandlerCase{"ReplacedLetter", AToB, [](QLineEdit& e) { Key(e, Qt::Key_A); }, "xb", {'a'}},
        HandlerCase{"KeptBackspace", Keep, [](QLineEdit& e) { Key(e, Qt::Key_Backspace); }, "",
                    {8}},
        HandlerCase{"KeptReturn", Keep, [](QLineEdit& e) { Key(e, Qt::Key_Return); }, "x", {13},
                    1},
        // As X11 spells Ctrl+V: the kept character is typed, nothing is pasted.
        HandlerCase{"KeptCtrlVIsNoPaste", Keep,
                    [](QLineEdit& e) {
                        QKeyEvent key(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier,
                                      QStringLiteral("\x16"));
                        QCoreApplication::sendEvent(&e, &key);
                    },
                    "x", {22}},
        HandlerCase{"DeleteIsNeverHanded", Keep,
                    [](QLineEdit& e) {
                        e.setCursorPosition(0);
                        Key(e, Qt::Key_Delete);
                    },
                    "x", {}},
        HandlerCase{"CopyIsNeverHanded", Keep,
                    [](QLineEdit& e) { Key(e, Qt::Key_C, Qt::ControlModifier); }, "x", {}},
        HandlerCase{"KeptInput", Keep, [](QLineEdit& e) { Commit(e, "\u00e4\u00f6"); },
                    "x\u00e4\u00f6", {0xe4, 0xf6}}),
    [](const auto& info) { return std::string(info.param.name); });

struct ButtonKey {
    const char* name;
    const char* button;
    std::function<void(QToolButton&)> act;
    int clicks;
};

void PrintTo(const ButtonKey& c, std::ostream* os) {
    *os << c.name;
}

class QtFlatButtonKeyTest : public testing::TestWithParam<ButtonKey> {};

TEST_P(QtFlatButtonKeyTest, ClicksFromTheKeyboard) {
    StartedForm started;
    auto& button = started.Get<QToolButton>(GetParam().button);
    button.setFocus();
    ASSERT_TRUE(button.hasFocus());
    GetParam().act(button);
    // Each click asks for a file, which the test's dialog cancels.
    EXPECT_EQ(started.opens, GetParam().clicks);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, QtFlatButtonKeyTest,
    testing::Values(
        ButtonKey{"TrenSpace", "fltbTren", [](auto& b) { QTest::keyClick(&b, Qt::Key_Space); }, 1},
        ButtonKey{"BuildReturn", "fltbBuild",
                  [](auto& b) { QTest::keyClick(&b, Qt::Key_Return); }, 1},
        ButtonKey{"KeypadEnter", "fltbTren",
                  [](auto& b) { QTest::keyClick(&b, Qt::Key_Enter, Qt::KeypadModifier); }, 1},
        ButtonKey{"HeldReturn", "fltbTren",
                  [](auto& b) {
                      for (bool repeat : {false, true, true}) {
                          QKeyEvent key(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier,
                                        QStringLiteral("\r"), repeat);
                          QCoreApplication::sendEvent(&b, &key);
                      }
                  },
                  1},
        ButtonKey{"CtrlReturn", "fltbTren",
                  [](auto& b) { QTest::keyClick(&b, Qt::Key_Return, Qt::ControlModifier); }, 0},
        ButtonKey{"Escape", "fltbTren", [](auto& b) { QTest::keyClick(&b, Qt::Key_Escape); }, 0}),

    [](const auto& info) { return std::string(info.param.name); });

TEST(QtFormLookTest, FlatButtonsAndDesktopColours) {
    StartedForm started;
    for (const char* name : {"fltbBuild", "fltbTren"}) {
        SCOPED_TRACE(name);
        auto& button = started.Get<QToolButton>(name);
        EXPECT_TRUE(button.autoRaise());
        EXPECT_FALSE(button.icon().isNull());
        EXPECT_EQ(button.toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        EXPECT_EQ(button.cursor().shape(), Qt::ArrowCursor);
        EXPECT_TRUE(button.testAttribute(Qt::WA_SetCursor));
        EXPECT_EQ(button.foregroundRole(), QPalette::ButtonText);
        // The picture and a line of the caption fit inside the frame.
        EXPECT_LE(button.iconSize().height() + button.fontMetrics().height(), button.height() - 4);
    }
    auto& list = started.Get<QListWidget>("lstFiles");
    EXPECT_EQ(list.backgroundRole(), QPalette::Base);
    EXPECT_EQ(list.viewport()->backgroundRole(), QPalette::Base);
    EXPECT_EQ(list.foregroundRole(), QPalette::Text);
    EXPECT_EQ(started.Get<QLabel>("lblLink").foregroundRole(), QPalette::Highlight);
    // No colour or font of its own anywhere: the desktop's theme decides.
    QList<QWidget*> widgets = started.form.findChildren<QWidget*>();
    widgets << &started.form;
    for (QWidget* widget : widgets) {
        SCOPED_TRACE(widget->objectName().toStdString());
        EXPECT_FALSE(widget->testAttribute(Qt::WA_SetPalette));
        EXPECT_FALSE(widget->testAttribute(Qt::WA_SetFont));
        EXPECT_TRUE(widget->styleSheet().isEmpty());
    }
}

// Takes the addresses the desktop is handed.
class AddressReceiver final : public QObject {
    Q_OBJECT

public:
    QStringList opened;

public Q_SLOTS:
    void open(const QUrl& url) { opened << url.toString(); }
};

// Installs receiver's slot as the desktop's mail program while in scope.
struct MailHandler {
    MailHandler(AddressReceiver& receiver, const char* slot) {
        QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &receiver, slot);
    }
    ~MailHandler() { QDesktopServices::unsetUrlHandler(QStringLiteral("mailto")); }
};

TEST(QtFormLinkTest, ShowsTheHandOverTheLink) {
    StartedForm started;
    const QCursor cursor = started.Get<QLabel>("lblLink").cursor();
    EXPECT_EQ(cursor.shape(), Qt::BitmapCursor);
    EXPECT_EQ(cursor.hotSpot(), QPoint(5, 0));
    EXPECT_EQ(cursor.pixmap().toImage(), QPixmap(":/art/hand-cursor.png").toImage());
}

TEST(QtFormLinkTest, ClickHandsTheMailAddressToTheDesktop) {
    struct Click {
        const char* name;
        std::function<void(QLabel&)> act;
        int opened;
    };
    const Click clicks[] = {
        {"left", [](QLabel& l) { QTest::mouseClick(&l, Qt::LeftButton); }, 1},
        // A double click begins with a single one.
        {"double",
         [](QLabel& l) {
             QTest::mouseClick(&l, Qt::LeftButton);
             QTest::mouseDClick(&l, Qt::LeftButton);
         },
         1},
        {"right", [](QLabel& l) { QTest::mouseClick(&l, Qt::RightButton); }, 0},
        {"released elsewhere",
         [](QLabel& l) {
             QTest::mousePress(&l, Qt::LeftButton);
             QTest::mouseRelease(&l, Qt::LeftButton, {}, QPoint(l.width() + 10, 5));
         },
         0},
    };
    StartedForm started;
    auto& link = started.Get<QLabel>("lblLink");
    for (const Click& click : clicks) {
        SCOPED_TRACE(click.name);
        AddressReceiver receiver;
        MailHandler handler(receiver, "open");
        click.act(link);
        EXPECT_EQ(receiver.opened,
                  QStringList(click.opened, QStringLiteral("mailto:tren@example.org")));
    }
    EXPECT_TRUE(started.messages.empty());
}

TEST(QtFormLinkTest, DesktopReportsWhetherTheAddressWasHandedOn) {
    const std::pair<const char*, std::int32_t> handlers[] = {
        {"open", tren::platform::AddressOpened},
        {"noSuchSlot", tren::platform::NoAssociation},
    };
    for (const auto& [slot, result] : handlers) {
        AddressReceiver receiver;
        MailHandler handler(receiver, slot);
        tren::platform::QtDesktop desktop;
        EXPECT_EQ(desktop.OpenAddress("mailto:tren@example.org"), result) << slot;
    }
}

TEST(QtFormLinkTest, FailingDesktopShowsNothing) {
    // The real message box, not the test's answer: any box that shows is counted.
    QtForm form;
    form.Load("");
    form.show();
    int boxes = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            ++boxes;
            box->close();
        }
    });
    watch.start(10);
    AddressReceiver receiver;
    MailHandler handler(receiver, "noSuchSlot");
    QTest::mouseClick(form.findChild<QLabel*>("lblLink"), Qt::LeftButton);
    QTest::qWait(50);
    EXPECT_EQ(boxes, 0);
}

} // namespace

#include "QtFormInputTest.moc"
