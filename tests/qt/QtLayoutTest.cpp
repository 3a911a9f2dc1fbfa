// The window at the desktop's font sizes, light and dark, on a real X screen once per scale
// factor: every control where the form has it, every text whole, the link and the list
// standing out. What it does when used is window_input_test.sh's.
#include "platform/linux/FreedesktopClassStore.h"
#include "platform/linux/PosixRunTime.h"
#include "platform/linux/TypeIcons.h"
#include "qt/QtForm.h"
#include "window/FormLayout.h"

#include <gtest/gtest.h>

#include <QtTest>
#include <QtWidgets>

namespace {

using namespace tren::qt; // and so tren::platform
namespace Layout = tren::FormLayout;

// WCAG's contrast ratio of two colours, from their relative luminance.
double Contrast(const QColor& a, const QColor& b) {
    auto luminance = [](const QColor& c) {
        double sum = 0.05;
        for (auto [v, w] : {std::pair{c.redF(), .2126}, {c.greenF(), .7152}, {c.blueF(), .0722}})
            sum += w * (v <= .03928 ? v / 12.92 : std::pow((v + .055) / 1.055, 2.4));
        return sum;
    };
    return std::max(luminance(a), luminance(b)) / std::min(luminance(a), luminance(b));
}

// Where a line edit draws, and clips, its text as its paint event does; in its parent.
QRect TextArea(const QLineEdit* edit) {
    const QStyle* style = edit->style();
    QStyleOptionFrame opt;
    opt.initFrom(edit);
    opt.rect = edit->contentsRect();
    opt.lineWidth =
        edit->hasFrame() ? style->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, edit) : 0;
    opt.state |= QStyle::State_Sunken;
    return style->subElementRect(QStyle::SE_LineEditContents, &opt, edit).translated(edit->pos());
}

bool Fits(QSize need, QRect room) {
    return room.size().expandedTo(need) == room.size();
}

// The font's size in points, and the palette; each look sets both whole. The window is
// shown in that look, any message it shows failing the test.
class LayoutTest : public testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        QApplication::setFont(QFont(QApplication::font().family(), std::stoi(GetParam())));
        QPalette dark(QColor(0x35, 0x35, 0x35)); // a dark window, light text on black
        dark.setColor(QPalette::Highlight, QColor(0x3d, 0xae, 0xe9));
        QApplication::setPalette(
            GetParam().ends_with("dark") ? dark : QApplication::style()->standardPalette());
        // Made in the look, as a window that starts in it is.
        window.emplace(runTime, store,
                       DialogHooks{{}, {}, [](auto& text, auto, auto&) { FAIL() << text; }});
        window->Load("");
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&*window));
    }

    PosixRunTime runTime;
    FreedesktopClassStore store =
        FreedesktopClassStore::FromEnvironment(runTime.HomeFolder(), TypeIcons());
    std::optional<QtForm> window;
};

// Each edge where the form has it, in twips scaled alike by the font (the client area
// gives the scale); the keyboard's order the tab indexes'.
TEST_P(LayoutTest, EachControlStandsWhereTheFormHasIt) {
    const QtForm& form = *window;
    const double x = form.width() / double(Layout::ClientArea.Width),
                 y = form.height() / double(Layout::ClientArea.Height);
    std::vector<std::pair<int, const QWidget*>> tabStops;
    for (const auto& drawn : Layout::Controls) {
        SCOPED_TRACE(drawn.Name);
        const auto* widget = form.findChild<QWidget*>(QString::fromLatin1(drawn.Name));
        ASSERT_NE(widget, nullptr);
        const QRect at = widget->geometry();
        EXPECT_NEAR(at.x(), drawn.At.Left * x, 1.5);
        EXPECT_NEAR(at.y(), drawn.At.Top * y, 1.5);
        EXPECT_NEAR(at.x() + at.width(), (drawn.At.Left + drawn.At.Width) * x, 1.5);
        EXPECT_NEAR(at.y() + at.height(), (drawn.At.Top + drawn.At.Height) * y, 1.5);
        if (widget->focusPolicy() & Qt::TabFocus)
            tabStops.emplace_back(drawn.TabIndex, widget);
    }
    std::ranges::sort(tabStops);
    // Tab goes from each control to the next that takes the focus among the form's own.
    std::vector<const QWidget*> chain;
    const QWidget* widget = tabStops.front().second;
    do {
        if (widget->parentWidget() == &form && (widget->focusPolicy() & Qt::TabFocus))
            chain.push_back(widget);
        widget = widget->nextInFocusChain();
    } while (widget != tabStops.front().second);
    ASSERT_EQ(chain.size(), tabStops.size());
    for (std::size_t i = 0; i < chain.size(); ++i)
        EXPECT_EQ(chain[i], tabStops[i].second) << tabStops[i].second->objectName().toStdString();
}

TEST_P(LayoutTest, EveryTextIsWhole) {
    const QtForm& form = *window;
    // What the window shows of a label holds its text, descenders too; of a button, its hint.
    for (const auto& drawn :
         {Layout::Label1, Layout::Label2, Layout::lblLink, Layout::fltbBuild, Layout::fltbTren}) {
        const QString name = QString::fromLatin1(drawn.Name);
        const auto* control = form.findChild<QWidget*>(name);
        const auto* label = qobject_cast<const QLabel*>(control);
        const QSize need = label ? label->fontMetrics().size(Qt::TextSingleLine, label->text())
                                 : control->sizeHint();
        EXPECT_TRUE(Fits(need, control->geometry() & form.rect()))
            << name.toStdString() << " " << need.width() << "x" << need.height();
    }
    // Each size in the size box's field, two pixels clear at either side; a path's height.
    const auto* combo = form.findChild<QComboBox*>("cmbSize");
    const QFontMetrics metrics = combo->fontMetrics();
    for (int i = 0; i < combo->count(); ++i)
        EXPECT_TRUE(Fits({metrics.horizontalAdvance(combo->itemText(i)) + 4, metrics.height()},
                         TextArea(combo->lineEdit()) & combo->rect()))
            << combo->itemText(i).toStdString();
    const auto* path = form.findChild<QLineEdit*>("txtSrcFile");
    EXPECT_LE(path->fontMetrics().height(),
              (TextArea(path) & path->geometry() & form.rect()).height());
    const auto* link = form.findChild<QLabel*>("lblLink");
    const auto* list = form.findChild<QListWidget*>("lstFiles");
    const auto colour = [](const QWidget* w, auto role) { return w->palette().color(role); };
    EXPECT_GE(Contrast(colour(link, link->foregroundRole()), colour(&form, QPalette::Window)), 2.5);
    EXPECT_EQ(link->cursor().pixmap().toImage(), QPixmap(":/art/hand-cursor.png").toImage());
    EXPECT_GE(Contrast(colour(list, list->foregroundRole()),
                       colour(list->viewport(), list->viewport()->backgroundRole())),
              4.5);
}

INSTANTIATE_TEST_SUITE_P(Fonts, LayoutTest,
                         testing::Values("9", "10", "11", "12", "14", "9_dark", "14_dark"),
                         [](const auto& info) { return info.param; });

} // namespace

// Qt's settings and caches in a folder of our own; headless unless on Xvfb.
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
