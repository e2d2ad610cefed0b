#include "app/application.h"

#include <exception>

#include "app/dialogs.h"
#include "common/system_text.h"
#include "platform/system.h"

namespace {
// The toolkit picks its event loop while the application object is made.
int& withEventLoopChosen(int& argc) {
    vhb::platform::chooseEventLoop();
    return argc;
}
}  // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(withEventLoopChosen(argc), argv) {
    vhb::setSystemTextConverter(vhb::platform::systemTextFromUtf8);
    setApplicationName(QStringLiteral("Vesk-HB"));
    // Closing the settings window must not end the program.
    setQuitOnLastWindowClosed(false);
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        vhb::showError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        vhb::showError(QStringLiteral("Unknown error"));
    }
    return false;
}
