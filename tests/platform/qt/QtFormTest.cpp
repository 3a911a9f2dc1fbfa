// The main window through its real widgets: where the controls sit, focus, the
// path box that refuses edits, the size list, the mail link, message boxes and a
// tren and build through the buttons.
#include "platform/qt/QtForm.h"
#include "platform/qt/QtControls.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPixmap>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using tren::platform::DialogHooks;
using tren::platform::MessageStyle;
using tren::platform::OpenChoice;
using tren::platform::QtForm;

std::string Path(const QString& path) {
    return tren::platform::PathFromQString(path);
}

// The window as a fresh start shows it, active, its dialogs answered by the test.
class QtFormTest : public testing::Test {
protected:
    OpenChoice open;
    std::string folder;
    std::vector<std::string> messages;
    QtForm form{DialogHooks{
        [this](const std::string&, const std::string&) { return open; },
        [this](const std::string&) { return folder; },
        [this](const std::string& text, MessageStyle, const std::string&) {
            messages.push_back(text);
        },
    }};

    void SetUp() override {
        form.Load("");
        form.show();
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    }
    template <class Widget = QWidget> Widget& Get(const char* name) {
        auto* widget = form.findChild<Widget*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return *widget;
    }
    // The window's control that holds the focus, or "".
    QString Focused() const {
        QWidget* widget = QApplication::focusWidget();
        while (widget && widget->parentWidget() != &form)
            widget = widget->parentWidget();
        return widget ? widget->objectName() : QString();
    }
};

TEST_F(QtFormTest, ControlsSitWhereTheFormWasDrawn) {
    struct Control {
        const char* name;
        QRect pixels;
        const char* toolTip;
        const char* caption; // nullptr: none to check
        bool tabStop;
    };
    const Control controls[] = {
        {"txtSrcFile", {48, 104, 305, 19}, "File path", "", true},
        {"fltbBuild", {192, 136, 75, 36}, "Build original file from multi-files", "Build...", true},
        {"fltbTren", {280, 136, 75, 36}, "Tren file to multi-files", "Tren...", true},
        {"ProgressBar1", {16, 168, 153, 17}, "", nullptr, false},
        {"cmbSize", {48, 136, 121, 21}, "Select the required trenning size", nullptr, true},
        {"lstFiles", {16, 16, 337, 82}, "Process  handling windows", nullptr, true},
        // Reaches 2 pixels below the client area, as drawn.
        {"lblLink", {200, 176, 145, 17}, "Sending email...", "tren@example.org", false},
        {"Label2", {16, 136, 33, 25}, "", "Size:", false},
        {"Label1", {16, 104, 25, 17}, "", "File:", false},
    };
    EXPECT_EQ(form.windowTitle(), "File Trenning");
    EXPECT_EQ(form.size(), QSize(368, 191));
    // No layout: a resize leaves every control where it was.
    for (const QSize size : {form.size(), QSize(600, 400)}) {
        form.resize(size);
        for (const Control& c : controls) {
            SCOPED_TRACE(c.name);
            QWidget& widget = Get(c.name);
            EXPECT_EQ(widget.geometry(), c.pixels);
            EXPECT_EQ(widget.toolTip(), c.toolTip);
            EXPECT_EQ((widget.focusPolicy() & Qt::TabFocus) != 0, c.tabStop);
            if (c.caption) { // labels, buttons and line edits all call it text
                EXPECT_EQ(widget.property("text").toString(), c.caption);
            }
        }
    }
}

TEST_F(QtFormTest, FlatButtonsShowTheirCaptionUnderAPicture) {
    for (const char* name : {"fltbBuild", "fltbTren"}) {
        auto& button = Get<QToolButton>(name);
        EXPECT_TRUE(button.autoRaise()) << name;
        EXPECT_FALSE(button.icon().isNull()) << name;
        EXPECT_EQ(button.toolButtonStyle(), Qt::ToolButtonTextUnderIcon) << name;
    }
}

TEST_F(QtFormTest, TabWalksTheControlsInOrder) {
    EXPECT_EQ(Focused(), "lstFiles");
    QStringList visited;
    for (int step = 0; step < 5; ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << Focused();
    }
    EXPECT_EQ(visited, QStringList({"cmbSize", "fltbTren", "fltbBuild", "txtSrcFile", "lstFiles"}));
}

void Drop(QLineEdit& edit) {
    QMimeData data;
    data.setText(QStringLiteral("dropped"));
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&edit, &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&edit, &drop);
}

TEST_F(QtFormTest, PathBoxRefusesEveryEditButCopies) {
    auto key = [](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        return [=](QLineEdit& edit) { QTest::keyClick(&edit, key, modifiers); };
    };
    const std::pair<const char*, std::function<void(QLineEdit&)>> edits[] = {
        {"letter", key(Qt::Key_A)},
        {"Backspace", key(Qt::Key_Backspace)},
        {"Delete", key(Qt::Key_Delete)},
        {"Ctrl+X", key(Qt::Key_X, Qt::ControlModifier)},
        {"Ctrl+V", key(Qt::Key_V, Qt::ControlModifier)},
        {"Shift+Insert", key(Qt::Key_Insert, Qt::ShiftModifier)},
        {"drop", Drop},
    };
    const QString path = QStringLiteral("/data/report.doc");
    auto& box = Get<QLineEdit>("txtSrcFile");
    box.setText(path);
    box.setFocus();
    for (const auto& [name, act] : edits) {
        box.setSelection(6, 6); // "report"
        QGuiApplication::clipboard()->setText(QStringLiteral("pasted"));
        act(box);
        EXPECT_EQ(box.text(), path) << name;
    }
    QTest::keyClick(&box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&box, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), path);
}

TEST_F(QtFormTest, SizeListOffersTheFiveSizesAndIgnoresTyping) {
    auto& combo = Get<QComboBox>("cmbSize");
    auto entries = [&combo] {
        QStringList out;
        for (int i = 0; i < combo.count(); ++i)
            out << combo.itemText(i);
        return out;
    };
    const QStringList sizes{"5M Bytes", "3M Bytes", "1.44M Bytes", "1M Bytes", "500K Bytes"};
    EXPECT_EQ(entries(), sizes);
    EXPECT_EQ(combo.currentText(), "1.44M Bytes");
    // Typed text, even an entry's own, raises no click: the size stays.
    for (const char* typed : {"7M Bytes", "3M Bytes"}) {
        combo.lineEdit()->selectAll();
        QTest::keyClicks(combo.lineEdit(), typed);
        QTest::keyClick(combo.lineEdit(), Qt::Key_Return);
        EXPECT_EQ(entries(), sizes) << typed;
        EXPECT_EQ(form.Form().PieceSize, 1440000) << typed;
    }
    // A choice does.
    combo.setFocus();
    QTest::keyClick(&combo, Qt::Key_Down);
    EXPECT_NE(form.Form().PieceSize, 1440000);
}

// Takes the addresses the desktop is handed.
class AddressReceiver final : public QObject {
    Q_OBJECT

public:
    QStringList opened;

public Q_SLOTS:
    void open(const QUrl& url) { opened << url.toString(); }
};

TEST_F(QtFormTest, LinkShowsTheHandAndMailsTheAddress) {
    auto& link = Get<QLabel>("lblLink");
    EXPECT_EQ(link.cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(link.cursor().hotSpot(), QPoint(5, 0));
    EXPECT_EQ(link.cursor().pixmap().toImage(), QPixmap(":/art/hand-cursor.png").toImage());

    AddressReceiver receiver;
    QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &receiver, "open");
    QTest::mouseClick(&link, Qt::LeftButton);
    QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
    EXPECT_EQ(receiver.opened, QStringList{"mailto:tren@example.org"});
    EXPECT_TRUE(messages.empty());
}

TEST_F(QtFormTest, MessageBoxShowsTheStylesIconAndTitle) {
    struct Box {
        MessageStyle style;
        const char* title;
        QMessageBox::Icon icon;
        const char* shownTitle;
    };
    const Box boxes[] = {
        {MessageStyle::OkOnly, "", QMessageBox::NoIcon, "tren"},
        {MessageStyle::Critical, "Trenning Error", QMessageBox::Critical, "Trenning Error"},
        {MessageStyle::Exclamation, "", QMessageBox::Warning, "tren"},
        {MessageStyle::Information, "Note", QMessageBox::Information, "Note"},
    };
    tren::platform::QtWindow window(&form, DialogHooks{}); // the real box
    for (const Box& b : boxes) {
        QMessageBox::Icon icon{};
        QString title, text;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                watch.stop();
                icon = box->icon();
                title = box->windowTitle();
                text = box->text();
                box->button(QMessageBox::Ok)->click();
            }
        });
        watch.start(10);
        window.MsgBox("File is not exist.", b.style, b.title);
        EXPECT_EQ(icon, b.icon) << static_cast<int>(b.style);
        EXPECT_EQ(title, b.shownTitle) << static_cast<int>(b.style);
        EXPECT_EQ(text, "File is not exist.");
    }
}

TEST_F(QtFormTest, TrensAndBuildsThroughTheButtons) {
    QTemporaryDir source, pieces, rebuilt;
    // A non-ASCII name checks that paths keep their bytes.
    const QString name = QStringLiteral("daten-\u00fc.bin");
    QByteArray data(3500000, Qt::Uninitialized);
    std::mt19937 random(7);
    for (char& byte : data)
        byte = static_cast<char>(random());
    {
        QFile file(source.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(data), data.size());
    }
    auto lines = [list = &Get<QListWidget>("lstFiles")] {
        QStringList out;
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    };
    std::vector<int> progress;
    QObject::connect(&Get<QProgressBar>("ProgressBar1"), &QProgressBar::valueChanged,
                     [&](int value) { progress.push_back(value); });

    open = {Path(source.filePath(name)), Path(name)};
    folder = Path(pieces.path());
    QTest::mouseClick(&Get<QToolButton>("fltbTren"), Qt::LeftButton);
    const QString piece = pieces.filePath(name) + ".tr";
    EXPECT_EQ(lines(), QStringList({piece + "1 [1440000 bytes]", piece + "2 [1440000 bytes]",
                                    piece + "3 [620000 bytes]", piece + "0 [10 bytes]",
                                    "Finish Trening successfully"}));
    EXPECT_EQ(progress, std::vector<int>({1, 2, 3, 4, 0}));
    EXPECT_EQ(Get<QLineEdit>("txtSrcFile").text(), source.filePath(name));

    progress.clear();
    open = {Path(piece + "0"), Path(name + ".tr0")};
    folder = Path(rebuilt.path());
    QTest::mouseClick(&Get<QToolButton>("fltbBuild"), Qt::LeftButton);
    EXPECT_EQ(lines(), QStringList({rebuilt.filePath(name) + " [3500000 bytes]",
                                    "Finish building successfully"}));
    EXPECT_EQ(progress, std::vector<int>({1, 2, 3, 4, 0}));
    EXPECT_TRUE(messages.empty()) << messages.front();

    QFile back(rebuilt.filePath(name));
    ASSERT_TRUE(back.open(QIODevice::ReadOnly));
    EXPECT_TRUE(back.readAll() == data);
}

} // namespace

int main(int argc, char** argv) {
    // Qt writes its settings and caches under these; keep them in a folder of our own.
    QTemporaryDir home;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    for (const char* variable :
         {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"})
        qputenv(variable, QFile::encodeName(home.path()));
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "QtFormTest.moc"
