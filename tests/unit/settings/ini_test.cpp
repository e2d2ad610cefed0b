#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "settings/ini_file.h"
#include "settings/ini_text.h"
#include "settings/paths.h"

namespace fs = std::filesystem;

namespace {

TEST(IniRead, Table) {
    const std::string file =
        "; a comment\r\n"
        "[Network]\r\n"
        "  port =  9200  \r\n"
        "ip=\"10.0.0.7\"\r\n"
        ";IP=1.2.3.4\r\n"
        "empty=\r\n"
        "half=\"open\r\n"
        "PORT=second\r\n"
        "[ cpu ]\rapp1=agent#1\rcount1=0x20\r"
        "[network]\nip=later section\n"
        "stray line\n"
        "[SYSTEM]\nSTARTCNT=3";
    const struct {
        const char* section;
        const char* key;
        const char* want;
    } cases[] = {
        {"NETWORK", "PORT", "9200"},   {"network", "Ip", "10.0.0.7"},
        {"NETWORK", "EMPTY", ""},      {"NETWORK", "HALF", "\"open"},
        {"CPU", "APP1", "agent#1"},    {"CPU", "COUNT1", "0x20"},
        {"SYSTEM", "STARTCNT", "3"},   {"NETWORK", "MISSING", "dflt"},
        {"NOSECTION", "PORT", "dflt"}, {"NETWORK", "; a comment", "dflt"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(vhb::iniRead(file, c.section, c.key, "dflt"), c.want)
            << c.section << "." << c.key;
}

TEST(IniRead, AsTheSystemReadsThem) {
    // A line without "]" is no section header; single quotes go like double ones.
    const std::string file = "[NETWORK\nPORT=4\n[CPU]\nAPP1='agent#0'\nX='half\n";
    EXPECT_EQ(vhb::iniRead(file, "NETWORK", "PORT", "d"), "d");
    EXPECT_EQ(vhb::iniRead(file, "CPU", "APP1", "d"), "agent#0");
    EXPECT_EQ(vhb::iniRead(file, "CPU", "X", "d"), "'half");
}

TEST(IniRead, LongValuesAreCut) {
    const std::string file = "[A]\nK=" + std::string(3000, 'v') + "\n";
    EXPECT_EQ(vhb::iniRead(file, "A", "K", "").size(), 2047u);
}

struct SetCase {
    const char* name;
    std::string before;
    const char* section;
    const char* key;
    const char* value;
    std::string after;
};

TEST(IniSet, ChangesOnlyTheLineOfTheKey) {
    const SetCase cases[] = {
        {"existing key keeps every other byte",
         "; keep\r\n[NETWORK]\r\nUNKNOWN=1\r\n\r\n port = 1 \r\nIP=x\r\n[CPU]\r\nAPP1=\r\n",
         "network", "PORT", "9100",
         "; keep\r\n[NETWORK]\r\nUNKNOWN=1\r\n\r\nPORT=9100\r\nIP=x\r\n[CPU]\r\nAPP1=\r\n"},
        {"new key after the last line of its section",
         "[NETWORK]\r\nPORT=1\r\n\r\n[CPU]\r\nAPP1=\r\n", "NETWORK", "IP", "1.2.3.4",
         "[NETWORK]\r\nPORT=1\r\nIP=1.2.3.4\r\n\r\n[CPU]\r\nAPP1=\r\n"},
        {"new section at the end", "[NETWORK]\nPORT=1\n", "CPU", "APP1", "",
         "[NETWORK]\nPORT=1\n[CPU]\nAPP1=\n"},
        {"file without a final line end", "[NETWORK]\r\nPORT=1", "CPU", "APP1", "a",
         "[NETWORK]\r\nPORT=1\r\n[CPU]\r\nAPP1=a\r\n"},
        {"key in a last section without a line end", "[A]\nX=1", "A", "Y", "2", "[A]\nX=1\nY=2\n"},
        {"empty file", "", "NETWORK", "PORT", "9100", "[NETWORK]\nPORT=9100\n"},
        {"CR-only file", "[A]\rX=1\r", "A", "X", "2", "[A]\rX=2\r"},
        {"a value is cut at its line break", "[A]\nX=1\n", "A", "X", "ZANTOHB\r\n",
         "[A]\nX=ZANTOHB\n"},
        {"only the first of two sections", "[A]\nX=1\n[A]\nX=2\n", "A", "X", "3",
         "[A]\nX=3\n[A]\nX=2\n"},
        {"a byte-order mark is kept and its section found", "\xEF\xBB\xBF[A]\r\nX=1\r\n", "A", "X",
         "2", "\xEF\xBB\xBF[A]\r\nX=2\r\n"},
        {"a file of only a byte-order mark", "\xEF\xBB\xBF", "A", "X", "2",
         "\xEF\xBB\xBF[A]\nX=2\n"},
    };
    for (const SetCase& c : cases)
        EXPECT_EQ(vhb::iniSet(c.before, c.section, c.key, c.value, "\n"), c.after) << c.name;
}

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("vhb-ini-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        path = (dir / "hb.Ini").string();
    }
    void TearDown() override {
        fs::permissions(dir, fs::perms::owner_all);
        if (fs::exists(path))
            fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
        fs::remove_all(dir);
    }
    std::string bytes() const {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    void write(const std::string& s) const { std::ofstream(path, std::ios::binary) << s; }
    fs::path dir;
    std::string path;
};

TEST_F(IniFileTest, MissingFileReadsDefaultsAndWriteCreatesIt) {
    EXPECT_EQ(vhb::iniReadString(path, "NETWORK", "PORT", "9100"), "9100");
    EXPECT_FALSE(vhb::fileExists(path));
    vhb::iniWriteString(path, "NETWORK", "PORT", "9200");
    EXPECT_EQ(bytes(), "[NETWORK]\nPORT=9200\n");
    EXPECT_EQ(vhb::iniReadString(path, "network", "port", ""), "9200");
}

TEST_F(IniFileTest, ReplacesTheFileWholeAndLeavesNoTemporaryFile) {
    write("; comment\r\n[NETWORK]\r\nPORT=1\r\n");
    const auto before = fs::status(path).permissions();
    vhb::iniWriteString(path, "NETWORK", "PORT", "2");
    EXPECT_EQ(bytes(), "; comment\r\n[NETWORK]\r\nPORT=2\r\n");
    EXPECT_EQ(fs::status(path).permissions(), before);
    size_t files = 0;
    for (auto& e : fs::directory_iterator(dir)) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1u);
}

TEST_F(IniFileTest, ReadOnlyFileOrFolderRaisesTheErrorAndKeepsTheFile) {
    const std::string original = "[NETWORK]\nPORT=1\n";
    const std::string message = fs::absolute(path).string() + " に書き込めません";
#ifdef _WIN32
    // A folder's read-only mark does not stop writes into it there.
    const bool kinds[] = {false};
#else
    const bool kinds[] = {false, true};
#endif
    for (const bool folder : kinds) {
        write(original);
        if (folder)
            fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
        else
            fs::permissions(path, fs::perms::owner_read);
        try {
            vhb::iniWriteString(path, "NETWORK", "PORT", "2");
            ADD_FAILURE() << "no error for a read-only " << (folder ? "folder" : "file");
        } catch (const vhb::IniWriteError& e) {
            EXPECT_EQ(e.what(), message);
        }
        fs::permissions(dir, fs::perms::owner_all);
        fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
        EXPECT_EQ(bytes(), original);
    }
}

#ifndef _WIN32
// Where a folder's mark only gives it a look (Windows), the system's own
// answer decides: root writes into a folder without write marks here.
TEST_F(IniFileTest, AFolderMarkThatDoesNotRefuseLeavesItToTheSystem) {
    write("[NETWORK]\nPORT=1\n");
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    const bool systemWrites = access(dir.c_str(), W_OK) == 0;
    vhb::FileCalls calls;
    calls.folderMarkRefuses = false;
    bool saved = true;
    try {
        vhb::iniWriteString(path, "NETWORK", "PORT", "2", "\n", calls);
    } catch (const vhb::IniWriteError&) {
        saved = false;
    }
    fs::permissions(dir, fs::perms::owner_all);
    EXPECT_EQ(saved, systemWrites);
    EXPECT_EQ(bytes(), saved ? "[NETWORK]\nPORT=2\n" : "[NETWORK]\nPORT=1\n");
}

#endif

TEST_F(IniFileTest, ByteOrderMarkIsNoPartOfTheFirstSection) {
    write(
        "\xEF\xBB\xBF[NETWORK]\r\nCODE=\xE9\xE8"
        "ABC\r\n");
    EXPECT_EQ(vhb::iniReadString(path, "NETWORK", "CODE", "-"),
              "\xE9\xE8"
              "ABC");
}

TEST_F(IniFileTest, SyncsBeforeTheRenameAndClearsItsOwnLeftovers) {
    static std::vector<std::string> synced;
    static bool syncWorks;
    const vhb::SyncToDisk sync = [](const fs::path& p) {
        synced.push_back(fs::path(p).filename().string());
        return syncWorks;
    };
    // Leftovers of a killed save go; files of other names stay.
    for (const char* name : {"hb.Ini.tmp123", "hb.Ini.tmp9", "hb.Ini.tmpx", "other.Ini.tmp1"})
        std::ofstream(dir / name) << "x";
    vhb::removeLeftoverTempFiles(path);
    write("[A]\nX=1\n");
    syncWorks = false;
    EXPECT_THROW(vhb::iniWriteString(path, "A", "X", "2", "\n", sync), vhb::IniWriteError);
    EXPECT_EQ(bytes(), "[A]\nX=1\n");
    syncWorks = true;
    synced.clear();
    vhb::iniWriteString(path, "A", "X", "3", "\n", sync);
    EXPECT_EQ(bytes(), "[A]\nX=3\n");
    ASSERT_EQ(synced.size(), 2u);
    EXPECT_EQ(synced[0].rfind("hb.Ini.tmp", 0), 0u);  // the new content, before the rename
    EXPECT_EQ(synced[1], dir.filename().string());    // then the folder
    std::vector<std::string> left;
    for (auto& e : fs::directory_iterator(dir))
        left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"hb.Ini", "hb.Ini.tmpx", "other.Ini.tmp1"}));
}

TEST_F(IniFileTest, MissingFolderRaisesTheError) {
    const std::string inMissing = (dir / "gone" / "hb.Ini").string();
    EXPECT_THROW(vhb::iniWriteString(inMissing, "A", "B", "C"), vhb::IniWriteError);
}

TEST(Paths, SettingsFileAndOpenRule) {
    const struct {
        const char* path;
        const char* seps;
        const char* ini;
        const char* instance;
    } cases[] = {
        {"/opt/hb/vesk-hb", "/", "/opt/hb/vesk-hb.Ini", "vesk-hb#0"},
        {"/opt/tools.old/hb", "/", "/opt/tools.old/hb.Ini", "hb#0"},
        {"/opt/hb/agent.exe", "/", "/opt/hb/agent.Ini", "agent#0"},
        {"/opt/hb/my.tool.exe", "/", "/opt/hb/my.tool.Ini", "my.tool#0"},
        {"C:\\Tools\\hb.exe", "\\:", "C:\\Tools\\hb.Ini", "hb#0"},
        {"C:\\Tools.old\\hb", "\\:", "C:\\Tools.old\\hb.Ini", "hb#0"},
        {"C:hb.exe", "\\:", "C:hb.Ini", "hb#0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(vhb::settingsPathFor(c.path, c.seps), c.ini) << c.path;
        EXPECT_EQ(vhb::openDialogInstance(c.path, c.seps), c.instance) << c.path;
    }
    EXPECT_EQ(vhb::folderPart("C:\\Tools\\hb.exe", "\\:"), "C:\\Tools\\");
    EXPECT_EQ(vhb::fileNamePart("/opt/hb/vesk-hb", "/"), "vesk-hb");
}

}  // namespace
