#include <gtest/gtest.h>

#include "common/number.h"
#include "common/timestamp.h"

namespace {

struct NumberCase {
    const char* text;
    std::optional<int32_t> value;
};

TEST(NumberReading, Table) {
    const NumberCase cases[] = {
        {"0", 0},
        {"9100", 9100},
        {"  9100", 9100},
        {"+12", 12},
        {"-12", -12},
        {" -7", -7},
        {"9100 ", std::nullopt},  // a trailing blank spoils the number
        {"", std::nullopt},
        {" ", std::nullopt},
        {"-", std::nullopt},
        {"12a", std::nullopt},
        {"1.5", std::nullopt},
        {"\t5", std::nullopt},  // only spaces are skipped
        {"2147483647", 2147483647},
        {"2147483648", std::nullopt},
        {"-2147483648", INT32_MIN},
        {"-2147483649", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"$10", 16},
        {"x1f", 31},
        {"X1F", 31},
        {"0x20", 32},
        {"0X20", 32},
        {"$FFFFFFFF", -1},
        {"$80000000", INT32_MIN},
        {"$100000000", std::nullopt},
        {"$0000000010", 16},
        {"-$10", -16},
        {"-0x10", -16},
        {"$", std::nullopt},
        {"0x", std::nullopt},
        {"$G", std::nullopt},
        {"0x1 ", std::nullopt},
        {"007", 7},
        {"- 5", std::nullopt},
    };
    for (const NumberCase& c : cases) {
        EXPECT_EQ(vhb::tryReadNumber(c.text), c.value) << '"' << c.text << '"';
        EXPECT_EQ(vhb::readNumber(c.text, 9100), c.value.value_or(9100)) << '"' << c.text << '"';
    }
}

struct StampCase {
    vhb::LocalTime time;
    vhb::DateTimeSeparators separators;
    const char* text;
};

TEST(Timestamp, FixedWidthFieldsWithTheUsersSeparators) {
    const StampCase cases[] = {
        {{2019, 4, 16, 8, 15, 2}, {}, "2019/04/16 08:15:02"},
        {{2026, 12, 31, 23, 59, 59}, {}, "2026/12/31 23:59:59"},
        {{2019, 4, 16, 8, 15, 2}, {".", ":"}, "2019.04.16 08:15:02"},  // German
        {{2019, 4, 16, 8, 5, 2}, {"-", "."}, "2019-04-16 08.05.02"},
        {{999, 1, 2, 0, 0, 0}, {"/", ":"}, "0999/01/02 00:00:00"},
        {{10000, 1, 2, 3, 4, 60}, {}, "10000/01/02 03:04:60"},  // wider than the fields
        // A separator of several bytes (one multi-byte character) is kept whole.
        {{2019, 4, 16, 8, 15, 2},
         {"\xd9\xab", "h"},
         "2019\xd9\xab"
         "04\xd9\xab"
         "16 08h15h02"},
    };
    for (const StampCase& c : cases)
        EXPECT_EQ(vhb::formatTimestamp(c.time, c.separators), c.text);
}

}  // namespace
