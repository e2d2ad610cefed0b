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
// The 8-bit encoding of the program's locale is UTF-8.
std::string systemTextFromUtf8(std::string_view utf8) {
    return std::string(utf8);
}

}  // namespace vhb::platform
