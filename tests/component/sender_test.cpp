// The heartbeat on loopback: the datagram, Start, Stop, the start wait and
// the ticks.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPushButton>
#include <QTimer>
#include <QUdpSocket>

#include "net/nmudp.h"
#include "platform/system.h"
#include "settings/controls.h"
#include "window_fixture.h"

namespace {

// A free UDP port on loopback, found by letting the system choose one.
quint16 freePort() {
    QUdpSocket s;
    s.bind(QHostAddress::LocalHost, 0);
    return s.localPort();
}

struct Received {
    QByteArray bytes;
    quint16 fromPort;
};

}  // namespace

class SenderTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(device.bind(QHostAddress::LocalHost, 0));
        sourcePort = freePort();
        form->ipEdit->setText(QStringLiteral("127.0.0.1"));
        form->PortEdit->setText(QString::number(device.localPort()));
        form->localPortEdit->setText(QString::number(sourcePort));
        form->Edit1->setText(QStringLiteral("ZANTOHB"));
    }
    std::vector<Received> receive(int atLeast, int ms) {
        std::vector<Received> got;
        waitFor(
            [&] {
                while (device.hasPendingDatagrams()) {
                    QNetworkDatagram d = device.receiveDatagram();
                    got.push_back({d.data(), static_cast<quint16>(d.senderPort())});
                }
                return int(got.size()) >= atLeast;
            },
            ms);
        return got;
    }
    QUdpSocket device;
    quint16 sourcePort = 0;
};

TEST_F(SenderTest, DatagramsFromTheConfiguredSourcePort) {
    struct Case {
        const char* code;
        QByteArray bytes;
        const char* editAfter;
    };
    const Case cases[] = {
        {"ZANTOHB", QByteArray("\x5A\x41\x4E\x54\x4F\x48\x42\x0D\x0A", 9), "ZANTOHB\r\n"},
        {"ABC", QByteArray("\x41\x42\x43\x00\x20\x20\x20\x0D\x0A", 9), "ABC"},
        {"ABCDEFGHIJ", QByteArray("ABCDEFG\r\n", 9), "ABCDEFG\r\n"},
    };
    for (const Case& c : cases) {
        form->Edit1->setText(QString::fromLatin1(c.code));
        form->SendData();
        auto got = receive(1, 2000);
        ASSERT_EQ(got.size(), 1u) << c.code;
        EXPECT_EQ(got[0].bytes, c.bytes) << c.code;
        EXPECT_EQ(got[0].fromPort, sourcePort);
        EXPECT_EQ(form->Edit1->text(), QString::fromLatin1(c.editAfter)) << c.code;
        // The next send carries the same bytes.
        form->SendData();
        got = receive(1, 2000);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].bytes, c.bytes) << c.code;
    }
    EXPECT_TRUE(form->Panel3->text().startsWith(QStringLiteral("Send ")));
    EXPECT_EQ(form->Panel3->text().size(), 5 + 19);
}

TEST_F(SenderTest, PortTextsReadAsWholeNumbers) {
    // The sending endpoint starts out on 9100; move it so 9100 can receive.
    form->NMUDP1->setLocalPort(freePort());
    QUdpSocket at9200, at9100;
    ASSERT_TRUE(at9200.bind(QHostAddress::LocalHost, 9200));
    ASSERT_TRUE(at9100.bind(QHostAddress::LocalHost, 9100));
    form->localPortEdit->setText(QString::number(freePort()));
    const std::pair<const char*, QUdpSocket*> cases[] = {
        {" 9200", &at9200}, {"9200 ", &at9100}, {"port", &at9100}, {"", &at9100}};
    for (auto& [text, socket] : cases) {
        form->PortEdit->setText(QString::fromLatin1(text));
        form->SendData();
        EXPECT_TRUE(waitFor([s = socket] { return s->hasPendingDatagrams(); }, 2000)) << text;
        while (socket->hasPendingDatagrams())
            socket->receiveDatagram();
    }
}

TEST_F(SenderTest, StartLocksTheControlsAndStopUnlocksThem) {
    form->BitBtn3Click();
    EXPECT_FALSE(form->BitBtn3->isEnabled());
    EXPECT_TRUE(form->BitBtn4->isEnabled());
    for (QWidget* w : form->lockedControls())
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    // Never locked.
    for (QWidget* w : {static_cast<QWidget*>(form->BitBtn1), static_cast<QWidget*>(form->BitBtn5),
                       static_cast<QWidget*>(form->BitBtn18), static_cast<QWidget*>(form->Edit2),
                       static_cast<QWidget*>(form->CheckBox2)})
        EXPECT_TRUE(w->isEnabled());
    EXPECT_TRUE(form->Panel3->text().startsWith(QStringLiteral("Start ")));
    EXPECT_TRUE(form->Timer1->isActive());

    form->BitBtn4Click();
    EXPECT_TRUE(form->BitBtn3->isEnabled());
    EXPECT_FALSE(form->BitBtn4->isEnabled());
    for (QWidget* w : form->lockedControls())
        EXPECT_TRUE(w->isEnabled());
    EXPECT_TRUE(form->Panel3->text().startsWith(QStringLiteral("Stop ")));
    EXPECT_FALSE(form->Timer1->isActive());
}

TEST_F(SenderTest, IntervalGivesThePeriodAndIsSaved) {
    const std::tuple<const char*, int, const char*> cases[] = {{"0", 5000, "INTERVAL=5"},
                                                               {"1", 1000, "INTERVAL=1"},
                                                               {"abc", 5000, "INTERVAL=5"},
                                                               {"-3", 5000, "INTERVAL=5"},
                                                               {"7", 7000, "INTERVAL=7"}};
    for (auto& [text, ms, saved] : cases) {
        form->IntervalEdit->setText(QString::fromLatin1(text));
        form->BitBtn3Click();
        EXPECT_EQ(form->Timer1->interval(), ms) << text;
        EXPECT_TRUE(iniBytes().contains(saved)) << text;
        form->BitBtn4Click();
    }
    // The start saved all settings: the heartbeat starts by itself next time.
    // (A new file's lines end as the system's text files do.)
    const QByteArray end(vhb::platform::nativeLineEnd().data(),
                         static_cast<int>(vhb::platform::nativeLineEnd().size()));
    EXPECT_TRUE(iniBytes().startsWith("[NETWORK]" + end + "PORT="));
}

TEST_F(SenderTest, StartWaitCountsDownBeforeTheFirstHeartbeat) {
    form->IntervalEdit->setText(QStringLiteral("1"));
    form->Edit7->setText(QStringLiteral("3"));
    QStringList shown;
    QObject::connect(form->Timer3, &QTimer::timeout, form.get(),
                     [&] { shown << form->Panel4->text(); });
    QElapsedTimer clock;
    clock.start();
    form->BitBtn3Click();
    auto got = receive(1, 6000);
    const qint64 firstAt = clock.elapsed();
    ASSERT_FALSE(got.empty());
    EXPECT_GE(firstAt, 2900);
    EXPECT_LE(firstAt, 4600);
    EXPECT_GE(shown.size(), 3);
    EXPECT_EQ(shown.mid(0, 3), (QStringList{"2", "1", "0"}));
    form->BitBtn4Click();
}

TEST_F(SenderTest, StopDuringTheWaitFreezesTheCountdown) {
    form->IntervalEdit->setText(QStringLiteral("1"));
    form->Edit7->setText(QStringLiteral("5"));
    form->BitBtn3Click();
    spin(1300);
    form->BitBtn4Click();
    const QString frozen = form->Panel4->text();
    EXPECT_EQ(frozen, QStringLiteral("4"));
    spin(1200);
    EXPECT_EQ(form->Panel4->text(), frozen);
    EXPECT_FALSE(form->Timer3->isActive());
    EXPECT_TRUE(receive(1, 100).empty());
}

TEST_F(SenderTest, NegativeWaitIsNoWait) {
    form->IntervalEdit->setText(QStringLiteral("1"));
    form->Edit7->setText(QStringLiteral("-4"));
    form->BitBtn3Click();
    EXPECT_EQ(form->StartWaitCount, 0);
    EXPECT_FALSE(form->Timer3->isActive());
    EXPECT_EQ(receive(1, 2500).size(), 1u);
    form->BitBtn4Click();
}

TEST_F(SenderTest, HoldSendsNothingWhileTicksGoOnAndStartClearsIt) {
    form->BitBtn3Click();
    form->HoldHeartbeat = true;
    const quint16 before = form->NMUDP2->boundPort();
    form->Timer1Timer();
    form->Timer1Timer();
    EXPECT_TRUE(receive(1, 300).empty());
    // The tick still re-binds the receiving endpoint to a system-chosen port.
    EXPECT_NE(form->NMUDP2->boundPort(), 0);
    Q_UNUSED(before);
    form->BitBtn4Click();
    EXPECT_TRUE(form->HoldHeartbeat);
    form->BitBtn3Click();
    EXPECT_FALSE(form->HoldHeartbeat);
    form->Timer1Timer();
    EXPECT_EQ(receive(1, 2000).size(), 1u);
    form->BitBtn4Click();
}

TEST_F(SenderTest, UnresolvableDestinationIsReportedAndTheTimerGoesOn) {
    form->ipEdit->setText(QStringLiteral("no-such-device.invalid"));
    form->IntervalEdit->setText(QStringLiteral("1"));
    form->BitBtn3Click();
    ASSERT_TRUE(waitFor([&] { return !errors.isEmpty(); }, 8000));
    EXPECT_EQ(errors.front(), QStringLiteral("Host Lookup Canceled"));
    EXPECT_TRUE(form->Panel3->text().startsWith(QStringLiteral("Send ")));
    EXPECT_TRUE(form->Timer1->isActive());
    form->BitBtn4Click();
}
