#include "support/counting_proxy.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

#include "support/loopback.h"

namespace test {
namespace {

// One proxied connection; a side is -1 once it has ended.
struct Pair {
  int client;
  int server;
};

int ConnectTo(std::uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
  ::close(fd);
  return -1;
}

// Moves what `from` has to `to`; false when `from` has ended. A reader that
// is gone only loses what was meant for it.
bool Relay(int from, int to) {
  char buffer[4096];
  const ssize_t got = ::read(from, buffer, sizeof buffer);
  if (got < 0 && errno == EINTR) return true;
  if (got <= 0) return false;
  for (ssize_t sent = 0, n; to >= 0 && sent < got; sent += n)
    if ((n = ::send(to, buffer + sent, static_cast<std::size_t>(got - sent), MSG_NOSIGNAL)) <= 0) break;
  return true;
}

// Ends one side; the other is told by a half close.
void End(int& side, int other) {
  ::close(std::exchange(side, -1));
  if (other >= 0) ::shutdown(other, SHUT_WR);
}

}  // namespace

CountingProxy::CountingProxy(std::uint16_t serverPort) : serverPort_(serverPort) {
  listener_ = ListenOnLoopback(&port_, AF_INET, 16);
  stop_ = ::eventfd(0, EFD_CLOEXEC);
  thread_ = std::thread([this] { Serve(); });
}

CountingProxy::~CountingProxy() {
  const std::uint64_t one = 1;
  [[maybe_unused]] auto written = ::write(stop_, &one, sizeof one);
  thread_.join();
  ::close(listener_);
  ::close(stop_);
}

void CountingProxy::Serve() {
  std::vector<Pair> pairs;
  for (;;) {
    std::vector<pollfd> fds{{stop_, POLLIN, 0}};
    for (const Pair& pair : pairs)
      for (int side : {pair.client, pair.server}) fds.push_back({side, POLLIN, 0});  // poll passes over -1
    // Last, so that a client's close and its next connect seen in one pass
    // are counted in that order.
    fds.push_back({listener_, POLLIN, 0});
    if (::poll(fds.data(), fds.size(), 1000) < 0 && errno != EINTR) break;
    if (fds[0].revents) break;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
      Pair& pair = pairs[i];
      if (fds[1 + 2 * i].revents && !Relay(pair.client, pair.server)) End(pair.client, pair.server);
      if (fds[2 + 2 * i].revents && !Relay(pair.server, pair.client)) End(pair.server, pair.client);
    }
    std::erase_if(pairs, [](const Pair& pair) {
      if (pair.client >= 0) return false;
      if (pair.server >= 0) ::close(pair.server);
      return true;
    });
    if (fds.back().revents) {
      const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) continue;
      pairs.push_back({client, ConnectTo(serverPort_)});
      most_ = std::max<int>(most_, static_cast<int>(pairs.size()));
    }
  }
  for (const Pair& pair : pairs)
    for (int side : {pair.client, pair.server})
      if (side >= 0) ::close(side);
}

}  // namespace test
