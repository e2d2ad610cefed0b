// Saves killed at random moments: the settings file is never empty or cut
// short, and the next save clears the temporary files the killed ones left.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "platform/system.h"
#include "settings/heartbeat_settings.h"
#include "settings/ini_text.h"

namespace fs = std::filesystem;

TEST(DurableSave, KilledSavesLeaveACompleteFileAndNoDebris) {
    const fs::path dir = fs::temp_directory_path() / ("vhb-kill-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string ini = (dir / "hb.Ini").string();
    vhb::HeartbeatSettings a, b;
    b.Port = "9200";
    b.IP = "127.0.0.2";
    b.Code = "ABCDEFG";
    b.App1 = "agent#0";
    vhb::saveSettings(ini, a, 10, "\n", vhb::platform::syncToDisk);

    std::mt19937 random(12345);
    constexpr int kRuns = 40;
    for (int run = 0; run < kRuns; ++run) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i)
                vhb::saveSettings(ini, i % 2 ? a : b, 10, "\n", vhb::platform::syncToDisk);
        }
        ::usleep(std::uniform_int_distribution<useconds_t>(0, 20000)(random));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);

        std::ifstream in(ini, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        for (const vhb::SettingKey& k : vhb::settingKeys())
            EXPECT_TRUE(vhb::iniFind(bytes, k.section, k.key).has_value())
                << "run " << run << ": " << k.key << " missing from:\n"
                << bytes;
    }
    vhb::saveSettings(ini, a, 10, "\n", vhb::platform::syncToDisk);
    size_t files = 0;
    for (const auto& e : fs::directory_iterator(dir)) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1u);
    EXPECT_EQ(vhb::loadSettings(ini).Port, "9100");
    fs::remove_all(dir);
}
