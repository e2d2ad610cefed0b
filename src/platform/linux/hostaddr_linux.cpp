#include "platform/linux/hostaddr_linux.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <net/route.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <mutex>
#include <sstream>
#include <vector>

#include "net/latebind.h"
#include "platform/host_functions.h"
#include "platform/hostaddr.h"

namespace vhb::platform {

// The C library stands where the Windows Sockets library stands on Windows.
BoundFunction InetNtoaFunction{nullptr, "libc.so.6", "inet_ntoa"};
BoundFunction GetHostByNameFunction{nullptr, "libc.so.6", "gethostbyname"};
BoundFunction GetHostNameFunction{nullptr, "libc.so.6", "gethostname"};

namespace {

// Binds the function at its first call, then hands the caller's arguments on
// as they are.
template <typename Fn, typename... Args>
auto callBound(BoundFunction& f, Args... args) {
    BindProcedure(f.slot, f.lib, f.fn);
    return reinterpret_cast<Fn*>(f.slot)(args...);
}

namespace bound {

char* inet_ntoa(in_addr in) {
    return callBound<char*(in_addr)>(InetNtoaFunction, in);
}

hostent* gethostbyname(const char* name) {
    return callBound<hostent*(const char*)>(GetHostByNameFunction, name);
}

int gethostname(char* name, size_t len) {
    return callBound<int(char*, size_t)>(GetHostNameFunction, name, len);
}

}  // namespace bound

unsigned long hexField(const std::string& text) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 16);
    return end != text.c_str() && *end == '\0' ? value : std::numeric_limits<unsigned long>::max();
}

std::string readRouteTable() {
    std::ifstream in("/proc/net/route");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The addresses of the interfaces that are up and not loopback, in the
// system's order with the default route's interface moved to the front, as
// Windows puts the adapter of its preferred route first; nullopt where the
// interfaces cannot be read.
std::optional<std::vector<in_addr>> readInterfaceAddresses() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return std::nullopt;
    struct Found {
        std::string name;
        in_addr address;
    };
    std::vector<Found> found;
    for (const ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
        if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET)
            continue;
        if ((i->ifa_flags & IFF_UP) == 0 || (i->ifa_flags & IFF_LOOPBACK) != 0)
            continue;
        in_addr address;
        std::memcpy(&address, &reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr,
                    sizeof address);
        found.push_back({i->ifa_name, address});
    }
    freeifaddrs(list);
    const std::string preferred = defaultRouteInterface(readRouteTable());
    std::stable_partition(found.begin(), found.end(), [&](const Found& f) {
        return !preferred.empty() && f.name == preferred;
    });
    std::vector<in_addr> addresses;
    for (const Found& f : found)
        addresses.push_back(f.address);
    return addresses;
}

// Whether the interfaces, their IPv4 addresses or the IPv4 routes may have
// changed since the last call: the kernel tells a netlink socket of every
// such change. Yes at the first call, after a lost notice, and always where
// no such socket can be had.
class NetworkChanges {
public:
    ~NetworkChanges() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool sinceLastCall() {
        if (fd_ < 0) {
            if (!unavailable_)
                subscribe();
            return true;
        }
        bool changed = false;
        std::array<char, 8192> notice;
        for (;;) {
            const ssize_t n = ::recv(fd_, notice.data(), notice.size(), 0);
            if (n >= 0 || errno == EINTR) {
                changed = changed || n >= 0;
                continue;
            }
            // ENOBUFS: notices were lost.
            return changed || errno != EWOULDBLOCK;
        }
    }

private:
    void subscribe() {
        fd_ = ::socket(AF_NETLINK, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_ROUTE);
        sockaddr_nl groups{};
        groups.nl_family = AF_NETLINK;
        groups.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV4_ROUTE;
        if (fd_ >= 0 &&
            ::bind(fd_, reinterpret_cast<const sockaddr*>(&groups), sizeof groups) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
        unavailable_ = fd_ < 0;
    }
    int fd_ = -1;
    bool unavailable_ = false;
};

// The interface addresses, read again only after a change: reading them is
// two netlink dumps and the route table, several times what the rest of a
// search costs, at every heartbeat while "MAC Address" is checked.
std::vector<in_addr> interfaceAddresses() {
    static std::mutex lock;
    static NetworkChanges changes;
    static std::optional<std::vector<in_addr>> known;
    const std::lock_guard<std::mutex> hold(lock);
    // Asked before reading, so that a change while reading is seen next time.
    if (changes.sinceLastCall() || !known)
        known = readInterfaceAddresses();
    return known.value_or(std::vector<in_addr>{});
}

}  // namespace

std::string defaultRouteInterface(std::string_view routeTable) {
    std::istringstream lines{std::string(routeTable)};
    std::string line;
    std::getline(lines, line);  // the column names
    std::string best;
    unsigned long bestMetric = std::numeric_limits<unsigned long>::max();
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string iface, destination, gateway, flags, refCount, use, metric, mask;
        if (!(fields >> iface >> destination >> gateway >> flags >> refCount >> use >> metric >>
              mask)) {
            continue;
        }
        if (hexField(destination) != 0 || hexField(mask) != 0 || (hexField(flags) & RTF_UP) == 0)
            continue;
        char* end = nullptr;
        const unsigned long m = std::strtoul(metric.c_str(), &end, 10);
        if (*end != '\0')
            continue;
        if (best.empty() || m < bestMetric) {
            best = iface;
            bestMetric = m;
        }
    }
    return best;
}

std::optional<LocalHost> lookupLocalHost() {
    std::array<char, 128> name{};
    if (bound::gethostname(name.data(), name.size()) != 0)
        return std::nullopt;
    // A name that fills the buffer need not end in a zero.
    name.back() = '\0';
    LocalHost host;
    std::vector<in_addr> addresses = interfaceAddresses();
    if (!addresses.empty()) {
        // The interfaces name the addresses, and Windows answers its own
        // name with its own name. Looking the name up would read the hosts
        // file at every heartbeat, or ask a name server and hold the
        // heartbeat while none answers. It is still bound, so that a missing
        // function is reported as before.
        BindProcedure(GetHostByNameFunction.slot, GetHostByNameFunction.lib,
                      GetHostByNameFunction.fn);
        host.officialName = name.data();
    } else {
        // With no interface up but loopback, the name's own addresses are
        // all there is to name.
        const hostent* entry = bound::gethostbyname(name.data());
        if (entry == nullptr || entry->h_addrtype != AF_INET ||
            entry->h_length != static_cast<int>(sizeof(in_addr)) || entry->h_addr_list == nullptr ||
            entry->h_addr_list[0] == nullptr) {
            return std::nullopt;
        }
        // Copied before the next call that may reuse the entry's storage.
        host.officialName = entry->h_name != nullptr ? entry->h_name : "";
        for (char* const* a = entry->h_addr_list; *a != nullptr; ++a) {
            in_addr address;
            std::memcpy(&address, *a, sizeof address);
            addresses.push_back(address);
        }
    }
    for (const in_addr& address : addresses) {
        const char* text = bound::inet_ntoa(address);
        if (text == nullptr)
            return std::nullopt;
        host.addresses.emplace_back(text);
    }
    return host;
}

}  // namespace vhb::platform
