#include "net/local_octets.h"

#include <string>

#include "common/number.h"

namespace vhb {

std::array<int32_t, 4> LocalOctets{};

std::array<int32_t, 4> splitOctets(std::string_view text) {
    // The appended full stops make every one of the four steps find one,
    // also when the text has fewer than four parts.
    std::string work(text);
    work += ".....";
    std::string_view rest = work;
    std::array<int32_t, 4> octets{};
    for (int32_t& octet : octets) {
        const size_t dot = rest.find('.');
        octet = readNumber(rest.substr(0, dot), 0);
        rest.remove_prefix(dot + 1);
    }
    return octets;
}

}  // namespace vhb
