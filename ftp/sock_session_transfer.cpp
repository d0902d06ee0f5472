#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "ftp/armed_timer.h"
#include "ftp/file_source.h"
#include "ftp/minimum_rate.h"
#include "ftp/sent_bytes.h"
#include "ftp/sock_session.h"
#include "ftp/unique_fd.h"
#include "platform/file_io.h"
#include "platform/winsock_error.h"

namespace ftp {
namespace {

constexpr std::size_t kCaptureChunk = 1 << 19;
constexpr int kAcceptBacklog = 8;

void WriteAll(int file, const char* bytes, std::size_t length, const std::string& path) {
  while (length > 0) {
    const auto written = ::write(file, bytes, static_cast<unsigned>(std::min<std::size_t>(length, 1u << 30)));
    if (written < 0) {
      if (errno == EINTR) continue;
      RaiseFileError("Datei kann nicht geschrieben werden", path);
    }
    bytes += written;
    length -= static_cast<std::size_t>(written);
  }
}

}  // namespace

void TSockSession::Listen(bool useCompletion, const TNetAddress& at) {
  Status(8, "Warten auf Ereignisse");
  if (Port < 0 || Port > 65535) throw ESockError("Ungültige Portnummer"_ansi);
  if (at.Family() != family_) ReplaceSocket(at.Family());
  TNetAddress local = at;
  local.SetPort(static_cast<std::uint16_t>(Port));
  EventArrived = false;
  if (platform::SocketCall(::bind(socket_, local.Raw(), local.Length())) != 0) CheckError(10035);
  loop_.WatchSocket(socket_, platform::kSocketAccept, [this, useCompletion](unsigned event, int error) {
    if (useCompletion)
      OnCompletion(event, error);
    else
      OnSocketNotification(event, error);
  });
  // Room for the server's connection beside strangers that came first and
  // wait to be turned away: a full queue drops the server's SYN, and its
  // retries come only after a second or more.
  if (platform::SocketCall(::listen(socket_, kAcceptBacklog)) != 0) CheckError(10035);
}

platform::SocketHandle TSockSession::Accept() {
  Status(4, "Annahme");
  ArmedTimer timer(*this);
  for (;;) {
    WaitFor([this] { return EventArrived || Cancelled || TimedOut; });
    if (TimedOut) {
      Cancelled = false;
      throw ESockError("Zeitüberschreitung bei Annahme der Datenverbindung"_ansi);
    }
    if (Cancelled) throw ESockError("Annahme abgebrochen");
    if (!EventOk) throw ESockError("Fehler beim Herstellen der Datenverbindung");
    const platform::SocketHandle accepted = TakeAcceptedConnection();
    if (accepted != platform::kNoSocket) {
      RaiseIfStopped("Socket-send abgebrochen", nullptr);
      return accepted;
    }
    EventArrived = false;
  }
}

platform::SocketHandle TSockSession::TakeAcceptedConnection() {
  for (;;) {
    TNetAddress from;
    socklen_t length = sizeof from.storage;
    const platform::SocketHandle accepted = platform::AcceptSocket(socket_, from.Raw(), &length);
    if (accepted == platform::kNoSocket) {
      if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) CheckError(10035);
      return platform::kNoSocket;
    }
    // Only the server may deliver the data; anybody else is turned away.
    if (acceptFrom_ && !acceptFrom_->SameHost(from)) {
      platform::CloseSocket(accepted);
      continue;
    }
    loop_.UnwatchSocket(socket_);
    platform::CloseSocket(socket_);
    socket_ = accepted;
    peer_ = from;
    WatchForData();
    Connected = true;
    return accepted;
  }
}

void TSockSession::KeepUnsentDataOnClose() {
  const linger off{0, 0};
  platform::SetSocketOption(socket_, SOL_SOCKET, SO_LINGER, off);
}

void TSockSession::SendWithoutDelay() {
  const int on = 1;
  platform::SetSocketOption(socket_, IPPROTO_TCP, TCP_NODELAY, on);
}

TNetAddress TSockSession::LocalAddress() const {
  TNetAddress local;
  socklen_t length = sizeof local.storage;
  getsockname(socket_, local.Raw(), &length);
  return local;
}

std::string TSockSession::LocalAddressText() {
  std::string address = LocalAddress().Text();
  std::replace(address.begin(), address.end(), '.', ',');
  return address;
}

std::string TSockSession::LocalPortText() {
  const std::uint16_t port = LocalAddress().Port();
  std::string text = ",";
  text += std::to_string(port >> 8);
  text += ',';
  text += std::to_string(port & 0xff);
  return text;
}

void TSockSession::SendFile(TFileSource& source, TSentBytes* seen) {
  Status(8, "SendFile");
  ArmedTimer timer(*this);
  MinimumRate rate(SlowBound());
  const std::int64_t size = source.Size();
  std::int64_t offset = 0;
  while (offset < size && !Cancelled && !TimedOut) {
    const auto want = static_cast<std::size_t>(std::min<std::int64_t>(kBufferSize, size - offset));
    const std::size_t chunk = source.ReadAt(buffer_.data(), want, offset);
    // Fewer bytes than the file had when the upload began: it was cut meanwhile.
    if (chunk == 0) throw Exception("Datei während des Sendens gekürzt: "_ansi + source.Name());
    if (seen) seen->Add(buffer_.data(), chunk);
    SendAll(buffer_.data(), chunk, &rate);
    offset += static_cast<std::int64_t>(chunk);
  }
  RaiseIfStopped("Socket-send abgebrochen", "Zeitüberschreitung beim Senden der Datei"_ansi);
}

std::int64_t TSockSession::BytesTaken() const {
  return BytesSent - platform::UnsentBytes(socket_).value_or(0);
}

void TSockSession::AwaitDelivery() {
  Status(8, "Warten auf Abnahme der Daten");
  ArmedTimer timer(*this);
  MinimumRate rate(SlowBound());
  std::int64_t unsent = platform::UnsentBytes(socket_).value_or(0);
  while (unsent > 0 && !Cancelled && !TimedOut && peerCloseError_ == 0) {
    rate.Check(BytesSent - unsent);
    WaitPass(WaitOn::Delivery, Pumping::WhenDue);
    const std::int64_t left = platform::UnsentBytes(socket_).value_or(0);
    // The peer still takes data: it is slow, not gone.
    if (left < unsent) progressed_ = true;
    unsent = left;
  }
  RaiseIfStopped("Socket-send abgebrochen", "Zeitüberschreitung beim Senden der Datei"_ansi);
  // A reset before the peer took everything: the data did not arrive whole.
  RaiseIfPeerReset();
}

void TSockSession::RaiseIfPeerReset() {
  if (peerCloseError_ == 0) return;
  errno = peerCloseError_;
  CheckError(10035);
}

void TSockSession::CaptureFile(const std::string& file) {
  Status(8, "Datei erfassen");
  BytesReceived = 0;
  ArmedTimer timer(*this);
  const UniqueFd output(platform::OpenFile(file, O_WRONLY | O_CREAT | O_TRUNC));
  if (!output) RaiseFileError("Datei kann nicht angelegt werden", file);
  // Larger pieces than a reply line needs: fewer calls per megabyte.
  std::vector<char> chunk(kCaptureChunk);
  MinimumRate rate(SlowBound());
  while (!Cancelled && !TimedOut) {
    const ssize_t got = Receive(chunk.data(), chunk.size(), false);
    if (got > 0) {
      WriteAll(output.get(), chunk.data(), static_cast<std::size_t>(got), file);
      BytesReceived += got;
      progressed_ = true;
      Notify(OnPacketRecvd, *this);
      PumpIfDue();
      continue;
    }
    if (got == 0) break;
    const int error = errno;
    LastError = platform::WinsockError(error);
    if (error == EAGAIN || error == EWOULDBLOCK || error == EINTR) {
      rate.Check(BytesReceived);
      WaitPass(ioWait_, Pumping::WhenDue);
      continue;
    }
    // The fresh socket that replaced one the peer closed.
    if (LastError == 10057) break;
    CheckError(10035);
  }
  if (TimedOut) Cancelled = true;
  RaiseIfStopped("Socket-send abgebrochen", nullptr);
  RaiseIfPeerReset();
  // Through TLS only the peer's close_notify says the data is complete; an
  // end without it may be an attacker's or a crash's cut.
  if (tls_ && !tls_->CloseNotifyReceived())
    throw ETlsError("TLS: the data connection from " + Host +
                    " ended without close_notify; the download may be incomplete",
                    ETlsError::Kind::Interrupted);
}

}  // namespace ftp
