#include "common/timestamp.h"

#include <cstdio>

namespace vhb {

namespace {
// Written digit by digit rather than through printf: the status line is
// stamped at every heartbeat.
void appendDigits(std::string& out, int v, int width) {
    const int limit = width == 4 ? 10000 : 100;
    if (v < 0 || v >= limit) {  // no date gives these; kept readable all the same
        char buf[16];
        std::snprintf(buf, sizeof buf, "%0*d", width, v);
        out += buf;
        return;
    }
    char digits[4];
    for (int i = width - 1; i >= 0; --i, v /= 10)
        digits[i] = static_cast<char>('0' + v % 10);
    out.append(digits, static_cast<size_t>(width));
}
}  // namespace

std::string formatTimestamp(const LocalTime& t, const DateTimeSeparators& separators) {
    std::string out;
    out.reserve(19 + 2 * (separators.date.size() + separators.time.size()));
    appendDigits(out, t.year, 4);
    out += separators.date;
    appendDigits(out, t.month, 2);
    out += separators.date;
    appendDigits(out, t.day, 2);
    out += ' ';
    appendDigits(out, t.hour, 2);
    out += separators.time;
    appendDigits(out, t.minute, 2);
    out += separators.time;
    appendDigits(out, t.second, 2);
    return out;
}

}  // namespace vhb
