#include <winsock2.h>
// after winsock2.h
#include <mswsock.h>

#include <atomic>

#include "platform/udp_socket.h"

namespace vhb::platform {

namespace {

// The sockets library, started at the first socket and kept for the rest of
// the process, like the host functions' start: a start and a clean-up at
// every re-bind would only count up and down. A failed start is tried again
// at the next socket.
int startSockets() {
    static std::atomic<bool> started{false};
    if (started.load()) {
        return 0;
    }
    WSADATA data;
    const int result = WSAStartup(MAKEWORD(2, 2), &data);
    if (result == 0 && started.exchange(true)) {
        WSACleanup();  // another thread's start came first
    }
    return result;
}

SOCKET socketOf(UdpSocket::Handle handle) {
    return static_cast<SOCKET>(handle);
}

sockaddr_in v4(std::uint32_t address, std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(address);
    return a;
}

}  // namespace

bool UdpSocket::watchedByNumber() {
    return false;
}

UdpSocket::~UdpSocket() {
    close();
}

int UdpSocket::open() {
    close();
    if (const int error = startSockets()) {
        return error;
    }
    // Not inherited: a program started from here would otherwise hold the
    // port. Systems before 7 SP1 refuse the flag.
    SOCKET s = WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0,
                          WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET && WSAGetLastError() == WSAEINVAL) {
        s = WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_OVERLAPPED);
    }
    if (s == INVALID_SOCKET) {
        return WSAGetLastError();
    }
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    // A send to a port where nothing listens comes back as an ICMP report
    // that Windows hands to the next read as WSAECONNRESET; it is no
    // datagram. Where the switch is missing, receive() passes over it.
    BOOL reportResets = FALSE;
    DWORD returned = 0;
    WSAIoctl(s, SIO_UDP_CONNRESET, &reportResets, sizeof reportResets, nullptr, 0, &returned,
             nullptr, nullptr);
    handle_ = static_cast<Handle>(s);
    return 0;
}

void UdpSocket::close() {
    if (handle_ != kNoHandle) {
        closesocket(socketOf(handle_));
        handle_ = kNoHandle;
    }
}

int UdpSocket::bind(std::uint16_t port) {
    // A port that is not shared is held exclusively, as Qt's engine did for
    // such a bind: no other socket can bind it with SO_REUSEADDR and take
    // its datagrams, and a port another socket holds is refused.
    const BOOL exclusive = TRUE;
    setsockopt(socketOf(handle_), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
               reinterpret_cast<const char*>(&exclusive), sizeof exclusive);
    const sockaddr_in local = v4(INADDR_ANY, port);
    if (::bind(socketOf(handle_), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        return WSAGetLastError();
    }
    return 0;
}

bool UdpSocket::sendTo(const char* data, int length, std::uint32_t address, std::uint16_t port) {
    const sockaddr_in to = v4(address, port);
    for (bool permitted = false;; permitted = true) {
        if (sendto(socketOf(handle_), data, length, 0, reinterpret_cast<const sockaddr*>(&to),
                   sizeof to) != SOCKET_ERROR) {
            return true;
        }
        // WSAEACCES: a broadcast address, refused without the permission.
        // Asked for only then, it costs nothing on the sockets that never
        // broadcast.
        const BOOL on = TRUE;
        if (WSAGetLastError() != WSAEACCES || permitted ||
            setsockopt(socketOf(handle_), SOL_SOCKET, SO_BROADCAST,
                       reinterpret_cast<const char*>(&on), sizeof on) != 0) {
            return false;
        }
    }
}

std::uint16_t UdpSocket::localPort() const {
    sockaddr_in local{};
    int size = sizeof local;
    // An unbound socket has no name: WSAEINVAL.
    if (handle_ == kNoHandle ||
        getsockname(socketOf(handle_), reinterpret_cast<sockaddr*>(&local), &size) != 0) {
        return 0;
    }
    return ntohs(local.sin_port);
}

UdpSocket::Received UdpSocket::receive(char* buffer, int size) {
    Received r;
    for (;;) {
        sockaddr_in from{};
        int fromSize = sizeof from;
        const int n = recvfrom(socketOf(handle_), buffer, size, 0,
                               reinterpret_cast<sockaddr*>(&from), &fromSize);
        const int error = n == SOCKET_ERROR ? WSAGetLastError() : 0;
        // The report of an earlier send's ICMP answer (port unreachable, or
        // the time to live run out) is taken by this read and is no
        // datagram; try again for one.
        if (error == WSAECONNRESET || error == WSAENETRESET) {
            continue;
        }
        if (error != 0 && error != WSAEMSGSIZE) {
            r.outcome = error == WSAEWOULDBLOCK ? Read::Nothing : Read::Failed;
            return r;
        }
        // WSAEMSGSIZE: the buffer holds the datagram's start, the rest is
        // dropped.
        r.outcome = error == WSAEMSGSIZE ? Read::Oversized : Read::Datagram;
        r.count = error == WSAEMSGSIZE ? size : n;
        r.address = ntohl(from.sin_addr.s_addr);
        r.port = ntohs(from.sin_port);
        return r;
    }
}

}  // namespace vhb::platform
