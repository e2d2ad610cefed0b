#pragma once
// The four octets of the local IPv4 address, as the device search finds
// them and the discovery request takes them.
#include <array>
#include <cstdint>
#include <string_view>

namespace vhb {

// Program-wide, all 0 at start; written by the device search, read by the
// discovery request right after.
extern std::array<int32_t, 4> LocalOctets;

// Splits a dotted address into four numbers in written order. A part that is
// not a number, or is missing, gives 0; parts after the fourth are ignored.
std::array<int32_t, 4> splitOctets(std::string_view text);

}  // namespace vhb
