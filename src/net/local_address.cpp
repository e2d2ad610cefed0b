#include "net/local_address.h"

#include <cstdint>
#include <optional>

#include "net/dotted_address.h"

namespace vhb {

namespace {

// The first three octets: what the request's broadcast address keeps.
std::optional<uint32_t> subnetOf(std::string_view dotted) {
    const std::optional<uint32_t> address = ParseDottedAddress(dotted);
    if (!address)
        return std::nullopt;
    return *address >> 8;
}

}  // namespace

std::size_t chooseLocalAddress(const std::vector<std::string>& local,
                               std::string_view destination) {
    // Read as the heartbeat's endpoint reads it, so that a text it looks up
    // as a name never moves the search.
    const std::optional<uint32_t> device = subnetOf(destination);
    if (!device || local.empty() || subnetOf(local.front()) == device)
        return 0;
    for (std::size_t i = 1; i < local.size(); ++i) {
        if (subnetOf(local[i]) == device)
            return i;
    }
    return 0;
}

}  // namespace vhb
