#include "cpumon/cpu_evaluation.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace vhb {

namespace {

constexpr int32_t kMaxRepeatCount = 9999;

// The sample in percent, in general form with at most 15 significant digits
// and no trailing zeros; independent of the process's C locale.
std::string percentText(int32_t sample, std::string_view decimalSeparator) {
    std::array<char, 32> buffer{};
    const auto r = std::to_chars(buffer.data(), buffer.data() + buffer.size(), sample / 10.0,
                                 std::chars_format::general, 15);
    std::string text(buffer.data(), r.ptr);
    if (const size_t dot = text.find('.'); dot != std::string::npos)
        text.replace(dot, 1, decimalSeparator);
    return text;
}

}  // namespace

CpuJudgement judgeCpuSample(int32_t sample, int countsPosition, int32_t& SameValueCount,
                            int32_t& LastCpuValue, int& WaitingForStart,
                            std::string_view decimalSeparator) {
    if (sample == LastCpuValue) {
        ++SameValueCount;
    } else {
        SameValueCount = 0;
    }
    if (sample > 0)
        WaitingForStart = 0;
    if (WaitingForStart == 1)
        SameValueCount = 0;
    LastCpuValue = sample;
    if (SameValueCount > kMaxRepeatCount)
        SameValueCount = kMaxRepeatCount;

    CpuJudgement j{CpuVerdict::WT, "CPU (" + percentText(sample, decimalSeparator) + "%) Count " +
                                       std::to_string(SameValueCount) + "/" +
                                       std::to_string(countsPosition)};
    if (WaitingForStart == 0) {
        // Fewer repeats than "Counts": the application is still working.
        if (countsPosition >= SameValueCount + 1) {
            j.verdict = CpuVerdict::OK;
            j.text += " OK";
        } else {
            j.verdict = CpuVerdict::NG;
            j.text += " NG";
        }
    } else {
        j.text += " WT";
    }
    return j;
}

int32_t sampleFromPercent(double v) {
    const double tenths = v * 10.0;
    if (std::isnan(tenths))
        return 0;
    double rounded = std::round(tenths);  // halves away from zero
    if (std::fabs(tenths - std::trunc(tenths)) == 0.5)
        rounded = 2.0 * std::round(tenths / 2.0);
    if (rounded >= static_cast<double>(std::numeric_limits<int32_t>::max())) {
        return std::numeric_limits<int32_t>::max();
    }
    if (rounded <= static_cast<double>(std::numeric_limits<int32_t>::min())) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(rounded);
}

}  // namespace vhb
