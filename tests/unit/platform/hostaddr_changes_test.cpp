// The local address search reads the interfaces again only after the kernel
// reports a change: interfaces that come, go up or go down are seen at the
// next look-up. The test program first moves into network and host-name
// namespaces of its own, so the interfaces it makes and changes are nowhere
// else; it is a program of its own so that no earlier look-up of the
// machine's namespace is remembered.
#include <sched.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/hostaddr.h"

namespace {

bool Shell(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

bool Lists(const std::optional<vhb::platform::LocalHost>& host, const std::string& address) {
    return host && std::find(host->addresses.begin(), host->addresses.end(), address) !=
                       host->addresses.end();
}

TEST(LocalHostChanges, InterfacesThatComeAndGoAreSeenAtTheNextLookUp) {
    // "localhost" resolves through /etc/hosts everywhere.
    if (unshare(CLONE_NEWNET | CLONE_NEWUTS) != 0 || sethostname("localhost", 9) != 0 ||
        !Shell("ip link set lo up") || !Shell("ip link add vhbt0 type veth peer name vhbt1")) {
        GTEST_SKIP() << "no namespaces of its own, or no veth interfaces here";
    }
    struct Step {
        const char* command;
        bool listed;  // 10.77.0.5 among the addresses afterwards
    };
    const Step steps[] = {
        {"true", false},
        {"ip addr add 10.77.0.5/24 dev vhbt0", false},  // still down
        {"ip link set vhbt0 up && ip link set vhbt1 up", true},
        {"ip link set vhbt0 down", false},
        {"ip link set vhbt0 up", true},
        {"ip link del vhbt0", false},
    };
    for (const Step& step : steps) {
        ASSERT_TRUE(Shell(step.command)) << step.command;
        const auto host = vhb::platform::lookupLocalHost();
        ASSERT_TRUE(host.has_value()) << step.command;
        EXPECT_EQ(Lists(host, "10.77.0.5"), step.listed) << step.command;
        if (step.listed) {
            EXPECT_EQ(host->addresses.front(), "10.77.0.5") << "the only interface up";
        }
    }

    // With an interface up, a name that resolves nowhere changes nothing:
    // the name is not looked up, and it stands as the official name.
    const std::string unresolved = "vhb-unresolved.invalid";
    ASSERT_TRUE(
        Shell("ip link add vhbt2 type veth peer name vhbt3 && "
              "ip addr add 10.77.0.6/24 dev vhbt2 && ip link set vhbt2 up && "
              "ip link set vhbt3 up"));
    ASSERT_EQ(sethostname(unresolved.c_str(), unresolved.size()), 0);
    const auto host = vhb::platform::lookupLocalHost();
    ASSERT_TRUE(host.has_value());
    EXPECT_EQ(host->officialName, unresolved);
    EXPECT_EQ(host->addresses, std::vector<std::string>{"10.77.0.6"});
}

}  // namespace
