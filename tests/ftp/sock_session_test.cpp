#include "ftp/sock_session.h"
#include "ftp/file_source.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "support/cpu_time.h"
#include "support/loopback.h"
#include "support/socket_wait.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

namespace ftp {
namespace {

using namespace std::chrono_literals;

// A listening socket on a loopback address; the kernel completes connections
// to it without an accept, so a test can connect first and accept afterwards.
class Listener {
 public:
  explicit Listener(const char* address = "127.0.0.1", int backlog = 4) {
    TNetAddress local = *LiteralAddress(address);
    fd_ = test::OpenBlockingSocket(local.Family());
    bind(fd_, local.Raw(), local.Length());
    socklen_t length = sizeof local.storage;
    getsockname(fd_, local.Raw(), &length);
    port_ = local.Port();
    listen(fd_, backlog);
  }
  ~Listener() { platform::CloseSocket(fd_); }
  int Port() const { return port_; }
  // The server end of the next connection.
  platform::SocketHandle Accept() { return test::AcceptBlocking(fd_); }

 private:
  platform::SocketHandle fd_ = platform::kNoSocket;
  int port_ = 0;
};

// The server end of a connection, closed with the object.
struct PeerEnd {
  platform::SocketHandle fd;
  ~PeerEnd() {
    if (fd != platform::kNoSocket) platform::CloseSocket(fd);
  }
  void Send(const std::string& bytes) const {
    ASSERT_EQ(platform::SendSocket(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  std::string Receive() const {
    char chunk[4096];
    const ssize_t n = platform::ReceiveSocket(fd, chunk, sizeof chunk, false);
    return n > 0 ? std::string(chunk, static_cast<std::size_t>(n)) : std::string();
  }
};

// A session connected to a test listener, with the server end at hand.
struct ConnectedSession {
  Listener listener;
  TSockSession session;
  PeerEnd peer{platform::kNoSocket};
  ConnectedSession() {
    session.Host = "127.0.0.1";
    session.Port = listener.Port();
    session.Connect();
    peer.fd = listener.Accept();
  }
};

TEST(SockSessionConnect, LiteralAddressesConnectWithoutLookup) {
  const struct {
    const char* listenOn;
    const char* host;
  } cases[] = {{"127.0.0.1", "127.0.0.1"}, {"::1", "::1"}, {"::1", "[::1]"}};
  for (const auto& c : cases) {
    Listener listener(c.listenOn);
    TSockSession session;
    int resolved = 0, connected = 0;
    session.OnHostResolved = [&](TSockSession&) { ++resolved; };
    session.OnConnect = [&](TSockSession&) { ++connected; };
    session.Host = c.host;
    session.Port = listener.Port();
    session.Connect();
    EXPECT_TRUE(session.Connected) << c.host;
    EXPECT_EQ(resolved, 0) << c.host;
    EXPECT_EQ(connected, 1) << c.host;
    EXPECT_EQ(session.PeerAddress().Text(), c.listenOn);
    EXPECT_EQ(session.LastError, 0) << "no error is left behind by a connect that worked";
  }
}

TEST(SockSessionConnect, HostNameIsLookedUpOnceBeforeTheConnect) {
  Listener listener;
  TSockSession session;
  int resolved = 0;
  bool connectedWhenResolved = true;
  session.OnHostResolved = [&](TSockSession& sender) {
    ++resolved;
    connectedWhenResolved = sender.Connected;
  };
  session.Host = "localhost";
  session.Port = listener.Port();
  session.Connect();
  EXPECT_TRUE(session.Connected);
  EXPECT_EQ(resolved, 1);
  EXPECT_FALSE(connectedWhenResolved);
}

TEST(SockSessionConnect, OnlyFourDecimalNumbersAreADottedAddress) {
  EXPECT_EQ(DottedAddress("127.0.0.1"), inet_addr("127.0.0.1"));
  EXPECT_EQ(DottedAddress("255.255.255.255"), inet_addr("255.255.255.255"));
  EXPECT_EQ(DottedAddress("010.0.0.1"), inet_addr("10.0.0.1"));  // decimal, not octal
  for (const char* text : {"127.0.0.1\r\nQUIT", "127.0.0.1 ", " 127.0.0.1", "127.1", "0x7f.0.0.1",
                           "256.0.0.1", "1234.0.0.1", "1.2.3.4.5", "1.2.3.", "1..2.3", "", "localhost"})
    EXPECT_EQ(DottedAddress(text), std::nullopt) << text;
}

TEST(SockSessionConnect, AddressesWithAndWithoutPort) {
  const struct {
    const char* address;
    const char* host;
    int port;
  } cases[] = {{"ftp.example", "ftp.example", 21},      {"ftp.example:2121", "ftp.example", 2121},
               {"10.0.0.1:990", "10.0.0.1", 990},       {"2001:db8::1", "2001:db8::1", 21},
               {"[2001:db8::1]", "[2001:db8::1]", 21},  {"[2001:db8::1]:2121", "[2001:db8::1]", 2121}};
  for (const auto& c : cases) {
    const THostAndPort split = SplitHostPort(c.address, 21);
    EXPECT_EQ(split.host, c.host) << c.address;
    EXPECT_EQ(split.port, c.port) << c.address;
  }
  for (const char* bad : {"ftp.example:", "ftp.example:0", "ftp.example:65536", "ftp.example:21x", "[::1]:"})
    EXPECT_THROW(SplitHostPort(bad, 21), ESockError) << bad;
  EXPECT_EQ(LiteralAddress("[2001:db8::1]")->Text(), "2001:db8::1");
  EXPECT_EQ(LiteralAddress("::ffff:127.0.0.1")->SameHost(*LiteralAddress("127.0.0.1")), true);
  EXPECT_EQ(LiteralAddress("ftp.example"), std::nullopt);
  EXPECT_EQ(LiteralAddress("[::1"), std::nullopt);
}

TEST(SockSessionConnect, HostWithControlCharactersIsNeitherAddressNorName) {
  Listener listener;
  TSockSession session;
  int resolved = 0;
  session.OnHostResolved = [&](TSockSession&) { ++resolved; };
  session.Host = "127.0.0.1\r\nQUIT";
  session.Port = listener.Port();
  try {
    session.ResolveHost();
    FAIL();
  } catch (const ESockError& error) {
    EXPECT_STREQ(error.what(), "Ungültiger Hostname"_ansi);
  }
  EXPECT_THROW(session.Connect(), ESockError);
  EXPECT_FALSE(session.Connected);
  EXPECT_EQ(resolved, 0);
}

TEST(SockSessionConnect, UnresolvableNameWithoutHandlerIsNullExternalAddress) {
  TSockSession session;
  session.Host = "no-such-host.invalid";
  session.Port = 21;
  try {
    session.Connect();
    FAIL() << "connected to an unresolvable name";
  } catch (const ESockError& error) {
    EXPECT_STREQ(error.what(), "Null Externe Adresse");
  }
  EXPECT_FALSE(session.Connected);
}

TEST(SockSessionConnect, InvalidHostHandlerGetsOneRetry) {
  Listener listener;
  TSockSession session;
  session.Port = listener.Port();
  int calls = 0;
  session.OnInvalidHost = [&](bool& handled) {
    ++calls;
    session.Host = "localhost";
    handled = true;
  };
  session.Host = "no-such-host.invalid";
  session.Connect();
  EXPECT_TRUE(session.Connected);
  EXPECT_EQ(calls, 1);
}

TEST(SockSessionConnect, SecondFailedLookupRaisesWithoutAskingAgain) {
  TSockSession session;
  session.Port = 21;
  int calls = 0;
  session.OnInvalidHost = [&](bool& handled) {
    ++calls;
    session.Host = "still-no-such-host.invalid";
    handled = true;
  };
  session.Host = "no-such-host.invalid";
  EXPECT_THROW(
      {
        try {
          session.Connect();
        } catch (const ESockError& error) {
          EXPECT_STREQ(error.what(), "Null Externe Adresse");
          throw;
        }
      },
      ESockError);
  EXPECT_EQ(calls, 1);
}

TEST(SockSessionConnect, RefusedConnectionNamesTheSocketError) {
  int port;
  {
    Listener closed;
    port = closed.Port();
  }
  TSockSession session;
  int failed = 0;
  session.OnConnectionFailed = [&](TSockSession&) { ++failed; };
  session.Host = "127.0.0.1";
  session.Port = port;
  try {
    session.Connect();
    FAIL() << "a refused connect succeeded";
  } catch (const ESockError& error) {
    EXPECT_STREQ(error.what(), "10061:Connection refused");
  }
  EXPECT_EQ(session.LastError, 10061);
  EXPECT_EQ(failed, 1);
  EXPECT_FALSE(session.Connected);

  // The session is ready for the next attempt.
  Listener listener;
  session.Port = listener.Port();
  session.Connect();
  EXPECT_TRUE(session.Connected);
}

TEST(SockSessionConnect, ConnectTimesOutWhenNobodyAnswers) {
  // A listener whose accept queue is full drops further connection requests.
  Listener listener("127.0.0.1", 0);
  const platform::SocketHandle filler = test::OpenBlockingSocket(AF_INET);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(listener.Port()));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

  TSockSession session;
  int failed = 0;
  session.OnConnectionFailed = [&](TSockSession&) { ++failed; };
  session.Host = "127.0.0.1";
  session.Port = listener.Port();
  session.TimeOut = 200;
  try {
    session.Connect();
    FAIL() << "connected past a full accept queue";
  } catch (const ESockError& error) {
    EXPECT_STREQ(error.what(), "Zeitüberschreitung bei Verbindung"_ansi);
  }
  EXPECT_EQ(failed, 1);
  EXPECT_TRUE(session.TimedOut);
  platform::CloseSocket(filler);
}

TEST(SockSessionConnect, ConnectWhileConnectedIsRefused) {
  ConnectedSession c;
  try {
    c.session.Connect();
    FAIL();
  } catch (const ESockError& error) {
    EXPECT_STREQ(error.what(), "Bereits verbunden");
  }
  EXPECT_TRUE(c.session.Connected);
}

TEST(SockSessionConnect, DisconnectLeavesAFreshSocketForTheNextConnect) {
  ConnectedSession c;
  int disconnected = 0;
  c.session.OnDisconnect = [&](TSockSession&) { ++disconnected; };
  c.session.Disconnect();
  EXPECT_FALSE(c.session.Connected);
  EXPECT_EQ(disconnected, 1);
  EXPECT_EQ(c.peer.Receive(), "");  // the server sees the end
  c.session.Connect();
  EXPECT_TRUE(c.session.Connected);
  // The fresh socket did not read as closed again while the connect waited.
  EXPECT_EQ(disconnected, 1);
}

TEST(SockSessionConnect, PeerClosingWithNothingUnreadClosesTheSession) {
  ConnectedSession c;
  platform::CloseSocket(c.peer.fd);
  c.peer.fd = platform::kNoSocket;
  EXPECT_TRUE(test::WaitUntil(platform::EventLoop::Current(), [&] { return !c.session.Connected; }));
}

TEST(SockSessionConnect, CheckConnectedAsksTheHandlerOnce) {
  Listener listener;
  TSockSession session;
  try {
    session.CheckConnected();
    FAIL();
  } catch (const Exception& error) {
    EXPECT_STREQ(error.what(), "Nicht verbunden");
  }
  int asked = 0;
  session.OnConnectionRequired = [&](bool& handled) {
    ++asked;
    session.Host = "127.0.0.1";
    session.Port = listener.Port();
    session.Connect();
    handled = true;
  };
  session.CheckConnected();
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(session.Connected);
}

TEST(SockSessionRead, TwoLinesInOnePacketComeFromTwoReads) {
  ConnectedSession c;
  c.peer.Send("220 first\r\n230 second\n");
  EXPECT_EQ(c.session.ReadLn(), "220 first\r\n");
  EXPECT_EQ(c.session.ReadLn(), "230 second\n");
}

TEST(SockSessionRead, LineArrivingByteByByteIsGathered) {
  ConnectedSession c;
  const std::string line = "226 Transfer complete\r\n";
  std::size_t next = 0;
  auto& loop = platform::EventLoop::Current();
  const auto timer = loop.StartTimer(1ms, [&] {
    if (next < line.size()) c.peer.Send(line.substr(next++, 1));
  });
  EXPECT_EQ(c.session.ReadLn(), line);
  loop.StopTimer(timer);
  EXPECT_EQ(next, line.size());
}

TEST(SockSessionRead, PeerClosingGivesAnEmptyLine) {
  ConnectedSession c;
  c.peer.Send("partial");
  test::ShutdownSending(c.peer.fd);
  EXPECT_EQ(c.session.ReadLn(), "");
}

TEST(SockSessionRead, LineBeyondTheBufferIsAnErrorNotAnOverrun) {
  ConnectedSession c;
  c.peer.Send(std::string(TSockSession::kBufferSize + 10, 'x'));
  try {
    c.session.ReadLn();
    FAIL();
  } catch (const ESockError& error) {
    EXPECT_STREQ(error.what(), "Zeile zu lang bei Socket-readln");
  }
}

TEST(SockSessionRead, CancelEndsAWaitingReadLn) {
  ConnectedSession c;
  auto& loop = platform::EventLoop::Current();
  const auto timer = loop.StartTimer(20ms, [&] { c.session.Cancel(); });
  try {
    c.session.ReadLn();
    FAIL();
  } catch (const EAbortError& error) {
    EXPECT_STREQ(error.what(), "Socket-readln abgebrochen");
  }
  loop.StopTimer(timer);
  EXPECT_FALSE(c.session.Cancelled);
}

TEST(SockSessionRead, ReadZeroWithNothingWaitingIsEmpty) {
  ConnectedSession c;
  EXPECT_FALSE(c.session.DataAvailable());
  EXPECT_EQ(c.session.Read(0), "");
  c.peer.Send("left over");
  ASSERT_TRUE(test::WaitUntil(platform::EventLoop::Current(), [&] { return c.session.DataAvailable(); }));
  EXPECT_EQ(c.session.Read(0), "left over");
}

TEST(SockSessionRead, IdleReplyWaitIsBoundedAndCostsAlmostNoCpu) {
  ConnectedSession c;
  c.session.TimeOut = 5000;
  const double cpuBefore = test::CpuSeconds();
  const auto wallBefore = std::chrono::steady_clock::now();
  try {
    c.session.ReadLn();
    FAIL();
  } catch (const EAbortError& error) {
    EXPECT_STREQ(error.what(), "Zeitüberschreitung beim Warten auf Antwort"_ansi);
  }
  const double cpu = test::CpuSeconds() - cpuBefore;
  const auto wall = std::chrono::steady_clock::now() - wallBefore;
  RecordProperty("cpu_microseconds", static_cast<int>(cpu * 1e6));
  EXPECT_GE(wall, 4900ms);
  EXPECT_LT(cpu, 0.25) << "a 5 s wait must cost well under a tenth of a core";
  EXPECT_FALSE(c.session.Cancelled);
}

TEST(SockSessionTransaction, ReplyCodeIsTheLeadingNumber) {
  ConnectedSession c;
  c.peer.Send("220 Service ready\r\n");
  EXPECT_EQ(c.session.Transaction("NOOP"), "220 Service ready\r\n");
  EXPECT_EQ(c.peer.Receive(), "NOOP\r\n");
  EXPECT_EQ(c.session.ReplyCode, 220);
  EXPECT_EQ(c.session.LastReply, "220 Service ready\r\n");

  c.peer.Send("X220 letter first\r\n");
  c.session.Transaction("NOOP");
  EXPECT_EQ(c.session.ReplyCode, 0);

  c.peer.Send("123456789012 far too many digits\r\n");
  EXPECT_THROW(c.session.Transaction("NOOP"), ESockError);
}

TEST(SockSessionErrors, ErrorMessageUsesTheTable) {
  TSockSession session;
  EXPECT_EQ(session.ErrorMessage(10061), "10061:Connection refused");
  EXPECT_EQ(session.ErrorMessage(11001), "11001:Host not found");
  EXPECT_EQ(session.ErrorMessage(12345), "Unbekannte Fehlernummer 12345");
  EXPECT_EQ(session.ErrorMessage(0), "");
}

// Leaves in errno what a connect that nobody answers leaves there.
void RefusedConnect() {
  const platform::SocketHandle fd = test::OpenBlockingSocket(AF_INET);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(test::ClosedLoopbackPort()));
  platform::SocketCall(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address));
  const int refused = errno;
  platform::CloseSocket(fd);
  errno = refused;
}

TEST(SockSessionErrors, CheckErrorIgnoresWouldBlockAndSmallNumbers) {
  TSockSession session;
  int reported = 0;
  std::uint16_t number = 0;
  std::string text;
  session.OnError = [&](TSockSession&, std::uint16_t errorNumber, const std::string& message) {
    ++reported;
    number = errorNumber;
    text = message;
  };
  errno = EWOULDBLOCK;
  EXPECT_NO_THROW(session.CheckError(10035));
  EXPECT_EQ(session.LastError, 10035);
  errno = 0;
  EXPECT_NO_THROW(session.CheckError(10035));
  EXPECT_EQ(reported, 0);

  RefusedConnect();
  try {
    session.CheckError(10035);
    FAIL();
  } catch (const ESockError& error) {
    EXPECT_STREQ(error.what(), "10061:Connection refused");
  }
  EXPECT_EQ(reported, 1);
  EXPECT_EQ(number, 10061);
  EXPECT_EQ(text, "10061:Connection refused");
}

std::vector<std::string> StatusesOfATransaction(int level) {
  ConnectedSession c;
  std::vector<std::string> seen;
  c.session.ReportLevel = level;
  c.session.OnStatus = [&](TSockSession&, const std::string& text) { seen.push_back(text); };
  c.peer.Send("200 OK\r\n");
  c.session.Transaction("NOOP");
  c.session.Disconnect();
  c.session.OnStatus = nullptr;
  return seen;
}

bool Contains(const std::vector<std::string>& texts, const std::string& text) {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

TEST(SockSessionStatus, ReportLevelFiltersTheTexts) {
  EXPECT_TRUE(StatusesOfATransaction(0).empty());

  EXPECT_EQ(StatusesOfATransaction(1), std::vector<std::string>{"200 OK\r\n"});

  const auto sockets = StatusesOfATransaction(4);
  EXPECT_TRUE(Contains(sockets, "Puffer senden"));
  EXPECT_TRUE(Contains(sockets, "Schließen des Socket anfordern"_ansi));
  EXPECT_FALSE(Contains(sockets, "Zeitgeber An"));

  const auto all = StatusesOfATransaction(8);
  for (const char* text : {"Transaktion", "Writeln", "Schreiben", "ReadLn", "Zeitgeber An",
                           "Zeitgeber Aus", "Verbindung wird abgebrochen", "200 OK\r\n"})
    EXPECT_TRUE(Contains(all, text)) << text;
}

TEST(SockSessionStatus, OnlyTheFirstLiveSessionDescribesTheSocketLayer) {
  {
    TSockSession first;
    TSockSession second;
    ASSERT_EQ(first.WinsockInfo.size(), 6u);
    EXPECT_EQ(first.WinsockInfo[0], "Version= 1.1");
    EXPECT_EQ(first.WinsockInfo[5].rfind("Max Upd Pack.-Größe= "_ansi, 0), 0u);
    EXPECT_TRUE(second.WinsockInfo.empty());
  }
  TSockSession again;
  EXPECT_EQ(again.WinsockInfo.size(), 6u);
}

TEST(SockSessionTimer, StartingARunningTimerKeepsItsCountdown) {
  auto& loop = platform::EventLoop::Current();
  TSessionTimer timer(loop);
  int fired = 0;
  timer.SetInterval(50);
  timer.SetOnTimer([&](TSessionTimer&) { ++fired; });
  // Setting the same values again on every pass must not restart the countdown.
  EXPECT_TRUE(test::WaitUntil(loop, [&] {
    timer.SetEnabled(true);
    timer.SetInterval(50);
    return fired > 0;
  }));
}

TEST(SockSessionTimer, TimeOutCancelsAPlainSession) {
  ConnectedSession c;
  c.session.TimeOut = 30;
  EXPECT_THROW(c.session.ReadLn(), EAbortError);
  EXPECT_TRUE(c.session.TimedOut);
  EXPECT_TRUE(c.session.EventArrived);
  EXPECT_FALSE(c.session.Cancelled);
}

TEST(SockSessionLookup, LookupAbandonedByCancelAndDestructionIsDropped) {
  auto& loop = platform::EventLoop::Current();
  {
    TSockSession session;
    session.ReportLevel = 8;
    // Cancel as soon as the lookup's wait is armed, before any result can come.
    session.OnStatus = [&](TSockSession& sender, const std::string& text) {
      if (text == "Zeitgeber An") sender.Cancel();
    };
    session.Host = "localhost";
    session.Port = 21;
    try {
      session.Connect();
      FAIL();
    } catch (const ESockError& error) {
      EXPECT_STREQ(error.what(), "Host-Lookup abgebrochen");
    }
  }
  // The abandoned lookup's completion arrives while another lookup runs.
  Listener listener;
  TSockSession next;
  int resolved = 0;
  next.OnHostResolved = [&](TSockSession&) { ++resolved; };
  next.Host = "localhost";
  next.Port = listener.Port();
  next.Connect();
  EXPECT_EQ(resolved, 1);
  loop.ProcessMessages();
}

TEST(SockSessionData, ListenAcceptsOnlyTheExpectedPeer) {
  TSockSession data;
  data.Listen(true, *LiteralAddress("127.0.0.1"));
  data.AcceptOnlyFrom(*LiteralAddress("127.0.0.2"));
  const std::string port = data.LocalPortText();
  unsigned high = 0, low = 0;
  ASSERT_EQ(sscanf(port.c_str(), ",%u,%u", &high, &low), 2);
  EXPECT_EQ(data.LocalAddressText(), "127,0,0,1");

  auto connectFrom = [&](const char* from) {
    const platform::SocketHandle fd = test::OpenBlockingSocket(AF_INET);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, from, &local.sin_addr);
    bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(static_cast<std::uint16_t>(high * 256 + low));
    remote.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote), 0);
    return fd;
  };
  PeerEnd stranger{connectFrom("127.0.0.1")};
  PeerEnd server{connectFrom("127.0.0.2")};
  const platform::SocketHandle accepted = data.Accept();
  EXPECT_EQ(accepted, data.SocketHandle());
  EXPECT_TRUE(data.Connected);
  EXPECT_EQ(data.PeerAddress().Text(), "127.0.0.2");
  EXPECT_EQ(stranger.Receive(), "");  // turned away

  server.Send("payload");
  test::ShutdownSending(server.fd);
  test::TempDir dir;
  data.CaptureFile((dir / "received").string());
  EXPECT_EQ(test::ReadFile(dir / "received"), "payload");
  EXPECT_EQ(data.BytesReceived, 7);
}

TEST(SockSessionData, AcceptWaitIsBoundedByTimeOut) {
  TSockSession data;
  data.TimeOut = 50;
  data.Listen(true, *LiteralAddress("127.0.0.1"));
  try {
    data.Accept();
    FAIL();
  } catch (const ESockError& error) {
    EXPECT_STREQ(error.what(), "Zeitüberschreitung bei Annahme der Datenverbindung"_ansi);
  }
}

TEST(SockSessionData, SendFileSendsEveryByteAndCountsThem) {
  ConnectedSession c;
  test::TempDir dir;
  const std::string content = test::PatternBytes(300000);
  test::WriteFile(dir / "out", content);
  int packets = 0;
  c.session.OnPacketSent = [&](TSockSession&) { ++packets; };
  std::string received;
  auto& loop = platform::EventLoop::Current();
  // The peer reads while SendFile waits for room in the socket.
  test::SetNonBlocking(c.peer.fd, true);
  const auto reader = loop.StartTimer(1ms, [&] {
    char chunk[65536];
    ssize_t n;
    while ((n = platform::ReceiveSocket(c.peer.fd, chunk, sizeof chunk, false)) > 0) received.append(chunk, static_cast<std::size_t>(n));
  });
  {
    ftp::TLocalFile source((dir / "out").string());
    c.session.SendFile(source);
  }
  EXPECT_TRUE(test::WaitUntil(loop, [&] { return received.size() == content.size(); }));
  loop.StopTimer(reader);
  EXPECT_TRUE(received == content);
  EXPECT_EQ(c.session.BytesSent, 300000);
  EXPECT_GE(packets, 5);
}

TEST(SockSessionData, SendFileToAPeerThatStopsReadingEndsAfterTheTimeOut) {
  ConnectedSession c;
  test::TempDir dir;
  // More than the socket buffers of both ends can hold.
  test::WriteFile(dir / "big", std::string(32 * 1024 * 1024, 'x'));
  c.session.TimeOut = 200;
  try {
    ftp::TLocalFile source((dir / "big").string());
    c.session.SendFile(source);
    FAIL();
  } catch (const EAbortError& error) {
    EXPECT_STREQ(error.what(), "Zeitüberschreitung beim Senden der Datei"_ansi);
  }
  EXPECT_GT(c.session.BytesSent, 0);
  EXPECT_LT(c.session.BytesSent, 32 * 1024 * 1024);
  EXPECT_FALSE(c.session.Cancelled);
}

// A peer that reads slowly is still taking data long after the last byte went
// into the socket; that is progress, and delivery ends only once it has all.
TEST(SockSessionData, AwaitDeliveryLastsUntilASlowPeerHasTakenEveryByte) {
  ConnectedSession c;
  c.session.TimeOut = 200;
  test::TempDir dir;
  const std::string content = test::PatternBytes(2 << 20);
  test::WriteFile(dir / "out", content);
  std::string received;
  auto receive = [&](std::size_t most) {
    char chunk[65536];
    ssize_t n;
    while (most > 0 && (n = platform::ReceiveSocket(c.peer.fd, chunk, std::min(most, sizeof chunk), false)) > 0) {
      received.append(chunk, static_cast<std::size_t>(n));
      most -= static_cast<std::size_t>(n);
    }
  };
  auto& loop = platform::EventLoop::Current();
  test::SetNonBlocking(c.peer.fd, true);
  // 64 KiB every 20 ms: far longer than the time-out in all, never idle for long.
  const auto reader = loop.StartTimer(20ms, [&] { receive(64 << 10); });
  {
    ftp::TLocalFile source((dir / "out").string());
    c.session.SendFile(source);
  }
  c.session.AwaitDelivery();
  loop.StopTimer(reader);
  // Closing resets the connection and drops whatever the peer has not taken.
  c.session.CloseSocket();
  test::SetNonBlocking(c.peer.fd, false);
  test::SetReceiveBound(c.peer.fd, 10000);
  receive(content.size());
  EXPECT_EQ(received.size(), content.size());
  EXPECT_TRUE(received == content);
}

TEST(SockSessionData, CaptureFileTimeOutIsAnIdleTime) {
  ConnectedSession c;
  c.session.TimeOut = 300;
  auto& loop = platform::EventLoop::Current();
  // A chunk every 30 ms for about 600 ms: twice the time-out in all, but
  // never idle for long.
  int sent = 0;
  const auto feeder = loop.StartTimer(30ms, [&] {
    if (++sent <= 20)
      c.peer.Send("chunk");
    else if (sent == 21)
      test::ShutdownSending(c.peer.fd);
  });
  test::TempDir dir;
  c.session.CaptureFile((dir / "in").string());
  loop.StopTimer(feeder);
  EXPECT_EQ(c.session.BytesReceived, 100);
}

}  // namespace
}  // namespace ftp
