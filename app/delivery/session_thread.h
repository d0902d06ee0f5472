#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/event_loop.h"

namespace app {

// One transfer session on a thread of its own, with that thread's own event
// loop: the FTP client's waits nest inside their loop, so sessions to several
// targets can only wait side by side, each on its own stack. The work talks
// to the window's thread through HomeMail; the session itself only takes a
// cancel from outside.
class SessionThread {
 public:
  using Work = std::function<void(SessionThread& session)>;

  explicit SessionThread(Work work);
  // Cancels the work and waits for its thread to end.
  ~SessionThread();
  SessionThread(const SessionThread&) = delete;
  SessionThread& operator=(const SessionThread&) = delete;

  // Thread-safe: has the cancel the work gave OnCancel run on its thread.
  void Cancel();
  // On the session's thread: `cancel` runs there when Cancel is called, at
  // once when it was called already. It runs inside the work's waits.
  void OnCancel(std::function<void()> cancel);

 private:
  void Run(const Work& work);

  std::mutex lock_;
  platform::EventLoop* loop_ = nullptr;  // while the work runs
  bool cancelled_ = false;
  std::function<void()> cancel_;
  std::thread thread_;
};

// Posts tasks to the event loop of the thread that made it (the window's),
// from any thread. Tasks posted after the maker is gone are dropped, so a
// session that outlives its send cannot reach into it.
class HomeMail {
 public:
  HomeMail() : home_(platform::EventLoop::Current()), alive_(std::make_shared<std::atomic<bool>>(true)) {}
  ~HomeMail() { *alive_ = false; }
  HomeMail(const HomeMail&) = delete;
  HomeMail& operator=(const HomeMail&) = delete;

  void Post(std::function<void()> task) const {
    home_.Post([alive = alive_, task = std::move(task)] {
      if (*alive) task();
    });
  }
  platform::EventLoop& Home() const { return home_; }

 private:
  platform::EventLoop& home_;
  std::shared_ptr<std::atomic<bool>> alive_;
};

}  // namespace app
