#include "app/application.h"

#include "app/dialogs.h"
#include "common/guard.h"
#include "common/local_text.h"
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
    // What the handlers' guard catches goes to the one error box.
    vhb::setErrorReport(
        [](std::string_view message) { vhb::showError(vhb::textFromLocal8(message)); });
    setApplicationName(QStringLiteral("Vesk-HB"));
    // Closing the settings window must not end the program.
    setQuitOnLastWindowClosed(false);
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    // Only a backstop: every handler of the program runs inside the guard,
    // so nothing is meant to arrive here.
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        vhb::reportCurrentException();
    }
    return false;
}
