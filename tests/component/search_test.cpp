// The device search on loopback: the request for the local address
// 127.0.0.1 goes to 127.0.0.255 (inside 127/8), and replies sent back to
// port 9010 fill the list or move the heartbeat's destination.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QRegularExpression>
#include <QUdpSocket>
#include <vector>

#include "heartbeat/discovery.h"
#include "net/latebind.h"
#include "net/local_octets.h"
#include "net/nmudp.h"
#include "settings/controls.h"
#include "window_fixture.h"

namespace {

const QString kMac = QStringLiteral("02:1A:2B:3C:4D:5E");

QByteArray bytes(std::initializer_list<int> b) {
    QByteArray out;
    for (int v : b)
        out.append(static_cast<char>(v));
    return out;
}

// 00 80 00 <kind>, ten bytes, the MAC 02 1A 2B 3C 4D 5E, two more bytes.
QByteArray reply(int kind = 0x01) {
    QByteArray b = bytes({0x00, 0x80, 0x00, kind});
    b.append(QByteArray(10, '\x11'));
    b.append(bytes({0x02, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0x00, 0x00}));
    return b;
}

struct Received {
    QByteArray data;
    QString from;
    quint16 fromPort;
};

}  // namespace

class SearchTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        // Where the devices listen for the request.
        ASSERT_TRUE(device.bind(QHostAddress::AnyIPv4, vhb::kDiscoveryPort));
        form->LocalHostLookup = [this] { return host; };
        vhb::LocalOctets = {0, 0, 0, 0};
    }
    std::vector<Received> receive(size_t atLeast, int ms) {
        std::vector<Received> got;
        waitFor(
            [&] {
                while (device.hasPendingDatagrams()) {
                    QNetworkDatagram d = device.receiveDatagram();
                    got.push_back({d.data(), d.senderAddress().toString(),
                                   static_cast<quint16>(d.senderPort())});
                }
                return got.size() >= atLeast;
            },
            ms);
        return got;
    }
    // A device at 127.0.0.1 answers the endpoint on port 9010.
    void answer(const QByteArray& datagram) {
        ASSERT_EQ(device.writeDatagram(datagram, QHostAddress::LocalHost, vhb::kDiscoveryLocalPort),
                  datagram.size());
    }
    bool listed(int count) {
        return waitFor([&] { return form->ComboBox1->count() >= count; }, 2000);
    }
    QByteArray expectedRequest() const {
        const auto r = vhb::buildDiscoveryRequest({127, 0, 0, 1});
        return QByteArray(reinterpret_cast<const char*>(r.data()), vhb::kDiscoveryRequestLength);
    }
    void heartbeatRunning(bool followMac, const QString& chosen) {
        form->ComboBox1->setEditText(chosen);
        form->ComboBox1->setEnabled(false);
        form->CheckBox1->setChecked(followMac);
    }

    QUdpSocket device;
    std::optional<vhb::platform::LocalHost> host =
        vhb::platform::LocalHost{"vhb-test-host", {"127.0.0.1"}};
};

TEST_F(SearchTest, RequestGoesToTheSubnetBroadcastFromPort9010) {
    form->searche();
    const auto got = receive(1, 2000);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].data, expectedRequest());
    EXPECT_EQ(got[0].fromPort, vhb::kDiscoveryLocalPort);
    EXPECT_EQ(form->Panel1->text(), QStringLiteral("vhb-test-host"));
    EXPECT_EQ(form->Label6->text(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(vhb::LocalOctets, (std::array<int32_t, 4>{127, 0, 0, 1}));
    EXPECT_EQ(form->NMUDP2->RemoteHost(), QStringLiteral("127.0.0.255"));
    EXPECT_EQ(form->NMUDP2->RemotePort(), vhb::kDiscoveryPort);
    EXPECT_EQ(form->NMUDP2->ReportLevel(), 2);
    EXPECT_EQ(form->NMUDP2->boundPort(), vhb::kDiscoveryLocalPort);
}

TEST_F(SearchTest, AFirstAddressOffTheDevicesSubnetGivesWayToOneOnIt) {
    // As a virtual adapter listed first would; its subnet never sees a request.
    host = vhb::platform::LocalHost{"vhb-test-host", {"10.99.0.5", "127.0.0.1"}};
    form->ipEdit->setText(QStringLiteral("127.0.0.9"));
    form->searche();
    const auto got = receive(1, 2000);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].data, expectedRequest());
    EXPECT_EQ(form->Label6->text(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(form->NMUDP2->RemoteHost(), QStringLiteral("127.0.0.255"));
}

TEST_F(SearchTest, TwoSearchesSendTwoIdenticalRequests) {
    form->searche();
    form->searche();
    const auto got = receive(2, 2000);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].data, expectedRequest());
    EXPECT_EQ(got[1].data, expectedRequest());
    EXPECT_EQ(got[1].fromPort, vhb::kDiscoveryLocalPort);
}

TEST_F(SearchTest, NoLocalAddressSendsNothingAndKeepsTheOctets) {
    vhb::LocalOctets = {10, 0, 0, 7};
    host = std::nullopt;
    form->Panel1->setText(QStringLiteral("before"));
    form->searche();
    EXPECT_TRUE(receive(1, 300).empty());
    EXPECT_EQ(vhb::LocalOctets, (std::array<int32_t, 4>{10, 0, 0, 7}));
    EXPECT_EQ(form->Panel1->text(), QStringLiteral("before"));
    // The endpoint is opened for replies before the look-up.
    EXPECT_EQ(form->NMUDP2->boundPort(), vhb::kDiscoveryLocalPort);
}

TEST_F(SearchTest, ABindingErrorEndsTheSearch) {
    vhb::LocalOctets = {10, 0, 0, 7};
    form->LocalHostLookup = []() -> std::optional<vhb::platform::LocalHost> {
        throw vhb::EJwaLoadLibraryError("Library not found: libnosuch.so.9");
    };
    EXPECT_THROW(form->searche(), vhb::EJwaLoadLibraryError);
    EXPECT_TRUE(receive(1, 300).empty());
    EXPECT_EQ(vhb::LocalOctets, (std::array<int32_t, 4>{10, 0, 0, 7}));
}

TEST_F(SearchTest, RepliesFillTheListWhileStoppedDuplicatesToo) {
    form->ComboBox1->setEditText(QStringLiteral("00:00:00:00:00:00"));
    form->searche();
    ASSERT_EQ(receive(1, 2000).size(), 1u);
    answer(reply());
    ASSERT_TRUE(listed(1));
    EXPECT_EQ(form->ComboBox1->itemText(0), kMac);
    EXPECT_EQ(form->Panel6->text(), QStringLiteral("search results : 1"));
    answer(reply());
    ASSERT_TRUE(listed(2));
    EXPECT_EQ(form->ComboBox1->itemText(1), kMac);
    EXPECT_EQ(form->Panel6->text(), QStringLiteral("search results : 2"));
    // Listing is not choosing.
    EXPECT_EQ(form->ComboBox1->currentText(), QStringLiteral("00:00:00:00:00:00"));
}

TEST_F(SearchTest, SearchButtonEmptiesTheListButKeepsTheChosenText) {
    for (const char* m : {"AA:AA:AA:AA:AA:AA", "BB:BB:BB:BB:BB:BB", "CC:CC:CC:CC:CC:CC"}) {
        form->ComboBox1->addItem(QString::fromLatin1(m));
    }
    form->ComboBox1->setEditText(kMac);
    form->BitBtn2Click();
    EXPECT_EQ(form->ComboBox1->count(), 0);
    EXPECT_EQ(form->ComboBox1->currentText(), kMac);
    ASSERT_EQ(receive(1, 2000).size(), 1u);
    answer(reply(0xFF));
    ASSERT_TRUE(listed(1));
    EXPECT_EQ(form->ComboBox1->count(), 1);
    EXPECT_EQ(form->Panel6->text(), QStringLiteral("search results : 1"));
}

TEST_F(SearchTest, OtherDatagramsAreIgnored) {
    form->searche();
    ASSERT_EQ(receive(1, 2000).size(), 1u);
    QByteArray wrongStart = reply();
    wrongStart[2] = '\x01';
    answer(wrongStart);
    answer(reply(0x03));
    answer(reply(0x10));
    answer(QByteArray());
    // A short reply after them tells when the others have been handled.
    answer(bytes({0x00, 0x80, 0x00}));
    ASSERT_TRUE(listed(1));
    spin(100);
    EXPECT_EQ(form->ComboBox1->count(), 1);
    EXPECT_EQ(form->ComboBox1->itemText(0), QStringLiteral(":::::"));
}

TEST_F(SearchTest, AnOversizedReportIsIgnored) {
    form->searche();
    ASSERT_EQ(receive(1, 2000).size(), 1u);
    answer(reply());
    ASSERT_TRUE(listed(1));
    // The last datagram is a reply, but a count of -1 says none was read.
    form->NMUDP2DataReceived(form->NMUDP2, -1, QStringLiteral("127.0.0.1"), 15580);
    EXPECT_EQ(form->ComboBox1->count(), 1);
}

TEST_F(SearchTest, RunningWithMacAddressFollowsTheChosenDevice) {
    form->ipEdit->setText(QStringLiteral("127.0.0.9"));
    form->searche();
    ASSERT_EQ(receive(1, 2000).size(), 1u);
    heartbeatRunning(true, kMac);
    answer(reply());
    ASSERT_TRUE(waitFor([&] { return form->ipEdit->text() == QStringLiteral("127.0.0.1"); }, 2000));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}.\\d\\d.\\d\\d \\d\\d.\\d\\d.\\d\\d$"))
                    .match(form->Panel6->text())
                    .hasMatch())
        << form->Panel6->text().toStdString();
    EXPECT_EQ(form->ComboBox1->count(), 0);
}

TEST_F(SearchTest, RunningWithoutAMatchChangesNothing) {
    struct Case {
        bool followMac;
        QString chosen;
    };
    const Case cases[] = {
        {true, kMac.toLower()},                       // case counts
        {true, QStringLiteral("02:1A:2B:3C:4D:5F")},  // another device
        {false, kMac},                                // not following
    };
    form->searche();
    ASSERT_EQ(receive(1, 2000).size(), 1u);
    for (const Case& c : cases) {
        form->ipEdit->setText(QStringLiteral("127.0.0.9"));
        form->Panel6->setText(QStringLiteral("unchanged"));
        heartbeatRunning(c.followMac, c.chosen);
        answer(reply());
        spin(200);
        EXPECT_EQ(form->ipEdit->text(), QStringLiteral("127.0.0.9")) << c.chosen.toStdString();
        EXPECT_EQ(form->Panel6->text(), QStringLiteral("unchanged"));
        EXPECT_EQ(form->ComboBox1->count(), 0);
    }
}
