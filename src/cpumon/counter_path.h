#pragma once
// The pure parts of processor-time sampling on a system without the system's
// performance counters: reading the counter path and its process instance,
// naming a process, reading the kernel's per-process status line, choosing
// the instance among processes of one name, and forming the rate between two
// readings.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace vhb::cpumon {

// The instance text of "\Process(" instance ")\% Processor Time"; the fixed
// parts match in any letter case. Nothing for any other path or an empty
// instance.
std::optional<std::string_view> counterPathInstance(std::string_view path);

// A process instance: a program name and the number among the processes of
// that name, 0 being the one started first.
struct InstanceRef {
    std::string_view name;
    uint32_t index = 0;
};

// "agent#1" -> agent, 1; "agent" -> agent, 0. Only decimal digits after the
// last "#" make an index; otherwise the "#" belongs to the name. Nothing for
// an empty name or an index beyond 9 digits.
std::optional<InstanceRef> parseInstance(std::string_view instance);

// The program name of an executable's path: its file name without the text
// from the last "."; the " (deleted)" mark of a replaced file is dropped.
std::string_view processNameFromExe(std::string_view exePath);

// The program name from the kernel's short name text (its line end dropped).
std::string_view processNameFromComm(std::string_view comm);

// The fields of one /proc/PID/stat line that the sampling needs; times are in
// clock ticks.
struct ProcStat {
    char state = '?';
    uint64_t utime = 0;
    uint64_t stime = 0;
    uint64_t startTime = 0;
};

std::optional<ProcStat> parseProcStat(std::string_view line);

// A running process of the watched name, as one collection found it.
struct ProcessCandidate {
    uint64_t startTime = 0;
    int32_t pid = 0;
    uint64_t cpuTicks = 0;  // user + system time of all its threads
};

// The index-th candidate ordered by start time, then pid, or null when there
// are not that many. Reorders the candidates.
const ProcessCandidate* pickInstance(std::span<ProcessCandidate> candidates, uint32_t index);

// The share of one processor's time, in percent, that `ticks` clock ticks of
// processor time are of `elapsedNs` nanoseconds, capped at 100. Nothing when
// no time has passed.
std::optional<double> processorPercent(uint64_t ticks, uint64_t elapsedNs, long ticksPerSecond);

// What the previous collection saw of one counter's process.
struct TrackedProcess {
    bool seen = false;
    int32_t pid = 0;
    uint64_t startTime = 0;
    uint64_t cpuTicks = 0;
    uint64_t timeNs = 0;
};

// One collection of one counter: the process found now (or null) at the
// monotonic time `nowNs`. Gives a value only when the same process (pid and
// start time) was also seen by the previous collection, so that a first
// sighting, a restart or a change of instance gives one failed reading.
std::optional<double> advanceReading(TrackedProcess& tracked, const ProcessCandidate* found,
                                     uint64_t nowNs, long ticksPerSecond);

}  // namespace vhb::cpumon
