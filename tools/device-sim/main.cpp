// vesk-hb-device: a stand-in for the monitoring device, for tests and for
// trying the program out. Listens for heartbeats and discovery requests on
// two UDP sockets and reports every datagram on standard output.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "sim.h"

namespace {

using namespace vhb::sim;

volatile sig_atomic_t gStop = 0;

void onSignal(int) {
    gStop = 1;
}

double wallNow() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

double steadyNow() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Tests read the output while the program runs, so every line is flushed.
void emit(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::string addressText(const in_addr& a) {
    char b[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &a, b, sizeof b);
    return b;
}

// A bound UDP socket that also tells, per datagram, the address it was sent
// to: a broadcast request and a unicast heartbeat look alike otherwise.
int openSocket(const std::string& bindAddress, int port, int* boundPort, std::string* error) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = std::string("socket: ") + std::strerror(errno);
        return -1;
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
        return -1;
    }
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        *error = "bind " + bindAddress + ":" + std::to_string(port) + ": " + std::strerror(errno);
        close(fd);
        return -1;
    }
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    *boundPort = ntohs(a.sin_port);
    return fd;
}

struct Datagram {
    uint8_t data[65536];
    size_t length = 0;  // the datagram's real length, also when it was cut
    size_t kept = 0;
    sockaddr_in from{};
    std::string to;
};

bool receive(int fd, Datagram& d) {
    iovec iov{d.data, sizeof d.data};
    alignas(cmsghdr) char control[256];
    msghdr msg{};
    msg.msg_name = &d.from;
    msg.msg_namelen = sizeof d.from;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    const ssize_t n = recvmsg(fd, &msg, MSG_TRUNC | MSG_DONTWAIT);
    if (n < 0)
        return false;
    d.length = static_cast<size_t>(n);
    d.kept = d.length < sizeof d.data ? d.length : sizeof d.data;
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

class Device {
public:
    explicit Device(const Options& o) : o_(o), gap_(o.timeout, steadyNow()) {}

    int run();

private:
    std::string hexOf(const Datagram& d) const { return hex(d.data, d.kept, o_.json ? 0 : ' '); }
    void onHeartbeatSocket();
    void onDiscoverySocket();

    Options o_;
    GapWatch gap_;
    int hbFd_ = -1;
    int discFd_ = -1;
    Datagram d_;
    long hbDatagrams_ = 0;
    long heartbeats_ = 0;
    long bad_ = 0;
    long requests_ = 0;
    long replies_ = 0;
    double lastHeartbeatWall_ = 0;
};

void Device::onHeartbeatSocket() {
    if (!receive(hbFd_, d_))
        return;
    ++hbDatagrams_;
    const double t = wallNow();
    const std::string from = addressText(d_.from.sin_addr);
    const int port = ntohs(d_.from.sin_port);
    const auto check = checkHeartbeat(d_.data, d_.length);
    if (!check.valid) {
        ++bad_;
        emit(eventLine(o_.json, t, "bad",
                       {txt("socket", "heartbeat"), txt("from", from), num("port", port, 0),
                        txt("to", d_.to), num("len", double(d_.length), 0), txt("hex", hexOf(d_)),
                        lit("valid", "false"), txt("reason", check.reason)}));
        return;
    }
    double silence = 0;
    const bool first = heartbeats_ == 0;
    const bool resumed = gap_.heartbeat(steadyNow(), &silence);
    ++heartbeats_;
    emit(eventLine(o_.json, t, "heartbeat",
                   {txt("from", from), num("port", port, 0), txt("to", d_.to),
                    num("len", double(d_.length), 0), txt("hex", hexOf(d_)), lit("valid", "true"),
                    txt("code", check.code), first ? lit("dt", "null") : num("dt", silence)}));
    if (resumed) {
        emit(eventLine(o_.json, t, "resume",
                       {txt("from", from), num("port", port, 0), num("silence", silence)}));
    }
    lastHeartbeatWall_ = t;
}

void Device::onDiscoverySocket() {
    if (!receive(discFd_, d_))
        return;
    const double t = wallNow();
    const sockaddr_in requester = d_.from;
    const std::string from = addressText(requester.sin_addr);
    const int port = ntohs(requester.sin_port);
    const auto check = checkRequest(d_.data, d_.length);
    if (!check.valid) {
        ++bad_;
        emit(eventLine(o_.json, t, "bad",
                       {txt("socket", "discovery"), txt("from", from), num("port", port, 0),
                        txt("to", d_.to), num("len", double(d_.length), 0), txt("hex", hexOf(d_)),
                        lit("valid", "false"), txt("reason", check.reason)}));
        return;
    }
    ++requests_;
    emit(eventLine(o_.json, t, "discovery",
                   {txt("from", from), num("port", port, 0), txt("to", d_.to),
                    num("len", double(d_.length), 0), txt("hex", hexOf(d_)), lit("valid", "true"),
                    txt("address", check.address)}));
    if (!o_.reply)
        return;
    const auto reply = buildReply(o_.kind, o_.mac);
    const ssize_t sent = sendto(discFd_, reply.data(), reply.size(), 0,
                                reinterpret_cast<const sockaddr*>(&requester), sizeof requester);
    const std::string replyHex = hex(reply.data(), reply.size(), o_.json ? 0 : ' ');
    if (sent < 0) {
        emit(eventLine(o_.json, wallNow(), "reply",
                       {txt("to", from), num("port", port, 0), txt("hex", replyHex),
                        txt("error", std::strerror(errno))}));
        return;
    }
    ++replies_;
    emit(eventLine(o_.json, wallNow(), "reply",
                   {txt("to", from), num("port", port, 0), num("len", double(reply.size()), 0),
                    txt("hex", replyHex), txt("mac", macText(o_.mac)), num("kind", o_.kind, 0)}));
}

int Device::run() {
    std::string error;
    int hbPort = 0;
    int discPort = 0;
    hbFd_ = openSocket(o_.bind, o_.port, &hbPort, &error);
    if (hbFd_ >= 0)
        discFd_ = openSocket(o_.bind, o_.discoveryPort, &discPort, &error);
    if (hbFd_ < 0 || discFd_ < 0) {
        std::fprintf(stderr, "vesk-hb-device: %s\n", error.c_str());
        if (hbFd_ >= 0)
            close(hbFd_);
        return 1;
    }
    emit(
        eventLine(o_.json, wallNow(), "listen",
                  {txt("bind", o_.bind), num("port", hbPort, 0), num("discovery_port", discPort, 0),
                   txt("mac", macText(o_.mac)), num("kind", o_.kind, 0),
                   lit("reply", o_.reply ? "true" : "false"), num("timeout", o_.timeout)}));

    const double start = steadyNow();
    const double stopAt =
        o_.duration > 0 ? start + o_.duration : std::numeric_limits<double>::infinity();
    gap_ = GapWatch(o_.timeout, start);
    while (!gStop) {
        const double now = steadyNow();
        if (now >= stopAt)
            break;
        if (gap_.poll(now)) {
            emit(eventLine(o_.json, wallNow(), "gap",
                           {num("silence", o_.timeout),
                            heartbeats_ ? num("last", lastHeartbeatWall_) : lit("last", "null")}));
        }
        // Wake for the next gap, the end, or a signal, whichever is first.
        double wait = 1.0;
        if (gap_.deadline() >= 0 && gap_.deadline() - now < wait)
            wait = gap_.deadline() - now;
        if (stopAt - now < wait)
            wait = stopAt - now;
        pollfd fds[2] = {{hbFd_, POLLIN, 0}, {discFd_, POLLIN, 0}};
        const int ready = poll(fds, 2, static_cast<int>(wait * 1000) + 1);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            std::fprintf(stderr, "vesk-hb-device: poll: %s\n", std::strerror(errno));
            break;
        }
        if (fds[0].revents & POLLIN)
            onHeartbeatSocket();
        if (fds[1].revents & POLLIN)
            onDiscoverySocket();
        if (o_.count > 0 && hbDatagrams_ >= o_.count)
            break;
    }
    emit(eventLine(o_.json, wallNow(), "end",
                   {num("heartbeats", double(heartbeats_), 0), num("bad", double(bad_), 0),
                    num("discovery", double(requests_), 0), num("replies", double(replies_), 0)}));
    close(hbFd_);
    close(discFd_);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const auto parsed = parseOptions(argc, argv);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "vesk-hb-device: %s (see --help)\n", parsed.error.c_str());
        return 2;
    }
    if (parsed.options.help) {
        std::fputs(usageText(argv[0]).c_str(), stdout);
        return 0;
    }
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
    return Device(parsed.options).run();
}
