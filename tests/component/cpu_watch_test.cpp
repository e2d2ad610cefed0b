// The application watch on the settings window: Start opens the query for
// the instance in the box, every tick judges one sample, and an NG verdict
// holds the heartbeat.
#include <QCheckBox>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

#include "cpumon/pdh.h"
#include "cpumon/sampling_form.h"
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
    EXPECT_NE(CpuQuery, nullptr);
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
// beat, and the sampling timer never wakes the program by itself.
TEST_F(CpuWatchTest, WithAOneSecondHeartbeatEachSampleComesWithABeat) {
    if (processCountersRefused())
        GTEST_SKIP() << kRefused;
    form->IntervalEdit->setText(QStringLiteral("1"));
    form->Edit2->setText(QStringLiteral("vhb-not-running#0"));
    int ownTicks = 0;
    QObject::connect(form->Timer2, &QTimer::timeout, [&] { ++ownTicks; });
    form->BitBtn3Click();
    for (int beat = 0; beat < 3; ++beat) {
        ASSERT_TRUE(waitFor([&] { return device.hasPendingDatagrams(); }, 3000)) << beat;
        device.receiveDatagram();
        EXPECT_EQ(form->Panel6->text(), QStringLiteral("CPU (0%) Count %1/10 OK").arg(beat));
    }
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
