#include "platform/system.h"

#include <fcntl.h>
#include <unistd.h>

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

bool syncToDisk(const std::string& path) {
    // A folder opened read-only can be synced too: that is what makes a
    // rename inside it durable.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

}  // namespace vhb::platform
