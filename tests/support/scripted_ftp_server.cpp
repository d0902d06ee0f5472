#include "support/scripted_ftp_server.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <system_error>

#include "support/loopback.h"

namespace test {
namespace {

constexpr int kStepBoundMs = 10000;

using platform::SocketHandle;

int FamilyOf(SocketHandle fd) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  return address.ss_family;
}

// Waits until `fd` is ready for `events`, the server stops, or the bound passes.
void AwaitReady(SocketHandle fd, SocketHandle stop, short events, int boundMs) {
  pollfd fds[2] = {{fd, events, 0}, {stop, POLLIN, 0}};
  const int count = WaitForSockets(fds, 2, boundMs);
  if (fds[1].revents) throw std::runtime_error("the server is stopping");
  if (count == 0) throw std::runtime_error("nothing happened within the bound");
}

SocketHandle AcceptOne(SocketHandle listener, SocketHandle stop, int boundMs) {
  AwaitReady(listener, stop, POLLIN, boundMs);
  const SocketHandle fd = AcceptBlocking(listener);
  if (fd == platform::kNoSocket) throw std::system_error(errno, std::generic_category(), "accept");
  return fd;
}

}  // namespace

ScriptedFtpServer::ScriptedFtpServer(Script script, const char* listenOn) : script_(std::move(script)) {
  listener_ = ListenOnLoopback(&port_, std::string(listenOn) == "::1" ? AF_INET6 : AF_INET);
  thread_ = std::thread([this] { Serve(); });
}

ScriptedFtpServer::~ScriptedFtpServer() {
  stop_.Raise();
  thread_.join();
  platform::CloseSocket(listener_);
}

void ScriptedFtpServer::Serve() {
  for (;;) {
    SocketHandle fd;
    try {
      fd = AcceptOne(listener_, stop_.Handle(), -1);
    } catch (const std::exception&) {
      return;
    }
    try {
      Connection connection(*this, fd);
      script_(connection);
    } catch (const std::exception& error) {
      std::lock_guard guard(lock_);
      if (failure_.empty()) failure_ = error.what();
    }
    std::lock_guard guard(lock_);
    ++finished_;
  }
}

void ScriptedFtpServer::Record(const std::string& command) {
  std::lock_guard guard(lock_);
  commands_.push_back(command);
}

std::vector<std::string> ScriptedFtpServer::Commands() const {
  std::lock_guard guard(lock_);
  return commands_;
}

void ScriptedFtpServer::SetFeatures(std::vector<std::string> features) {
  std::lock_guard guard(lock_);
  features_ = std::move(features);
}

int ScriptedFtpServer::Finished() const {
  std::lock_guard guard(lock_);
  return finished_;
}

std::string ScriptedFtpServer::Failure() const {
  std::lock_guard guard(lock_);
  return failure_;
}

ScriptedFtpServer::DataConnection::DataConnection(SocketHandle fd, SocketHandle stop) : fd_(fd), stop_(stop) {
  // Replies go out at once, not held back until the client acknowledges the last one.
  platform::SetSocketOption(fd_, IPPROTO_TCP, TCP_NODELAY, 1);
}

ScriptedFtpServer::DataConnection::DataConnection(DataConnection&& other) noexcept
    : fd_(other.fd_), stop_(other.stop_) {
  other.fd_ = platform::kNoSocket;
}

ScriptedFtpServer::DataConnection::~DataConnection() { Close(); }

void ScriptedFtpServer::DataConnection::Await(short events) const {
  AwaitReady(fd_, stop_, events, kStepBoundMs);
}

void ScriptedFtpServer::DataConnection::Pause(std::chrono::milliseconds gap) const {
  pollfd stop{stop_, POLLIN, 0};
  if (WaitForSockets(&stop, 1, static_cast<int>(gap.count())) > 0) throw std::runtime_error("the server is stopping");
}

void ScriptedFtpServer::DataConnection::Trickle(const std::string& bytes, std::chrono::milliseconds gap) {
  for (const char byte : bytes) {
    Send(std::string(1, byte));
    Pause(gap);
  }
}

void ScriptedFtpServer::DataConnection::Flood(const std::string& bytes) {
  for (;;) Send(bytes);
}

void ScriptedFtpServer::DataConnection::Send(const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    Await(POLLOUT);
    const ssize_t n = platform::SendSocket(fd_, bytes.data() + sent, bytes.size() - sent);
    if (n < 0 && errno != EINTR) throw std::system_error(errno, std::generic_category(), "send");
    if (n > 0) sent += static_cast<std::size_t>(n);
  }
}

std::string ScriptedFtpServer::DataConnection::ReceiveAll() {
  std::string received;
  char chunk[65536];
  for (;;) {
    Await(POLLIN);
    const ssize_t n = platform::ReceiveSocket(fd_, chunk, sizeof chunk, false);
    if (n == 0) return received;
    if (n < 0) {
      if (errno == EINTR) continue;
      throw std::system_error(errno, std::generic_category(), "recv");
    }
    received.append(chunk, static_cast<std::size_t>(n));
  }
}

std::string ScriptedFtpServer::DataConnection::ReceiveSlowly(std::size_t piece,
                                                             std::chrono::milliseconds gap) {
  std::string received;
  std::string chunk(piece, '\0');
  for (;;) {
    Await(POLLIN);
    const ssize_t n = platform::ReceiveSocket(fd_, chunk.data(), chunk.size(), false);
    if (n == 0) return received;
    if (n < 0) {
      if (errno == EINTR) continue;
      throw std::system_error(errno, std::generic_category(), "recv");
    }
    received.append(chunk.data(), static_cast<std::size_t>(n));
    Pause(gap);
  }
}

void ScriptedFtpServer::DataConnection::AwaitClose() { ReceiveAll(); }

void ScriptedFtpServer::DataConnection::Reset() {
  const linger reset{1, 0};
  platform::SetSocketOption(fd_, SOL_SOCKET, SO_LINGER, reset);
  Close();
}

void ScriptedFtpServer::DataConnection::Close() {
  if (fd_ == platform::kNoSocket) return;
  platform::CloseSocket(fd_);
  fd_ = platform::kNoSocket;
}

ScriptedFtpServer::Connection::Connection(ScriptedFtpServer& server, SocketHandle fd)
    : DataConnection(fd, server.stop_.Handle()), server_(server) {}

std::string ScriptedFtpServer::Connection::Command() {
  for (;;) {
    const std::size_t end = pending_.find("\r\n");
    if (end != std::string::npos) {
      std::string command = pending_.substr(0, end);
      pending_.erase(0, end + 2);
      if (command == "FEAT") {
        AnswerFeat();
        continue;
      }
      server_.Record(command);
      return command;
    }
    Await(POLLIN);
    char chunk[4096];
    const ssize_t n = platform::ReceiveSocket(fd_, chunk, sizeof chunk, false);
    if (n == 0) throw std::runtime_error("the client closed the control connection");
    if (n < 0) {
      if (errno == EINTR) continue;
      throw std::system_error(errno, std::generic_category(), "recv");
    }
    pending_.append(chunk, static_cast<std::size_t>(n));
  }
}

void ScriptedFtpServer::Connection::Reply(const std::string& line) { Send(line + "\r\n"); }

void ScriptedFtpServer::Connection::AnswerFeat() {
  std::optional<std::vector<std::string>> features;
  {
    std::lock_guard guard(server_.lock_);
    features = server_.features_;
  }
  if (!features) return Reply("502 Command not implemented.");
  std::string reply = "211-Features:\r\n";
  for (const std::string& feature : *features) reply += " " + feature + "\r\n";
  Send(reply + "211 End\r\n");
}

ScriptedFtpServer::DataConnection ScriptedFtpServer::Connection::AgreePassive(const std::string& reply,
                                                                             const std::string& epsvRefusal) {
  PassiveListener listener = Listen();
  std::string command = Command();
  if (command == "EPSV" && !epsvRefusal.empty()) {
    Reply(epsvRefusal);
    command = Command();
  }
  if (command == "EPSV")
    Reply("229 Entering Extended Passive Mode " + listener.ExtendedTuple());
  else if (command == "PASV")
    Reply("227 Entering Passive Mode (" + listener.Tuple() + ").");
  else
    throw std::runtime_error("not a passive request: " + command);
  Command();
  Reply(reply);
  return listener.Accept();
}

void ScriptedFtpServer::Connection::Login() {
  Reply("220 Scripted server ready");
  Command();
  Reply("331 Password required");
  Command();
  Reply("230 Logged in");
}

ScriptedFtpServer::DataConnection ScriptedFtpServer::Connection::AgreeActive(const std::string& reply) {
  const std::string port = Command();
  Reply("200 PORT command successful.");
  Command();
  Reply(reply);
  return ConnectTo(port);
}

ScriptedFtpServer::DataConnection ScriptedFtpServer::Connection::ConnectTo(
    const std::string& portCommand, const char* from) {
  sockaddr_storage address{};
  socklen_t length;
  char host[64] = {};
  unsigned h1, h2, h3, h4, p1, p2, port;
  if (std::sscanf(portCommand.c_str(), "PORT %u,%u,%u,%u,%u,%u", &h1, &h2, &h3, &h4, &p1, &p2) == 6) {
    auto& v4 = reinterpret_cast<sockaddr_in&>(address);
    v4.sin_family = AF_INET;
    v4.sin_addr.s_addr = htonl(h1 << 24 | h2 << 16 | h3 << 8 | h4);
    v4.sin_port = htons(static_cast<std::uint16_t>(p1 * 256 + p2));
    length = sizeof v4;
  } else if (std::sscanf(portCommand.c_str(), "EPRT |2|%63[^|]|%u|", host, &port) == 2) {
    auto& v6 = reinterpret_cast<sockaddr_in6&>(address);
    v6.sin6_family = AF_INET6;
    inet_pton(AF_INET6, host, &v6.sin6_addr);
    v6.sin6_port = htons(static_cast<std::uint16_t>(port));
    length = sizeof v6;
  } else {
    throw std::runtime_error("not a PORT or EPRT command: " + portCommand);
  }
  const SocketHandle fd = OpenBlockingSocket(address.ss_family);
  if (address.ss_family == AF_INET) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, from, &local.sin_addr);
    ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
  }
  if (platform::SocketCall(::connect(fd, reinterpret_cast<sockaddr*>(&address), length)) != 0) {
    const int error = errno;
    platform::CloseSocket(fd);
    throw std::system_error(error, std::generic_category(), "connect to " + portCommand);
  }
  return DataConnection(fd, stop_);
}

ScriptedFtpServer::PassiveListener ScriptedFtpServer::Connection::Listen() {
  return PassiveListener(stop_, FamilyOf(fd_));
}

ScriptedFtpServer::PassiveListener::PassiveListener(SocketHandle stop, int family) : stop_(stop) {
  std::uint16_t port;
  fd_ = ListenOnLoopback(&port, family);
}

ScriptedFtpServer::PassiveListener::PassiveListener(PassiveListener&& other) noexcept
    : fd_(other.fd_), stop_(other.stop_) {
  other.fd_ = platform::kNoSocket;
}

ScriptedFtpServer::PassiveListener::~PassiveListener() {
  if (fd_ != platform::kNoSocket) platform::CloseSocket(fd_);
}

namespace {

unsigned LocalPort(SocketHandle fd) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  return ntohs(address.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(address).sin6_port
                                             : reinterpret_cast<sockaddr_in&>(address).sin_port);
}

}  // namespace

std::string ScriptedFtpServer::PassiveListener::Tuple() const {
  const unsigned port = LocalPort(fd_);
  return "127,0,0,1," + std::to_string(port >> 8) + "," + std::to_string(port & 0xff);
}

std::string ScriptedFtpServer::PassiveListener::ExtendedTuple() const {
  return "(|||" + std::to_string(LocalPort(fd_)) + "|)";
}

ScriptedFtpServer::DataConnection ScriptedFtpServer::PassiveListener::Accept() {
  return DataConnection(AcceptOne(fd_, stop_, kStepBoundMs), stop_);
}

}  // namespace test
