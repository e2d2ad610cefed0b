#pragma once
// The time stamp of the status lines: local time as "yyyy/mm/dd hh:nn:ss",
// with "/" and ":" written as the user's date and time separators.
#include <string>

namespace vhb {

struct LocalTime {
    int year, month, day, hour, minute, second;
};

// The user's separators, as bytes in the system's 8-bit encoding. The
// defaults are what the C locale writes.
struct DateTimeSeparators {
    std::string date = "/";
    std::string time = ":";
};

// The time now comes from the platform layer (platform::localTimeNow).
std::string formatTimestamp(const LocalTime& t, const DateTimeSeparators& separators = {});

}  // namespace vhb
