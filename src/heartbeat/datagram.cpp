#include "heartbeat/datagram.h"

#include <algorithm>

namespace vhb {

HeartbeatDatagram buildHeartbeat(std::string_view code) {
    HeartbeatDatagram d;
    d.fill(0x20);
    const size_t n = std::min<size_t>(code.size(), 7);
    std::copy_n(code.begin(), n, d.begin());
    if (n < 7)
        d[n] = 0x00;
    d[7] = 0x0D;
    d[8] = 0x0A;
    return d;
}

std::string heartbeatText(const HeartbeatDatagram& d) {
    const auto end = std::find(d.begin(), d.end(), uint8_t{0});
    return std::string(d.begin(), end);
}

}  // namespace vhb
