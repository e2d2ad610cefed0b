// A settings window that is never shown does no text work: the heartbeat,
// the settings and the status panels use its controls all day without the
// font stack. Runs alone in its process, so that nothing before it has
// loaded fonts. Showing the window then makes the editors and sizes the
// labels, with the texts, the list and the tab order as they were.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <vector>

#include "settings/controls.h"
#include "window_fixture.h"

namespace {

// Whether a font or fontconfig's cache is mapped into this process: both are
// mapped as soon as any text is measured.
bool fontStackLoaded() {
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return false;
    const QByteArray all = maps.readAll();
    return all.contains("/fonts/") || all.contains("fontconfig/");
}

using LeanStart = WindowTest;

TEST_F(LeanStart, HiddenWindowWorksWithoutTextWorkAndShowsAsBuilt) {
    QFile f(iniPath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(
        "[NETWORK]\r\nIP=127.0.0.1\r\nCODE=ABCDEFGHIJ\r\nMAC=02:1A:2B:3C:4D:5E\r\n"
        "[CPU]\r\nAPP1=agent#1\r\nCOUNT1=12\r\n");
    f.close();
    // What the hidden program does with the window: load, read, fill, write.
    form->IniLoad();
    EXPECT_EQ(form->ipEdit->text(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(form->Edit1->text(), QStringLiteral("ABCDEFGHIJ"));
    EXPECT_EQ(form->UpDown1->Position(), 12);
    form->ComboBox1->addItem(QStringLiteral("02:00:00:00:00:01"));
    form->ComboBox1->setEditText(QStringLiteral("02:1A:2B:3C:4D:5E"));
    form->Panel3->setText(QStringLiteral("Send 2019/04/16 08:15:02"));
    form->cpu_chk(123);
    EXPECT_EQ(form->Panel6->text(), QStringLiteral("CPU (12.3%) Count 0/12 OK"));
    form->IniSave();
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(form->findChildren<QLineEdit*>().isEmpty()) << "no editor before the first show";
    EXPECT_TRUE(form->findChildren<QToolButton*>().isEmpty()) << "no arrows before the first show";
    EXPECT_TRUE(form->findChildren<QLabel*>().isEmpty()) << "no labels before the first show";
    EXPECT_FALSE(fontStackLoaded()) << "text work before the window was shown";

    form->show();
    QCoreApplication::processEvents();
    if (!fontStackLoaded())
        GTEST_SKIP() << "no font or fontconfig cache is mapped here even after showing the window";
    // The texts and the list came over into the editors.
    const std::pair<TEdit*, const char*> texts[] = {{form->ipEdit, "127.0.0.1"},
                                                    {form->Edit1, "ABCDEFGHIJ"},
                                                    {form->Edit2, "agent#1"},
                                                    {form->Edit3, "12"},
                                                    {form->PortEdit, "9100"}};
    for (const auto& [box, text] : texts) {
        ASSERT_NE(box->findChild<QLineEdit*>(), nullptr) << box->objectName().toStdString();
        EXPECT_EQ(box->findChild<QLineEdit*>()->text(), QString::fromLatin1(text));
        EXPECT_EQ(box->findChild<QLineEdit*>()->geometry(), box->rect());
    }
    // The spinner's arrows came with the show and step the count.
    form->BitBtn8Click();
    QCoreApplication::processEvents();
    const auto arrows = form->UpDown1->findChildren<QToolButton*>();
    ASSERT_EQ(arrows.size(), 2);
    arrows[0]->click();
    EXPECT_EQ(form->UpDown1->Position(), 13);
    EXPECT_EQ(form->Edit3->text(), QStringLiteral("13"));
    ASSERT_NE(form->ComboBox1->findChild<QComboBox*>(), nullptr);
    EXPECT_TRUE(form->ComboBox1->box()->isEditable());
    EXPECT_EQ(form->ComboBox1->count(), 1);
    EXPECT_EQ(form->ComboBox1->box()->lineEdit()->text(), QStringLiteral("02:1A:2B:3C:4D:5E"));
    for (TLabel* l : {form->Label8, form->Label14, form->Label11}) {
        EXPECT_GE(l->width(), l->sizeHint().width()) << l->objectName().toStdString();
        EXPECT_GT(l->height(), 0);
    }
}

// The widgets that the Tab key visits, in the order of the focus chain.
std::vector<QWidget*> tabChain(QWidget* window) {
    std::vector<QWidget*> chain;
    for (QWidget* w = window->nextInFocusChain(); w != window; w = w->nextInFocusChain()) {
        if (w->focusPolicy() != Qt::NoFocus && w->focusProxy() == nullptr)
            chain.push_back(w);
    }
    return chain;
}

// The editors made at the first show take their boxes' places in the tab
// order; nothing else moves.
TEST_F(LeanStart, EditorsTakeTheirBoxesPlacesInTheTabOrder) {
    std::vector<QWidget*> expected = tabChain(form.get());
    form->show();
    for (QWidget*& w : expected) {
        if (auto* box = qobject_cast<TEdit*>(w))
            w = box->editor();
        else if (auto* combo = qobject_cast<TComboBox*>(w))
            w = combo->box();
    }
    EXPECT_EQ(tabChain(form.get()), expected);
}

// The hidden combo box keeps its edit text as an editable one does: the
// first item added to an empty list becomes the text, emptying the list
// empties it, a text set stays.
TEST(LeanComboBox, HiddenEditTextFollowsTheListAsAShownOneDoes) {
    TComboBox hidden(nullptr);
    TComboBox shown(nullptr);
    shown.show();
    ASSERT_NE(shown.findChild<QComboBox*>(), nullptr);
    using Step = std::function<void(TComboBox&)>;
    const std::pair<const char*, Step> steps[] = {
        {"set text", [](TComboBox& b) { b.setEditText(QStringLiteral("typed")); }},
        {"first item", [](TComboBox& b) { b.addItem(QStringLiteral("02:00:00:00:00:01")); }},
        {"set text again", [](TComboBox& b) { b.setEditText(QStringLiteral("typed")); }},
        {"second item", [](TComboBox& b) { b.addItem(QStringLiteral("02:00:00:00:00:02")); }},
        {"clear", [](TComboBox& b) { b.clear(); }},
        {"item after clear", [](TComboBox& b) { b.addItem(QStringLiteral("02:00:00:00:00:03")); }},
    };
    for (const auto& [name, step] : steps) {
        step(hidden);
        step(shown);
        EXPECT_EQ(hidden.currentText(), shown.currentText()) << name;
        EXPECT_EQ(hidden.count(), shown.count()) << name;
    }
    EXPECT_EQ(hidden.findChild<QComboBox*>(), nullptr);
    hidden.show();
    EXPECT_EQ(hidden.box()->lineEdit()->text(), shown.currentText());
}

}  // namespace
