#include "platform/hostaddr.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "net/latebind.h"
#include "platform/host_functions.h"
#include "platform/linux/hostaddr_linux.h"

namespace {

using vhb::platform::BoundFunction;

// Each case starts with empty slots and the real names, as at program start.
class HostLookup : public testing::Test {
protected:
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }
    static void reset() {
        for (BoundFunction* f : all())
            f->slot = nullptr;
        vhb::platform::InetNtoaFunction.fn = "inet_ntoa";
        vhb::platform::GetHostByNameFunction.fn = "gethostbyname";
        vhb::platform::GetHostNameFunction.fn = "gethostname";
        for (BoundFunction* f : all())
            f->lib = "libc.so.6";
    }
    static std::array<BoundFunction*, 3> all() {
        return {&vhb::platform::InetNtoaFunction, &vhb::platform::GetHostByNameFunction,
                &vhb::platform::GetHostNameFunction};
    }
    template <typename E>
    static std::string lookupError() {
        try {
            vhb::platform::lookupLocalHost();
        } catch (const E& e) {
            return e.what();
        }
        return "";
    }
};

TEST_F(HostLookup, MissingLibraryNamesIt) {
    vhb::platform::GetHostNameFunction.lib = "libnosuch.so.9";
    EXPECT_EQ(lookupError<vhb::EJwaLoadLibraryError>(), "Library not found: libnosuch.so.9");
    EXPECT_EQ(vhb::platform::GetHostNameFunction.slot, nullptr);
}

TEST_F(HostLookup, MissingFunctionNamesLibraryAndFunction) {
    vhb::platform::GetHostNameFunction.fn = "no_such_fn";
    EXPECT_EQ(lookupError<vhb::EJwaGetProcAddressError>(),
              "Function not found: libc.so.6.no_such_fn");
}

TEST_F(HostLookup, FunctionsAreBoundOneByOne) {
    // The name query is bound and runs; the look-up after it cannot bind.
    vhb::platform::GetHostByNameFunction.fn = "no_such_fn";
    EXPECT_THROW(vhb::platform::lookupLocalHost(), vhb::EJwaGetProcAddressError);
    EXPECT_NE(vhb::platform::GetHostNameFunction.slot, nullptr);
    EXPECT_EQ(vhb::platform::GetHostByNameFunction.slot, nullptr);
    EXPECT_EQ(vhb::platform::InetNtoaFunction.slot, nullptr);

    // The failed one is tried again at the next call, from the start.
    vhb::platform::GetHostByNameFunction.fn = "gethostbyname";
    EXPECT_NO_THROW(vhb::platform::lookupLocalHost());
    EXPECT_NE(vhb::platform::GetHostByNameFunction.slot, nullptr);
}

TEST_F(HostLookup, GivesTheOfficialNameAndDottedAddresses) {
    // Inside the test's own network namespace the host's name may or may
    // not resolve; where it does, the addresses are dotted IPv4.
    const auto host = vhb::platform::lookupLocalHost();
    EXPECT_NE(vhb::platform::GetHostNameFunction.slot, nullptr);
    if (!host)
        GTEST_SKIP() << "the host's name does not resolve here";
    EXPECT_FALSE(host->officialName.empty());
    ASSERT_FALSE(host->addresses.empty());
    for (const std::string& address : host->addresses) {
        in_addr parsed;
        EXPECT_EQ(inet_pton(AF_INET, address.c_str(), &parsed), 1) << address;
    }
    EXPECT_NE(vhb::platform::InetNtoaFunction.slot, nullptr);
}

TEST_F(HostLookup, WithOnlyLoopbackUpTheNamesOwnAddressesStand) {
    // The test's namespace has no interface but loopback: the look-up's
    // addresses are what there is, in its order.
    ifaddrs* list = nullptr;
    ASSERT_EQ(getifaddrs(&list), 0);
    bool othersUp = false;
    for (const ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
        othersUp |= i->ifa_addr != nullptr && i->ifa_addr->sa_family == AF_INET &&
                    (i->ifa_flags & IFF_UP) != 0 && (i->ifa_flags & IFF_LOOPBACK) == 0;
    }
    freeifaddrs(list);
    if (othersUp)
        GTEST_SKIP() << "an interface besides loopback is up: not in the test's namespace";
    const auto host = vhb::platform::lookupLocalHost();
    if (!host)
        GTEST_SKIP() << "the host's name does not resolve here";
    char name[128] = {};
    ASSERT_EQ(gethostname(name, sizeof name - 1), 0);
    const hostent* entry = gethostbyname(name);
    ASSERT_NE(entry, nullptr);
    std::vector<std::string> expected;
    for (char* const* a = entry->h_addr_list; *a != nullptr; ++a)
        expected.emplace_back(inet_ntoa(*reinterpret_cast<const in_addr*>(*a)));
    EXPECT_EQ(host->addresses, expected);
}

struct RouteCase {
    std::string table;
    const char* expected;
};

const std::string kRouteHeader =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

class DefaultRoute : public testing::TestWithParam<RouteCase> {};

TEST_P(DefaultRoute, IsTheLowestMetricRouteToEverywhere) {
    EXPECT_EQ(vhb::platform::defaultRouteInterface(GetParam().table), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DefaultRoute,
    testing::Values(
        RouteCase{kRouteHeader, ""},
        // only the subnet's own route
        RouteCase{kRouteHeader + "veth0\t000AA8C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n",
                  ""},
        RouteCase{kRouteHeader + "veth0\t000AA8C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n"
                                 "eth1\t00000000\t0101A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n",
                  "eth1"},
        // two ways out: the lower metric wins, wherever it is listed
        RouteCase{kRouteHeader + "wlan0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
                                 "eth0\t00000000\t0100000A\t0003\t0\t0\t100\t00000000\t0\t0\t0\n",
                  "eth0"},
        // a route that is not up does not count
        RouteCase{kRouteHeader + "tun0\t00000000\t00000000\t0000\t0\t0\t0\t00000000\t0\t0\t0\n"
                                 "eth0\t00000000\t0100000A\t0003\t0\t0\t100\t00000000\t0\t0\t0\n",
                  "eth0"},
        // half of everything (a VPN's 0.0.0.0/1) is not the default route
        RouteCase{kRouteHeader + "tun0\t00000000\t00000000\t0001\t0\t0\t0\t00000080\t0\t0\t0\n",
                  ""}));

}  // namespace
