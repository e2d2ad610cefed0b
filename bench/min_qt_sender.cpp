// The smallest Qt tray program that sends the same heartbeat, for comparison
// in the footprint check: an application, a tray icon with a two-item menu,
// one precise timer and one socket, and nothing else.
//   vhb-min-qt-sender PORT COUNT
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
    const QByteArray beat("ZANTOHB\r\n", 9);
    int sent = 0;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        socket.writeDatagram(beat, QHostAddress::LocalHost, port);
        if (++sent >= count)
            app.quit();
    });
    timer.start(1000);
    return app.exec();
}
