#include "cpumon/counter_path.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using vhb::cpumon::ProcessCandidate;
using vhb::cpumon::TrackedProcess;

struct PathCase {
    const char* path;
    const char* instance;  // null: refused
};

class CounterPath : public testing::TestWithParam<PathCase> {};

TEST_P(CounterPath, GivesTheInstanceOfAProcessorTimePathOnly) {
    const auto got = vhb::cpumon::counterPathInstance(GetParam().path);
    if (GetParam().instance == nullptr) {
        EXPECT_FALSE(got.has_value()) << *got;
    } else {
        ASSERT_TRUE(got.has_value());
        EXPECT_EQ(*got, GetParam().instance);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, CounterPath,
    testing::Values(PathCase{"\\Process(agent#0)\\% Processor Time", "agent#0"},
                    PathCase{"\\process(agent)\\% PROCESSOR TIME", "agent"},
                    PathCase{"\\Process(my app#2)\\% Processor Time", "my app#2"},
                    PathCase{"\\Process(a(b))\\% Processor Time", "a(b)"},
                    PathCase{"\\Process()\\% Processor Time", nullptr}, PathCase{"", nullptr},
                    PathCase{"\\Process(agent#0)", nullptr},
                    PathCase{"Process(agent#0)\\% Processor Time", nullptr},
                    PathCase{"\\Processor(agent#0)\\% Processor Time", nullptr},
                    PathCase{"\\Process(agent#0)\\% User Time", nullptr},
                    PathCase{"\\Process(agent#0)\\% Processor Time ", nullptr},
                    PathCase{" \\Process(agent#0)\\% Processor Time", nullptr},
                    PathCase{"\\Process(agent#0)/% Processor Time", nullptr}));

struct InstanceCase {
    const char* text;
    bool accepted;
    const char* name;
    uint32_t index;
};

class Instance : public testing::TestWithParam<InstanceCase> {};

TEST_P(Instance, SplitsNameAndNumber) {
    const auto got = vhb::cpumon::parseInstance(GetParam().text);
    ASSERT_EQ(got.has_value(), GetParam().accepted);
    if (!got)
        return;
    EXPECT_EQ(got->name, GetParam().name);
    EXPECT_EQ(got->index, GetParam().index);
}

INSTANTIATE_TEST_SUITE_P(Table, Instance,
                         testing::Values(InstanceCase{"agent#0", true, "agent", 0},
                                         InstanceCase{"agent#1", true, "agent", 1},
                                         InstanceCase{"agent#10", true, "agent", 10},
                                         InstanceCase{"agent", true, "agent", 0},
                                         InstanceCase{"c#lang#3", true, "c#lang", 3},
                                         InstanceCase{"c#lang", true, "c#lang", 0},
                                         InstanceCase{"agent#", true, "agent#", 0},
                                         InstanceCase{"agent#999999999", true, "agent", 999999999},
                                         InstanceCase{"agent#1234567890", false, "", 0},
                                         InstanceCase{"#0", false, "", 0},
                                         InstanceCase{"", false, "", 0}));

struct NameCase {
    const char* exe;
    const char* name;
};

class ExeName : public testing::TestWithParam<NameCase> {};

TEST_P(ExeName, IsTheFileNameWithoutExtension) {
    EXPECT_EQ(vhb::cpumon::processNameFromExe(GetParam().exe), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Table, ExeName,
                         testing::Values(NameCase{"/usr/bin/agent", "agent"},
                                         NameCase{"/opt/a.b/agent.exe", "agent"},
                                         NameCase{"/usr/bin/python3.11", "python3"},
                                         NameCase{"/tmp/agent.bin (deleted)", "agent"},
                                         NameCase{"/tmp/my agent", "my agent"},
                                         NameCase{"agent", "agent"}));

TEST(CommName, DropsTheLineEnd) {
    EXPECT_EQ(vhb::cpumon::processNameFromComm("kworker/0:1\n"), "kworker/0:1");
    EXPECT_EQ(vhb::cpumon::processNameFromComm(""), "");
}

TEST(ProcStat, ReadsStateTimesAndStartEvenWithParenthesesInTheName) {
    const std::string line =
        "4242 (we(ird) n) R 1 4242 4242 0 -1 4194304 100 0 0 0 1234 567 0 0 20 0 3 0 "
        "987654 1000000 200 18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 0 17 1 0 0 0 0 0\n";
    const auto stat = vhb::cpumon::parseProcStat(line);
    ASSERT_TRUE(stat.has_value());
    EXPECT_EQ(stat->state, 'R');
    EXPECT_EQ(stat->utime, 1234u);
    EXPECT_EQ(stat->stime, 567u);
    EXPECT_EQ(stat->startTime, 987654u);
}

TEST(ProcStat, RefusesCutLines) {
    EXPECT_FALSE(vhb::cpumon::parseProcStat("").has_value());
    EXPECT_FALSE(vhb::cpumon::parseProcStat("12 (x) S 1 2 3").has_value());
    EXPECT_FALSE(vhb::cpumon::parseProcStat("12 (x) S 1 2 3 0 -1 0 0 0 0 0 abc 5 0 0 20 0 1 0 9")
                     .has_value());
}

TEST(PickInstance, OrdersByStartTimeThenPid) {
    std::vector<ProcessCandidate> c = {{500, 30, 0}, {100, 90, 1}, {500, 20, 2}, {300, 10, 3}};
    const std::vector<int32_t> expected = {90, 10, 20, 30};
    for (uint32_t i = 0; i < expected.size(); ++i) {
        const ProcessCandidate* p = vhb::cpumon::pickInstance(c, i);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->pid, expected[i]) << "#" << i;
    }
    EXPECT_EQ(vhb::cpumon::pickInstance(c, 4), nullptr);
    EXPECT_EQ(vhb::cpumon::pickInstance({}, 0), nullptr);
}

TEST(ProcessorPercent, IsTheShareOfOneProcessorCappedAt100) {
    // 100 ticks a second: 50 ticks in one second is half a processor.
    EXPECT_DOUBLE_EQ(*vhb::cpumon::processorPercent(50, 1'000'000'000, 100), 50.0);
    EXPECT_DOUBLE_EQ(*vhb::cpumon::processorPercent(3, 300'000'000, 100), 10.0);
    // Two busy threads: twice a processor, shown as 100.
    EXPECT_DOUBLE_EQ(*vhb::cpumon::processorPercent(200, 1'000'000'000, 100), 100.0);
    EXPECT_DOUBLE_EQ(*vhb::cpumon::processorPercent(0, 1'000'000'000, 100), 0.0);
    EXPECT_FALSE(vhb::cpumon::processorPercent(5, 0, 100).has_value());
}

// One collection step: the process found (pid 0 = none), the time, and the
// reading expected (negative = failure).
struct Collection {
    int32_t pid;
    uint64_t startTime;
    uint64_t ticks;
    uint64_t ms;
    double expected;
};

TEST(AdvanceReading, FollowsOneProcessAndFailsOnceAtEachChange) {
    const std::vector<Collection> steps = {
        {0, 0, 0, 0, -1},                                  // not running yet
        {7, 100, 10, 1000, -1},                            // first sighting
        {7, 100, 60, 2000, 50},                            // half a processor
        {7, 100, 60, 3000, 0},                             // idle
        {0, 0, 0, 4000, -1},                               // gone
        {7, 100, 60, 5000, -1},                            // back: seen again only now
        {7, 100, 70, 6000, 10},    {8, 900, 0, 7000, -1},  // restarted under the same name
        {8, 900, 25, 8000, 25},    {8, 950, 0, 9000, -1},  // same pid, later start: another process
        {8, 950, 100, 10000, 100},
    };
    TrackedProcess tracked;
    for (size_t i = 0; i < steps.size(); ++i) {
        const Collection& s = steps[i];
        const ProcessCandidate found{s.startTime, s.pid, s.ticks};
        const auto got = vhb::cpumon::advanceReading(tracked, s.pid == 0 ? nullptr : &found,
                                                     s.ms * 1'000'000, 100);
        if (s.expected < 0) {
            EXPECT_FALSE(got.has_value()) << "collection " << i;
        } else {
            ASSERT_TRUE(got.has_value()) << "collection " << i;
            EXPECT_DOUBLE_EQ(*got, s.expected) << "collection " << i;
        }
    }
}

}  // namespace
