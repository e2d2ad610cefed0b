#pragma once
// What the operator sees of the settings window beyond its controls: the
// fonts its captions were placed for, and where it first appears. Nothing
// here measures text, so the hidden window costs nothing until it is shown.
#include <QFont>

class QWidget;

namespace vhb {

// The window's font: the 8-point sans the positions were made for, or a
// sans of the same widths where the system lacks it.
QFont settingsFormFont();
// "Add shortcut to startup" keeps a Japanese proportional gothic where one
// is installed, and the window's font otherwise.
QFont shortcutButtonFont();
// Centres the window on its screen when it is first shown; later showings
// keep wherever the operator left it.
void centreOnFirstShow(QWidget* window);

}  // namespace vhb
