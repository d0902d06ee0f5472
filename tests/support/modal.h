#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <functional>

namespace test {

// Runs `act` on the dialog as soon as it is shown (modally, by the code under
// test), so the test can press its buttons like a user would. Gives up after
// the bound.
inline void WhenShown(QDialog* dialog, std::function<void(QDialog*)> act, int boundMs = 10000) {
  auto* timer = new QTimer(dialog);
  auto elapsed = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, dialog, [=] {
    *elapsed += 5;
    if (dialog->isVisible() || *elapsed > boundMs) {
      timer->stop();
      timer->deleteLater();
      if (dialog->isVisible()) act(dialog);
    }
  });
  timer->start(5);
}

}  // namespace test
