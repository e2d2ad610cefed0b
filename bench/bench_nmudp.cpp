// One heartbeat send as the program does it (LocalPort re-assigned, then 9
// bytes to 127.0.0.1) against the bare system steps of the same send.
// Run inside its own network namespace:
//   unshare --net sh -c 'ip link set lo up; exec ./bench_nmudp'
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cstdint>

#include "net/nmudp.h"

namespace {

constexpr uint16_t kLocalPort = 47100;
constexpr uint16_t kSinkPort = 47101;
constexpr char kHeartbeat[] = "ZANTOHB\r\n";

// A bound sink so the datagrams have somewhere to go; drained now and then
// so the queue never fills.
class Sink {
public:
    Sink() {
        fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(kSinkPort);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::fcntl(fd_, F_SETFL, O_NONBLOCK);
    }
    ~Sink() { ::close(fd_); }
    void Drain() {
        char buffer[64];
        while (::recv(fd_, buffer, sizeof buffer, 0) >= 0) {
        }
    }

private:
    int fd_ = -1;
};

void BM_TnmudpRebindAndSend(benchmark::State& state) {
    Sink sink;
    TNMUDP udp;
    udp.setRemoteHost(QStringLiteral("127.0.0.1"));
    udp.setRemotePort(kSinkPort);
    const QByteArray heartbeat(kHeartbeat, 9);
    uint64_t n = 0;
    for (auto _ : state) {
        udp.setLocalPort(kLocalPort);
        udp.SendBytes(heartbeat, 9);
        if ((++n & 63) == 0) {
            sink.Drain();
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_TnmudpRebindAndSend);

void BM_PosixSocketBindSendClose(benchmark::State& state) {
    Sink sink;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(kLocalPort);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(kSinkPort);
    remote.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    uint64_t n = 0;
    for (auto _ : state) {
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
        benchmark::DoNotOptimize(
            ::sendto(fd, kHeartbeat, 9, 0, reinterpret_cast<sockaddr*>(&remote), sizeof remote));
        ::close(fd);
        if ((++n & 63) == 0) {
            sink.Drain();
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_PosixSocketBindSendClose);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);  // the endpoint's socket notifiers need one
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
