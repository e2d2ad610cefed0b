// The processor-time watch of one application: a sample once a second while
// the heartbeat runs, judged at once.
#include "cpumon/sampling_form.h"

#include <QByteArray>
#include <QCheckBox>
#include <QColor>
#include <QLineEdit>
#include <QTimer>

#include "common/user_locale.h"
#include "cpumon/cpu_evaluation.h"
#include "cpumon/pdh.h"
#include "settings/controls.h"
#include "settings/form2.h"
#include "settings/local_text.h"

vhb::PDH_HQUERY CpuQuery = nullptr;
vhb::PDH_HCOUNTER CpuCounter = nullptr;

void TForm2::CPUresourceStart() {
    // Every call stops the sampling first.
    Timer2->stop();
    if (!CheckBox2->isChecked())
        return;
    // The Stop case: the query stays open until the next start.
    if (CpuWatchRunning != 0) {
        CpuWatchRunning = 0;
        return;
    }
    const QByteArray path = "\\Process(" +
                            QByteArray::fromStdString(vhb::local8FromText(Edit2->text())) +
                            ")\\% Processor Time";
    if (CpuQuery != nullptr) {
        vhb::PdhCloseQuery(CpuQuery);
        CpuQuery = nullptr;
        CpuCounter = nullptr;
    }
    if (vhb::PdhOpenQueryA(nullptr, 0, &CpuQuery) != 0)
        return;
    if (vhb::addProcessCounter(CpuQuery, path.constData(), &CpuCounter) != 0)
        return;
    // The value is a rate between two readings: this first one makes the
    // first tick's sample possible.
    vhb::PdhCollectQueryData(CpuQuery);
    Timer2->setInterval(1000);
    Timer2->start();
    CpuWatchRunning = 1;
    // 9999 is no sample's value, so the first sample is never a repeat.
    SameValueCount = 0;
    LastCpuValue = 9999;
}

void TForm2::Timer2Timer() {
    if (CpuQuery == nullptr)
        return;
    vhb::PdhCollectQueryData(CpuQuery);
    vhb::PDH_FMT_COUNTERVALUE value{};
    int32_t sample = 0;  // a failed reading counts as 0
    if (vhb::PdhGetFormattedCounterValue(CpuCounter, vhb::PDH_FMT_DOUBLE, nullptr, &value) == 0) {
        sample = vhb::sampleFromPercent(value.doubleValue);
    }
    cpu_chk(sample);
}

// Each wake-up costs the workstation more than the sample itself, so the
// samples ride on the heartbeat's ticks: after each tick the sampling timer
// starts its period again, and a sample due within the next half second is
// taken at once. A heartbeat that comes every second (or every few) then
// carries every sample, and the sampling timer never wakes the program by
// itself. Lining up moves at most one sample, by at most half a second: the
// first, when saving the settings at Start took a while, or one after a
// tick that was held up. The sample is a rate between two readings, so a
// period a little shorter or longer changes nothing in its meaning.
void TForm2::takeSampleWithHeartbeat() {
    if (!Timer2->isActive())
        return;
    const bool due = Timer2->remainingTime() <= Timer2->interval() / 2;
    Timer2->start();
    if (due)
        Timer2Timer();
}

void TForm2::cpu_chk(int sample) {
    const vhb::CpuJudgement j =
        vhb::judgeCpuSample(sample, UpDown1->Position(), SameValueCount, LastCpuValue,
                            WaitingForStart, vhb::userDecimalSeparator());
    Panel6->setText(QString::fromLocal8Bit(j.text));
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
}

void TForm2::FormDestroy() {
    if (CpuQuery != nullptr) {
        vhb::PdhCloseQuery(CpuQuery);
        CpuQuery = nullptr;
        CpuCounter = nullptr;
    }
}
