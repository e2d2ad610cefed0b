#pragma once
// A settings window over a program file in a temporary folder, with the
// questions answered and the error box replaced by a list of texts.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <functional>
#include <memory>

#include "app/dialogs.h"
#include "app/hb_main.h"
#include "common/system_text.h"
#include "cpumon/pdh.h"
#include "settings/form2.h"

// Wine's pdh has no per-process counter and refuses every such path; the
// watch then stays off as it should, which the tests below cannot tell from
// a fault. Windows and the Linux module accept the path of a process that
// does not run.
inline bool processCountersRefused() {
    vhb::PDH_HQUERY query = nullptr;
    if (vhb::PdhOpenQueryA(nullptr, 0, &query) != 0)
        return true;
    vhb::PDH_HCOUNTER counter = nullptr;
    const bool refused =
        vhb::PdhAddCounterA(query, "\\Process(vhb-not-running#0)\\% Processor Time", 0, &counter) !=
        0;
    vhb::PdhCloseQuery(query);
    return refused;
}
inline constexpr const char* kRefused = "the system's pdh refuses per-process counter paths (Wine)";

// The Windows build's tests run under Wine, where the offscreen platform
// never reports a tool window as active.
#ifdef _WIN32
inline constexpr bool kToolWindowsActivate = false;
#else
inline constexpr bool kToolWindowsActivate = true;
#endif

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        // As the program has its own path: with the system's separators.
        vhb::setProgramFilePath(QDir::toNativeSeparators(dir.filePath(QStringLiteral("vesk-hb"))));
        vhb::setErrorsMuted(false);
        vhb::setErrorHook([this](const QString& m) { errors << m; });
        vhb::setQuestionHook([this](const QString& caption, const QString& text) {
            questions << caption + QLatin1Char('|') + text;
            return answer;
        });
        form =
            std::make_unique<TForm2>(QStringLiteral("Vesk-HB"), QStringLiteral(VHB_VERSION_TEXT));
        Form2 = form.get();
    }
    void TearDown() override {
        Form2 = nullptr;
        form.reset();
        vhb::setErrorHook({});
        vhb::setQuestionHook({});
        vhb::setProgramFilePath(QString());
    }
    QString iniPath() const {
        return QDir::toNativeSeparators(dir.filePath(QStringLiteral("vesk-hb.Ini")));
    }
    // The text after the path in the settings file's write error, as the
    // error box shows it in the system's encoding.
    static QString writeErrorText() {
        return QString::fromLocal8Bit(vhb::systemText(" に書き込めません").c_str());
    }
    QByteArray iniBytes() const {
        QFile f(iniPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

public:
    // Turns the event loop until `done` holds or `ms` have passed.
    static bool waitFor(const std::function<bool()>& done, int ms) {
        QElapsedTimer t;
        t.start();
        while (!done()) {
            if (t.elapsed() > ms)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return true;
    }
    static void spin(int ms) {
        waitFor([] { return false; }, ms);
    }

protected:
    QTemporaryDir dir;
    std::unique_ptr<TForm2> form;
    QStringList errors;
    QStringList questions;
    bool answer = true;
};

// The settings window aimed at a device socket on loopback, sending from a
// port the system chooses; the heartbeat is stopped after each test.
class LoopbackDeviceTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(device.bind(QHostAddress::LocalHost, 0));
        form->ipEdit->setText(QStringLiteral("127.0.0.1"));
        form->PortEdit->setText(QString::number(device.localPort()));
        form->localPortEdit->setText(QStringLiteral("0"));
    }
    void TearDown() override {
        form->BitBtn4Click();
        WindowTest::TearDown();
    }
    QUdpSocket device;
};
