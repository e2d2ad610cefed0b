#include "cpumon/cpu_watch.h"

#include <QTimer>

#include "common/guard.h"
#include "common/user_locale.h"

TCpuWatch::TCpuWatch(QObject* owner, CounterCalls calls) : QObject(owner), Calls(calls) {
    setObjectName(QStringLiteral("CpuWatch"));
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(3000);
    // Its ticks are lined up with the heartbeat's (takeSampleWithHeartbeat),
    // which a coarse timer's rounding would undo.
    Timer2->setTimerType(Qt::PreciseTimer);
    connect(Timer2, &QTimer::timeout, this, vhb::guard([this] { Timer2Timer(); }));
}

TCpuWatch::~TCpuWatch() {
    // The process is ending: an error here (a late-bound function that cannot
    // be found) must not abort the exit.
    try {
        FormDestroy();
    } catch (...) {
    }
}

void TCpuWatch::CPUresourceStart() {
    // Every call stops the sampling first.
    Timer2->stop();
    if (!AutoStartEnabled || !AutoStartEnabled())
        return;
    // The Stop case: the query stays open until the next start.
    if (CpuWatchRunning != 0) {
        CpuWatchRunning = 0;
        return;
    }
    const std::string path =
        "\\Process(" + (Instance ? Instance() : std::string()) + ")\\% Processor Time";
    if (CpuQuery != nullptr) {
        Calls.close(CpuQuery);
        CpuQuery = nullptr;
        CpuCounter = nullptr;
    }
    if (Calls.open(nullptr, 0, &CpuQuery) != 0)
        return;
    if (Calls.add(CpuQuery, path.c_str(), &CpuCounter) != 0)
        return;
    // The value is a rate between two readings: this first one makes the
    // first tick's sample possible.
    Calls.collect(CpuQuery);
    Timer2->setInterval(1000);
    Timer2->start();
    CpuWatchRunning = 1;
    // 9999 is no sample's value, so the first sample is never a repeat.
    SameValueCount = 0;
    LastCpuValue = 9999;
}

void TCpuWatch::Timer2Timer() {
    if (CpuQuery == nullptr)
        return;
    Calls.collect(CpuQuery);
    vhb::PDH_FMT_COUNTERVALUE value{};
    int32_t sample = 0;  // a failed reading counts as 0
    if (Calls.value(CpuCounter, vhb::PDH_FMT_DOUBLE, nullptr, &value) == 0)
        sample = vhb::sampleFromPercent(value.doubleValue);
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
void TCpuWatch::takeSampleWithHeartbeat() {
    if (!Timer2->isActive())
        return;
    const bool due = Timer2->remainingTime() <= Timer2->interval() / 2;
    Timer2->start();
    if (due)
        Timer2Timer();
}

void TCpuWatch::cpu_chk(int sample) {
    const vhb::CpuJudgement j =
        vhb::judgeCpuSample(sample, Counts ? Counts() : 10, SameValueCount, LastCpuValue,
                            WaitingForStart, vhb::userDecimalSeparator());
    if (OnJudged)
        OnJudged(j);
}

void TCpuWatch::FormDestroy() {
    if (CpuQuery != nullptr) {
        Calls.close(CpuQuery);
        CpuQuery = nullptr;
        CpuCounter = nullptr;
    }
}
