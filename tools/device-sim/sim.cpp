#include "sim.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "common/number.h"

namespace vhb::sim {

namespace {

bool printable(uint8_t c) {
    return c >= 0x20 && c <= 0x7E;
}

std::optional<double> readSeconds(std::string_view text) {
    const std::string s(text);
    if (s.empty())
        return std::nullopt;
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (end != s.c_str() + s.size() || !std::isfinite(v) || v < 0)
        return std::nullopt;
    return v;
}

std::optional<int> readInRange(std::string_view text, int lo, int hi) {
    const auto v = tryReadNumber(text);
    if (!v || *v < lo || *v > hi)
        return std::nullopt;
    return *v;
}

}  // namespace

HeartbeatCheck checkHeartbeat(const uint8_t* data, size_t n) {
    HeartbeatCheck r;
    if (n != kHeartbeatLength) {
        r.reason = "length " + std::to_string(n) + ", not 9";
        return r;
    }
    if (data[7] != 0x0D || data[8] != 0x0A) {
        r.reason = "bytes 7..8 are not 0D 0A";
        return r;
    }
    size_t len = 0;
    while (len < 7 && data[len] != 0x00) {
        if (!printable(data[len])) {
            r.reason = "send code byte " + std::to_string(len) + " is not printable";
            return r;
        }
        ++len;
    }
    if (len == 0) {
        r.reason = "empty send code";
        return r;
    }
    // A short code is closed by one 0x00 and padded with spaces.
    for (size_t i = len + 1; i < 7; ++i) {
        if (data[i] != 0x20) {
            r.reason = "byte " + std::to_string(i) + " after the code's 00 is not a space";
            return r;
        }
    }
    r.valid = true;
    r.code.assign(reinterpret_cast<const char*>(data), len);
    return r;
}

RequestCheck checkRequest(const uint8_t* data, size_t n) {
    RequestCheck r;
    if (n != kRequestLength) {
        r.reason = "length " + std::to_string(n) + ", not 32";
        return r;
    }
    static constexpr uint8_t kHead[] = {0x00, 0xFF, 0x00, 0x01, 0x20};
    for (size_t i = 0; i < sizeof kHead; ++i) {
        if (data[i] != kHead[i]) {
            r.reason = "does not begin 00 FF 00 01 20";
            return r;
        }
    }
    unsigned sum = 0;
    for (size_t i = 0; i < n; ++i) {
        if (i != 5)
            sum += data[i];
    }
    const auto expected = static_cast<uint8_t>(sum & 0xFF);
    if (expected != data[5]) {
        r.reason = "checksum " + hex(&data[5], 1) + ", expected " + hex(&expected, 1);
        return r;
    }
    r.valid = true;
    r.address = std::to_string(data[8]) + "." + std::to_string(data[9]) + "." +
                std::to_string(data[10]) + "." + std::to_string(data[11]);
    return r;
}

std::array<uint8_t, kReplyLength> buildReply(uint8_t kind, const Mac& mac) {
    std::array<uint8_t, kReplyLength> b{};
    b[0] = 0x00;
    b[1] = 0x80;
    b[2] = 0x00;
    b[3] = kind;
    for (size_t i = 0; i < mac.size(); ++i)
        b[14 + i] = mac[i];
    return b;
}

std::optional<Mac> parseMac(std::string_view text) {
    if (text.size() != 17)
        return std::nullopt;
    Mac mac{};
    for (size_t i = 0; i < 6; ++i) {
        const size_t at = 3 * i;
        if (i > 0 && text[at - 1] != ':' && text[at - 1] != '-')
            return std::nullopt;
        const int hi = vhb::hexDigitValue(text[at]);
        const int lo = vhb::hexDigitValue(text[at + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        mac[i] = static_cast<uint8_t>(hi * 16 + lo);
    }
    return mac;
}

std::string macText(const Mac& mac) {
    return hex(mac.data(), mac.size(), ':');
}

std::string hex(const uint8_t* data, size_t n, char sep) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        if (sep && i > 0)
            s += sep;
        s += kDigits[data[i] >> 4];
        s += kDigits[data[i] & 0x0F];
    }
    return s;
}

std::string jsonEscape(std::string_view s) {
    std::string out;
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c >= 0x7F) {
            char b[8];
            std::snprintf(b, sizeof b, "\\u%04x", c);
            out += b;
        } else {
            out += ch;
        }
    }
    return out;
}

ParseResult parseOptions(int argc, const char* const* argv) {
    ParseResult r;
    Options& o = r.options;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        std::string_view value;
        bool hasValue = false;
        if (const size_t eq = arg.find('='); arg.starts_with("--") && eq != arg.npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            hasValue = true;
        }
        const auto flag = [&](bool& target) {
            if (hasValue) {
                r.error = std::string(arg) + " takes no value";
                return;
            }
            target = true;
        };
        if (arg == "--help" || arg == "-h") {
            flag(o.help);
            continue;
        }
        if (arg == "--json") {
            flag(o.json);
            continue;
        }
        if (arg == "--no-reply") {
            bool noReply = false;
            flag(noReply);
            o.reply = !noReply;
            continue;
        }
        static constexpr std::string_view kValued[] = {"--port",  "--discovery-port", "--mac",
                                                       "--kind",  "--timeout",        "--bind",
                                                       "--count", "--duration"};
        bool known = false;
        for (const auto k : kValued)
            known = known || arg == k;
        if (!known) {
            r.error = "unknown argument: " + std::string(arg);
            return r;
        }
        if (!hasValue) {
            if (i + 1 >= argc) {
                r.error = std::string(arg) + " needs a value";
                return r;
            }
            value = argv[++i];
        }
        const auto bad = [&] {
            r.error = "bad value for " + std::string(arg) + ": " + std::string(value);
        };
        if (arg == "--port" || arg == "--discovery-port") {
            const auto v = readInRange(value, 0, 65535);
            if (!v) {
                bad();
                return r;
            }
            (arg == "--port" ? o.port : o.discoveryPort) = *v;
        } else if (arg == "--mac") {
            const auto m = parseMac(value);
            if (!m) {
                bad();
                return r;
            }
            o.mac = *m;
        } else if (arg == "--kind") {
            const auto v = readInRange(value, 0, 255);
            if (!v) {
                bad();
                return r;
            }
            o.kind = static_cast<uint8_t>(*v);
        } else if (arg == "--timeout" || arg == "--duration") {
            const auto v = readSeconds(value);
            if (!v || (arg == "--timeout" && *v <= 0)) {
                bad();
                return r;
            }
            (arg == "--timeout" ? o.timeout : o.duration) = *v;
        } else if (arg == "--bind") {
            if (value.empty()) {
                bad();
                return r;
            }
            o.bind = std::string(value);
        } else if (arg == "--count") {
            const auto v = readInRange(value, 0, 2147483647);
            if (!v) {
                bad();
                return r;
            }
            o.count = *v;
        }
        if (!r.error.empty())
            return r;
    }
    return r;
}

std::string usageText(std::string_view program) {
    std::string u = "Usage: " + std::string(program) + " [options]\n";
    u += R"(
Plays the monitoring device: listens for heartbeats, reports each datagram and
the gaps between heartbeats, and answers discovery requests with its MAC.

  --port N            heartbeat port to listen on (default 9100; 0: any free port)
  --discovery-port N  port for discovery requests (default 15580; 0: any free port)
  --mac MAC           MAC address given in replies (default 02:1A:2B:3C:4D:5E)
  --kind N            kind byte of the reply, byte 3 (default 0x01)
  --no-reply          receive and report discovery requests, answer none
  --timeout S         report a gap after S seconds without a heartbeat (default 15)
  --bind ADDRESS      local IPv4 address of both sockets (default 0.0.0.0, which
                      also receives broadcasts)
  --json              one JSON object per line instead of readable text
  --count N           stop after N datagrams on the heartbeat port
  --duration S        stop after S seconds
  --help              this text

Events: listen (ports bound), heartbeat (valid heartbeat), bad (a datagram that
is no valid heartbeat or request, with a reason), discovery (valid request),
reply (answer sent), gap (no heartbeat for the timeout), resume (first heartbeat
after a gap), end (counts at exit). Each line carries the time t (seconds since
1970 in JSON), and per datagram the sender (from, port), the address it was sent
to (to), its length and its bytes in hexadecimal. SIGINT and SIGTERM end the
program cleanly. Exit status: 0 on a normal end, 1 when a socket cannot be
opened, 2 for a bad command line.
)";
    return u;
}

bool GapWatch::poll(double now) {
    if (inGap_ || now - last_ < timeout_)
        return false;
    inGap_ = true;
    return true;
}

bool GapWatch::heartbeat(double now, double* silence) {
    if (silence)
        *silence = now - last_;
    last_ = now;
    const bool resumed = inGap_;
    inGap_ = false;
    return resumed;
}

Field txt(std::string key, std::string value) {
    return {std::move(key), std::move(value), true};
}

Field num(std::string key, double value, int decimals) {
    char b[64];
    std::snprintf(b, sizeof b, "%.*f", decimals, value);
    return {std::move(key), b, false};
}

Field lit(std::string key, std::string value) {
    return {std::move(key), std::move(value), false};
}

std::string eventLine(bool json, double t, std::string_view event,
                      std::initializer_list<Field> fields) {
    std::string line;
    if (json) {
        line = "{\"t\":" + num("t", t).value + ",\"event\":\"" + jsonEscape(event) + "\"";
        for (const auto& f : fields) {
            line += ",\"" + jsonEscape(f.key) + "\":";
            line += f.text ? "\"" + jsonEscape(f.value) + "\"" : f.value;
        }
        return line + "}";
    }
    const auto secs = static_cast<time_t>(std::floor(t));
    const int ms = static_cast<int>(std::lround((t - std::floor(t)) * 1000)) % 1000;
    // One thread prints, so the shared result of localtime is safe (and it
    // is there on Windows too).
    const tm local = *std::localtime(&secs);
    char stamp[40];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    char msText[8];
    std::snprintf(msText, sizeof msText, ".%03d", ms);
    line = std::string(stamp) + msText + " " + std::string(event);
    for (const auto& f : fields) {
        const bool quote = f.text && (f.value.empty() || f.value.find(' ') != std::string::npos);
        line += " " + f.key + "=" + (quote ? "\"" + f.value + "\"" : f.value);
    }
    return line;
}

}  // namespace vhb::sim
