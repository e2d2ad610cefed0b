#pragma once
// The settings record and its one key table, which both the reader and the
// writer of the settings file walk.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "settings/ini_file.h"

namespace vhb {

// Field defaults are the reader's defaults: what a run without a settings
// file works with.
struct HeartbeatSettings {
    std::string Port = "9100";
    std::string IP = "192.168.10.1";
    std::string Interval = "5";
    std::string LocalPort = "9100";
    std::string MAC = "00:00:00:00:00:00";
    std::string Code = "ZANTOHB";
    bool MACChecked = false;
    std::string StartCnt = "0";
    int Count1 = 10;
    std::string App1;
    bool AutoStart = false;
    bool WaitStart = true;
};

enum class ValueForm { Text, Integer, Boolean, Interval };

struct SettingKey {
    const char* section;
    const char* key;
    ValueForm form;
    const char* defaultText;
    const char* control;  // objectName of the settings window's control
    std::string HeartbeatSettings::*text = nullptr;
    bool HeartbeatSettings::*flag = nullptr;
    int HeartbeatSettings::*number = nullptr;
};

// All twelve keys, in the writer's order (the order of the file).
const std::vector<SettingKey>& settingKeys();
// The same entries in the reader's order: CODE before MAC.
std::vector<const SettingKey*> readerOrder();

HeartbeatSettings loadSettings(const std::filesystem::path& iniPath);
// Writes every key by itself; a failed write stops at that key and raises
// IniWriteError. INTERVAL is written as `intervalSeconds`. First clears
// what killed saves left beside the file.
void saveSettings(const std::filesystem::path& iniPath, const HeartbeatSettings& s,
                  uint32_t intervalSeconds, std::string_view newLineEnd = "\n",
                  const FileCalls& calls = {});

// The heartbeat period a start with this interval text uses: the text as
// whole seconds (5 when it is not a number), and 5000 ms where that is under
// one second or does not fit the timer.
uint32_t heartbeatPeriodMs(std::string_view intervalText);
// COUNT1 as the spinner holds it: its low 16 bits, brought into 1..9999.
int clampCount(int32_t value);

}  // namespace vhb
