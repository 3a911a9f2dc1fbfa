// The main window through its real widgets and Linux's services, its dialogs answered by
// the test; what the handlers do (typed sizes, list lines, progress) is frmTrenTest's.
#include "qt/QtForm.h"
#include "platform/linux/FreedesktopClassStore.h"
#include "platform/linux/PosixRunTime.h"
#include "platform/linux/TypeIcons.h"
#include "support/TempFolder.h"
#include "window/FormLayout.h"

#include <gtest/gtest.h>

#include <QtTest>
#include <QtWidgets>

namespace {

using namespace tren::qt; // and so tren::platform
using namespace tren::test;

class QtFormTest : public testing::Test {
  protected:
    OpenChoice open;
    std::string folder;
    std::vector<std::string> messages;
    PosixRunTime runTime;
    FreedesktopClassStore store =
        FreedesktopClassStore::FromEnvironment(runTime.HomeFolder(), TypeIcons());
    DialogHooks hooks{[this](auto&&...) { return open; }, [this](auto&&...) { return folder; },
                      [this](auto& text, auto&&...) { messages.push_back(text); }};
    QtForm form{runTime, store, hooks};

    void SetUp() override { form.Load(""); }
    template <class Widget> Widget& Get(const char* name) { return *form.findChild<Widget*>(name); }
};

TEST_F(QtFormTest, PathBoxRefusesEveryEditButCopies) {
    auto& box = Get<QLineEdit>("txtSrcFile");
    box.setText("/data/report.doc");
    QMimeData dropped;
    dropped.setText("dropped");
    QDragEnterEvent enter({5, 5}, Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QDropEvent drop({5, 5}, Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    using Edit = std::pair<Qt::Key, Qt::KeyboardModifiers>; // a character, a control key, pastes
    for (const auto& [key, modifiers] :
         {Edit{Qt::Key_A, {}}, Edit{Qt::Key_Backspace, {}}, Edit{Qt::Key_V, Qt::ControlModifier},
          Edit{Qt::Key_Insert, Qt::ShiftModifier}, Edit{Qt::Key_unknown, {}}}) {
        QGuiApplication::clipboard()->setText("pasted");
        if (key != Qt::Key_unknown)
            QTest::keyClick(&box, key, modifiers);
        else // a drop
            QCoreApplication::sendEvent(&box, &enter), QCoreApplication::sendEvent(&box, &drop);
        EXPECT_EQ(box.text(), "/data/report.doc") << key;
    }
    QTest::keyClick(&box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&box, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "/data/report.doc");
}

TEST_F(QtFormTest, LinkShowsTheHandAndMailsTheAddress) {
    auto& link = Get<QLabel>("lblLink");
    EXPECT_EQ(link.cursor().pixmap().toImage(), QPixmap(":/art/hand-cursor.png").toImage());
    QTextBrowser desktop; // takes the address the desktop is handed, as its source
    QDesktopServices::setUrlHandler("mailto", &desktop, "setSource");
    QTest::mouseClick(&link, Qt::LeftButton);
    QDesktopServices::unsetUrlHandler("mailto");
    EXPECT_EQ(desktop.source(), QUrl("mailto:" + QString::fromUtf8(tren::FormLayout::LinkAddress)));
    EXPECT_TRUE(messages.empty());
}

// A name that is no UTF-8: the widgets show it as best they can, the handlers get its bytes.
TEST_F(QtFormTest, TrensAndBuildsThroughTheButtons) {
    TempFolder source, pieces, rebuilt;
    const std::string name = "daten-\xfc.bin";
    const auto data = RandomBytes(3500000, 7);
    WriteFile(source / name, data);
    auto& list = Get<QListWidget>("lstFiles");
    auto &tren = Get<QToolButton>("fltbTren"), &build = Get<QToolButton>("fltbBuild");
    EXPECT_FALSE(tren.icon().isNull() || build.icon().isNull()); // the pictures are built in
    open = {source / name, name};
    folder = pieces.Path();
    QTest::mouseClick(&tren, Qt::LeftButton);
    EXPECT_EQ(list.count(), 5);
    EXPECT_EQ(list.item(4)->text(), "Finish Trening successfully");
    EXPECT_EQ(Get<QLineEdit>("txtSrcFile").text(), PathToQString(source / name));
    open = {pieces / name + ".tr0", name + ".tr0"};
    folder = rebuilt.Path();
    QTest::mouseClick(&build, Qt::LeftButton);
    EXPECT_EQ(list.count(), 2);
    EXPECT_EQ(list.item(1)->text(), "Finish building successfully");
    EXPECT_TRUE(messages.empty()) << messages.front();
    EXPECT_TRUE(ReadFile(rebuilt / name) == data);
}

} // namespace

// Qt's settings and caches in a folder of our own; headless unless on Xvfb (the layout).
int main(int argc, char** argv) {
    QTemporaryDir home;
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    for (const char* variable :
         {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"})
        qputenv(variable, QFile::encodeName(home.path()));
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
