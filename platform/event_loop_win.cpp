#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <system_error>

#include "platform/event_loop.h"
#include "platform/winsock_startup.h"

namespace platform {
namespace {

// Messages of the loop's window. Each watch gets a socket message of its own
// (from a span that wraps), so a notification Winsock queued for an earlier
// watch of the same socket is told apart and dropped.
constexpr UINT kWakeupMessage = WM_APP;
constexpr UINT kFirstSocketMessage = WM_APP + 1;
constexpr UINT kSocketMessageSpan = 0xBFFF - kFirstSocketMessage;
constexpr std::uint64_t kTimerBit = std::uint64_t{1} << 63;
// The longest pause between looks at a socket that sends no messages.
constexpr DWORD kLongestPollSlice = 16;

constexpr wchar_t kWindowClass[] = L"ParceloEventLoop";

UINT SocketMessage(std::uint64_t watchId) {
  return kFirstSocketMessage + static_cast<UINT>(watchId % kSocketMessageSpan);
}

long SelectMask(unsigned mask, bool connectPending) {
  long events = 0;
  if (mask & kSocketRead) events |= FD_READ;
  if (mask & kSocketOutOfBand) events |= FD_OOB;
  if (mask & kSocketAccept) events |= FD_ACCEPT;
  if (mask & kSocketClose) events |= FD_CLOSE;
  if (connectPending) events |= FD_CONNECT;
  return events;
}

// Our bit for a Winsock notification other than the connect's.
unsigned EventBit(unsigned event) {
  switch (event) {
    case FD_READ: return kSocketRead;
    case FD_OOB: return kSocketOutOfBand;
    case FD_ACCEPT: return kSocketAccept;
    case FD_CLOSE: return kSocketClose;
    default: return 0;
  }
}

[[noreturn]] void RaiseLastError(const char* what) {
  throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), what);
}

}  // namespace

// Messages that someone else dispatches (a host toolkit's loop) reach the
// loop through its window procedure and are delivered at once.
struct LoopWindow {
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* loop = reinterpret_cast<EventLoop*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!loop || (message != WM_TIMER && message < kWakeupMessage) || message > 0xBFFF)
      return DefWindowProcW(window, message, wParam, lParam);
    loop->Take(message, wParam, lParam);
    loop->DispatchPending();
    return 0;
  }

  static void Register() {
    static const bool registered = [] {
      WNDCLASSEXW windowClass{};
      windowClass.cbSize = sizeof windowClass;
      windowClass.lpfnWndProc = Procedure;
      windowClass.hInstance = GetModuleHandleW(nullptr);
      windowClass.lpszClassName = kWindowClass;
      return RegisterClassExW(&windowClass) != 0;
    }();
    if (!registered) RaiseLastError("RegisterClassExW");
  }
};

EventLoop::EventLoop() {
  StartWinsock();
  LoopWindow::Register();
  HWND window = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  if (!window) RaiseLastError("CreateWindowExW");
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  window_ = window;
}

EventLoop::~EventLoop() {
  HWND window = static_cast<HWND>(window_);
  for (auto& [fd, id] : watchByFd_) WSAAsyncSelect(fd, window, 0, 0);
  SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  DestroyWindow(window);
}

void EventLoop::UpdateInterest(const Watch& watch, std::uint64_t id) {
  const long events = SelectMask(watch.mask, watch.connectPending);
  // Asking for nothing with a message would still be a request; zero both to stop.
  if (WSAAsyncSelect(watch.fd, static_cast<HWND>(window_), events ? SocketMessage(id) : 0, events) != 0)
    throw std::system_error(WSAGetLastError(), std::system_category(), "WSAAsyncSelect");
}

void EventLoop::WatchSocket(SocketHandle fd, unsigned mask, SocketHandler handler) {
  UnwatchSocket(fd);
  const std::uint64_t id = nextId_++;
  Watch watch{fd, mask, (mask & kSocketConnect) != 0, std::move(handler)};
  UpdateInterest(watch, id);
  // Winsock posts no FD_CONNECT for a connect that ended before the watch.
  if (watch.connectPending) {
    sockaddr_storage peer;
    int length = sizeof peer;
    int error = 0;
    int errorLength = sizeof error;
    getsockopt(fd, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &errorLength);
    if (error != 0 || getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) == 0) {
      watch.connectPending = false;
      if (error != 0) watch.mask = 0;
      UpdateInterest(watch, id);
      queue_.push_back({Queued::kSocket, id, kSocketConnect, error, {}});
    }
  }
  watchByFd_[fd] = id;
  watches_.emplace(id, std::move(watch));
}

void EventLoop::UnwatchSocket(SocketHandle fd) {
  auto found = watchByFd_.find(fd);
  if (found == watchByFd_.end()) return;
  WSAAsyncSelect(fd, static_cast<HWND>(window_), 0, 0);
  watches_.erase(found->second);
  watchByFd_.erase(found);
}

EventLoop::TimerId EventLoop::StartTimer(std::chrono::milliseconds interval, Task handler) {
  const TimerId id = kTimerBit | nextId_++;
  const auto ms = std::max<std::chrono::milliseconds::rep>(interval.count(), 1);
  if (SetTimer(static_cast<HWND>(window_), static_cast<UINT_PTR>(id), static_cast<UINT>(ms), nullptr) == 0)
    RaiseLastError("SetTimer");
  timers_.emplace(id, Timer{-1, std::move(handler)});
  return id;
}

void EventLoop::StopTimer(TimerId id) {
  auto found = timers_.find(id);
  if (found == timers_.end()) return;
  KillTimer(static_cast<HWND>(window_), static_cast<UINT_PTR>(id));
  timers_.erase(found);
}

void EventLoop::Wake() { PostMessageW(static_cast<HWND>(window_), kWakeupMessage, 0, 0); }

void EventLoop::Take(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
  if (message == kWakeupMessage) {
    CollectPosts();
  } else if (message == WM_TIMER) {
    CollectTimer(wParam);
  } else {
    auto found = watchByFd_.find(static_cast<SocketHandle>(wParam));
    if (found == watchByFd_.end() || SocketMessage(found->second) != message) return;
    CollectSocket(found->second, static_cast<std::uint32_t>(lParam));
  }
}

// `ready` is the message's lParam: the event in the low word, the error in the high one.
void EventLoop::CollectSocket(std::uint64_t id, std::uint32_t ready) {
  Watch& watch = watches_.at(id);
  const unsigned event = WSAGETSELECTEVENT(ready);
  const int error = WSAGETSELECTERROR(ready);
  if (event == FD_CONNECT) {
    if (!watch.connectPending) return;
    watch.connectPending = false;
    // A failed connect ends this watch's notifications, as nothing more can
    // happen on the socket until it is watched and connected again.
    if (error != 0) watch.mask = 0;
    UpdateInterest(watch, id);
    queue_.push_back({Queued::kSocket, id, kSocketConnect, error, {}});
    return;
  }
  // Until the connect has ended, everything else belongs to the connect.
  if (watch.connectPending) return;
  const unsigned bit = EventBit(event);
  if (bit & watch.mask) queue_.push_back({Queued::kSocket, id, bit, bit == kSocketClose ? error : 0, {}});
}

void EventLoop::CollectTimer(std::uint64_t id) {
  if (timers_.count(id)) queue_.push_back({Queued::kTimer, id, 0, 0, {}});
}

void EventLoop::Collect() {
  // Only this window's messages: the host toolkit's stay queued for its pump.
  MSG message;
  while (PeekMessageW(&message, static_cast<HWND>(window_), 0, 0, PM_REMOVE))
    Take(message.message, message.wParam, message.lParam);
}

void EventLoop::Wait(std::chrono::milliseconds timeout, SocketHandle fd, short pollEvents) {
  if (!queue_.empty()) return;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  // A watched socket's reads and closes come as messages; for the rest (a
  // socket not watched, room to send) it is looked at between waits on the
  // queue: often at first, then ever less often while nothing happens, so
  // that an idle wait costs next to nothing.
  if (pollEvents == POLLIN) {
    const auto found = watchByFd_.find(fd);
    if (found != watchByFd_.end()) {
      const Watch& watch = watches_.at(found->second);
      if ((watch.mask & kSocketRead) && !watch.connectPending) fd = kNoSocket;
    }
  }
  DWORD slice = 1;
  for (;;) {
    if (fd != kNoSocket) {
      WSAPOLLFD ready{fd, pollEvents, 0};
      if (WSAPoll(&ready, 1, 0) != 0) return;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return;
    const DWORD wait = fd == kNoSocket ? static_cast<DWORD>(left.count())
                                       : std::min(slice, static_cast<DWORD>(left.count()));
    if (MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE) == WAIT_OBJECT_0) return;
    if (fd == kNoSocket) return;
    slice = std::min<DWORD>(slice * 2, kLongestPollSlice);
  }
}

}  // namespace platform
