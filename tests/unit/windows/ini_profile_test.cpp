// The INI layer against the system's own private-profile reader: for each
// file and key of the table, iniReadString must give what
// GetPrivateProfileStringA gives for the same bytes on disk.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "platform/system.h"
#include "settings/ini_file.h"

namespace {

struct ProfileCase {
    const char* name;
    std::string file;  // the file's bytes
    const char* section;
    const char* key;
    const char* def;
    // Set where our reader is known to differ from the system's and the
    // difference is accepted: what ours gives instead.
    std::optional<std::string> oursInstead = std::nullopt;
};

std::string repeated(char c, size_t n) {
    return std::string(n, c);
}

const std::string kLong = repeated('a', 1500) + repeated('b', 1500);

const ProfileCase kCases[] = {
    // Names and their case.
    {"plain CRLF", "[NETWORK]\r\nPORT=9100\r\n", "NETWORK", "PORT", "d"},
    {"lower-case names in the file", "[network]\r\nport=9200\r\n", "NETWORK", "PORT", "d"},
    {"mixed-case names asked", "[NETWORK]\r\nPORT=9300\r\n", "Network", "Port", "d"},
    {"key of another section not taken", "[SYSTEM]\r\nPORT=1\r\n[NETWORK]\r\nIP=x\r\n", "NETWORK",
     "PORT", "d"},
    {"key before any section", "PORT=1\r\n[NETWORK]\r\nIP=x\r\n", "NETWORK", "PORT", "d"},
    {"key with a blank inside", "[CPU]\r\nMY KEY=7\r\n", "CPU", "MY KEY", "d"},

    // Blanks around names and values.
    {"blanks around key and value", "[NETWORK]\r\n  PORT  =  9100  \r\n", "NETWORK", "PORT", "d"},
    {"tabs around key and value", "[NETWORK]\r\n\tPORT\t=\t9100\t\r\n", "NETWORK", "PORT", "d"},
    {"blanks inside the value kept", "[NETWORK]\r\nCODE= a  b \r\n", "NETWORK", "CODE", "d"},
    {"blanks inside the brackets", "[ NETWORK ]\r\nPORT=1\r\n", "NETWORK", "PORT", "d"},
    {"blanks before the bracket", "  [NETWORK]\r\nPORT=2\r\n", "NETWORK", "PORT", "d"},
    {"text after the closing bracket", "[NETWORK] tail\r\nPORT=3\r\n", "NETWORK", "PORT", "d"},
    {"section line without closing bracket", "[NETWORK\r\nPORT=4\r\n", "NETWORK", "PORT", "d"},

    // Quotes.
    {"value wholly in double quotes", "[NETWORK]\r\nCODE=\"ZANTOHB\"\r\n", "NETWORK", "CODE", "d"},
    {"quoted value with blanks inside", "[NETWORK]\r\nCODE=\" a b \"\r\n", "NETWORK", "CODE", "d"},
    {"value wholly in single quotes", "[NETWORK]\r\nCODE='ZANTOHB'\r\n", "NETWORK", "CODE", "d"},
    {"only an opening quote", "[NETWORK]\r\nCODE=\"ZANTOHB\r\n", "NETWORK", "CODE", "d"},
    {"quotes inside the value", "[NETWORK]\r\nCODE=a\"b\"c\r\n", "NETWORK", "CODE", "d"},
    {"a lone double quote", "[NETWORK]\r\nCODE=\"\r\n", "NETWORK", "CODE", "d"},
    {"empty quotes", "[NETWORK]\r\nCODE=\"\"\r\n", "NETWORK", "CODE", "d"},

    // Comments.
    {"commented key skipped", "[NETWORK]\r\n;PORT=1\r\nPORT=2\r\n", "NETWORK", "PORT", "d"},
    {"indented comment skipped", "[NETWORK]\r\n  ;PORT=1\r\nPORT=2\r\n", "NETWORK", "PORT", "d"},
    {"only a commented key", "[NETWORK]\r\n;PORT=1\r\n", "NETWORK", "PORT", "d"},
    {"semicolon inside a value kept", "[NETWORK]\r\nCODE=ab;cd\r\n", "NETWORK", "CODE", "d"},
    {"hash line is a key like any other", "[NETWORK]\r\n#PORT=1\r\n", "NETWORK", "#PORT", "d"},
    {"commented section header", ";[NETWORK]\r\nPORT=1\r\n", "NETWORK", "PORT", "d"},

    // Line ends.
    {"LF line ends", "[NETWORK]\nPORT=9100\nIP=1.2.3.4\n", "NETWORK", "IP", "d"},
    {"CR line ends", "[NETWORK]\rPORT=9100\rIP=1.2.3.4\r", "NETWORK", "IP", "d"},
    {"mixed line ends", "[NETWORK]\r\nPORT=9100\nIP=1.2.3.4\r\n", "NETWORK", "IP", "d"},
    {"no line end after the last value", "[NETWORK]\r\nPORT=9100", "NETWORK", "PORT", "d"},
    {"blank lines between", "\r\n\r\n[NETWORK]\r\n\r\n\r\nPORT=5\r\n\r\n", "NETWORK", "PORT", "d"},
    {"value that ended in CR LF when written", "[NETWORK]\r\nCODE=ZANTOHB\r\n\r\n", "NETWORK",
     "CODE", "d"},

    // Duplicates: the first one wins.
    {"key twice in its section", "[NETWORK]\r\nPORT=1\r\nPORT=2\r\n", "NETWORK", "PORT", "d"},
    {"key twice, names in other case", "[NETWORK]\r\nport=1\r\nPORT=2\r\n", "NETWORK", "PORT", "d"},
    {"section twice, key in the first", "[NETWORK]\r\nPORT=1\r\n[NETWORK]\r\nPORT=2\r\n", "NETWORK",
     "PORT", "d"},
    {"section twice, key only in the second", "[NETWORK]\r\nIP=x\r\n[NETWORK]\r\nPORT=2\r\n",
     "NETWORK", "PORT", "d"},

    // Missing and empty.
    {"missing key", "[NETWORK]\r\nIP=x\r\n", "NETWORK", "PORT", "9100"},
    {"missing section", "[SYSTEM]\r\nSTARTCNT=3\r\n", "NETWORK", "PORT", "9100"},
    {"empty file", "", "NETWORK", "PORT", "9100"},
    {"empty value is not the default", "[CPU]\r\nAPP1=\r\n", "CPU", "APP1", "dflt"},
    {"blank value is not the default", "[CPU]\r\nAPP1=   \r\n", "CPU", "APP1", "dflt"},
    {"key line without equals sign", "[NETWORK]\r\nPORT\r\n", "NETWORK", "PORT", "dflt"},
    {"value holding an equals sign", "[NETWORK]\r\nCODE=a=b\r\n", "NETWORK", "CODE", "d"},
    {"empty default", "[NETWORK]\r\n", "NETWORK", "PORT", ""},
    // The system drops trailing blanks of the default; none of the
    // program's defaults has any, so ours gives the default as it is.
    {"default with trailing blanks", "[NETWORK]\r\n", "NETWORK", "PORT", "9100  ",
     std::string("9100  ")},

    // Long values: cut to 2047 characters, as by a 2048-byte buffer.
    {"value of 2047 characters", "[CPU]\r\nAPP1=" + kLong.substr(0, 2047) + "\r\n", "CPU", "APP1",
     "d"},
    {"value of 3000 characters", "[CPU]\r\nAPP1=" + kLong + "\r\n", "CPU", "APP1", "d"},
    {"long value followed by another key", "[CPU]\r\nAPP1=" + kLong + "\r\nAUTOSTART=1\r\n", "CPU",
     "AUTOSTART", "d"},

    // Bytes of the 8-bit code page pass unchanged.
    {"8-bit characters in the value", "[CPU]\r\nAPP1=caf\xE9#0\r\n", "CPU", "APP1", "d"},

    // A whole settings file as the writer lays it out.
    {"written layout, a key of the last section",
     "[NETWORK]\r\nPORT=9100\r\nIP=192.168.10.1\r\nINTERVAL=10\r\nLOCALPORT=9100\r\n"
     "MAC=00:00:00:00:00:00\r\nCODE=ZANTOHB\r\nMACCHECKED=0\r\n[SYSTEM]\r\nSTARTCNT=0\r\n"
     "[CPU]\r\nCOUNT1=10\r\nAPP1=\r\nAUTOSTART=0\r\nWAITSTART=1\r\n",
     "CPU", "WAITSTART", "d"},
};

class ProfileComparison : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("vhb-ini-" + std::to_string(GetCurrentProcessId()));
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }

    std::string writeFile(size_t index, const std::string& bytes) {
        const auto path = folder_ / ("case" + std::to_string(index) + ".Ini");
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        // The system's reader takes a full path; a bare name would be looked
        // for in the system folder.
        return std::filesystem::absolute(path).string();
    }

    std::filesystem::path folder_;
};

std::string systemRead(const std::string& path, const char* section, const char* key,
                       const char* def) {
    // The size the settings reader offers: 2047 characters and the end mark.
    char buffer[2048];
    const DWORD n =
        GetPrivateProfileStringA(section, key, def, buffer, sizeof buffer, path.c_str());
    return std::string(buffer, n);
}

TEST_F(ProfileComparison, ReadsWhatTheSystemReads) {
    size_t index = 0;
    for (const ProfileCase& c : kCases) {
        SCOPED_TRACE(c.name);
        const std::string path = writeFile(index++, c.file);
        const std::string expected = systemRead(path, c.section, c.key, c.def);
        const std::string ours = vhb::iniReadString(path, c.section, c.key, c.def);
        if (c.oursInstead) {
            EXPECT_EQ(ours, *c.oursInstead) << "system gives \"" << expected << "\"";
        } else {
            EXPECT_EQ(ours, expected);
        }
    }
}

TEST_F(ProfileComparison, MissingFileGivesTheDefaultBothWays) {
    const std::string path = (folder_ / "absent.Ini").string();
    EXPECT_EQ(vhb::iniReadString(path, "NETWORK", "IP", "192.168.10.1"),
              systemRead(path, "NETWORK", "IP", "192.168.10.1"));
}

// What our writer lays out, the system's reader must read back: a settings
// file written here stays usable by other tools on the workstation.
TEST_F(ProfileComparison, SystemReadsWhatWeWrite) {
    const std::string path = (folder_ / "written.Ini").string();
    struct Entry {
        const char* section;
        const char* key;
        const char* value;
    };
    const Entry entries[] = {
        {"NETWORK", "PORT", "9100"},
        {"NETWORK", "IP", "192.168.10.1"},
        {"NETWORK", "CODE", "ZANTOHB"},
        {"SYSTEM", "STARTCNT", "0"},
        {"CPU", "APP1", ""},
        {"CPU", "WAITSTART", "1"},
        {"network", "port", "9200"},  // an existing key found without regard to case
    };
    for (const Entry& e : entries)
        vhb::iniWriteString(path, e.section, e.key, e.value, "\r\n");

    EXPECT_EQ(systemRead(path, "NETWORK", "PORT", "d"), "9200");
    EXPECT_EQ(systemRead(path, "NETWORK", "IP", "d"), "192.168.10.1");
    EXPECT_EQ(systemRead(path, "NETWORK", "CODE", "d"), "ZANTOHB");
    EXPECT_EQ(systemRead(path, "SYSTEM", "STARTCNT", "d"), "0");
    EXPECT_EQ(systemRead(path, "CPU", "APP1", "d"), "");
    EXPECT_EQ(systemRead(path, "CPU", "WAITSTART", "d"), "1");
}

// The system's own file calls: what Windows lets through and what it refuses.
struct SaveCase {
    const char* name;
    const wchar_t* folder;  // inside the test's folder
    DWORD folderAttribute;
    DWORD fileAttribute;
    DWORD holdMs;  // the file held open without delete sharing, from the save's start
    bool saved;
};

const SaveCase kSaves[] = {
    {"a folder named in Japanese", L"\u30c4\u30fc\u30eb", 0, 0, 0, true},
    {"a folder named in Cyrillic", L"\u0406\u043d\u0441\u0442\u0440", 0, 0, 0, true},
    {"a read-only folder (a customised look)", L"look", FILE_ATTRIBUTE_READONLY, 0, 0, true},
    {"a read-only file", L"plain", 0, FILE_ATTRIBUTE_READONLY, 0, false},
    {"a file a scanner holds for a moment", L"scanned", 0, 0, 300, true},
    {"a file held for good", L"held", 0, 0, 3000, false},
};

TEST_F(ProfileComparison, SavesWhereWindowsWritesAndNowhereElse) {
    for (const SaveCase& c : kSaves) {
        SCOPED_TRACE(c.name);
        const std::filesystem::path folder = folder_ / c.folder;
        const std::filesystem::path file = folder / L"vesk-hb.Ini";
        std::filesystem::create_directories(folder);
        std::ofstream(file) << "[NETWORK]\r\nPORT=9100\r\n";
        if (c.folderAttribute)
            SetFileAttributesW(folder.c_str(), c.folderAttribute);
        if (c.fileAttribute)
            SetFileAttributesW(file.c_str(), c.fileAttribute);
        HANDLE held = INVALID_HANDLE_VALUE;
        std::thread release;
        if (c.holdMs) {
            held = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(held, INVALID_HANDLE_VALUE);
            release = std::thread([&] {
                Sleep(c.holdMs);
                CloseHandle(held);
            });
        }
        bool saved = true;
        try {
            vhb::iniWriteString(file, "NETWORK", "PORT", "9200", "\r\n",
                                vhb::platform::fileCalls());
        } catch (const vhb::IniWriteError&) {
            saved = false;
        }
        if (release.joinable())
            release.join();
        EXPECT_EQ(saved, c.saved);
        EXPECT_EQ(vhb::iniReadString(file, "NETWORK", "PORT", "d"), c.saved ? "9200" : "9100");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1)
            << "a temporary file was left";
        SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
        SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

}  // namespace
