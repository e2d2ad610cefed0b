// The smallest Qt tray program that sends the same heartbeat, for comparison
// in the footprint check: an application, a tray icon with a two-item menu,
// one precise timer and one socket, and nothing else. With "rebind" it also
// does what the program must do at every beat: re-open its socket on the
// source port before the send and a second socket on a port of the system's
// choosing after it, so that the cost of that duty can be told apart.
//   vhb-min-qt-sender PORT COUNT [rebind]
#include <QApplication>
#include <QHostAddress>
#include <QMenu>
#include <QNetworkProxy>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUdpSocket>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    if (argc < 3)
        return 2;
    const quint16 port = static_cast<quint16>(QByteArray(argv[1]).toUShort());
    const int count = QByteArray(argv[2]).toInt();
    const bool rebind = argc > 3 && QByteArray(argv[3]) == "rebind";

    QMenu menu;
    menu.addAction(QStringLiteral("Settings"));
    menu.addAction(QStringLiteral("Exit"), &app, &QApplication::quit);
    QPixmap face(32, 32);
    face.fill(QColor(30, 140, 200));
    QSystemTrayIcon tray{QIcon(face)};
    tray.setContextMenu(&menu);
    tray.show();

    QUdpSocket socket;
    socket.setProxy(QNetworkProxy::NoProxy);
    socket.bind(QHostAddress::AnyIPv4, 0);
    const quint16 sourcePort = socket.localPort();
    QUdpSocket second;
    second.setProxy(QNetworkProxy::NoProxy);
    const QByteArray beat("ZANTOHB\r\n", 9);
    int sent = 0;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (rebind) {
            socket.abort();
            socket.bind(QHostAddress::AnyIPv4, sourcePort, QAbstractSocket::DontShareAddress);
        }
        socket.writeDatagram(beat, QHostAddress::LocalHost, port);
        if (rebind) {
            second.abort();
            second.bind(QHostAddress::AnyIPv4, 0, QAbstractSocket::DontShareAddress);
        }
        if (++sent >= count)
            app.quit();
    });
    timer.start(1000);
    return app.exec();
}
