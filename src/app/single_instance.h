#pragma once
// One instance per program file: a second start of the same program (the
// same settings file) hands over to the first and ends; a copy under another
// file name is another program.
#include <QObject>
#include <QString>
#include <filesystem>
#include <functional>

#include "platform/instance_lock.h"

class QLocalServer;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString& settingsFilePath, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True for the first instance, which from now on listens for later
    // starts. False for a later one, after it asked the first instance to
    // show its settings window.
    bool acquire();
    // Run in the first instance when a later start asks for the window.
    std::function<void()> onShowRequested;

    static QString keyFor(const QString& settingsFilePath);

private:
    QString key_;
    std::filesystem::path folder_;
    vhb::platform::InstanceLock lock_;
    QLocalServer* server_ = nullptr;
};
