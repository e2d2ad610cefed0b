#pragma once
// Finding the running processes of one program name under /proc.
#include <cstdint>
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

// The monotonic clock in nanoseconds.
uint64_t monotonicNs();

}  // namespace vhb::pdhmodule
