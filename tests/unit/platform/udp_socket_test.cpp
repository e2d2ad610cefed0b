// The endpoint's socket on Linux: the error numbers it reports and the kind
// of socket it makes. Opens loopback sockets: run inside a network namespace
// of its own.
#include "platform/udp_socket.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <cerrno>

#include "platform/linux/udp_socket_linux.h"

namespace vhb::platform {
namespace {

struct NumberCase {
    int errnoValue;
    int expected;
};

TEST(UdpSocketLinux, ErrnoValuesTakeTheWindowsSocketsNumbers) {
    const NumberCase cases[] = {
        {0, 0},
        {EACCES, 10013},
        {EINVAL, 10022},
        {EMFILE, 10024},
        {ENFILE, 10024},
        {EAGAIN, 10035},
        {EMSGSIZE, 10040},
        {EAFNOSUPPORT, 10047},
        {EADDRINUSE, 10048},
        {EADDRNOTAVAIL, 10049},
        {ENETUNREACH, 10051},
        {ECONNRESET, 10054},
        {ENOBUFS, 10055},
        {ENOMEM, 10055},
        {ECONNREFUSED, 10061},
        {EHOSTUNREACH, 10065},
        {EPERM, EPERM},  // no counterpart: the system's own number
    };
    for (const NumberCase& c : cases) {
        EXPECT_EQ(socketsErrorNumber(c.errnoValue), c.expected) << c.errnoValue;
    }
}

TEST(UdpSocketLinux, SocketDoesNotBlockAndStaysOutOfStartedPrograms) {
    UdpSocket socket;
    ASSERT_EQ(socket.open(), 0);
    const int fd = static_cast<int>(socket.handle());
    EXPECT_NE(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
    EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
    EXPECT_EQ(socket.localPort(), 0) << "unbound until bound or sent from";
    EXPECT_EQ(socket.receive(nullptr, 0).outcome, UdpSocket::Read::Nothing);
}

TEST(UdpSocketLinux, APortThatAnotherSocketHoldsIsRefusedAsInUse) {
    UdpSocket holder;
    ASSERT_EQ(holder.open(), 0);
    ASSERT_EQ(holder.bind(0), 0);
    UdpSocket second;
    ASSERT_EQ(second.open(), 0);
    EXPECT_EQ(second.bind(holder.localPort()), 10048);
    EXPECT_EQ(second.localPort(), 0);
}

}  // namespace
}  // namespace vhb::platform
