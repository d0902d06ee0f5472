#include <algorithm>
#include <cerrno>
#include <cstring>

#include "ftp/armed_timer.h"
#include "ftp/minimum_rate.h"
#include "ftp/reply_text.h"
#include "ftp/sock_session.h"
#include "platform/winsock_error.h"

namespace ftp {
namespace {

bool WouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

}  // namespace

void TSockSession::RaiseIfStopped(const char* cancelText, const char* timeoutText) {
  // The session's own time-out also cancels it (Abort), so it is told first.
  if (TimedOut && timeoutText) {
    Cancelled = false;
    throw EAbortError(timeoutText);
  }
  if (!Cancelled) return;
  Cancelled = false;
  throw EAbortError(cancelText);
}

void TSockSession::SendAll(const char* bytes, std::size_t length, MinimumRate* rate) {
  std::size_t remaining = length;
  while (remaining > 0 && !Cancelled && !TimedOut) {
    const ssize_t sent = SendSome(bytes + (length - remaining), remaining);
    if (sent == 0) return;
    if (sent < 0) {
      if (!WouldBlock(errno)) {
        CheckError(10035);
        continue;
      }
      if (rate) rate->Check(BytesTaken());
      WaitPass(ioWait_, Pumping::WhenDue);
      continue;
    }
    remaining -= static_cast<std::size_t>(sent);
    if (!rate) continue;
    BytesSent += sent;
    progressed_ = true;
    Notify(OnPacketSent, *this);
    PumpIfDue();
  }
}

void TSockSession::SendBuffer(const char* bytes, std::size_t length) {
  Status(4, "Puffer senden");
  ArmedTimer timer(*this);
  if (!Cancelled) {
    if (length == 0) length = strnlen(bytes, kBufferSize);
    if (length >= kBufferSize) throw ESockError("Text zu lang für Socket-send"_ansi);
    SendAll(bytes, length, nullptr);
  }
  RaiseIfStopped("Socket-send abgebrochen", "Zeitüberschreitung bei Socket-send"_ansi);
}

void TSockSession::Write(const std::string& text) {
  Status(8, "Schreiben");
  if (text.size() >= kBufferSize) throw ESockError("Text zu lang für Socket-send"_ansi);
  std::memcpy(buffer_.data(), text.data(), text.size());
  buffer_[text.size()] = '\0';
  SendBuffer(buffer_.data(), 0);
}

void TSockSession::Writeln(const std::string& text) {
  Status(8, "Writeln");
  Write(text + "\r\n");
}

std::string TSockSession::ReadLn() {
  Status(8, "ReadLn");
  const ReplyScope reply(*this);
  ArmedTimer timer(*this, replyPatience_ == Patience::TimeOut ? TimeOut : 0);
  std::string line;
  while (!Cancelled && !TimedOut) {
    replyBounds_.CheckTime();
    const std::size_t room = kBufferSize - line.size();
    if (room == 0) throw ESockError("Zeile zu lang bei Socket-readln");
    const ssize_t peeked = Receive(buffer_.data(), room, true);
    if (peeked == 0) {
      // The peer ended the stream: through TLS nothing more can come either.
      if (tls_) CloseSocket();
      return {};
    }
    if (peeked < 0) {
      const int error = errno;
      LastError = platform::WinsockError(error);
      if (LastError == 10057) return {};
      if (!WouldBlock(error)) CheckError(10035);
      WaitPass(ioWait_);
      continue;
    }
    const char* begin = buffer_.data();
    const char* end = begin + peeked;
    const char* lf = std::find(begin, end, '\n');
    if (lf != end && Cancelled) break;
    // Take exactly the bytes up to the LF; what follows stays for the next read.
    const std::size_t take = lf != end ? static_cast<std::size_t>(lf - begin) + 1
                                       : static_cast<std::size_t>(peeked);
    const ssize_t got = Receive(buffer_.data(), take, false);
    if (got > 0) {
      line.append(buffer_.data(), static_cast<std::size_t>(got));
      replyBounds_.CountBytes(static_cast<std::size_t>(got));
      progressed_ = true;
      // A server that floods the connection must not starve the window.
      PumpIfDue();
    }
    if (lf != end) {
      replyBounds_.CountLine();
      return line;
    }
  }
  RaiseIfStopped("Socket-readln abgebrochen", "Zeitüberschreitung beim Warten auf Antwort"_ansi);
  return line;
}

std::string TSockSession::Read(std::uint16_t count) {
  Status(8, "Read( " + std::to_string(count) + " )");
  std::size_t wanted = count;
  if (count > 0) {
    while (!Cancelled) {
      const ssize_t peeked = Receive(buffer_.data(), kBufferSize, true);
      if (peeked >= static_cast<ssize_t>(count)) break;
      if (peeked == 0) return {};
      if (peeked < 0) CheckError(10035);
      // Peeked bytes stay readable, so wait for the next arrival, not for readability.
      WaitPass(WaitOn::Messages);
    }
  } else {
    const ssize_t peeked = Receive(buffer_.data(), kBufferSize, true);
    if (peeked < 0) {
      CheckError(10035);
      return {};
    }
    wanted = static_cast<std::size_t>(peeked);
  }
  RaiseIfStopped("Socket-send abgebrochen", nullptr);
  const ssize_t got = Receive(buffer_.data(), wanted, false);
  return got > 0 ? std::string(buffer_.data(), static_cast<std::size_t>(got)) : std::string();
}

bool TSockSession::DataAvailable() {
  Status(8, "Daten verfügbar"_ansi);
  char byte;
  return Receive(&byte, 1, true) > 0;
}

void TSockSession::ClearInput() {
  Status(8, "Löschen der Eingabe"_ansi);
  [[maybe_unused]] const ssize_t dropped = Receive(buffer_.data(), kBufferSize, false);
}

std::string TSockSession::Transaction(const std::string& command) {
  Status(8, "Transaktion");
  ReplyCode = 0;
  Writeln(command);
  const std::string reply = ReadLn();
  LastReply = reply;
  if (!reply.empty()) {
    Status(1, reply);
    ParseReplyCode(reply);
  }
  return reply;
}

void TSockSession::ParseReplyCode(const std::string& reply) {
  const auto code = LeadingNumber(reply, 10);
  if (!code) return;
  if (*code > 32767) throw ESockError("Ungültiger Antwortcode"_ansi);
  ReplyCode = static_cast<std::int16_t>(*code);
}

}  // namespace ftp
