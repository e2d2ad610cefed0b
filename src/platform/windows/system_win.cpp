#include <windows.h>

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

// The system's own loop is the only one.
void chooseEventLoop() {}

bool desktopFileDialog() {
    return true;
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

// Through UTF-16 into the ANSI code page, which every text the program
// shows is in.
std::string systemTextFromUtf8(std::string_view utf8) {
    if (utf8.empty())
        return {};
    const int size = static_cast<int>(utf8.size());
    const int wn = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    if (wn <= 0)
        return std::string(utf8);
    std::wstring wide(static_cast<size_t>(wn), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), wn);
    const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), wn, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return std::string(utf8);
    std::string text(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), wn, text.data(), n, nullptr, nullptr);
    return text;
}

}  // namespace vhb::platform
