// Pictures of what the operator sees, for a look before a change lands:
//   vhb-screenshot window OUTDIR      the settings window's two pages, and
//                                     the screen with the window where it
//                                     first appears
//   vhb-screenshot status OUTDIR TAG  the network page with a time stamp and
//                                     a CPU text in the process's locale
//   vhb-screenshot tray OUTDIR        the icon, its menu and the exit question
// Run on a real X server (Xvfb); it presses no "Start" and sends nothing.
#include <QAbstractButton>
#include <QDir>
#include <QGuiApplication>
#include <QLocale>
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
#include "common/user_locale.h"
#include "settings/controls.h"
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

// The settings window as the operator first sees it, with both status
// panels written as "Start" and one processor-time sample write them.
void showSettingsWindow() {
    Form2 = new TForm2(QStringLiteral("Vesk-HB"), QStringLiteral(VHB_VERSION_TEXT));
    Form2->IniLoad();
    Form2->show();
    Form2->Panel3->setText(QStringLiteral("Start ") + vhb::timestampText());
    Form2->cpu_chk(123);
    settle(500);
}

int windowPictures(const QDir& out) {
    showSettingsWindow();
    bool ok = Form2->grab().save(out.filePath(QStringLiteral("settings-network.png")));
    ok = saveScreen(out.filePath(QStringLiteral("settings-screen.png"))) && ok;
    Form2->BitBtn8Click();
    settle(300);
    ok = Form2->grab().save(out.filePath(QStringLiteral("settings-cpu.png"))) && ok;
    std::printf("%s settings-network.png, settings-cpu.png in %s\n", ok ? "wrote" : "FAILED",
                qPrintable(out.path()));
    delete Form2;
    return ok ? 0 : 1;
}

int statusPicture(const QDir& out, const QString& tag) {
    showSettingsWindow();
    const QString file = out.filePath(QStringLiteral("status-%1.png").arg(tag));
    const bool ok = Form2->grab().save(file);
    std::printf("%s %s (%s: \"%s\", \"%s\")\n", ok ? "wrote" : "FAILED", qPrintable(file),
                qPrintable(QLocale::system().name()), qPrintable(Form2->Panel3->text()),
                qPrintable(Form2->Panel6->text()));
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
    // The menu and the icon alone, for the README.
    const QRect near = hb_main->PopupMenu1->geometry()
                           .united(icon.isValid() ? icon : QRect())
                           .adjusted(-24, -24, 24, 24)
                           .intersected(QGuiApplication::primaryScreen()->geometry());
    ok = QGuiApplication::primaryScreen()
             ->grabWindow(0, near.x(), near.y(), near.width(), near.height())
             .save(out.filePath(QStringLiteral("tray-menu-close.png"))) &&
         ok;
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
    const QString mode = argc > 1 ? QString::fromLatin1(argv[1]) : QString();
    if (argc < 3 || (mode == QLatin1String("status") && argc < 4)) {
        std::fprintf(stderr, "usage: vhb-screenshot window|tray OUTDIR | status OUTDIR TAG\n");
        return 2;
    }
    QTemporaryDir home;
    vhb::setProgramFilePath(home.filePath(QStringLiteral("vesk-hb")));
    const QDir out(QString::fromLocal8Bit(argv[2]));
    if (mode == QLatin1String("tray"))
        return trayPictures(out);
    if (mode == QLatin1String("status"))
        return statusPicture(out, QString::fromLocal8Bit(argv[3]));
    return windowPictures(out);
}
