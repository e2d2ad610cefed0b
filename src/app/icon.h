#pragma once
#include <QIcon>

namespace vhb {
// The program's own image: a pulse line over a round face.
QIcon programIcon();
}  // namespace vhb
