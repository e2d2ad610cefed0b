// Moving the settings between the settings file and the window's controls.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "app/dialogs.h"
#include "common/local_text.h"
#include "platform/system.h"
#include "settings/controls.h"
#include "settings/form2.h"
#include "settings/ini_file.h"
#include "settings/paths.h"

// From Qt's own path of the program, as UTF-8: every folder name works, in
// the system's 8-bit code page or not.
QString TForm2::settingsFilePath() {
    return QString::fromStdString(vhb::settingsPathFor(vhb::programFilePath().toStdString(),
                                                       vhb::platform::pathSeparators()));
}

vhb::HeartbeatSettings TForm2::currentSettings() const {
    vhb::HeartbeatSettings s;
    s.Port = vhb::local8FromText(PortEdit->text());
    s.IP = vhb::local8FromText(ipEdit->text());
    s.Interval = vhb::local8FromText(IntervalEdit->text());
    s.LocalPort = vhb::local8FromText(localPortEdit->text());
    s.MAC = vhb::local8FromText(ComboBox1->currentText());
    s.Code = vhb::local8FromText(Edit1->text());
    s.MACChecked = CheckBox1->isChecked();
    s.StartCnt = vhb::local8FromText(Edit7->text());
    s.Count1 = UpDown1->Position();
    s.App1 = vhb::local8FromText(Edit2->text());
    s.AutoStart = CheckBox2->isChecked();
    s.WaitStart = CheckBox3->isChecked();
    return s;
}

void TForm2::applySettings(const vhb::HeartbeatSettings& s) {
    PortEdit->setText(vhb::textFromLocal8(s.Port));
    ipEdit->setText(vhb::textFromLocal8(s.IP));
    IntervalEdit->setText(vhb::textFromLocal8(s.Interval));
    localPortEdit->setText(vhb::textFromLocal8(s.LocalPort));
    Edit1->setText(vhb::textFromLocal8(s.Code));
    ComboBox1->setEditText(vhb::textFromLocal8(s.MAC));
    CheckBox1->setChecked(s.MACChecked);
    Edit7->setText(vhb::textFromLocal8(s.StartCnt));
    UpDown1->setPosition(s.Count1);
    Edit2->setText(vhb::textFromLocal8(s.App1));
    CheckBox2->setChecked(s.AutoStart);
    CheckBox3->setChecked(s.WaitStart);
}

void TForm2::IniLoad() {
    applySettings(vhb::loadSettings(vhb::filePathFromText(settingsFilePath())));
}

// Stage 1 of the start-up: the main window keeps the path as its
// IniFileName, which stage 2 looks for.
QString TForm2::loadSettings() {
    IniLoad();
    return settingsFilePath();
}

void TForm2::saveSettings() {
    IniSave();
}

void TForm2::IniSave() {
    // INTERVAL is the period a start with the box's current text uses, so an
    // edit made after a Stop is not lost.
    const uint32_t seconds =
        vhb::heartbeatPeriodMs(vhb::local8FromText(IntervalEdit->text())) / 1000;
    vhb::saveSettings(vhb::filePathFromText(settingsFilePath()), currentSettings(), seconds,
                      vhb::platform::nativeLineEnd(), vhb::platform::fileCalls());
}
