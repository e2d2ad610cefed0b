#include "heartbeat/discovery.h"

#include "common/number.h"

namespace vhb {

namespace {

// The characters of `text` from `pos` (counted from 0), fewer or none where
// the text is shorter.
std::string_view part(std::string_view text, size_t pos, size_t count) {
    return pos < text.size() ? text.substr(pos, count) : std::string_view();
}

}  // namespace

std::array<uint8_t, 64> buildDiscoveryRequest(const std::array<int32_t, 4>& octets) {
    std::array<uint8_t, 64> b{};
    b[0] = 0x00;
    b[1] = 0xFF;
    b[2] = 0x00;
    b[3] = 0x01;
    b[4] = kDiscoveryRequestLength;
    for (size_t i = 0; i < octets.size(); ++i)
        b[8 + i] = static_cast<uint8_t>(octets[i] & 0xFF);
    b[12] = '#';
    b[13] = '2';
    // Summed while byte 5 still holds 0.
    unsigned sum = 0;
    for (int i = 0; i < kDiscoveryRequestLength; ++i)
        sum += b[i];
    b[5] = static_cast<uint8_t>(sum & 0xFF);
    return b;
}

std::string broadcastAddressText(const std::array<int32_t, 4>& octets) {
    return std::to_string(octets[0]) + "." + std::to_string(octets[1]) + "." +
           std::to_string(octets[2]) + ".255";
}

std::string hexText(const uint8_t* data, size_t n) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(2 * n);
    for (size_t i = 0; i < n; ++i) {
        text += kDigits[data[i] >> 4];
        text += kDigits[data[i] & 0x0F];
    }
    return text;
}

ReplyCheck checkReply(std::string_view hex) {
    // The fourth byte's two digits are read as a decimal number, as the
    // devices' replies have always been judged: a digit A to F makes it 0.
    const int32_t kind = readNumber(part(hex, 6, 2), 0);
    if (part(hex, 0, 6) != "008000" || kind >= 3)
        return {false, {}};
    std::string mac;
    for (size_t i = 0; i < 6; ++i) {
        if (i > 0)
            mac += ':';
        mac += part(hex, 28 + 2 * i, 2);
    }
    return {true, mac};
}

}  // namespace vhb
