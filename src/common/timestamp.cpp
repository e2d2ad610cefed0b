#include "common/timestamp.h"

#include <cstdio>
#include <ctime>

namespace vhb {

LocalTime localTimeNow() {
    const std::time_t now = std::time(nullptr);
    // The GUI thread is the only caller, so the shared result is safe.
    const std::tm* tm = std::localtime(&now);
    return {tm->tm_year + 1900, tm->tm_mon + 1, tm->tm_mday, tm->tm_hour, tm->tm_min, tm->tm_sec};
}

std::string formatTimestamp(const LocalTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return buf;
}

std::string timestampNow() {
    return formatTimestamp(localTimeNow());
}

}  // namespace vhb
