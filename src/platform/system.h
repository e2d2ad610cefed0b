#pragma once
// Small facts that differ between the operating systems.
#include <filesystem>
#include <string>
#include <string_view>

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
// A UTF-8 text in the system's 8-bit encoding; characters that it lacks
// become "?".
std::string systemTextFromUtf8(std::string_view utf8);

}  // namespace vhb::platform
