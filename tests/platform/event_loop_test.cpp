#include "platform/event_loop.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <thread>
#include <vector>

#include "support/loopback.h"
#include "support/wait_until.h"

namespace platform {
namespace {

using namespace std::chrono_literals;

int NonBlockingSocket() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
  EXPECT_GE(fd, 0);
  return fd;
}

// A listening loopback socket on a free port.
struct Listener {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  Listener() {
    address = test::BindLoopback(fd);
    listen(fd, 4);
  }
  ~Listener() { close(fd); }
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
  const int client = NonBlockingSocket();
  std::vector<Recorded> events;
  loop.WatchSocket(client, kSocketRead | kSocketConnect | kSocketClose,
                   [&](unsigned event, int error) { events.push_back({event, error}); });
  connect(client, reinterpret_cast<sockaddr*>(&listener.address), sizeof listener.address);
  ASSERT_TRUE(test::WaitUntil(loop, [&] { return !events.empty(); }));
  EXPECT_EQ(events[0].event, kSocketConnect);
  EXPECT_EQ(events[0].error, 0);

  const int server = accept(listener.fd, nullptr, nullptr);
  ASSERT_EQ(write(server, "220 hi\r\n", 8), 8);
  ASSERT_TRUE(test::WaitUntil(loop, [&] { return events.size() >= 2; }));
  EXPECT_EQ(events[1].event, kSocketRead);

  close(server);
  ASSERT_TRUE(test::WaitUntil(loop, [&] { return events.back().event == kSocketClose; }));
  loop.UnwatchSocket(client);
  close(client);
}

TEST(EventLoop, RefusedConnectReportsTheErrorAndNoClose) {
  EventLoop loop;
  sockaddr_in nowhere{};
  {
    Listener closedSoon;  // a port that was free a moment ago
    nowhere = closedSoon.address;
  }
  const int client = NonBlockingSocket();
  std::vector<Recorded> events;
  loop.WatchSocket(client, kSocketRead | kSocketConnect | kSocketClose,
                   [&](unsigned event, int error) { events.push_back({event, error}); });
  connect(client, reinterpret_cast<sockaddr*>(&nowhere), sizeof nowhere);
  ASSERT_TRUE(test::WaitUntil(loop, [&] { return !events.empty(); }));
  loop.Wait(20ms);
  loop.ProcessMessages();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].event, kSocketConnect);
  EXPECT_EQ(events[0].error, ECONNREFUSED);
  loop.UnwatchSocket(client);
  close(client);
}

TEST(EventLoop, ListeningSocketGetsAccept) {
  EventLoop loop;
  Listener listener;
  fcntl(listener.fd, F_SETFL, O_NONBLOCK);
  int accepts = 0;
  loop.WatchSocket(listener.fd, kSocketAccept, [&](unsigned event, int) {
    if (event == kSocketAccept) ++accepts;
  });
  const int client = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&listener.address), sizeof listener.address), 0);
  ASSERT_TRUE(test::WaitUntil(loop, [&] { return accepts == 1; }));
  loop.UnwatchSocket(listener.fd);
  close(client);
}

TEST(EventLoop, UnwatchDropsNotificationsAlreadyQueued) {
  EventLoop loop;
  int sv[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, sv), 0);
  int reads = 0;
  loop.WatchSocket(sv[0], kSocketRead, [&](unsigned, int) { ++reads; });
  ASSERT_EQ(write(sv[1], "x", 1), 1);
  loop.Wait(100ms);  // the notification is now pending in the epoll set
  loop.UnwatchSocket(sv[0]);
  loop.ProcessMessages();
  EXPECT_EQ(reads, 0);
  close(sv[0]);
  close(sv[1]);
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

TEST(EventLoop, WaitingForNothingDoesNotSpinACore) {
  EventLoop loop;
  const double before = CpuSeconds();
  const auto until = std::chrono::steady_clock::now() + 1s;
  while (std::chrono::steady_clock::now() < until) {
    loop.Wait(5ms);
    loop.ProcessMessages();
  }
  EXPECT_LT(CpuSeconds() - before, 0.1);
}

}  // namespace
}  // namespace platform
