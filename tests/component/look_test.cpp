// What the operator sees: every caption inside its control with the font
// actually used, the window centred and off the taskbar, and the status
// texts in the user's separators.
#include <QAbstractButton>
#include <QCheckBox>
#include <QFontInfo>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QStyleOptionButton>

#include "common/user_locale.h"
#include "settings/controls.h"
#include "window_fixture.h"

namespace {

// The width the widget's style leaves for the caption of a button or a
// check box.
int captionRoom(QAbstractButton* b) {
    QStyleOptionButton opt;
    opt.initFrom(b);
    opt.text = b->text();
    const bool check = qobject_cast<QCheckBox*>(b) != nullptr;
    return b->style()
        ->subElementRect(check ? QStyle::SE_CheckBoxContents : QStyle::SE_PushButtonContents, &opt,
                         b)
        .width();
}

// A label grows with its text: the room is up to the next control to its
// right on the same line, or the page's edge.
int labelRoom(TLabel* l) {
    const QRect line(l->x(), l->y(), l->parentWidget()->width() - l->x(),
                     l->fontMetrics().height());
    int right = l->parentWidget()->width();
    for (QWidget* w : l->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (w != l && w->x() > l->x() && w->geometry().intersects(line))
            right = std::min(right, w->x());
    }
    return right - l->x();
}

}  // namespace

using LookTest = WindowTest;

TEST_F(LookTest, EveryCaptionFitsWithTheFontUsed) {
    form->show();  // whatever is sized at first show is sized now
    int checked = 0;
    for (QWidget* page : {form->Panel13, form->Panel2}) {
        for (TLabel* l : page->findChildren<TLabel*>(Qt::FindDirectChildrenOnly)) {
            const int text = l->fontMetrics().horizontalAdvance(l->text());
            EXPECT_LE(text, l->width()) << l->objectName().toStdString();
            EXPECT_LE(text, labelRoom(l))
                << l->objectName().toStdString() << " runs into its neighbour in "
                << QFontInfo(l->font()).family().toStdString();
            ++checked;
        }
        for (auto* b : page->findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly)) {
            EXPECT_LE(b->fontMetrics().horizontalAdvance(b->text()), captionRoom(b))
                << b->objectName().toStdString() << " \"" << b->text().toStdString()
                << "\" is cut in " << QFontInfo(b->font()).family().toStdString() << ' '
                << QFontInfo(b->font()).pixelSize() << "px";
            ++checked;
        }
    }
    // Twelve labels and twelve buttons and check boxes on the two pages.
    EXPECT_EQ(checked, 24);
}

TEST_F(LookTest, CentredOnFirstShowAndLeftWhereMovedAfter) {
    const QRect screen = form->screen()->availableGeometry();
    form->show();
    const QPoint off = form->frameGeometry().center() - screen.center();
    EXPECT_LE(off.manhattanLength(), 2) << off.x() << "," << off.y();
    form->hide();
    form->move(screen.topLeft() + QPoint(30, 20));
    form->show();
    EXPECT_EQ(form->pos(), screen.topLeft() + QPoint(30, 20));
}

TEST_F(LookTest, ToolWindowWithCloseBoxOnTopThatTakesTheFocus) {
    // A tool window has no taskbar button; it keeps its title and close box.
    EXPECT_EQ(form->windowType(), Qt::Tool);
    for (Qt::WindowType hint :
         {Qt::WindowStaysOnTopHint, Qt::WindowTitleHint, Qt::WindowCloseButtonHint})
        EXPECT_TRUE(form->windowFlags() & hint) << hint;
    form->show();
    form->activateWindow();
    if (kToolWindowsActivate) {
        EXPECT_TRUE(waitFor([&] { return form->isActiveWindow(); }, 2000));
    }
}

TEST(UserLocale, SeparatorsOfTheLocale) {
    struct Case {
        QLocale::Language language;
        QLocale::Territory territory;
        const char* date;
        const char* time;
        const char* decimal;
    };
    const Case cases[] = {
        {QLocale::C, QLocale::AnyTerritory, "/", ":", "."},  // "d MMM yyyy": no separator
        {QLocale::English, QLocale::UnitedStates, "/", ":", "."},
        {QLocale::German, QLocale::Germany, ".", ":", ","},
        {QLocale::Japanese, QLocale::Japan, "/", ":", "."},
        {QLocale::Finnish, QLocale::Finland, ".", ".", ","},
        {QLocale::Hungarian, QLocale::Hungary, ".", ":", ","},    // "yyyy. MM. dd."
        {QLocale::French, QLocale::Canada, "-", ":", ","},        // "HH 'h' mm"
        {QLocale::Korean, QLocale::SouthKorea, ".", ":", "."},    // "AP h:mm"
        {QLocale::Arabic, QLocale::Egypt, "/", ":", "\xd9\xab"},  // direction marks
    };
    for (const Case& c : cases) {
        const QLocale l(c.language, c.territory);
        const vhb::DateTimeSeparators s = vhb::dateTimeSeparatorsOf(l);
        EXPECT_EQ(s.date, c.date) << l.name().toStdString();
        EXPECT_EQ(s.time, c.time) << l.name().toStdString();
        // In the system's 8-bit encoding, as every status text is.
        EXPECT_EQ(vhb::decimalSeparatorOf(l),
                  QString::fromUtf8(c.decimal).toLocal8Bit().toStdString())
            << l.name().toStdString();
    }
}
