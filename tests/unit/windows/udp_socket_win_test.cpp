// The endpoint's socket on the Windows Sockets: what Winsock does
// differently from the POSIX calls. Loopback only.
#include <winsock2.h>
// after winsock2.h
#include <mswsock.h>

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/udp_socket.h"

namespace vhb::platform {
namespace {

constexpr std::uint32_t kLoopback = 0x7F000001;

// Reads for up to `ms`: a datagram on loopback may take a moment to arrive.
UdpSocket::Received ReceiveWithin(UdpSocket& socket, char* buffer, int size, int ms) {
    for (int waited = 0;; waited += 10) {
        const UdpSocket::Received got = socket.receive(buffer, size);
        if (got.outcome != UdpSocket::Read::Nothing || waited >= ms) {
            return got;
        }
        Sleep(10);
    }
}

// A send to a port where nothing listens comes back as an ICMP report that
// Windows hands to a later read as WSAECONNRESET. The socket switches those
// reports off; switched on again, the read still passes over them.
class UdpSocketWinResets : public testing::TestWithParam<bool> {};

TEST_P(UdpSocketWinResets, ASendsIcmpReportIsNoDatagram) {
    UdpSocket gone;
    ASSERT_EQ(gone.open(), 0);
    ASSERT_EQ(gone.bind(0), 0);
    const std::uint16_t closedPort = gone.localPort();
    gone.close();

    UdpSocket socket;
    ASSERT_EQ(socket.open(), 0);
    ASSERT_EQ(socket.bind(0), 0);
    if (GetParam()) {
        BOOL report = TRUE;
        DWORD returned = 0;
        WSAIoctl(static_cast<SOCKET>(socket.handle()), SIO_UDP_CONNRESET, &report, sizeof report,
                 nullptr, 0, &returned, nullptr, nullptr);
    }
    ASSERT_TRUE(socket.sendTo("x", 1, kLoopback, closedPort));
    Sleep(100);
    char buffer[16];
    EXPECT_EQ(socket.receive(buffer, sizeof buffer).outcome, UdpSocket::Read::Nothing);

    UdpSocket peer;
    ASSERT_EQ(peer.open(), 0);
    ASSERT_TRUE(peer.sendTo("abc", 3, kLoopback, socket.localPort()));
    ASSERT_TRUE(socket.sendTo("y", 1, kLoopback, closedPort));
    Sleep(100);
    const UdpSocket::Received got = ReceiveWithin(socket, buffer, sizeof buffer, 2000);
    EXPECT_EQ(got.outcome, UdpSocket::Read::Datagram);
    EXPECT_EQ(got.count, 3);
    EXPECT_EQ(got.address, kLoopback);
    EXPECT_EQ(got.port, peer.localPort());
    EXPECT_EQ(socket.receive(buffer, sizeof buffer).outcome, UdpSocket::Read::Nothing);
}

INSTANTIATE_TEST_SUITE_P(ReportsOffAndOn, UdpSocketWinResets, testing::Values(false, true));

TEST(UdpSocketWin, ABoundPortIsHeldExclusively) {
    UdpSocket socket;
    ASSERT_EQ(socket.open(), 0);
    ASSERT_EQ(socket.bind(0), 0);
    // Without exclusive use, Windows lets a socket that asks for
    // SO_REUSEADDR share the port and take its datagrams.
    const SOCKET other = ::socket(AF_INET, SOCK_DGRAM, 0);
    const BOOL reuse = TRUE;
    setsockopt(other, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse),
               sizeof reuse);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(socket.localPort());
    EXPECT_EQ(::bind(other, reinterpret_cast<const sockaddr*>(&address), sizeof address),
              SOCKET_ERROR);
    closesocket(other);

    UdpSocket second;
    ASSERT_EQ(second.open(), 0);
    const int error = second.bind(socket.localPort());
    EXPECT_TRUE(error == WSAEADDRINUSE || error == WSAEACCES) << error;
}

TEST(UdpSocketWin, SocketIsNotInheritedAndUnboundHasNoPort) {
    UdpSocket socket;
    ASSERT_EQ(socket.open(), 0);
    DWORD flags = 0;
    ASSERT_TRUE(GetHandleInformation(reinterpret_cast<HANDLE>(socket.handle()), &flags));
    EXPECT_EQ(flags & HANDLE_FLAG_INHERIT, 0u);
    EXPECT_EQ(socket.localPort(), 0);
}

}  // namespace
}  // namespace vhb::platform
