#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <array>
#include <cstring>

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

}  // namespace

std::optional<LocalHost> lookupLocalHost() {
    std::array<char, 128> name{};
    if (bound::gethostname(name.data(), name.size()) != 0)
        return std::nullopt;
    // A name that fills the buffer need not end in a zero.
    name.back() = '\0';
    const hostent* entry = bound::gethostbyname(name.data());
    if (entry == nullptr || entry->h_addrtype != AF_INET ||
        entry->h_length != static_cast<int>(sizeof(in_addr)) || entry->h_addr_list == nullptr ||
        entry->h_addr_list[0] == nullptr) {
        return std::nullopt;
    }
    LocalHost host;
    // Copied before the next call that may reuse the entry's storage.
    host.officialName = entry->h_name != nullptr ? entry->h_name : "";
    in_addr first;
    std::memcpy(&first, entry->h_addr_list[0], sizeof first);
    const char* text = bound::inet_ntoa(first);
    if (text == nullptr)
        return std::nullopt;
    host.address = text;
    return host;
}

}  // namespace vhb::platform
