// The startup entry as a desktop entry in the user's autostart folder, which
// the desktop session reads at logon.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/exception.h"
#include "platform/shortcut.h"
#include "settings/autostart_entry.h"

namespace vhb::platform {

namespace {

// $XDG_CONFIG_HOME/autostart, or ~/.config/autostart where that is unset,
// empty or relative (a relative one is to be ignored); empty without a home.
std::string autostartFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/')
        return std::string(config) + "/autostart";
    const char* home = std::getenv("HOME");
    if (!home || home[0] == '\0')
        return {};
    return std::string(home) + "/.config/autostart";
}

// Creates the folder and the missing folders above it, private to the user
// as the configuration folders are meant to be.
bool makeFolders(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    const size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !makeFolders(path.substr(0, slash))) {
        return false;
    }
    return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// A reader at logon sees the old entry or the new one, never a part: the
// text goes to a hidden temporary file beside it (no .desktop ending, so a
// leftover is never started) and is renamed over it once it is on disk.
void replaceFile(const std::string& folder, const std::string& name, const std::string& text) {
    std::string temp = folder + "/." + name + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return;
    bool ok = ::fchmod(fd, 0644) == 0 && writeAll(fd, text) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (!ok || ::rename(temp.c_str(), (folder + '/' + name).c_str()) != 0) {
        ::unlink(temp.c_str());
        return;
    }
    // The rename itself lasts only once the folder is on disk too.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

}  // namespace

void CreateShortcut(const std::filesystem::path& exe, const std::string& linkName, int folder) {
    const std::string& exePath = exe.native();
    if (folder != kStartupFolder)
        return;
    // The entry's file name is the link name: it must stay inside the folder.
    if (linkName.empty() || linkName == "." || linkName == ".." ||
        linkName.find('/') != std::string::npos || linkName.find('\0') != std::string::npos) {
        return;
    }
    const std::string target = autostartFolder();
    if (target.empty())
        return;

    std::string text;
    try {
        text = desktopEntryText(exePath, linkName, programFolder(exePath, "/"));
    } catch (const Exception&) {
        return;  // a path no entry can hold: nothing is made, as for a folder
    }
    if (!makeFolders(target))
        return;
    replaceFile(target, linkName + ".desktop", text);
}

ComponentRuntime::ComponentRuntime() = default;
ComponentRuntime::~ComponentRuntime() = default;

}  // namespace vhb::platform
