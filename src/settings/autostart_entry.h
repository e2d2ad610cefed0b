#pragma once
// The content of the entry that starts the program at the user's logon where
// the system reads desktop entries (an autostart folder) instead of shell
// links. Text is bytes in the system's 8-bit encoding, which such systems
// keep as UTF-8.
#include <string>
#include <string_view>

namespace vhb {

// The folder of a program file with its trailing separator: the path up to
// and including its last character from `separators` (for example "\\:" or
// "/"); empty when there is none. This is the working directory the
// program is started in.
std::string programFolder(std::string_view exePath, std::string_view separators);

// A desktop entry that starts `exePath` with no arguments in `folder`, named
// `appName`. Raises vhb::Exception where a text cannot be written into an
// entry: invalid UTF-8, or a control character other than tab, line feed and
// carriage return.
std::string desktopEntryText(std::string_view exePath, std::string_view appName,
                             std::string_view folder);

}  // namespace vhb
