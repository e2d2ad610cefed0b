#pragma once
// Path rules over plain text: the separators that end a folder name are
// given by the caller ("/" on Linux, "\" and ":" on Windows).
#include <string>
#include <string_view>

namespace vhb {

// The settings file of a program file: its extension (the text from the
// last "." after the last separator) replaced by ".Ini", or ".Ini" appended
// where the file name has no ".".
std::string settingsPathFor(std::string_view exePath, std::string_view separators);
// The text after the last separator.
std::string fileNamePart(std::string_view path, std::string_view separators);
// The path up to and including its last separator.
std::string folderPart(std::string_view path, std::string_view separators);
// What "Open" puts into the instance box: the chosen file's name without its
// extension, then "#0".
std::string openDialogInstance(std::string_view chosenPath, std::string_view separators);

}  // namespace vhb
