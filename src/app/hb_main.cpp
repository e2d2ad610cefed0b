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
#include "settings/form2.h"

Thb_main* hb_main = nullptr;

Thb_main::Thb_main()
    : QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("hb_main"));
    setWindowTitle(QStringLiteral("Vesk HB"));
    setFixedSize(207, 120);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    test1 = PopupMenu1->addAction(QStringLiteral("Settings (&T)"));
    test1->setObjectName(QStringLiteral("test1"));
    N2 = PopupMenu1->addSeparator();
    N2->setObjectName(QStringLiteral("N2"));
    Exit1 = PopupMenu1->addAction(QStringLiteral("Exit"));
    Exit1->setObjectName(QStringLiteral("Exit1"));
    connect(test1, &QAction::triggered, this, [this] { test1Click(); });
    connect(Exit1, &QAction::triggered, this, [this] { Exit1Click(); });

    FormCreate();
}

Thb_main::~Thb_main() = default;

void Thb_main::FormCreate() {
    // The window is never shown; with quit-on-last-window-closed off and no
    // visible window the program has no taskbar button.
    Timer1Stage = 0;
    Timer1->start(1);
    VersionText = QStringLiteral("Ver 1.5-190416");
    AppName = QStringLiteral("Vesk-HB");
}

void Thb_main::Timer1Timer() {
    Timer1->stop();
    if (Timer1Stage == 0) {
        if (Form2)
            Form2->IniLoad();
        Timer1Stage = 1;
        Timer1->start(1000);
        return;
    }
    TryiconSet();
    if (!Form2)
        return;
    if (QFileInfo::exists(IniFileName)) {
        Form2->BitBtn3Click();
    } else {
        Form2->show();
        // The settings window is a tool window, which shows without taking
        // the focus; the operator is meant to type into it.
        Form2->activateWindow();
    }
}

void Thb_main::TryiconSet() {
    if (TrayIcon)
        return;  // added once per process
    TrayIcon = new QSystemTrayIcon(vhb::programIcon(), this);
    TrayIcon->setObjectName(QStringLiteral("TrayIcon"));
    TrayIcon->setToolTip(QString());
    connect(TrayIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason r) { TryiconMessage(static_cast<int>(r)); });
    TrayIcon->show();
}

void Thb_main::TryiconMessage(int reason) {
    // Only a press of the left or the right button opens the menu.
    if (reason != QSystemTrayIcon::Trigger && reason != QSystemTrayIcon::Context)
        return;
    PopupMenu1->popup(QCursor::pos());
}

void Thb_main::test1Click() {
    if (!Form2)
        return;
    Form2->show();
    Form2->raise();
    Form2->activateWindow();
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
    if (Form2)
        Form2->IniSave();  // a failed save stops the exit here
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
    if (FormClose()) {
        vhb::setErrorsMuted(true);
        e->accept();
        QCoreApplication::quit();
    }
}
