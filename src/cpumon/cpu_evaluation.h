#pragma once
// The judgement of each processor-time sample of the watched application: a
// reading that stays exactly the same for "Counts" samples in a row means the
// application has stopped working, and the heartbeat is held.
#include <cstdint>
#include <string>
#include <string_view>

namespace vhb {

enum class CpuVerdict { OK, NG, WT };

struct CpuJudgement {
    CpuVerdict verdict;
    std::string text;  // e.g. "CPU (12.3%) Count 0/10 OK"
};

// One sample (tenths of a percent, 0 also for a failed reading) judged
// against the "Counts" position; updates the repeat count, the previous
// sample and the waiting-for-start flag as the window keeps them. The
// percentage is written with the user's decimal separator (bytes in the
// system's 8-bit encoding).
CpuJudgement judgeCpuSample(int32_t sample, int countsPosition, int32_t& SameValueCount,
                            int32_t& LastCpuValue, int& WaitingForStart,
                            std::string_view decimalSeparator = ".");

// A counter value in percent as a sample: times 10, a half going to the even
// neighbour.
int32_t sampleFromPercent(double v);

}  // namespace vhb
