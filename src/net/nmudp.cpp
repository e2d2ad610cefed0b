#include "net/nmudp.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkProxy>
#include <QUdpSocket>
#include <memory>
#include <utility>

#include "net/dotted_address.h"

namespace {

// The system's look-up: the first IPv4 address of the answer. The answer is
// delivered through the application object, so on the GUI thread, and
// QHostInfo calls back once for every look-up, failed ones included.
void SystemLookUp(const QString& name, std::function<void(std::optional<quint32>)> done) {
    QHostInfo::lookupHost(name, QCoreApplication::instance(),
                          [done = std::move(done)](const QHostInfo& info) {
                              std::optional<quint32> answer;
                              if (info.error() == QHostInfo::NoError) {
                                  for (const QHostAddress& address : info.addresses()) {
                                      bool ok = false;
                                      const quint32 v4 = address.toIPv4Address(&ok);
                                      if (ok) {
                                          answer = v4;
                                          break;
                                      }
                                  }
                              }
                              done(answer);
                          });
}

TNMUDP::Resolver& CurrentResolver() {
    static TNMUDP::Resolver resolver = SystemLookUp;
    return resolver;
}

}  // namespace

TNMUDP::TNMUDP(QObject* owner) : QObject(owner) {
    // Unbound until LocalPort is assigned; a send before that lets the
    // system pick the local port.
    RenewSocket();
}

TNMUDP::~TNMUDP() = default;

void TNMUDP::setResolver(Resolver r) {
    CurrentResolver() = r ? std::move(r) : Resolver(SystemLookUp);
}

void TNMUDP::RenewSocket() {
    if (socket_ != nullptr) {
        socket_->disconnect(this);
        // It may be on the call stack of its own readyRead.
        socket_->deleteLater();
    }
    socket_ = new QUdpSocket(this);
    // A datagram on the LAN never goes through a proxy, and asking for the
    // proxy settings would cost more than the send itself.
    socket_->setProxy(QNetworkProxy::NoProxy);
    connect(socket_, &QUdpSocket::readyRead, this, &TNMUDP::ReceiveDatagram);
}

void TNMUDP::setLocalPort(int port) {
    // A bound socket object is kept: aborting it closes the system's socket,
    // and what waited there is lost with it; the bind opens a new one. This
    // spares an object's making and unmaking twice a beat. An unbound one may
    // hold a system socket that abort() leaves alone, so it is replaced.
    if (socket_->state() == QAbstractSocket::BoundState) {
        socket_->abort();
    } else {
        RenewSocket();
    }
    ++socketGeneration_;
    localPort_ = port;
    // Not sharing the port keeps the classic meaning of a port in use: the
    // bind fails, which is ignored, and the next send binds a system-chosen
    // port instead.
    if (!socket_->bind(QHostAddress::AnyIPv4, static_cast<quint16>(port & 0xFFFF),
                       QAbstractSocket::DontShareAddress)) {
        // The system's socket of a failed bind sends nothing afterwards on
        // Windows (seen under Wine); a fresh object opens and binds a new one
        // at the next send everywhere.
        RenewSocket();
    }
}

quint16 TNMUDP::boundPort() const {
    if (socket_->state() != QAbstractSocket::BoundState) {
        return 0;
    }
    return socket_->localPort();
}

void TNMUDP::ReportStatus(int level, const QString& text) {
    if (level > reportLevel_) {
        return;
    }
    statusText_ = text;
    if (OnStatus) {
        OnStatus(this, statusText_);
    }
}

QString TNMUDP::DescribeSocketError(int number) {
    const QString text =
        number == 0 ? QString() : QStringLiteral("Unknown Error No. ") + QString::number(number);
    ReportStatus(8, QStringLiteral("Looking Up Error Message") + text);
    return text;
}

void TNMUDP::SendBytes(QByteArray buff, int length) {
    // `buff` is this send's own copy: a handler that changes it does not
    // change the caller's array.
    bool secondPass = false;
    while (length == 0) {
        if (secondPass || !OnBufferInvalid) {
            throw vhb::Exception("Invalid buffer");
        }
        bool handled = false;
        OnBufferInvalid(handled, buff, length);
        if (!handled) {
            throw vhb::Exception("Invalid buffer");
        }
        secondPass = true;
    }

    const quint32 address = ResolveRemoteHost();
    if (address == 0) {
        throw UDPSockError("Null Remote Address");
    }
    ReportStatus(2, QStringLiteral("Sending Data"));

    // The socket of this moment: a handler that ran during a host look-up
    // may have re-bound it. A length the buffer cannot supply is not sent;
    // like any refused send it goes unreported.
    if (length > 0 && length <= buff.size()) {
        socket_->writeDatagram(buff.constData(), length, QHostAddress(address),
                               static_cast<quint16>(remotePort_ & 0xFFFF));
    }
    if (OnDataSend) {
        OnDataSend(this);
    }
}

quint32 TNMUDP::ResolveRemoteHost() {
    // Taken once: a change of RemoteHost inside OnInvalidHost is not seen
    // by the second attempt.
    const QString name = remoteHost_;
    const bool tooLong = name.size() > kMaxHostNameLength;
    if (!tooLong) {
        if (const std::optional<uint32_t> dotted = vhb::ParseDottedAddress(name.toStdString())) {
            return *dotted;
        }
    }
    for (int attempt = 1; attempt <= 2; ++attempt) {
        const std::optional<quint32> answer = tooLong ? std::nullopt : LookUpHost(name);
        if (answer) {
            return *answer;
        }
        if (attempt == 1) {
            bool handled = false;
            if (OnInvalidHost) {
                OnInvalidHost(handled);
            }
            if (!handled) {
                break;
            }
        }
    }
    throw UDPSockError("Host Lookup Canceled");
}

std::optional<quint32> TNMUDP::LookUpHost(const QString& name) {
    // Each look-up has its own answer slot, shared with its callback only: a
    // send that starts while this one waits (a timer tick handled by the
    // loop below) runs its own look-up and can never take this answer.
    struct Slot {
        std::optional<quint32> answer;
        bool done = false;
        QEventLoop* loop = nullptr;
    };
    auto slot = std::make_shared<Slot>();
    QEventLoop loop;
    slot->loop = &loop;
    CurrentResolver()(name, [slot](std::optional<quint32> answer) {
        if (slot->done) {
            return;
        }
        slot->answer = answer;
        slot->done = true;
        if (slot->loop != nullptr) {
            slot->loop->quit();
        }
    });
    // The loop sleeps until an event comes; timers, datagrams and input are
    // handled meanwhile. There is no time-out of our own: the resolver ends
    // every look-up.
    if (!slot->done) {
        loop.exec();
    }
    slot->loop = nullptr;
    return slot->answer;
}

void TNMUDP::ReceiveDatagram() {
    const quint64 generation = socketGeneration_;
    // Stop as soon as a handler re-binds: what waited on the old socket is
    // lost with it.
    while (generation == socketGeneration_ && socket_->hasPendingDatagrams()) {
        const qint64 size = socket_->pendingDatagramSize();
        QHostAddress from;
        quint16 fromPort = 0;
        const qint64 read =
            socket_->readDatagram(receiveBuffer_.data(), kReceiveBufferSize, &from, &fromPort);
        // A datagram longer than the buffer leaves its first 2048 bytes in
        // the buffer and counts as a failed read.
        receivedCount_ = (read < 0 || size > kReceiveBufferSize) ? -1 : static_cast<int>(read);
        if (OnDataReceived) {
            bool ok = false;
            const quint32 v4 = from.toIPv4Address(&ok);
            const QString fromIp =
                QString::asprintf("%d.%d.%d.%d", static_cast<int>((v4 >> 24) & 0xFF),
                                  static_cast<int>((v4 >> 16) & 0xFF),
                                  static_cast<int>((v4 >> 8) & 0xFF), static_cast<int>(v4 & 0xFF));
            OnDataReceived(this, receivedCount_, fromIp, fromPort);
        }
        if (read < 0) {
            break;  // nothing was taken off the queue; the next notification retries
        }
    }
}

void TNMUDP::CopyLastDatagram(QIODevice& stream) {
    if (receivedCount_ <= 0) {
        return;
    }
    if (stream.write(receiveBuffer_.data(), receivedCount_) != receivedCount_) {
        throw vhb::Exception("Stream write error");
    }
    stream.seek(0);
}
