// The built simulator on 127.0.0.1: what the end-to-end bed relies on it to
// see and to answer. It binds port 0 and says in its first line which ports it
// got, so several runs can share the loopback at once.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "heartbeat/datagram.h"
#include "heartbeat/discovery.h"

extern char** environ;

namespace {

// Generous: a line that never comes fails the test, a slow one does not.
constexpr int kLineWaitMs = 5000;

class Sim {
public:
    explicit Sim(std::vector<std::string> args) {
        args.insert(args.begin(), {VHB_DEVICE_SIM, "--json", "--bind", "127.0.0.1", "--port", "0",
                                   "--discovery-port", "0", "--duration", "60"});
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        int fds[2];
        if (pipe(fds) != 0)
            return;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
        posix_spawn_file_actions_addclose(&fa, fds[0]);
        if (posix_spawn(&pid_, VHB_DEVICE_SIM, &fa, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&fa);
        close(fds[1]);
        out_ = fds[0];
    }
    ~Sim() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0)
            close(out_);
    }

    // The next line of its output, or nothing when none comes in time.
    std::optional<std::string> line() {
        const auto until =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kLineWaitMs);
        for (;;) {
            if (const auto nl = buf_.find('\n'); nl != std::string::npos) {
                std::string l = buf_.substr(0, nl);
                buf_.erase(0, nl + 1);
                return l;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return std::nullopt;
            pollfd p{out_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0)
                continue;
            char b[4096];
            const ssize_t n = read(out_, b, sizeof b);
            if (n <= 0)
                return std::nullopt;
            buf_.append(b, static_cast<size_t>(n));
        }
    }

    // The next line, which must be of this event.
    std::string expect(const std::string& event) {
        const auto l = line();
        if (!l) {
            ADD_FAILURE() << "no line, expected " << event;
            return {};
        }
        EXPECT_NE(l->find("\"event\":\"" + event + "\""), std::string::npos) << *l;
        return *l;
    }

    // Ends it with a signal; its exit status.
    int stop(int sig) {
        kill(pid_, sig);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    int wait() {
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    bool started() const { return pid_ > 0; }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string buf_;
};

std::string field(const std::string& line, const std::string& key) {
    std::smatch m;
    const std::regex re("\"" + key + "\":(\"[^\"]*\"|[^,}]*)");
    if (!std::regex_search(line, m, re))
        return {};
    std::string v = m[1];
    if (v.size() >= 2 && v.front() == '"')
        v = v.substr(1, v.size() - 2);
    return v;
}

class Peer {
public:
    Peer() {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a = loopback(0);
        bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t len = sizeof a;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
    }
    ~Peer() { close(fd_); }

    void send(int port, const uint8_t* data, size_t n) {
        const sockaddr_in to = loopback(port);
        ASSERT_EQ(sendto(fd_, data, n, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to),
                  static_cast<ssize_t>(n));
    }
    std::vector<uint8_t> receive(int waitMs) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, waitMs) <= 0)
            return {};
        uint8_t b[2048];
        const ssize_t n = recv(fd_, b, sizeof b, 0);
        return n > 0 ? std::vector<uint8_t>(b, b + n) : std::vector<uint8_t>{};
    }
    int port() const { return port_; }

private:
    static sockaddr_in loopback(int port) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return a;
    }
    int fd_ = -1;
    int port_ = 0;
};

struct Ports {
    int heartbeat = 0;
    int discovery = 0;
};

Ports listening(Sim& sim) {
    const auto l = sim.expect("listen");
    return {std::atoi(field(l, "port").c_str()), std::atoi(field(l, "discovery_port").c_str())};
}

TEST(DeviceSimLoopback, ReportsValidAndBadHeartbeatsWithTheirSender) {
    Sim sim({"--timeout", "30"});
    ASSERT_TRUE(sim.started());
    const auto ports = listening(sim);
    ASSERT_GT(ports.heartbeat, 0);
    Peer peer;

    const auto hb = vhb::buildHeartbeat("ZANTOHB");
    peer.send(ports.heartbeat, hb.data(), hb.size());
    auto l = sim.expect("heartbeat");
    EXPECT_EQ(field(l, "from"), "127.0.0.1");
    EXPECT_EQ(field(l, "port"), std::to_string(peer.port()));
    EXPECT_EQ(field(l, "to"), "127.0.0.1");
    EXPECT_EQ(field(l, "hex"), "5A414E544F48420D0A");
    EXPECT_EQ(field(l, "valid"), "true");
    EXPECT_EQ(field(l, "code"), "ZANTOHB");
    EXPECT_EQ(field(l, "dt"), "null");

    const uint8_t eight[] = {'Z', 'A', 'N', 'T', 'O', 'H', 'B', '\r'};
    peer.send(ports.heartbeat, eight, sizeof eight);
    l = sim.expect("bad");
    EXPECT_EQ(field(l, "socket"), "heartbeat");
    EXPECT_EQ(field(l, "valid"), "false");
    EXPECT_EQ(field(l, "len"), "8");
    EXPECT_EQ(field(l, "hex"), "5A414E544F48420D");

    // An empty datagram and a large one are reported too, never fatal.
    peer.send(ports.heartbeat, eight, 0);
    EXPECT_EQ(field(sim.expect("bad"), "len"), "0");
    const std::vector<uint8_t> big(3000, 0x41);
    peer.send(ports.heartbeat, big.data(), big.size());
    EXPECT_EQ(field(sim.expect("bad"), "len"), "3000");

    const auto abc = vhb::buildHeartbeat("ABC");
    peer.send(ports.heartbeat, abc.data(), abc.size());
    l = sim.expect("heartbeat");
    EXPECT_EQ(field(l, "code"), "ABC");
    EXPECT_NE(field(l, "dt"), "null");

    EXPECT_EQ(sim.stop(SIGTERM), 0);
}

TEST(DeviceSimLoopback, ReportsAGapAndTheResume) {
    Sim sim({"--timeout", "0.3"});
    ASSERT_TRUE(sim.started());
    const auto ports = listening(sim);
    Peer peer;
    const auto hb = vhb::buildHeartbeat("ZANTOHB");
    peer.send(ports.heartbeat, hb.data(), hb.size());
    // A gap may already be reported before the first heartbeat if the
    // machine is slow; it is the one after the heartbeat that counts.
    auto l = sim.line();
    ASSERT_TRUE(l);
    if (field(*l, "event") == "gap")
        l = sim.line();
    ASSERT_TRUE(l);
    EXPECT_EQ(field(*l, "event"), "heartbeat") << *l;
    const auto gap = sim.expect("gap");
    EXPECT_EQ(field(gap, "silence"), "0.300");
    EXPECT_NE(field(gap, "last"), "null");
    peer.send(ports.heartbeat, hb.data(), hb.size());
    sim.expect("heartbeat");
    const auto resume = sim.expect("resume");
    EXPECT_GE(std::stod(field(resume, "silence")), 0.3);
    EXPECT_EQ(sim.stop(SIGINT), 0);
}

TEST(DeviceSimLoopback, AnswersARequestToItsSenderWithItsMac) {
    Sim sim({"--timeout", "30", "--mac", "02:aa:bb:cc:dd:ee", "--kind", "2"});
    ASSERT_TRUE(sim.started());
    const auto ports = listening(sim);
    Peer peer;

    const auto req = vhb::buildDiscoveryRequest({127, 0, 0, 1});
    auto bad = req;
    bad[5] ^= 0xFF;
    peer.send(ports.discovery, bad.data(), vhb::kDiscoveryRequestLength);
    auto l = sim.expect("bad");
    EXPECT_EQ(field(l, "socket"), "discovery");

    peer.send(ports.discovery, req.data(), vhb::kDiscoveryRequestLength);
    l = sim.expect("discovery");
    EXPECT_EQ(field(l, "address"), "127.0.0.1");
    EXPECT_EQ(field(l, "port"), std::to_string(peer.port()));
    l = sim.expect("reply");
    EXPECT_EQ(field(l, "to"), "127.0.0.1");
    EXPECT_EQ(field(l, "port"), std::to_string(peer.port()));

    // The only datagram the peer gets answers the good request, not the bad.
    const auto reply = peer.receive(kLineWaitMs);
    ASSERT_EQ(reply.size(), 20u);
    const auto check = vhb::checkReply(vhb::hexText(reply.data(), reply.size()));
    EXPECT_TRUE(check.isReply);
    EXPECT_EQ(check.mac, "02:AA:BB:CC:DD:EE");
    EXPECT_EQ(reply[3], 2);
    EXPECT_TRUE(peer.receive(200).empty());

    EXPECT_EQ(sim.stop(SIGTERM), 0);
}

TEST(DeviceSimLoopback, NoReplyStillReportsTheRequest) {
    Sim sim({"--no-reply"});
    ASSERT_TRUE(sim.started());
    const auto ports = listening(sim);
    Peer peer;
    const auto req = vhb::buildDiscoveryRequest({127, 0, 0, 1});
    peer.send(ports.discovery, req.data(), vhb::kDiscoveryRequestLength);
    sim.expect("discovery");
    EXPECT_TRUE(peer.receive(300).empty());
    EXPECT_EQ(sim.stop(SIGTERM), 0);
    const auto end = sim.expect("end");
    EXPECT_EQ(field(end, "discovery"), "1");
    EXPECT_EQ(field(end, "replies"), "0");
}

TEST(DeviceSimLoopback, StopsByItselfAfterCount) {
    Sim sim({"--count", "2"});
    ASSERT_TRUE(sim.started());
    const auto ports = listening(sim);
    Peer peer;
    const auto hb = vhb::buildHeartbeat("ZANTOHB");
    const uint8_t junk[] = {1, 2, 3};
    peer.send(ports.heartbeat, hb.data(), hb.size());
    peer.send(ports.heartbeat, junk, sizeof junk);
    sim.expect("heartbeat");
    sim.expect("bad");
    const auto end = sim.expect("end");
    EXPECT_EQ(field(end, "heartbeats"), "1");
    EXPECT_EQ(field(end, "bad"), "1");
    EXPECT_EQ(sim.wait(), 0);
}

TEST(DeviceSimLoopback, BadCommandLineExitsWithTwo) {
    Sim sim({"--port", "70000"});
    ASSERT_TRUE(sim.started());
    EXPECT_FALSE(sim.line());
    EXPECT_EQ(sim.wait(), 2);
}

}  // namespace
