#include "app/window/splash_window.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>

#include "app/window/app_icon.h"
#include "app/window/centre_on_screen.h"

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
  CentreOnScreen(*this);
  show();
  repaint();
  QApplication::processEvents();
}

}  // namespace app
