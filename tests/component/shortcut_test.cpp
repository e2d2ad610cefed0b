// "Add shortcut to startup": the settings are saved and one autostart entry
// names the program, its folder and the program's name; the stay-on-top
// windows come back after every answer.
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/shortcut.h"
#include "window_fixture.h"

namespace {

// Sets an environment variable for the time of a test and puts back what
// was there before.
class EnvVar {
public:
    EnvVar(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        set(value);
    }
    ~EnvVar() { set(old_ ? old_->c_str() : nullptr); }
    EnvVar(const EnvVar&) = delete;
    EnvVar& operator=(const EnvVar&) = delete;

private:
    void set(const char* value) {
        if (value) {
            setenv(name_, value, 1);
        } else {
            unsetenv(name_);
        }
    }
    const char* name_;
    std::optional<std::string> old_;
};

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Everything in a folder, hidden files too (a leftover temporary file is
// one of them).
QStringList entriesOf(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

}  // namespace

class ShortcutTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(config.isValid());
        xdg.emplace("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData());
        // Each question must find the stay-on-top windows lowered.
        vhb::setQuestionHook([this](const QString& caption, const QString& text) {
            questions << caption + QLatin1Char('|') + text;
            loweredDuringQuestion = !(form->windowFlags() & Qt::WindowStaysOnTopHint);
            return answer;
        });
        form->show();
        ASSERT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
    }
    void TearDown() override {
        form->Timer1->stop();
        xdg.reset();
        WindowTest::TearDown();
    }
    // The button pressed as the operator presses it: an error that leaves
    // the handler reaches the application's error report.
    void press() { QTest::mouseClick(form->BitBtn1, Qt::LeftButton); }
    QString autostart() const { return config.filePath(QStringLiteral("autostart")); }
    QString entryPath() const { return autostart() + QStringLiteral("/Vesk-HB.desktop"); }
    void expectTopmostBack() {
        EXPECT_TRUE(loweredDuringQuestion);
        EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
        EXPECT_TRUE(form->isVisible());
    }
    static QString validator() { return QStandardPaths::findExecutable("desktop-file-validate"); }
    static void expectValid(const QString& path) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(validator(), {path});
        ASSERT_TRUE(p.waitForFinished(10000));
        const QByteArray out = p.readAll();
        EXPECT_EQ(p.exitCode(), 0) << out.constData();
        EXPECT_TRUE(out.trimmed().isEmpty()) << out.constData();  // not even a hint
    }

    QTemporaryDir config;
    std::optional<EnvVar> xdg;
    bool loweredDuringQuestion = false;
};

TEST_F(ShortcutTest, OkSavesTheSettingsAndMakesOneValidEntry) {
    if (validator().isEmpty())
        GTEST_SKIP() << "desktop-file-validate is not installed";
    struct Case {
        const char* folder;  // under the temporary folder; empty for the folder itself
        const char* program;
        const char* ini;
    };
    const Case cases[] = {
        {"", "vesk-hb", "vesk-hb.Ini"},
        {"Vesk HB 1.5", "vesk hb", "vesk hb.Ini"},
    };
    for (const Case& c : cases) {
        if (c.folder[0])
            QDir(dir.path()).mkpath(QString::fromUtf8(c.folder));
        const QString folder = QDir(dir.filePath(QString::fromUtf8(c.folder))).absolutePath();
        const QString program = folder + QLatin1Char('/') + QString::fromUtf8(c.program);
        vhb::setProgramFilePath(program);
        questions.clear();

        press();

        EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('\n')).toStdString();
        ASSERT_EQ(questions.size(), 1);
        EXPECT_EQ(questions[0],
                  "Create Shortcut|Would you like to add this program shortcut to startup?");
        const QByteArray ini = readFile(folder + QLatin1Char('/') + QString::fromUtf8(c.ini));
        EXPECT_TRUE(ini.contains("INTERVAL=5")) << c.program;
        EXPECT_EQ(entriesOf(autostart()), QStringList{QStringLiteral("Vesk-HB.desktop")});
        expectValid(entryPath());
        const QByteArray entry = readFile(entryPath());
        const QByteArray exec = program.contains(QLatin1Char(' '))
                                    ? "\nExec=\"" + program.toUtf8() + "\"\n"
                                    : "\nExec=" + program.toUtf8() + "\n";
        EXPECT_TRUE(entry.contains(exec)) << entry.constData();
        EXPECT_TRUE(entry.contains("\nPath=" + folder.toUtf8() + "/\n")) << entry.constData();
        EXPECT_TRUE(entry.contains("\nName=Vesk-HB\n")) << entry.constData();
        expectTopmostBack();
    }
}

TEST_F(ShortcutTest, SecondOkRewritesTheOneEntry) {
    press();
    const QByteArray first = readFile(entryPath());
    ASSERT_FALSE(first.isEmpty());
    {
        QFile f(entryPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Desktop Entry]\nstale\n");
    }
    press();
    EXPECT_EQ(questions.size(), 2);  // asked again: no test for an existing entry
    EXPECT_EQ(readFile(entryPath()), first);
    EXPECT_EQ(entriesOf(autostart()), QStringList{QStringLiteral("Vesk-HB.desktop")});
    EXPECT_TRUE(errors.isEmpty());
    expectTopmostBack();
}

TEST_F(ShortcutTest, CancelSavesNothingAndMakesNothing) {
    answer = false;
    press();
    EXPECT_EQ(questions.size(), 1);
    EXPECT_FALSE(QFile::exists(iniPath()));
    EXPECT_FALSE(QFileInfo::exists(autostart()));
    EXPECT_TRUE(errors.isEmpty());
    expectTopmostBack();
}

TEST_F(ShortcutTest, FailedSaveIsReportedAndMakesNoEntry) {
    {
        QFile f(iniPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[NETWORK]\nIP=127.0.0.1\n");
    }
    // 0444: no write permission for anybody.
    QFile::setPermissions(iniPath(),
                          QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    press();
    QFile::setPermissions(iniPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(errors, QStringList{iniPath() + writeErrorText()});
    EXPECT_FALSE(QFileInfo::exists(autostart()));
    EXPECT_EQ(readFile(iniPath()), QByteArray("[NETWORK]\nIP=127.0.0.1\n"));
    expectTopmostBack();
}

TEST_F(ShortcutTest, EntryTakesTheMainWindowsName) {
    Thb_main main;
    main.Timer1->stop();  // no start-up sequence in this test
    main.AppName = QStringLiteral("Vesk-HB Lab");
    form->MainWindow = &main;
    press();
    form->MainWindow = nullptr;
    const QByteArray entry = readFile(autostart() + QStringLiteral("/Vesk-HB Lab.desktop"));
    EXPECT_TRUE(entry.contains("\nName=Vesk-HB Lab\n")) << entry.constData();
    EXPECT_FALSE(QFile::exists(entryPath()));
}

TEST_F(ShortcutTest, OkWhileTheHeartbeatRunsKeepsItRunning) {
    QUdpSocket device;
    ASSERT_TRUE(device.bind(QHostAddress::LocalHost, 0));
    form->ipEdit->setText(QStringLiteral("127.0.0.1"));
    form->PortEdit->setText(QString::number(device.localPort()));
    form->localPortEdit->setText(QStringLiteral("0"));
    form->IntervalEdit->setText(QStringLiteral("7"));
    form->BitBtn3Click();
    ASSERT_TRUE(form->Timer1->isActive());
    const int period = form->Timer1->interval();

    press();

    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_EQ(form->Timer1->interval(), period);
    EXPECT_FALSE(form->BitBtn3->isEnabled());
    EXPECT_TRUE(iniBytes().contains("INTERVAL=7"));
    EXPECT_TRUE(QFile::exists(entryPath()));
    form->BitBtn4Click();
}

// The platform routine on its own: where the autostart folder is, and the
// cases in which it quietly makes nothing.
class AutostartFolderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(tmp.isValid()); }
    QString under(const char* rel) const { return tmp.filePath(QString::fromUtf8(rel)); }
    static std::string local8(const QString& s) { return s.toLocal8Bit().toStdString(); }
    QTemporaryDir tmp;
};

TEST_F(AutostartFolderTest, FolderFollowsTheConfigurationHome) {
    struct Case {
        const char* xdg;  // nullptr: unset; "@x": the folder x of the case
        const char* home;
        const char* entry;  // where the entry lands; nullptr: nowhere
    };
    const Case cases[] = {
        {"@cfg", "@home", "cfg/autostart/Vesk-HB.desktop"},
        {nullptr, "@home", "home/.config/autostart/Vesk-HB.desktop"},
        {"", "@home", "home/.config/autostart/Vesk-HB.desktop"},
        {"relative/cfg", "@home", "home/.config/autostart/Vesk-HB.desktop"},
        {"@cfg", nullptr, "cfg/autostart/Vesk-HB.desktop"},
        {"@cfg/", "@home", "cfg/autostart/Vesk-HB.desktop"},
        {nullptr, nullptr, nullptr},
        {"", "", nullptr},
    };
    for (const Case& c : cases) {
        QTemporaryDir root(tmp.filePath(QStringLiteral("case")));
        auto value = [&](const char* v) -> std::optional<std::string> {
            if (!v)
                return std::nullopt;
            if (v[0] == '@')
                return local8(root.filePath(QString::fromUtf8(v + 1)));
            return std::string(v);
        };
        const auto xdgValue = value(c.xdg);
        const auto homeValue = value(c.home);
        EnvVar xdg("XDG_CONFIG_HOME", xdgValue ? xdgValue->c_str() : nullptr);
        EnvVar home("HOME", homeValue ? homeValue->c_str() : nullptr);

        EXPECT_NO_THROW(vhb::platform::CreateShortcut("/opt/vhb/vesk-hb", "Vesk-HB", 7));

        if (c.entry) {
            const QFileInfo made(root.filePath(QString::fromUtf8(c.entry)));
            EXPECT_TRUE(made.isFile()) << c.entry;
            // A missing folder is made private to the user.
            EXPECT_EQ(QFileInfo(made.path()).permissions() & 0x0077, 0) << c.entry;
        } else {
            EXPECT_TRUE(entriesOf(root.path()).isEmpty());
        }
    }
}

TEST_F(AutostartFolderTest, EntriesForAwkwardPathsAreValid) {
    if (QStandardPaths::findExecutable("desktop-file-validate").isEmpty())
        GTEST_SKIP() << "desktop-file-validate is not installed";
    const QString cfg = under("cfg");
    EnvVar xdg("XDG_CONFIG_HOME", local8(cfg).c_str());
    const char* paths[] = {
        "/opt/100%/vesk-hb",      "/opt/$HOME `x`/vesk-hb",
        "/opt/a\\b/vesk-hb",      "/opt/\"q\" 'a'/vesk-hb",
        "/opt/a;b&c|d/v?*#()<>~", "/opt/\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88/vesk-hb"};
    for (const char* p : paths) {
        vhb::platform::CreateShortcut(p, "Vesk-HB", 7);
        QProcess v;
        v.setProcessChannelMode(QProcess::MergedChannels);
        v.start(QStringLiteral("desktop-file-validate"),
                {cfg + QStringLiteral("/autostart/Vesk-HB.desktop")});
        ASSERT_TRUE(v.waitForFinished(10000));
        const QByteArray out = v.readAll();
        EXPECT_EQ(v.exitCode(), 0) << p << "\n" << out.constData();
        EXPECT_TRUE(out.trimmed().isEmpty()) << p << "\n" << out.constData();
    }
}

TEST_F(AutostartFolderTest, NothingIsMadeWhereNothingCanBe) {
    const QString cfg = under("cfg");
    QDir().mkpath(cfg);
    EnvVar xdg("XDG_CONFIG_HOME", local8(cfg).c_str());
    // Another folder number than the Startup folder.
    EXPECT_NO_THROW(vhb::platform::CreateShortcut("/opt/vesk-hb", "Vesk-HB", 5));
    EXPECT_TRUE(entriesOf(cfg).isEmpty());
    // A link name that would leave the folder.
    EXPECT_NO_THROW(vhb::platform::CreateShortcut("/opt/vesk-hb", "../Vesk-HB", 7));
    EXPECT_NO_THROW(vhb::platform::CreateShortcut("/opt/vesk-hb", "", 7));
    EXPECT_TRUE(entriesOf(cfg + QStringLiteral("/autostart")).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(cfg + QStringLiteral("/Vesk-HB.desktop")));
    // A path no entry can hold.
    EXPECT_NO_THROW(vhb::platform::CreateShortcut("/opt/\x01vesk-hb", "Vesk-HB", 7));
    EXPECT_TRUE(entriesOf(cfg + QStringLiteral("/autostart")).isEmpty());
    // The autostart folder blocked by a file: even root cannot write there.
    QDir(cfg).rmdir(QStringLiteral("autostart"));
    {
        QFile f(cfg + QStringLiteral("/autostart"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    EXPECT_NO_THROW(vhb::platform::CreateShortcut("/opt/vesk-hb", "Vesk-HB", 7));
    EXPECT_EQ(entriesOf(cfg), QStringList{QStringLiteral("autostart")});
    EXPECT_EQ(QFileInfo(cfg + QStringLiteral("/autostart")).size(), 0);
}

TEST_F(AutostartFolderTest, AnEntryInTheWayAsAFolderIsLeftAlone) {
    const QString cfg = under("cfg");
    QDir().mkpath(cfg + QStringLiteral("/autostart/Vesk-HB.desktop"));
    EnvVar xdg("XDG_CONFIG_HOME", local8(cfg).c_str());
    EXPECT_NO_THROW(vhb::platform::CreateShortcut("/opt/vesk-hb", "Vesk-HB", 7));
    // No temporary file is left behind when the rename fails.
    EXPECT_EQ(entriesOf(cfg + QStringLiteral("/autostart")),
              QStringList{QStringLiteral("Vesk-HB.desktop")});
    EXPECT_TRUE(QFileInfo(cfg + QStringLiteral("/autostart/Vesk-HB.desktop")).isDir());
}
