#include "net/nmudp.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHostAddress>
#include <QHostInfo>
#include <QSocketNotifier>
#include <array>
#include <memory>
#include <string_view>
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

// The text read as a dotted address, without a copy on the heap at every
// send: a character outside ASCII can be no part of one. A text longer than
// the look-up buffer's 130 characters is none.
std::optional<uint32_t> DottedAddressOf(const QString& name) {
    std::array<char, 130> text;
    if (name.size() > static_cast<qsizetype>(text.size())) {
        return std::nullopt;
    }
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        if (c > 0x7F) {
            return std::nullopt;
        }
        text[static_cast<size_t>(i)] = static_cast<char>(c);
    }
    return vhb::ParseDottedAddress(std::string_view(text.data(), static_cast<size_t>(name.size())));
}

TNMUDP::Resolver& CurrentResolver() {
    static TNMUDP::Resolver resolver = SystemLookUp;
    return resolver;
}

}  // namespace

TNMUDP::TNMUDP(QObject* owner)
    : QObject(owner), notifier_(new QSocketNotifier(QSocketNotifier::Read, this)) {
    // No socket until LocalPort is assigned; a send before that lets the
    // system pick the local port.
    connect(notifier_, &QSocketNotifier::activated, this, &TNMUDP::ReceiveDatagram);
}

TNMUDP::~TNMUDP() {
    Disarm();
}

void TNMUDP::setResolver(Resolver r) {
    CurrentResolver() = r ? std::move(r) : Resolver(SystemLookUp);
}

void TNMUDP::Arm() {
    notifier_->setSocket(socket_.handle());
    notifier_->setEnabled(true);
}

void TNMUDP::Disarm() {
    // Before the socket is closed: the event loop must not watch a
    // descriptor that is gone, or a new socket that got its number.
    notifier_->setEnabled(false);
}

void TNMUDP::CheckSocketError(int number) {
    ReportStatus(16, QStringLiteral("Checking Error In Error Manager"));
    lastErrorNumber_ = number;
    if (number == 10035) {  // WSAEWOULDBLOCK
        return;
    }
    throw UDPSockError(DescribeSocketError(number).toStdString());
}

void TNMUDP::setLocalPort(int port) {
    // Closing the socket drops what waited there; the read loop notices a
    // re-bind made from its handler by the generation count. Where the
    // event loop watches by number, the new socket usually gets the old
    // one's and is watched as it is: nothing runs the loop in between.
    const vhb::platform::UdpSocket::Handle before = socket_.handle();
    const bool watched = notifier_->isEnabled() && vhb::platform::UdpSocket::watchedByNumber();
    if (!watched) {
        Disarm();
    }
    ++socketGeneration_;
    const int openError = socket_.open();
    if (openError != 0 || socket_.handle() != before) {
        Disarm();
    }
    if (openError != 0) {
        CheckSocketError(openError);
    }
    localPort_ = port;
    if (!socket_.isOpen()) {
        return;
    }
    // Not sharing the port keeps the classic meaning of a port in use: the
    // bind fails, which is ignored, and the next send binds a system-chosen
    // port instead.
    if (const int error = socket_.bind(static_cast<std::uint16_t>(port & 0xFFFF))) {
        lastErrorNumber_ = error;
        // A socket whose bind failed sends nothing afterwards on Windows
        // (seen under Wine); the next send makes a fresh one everywhere.
        Disarm();
        socket_.close();
        return;
    }
    if (!notifier_->isEnabled()) {
        Arm();
    }
}

quint16 TNMUDP::boundPort() const {
    return socket_.localPort();
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
        if (!socket_.isOpen()) {
            // Never bound, or its bind failed: the system gives the new
            // socket a port at the send.
            if (const int error = socket_.open()) {
                CheckSocketError(error);
            }
        }
        if (socket_.isOpen()) {
            socket_.sendTo(buff.constData(), length, address,
                           static_cast<std::uint16_t>(remotePort_ & 0xFFFF));
            // Answers to the port the send was given are read too.
            if (!notifier_->isEnabled() && socket_.localPort() != 0) {
                Arm();
            }
        }
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
        if (const std::optional<uint32_t> dotted = DottedAddressOf(name)) {
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
    using Read = vhb::platform::UdpSocket::Read;
    const quint64 generation = socketGeneration_;
    // Stop as soon as a handler re-binds: what waited on the old socket is
    // lost with it.
    while (generation == socketGeneration_ && socket_.isOpen()) {
        const vhb::platform::UdpSocket::Received got =
            socket_.receive(receiveBuffer_.data(), kReceiveBufferSize);
        if (got.outcome == Read::Nothing) {
            break;
        }
        // A datagram longer than the buffer leaves its first 2048 bytes in
        // the buffer and counts as a failed read.
        receivedCount_ = got.outcome == Read::Datagram ? got.count : -1;
        if (OnDataReceived) {
            const quint32 v4 = got.address;
            const QString fromIp =
                QString::asprintf("%d.%d.%d.%d", static_cast<int>((v4 >> 24) & 0xFF),
                                  static_cast<int>((v4 >> 16) & 0xFF),
                                  static_cast<int>((v4 >> 8) & 0xFF), static_cast<int>(v4 & 0xFF));
            OnDataReceived(this, receivedCount_, fromIp, got.port);
        }
        if (got.outcome == Read::Failed) {
            break;  // nothing was taken off the queue; the next readiness retries
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
