#include "net/dotted_address.h"

#include <array>
#include <cstddef>

namespace vhb {
namespace {

constexpr uint32_t kNotAnAddress = 0xFFFFFFFFu;

int DigitValue(char c, int base) {
    int value = -1;
    if (c >= '0' && c <= '9') {
        value = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
        value = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
        value = c - 'A' + 10;
    }
    return value < base ? value : -1;
}

// Reads one part starting at `pos`; advances `pos` past its digits.
std::optional<uint32_t> ReadPart(std::string_view text, std::size_t& pos) {
    if (pos >= text.size() || text[pos] < '0' || text[pos] > '9') {
        return std::nullopt;
    }
    int base = 10;
    if (text[pos] == '0') {
        base = 8;
        ++pos;
        if (pos < text.size() && (text[pos] == 'x' || text[pos] == 'X')) {
            base = 16;
            ++pos;
            // "0x" must carry at least one hexadecimal digit.
            if (pos >= text.size() || DigitValue(text[pos], 16) < 0) {
                return std::nullopt;
            }
        }
    }
    uint64_t value = 0;
    while (pos < text.size()) {
        const char c = text[pos];
        if (c == '.') {
            break;
        }
        const int digit = DigitValue(c, base);
        if (digit < 0) {
            return std::nullopt;  // trailing garbage, or 8 / 9 in an octal part
        }
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
        if (value > 0xFFFFFFFFull) {
            return std::nullopt;
        }
        ++pos;
    }
    return static_cast<uint32_t>(value);
}

}  // namespace

std::optional<uint32_t> ParseDottedAddress(std::string_view text) {
    std::array<uint32_t, 4> parts{};
    std::size_t count = 0;
    std::size_t pos = 0;
    for (;;) {
        if (count == parts.size()) {
            return std::nullopt;  // a fifth part
        }
        const std::optional<uint32_t> part = ReadPart(text, pos);
        if (!part) {
            return std::nullopt;
        }
        parts[count++] = *part;
        if (pos == text.size()) {
            break;
        }
        ++pos;  // the dot; an empty part after it fails in ReadPart
    }

    // Every part but the last is one byte; the last fills the remaining bits.
    const std::size_t leading = count - 1;
    uint32_t address = 0;
    for (std::size_t i = 0; i < leading; ++i) {
        if (parts[i] > 0xFFu) {
            return std::nullopt;
        }
        address |= parts[i] << (24 - 8 * i);
    }
    const uint32_t lastMax = leading == 0 ? 0xFFFFFFFFu : (0xFFFFFFFFu >> (8 * leading));
    if (parts[leading] > lastMax) {
        return std::nullopt;
    }
    address |= parts[leading];

    if (address == kNotAnAddress) {
        return std::nullopt;
    }
    return address;
}

}  // namespace vhb
