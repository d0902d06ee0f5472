#pragma once

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace app {

// Moves a window to the middle of the primary screen.
inline void CentreOnScreen(QWidget& window) {
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    window.move(screen->availableGeometry().center() - window.rect().center());
}

}  // namespace app
