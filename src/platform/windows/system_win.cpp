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
