#pragma once
// The application watch: the processor time of one process instance,
// sampled once a second while the heartbeat runs and judged at once. It owns
// its query and counter, its sampling timer and the judgement's state. What
// it watches it reads, at each use, from the settings that its owner gives;
// what it finds goes to its owner's status panel and heartbeat hold.
#include <QObject>
#include <cstdint>
#include <functional>
#include <string>

#include "cpumon/cpu_evaluation.h"
#include "cpumon/pdh.h"

class QTimer;

namespace vhb {

// The performance-counter calls the application watch makes: the system's,
// each bound at its first call, unless a test gives its own.
struct CpuCounterCalls {
    using Open = PDH_STATUS (*)(const char* source, uintptr_t userData, PDH_HQUERY* query);
    using Add = PDH_STATUS (*)(PDH_HQUERY query, const char* path, PDH_HCOUNTER* counter);
    using Collect = PDH_STATUS (*)(PDH_HQUERY query);
    using Value = PDH_STATUS (*)(PDH_HCOUNTER counter, uint32_t format, uint32_t* type,
                                 PDH_FMT_COUNTERVALUE* value);
    using Close = PDH_STATUS (*)(PDH_HQUERY query);

    Open open = PdhOpenQueryA;
    Add add = addProcessCounter;  // in the system's language, else in English
    Collect collect = PdhCollectQueryData;
    Value value = PdhGetFormattedCounterValue;
    Close close = PdhCloseQuery;
};

}  // namespace vhb

class TCpuWatch : public QObject {
public:
    using CounterCalls = vhb::CpuCounterCalls;

    explicit TCpuWatch(QObject* owner = nullptr, CounterCalls calls = {});
    // Closes the query; an error there has nobody left to be shown to.
    ~TCpuWatch() override;

    // The settings, read at the moment they are needed:
    std::function<bool()> AutoStartEnabled;  // "Auto Start Enabled"
    std::function<std::string()> Instance;   // e.g. "agent#0", in the 8-bit encoding
    std::function<int()> Counts;             // "Counts"
    // Each judged sample: the owner shows it and holds or releases the
    // heartbeat.
    std::function<void(const vhb::CpuJudgement&)> OnJudged;

    CounterCalls Calls;
    QTimer* Timer2;  // one sample per tick
    // The open query with its one counter; null when none is open.
    vhb::PDH_HQUERY CpuQuery = nullptr;
    vhb::PDH_HCOUNTER CpuCounter = nullptr;
    // Set by the heartbeat's Start ("Waiting for start") and cleared by the
    // first non-zero sample.
    int WaitingForStart = 0;
    // 1 from a Stop until the next start: the next CPUresourceStart only
    // stops the sampling.
    int CpuWatchRunning = 0;
    int32_t SameValueCount = 0;
    int32_t LastCpuValue = 9999;

    // Stops the sampling; then, with "Auto Start Enabled" and not after a
    // Stop, opens the query for the instance and samples from a second on.
    void CPUresourceStart();
    void Timer2Timer();              // one sample, judged
    void takeSampleWithHeartbeat();  // after each heartbeat tick
    void cpu_chk(int sample);
    void FormDestroy();  // closes the query
};
