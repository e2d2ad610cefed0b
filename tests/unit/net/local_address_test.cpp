#include "net/local_address.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Case {
    std::vector<std::string> local;
    const char* destination;
    std::size_t expected;
};

class ChooseLocalAddress : public testing::TestWithParam<Case> {};

TEST_P(ChooseLocalAddress, FirstUnlessOnlyALaterOneSharesTheDevicesSubnet) {
    const Case& c = GetParam();
    EXPECT_EQ(vhb::chooseLocalAddress(c.local, c.destination), c.expected)
        << '"' << c.destination << '"';
}

INSTANTIATE_TEST_SUITE_P(Table, ChooseLocalAddress,
                         testing::Values(
                             // a virtual adapter first: the one on the device's subnet is taken
                             Case{{"172.24.0.1", "10.0.0.7", "192.168.10.5"}, "192.168.10.1", 2},
                             // the first one reaches the device: it stays, a later match or not
                             Case{{"192.168.10.5", "192.168.10.6"}, "192.168.10.1", 0},
                             // the first later match wins
                             Case{{"10.99.0.5", "192.168.10.5", "192.168.10.6"}, "192.168.10.1", 1},
                             // no address shares the first three octets: the first one
                             Case{{"10.99.0.5", "192.168.11.5"}, "192.168.10.1", 0},
                             // the last octet alone is not a subnet
                             Case{{"10.99.0.5", "192.168.1.10"}, "192.168.10.1", 0},
                             // a device given by name, or no destination: the first one
                             Case{{"10.99.0.5", "192.168.10.5"}, "vhb-device", 0},
                             Case{{"10.99.0.5", "192.168.10.5"}, "", 0},
                             // the box's text is read as the endpoint reads it: 192.168.2561 is
                             // 192.168.10.1, and a trailing space makes it a name
                             Case{{"10.99.0.5", "192.168.10.5"}, "192.168.2561", 1},
                             Case{{"10.99.0.5", "192.168.10.5"}, "192.168.10.1 ", 0},
                             Case{{}, "192.168.10.1", 0}));

}  // namespace
