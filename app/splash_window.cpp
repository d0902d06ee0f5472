#include "app/splash_window.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>

#include "app/app_icon.h"

namespace app {

SplashWindow::SplashWindow() : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint) {
  auto* icon = new QLabel(this);
  icon->setPixmap(ParceloIcon().pixmap(32, 32));
  icon->setFixedSize(32, 32);
  auto* text = new QLabel(QStringLiteral("Loading... Please wait."), this);
  text->setAlignment(Qt::AlignCenter);
  text->setWordWrap(true);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(16, 16, 16, 16);
  row->setSpacing(12);
  row->addWidget(icon, 0, Qt::AlignTop);
  row->addWidget(text, 1);
  setStyleSheet(QStringLiteral("SplashWindow { border: 1px solid palette(dark); }"));
  adjustSize();
}

void SplashWindow::ShowNow() {
  if (const QScreen* screen = QApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  show();
  repaint();
  QApplication::processEvents();
}

}  // namespace app
