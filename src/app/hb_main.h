#pragma once
// The hidden main window: never shown, it carries the start-up timer, owns
// the notification-area icon and its menu, and its close is the program's
// exit.
#include <QString>
#include <QWidget>

#include "settings/window_link.h"

class QAction;
class QMenu;
class QSystemTrayIcon;
class QTimer;

class Thb_main : public QWidget, public vhb::MainWindowLink {
    Q_OBJECT
public:
    Thb_main();
    ~Thb_main() override;

    // The settings window, which the program's entry joins to this one.
    vhb::SettingsWindowLink* SettingsWindow = nullptr;

    QTimer* Timer1;  // start-up timer, two ticks in all
    int Timer1Stage = 0;
    QMenu* PopupMenu1;
    QAction* test1;  // "Settings (&T)"
    QAction* N2;     // separator
    QAction* Exit1;  // "Exit"
    QSystemTrayIcon* TrayIcon = nullptr;
    QString IniFileName;
    QString AppName;
    QString VersionText;

    void FormCreate();
    void Timer1Timer();
    void TryiconSet();
    void TryiconMessage(int reason);  // QSystemTrayIcon::ActivationReason
    void test1Click();
    void Exit1Click();
    // The exit confirmation; true when the program is to end.
    bool FormClose();
    bool iconShown() const;

    // vhb::MainWindowLink
    QString appName() const override { return AppName; }
    void closeMainWindow() override { close(); }

protected:
    void closeEvent(QCloseEvent* e) override;
};

// The one main window of the process.
extern Thb_main* hb_main;
