#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "udp.h"

namespace vhb::sim {

namespace {

std::string addressText(const in_addr& a) {
    char b[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &a, b, sizeof b);
    return b;
}

}  // namespace

bool startSockets(void (*onStop)(int), std::string*) {
    struct sigaction sa {};
    sa.sa_handler = onStop;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
    return true;
}

UdpSocket::~UdpSocket() {
    if (fd_ >= 0)
        close(static_cast<int>(fd_));
}

bool UdpSocket::open(const std::string& bindAddress, int port, std::string* error) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, bindAddress.c_str(), &a.sin_addr) != 1) {
        *error = "not an IPv4 address: " + bindAddress;
        close(fd);
        return false;
    }
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        *error = "bind " + bindAddress + ":" + std::to_string(port) + ": " + std::strerror(errno);
        close(fd);
        return false;
    }
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    fd_ = fd;
    return true;
}

bool UdpSocket::receive(Datagram& d) {
    sockaddr_in from{};
    iovec iov{d.data, sizeof d.data};
    alignas(cmsghdr) char control[256];
    msghdr msg{};
    msg.msg_name = &from;
    msg.msg_namelen = sizeof from;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    const ssize_t n = recvmsg(static_cast<int>(fd_), &msg, MSG_TRUNC | MSG_DONTWAIT);
    if (n < 0)
        return false;
    d.length = static_cast<size_t>(n);
    d.kept = d.length < sizeof d.data ? d.length : sizeof d.data;
    d.from = {addressText(from.sin_addr), ntohs(from.sin_port), from.sin_addr.s_addr};
    d.to.clear();
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
            in_pktinfo info;
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            d.to = addressText(info.ipi_addr);
        }
    }
    return true;
}

bool UdpSocket::sendTo(const uint8_t* data, size_t n, const Peer& to, std::string* error) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(to.port));
    a.sin_addr.s_addr = to.raw;
    if (sendto(static_cast<int>(fd_), data, n, 0, reinterpret_cast<const sockaddr*>(&a), sizeof a) <
        0) {
        *error = std::strerror(errno);
        return false;
    }
    return true;
}

bool waitReadable(UdpSocket& a, UdpSocket& b, int ms, bool* readyA, bool* readyB,
                  std::string* error) {
    pollfd fds[2] = {{static_cast<int>(a.fd_), POLLIN, 0}, {static_cast<int>(b.fd_), POLLIN, 0}};
    *readyA = *readyB = false;
    if (poll(fds, 2, ms) < 0) {
        if (errno == EINTR)
            return true;
        *error = std::string("poll: ") + std::strerror(errno);
        return false;
    }
    *readyA = (fds[0].revents & POLLIN) != 0;
    *readyB = (fds[1].revents & POLLIN) != 0;
    return true;
}

}  // namespace vhb::sim
