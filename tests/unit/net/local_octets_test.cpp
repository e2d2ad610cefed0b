#include "net/local_octets.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

using Octets = std::array<int32_t, 4>;

struct Case {
    const char* text;
    Octets expected;
};

class SplitOctets : public testing::TestWithParam<Case> {};

TEST_P(SplitOctets, FourPartsInWrittenOrder) {
    EXPECT_EQ(vhb::splitOctets(GetParam().text), GetParam().expected)
        << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Table, SplitOctets,
    testing::Values(Case{"192.168.10.5", {192, 168, 10, 5}}, Case{"10.0.0.7", {10, 0, 0, 7}},
                    Case{"127.0.0.1", {127, 0, 0, 1}},
                    // fewer parts: the missing ones are 0
                    Case{"1.2", {1, 2, 0, 0}}, Case{"", {0, 0, 0, 0}}, Case{"7", {7, 0, 0, 0}},
                    // a part that is not a number is 0; the rest still count
                    Case{"1..3.4", {1, 0, 3, 4}}, Case{"a.b.c.d", {0, 0, 0, 0}},
                    Case{"1 .2.3.4", {0, 2, 3, 4}},
                    // beyond the fourth part nothing is read
                    Case{"1.2.3.4.5", {1, 2, 3, 4}}, Case{"1.2.3.4x", {1, 2, 3, 0}},
                    // each part goes through the common number reading
                    Case{"$C0.x10.-1.+2", {192, 16, -1, 2}}, Case{"300.0.0.1", {300, 0, 0, 1}}));

TEST(LocalOctets, AllZeroAtStart) {
    EXPECT_EQ(vhb::LocalOctets, (Octets{0, 0, 0, 0}));
}

}  // namespace
