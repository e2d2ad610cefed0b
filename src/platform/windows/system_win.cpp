#include "platform/system.h"

#include <windows.h>

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

bool syncToDisk(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    // The file system journals a folder's entries itself; a folder cannot be
    // flushed without backup rights.
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return true;
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = FlushFileBuffers(file) != 0;
    CloseHandle(file);
    return ok;
}

}  // namespace vhb::platform
