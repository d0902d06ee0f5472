#pragma once

#include <functional>
#include <optional>

#include "platform/event_loop.h"

namespace ftp {

// A repeating timer on the UI thread's event loop that bounds the session's
// waits. Setting a property to the value it has changes nothing, so a running
// countdown continues; any real change re-arms the timer.
class TSessionTimer {
 public:
  using TNotifyEvent = std::function<void(TSessionTimer& Sender)>;

  explicit TSessionTimer(platform::EventLoop& loop);
  ~TSessionTimer();
  TSessionTimer(const TSessionTimer&) = delete;
  TSessionTimer& operator=(const TSessionTimer&) = delete;

  bool Enabled() const { return enabled_; }
  unsigned Interval() const { return interval_; }
  // Raise Exception "Kein Zeitgeber" when the loop cannot create the timer.
  void SetEnabled(bool enabled);
  void SetInterval(unsigned milliseconds);
  void SetOnTimer(TNotifyEvent handler);
  // Starts the countdown again from the full interval (if the timer runs).
  void Restart();

 private:
  void Rearm();
  void Fire();

  platform::EventLoop& loop_;
  bool enabled_ = true;
  unsigned interval_ = 1000;
  TNotifyEvent onTimer_;
  std::optional<platform::EventLoop::TimerId> running_;
};

}  // namespace ftp
