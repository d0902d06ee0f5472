// The fault matrix, server behaviour no real server shows on demand: a final
// reply that says the data did not arrive, a connection dropped while the data
// moves, and a server that stops answering. A scripted server plays the fault
// at the first upload and serves every later one well.

#include <algorithm>
#include <atomic>
#include <mutex>

#include "fault_fixture.h"
#include "support/scripted_ftp_server.h"

namespace {

using platform::operator""_ansi;

using Connection = test::ScriptedFtpServer::Connection;
using test::Prepared;

// Plays a target's server from the greeting to the data connection of STOR.
// Whether the remote name is free is asked first (with FEAT, which the
// server answers itself): MLST, which it does not know, and SIZE.
test::ScriptedFtpServer::DataConnection OpenUpload(Connection& c) {
  c.Login();
  c.Command();  // CWD
  c.Reply("250 Directory changed");
  c.Command();  // TYPE A
  c.Reply("200 Type set");
  c.Command();  // MLST of the remote name
  c.Reply("500 Unknown command");
  c.Command();  // SIZE of the remote name
  c.Reply("550 No such file");
  const std::string port = c.Command();
  c.Reply("200 PORT command successful");
  c.Command();  // STOR
  c.Reply("150 Opening data connection");
  return c.ConnectTo(port);
}

// Ends a session: a failed upload's file is removed first (DELE), then QUIT.
void SayGoodbye(Connection& c) {
  for (std::string command = c.Command(); ; command = c.Command()) {
    if (command.starts_with("DELE ")) {
      c.Reply("250 Deleted");
      continue;
    }
    if (command == "QUIT") c.Reply("221 Goodbye");
    break;
  }
  c.AwaitClose();
}

// The window's one target, "Plant 1" in "/in" on 127.0.0.1, is the scripted
// server; the start-up refresh goes to 127.0.0.2, where nothing answers.
class ScriptedTarget : public test::FaultFixture<test::AppFixture> {
 protected:
  static constexpr int kTimeOutMs = 300;

  ScriptedTarget() : server([this](Connection& c) { Serve(c); }) {
    setenv("PARCELO_FTP_HOST", "127.0.0.2", 1);
    setenv("PARCELO_FTP_PORT", std::to_string(server.Port()).c_str(), 1);
  }

  // More than the loopback connection buffers while nobody reads, so the
  // data is still moving when the server breaks off or falls silent.
  void UseLargeContainer() {
    written = Written(std::string(6 << 20, '7'));
    UseContainer();
  }
  // The next send goes with a small container, which is all it needs to show.
  void ExpectNextSmallSendSucceeds() {
    written = Written();
    UseContainer("ECU-4712.cnt");
    ExpectNextSendSucceeds(0);
  }

  void StartWithContainer(const std::string& name = "ECU-4711.cnt") {
    StartWatched();
    form().FtpClient1.TimeOut = kTimeOutMs;
    // A final reply may take this long, as a site that checks the file first does.
    form().FtpClient1.SlowTimeOut = 3 * kTimeOutMs;
    UseContainer(name);
  }

  void Record(std::string data) {
    const std::lock_guard hold(lock_);
    arrived_.push_back(std::move(data));
  }
  // What each upload's data connection carried, in order.
  std::vector<std::string> Arrived() const {
    const std::lock_guard hold(lock_);
    return arrived_;
  }

  // What the server does at the first upload.
  std::function<void(Connection&)> fault;

 private:
  void Serve(Connection& c) {
    if (served_++ == 0) return fault(c);
    Record(OpenUpload(c).ReceiveAll());
    c.Reply("226 Transfer complete");
    SayGoodbye(c);
  }

  std::atomic<int> served_ = 0;
  mutable std::mutex lock_;
  std::vector<std::string> arrived_;

 protected:
  test::ScriptedFtpServer server;  // last: it stops serving before what it uses goes
};

// A refused transfer type has no status text of its own: the failure line
// repeats the one shown before the send, as for every command other than a
// change of directory or a transfer.
TEST_F(ScriptedTarget, ARefusedTransferTypeStopsTheSendBeforeTheUpload) {
  fault = [](Connection& c) {
    c.Login();
    c.Command();  // CWD
    c.Reply("250 Directory changed");
    c.Command();  // TYPE L 8
    c.Reply("504 Command not implemented for that parameter");
    SayGoodbye(c);
  };
  StartWithContainer("ECU-4711.bin");
  const std::string statusBefore = form().StatusText();
  SendTo({0});
  EXPECT_EQ(FailureOf(), "504 Command not implemented for that parameter");
  auto expected = LinesUntilConnect("Plant 1", "/in");
  expected.push_back(" --> Failure: " + statusBefore);
  ExpectFailedLog(expected, "PLANT1");
  EXPECT_EQ(server.Commands()[3], "TYPE L 8");
  ExpectPreparedAndKept();
  EXPECT_TRUE(Arrived().empty());
  UseContainer();
  ExpectNextSendSucceeds(0);
}

// The final reply (its last line, when a preliminary 1yz one comes first).
class FinalReply : public ScriptedTarget, public ::testing::WithParamInterface<const char*> {};

TEST_P(FinalReply, AfterTheDataIsAFailureThatKeepsTheBak) {
  fault = [this](Connection& c) {
    Record(OpenUpload(c).ReceiveAll());
    c.Reply(GetParam());
    SayGoodbye(c);
  };
  StartWithContainer();
  SendTo({0});
  const std::string reply = GetParam();
  EXPECT_EQ(FailureOf(), reply.substr(reply.rfind('\n') + 1));
  ExpectUploadFailed("Plant 1", "PLANT1", "/in", 2, {"removed the incomplete upload S2.<stamp>"});
  const auto commands = server.Commands();
  EXPECT_EQ(std::count(commands.begin(), commands.end(), "QUIT"), 1) << "the failed target's connection was not ended";
  ExpectNextSendSucceeds(0);
  EXPECT_EQ(Arrived(), (std::vector<std::string>{Prepared(written), Prepared(written)}));
}

INSTANTIATE_TEST_SUITE_P(FaultMatrix, FinalReply,
                         ::testing::Values("451 Requested action aborted: local error in processing",
                                           "552 Requested file action aborted: exceeded storage allocation",
                                           "xyz no code at all",
                                           "150 still going\r\n451 Requested action aborted: local error in processing"),
                         [](const auto& reply) { return "Reply" + std::string(reply.param).substr(0, 3); });

// The data connection breaks at once; the control connection breaks when the
// client speaks next, which is when it ends the session after the failure.
// That second break is part of the same fault: it is not reported again.
TEST_F(ScriptedTarget, AConnectionDroppedDuringTheUploadIsReportedOnce) {
  fault = [](Connection& c) {
    OpenUpload(c).Reset();
    c.Command();
    c.Reset();
  };
  StartWithContainer();
  UseLargeContainer();
  SendTo({0});
  EXPECT_EQ(Messages(), std::vector<std::string>{"10054:Connection reset by peer"});
  EXPECT_EQ(FailureOf(), "10054:Connection reset by peer");
  ExpectUploadFailed("Plant 1", "PLANT1", "/in", 1, {}, {"--> Error: 10054:Connection reset by peer"});
  ExpectNextSmallSendSucceeds();
  EXPECT_EQ(Arrived(), std::vector<std::string>{Prepared(written)});
}

TEST_F(ScriptedTarget, AServerSilentAfterTheDataTimesOutAsAFailure) {
  fault = [this](Connection& c) {
    Record(OpenUpload(c).ReceiveAll());
    c.AwaitClose();
  };
  StartWithContainer();
  SendTo({0});
  EXPECT_EQ(FailureOf(), "Zeitüberschreitung beim Warten auf Antwort"_ansi);
  ExpectUploadFailed("Plant 1", "PLANT1", "/in", 1);
  ExpectNextSendSucceeds(0);
}

// The server takes the whole file and hangs up without a word: without its
// final reply nothing confirms that the data arrived whole.
TEST_F(ScriptedTarget, AServerThatHangsUpBeforeTheFinalReplyIsAFailure) {
  fault = [this](Connection& c) {
    Record(OpenUpload(c).ReceiveAll());
    c.Close();
  };
  StartWithContainer();
  SendTo({0});
  EXPECT_EQ(FailureOf(), "Verbindung vom Server beendet");
  ExpectUploadFailed("Plant 1", "PLANT1", "/in", 1);
  ExpectNextSendSucceeds(0);
}

// The server confirms the upload but stores less than was sent, as a full
// or broken disk does: its own SIZE gives it away.
TEST_F(ScriptedTarget, AStoredSizeThatDiffersFromTheSentOneIsAFailure) {
  server.SetFeatures({"SIZE"});
  fault = [this](Connection& c) {
    Record(OpenUpload(c).ReceiveAll());
    c.Reply("226 Transfer complete");
    c.Command();
    c.Reply("213 1");
    server.SetFeatures({});
    SayGoodbye(c);
  };
  StartWithContainer();
  SendTo({0});
  ASSERT_EQ(Arrived().size(), 1u);
  EXPECT_EQ(FailureOf(), "Upload unvollständig: der Server hat 1 Byte gespeichert, gesendet wurden "_ansi +
                             std::to_string(Arrived()[0].size()) + " Byte");
  EXPECT_EQ(server.Commands()[8], "SIZE " + server.Commands()[7].substr(5));
  EXPECT_EQ(server.Commands()[5], server.Commands()[8]) << "the name was free before the upload";
  ExpectUploadFailed("Plant 1", "PLANT1", "/in", 1, {"removed the incomplete upload S2.<stamp>"});
  ExpectNextSendSucceeds(0);
}

// The server takes the data connection and then reads nothing; the client
// stops pushing once TimeOut passes without progress.
TEST_F(ScriptedTarget, AServerSilentWhileTheDataMovesTimesOutAsAFailure) {
  fault = [](Connection& c) {
    const auto data = OpenUpload(c);
    c.AwaitClose();
  };
  StartWithContainer();
  UseLargeContainer();
  SendTo({0});
  EXPECT_EQ(FailureOf(), "Zeitüberschreitung beim Senden der Datei"_ansi);
  ExpectUploadFailed("Plant 1", "PLANT1", "/in", 1);
  ExpectNextSmallSendSucceeds();
}

TEST_F(ScriptedTarget, AServerThatNeverGreetsTimesOut) {
  fault = [](Connection& c) { c.AwaitClose(); };
  StartWithContainer();
  SendTo({0});
  EXPECT_EQ(FailureOf(), "Zeitüberschreitung beim Warten auf Antwort"_ansi);
  ExpectFailedLog(LinesUntilConnect("Plant 1", "/in"), "PLANT1");
  ExpectPreparedAndKept();
  ExpectNextSendSucceeds(0);
}

}  // namespace
