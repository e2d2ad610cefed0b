#pragma once
// One IPv4 datagram socket of the system, as the UDP endpoint uses it: not
// blocking, not inherited by programs it starts, bound to 0.0.0.0 and a port
// that no other socket may share. Error numbers are those of the Windows
// Sockets on every system (10048 for a port in use).
#include <cstdint>

namespace vhb::platform {

class UdpSocket {
public:
    // What an event-loop notifier watches: a descriptor, or a SOCKET.
    using Handle = std::intptr_t;

    UdpSocket() = default;
    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // Whether an event loop watches a socket by its number alone, so that a
    // new socket that got the closed one's number needs no new registration:
    // so for descriptors; on Windows the watch belongs to the socket itself.
    static bool watchedByNumber();

    bool isOpen() const { return handle_ != kNoHandle; }
    Handle handle() const { return handle_; }

    // Closes the socket held, if any, and makes a new unbound one (the
    // sockets library is started first where the system has one). 0, or the
    // error number; no socket is held after a failure.
    int open();
    void close();
    // Binds 0.0.0.0:port (0: a port of the system's choice). 0, or the
    // error number; the socket stays open and unbound after a failure.
    int bind(std::uint16_t port);
    // One datagram to address:port (host order). A broadcast address that
    // the system refuses without the socket's permission is given it and
    // sent again. An unbound socket gets a port of the system's choice.
    bool sendTo(const char* data, int length, std::uint32_t address, std::uint16_t port);
    // The port the socket is bound to; 0 while unbound or without a socket.
    std::uint16_t localPort() const;

    enum class Read {
        Datagram,   // `count` bytes in the buffer
        Oversized,  // longer than the buffer: its start is there, the rest is dropped
        Nothing,    // nothing waits (a stale readiness, a send's failure report)
        Failed,     // the system refused the read; nothing was taken
    };
    struct Received {
        Read outcome = Read::Nothing;
        int count = 0;
        std::uint32_t address = 0;  // the sender, host order
        std::uint16_t port = 0;
    };
    // Reads the next waiting datagram without waiting for one.
    Received receive(char* buffer, int size);

private:
    static constexpr Handle kNoHandle = -1;  // also INVALID_SOCKET
    Handle handle_ = kNoHandle;
};

}  // namespace vhb::platform
