#include "platform/hostaddr.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <string>

#include "net/latebind.h"
#include "platform/host_functions.h"

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

TEST_F(HostLookup, GivesTheOfficialNameAndADottedAddress) {
    // Inside the test's own network namespace the host's name may or may
    // not resolve; where it does, the address is dotted IPv4.
    const auto host = vhb::platform::lookupLocalHost();
    EXPECT_NE(vhb::platform::GetHostNameFunction.slot, nullptr);
    if (!host)
        GTEST_SKIP() << "the host's name does not resolve here";
    EXPECT_FALSE(host->officialName.empty());
    in_addr parsed;
    EXPECT_EQ(inet_pton(AF_INET, host->address.c_str(), &parsed), 1) << host->address;
    EXPECT_NE(vhb::platform::InetNtoaFunction.slot, nullptr);
}

}  // namespace
