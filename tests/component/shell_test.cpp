// The start-up sequence, the notification-area icon, the exit question and
// one instance per program file.
#include <QAbstractEventDispatcher>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMenu>
#include <QNetworkInterface>
#include <QProcess>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTimer>
#ifdef _WIN32
#include <windows.h>
#endif

#include "app/single_instance.h"
#include "net/nmudp.h"
#include "settings/controls.h"
#include "window_fixture.h"

namespace {

// A start with the defaults aims at the device's default address: such a
// test runs only where nothing can leave the machine.
bool onlyLoopback() {
    for (const QNetworkInterface& i : QNetworkInterface::allInterfaces())
        if (!(i.flags() & QNetworkInterface::IsLoopBack) && (i.flags() & QNetworkInterface::IsUp))
            return false;
    return true;
}

}  // namespace

class ShellTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        hb_main = new Thb_main;
        main.reset(hb_main);
        // As the program's entry joins them.
        hb_main->SettingsWindow = form.get();
        form->MainWindow = hb_main;
    }
    void TearDown() override {
        form->Timer1->stop();
        form->MainWindow = nullptr;
        hb_main = nullptr;
        main.reset();
        WindowTest::TearDown();
    }
    void writeIni(const QByteArray& bytes) {
        QFile f(iniPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    bool startUpDone() const { return !hb_main->Timer1->isActive() && hb_main->Timer1Stage == 1; }
    std::unique_ptr<Thb_main> main;
};

TEST_F(ShellTest, NoSettingsFileShowsTheWindowAfterAboutASecond) {
    EXPECT_FALSE(form->isVisible());
    spin(500);
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(hb_main->iconShown());
    ASSERT_TRUE(waitFor([&] { return startUpDone(); }, 3000));
    EXPECT_TRUE(form->isVisible());
    if (kToolWindowsActivate) {
        EXPECT_TRUE(waitFor([&] { return form->isActiveWindow(); }, 2000));
    }
    EXPECT_TRUE(hb_main->iconShown());
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_FALSE(QFile::exists(iniPath()));
    EXPECT_EQ(hb_main->IniFileName, iniPath());
    EXPECT_FALSE(hb_main->isVisible());
}

TEST_F(ShellTest, SettingsFileStartsTheHeartbeatWithNoWindow) {
    const std::pair<const char*, QByteArray> files[] = {
        {"loopback", "[NETWORK]\nIP=127.0.0.1\nPORT=9\n"}, {"empty", ""}};
    for (auto& [what, bytes] : files) {
        if (bytes.isEmpty() && !onlyLoopback())
            continue;  // defaults aim off the machine
        form->BitBtn4Click();
        hb_main->Timer1Stage = 0;
        hb_main->Timer1->start(1);
        writeIni(bytes);
        ASSERT_TRUE(waitFor([&] { return startUpDone(); }, 3000)) << what;
        EXPECT_TRUE(form->Timer1->isActive()) << what;
        EXPECT_FALSE(form->isVisible()) << what;
        EXPECT_TRUE(hb_main->iconShown());
        form->BitBtn4Click();
        // The start completed the file with every key.
        const QByteArray saved = iniBytes();
        for (const char* key :
             {"PORT=", "IP=", "INTERVAL=5", "LOCALPORT=9100", "MAC=", "CODE=ZANTOHB",
              "MACCHECKED=0", "STARTCNT=0", "COUNT1=10", "APP1=", "AUTOSTART=0", "WAITSTART=1"})
            EXPECT_TRUE(saved.contains(key)) << what << " " << key;
    }
}

TEST_F(ShellTest, FailedSaveAtTheAutomaticStartIsShownAndTheProgramRunsOn) {
    writeIni("[NETWORK]\nIP=127.0.0.1\n");
    QFile::setPermissions(iniPath(), QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    ASSERT_TRUE(waitFor([&] { return startUpDone() && !errors.isEmpty(); }, 3000));
    EXPECT_EQ(errors.front(), iniPath() + writeErrorText());
    EXPECT_TRUE(hb_main->iconShown());
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_EQ(iniBytes(), QByteArray("[NETWORK]\nIP=127.0.0.1\n"));
    QFile::setPermissions(iniPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TEST_F(ShellTest, OnlyPressesOfTheLeftAndRightButtonsOpenTheMenu) {
    hb_main->TryiconSet();
    const auto& actions = hb_main->PopupMenu1->actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(actions[0]->text(), QStringLiteral("Settings (&T)"));
    EXPECT_TRUE(actions[1]->isSeparator());
    EXPECT_EQ(actions[2]->text(), QStringLiteral("Exit"));
    EXPECT_TRUE(hb_main->TrayIcon->toolTip().isEmpty());

    const std::pair<QSystemTrayIcon::ActivationReason, bool> reasons[] = {
        {QSystemTrayIcon::Trigger, true},
        {QSystemTrayIcon::Context, true},
        {QSystemTrayIcon::DoubleClick, false},
        {QSystemTrayIcon::MiddleClick, false},
        {QSystemTrayIcon::Unknown, false}};
    for (auto& [reason, opens] : reasons) {
        hb_main->PopupMenu1->hide();
        emit hb_main->TrayIcon->activated(reason);
        EXPECT_EQ(hb_main->PopupMenu1->isVisible(), opens) << reason;
    }
    hb_main->PopupMenu1->hide();
    // The icon is added once.
    QSystemTrayIcon* icon = hb_main->TrayIcon;
    hb_main->TryiconSet();
    EXPECT_EQ(hb_main->TrayIcon, icon);
}

TEST_F(ShellTest, IconIsDrawnAtEverySizeAsked) {
    hb_main->TryiconSet();
    const QIcon icon = hb_main->TrayIcon->icon();
    for (int side : {16, 22, 37, 64}) {
        const QImage image = icon.pixmap(QSize(side, side)).toImage();
        ASSERT_EQ(image.size(), QSize(side, side));
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << side << ": a corner outside the face";
        EXPECT_EQ(qAlpha(image.pixel(side / 2, side / 4)), 255) << side << ": inside the face";
    }
}

TEST_F(ShellTest, RunsQtsOwnEventLoop) {
    // The glib loop would wake once more for every socket a beat opens.
    EXPECT_FALSE(QCoreApplication::eventDispatcher()->inherits("QEventDispatcherGlib"));
}

TEST_F(ShellTest, SettingsItemShowsTheWindow) {
    hb_main->test1->trigger();
    EXPECT_TRUE(form->isVisible());
    hb_main->test1->trigger();
    EXPECT_TRUE(form->isVisible());
}

TEST_F(ShellTest, ExitCancelledChangesNothing) {
    hb_main->Timer1->stop();
    hb_main->TryiconSet();
    form->ipEdit->setText(QStringLiteral("127.0.0.1"));
    form->BitBtn3Click();
    const QByteArray before = iniBytes();
    answer = false;
    hb_main->Exit1->trigger();
    form->BitBtn18->click();
    ASSERT_EQ(questions.size(), 2);
    EXPECT_EQ(questions[0], QStringLiteral("Exit|Would you like to quit the software?"));
    EXPECT_EQ(questions[1], questions[0]);
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_TRUE(hb_main->iconShown());
    EXPECT_EQ(iniBytes(), before);
}

TEST_F(ShellTest, ExitConfirmedSavesRemovesTheIconAndEnds) {
    hb_main->Timer1->stop();
    hb_main->TryiconSet();
    ASSERT_FALSE(QFile::exists(iniPath()));
    answer = true;
    EXPECT_TRUE(hb_main->close());
    EXPECT_TRUE(QFile::exists(iniPath()));
    EXPECT_TRUE(iniBytes().contains("INTERVAL=5"));
    EXPECT_FALSE(hb_main->iconShown());
}

TEST_F(ShellTest, ExitWithAFailedSaveRunsOn) {
    hb_main->Timer1->stop();
    hb_main->TryiconSet();
    writeIni("");
    QFile::setPermissions(iniPath(), QFileDevice::ReadOwner);
    answer = true;
    form->BitBtn18->click();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].endsWith(writeErrorText()));
    EXPECT_TRUE(hb_main->iconShown());
    QFile::setPermissions(iniPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

// Operators unzip the program anywhere: Start and Exit save beside it
// whatever the folder's name, inside the system's code page or not.
TEST_F(ShellTest, StartAndExitSaveInAFolderOfAnyName) {
    hb_main->Timer1->stop();
    hb_main->TryiconSet();
    for (const char* name : {"Jos\u00e9", "\u30c4\u30fc\u30eb", "\u0406\u043d\u0441\u0442\u0440"}) {
        const QString folder = dir.filePath(QString::fromUtf8(name));
        SCOPED_TRACE(name);
        ASSERT_TRUE(QDir().mkpath(folder));
        vhb::setProgramFilePath(QDir::toNativeSeparators(folder + QStringLiteral("/vesk-hb")));
        const QString ini = folder + QStringLiteral("/vesk-hb.Ini");
        form->ipEdit->setText(QStringLiteral("127.0.0.1"));
        form->BitBtn3->click();
        form->BitBtn4->click();
        EXPECT_TRUE(QFile::exists(ini));
        QFile::remove(ini);
        answer = true;
        form->BitBtn18->click();
        EXPECT_TRUE(QFile::exists(ini));
        EXPECT_EQ(errors, QStringList());
        answer = false;
    }
}

TEST_F(ShellTest, QuestionsLowerTheStayOnTopWindowsAndRaiseThemAfter) {
    hb_main->Timer1->stop();
    form->show();
    bool loweredDuringQuestion = false;
    vhb::setQuestionHook([&](const QString&, const QString&) {
        loweredDuringQuestion = !(form->windowFlags() & Qt::WindowStaysOnTopHint);
        return false;
    });
    hb_main->FormClose();
    EXPECT_TRUE(loweredDuringQuestion);
    EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(hb_main->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(hb_main->isVisible());
}

bool runningUnderWine() {
#ifdef _WIN32
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

TEST(SingleInstanceTest, ASecondStartHandsOverToTheFirst) {
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("vesk-hb.Ini"));
    SingleInstance first(ini);
    ASSERT_TRUE(first.acquire());
    int shown = 0;
    first.onShowRequested = [&] { ++shown; };
    SingleInstance second(ini);
    EXPECT_FALSE(second.acquire());
    // Under Wine the request from the same thread never reaches the server
    // (between processes the second start ends and the first runs on, below).
    if (!runningUnderWine()) {
        EXPECT_TRUE(WindowTest::waitFor([&] { return shown == 1; }, 3000));
    }
    // Another program file is another program.
    SingleInstance other(dir.filePath(QStringLiteral("vesk-hb2.Ini")));
    EXPECT_TRUE(other.acquire());
}

#ifdef VHB_PROGRAM_PATH
// The real program, started twice from one file in a temporary folder with
// no settings file (so it sends nothing).
TEST(SingleInstanceTest, RealProgramHandsOverAndSurvivesACrashedFirst) {
    QTemporaryDir dir;
    // The copies keep the program's extension (".exe" on Windows) and find
    // the libraries that lie beside the built program through PATH.
    const QFileInfo program(QStringLiteral(VHB_PROGRAM_PATH));
    const QString suffix = program.suffix().isEmpty() ? QString() : u'.' + program.suffix();
    const QString exe = dir.filePath(QStringLiteral("vesk-hb") + suffix);
    ASSERT_TRUE(QFile::copy(program.absoluteFilePath(), exe));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("PATH"), QDir::toNativeSeparators(program.absolutePath()) +
                                           QDir::listSeparator() +
                                           env.value(QStringLiteral("PATH")));
    env.insert(QStringLiteral("QT_PLUGIN_PATH"), program.absolutePath());
    auto start = [&](QProcess& p, const QString& program) {
        p.setProcessEnvironment(env);
        p.start(program, {});
        return p.waitForStarted(5000);
    };
    QProcess first;
    ASSERT_TRUE(start(first, exe));
    WindowTest::spin(1500);
    ASSERT_EQ(first.state(), QProcess::Running);

    QProcess second;
    ASSERT_TRUE(start(second, exe));
    EXPECT_TRUE(second.waitForFinished(5000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);

    // A copy under another name runs beside it.
    const QString copy = dir.filePath(QStringLiteral("vesk-hb-copy") + suffix);
    ASSERT_TRUE(QFile::copy(exe, copy));
    QProcess other;
    ASSERT_TRUE(start(other, copy));
    EXPECT_FALSE(other.waitForFinished(1500));
    other.kill();
    other.waitForFinished(3000);

    // A killed first instance does not block the next start.
    first.kill();
    first.waitForFinished(3000);
    QProcess third;
    ASSERT_TRUE(start(third, exe));
    EXPECT_FALSE(third.waitForFinished(1500));
    third.kill();
    third.waitForFinished(3000);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("vesk-hb.Ini"))));
}
#endif

TEST_F(ShellTest, AnExitConfirmedDuringAHostLookUpShowsNoError) {
    hb_main->Timer1->stop();
    // A look-up that does not answer before the exit.
    TNMUDP::setResolver([](const QString&, std::function<void(std::optional<quint32>)>) {});
    form->ipEdit->setText(QStringLiteral("device.example"));
    form->localPortEdit->setText(QStringLiteral("0"));
    answer = true;
    // Without a running main loop quit() does nothing; exit() ends the
    // waiting loops as the confirmed exit's quit() does in the program.
    QTimer::singleShot(50, hb_main, [] {
        hb_main->close();
        QCoreApplication::exit(0);
    });
    try {
        form->SendData();  // waits in the look-up; the exit ends the wait
        ADD_FAILURE() << "the look-up did not end";
    } catch (const std::exception& e) {
        vhb::showError(QString::fromLocal8Bit(e.what()));
    }
    TNMUDP::setResolver({});
    EXPECT_EQ(questions.size(), 1);
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('\n')).toStdString();
}
