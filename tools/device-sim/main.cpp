// vesk-hb-device: a stand-in for the monitoring device, for tests and for
// trying the program out. Listens for heartbeats and discovery requests on
// two UDP sockets and reports every datagram on standard output.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <limits>
#include <string>

#include "sim.h"
#include "udp.h"

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
    UdpSocket hb_;
    UdpSocket disc_;
    Datagram d_;
    long hbDatagrams_ = 0;
    long heartbeats_ = 0;
    long bad_ = 0;
    long requests_ = 0;
    long replies_ = 0;
    double lastHeartbeatWall_ = 0;
};

void Device::onHeartbeatSocket() {
    if (!hb_.receive(d_))
        return;
    ++hbDatagrams_;
    const double t = wallNow();
    const std::string& from = d_.from.address;
    const int port = d_.from.port;
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
    if (!disc_.receive(d_))
        return;
    const double t = wallNow();
    const Peer requester = d_.from;
    const std::string& from = requester.address;
    const int port = requester.port;
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
    std::string error;
    const bool sent = disc_.sendTo(reply.data(), reply.size(), requester, &error);
    const std::string replyHex = hex(reply.data(), reply.size(), o_.json ? 0 : ' ');
    if (!sent) {
        emit(eventLine(
            o_.json, wallNow(), "reply",
            {txt("to", from), num("port", port, 0), txt("hex", replyHex), txt("error", error)}));
        return;
    }
    ++replies_;
    emit(eventLine(o_.json, wallNow(), "reply",
                   {txt("to", from), num("port", port, 0), num("len", double(reply.size()), 0),
                    txt("hex", replyHex), txt("mac", macText(o_.mac)), num("kind", o_.kind, 0)}));
}

int Device::run() {
    std::string error;
    if (!hb_.open(o_.bind, o_.port, &error) || !disc_.open(o_.bind, o_.discoveryPort, &error)) {
        std::fprintf(stderr, "vesk-hb-device: %s\n", error.c_str());
        return 1;
    }
    const int hbPort = hb_.boundPort();
    const int discPort = disc_.boundPort();
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
        bool hbReady = false;
        bool discReady = false;
        if (!waitReadable(hb_, disc_, static_cast<int>(wait * 1000) + 1, &hbReady, &discReady,
                          &error)) {
            std::fprintf(stderr, "vesk-hb-device: %s\n", error.c_str());
            break;
        }
        if (hbReady)
            onHeartbeatSocket();
        if (discReady)
            onDiscoverySocket();
        if (o_.count > 0 && hbDatagrams_ >= o_.count)
            break;
    }
    emit(eventLine(o_.json, wallNow(), "end",
                   {num("heartbeats", double(heartbeats_), 0), num("bad", double(bad_), 0),
                    num("discovery", double(requests_), 0), num("replies", double(replies_), 0)}));
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
    std::string error;
    if (!startSockets(onSignal, &error)) {
        std::fprintf(stderr, "vesk-hb-device: %s\n", error.c_str());
        return 1;
    }
    return Device(parsed.options).run();
}
