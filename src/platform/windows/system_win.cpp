#include "platform/system.h"

namespace vhb::platform {

std::string_view pathSeparators() {
    return "\\:";
}
std::string_view nativeLineEnd() {
    return "\r\n";
}
std::string_view programFilePattern() {
    return "*.exe";
}

}  // namespace vhb::platform
