// The application watch on the settings window: Start opens the query for
// the instance in the box, every tick judges one sample, and an NG verdict
// holds the heartbeat.
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>
#include <deque>
#include <string>
#include <vector>

#include "cpumon/cpu_watch.h"
#include "cpumon/pdh.h"
#include "settings/controls.h"
#include "window_fixture.h"

class CpuWatchTest : public LoopbackDeviceTest {
protected:
    void SetUp() override {
        LoopbackDeviceTest::SetUp();
        form->IntervalEdit->setText(QStringLiteral("100"));
        form->CheckBox2->setChecked(true);
        form->CheckBox3->setChecked(false);
        form->UpDown1->setPosition(10);
    }
};

TEST_F(CpuWatchTest, AnApplicationThatIsNotRunningTurnsNgAndHoldsTheHeartbeat) {
    if (processCountersRefused())
        GTEST_SKIP() << kRefused;
    form->Edit2->setText(QStringLiteral("vhb-not-running#0"));
    form->BitBtn3Click();
    ASSERT_TRUE(form->Timer2->isActive());
    EXPECT_EQ(form->Timer2->interval(), 1000);
    for (int i = 0; i < 10; ++i) {
        form->Timer2Timer();
        EXPECT_EQ(form->Panel6->text(), QStringLiteral("CPU (0%) Count %1/10 OK").arg(i)) << i;
    }
    EXPECT_EQ(form->Panel6->Color(), QColor(0, 255, 0));
    EXPECT_FALSE(form->HoldHeartbeat);
    form->Timer2Timer();
    EXPECT_EQ(form->Panel6->text(), QStringLiteral("CPU (0%) Count 10/10 NG"));
    EXPECT_EQ(form->Panel6->Color(), QColor(255, 0, 0));
    EXPECT_TRUE(form->HoldHeartbeat);
    form->Timer1Timer();
    EXPECT_FALSE(waitFor([&] { return device.hasPendingDatagrams(); }, 300));

    // Stop leaves the query open; the next Start builds it anew and clears the hold.
    form->BitBtn4Click();
    EXPECT_FALSE(form->Timer2->isActive());
    EXPECT_NE(form->CpuWatch->CpuQuery, nullptr);
    form->BitBtn3Click();
    EXPECT_FALSE(form->HoldHeartbeat);
    form->Timer2Timer();
    EXPECT_EQ(form->Panel6->text(), QStringLiteral("CPU (0%) Count 0/10 OK"));
}

TEST_F(CpuWatchTest, WaitingForStartKeepsJudgingOff) {
    if (processCountersRefused())
        GTEST_SKIP() << kRefused;
    form->CheckBox3->setChecked(true);
    form->Edit2->setText(QStringLiteral("vhb-not-running#0"));
    form->BitBtn3Click();
    for (int i = 0; i < 12; ++i)
        form->Timer2Timer();
    EXPECT_EQ(form->Panel6->text(), QStringLiteral("CPU (0%) Count 0/10 WT"));
    EXPECT_EQ(form->Panel6->Color(), QColor(Qt::white));
    EXPECT_FALSE(form->HoldHeartbeat);
}

TEST_F(CpuWatchTest, SamplingStaysOffWithoutAutoStartOrWithNoApplicationChosen) {
    form->CheckBox2->setChecked(false);
    form->Panel6->setText(QStringLiteral("untouched"));
    form->BitBtn3Click();
    EXPECT_FALSE(form->Timer2->isActive());
    form->BitBtn4Click();

    form->CheckBox2->setChecked(true);
    form->Edit2->setText(QString());  // no application chosen
    form->BitBtn3Click();
    EXPECT_FALSE(form->Timer2->isActive());
    EXPECT_EQ(form->Panel6->text(), QStringLiteral("untouched"));
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(CpuWatchTest, ARunningApplicationIsSampledAboutASecondAfterStart) {
    if (processCountersRefused())
        GTEST_SKIP() << kRefused;
    // This test program itself is the watched application.
    form->Edit2->setText(QStringLiteral("component_cpu_watch#0"));
    form->BitBtn3Click();
    ASSERT_TRUE(waitFor([&] { return !form->Panel6->text().isEmpty(); }, 3000));
    EXPECT_TRUE(form->Panel6->text().startsWith(QStringLiteral("CPU (")));
    EXPECT_TRUE(form->Panel6->text().endsWith(QStringLiteral("Count 0/10 OK")))
        << form->Panel6->text().toStdString();
}

// With a heartbeat every second the samples come with its ticks: one per
// beat, and the sampling timer never wakes the program by itself. The first
// sample comes with the first beat unless the save at Start took over half
// a second (a slow disk): the sampling then starts that much later, and the
// first sample waits for the second beat.
TEST_F(CpuWatchTest, WithAOneSecondHeartbeatEachSampleComesWithABeat) {
    if (processCountersRefused())
        GTEST_SKIP() << kRefused;
    form->IntervalEdit->setText(QStringLiteral("1"));
    form->Edit2->setText(QStringLiteral("vhb-not-running#0"));
    int ownTicks = 0;
    QObject::connect(form->Timer2, &QTimer::timeout, [&] { ++ownTicks; });
    QElapsedTimer start;
    start.start();
    form->BitBtn3Click();
    // The heartbeat timer starts before the save, the sampling after it.
    const qint64 startTook = start.elapsed();
    int firstSampled = -1;  // the beat that carried the first sample
    for (int beat = 0; beat < 4; ++beat) {
        ASSERT_TRUE(waitFor([&] { return device.hasPendingDatagrams(); }, 3000)) << beat;
        device.receiveDatagram();
        if (firstSampled < 0 && form->Panel6->text().isEmpty() && startTook >= 500)
            continue;
        if (firstSampled < 0)
            firstSampled = beat;
        EXPECT_EQ(form->Panel6->text(),
                  QStringLiteral("CPU (0%) Count %1/10 OK").arg(beat - firstSampled))
            << beat;
    }
    ASSERT_GE(firstSampled, 0);
    EXPECT_LE(firstSampled, 1 + startTook / 1000) << "Start took " << startTook << " ms";
    EXPECT_EQ(ownTicks, 0);
}

// Where the system refuses the path (Wine), Start runs the heartbeat without
// the watch and says nothing.
TEST_F(CpuWatchTest, ARefusedCounterPathLeavesTheWatchOffWithoutAWord) {
    if (!processCountersRefused())
        GTEST_SKIP() << "the system accepts per-process counter paths";
    form->Edit2->setText(QStringLiteral("vhb-not-running#0"));
    form->Panel6->setText(QStringLiteral("untouched"));
    form->BitBtn3Click();
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_FALSE(form->Timer2->isActive());
    EXPECT_EQ(form->Panel6->text(), QStringLiteral("untouched"));
    EXPECT_TRUE(errors.isEmpty());
    form->Timer1Timer();
    EXPECT_TRUE(waitFor([&] { return device.hasPendingDatagrams(); }, 1000));
}

// --- the watch alone: no window, and counter calls that answer from a script ---

namespace {

struct ScriptedCounters {
    static inline vhb::PDH_STATUS openStatus = 0;
    static inline vhb::PDH_STATUS addStatus = 0;
    static inline std::deque<double> readings;  // one per reading; none left: it fails
    static inline std::vector<std::string> paths;
    static inline int opened = 0;
    static inline int closed = 0;
    static inline int collected = 0;
    static inline int handle = 0;  // what the handles point at

    static void reset() {
        openStatus = addStatus = 0;
        readings.clear();
        paths.clear();
        opened = closed = collected = 0;
    }
    static vhb::CpuCounterCalls calls() {
        vhb::CpuCounterCalls c;
        c.open = [](const char*, uintptr_t, vhb::PDH_HQUERY* query) -> vhb::PDH_STATUS {
            if (openStatus != 0)
                return openStatus;
            ++opened;
            *query = &handle;
            return 0;
        };
        c.add = [](vhb::PDH_HQUERY, const char* path,
                   vhb::PDH_HCOUNTER* counter) -> vhb::PDH_STATUS {
            paths.emplace_back(path);
            if (addStatus != 0)
                return addStatus;
            *counter = &handle;
            return 0;
        };
        c.collect = [](vhb::PDH_HQUERY) -> vhb::PDH_STATUS {
            ++collected;
            return 0;
        };
        c.value = [](vhb::PDH_HCOUNTER, uint32_t, uint32_t*,
                     vhb::PDH_FMT_COUNTERVALUE* value) -> vhb::PDH_STATUS {
            if (readings.empty())
                return vhb::PDH_INVALID_DATA;
            value->doubleValue = readings.front();
            readings.pop_front();
            return 0;
        };
        c.close = [](vhb::PDH_HQUERY) -> vhb::PDH_STATUS {
            ++closed;
            return 0;
        };
        return c;
    }
};

class WatchAlone : public ::testing::Test {
protected:
    void SetUp() override {
        ScriptedCounters::reset();
        judged.clear();
        watch = std::make_unique<TCpuWatch>(nullptr, ScriptedCounters::calls());
        watch->AutoStartEnabled = [this] { return autoStart; };
        watch->Instance = [] { return std::string("agent#0"); };
        watch->Counts = [this] { return counts; };
        watch->OnJudged = [this](const vhb::CpuJudgement& j) { judged.push_back(j); };
    }
    std::unique_ptr<TCpuWatch> watch;
    bool autoStart = true;
    int counts = 3;
    std::vector<vhb::CpuJudgement> judged;
};

}  // namespace

TEST_F(WatchAlone, StartOpensTheInstancesCounterOnlyWhereItCan) {
    const struct {
        const char* what;
        bool autoStart;
        vhb::PDH_STATUS open;
        vhb::PDH_STATUS add;
        bool sampling;
        size_t paths;
    } cases[] = {
        {"auto start off", false, 0, 0, false, 0},
        {"query refused", true, vhb::PDH_INVALID_ARGUMENT, 0, false, 0},
        {"counter path refused", true, 0, vhb::PDH_CSTATUS_BAD_COUNTERNAME, false, 1},
        {"both accepted", true, 0, 0, true, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        autoStart = c.autoStart;
        ScriptedCounters::openStatus = c.open;
        ScriptedCounters::addStatus = c.add;
        watch->CPUresourceStart();
        EXPECT_EQ(watch->Timer2->isActive(), c.sampling);
        EXPECT_EQ(watch->CpuWatchRunning, c.sampling ? 1 : 0);
        ASSERT_EQ(ScriptedCounters::paths.size(), c.paths);
        if (c.paths) {
            EXPECT_EQ(ScriptedCounters::paths[0], "\\Process(agent#0)\\% Processor Time");
        }
        // The first reading comes with the start, so that the first tick
        // has a rate to give.
        EXPECT_EQ(ScriptedCounters::collected, c.sampling ? 1 : 0);
        if (c.sampling) {
            EXPECT_EQ(watch->Timer2->interval(), 1000);
        }
        EXPECT_TRUE(judged.empty());
    }
}

TEST_F(WatchAlone, EachTickJudgesOneSampleAndAFailedReadingCountsAsZero) {
    ScriptedCounters::readings = {12.3, 12.3, 12.3, 12.3};  // then a failed one
    watch->CPUresourceStart();
    for (int i = 0; i < 5; ++i)
        watch->Timer2Timer();
    const std::pair<const char*, vhb::CpuVerdict> expected[] = {
        {"CPU (12.3%) Count 0/3 OK", vhb::CpuVerdict::OK},
        {"CPU (12.3%) Count 1/3 OK", vhb::CpuVerdict::OK},
        {"CPU (12.3%) Count 2/3 OK", vhb::CpuVerdict::OK},
        {"CPU (12.3%) Count 3/3 NG", vhb::CpuVerdict::NG},
        {"CPU (0%) Count 0/3 OK", vhb::CpuVerdict::OK},
    };
    ASSERT_EQ(judged.size(), std::size(expected));
    for (size_t i = 0; i < judged.size(); ++i) {
        EXPECT_EQ(judged[i].text, expected[i].first) << i;
        EXPECT_EQ(judged[i].verdict, expected[i].second) << i;
    }
    EXPECT_EQ(ScriptedCounters::collected, 6);
}

TEST_F(WatchAlone, StopKeepsTheQueryAndTheNextStartMakesItAnew) {
    ScriptedCounters::readings = {5.0, 5.0};
    watch->CPUresourceStart();
    watch->Timer2Timer();
    watch->Timer2Timer();
    EXPECT_EQ(watch->SameValueCount, 1);
    // Stop: the sampling ends and the query stays open.
    watch->CpuWatchRunning = 1;
    watch->CPUresourceStart();
    EXPECT_FALSE(watch->Timer2->isActive());
    EXPECT_EQ(watch->CpuWatchRunning, 0);
    EXPECT_NE(watch->CpuQuery, nullptr);
    EXPECT_EQ(ScriptedCounters::closed, 0);
    // Start again: the old query goes, a new one comes and the count begins anew.
    watch->CPUresourceStart();
    EXPECT_EQ(ScriptedCounters::closed, 1);
    EXPECT_EQ(ScriptedCounters::opened, 2);
    EXPECT_EQ(watch->SameValueCount, 0);
    EXPECT_EQ(watch->LastCpuValue, 9999);
    // The watch's end closes what is open.
    watch.reset();
    EXPECT_EQ(ScriptedCounters::closed, 2);
}
