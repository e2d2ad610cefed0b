#pragma once
// Where the settings window (settings/) and the program's main window (app/)
// meet: what each asks of the other, and nothing more. Neither reaches
// further into the other; the program's entry joins the two.
#include <QString>

namespace vhb {

// What the settings window asks of the main window.
class MainWindowLink {
public:
    // AppName, after which the startup shortcut is named.
    virtual QString appName() const = 0;
    // The program's exit: the main window's close, with its question.
    virtual void closeMainWindow() = 0;

protected:
    ~MainWindowLink() = default;
};

// What the main window asks of the settings window.
class SettingsWindowLink {
public:
    // Start-up stage 1: the settings file into the controls. Gives the
    // settings file's full path.
    virtual QString loadSettings() = 0;
    // Start-up stage 2 with a settings file: the heartbeat's Start, exactly
    // as a press of its button, with no window shown.
    virtual void startHeartbeat() = 0;
    // Shows the window in front, ready to be typed into.
    virtual void showSettings() = 0;
    // The confirmed exit's save; a failed save raises, and the exit stops.
    virtual void saveSettings() = 0;

protected:
    ~SettingsWindowLink() = default;
};

}  // namespace vhb
