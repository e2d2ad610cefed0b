#include "settings/ini_text.h"

#include <vector>

namespace vhb {

namespace {

struct Line {
    size_t begin;   // offset of the line's first byte
    size_t length;  // without the line end
    size_t endLength;
};

std::vector<Line> splitLines(std::string_view s) {
    std::vector<Line> lines;
    size_t begin = 0;
    while (begin < s.size()) {
        size_t i = begin;
        while (i < s.size() && s[i] != '\r' && s[i] != '\n')
            ++i;
        size_t endLength = 0;
        if (i < s.size())
            endLength = (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ? 2 : 1;
        lines.push_back({begin, i - begin, endLength});
        begin = i + endLength;
    }
    return lines;
}

std::string_view trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

// What one line is: a section header (with its name), an entry (with key and
// value), or anything else (comment, blank, stray text).
struct Parsed {
    enum Kind { Other, Section, Entry } kind = Other;
    std::string_view name;
    std::string_view value;
};

Parsed parse(std::string_view text) {
    const std::string_view t = trim(text);
    if (t.empty() || t.front() == ';')
        return {};
    if (t.front() == '[') {
        // As the system's profile functions do, a line without "]" is no
        // section header at all.
        const size_t close = t.find(']');
        if (close == std::string_view::npos)
            return {};
        return {Parsed::Section, trim(t.substr(1, close - 1)), {}};
    }
    const size_t eq = t.find('=');
    if (eq == std::string_view::npos)
        return {};
    return {Parsed::Entry, trim(t.substr(0, eq)), trim(t.substr(eq + 1))};
}

struct Located {
    long sectionLine = -1;  // index of the section header
    long lastContent = -1;  // last non-blank line of the section
    long keyLine = -1;
};

Located locate(std::string_view s, const std::vector<Line>& lines, std::string_view section,
               std::string_view key) {
    Located at;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string_view text = s.substr(lines[i].begin, lines[i].length);
        const Parsed p = parse(text);
        if (p.kind == Parsed::Section) {
            if (at.sectionLine >= 0)
                break;  // the first section of that name counts
            if (sameName(p.name, section))
                at.sectionLine = at.lastContent = long(i);
            continue;
        }
        if (at.sectionLine < 0)
            continue;
        if (!trim(text).empty())
            at.lastContent = long(i);
        if (p.kind == Parsed::Entry && at.keyLine < 0 && sameName(p.name, key))
            at.keyLine = long(i);
    }
    return at;
}

// A UTF-8 byte-order mark (as some editors save) is no part of the first
// line: it is skipped when reading and kept when writing.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view withoutMark(std::string_view fileBytes) {
    if (fileBytes.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        fileBytes.remove_prefix(kByteOrderMark.size());
    return fileBytes;
}

}  // namespace

std::optional<std::string> iniFind(std::string_view fileBytes, std::string_view section,
                                   std::string_view key) {
    fileBytes = withoutMark(fileBytes);
    const std::vector<Line> lines = splitLines(fileBytes);
    const Located at = locate(fileBytes, lines, section, key);
    if (at.keyLine < 0)
        return std::nullopt;
    const Line& l = lines[size_t(at.keyLine)];
    std::string_view value = parse(fileBytes.substr(l.begin, l.length)).value;
    // A value wholly in quotes, double or single, is read without them.
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value.substr(0, kIniValueLimit));
}

std::string iniRead(std::string_view fileBytes, std::string_view section, std::string_view key,
                    std::string_view def) {
    if (auto v = iniFind(fileBytes, section, key))
        return *v;
    return std::string(def.substr(0, kIniValueLimit));
}

std::string iniSet(std::string_view fileBytes, std::string_view section, std::string_view key,
                   std::string_view value, std::string_view newLineEnd) {
    // A line break inside the value would end the line early and add a line
    // at every save.
    value = value.substr(0, value.find_first_of("\r\n"));
    const std::string_view mark =
        fileBytes.substr(0, fileBytes.size() - withoutMark(fileBytes).size());
    fileBytes.remove_prefix(mark.size());
    const std::vector<Line> lines = splitLines(fileBytes);
    std::string_view lineEnd = newLineEnd;
    for (const Line& l : lines) {
        if (l.endLength) {
            lineEnd = fileBytes.substr(l.begin + l.length, l.endLength);
            break;
        }
    }
    const std::string entry = std::string(key) + "=" + std::string(value);
    const Located at = locate(fileBytes, lines, section, key);
    std::string out(mark);
    out.reserve(mark.size() + fileBytes.size() + entry.size() + section.size() + 8);

    if (at.keyLine >= 0) {
        const Line& l = lines[size_t(at.keyLine)];
        out.append(fileBytes.substr(0, l.begin));
        out.append(entry);
        out.append(fileBytes.substr(l.begin + l.length));
        return out;
    }
    if (at.sectionLine >= 0) {
        const Line& l = lines[size_t(at.lastContent)];
        const size_t after = l.begin + l.length + l.endLength;
        out.append(fileBytes.substr(0, after));
        if (!l.endLength)
            out.append(lineEnd);
        out.append(entry).append(lineEnd);
        out.append(fileBytes.substr(after));
        return out;
    }
    out.append(fileBytes);
    if (!fileBytes.empty() && out.back() != '\n' && out.back() != '\r')
        out.append(lineEnd);
    out.append("[").append(section).append("]").append(lineEnd);
    out.append(entry).append(lineEnd);
    return out;
}

}  // namespace vhb
