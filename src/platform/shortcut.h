#pragma once
// The entry that starts the program at the current user's logon, one
// implementation per OS: a shell link in the Startup folder where the system
// has one, a desktop entry in the user's autostart folder otherwise.
#include <filesystem>
#include <string>

namespace vhb::platform {

// The shell folder number of the current user's Startup folder.
inline constexpr int kStartupFolder = 7;

// Puts an entry named `linkName` that starts `exePath` (full path, working
// directory its folder) into the special folder `folder`, replacing one of
// that name. `linkName` is in the system's 8-bit encoding; `exePath` is the
// system's own path, so any folder name works. Shows nothing, on success or when the folder cannot
// be found or written. Raises vhb::Exception where the system's shell-link object cannot be created
// or lacks an interface it needs.
void CreateShortcut(const std::filesystem::path& exePath, const std::string& linkName, int folder);

// The component-object runtime on the calling thread, apartment-threaded,
// for the life of this object: the shell link is made through it, and the
// toolkit's own start-up does not set it up on every platform plugin.
// Nothing to start where the entry is a desktop file.
class ComponentRuntime {
public:
    ComponentRuntime();
    ~ComponentRuntime();
    ComponentRuntime(const ComponentRuntime&) = delete;
    ComponentRuntime& operator=(const ComponentRuntime&) = delete;

private:
    bool started_ = false;
};

}  // namespace vhb::platform
