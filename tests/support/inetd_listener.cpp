#include "support/inetd_listener.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "support/loopback.h"

namespace test {

InetdListener::InetdListener(std::vector<std::string> argv, int family, const std::string& ipv4) : argv_(std::move(argv)) {
  listener_ = ListenOnLoopback(&port_, family, 8, ipv4.c_str());
  stop_ = ::eventfd(0, EFD_CLOEXEC);
  acceptor_ = std::thread([this] { Serve(); });
}

InetdListener::~InetdListener() {
  const std::uint64_t one = 1;
  [[maybe_unused]] auto written = ::write(stop_, &one, sizeof one);
  acceptor_.join();
  ::close(listener_);
  ::close(stop_);
}

void InetdListener::Serve() {
  for (;;) {
    pollfd fds[2] = {{listener_, POLLIN, 0}, {stop_, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0 && errno == EINTR) continue;
    if (fds[1].revents) break;
    const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    std::lock_guard guard(childrenLock_);
    std::erase_if(children_, [](const auto& child) { return child->Ended(); });
    try {
      children_.push_back(std::make_unique<ChildProcess>(argv_, ChildProcess::Options{connection, connection}));
    } catch (const std::exception&) {
    }
    ::close(connection);
  }
  std::lock_guard guard(childrenLock_);
  children_.clear();
}

}  // namespace test
