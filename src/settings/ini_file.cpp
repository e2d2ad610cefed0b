#include "settings/ini_file.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>

#include "common/system_text.h"
#include "settings/ini_text.h"

namespace fs = std::filesystem;

namespace vhb {

namespace {

bool readAll(const fs::path& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

fs::path fullPath(const fs::path& path) {
    std::error_code ec;
    const fs::path p = fs::absolute(path, ec);
    return ec ? path : p;
}

// A file or folder that carries no write permission at all is treated as
// read-only even for a user whom the system would let write it.
bool markedReadOnly(const fs::path& p) {
    std::error_code ec;
    const fs::file_status st = fs::status(p, ec);
    if (ec || !fs::exists(st))
        return false;
    const auto write = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    return (st.permissions() & write) == fs::perms::none;
}

// The writer's own temporary files for this settings file: its name, ".tmp"
// and digits. A save that was killed before its rename leaves one behind.
// Compared in the system's own characters, so any file name works.
bool isOwnTempFile(const fs::path::string_type& name, const fs::path& target) {
    fs::path prefixPath = target;
    prefixPath += ".tmp";
    const fs::path::string_type& prefix = prefixPath.native();
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
        return false;
    for (size_t i = prefix.size(); i < name.size(); ++i)
        if (name[i] < '0' || name[i] > '9')
            return false;
    return true;
}

}  // namespace

void removeLeftoverTempFiles(const fs::path& path) {
    const fs::path full = fullPath(path);
    const fs::path target = full.filename();
    std::error_code ec;
    for (fs::directory_iterator it(full.parent_path(), ec), end; !ec && it != end;
         it.increment(ec)) {
        std::error_code rc;
        if (isOwnTempFile(it->path().filename().native(), target) && it->is_regular_file(rc))
            fs::remove(it->path(), rc);
    }
}

// The message is in the system's 8-bit encoding, as every text of the core.
IniWriteError::IniWriteError(const fs::path& path)
    : Exception(systemText(reinterpret_cast<const char*>(path.u8string().c_str())) +
                systemText(" に書き込めません")) {}

std::string iniReadString(const fs::path& path, std::string_view section, std::string_view key,
                          std::string_view def) {
    std::string bytes;
    if (!readAll(path, bytes))
        return std::string(def.substr(0, kIniValueLimit));
    return iniRead(bytes, section, key, def);
}

bool fileExists(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

void iniWriteString(const fs::path& path, std::string_view section, std::string_view key,
                    std::string_view value, std::string_view newLineEnd, const FileCalls& calls) {
    const fs::path full = fullPath(path);
    const fs::path& target = full;
    const fs::path folder = target.parent_path();
    const SyncToDisk sync = calls.sync;
    std::error_code ec;
    const bool exists = fs::exists(target, ec);
    if ((calls.folderMarkRefuses && markedReadOnly(folder)) || (exists && markedReadOnly(target)) ||
        !fs::is_directory(folder, ec))
        throw IniWriteError(full);

    std::string bytes;
    if (exists && !readAll(full, bytes))
        throw IniWriteError(full);
    const std::string updated = iniSet(bytes, section, key, value, newLineEnd);

    std::random_device rd;
    fs::path temp = target;
    temp += ".tmp" + std::to_string(rd() % 1000000u);
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (out) {
            out.write(updated.data(), std::streamsize(updated.size()));
            out.flush();
        }
        if (!out) {
            out.close();
            fs::remove(temp, ec);
            throw IniWriteError(full);
        }
        out.close();
        // The new content is on the disk before it takes the settings file's
        // name, so a power cut leaves the old file or the new one, never an
        // empty one.
        if (!out || (sync && !sync(temp))) {
            fs::remove(temp, ec);
            throw IniWriteError(full);
        }
    }
    // The replaced file keeps the permissions it had.
    if (exists)
        fs::permissions(temp, fs::status(target, ec).permissions(), ec);
    const bool replaced =
        calls.replace ? calls.replace(temp, target) : (fs::rename(temp, target, ec), !ec);
    if (!replaced) {
        fs::remove(temp, ec);
        throw IniWriteError(full);
    }
    // The rename itself lives in the folder's entries.
    if (sync)
        sync(folder);
}

}  // namespace vhb
