// The heartbeat sender: Start, Stop, the start wait and the ticks.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "common/guard.h"
#include "common/local_text.h"
#include "common/number.h"
#include "common/user_locale.h"
#include "cpumon/cpu_watch.h"
#include "heartbeat/datagram.h"
#include "net/nmudp.h"
#include "settings/controls.h"
#include "settings/form2.h"
#include "settings/heartbeat_settings.h"

void TForm2::BitBtn3Click() {
    HoldHeartbeat = false;
    CpuWatch->CpuWatchRunning = 0;
    CpuWatch->WaitingForStart = CheckBox3->isChecked() ? 1 : 0;
    Panel3->setText(vhb::timestampText("Start "));
    // A negative wait would hold every heartbeat until the next start: it
    // counts as no wait.
    StartWaitCount = std::max(0, vhb::readNumber(vhb::local8FromText(Edit7->text()), 0));
    if (StartWaitCount > 0)
        Timer3->start(1000);
    // A settings file that cannot be written must not switch the
    // application watch off: the heartbeat already runs, and without the
    // watch a hung application would go unnoticed. The save's error is
    // reported here, and the watch starts after it.
    vhb::guarded([this] { HbStart(); });
    CPUresourceStart();
}

void TForm2::startHeartbeat() {
    BitBtn3Click();
}

void TForm2::HbStart() {
    // Starting the timer restarts its period: the first heartbeat leaves one
    // full interval after the start.
    Timer1->start(
        static_cast<int>(vhb::heartbeatPeriodMs(vhb::local8FromText(IntervalEdit->text()))));
    BitBtn3->setEnabled(false);
    BitBtn4->setEnabled(true);
    for (QWidget* w : lockedControls())
        w->setEnabled(false);
    IniSave();
}

void TForm2::BitBtn4Click() {
    Timer3->stop();
    Panel3->setText(vhb::timestampText("Stop "));
    Timer1->stop();
    BitBtn3->setEnabled(true);
    BitBtn4->setEnabled(false);
    for (QWidget* w : lockedControls())
        w->setEnabled(true);
    CpuWatch->CpuWatchRunning = 1;
    CPUresourceStart();
}

void TForm2::Timer1Timer() {
    if (StartWaitCount == 0 && !HoldHeartbeat)
        SendData();
    if (CheckBox1->isChecked()) {
        searche();
    } else {
        NMUDP2->setLocalPort(0);
    }
}

void TForm2::Timer3Timer() {
    if (StartWaitCount > 0) {
        --StartWaitCount;
    } else {
        Timer3->stop();
    }
    Panel4->setText(QString::number(StartWaitCount));
}

void TForm2::SendData() {
    // The status line shows the attempt even when the send then fails.
    Panel3->setText(vhb::timestampText("Send "));
    const vhb::HeartbeatDatagram datagram = vhb::buildHeartbeat(vhb::local8FromText(Edit1->text()));
    // The code shown is mostly the one already there.
    if (const QString code = vhb::textFromLocal8(vhb::heartbeatText(datagram));
        code != Edit1->text())
        Edit1->setText(code);
    NMUDP1->setReportLevel(2);
    NMUDP1->setRemoteHost(ipEdit->text());
    NMUDP1->setRemotePort(vhb::readNumber(vhb::local8FromText(PortEdit->text()), 9100));
    // Re-binding before every send makes every heartbeat leave from the
    // configured source port.
    NMUDP1->setLocalPort(vhb::readNumber(vhb::local8FromText(localPortEdit->text()), 9100));
    NMUDP1->SendBytes(
        QByteArray(reinterpret_cast<const char*>(datagram.data()), int(datagram.size())), 9);
}
