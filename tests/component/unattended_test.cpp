// Running unattended: errors never stop the heartbeat, a failed save at Start
// keeps the application watch, settings texts go back byte for byte, a reply
// flood stays bounded and the send-code box limits every kind of insertion.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

#include "heartbeat/discovery.h"
#include "net/nmudp.h"
#include "settings/controls.h"
#include "settings/ini_file.h"
#include "settings/local_text.h"
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
    EXPECT_THROW(form->BitBtn3Click(), vhb::IniWriteError);
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

TEST_F(UnattendedTest, TheSendCodeBoxLimitsPastesButKeepsTheProgramsText) {
    const struct {
        const char* before;
        const char* pasted;
        const char* after;
    } cases[] = {
        {"", "ABCDEFGHIJ", ""},
        {"", "ABC", "ABC"},
        {"ABCD", "EFG", "ABCDEFG"},
        {"ABCD", "EFGH", "ABCD"},
        {"ZANTOHBXYZ", "Q", "ZANTOHBXYZ"},
    };
    QLineEdit* box = form->Edit1->editor();
    for (const auto& c : cases) {
        form->Edit1->setText(QString::fromLatin1(c.before));
        box->end(false);
        QGuiApplication::clipboard()->setText(QString::fromLatin1(c.pasted));
        box->paste();  // what the box's own menu does
        EXPECT_EQ(form->Edit1->text(), QString::fromLatin1(c.after)) << c.before << "+" << c.pasted;
    }
    // A longer text the program set can still be shortened.
    form->Edit1->setText(QStringLiteral("ZANTOHBXYZ"));
    box->end(false);
    box->backspace();
    EXPECT_EQ(form->Edit1->text(), QStringLiteral("ZANTOHBXY"));
}
