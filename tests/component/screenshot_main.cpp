// Pictures of what the operator sees, for a look before a change lands:
//   vhb-screenshot window OUTDIR   the settings window's two pages
//   vhb-screenshot tray OUTDIR     the icon, its menu and the exit question
// Run on a real X server (Xvfb); it presses no "Start" and sends nothing.
#include <QAbstractButton>
#include <QDir>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "app/application.h"
#include "app/dialogs.h"
#include "app/hb_main.h"
#include "settings/form2.h"

namespace {

void settle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool saveScreen(const QString& file) {
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
    const bool ok = shot.save(file);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(file));
    return ok;
}

int windowPictures(const QDir& out) {
    Form2 = new TForm2(QStringLiteral("Vesk-HB"), QStringLiteral("Ver 1.5-190416"));
    Form2->IniLoad();
    Form2->move(40, 40);
    Form2->show();
    settle(500);
    bool ok = Form2->grab().save(out.filePath(QStringLiteral("settings-network.png")));
    Form2->BitBtn8Click();
    settle(300);
    ok = Form2->grab().save(out.filePath(QStringLiteral("settings-cpu.png"))) && ok;
    std::printf("%s settings-network.png, settings-cpu.png in %s\n", ok ? "wrote" : "FAILED",
                qPrintable(out.path()));
    delete Form2;
    return ok ? 0 : 1;
}

int trayPictures(const QDir& out) {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        std::printf("FAILED: no notification area\n");
        return 1;
    }
    hb_main = new Thb_main;
    hb_main->Timer1->stop();  // no start-up sequence: only the icon
    Form2 = new TForm2(hb_main->AppName, hb_main->VersionText);
    hb_main->TryiconSet();
    settle(1500);
    bool ok = saveScreen(out.filePath(QStringLiteral("tray-icon.png")));

    const QRect icon = hb_main->TrayIcon->geometry();
    QCursor::setPos(icon.isValid() ? icon.center() : QPoint(600, 450));
    hb_main->TryiconMessage(QSystemTrayIcon::Trigger);
    settle(700);
    ok = saveScreen(out.filePath(QStringLiteral("tray-menu.png"))) && ok;
    hb_main->PopupMenu1->hide();

    QTimer::singleShot(900, [&] {
        ok = saveScreen(out.filePath(QStringLiteral("exit-question.png"))) && ok;
        if (QWidget* box = QApplication::activeModalWidget()) {
            if (auto* mb = qobject_cast<QMessageBox*>(box))
                mb->button(QMessageBox::Cancel)->click();
        }
    });
    const bool quit = hb_main->FormClose();
    std::printf("exit question answered with Cancel: program %s\n", quit ? "ENDED" : "runs on");
    delete Form2;
    delete hb_main;
    return ok && !quit ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: vhb-screenshot window|tray OUTDIR\n");
        return 2;
    }
    QTemporaryDir home;
    vhb::setProgramFilePath(home.filePath(QStringLiteral("vesk-hb")));
    const QDir out(QString::fromLocal8Bit(argv[2]));
    return QString::fromLatin1(argv[1]) == QLatin1String("tray") ? trayPictures(out)
                                                                 : windowPictures(out);
}
