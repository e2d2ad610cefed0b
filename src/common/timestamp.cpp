#include "common/timestamp.h"

#include <cstdio>
#include <ctime>

namespace vhb {

namespace {
std::string twoDigits(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}
}  // namespace

LocalTime localTimeNow() {
    const std::time_t now = std::time(nullptr);
    // The GUI thread is the only caller, so the shared result is safe.
    const std::tm* tm = std::localtime(&now);
    return {tm->tm_year + 1900, tm->tm_mon + 1, tm->tm_mday, tm->tm_hour, tm->tm_min, tm->tm_sec};
}

std::string formatTimestamp(const LocalTime& t, const DateTimeSeparators& separators) {
    char year[16];
    std::snprintf(year, sizeof year, "%04d", t.year);
    const std::string& d = separators.date;
    const std::string& c = separators.time;
    return year + d + twoDigits(t.month) + d + twoDigits(t.day) + ' ' + twoDigits(t.hour) + c +
           twoDigits(t.minute) + c + twoDigits(t.second);
}

std::string timestampNow(const DateTimeSeparators& separators) {
    return formatTimestamp(localTimeNow(), separators);
}

}  // namespace vhb
