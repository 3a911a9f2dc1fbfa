// The window at the desktop's font sizes, light and dark, on a real X screen once per scale
// factor: every text is whole, the link and the list stand out. The main is QtFormTest's.
#include "platform/linux/FreedesktopClassStore.h"
#include "platform/linux/PosixRunTime.h"
#include "platform/linux/TypeIcons.h"
#include "qt/QtForm.h"

#include <gtest/gtest.h>

#include <QtTest>
#include <QtWidgets>

namespace {

using namespace tren::qt; // and so tren::platform

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

// The font's size in points, and the palette; each look sets both whole.
class LayoutTest : public testing::TestWithParam<std::string> {};

TEST_P(LayoutTest, EveryTextIsWhole) {
    QApplication::setFont(QFont(QApplication::font().family(), std::stoi(GetParam())));
    QPalette dark(QColor(0x35, 0x35, 0x35)); // a dark window, light text on black
    dark.setColor(QPalette::Highlight, QColor(0x3d, 0xae, 0xe9));
    QApplication::setPalette(
        GetParam().ends_with("dark") ? dark : QApplication::style()->standardPalette());
    PosixRunTime runTime;
    auto store = FreedesktopClassStore::FromEnvironment(runTime.HomeFolder(), TypeIcons());
    QtForm form(runTime, store, {{}, {}, [](auto& text, auto, auto&) { FAIL() << text; }});
    form.Load("");
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    // What the window shows of a label holds its text, descenders too; of a button, its hint.
    for (const char* name : {"Label1", "Label2", "lblLink", "fltbBuild", "fltbTren"}) {
        const auto* control = form.findChild<QWidget*>(name);
        const auto* label = qobject_cast<const QLabel*>(control);
        const QSize need = label ? label->fontMetrics().size(Qt::TextSingleLine, label->text())
                                 : control->sizeHint();
        EXPECT_TRUE(Fits(need, control->geometry() & form.rect()))
            << name << " " << need.width() << "x" << need.height();
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
    EXPECT_GE(Contrast(colour(list, list->foregroundRole()),
                       colour(list->viewport(), list->viewport()->backgroundRole())),
              4.5);
}

INSTANTIATE_TEST_SUITE_P(Fonts, LayoutTest,
                         testing::Values("9", "10", "11", "12", "14", "9_dark", "14_dark"),
                         [](const auto& info) { return info.param; });

} // namespace
