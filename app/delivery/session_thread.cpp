#include "app/delivery/session_thread.h"

namespace app {

SessionThread::SessionThread(Work work) : thread_([this, work = std::move(work)] { Run(work); }) {}

SessionThread::~SessionThread() {
  Cancel();
  thread_.join();
}

void SessionThread::Run(const Work& work) {
  platform::EventLoop::Scope scope;
  {
    const std::lock_guard hold(lock_);
    loop_ = &scope.Loop();
  }
  work(*this);
  const std::lock_guard hold(lock_);
  loop_ = nullptr;
  cancel_ = nullptr;
}

void SessionThread::Cancel() {
  const std::lock_guard hold(lock_);
  if (cancelled_) return;
  cancelled_ = true;
  if (loop_)
    loop_->Post([this] {
      std::function<void()> cancel;
      {
        const std::lock_guard hold(lock_);
        cancel = cancel_;
      }
      if (cancel) cancel();
    });
}

void SessionThread::OnCancel(std::function<void()> cancel) {
  bool now;
  {
    const std::lock_guard hold(lock_);
    cancel_ = cancel;
    now = cancelled_;
  }
  if (now && cancel) cancel();
}

}  // namespace app
