#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "ftp/ftp_client.h"
#include "ftp_client_probe.h"
#include "support/scripted_ftp_server.h"
#include "support/temp_dir.h"

namespace ftp {
namespace {

using test::ScriptedFtpServer;
using Connection = ScriptedFtpServer::Connection;
using DataConnection = ScriptedFtpServer::DataConnection;

// A local file that must survive every failed download unchanged.
struct PreviousLocalFile {
  test::TempDir dir;
  std::string path = (dir / "ftpsend.xml").string();
  PreviousLocalFile() { test::WriteFile(path, "last good target list"); }
  bool Untouched() const {
    return test::ReadFile(path) == "last good target list" &&
           std::distance(std::filesystem::directory_iterator(dir.Path()),
                         std::filesystem::directory_iterator()) == 1;
  }
};

// A passive download of "ftpsend.xml" over a previous local file, expected
// to fail: what it raised and the events it reported.
struct FailedPassiveDownload {
  test::ProbedClient probe;
  PreviousLocalFile previous;
  std::string error;
  explicit FailedPassiveDownload(std::uint16_t port) : probe(port) {
    probe.client.Passive = true;
    probe.client.Connect();
    try {
      probe.client.Download("ftpsend.xml", previous.path);
    } catch (const Exception& raised) {
      error = raised.what();
    }
  }
};

TEST(FtpDownload, SizeFromTheOpeningReplyAndBytesReceived) {
  const std::string content = test::PatternBytes(100000);
  ScriptedFtpServer server([&](Connection& c) {
    c.Login();
    DataConnection data =
        c.AgreeActive("150 Opening BINARY mode data connection for x (100000 bytes)");
    data.Send(content);
    data.Close();
    c.Reply("226 Transfer complete.");
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  probe.client.ReportLevel = 1;
  std::int64_t sizeAtStart = -1;
  probe.client.OnTransactionStart = [&](TSockSession& sender) { sizeAtStart = sender.TransferSize; };
  test::TempDir dir;
  probe.client.Connect();
  probe.client.Download("x", (dir / "x").string());
  EXPECT_EQ(sizeAtStart, 100000);
  EXPECT_EQ(probe.client.TransferSize, 100000);
  EXPECT_EQ(probe.client.BytesReceived(), 100000);
  EXPECT_TRUE(test::ReadFile(dir / "x") == content);
  EXPECT_EQ(probe.successes, std::vector<TCmdType>{ctDownload});
  EXPECT_NE(std::find(probe.statuses.begin(), probe.statuses.end(), "Empfangen 100000 Byte"),
            probe.statuses.end());
  EXPECT_EQ(server.Commands()[3], "RETR x");
  EXPECT_EQ(server.Commands()[2].rfind("PORT 127,0,0,1,", 0), 0u);
}

TEST(FtpDownload, MissingRemoteFileFailsTwiceAndLeavesTheLocalFile) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    c.Command();
    c.Reply("200 PORT command successful.");
    c.Command();
    c.Reply("550 ftpsend.xml: No such file or directory.");
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  PreviousLocalFile previous;
  probe.client.Connect();
  try {
    probe.client.Download("ftpsend.xml", previous.path);
    FAIL();
  } catch (const FTPException& error) {
    EXPECT_STREQ(error.what(), "550 ftpsend.xml: No such file or directory.\r\n");
  }
  EXPECT_EQ(probe.failures, (std::vector<TCmdType>{ctDownload, ctDownload}));
  EXPECT_TRUE(previous.Untouched());
  EXPECT_EQ(probe.client.DataConnection(), nullptr);
  EXPECT_TRUE(probe.client.Connected);
}

TEST(FtpDownload, FinalFailureReplyIsAFailureAndKeepsTheLocalFile) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    DataConnection data = c.AgreeActive("150 Opening data connection.");
    data.Send("half of the new list");
    data.Close();
    c.Reply("451 Requested action aborted: local error in processing.");
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  PreviousLocalFile previous;
  probe.client.Connect();
  EXPECT_THROW(probe.client.Download("ftpsend.xml", previous.path), FTPException);
  EXPECT_EQ(probe.events, (std::vector<std::string>{"start", "stop", "failure 8", "failure 8"}));
  EXPECT_TRUE(previous.Untouched());
}

TEST(FtpDownload, DroppedDataConnectionIsAFailureAndKeepsTheLocalFile) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    DataConnection data = c.AgreeActive("150 Opening data connection.");
    data.Send(test::PatternBytes(50000));
    data.Reset();
    c.Reply("426 Connection closed; transfer aborted.");
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  PreviousLocalFile previous;
  probe.client.Connect();
  EXPECT_THROW(probe.client.Download("ftpsend.xml", previous.path), Exception);
  EXPECT_TRUE(probe.successes.empty());
  EXPECT_FALSE(probe.failures.empty());
  EXPECT_TRUE(previous.Untouched());
}

// The reset reaches the client while it waits for the opening reply, so the
// event loop has taken the socket's error before the data is read; the reader
// must still learn of it. Even a positive final reply then cannot make the
// download a success: the data never came.
TEST(FtpDownload, ResetDataConnectionIsAFailureWhateverTheFinalReplySays) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    c.Command();
    {
      auto listener = c.Listen();
      c.Reply("229 Entering Extended Passive Mode " + listener.ExtendedTuple());
      c.Command();
    }  // closing the listener resets the connection it has not accepted
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    c.Reply("150 Here it comes.");
    c.Reply("226 Transfer complete.");
    c.AwaitClose();
  });
  const FailedPassiveDownload download(server.Port());
  EXPECT_EQ(download.error, "10054:Connection reset by peer");
  EXPECT_TRUE(download.probe.successes.empty());
  EXPECT_EQ(download.probe.failures, std::vector<TCmdType>{ctDownload});
  EXPECT_TRUE(download.previous.Untouched());
}

TEST(FtpDownload, StalledTransferEndsAfterTheIdleTimeOut) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    DataConnection data = c.AgreeActive("150 Opening data connection.");
    data.Send("a first chunk");
    data.AwaitClose();
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  probe.client.TimeOut = 300;
  PreviousLocalFile previous;
  probe.client.Connect();
  try {
    probe.client.Download("ftpsend.xml", previous.path);
    FAIL();
  } catch (const EAbortError& error) {
    EXPECT_STREQ(error.what(), "Socket-send abgebrochen");
  }
  EXPECT_EQ(probe.failures, std::vector<TCmdType>{ctDownload});
  EXPECT_TRUE(previous.Untouched());
}

TEST(FtpDownload, ActiveModeTurnsAwayStrangers) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    const std::string port = c.Command();
    c.Reply("200 PORT command successful.");
    c.Command();
    c.Reply("150 Opening data connection.");
    DataConnection stranger = c.ConnectTo(port, "127.0.0.2");
    stranger.Send("injected");
    DataConnection data = c.ConnectTo(port);
    data.Send("genuine");
    data.Close();
    c.Reply("226 Transfer complete.");
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  test::TempDir dir;
  probe.client.Connect();
  probe.client.Download("x", (dir / "x").string());
  EXPECT_EQ(test::ReadFile(dir / "x"), "genuine");
}

// A server behind NAT names its private address, a hostile one a third
// host (the FTP bounce): either way the data goes to the server we talk to.
// An IPv4 server that does not know EPSV gets PASV, for the rest of the connection.
TEST(FtpDownload, PassiveConnectsToTheServerWhateverTheReplyNames) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    c.Command();
    c.Reply("500 'EPSV': command not understood.");
    for (const char* content : {"passive bytes", "more bytes"}) {
      c.Command();
      auto listener = c.Listen();
      const std::string tuple = listener.Tuple();
      c.Reply("227 Entering Passive Mode (10,1,2,3" + tuple.substr(tuple.find(',', 9)) + ").");
      c.Command();
      c.Reply("150 Here it comes.");
      DataConnection data = listener.Accept();
      data.Send(content);
      data.Close();
      c.Reply("226 Transfer complete.");
    }
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  probe.client.Passive = true;
  std::vector<std::string> notes;
  probe.client.OnTransferNote = [&](const std::string& note) { notes.push_back(note); };
  test::TempDir dir;
  probe.client.Connect();
  probe.client.Download("x", (dir / "x").string());
  probe.client.Download("y", (dir / "y").string());
  EXPECT_EQ(test::ReadFile(dir / "x"), "passive bytes");
  EXPECT_EQ(test::ReadFile(dir / "y"), "more bytes");
  EXPECT_EQ(server.Commands(), (std::vector<std::string>{"USER anna", "PASS secret", "EPSV", "PASV", "RETR x",
                                                         "PASV", "RETR y"}));
  EXPECT_EQ(notes, std::vector<std::string>(
                       2, "passive mode: the server named 10.1.2.3, connecting to 127.0.0.1 instead"));
}

TEST(FtpDownload, PassiveReplyWithoutClosingParenthesisIsRefused) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    c.Command();
    c.Reply("502 EPSV not implemented.");
    c.Command();
    c.Reply("227 Entering Passive Mode (127,0,0,1,200,10");
    c.AwaitClose();
  });
  const FailedPassiveDownload download(server.Port());
  EXPECT_EQ(download.error, "Ungültige Antwort auf PASV");
  EXPECT_EQ(download.probe.failures, std::vector<TCmdType>{ctDownload});
  EXPECT_TRUE(download.previous.Untouched());
}

TEST(FtpUpload, FinalFailureReplyIsAFailureNotASuccess) {
  std::string stored;
  ScriptedFtpServer server([&](Connection& c) {
    c.Login();
    DataConnection data = c.AgreeActive("150 Ok to send data.");
    stored = data.ReceiveAll();
    c.Reply("552 Requested file action aborted. Exceeded storage allocation.");
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  test::TempDir dir;
  test::WriteFile(dir / "container.cnt", "container");
  probe.client.Connect();
  try {
    probe.client.Upload((dir / "container.cnt").string(), "remote.cnt");
    FAIL();
  } catch (const FTPException& error) {
    EXPECT_STREQ(error.what(), "552 Requested file action aborted. Exceeded storage allocation.\r\n");
  }
  EXPECT_EQ(probe.events, (std::vector<std::string>{"start", "stop", "failure 9", "failure 9"}));
  EXPECT_EQ(stored, "container");
}

TEST(FtpUpload, ServerLeavingWithoutTheFinalReplyIsAFailure) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    DataConnection data = c.AgreeActive("150 Ok to send data.");
    data.ReceiveAll();
    c.Close();
  });
  test::ProbedClient probe(server.Port());
  test::TempDir dir;
  test::WriteFile(dir / "c.cnt", "container");
  probe.client.Connect();
  try {
    probe.client.Upload((dir / "c.cnt").string(), "c.cnt");
    FAIL();
  } catch (const ESockError& error) {
    EXPECT_STREQ(error.what(), "Verbindung vom Server beendet");
  }
  EXPECT_EQ(probe.events, (std::vector<std::string>{"start", "stop", "failure 9"}));
}

TEST(FtpUpload, RefusedStoreFailsTwiceAndKeepsTheLogin) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    c.Command();
    c.Reply("200 PORT command successful.");
    c.Command();
    c.Reply("553 Could not create file.");
    c.Command();
    c.Reply("200 PORT command successful.");
    c.Command();
    c.Reply("502 Command not implemented.");
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  test::TempDir dir;
  test::WriteFile(dir / "c.cnt", "x");
  probe.client.Connect();
  EXPECT_THROW(probe.client.Upload((dir / "c.cnt").string(), ""), FTPException);
  EXPECT_EQ(probe.events, (std::vector<std::string>{"failure 9", "failure 9"}));
  EXPECT_EQ(server.Commands()[3], "STOR c.cnt");
  EXPECT_EQ(probe.client.DataConnection(), nullptr);
  EXPECT_TRUE(probe.client.Connected);

  probe.events.clear();
  EXPECT_THROW(probe.client.Upload((dir / "c.cnt").string(), "c.cnt"), FTPException);
  EXPECT_EQ(probe.events, (std::vector<std::string>{"unsupported 9", "failure 9", "failure 9"}));
}

TEST(FtpUpload, SlowCommandReplyIsAFailureNotASkippedSuccess) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    c.Command();
    c.Reply("200 PORT command successful.");
    c.Command();  // STOR, never answered
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  probe.client.TimeOut = 200;
  test::TempDir dir;
  test::WriteFile(dir / "c.cnt", "x");
  probe.client.Connect();
  try {
    probe.client.Upload((dir / "c.cnt").string(), "c.cnt");
    FAIL();
  } catch (const EAbortError& error) {
    EXPECT_STREQ(error.what(), "Zeitüberschreitung beim Warten auf Antwort");
  }
  EXPECT_EQ(probe.events, std::vector<std::string>{"failure 9"});
}

TEST(FtpUpload, CancelInTheCommandPhaseIsAFailure) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    c.Command();
    c.Reply("200 PORT command successful.");
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  probe.client.ReportLevel = 1;
  probe.client.OnStatus = [&](TSockSession& sender, const std::string& text) {
    if (text == "STOR c.cnt") sender.Cancel();
  };
  test::TempDir dir;
  test::WriteFile(dir / "c.cnt", "x");
  probe.client.Connect();
  EXPECT_THROW(probe.client.Upload((dir / "c.cnt").string(), "c.cnt"), EAbortError);
  EXPECT_TRUE(probe.successes.empty());
  EXPECT_EQ(probe.failures, std::vector<TCmdType>{ctUpload});
}

TEST(FtpUpload, RemoteNameWithLineBreakIsRefusedBeforeAnyCommand) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    c.Command();
    c.Reply("200 NOOP ok.");
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  test::TempDir dir;
  test::WriteFile(dir / "c.cnt", "x");
  probe.client.Connect();
  EXPECT_THROW(probe.client.Upload((dir / "c.cnt").string(), "c.cnt\r\nDELE ftpsend.xml"),
               FTPException);
  probe.client.SendCommand("NOOP");
  EXPECT_EQ(server.Commands(), (std::vector<std::string>{"USER anna", "PASS secret", "NOOP"}));
}

TEST(FtpUpload, MissingLocalFileFailsBeforeAnyCommand) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  probe.client.Connect();
  EXPECT_THROW(probe.client.Upload("/no/such/container.cnt", ""), Exception);
  EXPECT_EQ(probe.failures, std::vector<TCmdType>{ctUpload});
  EXPECT_EQ(server.Commands().size(), 2u);
}

}  // namespace
}  // namespace ftp
