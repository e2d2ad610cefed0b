// The five performance-counter functions over /proc, for the processor-time
// watch on Linux. Only the "% Processor Time" counter of process instances
// exists. Values are formed at each collection, so reading a value costs
// nothing, and nothing is allocated per collection once the lists have their
// size.
//
// A collection scans every process only to find an instance: once found, the
// instance's stat file is kept open and read alone, together with those of
// the processes of its name that started before it (they decide its number).
// The scan comes back when one of them has ended or run another program.
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cpumon/counter_path.h"
#include "cpumon/pdh_api.h"
#include "proc_scan.h"

using vhb::PDH_FMT_COUNTERVALUE;
using vhb::PDH_HCOUNTER;
using vhb::PDH_HQUERY;
using vhb::PDH_STATUS;

namespace {

// Marks live objects, so that a stale or foreign handle is refused rather
// than used.
constexpr uint32_t kQueryMagic = 0x51485650;    // "PVHQ"
constexpr uint32_t kCounterMagic = 0x43485650;  // "PVHC"
// Instances numbered beyond this keep nothing open and are looked for by a
// scan at every collection, so that the descriptors stay few.
constexpr uint32_t kMaxKeptEarlier = 16;

// The instance that the last scan found, followed by its kept stat files.
class FollowedInstance {
public:
    // After a scan: keeps `found[index]` and the processes before it (the
    // candidates ordered up to `index`). Keeps nothing when any of them is
    // already gone or the index is beyond what is kept.
    void follow(std::span<const vhb::cpumon::ProcessCandidate> found, uint32_t index) {
        drop();
        if (index >= found.size() || index > kMaxKeptEarlier)
            return;
        earlier_.resize(index);
        for (uint32_t i = 0; i < index; ++i) {
            if (!earlier_[i].open(found[i])) {
                drop();
                return;
            }
        }
        if (!instance_.open(found[index]))
            drop();
    }

    // The instance now, without a scan; nothing when a scan is needed: the
    // instance or a process before it has ended or changed its name.
    std::optional<vhb::cpumon::ProcessCandidate> read() {
        auto now = instance_.read();
        for (auto& e : earlier_) {
            if (!now)
                break;
            if (!e.read())
                now.reset();
        }
        if (!now)
            drop();
        return now;
    }

private:
    void drop() {
        instance_.close();
        for (auto& e : earlier_)
            e.close();
    }

    vhb::pdhmodule::KeptProcess instance_;
    std::vector<vhb::pdhmodule::KeptProcess> earlier_;
};

struct Counter {
    uint32_t magic = kCounterMagic;
    vhb::pdhmodule::NameWatch watch;
    uint32_t index = 0;
    vhb::cpumon::TrackedProcess tracked;
    FollowedInstance followed;
    PDH_STATUS status = vhb::PDH_INVALID_DATA;  // until two collections have been taken
    double value = 0.0;

    ~Counter() { magic = 0; }
};

struct Query {
    uint32_t magic = kQueryMagic;
    std::vector<std::unique_ptr<Counter>> counters;
    std::vector<vhb::pdhmodule::NameWatch*> watches;  // every counter's
    std::vector<vhb::pdhmodule::NameWatch*> toScan;   // those not followed this time

    ~Query() { magic = 0; }
};

Query* asQuery(PDH_HQUERY h) {
    auto* q = static_cast<Query*>(h);
    return (q != nullptr && q->magic == kQueryMagic) ? q : nullptr;
}

Counter* asCounter(PDH_HCOUNTER h) {
    auto* c = static_cast<Counter*>(h);
    return (c != nullptr && c->magic == kCounterMagic) ? c : nullptr;
}

const long ticksPerSecond = sysconf(_SC_CLK_TCK);

// One collection's reading of a counter: the process as found now, or null.
void record(Counter& c, const vhb::cpumon::ProcessCandidate* found, uint64_t now) {
    const auto percent = vhb::cpumon::advanceReading(c.tracked, found, now, ticksPerSecond);
    c.status = percent ? vhb::PDH_CSTATUS_VALID_DATA : vhb::PDH_INVALID_DATA;
    c.value = percent.value_or(0.0);
}

}  // namespace

#define VHB_PDH_EXPORT extern "C" __attribute__((visibility("default")))

VHB_PDH_EXPORT PDH_STATUS PdhOpenQueryA(const char* source, uintptr_t, PDH_HQUERY* query) {
    if (query == nullptr)
        return vhb::PDH_INVALID_ARGUMENT;
    // Only live data: there are no log files to read from.
    if (source != nullptr)
        return vhb::PDH_INVALID_ARGUMENT;
    auto* q = new (std::nothrow) Query;
    if (q == nullptr)
        return vhb::PDH_MEMORY_ALLOCATION_FAILURE;
    *query = q;
    return vhb::PDH_CSTATUS_VALID_DATA;
}

VHB_PDH_EXPORT PDH_STATUS PdhAddCounterA(PDH_HQUERY query, const char* path, uintptr_t,
                                         PDH_HCOUNTER* counter) {
    Query* q = asQuery(query);
    if (q == nullptr)
        return vhb::PDH_INVALID_HANDLE;
    if (path == nullptr || counter == nullptr)
        return vhb::PDH_INVALID_ARGUMENT;
    const auto instance = vhb::cpumon::counterPathInstance(path);
    const auto ref = instance ? vhb::cpumon::parseInstance(*instance) : std::nullopt;
    if (!ref)
        return vhb::PDH_CSTATUS_BAD_COUNTERNAME;
    // A process that is not running yet is accepted: it is looked for at
    // every collection.
    try {
        auto c = std::make_unique<Counter>();
        c->watch.name = std::string(ref->name);
        c->watch.found.reserve(8);
        c->index = ref->index;
        q->watches.reserve(q->counters.size() + 1);
        q->toScan.reserve(q->counters.size() + 1);
        q->counters.push_back(std::move(c));
        q->watches.push_back(&q->counters.back()->watch);
    } catch (const std::bad_alloc&) {
        return vhb::PDH_MEMORY_ALLOCATION_FAILURE;
    }
    *counter = q->counters.back().get();
    return vhb::PDH_CSTATUS_VALID_DATA;
}

VHB_PDH_EXPORT PDH_STATUS PdhCollectQueryData(PDH_HQUERY query) {
    Query* q = asQuery(query);
    if (q == nullptr)
        return vhb::PDH_INVALID_HANDLE;
    if (q->counters.empty())
        return vhb::PDH_NO_DATA;
    q->toScan.clear();
    for (const auto& c : q->counters) {
        if (const auto p = c->followed.read())
            record(*c, &*p, vhb::pdhmodule::monotonicNs());
        else
            q->toScan.push_back(&c->watch);
    }
    if (q->toScan.empty())
        return vhb::PDH_CSTATUS_VALID_DATA;
    try {
        vhb::pdhmodule::scanProcesses(q->toScan);
    } catch (const std::bad_alloc&) {
        // Lists that could not grow miss some processes this time.
    }
    const uint64_t now = vhb::pdhmodule::monotonicNs();
    for (const auto& c : q->counters) {
        if (std::find(q->toScan.begin(), q->toScan.end(), &c->watch) == q->toScan.end())
            continue;
        const vhb::cpumon::ProcessCandidate* p =
            vhb::cpumon::pickInstance(c->watch.found, c->index);
        record(*c, p, now);
        try {
            c->followed.follow(c->watch.found, c->index);
        } catch (const std::bad_alloc&) {
            // Not followed: the next collection scans again.
        }
    }
    return vhb::PDH_CSTATUS_VALID_DATA;
}

VHB_PDH_EXPORT PDH_STATUS PdhGetFormattedCounterValue(PDH_HCOUNTER counter, uint32_t format,
                                                      uint32_t* type, PDH_FMT_COUNTERVALUE* value) {
    Counter* c = asCounter(counter);
    if (c == nullptr)
        return vhb::PDH_INVALID_HANDLE;
    return vhb::formatProcessorTime(c->status, c->value, format, type, value);
}

VHB_PDH_EXPORT PDH_STATUS PdhCloseQuery(PDH_HQUERY query) {
    Query* q = asQuery(query);
    if (q == nullptr)
        return vhb::PDH_INVALID_HANDLE;
    delete q;
    return vhb::PDH_CSTATUS_VALID_DATA;
}
