#include "platform/system.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>

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

LocalTime localTimeNow() {
    // localtime() checks /etc/localtime at every call; localtime_r does not,
    // so the zone is checked here once a minute.
    static std::time_t zoneCheckedAt = 0;
    const std::time_t now = std::time(nullptr);
    if (now - zoneCheckedAt >= 60 || now < zoneCheckedAt) {
        ::tzset();
        zoneCheckedAt = now;
    }
    std::tm tm{};
    ::localtime_r(&now, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

// Qt takes the system's locale from the environment once.
bool userFormatsFixed() {
    return true;
}

// The glib loop wakes itself once more for every socket opened or closed, and
// each heartbeat opens two; Qt's own loop does not. An operator's own setting
// of the variable, even an empty one (glib), is kept.
void chooseEventLoop() {
    ::setenv("QT_NO_GLIB", "1", 0);
}

// GTK's dialog answers only while the glib loop runs.
bool desktopFileDialog() {
    const char* noGlib = std::getenv("QT_NO_GLIB");
    return noGlib == nullptr || *noGlib == '\0';
}

bool syncToDisk(const std::filesystem::path& path) {
    // A folder opened read-only can be synced too: that is what makes a
    // rename inside it durable.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// rename() replaces in one step; every folder mark counts.
FileCalls fileCalls() {
    return FileCalls(syncToDisk);
}

}  // namespace vhb::platform
