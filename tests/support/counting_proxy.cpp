#include "support/counting_proxy.h"

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

#include "support/loopback.h"

namespace test {
namespace {

using platform::kNoSocket;
using platform::SocketHandle;

// One proxied connection; a side is kNoSocket once it has ended.
struct Pair {
  SocketHandle client;
  SocketHandle server;
};

SocketHandle ConnectTo(std::uint16_t port) {
  const SocketHandle fd = OpenBlockingSocket(AF_INET);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
  platform::CloseSocket(fd);
  return kNoSocket;
}

// Moves what `from` has to `to`; false when `from` has ended. A reader that
// is gone only loses what was meant for it.
bool Relay(SocketHandle from, SocketHandle to) {
  char buffer[4096];
  const ssize_t got = platform::ReceiveSocket(from, buffer, sizeof buffer, false);
  if (got < 0 && errno == EINTR) return true;
  if (got <= 0) return false;
  for (ssize_t sent = 0, n; to != kNoSocket && sent < got; sent += n)
    if ((n = platform::SendSocket(to, buffer + sent, static_cast<std::size_t>(got - sent))) <= 0) break;
  return true;
}

// Ends one side; the other is told by a half close.
void End(SocketHandle& side, SocketHandle other) {
  platform::CloseSocket(std::exchange(side, kNoSocket));
  if (other != kNoSocket) ShutdownSending(other);
}

}  // namespace

CountingProxy::CountingProxy(std::uint16_t serverPort) : serverPort_(serverPort) {
  listener_ = ListenOnLoopback(&port_, AF_INET, 16);
  thread_ = std::thread([this] { Serve(); });
}

CountingProxy::~CountingProxy() {
  stop_.Raise();
  thread_.join();
  platform::CloseSocket(listener_);
}

void CountingProxy::Serve() {
  std::vector<Pair> pairs;
  for (;;) {
    std::vector<pollfd> fds{{stop_.Handle(), POLLIN, 0}};
    for (const Pair& pair : pairs)
      for (SocketHandle side : {pair.client, pair.server}) fds.push_back({side, POLLIN, 0});  // poll passes over kNoSocket
    // Last, so that a client's close and its next connect seen in one pass
    // are counted in that order.
    fds.push_back({listener_, POLLIN, 0});
    if (WaitForSockets(fds.data(), fds.size(), 1000) < 0) break;
    if (fds[0].revents) break;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
      Pair& pair = pairs[i];
      if (fds[1 + 2 * i].revents && !Relay(pair.client, pair.server)) End(pair.client, pair.server);
      if (fds[2 + 2 * i].revents && !Relay(pair.server, pair.client)) End(pair.server, pair.client);
    }
    std::erase_if(pairs, [](const Pair& pair) {
      if (pair.client != kNoSocket) return false;
      if (pair.server != kNoSocket) platform::CloseSocket(pair.server);
      return true;
    });
    if (fds.back().revents) {
      const SocketHandle client = AcceptBlocking(listener_);
      if (client == kNoSocket) continue;
      pairs.push_back({client, ConnectTo(serverPort_)});
      most_ = std::max<int>(most_, static_cast<int>(pairs.size()));
    }
  }
  for (const Pair& pair : pairs)
    for (SocketHandle side : {pair.client, pair.server})
      if (side != kNoSocket) platform::CloseSocket(side);
}

}  // namespace test
