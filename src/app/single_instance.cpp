#include "app/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include "common/guard.h"

namespace {
constexpr char kShowRequest[] = "show\n";
}

SingleInstance::SingleInstance(const QString& settingsFilePath, QObject* parent)
    : QObject(parent),
      key_(keyFor(settingsFilePath)),
      folder_(QFileInfo(settingsFilePath).absoluteDir().filesystemAbsolutePath()) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::keyFor(const QString& settingsFilePath) {
    const QString canonical = QFileInfo(settingsFilePath).absoluteFilePath();
    const QByteArray hash =
        QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha256).toHex().left(20);
    const QString user = qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME"));
    return QStringLiteral("vesk-hb-%1-%2").arg(user, QString::fromLatin1(hash));
}

bool SingleInstance::acquire() {
    using Outcome = vhb::platform::InstanceLock::Outcome;
    switch (lock_.acquire(key_.toStdString(), folder_)) {
        case Outcome::Unavailable:
            // No lock can be made here: run alone, as without the rule.
            return true;
        case Outcome::HeldElsewhere: {
            QLocalSocket socket;
            socket.connectToServer(QFileInfo(lock_.channel()).filePath());
            if (socket.waitForConnected(2000)) {
                socket.write(kShowRequest);
                socket.waitForBytesWritten(2000);
                socket.disconnectFromServer();
            }
            return false;
        }
        case Outcome::Acquired:
            break;
    }
    // Only the lock's holder gets here, so whatever lies at the channel's
    // name was left by a dead instance.
    const QString channel = QFileInfo(lock_.channel()).filePath();
    QLocalServer::removeServer(channel);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = server_->nextPendingConnection()) {
            connect(s, &QLocalSocket::readyRead, this, [this, s] {
                if (s->readAll().contains("show") && onShowRequested)
                    vhb::guarded(onShowRequested);
                s->disconnectFromServer();
            });
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
        }
    });
    server_->listen(channel);
    return true;
}
