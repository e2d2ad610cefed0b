#include "settings/heartbeat_settings.h"

#include <algorithm>

#include "common/number.h"
#include "settings/ini_file.h"

namespace vhb {

using S = HeartbeatSettings;

const std::vector<SettingKey>& settingKeys() {
    static const std::vector<SettingKey> keys = {
        {"NETWORK", "PORT", ValueForm::Text, "9100", "PortEdit", &S::Port},
        {"NETWORK", "IP", ValueForm::Text, "192.168.10.1", "ipEdit", &S::IP},
        {"NETWORK", "INTERVAL", ValueForm::Interval, "5", "IntervalEdit", &S::Interval},
        {"NETWORK", "LOCALPORT", ValueForm::Text, "9100", "localPortEdit", &S::LocalPort},
        {"NETWORK", "MAC", ValueForm::Text, "00:00:00:00:00:00", "ComboBox1", &S::MAC},
        {"NETWORK", "CODE", ValueForm::Text, "ZANTOHB", "Edit1", &S::Code},
        {"NETWORK", "MACCHECKED", ValueForm::Boolean, "0", "CheckBox1", nullptr, &S::MACChecked},
        {"SYSTEM", "STARTCNT", ValueForm::Text, "0", "Edit7", &S::StartCnt},
        {"CPU", "COUNT1", ValueForm::Integer, "10", "UpDown1", nullptr, nullptr, &S::Count1},
        {"CPU", "APP1", ValueForm::Text, "", "Edit2", &S::App1},
        {"CPU", "AUTOSTART", ValueForm::Boolean, "0", "CheckBox2", nullptr, &S::AutoStart},
        {"CPU", "WAITSTART", ValueForm::Boolean, "1", "CheckBox3", nullptr, &S::WaitStart},
    };
    return keys;
}

std::vector<const SettingKey*> readerOrder() {
    std::vector<const SettingKey*> order;
    for (const SettingKey& k : settingKeys())
        order.push_back(&k);
    // The reader takes CODE (index 5) before MAC (index 4).
    std::swap(order[4], order[5]);
    return order;
}

HeartbeatSettings loadSettings(const std::filesystem::path& iniPath) {
    HeartbeatSettings s;
    for (const SettingKey* k : readerOrder()) {
        const std::string text = iniReadString(iniPath, k->section, k->key, k->defaultText);
        const int32_t def = readNumber(k->defaultText, 0);
        switch (k->form) {
            case ValueForm::Text:
            case ValueForm::Interval:
                s.*(k->text) = text;
                break;
            case ValueForm::Boolean:
                s.*(k->flag) = readNumber(text, def) != 0;
                break;
            case ValueForm::Integer:
                s.*(k->number) = clampCount(readNumber(text, def));
                break;
        }
    }
    return s;
}

void saveSettings(const std::filesystem::path& iniPath, const HeartbeatSettings& s,
                  uint32_t intervalSeconds, std::string_view newLineEnd, const FileCalls& calls) {
    removeLeftoverTempFiles(iniPath);
    for (const SettingKey& k : settingKeys()) {
        std::string value;
        switch (k.form) {
            case ValueForm::Text:
                value = s.*(k.text);
                break;
            case ValueForm::Interval:
                value = std::to_string(intervalSeconds);
                break;
            case ValueForm::Boolean:
                value.assign(1, (s.*(k.flag)) ? '1' : '0');
                break;
            case ValueForm::Integer:
                value = std::to_string(static_cast<int16_t>(s.*(k.number)));
                break;
        }
        iniWriteString(iniPath, k.section, k.key, value, newLineEnd, calls);
    }
}

uint32_t heartbeatPeriodMs(std::string_view intervalText) {
    const int64_t ms = int64_t{readNumber(intervalText, 5)} * 1000;
    // A period under a second, or one the heartbeat timer cannot hold (it
    // counts signed 32-bit milliseconds), falls back to five seconds.
    if (ms < 1000 || ms > int64_t{INT32_MAX})
        return 5000;
    return static_cast<uint32_t>(ms);
}

int clampCount(int32_t value) {
    return std::clamp<int>(static_cast<int16_t>(static_cast<uint16_t>(value)), 1, 9999);
}

}  // namespace vhb
