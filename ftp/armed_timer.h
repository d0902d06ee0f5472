#pragma once

#include "ftp/sock_session.h"

namespace ftp {

// Runs a session's time-out for the lifetime of one operation, also when it
// fails: TimeOut, or `interval` milliseconds (0: none).
class ArmedTimer {
 public:
  explicit ArmedTimer(TSockSession& session) : session_(session) { session_.StartTimer(); }
  ArmedTimer(TSockSession& session, int interval) : session_(session) {
    session_.StartTimer(interval);
  }
  ~ArmedTimer() { session_.StopTimer(); }
  ArmedTimer(const ArmedTimer&) = delete;
  ArmedTimer& operator=(const ArmedTimer&) = delete;

 private:
  TSockSession& session_;
};

}  // namespace ftp
