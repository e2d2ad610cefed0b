#include "proc_scan.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace vhb::pdhmodule {

namespace {

// Reads a small /proc text file into `buffer`; its text, or empty.
std::string_view readSmallFile(const char* path, char* buffer, size_t size) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    const ssize_t n = read(fd, buffer, size);
    close(fd);
    return n > 0 ? std::string_view(buffer, static_cast<size_t>(n)) : std::string_view();
}

bool isPidName(const char* s) {
    if (*s == '\0')
        return false;
    for (; *s != '\0'; ++s) {
        if (*s < '0' || *s > '9')
            return false;
    }
    return true;
}

}  // namespace

uint64_t monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000000ull + static_cast<uint64_t>(ts.tv_nsec);
}

void scanProcesses(std::vector<NameWatch*>& watches) {
    for (NameWatch* w : watches)
        w->found.clear();
    if (watches.empty())
        return;
    DIR* dir = opendir("/proc");
    if (dir == nullptr)
        return;
    std::array<char, 288> path{};  // room for any folder entry name
    std::array<char, PATH_MAX> target{};
    std::array<char, 1024> statLine{};
    while (const dirent* entry = readdir(dir)) {
        if (!isPidName(entry->d_name))
            continue;
        std::snprintf(path.data(), path.size(), "/proc/%s/exe", entry->d_name);
        std::string_view name;
        const ssize_t n = readlink(path.data(), target.data(), target.size());
        if (n > 0) {
            name = cpumon::processNameFromExe(std::string_view(target.data(), size_t(n)));
        } else {
            // Other users' processes and kernel threads hide their file; the
            // short name is the best there is.
            std::snprintf(path.data(), path.size(), "/proc/%s/comm", entry->d_name);
            name = cpumon::processNameFromComm(
                readSmallFile(path.data(), target.data(), target.size()));
        }
        if (name.empty())
            continue;
        std::optional<cpumon::ProcStat> stat;
        bool statRead = false;
        for (NameWatch* w : watches) {
            if (w->name != name)
                continue;
            if (!statRead) {
                statRead = true;
                std::snprintf(path.data(), path.size(), "/proc/%s/stat", entry->d_name);
                stat = cpumon::parseProcStat(
                    readSmallFile(path.data(), statLine.data(), statLine.size()));
            }
            // A process that has ended but not been reaped is not running.
            if (!stat || stat->state == 'Z' || stat->state == 'X')
                break;
            w->found.push_back(cpumon::ProcessCandidate{
                stat->startTime, static_cast<int32_t>(std::atoi(entry->d_name)),
                stat->utime + stat->stime});
        }
    }
    closedir(dir);
}

}  // namespace vhb::pdhmodule
