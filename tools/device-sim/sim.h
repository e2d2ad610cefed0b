#pragma once
// The monitoring device as the workstation sees it: what a heartbeat and a
// discovery request must look like, the reply the device gives, when the
// heartbeats count as missing, and the lines the simulator prints. Nothing
// here touches a socket, so all of it is tested directly.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vhb::sim {

using Mac = std::array<uint8_t, 6>;

constexpr size_t kHeartbeatLength = 9;
constexpr size_t kRequestLength = 32;
constexpr size_t kReplyLength = 20;

struct HeartbeatCheck {
    bool valid = false;
    std::string code;    // the send code carried, when valid
    std::string reason;  // why not, when not valid
};

// 9 bytes; bytes 7 and 8 are CR LF; the 7-byte send code field holds 7
// printable ASCII characters, or 1 to 6 of them, one 0x00 and spaces.
HeartbeatCheck checkHeartbeat(const uint8_t* data, size_t n);

struct RequestCheck {
    bool valid = false;
    std::string address;  // the requester's own address, bytes 8 to 11
    std::string reason;
};

// 32 bytes beginning 00 FF 00 01 20 whose byte 5 is the sum of the other
// 31 bytes modulo 256.
RequestCheck checkRequest(const uint8_t* data, size_t n);

// 00 80 00, the kind byte, ten zero bytes, the MAC address.
std::array<uint8_t, kReplyLength> buildReply(uint8_t kind, const Mac& mac);

// Six groups of two hexadecimal digits joined by ":" or "-", either case.
std::optional<Mac> parseMac(std::string_view text);
std::string macText(const Mac& mac);  // "02:1A:2B:3C:4D:5E"

// Two uppercase hexadecimal digits per byte; `sep` between bytes if non-zero.
std::string hex(const uint8_t* data, size_t n, char sep = 0);

// The text inside a JSON string literal for `s`.
std::string jsonEscape(std::string_view s);

struct Options {
    int port = 9100;
    int discoveryPort = 15580;
    Mac mac{0x02, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    uint8_t kind = 0x01;
    double timeout = 15.0;
    std::string bind = "0.0.0.0";
    bool json = false;
    bool reply = true;
    long count = 0;         // stop after this many datagrams on the heartbeat port; 0: never
    double duration = 0.0;  // stop after this many seconds; 0: never
    bool help = false;
};

struct ParseResult {
    Options options;
    std::string error;  // empty when the command line was understood
};

ParseResult parseOptions(int argc, const char* const* argv);
std::string usageText(std::string_view program);

// Watches the time since the last heartbeat. Times are seconds on a steady
// clock; the watch starts counting at `start`, so a device that never hears
// anything reports a gap too.
class GapWatch {
public:
    GapWatch(double timeout, double start) : timeout_(timeout), last_(start) {}

    // True once when the silence since the last heartbeat reaches the timeout.
    bool poll(double now);
    // A heartbeat arrived; true when it ends a reported gap. `silence` is the
    // time since the heartbeat (or start) before it.
    bool heartbeat(double now, double* silence);
    // When poll() will next report a gap, or a negative value while in one.
    double deadline() const { return inGap_ ? -1.0 : last_ + timeout_; }
    bool inGap() const { return inGap_; }

private:
    double timeout_;
    double last_;
    bool inGap_ = false;
};

// One field of an event line: a number or literal (true, null) as it is
// given, or a text, which is quoted and escaped.
struct Field {
    std::string key;
    std::string value;
    bool text = false;
};
Field txt(std::string key, std::string value);
Field num(std::string key, double value, int decimals = 3);
Field lit(std::string key, std::string value);

// {"t":..,"event":"..",...} for --json; otherwise the local time, the event
// and key=value pairs.
std::string eventLine(bool json, double t, std::string_view event,
                      std::initializer_list<Field> fields);

}  // namespace vhb::sim
