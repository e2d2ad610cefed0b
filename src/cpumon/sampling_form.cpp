// The settings window's side of the application watch: what the watch reads
// of the controls, where its verdicts go, and the window's handlers, which
// keep their names and forward to the watch.
#include <QCheckBox>
#include <QColor>

#include "common/local_text.h"
#include "cpumon/cpu_watch.h"
#include "settings/controls.h"
#include "settings/form2.h"

void TForm2::attachCpuWatch() {
    CpuWatch = new TCpuWatch(this);
    Timer2 = CpuWatch->Timer2;
    CpuWatch->AutoStartEnabled = [this] { return CheckBox2->isChecked(); };
    CpuWatch->Instance = [this] { return vhb::local8FromText(Edit2->text()); };
    CpuWatch->Counts = [this] { return UpDown1->Position(); };
    CpuWatch->OnJudged = [this](const vhb::CpuJudgement& j) {
        Panel6->setText(vhb::textFromLocal8(j.text));
        switch (j.verdict) {
            case vhb::CpuVerdict::OK:
                Panel6->setColor(QColor(0, 255, 0));
                HoldHeartbeat = false;
                break;
            case vhb::CpuVerdict::NG:
                Panel6->setColor(QColor(255, 0, 0));
                HoldHeartbeat = true;
                break;
            case vhb::CpuVerdict::WT:
                Panel6->setColor(Qt::white);
                break;
        }
    };
}

void TForm2::CPUresourceStart() {
    CpuWatch->CPUresourceStart();
}

void TForm2::Timer2Timer() {
    CpuWatch->Timer2Timer();
}

void TForm2::takeSampleWithHeartbeat() {
    CpuWatch->takeSampleWithHeartbeat();
}

void TForm2::cpu_chk(int sample) {
    CpuWatch->cpu_chk(sample);
}

void TForm2::FormDestroy() {
    CpuWatch->FormDestroy();
}
