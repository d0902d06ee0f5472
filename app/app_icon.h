#pragma once

#include <QIcon>

namespace app {

// The program's own icon: a parcel with an arrow leaving it, drawn at every
// size it is asked for.
QIcon ParceloIcon();

}  // namespace app
