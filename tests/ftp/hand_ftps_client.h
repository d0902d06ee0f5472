#pragma once

#include <cctype>
#include <cerrno>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>

#include "ftp/reply_text.h"
#include "ftp/tls_connection.h"
#include "platform/sockets.h"
#include "support/loopback.h"
#include "support/real_ftp_server.h"

// An FTPS conversation written out by hand, for testing TTlsConnection on its
// own against real servers: every TLS step is driven by poll on the socket,
// as the session's wait helper drives it. Every wait is bounded (ten
// seconds); what goes wrong raises std::runtime_error.
namespace test {

inline ftp::TlsStatus StatusOf(ftp::TlsStatus status) { return status; }
inline ftp::TlsStatus StatusOf(const ftp::TlsTransfer& transfer) { return transfer.status; }

// Waits until the socket is ready for `events`, at most until `deadline`.
inline void AwaitSocket(platform::SocketHandle socket, short events, std::chrono::steady_clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  if (left.count() <= 0 || platform::PollSocket(socket, events, static_cast<int>(left.count())) != 1)
    throw std::runtime_error("the peer stayed silent");
}

// Repeats one TLS step until it no longer waits for the socket; returns its last result.
template <typename Step>
auto Drive(platform::SocketHandle socket, Step step) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  for (;;) {
    const auto result = step();
    const ftp::TlsStatus status = StatusOf(result);
    if (status != ftp::TlsStatus::WantRead && status != ftp::TlsStatus::WantWrite) return result;
    AwaitSocket(socket, status == ftp::TlsStatus::WantRead ? POLLIN : POLLOUT, deadline);
  }
}

// One non-blocking TCP connection to 127.0.0.1, plain until Secure.
class HandConnection {
 public:
  explicit HandConnection(int port) : socket_(platform::OpenStreamSocket(AF_INET, 0)) {
    const sockaddr_in address = LoopbackAddress(static_cast<std::uint16_t>(port));
    platform::ConnectSocket(socket_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    AwaitSocket(socket_.get(), POLLOUT, std::chrono::steady_clock::now() + std::chrono::seconds(10));
    int error = 0;
    socklen_t length = sizeof error;
    getsockopt(socket_.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
    if (error != 0) throw std::runtime_error("no connection to port " + std::to_string(port));
  }

  // The handshake, checking the certificate against `host`, offering the
  // session of `resumed` when given.
  void Secure(const ftp::TTlsContext& context, const std::string& host,
              const ftp::TTlsConnection* resumed = nullptr) {
    tls_ = std::make_unique<ftp::TTlsConnection>(context, socket_.get(), host);
    if (resumed) tls_->ResumeSessionOf(*resumed);
    Drive(socket_.get(), [&] { return tls_->Handshake(); });
  }

  void Send(const std::string& bytes) {
    for (std::size_t sent = 0; sent < bytes.size();) {
      const char* rest = bytes.data() + sent;
      const std::size_t size = bytes.size() - sent;
      if (tls_) {
        const ftp::TlsTransfer step = Drive(socket_.get(), [&] { return tls_->Write(rest, size); });
        if (step.status != ftp::TlsStatus::Done) throw std::runtime_error("TLS write failed");
        sent += step.bytes;
        continue;
      }
      AwaitSocket(socket_.get(), POLLOUT, std::chrono::steady_clock::now() + std::chrono::seconds(10));
      const ssize_t n = platform::SendSocket(socket_.get(), rest, size);
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) throw std::runtime_error("send failed");
      if (n > 0) sent += static_cast<std::size_t>(n);
    }
  }

  // What has come; 0 when the peer ended its stream.
  std::size_t Receive(char* into, std::size_t size) {
    if (tls_) {
      const ftp::TlsTransfer step = Drive(socket_.get(), [&] { return tls_->Read(into, size); });
      if (step.status == ftp::TlsStatus::SocketError) throw std::runtime_error("TLS read failed");
      return step.status == ftp::TlsStatus::Done ? step.bytes : 0;
    }
    AwaitSocket(socket_.get(), POLLIN, std::chrono::steady_clock::now() + std::chrono::seconds(10));
    const ssize_t n = platform::ReceiveSocket(socket_.get(), into, size, false);
    if (n < 0) throw std::runtime_error("recv failed");
    return static_cast<std::size_t>(n);
  }

  ftp::TlsStatus Shutdown() { return Drive(socket_.get(), [&] { return tls_->Shutdown(); }); }
  const ftp::TTlsConnection& Tls() const { return *tls_; }

 private:
  OwnedSocket socket_;
  std::unique_ptr<ftp::TTlsConnection> tls_;
};

// The control connection: its greeting is read on connecting.
class HandControl : public HandConnection {
 public:
  explicit HandControl(int port) : HandConnection(port) { Reply(); }

  // AUTH TLS, then the handshake.
  void StartTls(const ftp::TTlsContext& context, const std::string& host) {
    const std::string reply = Command("AUTH TLS");
    if (reply.rfind("234", 0) != 0) throw std::runtime_error("AUTH TLS refused: " + reply);
    Secure(context, host);
  }

  void Login(const RealFtpServer& server) {
    std::string reply = Command("USER " + server.User());
    if (reply.rfind("331", 0) == 0) reply = Command("PASS " + server.Password());
    if (reply.rfind("230", 0) != 0) throw std::runtime_error("login refused: " + reply);
  }

  // Sends the command; returns the last line of its reply, without CR LF.
  std::string Command(const std::string& command) {
    Send(command + "\r\n");
    return Reply();
  }

  std::string Reply() {
    for (;;) {
      for (std::size_t end; (end = pending_.find('\n')) != std::string::npos;) {
        std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() >= 4 && std::isdigit(static_cast<unsigned char>(line[0])) && line[3] == ' ') return line;
      }
      char chunk[4096];
      const std::size_t got = Receive(chunk, sizeof chunk);
      if (got == 0) throw std::runtime_error("the server closed the control connection");
      pending_.append(chunk, got);
    }
  }

 private:
  std::string pending_;
};

// The data connection of one passive transfer (`command`: RETR or STOR),
// secured after the server's 1xx reply, resuming the control's session.
class HandData : public HandConnection {
 public:
  HandData(HandControl& control, const ftp::TTlsContext& context, const std::string& command)
      : HandConnection(ftp::PassivePort(control.Command("PASV"))) {
    const std::string reply = control.Command(command);
    if (reply[0] != '1') throw std::runtime_error(command + " refused: " + reply);
    Secure(context, "127.0.0.1", &control.Tls());
  }

  std::string ReadAll() {
    std::string all;
    std::string chunk(65536, '\0');
    while (const std::size_t got = Receive(chunk.data(), chunk.size())) all.append(chunk, 0, got);
    return all;
  }
};

}  // namespace test
