#pragma once
// The discovery request that asks the devices on the local subnet for their
// MAC address, and the check of the datagrams that answer it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vhb {

constexpr int kDiscoveryRequestLength = 32;
constexpr int kDiscoveryPort = 15580;
constexpr int kDiscoveryLocalPort = 9010;

// The request's buffer: only the first 32 bytes are filled and sent. The
// address bytes are the low 8 bits of each octet; byte 5 is the checksum.
std::array<uint8_t, 64> buildDiscoveryRequest(const std::array<int32_t, 4>& octets);

// The local address with its last octet replaced by 255, whatever the
// subnet's real mask is.
std::string broadcastAddressText(const std::array<int32_t, 4>& octets);

// Two uppercase hexadecimal digits per byte, in order, no separators.
std::string hexText(const uint8_t* data, size_t n);

struct ReplyCheck {
    bool isReply;
    std::string mac;  // "02:1A:2B:3C:4D:5E"; empty when isReply is false
};

// Recognises a discovery reply by the hexadecimal text of a datagram and
// takes its MAC address text from bytes 14 to 19.
ReplyCheck checkReply(std::string_view hex);

}  // namespace vhb
