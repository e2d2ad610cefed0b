#include "platform/udp_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "platform/linux/udp_socket_linux.h"

namespace vhb::platform {

int socketsErrorNumber(int errnoValue) {
    // The Windows Sockets numbers are 10000 plus the BSD numbers, which
    // Linux numbers differently.
    switch (errnoValue) {
        case 0:
            return 0;
        case EINTR:
            return 10004;
        case EBADF:
            return 10009;
        case EACCES:
            return 10013;
        case EFAULT:
            return 10014;
        case EINVAL:
            return 10022;
        case EMFILE:
        case ENFILE:  // Windows has one "too many sockets" for both tables
            return 10024;
        case EWOULDBLOCK:
            return 10035;
        case EINPROGRESS:
            return 10036;
        case EALREADY:
            return 10037;
        case ENOTSOCK:
            return 10038;
        case EDESTADDRREQ:
            return 10039;
        case EMSGSIZE:
            return 10040;
        case EPROTOTYPE:
            return 10041;
        case ENOPROTOOPT:
            return 10042;
        case EPROTONOSUPPORT:
            return 10043;
        case ESOCKTNOSUPPORT:
            return 10044;
        case EOPNOTSUPP:
            return 10045;
        case EPFNOSUPPORT:
            return 10046;
        case EAFNOSUPPORT:
            return 10047;
        case EADDRINUSE:
            return 10048;
        case EADDRNOTAVAIL:
            return 10049;
        case ENETDOWN:
            return 10050;
        case ENETUNREACH:
            return 10051;
        case ENETRESET:
            return 10052;
        case ECONNABORTED:
            return 10053;
        case ECONNRESET:
            return 10054;
        case ENOBUFS:
        case ENOMEM:  // Windows reports a socket's lack of memory as no buffer space
            return 10055;
        case EISCONN:
            return 10056;
        case ENOTCONN:
            return 10057;
        case ESHUTDOWN:
            return 10058;
        case ETOOMANYREFS:
            return 10059;
        case ETIMEDOUT:
            return 10060;
        case ECONNREFUSED:
            return 10061;
        case ELOOP:
            return 10062;
        case ENAMETOOLONG:
            return 10063;
        case EHOSTDOWN:
            return 10064;
        case EHOSTUNREACH:
            return 10065;
        case ENOTEMPTY:
            return 10066;
        case EUSERS:
            return 10068;
        case EDQUOT:
            return 10069;
        case ESTALE:
            return 10070;
        case EREMOTE:
            return 10071;
        default:
            return errnoValue;
    }
}

namespace {

sockaddr_in v4(std::uint32_t address, std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(address);
    return a;
}

int fdOf(UdpSocket::Handle handle) {
    return static_cast<int>(handle);
}

}  // namespace

bool UdpSocket::watchedByNumber() {
    return true;
}

UdpSocket::~UdpSocket() {
    close();
}

int UdpSocket::open() {
    close();
    // One call: not blocking, and closed in any program started from here,
    // which would otherwise hold the port.
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return socketsErrorNumber(errno);
    }
    handle_ = fd;
    return 0;
}

void UdpSocket::close() {
    if (handle_ != kNoHandle) {
        ::close(fdOf(handle_));
        handle_ = kNoHandle;
    }
}

int UdpSocket::bind(std::uint16_t port) {
    // Without SO_REUSEADDR a port that another socket holds is refused.
    const sockaddr_in local = v4(INADDR_ANY, port);
    if (::bind(fdOf(handle_), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        return socketsErrorNumber(errno);
    }
    return 0;
}

bool UdpSocket::sendTo(const char* data, int length, std::uint32_t address, std::uint16_t port) {
    const sockaddr_in to = v4(address, port);
    for (bool permitted = false;; permitted = true) {
        if (::sendto(fdOf(handle_), data, static_cast<size_t>(length), 0,
                     reinterpret_cast<const sockaddr*>(&to), sizeof to) >= 0) {
            return true;
        }
        // EACCES: a broadcast address, refused without the permission.
        // Asked for only then, it costs nothing on the sockets that never
        // broadcast.
        const int on = 1;
        if (errno != EACCES || permitted ||
            ::setsockopt(fdOf(handle_), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
            return false;
        }
    }
}

std::uint16_t UdpSocket::localPort() const {
    sockaddr_in local{};
    socklen_t size = sizeof local;
    if (handle_ == kNoHandle ||
        ::getsockname(fdOf(handle_), reinterpret_cast<sockaddr*>(&local), &size) != 0) {
        return 0;
    }
    return ntohs(local.sin_port);
}

UdpSocket::Received UdpSocket::receive(char* buffer, int size) {
    Received r;
    for (;;) {
        sockaddr_in from{};
        socklen_t fromSize = sizeof from;
        // MSG_TRUNC gives a longer datagram's real length; it is dropped
        // all the same.
        const ssize_t n = ::recvfrom(fdOf(handle_), buffer, static_cast<size_t>(size), MSG_TRUNC,
                                     reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (n < 0) {
            // A pending error of an earlier send is taken by this read and
            // is no datagram; try again for one.
            if (errno == EINTR || errno == ECONNREFUSED) {
                continue;
            }
            r.outcome = errno == EWOULDBLOCK ? Read::Nothing : Read::Failed;
            return r;
        }
        r.outcome = n > size ? Read::Oversized : Read::Datagram;
        r.count = n > size ? size : static_cast<int>(n);
        r.address = ntohl(from.sin_addr.s_addr);
        r.port = ntohs(from.sin_port);
        return r;
    }
}

}  // namespace vhb::platform
