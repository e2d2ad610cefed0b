// A stand-in for the system's counter library in the end-to-end bed under
// Wine, whose own has no per-process counter. Placed beside the program only
// there (never in the zip), it serves "\Process(name#N)\% Processor Time"
// from values the test writes: the file <VHB_PDH_VALUES>\<name#N> holds the
// process's processor time so far in 100 ns units; no file is no such
// process. The path in the system's own language is refused, as on a system
// in another language, so the program reaches it through the English call.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "cpumon/counter_path.h"
#include "cpumon/pdh_api.h"

using vhb::PDH_FMT_COUNTERVALUE;
using vhb::PDH_HCOUNTER;
using vhb::PDH_HQUERY;
using vhb::PDH_STATUS;

namespace {

constexpr uint32_t kQueryMagic = 0x51535650;
constexpr uint32_t kCounterMagic = 0x43535650;
constexpr long kUnitsPerSecond = 10'000'000;

struct Counter {
    uint32_t magic = kCounterMagic;
    std::string instance;
    vhb::cpumon::TrackedProcess tracked;
    PDH_STATUS status = vhb::PDH_INVALID_DATA;
    double value = 0.0;
    Counter* next = nullptr;
};

struct Query {
    uint32_t magic = kQueryMagic;
    std::unique_ptr<Counter> first;
    ~Query() {
        while (first)
            first.reset(std::exchange(first->next, nullptr));
    }
};

Query* asQuery(PDH_HQUERY h) {
    auto* q = static_cast<Query*>(h);
    return q != nullptr && q->magic == kQueryMagic ? q : nullptr;
}

Counter* asCounter(PDH_HCOUNTER h) {
    auto* c = static_cast<Counter*>(h);
    return c != nullptr && c->magic == kCounterMagic ? c : nullptr;
}

// The processor time the test wrote for an instance; false: not running.
bool readValue(const std::string& instance, uint64_t& value) {
    char folder[MAX_PATH];
    const DWORD n = GetEnvironmentVariableA("VHB_PDH_VALUES", folder, sizeof folder);
    if (n == 0 || n >= sizeof folder)
        return false;
    const std::string path = std::string(folder) + "\\" + instance;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return false;
    unsigned long long v = 0;
    const bool ok = std::fscanf(f, "%llu", &v) == 1;
    std::fclose(f);
    value = v;
    return ok;
}

uint64_t nowNs() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

PDH_STATUS addCounter(PDH_HQUERY query, const char* path, PDH_HCOUNTER* counter) {
    Query* q = asQuery(query);
    if (q == nullptr)
        return vhb::PDH_INVALID_HANDLE;
    if (path == nullptr || counter == nullptr)
        return vhb::PDH_INVALID_ARGUMENT;
    const auto instance = vhb::cpumon::counterPathInstance(path);
    if (!instance)
        return vhb::PDH_CSTATUS_BAD_COUNTERNAME;
    auto* c = new (std::nothrow) Counter;
    if (c == nullptr)
        return vhb::PDH_MEMORY_ALLOCATION_FAILURE;
    c->instance = std::string(*instance);
    c->next = q->first.release();
    q->first.reset(c);
    *counter = c;
    return vhb::PDH_CSTATUS_VALID_DATA;
}

}  // namespace

#define VHB_STANDIN_EXPORT extern "C" __declspec(dllexport)

VHB_STANDIN_EXPORT PDH_STATUS PdhOpenQueryA(const char* source, uintptr_t, PDH_HQUERY* query) {
    if (query == nullptr || source != nullptr)
        return vhb::PDH_INVALID_ARGUMENT;
    auto* q = new (std::nothrow) Query;
    if (q == nullptr)
        return vhb::PDH_MEMORY_ALLOCATION_FAILURE;
    *query = q;
    return vhb::PDH_CSTATUS_VALID_DATA;
}

VHB_STANDIN_EXPORT PDH_STATUS PdhAddCounterA(PDH_HQUERY, const char*, uintptr_t, PDH_HCOUNTER*) {
    return vhb::PDH_CSTATUS_BAD_COUNTERNAME;
}

VHB_STANDIN_EXPORT PDH_STATUS PdhAddEnglishCounterA(PDH_HQUERY query, const char* path, uintptr_t,
                                                    PDH_HCOUNTER* counter) {
    return addCounter(query, path, counter);
}

VHB_STANDIN_EXPORT PDH_STATUS PdhCollectQueryData(PDH_HQUERY query) {
    Query* q = asQuery(query);
    if (q == nullptr)
        return vhb::PDH_INVALID_HANDLE;
    if (!q->first)
        return vhb::PDH_NO_DATA;
    const uint64_t now = nowNs();
    for (Counter* c = q->first.get(); c != nullptr; c = c->next) {
        uint64_t value = 0;
        vhb::cpumon::ProcessCandidate found{1, 1, 0};
        const bool running = readValue(c->instance, value);
        found.cpuTicks = value;
        const auto percent = vhb::cpumon::advanceReading(c->tracked, running ? &found : nullptr,
                                                         now, kUnitsPerSecond);
        c->status = percent ? vhb::PDH_CSTATUS_VALID_DATA : vhb::PDH_INVALID_DATA;
        c->value = percent.value_or(0.0);
    }
    return vhb::PDH_CSTATUS_VALID_DATA;
}

VHB_STANDIN_EXPORT PDH_STATUS PdhGetFormattedCounterValue(PDH_HCOUNTER counter, uint32_t format,
                                                          uint32_t* type,
                                                          PDH_FMT_COUNTERVALUE* value) {
    Counter* c = asCounter(counter);
    if (c == nullptr)
        return vhb::PDH_INVALID_HANDLE;
    return vhb::formatProcessorTime(c->status, c->value, format, type, value);
}

VHB_STANDIN_EXPORT PDH_STATUS PdhCloseQuery(PDH_HQUERY query) {
    Query* q = asQuery(query);
    if (q == nullptr)
        return vhb::PDH_INVALID_HANDLE;
    q->magic = 0;
    delete q;
    return vhb::PDH_CSTATUS_VALID_DATA;
}
