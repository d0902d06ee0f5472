#pragma once

#include <QIcon>
#include <QImage>
#include <string>

namespace app {

// The program's own icon: a parcel with an arrow leaving it, drawn at every
// size it is asked for.
QIcon ParceloIcon();

// The same icon as an image of `size` x `size` pixels, and as SVG (the
// desktop's scalable icon); both are drawn from one set of shapes.
QImage ParceloIconImage(int size);
std::string ParceloIconSvg();

}  // namespace app
