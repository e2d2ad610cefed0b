// Moving the settings between the settings file and the window's controls.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "app/dialogs.h"
#include "app/hb_main.h"
#include "platform/system.h"
#include "settings/controls.h"
#include "settings/form2.h"
#include "settings/ini_file.h"
#include "settings/local_text.h"
#include "settings/paths.h"

namespace {
std::string local8(const QString& s) {
    return vhb::local8FromText(s);
}
QString fromLocal8(const std::string& s) {
    return vhb::textFromLocal8(s);
}
}  // namespace

// From Qt's own path of the program, as UTF-8: every folder name works, in
// the system's 8-bit code page or not.
QString TForm2::settingsFilePath() {
    return QString::fromStdString(vhb::settingsPathFor(vhb::programFilePath().toStdString(),
                                                       vhb::platform::pathSeparators()));
}

vhb::HeartbeatSettings TForm2::currentSettings() const {
    vhb::HeartbeatSettings s;
    s.Port = local8(PortEdit->text());
    s.IP = local8(ipEdit->text());
    s.Interval = local8(IntervalEdit->text());
    s.LocalPort = local8(localPortEdit->text());
    s.MAC = local8(ComboBox1->currentText());
    s.Code = local8(Edit1->text());
    s.MACChecked = CheckBox1->isChecked();
    s.StartCnt = local8(Edit7->text());
    s.Count1 = UpDown1->Position();
    s.App1 = local8(Edit2->text());
    s.AutoStart = CheckBox2->isChecked();
    s.WaitStart = CheckBox3->isChecked();
    return s;
}

void TForm2::applySettings(const vhb::HeartbeatSettings& s) {
    PortEdit->setText(fromLocal8(s.Port));
    ipEdit->setText(fromLocal8(s.IP));
    IntervalEdit->setText(fromLocal8(s.Interval));
    localPortEdit->setText(fromLocal8(s.LocalPort));
    Edit1->setText(fromLocal8(s.Code));
    ComboBox1->setEditText(fromLocal8(s.MAC));
    CheckBox1->setChecked(s.MACChecked);
    Edit7->setText(fromLocal8(s.StartCnt));
    UpDown1->setPosition(s.Count1);
    Edit2->setText(fromLocal8(s.App1));
    CheckBox2->setChecked(s.AutoStart);
    CheckBox3->setChecked(s.WaitStart);
}

void TForm2::IniLoad() {
    const QString path = settingsFilePath();
    if (hb_main)
        hb_main->IniFileName = path;
    applySettings(vhb::loadSettings(vhb::filePathFromText(path)));
}

void TForm2::IniSave() {
    // INTERVAL is the period a start with the box's current text uses, so an
    // edit made after a Stop is not lost.
    const uint32_t seconds = vhb::heartbeatPeriodMs(local8(IntervalEdit->text())) / 1000;
    vhb::saveSettings(vhb::filePathFromText(settingsFilePath()), currentSettings(), seconds,
                      vhb::platform::nativeLineEnd(), vhb::platform::fileCalls());
}
