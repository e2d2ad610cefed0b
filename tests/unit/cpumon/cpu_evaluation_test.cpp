#include "cpumon/cpu_evaluation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using vhb::CpuVerdict;

// The evaluation's state as a fresh start of the sampling leaves it.
struct Watch {
    int32_t same = 0;
    int32_t last = 9999;
    int waiting = 0;

    vhb::CpuJudgement judge(int32_t sample, int counts) {
        return vhb::judgeCpuSample(sample, counts, same, last, waiting);
    }
};

struct Step {
    int32_t sample;
    std::string text;
    CpuVerdict verdict;
};

struct Sequence {
    const char* name;
    int counts;
    int waiting;
    std::vector<Step> steps;
};

class CpuSequence : public testing::TestWithParam<Sequence> {};

TEST_P(CpuSequence, ShowsEachSampleWithItsCountAndVerdict) {
    const Sequence& s = GetParam();
    Watch w;
    w.waiting = s.waiting;
    for (size_t i = 0; i < s.steps.size(); ++i) {
        const vhb::CpuJudgement j = w.judge(s.steps[i].sample, s.counts);
        EXPECT_EQ(j.text, s.steps[i].text) << "sample " << i;
        EXPECT_EQ(j.verdict, s.steps[i].verdict) << "sample " << i;
    }
}

std::vector<Step> repeatedFifty() {
    std::vector<Step> steps;
    for (int count = 0; count <= 10; ++count) {
        steps.push_back(
            {50, "CPU (5%) Count " + std::to_string(count) + "/10" + (count < 10 ? " OK" : " NG"),
             count < 10 ? CpuVerdict::OK : CpuVerdict::NG});
    }
    steps.push_back({50, "CPU (5%) Count 11/10 NG", CpuVerdict::NG});
    // One different sample releases the heartbeat at once.
    steps.push_back({51, "CPU (5.1%) Count 0/10 OK", CpuVerdict::OK});
    return steps;
}

std::vector<Step> alternating() {
    std::vector<Step> steps;
    for (int i = 0; i < 40; ++i) {
        const int32_t sample = i % 2;
        steps.push_back({sample, std::string("CPU (") + (sample ? "0.1" : "0") + "%) Count 0/3 OK",
                         CpuVerdict::OK});
    }
    return steps;
}

std::vector<Step> waitingZeros() {
    std::vector<Step> steps;
    for (int i = 0; i < 15; ++i)
        steps.push_back({0, "CPU (0%) Count 0/10 WT", CpuVerdict::WT});
    steps.push_back({7, "CPU (0.7%) Count 0/10 OK", CpuVerdict::OK});
    // Judging has begun: a later zero is a sample like any other.
    steps.push_back({0, "CPU (0%) Count 0/10 OK", CpuVerdict::OK});
    steps.push_back({0, "CPU (0%) Count 1/10 OK", CpuVerdict::OK});
    return steps;
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, CpuSequence,
    testing::Values(Sequence{"Counts10Fifty", 10, 0, repeatedFifty()},
                    Sequence{"Counts1",
                             1,
                             0,
                             {{50, "CPU (5%) Count 0/1 OK", CpuVerdict::OK},
                              {50, "CPU (5%) Count 1/1 NG", CpuVerdict::NG},
                              {50, "CPU (5%) Count 2/1 NG", CpuVerdict::NG},
                              {49, "CPU (4.9%) Count 0/1 OK", CpuVerdict::OK}}},
                    Sequence{"AlternatingZeroOne", 3, 0, alternating()},
                    Sequence{"WaitingForStart", 10, 1, waitingZeros()},
                    Sequence{"NotRunningNotWaiting",
                             2,
                             0,
                             {{0, "CPU (0%) Count 0/2 OK", CpuVerdict::OK},
                              {0, "CPU (0%) Count 1/2 OK", CpuVerdict::OK},
                              {0, "CPU (0%) Count 2/2 NG", CpuVerdict::NG}}},
                    Sequence{"BusyCapped",
                             2,
                             1,
                             {{1000, "CPU (100%) Count 0/2 OK", CpuVerdict::OK},
                              {1000, "CPU (100%) Count 1/2 OK", CpuVerdict::OK},
                              {1000, "CPU (100%) Count 2/2 NG", CpuVerdict::NG}}}),
    [](const testing::TestParamInfo<Sequence>& info) { return std::string(info.param.name); });

TEST(CpuEvaluation, FirstSampleAfterAStartIsNeverARepeat) {
    Watch w;
    // Even the largest sample differs from 9999.
    EXPECT_EQ(w.judge(1000, 10).text, "CPU (100%) Count 0/10 OK");
}

TEST(CpuEvaluation, WaitingKeepsTheFlagUntilANonZeroSample) {
    Watch w;
    w.waiting = 1;
    w.judge(0, 10);
    EXPECT_EQ(w.waiting, 1);
    EXPECT_EQ(w.last, 0);
    w.judge(3, 10);
    EXPECT_EQ(w.waiting, 0);
}

TEST(CpuEvaluation, RepeatCountStopsAt9999) {
    Watch w;
    for (int i = 0; i < 10005; ++i)
        w.judge(42, 9999);
    EXPECT_EQ(w.same, 9999);
    const vhb::CpuJudgement j = w.judge(42, 9999);
    EXPECT_EQ(w.same, 9999);
    EXPECT_EQ(j.text, "CPU (4.2%) Count 9999/9999 NG");
}

TEST(CpuEvaluation, CountsChangedWhileSamplingTakesEffectAtTheNextSample) {
    Watch w;
    for (int i = 0; i < 5; ++i)
        w.judge(10, 10);
    EXPECT_EQ(w.judge(10, 10).verdict, CpuVerdict::OK);  // count 5
    EXPECT_EQ(w.judge(10, 3).verdict, CpuVerdict::NG);   // count 6 against 3
    EXPECT_EQ(w.judge(10, 100).verdict, CpuVerdict::OK);
}

struct Formatted {
    int32_t sample;
    const char* percent;
};

class CpuFormat : public testing::TestWithParam<Formatted> {};

TEST_P(CpuFormat, SampleIsShownInTenthsWithoutTrailingZeros) {
    Watch w;
    w.last = 9999;
    EXPECT_EQ(w.judge(GetParam().sample, 10).text,
              std::string("CPU (") + GetParam().percent + "%) Count 0/10 OK");
}

INSTANTIATE_TEST_SUITE_P(Table, CpuFormat,
                         testing::Values(Formatted{123, "12.3"}, Formatted{5, "0.5"},
                                         Formatted{1000, "100"}, Formatted{0, "0"},
                                         Formatted{10, "1"}, Formatted{999, "99.9"},
                                         Formatted{1, "0.1"}));

TEST(CpuEvaluation, PercentUsesTheGivenDecimalSeparator) {
    struct Case {
        int32_t sample;
        const char* separator;
        const char* text;
    };
    const Case cases[] = {
        {123, ",", "CPU (12,3%) Count 0/10 OK"},
        {5, ",", "CPU (0,5%) Count 0/10 OK"},
        {1000, ",", "CPU (100%) Count 0/10 OK"},  // whole numbers show no separator
        {0, ",", "CPU (0%) Count 0/10 OK"},
        {123, "\xd9\xab",
         "CPU (12\xd9\xab"
         "3%) Count 0/10 OK"},  // Arabic, two bytes
        {123, ".", "CPU (12.3%) Count 0/10 OK"},
    };
    for (const Case& c : cases) {
        int32_t same = 0, last = 9999;
        int waiting = 0;
        EXPECT_EQ(vhb::judgeCpuSample(c.sample, 10, same, last, waiting, c.separator).text, c.text);
    }
}

struct Rounded {
    double percent;
    int32_t sample;
};

class SampleRounding : public testing::TestWithParam<Rounded> {};

TEST_P(SampleRounding, TimesTenWithHalvesToTheEvenNeighbour) {
    EXPECT_EQ(vhb::sampleFromPercent(GetParam().percent), GetParam().sample) << GetParam().percent;
}

INSTANTIATE_TEST_SUITE_P(Table, SampleRounding,
                         testing::Values(Rounded{12.5, 125}, Rounded{0.25, 2}, Rounded{0.75, 8},
                                         Rounded{1.25, 12}, Rounded{1.75, 18}, Rounded{0.0, 0},
                                         Rounded{100.0, 1000}, Rounded{12.34, 123},
                                         Rounded{12.36, 124}, Rounded{99.99, 1000}));

}  // namespace
