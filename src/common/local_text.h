#pragma once
// Settings texts are bytes of the system's 8-bit encoding (in the settings
// file and in the datagram); the controls show them as text. The mapping is
// lossless: a byte that is no character of that encoding (an 8-bit file read
// under a UTF-8 system, a character cut by the 7-byte send code) is shown as
// a stand-in of its own, U+DC80 to U+DCFF, and becomes the same byte again.
// So a value nobody edits goes back to the file and onto the wire unchanged.
#include <QString>
#include <filesystem>
#include <string>
#include <string_view>

namespace vhb {

QString textFromLocal8(std::string_view bytes);
// Typed text in the system's 8-bit encoding; a character that has no place
// there (or a replacement character) is written as "?".
std::string local8FromText(const QString& text);
// A file's path as the system's file calls take it (UTF-16 on Windows): no
// character of a folder name is lost on the way.
std::filesystem::path filePathFromText(const QString& path);

}  // namespace vhb
