// TNMUDP on the loopback interface only. Run inside a network namespace of
// its own: unshare --net sh -c 'ip link set lo up; exec ./component_nmudp'
#include "net/nmudp.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QNetworkProxy>
#include <QTimer>
#include <QUdpSocket>
#include <ctime>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#endif
#include <map>
#include <memory>
#include <vector>

namespace {

const QHostAddress kLoopback(QStringLiteral("127.0.0.1"));

// Runs the event loop until `done` holds or `ms` have passed.
bool WaitUntil(const std::function<bool()>& done, int ms = 2000) {
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done() || clock.elapsed() > ms) {
            loop.quit();
        }
    });
    poll.start();
    if (!done()) {
        loop.exec();
    }
    return done();
}

void RunFor(int ms) {
    WaitUntil([] { return false; }, ms);
}

// A plain socket that collects what arrives.
struct Receiver {
    QUdpSocket socket;
    std::vector<QNetworkDatagram> got;

    explicit Receiver(const QHostAddress& address = kLoopback, quint16 port = 0) {
        socket.setProxy(QNetworkProxy::NoProxy);
        EXPECT_TRUE(socket.bind(address, port)) << address.toString().toStdString() << ':' << port;
        QObject::connect(&socket, &QUdpSocket::readyRead, &socket, [this] {
            while (socket.hasPendingDatagrams()) {
                got.push_back(socket.receiveDatagram());
            }
        });
    }
    quint16 port() const { return socket.localPort(); }
    bool WaitFor(size_t count) {
        return WaitUntil([&] { return got.size() >= count; });
    }
};

// The processor time of this process so far. clock() counts it on Linux
// but counts wall time on Windows.
double ProcessorSeconds() {
#ifdef _WIN32
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<quint64>(t.dwHighDateTime) << 32) |
                                   t.dwLowDateTime) /
               1e7;
    };
    return seconds(kernel) + seconds(user);
#else
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
#endif
}

quint16 FreePort() {
    QUdpSocket probe;
    probe.bind(QHostAddress::AnyIPv4, 0);
    return probe.localPort();
}

QByteArray Heartbeat() {
    return QByteArray("ZANTOHB\r\n", 9);
}

// Answers after `delayMs` through the event loop, as the system's look-up does.
struct ScriptedResolver {
    struct Answer {
        std::optional<quint32> address;
        int delayMs = 0;
    };
    std::map<QString, Answer> answers;
    std::vector<QString> asked;

    void Install() {
        TNMUDP::setResolver([this](const QString& name, auto done) {
            asked.push_back(name);
            const auto it = answers.find(name);
            const Answer answer = it == answers.end() ? Answer{} : it->second;
            QTimer::singleShot(answer.delayMs, qApp, [done, answer] { done(answer.address); });
        });
    }
};

class NmudpTest : public testing::Test {
protected:
    void TearDown() override { TNMUDP::setResolver({}); }

    template <typename Error>
    static std::string MessageOf(const std::function<void()>& action) {
        try {
            action();
        } catch (const Error& e) {
            return e.what();
        }
        return "(nothing thrown)";
    }
};

TEST_F(NmudpTest, HeartbeatArrivesFromTheBoundLocalPort) {
    Receiver receiver;
    TNMUDP udp;
    const quint16 local = FreePort();
    udp.setLocalPort(local);
    EXPECT_EQ(udp.boundPort(), local);
    int sendEvents = 0;
    udp.OnDataSend = [&](TNMUDP* sender) {
        EXPECT_EQ(sender, &udp);
        ++sendEvents;
    };
    udp.setRemoteHost("127.0.0.1");
    udp.setRemotePort(receiver.port());
    udp.SendBytes(Heartbeat(), 9);

    ASSERT_TRUE(receiver.WaitFor(1));
    EXPECT_EQ(receiver.got[0].data(), Heartbeat());
    EXPECT_EQ(receiver.got[0].senderPort(), local);
    EXPECT_EQ(sendEvents, 1);
}

TEST_F(NmudpTest, OnlyTheLowSixteenBitsOfRemotePortCount) {
    Receiver receiver(kLoopback, 4464);
    TNMUDP udp;
    udp.setLocalPort(0);
    udp.setRemoteHost("127.0.0.1");
    for (const int port : {70000, 4464 + 2 * 65536, 4464 - 65536}) {
        udp.setRemotePort(port);
        udp.SendBytes(Heartbeat(), 9);
    }
    EXPECT_TRUE(receiver.WaitFor(3)) << receiver.got.size();
}

TEST_F(NmudpTest, SendsOnlyLengthBytesOfALongerBuffer) {
    Receiver receiver;
    TNMUDP udp;
    udp.setLocalPort(0);
    udp.setRemoteHost("127.0.0.1");
    udp.setRemotePort(receiver.port());
    QByteArray buffer(64, '\0');
    for (int i = 0; i < buffer.size(); ++i) {
        buffer[i] = static_cast<char>(i + 1);
    }
    udp.SendBytes(buffer, 32);
    ASSERT_TRUE(receiver.WaitFor(1));
    EXPECT_EQ(receiver.got[0].data(), buffer.left(32));
}

TEST_F(NmudpTest, LengthZeroIsAnInvalidBufferUnlessAHandlerSuppliesOne) {
    Receiver receiver;
    TNMUDP udp;
    udp.setLocalPort(0);
    udp.setRemoteHost("127.0.0.1");
    udp.setRemotePort(receiver.port());

    EXPECT_EQ(MessageOf<vhb::Exception>([&] { udp.SendBytes(Heartbeat(), 0); }), "Invalid buffer");
    int calls = 0;
    udp.OnBufferInvalid = [&](bool&, QByteArray&, int&) { ++calls; };  // leaves handled false
    EXPECT_EQ(MessageOf<vhb::Exception>([&] { udp.SendBytes(Heartbeat(), 0); }), "Invalid buffer");
    udp.OnBufferInvalid = [&](bool& handled, QByteArray&, int&) {
        ++calls;
        handled = true;  // but still no length: one chance only
    };
    EXPECT_EQ(MessageOf<vhb::Exception>([&] { udp.SendBytes(Heartbeat(), 0); }), "Invalid buffer");
    EXPECT_EQ(calls, 2);
    RunFor(100);
    EXPECT_TRUE(receiver.got.empty());

    const QByteArray original = Heartbeat();
    udp.OnBufferInvalid = [&](bool& handled, QByteArray& buff, int& length) {
        handled = true;
        buff[0] = 'X';
        length = 5;
    };
    udp.SendBytes(original, 0);
    ASSERT_TRUE(receiver.WaitFor(1));
    EXPECT_EQ(receiver.got[0].data(), QByteArray("XANTO"));
    EXPECT_EQ(original, Heartbeat()) << "the handler works on the endpoint's own copy";
}

TEST_F(NmudpTest, NullAddressIsRefusedWithoutALookUp) {
    ScriptedResolver resolver;
    resolver.answers["zero.test"] = {0u, 0};
    resolver.Install();
    TNMUDP udp;
    udp.setLocalPort(0);
    udp.setReportLevel(2);
    udp.setRemotePort(9);
    for (const char* host : {"0.0.0.0", "0", "0x0.0"}) {
        udp.setRemoteHost(host);
        EXPECT_EQ(MessageOf<UDPSockError>([&] { udp.SendBytes(Heartbeat(), 9); }),
                  "Null Remote Address")
            << host;
    }
    EXPECT_TRUE(resolver.asked.empty());
    udp.setRemoteHost("zero.test");  // a look-up answering 0.0.0.0
    EXPECT_EQ(MessageOf<UDPSockError>([&] { udp.SendBytes(Heartbeat(), 9); }),
              "Null Remote Address");
    EXPECT_EQ(udp.StatusText(), "") << "\"Sending Data\" only once the address is known";
}

TEST_F(NmudpTest, UnknownHostWithTheSystemResolverIsCanceled) {
    TNMUDP udp;
    udp.setLocalPort(0);
    udp.setRemoteHost("nosuchhost.invalid");
    udp.setRemotePort(9);
    int invalidHostCalls = 0;
    udp.OnInvalidHost = [&](bool&) { ++invalidHostCalls; };
    EXPECT_EQ(MessageOf<UDPSockError>([&] { udp.SendBytes(Heartbeat(), 9); }),
              "Host Lookup Canceled");
    EXPECT_EQ(invalidHostCalls, 1);
}

TEST_F(NmudpTest, InvalidHostHandlerGetsOneSecondAttemptWithTheSameName) {
    Receiver receiver;
    ScriptedResolver resolver;
    resolver.Install();
    TNMUDP udp;
    udp.setLocalPort(0);
    udp.setRemoteHost("flaky.test");
    udp.setRemotePort(receiver.port());
    int calls = 0;
    udp.OnInvalidHost = [&](bool& handled) {
        ++calls;
        handled = true;
        udp.setRemoteHost("127.0.0.1");  // not seen by the second attempt
    };
    EXPECT_EQ(MessageOf<UDPSockError>([&] { udp.SendBytes(Heartbeat(), 9); }),
              "Host Lookup Canceled");
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(resolver.asked, (std::vector<QString>{"flaky.test", "flaky.test"}));

    // The second attempt can succeed: the answer changes between the two.
    udp.setRemoteHost("flaky.test");
    udp.OnInvalidHost = [&](bool& handled) {
        handled = true;
        resolver.answers["flaky.test"] = {0x7F000001u, 0};
    };
    udp.SendBytes(Heartbeat(), 9);
    EXPECT_TRUE(receiver.WaitFor(1));
}

TEST_F(NmudpTest, NamesLongerThan130CharactersAreNotLookedUp) {
    ScriptedResolver resolver;
    resolver.Install();
    TNMUDP udp;
    udp.setLocalPort(0);
    udp.setRemotePort(9);
    udp.setRemoteHost(QString(131, 'a'));
    EXPECT_EQ(MessageOf<UDPSockError>([&] { udp.SendBytes(Heartbeat(), 9); }),
              "Host Lookup Canceled");
    EXPECT_TRUE(resolver.asked.empty());
    // 130 characters are looked up whole, not cut.
    udp.setRemoteHost(QString(130, 'b'));
    EXPECT_THROW(udp.SendBytes(Heartbeat(), 9), UDPSockError);
    EXPECT_EQ(resolver.asked, std::vector<QString>{QString(130, 'b')});
}

TEST_F(NmudpTest, ReceivedDatagramReachesTheEventAndCanBeCopied) {
    TNMUDP udp;
    udp.setLocalPort(FreePort());
    Receiver sender;
    int numberBytes = 0;
    QString fromIp;
    int fromPort = 0;
    QBuffer copy;
    copy.open(QIODevice::ReadWrite);
    copy.write("XY");  // the copy goes at the stream's current position
    udp.OnDataReceived = [&](TNMUDP* s, int n, const QString& ip, int port) {
        EXPECT_EQ(s, &udp);
        numberBytes = n;
        fromIp = ip;
        fromPort = port;
        s->CopyLastDatagram(copy);
    };
    sender.socket.writeDatagram(QByteArray("\x00\x80\x00", 3), kLoopback, udp.boundPort());
    ASSERT_TRUE(WaitUntil([&] { return numberBytes != 0; }));
    EXPECT_EQ(numberBytes, 3);
    EXPECT_EQ(fromIp, "127.0.0.1");
    EXPECT_EQ(fromPort, sender.port());
    EXPECT_EQ(copy.pos(), 0);
    EXPECT_EQ(copy.data(), QByteArray("XY\x00\x80\x00", 5));
}

TEST_F(NmudpTest, EveryWaitingDatagramIsReadAndAnOversizedOneCountsAsFailed) {
    TNMUDP udp;
    udp.setLocalPort(0);  // a system-chosen port
    ASSERT_NE(udp.boundPort(), 0);
    std::vector<int> counts;
    QBuffer copy;
    copy.open(QIODevice::ReadWrite);
    udp.OnDataReceived = [&](TNMUDP* s, int n, const QString&, int) {
        counts.push_back(n);
        if (n < 0) {
            s->CopyLastDatagram(copy);
        }
    };
    Receiver sender;
    // Both are queued before the endpoint gets to read.
    sender.socket.writeDatagram(QByteArray(3000, 'x'), kLoopback, udp.boundPort());
    sender.socket.writeDatagram(QByteArray("abc"), kLoopback, udp.boundPort());
    ASSERT_TRUE(WaitUntil([&] { return counts.size() >= 2; }));
    EXPECT_EQ(counts, (std::vector<int>{-1, 3}));
    EXPECT_EQ(copy.size(), 0) << "a failed read copies nothing";
}

TEST_F(NmudpTest, WithoutAHandlerDatagramsAreReadAndDropped) {
    TNMUDP udp;
    udp.setLocalPort(FreePort());
    Receiver sender;
    sender.socket.writeDatagram(QByteArray("old"), kLoopback, udp.boundPort());
    RunFor(100);
    std::vector<int> counts;
    udp.OnDataReceived = [&](TNMUDP*, int n, const QString&, int) { counts.push_back(n); };
    sender.socket.writeDatagram(QByteArray("new!"), kLoopback, udp.boundPort());
    ASSERT_TRUE(WaitUntil([&] { return !counts.empty(); }));
    RunFor(50);
    EXPECT_EQ(counts, std::vector<int>{4});
}

TEST_F(NmudpTest, AssigningTheSameLocalPortStillRebinds) {
    TNMUDP udp;
    const quint16 local = FreePort();
    udp.setLocalPort(local);
    std::vector<int> counts;
    udp.OnDataReceived = [&](TNMUDP*, int n, const QString&, int) { counts.push_back(n); };
    Receiver sender;
    sender.socket.writeDatagram(QByteArray("lost"), kLoopback, local);  // waits on the old socket
    udp.setLocalPort(local);
    EXPECT_EQ(udp.boundPort(), local);
    RunFor(100);
    EXPECT_TRUE(counts.empty()) << "the datagram waiting on the old socket is gone";
    sender.socket.writeDatagram(QByteArray("ok"), kLoopback, local);
    ASSERT_TRUE(WaitUntil([&] { return !counts.empty(); }));
    EXPECT_EQ(counts, std::vector<int>{2});
}

TEST_F(NmudpTest, RebindFromInsideTheReceiveHandlerDropsTheRest) {
    TNMUDP udp;
    const quint16 local = FreePort();
    udp.setLocalPort(local);
    std::vector<int> counts;
    udp.OnDataReceived = [&](TNMUDP* s, int n, const QString&, int) {
        counts.push_back(n);
        s->setLocalPort(local);
    };
    Receiver sender;
    sender.socket.writeDatagram(QByteArray("1"), kLoopback, local);
    sender.socket.writeDatagram(QByteArray("22"), kLoopback, local);
    ASSERT_TRUE(WaitUntil([&] { return !counts.empty(); }));
    RunFor(100);
    EXPECT_EQ(counts, std::vector<int>{1});
}

TEST_F(NmudpTest, FailedRebindFromInsideTheReceiveHandlerStillSends) {
    QUdpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress::AnyIPv4, 0, QAbstractSocket::DontShareAddress));
    TNMUDP udp;
    const quint16 local = FreePort();
    udp.setLocalPort(local);
    int calls = 0;
    udp.OnDataReceived = [&](TNMUDP* s, int, const QString&, int) {
        ++calls;
        s->setLocalPort(holder.localPort());  // in use: the socket is replaced under the reader
    };
    Receiver peer;
    peer.socket.writeDatagram(QByteArray("1"), kLoopback, local);
    peer.socket.writeDatagram(QByteArray("22"), kLoopback, local);
    ASSERT_TRUE(WaitUntil([&] { return calls > 0; }));
    RunFor(100);
    EXPECT_EQ(calls, 1);
    udp.setRemoteHost("127.0.0.1");
    udp.setRemotePort(peer.port());
    udp.SendBytes(Heartbeat(), 9);
    ASSERT_TRUE(peer.WaitFor(1));
    EXPECT_NE(peer.got[0].senderPort(), holder.localPort());
}

TEST_F(NmudpTest, BindFailureIsIgnoredAndTheSendPicksAPort) {
    QUdpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress::AnyIPv4, 0, QAbstractSocket::DontShareAddress));
    Receiver receiver;
    TNMUDP udp;
    EXPECT_EQ(udp.LastErrorNumber(), 0);
    udp.setLocalPort(holder.localPort());
    EXPECT_EQ(udp.boundPort(), 0);
    // The port in use, as the system's sockets number it; Windows may answer
    // an exclusively held port with "access denied" instead.
    EXPECT_TRUE(udp.LastErrorNumber() == 10048 || udp.LastErrorNumber() == 10013)
        << udp.LastErrorNumber();
    udp.setRemoteHost("127.0.0.1");
    udp.setRemotePort(receiver.port());
    udp.SendBytes(Heartbeat(), 9);
    ASSERT_TRUE(receiver.WaitFor(1));
    EXPECT_NE(receiver.got[0].senderPort(), holder.localPort());
    EXPECT_NE(udp.boundPort(), 0);
}

TEST_F(NmudpTest, RepliesToAnUnboundEndpointShowTheIPv4Sender) {
    TNMUDP udp;  // never bound: the first send binds whatever socket the system gives
    Receiver peer;
    udp.setRemoteHost("127.0.0.1");
    udp.setRemotePort(peer.port());
    QString fromIp;
    udp.OnDataReceived = [&](TNMUDP*, int, const QString& ip, int) { fromIp = ip; };
    udp.SendBytes(Heartbeat(), 9);
    ASSERT_TRUE(peer.WaitFor(1));
    peer.socket.writeDatagram(QByteArray("re"), kLoopback, peer.got[0].senderPort());
    ASSERT_TRUE(WaitUntil([&] { return !fromIp.isEmpty(); }));
    EXPECT_EQ(fromIp, "127.0.0.1");
}

TEST_F(NmudpTest, BroadcastAddressesCanBeSentTo) {
    // 127.255.255.255 is the loopback net's broadcast address: the system
    // refuses it without the socket's broadcast permission.
    Receiver receiver(QHostAddress::AnyIPv4, FreePort());
    TNMUDP udp;
    udp.setLocalPort(0);
    udp.setRemoteHost("127.255.255.255");
    udp.setRemotePort(receiver.port());
    udp.SendBytes(Heartbeat(), 9);
    EXPECT_TRUE(receiver.WaitFor(1));
}

TEST_F(NmudpTest, ReportLevelFiltersStatusTexts) {
    Receiver receiver;
    TNMUDP udp;
    udp.setLocalPort(0);
    udp.setRemoteHost("127.0.0.1");
    udp.setRemotePort(receiver.port());
    std::vector<QString> reported;
    udp.OnStatus = [&](TNMUDP*, const QString& text) { reported.push_back(text); };
    EXPECT_EQ(udp.ReportLevel(), 1);
    udp.SendBytes(Heartbeat(), 9);
    EXPECT_EQ(udp.StatusText(), "");
    udp.setReportLevel(2);
    udp.SendBytes(Heartbeat(), 9);
    EXPECT_EQ(udp.StatusText(), "Sending Data");
    EXPECT_EQ(reported, std::vector<QString>{"Sending Data"});
}

TEST_F(NmudpTest, DescribeSocketErrorHasNoTableOfTexts) {
    TNMUDP udp;
    EXPECT_EQ(udp.DescribeSocketError(10048), "Unknown Error No. 10048");
    EXPECT_EQ(udp.DescribeSocketError(0), "");
    EXPECT_EQ(udp.StatusText(), "") << "level 8 is above ReportLevel 1";
    udp.setReportLevel(8);
    udp.DescribeSocketError(10013);
    EXPECT_EQ(udp.StatusText(), "Looking Up Error MessageUnknown Error No. 10013");
    EXPECT_EQ(udp.LastErrorNumber(), 0);
}

TEST_F(NmudpTest, LookUpWaitSleepsAndKeepsTheLoopTurning) {
    ScriptedResolver resolver;
    resolver.answers["slow.test"] = {0x7F000001u, 1000};
    resolver.Install();
    Receiver receiver;
    TNMUDP udp;
    udp.setLocalPort(0);
    udp.setRemoteHost("slow.test");
    udp.setRemotePort(receiver.port());

    // Meanwhile a timer ticks and a second endpoint receives a datagram.
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(100);
    TNMUDP listener;
    listener.setLocalPort(0);
    int received = 0;
    listener.OnDataReceived = [&](TNMUDP*, int, const QString&, int) { ++received; };
    Receiver sender;
    QTimer::singleShot(300, [&] {
        sender.socket.writeDatagram(QByteArray("x"), kLoopback, listener.boundPort());
    });

    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = ProcessorSeconds();
    udp.SendBytes(Heartbeat(), 9);
    const double cpuSeconds = ProcessorSeconds() - cpuBefore;
    const double wallSeconds = static_cast<double>(wall.elapsed()) / 1000.0;

    EXPECT_EQ(resolver.asked.size(), 1u);
    EXPECT_GE(ticks, 5);
    EXPECT_EQ(received, 1);
    EXPECT_TRUE(receiver.WaitFor(1));
    ASSERT_GT(wallSeconds, 0.5) << "the answer came after the wait, not before it";
    EXPECT_LT(cpuSeconds / wallSeconds, 0.05) << cpuSeconds << " s of processor time";
}

#ifndef _WIN32
// Where no socket can be made (here: no descriptor may be opened), the
// assignment and a send that needs a socket raise the system's number, which
// LastErrorNumber keeps; the assignment leaves LocalPort as it was.
TEST_F(NmudpTest, ASocketThatCannotBeMadeIsRaisedWithItsNumber) {
    Receiver receiver;
    TNMUDP udp;
    udp.setLocalPort(0);
    udp.setRemoteHost("127.0.0.1");
    udp.setRemotePort(receiver.port());
    udp.setReportLevel(16);
    std::vector<QString> reported;
    udp.OnStatus = [&](TNMUDP*, const QString& text) { reported.push_back(text); };
    const quint16 port = FreePort();
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit none = saved;
    none.rlim_cur = 0;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &none), 0);
    const std::string assigned = MessageOf<UDPSockError>([&] { udp.setLocalPort(port); });
    const std::string sent = MessageOf<UDPSockError>([&] { udp.SendBytes(Heartbeat(), 9); });
    setrlimit(RLIMIT_NOFILE, &saved);

    EXPECT_EQ(assigned, "Unknown Error No. 10024");  // WSAEMFILE
    EXPECT_EQ(sent, "Unknown Error No. 10024");
    EXPECT_EQ(udp.LastErrorNumber(), 10024);
    EXPECT_EQ(udp.LocalPort(), 0);
    EXPECT_EQ(udp.boundPort(), 0) << "the old socket is closed all the same";
    const QString checking = "Checking Error In Error Manager";
    const QString lookingUp = "Looking Up Error MessageUnknown Error No. 10024";
    EXPECT_EQ(reported,
              (std::vector<QString>{checking, lookingUp, "Sending Data", checking, lookingUp}));
    RunFor(50);
    EXPECT_TRUE(receiver.got.empty());
    udp.SendBytes(Heartbeat(), 9);  // a socket can be made again
    EXPECT_TRUE(receiver.WaitFor(1));
}
#endif

struct NestedCase {
    int firstDelayMs;
    int secondDelayMs;
};

class NmudpNestedTest : public NmudpTest, public testing::WithParamInterface<NestedCase> {};

TEST_P(NmudpNestedTest, EachSendKeepsItsOwnAnswer) {
    const NestedCase& c = GetParam();
    const quint16 port = FreePort();
    {
        // Wine binds an address of an interface as the whole interface, so
        // one port cannot be bound on two loopback addresses there.
        QUdpSocket a, b;
        if (a.bind(QHostAddress(QStringLiteral("127.0.0.2")), port) &&
            !b.bind(QHostAddress(QStringLiteral("127.0.0.3")), port)) {
            GTEST_SKIP() << "one port cannot be bound on two loopback addresses here (Wine)";
        }
    }
    Receiver two(QHostAddress(QStringLiteral("127.0.0.2")), port);
    Receiver three(QHostAddress(QStringLiteral("127.0.0.3")), port);
    ScriptedResolver resolver;
    resolver.answers["first.test"] = {0x7F000002u, c.firstDelayMs};
    resolver.answers["second.test"] = {0x7F000003u, c.secondDelayMs};
    resolver.Install();
    TNMUDP udp;
    udp.setLocalPort(0);
    udp.setRemotePort(port);
    udp.setRemoteHost("first.test");
    bool secondDone = false;
    QTimer::singleShot(50, [&] {
        udp.setRemoteHost("second.test");
        udp.SendBytes(QByteArray("second"), 6);
        secondDone = true;
    });
    udp.SendBytes(QByteArray("first"), 5);
    EXPECT_TRUE(secondDone) << "the second send ran during the first one's wait";

    ASSERT_TRUE(two.WaitFor(1));
    ASSERT_TRUE(three.WaitFor(1));
    RunFor(50);
    ASSERT_EQ(two.got.size(), 1u);
    ASSERT_EQ(three.got.size(), 1u);
    EXPECT_EQ(two.got[0].data(), QByteArray("first"));
    EXPECT_EQ(three.got[0].data(), QByteArray("second"));
}

INSTANTIATE_TEST_SUITE_P(Orders, NmudpNestedTest,
                         testing::Values(NestedCase{400, 100},    // second answered first
                                         NestedCase{150, 400}));  // first answered mid-wait

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
