// The autostart entry: the command line a launcher reads back must be the
// program's path, whatever characters the path holds.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "common/exception.h"
#include "settings/autostart_entry.h"

namespace {

std::map<std::string, std::string> keysOf(const std::string& text) {
    std::map<std::string, std::string> keys;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos)
            keys[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return keys;
}

// A launcher's reading of a string value: the escapes \s \n \t \r \\.
std::string unescapeValue(const std::string& v) {
    std::string out;
    for (size_t i = 0; i < v.size(); ++i) {
        if (v[i] != '\\' || i + 1 == v.size()) {
            out += v[i];
            continue;
        }
        switch (v[++i]) {
            case 's':
                out += ' ';
                break;
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case '\\':
                out += '\\';
                break;
            default:
                ADD_FAILURE() << "unknown escape in " << v;
                out += v[i];
        }
    }
    return out;
}

// A launcher's splitting of the command line into arguments: double quotes
// group, a backslash inside them takes the next character literally, %% is %.
std::vector<std::string> execArguments(const std::string& cmd) {
    std::vector<std::string> args;
    size_t i = 0;
    while (i < cmd.size()) {
        if (cmd[i] == ' ') {
            ++i;
            continue;
        }
        std::string arg;
        if (cmd[i] == '"') {
            ++i;
            while (i < cmd.size() && cmd[i] != '"') {
                if (cmd[i] == '\\' && i + 1 < cmd.size())
                    ++i;
                arg += cmd[i++];
            }
            EXPECT_LT(i, cmd.size()) << "unterminated quote in " << cmd;
            ++i;
        } else {
            while (i < cmd.size() && cmd[i] != ' ')
                arg += cmd[i++];
        }
        std::string plain;
        for (size_t k = 0; k < arg.size(); ++k) {
            plain += arg[k];
            if (arg[k] == '%') {
                EXPECT_TRUE(k + 1 < arg.size() && arg[k + 1] == '%') << "field code in " << cmd;
                ++k;
            }
        }
        args.push_back(plain);
    }
    return args;
}

struct ExecCase {
    const char* path;
    const char* exec;  // the Exec value as written in the file
};

TEST(AutostartEntry, ExecLineQuotesAndEscapesThePath) {
    const ExecCase cases[] = {
        {"/usr/bin/vesk-hb", "/usr/bin/vesk-hb"},
        {"/opt/my app/vesk-hb", "\"/opt/my app/vesk-hb\""},
        {"/opt/100%/vesk-hb", "/opt/100%%/vesk-hb"},
        {"/opt/my 100%/vesk-hb", "\"/opt/my 100%%/vesk-hb\""},
        {"/opt/a\\b/vesk-hb", "\"/opt/a\\\\\\\\b/vesk-hb\""},
        {"/opt/$HOME/vesk-hb", "\"/opt/\\\\$HOME/vesk-hb\""},
        {"/opt/a\"b/vesk-hb", "\"/opt/a\\\\\"b/vesk-hb\""},
        {"/opt/a`b/vesk-hb", "\"/opt/a\\\\`b/vesk-hb\""},
        {"/opt/it's/vesk-hb", "\"/opt/it's/vesk-hb\""},
        {"/opt/a\tb/vesk-hb", "\"/opt/a\\tb/vesk-hb\""},
        {"/opt/a\nb/vesk-hb", "\"/opt/a\\nb/vesk-hb\""},
        {"/opt/~x/vesk-hb", "\"/opt/~x/vesk-hb\""},
        {"/opt/a=b,c+d@e/vesk-hb", "/opt/a=b,c+d@e/vesk-hb"},
        {"/home/\xE3\x83\xA6\xE3\x83\xBC\xE3\x82\xB6/vesk-hb",
         "/home/\xE3\x83\xA6\xE3\x83\xBC\xE3\x82\xB6/vesk-hb"},
    };
    for (const auto& c : cases) {
        const auto keys = keysOf(vhb::desktopEntryText(c.path, "Vesk-HB", "/opt/"));
        EXPECT_EQ(keys.at("Exec"), c.exec) << c.path;
    }
}

TEST(AutostartEntry, LauncherReadsBackThePathAsOneArgument) {
    std::vector<std::string> paths = {
        "/a b/c d", "/x/\"quoted\"",        "/%u/%%/%", "/back\\\\slash\\", "/ lead",
        "/trail ",  "/semi;colon&amp|pipe", "/q?*#()<>"};
    // Every reserved character on its own, at the start, middle and end of a name.
    for (const char c : std::string(" \t\n\"'\\><~|&;$*?#()`%")) {
        paths.push_back(std::string("/") + c + "x");
        paths.push_back(std::string("/x") + c + "y");
        paths.push_back(std::string("/x") + c);
    }
    for (const auto& p : paths) {
        const auto keys = keysOf(vhb::desktopEntryText(p, "Vesk-HB", "/"));
        const auto args = execArguments(unescapeValue(keys.at("Exec")));
        ASSERT_EQ(args.size(), 1u) << p;
        EXPECT_EQ(args[0], p);
    }
}

TEST(AutostartEntry, EntryHasTheKeysOfAnApplicationOnce) {
    const std::string text = vhb::desktopEntryText("/opt/vhb/vesk-hb", "Vesk-HB", "/opt/vhb/");
    EXPECT_EQ(text,
              "[Desktop Entry]\nType=Application\nName=Vesk-HB\nExec=/opt/vhb/vesk-hb\n"
              "Path=/opt/vhb/\n");
}

TEST(AutostartEntry, NameAndFolderFollowTheStringRules) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"/opt/my app/", "/opt/my app/"},  // not a command line: no quotes
        {"/opt/a\\b/", "/opt/a\\\\b/"},   {"/opt/100%/", "/opt/100%/"}, {" /lead", "\\s/lead"},
        {"/trail ", "/trail\\s"},         {"/a\tb\r/", "/a\\tb\\r/"},
    };
    for (const auto& c : cases) {
        const auto keys = keysOf(vhb::desktopEntryText("/x", c.in, c.in));
        EXPECT_EQ(keys.at("Name"), c.out) << c.in;
        EXPECT_EQ(keys.at("Path"), c.out) << c.in;
        EXPECT_EQ(unescapeValue(keys.at("Path")), c.in);
    }
}

TEST(AutostartEntry, NoFolderGivesNoPathKey) {
    EXPECT_EQ(keysOf(vhb::desktopEntryText("/x", "Vesk-HB", "")).count("Path"), 0u);
}

TEST(AutostartEntry, TextsAnEntryCannotHoldAreRefused) {
    const char* bad[] = {
        "/a\x01",              // control character
        "/a\x7F",              // delete
        "/a\xFF",              // no UTF-8 lead byte
        "/a\xC3",              // sequence cut off at the end
        "/a\xC3(",             // lead byte without its continuation
        "/a\xC0\xAF",          // overlong slash
        "/a\xED\xA0\x80",      // surrogate
        "/a\xF4\x90\x80\x80",  // past U+10FFFF
    };
    for (const char* b : bad) {
        EXPECT_THROW(vhb::desktopEntryText(b, "Vesk-HB", "/"), vhb::Exception) << b;
        EXPECT_THROW(vhb::desktopEntryText("/x", b, "/"), vhb::Exception) << b;
        EXPECT_THROW(vhb::desktopEntryText("/x", "Vesk-HB", b), vhb::Exception) << b;
    }
    EXPECT_NO_THROW(vhb::desktopEntryText("/\xF0\x9F\x98\x80", "\xC3\xA9", "/"));
}

TEST(AutostartEntry, ProgramFolderKeepsTheTrailingSeparator) {
    struct Case {
        const char* path;
        const char* separators;
        const char* folder;
    };
    const Case cases[] = {
        {"C:\\Program Files\\Vesk\\vesk-hb.exe", "\\:", "C:\\Program Files\\Vesk\\"},
        {"C:vesk-hb.exe", "\\:", "C:"},
        {"vesk-hb.exe", "\\:", ""},
        {"/usr/local/bin/vesk-hb", "/", "/usr/local/bin/"},
        {"/vesk-hb", "/", "/"},
        {"/opt/a\\b", "/", "/opt/"},  // a backslash is no separator here
    };
    for (const auto& c : cases) {
        EXPECT_EQ(vhb::programFolder(c.path, c.separators), c.folder) << c.path;
    }
}

}  // namespace
