#include "platform/system.h"

namespace vhb::platform {

std::string_view pathSeparators() {
    return "/";
}
std::string_view nativeLineEnd() {
    return "\n";
}
// Linux programs carry no extension, so every file may be chosen.
std::string_view programFilePattern() {
    return "*";
}

}  // namespace vhb::platform
