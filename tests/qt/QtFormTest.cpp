// The main window through its real widgets: the path box that refuses edits,
// the size list, the mail link, and a tren and build through the buttons.
#include "qt/QtForm.h"
#include "platform/linux/FreedesktopClassStore.h"
#include "platform/linux/PosixRunTime.h"
#include "platform/linux/TypeIcons.h"
#include "qt/QtControls.h"

#include <gtest/gtest.h>

#include <QtTest>
#include <QtWidgets>

#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using tren::platform::MessageStyle;
using tren::platform::OpenChoice;
using tren::qt::DialogHooks;
using tren::qt::QtForm;

std::string Path(const QString& path) {
    return tren::qt::PathFromQString(path);
}

// The window as a fresh start shows it, active, its dialogs answered by the test.
class QtFormTest : public testing::Test {
  protected:
    OpenChoice open;
    std::string folder;
    std::vector<std::string> messages;
    // Linux's services, as main composes them; the test's folders stand in for
    // the user's.
    tren::platform::PosixRunTime runTime;
    tren::platform::FreedesktopClassStore classStore =
        tren::platform::FreedesktopClassStore::FromEnvironment(runTime.HomeFolder(),
                                                               tren::platform::TypeIcons());
    QtForm form{runTime, classStore,
                DialogHooks{
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
};

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
    // A typed character, a control character, a paste with text and without, a drop.
    const std::pair<const char*, std::function<void(QLineEdit&)>> edits[] = {
        {"letter", key(Qt::Key_A)},
        {"Backspace", key(Qt::Key_Backspace)},
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

TEST_F(QtFormTest, SizeListIgnoresTypingButTakesAChoice) {
    auto& combo = Get<QComboBox>("cmbSize");
    EXPECT_EQ(combo.currentText(), "1.44M Bytes");
    // Typed text, even an entry's own, adds no entry and raises no click.
    for (const char* typed : {"7M Bytes", "3M Bytes"}) {
        combo.lineEdit()->selectAll();
        QTest::keyClicks(combo.lineEdit(), typed);
        QTest::keyClick(combo.lineEdit(), Qt::Key_Return);
        EXPECT_EQ(combo.count(), 5) << typed;
        EXPECT_EQ(form.Form().PieceSize, 1440000) << typed;
    }
    combo.setFocus();
    QTest::keyClick(&combo, Qt::Key_Down);
    EXPECT_EQ(form.Form().PieceSize, 1000000);
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
    EXPECT_EQ(link.cursor().pixmap().toImage(), QPixmap(":/art/hand-cursor.png").toImage());

    AddressReceiver receiver;
    QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &receiver, "open");
    QTest::mouseClick(&link, Qt::LeftButton);
    QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
    EXPECT_EQ(receiver.opened, QStringList{"mailto:tren@example.org"});
    EXPECT_TRUE(messages.empty());
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

    auto& tren = Get<QToolButton>("fltbTren");
    auto& build = Get<QToolButton>("fltbBuild");
    EXPECT_FALSE(tren.icon().isNull()); // the pictures are built in
    EXPECT_FALSE(build.icon().isNull());
    open = {Path(source.filePath(name)), Path(name)};
    folder = Path(pieces.path());
    QTest::mouseClick(&tren, Qt::LeftButton);
    const QString piece = pieces.filePath(name) + ".tr";
    EXPECT_EQ(lines(), QStringList({piece + "1 [1440000 bytes]", piece + "2 [1440000 bytes]",
                                    piece + "3 [620000 bytes]", piece + "0 [10 bytes]",
                                    "Finish Trening successfully"}));
    EXPECT_EQ(progress, std::vector<int>({1, 2, 3, 4, 0}));
    EXPECT_EQ(Get<QLineEdit>("txtSrcFile").text(), source.filePath(name));

    open = {Path(piece + "0"), Path(name + ".tr0")};
    folder = Path(rebuilt.path());
    QTest::mouseClick(&build, Qt::LeftButton);
    EXPECT_EQ(lines(), QStringList({rebuilt.filePath(name) + " [3500000 bytes]",
                                    "Finish building successfully"}));
    EXPECT_TRUE(messages.empty()) << messages.front();

    QFile back(rebuilt.filePath(name));
    ASSERT_TRUE(back.open(QIODevice::ReadOnly));
    EXPECT_TRUE(back.readAll() == data);
}

TEST_F(QtFormTest, APathThatIsNotTextBuildsFromTheCommandLine) {
    QTemporaryDir pieces, rebuilt;
    // "x\xff.bin" is no UTF-8: the box shows it as best it can, the build gets its bytes.
    const std::string name = "x\xff.bin", set = Path(pieces.path()) + "/" + name + ".tr";
    const std::vector<std::uint8_t> data = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    // One 10-byte piece: 1 piece, last length 10 (units digit first), size code 5.
    const std::pair<std::string, std::vector<std::uint8_t>> files[] = {
        {set + "1", data}, {set + "0", {1, 0, 1, 0, 0, 0, 0, 0, 0, 5}}};
    for (const auto& [path, bytes] : files) {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    folder = Path(rebuilt.path());
    QtForm built{runTime,
                 classStore,
                 {{},
                  [this](const std::string&) { return folder; },
                  [this](const std::string& text, MessageStyle, const std::string&) {
                      messages.push_back(text);
                  }}};
    built.Load(set + "0");
    EXPECT_TRUE(messages.empty()) << messages.front();
    std::ifstream back(folder + "/" + name, std::ios::binary);
    EXPECT_EQ(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(back), {}), data);
}

TEST(QtFormStart, AStoreThatCannotBeUsedIsReportedAndStartUpGoesOn) {
    QTemporaryDir home;
    const std::string data = Path(home.filePath("data"));
    std::ofstream(data) << "a file where the data folder should be";
    tren::platform::PosixRunTime runTime;
    tren::platform::FreedesktopClassStore store({data, data + "/config", {}, {}},
                                                runTime.ProgramPath(), tren::platform::TypeIcons());
    std::vector<std::string> messages;
    QtForm form{runTime,
                store,
                {{}, {}, [&](const std::string& text, MessageStyle, const std::string& title) {
                     messages.push_back(title + ": " + text);
                 }}};
    form.Load("");
    const std::string create =
        "DLL/OCX Register: An error occured while attempting to to create a registery key.";
    const std::string access =
        "DLL/OCX Register: An error occured while attempting to access the registery.";
    EXPECT_EQ(messages,
              std::vector<std::string>({create, create, create, access, access, access, access}));
    EXPECT_EQ(form.Form().PieceSize, 1440000);
}

} // namespace

int main(int argc, char** argv) {
    // Qt writes its settings and caches under these; keep them in a folder of our own.
    QTemporaryDir home;
    // Headless unless a test asks for a screen (the layout runs on Xvfb).
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    for (const char* variable :
         {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"})
        qputenv(variable, QFile::encodeName(home.path()));
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "QtFormTest.moc"
