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
#include <utility>

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

// The start of a stat line up to the end of the process's short name. The
// name has at most 15 characters, so its ")" lies within the first 32.
std::string_view statHead(std::string_view line) {
    const size_t close = line.substr(0, 32).rfind(')');
    return close == std::string_view::npos ? std::string_view() : line.substr(0, close + 1);
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

KeptProcess::KeptProcess(KeptProcess&& other) noexcept {
    *this = std::move(other);
}

KeptProcess& KeptProcess::operator=(KeptProcess&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        pid_ = other.pid_;
        startTime_ = other.startTime_;
        head_ = std::move(other.head_);
    }
    return *this;
}

bool KeptProcess::open(const cpumon::ProcessCandidate& found) {
    close();
    std::array<char, 32> path{};
    std::snprintf(path.data(), path.size(), "/proc/%d/stat", int(found.pid));
    fd_ = ::open(path.data(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0)
        return false;
    pid_ = found.pid;
    startTime_ = found.startTime;
    std::array<char, 1024> line{};
    const ssize_t n = pread(fd_, line.data(), line.size(), 0);
    const std::string_view text(line.data(), n > 0 ? size_t(n) : 0);
    head_.assign(statHead(text));
    // The pid may already name another process than the one the scan saw.
    if (!read()) {
        close();
        return false;
    }
    return true;
}

void KeptProcess::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

std::optional<cpumon::ProcessCandidate> KeptProcess::read() {
    if (fd_ < 0)
        return std::nullopt;
    std::array<char, 1024> line{};
    const ssize_t n = pread(fd_, line.data(), line.size(), 0);
    if (n <= 0)
        return std::nullopt;
    const std::string_view text(line.data(), size_t(n));
    const auto stat = cpumon::parseProcStat(text);
    if (!stat || stat->state == 'Z' || stat->state == 'X' || stat->startTime != startTime_ ||
        statHead(text) != head_)
        return std::nullopt;
    return cpumon::ProcessCandidate{stat->startTime, pid_, stat->utime + stat->stime};
}

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
