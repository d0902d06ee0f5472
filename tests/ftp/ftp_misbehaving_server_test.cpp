// Servers that misbehave on the control or the data connection: replies that
// never end or carry no code, preliminary replies in place of the final one,
// refusals of passive mode, and transfers at a trickle. Each must end with
// the truth (a failure is never reported as a success) and within bounds; a
// server that is slow but healthy must still get its file.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "ftp/ftp_client.h"
#include "ftp_client_probe.h"
#include "support/scripted_ftp_server.h"
#include "support/temp_dir.h"

namespace ftp {
namespace {

using namespace std::chrono_literals;
using test::ScriptedFtpServer;
using Connection = ScriptedFtpServer::Connection;

constexpr int kTimeOutMs = 300;
constexpr int kSlowTimeOutMs = 1500;

// What the client does once the server is up.
enum class Step { Login, ChangeDirectory, Upload, PassiveDownload };

struct Scenario {
  const char* name;
  std::function<void(Connection&)> server;
  Step step;
  std::string raised;  // empty: the step succeeds
  std::vector<std::string> events;
  std::size_t uploadSize = 3000;
  TTlsMode tls = TTlsMode::None;  // what the client requires
};

void PrintTo(const Scenario& scenario, std::ostream* out) { *out << scenario.name; }

// The first half of a passive download on a server that knows no EPSV and
// writes its PASV tuple with blanks; returns the data connection.
ScriptedFtpServer::DataConnection AgreePassiveWithBlanks(Connection& c) {
  c.Command();
  c.Reply("500 Unknown command.");
  c.Command();
  auto listener = c.Listen();
  std::string tuple = listener.Tuple();
  for (std::size_t at = tuple.find(','); at != std::string::npos; at = tuple.find(',', at + 2))
    tuple.insert(at + 1, " ");
  c.Reply("227 Entering Passive Mode (" + tuple + ").");
  c.Command();
  c.Reply("150 Here it comes.");
  return listener.Accept();
}

void LoginThenCommand(Connection& c) {
  c.Login();
  c.Command();
}

// After a success the client says goodbye; the reply to QUIT must be its own.
void SayGoodbye(Connection& c) {
  if (c.Command() == "QUIT") c.Reply("221 Goodbye.");
  c.AwaitClose();
}

// A server that answers the command after the login with `reply`.
std::function<void(Connection&)> CommandAnswered(const std::string& reply) {
  return [reply](Connection& c) {
    LoginThenCommand(c);
    c.Reply(reply);
    c.AwaitClose();
  };
}

// A server that takes an active upload whole and, after `pause`, gives
// `replies`; the client says goodbye when the last one is a success.
std::function<void(Connection&)> UploadAnswered(const std::vector<std::string>& replies,
                                                std::chrono::milliseconds pause = 0ms) {
  return [replies, pause](Connection& c) {
    c.Login();
    c.AgreeActive("150 Ok to send data.").ReceiveAll();
    if (pause > 0ms) c.Pause(pause);
    for (const std::string& reply : replies) c.Reply(reply);
    if (replies.back().starts_with('2'))
      SayGoodbye(c);
    else
      c.AwaitClose();
  };
}

const Scenario kScenarios[] = {
    {"ReplyTricklingForEver",
     [](Connection& c) {
       LoginThenCommand(c);
       c.Send("250 ");
       c.Trickle(std::string(1000, '.'), 50ms);
     },
     Step::ChangeDirectory, "Zeitüberschreitung beim Lesen der Antwort"_ansi, {}},
    {"EndlessContinuationLines",
     [](Connection& c) {
       LoginThenCommand(c);
       c.Flood("250-and there is more\r\n");
     },
     Step::ChangeDirectory, "Antwort zu lang", {}},
    {"GreetingWithoutCode",
     [](Connection& c) {
       c.Reply("hello there, no code");
       c.AwaitClose();
     },
     Step::Login, "hello there, no code\r\n", {}},
    {"PasswordAnsweredWithoutCode",
     [](Connection& c) {
       c.Reply("220 ready");
       c.Command();
       c.Reply("331 Password required");
       c.Command();
       c.Reply("Welcome, whatever");
       c.AwaitClose();
     },
     Step::Login, "Welcome, whatever\r\n", {}},
    {"ChangeOfDirectoryAnsweredWithoutCode", CommandAnswered("!!! 9x garbage"),
     Step::ChangeDirectory, "!!! 9x garbage\r\n", {"failure 0"}},
    {"ReplyCodeOfFourDigits", CommandAnswered("2500 almost a code"),
     Step::ChangeDirectory, "2500 almost a code\r\n", {"failure 0"}},
    {"StoreAnsweredWithoutCode",
     [](Connection& c) {
       c.Login();
       c.Command();
       c.Reply("200 PORT command successful.");
       c.Command();
       c.Reply("abc garbage without code");
       c.AwaitClose();
     },
     Step::Upload, "abc garbage without code\r\n", {"failure 9", "failure 9"}},
    {"FinalReplyWithoutCode", UploadAnswered({"xyz no code at all"}),
     Step::Upload, "xyz no code at all\r\n", {"start", "stop", "failure 9", "failure 9"}},
    {"PreliminaryFinalReplyThenCompletion", UploadAnswered({"150 still going", "226 Transfer complete."}),
     Step::Upload, "", {"start", "stop", "success 9"}},
    // A site that checks a file before it confirms it (a virus scanner) takes
    // longer than TimeOut to answer; the final reply may take SlowTimeOut.
    {"FinalReplyAfterACheck", UploadAnswered({"226 Transfer complete."}, std::chrono::milliseconds(3 * kTimeOutMs)),
     Step::Upload, "", {"start", "stop", "success 9"}},
    {"PreliminaryFinalReplyThenFailure",
     UploadAnswered({"150 still going", "451 Requested action aborted: local error in processing."}),
     Step::Upload, "451 Requested action aborted: local error in processing.\r\n",
     {"start", "stop", "failure 9", "failure 9"}},
    {"PassiveModeRefused", CommandAnswered("425 Can't open passive connection"),
     Step::PassiveDownload, "425 Can't open passive connection\r\n", {"failure 8", "failure 8"}},
    {"PassiveTupleWithBlanks",
     [](Connection& c) {
       c.Login();
       AgreePassiveWithBlanks(c).Send("passive bytes");
       c.Reply("226 Transfer complete.");
       SayGoodbye(c);
     },
     Step::PassiveDownload, "", {"start", "stop", "stop", "success 8"}},
    {"DownloadAtATrickle",
     [](Connection& c) {
       c.Login();
       c.AgreePassive("150 Here it comes.", "500 Unknown command.").Trickle(std::string(1000, 'x'), 50ms);
       c.AwaitClose();
     },
     Step::PassiveDownload, "Übertragung zu langsam: weniger als 1024 Byte in 1500 ms"_ansi,
     {"start", "failure 8"}},
    // TCP opens its window to a reader that slow only in whole segments, so
    // the client sees no progress at all.
    {"UploadTakenAtATrickle",
     [](Connection& c) {
       c.Login();
       c.AgreeActive("150 Ok to send data.").ReceiveSlowly(1, 50ms);
       c.AwaitClose();
     },
     Step::Upload, "Zeitüberschreitung beim Senden der Datei"_ansi, {"start", "failure 9"}, 8 << 20},
    // The server reads a few MB/s: long after the client has handed its last
    // byte to the socket it is still taking data, and answers only then.
    {"UploadTakenSlowlyButSteadily",
     [](Connection& c) {
       c.Login();
       const std::string stored = c.AgreeActive("150 Ok to send data.").ReceiveSlowly(64 << 10, 10ms);
       c.Reply(stored.size() == (6u << 20) ? "226 Transfer complete." : "451 Incomplete.");
       SayGoodbye(c);
     },
     Step::Upload, "", {"start", "stop", "success 9"}, 6 << 20},
    // A client that requires TLS never falls back to plain text.
    {"AuthTlsRefused",
     [](Connection& c) {
       c.Reply("220 Welcome");
       c.Command();
       c.Reply("534 Policy forbids TLS");
       c.AwaitClose();
     },
     Step::Login, "TLS: 127.0.0.1 refused AUTH TLS: 534 Policy forbids TLS", {}, 3000, TTlsMode::Explicit},
    {"PlainTextAfterAuthTlsAgreed",
     [](Connection& c) {
       c.Reply("220 Welcome");
       c.Command();
       c.Reply("234 Proceed with negotiation.");
       c.Reply("220 Still plain text here");
       c.AwaitClose();
     },
     Step::Login, "TLS: the handshake with 127.0.0.1 failed: wrong version number", {}, 3000, TTlsMode::Explicit},
    {"SilenceAfterAuthTlsAgreed",
     [](Connection& c) {
       c.Reply("220 Welcome");
       c.Command();
       c.Reply("234 Proceed with negotiation.");
       c.AwaitClose();
     },
     Step::Login, "TLS: the handshake with 127.0.0.1 timed out", {}, 3000, TTlsMode::Explicit},
    // Implicit FTPS: the client speaks TLS first and reads nothing in plain text.
    {"PlainGreetingOnAnImplicitPort",
     [](Connection& c) {
       c.Reply("220 Plain FTP here");
       c.AwaitClose();
     },
     Step::Login, "TLS: the handshake with 127.0.0.1 failed: wrong version number", {}, 3000, TTlsMode::Implicit},
    {"SilenceOnAnImplicitPort", [](Connection& c) { c.AwaitClose(); }, Step::Login,
     "TLS: the handshake with 127.0.0.1 timed out", {}, 3000, TTlsMode::Implicit},
};

class MisbehavingServer : public testing::TestWithParam<Scenario> {};

TEST_P(MisbehavingServer, EndsWithTheTruthWithinBounds) {
  const Scenario& scenario = GetParam();
  ScriptedFtpServer server(scenario.server);
  test::ProbedClient probe(server.Port());
  probe.client.TimeOut = kTimeOutMs;
  probe.client.SlowTimeOut = kSlowTimeOutMs;
  probe.client.TlsMode = scenario.tls;
  test::TempDir dir;
  const std::string upload = dir.Write("c.cnt", test::PatternBytes(scenario.uploadSize)).string();
  std::string raised;
  try {
    probe.client.Connect();
    switch (scenario.step) {
      case Step::Login:
        break;
      case Step::ChangeDirectory:
        probe.client.ChangeDirectory("in");
        break;
      case Step::Upload:
        probe.client.Upload(upload, "c.cnt");
        break;
      case Step::PassiveDownload:
        probe.client.Passive = true;
        probe.client.Download("x", (dir / "x").string());
        EXPECT_EQ(test::ReadFile(dir / "x"), "passive bytes");
        break;
    }
    probe.client.Disconnect();
    EXPECT_EQ(probe.client.LastReply, "221 Goodbye.\r\n");
  } catch (const Exception& error) {
    raised = error.what();
  }
  EXPECT_EQ(raised, scenario.raised);
  EXPECT_EQ(probe.events, scenario.events);
  EXPECT_EQ(probe.connectionFailed, scenario.step == Step::Login && !raised.empty() ? 1 : 0);
  for (const std::string& command : server.Commands())
    EXPECT_FALSE(raised.starts_with("TLS") && command.starts_with("USER")) << "the login went out in plain text";
}

INSTANTIATE_TEST_SUITE_P(Faults, MisbehavingServer, testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

// A reply that never ends arrives as fast as the client can read it, so its
// wait never has to block; the window must still get its turn every few
// milliseconds. The status handler takes a millisecond per line, as a
// repainted status bar does, so that the reply lasts about a second.
TEST(MisbehavingServerWindow, KeepsTickingDuringAnEndlessReply) {
  ScriptedFtpServer server([](Connection& c) {
    LoginThenCommand(c);
    c.Flood("250-and there is more\r\n");
  });
  test::ProbedClient probe(server.Port());
  probe.client.Connect();
  probe.client.ReportLevel = 1;
  probe.client.OnStatus = [](TSockSession&, const std::string&) {
    std::this_thread::sleep_for(1ms);
  };
  auto& loop = platform::EventLoop::Current();
  int ticks = 0;
  const auto timer = loop.StartTimer(10ms, [&] { ++ticks; });
  EXPECT_THROW(probe.client.ChangeDirectory("in"), ESockError);
  loop.StopTimer(timer);
  RecordProperty("ticks", ticks);
  EXPECT_GE(ticks, 20) << "the window froze while the reply came in";
}

}  // namespace
}  // namespace ftp
