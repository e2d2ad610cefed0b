#include "cpumon/counter_path.h"

#include <algorithm>
#include <charconv>

namespace vhb::cpumon {

namespace {

constexpr std::string_view kPathStart = "\\Process(";
constexpr std::string_view kPathEnd = ")\\% Processor Time";

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

bool allDigits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Reads an unsigned decimal field and moves past it and one following space.
bool readField(std::string_view& rest, uint64_t& out) {
    const auto r = std::from_chars(rest.data(), rest.data() + rest.size(), out);
    if (r.ec != std::errc() || r.ptr == rest.data())
        return false;
    rest.remove_prefix(static_cast<size_t>(r.ptr - rest.data()));
    if (!rest.empty() && rest.front() == ' ')
        rest.remove_prefix(1);
    return true;
}

// Skips one space-separated field (which may be negative).
bool skipField(std::string_view& rest) {
    const size_t space = rest.find(' ');
    if (space == 0 || rest.empty())
        return false;
    rest.remove_prefix(space == std::string_view::npos ? rest.size() : space + 1);
    return true;
}

}  // namespace

std::optional<std::string_view> counterPathInstance(std::string_view path) {
    if (path.size() <= kPathStart.size() + kPathEnd.size())
        return std::nullopt;
    if (!equalsIgnoringCase(path.substr(0, kPathStart.size()), kPathStart))
        return std::nullopt;
    if (!equalsIgnoringCase(path.substr(path.size() - kPathEnd.size()), kPathEnd)) {
        return std::nullopt;
    }
    return path.substr(kPathStart.size(), path.size() - kPathStart.size() - kPathEnd.size());
}

std::optional<InstanceRef> parseInstance(std::string_view instance) {
    InstanceRef ref{instance, 0};
    const size_t hash = instance.rfind('#');
    if (hash != std::string_view::npos) {
        const std::string_view digits = instance.substr(hash + 1);
        if (allDigits(digits)) {
            // Nine digits always fit; more would name an instance no system has.
            if (digits.size() > 9)
                return std::nullopt;
            std::from_chars(digits.data(), digits.data() + digits.size(), ref.index);
            ref.name = instance.substr(0, hash);
        }
    }
    if (ref.name.empty())
        return std::nullopt;
    return ref;
}

std::string_view processNameFromExe(std::string_view exePath) {
    constexpr std::string_view kDeleted = " (deleted)";
    if (exePath.ends_with(kDeleted))
        exePath.remove_suffix(kDeleted.size());
    const size_t slash = exePath.rfind('/');
    if (slash != std::string_view::npos)
        exePath.remove_prefix(slash + 1);
    const size_t dot = exePath.rfind('.');
    if (dot != std::string_view::npos)
        exePath = exePath.substr(0, dot);
    return exePath;
}

std::string_view processNameFromComm(std::string_view comm) {
    if (comm.ends_with('\n'))
        comm.remove_suffix(1);
    return comm;
}

std::optional<ProcStat> parseProcStat(std::string_view line) {
    // The short name in parentheses may itself hold spaces and parentheses;
    // the fields start after the last ")".
    const size_t close = line.rfind(')');
    if (close == std::string_view::npos || close + 2 >= line.size())
        return std::nullopt;
    std::string_view rest = line.substr(close + 2);
    ProcStat stat;
    stat.state = rest.front();
    // Fields from 3 (state) on; utime is 14, stime 15, starttime 22.
    for (int field = 3; field <= 13; ++field) {
        if (!skipField(rest))
            return std::nullopt;
    }
    if (!readField(rest, stat.utime) || !readField(rest, stat.stime))
        return std::nullopt;
    for (int field = 16; field <= 21; ++field) {
        if (!skipField(rest))
            return std::nullopt;
    }
    if (!readField(rest, stat.startTime))
        return std::nullopt;
    return stat;
}

const ProcessCandidate* pickInstance(std::span<ProcessCandidate> candidates, uint32_t index) {
    if (index >= candidates.size())
        return nullptr;
    auto earlier = [](const ProcessCandidate& a, const ProcessCandidate& b) {
        return a.startTime != b.startTime ? a.startTime < b.startTime : a.pid < b.pid;
    };
    std::nth_element(candidates.begin(), candidates.begin() + index, candidates.end(), earlier);
    return &candidates[index];
}

std::optional<double> processorPercent(uint64_t ticks, uint64_t elapsedNs, long ticksPerSecond) {
    if (elapsedNs == 0 || ticksPerSecond <= 0)
        return std::nullopt;
    const double busySeconds = static_cast<double>(ticks) / static_cast<double>(ticksPerSecond);
    const double percent = busySeconds * 1e9 / static_cast<double>(elapsedNs) * 100.0;
    return std::min(percent, 100.0);
}

std::optional<double> advanceReading(TrackedProcess& tracked, const ProcessCandidate* found,
                                     uint64_t nowNs, long ticksPerSecond) {
    if (found == nullptr) {
        tracked.seen = false;
        return std::nullopt;
    }
    const TrackedProcess before = tracked;
    tracked = TrackedProcess{true, found->pid, found->startTime, found->cpuTicks, nowNs};
    const bool sameProcess =
        before.seen && before.pid == found->pid && before.startTime == found->startTime;
    if (!sameProcess || nowNs < before.timeNs)
        return std::nullopt;
    // The kernel's counts never go back for one process; guard all the same.
    const uint64_t ticks =
        found->cpuTicks >= before.cpuTicks ? found->cpuTicks - before.cpuTicks : 0;
    return processorPercent(ticks, nowNs - before.timeNs, ticksPerSecond);
}

}  // namespace vhb::cpumon
