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

LocalTime localTimeNow() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

// The user can change the formats in the control panel at any time, and Qt
// reads them from the system at each use.
bool userFormatsFixed() {
    return false;
}

// The system's own loop is the only one.
void chooseEventLoop() {}

bool desktopFileDialog() {
    return true;
}

bool syncToDisk(const std::filesystem::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    // The file system journals a folder's entries itself; a folder cannot be
    // flushed without backup rights.
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return true;
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = FlushFileBuffers(file) != 0;
    CloseHandle(file);
    return ok;
}

namespace {

// Virus scanners, the search indexer and file-sync clients open a file for a
// moment; the replace is tried again for up to a second before it counts as
// refused.
bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    constexpr DWORD kWaitMs = 50;
    constexpr int kTries = 20;
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExW(from.c_str(), to.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        const DWORD error = GetLastError();
        const bool briefly = error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
                             error == ERROR_LOCK_VIOLATION;
        if (!briefly || attempt == kTries)
            return false;
        Sleep(kWaitMs);
    }
}

}  // namespace

// A folder's read-only mark only gives it a look of its own (Desktop,
// Documents, a folder with an icon): the system writes into it all the same.
FileCalls fileCalls() {
    FileCalls calls(syncToDisk);
    calls.replace = replaceFile;
    calls.folderMarkRefuses = false;
    return calls;
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
