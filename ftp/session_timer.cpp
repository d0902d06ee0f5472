#include "ftp/session_timer.h"

#include <chrono>
#include <system_error>

#include "ftp/ftp_errors.h"

namespace ftp {

TSessionTimer::TSessionTimer(platform::EventLoop& loop) : loop_(loop) {}

TSessionTimer::~TSessionTimer() {
  if (running_) loop_.StopTimer(*running_);
}

void TSessionTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Rearm();
}

void TSessionTimer::SetInterval(unsigned milliseconds) {
  if (milliseconds == interval_) return;
  interval_ = milliseconds;
  Rearm();
}

void TSessionTimer::SetOnTimer(TNotifyEvent handler) {
  onTimer_ = std::move(handler);
  Rearm();
}

void TSessionTimer::Restart() {
  if (running_) Rearm();
}

void TSessionTimer::Rearm() {
  if (running_) {
    loop_.StopTimer(*running_);
    running_.reset();
  }
  if (interval_ == 0 || !enabled_ || !onTimer_) return;
  try {
    running_ = loop_.StartTimer(std::chrono::milliseconds(interval_), [this] { Fire(); });
  } catch (const std::system_error&) {
    throw Exception("Kein Zeitgeber");
  }
}

void TSessionTimer::Fire() {
  // A failing handler must not break the event loop that delivered the tick.
  try {
    TNotifyEvent handler = onTimer_;
    if (handler) handler(*this);
  } catch (...) {
  }
}

}  // namespace ftp
