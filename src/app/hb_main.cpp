#include "app/hb_main.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QFileInfo>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

#include "app/dialogs.h"
#include "app/icon.h"
#include "common/guard.h"

Thb_main* hb_main = nullptr;

Thb_main::Thb_main()
    : QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("hb_main"));
    setWindowTitle(QStringLiteral("Vesk HB"));
    setFixedSize(207, 120);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    connect(Timer1, &QTimer::timeout, this, vhb::guard([this] { Timer1Timer(); }));

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    test1 = PopupMenu1->addAction(QStringLiteral("Settings (&T)"));
    test1->setObjectName(QStringLiteral("test1"));
    N2 = PopupMenu1->addSeparator();
    N2->setObjectName(QStringLiteral("N2"));
    Exit1 = PopupMenu1->addAction(QStringLiteral("Exit"));
    Exit1->setObjectName(QStringLiteral("Exit1"));
    connect(test1, &QAction::triggered, this, vhb::guard([this] { test1Click(); }));
    connect(Exit1, &QAction::triggered, this, vhb::guard([this] { Exit1Click(); }));

    FormCreate();
}

Thb_main::~Thb_main() = default;

void Thb_main::FormCreate() {
    // The window is never shown; with quit-on-last-window-closed off and no
    // visible window the program has no taskbar button.
    Timer1Stage = 0;
    Timer1->start(1);
    VersionText = QStringLiteral(VHB_VERSION_TEXT);
    AppName = QStringLiteral("Vesk-HB");
}

void Thb_main::Timer1Timer() {
    Timer1->stop();
    if (Timer1Stage == 0) {
        if (SettingsWindow)
            IniFileName = SettingsWindow->loadSettings();
        Timer1Stage = 1;
        Timer1->start(1000);
        return;
    }
    TryiconSet();
    if (!SettingsWindow)
        return;
    if (QFileInfo::exists(IniFileName)) {
        SettingsWindow->startHeartbeat();
    } else {
        SettingsWindow->showSettings();
    }
}

void Thb_main::TryiconSet() {
    if (TrayIcon)
        return;  // added once per process
    TrayIcon = new QSystemTrayIcon(vhb::programIcon(), this);
    TrayIcon->setObjectName(QStringLiteral("TrayIcon"));
    TrayIcon->setToolTip(QString());
    connect(TrayIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason r) {
                vhb::guarded([this, r] { TryiconMessage(static_cast<int>(r)); });
            });
    TrayIcon->show();
}

void Thb_main::TryiconMessage(int reason) {
    // Only a press of the left or the right button opens the menu.
    if (reason != QSystemTrayIcon::Trigger && reason != QSystemTrayIcon::Context)
        return;
    PopupMenu1->popup(QCursor::pos());
}

void Thb_main::test1Click() {
    if (SettingsWindow)
        SettingsWindow->showSettings();
}

void Thb_main::Exit1Click() {
    close();
}

bool Thb_main::iconShown() const {
    return TrayIcon && TrayIcon->isVisible();
}

bool Thb_main::FormClose() {
    if (!vhb::askOkCancel(QStringLiteral("Exit"),
                          QStringLiteral("Would you like to quit the software?")))
        return false;
    if (SettingsWindow)
        SettingsWindow->saveSettings();  // a failed save stops the exit here
    if (TrayIcon) {
        TrayIcon->hide();
        delete TrayIcon;
        TrayIcon = nullptr;
    }
    return true;
}

void Thb_main::closeEvent(QCloseEvent* e) {
    // Refused until the operator confirms, so that an error in the save also
    // leaves the program running.
    e->ignore();
    bool confirmed = false;
    vhb::guarded([&] { confirmed = FormClose(); });
    if (confirmed) {
        vhb::setErrorsMuted(true);
        e->accept();
        QCoreApplication::quit();
    }
}
