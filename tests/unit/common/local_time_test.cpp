// The status lines' clock: the platform's local time against the C
// library's for the same second, so that no field comes out shifted.
#include <gtest/gtest.h>

#include <ctime>

#include "platform/system.h"

namespace {

TEST(LocalTime, IsTheSystemsLocalTimeOfNow) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        const std::time_t before = std::time(nullptr);
        const vhb::LocalTime t = vhb::platform::localTimeNow();
        if (std::time(nullptr) != before)
            continue;  // a second turned meanwhile
        const std::tm* expected = std::localtime(&before);
        const int got[] = {t.year, t.month, t.day, t.hour, t.minute, t.second};
        const int want[] = {expected->tm_year + 1900, expected->tm_mon + 1, expected->tm_mday,
                            expected->tm_hour,        expected->tm_min,     expected->tm_sec};
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(got[i], want[i]) << "field " << i;
        EXPECT_EQ(vhb::formatTimestamp(t).size(), 19u);
        EXPECT_EQ(vhb::formatTimestamp(t, {"--", "::"}).size(), 23u);
        return;
    }
    FAIL() << "the second kept turning";
}

}  // namespace
