// The local address search over the sockets library's host functions,
// bound at their first call.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/latebind.h"
#include "net/local_octets.h"
#include "platform/host_functions.h"
#include "platform/hostaddr.h"

namespace {

// Names one of the bound functions differently for one test, with its slot
// empty, and puts it back afterwards.
class RenamedFunction {
public:
    RenamedFunction(vhb::platform::BoundFunction& f, const char* lib, const char* fn)
        : f_(f), saved_(f) {
        f_ = {nullptr, lib, fn};
    }
    ~RenamedFunction() { f_ = saved_; }
    RenamedFunction(const RenamedFunction&) = delete;
    RenamedFunction& operator=(const RenamedFunction&) = delete;

private:
    vhb::platform::BoundFunction& f_;
    vhb::platform::BoundFunction saved_;
};

TEST(WinLocalHost, GivesIPv4AddressesOfFourOctets) {
    const auto host = vhb::platform::lookupLocalHost();
    ASSERT_TRUE(host.has_value());
    EXPECT_FALSE(host->officialName.empty());
    ASSERT_FALSE(host->addresses.empty());
    for (const std::string& address : host->addresses) {
        const auto octets = vhb::splitOctets(address);
        for (int32_t octet : octets) {
            EXPECT_GE(octet, 0);
            EXPECT_LE(octet, 255);
        }
        // Written back, the four numbers are the text: nothing was lost or added.
        EXPECT_EQ(std::to_string(octets[0]) + "." + std::to_string(octets[1]) + "." +
                      std::to_string(octets[2]) + "." + std::to_string(octets[3]),
                  address);
        EXPECT_NE(octets[0], 0);
    }
}

// The bound calls give what the same functions give when called directly.
TEST(WinLocalHost, AgreesWithTheHostFunctionsCalledDirectly) {
    const auto host = vhb::platform::lookupLocalHost();
    ASSERT_TRUE(host.has_value());
    char name[128] = {};
    ASSERT_EQ(gethostname(name, sizeof name), 0);
    const hostent* entry = gethostbyname(name);
    ASSERT_NE(entry, nullptr);
    ASSERT_NE(entry->h_addr_list[0], nullptr);
    // Every address, in the system's order.
    std::vector<std::string> expected;
    for (char* const* a = entry->h_addr_list; *a != nullptr; ++a) {
        in_addr address;
        memcpy(&address, *a, sizeof address);
        expected.emplace_back(inet_ntoa(address));
    }
    EXPECT_EQ(host->addresses, expected);
    EXPECT_EQ(host->officialName, entry->h_name);
    // Inside the test's network namespace only loopback is up.
    const auto octets = vhb::splitOctets(host->addresses.front());
    if (octets[0] == 127) {
        EXPECT_EQ(host->addresses.front(), "127.0.0.1");
    }
}

TEST(WinLocalHost, MissingSocketsLibraryIsNamed) {
    RenamedFunction renamed(vhb::platform::GetHostNameFunction, "vhb_no_such_ws.dll",
                            "gethostname");
    try {
        vhb::platform::lookupLocalHost();
        FAIL() << "no error raised";
    } catch (const vhb::EJwaLoadLibraryError& e) {
        EXPECT_STREQ(e.what(), "Library not found: vhb_no_such_ws.dll");
    }
}

TEST(WinLocalHost, MissingFunctionIsNamed) {
    RenamedFunction renamed(vhb::platform::GetHostByNameFunction, "ws2_32.dll",
                            "vhb_no_such_lookup");
    try {
        vhb::platform::lookupLocalHost();
        FAIL() << "no error raised";
    } catch (const vhb::EJwaGetProcAddressError& e) {
        EXPECT_STREQ(e.what(), "Function not found: ws2_32.dll.vhb_no_such_lookup");
    }
}

}  // namespace
