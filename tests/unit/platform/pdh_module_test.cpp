// The processor-time module over /proc, loaded as the program loads it and
// read against real processes that the test starts under names of its own.
#include <dlfcn.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cpumon/pdh.h"
#include "cpumon/pdh_api.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct Module {
    void* handle = nullptr;
    vhb::PdhOpenQueryAProc open = nullptr;
    vhb::PdhAddCounterAProc add = nullptr;
    vhb::PdhCollectQueryDataProc collect = nullptr;
    vhb::PdhGetFormattedCounterValueProc value = nullptr;
    vhb::PdhCloseQueryProc close = nullptr;
};

const Module& module() {
    static const Module m = [] {
        Module r;
        r.handle = dlopen(VHB_PDH_MODULE, RTLD_NOW | RTLD_LOCAL);
        if (r.handle == nullptr)
            return r;
        r.open = reinterpret_cast<vhb::PdhOpenQueryAProc>(dlsym(r.handle, "PdhOpenQueryA"));
        r.add = reinterpret_cast<vhb::PdhAddCounterAProc>(dlsym(r.handle, "PdhAddCounterA"));
        r.collect =
            reinterpret_cast<vhb::PdhCollectQueryDataProc>(dlsym(r.handle, "PdhCollectQueryData"));
        r.value = reinterpret_cast<vhb::PdhGetFormattedCounterValueProc>(
            dlsym(r.handle, "PdhGetFormattedCounterValue"));
        r.close = reinterpret_cast<vhb::PdhCloseQueryProc>(dlsym(r.handle, "PdhCloseQuery"));
        return r;
    }();
    return m;
}

// Thread count for a helper that must get close to a full processor while
// other programs compete for the machine.
std::string spinners() {
    return std::to_string(2 * std::max(1u, std::thread::hardware_concurrency()));
}

// How far a reading may lie from the kernel's own processor-time clock over
// the same window: the module reads whole clock ticks.
constexpr double kTolerance = 10.0;

// A moment: a process's processor time by the kernel's per-process clock
// (all threads, in nanoseconds) and the monotonic time.
struct Mark {
    int64_t cpuNs;
    int64_t wallNs;
};

Mark mark(pid_t pid) {
    timespec cpu{}, wall{};
    clockid_t clock{};
    if (clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &cpu) != 0) {
        ADD_FAILURE() << "no processor-time clock for " << pid;
    }
    clock_gettime(CLOCK_MONOTONIC, &wall);
    return {cpu.tv_sec * 1'000'000'000LL + cpu.tv_nsec,
            wall.tv_sec * 1'000'000'000LL + wall.tv_nsec};
}

// The share of one processor that the process got between two moments, in
// percent and capped at 100, as the reading should give it.
double share(const Mark& a, const Mark& b) {
    const double percent =
        100.0 * static_cast<double>(b.cpuNs - a.cpuNs) / static_cast<double>(b.wallNs - a.wallNs);
    return std::min(percent, 100.0);
}

std::string counterPath(const std::string& instance) {
    return "\\Process(" + instance + ")\\% Processor Time";
}

// A reading: the status, and the value when the status is 0.
struct Reading {
    vhb::PDH_STATUS status;
    double value;
};

// Starts copies of the helper under names of this test only and stops them
// at the end.
class PdhModule : public testing::Test {
protected:
    void SetUp() override {
        const Module& m = module();
        ASSERT_NE(m.handle, nullptr) << dlerror();
        ASSERT_TRUE(m.open && m.add && m.collect && m.value && m.close);
        char tmpl[] = "/tmp/vhb-pdh-test-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        ASSERT_EQ(m.open(nullptr, 0, &query_), 0);
    }

    void TearDown() override {
        for (pid_t pid : children_)
            stop(pid);
        if (query_ != nullptr)
            module().close(query_);
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    // A name that no other process has; its file carries an extension, which
    // the instance name leaves out.
    std::string uniqueName() {
        static int serial = 0;
        const std::string name = "vhbt" + std::to_string(getpid()) + "n" + std::to_string(serial++);
        const fs::path copy = dir_ / (name + ".bin");
        fs::copy_file(VHB_BUSY_HELPER, copy);
        fs::permissions(copy, fs::perms::owner_all);
        return name;
    }

    std::string fileOf(const std::string& name) const { return (dir_ / (name + ".bin")).string(); }

    // Starts the helper copy `name` in `mode` ("busy", "sleep" or "exec") and
    // waits until it runs as that program.
    pid_t start(const std::string& name, const char* mode, const char* threads = "1",
                const char* more = nullptr) {
        const std::string file = fileOf(name);
        const pid_t pid = fork();
        if (pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            execl(file.c_str(), file.c_str(), mode, threads, more, static_cast<char*>(nullptr));
            _exit(127);
        }
        EXPECT_GT(pid, 0);
        children_.push_back(pid);
        const std::string exe = "/proc/" + std::to_string(pid) + "/exe";
        for (int i = 0; i < 500; ++i) {
            std::error_code ec;
            if (fs::read_symlink(exe, ec) == fs::path(file))
                return pid;
            std::this_thread::sleep_for(2ms);
        }
        ADD_FAILURE() << "helper did not start: " << file;
        return pid;
    }

    void stop(pid_t pid) {
        if (std::find(children_.begin(), children_.end(), pid) == children_.end())
            return;
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        children_.erase(std::find(children_.begin(), children_.end(), pid));
    }

    vhb::PDH_HCOUNTER addCounter(const std::string& instance) {
        vhb::PDH_HCOUNTER counter = nullptr;
        EXPECT_EQ(module().add(query_, counterPath(instance).c_str(), 0, &counter), 0) << instance;
        return counter;
    }

    void collect() { module().collect(query_); }

    // The next collection, 300 ms after the one before.
    void collectLater() {
        std::this_thread::sleep_for(300ms);
        collect();
    }

    static Reading read(vhb::PDH_HCOUNTER counter) {
        vhb::PDH_FMT_COUNTERVALUE v{};
        const vhb::PDH_STATUS s = module().value(counter, vhb::PDH_FMT_DOUBLE, nullptr, &v);
        return {s, s == 0 ? v.doubleValue : -1.0};
    }

    // Waits until the process runs the program `file`.
    static void waitForExe(pid_t pid, const std::string& file) {
        const std::string exe = "/proc/" + std::to_string(pid) + "/exe";
        for (int i = 0; i < 500; ++i) {
            std::error_code ec;
            if (fs::read_symlink(exe, ec) == fs::path(file))
                return;
            std::this_thread::sleep_for(2ms);
        }
        ADD_FAILURE() << "did not turn into " << file;
    }

    static char state(pid_t pid) {
        std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        std::getline(in, line);
        const size_t close = line.rfind(')');
        return close != std::string::npos && close + 2 < line.size() ? line[close + 2] : '?';
    }

    fs::path dir_;
    std::string otherName_;  // what an "exec" helper turns into
    vhb::PDH_HQUERY query_ = nullptr;
    std::vector<pid_t> children_;
};

TEST_F(PdhModule, BusyProcessReadsNearAFullProcessorCappedAt100) {
    const std::string name = uniqueName();
    // More spinning threads than processors: more than one processor's time
    // whenever the machine has room, and so capped.
    const pid_t pid = start(name, "busy", spinners().c_str());
    vhb::PDH_HCOUNTER c = addCounter(name + "#0");
    collect();
    Mark before = mark(pid);
    double highestGot = 0;
    for (int i = 0; i < 5; ++i) {
        collectLater();
        const Mark after = mark(pid);
        const double got = share(before, after);
        before = after;
        highestGot = std::max(highestGot, got);
        const Reading r = read(c);
        ASSERT_EQ(r.status, 0) << "collection " << i;
        EXPECT_LE(r.value, 100.0);
        EXPECT_NEAR(r.value, got, kTolerance) << "collection " << i;
        // Other programs may keep it from a full processor; when it had one,
        // the reading says so.
        if (got >= 95.0) {
            EXPECT_GE(r.value, 80.0) << "collection " << i;
        }
    }
    if (highestGot < 95.0) {
        std::cout << "note: the machine was busy; the helper got at most " << highestGot
                  << " % of a processor\n";
    }
}

TEST_F(PdhModule, SleepingProcessReadsNearZero) {
    const std::string name = uniqueName();
    start(name, "sleep");
    vhb::PDH_HCOUNTER c = addCounter(name + "#0");
    collect();
    for (int i = 0; i < 3; ++i) {
        collectLater();
        const Reading r = read(c);
        ASSERT_EQ(r.status, 0) << "collection " << i;
        EXPECT_GE(r.value, 0.0);
        EXPECT_LT(r.value, 5.0);
    }
}

TEST_F(PdhModule, StoppedProcessReadsExactlyZeroAtEveryCollection) {
    const std::string name = uniqueName();
    const pid_t pid = start(name, "busy");
    std::this_thread::sleep_for(100ms);
    kill(pid, SIGSTOP);
    for (int i = 0; i < 500 && state(pid) != 'T'; ++i)
        std::this_thread::sleep_for(2ms);
    ASSERT_EQ(state(pid), 'T');
    vhb::PDH_HCOUNTER c = addCounter(name);
    collect();
    for (int i = 0; i < 3; ++i) {
        collectLater();
        const Reading r = read(c);
        ASSERT_EQ(r.status, 0) << "collection " << i;
        EXPECT_EQ(r.value, 0.0) << "collection " << i;
    }
}

TEST_F(PdhModule, InstanceNumberPicksTheProcessesOfTheNameInStartOrder) {
    const std::string name = uniqueName();
    start(name, "sleep");
    // Apart by more than the kernel's start-time step.
    std::this_thread::sleep_for(50ms);
    const pid_t busyPid = start(name, "busy", spinners().c_str());
    vhb::PDH_HCOUNTER first = addCounter(name + "#0");
    vhb::PDH_HCOUNTER bare = addCounter(name);
    vhb::PDH_HCOUNTER second = addCounter(name + "#1");
    vhb::PDH_HCOUNTER third = addCounter(name + "#2");
    collect();
    Mark before = mark(busyPid);
    for (int i = 0; i < 4; ++i) {
        collectLater();
        const Mark after = mark(busyPid);
        const double got = share(before, after);
        before = after;
        for (vhb::PDH_HCOUNTER sleeping : {first, bare}) {
            const Reading r = read(sleeping);
            ASSERT_EQ(r.status, 0);
            EXPECT_LT(r.value, 5.0);
        }
        const Reading busy = read(second);
        ASSERT_EQ(busy.status, 0);
        // A spinning process gets a fair part of the machine at the least.
        EXPECT_GE(got, 20.0);
        EXPECT_NEAR(busy.value, got, kTolerance);
        EXPECT_NE(read(third).status, 0) << "only two processes have the name";
    }
}

TEST_F(PdhModule, NameNotRunningIsAcceptedAndReadOnceItStarts) {
    const std::string name = uniqueName();
    vhb::PDH_HCOUNTER c = addCounter(name + "#0");
    collect();
    EXPECT_NE(read(c).status, 0);
    collectLater();
    EXPECT_NE(read(c).status, 0);
    start(name, "sleep");
    collectLater();
    EXPECT_NE(read(c).status, 0) << "a first sighting has no rate yet";
    collectLater();
    const Reading r = read(c);
    EXPECT_EQ(r.status, 0);
    EXPECT_LT(r.value, 5.0);
}

TEST_F(PdhModule, ProcessThatEndsAndStartsAgainIsFollowed) {
    const std::string name = uniqueName();
    pid_t pid = start(name, "sleep");
    vhb::PDH_HCOUNTER c = addCounter(name + "#0");
    collect();
    collectLater();
    EXPECT_EQ(read(c).status, 0);

    // Restarted between two collections: one failed reading, then readings.
    stop(pid);
    pid = start(name, "sleep");
    collectLater();
    EXPECT_NE(read(c).status, 0);
    collectLater();
    EXPECT_EQ(read(c).status, 0);

    // Gone: failures for as long as it is away.
    stop(pid);
    collectLater();
    EXPECT_NE(read(c).status, 0);
    collectLater();
    EXPECT_NE(read(c).status, 0);
    start(name, "sleep");
    collectLater();
    EXPECT_NE(read(c).status, 0);
    collectLater();
    EXPECT_EQ(read(c).status, 0);
}

// Between scans only the found instance and the processes of its name that
// started before it are read; each change below must end that and give the
// reading a scan would give: one failure (the instance is gone or is now
// another process), then the reading of what the number now names.
// Between scans only the found instance and the processes of its name that
// started before it are read; each change below must end that and give what
// a scan gives: one failed reading (the number now names another process),
// then the readings of that process.
TEST_F(PdhModule, FollowedInstanceIsGivenUpWhenItsNumberOrProcessChanges) {
    // Each acts on three processes of one name started as exec, sleep, busy.
    struct Case {
        const char* what;
        uint32_t index;
        std::function<void(pid_t first)> change;
    };
    const Case cases[] = {
        {"an earlier process ends", 1, [this](pid_t first) { stop(first); }},
        {"the instance ends unreaped (a zombie is not running)", 0,
         [](pid_t first) {
             kill(first, SIGKILL);
             for (int i = 0; i < 500 && state(first) != 'Z'; ++i)
                 std::this_thread::sleep_for(2ms);
             EXPECT_EQ(state(first), 'Z');
         }},
        {"an earlier process runs another program", 1,
         [this](pid_t first) {
             kill(first, SIGUSR1);
             waitForExe(first, fileOf(otherName_));
         }},
        {"the instance runs another program", 0,
         [this](pid_t first) {
             kill(first, SIGUSR1);
             waitForExe(first, fileOf(otherName_));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = uniqueName();
        otherName_ = uniqueName();
        const pid_t first = start(name, "exec", fileOf(otherName_).c_str(), "sleep");
        std::this_thread::sleep_for(50ms);  // apart by more than the start-time step
        const pid_t second = start(name, "sleep");
        std::this_thread::sleep_for(50ms);
        const pid_t third = start(name, "busy");
        vhb::PDH_HCOUNTER counter = addCounter(name + "#" + std::to_string(c.index));
        collect();
        collectLater();
        ASSERT_EQ(read(counter).status, 0);
        collectLater();
        ASSERT_EQ(read(counter).status, 0);
        c.change(first);
        collectLater();
        EXPECT_NE(read(counter).status, 0) << "the process followed before was read on";
        collectLater();
        EXPECT_EQ(read(counter).status, 0) << "the number names a running process again";
        for (pid_t pid : {first, second, third})
            stop(pid);
        module().close(query_);
        ASSERT_EQ(module().open(nullptr, 0, &query_), 0);
    }
}

TEST_F(PdhModule, DescriptorsAreGivenBackAtClose) {
    const auto openDescriptors = [] {
        return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
    };
    const std::string name = uniqueName();
    std::vector<pid_t> pids;
    for (int i = 0; i < 3; ++i) {
        pids.push_back(start(name, "sleep"));
        std::this_thread::sleep_for(20ms);
    }
    module().close(query_);
    const auto before = openDescriptors();
    ASSERT_EQ(module().open(nullptr, 0, &query_), 0);
    vhb::PDH_HCOUNTER counter = addCounter(name + "#2");
    collect();
    for (pid_t pid : pids) {
        collectLater();
        stop(pid);  // each end makes the next collection scan again
    }
    collectLater();
    EXPECT_NE(read(counter).status, 0);
    module().close(query_);
    query_ = nullptr;
    EXPECT_EQ(openDescriptors(), before);
}

TEST_F(PdhModule, FirstCollectionAloneGivesNoValue) {
    const std::string name = uniqueName();
    start(name, "sleep");
    vhb::PDH_HCOUNTER c = addCounter(name);
    EXPECT_NE(read(c).status, 0) << "no collection yet";
    collect();
    EXPECT_NE(read(c).status, 0) << "one collection is no rate";
}

TEST_F(PdhModule, MalformedPathsAreRefused) {
    const char* const paths[] = {
        "",
        "\\Process()\\% Processor Time",
        "\\Process(agent#0)",
        "Process(agent#0)\\% Processor Time",
        "\\Processor(agent#0)\\% Processor Time",
        "\\Process(agent#0)\\% User Time",
        "\\Process(agent#0)\\% Processor Time ",
        "\\Process(agent#12345678901)\\% Processor Time",
        "\\Process(#1)\\% Processor Time",
    };
    for (const char* path : paths) {
        vhb::PDH_HCOUNTER counter = nullptr;
        EXPECT_NE(module().add(query_, path, 0, &counter), 0) << path;
        EXPECT_EQ(counter, nullptr) << path;
    }
    vhb::PDH_HCOUNTER counter = nullptr;
    EXPECT_EQ(module().add(query_, "\\PROCESS(agent#0)\\% processor time", 0, &counter), 0);
    EXPECT_NE(counter, nullptr);
}

TEST_F(PdhModule, RefusesWhatItCannotServe) {
    const Module& m = module();
    vhb::PDH_HQUERY other = nullptr;
    EXPECT_NE(m.open("some.blg", 0, &other), 0) << "only live data";
    EXPECT_EQ(other, nullptr);
    EXPECT_NE(m.open(nullptr, 0, nullptr), 0);
    EXPECT_NE(m.collect(query_), 0) << "a query without counters has no data";
    EXPECT_NE(m.collect(nullptr), 0);
    vhb::PDH_HCOUNTER counter = nullptr;
    EXPECT_NE(m.add(nullptr, counterPath("agent").c_str(), 0, &counter), 0);
    counter = addCounter("agent");
    vhb::PDH_FMT_COUNTERVALUE v{};
    EXPECT_NE(m.value(counter, 0x100, nullptr, &v), 0) << "only the floating-point form";
    EXPECT_NE(m.value(counter, vhb::PDH_FMT_DOUBLE, nullptr, nullptr), 0);
    EXPECT_NE(m.value(nullptr, vhb::PDH_FMT_DOUBLE, nullptr, &v), 0);
}

// The program's road: the bound functions find the module beside the
// program and pass everything through.
TEST(PdhBound, ReadsTheTestProgramItselfThroughTheBoundFunctions) {
    vhb::PDH_HQUERY q = nullptr;
    ASSERT_EQ(vhb::PdhOpenQueryA(nullptr, 0, &q), 0);
    vhb::PDH_HCOUNTER c = nullptr;
    ASSERT_EQ(vhb::PdhAddCounterA(q, counterPath("unit_pdh_module#0").c_str(), 0, &c), 0);
    EXPECT_NE(vhb::PdhAddCounterA(q, "\\Process(x)", 0, &c), 0);
    vhb::PdhCollectQueryData(q);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(vhb::PdhCollectQueryData(q), 0);
    vhb::PDH_FMT_COUNTERVALUE v{};
    uint32_t type = 0;
    ASSERT_EQ(vhb::PdhGetFormattedCounterValue(c, vhb::PDH_FMT_DOUBLE, &type, &v), 0);
    EXPECT_EQ(v.CStatus, 0u);
    EXPECT_GE(v.doubleValue, 0.0);
    EXPECT_LE(v.doubleValue, 100.0);
    EXPECT_EQ(vhb::PdhCloseQuery(q), 0);
}

}  // namespace
