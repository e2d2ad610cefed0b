// vhb-make-icon FILE: writes the Windows program file's icon from the
// program's own drawing (src/app/windows/vesk-hb.ico in the source tree).
#include <QGuiApplication>
#include <QSaveFile>
#include <cstdio>

#include "icon_file.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vhb-make-icon FILE.ico\n");
        return 2;
    }
    // Drawing needs no screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QSaveFile file(QString::fromLocal8Bit(argv[1]));
    const QByteArray data = vhb::iconFile();
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        std::fprintf(stderr, "vhb-make-icon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
