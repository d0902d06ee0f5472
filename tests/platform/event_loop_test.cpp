#include "platform/event_loop.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>
#include <vector>

#include "platform/sockets.h"
#include "platform/winsock_error.h"
#include "support/cpu_time.h"
#include "support/loopback.h"
#include "support/wait_until.h"

namespace platform {
namespace {

using namespace std::chrono_literals;

SocketHandle NonBlockingSocket() {
  const SocketHandle fd = OpenStreamSocket(AF_INET, 0);
  EXPECT_NE(fd, kNoSocket);
  return fd;
}

// A listening non-blocking loopback socket on a free port.
struct Listener {
  SocketHandle fd = NonBlockingSocket();
  sockaddr_in address{};
  Listener() {
    address = test::BindLoopback(fd);
    listen(fd, 4);
  }
  ~Listener() { CloseSocket(fd); }

  // A client connected to it, and the accepted end.
  void Pair(SocketHandle ends[2]) {
    ends[1] = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(connect(ends[1], reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(PollSocket(fd, POLLIN, 10000), 1);
    ends[0] = accept(fd, nullptr, nullptr);
  }
};

struct Recorded {
  unsigned event;
  int error;
};

TEST(EventLoop, TimerFiresOncePerExpiryUntilStopped) {
  EventLoop loop;
  int fired = 0;
  const auto id = loop.StartTimer(5ms, [&] { ++fired; });
  ASSERT_TRUE(test::WaitUntil(loop, [&] { return fired >= 3; }));
  loop.StopTimer(id);
  const int atStop = fired;
  loop.Wait(30ms);
  loop.ProcessMessages();
  EXPECT_EQ(fired, atStop);
}

TEST(EventLoop, TimerHandlerMayStopItsOwnTimer) {
  EventLoop loop;
  int fired = 0;
  EventLoop::TimerId id = 0;
  id = loop.StartTimer(2ms, [&] {
    ++fired;
    loop.StopTimer(id);
  });
  ASSERT_TRUE(test::WaitUntil(loop, [&] { return fired == 1; }));
  loop.Wait(20ms);
  loop.ProcessMessages();
  EXPECT_EQ(fired, 1);
}

TEST(EventLoop, PostsFromAnotherThreadArriveInOrderOnTheLoopThread) {
  EventLoop loop;
  std::vector<int> seen;
  const auto loopThread = std::this_thread::get_id();
  bool allOnLoopThread = true;
  std::thread poster([&] {
    for (int i = 0; i < 1000; ++i)
      loop.Post([&, i] {
        seen.push_back(i);
        allOnLoopThread = allOnLoopThread && std::this_thread::get_id() == loopThread;
      });
  });
  poster.join();
  ASSERT_TRUE(test::WaitUntil(loop, [&] { return seen.size() == 1000; }));
  EXPECT_TRUE(allOnLoopThread);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(seen[i], i);
}

TEST(EventLoop, ConnectReadAndCloseAreDeliveredForAWatchedSocket) {
  EventLoop loop;
  Listener listener;
  const SocketHandle client = NonBlockingSocket();
  std::vector<Recorded> events;
  loop.WatchSocket(client, kSocketRead | kSocketConnect | kSocketClose,
                   [&](unsigned event, int error) { events.push_back({event, error}); });
  ConnectSocket(client, reinterpret_cast<sockaddr*>(&listener.address), sizeof listener.address);
  ASSERT_TRUE(test::WaitUntil(loop, [&] { return !events.empty(); }));
  EXPECT_EQ(events[0].event, kSocketConnect);
  EXPECT_EQ(events[0].error, 0);

  const SocketHandle server = accept(listener.fd, nullptr, nullptr);
  ASSERT_EQ(SendSocket(server, "220 hi\r\n", 8), 8);
  ASSERT_TRUE(test::WaitUntil(loop, [&] { return events.size() >= 2; }));
  EXPECT_EQ(events[1].event, kSocketRead);
  // Wine's Winsock tells of the peer's close only once the data before it is read.
  char line[8];
  ASSERT_EQ(ReceiveSocket(client, line, sizeof line, false), 8);

  CloseSocket(server);
  ASSERT_TRUE(test::WaitUntil(loop, [&] { return events.back().event == kSocketClose; }));
  loop.UnwatchSocket(client);
  CloseSocket(client);
}

TEST(EventLoop, RefusedConnectReportsTheErrorAndNoClose) {
  EventLoop loop;
  sockaddr_in nowhere{};
  {
    Listener closedSoon;  // a port that was free a moment ago
    nowhere = closedSoon.address;
  }
  const SocketHandle client = NonBlockingSocket();
  std::vector<Recorded> events;
  loop.WatchSocket(client, kSocketRead | kSocketConnect | kSocketClose,
                   [&](unsigned event, int error) { events.push_back({event, error}); });
  ConnectSocket(client, reinterpret_cast<sockaddr*>(&nowhere), sizeof nowhere);
  ASSERT_TRUE(test::WaitUntil(loop, [&] { return !events.empty(); }));
  loop.Wait(20ms);
  loop.ProcessMessages();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].event, kSocketConnect);
  EXPECT_EQ(WinsockError(events[0].error), 10061);
  loop.UnwatchSocket(client);
  CloseSocket(client);
}

TEST(EventLoop, ListeningSocketGetsAccept) {
  EventLoop loop;
  Listener listener;
  int accepts = 0;
  loop.WatchSocket(listener.fd, kSocketAccept, [&](unsigned event, int) {
    if (event == kSocketAccept) ++accepts;
  });
  const SocketHandle client = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&listener.address), sizeof listener.address), 0);
  ASSERT_TRUE(test::WaitUntil(loop, [&] { return accepts == 1; }));
  loop.UnwatchSocket(listener.fd);
  CloseSocket(client);
}

TEST(EventLoop, UnwatchDropsNotificationsAlreadyQueued) {
  EventLoop loop;
  Listener listener;
  SocketHandle sv[2];
  listener.Pair(sv);
  int reads = 0;
  loop.WatchSocket(sv[0], kSocketRead, [&](unsigned, int) { ++reads; });
  ASSERT_EQ(SendSocket(sv[1], "x", 1), 1);
  loop.Wait(100ms);  // the notification is now pending in the loop's queue
  loop.UnwatchSocket(sv[0]);
  loop.ProcessMessages();
  EXPECT_EQ(reads, 0);
  CloseSocket(sv[0]);
  CloseSocket(sv[1]);
}

TEST(EventLoop, WaitingForNothingDoesNotSpinACore) {
  EventLoop loop;
  const double before = test::CpuSeconds();
  const auto until = std::chrono::steady_clock::now() + 1s;
  while (std::chrono::steady_clock::now() < until) {
    loop.Wait(5ms);
    loop.ProcessMessages();
  }
  EXPECT_LT(test::CpuSeconds() - before, 0.1);
}

}  // namespace
}  // namespace platform
