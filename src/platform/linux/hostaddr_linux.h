#pragma once
// The pieces of the Linux host look-up that read the system's tables.
#include <string>
#include <string_view>

namespace vhb::platform {

// The interface of the default route in the text of /proc/net/route: of the
// routes that are up with destination and mask 0, the one of the lowest
// metric (the kernel's own choice); empty when there is none.
std::string defaultRouteInterface(std::string_view routeTable);

}  // namespace vhb::platform
