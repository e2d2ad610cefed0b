// One processor-time sample as the sampling tick takes it (one collection and
// the formatted value, through the bound functions and our /proc module)
// against this very process, and one judgement of a sample. The share of one
// core at one sample a second is the sample's time divided by one second,
// shown as the counter "core_share_at_1Hz_pct".
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <time.h>

#include <cctype>
#include <cstdint>

#include "cpumon/cpu_evaluation.h"
#include "cpumon/pdh.h"

namespace {

int64_t processCpuNs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1'000'000'000LL + ts.tv_nsec;
}

int processCount() {
    int n = 0;
    if (DIR* d = opendir("/proc")) {
        while (const dirent* e = readdir(d))
            n += std::isdigit(static_cast<unsigned char>(e->d_name[0])) ? 1 : 0;
        closedir(d);
    }
    return n;
}

void BM_CpuSample(benchmark::State& state) {
    vhb::PDH_HQUERY query = nullptr;
    vhb::PDH_HCOUNTER counter = nullptr;
    if (vhb::PdhOpenQueryA(nullptr, 0, &query) != 0 ||
        vhb::PdhAddCounterA(query, "\\Process(bench_cpumon#0)\\% Processor Time", 0, &counter) !=
            0) {
        state.SkipWithError("the processor-time query could not be opened");
        return;
    }
    vhb::PdhCollectQueryData(query);
    int32_t sample = 0;
    const int64_t cpuBefore = processCpuNs();
    for (auto _ : state) {
        vhb::PdhCollectQueryData(query);
        vhb::PDH_FMT_COUNTERVALUE value{};
        if (vhb::PdhGetFormattedCounterValue(counter, vhb::PDH_FMT_DOUBLE, nullptr, &value) == 0) {
            sample = vhb::sampleFromPercent(value.doubleValue);
        }
        benchmark::DoNotOptimize(sample);
    }
    const int64_t cpuPerSample = (processCpuNs() - cpuBefore) / int64_t(state.iterations());
    vhb::PdhCloseQuery(query);
    // Processor time of one sample as a share of one second of one core.
    state.counters["core_share_at_1Hz_pct"] = double(cpuPerSample) / 1e9 * 100.0;
    state.counters["processes"] = processCount();
}
BENCHMARK(BM_CpuSample)->Unit(benchmark::kMicrosecond);

void BM_JudgeCpuSample(benchmark::State& state) {
    int32_t same = 0;
    int32_t last = 9999;
    int waiting = 0;
    int32_t sample = 0;
    for (auto _ : state) {
        // Alternating samples never reach NG; every call builds its text.
        sample ^= 1;
        vhb::CpuJudgement j = vhb::judgeCpuSample(sample, 10, same, last, waiting);
        benchmark::DoNotOptimize(j);
    }
}
BENCHMARK(BM_JudgeCpuSample);

}  // namespace

BENCHMARK_MAIN();
