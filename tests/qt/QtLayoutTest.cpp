// The window at the desktop's font sizes, in a light and a dark palette: every
// label, entry text and the link are whole. Run once for each scale factor
// (QT_SCALE_FACTOR), on a real X screen; the main is QtFormTest's.
#include "platform/linux/FreedesktopClassStore.h"
#include "platform/linux/PosixRunTime.h"
#include "platform/linux/TypeIcons.h"
#include "qt/QtForm.h"

#include <gtest/gtest.h>

#include <QtTest>
#include <QtWidgets>

namespace {

using tren::platform::MessageStyle;

struct Look {
    int points;
    bool dark;
};

std::string NameOf(const testing::TestParamInfo<Look>& info) {
    return std::to_string(info.param.points) + "pt" + (info.param.dark ? "_dark" : "_light");
}

QPalette DarkPalette() {
    QPalette palette;
    const QColor window(0x35, 0x35, 0x35), base(0x24, 0x24, 0x24), text(0xee, 0xee, 0xee);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::Button, window);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(role, text);
    palette.setColor(QPalette::Highlight, QColor(0x3d, 0xae, 0xe9));
    palette.setColor(QPalette::HighlightedText, Qt::black);
    return palette;
}

// The WCAG contrast ratio of two colours.
double Contrast(const QColor& a, const QColor& b) {
    auto luminance = [](const QColor& c) {
        auto channel = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) +
               0.0722 * channel(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Where a line edit draws its text, as its paint event takes it: the style's
// contents rectangle, which clips the text.
QRect TextArea(const QLineEdit* edit) {
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.rect = edit->contentsRect();
    option.lineWidth = edit->hasFrame()
                           ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit)
                           : 0;
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    option.features = QStyleOptionFrame::None;
    return edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
}

// The application's font and palette come back after each look.
class LayoutTest : public testing::TestWithParam<Look> {
  protected:
    QFont font = QApplication::font();
    QPalette palette = QApplication::palette();
    void TearDown() override {
        QApplication::setFont(font);
        QApplication::setPalette(palette);
    }
};

TEST_P(LayoutTest, EveryTextIsWhole) {
    QFont font = QApplication::font();
    font.setPointSize(GetParam().points);
    QApplication::setFont(font);
    QApplication::setPalette(GetParam().dark ? DarkPalette()
                                             : QApplication::style()->standardPalette());

    tren::platform::PosixRunTime runTime;
    auto store = tren::platform::FreedesktopClassStore::FromEnvironment(
        runTime.HomeFolder(), tren::platform::TypeIcons());
    std::vector<std::string> messages;
    tren::qt::QtForm form(runTime, store,
                          {{}, {}, [&](const std::string& text, MessageStyle, const std::string&) {
                               messages.push_back(text);
                           }});
    form.Load("");
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_TRUE(messages.empty());

    // What the window shows of a control: it clips what reaches past its edge.
    auto visible = [&form](const QWidget* control) { return control->geometry() & form.rect(); };
    auto fits = [](QSize text, QSize room) {
        return text.width() <= room.width() && text.height() <= room.height();
    };
    // Labels draw their text from their top left corner; a font's height holds
    // its descenders.
    for (const char* name : {"Label1", "Label2", "lblLink"}) {
        const auto* label = form.findChild<QLabel*>(name);
        const QSize text = label->fontMetrics().size(Qt::TextSingleLine, label->text());
        EXPECT_TRUE(fits(text, visible(label).size()))
            << name << ": text " << text.width() << "x" << text.height() << " in "
            << visible(label).width() << "x" << visible(label).height();
    }
    // The entry texts: each size in the size box's field, a path's height in the
    // path box (a line edit keeps two pixels clear at either side).
    auto* combo = form.findChild<QComboBox*>("cmbSize");
    const QRect field = TextArea(combo->lineEdit()).translated(combo->lineEdit()->pos());
    for (int i = 0; i < combo->count(); ++i) {
        const QSize text(combo->fontMetrics().horizontalAdvance(combo->itemText(i)) + 4,
                         combo->fontMetrics().height());
        EXPECT_TRUE(fits(text, (field & combo->rect()).size())) << combo->itemText(i).toStdString();
    }
    const auto* path = form.findChild<QLineEdit*>("txtSrcFile");
    EXPECT_LE(path->fontMetrics().height(),
              (TextArea(path).translated(path->pos()) & visible(path)).height());
    // The buttons: what the style needs for picture and caption.
    for (const char* name : {"fltbBuild", "fltbTren"}) {
        const auto* button = form.findChild<QToolButton*>(name);
        const QSize need = button->sizeHint(), room = visible(button).size();
        EXPECT_TRUE(fits(need, room)) << name << ": needs " << need.width() << "x" << need.height()
                                      << ", has " << room.width() << "x" << room.height();
    }
    // The link stands out from the window, the list's lines from the list, in
    // either palette.
    auto colour = [](const QWidget* widget, QPalette::ColorRole role) {
        return widget->palette().color(role);
    };
    const auto* link = form.findChild<QLabel*>("lblLink");
    EXPECT_GE(Contrast(colour(link, link->foregroundRole()), colour(&form, QPalette::Window)), 2.5);
    const auto* list = form.findChild<QListWidget*>("lstFiles");
    EXPECT_GE(Contrast(colour(list, list->foregroundRole()),
                       colour(list->viewport(), list->viewport()->backgroundRole())),
              4.5);
}

INSTANTIATE_TEST_SUITE_P(Fonts, LayoutTest,
                         testing::Values(Look{9, false}, Look{10, false}, Look{11, false},
                                         Look{12, false}, Look{14, false}, Look{9, true},
                                         Look{14, true}),
                         NameOf);

} // namespace
