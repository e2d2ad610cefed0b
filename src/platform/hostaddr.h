#pragma once
// The local host's name and its IPv4 addresses, through the host functions
// that are bound at their first call.
#include <optional>
#include <string>
#include <vector>

namespace vhb::platform {

struct LocalHost {
    std::string officialName;            // the host entry's official name
    std::vector<std::string> addresses;  // dotted decimal, preferred first; never empty
};

// The addresses as Windows lists them for the host's own name: its adapters'
// addresses, the preferred one first. On Linux these are the addresses of the
// interfaces that are up and not loopback, the default route's interface
// first, with the host's name as the official name; only where there is
// none, the name's look-up (which a stock /etc/hosts answers with
// 127.0.1.1). nullopt where the name cannot be queried or looked up, or no
// IPv4 address is found. Raises the late-binding errors where a function
// cannot be bound.
std::optional<LocalHost> lookupLocalHost();

}  // namespace vhb::platform
