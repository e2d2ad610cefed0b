#pragma once
// Small facts that differ between the operating systems.
#include <filesystem>
#include <string>
#include <string_view>

#include "common/timestamp.h"
#include "settings/ini_file.h"

namespace vhb::platform {

// Characters that end a folder name in a path.
std::string_view pathSeparators();
// Line end for lines added to a new settings file.
std::string_view nativeLineEnd();
// The open dialog's pattern for program files ("*.exe" where programs carry
// that extension).
std::string_view programFilePattern();
// Brings a file's or a folder's latest state onto the disk; false when that
// failed.
bool syncToDisk(const std::filesystem::path& path);
// What a save of the settings file needs of this system.
FileCalls fileCalls();
// Settles, before the application object is made, which event loop the
// toolkit runs.
void chooseEventLoop();
// Whether the open dialog may be the desktop's own.
bool desktopFileDialog();
// The local time now, for the status lines' stamps, read at every heartbeat
// without touching a file; a new time zone of the system shows within a
// minute.
LocalTime localTimeNow();
// Whether the user's date, time and number formats stay as they were at the
// start (read once from the environment) or can change while the program
// runs.
bool userFormatsFixed();
// A UTF-8 text in the system's 8-bit encoding; characters that it lacks
// become "?".
std::string systemTextFromUtf8(std::string_view utf8);

}  // namespace vhb::platform
