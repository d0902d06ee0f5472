#include <cerrno>

#include "ftp/armed_timer.h"
#include "ftp/sock_session.h"

namespace ftp {

ssize_t TSockSession::Receive(char* buffer, std::size_t size, bool peek) {
  ioWait_ = WaitOn::Readable;
  if (!tls_) return platform::ReceiveSocket(socket_, buffer, size, peek);
  const TlsTransfer got = peek ? tls_->Peek(buffer, size) : tls_->Read(buffer, size);
  switch (got.status) {
    case TlsStatus::Done: return static_cast<ssize_t>(got.bytes);
    case TlsStatus::Closed: return 0;
    case TlsStatus::SocketError: return -1;
    case TlsStatus::WantWrite: ioWait_ = WaitOn::Writable; [[fallthrough]];
    case TlsStatus::WantRead: errno = EAGAIN; return -1;
  }
  return -1;
}

ssize_t TSockSession::SendSome(const char* bytes, std::size_t size) {
  ioWait_ = WaitOn::Writable;
  if (!tls_) return platform::SendSocket(socket_, bytes, size);
  const TlsTransfer sent = tls_->Write(bytes, size);
  switch (sent.status) {
    case TlsStatus::Done: return static_cast<ssize_t>(sent.bytes);
    case TlsStatus::Closed: errno = EPIPE; return -1;
    case TlsStatus::SocketError: return -1;
    case TlsStatus::WantRead: ioWait_ = WaitOn::Readable; [[fallthrough]];
    case TlsStatus::WantWrite: errno = EAGAIN; return -1;
  }
  return -1;
}

void TSockSession::DriveTls(const std::function<TlsStatus()>& step, const std::string& what) {
  const ArmedTimer timer(*this);
  TlsStatus status = step();
  while ((status == TlsStatus::WantRead || status == TlsStatus::WantWrite) && !Cancelled && !TimedOut) {
    WaitPass(status == TlsStatus::WantRead ? WaitOn::Readable : WaitOn::Writable);
    status = step();
  }
  if (status == TlsStatus::Done) return;
  if (status == TlsStatus::SocketError) CheckError(10035);
  Cancelled = false;
  throw ETlsError("TLS: the " + what + (TimedOut ? " timed out" : " was cancelled"),
                  ETlsError::Kind::Interrupted);
}

void TSockSession::StartTls(const TTlsContext& context, const TSockSession* resumed) {
  Status(8, "TLS-Handshake");
  // A data connection may be reached by the server's address, but the
  // certificate is the one of the name the control connection was given.
  const std::string& peerName = resumed ? resumed->Host : Host;
  try {
    tls_ = std::make_unique<TTlsConnection>(context, socket_, peerName);
    if (resumed && resumed->tls_) tls_->ResumeSessionOf(*resumed->tls_);
    DriveTls([this] { return tls_->Handshake(); }, "handshake with " + peerName);
  } catch (...) {
    // Half a handshake leaves nothing the connection could still be used for.
    CloseSocket();
    throw;
  }
}

void TSockSession::EndTls() {
  if (!tls_) return;
  Status(8, "TLS-Abschluss");
  DriveTls([this] { return tls_->Shutdown(); }, "closing of the connection to " + Host);
}

std::string TSockSession::TlsDescription() const { return tls_ ? tls_->Description() : std::string(); }

}  // namespace ftp
