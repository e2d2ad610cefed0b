#pragma once
// The INI format over the bytes of a file: section lines "[NAME]", entry
// lines "KEY=value", comment lines starting with ";". Names match without
// regard to case; blanks around names and values do not count.
#include <optional>
#include <string>
#include <string_view>

namespace vhb {

// The longest value a read gives back.
constexpr size_t kIniValueLimit = 2047;

// The value of `key` in the first section named `section`, without
// surrounding blanks and double quotes and cut to kIniValueLimit; nullopt
// where the section or the key is missing.
std::optional<std::string> iniFind(std::string_view fileBytes, std::string_view section,
                                   std::string_view key);
std::string iniRead(std::string_view fileBytes, std::string_view section, std::string_view key,
                    std::string_view def);

// The file's bytes with `key` set to `value`: only that key's line changes
// (or one line is added, with its section where that is missing); every other
// byte stays. The value ends at its first line break. Added lines end like the
// file's first line, or with `newLineEnd` in a file that has no line end yet.
std::string iniSet(std::string_view fileBytes, std::string_view section, std::string_view key,
                   std::string_view value, std::string_view newLineEnd);

}  // namespace vhb
