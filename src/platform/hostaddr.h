#pragma once
// The local host's name and its first IPv4 address, through the host
// functions that are bound at their first call.
#include <optional>
#include <string>

namespace vhb::platform {

struct LocalHost {
    std::string officialName;  // the host entry's official name
    std::string address;       // first IPv4 address, dotted decimal
};

// nullopt where the name cannot be queried or looked up, or the look-up gives
// no IPv4 address. Raises the late-binding errors where a function cannot be
// bound.
std::optional<LocalHost> lookupLocalHost();

}  // namespace vhb::platform
