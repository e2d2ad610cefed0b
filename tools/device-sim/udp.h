#pragma once
// The simulator's UDP sockets, one implementation per OS. Each datagram
// comes with the address it was sent to: a broadcast request and a unicast
// heartbeat look alike otherwise.
#include <cstddef>
#include <cstdint>
#include <string>

namespace vhb::sim {

struct Peer {
    std::string address;  // dotted IPv4
    int port = 0;
    uint32_t raw = 0;  // the address in network order, to answer it
};

struct Datagram {
    uint8_t data[65536];
    size_t length = 0;  // the datagram's real length, also when it was cut
    size_t kept = 0;
    Peer from;
    std::string to;  // empty where the system does not tell
};

// Starts what the sockets need in this process and sets what stops the
// simulator: `onStop` runs on an interrupt or a termination request.
bool startSockets(void (*onStop)(int), std::string* error);

class UdpSocket {
public:
    UdpSocket() = default;
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;
    ~UdpSocket();

    // Binds with broadcast allowed; port 0 takes one the system chooses.
    bool open(const std::string& bindAddress, int port, std::string* error);
    int boundPort() const { return port_; }
    // One waiting datagram, without blocking; false when none is waiting.
    bool receive(Datagram& d);
    bool sendTo(const uint8_t* data, size_t n, const Peer& to, std::string* error);

private:
    friend bool waitReadable(UdpSocket&, UdpSocket&, int, bool*, bool*, std::string*);
    intptr_t fd_ = -1;
    int port_ = 0;
    void* recvMsg_ = nullptr;  // the system's message receive, where it is fetched
};

// Waits up to `ms` milliseconds for a datagram on either socket. False on a
// failure other than an interruption, with its text in `error`.
bool waitReadable(UdpSocket& a, UdpSocket& b, int ms, bool* readyA, bool* readyB,
                  std::string* error);

}  // namespace vhb::sim
