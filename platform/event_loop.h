#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "platform/socket_handle.h"

namespace platform {

// Readiness notifications of a watched socket. The numbers are the bits of the
// Windows socket notification mask, so code written against it reads the same.
enum SocketEvent : unsigned {
  kSocketRead = 1,
  kSocketOutOfBand = 4,
  kSocketAccept = 8,
  kSocketConnect = 16,
  kSocketClose = 32,
};

// The notification queue of one user-interface thread. Sockets, timers and
// posts from other threads all end up here and are delivered, in arrival
// order, by ProcessMessages on the owning thread. On Linux the queue is backed
// by one epoll descriptor, so a host toolkit can watch Descriptor() and call
// DispatchPending() when it becomes readable. On Windows sockets, timers and
// posts are messages to a message-only window of the thread: a toolkit that
// dispatches the thread's messages delivers them as they come.
class EventLoop {
 public:
  // Called with the event bit and the system's error number (0 = none): errno's
  // on POSIX, the Windows Sockets number on Windows.
  using SocketHandler = std::function<void(unsigned event, int error)>;
  using TimerId = std::uint64_t;
  using Task = std::function<void()>;

  EventLoop();
  ~EventLoop();
  EventLoop(const EventLoop&) = delete;
  EventLoop& operator=(const EventLoop&) = delete;

  // The loop of the calling thread, created on first use.
  static EventLoop& Current();

  // While it lives, a loop of its own is the calling thread's Current(). It
  // ends with the scope, not with the thread: where the runtime frees a
  // thread's storage before its thread_local objects end (mingw-w64), a loop
  // that lived till the thread's end would end on freed memory.
  class Scope {
   public:
    Scope();
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
    EventLoop& Loop() { return *loop_; }

   private:
    std::unique_ptr<EventLoop> loop_;
    EventLoop* previous_;
  };

  // Delivers the events of `mask` for the socket until UnwatchSocket. Read and
  // Close are edge-triggered (one notification per arrival); Accept fires for a
  // listening socket; Connect fires once, when a non-blocking connect ends,
  // with the connect's error; after a failed connect the watch stays silent.
  // Watching a descriptor again replaces the old watch (and re-arms Connect);
  // notifications queued for the old one are dropped.
  void WatchSocket(SocketHandle fd, unsigned mask, SocketHandler handler);
  // Must be called before the descriptor is closed; queued notifications for it are dropped.
  void UnwatchSocket(SocketHandle fd);

  // A repeating timer; the handler runs once per expiry until StopTimer.
  TimerId StartTimer(std::chrono::milliseconds interval, Task handler);
  void StopTimer(TimerId id);

  // Thread-safe: queues a task to run on the loop's thread.
  void Post(Task task);

  // Delivers everything pending (ours), then lets the host toolkit process its events.
  void ProcessMessages();
  // Delivers everything pending of ours only.
  void DispatchPending();
  // Blocks until a notification is pending, `fd` is ready for `pollEvents`, or
  // `timeout` has passed; delivers nothing.
  void Wait(std::chrono::milliseconds timeout, SocketHandle fd = kNoSocket, short pollEvents = 0);

#ifndef _WIN32
  // Readable whenever a notification may be pending.
  int Descriptor() const { return epoll_; }
#endif
  // The host toolkit's "process your events" call, run at the end of ProcessMessages.
  void SetHostPump(Task pump) { hostPump_ = std::move(pump); }

 private:
  struct Watch {
    SocketHandle fd;
    unsigned mask;
    bool connectPending;
    SocketHandler handler;
  };
  struct Timer {
    int fd;  // the timerfd on Linux; Windows timers belong to the window
    Task handler;
  };
  struct Queued {
    enum Kind { kSocket, kTimer, kTask } kind;
    std::uint64_t id;  // watch or timer id
    unsigned event;
    int error;
    Task task;
  };

  void Collect();
  void CollectPosts();
  void CollectSocket(std::uint64_t id, std::uint32_t ready);
  void CollectTimer(std::uint64_t id);
  void Deliver(Queued& item);
  void UpdateInterest(const Watch& watch, std::uint64_t id);
  void Wake();

#ifdef _WIN32
  friend struct LoopWindow;
  // Turns one message of the loop's window into queued notifications.
  void Take(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

  void* window_ = nullptr;  // HWND of the message-only window
#else
  int epoll_ = -1;
  int wakeup_ = -1;  // eventfd signalled by Post
#endif
  std::uint64_t nextId_ = 1;
  std::map<std::uint64_t, Watch> watches_;
  std::map<SocketHandle, std::uint64_t> watchByFd_;
  std::map<std::uint64_t, Timer> timers_;
  std::deque<Queued> queue_;
  std::mutex postLock_;
  std::deque<Task> posted_;
  Task hostPump_;
};

}  // namespace platform
