// Memory under a flood of discovery replies with the heartbeat stopped (not a
// test): the settings window's receiving endpoint on a loopback port, 100,000
// valid replies from one socket, and the anonymous memory before and after.
// Run inside a loopback-only network namespace (bench/reply_flood.sh).
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QUdpSocket>
#include <cstdio>

#include "net/nmudp.h"
#include "settings/form2.h"

namespace {

long rssAnonKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("RssAnon:"))
            return line.mid(8).trimmed().split(' ').value(0).toLong();
    return -1;
}

void turn(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int replies = argc > 1 ? std::atoi(argv[1]) : 100000;
    TForm2 form(QStringLiteral("Vesk-HB"), QStringLiteral(VHB_VERSION_TEXT));
    Form2 = &form;
    form.NMUDP2->setLocalPort(0);
    const quint16 port = form.NMUDP2->boundPort();
    turn(200);
    const long before = rssAnonKb();

    QUdpSocket device;
    device.bind(QHostAddress::LocalHost, 0);
    QByteArray reply = QByteArray::fromHex("00800001111111111111111111111111021A2B3C4D5E0000");
    for (int i = 0; i < replies; ++i) {
        device.writeDatagram(reply, QHostAddress::LocalHost, port);
        if (i % 200 == 199)
            turn(2);  // let the window take them before the socket buffer drops any
    }
    turn(500);
    const long after = rssAnonKb();
    std::printf("replies sent %d, addresses listed %d, RssAnon before %ld kB, after %ld kB\n",
                replies, static_cast<int>(form.ComboBox1->count()), before, after);
    Form2 = nullptr;
    return 0;
}
