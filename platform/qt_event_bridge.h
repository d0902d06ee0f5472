#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

#include "platform/event_loop.h"

namespace platform {

// Joins the thread's EventLoop to Qt's: while Qt's loop is idle, our
// notifications are delivered (on Linux through a notifier on the loop's
// descriptor; on Windows Qt's message pump hands them to the loop's window),
// and our own waits let Qt process its events.
class QtEventBridge : public QObject {
 public:
  explicit QtEventBridge(EventLoop& loop, QObject* parent = nullptr);
  ~QtEventBridge() override;

 private:
  EventLoop& loop_;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace platform
