#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <vector>

#include "settings/heartbeat_settings.h"

namespace fs = std::filesystem;

namespace {

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("vhb-settings-" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        path = (dir / "vesk-hb.Ini").string();
    }
    void TearDown() override { fs::remove_all(dir); }
    void write(const std::string& s) const { std::ofstream(path, std::ios::binary) << s; }
    std::string bytes() const {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    fs::path dir;
    std::string path;
};

TEST_F(SettingsFileTest, FirstSaveLaysOutTheWholeFileInTheWritersOrder) {
    const vhb::HeartbeatSettings defaults = vhb::loadSettings(path);
    EXPECT_FALSE(fs::exists(path));
    vhb::saveSettings(path, defaults, 10);
    EXPECT_EQ(bytes(),
              "[NETWORK]\nPORT=9100\nIP=192.168.10.1\nINTERVAL=10\nLOCALPORT=9100\n"
              "MAC=00:00:00:00:00:00\nCODE=ZANTOHB\nMACCHECKED=0\n"
              "[SYSTEM]\nSTARTCNT=0\n"
              "[CPU]\nCOUNT1=10\nAPP1=\nAUTOSTART=0\nWAITSTART=1\n");
}

// A save looks for what killed saves left beside the file once, before its
// first key, not at each of its twelve: what is there before the save goes,
// and a file that only turns up during the save stays until the next one.
TEST_F(SettingsFileTest, ASaveClearsWhatKilledSavesLeftOnceAtItsStart) {
    static fs::path lateLeftover;
    static int syncs;
    const vhb::SyncToDisk sync = [](const fs::path&) {
        if (++syncs == 1)
            std::ofstream(lateLeftover) << "x";
        return true;
    };
    lateLeftover = dir / "vesk-hb.Ini.tmp42";
    syncs = 0;
    for (const char* name : {"vesk-hb.Ini.tmp123", "vesk-hb.Ini.tmpx", "other.Ini.tmp1"})
        std::ofstream(dir / name) << "x";
    vhb::saveSettings(path, vhb::HeartbeatSettings{}, 5, "\n", sync);
    std::vector<std::string> left;
    for (auto& e : fs::directory_iterator(dir))
        left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"other.Ini.tmp1", "vesk-hb.Ini", "vesk-hb.Ini.tmp42",
                                              "vesk-hb.Ini.tmpx"}));
    vhb::saveSettings(path, vhb::HeartbeatSettings{}, 5);
    EXPECT_FALSE(fs::exists(lateLeftover));
}

TEST_F(SettingsFileTest, ValuesAreReadByTheirForm) {
    const struct {
        const char* file;
        std::function<bool(const vhb::HeartbeatSettings&)> holds;
        const char* what;
    } cases[] = {
        {"[NETWORK]\nMACCHECKED=2\n", [](auto& s) { return s.MACChecked; }, "2 is true"},
        {"[NETWORK]\nMACCHECKED=0x1\n", [](auto& s) { return s.MACChecked; }, "0x1 is true"},
        {"[NETWORK]\nMACCHECKED=yes\n", [](auto& s) { return !s.MACChecked; }, "yes is false"},
        {"[CPU]\nWAITSTART=0\n", [](auto& s) { return !s.WaitStart; }, "0 is false"},
        {"[CPU]\nWAITSTART=no\n", [](auto& s) { return s.WaitStart; }, "no is true"},
        {"[CPU]\nAUTOSTART=-1\n", [](auto& s) { return s.AutoStart; }, "-1 is true"},
        {"[CPU]\nCOUNT1=0x20\n", [](auto& s) { return s.Count1 == 32; }, "hex count"},
        {"[CPU]\nCOUNT1=0\n", [](auto& s) { return s.Count1 == 1; }, "count under range"},
        {"[CPU]\nCOUNT1=70000\n", [](auto& s) { return s.Count1 == 4464; }, "low 16 bits"},
        {"[CPU]\nCOUNT1=-5\n", [](auto& s) { return s.Count1 == 1; }, "negative count"},
        {"[CPU]\nCOUNT1=12000\n", [](auto& s) { return s.Count1 == 9999; }, "count over range"},
        {"[CPU]\nCOUNT1=ten\n", [](auto& s) { return s.Count1 == 10; }, "count not a number"},
        {"[NETWORK]\nCODE=ABCDEFGHIJ\n", [](auto& s) { return s.Code == "ABCDEFGHIJ"; },
         "long code kept"},
        {"[network]\nport=9300\nip=127.0.0.1\n",
         [](auto& s) { return s.Port == "9300" && s.IP == "127.0.0.1"; }, "lower-case names"},
        {"[NETWORK]\nINTERVAL=abc\n", [](auto& s) { return s.Interval == "abc"; }, "interval text"},
        {"", [](auto& s) { return s.Port == "9100" && s.WaitStart && !s.AutoStart; }, "empty file"},
    };
    for (const auto& c : cases) {
        write(c.file);
        EXPECT_TRUE(c.holds(vhb::loadSettings(path))) << c.what;
    }
}

TEST_F(SettingsFileTest, SaveCompletesAFileAndKeepsItsOtherLines) {
    write("; operator's note\r\n[NETWORK]\r\nIP=10.1.2.3\r\nEXTRA=keep\r\n");
    vhb::HeartbeatSettings s = vhb::loadSettings(path);
    s.Code = "ZANTOHB\r\n";  // as the send code box holds it after a heartbeat
    vhb::saveSettings(path, s, 5);
    const std::string b = bytes();
    EXPECT_EQ(
        b.rfind("; operator's note\r\n[NETWORK]\r\nIP=10.1.2.3\r\nEXTRA=keep\r\nPORT=9100\r\n", 0),
        0u);
    EXPECT_NE(b.find("CODE=ZANTOHB\r\nMACCHECKED=0\r\n"), std::string::npos);
    EXPECT_EQ(vhb::loadSettings(path).Code, "ZANTOHB");
}

TEST(HeartbeatPeriod, Table) {
    const std::pair<const char*, uint32_t> cases[] = {{"5", 5000},       {"1", 1000},
                                                      {"0", 5000},       {"abc", 5000},
                                                      {"-1", 5000},      {"", 5000},
                                                      {"3600", 3600000}, {"4294968", 5000},
                                                      {"4294967", 5000}, {"2147483", 2147483000}};
    for (auto& [text, ms] : cases)
        EXPECT_EQ(vhb::heartbeatPeriodMs(text), ms) << text;
}

TEST(KeyTable, ReaderTakesCodeBeforeMac) {
    const auto order = vhb::readerOrder();
    ASSERT_EQ(order.size(), 12u);
    EXPECT_STREQ(order[4]->key, "CODE");
    EXPECT_STREQ(order[5]->key, "MAC");
    EXPECT_STREQ(vhb::settingKeys()[4].key, "MAC");
}

}  // namespace
