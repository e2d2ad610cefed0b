#pragma once
// The heartbeat datagram: a 7-byte send code field, CR, LF.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace vhb {

using HeartbeatDatagram = std::array<uint8_t, 9>;

// A code of 7 or more characters gives its first 7; a shorter one its
// characters, one 0x00 and spaces up to the field's end.
HeartbeatDatagram buildHeartbeat(std::string_view code);

// The datagram taken as text up to its first 0x00 byte.
std::string heartbeatText(const HeartbeatDatagram& d);

}  // namespace vhb
