#include "platform/event_loop.h"

#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace platform {
namespace {

constexpr std::uint64_t kWakeupToken = 0;
// Timer tokens carry this bit so that they never collide with watch ids.
constexpr std::uint64_t kTimerBit = std::uint64_t{1} << 63;

[[noreturn]] void RaiseErrno(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

int SocketError(int fd) {
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
  return error;
}

}  // namespace

EventLoop::EventLoop() {
  epoll_ = epoll_create1(EPOLL_CLOEXEC);
  if (epoll_ < 0) RaiseErrno("epoll_create1");
  wakeup_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wakeup_ < 0) {
    close(epoll_);
    RaiseErrno("eventfd");
  }
  epoll_event ev{};
  ev.events = EPOLLIN;
  ev.data.u64 = kWakeupToken;
  epoll_ctl(epoll_, EPOLL_CTL_ADD, wakeup_, &ev);
}

EventLoop::~EventLoop() {
  for (auto& [id, timer] : timers_) close(timer.fd);
  close(wakeup_);
  close(epoll_);
}

void EventLoop::UpdateInterest(const Watch& watch, std::uint64_t id) {
  epoll_event ev{};
  ev.events = EPOLLET;
  if (watch.mask & (kSocketRead | kSocketAccept | kSocketOutOfBand)) ev.events |= EPOLLIN;
  if (watch.mask & kSocketClose) ev.events |= EPOLLRDHUP;
  if (watch.connectPending) ev.events |= EPOLLOUT;
  ev.data.u64 = id;
  if (epoll_ctl(epoll_, EPOLL_CTL_MOD, watch.fd, &ev) != 0 && errno == ENOENT)
    epoll_ctl(epoll_, EPOLL_CTL_ADD, watch.fd, &ev);
}

void EventLoop::WatchSocket(SocketHandle fd, unsigned mask, SocketHandler handler) {
  UnwatchSocket(fd);
  const std::uint64_t id = nextId_++;
  Watch watch{fd, mask, (mask & kSocketConnect) != 0, std::move(handler)};
  epoll_event ev{};
  ev.data.u64 = id;
  if (epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &ev) != 0) RaiseErrno("epoll_ctl");
  UpdateInterest(watch, id);
  watchByFd_[fd] = id;
  watches_.emplace(id, std::move(watch));
}

void EventLoop::UnwatchSocket(SocketHandle fd) {
  auto found = watchByFd_.find(fd);
  if (found == watchByFd_.end()) return;
  epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
  watches_.erase(found->second);
  watchByFd_.erase(found);
}

EventLoop::TimerId EventLoop::StartTimer(std::chrono::milliseconds interval, Task handler) {
  const int fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  if (fd < 0) RaiseErrno("timerfd_create");
  const auto ms = interval.count() > 0 ? interval.count() : 1;
  itimerspec timing{};
  timing.it_value.tv_sec = ms / 1000;
  timing.it_value.tv_nsec = (ms % 1000) * 1000000;
  timing.it_interval = timing.it_value;
  timerfd_settime(fd, 0, &timing, nullptr);
  const TimerId id = kTimerBit | nextId_++;
  epoll_event ev{};
  ev.events = EPOLLIN;
  ev.data.u64 = id;
  epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &ev);
  timers_.emplace(id, Timer{fd, std::move(handler)});
  return id;
}

void EventLoop::StopTimer(TimerId id) {
  auto found = timers_.find(id);
  if (found == timers_.end()) return;
  close(found->second.fd);
  timers_.erase(found);
}

void EventLoop::Wake() {
  const std::uint64_t one = 1;
  [[maybe_unused]] auto written = write(wakeup_, &one, sizeof one);
}

void EventLoop::CollectSocket(std::uint64_t id, std::uint32_t ready) {
  auto found = watches_.find(id);
  if (found == watches_.end()) return;
  Watch& watch = found->second;
  if (watch.connectPending) {
    // Until the connect has ended, hang-ups and errors belong to the connect.
    if (!(ready & (EPOLLOUT | EPOLLERR | EPOLLHUP))) return;
    watch.connectPending = false;
    const int error = SocketError(watch.fd);
    // A failed connect ends this watch's notifications, as nothing more can
    // happen on the socket until it is watched and connected again.
    if (error != 0) watch.mask = 0;
    UpdateInterest(watch, id);
    queue_.push_back({Queued::kSocket, id, kSocketConnect, error, {}});
    if (error != 0) return;
  }
  if ((ready & EPOLLIN) && (watch.mask & kSocketAccept))
    queue_.push_back({Queued::kSocket, id, kSocketAccept, 0, {}});
  else if ((ready & EPOLLIN) && (watch.mask & kSocketRead))
    queue_.push_back({Queued::kSocket, id, kSocketRead, 0, {}});
  if ((ready & (EPOLLRDHUP | EPOLLHUP | EPOLLERR)) && (watch.mask & kSocketClose))
    queue_.push_back({Queued::kSocket, id, kSocketClose, SocketError(watch.fd), {}});
}

void EventLoop::CollectTimer(std::uint64_t id) {
  auto found = timers_.find(id);
  if (found == timers_.end()) return;
  std::uint64_t expiries;
  if (read(found->second.fd, &expiries, sizeof expiries) > 0)
    queue_.push_back({Queued::kTimer, id, 0, 0, {}});
}

void EventLoop::Collect() {
  epoll_event events[64];
  int count;
  do {
    count = epoll_wait(epoll_, events, 64, 0);
    for (int i = 0; i < count; ++i) {
      const std::uint64_t token = events[i].data.u64;
      if (token == kWakeupToken) {
        std::uint64_t posts;
        [[maybe_unused]] auto got = read(wakeup_, &posts, sizeof posts);
        CollectPosts();
      } else if (token & kTimerBit) {
        CollectTimer(token);
      } else {
        CollectSocket(token, events[i].events);
      }
    }
  } while (count == 64);
}

void EventLoop::Wait(std::chrono::milliseconds timeout, SocketHandle fd, short pollEvents) {
  if (!queue_.empty()) return;
  pollfd fds[2] = {{epoll_, POLLIN, 0}, {fd, pollEvents, 0}};
  const int count = fd >= 0 ? 2 : 1;
  while (poll(fds, count, static_cast<int>(timeout.count())) < 0 && errno == EINTR) {
  }
}

}  // namespace platform
