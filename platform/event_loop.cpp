#include "platform/event_loop.h"

#include <utility>

namespace platform {

namespace {

// A plain pointer: nothing to end when the thread ends.
thread_local EventLoop* scoped = nullptr;

}  // namespace

EventLoop& EventLoop::Current() {
  if (scoped) return *scoped;
  thread_local EventLoop loop;
  return loop;
}

EventLoop::Scope::Scope() : loop_(std::make_unique<EventLoop>()), previous_(std::exchange(scoped, loop_.get())) {}

EventLoop::Scope::~Scope() { scoped = previous_; }

void EventLoop::Post(Task task) {
  {
    std::lock_guard lock(postLock_);
    posted_.push_back(std::move(task));
  }
  Wake();
}

void EventLoop::CollectPosts() {
  std::lock_guard lock(postLock_);
  for (auto& task : posted_) queue_.push_back({Queued::kTask, 0, 0, 0, std::move(task)});
  posted_.clear();
}

void EventLoop::Deliver(Queued& item) {
  switch (item.kind) {
    case Queued::kTask:
      item.task();
      break;
    case Queued::kTimer: {
      auto found = timers_.find(item.id);
      if (found == timers_.end()) return;
      Task handler = found->second.handler;  // the handler may stop its own timer
      handler();
      break;
    }
    case Queued::kSocket: {
      auto found = watches_.find(item.id);
      if (found == watches_.end()) return;
      SocketHandler handler = found->second.handler;  // the handler may unwatch
      handler(item.event, item.error);
      break;
    }
  }
}

void EventLoop::DispatchPending() {
  Collect();
  // Handlers may nest waits that dispatch again; each item leaves the queue
  // before it runs, so nothing is delivered twice.
  while (!queue_.empty()) {
    Queued item = std::move(queue_.front());
    queue_.pop_front();
    Deliver(item);
  }
}

void EventLoop::ProcessMessages() {
  DispatchPending();
  if (hostPump_) hostPump_();
}

}  // namespace platform
