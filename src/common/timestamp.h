#pragma once
// The time stamp of the status lines: local time as "yyyy/mm/dd hh:nn:ss".
#include <string>

namespace vhb {

struct LocalTime {
    int year, month, day, hour, minute, second;
};

LocalTime localTimeNow();
std::string formatTimestamp(const LocalTime& t);
std::string timestampNow();

}  // namespace vhb
