// The SFTP client against OpenSSH's sshd and, for passwords, paramiko, both
// started here as the user running the tests: deliveries under each way of
// trusting a host key and of logging in, then the refusals and the servers
// that misbehave, each of which must end with the truth and within bounds.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "ftp/sftp_client.h"
#include "platform/event_loop.h"
#include "support/loopback.h"
#include "support/real_sftp_server.h"
#include "support/scripted_ftp_server.h"
#include "support/temp_dir.h"

namespace ftp {
namespace {

using test::RealSftpServer;
using test::SftpPeer;
using test::SftpQuirk;
using testing::HasSubstr;

constexpr std::size_t kUploadSize = (1 << 20) + 123;  // many requests, the last one short

enum class Trust { Pinned, OwnKnownHosts, UserKnownHosts, UserKnowsOnlyEcdsa, AcceptedInTheWindow, Nothing };

// A client for `server`, trusting its key as `trust` says, with the user key
// and the password; the notes it records go to `notes`.
struct Probe {
  TSftpClient client;
  test::TempDir home;
  std::vector<std::string> notes;
  std::vector<std::string> asked;

  Probe(const RealSftpServer& server, const std::string& address, Trust trust) {
    client.Host = address;
    client.Port = server.Port();
    client.UserID = server.User();
    client.Password = server.Password();
    client.TimeOut = 5000;
    client.UseAgent = false;
    client.KeyFiles = {server.UserKey().string()};
    client.KnownHostsFile = (home / "lib/known_hosts").string();
    client.UserKnownHostsFile = (home / ".ssh/known_hosts").string();
    client.OnTransferNote = [this](const std::string& note) { notes.push_back(note); };
    if (trust == Trust::Pinned) client.PinnedHostKeys = {server.Fingerprint(test::HostKey::Other), server.Fingerprint()};
    if (trust == Trust::OwnKnownHosts) test::WriteFile(client.KnownHostsFile, server.KnownHostsLine() + "\n");
    if (trust == Trust::UserKnownHosts) test::WriteFile(client.UserKnownHostsFile, server.KnownHostsLine() + "\n");
    if (trust == Trust::UserKnowsOnlyEcdsa)
      test::WriteFile(client.UserKnownHostsFile, server.KnownHostsLine(test::HostKey::Ecdsa) + "\n");
    if (trust == Trust::AcceptedInTheWindow)
      client.OnUnknownHostKey = [this](const std::string& host, const std::string& fingerprint) {
        asked.push_back(host + " " + fingerprint);
        return THostKeyDecision::AcceptAndRemember;
      };
  }
};

// What a failed step raised: the class, the kind of an ESshError, the message.
struct Outcome {
  std::string raised;
  std::optional<TSshFailure> kind;
  std::string message;
};

Outcome OutcomeOf(const std::function<void()>& step) {
  try {
    step();
    return {"nothing", std::nullopt, ""};
  } catch (const ESshError& error) {
    return {"ESshError", error.Kind(), error.what()};
  } catch (const EAbortError& error) {
    return {"EAbortError", std::nullopt, error.what()};
  } catch (const ESockError& error) {
    return {"ESockError", std::nullopt, error.what()};
  } catch (const Exception& error) {
    return {"Exception", std::nullopt, error.what()};
  }
}

// Deliver: the bytes under a temporary name, then renamed.
enum class Step { Deliver, Connect, Upload, RenameOntoAnother };

const Outcome kDelivered{"nothing", std::nullopt, ""};

struct Session {
  const char* name;
  test::RealSftpOptions server;  // with ecdsaKeyToo the ECDSA key is the one it must show
  std::function<void(Probe&, const RealSftpServer&)> setUp;
  Step step;
  Outcome expected;  // the message: a part of it
  std::size_t uploadSize = 3000;
  Trust trust = Trust::Pinned;
};

const Session kSessions[] = {
    {"PinnedKeyUserKey", {}, nullptr, Step::Deliver, kDelivered, kUploadSize},
    {"OwnKnownHostsOverIpv6", {.address = "::1"}, nullptr, Step::Deliver, kDelivered, kUploadSize,
     Trust::OwnKnownHosts},
    {"UserKnownHosts", {}, nullptr, Step::Deliver, kDelivered, kUploadSize, Trust::UserKnownHosts},
    {"KnownKeyTypeChosenAmongSeveral", {.ecdsaKeyToo = true}, nullptr, Step::Deliver, kDelivered, kUploadSize,
     Trust::UserKnowsOnlyEcdsa},
    {"KeyAcceptedInTheWindow", {}, nullptr, Step::Deliver, kDelivered, kUploadSize, Trust::AcceptedInTheWindow},
    {"Password", {.peer = SftpPeer::PasswordPeer}, nullptr, Step::Deliver, kDelivered, kUploadSize},
    {"KeyboardInteractive", {.peer = SftpPeer::InteractivePeer}, nullptr, Step::Deliver, kDelivered, kUploadSize},
    {"UnknownKeyUnattendedSendsNothing", {.peer = SftpPeer::PasswordPeer}, nullptr, Step::Connect,
     {"ESshError", TSshFailure::HostKeyUnknown, "is unknown: SHA256:"}, 3000, Trust::Nothing},
    {"UnknownKeyRefusedInTheWindow", {},
     [](Probe& p, const RealSftpServer&) {
       p.client.OnUnknownHostKey = [](auto&, auto&) { return THostKeyDecision::Refuse; };
     },
     Step::Connect, {"ESshError", TSshFailure::HostKeyUnknown, "not trusted without a pin"}, 3000, Trust::Nothing},
    {"ChangedPinnedKey", {}, [](Probe& p, const RealSftpServer& s) { p.client.PinnedHostKeys = {s.Fingerprint(test::HostKey::Other)}; },
     Step::Connect, {"ESshError", TSshFailure::HostKeyChanged, "has changed: it is SHA256:"}},
    {"ChangedKeyInOwnKnownHostsDecides", {},
     [](Probe& p, const RealSftpServer& s) {
       test::WriteFile(p.client.KnownHostsFile, s.KnownHostsLine(test::HostKey::Other) + "\n");
       test::WriteFile(p.client.UserKnownHostsFile, s.KnownHostsLine() + "\n");
     },
     Step::Connect, {"ESshError", TSshFailure::HostKeyChanged, "holds another key for it"}, 3000, Trust::Nothing},
    {"WrongPassword", {.peer = SftpPeer::PasswordPeer},
     [](Probe& p, const RealSftpServer&) { p.client.Password = "wrong"; }, Step::Connect,
     {"ESshError", TSshFailure::AuthenticationRefused, "(tried: key "}},
    {"NoKeyTaken", {}, [](Probe& p, const RealSftpServer&) { p.client.KeyFiles = {"/nonexistent/id_ed25519"}; },
     Step::Connect, {"ESshError", TSshFailure::AuthenticationRefused, "the server takes: publickey"}},
    {"MissingFolder", {}, [](Probe&, const RealSftpServer& s) { std::filesystem::remove(s.Top() / "in"); },
     Step::Upload, {"ESshError", TSshFailure::NoSuchFile, "SFTP: there is no folder /"}},
    {"RenameNeverReplaces", {}, nullptr, Step::RenameOntoAnother,
     {"ESshError", TSshFailure::FileExists, "exists already"}},
    {"StopsAnsweringMidTransfer", {.quirk = SftpQuirk::Stall}, nullptr, Step::Upload,
     {"EAbortError", std::nullopt, "SSH: the reply of 127.0.0.1 to WRITE timed out"}, 4 << 20},
    {"NoVersion", {.quirk = SftpQuirk::Silent}, nullptr, Step::Connect,
     {"EAbortError", std::nullopt, "to INIT timed out"}},
    {"EndlessVersion", {.quirk = SftpQuirk::HugeReply}, nullptr, Step::Connect,
     {"ESshError", TSshFailure::Protocol, "a reply of 2147483648 bytes"}},
    {"StoresLessThanSent", {.quirk = SftpQuirk::WrongSize}, nullptr, Step::Upload,
     {"Exception", std::nullopt, "Upload unvollständig: der Server hat 2999 Byte gespeichert"_ansi}},
    {"DigestDiffers", {.quirk = SftpQuirk::WrongDigest}, nullptr, Step::Upload,
     {"Exception", std::nullopt, "Upload verfälscht: SHA-256 des Servers"_ansi}},
    {"DigestAgrees", {.quirk = SftpQuirk::CheckFile}, nullptr, Step::Upload, {"nothing", std::nullopt, ""}},
};

// What a delivery left: the file under its final name, the notes, the
// order of the logins tried, the key remembered when the window took it.
void ExpectDelivered(Probe& probe, const RealSftpServer& server, const Session& session, const std::string& bytes) {
  const std::string folder = (server.Top() / "in").string();
  EXPECT_THAT(probe.client.Description(), testing::MatchesRegex("SSH: [^ ]+ [^ ]+, host key SHA256:.*"));
  const auto shown = session.server.ecdsaKeyToo ? test::HostKey::Ecdsa : test::HostKey::Main;
  EXPECT_THAT(probe.client.Description(), testing::EndsWith(server.Fingerprint(shown)));
  EXPECT_EQ(probe.client.Exists(folder, "c.1569153346"), static_cast<std::int64_t>(bytes.size()));
  EXPECT_EQ(probe.client.Exists(folder, "c.tmp"), std::nullopt);
  probe.client.Disconnect();
  EXPECT_EQ(test::ReadFile(server.Top() / "in/c.1569153346"), bytes);
  EXPECT_THAT(probe.notes, testing::Contains("verified: " + std::to_string(bytes.size()) + " bytes"));
  if (session.server.peer != SftpPeer::Sshd) {
    EXPECT_EQ(server.Attempts().front(), "publickey") << "keys go before the password";
  }
  if (session.trust != Trust::AcceptedInTheWindow) return;
  EXPECT_EQ(probe.asked, (std::vector<std::string>{session.server.address + ":" + std::to_string(server.Port()) + " " +
                                                   server.Fingerprint()}));
  EXPECT_EQ(test::ReadFile(probe.client.KnownHostsFile), server.KnownHostsLine() + "\n");
  probe.client.OnUnknownHostKey = nullptr;
  EXPECT_NO_THROW(probe.client.Connect()) << "the stored key is known from now on";
}

class SftpSession : public testing::TestWithParam<Session> {};

TEST_P(SftpSession, EndsWithTheTruthWithinBounds) {
  const Session& session = GetParam();
  const RealSftpServer server(session.server);
  std::filesystem::create_directory(server.Top() / "in");
  const std::string folder = (server.Top() / "in").string();
  test::TempDir local;
  const std::string bytes = test::PatternBytes(session.uploadSize);
  TLocalFile source(local.Write("c.cnt", bytes).string());
  Probe probe(server, session.server.address, session.trust);
  if (session.step != Step::Deliver) probe.client.TimeOut = 500;
  if (session.setUp) session.setUp(probe, server);
  // The waits keep the loop's timers running, as the window's are.
  auto& loop = platform::EventLoop::Current();
  int ticks = 0;
  const auto timer = loop.StartTimer(std::chrono::milliseconds(10), [&] { ++ticks; });
  const Outcome outcome = OutcomeOf([&] {
    probe.client.Connect();
    if (session.step == Step::Connect) return;
    if (session.step == Step::RenameOntoAnother) test::WriteFile(server.Top() / "in/taken", "first");
    probe.client.Upload(source, folder, "c.tmp");
    if (session.step == Step::RenameOntoAnother) probe.client.Rename(folder, "c.tmp", "taken");
    if (session.step == Step::Deliver) probe.client.Rename(folder, "c.tmp", "c.1569153346");
  });
  loop.StopTimer(timer);
  EXPECT_EQ(outcome.raised, session.expected.raised) << outcome.message;
  EXPECT_EQ(outcome.kind, session.expected.kind) << outcome.message;
  EXPECT_THAT(outcome.message, HasSubstr(session.expected.message));
  if (session.step == Step::Deliver) {
    ExpectDelivered(probe, server, session, bytes);
  } else if (session.step == Step::Connect) {
    EXPECT_FALSE(std::filesystem::exists(server.Top() / "in/c.tmp"));
  } else if (session.step == Step::RenameOntoAnother) {
    EXPECT_EQ(test::ReadFile(server.Top() / "in/taken"), "first");
  } else if (outcome.raised == "nothing") {
    EXPECT_THAT(probe.notes, testing::Contains(testing::StartsWith("verified: SHA-256 ")));
  }
  if (session.server.peer == SftpPeer::PasswordPeer && outcome.kind == TSshFailure::HostKeyUnknown) {
    EXPECT_THAT(server.Attempts(), testing::IsEmpty()) << "a key or password went out before the host key was accepted";
  }
  if (outcome.raised == "EAbortError" || outcome.kind == TSshFailure::Protocol) {
    EXPECT_FALSE(probe.client.Connected()) << "a stream in doubt must not serve the next request";
  }
  if (outcome.raised == "EAbortError") {
    EXPECT_GE(ticks, 20) << "the loop froze while the client waited";
  }
}

INSTANTIATE_TEST_SUITE_P(Sessions, SftpSession, testing::ValuesIn(kSessions),
                         [](const auto& info) { return std::string(info.param.name); });

// Peers that are no SSH servers, or stop being one, before the key exchange ends.
struct HandshakeFault {
  const char* name;
  std::function<void(test::ScriptedFtpServer::Connection&)> script;
  Outcome expected;
};

const HandshakeFault kHandshakeFaults[] = {
    {"Silent", [](auto& c) { c.AwaitClose(); },
     {"EAbortError", std::nullopt, "SSH: the key exchange with 127.0.0.1 timed out"}},
    {"NoSshVersion2", [](auto& c) { c.Reply("SSH-1.5-OldServer"); c.AwaitClose(); },
     {"ESshError", TSshFailure::Protocol, "SSH: the key exchange with 127.0.0.1 failed"}},
    {"CutOff", [](auto& c) { c.Reply("SSH-2.0-OpenSSH_9.2"); c.Reset(); },
     {"ESockError", std::nullopt, "SSH: the connection to 127.0.0.1 ended during the key exchange"}},
};

class SftpHandshakeFault : public testing::TestWithParam<HandshakeFault> {};

TEST_P(SftpHandshakeFault, EndsWithTheTruthWithinBounds) {
  const test::ScriptedFtpServer server(GetParam().script);
  TSftpClient client;
  client.Host = "127.0.0.1";
  client.Port = server.Port();
  client.TimeOut = 300;
  const Outcome outcome = OutcomeOf([&] { client.Connect(); });
  EXPECT_EQ(outcome.raised, GetParam().expected.raised) << outcome.message;
  EXPECT_EQ(outcome.kind, GetParam().expected.kind) << outcome.message;
  EXPECT_THAT(outcome.message, HasSubstr(GetParam().expected.message));
}

INSTANTIATE_TEST_SUITE_P(Faults, SftpHandshakeFault, testing::ValuesIn(kHandshakeFaults),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SftpClient, ARefusedConnectionIsTheSocketsError) {
  TSftpClient client;
  client.Host = "127.0.0.1";
  client.Port = test::ClosedLoopbackPort();
  const Outcome outcome = OutcomeOf([&] { client.Connect(); });
  EXPECT_EQ(outcome.raised, "ESockError");
  EXPECT_EQ(outcome.message, "10061:Connection refused");
}

// As the delivery runs them: a session per thread, each on its own event
// loop, all reading one source at once.
TEST(SftpClient, SessionsOnSeveralThreadsShareOneSource) {
  const RealSftpServer server;
  test::TempDir local;
  const std::string bytes = test::PatternBytes(kUploadSize, 3);
  TLocalFile source(local.Write("c.cnt", bytes).string());
  std::vector<std::string> failures(3);
  std::vector<std::thread> sessions;
  for (std::size_t i = 0; i < failures.size(); ++i)
    sessions.emplace_back([&, i] {
      Probe probe(server, "127.0.0.1", Trust::Pinned);
      failures[i] = OutcomeOf([&] {
                      probe.client.Connect();
                      probe.client.Upload(source, server.Top().string(), "c" + std::to_string(i));
                    }).message;
    });
  for (auto& session : sessions) session.join();
  for (std::size_t i = 0; i < failures.size(); ++i) {
    EXPECT_EQ(failures[i], "");
    EXPECT_EQ(test::ReadFile(server.Top() / ("c" + std::to_string(i))), bytes) << i;
  }
}

}  // namespace
}  // namespace ftp
