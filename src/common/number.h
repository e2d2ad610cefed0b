#pragma once
// The program's one way of reading a whole number from a text: ports,
// intervals, waits, octets and settings values all go through it.
#include <cstdint>
#include <optional>
#include <string_view>

namespace vhb {

// Leading spaces are skipped; an optional "-" or "+" follows; then decimal
// digits, or hexadecimal digits after "$", "x", "X", "0x" or "0X". Nothing may
// follow the digits. A decimal value outside the signed 32-bit range is no
// number; hexadecimal digits are a 32-bit pattern ("$FFFFFFFF" is -1).
std::optional<int32_t> tryReadNumber(std::string_view text);

// The value of one hexadecimal digit (either case), or -1.
int hexDigitValue(char c);

// tryReadNumber, with `def` where the text is not a whole number.
int32_t readNumber(std::string_view text, int32_t def);

}  // namespace vhb
