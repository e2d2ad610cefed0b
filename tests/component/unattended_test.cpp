// Running unattended: errors never stop the heartbeat, a failed save at Start
// keeps the application watch, settings texts go back byte for byte, a reply
// flood stays bounded and the send-code box takes in what fits of every
// kind of insertion.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QNetworkDatagram>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>
#include <string_view>

#include "common/local_text.h"
#include "heartbeat/discovery.h"
#include "net/nmudp.h"
#include "settings/controls.h"
#include "settings/ini_file.h"
#include "window_fixture.h"

class UnattendedTest : public LoopbackDeviceTest {
protected:
    void TearDown() override {
        TNMUDP::setResolver({});
        if (QMessageBox* box = vhb::openErrorBox())
            delete box;
        LoopbackDeviceTest::TearDown();
    }
    QList<QByteArray> received(int ms) {
        QList<QByteArray> got;
        waitFor(
            [&] {
                while (device.hasPendingDatagrams())
                    got << device.receiveDatagram().data();
                return false;
            },
            ms);
        return got;
    }
};

TEST_F(UnattendedTest, TheHeartbeatComesBackByItselfWhileTheErrorBoxIsOpen) {
    // The device's name does not resolve for the first two look-ups.
    int lookUps = 0;
    TNMUDP::setResolver([&](const QString&, std::function<void(std::optional<quint32>)> done) {
        const bool resolves = ++lookUps > 2;
        QTimer::singleShot(20, [done, resolves] {
            done(resolves ? std::optional<quint32>(0x7F000001) : std::nullopt);
        });
    });
    vhb::setErrorHook({});  // the real box
    form->ipEdit->setText(QStringLiteral("device.example"));
    form->IntervalEdit->setText(QStringLiteral("1"));
    form->BitBtn3Click();
    ASSERT_TRUE(
        waitFor([] { return vhb::openErrorBox() && vhb::openErrorBox()->isVisible(); }, 2500));
    EXPECT_EQ(vhb::openErrorBox()->text(), QStringLiteral("Host Lookup Canceled"));
    // Nobody clicks: the third tick's look-up succeeds and every tick after it sends.
    const QList<QByteArray> got = received(3600);
    EXPECT_GE(got.size(), 1);
    EXPECT_GE(lookUps, 4);
    ASSERT_TRUE(vhb::openErrorBox());
    EXPECT_TRUE(vhb::openErrorBox()->isVisible());
}

TEST_F(UnattendedTest, AFailedSaveAtStartStillStartsTheApplicationWatch) {
    if (processCountersRefused())
        GTEST_SKIP() << kRefused;
    const QByteArray original = "[CPU]\nAUTOSTART=1\n";
    QFile f(iniPath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(original);
    f.close();
    QFile::setPermissions(iniPath(), QFileDevice::ReadOwner);
    form->CheckBox2->setChecked(true);
    form->CheckBox3->setChecked(false);
    form->Edit2->setText(QStringLiteral("vhb-not-running#0"));
    form->BitBtn3Click();
    EXPECT_EQ(errors, QStringList{iniPath() + writeErrorText()});
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_TRUE(form->Timer2->isActive());
    EXPECT_EQ(iniBytes(), original);
    QFile::setPermissions(iniPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TEST_F(UnattendedTest, EightBitSettingsGoBackByteForByteAndTheDatagramStaysTheSame) {
    // An 8-bit file (Latin-1 bytes, invalid as UTF-8) with a byte-order mark.
    const QByteArray file =
        "\xEF\xBB\xBF[NETWORK]\r\nPORT=\xE9\x39\r\nIP=h\xF4te\r\nINTERVAL=5\r\nLOCALPORT=\xFF\r\n"
        "MAC=00:\xE8:00\r\nCODE=\xE9\xE8"
        "ABC\r\nMACCHECKED=0\r\n[SYSTEM]\r\nSTARTCNT=\xB2\r\n"
        "[CPU]\r\nCOUNT1=10\r\nAPP1=\xE9t\xE9#0\r\nAUTOSTART=0\r\nWAITSTART=1\r\n";
    QFile f(iniPath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(file);
    f.close();
    form->IniLoad();
    EXPECT_EQ(vhb::local8FromText(form->Edit1->text()),
              "\xE9\xE8"
              "ABC");
    form->IniSave();
    EXPECT_EQ(iniBytes(), file);

    // Codes whose 7-byte field holds bytes that are no character (a cut one
    // where the system's encoding is UTF-8): the same bytes at every send.
    QByteArray cut = QString::fromUtf8("ééééé").toLocal8Bit();  // 10 bytes in UTF-8
    cut = cut.size() >= 7 ? cut.left(7) : cut + '\0' + QByteArray(6 - cut.size(), ' ');
    const struct {
        QString code;
        QByteArray datagram;
    } cases[] = {
        {vhb::textFromLocal8("\xE9\xE8"
                             "ABC"),
         QByteArray("\xE9\xE8"
                    "ABC\0\x20\r\n",
                    9)},
        {QString::fromUtf8("ééééé"), cut + "\r\n"},
    };
    form->ipEdit->setText(QStringLiteral("127.0.0.1"));
    form->PortEdit->setText(QString::number(device.localPort()));
    form->localPortEdit->setText(QStringLiteral("0"));
    for (const auto& c : cases) {
        form->Edit1->setText(c.code);
        for (int send = 0; send < 3; ++send)
            form->SendData();
        const QList<QByteArray> got = received(300);
        ASSERT_EQ(got.size(), 3);
        for (const QByteArray& d : got)
            EXPECT_EQ(d, c.datagram);
    }
    // A code the operator types is stored in the system's encoding.
    form->Edit1->setText(QString::fromUtf8("é"));
    form->IniSave();
    EXPECT_TRUE(iniBytes().contains("CODE=" + QString::fromUtf8("é").toLocal8Bit()));
    EXPECT_FALSE(iniBytes().contains("\xEF\xBF\xBD"));
}

TEST_F(UnattendedTest, AReplyFloodListsAtMostAThousandAddresses) {
    const QByteArray reply = QByteArray::fromHex(
        "00800001"
        "11111111111111111111"
        "021A2B3C4D5E0000");
    const std::string hex = vhb::hexText(reinterpret_cast<const uint8_t*>(reply.constData()),
                                         static_cast<size_t>(reply.size()));
    for (int i = 0; i < 1200; ++i)
        form->data_chk(QStringLiteral("127.0.0.2"), QString::fromStdString(hex));
    EXPECT_EQ(form->ComboBox1->count(), 1000);
    EXPECT_EQ(form->Panel6->text(), QStringLiteral("search results : 1000"));
}

// The send-code box takes in as much of a paste or a drop as fits beside the
// text that stays, by each of the operator's ways; nothing changes where
// nothing fits, and a longer text the program set stays until shortened.
TEST_F(UnattendedTest, TheSendCodeBoxTakesWhatFitsOfAPasteOrADrop) {
    const struct {
        const char* name;
        const char* before;
        int selected;  // characters selected at the end of the text
        const char* incoming;
        const char* pasted;   // after a paste, from the keyboard or the menu
        const char* dropped;  // after a drop behind the text
    } cases[] = {
        {"into an empty box", "", 0, "ABCDEFGHIJ", "ABCDEFG", "ABCDEFG"},
        {"all of it fits", "", 0, "ABC", "ABC", "ABC"},
        {"into a partly filled box", "ABCD", 0, "EFGHIJ", "ABCDEFG", "ABCDEFG"},
        {"into a full box", "ABCDEFG", 0, "H", "ABCDEFG", "ABCDEFG"},
        {"over a selection", "ABCDEFG", 3, "XYZW", "ABCDXYZ", "ABCDEFG"},
        {"beside the program's longer text", "ZANTOHBXYZ", 0, "Q", "ZANTOHBXYZ", "ZANTOHBXYZ"},
        {"over too short a part of it", "ZANTOHBXYZ", 3, "Q", "ZANTOHBXYZ", "ZANTOHBXYZ"},
        {"over a longer part of it", "ZANTOHBXYZ", 5, "QRS", "ZANTOQR", "ZANTOHBXYZ"},
    };
    form->show();
    QLineEdit* box = form->Edit1->editor();
    const auto menuPaste = [box] {
        QContextMenuEvent click(QContextMenuEvent::Mouse, box->rect().center(),
                                box->mapToGlobal(box->rect().center()));
        QCoreApplication::sendEvent(box, &click);
        auto* menu = box->findChild<QMenu*>();
        ASSERT_NE(menu, nullptr);
        for (QAction* a : menu->actions()) {
            if (a->text().startsWith(QLineEdit::tr("&Paste")))
                a->trigger();
        }
        delete menu;
    };
    const std::pair<const char*, std::function<void(const QString&)>> ways[] = {
        {"key",
         [box](const QString& t) {
             QGuiApplication::clipboard()->setText(t);
             QTest::keySequence(box, QKeySequence::Paste);
         }},
        {"menu",
         [&](const QString& t) {
             QGuiApplication::clipboard()->setText(t);
             menuPaste();
         }},
        {"drop",
         [box](const QString& t) {
             QMimeData data;
             data.setText(t);
             const QPoint behind(box->width() - 2, box->height() / 2);
             QDragEnterEvent enter(behind, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
             QCoreApplication::sendEvent(box, &enter);
             QDropEvent drop(behind, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
             QCoreApplication::sendEvent(box, &drop);
         }},
    };
    for (const auto& c : cases) {
        for (const auto& [way, insert] : ways) {
            form->Edit1->setText(QString::fromLatin1(c.before));
            box->end(false);
            box->cursorBackward(true, c.selected);
            insert(QString::fromLatin1(c.incoming));
            const char* after = std::string_view(way) == "drop" ? c.dropped : c.pasted;
            EXPECT_EQ(form->Edit1->text(), QString::fromLatin1(after)) << c.name << " by " << way;
        }
    }
    // A longer text the program set can still be shortened.
    form->Edit1->setText(QStringLiteral("ZANTOHBXYZ"));
    box->end(false);
    box->backspace();
    EXPECT_EQ(form->Edit1->text(), QStringLiteral("ZANTOHBXY"));
}
