#pragma once
// Reading of a dotted IPv4 address as the classic sockets library reads it:
// one to four parts joined by dots ("a", "a.b", "a.b.c", "a.b.c.d"), each part
// decimal, octal after a leading 0, or hexadecimal after 0x / 0X. The last
// part fills all the bits that the parts before it leave over, so "10.1"
// is 10.0.0.1 and "127.65535" is 127.0.255.255.
#include <cstdint>
#include <optional>
#include <string_view>

namespace vhb {

// The address in host order, or nullopt when the text is not a dotted
// address (an empty part, a part too large for its place, more than four
// parts, or anything after the last digit). 255.255.255.255 in any spelling
// also gives nullopt: the classic call's "not an address" value is that same
// pattern, so a caller goes on to look the text up as a host name.
std::optional<uint32_t> ParseDottedAddress(std::string_view text);

}  // namespace vhb
