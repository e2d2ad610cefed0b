#pragma once
#include <QApplication>

#include "platform/shortcut.h"

// The application. Every handler runs inside the guard of common/guard.h,
// which shows an error that ends it in the error box; the program runs on
// with its timers and endpoints as they were. An error that would still
// leave an event handler is caught here, at the event boundary, as a
// backstop.
class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

private:
    // Started with the application on the GUI thread, released at its end.
    vhb::platform::ComponentRuntime componentRuntime_;
};
