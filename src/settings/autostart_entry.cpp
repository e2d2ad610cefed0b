#include "settings/autostart_entry.h"

#include <cstdint>

#include "common/exception.h"

namespace vhb {

namespace {

// Characters that make an argument of the command line need quotes.
constexpr std::string_view kReservedInExec = " \t\n\"'\\><~|&;$*?#()`";
// Characters that keep their meaning inside quotes and take a backslash.
constexpr std::string_view kEscapedInQuotes = "\"`$\\";

// A launcher reads the entry as UTF-8: a byte sequence it cannot decode
// would make it drop the whole file.
bool isValidUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        size_t more = 0;
        uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + more >= s.size())
            return false;
        for (size_t k = 1; k <= more; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        // Overlong forms, surrogates and code points past U+10FFFF.
        if ((more == 2 && cp < 0x800) || (more == 3 && cp < 0x10000) || cp > 0x10FFFF ||
            (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += more + 1;
    }
    return true;
}

// A value as the entry's string rules want it: backslash and the three
// control characters written as escapes, and a space at either end as \s,
// since a reader trims blanks around the value.
std::string escapeValue(std::string_view s, std::string_view what) {
    if (!isValidUtf8(s))
        throw Exception(std::string(what) + " is not valid UTF-8");
    std::string out;
    out.reserve(s.size() + 8);
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            case ' ':
                out += (i == 0 || i + 1 == s.size()) ? "\\s" : " ";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                    throw Exception(std::string(what) + " holds a control character");
                }
                out += c;
        }
    }
    return out;
}

// The program as the one argument of the command line: quoted when it holds
// a reserved character, and every % doubled so that it is no field code.
std::string execArgument(std::string_view exePath) {
    std::string arg;
    if (exePath.find_first_of(kReservedInExec) == std::string_view::npos) {
        arg = exePath;
    } else {
        arg = '"';
        for (const char c : exePath) {
            if (kEscapedInQuotes.find(c) != std::string_view::npos)
                arg += '\\';
            arg += c;
        }
        arg += '"';
    }
    std::string out;
    for (const char c : arg) {
        out += c;
        if (c == '%')
            out += '%';
    }
    return out;
}

}  // namespace

std::string programFolder(std::string_view exePath, std::string_view separators) {
    const size_t last = exePath.find_last_of(separators);
    if (last == std::string_view::npos)
        return {};
    return std::string(exePath.substr(0, last + 1));
}

std::string desktopEntryText(std::string_view exePath, std::string_view appName,
                             std::string_view folder) {
    std::string text = "[Desktop Entry]\nType=Application\n";
    text += "Name=" + escapeValue(appName, "The name") + '\n';
    text += "Exec=" + escapeValue(execArgument(exePath), "The program path") + '\n';
    // Without a folder the launcher's own working directory is the best
    // there is; an empty Path key would be no better.
    if (!folder.empty())
        text += "Path=" + escapeValue(folder, "The folder") + '\n';
    return text;
}

}  // namespace vhb
