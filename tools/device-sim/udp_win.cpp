// The sockets' header comes first, the extensions' after it.
#include <winsock2.h>

#include <mswsock.h>
#include <windows.h>
#include <ws2tcpip.h>

#include <csignal>
#include <string>

#include "udp.h"

namespace vhb::sim {

namespace {

std::string addressText(const in_addr& a) {
    char b[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &a, b, sizeof b);
    return b;
}

// The system's text for a sockets error, on one line.
std::string errorText(int code) {
    char buffer[256];
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             static_cast<DWORD>(code), 0, buffer, sizeof buffer, nullptr);
    while (n > 0 && static_cast<unsigned char>(buffer[n - 1]) <= ' ')
        --n;
    std::string text(buffer, n);
    return text.empty() ? "error " + std::to_string(code) : text;
}

SOCKET handleOf(intptr_t fd) {
    return static_cast<SOCKET>(fd);
}

}  // namespace

bool startSockets(void (*onStop)(int), std::string* error) {
    WSADATA data;
    const int rc = WSAStartup(MAKEWORD(2, 2), &data);
    if (rc != 0) {
        *error = "WSAStartup: " + errorText(rc);
        return false;
    }
    // Ctrl+C and Ctrl+Break in the console; the loop notices within a second.
    std::signal(SIGINT, onStop);
    std::signal(SIGTERM, onStop);
    std::signal(SIGBREAK, onStop);
    return true;
}

UdpSocket::~UdpSocket() {
    if (fd_ != -1)
        closesocket(handleOf(fd_));
}

bool UdpSocket::open(const std::string& bindAddress, int port, std::string* error) {
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) {
        *error = "socket: " + errorText(WSAGetLastError());
        return false;
    }
    // No SO_REUSEADDR: here it would let a second simulator take the port
    // from the first without a word.
    const BOOL on = TRUE;
    setsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on);
    const DWORD pktinfo = 1;
    setsockopt(s, IPPROTO_IP, IP_PKTINFO, reinterpret_cast<const char*>(&pktinfo), sizeof pktinfo);
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<u_short>(port));
    if (inet_pton(AF_INET, bindAddress.c_str(), &a.sin_addr) != 1) {
        *error = "not an IPv4 address: " + bindAddress;
        closesocket(s);
        return false;
    }
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        *error = "bind " + bindAddress + ":" + std::to_string(port) + ": " +
                 errorText(WSAGetLastError());
        closesocket(s);
        return false;
    }
    int len = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    fd_ = static_cast<intptr_t>(s);
    // The message receive is an extension fetched per socket; without it the
    // datagrams still come, only without the address they were sent to.
    GUID id = WSAID_WSARECVMSG;
    LPFN_WSARECVMSG fn = nullptr;
    DWORD got = 0;
    if (WSAIoctl(s, SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof id, &fn, sizeof fn, &got,
                 nullptr, nullptr) == 0) {
        recvMsg_ = reinterpret_cast<void*>(fn);
    }
    return true;
}

bool UdpSocket::receive(Datagram& d) {
    sockaddr_in from{};
    d.to.clear();
    if (recvMsg_ != nullptr) {
        WSABUF buffer{static_cast<ULONG>(sizeof d.data), reinterpret_cast<char*>(d.data)};
        alignas(WSACMSGHDR) char control[256];
        WSAMSG msg{};
        msg.name = reinterpret_cast<sockaddr*>(&from);
        msg.namelen = sizeof from;
        msg.lpBuffers = &buffer;
        msg.dwBufferCount = 1;
        msg.Control = {static_cast<ULONG>(sizeof control), control};
        DWORD n = 0;
        if (reinterpret_cast<LPFN_WSARECVMSG>(recvMsg_)(handleOf(fd_), &msg, &n, nullptr,
                                                        nullptr) != 0) {
            return false;
        }
        d.length = n;
        for (WSACMSGHDR* c = WSA_CMSG_FIRSTHDR(&msg); c; c = WSA_CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                const auto* info = reinterpret_cast<const IN_PKTINFO*>(WSA_CMSG_DATA(c));
                d.to = addressText(info->ipi_addr);
            }
        }
    } else {
        int len = sizeof from;
        const int n = recvfrom(handleOf(fd_), reinterpret_cast<char*>(d.data), sizeof d.data, 0,
                               reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 0)
            return false;
        d.length = static_cast<size_t>(n);
    }
    d.kept = d.length < sizeof d.data ? d.length : sizeof d.data;
    d.from = {addressText(from.sin_addr), ntohs(from.sin_port), from.sin_addr.s_addr};
    return true;
}

bool UdpSocket::sendTo(const uint8_t* data, size_t n, const Peer& to, std::string* error) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<u_short>(to.port));
    a.sin_addr.s_addr = to.raw;
    if (sendto(handleOf(fd_), reinterpret_cast<const char*>(data), static_cast<int>(n), 0,
               reinterpret_cast<const sockaddr*>(&a), sizeof a) == SOCKET_ERROR) {
        *error = errorText(WSAGetLastError());
        return false;
    }
    return true;
}

bool waitReadable(UdpSocket& a, UdpSocket& b, int ms, bool* readyA, bool* readyB,
                  std::string* error) {
    fd_set read;
    FD_ZERO(&read);
    FD_SET(handleOf(a.fd_), &read);
    FD_SET(handleOf(b.fd_), &read);
    timeval wait{ms / 1000, (ms % 1000) * 1000};
    *readyA = *readyB = false;
    if (select(0, &read, nullptr, nullptr, &wait) == SOCKET_ERROR) {
        *error = "select: " + errorText(WSAGetLastError());
        return false;
    }
    *readyA = FD_ISSET(handleOf(a.fd_), &read) != 0;
    *readyB = FD_ISSET(handleOf(b.fd_), &read) != 0;
    return true;
}

}  // namespace vhb::sim
