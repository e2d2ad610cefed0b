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
#include <functional>
#include <memory>

#include "app/dialogs.h"
#include "app/hb_main.h"
#include "common/system_text.h"
#include "settings/form2.h"

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
            std::make_unique<TForm2>(QStringLiteral("Vesk-HB"), QStringLiteral("Ver 1.5-190416"));
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
