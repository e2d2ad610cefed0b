#pragma once
// TNMUDP: the program's UDP endpoint. One IPv4 datagram socket that sends a
// byte buffer to RemoteHost:RemotePort, receives datagrams on LocalPort and
// hands each one to OnDataReceived on the GUI thread, and looks host names up
// without blocking the event loop. Failures of a send are thrown.
#include <QByteArray>
#include <QIODevice>
#include <QObject>
#include <QString>
#include <array>
#include <functional>
#include <optional>

#include "common/exception.h"
#include "platform/udp_socket.h"

class QSocketNotifier;

class UDPSockError : public vhb::Exception {
public:
    using vhb::Exception::Exception;
};

class TNMUDP : public QObject {
    Q_OBJECT
public:
    explicit TNMUDP(QObject* owner = nullptr);
    ~TNMUDP() override;

    QString RemoteHost() const { return remoteHost_; }
    void setRemoteHost(const QString& host) { remoteHost_ = host; }
    int RemotePort() const { return remotePort_; }
    void setRemotePort(int port) { remotePort_ = port; }
    int LocalPort() const { return localPort_; }
    // Every assignment, also of the current value, drops the socket and binds
    // a new one; datagrams waiting on the old socket are lost. A bind that
    // fails goes unreported (the next send gets a port of the system's
    // choice); a socket that cannot be made throws UDPSockError and leaves
    // LocalPort as it was.
    void setLocalPort(int port);
    int ReportLevel() const { return reportLevel_; }
    void setReportLevel(int level) { reportLevel_ = level; }
    QString StatusText() const { return statusText_; }
    // The number of the last socket failure (a bind or a socket's making
    // that failed, in the Windows Sockets numbering: 10048 for a port in
    // use); 0 until one.
    int LastErrorNumber() const { return lastErrorNumber_; }
    // The port the current socket is bound to, 0 while it is unbound.
    quint16 boundPort() const;

    // Sends the first `length` bytes of (a copy of) `buff` as one datagram.
    // Throws vhb::Exception "Invalid buffer", UDPSockError
    // "Host Lookup Canceled", "Null Remote Address" or, where no socket can
    // be made, "Unknown Error No. " and the system's number.
    void SendBytes(QByteArray buff, int length);
    // Writes the last datagram read at the stream's position, then rewinds
    // the stream to 0. Writes nothing after an empty or failed read.
    void CopyLastDatagram(QIODevice& stream);
    QString DescribeSocketError(int number);

    std::function<void(TNMUDP* sender, int NumberBytes, const QString& FromIP, int Port)>
        OnDataReceived;
    std::function<void(TNMUDP* sender)> OnDataSend;
    std::function<void(TNMUDP* sender, const QString& status)> OnStatus;
    std::function<void(bool& handled)> OnInvalidHost;
    std::function<void(bool& handled, QByteArray& buff, int& length)> OnBufferInvalid;

    // Host name look-up: must call `done` exactly once, on the GUI thread,
    // with the first IPv4 address (host order) or nullopt.
    using Resolver =
        std::function<void(const QString& name, std::function<void(std::optional<quint32>)> done)>;
    // An empty resolver restores the system's look-up.
    static void setResolver(Resolver r);

private:
    static constexpr int kReceiveBufferSize = 2048;
    // The classic look-up buffer held 130 characters; a longer name is
    // taken as one that does not resolve rather than looked up cut short.
    static constexpr int kMaxHostNameLength = 130;

    void ReportStatus(int level, const QString& text);
    quint32 ResolveRemoteHost();
    std::optional<quint32> LookUpHost(const QString& name);
    void ReceiveDatagram();
    // Records `number` and raises it as UDPSockError, except 10035
    // (WSAEWOULDBLOCK), which is no error.
    void CheckSocketError(int number);
    // Read readiness of the socket on, once it has a port; off before the
    // socket is closed.
    void Arm();
    void Disarm();

    QString remoteHost_;
    int remotePort_ = 0;
    int localPort_ = 0;
    int reportLevel_ = 1;
    QString statusText_;
    int lastErrorNumber_ = 0;
    std::array<char, kReceiveBufferSize> receiveBuffer_{};
    int receivedCount_ = 0;
    vhb::platform::UdpSocket socket_;  // none until the first bind or send
    QSocketNotifier* notifier_ = nullptr;
    // Counts the re-bindings, so that a read loop notices one made from
    // inside OnDataReceived.
    quint64 socketGeneration_ = 0;
};
