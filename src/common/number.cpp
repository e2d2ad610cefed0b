#include "common/number.h"

namespace vhb {

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<int32_t> tryReadNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';

    bool hex = false;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= text.size())
        return std::nullopt;

    uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const int d =
            hex ? hexDigitValue(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
        if (d < 0)
            return std::nullopt;
        value = value * (hex ? 16 : 10) + static_cast<uint64_t>(d);
        // Past 32 bits of hex, or past the decimal range, no digit can bring
        // the value back.
        if (value > (hex ? 0xFFFFFFFFull : 2147483648ull))
            return std::nullopt;
    }
    if (hex) {
        const auto pattern = static_cast<int32_t>(static_cast<uint32_t>(value));
        return negative ? static_cast<int32_t>(0u - static_cast<uint32_t>(pattern)) : pattern;
    }
    if (!negative && value > 2147483647ull)
        return std::nullopt;
    return negative ? static_cast<int32_t>(-static_cast<int64_t>(value))
                    : static_cast<int32_t>(value);
}

int32_t readNumber(std::string_view text, int32_t def) {
    return tryReadNumber(text).value_or(def);
}

}  // namespace vhb
