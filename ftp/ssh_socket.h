#pragma once

#include <functional>
#include <string>

#include "ftp/sock_session.h"
#include "ftp/ssh_connection.h"

namespace ftp {

// The TCP connection under an SSH session, and that session's one wait: the
// socket session's, so that SSH waits keep the thread's event loop running
// and end on the same time-out and cancel as the FTP client's.
class TSshSocket : public TSockSession {
 public:
  using TSockSession::MarkProgress;
  using TSockSession::Pumping;
  using TSockSession::SlowBound;

  // Connects as TSockSession does, then leaves the socket to the SSH layer:
  // that reads ahead and finds the end of the stream itself, so the loop
  // must not close the socket when the peer does.
  void Connect() override;
  // Repeats `step` until it no longer asks to wait, all within TimeOut, and
  // returns its last status. Raises EAbortError "SSH: the <what> timed out"
  // or "SSH: the <what> was cancelled".
  SshStatus Drive(const std::function<SshStatus()>& step, const std::string& what);
  // One pass of the wait for what `status` asks, then raises as Drive does
  // once the time-out has passed or a cancel came. The time-out runs as the
  // caller armed it.
  void Await(SshStatus status, Pumping pumping, const std::string& what);
};

}  // namespace ftp
