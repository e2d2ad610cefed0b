#include "app/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

namespace {
constexpr char kShowRequest[] = "show\n";
}

SingleInstance::SingleInstance(const QString& settingsFilePath, QObject* parent)
    : QObject(parent), key_(keyFor(settingsFilePath)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::keyFor(const QString& settingsFilePath) {
    const QString canonical = QFileInfo(settingsFilePath).absoluteFilePath();
    const QByteArray hash =
        QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha256).toHex().left(20);
    const QString user = qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME"));
    return QStringLiteral("vesk-hb-%1-%2").arg(user, QString::fromLatin1(hash));
}

bool SingleInstance::acquire() {
    // The lock file names the holder's process, so a crashed first instance
    // leaves a stale lock that the next start takes over.
    lock_ = std::make_unique<QLockFile>(QDir::temp().filePath(key_ + QStringLiteral(".lock")));
    lock_->setStaleLockTime(0);
    if (!lock_->tryLock(0)) {
        if (lock_->error() == QLockFile::LockFailedError) {
            QLocalSocket socket;
            socket.connectToServer(key_);
            if (socket.waitForConnected(2000)) {
                socket.write(kShowRequest);
                socket.waitForBytesWritten(2000);
                socket.disconnectFromServer();
            }
            return false;
        }
        // The lock cannot be made at all (no temporary folder): run alone.
        return true;
    }
    QLocalServer::removeServer(key_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = server_->nextPendingConnection()) {
            connect(s, &QLocalSocket::readyRead, this, [this, s] {
                if (s->readAll().contains("show") && onShowRequested)
                    onShowRequested();
                s->disconnectFromServer();
            });
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
        }
    });
    server_->listen(key_);
    return true;
}
