#include "platform/qt/QtForm.h"
#include "platform/qt/QtControls.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <ostream>
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

QStringList Lines(const QListWidget& list) {
    QStringList lines;
    for (int i = 0; i < list.count(); ++i)
        lines << list.item(i)->text();
    return lines;
}

// Runs act on the dialog of that type once a modal loop shows it.
template <class Dialog> void WhenShown(std::function<void(Dialog*)> act) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(dialog);
        }
    });
    timer->start(10);
}

struct Control {
    const char* name;
    QRect pixels;
    const char* toolTip;
    const char* caption;
    bool tabStop; // Tab reaches it
};

TEST(QtFormTest, ControlsSitWhereTheFormWasDrawn) {
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
    QtForm form;
    form.Load("");
    EXPECT_EQ(form.windowTitle(), "File Trenning");
    EXPECT_EQ(form.size(), QSize(368, 191));
    for (const Control& c : controls) {
        SCOPED_TRACE(c.name);
        auto* widget = form.findChild<QWidget*>(c.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), c.pixels);
        EXPECT_EQ(widget->toolTip(), QString::fromUtf8(c.toolTip));
        EXPECT_EQ((widget->focusPolicy() & Qt::TabFocus) != 0, c.tabStop);
        if (!c.caption)
            continue;
        if (auto* label = qobject_cast<QLabel*>(widget))
            EXPECT_EQ(label->text(), c.caption);
        else if (auto* button = qobject_cast<QAbstractButton*>(widget))
            EXPECT_EQ(button->text(), c.caption);
        else
            EXPECT_EQ(qobject_cast<QLineEdit*>(widget)->text(), c.caption);
    }
    auto* bar = form.findChild<QProgressBar*>("ProgressBar1");
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 100);
    // No layout: a resize leaves every control where it was.
    form.resize(600, 400);
    EXPECT_EQ(bar->geometry(), QRect(16, 168, 153, 17));
}

TEST(QtFormTest, SizeListHoldsExactlyTheFiveSizes) {
    QtForm form;
    form.Load("");
    auto* combo = form.findChild<QComboBox*>("cmbSize");
    const QStringList sizes{"5M Bytes", "3M Bytes", "1.44M Bytes", "1M Bytes", "500K Bytes"};
    auto entries = [combo] {
        QStringList out;
        for (int i = 0; i < combo->count(); ++i)
            out << combo->itemText(i);
        return out;
    };
    EXPECT_EQ(entries(), sizes);
    EXPECT_EQ(combo->currentText(), "1.44M Bytes");
    EXPECT_TRUE(combo->isEditable());

    combo->lineEdit()->selectAll();
    QTest::keyClicks(combo->lineEdit(), "7M Bytes");
    QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(entries(), sizes);
    EXPECT_EQ(form.Form().PieceSize, 1440000);
}

// Choosing raises the click exactly once; typing, even an entry's text, never does.
struct ComboCase {
    const char* name;
    std::function<void(tren::platform::QtComboBox&, QComboBox&, QWidget& elsewhere)> act;
    int clicks;
    const char* text;
};

void PrintTo(const ComboCase& c, std::ostream* os) {
    *os << c.name;
}

class QtComboBoxTest : public testing::TestWithParam<ComboCase> {};

TEST_P(QtComboBoxTest, RaisesClickOnlyOnChoice) {
    QWidget window;
    auto* combo = new QComboBox(&window);
    combo->setEditable(true);
    auto* elsewhere = new QLineEdit(&window);
    elsewhere->move(0, 40);
    tren::platform::QtComboBox adapter(combo);
    for (const char* size : {"5M Bytes", "3M Bytes", "1.44M Bytes"})
        adapter.AddItem(size);
    combo->setCurrentIndex(2);
    int clicks = 0;
    adapter.OnClick([&] { ++clicks; });
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    combo->setFocus();
    combo->lineEdit()->selectAll();

    GetParam().act(adapter, *combo, *elsewhere);
    EXPECT_EQ(clicks, GetParam().clicks);
    EXPECT_EQ(adapter.Text(), GetParam().text);
    EXPECT_EQ(adapter.ListCount(), 3);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QtComboBoxTest,
    testing::Values(
        ComboCase{"SetListIndex", [](auto& a, auto&, auto&) { a.SetListIndex(0); }, 1, "5M Bytes"},
        ComboCase{"KeyUp", [](auto&, auto& c, auto&) { QTest::keyClick(&c, Qt::Key_Up); }, 1,
                  "3M Bytes"},
        ComboCase{"TypedEntryAndEnter",
                  [](auto&, auto& c, auto&) {
                      QTest::keyClicks(c.lineEdit(), "3M Bytes");
                      QTest::keyClick(c.lineEdit(), Qt::Key_Return);
                  },
                  0, "3M Bytes"},
        ComboCase{"TypedPrefixAndFocusOut",
                  [](auto&, auto& c, auto& elsewhere) {
                      QTest::keyClicks(c.lineEdit(), "5");
                      elsewhere.setFocus();
                      QApplication::processEvents();
                  },
                  0, "5"}),
    [](const auto& info) { return std::string(info.param.name); });

struct MsgBoxCase {
    MessageStyle style;
    const char* title;
    QMessageBox::Icon icon;
    const char* shownTitle;
};

void PrintTo(const MsgBoxCase& c, std::ostream* os) {
    *os << static_cast<int>(c.style);
}

class QtWindowTest : public testing::TestWithParam<MsgBoxCase> {};

TEST_P(QtWindowTest, MessageBoxShowsStyleAndTitle) {
    QtForm form;
    form.Load("");
    QMessageBox::Icon icon{};
    QString title, text;
    int buttons = 0;
    WhenShown<QMessageBox>([&](QMessageBox* box) {
        icon = box->icon();
        title = box->windowTitle();
        text = box->text();
        buttons = static_cast<int>(box->buttons().size());
        box->button(QMessageBox::Ok)->click();
    });
    tren::platform::QtWindow window(&form, DialogHooks{});
    window.MsgBox("File is not exist.", GetParam().style, GetParam().title);
    EXPECT_EQ(icon, GetParam().icon);
    EXPECT_EQ(title, GetParam().shownTitle);
    EXPECT_EQ(text, "File is not exist.");
    EXPECT_EQ(buttons, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Styles, QtWindowTest,
    testing::Values(MsgBoxCase{MessageStyle::OkOnly, "", QMessageBox::NoIcon, "tren"},
                    MsgBoxCase{MessageStyle::Critical, "Trenning Error", QMessageBox::Critical,
                               "Trenning Error"},
                    MsgBoxCase{MessageStyle::Exclamation, "", QMessageBox::Warning, "tren"},
                    MsgBoxCase{MessageStyle::Information, "Trenning Warnning",
                               QMessageBox::Information, "Trenning Warnning"}));

// The real open dialog: which files each filter offers, and what choosing one gives.
struct OpenCase {
    const char* filter;
    QStringList offered;
    const char* chosen;
};

void PrintTo(const OpenCase& c, std::ostream* os) {
    *os << c.filter;
}

class QtCommonDialogTest : public testing::TestWithParam<OpenCase> {};

TEST_P(QtCommonDialogTest, FilterOffersTheRightFiles) {
    QTemporaryDir dir;
    for (const char* name : {"noext", "a.txt", "b.tr0"}) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QtForm form;
    form.Load("");
    QSet<QString> offered;
    QString label;
    WhenShown<QFileDialog>([&](QFileDialog* dialog) {
        auto* view = dialog->findChild<QListView*>("listView");
        auto* model = qobject_cast<QFileSystemModel*>(view->model());
        ASSERT_NE(model, nullptr);
        // The folder is read in the background; filtered names never enter the view.
        bool loaded = false;
        QObject::connect(model, &QFileSystemModel::directoryLoaded, dialog,
                         [&](const QString& path) { loaded = loaded || path == dir.path(); });
        dialog->setDirectory(dir.path());
        EXPECT_TRUE(QTest::qWaitFor([&] { return loaded; }));
        for (int r = 0; r < model->rowCount(view->rootIndex()); ++r)
            offered << model->index(r, 0, view->rootIndex()).data().toString();
        label = dialog->findChild<QComboBox*>("fileTypeCombo")->currentText();
        // As a user would: type the name, press Open.
        QTest::keyClicks(dialog->findChild<QLineEdit*>("fileNameEdit"), GetParam().chosen);
        dialog->findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Open)->click();
        if (dialog->isVisible()) {
            ADD_FAILURE() << "the open dialog refused the choice";
            dialog->reject();
        }
    });
    tren::platform::QtCommonDialog open(&form, DialogHooks{});
    const OpenChoice choice = open.ShowOpen("Select", GetParam().filter);
    EXPECT_EQ(offered, QSet<QString>(GetParam().offered.begin(), GetParam().offered.end()));
    const std::string filter = GetParam().filter;
    EXPECT_EQ(label.toStdString(), filter.substr(0, filter.find('|')));
    EXPECT_EQ(choice.FileName, Path(dir.filePath(GetParam().chosen)));
    EXPECT_EQ(choice.FileTitle, GetParam().chosen);
}

INSTANTIATE_TEST_SUITE_P(
    Filters, QtCommonDialogTest,
    testing::Values(OpenCase{"All Files (*.*)|*.*", {"noext", "a.txt", "b.tr0"}, "noext"},
                    OpenCase{"Tren Files (*.tr0)|*.tr0", {"b.tr0"}, "b.tr0"}));

// The folder picker: folders only, the chosen one's bytes, "" when cancelled.
class QtFolderTest : public testing::TestWithParam<bool> {};

TEST_P(QtFolderTest, ChoosesAFolderOrNone) {
    const bool choose = GetParam();
    QTemporaryDir parent;
    const QString folder = parent.filePath(QStringLiteral("St\u00fcck"));
    ASSERT_TRUE(QDir().mkdir(folder));
    QtForm form;
    form.Load("");
    QString title;
    bool foldersOnly = false;
    WhenShown<QFileDialog>([&](QFileDialog* dialog) {
        title = dialog->windowTitle();
        foldersOnly = dialog->fileMode() == QFileDialog::Directory &&
                      dialog->testOption(QFileDialog::ShowDirsOnly);
        dialog->setDirectory(folder);
        auto* buttons = dialog->findChild<QDialogButtonBox*>("buttonBox");
        buttons->button(choose ? QDialogButtonBox::Open : QDialogButtonBox::Cancel)->click();
    });
    tren::platform::QtWindow window(&form, DialogHooks{});
    const std::string chosen = window.ChooseFolder("Select directory to tren to...");
    EXPECT_EQ(title, "Select directory to tren to...");
    EXPECT_TRUE(foldersOnly);
    EXPECT_EQ(chosen, choose ? Path(folder) : std::string());
}

INSTANTIATE_TEST_SUITE_P(Answers, QtFolderTest, testing::Bool());

TEST(QtFormTest, TrensAndBuildsThroughTheButtons) {
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

    OpenChoice open;
    std::string folder;
    std::vector<std::string> messages;
    QtForm form(DialogHooks{
        [&](const std::string&, const std::string&) { return open; },
        [&](const std::string&) { return folder; },
        [&](const std::string& text, MessageStyle, const std::string&) {
            messages.push_back(text);
        },
    });
    form.Load("");
    auto* list = form.findChild<QListWidget*>("lstFiles");
    std::vector<int> progress;
    QObject::connect(form.findChild<QProgressBar*>("ProgressBar1"), &QProgressBar::valueChanged,
                     [&](int value) { progress.push_back(value); });
    form.show();

    open = {Path(source.filePath(name)), Path(name)};
    folder = Path(pieces.path());
    QTest::mouseClick(form.findChild<QToolButton*>("fltbTren"), Qt::LeftButton);
    const QString piece = pieces.filePath(name) + ".tr";
    EXPECT_EQ(Lines(*list), QStringList({piece + "1 [1440000 bytes]", piece + "2 [1440000 bytes]",
                                         piece + "3 [620000 bytes]", piece + "0 [10 bytes]",
                                         "Finish Trening successfully"}));
    EXPECT_EQ(progress, std::vector<int>({1, 2, 3, 4, 0}));
    EXPECT_EQ(form.findChild<QLineEdit*>("txtSrcFile")->text(), source.filePath(name));

    progress.clear();
    open = {Path(piece + "0"), Path(name + ".tr0")};
    folder = Path(rebuilt.path());
    QTest::mouseClick(form.findChild<QToolButton*>("fltbBuild"), Qt::LeftButton);
    EXPECT_EQ(Lines(*list), QStringList({rebuilt.filePath(name) + " [3500000 bytes]",
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
