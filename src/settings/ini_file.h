#pragma once
// The INI layer over a file in the system's 8-bit encoding. Reads never
// fail; every write replaces the file as a whole, so a crash or a full disk
// never leaves a half-written settings file.
#include <filesystem>
#include <string>
#include <string_view>

#include "common/exception.h"

namespace vhb {

// "<full path> に書き込めません": the settings file could not be written; the
// file is as it was.
class IniWriteError : public Exception {
public:
    explicit IniWriteError(const std::filesystem::path& fullPath);
};

// Brings a file's (or a folder's) latest state onto the disk, so that a power
// cut cannot undo it; false when that failed.
using SyncToDisk = bool (*)(const std::filesystem::path& path);

// What a save needs of the system, supplied by the platform. Paths are the
// system's own (UTF-16 on Windows), so any folder name works.
struct FileCalls {
    SyncToDisk sync = nullptr;
    // Puts `from` in the place of `to` in one step; false when refused.
    // Null: std::filesystem::rename.
    bool (*replace)(const std::filesystem::path& from, const std::filesystem::path& to) = nullptr;
    // Whether a folder without any write mark refuses the files in it (on
    // Windows a read-only folder only has a look of its own).
    bool folderMarkRefuses = true;

    FileCalls() = default;
    FileCalls(SyncToDisk s) : sync(s) {}  // NOLINT: a sync alone is the usual case
};

std::string iniReadString(const std::filesystem::path& path, std::string_view section,
                          std::string_view key, std::string_view def);
void iniWriteString(const std::filesystem::path& path, std::string_view section,
                    std::string_view key, std::string_view value,
                    std::string_view newLineEnd = "\n", const FileCalls& calls = {});
bool fileExists(const std::filesystem::path& path);
// Removes what writes to this file that were killed before their rename
// left beside it: its name, ".tmp" and digits. Other files stay. A save of
// the settings clears them once, before its first key, not at every key.
void removeLeftoverTempFiles(const std::filesystem::path& path);

}  // namespace vhb
