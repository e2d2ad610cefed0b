#pragma once
#include <QApplication>

#include "platform/shortcut.h"

// The application: an error that leaves any event handler is caught here, at
// the event boundary, and shown in the error box; the program runs on with
// its timers and endpoints as they were.
class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

private:
    // Started with the application on the GUI thread, released at its end.
    vhb::platform::ComponentRuntime componentRuntime_;
};
