#pragma once
// Which of the workstation's IPv4 addresses the device search names in its
// request and broadcasts on.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vhb {

// The index of the address to use among `local` (dotted texts in the
// system's order, preferred first), given the destination box's text.
// The first address, unless the destination is a dotted address whose first
// three octets differ from the first address's while a later address shares
// them: then the first such later one, since a broadcast on the first one's
// subnet (a virtual adapter's, say) can never reach the device. A destination
// given by name, or an empty list, gives 0.
std::size_t chooseLocalAddress(const std::vector<std::string>& local, std::string_view destination);

}  // namespace vhb
