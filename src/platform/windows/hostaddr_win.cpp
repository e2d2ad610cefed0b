#include <winsock2.h>

#include <array>
#include <cstring>

#include "net/latebind.h"
#include "platform/host_functions.h"
#include "platform/hostaddr.h"

namespace vhb::platform {

BoundFunction InetNtoaFunction{nullptr, "ws2_32.dll", "inet_ntoa"};
BoundFunction GetHostByNameFunction{nullptr, "ws2_32.dll", "gethostbyname"};
BoundFunction GetHostNameFunction{nullptr, "ws2_32.dll", "gethostname"};

namespace {

using InetNtoaFn = char*(WSAAPI*)(in_addr);
using GetHostByNameFn = hostent*(WSAAPI*)(const char*);
using GetHostNameFn = int(WSAAPI*)(char*, int);

// Binds the function at its first call, then hands the caller's arguments on
// as they are, with the system function's own calling convention.
template <typename Fn, typename... Args>
auto callBound(BoundFunction& f, Args... args) {
    BindProcedure(f.slot, f.lib, f.fn);
    return reinterpret_cast<Fn>(f.slot)(args...);
}

namespace bound {

char* inet_ntoa(in_addr in) {
    return callBound<InetNtoaFn>(InetNtoaFunction, in);
}

hostent* gethostbyname(const char* name) {
    return callBound<GetHostByNameFn>(GetHostByNameFunction, name);
}

int gethostname(char* name, int len) {
    return callBound<GetHostNameFn>(GetHostNameFunction, name, len);
}

}  // namespace bound

// The host functions need the sockets layer started once in the process;
// the count it keeps is never given back, like the library itself.
void startSockets() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(0x0101, &data) == 0;
    }();
    (void)started;
}

}  // namespace

std::optional<LocalHost> lookupLocalHost() {
    startSockets();
    std::array<char, 128> name{};
    if (bound::gethostname(name.data(), static_cast<int>(name.size())) != 0)
        return std::nullopt;
    name.back() = '\0';
    const hostent* entry = bound::gethostbyname(name.data());
    if (entry == nullptr || entry->h_addrtype != AF_INET ||
        entry->h_length != static_cast<short>(sizeof(in_addr)) || entry->h_addr_list == nullptr ||
        entry->h_addr_list[0] == nullptr) {
        return std::nullopt;
    }
    LocalHost host;
    // Copied before the next call that may reuse the entry's storage.
    host.officialName = entry->h_name != nullptr ? entry->h_name : "";
    // For its own name the system lists its adapters' addresses, the
    // preferred one first; all of them are kept, so that the search can
    // pass over a virtual adapter that cannot reach the device.
    for (char* const* listed = entry->h_addr_list; *listed != nullptr; ++listed) {
        in_addr address;
        std::memcpy(&address, *listed, sizeof address);
        const char* text = bound::inet_ntoa(address);
        if (text == nullptr)
            return std::nullopt;
        host.addresses.emplace_back(text);
    }
    return host;
}

}  // namespace vhb::platform
