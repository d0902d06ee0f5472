#pragma once

#include <QObject>
#include <QSocketNotifier>

#include "platform/event_loop.h"

namespace platform {

// Joins the thread's EventLoop to Qt's: while Qt's loop is idle, our
// notifications are delivered through a notifier on the loop's descriptor, and
// our own waits let Qt process its events.
class QtEventBridge : public QObject {
 public:
  explicit QtEventBridge(EventLoop& loop, QObject* parent = nullptr);
  ~QtEventBridge() override;

 private:
  EventLoop& loop_;
  QSocketNotifier notifier_;
};

}  // namespace platform
