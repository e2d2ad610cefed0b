// "Add shortcut to startup": the settings are saved first, so that the
// program started at logon finds its settings file and starts the heartbeat
// by itself.
#include "app/dialogs.h"
#include "common/local_text.h"
#include "platform/shortcut.h"
#include "settings/form2.h"

void TForm2::BitBtn1Click() {
    // The question lowers the stay-on-top windows; they stay lowered until
    // the shortcut is made or a failed save ends the handler.
    vhb::TopmostLowered lowered;
    if (!vhb::askOkCancel(
            QStringLiteral("Create Shortcut"),
            QStringLiteral("Would you like to add this program shortcut to startup?"))) {
        return;
    }
    IniSave();  // a failed save goes to the error report, and no shortcut is made
    const QString appName = MainWindow ? MainWindow->appName() : QStringLiteral("Vesk-HB");
    vhb::platform::CreateShortcut(vhb::filePathFromText(vhb::programFilePath()),
                                  vhb::local8FromText(appName), vhb::platform::kStartupFolder);
}
