#pragma once
// The INI layer over a file in the system's 8-bit encoding. Reads never
// fail; every write replaces the file as a whole, so a crash or a full disk
// never leaves a half-written settings file.
#include <string>
#include <string_view>

#include "common/exception.h"

namespace vhb {

// "<full path> に書き込めません": the settings file could not be written; the
// file is as it was.
class IniWriteError : public Exception {
public:
    explicit IniWriteError(const std::string& fullPath);
};

// Brings a file's (or a folder's) latest state onto the disk, so that a power
// cut cannot undo it; false when that failed. Supplied by the platform.
using SyncToDisk = bool (*)(const std::string& path);

std::string iniReadString(const std::string& path, std::string_view section, std::string_view key,
                          std::string_view def);
void iniWriteString(const std::string& path, std::string_view section, std::string_view key,
                    std::string_view value, std::string_view newLineEnd = "\n",
                    SyncToDisk sync = nullptr);
bool fileExists(const std::string& path);

}  // namespace vhb
