#pragma once
// Finding the running processes of one program name under /proc.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cpumon/counter_path.h"

namespace vhb::pdhmodule {

// One name being looked for and the processes of that name found.
struct NameWatch {
    std::string name;
    std::vector<cpumon::ProcessCandidate> found;  // capacity kept between scans
};

// One pass over /proc: clears every watch's list and fills it with the
// running (not zombie) processes of its name. Allocates nothing itself beyond
// what reading the folder needs, once the lists have grown to their size.
void scanProcesses(std::vector<NameWatch*>& watches);

// A process's stat file kept open, so that following the process costs one
// read. The descriptor stays with the process it was opened for: once that
// process has ended, reading fails even if its pid is given to another.
class KeptProcess {
public:
    KeptProcess() = default;
    KeptProcess(const KeptProcess&) = delete;
    KeptProcess& operator=(const KeptProcess&) = delete;
    KeptProcess(KeptProcess&& other) noexcept;
    KeptProcess& operator=(KeptProcess&& other) noexcept;
    ~KeptProcess() { close(); }

    // Opens the stat file of the process that a scan found; false when it is
    // no longer that process (ended, or its pid already reused).
    bool open(const cpumon::ProcessCandidate& found);
    void close();
    // The process as it is now; nothing once it has ended, become a zombie,
    // or changed its name (by running another program).
    std::optional<cpumon::ProcessCandidate> read();

private:
    int fd_ = -1;
    int32_t pid_ = 0;
    uint64_t startTime_ = 0;
    std::string head_;  // "PID (name)", the start of the stat line
};

// The monotonic clock in nanoseconds.
uint64_t monotonicNs();

}  // namespace vhb::pdhmodule
